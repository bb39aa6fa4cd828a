// libFuzzer target over open, change and save: a compound file (recognised by its signature)
// or a bare Workbook stream. Every input must end in the library's own error or succeed.
#include "xls/compoundfile.h"
#include "xls/escher.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"

#include <cstddef>
#include <cstdint>

using namespace xls;

namespace {

// Comments read and rewritten, pictures read back and replaced.
void exerciseDrawings(TWorkbook &wb)
{
    for (int s = 0; s < wb.SheetCount(); ++s) {
        TWorkSheet *ws = wb.WorkSheet(s);
        if (!ws)
            continue;
        for (size_t i = 0; i < ws->Notes.size(); ++i)
            ws->NoteText(*ws->Notes[i]);
        if (!ws->Notes.empty())
            ws->SetNoteText(ws->Notes.front().get(), QStringLiteral("nota ŝ"));
        if (!ws->Drawing)
            continue;
        for (TEscherRecord *picture : ws->Drawing->pictures()) {
            TDrawing::shapeName(picture);
            TDrawingGroup *group = wb.Globals.DrawingGroup.get();
            const TEscherRecord *bse = group ? group->BSE(TDrawing::pictureId(picture)) : nullptr;
            int type = 0;
            if (bse)
                pictureOfBSE(*bse, type);
            if (group) {
                const int entry = group->AddPicture(QByteArray(40, 'p'), 3);
                group->UseBSE(entry);
                TDrawing::setPictureId(picture, entry);
            }
        }
    }
}

void exerciseWorkbook(const QByteArray &stream)
{
    TWorkbook wb;
    wb.LoadFromStream(stream);
    for (int s = 0; s < wb.SheetCount(); ++s)
        if (TWorkSheet *ws = wb.WorkSheet(s))
            ws->Cells->SetValue(1, 1, {QStringLiteral("valore"), -1, false});
    exerciseDrawings(wb);
    if (wb.SheetCount() > 0) {
        wb.InsertAndCopyRows(0, 1, 2, 3, 2, false);
        // Rows where templates keep their shapes and comments.
        wb.InsertAndCopyRows(0, 3, 5, 6, 2, false);
        wb.DeleteRows(0, 0, 1);
        wb.DeleteRows(0, 3, 4);
        wb.InsertSheets(0, 1, 1);
    }
    const QByteArray saved = wb.SaveToStream();
    TWorkbook again;
    again.LoadFromStream(saved);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        if (input.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
            TXlsStorageList list;
            list.LoadFromBytes(input, QStringLiteral("fuzz"));
            const QByteArray stream = list.FindStream(QStringLiteral("Workbook"));
            exerciseWorkbook(stream);
            buildCompoundFile(list, QStringLiteral("Workbook"), QStringLiteral("Workbook"), stream);
        } else {
            exerciseWorkbook(input);
        }
    } catch (const EExcelException &) {
        // refused with the library's message: what damaged input must get
    }
    return 0;
}
