#include "platform/attivazioni.h"
#include "platform/dialogs.h"
#include "platform/dialogseam.h"
#include "platform/formregistry.h"
#include "platform/images.h"
#include "platform/mdimain.h"
#include "platform/messagedlg.h"
#include "platform/outlookbar.h"
#include "platform/vxexception.h"

#include <QApplication>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class TfmTestChild : public QWidget
{
public:
    using QWidget::QWidget;
};

class TfmTestModal : public TfmVxOkCancDlg
{
public:
    using TfmVxOkCancDlg::TfmVxOkCancDlg;
    int mode = -1;
};

struct CommandTableTest : ::testing::Test
{
    void SetUp() override
    {
        FormRegistry::registerClass(QStringLiteral("TfmTestChild"),
                                    [](QWidget *p) { return new TfmTestChild(p); });
        FormRegistry::registerClass(QStringLiteral("TfmTestModal"),
                                    [](QWidget *p) { return new TfmTestModal(p); });
    }
    void TearDown() override
    {
        for (QWidget *w : FormRegistry::instances(QStringLiteral("TfmTestChild")))
            delete w;
    }

    // Every handler of an entry appends its step, so the order is visible.
    void trace(TVxAttItem *item, QStringList &log, bool allow = true)
    {
        const QString name = item->objectName();
        item->BeforeExecute = [&log, name, allow](TVxAttItem *, bool &allowed) {
            log << name + QStringLiteral(":before");
            allowed = allow;
        };
        item->AfterExecute = [&log, name](TVxAttItem *) { log << name + QStringLiteral(":after"); };
        if (auto *form = qobject_cast<TVxAttForm *>(item)) {
            form->OnInizializedForm = [&log, name](TVxAttItem *, QWidget *w) {
                log << name + QStringLiteral(":init:") + FormRegistry::classOf(w);
            };
        }
    }

    ScriptedDialogs scripted;
    TdmVxAttivazioni table;
};

TEST_F(CommandTableTest, EveryKindRunsItsEventsInOrder)
{
    TVxApgPage *page = table.AddPage(QStringLiteral("xpgVal"), QStringLiteral("Gestione"), 0);
    QStringList log;
    table.AddForm(QStringLiteral("xafChild"), QStringLiteral("Figlia"),
                  QStringLiteral("tfmtestCHILD"), page, 10, 0);
    table.AddForm(QStringLiteral("xafModal"), QStringLiteral("Modale"),
                  QStringLiteral("TfmTestModal"), page, 20, 1, true);
    TVxAttComponent *component =
        table.AddComponent(QStringLiteral("xacComp"), QStringLiteral("Componente"), page, 30, 2);
    component->OnExecute = [&log](TVxAttItem *) { log << QStringLiteral("xacComp:execute"); };
    TVxAttShell *shell =
        table.AddShell(QStringLiteral("xasTrue"), QStringLiteral("Programma"), nullptr, 40, 3);
    shell->Directory = QStringLiteral("/bin/");
    shell->FileName = QStringLiteral("true");
    TVxAttReport *report =
        table.AddReport(QStringLiteral("xarRep"), QStringLiteral("Stampe"), page, 50, 4);
    report->OnShowReports = [&log](TVxAttReport *) { log << QStringLiteral("xarRep:show"); };
    for (TVxAttItem *item : table.AllEntries())
        trace(item, log);

    // The modal form is answered by a script that sees the live, initialised dialog.
    DialogSeam::queueModalScript([](QDialog *d) {
        EXPECT_EQ(FormRegistry::classOf(d), QStringLiteral("TfmTestModal"));
        return int(mrOk);
    });
    for (TVxAttItem *item : table.AllEntries())
        EXPECT_TRUE(item->Execute()) << item->objectName().toStdString();

    EXPECT_EQ(log,
              (QStringList{"xafChild:before", "xafChild:init:TfmTestChild", "xafChild:after",
                           "xafModal:before", "xafModal:init:TfmTestModal", "xafModal:after",
                           "xacComp:before", "xacComp:execute", "xacComp:after", "xasTrue:before",
                           "xasTrue:after", "xarRep:before", "xarRep:show", "xarRep:after"}));
    EXPECT_EQ(FormRegistry::instances(QStringLiteral("TfmTestChild")).size(), 1);
    // The modal dialog was freed after its run.
    EXPECT_TRUE(FormRegistry::instances(QStringLiteral("TfmTestModal")).isEmpty());
    ASSERT_FALSE(DialogSeam::shown().isEmpty());
    EXPECT_EQ(DialogSeam::shown().last().kind, QStringLiteral("modal"));
}

TEST_F(CommandTableTest, RefusalStopsBeforeTheActionAndAfterExecute)
{
    QStringList log;
    TVxAttForm *child = table.AddForm(QStringLiteral("xafChild"), QStringLiteral("Figlia"),
                                      QStringLiteral("TfmTestChild"), nullptr, 0, 0);
    TVxAttComponent *component =
        table.AddComponent(QStringLiteral("xacComp"), QStringLiteral("C"), nullptr, 0, 0);
    component->OnExecute = [&log](TVxAttItem *) { log << QStringLiteral("executed"); };
    trace(child, log, false);
    trace(component, log, false);
    EXPECT_FALSE(child->Execute());
    EXPECT_FALSE(component->Execute());
    EXPECT_EQ(log, (QStringList{"xafChild:before", "xacComp:before"}));
    EXPECT_TRUE(FormRegistry::instances(QStringLiteral("TfmTestChild")).isEmpty());
}

TEST_F(CommandTableTest, SingleInstanceFormIsBroughtForwardNotCreatedAgain)
{
    TVxAttForm *child = table.AddForm(QStringLiteral("xafChild"), QStringLiteral("Figlia"),
                                      QStringLiteral("TFMTESTCHILD"), nullptr, 0, 0);
    int created = 0;
    child->OnInizializedForm = [&created](TVxAttItem *, QWidget *) { ++created; };
    ASSERT_TRUE(child->Execute());
    QWidget *first = child->LastForm();
    ASSERT_TRUE(child->Execute());
    EXPECT_EQ(child->LastForm(), first);
    EXPECT_EQ(created, 1);

    child->MultipleInstance = true;
    ASSERT_TRUE(child->Execute());
    EXPECT_NE(child->LastForm(), first);
    EXPECT_EQ(created, 2);
    EXPECT_EQ(FormRegistry::instances(QStringLiteral("tfmtestchild")).size(), 2);
}

TEST_F(CommandTableTest, ClosedChildIsCreatedAgain)
{
    TfmVxMDIMain main;
    TVxAttForm *child = table.AddForm(QStringLiteral("xafChild"), QStringLiteral("Figlia"),
                                      QStringLiteral("TfmTestChild"), nullptr, 0, 0);
    ASSERT_TRUE(child->Execute());
    EXPECT_EQ(main.MDIChildCount(), 1);
    QPointer<QWidget> first = child->LastForm();
    main.mdiArea()->closeAllSubWindows();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(main.MDIChildCount(), 0);
    ASSERT_TRUE(child->Execute());
    EXPECT_EQ(main.MDIChildCount(), 1);
}

TEST_F(CommandTableTest, UnknownClassAndMissingProgramAreReportedNotRun)
{
    QStringList log;
    TVxAttForm *form = table.AddForm(QStringLiteral("xafNone"), QStringLiteral("Nessuna"),
                                     QStringLiteral("TfmDoesNotExist"), nullptr, 0, 0);
    TVxAttShell *shell = table.AddShell(QStringLiteral("xasStat"),
                                        QStringLiteral("Dati per RICERCA"), nullptr, 8, 27);
    QTemporaryDir dir;
    shell->Directory = dir.path() + QStringLiteral("\\BIN\\");
    shell->FileName = QStringLiteral("qew.exe");
    shell->Param = QStringLiteral("a b 38");
    trace(form, log);
    trace(shell, log);
    EXPECT_FALSE(form->Execute());
    EXPECT_FALSE(shell->Execute());
    EXPECT_EQ(log, (QStringList{"xafNone:before", "xasStat:before"}));
    const QStringList texts = DialogSeam::shownTexts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("TfmDoesNotExist")));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("Impossibile avviare \"Dati per RICERCA\"")));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("qew.exe")));
}

TEST_F(CommandTableTest, HandlerFailureFromTheBarIsShownOnce)
{
    TVxApgPage *page = table.AddPage(QStringLiteral("xpgTools"), QStringLiteral("Utilità"), 0);
    TVxAttComponent *component =
        table.AddComponent(QStringLiteral("xacFail"), QStringLiteral("Fallisce"), page, 0, 0);
    bool after = false;
    component->OnExecute = [](TVxAttItem *) {
        throw EVxException(QStringLiteral("Archivio non raggiungibile."));
    };
    component->AfterExecute = [&after](TVxAttItem *) { after = true; };
    TVxOutlookBar bar;
    table.SetContainer(&bar);
    table.Execute();
    QToolButton *button = bar.EntryButton(QStringLiteral("xacFail"));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_FALSE(after);
    EXPECT_EQ(DialogSeam::shownTexts(), QStringList{QStringLiteral("Archivio non raggiungibile.")});
}

TEST_F(CommandTableTest, BarShowsVisiblePagesAndMergedEntriesInOrder)
{
    TVxApgPage *gestione = table.AddPage(QStringLiteral("xpgVal"), QStringLiteral("Gestione"), 0);
    TVxApgPage *tools =
        table.AddPage(QStringLiteral("xpgTools"), QStringLiteral("Utilità e parametri"), 90, true);
    table.AddPage(QStringLiteral("xpgTabDeb"), QStringLiteral("Debiti"), 80, false, false);
    TVxApgPage *docenti =
        table.AddPage(QStringLiteral("xpgDocenti"), QStringLiteral("Docenti"), 10);

    table.AddForm(QStringLiteral("xafRecupero"), QStringLiteral("Recuperi"),
                  QStringLiteral("TfmTestChild"), gestione, 100, 0);
    // Unsorted page: equal orders keep the order of creation.
    table.AddComponent(QStringLiteral("xacZ"), QStringLiteral("Zeta"), docenti, 0, 0);
    table.AddComponent(QStringLiteral("xacA"), QStringLiteral("Alfa"), docenti, 0, 0);
    // Sorted page: equal orders go by caption.
    table.AddComponent(QStringLiteral("xacCtrl"), QStringLiteral("Controllo recuperi"), tools, 80,
                       0);
    table.AddComponent(QStringLiteral("xacFirma"), QStringLiteral("Firma"), tools, 80, 0);
    table.AddComponent(QStringLiteral("xacParams"), QStringLiteral("Parametri applicazione"), tools,
                       10, 0);
    TVxAttItem *hidden =
        table.AddComponent(QStringLiteral("xacHidden"), QStringLiteral("Nascosto"), tools, 5, 0);
    hidden->Visible = false;
    table.AddShell(QStringLiteral("xasStat"), QStringLiteral("Senza pagina"), nullptr, 8, 0);

    // The launcher's commands join the table's page "Gestione" ahead of its own.
    TdmVxAttivazioni launcher;
    TVxApgPage *own = launcher.AddPage(QStringLiteral("xpgLauncher"), QStringLiteral("Lanc"), 0);
    launcher.AddForm(QStringLiteral("xafCarCls"), QStringLiteral("Caricamento per classe"),
                     QStringLiteral("TfmTestChild"), gestione, 0, 0);
    launcher.AddForm(QStringLiteral("xafCarDeb"), QStringLiteral("Debiti per classe"),
                     QStringLiteral("TfmTestChild"), own, 0, 0);
    table.Merge(&launcher);

    TVxOutlookBar bar;
    table.SetContainer(&bar);
    table.Execute();
    ASSERT_EQ(bar.PageCount(), 3);
    EXPECT_EQ(bar.ActivePage(), 0); // the first page is the one open
    EXPECT_EQ(bar.PageCaption(0), QStringLiteral("Gestione"));
    EXPECT_EQ(bar.PageCaption(1), QStringLiteral("Docenti"));
    EXPECT_EQ(bar.PageCaption(2), QStringLiteral("Utilità e parametri"));
    EXPECT_EQ(bar.EntryCaptions(0), (QStringList{"Caricamento per classe", "Recuperi"}));
    EXPECT_EQ(bar.EntryCaptions(1), (QStringList{"Zeta", "Alfa"}));
    EXPECT_EQ(bar.EntryCaptions(2),
              (QStringList{"Parametri applicazione", "Controllo recuperi", "Firma"}));
    EXPECT_EQ(bar.EntryButton(QStringLiteral("xafCarDeb")), nullptr);
    EXPECT_NE(table.Item(QStringLiteral("XAFCARDEB")), nullptr);
    EXPECT_NE(table.Item(QStringLiteral("xasStat")), nullptr);
    // Filling twice does not duplicate.
    table.Execute();
    EXPECT_EQ(bar.PageCount(), 3);
}

TEST_F(CommandTableTest, ReportTreeFillsItsPageAndOutlivesTheBar)
{
    TVxApgPage *page = table.AddPage(QStringLiteral("xpgReport"), QStringLiteral("Stampe"), 30);
    TVxAttReport *report = table.AddReport(QStringLiteral("xarTavrin"), QString(), page, 0, -1);
    auto tree = std::make_unique<QWidget>();
    tree->setObjectName(QStringLiteral("tvReports"));
    report->SetRptTreeView(tree.get());
    {
        TVxOutlookBar bar;
        table.SetContainer(&bar);
        table.Execute();
        EXPECT_EQ(bar.findChild<QWidget *>(QStringLiteral("tvReports")), tree.get());
        EXPECT_EQ(bar.EntryButton(QStringLiteral("xarTavrin")), nullptr);
        table.Execute();
        EXPECT_EQ(bar.findChild<QWidget *>(QStringLiteral("tvReports")), tree.get());
        bar.Clear();
        EXPECT_EQ(tree->parent(), nullptr);
        table.Execute();
    }
    // The bar went while showing the tree: the tree is its owner's and lives on.
    EXPECT_EQ(tree->parent(), nullptr);
}

TEST(FormRegistry, CreatesByNameInAnyCase)
{
    FormRegistry::registerClass(QStringLiteral("TfmqelDocParams"),
                                [](QWidget *p) { return new TfmTestChild(p); });
    EXPECT_EQ(FormRegistry::registeredName(QStringLiteral("TfmQelDocParams")),
              QStringLiteral("TfmqelDocParams"));
    std::unique_ptr<QWidget> w(FormRegistry::create(QStringLiteral("TFMQELDOCPARAMS")));
    ASSERT_TRUE(w);
    EXPECT_EQ(FormRegistry::classOf(w.get()), QStringLiteral("TfmqelDocParams"));
    EXPECT_EQ(FormRegistry::create(QStringLiteral("TfmqelNone")), nullptr);
    FormRegistry::unregisterClass(QStringLiteral("tfmqeldocparams"));
    EXPECT_FALSE(FormRegistry::isRegistered(QStringLiteral("TfmqelDocParams")));
}

} // namespace
