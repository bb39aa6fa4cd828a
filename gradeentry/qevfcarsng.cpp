#include "gradeentry/qevfcarsng.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarcre.h"
#include "gradeentry/qevrcarvot.h"
#include "platform/frames.h"
#include "platform/images.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QAction>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The pages in tab order.
const TqevDefPagina kPagine[] = {
    {"tsVot", "Voti", {{"frqevCarSngVot", tdVoti}}},
    {"tsVtp", "Voti proposti", {{"frqevCarSngVtp", tdProposti}}},
    {"tsTas", "Tassonomie", {{"frqevCarSngTas", tdTassonomie}}},
    {"tsAss", "Assenze", {{"frqevCarSngAss", tdAssenze}}},
    {"tsAiu", "Aiuti", {{"frqevCarSngAiu", tdAiuti}}},
    {"tsNot", "Note", {{"frqevCarSngNot", tdNote}}},
    {"tsGdzFin", "Finale", {{"frqevCarSngGdz", tdGiudizio}, {"frqevCarSngFin", tdEsito}}},
    {"tsCre", "Crediti", {{"frqevCarSngCre", tdCrediti}}},
    {"tsDeb", "Debiti", {{"frqevCarSngDeb", tdDebiti}}},
};

// The kinds loaded, in this order.
const int kTipi[] = {tdVoti, tdProposti, tdTassonomie, tdAssenze, tdAiuti,
                     tdNote, tdCrediti,  tdGiudizio,   tdEsito,   tdDebiti};

} // namespace

TfmqevCarSng *fmqevCarSng()
{
    return qobject_cast<TfmqevCarSng *>(
        TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarSng)));
}

TfmqevCarSng::TfmqevCarSng(QWidget *parent) : TfmqevCarBase(parent, kPagine, tdVoti)
{
    setObjectName(QStringLiteral("fmqevCarSng"));
    setWindowTitle(QStringLiteral("Caricamento per singolo"));
    const Scorrimento s = AggiungiScorrimento("Sit", QStringLiteral("Alunno precedente"),
                                              QStringLiteral("Alunno successivo"),
                                              [this](bool avanti) { CambiaAlunno(avanti); });
    m_xoaCustom = s.barra;
    aPrevSit = s.precedente;
    aNextSit = s.successivo;
    MostraContrasto(true);
    CollegaPassaggio(
        1, QStringLiteral("Attenzione!\r\rI voti già presenti saranno sostituiti.\r\rContinuare?"));
}

TfmqevCarSng::~TfmqevCarSng() = default;

void TfmqevCarSng::CaricaFrames()
{
    if (auto *crediti = qobject_cast<TfrqevCarCre *>(FrameDi(tdCrediti)))
        crediti->grVoti = PaginaVotiAttiva() ? Voti()->grGrid : nullptr;
    Pagine()->Carica(tcAlunno, kTipi);
    CaricaDati();
    if (QevGradeWindow *origine = TdmqevActivations::FinestraOrigine())
        origine->SetReadOnly(true);
}

void TfmqevCarSng::CaricaDati()
{
    const QString alunno = dmqevDataSets ? dmqevDataSets->sDesAlunno : windowTitle();
    for (TfrqevCarBs *frame : Pagine()->FrameVisibili())
        frame->laNameCaption->setText(alunno);
    ApplicaParVis(alunno);
    // The credits' last row is the pupil's present year, the one the office comes to edit (a
    // grid's last row is always one of data: its fixed rows are fewer than its rows).
    if (TfrqevCarBs *crediti = FrameDi(tdCrediti))
        crediti->grGrid->setRow(crediti->grGrid->RowCount() - 1);
}

void TfmqevCarSng::Chiusa()
{
    if (QevGradeWindow *origine = TdmqevActivations::FinestraOrigine()) {
        origine->SetReadOnly(false);
        // The keyboard goes back to the grid the pupil was opened from, once the window is gone
        // and that window active again: not to whatever control of it took the keyboard last.
        if (TfrqevCarBs *frame = origine->FrameAttivo()) {
            QTimer::singleShot(0, frame->grGrid, [grid = frame->grGrid] {
                if (grid->isVisible() && grid->isEnabled())
                    grid->setFocus(Qt::OtherFocusReason);
            });
        }
    }
    if (dmqevDataSets)
        dmqevDataSets->iAnsIdSel = dmqevDataSets->iAnsId;
}

void TfmqevCarSng::CambiaAlunno(bool avanti)
{
    if (!ChiediSalvataggio())
        return;
    // The class list read with the class session, in its order.
    const TqevStringList &alunni = dmqevDataSets->slAlunni;
    int corrente = -1;
    for (int i = 0; i < alunni.Count() && corrente < 0; ++i) {
        auto ana = alunni.ObjectAs<TRecAna>(i);
        if (ana && ana->iSitId == dmqevDataSets->iSitId)
            corrente = i;
    }
    const qsizetype nuovo = Passo(corrente, alunni.Count(), avanti);
    auto ana = nuovo >= 0 ? alunni.ObjectAs<TRecAna>(int(nuovo)) : nullptr;
    if (!ana)
        return;
    allineaOrigine(ana->iSitId);
    dmqevDataSets->iAnaId = ana->iAnaId;
    // The new pupil's own plan of studies: his subjects and components follow from it.
    dmqevDataSets->iPstIdSel = ana->iPstId;
    dmqevDataSets->SelezionaAlunno(ana->iSitId);
    CaricaFrames();
}

void TfmqevCarSng::allineaOrigine(int iSitId)
{
    QevGradeWindow *origine = TdmqevActivations::FinestraOrigine();
    if (!origine)
        return;
    for (int tipoDati = tdVoti; tipoDati <= tdEsito; ++tipoDati) {
        TfrqevCarBs *frame = origine->FrameDi(tipoDati);
        TqelStringGrid *grid = frame ? frame->grGrid : nullptr;
        for (int r = grid ? grid->nRowIntest() : 0; grid && r < grid->RowCount(); ++r) {
            auto ana = grid->RecordAt<TRecAna>(0, r);
            if (!ana || ana->iSitId != iSitId)
                continue;
            try {
                grid->MoveCursor(std::max(grid->Col(), grid->nColIntest()), r);
            } catch (const EVxException &) {
                // A grid without data columns keeps its cursor.
            }
            break;
        }
    }
}
