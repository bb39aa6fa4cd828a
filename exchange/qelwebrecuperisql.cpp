#include "exchange/qelwebrecuperisql.h"

namespace QelWebRecuperiSql {

QString phases()
{
    return QStringLiteral("SELECT AnsFre.iFreId, Fre.sFreSDesc, Fre.sFreLDesc "
                          "FROM TAnsFreDwg AnsFre "
                          "  JOIN TFre_FasiRec Fre ON Fre.iFreId = AnsFre.iFreId "
                          "WHERE AnsFre.iDwgId IS NULL AND AnsFre.iAnsId = :iAnsId "
                          "ORDER BY AnsFre.iAnsFreDwgId");
}

QString recuperi()
{
    // The teacher is found through the class of the record's situation; the class sent is the
    // pupil's class of the year, the first by situation when he has two first situations.
    return QStringLiteral(
        "SELECT DISTINCT T.iDocId, T.iClsId, T.iSitId, T.iAnaId, T.iSitPosReg, T.sAnaCognome, "
        "T.sAnaNome, T.sAnsAnnoDesc, T.iRecId, T.iFreId, T.iMatId, T.sMatLDesc, T.iTreId, "
        "T.iPrvId, T.iEreId, T.dRecVer "
        "FROM (SELECT Cma.iAnaId AS iDocId, "
        "  (SELECT FIRST 1 CurPst.iClsId FROM TSit_Situazioni CurSit "
        "     JOIN TClsPst CurPst ON CurPst.iClsPstId = CurSit.iClsPstId "
        "     JOIN TAns_AnniScolast CurAns ON CurAns.dAnsVextoInizio = CurPst.dStart "
        "   WHERE CurSit.iAnaId = Sit.iAnaId AND CurSit.iSitOrdine = 1 "
        "     AND CurAns.iAnsId = :iAnsId ORDER BY CurSit.iSitId) AS iClsId, "
        "  Sit.iSitId, Sit.iAnaId, Sit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome, "
        "  Ans.sAnsAnnoDesc, Rec.iRecId, AnsFre.iFreId, Rec.iMatId, Mat.sMatLDesc, Rec.iTreId, "
        "  Rec.iPvrId AS iPrvId, Rec.iEreId, Rec.dRecVer "
        "FROM TRec_Recuperi Rec "
        "  JOIN TAnsFreDwg AnsFre ON AnsFre.iAnsFreDwgId = Rec.iAnsFreDwgId "
        "  JOIN TSit_Situazioni Sit ON Sit.iSitId = Rec.iSitId "
        "  JOIN TClsPst Pst ON Pst.iClsPstId = Sit.iClsPstId "
        "  JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId "
        "  JOIN TMat_Materie Mat ON Mat.iMatId = Rec.iMatId "
        "  JOIN TClsMatAna Cma ON Cma.iClsId = Pst.iClsId AND Cma.iMatId = Rec.iMatId "
        "  JOIN VAns_AnniScolast Ans ON Ans.iAnsId = AnsFre.iAnsId "
        "WHERE AnsFre.iFreId = :iFreId AND AnsFre.iAnsId = :iAnsId AND Cma.iAnaId = :iAnaId "
        "  AND Sit.iSitOrdine = 1 AND Sit.iSitPosReg > 0) T "
        "WHERE T.iClsId IS NOT NULL "
        "ORDER BY 1, 7, 4, 10");
}

QString tipRec()
{
    return QStringLiteral(
        "SELECT iTreId, sTreSDesc, sTreLDesc, iTrePeso FROM TTre_TipoRec ORDER BY iTreId");
}

QString prvRec()
{
    return QStringLiteral(
        "SELECT iPvrId, sPvrSDesc, sPvrLDesc FROM TPvr_ProvaRecupero ORDER BY iPvrId");
}

QString esiRec()
{
    return QStringLiteral("SELECT iEreId, sEreSDesc, sEreLDesc FROM TEre_EsitoRec ORDER BY iEreId");
}

QString clearZeroVerificationDates()
{
    return QStringLiteral("UPDATE TRec_Recuperi SET dRecVer = NULL WHERE dRecVer = :dZero");
}

} // namespace QelWebRecuperiSql
