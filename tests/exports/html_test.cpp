#include "exchange/qelhistoryhook.h"
#include "gradeentry/qevutil.h"
#include "platform/helpers.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

// Pupil 147 (situations 142, 552, 955: 3A, 4A, 5A) and pupil 160 (144, 554, 957, with debts
// and make-up courses in 5A) of 5A 2008/2009.
constexpr int kClass = 39005;

class HistoryPages : public RunningProgram
{
protected:
    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        RunningProgram::TearDown();
    }
    QString exportFolder() const { return root.path() + QStringLiteral("/Ł5A/"); }
    QString pupilDir(int sit) const
    {
        return exportFolder() + QStringLiteral("storico/%1/").arg(sit);
    }
    QString build(int cls = kClass)
    {
        return qelHistoryHooks().buildHistory(QString::number(cls), exportFolder(), 39);
    }
    // What a browser reads in one document of a page: "h3\ttext" and
    // "table\trow\tcolumn\tbgcolor\ttext" lines.
    QStringList cells(const QString &page, int document = 0)
    {
        QString out;
        // Debian's html5lib, whatever interpreter comes first on the PATH.
        const QString python = QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                                   ? QStringLiteral("/usr/bin/python3")
                                   : QStringLiteral("python3");
        EXPECT_EQ(runChecker(python,
                             {QStringLiteral(TAVRIN_SOURCE_DIR "/tests/exports/htmlcells.py"),
                              page, QString::number(document)},
                             &out),
                  0)
            << out.toStdString();
        return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The cell of the row whose first cell is the label.
    QString cell(const QStringList &all, const QString &label, int column)
    {
        QString table, row;
        for (const QString &line : all) {
            const QStringList f = line.split(QLatin1Char('\t'));
            if (f.size() == 5 && f[2] == QLatin1String("0") && f[4] == label)
                table = f[0], row = f[1];
            if (f.size() == 5 && f[0] == table && f[1] == row && f[2].toInt() == column)
                return f[3] + QLatin1Char('|') + f[4];
        }
        return QStringLiteral("<none>");
    }

    QTemporaryDir root;
};

TEST_F(HistoryPages, FoldersPagesRerunAndTheListFile)
{
    const QString list = root.path() + QStringLiteral("/qek_alunni.txt");
    const QByteArray before = "1=C:\\old\\\r\n147=C:\\Storico\\vecchio\\\r\nnota=caff\xe8\r\n";
    writeFileBytes(list, before);
    writeFileBytes(exportFolder() + QStringLiteral("storico/4242/main.html"), "another class");
    EXPECT_EQ(build(), QString());

    QSqlQuery q = runSql(QStringLiteral(
        "SELECT s.iSitId, s.iAnaId FROM TSit_Situazioni s JOIN TClsPst cp ON "
        "cp.iClsPstId = s.iClsPstId WHERE cp.iClsId = ? AND s.iSitOrdine = 1 ORDER BY s.iSitPosReg"),
                         {kClass});
    QByteArray expected = "1=C:\\old\\\r\n147=" +
                          pupilDir(955).toUtf8().replace("\xc5\x81", "?") +
                          "\r\nnota=caff\xe8\r\n";
    QStringList folders;
    while (q.next()) {
        const int sit = q.value(0).toInt();
        folders << QString::number(sit);
        const QStringList pages = QDir(pupilDir(sit)).entryList(QDir::Files, QDir::Name);
        EXPECT_EQ(pages.filter(QRegularExpression(QStringLiteral("^\\d{4}\\.html$"))).last(),
                  QStringLiteral("2008.html"));
        for (const char *page : {"main.html", "intestazione.html", "anni.html", "Generale.html",
                                 "Recuperi.html"})
            EXPECT_TRUE(pages.contains(QLatin1String(page))) << sit << page;
        if (q.value(1).toInt() != 147)
            expected += q.value(1).toByteArray() + "=" +
                        pupilDir(sit).toUtf8().replace("\xc5\x81", "?") + "\r\n";
    }
    folders << QStringLiteral("4242");
    EXPECT_EQ(QDir(exportFolder() + QStringLiteral("storico")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
              [&] { folders.sort(); return folders; }());
    EXPECT_EQ(readFileBytes(list), expected);
    EXPECT_TRUE(readFileBytes(pupilDir(955) + QStringLiteral("main.html"))
                    .contains("src=\"Generale.html\""));

    // A pupil's folder that someone replaced by a link is refused by name, the link and the
    // folder it points to left as they were; a rerun writes every page anew and leaves another
    // class's pupil alone; a list file that cannot be saved is the warning the export shows,
    // the pages written.
    writeFileBytes(pupilDir(955) + QStringLiteral("anni.html"), "stale");
    QTemporaryDir elsewhere;
    writeFileBytes(elsewhere.filePath(QStringLiteral("main.html")), "altrove");
    QDir(pupilDir(956)).removeRecursively();
    const QString linked = QDir::cleanPath(pupilDir(956));
    ASSERT_TRUE(QFile::link(elsewhere.path(), linked));
    const QString refusal = refusalOf([&] { build(); });
    EXPECT_TRUE(refusal.contains(linked + ": è un collegamento a " + elsewhere.path()))
        << refusal.toStdString();
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files), QStringList{"main.html"});
    ASSERT_TRUE(QFile::remove(linked));
    QString warning;
    {
        ReadOnlyFolder readOnly(root.path());
        warning = build();
    }
    EXPECT_TRUE(warning.contains(QStringLiteral("qek_alunni.txt"))) << warning.toStdString();
    EXPECT_EQ(readFileBytes(list), expected);
    EXPECT_TRUE(readFileBytes(pupilDir(955) + QStringLiteral("anni.html")).startsWith("<html>"));
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files), QStringList{"main.html"});
    EXPECT_EQ(readFileBytes(elsewhere.filePath(QStringLiteral("main.html"))), "altrove");
    EXPECT_TRUE(readFileBytes(pupilDir(956) + QStringLiteral("anni.html")).startsWith("<html>"));
    EXPECT_EQ(readFileBytes(exportFolder() + QStringLiteral("storico/4242/main.html")),
              "another class");
}

TEST_F(HistoryPages, CellsOfDebtsCreditsVotesAndAverages)
{
    // Pupil 160 in 4A: one debt made up, one not; pupil 147: credits adding up to 0, no vote
    // counted in 4A, one vote missing in 5A's final session.
    runSql(QStringLiteral("INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, iDesDedId) "
                          "VALUES (900001, 554, 1, 1)"));
    runSql(QStringLiteral("INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, iDesDedId) "
                          "VALUES (900002, 554, 2, 2)"));
    runSql(QStringLiteral("UPDATE TCre_Crediti SET iCreCredito = 0, iCreRecup = NULL "
                          "WHERE iSitId IN (142, 552, 955)"));
    runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE iSitId = 552"));
    runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE iSitId = 955 AND iClsMatCmpId IN (SELECT "
                          "iClsMatCmpId FROM VClsMatCmp WHERE iAnsSesDwgId = 392 AND iMatId = 1)"));
    const auto mean = [](int sit, int year) {
        SetAnsIdMedia(year);
        return QString::number(RoundTo(MediaVoti(sit, -1, 0, false), -2), 'f', 2);
    };
    // Conduct counts from 2008/2009 on: the two years' averages tell whether the rule saw them.
    SetAnsIdMedia(39);
    ASSERT_NE(mean(142, 37), QString::number(RoundTo(MediaVoti(142, -1, 0, false), -2), 'f', 2));
    const QString avg37 = mean(142, 37), avg39 = mean(955, 39);
    ASSERT_EQ(build(), QString());

    const QString pupil160 = pupilDir(957), pupil147 = pupilDir(955);
    const QStringList year38 = cells(pupil160 + QStringLiteral("2007.html"));
    const QStringList general147 = cells(pupil147 + QStringLiteral("Generale.html"));
    const QStringList credits147 = cells(pupil147 + QStringLiteral("Generale.html"), 1);
    const QStringList current147 = cells(pupil147 + QStringLiteral("2008.html"), 1);
    const QStringList term147 = cells(pupil147 + QStringLiteral("2008.html"), 0);
    // Pupil 163 (5A) regained a credit point in 4A.
    const QStringList credits163 = cells(pupilDir(965) + QStringLiteral("Generale.html"), 1);
    const QString total = QStringLiteral("#99CCFF|");
    const auto number = [](const char *sql, int id) {
        return QStringLiteral("#FFFFFF|") + scalar(QString::fromLatin1(sql), {id}).toString();
    };
    const struct
    {
        const char *name;
        QStringList page;
        QString label;
        int column;
        QString expected;
    } cases[] = {
        {"a debt made up", year38, QStringLiteral("&nbsp;ITA"), 4, "#99FF66|&nbsp;"},
        {"a debt not made up", year38, QStringLiteral("&nbsp;STO"), 4, "red|&nbsp;"},
        {"no debt", year38, QStringLiteral("&nbsp;MAT"), 4, "#FFFFFF|&nbsp;"},
        {"the debts of a year", year38, QStringLiteral("&nbsp;Medie e totali"), 4, total + "2"},
        {"a year without debts", cells(pupil160 + QStringLiteral("2006.html")),
         QStringLiteral("&nbsp;Medie e totali"), 4, total + "&nbsp;"},
        {"credits adding up to 0", credits147, QString(), 0, "#FFFFFF|&nbsp;"},
        {"credits with a regained one", credits163, QString(), 0,
         number("SELECT SUM(C.iCreCredito + COALESCE(C.iCreRecup, 0)) FROM TCre_Crediti C JOIN "
                "TSit_Situazioni S ON S.iSitId = C.iSitId WHERE S.iAnaId = ?",
                163)},
        // After the subject, a vote and a proposal for each of the term's five components.
        {"the first term's absences", term147, QStringLiteral("&nbsp;ITA"), 11,
         number("SELECT SUM(A.iAssOre) FROM TAss_Assenze A JOIN TClsSesMat M ON M.iClsSesMatId "
                "= A.iClsSesMatId JOIN TClsSes CS ON CS.iClsSesId = M.iClsSesId WHERE "
                "A.iSitId = ? AND CS.iAnsSesDwgId = 391 AND M.iMatRmaId = 1",
                955)},
        {"no vote counted", general147, QStringLiteral("&nbsp;Totali"), 4, total + "0.00"},
        {"conduct out before 2008/2009", general147, QStringLiteral("&nbsp;Totali"), 1,
         total + avg37},
        {"conduct in from 2008/2009", general147, QStringLiteral("&nbsp;Totali"), 7, total + avg39},
        {"a missing vote", current147, QStringLiteral("&nbsp;ITA"), 1, "#FFFFFF|&nbsp;&nbsp;"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.label.isEmpty()) // the credits' total
            EXPECT_EQ(c.page.last().section(QLatin1Char('\t'), 3).replace('\t', '|'), c.expected);
        else
            EXPECT_EQ(cell(c.page, c.label, c.column), c.expected);
    }
    EXPECT_EQ(readFileBytes(pupil147 + QStringLiteral("2008.html")).count("\r\n"), 3);
    EXPECT_EQ(readFileBytes(pupil147 + QStringLiteral("Generale.html")).count("\r\n"), 2);

    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    ASSERT_EQ(build(), QString());
    EXPECT_EQ(cell(cells(pupil147 + QStringLiteral("2007.html")),
                   QStringLiteral("&nbsp;Medie e totali"), 1),
              total + "0,00");
}

TEST_F(HistoryPages, MakeUpCoursesEscapedTextsAndValidMarkup)
{
    runSql(QStringLiteral("UPDATE TAna_Anagrafiche SET sAnaCognome = 'D''Amico', "
                          "sAnaNome = '<b>&''\"Ł' WHERE iAnaId = 147"));
    runSql(QStringLiteral("UPDATE TMat_Materie SET sMatSDesc = '<script>&''\"' WHERE iMatId = 2"));
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    ASSERT_EQ(build(), QString());

    const QByteArray heading = readFileBytes(pupilDir(955) + QStringLiteral("intestazione.html"));
    EXPECT_TRUE(heading.contains("D'Amico &lt;b&gt;&amp;'&quot;&#321;")) << heading.data();
    EXPECT_EQ(cells(pupilDir(955) + QStringLiteral("intestazione.html")),
              QStringList{QStringLiteral("h3\tD'Amico <b>&'\"Ł")});
    EXPECT_EQ(cell(cells(pupilDir(955) + QStringLiteral("2007.html")),
                   QStringLiteral("&nbsp;<script>&'\""), 0),
              QStringLiteral("#FFFFFF|&nbsp;<script>&'\""));

    const QByteArray none = readFileBytes(pupilDir(955) + QStringLiteral("Recuperi.html"));
    EXPECT_TRUE(none.contains("\r\n<h1 align=center> Nessun recupero </h1>\r\n</center>"));
    EXPECT_FALSE(none.contains("<table"));
    const QByteArray made = readFileBytes(pupilDir(957) + QStringLiteral("Recuperi.html"));
    EXPECT_TRUE(made.contains("<a href=#957390051>")) << made.data();
    EXPECT_TRUE(made.contains("\r\n<tr>\r\n<td width=120 align=center><font face=\"Times New "
                              "Roman\" size=\"2\" color=\"#000000\">ITA</font></td>\r\n"));
    EXPECT_TRUE(made.contains("20/06/09"));

    // Every page passes tidy but for the legacy markup the pages keep on purpose: several
    // documents in one file, presentational attributes, no doctype or title.
    const QRegularExpression allowed(QStringLiteral(
        "^Warning: (missing <!DOCTYPE> declaration|inserting missing 'title' element|"
        "<(body|h1|h3|table|td)> attribute \"(bgcolor|text|align)\" not allowed for HTML5|"
        "<body> attribute \"bgcolor\" has invalid value \"lightYellow\"|"
        "<td> attribute \"bgcolor\" had invalid value \"FFFFFF\" and has been replaced|"
        "<table> attribute \"width\" has invalid value \"600px\"|"
        "<(font|center)> element removed from HTML5|"
        "discarding unexpected </?(html|body)>|content occurs after end of body|"
        "inserting implicit <(font|ul)>|missing </(font|menu)> before <(li|menu)>|"
        "missing </ul> before </menu>|discarding unexpected </font>|trimming empty <font>)"));
    const QRegularExpression kPosition(QStringLiteral("^line \\d+ column \\d+ - "));
    for (const int sit : {955, 957}) {
        for (const QString &page :
             QDir(pupilDir(sit)).entryList({QStringLiteral("*.html")}, QDir::Files)) {
            QString out;
            runChecker(QStringLiteral("tidy"),
                       {QStringLiteral("-q"), QStringLiteral("-e"), pupilDir(sit) + page}, &out);
            for (QString line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                EXPECT_TRUE(allowed.match(line.remove(kPosition)).hasMatch()) << page.toStdString() << ": "
                                                            << line.toStdString();
        }
    }
}

} // namespace
