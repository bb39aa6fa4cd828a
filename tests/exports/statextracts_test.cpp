#include "exports/qelstatextracts.h"
#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/transaction.h"
#include "tests/support/testdb.h"

#include <QTemporaryDir>

#include <functional>

namespace {

class StatExtracts : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(db.opened); }
    // The rows of a file written by the work, in one transaction as the window writes them.
    TClientDataSet &written(const std::function<void(TQelStatExtracts &, const QString &)> &work)
    {
        TVxTransactionScope scope(qqoVxGlobConn());
        TQelStatExtracts extracts(scope.transaction(), QStringLiteral("1.1.0"));
        work(extracts, path);
        scope.Commit();
        cds.LoadFromFile(path);
        return cds;
    }
    QVariantList column(const char *name)
    {
        QVariantList values;
        for (cds.First(); !cds.Eof(); cds.Next())
            values << cds.FieldByName(QString::fromLatin1(name))->Value();
        return values;
    }

    ProgramDatabase db;
    QTemporaryDir out;
    const QString path = out.path() + QStringLiteral("/extract.cds");
    TClientDataSet cds;
};

} // namespace

// Each site's file holds the classes of its site, together all of them; a session without
// classes gives files without rows and no label. A subject's mean decides its pass mark: the
// technical classes have proposals only, so no vote mean, and no mean is not enough.
TEST_F(StatExtracts, SessionFilesSplitBySite)
{
    const std::optional<QString> everySite;
    for (const bool subjects : {false, true}) {
        const auto write = [&](const std::optional<QString> &site, int session = 392) {
            return [=](TQelStatExtracts &x, const QString &path) {
                subjects ? x.WriteSessionSubjects(session, site, path)
                         : x.WriteSessionPupils(session, site, path);
            };
        };
        const int all = written(write(everySite)).RecordCount();
        EXPECT_GT(all, 0);
        EXPECT_EQ(TQelStatExtracts::SessionLabel(path), "Scrutinio finale 2008-2009");
        int withoutVotes = 0;
        for (cds.First(); subjects && !cds.Eof(); cds.Next()) {
            for (const auto &[mean, pass] :
                 {std::pair{"FMEDIAVOTI", "SSUFFVOTI"}, std::pair{"FMEDIAVTP", "SSUFFVTP"}}) {
                const TField *m = cds.FieldByName(QString::fromLatin1(mean));
                EXPECT_EQ(cds.FieldByName(QString::fromLatin1(pass))->AsString(),
                          !m->IsNull() && m->AsFloat() >= 6 ? "Sufficiente" : "Insufficiente");
            }
            const bool technical = cds.FieldByName("ICLSID")->AsInteger() % 1000 / 10 == 1;
            EXPECT_EQ(cds.FieldByName("FMEDIAVOTI")->IsNull(), technical);
            withoutVotes += technical;
        }
        EXPECT_TRUE(!subjects || (withoutVotes > 0 && withoutVotes < all));
        int split = 0;
        for (const QString site : {"ABCD01000X", "ABCD01001Y"}) {
            split += written(write(site)).RecordCount();
            // The second site teaches the vocational classes (section C) only.
            for (const QVariant &cls : column("ICLSID"))
                EXPECT_EQ(cls.toInt() % 1000 / 10 == 2, site == "ABCD01001Y") << site.toStdString();
        }
        EXPECT_EQ(split, all) << subjects;

        runSql("UPDATE OR INSERT INTO TAnsSesDwg (iAnsSesDwgId, iAnsId, iDwgId, iSesId, iSfiId) "
               "VALUES (395, 39, 2, 5, 1) MATCHING (iAnsSesDwgId)");
        EXPECT_EQ(written(write(everySite, 395)).RecordCount(), 0) << subjects;
        EXPECT_EQ(TQelStatExtracts::SessionLabel(path), QString());
    }
}

// One row per candidate, citizenship and exam vote; the final vote adds the credits.
TEST_F(StatExtracts, CandidatesOneRowPerCitizenshipAndExamVote)
{
    const int pupil = scalar("SELECT S.iAnaId FROM TCan_Candidati C JOIN TSit_Situazioni S "
                             "ON S.iSitId = C.iSitId WHERE C.iCanId = 1")
                          .toInt();
    runSql("INSERT INTO TAnaCitt (iAnaCittId, iAnaId, iStaId) VALUES (900001, ?, 3)", {pupil});
    const auto candidates = [](const std::optional<QString> &site) {
        return
            [=](TQelStatExtracts &x, const QString &path) { x.WriteCandidates(39, 2, site, path); };
    };
    written(candidates(std::nullopt));
    EXPECT_EQ(column("ICANID"), (QVariantList{1, 1, 1, 1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(column("ICVTVOTO"), (QVariantList{12, 12, 24, 12, 12, 24, 11, 11, 21}));
    EXPECT_EQ(column("SCITTSTRANIERA").first().toString(), QStringLiteral("Albania"));
    const int credits = scalar("SELECT SUM(COALESCE(C.iCreRecup, 0) + C.iCreCredito) FROM "
                               "TCre_Crediti C JOIN TSit_Situazioni S ON S.iSitId = C.iSitId "
                               "WHERE S.iAnaId = ?",
                               {pupil})
                            .toInt();
    EXPECT_EQ(column("IVOTOFIN").first().toInt(), 12 + 12 + 24 + credits);
    EXPECT_EQ(written(candidates(QStringLiteral("ABCD01000X"))).RecordCount(), 9);
    EXPECT_EQ(written(candidates(QStringLiteral("ABCD01001Y"))).RecordCount(), 0);
}

// The counted columns of three pupils against their own rows: 752 (1C) had three debts the
// year before, two made up; 957 (5A) has insufficient votes and two debts of a type; 965 (5A)
// regained a credit point in 4A. "?" stands for the situation, then the subject.
TEST_F(StatExtracts, CountedColumnsAgreeWithTheirRows)
{
    const QString inSession = " JOIN TClsSes CS ON CS.iClsSesId = M.iClsSesId "
                              "WHERE CS.iAnsSesDwgId = 392 AND X.iSitId = ?";
    const QString hours = "SELECT SUM(X.iAssOre) FROM TAss_Assenze X JOIN TClsSesMat M ON "
                          "M.iClsSesMatId = X.iClsSesMatId" +
                          inSession;
    const QString before =
        "SELECT COUNT(*) FROM TDeb_Debiti D JOIN TSit_Situazioni P ON P.iSitId = D.iSitId "
        "JOIN TSit_Situazioni X ON X.iAnaId = P.iAnaId AND P.dStart = DATEADD(-1 YEAR TO "
        "X.dStart) WHERE P.iSitOrdine = 1 AND X.iSitId = ?";
    const QString outcome = " AND D.iDesDedId IN (SELECT iDesDedId FROM TDesDed WHERE iDesId = %1)";
    ASSERT_EQ(scalar(before + outcome.arg(1), {752}).toInt(), 2);
    const struct
    {
        bool subjects;
        const char *column;
        QString sql;
    } cases[] = {
        {false, "IINSUF",
         "SELECT COUNT(*) FROM TVot_Voti X JOIN TScaLiv L ON L.iScaLivId = X.iScaLivId JOIN "
         "TClsMatCmp C ON C.iClsMatCmpId = X.iClsMatCmpId JOIN TClsSesMat M ON M.iClsSesMatId "
         "= C.iClsSesMatId" +
             inSession + " AND L.iScaLivSufficiente = 0"},
        {false, "IASSORE", hours},
        {false, "INRDEBPREC", before},
        {false, "INRDEBSANATI", before + outcome.arg(1)},
        {false, "INRDEBNONSANATI", before + outcome.arg(2)},
        {false, "INRDEBATT",
         "SELECT COUNT(*) FROM TDeb_Debiti X WHERE X.iSitId = ? AND X.iDtpDtdId IS NOT NULL"},
        {false, "ITOTCREDITO",
         "SELECT COALESCE(SUM(C.iCreCredito + COALESCE(C.iCreRecup, 0)), 0) FROM TCre_Crediti C "
         "JOIN TSit_Situazioni S ON S.iSitId = C.iSitId JOIN TSit_Situazioni X ON X.iAnaId = "
         "S.iAnaId WHERE X.iSitId = ?"},
        {true, "IOREASS", hours + " AND M.iMatRmaId = ?"},
        {true, "INRDEBPREC", before + " AND D.iMatId = ?"},
        {true, "INRDEBSANATI", before + outcome.arg(1) + " AND D.iMatId = ?"},
    };
    const auto text = [](const QVariant &v) { return v.isNull() ? QString() : v.toString(); };
    const QList<int> pupils = {752, 957, 965};
    for (const bool subjects : {false, true}) {
        written([subjects](TQelStatExtracts &x, const QString &path) {
            subjects ? x.WriteSessionSubjects(392, std::nullopt, path)
                     : x.WriteSessionPupils(392, std::nullopt, path);
        });
        QSet<int> seen;
        for (cds.First(); !cds.Eof(); cds.Next()) {
            const int sit = cds.FieldByName("ISITID")->AsInteger();
            if (!pupils.contains(sit))
                continue;
            seen << sit;
            QVariantList ids{sit};
            if (subjects)
                ids << cds.FieldByName("IMATID")->Value();
            for (const auto &c : cases)
                if (c.subjects == subjects)
                    EXPECT_EQ(text(cds.FieldByName(QString::fromLatin1(c.column))->Value()),
                              text(scalar(c.sql, ids)))
                        << c.column << " " << ids.last().toInt();
        }
        EXPECT_EQ(seen.size(), 3);
    }
}
