#include "xls/workbook.h"

#include "xls/formula.h"
#include "xls/names.h"
#include "xls/xlsmessages.h"

#include <QtEndian>

#include <algorithm>
#include <map>

namespace xls {

namespace {

bool isIgnored(quint16 id)
{
    switch (id) {
    case RID_XCT:
    case RID_CRN:
    case RID_DBCELL:
    case RID_MSODRAWINGSELECTION:
    case RID_EXTSST:
    case RID_RECALCID:
    case RID_DIMENSIONS:
    case RID_INDEX:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void invalid()
{
    raiseXls(ErrorReadingExcelRecords);
}

template <class List> void saveList(const List &list, ByteWriter &out)
{
    for (const auto &r : list)
        r->SaveToStream(out);
}

RecordList copyList(const RecordList &list)
{
    RecordList out;
    for (const auto &r : list)
        out.push_back(r->CopyTo());
    return out;
}

void checkBof(const TBaseRecord &bof)
{
    if (bof.DataSize() < 4)
        invalid();
    if (bof.getWord(0) != 0x0600)
        raiseXls(InvalidExcelVersion);
}

} // namespace

void TSubListRecord::SaveToStream(ByteWriter &out) const
{
    saveList(*List, out);
}

// --- references ---------------------------------------------------------------------------

void TReferences::clear()
{
    SupBooks.clear();
    ExternRefs.clear();
    LocalSupBook = -1;
    HasExternSheet = false;
}

void TReferences::AddSupBook(RecordPtr record)
{
    if (record->DataSize() == 4 && record->getWord(2) == 0x0401)
        LocalSupBook = int(SupBooks.size());
    SupBooks.push_back(std::move(record));
}

void TReferences::LoadExternSheet(const TBaseRecord &record)
{
    HasExternSheet = true;
    RecordCursor cur(&record, 0);
    const int count = cur.word();
    if (qint64(count) * 6 > cur.leftInChain())
        invalid();
    for (int i = 0; i < count; ++i) {
        TExternRef r;
        r.SupBook = cur.word();
        r.FirstSheet = cur.word();
        r.LastSheet = cur.word();
        ExternRefs.push_back(r);
    }
}

void TReferences::SaveToStream(ByteWriter &out) const
{
    saveList(SupBooks, out);
    // A workbook that had no external references gets none: an EXTERNSHEET without a
    // supporting book is not what spreadsheet programs expect.
    if (ExternRefs.empty() && SupBooks.empty() && !HasExternSheet)
        return;
    if (ExternRefs.empty()) {
        out.header(RID_EXTERNSHEET, 2);
        out.u16(0);
        return;
    }
    const size_t perPiece = 1370;
    for (size_t i = 0; i < ExternRefs.size(); i += perPiece) {
        const size_t n = std::min(perPiece, ExternRefs.size() - i);
        if (i == 0) {
            out.header(RID_EXTERNSHEET, qsizetype(n) * 6 + 2);
            out.u16(quint16(ExternRefs.size()));
        } else {
            out.header(RID_CONTINUE, qsizetype(n) * 6);
        }
        for (size_t k = i; k < i + n; ++k) {
            out.u16(quint16(ExternRefs[k].SupBook));
            out.u16(quint16(ExternRefs[k].FirstSheet));
            out.u16(quint16(ExternRefs[k].LastSheet));
        }
    }
}

int TReferences::GetSheetOfRef(int ref) const
{
    if (ref < 0 || size_t(ref) >= ExternRefs.size())
        return -1;
    const TExternRef &e = ExternRefs[size_t(ref)];
    if (e.SupBook != LocalSupBook || LocalSupBook < 0 || e.FirstSheet != e.LastSheet)
        return -1;
    return e.FirstSheet;
}

int TReferences::GetRefOfSheet(int sheet)
{
    for (size_t i = 0; i < ExternRefs.size(); ++i) {
        const TExternRef &e = ExternRefs[i];
        if (e.SupBook == LocalSupBook && e.FirstSheet == sheet && e.LastSheet == sheet)
            return int(i);
    }
    ExternRefs.push_back(TExternRef{LocalSupBook, sheet, sheet});
    return int(ExternRefs.size()) - 1;
}

void TReferences::CheckInsertSheets(int position, int count) const
{
    if (LocalSupBook < 0)
        return;
    const TBaseRecord &book = *SupBooks[size_t(LocalSupBook)];
    if (book.DataSize() != 4 || book.getWord(2) != 0x0401)
        invalid();
    for (const TExternRef &e : ExternRefs)
        if (e.SupBook == LocalSupBook)
            for (int sheet : {e.FirstSheet, e.LastSheet})
                if (sheet >= position && sheet < 65535 && sheet + count > 250)
                    raiseXls(TooManyEntries, {sheet + count, 250});
    if (book.getWord(0) + count > 250)
        raiseXls(TooManyEntries, {book.getWord(0) + count, 250});
}

void TReferences::ArrangeInsertSheets(int position, int count)
{
    CheckInsertSheets(position, count);
    if (LocalSupBook < 0)
        return;
    for (TExternRef &e : ExternRefs)
        if (e.SupBook == LocalSupBook)
            for (int *sheet : {&e.FirstSheet, &e.LastSheet})
                if (*sheet >= position && *sheet < 65535)
                    *sheet += count;
    SupBooks[size_t(LocalSupBook)]->incWord(0, count, 250);
}

// --- sections -----------------------------------------------------------------------------

void TBaseSection::checkLoaded() const
{
    if (!BOF || !EOF_)
        raiseXls(SectionNotLoaded);
}

void TWorkbookGlobals::Clear()
{
    SST.clear();
    References.clear();
    BoundSheets.clear();
    SheetNames.clear();
    Records.clear();
    Names.clear();
    DrawingGroup.reset();
    Window1 = nullptr;
    XFs.clear();
    Fonts.clear();
    Formats.clear();
    Palette = nullptr;
    PaletteIndex = 0;
    BOF.reset();
    EOF_.reset();
}

void TWorkbookGlobals::LoadFromStream(RecordReader &reader, RecordPtr bof)
{
    BOF = std::move(bof);
    // The drawing group's bytes run on through CONTINUE records and further MSODRAWINGGROUP
    // records that follow one another; a group met again later is a second group.
    QByteArray groupBytes;
    bool groupClosed = false;
    for (;;) {
        if (reader.peekId() < 0)
            invalid(); // the stream ended before EOF
        RecordPtr r = reader.next();
        const quint16 id = r->Id;
        if (id != RID_MSODRAWINGGROUP && !groupBytes.isEmpty())
            groupClosed = true;
        if ((id == RID_XF && XFs.empty()) || (id == RID_FONT && Fonts.empty()) ||
            (id == RID_FORMAT && Formats.empty()))
            Records.push_back(std::make_unique<TSubListRecord>(
                id == RID_XF ? &XFs : (id == RID_FONT ? &Fonts : &Formats)));
        if (id == RID_PALETTE) {
            if (r->DataSize() < 2 || 2 + 4 * r->getWord(0) > r->DataSize())
                invalid();
            Palette = static_cast<TPaletteRecord *>(r.get());
        }
        if (id == RID_XF || id == RID_STYLE)
            PaletteIndex = int(Records.size());
        if (id == RID_BOF || id == RID_STRING || id == RID_TABLE)
            invalid();
        if (isIgnored(id))
            continue;
        switch (id) {
        case RID_BOUNDSHEET: {
            auto *bs = static_cast<TBoundSheetRecord *>(r.get());
            SheetNames.Add(bs->sheetName());
            BoundSheets.push_back(std::move(r));
            break;
        }
        case RID_NAME:
            Names.push_back(std::move(r));
            break;
        case RID_XF:
            XFs.push_back(std::move(r));
            break;
        case RID_FONT:
            Fonts.push_back(std::move(r));
            break;
        case RID_FORMAT:
            Formats.push_back(std::move(r));
            break;
        case RID_EOF:
            EOF_ = std::move(r);
            if (!groupBytes.isEmpty()) {
                DrawingGroup = std::make_unique<TDrawingGroup>();
                DrawingGroup->LoadFromBytes(groupBytes);
            }
            return;
        case RID_SST:
            SST.LoadFromSSTRecord(*r);
            break;
        case RID_SUPBOOK:
            References.AddSupBook(std::move(r));
            break;
        case RID_EXTERNSHEET:
            References.LoadExternSheet(*r);
            break;
        case RID_MSODRAWINGGROUP:
            if (groupClosed)
                invalid();
            for (const TBaseRecord *c = r.get(); c; c = c->Continue.get())
                groupBytes.append(c->Data);
            break;
        case RID_WINDOW1:
            if (r->DataSize() < 18)
                invalid();
            Window1 = static_cast<TWindow1Record *>(r.get());
            Records.push_back(std::move(r));
            break;
        default:
            Records.push_back(std::move(r));
            break;
        }
    }
}

void TWorkbookGlobals::SaveToStream(ByteWriter &out) const
{
    checkLoaded();
    BOF->SaveToStream(out);
    saveList(Records, out);
    saveList(BoundSheets, out);
    References.SaveToStream(out);
    saveList(Names, out);
    if (DrawingGroup)
        DrawingGroup->SaveToStream(out);
    const_cast<TSST &>(SST).SaveToStream(out);
    EOF_->SaveToStream(out);
}

TBoundSheetRecord &TWorkbookGlobals::boundSheet(int i) const
{
    return static_cast<TBoundSheetRecord &>(*BoundSheets.at(size_t(i)));
}

quint32 TWorkbookGlobals::GetColor(int index) const
{
    if (Palette) {
        if (index < 0 || index >= Palette->colorCount())
            raiseXls(IndexNotInRange,
                     {index, QStringLiteral("Palette Color Index"), 0, Palette->colorCount() - 1});
        return Palette->getDWord(2 + 4 * index);
    }
    if (index < 0 || index > 55)
        raiseXls(IndexNotInRange, {index, QStringLiteral("Palette index"), 0, 55});
    return defaultPaletteColor(index);
}

void TWorkbookGlobals::SetColor(int index, quint32 color)
{
    if (!Palette) {
        auto p = TPaletteRecord::CreateDefault();
        Palette = p.get();
        const int at = std::clamp(PaletteIndex, 0, int(Records.size()));
        Records.insert(Records.begin() + at, std::move(p));
    }
    if (index < 0 || index >= Palette->colorCount())
        raiseXls(TooManyEntries, {index, Palette->colorCount() - 1});
    Palette->setDWord(2 + 4 * index, color);
}

QString TWorkbookGlobals::GetFormatString(int formatIndex) const
{
    for (const auto &r : Formats) {
        const auto *f = static_cast<const TFormatRecord *>(r.get());
        if (f->DataSize() >= 2 && f->formatIndex() == formatIndex)
            return f->formatString();
    }
    return builtInFormat(formatIndex);
}

// --- worksheets ---------------------------------------------------------------------------

TWorkSheet::TWorkSheet(TWorkbookGlobals *globals)
    : TSheet(globals), Cells(std::make_unique<TCells>(&globals->SST, &ColInfos)),
      Ranges(std::make_unique<TRangeList>())
{
}

void TWorkSheet::LoadFromStream(RecordReader &reader, RecordPtr bof)
{
    BOF = std::move(bof);
    const auto checkInheritedFormat = [formats = Globals->XFs.size()](int xf) {
        if (xf < 0 || size_t(xf) >= formats)
            invalid();
    };
    RecordList *current = &Head;
    TFormulaRecord *lastFormula = nullptr;
    quint16 previousId = 0;
    std::map<quint32, std::unique_ptr<TShrFmlaRecord>> shared;
    std::vector<quint32> arrayKeys;
    TCondFmt *lastCondFmt = nullptr;
    QByteArray drawingBytes;
    std::vector<TDrawing::ClientPiece> clients;
    for (;;) {
        if (reader.peekId() < 0)
            invalid();
        RecordPtr r = reader.next();
        const quint16 id = r->Id;
        const quint16 prev = previousId;
        previousId = id;
        if (id != RID_CF)
            lastCondFmt = id == RID_CONDFMT ? lastCondFmt : nullptr;
        if (id == RID_BOF) {
            // A chart embedded in the sheet follows its drawing object as a sub-stream of
            // its own; it is kept with that object.
            if (prev != RID_OBJ || clients.empty())
                invalid();
            checkBof(*r);
            RecordList &chart = clients.back().Chart;
            chart.push_back(std::move(r));
            int depth = 1;
            while (depth > 0) {
                if (reader.peekId() < 0)
                    invalid();
                RecordPtr inner = reader.next();
                if (inner->Id == RID_BOF)
                    ++depth;
                else if (inner->Id == RID_EOF)
                    --depth;
                chart.push_back(std::move(inner));
            }
            previousId = RID_EOF;
            continue;
        }
        if (isIgnored(id))
            continue;
        switch (id) {
        case RID_WINDOW2:
            if (r->DataSize() < 2)
                invalid();
            Window2 = static_cast<TWindow2Record *>(r.get());
            current = &Tail;
            current->push_back(std::move(r));
            break;
        case RID_DEFCOLWIDTH:
            DefColWidth = r->getWord(0) * 290;
            current->push_back(std::move(r));
            break;
        case RID_DEFAULTROWHEIGHT:
            DefRowHeight = r->getWord(2);
            current->push_back(std::move(r));
            break;
        case RID_MSODRAWING:
            for (const TBaseRecord *c = r.get(); c; c = c->Continue.get())
                drawingBytes.append(c->Data);
            break;
        case RID_OBJ:
        case RID_TXO:
            clients.push_back({drawingBytes.size(), std::move(r), {}});
            break;
        case RID_NOTE:
            if (r->DataSize() < 8)
                invalid();
            Notes.emplace_back(static_cast<TNoteRecord *>(r.release()));
            break;
        case RID_COLINFO:
            // A cell written later in the column takes this format: one the workbook lacks
            // would make the saved file unreadable.
            checkInheritedFormat(r->getWord(6));
            ColInfos.AddRecord(*r);
            break;
        case RID_MULRK:
        case RID_MULBLANK:
            Cells->AddMultiple(*r);
            break;
        case RID_ROW: {
            auto row = std::unique_ptr<TRowRecord>(static_cast<TRowRecord *>(r.release()));
            checkInheritedFormat(row->xf());
            Cells->AddRow(std::move(row));
            break;
        }
        case RID_LABELSST:
            static_cast<TLabelSSTRecord *>(r.get())->LinkToSST(&Globals->SST);
            Cells->AddRecord(std::unique_ptr<TCellRecord>(static_cast<TCellRecord *>(r.release())));
            break;
        case RID_FORMULA:
            lastFormula = static_cast<TFormulaRecord *>(r.get());
            Cells->AddRecord(std::unique_ptr<TCellRecord>(static_cast<TCellRecord *>(r.release())));
            break;
        case RID_BLANK:
        case RID_NUMBER:
        case RID_RK:
        case RID_BOOLERR:
            Cells->AddRecord(std::unique_ptr<TCellRecord>(static_cast<TCellRecord *>(r.release())));
            break;
        case RID_ARRAY:
        case RID_TABLE:
            // Array and data-table records belong right after their formula cell.
            if (prev != RID_FORMULA || !lastFormula)
                invalid();
            if (id == RID_ARRAY) {
                if (r->DataSize() < 6)
                    raiseXls(InvalidRecordId, {int(id)});
                arrayKeys.push_back(quint32(r->getWord(0)) | (quint32(r->getByte(4)) << 16));
            }
            lastFormula->Attached.push_back(std::move(r));
            previousId = RID_FORMULA;
            break;
        case RID_SHRFMLA: {
            auto s = std::make_unique<TShrFmlaRecord>(id, r->Data);
            if (s->DataSize() < 10)
                raiseXls(InvalidRecordId, {int(id)});
            shared[s->key()] = std::move(s);
            previousId = RID_FORMULA;
            break;
        }
        case RID_STRING:
            if (!lastFormula || prev != RID_FORMULA)
                invalid();
            lastFormula->setStringResult(static_cast<TStringRecord *>(r.get())->text());
            break;
        case RID_MERGEDCELLS: {
            auto m = std::make_unique<TMergedCells>();
            m->LoadFromRecord(*r);
            Ranges->Items.push_back(std::move(m));
            break;
        }
        case RID_CONDFMT: {
            auto c = std::make_unique<TCondFmt>();
            c->LoadFromRecord(*r);
            lastCondFmt = c.get();
            Ranges->Items.push_back(std::move(c));
            break;
        }
        case RID_CF:
            if (lastCondFmt)
                lastCondFmt->Rules.push_back(std::move(r));
            else
                current->push_back(std::move(r));
            break;
        case RID_HPAGEBREAKS:
            PageBreaks.LoadFromRecord(*r);
            break;
        case RID_EOF:
            EOF_ = std::move(r);
            goto done;
        default:
            current->push_back(std::move(r));
            break;
        }
    }
done:
    if (!drawingBytes.isEmpty()) {
        Drawing = std::make_unique<TDrawing>();
        Drawing->Group = Globals->DrawingGroup.get();
        Drawing->Load(drawingBytes, clients);
        for (const auto &note : Notes)
            Drawing->ObjectCounter = std::max<int>(Drawing->ObjectCounter, note->getWord(6));
    } else if (!clients.empty()) {
        raiseXls(UnsupportedDrawingRecord);
    }
    linkNotes();
    Cells->finishLoad();
    for (auto &row : Cells->CellRows)
        for (auto &cell : row) {
            if (cell->Id != RID_FORMULA)
                continue;
            auto *f = static_cast<TFormulaRecord *>(cell.get());
            quint32 key = 0;
            if (!f->IsExp(key))
                continue;
            auto it = shared.find(key);
            if (it != shared.end()) {
                f->MixShared(it->second->tokens());
            } else if (std::find(arrayKeys.begin(), arrayKeys.end(), key) == arrayKeys.end()) {
                // A pointer to an array formula stays as it is; to nothing, it is an error.
                raiseXls(CantFindSharedFormula);
            }
        }
}

void TWorkSheet::SaveToStream(ByteWriter &out) const
{
    checkLoaded();
    BOF->SaveToStream(out);
    saveList(Head, out);
    PageBreaks.SaveToStream(out);
    ColInfos.SaveToStream(out);
    Cells->SaveToStream(out);
    if (Drawing)
        Drawing->SaveToStream(out);
    saveList(Notes, out);
    saveList(Tail, out);
    Ranges->SaveToStream(out);
    EOF_->SaveToStream(out);
}

std::unique_ptr<TSheet> TWorkSheet::Clone() const
{
    auto c = std::make_unique<TWorkSheet>(Globals);
    c->BOF = BOF ? BOF->CopyTo() : nullptr;
    c->EOF_ = EOF_ ? EOF_->CopyTo() : nullptr;
    c->Head = copyList(Head);
    c->Tail = copyList(Tail);
    for (const auto &r : c->Tail)
        if (r->Id == RID_WINDOW2)
            c->Window2 = static_cast<TWindow2Record *>(r.get());
    c->PageBreaks = PageBreaks;
    c->Drawing = Drawing ? Drawing->clone(Globals->DrawingGroup.get()) : nullptr;
    c->ColInfos = ColInfos;
    c->Cells = Cells->clone(&Globals->SST, &c->ColInfos);
    c->Ranges = Ranges->clone();
    for (const auto &note : Notes)
        c->Notes.emplace_back(static_cast<TNoteRecord *>(note->CopyTo().release()));
    c->linkNotes();
    c->DefRowHeight = DefRowHeight;
    c->DefColWidth = DefColWidth;
    return c;
}

// --- chart sheets -------------------------------------------------------------------------

void TChart::LoadFromStream(RecordReader &reader, RecordPtr bof)
{
    BOF = std::move(bof);
    for (;;) {
        if (reader.peekId() < 0)
            invalid();
        RecordPtr r = reader.next();
        if (r->Id == RID_BOF)
            invalid();
        if (isIgnored(r->Id))
            continue;
        if (r->Id == RID_EOF) {
            EOF_ = std::move(r);
            return;
        }
        if (r->Id == RID_WINDOW2)
            Window2 = static_cast<TWindow2Record *>(r.get());
        if (r->Id == RID_LABELSST)
            static_cast<TLabelSSTRecord *>(r.get())->LinkToSST(&Globals->SST);
        Records.push_back(std::move(r));
    }
}

void TChart::SaveToStream(ByteWriter &out) const
{
    checkLoaded();
    BOF->SaveToStream(out);
    saveList(Records, out);
    EOF_->SaveToStream(out);
}

std::unique_ptr<TSheet> TChart::Clone() const
{
    auto c = std::make_unique<TChart>(Globals);
    c->BOF = BOF ? BOF->CopyTo() : nullptr;
    c->EOF_ = EOF_ ? EOF_->CopyTo() : nullptr;
    c->Records = copyList(Records);
    for (const auto &r : c->Records)
        if (r->Id == RID_WINDOW2)
            c->Window2 = static_cast<TWindow2Record *>(r.get());
    return c;
}

void TChart::ArrangeInsertRows(int pos, int delta, const TSheetShiftInfo &info)
{
    ArrangeChartInsertRows(Records, pos, delta, info);
}

void TChart::ArrangeCopySheet(const TSheetShiftInfo &info)
{
    ArrangeChartCopySheet(Records, info);
}

// --- workbook -----------------------------------------------------------------------------

TWorkbook::TWorkbook() = default;

TWorkbook::~TWorkbook()
{
    Sheets.clear(); // the sheets' text cells release their strings first
}

void TWorkbook::Clear()
{
    Sheets.clear();
    Globals.Clear();
}

void TWorkbook::LoadFromStream(const QByteArray &stream)
{
    Clear();
    RecordReader reader(stream);
    bool globalsLoaded = false;
    while (!reader.atEnd()) {
        RecordPtr r = reader.next();
        if (r->Id != RID_BOF)
            invalid();
        checkBof(*r);
        const int type = r->getWord(2);
        if (type == 0x0005) {
            if (globalsLoaded)
                invalid();
            Globals.LoadFromStream(reader, std::move(r));
            globalsLoaded = true;
            continue;
        }
        if (!globalsLoaded)
            invalid();
        std::unique_ptr<TSheet> sheet;
        if (type == 0x0010)
            sheet = std::make_unique<TWorkSheet>(&Globals);
        else if (type == 0x0020)
            sheet = std::make_unique<TChart>(&Globals);
        else
            invalid();
        Sheets.push_back(std::move(sheet));
        Sheets.back()->LoadFromStream(reader, std::move(r));
    }
    // An empty stream, one without the globals, or sheets that do not match their
    // BOUNDSHEET records are refused here rather than failing later on an index.
    if (!globalsLoaded || int(Sheets.size()) != SheetCount())
        invalid();
    Globals.SST.Sort();
}

QByteArray TWorkbook::SaveToStream()
{
    Globals.SST.PrepareForSave();
    if (int(Sheets.size()) != SheetCount())
        invalid();
    // The globals are written once to learn their size (and the strings' indexes, which the
    // text cells write), then again with the sheets' positions.
    ByteWriter probe;
    Globals.SaveToStream(probe);
    std::vector<QByteArray> sheetBytes;
    quint64 position = quint64(probe.bytes.size());
    for (size_t i = 0; i < Sheets.size(); ++i) {
        ByteWriter w;
        Sheets[i]->SaveToStream(w);
        if (position > 0xFFFFFFFFull)
            raiseXls(ErrorWritingOutput);
        Globals.boundSheet(int(i)).setPosition(quint32(position));
        position += quint64(w.bytes.size());
        sheetBytes.push_back(std::move(w.bytes));
    }
    ByteWriter out;
    Globals.SaveToStream(out);
    Q_ASSERT(out.bytes.size() == probe.bytes.size());
    for (const QByteArray &b : sheetBytes)
        out.append(b);
    return out.bytes;
}

TSheet *TWorkbook::Sheet(int index) const
{
    return validSheet(index) ? Sheets[size_t(index)].get() : nullptr;
}

TWorkSheet *TWorkbook::WorkSheet(int index) const
{
    return dynamic_cast<TWorkSheet *>(Sheet(index));
}

int TWorkbook::ActiveTab() const
{
    return Globals.Window1 ? Globals.Window1->activeTab() : 0;
}

void TWorkbook::SelectSheet(int index)
{
    if (TSheet *old = Sheet(ActiveTab()); old && old->Window2)
        old->Window2->setSelected(false);
    if (Globals.Window1)
        Globals.Window1->setActiveTab(index);
    if (TSheet *s = Sheet(index); s && s->Window2)
        s->Window2->setSelected(true);
}

// --- moving rows --------------------------------------------------------------------------

void TWorkSheet::CheckInsertAndCopyRows(int first, int last, int dest, int n) const
{
    // Cells, notes and page breaks at or below dest move down and must stay within the
    // sheet; merged cells, shapes and references stop at the last row instead.
    const int delta = (last - first + 1) * n;
    int lowest = Cells->lastRow();
    if (m_notesSorted && !Notes.empty())
        lowest = std::max(lowest, Notes.back()->row());
    else
        for (const auto &note : Notes)
            lowest = std::max(lowest, note->row());
    if (!PageBreaks.Items.empty())
        lowest = std::max(lowest, PageBreaks.Items.back().Row);
    if (lowest >= dest && lowest + delta > 65535)
        raiseXls(TooManyEntries, {lowest + delta, 65535});
    Cells->CheckAttachedRows(dest, delta, first, last, n);
}

void TWorkSheet::CheckDeleteRows(int row, int count) const
{
    Cells->CheckAttachedRows(row, -count);
}

void TWorkSheet::InsertAndCopyRows(int first, int last, int dest, int n,
                                   const TSheetShiftInfo &info, bool onlyFormulas)
{
    const int delta = (last - first + 1) * n;
    // Where the source block lies once the rows are in.
    const int blockFirst = dest > first ? first : first + delta;
    const int blockLast = dest > first ? last : last + delta;
    Cells->InsertAndCopyRows(first, last, dest, n, info, onlyFormulas);
    if (Drawing) {
        Drawing->ArrangeInsertRows(dest, delta);
        Drawing->ArrangeCharts(dest, delta, info);
        Drawing->CopyRows(blockFirst, blockLast, dest, n);
    }
    Ranges->InsertAndCopyRows(first, last, dest, n, info);
    moveNotes(dest, delta);
    copyNotes(blockFirst, blockLast, dest, n);
    PageBreaks.InsertRows(dest, delta);
}

void TWorkSheet::DeleteRows(int row, int count, const TSheetShiftInfo &info)
{
    Cells->DeleteRows(row, count, info);
    if (Drawing) {
        Drawing->DeleteRows(row, count);
        Drawing->ArrangeCharts(row, -count, info);
    }
    Ranges->DeleteRows(row, count, info);
    deleteNotes(row, count);
    PageBreaks.DeleteRows(row, count);
}

void TWorkSheet::ArrangeInsertRows(int pos, int delta, const TSheetShiftInfo &info)
{
    Cells->ArrangeInsert(pos, delta, info);
    if (Drawing)
        Drawing->ArrangeCharts(pos, delta, info);
}

// --- notes --------------------------------------------------------------------------------

namespace {
bool noteBefore(const std::unique_ptr<TNoteRecord> &a, const std::unique_ptr<TNoteRecord> &b)
{
    return std::make_pair(a->row(), a->column()) < std::make_pair(b->row(), b->column());
}
} // namespace

void TWorkSheet::linkNotes()
{
    // A damaged file may name a shape of another kind, or one comment from two notes: such a
    // note gets no shape, so that removing one note never leaves another pointing at nothing.
    std::map<int, TEscherRecord *> comments;
    if (Drawing)
        for (const TDrawing::TShapeEntry &e : Drawing->index())
            if (e.ObjType == OT_Comment)
                comments.emplace(e.ObjId, e.Shape);
    for (auto &note : Notes) {
        note->Shape = note->Anchor = nullptr;
        auto it = comments.find(note->objId());
        if (it == comments.end() || !it->second)
            continue;
        note->Shape = it->second;
        note->Anchor = TDrawing::anchorOf(it->second);
        it->second = nullptr;
    }
    m_notesSorted = std::is_sorted(Notes.begin(), Notes.end(), noteBefore);
}

std::vector<TNoteRecord *> TWorkSheet::NotesOfRow(int row) const
{
    std::vector<TNoteRecord *> out;
    for (const auto &note : Notes)
        if (note->row() == row)
            out.push_back(note.get());
    std::stable_sort(out.begin(), out.end(), [](const TNoteRecord *a, const TNoteRecord *b) {
        return a->column() < b->column();
    });
    return out;
}

QString TWorkSheet::NoteText(const TNoteRecord &note) const
{
    const TBaseRecord *txo = note.Shape ? TDrawing::txoOf(note.Shape) : nullptr;
    return txo ? txoText(*txo) : QString();
}

void TWorkSheet::SetNoteText(TNoteRecord *note, const QString &text)
{
    auto it =
        std::find_if(Notes.begin(), Notes.end(), [note](const auto &n) { return n.get() == note; });
    if (it == Notes.end())
        return;
    if (text.isEmpty()) {
        if (!note->Shape)
            raiseXls(ErrorLoadingEscher);
        Drawing->RemoveShape(note->Shape);
        Notes.erase(it);
        return;
    }
    TBaseRecord *txo = note->Shape ? TDrawing::txoOf(note->Shape) : nullptr;
    if (!txo)
        raiseXls(ErrorLoadingEscher);
    setTxoText(*txo, text);
}

namespace {
// The comment box moves with its cell but keeps its size.
void moveNote(TNoteRecord &note, int delta)
{
    note.incWord(0, delta, 65535);
    if (TClientAnchor a(note.Anchor); a.valid())
        a.setRows(a.firstRow() + delta, a.lastRow() + delta);
}
} // namespace

void TWorkSheet::moveNotes(int pos, int delta)
{
    for (auto &note : Notes)
        if (note->row() >= pos)
            moveNote(*note, delta);
}

void TWorkSheet::copyNotes(int blockFirst, int blockLast, int dest, int copies)
{
    if (!m_notesSorted)
        sortNotes();
    const auto rowBelow = [](const auto &note, int row) { return note->row() < row; };
    const auto first = std::lower_bound(Notes.begin(), Notes.end(), blockFirst, rowBelow);
    const auto last = std::lower_bound(first, Notes.end(), blockLast + 1, rowBelow);
    std::vector<const TNoteRecord *> sources;
    for (auto it = first; it != last; ++it)
        sources.push_back(it->get());
    const int height = blockLast - blockFirst + 1;
    for (int k = 0; k < copies; ++k)
        for (const TNoteRecord *note : sources) {
            const int offset = dest + k * height - blockFirst;
            std::unique_ptr<TNoteRecord> copy(static_cast<TNoteRecord *>(note->CopyTo().release()));
            copy->incWord(0, offset, 65535);
            // The copy names the copied shape by its object id, which the copy got anew.
            if (note->Shape) {
                copy->Shape = Drawing->CopyShape(note->Shape, offset);
                copy->Anchor = TDrawing::anchorOf(copy->Shape);
                copy->setWord(6, quint16(TDrawing::objId(copy->Shape)));
            }
            const auto at = std::upper_bound(Notes.begin(), Notes.end(), copy, noteBefore);
            Notes.insert(at, std::move(copy));
        }
}

void TWorkSheet::deleteNotes(int row, int count)
{
    for (auto it = Notes.begin(); it != Notes.end();) {
        const int r = (*it)->row();
        if (r >= row && r < row + count) {
            if ((*it)->Shape)
                Drawing->RemoveShape((*it)->Shape);
            it = Notes.erase(it);
        } else {
            ++it;
        }
    }
    for (auto &note : Notes)
        if (note->row() >= row + count)
            moveNote(*note, -count);
}

void TWorkSheet::sortNotes()
{
    std::stable_sort(Notes.begin(), Notes.end(), noteBefore);
    m_notesSorted = true;
}

TSheetShiftInfo TWorkbook::shiftInfo(int insertedSheet, int formulaSheet)
{
    TSheetShiftInfo info;
    info.InsertedSheet = insertedSheet;
    info.FormulaSheet = formulaSheet;
    info.GetSheetOfRef = [this](int ref) { return Globals.References.GetSheetOfRef(ref); };
    info.GetRefOfSheet = [this](int sheet) { return Globals.References.GetRefOfSheet(sheet); };
    return info;
}

namespace {
void checkSheetIndex(int sheet, int count)
{
    if (sheet < 0 || sheet >= count)
        raiseXls(InvalidSheetNumber, {sheet, 0, count - 1});
}
} // namespace

void TWorkbook::InsertAndCopyRows(int sheet, int first, int last, int dest, int count,
                                  bool onlyFormulas)
{
    if (last < first || first < 0 || last > 65535 || (first < dest && dest <= last) || dest < 0 ||
        qint64(dest) + qint64(last - first + 1) * count > 65535 || count < 0)
        raiseXls(InvalidInsertAndCopyArgs);
    checkSheetIndex(sheet, int(Sheets.size()));
    const int delta = (last - first + 1) * count;
    Sheets[size_t(sheet)]->CheckInsertAndCopyRows(first, last, dest, count);
    Sheets[size_t(sheet)]->InsertAndCopyRows(first, last, dest, count, shiftInfo(sheet, sheet),
                                             onlyFormulas);
    for (size_t i = 0; i < Sheets.size(); ++i)
        if (int(i) != sheet)
            Sheets[i]->ArrangeInsertRows(dest, delta, shiftInfo(sheet, int(i)));
    for (auto &name : Globals.Names)
        static_cast<TNameRecord *>(name.get())
            ->ArrangeInsertRows(dest, delta, shiftInfo(sheet, sheet));
}

void TWorkbook::DeleteRows(int sheet, int row, int count)
{
    checkSheetIndex(sheet, int(Sheets.size()));
    if (row < 0 || count <= 0 || row > 65535)
        return;
    // No row lies past 65535; a larger count would only overflow the row arithmetic below.
    count = std::min(count, 65536 - row);
    Sheets[size_t(sheet)]->CheckDeleteRows(row, count);
    Sheets[size_t(sheet)]->DeleteRows(row, count, shiftInfo(sheet, sheet));
    for (size_t i = 0; i < Sheets.size(); ++i)
        if (int(i) != sheet)
            Sheets[i]->ArrangeInsertRows(row, -count, shiftInfo(sheet, int(i)));
    for (auto &name : Globals.Names)
        static_cast<TNameRecord *>(name.get())
            ->ArrangeInsertRows(row, -count, shiftInfo(sheet, sheet));
}

// --- copying sheets -----------------------------------------------------------------------

void TWorkSheet::ArrangeCopySheet(const TSheetShiftInfo &info)
{
    if (Drawing)
        Drawing->ArrangeChartsCopySheet(info);
    for (auto &row : Cells->CellRows)
        for (auto &cell : row) {
            if (cell->Id != RID_FORMULA)
                continue;
            auto *f = static_cast<TFormulaRecord *>(cell.get());
            try {
                ArrangeTokensInsertSheets(f->Data, 22, 22 + f->cce(), info);
            } catch (const ETokenException &e) {
                raiseXls(FormulaNotSupported, {f->row() + 1, f->column() + 1, e.tokenId()});
            }
        }
}

void TWorkbook::InsertSheets(int copyFrom, int before, int count)
{
    const int sheets = int(Sheets.size());
    if (copyFrom < 0 || copyFrom >= sheets)
        raiseXls(InvalidSheetNumber, {copyFrom, 0, sheets - 1});
    if (before < 0 || before > sheets)
        raiseXls(InvalidSheetNumber, {before, 0, sheets - 1});
    if (count <= 0)
        return;
    // Every limit is checked before anything changes: a refused copy leaves the workbook as
    // it was.
    Globals.References.CheckInsertSheets(before, count);
    for (auto &name : Globals.Names)
        static_cast<TNameRecord *>(name.get())->CheckInsertSheets(before, count);
    const int active = ActiveTab() >= before ? ActiveTab() + count : ActiveTab();
    const quint16 options = Globals.boundSheet(copyFrom).options();
    for (int i = 0; i < count; ++i) {
        auto bs = std::make_unique<TBoundSheetRecord>(RID_BOUNDSHEET, QByteArray(6, '\0'));
        bs->setWord(4, options);
        bs->setSheetName(Globals.SheetNames.AddUnique(xlsMessageText(SheetBaseName)));
        Globals.BoundSheets.insert(Globals.BoundSheets.begin() + before, std::move(bs));
    }
    Globals.References.ArrangeInsertSheets(before, count);
    for (auto &name : Globals.Names)
        static_cast<TNameRecord *>(name.get())->ArrangeInsertSheets(before, count);
    const int source = copyFrom >= before ? copyFrom + count : copyFrom;

    // The source is taken once; each clone lands at before, so the last one made comes first.
    const TSheet &original = *Sheets[size_t(copyFrom)];
    std::vector<std::unique_ptr<TSheet>> clones;
    for (int i = 0; i < count; ++i)
        clones.push_back(original.Clone());
    for (int i = 0; i < count; ++i) {
        TSheet *clone = clones[size_t(i)].get();
        Sheets.insert(Sheets.begin() + before, std::move(clones[size_t(i)]));
        const int position = before + count - 1 - i;
        clone->ArrangeCopySheet(shiftInfo(position, source));
    }
    // Names local to the copied sheet are duplicated for every copy.
    const size_t names = Globals.Names.size();
    for (size_t n = 0; n < names; ++n) {
        auto *name = static_cast<TNameRecord *>(Globals.Names[n].get());
        if (name->sheet() != source)
            continue;
        for (int i = 0; i < count; ++i) {
            RecordPtr copy = name->CopyTo();
            static_cast<TNameRecord *>(copy.get())
                ->ArrangeCopySheet(before + i, shiftInfo(before + i, source));
            Globals.Names.push_back(std::move(copy));
        }
    }
    // The sheet that was active stays active, wherever the copies pushed it, and is the only
    // one selected: two selected sheets open grouped, and typing goes into both.
    for (auto &sheet : Sheets)
        if (sheet->Window2)
            sheet->Window2->setSelected(false);
    SelectSheet(active);
}

} // namespace xls
