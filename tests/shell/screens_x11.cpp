// Run by tests/makeup/run_under_xvfb.sh on a private X server of 1366x768, the screen of many
// offices: the main window as the program starts, with the class window's votes and
// judgments, the make-up windows with their legends and the volume management maximised in it,
// as the office sees them, and its command bar walked by keyboard, with the commands' last
// dialogs. The window system's own title is the program's name once. The screenshots go to
// $TAVRIN_SCREENSHOTS.

#include "exchange/qelaskpasswd.h"
#include "exchange/qelfldname.h"
#include "exchange/qelfpagelleweb.h"
#include "exports/qelfselcls.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfcarcls.h"
#include "gradeentry/qevfcarsave.h"
#include "gradeentry/qevfparvis.h"
#include "gradeentry/qevfqualiffield.h"
#include "gradeentry/qevfselcarcls.h"
#include "makeup/qelfrec.h"
#include "makeup/qelmakeupwindow.h"
#include "makeup/qelrdettrec.h"
#include "platform/attivazioni.h"
#include "platform/dateedit.h"
#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "platform/multiselect.h"
#include "platform/outlookbar.h"
#include "reportengine/reportpreview.h"
#include "reportengine/reporttree.h"
#include "reports/qetflegge183.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelpargen.h"
#include "shell/qelplaceholder.h"
#include "shell/qelreporttree.h"
#include "tests/makeup/x11support.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"
#include "tests/support/windowfaults.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>
#include <functional>

namespace {

// The next class selection chooses 5A of 2008/2009, final session.
void chooseFifthA()
{
    DialogSeam::queueModalScript([](QDialog *d) {
        auto *dialog = qobject_cast<TfmQevSelCarCls *>(d);
        return dialog && dialog->SelezionaClsSes(390052) ? int(mrOk) : int(mrCancel);
    });
}

// Whether the widget is shown whole: no ancestor up to `within` cuts it.
bool seenWhole(const QWidget *w, const QWidget *within)
{
    QRect seen(w->mapToGlobal(QPoint()), w->size());
    const QRect own = seen;
    const QWidget *p = w;
    for (; p && p != within; p = p->parentWidget())
        if (const QWidget *parent = p->parentWidget())
            seen &= QRect(parent->mapToGlobal(QPoint()), parent->size());
    return p && w->isVisible() && seen == own;
}

QString windowName(QWidget *window)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("getwindowname"), QString::number(window->winId())});
    xdotool.waitForFinished(10000);
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

class Screens : public RunningProgram
{
protected:
    void SetUp() override
    {
        prepareTavrinApplication();
        RunningProgram::SetUp();
        main = objects->mainWindow();
        main->ShowOnStartScreen();
        // No window manager maximises it here: the whole screen, as a maximised window has.
        main->setGeometry(main->screen()->geometry());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        main->ensureFirstActivation();
        QTest::qWait(200);
    }

    // Runs a command of the main window and waits for its window to show.
    QMdiSubWindow *run(TVxAttItem *command)
    {
        EXPECT_TRUE(RunCommandShowingErrors(command));
        QTest::qWait(300);
        return main->mdiArea()->activeSubWindow();
    }

    // The preview just opened, by keys alone: the zooms by their keys, Tab from the page through
    // every command (each framed as it has the keyboard) and back, the PDF by Ctrl+E.
    void previewByKeys(int page)
    {
        // A button pressed by its letter is released a moment later.
        TfrPreviewForm *preview = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([this, &preview] {
            QMdiSubWindow *sub = main->mdiArea()->activeSubWindow();
            return (preview = qobject_cast<TfrPreviewForm *>(sub ? sub->widget() : nullptr));
        }));
        for (const auto &[k, zoom] : {std::pair{Qt::Key_1, TfrZoom::WholePage},
                                      {Qt::Key_3, TfrZoom::Actual},
                                      {Qt::Key_2, TfrZoom::PageWidth}}) {
            key(k, Qt::ControlModifier);
            EXPECT_EQ(preview->View()->Zoom(), zoom) << k;
        }
        QStringList reached;
        for (int i = 0; i < 12 && (i == 0 || QApplication::focusWidget() != preview->View()); ++i) {
            key(Qt::Key_Tab);
            if (auto *b = qobject_cast<QToolButton *>(QApplication::focusWidget())) {
                reached << b->defaultAction()->objectName();
                EXPECT_TRUE(highlighted(b, QPoint(1, b->height() / 2)))
                    << reached.last().toStdString();
                if (reached.last() == QStringLiteral("acExportPdf"))
                    screenshot(main, QStringLiteral("walk_%1_anteprima.png").arg(page));
            }
        }
        // One page: the page walk's commands are disabled, Tab passes them.
        EXPECT_EQ(reached, QStringList({"acZoomPage", "acZoomWidth", "acZoom100", "acPrint",
                                        "acExportPdf"}));
        EXPECT_EQ(QApplication::focusWidget(), preview->View());
        const QString pdf = db.mainDir.path() + QStringLiteral("anteprima.pdf");
        DialogSeam::queueAnswer(pdf);
        key(Qt::Key_E, Qt::ControlModifier);
        EXPECT_TRUE(QFileInfo::exists(pdf));
    }

    ScriptedDialogs dialogs;
    TfmqelMain *main = nullptr;
};

} // namespace

TEST_F(Screens, TheOfficesWindowsAt1366x768)
{
    ASSERT_EQ(main->screen()->size(), QSize(1366, 768));
    EXPECT_EQ(windowName(main), QStringLiteral("Tavrin"));
    screenshot(main, QStringLiteral("screen_main.png"));
    // The reports' names, whole in the command bar.
    TVxOutlookBar *bar = main->mxOLBar();
    for (int page = 0; page < bar->PageCount(); ++page)
        if (bar->PageCaption(page) == QStringLiteral("Stampe"))
            bar->ActivatePage(page);
    QTest::qWait(200);
    screenshot(main, QStringLiteral("screen_stampe.png"));
    bar->ActivatePage(0);

    chooseFifthA();
    QMdiSubWindow *sub = run(dmqevActivations->xafCarCls);
    ASSERT_NE(sub, nullptr);
    sub->showMaximized();
    auto *classWindow = qobject_cast<TfmqevCarCls *>(sub->widget());
    ASSERT_NE(classWindow, nullptr);
    ASSERT_TRUE(classWindow->MostraPagina(QStringLiteral("Voti")));
    QTest::qWait(200);
    // Maximised, the child's title joins the program's, which stays once.
    EXPECT_EQ(windowName(main), QStringLiteral("Tavrin - [%1]").arg(sub->windowTitle()));
    screenshot(main, QStringLiteral("screen_class_votes.png"));
    ASSERT_TRUE(classWindow->MostraPagina(QStringLiteral("Giudizio")));
    QTest::qWait(200);
    screenshot(main, QStringLiteral("screen_class_judgments.png"));
    main->mdiArea()->closeAllSubWindows();

    // The make-up windows fit the area, as opened, at their narrowest and maximised, the
    // legend shown before or after: header, legend button and legend whole, texts whole.
    for (const char *command : {"xafRecupero", "xafEsitiRecuperi"})
        for (int first = 0; first < 3; first += 2) {
            SCOPED_TRACE(std::string(command) + std::to_string(first));
            chooseFifthA();
            sub = run(dmqelActivations->Item(QString::fromLatin1(command)));
            auto *makeup = qobject_cast<TfmQelMakeupClassWindow *>(sub->widget());
            ASSERT_NE(makeup, nullptr);
            for (int size = first; size < 3; ++size) {
                if (size == 1)
                    sub->resize(sub->minimumSizeHint());
                if (size == 2 || first == 2)
                    sub->showMaximized();
                if (size == first)
                    makeup->sbuLegenda()->click();
                QTest::qWait(200);
                for (QWidget *w :
                     QWidgetList{makeup->lblCLasse(), makeup->sbuLegenda(), makeup->pnlLegenda()})
                    EXPECT_TRUE(seenWhole(w, main->mdiArea()->viewport())) << size;
                if (const auto *rec = qobject_cast<TfmQelRec *>(makeup)) {
                    const TfrQelDettRec *panel = rec->frQelDettRec1();
                    EXPECT_GE(panel->buSave()->width(), panel->buSave()->sizeHint().width());
                    for (const QLineEdit *date :
                         {panel->deAssegna()->edit(), panel->deVerifica()->edit()})
                        EXPECT_GE(date->width(),
                                  date->fontMetrics().horizontalAdvance("gg/mm/aaaa") + 8);
                }
                if (size == 0)
                    screenshot(main, QStringLiteral("screen_%1_normale.png").arg(command + 3));
            }
            screenshot(main, QStringLiteral("screen_%1.png").arg(command + 3));
            main->mdiArea()->closeAllSubWindows();
        }

    const QString folder = db.mainDir.path() + QStringLiteral("USR/Dati/Registro/");
    writeFileBytes(folder + QStringLiteral("ABCD_RMIS00100A_08_12_2026_90507.kaf"), "PK");
    writeFileBytes(folder + QStringLiteral("ABCD_RMIS00100A_15_06_2027_174512.kaf"), "PK");
    sub = run(dmqelActivations->Item(QStringLiteral("xafVolumi")));
    ASSERT_NE(sub, nullptr);
    sub->showMaximized();
    QTest::qWait(200);
    screenshot(main, QStringLiteral("screen_gestionevolumi.png"));
    main->mdiArea()->closeAllSubWindows();
}

// A clerk without a mouse: F6 reaches the command bar, Page Down every page, Home and End each
// page's first and last entry, in sight, Return runs it; on "Stampe" the list takes the
// keyboard, Down chooses the next report and Alt+A ("Anteprima") previews it, worked by keys
// alone, a register asked from it says where registers are printed. On the way: the web collection
// with no folder set says where to set it, "Pagelle Web" ticks a class by Space, and every inner
// window closes by Ctrl+F4. Keys only.
TEST_F(Screens, EveryPageOfTheCommandBarByKeyboard)
{
    TVxOutlookBar *bar = main->mxOLBar();
    TVxRptTreeView *tree = qelReportTree(dmqelActivations);
    dmqelParGen->xpsDirWeb.SetValore(QString());
    focus(main, bar);
    const auto key = [](QWidget *w, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(w ? w : QApplication::focusWidget(), k, m);
        QTest::qWait(100);
    };
    // What an entry shows, beyond its window: the sentence told, or the pages it walks.
    const struct
    {
        const char *entry;
        std::function<void()> before;
        QString told;
    } entries[] = {
        {"Raccolta Tavrin-Web", nullptr,
         QStringLiteral("La cartella di lavoro di Tavrin-Web non è impostata.\n\nImpostarla da "
                        "\"Utilità e parametri - Parametri Invio docenti\" per proseguire.")},
        {"Pagelle Web",
         [this, &key] {
             DialogSeam::queueModalScript([this, &key](QDialog *d) {
                 auto *wizard = qobject_cast<TfmqelPagelleWeb *>(d);
                 EXPECT_NE(wizard, nullptr);
                 if (!wizard)
                     return int(mrCancel);
                 focus(wizard, wizard->focusWidget() ? wizard->focusWidget() : wizard);
                 key(nullptr, Qt::Key_Return); // "Avanti": the classes
                 EXPECT_EQ(QApplication::focusWidget(),
                           static_cast<QWidget *>(wizard->clbClassi()));
                 key(nullptr, Qt::Key_Space);
                 EXPECT_EQ(wizard->checkedClassSessions().size(), 1);
                 EXPECT_TRUE(wizard->buNext()->isEnabled());
                 screenshot(wizard, QStringLiteral("walk_pagelleweb_classi.png"));
                 return int(mrCancel);
             });
         },
         QString()},
    };
    int scrolled = 0; // pages scrolled to their last entry
    key(main, Qt::Key_F6);
    for (int page = 0; page < bar->PageCount(); ++page, key(nullptr, Qt::Key_PageDown)) {
        SCOPED_TRACE(bar->PageCaption(page).toStdString());
        ASSERT_EQ(bar->ActivePage(), page);
        const QStringList captions = bar->EntryCaptions(page);
        for (const Qt::Key k : {Qt::Key_Home, Qt::Key_End, Qt::Key_Down}) {
            if (captions.isEmpty() != (k == Qt::Key_Down))
                continue;
            key(nullptr, k);
            auto *focused = QApplication::focusWidget();
            EXPECT_TRUE(seenWhole(focused, bar));
            // A page taller than the bar scrolls to the entry with the keyboard: its place read
            // inside the page's view, which has scrolled for the last entry.
            for (QWidget *w = focused; w; w = w->parentWidget()) {
                auto *area = qobject_cast<QScrollArea *>(w);
                if (!area || area->verticalScrollBar()->maximum() == 0)
                    continue;
                const QRect place(focused->mapTo(area->viewport(), QPoint()), focused->size());
                EXPECT_TRUE(area->viewport()->rect().contains(place));
                EXPECT_EQ(area->verticalScrollBar()->value() > 0, k == Qt::Key_End);
                scrolled += k == Qt::Key_End;
                // Scrolled to its end, the page brings the entry that takes the keyboard into
                // sight: the first by F6 and when the page opens again, each next one by Tab.
                // Shift+Tab from the first goes round to the last entry, never to the page or
                // the bar around it, which would show no mark of the keyboard.
                if (k != Qt::Key_End)
                    break;
                const auto inSight = [area] {
                    QWidget *f = QApplication::focusWidget();
                    return area->isAncestorOf(f) &&
                           area->viewport()->rect().contains(
                               QRect(f->mapTo(area->viewport(), QPoint()), f->size()));
                };
                const bool last = page == bar->PageCount() - 1;
                for (const Qt::Key by : {Qt::Key_F6, last ? Qt::Key_PageUp : Qt::Key_PageDown,
                                         last ? Qt::Key_PageDown : Qt::Key_PageUp}) {
                    key(by == Qt::Key_F6 ? main : nullptr, by);
                    EXPECT_TRUE(bar->ActivePage() != page || inSight()) << by;
                }
                for (qsizetype tabs = 1; tabs < captions.size(); ++tabs) {
                    key(nullptr, Qt::Key_Tab);
                    EXPECT_TRUE(inSight()) << tabs;
                }
                key(nullptr, Qt::Key_Home);
                key(nullptr, Qt::Key_Backtab);
                EXPECT_TRUE(qobject_cast<QToolButton *>(QApplication::focusWidget()) && inSight());
                key(nullptr, Qt::Key_End);
                break;
            }
            const auto *button = qobject_cast<QToolButton *>(focused);
            if (button) {
                EXPECT_EQ(button->text(), k == Qt::Key_Home ? captions.first() : captions.last());
            } else { // entering the list chose "Brogliaccio invio", Down the next
                EXPECT_EQ(tree->SelectedReportId(), 16006);
            }
            if (k != Qt::Key_Home)
                screenshot(main, QStringLiteral("walk_%1.png").arg(page));
            const auto *entry =
                std::find_if(std::begin(entries), std::end(entries), [button](const auto &e) {
                    return button && button->text() == e.entry;
                });
            const bool told = entry != std::end(entries);
            if (told && entry->before)
                entry->before();
            DialogSeam::clearShown();
            // A report of the list by the letter of "Anteprima", an entry by Return.
            if (k == Qt::Key_Down)
                key(nullptr, Qt::Key_A, Qt::AltModifier);
            else
                key(nullptr, Qt::Key_Return);
            if (told && !entry->told.isEmpty())
                EXPECT_EQ(DialogSeam::shownTexts(), QStringList{entry->told});
            if (k == Qt::Key_Down)
                previewByKeys(page);
            // Back to the bar as the office goes: the command's windows closed as just opened,
            // by Ctrl+F4 or Ctrl+W, then F6.
            for (qsizetype open = main->mdiArea()->subWindowList().size(); open > 0; --open) {
                key(nullptr, page % 2 ? Qt::Key_F4 : Qt::Key_W, Qt::ControlModifier);
                EXPECT_EQ(main->mdiArea()->subWindowList().size(), open - 1);
            }
            // A window of its own that took the keyboard gives it back to the main window, as the
            // window manager does when it closes.
            if (QApplication::activeWindow() != main)
                focus(main, bar);
            key(main, Qt::Key_F6);
            if (k != Qt::Key_Down)
                continue;
            // A register of the list is printed by the wizard that makes its volumes: asked
            // for here, the list says so in one sentence and previews nothing.
            for (int down = 0; down < 80 && tree->SelectedReportId() != 16170; ++down)
                key(nullptr, Qt::Key_Down);
            ASSERT_EQ(tree->SelectedReportId(), 16170);
            DialogSeam::clearShown();
            key(nullptr, Qt::Key_Return);
            EXPECT_EQ(DialogSeam::shownTexts(),
                      QStringList{QStringLiteral("\"Registro A3 - Quadrimestri (3 componenti)\" è "
                                                 "un registro digitale: si stampa da \"Stampa "
                                                 "digitale - Stampa Digitale Registri\".")});
            EXPECT_TRUE(main->mdiArea()->subWindowList().isEmpty());
        }
    }
    EXPECT_GT(scrolled, 0); // at 1366x768 the longest pages do not fit
}

// Every window that a command of the bar opens, as it opens at 1366x768, the class chosen 5A,
// every other dialog answered "Annulla": no key claimed twice where the keyboard is, every text
// box left by Tab, every field's label with its letter, every label, button, header and list
// whole, every command in sight, on every page of the window.
TEST_F(Screens, EveryWindowWithItsKeysAndTextsWhole)
{
    int windows = 0;
    for (TVxAttItem *entry : dmqelActivations->AllEntries()) {
        if (!qobject_cast<TVxAttForm *>(entry))
            continue;
        SCOPED_TRACE(entry->objectName().toStdString());
        DialogSeam::setScripted(true); // what an earlier command left queued goes
        for (int dialog = 0; dialog < 3; ++dialog)
            DialogSeam::queueModalScript([&windows](QDialog *d) {
                d->show();
                QTest::qWait(30);
                EXPECT_EQ(windowFaults(d), QStringList()) << d->metaObject()->className();
                screenshot(d, QStringLiteral("dialog_%1.png").arg(d->metaObject()->className()));
                ++windows;
                auto *classes = qobject_cast<TfmQevSelCarCls *>(d);
                return classes && classes->SelezionaClsSes(390052) ? int(mrOk) : int(mrCancel);
            });
        RunCommandShowingErrors(entry);
        for (QMdiSubWindow *sub : main->mdiArea()->subWindowList()) {
            auto *pages = sub->widget()->findChild<QTabWidget *>();
            for (int i = 0; i < (pages ? pages->count() : 1); ++i) {
                if (pages && !pages->isTabVisible(i))
                    continue;
                if (pages)
                    pages->setCurrentIndex(i);
                QTest::qWait(30);
                EXPECT_EQ(windowFaults(main), QStringList()) << i;
            }
            ++windows;
        }
        main->mdiArea()->closeAllSubWindows();
    }
    EXPECT_GE(windows, 50);
}

// Every dialog of the program as it first shows, in the program as the office starts it: no key
// or letter two claims reach where the keyboard is (a letter given twice, a letter equal to a
// key), every field's label, check box, radio button and button with its letter. The registry's
// dialogs, those the windows make themselves, Qt's print dialog as the program sets it up.
TEST_F(Screens, EveryDialogWithItsLetters)
{
    QPrinter printer;
    std::vector<std::unique_ptr<QDialog>> dialogs;
    for (const QString &name : FormRegistry::registeredNames()) {
        std::unique_ptr<QWidget> w(FormRegistry::create(name));
        if (qobject_cast<QDialog *>(w.get()))
            dialogs.emplace_back(static_cast<QDialog *>(w.release()));
    }
    for (QDialog *dialog : QList<QDialog *>{
             new TfmqevCarSave, new TfmqevParVis, new TfmqevQualifField, new TfmAskPasswd,
             new TfmqelFldName, new TfmQelSelCls, new TfmQetLegge183, new TfmVxMultiSelect,
             new TfmqelNonDisponibile(QStringLiteral("TfmqelCfgSess")),
             VxNewPrintDialog(printer, nullptr, "Stampa", 3).release()})
        dialogs.emplace_back(dialog);
    int optionsShown = 0;
    for (const auto &dialog : dialogs) {
        SCOPED_TRACE(dialog->metaObject()->className());
        dialog->show();
        // Qt's print dialog with its options shown ("Stampa tutto", "Fascicola", ...).
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            if (b->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Opzioni"))) {
                b->click();
                ++optionsShown;
            }
        QTest::qWait(30);
        EXPECT_EQ(keyFaults(dialog.get()), QStringList());
        dialog->hide();
    }
    EXPECT_GE(dialogs.size(), 40u);
    EXPECT_EQ(optionsShown, 1); // the print options' letters were there to be checked
}
