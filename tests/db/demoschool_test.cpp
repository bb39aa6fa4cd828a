#include "db/database.h"
#include "db/demoschool.h"
#include "platform/connection.h"
#include "tests/db/sqlcheck.h"
#include "tests/support/testdb.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace sqlcheck;

namespace {

// The working year's classes (2008/2009) and their key scheme iAnsId * 1000 + section * 10
// + course year: 39005 is 5A, 39023 is 3C (the qualification class).
constexpr int k5A = 39005;
constexpr int k5B = 39015;
constexpr int k3C = 39023;

// Situations of a class, through its plans.
const char *kClassSituations =
    "SELECT s.iSitId, s.iSitOrdine, s.iSitPosReg, s.iPosFinId, s.iPosFinId_Sosp, cp.iPstId, "
    "s.iAnaId FROM TSit_Situazioni s JOIN TClsPst cp ON cp.iClsPstId = s.iClsPstId "
    "WHERE cp.iClsId = ? ORDER BY s.iSitPosReg";

// A checksum of a table's rows in key order: two builds of the same scale must agree.
QByteArray tableChecksum(QSqlDatabase &db, const QString &table)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QVariantList &row :
         rows(db, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table))) {
        for (const QVariant &v : row)
            hash.addData((v.isNull() ? QStringLiteral("<null>") : v.toString()).toUtf8() + '|');
        hash.addData("\n");
    }
    return hash.result().toHex();
}

class DemoSchool : public ::testing::Test
{
protected:
    TestDatabase database;
    QSqlDatabase db = database.connect();
};

} // namespace

TEST_F(DemoSchool, YearsSessionsAndPhasesHaveTheSuitesKeys)
{
    const QList<QVariantList> years =
        rows(db, "SELECT iAnsId, iAnsValore, dAnsVextoInizio, dAnsVextoFine, dAnsInizio, dAnsFine "
                 "FROM TAns_AnniScolast ORDER BY iAnsId");
    ASSERT_EQ(years.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(years[i][0].toInt(), 37 + i);
        EXPECT_EQ(years[i][1].toInt(), 2006 + i); // 38 is 2007/2008
        EXPECT_EQ(years[i][2].toDate(), QDate(2006 + i, 9, 1));
        EXPECT_EQ(years[i][3].toDate(), QDate(2007 + i, 8, 31));
        EXPECT_EQ(years[i][4], years[i][2]);
        EXPECT_EQ(years[i][5], years[i][3]);
    }
    // Year-sessions are iAnsId * 10 + iSesId; the working session is 392.
    const QList<QVariantList> sessions = rows(
        db, "SELECT iAnsSesDwgId, iAnsId, iSesId, iSfiId, iDwgId, lAnsSesDwgPagella, iAnsFreDwgId "
            "FROM TAnsSesDwg ORDER BY iAnsSesDwgId");
    QVariantList keys;
    for (const QVariantList &s : sessions) {
        keys << s[0];
        EXPECT_EQ(s[0].toInt(), s[1].toInt() * 10 + s[2].toInt());
        EXPECT_EQ(s[4].toInt(), 2);
        const int ses = s[2].toInt();
        EXPECT_EQ(s[3].toInt(), ses == 1 ? 1 : (ses == 3 ? 3 : 2)) << s[0].toInt();
        EXPECT_EQ(s[5].toInt(), ses <= 2 ? 1 : 0) << s[0].toInt();
        // The deferred session is tied to the year's second make-up phase.
        if (ses == 3)
            EXPECT_EQ(s[6].toInt(), s[1].toInt() * 10 + 2);
        else
            EXPECT_TRUE(s[6].isNull());
    }
    EXPECT_EQ(keys, (QVariantList{371, 372, 373, 381, 382, 383, 391, 392, 393, 394}));
    EXPECT_EQ(column(db, "SELECT iSesId FROM TSes_Sessione ORDER BY 1"),
              (QVariantList{1, 2, 3, 4, 5}));
    EXPECT_EQ(column(db, "SELECT iSfiId FROM TSfi_SessFinale ORDER BY 1"), (QVariantList{1, 2, 3}));
    // Make-up phases are common to every institute, one per year and phase.
    EXPECT_EQ(column(db, "SELECT iAnsFreDwgId FROM TAnsFreDwg WHERE iDwgId IS NULL ORDER BY 1"),
              (QVariantList{371, 372, 381, 382, 391, 392}));
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TAnsFreDwg"), 6);
}

TEST_F(DemoSchool, OneInstituteWithTwoSitesAndTheSchoolsMainSeat)
{
    EXPECT_EQ(column(db, "SELECT iDwgId FROM TDow_DataOwner"), QVariantList{2});
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM VSed_Sedi WHERE iDwgId = 2"), 2);
    const QList<QVariantList> main = rows(db, "SELECT sSedInfCodVexto, sSedMecCod FROM VSed_Sedi "
                                              "WHERE iDwgId IS NULL AND lDwgSedMain = 1");
    ASSERT_EQ(main.size(), 1);
    EXPECT_EQ(main[0][0].toString().size(), 4); // volume names need four characters
    const QString code = main[0][1].toString();
    EXPECT_NE(code.mid(2, 2), "MM");
    EXPECT_NE(code.mid(2, 2), "EE");
    // The vocational course sits in the second site.
    EXPECT_EQ(count(db, "SELECT COUNT(DISTINCT iDwgSedId) FROM TCls_Classi"), 2);
    EXPECT_EQ(scalar(db, "SELECT iDwgSedId FROM TCls_Classi WHERE iClsId = ?", {k3C}).toInt(), 3);
}

TEST_F(DemoSchool, EveryClassOfEveryCourseYearHasItsPupilsPlansAndSessions)
{
    for (int ans : {37, 38, 39}) {
        // Three courses, five course years each, short names unique in the year.
        EXPECT_EQ(count(db, "SELECT COUNT(*) FROM VCls_Classi WHERE iAnsId = ?", {ans}), 15);
        EXPECT_EQ(
            count(db, "SELECT COUNT(DISTINCT sClsSDesc) FROM VCls_Classi WHERE iAnsId = ?", {ans}),
            15);
        EXPECT_EQ(
            count(
                db,
                "SELECT COUNT(DISTINCT iIndId || '/' || iAcsId) FROM VCls_Classi WHERE iAnsId = ?",
                {ans}),
            15);
    }
    const QList<QVariantList> sizes =
        rows(db, "SELECT c.iClsId, COUNT(s.iSitId) FROM TCls_Classi c "
                 "LEFT JOIN TClsPst cp ON cp.iClsId = c.iClsId "
                 "LEFT JOIN TSit_Situazioni s ON s.iClsPstId = cp.iClsPstId GROUP BY c.iClsId");
    ASSERT_EQ(sizes.size(), 45);
    for (const QVariantList &s : sizes) {
        EXPECT_GE(s[1].toInt(), 20) << s[0].toInt();
        EXPECT_LE(s[1].toInt(), 30) << s[0].toInt();
    }
    // Every class is on both plans of its course and has a session per year-session.
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TClsPst"), 90);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TClsSes"), 45 * 3 + 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TClsSes WHERE iAnsSesDwgId = 394"), 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TClsSes WHERE iClsSesVot = 1 AND iClsSesComp = 1"),
              136);
    // The band type of a class session is its course year's.
    EXPECT_EQ(count(db,
                    "SELECT COUNT(*) FROM TClsSes cs JOIN TCls_Classi c ON c.iClsId = cs.iClsId "
                    "JOIN TAcs_AnniCorso a ON a.iAcsId = c.iAcsId "
                    "WHERE COALESCE(cs.iTbnId, 0) <> COALESCE(a.iTbnId, 0)"),
              0);
    // Class and year dates agree, as every year-membership join expects.
    EXPECT_EQ(
        count(
            db,
            "SELECT COUNT(*) FROM TSit_Situazioni s JOIN TClsPst cp ON cp.iClsPstId = s.iClsPstId "
            "JOIN TCls_Classi c ON c.iClsId = cp.iClsId WHERE s.dStart <> c.dStart"),
        0);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM VCls_Classi WHERE sClsAnnoScol IS NULL"), 0);
}

TEST_F(DemoSchool, PupilsMoveUpOneClassAYear)
{
    // Most pupils of 2007/2008's 4A sit in 2008/2009's 5A.
    EXPECT_GE(count(db,
                    "SELECT COUNT(*) FROM TSit_Situazioni s38 "
                    "JOIN TClsPst p38 ON p38.iClsPstId = s38.iClsPstId AND p38.iClsId = 38004 "
                    "JOIN TSit_Situazioni s39 ON s39.iAnaId = s38.iAnaId "
                    "JOIN TClsPst p39 ON p39.iClsPstId = s39.iClsPstId AND p39.iClsId = ?",
                    {k5A}),
              15);
    // Not admitted pupils repeat the year.
    EXPECT_GT(
        count(
            db,
            "SELECT COUNT(*) FROM TSit_Situazioni a JOIN TClsPst pa ON pa.iClsPstId = a.iClsPstId "
            "JOIN TCls_Classi ca ON ca.iClsId = pa.iClsId "
            "JOIN TSit_Situazioni b ON b.iAnaId = a.iAnaId AND b.dStart > a.dStart "
            "JOIN TClsPst pb ON pb.iClsPstId = b.iClsPstId "
            "JOIN TCls_Classi cb ON cb.iClsId = pb.iClsId "
            "WHERE a.iPosFinId = 2 AND ca.iAcsId = cb.iAcsId"),
        0);
    // At most one main situation per pupil and year.
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM (SELECT iAnaId, dStart FROM TSit_Situazioni "
                        "WHERE iSitOrdine = 1 GROUP BY 1, 2 HAVING COUNT(*) > 1)"),
              0);
}

TEST_F(DemoSchool, Class5AHoldsTheOfficesSpecialCases)
{
    const QList<QVariantList> sits = rows(db, kClassSituations, {k5A});
    ASSERT_GE(sits.size(), 20);
    int offRegister = 0, second = 0, suspended = 0, notAdmitted = 0, withoutReligion = 0;
    for (const QVariantList &s : sits) {
        const int posFin = s[3].toInt();
        offRegister += s[2].toInt() == 0;
        second += s[1].toInt() == 2;
        withoutReligion += s[5].toInt() == 12;
        if (posFin == 11) {
            ++suspended;
            EXPECT_EQ(s[4].toInt(), 11); // outcome and suspension agree
        } else {
            EXPECT_TRUE(s[4].isNull());
            EXPECT_TRUE(posFin == 1 || posFin == 2) << posFin;
            notAdmitted += posFin == 2;
        }
    }
    EXPECT_EQ(offRegister, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(suspended, 1);
    EXPECT_EQ(notAdmitted, 1);
    EXPECT_GE(withoutReligion, 1);
    // The second situation's pupil left 5B, where the main situation ended with a transfer.
    const QList<QVariantList> moved = rows(
        db, "SELECT s.iPosFinId, s.dSitTraRit, cp.iClsId FROM TSit_Situazioni s "
            "JOIN TClsPst cp ON cp.iClsPstId = s.iClsPstId WHERE s.iSitOrdine = 1 AND s.dStart = "
            "'2008-09-01' "
            "AND s.iAnaId = (SELECT s2.iAnaId FROM TSit_Situazioni s2 WHERE s2.iSitOrdine = 2)");
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved[0][0].toInt(), 17);
    EXPECT_TRUE(moved[0][1].toDate().isValid());
    EXPECT_EQ(moved[0][2].toInt(), k5B);
    // Its credit counts though the situation is not the main one.
    EXPECT_EQ(
        count(db,
              "SELECT COUNT(*) FROM TCre_Crediti c JOIN TSit_Situazioni s ON s.iSitId = c.iSitId "
              "WHERE s.iSitOrdine = 2 AND c.lCreConsideraCurrDis = 1"),
        1);
}

TEST_F(DemoSchool, SuspensionIsTheSameByEveryDefinition)
{
    // Suspended: iPosFinId_Sosp set, that position in state 11, and the outcome the same.
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TSit_Situazioni WHERE iPosFinId_Sosp IS NOT NULL"),
              20);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TSit_Situazioni s JOIN TPosFin p ON p.iPosFinId = "
                        "s.iPosFinId_Sosp "
                        "WHERE p.iStaFinId <> 11 OR s.iPosFinId IS DISTINCT FROM s.iPosFinId_Sosp"),
              0);
    EXPECT_EQ(
        count(db,
              "SELECT COUNT(*) FROM TSit_Situazioni s JOIN TPosFin p ON p.iPosFinId = s.iPosFinId "
              "WHERE p.iStaFinId = 11 AND s.iPosFinId_Sosp IS NULL"),
        0);
    // Every suspended pupil has debts in the year, and only suspended pupils have.
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TSit_Situazioni s WHERE s.iPosFinId = 11 "
                        "AND NOT EXISTS (SELECT 1 FROM TDeb_Debiti d WHERE d.iSitId = s.iSitId)"),
              0);
    EXPECT_EQ(
        count(db,
              "SELECT COUNT(*) FROM TDeb_Debiti d JOIN TSit_Situazioni s ON s.iSitId = d.iSitId "
              "WHERE s.iPosFinId <> 11"),
        0);
}

TEST_F(DemoSchool, OutcomeLookupsHaveTheComparedKeys)
{
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TPosFin WHERE iPosFinId IN (1, 2, 11, 17, 19)"), 5);
    EXPECT_EQ(scalar(db, "SELECT iStaFinId FROM TPosFin WHERE iPosFinId = 11").toInt(), 11);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TStaFin WHERE iStaFinId IN (1, 3, 5, 11)"), 4);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TPosFin WHERE lPosFinVisible = 0"), 1);
    EXPECT_EQ(column(db, "SELECT iModId FROM TMod_ModoInvio ORDER BY 1"),
              (QVariantList{1, 2, 3, 4, 5}));
    EXPECT_EQ(column(db, "SELECT iDesId FROM TDes_DebEsito ORDER BY 1"), (QVariantList{1, 2}));
    EXPECT_EQ(column(db, "SELECT iCagId FROM TCag_Categorie ORDER BY 1"), (QVariantList{1, 2, 3}));
    EXPECT_EQ(
        column(db, "SELECT sFreqSDesc FROM TFreq_Frequenza WHERE iFreqId > 1 ORDER BY iFreqId"),
        (QVariantList{"D", "N"}));
    EXPECT_EQ(scalar(db, "SELECT sSexSDesc FROM TSex_Sesso WHERE iSexId = 2").toString(), "F");
    EXPECT_EQ(scalar(db, "SELECT sStaCee FROM TSta_Stati WHERE iStaId = 1").toString(), "CEE");
    // Make-up types and outcomes are picked by their keypad digit.
    EXPECT_EQ(count(db, "SELECT COUNT(DISTINCT iTrePeso) FROM TTre_TipoRec"), 3);
    EXPECT_EQ(count(db, "SELECT COUNT(DISTINCT iPesoRec) FROM TEre_EsitoRec"), 3);
    EXPECT_EQ(column(db, "SELECT iFreId FROM TFre_FasiRec ORDER BY 1"), (QVariantList{1, 2}));
}

TEST_F(DemoSchool, SubjectsComponentsAndScalesCarryTheSuitesCodes)
{
    for (const char *code : {"CONDOTTA", "RELIGIONE", "AMMISSIONE", "QUALIFICA"})
        EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TMat_Materie WHERE sMatCodVexto = ?", {code}), 1)
            << code;
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TMat_Materie WHERE sMatCodVexto = 'PROVA'"), 2);
    // Statistics group by the main subject: applied mathematics counts as MATEMATICA.
    EXPECT_EQ(
        scalar(
            db,
            "SELECT UPPER(p.sMatLDesc) FROM TMatRma r JOIN TMat_Materie m ON m.iMatId = r.iMatId "
            "JOIN TMat_Materie p ON p.iMatId = r.iMatId_P WHERE m.sMatLDesc = 'MATEMATICA "
            "APPLICATA'")
            .toString(),
        "MATEMATICA");
    EXPECT_EQ(scalar(db, "SELECT sCmpLDesc FROM TCmp_Componenti WHERE iCmpId = 1").toString(),
              "Scritto");
    EXPECT_EQ(column(db, "SELECT iCmpPeso FROM TCmp_Componenti WHERE iCmpPeso > 100 ORDER BY 1"),
              (QVariantList{777, 888, 999}));
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TCmp_Componenti WHERE sCmpLDesc = 'RELIGIONE'"), 1);
    EXPECT_EQ(count(db,
                    "SELECT COUNT(*) FROM TScaLiv sl JOIN TLiv_Livelli l ON l.iLivId = sl.iLivId "
                    "WHERE l.sLivSDesc = 'NC' AND sl.iScaLivInMedia = 0"),
              1);
    // Hundredths from 0 to 100, sufficient from 60.
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TScaLiv WHERE iScaId = 2"), 21);
    EXPECT_EQ(
        scalar(db,
               "SELECT MIN(iScaLivValore) FROM TScaLiv WHERE iScaId = 2 AND iScaLivSufficiente = 1")
            .toInt(),
        60);
    // Proposals may have decimals and become a tenths level.
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TPrpScaLiv WHERE fPrpScaLivValore = 6.5"), 1);
    // The licence path: judgment texts equal the upper-cased level texts.
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TGme_GiuMatEleMed g WHERE NOT EXISTS "
                        "(SELECT 1 FROM TLiv_Livelli l WHERE UPPER(l.sLivLDesc) = g.sGmeLDesc)"),
              0);
    // The qualification class has the exam subjects in its final and exam sessions.
    EXPECT_EQ(
        count(
            db,
            "SELECT COUNT(*) FROM TClsSesMat WHERE iClsSesId = ? AND iMatRmaId IN (15, 16, 17, 18)",
            {k3C * 10 + 4}),
        4);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TClsSesMat WHERE iClsSesId = ? AND iMatRmaId = 15",
                    {k3C * 10 + 2}),
              1);
}

TEST_F(DemoSchool, TeachersLieInTheirRangeAndEveryClassHasACoordinator)
{
    EXPECT_EQ(count(db,
                    "SELECT COUNT(*) FROM TAnaCag c JOIN TAna_Anagrafiche a ON a.iAnaId = c.iAnaId "
                    "WHERE c.iCagId = 3 AND (a.iAnaId < 1000001 OR a.iAnaId > 1099999)"),
              0);
    const int teachers = count(db, "SELECT COUNT(*) FROM TAnaCag WHERE iCagId = 3");
    EXPECT_GE(teachers, 15);
    EXPECT_EQ(
        count(
            db,
            "SELECT COUNT(*) FROM TAnaPer_Personale p JOIN TAnaCag c ON c.iAnaCagId = p.iAnaCagId "
            "WHERE c.iCagId = 3 AND p.iDwgId = 2 AND p.iStabPerId = 1 AND p.iDctId = 1"),
        teachers);
    EXPECT_EQ(count(db,
                    "SELECT COUNT(*) FROM TAna_Anagrafiche a JOIN TAnaCag c ON c.iAnaId = a.iAnaId "
                    "WHERE c.iCagId = 3 AND a.sAnaPwPert IS NULL"),
              0);
    EXPECT_EQ(count(db,
                    "SELECT COUNT(*) FROM TCls_Classi c WHERE (SELECT COUNT(*) FROM TClsMatAna m "
                    "WHERE m.iClsId = c.iClsId AND m.lClsMatAnaCoord = 1) <> 1"),
              0);
    // Somewhere two teachers share a subject; one teacher holds a subject in several classes.
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM (SELECT iClsId, iMatId FROM TClsMatAna "
                        "GROUP BY 1, 2 HAVING COUNT(*) > 1)"),
              0);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM (SELECT iAnaId, iMatId FROM TClsMatAna WHERE dStart "
                        "= '2008-09-01' "
                        "GROUP BY 1, 2 HAVING COUNT(*) > 1)"),
              0);
    // Send modes of the working session: web service, network folder, teacher program.
    EXPECT_GE(count(db, "SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iModId = 5 AND iAaiModulo = 1 "
                        "AND iAnsSesDwgId = 392"),
              teachers / 2);
    EXPECT_EQ(count(db,
                    "SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iModId = 2 AND iAaiInviato = 1 "
                    "AND sAaiDirInviato IS NOT NULL"),
              2);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iModId = 4"), 2);
}

TEST_F(DemoSchool, EarlierYearsAreScrutinisedAndTheWorkingSessionIsHalfDone)
{
    // Votes in the first term and final session of every year; conduct in 38 and 39.
    for (int session : {371, 372, 381, 382, 391, 392})
        EXPECT_GT(count(db,
                        "SELECT COUNT(*) FROM TVot_Voti v JOIN TClsMatCmp c ON c.iClsMatCmpId = "
                        "v.iClsMatCmpId "
                        "JOIN TClsSesMat m ON m.iClsSesMatId = c.iClsSesMatId "
                        "JOIN TClsSes s ON s.iClsSesId = m.iClsSesId WHERE s.iAnsSesDwgId = ?",
                        {session}),
                  1000)
            << session;
    for (int session : {382, 392})
        EXPECT_GT(count(db,
                        "SELECT COUNT(*) FROM TVot_Voti v JOIN TClsMatCmp c ON c.iClsMatCmpId = "
                        "v.iClsMatCmpId "
                        "JOIN TClsSesMat m ON m.iClsSesMatId = c.iClsSesMatId "
                        "JOIN TClsSes s ON s.iClsSesId = m.iClsSesId "
                        "WHERE s.iAnsSesDwgId = ? AND m.iMatRmaId = 14",
                        {session}),
                  50);
    // The working session: the technical course has only proposals, the others votes.
    const char *byCourse =
        "SELECT COUNT(*) FROM %1 x JOIN TClsMatCmp c ON c.iClsMatCmpId = x.iClsMatCmpId "
        "JOIN TClsSesMat m ON m.iClsSesMatId = c.iClsSesMatId "
        "JOIN TClsSes s ON s.iClsSesId = m.iClsSesId JOIN TCls_Classi k ON k.iClsId = s.iClsId "
        "WHERE s.iAnsSesDwgId = 392 AND k.iIndId = ?";
    EXPECT_EQ(count(db, QString::fromLatin1(byCourse).arg("TVot_Voti"), {2}), 0);
    EXPECT_GT(count(db, QString::fromLatin1(byCourse).arg("TVtp_Proposti"), {2}), 1000);
    EXPECT_GT(count(db, QString::fromLatin1(byCourse).arg("TVot_Voti"), {1}), 1000);
    EXPECT_EQ(count(db, QString::fromLatin1(byCourse).arg("TVtp_Proposti"), {1}), 0);
    // Not classified, insufficient votes, admission scores on both sides of 60.
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TVot_Voti WHERE iScaLivId = 100"), 0);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TVot_Voti WHERE iScaLivId BETWEEN 101 AND 105"), 100);
    const QVariantList admission = column(
        db,
        "SELECT l.iScaLivValore FROM TVot_Voti v JOIN TScaLiv l ON l.iScaLivId = v.iScaLivId "
        "JOIN TClsMatCmp c ON c.iClsMatCmpId = v.iClsMatCmpId JOIN TClsSesMat m ON m.iClsSesMatId "
        "= c.iClsSesMatId "
        "WHERE m.iClsSesId = ? AND m.iMatRmaId = 15",
        {k3C * 10 + 2});
    ASSERT_GE(admission.size(), 20);
    bool below = false, above = false;
    for (const QVariant &v : admission) {
        below |= v.toInt() < 60;
        above |= v.toInt() >= 60;
    }
    EXPECT_TRUE(below && above);
    // Taxonomies on the make-up components, for the conversion into make-up records.
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TTas_Tassonomie t JOIN TClsMatCmp c ON "
                        "c.iClsMatCmpId = t.iClsMatCmpId "
                        "WHERE c.iCmpScaId = 9"),
              0);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TTas_Tassonomie t JOIN TClsMatCmp c ON "
                        "c.iClsMatCmpId = t.iClsMatCmpId "
                        "WHERE c.iCmpScaId = 10"),
              0);
    // Notes with and without a date; judgments in the final sessions; a few class notes.
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TNot_Note WHERE dNotData IS NULL"), 0);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TNot_Note WHERE dNotData IS NOT NULL"), 0);
    EXPECT_EQ(
        count(db, "SELECT COUNT(*) FROM TGdz_Giudizi WHERE iAnsSesDwgId NOT IN (372, 382, 392)"),
        0);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TCno_ClassiNoteOre"), 0);
    // Every evaluation row carries its dates, the year's start and end.
    EXPECT_EQ(
        count(db, "SELECT COUNT(*) FROM TVot_Voti v JOIN TSit_Situazioni s ON s.iSitId = v.iSitId "
                  "WHERE v.dInsert IS NULL OR v.dStart <> s.dStart OR v.dEnd <> s.dEnd"),
        0);
}

TEST_F(DemoSchool, CreditsDebtsAndMakeUpRecordsCoverTheirCases)
{
    // Credits only from the third course year, one per situation, in a band of its type.
    EXPECT_EQ(
        count(
            db,
            "SELECT COUNT(*) FROM TCre_Crediti c JOIN TSit_Situazioni s ON s.iSitId = c.iSitId "
            "JOIN TClsPst p ON p.iClsPstId = s.iClsPstId JOIN TCls_Classi k ON k.iClsId = p.iClsId "
            "WHERE k.iAcsId < 3"),
        0);
    EXPECT_EQ(
        count(
            db,
            "SELECT COUNT(*) FROM TCre_Crediti c JOIN TSit_Situazioni s ON s.iSitId = c.iSitId "
            "JOIN TClsPst p ON p.iClsPstId = s.iClsPstId JOIN TCls_Classi k ON k.iClsId = p.iClsId "
            "JOIN TAcs_AnniCorso a ON a.iAcsId = k.iAcsId WHERE c.iBndId / 1000 <> a.iTbnId"),
        0);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TBnd_Bande b JOIN TTbnBnd t ON t.iBndId = b.iBndId "
                        "WHERE b.iBndId / 1000 = t.iTbnId"),
              18);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TCre_Crediti WHERE iCreCredito IS NOT NULL"), 300);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TCre_Crediti WHERE iEncId IS NOT NULL"), 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TCre_Crediti WHERE iCreOutBanda IS NOT NULL"), 1);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TCreFrm"), 0);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TCreSco"), 0);
    // 2007/2008's debts: made up, not made up, still open.
    const char *byOutcome = "SELECT COUNT(*) FROM TDeb_Debiti WHERE dStart = '2007-09-01' AND %1";
    EXPECT_GT(count(db, QString::fromLatin1(byOutcome).arg("iDesDedId = 1 AND dDebVer IS NOT NULL "
                                                           "AND iAnaId_Ver > 1000000")),
              0);
    EXPECT_GT(count(db, QString::fromLatin1(byOutcome).arg("iDesDedId = 2")), 0);
    EXPECT_GT(
        count(db, QString::fromLatin1(byOutcome).arg("iDesDedId IS NULL AND dDebVer IS NULL")), 0);
    // The working year's debts are assigned and open.
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TDeb_Debiti WHERE dStart = '2008-09-01' AND "
                        "iAnaId_Attr IS NOT NULL"),
              0);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TDeb_Debiti WHERE dStart = '2008-09-01' AND "
                        "iDesDedId IS NOT NULL"),
              0);
    // Make-up records: with and without outcome, one duplicate triple, some in 2006/2007.
    EXPECT_GT(
        count(db, "SELECT COUNT(*) FROM TRec_Recuperi WHERE iAnsFreDwgId = 391 AND iEreId IS NULL"),
        0);
    EXPECT_GT(
        count(db,
              "SELECT COUNT(*) FROM TRec_Recuperi WHERE iAnsFreDwgId = 391 AND iEreId IS NOT NULL"),
        0);
    EXPECT_EQ(count(db,
                    "SELECT COUNT(*) FROM (SELECT iAnsFreDwgId, iSitId, iMatId FROM TRec_Recuperi "
                    "GROUP BY 1, 2, 3 HAVING COUNT(*) > 1)"),
              1);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM TRec_Recuperi WHERE iAnsFreDwgId = 371"), 0);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TRec_Recuperi WHERE dRecVer = '1899-12-30'"), 0);
}

TEST_F(DemoSchool, ReportsRegistersAndExchangeRowsArePresent)
{
    for (int id : {16005, 16006, 16100, 16089, 16090, 16091, 16169, 16170, 16171, 16172, 16173,
                   16174, 16175, 16179, 16180, 16181, 16182, 16183, 16184})
        EXPECT_EQ(count(db,
                        "SELECT COUNT(*) FROM TYRpt_RptTemplate WHERE iYRptId = ? "
                        "AND bYRptReport IS NOT NULL AND sYRptCodAppl = 'QEL'",
                        {id}),
                  1)
            << id;
    EXPECT_EQ(
        column(db,
               "SELECT iYRptId FROM TYRpt_RptTemplate WHERE iYRptId BETWEEN 3000001 AND 3009999 "
               "AND iYRptVersion IS NOT NULL"),
        QVariantList{3000001});
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TParVal WHERE iParValId = 1 AND bParVal IS NOT NULL"),
              1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TYXml_XmlDefinizioni WHERE sYXmlKey = 'QEL_ALUFLT' "
                        "AND sYXmlCodAppl = 'ZUN'"),
              1);
    EXPECT_EQ(
        scalar(db,
               "SELECT f.sFirNome FROM TFir_Firme f JOIN TQuf_QuaFirme q ON q.iQufId = f.iQufId "
               "JOIN TQua_Qualifiche a ON a.iQuaId = q.iQuaId WHERE a.sQuaCod = 'DIRIGENTE.SCOL.' "
               "AND f.iDwgId = 2 AND f.dEnd IS NULL AND f.dDelete IS NULL")
            .toString(),
        "Prof.ssa Maria Bianchi");
    const QList<QVariantList> cfp =
        rows(db, "SELECT sFirmaSes1, sFirmaDiff FROM TCfp_FirmaPreside WHERE iAnsId = 39");
    ASSERT_EQ(cfp.size(), 1);
    EXPECT_FALSE(cfp[0][0].toString().isEmpty());
    EXPECT_TRUE(cfp[0][1].toString().isEmpty());
    EXPECT_EQ(rows(db, "SELECT iClsId, iTipoElenco FROM TOsd_OpzStampaDig WHERE iAnsSesDwgId = 392 "
                       "ORDER BY 1"),
              (QList<QVariantList>{{k5A, 1}, {k3C, 0}}));
    EXPECT_EQ(
        count(db, "SELECT COUNT(*) FROM TCvt_Voti v JOIN TCan_Candidati c ON c.iCanId = v.iCanId"),
        6);
    EXPECT_EQ(
        count(db, "SELECT COUNT(*) FROM TCOMP_COMPETENZE WHERE ILINGUASTRANIERAID IS NOT NULL"), 1);
    EXPECT_EQ(
        count(db,
              "SELECT COUNT(*) FROM TAnaGme WHERE iScuTypId = 4 AND sAnaGmeVotoAmm IS NOT NULL"),
        count(db,
              "SELECT COUNT(*) FROM TSit_Situazioni s JOIN TClsPst p ON p.iClsPstId = s.iClsPstId "
              "WHERE p.iClsId = ?",
              {k3C}));
    const int n = count(db, "SELECT COUNT(*) FROM TSit_Situazioni s JOIN TClsPst p ON "
                            "p.iClsPstId = s.iClsPstId WHERE p.iClsId = 39001");
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TAnaGpt WHERE iGptId IN (1, 2)"), 2 * n);
    // Parents at their child's residence (and domicile), the father also for the post; some
    // pupils' correspondence addresses in a hamlet; the transferred pupil's new school.
    EXPECT_EQ(rows(db, "SELECT g.iGptId, a.iLocId, COUNT(*) FROM TAnaGpt g JOIN VAnaAbtLoc a ON "
                       "a.iAnaId = g.iAnaId_Gpt JOIN VAnaAbtLoc c ON c.iAnaId = g.iAnaId AND "
                       "c.iLocId = 2 AND c.sAbtIndirizzo = a.sAbtIndirizzo GROUP BY 1, 2"),
              (QList<QVariantList>{{1, 1, n}, {1, 2, n}, {1, 3, n}, {2, 1, n}, {2, 2, n}}));
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM VAnaAbtLoc a JOIN TAnaCag r ON r.iAnaId = a.iAnaId "
                        "WHERE r.iCagId = 1 AND a.iLocId = 3 AND a.iFraQuaId IS NOT NULL"),
              0);
    EXPECT_EQ(rows(db, "SELECT iPosFinId, iScuId_Tras FROM TSit_Situazioni "
                       "WHERE iScuId_Tras IS NOT NULL"),
              (QList<QVariantList>{{17, 3}}));
}

TEST(DemoSchoolBuild, SameScaleGivesTheSameRowsAndScaleMultipliesTheSchool)
{
    QTemporaryDir dir;
    const QString again = dir.filePath("again.fdb");
    const QString twice = dir.filePath("twice.fdb");
    ASSERT_EQ(buildDemoDatabase(again, 1, false, "demo-again"), QString());
    ASSERT_EQ(buildDemoDatabase(twice, 2, false, "demo-twice"), QString());

    TestDatabase original;
    QSqlDatabase a = original.connect();
    QSqlDatabase b = QSqlDatabase::addDatabase("QIBASE", "demo-compare");
    b.setDatabaseName(again);
    b.setUserName("SYSDBA");
    b.setConnectOptions("ISC_DPB_LC_CTYPE=UTF8");
    ASSERT_TRUE(b.open()) << b.lastError().text().toStdString();
    for (const char *table :
         {"TAna_Anagrafiche", "TSit_Situazioni", "TVot_Voti", "TVtp_Proposti", "TCre_Crediti",
          "TDeb_Debiti", "TRec_Recuperi", "TClsMatCmp", "TGdz_Giudizi"})
        EXPECT_EQ(tableChecksum(a, table), tableChecksum(b, table)) << table;
    b.close();
    b = QSqlDatabase();
    QSqlDatabase::removeDatabase("demo-compare");

    QSqlDatabase c = QSqlDatabase::addDatabase("QIBASE", "demo-scale");
    c.setDatabaseName(twice);
    c.setUserName("SYSDBA");
    c.setConnectOptions("ISC_DPB_LC_CTYPE=UTF8");
    ASSERT_TRUE(c.open());
    EXPECT_EQ(count(c, "SELECT COUNT(*) FROM VCls_Classi WHERE iAnsId = 39"), 30);
    EXPECT_EQ(count(c, "SELECT COUNT(*) FROM TAnaCag WHERE iCagId = 3"),
              2 * count(a, "SELECT COUNT(*) FROM TAnaCag WHERE iCagId = 3"));
    const double ratio = count(c, "SELECT COUNT(*) FROM TVot_Voti") /
                         double(count(a, "SELECT COUNT(*) FROM TVot_Voti"));
    EXPECT_GT(ratio, 1.7);
    EXPECT_LT(ratio, 2.3);
    // The fixed keys stay where they are at any scale.
    EXPECT_EQ(count(c, "SELECT COUNT(*) FROM TOsd_OpzStampaDig WHERE iClsId IN (39005, 39023)"), 2);
    // The optimizer's statistics describe the rows loaded, not the schema's empty tables:
    // with them stale, a class's votes are found by scanning every vote of the school.
    const double selectivity = scalar(c, "SELECT RDB$STATISTICS FROM RDB$INDICES WHERE "
                                         "RDB$INDEX_NAME = 'FK_TVOT_ISITID'")
                                   .toDouble();
    EXPECT_GT(selectivity, 0);
    EXPECT_LT(selectivity, 0.01);
    c.close();
    c = QSqlDatabase();
    QSqlDatabase::removeDatabase("demo-scale");
}

TEST_F(DemoSchool, ARefusedSeedIsReportedAndLeavesNothingHalfWritten)
{
    const int situations = count(db, "SELECT COUNT(*) FROM TSit_Situazioni");
    // The lookups are there already: the first area fails on its first row and rolls back.
    const QString error = fillDemoSchool(db, 1);
    EXPECT_TRUE(error.contains("TSex_Sesso")) << error.toStdString();
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TSit_Situazioni"), situations);
    EXPECT_FALSE(fillDemoSchool(db, 0).isEmpty());
    EXPECT_FALSE(fillDemoSchool(db, 31).isEmpty());
}
