#include "reportengine/reportstore.h"

#include "platform/transaction.h"

#include <QSqlRecord>

namespace {

const char *const kListSql =
    "SELECT Rpt.iYRptId, Rpt.sYRptDesc, Rpt.iYRptVersion, Rpt.sYRptCodAppl "
    "FROM TYRpt_RptTemplate Rpt WHERE Rpt.sYRptCodAppl = :sYRptCodAppl "
    "ORDER BY Rpt.sYRptDesc, Rpt.iYRptId";
const char *const kBytesSql = "SELECT Rpt.sYRptDesc, Rpt.bYRptReport FROM TYRpt_RptTemplate Rpt "
                              "WHERE Rpt.iYRptId = :iYRptId";
// One statement whether the row is there or not: another office may save the same id.
const char *const kSaveSql =
    "UPDATE OR INSERT INTO TYRpt_RptTemplate "
    "(iYRptId, sYRptDesc, iYRptVersion, bYRptReport, sYRptCodAppl) "
    "VALUES (:iYRptId, :sYRptDesc, :iYRptVersion, :bYRptReport, :sYRptCodAppl) "
    "MATCHING (iYRptId)";

QString text(const QVariant &v)
{
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

TVxFieldValues idValue(int id)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iYRptId"), id);
    return values;
}

} // namespace

QList<TfrStoredReport> TfrReportStore::List(const QString &codAppl) const
{
    return VxExplain(QStringLiteral("Impossibile leggere l'elenco dei report."), [&] {
        TVxTransactionScope scope(m_db);
        TVxFieldValues values;
        values.setValue(QStringLiteral("sYRptCodAppl"), codAppl);
        QSqlQuery &q = scope.transaction().Exec(QString::fromLatin1(kListSql), values);
        QList<TfrStoredReport> list;
        while (fetchNext(q)) {
            TfrStoredReport r;
            r.Id = q.value(0).toInt();
            r.Description = text(q.value(1)).trimmed();
            if (!q.value(2).isNull())
                r.Version = q.value(2).toInt();
            r.CodAppl = text(q.value(3)).trimmed();
            list << r;
        }
        return list;
    });
}

QByteArray TfrReportStore::Bytes(int id) const
{
    return VxExplain(QStringLiteral("Impossibile leggere il report %1.").arg(id), [&] {
        TVxTransactionScope scope(m_db);
        QSqlQuery &q = scope.transaction().Exec(QString::fromLatin1(kBytesSql), idValue(id));
        if (!fetchNext(q))
            throw EVxException(QStringLiteral("Il report %1 non è nell'archivio.").arg(id));
        if (q.value(1).isNull())
            throw EVxException(QStringLiteral("Il report %1 («%2») non ha un contenuto.")
                                   .arg(id)
                                   .arg(text(q.value(0)).trimmed()));
        return q.value(1).toByteArray();
    });
}

TfrTemplate TfrReportStore::Load(int id) const
{
    const QByteArray bytes = Bytes(id);
    return VxExplain(QStringLiteral("Il report %1 non si può caricare.").arg(id),
                     [&] { return frReadTemplate(bytes); });
}

void TfrReportStore::Save(const TfrStoredReport &report, const QByteArray &bytes) const
{
    VxExplain(QStringLiteral("Impossibile salvare il report %1.").arg(report.Id), [&] {
        TVxTransactionScope scope(m_db);
        TVxFieldValues values = idValue(report.Id);
        values.setValue(QStringLiteral("sYRptDesc"), report.Description);
        values.setValue(QStringLiteral("iYRptVersion"), report.Version
                                                            ? QVariant(*report.Version)
                                                            : QVariant(QMetaType(QMetaType::Int)));
        values.setValue(QStringLiteral("bYRptReport"), bytes);
        values.setValue(QStringLiteral("sYRptCodAppl"), report.CodAppl);
        scope.transaction().Exec(QString::fromLatin1(kSaveSql), values);
        scope.Commit();
    });
}
