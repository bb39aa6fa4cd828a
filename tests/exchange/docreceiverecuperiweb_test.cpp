#include "exchange/qelfdocreceiverecuperiweb.h"
#include "exchange/qelfdocsendrecuperiweb.h"
#include "exchange/qelfselectfaserecupero.h"
#include "exchange/qelrdocreceivecls.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebrecupericollect.h"
#include "platform/globalvars.h"
#include "platform/sqlparams.h"
#include "shell/qelactivations.h"
#include "tests/exchange/tavrinwebfixture.h"
#include "tests/support/classtables.h"
#include "tests/support/tavrinwebrecuperi.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

#include <optional>

namespace {

using Server = TavrinWebTestServer;

// The make-up records of the first phase of the working year, the pupils' classes and a web
// teacher who teaches their subjects there; the results come back from the test server.
class DocReceiveRecuperiWeb : public WebServiceProgram
{
protected:
    struct Record
    {
        int iRecId = 0, iSitId = 0, iMatId = 0, iClsId = 0;
    };

    void SetUp() override
    {
        WebServiceProgram::SetUp();
        QDir().mkpath(folder);
        year = TVxWorkingContext::schoolYear();
        // The demo's record entered twice, as the duplicate check before a send leaves it: both
        // copies would take the results of the one row the service sends back.
        runSql("DELETE FROM TRec_Recuperi WHERE dRecAttr = '2009-06-21'");
        const int w = TVxWorkingContext::session();
        teacher = scalar("SELECT FIRST 1 C.iAnaId FROM TAai_AnaAppInvio A JOIN TAnaCag C ON "
                         "C.iAnaCagId = A.iAnaCagId WHERE A.iModId = 5 AND A.iAnsSesDwgId = ?",
                         {w})
                      .toInt();
        // Records of pupils on the register in their class of the year, a class
        // of the working session.
        QSqlQuery q = runSql(
            "SELECT FIRST 6 R.iRecId, R.iSitId, R.iMatId, P.iClsId FROM TRec_Recuperi R "
            "JOIN TAnsFreDwg A ON A.iAnsFreDwgId = R.iAnsFreDwgId "
            "JOIN TSit_Situazioni S ON S.iSitId = R.iSitId "
            "JOIN TClsPst P ON P.iClsPstId = S.iClsPstId "
            "JOIN TAns_AnniScolast Y ON Y.iAnsId = A.iAnsId AND Y.dAnsVextoInizio = P.dStart "
            "WHERE A.iAnsId = ? AND A.iFreId = ? AND A.iDwgId IS NULL AND S.iSitOrdine = 1 AND "
            "S.iSitPosReg > 0 AND EXISTS (SELECT 1 FROM "
            "TClsSes CS WHERE CS.iClsId = P.iClsId AND CS.iAnsSesDwgId = ?) ORDER BY R.iRecId",
            {year, phase, w});
        while (q.next())
            rec << Record{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(),
                          q.value(3).toInt()};
        q.finish();
        ASSERT_EQ(rec.size(), 6);
        otherClass = scalar("SELECT FIRST 1 iClsId FROM TClsSes WHERE iAnsSesDwgId = ? AND "
                            "iClsId <> ?",
                            {w, rec[0].iClsId})
                         .toInt();
        // Another web teacher, of other subjects.
        otherTeacher = scalar("SELECT FIRST 1 C.iAnaId FROM TAai_AnaAppInvio A JOIN TAnaCag C ON "
                              "C.iAnaCagId = A.iAnaCagId WHERE A.iModId = 5 AND A.iAnsSesDwgId = ? "
                              "AND C.iAnaId <> ? AND EXISTS (SELECT 1 FROM TClsMatAna M WHERE "
                              "M.iAnaId = C.iAnaId)",
                              {w, teacher})
                           .toInt();
        // The teacher alone teaches their subjects, so no other teacher's copy comes back.
        for (const Record &r : std::as_const(rec)) {
            runSql("DELETE FROM TClsMatAna WHERE iClsId = ? AND iMatId = ? AND iAnaId <> ?",
                   {r.iClsId, r.iMatId, teacher});
            runSql("INSERT INTO TClsMatAna (iClsMatAnaId, iClsId, iMatId, iAnaId) SELECT "
                   "900000 + ?, ?, ?, ? FROM RDB$DATABASE WHERE NOT EXISTS (SELECT 1 FROM "
                   "TClsMatAna WHERE iClsId = ? AND iMatId = ? AND iAnaId = ?)",
                   {r.iRecId, r.iClsId, r.iMatId, teacher, r.iClsId, r.iMatId, teacher});
            runSql("UPDATE TRec_Recuperi SET iEreId = 1, dRecVer = '2010-07-01', iPvrId = 1 "
                   "WHERE iRecId = ?",
                   {r.iRecId});
        }
    }

    // The phase sent as the office sends it: every web teacher's rows, uploaded.
    void sendPhase()
    {
        TfmqelDocSendRecuperiWeb send;
        ASSERT_EQ(send.ChosenPhase(), phase);
        queuePassword(kPassword);
        send.buOk()->click();
        ASSERT_EQ(server.uploads().size(), 1);
    }

    // Shown, the download; OK, the collection; the texts shown, then the log.
    QStringList collectInWindow(TfmqelDocReceiveRecuperiWeb &window, int phaseTold)
    {
        if (phaseTold != 0)
            queuePassword(kPassword);
        DialogSeam::clearShown();
        window.SetFaseRecId(phaseTold);
        window.SetWebTimeout(2000);
        window.SetWebDownloadCap(kCap);
        window.FormShow();
        if (window.frqelDocReceiveClasse_fm()->IsOpen()) {
            DialogSeam::queueAnswer(mrYes);
            window.buOk()->click();
        }
        return messages() << window.frqelDocReceiveClasse_fm()->meLog()->toPlainText();
    }

    // Outcome, date and test kind of every record, by key.
    static QMap<int, QString> records()
    {
        QMap<int, QString> rows;
        QSqlQuery q = runSql("SELECT iRecId, iEreId, dRecVer, iPvrId FROM TRec_Recuperi");
        while (q.next()) {
            QStringList values;
            for (int i = 1; i < 4; ++i)
                values << (q.value(i).isNull() ? QString() : q.value(i).toString());
            rows.insert(q.value(0).toInt(), values.join('|'));
        }
        return rows;
    }
    // Those of the test's records; "gone" for one no longer there.
    QStringList stored()
    {
        const QMap<int, QString> all = records();
        QStringList rows;
        for (const Record &r : std::as_const(rec))
            rows << all.value(r.iRecId, QStringLiteral("gone"));
        return rows;
    }
    static int receivedMarks()
    {
        return scalar("SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iAaiRicevuto = 1").toInt();
    }

    static constexpr qint64 kCap = 64 * 1024;
    const int phase = 1;
    int year = 0, teacher = 0, otherTeacher = 0, otherClass = 0;
    QList<Record> rec;
};

// Sent, given results on the server, collected: each row by its own rule.
TEST_F(DocReceiveRecuperiWeb, ResultsComeBackIntoTheRecords)
{
    sendPhase();
    const int outcome = scalar("SELECT MAX(iEreId) FROM TEre_EsitoRec").toInt();
    const int kind = scalar("SELECT MAX(iPvrId) FROM TPvr_ProvaRecupero").toInt();
    ASSERT_GT(outcome, 1);
    TavrinWebMakeUpResults results;
    const auto result = [&](int i, const QVariant &ere, const QVariant &date, const QVariant &prv) {
        results.result(teacher, rec[i].iSitId, rec[i].iMatId, ere, date, prv);
    };
    result(0, outcome, QDate(2010, 7, 12), kind);
    result(1, QVariant(), QVariant(), QVariant());
    result(2, outcome, QDate(2010, 7, 13), kind); // its record deleted meanwhile
    result(3, outcome, QDate(2010, 7, 14), kind);
    results.set(teacher, rec[3].iSitId, rec[3].iMatId, "iClsId", otherClass);
    result(4, outcome - 1, QDate(2010, 7, 15), kind); // refused by the database
    // A row sent under another teacher, who teaches the subject in another class.
    result(5, outcome, QDate(2010, 7, 16), kind);
    results.set(teacher, rec[5].iSitId, rec[5].iMatId, "iDocId", otherTeacher);
    runSql("INSERT INTO TClsMatAna (iClsMatAnaId, iClsId, iMatId, iAnaId) SELECT FIRST 1 900999, "
           "iClsId, ?, ? FROM TClsSes WHERE iAnsSesDwgId = ? AND iClsId <> ?",
           {rec[5].iMatId, otherTeacher, TVxWorkingContext::session(), rec[5].iClsId});
    results.installOn(server);
    runSql("DELETE FROM TRec_Recuperi WHERE iRecId = ?", {rec[2].iRecId});
    runSql("CREATE EXCEPTION E_ESITO 'esito rifiutato'");
    runSql(QStringLiteral("CREATE TRIGGER T_ESITO FOR TRec_Recuperi BEFORE UPDATE AS BEGIN IF "
                          "(NEW.iEreId = %1 AND NEW.iRecId = %2) THEN EXCEPTION E_ESITO; END")
               .arg(outcome - 1)
               .arg(rec[4].iRecId));
    // The folder mode's lists share the web folder: only the packet unpacked is deleted.
    for (const char *other : {"altro.xml", "istituto.xml", "Docenti.xml"})
        writeFileBytes(folder + other, "resta");
    QMap<int, QString> before = records();
    const int marks = receivedMarks();

    TfmqelDocReceiveRecuperiWeb window;
    std::optional<TVxStatementRecorder> recorder(std::in_place);
    const QStringList shown = collectInWindow(window, phase);
    // The rows' update and the teachers' results read prepared once for the collection (again
    // only after a refusal).
    EXPECT_LT(recorder->prepared(QelWebMakeUpSql::updateResults()),
              recorder->executed(QelWebMakeUpSql::updateResults()));
    EXPECT_EQ(recorder->prepared(QelWebMakeUpSql::storedResults()), 1);
    EXPECT_GT(recorder->executed(QelWebMakeUpSql::storedResults()), 1);
    recorder.reset();
    ASSERT_EQ(shown.size(), 2) << shown.join('\n').toStdString();
    EXPECT_TRUE(shown[0].startsWith("Selezionate ")) << shown[0].toStdString();
    const QString log = shown[1];
    // Each row not placed is a line: refused, of another class, its record gone, of a teacher
    // of the subject in another class; the log ends with what changed.
    EXPECT_EQ(log.count("***ERRORE***"), 4) << log.toStdString();
    for (const QString &line :
         {QStringLiteral("esito rifiutato"),
          QStringLiteral("non è della classe %1").arg(otherClass),
          QStringLiteral("(situazione %1), %2: il recupero non c'è più in questa fase")
              .arg(rec[2].iSitId)
              .arg(scalar("SELECT TRIM(sMatLDesc) FROM TMat_Materie WHERE iMatId = ?",
                          {rec[2].iMatId})
                       .toString()),
          QStringLiteral("viene dal docente %1, che non insegna la materia").arg(otherTeacher)})
        EXPECT_TRUE(log.contains(line)) << line.toStdString();
    EXPECT_TRUE(log.contains("  classe: ") && log.contains("  Materia: "));
    EXPECT_TRUE(log.endsWith("recuperi: righe aggiunte 0, cambiate 2, cancellate 0"));

    const QString was = "1|2010-07-01|1";
    EXPECT_EQ(stored(), (QStringList{QStringLiteral("%1|2010-07-12|%2").arg(outcome).arg(kind),
                                     "||", "gone", was, was, was}));
    // No other record changed, none inserted or deleted, no received mark.
    QMap<int, QString> after = records();
    for (int i : {0, 1})
        before.remove(rec[i].iRecId), after.remove(rec[i].iRecId);
    EXPECT_EQ(after, before);
    EXPECT_EQ(receivedMarks(), marks);

    // Every class taken, none to leave out; the teacher's page not offered; OK kept it open.
    TfrqelDocReceiveCls *classes = window.frqelDocReceiveClasse_fm();
    EXPECT_EQ(classes->SelectedSourceRows().size(), classes->Data().RecordCount());
    EXPECT_FALSE(classes->grGrid()->isEnabled());
    EXPECT_FALSE(
        window.pcTipologia()->isTabVisible(window.pcTipologia()->indexOf(window.tsSingleDoc())));
    EXPECT_TRUE(window.ckForzata()->isHidden());
    EXPECT_TRUE(QFile::exists(folder + "recuperi.xml"));
    EXPECT_FALSE(QFile::exists(folder + "esirec.xml")); // only the results are unpacked
    window.buCancel()->click();
    EXPECT_FALSE(QFile::exists(folder + "recuperi.xml"));
    for (const char *other : {"altro.xml", "istituto.xml", "Docenti.xml"})
        EXPECT_EQ(readFileBytes(folder + other), "resta") << other;
}

TEST_F(DocReceiveRecuperiWeb, AFailedDownloadImportsNothing)
{
    sendPhase();
    TavrinWebMakeUpResults results;
    results.result(teacher, rec[0].iSitId, rec[0].iMatId, 2, QDate(2010, 7, 12), 2);
    TavrinWebMakeUpResults without = results, mixed = results;
    without.withoutPacket();
    mixed.rewritePacket([](const QByteArray &xml) { return mixEncodings(xml, "sAnaCognome"); });
    const QString comm = QString::fromUtf8(TTavrinWebConnection::kCommError);
    server.setSlowMs(3000);
    server.setOverCapBytes(kCap + 1);
    using A = Server::ArchiveFault;
    using F = Server::Fault;
    struct Case
    {
        const char *what;
        const TavrinWebMakeUpResults &script;
        F fault;
        A archive;
        int phaseTold;
        QString message;    // how the error begins
        bool opens = false; // the download is whole: the lists open, the window stays
    };
    const QList<Case> cases = {
        {"HTTP 500", results, F::Status500, A::None, phase, comm},
        {"slower than the time limit", results, F::Slow, A::None, phase, comm},
        {"over the cap", results, F::OverCapDeclared, A::None, phase, comm},
        {"cut short", results, F::CloseMidBody, A::None, phase, comm},
        {"truncated", results, F::None, A::Truncated, phase,
         "Il file ricevuto dal server non è un archivio valido."},
        {"no recuperi.xml", without, F::None, A::None, phase,
         "Il file ricevuto dal server non contiene i dati dei recuperi (recuperi.xml)"},
        {"no phase told", results, F::None, A::None, 0,
         "Selezionare la fase di recupero da raccogliere."},
        {"mixed encodings", mixed, F::None, A::None, phase,
         "Il file " + QDir::toNativeSeparators(folder + "recuperi.xml") +
             " non è un pacchetto dati valido",
         true},
    };
    const QStringList before = classTablesSnapshot();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A packet of an earlier download must never be read again.
        writeFileBytes(folder + "recuperi.xml", "stale");
        c.script.installOn(server);
        server.setArchiveFault(c.archive);
        server.setFault(c.fault, "scarica.php");
        const int asked = int(server.requestsTo("RichiestaExportRec.php").size());
        TfmqelDocReceiveRecuperiWeb window;
        const QStringList shown = collectInWindow(window, c.phaseTold);
        // A whole download asks first, then tells.
        ASSERT_EQ(shown.size(), 2 + c.opens) << shown.join('\n').toStdString();
        EXPECT_TRUE(shown[c.opens].startsWith(c.message)) << shown[c.opens].toStdString();
        EXPECT_EQ(window.frqelDocReceiveClasse_fm()->IsOpen(), c.opens);
        EXPECT_EQ(QFile::exists(folder + "recuperi.xml"), c.opens);
        EXPECT_EQ(int(server.requestsTo("RichiestaExportRec.php").size()),
                  asked + (c.phaseTold ? 1 : 0));
        EXPECT_EQ(classTablesSnapshot(), before);
        // With nothing to collect the window ends there, after its message.
        QCoreApplication::processEvents();
        EXPECT_EQ(window.result(), c.opens ? 0 : int(mrCancel));
    }
}

// The phases of the working year to choose from; none in the year, and the command refuses
// before the server is asked anything.
TEST_F(DocReceiveRecuperiWeb, PhaseDialogAndItsEmptyList)
{
    {
        TfmqelSelectFaseRecupero dialog;
        ASSERT_EQ(dialog.cbFaseRec()->count(), 2);
        EXPECT_EQ(dialog.cbFaseRec()->itemText(0), "1a fase");
        EXPECT_EQ(dialog.GetFaseRecId(), 1);
        dialog.cbFaseRec()->setCurrentIndex(1);
        EXPECT_EQ(dialog.GetFaseRecId(), 2);
    }
    TVxWorkingContext::setSchoolYear(
        scalar("SELECT MAX(iAnsId) + 1 FROM TAns_AnniScolast").toInt());
    {
        TfmqelSelectFaseRecupero dialog;
        EXPECT_EQ(dialog.cbFaseRec()->count(), 0);
        EXPECT_EQ(dialog.GetFaseRecId(), 0);
    }
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrOk));
    EXPECT_FALSE(dmqelActivations->Item("xafReceiveRecuperiDocWeb")->Execute());
    EXPECT_EQ(DialogSeam::shownTexts().last(), "Selezionare la fase di recupero da raccogliere.");
    EXPECT_TRUE(server.requests().isEmpty());
}

} // namespace
