#include "xls/xlsmessages.h"

#include <QHash>

namespace xls {

namespace {

const QHash<int, QString> &messageTable()
{
    static const QHash<int, QString> table{
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
    return table;
}

} // namespace

QString xlsMessageText(int id)
{
    return messageTable().value(id);
}

QString formatXlsMessage(const QString &format, const QVariantList &args)
{
    QString out;
    int next = 0;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        int width = 0;
        int j = i + 1;
        while (j < format.size() && format.at(j).isDigit())
            width = width * 10 + format.at(j++).digitValue();
        if (j >= format.size()) {
            out += format.mid(i);
            break;
        }
        const QChar kind = format.at(j);
        const QVariant arg = next < args.size() ? args.at(next) : QVariant();
        QString piece;
        if (kind == u'd') {
            piece = QString::number(arg.toLongLong());
        } else if (kind == u'x') {
            piece = QString::number(arg.toLongLong(), 16).toUpper();
        } else if (kind == u's') {
            piece = arg.toString();
        } else if (kind == u'%') {
            out += u'%';
            i = j;
            continue;
        } else {
            out += format.mid(i, j - i + 1);
            i = j;
            continue;
        }
        ++next;
        out += piece.rightJustified(width, u' ');
        i = j;
    }
    return out;
}

ETokenException::ETokenException(int tokenId)
    : EExcelException(TokenNotSupported,
                      formatXlsMessage(xlsMessageText(TokenNotSupported), {tokenId})),
      m_tokenId(tokenId)
{
}

void raiseXls(int id, const QVariantList &args)
{
    throw EExcelException(id, formatXlsMessage(xlsMessageText(id), args));
}

} // namespace xls
