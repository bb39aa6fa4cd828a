#include "xls/xlsmessages.h"

#include <gtest/gtest.h>

#include <utility>

using namespace xls;

// The texts reach the user through the survey's error box and are matched by translations:
// every one must stand exactly as the office has always seen it, typos included.
namespace {

const std::pair<int, const char *> expectedTexts[] = {
    {65440, "Sheet"},
    {65441, "Too many manual Page breaks for this sheet"},
    {65442, "Invalid Row (%d)"},
    {65443, "Invalid Column (%d)"},
    {65444, "The index \"%d\" of the property \"%s\" is not in the range %d-%d"},
    {65445, "File is password protected"},
    {65446, "Workbook"},
    {65447, "#NULL!"},
    {65448, "#DIV/0!"},
    {65449, "#VALUE!"},
    {65450, "#REF!"},
    {65451, "#NAME?"},
    {65452, "#NUM!"},
    {65453, "#N/A"},
    {65456, "Escher record is not fully loaded"},
    {65457, "Error loading Escher record"},
    {65458, "Error loading Escher record. Duplicated BStore"},
    {65459, "Error loading Escher record. Duplicated Dg"},
    {65460, "Error loading Escher record. Duplicated Dgg"},
    {65461, "Error loading Escher record. Duplicated Solver container"},
    {65462, "Error processing Escher record"},
    {65463, "XLS: Logical Error"},
    {65464, "Can't copy OLE objects embedded on a sheet"},
    {65465, "Invalid cell error code: \"%s\""},
    {65466, "Invalid cell value: \"%s\""},
    {65467, "Can't write to file \"%s\". Check it is not in use by another user"},
    {65468, "Can't find Shared Formula"},
    {65469, "StrLenLength should be 1 or 2"},
    {65470, "Invalid String record"},
    {65471, "This file has a not implemented kind of record: %s"},
    {65472, "Bad Conditional format. Token Id: 0x%2x"},
    {65473, "Error in Chart formula. Token Id: 0x%2x"},
    {65474, "Error reading record"},
    {65475, "Template file is saved with an invalid Excel version"},
    {65476, "Too many entries for this kind of record (%d out of a maximum of %d)"},
    {65477, "A section of the workbook is not loaded"},
    {65478, "Trying to add more than one CONTINUE record to the same record"},
    {65479, "String too large"},
    {65480, "The file has an usupported drawing record"},
    {65481, "Invalid conditional format record"},
    {65482, "Sheet name already exist: %s"},
    {65483, "Duplicated ROW record"},
    {65484, "Missing ROW Record for row %d"},
    {65485, "Ivalid arguments to call InsertAndCopyRows"},
    {65486, "Sheet number \"%d\" invalid. Must be between %d and %d"},
    {65487, "Number of ROW record is not the same that the cell count"},
    {65493, "Can't find the file \"%s\""},
    {65494, "The file \"%s\" is invalid"},
    {65495, "Can't read file \"%s\""},
    {65496, "Error reading Excel records. File invalid"},
    {65497, "Error writing output file"},
    {65498, "Can't find file \"%s\""},
    {65499, "Can't open Stream \"%s\""},
    {65500, "Record with ID 0x%x is invalid"},
    {65501, "Error reading formula, Token Id: 0x%2x is not supported"},
    {65502, "Formula at Row %d, column %d is not supported. Token Id: 0x%2x"},
    {65503, "Error in Worksheet name: \"%s\". Token Id: 0x%2x"},
};

QString raisedText(int id, const QVariantList &args)
{
    try {
        raiseXls(id, args);
    } catch (const EExcelException &e) {
        EXPECT_EQ(e.messageId(), id);
        EXPECT_EQ(QString::fromStdString(e.what()), e.message());
        return e.message();
    }
    return {};
}

} // namespace

TEST(Messages, EveryTextStandsAsTheOfficeKnowsIt)
{
    for (const auto &[id, text] : expectedTexts)
        EXPECT_EQ(xlsMessageText(id), QString::fromUtf8(text)) << id;
    // Nothing else sits in the identifier range, 65454 and 65455 included.
    int known = 0;
    for (int id = 65400; id <= 65535; ++id)
        known += !xlsMessageText(id).isEmpty();
    EXPECT_EQ(known, int(std::size(expectedTexts)));
}

TEST(Messages, PlaceholdersAreFilledInOrder)
{
    EXPECT_EQ(raisedText(InvalidRow, {65536}), QStringLiteral("Invalid Row (65536)"));
    EXPECT_EQ(
        raisedText(IndexNotInRange, {70, QStringLiteral("Color"), 0, 55}),
        QStringLiteral("The index \"70\" of the property \"Color\" is not in the range 0-55"));
    // Hexadecimal in capitals; a width pads with spaces and never cuts.
    EXPECT_EQ(raisedText(InvalidRecordId, {0x1AE}),
              QStringLiteral("Record with ID 0x1AE is invalid"));
    EXPECT_EQ(raisedText(BadConditionalFormat, {0x5}),
              QStringLiteral("Bad Conditional format. Token Id: 0x 5"));
    EXPECT_EQ(raisedText(FormulaNotSupported, {12, 3, 0x26}),
              QStringLiteral("Formula at Row 12, column 3 is not supported. Token Id: 0x26"));
    EXPECT_EQ(raisedText(ErrorInWorksheetName, {QStringLiteral("Materie"), 0x3FF}),
              QStringLiteral("Error in Worksheet name: \"Materie\". Token Id: 0x3FF"));
    EXPECT_EQ(raisedText(PasswordProtected, {}), QStringLiteral("File is password protected"));
    // A missing argument leaves an empty field rather than failing the report of the error.
    EXPECT_EQ(raisedText(CantFindFile, {}), QStringLiteral("Can't find file \"\""));
}

TEST(Messages, TheTokenExceptionIsTheLibrarysOwnAndNamesItsToken)
{
    try {
        throw ETokenException(0x26);
    } catch (const EExcelException &e) {
        EXPECT_EQ(e.messageId(), TokenNotSupported);
        EXPECT_EQ(e.message(),
                  QStringLiteral("Error reading formula, Token Id: 0x26 is not supported"));
        EXPECT_EQ(static_cast<const ETokenException &>(e).tokenId(), 0x26);
    }
}
