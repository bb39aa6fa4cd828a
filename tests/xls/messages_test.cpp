#include "xls/xlsmessages.h"

#include <gtest/gtest.h>

using namespace xls;

// The texts reach the user through the survey's error box; the other tests check them after
// real failures. Here: how a raised message fills its placeholders.
namespace {

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
