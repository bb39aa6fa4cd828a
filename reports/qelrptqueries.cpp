#include "reports/qelrptqueries.h"

#include "reports/qelrptpersonqueries.h"

namespace {

using namespace qelrpt;
using Params = QList<QPair<QString, QVariant>>;

Params ints(std::initializer_list<const char *> names)
{
    Params params;
    for (const char *name : names)
        params.append({QString::fromLatin1(name), QVariant()});
    return params;
}

// --- The rules every report query keeps --------------------------------------------------------

// A situation belongs to the school year that starts the day it starts.
const char kSitOfYear[] = "(TAns.dAnsVextoInizio = TSit.dStart)";
const char kMainSit[] = "(TSit.iSitOrdine = 1)";
const char kLiveSit[] = "(TSit.dDelete IS NULL)";
const char kPupilRole[] = "(TAnaCag.iCagId = 1)";

// Vote and taxonomy components. The make-up type, make-up outcome and "other" components
// (weights 999, 888, 777) are taxonomies that no list or count shows; a component without a
// weight is an ordinary one, so the weight is compared as 0 (NULL is never NOT IN a list).
const char kVoteCmp[] = "(TCmpSca.iCmpScaTass = 0)";
const char kTaxCmp[] =
    "(TCmpSca.iCmpScaTass = 1) AND (COALESCE(TCmp.iCmpPeso, 0) NOT IN (777, 888, 999))";

const char kSubjectColumns[] = "TMat.iMatId, TMat.sMatLDesc, TMat.sMatSDesc, TMat.sMatCodMin, "
                               "TMat.sMatCodVexto, TMat.sMatCodUser";
// Subjects in the order of the study plan, then by name; components by scale, then by order.
const char kSubjectOrder[] = "TMrp.iMatRmaPstOrdine, TMat.sMatLDesc";
const char kCmpOrder[] = "TCmpSca.iScaId, TCmpSca.iCmpScaOrdine";

const char kSitAnno[] =
    "EXTRACT(YEAR FROM TSit.dStart) || '/' || EXTRACT(YEAR FROM TSit.dEnd) AS Anno";
const char kAnsAnno[] =
    "CAST(TAns.iAnsValore AS CHAR(4))||'/'||CAST(TAns.iAnsValore+1 AS CHAR(4)) AS Anno";
const char kSospeso[] = "COALESCE(TSit.iPosFinId_Sosp, -1) AS Sospeso";

// A pupil's subjects in every session of the class, each at its place in the pupil's own study
// plan (a class may have two plans, and a subject a different place in each).
const char kPupilSubjects[] = "FROM TSit_Situazioni TSit "
                              "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                              "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TClsPst.iClsId) "
                              "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesId = TClsSes.iClsSesId) "
                              "INNER JOIN TMatRmaPst TMrp ON (TMrp.iMatRmaId = TCsm.iMatRmaId "
                              "AND TMrp.iPstId = TClsPst.iPstId) "
                              "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) "
                              "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) ";

// The subjects of a class's sessions under every plan of the class.
const char kClassSubjects[] = "FROM TClsSes TClsSes "
                              "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesId = TClsSes.iClsSesId) "
                              "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsId = TClsSes.iClsId) "
                              "INNER JOIN TMatRmaPst TMrp ON (TMrp.iMatRmaId = TCsm.iMatRmaId "
                              "AND TMrp.iPstId = TClsPst.iPstId) "
                              "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) "
                              "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) ";

// The components of the class-session subjects, with their kind, name and scale. Every
// component has them (keys that must be there), so the three small tables are joined to the
// components found, never searched first: as inner joins, a few dozen rows of kinds looked
// cheaper to start from than the pupils of a read of many, and the read went through every
// component of the school of that kind (at the demo school's size, not at ten times it).
const char kComponents[] = "INNER JOIN TClsMatCmp TCmc ON (TCmc.iClsSesMatId = TCsm.iClsSesMatId) "
                           "LEFT JOIN TCmpSca TCmpSca ON (TCmpSca.iCmpScaId = TCmc.iCmpScaId) "
                           "LEFT JOIN TCmp_Componenti TCmp ON (TCmp.iCmpId = TCmpSca.iCmpId) "
                           "LEFT JOIN TSca_Scale TSca ON (TSca.iScaId = TCmpSca.iScaId) ";

// The pupil's vote and proposed vote in a component: at most one of each (unique keys), so a
// join gives what a first-row subquery would, and a component without them still gives its row.
const char kVoteAndProposal[] =
    "LEFT JOIN TVot_Voti TVot ON (TVot.iClsMatCmpId = TCmc.iClsMatCmpId "
    "AND TVot.iSitId = TSit.iSitId) "
    "LEFT JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = TVot.iScaLivId) "
    "LEFT JOIN TLiv_Livelli TLiv ON (TLiv.iLivId = ScaLiv.iLivId) "
    "LEFT JOIN TVtp_Proposti TVtp ON (TVtp.iClsMatCmpId = TCmc.iClsMatCmpId "
    "AND TVtp.iSitId = TSit.iSitId) "
    "LEFT JOIN TPrpScaLiv TPrpSca ON (TPrpSca.iPrpScaLivId = TVtp.iPrpScaLivId) "
    "LEFT JOIN TPrp_Proposti TPrp ON (TPrp.iPrpId = TPrpSca.iPrpId) "
    "LEFT JOIN TScaLiv PrpLiv ON (PrpLiv.iScaLivId = TPrpSca.iScaLivId) ";

// The pupil's first note in the class-session subject.
const char kFirstNote[] = "(SELECT FIRST 1 N.iNotId FROM TNot_Note N WHERE N.iClsSesMatId = "
                          "TCsm.iClsSesMatId AND N.iSitId = TSit.iSitId ORDER BY N.iNotId)";

// The class-session subject (TCsm) has components of the kind.
QString hasComponents(const char *kind)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM TClsMatCmp TCmc "
                          "INNER JOIN TCmpSca TCmpSca ON (TCmpSca.iCmpScaId = TCmc.iCmpScaId) "
                          "INNER JOIN TCmp_Componenti TCmp ON (TCmp.iCmpId = TCmpSca.iCmpId) "
                          "WHERE TCmc.iClsSesMatId = TCsm.iClsSesMatId AND ") +
           QString::fromLatin1(kind) + QLatin1Char(')');
}

// A debt's outcome, type and the teachers who assigned and verified it.
const char kDebtDetails[] =
    "LEFT JOIN TDesDed TDesDed ON (TDesDed.iDesDedId = TDeb.iDesDedId) "
    "LEFT JOIN TDes_DebEsito TDes ON (TDes.iDesId = TDesDed.iDesId) "
    "LEFT JOIN TDed_DebEsDett TDed ON (TDed.iDedId = TDesDed.iDedId) "
    "LEFT JOIN TDtpDtd TDtpDtd ON (TDtpDtd.iDtpDtdId = TDeb.iDtpDtdId) "
    "LEFT JOIN TDtd_DebTpDett TDtd ON (TDtd.iDtdId = TDtpDtd.iDtdId) "
    "LEFT JOIN TAna_Anagrafiche TDocAttr ON (TDocAttr.iAnaId = TDeb.iAnaId_Attr) "
    "LEFT JOIN TAna_Anagrafiche TDocVer ON (TDocVer.iAnaId = TDeb.iAnaId_Ver) ";
const char kDocAttr[] = "TDocAttr.sAnaCognome || ' ' || TDocAttr.sAnaNome";
const char kDocVer[] = "TDocVer.sAnaCognome || ' ' || TDocVer.sAnaNome";

QString S(const char *text)
{
    return QString::fromLatin1(text);
}

// --- Pupil lists -------------------------------------------------------------------------------

// The pupils and their classes; ":iAllId" 0 takes every class, ":iAllPosFinId" 0 every final
// outcome. The selection dialog puts its state filter where the comment stands, in its own list.
QString alunni()
{
    return S("SELECT TSit.iSitId, TSit.iAnaId, TAna.sAnaCognome, TAna.sAnaNome, TAna.dAnaNascita, "
             "TAna.sAnaCodFiscale, TSit.iClsPstId, TClsPst.iPstId, TSit.iSitPosReg, "
             "VCls.sClsDesc, VCls.sClsSDesc, TAnaCag.sAnaCagCode, ") +
           S(kSitAnno) +
           S(", VCls.iClsId "
             "FROM TSit_Situazioni TSit "
             "INNER JOIN TAns_AnniScolast TAns ON ") +
           S(kSitOfYear) +
           S(" INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TSit.iAnaId) "
             "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaId = TSit.iAnaId) "
             "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
             "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = TClsPst.iClsId) "
             "WHERE (TAns.iAnsId = :iAnsId) AND (VCls.iDwgId = :iDwgId) AND ") +
           S(kPupilRole) + S(" AND ") + S(kMainSit) + S(" AND ") + S(kLiveSit) +
           S(" AND (0 = :iAllId OR VCls.iClsId = :iClsId) "
             "AND ((:iAllPosFinId = 0) OR (TSit.iPosFinId = :iPosFinId)) "
             "/*FILTERRPTSTATO*/ "
             "ORDER BY TAna.sAnaCognomeNomeIdx");
}

QString aluNoAnsId()
{
    return S("SELECT TSit.iSitId, TSit.iAnaId, TAna.sAnaCognome, TAna.sAnaNome, TAna.dAnaNascita, "
             "TAna.sAnaCodFiscale, TSit.iClsPstId, TClsPst.iPstId, VCls.sClsDesc, "
             "VCls.sClsSDesc, TAnaCag.sAnaCagCode, ") +
           S(kSitAnno) +
           S(" FROM TSit_Situazioni TSit "
             "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TSit.iAnaId) "
             "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaId = TSit.iAnaId) "
             "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
             "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = TClsPst.iClsId) "
             "WHERE (TSit.iAnaId = :iAnaId) AND (VCls.iDwgId = :iDwgId) AND ") +
           S(kPupilRole) + S(" AND ") + S(kMainSit) + S(" AND ") + S(kLiveSit) +
           S(" AND (TSit.iSitPosReg > 0) "
             "ORDER BY TAna.sAnaCognomeNomeIdx, TSit.dStart");
}

QString clsAlu()
{
    return S("SELECT TAna.sAnaCognome, TAna.sAnaNome, TAna.dAnaNascita, TAna.sAnaCodFiscale, "
             "TSit.iAnaId, TSit.iSitId, TSit.iClsPstId, TClsPst.iClsId, TClsPst.iPstId, ") +
           S(kSitAnno) + S(", ") + S(kSospeso) +
           S(" FROM TSit_Situazioni TSit "
             "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TSit.iAnaId) "
             "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
             "WHERE TClsPst.iClsid=:iClsId AND TSit.iSitPosReg > 0 AND TSit.iSitOrdine = 1 "
             "ORDER BY TSit.iSitPosReg, TAna.sAnaCognomeNomeIdx");
}

QString situazioni()
{
    return S("SELECT TSit.iClsPstId, TSit.iSitId, TClsPst.iPstId, TClsPst.iClsId, ") + S(kSitAnno) +
           S(", TAns.iAnsId, TSit.iSitOrdine, ") + S(kSospeso) +
           S(" FROM TSit_Situazioni TSit "
             "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
             "LEFT JOIN TAns_AnniScolast TAns ON ") +
           S(kSitOfYear) + S(" WHERE (TSit.iAnaId = :iAnaId) AND ") + S(kLiveSit) +
           S(" ORDER BY TSit.dStart, TAns.iAnsId, TSit.iSitOrdine");
}

// --- Classes and sessions ----------------------------------------------------------------------

QString clsSes()
{
    // sClsDesc is the class's long text; the templates' short text is sClsSDesc.
    return S("SELECT VCls.iClsId, TClsSes.iClsSesId, TClsSes.iAnsSesDwgId, VCls.iClsOrdine, "
             "VCls.sIndLDesc, VCls.sIndSDesc, VCls.sIndCodMin, VCls.sIndCod, VCls.sSezLDesc, "
             "VCls.sSezSDesc, VCls.sAcsLDesc, VCls.sAcsSDesc, VCls.iAcsAnnoCorso, "
             "VCls.sClsDesc, VCls.sClsSDesc, VCls.sClsAnnoScol, VSed.sSedMecCod, "
             "TSes.sSesDesc, TSes.sSesNote, TSfi.sSfiLDesc, TSfi.sSfiSDesc "
             "FROM TClsSes TClsSes "
             "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = TClsSes.iClsId) "
             "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
             "INNER JOIN TSes_Sessione TSes ON (TSes.iSesId = TAsd.iSesId) "
             "LEFT JOIN TSfi_SessFinale TSfi ON (TSfi.iSfiId = TAsd.iSfiId) "
             "LEFT JOIN VSed_Sedi VSed ON (VSed.iDwgSedId = VCls.iDwgSedId) "
             "WHERE TClsSes.iAnsSesDwgId = :iAnsSesDwgId "
             "ORDER BY VCls.iClsOrdine, TClsSes.iClsSesId");
}

// The subjects of the class with their teachers. A subject stands where it comes first in the
// class's plans, once per teacher.
QString clsMat(bool oneSession)
{
    return S("SELECT ") + S(kSubjectColumns) +
           S(", TAna.sAnaCognome ||' '|| TAna.sAnaNome AS sDocNome, "
             "TCma.lClsMatAnaCoord AS Docente_coordinatore, "
             "MIN(TMrp.iMatRmaPstOrdine) AS iMatRmaPstOrdine ") +
           S(kClassSubjects) +
           S("LEFT JOIN TClsMatAna TCma ON (TCma.iClsId = TClsSes.iClsId "
             "AND TCma.iMatId = TMat.iMatId) "
             "LEFT JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TCma.iAnaId) "
             "WHERE (TClsSes.iClsId = :iClsId) AND ") +
           (oneSession ? S("(TClsSes.iAnsSesDwgId = :iAnsSesDwgId) ") : hasComponents(kVoteCmp)) +
           S(" GROUP BY ") + S(kSubjectColumns) +
           S(", TAna.sAnaCognome, TAna.sAnaNome, TCma.lClsMatAnaCoord "
             "ORDER BY 9, 2, 7");
}

// The class and seat views are found by their keys: joined to a plan, Firebird would read a
// view of outer joins whole for every plan.
QString classi()
{
    return S("SELECT VCls.iClsOrdine, VCls.sIndLDesc, VCls.sIndSDesc, VCls.sIndCodMin, "
             "VCls.sIndCod, VCls.sSezLDesc, VCls.sSezSDesc, VCls.sAcsLDesc, VCls.sAcsSDesc, "
             "VCls.sClsDesc, VCls.sClsSDesc, VCls.sClsAnnoScol, VCls.iAcsAnnoCorso, "
             "VCls.sSpzDescr sSpeDesc, VCls.sSpzSperim sSpeCod, TPst.sPstLDesc, TPst.sPstSDesc, "
             "VSed.sSedNomLDesc, VSed.sSedNomSDesc, VSed.sSedMecCod, TDpl.sDplLDesc, "
             "TDpl.sDplSDesc "
             "FROM TClsPst TClsPst "
             "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = TClsPst.iClsId) "
             "INNER JOIN TPst_PianiStudio TPst ON (TPst.iPstId = TClsPst.iPstId) "
             "LEFT JOIN VSed_Sedi VSed ON (VSed.iDwgSedId = VCls.iDwgSedId) "
             "LEFT JOIN TInd_Indirizzo TInd ON (TInd.iIndId = VCls.iIndId) "
             "LEFT JOIN TDpl_Diplomi TDpl ON (TDpl.iDplId = TInd.iDplId) "
             "WHERE (TClsPst.iClsPstId = :iClsPstId) AND (VCls.iClsId = (SELECT TPlan.iClsId "
             "FROM TClsPst TPlan WHERE TPlan.iClsPstId = :iClsPstId))");
}

QString commissioni()
{
    return S("SELECT DISTINCT TAna.iAnaId, TAna.sAnaCognome, TAna.sAnaNome "
             "FROM TClsMatAna TCma "
             "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TCma.iAnaId) "
             "WHERE TCma.iClsId = :iClsId "
             "ORDER BY TAna.sAnaCognome, TAna.sAnaNome, TAna.iAnaId");
}

// --- Counts ------------------------------------------------------------------------------------

QString classCount(const char *counted, const char *name, const char *kind)
{
    return S("SELECT COUNT(") + S(counted) + S(") AS ") + S(name) +
           S(" FROM TClsSes TClsSes "
             "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesId = TClsSes.iClsSesId) ") +
           S(kComponents) +
           S("WHERE (TClsSes.iClsId = :iClsId) AND (TClsSes.iAnsSesDwgId = :iAnsSesDwgId) AND ") +
           S(kind);
}

QString subjectCount(const char *kind)
{
    // Both counts are NumCmpMat: the templates read the taxonomy count under that name too.
    return S("SELECT COUNT(TCmc.iClsMatCmpId) AS NumCmpMat "
             "FROM TClsMatCmp TCmc "
             "INNER JOIN TCmpSca TCmpSca ON (TCmpSca.iCmpScaId = TCmc.iCmpScaId) "
             "INNER JOIN TCmp_Componenti TCmp ON (TCmp.iCmpId = TCmpSca.iCmpId) "
             "WHERE (TCmc.iClsSesMatId = :iClsSesMatId) AND ") +
           S(kind);
}

QString nMatDebCls()
{
    return S("SELECT COUNT(DISTINCT TCsm.iMatRmaId) AS NumMatDebCls "
             "FROM TClsSes TClsSes "
             "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
             "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesId = TClsSes.iClsSesId) "
             "WHERE (TClsSes.iClsId = :iClsId) AND (TAsd.iAnsId = :iAnsId)");
}

// --- One pupil in one class session ------------------------------------------------------------

QString matCmpCls()
{
    return S("SELECT TCsm.iClsSesMatId, ") + S(kSubjectColumns) +
           S(", TCmp.sCmpSDesc, TCmp.sCmpLDesc, TCmpSca.iScaId, TCmpSca.iCmpScaOrdine, "
             "TLiv.sLivSDesc, TLiv.sLivLDesc, ScaLiv.iScaLivValore, ScaLiv.iScaLivSufficiente, "
             "ScaLiv.iScaLivInMedia, TPrp.sPrpSDesc, TPrp.sPrpLDesc, "
             "PrpLiv.iScaLivSufficiente AS SuffVotoProp, PrpLiv.iScaLivInMedia AS InMediaVotoProp, "
             "TPrpSca.fPrpScaLivValore, TSca.sScaDesc ") +
           S(kPupilSubjects) + S(kComponents) + S(kVoteAndProposal) +
           S("WHERE (TSit.iSitId = :iSitId) AND (TCsm.iClsSesId = :iClsSesId) AND ") + S(kVoteCmp) +
           S(" ORDER BY ") + S(kSubjectOrder) + S(", ") + S(kCmpOrder);
}

QString matTasCls()
{
    return S("SELECT TCsm.iClsSesMatId, ") + S(kSubjectColumns) +
           S(", TCmp.sCmpSDesc, TCmp.sCmpLDesc, ScaLiv.iScaLivValore, ScaLiv.iScaLivSufficiente, "
             "ScaLiv.iScaLivInMedia, TLiv.sLivSDesc, TLiv.sLivLDesc, TSca.sScaDesc ") +
           S(kPupilSubjects) + S(kComponents) +
           S("LEFT JOIN TTas_Tassonomie TTas ON (TTas.iClsMatCmpId = TCmc.iClsMatCmpId "
             "AND TTas.iSitId = TSit.iSitId) "
             "LEFT JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = TTas.iScaLivId) "
             "LEFT JOIN TLiv_Livelli TLiv ON (TLiv.iLivId = ScaLiv.iLivId) "
             "WHERE (TSit.iSitId = :iSitId) AND (TCsm.iClsSesId = :iClsSesId) AND ") +
           S(kTaxCmp) + S(" ORDER BY ") + S(kSubjectOrder) + S(", ") + S(kCmpOrder);
}

QString matCls()
{
    return S("SELECT TCsm.iClsSesMatId, ") + S(kSubjectColumns) +
           S(", TAss.iAssOre, TAiu.sAiuVal, TNot.bNotNota, TNot.dNotData, "
             "TAut.sAnaCognome, TAut.sAnaNome ") +
           S(kPupilSubjects) +
           S("LEFT JOIN TAss_Assenze TAss ON (TAss.iClsSesMatId = TCsm.iClsSesMatId "
             "AND TAss.iSitId = TSit.iSitId) "
             "LEFT JOIN TAiu_Aiuti TAiu ON (TAiu.iClsSesMatId = TCsm.iClsSesMatId "
             "AND TAiu.iSitId = TSit.iSitId) "
             "LEFT JOIN TNot_Note TNot ON (TNot.iNotId = ") +
           S(kFirstNote) +
           S(") LEFT JOIN TAna_Anagrafiche TAut ON (TAut.iAnaId = TNot.iAnaId) "
             "WHERE (TSit.iSitId = :iSitId) AND (TCsm.iClsSesId = :iClsSesId) AND ") +
           hasComponents(kVoteCmp) +
           S(" ORDER BY TMrp.iMatRmaPstOrdine, TMat.iMatId, TMat.sMatLDesc");
}

QString votiProve()
{
    return S("SELECT (SELECT TNot.bNotNota FROM TNot_Note TNot WHERE TNot.iNotId = ") +
           S(kFirstNote) + S(") AS bNotNota, TCsm.iClsSesMatId, ") + S(kSubjectColumns) +
           S(", TCmp.sCmpSDesc, TCmp.sCmpLDesc, ScaLiv.iScaLivValore, ScaLiv.iScaLivSufficiente, "
             "ScaLiv.iScaLivInMedia, PrpLiv.iScaLivSufficiente AS SuffVotoProp, "
             "PrpLiv.iScaLivInMedia AS InMediaVotoProp, TLiv.sLivSDesc, TLiv.sLivLDesc, "
             "TPrp.sPrpSDesc, TPrp.sPrpLDesc, TPrpSca.fPrpScaLivValore, TSca.sScaDesc ") +
           S(kPupilSubjects) + S(kComponents) + S(kVoteAndProposal) +
           S("WHERE (TSit.iSitId = :iSitId) "
             "AND (TMat.sMatCodVexto = 'PROVA' OR TMat.sMatCodVexto = 'QUALIFICA') AND ") +
           S(kVoteCmp) + S(" AND ScaLiv.iScaLivValore IS NOT NULL ORDER BY ") + S(kSubjectOrder) +
           S(", ") + S(kCmpOrder) + S(", TClsSes.iAnsSesDwgId");
}

// --- Subjects and components of one pupil ------------------------------------------------------

// The subjects of the pupil's plan that have components of the kind, in every session of the
// class or in one. The plan's order, when not a column of its own, closes the select list.
QString aluMat(const char *kind, bool oneSession, bool order, bool classId)
{
    return S("SELECT DISTINCT TMrp.iMatRmaPstId, TSit.iSitId, TSit.iAnaId, ") + S(kSubjectColumns) +
           (classId ? S(", TClsPst.iClsId") : QString()) +
           (order ? S(", TMrp.iMatRmaPstOrdine AS Ordine_Materia ")
                  : S(", TMrp.iMatRmaPstOrdine ")) +
           S(kPupilSubjects) + S("WHERE (TSit.iSitId = :iSitId) AND ") +
           (oneSession ? S("(TClsSes.iAnsSesDwgId = :iAnsSesDwgId) AND ") : QString()) +
           hasComponents(kind) + S(classId ? " ORDER BY 11, 5" : " ORDER BY 10, 5");
}

const char kCmpColumns[] = "TCmp.sCmpLDesc, TCmp.sCmpSDesc, TSca.sScaDesc, TCmpSca.iCmpScaId, "
                           "TCmpSca.iCmpScaTass, TCmpSca.iCmpScaInMedia, TCmpSca.iScaId, "
                           "TCmpSca.iCmpScaOrdine";

// The components of the kind in the pupil's subjects, each once, by scale and order.
QString aluCmp(const char *kind, bool oneSession, const char *extra = "")
{
    return S("SELECT DISTINCT ") + S(kCmpColumns) + QLatin1Char(' ') + S(kPupilSubjects) +
           S(kComponents) + S("WHERE (TSit.iSitId = :iSitId) AND ") +
           (oneSession ? S("(TClsSes.iAnsSesDwgId = :iAnsSesDwgId) AND ") : QString()) + S(kind) +
           S(extra) + S(" ORDER BY 7, 8");
}

// The vote components first by the first subject that uses them.
QString aluCmpBySubject()
{
    return S("SELECT ") + S(kCmpColumns) + S(", MIN(TMrp.iMatRmaPstOrdine) AS iMatRmaPstOrdine ") +
           S(kPupilSubjects) + S(kComponents) + S("WHERE (TSit.iSitId = :iSitId) AND ") +
           S(kVoteCmp) + S(" GROUP BY ") + S(kCmpColumns) + S(" ORDER BY 9, 7, 8");
}

QString ansSesDwg()
{
    return S("SELECT TSit.iSitId, TAsd.iAnsSesDwgId, TAsd.dAnsSesDwgInizio, TAsd.dAnsSesDwgFine, "
             "TAsd.iAnsId, TAsd.iAnsSesDwgOrdine, ") +
           S(kAnsAnno) +
           S(", TSes.sSesDesc, TSes.sSesNote, TSfi.sSfiSDesc, TSfi.sSfiLDesc "
             "FROM TSit_Situazioni TSit "
             "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
             "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TClsPst.iClsId) "
             "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
             "INNER JOIN TAns_AnniScolast TAns ON (TAns.iAnsId = TAsd.iAnsId) "
             "INNER JOIN TSes_Sessione TSes ON (TSes.iSesId = TAsd.iSesId) "
             "LEFT JOIN TSfi_SessFinale TSfi ON (TSfi.iSfiId = TAsd.iSfiId) "
             "WHERE TSit.iSitId = :iSitId "
             "ORDER BY TAsd.iAnsSesDwgOrdine, TAsd.iAnsSesDwgId");
}

// --- Seat, parents, career, credits, debts and make-up -----------------------------------------

QString sedi()
{
    return S("SELECT VSed.sSedIndIndirizzo AS Sede_Indirizzo, VSed.sSedFaxNo AS Fax, "
             "VSed.sSedTelTelefono AS Telefono, VSed.sSedEmlEmail AS Email, "
             "VSed.sSedMecCod AS Cod_Mecc, VSed.sSedNomCodiceFisc AS Cod_Fiscale, "
             "VSed.sSedNomLDesc AS Sede_Descr, VSed.sSedNomSDesc AS Sede_Sigla, "
             "TCap.sCapValue AS Cap, TCom.sComDesc AS Comune, TPro.sProDesc AS Provincia, "
             "TPro.sProSigla AS Provincia_Sigla, "
             "TCom.sComDesc || ' (' || TPro.sProSigla || ')' AS Comune_Provincia "
             "FROM VCls_Classi VCls "
             "INNER JOIN VSed_Sedi VSed ON (VSed.iDwgSedId = VCls.iDwgSedId) ") +
           placeJoins(QStringLiteral("VSed.iComCapId")) +
           S("WHERE (VCls.iClsId = :iClsId) AND (VSed.iDwgSedId = (SELECT TCls.iDwgSedId "
             "FROM TCls_Classi TCls WHERE TCls.iClsId = :iClsId))");
}

// The parents (kinship 1 and 2) and the tutors; a parent who is also the tutor once.
QString genitori()
{
    const char columns[] = "SELECT TAna.iAnaId, TAna.sAnaNome, TAna.sAnaCognome, "
                           "TAna.dAnaNascita, TAna.sAnaCodFiscale, TAnaGpt.iAnaGptId ";
    return S(columns) +
           S("FROM TAnaGpt TAnaGpt "
             "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaGpt.iAnaId_Gpt) "
             "WHERE (TAnaGpt.iAnaId = :iAnaId) "
             "AND ((TAnaGpt.iGptId = 1) OR (TAnaGpt.iGptId = 2)) "
             "UNION ") +
           S(columns) +
           S("FROM TAnaTut TAnaTut "
             "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaTut.iAnaId_Tut) "
             "LEFT JOIN TAnaGpt TAnaGpt ON (TAnaGpt.iAnaId = TAnaTut.iAnaId "
             "AND TAnaGpt.iAnaId_Gpt = TAnaTut.iAnaId_Tut) "
             "WHERE (TAnaTut.iAnaId = :iAnaId) AND (TAnaTut.iTutId IS NOT NULL)");
}

// The record keeps no position of its own: the detail is that of the pupil's latest final
// position.
QString anaGme()
{
    return S("SELECT TGme.sAnaGmeVotoAmm, VPosFin.sStaFinDettSDesc, VPosFin.sStaFinDettLDesc "
             "FROM TAnaGme TGme "
             "LEFT JOIN VPosFin VPosFin ON (VPosFin.iPosFinId = (SELECT FIRST 1 TSit.iPosFinId "
             "FROM TSit_Situazioni TSit WHERE TSit.iAnaId = TGme.iAnaId AND ") +
           S(kMainSit) + S(" AND ") + S(kLiveSit) +
           S(" AND TSit.iPosFinId IS NOT NULL ORDER BY TSit.dStart DESC)) "
             "WHERE (TGme.iAnaId = :iAnaId) AND (TGME.ISCUTYPID = 4)");
}

QString obbligoForm()
{
    return S("SELECT TSitObf.dSitObfStart, TObf.sObfCodice, TObf.sObfDescr "
             "FROM TSitObf TSitObf "
             "INNER JOIN TObf_ObbligoFormativo TObf ON (TObf.iObfId = TSitObf.iObfId) "
             "WHERE TSitObf.iSitId = :iSitId "
             "ORDER BY TSitObf.dSitObfStart, TSitObf.iSitObfId");
}

QString esoneri()
{
    return S("SELECT TMat.sMatCodMin, TMat.sMatLDesc, TMat.sMatSDesc "
             "FROM TSitEso_Esoneri TEso "
             "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TEso.iMatId) "
             "WHERE TEso.iSitId = :iSitId ORDER BY TMat.sMatLDesc");
}

// Credits count from the third course year, for the final states that carry them or none yet,
// and for a second situation of the year only when its credit is marked to count.
QString creAlu()
{
    return S("SELECT Bnd.sBndDesc, Bnd.iBndMedMin||'-'||Bnd.iBndMedMax AS BndMed, "
             "Bnd.iBndCreMin||'-'||Bnd.iBndCreMax AS BndCre, Cre.fCreMediaVoti, "
             "Cre.iCreMediaVoti, Cre.iCrePerMedia, Cre.iCreOutBanda, Cre.iCreFrmSco, "
             "Cre.iCreSosp, Cre.iCreRecup, Cre.iCreCredito, Enc.sEncLDesc, Enc.sEncSDesc, "
             "Cre.bCreNota, ") +
           S(kAnsAnno) +
           S(", Sit.iSitId, TAns.iAnsId, Cre.lCreUnanimCre "
             "FROM TCre_Crediti Cre "
             "INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = Cre.iSitId) "
             "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = Sit.iClsPstId) "
             "INNER JOIN TCls_Classi TCls ON (TCls.iClsId = TClsPst.iClsId) "
             "INNER JOIN TAcs_AnniCorso TAcs ON (TAcs.iAcsId = TCls.iAcsId) "
             "LEFT JOIN TAns_AnniScolast TAns ON (TAns.dAnsVextoInizio = Sit.dStart) "
             "LEFT JOIN TPosFin TPosFin ON (TPosFin.iPosFinId = Sit.iPosFinId) "
             "LEFT JOIN TStaFin TStaFin ON (TStaFin.iStaFinId = TPosFin.iStaFinId) "
             "LEFT JOIN TBnd_Bande Bnd ON (Bnd.iBndId = Cre.iBndId) "
             "LEFT JOIN TEnc_Encomio Enc ON (Enc.iEncId = Cre.iEncId) "
             "WHERE (Cre.iSitId = :iSitId) AND (TAcs.iAcsAnnoCorso >= 3) "
             "AND (TStaFin.iStaFinId IN (1,3,5) OR TStaFin.iStaFinId IS NULL) "
             "AND ((Sit.isitordine = 1) or (Cre.LCRECONSIDERACURRDIS = 1))");
}

QString creItems(const char *table, const char *link, const char *code)
{
    return QStringLiteral("SELECT It.s%3LDesc, It.s%3SDesc, It.i%3Peso "
                          "FROM TCre_Crediti Cre "
                          "INNER JOIN %2 Lnk ON (Lnk.iCreId = Cre.iCreId) "
                          "INNER JOIN %1 It ON (It.i%3Id = Lnk.i%3Id) "
                          "WHERE Cre.iSitId = :iSitId ORDER BY It.s%3LDesc, It.i%3Id")
        .arg(S(table), S(link), S(code));
}

QString debiti()
{
    return S("SELECT TMat.sMatLDesc, TMat.sMatSDesc, TMat.sMatCodUser, TMat.sMatCodMin, "
             "TMat.sMatCodVexto, TDtd.sDtdLDesc, TDed.sDedLDesc, TDeb.dDebAttr "
             "FROM TDeb_Debiti TDeb "
             "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TDeb.iMatId) ") +
           S(kDebtDetails) + S("WHERE TDeb.iSitId = :iSitId ORDER BY TMat.sMatLDesc");
}

QString debMat()
{
    return S("SELECT TDeb.iDebId, TDeb.iMatId, TDes.iDesSufficiente, TDeb.iDesDedId, "
             "TDed.sDedSDesc, TDed.sDedLDesc, TDeb.iDtpDtdId, TDtd.sDtdSDesc, TDtd.sDtdLDesc, "
             "TDeb.iAnaId_Attr, TDeb.dDebAttr, TDeb.dDebVer, ") +
           S(kDocAttr) + S(" AS DocAttr, TDeb.iAnaId_Ver, ") + S(kDocVer) +
           S(" AS DocVer, TDeb.bDebNota "
             "FROM TDeb_Debiti TDeb ") +
           S(kDebtDetails) + S("WHERE (TDeb.iSitId = :iSitId) AND (TDeb.iMatId = :iMatId)");
}

// Every subject with votes in the class's sessions, at its first place in the class's plans,
// with the pupil's debt in it when there is one (at most one per subject).
QString matClsDeb()
{
    return S("SELECT TMat.iMatId, TMat.sMatSDesc, TMat.sMatLDesc, TMat.sMatCodMin, "
             "TMat.sMatCodVexto, TMat.sMatCodUser, TDes.iDesSufficiente, TDeb.iDebId, "
             "TDeb.dDebAttr, TDeb.dDebVer, TDed.sDedLDesc, TDtd.sDtdLDesc, TDed.sDedSDesc, "
             "TDtd.sDtdSDesc, ") +
           S(kDocAttr) + S(" AS sDocAttr, ") + S(kDocVer) +
           S(" AS sDocVer, TDeb.bDebNota "
             "FROM (SELECT TMat.iMatId, MIN(TMrp.iMatRmaPstOrdine) AS iOrdine ") +
           S(kClassSubjects) + S("WHERE (TClsSes.iClsId = :iClsId) AND ") +
           hasComponents(kVoteCmp) +
           S(" GROUP BY TMat.iMatId) TCmat "
             "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TCmat.iMatId) "
             "LEFT JOIN TDeb_Debiti TDeb ON (TDeb.iMatId = TMat.iMatId "
             "AND TDeb.iSitId = :iSitId) ") +
           S(kDebtDetails) + S("ORDER BY TCmat.iOrdine, TMat.sMatLDesc");
}

// The make-up records of a pupil in a phase of the year-session's school year.
QString aluRec(bool allSubjects)
{
    return S("SELECT TRec.iSitId, TRec.iMatId, TRec.iTreId, TRec.iEreId, TTre.sTreSDesc, "
             "TTre.sTreLDesc, TTre.iTrePeso, TRec.dRecAttr, TEre.sEreSDesc, TEre.sEreLDesc, "
             "TEre.iPesoRec, TRec.dRecVer, TPvr.sPvrLDesc, TPvr.sPvrSDesc, ") +
           (allSubjects ? S("TMat.sMatLDesc, TMat.sMatSDesc, TMat.sMatCodVexto, TMat.sMatCodUser, ")
                        : QString()) +
           S("TRec.iAnsFreDwgId, TAfd.iFreId, TFre.sFreSDesc "
             "FROM TRec_Recuperi TRec "
             "INNER JOIN TAnsFreDwg TAfd ON (TAfd.iAnsFreDwgId = TRec.iAnsFreDwgId) "
             "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsId = TAfd.iAnsId) "
             "INNER JOIN TFre_FasiRec TFre ON (TFre.iFreId = TAfd.iFreId) "
             "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRec.iMatId) "
             "LEFT JOIN TTre_TipoRec TTre ON (TTre.iTreId = TRec.iTreId) "
             "LEFT JOIN TEre_EsitoRec TEre ON (TEre.iEreId = TRec.iEreId) "
             "LEFT JOIN TPvr_ProvaRecupero TPvr ON (TPvr.iPvrId = TRec.iPvrId) "
             "WHERE (TRec.iSitId = :iSitId) ") +
           (allSubjects ? QString() : S("AND (TRec.iMatId = :iMatId) ")) +
           S("AND (TAsd.iAnsSesDwgId = :iAnsSesDwgId) AND (TAfd.iFreId = :iFreId) "
             "ORDER BY ") +
           S(allSubjects ? "TMat.sMatLDesc, TRec.iRecId" : "TRec.iRecId");
}

void replaceOnce(QString &sql, const QString &what, const QString &with)
{
    const qsizetype at = sql.indexOf(what);
    if (at < 0)
        qFatal("A report query has no \"%s\" to read it for many pupils.", qPrintable(what));
    sql.replace(at, what.size(), with);
}

// Where the select list ends: the first FROM outside parentheses (EXTRACT(YEAR FROM ...) and
// subqueries have their own).
qsizetype selectListEnd(const QString &sql)
{
    int depth = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        depth += c == QLatin1Char('(') ? 1 : c == QLatin1Char(')') ? -1 : 0;
        if (depth == 0 && sql.mid(i, 6) == QLatin1String(" FROM "))
            return i;
    }
    qFatal("A report query has no FROM.");
}

struct Filter
{
    const char *condition; // as the statement has it, with its AND
    const char *column;
    const char *param;
};

// The statement of one pupil made the statement of many (QelRptBatch): the pupil's condition
// over the keys, each filter's condition taken out and its column read instead.
QelRptBatch batchOf(QString sql, const char *condition, const char *key, const char *param,
                    QelPupilKey kind = QelPupilKey::Situation,
                    std::initializer_list<Filter> filters = {})
{
    QelRptBatch batch{QString(), S(param), kind, {}};
    QString columns = QStringLiteral(", %1 AS BatchKey").arg(S(key));
    int n = 0;
    for (const Filter &f : filters) {
        columns += QStringLiteral(", %1 AS BatchFilter%2").arg(S(f.column)).arg(++n);
        replaceOnce(sql, S(f.condition), QString());
        batch.filters << S(f.param);
    }
    replaceOnce(sql, S(condition), QStringLiteral("(%1 IN (%KEYS%))").arg(S(key)));
    sql.insert(selectListEnd(sql), columns);
    const qsizetype order = sql.lastIndexOf(QLatin1String(" ORDER BY "));
    if (order >= 0)
        sql.insert(order + 10, QStringLiteral("BatchKey, "));
    batch.sql = sql;
    return batch;
}

QList<QelRptQueryText> buildTexts()
{
    const auto address = [](const char *name, const QString &sql, int use) {
        return QelRptQueryText{S(name), sql, {{"iAnaId", QVariant()}, {"iAbt", use}}, {}};
    };
    const auto q = [](const char *name, const QString &sql, Params params, QelRptBatch batch = {}) {
        return QelRptQueryText{S(name), sql, params, batch};
    };
    // The situation's statements that name it "(TSit.iSitId = :iSitId)".
    const auto pupilBatch = [](const QString &sql, std::initializer_list<Filter> filters = {}) {
        return batchOf(sql, "(TSit.iSitId = :iSitId)", "TSit.iSitId", "iSitId",
                       QelPupilKey::Situation, filters);
    };
    const Filter kOfSession = {"(TClsSes.iAnsSesDwgId = :iAnsSesDwgId) AND ",
                               "TClsSes.iAnsSesDwgId", "iAnsSesDwgId"};
    const Filter kOfClassSession = {" AND (TCsm.iClsSesId = :iClsSesId)", "TCsm.iClsSesId",
                                    "iClsSesId"};
    const Params sit = ints({"iSitId"});
    const Params ana = ints({"iAnaId"});
    const Params clsSesSit = ints({"iClsSesId", "iSitId"});
    const Params sitSes = ints({"iSitId", "iAnsSesDwgId"});
    const Params clsInSes = ints({"iClsId", "iAnsSesDwgId"});
    return {
        q("qquDataOwner", dataOwner(), {{"All", 0}}),
        q("qquSedi", sedi(), ints({"iClsId"})),
        q("qquAlunni", alunni(),
          ints({"iAnsId", "iDwgId", "iAllId", "iClsId", "iAllPosFinId", "iPosFinId"})),
        q("qquVotiProve", votiProve(), sit),
        q("qquAnaGme", anaGme(), ana),
        q("qquAluNoAnsId", aluNoAnsId(), ints({"iDwgId", "iAnaId"})),
        q("qquCommissioni", commissioni(), ints({"iClsId"})),
        q("qquDebiti", debiti(), sit),
        q("qquGenitori", genitori(), ana),
        q("qquGenitoriDettagli", genitoriDettagli(), ana),
        address("qquGenitoriDom", addresses(), 1),
        address("qquGenitoriRes", addresses(), 2),
        address("qquGenitoriRec", addresses(), 3),
        address("qquAlunniDom", addresses(), 1),
        address("qquAlunniRes", addresses(), 2),
        address("qquAlunniRec", addresses(), 3),
        address("qquAlunniFrazDom", hamlets(), 1),
        address("qquAlunniFrazRes", hamlets(), 2),
        address("qquAlunniFrazRec", hamlets(), 3),
        address("qquGenitoriFrazDom", hamlets(), 1),
        address("qquGenitoriFrazRes", hamlets(), 2),
        address("qquGenitoriFrazRec", hamlets(), 3),
        q("qquSituazioni", situazioni(), ana,
          batchOf(situazioni(), "(TSit.iAnaId = :iAnaId)", "TSit.iAnaId", "iAnaId",
                  QelPupilKey::Person)),
        q("qquSituazDettagli", situazDettagli(), sit, pupilBatch(situazDettagli())),
        q("qquAluAna", birthAndCitizenship(false), ana),
        q("qquGenAna", birthAndCitizenship(true), ana),
        q("qquClassi", classi(), ints({"iClsPstId"})),
        q("qquAluCls", classi(), ints({"iClsPstId"})),
        q("qquAluMat", aluMat(kVoteCmp, false, true, false), sit,
          pupilBatch(aluMat(kVoteCmp, false, true, false))),
        q("qquAluMatTas", aluMat(kTaxCmp, false, false, false), sit,
          pupilBatch(aluMat(kTaxCmp, false, false, false))),
        q("qquAluCmp", aluCmpBySubject(), sit),
        q("qquAluTas", aluCmp(kTaxCmp, false), sit, pupilBatch(aluCmp(kTaxCmp, false))),
        q("qquObbligoForm", obbligoForm(), sit),
        q("qquEsoneri", esoneri(), sit),
        q("qquScuolaProve", school("iScuId_Prov"), sit),
        q("qquScuolaTrasf", school("iScuId_Tras"), sit),
        q("qquScuolTraDettagli", schoolPlace("iScuId_Tras"), sit),
        q("qquScuolProDettagli", schoolPlace("iScuId_Prov"), sit),
        q("qquAlunniDettagli", alunniDettagli(), ana),
        q("qquGenitoriTelEmail", genitoriTelEmail(), ana),
        q("qquGenitoriProfesTdStud", genitoriProfesTdStud(), ana),
        q("qquClsSes", clsSes(), ints({"iAnsSesDwgId"})),
        q("qquNCmpCls", classCount("TCmc.iClsMatCmpId", "NumCmpCls", kVoteCmp), clsInSes),
        q("qquNTasCls", classCount("TCmc.iClsMatCmpId", "NumTasCls", kTaxCmp), clsInSes),
        // A subject counts once per vote component.
        q("qquNMatCls", classCount("TCsm.iClsSesMatId", "NumMatCls", kVoteCmp), clsInSes),
        q("qquNMatDebCls", nMatDebCls(), ints({"iClsId", "iAnsId"})),
        q("qquClsAlu", clsAlu(), ints({"iClsId"})),
        q("qquMatCmpCls", matCmpCls(), clsSesSit, pupilBatch(matCmpCls(), {kOfClassSession})),
        q("qquClsMat", clsMat(true), clsInSes),
        q("qquClsMatAns", clsMat(false), ints({"iClsId"})),
        q("qquNCmpMat", subjectCount(kVoteCmp), ints({"iClsSesMatId"})),
        q("qquMatTasCls", matTasCls(), clsSesSit, pupilBatch(matTasCls(), {kOfClassSession})),
        q("qquNTasMat", subjectCount(kTaxCmp), ints({"iClsSesMatId"})),
        q("qquMatCls", matCls(), clsSesSit),
        q("qquMatClsDeb", matClsDeb(), ints({"iClsId", "iSitId"})),
        q("qquCreAlu", creAlu(), sit),
        q("qquCreFrmAlu", creItems("TFrm_Formativi", "TCreFrm", "Frm"), sit),
        q("qquCreScoAlu", creItems("TSco_Scolastici", "TCreSco", "Sco"), sit),
        q("qquAnsSesDwg", ansSesDwg(), sit,
          batchOf(ansSesDwg(), "TSit.iSitId = :iSitId", "TSit.iSitId", "iSitId")),
        q("qquAluMatSes", aluMat(kVoteCmp, true, false, false), sitSes,
          pupilBatch(aluMat(kVoteCmp, true, false, false), {kOfSession})),
        q("qquAluMatTasSes", aluMat(kTaxCmp, true, false, true), sitSes,
          pupilBatch(aluMat(kTaxCmp, true, false, true), {kOfSession})),
        q("qquAluCmpSesNoRel",
          aluCmp(kVoteCmp, true,
                 // Ordinary subjects have no code: compared as blank, they stay.
                 " AND (COALESCE(TMat.sMatCodVexto, '') <> 'RELIGIONE') "
                 "AND (COALESCE(TMat.sMatCodVexto, '') <> 'CONDOTTA')"),
          sitSes),
        q("qquAluCmpSes", aluCmp(kVoteCmp, true), sitSes),
        q("qquAluTasSes", aluCmp(kTaxCmp, true), sitSes),
        q("qquDebMat", debMat(), ints({"iSitId", "iMatId"}),
          batchOf(debMat(), "(TDeb.iSitId = :iSitId)", "TDeb.iSitId", "iSitId",
                  QelPupilKey::Situation,
                  {{" AND (TDeb.iMatId = :iMatId)", "TDeb.iMatId", "iMatId"}})),
        q("qquAai", aai(), ints({"iAnsSesDwgId"})),
        q("qquCreSco", creditItems("Sco"), {}),
        q("qquCreFrm", creditItems("Frm"), {}),
        q("qquAluRec", aluRec(false), ints({"iSitId", "iMatId", "iAnsSesDwgId", "iFreId"})),
        q("qquAluRecAllMat", aluRec(true), ints({"iSitId", "iAnsSesDwgId", "iFreId"})),
        // The make-up functions set its session as well as its pupil, subject and phase.
        q("qquAluMatRec", aluRec(false), ints({"iSitId", "iMatId", "iAnsSesDwgId", "iFreId"})),
    };
}

} // namespace

const QList<QelRptQueryText> &qelRptQueryTexts()
{
    static const QList<QelRptQueryText> texts = buildTexts();
    return texts;
}

QList<int> ListaAnniCorso(int annoCorso, int selAnsId)
{
    QList<int> years;
    for (int k = 3; k <= annoCorso; ++k)
        years << selAnsId + k - annoCorso;
    return years;
}

QString qelClsAnsCrsSql()
{
    return S("SELECT TAns.iAnsId, ") + S(kAnsAnno) +
           S(" FROM TAns_AnniScolast TAns "
             "WHERE TAns.iAnsId BETWEEN :iAnsIdPrimo AND :iAnsIdUltimo ORDER BY TAns.iAnsId");
}
