#include "makeup/qelfesitirecuperi.h"

#include "makeup/qelmakeupwindow.h"
#include "platform/connection.h"
#include "platform/images.h"
#include "platform/messagedlg.h"
#include "platform/stringgrid.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// cdsEsiti: iSitId and the label come first, the subjects after; the grid shows the label in
// its column 0 and subject k in column k + 1, so a grid column is its field's index - 1.
constexpr int kFieldSitId = 0;
constexpr int kFieldLabel = 1;

int fieldOfCol(int col)
{
    return col + 1;
}

// The window's words for typing again after being told of another office's change.
TqevVerifica verificaEsiti()
{
    TqevVerifica v;
    v.diNuovo.dato = QStringLiteral("l'esito digitato");
    v.diNuovo.sostituisce = QStringLiteral("La cella mostra l'esito salvato; digitando di nuovo "
                                           "l'esito, sostituisce quello dell'altra postazione.");
    v.diNuovo.inserisce = QStringLiteral("Il recupero non esiste più: la cella resta vuota.");
    v.restano = QString();
    return v;
}

const MakeupWindowTexts kTexts = {
    "fmQelEsitiRecuperi",           "Esiti Recuperi", "Esiti dei recuperi.",     "tbDelSng",
    "Cancella l'esito selezionato", "tbDelAll",       "Cancella tutti gli esiti"};

} // namespace

// dbgEsiti: rows of pupils, columns of subjects. Keypad digits become weights for the window;
// every other key moves as in any grid. A cell is filled with its outcome's colour, read from
// cdsEsiti, never from the database.
class TqelGrigliaEsiti : public TVxStringGrid
{
public:
    explicit TqelGrigliaEsiti(TfmQelEsitiRecuperi *window) : TVxStringGrid(window), m_window(window)
    {
        setObjectName(QStringLiteral("dbgEsiti"));
        setOptions(goFixedColsFocus | goColSizing | goTabLeaves);
        setDefaultRowHeight(20);
        OnSelectCell = [this](int col, int row, bool &) { m_window->showFocusedCell(col, row); };
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        // Only the keypad: the main keyboard's digits assign types in the other window.
        const int digit = keypadDigit(*event, false);
        if (digit < 0) {
            TVxStringGrid::keyPressEvent(event);
            return;
        }
        event->accept();
        m_window->digitTyped(digit);
    }

    void DrawCell(QPainter &painter, int col, int row, const QRect &rect,
                  TGridDrawState state) override
    {
        const QVariant value = m_window->value(col, row);
        if (!value.isNull()) {
            if (const std::optional<QColor> colour = outcomeCellColour(value.toInt()))
                painter.fillRect(rect, *colour);
        }
        TVxStringGrid::DrawCell(painter, col, row, rect, state);
    }

private:
    TfmQelEsitiRecuperi *m_window;
};

TfmQelEsitiRecuperi::TfmQelEsitiRecuperi(QWidget *parent)
    : TfmQelMakeupClassWindow(parent, 22, &outcomeLegendColour), m_lblTipo(new QLabel(this)),
      m_lblEsito(new QLabel(this)), m_grid(new TqelGrigliaEsiti(this))
{
    QVBoxLayout *layout = addFrame(kTexts, [](QWidget *panel, QHBoxLayout *line) {
        line->addSpacing(16);
        auto *image = new QLabel(panel);
        image->setPixmap(VxImage(QStringLiteral("VXHELP")).pixmap(16, 16));
        line->addWidget(image);
        auto *hint = new QLabel(
            QStringLiteral("Utilizzare il tastierino numerico per assegnare gli esiti."), panel);
        hint->setObjectName(QStringLiteral("lblHint"));
        hint->setStyleSheet(QStringLiteral("color: blue; font-weight: bold;"));
        line->addWidget(hint);
    });

    auto *info = new QWidget(this);
    info->setObjectName(QStringLiteral("pnlInfo"));
    auto *infoLine = new QHBoxLayout(info);
    infoLine->setContentsMargins(8, 4, 8, 4);
    for (QLabel *label : {m_lblTipo, m_lblEsito}) {
        label->setStyleSheet(QStringLiteral("font-weight: bold;"));
        infoLine->addWidget(label);
        infoLine->addSpacing(24);
    }
    m_lblTipo->setObjectName(QStringLiteral("lblTipo"));
    m_lblEsito->setObjectName(QStringLiteral("lblEsito"));
    infoLine->addStretch();
    layout->addWidget(info);
    layout->addWidget(m_grid, 1);

    orderTabs({}, {m_grid});

    connect(m_deleteOne, &QAction::triggered, this, &TfmQelEsitiRecuperi::tbDelSngClick);
    connect(m_deleteAll, &QAction::triggered, this, &TfmQelEsitiRecuperi::tbDelAllClick);

    FormCreate();
}

TfmQelEsitiRecuperi::~TfmQelEsitiRecuperi() = default;

TVxStringGrid *TfmQelEsitiRecuperi::dbgEsiti() const
{
    return m_grid;
}

void TfmQelEsitiRecuperi::FormCreate()
{
    const bool loaded = RunShowingErrors([this] {
        const bool opened =
            openClass(QStringLiteral("ATTENZIONE! Impossibile modificare recuperi prima dell'anno "
                                     "scolastico 2007/2008."));
        if (!opened) {
            disable();
            return;
        }
        defineFields();
        m_filling = true;
        fillPhases();
        m_filling = false;
        cboFasiChange();
    });
    if (!loaded)
        disable();
}

void TfmQelEsitiRecuperi::FormShow()
{
    ShowMaximized();
    m_grid->setFocus();
}

void TfmQelEsitiRecuperi::defineFields()
{
    // Fixed for the window's life: the subjects of the class session when it opened.
    m_cdsEsiti.Close();
    m_cdsEsiti.ClearFieldDefs();
    m_cdsEsiti.AddFieldDef(QStringLiteral("iSitId"), ftInteger);
    m_cdsEsiti.AddFieldDef(QStringLiteral("Cognome Nome"), ftString, 100);
    m_materie.clear();
    m_titoli.clear();
    for (const MakeupSubject &s : m_data.subjects(m_classe.iClsSesId)) {
        m_materie << QString::number(s.iMatId);
        m_titoli << s.sMatSDesc;
        m_cdsEsiti.AddFieldDef(m_materie.last(), ftInteger);
    }
    m_cdsEsiti.CreateDataSet();
}

void TfmQelEsitiRecuperi::cboFasiChange()
{
    const int index = m_cboFasi->currentIndex();
    if (index < 0 || index >= m_fasi.size())
        return;
    m_ansFreDwgId = m_fasi.at(index).iAnsFreDwgIdOfPhase;
    loadGrid();
}

void TfmQelEsitiRecuperi::loadGrid()
{
    const MakeupGrid grid = m_data.outcomeGrid(m_classe, m_ansFreDwgId);
    m_letti = grid.cellRecords;
    m_cdsEsiti.EmptyDataSet();
    for (const MakeupPupil &p : grid.pupils) {
        m_cdsEsiti.Append();
        m_cdsEsiti.Fields(kFieldSitId)->setValue(p.iSitId);
        m_cdsEsiti.Fields(kFieldLabel)->setValue(p.label);
        for (int k = 0; k < m_materie.size(); ++k) {
            const auto found =
                grid.records.constFind(MakeupCell(p.iSitId, m_materie.at(k).toInt()));
            if (found != grid.records.constEnd())
                m_cdsEsiti.Fields(fieldOfCol(k + 1))->setValue(outcomeCellValue(*found));
        }
        m_cdsEsiti.Post();
    }

    // A grid keeps one data row and column at least: an empty class shows one blank row.
    const int rows = m_cdsEsiti.RecordCount();
    m_grid->setFixedCols(0);
    m_grid->setFixedRows(0);
    m_grid->setRowCount(1 + std::max(rows, 1));
    m_grid->setColCount(1 + int(m_titoli.size()));
    m_grid->setFixedRows(1);
    for (int r = 0; r < m_grid->RowCount(); ++r)
        for (int c = 0; c < m_grid->ColCount(); ++c)
            m_grid->setCells(c, r, QString());
    m_grid->setCells(0, 0, QStringLiteral("Cognome e Nome"));
    m_grid->setColWidths(0, 200);
    for (int c = 1; c < m_grid->ColCount(); ++c) {
        m_grid->setCells(c, 0, m_titoli.at(c - 1));
        m_grid->setColWidths(c, 60);
    }
    for (int r = 0; r < rows; ++r)
        m_grid->setCells(0, r + 1, m_cdsEsiti.Value(r, kFieldLabel).toString());
    m_grid->setFixedCols(m_grid->ColCount() > 1 ? 1 : 0);
    // The first pupil, in the subject the cursor stood on.
    const int col =
        std::clamp(m_grid->Col(), m_grid->ColCount() > 1 ? 1 : 0, m_grid->ColCount() - 1);
    if (m_grid->Col() == col && m_grid->Row() == 1)
        showFocusedCell(col, 1);
    else
        m_grid->MoveCursor(col, 1);
    m_grid->Invalidate();
}

QVariant TfmQelEsitiRecuperi::value(int col, int row) const
{
    const int record = row - 1;
    if (col < 1 || record < 0 || record >= m_cdsEsiti.RecordCount() ||
        fieldOfCol(col) >= m_cdsEsiti.FieldCount())
        return {};
    return m_cdsEsiti.Value(record, fieldOfCol(col));
}

void TfmQelEsitiRecuperi::setValue(int col, int row, const QVariant &value)
{
    m_cdsEsiti.setRecNo(row - 1);
    m_cdsEsiti.Edit();
    m_cdsEsiti.Fields(fieldOfCol(col))->setValue(value);
    m_cdsEsiti.Post();
    m_grid->InvalidateCell(col, row);
}

int TfmQelEsitiRecuperi::RowOfPupil(int iSitId) const
{
    for (int r = 0; r < m_cdsEsiti.RecordCount(); ++r)
        if (m_cdsEsiti.Value(r, kFieldSitId).toInt() == iSitId)
            return r + 1;
    return -1;
}

int TfmQelEsitiRecuperi::ColOfSubject(int iMatId) const
{
    const int k = int(m_materie.indexOf(QString::number(iMatId)));
    return k < 0 ? -1 : k + 1;
}

void TfmQelEsitiRecuperi::showFocusedCell(int col, int row)
{
    // The labels follow the cursor: the cell's record is read anew, so that they tell what
    // the database holds now.
    m_lblTipo->clear();
    m_lblEsito->clear();
    if (col < 1 || row < 1 || row > m_cdsEsiti.RecordCount())
        return;
    RunShowingErrors([&] {
        const std::optional<MakeupRecord> record = m_data.cellRecordOfPhaseRow(
            m_ansFreDwgId, m_cdsEsiti.Value(row - 1, kFieldSitId).toInt(),
            m_materie.at(col - 1).toInt());
        if (!record)
            return;
        m_lblTipo->setText(QStringLiteral("TIPO DI RECUPERO ASSEGNATO: ") + record->sTreSDesc);
        m_lblEsito->setText(
            QStringLiteral("ESITO DEL RECUPERO: ") +
            (record->iEreId ? record->sEreSDesc : QStringLiteral("Nessun esito assegnato")));
    });
}

TqevScrittura TfmQelEsitiRecuperi::scrittura(int col, int row, int iEreId, const QVariant &shown)
{
    const int iSitId = m_cdsEsiti.Value(row - 1, kFieldSitId).toInt();
    const int iMatId = m_materie.at(col - 1).toInt();
    const MakeupCell cell(iSitId, iMatId);
    const QList<MakeupRecord> letti = m_letti.value(cell);
    TqevScrittura s;
    s.cella = QStringLiteral("Alunno: %1\rMateria: %2")
                  .arg(m_cdsEsiti.Value(row - 1, kFieldLabel).toString(), m_titoli.at(col - 1));
    s.id = MakeupRecords::cellId(iSitId, iMatId);
    s.letta = MakeupRecords::outcomesAsRead(letti);
    s.esegui = [letti, iEreId](TVxTransaction &tr) {
        for (const MakeupRecord &r : letti) {
            MakeupRecord scritto = r;
            scritto.iEreId = iEreId;
            MakeupRecords::update(tr, scritto, r);
        }
    };
    s.salvata = [this, cell, iEreId, col, row, shown] {
        for (MakeupRecord &r : m_letti[cell])
            r.iEreId = iEreId;
        setValue(col, row, shown);
    };
    s.cambiata = [this, col, row](const TVxRiga &) { rereadCell(col, row); };
    return s;
}

void TfmQelEsitiRecuperi::rereadCell(int col, int row)
{
    RunShowingErrors([&] {
        const int iSitId = m_cdsEsiti.Value(row - 1, kFieldSitId).toInt();
        const int iMatId = m_materie.at(col - 1).toInt();
        const QList<MakeupRecord> now = m_data.cellRecordsOfPhaseRow(m_ansFreDwgId, iSitId, iMatId);
        m_letti.insert(MakeupCell(iSitId, iMatId), now);
        setValue(col, row, now.isEmpty() ? QVariant() : QVariant(outcomeCellValue(now.first())));
    });
}

void TfmQelEsitiRecuperi::writeOutcome(std::optional<int> weight)
{
    const int col = m_grid->Col();
    const int row = m_grid->Row();
    // A cell without record takes nothing.
    if (value(col, row).isNull())
        return;
    const int iSitId = m_cdsEsiti.Value(row - 1, kFieldSitId).toInt();
    const int iMatId = m_materie.at(col - 1).toInt();
    const int iAnsFreDwgId = m_ansFreDwgId;
    RunShowingErrors([&] {
        const int iEreId = weight ? m_data.firstOutcomeOfWeight(*weight) : 0;
        TqevVerifica verifica = verificaEsiti();
        verifica.leggi = [this, iAnsFreDwgId, iSitId, iMatId](TVxTransaction &) {
            return m_data.cellOutcomesNow(iAnsFreDwgId, iSitId, iMatId);
        };
        SalvaScritture({scrittura(col, row, iEreId, iEreId ? QVariant(*weight) : QVariant(-1))},
                       verifica);
    });
    showFocusedCell(col, row);
}

void TfmQelEsitiRecuperi::digitTyped(int digit)
{
    writeOutcome(digit);
}

void TfmQelEsitiRecuperi::tbDelSngClick()
{
    writeOutcome(std::nullopt);
}

void TfmQelEsitiRecuperi::tbDelAllClick()
{
    // Every cell with an outcome, as the window read it: one another office changed since is
    // told, the others cleared.
    QList<TqevScrittura> scritture;
    for (int row = 1; row <= m_cdsEsiti.RecordCount(); ++row) {
        const int iSitId = m_cdsEsiti.Value(row - 1, kFieldSitId).toInt();
        for (int col = 1; col <= m_materie.size(); ++col) {
            const QList<MakeupRecord> letti =
                m_letti.value(MakeupCell(iSitId, m_materie.at(col - 1).toInt()));
            if (std::any_of(letti.cbegin(), letti.cend(),
                            [](const MakeupRecord &r) { return r.iEreId != 0; }))
                scritture.append(scrittura(col, row, 0, -1));
        }
    }
    const int iClsId = m_classe.iClsId;
    const int iAnsFreDwgId = m_ansFreDwgId;
    TqevVerifica verifica = verificaEsiti();
    verifica.leggi = [this, iClsId, iAnsFreDwgId](TVxTransaction &) {
        return m_data.classPhaseNow(iClsId, iAnsFreDwgId, true);
    };
    SalvaScritture(scritture, verifica);
    RunShowingErrors([this] { cboFasiChange(); });
}

QList<MakeupLegendRow> TfmQelEsitiRecuperi::legendRows() const
{
    return m_data.outcomeLegend();
}
