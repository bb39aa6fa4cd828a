#include "xls/names.h"

#include "xls/formula.h"
#include "xls/xlsmessages.h"

namespace xls {

TNameRecord::TNameRecord(quint16 id, QByteArray data) : TRecordOf(id, std::move(data))
{
    // The name and its formula must lie within the record.
    if (DataSize() < 15 || formulaEnd() > DataSize())
        raiseXls(ErrorReadingExcelRecords);
}

int TNameRecord::formulaStart() const
{
    const int chars = getByte(3);
    const bool wide = getByte(14) & 1;
    return 15 + chars * (wide ? 2 : 1);
}

QString TNameRecord::name() const
{
    const int chars = getByte(3);
    const bool wide = getByte(14) & 1;
    QString s;
    for (int i = 0; i < chars; ++i)
        s.append(QChar(wide ? getWord(15 + 2 * i) : getByte(15 + i)));
    return s;
}

void TNameRecord::ArrangeInsertRows(int row, int count, const TSheetShiftInfo &info)
{
    try {
        ArrangeTokensInsertRows(Data, formulaStart(), formulaEnd(), row, count, 0, info, true);
    } catch (const ETokenException &e) {
        raiseXls(ErrorInWorksheetName, {name(), e.tokenId()});
    }
}

void TNameRecord::CheckInsertSheets(int position, int count) const
{
    if (sheet() >= 0 && sheet() >= position && sheet() + 1 + count > 251)
        raiseXls(TooManyEntries, {sheet() + 1 + count, 251});
}

void TNameRecord::ArrangeInsertSheets(int position, int count)
{
    if (sheet() >= 0 && sheet() >= position)
        incWord(8, count, 251);
}

void TNameRecord::ArrangeCopySheet(int newSheet, const TSheetShiftInfo &info)
{
    try {
        ArrangeTokensInsertSheets(Data, formulaStart(), formulaEnd(), info);
    } catch (const ETokenException &e) {
        raiseXls(ErrorInWorksheetName, {name(), e.tokenId()});
    }
    setWord(8, quint16(newSheet + 1));
}

bool TNameRecord::area(int &ref, int &firstRow, int &lastRow, int &firstCol, int &lastCol) const
{
    const int start = formulaStart();
    if (formulaEnd() < start + 11)
        return false;
    const int id = getByte(start);
    if (id != 0x3B && id != 0x5B && id != 0x7B)
        return false;
    ref = getWord(start + 1);
    firstRow = getWord(start + 3);
    lastRow = getWord(start + 5);
    firstCol = getWord(start + 7) & 0x3FFF;
    lastCol = getWord(start + 9) & 0x3FFF;
    return true;
}

} // namespace xls
