#pragma once

#include <QString>
#include <QVariant>

#include <stdexcept>

// Every failure of the workbook library travels as one of a fixed set of English texts, kept
// under fixed identifiers so that a translation can replace them without touching the code.
// The library never shows anything: the caller decides what the user sees.
namespace xls {

enum XlsMsg : int {
    SheetBaseName = 65440,
    TooManyPageBreaks = 65441,
    InvalidRow = 65442,
    InvalidColumn = 65443,
    IndexNotInRange = 65444,
    PasswordProtected = 65445,
    WorkbookStreamName = 65446,
    ErrNull = 65447,
    ErrDiv0 = 65448,
    ErrValue = 65449,
    ErrRef = 65450,
    ErrName = 65451,
    ErrNum = 65452,
    ErrNA = 65453,
    EscherNotFullyLoaded = 65456,
    ErrorLoadingEscher = 65457,
    EscherDuplicatedBStore = 65458,
    EscherDuplicatedDg = 65459,
    EscherDuplicatedDgg = 65460,
    EscherDuplicatedSolver = 65461,
    ErrorProcessingEscher = 65462,
    LogicalError = 65463,
    CantCopyOleObjects = 65464,
    InvalidCellErrorCode = 65465,
    InvalidCellValue = 65466,
    CantWriteToFile = 65467,
    CantFindSharedFormula = 65468,
    StrLenLengthInvalid = 65469,
    InvalidStringRecord = 65470,
    NotImplementedRecord = 65471,
    BadConditionalFormat = 65472,
    ErrorInChartFormula = 65473,
    ErrorReadingRecord = 65474,
    InvalidExcelVersion = 65475,
    TooManyEntries = 65476,
    SectionNotLoaded = 65477,
    MoreThanOneContinue = 65478,
    StringTooLarge = 65479,
    UnsupportedDrawingRecord = 65480,
    InvalidCondFmtRecord = 65481,
    SheetNameExists = 65482,
    DuplicatedRowRecord = 65483,
    MissingRowRecord = 65484,
    InvalidInsertAndCopyArgs = 65485,
    InvalidSheetNumber = 65486,
    RowCountMismatch = 65487,
    CantFindTheFile = 65493,
    FileInvalid = 65494,
    CantReadFile = 65495,
    ErrorReadingExcelRecords = 65496,
    ErrorWritingOutput = 65497,
    CantFindFile = 65498,
    CantOpenStream = 65499,
    InvalidRecordId = 65500,
    TokenNotSupported = 65501,
    FormulaNotSupported = 65502,
    ErrorInWorksheetName = 65503,
};

// The text of a message identifier, unformatted ("" for an unknown identifier).
QString xlsMessageText(int id);

// Fills a message's placeholders in order: %d (integer), %x and %2x (hexadecimal, the width
// padded with spaces), %s (text).
QString formatXlsMessage(const QString &format, const QVariantList &args);

// The library's own exception. Its message is already formatted.
class EExcelException : public std::runtime_error
{
public:
    explicit EExcelException(int id, const QString &message)
        : std::runtime_error(message.toStdString()), m_id(id), m_message(message)
    {
    }
    int messageId() const { return m_id; }
    QString message() const { return m_message; }

private:
    int m_id;
    QString m_message;
};

// Raised by the formula readers; carries the token that stopped them.
class ETokenException : public EExcelException
{
public:
    explicit ETokenException(int tokenId);
    int tokenId() const { return m_tokenId; }

private:
    int m_tokenId;
};

// Raises the message with its placeholders filled from args.
[[noreturn]] void raiseXls(int id, const QVariantList &args = {});

} // namespace xls
