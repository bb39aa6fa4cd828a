#include "exchange/qelfdocsendrecuperiweb.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebrecuperipackets.h"
#include "makeup/qelcontrollarecuperi.h"
#include "platform/dbgridframes.h"
#include "platform/globalvars.h"
#include "shell/qelactivations.h"
#include "shell/qelpargen.h"
#include "tests/exchange/tavrinwebfixture.h"
#include "tests/support/testfiles.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <tuple>

namespace {

using Server = TavrinWebTestServer;
using Fault = TavrinWebTestServer::Fault;

const QString kWarning = QStringLiteral(
    "AVVERTENZE!\nPrima di fare un Re-invio dei recuperi conviene fare una cancellazione di "
    "quelli già presenti su Web");
const QString kDone = QStringLiteral("Procedura completata con successo.");

// The web folder holds XML files that are not the send's, one of them named as a packet in
// other letters.
class DocSendRecuperiWeb : public WebServiceProgram
{
protected:
    void SetUp() override
    {
        WebServiceProgram::SetUp();
        for (const char *other : {"Docenti.xml", "altro.xml", "Recuperi.XML"})
            writeFileBytes(folder + QLatin1String(other), other);
    }

    // Opens the window and presses OK; each answer goes to the next prompt or message after
    // the warning: a password is typed, an int is a button.
    std::unique_ptr<TfmqelDocSendRecuperiWeb> send(const QVariantList &answers, int timeout = 0)
    {
        auto window = std::make_unique<TfmqelDocSendRecuperiWeb>();
        window->SetWebTimeout(timeout);
        queueAnswers(answers);
        window->buOk()->click();
        return window;
    }

    static int zeroDates()
    {
        return scalar("SELECT COUNT(*) FROM TRec_Recuperi WHERE dRecVer = '1899-12-30'").toInt();
    }
    QStringList folderFiles() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }
    QStringList untouched() const { return {"Docenti.xml", "Recuperi.XML", "altro.xml"}; }

    // A packet of the archive the server stored.
    TClientDataSet &stored(const QString &name)
    {
        for (const auto &[entry, bytes] : Server::zipEntries(server.uploads().value(0).zip))
            if (entry == name.toLatin1())
                writeFileBytes(db.mainDir.path() + QStringLiteral("packet.xml"), bytes);
        loaded.LoadFromFile(db.mainDir.path() + QStringLiteral("packet.xml"));
        return loaded;
    }

    TClientDataSet loaded;
};

QList<int> webTeachers()
{
    QList<int> ids;
    QSqlQuery q = runSql("SELECT C.iAnaId FROM TAai_AnaAppInvio A JOIN TAnaCag C ON C.iAnaCagId = "
                         "A.iAnaCagId WHERE A.iModId = 5 AND A.iAnsSesDwgId = 392 ORDER BY 1");
    while (q.next())
        ids << q.value(0).toInt();
    return ids;
}

int situationOf(const char *where)
{
    return scalar(QStringLiteral("SELECT MIN(S.iSitId) FROM TSit_Situazioni S JOIN TClsPst P ON "
                                 "P.iClsPstId = S.iClsPstId WHERE ") +
                  QLatin1String(where))
        .toInt();
}

// Every make-up row of the phase reaches each teacher of its class and subject, with the test
// kind under iPrvId and no zero date; the rows the web must not see stay out; the lookups go
// to every send; every teacher, one without rows too, is marked once the server took it.
TEST_F(DocSendRecuperiWeb, APhaseGoesToEveryTeacherOfItsRowsAndTheListIsMarkedAfterTheUpload)
{
    const QList<int> teachers = webTeachers();
    ASSERT_GE(teachers.size(), 2);
    const int t1 = teachers[0];
    const int t2 = teachers[1];
    // 5A's Italian, and Italian of last year's 5A, taught by the two web teachers.
    for (const auto &[key, cls, teacher] :
         {std::tuple{900001, 39005, t1}, {900002, 39005, t2}, {900003, 38005, t1}})
        runSql("INSERT INTO TClsMatAna (iClsMatAnaId, iClsId, iMatId, iAnaId) VALUES (?, ?, 1, ?)",
               {key, cls, teacher});
    // A web teacher with no class at all.
    runSql("INSERT INTO TAna_Anagrafiche (iAnaId, sAnaCognome, sAnaNome) VALUES (1100000, 'Nuovo', "
           "'Docente')");
    runSql("INSERT INTO TAnaCag (iAnaCagId, iAnaId, iCagId) VALUES (600000, 1100000, 3)");
    runSql("INSERT INTO TAai_AnaAppInvio (iAaiId, iAaiModulo, iAnaCagId, iModId, iAnsSesDwgId) "
           "VALUES (900001, 1, 600000, 5, 392)");

    const int first = situationOf("P.iClsId = 39005 AND S.iSitOrdine = 1 AND S.iSitPosReg > 0");
    const struct
    {
        int iRecId;
        int iSitId;
        int iAnsFreDwgId;
        bool sent;
    } rows[] = {
        {900001, first, 391, true},
        {900002, situationOf("P.iClsId = 39005 AND S.iSitPosReg = 0"), 391, false},
        {900003, situationOf("P.iClsId = 39005 AND S.iSitOrdine = 2"), 391, false},
        // A pupil of last year's 5A who left the school.
        {900004,
         situationOf("P.iClsId = 38005 AND S.iSitOrdine = 1 AND S.iSitPosReg > 0 AND NOT EXISTS "
                     "(SELECT 1 FROM TSit_Situazioni W JOIN TClsPst WP ON WP.iClsPstId = "
                     "W.iClsPstId WHERE W.iAnaId = S.iAnaId AND WP.iClsId > 39000)"),
         391, false},
        {900005, first, 392, false},
    };
    for (const auto &r : rows) {
        ASSERT_GT(r.iSitId, 0) << r.iRecId;
        runSql("INSERT INTO TRec_Recuperi (iRecId, iTreId, iEreId, iMatId, iSitId, iAnsFreDwgId, "
               "dRecVer, iPvrId) VALUES (?, 1, 1, 1, ?, ?, '1899-12-30', 2)",
               {r.iRecId, r.iSitId, r.iAnsFreDwgId});
    }
    // A zero date of another year is cleared too.
    runSql("UPDATE TRec_Recuperi SET dRecVer = '1899-12-30' WHERE iRecId = (SELECT MIN(iRecId) "
           "FROM TRec_Recuperi WHERE iAnsFreDwgId = 381)");

    const auto window = send({kPassword});
    saveScreenshot(window.get(), QStringLiteral("docsendrecuperiweb.png"));
    EXPECT_EQ(window->result(), 0); // still open
    EXPECT_EQ(messages(), (QStringList{kWarning, kDone}));
    EXPECT_FALSE(window->frDocenti()->isEnabled());
    EXPECT_FALSE(window->cbSendMode()->isEnabled());
    EXPECT_EQ(window->ChosenMode(), 5);
    EXPECT_EQ(window->cbFaseRec()->count(), 2);
    EXPECT_EQ(window->frDocenti()->SelectedSourceRows().size(), teachers.size() + 1);
    EXPECT_EQ(zeroDates(), 0);
    EXPECT_EQ(markedWebTeachers(), teachers.size() + 1);
    EXPECT_EQ(folderFiles(), untouched());
    for (const QString &name : untouched())
        EXPECT_EQ(readFileBytes(folder + name), name.toLatin1());

    ASSERT_EQ(server.uploads().size(), 1);
    EXPECT_EQ(server.uploads()[0].page, QByteArray("caricarec.php"));
    EXPECT_EQ(server.uploads()[0].fileName, folder + QStringLiteral("twrecuperi.zip"));
    EXPECT_EQ(server.uploads()[0].entries, QelWebMakeUpPackets::FileNames());

    TClientDataSet &recuperi = stored(QStringLiteral("recuperi.xml"));
    EXPECT_FALSE(recuperi.Locate(QStringLiteral("iDocId"), 1100000));
    for (const auto &r : rows) {
        QList<int> docs;
        for (recuperi.First(); !recuperi.Eof(); recuperi.Next()) {
            if (recuperi.FieldByName(QStringLiteral("iRecId"))->AsInteger() != r.iRecId)
                continue;
            docs << recuperi.FieldByName(QStringLiteral("iDocId"))->AsInteger();
            EXPECT_EQ(recuperi.FieldByName(QStringLiteral("iPrvId"))->AsInteger(), 2);
            EXPECT_TRUE(recuperi.FieldByName(QStringLiteral("dRecVer"))->IsNull());
            EXPECT_EQ(recuperi.FieldByName(QStringLiteral("iClsId"))->AsInteger(), 39005);
            EXPECT_EQ(recuperi.FieldByName(QStringLiteral("sAnsAnnoDesc"))->AsString(),
                      QStringLiteral("2008/2009"));
        }
        std::sort(docs.begin(), docs.end());
        EXPECT_EQ(docs, r.sent ? (QList<int>{t1, t2}) : QList<int>()) << r.iRecId;
    }
    // A demo row keeps its own test kind.
    ASSERT_TRUE(recuperi.Locate(QStringLiteral("iRecId"),
                                scalar("SELECT MIN(iRecId) FROM TRec_Recuperi WHERE "
                                       "iAnsFreDwgId = 391 AND iPvrId = 1")));
    EXPECT_EQ(recuperi.FieldByName(QStringLiteral("iPrvId"))->AsInteger(), 1);

    for (const auto &[packet, count] :
         {std::pair{"frerec.xml",
                    "SELECT COUNT(*) FROM TAnsFreDwg WHERE iAnsId = 39 AND iDwgId IS NULL"},
          {"tiprec.xml", "SELECT COUNT(*) FROM TTre_TipoRec"},
          {"prvrec.xml", "SELECT COUNT(*) FROM TPvr_ProvaRecupero"},
          {"esirec.xml", "SELECT COUNT(*) FROM TEre_EsitoRec"},
          {"istituto.xml", "SELECT 1 FROM RDB$DATABASE"}})
        EXPECT_EQ(stored(QLatin1String(packet)).RecordCount(), scalar(count).toInt()) << packet;
}

// Whatever stops the upload, no teacher is marked and the archive stays.
TEST_F(DocSendRecuperiWeb, AFailedUploadMarksNobodyAndKeepsTheArchive)
{
    const QString prefix = QString::fromUtf8(TTavrinWebConnection::kCommError);
    const struct
    {
        const char *name;
        Fault fault;
        QString message; // the last one shown, or how it begins
    } cases[] = {
        {"refused", Fault::None, QStringLiteral("File NON inviato correttamente!")},
        {"HTTP 500", Fault::Status500, prefix},
        {"too slow", Fault::Slow, prefix},
        {"too large", Fault::OverCapDeclared, prefix},
        {"closed half-way", Fault::CloseMidBody, prefix},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DialogSeam::setScripted(true);
        const auto faulty = failingUpload(c.fault, "caricarec.php");
        send({kPassword}, 500);
        EXPECT_TRUE(messages().last().startsWith(c.message)) << messages().last().toStdString();
        EXPECT_EQ(markedWebTeachers(), 0);
        EXPECT_EQ(folderFiles(), untouched() << QStringLiteral("twrecuperi.zip"));
        EXPECT_EQ(faulty->requestsTo("caricarec.php").size(), 1);
    }
}

// A send that cannot start writes nothing; without a phase or a working context it does not
// even clear the zero dates.
TEST_F(DocSendRecuperiWeb, ASendThatCannotStartWritesNothing)
{
    const QString noContext = QStringLiteral(
        "Anno scolastico o sessione di lavoro non impostati: impossibile inviare i recuperi.");
    const struct
    {
        const char *name;
        std::function<void()> setUp;
        QString message;
        bool datesCleared;
    } cases[] = {
        {"no phase in the year",
         [] { runSql("UPDATE TAnsFreDwg SET iDwgId = 2 WHERE iAnsId = 39"); },
         "Nessuna fase di recupero nell'anno scolastico di lavoro: impossibile inviare i "
         "recuperi.",
         false},
        {"no working year", [] { TVxWorkingContext::setSchoolYear(0); }, noContext, false},
        {"no working session", [] { TVxWorkingContext::setSession(0); }, noContext, false},
        {"no teacher", [] { TVxWorkingContext::setSession(391); }, "Nessun docente selezionato.",
         true},
        {"no folder", [] { dmqelParGen->xpsDirWeb.SetValore(QStringLiteral(" ")); },
         "Si è scelto di inviare i dati a Servizio web senza impostare il percorso di invio.\n\n"
         "Impostarlo da \"Utilità e parametri - Parametri Invio docenti\" per proseguire.",
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DialogSeam::setScripted(true);
        setDemoWorkingContext();
        dmqelParGen->xpsDirWeb.SetValore(folder);
        runSql("UPDATE TAnsFreDwg SET iDwgId = NULL WHERE iAnsId = 39");
        runSql("UPDATE TRec_Recuperi SET dRecVer = '1899-12-30' WHERE iRecId = (SELECT MIN(iRecId) "
               "FROM TRec_Recuperi)");
        c.setUp();
        send({});
        EXPECT_EQ(messages(), (QStringList{kWarning, c.message}));
        EXPECT_EQ(zeroDates(), c.datesCleared ? 0 : 1);
    }
    EXPECT_EQ(folderFiles(), untouched());
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(markedWebTeachers(), 0);
}

// The command meets the demo's duplicate record first; once it is corrected, the send goes.
TEST_F(DocSendRecuperiWeb, TheCommandSendsOnceTheDuplicatesAreCorrected)
{
    ASSERT_TRUE(dmQelControllaRecuperi->HasRecuperiDoppi());
    DialogSeam::queueAnswer(int(mrOk));
    queueDuplicateCorrection();
    DialogSeam::queueAnswer(int(mrOk)); // the deletion told
    DialogSeam::queueAnswer(int(mrOk)); // the warning
    DialogSeam::queueModalScript([](QDialog *d) {
        auto *window = qobject_cast<TfmqelDocSendRecuperiWeb *>(d);
        EXPECT_NE(window, nullptr);
        if (window) {
            queuePassword(kPassword);
            window->buOk()->click();
        }
        return int(mrCancel);
    });
    EXPECT_TRUE(dmqelActivations->Item(QStringLiteral("xafSendRecuperiWeb"))->Execute());
    EXPECT_EQ(messages().mid(0, 1),
              QStringList{QStringLiteral(
                  "Attenzione: sono stati trovati dei recuperi doppi (lo stesso alunno con più "
                  "recuperi nella stessa materia e fase), che vanno corretti prima dell'invio. "
                  "Procedere alla correzione?")});
    EXPECT_EQ(messages().mid(messages().size() - 2), (QStringList{kWarning, kDone}));
    EXPECT_EQ(server.uploads().size(), 1);
    EXPECT_EQ(markedWebTeachers(), webTeachers().size());
}

} // namespace
