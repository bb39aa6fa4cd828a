#include "xls/xlsadapter.h"

#include "xls/formula.h"
#include "xls/names.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QtEndian>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xls {

namespace {

bool nameTaken(const QString &path)
{
    struct stat info;
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

// --- templates ----------------------------------------------------------------------------

TXlsTemplate::TXlsTemplate() = default;

void TXlsTemplate::setFileName(const QString &path)
{
    Storages.LoadFromFile(path);
    Storages.SetCompress(Compress);
    m_fileName = QFileInfo(path).fileName();
}

QByteArray TXlsTemplate::templateData() const
{
    QByteArray out;
    char b[4];
    qToLittleEndian<quint16>(1, b);
    out.append(b, 2);
    const QByteArray name = m_fileName.toLatin1();
    qToLittleEndian<quint32>(quint32(name.size()), b);
    out.append(b, 4);
    out.append(name);
    Storages.SaveToStream(out);
    return out;
}

void TXlsTemplate::setTemplateData(const QByteArray &data)
{
    qsizetype pos = 2; // the version word is not looked at
    if (data.size() < 6)
        raiseXls(ErrorReadingRecord);
    const quint32 nameLength = qFromLittleEndian<quint32>(data.constData() + pos);
    pos += 4;
    if (qsizetype(nameLength) > data.size() - pos)
        raiseXls(ErrorReadingRecord);
    const QString name = QString::fromLatin1(data.mid(pos, nameLength));
    pos += nameLength;
    Storages.LoadFromStream(data, pos);
    m_fileName = name;
}

TXlsTemplate &TXlsTemplateList::Add()
{
    m_items.push_back(std::make_unique<TXlsTemplate>());
    m_items.back()->Compress = Compress;
    return *m_items.back();
}

TXlsTemplateStore::TXlsTemplateStore(QObject *parent) : TXlsBaseTemplateStore(parent) {}

void TXlsTemplateStore::setCompress(bool value)
{
    m_compress = value;
    Templates.Compress = value;
    for (int i = 0; i < Templates.count(); ++i) {
        Templates.GetTemplateItem(i).Compress = value;
        Templates.GetTemplateItem(i).Storages.SetCompress(value);
    }
}

TXlsStorageList &TXlsTemplateStore::GetStorages(const QString &fileName)
{
    const QString bare = QFileInfo(fileName).fileName();
    for (int i = 0; i < Templates.count(); ++i)
        if (Templates.GetTemplateItem(i).FileName() == bare)
            return Templates.GetTemplateItem(i).Storages;
    raiseXls(CantFindFile, {bare});
}

std::unique_ptr<TXLSFile> TXLSAdapter::NewExcelFile()
{
    return std::make_unique<TXLSFile>(this);
}

QString searchFile(const QString &name)
{
    QStringList candidates{name};
    if (QFileInfo(name).suffix().isEmpty())
        candidates << name + QStringLiteral(".xls");
    for (const QString &c : candidates) {
        const QFileInfo fi(c);
        if (fi.isAbsolute()) {
            if (fi.isFile())
                return fi.absoluteFilePath();
            continue;
        }
        QStringList dirs{QDir::currentPath()};
        if (QCoreApplication::instance())
            dirs << QCoreApplication::applicationDirPath();
        dirs << QString::fromLocal8Bit(qgetenv("PATH"))
                    .split(QDir::listSeparator(), Qt::SkipEmptyParts);
        for (const QString &d : dirs) {
            const QFileInfo found(QDir(d), c);
            if (found.isFile())
                return found.absoluteFilePath();
        }
    }
    raiseXls(CantFindTheFile, {name});
}

// --- the file object ------------------------------------------------------------------------

TXLSFile::TXLSFile(TXLSAdapter *adapter) : Adapter(adapter) {}

TXLSFile::~TXLSFile() = default;

TWorkSheet *TXLSFile::activeWorkSheet() const
{
    return Workbook ? Workbook->WorkSheet(ActiveSheet - 1) : nullptr;
}

void TXLSFile::AttachWorkbook()
{
    Workbook = std::make_unique<TWorkbook>();
}

void TXLSFile::ReleaseWorkbook()
{
    Workbook.reset();
}

void TXLSFile::OpenFile(const QString &fileName)
{
    Storages = nullptr;
    OwnStorages.reset();
    if (Adapter && Adapter->TemplateStore()) {
        Storages = &Adapter->TemplateStore()->GetStorages(fileName);
    } else {
        OwnStorages = std::make_unique<TXlsStorageList>();
        OwnStorages->LoadFromFile(searchFile(fileName));
        Storages = OwnStorages.get();
    }
    if (!Workbook)
        AttachWorkbook();
    Workbook->LoadFromStream(Storages->FindStream(xlsMessageText(WorkbookStreamName)));
    ActiveSheet = Workbook->ActiveTab() + 1;
    RefreshPictureIndex();
}

void TXLSFile::Save(bool autoClose, const QString &fileName, const GetFileNameEvent &onGetFileName,
                    const GetOutStreamEvent &onGetOutStream, QIODevice *dataStream)
{
    Q_UNUSED(autoClose);
    Q_ASSERT(Workbook && Storages);
    QIODevice *stream = dataStream;
    if (!stream && onGetOutStream)
        onGetOutStream(this, 0, stream);
    QString name = fileName;
    if (!stream) {
        if (onGetFileName)
            onGetFileName(this, 0, name);
        // An existing file is never overwritten: the caller deletes it first. A link standing
        // at the name, even one pointing nowhere, is an existing file.
        if (nameTaken(fileName) || nameTaken(name))
            raiseXls(CantWriteToFile, {fileName});
    }
    const QString streamName = xlsMessageText(WorkbookStreamName);
    const QByteArray workbookBytes = Workbook->SaveToStream();
    const QByteArray file = buildCompoundFile(*Storages, streamName, streamName, workbookBytes);
    if (stream) {
        if (stream->write(file) != file.size())
            raiseXls(ErrorWritingOutput);
        return;
    }
    // Made where nothing stands (never through a link), every byte and the flush checked; a
    // file that could not be written whole is not left behind.
    const QByteArray path = QFile::encodeName(name);
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        raiseXls(CantWriteToFile, {name});
    bool written = true;
    for (qsizetype done = 0; written && done < file.size();) {
        const ssize_t n = ::write(fd, file.constData() + done, size_t(file.size() - done));
        written = n > 0 || (n < 0 && errno == EINTR);
        done += qMax<ssize_t>(n, 0);
    }
    written = written && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written) {
        ::unlink(path.constData());
        raiseXls(ErrorWritingOutput);
    }
}

// --- cells --------------------------------------------------------------------------------

QVariant TXLSFile::GetCellValueAbs(int row, int col) const
{
    return GetCellValue(row, col - RangeFirstCol - 1);
}

void TXLSFile::SetCellValueAbs(int row, int col, const QVariant &value)
{
    SetCellValue(row, col - RangeFirstCol - 1, value);
}

TXlsCellValue TXLSFile::GetCellValueXAbs(int row, int col) const
{
    return GetCellValueX(row, col - RangeFirstCol - 1);
}

void TXLSFile::SetCellValueXAbs(int row, int col, const TXlsCellValue &value)
{
    SetCellValueX(row, col - RangeFirstCol - 1, value);
}

QVariant TXLSFile::GetCellValue(int row, int col) const
{
    return GetCellValueX(row, col).Value;
}

TXlsCellValue TXLSFile::GetCellValueX(int row, int col) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return TXlsCellValue();
    return ws->Cells->GetValue(row - 1, RangeFirstCol + col);
}

void TXLSFile::SetCellValue(int row, int col, const QVariant &value)
{
    TXlsCellValue v;
    v.Value = value;
    SetCellValueX(row, col, v);
}

void TXLSFile::SetCellValueX(int row, int col, const TXlsCellValue &value)
{
    TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    TXlsCellValue v = value;
    if (v.XF < 0)
        v.XF = -1;
    else
        checkFormat(v.XF);
    ws->Cells->SetValue(row - 1, RangeFirstCol + col, v);
}

// --- sheets -------------------------------------------------------------------------------

QString TXLSFile::GetActiveSheetName() const
{
    if (!Workbook || ActiveSheet < 1 || ActiveSheet > Workbook->SheetCount())
        return QString();
    return Workbook->Globals.boundSheet(ActiveSheet - 1).sheetName();
}

void TXLSFile::SetActiveSheetName(const QString &name)
{
    if (!Workbook || ActiveSheet < 1 || ActiveSheet > Workbook->SheetCount())
        return;
    TBoundSheetRecord &bs = Workbook->Globals.boundSheet(ActiveSheet - 1);
    const QString old = bs.sheetName();
    if (old == name)
        return;
    Workbook->Globals.SheetNames.Add(name);
    Workbook->Globals.SheetNames.Remove(old);
    bs.setSheetName(name);
}

int TXLSFile::GetSheetCount() const
{
    return Workbook ? Workbook->SheetCount() : 0;
}

void TXLSFile::SelectSheet(int sheet)
{
    if (Workbook && Workbook->validSheet(sheet - 1))
        Workbook->SelectSheet(sheet - 1);
}

bool TXLSFile::IsWorksheet(int sheet) const
{
    return Workbook && Workbook->IsWorksheet(sheet - 1);
}

// --- rows and columns ---------------------------------------------------------------------

namespace {
void checkColumn(int col)
{
    if (col < 0 || col > 255)
        raiseXls(InvalidColumn, {col});
}
void checkRow(int row)
{
    if (row < 0 || row > 65535)
        raiseXls(InvalidRow, {row});
}
} // namespace

int TXLSFile::GetColumnWidth(int col) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return 0;
    checkColumn(col - 1);
    const TColInfo *ci = ws->ColInfos.find(col - 1);
    return ci ? ci->Width : ws->DefColWidth;
}

void TXLSFile::SetColumnWidth(int col, int width)
{
    TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    checkColumn(col - 1);
    ws->ColInfos.ensure(col - 1, width).Width = width;
}

int TXLSFile::GetRowHeight(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return 0;
    const TRowRecord *r = ws->Cells->rowRecord(row - 1);
    return r ? r->height() : ws->DefRowHeight;
}

void TXLSFile::SetRowHeight(int row, int height)
{
    TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    checkRow(row - 1);
    TRowRecord &r = ws->Cells->EnsureRow(row - 1);
    r.setHeight(height);
    r.setCustomHeight(true);
}

int TXLSFile::GetDefaultColWidth() const
{
    const TWorkSheet *ws = activeWorkSheet();
    return ws ? ws->DefColWidth : 10;
}

int TXLSFile::GetDefaultRowHeight() const
{
    const TWorkSheet *ws = activeWorkSheet();
    return ws ? ws->DefRowHeight : 255;
}

bool TXLSFile::GetAutoRowHeight(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return true;
    const TRowRecord *r = ws->Cells->rowRecord(row - 1);
    return !r || !r->customHeight();
}

void TXLSFile::SetAutoRowHeight(int row, bool value)
{
    TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    if (TRowRecord *r = ws->Cells->rowRecord(row - 1))
        r->setCustomHeight(!value);
}

int TXLSFile::GetColumnFormat(int col) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return 0;
    const TColInfo *ci = ws->ColInfos.find(col - 1);
    return ci ? ci->XF : 0;
}

void TXLSFile::SetColumnFormat(int col, int xf)
{
    TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    checkColumn(col - 1);
    checkFormat(xf);
    ws->ColInfos.ensure(col - 1, ws->DefColWidth).XF = xf;
    for (auto &cells : ws->Cells->CellRows)
        for (auto &cell : cells)
            if (cell->column() == col - 1)
                cell->setXF(xf);
}

int TXLSFile::GetRowFormat(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return 0;
    const TRowRecord *r = ws->Cells->rowRecord(row - 1);
    return r ? r->xf() : 0;
}

void TXLSFile::SetRowFormat(int row, int xf)
{
    TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    checkRow(row - 1);
    checkFormat(xf);
    ws->Cells->EnsureRow(row - 1).setXF(xf);
    if (size_t(row - 1) < ws->Cells->CellRows.size())
        for (auto &cell : ws->Cells->CellRows[size_t(row - 1)])
            cell->setXF(xf);
}

quint32 TXLSFile::GetColorPalette(int index) const
{
    return Workbook ? Workbook->Globals.GetColor(index % 128 - 1) : 0;
}

void TXLSFile::SetColorPalette(int index, quint32 color)
{
    if (Workbook)
        Workbook->Globals.SetColor(index % 128 - 1, color);
}

int TXLSFile::GetFormatCount() const
{
    return Workbook ? int(Workbook->Globals.XFs.size()) : 0;
}

void TXLSFile::checkFormat(int xf) const
{
    // A format the workbook does not have would make the saved file unreadable; a column's or
    // a row's format reaches every cell later written there.
    const int formats = int(Workbook->Globals.XFs.size());
    if (xf < 0 || xf >= formats)
        raiseXls(IndexNotInRange, {xf, QStringLiteral("XF"), 0, formats - 1});
}

TXlsCellFormat TXLSFile::GetFormat(int xf) const
{
    TXlsCellFormat f;
    if (!Workbook)
        return f;
    const TWorkbookGlobals &g = Workbook->Globals;
    checkFormat(xf);
    const TBaseRecord &x = *g.XFs[size_t(xf)];
    if (x.DataSize() < 20)
        raiseXls(ErrorReadingExcelRecords);
    int font = x.getWord(0);
    if (font >= 5)
        --font; // font index 4 is never stored
    if (font < 0 || size_t(font) >= g.Fonts.size())
        font = 0;
    if (!g.Fonts.empty()) {
        const auto &fr = static_cast<const TFontRecord &>(*g.Fonts[size_t(font)]);
        f.FontName = fr.fontName();
        f.FontHeight = fr.getWord(0);
        f.FontColor = fr.getWord(4) - 8 + 1;
        f.Bold = fr.getWord(6) == 700;
        f.Italic = fr.getWord(2) & 0x0002;
        f.StrikeOut = fr.getWord(2) & 0x0008;
        f.Superscript = fr.getWord(8) == 1;
        f.Subscript = fr.getWord(8) == 2;
        switch (fr.getByte(10)) {
        case 0x01:
            f.Underline = 1;
            break;
        case 0x02:
            f.Underline = 2;
            break;
        case 0x21:
            f.Underline = 3;
            break;
        case 0x22:
            f.Underline = 4;
            break;
        default:
            f.Underline = 0;
            break;
        }
    }
    f.NumberFormat = g.GetFormatString(x.getWord(2));
    const quint8 b10 = x.getByte(10), b11 = x.getByte(11);
    f.BorderStyle[0] = b10 & 0x0F;
    f.BorderStyle[1] = b10 >> 4;
    f.BorderStyle[2] = b11 & 0x0F;
    f.BorderStyle[3] = b11 >> 4;
    const quint16 w12 = x.getWord(12), w14 = x.getWord(14);
    f.BorderColor[0] = (w12 & 0x7F) - 7;
    f.BorderColor[1] = ((w12 >> 7) & 0x7F) - 7;
    f.BorderColor[2] = (w14 & 0x7F) - 7;
    f.BorderColor[3] = ((w14 >> 7) & 0x7F) - 7;
    const quint32 d14 = x.getDWord(14);
    f.DiagonalStyle = (d14 >> 21) & 0x0F;
    f.DiagonalColor = int((d14 >> 14) & 0x7F) - 7;
    f.FillPattern = int(d14 >> 26) + 1;
    const quint16 w18 = x.getWord(18);
    f.FillForeground = (w18 & 0x7F) - 8 + 1;
    f.FillBackground = ((w18 >> 7) & 0x7F) - 8 + 1;
    f.HAlign = x.getByte(6) & 0x07;
    f.VAlign = (x.getWord(6) >> 4) & 0x07;
    f.Wrap = x.getWord(6) & 0x0008;
    f.ShrinkToFit = x.getWord(8) & 0x0010;
    f.Indent = x.getByte(8) & 0x0F;
    f.Locked = x.getWord(4) & 0x0001;
    f.Hidden = x.getWord(4) & 0x0002;
    f.Parent = x.getWord(4) & 0xFFF0;
    f.Merge = false;
    return f;
}

bool TXLSFile::GetShowGridLines() const
{
    const TSheet *s = Workbook ? Workbook->Sheet(ActiveSheet - 1) : nullptr;
    return !s || !s->Window2 || s->Window2->showGridLines();
}

void TXLSFile::SetShowGridLines(bool value)
{
    TSheet *s = Workbook ? Workbook->Sheet(ActiveSheet - 1) : nullptr;
    if (s && s->Window2)
        s->Window2->setShowGridLines(value);
}

void TXLSFile::GetCellMergedBounds(int row, int col, int &firstRow, int &firstCol, int &lastRow,
                                   int &lastCol) const
{
    firstRow = lastRow = row;
    firstCol = lastCol = col;
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    if (const TRangeValues *v = ws->Ranges->mergedAreaOf(row - 1, col - 1)) {
        firstRow = v->FirstRow + 1;
        lastRow = v->LastRow + 1;
        firstCol = v->FirstCol + 1;
        lastCol = v->LastCol + 1;
    }
}

int TXLSFile::GetMaxRow() const
{
    const TWorkSheet *ws = activeWorkSheet();
    return ws ? ws->Cells->maxRow() : 0;
}

int TXLSFile::GetMaxCol() const
{
    const TWorkSheet *ws = activeWorkSheet();
    return ws ? ws->Cells->maxCol() : 0;
}

bool TXLSFile::IsEmptyRow(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    return !ws || row < 1 || !ws->Cells->rowRecord(row - 1);
}

int TXLSFile::GetColByIndex(int row, int index) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws || row < 1 || size_t(row - 1) >= ws->Cells->CellRows.size())
        return 0;
    const auto &cells = ws->Cells->CellRows[size_t(row - 1)];
    if (index < 1 || size_t(index) > cells.size())
        return 0;
    return cells[size_t(index - 1)]->column() + 1;
}

int TXLSFile::GetColIndexCount(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws || row < 1 || size_t(row - 1) >= ws->Cells->CellRows.size())
        return 0;
    return int(ws->Cells->CellRows[size_t(row - 1)].size());
}

int TXLSFile::GetColIndex(int row, int col) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws || row < 1 || size_t(row - 1) >= ws->Cells->CellRows.size())
        return 0;
    const auto &cells = ws->Cells->CellRows[size_t(row - 1)];
    if (cells.empty())
        return 0;
    for (size_t i = 0; i < cells.size(); ++i)
        if (cells[i]->column() >= col)
            return int(i) + 1;
    return int(cells.size()) + 1;
}

int TXLSFile::GetRangeColCount(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws || ws->Cells->maxRow() < row)
        return 0;
    return RangeLastCol - RangeFirstCol + 1;
}

// --- rows ---------------------------------------------------------------------------------

void TXLSFile::InsertAndCopyRows(int firstRow, int lastRow, int destRow, int count,
                                 bool onlyFormulas)
{
    Q_ASSERT(Workbook);
    // An index left as it was would name pictures by rows they no longer have.
    m_picturesMoved = true;
    Workbook->InsertAndCopyRows(ActiveSheet - 1, firstRow - 1, lastRow - 1, destRow - 1, count,
                                onlyFormulas);
}

void TXLSFile::DeleteRows(int row, int count)
{
    Q_ASSERT(Workbook);
    m_picturesMoved = true;
    Workbook->DeleteRows(ActiveSheet - 1, row - 1, count);
}

void TXLSFile::InsertAndCopySheets(int copyFrom, int insertBefore, int count)
{
    Q_ASSERT(Workbook);
    Workbook->InsertSheets(copyFrom - 1, insertBefore - 1, count);
}

QString TXLSFile::markerText(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    const TCellRecord *cell = ws ? ws->Cells->cellAt(row, 0) : nullptr;
    return cell ? cell->GetValue().toString() : QString();
}

void TXLSFile::DeleteMarkedRows(const QString &marker)
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    for (int row = ws->Cells->maxRow() - 1; row >= 0; --row)
        if (markerText(row) == marker)
            Workbook->DeleteRows(ActiveSheet - 1, row, 1);
}

void TXLSFile::MakePageBreaks(const QString &marker)
{
    TWorkSheet *ws = activeWorkSheet();
    if (!ws)
        return;
    for (int row = ws->Cells->maxRow() - 1; row >= 0; --row) {
        if (markerText(row) != marker)
            continue;
        ws->PageBreaks.AddPageBreak(row);
        TXlsCellValue cleared;
        cleared.XF = ws->Cells->cellAt(row, 0)->xf();
        ws->Cells->SetValue(row, 0, cleared);
    }
}

// --- defined names ------------------------------------------------------------------------

int TXLSFile::GetRangeCount() const
{
    return Workbook ? int(Workbook->Globals.Names.size()) : 0;
}

QString TXLSFile::GetRangeName(int index) const
{
    if (index < 1 || index > GetRangeCount())
        return QString();
    return static_cast<const TNameRecord &>(*Workbook->Globals.Names[size_t(index - 1)]).name();
}

int TXLSFile::nameBound(int index, int which) const
{
    if (index < 1 || index > GetRangeCount())
        return -1;
    const auto &name =
        static_cast<const TNameRecord &>(*Workbook->Globals.Names[size_t(index - 1)]);
    int ref, r1, r2, c1, c2;
    if (!name.area(ref, r1, r2, c1, c2))
        return -1;
    switch (which) {
    case 0:
        return r1 + 1;
    case 1:
        return r2 + 1;
    case 2:
        return c1 + 1;
    case 3:
        return c2 + 1;
    default:
        return Workbook->Globals.References.GetSheetOfRef(ref) + 1;
    }
}

int TXLSFile::GetRangeFirstRow(int index) const
{
    return nameBound(index, 0);
}
int TXLSFile::GetRangeLastRow(int index) const
{
    return nameBound(index, 1);
}
int TXLSFile::GetRangeFirstCol(int index) const
{
    return nameBound(index, 2);
}
int TXLSFile::GetRangeLastCol(int index) const
{
    return nameBound(index, 3);
}
int TXLSFile::GetRangeSheet(int index) const
{
    return nameBound(index, 4);
}

void TXLSFile::SelectRange(int index)
{
    if (nameBound(index, 2) < 1)
        return;
    RangeFirstCol = nameBound(index, 2) - 1;
    RangeLastCol = nameBound(index, 3) - 1;
}

// --- comments and pictures ----------------------------------------------------------------

const std::vector<int> &TRowComments::operator[](int row) const
{
    static const std::vector<int> none;
    auto it = m_rows.find(row);
    return it == m_rows.end() ? none : it->second;
}

int TXLSFile::GetCommentsCount(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    return ws && row >= 1 ? int(ws->NotesOfRow(row - 1).size()) : 0;
}

QString TXLSFile::GetCommentText(int row, int index) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws || row < 1)
        return {};
    const auto notes = ws->NotesOfRow(row - 1);
    if (index < 0 || index >= int(notes.size()))
        raiseXls(IndexNotInRange, {index, QStringLiteral("Comment"), 0, int(notes.size()) - 1});
    return ws->NoteText(*notes[size_t(index)]);
}

void TXLSFile::SetCommentText(int row, int index, const QString &text)
{
    TWorkSheet *ws = activeWorkSheet();
    if (!ws || row < 1)
        return;
    const auto notes = ws->NotesOfRow(row - 1);
    if (index < 0 || index >= int(notes.size()))
        raiseXls(IndexNotInRange, {index, QStringLiteral("Comment"), 0, int(notes.size()) - 1});
    ws->SetNoteText(notes[size_t(index)], text);
}

void TXLSFile::RefreshPictureIndex()
{
    buildPictureIndex();
}

const TRowComments &TXLSFile::rowPictures() const
{
    if (m_picturesMoved)
        buildPictureIndex();
    return RowPictures;
}

void TXLSFile::buildPictureIndex() const
{
    m_picturesMoved = false;
    RowPictures.Clear();
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws || !ws->Drawing)
        return;
    const auto pictures = ws->Drawing->pictures();
    for (size_t i = 0; i < pictures.size(); ++i)
        RowPictures.Add(TClientAnchor(TDrawing::anchorOf(pictures[i])).firstRow() + 1, int(i));
}

int TXLSFile::GetPicturesCount(int row) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws || !ws->Drawing)
        return 0;
    if (row < 1)
        return int(ws->Drawing->pictures().size());
    return int(rowPictures()[row].size());
}

TEscherRecord *TXLSFile::pictureAt(int row, int index) const
{
    const TWorkSheet *ws = activeWorkSheet();
    if (!ws || !ws->Drawing)
        return nullptr;
    const auto pictures = ws->Drawing->pictures();
    int sheetIndex = index;
    if (row >= 1) {
        const std::vector<int> &inRow = rowPictures()[row];
        if (index < 0 || index >= int(inRow.size()))
            raiseXls(IndexNotInRange, {index, QStringLiteral("Picture"), 0, int(inRow.size()) - 1});
        sheetIndex = inRow[size_t(index)];
    }
    if (sheetIndex < 0 || sheetIndex >= int(pictures.size()))
        raiseXls(IndexNotInRange,
                 {sheetIndex, QStringLiteral("Picture"), 0, int(pictures.size()) - 1});
    return pictures[size_t(sheetIndex)];
}

QString TXLSFile::GetPictureName(int row, int index) const
{
    TEscherRecord *shape = pictureAt(row, index);
    return shape ? TDrawing::shapeName(shape) : QString();
}

void TXLSFile::AssignPicture(int row, int index, const QByteArray &data, int pictureType)
{
    TEscherRecord *shape = pictureAt(row, index);
    if (!shape)
        return;
    TDrawingGroup *group = Workbook->Globals.DrawingGroup.get();
    if (!group)
        raiseXls(ErrorProcessingEscher);
    const int previous = TDrawing::pictureId(shape);
    const int entry = group->AddPicture(data, pictureType);
    group->UseBSE(entry);
    TDrawing::setPictureId(shape, entry);
    if (previous > 0)
        group->ReleaseBSE(previous);
}

QByteArray TXLSFile::GetPictureAnchor(int row, int index, int &pictureType,
                                      TXlsPictureAnchor &anchor) const
{
    pictureType = 5;
    anchor = TXlsPictureAnchor();
    TEscherRecord *shape = pictureAt(row, index);
    if (!shape)
        return {};
    const TEscherRecord *a = TDrawing::anchorOf(shape);
    const QByteArray &d = a->Data;
    auto word = [&d](int off) { return int(qFromLittleEndian<quint16>(d.constData() + off)); };
    anchor.Kind = word(0) & 3;
    anchor.Col1 = word(2) + 1;
    anchor.Dx1 = word(4);
    anchor.Row1 = word(6) + 1;
    anchor.Dy1 = word(8);
    anchor.Col2 = word(10) + 1;
    anchor.Dx2 = word(12);
    anchor.Row2 = word(14) + 1;
    anchor.Dy2 = word(16);
    const TDrawingGroup *group = Workbook->Globals.DrawingGroup.get();
    const TEscherRecord *bse = group ? group->BSE(TDrawing::pictureId(shape)) : nullptr;
    return bse ? pictureOfBSE(*bse, pictureType) : QByteArray();
}

} // namespace xls
