#include "exchange/qelfdocreceiveweb.h"
#include "exchange/qelfdocsendweb.h"
#include "exchange/qelrdocreceivecls.h"
#include "exchange/qelrdocreceivesingleweb.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebcollect.h"
#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "platform/lockwait.h"
#include "platform/maindir.h"
#include "platform/sleep.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qelpargen.h"
#include "tests/exchange/tavrinwebfixture.h"
#include "tests/support/classtables.h"
#include "tests/support/otheroffice.h"
#include "tests/support/runningprogram.h"
#include "tests/support/tavrinwebserver.h"
#include "tests/support/tavrinwebteachers.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace {

using Server = TavrinWebTestServer;
constexpr int kMissing = 999999;

// Every row of the tables a collection writes, one text each.
QSet<QString> collectedTables()
{
    static const char *const selects[] = {
        "SELECT 'vtp', iSitId, iClsMatCmpId, iPrpScaLivId FROM TVtp_Proposti",
        "SELECT 'tas', iSitId, iClsMatCmpId, iScaLivId FROM TTas_Tassonomie",
        "SELECT 'ass', iSitId, iClsSesMatId, iAssOre FROM TAss_Assenze",
        "SELECT 'aiu', iSitId, iClsSesMatId, sAiuVal FROM TAiu_Aiuti",
        "SELECT 'not', iSitId, iClsSesMatId, dNotData, bNotNota FROM TNot_Note",
        "SELECT 'deb', iSitId, iMatId, iDesDedId, dDebVer, bDebNota FROM TDeb_Debiti",
        "SELECT 'cno', iClsSesMatId, iAnaId, iCnoOre, bCnoNota FROM TCno_ClassiNoteOre"};
    QSet<QString> rows;
    for (const char *sql : selects) {
        QSqlQuery q = runSql(QString::fromLatin1(sql));
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i)
                values << q.value(i).toString().trimmed();
            rows << values.join('|');
        }
    }
    return rows;
}

QStringList sorted(const QSet<QString> &rows)
{
    QStringList list(rows.cbegin(), rows.cend());
    list.sort();
    return list;
}

// Selects the class frame's rows of the classes, and only those.
void selectClasses(TfrqelDocReceiveCls *frame, const QList<int> &classes)
{
    frame->ClearSelection();
    const int id = frame->Data().FindField("iClsId")->Index();
    QItemSelectionModel *selection = frame->grGrid()->selectionModel();
    for (int row = 0; row < frame->VisibleRowCount(); ++row)
        if (classes.contains(frame->Data().Value(frame->SourceRowAt(row), id).toInt()))
            selection->select(frame->grGrid()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// One class of the working session with three of its pupils, a subject with two components and
// two more subjects, a subject of another class, a teacher and a level; packets are written
// with these ids and read back.
class DocReceiveWeb : public WebServiceProgram
{
protected:
    void SetUp() override
    {
        WebServiceProgram::SetUp();
        QDir().mkpath(folder);
        for (TVxParInteger *f : {&dmqelParGen->xpiVtp, &dmqelParGen->xpiTas, &dmqelParGen->xpiAss,
                                 &dmqelParGen->xpiAiu, &dmqelParGen->xpiNot, &dmqelParGen->xpiDeb})
            f->SetValore(1);
        w = TVxWorkingContext::session();
        ses = scalar("SELECT iSesId FROM TAnsSesDwg WHERE iAnsSesDwgId = ?", {w}).toInt();
        QSqlQuery q = runSql(
            "SELECT FIRST 1 CS.iClsSesId, CS.iClsId, P.iPstId FROM TClsSes CS JOIN TClsPst P ON "
            "P.iClsId = CS.iClsId WHERE CS.iAnsSesDwgId = ? AND (SELECT COUNT(*) FROM "
            "TSit_Situazioni S WHERE S.iClsPstId = P.iClsPstId) >= 3 ORDER BY CS.iClsId",
            {w});
        q.next();
        cs = q.value(0).toInt(), cls = q.value(1).toInt(), pst = q.value(2).toInt();
        for (int i = 0; i < 3; ++i)
            sit << scalar("SELECT FIRST 1 SKIP " + QString::number(i) +
                              " S.iSitId FROM TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = "
                              "S.iClsPstId WHERE P.iClsId = ? AND P.iPstId = ? ORDER BY S.iSitId",
                          {cls, pst})
                       .toInt();
        for (int i = 0; i < 3; ++i) {
            QSqlQuery m = runSql(
                "SELECT FIRST 1 SKIP " + QString::number(i) +
                    " M.iClsSesMatId, R.iMatId FROM TClsSesMat M JOIN TMatRma R ON R.iMatRmaId = "
                    "M.iMatRmaId WHERE M.iClsSesId = ? AND (SELECT COUNT(*) FROM TClsMatCmp C "
                    "JOIN TCmpSca V ON V.iCmpScaId = C.iCmpScaId WHERE C.iClsSesMatId = "
                    "M.iClsSesMatId AND V.iCmpScaTass = 0) >= 2 ORDER BY M.iClsSesMatId",
                {cs});
            m.next();
            csm << m.value(0).toInt();
            mat << m.value(1).toInt();
        }
        // Two vote components, which take proposals.
        const QString votes = "FROM TClsMatCmp C JOIN TCmpSca V ON V.iCmpScaId = C.iCmpScaId "
                              "WHERE C.iClsSesMatId = ? AND V.iCmpScaTass = 0";
        cmp1 = scalar("SELECT MIN(C.iClsMatCmpId) " + votes, {csm[0]}).toInt();
        cmp2 = scalar("SELECT MAX(C.iClsMatCmpId) " + votes, {csm[0]}).toInt();
        otherCsm = scalar("SELECT FIRST 1 M.iClsSesMatId FROM TClsSesMat M JOIN TClsSes CS ON "
                          "CS.iClsSesId = M.iClsSesId WHERE CS.iClsId <> ? AND CS.iAnsSesDwgId = ?",
                          {cls, w})
                       .toInt();
        otherYearCsm = scalar("SELECT FIRST 1 M.iClsSesMatId FROM TClsSesMat M JOIN TClsSes CS ON "
                              "CS.iClsSesId = M.iClsSesId JOIN TAnsSesDwg A ON A.iAnsSesDwgId = "
                              "CS.iAnsSesDwgId JOIN TAnsSesDwg W ON W.iSesId = A.iSesId AND "
                              "W.iAnsId <> A.iAnsId WHERE W.iAnsSesDwgId = ?",
                              {w})
                           .toInt();
        teacher = scalar("SELECT FIRST 1 C.iAnaId FROM TAai_AnaAppInvio A JOIN TAnaCag C ON "
                         "C.iAnaCagId = A.iAnaCagId WHERE A.iModId = 5 AND A.iAnsSesDwgId = ?",
                         {w})
                      .toInt();
        // A proposal of the second component's scale.
        level = scalar("SELECT MIN(P.iPrpScaLivId) FROM TPrpScaLiv P JOIN TScaLiv L ON "
                       "L.iScaLivId = P.iScaLivId JOIN TCmpSca V ON V.iScaId = L.iScaId JOIN "
                       "TClsMatCmp C ON C.iCmpScaId = V.iCmpScaId WHERE C.iClsMatCmpId = ?",
                       {cmp2})
                    .toInt();
        // The teacher teaches the class's three subjects: the collection by class finds him.
        for (int i = 0; i < 3; ++i)
            teach(900001 + i, mat[i]);
        for (const char *t :
             {"TVtp_Proposti", "TTas_Tassonomie", "TAss_Assenze", "TAiu_Aiuti", "TNot_Note"})
            runSql(QStringLiteral("DELETE FROM %1 WHERE iSitId IN (?, ?, ?)").arg(t),
                   {sit[0], sit[1], sit[2]});
    }

    // The teacher teaches the subject in the class: a row of this id unless he already does.
    void teach(int id, int subject)
    {
        runSql("INSERT INTO TClsMatAna (iClsMatAnaId, iClsId, iMatId, iAnaId) SELECT ?, ?, ?, ? "
               "FROM RDB$DATABASE WHERE NOT EXISTS (SELECT 1 FROM TClsMatAna WHERE iClsId = ? "
               "AND iMatId = ? AND iAnaId = ?)",
               {id, cls, subject, teacher, cls, subject, teacher});
    }

    static void writePacket(const QString &path, const QStringList &columns,
                            const QList<QVariantList> &rows)
    {
        TClientDataSet ds;
        for (const QString &c : columns)
            ds.AddFieldDef(c.mid(1), c.startsWith(QLatin1Char('i')) ? ftInteger : ftString, 0);
        ds.CreateDataSet();
        for (const QVariantList &row : rows) {
            ds.Append();
            for (int i = 0; i < row.size(); ++i)
                ds.Fields(i)->setValue(row.at(i));
            ds.Post();
        }
        ds.SaveToFile(path, dfXML);
    }

    // voti.xml rows: sit, iClsSesMatId, cmp vtp1, level vtp1, cmp vtp2, level vtp2, hours, aid,
    // note date, note text, and when given cmp tas1, level tas1. Column names carry their type
    // in front (i: integer, s: text).
    void writeVotes(const QList<QVariantList> &rows, const QString &dir)
    {
        QList<QVariantList> full;
        for (const QVariantList &r : rows)
            full << (QVariantList{teacher, cls, pst, mat[0]} + r +
                     QVariantList(12 - r.size(), QVariant()));
        writePacket(dir + "voti.xml",
                    {"iiDocId", "iiClsId", "iiPstId", "iiMatId", "iiSitId", "iiClsSesMatId",
                     "iiClsMatCmpId_vtp1", "iiScaLivId_vtp1", "iiClsMatCmpId_vtp2",
                     "iiScaLivId_vtp2", "iiAssOre", "ssAiuVal", "sdNotData", "sbNotNota",
                     "iiClsMatCmpId_tas1", "iiScaLivId_tas1"},
                    full);
        // The other packets of the download, with nothing to collect.
        writePacket(dir + "debiti.xml",
                    {"iiDocId", "iiClsId", "iiSitId", "iiMatId", "iiDesDedId", "sbDebNota"}, {});
        writePacket(dir + "classenote.xml",
                    {"iiDocId", "iiAnsSesDwgId", "iiClsId", "iiMatId", "iiClnOre", "sbClnNota"},
                    {});
    }

    // voti.xml with absence hours only, of the first subject unless told: {pupil, hours} rows.
    void writeHours(const QList<std::pair<int, int>> &rows, int subject = 0)
    {
        const QVariant n;
        QList<QVariantList> full;
        for (const auto &[pupil, hours] : rows)
            full << QVariantList{pupil, subject ? subject : csm[0], n, n, n, n, hours, n, n, n};
        writeVotes(full, folder);
    }

    // The database refuses 13 hours of absence, and the archive holds voti.xml.
    void refuseThirteenHours()
    {
        server.setDownload(zipOf(QelWebCollection::PacketNames()));
        runSql("CREATE EXCEPTION E_ORE13 'tredici ore rifiutate'");
        runSql("CREATE TRIGGER T_ORE13 FOR TAss_Assenze BEFORE INSERT AS BEGIN IF (NEW.iAssOre = "
               "13) THEN EXCEPTION E_ORE13; END");
    }

    QVariant at(const char *sql, const QVariantList &values = {})
    {
        return scalar(QString::fromLatin1(sql), values);
    }

    QStringList collect(bool forced = false)
    {
        QelWebCollection c(folder, w);
        c.SetFlags(QelWebCollection::ReadFlags());
        c.SetClsFilter(QStringLiteral("(iClsId = %1)").arg(cls));
        c.SetForced(forced);
        QStringList log;
        c.ImportTeacherWebData(teacher, &log);
        summary = c.Summary();
        return log;
    }

    QByteArray zipOf(const QStringList &names)
    {
        QList<QPair<QByteArray, QByteArray>> entries;
        for (const QString &n : names)
            entries.append({n.toUtf8(), readFileBytes(folder + n.toLower())});
        return Server::zipBytes(entries);
    }

    // A new download, then the collection of the teacher alone (the single page) or of the
    // classes (none: every class); the texts the window showed.
    // beforeOk runs once the window has read its lists, right before its OK.
    QStringList collectInWindow(bool alone, const QList<int> &classes = {},
                                const std::function<void()> &beforeOk = {})
    {
        queuePassword(kPassword);
        TfmqelDocReceiveWeb window;
        window.FormShow();
        if (alone) {
            window.pcTipologia()->setCurrentWidget(window.tsSingleDoc());
            auto *single = window.frqelDocReceiveSingle_fm();
            for (int row = 0; row < single->Teachers().RowCount(); ++row)
                if (single->Teachers().Value(row, "iAnaId").toInt() == teacher)
                    single->SetCurrentSourceRow(row);
        } else if (classes.isEmpty()) {
            window.frqelDocReceiveClasse_fm()->SelectAllRows();
        } else {
            selectClasses(window.frqelDocReceiveClasse_fm(), classes);
        }
        DialogSeam::clearShown();
        DialogSeam::queueAnswer(mrYes);
        if (beforeOk)
            beforeOk();
        window.buOk()->click();
        return messages() << window.frqelDocReceiveClasse_fm()->meLog()->toPlainText();
    }

    int w = 0, ses = 0, cs = 0, cls = 0, pst = 0, cmp1 = 0, cmp2 = 0, otherCsm = 0,
        otherYearCsm = 0, teacher = 0, level = 0;
    QList<int> sit, csm, mat;
    QStringList summary; // of the last collect()
};

TEST_F(DocReceiveWeb, ImportRulesOnTheDatabase)
{
    runSql("INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, iPrpScaLivId) VALUES "
           "(900001, ?, ?, ?)",
           {cmp1, sit[1], level});
    runSql("DELETE FROM TDeb_Debiti WHERE iSitId IN (?, ?)", {sit[0], sit[1]});
    // Debts of the year before: one the teacher verifies, one of a subject he does not teach
    // that another verifies.
    const QVariant lastYear = at("SELECT MAX(Y.dAnsVextoInizio) FROM TAns_AnniScolast Y WHERE "
                                 "Y.dAnsVextoInizio < (SELECT A.dAnsVextoInizio FROM "
                                 "TAns_AnniScolast A JOIN TAnsSesDwg D ON D.iAnsId = A.iAnsId "
                                 "WHERE D.iAnsSesDwgId = ?)",
                                 {w});
    const int notHis = at("SELECT MIN(iMatId) FROM TMat_Materie M WHERE NOT EXISTS (SELECT 1 FROM "
                          "TClsMatAna A WHERE A.iMatId = M.iMatId AND A.iClsId = ? AND A.iAnaId = "
                          "?)",
                          {cls, teacher})
                           .toInt();
    runSql("INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, iDesDedId, bDebNota, iAnaId_Ver, "
           "dStart) SELECT 900001, ?, ?, MIN(iDesDedId), 'vecchia', ?, ? FROM TDesDed",
           {sit[0], mat[0], teacher, lastYear});
    runSql("INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, bDebNota, dStart) VALUES (900002, "
           "?, ?, 'altrui', ?)",
           {sit[2], notHis, lastYear});
    runSql("DELETE FROM TCno_ClassiNoteOre WHERE iAnaId = ?", {teacher});
    for (int i : {0, 1})
        runSql("INSERT INTO TCno_ClassiNoteOre VALUES (?, ?, ?, 4, 'prima')",
               {900001 + i, csm[i], teacher});
    const QVariant null;
    // A pupil of another class, and a component of another class's subject.
    const int otherSit = at("SELECT FIRST 1 S.iSitId FROM TSit_Situazioni S JOIN TClsPst P ON "
                            "P.iClsPstId = S.iClsPstId JOIN TClsSes CS ON CS.iClsId = P.iClsId "
                            "WHERE CS.iAnsSesDwgId = ? AND P.iClsId <> ?",
                            {w, cls})
                             .toInt();
    const int otherCmp =
        at("SELECT MIN(iClsMatCmpId) FROM TClsMatCmp WHERE iClsSesMatId = ?", {otherCsm}).toInt();
    // A taxonomy component of the class, and a level of another scale.
    const int taxonomy = at("SELECT MIN(C.iClsMatCmpId) FROM TClsMatCmp C JOIN TCmpSca V ON "
                            "V.iCmpScaId = C.iCmpScaId WHERE C.iClsSesMatId IN (?, ?, ?) AND "
                            "V.iCmpScaTass = 1",
                            {csm[0], csm[1], csm[2]})
                             .toInt();
    const int foreign = at("SELECT MIN(L.iScaLivId) FROM TScaLiv L WHERE L.iScaId <> (SELECT "
                           "V.iScaId FROM TCmpSca V JOIN TClsMatCmp C ON C.iCmpScaId = "
                           "V.iCmpScaId WHERE C.iClsMatCmpId = ?)",
                           {taxonomy})
                            .toInt();
    ASSERT_NE(taxonomy, 0);
    // A fifth subject of the class (after a fourth), which he does not teach.
    QSqlQuery more = runSql("SELECT FIRST 2 R.iMatId, M.iClsSesMatId FROM TClsSesMat M JOIN "
                            "TMatRma R ON R.iMatRmaId = M.iMatRmaId WHERE M.iClsSesId = ? AND "
                            "R.iMatId NOT IN (?, ?, ?) ORDER BY R.iMatId",
                            {cs, mat[0], mat[1], mat[2]});
    ASSERT_TRUE(more.next() && more.next());
    const int fifth = more.value(0).toInt(), fifthSubject = more.value(1).toInt();
    more.finish();
    runSql("DELETE FROM TClsMatAna WHERE iClsId = ? AND iMatId = ?", {cls, fifth});
    runSql("INSERT INTO TClsMatAna (iClsMatAnaId, iClsId, iMatId, iAnaId) SELECT 900012, ?, ?, "
           "MAX(iAnaId) FROM TClsMatAna WHERE iAnaId <> ?",
           {cls, fifth, teacher});
    const QString otherName = at("SELECT TRIM(A.sAnaCognome) || ' ' || TRIM(A.sAnaNome) FROM "
                                 "TSit_Situazioni S JOIN TAna_Anagrafiche A ON A.iAnaId = S.iAnaId "
                                 "WHERE S.iSitId = ?",
                                 {otherSit})
                                  .toString();
    const qint64 wrapped = (qint64(1) << 32);
    writeVotes({{sit[0], csm[0], null, null, cmp2, level, 0, "", "", "con data vuota"},
                {sit[1], csm[0], cmp1, null, null, null, 5, "X", "", ""},
                {sit[2], csm[0], null, null, null, null, 3, null, "1/2/2009", "data errata"},
                {sit[0], otherCsm, null, null, null, null, 7, null, null, null},
                {sit[1], otherYearCsm, null, null, null, null, 8, null, null, null},
                {otherSit, csm[0], cmp1, level, null, null, 9, null, null, null},
                {sit[2], csm[0], otherCmp, level, null, null, null, null, null, null},
                // Values the grid would refuse: a proposal and a taxonomy not of their
                // components' scales, hours below 0 and beyond four digits, an aid too long.
                {sit[2], csm[1], cmp1, 999999, null, null, -3, null, null, null, taxonomy, foreign},
                {sit[1], csm[1], null, null, null, null, 99999, "ABCDE", null, null},
                // A proposal on a taxonomy component, which the proposals' grid has no column for.
                {sit[1], csm[2], taxonomy, level, null, null, null, null, null, null},
                // Twice the same (counted once), an aid of three characters beyond the first
                // plane (three for the database), a subject's id beyond the database's (it would
                // wrap into csm[0]'s).
                {sit[2], csm[2], null, null, null, null, 4, "R", null, null},
                {sit[2], csm[2], null, null, null, null, 4, "R", null, null},
                {sit[1], csm[2], null, null, null, null, null, "\U0001F600\U0001F600\U0001F600",
                 null, null},
                {sit[0], wrapped + csm[0], null, null, null, null, 2, null, null, null},
                // The class's subject another teacher teaches.
                {sit[1], fifthSubject, null, null, null, null, 5, null, null, null}},
               folder);
    writePacket(folder + "debiti.xml",
                {"iiDocId", "iiClsId", "iiSitId", "iiMatId", "iiDesDedId", "sbDebNota"},
                {{teacher, cls, sit[0], mat[0], null, null},
                 // Pupil sit[0]'s debt under a key that wraps into it, another teacher's debt.
                 {teacher, cls, wrapped + sit[0], mat[0], 1, "avvolto"},
                 {teacher, cls, sit[2], notHis, 1, "non suo"}});
    writePacket(folder + "classenote.xml",
                {"iiDocId", "iiAnsSesDwgId", "iiClsId", "iiMatId", "iiClnOre", "sbClnNota"},
                {{teacher, ses, cls, mat[0], 0, ""},
                 {teacher, ses, cls, mat[1], 0, "solo testo"},
                 {teacher, ses, cls, mat[2], 2, null},
                 {teacher, ses + 1, cls, mat[0], 9, "altra sessione"},
                 // A subject of the class he does not teach.
                 {teacher, ses, cls, fifth, 3, "non sua"}});

    const QStringList log = collect();
    ASSERT_EQ(log.filter("***ERRORE***").size(), 16) << log.join('\n').toStdString();
    EXPECT_EQ(log.filter("il livello").size(), 2);
    EXPECT_EQ(log.filter("le ore di assenza").size(), 2);
    EXPECT_EQ(log.filter("l'aiuto \"ABCDE\" non è valido").size(), 1);
    EXPECT_TRUE(log.filter("ATTENZIONE").isEmpty());
    // Each cause said once, as it is: the pupil who left the class by name, the component by its
    // name, the keys beyond the database's, the repetition, the debts and class notes not his.
    const auto says = [&log](const QString &text) { return log.filter(text).size(); };
    EXPECT_EQ(says(QStringLiteral("%1 (situazione %2), ").arg(otherName).arg(otherSit)), 1);
    EXPECT_EQ(says("l'alunno non è nella classe"), 1);
    EXPECT_EQ(says(QString::number(otherSit)), 1);
    EXPECT_EQ(says("\" non prende voti proposti."), 1);
    EXPECT_EQ(says(QStringLiteral("iClsSesMatId vale %1, un numero").arg(wrapped + csm[0])), 1);
    EXPECT_EQ(says(QStringLiteral("iSitId vale %1, un numero").arg(wrapped + sit[0])), 1);
    EXPECT_EQ(says("il debito non è tra quelli che il docente verifica o delle sue materie"), 1);
    EXPECT_EQ(says(QStringLiteral("è della sessione %1, non di quella di lavoro").arg(ses + 1)), 1);
    EXPECT_EQ(says("il docente non ha la materia nella classe"), 1);
    // Only what changed is counted: a repeated row once, the class note deleted and updated.
    EXPECT_EQ(summary, (QStringList{"aiuti: righe aggiunte 3, cambiate 0, cancellate 0",
                                    "assenze: righe aggiunte 3, cambiate 0, cancellate 0",
                                    "note: righe aggiunte 2, cambiate 0, cancellate 0",
                                    "note di classe: righe aggiunte 1, cambiate 1, cancellate 1",
                                    "verifiche dei debiti: righe aggiunte 0, cambiate 1, "
                                    "cancellate 0",
                                    "voti proposti: righe aggiunte 1, cambiate 0, cancellate 0"}));

    struct Case
    {
        const char *what;
        const char *sql;
        QVariantList values;
        QVariant expected;
    };
    const QList<Case> cases = {
        {"slot 1 null: component 1 untouched",
         "SELECT COUNT(*) FROM TVtp_Proposti WHERE iSitId = ? AND iClsMatCmpId = ?",
         {sit[0], cmp1},
         0},
        {"slot 2 written",
         "SELECT iPrpScaLivId FROM TVtp_Proposti WHERE iSitId = ? AND "
         "iClsMatCmpId = ?",
         {sit[0], cmp2},
         level},
        {"null level keeps the stored one",
         "SELECT iVtpId FROM TVtp_Proposti WHERE iSitId = ? AND "
         "iClsMatCmpId = ?",
         {sit[1], cmp1},
         900001},
        {"0 hours and an empty aid write nothing",
         "SELECT (SELECT COUNT(*) FROM TAss_Assenze WHERE "
         "iSitId = ?) + (SELECT COUNT(*) FROM TAiu_Aiuti WHERE iSitId = ?) FROM RDB$DATABASE",
         {sit[0], sit[0]},
         0},
        {"hours written",
         "SELECT iAssOre FROM TAss_Assenze WHERE iSitId = ? AND iClsSesMatId = ?",
         {sit[1], csm[0]},
         5},
        {"empty date with a text",
         "SELECT COUNT(*) FROM TNot_Note WHERE iSitId = ? AND dNotData "
         "IS NULL AND bNotNota = 'con data vuota'",
         {sit[0]},
         1},
        {"both empty write nothing",
         "SELECT COUNT(*) FROM TNot_Note WHERE iSitId = ?",
         {sit[1]},
         0},
        {"1/2/2009 gives a NULL date",
         "SELECT COUNT(*) FROM TNot_Note WHERE iSitId = ? AND dNotData IS NULL",
         {sit[2]},
         1},
        {"another class's or year's subject changes nothing",
         "SELECT COUNT(*) FROM TAss_Assenze "
         "WHERE iClsSesMatId IN (?, ?) AND iSitId IN (?, ?)",
         {otherCsm, otherYearCsm, sit[0], sit[1]},
         0},
        {"another class's pupil changes nothing",
         "SELECT (SELECT COUNT(*) FROM TVtp_Proposti WHERE "
         "iSitId = ? AND iClsMatCmpId = ?) + (SELECT COUNT(*) FROM TAss_Assenze WHERE iSitId = ? "
         "AND iClsSesMatId = ?) FROM RDB$DATABASE",
         {otherSit, cmp1, otherSit, csm[0]},
         0},
        {"another class's component changes nothing",
         "SELECT COUNT(*) FROM TVtp_Proposti WHERE iClsMatCmpId = ? AND iSitId = ?",
         {otherCmp, sit[2]},
         0},
        {"a row wrapping into another subject writes nothing",
         "SELECT COUNT(*) FROM TAss_Assenze WHERE iSitId = ? AND iClsSesMatId IN (?, ?)",
         {sit[0], csm[1], csm[0]},
         0},
        {"a row repeated the same is written once",
         "SELECT COUNT(*) || '|' || MIN(iAssOre) FROM TAss_Assenze WHERE iSitId = ? AND "
         "iClsSesMatId = ?",
         {sit[2], csm[2]},
         "1|4"},
        {"three characters beyond the first plane make an aid",
         "SELECT sAiuVal FROM TAiu_Aiuti WHERE iSitId = ? AND iClsSesMatId = ?",
         {sit[1], csm[2]},
         QString::fromUtf8("\U0001F600\U0001F600\U0001F600")},
        {"another teacher's debt, or one a key wraps into, keeps its verification",
         "SELECT LIST(COALESCE(bDebNota, '-'), ',') FROM TDeb_Debiti WHERE iDebId IN (900001, "
         "900002)",
         {},
         "-,altrui"},
        {"a subject of his class that another teacher teaches changes nothing",
         "SELECT COUNT(*) FROM TAss_Assenze WHERE iSitId = ? AND iClsSesMatId = ?",
         {sit[1], fifthSubject},
         0},
        {"class notes of a subject not his are not written",
         "SELECT COUNT(*) FROM TCno_ClassiNoteOre C JOIN TClsSesMat M ON M.iClsSesMatId = "
         "C.iClsSesMatId JOIN TMatRma R ON R.iMatRmaId = M.iMatRmaId WHERE M.iClsSesId = ? AND "
         "R.iMatId = ? AND C.iAnaId = ?",
         {cs, fifth, teacher},
         0},
        {"values the grid refuses change nothing",
         "SELECT (SELECT COUNT(*) FROM TVtp_Proposti "
         "WHERE iSitId = ? AND iClsMatCmpId = ?) + (SELECT COUNT(*) FROM TTas_Tassonomie WHERE "
         "iSitId = ?) + (SELECT COUNT(*) FROM TAss_Assenze WHERE iClsSesMatId = ? AND iSitId IN "
         "(?, ?)) + (SELECT COUNT(*) FROM TAiu_Aiuti WHERE iClsSesMatId = ? AND iSitId = ?) FROM "
         "RDB$DATABASE",
         {sit[2], cmp1, sit[2], csm[1], sit[1], sit[2], csm[1], sit[1]},
         0},
        {"a null outcome clears the stored one",
         "SELECT COUNT(*) FROM TDeb_Debiti WHERE iDebId = "
         "900001 AND iDesDedId IS NULL AND bDebNota IS NULL",
         {},
         1},
        {"class notes deleted, the other session's ignored",
         "SELECT COUNT(*) FROM "
         "TCno_ClassiNoteOre WHERE iAnaId = ? AND iClsSesMatId = ?",
         {teacher, csm[0]},
         0},
        {"class notes updated",
         "SELECT COUNT(*) FROM TCno_ClassiNoteOre WHERE iCnoId = 900002 AND "
         "iCnoOre = 0 AND bCnoNota = 'solo testo'",
         {},
         1},
        {"class notes inserted",
         "SELECT SUM(iCnoOre) FROM TCno_ClassiNoteOre WHERE iAnaId = ? AND "
         "iClsSesMatId = ?",
         {teacher, csm[2]},
         2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(at(c.sql, c.values).toString(), c.expected.toString()) << c.what;

    // A transaction kept running on the connection: every value gets its line, none is lost.
    TVxTransaction other(qqoVxGlobConn());
    ASSERT_TRUE(other.StartTransaction());
    EXPECT_GE(collect().filter("***ERRORE*** Un'altra transazione").size(), 4);
}

// 2C's laboratory is taught by two teachers, each with a class note: the one who sends an empty
// note deletes his own.
TEST_F(DocReceiveWeb, AnEmptyClassNoteLeavesTheCoTeachersNote)
{
    const auto notes = [this] { // (teacher, note) of 2C's laboratory
        std::vector<std::pair<int, int>> rows;
        for (QSqlQuery q = runSql("SELECT C.iAnaId, C.iCnoId FROM TCno_ClassiNoteOre C JOIN "
                                  "TClsSesMat M ON M.iClsSesMatId = C.iClsSesMatId JOIN TClsSes CS "
                                  "ON CS.iClsSesId = M.iClsSesId WHERE CS.iClsId = 39022 AND "
                                  "CS.iAnsSesDwgId = ? AND M.iMatRmaId = 11 ORDER BY C.iCnoId",
                                  {w});
             q.next();)
            rows.emplace_back(q.value(0).toInt(), q.value(1).toInt());
        return rows;
    };
    const auto both = notes();
    ASSERT_EQ(both.size(), 2u);
    teacher = both[0].first, cls = 39022;
    writeVotes({}, folder);
    writePacket(folder + "classenote.xml",
                {"iiDocId", "iiAnsSesDwgId", "iiClsId", "iiMatId", "iiClnOre", "sbClnNota"},
                {{teacher, ses, cls, 11, 0, ""}});
    EXPECT_TRUE(collect().filter("***ERRORE***").isEmpty());
    EXPECT_EQ(notes(), decltype(both){both[1]});
}

TEST_F(DocReceiveWeb, ForcedCollectionMapsOnlyOneCandidate)
{
    struct Case
    {
        bool forced;
        bool twoCandidates;
        int errors;
        int written;
    };
    for (const Case &c :
         {Case{false, false, 1, 0}, Case{true, false, 0, 1}, Case{true, true, 1, 0}}) {
        runSql("DELETE FROM TAss_Assenze WHERE iSitId = ?", {sit[0]});
        runSql("DELETE FROM TClsSesMat WHERE iClsSesMatId = 900001");
        runSql("DELETE FROM TMatRma WHERE iMatRmaId = 901");
        if (c.twoCandidates) {
            runSql("INSERT INTO TMatRma (iMatRmaId, iMatId) VALUES (901, ?)", {mat[0]});
            runSql("INSERT INTO TClsSesMat VALUES (900001, ?, 901)", {cs});
        }
        writeHours({{sit[0], 4}}, kMissing);
        // The mapping is told where it is made; an id not there is otherwise refused as such.
        const QStringList log = collect(c.forced);
        EXPECT_EQ(log.filter("la configurazione della sessione è cambiata dopo l'invio").size(),
                  c.written)
            << c.forced << c.twoCandidates;
        EXPECT_EQ(log.filter(QStringLiteral("iClsSesMatId %1 non c'è nell'archivio").arg(kMissing))
                      .size(),
                  c.errors);
        EXPECT_EQ(log.filter("***ERRORE***").size(), c.errors) << log.join('\n').toStdString();
        EXPECT_EQ(at("SELECT COUNT(*) FROM TAss_Assenze WHERE iSitId = ? AND iClsSesMatId = ?",
                     {sit[0], csm[0]})
                      .toInt(),
                  c.written);
    }
}

TEST_F(DocReceiveWeb, WindowDownloadsAndCollects)
{
    writeHours({{sit[0], 6}, {sit[1], 2}});
    const QByteArray good = zipOf({"VOTI.XML"});
    QFile::remove(folder + "voti.xml");
    writeFileBytes(folder + "Docenti.xml", "cartelle");
    const QString comm = QString::fromUtf8(TTavrinWebConnection::kCommError);
    const QString invalid = QStringLiteral("Il file ricevuto dal server non è un archivio valido.");
    const QString noVotes = QStringLiteral("Il file ricevuto dal server non contiene i dati");
    constexpr qint64 kCap = 64 * 1024;
    server.setSlowMs(3000);
    server.setOverCapBytes(kCap + 1);
    struct Case
    {
        const char *what;
        QByteArray zip;
        Server::Fault fault;
        Server::ArchiveFault archive;
        QString message;     // how the error begins; none when the lists open
        bool cancel = false; // "Annulla" pressed while the download trickles
    };
    using A = Server::ArchiveFault;
    using F = Server::Fault;
    const QString cancelled = QStringLiteral("Procedura annullata dall'utente.");
    const QList<Case> cases = {
        {"HTTP 500", good, F::Status500, A::None,
         comm + "Il server ha risposto con l'errore HTTP "
                "500, errore interno del server"},
        {"slower than the time limit", good, F::Slow, A::None, comm},
        {"trickling past the overall limit", good, F::Trickle, A::None,
         comm + "Il trasferimento con il server è troppo lento: in 1,5 secondi"},
        {"Annulla while it trickles", good, F::Trickle, A::None, cancelled, true},
        {"Annulla in a pause for the export", good, F::None, A::None, cancelled, true},
        {"over the cap", good, F::OverCapDeclared, A::None, comm},
        {"cut short", good, F::CloseMidBody, A::None, comm},
        {"truncated", good, F::None, A::Truncated, invalid},
        {"empty", good, F::None, A::Empty, invalid},
        {"entry leaving the folder", good, F::None, A::DotDotEntry, invalid},
        {"absolute entry", good, F::None, A::AbsoluteEntry, invalid},
        {"no voti.xml", Server::zipBytes({{"altro.xml", "x"}}), F::None, A::None, noVotes},
        {"entry in a sub-folder", good, F::None, A::SubFolderEntry, {}},
        {"capitals read", good, F::None, A::None, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A packet of an earlier download must never be read again.
        writeFileBytes(folder + "voti.xml", "stale");
        server.setDownload(c.zip);
        server.setArchiveFault(c.archive);
        server.setFault(c.fault, "scarica.php");
        // A byte every 0.2 s: never silent for the 2 s limit, ended by the 1.5 s one or by
        // "Annulla" half a second in.
        server.setSlowMs(c.fault == F::Trickle ? 200 : 3000);
        queuePassword(kPassword);
        DialogSeam::clearShown();
        TfmqelDocReceiveWeb window;
        window.SetWebTimeout(2000);
        window.SetWebTimeLimit(c.cancel ? 60000 : 1500);
        window.SetWebDownloadCap(kCap);
        const auto annulla = [] { fmVxWait->buAnnulla()->click(); };
        if (c.cancel && c.fault == F::Trickle)
            QTimer::singleShot(500, &window, annulla);
        sleeps.onSleep = [inPause = c.cancel && c.fault != F::Trickle, annulla](int) {
            if (inPause)
                annulla();
        };
        QElapsedTimer took;
        took.start();
        window.FormShow();
        EXPECT_LT(took.elapsed(), 6000);
        const bool opens = c.message.isEmpty();
        const QStringList shown = messages();
        EXPECT_EQ(shown.size(), opens ? 0 : 1);
        if (!opens && !shown.isEmpty()) {
            EXPECT_TRUE(shown.last().startsWith(c.message)) << shown.last().toStdString();
        }
        // The archive library's own English stays in the details.
        EXPECT_FALSE(shown.join('\n').contains(QRegularExpression("\\b(archive|zip file)\\b")))
            << shown.join('\n').toStdString();
        EXPECT_EQ(window.frqelDocReceiveClasse_fm()->IsOpen(), opens);
        EXPECT_EQ(QFile::exists(folder + "voti.xml"), opens);
        EXPECT_FALSE(QFile::exists(db.mainDir.path() + "voti.xml"));
        EXPECT_FALSE(QFile::exists("/tmp/voti.xml"));
        EXPECT_FALSE(QFile::exists(folder + "cartella"));
        if (!opens)
            continue;
        EXPECT_EQ(window.pcTipologia()->currentWidget(), window.tsClasse());
        window.frqelDocReceiveClasse_fm()->SelectAllRows();
        DialogSeam::queueAnswer(mrYes);
        window.buOk()->click();
        EXPECT_EQ(
            at("SELECT SUM(iAssOre) FROM TAss_Assenze WHERE iSitId IN (?, ?)", {sit[0], sit[1]})
                .toInt(),
            8);
        EXPECT_TRUE(
            window.frqelDocReceiveClasse_fm()->meLog()->toPlainText().contains("  Materia: "));
        window.buCancel()->click();
        EXPECT_FALSE(QFile::exists(folder + "voti.xml"));
        // The folder mode's list, in the same folder, is no packet of this collection.
        EXPECT_EQ(readFileBytes(folder + "Docenti.xml"), "cartelle");
    }
}

// Without a working session the service would be asked for session 0.
TEST_F(DocReceiveWeb, NoWorkingSessionAsksNothing)
{
    TVxWorkingContext::setSession(0);
    DialogSeam::clearShown();
    TfmqelDocReceiveWeb window;
    window.FormShow();
    EXPECT_EQ(messages(), QStringList{"Nessuna sessione di lavoro selezionata: impossibile "
                                      "ricevere i dati dal server."});
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_FALSE(window.frqelDocReceiveClasse_fm()->IsOpen());
}

// A teacher collected alone is marked received only when all he was asked for came back (a
// value refused: the test after); each packet missing is told, a packet of mixed encodings
// refused; the folder's other files stay.
TEST_F(DocReceiveWeb, SingleTeacherIsMarkedReceivedOnlyWhenAllCameBack)
{
    const QVariant n;
    writeFileBytes(folder + "Docenti.xml", "cartelle");
    const QStringList all = QelWebCollection::PacketNames();
    const auto download = [&](const QStringList &packets, bool mixed) {
        writeVotes({{sit[0], csm[0], n, n, n, n, 6, "X", n, n}}, folder);
        if (mixed)
            writeFileBytes(folder + "voti.xml",
                           mixEncodings(readFileBytes(folder + "voti.xml"), "sAiuVal"));
        server.setDownload(zipOf(packets));
    };
    const auto received = [&] {
        return at("SELECT A.iAaiRicevuto FROM TAai_AnaAppInvio A JOIN TAnaCag C ON C.iAnaCagId = "
                  "A.iAnaCagId WHERE C.iAnaId = ? AND A.iModId = 5 AND A.iAnsSesDwgId = ?",
                  {teacher, w})
            .toInt();
    };
    download(all, false);
    collectInWindow(true);
    struct Case
    {
        const char *what;
        QStringList packets;
        bool mixed;
        QString shown;
    } cases[] = {
        {"as downloaded", all, false, "Procedura completata."},
        {"debiti.xml missing",
         {all[0], all[2]},
         false,
         "***ERRORE*** Il file debiti.xml non è arrivato dal server"},
        {"classenote.xml missing",
         {all[0], all[1]},
         false,
         "***ERRORE*** Il file classenote.xml non è arrivato dal server"},
        {"mixed encodings", all, true,
         "Il file " + QDir::toNativeSeparators(folder + "voti.xml") +
             " non è un pacchetto dati valido"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        runSql("UPDATE TAai_AnaAppInvio SET iAaiRicevuto = NULL");
        download(c.packets, c.mixed);
        const QStringList before = classTablesSnapshot();
        const QStringList shown = collectInWindow(true);
        EXPECT_TRUE(shown.join('\n').contains(c.shown)) << shown.join('\n').toStdString();
        EXPECT_EQ(classTablesSnapshot(), before);
        EXPECT_EQ(received(), c.packets == all && !c.mixed ? 1 : 0);
        EXPECT_EQ(readFileBytes(folder + "Docenti.xml"), "cartelle");
    }
}

// A few refused values are listed in the message; more than ten are counted there, and the log
// holds every one.
TEST_F(DocReceiveWeb, SingleTeacherWithARejectedValueIsNotMarkedReceived)
{
    const char *marks = "SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iAaiRicevuto = 1";
    const int before = at(marks).toInt();
    // Four pupils of the class besides the first, in the three subjects: a row repeated would
    // be one value, refused once.
    QList<int> pupils;
    for (QSqlQuery q = runSql("SELECT FIRST 4 S.iSitId FROM TSit_Situazioni S JOIN TClsPst P ON "
                              "P.iClsPstId = S.iClsPstId WHERE P.iClsId = ? AND S.iSitId <> ? "
                              "ORDER BY S.iSitId",
                              {cls, sit[0]});
         q.next();)
        pupils << q.value(0).toInt();
    ASSERT_EQ(pupils.size(), 4);
    for (const int pupil : std::as_const(pupils))
        runSql("DELETE FROM TAss_Assenze WHERE iSitId = ?", {pupil});
    const QVariant n;
    for (const int refused : {1, 12}) {
        SCOPED_TRACE(refused);
        QList<QVariantList> rows{{sit[0], csm[0], n, n, n, n, 6, n, n, n}};
        for (int i = 0; i < refused; ++i)
            rows.append({pupils[i / 3], csm[i % 3], n, n, n, n, 13, n, n, n});
        writeVotes(rows, folder);
        if (refused == 1)
            refuseThirteenHours();
        server.setDownload(zipOf(QelWebCollection::PacketNames()));
        const QStringList shown = collectInWindow(true);
        ASSERT_EQ(shown.size(), 3) << shown.join('\n').toStdString();
        EXPECT_EQ(shown[1].count("***ERRORE***"), refused == 1 ? 1 : 0);
        EXPECT_TRUE(refused == 1 ? shown[1].contains("tredici ore rifiutate")
                                 : shown[1].contains("\n\n12 righe non raccolte: vedere il "
                                                     "registro nella pagina \"Classe\"."))
            << shown[1].toStdString();
        EXPECT_EQ(shown[2].count("***ERRORE***"), refused);
        EXPECT_EQ(at("SELECT iAssOre FROM TAss_Assenze WHERE iSitId = ?", {sit[0]}).toInt(), 6);
        EXPECT_EQ(at(marks).toInt(), before);
    }
}

// By class, one class selected, one value refused: its line comes before its teacher's lines;
// the web teachers who teach none of the selected classes leave no line.
TEST_F(DocReceiveWeb, ByClassEachTeacherAfterHisOwnLines)
{
    writeHours({{sit[0], 6}, {sit[1], 13}, {sit[2], 8}});
    refuseThirteenHours();
    const QStringList shown = collectInWindow(false, {cls});
    ASSERT_EQ(shown.size(), 2) << shown.join('\n').toStdString();
    EXPECT_EQ(shown[0], "Selezionata 1 classe. Confermi la raccolta dati?");
    const QStringList log = shown.last().split('\n');
    // The log ends with what the collection changed.
    EXPECT_EQ(log.last(), "assenze: righe aggiunte 2, cambiate 0, cancellate 0");
    QStringList heads;
    for (const QString &line : log.mid(0, log.size() - 1))
        if (!line.startsWith(' '))
            heads << line;
    QStringList teaching;
    QSqlQuery q = runSql(
        "SELECT C.sAnaCagCode || ' ' || A.sAnaCognome || ' ' || A.sAnaNome FROM TAai_AnaAppInvio X "
        "JOIN TAnaCag C ON C.iAnaCagId = X.iAnaCagId JOIN TAna_Anagrafiche A ON A.iAnaId = "
        "C.iAnaId WHERE X.iModId = 5 AND X.iAnsSesDwgId = ? AND EXISTS (SELECT 1 FROM TClsMatAna "
        "M WHERE M.iAnaId = C.iAnaId AND M.iClsId = ?) ORDER BY A.sAnaCognomeNomeIdx",
        {w, cls});
    while (q.next())
        teaching << q.value(0).toString();
    EXPECT_EQ(heads, teaching);
    ASSERT_EQ(log.filter("***ERRORE***").size(), 1) << shown.last().toStdString();
    const qsizetype error = log.indexOf(log.filter("***ERRORE***").first());
    const QString mine = at("SELECT C.sAnaCagCode FROM TAai_AnaAppInvio X JOIN TAnaCag C ON "
                            "C.iAnaCagId = X.iAnaCagId WHERE X.iModId = 5 AND X.iAnsSesDwgId = ? "
                            "AND C.iAnaId = ?",
                            {w, teacher})
                             .toString();
    ASSERT_LT(error + 1, log.size());
    EXPECT_TRUE(log[error + 1].startsWith(mine + ' ')) << log[error + 1].toStdString();
    for (const auto &[pupil, hours] : {std::pair{sit[0], 6}, {sit[2], 8}})
        EXPECT_EQ(at("SELECT iAssOre FROM TAss_Assenze WHERE iSitId = ?", {pupil}).toInt(), hours);
    EXPECT_EQ(at("SELECT COUNT(*) FROM TAss_Assenze WHERE iSitId = ?", {sit[1]}).toInt(), 0);
}

// Another office keeps a pupil's absences changed and not yet confirmed when the collection
// reaches them: it waits, asks, and ends as the user and the other office decide, never hanging.
TEST_F(DocReceiveWeb, RowsHeldByAnotherOffice)
{
    setLockWaitTimeout(300);
    const auto restore = qScopeGuard([] { setLockWaitTimeout(10000); });
    struct Case
    {
        const char *what;
        int answer;      // to every question after a wait
        int otherEnds;   // ms into the wait: > 0 the other office commits, < 0 rolls back
        QString message; // the one that ends the collection; none when it goes on
        int errors;
        QStringList hours; // of the three pupils, afterwards
    };
    const QList<Case> cases = {
        {"the user waits no more", mrNo, 0, lockWaitRefused().message(), 0, {"6", "1", "1"}},
        {"the other office gives up", mrYes, -450, {}, 0, {"6", "7", "8"}},
        {"the other office saves first", mrYes, 450, {}, 1, {"6", "20", "8"}},
    };
    writeHours({{sit[0], 6}, {sit[1], 7}, {sit[2], 8}});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        runSql("DELETE FROM TAss_Assenze WHERE iSitId IN (?, ?, ?)", {sit[0], sit[1], sit[2]});
        for (int i = 0; i < 3; ++i)
            runSql("INSERT INTO TAss_Assenze (iAssId, iSitId, iClsSesMatId, iAssOre) VALUES "
                   "(?, ?, ?, 1)",
                   {900001 + i, sit[i], csm[0]});
        OtherOffice other(db.database);
        other.hold("UPDATE TAss_Assenze SET iAssOre = 20 WHERE iAssId = 900002");
        for (int i = 0; i < 10; ++i)
            DialogSeam::queueAnswer(c.answer);
        DialogSeam::clearShown();
        TVxStatementRecorder recorder;
        int updates = 0;
        recorder.setBeforeRun([&](const QString &sql) {
            if (!sql.startsWith("UPDATE TAss_Assenze") || ++updates != 2 || c.otherEnds == 0)
                return;
            if (c.otherEnds > 0)
                other.commitAfter(c.otherEnds);
            else
                other.rollbackAfter(-c.otherEnds);
        });
        QStringList log;
        QString message;
        try {
            log = collect();
        } catch (const EVxException &e) {
            message = e.message();
        }
        other.rollback();
        while (DialogSeam::hasAnswer())
            DialogSeam::takeAnswer();
        EXPECT_FALSE(messages().filter("bloccati da un'altra postazione").isEmpty());
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(log.filter("***ERRORE***").size(), c.errors) << log.join('\n').toStdString();
        QStringList hours;
        for (int i = 0; i < 3; ++i)
            hours
                << at("SELECT iAssOre FROM TAss_Assenze WHERE iAssId = ?", {900001 + i}).toString();
        EXPECT_EQ(hours, c.hours);
    }
}

// Sent, edited by the teachers on the server, collected: the database changes by the edits
// alone, first of every class, then of one teacher, who is marked received.
TEST_F(DocReceiveWeb, SendEditOnTheServerCollect)
{
    {
        TfmqelDocSendWeb send;
        send.frDocenti()->SelectAllRows();
        finishWizard();
        queuePassword(kPassword);
        send.buOk()->click();
    }
    ASSERT_EQ(server.uploads().size(), 1);
    TClientDataSet sent;
    for (const auto &[name, bytes] : Server::zipEntries(server.uploads()[0].zip))
        if (name == "debiti.xml" || name == "voti.xml")
            writeFileBytes(folder + "sent-" + name, bytes);
    sent.LoadFromFile(folder + "sent-debiti.xml");
    ASSERT_FALSE(sent.IsEmpty());
    const QVariantList debt = {sent.FieldByName("iDocId")->Value(),
                               sent.FieldByName("iSitId")->Value(),
                               sent.FieldByName("iMatId")->Value()};
    const QVariant outcome = at("SELECT MAX(iDesDedId) FROM TDesDed WHERE iDesDedId IS DISTINCT "
                                "FROM (SELECT MAX(iDesDedId) FROM TDeb_Debiti WHERE iSitId = ? AND "
                                "iMatId = ?)",
                                {debt[1], debt[2]});
    QSqlQuery q = runSql("SELECT FIRST 1 M.iClsSesMatId, M.iClsMatCmpId, (SELECT MIN(L.iScaLivId) "
                         "FROM TScaLiv L WHERE L.iScaId = C.iScaId) FROM TClsMatCmp M JOIN TCmpSca "
                         "C ON C.iCmpScaId = M.iCmpScaId WHERE M.iClsSesMatId IN (?, ?, ?) AND "
                         "C.iCmpScaTass = 1",
                         {csm[0], csm[1], csm[2]});
    ASSERT_TRUE(q.next());
    const QVariantList tas = {q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt()};
    q.finish();
    const int vtpCmp =
        at("SELECT MIN(M.iClsMatCmpId) FROM TClsMatCmp M JOIN TCmpSca C ON "
           "C.iCmpScaId = M.iCmpScaId WHERE M.iClsSesMatId = ? AND C.iCmpScaTass = 0",
           {csm[0]})
            .toInt();
    TavrinWebTeacherEdits edits;
    edits.level(teacher, sit[0], csm[0], "vtp", vtpCmp, level);
    edits.level(teacher, sit[1], tas[0].toInt(), "tas", tas[1].toInt(), tas[2]);
    edits.value(teacher, sit[1], csm[1], "iAssOre", 7);
    edits.value(teacher, sit[2], csm[0], "sAiuVal", "B");
    edits.value(teacher, sit[0], csm[2], "dNotData", "03/02/2009");
    edits.value(teacher, sit[0], csm[2], "bNotNota", "nota dal web");
    edits.debt(debt[0].toInt(), debt[1].toInt(), debt[2].toInt(), outcome, "verificato");
    edits.classNote(teacher, cls, mat[0], 2, "ore dal web");
    edits.installOn(server);
    const QSet<QString> before = collectedTables();
    QStringList byClass, texts;
    {
        std::optional<TVxStatementRecorder> recorder;
        byClass = collectInWindow(false, {}, [&recorder] { recorder.emplace(); });
        for (const TVxStatementRecorder::Statement &st : recorder->statements())
            texts << st.sql;
        // Each statement of the collection prepared once for all its teachers, their list the
        // one the window read.
        for (const QString &text : texts)
            EXPECT_EQ(recorder->prepared(text), 1) << text.toStdString();
        EXPECT_EQ(recorder->prepared(SendBookkeeping::teachersOfModeSql()), 0);
    }
    EXPECT_FALSE(byClass.last().contains("***")) << byClass.last().toStdString();
    // none of the collection's reads goes through a table that grows with the school
    EXPECT_EQ(tablesReadWhole(qqoVxGlobConn(), texts, tablesThatGrowWithTheSchool()),
              QStringList());
    const QSet<QString> after = collectedTables();
    // The rows of before with the same table and key as these.
    const auto replaced = [&before](const QStringList &rows) {
        QSet<QString> old;
        for (const QString &r : rows)
            for (const QString &b : before)
                if (b.startsWith(r.section('|', 0, 2) + '|'))
                    old << b;
        return sorted(old);
    };
    const auto row = [](const QVariantList &values) {
        QStringList texts;
        for (const QVariant &v : values)
            texts << v.toString();
        return texts.join('|');
    };
    QStringList newDebt = replaced({row({"deb", debt[1], debt[2]})}).value(0).split('|');
    ASSERT_EQ(newDebt.size(), 6);
    newDebt[3] = outcome.toString(), newDebt[5] = "verificato";
    const QStringList expected =
        sorted({row({"vtp", sit[0], vtpCmp, level}), row({"tas", sit[1], tas[1], tas[2]}),
                row({"ass", sit[1], csm[1], 7}), row({"aiu", sit[2], csm[0], "B"}),
                row({"not", sit[0], csm[2], "2009-02-03", "nota dal web"}), newDebt.join('|'),
                row({"cno", csm[0], teacher, 2, "ore dal web"})});
    EXPECT_EQ(sorted(after - before), expected);
    EXPECT_EQ(sorted(before - after), replaced(expected));

    // Alone: another teacher's edit stays on the server.
    sent.LoadFromFile(folder + "sent-voti.xml");
    sent.setFilter(QStringLiteral("(iDocId <> %1)").arg(teacher));
    sent.setFiltered(true);
    ASSERT_FALSE(sent.IsEmpty());
    TavrinWebTeacherEdits second;
    second.value(teacher, sit[1], csm[1], "iAssOre", 8);
    second.value(sent.FieldByName("iDocId")->AsInteger(), sent.FieldByName("iSitId")->AsInteger(),
                 sent.FieldByName("iClsSesMatId")->AsInteger(), "iAssOre", 9);
    second.installOn(server);
    const QStringList alone = collectInWindow(true);
    EXPECT_EQ(alone.mid(1, 1), QStringList{"Procedura completata.\n\nassenze: righe aggiunte 0, "
                                           "cambiate 1, cancellate 0"});
    EXPECT_EQ(sorted(collectedTables() - after), QStringList{row({"ass", sit[1], csm[1], 8})});
    EXPECT_EQ(at("SELECT LIST(C.iAnaId) FROM TAai_AnaAppInvio A JOIN TAnaCag C ON C.iAnaCagId = "
                 "A.iAnaCagId WHERE A.iAaiRicevuto = 1 AND A.iModId = 5")
                  .toString(),
              QString::number(teacher));
}

// A fresh ParGen.ini has no section "ExpDoc", and a flag counts only when it is 1: no kind is
// collected but the class notes.
TEST_F(DocReceiveWeb, WithoutTheKindFlagsOnlyClassNotes)
{
    const QVariant n;
    writeVotes({{sit[0], csm[0], n, n, cmp2, level, 5, "X", "", "nota"}}, folder);
    writePacket(folder + "classenote.xml",
                {"iiDocId", "iiAnsSesDwgId", "iiClsId", "iiMatId", "iiClnOre", "sbClnNota"},
                {{teacher, ses, cls, mat[1], 3, "solo note"}});
    TVxINIFile ini(resolvePath(mainSubDir("ETC") + "ParGen.ini"));
    ini.EraseSection("ExpDoc");
    EXPECT_EQ(collect(), QStringList());
    for (const char *kind : {"Vtp", "Tas", "Ass", "Aiu", "Not", "Deb"})
        ini.WriteString("ExpDoc", kind, "2");
    EXPECT_EQ(collect(), QStringList());
    EXPECT_EQ(
        at("SELECT (SELECT COUNT(*) FROM TVtp_Proposti WHERE iSitId = ?) + (SELECT COUNT(*) "
           "FROM TAss_Assenze WHERE iSitId = ?) + (SELECT COUNT(*) FROM TAiu_Aiuti WHERE "
           "iSitId = ?) + (SELECT COUNT(*) FROM TNot_Note WHERE iSitId = ?) FROM RDB$DATABASE",
           {sit[0], sit[0], sit[0], sit[0]})
            .toInt(),
        0);
    EXPECT_EQ(at("SELECT iCnoOre FROM TCno_ClassiNoteOre WHERE iAnaId = ? AND iClsSesMatId = ?",
                 {teacher, csm[1]})
                  .toInt(),
              3);
}

// A second institute with a class of the same name in the same session and year: its row is
// listed beside the first one's.
TEST_F(DocReceiveWeb, ClassFilterOfTheSelectedRows)
{
    runSql("INSERT INTO TDow_DataOwner (iDowId, iDwgId, sDowLDesc) VALUES (900001, 900001, "
           "'Secondo istituto')");
    runSql("INSERT INTO TAnsSesDwg (iAnsSesDwgId, iAnsId, iDwgId, iSesId, iSfiId) SELECT 900001, "
           "iAnsId, 900001, iSesId, iSfiId FROM TAnsSesDwg WHERE iAnsSesDwgId = ?",
           {w});
    runSql("INSERT INTO TCls_Classi (iClsId, iDwgId, iAcsId, iClsOrdine, sClsDesc, sClsSDesc, "
           "dStart) SELECT 900001, 900001, iAcsId, iClsOrdine, sClsDesc, sClsSDesc, dStart FROM "
           "TCls_Classi WHERE iClsId = ?",
           {cls});
    runSql("INSERT INTO TClsSes (iClsSesId, iAnsSesDwgId, iClsId) VALUES (900001, 900001, 900001)");
    TfrqelDocReceiveCls frame;
    frame.SetAnsSesDwgId(w);
    frame.OpenList();
    ASSERT_GE(frame.Data().RecordCount(), 3);
    const QString name = at("SELECT sClsDesc FROM TCls_Classi WHERE iClsId = ?", {cls}).toString();
    int named = 0;
    for (int row = 0; row < frame.Data().RecordCount(); ++row)
        named +=
            frame.Data().Value(row, frame.Data().FindField("sClsDesc")->Index()).toString() == name;
    EXPECT_EQ(named, 2);
    const int other =
        at("SELECT MIN(iClsId) FROM TClsSes WHERE iAnsSesDwgId = ? AND iClsId <> ?", {w, cls})
            .toInt();
    // The classes selected, and the filter's terms in any order.
    using Case = std::pair<QList<int>, QStringList>;
    const auto term = [](int id) { return QStringLiteral("(iClsId = %1)").arg(id); };
    for (const auto &[classes, want] :
         {Case{{}, {"1 = 0"}}, Case{{cls, other}, {term(cls), term(other)}},
          Case{{cls, 900001}, {term(cls), term(900001)}}}) {
        selectClasses(&frame, classes);
        QStringList terms = frame.BuildClsFilter().split(" OR ");
        terms.sort();
        QStringList expected = want;
        expected.sort();
        EXPECT_EQ(terms, expected) << frame.BuildClsFilter().toStdString();
    }
}

// On a Firebird server of the test's own, stopped once the collection has started.
class DocReceiveWebServerGone : public DocReceiveWeb
{
protected:
    static void SetUpTestSuite() { firebird = new PrivateTestServer; }
    static void TearDownTestSuite() { delete firebird; }
    static inline PrivateTestServer *firebird = nullptr;
};

// The server stops before the second value: one message, the first value stays.
TEST_F(DocReceiveWebServerGone, OneMessageEndsTheCollection)
{
    ASSERT_TRUE(firebird->started());
    writeHours({{sit[0], 6}, {sit[1], 7}});
    QelWebCollection collection(folder, w);
    collection.SetFlags(QelWebCollection::ReadFlags());
    QStringList log;
    TVxStatementRecorder recorder;
    int updates = 0;
    recorder.setBeforeRun([&](const QString &sql) {
        if (sql.startsWith("UPDATE TAss_Assenze") && ++updates == 2)
            firebird->halt();
    });
    try {
        collection.ImportTeacherWebData(teacher, &log);
        ADD_FAILURE() << "no error";
    } catch (const EVxException &e) {
        EXPECT_TRUE(e.message().startsWith("La connessione al database si è interrotta"))
            << e.message().toStdString();
    }
    firebird->resume();
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();
    QSqlDatabase connection = qqoVxGlobConn();
    VxReconnect(connection);
    EXPECT_EQ(at("SELECT LIST(iAssOre) FROM TAss_Assenze WHERE iSitId IN (?, ?)", {sit[0], sit[1]})
                  .toString(),
              "6");
}

} // namespace
