#include "reports/qelselrptdata.h"

#include "platform/connection.h"
#include "platform/sqlclientdataset.h"
#include "reports/qelrptqueries.h"

namespace {

QString moduleSql(const char *query)
{
    for (const QelRptQueryText &text : qelRptQueryTexts()) {
        if (text.name == QLatin1String(query))
            return text.sql;
    }
    return {};
}

} // namespace

TVxEnumItems qelSelRptSessions(int iDwgId, int iAnsId)
{
    return LoadEnumItems(
        qqoVxGlobConn(),
        QStringLiteral("SELECT TASD.iAnsSesDwgId, TSes.sSesDesc FROM TAnsSesDwg TASD "
                       "INNER JOIN TSes_Sessione TSes ON (TSes.iSesId = TASD.iSesId) "
                       "WHERE TASD.iDwgId = :iDwgId AND TASD.iAnsId = :iAnsId "
                       "ORDER BY TASD.iAnsSesDwgOrdine"),
        valuesOf({{"iDwgId", iDwgId}, {"iAnsId", iAnsId}}));
}

TVxEnumItems qelSelRptClasses(int iAnsSesDwgId)
{
    TSQLClientDataSet classes;
    classes.setCommandText(qelSelRptClassSql());
    classes.Params().setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    classes.Open();
    TVxEnumItems items;
    for (classes.First(); !classes.Eof(); classes.Next()) {
        TVxEnumItem item;
        item.text = classes.FieldByName(QStringLiteral("sClsSDesc"))->Value().toString().trimmed();
        item.id = classes.FieldByName(QStringLiteral("iClsId"))->Value().toInt();
        items.append(item);
    }
    return items;
}

TVxEnumItems qelSelRptOutcomes()
{
    return LoadEnumItems(qqoVxGlobConn(),
                         QStringLiteral("SELECT v.iPosFinId, v.sStaFinDettLDesc FROM VPosFin v "
                                        "LEFT JOIN TPosFin Tpf ON (Tpf.iPosFinId = v.iPosFinId) "
                                        "WHERE (Tpf.lPosFinVisible = 1) ORDER BY v.iPosFinId"));
}

QString qelSelRptClassSql()
{
    return moduleSql("qquClsSes");
}

QString qelSelRptPupilSql(int state)
{
    const QString filter =
        state == qelStatoNonSospesi ? QStringLiteral("AND (TSit.iPosFinId_Sosp IS NULL)")
        : state == qelStatoSospesi  ? QStringLiteral("AND (TSit.iPosFinId_Sosp IS NOT NULL)")
                                    : QString();
    return moduleSql("qquAlunni").replace(QStringLiteral("/*FILTERRPTSTATO*/"), filter);
}
