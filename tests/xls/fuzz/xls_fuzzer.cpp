// libFuzzer target over open, change and save: a compound file (recognised by its signature)
// or a bare Workbook stream. Every input must end in the library's own error or succeed.
#include "../exercise.h"

#include "xls/xlsmessages.h"

#include <cstddef>
#include <cstdint>

using namespace xls;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        if (input.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            xlstest::exerciseCompoundFile(input);
        else
            xlstest::exerciseWorkbook(input);
    } catch (const EExcelException &) {
        // refused with the library's message: what damaged input must get
    }
    return 0;
}
