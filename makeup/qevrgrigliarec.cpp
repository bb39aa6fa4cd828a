#include "makeup/qevrgrigliarec.h"

#include "makeup/qelmakeuprecords.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

// The grid itself: digits become weights, a double click an assignment, and a cell with a
// record takes its type's colour. Painting reads only the cells' records, never the database.
class TqevGrigliaRec : public TVxStringGrid
{
public:
    explicit TqevGrigliaRec(TfrQevGrigliaRec *frame) : TVxStringGrid(frame), m_frame(frame)
    {
        setObjectName(QStringLiteral("dbgRec"));
        setOptions(goFixedColsFocus | goColSizing | goTabLeaves);
        setDefaultRowHeight(20);
        OnSelectCell = [this](int col, int row, bool &) {
            if (m_following)
                m_frame->segui(col, row);
        };
    }

    // Moves without following, for the frame that follows once afterwards.
    void moveQuietly(int col, int row)
    {
        m_following = false;
        MoveCursor(col, row);
        m_following = true;
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        // The assignment grid takes the main keyboard's digits as well as the keypad's.
        const int digit = keypadDigit(*event, true);
        m_frame->m_cifra = digit;
        if (digit < 0) {
            TVxStringGrid::keyPressEvent(event);
            return;
        }
        event->accept();
        emit m_frame->cifraDigitata(digit);
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        int col = -1;
        int row = -1;
        if (MouseToCell(event->position().toPoint(), col, row) && row >= FixedRows())
            emit m_frame->doppioClick();
    }

    void DrawCell(QPainter &painter, int col, int row, const QRect &rect,
                  TGridDrawState state) override
    {
        if (const auto cell = ObjectAs<TqevCellaRec>(col, row); cell && cell->iRecId > 0)
            painter.fillRect(rect, typeCellColour(cell->iPesoRec));
        TVxStringGrid::DrawCell(painter, col, row, rect, state);
    }

    // The grades stay readable on every type's colour: white on the dark ones.
    QColor CellTextColour(int col, int row, TGridDrawState state) const override
    {
        if (const auto cell = ObjectAs<TqevCellaRec>(col, row); cell && cell->iRecId > 0)
            return VxTextColourOn(typeCellColour(cell->iPesoRec));
        return TVxStringGrid::CellTextColour(col, row, state);
    }

private:
    TfrQevGrigliaRec *m_frame;
    bool m_following = true;
};

TfrQevGrigliaRec::TfrQevGrigliaRec(QWidget *parent)
    : TfrVxVuoto(parent), m_grid(new TqevGrigliaRec(this))
{
    setObjectName(QStringLiteral("frQevGrigliaRec"));
    FrameLayout()->addWidget(m_grid, 1);
    // Empty until the host loads it: the header and one blank row.
    TfrQevGrigliaRec::CaricaGriglia();
}

TVxStringGrid *TfrQevGrigliaRec::dbgRec() const
{
    return m_grid;
}

void TfrQevGrigliaRec::ImpostaColonne() {}

void TfrQevGrigliaRec::CaricaGriglia()
{
    // A grid keeps at least one data row; with no subject the name column is the only one.
    const int rows = int(m_righe.size());
    const int cols = int(m_titoli.size());
    m_grid->setFixedCols(0);
    m_grid->setFixedRows(0);
    m_grid->setRowCount(1 + std::max(rows, 1));
    m_grid->setColCount(1 + cols);
    m_grid->setFixedRows(1);
    for (int r = 0; r < m_grid->RowCount(); ++r)
        for (int c = 0; c < m_grid->ColCount(); ++c) {
            m_grid->setCells(c, r, QString());
            m_grid->setObjects(c, r, nullptr);
        }
    m_grid->setCells(0, 0, QStringLiteral("Cognome Nome"));
    for (int c = 0; c < cols; ++c)
        m_grid->setCells(c + 1, 0, m_titoli.at(c));
    for (int r = 0; r < rows; ++r) {
        const Riga &riga = m_righe.at(r);
        auto head = std::make_shared<TqevRigaRec>();
        head->iSitId = riga.iSitId;
        m_grid->setObjects(0, r + 1, head);
        m_grid->setCells(0, r + 1, riga.label);
        for (int c = 0; c < cols; ++c) {
            m_grid->setObjects(c + 1, r + 1, riga.celle.at(c));
            m_grid->setCells(c + 1, r + 1, riga.testi.at(c));
        }
    }
}

void TfrQevGrigliaRec::AggiornaCella()
{
    TqevCellaRec *cell = Cella(m_sitId, m_matId);
    if (!cell)
        return;
    cell->iRecId = m_recId;
    cell->iPesoRec = m_peso;
    m_grid->Invalidate();
}

TqevCellaRec *TfrQevGrigliaRec::Cella(int iSitId, int iMatId) const
{
    for (int r = m_grid->FixedRows(); r < m_grid->RowCount(); ++r) {
        const auto head = m_grid->ObjectAs<TqevRigaRec>(0, r);
        if (!head || head->iSitId != iSitId)
            continue;
        for (int c = 1; c < m_grid->ColCount(); ++c) {
            const auto cell = m_grid->ObjectAs<TqevCellaRec>(c, r);
            if (cell && cell->iMatId == iMatId)
                return cell.get();
        }
    }
    return nullptr;
}

QString TfrQevGrigliaRec::NomeAlunno(int iSitId) const
{
    for (const Riga &riga : m_righe) {
        if (riga.iSitId == iSitId)
            return riga.label.section(QStringLiteral(") "), -1);
    }
    return {};
}

QString TfrQevGrigliaRec::NomeMateria(int iMatId) const
{
    for (const Riga &riga : m_righe) {
        for (qsizetype k = 0; k < riga.celle.size() && k < m_titoli.size(); ++k) {
            if (riga.celle.at(k)->iMatId == iMatId)
                return m_titoli.at(k);
        }
    }
    return {};
}

void TfrQevGrigliaRec::PrimaRiga()
{
    const int col = std::clamp(m_grid->Col(), 0, m_grid->ColCount() - 1);
    m_grid->moveQuietly(col, m_grid->FixedRows());
    SeguiCellaCorrente();
}

void TfrQevGrigliaRec::SeguiCellaCorrente()
{
    segui(m_grid->Col(), m_grid->Row());
}

void TfrQevGrigliaRec::segui(int col, int row)
{
    const auto head = m_grid->ObjectAs<TqevRigaRec>(0, row);
    const auto cell = m_grid->ObjectAs<TqevCellaRec>(col, row);
    if (!head || !cell) {
        m_recId = -1;
        m_sitId = -1;
        m_matId = -1;
    } else {
        m_recId = cell->iRecId;
        m_matId = cell->iMatId;
        m_peso = cell->iPesoRec;
        m_sitId = head->iSitId;
        m_indiceCampo = col;
    }
    emit cellaCorrenteCambiata();
}
