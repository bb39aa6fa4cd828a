#include "platform/dialogs.h"
#include "platform/dialogseam.h"
#include "platform/directoryedit.h"
#include "platform/images.h"
#include "platform/keys.h"
#include "platform/mdimain.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "platform/wizard.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

// A dialog that refuses OK while its name is empty, as the suite's dialogs do by clearing
// the OK result.
class NameDialog : public TfmVxOkCancDlg
{
public:
    NameDialog()
    {
        edName = new QLineEdit(ClientArea());
        edName->setObjectName(QStringLiteral("edName"));
    }
    QLineEdit *edName;
    int refusals = 0;

protected:
    void OkClick() override
    {
        if (edName->text().trimmed().isEmpty()) {
            ++refusals;
            SetModalResult(mrNone);
        }
    }
};

TEST(Dialogs, OkClearedKeepsTheDialogOpenUntilValid)
{
    ScriptedDialogs scripted;
    NameDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Nome"));
    // First OK is refused (empty name); the script then types and presses OK again.
    DialogSeam::queueAnswer(mrOk);
    DialogSeam::queueModalScript([](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("edName"))->setText(QStringLiteral("Rossi"));
        d->findChild<QPushButton *>(QStringLiteral("buOk"))->click();
        return int(mrNone);
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(dialog.refusals, 1);
    EXPECT_EQ(dialog.edName->text(), QStringLiteral("Rossi"));
    ASSERT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_EQ(DialogSeam::shown()[0].kind, QStringLiteral("modal"));
    EXPECT_EQ(DialogSeam::shown()[0].text, QStringLiteral("Nome"));
}

// A dialog opens on its first field as the office reads it, framed, never on OK or "Annulla"
// (which join the tab order first); a field the dialog chose itself keeps the keyboard, and a
// dialog without fields never leaves it on "Annulla".
TEST(Dialogs, OpenOnTheirFirstField)
{
    const struct
    {
        const char *name;
        bool fields, chosen, okDisabled;
    } cases[] = {
        {"fields below the buttons in the chain", true, false, false},
        {"OK disabled: never on Annulla", true, false, true},
        {"a field chosen before showing", true, true, false},
        {"no field", false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TfmVxOkCancDlg dialog;
        auto *layout = new QVBoxLayout(dialog.ClientArea());
        QLineEdit *lower = nullptr;
        QComboBox *upper = nullptr;
        if (c.fields) {
            // Made in the reverse of their places: the tab order is not the reading order.
            lower = new QLineEdit;
            upper = new QComboBox;
            layout->addWidget(upper);
            layout->addWidget(lower);
        }
        if (c.chosen)
            lower->setFocus();
        dialog.buOk()->setEnabled(!c.okDisabled);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        if (!c.fields)
            EXPECT_NE(dialog.focusWidget(), dialog.buCancel());
        else
            EXPECT_EQ(dialog.focusWidget(), c.chosen ? static_cast<QWidget *>(lower) : upper);
        // Framed as after a Tab, before the first key.
        EXPECT_EQ(dialog.testAttribute(Qt::WA_KeyboardFocusChange), c.fields && !c.chosen);
    }
}

// A dialog's letters as first shown: every button gets one of its own, never the letter of a
// command's Alt key; the clash check tells a letter given twice and a letter equal to a key.
TEST(Dialogs, ButtonsTakeLettersNoKeyOrOtherLetterHas)
{
    const struct
    {
        const char *name;
        QStringList buttons; // a letter chosen in the code stays
        QKeyCombination key; // a command's, none when empty
        QStringList shown;
        QString clash; // the first told, at its start
    } cases[] = {
        {"each its initial", {"Salva", "Non salvare"}, {}, {"&Salva", "&Non salvare"}, {}},
        {"a key's letter skipped", {"Salva"}, Qt::ALT | Qt::Key_S, {"S&alva"}, {}},
        {"a letter twice", {"&Salva", "&Stampa"}, {}, {}, "Alt+S: &Salva (bu0), &Stampa (bu1)"},
        {"a letter equal to a key",
         {"&Salva"},
         Qt::ALT | Qt::Key_S,
         {},
         "Alt+S: &Salva (bu0), acKey"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TfmVxDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        QList<QPushButton *> buttons;
        for (const QString &text : c.buttons) {
            buttons << new QPushButton(text);
            buttons.last()->setObjectName(QStringLiteral("bu%1").arg(buttons.size() - 1));
            layout->addWidget(buttons.last());
        }
        if (c.key != QKeyCombination()) {
            auto *action = new QAction(&dialog);
            action->setObjectName(QStringLiteral("acKey"));
            VxSetShortcut(&dialog, action, QKeySequence(c.key));
        }
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        for (qsizetype i = 0; i < c.shown.size(); ++i)
            EXPECT_EQ(buttons.at(i)->text(), c.shown.at(i));
        const QStringList clashes = VxKeyClashes(&dialog);
        EXPECT_EQ(clashes.isEmpty(), c.clash.isEmpty()) << clashes.join('\n').toStdString();
        EXPECT_TRUE(clashes.value(0).startsWith(c.clash)) << clashes.value(0).toStdString();
    }
}

TEST(Dialogs, CancelAndNoAnswerGiveCancel)
{
    ScriptedDialogs scripted;
    NameDialog dialog;
    DialogSeam::queueModalScript([](QDialog *d) {
        d->findChild<QPushButton *>(QStringLiteral("buCancel"))->click();
        return int(mrNone);
    });
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    // Refused OK with nothing more queued: the dialog ends cancelled, never hangs.
    DialogSeam::queueAnswer(mrOk);
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
}

TEST(Dialogs, AutoDestroyFreesAfterTheModalRun)
{
    ScriptedDialogs scripted;
    QPointer<TfmVxOkCancDlg> dialog = new TfmVxOkCancDlg;
    dialog->SetAutoDestroy(true);
    DialogSeam::queueAnswer(mrOk);
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
}

class ApplyDialog : public TfmVxOkCancApplyDlg
{
public:
    bool accept = false;
    int applied = 0;

protected:
    bool Apply() override
    {
        ++applied;
        return accept;
    }
};

TEST(Dialogs, ApplyFailureKeepsOkDialogOpen)
{
    ScriptedDialogs scripted;
    ApplyDialog dialog;
    DialogSeam::queueAnswer(mrOk);
    DialogSeam::queueModalScript([&dialog](QDialog *) {
        dialog.accept = true;
        return int(mrOk);
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(dialog.applied, 2);
}

TEST(Dialogs, OutcomeZeroFromAButtonEndsTheScriptedRun)
{
    // A save question whose buttons give 0 save, 1 do not save, 2 stay, as the grade-entry
    // windows' save dialog does.
    ScriptedDialogs scripted;
    TfmVxOkCancDlg dialog;
    auto *save = new QPushButton(QStringLiteral("Salva"), dialog.ClientArea());
    save->setObjectName(QStringLiteral("buSave"));
    QObject::connect(save, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(0); });
    DialogSeam::queueModalScript([](QDialog *d) {
        d->findChild<QPushButton *>(QStringLiteral("buSave"))->click();
        return int(mrNone);
    });
    DialogSeam::queueAnswer(mrOk); // must stay queued: the dialog already ended
    EXPECT_EQ(dialog.ShowModal(), 0);
    EXPECT_TRUE(DialogSeam::hasAnswer());
}

TEST(DialogSeamChoosers, RecordCaptionsAndReturnQueuedPaths)
{
    ScriptedDialogs scripted;
    DialogSeam::queueAnswer(QStringLiteral("/tmp/in.zip"));
    DialogSeam::queueAnswer(QString());
    EXPECT_EQ(VxOpenFileName(nullptr, QStringLiteral("Apri archivio")),
              QStringLiteral("/tmp/in.zip"));
    EXPECT_TRUE(VxSelectDirectory(nullptr, QStringLiteral("Cartella di invio")).isEmpty());
    EXPECT_TRUE(VxSaveFileName(nullptr, QStringLiteral("Salva")).isEmpty());
    const QList<DialogSeam::Shown> shown = DialogSeam::shown();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0].kind, QStringLiteral("open-file"));
    EXPECT_EQ(shown[1].kind, QStringLiteral("folder"));
    EXPECT_EQ(shown[1].text, QStringLiteral("Cartella di invio"));
    EXPECT_EQ(shown[2].kind, QStringLiteral("save-file"));
}

// The folder field's button: a chosen folder replaces the text, a cancelled chooser keeps it.
TEST(DialogSeamChoosers, DirectoryEditTakesTheChosenFolderOnly)
{
    ScriptedDialogs scripted;
    TVxDirectoryEdit edit(QStringLiteral("Percorso USB"));
    edit.SetText(QStringLiteral("E:\\Tavrin\\"));
    DialogSeam::queueAnswer(QString());
    DialogSeam::queueAnswer(QStringLiteral("/media/usb"));
    edit.browseButton()->click();
    EXPECT_EQ(edit.Text(), QStringLiteral("E:\\Tavrin\\"));
    edit.browseButton()->click();
    EXPECT_EQ(edit.Text(), QStringLiteral("/media/usb"));
    EXPECT_EQ(DialogSeam::shownTexts(),
              (QStringList{QStringLiteral("Percorso USB"), QStringLiteral("Percorso USB")}));
}

TEST(DialogSeamChoosers, FontAndColourTakeTheQueuedValueOrCancel)
{
    ScriptedDialogs scripted;
    const QFont courier(QStringLiteral("Courier"), 12);
    DialogSeam::queueAnswer(courier);
    DialogSeam::queueAnswer(QStringLiteral("#ff8080"));
    DialogSeam::queueAnswer(QString());
    EXPECT_EQ(VxChooseFont(nullptr, QFont(), QStringLiteral("Carattere")), courier);
    EXPECT_EQ(VxChooseColor(nullptr, Qt::black), QColor(255, 128, 128));
    EXPECT_FALSE(VxChooseColor(nullptr, Qt::black).has_value());
    EXPECT_FALSE(VxChooseFont(nullptr, courier).has_value());
    QStringList kinds;
    for (const DialogSeam::Shown &s : DialogSeam::shown())
        kinds << s.kind;
    EXPECT_EQ(kinds, (QStringList{"font", "color", "color", "font"}));
}

TEST(Wizard, NamedPathsChooseThePagesWalked)
{
    TfmVxWizard wizard;
    // Page 1 holds a list under its tools: reached, the list takes the keyboard, so that Space
    // ticks its first item rather than pressing a button.
    auto *list = new QListWidget;
    for (int i = 0; i < 6; ++i) {
        auto *page = new QWidget;
        auto *layout = new QVBoxLayout(page);
        layout->addWidget(new QLabel(QStringLiteral("Pagina %1").arg(i)));
        if (i == 1) {
            auto *tools = new QToolBar;
            tools->addAction(QStringLiteral("Seleziona tutto"));
            layout->addWidget(tools);
            layout->addWidget(list);
        }
        page->setWindowTitle(QStringLiteral("Passo %1").arg(i));
        wizard.AddPage(page);
    }
    wizard.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
    wizard.AddPath(QStringLiteral("breve"), QStringLiteral("0;1;5"));
    wizard.AddPath(QStringLiteral("lungo"), QStringLiteral("0;2;3;4;5"));
    ASSERT_TRUE(wizard.SetActivePath(QStringLiteral("breve")));
    EXPECT_EQ(wizard.PathPages(), (QList<int>{0, 1, 5}));
    EXPECT_EQ(wizard.CurrentPage(), 0);
    EXPECT_FALSE(wizard.buBack()->isEnabled());
    EXPECT_FALSE(wizard.buFinish()->isEnabled());
    wizard.buNext()->click();
    EXPECT_EQ(wizard.CurrentPage(), 1);
    EXPECT_EQ(wizard.focusWidget(), list);
    wizard.buNext()->click();
    EXPECT_EQ(wizard.CurrentPage(), 5);
    EXPECT_EQ(wizard.focusWidget(), wizard.buFinish()); // a page without fields
    EXPECT_TRUE(wizard.IsLastPage());
    EXPECT_FALSE(wizard.buNext()->isEnabled());
    EXPECT_TRUE(wizard.buFinish()->isEnabled());
    EXPECT_FALSE(wizard.Next());
    wizard.buBack()->click();
    EXPECT_EQ(wizard.CurrentPage(), 1);
    // Page 1 is not on the long road: switching restarts at its first page.
    ASSERT_TRUE(wizard.SetActivePath(QStringLiteral("lungo")));
    EXPECT_EQ(wizard.CurrentPage(), 0);
    EXPECT_FALSE(wizard.SetActivePath(QStringLiteral("inesistente")));
    EXPECT_EQ(wizard.ActivePath(), QStringLiteral("lungo"));
}

class CountingWizard : public TfmVxWizard
{
public:
    int finishes = 0;
    bool succeed = false;

protected:
    bool Finish() override
    {
        ++finishes;
        return succeed;
    }
};

TEST(Wizard, FinishesOnlyOnTheLastPageWhenItsWorkSucceeds)
{
    ScriptedDialogs scripted;
    CountingWizard wizard;
    wizard.AddPage(new QLabel(QStringLiteral("Classi")));
    wizard.AddPage(new QLabel(QStringLiteral("Supporto")));
    DialogSeam::queueAnswer(mrOk); // not on the last page: refused without trying
    DialogSeam::queueModalScript([&wizard](QDialog *) {
        wizard.buNext()->click();
        wizard.buFinish()->click(); // the work fails: the wizard stays
        wizard.succeed = true;
        wizard.buFinish()->click();
        return int(mrNone);
    });
    EXPECT_EQ(wizard.ShowModal(), mrOk);
    EXPECT_EQ(wizard.finishes, 2);
}

TEST(WaitWindow, CancelFlagStopsTheWorkingLoop)
{
    ScriptedDialogs scripted;
    int done = 0;
    {
        TfmVxWait wait(nullptr, true);
        EXPECT_EQ(fmVxWait.data(), &wait);
        wait.SetTitle(QStringLiteral("Invio dati"));
        wait.SetOperation(QStringLiteral("Classe 1A"));
        wait.InitProgressBar(0, 1 << 30);
        wait.ShowWait();
        EXPECT_FALSE(wait.isVisible());
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // A loop stepping every few microseconds: the bar counts every step, the window's
        // events run about every twentieth of a second. The user presses "Annulla": the click
        // arrives as a pending event, which the next of those lets through.
        int looks = 0;
        QTimer looked;
        QObject::connect(&looked, &QTimer::timeout, [&looks] { ++looks; });
        looked.start(0);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 200) {
            ++done;
            wait.StepProgressBar(1);
        }
        EXPECT_LT(looks, 20);
        EXPECT_LT(looks, done / 10);
        QTimer::singleShot(0, wait.buAnnulla(), &QPushButton::click);
        clock.start();
        while (!wait.Cancelled() && clock.elapsed() < 5000) {
            ++done;
            wait.StepProgressBar(1);
        }
        EXPECT_TRUE(wait.Cancelled());
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(wait.Position(), done);
        // Closed before it is freed: the cursor comes back once, the counts stay.
        wait.CloseWait();
        wait.CloseWait();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(wait.Position(), done);
    }
    EXPECT_TRUE(fmVxWait.isNull());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // A short piece of work without a window: the cursor comes back when it throws.
    try {
        TVxHourglass hourglass;
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        throw EVxException(QStringLiteral("interrotto"));
    } catch (const EVxException &) {
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(Images, EveryNameInUseHasItsOwnImage)
{
    const QStringList names = {
        // Command images of the main window, in their index order.
        "CARPERCLS", "DATIANAGRAFICI", "CARPERMAT", "INVIO", "RACCOLTA", "EXPSCR", "IMPSCR",
        "SESSIONICFG", "SESSIONICLASSI", "SESSIONI", "COMPONENTIVOTO", "SCLCOMP", "LIVELLI",
        "LIVELLIPROPOSTI", "SCLLIVPRP", "CREBND", "CREENC", "CREFRM", "CRESCO", "DEBESI", "DEBTIP",
        "PARAMETRI", "FIRME", "BROGLIACCIO INVIO", "BROGLIACCIO RACCOLTA", "EXPORTDATI",
        "PAGELLAWEB", "RICERCA", "SCALE_VOTI_APERTI", "TAVRIN_WEB_INVIO", "TAVRIN_WEB_PASSWD",
        "TAVRIN_WEB_RACCOLTA", "TRADUZIONI", "PARAMETRI_CONNESSIONE",
        // Grade frames, grade windows, pick dialog, selection tools, teacher tree.
        "CARSAVE", "CARSELDATO", "CARSELCOL", "CARIMPPAR", "CARVTPVOT", "CARSUMCRE", "CARTOTCRE",
        "CARDEBDEFAULT", "STORICOHTML", "VXDELETE", "RPTTEMPLATE", "ROWUP", "ROWDOWN", "NEXTSIT",
        "PREVSIT", "PREVCELL", "NEXTCELL", "SELECTALL", "DESELECTALL", "INVERTISELECT",
        "EXPANDNODE", "COLLAPSENODE", "EXPANDALL", "COLLAPSEALL", "REFRTREE", "PALLINOROSSO",
        "PALLINO", "PALLINOGRIGIO"};
    for (const QString &name : names) {
        EXPECT_TRUE(hasVxImage(name)) << name.toStdString();
        EXPECT_FALSE(VxImage(name).pixmap(32, 32).isNull()) << name.toStdString();
    }
    for (const QString &name : mainWindowExtraImageNames())
        EXPECT_TRUE(hasVxImage(name)) << name.toStdString();
    EXPECT_EQ(mainWindowExtraImageNames().size(), 27);
    EXPECT_TRUE(hasVxImage(QStringLiteral("selectall")));
    EXPECT_FALSE(hasVxImage(QStringLiteral("NONESISTE")));
    EXPECT_FALSE(VxImage(QStringLiteral("NONESISTE")).isNull());

    // The main window's list: 26 default names, 8 more, then its own images from 34.
    TVxImageList list(32);
    LoadDefaultImages(list, names.mid(0, 26), itLarge);
    LoadImages(list, QString(), names.mid(26, 8), itLarge);
    TVxImageList last(32);
    LoadDefaultImages(last, mainWindowExtraImageNames(), itLarge);
    list.addImages(last);
    EXPECT_EQ(list.count(), 61);
    EXPECT_EQ(list.name(34), QStringLiteral("INVIOPST"));
    EXPECT_EQ(list.indexOf(QStringLiteral("brogliaccio_invio")), 23);
    EXPECT_TRUE(list.icon(61).isNull());
}

// Ctrl+F4 and Ctrl+W close the active inner window from the moment it opens, "Finestre" never
// opened; "Finestre" offers it as "Chiudi" with its key, disabled while no window is open, and
// "Ingrandisci" while the window is not maximised yet. A second command on Ctrl+W is told.
TEST(MainWindow, CtrlF4AndCtrlWCloseTheActiveInnerWindow)
{
    TfmVxMDIMain main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    for (int i = 0; i < 2; ++i)
        main.mdiArea()->addSubWindow(new QLineEdit)->show();
    EXPECT_EQ(VxKeyClashes(&main), QStringList());
    auto *other = new QAction(main.mdiArea()->activeSubWindow()->widget());
    other->setObjectName(QStringLiteral("acAltro"));
    VxSetShortcut(main.mdiArea()->activeSubWindow()->widget(), other,
                  QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_EQ(VxKeyClashes(&main), QStringList{"Ctrl+W: acAltro, acClose (keyboard in QLineEdit)"});
    delete other;
    emit main.miWindow()->aboutToShow();
    EXPECT_TRUE(main.miWindow()->actions().contains(main.acClose()));
    EXPECT_EQ(main.acClose()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F4));
    // "Ingrandisci" maximises the active one, as its own button would.
    const auto maximize = [&main] {
        return main.miWindow()->findChild<QAction *>(QStringLiteral("acMaximize"));
    };
    maximize()->trigger();
    EXPECT_TRUE(main.mdiArea()->activeSubWindow()->isMaximized());
    emit main.miWindow()->aboutToShow();
    EXPECT_FALSE(maximize()->isEnabled());
    for (const Qt::Key key : {Qt::Key_W, Qt::Key_F4}) {
        EXPECT_TRUE(main.acClose()->isEnabled());
        main.mdiArea()->activeSubWindow()->widget()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(main.mdiArea()->subWindowList().size(), key == Qt::Key_W ? 1 : 0);
    }
    EXPECT_FALSE(main.acClose()->isEnabled());
}

TEST(MainWindow, PanelsTakeTheirTextsFromTheCallback)
{
    TfmVxMDIMain main;
    EXPECT_EQ(main.AddPanel(300), 1);
    EXPECT_EQ(main.AddPanel(200), 2);
    EXPECT_EQ(main.AddPanel(100), 3);
    main.SetPanelText(3, QStringLiteral("invariato"));
    QString session;
    main.SetPanelTextCallback([&session](int panel, QString &text) {
        if (panel == 1)
            text = QStringLiteral(" Istituto: 1");
        else if (panel == 2)
            text = QStringLiteral(" Sessione: ") + session;
    });
    main.RefreshPanels();
    EXPECT_EQ(main.PanelText(1), QStringLiteral(" Istituto: 1"));
    EXPECT_EQ(main.PanelText(2), QStringLiteral(" Sessione: "));
    EXPECT_EQ(main.PanelText(3), QStringLiteral("invariato"));
    session = QStringLiteral("Finale");
    main.RefreshPanels();
    EXPECT_EQ(main.PanelText(2), QStringLiteral(" Sessione: Finale"));
}

} // namespace
