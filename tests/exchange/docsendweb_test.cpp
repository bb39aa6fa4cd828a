#include "exchange/qelfdocconfirmsendweb.h"
#include "exchange/qelfdocsendweb.h"
#include "exchange/qelrdocreceivesingleweb.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebpackets.h"
#include "platform/dbgridframes.h"
#include "platform/globalvars.h"
#include "platform/sleep.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"
#include "tests/exchange/tavrinwebfixture.h"
#include "tests/support/runningprogram.h"
#include "tests/support/tavrinwebserver.h"
#include "tests/support/testfiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using Server = TavrinWebTestServer;
using Fault = TavrinWebTestServer::Fault;

const QString kWrongLogin = QStringLiteral(
    "Password errata \no Istituto codice: ABCD01000X non autorizzato all'invio dei dati al "
    "server\nContattare Veldrasoft S.r.l. per l'abilitazione");

// The web folder holds two XML files that are not the send's.
class DocSendWeb : public WebServiceProgram
{
protected:
    void SetUp() override
    {
        WebServiceProgram::SetUp();
        for (const char *other : {"Docenti.xml", "altro.xml"})
            writeFileBytes(folder + QLatin1String(other), other);
    }

    // Opens the window, selects every teacher, confirms the wizard and presses OK. Each answer
    // goes to the next prompt or message: a password is typed, an int is a button.
    std::unique_ptr<TfmqelDocSendWeb> send(const QVariantList &answers, int timeout = 0,
                                           int timeLimit = 0)
    {
        auto window = std::make_unique<TfmqelDocSendWeb>();
        window->SetWebTimeout(timeout);
        window->SetWebTimeLimit(timeLimit);
        window->frDocenti()->SelectAllRows();
        finishWizard();
        queueAnswers(answers);
        window->buOk()->click();
        return window;
    }


    TClientDataSet &packet(const QString &name)
    {
        loaded.LoadFromFile(folder + name);
        return loaded;
    }

    // The row of the packet with these values, as text; empty when there is none.
    static QList<QVariant> rowOf(TClientDataSet &ds, const QString &keys,
                                 const QVariantList &values)
    {
        return ds.Locate(keys, values) ? ds.StoredRecord(ds.RecNo()) : QList<QVariant>();
    }

    TClientDataSet loaded;
};

TEST_F(DocSendWeb, PacketsHoldEveryTeachersRowsWholeAndInTheirGroups)
{
    const int sit = scalar("SELECT MIN(S.iSitId) FROM TSit_Situazioni S JOIN TClsPst P ON "
                           "P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39005 AND S.iSitPosReg > 0")
                        .toInt();
    const int csm = scalar("SELECT iClsSesMatId FROM TClsSesMat WHERE iClsSesId = 390052 AND "
                           "iMatRmaId = 1")
                        .toInt();
    const int cmc =
        scalar("SELECT MIN(iClsMatCmpId) FROM TClsMatCmp WHERE iClsSesMatId = ?", {csm}).toInt();
    const int italian = scalar("SELECT COUNT(*) FROM TClsMatCmp M JOIN TCmpSca C ON C.iCmpScaId = "
                               "M.iCmpScaId WHERE M.iClsSesMatId = ? AND C.iCmpScaTass = 0",
                               {csm})
                            .toInt();
    // 5A's Italian: a second teacher, and a second node of the subject with a component of
    // every vote scale, so the class-subject has more components than the session has scales.
    runSql("INSERT INTO TClsMatAna (iClsMatAnaId, iClsId, iMatId, iAnaId) VALUES (900001, 39005, "
           "1, 1000002)");
    runSql("INSERT INTO TMatRma (iMatRmaId, iMatId) VALUES (901, 1)");
    runSql(
        "INSERT INTO TClsSesMat (iClsSesMatId, iClsSesId, iMatRmaId) VALUES (900001, 390052, 901)");
    for (int scale = 1; scale <= 6; ++scale)
        runSql("INSERT INTO TClsMatCmp VALUES (?, 900001, ?)", {900000 + scale, scale});
    runSql("DELETE FROM TVot_Voti WHERE iSitId = ? AND iClsMatCmpId = ?", {sit, cmc});
    runSql("DELETE FROM TNot_Note WHERE iSitId = ? AND iClsSesMatId = ?", {sit, csm});
    runSql(
        "INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, bNotNota) VALUES (900001, ?, ?, ?)",
        {csm, sit, QString(9000, QLatin1Char('n'))});
    runSql("DELETE FROM TAiu_Aiuti WHERE iSitId = ? AND iClsSesMatId = ?", {sit, csm});
    runSql("INSERT INTO TAiu_Aiuti (iAiuId, iClsSesMatId, iSitId, sAiuVal) VALUES (900001, ?, ?, "
           "'ABCD')",
           {csm, sit});
    // Debts of 1000001: the first pupil has no class in the working year any more.
    QSqlQuery debts = runSql(
        "SELECT Deb.iDebId, S.iAnaId FROM TDeb_Debiti Deb JOIN TSit_Situazioni S ON S.iSitId = "
        "Deb.iSitId JOIN TAns_AnniScolast A ON A.dAnsVextoInizio = Deb.dStart WHERE A.iAnsId = 38 "
        "AND S.iSitPosReg > 0 AND Deb.iAnaId_Ver = 1000001 AND EXISTS (SELECT 1 FROM "
        "TSit_Situazioni W "
        "JOIN TClsPst P ON P.iClsPstId = W.iClsPstId WHERE W.iAnaId = S.iAnaId AND P.iClsId > "
        "39000) "
        "ORDER BY Deb.iDebId");
    ASSERT_TRUE(debts.next());
    const int gone = debts.value(0).toInt();
    const QVariant leaver = debts.value(1);
    while (debts.next() && debts.value(1) == leaver) {
    }
    ASSERT_TRUE(debts.isValid());
    const int kept = debts.value(0).toInt();
    const QVariant keptClass =
        scalar("SELECT P.iClsId FROM TSit_Situazioni S JOIN TClsPst P ON "
               "P.iClsPstId = S.iClsPstId WHERE S.iAnaId = ? AND P.iClsId > 39000",
               {debts.value(1)});
    runSql("UPDATE TSit_Situazioni SET iSitOrdine = 2 WHERE iAnaId = ? AND dStart = '2008-09-01'",
           {leaver});
    // Two teachers without assignments, with ids past the five digits of a login.
    for (int id : {1100000, 1010000}) {
        runSql("INSERT INTO TAna_Anagrafiche (iAnaId, sAnaCognome, sAnaNome, sAnaPwPert) VALUES "
               "(?, 'Nuovo', 'Docente', 'pw')",
               {id});
        runSql("INSERT INTO TAnaCag (iAnaCagId, iAnaId, iCagId) VALUES (?, ?, 3)",
               {id - 500000, id});
    }

    QelWebSessionPackets packets(
        392, 39,
        {{"Vot", 0}, {"Vtp", 1}, {"Tas", 1}, {"Ass", 1}, {"Aiu", 1}, {"Not", 1}, {"Deb", 0}});
    for (int id : {1000001, 1000002, 1100000, 1010000})
        packets.AddTeacher(id, QStringLiteral("Docente %1").arg(id), QStringLiteral("pw"));
    EXPECT_EQ(packets.Write(folder).size(), 9);
    EXPECT_EQ(packets.Groups(0), italian + 6);

    TClientDataSet &voti = packet("voti.xml");
    const QString key = QStringLiteral("iDocId;iClsId;iMatId;iSitId");
    const QList<QVariant> row = rowOf(voti, key, {1000001, 39005, 1, sit});
    ASSERT_FALSE(row.isEmpty());
    const auto value = [&](const QList<QVariant> &r, const char *name) {
        return r.value(voti.FieldByName(QLatin1String(name))->Index());
    };
    EXPECT_EQ(value(row, "iClsMatCmpId_vot1").toInt(), cmc);
    EXPECT_FALSE(value(row, "iScaLivId_vot1").isValid());
    EXPECT_TRUE(
        value(row, QStringLiteral("iClsMatCmpId_vot%1").arg(italian + 6).toLatin1()).isValid());
    EXPECT_EQ(value(row, "bNotNota").toString().size(), 9000);
    EXPECT_FALSE(value(row, "dNotData").isValid());
    EXPECT_EQ(value(row, "sAiuVal").toString(), QStringLiteral("ABCD"));
    EXPECT_FALSE(rowOf(voti, key, {1000002, 39005, 1, sit}).isEmpty());
    // Latin (2) has fewer components than there are groups.
    const QList<QVariant> latin = rowOf(voti, key, {1000001, 39005, 2, sit});
    ASSERT_FALSE(latin.isEmpty());
    EXPECT_FALSE(
        value(latin, QStringLiteral("iClsMatCmpId_vot%1").arg(italian + 6).toLatin1()).isValid());

    EXPECT_EQ(
        packet("livelli.xml").RecordCount(),
        scalar("SELECT COUNT(*) FROM TScaLiv L JOIN TCmpSca C ON C.iScaId = L.iScaId").toInt());
    TClientDataSet &debiti = packet("debiti.xml");
    EXPECT_FALSE(debiti.Locate(QStringLiteral("iDebId"), gone));
    ASSERT_TRUE(debiti.Locate(QStringLiteral("iDebId"), kept));
    EXPECT_EQ(debiti.FieldByName(QStringLiteral("iClsId"))->Value(), keptClass.toLongLong());
    EXPECT_EQ(debiti.FieldByName(QStringLiteral("sAnsAnnoDesc"))->AsString(),
              QStringLiteral("2007/2008"));

    TClientDataSet &docenti = packet("docenti.xml");
    for (const auto &[id, login] : {std::pair{1100000, "100000"}, std::pair{1010000, "10000"}}) {
        ASSERT_TRUE(docenti.Locate(QStringLiteral("iDocId"), id));
        EXPECT_EQ(docenti.FieldByName(QStringLiteral("sDocLogin"))->AsString(),
                  QLatin1String(login));
        EXPECT_EQ(docenti.FieldByName(QStringLiteral("sDocPasswd"))->AsString(),
                  MakeTavrinWebPasswd(id, 39, kCode, QStringLiteral("pw")));
    }
    TClientDataSet &sessioni = packet("sessioni.xml");
    ASSERT_TRUE(sessioni.Locate(QStringLiteral("iDocId"), 1010000));
    EXPECT_EQ(QStringList({sessioni.FieldByName("iAnsSesDwgId")->AsString(),
                           sessioni.FieldByName("sAnnoScolatico")->AsString(),
                           sessioni.FieldByName("sSessione")->AsString(),
                           sessioni.FieldByName("Vtp")->AsString()}),
              QStringList({"2", "2008/2009", "Scrutinio finale", "1"}));
}

TEST_F(DocSendWeb, ADeferredSessionSendsOnlyTheSuspendedPupils)
{
    for (int state : {11, 2}) {
        runSql("UPDATE TSit_Situazioni SET iPosFinId_Sosp = ? WHERE iSitId = 957", {state});
        DeleteExportFiles(folder);
        QelWebSessionPackets packets(393, 39, {});
        packets.AddTeacher(1000001, QStringLiteral("Docente"), QString());
        packets.Write(folder);
        EXPECT_EQ(packet("voti.xml").Locate(QStringLiteral("iSitId"), 957), state == 11);
    }
}

// The archive the server stores is a sound flat ZIP of the nine packets, each in the published
// layout, readable by their owner only; the teachers are marked once the server said "OK", and
// the folder's other files stay.
TEST_F(DocSendWeb, AnAcceptedUploadStoresTheNinePacketsAndMarksTheTeachers)
{
    const auto window = send({kPassword});
    saveScreenshot(window.get(), QStringLiteral("docsendweb.png"));
    EXPECT_EQ(window->result(), 0); // still open
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Procedura completata con successo.")});
    ASSERT_EQ(server.uploads().size(), 1);
    EXPECT_EQ(markedWebTeachers(), 9);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"altro.xml", "Docenti.xml"}));
    EXPECT_EQ(server.uploads()[0].fileName, folder + QStringLiteral("twdocenti.zip"));
    const QString zip = folder + QStringLiteral("stored.zip");
    writeFileBytes(zip, server.uploads()[0].zip);
    const auto run = [](const QString &program, const QStringList &arguments) {
        QProcess p;
        p.start(program, arguments);
        EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromLatin1(p.readAllStandardOutput());
    };
    run(QStringLiteral("unzip"), {QStringLiteral("-t"), zip});
    QStringList names = QelWebSessionPackets::FileNames();
    EXPECT_EQ(
        run(QStringLiteral("zipinfo"), {QStringLiteral("-1"), zip}).split('\n', Qt::SkipEmptyParts),
        names);
    for (const QString &line :
         run(QStringLiteral("zipinfo"), {QStringLiteral("-s"), zip}).split('\n')) {
        if (line.contains(QLatin1String(".xml"))) {
            EXPECT_TRUE(line.startsWith(QLatin1String("-rw-------"))) << line.toStdString();
        }
    }
    run(QStringLiteral("unzip"),
        {QStringLiteral("-q"), zip, QStringLiteral("-d"), folder + QStringLiteral("x")});
    for (QString &name : names)
        name.prepend(folder + QStringLiteral("x/"));
    run(QStringLiteral("xmllint"),
        QStringList{QStringLiteral("--noout"), QStringLiteral("--schema"),
                    QStringLiteral(TAVRIN_SOURCE_DIR "/tests/platform/fixtures/datapacket.xsd")} +
            names);
}

// The office walks the wizard with "Avanti" and presses Return on its last page: that is
// "Fine", and the send goes.
TEST_F(DocSendWeb, ReturnOnTheWizardsLastPageSends)
{
    TfmqelDocSendWeb window;
    window.frDocenti()->SelectAllRows();
    DialogSeam::queueModalScript([](QDialog *dialog) {
        auto *wizard = qobject_cast<TfmqelDocConfirmSendWeb *>(dialog);
        if (!wizard)
            return ADD_FAILURE() << "no wizard", int(mrCancel);
        wizard->show();
        wizard->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(wizard));
        for (int page : {1, 5}) {
            QTest::mouseClick(wizard->buNext(), Qt::LeftButton);
            EXPECT_EQ(wizard->CurrentPage(), page);
        }
        QWidget *focus = QApplication::focusWidget();
        EXPECT_NE(focus, nullptr);
        QTest::keyClick(focus ? focus : wizard, Qt::Key_Return);
        return int(mrNone);
    });
    queueAnswers({kPassword});
    window.buOk()->click();
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Procedura completata con successo.")});
    EXPECT_EQ(markedWebTeachers(), 9);
}

// Whatever stops the upload, no teacher is marked and the archive stays, for the owner alone.
TEST_F(DocSendWeb, AFailedUploadMarksNobodyAndKeepsTheArchive)
{
    const QString prefix = QString::fromUtf8(TTavrinWebConnection::kCommError);
    const struct
    {
        const char *name;
        Fault fault;
        QVariantList answers;
        QString message;     // the last one shown, or how it begins
        bool cancel = false; // "Annulla" pressed once the archive is on its way
    } cases[] = {
        {"refused", Fault::None, {kPassword}, QStringLiteral("File NON inviato correttamente!")},
        {"HTTP 500", Fault::Status500, {kPassword}, prefix},
        {"too slow", Fault::Slow, {kPassword}, prefix},
        {"trickling past the overall limit",
         Fault::Trickle,
         {kPassword},
         prefix + "Il trasferimento con il server è troppo lento: in 1,5 secondi"},
        {"Annulla while the reply trickles",
         Fault::Trickle,
         {kPassword},
         QStringLiteral("Procedura annullata dall'utente."),
         true},
        {"too large", Fault::OverCapDeclared, {kPassword}, prefix},
        {"closed half-way", Fault::CloseMidBody, {kPassword}, prefix},
        {"prompt cancelled", Fault::None, {int(mrCancel)}, QStringLiteral("operazione interrotta")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DialogSeam::setScripted(true);
        const auto faulty = failingUpload(c.fault, "carica.php");
        QTimer annulla;
        if (c.fault == Fault::Trickle) {
            faulty->setSlowMs(100);
            QObject::connect(&annulla, &QTimer::timeout, [&] {
                if (c.cancel && !faulty->requestsTo("carica.php").isEmpty() && fmVxWait)
                    fmVxWait->buAnnulla()->click();
            });
            annulla.start(50);
        }
        // A trickle is never silent for 5 s: the 1.5 s limit or "Annulla" ends it.
        const bool trickle = c.fault == Fault::Trickle;
        send(c.answers, trickle ? 5000 : 500, c.cancel ? 60000 : 1500);
        EXPECT_TRUE(messages().last().startsWith(c.message)) << messages().last().toStdString();
        EXPECT_EQ(markedWebTeachers(), 0);
        const QFileInfo archive(folder + QStringLiteral("twdocenti.zip"));
        EXPECT_TRUE(archive.exists());
        EXPECT_EQ(archive.permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 3);
    }
}

TEST_F(DocSendWeb, AWrongPasswordIsToldAndAskedAgain)
{
    send({QStringLiteral("sbagliata"), int(mrOk), QStringLiteral("ancora"), int(mrOk), kPassword});
    EXPECT_EQ(messages(),
              (QStringList{kWrongLogin, kWrongLogin, "Procedura completata con successo."}));
    EXPECT_EQ(server.logins().size(), 3);
    EXPECT_EQ(markedWebTeachers(), 9);
}

// Nothing is written nor asked of the server when the send cannot start.
TEST_F(DocSendWeb, ASendThatCannotStartWritesNothing)
{
    const struct
    {
        const char *name;
        QString folder;
        int session;
        bool select;
        QString message;
    } cases[] = {
        {"no teacher", folder, 392, false, "Nessun docente selezionato."},
        {"no folder", "  ", 392, true,
         "Si è scelto di inviare i dati a Servizio web senza impostare il percorso di invio.\n\n"
         "Impostarlo da \"Utilità e parametri - Parametri Invio docenti\" per proseguire."},
        {"a quote in the folder", folder + "we\"b/", 392, true, "Il testo \""},
        {"the Lumeno session", folder, 395, false, "Non è possibile inviare la sessione Lumeno"},
    };
    runSql("INSERT INTO TAnsSesDwg (iAnsSesDwgId, iAnsId, iDwgId, iSesId, iSfiId) VALUES (395, 39, "
           "2, 5, 1)");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DialogSeam::setScripted(true);
        dmqelParGen->xpsDirWeb.SetValore(c.folder);
        TVxWorkingContext::setSession(c.session);
        TfmqelDocSendWeb window;
        if (c.select)
            window.frDocenti()->SelectAllRows();
        finishWizard();
        window.buOk()->click();
        EXPECT_TRUE(messages().value(0).startsWith(c.message))
            << messages().join('|').toStdString();
        EXPECT_EQ(window.cbSendMode()->count(), c.session == 395 ? 0 : 5);
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(QFileInfo::exists(folder + "we\"b"));
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(DocSendWeb, TheWizardsPathsFollowItsRadioButtons)
{
    TfmqelDocConfirmSendWeb wizard;
    wizard.SetTeacherCount(1);
    EXPECT_EQ(wizard.FinalText(), QStringLiteral("ATTENZIONE!!\r\n\r\nÈ stato selezionato 1 docente."));
    wizard.SetTeacherCount(7);
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Invio dati a Tavrin-Web"));
    EXPECT_EQ(wizard.ActivePath(), QStringLiteral("New"));
    EXPECT_EQ(wizard.PathPages(), (QList<int>{0, 1, 5}));
    QStringList texts;
    for (QLabel *label : wizard.findChildren<QLabel *>())
        texts << label->text();
    for (const char *text :
         {"Istituto: Istituto Demo", "Sessione: Scrutinio finale", "Anno scolastico 2008-2009",
          "ATTENZIONE!!\n\nSono stati selezionati 7 docenti.",
          "Hai cancellato su Web la sessione precedente?",
          "1. fare la raccolta completa di tutti i docenti;\n2. cancellare (subito) la sessione su "
          "Web;\n"
          "3. fai le variazioni;\n4. fare l'invio completo di tutti i docenti.",
          "Premere il bottone \"Fine\" per effettuare la spedizione dei dati al Server Veldrasoft"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
    const auto click = [&](int page, const char *button) {
        wizard.Page(page)->findChild<QRadioButton *>(QLatin1String(button))->click();
    };
    click(TfmqelDocConfirmSendWeb::tsFirstSend, "rbSi");
    EXPECT_EQ(wizard.PathPages(), (QList<int>{0, 3}));
    click(TfmqelDocConfirmSendWeb::tsFirstSend, "rbNo");
    EXPECT_EQ(wizard.PathPages(), (QList<int>{0, 1, 2, 3}));
    click(TfmqelDocConfirmSendWeb::tsModifyConf, "rbSi");
    EXPECT_FALSE(wizard.laModifyAlert()->isHidden());
    click(TfmqelDocConfirmSendWeb::tsReceive, "rbSi");
    EXPECT_TRUE(wizard.laReceiveAlert()->isHidden());
    click(TfmqelDocConfirmSendWeb::tsReceive, "rbNo");
    EXPECT_FALSE(wizard.laReceiveAlert()->isHidden());
    saveScreenshot(&wizard, QStringLiteral("docconfirmsendweb.png"));
}

TEST_F(DocSendWeb, TheClassFilterFollowsTheTickedClasses)
{
    TfrqelDocReceiveSingleWeb frame;
    frame.SetAnsSesDwgId(392);
    frame.OpenList();
    QListWidget *classes = frame.clbClassi();
    ASSERT_GE(classes->count(), 3);
    EXPECT_EQ(frame.BuildClsFilter(), QString());
    for (int i = 0; i < classes->count(); ++i)
        classes->item(i)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(frame.BuildClsFilter(), QStringLiteral("1 = 0"));
    classes->item(0)->setCheckState(Qt::Checked);
    classes->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(frame.BuildClsFilter(), QStringLiteral("(iClsId = %1) OR (iClsId = %2)")
                                          .arg(classes->item(0)->data(Qt::UserRole).toInt())
                                          .arg(classes->item(2)->data(Qt::UserRole).toInt()));
}

// A packet appended to a file of the same columns, in any order and letter case, keeps every
// row and every character; a file of other columns is refused and stays as it was.
TEST(WebPackets, AppendingMatchesColumnsByNameAndRefusesOthers)
{
    QTemporaryDir dir;
    // One row; a text column as wide as its value.
    const auto packet = [](TClientDataSet &ds, const QStringList &names,
                           const QVariantList &values) {
        ds.Close();
        ds.ClearFieldDefs();
        for (int c = 0; c < names.size(); ++c) {
            const bool text = values[c].typeId() == QMetaType::QString;
            ds.AddFieldDef(names[c], text ? ftString : ftInteger,
                           text ? int(values[c].toString().size()) : 0);
        }
        ds.CreateDataSet();
        ds.Append();
        for (int c = 0; c < values.size(); ++c)
            ds.Fields(c)->setValue(values[c]);
        ds.Post();
    };
    const struct
    {
        QStringList names;
        QVariantList values;
        bool appended;
    } cases[] = {
        {{"S", "n"}, {"abcdefgh", 2}, true},
        {{"n", "t"}, {3, "x"}, false},
        {{"n", "s"}, {"4", "x"}, false},
        {{"n"}, {5}, false},
    };
    TClientDataSet ds;
    for (const auto &c : cases) {
        packet(ds, {"n", "s"}, {1, "abc"});
        const QString path = SaveOrAppendPacket(ds, dir.path(), QStringLiteral("p.xml"), false);
        const QByteArray before = readFileBytes(path);
        packet(ds, c.names, c.values);
        bool refused = false;
        try {
            SaveOrAppendPacket(ds, dir.path() + QStringLiteral("/"), QStringLiteral("p.xml"), true);
        } catch (const EVxException &) {
            refused = true;
        }
        EXPECT_EQ(refused, !c.appended) << c.names.join(',').toStdString();
        EXPECT_EQ(QFileInfo(path).permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser);
        if (!c.appended) {
            EXPECT_EQ(readFileBytes(path), before);
            continue;
        }
        ds.LoadFromFile(path);
        ASSERT_EQ(ds.RecordCount(), 2);
        ds.Last();
        EXPECT_EQ(ds.FieldByName("n")->AsInteger(), 2);
        EXPECT_EQ(ds.FieldByName("s")->AsString(), QStringLiteral("abcdefgh"));
    }
}

} // namespace
