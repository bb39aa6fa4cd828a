#include "gradeentry/qevqualifica.h"

#include "platform/connection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QSqlQuery>

namespace {

// The parameters are PZun_Giudizi's: person, career row, school type, score kind (1 final,
// 2 admission), flag, judgment, then the final score at 8 and the admission score at 10.
const char kEsportaAmmissione[] = "EXECUTE PROCEDURE PZun_Giudizi(:iAnaId, NULL, 4, 2, 0, NULL, "
                                  "NULL, NULL, NULL, :sPunteggio, 1)";
const char kEsportaFinale[] = "EXECUTE PROCEDURE PZun_Giudizi(:iAnaId, NULL, 4, 1, 0, NULL, NULL, "
                              ":sPunteggio, NULL, NULL, 1)";
const char kEsportaLicenza[] = "EXECUTE PROCEDURE PZun_Giudizi(:iAnaId, NULL, 3, NULL, 0, :iGmeId, "
                               "NULL, NULL, NULL, NULL, 1)";

// The lower-school judgment a licence score stands for: the one whose description is the
// upper-cased long text of the first level with the score as short text (any case).
const char kGiudizioLicenza[] =
    "SELECT FIRST 1 Gme.iGmeId FROM TGme_GiuMatEleMed Gme WHERE Gme.sGmeLDesc = "
    "(SELECT FIRST 1 UPPER(Liv.sLivLDesc) FROM TLiv_Livelli Liv "
    "WHERE UPPER(Liv.sLivSDesc) = UPPER(:sPunteggio))";

const char kImportaAmmissione[] = "SELECT TAnaGme.sAnaGmeVotoAmm sPunteggio FROM TAnaGme TAnaGme "
                                  "WHERE (TAnaGme.iScuTypId = 4) AND (TAnaGme.iAnaId = :iAnaId)";
const char kImportaFinale[] = "SELECT TAnaGme.sAnaGmeVoto sPunteggio FROM TAnaGme TAnaGme "
                              "WHERE (TAnaGme.iScuTypId = 4) AND (TAnaGme.iAnaId = :iAnaId)";

} // namespace

QList<TqevPunteggio> EsportaPunteggi(TqevCampoQualifica campo, const QList<TqevPunteggio> &punteggi)
{
    const QString sql = QString::fromLatin1(campo == cqAmmissione ? kEsportaAmmissione
                                            : campo == cqFinale   ? kEsportaFinale
                                                                  : kEsportaLicenza);
    QList<TqevPunteggio> scartati;
    VxExplain(QStringLiteral("Impossibile esportare i punteggi nella carriera degli alunni."), [&] {
        TVxTransaction tr(qqoVxGlobConn());
        if (!tr.StartTransaction())
            throw EVxException(tr.lastError());
        for (const TqevPunteggio &p : punteggi) {
            TVxFieldValues values;
            values.setValue(QStringLiteral("iAnaId"), p.iAnaId);
            const QString punteggio = p.sPunteggio.trimmed();
            if (campo != cqLicenza) {
                values.setValue(QStringLiteral("sPunteggio"), punteggio);
            } else {
                QVariant giudizio{QMetaType::fromType<int>()};
                if (!punteggio.isEmpty()) {
                    TVxFieldValues cerca;
                    cerca.setValue(QStringLiteral("sPunteggio"), punteggio);
                    QSqlQuery &q = tr.Exec(QString::fromLatin1(kGiudizioLicenza), cerca);
                    if (fetchNext(q))
                        giudizio = q.value(0);
                    q.finish();
                    if (giudizio.isNull()) {
                        scartati << p;
                        continue;
                    }
                }
                values.setValue(QStringLiteral("iGmeId"), giudizio);
            }
            tr.Exec(sql, values);
        }
        tr.Commit();
    });
    return scartati;
}

QHash<int, QString> ImportaPunteggi(TqevCampoQualifica campo, const QList<int> &iAnaIds)
{
    QHash<int, QString> letti;
    if (campo == cqLicenza)
        return letti;
    const QString sql =
        QString::fromLatin1(campo == cqAmmissione ? kImportaAmmissione : kImportaFinale);
    VxExplain(QStringLiteral("Impossibile leggere i punteggi dalla carriera degli alunni."), [&] {
        TVxTransactionScope scope(qqoVxGlobConn());
        for (int iAnaId : iAnaIds) {
            TVxFieldValues values;
            values.setValue(QStringLiteral("iAnaId"), iAnaId);
            QSqlQuery &q = scope.transaction().Exec(sql, values);
            letti.insert(iAnaId, fetchNext(q) ? q.value(0).toString().trimmed() : QString());
            q.finish();
        }
        scope.Commit();
    });
    return letti;
}
