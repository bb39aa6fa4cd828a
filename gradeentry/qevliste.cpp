#include "gradeentry/qevliste.h"

#include "platform/connection.h"
#include "platform/transaction.h"

#include <QSet>

namespace {

const char kDocentiClasse[] =
    "SELECT DISTINCT TClsMatAna.iAnaId, TAna.sAnaCognome || ' ' || TAna.sAnaNome sDocNome, "
    "TAna.sAnaCognomeNomeIdx "
    "FROM TClsMatAna TClsMatAna "
    "LEFT OUTER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TClsMatAna.iAnaId) "
    "WHERE TClsMatAna.iClsId = :iClsId "
    "ORDER BY TAna.sAnaCognomeNomeIdx";

const char kDocentiIstituto[] =
    "SELECT DISTINCT TAna.iAnaId, TAna.sAnaCognome || ' ' || TAna.sAnaNome sDocNome, "
    "TAna.sAnaCognomeNomeIdx "
    "FROM TAnaPer_Personale TAnaPer "
    "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaCagId = TAnaPer.iAnaCagId) "
    "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaCag.iAnaId) "
    "WHERE TAnaPer.iDwgId = :iDwgId AND TAnaPer.iStabPerId = 1 AND TAnaPer.iDctId = 1 "
    "ORDER BY TAna.sAnaCognomeNomeIdx";

const char kTipiDebito[] = "SELECT TDtpDtd.iDtpDtdId, TDtd.sDtdLDesc, TDtp.sDtpLDescVexto "
                           "FROM TDtpDtd TDtpDtd "
                           "LEFT OUTER JOIN TDtd_DebTpDett TDtd ON (TDtd.iDtdId = TDtpDtd.iDtdId) "
                           "LEFT OUTER JOIN TDtp_DebTipo TDtp ON (TDtp.iDtpId = TDtpDtd.iDtpId) "
                           "ORDER BY TDtpDtd.iDtpDtdId";

const char kEsitiDebito[] = "SELECT TDesDed.iDesDedId, TDed.sDedLDesc, TDes.sDesLDescVexto "
                            "FROM TDesDed TDesDed "
                            "LEFT OUTER JOIN TDed_DebEsDett TDed ON (TDed.iDedId = TDesDed.iDedId) "
                            "LEFT OUTER JOIN TDes_DebEsito TDes ON (TDes.iDesId = TDesDed.iDesId) "
                            "ORDER BY TDesDed.iDesDedId";

const char kEncomi[] = "SELECT TEnc.iEncId, TEnc.sEncLDesc, TEnc.sEncSDesc FROM TEnc_Encomio TEnc "
                       "ORDER BY TEnc.iEncId";

const char kEsitiFinali[] =
    "SELECT PosFin.iPosFinId, StaFinDett.sStaFinDettLDesc, StaFinDett.sStaFinDettSDesc, "
    "PosFin.iStaFinId "
    "FROM TPosFin PosFin "
    "INNER JOIN TStaFinDett StaFinDett ON (StaFinDett.iStaFinDettId = PosFin.iStaFinDettId AND "
    "StaFinDett.dDelete IS NULL) "
    "ORDER BY PosFin.iPosFinId";

TVxEnumItems leggi(const char *sql, const TVxFieldValues &values = {}, bool detail = true)
{
    TVxTransactionScope scope(qqoVxGlobConn());
    const QString text = QString::fromLatin1(sql);
    TVxEnumItems items = detail ? LoadEnumItemsWithDetail(qqoVxGlobConn(), text, values)
                                : LoadEnumItems(qqoVxGlobConn(), text, values);
    scope.Commit();
    return items;
}

// A teacher who teaches several subjects, or holds several posts, is listed once.
TVxEnumItems docenti(const char *sql, const char *param, int value)
{
    TVxFieldValues values;
    values.setValue(QString::fromLatin1(param), value);
    TVxEnumItems items;
    QSet<QPair<int, QString>> visti;
    for (const TVxEnumItem &item : leggi(sql, values, false)) {
        if (!visti.contains({item.id, item.text})) {
            visti.insert({item.id, item.text});
            items.append(item);
        }
    }
    return items;
}

} // namespace

namespace QevListe {

TVxEnumItems DocentiClasse(int iClsId)
{
    return docenti(kDocentiClasse, "iClsId", iClsId);
}

TVxEnumItems DocentiIstituto(int iDwgId)
{
    return docenti(kDocentiIstituto, "iDwgId", iDwgId);
}

TVxEnumItems TipiDebito()
{
    return leggi(kTipiDebito);
}

TVxEnumItems EsitiDebito()
{
    return leggi(kEsitiDebito);
}

TVxEnumItems Encomi()
{
    return leggi(kEncomi);
}

TVxEnumItems EsitiFinali()
{
    return leggi(kEsitiFinali);
}

} // namespace QevListe
