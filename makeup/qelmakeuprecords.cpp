#include "makeup/qelmakeuprecords.h"

#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QKeyEvent>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

const char kClass[] = "SELECT Asd.iAnsId, Ans.iAnsValore, ClsSes.iClsId, Cls.sClsDesc "
                      "FROM TClsSes ClsSes "
                      "INNER JOIN TAnsSesDwg Asd ON (Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
                      "LEFT JOIN TAns_AnniScolast Ans ON (Ans.iAnsId = Asd.iAnsId) "
                      "LEFT JOIN VCls_Classi Cls ON (Cls.iClsId = ClsSes.iClsId) "
                      "WHERE ClsSes.iClsSesId = :iClsSesId";

const char kPhases[] = "SELECT Afd.iAnsFreDwgId, Afd.iFreId, Fre.sFreLDesc "
                       "FROM TAnsFreDwg Afd "
                       "INNER JOIN TFre_FasiRec Fre ON (Fre.iFreId = Afd.iFreId) "
                       "WHERE Afd.iAnsId = :iAnsId "
                       "AND (Afd.iDwgId IS NULL OR :lSoloComuni = 0) "
                       "ORDER BY Afd.iAnsFreDwgId";

const char kPupils[] = "SELECT Sit.iSitId, Sit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome "
                       "FROM TSit_Situazioni Sit "
                       "INNER JOIN TAna_Anagrafiche Ana ON (Ana.iAnaId = Sit.iAnaId) "
                       "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
                       "WHERE ClsPst.iClsId = :iClsId AND Sit.iSitPosReg > 0 "
                       "AND (Sit.iSitOrdine = 1 OR :lOgniSituazione = 1) "
                       "ORDER BY Sit.iSitPosReg, Sit.iSitId";

// A subject under both plans of a class (with and without religion) is one column, at its
// first place in either.
const char kSubjects[] =
    "SELECT Mat.iMatId, Mat.sMatSDesc, MIN(MrmPst.iMatRmaPstOrdine) AS iOrdine, "
    "MIN(Csm.iClsSesMatId) AS iClsSesMatId "
    "FROM TClsSesMat Csm "
    "INNER JOIN TMatRma Mrm ON (Mrm.iMatRmaId = Csm.iMatRmaId) "
    "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Mrm.iMatId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsId = ClsSes.iClsId) "
    "INNER JOIN TMatRmaPst MrmPst ON (MrmPst.iMatRmaId = Mrm.iMatRmaId "
    "AND MrmPst.iPstId = ClsPst.iPstId) "
    "WHERE Csm.iClsSesId = :iClsSesId AND MrmPst.iMatRmaPstOrdine > 0 "
    "AND UPPER(TRIM(COALESCE(Mat.sMatCodVexto, ''))) NOT IN ('CONDOTTA', 'RELIGIONE') "
    "GROUP BY Mat.iMatId, Mat.sMatSDesc "
    "ORDER BY 3, 1";

// The grades of every vote component of the class session, in the order a cell joins them.
// The outer joins fix the order in which the tables are read, from the class session's
// subjects down to their grades: left to itself, Firebird reads every grade of the school
// first (a second on a large school instead of a millisecond).
const char kVotes[] = "SELECT Vot.iSitId, Cmc.iClsSesMatId, Liv.sLivSDesc "
                      "FROM TClsSesMat Csm "
                      "LEFT JOIN TClsMatCmp Cmc ON (Cmc.iClsSesMatId = Csm.iClsSesMatId) "
                      "LEFT JOIN TCmpSca CmpSca ON (CmpSca.iCmpScaId = Cmc.iCmpScaId) "
                      "LEFT JOIN TVot_Voti Vot ON (Vot.iClsMatCmpId = Cmc.iClsMatCmpId) "
                      "LEFT JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = Vot.iScaLivId) "
                      "LEFT JOIN TLiv_Livelli Liv ON (Liv.iLivId = ScaLiv.iLivId) "
                      "WHERE Csm.iClsSesId = :iClsSesId AND Vot.iVotId IS NOT NULL "
                      "ORDER BY Cmc.iClsSesMatId, Cmc.iClsMatCmpId, CmpSca.iCmpScaOrdine, "
                      "Vot.iSitId, Vot.iVotId";

const char kProposed[] = "SELECT Vtp.iSitId, Cmc.iClsSesMatId, Prp.sPrpSDesc "
                         "FROM TClsSesMat Csm "
                         "LEFT JOIN TClsMatCmp Cmc ON (Cmc.iClsSesMatId = Csm.iClsSesMatId) "
                         "LEFT JOIN TCmpSca CmpSca ON (CmpSca.iCmpScaId = Cmc.iCmpScaId) "
                         "LEFT JOIN TVtp_Proposti Vtp ON (Vtp.iClsMatCmpId = Cmc.iClsMatCmpId) "
                         "LEFT JOIN TPrpScaLiv Psl ON (Psl.iPrpScaLivId = Vtp.iPrpScaLivId) "
                         "LEFT JOIN TPrp_Proposti Prp ON (Prp.iPrpId = Psl.iPrpId) "
                         "WHERE Csm.iClsSesId = :iClsSesId AND Vtp.iVtpId IS NOT NULL "
                         "ORDER BY Cmc.iClsSesMatId, Cmc.iClsMatCmpId, CmpSca.iCmpScaOrdine, "
                         "Vtp.iSitId, Vtp.iVtpId";

// A record with its type and outcome (either may be missing: left joins).
const char kRecordColumns[] =
    "SELECT Rec.iRecId, Rec.iTreId, Rec.iEreId, Rec.iMatId, Rec.iSitId, Rec.iAnsFreDwgId, "
    "Rec.dRecAttr, Rec.dRecVer, Tre.iTrePeso, Ere.iPesoRec, Tre.sTreSDesc, Ere.sEreSDesc "
    "FROM TRec_Recuperi Rec "
    "INNER JOIN TAnsFreDwg Afd ON (Afd.iAnsFreDwgId = Rec.iAnsFreDwgId) "
    "LEFT JOIN TTre_TipoRec Tre ON (Tre.iTreId = Rec.iTreId) "
    "LEFT JOIN TEre_EsitoRec Ere ON (Ere.iEreId = Rec.iEreId) ";
const char kRecordByKey[] = "WHERE Rec.iRecId = :iRecId";
const char kRecordOfCell[] = "WHERE Rec.iSitId = :iSitId AND Rec.iMatId = :iMatId "
                             "AND Afd.iAnsId = :iAnsId AND Afd.iFreId = :iFreId "
                             "ORDER BY Rec.iRecId";
const char kRecordOfCellInRow[] = "WHERE Rec.iSitId = :iSitId AND Rec.iMatId = :iMatId "
                                  "AND Rec.iAnsFreDwgId = :iAnsFreDwgId ORDER BY Rec.iRecId";
const char kRecordsOfClass[] =
    "INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = Rec.iSitId) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
    "WHERE ClsPst.iClsId = :iClsId AND Afd.iAnsId = :iAnsId AND Afd.iFreId = :iFreId "
    "ORDER BY Rec.iRecId";
const char kRecordsOfClassInRow[] =
    "INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = Rec.iSitId) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
    "WHERE ClsPst.iClsId = :iClsId AND Rec.iAnsFreDwgId = :iAnsFreDwgId "
    "ORDER BY Rec.iRecId";

const char kTypes[] = "SELECT Tre.iTreId, Tre.sTreLDesc FROM TTre_TipoRec Tre ORDER BY Tre.iTreId";
const char kOutcomes[] =
    "SELECT Ere.iEreId, Ere.sEreLDesc FROM TEre_EsitoRec Ere ORDER BY Ere.iEreId";
const char kTypeOfWeight[] =
    "SELECT Tre.iTreId FROM TTre_TipoRec Tre WHERE Tre.iTrePeso = :iTrePeso ORDER BY Tre.iTreId";
const char kOutcomeOfWeight[] = "SELECT Ere.iEreId FROM TEre_EsitoRec Ere "
                                "WHERE Ere.iPesoRec = :iPesoRec ORDER BY Ere.iEreId";
const char kTypeLegend[] = "SELECT Tre.iTrePeso, Tre.sTreSDesc FROM TTre_TipoRec Tre "
                           "ORDER BY Tre.iTrePeso, Tre.iTreId";
const char kOutcomeLegend[] = "SELECT Ere.iPesoRec, Ere.sEreSDesc FROM TEre_EsitoRec Ere "
                              "ORDER BY Ere.iPesoRec, Ere.iEreId";

const char kInsert[] = "INSERT INTO TRec_Recuperi (iRecId, iTreId, iEreId, iMatId, iSitId, "
                       "iAnsFreDwgId, dRecAttr, dRecVer) VALUES (:iRecId, :iTreId, :iEreId, "
                       ":iMatId, :iSitId, :iAnsFreDwgId, :dRecAttr, :dRecVer)";
// The records of the phase row of every situation of the class on the register, whatever its
// iSitOrdine: also those that the grids do not list.
const char kRecordsOfClassPhase[] =
    "INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = Rec.iSitId) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
    "WHERE ClsPst.iClsId = :iClsId AND Rec.iAnsFreDwgId = :iAnsFreDwgId "
    "AND Sit.iSitPosReg > 0 ORDER BY Rec.iRecId";

// The records in the grade stores' one shape: every update and delete of a record goes through
// the one save routine, compared there with what the window read.
const TqevTabella &tabella()
{
    static const TqevTabella t = [] {
        TqevTabella tab;
        tab.nome = QStringLiteral("TREC_RECUPERI");
        tab.chiave = QStringLiteral("iRecId");
        tab.verificata = true;
        return tab;
    }();
    return t;
}

QString text(const char *sql)
{
    return QString::fromLatin1(sql);
}

QString joined(const char *a, const char *b)
{
    return QString::fromLatin1(a) + QString::fromLatin1(b);
}

QString trimmedText(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString().trimmed();
}

QVariant keyOrNull(int key)
{
    return key > 0 ? QVariant(key) : QVariant();
}

QVariant dateOrNull(const QDate &date)
{
    return date.isValid() ? QVariant(date) : QVariant();
}

// The columns a make-up write sets and compares.
void columnsOf(TVxFieldValues &values, const MakeupRecord &r)
{
    values.setValue(QStringLiteral("iTreId"), keyOrNull(r.iTreId));
    values.setValue(QStringLiteral("iEreId"), keyOrNull(r.iEreId));
    values.setValue(QStringLiteral("dRecAttr"), dateOrNull(r.dRecAttr));
    values.setValue(QStringLiteral("dRecVer"), dateOrNull(r.dRecVer));
}

// An outcome as a cell of the outcomes window compares it, under its record's key.
QString outcomeColumn(int iRecId)
{
    return QStringLiteral("iEreId:%1").arg(iRecId);
}

// Each row of a select, in the transaction running on the connection or one of its own.
template <typename Reader>
void eachRow(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &values, Reader read)
{
    VxEachRow(db, sql, values, [&read](const QSqlQuery &q, const QSqlRecord &) { read(q); });
}

MakeupRecord recordOf(const QSqlQuery &q)
{
    MakeupRecord r;
    r.iRecId = q.value(0).toInt();
    r.iTreId = q.value(1).toInt();
    r.iEreId = q.value(2).toInt();
    r.iMatId = q.value(3).toInt();
    r.iSitId = q.value(4).toInt();
    r.iAnsFreDwgId = q.value(5).toInt();
    r.dRecAttr = q.value(6).toDate();
    r.dRecVer = q.value(7).toDate();
    r.iTrePeso = q.value(8).toInt();
    if (!q.value(9).isNull())
        r.iPesoRec = q.value(9).toInt();
    r.sTreSDesc = trimmedText(q.value(10));
    r.sEreSDesc = trimmedText(q.value(11));
    return r;
}

std::optional<MakeupRecord> firstRecord(const QSqlDatabase &db, const QString &sql,
                                        const TVxFieldValues &values)
{
    std::optional<MakeupRecord> found;
    eachRow(db, sql, values, [&](const QSqlQuery &q) {
        if (!found)
            found = recordOf(q);
    });
    return found;
}

std::optional<MakeupRecord> recordOfCell(const QSqlDatabase &db, int iAnsId, int iFreId, int iSitId,
                                         int iMatId)
{
    return firstRecord(
        db, joined(kRecordColumns, kRecordOfCell),
        valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}, {"iAnsId", iAnsId}, {"iFreId", iFreId}}));
}

int insertRecord(TVxTransaction &tr, const QSqlDatabase &db, const MakeupRecord &r)
{
    const int key = VxNewKey(db, QStringLiteral("TREC_RECUPERI"));
    TVxFieldValues values = valuesOf({{"iRecId", key},
                                      {"iMatId", r.iMatId},
                                      {"iSitId", r.iSitId},
                                      {"iAnsFreDwgId", r.iAnsFreDwgId}});
    columnsOf(values, r);
    tr.Exec(text(kInsert), values);
    return key;
}

QList<MakeupLegendRow> legend(const QSqlDatabase &db, const char *sql)
{
    QList<MakeupLegendRow> rows;
    eachRow(db, text(sql), {}, [&](const QSqlQuery &q) {
        rows.append({q.value(0).toInt(), trimmedText(q.value(1))});
    });
    return rows;
}

const QColor kYellow(255, 255, 0);
const QColor kAqua(0, 255, 255);
const QColor kGreen(0, 128, 0);
const QColor kOrange(255, 167, 0);
const QColor kSilver(192, 192, 192);
const QColor kFuchsia(255, 0, 255);
const QColor kRed(255, 0, 0);

} // namespace

int keypadDigit(const QKeyEvent &event, bool mainKeyboardToo)
{
    const int key = event.key();
    if (key < Qt::Key_0 || key > Qt::Key_9)
        return -1;
    const Qt::KeyboardModifiers mods = event.modifiers();
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return -1;
    if (!(mods & Qt::KeypadModifier) && !mainKeyboardToo)
        return -1;
    return key - Qt::Key_0;
}

QColor typeCellColour(int weight)
{
    switch (weight) {
    case 0:
        return kYellow;
    case 1:
        return kAqua;
    case 2:
        return kGreen;
    case 3:
        return kOrange;
    case 9:
        return kFuchsia;
    default:
        return kSilver;
    }
}

std::optional<QColor> outcomeCellColour(int value)
{
    if (value == -1)
        return kSilver;
    return outcomeLegendColour(value);
}

std::optional<QColor> outcomeLegendColour(int weight)
{
    if (weight == 0)
        return kRed;
    if (weight == 1)
        return kGreen;
    if (weight >= 2 && weight <= 9)
        return kYellow;
    return std::nullopt;
}

QString MakeupClass::yearText() const
{
    return QStringLiteral("%1/%2").arg(iAnsValore).arg(iAnsValore + 1);
}

int outcomeCellValue(const MakeupRecord &record)
{
    return record.iEreId ? record.iPesoRec.value_or(-1) : -1;
}

MakeupRecords::MakeupRecords(const QSqlDatabase &db) : m_db(db) {}

MakeupClass MakeupRecords::classOf(int iClsSesId) const
{
    std::optional<MakeupClass> found;
    eachRow(m_db, text(kClass), valuesOf({{"iClsSesId", iClsSesId}}), [&](const QSqlQuery &q) {
        found = MakeupClass{iClsSesId, q.value(2).toInt(), q.value(0).toInt(), q.value(1).toInt(),
                            trimmedText(q.value(3))};
    });
    if (!found)
        throw EVxException(QStringLiteral("La classe scelta non esiste più nell'archivio."));
    return *found;
}

QList<MakeupPhase> MakeupRecords::phasesOfYear(int iAnsId, bool commonOnly) const
{
    QList<MakeupPhase> phases;
    QHash<int, int> firstOfPhase;
    QList<int> common;
    eachRow(m_db, text(kPhases),
            valuesOf({{"iAnsId", iAnsId}, {"lSoloComuni", commonOnly ? 1 : 0}}),
            [&](const QSqlQuery &q) {
                MakeupPhase p;
                p.iAnsFreDwgId = q.value(0).toInt();
                p.iFreId = q.value(1).toInt();
                p.sFreLDesc = trimmedText(q.value(2));
                if (!firstOfPhase.contains(p.iFreId))
                    firstOfPhase.insert(p.iFreId, p.iAnsFreDwgId);
                phases.append(p);
            });
    for (MakeupPhase &p : phases)
        p.iAnsFreDwgIdOfPhase = firstOfPhase.value(p.iFreId);
    return phases;
}

QList<MakeupPupil> MakeupRecords::pupils(int iClsId, MakeupPupilList list) const
{
    QList<MakeupPupil> pupils;
    const bool assignment = list == MakeupPupilList::Assignment;
    eachRow(m_db, text(kPupils),
            valuesOf({{"iClsId", iClsId}, {"lOgniSituazione", assignment ? 0 : 1}}),
            [&](const QSqlQuery &q) {
                MakeupPupil p;
                p.iSitId = q.value(0).toInt();
                p.iSitPosReg = q.value(1).toInt();
                p.label = trimmedText(q.value(2)) + QLatin1Char(' ') + trimmedText(q.value(3));
                if (assignment)
                    p.label = QString::number(p.iSitPosReg) + QStringLiteral(") ") + p.label;
                pupils.append(p);
            });
    return pupils;
}

QList<MakeupSubject> MakeupRecords::subjects(int iClsSesId) const
{
    QList<MakeupSubject> subjects;
    eachRow(m_db, text(kSubjects), valuesOf({{"iClsSesId", iClsSesId}}), [&](const QSqlQuery &q) {
        subjects.append({q.value(0).toInt(), trimmedText(q.value(1)), q.value(3).toInt()});
    });
    return subjects;
}

QHash<MakeupCell, QString> MakeupRecords::gradeTexts(int iClsSesId,
                                                     const QList<MakeupSubject> &subjects,
                                                     MakeupGradeKind kind) const
{
    // A grade belongs to the cell of its subject's first row in the session only.
    QHash<int, int> subjectOfRow;
    for (const MakeupSubject &s : subjects)
        subjectOfRow.insert(s.iClsSesMatId, s.iMatId);
    QHash<MakeupCell, QString> texts;
    eachRow(m_db, text(kind == MakeupGradeKind::Final ? kVotes : kProposed),
            valuesOf({{"iClsSesId", iClsSesId}}), [&](const QSqlQuery &q) {
                const auto subject = subjectOfRow.constFind(q.value(1).toInt());
                if (subject == subjectOfRow.constEnd())
                    return;
                QString &cell = texts[MakeupCell(q.value(0).toInt(), *subject)];
                if (!cell.isEmpty())
                    cell += QStringLiteral("   ");
                cell += trimmedText(q.value(2));
            });
    return texts;
}

MakeupGrid MakeupRecords::grid(const MakeupClass &cls, int iFreId, MakeupPupilList list,
                               std::optional<MakeupGradeKind> grades) const
{
    return gridWith(cls, list, joined(kRecordColumns, kRecordsOfClass),
                    valuesOf({{"iClsId", cls.iClsId}, {"iAnsId", cls.iAnsId}, {"iFreId", iFreId}}),
                    grades);
}

MakeupGrid MakeupRecords::outcomeGrid(const MakeupClass &cls, int iAnsFreDwgId) const
{
    return gridWith(cls, MakeupPupilList::Outcomes, joined(kRecordColumns, kRecordsOfClassInRow),
                    valuesOf({{"iClsId", cls.iClsId}, {"iAnsFreDwgId", iAnsFreDwgId}}),
                    std::nullopt);
}

MakeupGrid MakeupRecords::gridWith(const MakeupClass &cls, MakeupPupilList list,
                                   const QString &recordsSql, const TVxFieldValues &values,
                                   std::optional<MakeupGradeKind> grades) const
{
    // One snapshot: a record written meanwhile by another office shows whole or not at all.
    TVxTransactionScope scope(m_db);
    MakeupGrid grid;
    grid.pupils = pupils(cls.iClsId, list);
    grid.subjects = subjects(cls.iClsSesId);
    eachRow(m_db, recordsSql, values, [&](const QSqlQuery &q) {
        const MakeupRecord r = recordOf(q);
        const MakeupCell cell(r.iSitId, r.iMatId);
        if (!grid.records.contains(cell))
            grid.records.insert(cell, r);
        grid.cellRecords[cell].append(r);
    });
    if (grades)
        grid.gradeTexts = gradeTexts(cls.iClsSesId, grid.subjects, *grades);
    scope.Commit();
    return grid;
}

std::optional<MakeupRecord> MakeupRecords::cellRecord(int iAnsId, int iFreId, int iSitId,
                                                      int iMatId) const
{
    return recordOfCell(m_db, iAnsId, iFreId, iSitId, iMatId);
}

std::optional<MakeupRecord> MakeupRecords::record(int iRecId) const
{
    return firstRecord(m_db, joined(kRecordColumns, kRecordByKey), valuesOf({{"iRecId", iRecId}}));
}

std::optional<MakeupRecord> MakeupRecords::cellRecordOfPhaseRow(int iAnsFreDwgId, int iSitId,
                                                                int iMatId) const
{
    return firstRecord(
        m_db, joined(kRecordColumns, kRecordOfCellInRow),
        valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}, {"iAnsFreDwgId", iAnsFreDwgId}}));
}

QList<MakeupRecord> MakeupRecords::cellRecordsOfPhaseRow(int iAnsFreDwgId, int iSitId,
                                                         int iMatId) const
{
    QList<MakeupRecord> records;
    eachRow(m_db, joined(kRecordColumns, kRecordOfCellInRow),
            valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}, {"iAnsFreDwgId", iAnsFreDwgId}}),
            [&](const QSqlQuery &q) { records.append(recordOf(q)); });
    return records;
}

TVxEnumItems MakeupRecords::types() const
{
    return LoadEnumItems(m_db, text(kTypes));
}

TVxEnumItems MakeupRecords::outcomes() const
{
    return LoadEnumItems(m_db, text(kOutcomes));
}

int MakeupRecords::firstTypeOfWeight(int weight) const
{
    return firstOfWeight(kTypeOfWeight, "iTrePeso", weight);
}

int MakeupRecords::firstOutcomeOfWeight(int weight) const
{
    return firstOfWeight(kOutcomeOfWeight, "iPesoRec", weight);
}

int MakeupRecords::firstOfWeight(const char *sql, const char *weightName, int weight) const
{
    int found = 0;
    eachRow(m_db, text(sql), valuesOf({{weightName, weight}}), [&](const QSqlQuery &q) {
        if (!found)
            found = q.value(0).toInt();
    });
    return found;
}

QList<MakeupLegendRow> MakeupRecords::typeLegend() const
{
    return legend(m_db, kTypeLegend);
}

QList<MakeupLegendRow> MakeupRecords::outcomeLegend() const
{
    return legend(m_db, kOutcomeLegend);
}

int MakeupRecords::insert(MakeupRecord &record) const
{
    TVxTransactionScope scope(m_db);
    const int key = insertRecord(scope.transaction(), m_db, record);
    scope.Commit();
    // The key is the record's only once the row is there.
    record.iRecId = key;
    return key;
}

QList<MakeupRecord> MakeupRecords::classPhaseRecords(int iClsId, int iAnsFreDwgId) const
{
    QList<MakeupRecord> records;
    eachRow(m_db, joined(kRecordColumns, kRecordsOfClassPhase),
            valuesOf({{"iClsId", iClsId}, {"iAnsFreDwgId", iAnsFreDwgId}}),
            [&](const QSqlQuery &q) { records.append(recordOf(q)); });
    return records;
}

QString MakeupRecords::cellId(int iSitId, int iMatId)
{
    return QStringLiteral("%1:%2").arg(iSitId).arg(iMatId);
}

QString MakeupRecords::recordId(int iRecId)
{
    return QString::number(iRecId);
}

TVxRiga MakeupRecords::asRead(const std::optional<MakeupRecord> &read, const MakeupRecord *written)
{
    TVxFieldValues asRead;
    if (read)
        columnsOf(asRead, *read);
    TVxFieldValues toWrite;
    if (written)
        columnsOf(toWrite, *written);
    return RigaLetta(read ? read->iRecId : 0, asRead, written ? &toWrite : nullptr);
}

TVxRiga MakeupRecords::outcomesAsRead(const QList<MakeupRecord> &records)
{
    TVxRiga row;
    if (records.isEmpty())
        return row;
    row.chiave = records.first().iRecId;
    row.valori.insert(QStringLiteral("righe"), int(records.size()));
    for (const MakeupRecord &r : records)
        row.valori.insert(outcomeColumn(r.iRecId), keyOrNull(r.iEreId));
    return row;
}

MakeupRecord MakeupRecords::recordOfRow(const TVxRiga &row)
{
    MakeupRecord r;
    r.iRecId = row.chiave;
    r.iTreId = row.valori.value(QStringLiteral("iTreId")).toInt();
    r.iEreId = row.valori.value(QStringLiteral("iEreId")).toInt();
    r.dRecAttr = row.valori.value(QStringLiteral("dRecAttr")).toDate();
    r.dRecVer = row.valori.value(QStringLiteral("dRecVer")).toDate();
    return r;
}

QHash<QString, TVxRiga> MakeupRecords::cellNow(int iAnsId, int iFreId, int iSitId, int iMatId) const
{
    return {{cellId(iSitId, iMatId), asRead(cellRecord(iAnsId, iFreId, iSitId, iMatId))}};
}

QHash<QString, TVxRiga> MakeupRecords::classPhaseNow(int iClsId, int iAnsFreDwgId,
                                                     bool byCell) const
{
    QHash<QString, TVxRiga> rows;
    QHash<MakeupCell, QList<MakeupRecord>> cells;
    for (const MakeupRecord &r : classPhaseRecords(iClsId, iAnsFreDwgId)) {
        if (byCell)
            cells[MakeupCell(r.iSitId, r.iMatId)].append(r);
        else
            rows.insert(recordId(r.iRecId), asRead(r));
    }
    for (auto it = cells.cbegin(); it != cells.cend(); ++it)
        rows.insert(cellId(it.key().first, it.key().second), outcomesAsRead(it.value()));
    return rows;
}

QHash<QString, TVxRiga> MakeupRecords::cellOutcomesNow(int iAnsFreDwgId, int iSitId,
                                                       int iMatId) const
{
    return {{cellId(iSitId, iMatId),
             outcomesAsRead(cellRecordsOfPhaseRow(iAnsFreDwgId, iSitId, iMatId))}};
}

int MakeupRecords::insert(TVxTransaction &tr, MakeupRecord &record)
{
    record.iRecId = insertRecord(tr, qqoVxGlobConn(), record);
    return record.iRecId;
}

void MakeupRecords::update(TVxTransaction &tr, const MakeupRecord &written,
                           const MakeupRecord &read)
{
    AggiornaRiga(tr, tabella(), read.iRecId, written, &read, columnsOf);
}

void MakeupRecords::remove(TVxTransaction &tr, int iRecId)
{
    CancellaCella(tr, tabella(), iRecId, {});
}
