#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevinstall.h"
#include "gradeentry/qevparvis.h"
#include "platform/vxexception.h"
#include "shell/qelactivations.h"
#include "tests/support/testdb.h"

#include <QSet>
#include <QSqlQuery>

namespace {

constexpr int k5A = 39005;             // 5A of 2008/2009
constexpr int k5AFinal = k5A * 10 + 2; // its class session in the final session
constexpr int k5BFinal = 39015 * 10 + 2;

QStringList column(const QString &sql, const QVariantList &values = {})
{
    QStringList texts;
    QSqlQuery q = runSql(sql, values);
    while (q.next())
        texts << q.value(0).toString().trimmed();
    return texts;
}

QStringList texts(const TqevStringList &list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out << list.Strings(i);
    return out;
}

// "subject/component" of the parallel lists, without their placeholder.
QStringList pairs(const TqevStringList &mats, const TqevStringList &cmps)
{
    QStringList out;
    for (int i = 1; i < mats.Count(); ++i)
        out << QStringLiteral("%1/%2")
                   .arg(mats.ObjectAs<TRecMat>(i)->iClsSesMatId)
                   .arg(cmps.ObjectAs<TRecCmp>(i)->iCmpScaId);
    return out;
}

// The (subject, component) pairs of a class session on any of its plans, by taxonomy flag.
QStringList storedPairs(int clsSes, int tass)
{
    QStringList out = column(
        QStringLiteral("SELECT DISTINCT S.iClsSesMatId || '/' || K.iCmpScaId FROM TClsMatCmp K "
                       "JOIN TClsSesMat S ON S.iClsSesMatId = K.iClsSesMatId "
                       "JOIN TCmpSca C ON C.iCmpScaId = K.iCmpScaId "
                       "JOIN TClsSes CS ON CS.iClsSesId = S.iClsSesId "
                       "JOIN TClsPst P ON P.iClsId = CS.iClsId "
                       "JOIN TMatRmaPst MP ON MP.iMatRmaId = S.iMatRmaId AND MP.iPstId = P.iPstId "
                       "WHERE S.iClsSesId = ? AND C.iCmpScaTass = ? "
                       "AND MP.iMatRmaPstOrdine IS NOT NULL"),
        {clsSes, tass});
    out.sort();
    return out;
}

class GradeData : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        module.iAnsSesDwgId = 392;
    }

    const TRecAna &pupil(int i) const { return *module.slAlunni.ObjectAs<TRecAna>(i); }

    ProgramDatabase db;
    TdmqevDataSets module;
};

TEST_F(GradeData, OpeningAClassSessionListsItsPupilsSubjectsAndComponents)
{
    module.ApriClsSes(k5AFinal);
    EXPECT_EQ(module.iClsId, k5A);
    EXPECT_EQ(module.iAnsId, 39);
    EXPECT_EQ(module.iAcsAnnoCorso, 5);
    EXPECT_EQ(module.iSfiId, 2);
    EXPECT_EQ(module.iAbilita[abVot], 1);
    EXPECT_EQ(module.sDesClsSes,
              QStringLiteral("Anno: 2008/2009  Sessione: Scrutinio finale  Classe: ") +
                  scalar(QStringLiteral("SELECT sClsDesc FROM TCls_Classi WHERE iClsId = ?"), {k5A})
                      .toString());

    // Pupils on the register, first situations only, by register number.
    const QStringList expected = column(
        QStringLiteral("SELECT RIGHT('00' || S.iSitPosReg, 2) || ') ' || A.sAnaCognome || ' ' || "
                       "A.sAnaNome FROM TSit_Situazioni S JOIN TAna_Anagrafiche A ON A.iAnaId = "
                       "S.iAnaId JOIN TClsPst P ON P.iClsPstId = S.iClsPstId WHERE P.iClsId = ? "
                       "AND S.iSitOrdine = 1 AND S.iSitPosReg > 0 ORDER BY S.iSitPosReg"),
        {k5A});
    EXPECT_EQ(texts(module.slAlunni), expected);
    const int situations =
        scalar(QStringLiteral("SELECT COUNT(*) FROM TSit_Situazioni S JOIN TClsPst P ON "
                              "P.iClsPstId = S.iClsPstId WHERE P.iClsId = ?"),
               {k5A})
            .toInt();
    EXPECT_EQ(module.slAlunni.Count(), situations - 2); // off the register, second situation
    QSet<int> plans;
    for (int i = 0; i < module.slAlunni.Count(); ++i)
        plans << pupil(i).iPstId;
    EXPECT_EQ(plans, (QSet<int>{11, 12}));

    // Header lists: a placeholder, then one item per subject or per pair.
    for (const TqevStringList *list : {&module.slMaterie, &module.slMatVot, &module.slCmpVot,
                                       &module.slMatTas, &module.slCmpTas, &module.slMatCls}) {
        EXPECT_TRUE(list->Strings(0).isEmpty());
        EXPECT_EQ(list->Objects(0), nullptr);
    }
    QStringList votePairs = pairs(module.slMatVot, module.slCmpVot);
    QStringList taxonomyPairs = pairs(module.slMatTas, module.slCmpTas);
    EXPECT_EQ(votePairs.size(), QSet<QString>(votePairs.begin(), votePairs.end()).size());
    votePairs.sort();
    taxonomyPairs.sort();
    EXPECT_EQ(votePairs, storedPairs(k5AFinal, 0));
    EXPECT_EQ(taxonomyPairs, storedPairs(k5AFinal, 1));
    const QStringList subjects = column(
        QStringLiteral("SELECT M.sMatCodUser FROM TClsSesMat S JOIN TMatRma R ON R.iMatRmaId = "
                       "S.iMatRmaId JOIN TMat_Materie M ON M.iMatId = R.iMatId JOIN TMatRmaPst MP "
                       "ON MP.iMatRmaId = R.iMatRmaId AND MP.iPstId = 11 WHERE S.iClsSesId = ? "
                       "ORDER BY 1"),
        {k5AFinal});
    QStringList listed = texts(module.slMaterie).mid(1);
    listed.sort();
    EXPECT_EQ(listed, subjects);
    EXPECT_LT(module.slMaterie.Count(), module.slMatVot.Count()); // two components, one subject
    EXPECT_EQ(module.slMatCls.Count(), module.slMaterie.Count());
    for (int i = 1; i < module.slMatCls.Count(); ++i) // keyed by iMatId
        EXPECT_LE(module.slMatCls.ObjectAs<TRecMat>(i)->iClsSesMatId, 19);
}

TEST_F(GradeData, TheClassAskedForOrTheFirstIsOpenedAndPupilListsAreNeverStale)
{
    module.ApriClsSes(0);
    EXPECT_EQ(module.iClsSesId,
              scalar(QStringLiteral("SELECT FIRST 1 CS.iClsSesId FROM TClsSes CS JOIN TCls_Classi "
                                    "C ON C.iClsId = CS.iClsId WHERE CS.iAnsSesDwgId = 392 "
                                    "ORDER BY C.iClsOrdine"))
                  .toInt());

    module.ApriClsSes(k5AFinal);
    const QString caption = module.sDesClsSes;
    const int outsider = pupil(0).iSitId + 100000;
    EXPECT_THROW(module.SelezionaAlunno(outsider), EVxException);
    // Not in the session's list: refused, the open class stays.
    EXPECT_THROW(module.ApriClsSes(39015 * 10 + 1), EVxException);
    EXPECT_EQ(module.iClsSesId, k5AFinal);
    EXPECT_EQ(module.sDesClsSes, caption);

    module.ApriClsSes(k5BFinal);
    for (int i = 0; i < module.slAlunni.Count(); ++i)
        EXPECT_EQ(scalar(QStringLiteral("SELECT P.iClsId FROM TSit_Situazioni S JOIN TClsPst P "
                                        "ON P.iClsPstId = S.iClsPstId WHERE S.iSitId = ?"),
                         {pupil(i).iSitId})
                      .toInt(),
                  39015);

    // A subject filter names the subject and keeps the class caption of before.
    const QString classCaption = module.sDesClsSes;
    module.iClsSesMatId =
        scalar(QStringLiteral("SELECT S.iClsSesMatId FROM TClsSesMat S WHERE S.iClsSesId = ? "
                              "AND S.iMatRmaId = 3"),
               {k5AFinal})
            .toInt();
    module.ApriClsSes(k5AFinal);
    EXPECT_EQ(module.sDesClsSes, classCaption);
    EXPECT_TRUE(module.sDesClsSesMat.endsWith(QStringLiteral("  Materia: MATEMATICA")));
    EXPECT_EQ(module.slMaterie.Count(), 2);
}

TEST_F(GradeData, APupilsListsFollowTheirPlanAndTheLoadFilterAnswersEveryCaller)
{
    module.ApriClsSes(k5AFinal);
    int withReligion = -1;
    int withoutReligion = -1;
    for (int i = 0; i < module.slAlunni.Count(); ++i)
        (pupil(i).iPstId == 12 ? withoutReligion : withReligion) = i;
    ASSERT_GE(withoutReligion, 0);

    auto select = [&](int i) {
        module.iAnaId = pupil(i).iAnaId;
        module.SelezionaAlunno(pupil(i).iSitId);
    };
    select(withoutReligion);
    EXPECT_EQ(module.sNomeAlunno, pupil(withoutReligion).sAnaCognome + QStringLiteral(" ") +
                                      pupil(withoutReligion).sAnaNome);
    EXPECT_TRUE(module.sDesAlunno.endsWith(QStringLiteral(" Alunno: ") + module.sNomeAlunno));
    EXPECT_EQ(texts(module.slMatAluVot).indexOf(QStringLiteral("RELIGIONE")), -1);
    EXPECT_EQ(texts(module.slMatAlu).indexOf(QStringLiteral("RELIGIONE")), -1);
    select(withReligion);
    EXPECT_GE(texts(module.slMatAluVot).indexOf(QStringLiteral("RELIGIONE")), 1);
    EXPECT_EQ(module.slMatAluVot.Count(), module.slMaterie.Count());

    // Two frames of one pupil ask for different lists.
    const TRecAna &a = pupil(withReligion);
    TqevListaFiltro votes;
    module.SetFiltroCaricamento(a.iAnaId, 39, votes, false);
    QStringList got;
    for (const TqevVoceFiltro &v : votes)
        got << QStringLiteral("%1/%2").arg(v.iId).arg(v.iCmpScaId);
    got.sort();
    QStringList stored = storedPairs(k5AFinal, 0) + storedPairs(k5AFinal, 1);
    stored.sort();
    EXPECT_EQ(got, stored);

    TqevListaFiltro debts;
    module.SetFiltroCaricamento(a.iAnaId, 39, debts, true);
    EXPECT_TRUE(ContieneMateria(debts, 13)); // RELIGIONE by iMatId
    EXPECT_FALSE(ContieneMateria(debts, votes.first().iId));
    TqevListaFiltro again; // a list of its own, same arguments: the same lines
    module.SetFiltroCaricamento(a.iAnaId, 39, again, false);
    EXPECT_EQ(again, votes);
    const TRecAna &b = pupil(withoutReligion);
    TqevListaFiltro other;
    module.SetFiltroCaricamento(b.iAnaId, 39, other, false);
    EXPECT_LT(other.size(), votes.size());
    // Another year is read for the pupil alone: his subjects of 2007/2008, religion among them.
    TqevListaFiltro before;
    module.SetFiltroCaricamento(a.iAnaId, 38, before, true);
    EXPECT_TRUE(ContieneMateria(before, 13));
}

TEST(GradeEntryInstall, TheCommandTableCreatesTheModuleWithoutTouchingTheDatabase)
{
    TestMainDir mainDir; // no connection settings, nothing open
    installGradeEntry();
    {
        TdmqelActivations table;
        ASSERT_NE(dmqevDataSets, nullptr);
        EXPECT_EQ(dmqevDataSets->parent(), &table);
        EXPECT_EQ(dmqevParVis, dmqevDataSets->ParVis());
    }
    EXPECT_EQ(dmqevDataSets, nullptr);
    EXPECT_EQ(dmqevParVis, nullptr);
}

} // namespace
