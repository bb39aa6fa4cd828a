#include "makeup/qelcontrollarecuperi.h"

#include "platform/savecheck.h"

#include "makeup/qelfctrrecuperi.h"
#include "platform/connection.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/savecheck.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "shell/qelstartup.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>

TdmQelControllaRecuperi *dmQelControllaRecuperi = nullptr;

namespace {

// The duplicate groups of a school year. The joins keep only records whose situation,
// class and subject still exist, as the lists that show them do.
const char kVerifyRec[] = "SELECT Rec.iAnsFreDwgId, Rec.iSitId, Rec.iMatId, COUNT(*) "
                          "FROM TRec_Recuperi Rec "
                          "INNER JOIN TAnsFreDwg Afd ON (Afd.iAnsFreDwgId = Rec.iAnsFreDwgId) "
                          "INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = Rec.iSitId) "
                          "INNER JOIN TClsPst Cp ON (Cp.iClsPstId = Sit.iClsPstId) "
                          "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Rec.iMatId) "
                          "WHERE Afd.iAnsId = :iAnsId "
                          "GROUP BY Rec.iAnsFreDwgId, Rec.iSitId, Rec.iMatId "
                          "HAVING COUNT(*) > 1";

// The rows of one group; the type is left-joined so a record without type is listed too. Every
// column of the record follows the listed ones: a deletion compares them all, whatever another
// office or a collection wrote into any of them.
const int kPrimaColonna = 8;
const char kDettRecDoppi[] =
    "SELECT Ana.sAnaCognome || ' ' || Ana.sAnaNome AS Alunno, Ana.iAnaId, Mat.sMatLDesc, "
    "Mat.iMatId, Rec.iRecId, Tre.sTreLDesc, Fre.sFreLDesc, Cls.sClsDesc, Rec.* "
    "FROM TRec_Recuperi Rec "
    "INNER JOIN TAnsFreDwg Afd ON (Afd.iAnsFreDwgId = Rec.iAnsFreDwgId) "
    "INNER JOIN TFre_FasiRec Fre ON (Fre.iFreId = Afd.iFreId) "
    "INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = Rec.iSitId) "
    "INNER JOIN TAna_Anagrafiche Ana ON (Ana.iAnaId = Sit.iAnaId) "
    "INNER JOIN TClsPst Cp ON (Cp.iClsPstId = Sit.iClsPstId) "
    "INNER JOIN VCls_Classi Cls ON (Cls.iClsId = Cp.iClsId) "
    "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Rec.iMatId) "
    "LEFT JOIN TTre_TipoRec Tre ON (Tre.iTreId = Rec.iTreId) "
    "WHERE Rec.iAnsFreDwgId = :AnsFreDwgId AND Rec.iMatId = :iMatId "
    "AND Rec.iSitId = :iSitId AND Afd.iAnsId = :iAnsId "
    "ORDER BY Rec.iRecId";

const char kDeleteRecuperi[] = "DELETE FROM TRec_Recuperi WHERE iRecId = :iRecId";
const char kRecupero[] = "SELECT Rec.* FROM TRec_Recuperi Rec WHERE Rec.iRecId = :iRecId";

const QString kReadFailure = QStringLiteral("Errore nella lettura dei recuperi.");

// The duplicate groups of the year.
QList<QelDuplicateGroup> duplicateGroups(const QSqlDatabase &db, int year)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnsId"), year);
    QList<QelDuplicateGroup> groups;
    VxEachRow(db, QString::fromLatin1(kVerifyRec), values,
              [&groups](const QSqlQuery &q, const QSqlRecord &) {
                  groups.append({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(),
                                 q.value(3).toInt()});
              });
    return groups;
}

QString trimmedText(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString().trimmed();
}

} // namespace

TdmQelControllaRecuperi::TdmQelControllaRecuperi(QObject *owner, const QString &connectionName)
    : QObject(owner), m_connectionName(connectionName)
{
    setObjectName(QStringLiteral("dmQelControllaRecuperi"));
}

TdmQelControllaRecuperi::~TdmQelControllaRecuperi()
{
    if (dmQelControllaRecuperi == this)
        dmQelControllaRecuperi = nullptr;
}

int TdmQelControllaRecuperi::ShowCorrectionDialog(QWidget *owner)
{
    TqelFCtrRecuperi dialog(owner, this);
    return VxExecModal(&dialog);
}

QSqlDatabase TdmQelControllaRecuperi::connection() const
{
    return m_connectionName.isEmpty() ? qqoVxGlobConn()
                                      : QSqlDatabase::database(m_connectionName, false);
}

int TdmQelControllaRecuperi::workingYear()
{
    return TVxWorkingContext::schoolYear();
}

bool TdmQelControllaRecuperi::HasRecuperiDoppi()
{
    const int year = workingYear();
    if (year <= 0)
        return false;
    return VxExplain(kReadFailure, [&] { return !duplicateGroups(connection(), year).isEmpty(); });
}

QList<QelDuplicateGroup> TdmQelControllaRecuperi::DuplicateGroups()
{
    const int year = workingYear();
    if (year <= 0)
        return {};
    return VxExplain(kReadFailure, [&] { return duplicateGroups(connection(), year); });
}

bool TdmQelControllaRecuperi::CaricaRecuperiDoppi()
{
    m_errori.clear();
    const int year = workingYear();
    if (year <= 0)
        return false;
    QSqlDatabase db = connection();
    m_errori = VxExplain(kReadFailure, [&] {
        // One transaction: the groups and their rows are read alike, the rows' statement
        // prepared once.
        TVxTransactionScope scope(db);
        QList<RecuperoDoppio> rows;
        const QString sql = QString::fromLatin1(kDettRecDoppi);
        for (const QelDuplicateGroup &g : duplicateGroups(db, year)) {
            TVxFieldValues values;
            values.setValue(QStringLiteral("AnsFreDwgId"), g.iAnsFreDwgId);
            values.setValue(QStringLiteral("iMatId"), g.iMatId);
            values.setValue(QStringLiteral("iSitId"), g.iSitId);
            values.setValue(QStringLiteral("iAnsId"), year);
            VxEachRow(db, sql, values, [&rows](const QSqlQuery &detail, const QSqlRecord &record) {
                RecuperoDoppio r;
                r.Alunno = trimmedText(detail.value(0));
                r.iAnaId = detail.value(1).toInt();
                r.Materia = trimmedText(detail.value(2));
                r.iMatId = detail.value(3).toInt();
                r.iRecId = detail.value(4).toInt();
                r.TipoRec = trimmedText(detail.value(5));
                r.FaseRec = trimmedText(detail.value(6));
                r.Classe = trimmedText(detail.value(7));
                for (int i = kPrimaColonna; i < record.count(); ++i)
                    r.colonne.setValue(record.fieldName(i), detail.value(i));
                rows.append(r);
            });
        }
        scope.Commit();
        return rows;
    });
    return !m_errori.isEmpty();
}

bool TdmQelControllaRecuperi::CancellaRecuperi(const QStringList &ids)
{
    // All or nothing: after a failure the office runs the correction again on the same list,
    // which a half-done deletion would have changed under it.
    m_lastError.clear();
    const TVxDiNuovo diNuovo{{},
                             {},
                             {},
                             {},
                             QStringLiteral("Rilanciando la procedura, la lista mostra i recuperi "
                                            "come sono ora.")};
    try {
        TVxTransactionScope scope(connection());
        QStringList cambiati;
        for (const QString &text : ids) {
            bool ok = false;
            const int id = text.trimmed().toInt(&ok);
            if (!ok || id <= 0)
                continue;
            TVxFieldValues values;
            values.setValue(QStringLiteral("iRecId"), id);
            const auto letto =
                std::find_if(m_errori.cbegin(), m_errori.cend(),
                             [id](const RecuperoDoppio &r) { return r.iRecId == id; });
            if (letto != m_errori.cend()) {
                // A record gone has nothing left to take away; one changed is not deleted unsaid.
                QSqlQuery &q = scope.transaction().Exec(QString::fromLatin1(kRecupero), values);
                if (fetchNext(q)) {
                    TVxRiga ora{id, {}};
                    const QSqlRecord colonne = q.record();
                    for (int i = 0; i < colonne.count(); ++i)
                        ora.valori.insert(colonne.fieldName(i), q.value(i));
                    const TVxRiga riga = VxRigaLetta(id, letto->colonne);
                    if (!VxRigaComeLetta(riga, ora))
                        cambiati << QStringLiteral("%1, %2: %3")
                                        .arg(letto->Alunno, letto->Materia,
                                             VxMotivoCambiata(riga, ora, true, diNuovo));
                }
                q.finish();
            }
            scope.transaction().Exec(QString::fromLatin1(kDeleteRecuperi), values);
        }
        if (!cambiati.isEmpty()) {
            m_lastError = cambiati.join(QStringLiteral("\r\r"));
            return false;
        }
        scope.Commit();
    } catch (const EVxException &e) {
        m_lastError = e.message();
        return false;
    }
    return true;
}

void installMakeupParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QelStartupHooks &hooks = qelStartupHooks();
    hooks.registerForms.append(registerMakeupForms);
    hooks.createDuplicateCheck = [](QObject *owner) -> QObject * {
        dmQelControllaRecuperi = new TdmQelControllaRecuperi(owner);
        return dmQelControllaRecuperi;
    };
}
