#include "makeup/qelcontrollarecuperi.h"
#include "makeup/qelfpassavoti.h"
#include "makeup/qelfpassavotiqual.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlRecord>

namespace {

constexpr int kFinal = 392;
constexpr int kDeferred = 393;
constexpr int kExam = 394;
constexpr int k1C = 39021;
constexpr int k3C = 39023;
constexpr int k5A = 39005;

const QString kCompleted = QStringLiteral("Operazione completata!");
const QString kConcluded = QStringLiteral("Operazione conclusa.");

// The rows of a session of each kind as the office sees them: where they stand (class,
// subject, component), whose they are, what they say and their dates; keys left out.
struct Kind
{
    const char *table;
    const char *rows; // one "?": the session
};
#define IN_SESSION                                                                                 \
    " JOIN TClsSes Cs ON Cs.iClsSesId = Csm.iClsSesId"                                             \
    " JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId WHERE Cs.iAnsSesDwgId = ?"
#define PER_SUBJECT " JOIN TClsSesMat Csm ON Csm.iClsSesMatId = X.iClsSesMatId" IN_SESSION
#define PER_COMPONENT                                                                              \
    " JOIN TClsMatCmp Cmc ON Cmc.iClsMatCmpId = X.iClsMatCmpId"                                    \
    " JOIN TClsSesMat Csm ON Csm.iClsSesMatId = Cmc.iClsSesMatId" IN_SESSION
const Kind kVotes = {"TVot_Voti",
                     "SELECT Cs.iClsId, Rma.iMatId, Cmc.iCmpScaId, X.iSitId, "
                     "X.iScaLivId, X.dInsert, X.dStart, X.dEnd FROM TVot_Voti X" PER_COMPONENT};
const Kind kProposed = {"TVtp_Proposti",
                        "SELECT Cs.iClsId, Rma.iMatId, Cmc.iCmpScaId, X.iSitId, X.iPrpScaLivId, "
                        "X.dInsert, X.dStart, X.dEnd FROM TVtp_Proposti X" PER_COMPONENT};
const Kind kJudgments = {"TGdz_Giudizi",
                         "SELECT X.iSitId, X.bGdzGiudizio, X.dInsert, X.dStart, X.dEnd "
                         "FROM TGdz_Giudizi X WHERE X.iAnsSesDwgId = ?"};
const Kind kNotes = {"TNot_Note",
                     "SELECT Cs.iClsId, Rma.iMatId, X.iSitId, X.bNotNota, X.dNotData, "
                     "X.iAnaId, X.dInsert, X.dStart, X.dEnd FROM TNot_Note X" PER_SUBJECT};
const Kind kAbsences = {"TAss_Assenze",
                        "SELECT Cs.iClsId, Rma.iMatId, X.iSitId, X.iAssOre, "
                        "X.dInsert, X.dStart, X.dEnd FROM TAss_Assenze X" PER_SUBJECT};
const Kind kDeferredKinds[] = {kVotes, kProposed, kJudgments, kNotes, kAbsences};

#define OF_SUSPENDED                                                                               \
    " AND X.iSitId IN (SELECT Sit.iSitId FROM TSit_Situazioni Sit JOIN TPosFin Pf ON "             \
    "Pf.iPosFinId = Sit.iPosFinId WHERE Pf.iStaFinId = 11)"
const char kOfSuspended[] = OF_SUSPENDED;
// ... and the final session's component has its match in the class's deferred session.
const char kSuspendedWithPlace[] =
    OF_SUSPENDED " AND EXISTS (SELECT 1 FROM TClsMatCmp t JOIN TClsSesMat tm ON tm.iClsSesMatId = "
                 "t.iClsSesMatId WHERE t.iCmpScaId = Cmc.iCmpScaId AND tm.iMatRmaId = "
                 "Csm.iMatRmaId AND tm.iClsSesId = Csm.iClsSesId + 1)";
// Admission votes (and the judgments of their pupils) reaching a minimum, the second "?".
const char kAdmissionVote[] = " AND Rma.iMatId = 15 AND X.iScaLivId IN (SELECT iScaLivId FROM "
                              "TScaLiv WHERE iScaLivValore >= ?)";
const char kOfAdmitted[] =
    " AND X.iSitId IN (SELECT V.iSitId FROM TVot_Voti V JOIN TClsMatCmp C ON C.iClsMatCmpId = "
    "V.iClsMatCmpId JOIN TClsSesMat M ON M.iClsSesMatId = C.iClsSesMatId JOIN TClsSes S ON "
    "S.iClsSesId = M.iClsSesId JOIN TScaLiv L ON L.iScaLivId = V.iScaLivId WHERE "
    "S.iAnsSesDwgId = 392 AND M.iMatRmaId = 15 AND L.iScaLivValore >= ?)";

// A session's rows of a kind, each as one text, sorted.
QStringList rowsOf(const Kind &kind, int session, const char *filter = "",
                   const QVariantList &more = {})
{
    QSqlQuery q = runSql(QString::fromLatin1(kind.rows) + QString::fromLatin1(filter),
                         QVariantList{session} + more);
    QStringList rows;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        rows << row.join(QLatin1Char('|'));
    }
    rows.sort();
    return rows;
}

int newKey()
{
    return scalar(QStringLiteral("SELECT L_iCntId FROM PYSetGetId('TEST', 0)")).toInt();
}

int sitOf(int iClsId, int iPosFinId, int skip = 0)
{
    QSqlQuery q = runSql(QStringLiteral("SELECT s.iSitId FROM TSit_Situazioni s JOIN TClsPst cp "
                                        "ON cp.iClsPstId = s.iClsPstId WHERE cp.iClsId = ? AND "
                                        "s.iPosFinId = ? ORDER BY s.iSitId"),
                         {iClsId, iPosFinId});
    for (int i = 0; i <= skip; ++i)
        if (!q.next())
            return 0;
    return q.value(0).toInt();
}

int subjectOf(int iClsId, int session, int iMatId)
{
    return scalar(QStringLiteral("SELECT iClsSesMatId FROM TClsSesMat WHERE iClsSesId = ? AND "
                                 "iMatRmaId = ?"),
                  {iClsId * 10 + session % 10, iMatId})
        .toInt();
}

int componentOf(int iClsId, int session, int iMatId, int iCmpScaId)
{
    return scalar(QStringLiteral("SELECT iClsMatCmpId FROM TClsMatCmp WHERE iClsSesMatId = ? AND "
                                 "iCmpScaId = ?"),
                  {subjectOf(iClsId, session, iMatId), iCmpScaId})
        .toInt();
}

// Rows of every kind in a session, of a pupil who is not suspended: what a copy replaces.
void addStaleRows(int session, int iSitId)
{
    const QDate start(2008, 9, 1), end(2009, 8, 31);
    const QDateTime stamp(QDate(2009, 6, 1), QTime(9, 0));
    const int place = componentOf(k5A, session, 1, 1);
    const int subject = subjectOf(k5A, session, 1);
    runSql("INSERT INTO TVot_Voti VALUES (?, ?, ?, 106, ?, ?, ?)",
           {newKey(), place, iSitId, stamp, start, end});
    runSql("INSERT INTO TVtp_Proposti VALUES (?, ?, ?, 605, ?, ?, ?)",
           {newKey(), place, iSitId, stamp, start, end});
    runSql("INSERT INTO TGdz_Giudizi VALUES (?, ?, ?, ?, ?, ?, ?)",
           {newKey(), iSitId, session, QByteArray("Giudizio di prova."), stamp, start, end});
    runSql("INSERT INTO TNot_Note VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
           {newKey(), subject, iSitId, start, QByteArray("Nota di prova."), 1000001, stamp, start,
            end});
    runSql("INSERT INTO TAss_Assenze VALUES (?, ?, ?, 7, ?, ?, ?)",
           {newKey(), subject, iSitId, stamp, start, end});
}

void failInsertsOf(const char *table, int iSitId)
{
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_COPY 'inserimento rifiutato'"));
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_COPY FOR %1 BEFORE INSERT AS BEGIN IF "
                          "(NEW.iSitId = %2) THEN EXCEPTION E_TEST_COPY; END")
               .arg(QString::fromLatin1(table))
               .arg(iSitId));
}

using KindInSession = QPair<const Kind *, int>;

class SessionCopy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext(); // its session is kFinal
    }

    // Suspended pupils' rows of the final session, kind by kind.
    QList<QStringList> suspendedSource() const
    {
        QList<QStringList> all;
        for (const Kind &kind : kDeferredKinds)
            all << rowsOf(kind, kFinal, kOfSuspended);
        return all;
    }
    QList<QStringList> sessionRows(int session) const
    {
        QList<QStringList> all;
        for (const Kind &kind : kDeferredKinds)
            all << rowsOf(kind, session);
        return all;
    }

    // Presses OK and answers Yes to both questions.
    static void runCopy(QDialog &dialog)
    {
        DialogSeam::queueAnswer(int(mrYes));
        DialogSeam::queueAnswer(int(mrYes));
        dialog.findChild<QPushButton *>(QStringLiteral("buOk"))->click();
    }

    // Row counts read by isql-fb, outside this program's driver: "TABLE session" -> count.
    // The database's own tools open the file only once the program's connection is closed:
    // this and the next end a test.
    QMap<QString, int> isqlCounts(const QList<KindInSession> &which) const;

    // The database passes gfix -v -full.
    void expectSoundDatabase() const
    {
        const QString path = db.database.path();
        CloseConnection();
        const auto [code, output] =
            runDatabaseTool("gfix", {"-v", "-full", "-user", "SYSDBA", path});
        EXPECT_EQ(code, 0) << output.toStdString();
        EXPECT_TRUE(output.trimmed().isEmpty()) << output.toStdString();
    }

    ProgramDatabase db;
    ScriptedDialogs dialogs;
};

QMap<QString, int> SessionCopy::isqlCounts(const QList<KindInSession> &which) const
{
    const QString path = db.database.path();
    CloseConnection();
    QStringList columns;
    for (int i = 0; i < which.size(); ++i) {
        const QString rows = QString::fromLatin1(which[i].first->rows)
                                 .replace(QLatin1Char('?'), QString::number(which[i].second));
        columns << QStringLiteral("(SELECT COUNT(*) FROM (%1) T) AS C%2").arg(rows).arg(i);
    }
    const QByteArray script =
        "SET LIST ON;\nSELECT " + columns.join(", ").toUtf8() + " FROM RDB$DATABASE;\n";
    const auto [code, output] =
        runDatabaseTool(QStringLiteral("isql-fb"), {"-q", "-user", "SYSDBA", path}, script);
    EXPECT_EQ(code, 0) << output.toStdString();
    QMap<QString, int> counts;
    for (const QString &line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (parts.size() == 2 && parts[0].startsWith(QLatin1Char('C'))) {
            const auto &[kind, session] = which[parts[0].mid(1).toInt()];
            counts[QStringLiteral("%1 %2").arg(kind->table).arg(session)] = parts[1].toInt();
        }
    }
    return counts;
}

// Admission votes of 3C on both sides of the minimum: one pupil at 59 (a level added to the
// hundredths), one at 60 with a second admission vote of 65 in a component of its own.
class QualificationCopy : public SessionCopy
{
protected:
    void SetUp() override
    {
        SessionCopy::SetUp();
        const int liv = newKey();
        runSql("INSERT INTO TLiv_Livelli (iLivId, sLivSDesc, sLivLDesc) VALUES (?, '59', '59/100')",
               {liv});
        level59 = newKey();
        runSql("INSERT INTO TScaLiv (iScaLivId, iScaId, iLivId, iScaLivValore, "
               "iScaLivSufficiente, iScaLivInMedia, iScaLivOrd) VALUES (?, 2, ?, 59, 0, 1, 12)",
               {level59, liv});
        const char *admissionVote = "SELECT FIRST 1 V.iSitId FROM TVot_Voti V WHERE "
                                    "V.iClsMatCmpId = ? AND V.iScaLivId = ? ORDER BY V.iVotId";
        const int admission = componentOf(k3C, kFinal, 15, 5);
        pupil59 = scalar(admissionVote, {admission, 211}).toInt(); // a 55
        pupil60 = scalar(admissionVote, {admission, 212}).toInt();
        ASSERT_TRUE(pupil59 && pupil60);
        runSql("UPDATE TVot_Voti SET iScaLivId = ? WHERE iClsMatCmpId = ? AND iSitId = ?",
               {level59, admission, pupil59});
        const int written = newKey();
        runSql("INSERT INTO TCmpSca VALUES (?, 1, 2, 0, 1, 9)", {written});
        for (int session : {kFinal, kExam})
            runSql("INSERT INTO TClsMatCmp VALUES (?, ?, ?)",
                   {newKey(), subjectOf(k3C, session, 15), written});
        runSql("INSERT INTO TVot_Voti SELECT CAST(? AS INTEGER), CAST(? AS INTEGER), iSitId, 213, "
               "dInsert, dStart, dEnd FROM "
               "TVot_Voti WHERE iClsMatCmpId = ? AND iSitId = ?",
               {newKey(), componentOf(k3C, kFinal, 15, written), admission, pupil60});
        // The exam session already holds a vote of another subject and a judgment.
        runSql("INSERT INTO TVot_Voti VALUES (?, ?, ?, 214, NULL, NULL, NULL)",
               {newKey(), componentOf(k3C, kExam, 16, 5), pupil60});
        runSql("INSERT INTO TGdz_Giudizi (iGdzId, iSitId, iAnsSesDwgId) VALUES (?, ?, ?)",
               {newKey(), pupil59, kExam});
    }

    QStringList examRows() const { return rowsOf(kVotes, kExam) + rowsOf(kJudgments, kExam); }

    // The dialog with the exam session as target.
    void chooseExam(TfmqelPassaVotiQual &dialog) const
    {
        dialog.cboSessioneQual()->setCurrentIndex(dialog.cboSessioneQual()->findData(kExam));
    }

    int level59 = 0;
    int pupil59 = 0;
    int pupil60 = 0;
};

} // namespace

TEST_F(SessionCopy, ListsOfferTheWorkingYearsSessionsOrSayTheyAreMissing)
{
    installMakeupParts();
    registerAllForms();
    struct Case
    {
        QVariant institute, year;
        QList<int> finals, deferred;
    };
    const Case cases[] = {
        {2, 39, {kFinal, kExam}, {kDeferred}},
        {2, 38, {382}, {383}},
        {2, QVariant(), {}, {}},
        {QVariant(), 39, {}, {}},
        {2, QStringLiteral("trentanove"), {}, {}},
    };
    const auto ids = [](const QComboBox *list) {
        QList<int> ids;
        for (int i = 0; i < list->count(); ++i)
            ids << list->itemData(i).toInt();
        return ids;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.year.toString().toStdString());
        xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), c.institute);
        xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), c.year);
        DialogSeam::clearShown();
        std::unique_ptr<QWidget> deferred(FormRegistry::create(QStringLiteral("TfmQelPassaVoti")));
        std::unique_ptr<QWidget> exam(FormRegistry::create(QStringLiteral("TfmqelPassaVotiQual")));
        auto *d = qobject_cast<TfmQelPassaVoti *>(deferred.get());
        auto *q = qobject_cast<TfmqelPassaVotiQual *>(exam.get());
        ASSERT_TRUE(d && q);
        EXPECT_EQ(ids(d->cboSessione()), c.finals);
        EXPECT_EQ(ids(d->cboSessioneDiff()), c.deferred);
        EXPECT_EQ(ids(q->cboSessione()), c.finals);
        EXPECT_EQ(ids(q->cboSessioneQual()), c.finals);
        const bool usable = !c.finals.isEmpty();
        EXPECT_EQ(d->buOk()->isEnabled(), usable);
        EXPECT_EQ(q->buOk()->isEnabled(), usable);
        EXPECT_EQ(DialogSeam::shownTexts().size(), usable ? 0 : 2);
        if (!usable) {
            EXPECT_EQ(DialogSeam::shownTexts().first(),
                      QStringLiteral("Non sono state configurate le sessioni necessarie al "
                                     "passaggio dei dati. Impossibile continuare!"));
        }
    }
}

TEST_F(SessionCopy, DeferredSessionGetsTheSuspendedPupilsRowsInPlaceOfItsOwn)
{
    addStaleRows(kDeferred, sitOf(k5A, 1));
    const QList<QStringList> source = suspendedSource();
    for (const QStringList &rows : source)
        ASSERT_FALSE(rows.isEmpty());
    const QList<QStringList> finalBefore = sessionRows(kFinal);

    TfmQelPassaVoti dialog;
    dialog.show();
    runCopy(dialog);
    const QStringList shown = DialogSeam::shownTexts();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0], QStringLiteral("Con la seguente procedura verranno copiate le voci "
                                       "selezionate dalla sessione\n\nScrutinio finale\n\nalla "
                                       "sessione\n\nSessione differita\n\nContinuare?"));
    EXPECT_EQ(shown[2], kCompleted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), int(mrOk));
    EXPECT_EQ(sessionRows(kDeferred), source);
    EXPECT_EQ(sessionRows(kFinal), finalBefore);

    // The same counts, read by the database's own tool.
    QList<KindInSession> which;
    for (const Kind &kind : kDeferredKinds)
        which << qMakePair(&kind, kDeferred) << qMakePair(&kind, kFinal);
    const QMap<QString, int> counts = isqlCounts(which);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(counts.value(QStringLiteral("%1 393").arg(kDeferredKinds[i].table)),
                  source[i].size())
            << kDeferredKinds[i].table;
        EXPECT_EQ(counts.value(QStringLiteral("%1 392").arg(kDeferredKinds[i].table)),
                  finalBefore[i].size())
            << kDeferredKinds[i].table;
    }
}

TEST_F(SessionCopy, AnEmptySourceKindLeavesTheTargetsRowsOfThatKind)
{
    addStaleRows(kDeferred, sitOf(k5A, 1));
    const QStringList staleJudgments = rowsOf(kJudgments, kDeferred);
    runSql(QString::fromLatin1("DELETE FROM TGdz_Giudizi X WHERE X.iAnsSesDwgId = 392") +
           QString::fromLatin1(kOfSuspended));
    QList<QStringList> expected = suspendedSource();
    expected[2] = staleJudgments;

    TfmQelPassaVoti dialog;
    runCopy(dialog);
    EXPECT_EQ(
        DialogSeam::shownTexts().mid(2),
        (QStringList{"Nessun giudizio da copiare presente nella sezione selezionata", kCompleted}));
    EXPECT_EQ(sessionRows(kDeferred), expected);
}

TEST_F(SessionCopy, ClassesWithoutAPlaceInTheTargetAreLoggedAndTheWindowStaysOpen)
{
    // 3C lacks two written components, 1C the oral of mathematics.
    for (const auto &[cls, mat, cmp] : {std::tuple{k3C, 1, 1}, {k3C, 4, 1}, {k1C, 3, 2}})
        runSql("DELETE FROM TClsMatCmp WHERE iClsMatCmpId = ?",
               {componentOf(cls, kDeferred, mat, cmp)});
    QList<QStringList> expected = suspendedSource();
    for (int kind : {0, 1})
        expected[kind] = rowsOf(kDeferredKinds[kind], kFinal, kSuspendedWithPlace);
    ASSERT_LT(expected[0].size(), suspendedSource()[0].size());
    const QString c1 =
        scalar("SELECT sClsDesc FROM TCls_Classi WHERE iClsId = ?", {k1C}).toString();
    const QString c3 =
        scalar("SELECT sClsDesc FROM TCls_Classi WHERE iClsId = ?", {k3C}).toString();
    // One line per class and step: votes, then proposed votes; 3C names its first failing
    // vote's subject, written Italian.
    const QStringList once = {
        "Classe: " + c1 + ", Materia: MAT", "Classe: " + c3 + ", Materia: ITA",
        "Classe: " + c1 + ", Materia: MAT", "Classe: " + c3 + ", Materia: ITA"};

    TfmQelPassaVoti dialog;
    dialog.show();
    runCopy(dialog);
    EXPECT_EQ(dialog.mmoLog()->toPlainText().split('\n'), once);
    EXPECT_EQ(sessionRows(kDeferred), expected);
    EXPECT_TRUE(DialogSeam::shownTexts().last().startsWith("Si sono verificati degli errori."));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.mmoLog()->isVisible());
    dialog.buLog()->click();
    EXPECT_TRUE(dialog.mmoLog()->isVisible());
    EXPECT_EQ(dialog.height(), 438);
    saveScreenshot(&dialog, QStringLiteral("passavoti-errori.png"));

    // A second run appends; closing is refused until Cancel empties the log.
    runCopy(dialog);
    EXPECT_EQ(dialog.mmoLog()->toPlainText().split('\n'), once + once);
    EXPECT_EQ(sessionRows(kDeferred), expected);
    dialog.close();
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());
    dialog.buCancel()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.mmoLog()->toPlainText().isEmpty());
}

TEST_F(SessionCopy, AStepThatFailsPartWayLeavesItsKindAsItWasAndStopsTheRun)
{
    addStaleRows(kDeferred, sitOf(k5A, 1));
    const QList<QStringList> before = sessionRows(kDeferred);
    const QList<QStringList> source = suspendedSource();
    // The proposed votes of the second suspended pupil of 3C are refused.
    failInsertsOf("TVtp_Proposti", sitOf(k3C, 11, 1));

    TfmQelPassaVoti dialog;
    dialog.show();
    runCopy(dialog);
    const QStringList shown = DialogSeam::shownTexts();
    ASSERT_EQ(shown.size(), 3);
    // The message says which kinds were copied before the one that stopped.
    EXPECT_TRUE(shown[2].startsWith("Passaggio interrotto durante la copia dei voti proposti, che "
                                    "nella sessione di destinazione restano come erano: i dati "
                                    "dei voti sono già copiati; rieseguire il comando per "
                                    "completare."))
        << shown[2].toStdString();
    EXPECT_TRUE(shown[2].contains("inserimento rifiutato"));
    EXPECT_TRUE(dialog.isVisible());
    const QList<QStringList> after = sessionRows(kDeferred);
    EXPECT_EQ(after[0], source[0]); // the votes step was done
    for (int kind = 1; kind < 5; ++kind)
        EXPECT_EQ(after[kind], before[kind]) << kDeferredKinds[kind].table;

    expectSoundDatabase();
}

TEST_F(QualificationCopy, TheMinimumDecidesWhichAdmissionVotesAndJudgmentsAreCopied)
{
    const qsizetype finalVotes = rowsOf(kVotes, kFinal).size();
    const qsizetype finalJudgments = rowsOf(kJudgments, kFinal).size();
    qsizetype examVotes = 0, examJudgments = 0;
    for (const int minimum : {60, 61, 100}) {
        SCOPED_TRACE(minimum);
        const QStringList before = examRows();
        const QStringList votes = rowsOf(kVotes, kFinal, kAdmissionVote, {minimum});
        const QStringList judgments = rowsOf(kJudgments, kFinal, kOfAdmitted, {minimum});
        TfmqelPassaVotiQual dialog;
        chooseExam(dialog);
        dialog.seVotoMin()->setValue(minimum);
        dialog.show();
        DialogSeam::clearShown();
        runCopy(dialog);
        EXPECT_TRUE(dialog.isVisible());
        if (minimum == 100) {
            EXPECT_EQ(DialogSeam::shownTexts().mid(2),
                      (QStringList{"Nessun voto da copiare presente nella sessione selezionata",
                                   "Nessun giudizio da copiare presente nella sessione "
                                   "selezionata",
                                   kConcluded}));
            EXPECT_EQ(examRows(), before);
            continue;
        }
        EXPECT_EQ(DialogSeam::shownTexts().mid(2), QStringList{kConcluded});
        EXPECT_EQ(rowsOf(kVotes, kExam), votes);
        EXPECT_EQ(rowsOf(kJudgments, kExam), judgments);
        examVotes = votes.size();
        examJudgments = judgments.size();
        EXPECT_EQ(dialog.laOperation()->text(), QStringLiteral("Passaggio giudizi in corso..."));
        EXPECT_EQ(dialog.pbProgress()->value(), judgments.size());
        if (minimum == 60)
            saveScreenshot(&dialog, QStringLiteral("passavotiqual.png"));
        const QString sitCount = "SELECT COUNT(*) FROM TVot_Voti V JOIN TClsMatCmp C ON "
                                 "C.iClsMatCmpId = V.iClsMatCmpId JOIN TClsSesMat M ON "
                                 "M.iClsSesMatId = C.iClsSesMatId WHERE M.iClsSesId = ? AND "
                                 "V.iSitId = ?";
        EXPECT_EQ(scalar(sitCount, {k3C * 10 + 4, pupil59}).toInt(), 0);
        EXPECT_EQ(scalar(sitCount, {k3C * 10 + 4, pupil60}).toInt(), minimum == 60 ? 2 : 1);
        // One judgment for the pupil with two admission votes.
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM TGdz_Giudizi WHERE iAnsSesDwgId = 394 AND "
                         "iSitId = ?",
                         {pupil60})
                      .toInt(),
                  1);
    }

    // What the last copy left, read by the database's own tool: the exam session holds the
    // copied rows alone, the final session all of its own.
    ASSERT_GT(examVotes, 0);
    const QMap<QString, int> counts = isqlCounts(
        {{&kVotes, kExam}, {&kJudgments, kExam}, {&kVotes, kFinal}, {&kJudgments, kFinal}});
    EXPECT_EQ(counts.value(QStringLiteral("TVot_Voti 394")), examVotes);
    EXPECT_EQ(counts.value(QStringLiteral("TGdz_Giudizi 394")), examJudgments);
    EXPECT_EQ(counts.value(QStringLiteral("TVot_Voti 392")), finalVotes);
    EXPECT_EQ(counts.value(QStringLiteral("TGdz_Giudizi 392")), finalJudgments);
}

TEST_F(QualificationCopy, WhatCannotBeCopiedWhollyLeavesTheExamSessionAsItWas)
{
    const QStringList before = examRows();
    {
        // The same session as source and target: refused before any question.
        TfmqelPassaVotiQual dialog;
        dialog.buOk()->click();
        EXPECT_EQ(DialogSeam::shownTexts(),
                  QStringList{"La sessione di origine e la sessione di destinazione coincidono: "
                              "scegliere come destinazione la sessione dell'esame di qualifica."});
    }
    EXPECT_EQ(examRows(), before);
    DialogSeam::clearShown();

    // The exam session lacks the admission component of 3C.
    runSql("DELETE FROM TClsMatCmp WHERE iClsMatCmpId = ?", {componentOf(k3C, kExam, 15, 5)});
    TfmqelPassaVotiQual dialog;
    chooseExam(dialog);
    runCopy(dialog);
    const QStringList shown = DialogSeam::shownTexts();
    ASSERT_EQ(shown.size(), 3);
    const QString c3 =
        scalar("SELECT sClsDesc FROM TCls_Classi WHERE iClsId = ?", {k3C}).toString();
    EXPECT_TRUE(shown[2].contains("Classe: " + c3 + ", Materia: AMM")) << shown[2].toStdString();
    EXPECT_EQ(examRows(), before);
    expectSoundDatabase();
}

TEST_F(QualificationCopy, OkOrClosingWhileAStepRunsDoNothing)
{
    TfmqelPassaVotiQual dialog;
    chooseExam(dialog);
    dialog.show();
    // Delivered while the votes step lets window events run.
    QMetaObject::invokeMethod(dialog.buOk(), "click", Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        &dialog, [&dialog] { dialog.done(mrOk); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(&dialog, "close", Qt::QueuedConnection);
    bool enabledDuringStep = true;
    QMetaObject::invokeMethod(
        &dialog,
        [&] { enabledDuringStep = dialog.buOk()->isEnabled() || dialog.buCancel()->isEnabled(); },
        Qt::QueuedConnection);
    runCopy(dialog);
    EXPECT_FALSE(enabledDuringStep);
    EXPECT_EQ(DialogSeam::shownTexts().size(), 3);
    EXPECT_EQ(DialogSeam::shownTexts().last(), kConcluded);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.buOk()->isEnabled());
    EXPECT_EQ(rowsOf(kVotes, kExam), rowsOf(kVotes, kFinal, kAdmissionVote, {60}));
}
