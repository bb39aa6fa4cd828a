#include "exercise.h"

#include "xls/compoundfile.h"
#include "xls/escher.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"

#include <algorithm>

using namespace xls;

namespace xlstest {

namespace {

void exerciseCells(TWorkbook &wb)
{
    for (int s = 0; s < wb.SheetCount(); ++s)
        if (TWorkSheet *ws = wb.WorkSheet(s)) {
            for (int r = 0; r < std::min(ws->Cells->maxRow(), 50); ++r)
                for (int c = 0; c < 8; ++c)
                    ws->Cells->GetValue(r, c);
            ws->Cells->SetValue(1, 1, {QStringLiteral("valore"), -1, false});
        }
}

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

} // namespace

void exerciseWorkbook(const QByteArray &stream)
{
    TWorkbook wb;
    wb.LoadFromStream(stream);
    exerciseCells(wb);
    exerciseDrawings(wb);
    // Moving rows and copying sheets walks every formula, name, range and shape; rows 3..5
    // are where templates keep their shapes and comments.
    if (wb.SheetCount() > 0) {
        wb.InsertAndCopyRows(0, 1, 2, 3, 2, false);
        wb.InsertAndCopyRows(0, 3, 5, 6, 2, false);
        wb.DeleteRows(0, 0, 1);
        wb.DeleteRows(0, 3, 4);
        wb.InsertSheets(0, 1, 1);
    }
    const QByteArray saved = wb.SaveToStream();
    TWorkbook again;
    again.LoadFromStream(saved);
}

void exerciseCompoundFile(const QByteArray &file)
{
    TXlsStorageList list;
    list.LoadFromBytes(file, QStringLiteral("mutated"));
    const QByteArray stream = list.FindStream(QStringLiteral("Workbook"));
    try {
        exerciseWorkbook(stream);
    } catch (const EExcelException &) {
        // a damaged stream inside a sound file: the file is still rebuilt below
    }
    buildCompoundFile(list, QStringLiteral("Workbook"), QStringLiteral("Workbook"), stream);
}

} // namespace xlstest
