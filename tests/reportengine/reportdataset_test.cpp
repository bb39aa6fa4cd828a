// Report datasets on the demo school: the master-detail chain driven by scroll events,
// parameters, the display text of the database's types, and the run that reads one state of
// the database with each statement prepared once.
#include "platform/sqlparams.h"
#include "platform/transaction.h"
#include "reportengine/reportengine.h"
#include "reportengine/reportruncache.h"
#include "tests/reportengine/reporttestlibrary.h"
#include "tests/support/testdb.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

// A pupil's notes counted by a function, through a scratch query given its text at each call.
class NoteLibrary : public TfrFunctionLibrary
{
public:
    NoteLibrary() { List << "NumNote"; }
    void DoFunction(int, const QString &p1, const QString &, const QString &,
                    QVariant &val) override
    {
        TfrQuery *q = scratch;
        q->Close();
        q->setSQL("SELECT COUNT(*) AS nNote FROM TNot_Note N WHERE N.iSitId = :iSitId");
        q->DeclareParam("iSitId", TfrParamType::Integer).setValue(frParser.Calc(p1));
        q->Open();
        val = q->FieldByName("nNote").Value();
        q->Close();
    }
    static inline TfrQuery *scratch = nullptr;
};

const char *const clsSesSql =
    "SELECT ClsSes.iClsSesId, ClsSes.iClsId, Cls.sClsSDesc FROM TClsSes ClsSes "
    "JOIN TCls_Classi Cls ON Cls.iClsId = ClsSes.iClsId "
    "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND Cls.iClsId IN (39005, 39023) "
    "ORDER BY Cls.iClsId";
// :iClsId twice: 0 lists every class.
const char *const clsAluSql =
    "SELECT Sit.iSitId, Sit.iSitPosReg, Ana.sAnaCognome FROM TSit_Situazioni Sit "
    "JOIN TClsPst ClsPst ON ClsPst.iClsPstId = Sit.iClsPstId "
    "JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId "
    "WHERE (:iClsId = 0 OR ClsPst.iClsId = :iClsId) AND Sit.iSitOrdine = 1 "
    "ORDER BY Sit.iSitPosReg, Ana.sAnaCognomeNomeIdx";
const char *const nMatSql =
    "SELECT COUNT(*) AS NumMatCls FROM TClsSesMat Csm WHERE Csm.iClsSesId = :iClsSesId";
const char *const aluNoteSql =
    "SELECT COUNT(*) AS NumNote FROM TNot_Note N WHERE N.iSitId = :iSitId";
const char *const situazSql =
    "SELECT Sit.iSitPosReg, Sit.dStart FROM TSit_Situazioni Sit WHERE Sit.iSitId = :iSitId";

class ReportDataSetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program.opened);
        clsSes = query("qquClsSes", clsSesSql, "iAnsSesDwgId");
        clsAlu = query("qquClsAlu", clsAluSql, "iClsId");
        nMat = query("qquNMatCls", nMatSql, "iClsSesId");
        aluNote = query("qquAluNote", aluNoteSql, "iSitId");
        situaz = query("qquSituazDettagli", situazSql, "iSitId");
        NoteLibrary::scratch = query("qquGetDato", "", nullptr);
        module.AddReportDataSet("frdClsSes", clsSes);
        module.AddReportDataSet("frdClsAlu", clsAlu);

        // The chain: a class reopens its pupils and its subject count; a pupil reopens its
        // note count and leaves its details closed with the parameter set.
        clsSes->AfterScroll = [this](TfrDataSet &master) {
            reopen(clsAlu, "iClsId", master.FieldByName("iClsId").Value());
            reopen(nMat, "iClsSesId", master.FieldByName("iClsSesId").Value());
        };
        clsAlu->AfterScroll = [this](TfrDataSet &master) {
            reopen(aluNote, "iSitId", master.FieldByName("iSitId").Value());
            situaz->Close();
            situaz->ParamByName("iSitId").setValue(master.FieldByName("iSitId").Value());
        };
        frRegisterFunctionLibrary<TestLibrary>();
        frRegisterFunctionLibrary<NoteLibrary>();
    }
    void TearDown() override
    {
        frUnRegisterFunctionLibrary<TestLibrary>();
        frUnRegisterFunctionLibrary<NoteLibrary>();
    }

    TfrQuery *query(const char *name, const char *sql, const char *param)
    {
        TfrQuery *q = module.AddQuery(name);
        q->setSQL(sql);
        if (param)
            q->DeclareParam(param, TfrParamType::Integer);
        return q;
    }
    static void reopen(TfrQuery *detail, const char *param, const QVariant &value)
    {
        detail->Close();
        detail->ParamByName(param).setValue(value);
        detail->Open();
    }
    static int count(const QString &sql, const QVariant &value)
    {
        return scalar(sql, {value}).toInt();
    }

    ProgramDatabase program;
    TfrReport report;
    TfrDataModule module{"dmqelRptDataSets"};
    TfrQuery *clsSes, *clsAlu, *nMat, *aluNote, *situaz;
};

} // namespace

TEST_F(ReportDataSetTest, AMasterScrollReopensItsDetailsInCascade)
{
    // The master takes its parameter as it opens, as the pupil list takes the institute.
    clsSes->BeforeOpen = [](TfrDataSet &ds) {
        static_cast<TfrQuery &>(ds).ParamByName("iAnsSesDwgId").setValue(392);
    };
    clsSes->Open();
    for (const int cls : {39005, 39023}) {
        SCOPED_TRACE(cls);
        ASSERT_FALSE(clsSes->Eof());
        EXPECT_EQ(clsSes->FieldByName("ICLSID").AsInteger(), cls);
        const QString pupils = "SELECT COUNT(*) FROM TSit_Situazioni S JOIN TClsPst P ON "
                               "P.iClsPstId = S.iClsPstId WHERE P.iClsId = ? AND S.iSitOrdine = 1";
        EXPECT_EQ(clsAlu->RecordCount(), count(pupils, cls));
        EXPECT_EQ(nMat->FieldByName("numMatCls").AsInteger(),
                  count("SELECT COUNT(*) FROM TClsSesMat WHERE iClsSesId = ?", cls * 10 + 2));
        // Through every pupil, the third level follows the second.
        int walked = 0;
        for (clsAlu->First(); !clsAlu->Eof(); clsAlu->Next(), ++walked) {
            const QVariant sit = clsAlu->FieldByName("iSitId").Value();
            EXPECT_EQ(aluNote->FieldByName("NumNote").AsInteger(),
                      count("SELECT COUNT(*) FROM TNot_Note WHERE iSitId = ?", sit));
            // The detail left closed opens with its parameter on its first read.
            EXPECT_FALSE(situaz->Active());
            EXPECT_EQ(frDisplayText(report.Calc("qquSituazDettagli.\"ISITPOSREG\"")),
                      clsAlu->FieldByName("iSitPosReg").DisplayText());
            EXPECT_TRUE(situaz->Active());
        }
        EXPECT_EQ(walked, clsAlu->RecordCount());
        clsSes->Next();
    }
    EXPECT_TRUE(clsSes->Eof());
}

TEST_F(ReportDataSetTest, ParametersBindByNameAndNullStaysNull)
{
    // :iClsId = 0 lists every class; a null parameter is bound as null and matches nothing.
    const QString all = "SELECT COUNT(*) FROM TSit_Situazioni WHERE iSitOrdine = ?";
    const QString ofClass = "SELECT COUNT(*) FROM TSit_Situazioni S JOIN TClsPst P ON "
                            "P.iClsPstId = S.iClsPstId WHERE S.iSitOrdine = 1 AND P.iClsId = ?";
    const struct
    {
        QVariant iClsId;
        int rows;
    } cases[] = {{0, count(all, 1)}, {39005, count(ofClass, 39005)}, {QVariant(), 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(frDisplayText(c.iClsId).toStdString());
        clsAlu->Close();
        clsAlu->ParamByName("iClsId").setValue(c.iClsId);
        EXPECT_EQ(clsAlu->ParamByName("iClsId").IsNull(), !c.iClsId.isValid());
        clsAlu->Open();
        EXPECT_EQ(clsAlu->RecordCount(), c.rows);
    }
    EXPECT_THROW(clsAlu->ParamByName("iAnaId"), EfrError);
    EXPECT_THROW(clsAlu->ParamByName("iClsId").setValue("5A"), EfrConversionError);

    // The text may change between opens; a name it needs and nobody declared is refused.
    aluNote->Close();
    aluNote->setSQL("SELECT COUNT(*) AS NumNote FROM TNot_Note N WHERE N.iClsSesMatId = :iCsm");
    EXPECT_THROW(aluNote->Open(), EVxException);
    EXPECT_FALSE(aluNote->Active());
    aluNote->DeclareParam("iCsm", TfrParamType::Integer).setValue(0);
    aluNote->Open();
    EXPECT_EQ(aluNote->FieldByName("NumNote").AsInteger(), 0);
}

TEST_F(ReportDataSetTest, DisplayTextOfTheDatabaseTypesIsItalian)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TfrQuery *types = query(
        "qquTipi",
        "SELECT CAST(1234567 AS INTEGER) AS i, CAST(6.5 AS DOUBLE PRECISION) AS f, "
        "CAST(7.25 AS NUMERIC(9,2)) AS n, DATE '2024-06-05' AS d, "
        "TIMESTAMP '2024-06-05 00:00:00' AS t0, TIMESTAMP '2024-06-05 14:30:05' AS t1, "
        "CAST('Bontà' AS VARCHAR(20)) AS s, CAST('3A' AS CHAR(4)) AS c, "
        "CAST('Virtù' AS BLOB SUB_TYPE TEXT) AS b, CAST(NULL AS INTEGER) AS z FROM RDB$DATABASE",
        nullptr);
    types->Open();
    const struct
    {
        const char *field;
        const char *display;
    } cases[] = {{"i", "1234567"},     {"f", "6,5"},
                 {"n", "7,25"},        {"d", "05/06/2024"},
                 {"t0", "05/06/2024"}, {"t1", "05/06/2024 14:30:05"},
                 {"s", "Bontà"},       {"c", "3A"},
                 {"b", "Virtù"},       {"z", ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(types->FieldByName(c.field).DisplayText(), QString::fromUtf8(c.display));
    }
    QLocale::setDefault(QLocale::system());
}

TEST_F(ReportDataSetTest, ARunReadsOneStateAndPreparesEachTextOnce)
{
    const int sit = count("SELECT MIN(iSitId) FROM TSit_Situazioni WHERE iSitOrdine = ?", 1);
    const int before = count("SELECT COUNT(*) FROM TNot_Note WHERE iSitId = ?", sit);
    const QString numNote = QStringLiteral("NumNote(%1)").arg(sit);
    int ended = 0;
    report.OnEndReport = [&] { ++ended; };
    quint64 serial = 0;
    {
        TVxStatementRecorder recorder;
        TfrRun run(report);
        serial = report.RunSerial();
        reopen(aluNote, "iSitId", sit);
        EXPECT_EQ(aluNote->FieldByName("NumNote").AsInteger(), before);

        // Another office adds a note meanwhile: the run goes on reading its own state.
        QSqlDatabase other = program.database.connect("other");
        QSqlQuery insert(other);
        ASSERT_TRUE(insert.exec(QStringLiteral("INSERT INTO TNot_Note (iNotId, iClsSesMatId, "
                                               "iSitId, bNotNota) SELECT FIRST 1 990001, "
                                               "iClsSesMatId, %1, 'x' FROM TClsSesMat")
                                    .arg(sit)));
        for (const int s : {sit + 1, sit}) {
            reopen(aluNote, "iSitId", s);
            EXPECT_EQ(frToInteger(report.Calc(numNote)), before);
        }
        EXPECT_EQ(aluNote->FieldByName("NumNote").AsInteger(), before);
        // Each pupil read once: the same text with the same values answers from the run.
        const QString aluNoteRun = aluNote->StatementText();
        EXPECT_EQ(recorder.prepared(aluNoteRun), 1);
        EXPECT_EQ(recorder.executed(aluNoteRun), 2);
        const QString scratchSql = NoteLibrary::scratch->StatementText();
        EXPECT_EQ(recorder.prepared(scratchSql), 1);
        EXPECT_EQ(recorder.executed(scratchSql), 1);
        // What ran can be run again without the engine: the texts with their values.
        ASSERT_FALSE(recorder.statements().isEmpty());
        EXPECT_EQ(recorder.statements().first().sql, aluNoteRun);
        EXPECT_EQ(recorder.statements().first().values.value("iSitId"), sit);
        run.End();
        EXPECT_EQ(ended, 1);
    }
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));
    // What a library keeps for a run (its serial) is not taken for the next run's.
    TfrRun(report).End();
    EXPECT_NE(report.RunSerial(), serial);
    // Outside a run each open reads the database as it is now.
    reopen(aluNote, "iSitId", sit);
    EXPECT_EQ(aluNote->FieldByName("NumNote").AsInteger(), before + 1);
}

// Rows read past the run's bound are let go, the least recently used first, and an open that
// wants them back reads them again, the same as before.
TEST_F(ReportDataSetTest, RowsPastTheRunsBoundAreLetGoAndReadAgainTheSame)
{
    // Two fifths of the bound each, as it counts them: two reads fit, not three.
    const QString text(8000, QLatin1Char('x'));
    const int count =
        int(TfrRunCache::kByteBudget * 2 / 5 /
            TfrRunCache::bytesOf({}, TfrRows{QStringList{QStringLiteral("v"), QStringLiteral("t")},
                                             {{QVariant(1), QVariant(text)}}}));
    TfrQuery *big = query("qquGrande", "", "n");
    big->setSQL(QStringLiteral("WITH RECURSIVE R (i) AS (SELECT 1 FROM RDB$DATABASE UNION ALL "
                               "SELECT i + 1 FROM R WHERE i < %1) "
                               "SELECT i + :n AS v, RPAD('', 8000, 'x') AS t FROM R")
                    .arg(count));
    TVxStatementRecorder recorder;
    TfrRun run(report);
    const auto read = [&](int n) {
        reopen(big, "n", n);
        EXPECT_EQ(big->RecordCount(), count);
        EXPECT_EQ(big->FieldByName("v").AsInteger(), n + 1);
        EXPECT_EQ(big->FieldByName("t").AsString(), text);
        EXPECT_LE(TfrRunCache::current()->keptBytes(), TfrRunCache::kByteBudget);
    };
    for (const int n : {0, 1000, 0, 2000, 0, 1000})
        read(n);
    // 0, used again, kept over 1000, which 2000 lets go and is read again.
    EXPECT_EQ(recorder.executed(big->StatementText()), 4);
    // Rows the run lets go itself (a pupil printed) take their bytes with them: the bound
    // counts what is held, and makes room for nothing that is gone.
    TfrRunCache &cache = *TfrRunCache::current();
    const qsizetype held = cache.keptBytes();
    cache.keep(QStringLiteral("printed"), TfrRows{{QStringLiteral("t")}, {{QVariant(text)}}});
    EXPECT_GT(cache.keptBytes(), held);
    cache.forget(QStringLiteral("printed"));
    EXPECT_EQ(cache.keptBytes(), held);
    run.End();
}

TEST_F(ReportDataSetTest, ADatabaseErrorIsTheThirdKind)
{
    TfrQuery *broken = query("qquRotta", "SELECT x FROM TNonEsiste", nullptr);
    TfrRun run(report);
    // A query without a text is named, not left to the driver.
    try {
        NoteLibrary::scratch->Open();
        ADD_FAILURE() << "opened without a text";
    } catch (const EfrError &e) {
        EXPECT_EQ(e.message(), "La query qquGetDato non ha un testo da eseguire.");
    }
    EXPECT_EQ(frDisplayText(report.Calc("Tipo(qquRotta.\"x\")")), "altro");
    EXPECT_FALSE(broken->Active());
    EXPECT_EQ(frDisplayText(report.Calc("Tipo(NumNote('tre'))")), "conversione");
    EXPECT_EQ(frDisplayText(report.Calc("Tipo(NumNote(0))")), "nessuno");
}
