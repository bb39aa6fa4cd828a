#include "exchange/qelclassfolders.h"
#include "exchange/qelfldname.h"
#include "exchange/qelfricec.h"
#include "exchange/qelfsendc.h"
#include "exchange/qelfsendscrutinio.h"
#include "exchange/qelwait.h"
#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/directoryedit.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "tests/support/classtables.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolBar>

namespace {

class ClassFolders : public RunningProgram
{
protected:
    template <class Window> std::unique_ptr<Window> open(const char *name)
    {
        QDir().mkpath(base);
        auto window = std::unique_ptr<Window>(qobject_cast<Window *>(FormRegistry::create(name)));
        window->eDir()->SetText(base);
        return window;
    }
    // The class folders the engine starts, in order; pressing "Annulla" in the first.
    void watch(TdmqelXML &xml, bool cancel = false)
    {
        xml.onPacketWritten = [this, &xml, cancel](const QString &file) {
            if (file == QLatin1String("InfoSed.xml"))
                written << QDir(xml.sFolder).dirName();
            else if (cancel && file == QLatin1String("ClsSes.xml") && written.size() == 1)
                QMetaObject::invokeMethod(xml.Wait()->buAnnulla(), "click", Qt::QueuedConnection);
        };
    }
    static void overwrite()
    {
        DialogSeam::queueModalScript([](QDialog *dialog) {
            qobject_cast<TfmqelFldName *>(dialog)->buSovrascrivi()->click();
            return int(mrNone);
        });
    }
    static QStringList messages()
    {
        QStringList texts;
        for (const DialogSeam::Shown &shown : DialogSeam::shown())
            if (shown.kind == QLatin1String("message"))
                texts << shown.text;
        DialogSeam::clearShown();
        return texts;
    }
    static QStringList entries(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }
    static QString storedBase() { return TdmqelXML().xpsPathScrutinio.GetValore(); }

    ScriptedDialogs dialogs;
    QTemporaryDir temp;
    QString base = temp.path() + QStringLiteral("/Classi/");
    QStringList written;
};

const char kOldFiles[][24] = {"5A/vecchio.xml", "5A/out/a.xml", "5A/outfin/b.xml", "5A/Info.ini"};

} // namespace

TEST_F(ClassFolders, SendScrutinioWritesFromTheLastTickedClassAndSkipsOneWithoutCoordinator)
{
    runSql("UPDATE TClsMatAna SET lClsMatAnaCoord = 0 WHERE iClsId = 39012");
    for (const char *file : kOldFiles)
        writeFileBytes(base + file, "x");
    auto window = open<TfmqelSendScrutinio>("TfmqelSendScrutinio");
    ASSERT_EQ(window->clClsSes()->count(), 15);
    EXPECT_EQ(window->clClsSes()->item(0)->text(), scalar("SELECT sClsSDesc || ' - ' || sClsDesc "
                                                          "FROM VCls_Classi WHERE iClsId = 39001"));
    EXPECT_FALSE(window->buOk()->isEnabled());
    for (const auto &[name, hint, ok] :
         {std::tuple{"tbSelectAllMatCls", "Seleziona tutte le classi", true},
          {"tbSelectInvMatCls", "Inverte la selezione delle classi", false},
          {"tbSelectDelMatCls", "Annulla la selezione delle classi", false}}) {
        QAction *action = window->tbClassi()->findChild<QAction *>(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(action->toolTip(), hint);
        action->trigger();
        EXPECT_EQ(window->buOk()->isEnabled(), ok) << name;
    }
    for (int cls : {39001, 39012, 39005})
        window->SetClassTicked(cls, true);
    EXPECT_TRUE(window->buOk()->isEnabled());
    window->cbPassword()->setChecked(true);
    saveScreenshot(window.get(), "classfolders_sendscrutinio.png");
    overwrite();
    watch(window->engine());
    bool idle = false;
    window->engine().onPacketWritten = [this, &window, &idle,
                                        seen = window->engine().onPacketWritten](const QString &f) {
        // A second OK while a class is written would start a send inside this one.
        idle = idle || window->buOk()->isEnabled() || window->ClientArea()->isEnabled();
        seen(f);
    };
    window->buOk()->click();

    EXPECT_EQ(written, (QStringList{"5A", "1A"}));
    EXPECT_FALSE(idle);
    EXPECT_TRUE(window->buOk()->isEnabled());
    const QString desc = scalar("SELECT sClsDesc FROM VCls_Classi WHERE iClsId = 39012").toString();
    EXPECT_EQ(messages(), (QStringList{"Impossibile esportare la classe 2B - " + desc +
                                           " con la protezione password.\nImpostare nel "
                                           "programma Alunni il coordinatore di classe.",
                                       "Procedura completata."}));
    EXPECT_EQ(entries(base), (QStringList{"1A", "2B", "5A"}));
    EXPECT_EQ(entries(base + "2B"), QStringList());
    const QStringList sent = entries(base + "5A");
    EXPECT_FALSE(sent.contains("out") || sent.contains("outfin") || sent.contains("vecchio.xml"));
    EXPECT_TRUE(sent.contains("Info.ini") && sent.contains("ClsVot.xml"));
    EXPECT_EQ(storedBase(), base);
}

TEST_F(ClassFolders, AnnullaStopsBeforeTheNextClassAndSendCKeepsTheWorkFolders)
{
    auto scrutinio = open<TfmqelSendScrutinio>("TfmqelSendScrutinio");
    for (int cls : {39001, 39012, 39005})
        scrutinio->SetClassTicked(cls, true);
    watch(scrutinio->engine(), true);
    // A base folder that is not there (a key not inserted) is named as missing, not created.
    const QString key = temp.path() + "/chiave";
    scrutinio->eDir()->SetText(key);
    scrutinio->buOk()->click();
    EXPECT_EQ(messages(), QStringList{"La cartella di invio " + key +
                                      " non esiste.\n\nInserire "
                                      "il supporto che la contiene (chiave USB, disco) o "
                                      "collegare la cartella di rete, poi ripetere l'invio; "
                                      "oppure scegliere un'altra cartella in \"Percorso base\"."});
    EXPECT_FALSE(QFileInfo::exists(key));
    scrutinio->eDir()->SetText(base);
    scrutinio->buOk()->click();
    EXPECT_EQ(written, QStringList{"5A"});
    EXPECT_EQ(messages(), QStringList{"Procedura annullata dall'utente."});
    EXPECT_FALSE(scrutinio->engine().lCancel);
    // "Annulla" pressed during the last class of a send does not stop the next one.
    scrutinio->tbSelectDelMatClsClick();
    scrutinio->SetClassTicked(39012, true);
    scrutinio->engine().lCancel = true;
    scrutinio->buOk()->click();
    EXPECT_EQ(written, (QStringList{"5A", "2B"}));
    messages();

    // A short description that names a path stays one folder of the base.
    runSql("UPDATE TCls_Classi SET sClsSDesc = '../3A' WHERE iClsId = 39003");
    for (const char *file : kOldFiles)
        writeFileBytes(base + file, "x");
    auto sendC = open<TfmqelSendC>("TfmqelSendC");
    sendC->buOk()->click();
    EXPECT_EQ(messages(), QStringList{"Nessuna classe selezionata."});
    QList<int> rows;
    for (int row = 0; row < sendC->DataSet()->rowCount(); ++row)
        if (QList<int>{39003, 39005}.contains(sendC->DataSet()->index(row, 0).data().toInt()))
            rows << row;
    sendC->SetSelectedRows(rows);
    overwrite();
    written.clear();
    watch(sendC->engine());
    sendC->buOk()->click();
    EXPECT_EQ(written, (QStringList{"5A", "_._3A"}));
    EXPECT_EQ(messages(), QStringList{"Procedura completata."});
    EXPECT_EQ(entries(base), (QStringList{"2B", "5A", "_._3A"}));
    EXPECT_FALSE(QFileInfo::exists(temp.path() + "/3A"));
    const QStringList sent = entries(base + "5A");
    EXPECT_TRUE(sent.contains("out") && sent.contains("outfin") && sent.contains("ClsVot.xml"));
    EXPECT_FALSE(sent.contains("vecchio.xml"));

    // The reminders of the session kind.
    const QString credit = "\r\nHai agganciato le classi alle rispettive bande del credito?";
    for (const auto &[session, deferred] : {std::pair{392, false}, std::pair{393, true}}) {
        xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), session);
        auto window = open<TfmqelSendC>("TfmqelSendC");
        EXPECT_EQ(window->pnDifferita()->isVisibleTo(window.get()), deferred) << session;
        EXPECT_EQ(window->laAvviso()->text().endsWith(credit), !deferred) << session;
        saveScreenshot(window.get(), "classfolders_sendc_" + QString::number(session) + ".png");
    }
}

TEST_F(ClassFolders, RiceCCollectsOnlyTheFolderOfItsClassAndStoresItsParent)
{
    const QString shortBase = ShortDir(base);
    QDir().mkpath(base + "5A");
    for (const auto &[text, parent] : {std::pair{base + "5A", shortBase},
                                       {" " + base + "5A/ ", shortBase},
                                       {shortBase + "\\5A\\", shortBase},
                                       {base + "9Z/", QString()},
                                       {QString(), QString()}})
        EXPECT_EQ(ParentFolder(text), parent) << text.toStdString();

    runSql("UPDATE TClsSes SET iClsSesCre = 0 WHERE iClsSesId = 390052");
    {
        TdmqelXML xml;
        xml.SetSessionKind(2);
        ExportClassFolder(xml, {39005, 390052, "5A", "5A"}, base + "5A/", {});
    }
    TClientDataSet votes;
    votes.LoadFromFile(base + "5A/ClsVot.xml");
    votes.First();
    const int level = votes.FieldByName("iValId")->AsInteger() + 1;
    QVariantList vote;
    for (const char *field : {"iSitId", "iClsSesMatId", "iCmpScaId"})
        vote << votes.FieldByName(field)->Value();
    setField(votes, "iValId", level);
    votes.SaveToFile(base + "5A/ClsVot.xml", dfXML);
    runSql("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'");
    runSql("CREATE TRIGGER T_RIFIUTO FOR TGdz_Giudizi BEFORE INSERT AS BEGIN "
           "IF (NEW.iSitId = 960) THEN EXCEPTION E_RIFIUTO; END");
    const QStringList before = classTablesSnapshot();

    // Choosing a class offers the folder the send wrote for it, under the base folder.
    TdmqelXML().xpsPathScrutinio.SetValore(base);
    auto window = open<TfmqelRiceC>("TfmqelRiceC");
    for (const int cls : {39012, 39005})
        window->SetCurrentClass(cls);
    EXPECT_EQ(window->eDir()->Text(), base + "5A/");
    // Every refusal names its cause; the folder the send wrote for the class is offered, never
    // the one refused.
    const QString sent = base + "5A/";
    const QString native = QDir::toNativeSeparators(sent);
    const QByteArray info = readFileBytes(sent + "Info.ini"),
                     sessions = readFileBytes(sent + "ClsSes.xml");
    const auto session = [&](int clsSes, int yearSession) {
        return [=] {
            TClientDataSet packet;
            packet.LoadFromFile(sent + "ClsSes.xml");
            packet.First();
            packet.Edit();
            packet.FieldByName("iClsSesId")->setValue(clsSes);
            packet.FieldByName("iAnsSesDwgId")->setValue(yearSession);
            packet.Post();
            packet.SaveToFile(sent + "ClsSes.xml", dfXML);
        };
    };
    const struct
    {
        QString folder;
        int cls;
        std::function<void()> damage;
        QString says;    // the message's beginning
        QString offered; // the folder offered instead, none when it is the one refused
        QString stored;  // the base folder kept
    } refusals[] = {
        {base + "9Z/", 39005, [] {},
         "La cartella " + QDir::toNativeSeparators(base + "9Z/") + " non c'è.", "5A/",
         "/elsewhere"},
        {sent, 39012, [] {},
         "La classe selezionata non è la stessa del percorso specificato.\n\n"
         "La cartella " +
             native + " è della classe 5A LICEO SCIENTIFICO.",
         "2B/", shortBase},
        // The first session's folder collected in the final one, last year's, one that lost its
        // Info.ini.
        {sent,
         39005,
         session(390051, 391),
         "La cartella " + native +
             " è della sessione \"Primo periodo\" dell'anno 2008/2009, "
             "non di quella di lavoro",
         {},
         shortBase},
        {sent,
         39005,
         [&] {
             session(380052, 382)();
             writeFileBytes(sent + "Info.ini", QByteArray(info).replace("39005", "38005"));
         },
         "La cartella " + native +
             " è della sessione \"Scrutinio finale\" dell'anno "
             "2007/2008, non di quella di lavoro",
         {},
         shortBase},
        {sent,
         39005,
         [&] { QFile::remove(sent + "Info.ini"); },
         "Nella cartella " + native + " manca il file Info.ini",
         {},
         shortBase},
        // Info.ini of another class beside 5A's ClsSes.xml: each file's class named.
        {sent,
         39005,
         [&] { writeFileBytes(sent + "Info.ini", QByteArray(info).replace("39005", "39004")); },
         "I file della cartella " + native + " non concordano: Info.ini è della classe " +
             scalar("SELECT sClsDesc FROM VCls_Classi WHERE iClsId = 39004").toString().trimmed() +
             ", ClsSes.xml della classe 5A LICEO SCIENTIFICO.",
         {},
         shortBase},
    };
    for (const auto &c : refusals) {
        SCOPED_TRACE(c.says.toStdString());
        // The send's base is not here, or it is the one the refused folder lies in.
        TdmqelXML().xpsPathScrutinio.SetValore(c.offered.isEmpty() ? base : "/elsewhere");
        const QString expected = TdmqelXML().ScrutinioBaseFolder() + c.offered;
        c.damage();
        window->SetCurrentClass(c.cls);
        window->eDir()->SetText(c.folder);
        window->buOk()->click();
        const QStringList shown = messages();
        ASSERT_EQ(shown.size(), 1) << c.folder.toStdString();
        EXPECT_TRUE(shown[0].startsWith(c.says)) << shown[0].toStdString();
        const QString offer = " si raccoglie dalla cartella che l'invio ha scritto per lei: ";
        EXPECT_EQ(shown[0].contains(offer), !c.offered.isEmpty()) << shown[0].toStdString();
        if (!c.offered.isEmpty()) {
            EXPECT_TRUE(shown[0].endsWith(offer + expected)) << shown[0].toStdString();
        }
        EXPECT_EQ(classTablesSnapshot(), before);
        EXPECT_EQ(storedBase(), c.stored);
        writeFileBytes(sent + "Info.ini", info);
        writeFileBytes(sent + "ClsSes.xml", sessions);
    }
    window->SetCurrentClass(39005);
    window->eDir()->SetText(shortBase + "\\5A\\");
    window->buOk()->click();
    // One message, after the work: what was not collected, then what was.
    const QStringList shown = messages();
    ASSERT_EQ(shown.size(), 1) << shown.join('\n').toStdString();
    EXPECT_TRUE(shown[0].startsWith("Righe non raccolte: 1.\n\n  ***ERRORE*** ") &&
                shown[0].contains("rifiutato per prova") &&
                shown[0].endsWith("\n\nvoti: righe aggiunte 0, cambiate 1, cancellate 0"))
        << shown[0].toStdString();
    // Exactly the raised vote changed: the judgments, one refused, and the rest are as they were.
    const QString cell = QStringLiteral("V|%1|%2|")
                             .arg(scalar("SELECT iClsMatCmpId FROM TClsMatCmp WHERE iClsSesMatId "
                                         "= ? AND iCmpScaId = ?",
                                         {vote[1], vote[2]})
                                      .toInt())
                             .arg(vote[0].toInt());
    const auto rowsOf = [&before](const QString &start) {
        return before.filter(QRegularExpression('^' + QRegularExpression::escape(start)));
    };
    const QStringList voted = rowsOf(cell), judged = rowsOf("G|960|392|");
    ASSERT_EQ(voted.size(), 1);
    ASSERT_EQ(judged.size(), 1);
    const QString raised =
        cell + QString::number(level) + voted[0].mid(voted[0].indexOf('|', cell.size()));
    const auto [gone, come] = classTablesChanges(before);
    EXPECT_EQ(gone, voted);
    EXPECT_EQ(come, QStringList{raised});
}
