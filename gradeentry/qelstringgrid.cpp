#include "gradeentry/qelstringgrid.h"

#include "gradeentry/qevparvis.h"
#include "platform/helpers.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

namespace {

const QChar Enter(13);

bool isVoteKind(int tipoDati)
{
    return tipoDati >= tdVoti && tipoDati <= tdAiuti;
}

bool isGradeKind(int tipoDati)
{
    return tipoDati >= tdVoti && tipoDati <= tdTassonomie;
}

bool hangsPerRow(int tipoDati)
{
    return tipoDati == tdNote || tipoDati == tdDebiti || tipoDati == tdCrediti;
}

QString shortDate(const QDateTime &date)
{
    return date.date().toString(QStringLiteral("dd/MM/yyyy"));
}

bool blank(const QString &text)
{
    return text.trimmed().isEmpty();
}

// What a header must show whole: its first word ("Scritto" of "Scritto e grafico"); the rest
// is in the cell's tooltip.
QString primaParola(const QString &text)
{
    return text.trimmed().section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
}

} // namespace

TqelStringGrid::TqelStringGrid(QWidget *parent) : TVxStringGrid(parent)
{
    setOptions(Options() | goEditing | goColSizing);
}

std::shared_ptr<TVxGridObject> TqelStringGrid::objectAt(int col, int row) const
{
    if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount())
        return nullptr;
    return Objects(col, row);
}

std::shared_ptr<TVxGridObject> TqelStringGrid::RecordOf(int col, int row) const
{
    if (hangsPerRow(m_tipoDati) && m_tipoCar != tcClasse)
        return objectAt(1, row);
    return objectAt(col, row);
}

bool TqelStringGrid::Bloccata(int col, int row) const
{
    const std::shared_ptr<TVxGridObject> rec = RecordOf(col, row);
    if (isVoteKind(m_tipoDati)) {
        auto val = std::dynamic_pointer_cast<TRecVal>(rec);
        return val && val->bBloccato;
    }
    if (m_tipoDati == tdNote) {
        auto nota = std::dynamic_pointer_cast<TRecNot>(rec);
        return nota && nota->bBloccato;
    }
    if (m_tipoDati == tdDebiti) {
        auto deb = std::dynamic_pointer_cast<TRecDeb>(rec);
        return deb && deb->bBloccato;
    }
    // A course year the pupil was not in, or spent in another class: nothing entered there is
    // saved.
    if (m_tipoDati == tdCrediti) {
        auto cre = std::dynamic_pointer_cast<TRecCre>(rec);
        return cre && CreditoBloccato(*cre);
    }
    return false;
}

// ---- Cursor ---------------------------------------------------------------------------------

void TqelStringGrid::advance(int &col, int &row) const
{
    const int firstCol = std::max(m_nColIntest, FixedCols());
    const int firstRow = std::max(m_nRowIntest, FixedRows());
    if (m_scorrOrizz) {
        if (++col >= ColCount()) {
            col = firstCol;
            if (++row >= RowCount())
                row = firstRow;
        }
    } else if (++row >= RowCount()) {
        row = firstRow;
        if (++col >= ColCount())
            col = firstCol;
    }
}

void TqelStringGrid::retreat(int &col, int &row) const
{
    const int firstCol = std::max(m_nColIntest, FixedCols());
    const int firstRow = std::max(m_nRowIntest, FixedRows());
    if (m_scorrOrizz) {
        if (col <= firstCol) {
            col = ColCount() - 1;
            row = row <= firstRow ? RowCount() - 1 : row - 1;
        } else {
            --col;
        }
    } else if (row <= firstRow) {
        row = RowCount() - 1;
        col = col <= firstCol ? ColCount() - 1 : col - 1;
    } else {
        --row;
    }
}

bool TqelStringGrid::stepCursor(bool forward)
{
    const int firstCol = std::max(m_nColIntest, FixedCols());
    const int firstRow = std::max(m_nRowIntest, FixedRows());
    const int cells = std::max(0, ColCount() - firstCol) * std::max(0, RowCount() - firstRow);
    int col = Col();
    int row = Row();
    // At most one pass over the data cells: a grid whose cells are all locked has no cell to
    // stop on, and the cursor then stays where it is.
    for (int step = 0; step < cells; ++step) {
        forward ? advance(col, row) : retreat(col, row);
        if (Bloccata(col, row))
            continue;
        if (col == Col() && row == Row())
            return false;
        try {
            return MoveCursor(col, row);
        } catch (const EInvalidGridOperation &) {
            return false;
        }
    }
    return false;
}

bool TqelStringGrid::NextCell()
{
    return stepCursor(true);
}

bool TqelStringGrid::PrevCell()
{
    return stepCursor(false);
}

void TqelStringGrid::KeyPress(QChar &key)
{
    const bool enter = key == Enter;
    if (isVoteKind(m_tipoDati) || m_tipoDati == tdNote || m_tipoDati == tdDebiti) {
        if (enter || Bloccata(Col(), Row()))
            NextCell();
    } else if (m_tipoDati == tdDebitiClasse || m_tipoDati == tdCrediti || m_tipoDati == tdEsito) {
        if (enter)
            NextCell();
    }
    TVxStringGrid::KeyPress(key);
}

// ---- Edits ----------------------------------------------------------------------------------

void TqelStringGrid::SetEditText(int col, int row, const QString &value)
{
    SegnaModificata(col, row);
    TVxStringGrid::SetEditText(col, row, value);
}

void TqelStringGrid::setModificato(bool on)
{
    m_modificato = on;
    if (!on)
        m_changed.clear();
}

bool TqelStringGrid::Modificato() const
{
    return m_modificato ||
           std::any_of(m_changed.begin(), m_changed.end(), [this](const auto &changed) {
               return CellaModificata(changed.first.first, changed.first.second);
           });
}

bool TqelStringGrid::CellaModificata(int col, int row) const
{
    if (!m_changed.count({col, row}))
        return false;
    return OnDiversa ? OnDiversa(col, row) : TestoCambiato(col, row);
}

bool TqelStringGrid::TestoCambiato(int col, int row) const
{
    const auto found = m_changed.find({col, row});
    return found != m_changed.end() && col < ColCount() && row < RowCount() &&
           Cells(col, row) != found->second;
}

void TqelStringGrid::SegnaModificata(int col, int row)
{
    if (col >= 0 && row >= 0 && col < ColCount() && row < RowCount())
        m_changed.emplace(std::make_pair(col, row), Cells(col, row));
}

// ---- Painting -------------------------------------------------------------------------------

void TqelStringGrid::DrawCell(QPainter &painter, int col, int row, const QRect &rect,
                              TGridDrawState state)
{
    if (row >= m_nRowIntest && col >= m_nColIntest) {
        if (isVoteKind(m_tipoDati)) {
            if (auto val = RecordAt<TRecVal>(col, row)) {
                if (val->bBloccato)
                    painter.fillRect(rect, FontColor());
                else if (m_evInsuff && !val->bValSuff && !blank(val->sValSDesc))
                    painter.fillRect(rect, qevColorInsuf(m_tipoCar));
            }
        } else if ((m_tipoDati == tdNote || m_tipoDati == tdDebiti) && Bloccata(col, row)) {
            painter.fillRect(rect, FontColor());
        }
        if (m_evRowCol && (col == m_selCol || row == m_selRow)) {
            painter.save();
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QColor(0, 0, 255));
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
            painter.restore();
        }
    }
    TVxStringGrid::DrawCell(painter, col, row, rect, state);
}

// ---- Selection and help text ----------------------------------------------------------------

QString TqelStringGrid::helpText(int col, int row) const
{
    if (m_tipoDati == tdCrediti) {
        auto cre = std::dynamic_pointer_cast<TRecCre>(RecordOf(col, row));
        if (!cre || cre->iBndId == 0)
            return QString();
        QLocale italian(QLocale::Italian, QLocale::Italy);
        italian.setNumberOptions(QLocale::OmitGroupSeparator);
        return QStringLiteral(" Banda credito: ") + cre->sBndDesc +
               QStringLiteral("  Media voti compresa tra: ") + cre->sBndMed +
               QStringLiteral("  Credito minimo-massimo: ") + cre->sBndCre +
               QStringLiteral("  Media dei voti: ") +
               italian.toString(RoundTo(cre->fCreMediaVoti, -2), 'g',
                                QLocale::FloatingPointShortest);
    }
    // The headers of a pupil row sit above the column; of a subject row, at its start.
    const bool perColumn = m_tipoCar == tcClasse || m_tipoCar == tcMateria;
    auto mat = perColumn ? RecordAt<TRecMat>(col, 0) : RecordAt<TRecMat>(0, row);
    if (!mat)
        return QString();
    QString text = QStringLiteral(" Materia: ") + mat->sMatLDesc;
    if (isGradeKind(m_tipoDati)) {
        auto cmp = perColumn ? RecordAt<TRecCmp>(col, 1) : RecordAt<TRecCmp>(col, 0);
        auto val = RecordAt<TRecVal>(col, row);
        if (!cmp || !val)
            return QString();
        text += QStringLiteral(" - Componente: ") + cmp->sCmpLDesc + QStringLiteral(" - Scala: ") +
                cmp->sScaDesc;
        if (val->iValId != 0)
            text += QStringLiteral(" - Voto : ") + val->sValLDesc;
    } else if (m_tipoDati == tdNote) {
        auto nota = std::dynamic_pointer_cast<TRecNot>(RecordOf(col, row));
        if (!nota)
            return QString();
        if (nota->dNotData.isValid())
            text += QStringLiteral(" Data: ") + shortDate(nota->dNotData);
        if (nota->iAnaId != 0)
            text += QStringLiteral(" Docente: ") + nota->sDocNome;
    } else if (m_tipoDati == tdDebiti) {
        auto deb = std::dynamic_pointer_cast<TRecDeb>(RecordOf(col, row));
        if (!deb)
            return QString();
        auto add = [&text](const char *label, const QString &value) {
            if (!blank(value))
                text += QString::fromLatin1(label) + value;
        };
        add(" Tipo: ", deb->sDtdLDesc);
        add(" Esito: ", deb->sDedLDesc);
        if (deb->dDebAttr.isValid())
            text += QStringLiteral(" Data attr: ") + shortDate(deb->dDebAttr);
        if (deb->dDebVer.isValid())
            text += QStringLiteral(" Data ver: ") + shortDate(deb->dDebVer);
        add(" Doc attr: ", deb->sDocAttr);
        add(" Doc ver: ", deb->sDocVer);
    }
    return text;
}

bool TqelStringGrid::SelectCell(int col, int row)
{
    // Judgments, outcomes and class debts keep whatever the frame put in the panel.
    const bool keepsPanel =
        m_tipoDati == tdGiudizio || m_tipoDati == tdEsito || m_tipoDati == tdDebitiClasse;
    const bool accepted = TVxStringGrid::SelectCell(col, row);
    // A refused move stays on its cell, and so does the panel: the frame wrote there why.
    if (accepted && row >= m_nRowIntest && col >= m_nColIntest && !keepsPanel && m_panelHlp)
        m_panelHlp->setText(helpText(col, row));
    if (accepted && m_evRowCol) {
        m_selCol = col;
        m_selRow = row;
        Invalidate();
    }
    return accepted;
}

// ---- Header texts and sizes -----------------------------------------------------------------

void TqelStringGrid::setDescrRow1(int which)
{
    if (m_tipoDati == tdCrediti || m_tipoDati == tdGiudizio || m_tipoDati == tdEsito ||
        (m_tipoDati == tdNote && m_tipoCar == tcMateria))
        return;
    m_descrRow1 = which;
    auto caption = [which](const TRecMat &mat) {
        return which == 0 ? mat.sMatCodUser : which == 1 ? mat.sMatSDesc : mat.sMatLDesc;
    };
    // A header position without a record keeps its text.
    if (m_tipoCar == tcClasse || m_tipoCar == tcMateria) {
        for (int c = m_nColIntest; c < ColCount(); ++c) {
            if (auto mat = RecordAt<TRecMat>(c, 0))
                setCells(c, 0, caption(*mat));
        }
    } else {
        const int col = m_tipoCar == tcAlunno ? 0 : 1;
        for (int r = m_nRowIntest; r < RowCount(); ++r) {
            if (auto mat = RecordAt<TRecMat>(col, r))
                setCells(col, r, caption(*mat));
        }
    }
}

void TqelStringGrid::setDescrRow2(int which)
{
    if (!isGradeKind(m_tipoDati))
        return;
    m_descrRow2 = which;
    const int row = m_tipoCar == tcClasse || m_tipoCar == tcMateria ? 1 : 0;
    if (row >= RowCount())
        return;
    for (int c = m_nColIntest; c < ColCount(); ++c) {
        if (auto cmp = RecordAt<TRecCmp>(c, row))
            setCells(c, row, which == 0 ? cmp->sCmpSDesc : cmp->sCmpLDesc);
    }
}

void TqelStringGrid::setnColDim(int width)
{
    if (m_tipoDati == tdGiudizio)
        return;
    // A width chosen for every column again replaces the ones dragged.
    if (width != m_nColDim)
        m_trascinate.clear();
    m_nColDim = width;
    for (int c = 1; c < ColCount(); ++c)
        setLarghezza(c, width);
}

void TqelStringGrid::setnRowDim(int height)
{
    m_nRowDim = height;
    setDefaultRowHeight(height);
}

void TqelStringGrid::setnNomeDim(int width)
{
    m_nNomeDim = width;
    if (ColCount() > 0)
        setLarghezza(0, width);
}

int TqelStringGrid::LarghezzaScalata(int width) const
{
    // A character's width as the system measured its dialogs: the letters' average, about 5.5
    // pixels for the 8-point font the stored widths were chosen with.
    constexpr double larghezzaOriginale = 5.5;
    static const QString lettere =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double carattere = QFontMetricsF(font()).horizontalAdvance(lettere) / lettere.size();
    return qRound(width * carattere / larghezzaOriginale);
}

void TqelStringGrid::setLarghezza(int col, int width)
{
    m_larghezze[col] = width;
    applicaLarghezza(col);
}

int TqelStringGrid::larghezzaAdattata(int col) const
{
    const auto stored = m_larghezze.find(col);
    int width = stored != m_larghezze.end() ? LarghezzaScalata(stored->second) : ColWidths(col);
    // The cell's text stands between margins of two pixels, the grid line after it.
    const QFontMetrics metrics(font());
    if (const auto texts = m_testi.find(col); texts != m_testi.end()) {
        for (const QString &text : texts->second)
            width = std::max(width, metrics.horizontalAdvance(text) + 6);
    }
    if (const auto written = m_scritti.find(col); written != m_scritti.end()) {
        for (const auto &[row, text] : written->second)
            width = std::max(width, metrics.horizontalAdvance(text) + 6);
    }
    return width;
}

void TqelStringGrid::applicaLarghezza(int col)
{
    if (col >= ColCount())
        return;
    if (const auto dragged = m_trascinate.find(col); dragged != m_trascinate.end()) {
        setColWidths(col, dragged->second);
        return;
    }
    const auto agio = m_agio.find(col);
    setColWidths(col, larghezzaAdattata(col) + (agio != m_agio.end() ? agio->second : 0));
    if (m_ultimaEstesa && col < ColCount() - 1)
        estendiUltima();
}

void TqelStringGrid::distribuisciAgio()
{
    // The room the columns leave in the grid's width goes to the headers cut to their first
    // word, so that they read whole; when it is not enough for all, each gets its share. A
    // grid whose last column takes the room (the judgments) leaves none.
    m_agio.clear();
    if (m_testi.empty() || m_ultimaEstesa)
        return;
    const QFontMetrics metrics(font());
    std::map<int, int> bisogni;
    int usato = 0;
    int totale = 0;
    for (int c = 0; c < ColCount(); ++c) {
        const auto dragged = m_trascinate.find(c);
        const int adattata = dragged != m_trascinate.end() ? dragged->second : larghezzaAdattata(c);
        usato += adattata + 1;
        if (c < m_nColIntest || !m_testi.count(c) || dragged != m_trascinate.end())
            continue;
        int intera = 0;
        for (int r = 0; r < m_nRowIntest && r < RowCount(); ++r)
            intera = std::max(intera, metrics.horizontalAdvance(Cells(c, r)) + 6);
        if (intera > adattata) {
            bisogni[c] = intera - adattata;
            totale += intera - adattata;
        }
    }
    const int spazio = viewport()->width() - usato;
    if (totale == 0 || spazio <= 0)
        return;
    for (const auto &[c, bisogno] : bisogni) {
        m_agio[c] = totale <= spazio ? bisogno : bisogno * spazio / totale;
        applicaLarghezza(c);
    }
}

void TqelStringGrid::AdattaLarghezze(const std::function<QStringList(int col)> &valori)
{
    m_testi.clear();
    m_scritti.clear();
    for (int c = m_nColIntest; c < ColCount(); ++c) {
        QStringList texts = valori ? valori(c) : QStringList();
        for (int r = 0; r < m_nRowIntest && r < RowCount(); ++r)
            texts << primaParola(Cells(c, r));
        for (int r = m_nRowIntest; r < RowCount(); ++r)
            texts << Cells(c, r);
        m_testi[c] = texts;
        m_agio.erase(c);
        applicaLarghezza(c);
    }
    estendiUltima();
    distribuisciAgio();
}

void TqelStringGrid::setUltimaEstesa(bool on)
{
    m_ultimaEstesa = on;
    estendiUltima();
}

void TqelStringGrid::estendiUltima()
{
    const int last = ColCount() - 1;
    if (!m_ultimaEstesa || last < 1 || m_trascinate.count(last))
        return;
    const auto stored = m_larghezze.find(last);
    const int own = stored != m_larghezze.end() ? LarghezzaScalata(stored->second) : 0;
    // Every column is followed by its line of one pixel.
    int others = 0;
    for (int c = 0; c < last; ++c)
        others += ColWidths(c) + 1;
    setColWidths(last, std::max(own, viewport()->width() - others - 1));
}

void TqelStringGrid::CellTextChanged(int col, int row)
{
    // A value written once the columns were fitted (typed, chosen, assigned) shows whole at
    // once: its column widens, unless the office sized it by hand. It narrows only back to what
    // it was fitted to, when a longer text goes (Esc puts the old one back).
    if (!m_testi.count(col) || m_trascinate.count(col))
        return;
    const QString text = row < m_nRowIntest ? primaParola(Cells(col, row)) : Cells(col, row);
    QString &written = m_scritti[col][row];
    const QFontMetrics metrics(font());
    const int before = metrics.horizontalAdvance(written) + 6;
    written = text;
    if (metrics.horizontalAdvance(text) + 6 > ColWidths(col) || before >= ColWidths(col))
        applicaLarghezza(col);
}

void TqelStringGrid::ColSized(int col)
{
    m_trascinate[col] = ColWidths(col);
    if (col < ColCount() - 1)
        estendiUltima();
    // In the stored unit, which the grid scales by its font as it scales the others.
    if (OnLarghezzaTrascinata)
        OnLarghezzaTrascinata(
            col, qMax(1, qRound(ColWidths(col) * 1000.0 / qMax(1, LarghezzaScalata(1000)))));
}

QString TqelStringGrid::ChiaveColonna(int col) const
{
    if (col == 0)
        return QStringLiteral("#0");
    QStringList parti;
    for (int r = 0; r < m_nRowIntest && r < RowCount(); ++r) {
        if (auto mat = RecordAt<TRecMat>(col, r))
            parti << (mat->sMatCodUser.trimmed().isEmpty() ? mat->sMatSDesc.trimmed()
                                                           : mat->sMatCodUser.trimmed());
        else if (auto cmp = RecordAt<TRecCmp>(col, r))
            parti << cmp->sCmpSDesc.trimmed();
        else
            parti << Cells(col, r).trimmed();
    }
    return parti.join(QLatin1Char('/'));
}

void TqelStringGrid::setLarghezzaTrascinata(int col, int width)
{
    // A width dragged in this grid keeps its pixel.
    if (col >= ColCount() || m_trascinate.count(col))
        return;
    m_trascinate[col] = LarghezzaScalata(width);
    applicaLarghezza(col);
}

void TqelStringGrid::DimenticaTrascinate()
{
    m_trascinate.clear();
    for (const auto &entry : m_larghezze)
        applicaLarghezza(entry.first);
    estendiUltima();
}

void TqelStringGrid::resizeEvent(QResizeEvent *event)
{
    TVxStringGrid::resizeEvent(event);
    estendiUltima();
    // The spare room changed: the headers' share of it is measured again.
    if (!m_agio.empty() || event->size().width() > event->oldSize().width()) {
        const std::map<int, int> prima = std::exchange(m_agio, {});
        for (const auto &[c, agio] : prima)
            applicaLarghezza(c);
        distribuisciAgio();
    }
}

void TqelStringGrid::changeEvent(QEvent *event)
{
    TVxStringGrid::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    for (const auto &entry : m_larghezze)
        applicaLarghezza(entry.first);
    estendiUltima();
}

void TqelStringGrid::setEvRowCol(bool on)
{
    m_evRowCol = on;
    Invalidate();
}

void TqelStringGrid::setEvInsuff(bool on)
{
    m_evInsuff = on;
    Invalidate();
}
