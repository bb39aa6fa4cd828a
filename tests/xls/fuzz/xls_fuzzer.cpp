// libFuzzer target over open, change and save: a compound file (recognised by its signature)
// or a bare Workbook stream. Every input must end in the library's own error or succeed.
#include "xls/compoundfile.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"

#include <cstddef>
#include <cstdint>

using namespace xls;

namespace {

void exerciseWorkbook(const QByteArray &stream)
{
    TWorkbook wb;
    wb.LoadFromStream(stream);
    for (int s = 0; s < wb.SheetCount(); ++s)
        if (TWorkSheet *ws = wb.WorkSheet(s))
            ws->Cells->SetValue(1, 1, {QStringLiteral("valore"), -1, false});
    if (wb.SheetCount() > 0) {
        wb.InsertAndCopyRows(0, 1, 2, 3, 2, false);
        wb.DeleteRows(0, 0, 1);
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
