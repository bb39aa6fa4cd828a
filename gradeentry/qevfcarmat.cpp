#include "gradeentry/qevfcarmat.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevfqualiffield.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevqualifica.h"
#include "gradeentry/qevrcardeb.h"
#include "gradeentry/qevrcarvot.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QAction>
#include <QPainter>
#include <QRadioButton>

namespace {

const TqevDefPagina kPagine[] = {
    {"tsVot", "Voti", {{"frqevCarMatVot", tdVoti}}},
    {"tsVtp", "Voti proposti", {{"frqevCarMatVtp", tdProposti}}},
    {"tsTas", "Tassonomie", {{"frqevCarMatTas", tdTassonomie}}},
    {"tsAss", "Assenze", {{"frqevCarMatAss", tdAssenze}}},
    {"tsAiu", "Aiuti", {{"frqevCarMatAiu", tdAiuti}}},
    {"tsNot", "Note", {{"frqevCarMatNot", tdNote}}},
    {"tsDeb", "Debiti", {{"frqevCarMatDeb", tdDebiti}}},
};

const int kTipi[] = {tdVoti, tdProposti, tdTassonomie, tdAssenze, tdAiuti, tdNote, tdDebiti};

// The column the scores stand in: the subject's first component.
constexpr int kColonnaPunteggio = 1;

} // namespace

TfmqevCarMat *fmqevCarMat()
{
    return qobject_cast<TfmqevCarMat *>(
        TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarMat)));
}

TfmqevCarMat::TfmqevCarMat(QWidget *parent) : TfmqevCarBase(parent, kPagine, tdProposti)
{
    setObjectName(QStringLiteral("fmqevCarMat"));
    setWindowTitle(QStringLiteral("Caricamento per materia"));
    const Scorrimento s = AggiungiScorrimento("Mat", QStringLiteral("Materia precedente"),
                                              QStringLiteral("Materia successiva"),
                                              [this](bool avanti) { CambiaMateria(avanti); });
    aPrevMat = s.precedente;
    aNextMat = s.successivo;
    MostraContrasto(false);
    CollegaPassaggio(
        2, QStringLiteral("Attenzione!\r\rI voti già presenti saranno sostituiti.\r\rContinuare?"));
    TfrqevCarVot *vot = frqevCarMatVot();
    // The score transfers belong to this window only.
    if (QAction *separatore = vot->FrameAction(QStringLiteral("tbSepQualif")))
        separatore->setVisible(true);
    for (QAction *a : {vot->aImpQualif, vot->aExpQualif}) {
        a->setVisible(true);
        a->setEnabled(true);
    }
    connect(vot->aImpQualif, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { ImportaQualifica(); }); });
    connect(vot->aExpQualif, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { EsportaQualifica(); }); });
}

TfmqevCarMat::~TfmqevCarMat() = default;

void TfmqevCarMat::CaricaFrames()
{
    if (auto *debiti = qobject_cast<TfrqevCarDeb *>(FrameDi(tdDebiti))) {
        debiti->grVoti = PaginaVotiAttiva() ? Voti()->grGrid : nullptr;
        debiti->grProposti = dmqevDataSets && dmqevDataSets->iAbilita[abVtp] != 0
                                 ? Proposti()->grGrid
                                 : nullptr;
    }
    Pagine()->Carica(tcMateria, kTipi);
    CaricaDatiMat();
}

void TfmqevCarMat::CambiaMateria(bool avanti)
{
    if (!ChiediSalvataggio())
        return;
    TdmqevDataSets &dm = *dmqevDataSets;
    const QList<int> materie = dm.MaterieClsSes();
    const qsizetype nuova = Passo(materie.indexOf(dm.iClsSesMatId), materie.size(), avanti);
    if (nuova < 0)
        return;
    const int prima = dm.iClsSesMatId;
    dm.iClsSesMatId = materie.at(nuova);
    try {
        dm.ApriClsSes(dm.iClsSesId);
    } catch (const EVxException &) {
        // The subject the window shows stays the module's.
        dm.iClsSesMatId = prima;
        throw;
    }
    CaricaFrames();
}

void TfmqevCarMat::CaricaDatiMat()
{
    ApplicaParVis(dmqevDataSets ? dmqevDataSets->sDesClsSesMat : windowTitle());
}

void TfmqevCarMat::EsportaQualifica()
{
    TfrqevCarVot *vot = frqevCarMatVot();
    TqelStringGrid *grid = vot->grGrid;
    TfmqevQualifField dialog(this);
    if (VxExecModal(&dialog) != mrOk || grid->ColCount() <= kColonnaPunteggio)
        return;
    if (!vot->ValidaCella(QStringLiteral("Impossibile esportare i punteggi.")))
        return;
    if (VxMessageDlg(QStringLiteral("Attenzione!\r\rI punteggi della prima colonna saranno "
                                    "scritti nella carriera degli alunni:\r%1.\r\rContinuare?")
                         .arg(dialog.Campo() == cqAmmissione ? dialog.rbQuaAmmissione->text()
                              : dialog.Campo() == cqFinale   ? dialog.rbQuaFinale->text()
                                                             : dialog.rbLicenza->text()),
                     mtConfirmation, mbYesNo, 0, mrNo) != mrYes)
        return;
    // A pupil who does not take the subject has no score here: his career stays as it is.
    QList<TqevPunteggio> punteggi;
    QHash<int, QString> nomi;
    for (int r = grid->nRowIntest(); r < grid->RowCount(); ++r) {
        auto ana = grid->RecordAt<TRecAna>(0, r);
        auto rec = grid->RecordAt<TRecVal>(kColonnaPunteggio, r);
        if (!ana || !rec || rec->bBloccato)
            continue;
        punteggi.append({ana->iAnaId, grid->Cells(kColonnaPunteggio, r).trimmed()});
        nomi.insert(ana->iAnaId, TfrqevCarBs::NomeAlunno(*ana));
    }
    const QList<TqevPunteggio> scartati = EsportaPunteggi(dialog.Campo(), punteggi);
    if (scartati.isEmpty())
        return;
    QStringList righe;
    for (const TqevPunteggio &p : scartati)
        righe << nomi.value(p.iAnaId) + QStringLiteral(": ") + p.sPunteggio;
    VxMessageDlg(QStringLiteral("Attenzione!\r\rI punteggi seguenti non corrispondono a nessun "
                                "giudizio e non sono stati esportati:\r\r%1")
                     .arg(righe.join(QLatin1Char('\r'))),
                 mtWarning, mbOK);
}

void TfmqevCarMat::ImportaQualifica()
{
    TfrqevCarVot *vot = frqevCarMatVot();
    TqelStringGrid *grid = vot->grGrid;
    TfmqevQualifField dialog(this);
    dialog.PerImportazione();
    if (VxExecModal(&dialog) != mrOk || grid->ColCount() <= kColonnaPunteggio)
        return;
    QList<int> alunni;
    for (int r = grid->nRowIntest(); r < grid->RowCount(); ++r) {
        auto ana = grid->RecordAt<TRecAna>(0, r);
        auto rec = grid->RecordAt<TRecVal>(kColonnaPunteggio, r);
        if (ana && rec && !rec->bBloccato)
            alunni << ana->iAnaId;
    }
    const QHash<int, QString> punteggi = ImportaPunteggi(dialog.Campo(), alunni);
    QStringList rifiutati;
    for (int r = grid->nRowIntest(); r < grid->RowCount(); ++r) {
        auto ana = grid->RecordAt<TRecAna>(0, r);
        if (!ana || !punteggi.contains(ana->iAnaId))
            continue;
        const QString punteggio = punteggi.value(ana->iAnaId);
        if (!vot->ScriviCella(kColonnaPunteggio, r, punteggio))
            rifiutati << TfrqevCarBs::NomeAlunno(*ana) + QStringLiteral(": ") + punteggio;
    }
    grid->Invalidate();
    if (!rifiutati.isEmpty())
        VxMessageDlg(QStringLiteral("Attenzione!\r\rI punteggi seguenti non sono valori della "
                                    "scala della colonna e non sono stati importati:\r\r%1")
                         .arg(rifiutati.join(QLatin1Char('\r'))),
                     mtWarning, mbOK);
}
