// PDF export and its encryption, read back with the tools an office's PDF meets: poppler's
// pdfinfo, pdffonts and pdftotext, and qpdf. Test templates over the demo school; never the
// PDF's bytes.
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "reportengine/reportmodule.h"
#include "reportengine/reportpreview.h"
#include "reportengine/reportrender.h"
#include "reportengine/tuvpdf.h"
#include "tests/reportengine/reportschool.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";
constexpr double kPtPerMm = 72.0 / 25.4;

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(60000)) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The value of a "Name:   value" line of pdfinfo.
QString infoLine(const QString &info, const QString &name)
{
    const QRegularExpression re("^" + name + ":\\s*(.*)$", QRegularExpression::MultilineOption);
    return re.match(info).captured(1).trimmed();
}

// A word as pdftotext found it, in millimetres from its page's top-left corner.
struct Word
{
    int page = 0;
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

std::vector<Word> wordsOf(const QString &pdf)
{
    const ToolRun run = runTool("pdftotext", {"-bbox", pdf, "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    std::vector<Word> words;
    int page = 0;
    static const QRegularExpression tag("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                                        "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>");
    for (auto it = tag.globalMatch(run.out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith("<page")) {
            ++page;
            continue;
        }
        QString text = m.captured(5);
        text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"");
        text.replace("&#39;", "'").replace("&apos;", "'").replace("&amp;", "&");
        words.push_back({page, text, m.captured(1).toDouble() / kPtPerMm,
                         m.captured(2).toDouble() / kPtPerMm, m.captured(3).toDouble() / kPtPerMm,
                         m.captured(4).toDouble() / kPtPerMm});
    }
    return words;
}

class ReportExportTest : public ::testing::Test
{
protected:
    // The template laid out over the demo school and exported through the PDF filter.
    QString exported(const QString &name, const QString &filterTitle = QString())
    {
        report.LoadFromTemplate(frReadTemplate(readFileBytes(kData + "/" + name + ".xml")));
        report.PrintDate = QDate(2009, 6, 12);
        EXPECT_TRUE(report.PrepareReport());
        TfrPDFExportFilter filter;
        filter.Title = filterTitle;
        const QString path = dir.filePath(name + ".pdf");
        filter.Export(report.Pages(), path);
        return path;
    }

    ProgramDatabase program;
    SchoolReportModule school;
    QTemporaryDir dir;
    TfrReport report;
};

// Pages, paper and title as pdfinfo reads them, every font embedded, and the texts in reading
// order.
TEST_F(ReportExportTest, ExportedReportsReadBackWithThePdfTools)
{
    ASSERT_TRUE(program.opened);
    struct Case
    {
        const char *name;
        const char *filterTitle;
        int pages;
        const char *paper;
        bool landscape;
        const char *title;
        QStringList texts; // in the order pdftotext reads them
    };
    const Case cases[] = {
        {"scuola",
         "",
         2,
         "A4",
         true,
         "Voti per classe",
         {"Voti per classe - pagina 1 di 2", "Classe 5A", "Alunno", "ITA", "CON",
          "1. Barbieri Elisa", "Voti per classe - pagina 2 di 2", "Classe 3C"}},
        {"registro",
         "Registro",
         2,
         "A3",
         false,
         "Registro",
         {"Registro generale dei voti", "Foglio 1 di 2", "Classe 5A",
          "Il consiglio di classe, verificato il profitto finale",
          "con particolare riguardo all'affluenza alle attività pomeridiane e alla",
          "Stampato il 12/06/2009 - efficacia e profitto finale verificati", "Foglio 2 di 2",
          "Classe 3C"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString pdf = exported(c.name, c.filterTitle);

        const ToolRun info = runTool("pdfinfo", {pdf});
        ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
        EXPECT_EQ(infoLine(info.out, "Pages").toInt(), c.pages);
        EXPECT_EQ(infoLine(info.out, "Title"), c.title);
        const QRegularExpressionMatch size =
            QRegularExpression("([\\d.]+) x ([\\d.]+) pts \\((\\w+)\\)")
                .match(infoLine(info.out, "Page size"));
        ASSERT_TRUE(size.hasMatch()) << info.out.toStdString();
        EXPECT_EQ(size.captured(3), c.paper);
        EXPECT_EQ(size.captured(1).toDouble() > size.captured(2).toDouble(), c.landscape);

        // Every font line says "yes" under emb.
        const ToolRun fonts = runTool("pdffonts", {pdf});
        const QStringList lines = fonts.out.split('\n', Qt::SkipEmptyParts).mid(2);
        EXPECT_FALSE(lines.isEmpty()) << fonts.out.toStdString();
        for (const QString &line : lines) {
            EXPECT_TRUE(line.contains("Liberation")) << line.toStdString();
            EXPECT_TRUE(
                QRegularExpression("\\byes\\s+(yes|no)\\s+(yes|no)\\s+\\d+").match(line).hasMatch())
                << line.toStdString();
        }

        const ToolRun text = runTool("pdftotext", {pdf, "-"});
        qsizetype at = 0;
        for (const QString &expected : c.texts) {
            const qsizetype found = text.out.indexOf(expected, at);
            EXPECT_GE(found, 0) << expected.toStdString() << " after position " << at << " in\n"
                                << text.out.toStdString();
            if (found >= 0)
                at = found + expected.size();
        }
    }
}

// Every line of text stands in the PDF where the layout placed it and ends where the layout
// measured it: a font sized by the wrong inch, or "fi" joined into one glyph, moves the end.
TEST_F(ReportExportTest, TextStandsWhereTheLayoutPlacedIt)
{
    ASSERT_TRUE(program.opened);
    constexpr double kTolerance = 0.05; // millimetres
    for (const char *name : {"scuola", "registro"}) {
        SCOPED_TRACE(name);
        const std::vector<Word> words = wordsOf(exported(name));
        int checked = 0;
        for (size_t p = 0; p < report.Pages().Pages.size(); ++p) {
            for (const TfrDisplayItem &item : report.Pages().Pages[p].Items) {
                if (item.Kind != TfrItemKind::Text)
                    continue;
                const QStringList tokens = item.Text.split(' ', Qt::SkipEmptyParts);
                const TfrFontMetrics metrics = TfrFontMetrics::of(item.Font);
                const qsizetype first = item.Text.indexOf(tokens.first());
                const qsizetype last = item.Text.lastIndexOf(tokens.last()) + tokens.last().size();
                const double start = item.Origin.x() + metrics.width(item.Text.left(first));
                const double end = item.Origin.x() + metrics.width(item.Text.left(last));
                // The word of that text on the item's line nearest where it should be.
                const auto nearest = [&](const QString &token, bool atEnd, double where) {
                    double best = 1e9;
                    for (const Word &w : words) {
                        if (w.page != int(p) + 1 || w.text != token ||
                            std::abs((w.yMin + w.yMax) / 2 - item.Box.center().y()) > 1.5)
                            continue;
                        best = std::min(best, std::abs((atEnd ? w.xMax : w.xMin) - where));
                    }
                    return best;
                };
                EXPECT_LT(nearest(tokens.first(), false, start), kTolerance)
                    << "page " << p + 1 << " " << item.Object.toStdString() << " \""
                    << item.Text.toStdString() << "\" starts elsewhere";
                EXPECT_LT(nearest(tokens.last(), true, end), kTolerance)
                    << "page " << p + 1 << " " << item.Object.toStdString() << " \""
                    << item.Text.toStdString() << "\" ends elsewhere";
                ++checked;
            }
        }
        EXPECT_GT(checked, 50);
    }
}

// Pages drawn by hand, landscape and portrait: every face, accents built of two glyphs, a
// character the font lacks and one beyond 16 bits, a line wider than its box (clipped), frames
// of every width and a fill, names in Hebrew and Arabic script (in italics: from the fallback
// font's upright face, its only one with Arabic), and with their vowel marks, which the PDF
// draws away from where it shows them.
TfrDisplayList handDrawnPages()
{
    TfrDisplayList list;
    for (const QSizeF size : {QSizeF(297, 210), QSizeF(297, 420)}) {
        TfrPage page;
        page.Size = size;
        const auto text = [&page](double y, const QString &t, bool bold, bool italic,
                                  double width = 200) {
            TfrDisplayItem item;
            item.Text = t;
            item.Font = {y == 20 || y == 195 ? 14.0 : 9.0, bold, italic};
            item.Box = QRectF(20, y, width, 8);
            item.Origin = QPointF(20, y + 6);
            page.Items.push_back(item);
        };
        text(20, "Città, perché più già ÀÈÌÒÙ ÉÇ ñ", false, false);
        text(35, "Bocciato in Storia (voto 4)", true, false);
        text(50, "Giudizio sospeso: fisica", false, true);
        text(65, "Esito \u6F22 finale \U0001D11E fine", true, true);
        text(80, "Questa riga esce dal suo riquadro e va tagliata", false, false, 30);
        text(165, "Alunno عبد الرحمن الحسيني Nguyễn, classe 3A", false, true);
        text(180, "Alunna כהן לוי Zoë, classe 3B", true, false);
        text(195, "فَاطِمَة عَلِيّ כֹּהֵן", size.height() > 300, false);
        TfrDisplayItem line;
        line.Kind = TfrItemKind::Line;
        for (const double width : {0.0, 0.2, 1.0}) {
            line.Line = QLineF(20, 100 + width * 20, 250, 100 + width * 20);
            line.LineWidth = width;
            page.Items.push_back(line);
        }
        TfrDisplayItem rect;
        rect.Kind = TfrItemKind::Rect;
        rect.Box = QRectF(20, 130, 120, 30);
        rect.Fill = QColor("#C0C0C0");
        rect.Stroke = true;
        rect.LineWidth = 0.5;
        page.Items.push_back(rect);
        list.Pages.push_back(page);
    }
    return list;
}

// The PDF shows what the preview shows: rasterized by poppler, each page differs from the
// renderer's own image only where two rasterizers smooth edges differently; its text comes
// back whole, the clipped line too.
TEST(ReportPdfTest, PagesLookAsThePreviewDrawsThem)
{
    QTemporaryDir dir;
    const TfrDisplayList pages = handDrawnPages();
    const QString pdf = dir.filePath("prova.pdf");
    frExportPdf(pages, pdf, "Prova", 600);
    constexpr double kPxPerMm = 4;
    TfrPageRenderer renderer;
    for (int p = 0; p < int(pages.Pages.size()); ++p) {
        SCOPED_TRACE(p + 1);
        const QString page = QString::number(p + 1);
        const ToolRun run =
            runTool("pdftoppm", {"-gray", "-r", QString::number(kPxPerMm * 25.4), "-f", page, "-l",
                                 page, "-singlefile", pdf, dir.filePath("pagina")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QImage poppler(dir.filePath("pagina.pgm"));
        const QImage ours = renderer.pageImage(pages.Pages[size_t(p)], kPxPerMm)
                                .convertToFormat(QImage::Format_Grayscale8);
        ASSERT_LE(std::abs(poppler.width() - ours.width()), 1);
        ASSERT_LE(std::abs(poppler.height() - ours.height()), 1);
        // A dark pixel of either image with no dark or grey one near it in the other (a thin
        // line is grey where one rasterizer smooths it).
        const auto darkNear = [](const QImage &image, int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (image.rect().contains(x + dx, y + dy) &&
                        image.constScanLine(y + dy)[x + dx] < 200)
                        return true;
            return false;
        };
        // and within each text's box, where a mark drawn away from its letter shows
        const auto differ = [&](const QRect &area, int &dark, int &differing) {
            dark = differing = 0;
            const QRect within = area & poppler.rect() & ours.rect();
            for (int y = within.top(); y <= within.bottom(); ++y) {
                for (int x = within.left(); x <= within.right(); ++x) {
                    const bool a = poppler.constScanLine(y)[x] < 128,
                               b = ours.constScanLine(y)[x] < 128;
                    dark += b;
                    differing += (a && !darkNear(ours, x, y)) || (b && !darkNear(poppler, x, y));
                }
            }
        };
        int dark = 0, differing = 0;
        differ(poppler.rect(), dark, differing);
        EXPECT_GT(dark, 5000);
        EXPECT_LT(differing, dark / 200) << "of " << dark << " dark pixels";
        for (const TfrDisplayItem &item : pages.Pages[size_t(p)].Items) {
            const QRectF box(item.Box.topLeft() * kPxPerMm, item.Box.size() * kPxPerMm);
            differ(box.toAlignedRect(), dark, differing);
            if (item.Kind == TfrItemKind::Text)
                EXPECT_LE(differing, dark / 50) << item.Text.toStdString() << ": of " << dark;
        }
    }
    const QString text = runTool("pdftotext", {pdf, "-"}).out;
    for (const char *line :
         {"Città, perché più già ÀÈÌÒÙ ÉÇ ñ", "Bocciato in Storia (voto 4)",
          "Giudizio sospeso: fisica", "Esito", "Questa riga esce dal suo riquadro e va tagliata",
          "عبد الرحمن الحسيني", "Nguyễn, classe 3A", "כהן לוי", "Zoë, classe 3B", "فَاطِمَة عَلِيّ",
          "כֹּהֵן"})
        EXPECT_EQ(text.count(QString::fromUtf8(line)), 2) << line << " in\n" << text.toStdString();
    // Every face embedded, the fallback's too.
    const QStringList fonts = runTool("pdffonts", {pdf}).out.split('\n', Qt::SkipEmptyParts).mid(2);
    EXPECT_EQ(fonts.filter(QRegularExpression("\\byes\\s+(yes|no)\\s+(yes|no)\\s+\\d+")), fonts);
    EXPECT_FALSE(fonts.filter("DejaVuSans").isEmpty()) << fonts.join('\n').toStdString();
}

// An export that cannot be written says so, naming the file, and leaves nothing behind: no file
// under the name, no temporary file beside it.
TEST_F(ReportExportTest, AFailedExportLeavesNoFile)
{
    ASSERT_TRUE(program.opened);
    writeFileBytes(dir.filePath("occupato"), "un file, non una cartella");
    report.LoadFromTemplate(frReadTemplate(readFileBytes(kData + "/scuola.xml")));
    ASSERT_TRUE(report.PrepareReport());
    struct Case
    {
        const char *what;
        QString file;
        bool noPages;
    };
    const Case cases[] = {
        {"a missing folder", dir.filePath("manca/voti.pdf"), false},
        {"a file in place of the folder", dir.filePath("occupato/voti.pdf"), false},
        {"a folder nobody may write, not even the administrator", "/proc/voti.pdf", false},
        {"a report without pages", dir.filePath("vuoto.pdf"), true},
    };
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TfrPDFExportFilter filter;
        try {
            filter.Export(c.noPages ? TfrDisplayList() : report.Pages(), c.file);
            ADD_FAILURE() << "exported";
        } catch (const EVxException &e) {
            EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(c.file)))
                << e.message().toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(c.file));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }
}

// The chooser asks about the name typed; ".pdf" added after it closed names another file, which
// is replaced only when the office says so and otherwise stays byte for byte as it was.
TEST_F(ReportExportTest, TheAddedExtensionNeverReplacesAFileSilently)
{
    ASSERT_TRUE(program.opened);
    report.LoadFromTemplate(frReadTemplate(readFileBytes(kData + "/scuola.xml")));
    ASSERT_TRUE(report.PrepareReport());
    const QByteArray old = "il registro di ieri";
    struct Case
    {
        const char *what;
        const char *typed;
        bool exists;
        int answer; // to the question, when asked
        bool asked;
        bool exported;
    };
    const Case cases[] = {
        {"an existing file, kept", "registro", true, mrNo, true, false},
        {"an existing file, replaced", "registro", true, mrYes, true, true},
        {"a new file", "registro", false, mrNo, false, true},
        {"the chooser's own name", "registro.pdf", true, mrNo, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = dir.filePath("registro.pdf");
        QFile::remove(file);
        if (c.exists)
            writeFileBytes(file, old);
        ScriptedDialogs dialogs;
        DialogSeam::queueAnswer(dir.filePath(c.typed));
        DialogSeam::queueAnswer(c.answer);
        EXPECT_EQ(frExportPdfWithDialog(nullptr, report.Pages()), c.exported);

        const QString question = QStringLiteral("Il file \"%1\" esiste già. Sostituirlo?")
                                     .arg(QDir::toNativeSeparators(file));
        EXPECT_EQ(DialogSeam::shownTexts().contains(question), c.asked)
            << DialogSeam::shownTexts().join(" | ").toStdString();
        // A written file is named at the end: a whole school's cards take minutes.
        EXPECT_EQ(DialogSeam::shownTexts().contains(
                      "Esportazione terminata. Il file PDF è stato salvato in:\n" +
                      QDir::toNativeSeparators(file)),
                  c.exported);
        if (c.exported)
            EXPECT_TRUE(readFileBytes(file).startsWith("%PDF-"));
        else
            EXPECT_EQ(readFileBytes(file), old);
    }
}

// A register sealed as the volumes are: readable by anybody, nothing else without the owner
// password, in the weakest encryption every reader and print service opens.
TEST_F(ReportExportTest, AnEncryptedRegisterGrantsNothingButReading)
{
    ASSERT_TRUE(program.opened);
    const QString pdf = exported("registro", "Registro");
    TTuvPdf sealer;
    sealer.LoadFromFile(pdf);
    sealer.Encrypt("MORDELVA", "", 0, TTuvPdf::Permissions({}));
    sealer.SaveToFile(pdf);

    const ToolRun check = runTool("qpdf", {"--check", pdf});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();

    const ToolRun encryption = runTool("qpdf", {"--show-encryption", pdf});
    EXPECT_TRUE(
        encryption.out.contains(QRegularExpression("^R = 2$", QRegularExpression::MultilineOption)))
        << encryption.out.toStdString();
    int rights = 0;
    for (const QString &line : encryption.out.split('\n')) {
        if (line.endsWith("allowed")) {
            ++rights;
            EXPECT_TRUE(line.endsWith(": not allowed")) << line.toStdString();
        }
    }
    EXPECT_GE(rights, 8) << encryption.out.toStdString();

    // Opened with the empty user password.
    const ToolRun info = runTool("pdfinfo", {pdf});
    EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_TRUE(infoLine(info.out, "Encrypted").startsWith("yes")) << info.out.toStdString();
    EXPECT_EQ(infoLine(info.out, "Title"), "Registro");
    EXPECT_EQ(infoLine(info.out, "Pages").toInt(), 2);

    const ToolRun owner = runTool("pdftotext", {"-opw", "MORDELVA", pdf, "-"});
    EXPECT_EQ(owner.exitCode, 0) << owner.err.toStdString();
    EXPECT_TRUE(owner.out.contains("Registro generale dei voti")) << owner.out.toStdString();
}

// What is not a whole PDF is refused, naming the file, and stays exactly as it was.
TEST_F(ReportExportTest, EncryptingWhatIsNotAWholePdfLeavesItAsItWas)
{
    ASSERT_TRUE(program.opened);
    const QByteArray whole = readFileBytes(exported("scuola"));
    struct Case
    {
        const char *what;
        QByteArray bytes; // none: no file
        bool exists;
    };
    const Case cases[] = {
        {"a text", "Registro generale dei voti\n", true},
        {"an empty file", "", true},
        {"a PDF cut in half", whole.left(whole.size() / 2), true},
        {"a missing file", "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = dir.filePath("registro-da-cifrare.pdf");
        QFile::remove(file);
        if (c.exists)
            writeFileBytes(file, c.bytes);
        TTuvPdf sealer;
        try {
            sealer.LoadFromFile(file);
            sealer.Encrypt("MORDELVA", "", 0, TTuvPdf::Permissions({}));
            sealer.SaveToFile(file);
            ADD_FAILURE() << "encrypted";
        } catch (const EVxException &e) {
            EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(file)))
                << e.message().toStdString();
        }
        EXPECT_EQ(QFileInfo::exists(file), c.exists);
        EXPECT_EQ(readFileBytes(file), c.bytes);
    }
}

} // namespace
