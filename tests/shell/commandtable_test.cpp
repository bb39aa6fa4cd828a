#include "makeup/qelcontrollarecuperi.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/outlookbar.h"
#include "shell/qelactivations.h"
#include "shell/qelcommandtable.h"
#include "shell/qelformcalls.h"
#include "shell/qelmain.h"
#include "shell/qelpargen.h"
#include "shell/qelplaceholder.h"
#include "shell/qelstartup.h"
#include "tests/support/runningprogram.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

namespace {

class Commands : public RunningProgram
{
protected:
    TVxAttItem *item(const char *name) const
    {
        return dmqelActivations->Item(QString::fromLatin1(name));
    }
    bool run(const char *name) const { return item(name)->Execute(); }
};

// A stand-in for the make-up part's judgment window, keeping the mode it is given.
class JudgmentWindow : public QDialog, public QelJudgmentModeForm
{
    Q_OBJECT
    Q_INTERFACES(QelJudgmentModeForm)
public:
    using QDialog::QDialog;
    void SetModo(int m) override { modo = m; }
    static inline int modo = -1;
};

} // namespace

TEST_F(Commands, TheBarShowsThePagesAndRunsTheEntryClicked)
{
    ScriptedDialogs dialogs;
    TfmqelMain *main = objects->mainWindow();
    main->show();
    main->ensureFirstActivation();
    TVxOutlookBar *bar = main->mxOLBar();
    QStringList pages;
    for (int i = 0; i < bar->PageCount(); ++i)
        pages << bar->PageCaption(i);
    // "Debiti" is hidden; "Tabelle valutazione" is sorted by its entries' order.
    EXPECT_EQ(pages, (QStringList{"Gestione", "Docenti", "Scrutinio", "Stampe", "Stampa digitale",
                                  "Comunicazione", "Allineamenti", "Configura sessione",
                                  "Tabelle valutazione", "Crediti",
                                  QStringLiteral("Utilità e parametri")}));
    EXPECT_EQ(
        bar->EntryCaptions(int(pages.indexOf("Crediti"))),
        (QStringList{"Riconoscimento", "Encomio", "Crediti formativi", "Crediti scolastici"}));
    EXPECT_EQ(item("xafDesDed")->Caption, QStringLiteral("Esito debiti "));

    // A click opens the editor as a child window.
    bar->ActivatePage(int(pages.indexOf("Crediti")));
    QTest::mouseClick(bar->EntryButton(QStringLiteral("xafEncomio")), Qt::LeftButton);
    QMdiArea *area = TdmVxAttivazioni::MdiArea();
    ASSERT_EQ(area->subWindowList().size(), 1);
    EXPECT_EQ(area->subWindowList().first()->widget()->windowTitle(), QStringLiteral("Encomio"));
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
    area->closeAllSubWindows();
}

// What the command table calls on the windows of later parts reaches them; a window that
// does not implement it is found by the check, whatever its methods are named.
TEST_F(Commands, EveryWindowACommandCallsImplementsWhatTheCommandCalls)
{
    EXPECT_EQ(qelBrokenFormContracts(), QStringList());
    const QString judgments = QStringLiteral("TfmqelCompGiudizioMedie");
    FormRegistry::registerClass(judgments, [](QWidget *p) -> QWidget * { return new QDialog(p); });
    EXPECT_EQ(qelBrokenFormContracts(),
              QStringList{judgments + QStringLiteral(": it.vexto.tavrin.QelJudgmentModeForm")});
    FormRegistry::registerClass(judgments,
                                [](QWidget *p) -> QWidget * { return new JudgmentWindow(p); });
    EXPECT_EQ(qelBrokenFormContracts(), QStringList());
    ScriptedDialogs dialogs;
    for (const auto &[command, modo] : {std::pair{"xafCompGiudMedie", 0}, {"xafCancellaGiud", 1}}) {
        JudgmentWindow::modo = -1;
        EXPECT_TRUE(run(command));
        EXPECT_EQ(JudgmentWindow::modo, modo) << command;
    }
    FormRegistry::unregisterClass(judgments);
}

TEST_F(Commands, EveryFormCommandOpensARegisteredWindow)
{
    int forms = 0;
    for (TVxAttItem *entry : dmqelActivations->AllEntries()) {
        auto *form = qobject_cast<TVxAttForm *>(entry);
        if (!form)
            continue;
        ++forms;
        EXPECT_TRUE(FormRegistry::isRegistered(form->ClasseForm))
            << form->objectName().toStdString() << " " << form->ClasseForm.toStdString();
        EXPECT_FALSE(form->MultipleInstance);
    }
    EXPECT_GE(forms, 50);
    // Names written with another letter case reach the same window class.
    EXPECT_EQ(FormRegistry::registeredName(QStringLiteral("TfmQelDocParams")).toLower(),
              QStringLiteral("tfmqeldocparams"));
}

// The placeholder stands for the windows listed as missing and for no other: a window that a
// part registers while the list still names it is caught, and so is a command whose window
// no part registers and the list forgets.
TEST_F(Commands, ThePlaceholderStandsExactlyForTheMissingWindows)
{
    ScriptedDialogs dialogs;
    QStringList missing = qelOtherProgramFormClasses();
    for (const char *name : qelPendingFormClasses())
        missing << QString::fromLatin1(name);
    const auto opensPlaceholder = [](const QString &className) {
        std::unique_ptr<QWidget> window(FormRegistry::create(className));
        return qobject_cast<TfmqelNonDisponibile *>(window.get()) != nullptr;
    };
    const auto listedButBuilt = [&] {
        QStringList built;
        for (const QString &className : std::as_const(missing))
            if (!opensPlaceholder(className))
                built << className;
        return built;
    };
    EXPECT_EQ(listedButBuilt(), QStringList());
    for (TVxAttItem *entry : dmqelActivations->AllEntries()) {
        auto *form = qobject_cast<TVxAttForm *>(entry);
        if (form && !missing.contains(form->ClasseForm, Qt::CaseInsensitive)) {
            EXPECT_FALSE(opensPlaceholder(form->ClasseForm)) << form->ClasseForm.toStdString();
        }
    }

    // A part starts registering a listed window: the real window wins, the list is caught out.
    ASSERT_FALSE(missing.isEmpty());
    const QString cards = missing.constLast();
    FormRegistry::registerClass(cards, [](QWidget *p) -> QWidget * { return new QDialog(p); });
    registerShellForms();
    EXPECT_EQ(listedButBuilt(), QStringList{cards});
    FormRegistry::unregisterClass(cards);
    registerShellForms();
}

// Every command without its window opens the one placeholder, titled with the command's
// caption; the packages of the suite that Tavrin does not include are said to be another
// program's.
TEST_F(Commands, MissingFunctionsOpenThePlaceholderTitledWithTheCommand)
{
    const QString notYet = QStringLiteral("Funzione non ancora disponibile in questa versione.");
    const QString otherProgram = QStringLiteral(
        "Questa funzione appartiene a un altro programma della suite Vexto: Tavrin non la "
        "comprende.");
    const struct
    {
        const char *command;
        bool modal;
        const char *title;
        bool another;
    } cases[] = {
        {"xafTraduzioni", false, "Traduzioni", true},
        {"xafClsMatCmp", false, "Configurazione sessione", true},
        {"xafFirme", false, "Firme", true},
        {"xacComm", true, "Parametri di connessione", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        ScriptedDialogs dialogs;
        QString text;
        DialogSeam::queueModalScript([&text](QDialog *d) {
            text = d->findChild<QLabel *>(QStringLiteral("laMessaggio"))->text();
            return int(mrOk);
        });
        EXPECT_TRUE(run(c.command));
        QString title;
        if (c.modal) {
            ASSERT_EQ(DialogSeam::shown().size(), 1);
            EXPECT_EQ(DialogSeam::shown().first().detail, QStringLiteral("TfmqelNonDisponibile"));
            title = DialogSeam::shown().first().text;
        } else {
            EXPECT_TRUE(DialogSeam::shown().isEmpty());
            QWidget *window = qobject_cast<TVxAttForm *>(item(c.command))->LastForm();
            ASSERT_NE(window, nullptr);
            title = window->windowTitle();
            if (auto *label = window->findChild<QLabel *>(QStringLiteral("laMessaggio")))
                text = label->text();
            window->close();
        }
        EXPECT_EQ(title, QString::fromUtf8(c.title));
        EXPECT_EQ(text, c.another ? otherProgram : notYet);
    }
    // A window of this program still to come says so.
    TfmqelNonDisponibile pending(QStringLiteral("TfmqelProssima"));
    EXPECT_EQ(pending.findChild<QLabel *>(QStringLiteral("laMessaggio"))->text(), notYet);
}

TEST_F(Commands, ParametersWaitForTheChildWindowsToClose)
{
    ScriptedDialogs dialogs;
    ASSERT_TRUE(run("xafEncomio"));
    EXPECT_FALSE(run("xacParams"));
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("Bisogna chiudere tutte le finestre attive per modificare "
                                         "i parametri")});
    TdmVxAttivazioni::MdiArea()->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DialogSeam::clearShown();
    EXPECT_TRUE(run("xacParams"));
    EXPECT_EQ(DialogSeam::shownTexts(), QStringList{QStringLiteral("Parametri applicazione")});
}

TEST_F(Commands, WindowsOfTheWorkingContextNeedYearThenSession)
{
    const QString year = QStringLiteral("Non è stato selezionato l'anno scolastico di lavoro.");
    const QString session =
        QStringLiteral("Non è stata selezionata la sessione scolastica di lavoro.");
    const struct
    {
        const char *command;
        QVariant year;
        QString refusal; // none: the window opens
    } cases[] = {
        {"xafRecupero", QVariant(), year}, {"xafEsitiRecuperi", 39, session},
        {"xafOpzioni", QVariant(), year},  {"xafOpzioni", 39, session},
        {"xafFirma", QVariant(), year},    {"xafFirma", 39, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        ScriptedDialogs dialogs;
        xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), c.year);
        xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), 0);
        EXPECT_EQ(run(c.command), c.refusal.isEmpty());
        ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
        EXPECT_TRUE(DialogSeam::shownTexts().first().startsWith(
            c.refusal.isEmpty() ? QStringLiteral("Variazioni della firma del Preside")
                                : c.refusal));
    }
}

TEST_F(Commands, DuplicateMakeUpRecordsStopTheSends)
{
    // The demo school has one record entered twice in 2008/2009.
    ASSERT_TRUE(dmQelControllaRecuperi->HasRecuperiDoppi());
    const QString question = QStringLiteral(
        "Attenzione: sono stati trovati dei recuperi doppi (lo stesso alunno con più recuperi "
        "nella stessa materia e fase), che vanno corretti prima dell'invio. Procedere alla "
        "correzione?");
    const QString notCorrected =
        QStringLiteral("Alcuni errori non sono stati corretti. Rieseguire l'operazione.");
    {
        // Cancel: refused, saying that nothing was sent and where the records are mended.
        ScriptedDialogs dialogs;
        DialogSeam::queueAnswer(int(mrCancel));
        EXPECT_FALSE(run("xafSendC"));
        EXPECT_EQ(DialogSeam::shownTexts(),
                  (QStringList{question, "Invio annullato: nessun dato è stato inviato.\n\nI "
                                         "recuperi doppi si correggono anche da \"Utilità e "
                                         "parametri - Controllo recuperi\"."}));
    }
    {
        // OK, then the correction dialog cancelled: the errors remain.
        ScriptedDialogs dialogs;
        DialogSeam::queueAnswer(int(mrOk));
        DialogSeam::queueAnswer(int(mrCancel));
        EXPECT_FALSE(run("xafSendCPst"));
        EXPECT_EQ(
            DialogSeam::shownTexts(),
            (QStringList{question, QStringLiteral("Controllo recuperi doppi"), notCorrected}));
    }
    {
        // OK, the copy moved right and deleted: the send goes on.
        ScriptedDialogs dialogs;
        DialogSeam::queueAnswer(int(mrOk));
        queueDuplicateCorrection();
        DialogSeam::queueAnswer(int(mrCancel)); // the deletion told; the send window then closes
        EXPECT_TRUE(run("xafSendRecuperiWeb"));
        EXPECT_EQ(
            DialogSeam::shownTexts().mid(0, 3),
            (QStringList{question, QStringLiteral("Controllo recuperi doppi"),
                         QStringLiteral("Cancellazione di 1 elemento avvenuta con successo")}));
        EXPECT_FALSE(dmQelControllaRecuperi->HasRecuperiDoppi());
    }
    {
        // Nothing left to correct.
        ScriptedDialogs dialogs;
        EXPECT_FALSE(run("xafCorreggiRecuperi"));
        EXPECT_EQ(DialogSeam::shownTexts(),
                  QStringList{QStringLiteral(
                      "Non sono stati rilevati errori nell'archivio dei recuperi.")});
    }
}

TEST_F(Commands, CollectionsOfferTheCheckOnlyWhenDuplicatesCameIn)
{
    ScriptedDialogs dialogs;
    const QString question = QStringLiteral("Attenzione: sono stati caricati dei recuperi doppi. "
                                            "Effettuare il controllo ora?");
    // The demo's duplicate was there before: a collection closed by Esc asks nothing.
    DialogSeam::queueAnswer(int(mrCancel)); // the collection window
    EXPECT_TRUE(run("xafRiceC"));
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    // A collection that writes one more record of a cell: "No" leaves the records to be checked
    // later; "Sì" opens the correction dialog.
    int key = 990000;
    for (const int answer : {int(mrNo), int(mrYes)}) {
        DialogSeam::clearShown();
        DialogSeam::queueModalScript([&key](QDialog *) {
            runSql(QStringLiteral("INSERT INTO TRec_Recuperi (iRecId, iTreId, iMatId, iSitId, "
                                  "iAnsFreDwgId) SELECT ?, iTreId, iMatId, iSitId, iAnsFreDwgId "
                                  "FROM TRec_Recuperi WHERE iRecId = (SELECT MIN(iRecId) FROM "
                                  "TRec_Recuperi WHERE iAnsFreDwgId = 391)"),
                   {++key});
            return int(mrCancel);
        });
        DialogSeam::queueAnswer(answer); // "check now?"
        if (answer == mrYes)
            DialogSeam::queueAnswer(int(mrCancel)); // the correction dialog
        EXPECT_TRUE(run("xafRiceC"));
        const QStringList expected =
            answer == mrYes ? QStringList{question, QStringLiteral("Controllo recuperi doppi")}
                            : QStringList{question};
        EXPECT_EQ(DialogSeam::shownTexts().mid(1), expected);
    }
    // The correction command opens the dialog while duplicates are there.
    DialogSeam::clearShown();
    EXPECT_TRUE(run("xafCorreggiRecuperi"));
    EXPECT_EQ(DialogSeam::shownTexts(), QStringList{QStringLiteral("Controllo recuperi doppi")});
}

// A stand-in for the exchange's phase dialog, answering the phase it is given.
class PhaseDialog : public QDialog, public QelMakeupPhaseChooser
{
    Q_OBJECT
    Q_INTERFACES(QelMakeupPhaseChooser)
public:
    using QDialog::QDialog;
    int GetFaseRecId() const override { return phase; }
    static inline int phase = 0;
};

// A stand-in for the make-up collection window, keeping the phase it is told.
class PhaseCollection : public QDialog, public QelMakeupPhaseForm
{
    Q_OBJECT
    Q_INTERFACES(QelMakeupPhaseForm)
public:
    using QDialog::QDialog;
    void SetFaseRecId(int iFaseRecId) override { told = iFaseRecId; }
    static inline int told = 0;
};

TEST_F(Commands, WebCollectionsNeedTheFolderAndAPhase)
{
    ScriptedDialogs dialogs;
    const QString missing = db.mainDir.path() + QStringLiteral("web/manca");
    dmqelParGen->xpsDirWeb.SetValore(missing);
    EXPECT_FALSE(run("xafReceiveDocWeb"));
    EXPECT_FALSE(run("xafReceiveRecuperiDocWeb"));
    // Where the folder is set, named, as the web send names it; none set says so.
    const QString message = QStringLiteral("La cartella di lavoro di Tavrin-Web impostata nei "
                                           "parametri non esiste:\n%1\n\nCrearla, o impostarne "
                                           "un'altra da \"Utilità e parametri - Parametri Invio "
                                           "docenti\", per proseguire.")
                                .arg(QDir::toNativeSeparators(missing));
    EXPECT_EQ(DialogSeam::shownTexts(), (QStringList{message, message}));
    DialogSeam::clearShown();
    dmqelParGen->xpsDirWeb.SetValore(QString());
    EXPECT_FALSE(run("xafReceiveDocWeb"));
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("La cartella di lavoro di Tavrin-Web non è impostata.\n\n"
                                         "Impostarla da \"Utilità e parametri - Parametri Invio "
                                         "docenti\" per proseguire.")});
    dmqelParGen->xpsDirWeb.SetValore(missing);

    QDir().mkpath(missing);
    FormRegistry::registerClass(QStringLiteral("TfmqelSelectFaseRecupero"),
                                [](QWidget *p) -> QWidget * { return new PhaseDialog(p); });
    DialogSeam::clearShown();
    PhaseDialog::phase = 0;
    DialogSeam::queueAnswer(int(mrOk));
    EXPECT_FALSE(run("xafReceiveRecuperiDocWeb"));
    EXPECT_EQ(DialogSeam::shownTexts().last(),
              QStringLiteral("Selezionare la fase di recupero da raccogliere."));

    PhaseDialog::phase = 2;
    FormRegistry::registerClass(QStringLiteral("TfmqelDocReceiveRecuperiWeb"),
                                [](QWidget *p) -> QWidget * { return new PhaseCollection(p); });
    DialogSeam::queueAnswer(int(mrOk));
    DialogSeam::queueAnswer(int(mrCancel));
    DialogSeam::queueAnswer(int(mrCancel)); // no check now
    EXPECT_TRUE(run("xafReceiveRecuperiDocWeb"));
    EXPECT_EQ(dmqelActivations->FaseRecId, 2);
    EXPECT_EQ(PhaseCollection::told, 2);
    FormRegistry::unregisterClass(QStringLiteral("TfmqelSelectFaseRecupero"));
    FormRegistry::unregisterClass(QStringLiteral("TfmqelDocReceiveRecuperiWeb"));
}

TEST_F(Commands, MissingStatisticsProgramIsNamed)
{
    TVxConnectionSettings settings = readConnectionSettings();
    settings.Password = QStringLiteral("segreta");
    writeConnectionSettings(settings);
    ScriptedDialogs dialogs;
    EXPECT_FALSE(run("xasStat"));
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts().first().startsWith(
        QStringLiteral("Il programma dei dati per RICERCA non è installato:")));
    auto *stat = qobject_cast<TVxAttShell *>(item("xasStat"));
    // The command line never carries the password.
    EXPECT_FALSE(stat->Param.contains(QStringLiteral("segreta")));
    EXPECT_TRUE(
        stat->Param.startsWith(db.database.connectionSettings().Database + QLatin1Char(' ')));
    EXPECT_TRUE(stat->Param.endsWith(QStringLiteral(" 392")));
    DialogSeam::clearShown();
    EXPECT_FALSE(run("xasSkype"));
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
}

TEST_F(Commands, RemoteAssistanceDoesNotStartWithoutTheSchoolsCode)
{
    dmqelParGen->xpsProgAssistenza.SetValore(QStringLiteral("/bin/true"));
    // The school's code cannot be read: its row fails in the database.
    runSql(QStringLiteral("CREATE OR ALTER VIEW VSed_Sedi (iDwgId, sSedInfCodVexto) AS "
                          "SELECT CAST(NULL AS INTEGER), CAST(1 / 0 AS VARCHAR(10)) "
                          "FROM RDB$DATABASE"));
    ScriptedDialogs dialogs;
    EXPECT_FALSE(RunCommandShowingErrors(item("xasSkype")));
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts().first().startsWith(
        QStringLiteral("Impossibile leggere il codice della sede della scuola.")))
        << DialogSeam::shownTexts().first().toStdString();
}

#include "commandtable_test.moc"
