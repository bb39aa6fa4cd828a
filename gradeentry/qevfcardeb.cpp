#include "gradeentry/qevfcardeb.h"

#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcardeb.h"

namespace {

const TqevDefPagina kPagine[] = {
    {"tsDeb", "Debiti", {{"frqevCarDebDeb", tdDebiti}}},
};

const int kTipi[] = {tdDebiti};

} // namespace

TfmqevCarDeb *fmqevCarDeb()
{
    return qobject_cast<TfmqevCarDeb *>(
        TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarDeb)));
}

TfmqevCarDeb::TfmqevCarDeb(QWidget *parent) : TfmqevCarBase(parent, kPagine, tdDebiti)
{
    setObjectName(QStringLiteral("fmqevCarDeb"));
    setWindowTitle(QStringLiteral("Caricamento debiti"));
}

TfmqevCarDeb::~TfmqevCarDeb() = default;

TfrqevCarDeb *TfmqevCarDeb::frqevCarDebDeb() const
{
    return static_cast<TfrqevCarDeb *>(FrameDi(tdDebiti));
}

void TfmqevCarDeb::CaricaFrames()
{
    Pagine()->Carica(tcDebiti, kTipi);
    ApplicaParVis(dmqevDataSets ? dmqevDataSets->sDesAlunno : windowTitle());
}
