// The template format: what reading refuses and where, the written form read back unchanged,
// and every template in the repository against the schema.
#include "reportengine/reporttemplate.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kRoot = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../..";

QStringList templateFiles()
{
    QStringList files;
    for (const char *folder : {"reports/templates", "tests/reportengine/data"}) {
        const QDir dir(kRoot + "/" + folder);
        for (const QString &name : dir.entryList({"*.xml"}, QDir::Files))
            files << dir.filePath(name);
    }
    return files;
}

QByteArray report(const QByteArray &body, const QByteArray &attributes = "version=\"1\"")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<report " + attributes + ">\n" + body +
           "</report>\n";
}

TEST(ReportTemplate, RefusesWhatItDoesNotKnowWithLineAndColumn)
{
    struct Case
    {
        const char *what;
        QByteArray xml;
        int line;
        int column;
        const char *says;
    };
    const QByteArray band = "  <data name=\"A\" dataset=\"frdA\" height=\"5\">\n";
    // 40,000 attributes that only a UTF-7 reader would see, and the declaration saying so after
    // that many blanks.
    const auto utf7 = [](int blanks) {
        return report("  <summary" +
                      xmlAttributes(40000).replace("=\"", "+AD0AIg-").replace("\"", "+ACI-") +
                      "/>\n")
            .replace("UTF-8", "UTF-7")
            .replace("\"1.0\"", "\"1.0\"" + QByteArray(blanks, ' '));
    };
    const QString utf16 = QString::fromUtf8(report("").replace("UTF-8", "UTF-16"));
    const Case cases[] = {
        {"unclosed element", report(band), 4, 10, "XML non valido"},
        {"another version", report("", "version=\"2\""), 2, 1, "versione 2"},
        {"no version", report("", "title=\"x\""), 2, 1, "manca l'attributo «version»"},
        {"unknown element", report(band + "    <chart/>\n  </data>\n"), 4, 5,
         "elemento sconosciuto <chart>"},
        {"unknown attribute",
         report(band + "    <text name=\"T\" left=\"0\" top=\"0\" width=\"5\" height=\"5\" "
                       "colour=\"red\">x</text>\n  </data>\n"),
         4, 5, "attributo sconosciuto «colour»"},
        {"footer before the objects",
         report(band + "    <footer height=\"5\"/>\n    <line left=\"0\" top=\"0\" width=\"5\" "
                       "height=\"0\"/>\n  </data>\n"),
         5, 5, "non è ammesso in questa posizione"},
        {"continued band after the objects",
         report(band + "    <line left=\"0\" top=\"0\" width=\"5\" height=\"0\"/>\n"
                       "    <continued height=\"5\"/>\n  </data>\n"),
         5, 5, "<continued> non è ammesso in questa posizione"},
        {"page header after the data", report(band + "  </data>\n  <page-header height=\"5\"/>\n"),
         5, 3, "<page-header> non è ammesso"},
        {"two titles", report("  <report-title height=\"5\"/>\n  <report-title height=\"5\"/>\n"),
         4, 3, "<report-title> non è ammesso"},
        {"expression that does not parse",
         report(band + "    <text name=\"T\" left=\"0\" top=\"0\" width=\"5\" height=\"5\">Voto "
                       "[IIF(1, 2</text>\n  </data>\n"),
         4, 5, "posizione"},
        {"visibility that does not parse", report("  <summary height=\"5\" visible=\"a and\"/>\n"),
         3, 3, "posizione"},
        {"comma as decimal point", report("  <summary height=\"5,5\"/>\n"), 3, 3,
         "«5,5» non è un numero valido"},
        {"margins without room",
         report("", "version=\"1\" margin-left=\"150\" margin-right=\"60\""), 2, 1,
         "i margini non lasciano spazio"},
        {"frame side twice",
         report(band + "    <text name=\"T\" left=\"0\" top=\"0\" width=\"5\" height=\"5\" "
                       "frame=\"top top\">x</text>\n  </data>\n"),
         4, 5, "«top top» non vale per «frame»"},
        {"unknown format",
         report(band + "    <text name=\"T\" left=\"0\" top=\"0\" width=\"5\" height=\"5\" "
                       "format=\"money:2\">x</text>\n  </data>\n"),
         4, 5, "il formato «money:2» non vale"},
        {"entity declarations",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE report [<!ENTITY a \"aaaa\">]>\n<report "
         "version=\"1\"/>\n",
         2, 39, "DTD"},
        {"another program's template", "FRF placeholder 16089", 1, 1, "non è un modello XML"},
        {"not UTF-8", report("", "version=\"1\" title=\"Pagella \xE9\""), 2, 36, "UTF-8"},
        {"two documents", report("") + "<report version=\"1\"/>\n", 4, 22, "XML non valido"},
        {"40,000 attributes", report(band + "    <line" + xmlAttributes(40000) + "/>\n  </data>\n"),
         4, 5, "il modello ha un elemento con più di 1000 attributi"},
        {"200,000 attributes", report("  <summary" + xmlAttributes(200000) + "/>\n"), 3, 3,
         "il modello ha un elemento con più di 1000 attributi"},
        {"40,000 attributes written in UTF-7", utf7(0), 1, 31,
         "il modello ha la codifica «UTF-7», che non è ammessa (solo UTF-8 o UTF-16)"},
        {"UTF-7 declared after 1,100 blanks", utf7(1100), 1, 1131, "la codifica «UTF-7»"},
        {"UTF-7 declared after 100,000 blanks", utf7(100000), 1, 100031, "la codifica «UTF-7»"},
        {"saved in UTF-16",
         "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2),
         1, 1, "il modello è scritto nella codifica UTF-16LE, non in UTF-8"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        try {
            frReadTemplate(c.xml);
            ADD_FAILURE() << "read";
        } catch (const EfrTemplateError &e) {
            EXPECT_EQ(e.Line(), c.line);
            EXPECT_EQ(e.Column(), c.column);
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.says)))
                << e.message().toStdString();
            EXPECT_TRUE(
                e.message().contains(QString("riga %1, colonna %2").arg(c.line).arg(c.column)));
        }
    }
    // Past the nesting cap of XML documents: refused before the reader sees it, in one sentence.
    try {
        frReadTemplate(report(QByteArray("<data>").repeated(300)));
        ADD_FAILURE() << "read";
    } catch (const EVxException &e) {
        EXPECT_EQ(e.message().toStdString(), "Il documento XML del modello del report ha più di "
                                             "256 livelli di elementi annidati.");
    }
}

// A template with every attribute away from its default: a writer that forgets one, or a
// reader that takes one for another, reads back a different template.
TfrTemplate everything()
{
    TfrTemplate t;
    t.Title = "Prova «àèìòù» & <altro>";
    t.Paper = TfrPaper::A3;
    t.Orientation = TfrOrientation::Landscape;
    t.MarginLeft = 12.5;
    t.MarginTop = 7;
    t.MarginRight = 8.25;
    t.MarginBottom = 9;
    t.FontSize = 10.5;
    t.Bold = true;
    t.Italic = true;
    TfrObject text;
    text.Name = "Testo";
    text.Left = 1.5;
    text.Top = 2;
    text.Width = 30;
    text.Height = 4.75;
    text.Memo = "  Riga uno [frdA.\"sNome\"]\nriga due: 'x' < y & z  ";
    text.FontSize = 7;
    text.Bold = false;
    text.Italic = true;
    text.Align = TfrAlign::Right;
    text.WordWrap = false;
    text.Stretch = true;
    text.Frame = fsLeft | fsBottom;
    text.LineWidth = 0.5;
    text.Fill = QColor("#A0B0C0");
    text.Format = "date:d MMMM yyyy";
    TfrObject line;
    line.Kind = TfrObjectKind::Line;
    line.Left = 3;
    line.Width = 100;
    line.LineWidth = 1;
    TfrObject rect;
    rect.Kind = TfrObjectKind::Rect;
    rect.Name = "Riquadro";
    rect.Width = 10;
    rect.Height = 10;
    rect.LineWidth = 0;
    rect.Fill = QColor("#FFEE00");

    const auto band = [&](TfrBandKind kind, const QString &name) {
        TfrBand b;
        b.Kind = kind;
        b.Name = name;
        b.Height = 6;
        b.Objects = {text, line, rect};
        return b;
    };
    TfrBand across;
    across.Kind = TfrBandKind::Across;
    across.Name = "Colonne";
    across.DataSet = "frdB";
    across.Left = 40;
    across.Width = 12;
    across.Visible = "frdB.\"iId\" <> 3";
    across.Objects = {text};
    TfrBand data = band(TfrBandKind::Data, "Righe");
    data.DataSet = "frdA";
    data.Stretch = data.NewPageBefore = data.NewPageAfter = data.PrintWhenEmpty =
        data.KeepTogether = true;
    data.Visible = "[LINE#] > 1";
    TfrBand detail = band(TfrBandKind::Data, "Dettagli");
    detail.DataSet = "frdC";
    TfrBand header = band(TfrBandKind::Header, "");
    header.Repeat = true;
    data.Bands = {header, band(TfrBandKind::Continued, "Segue"), across, detail,
                  band(TfrBandKind::Footer, "Piede")};
    TfrBand pageHeader = band(TfrBandKind::PageHeader, "");
    pageHeader.Stretch = true;
    TfrBand summary = band(TfrBandKind::Summary, "");
    summary.Bands = {across};
    t.Bands = {band(TfrBandKind::ReportTitle, "Titolo"),
               pageHeader,
               band(TfrBandKind::PageFooter, ""),
               data,
               data,
               summary};
    return t;
}

TEST(ReportTemplate, WrittenFormReadsBackUnchanged)
{
    const TfrTemplate t = everything();
    const QByteArray written = frWriteTemplate(t);
    EXPECT_EQ(frReadTemplate(written), t);
    EXPECT_EQ(frWriteTemplate(frReadTemplate(written)), written);

    const QStringList files = templateFiles();
    ASSERT_GE(files.size(), 5);
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray bytes = readFileBytes(file);
        const TfrTemplate read = frReadTemplate(bytes);
        EXPECT_EQ(frWriteTemplate(read).toStdString(), bytes.toStdString());
        EXPECT_EQ(frReadTemplate(frWriteTemplate(read)), read);
    }
}

TEST(ReportTemplate, EveryTemplateFilePassesTheSchema)
{
    QTemporaryDir dir;
    const QString written = dir.path() + "/scritto.xml";
    const QString refused = dir.path() + "/rifiutato.xml";
    writeFileBytes(written, frWriteTemplate(everything()));
    writeFileBytes(refused, report("  <summary height=\"5\"><chart/></summary>\n"));

    const auto lint = [](const QStringList &files) {
        QProcess p;
        p.start("xmllint",
                QStringList{"--noout", "--schema", kRoot + "/reportengine/reporttemplate.xsd"} +
                    files);
        EXPECT_TRUE(p.waitForFinished(60000)) << "xmllint (libxml2-utils) did not run";
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()));
    };
    const auto [code, errors] = lint(templateFiles() << written);
    EXPECT_EQ(code, 0) << errors.toStdString();
    EXPECT_NE(lint({refused}).first, 0);
}

} // namespace
