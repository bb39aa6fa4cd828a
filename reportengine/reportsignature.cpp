#include "reportengine/reportsignature.h"

#include "platform/connection.h"
#include "platform/globalvars.h"
#include "platform/transaction.h"
#include "reportengine/reportengine.h"

#include <QSqlQuery>

namespace {

// Two current signers of one role should not happen; the one who started last signs.
const char kCurrentSigner[] = "SELECT FIRST 1 Fir.sFirNome FROM TFir_Firme Fir "
                              "INNER JOIN TQuf_QuaFirme Quf ON (Quf.iQufId = Fir.iQufId) "
                              "INNER JOIN TQua_Qualifiche Qua ON (Qua.iQuaId = Quf.iQuaId) "
                              "WHERE Qua.sQuaCod = :sQuaCod AND Fir.iDwgId = :iDwgId "
                              "AND Fir.dEnd IS NULL AND Fir.dDelete IS NULL "
                              "ORDER BY Fir.dStart DESC NULLS LAST, Fir.iFirId DESC";

} // namespace

QString Firma(const QString &role, const QString &what)
{
    if (what != QLatin1String("NOME"))
        return QString();
    const QSqlDatabase db = CurReport ? CurReport->connection() : qqoVxGlobConn();
    QString name;
    VxEachRow(
        db, QString::fromLatin1(kCurrentSigner),
        valuesOf({{"sQuaCod", role}, {"iDwgId", AggregateiDwgId(TVxWorkingContext::institute())}}),
        [&name](const QSqlQuery &q, const QSqlRecord &) { name = q.value(0).toString(); });
    return name;
}
