#include "reports/qelprintjob.h"

#include "platform/fileaccess.h"
#include "reports/qelrptdatasets.h"

#include <initializer_list>
#include <utility>

namespace {

// The customer code gets its own length placeholder: written as a constant 4, a code of any
// other length made the descriptor unreadable. The print service's 4-character codes come out
// byte for byte as before.
const char kHeader[] =
    "a:4:{s:4:\"info\";a:3:{s:8:\"filename\";s:/*S_FILENAME*/:\"/*FILENAME*/\";"
    "s:8:\"filesize\";i:1;s:4:\"date\";i:1221581680;}s:8:\"customer\";a:3:{"
    "s:16:\"codice_quenbrast\";s:0:\"\";s:9:\"codice_vs\";s:/*S_COD_CLI*/:\"/*COD_CLI*/\";"
    "s:10:\"codice_mec\";s:/*S_COD_MEC*/:\"/*COD_MEC*/\";}s:6:\"struct\";a:/*I_TOT_STRUCT*/:{";
const char kStruct[] =
    "i:/*I_CODSTRUCT*/;a:6:{s:4:\"from\";s:/*S_FROM*/:\"/*FROM*/\";s:2:\"to\";s:/*S_TO*/:\"/*TO*/"
    "\";"
    "s:4:\"tray\";s:/*S_TRAY*/:\"/*TRAY*/\";s:5:\"media\";s:/*S_MEDIA*/:\"/*MEDIA*/\";"
    "s:5:\"print\";b:/*PRINT*/;s:5:\"title\";s:/*S_TITLE*/:\"/*TITLE*/\";}";
const char kFooter[] = "}s:11:\"printoption\";a:0:{}}";
const QString kTotStruct = QStringLiteral("/*I_TOT_STRUCT*/");

QString bytes(const QString &value)
{
    return QString::number(value.toUtf8().size());
}

// One placeholder after the other, each replaced wherever it stands in the text so far.
QString filled(const char *text, std::initializer_list<std::pair<const char *, QString>> values)
{
    QString result = QString::fromLatin1(text);
    for (const auto &[name, value] : values)
        result.replace(QStringLiteral("/*%1*/").arg(QLatin1String(name)), value, Qt::CaseSensitive);
    return result;
}

void appendEntry(TdmqelRptDataSets &m, int from, int to, const char *tray, const char *title)
{
    m.AppendPrintJobText(PrintJobStruct(QString::number(m.StructCount()), QString::number(from),
                                        QString::number(to), QString::fromLatin1(tray),
                                        m.PrintMedia(), QStringLiteral("1"),
                                        QString::fromLatin1(title)));
    m.SetStructCount(m.StructCount() + 1);
}

void closePupilRange(TdmqelRptDataSets &m)
{
    if (!m.RangePending())
        return;
    appendEntry(m, m.RangeFirstPage(), m.CurrentPage() - 1, "3", "Alunni");
    m.SetRangeFirstPage(m.CurrentPage());
    m.SetRangePending(false);
}

void cover(TdmqelRptDataSets &m, int page, const char *tray, const char *title)
{
    if (page > 0 && m.RangePending())
        m.SetCurrentPage(page);
    closePupilRange(m);
    appendEntry(m, m.RangeFirstPage(), m.RangeFirstPage(), tray, title);
    m.SetRangeFirstPage(m.RangeFirstPage() + 1);
    m.SetCurrentPage(m.CurrentPage() + 1);
}

} // namespace

QString PrintJobHeader(const QString &fileName, const QString &codCli, const QString &codMec)
{
    return filled(kHeader, {{"FILENAME", fileName},
                            {"S_FILENAME", bytes(fileName)},
                            {"COD_CLI", codCli},
                            {"S_COD_CLI", bytes(codCli)},
                            {"COD_MEC", codMec},
                            {"S_COD_MEC", bytes(codMec)}});
}

QString PrintJobStruct(const QString &code, const QString &from, const QString &to,
                       const QString &tray, const QString &media, const QString &print,
                       const QString &title)
{
    return filled(kStruct, {{"I_CODSTRUCT", code},
                            {"S_FROM", bytes(from)},
                            {"FROM", from},
                            {"S_TO", bytes(to)},
                            {"TO", to},
                            {"S_TRAY", bytes(tray)},
                            {"TRAY", tray},
                            {"S_MEDIA", bytes(media)},
                            {"MEDIA", media},
                            {"PRINT", print},
                            {"S_TITLE", bytes(title)},
                            {"TITLE", title}});
}

QString PrintJobFooter()
{
    return QString::fromLatin1(kFooter);
}

void PrintJobStart(TdmqelRptDataSets &m, const QString &fileName, const QString &media,
                   const QString &codCli, const QString &codMec)
{
    m.SetPrintJobText(QString());
    m.SetPageDetails({});
    m.SetPageSearchTexts({});
    m.SetPrintMedia(media);
    m.SetRangeFirstPage(1);
    m.SetCurrentPage(1);
    m.SetRangePending(false);
    m.SetStructCount(0);
    m.SetPrintJobText(PrintJobHeader(fileName, codCli, codMec));
}

void PrintJobNewAlunno(TdmqelRptDataSets &m)
{
    m.SetRangePending(true);
    m.SetCurrentPage(m.CurrentPage() + 1);
}

void PrintJobNewVolume(TdmqelRptDataSets &m, int page)
{
    cover(m, page, "1", "Volume");
}

void PrintJobNewClasse(TdmqelRptDataSets &m, int page)
{
    cover(m, page, "2", "Classe");
}

void PrintJobEnd(TdmqelRptDataSets &m)
{
    closePupilRange(m);
    m.AppendPrintJobText(PrintJobFooter());
    m.SetPrintJobText(m.PrintJobText().replace(kTotStruct, QString::number(m.StructCount())));
}

void PrintJobWrite(const QString &path, const QString &text)
{
    // A text file as the suite's string lists write them: the line ends with CR LF.
    VxReplaceFile(path, text.toUtf8() + "\r\n");
}
