// The preview window of a demo-school report stored in the template store: its pages, zooms,
// printing and export through the dialog seam, with screenshots of the window.
#include "reportengine/reportmodule.h"
#include "reportengine/reportpreview.h"
#include "reportengine/reportstore.h"
#include "tests/reportengine/reportschool.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";
constexpr int kStored = 3000100;

int pdfPages(const QString &pdf)
{
    QProcess info;
    info.start("pdfinfo", {pdf});
    info.waitForFinished();
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression("^Pages:\\s*(\\d+)", QRegularExpression::MultilineOption).match(out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class ReportPreviewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program.opened);
        TfrReportStore().Save({kStored, "Voti per classe", std::nullopt, "QEL"},
                              readFileBytes(kData + "/scuola.xml"));
    }

    TfrPreviewForm *open()
    {
        ScriptedDialogs dialogs; // the votes cut to fit their cells are told before the window
        TfrPreviewForm *preview = rpt.PreviewReportFromVxDB(kStored, 4);
        EXPECT_TRUE(DialogSeam::shownTexts().value(0).startsWith(
            "Nel report \"Voti per classe\" alcuni testi non sono stampati per intero"));
        if (preview) {
            preview->showNormal();
            preview->resize(1100, 760);
            QCoreApplication::processEvents();
        }
        return preview;
    }

    template <typename T> T *child(QWidget *w, const char *name)
    {
        T *found = w->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    ProgramDatabase program;
    SchoolReportModule school;
    TdmVxRptFR rpt;
    QTemporaryDir dir;
};

// The window opens on page 1 of 2 and moves by its actions and its page box; the zooms fit the
// page, its width, or draw it at its size on the screen.
TEST_F(ReportPreviewTest, PagesAndZooms)
{
    std::unique_ptr<TfrPreviewForm> preview(open());
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->windowTitle(), "Anteprima - Voti per classe");
    EXPECT_EQ(child<QLabel>(preview.get(), "laPageCount")->text().trimmed(), "di 2");
    auto *page = child<QSpinBox>(preview.get(), "sePage");
    TfrPreviewView *view = preview->View();
    const auto action = [&](const char *name) { return child<QAction>(preview.get(), name); };

    struct Step
    {
        const char *what;
        std::function<void()> act;
        int page; // expected, from 0
    };
    const Step steps[] = {
        {"opened", [] {}, 0},
        {"next", [&] { action("acNext")->trigger(); }, 1},
        {"next past the last", [&] { action("acNext")->trigger(); }, 1},
        {"first", [&] { action("acFirst")->trigger(); }, 0},
        {"prior before the first", [&] { action("acPrior")->trigger(); }, 0},
        {"typed in the page box", [&] { page->setValue(2); }, 1},
        {"last", [&] { action("acLast")->trigger(); }, 1},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(view->PageIndex(), s.page);
        EXPECT_EQ(page->value(), s.page + 1);
        EXPECT_EQ(action("acFirst")->isEnabled(), s.page > 0);
        EXPECT_EQ(action("acNext")->isEnabled(), s.page < 1);
    }

    action("acFirst")->trigger();
    const QSize room = view->viewport()->size();
    action("acZoomPage")->trigger();
    QSizeF shown = view->PageImage().deviceIndependentSize();
    EXPECT_LE(shown.width(), room.width());
    EXPECT_LE(shown.height(), room.height());
    EXPECT_GE(std::max(shown.width() / room.width(), shown.height() / room.height()), 0.9);
    saveScreenshot(preview.get(), "anteprima-pagina-intera.png");

    action("acZoom100")->trigger();
    EXPECT_DOUBLE_EQ(view->Scale(), view->logicalDpiX() / 25.4);
    EXPECT_NEAR(view->PageImage().deviceIndependentSize().width(), 297 * view->logicalDpiX() / 25.4,
                1);

    action("acZoomWidth")->trigger();
    shown = view->PageImage().deviceIndependentSize();
    EXPECT_NEAR(shown.width(), view->viewport()->width() - 24, 1);
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0); // the rest of the page is scrolled to
    saveScreenshot(preview.get(), "anteprima-larghezza-pagina.png");
    action("acNext")->trigger();
    saveScreenshot(preview.get(), "anteprima-pagina-2.png");
}

// Printing and the PDF of the preview go through the dialog seam: a chosen range prints that
// range, a cancelled dialog prints nothing, a PDF named without extension gets one.
TEST_F(ReportPreviewTest, PrintAndExportFromThePreview)
{
    std::unique_ptr<TfrPreviewForm> preview(open());
    ASSERT_TRUE(preview);
    ScriptedDialogs dialogs;
    struct Case
    {
        const char *what;
        const char *action;
        QVariant answer; // none: cancelled
        QString file;    // what comes out
        int pages;       // 0: nothing written
        const char *shown;
    };
    const QString printed = dir.filePath("stampa.pdf");
    const QString exported = dir.filePath("voti");
    const Case cases[] = {
        {"print cancelled", "acPrint", QVariant(), printed, 0, "Stampa - Voti per classe"},
        {"print of page 2", "acPrint", QVariantMap{{"file", printed}, {"from", 2}, {"to", 2}},
         printed, 1, "Stampa - Voti per classe"},
        {"every page printed", "acPrint", printed, printed, 2, "Stampa - Voti per classe"},
        {"PDF cancelled", "acExportPdf", QVariant(), exported + ".pdf", 0, "Esporta PDF"},
        {"PDF", "acExportPdf", exported, exported + ".pdf", 2, "Esporta PDF"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(c.file);
        DialogSeam::clearShown();
        if (c.answer.isValid())
            DialogSeam::queueAnswer(c.answer);
        child<QAction>(preview.get(), c.action)->trigger();
        EXPECT_EQ(DialogSeam::shownTexts().value(0), c.shown); // the PDF then says where
        EXPECT_EQ(QFileInfo::exists(c.file), c.pages > 0);
        if (c.pages > 0) {
            EXPECT_EQ(pdfPages(c.file), c.pages);
        }
    }
}

// A report whose data are empty opens no window and says why; one that prints a text with a
// character no installed font has says which before its window opens.
TEST_F(ReportPreviewTest, AReportWithoutPagesOrWithTextsNotWholeSaysSo)
{
    struct Case
    {
        const char *what;
        int session;
        QByteArray column; // the class's column of the template: "中" no font has
        bool window;
        QString says;
    };
    const Case cases[] = {
        {"a character no font has", 392, "Classe \u4E2D", true,
         "Nel report \"Voti per classe\" alcuni testi non sono stampati per intero (non entrano "
         "nel loro spazio, o nessun carattere installato può stampare le loro lettere):\n\nClassi "
         "Classe «Classe \u4E2D 5A»: nessun carattere installato può stampare «\u4E2D»"},
        {"no data", -1, "Classe", false,
         "Il report \"Voti per classe\" non ha pagine: non ci sono dati da stampare."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TfrReportStore().Save(
            {kStored, "Voti per classe", std::nullopt, "QEL"},
            readFileBytes(kData + "/scuola.xml").replace(">Classe [", ">" + c.column + " ["));
        school.clsSes->Close();
        school.clsSes->ParamByName("iAnsSesDwgId").setValue(c.session);
        ScriptedDialogs dialogs;
        const std::unique_ptr<TfrPreviewForm> preview(rpt.PreviewReportFromVxDB(kStored, 4));
        EXPECT_EQ(preview != nullptr, c.window);
        EXPECT_EQ(DialogSeam::shownTexts().value(0).left(c.says.size()), c.says);
    }
}

} // namespace
