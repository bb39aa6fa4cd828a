// The report data module's statements on a copy of the demo school: the column names the
// templates read, and the rows of the cases a report card or a credit list turns on.
#include "platform/connection.h"
#include "reportengine/reportengine.h"
#include "reportengine/reportvalue.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptqueries.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <memory>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";
const QString kSubject = "iMatId sMatLDesc sMatSDesc sMatCodMin sMatCodVexto sMatCodUser";

class RptQueriesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        module = std::make_unique<TdmqelRptDataSets>();
    }

    TfrQuery &query(const QString &name)
    {
        return *static_cast<TfrQuery *>(module->FindDataSet(name));
    }
    // Reopened with these values in the parameters of the same names.
    TfrQuery &open(const QString &name, const QVariantMap &values)
    {
        TfrQuery &q = query(name);
        q.Close();
        for (TfrParam &p : q.Params()) {
            if (values.contains(p.Name()))
                p.setValue(values.value(p.Name()));
        }
        q.Open();
        return q;
    }
    static QStringList column(TfrQuery &q, const QString &field)
    {
        QStringList values;
        for (q.First(); !q.Eof(); q.Next())
            values << q.FieldByName(field).DisplayText();
        return values;
    }

    ProgramDatabase db;
    std::unique_ptr<TdmqelRptDataSets> module;
};

} // namespace

TEST_F(RptQueriesTest, EveryQueryOpensWithTheColumnsTheTemplatesRead)
{
    const QVariantMap values{{"iSitId", 957},       {"iAnaId", 160},       {"iClsId", 39005},
                             {"iAnsSesDwgId", 392}, {"iClsSesId", 390052}, {"iClsPstId", 390051},
                             {"iClsSesMatId", 1},   {"iMatId", 1},         {"iFreId", 1},
                             {"iAnsId", 39},        {"iDwgId", 2},         {"iAllId", 0},
                             {"iAllPosFinId", 0},   {"iPosFinId", 0}};
    // Where a list's order is not one of its columns, the order closes the list.
    const QString cmp = "sCmpLDesc sCmpSDesc sScaDesc iCmpScaId iCmpScaTass iCmpScaInMedia "
                        "iScaId iCmpScaOrdine";
    const QString rec = "isitid imatid itreid iereid stresdesc streldesc itrepeso drecattr "
                        "seresdesc sereldesc ipesorec drecver sPvrLDesc sPvrSDesc %1"
                        "iAnsFreDwgId iFreId sFreSDesc";
    const QString classi = "iClsOrdine sindldesc sIndsdesc sindcodmin sIndcod ssezldesc "
                           "sSezsdesc sacsldesc sAcssdesc sclsdesc sClssdesc sclsannoscol "
                           "iAcsAnnoCorso sSpeDesc sSpeCod sPstLdesc sPstSdesc ssednomldesc "
                           "sSednomsdesc ssedmeccod sdplldesc sdplsdesc";
    const QString clsMat = "%S sDocNome Docente_coordinatore iMatRmaPstOrdine";
    const QString aluMat = "iMatRmaPstId iSitId iAnaId %S iMatRmaPstOrdine";
    const QString school = "ssculdesc sscumeccod icomcapid";
    const QString place = "scomdesc sprodesc sprosigla comuneprov";
    const QString address = "sAbtIndirizzo sCapValue sComDesc sProDesc sProSigla sRegDesc "
                            "sStaLDesc comuneprov";
    QList<QPair<QString, QString>> expected = {
        {"qquAlunni", "iSitId iAnaId sAnaCognome sAnaNome dAnaNascita sAnaCodFiscale iClsPstId "
                      "iPstId iSitPosReg sClsDesc sClsSDesc sAnaCagCode Anno iClsId"},
        {"qquAluNoAnsId", "iSitId iAnaId sAnaCognome sAnaNome dAnaNascita sAnaCodFiscale "
                          "iClsPstId iPstId sClsDesc sClsSDesc sAnaCagCode Anno"},
        {"qquClsAlu", "sAnaCognome sAnaNome dAnaNascita sAnaCodFiscale iAnaId iSitid iClsPstId "
                      "iClsId iPstId Anno Sospeso"},
        {"qquSituazioni", "iClsPstId iSitid iPstId iClsId Anno iAnsId iSitOrdine Sospeso"},
        {"qquClsSes", "iClsId iClsSesId iAnsSesDwgId iClsOrdine sIndLDesc sIndSDesc sIndCodMin "
                      "sIndCod sSezLDesc sSezSDesc sAcsLDesc sAcsSDesc iAcsAnnoCorso sClsDesc "
                      "sClsSDesc sClsAnnoScol sSedMecCod sSesDesc sSesNote sSfiLDesc sSfiSDesc"},
        {"qquClsAnsCrs", "iAnsId Anno"},
        {"qquClsMat", clsMat},
        {"qquClsMatAns", clsMat},
        {"qquClassi", classi},
        {"qquAluCls", classi},
        {"qquCommissioni", "iAnaId sAnaCognome sAnaNome"},
        {"qquNCmpCls", "NumCmpCls"},
        {"qquNTasCls", "NumTasCls"},
        {"qquNMatCls", "NumMatCls"},
        {"qquNMatDebCls", "NumMatDebCls"},
        {"qquNCmpMat", "NumCmpMat"},
        {"qquNTasMat", "NumCmpMat"},
        {"qquMatCmpCls", "iClsSesMatId %S sCmpSDesc sCmpLDesc iScaId iCmpScaOrdine sLivSDesc "
                         "sLivLDesc iScaLivValore iScaLivSufficiente iScaLivInMedia sPrpSDesc "
                         "sPrpLDesc SuffVotoProp InMediaVotoProp fPrpScaLivValore sScaDesc"},
        {"qquMatTasCls", "iClsSesMatId %S sCmpSDesc sCmpLDesc iScaLivValore iScaLivSufficiente "
                         "iScaLivInMedia sLivSDesc sLivLDesc sScaDesc"},
        {"qquMatCls", "iClsSesMatId %S iAssOre sAiuVal bNotNota dNotData sAnaCognome sAnaNome"},
        {"qquVotiProve", "bNotNota iClsSesMatId %S sCmpSDesc sCmpLDesc iScaLivValore "
                         "iScaLivSufficiente iScaLivInMedia SuffVotoProp InMediaVotoProp "
                         "sLivSDesc sLivLDesc sPrpSDesc sPrpLDesc fPrpScaLivValore sScaDesc"},
        {"qquAluMat", "iMatRmaPstId iSitId iAnaId %S Ordine_Materia"},
        {"qquAluMatTas", aluMat},
        {"qquAluMatSes", aluMat},
        {"qquAluMatTasSes", "iMatRmaPstId iSitId iAnaId %S iClsId iMatRmaPstOrdine"},
        {"qquAluCmp", cmp + " iMatRmaPstOrdine"},
        {"qquAluTas", cmp},
        {"qquAluCmpSes", cmp},
        {"qquAluCmpSesNoRel", cmp},
        {"qquAluTasSes", cmp},
        {"qquAnsSesDwg", "iSitId iAnsSesDwgId dAnsSesDwgInizio dAnsSesDwgFine iAnsId "
                         "iAnsSesDwgOrdine Anno sSesDesc sSesNote sSfiSDesc sSfiLDesc"},
        {"qquMatClsDeb", "iMatId sMatSDesc sMatLDesc sMatCodMin sMatCodVexto sMatCodUser "
                         "iDesSufficiente iDebId dDebAttr dDebVer sDedLDesc sDtdLDesc sDedSDesc "
                         "sDtdSDesc sDocAttr sDocVer bDebNota"},
        {"qquGenitori", "iAnaId sAnaNome sAnaCognome dAnaNascita sAnaCodFiscale ianagptId"},
        {"qquObbligoForm", "dsitobfstart sobfcodice sobfdescr"},
        {"qquEsoneri", "smatcodmin smatldesc smatsdesc"},
        {"qquCreAlu", "sBndDesc BndMed BndCre fCreMediaVoti iCreMediaVoti iCrePerMedia "
                      "iCreOutBanda iCreFrmSco iCreSosp iCreRecup iCreCredito sEncLDesc "
                      "sEncSDesc bCreNota Anno iSitId iAnsId lCreUnanimCre"},
        {"qquCreFrmAlu", "sFrmLDesc sFrmSDesc iFrmPeso"},
        {"qquCreScoAlu", "sScoLDesc sScoSDesc iScoPeso"},
        {"qquDebiti", "sMatLDesc sMatSDesc sMatCodUser sMatCodMin sMatCodVexto sDtdLDesc "
                      "sDedLDesc dDebAttr"},
        {"qquSedi", "Sede_Indirizzo Fax Telefono Email Cod_Mecc Cod_Fiscale Sede_Descr "
                    "Sede_Sigla Cap Comune Provincia Provincia_Sigla Comune_Provincia"},
        {"qquDebMat", "iDebId iMatId iDesSufficiente iDesDedId sDedSDesc sDedLDesc iDtpDtdId "
                      "sDtdSDesc sDtdLDesc iAnaId_Attr dDebAttr dDebVer DocAttr iAnaId_Ver "
                      "DocVer bDebNota"},
        {"qquAluRec", rec.arg("")},
        {"qquAluMatRec", rec.arg("")},
        {"qquAluRecAllMat", rec.arg("sMatLDesc sMatSDesc sMatCodVexto sMatCodUser ")},
        {"qquAnaGme", "SANAGMEVOTOAMM SSTAFINDETTSDESC SSTAFINDETTLDESC"},
        {"qquDataOwner", "sSedIndIndirizzo sSedFaxNo sSedTelTelefono sSedEmlEmail sSedMecCod "
                         "sSedNomCodiceFisc sSedNomLDesc sSedNomSDesc sCapValue sComDesc "
                         "sProDesc sProSigla ComuneProv TIPO_SCUOLA ORDINE_SCUOLA"},
        {"qquGenitoriDettagli",
         "sGptLDesc sSexLDesc sSexSDesc sStcOldLdesc sStcOldSDesc sVomDesc sVomCod"},
        {"qquAluAna", "CittLDesc CittSDesc sStaLDesc sProDesc sProSigla sComDesc comuneprov"},
        {"qquGenAna", "sstaldesc sProDesc sprosigla sComDesc ComuneProv CittLDesc CittSDesc"},
        {"qquAlunniDettagli",
         "sSexLDesc sStcOldLdesc sSexSDesc sStcOldSdesc sAnaCagCode tel teldesc email greldesc "
         "gresdesc Frequenza_scuola_materna Giudizio_Elem_Desc Giudizio_Elem_Sigla "
         "Giudizio_Medie_Desc Giudizio_Medie_Sigla Qualif_Punt_Ammissione Qualif_Punt_finale "
         "Consenso_Privacy Diploma_Breve Diploma_Lungo Qualifica_Breve Qualifica_Lungo "
         "Voto_Esame Lode Codice_SIDI"},
        {"qquGenitoriTelEmail", "tel teldesc email"},
        {"qquGenitoriProfesTdStud", "Tsdl Tsds Tsdlleg Tsdsleg Prfl Prfs Prflleg Prfsleg"},
        {"qquSituazDettagli",
         "iCreCredito sstainidettldesc sstainidettsdesc sstainildescvexto sstaATTdettldesc "
         "sstaATTdettsdesc sstaattldescvexto sstaFINdettldesc sstaFINdettsdesc sstafinldescvexto "
         "stdeldesc stdesdesc staxldescvexto siscldesc dSitEsito siscsdesc sIesLDesc sIesSDesc "
         "dSitTraRit dsitpreiscr dsitiscr iSitPosReg iSitPosScu OreDiAssenza sSitVoto sDcrSDesc "
         "sDcrLDesc Religione EdFisica Desc_Attiv_Alternativa Sigla_Attiv_Alternativa "
         "Id_Situazione Totale_Assenze Giorni_di_Assenza Ore_di_Assenza Frequenza IDFrequenza "
         "Monte_Ore_Annuale Monte_Ore_Curriculum Monte_Ore_PianoStudio Esito_Sospeso"},
        {"qquScuolaProve", school},
        {"qquScuolaTrasf", school},
        {"qquScuolProDettagli", place},
        {"qquScuolTraDettagli", place},
        {"qquCreSco", "iScoId sScoLDesc sScoSDesc iScoPeso iLocked"},
        {"qquCreFrm", "iFrmId sFrmLDesc sFrmSDesc iFrmPeso"},
        {"qquAai", "iAaiId iModId sModDesc iAnaCagId iAnaId sAnaCagCode sDocNome sAnaPwPert "
                   "iAaiInviato dAaiInviato sAaiDirInviato iAaiRicevuto dAaiRicevuto ClasseCoor1 "
                   "ClasseCoor2 ClasseCoor3 sAnsAnnoDesc"},
    };
    for (const char *use : {"Dom", "Res", "Rec"}) {
        for (const char *who : {"Alunni", "Genitori"}) {
            expected.append({QString("qqu%1%2").arg(who, use), address});
            expected.append({QString("qqu%1Fraz%2").arg(who, use), "sFraQuaDesc"});
        }
    }
    module->SetSelAnsId(39);
    open("qquClsSes", values); // its scroll gives qquClsAnsCrs its text
    for (const auto &[name, columns] : expected) {
        SCOPED_TRACE(name.toStdString());
        TfrQuery &q = name == "qquClsAnsCrs" ? query(name) : open(name, values);
        ASSERT_TRUE(q.Active());
        QStringList names;
        for (int i = 0; i < q.FieldCount(); ++i)
            names << q.FieldName(i).toUpper();
        EXPECT_EQ(names.join(' '), QString(columns).replace("%S", kSubject).toUpper());
    }
    // Every query of the module has its statement, and none is left out above (qquClsAnsCrs
    // gets its own from the scroll).
    const auto &texts = qelRptQueryTexts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [](auto &t) { return !t.sql.isEmpty(); }),
              expected.size() - 1);
}

TEST_F(RptQueriesTest, AReportCardListsWhatThePupilHasAndNothingElse)
{
    // Section B has only proposed votes: each vote component still gives its row, levels empty.
    const int bPupil = scalar("SELECT FIRST 1 S.iSitId FROM TSit_Situazioni S JOIN TClsPst P ON "
                              "P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39015 AND "
                              "S.iSitPosReg > 0 ORDER BY S.iSitPosReg")
                           .toInt();
    TfrQuery &proposals = open("qquMatCmpCls", {{"iClsSesId", 390152}, {"iSitId", bPupil}});
    EXPECT_GT(proposals.RecordCount(), 10);
    EXPECT_EQ(column(proposals, "sLivSDesc").join(""), "");
    EXPECT_EQ(column(proposals, "iScaLivValore").join(""), "");
    EXPECT_FALSE(column(proposals, "sPrpSDesc").join("").isEmpty());

    // Exam tests list only the components that have a vote: 3C's pupil gets one in the
    // qualification, one in the first of the two tests, and one in the admission.
    for (const int cmc : {2929, 2930, 2931})
        runSql("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) "
               "VALUES (?, ?, 862, 212)",
               {990000 + cmc, cmc});
    TfrQuery &tests = open("qquVotiProve", {{"iSitId", 862}});
    EXPECT_EQ(column(tests, "iClsSesMatId"), QStringList({"1214", "1215"}));
    EXPECT_EQ(column(tests, "sMatCodVexto"), QStringList({"QUALIFICA", "PROVA"}));
    EXPECT_EQ(column(tests, "iScaLivValore"), QStringList({"60", "60"}));

    // A vote component weighted 777 stays in the vote lists; the make-up type and outcome
    // (999, 888) never reach a taxonomy list or count, the unweighted taxonomies all do.
    runSql("UPDATE TCmp_Componenti SET iCmpPeso = 777 WHERE iCmpId = 1");
    const QVariantMap pupil{{"iClsSesId", 390052}, {"iSitId", 957}, {"iAnsSesDwgId", 392}};
    EXPECT_TRUE(column(open("qquMatCmpCls", pupil), "sCmpLDesc").contains("Scritto"));
    EXPECT_TRUE(column(open("qquAluCmp", pupil), "sCmpLDesc").contains("Scritto"));
    const QStringList taxonomies{"Impegno", "Partecipazione"};
    for (const char *list : {"qquAluTas", "qquAluTasSes"})
        EXPECT_EQ(column(open(list, pupil), "sCmpLDesc"), taxonomies) << list;
    QStringList perSubject = column(open("qquMatTasCls", pupil), "sCmpLDesc");
    perSubject.removeDuplicates();
    EXPECT_EQ(perSubject, taxonomies);
    const int withTaxonomies = scalar("SELECT FIRST 1 C.iClsSesMatId FROM TClsMatCmp C JOIN "
                                      "TClsSesMat M ON M.iClsSesMatId = C.iClsSesMatId WHERE "
                                      "M.iClsSesId = 390052 AND C.iCmpScaId = 7")
                                   .toInt();
    EXPECT_EQ(
        open("qquNTasMat", {{"iClsSesMatId", withTaxonomies}}).FieldByName("NumCmpMat").AsInteger(),
        2);
    EXPECT_EQ(open("qquNTasCls", {{"iClsId", 39005}, {"iAnsSesDwgId", 392}})
                  .FieldByName("NumTasCls")
                  .AsInteger(),
              2 * open("qquMatTasCls", pupil).RecordCount() / taxonomies.size());
    // Without religion and conduct, the ordinary subjects (which have no code) stay.
    const QStringList noRel = column(open("qquAluCmpSesNoRel", pupil), "sCmpLDesc");
    EXPECT_TRUE(noRel.contains("Orale"));
    EXPECT_FALSE(noRel.contains("RELIGIONE"));
}

TEST_F(RptQueriesTest, PupilListsFollowTheirSwitches)
{
    const QString year = "SELECT COUNT(*) FROM TSit_Situazioni S JOIN TAns_AnniScolast A ON "
                         "A.dAnsVextoInizio = S.dStart WHERE A.iAnsId = 39 AND S.iSitOrdine = 1";
    const int allPupils = scalar(year).toInt();
    const struct
    {
        QVariant iAllId, iClsId, iAllPosFinId, iPosFinId;
        int rows;
    } cases[] = {
        {0, 39005, 0, 2, allPupils}, // every class, every outcome
        {0, QVariant(), 0, QVariant(), allPupils},
        {1, 39005, 0, 2, 26}, // 5A's main situations, off the register included
        {1, 39005, 1, 2, 1},  // 5A's pupil not admitted
        {1, 39005, 1, 11, 1}, // 5A's suspended pupil
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rows);
        EXPECT_EQ(open("qquAlunni", {{"iAnsId", 39},
                                     {"iDwgId", 2},
                                     {"iAllId", c.iAllId},
                                     {"iClsId", c.iClsId},
                                     {"iAllPosFinId", c.iAllPosFinId},
                                     {"iPosFinId", c.iPosFinId}})
                      .RecordCount(),
                  c.rows);
    }
    // The class list leaves out the pupil off the register and the second situation.
    const QStringList listed = column(open("qquClsAlu", {{"iClsId", 39005}}), "iSitId");
    EXPECT_EQ(listed.size(), 25);
    EXPECT_FALSE(listed.contains("980"));
    EXPECT_FALSE(listed.contains("1029"));
}

TEST_F(RptQueriesTest, CreditsCountFromTheThirdYearForTheCountingStates)
{
    const auto sitWith = [](const QString &condition) {
        return scalar("SELECT FIRST 1 S.iSitId FROM TSit_Situazioni S JOIN TCre_Crediti C ON "
                      "C.iSitId = S.iSitId JOIN TClsPst P ON P.iClsPstId = S.iClsPstId WHERE "
                      "P.iClsId = 39005 AND " +
                      condition + " ORDER BY S.iSitId")
            .toInt();
    };
    const int admitted = sitWith("S.iPosFinId = 1 AND S.iSitOrdine = 1");
    const int noOutcome =
        sitWith("S.iPosFinId = 1 AND S.iSitOrdine = 1 AND S.iSitId > " + QString::number(admitted));
    runSql("UPDATE TSit_Situazioni SET iPosFinId = NULL WHERE iSitId = ?", {noOutcome});
    const int firstYear = scalar("SELECT FIRST 1 S.iSitId FROM TSit_Situazioni S JOIN TClsPst P "
                                 "ON P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39002")
                              .toInt();
    runSql("INSERT INTO TCre_Crediti (iCreId, iSitId, iCreCredito) VALUES (990001, ?, 4)",
           {firstYear});
    const struct
    {
        const char *what;
        int iSitId;
        int rows;
    } cases[] = {
        {"second course year", firstYear, 0},
        {"not admitted", sitWith("S.iPosFinId = 2"), 0},
        {"suspended", sitWith("S.iPosFinId = 11"), 0},
        {"admitted", admitted, 1},
        {"no outcome yet", noOutcome, 1},
        {"second situation counted", 1029, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(open("qquCreAlu", {{"iSitId", c.iSitId}}).RecordCount(), c.rows) << c.what;
    EXPECT_EQ(query("qquCreAlu").FieldByName("Anno").DisplayText(), "2008/2009");
    runSql("UPDATE TCre_Crediti SET lCreConsideraCurrDis = 0 WHERE iSitId = 1029");
    EXPECT_EQ(open("qquCreAlu", {{"iSitId", 1029}}).RecordCount(), 0);
}

TEST_F(RptQueriesTest, SingleValuesAndMakeUpPhasesAreBound)
{
    EXPECT_EQ(module->GetClsSesId(957, 392), 390052);
    EXPECT_EQ(module->GetClsSesId(957, 381), 0);
    TVxFieldValues values;
    values.setValue("iAnsId", 38);
    values.setValue("sTesto", "2007'");
    EXPECT_EQ(module->GetSingleValue("SELECT TAns.iAnsValore || :sTesto AS Anno FROM "
                                     "TAns_AnniScolast TAns WHERE TAns.iAnsId = :iAnsId",
                                     "ANNO", values),
              "2007" + QString("2007'"));
    values.setValue("iAnsId", 99);
    EXPECT_TRUE(module
                    ->GetSingleValue("SELECT iAnsValore FROM TAns_AnniScolast WHERE iAnsId = "
                                     ":iAnsId AND :sTesto <> ''",
                                     "iAnsValore", values)
                    .isNull());
    EXPECT_THROW(module->GetSingleValue("SELECT x FROM TNonEsiste", "x"), EVxException);

    // The first make-up phase unless one was chosen; the chosen one for all three queries.
    const int sit =
        scalar("SELECT FIRST 1 iSitId FROM TRec_Recuperi WHERE iAnsFreDwgId = 391").toInt();
    const int firstPhase = scalar("SELECT COUNT(*) FROM TRec_Recuperi WHERE iAnsFreDwgId = 391 "
                                  "AND iSitId = ?",
                                  {sit})
                               .toInt();
    runSql("INSERT INTO TRec_Recuperi (iRecId, iMatId, iSitId, iAnsFreDwgId, iPvrId) "
           "VALUES (990001, 1, ?, 392, 2)",
           {sit});
    TfrQuery &all = open("qquAluRecAllMat", {{"iSitId", sit}, {"iAnsSesDwgId", 392}});
    EXPECT_EQ(all.ParamByName("iFreId").Value(), 1);
    EXPECT_EQ(all.RecordCount(), firstPhase);
    module->SetParamFreId(2);
    for (const char *name : {"qquAluRec", "qquAluRecAllMat", "qquAluMatRec"})
        EXPECT_EQ(query(name).ParamByName("iFreId").Value(), 2) << name;
    EXPECT_EQ(column(open("qquAluRecAllMat", {}), "sPvrLDesc"), QStringList({"Prova orale"}));
}

// The same counts read by the database's own tool, apart from the program's driver.
TEST_F(RptQueriesTest, CountsAgreeWithTheDatabaseTool)
{
    const QStringList checks = {
        "SELECT COUNT(*) FROM TClsMatCmp C JOIN TClsSesMat M ON M.iClsSesMatId = C.iClsSesMatId "
        "JOIN TCmpSca K ON K.iCmpScaId = C.iCmpScaId JOIN TMatRmaPst R ON R.iMatRmaId = "
        "M.iMatRmaId AND R.iPstId = PLAN WHERE M.iClsSesId = 390052 AND K.iCmpScaTass = 0",
        "SELECT COUNT(*) FROM TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = S.iClsPstId "
        "WHERE P.iClsId = 39005 AND S.iSitOrdine = 1 AND S.iSitPosReg > 0",
        "SELECT COUNT(*) FROM TDeb_Debiti WHERE iSitId = 957",
    };
    const int plan = scalar("SELECT P.iPstId FROM TSit_Situazioni S JOIN TClsPst P ON "
                            "P.iClsPstId = S.iClsPstId WHERE S.iSitId = 956")
                         .toInt();
    const int counts[] = {
        open("qquMatCmpCls", {{"iClsSesId", 390052}, {"iSitId", 956}}).RecordCount(),
        open("qquClsAlu", {{"iClsId", 39005}}).RecordCount(),
        open("qquDebiti", {{"iSitId", 957}}).RecordCount(),
    };
    const TVxConnectionSettings settings = db.database.connectionSettings();
    CloseConnection();
    QByteArray script = "SET LIST ON;\n";
    for (int i = 0; i < checks.size(); ++i)
        script += "SELECT (" + QString(checks[i]).replace("PLAN", QString::number(plan)).toUtf8() +
                  ") AS C" + QByteArray::number(i) + " FROM RDB$DATABASE;\n";
    const auto [code, output] = runIsql(settings, script);
    ASSERT_EQ(code, 0) << output.toStdString();
    for (int i = 0; i < checks.size(); ++i) {
        const QRegularExpression line(QString("C%1\\s+(\\d+)").arg(i));
        EXPECT_EQ(line.match(output).captured(1).toInt(), counts[i]) << output.toStdString();
        EXPECT_GT(counts[i], 0) << checks[i].toStdString();
    }
}

// Beyond the pupil sheet below: the addresses of each use, the empty registry procedures,
// the annual hours, the seats and the send records.
TEST_F(RptQueriesTest, PersonalDataCareerAndSendRecordsOfTheDemoSchool)
{
    // 162 has no correspondence address nor hamlet, 1 a domicile in a hamlet, 4 two
    // citizenships; 420's father takes the post at home, in a hamlet.
    const int dad =
        scalar("SELECT iAnaId_Gpt FROM TAnaGpt WHERE iAnaId = 420 AND iGptId = 1").toInt();
    const struct
    {
        const char *query;
        int iAnaId;
        const char *first; // the first row's first column; nullptr: no row
    } cases[] = {
        {"qquAlunniRec", 162, nullptr},
        {"qquAlunniFrazRes", 162, nullptr},
        {"qquAlunniFrazDom", 1, "Centro storico"},
        {"qquAluAna", 4, "Italia, Francia"},
        {"qquGenitoriDom", dad, "Via Manzoni 61"},
        {"qquGenitoriFrazRec", dad, "Centro storico"},
    };
    for (const auto &c : cases) {
        TfrQuery &q = open(c.query, {{"iAnaId", c.iAnaId}});
        EXPECT_EQ(q.RecordCount() ? q.Value(0).toString() : QString(), c.first ? c.first : "")
            << c.query << " " << c.iAnaId;
        EXPECT_EQ(q.RecordCount(), c.first ? 1 : 0) << c.query << " " << c.iAnaId;
    }
    // No phones, e-mail, groups, titles or professions in this program's data: empty columns.
    for (const auto &[query, from, to] : {std::tuple{"qquAlunniDettagli", 5, 10},
                                          {"qquGenitoriTelEmail", 0, 3},
                                          {"qquGenitoriProfesTdStud", 0, 8}}) {
        TfrQuery &q = open(query, {{"iAnaId", query[3] == 'A' ? 420 : dad}});
        for (int i = from; i < to; ++i)
            EXPECT_TRUE(q.RecordCount() == 1 && q.Value(i).isNull()) << query << " " << i;
    }
    EXPECT_EQ(column(open("qquCreSco", {}), "sScoSDesc"), QStringList({"FREQ", "IMP", "COMPL"}));

    // The annual hours are the situation's own when above 0, else the plan's; a second
    // situation of the year shows only while its credit counts.
    for (const auto &[hours, annual] : {std::pair{900, "900"}, {0, "1056"}}) {
        runSql("UPDATE TSit_Situazioni SET iSitMonteOre = ? WHERE iSitId = 694", {hours});
        EXPECT_EQ(column(open("qquSituazDettagli", {{"iSitId", 694}}), "Monte_Ore_Annuale"),
                  QStringList(annual));
    }
    runSql("UPDATE TCre_Crediti SET lCreConsideraCurrDis = 0 WHERE iSitId = 1029");
    EXPECT_EQ(open("qquSituazDettagli", {{"iSitId", 1029}}).RecordCount(), 0);

    // The school's main seat, or with All = 1 every seat without a data owner; the school type
    // comes through the institute whose main seat it is.
    runSql("INSERT INTO TDwgSed (iDwgSedId, iDwgId, iSedId, lDwgSedMain) VALUES (4, NULL, 2, 0)");
    EXPECT_EQ(column(open("qquDataOwner", {{"All", 0}}), "sSedMecCod"), QStringList{"ABCD01000X"});
    EXPECT_EQ(column(open("qquDataOwner", {{"All", 1}}), "TIPO_SCUOLA"),
              QStringList({"Scuola secondaria di secondo grado", ""}));

    // Every teacher with a send record of the working session, by name; a coordinator of four
    // classes that year (one through two subjects) shows the first three by class id.
    runSql("INSERT INTO TClsMatAna (iClsMatAnaId, iClsId, iMatId, iAnaId, lClsMatAnaCoord) "
           "SELECT 990000 + iClsId, iClsId, 2, 1000001, 1 FROM TCls_Classi "
           "WHERE iClsId IN (39001, 39002, 38001)");
    TfrQuery &aai = open("qquAai", {});
    const QStringList names = column(aai, "sDocNome");
    EXPECT_EQ(names.size(),
              scalar("SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iAnsSesDwgId = 392"));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                               [](auto &a, auto &b) { return a.toUpper() < b.toUpper(); }));
    const int row = column(aai, "iAnaId").indexOf("1000001");
    EXPECT_EQ(
        QStringList({column(aai, "ClasseCoor1").value(row), column(aai, "ClasseCoor2").value(row),
                     column(aai, "ClasseCoor3").value(row)}),
        QStringList({"1A", "2A", "3A"}));
}

// A pupil sheet over the chain: registry data, parents and addresses, each year's career,
// credits, debts and make-up records, for a 1A pupil with a suspended judgment and a 3A pupil
// with credits and a pupil who moved (the year's other pupils deleted in this copy).
TEST_F(RptQueriesTest, APupilSheetPrintsThePupilsRecordThroughTheChain)
{
    runSql("UPDATE TSit_Situazioni SET dDelete = DATE '2009-01-01' "
           "WHERE dStart = DATE '2008-09-01' AND iSitId NOT IN (709, 826, 1007, 1029)");
    for (const auto &[name, value] : {std::pair{"iAnsId", 39}, {"iAllId", 0}, {"iAllPosFinId", 0}})
        query("qquAlunni").ParamByName(name).setValue(value);
    TfrReport report;
    report.LoadFromTemplate(frReadTemplate(readFileBytes(kData + "/schedaalunno.xml")));
    ASSERT_TRUE(report.PrepareReport());
    expectGolden(kData + "/schedaalunno.txt", report.Pages().dump());
}
