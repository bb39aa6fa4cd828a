#include "exchange/qelsendbookkeeping.h"

#include "platform/engineerrors.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The row goes in only while the teacher has none in the year-session, checked by the database
// in the same statement.
const QString &assignSql()
{
    static const QString sql = VxInsertUnlessPresentSql(QStringLiteral("TAai_AnaAppInvio"),
                                                        {{"iAaiId", "INTEGER"},
                                                         {"iAaiModulo", "SMALLINT"},
                                                         {"iAnaCagId", "INTEGER"},
                                                         {"iModId", "INTEGER"},
                                                         {"iAnsSesDwgId", "INTEGER"}},
                                                        {"iAnaCagId", "iAnsSesDwgId"});
    return sql;
}
// The table's key holds one row per teacher and mode, not per teacher: two offices assigning
// him at once meet on his role row, which this update (changing nothing) locks, and the second
// waits for the first's save. A write, so that a wait behind another program is guarded as
// every write's is.
const char kLockTeacher[] = "UPDATE TAnaCag SET iAnaCagId = iAnaCagId WHERE iAnaCagId = :iAnaCagId";
const char kTeacherRows[] = "SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iAnaCagId = :iAnaCagId "
                            "AND iAnsSesDwgId = :iAnsSesDwgId";
const char kUnassignMode[] =
    "DELETE FROM TAai_AnaAppInvio WHERE iModId = :iModId AND iAnsSesDwgId = :iAnsSesDwgId";
const char kUnassignTeacher[] =
    "DELETE FROM TAai_AnaAppInvio WHERE iAnaCagId = :iAnaCagId AND iAnsSesDwgId = :iAnsSesDwgId";
const char kMarkSent[] =
    "UPDATE TAai_AnaAppInvio SET iAaiInviato = 1, dAaiInviato = CURRENT_TIMESTAMP, "
    "iAaiRicevuto = NULL, dAaiRicevuto = NULL, sAaiDirInviato = :sAaiDirInviato "
    "WHERE iAaiId = :iAaiId";
const char kMarkReceived[] = "UPDATE TAai_AnaAppInvio SET iAaiRicevuto = 1, "
                             "dAaiRicevuto = CURRENT_TIMESTAMP WHERE iAaiId = :iAaiId";
const char kSetMarks[] =
    "UPDATE TAai_AnaAppInvio SET iAaiInviato = :iAaiInviato, dAaiInviato = :dAaiInviato, "
    "iAaiRicevuto = :iAaiRicevuto, dAaiRicevuto = :dAaiRicevuto, "
    "sAaiDirInviato = :sAaiDirInviato WHERE iAaiId = :iAaiId";
const char kSetReceivedMarks[] = "UPDATE TAai_AnaAppInvio SET iAaiRicevuto = :iAaiRicevuto, "
                                 "dAaiRicevuto = :dAaiRicevuto WHERE iAaiId = :iAaiId";

// The bookkeeping rows of a year-session with their teacher and mode.
#define TAAI_TEACHERS_FROM                                                                         \
    "FROM TAai_AnaAppInvio TAai "                                                                  \
    "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaCagId = TAai.iAnaCagId AND TAnaCag.iCagId = 3) "   \
    "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaCag.iAnaId) "                          \
    "INNER JOIN TMod_ModoInvio TMod ON (TMod.iModId = TAai.iModId) "                               \
    "WHERE TAai.iAnsSesDwgId = :iAnsSesDwgId "
const char kTeachersFrom[] = TAAI_TEACHERS_FROM "AND TAai.iModId = :iModId ";
// The folder and medium modes: every mode but the web service's (5).
const char kFolderTeachersFrom[] = TAAI_TEACHERS_FROM "AND TAai.iModId <> 5 ";
#undef TAAI_TEACHERS_FROM

TVxFieldValues valuesOf(const QList<QPair<QString, QVariant>> &pairs)
{
    TVxFieldValues values;
    for (const auto &[name, value] : pairs)
        values.setValue(name, value);
    return values;
}

QString textOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(value.toByteArray());
    return value.toString();
}

} // namespace

bool SendBookkeeping::assign(int iAnaCagId, int iModId, int iAnsSesDwgId)
{
    TVxFieldValues values = valuesOf({{QStringLiteral("iAaiModulo"), 1},
                                      {QStringLiteral("iAnaCagId"), iAnaCagId},
                                      {QStringLiteral("iModId"), iModId},
                                      {QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId}});
    try {
        TVxTransactionScope scope(m_db);
        TVxTransaction &tr = scope.transaction();
        tr.Exec(QString::fromLatin1(kLockTeacher), values);
        values.setValue(QStringLiteral("iAaiId"),
                        VxNewKey(m_db, QStringLiteral("TAAI_ANAAPPINVIO")));
        const int inserted = tr.ExecChanged(assignSql(), values);
        scope.Commit();
        return inserted > 0;
    } catch (const EVxException &e) {
        // The role row changed by another office at this very moment: when it assigned him, its
        // row, committed after this transaction began, is seen by a new one.
        if (!isConcurrentChange(e))
            throw;
        int rows = 0;
        VxEachRow(m_db, QString::fromLatin1(kTeacherRows), values,
                  [&rows](const QSqlQuery &q, const QSqlRecord &) { rows = q.value(0).toInt(); });
        if (rows == 0)
            throw;
        return false;
    }
}

int SendBookkeeping::unassignMode(int iModId, int iAnsSesDwgId)
{
    return deleteRows(QString::fromLatin1(kUnassignMode), QStringLiteral("iModId"), iModId,
                      iAnsSesDwgId);
}

int SendBookkeeping::unassignTeacher(int iAnaCagId, int iAnsSesDwgId)
{
    return deleteRows(QString::fromLatin1(kUnassignTeacher), QStringLiteral("iAnaCagId"), iAnaCagId,
                      iAnsSesDwgId);
}

int SendBookkeeping::deleteRows(const QString &sql, const QString &keyName, int key,
                                int iAnsSesDwgId)
{
    TVxTransactionScope scope(m_db);
    const int deleted = scope.transaction().ExecRow(
        sql, valuesOf({{keyName, key}, {QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId}}));
    scope.Commit();
    return deleted;
}

void SendBookkeeping::updateRow(const QString &sql, int iAaiId,
                                const QList<QPair<QString, QVariant>> &values)
{
    TVxFieldValues bound = valuesOf(values);
    bound.setValue(QStringLiteral("iAaiId"), iAaiId);
    TVxTransactionScope scope(m_db);
    scope.transaction().ExecRow(sql, bound);
    scope.Commit();
}

void SendBookkeeping::markSentWeb(int iAaiId)
{
    updateRow(QString::fromLatin1(kMarkSent), iAaiId,
              {{QStringLiteral("sAaiDirInviato"), QVariant()}});
}

void SendBookkeeping::markSentFolder(int iAaiId, const QString &folder)
{
    updateRow(QString::fromLatin1(kMarkSent), iAaiId, {{QStringLiteral("sAaiDirInviato"), folder}});
}

void SendBookkeeping::markReceived(int iAaiId)
{
    updateRow(QString::fromLatin1(kMarkReceived), iAaiId, {});
}

TVxFieldValues SendBookkeeping::marksOf(int iAaiId) const
{
    TVxFieldValues marks;
    VxEachRow(m_db,
              QStringLiteral("SELECT TAai.iAaiInviato, TAai.dAaiInviato, TAai.sAaiDirInviato, "
                             "TAai.iAaiRicevuto, TAai.dAaiRicevuto FROM TAai_AnaAppInvio TAai "
                             "WHERE TAai.iAaiId = :iAaiId"),
              valuesOf({{"iAaiId", iAaiId}}), [&marks](const QSqlQuery &q, const QSqlRecord &r) {
                  for (int i = 0; i < r.count(); ++i)
                      marks.setValue(r.fieldName(i), q.value(i));
              });
    return marks;
}

void SendBookkeeping::setMarks(int iAaiId, const SendMarks &marks)
{
    updateRow(QString::fromLatin1(kSetMarks), iAaiId,
              {{QStringLiteral("iAaiInviato"), marks.iAaiInviato},
               {QStringLiteral("dAaiInviato"), marks.dAaiInviato},
               {QStringLiteral("iAaiRicevuto"), marks.iAaiRicevuto},
               {QStringLiteral("dAaiRicevuto"), marks.dAaiRicevuto},
               {QStringLiteral("sAaiDirInviato"), marks.sAaiDirInviato}});
}

void SendBookkeeping::setReceivedMarks(int iAaiId, const QVariant &iAaiRicevuto,
                                       const QVariant &dAaiRicevuto)
{
    updateRow(QString::fromLatin1(kSetReceivedMarks), iAaiId,
              {{QStringLiteral("iAaiRicevuto"), iAaiRicevuto},
               {QStringLiteral("dAaiRicevuto"), dAaiRicevuto}});
}

namespace {

QString teachersSql(const char *from)
{
    return QStringLiteral(
               "SELECT TAai.iAaiId, TAai.iModId, TMod.sModDesc, TAnaCag.iAnaCagId, TAnaCag.iAnaId, "
               "TAnaCag.sAnaCagCode, TAna.sAnaCognome || ' ' || TAna.sAnaNome AS sDocNome, "
               "TAna.sAnaCognomeNomeIdx, TAna.sAnaPwPert, TAai.iAaiInviato, TAai.dAaiInviato, "
               "TAai.sAaiDirInviato, TAai.iAaiRicevuto, TAai.dAaiRicevuto ") +
           QString::fromLatin1(from) + QStringLiteral("ORDER BY TAna.sAnaCognomeNomeIdx");
}

} // namespace

QString SendBookkeeping::teachersOfModeSql()
{
    return teachersSql(kTeachersFrom);
}

QString SendBookkeeping::folderTeachersSql()
{
    return teachersSql(kFolderTeachersFrom);
}

QList<SendModeTeacher> SendBookkeeping::teachersOfMode(int iModId, int iAnsSesDwgId) const
{
    QList<SendModeTeacher> teachers;
    VxEachRow(m_db, teachersOfModeSql(),
              valuesOf({{QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId},
                        {QStringLiteral("iModId"), iModId}}),
              [&](const QSqlQuery &q, const QSqlRecord &) {
                  SendModeTeacher t;
                  t.iAaiId = q.value(QStringLiteral("iAaiId")).toInt();
                  t.iModId = q.value(QStringLiteral("iModId")).toInt();
                  t.sModDesc = textOf(q.value(QStringLiteral("sModDesc")));
                  t.iAnaCagId = q.value(QStringLiteral("iAnaCagId")).toInt();
                  t.iAnaId = q.value(QStringLiteral("iAnaId")).toInt();
                  t.sAnaCagCode = textOf(q.value(QStringLiteral("sAnaCagCode")));
                  t.sDocNome = textOf(q.value(QStringLiteral("sDocNome")));
                  t.sAnaCognomeNomeIdx = textOf(q.value(QStringLiteral("sAnaCognomeNomeIdx")));
                  t.sAnaPwPert = textOf(q.value(QStringLiteral("sAnaPwPert")));
                  t.iAaiInviato = q.value(QStringLiteral("iAaiInviato")).toInt() == 1;
                  t.dAaiInviato = q.value(QStringLiteral("dAaiInviato")).toDateTime();
                  t.sAaiDirInviato = textOf(q.value(QStringLiteral("sAaiDirInviato")));
                  t.iAaiRicevuto = q.value(QStringLiteral("iAaiRicevuto")).toInt() == 1;
                  t.dAaiRicevuto = q.value(QStringLiteral("dAaiRicevuto")).toDateTime();
                  teachers << t;
              });
    return teachers;
}

int SendBookkeeping::teacherCount(int iModId, int iAnsSesDwgId) const
{
    int count = 0;
    VxEachRow(m_db,
              QStringLiteral("SELECT COUNT(*) AS iNrDocenti ") + QString::fromLatin1(kTeachersFrom),
              valuesOf({{QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId},
                        {QStringLiteral("iModId"), iModId}}),
              [&](const QSqlQuery &q, const QSqlRecord &) {
                  count = q.value(QStringLiteral("iNrDocenti")).toInt();
              });
    return count;
}
