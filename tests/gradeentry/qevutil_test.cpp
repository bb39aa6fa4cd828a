#include "gradeentry/qevutil.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "tests/support/testdb.h"

#include <QSqlQuery>

#include <cmath>
#include <map>

namespace {

TRigaMedia row(int subject, double value, int weight, const char *code = "", int valInMedia = 1,
               int matInMedia = 1)
{
    return {subject, value, matInMedia, valInMedia, weight, QString::fromLatin1(code)};
}

TEST(CalcMedia, WorkedCasesOfTheAverageRules)
{
    struct Case
    {
        const char *name;
        int ansId;
        std::vector<TRigaMedia> rows;
        double expected;
    };
    const std::vector<Case> cases{
        {"weighted per subject, then plain mean",
         39,
         {row(1, 6, 1), row(1, 8, 2), row(2, 9, 1), row(3, 4, 1, "RELIGIONE")},
         (22.0 / 3 + 9) / 2},
        {"no rows", 39, {}, 0},
        {"only religion and rows out of the average",
         39,
         {row(1, 9, 1, "RELIGIONE"), row(2, 8, 1, "", 0), row(3, 7, 1, "", 1, 2)},
         0},
        {"conduct left out with key 38", 38, {row(1, 6, 1), row(2, 10, 1, "CONDOTTA")}, 6},
        {"conduct counted with key 39", 39, {row(1, 6, 1), row(2, 10, 1, "CONDOTTA")}, 8},
        {"conduct left out before any key", 0, {row(1, 6, 1), row(2, 10, 1, "CONDOTTA")}, 6},
        {"codes compared exactly", 38, {row(1, 6, 1), row(2, 10, 1, "Condotta")}, 8},
        {"a counted qualification is the result",
         39,
         {row(1, 9, 1), row(2, 75, 1, "QUALIFICA"), row(3, 10, 1)},
         7.5},
        {"a qualification out of the average changes nothing",
         39,
         {row(1, 8, 1), row(2, 75, 1, "QUALIFICA", 0)},
         8},
        {"a subject weighing nothing counts as one subject", 39, {row(1, 8, 1), row(2, 9, 0)}, 4},
        {"proposals with decimals", 39, {row(1, 6.5, 1), row(2, 7, 1)}, 6.75},
        {"null value and weight read as 0", 39, {row(1, 0, 1), row(2, 8, 1)}, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetAnsIdMedia(c.ansId);
        EXPECT_DOUBLE_EQ(CalcMedia(c.rows, -1, false), c.expected);
    }
    SetAnsIdMedia(38);
    EXPECT_DOUBLE_EQ(CalcMedia(cases[3].rows, -1, true), 8); // conduct asked for
    EXPECT_DOUBLE_EQ(RoundTo(CalcMedia(cases[0].rows, -1, false), -2), 8.17);
}

TEST(LastPos, FindsTheLastCharacterOrAnswersMinusOne)
{
    EXPECT_EQ(LastPos(QStringLiteral("\\"), QStringLiteral("a\\b\\c")), 4);
    EXPECT_EQ(LastPos(QStringLiteral("\\"), QStringLiteral("abc")), -1);
    EXPECT_EQ(LastPos(QStringLiteral("\\"), QString()), -1);
    EXPECT_EQ(LastPos(QStringLiteral("\\\\"), QStringLiteral("a\\b")), -1);
}

// The demo school: averages read through the program's connection.
class DemoAverages : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(db.opened); }

    // The pupil's average computed another way: per-subject sums grouped by the database.
    static double oracle(bool proposti, int iSitId, int iClsSesId, bool withConduct)
    {
        const QString value =
            proposti ? QStringLiteral("L.fPrpScaLivValore") : QStringLiteral("L.iScaLivValore");
        const QString from =
            proposti ? QStringLiteral("TVtp_Proposti V JOIN TPrpScaLiv L ON L.iPrpScaLivId = "
                                      "V.iPrpScaLivId")
                     : QStringLiteral("TVot_Voti V JOIN TScaLiv L ON L.iScaLivId = V.iScaLivId");
        const QString counts =
            proposti ? QStringLiteral("1 = 1") : QStringLiteral("L.iScaLivInMedia = 1");
        QSqlQuery q =
            runSql(QStringLiteral(
                       "SELECT M.sMatCodVexto, SUM(%1 * C.iCmpPeso), SUM(C.iCmpPeso) FROM %2 "
                       "JOIN TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId "
                       "JOIN TCmpSca CS ON CS.iCmpScaId = K.iCmpScaId "
                       "JOIN TCmp_Componenti C ON C.iCmpId = CS.iCmpId "
                       "JOIN TClsSesMat S ON S.iClsSesMatId = K.iClsSesMatId "
                       "JOIN TMatRma R ON R.iMatRmaId = S.iMatRmaId "
                       "JOIN TMat_Materie M ON M.iMatId = R.iMatId "
                       "JOIN TSit_Situazioni T ON T.iSitId = V.iSitId "
                       "JOIN TClsPst P ON P.iClsPstId = T.iClsPstId "
                       "JOIN TMatRmaPst MP ON MP.iMatRmaId = R.iMatRmaId AND MP.iPstId = P.iPstId "
                       "WHERE V.iSitId = ? AND S.iClsSesId = ? AND MP.iMatRmaPstInMedia = 1 AND %3 "
                       "GROUP BY S.iClsSesMatId, M.sMatCodVexto")
                       .arg(value, from, counts),
                   {iSitId, iClsSesId});
        double sum = 0;
        int subjects = 0;
        while (q.next()) {
            const QString code = q.value(0).toString();
            if (code == QLatin1String("RELIGIONE") ||
                (!withConduct && code == QLatin1String("CONDOTTA")))
                continue;
            sum += q.value(1).toDouble() / q.value(2).toDouble();
            ++subjects;
        }
        return subjects ? sum / subjects : 0;
    }

    // A pupil of the working year's final session with a vote in the subject of that name.
    static std::pair<int, int> pupilWith(const char *table, const char *code)
    {
        QSqlQuery q = runSql(QStringLiteral("SELECT FIRST 1 V.iSitId, S.iClsSesId FROM %1 V "
                                            "JOIN TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId "
                                            "JOIN TClsSesMat S ON S.iClsSesMatId = K.iClsSesMatId "
                                            "JOIN TClsSes CS ON CS.iClsSesId = S.iClsSesId "
                                            "JOIN TMatRma R ON R.iMatRmaId = S.iMatRmaId "
                                            "JOIN TMat_Materie M ON M.iMatId = R.iMatId "
                                            "WHERE CS.iAnsSesDwgId = 392 AND M.sMatLDesc = ? "
                                            "ORDER BY V.iSitId")
                                 .arg(QString::fromLatin1(table)),
                             {QString::fromLatin1(code)});
        return q.next() ? std::make_pair(q.value(0).toInt(), q.value(1).toInt())
                        : std::make_pair(0, 0);
    }

    ProgramDatabase db;
};

TEST_F(DemoAverages, ConductCountsFromYearKey39AndTheRestMatchesTheVotesStored)
{
    const auto [sit, clsSes] = pupilWith("TVot_Voti", "CONDOTTA");
    ASSERT_NE(sit, 0);
    SetAnsIdMedia(38);
    const double without = MediaVoti(sit, -1, clsSes, false);
    SetAnsIdMedia(39);
    const double with = MediaVoti(sit, -1, clsSes, false);
    EXPECT_NEAR(without, oracle(false, sit, clsSes, false), 1e-12);
    EXPECT_NEAR(with, oracle(false, sit, clsSes, true), 1e-12);
    EXPECT_NE(with, without);

    // Without a class session, the votes of the final-kind sessions: not those of the term.
    EXPECT_DOUBLE_EQ(MediaVoti(sit, -1, 0, false), with);
    const int firstTerm = clsSes - 1;
    EXPECT_NEAR(MediaVoti(sit, -1, firstTerm, false), oracle(false, sit, firstTerm, true), 1e-12);
    EXPECT_EQ(MediaVoti(sit, -1, clsSes + 1000, false), 0); // a class session without its votes

    const auto [proposing, proposingClsSes] = pupilWith("TVtp_Proposti", "ITALIANO");
    ASSERT_NE(proposing, 0);
    SetAnsIdMedia(38);
    EXPECT_NEAR(MediaVotiProposti(proposing, -1, proposingClsSes),
                oracle(true, proposing, proposingClsSes, false), 1e-12);
}

TEST_F(DemoAverages, InsideACallersTransactionTheyReadItsRowsWithStatementsPreparedOnce)
{
    const auto [sit, clsSes] = pupilWith("TVot_Voti", "ITALIANO");
    ASSERT_NE(sit, 0);
    SetAnsIdMedia(39);
    const double before = MediaVoti(sit, -1, clsSes, false);
    {
        TVxTransaction tr(qqoVxGlobConn());
        ASSERT_TRUE(tr.StartTransaction());
        TVxFieldValues values;
        values.setValue(QStringLiteral("iSitId"), sit);
        values.setValue(QStringLiteral("iClsSesId"), clsSes);
        // Every counted vote of the pupil becomes a 10: the average inside sees it.
        tr.Exec(QStringLiteral("UPDATE TVot_Voti V SET iScaLivId = 110 WHERE V.iSitId = "
                               ":iSitId AND V.iScaLivId BETWEEN 101 AND 109 AND EXISTS "
                               "(SELECT 1 FROM TClsMatCmp K JOIN TClsSesMat S ON "
                               "S.iClsSesMatId = K.iClsSesMatId WHERE K.iClsMatCmpId = "
                               "V.iClsMatCmpId AND S.iClsSesId = :iClsSesId)"),
                values);
        EXPECT_DOUBLE_EQ(MediaVoti(sit, -1, clsSes, false), 10);
        const int prepared = tr.preparedCount();
        for (int other = sit + 1; other < sit + 20; ++other)
            MediaVoti(other, -1, clsSes, false);
        EXPECT_EQ(tr.preparedCount(), prepared);
    }
    EXPECT_DOUBLE_EQ(MediaVoti(sit, -1, clsSes, false), before); // rolled back
    EXPECT_NE(before, 10);
}

} // namespace
