#include "makeup/qelsessioncopy.h"

#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QSet>
#include <QSqlRecord>

#include <iterator>
#include <map>
#include <tuple>

namespace {

// Where a copied row finds its place in the target session.
enum class Place {
    Session,               // the row carries the session itself
    ClassSubject,          // iClsSesMatId: the class's subject in the target session
    ClassSubjectComponent, // iClsMatCmpId: the subject's vote component there
};

struct StepSql
{
    const char *table; // the name given to PYSetGetId
    const char *key;   // the insert's key parameter
    const char *source;
    const char *remove;
    Place place;
    const char *insert;
    bool allOrNothing; // a row without place makes the step change nothing
};

// Every statement takes the session it reads or writes as :iAnsSesDwgId.

// Suspended pupils: their final position has the state of a suspended judgment.
#define SUSPENDED                                                                                  \
    " INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = X.iSitId)"                                   \
    " INNER JOIN TPosFin Pf ON (Pf.iPosFinId = Sit.iPosFinId) "
#define SUSPENDED_ONLY " AND Pf.iStaFinId = 11 "

// Rows kept per vote component of a class subject, with their class, subject and component.
#define BY_COMPONENT(columns, table)                                                               \
    "SELECT " columns ", Rma.iMatId, Cs.iClsId, Cmc.iCmpScaId FROM " table " X"                    \
    " INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = X.iClsMatCmpId)"                            \
    " INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId)"                          \
    " INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId)"                                     \
    " INNER JOIN TMatRma Rma ON (Rma.iMatRmaId = Csm.iMatRmaId)"
// Rows kept per class subject.
#define BY_SUBJECT(columns, table)                                                                 \
    "SELECT " columns ", Rma.iMatId, Cs.iClsId FROM " table " X"                                   \
    " INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = X.iClsSesMatId)"                            \
    " INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId)"                                     \
    " INNER JOIN TMatRma Rma ON (Rma.iMatRmaId = Csm.iMatRmaId)"

#define VOTE_COLUMNS "X.iVotId, X.iSitId, X.iScaLivId, X.dInsert, X.dStart, X.dEnd"
#define JUDGMENT_COLUMNS "X.iGdzId, X.iSitId, X.bGdzGiudizio, X.dInsert, X.dStart, X.dEnd"

// The admission votes of a session that reach the minimum.
#define ADMISSION                                                                                  \
    " INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Rma.iMatId)"                                    \
    " INNER JOIN TScaLiv Sl ON (Sl.iScaLivId = X.iScaLivId)"                                       \
    " WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId AND Mat.sMatCodVexto = 'AMMISSIONE'"                   \
    " AND Sl.iScaLivValore >= :VOTO_MIN "

#define DELETE_BY_COMPONENT(table)                                                                 \
    "DELETE FROM " table " WHERE iClsMatCmpId IN (SELECT Cmc.iClsMatCmpId FROM TClsMatCmp Cmc"     \
    " INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId)"                          \
    " INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId)"                                     \
    " WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId)"
#define DELETE_BY_SUBJECT(table)                                                                   \
    "DELETE FROM " table " WHERE iClsSesMatId IN (SELECT Csm.iClsSesMatId FROM TClsSesMat Csm"     \
    " INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId)"                                     \
    " WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId)"
#define DELETE_JUDGMENTS "DELETE FROM TGdz_Giudizi WHERE iAnsSesDwgId = :iAnsSesDwgId"

#define INSERT_VOTE                                                                                \
    "INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId, dInsert, dStart, dEnd)"       \
    " VALUES (:iVotId, :iClsMatCmpId, :iSitId, :iScaLivId, :dInsert, :dStart, :dEnd)"
#define INSERT_JUDGMENT                                                                            \
    "INSERT INTO TGdz_Giudizi (iGdzId, iAnsSesDwgId, iSitId, bGdzGiudizio, dInsert, dStart, dEnd)" \
    " VALUES (:iGdzId, :iAnsSesDwgId, :iSitId, :bGdzGiudizio, :dInsert, :dStart, :dEnd)"

// In source order, so that "the first row of a class" is the same at every run.
const StepSql kSteps[] = {
    {"TVOT_VOTI", "iVotId",
     BY_COMPONENT(VOTE_COLUMNS, "TVot_Voti") SUSPENDED
     "WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId" SUSPENDED_ONLY "ORDER BY X.iVotId",
     DELETE_BY_COMPONENT("TVot_Voti"), Place::ClassSubjectComponent, INSERT_VOTE, false},
    {"TVTP_PROPOSTI", "iVtpId",
     BY_COMPONENT("X.iVtpId, X.iSitId, X.iPrpScaLivId, X.dInsert, X.dStart, X.dEnd",
                  "TVtp_Proposti") SUSPENDED "WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId" SUSPENDED_ONLY
                                             "ORDER BY X.iVtpId",
     DELETE_BY_COMPONENT("TVtp_Proposti"), Place::ClassSubjectComponent,
     "INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, iPrpScaLivId, dInsert, dStart, "
     "dEnd) VALUES (:iVtpId, :iClsMatCmpId, :iSitId, :iPrpScaLivId, :dInsert, :dStart, :dEnd)",
     false},
    {"TGDZ_GIUDIZI", "iGdzId",
     "SELECT " JUDGMENT_COLUMNS " FROM TGdz_Giudizi X" SUSPENDED
     "WHERE X.iAnsSesDwgId = :iAnsSesDwgId" SUSPENDED_ONLY "ORDER BY X.iGdzId",
     DELETE_JUDGMENTS, Place::Session, INSERT_JUDGMENT, false},
    {"TNOT_NOTE", "iNotId",
     BY_SUBJECT("X.iNotId, X.iSitId, X.bNotNota, X.dNotData, X.iAnaId, X.dInsert, X.dStart, "
                "X.dEnd",
                "TNot_Note") SUSPENDED "WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId" SUSPENDED_ONLY
                                       "ORDER BY X.iNotId",
     DELETE_BY_SUBJECT("TNot_Note"), Place::ClassSubject,
     "INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, bNotNota, dNotData, iAnaId, dInsert, "
     "dStart, dEnd) VALUES (:iNotId, :iClsSesMatId, :iSitId, :bNotNota, :dNotData, :iAnaId, "
     ":dInsert, :dStart, :dEnd)",
     false},
    {"TASS_ASSENZE", "iAssId",
     BY_SUBJECT("X.iAssId, X.iSitId, X.iAssOre, X.dInsert, X.dStart, X.dEnd", "TAss_Assenze")
         SUSPENDED "WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId" SUSPENDED_ONLY "ORDER BY X.iAssId",
     DELETE_BY_SUBJECT("TAss_Assenze"), Place::ClassSubject,
     "INSERT INTO TAss_Assenze (iAssId, iClsSesMatId, iSitId, iAssOre, dInsert, dStart, dEnd) "
     "VALUES (:iAssId, :iClsSesMatId, :iSitId, :iAssOre, :dInsert, :dStart, :dEnd)",
     false},
    // The exam session loses every vote, of every subject: only admission votes come back.
    {"TVOT_VOTI", "iVotId", BY_COMPONENT(VOTE_COLUMNS, "TVot_Voti") ADMISSION "ORDER BY X.iVotId",
     DELETE_BY_COMPONENT("TVot_Voti"), Place::ClassSubjectComponent, INSERT_VOTE, true},
    // A pupil's judgment once, however many admission votes reach the minimum.
    {"TGDZ_GIUDIZI", "iGdzId",
     "SELECT " JUDGMENT_COLUMNS " FROM TGdz_Giudizi X WHERE X.iAnsSesDwgId = :iAnsSesDwgId "
     "AND EXISTS (SELECT 1 FROM TVot_Voti V"
     " INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = V.iClsMatCmpId)"
     " INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId)"
     " INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId)"
     " INNER JOIN TMatRma Rma ON (Rma.iMatRmaId = Csm.iMatRmaId)"
     " INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Rma.iMatId)"
     " INNER JOIN TScaLiv Sl ON (Sl.iScaLivId = V.iScaLivId)"
     " WHERE V.iSitId = X.iSitId AND Cs.iAnsSesDwgId = X.iAnsSesDwgId"
     " AND Mat.sMatCodVexto = 'AMMISSIONE' AND Sl.iScaLivValore >= :VOTO_MIN) "
     "ORDER BY X.iGdzId",
     DELETE_JUDGMENTS, Place::Session, INSERT_JUDGMENT, true},
};

#undef SUSPENDED
#undef SUSPENDED_ONLY
#undef BY_COMPONENT
#undef BY_SUBJECT
#undef VOTE_COLUMNS
#undef JUDGMENT_COLUMNS
#undef ADMISSION
#undef DELETE_BY_COMPONENT
#undef DELETE_BY_SUBJECT
#undef DELETE_JUDGMENTS
#undef INSERT_VOTE
#undef INSERT_JUDGMENT

static_assert(std::size(kSteps) == std::size_t(QelCopyKind::QualificationJudgments) + 1,
              "one step per kind, in the kinds' order");

// The target's first vote component (not a taxonomy) of the class, subject and component.
const char kPlaceOfComponent[] =
    "SELECT FIRST 1 Cmc.iClsMatCmpId FROM TClsMatCmp Cmc"
    " INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId)"
    " INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId)"
    " INNER JOIN TMatRma Rma ON (Rma.iMatRmaId = Csm.iMatRmaId)"
    " INNER JOIN TCmpSca Cps ON (Cps.iCmpScaId = Cmc.iCmpScaId)"
    " WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId AND Cs.iClsId = :iClsId AND Rma.iMatId = :iMatId"
    " AND Cmc.iCmpScaId = :iCmpScaId AND Cps.iCmpScaTass = 0 ORDER BY Cmc.iClsMatCmpId";
// The target's first subject of the class.
const char kPlaceOfSubject[] =
    "SELECT FIRST 1 Csm.iClsSesMatId FROM TClsSesMat Csm"
    " INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId)"
    " INNER JOIN TMatRma Rma ON (Rma.iMatRmaId = Csm.iMatRmaId)"
    " WHERE Cs.iAnsSesDwgId = :iAnsSesDwgId AND Cs.iClsId = :iClsId AND Rma.iMatId = :iMatId"
    " ORDER BY Csm.iClsSesMatId";

const char kClassDesc[] = "SELECT Cls.sClsDesc FROM VCls_Classi Cls WHERE Cls.iClsId = :iClsId";
const char kSubjectDesc[] = "SELECT Mat.sMatSDesc FROM TMat_Materie Mat WHERE Mat.iMatId = :iMatId";

const char kSessionsOfKind[] =
    "SELECT Asd.iAnsSesDwgId, Ses.sSesDesc FROM TAnsSesDwg Asd"
    " INNER JOIN TSes_Sessione Ses ON (Ses.iSesId = Asd.iSesId)"
    " WHERE Asd.iAnsId = :iAnsId AND Asd.iDwgId = :iDwgId AND Asd.iSfiId = :iSfiId"
    " ORDER BY Asd.iAnsSesDwgOrdine, Asd.iAnsSesDwgId";

const QString kSession = QStringLiteral("iAnsSesDwgId");

// The first column of the statement's one row; an invalid value when there is none.
QVariant firstValue(TVxTransaction &tr, const char *sql, const TVxFieldValues &values)
{
    QSqlQuery &query = tr.Exec(QString::fromLatin1(sql), values);
    const QVariant value = fetchNext(query) ? query.value(0) : QVariant();
    query.finish();
    return value;
}

QString textOf(TVxTransaction &tr, const char *sql, const QString &name, int id)
{
    TVxFieldValues values;
    values.setValue(name, id);
    return firstValue(tr, sql, values).toString().trimmed();
}

QList<TVxFieldValues> sourceRows(const QSqlDatabase &db, const StepSql &step, int iSourceId,
                                 int minimumVote)
{
    TVxFieldValues values;
    values.setValue(kSession, iSourceId);
    values.setValue(QStringLiteral("VOTO_MIN"), minimumVote);
    QList<TVxFieldValues> rows;
    VxEachRow(db, QString::fromLatin1(step.source), values,
              [&rows](const QSqlQuery &query, const QSqlRecord &record) {
                  TVxFieldValues row;
                  for (int i = 0; i < record.count(); ++i)
                      row.setValue(record.fieldName(i), query.value(i));
                  rows.append(row);
              });
    return rows;
}

// The places of the rows in the target session, 0 for none; the rows of a class and subject
// (and component) share one look-up.
QList<int> placesOf(TVxTransaction &tr, const StepSql &step, const QList<TVxFieldValues> &rows,
                    int iTargetId)
{
    QList<int> places;
    if (step.place == Place::Session) {
        places.fill(iTargetId, rows.size());
        return places;
    }
    const bool component = step.place == Place::ClassSubjectComponent;
    const QStringList keys =
        component ? QStringList{"iClsId", "iMatId", "iCmpScaId"} : QStringList{"iClsId", "iMatId"};
    std::map<std::tuple<int, int, int>, int> found;
    for (const TVxFieldValues &row : rows) {
        const std::tuple<int, int, int> where{row.value(keys.at(0)).toInt(),
                                              row.value(keys.at(1)).toInt(),
                                              component ? row.value(keys.at(2)).toInt() : 0};
        auto it = found.find(where);
        if (it == found.end()) {
            TVxFieldValues values;
            values.setValue(kSession, iTargetId);
            for (const QString &key : keys)
                values.setValue(key, row.value(key));
            const QVariant place =
                firstValue(tr, component ? kPlaceOfComponent : kPlaceOfSubject, values);
            it = found.emplace(where, place.isNull() ? 0 : place.toInt()).first;
        }
        places.append(it->second);
    }
    return places;
}

QList<QelRowWithoutPlace> firstWithoutPlacePerClass(TVxTransaction &tr,
                                                    const QList<TVxFieldValues> &rows,
                                                    const QList<int> &places)
{
    QList<QelRowWithoutPlace> missing;
    QSet<int> classes;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (places.at(i) != 0)
            continue;
        QelRowWithoutPlace row;
        row.iClsId = rows.at(i).value(QStringLiteral("iClsId")).toInt();
        if (classes.contains(row.iClsId))
            continue;
        classes.insert(row.iClsId);
        row.iMatId = rows.at(i).value(QStringLiteral("iMatId")).toInt();
        row.sClsDesc = textOf(tr, kClassDesc, QStringLiteral("iClsId"), row.iClsId);
        row.sMatSDesc = textOf(tr, kSubjectDesc, QStringLiteral("iMatId"), row.iMatId);
        missing.append(row);
    }
    return missing;
}

} // namespace

QelCopyResult copySessionRows(const QSqlDatabase &db, QelCopyKind kind, int iSourceId,
                              int iTargetId, int minimumVote, const QelCopyProgress &progress)
{
    const StepSql &step = kSteps[int(kind)];
    TVxTransaction tr(db);
    if (!tr.StartTransaction())
        throw EVxException(tr.lastError());

    QelCopyResult result;
    const QList<TVxFieldValues> rows = sourceRows(db, step, iSourceId, minimumVote);
    result.sourceRows = int(rows.size());
    if (rows.isEmpty())
        return result;
    const QList<int> places = placesOf(tr, step, rows, iTargetId);
    result.withoutPlace = firstWithoutPlacePerClass(tr, rows, places);
    if (step.allOrNothing && !result.withoutPlace.isEmpty())
        return result;

    const int total = int(places.size() - places.count(0));
    if (progress)
        progress(0, total);
    TVxFieldValues target;
    target.setValue(kSession, iTargetId);
    result.deleted = tr.Exec(QString::fromLatin1(step.remove), target).numRowsAffected();

    const QString insert = QString::fromLatin1(step.insert);
    const QString placeName = step.place == Place::ClassSubjectComponent
                                  ? QStringLiteral("iClsMatCmpId")
                              : step.place == Place::ClassSubject ? QStringLiteral("iClsSesMatId")
                                                                  : kSession;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (places.at(i) == 0)
            continue;
        TVxFieldValues values = rows.at(i);
        values.setValue(QString::fromLatin1(step.key),
                        VxNewKey(db, QString::fromLatin1(step.table)));
        values.setValue(placeName, places.at(i));
        tr.Exec(insert, values);
        ++result.inserted;
        if (progress)
            progress(result.inserted, total);
    }
    tr.Commit();
    result.changed = true;
    return result;
}

void loadSessionsOfKind(QComboBox *items, int iSfiId)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnsId"), TVxWorkingContext::schoolYear());
    values.setValue(QStringLiteral("iDwgId"), TVxWorkingContext::institute());
    values.setValue(QStringLiteral("iSfiId"), iSfiId);
    // An unchosen year or institute reads as 0, which names no session: the list stays empty.
    LoadEnumValues(qqoVxGlobConn(), items, QString::fromLatin1(kSessionsOfKind), values);
}
