#include "exports/qelextractsql.h"

#include "platform/clientdataset.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QSqlQuery>

QString qelExtractSql(const char *sql, const QString &version, bool bySite)
{
    QString text = QString::fromLatin1(sql);
    text.replace(QStringLiteral("%SITE%"),
                 bySite ? QStringLiteral(" AND Sed.sSedMecCod = :sSedMecCod") : QString());
    QString quoted = version;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    text.replace(QStringLiteral("%PRGVER%"), QLatin1Char('\'') + quoted + QLatin1Char('\''));
    return text;
}

QDate qelSchoolYearStart(TVxTransaction &tr, int iAnsId)
{
    QSqlQuery &q =
        tr.Exec(QStringLiteral("SELECT dAnsInizio FROM TAns_AnniScolast WHERE iAnsId = :iAnsId"),
                valuesOf({{"iAnsId", iAnsId}}));
    const QDate start = fetchNext(q) ? q.value(0).toDate() : QDate();
    q.finish();
    if (!start.isValid())
        throw EVxException(QStringLiteral("L'anno scolastico scelto non ha la data di inizio: "
                                          "impossibile dare il nome ai file da esportare."));
    return start;
}

QString qelYearTag(const QDate &start)
{
    const auto twoDigits = [](int year) {
        return QStringLiteral("%1").arg(year % 100, 2, 10, QLatin1Char('0'));
    };
    return twoDigits(start.year()) + twoDigits(start.year() + 1);
}

void qelWriteExtract(TVxTransaction &tr, const QString &sql, const TVxFieldValues &values,
                     const QString &path, const std::function<void(TClientDataSet &)> &complete)
{
    VxExplain(QStringLiteral("Impossibile creare il file %1.").arg(QDir::toNativeSeparators(path)),
              [&] {
                  TClientDataSet cds;
                  cds.FillFromQuery(tr.Exec(sql, values));
                  if (complete)
                      complete(cds);
                  cds.SaveToFile(path, dfBinary);
              });
}
