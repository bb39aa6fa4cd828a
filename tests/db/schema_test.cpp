#include "tests/db/sqlcheck.h"
#include "tests/support/testdb.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace sqlcheck;

namespace {

// Every table, view and procedure the program reads or writes, by area.
const QStringList kTables = {
    // school structure, years and sessions
    "TDow_DataOwner",
    "TSed_Sedi",
    "TSedInf_SedeInfo",
    "TDwgSed",
    "TAns_AnniScolast",
    "TSes_Sessione",
    "TSfi_SessFinale",
    "TAnsSesDwg",
    "TAcs_AnniCorso",
    "TInd_Indirizzo",
    "TDpl_Diplomi",
    "TSez_Sezioni",
    "TSpz_Specializzazioni",
    "TCls_Classi",
    "TPst_PianiStudio",
    "TClsPst",
    "TClsSes",
    "TOan_OreAn",
    "TOtgDwg",
    "TScuTypOrdGra",
    "TScuOrd",
    // people, pupils and enrolments
    "TAna_Anagrafiche",
    "TAnaCag",
    "TAnaPer_Personale",
    "TSit_Situazioni",
    "TClsMatAna",
    "TAnaGme",
    "TGme_GiuMatEleMed",
    "TAnaGpt",
    "TAnaTut",
    "TAnaCitt",
    // subjects, components, scales and levels
    "TMat_Materie",
    "TMatRma",
    "TMatRmaPst",
    "TClsSesMat",
    "TCmp_Componenti",
    "TSca_Scale",
    "TCmpSca",
    "TClsMatCmp",
    "TLiv_Livelli",
    "TScaLiv",
    "TPrp_Proposti",
    "TPrpScaLiv",
    // evaluation data
    "TVot_Voti",
    "TVtp_Proposti",
    "TTas_Tassonomie",
    "TAss_Assenze",
    "TAiu_Aiuti",
    "TNot_Note",
    "TGdz_Giudizi",
    "TCno_ClassiNoteOre",
    "TGdt_GdzTemplate",
    "TCOMP_COMPETENZE",
    "TCOMPASSE",
    "TCOMPLIV",
    // final outcomes and positions
    "TStaFin",
    "TStaFinDett",
    "TPosFin",
    "TPosAtt",
    "TStaAttDett",
    "TPosIni",
    "TStaIniDett",
    // credits
    "TCre_Crediti",
    "TCreFrm",
    "TCreSco",
    "TFrm_Formativi",
    "TSco_Scolastici",
    "TEnc_Encomio",
    "TBnd_Bande",
    "TTbn_TipoBanda",
    "TTbnBnd",
    // debts
    "TDeb_Debiti",
    "TDesDed",
    "TDed_DebEsDett",
    "TDes_DebEsito",
    "TDtpDtd",
    "TDtd_DebTpDett",
    "TDtp_DebTipo",
    // make-up courses
    "TRec_Recuperi",
    "TTre_TipoRec",
    "TEre_EsitoRec",
    "TFre_FasiRec",
    "TAnsFreDwg",
    "TPvr_ProvaRecupero",
    // exchange bookkeeping, reports, signatures, registers
    "TMod_ModoInvio",
    "TAai_AnaAppInvio",
    "TParVal",
    "TYRpt_RptTemplate",
    "TYXml_XmlDefinizioni",
    "TFir_Firme",
    "TQuf_QuaFirme",
    "TQuaDett",
    "TQua_Qualifiche",
    "TOsd_OpzStampaDig",
    "TCfp_FirmaPreside",
    // statistics
    "TCan_Candidati",
    "TCvt_Voti",
    "TAdi_AreeDiscip",
    "TCst_StatiCandidato",
    "TTvt_TipiVoto",
    "TSha_SituazioniHandicap",
    "TCmm_Commissioni",
    // registry and lookups
    "TSex_Sesso",
    "TCag_Categorie",
    "TFreq_Frequenza",
    "TScuTyp_TipiScuola",
    "TIsc_Iscrizione",
    "TIes_IntEst",
    "TDcr_DocRegola",
    "TAlt_Alternativa",
    "TGpt_GradiParentela",
    "TStc_StatiCivili",
    "TVom_VivoMorto",
    "TScu_Scuole",
    "TTfi_TipoFrequenza",
    "TObf_ObbligoFormativo",
    "TSitObf",
    "TSitEso_Esoneri",
    "TQlf_Qualifiche",
    "TSta_Stati",
    "TReg_Regioni",
    "TPro_Province",
    "TCom_Comuni",
    "TCap",
    "TComCap",
    "TSrpc",
    "TAbt_Abitazioni",
    "TAbtLoc",
    "TLoc_UsiIndirizzo",
    "TFraQua_FrazioniQuartieri",
};

const QStringList kViews = {
    "VCls_Classi", "VSed_Sedi",  "VDow_DataOwner", "VAns_AnniScolast", "VPosFin", "VClsMatCmp",
    "VSrpc",       "VAnaAbtLoc", "vposini",        "vposatt",          "vTAX"};

const QStringList kProcedures = {"PYSetGetId",        "PZun_Giudizi",   "pzor_get_citt",
                                 "pzor_get_telefoni", "pzor_get_email", "pzor_get_gre",
                                 "pzor_get_titstud",  "pzor_get_profes"};

QSet<QString> names(QSqlDatabase &db, const QString &sql)
{
    QSet<QString> result;
    for (const QVariant &v : column(db, sql))
        result.insert(v.toString().trimmed().toUpper());
    return result;
}

QStringList missing(const QStringList &expected, const QSet<QString> &present)
{
    QStringList result;
    for (const QString &name : expected)
        if (!present.contains(name.toUpper()))
            result << name;
    return result;
}

bool refusedAsDuplicate(const QString &error)
{
    return error.contains(QLatin1String("unique"), Qt::CaseInsensitive) ||
           error.contains(QLatin1String("duplicate"), Qt::CaseInsensitive);
}

} // namespace

TEST(Schema, HasEveryTableViewAndProcedureAndNothingElse)
{
    ASSERT_EQ(kTables.size(), 130);
    ASSERT_EQ(kViews.size(), 11);
    TestDatabase database;
    QSqlDatabase db = database.connect();
    const QSet<QString> tables = names(db, "SELECT RDB$RELATION_NAME FROM RDB$RELATIONS "
                                           "WHERE RDB$SYSTEM_FLAG = 0 AND RDB$VIEW_BLR IS NULL");
    const QSet<QString> views = names(db, "SELECT RDB$RELATION_NAME FROM RDB$RELATIONS "
                                          "WHERE RDB$SYSTEM_FLAG = 0 AND RDB$VIEW_BLR IS NOT NULL");
    const QSet<QString> procedures =
        names(db, "SELECT RDB$PROCEDURE_NAME FROM RDB$PROCEDURES WHERE RDB$SYSTEM_FLAG = 0");
    EXPECT_EQ(missing(kTables, tables), QStringList());
    EXPECT_EQ(missing(kViews, views), QStringList());
    EXPECT_EQ(missing(kProcedures, procedures), QStringList());
    EXPECT_EQ(tables.size(), kTables.size());
    EXPECT_EQ(views.size(), kViews.size());
    EXPECT_EQ(procedures.size(), kProcedures.size());
}

TEST(Schema, KeyProcedureIgnoresTheNamesCaseAndStaysAboveEverySeedKey)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    const int a = scalar(db, "SELECT L_iCntId FROM PYSetGetId('TGDZ_GIUDIZI', 0)").toInt();
    const int b = scalar(db, "SELECT L_iCntId FROM PYSetGetId('TGdz_Giudizi', 0)").toInt();
    EXPECT_GE(a, 1000000);
    EXPECT_NE(a, b);
    // Credit codes carry the training-credit key in seven digits.
    EXPECT_LT(b, 10000000);
    for (const char *sql :
         {"SELECT MAX(iVotId) FROM TVot_Voti", "SELECT MAX(iSitId) FROM TSit_Situazioni",
          "SELECT MAX(iAssId) FROM TAss_Assenze", "SELECT MAX(iClsMatCmpId) FROM TClsMatCmp",
          "SELECT MAX(iRecId) FROM TRec_Recuperi", "SELECT MAX(iCreId) FROM TCre_Crediti"})
        EXPECT_LT(scalar(db, sql).toInt(), a) << sql;
    // Used as the scalar sub-select of an INSERT, as every save does.
    exec(db, "INSERT INTO TGdt_GdzTemplate (iGdtId, sGdtTitolo) "
             "VALUES ((SELECT L_iCntId FROM PYSetGetId('TGDT_GDZTEMPLATE', 0)), 'Nuovo')");
    EXPECT_GT(scalar(db, "SELECT iGdtId FROM TGdt_GdzTemplate WHERE sGdtTitolo = 'Nuovo'").toInt(),
              b);
}

// The singleton sub-selects of the saves rely on these keys: a second row must be refused.
TEST(Schema, UniqueKeysRefuseASecondRow)
{
    struct Case
    {
        const char *what;
        const char *insert;
    };
    const Case cases[] = {
        {"component of a class subject", "INSERT INTO TClsMatCmp SELECT FIRST 1 NEXT VALUE FOR "
                                         "GEN_VXID, iClsSesMatId, iCmpScaId FROM TClsMatCmp"},
        {"subject of a class session", "INSERT INTO TClsSesMat SELECT FIRST 1 NEXT VALUE FOR "
                                       "GEN_VXID, iClsSesId, iMatRmaId FROM TClsSesMat"},
        {"class session", "INSERT INTO TClsSes (iClsSesId, iAnsSesDwgId, iClsId) SELECT FIRST 1 "
                          "NEXT VALUE FOR GEN_VXID, "
                          "iAnsSesDwgId, iClsId FROM TClsSes"},
        {"year-session",
         "INSERT INTO TAnsSesDwg (iAnsSesDwgId, iAnsId, iDwgId, iSesId, iSfiId) SELECT FIRST 1 "
         "NEXT VALUE FOR GEN_VXID, iAnsId, iDwgId, iSesId, iSfiId FROM TAnsSesDwg"},
        {"credit of a situation", "INSERT INTO TCre_Crediti (iCreId, iSitId) SELECT FIRST 1 NEXT "
                                  "VALUE FOR GEN_VXID, iSitId FROM TCre_Crediti"},
        {"headmaster's signature of a year", "INSERT INTO TCfp_FirmaPreside (iCfpId, iAnsId) "
                                             "SELECT FIRST 1 NEXT VALUE FOR GEN_VXID, iAnsId "
                                             "FROM TCfp_FirmaPreside"},
        {"make-up outcome weight", "INSERT INTO TEre_EsitoRec (iEreId, iPesoRec) SELECT FIRST 1 "
                                   "NEXT VALUE FOR GEN_VXID, iPesoRec FROM TEre_EsitoRec"},
        {"subject on a plan", "INSERT INTO TMatRmaPst (iMatRmaPstId, iMatRmaId, iPstId) SELECT "
                              "FIRST 1 NEXT VALUE FOR GEN_VXID, "
                              "iMatRmaId, iPstId FROM TMatRmaPst"},
        {"role of a person", "INSERT INTO TAnaCag (iAnaCagId, iAnaId, iCagId) SELECT FIRST 1 NEXT "
                             "VALUE FOR GEN_VXID, iAnaId, "
                             "iCagId FROM TAnaCag"},
        {"vote", "INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) SELECT FIRST 1 "
                 "NEXT VALUE FOR GEN_VXID, iClsMatCmpId, iSitId, iScaLivId FROM TVot_Voti"},
        {"proposed vote",
         "INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, iPrpScaLivId) "
         "SELECT FIRST 1 NEXT VALUE FOR GEN_VXID, iClsMatCmpId, iSitId, iPrpScaLivId "
         "FROM TVtp_Proposti"},
        {"taxonomy",
         "INSERT INTO TTas_Tassonomie (iTasId, iClsMatCmpId, iSitId, iScaLivId) SELECT FIRST 1 "
         "NEXT VALUE FOR GEN_VXID, iClsMatCmpId, iSitId, iScaLivId FROM TTas_Tassonomie"},
        {"absence", "INSERT INTO TAss_Assenze (iAssId, iClsSesMatId, iSitId) SELECT FIRST 1 "
                    "NEXT VALUE FOR GEN_VXID, iClsSesMatId, iSitId FROM TAss_Assenze"},
        {"aid", "INSERT INTO TAiu_Aiuti (iAiuId, iClsSesMatId, iSitId) SELECT FIRST 1 "
                "NEXT VALUE FOR GEN_VXID, iClsSesMatId, iSitId FROM TAiu_Aiuti"},
        {"judgment", "INSERT INTO TGdz_Giudizi (iGdzId, iSitId, iAnsSesDwgId) SELECT FIRST 1 "
                     "NEXT VALUE FOR GEN_VXID, iSitId, iAnsSesDwgId FROM TGdz_Giudizi"},
        {"debt",
         "INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId) SELECT FIRST 1 NEXT VALUE FOR GEN_VXID, "
         "iSitId, iMatId FROM TDeb_Debiti"},
        {"teacher's class notes",
         "INSERT INTO TCno_ClassiNoteOre (iCnoId, iClsSesMatId, iAnaId) "
         "SELECT FIRST 1 NEXT VALUE FOR GEN_VXID, iClsSesMatId, iAnaId FROM TCno_ClassiNoteOre"},
        {"career record of a school type",
         "INSERT INTO TAnaGme (iAnaGmeId, iAnaId, iScuTypId) SELECT FIRST 1 "
         "NEXT VALUE FOR GEN_VXID, iAnaId, iScuTypId FROM TAnaGme"},
        {"start of a school year",
         "INSERT INTO TAns_AnniScolast (iAnsId, iAnsValore, dAnsVextoInizio, "
         "dAnsVextoFine) SELECT 99, 2099, dAnsVextoInizio, dAnsVextoFine "
         "FROM TAns_AnniScolast WHERE iAnsId = 39"},
        {"main situation of a pupil in a year", "INSERT INTO TSit_Situazioni (iSitId, iAnaId, "
                                                "iClsPstId, iSitOrdine, dStart) SELECT FIRST 1 "
                                                "NEXT VALUE FOR GEN_VXID, iAnaId, iClsPstId, 1, "
                                                "dStart FROM TSit_Situazioni WHERE iSitOrdine = 1"},
        {"common make-up phase of a year",
         "INSERT INTO TAnsFreDwg (iAnsFreDwgId, iAnsId, iFreId, iDwgId) VALUES (999, 39, 1, NULL)"},
    };
    TestDatabase database;
    QSqlDatabase db = database.connect();
    for (const Case &c : cases) {
        const QString error = tryExec(db, QString::fromLatin1(c.insert));
        EXPECT_TRUE(refusedAsDuplicate(error)) << c.what << ": " << error.toStdString();
    }
    // What the keys must still allow: a later situation of the same pupil and year, a phase
    // of one institute beside the common one, several notes, and duplicate make-up records
    // (the duplicate check exists to find them).
    exec(db, "INSERT INTO TSit_Situazioni (iSitId, iAnaId, iClsPstId, iSitOrdine, dStart) SELECT "
             "FIRST 1 "
             "NEXT VALUE FOR GEN_VXID, iAnaId, iClsPstId, 3, dStart FROM TSit_Situazioni WHERE "
             "iSitOrdine = 1");
    exec(db,
         "INSERT INTO TAnsFreDwg (iAnsFreDwgId, iAnsId, iFreId, iDwgId) VALUES (999, 39, 1, 2)");
    exec(db, "INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId) SELECT FIRST 1 NEXT VALUE FOR "
             "GEN_VXID, "
             "iClsSesMatId, iSitId FROM TNot_Note");
    exec(db, "INSERT INTO TRec_Recuperi (iRecId, iMatId, iSitId, iAnsFreDwgId) SELECT FIRST 1 "
             "NEXT VALUE FOR GEN_VXID, iMatId, iSitId, iAnsFreDwgId FROM TRec_Recuperi");
}

TEST(Schema, RefusesRowsWithoutTheirClassSubjectOrWithUnknownKeys)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    const QVariant sit = scalar(db, "SELECT MIN(iSitId) FROM TSit_Situazioni");
    // An imported vote whose component no longer exists must fail, not be stored empty.
    EXPECT_FALSE(tryExec(db,
                         "INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) "
                         "VALUES (NEXT VALUE FOR GEN_VXID, NULL, ?, 106)",
                         {sit})
                     .isEmpty());
    EXPECT_FALSE(tryExec(db,
                         "INSERT INTO TAss_Assenze (iAssId, iClsSesMatId, iSitId, iAssOre) "
                         "VALUES (NEXT VALUE FOR GEN_VXID, NULL, ?, 2)",
                         {sit})
                     .isEmpty());
    EXPECT_FALSE(
        tryExec(db,
                "INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) SELECT FIRST 1 "
                "NEXT VALUE FOR GEN_VXID, iClsMatCmpId, -1, 106 FROM TClsMatCmp")
            .isEmpty());
    // Credit items go before their credit: no cascade.
    EXPECT_FALSE(
        tryExec(db, "DELETE FROM TCre_Crediti WHERE iCreId = (SELECT FIRST 1 iCreId FROM TCreFrm)")
            .isEmpty());
    EXPECT_FALSE(tryExec(db, "INSERT INTO TFrm_Formativi (iFrmId) VALUES (10000000)").isEmpty());
}

TEST(Schema, CareerProcedureWritesWhatTheImportReadsBack)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    const int pupil = 5;
    const char *admission =
        "EXECUTE PROCEDURE PZun_Giudizi(?, null, 4, 2, 0, null, null, null, null, ?, 1)";
    const char *final =
        "EXECUTE PROCEDURE PZun_Giudizi(?, null, 4, 1, 0, null, null, ?, null, null, 1)";
    const char *readAdmission = "SELECT TAnaGme.sAnaGmeVotoAmm sPunteggio FROM TAnaGme TAnaGme "
                                "WHERE (TAnaGme.iScuTypId = 4) AND (TAnaGme.iAnaId = ?)";
    const char *readFinal = "SELECT sAnaGmeVoto FROM TAnaGme WHERE iScuTypId = 4 AND iAnaId = ?";
    exec(db, admission, {pupil, "65"});
    EXPECT_EQ(scalar(db, readAdmission, {pupil}).toString(), "65");
    exec(db, final, {pupil, "72"});
    EXPECT_EQ(scalar(db, readFinal, {pupil}).toString(), "72");
    EXPECT_EQ(scalar(db, readAdmission, {pupil}).toString(), "65");
    // An emptied cell clears the stored score.
    exec(db, admission, {pupil, ""});
    EXPECT_TRUE(scalar(db, readAdmission, {pupil}).isNull());
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TAnaGme WHERE iScuTypId = 4 AND iAnaId = ?", {pupil}),
              1);

    // The licence: the typed score becomes the lower school's judgment through the levels.
    const char *licence =
        "EXECUTE PROCEDURE Pzun_Giudizi(?, null, 3, null, 0, (SELECT IGMEID FROM TGME_GIUMATELEMED "
        "WHERE SGMELDESC = (SELECT FIRST 1 UPPER(SLIVLDESC) FROM TLIV_LIVELLI "
        "WHERE UPPER(SLIVSDESC) = UPPER(CAST(? AS VARCHAR(100))))), null, null, null, null, 1)";
    const char *readLicence = "SELECT g.sGmeLDesc FROM TAnaGme a JOIN TGme_GiuMatEleMed g "
                              "ON g.iGmeId = a.iGmeId WHERE a.iScuTypId = 3 AND a.iAnaId = ?";
    exec(db, licence, {pupil, "ottimo"});
    EXPECT_EQ(scalar(db, readLicence, {pupil}).toString(), "OTTIMO");
    exec(db, licence, {pupil, "7"});
    EXPECT_EQ(scalar(db, readLicence, {pupil}).toString(), "SETTE");
    exec(db, licence, {pupil, "nessuno"});
    EXPECT_FALSE(scalar(db, readLicence, {pupil}).isValid());
}

TEST(Schema, RegistryProceduresGiveAtMostOneRowForScalarSubSelects)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    const QList<QVariantList> r =
        rows(db, "SELECT (SELECT sCittLCitt FROM pzor_get_citt(a.iAnaId, NULL)), "
                 "(SELECT sTelTelefoni FROM pzor_get_telefoni(a.iAnaId, NULL, 1)), "
                 "(SELECT sEmlEmail FROM pzor_get_email(a.iAnaId, NULL)), "
                 "(SELECT sGreLGruppi FROM pzor_get_gre(a.iAnaId, NULL)), "
                 "(SELECT sTsdLTitStud FROM pzor_get_titstud(a.iAnaId, NULL)), "
                 "(SELECT sPrfLProfes FROM pzor_get_profes(a.iAnaId, NULL)) "
                 "FROM TAna_Anagrafiche a WHERE a.iAnaId IN (1, 4, 1000001) ORDER BY a.iAnaId");
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(r[0][0].toString(), "Italia");
    EXPECT_EQ(r[1][0].toString(), "Italia, Francia"); // two citizenships, one row
    EXPECT_TRUE(r[2][0].isNull());                    // a teacher has none recorded
    for (int c = 1; c < 6; ++c)
        EXPECT_TRUE(r[0][c].isNull());
}

TEST(Schema, ViewsKeepTheRowsTheirReadersExpect)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM VSed_Sedi WHERE iDwgId IS NULL AND lDwgSedMain = 1 "
                        "AND dEnd_Sed IS NULL"),
              1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM VSed_Sedi WHERE iDwgId = 2 AND lDwgSedMain = 1 "
                        "AND dEnd_DwgSed IS NULL"),
              1);
    EXPECT_EQ(scalar(db, "SELECT sAnsAnnoDesc FROM VAns_AnniScolast WHERE iAnsId = 38").toString(),
              "2007/2008");
    // A class without track or section is still listed, with its year text.
    exec(db, "INSERT INTO TCls_Classi (iClsId, iDwgId, iAcsId, sClsDesc, sClsSDesc, dStart) "
             "VALUES (999, 2, 1, 'CORSO SERALE', 'SER', '2008-09-01')");
    EXPECT_EQ(scalar(db, "SELECT sClsAnnoScol FROM VCls_Classi WHERE iClsId = 999").toString(),
              "2008/2009");
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM VCls_Classi"),
              count(db, "SELECT COUNT(*) FROM TCls_Classi"));
    // A stored outcome whose text was deleted still shows.
    exec(db, "UPDATE TStaFinDett SET dDelete = CURRENT_DATE WHERE iStaFinDettId = 2");
    EXPECT_EQ(scalar(db, "SELECT sStaFinDettSDesc FROM VPosFin WHERE iPosFinId = 2").toString(),
              "Non amm.");
    EXPECT_EQ(scalar(db, "SELECT sStaFinLDescVexto FROM VPosFin WHERE iPosFinId = 11").toString(),
              "Giudizio sospeso");
    // A pupil's subjects come from his own plan: no religion row for the plan without it.
    EXPECT_EQ(
        count(db,
              "SELECT COUNT(*) FROM VClsMatCmp v JOIN TPst_PianiStudio p ON p.iPstId = v.iPstId "
              "WHERE v.sMatCodVexto = 'RELIGIONE' AND p.sPstSDesc = 'Senza religione'"),
        0);
    EXPECT_GT(count(db, "SELECT COUNT(*) FROM VClsMatCmp WHERE sMatCodVexto = 'RELIGIONE'"), 0);
    EXPECT_EQ(scalar(db, "SELECT sProSigla FROM VSrpc WHERE iSrpcId = 3").toString(), "BG");
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM VAnaAbtLoc WHERE iAnaId = 1"), 2);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM vposini"), 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM vposatt"), 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM vTAX"), 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM VDow_DataOwner WHERE iDowId IS NOT NULL"), 1);
}
