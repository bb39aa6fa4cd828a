#include "exchange/qeldocfoldersql.h"

#include "exchange/qelwebsendsql.h"

#include <iterator>

namespace {

const QelDocFolderKind kKinds[] = {
    {"Vot", "vot", "TVot_Voti", "iVotId", "iClsMatCmpId", "iScaLivId = :iScaLivId", "iScaLivId",
     "CAST(:iScaLivId AS INTEGER)", "TVOT_VOTI", "iScaLivId IS DISTINCT FROM :iScaLivId"},
    {"Vtp", "vtp", "TVtp_Proposti", "iVtpId", "iClsMatCmpId", "iPrpScaLivId = :iScaLivId",
     "iPrpScaLivId", "CAST(:iScaLivId AS INTEGER)", "TVTP_PROPOSTI",
     "iPrpScaLivId IS DISTINCT FROM :iScaLivId"},
    {"Tas", "tas", "TTas_Tassonomie", "iTasId", "iClsMatCmpId", "iScaLivId = :iScaLivId",
     "iScaLivId", "CAST(:iScaLivId AS INTEGER)", "TTAS_TASSONOMIE",
     "iScaLivId IS DISTINCT FROM :iScaLivId"},
    {"Ass", "", "TAss_Assenze", "iAssId", "iClsSesMatId", "iAssOre = :iAssOre", "iAssOre",
     "CAST(:iAssOre AS INTEGER)", "TASS_ASSENZE", "iAssOre IS DISTINCT FROM :iAssOre"},
    {"Aiu", "", "TAiu_Aiuti", "iAiuId", "iClsSesMatId", "sAiuVal = :sAiuVal", "sAiuVal",
     "CAST(:sAiuVal AS VARCHAR(4))", "TAIU_AIUTI", "sAiuVal IS DISTINCT FROM :sAiuVal"},
    {"Not", "", "TNot_Note", "iNotId", "iClsSesMatId", "dNotData = :dNotData, bNotNota = :bNotNota",
     "dNotData, bNotNota", "CAST(:dNotData AS DATE), CAST(:bNotNota AS BLOB SUB_TYPE TEXT)",
     "TNOT_NOTE", "(dNotData IS DISTINCT FROM :dNotData OR bNotNota IS DISTINCT FROM :bNotNota)"},
};

bool isComponent(const QelDocFolderKind &kind)
{
    return QLatin1String(kind.rowKey) == QLatin1String("iClsMatCmpId");
}

// The teacher's class-session subjects in the working year-session (ClsMatAna, ClsSes, MatRma,
// ClsSesMat).
const char kTeacherSubjects[] =
    "FROM TClsMatAna ClsMatAna "
    "  JOIN TClsSes ClsSes ON ClsSes.iClsId = ClsMatAna.iClsId "
    "    AND ClsSes.iAnsSesDwgId = :iAnsSesDwgId "
    "  JOIN TMatRma MatRma ON MatRma.iMatId = ClsMatAna.iMatId "
    "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesId = ClsSes.iClsSesId "
    "    AND ClsSesMat.iMatRmaId = MatRma.iMatRmaId ";

// The situation, class session, subject and teacher of a collected value.
const char kScope[] =
    "SELECT 1 FROM TSit_Situazioni ScpSit "
    "  JOIN TClsPst ScpPst ON ScpPst.iClsPstId = ScpSit.iClsPstId "
    "  JOIN TClsSes ScpSes ON ScpSes.iClsId = ScpPst.iClsId "
    "    AND ScpSes.iAnsSesDwgId = :iAnsSesDwgId "
    "  JOIN TClsSesMat ScpMat ON ScpMat.iClsSesId = ScpSes.iClsSesId "
    "  JOIN TMatRma ScpRma ON ScpRma.iMatRmaId = ScpMat.iMatRmaId "
    "WHERE ScpSit.iSitId = :iSitId "
    "  AND EXISTS (SELECT 1 FROM TClsMatAna ScpAna WHERE ScpAna.iClsId = ScpPst.iClsId "
    "    AND ScpAna.iMatId = ScpRma.iMatId AND ScpAna.iAnaId = :iDocId) ";

// A debt of the teacher's, as the send gave it to him: of an earlier year, verified by him or in
// a subject he is assigned to in the debt's class.
const char kDebtScope[] =
    "EXISTS (SELECT 1 FROM TDeb_Debiti ScpDeb "
    "  JOIN VAns_AnniScolast ScpAns ON ScpAns.dAnsVextoInizio = ScpDeb.dStart "
    "  JOIN TAns_AnniScolast ScpWrk ON ScpWrk.iAnsId = :iAnsId "
    "  JOIN TSit_Situazioni ScpSit ON ScpSit.iSitId = ScpDeb.iSitId "
    "  WHERE ScpDeb.iSitId = :iSitId AND ScpDeb.iMatId = :iMatId "
    "    AND ScpAns.iAnsValore < ScpWrk.iAnsValore "
    "    AND (ScpDeb.iAnaId_Ver = :iDocId OR EXISTS (SELECT 1 FROM TClsPst ScpPst "
    "      JOIN TClsMatAna ScpAna ON ScpAna.iClsId = ScpPst.iClsId "
    "      WHERE ScpPst.iClsPstId = ScpSit.iClsPstId AND ScpAna.iMatId = ScpDeb.iMatId "
    "        AND ScpAna.iAnaId = :iDocId)))";

QString scope(const QelDocFolderKind &kind)
{
    if (isComponent(kind))
        return QLatin1String(kScope) +
               QStringLiteral("AND EXISTS (SELECT 1 FROM TClsMatCmp ScpCmp WHERE "
                              "ScpCmp.iClsSesMatId = ScpMat.iClsSesMatId AND "
                              "ScpCmp.iClsMatCmpId = :iClsMatCmpId)");
    return QLatin1String(kScope) + QStringLiteral("AND ScpMat.iClsSesMatId = :iClsSesMatId");
}

} // namespace

namespace QelDocFolderSql {

const QelDocFolderKind *kinds()
{
    return kKinds;
}

int kindCount()
{
    return int(std::size(kKinds));
}

QString clsMat()
{
    return QStringLiteral(
        "SELECT ClsMatAna.iClsId, VCls.sClsDesc, ClsMatAna.iMatId, Mat.sMatLDesc "
        "FROM TClsMatAna ClsMatAna "
        "  JOIN TMat_Materie Mat ON Mat.iMatId = ClsMatAna.iMatId "
        "  LEFT JOIN VCls_Classi VCls ON VCls.iClsId = ClsMatAna.iClsId "
        "WHERE ClsMatAna.iAnaId = :iAnaId AND EXISTS (SELECT 1 FROM TClsSes ClsSes "
        "  WHERE ClsSes.iClsId = ClsMatAna.iClsId AND ClsSes.iAnsSesDwgId = :iAnsSesDwgId) "
        "ORDER BY ClsMatAna.iClsId, ClsMatAna.iMatId");
}

QString votiBase()
{
    // DISTINCT would refuse to order by a column it does not list.
    return QStringLiteral(
               "SELECT T.iClsId, T.iMatId, T.iClsSesMatId, T.iPstId, T.iSitId, T.iAnaId, "
               "T.iSitPosReg, T.sAnaCognome, T.sAnaNome FROM ("
               "SELECT DISTINCT ClsMatAna.iClsId, ClsMatAna.iMatId, ClsSesMat.iClsSesMatId, "
               "ClsPst.iPstId, Sit.iSitId, Sit.iAnaId, Sit.iSitPosReg, Ana.sAnaCognome, "
               "Ana.sAnaNome, Ana.sAnaCognomeNomeIdx ") +
           QLatin1String(kTeacherSubjects) +
           QStringLiteral(
               "  JOIN TMat_Materie Mat ON Mat.iMatId = ClsMatAna.iMatId "
               "  JOIN TClsPst ClsPst ON ClsPst.iClsId = ClsMatAna.iClsId "
               "  JOIN TMatRmaPst MatRmaPst ON MatRmaPst.iMatRmaId = MatRma.iMatRmaId "
               "    AND MatRmaPst.iPstId = ClsPst.iPstId "
               "  JOIN TSit_Situazioni Sit ON Sit.iClsPstId = ClsPst.iClsPstId "
               "  JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId "
               "WHERE ClsMatAna.iAnaId = :iAnaId AND Sit.iSitOrdine = 1 AND Sit.iSitPosReg > 0 "
               "  AND (Mat.sMatCodVexto IS DISTINCT FROM 'RELIGIONE' OR Sit.lSitRelig = 1)) T "
               "ORDER BY T.iClsId, T.iMatId, T.iSitPosReg, T.sAnaCognomeNomeIdx, T.iSitId");
}

QString slotCount()
{
    return QStringLiteral("SELECT COUNT(DISTINCT ClsMatCmp.iCmpScaId) FROM TClsMatCmp ClsMatCmp "
                          "  JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = ClsMatCmp.iCmpScaId "
                          "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = "
                          "ClsMatCmp.iClsSesMatId "
                          "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "
                          "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId "
                          "  AND CmpSca.iCmpScaTass = :iCmpScaTass");
}

QString slotComponents()
{
    return QStringLiteral("SELECT DISTINCT ClsSesMat.iClsSesMatId, ClsMatCmp.iClsMatCmpId, "
                          "Cmp.sCmpSDesc, Cmp.sCmpLDesc, ClsMatCmp.iCmpScaId, "
                          "CmpSca.iCmpScaOrdine ") +
           QLatin1String(kTeacherSubjects) +
           QStringLiteral(
               "  JOIN TClsMatCmp ClsMatCmp ON ClsMatCmp.iClsSesMatId = ClsSesMat.iClsSesMatId "
               "  JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = ClsMatCmp.iCmpScaId "
               "  JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = CmpSca.iCmpId "
               "WHERE ClsMatAna.iAnaId = :iAnaId AND CmpSca.iCmpScaTass = :iCmpScaTass "
               "ORDER BY 1, 6, 2");
}

QString slotLevels(const QelDocFolderKind &kind)
{
    const QString column = QString::fromLatin1(kind.columns);
    return QStringLiteral("SELECT Val.iSitId, Val.iClsMatCmpId, Val.%1 AS iLivello ").arg(column) +
           QLatin1String(kTeacherSubjects) +
           QStringLiteral(
               "  JOIN TClsMatCmp ClsMatCmp ON ClsMatCmp.iClsSesMatId = ClsSesMat.iClsSesMatId "
               "  JOIN %1 Val ON Val.iClsMatCmpId = ClsMatCmp.iClsMatCmpId "
               "WHERE ClsMatAna.iAnaId = :iAnaId")
               .arg(QLatin1String(kind.table));
}

QString subjectValues(const QelDocFolderKind &kind)
{
    QString columns = QString::fromLatin1(kind.columns);
    columns.replace(QLatin1String(", "), QLatin1String(", Val."));
    return QStringLiteral("SELECT Val.iSitId, Val.iClsSesMatId, Val.%1, Val.%2 ")
               .arg(columns, QLatin1String(kind.keyColumn)) +
           QLatin1String(kTeacherSubjects) +
           QStringLiteral("  JOIN %1 Val ON Val.iClsSesMatId = ClsSesMat.iClsSesMatId "
                          "WHERE ClsMatAna.iAnaId = :iAnaId ORDER BY Val.%2")
               .arg(QLatin1String(kind.table), QLatin1String(kind.keyColumn));
}

QString livelli()
{
    return QelWebSendSql::livelliSelect() +
           QStringLiteral("ORDER BY CmpSca.iScaId, CmpSca.iCmpId, ScaLiv.iScaLivId");
}

QString livVtp()
{
    return QelWebSendSql::livVtpSelect() +
           QStringLiteral("ORDER BY CmpSca.iScaId, CmpSca.iCmpId, PrpScaLiv.iPrpScaLivId");
}

QString debiti()
{
    // The open debts of earlier years that the teacher verifies or that lie in a subject he
    // teaches in the debt's class; iClsId is the pupil's class in the working year.
    return QStringLiteral(
        "SELECT (SELECT FIRST 1 CurPst.iClsId FROM TSit_Situazioni CurSit "
        "    JOIN TClsPst CurPst ON CurPst.iClsPstId = CurSit.iClsPstId "
        "  WHERE CurSit.iAnaId = Sit.iAnaId AND CurPst.dStart = Wrk.dAnsVextoInizio "
        "  ORDER BY CurSit.iSitOrdine, CurSit.iSitId) AS iClsId, "
        "Sit.iSitId, Sit.iAnaId, Sit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome, "
        "Ans.sAnsAnnoDesc, Deb.iDebId, Deb.iMatId, Mat.sMatLDesc, Deb.iDesDedId, Deb.dDebVer, "
        "Deb.bDebNota "
        "FROM TDeb_Debiti Deb "
        "  JOIN VAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Deb.dStart "
        "  JOIN TAns_AnniScolast Wrk ON Wrk.iAnsId = :iAnsId "
        "  JOIN TSit_Situazioni Sit ON Sit.iSitId = Deb.iSitId "
        "  JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId "
        "  JOIN TMat_Materie Mat ON Mat.iMatId = Deb.iMatId "
        "WHERE Deb.iDesDedId IS NULL AND Ans.iAnsValore < Wrk.iAnsValore "
        "  AND Sit.iSitOrdine = 1 AND Sit.iSitPosReg > 0 "
        "  AND (Deb.iAnaId_Ver = :iAnaId OR EXISTS (SELECT 1 FROM TClsPst DebPst "
        "    JOIN TClsMatAna DebAna ON DebAna.iClsId = DebPst.iClsId "
        "    WHERE DebPst.iClsPstId = Sit.iClsPstId AND DebAna.iMatId = Deb.iMatId "
        "      AND DebAna.iAnaId = :iAnaId)) "
        "ORDER BY 1, 7, 4, 10");
}

QString istituto()
{
    return QelWebSendSql::istitutoSelect() +
           QStringLiteral("WHERE Sed.iDwgId = :iDwgId AND Sed.lDwgSedMain = 1 "
                          "AND Sed.dEnd_DwgSed IS NULL ORDER BY Sed.iDwgSedId");
}

QString teachersOfSession()
{
    return QStringLiteral(
        "SELECT TAai.iAaiId, TAai.iModId, TMod.sModDesc, TAnaCag.iAnaCagId, TAnaCag.iAnaId, "
        "TAnaCag.sAnaCagCode, TAna.sAnaCognome || ' ' || TAna.sAnaNome AS sDocNome, "
        "TAna.sAnaCognomeNomeIdx, TAai.iAaiInviato, TAai.dAaiInviato, TAai.sAaiDirInviato, "
        "TAai.iAaiRicevuto, TAai.dAaiRicevuto "
        "FROM TAai_AnaAppInvio TAai "
        "  JOIN TAnaCag TAnaCag ON TAnaCag.iAnaCagId = TAai.iAnaCagId AND TAnaCag.iCagId = 3 "
        "  JOIN TAna_Anagrafiche TAna ON TAna.iAnaId = TAnaCag.iAnaId "
        "  JOIN TMod_ModoInvio TMod ON TMod.iModId = TAai.iModId "
        "WHERE TAai.iAnsSesDwgId = :iAnsSesDwgId ORDER BY TAna.sAnaCognomeNomeIdx");
}

QString deleteValue(const QelDocFolderKind &kind)
{
    return QStringLiteral("DELETE FROM %1 WHERE iSitId = :iSitId AND %2 = :%2 AND EXISTS (")
               .arg(QLatin1String(kind.table), QLatin1String(kind.rowKey)) +
           scope(kind) + QLatin1Char(')');
}

QString updateValue(const QelDocFolderKind &kind)
{
    // A value as it is stored is left alone: nothing is written, nothing counted as changed.
    return QStringLiteral("UPDATE %1 SET %2 WHERE iSitId = :iSitId AND %3 = :%3 AND %4 AND "
                          "EXISTS (")
               .arg(QLatin1String(kind.table), QLatin1String(kind.setClause),
                    QLatin1String(kind.rowKey), QLatin1String(kind.changed)) +
           scope(kind) + QLatin1Char(')');
}

QString insertValue(const QelDocFolderKind &kind)
{
    return valueInsert(kind.table, kind.keyColumn, kind.rowKey, kind.columns, kind.values,
                       QStringLiteral("CAST(:iNewId AS INTEGER)"), scope(kind));
}

QString valueInsert(const char *table, const char *keyColumn, const char *rowKey,
                    const char *columns, const char *values, const QString &key,
                    const QString &inScope)
{
    // The values stand in the select's list, where the database learns their types from the
    // casts alone. The situation's dates, as grade entry gives a new row.
    return QStringLiteral("INSERT INTO %1 (%2, %3, %4, iSitId, dInsert, dStart, dEnd) "
                          "SELECT %6, CAST(:%3 AS INTEGER), %5, NewSit.iSitId, CURRENT_DATE, "
                          "NewSit.dStart, NewSit.dEnd FROM TSit_Situazioni NewSit WHERE "
                          "NewSit.iSitId = :iSitId AND NOT EXISTS (SELECT 1 FROM %1 Cur WHERE "
                          "Cur.iSitId = :iSitId AND Cur.%3 = :%3) AND EXISTS (")
               .arg(QLatin1String(table), QLatin1String(keyColumn), QLatin1String(rowKey),
                    QLatin1String(columns), QLatin1String(values), key) +
           inScope + QLatin1Char(')');
}

QString valueInScope(const QelDocFolderKind &kind)
{
    // With the component's scale, which its level must belong to, and the level stored, which
    // may stay though the scale no longer offers it.
    return (isComponent(kind)
                ? QStringLiteral("SELECT (SELECT ScaCmp.iCmpScaId FROM TClsMatCmp ScaCmp WHERE "
                                 "ScaCmp.iClsMatCmpId = :iClsMatCmpId), (SELECT Cur.%1 FROM %2 "
                                 "Cur WHERE Cur.iSitId = :iSitId AND Cur.iClsMatCmpId = "
                                 ":iClsMatCmpId) ")
                      .arg(QLatin1String(kind.columns), QLatin1String(kind.table))
                : QStringLiteral("SELECT 0, NULL ")) +
           QStringLiteral("FROM RDB$DATABASE WHERE EXISTS (") + scope(kind) + QLatin1Char(')');
}

QString debtUpdate()
{
    return QStringLiteral("UPDATE TDeb_Debiti SET iDesDedId = :iDesDedId, dDebVer = :dDebVer, "
                          "bDebNota = :bDebNota WHERE iSitId = :iSitId AND iMatId = :iMatId AND "
                          "(iDesDedId IS DISTINCT FROM :iDesDedId OR dDebVer IS DISTINCT FROM "
                          ":dDebVer OR bDebNota IS DISTINCT FROM :bDebNota) AND ") +
           QLatin1String(kDebtScope);
}

QString debtInScope()
{
    return QStringLiteral("SELECT 1 FROM RDB$DATABASE WHERE ") + QLatin1String(kDebtScope);
}

QString debtGone()
{
    return QStringLiteral(
        "SELECT 1 FROM TSit_Situazioni GoneSit "
        "  JOIN VAns_AnniScolast GoneAns ON GoneAns.dAnsVextoInizio = GoneSit.dStart "
        "  JOIN TAns_AnniScolast GoneWrk ON GoneWrk.iAnsId = :iAnsId "
        "WHERE GoneSit.iSitId = :iSitId AND GoneAns.iAnsValore <= GoneWrk.iAnsValore "
        "  AND NOT EXISTS (SELECT 1 FROM TDeb_Debiti GoneDeb WHERE GoneDeb.iSitId = :iSitId "
        "    AND GoneDeb.iMatId = :iMatId) "
        "  AND EXISTS (SELECT 1 FROM TSit_Situazioni CurSit "
        "    JOIN TClsPst CurPst ON CurPst.iClsPstId = CurSit.iClsPstId "
        "    JOIN TClsMatAna CurAna ON CurAna.iClsId = CurPst.iClsId "
        "    WHERE CurSit.iAnaId = GoneSit.iAnaId AND CurPst.dStart = GoneWrk.dAnsVextoInizio "
        "      AND CurAna.iAnaId = :iDocId AND CurAna.iMatId = :iMatId)");
}

} // namespace QelDocFolderSql
