#include "gradeentry/qevfcarcls.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarcre.h"
#include "gradeentry/qevrcarvot.h"
#include "gradeentry/qevresmecr.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QPainter>

namespace {

// The pages in tab order. "Competenze" is never shown.
const TqevDefPagina kPagine[] = {
    {"tsVot", "Voti", {{"frqevCarClsVot", tdVoti}}},
    {"tsVtp", "Voti proposti", {{"frqevCarClsVtp", tdProposti}}},
    {"tsTas", "Tassonomie", {{"frqevCarClsTas", tdTassonomie}}},
    {"tsAss", "Assenze", {{"frqevCarClsAss", tdAssenze}}},
    {"tsAiu", "Aiuti", {{"frqevCarClsAiu", tdAiuti}}},
    {"tsNot", "Note", {{"frqevCarClsNot", tdNote}}},
    {"tsDeb", "Debiti", {{"frqevCarClsDeb", tdDebiti}}},
    {"tsFin", "Esito finale", {{"frqevCarClsFin", tdEsito}}},
    {"tsCre", "Crediti", {{"frqevCarClsCre", tdCrediti}}},
    {"tsGdz", "Giudizio", {{"frqevCarClsGdz", tdGiudizio}}},
    {"tsCompetenze", "Competenze", {}},
};

const char *testoCaricamento(int tipoDati)
{
    switch (tipoDati) {
    case tdVoti:
        return "Caricamento dei voti";
    case tdProposti:
        return "Caricamento dei voti proposti";
    case tdTassonomie:
        return "Caricamento delle tassonomie";
    case tdAssenze:
        return "Caricamento delle assenze";
    case tdAiuti:
        return "Caricamento degli aiuti";
    case tdNote:
        return "Caricamento delle note";
    case tdDebiti:
        return "Caricamento dei debiti";
    case tdCrediti:
        return "Caricamento dei crediti";
    case tdGiudizio:
        return "Caricamento dei giudizi";
    default:
        return "Caricamento degli esiti";
    }
}

// While the pages load the window is disabled; it comes back however the load ends.
class Disabilitata
{
public:
    explicit Disabilitata(QWidget *w) : m_w(w) { m_w->setEnabled(false); }
    ~Disabilitata() { m_w->setEnabled(true); }
    Disabilitata(const Disabilitata &) = delete;
    Disabilitata &operator=(const Disabilitata &) = delete;

private:
    QWidget *m_w;
};

} // namespace

TfmqevCarCls *fmqevCarCls()
{
    return qobject_cast<TfmqevCarCls *>(
        TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarCls)));
}

TfmqevCarCls::TfmqevCarCls(QWidget *parent) : TfmqevCarBase(parent, kPagine, tdVoti)
{
    setObjectName(QStringLiteral("fmqevCarCls"));
    setWindowTitle(QStringLiteral("Caricamento per classe"));
    TfrqevCarVot *vot = frqevCarClsVot();
    TfrqevCarVot *vtp = frqevCarClsVtp();
    vot->grGrid->OnDrawCell = [this](QPainter &painter, int col, int row, const QRect &rect,
                                     TGridDrawState) { disegnaVoti(painter, col, row, rect); };
    vtp->grGrid->OnDrawCell = [this](QPainter &painter, int col, int row, const QRect &rect,
                                     TGridDrawState) { disegnaProposti(painter, col, row, rect); };
    CollegaPassaggio(
        0, QStringLiteral("ATTENZIONE!\r\rI voti già presenti saranno sostituiti\r\rContinuare?"));
}

TfmqevCarCls::~TfmqevCarCls() = default;

void TfmqevCarCls::CaricaFrames()
{
    TfmVxWait wait(this);
    wait.SetTitle(QStringLiteral("Caricamento dei dati dello scrutinio"));
    wait.SetOperation(QStringLiteral("L'operazione potrebbe richiedere qualche minuto.."));
    static const int tipi[] = {tdVoti, tdProposti, tdTassonomie, tdAssenze,  tdAiuti,
                               tdNote, tdDebiti,   tdCrediti,    tdGiudizio, tdEsito};
    wait.InitProgressBar(0, int(std::size(tipi)) + 2 + 10);
    wait.ShowWait();
    if (auto *crediti = qobject_cast<TfrqevCarCre *>(FrameDi(tdCrediti)))
        crediti->grVoti = PaginaVotiAttiva() ? Voti()->grGrid : nullptr;
    {
        Disabilitata disabilitata(this);
        Pagine()->Carica(tcClasse, tipi, [&wait] { wait.StepProgressBar(); });
        wait.StepProgressBar(2);
    }
    CaricaDati();
}

void TfmqevCarCls::CaricaDati()
{
    ApplicaParVis(
        dmqevDataSets ? dmqevDataSets->sDesClsSes : windowTitle(), [](TfrqevCarBs *frame) {
            if (fmVxWait) {
                fmVxWait->SetOperation(QString::fromUtf8(testoCaricamento(frame->TipoDati)));
                fmVxWait->StepProgressBar();
            }
        });
}

void TfmqevCarCls::disegnaVoti(QPainter &painter, int col, int row, const QRect &rect)
{
    TfrqevCarVot *vot = frqevCarClsVot();
    TqelStringGrid *grid = vot->grGrid;
    if (row < grid->nRowIntest() || col < grid->nColIntest())
        return;
    if (EvContrasto)
        DisegnaContrasto(painter, *grid, frqevCarClsVtp()->grGrid, col, row, rect);
    vot->frqevEsMeCr1->RidimensionaGriglia();
    // A subject with an aid for the pupil: the aids grid has one header row, the votes two.
    auto voto = grid->RecordAt<TRecVal>(col, row);
    if (!voto)
        return;
    bool aiuto = false;
    auto materia = grid->RecordAt<TRecMat>(col, 0);
    if (PaginaVisibile(tdAiuti) && materia) {
        TqelStringGrid *aiuti = FrameDi(tdAiuti)->grGrid;
        for (int i = 1; i < aiuti->ColCount() && row - 1 < aiuti->RowCount() && !aiuto; ++i) {
            auto m = aiuti->RecordAt<TRecMat>(i, 0);
            aiuto = m && m->iClsSesMatId == materia->iClsSesMatId &&
                    !aiuti->Cells(i, row - 1).trimmed().isEmpty();
        }
    }
    // A debt outweighs an aid. The cell's text, not its record's: a value typed but refused
    // (or not yet taken) shows as typed, as in every other cell.
    if (conDebito(*grid, col, row))
        evidenzia(painter, rect, coloreDebiti(), *grid, grid->Cells(col, row));
    else if (aiuto)
        evidenzia(painter, rect, QColor(0, 255, 0), *grid, grid->Cells(col, row));
}

void TfmqevCarCls::disegnaProposti(QPainter &painter, int col, int row, const QRect &rect)
{
    TfrqevCarVot *vtp = frqevCarClsVtp();
    vtp->frqevEsMeCr1->RidimensionaGriglia();
    TqelStringGrid *grid = vtp->grGrid;
    auto proposto = grid->RecordAt<TRecVal>(col, row);
    if (row >= grid->nRowIntest() && col >= grid->nColIntest() && proposto &&
        conDebito(*grid, col, row))
        evidenzia(painter, rect, coloreDebiti(), *grid, grid->Cells(col, row));
}

QColor TfmqevCarCls::coloreDebiti() const
{
    return dmqevParVis ? dmqevParVis->gColorDebiti(tcClasse)
                       : TqevParVisGriglia::DefaultColorDebiti();
}

bool TfmqevCarCls::conDebito(const TqelStringGrid &grid, int col, int row) const
{
    // The debts page has one header row and a column per subject, the vote pages two header
    // rows and a column per component: the subject's code joins them.
    if (!PaginaVisibile(tdDebiti))
        return false;
    auto materia = grid.RecordAt<TRecMat>(col, 0);
    TqelStringGrid *debiti = FrameDi(tdDebiti)->grGrid;
    if (!materia || row - 1 >= debiti->RowCount())
        return false;
    for (int c = debiti->nColIntest(); c < debiti->ColCount(); ++c) {
        auto m = debiti->RecordAt<TRecMat>(c, 0);
        if (m && m->sMatCodUser.trimmed() == materia->sMatCodUser.trimmed())
            return !debiti->Cells(c, row - 1).trimmed().isEmpty();
    }
    return false;
}

void TfmqevCarCls::evidenzia(QPainter &painter, const QRect &rect, const QColor &colore,
                             const TqelStringGrid &grid, const QString &testo)
{
    painter.fillRect(rect, colore);
    painter.setPen(grid.FontColor());
    painter.drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, testo);
}
