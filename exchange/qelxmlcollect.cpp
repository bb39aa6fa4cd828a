// The collection of a returned class or teacher folder: the attendance, then each data kind
// replaced in one transaction of its own, after every packet it needs has been read.

#include "exchange/qelcollectedvalues.h"
#include "exchange/qeldocfoldersql.h"
#include "exchange/qelwait.h"
#include "exchange/qelxml.h"
#include "exchange/qelxmlsql.h"
#include "gradeentry/qevregolevalori.h"
#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/helpers.h"
#include "platform/sqlparams.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

namespace {

// What the collection reads of each kind: the packet's columns it needs (checked before any
// write), the row's columns with their types (an insert's values go through a select that
// checks the row's scope, and the select alone cannot tell their types), and the name of the
// kind in the office's messages.
struct CollectKind
{
    int kind;
    const char *name;
    const char *columns;
    const char *table; // the table written; its first typed column is the new key
    const char *typed;
    // The row's values that make two rows one record: a second such row is refused.
    const char *duplicateKey;
};

// Kinds 0 to 2 find the row's component inside the statement: a component gone since the
// export leaves it null, and the row is refused. It is the class-session subject's, which the
// scope holds to the class in the working year-session.
#define QEL_COMPONENT                                                                              \
    "iClsMatCmpId (SELECT c.iClsMatCmpId FROM TClsMatCmp c WHERE c.iClsSesMatId = "                \
    "CAST(:iClsSesMatId AS INTEGER) AND c.iCmpScaId = CAST(:iCmpScaId AS INTEGER))"
#define QEL_DATES "dInsert TIMESTAMP, dStart DATE, dEnd DATE"
const CollectKind kKinds[] = {
    {0, "voti", "iClsId iClsSesMatId iSitId iCmpScaId iValId", "TVot_Voti",
     "iVotId INTEGER, " QEL_COMPONENT ", iSitId INTEGER, iScaLivId INTEGER, " QEL_DATES,
     "iClsSesMatId iCmpScaId iSitId"},
    {1, "voti proposti", "iClsId iClsSesMatId iSitId iCmpScaId iValId", "TVtp_Proposti",
     "iVtpId INTEGER, " QEL_COMPONENT ", iSitId INTEGER, iPrpScaLivId INTEGER, " QEL_DATES,
     "iClsSesMatId iCmpScaId iSitId"},
    {2, "tassonomie", "iClsId iClsSesMatId iSitId iCmpScaId iValId", "TTas_Tassonomie",
     "iTasId INTEGER, " QEL_COMPONENT ", iSitId INTEGER, iScaLivId INTEGER, " QEL_DATES,
     "iClsSesMatId iCmpScaId iSitId"},
    {3, "assenze", "iClsId iClsSesMatId iSitId iValId", "TAss_Assenze",
     "iAssId INTEGER, iClsSesMatId INTEGER, iSitId INTEGER, iAssOre INTEGER, " QEL_DATES,
     "iClsSesMatId iSitId"},
    {4, "aiuti", "iClsId iClsSesMatId iSitId sValSDesc", "TAiu_Aiuti",
     "iAiuId INTEGER, iClsSesMatId INTEGER, iSitId INTEGER, sAiuVal VARCHAR(4), " QEL_DATES,
     "iClsSesMatId iSitId"},
    {5, "note", "iClsId iClsSesMatId iSitId bNotNota", "TNot_Note",
     "iNotId INTEGER, iClsSesMatId INTEGER, iSitId INTEGER, dNotData DATE, "
     "bNotNota BLOB SUB_TYPE TEXT, iAnaId INTEGER, " QEL_DATES,
     // A pupil may have several notes in a subject, but not the same one twice.
     "iClsSesMatId iSitId dNotData bNotNota iAnaId"},
    // The debt goes to the pupil's first situation of the working year.
    {7, "debiti", "iClsId iAnsId iAnaId iSitId iMatId", "TDeb_Debiti",
     "iDebId INTEGER, iSitId (SELECT s.iSitId FROM TSit_Situazioni s JOIN TAns_AnniScolast a "
     "ON a.dAnsVextoInizio = s.dStart WHERE s.iAnaId = CAST(:iAnaId AS INTEGER) AND "
     "s.iSitOrdine = 1 AND a.iAnsId = CAST(:iAnsId AS INTEGER)), iMatId INTEGER, dDebAttr DATE, "
     "dDebVer DATE, iAnaId_Attr INTEGER, iAnaId_Ver INTEGER, iDesDedId INTEGER, "
     "iDtpDtdId INTEGER, bDebNota BLOB SUB_TYPE TEXT, " QEL_DATES,
     "iAnaId iMatId"},
    {8, "giudizi", "iClsId iSitId iAnsSesDwgId bGdzGiudizio", "TGdz_Giudizi",
     "iGdzId INTEGER, iSitId INTEGER, iAnsSesDwgId INTEGER, bGdzGiudizio BLOB SUB_TYPE "
     "TEXT, " QEL_DATES,
     "iSitId iAnsSesDwgId"},
    {9, "esiti finali", "iClsId iSitId iPosFinId", nullptr, nullptr, "iSitId"},
    {10, "competenze", "iAnaId iCompAsseId", "TCOMP_COMPETENZE",
     "ICOMPID INTEGER, IANAID INTEGER, ISITID INTEGER, ICOMPASSEID INTEGER, ICOMPLIVID INTEGER, "
     "ILINGUASTRANIERAID INTEGER, SCOMPNOTE VARCHAR(500)",
     "IANAID ISITID ICOMPASSEID ICOMPLIVID ILINGUASTRANIERAID SCOMPNOTE"},
};
#undef QEL_COMPONENT
#undef QEL_DATES

const CollectKind &collectKind(int kind)
{
    for (const CollectKind &k : kKinds)
        if (k.kind == kind)
            return k;
    throw EVxException(QStringLiteral("Tipo di dati sconosciuto: %1.").arg(kind));
}

QString packetOf(int kind)
{
    for (const TqelXmlKind &k : qelXmlKinds())
        if (k.kind == kind)
            return QLatin1String(k.packet);
    return QString();
}

const QString kPupils = QStringLiteral("ClsAlu.xml");
const QString kSessions = QStringLiteral("ClsSes.xml");
const QString kSchool = QStringLiteral("InfoSed.xml");
const QString kGeneral = QStringLiteral("outfin/DatiGen.cds");
const QString kSummary = QStringLiteral("outfin/QEVAluRiep.xml");
const QString kCredits = QStringLiteral("ClsCre.xml");
const QString kTrainingItems = QStringLiteral("ClsCreFrm.xml");
const QString kSchoolItems = QStringLiteral("ClsCreSco.xml");
const QString kMakeUps = QStringLiteral("Rec.xml");

// The first rows shown of a refused folder; the count of the others follows them.
constexpr int kFaultsShown = 10;

// The conditions that keep a write inside the collected class (:iClsId): the situation
// (:iSitId) is one of the class's, or, for the earlier years' debts and credits, of one of
// its pupils.
#define QEL_CLASS_SIT                                                                              \
    "EXISTS (SELECT 1 FROM TSit_Situazioni cs JOIN TClsPst cp ON cp.iClsPstId = cs.iClsPstId "     \
    "WHERE cs.iSitId = :iSitId AND cp.iClsId = :iClsId)"
#define QEL_PUPIL_SIT                                                                              \
    "EXISTS (SELECT 1 FROM TSit_Situazioni ps JOIN TSit_Situazioni cs ON cs.iAnaId = ps.iAnaId "   \
    "JOIN TClsPst cp ON cp.iClsPstId = cs.iClsPstId WHERE ps.iSitId = :iSitId "                    \
    "AND cp.iClsId = :iClsId)"
// Every situation (ps) of the collected class's pupils, of every year, reached from the class
// through its pupils: a condition on each situation of the school would read them all.
#define QEL_PUPIL_SITS                                                                             \
    "(SELECT DISTINCT cs.iAnaId FROM TClsPst cp JOIN TSit_Situazioni cs ON cs.iClsPstId = "        \
    "cp.iClsPstId WHERE cp.iClsId = :iClsId) p JOIN TSit_Situazioni ps ON ps.iAnaId = p.iAnaId "

// A packet's value, a key as the number it names (QelCollectedValues::Key).
QVariant field(const TClientDataSet &packet, const char *name)
{
    return QelCollectedValues::PacketValue(packet, QLatin1String(name));
}

// The packet's row of the situation, current: false when it has none.
bool locateSituation(TClientDataSet &packet, int sitId)
{
    for (packet.First(); !packet.Eof(); packet.Next())
        if (field(packet, "iSitId").toInt() == sitId)
            return true;
    return false;
}

int intField(const TClientDataSet &packet, const char *name)
{
    return field(packet, name).toInt();
}

// A key that reads 0 is no key.
QVariant keyField(const TClientDataSet &packet, const char *name)
{
    const QVariant value = field(packet, name);
    return value.toLongLong() == 0 ? QVariant() : value;
}

// An empty date, or the zero of the teachers' program, is no date.
QVariant dateField(const TClientDataSet &packet, const char *name)
{
    const QVariant value = field(packet, name);
    const QDate date = value.toDate();
    return !date.isValid() || date == QDate(1899, 12, 30) ? QVariant() : value;
}

QVariant noteField(const TClientDataSet &packet, const char *name)
{
    const QString text = field(packet, name).toString();
    return text.trimmed().isEmpty() ? QVariant() : QVariant(text);
}

// An insert of one row that writes it only when the scope holds: the values go through a
// select, typed since the select alone cannot tell their types.
// A column given as "name (expression)" takes the expression's value.
QString scopedInsert(const char *table, const char *typedColumns, const QString &scope)
{
    QStringList names, values;
    for (const QString &column : QString::fromLatin1(typedColumns).split(u',')) {
        const QString name = column.trimmed().section(u' ', 0, 0);
        const QString type = column.trimmed().section(u' ', 1);
        names << name;
        values << (type.startsWith(u'(') ? type
                                         : QStringLiteral("CAST(:%1 AS %2)").arg(name, type));
    }
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM RDB$DATABASE WHERE %4")
        .arg(QLatin1String(table), names.join(u','), values.join(u','), scope);
}

// The competence's level and language are keys only when they read as a number other than 0.
QVariant numberField(const TClientDataSet &packet, const char *name)
{
    bool ok = false;
    const qint64 number = field(packet, name).toString().trimmed().toLongLong(&ok);
    return ok && number != 0 ? QVariant(number) : QVariant();
}

// A stored level's place: kind, pupil, class-session subject and component scale.
QString levelKey(int kind, int sit, int sesMat, int cmpSca)
{
    return QStringLiteral("%1|%2|%3|%4").arg(kind).arg(sit).arg(sesMat).arg(cmpSca);
}

// Where the rows not written go: their lines, and the count that takes their step back.
struct Refusals
{
    QStringList &log;
    int &count;
    void add(const QString &line)
    {
        log << line;
        ++count;
    }
};

// A credit's number as text: none is 0, as the credits grid stores and shows it.
QString numberText(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    return text.isEmpty() ? QStringLiteral("0") : text;
}

// The rows once each, by the collections' rule (QelCollectRepeats): a row given again with the
// same values is that row once; a key given with other values keeps none of its rows, and is
// refused with one line.
QList<TVxFieldValues> withoutRepeats(const QList<TVxFieldValues> &rows, const char *key,
                                     Refusals refusals,
                                     const std::function<QString(const TVxFieldValues &)> &line)
{
    const QStringList names = QString::fromLatin1(key).split(u' ');
    QelCollectRepeats repeats;
    for (const TVxFieldValues &row : rows)
        repeats.Note(QelCollectRepeats::Text(row, names), QelCollectRepeats::Text(row));
    QList<TVxFieldValues> kept;
    for (const TVxFieldValues &row : rows) {
        switch (repeats.Take(QelCollectRepeats::Text(row, names))) {
        case QelCollectRepeats::First:
            kept << row;
            break;
        case QelCollectRepeats::Conflict:
            refusals.add(line(row));
            break;
        case QelCollectRepeats::Again:
        case QelCollectRepeats::Told:
            break;
        }
    }
    return kept;
}

} // namespace

struct TdmqelXML::Collection
{
    std::map<QString, std::unique_ptr<TClientDataSet>> packets; // by file name
    QList<int> classSits; // ClsAlu.xml's situations of the collected class
    // The class's situations the folder carries: ClsAlu.xml's and those its value packets hold
    // rows of (a pupil off the register still has his). Only theirs are replaced.
    QList<int> carried;
    QSet<int> classPupils;   // and their pupils
    QSet<int> folderSits;    // ClsAlu.xml's situations of every class of the folder
    QSet<int> folderClasses; // the classes of the folder's ClsSes.xml
    QString className;       // the collected class, as the office reads it
    QDate yearStart, yearEnd;
    // What the database holds of the collected class, read before anything is written: its
    // situations with their pupils, every situation of its pupils (earlier years' debts and
    // credits), the class-session subjects kinds 0 to 5 replace (the teacher's only), and in
    // teacher mode the subjects he teaches in the class and the debts he verifies.
    QHash<int, int> classSitPupils;
    QHash<int, int> pupilSits; // by situation, its school year
    // The class session whose votes the credits grid averages for this year's credits: the
    // class's own in a final or deferred session, else none (the year's final sessions).
    int creditSession = 0;
    QList<int> sesMats;
    QSet<int> teacherMats;
    QSet<std::pair<int, int>> verifiedDebts;
    QSet<int> yearPhases; // the make-up phases of the working year
    // The class's pupils the send would carry now and the folder does not (joined since), and
    // the credits of a folder without the scrutiny's summary: they keep what they have, and the
    // summary says so.
    QStringList notInFolder;
    QelCollectedValues values;
    // The levels stored, by kind, pupil, subject and component ("0|955|1320|7"), read before a
    // kind's deletion when the folder brings a level its scale no longer offers.
    QHash<QString, QVariant> storedLevels;
    QList<int> components; // of the class-session subjects kinds 0 to 2 replace, read once
    bool componentsRead = false;
    bool generalUnread = false; // outfin\DatiGen.cds is there but does not load
    QStringList log;
    int refused = 0;     // the rows not written so far: a step that refuses one is taken back
    QStringList stored;  // the steps committed so far
    QStringList changes; // what each step committed changed, a line each

    TClientDataSet *packet(const QString &file) const
    {
        const auto found = packets.find(file);
        return found == packets.end() ? nullptr : found->second.get();
    }
};

void TdmqelXML::LoadCollectPackets()
{
    m_collect = std::make_shared<Collection>();
    Collection &c = *m_collect;
    struct Need
    {
        QString file;
        QString columns;
    };
    QList<Need> needs{{kPupils, QStringLiteral("ISITID ICLSID IANAID")},
                      {kSessions, QStringLiteral("iAnsSesDwgId iClsId")},
                      {kSchool, QStringLiteral("sSedMecCod")}};
    for (const CollectKind &k : kKinds) {
        // Teacher folders carry debts too, to update their verifications.
        const bool classOnly = k.kind == 8 || k.kind == 9;
        const TqelXmlKind *kind = nullptr;
        for (const TqelXmlKind &x : qelXmlKinds())
            kind = x.kind == k.kind ? &x : kind;
        if (this->*kind->flag != 1 || (classOnly && iMode != 1))
            continue;
        // A teacher folder never carries the competences: none means nothing to collect.
        if (k.kind == 10 && iMode != 1 && !QFileInfo::exists(FolderFile(packetOf(10))))
            continue;
        needs.append({packetOf(k.kind), QLatin1String(k.columns)});
    }
    // The summary of the scrutiny and the make-up records are the coordinator's to send: none
    // means nothing of theirs to collect. The credits need the summary's unanimity: without
    // it they stay as they are, and the office is told.
    const auto sent = [this](const QString &file) { return QFileInfo::exists(FolderFile(file)); };
    if (iMode == 1 && iCre == 1 && !sent(kSummary))
        c.notInFolder << QStringLiteral("I crediti della cartella non sono stati letti e restano "
                                        "come erano: manca %1, il riepilogo dello scrutinio che "
                                        "li accompagna.")
                             .arg(QDir::toNativeSeparators(FolderFile(kSummary)));
    if (iMode == 1 && iCre == 1 && sent(kSummary)) {
        needs.append({kSummary, QStringLiteral("Cr iSitId Cr_UM")});
        needs.append({kCredits, QStringLiteral("iCreId iSitId iBndId iEncId fCreMediaVoti")});
        needs.append({kTrainingItems, QStringLiteral("iCreId iFrmId")});
        needs.append({kSchoolItems, QStringLiteral("iCreId iScoId")});
    }
    if (iMode == 1 && sent(kMakeUps))
        needs.append({kMakeUps, QStringLiteral("iSitId iMatId iAnsFreDwgId")});
    for (const Need &need : needs) {
        const QString path = FolderFile(need.file);
        const QString named = QDir::toNativeSeparators(path);
        if (!QFileInfo::exists(path))
            throw EVxException(
                QStringLiteral("Il file %1 non c'è: la raccolta non può partire e nessun dato "
                               "è stato modificato.")
                    .arg(named));
        auto packet = std::make_unique<TClientDataSet>();
        try {
            packet->LoadFromFile(path);
            for (const QString &column : need.columns.split(u' '))
                packet->FieldByName(column);
        } catch (const EVxException &e) {
            throw EVxException(QStringLiteral("Il file %1 non è leggibile: la raccolta non può "
                                              "partire e nessun dato è stato modificato.")
                                   .arg(named),
                               EVxException::Error, e.message());
        }
        c.packets[need.file] = std::move(packet);
    }
    // A folder of another year or session would write its ids into this one's.
    TClientDataSet &sessions = *c.packet(kSessions);
    for (sessions.First(); !sessions.Eof(); sessions.Next())
        if (field(sessions, "iAnsSesDwgId").toLongLong() != iAnsSesDwgId)
            throw EVxException(
                QStringLiteral("La cartella %1 è %2, non di quella di lavoro: la raccolta non "
                               "può partire e nessun dato è stato modificato.")
                    .arg(QDir::toNativeSeparators(FolderFile(QString())),
                         YearSessionText(intField(sessions, "iAnsSesDwgId"))));
    // The teachers' program writes the general data in a form of its own: a file that does not
    // load costs the scrutiny date alone.
    if (QFileInfo::exists(FolderFile(kGeneral))) {
        auto general = std::make_unique<TClientDataSet>();
        try {
            general->LoadFromFile(FolderFile(kGeneral));
            c.packets[kGeneral] = std::move(general);
        } catch (const EVxException &) {
            c.generalUnread = true;
        }
    }
    // The pupils' situations choose what is replaced; a key that names no number refuses the
    // folder (checkFolder) before anything is written.
    TClientDataSet &pupils = *c.packet(kPupils);
    for (pupils.First(); !pupils.Eof(); pupils.Next()) {
        c.folderSits.insert(intField(pupils, "ISITID"));
        if (intField(pupils, "ICLSID") == iClsId) {
            c.classSits << intField(pupils, "ISITID");
            c.classPupils.insert(intField(pupils, "IANAID"));
        }
    }
    QSet<int> carried(c.classSits.cbegin(), c.classSits.cend());
    for (const int kind : {0, 1, 2, 3, 4, 5, 8, 9})
        if (TClientDataSet *packet = c.packet(packetOf(kind)))
            for (packet->First(); !packet->Eof(); packet->Next())
                if (intField(*packet, "iClsId") == iClsId)
                    carried.insert(intField(*packet, "iSitId"));
    c.carried = QList<int>(carried.cbegin(), carried.cend());
    std::sort(c.carried.begin(), c.carried.end());
    TVxFieldValues year;
    year.setValue(QStringLiteral("iAnsId"), iAnsId);
    VxEachRow(qqoVxGlobConn(),
              QStringLiteral("SELECT dAnsVextoInizio, dAnsVextoFine FROM TAns_AnniScolast "
                             "WHERE iAnsId = :iAnsId"),
              year, [&c](const QSqlQuery &query, const QSqlRecord &) {
                  c.yearStart = query.value(0).toDate();
                  c.yearEnd = query.value(1).toDate();
              });
    checkFolder();
    if (m_runTransaction)
        m_checked[collectionKey()] = m_collect;
}

QString TdmqelXML::collectionKey() const
{
    return QStringLiteral("%1\n%2\n%3\n%4").arg(sFolder).arg(iMode).arg(iAnaId).arg(iClsId);
}

void TdmqelXML::loadScope()
{
    Collection &c = *m_collect;
    const QSqlDatabase db = qqoVxGlobConn();
    const TVxFieldValues values = valuesOf({{"iClsId", iClsId},
                                            {"iAnsSesDwgId", iAnsSesDwgId},
                                            {"iAnaId", iAnaId},
                                            {"iAnsId", iAnsId}});
    const auto read = [&](const char *sql, const std::function<void(const QSqlQuery &)> &row) {
        VxEachRow(db, QLatin1String(sql), values,
                  [&row](const QSqlQuery &query, const QSqlRecord &) { row(query); });
    };
    // The folder's plans, and the pupils who would go out with them now.
    QSet<int> plans;
    TClientDataSet &pupils = *c.packet(kPupils);
    for (pupils.First(); !pupils.Eof(); pupils.Next())
        if (intField(pupils, "ICLSID") == iClsId && pupils.FindField(QStringLiteral("iPstId")))
            plans.insert(intField(pupils, "iPstId"));
    const QSet<int> folderSits(c.carried.cbegin(), c.carried.cend());
    int sessionKind = 0;
    read("SELECT d.iSfiId, (SELECT FIRST 1 s.iClsSesId FROM TClsSes s WHERE s.iClsId = :iClsId "
         "AND s.iAnsSesDwgId = d.iAnsSesDwgId) FROM TAnsSesDwg d WHERE d.iAnsSesDwgId = "
         ":iAnsSesDwgId",
         [&](const QSqlQuery &q) {
             sessionKind = q.value(0).toInt();
             if (sessionKind == 2 || sessionKind == 3)
                 c.creditSession = q.value(1).toInt();
         });
    read("SELECT s.iSitId, s.iAnaId, TRIM(a.sAnaCognome) || ' ' || TRIM(a.sAnaNome), "
         "s.iSitOrdine, s.iSitPosReg, p.iPstId, s.iPosFinId_Sosp FROM TSit_Situazioni s "
         "JOIN TClsPst p ON p.iClsPstId = s.iClsPstId "
         "LEFT JOIN TAna_Anagrafiche a ON a.iAnaId = s.iAnaId WHERE p.iClsId = :iClsId "
         "ORDER BY s.iSitPosReg, s.iSitId",
         [&](const QSqlQuery &q) {
             const int sit = q.value(0).toInt();
             c.classSitPupils.insert(sit, q.value(1).toInt());
             // As the export chooses them: first situations on the register, of the folder's
             // plans, in a deferred session the suspended ones.
             const bool sent = q.value(3).toInt() == 1 && q.value(4).toInt() > 0 &&
                               (plans.isEmpty() || plans.contains(q.value(5).toInt())) &&
                               (sessionKind != 3 || !q.isNull(6));
             if (sent && !folderSits.contains(sit))
                 c.notInFolder << QStringLiteral(
                                      "L'alunno %1 (situazione %2) non è nella cartella: "
                                      "i suoi dati restano come erano.")
                                      .arg(q.value(2).toString())
                                      .arg(sit);
         });
    read("SELECT ps.iSitId, a.iAnsId FROM " QEL_PUPIL_SITS
         "LEFT JOIN TAns_AnniScolast a ON a.dAnsVextoInizio = ps.dStart",
         [&c](const QSqlQuery &q) { c.pupilSits.insert(q.value(0).toInt(), q.value(1).toInt()); });
    const auto subject = [&c](const QSqlQuery &q) { c.sesMats << q.value(0).toInt(); };
    read(iMode == 1
             ? "SELECT m.iClsSesMatId, t.sMatLDesc FROM TClsSesMat m JOIN TClsSes s ON "
               "s.iClsSesId = m.iClsSesId LEFT JOIN TMatRma r ON r.iMatRmaId = m.iMatRmaId "
               "LEFT JOIN TMat_Materie t ON t.iMatId = r.iMatId WHERE s.iClsId = :iClsId AND "
               "s.iAnsSesDwgId = :iAnsSesDwgId"
             : "SELECT m.iClsSesMatId, t.sMatLDesc FROM TClsSesMat m JOIN TClsSes s ON "
               "s.iClsSesId = m.iClsSesId LEFT JOIN TMatRma mr ON mr.iMatRmaId = m.iMatRmaId "
               "LEFT JOIN TMat_Materie t ON t.iMatId = mr.iMatId WHERE s.iClsId = :iClsId AND "
               "s.iAnsSesDwgId = :iAnsSesDwgId AND EXISTS (SELECT 1 FROM TMatRma r JOIN "
               "TClsMatAna a ON a.iMatId = r.iMatId WHERE r.iMatRmaId = m.iMatRmaId AND "
               "a.iClsId = :iClsId AND a.iAnaId = :iAnaId)",
         subject);
    if (c.packet(kMakeUps))
        read("SELECT iAnsFreDwgId FROM TAnsFreDwg WHERE iAnsId = :iAnsId",
             [&c](const QSqlQuery &q) { c.yearPhases.insert(q.value(0).toInt()); });
    if (iMode == 1)
        return;
    read("SELECT iMatId FROM TClsMatAna WHERE iClsId = :iClsId AND iAnaId = :iAnaId",
         [&c](const QSqlQuery &q) { c.teacherMats.insert(q.value(0).toInt()); });
    read("SELECT iSitId, iMatId FROM TDeb_Debiti WHERE iAnaId_Ver = :iAnaId",
         [&c](const QSqlQuery &q) {
             c.verifiedDebts.insert({q.value(0).toInt(), q.value(1).toInt()});
         });
}

void TdmqelXML::checkFolder()
{
    Collection &c = *m_collect;
    const QString folder = QDir::toNativeSeparators(FolderFile(QString()));
    // Another school's folder: its ids would name this school's rows.
    TClientDataSet &school = *c.packet(kSchool);
    school.First();
    const QString theirs =
        school.IsEmpty() ? QString() : field(school, "sSedMecCod").toString().trimmed();
    QString ours;
    bool first = true;
    VxEachRow(
        qqoVxGlobConn(), QelXmlSql::infoSed(), {},
        [&](const QSqlQuery &query, const QSqlRecord &record) {
            if (std::exchange(first, false))
                ours =
                    query.value(record.indexOf(QStringLiteral("sSedMecCod"))).toString().trimmed();
        });
    if (theirs != ours)
        throw EVxException(QStringLiteral("La cartella %1 è di un'altra scuola: il codice "
                                          "meccanografico del suo file %2 è \"%3\", quello di "
                                          "questa scuola \"%4\". La raccolta non può partire e "
                                          "nessun dato è stato modificato.")
                               .arg(folder, kSchool, theirs, ours));
    loadScope();
    TClientDataSet &sessions = *c.packet(kSessions);
    for (sessions.First(); !sessions.Eof(); sessions.Next()) {
        c.folderClasses.insert(intField(sessions, "iClsId"));
        if (intField(sessions, "iClsId") == iClsId)
            c.className = field(sessions, "sClsDesc").toString().trimmed();
    }
    if (c.className.isEmpty())
        c.className = sClsDesc.isEmpty() ? QString::number(iClsId) : sClsDesc;
    const QString &cls = c.className;

    // Every row the collection would write is checked first: one outside the class (or the
    // teacher's subjects) refuses the folder, and nothing is written.
    QStringList shown;
    int faults = 0;
    const auto fault = [&](const QString &file, int row, const QString &why) {
        if (shown.size() < kFaultsShown)
            shown << QStringLiteral("  %1, riga %2: %3").arg(file).arg(row).arg(why);
        ++faults;
    };
    // Numbers beyond the database's are told as such; rows outside the class (or the teacher's
    // subjects) as not belonging to them.
    const auto refuse = [&](bool numbers) {
        if (faults > shown.size())
            shown << MoreRowsLine(faults - kFaultsShown);
        const QString whose =
            iMode == 1 ? QStringLiteral("della classe ") + cls
                       : QStringLiteral("del docente %1 nella classe %2").arg(sDocNome, cls);
        return EVxException(
            QStringLiteral("La cartella %1 non è stata raccolta: %2.\r\r%3\r\rNessun dato è "
                           "stato modificato.")
                .arg(
                    folder,
                    numbers
                        ? (faults == 1 ? QStringLiteral("una riga ha un valore che non è un "
                                                        "numero intero che il database possa "
                                                        "contenere")
                                       : QStringLiteral("%1 righe hanno valori che non sono "
                                                        "numeri interi che il database possa "
                                                        "contenere")
                                             .arg(faults))
                        : (faults == 1
                               ? QStringLiteral("una riga non appartiene ai dati ")
                               : QStringLiteral("%1 righe non appartengono ai dati ").arg(faults)) +
                              whose,
                    shown.join(QLatin1Char('\r'))));
    };
    const auto each = [&](const QString &file,
                          const std::function<void(const TClientDataSet &, int)> &check) {
        if (TClientDataSet *packet = c.packet(file)) {
            int row = 0;
            for (packet->First(); !packet->Eof(); packet->Next())
                check(*packet, ++row);
        }
    };
    // A number beyond the database's keys would be read as another row's key, a text that
    // names none as no key: every key of the folder is read before any is used.
    for (const auto &[file, packet] : c.packets)
        each(file, [&](const TClientDataSet &p, int row) {
            const QString why = QelCollectedValues::KeysFault(p);
            if (why.isEmpty())
                return;
            // The row's pupil and subject, where it names them, as they came.
            const QVariant sit = field(p, "iSitId");
            fault(file, row,
                  !p.FindField(QStringLiteral("iSitId"))
                      ? why
                      : (p.FindField(QStringLiteral("iClsSesMatId"))
                             ? c.values.Who(sit, field(p, "iClsSesMatId"))
                         : p.FindField(QStringLiteral("iMatId"))
                             ? c.values.Who(sit, field(p, "iMatId"), true)
                             : c.values.Who(sit)) +
                            QStringLiteral(": ") + why);
        });
    if (faults > 0)
        throw refuse(true);
    // The collected class's rows are checked; a teacher folder's other classes come in their own
    // turn; a row of any other class is foreign.
    const auto ofClass = [&](const QString &file, const TClientDataSet &packet, int row,
                             const char *column) {
        const int rowClass = intField(packet, column);
        if (rowClass == iClsId)
            return true;
        if (iMode != 1 && c.folderClasses.contains(rowClass))
            return false;
        fault(file, row,
              iMode == 1 ? QStringLiteral("la riga è della classe %1, non della classe %2")
                               .arg(rowClass)
                               .arg(cls)
                         : QStringLiteral("la riga è della classe %1, che non è tra quelle della "
                                          "cartella")
                               .arg(rowClass));
        return false;
    };
    const auto pupil = [&](const QString &file, int row, int sit) {
        if (c.classSitPupils.contains(sit))
            return true;
        fault(file, row,
              QStringLiteral("%1 non è un alunno della classe %2").arg(c.values.Who(sit), cls));
        return false;
    };
    if (iMode != 1) {
        QSet<int> teacherClasses;
        VxEachRow(qqoVxGlobConn(),
                  QStringLiteral("SELECT DISTINCT a.iClsId FROM TClsMatAna a WHERE a.iAnaId = "
                                 ":iAnaId AND EXISTS (SELECT 1 FROM TClsSes s WHERE s.iClsId = "
                                 "a.iClsId AND s.iAnsSesDwgId = :iAnsSesDwgId)"),
                  valuesOf({{"iAnaId", iAnaId}, {"iAnsSesDwgId", iAnsSesDwgId}}),
                  [&](const QSqlQuery &query, const QSqlRecord &) {
                      teacherClasses.insert(query.value(0).toInt());
                  });
        each(kSessions, [&](const TClientDataSet &p, int row) {
            if (!teacherClasses.contains(intField(p, "iClsId")))
                fault(kSessions, row,
                      QStringLiteral("la classe %1 non è tra quelle del docente %2")
                          .arg(intField(p, "iClsId"))
                          .arg(sDocNome));
        });
    }
    each(kPupils, [&](const TClientDataSet &p, int row) {
        if (ofClass(kPupils, p, row, "ICLSID"))
            pupil(kPupils, row, intField(p, "ISITID"));
    });
    const QSet<int> subjects(c.sesMats.cbegin(), c.sesMats.cend());
    for (int kind = 0; kind <= 5; ++kind) {
        const QString file = packetOf(kind);
        each(file, [&](const TClientDataSet &p, int row) {
            if (!ofClass(file, p, row, "iClsId") || !pupil(file, row, intField(p, "iSitId")) ||
                subjects.contains(intField(p, "iClsSesMatId")))
                return;
            const QString who = c.values.Who(intField(p, "iSitId"), intField(p, "iClsSesMatId"));
            fault(file, row,
                  iMode == 1 ? QStringLiteral("%1: la materia non è della classe %2 nella "
                                              "sessione di lavoro")
                                   .arg(who, cls)
                             : QStringLiteral("%1: la materia non è tra quelle del docente %2 "
                                              "nella classe %3 nella sessione di lavoro")
                                   .arg(who, sDocNome, cls));
        });
    }
    const QString debts = packetOf(7);
    each(debts, [&](const TClientDataSet &p, int row) {
        const int sit = intField(p, "iSitId"), mat = intField(p, "iMatId");
        // Named only for a line.
        const auto debt = [&] {
            return c.values.Who(sit, mat, true) + QStringLiteral(": il debito");
        };
        // A class folder carries its pupils' debts of every year, each row with the class of
        // its year: this year's are replaced, every one's verification updated.
        if (iMode == 1) {
            const bool replaced =
                intField(p, "iClsId") == iClsId && intField(p, "iAnsId") == iAnsId;
            if (replaced ? !c.classSits.contains(sit) ||
                               c.classSitPupils.value(sit) != intField(p, "iAnaId")
                         : !c.pupilSits.contains(sit))
                fault(debts, row,
                      debt() + QStringLiteral(" non è di un alunno della classe ") + cls);
            return;
        }
        // A teacher updates the verifications of his subjects in the class and of the debts he
        // verifies.
        if (!c.classPupils.contains(intField(p, "iAnaId")) && intField(p, "iAnaId_Ver") != iAnaId)
            return;
        if (!(c.pupilSits.contains(sit) && c.teacherMats.contains(mat)) &&
            !c.verifiedDebts.contains({sit, mat}) && !debtGone(sit, mat))
            fault(debts, row, debt() + QStringLiteral(" non è tra quelli del docente ") + sDocNome);
    });
    for (const int kind : {8, 9}) {
        const QString file = packetOf(kind);
        each(file, [&](const TClientDataSet &p, int row) {
            if (ofClass(file, p, row, "iClsId") && pupil(file, row, intField(p, "iSitId")) &&
                kind == 8 && intField(p, "iAnsSesDwgId") != iAnsSesDwgId)
                fault(file, row,
                      QStringLiteral("%1: il giudizio è %2, non di quella di lavoro")
                          .arg(c.values.Who(intField(p, "iSitId")),
                               YearSessionText(intField(p, "iAnsSesDwgId"))));
        });
    }
    each(packetOf(10), [&](const TClientDataSet &p, int row) {
        const int sit = intField(p, "iSitId");
        if (!c.classSits.contains(sit)) {
            if (iMode == 1 || !c.folderSits.contains(sit))
                fault(packetOf(10), row,
                      QStringLiteral("la situazione %1 non è tra gli alunni della classe %2 in %3")
                          .arg(sit)
                          .arg(cls, kPupils));
            return;
        }
        if (c.classSitPupils.value(sit) != intField(p, "iAnaId"))
            fault(
                packetOf(10), row,
                QStringLiteral("la competenza della situazione %1 è di un altro alunno").arg(sit));
    });
    each(kCredits, [&](const TClientDataSet &p, int row) {
        const int sit = intField(p, "iSitId");
        if (intField(p, "iCreId") != 0 && !c.pupilSits.contains(sit))
            fault(kCredits, row,
                  QStringLiteral("%1: il credito non è di un alunno della classe %2")
                      .arg(c.values.Who(sit), cls));
    });
    // The make-up records of the working year only: a row of another year's phase would move
    // its pupil's records out of this year's make-up windows.
    each(kMakeUps, [&](const TClientDataSet &p, int row) {
        if (intField(p, "iSitId") <= 0 || intField(p, "iMatId") <= 0 ||
            !pupil(kMakeUps, row, intField(p, "iSitId")))
            return;
        if (!c.yearPhases.contains(intField(p, "iAnsFreDwgId")))
            fault(kMakeUps, row,
                  QStringLiteral("%1: il recupero è della fase %2, che non è dell'anno di lavoro")
                      .arg(c.values.Who(intField(p, "iSitId"), intField(p, "iMatId"), true),
                           field(p, "iAnsFreDwgId").toString()));
    });
    if (faults > 0)
        throw refuse(false);
}

QStringList TdmqelXML::CollectLog() const
{
    return m_collect ? m_collect->log : QStringList();
}

int TdmqelXML::RefusedRows() const
{
    return m_collect ? m_collect->refused : 0;
}

QStringList TdmqelXML::CollectData()
{
    TVxHourglass hourglass;
    TfmqelWait wait(iMode == 1 ? QStringLiteral("Raccolta dati della classe: ") + sClsDesc
                               : QStringLiteral("Raccolta dati del docente: ") + sDocNome,
                    TfmqelWait::Centred, lCancel);
    m_wait = &wait;
    wait.ShowWait();
    struct Done
    {
        QPointer<TfmqelWait> &wait;
        ~Done() { wait = nullptr; }
    } done{m_wait};

    // A folder the run has just checked is collected as it was read.
    if (const auto checked = m_checked.find(collectionKey()); checked != m_checked.end()) {
        m_collect = checked->second;
        m_checked.erase(checked);
    } else {
        LoadCollectPackets();
    }
    const auto rowsOf = [this](int step) {
        return [this, step](TVxTransaction &tr) { return StepRows(step, tr); };
    };
    const auto run = [&](const QString &what, int step,
                         const std::function<void(TVxTransaction &)> &work) {
        CollectStep(what, work, {}, rowsOf(step));
    };
    run(QStringLiteral("frequenza"), kStepAttendance,
        [this](TVxTransaction &tr) { ImportAttendance(tr); });
    run(QStringLiteral("data di scrutinio"), kStepScrutinyDate,
        [this](TVxTransaction &tr) { ImportScrutinyDate(tr); });
    const auto replace = [&](int kind) {
        run(QLatin1String(collectKind(kind).name), kind, [this, kind](TVxTransaction &tr) {
            if (kind <= 2)
                readRetiredLevelsStored(kind, tr);
            DeleteKindData(kind, tr);
            ImportKindData(kind, tr);
        });
    };
    for (int kind = 0; kind <= 5; ++kind)
        if (m_collect->packet(packetOf(kind)))
            replace(kind);
    if (m_collect->packet(packetOf(10)))
        replace(10);
    if (iDeb == 1) {
        if (iMode == 1)
            replace(7);
        run(QStringLiteral("verifiche dei debiti"), kStepDebtVerifications,
            [this](TVxTransaction &tr) {
                iMode == 1 ? UpdateClassDebts(tr) : UpdateTeacherDebts(tr);
            });
    }
    if (iMode == 1) {
        if (iEsi == 1)
            replace(9);
        if (iCre == 1)
            run(QStringLiteral("crediti"), kStepCredits,
                [this](TVxTransaction &tr) { ImportCredits(tr); });
        if (iGdz == 1)
            replace(8);
        run(QStringLiteral("recuperi"), kStepMakeUps,
            [this](TVxTransaction &tr) { ImportRecuperi(tr); });
    }
    return m_collect->log;
}

namespace {

// A step's transaction: one of its own, or in a collection run the run's, the step under a
// savepoint: taken back alone, or stored by a commit that keeps the run's statements prepared.
class StepTransaction
{
public:
    explicit StepTransaction(TVxTransaction *run) : m_run(run) {}
    StepTransaction(const StepTransaction &) = delete;
    StepTransaction &operator=(const StepTransaction &) = delete;

    TVxTransaction &Start()
    {
        TVxTransaction &tr = m_run ? *m_run : m_own;
        // A run whose transaction a lost server ended starts again, on the connection opened
        // again.
        if (!tr.InTransaction() && !tr.StartTransaction())
            throw EVxException(tr.lastError());
        if (m_run) {
            m_run->Exec(QStringLiteral("SAVEPOINT QEL_STEP"), {});
            m_underSavepoint = true;
        }
        return tr;
    }
    void Rollback()
    {
        if (!m_run) {
            m_own.Rollback();
            return;
        }
        if (!std::exchange(m_underSavepoint, false) || !m_run->InTransaction())
            return;
        try {
            m_run->Exec(QStringLiteral("ROLLBACK TO SAVEPOINT QEL_STEP"), {});
        } catch (const EVxException &) {
            m_run->Rollback();
        }
    }
    void Commit()
    {
        if (!m_run) {
            m_own.Commit();
            return;
        }
        m_run->Exec(QStringLiteral("RELEASE SAVEPOINT QEL_STEP ONLY"), {});
        m_underSavepoint = false;
        m_run->CommitRetaining();
    }

private:
    TVxTransaction *m_run;
    TVxTransaction m_own{qqoVxGlobConn()};
    bool m_underSavepoint = false;
};

} // namespace

TdmqelXML::CollectionRun::CollectionRun(TdmqelXML &xml)
    : m_xml(xml), m_tr(std::make_unique<TVxTransaction>(qqoVxGlobConn()))
{
    if (!m_tr->StartTransaction())
        throw EVxException(m_tr->lastError());
    m_xml.m_runTransaction = m_tr.get();
}

TdmqelXML::CollectionRun::~CollectionRun()
{
    m_xml.m_runTransaction = nullptr;
    m_xml.m_checked.clear();
}

void TdmqelXML::CollectionRun::Commit()
{
    if (m_tr->InTransaction())
        m_tr->CommitRetaining();
}

void TdmqelXML::CollectStep(const QString &what, const std::function<void(TVxTransaction &)> &step,
                            const std::function<int()> &refusedRows,
                            const std::function<QStringList(TVxTransaction &)> &rows)
{
    if (m_wait)
        m_wait->Refresh();
    const auto refused = [&] { return refusedRows ? refusedRows() : RefusedRows(); };
    const int refusedBefore = refused();
    StepTransaction tr(m_runTransaction);
    TqelChangeCounts counts;
    try {
        TVxTransaction &work = tr.Start();
        const QStringList before = rows ? rows(work) : QStringList();
        step(work);
        // A kind with a row not written keeps what it holds: it would otherwise lose, to its
        // deletion, what the row was to bring back.
        if (refused() > refusedBefore) {
            tr.Rollback();
            m_collect->log << QStringLiteral("I dati \"%1\" non sono stati raccolti e restano "
                                             "come erano.")
                                  .arg(what);
            return;
        }
        if (rows)
            counts = TqelChangeCounts::Between(before, rows(work));
        tr.Commit();
    } catch (const EVxException &e) {
        tr.Rollback();
        const QStringList &stored = m_collect->stored;
        throw EVxException(
            QStringLiteral("La raccolta si è interrotta sui dati \"%1\", che restano come erano."
                           "\r\r%2\r\r%3")
                .arg(what, e.message(),
                     stored.isEmpty()
                         ? QStringLiteral("Nessun dato era già stato raccolto.")
                         : QStringLiteral("Dati già raccolti: %1.").arg(stored.join(", "))),
            e.severity(), e.detail());
    }
    m_collect->stored << what;
    if (!counts.IsEmpty())
        m_collect->changes << counts.Line(what);
}

QStringList TdmqelXML::CollectSummary() const
{
    return CollectionSummary(NotInFolder(), ChangeLines());
}

QStringList TdmqelXML::NotInFolder() const
{
    return m_collect ? m_collect->notInFolder : QStringList();
}

QStringList TdmqelXML::ChangeLines() const
{
    return m_collect ? m_collect->changes : QStringList();
}

QString CollectionEndMessage(const QString &done, const QStringList &log,
                             const QStringList &summary)
{
    const QString tail =
        summary.isEmpty() ? QString() : QStringLiteral("\r\r") + summary.join(QLatin1Char('\r'));
    return (log.isEmpty() ? done : NotCollectedMessage(log)) + tail;
}

QString MoreRowsLine(qsizetype more)
{
    return more == 1 ? QStringLiteral("  ... e un'altra riga.")
                     : QStringLiteral("  ... e altre %1 righe.").arg(more);
}

bool TdmqelXML::debtGone(int sitId, int matId) const
{
    bool gone = false;
    VxEachRow(
        qqoVxGlobConn(), QelDocFolderSql::debtGone(),
        valuesOf({{"iSitId", sitId}, {"iMatId", matId}, {"iAnsId", iAnsId}, {"iDocId", iAnaId}}),
        [&gone](const QSqlQuery &, const QSqlRecord &) { gone = true; });
    return gone;
}

QString NotCollectedMessage(const QStringList &log)
{
    // The first rows refused and the count of the others, as a folder refused shows them: one
    // row repeated through a whole packet would otherwise be as many lines.
    QStringList shown;
    qsizetype rows = 0, more = -1;
    for (const QString &line : log) {
        if (!line.startsWith(QLatin1Char(' ')))
            shown << line;
        else if (++rows <= kFaultsShown)
            shown << line;
        else if (more < 0) {
            more = shown.size();
            shown << QString();
        }
    }
    if (more >= 0)
        shown[more] = MoreRowsLine(rows - kFaultsShown);
    return QStringLiteral("Righe non raccolte: %1.\r\r").arg(rows) +
           shown.join(QStringLiteral("\r\n"));
}

namespace {

// The failures that are no row's own: they end the step, rolled back whole.
bool endsTheStep(const TVxTransaction &tr, const EVxException &e)
{
    return !tr.InTransaction() || endsTheWork(e);
}

QString errorLine(const EVxException &e)
{
    return QStringLiteral("  ***ERRORE*** ") +
           OneLine(e.detail().isEmpty() ? e.message() : e.message() + u' ' + e.detail());
}

// who: the row's pupil and subject (QelCollectedValues::Who).
QString outsideClass(const QString &packet, const QString &who, const QString &classDesc)
{
    return QStringLiteral("  %1: %2: la riga è fuori dai dati della classe %3: non è stata "
                          "raccolta.")
        .arg(packet, who, classDesc);
}

// Writes the rows, each row's failure its own (VxWriteEachRow): a refused row is listed.
void writeRows(TVxTransaction &tr, Refusals refusals, qsizetype count,
               const std::function<void(qsizetype)> &write)
{
    VxWriteEachRow(tr, count, write,
                   [&refusals](qsizetype, const EVxException &e) { refusals.add(errorLine(e)); });
}

} // namespace

void TdmqelXML::ImportAttendance(TVxTransaction &tr)
{
    TClientDataSet &pupils = *m_collect->packet(kPupils);
    if (!pupils.FindField(QStringLiteral("Frequenza")))
        return;
    QList<TVxFieldValues> rows;
    for (pupils.First(); !pupils.Eof(); pupils.Next()) {
        const QString code = field(pupils, "Frequenza").toString().toUpper();
        TVxFieldValues values;
        values.setValue(QStringLiteral("iSitId"), intField(pupils, "ISITID"));
        values.setValue(QStringLiteral("iClsId"), iClsId);
        values.setValue(QStringLiteral("iFreqId"), code == u"D" ? 2 : code == u"N" ? 3 : 1);
        values.setValue(QStringLiteral("lEmpty"), code.isEmpty());
        rows << values;
    }
    QSet<qsizetype> outside;
    writeRows(tr, Refusals{m_collect->log, m_collect->refused}, rows.size(), [&](qsizetype row) {
        // The export writes "" for every code but 2 and 3: an empty code takes back only
        // those, so that a code the folder cannot carry comes back as it was.
        const bool empty = rows[row].value(QStringLiteral("lEmpty")).toBool();
        const int changed = tr.ExecChanged(
            QStringLiteral("UPDATE TSit_Situazioni SET iFreqId = :iFreqId WHERE iSitId = :iSitId "
                           "AND ") +
                (empty ? QStringLiteral("iFreqId IN (2, 3) AND ") : QString()) +
                QStringLiteral(QEL_CLASS_SIT),
            rows[row]);
        if (changed == 0 && !empty)
            outside.insert(row);
        else
            outside.remove(row);
    });
    for (qsizetype row = 0; row < rows.size(); ++row)
        if (outside.contains(row))
            Refusals{m_collect->log, m_collect->refused}.add(outsideClass(
                kPupils, m_collect->values.Who(rows[row].value(QStringLiteral("iSitId")).toInt()),
                sClsDesc));
}

void TdmqelXML::DeleteKindData(int kind, TVxTransaction &tr)
{
    if (m_wait)
        m_wait->Refresh();
    Collection &c = *m_collect;
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsId"), iClsId);
    values.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    values.setValue(QStringLiteral("iAnsId"), iAnsId);
    if (kind <= 5) {
        static const char *const tables[] = {"TVot_Voti",    "TVtp_Proposti", "TTas_Tassonomie",
                                             "TAss_Assenze", "TAiu_Aiuti",    "TNot_Note"};
        // Only the folder's pupils: one who joined the class since the send keeps his values.
        const QString sql =
            QStringLiteral("DELETE FROM %1 v WHERE ").arg(QLatin1String(tables[kind])) +
            valueScope(kind);
        for (const TVxFieldValues &chunk : valueChunks(kind, tr))
            tr.Exec(sql, chunk);
        return;
    }
    if (kind == 7 || kind == 10) {
        // Only the pupils the folder carries: a class sent for one plan, or only its suspended
        // or admitted pupils, keeps the other pupils' rows.
        const QString sql =
            kind == 7
                ? QStringLiteral(
                      "DELETE FROM TDeb_Debiti d WHERE d.iSitId = :iSitId AND EXISTS "
                      "(SELECT 1 FROM TSit_Situazioni s JOIN TClsPst p ON p.iClsPstId = "
                      "s.iClsPstId JOIN TAns_AnniScolast a ON a.dAnsVextoInizio = s.dStart "
                      "WHERE s.iSitId = d.iSitId AND p.iClsId = :iClsId AND a.iAnsId = :iAnsId)")
                : QStringLiteral("DELETE FROM TCOMP_COMPETENZE WHERE ISITID = :iSitId AND EXISTS "
                                 "(SELECT 1 FROM TSit_Situazioni s JOIN TClsPst p ON p.iClsPstId = "
                                 "s.iClsPstId WHERE s.iSitId = :iSitId AND p.iClsId = :iClsId)");
        for (const int sit : c.classSits) {
            values.setValue(QStringLiteral("iSitId"), sit);
            tr.Exec(sql, values);
        }
        return;
    }
    if (kind == 8) {
        // The folder's pupils, whom the check found in the class.
        for (const TVxFieldValues &chunk : VxKeyChunks(c.carried, values))
            tr.Exec(VxKeysSql(QStringLiteral("DELETE FROM TGdz_Giudizi WHERE iAnsSesDwgId = "
                                             ":iAnsSesDwgId AND iSitId IN (%KEYS%)")),
                    chunk);
        return;
    }
    if (kind == 9) {
        // Only the situations ClsFin.xml carries back, for the same reason as the debts.
        TClientDataSet &outcomes = *c.packet(packetOf(9));
        for (outcomes.First(); !outcomes.Eof(); outcomes.Next()) {
            if (intField(outcomes, "iClsId") != iClsId)
                continue;
            values.setValue(QStringLiteral("iSitId"), intField(outcomes, "iSitId"));
            tr.Exec(QStringLiteral(
                        "UPDATE TSit_Situazioni t SET iPosFinId = NULL WHERE t.iSitId = :iSitId "
                        "AND EXISTS (SELECT 1 FROM TClsPst p WHERE p.iClsPstId = t.iClsPstId "
                        "AND p.iClsId = :iClsId)"),
                    values);
        }
    }
}

namespace {

// Writes rows whose statement checks its own scope: a row that touches nothing lies outside
// the collected class, and is listed instead of written. keyColumn, when given, takes a new
// key of keyTable.
void writeScopedRows(TVxTransaction &tr, Refusals refusals, QList<TVxFieldValues> &rows,
                     const QString &sql, const char *keyColumn, const char *keyTable,
                     const std::function<QString(const TVxFieldValues &)> &outsideLine)
{
    QSet<qsizetype> outside;
    writeRows(tr, refusals, rows.size(), [&](qsizetype row) {
        if (keyColumn)
            rows[row].setValue(QLatin1String(keyColumn),
                               VxNewKey(qqoVxGlobConn(), QLatin1String(keyTable)));
        if (tr.ExecChanged(sql, rows[row]) == 0)
            outside.insert(row);
        else
            outside.remove(row);
    });
    for (qsizetype row = 0; row < rows.size(); ++row)
        if (outside.contains(row))
            refusals.add(outsideLine(rows[row]));
}

} // namespace

void TdmqelXML::ImportKindData(int kind, TVxTransaction &tr)
{
    if (m_wait)
        m_wait->Refresh();
    Collection &c = *m_collect;
    const CollectKind &rule = collectKind(kind);
    const QString packetName = packetOf(kind);
    TClientDataSet &packet = *c.packet(packetName);
    const QSet<int> classSits(c.classSits.cbegin(), c.classSits.cend());
    // Each statement holds its row to the class's situations and, for kinds 0 to 5, to the
    // class-session subjects of the working year-session (the teacher's own in a teacher
    // folder), as the database holds them: the folder's own lists may lie.
    QString subjects = QStringLiteral(
        "EXISTS (SELECT 1 FROM TClsSesMat m JOIN TClsSes x ON x.iClsSesId = m.iClsSesId WHERE "
        "m.iClsSesMatId = :iClsSesMatId AND x.iClsId = :iClsId AND x.iAnsSesDwgId = :iWorkSes");
    if (iMode != 1)
        subjects += QStringLiteral(" AND EXISTS (SELECT 1 FROM TMatRma r JOIN TClsMatAna a ON "
                                   "a.iMatId = r.iMatId WHERE r.iMatRmaId = m.iMatRmaId AND "
                                   "a.iClsId = :iClsId AND a.iAnaId = :iTeacher)");
    subjects += u')';
    QString scope = QStringLiteral(QEL_CLASS_SIT);
    if (kind <= 5)
        scope += QStringLiteral(" AND ") + subjects;
    else if (kind == 7)
        scope = QStringLiteral("EXISTS (SELECT 1 FROM TSit_Situazioni cs JOIN TClsPst cp ON "
                               "cp.iClsPstId = cs.iClsPstId WHERE cs.iAnaId = :iAnaId AND "
                               "cp.iClsId = :iClsId)");
    else if (kind == 8)
        scope += QStringLiteral(" AND EXISTS (SELECT 1 FROM TClsSes x WHERE x.iClsId = :iClsId "
                                "AND x.iAnsSesDwgId = :iAnsSesDwgId AND x.iAnsSesDwgId = "
                                ":iWorkSes)");
    else if (kind == 10)
        scope = QStringLiteral("EXISTS (SELECT 1 FROM TSit_Situazioni cs JOIN TClsPst cp ON "
                               "cp.iClsPstId = cs.iClsPstId WHERE cs.iSitId = :ISITID AND "
                               "cs.iAnaId = :IANAID AND cp.iClsId = :iClsId)");
    const QString sql =
        kind == 9 ? QStringLiteral("UPDATE TSit_Situazioni t SET iPosFinId = :iPosFinId WHERE "
                                   "t.iSitId = :iSitId AND ") +
                        scope
                  : scopedInsert(rule.table, rule.typed, scope);
    const QString where =
        iMode == 1 ? QStringLiteral("della classe %1").arg(sClsDesc)
                   : QStringLiteral("delle materie del docente %1 nella classe").arg(sDocNome);
    // The row's pupil and subject, as every line names them.
    const auto who = [&](const TVxFieldValues &row) {
        const int sit =
            row.value(kind == 10 ? QStringLiteral("ISITID") : QStringLiteral("iSitId")).toInt();
        return kind <= 5   ? c.values.Who(sit, row.value(QStringLiteral("iClsSesMatId")).toInt())
               : kind == 7 ? c.values.Who(sit, row.value(QStringLiteral("iMatId")).toInt(), true)
                           : c.values.Who(sit);
    };
    const auto outside = [&](const QString &who) {
        return QStringLiteral("  %1: %2: la riga è fuori dai dati %3: non è stata raccolta.")
            .arg(packetName, who, where);
    };
    // The collections' rule of the kind (competences have none of their own).
    const QelCollectKind *collected = nullptr;
    for (const QelCollectKind &k : QelCollectedValues::Kinds())
        collected = kind != 10 && qstrcmp(k.name, rule.name) == 0 ? &k : collected;
    QList<TVxFieldValues> rows;
    for (packet.First(); !packet.Eof(); packet.Next()) {
        if (kind != 10 && intField(packet, "iClsId") != iClsId)
            continue;
        if (kind == 7 && intField(packet, "iAnsId") != iAnsId)
            continue;
        // Rows of the folder's other pupils are collected with their own class.
        const int sit = intField(packet, "iSitId");
        if ((kind == 7 || kind == 10) && !classSits.contains(sit)) {
            if (kind == 7 || !c.folderSits.contains(sit))
                Refusals{c.log, c.refused}.add(
                    outside(kind == 7 ? c.values.Who(sit, intField(packet, "iMatId"), true)
                                      : c.values.Who(sit)));
            continue;
        }
        TVxFieldValues values;
        values.setValue(QStringLiteral("iClsId"), iClsId);
        values.setValue(QStringLiteral("iWorkSes"), iAnsSesDwgId);
        values.setValue(QStringLiteral("iTeacher"), iAnaId);
        const auto copy = [&](const char *name) {
            values.setValue(QLatin1String(name), field(packet, name));
        };
        switch (kind) {
        case 0:
        case 1:
        case 2:
            copy("iCmpScaId");
            values.setValue(QLatin1String(kind == 1 ? "iPrpScaLivId" : "iScaLivId"),
                            field(packet, "iValId"));
            break;
        case 3:
            values.setValue(QStringLiteral("iAssOre"), field(packet, "iValId"));
            break;
        case 4:
            values.setValue(QStringLiteral("sAiuVal"), field(packet, "sValSDesc"));
            break;
        case 5:
            for (const char *name : {"dNotData", "bNotNota", "iAnaId"})
                copy(name);
            break;
        case 7:
            for (const char *name : {"iAnaId", "iMatId", "dDebAttr", "dDebVer", "bDebNota"})
                copy(name);
            values.setValue(QStringLiteral("iAnsId"), iAnsId);
            for (const char *name : {"iAnaId_Attr", "iAnaId_Ver", "iDesDedId", "iDtpDtdId"})
                values.setValue(QLatin1String(name), keyField(packet, name));
            break;
        case 8:
            for (const char *name : {"iAnsSesDwgId", "bGdzGiudizio"})
                copy(name);
            break;
        case 9:
            values.setValue(QStringLiteral("iPosFinId"), keyField(packet, "iPosFinId"));
            break;
        case 10:
            values.setValue(QStringLiteral("IANAID"), field(packet, "iAnaId"));
            values.setValue(QStringLiteral("ISITID"), sit);
            values.setValue(QStringLiteral("ICOMPASSEID"), field(packet, "iCompAsseId"));
            values.setValue(QStringLiteral("SCOMPNOTE"), field(packet, "sCompNote"));
            values.setValue(QStringLiteral("ICOMPLIVID"), numberField(packet, "iCompLivId"));
            values.setValue(QStringLiteral("ILINGUASTRANIERAID"),
                            numberField(packet, "iLinguaStranieraId"));
            break;
        }
        if (kind <= 5)
            copy("iClsSesMatId");
        if (kind != 10)
            copy("iSitId");
        // A value the grade grid would refuse is no more taken from a folder.
        if (collected) {
            TVxFieldValues measured = values;
            measured.setValue(QStringLiteral("iScaLivId"), field(packet, "iValId"));
            const QString why = c.values.Refusal(
                *collected, measured,
                c.storedLevels.value(levelKey(kind, sit, intField(packet, "iClsSesMatId"),
                                              intField(packet, "iCmpScaId"))));
            if (!why.isEmpty()) {
                Refusals{c.log, c.refused}.add(QStringLiteral("  %1: %2: %3 Il dato non è stato "
                                                              "raccolto.")
                                                   .arg(packetName, who(values), why));
                continue;
            }
        }
        if (kind != 9 && kind != 10) {
            // Rows the teachers' program made may lack their dates: those of a new row of the
            // year, as grade entry gives them.
            const auto date = [&](const char *name, const QDate &fallback) {
                const QVariant value = field(packet, name);
                values.setValue(QLatin1String(name), value.isNull()
                                                         ? (qstrcmp(name, "dInsert") == 0
                                                                ? QVariant(fallback.startOfDay())
                                                                : QVariant(fallback))
                                                         : value);
            };
            date("dInsert", c.yearStart);
            date("dStart", c.yearStart);
            date("dEnd", c.yearEnd);
        }
        rows << values;
    }
    rows = withoutRepeats(rows, rule.duplicateKey, Refusals{c.log, c.refused},
                          [&](const TVxFieldValues &row) {
                              return QStringLiteral("  %1: %2: %3")
                                  .arg(packetName, who(row), QelCollectRepeats::Cause());
                          });
    const QString key =
        rule.typed ? QString::fromLatin1(rule.typed).section(u' ', 0, 0) : QString();
    const QByteArray keyName = key.toLatin1();
    const QByteArray keyTable = QByteArray(rule.table ? rule.table : "").toUpper();
    writeScopedRows(tr, Refusals{c.log, c.refused}, rows, sql,
                    rule.typed ? keyName.constData() : nullptr, keyTable.constData(),
                    [&](const TVxFieldValues &row) { return outside(who(row)); });
}

void TdmqelXML::readRetiredLevelsStored(int kind, TVxTransaction &tr)
{
    Collection &c = *m_collect;
    TClientDataSet &packet = *c.packet(packetOf(kind));
    bool retired = false;
    for (packet.First(); !packet.Eof() && !retired; packet.Next())
        retired =
            intField(packet, "iClsId") == iClsId &&
            c.values.LevelRetired(kind, intField(packet, "iCmpScaId"), field(packet, "iValId"));
    if (!retired)
        return;
    static const char *const tables[] = {"TVot_Voti", "TVtp_Proposti", "TTas_Tassonomie"};
    const QString sql = QStringLiteral("SELECT v.iSitId, m.iClsSesMatId, m.iCmpScaId, v.%1 FROM "
                                       "%2 v JOIN TClsMatCmp m ON m.iClsMatCmpId = v.iClsMatCmpId "
                                       "WHERE ")
                            .arg(QLatin1String(kind == 1 ? "iPrpScaLivId" : "iScaLivId"),
                                 QLatin1String(tables[kind])) +
                        valueScope(kind);
    for (const TVxFieldValues &chunk : valueChunks(kind, tr)) {
        QSqlQuery &query = tr.Exec(sql, chunk);
        while (fetchNext(query))
            c.storedLevels.insert(levelKey(kind, query.value(0).toInt(), query.value(1).toInt(),
                                           query.value(2).toInt()),
                                  query.value(3));
        query.finish();
    }
}

QString TdmqelXML::valueLine(const QString &packet, int sitId, const QString &why)
{
    return QStringLiteral("  %1: %2: %3 Il dato non è stato raccolto.")
        .arg(packet, m_collect->values.Who(sitId), why);
}

QString TdmqelXML::valueScope(int kind) const
{
    // Through the subjects' (or components') index: the pupils of the school's other classes are
    // never read. The pupils are then picked among the few rows of those.
    return VxKeysSql(
        VxKeysSql(QStringLiteral("v.%1 IN (%SUBJECTS%) AND v.iSitId + 0 IN (%KEYS%)")
                      .arg(QLatin1String(kind <= 2 ? "iClsMatCmpId" : "iClsSesMatId"))),
        QStringLiteral("%SUBJECTS%"), QStringLiteral("s"));
}

QList<TVxFieldValues> TdmqelXML::valueChunks(int kind, TVxTransaction &tr)
{
    Collection &c = *m_collect;
    if (kind <= 2 && !c.componentsRead) {
        for (const TVxFieldValues &chunk : VxKeyChunks(c.sesMats)) {
            QSqlQuery &query =
                tr.Exec(VxKeysSql(QStringLiteral(
                            "SELECT iClsMatCmpId FROM TClsMatCmp WHERE iClsSesMatId IN (%KEYS%)")),
                        chunk);
            while (fetchNext(query))
                c.components << query.value(0).toInt();
            query.finish();
        }
        c.componentsRead = true;
    }
    QList<TVxFieldValues> chunks;
    for (const TVxFieldValues &pupils : VxKeyChunks(c.carried, scopeValues()))
        chunks << VxKeyChunks(kind <= 2 ? c.components : c.sesMats, pupils, QStringLiteral("s"));
    return chunks;
}

TVxFieldValues TdmqelXML::scopeValues() const
{
    return valuesOf({{"iClsId", iClsId},
                     {"iAnsSesDwgId", iAnsSesDwgId},
                     {"iAnaId", iAnaId},
                     {"iAnsId", iAnsId}});
}

QStringList TdmqelXML::StepRows(int step, TVxTransaction &tr)
{
    Collection &c = *m_collect;
    // Most read the folder's pupils, in chunks (VxKeyChunks); the others find their situations.
    std::optional<QList<int>> sits = c.carried;
    const bool values = step >= 0 && step <= 5;
    QString sql;
    int keys = 2;
    switch (step) {
    case 0:
    case 1:
    case 2: {
        static const char *const tables[] = {"TVot_Voti", "TVtp_Proposti", "TTas_Tassonomie"};
        sql = QStringLiteral("SELECT v.iClsMatCmpId, v.iSitId, v.%1, v.dStart, v.dEnd FROM %2 v "
                             "WHERE ")
                  .arg(QLatin1String(step == 1 ? "iPrpScaLivId" : "iScaLivId"),
                       QLatin1String(tables[step])) +
              valueScope(step);
        break;
    }
    case 3:
    case 4:
        sql = QStringLiteral("SELECT v.iClsSesMatId, v.iSitId, v.%1, v.dStart, v.dEnd FROM %2 v "
                             "WHERE ")
                  .arg(QLatin1String(step == 3 ? "iAssOre" : "sAiuVal"),
                       QLatin1String(step == 3 ? "TAss_Assenze" : "TAiu_Aiuti")) +
              valueScope(step);
        break;
    case 5:
        sql = QStringLiteral("SELECT v.iClsSesMatId, v.iSitId, v.dNotData, v.bNotNota, v.iAnaId, "
                             "v.dStart, v.dEnd FROM TNot_Note v WHERE ") +
              valueScope(step);
        break;
    case 7:
    case kStepDebtVerifications: {
        // The debts of the class's pupils, of every year, and in a teacher folder those he
        // verifies of other pupils.
        sits.reset();
        const QString columns =
            QStringLiteral("SELECT d.iSitId, d.iMatId, d.dDebAttr, d.dDebVer, d.iAnaId_Attr, "
                           "d.iAnaId_Ver, d.iDesDedId, d.iDtpDtdId, d.bDebNota, d.dStart, d.dEnd ");
        sql = columns + QStringLiteral("FROM " QEL_PUPIL_SITS "JOIN TDeb_Debiti d ON d.iSitId = "
                                       "ps.iSitId");
        if (iMode != 1)
            sql += QStringLiteral(" UNION ALL ") + columns +
                   QStringLiteral("FROM TDeb_Debiti d WHERE d.iAnaId_Ver = :iAnaId AND NOT ") +
                   QStringLiteral(QEL_PUPIL_SIT)
                       .replace(QStringLiteral(":iSitId"), QStringLiteral("d.iSitId"));
        break;
    }
    case 8:
        sql = QStringLiteral("SELECT iSitId, iAnsSesDwgId, bGdzGiudizio, dStart, dEnd FROM "
                             "TGdz_Giudizi WHERE iAnsSesDwgId = :iAnsSesDwgId AND iSitId IN "
                             "(%KEYS%)");
        break;
    case 10:
        sql = QStringLiteral("SELECT ISITID, ICOMPASSEID, IANAID, ICOMPLIVID, ILINGUASTRANIERAID, "
                             "SCOMPNOTE FROM TCOMP_COMPETENZE WHERE ISITID IN (%KEYS%)");
        break;
    case 9:
    case kStepAttendance:
    case kStepScrutinyDate:
        keys = 1;
        sql = QStringLiteral("SELECT iSitId, %1 FROM TSit_Situazioni WHERE iSitId IN (%KEYS%)")
                  .arg(QLatin1String(step == 9                 ? "iPosFinId"
                                     : step == kStepAttendance ? "iFreqId"
                                                               : "dSitEsito"));
        break;
    case kStepCredits:
        keys = 1;
        sits.reset();
        sql = QStringLiteral(
            "SELECT k.iSitId, k.iCreCredito, k.iCrePerMedia, k.iBndId, k.iCreOutBanda, "
            "k.fCreMediaVoti, k.iCreFrmSco, k.iCreSosp, k.iCreRecup, k.iEncId, k.bCreNota, "
            "k.lCreUnanimCre, k.dStart, k.dEnd, (SELECT COUNT(*) FROM TCreFrm f WHERE "
            "f.iCreId = k.iCreId), (SELECT COUNT(*) FROM TCreSco f WHERE f.iCreId = "
            "k.iCreId) FROM " QEL_PUPIL_SITS "JOIN TCre_Crediti k ON k.iSitId = ps.iSitId");
        break;
    case kStepMakeUps:
        sits = makeUpSits();
        sql = QStringLiteral("SELECT iSitId, iMatId, iAnsFreDwgId, iTreId, iEreId, dRecAttr, "
                             "dRecVer, iPvrId FROM TRec_Recuperi WHERE iSitId IN (%KEYS%)");
        break;
    default:
        return {};
    }
    QStringList rows;
    const auto read = [&](const QString &text, const TVxFieldValues &values) {
        QSqlQuery &query = tr.Exec(text, values);
        while (fetchNext(query)) {
            QStringList row;
            for (int i = 0; i < query.record().count(); ++i)
                row << (query.isNull(i) ? QStringLiteral("-") : query.value(i).toString());
            rows << row.mid(0, keys).join(u'|') + u'\t' + row.mid(keys).join(u'|');
        }
        query.finish();
    };
    if (values) {
        for (const TVxFieldValues &chunk : valueChunks(step, tr))
            read(sql, chunk);
        return rows;
    }
    if (!sits) {
        read(sql, scopeValues());
        return rows;
    }
    for (const TVxFieldValues &chunk : VxKeyChunks(*sits, scopeValues()))
        read(VxKeysSql(sql), chunk);
    return rows;
}

void TdmqelXML::ImportScrutinyDate(TVxTransaction &tr)
{
    Collection &c = *m_collect;
    if (c.generalUnread) {
        c.log << QStringLiteral("  outfin\\DatiGen.cds non si legge: data di scrutinio non "
                                "raccolta");
        return;
    }
    TClientDataSet *general = c.packet(kGeneral);
    if (!general || general->IsEmpty() || !general->FindField(QStringLiteral("DataScrutinio")))
        return;
    general->First();
    QList<TVxFieldValues> rows;
    for (const int sit : c.classSits) {
        TVxFieldValues values;
        values.setValue(QStringLiteral("iSitId"), sit);
        values.setValue(QStringLiteral("iClsId"), iClsId);
        values.setValue(QStringLiteral("dSitEsito"), dateField(*general, "DataScrutinio"));
        rows << values;
    }
    writeScopedRows(tr, Refusals{m_collect->log, m_collect->refused}, rows,
                    QStringLiteral("UPDATE TSit_Situazioni SET dSitEsito = :dSitEsito "
                                   "WHERE iSitId = :iSitId AND " QEL_CLASS_SIT),
                    nullptr, nullptr, [this](const TVxFieldValues &row) {
                        return outsideClass(
                            kPupils,
                            m_collect->values.Who(row.value(QStringLiteral("iSitId")).toInt()),
                            sClsDesc);
                    });
}

namespace {

// The verification of one debt as ClsDeb.xml's current row carries it.
TVxFieldValues debtVerification(const TClientDataSet &debts, int classId)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsId"), classId);
    values.setValue(QStringLiteral("iSitId"), field(debts, "iSitId"));
    values.setValue(QStringLiteral("iMatId"), field(debts, "iMatId"));
    values.setValue(QStringLiteral("dDebVer"), dateField(debts, "dDebVer"));
    values.setValue(QStringLiteral("iDesDedId"), keyField(debts, "iDesDedId"));
    values.setValue(QStringLiteral("bDebNota"), noteField(debts, "bDebNota"));
    return values;
}

const char *const kDebtUpdate =
    "UPDATE TDeb_Debiti d SET dDebVer = :dDebVer, iDesDedId = :iDesDedId, bDebNota = :bDebNota "
    "WHERE d.iSitId = :iSitId AND d.iMatId = :iMatId AND ";

} // namespace

void TdmqelXML::UpdateClassDebts(TVxTransaction &tr)
{
    Collection &c = *m_collect;
    TClientDataSet &debts = *c.packet(packetOf(7));
    QList<TVxFieldValues> rows;
    // The class's debts of the working year are replaced whole with the debts (kind 7), or kept
    // whole when a row of theirs was refused: only the others are verified here.
    for (debts.First(); !debts.Eof(); debts.Next())
        if (intField(debts, "iClsId") != iClsId || intField(debts, "iAnsId") != iAnsId)
            rows << debtVerification(debts, iClsId);
    // A debt gone is one of a subject the database holds: a subject it lacks had none.
    updateDebts(tr, rows, QStringLiteral(QEL_PUPIL_SIT),
                QStringLiteral("SELECT 1 FROM TMat_Materie m WHERE m.iMatId = :iMatId AND NOT "
                               "EXISTS (SELECT 1 FROM TDeb_Debiti g WHERE g.iSitId = :iSitId AND "
                               "g.iMatId = :iMatId) AND " QEL_PUPIL_SIT),
                QStringLiteral("della classe ") + sClsDesc);
}

void TdmqelXML::UpdateTeacherDebts(TVxTransaction &tr)
{
    Collection &c = *m_collect;
    TClientDataSet &pupils = *c.packet(kPupils);
    QSet<int> classPupils;
    for (pupils.First(); !pupils.Eof(); pupils.Next())
        if (intField(pupils, "ICLSID") == iClsId)
            classPupils.insert(intField(pupils, "IANAID"));
    // The class's pupils in the teacher's subjects, and every debt he verifies, whoever
    // teaches the pupil: both are his to update.
    TClientDataSet &debts = *c.packet(packetOf(7));
    QList<TVxFieldValues> rows;
    for (debts.First(); !debts.Eof(); debts.Next()) {
        if (!classPupils.contains(intField(debts, "iAnaId")) &&
            intField(debts, "iAnaId_Ver") != iAnaId)
            continue;
        rows << debtVerification(debts, iClsId);
        rows.last().setValue(QStringLiteral("iTeacher"), iAnaId);
        rows.last().setValue(QStringLiteral("iDocId"), iAnaId);
        rows.last().setValue(QStringLiteral("iAnsId"), iAnsId);
    }
    updateDebts(tr, rows,
                QStringLiteral("((" QEL_PUPIL_SIT " AND EXISTS (SELECT 1 FROM TClsMatAna a WHERE "
                               "a.iAnaId = :iTeacher AND a.iMatId = d.iMatId AND a.iClsId = "
                               ":iClsId)) OR d.iAnaId_Ver = :iTeacher)"),
                QelDocFolderSql::debtGone(), QStringLiteral("del docente ") + sDocNome);
}

void TdmqelXML::updateDebts(TVxTransaction &tr, const QList<TVxFieldValues> &rows,
                            const QString &scope, const QString &gone, const QString &whose)
{
    Collection &c = *m_collect;
    Refusals refusals{c.log, c.refused};
    const QelCollectKind &kind = QelCollectedValues::Kind("verifiche dei debiti");
    const auto who = [&c](const TVxFieldValues &row) {
        return c.values.Who(row.value(QStringLiteral("iSitId")).toInt(),
                            row.value(QStringLiteral("iMatId")).toInt(), true);
    };
    // A debt given twice with other verifications is no verification of it: neither is written.
    QelCollectRepeats repeats;
    const QStringList key{QStringLiteral("iSitId"), QStringLiteral("iMatId")},
        verification{QStringLiteral("dDebVer"), QStringLiteral("iDesDedId"),
                     QStringLiteral("bDebNota")};
    for (const TVxFieldValues &row : rows)
        repeats.Note(QelCollectRepeats::Text(row, key), QelCollectRepeats::Text(row, verification));
    QList<TVxFieldValues> kept;
    for (TVxFieldValues row : rows) {
        QString why;
        switch (repeats.Take(QelCollectRepeats::Text(row, key))) {
        case QelCollectRepeats::First:
            why = c.values.Refusal(kind, row);
            break;
        case QelCollectRepeats::Conflict:
            why = QelCollectRepeats::Cause();
            break;
        case QelCollectRepeats::Again:
        case QelCollectRepeats::Told:
            continue;
        }
        if (why.isEmpty())
            kept << row;
        else
            refusals.add(QStringLiteral("  %1: %2: %3").arg(packetOf(7), who(row), why));
    }
    QSet<qsizetype> outside;
    writeRows(tr, refusals, kept.size(), [&](qsizetype row) {
        if (tr.ExecChanged(QLatin1String(kDebtUpdate) + scope, kept[row]) == 0)
            outside.insert(row);
        else
            outside.remove(row);
    });
    for (qsizetype row = 0; row < kept.size(); ++row) {
        if (!outside.contains(row))
            continue;
        // A debt the office deleted since the send has nothing to verify: told, and no refusal
        // of the others, nor of the teacher's collection.
        QSqlQuery &deleted = tr.Exec(gone, kept[row]);
        const bool wasDeleted = fetchNext(deleted);
        deleted.finish();
        if (wasDeleted)
            c.log << QStringLiteral("  %1: %2: %3")
                         .arg(packetOf(7), who(kept[row]), QelCollectedValues::DebtDeleted());
        else
            refusals.add(QStringLiteral("  %1: %2: il debito è fuori dai dati %3: la verifica "
                                        "non è stata raccolta.")
                             .arg(packetOf(7), who(kept[row]), whose));
    }
}

void TdmqelXML::ImportCredits(TVxTransaction &tr)
{
    Collection &c = *m_collect;
    TClientDataSet *credits = c.packet(kCredits);
    if (!credits)
        return;
    QList<int> sits;
    for (credits->First(); !credits->Eof(); credits->Next())
        if (intField(*credits, "iCreId") != 0 && !sits.contains(intField(*credits, "iSitId")))
            sits << intField(*credits, "iSitId");
    // Each pupil's credit and items are one unit, taken back alone when refused so that the
    // others are still tried and every refusal listed.
    for (const int sit : sits) {
        if (m_wait)
            m_wait->Refresh();
        try {
            VxUnderSavepoint(tr, [&] { ImportPupilCredit(sit, tr); });
        } catch (const EVxException &e) {
            if (endsTheStep(tr, e))
                throw;
            Refusals{m_collect->log, m_collect->refused}.add(errorLine(e));
        }
    }
}

void TdmqelXML::ImportEachPupil(TVxTransaction &tr, void (TdmqelXML::*step)(int, TVxTransaction &))
{
    Collection &c = *m_collect;
    for (const int sit : c.classSits) {
        try {
            VxUnderSavepoint(tr, [&] { (this->*step)(sit, tr); });
        } catch (const EVxException &e) {
            if (endsTheStep(tr, e))
                throw;
            Refusals{m_collect->log, m_collect->refused}.add(errorLine(e));
        }
    }
}

void TdmqelXML::ImportPupilCredit(int sitId, TVxTransaction &tr)
{
    Collection &c = *m_collect;
    if (!c.packet(kCredits))
        return;
    TClientDataSet &credits = *c.packet(kCredits);
    // A pupil has one credit a year: a second row of his is that credit again, or another
    // that cannot be told from it.
    QStringList rows;
    const QList<TFieldDef> defs = credits.FieldDefs();
    for (credits.First(); !credits.Eof(); credits.Next()) {
        if (intField(credits, "iSitId") != sitId || intField(credits, "iCreId") == 0)
            continue;
        QStringList row;
        for (const TFieldDef &def : defs)
            row << QelCollectedValues::PacketValue(credits, def.Name).toString();
        rows << row.join(u'|');
    }
    rows.removeDuplicates();
    if (rows.size() > 1) {
        Refusals{c.log, c.refused}.add(
            QStringLiteral("  %1: %2: %3")
                .arg(kCredits, c.values.Who(sitId), QelCollectRepeats::Cause()));
        return;
    }
    if (!locateSituation(credits, sitId) || intField(credits, "iCreId") == 0)
        return;
    const int oldCredit = intField(credits, "iCreId");
    TVxFieldValues values;
    values.setValue(QStringLiteral("iSitId"), sitId);
    values.setValue(QStringLiteral("iClsId"), iClsId);
    // The row's credit as the credits grid holds it: its numbers, band, flag and commendation.
    const QStringList creditColumns{QStringLiteral("iCreCredito"), QStringLiteral("iCrePerMedia"),
                                    QStringLiteral("iBndId"),      QStringLiteral("iCreOutBanda"),
                                    QStringLiteral("iCreFrmSco"),  QStringLiteral("iCreSosp"),
                                    QStringLiteral("iCreRecup"),   QStringLiteral("iEncId")};
    for (const QString &name : creditColumns) {
        const QByteArray column = name.toLatin1();
        values.setValue(name, name == u"iBndId" || name == u"iEncId"
                                  ? keyField(credits, column.constData())
                                  : field(credits, column.constData()));
    }
    // The average the credits grid would measure it by: of the situation's year, of the class
    // session's votes for this year's credit.
    const int year = c.pupilSits.value(sitId);
    values.setValue(QStringLiteral("iAnsId"), year);
    values.setValue(QStringLiteral("iClsSesId"), year == iAnsId ? c.creditSession : 0);
    // What the packet does not carry, the office's own choices, stays as the credit had it.
    values.setValue(QStringLiteral("lCreConsideraCurrDis"), QVariant());
    values.setValue(QStringLiteral("iCreMediaVoti"), QVariant());
    QVariant unanimous;
    QStringList stored;
    std::optional<TValCredito> storedCredit;
    QSqlQuery &kept = tr.Exec(QStringLiteral("SELECT lCreConsideraCurrDis, iCreMediaVoti, "
                                             "lCreUnanimCre, ") +
                                  creditColumns.join(QStringLiteral(", ")) +
                                  QStringLiteral(" FROM TCre_Crediti WHERE iSitId = :iSitId"),
                              values);
    if (fetchNext(kept)) {
        values.setValue(QStringLiteral("lCreConsideraCurrDis"), kept.value(0));
        values.setValue(QStringLiteral("iCreMediaVoti"), kept.value(1));
        unanimous = kept.value(2);
        for (int i = 0; i < creditColumns.size(); ++i)
            stored << numberText(kept.value(3 + i));
        storedCredit = TValCredito{kept.value(3).toInt(),
                                   kept.value(4).toInt(),
                                   kept.value(5).toInt(),
                                   kept.value(6).toInt(),
                                   0,
                                   kept.value(7).toInt(),
                                   kept.value(8).toInt(),
                                   kept.value(9).toInt(),
                                   kept.value(10).toInt(),
                                   {}};
    }
    kept.finish();
    // A credit the folder brings back as stored is left as the office has it; another is
    // measured as the credits grid measures it, its band the one the pupil's average gives.
    QStringList brought;
    for (const QString &name : creditColumns)
        brought << numberText(values.value(name));
    if (brought != stored) {
        if (const QString why = c.values.Refusal(QelCollectedValues::Kind("crediti"), values, {},
                                                 storedCredit ? &*storedCredit : nullptr);
            !why.isEmpty()) {
            Refusals{c.log, c.refused}.add(valueLine(kCredits, sitId, why));
            return;
        }
    }
    // The deletions hold the same scope as the insert: a pupil outside the class loses nothing.
    for (const char *sql :
         {"DELETE FROM TCreFrm f WHERE f.iCreId IN (SELECT k.iCreId FROM TCre_Crediti k WHERE "
          "k.iSitId = :iSitId) AND " QEL_PUPIL_SIT,
          "DELETE FROM TCreSco f WHERE f.iCreId IN (SELECT k.iCreId FROM TCre_Crediti k WHERE "
          "k.iSitId = :iSitId) AND " QEL_PUPIL_SIT,
          "DELETE FROM TCre_Crediti k WHERE k.iSitId = :iSitId AND " QEL_PUPIL_SIT})
        tr.Exec(QLatin1String(sql), values);
    const int newCredit = VxNewKey(qqoVxGlobConn(), QStringLiteral("TCRE_CREDITI"));
    values.setValue(QStringLiteral("iCreId"), newCredit);
    for (const char *name : {"bCreNota", "dInsert", "dStart", "dEnd"})
        values.setValue(QLatin1String(name), field(credits, name));
    values.setValue(QStringLiteral("fCreMediaVoti"), field(credits, "fCreMediaVoti").toDouble());
    // Unanimity of the pupil's own row of the summary; none (an earlier year's credit), or no
    // credit voted, says nothing, and the stored one stays.
    TClientDataSet *summary = c.packet(kSummary);
    if (summary && locateSituation(*summary, sitId) && field(*summary, "Cr").toDouble() > 0)
        unanimous = field(*summary, "Cr_UM").toString().trimmed() == u"U" ? 1 : 0;
    values.setValue(QStringLiteral("lCreUnanimCre"), unanimous);
    static const QString insert =
        scopedInsert("TCre_Crediti",
                     "iCreId INTEGER, iSitId INTEGER, iCreCredito INTEGER, iCrePerMedia INTEGER, "
                     "iBndId INTEGER, iCreOutBanda INTEGER, fCreMediaVoti DOUBLE PRECISION, "
                     "iCreFrmSco INTEGER, iCreSosp INTEGER, iCreRecup INTEGER, iEncId INTEGER, "
                     "bCreNota BLOB SUB_TYPE TEXT, dInsert TIMESTAMP, dStart DATE, dEnd DATE, "
                     "lCreUnanimCre SMALLINT, lCreConsideraCurrDis SMALLINT, iCreMediaVoti INTEGER",
                     QEL_PUPIL_SIT);
    if (tr.ExecChanged(insert, values) == 0) {
        Refusals{m_collect->log, m_collect->refused}.add(
            outsideClass(kCredits, c.values.Who(sitId), sClsDesc));
        return;
    }
    struct Items
    {
        const QString &packet;
        const char *table, *key, *item;
    };
    for (const Items &items : {Items{kTrainingItems, "TCreFrm", "iCreFrmId", "iFrmId"},
                               Items{kSchoolItems, "TCreSco", "iCreScoId", "iScoId"}}) {
        TClientDataSet &packet = *c.packet(items.packet);
        const QString sql = QStringLiteral("INSERT INTO %1 (%2, iCreId, %3, dInsert, dStart, dEnd) "
                                           "VALUES (:iKey, :iCreId, :iItem, :dInsert, :dStart, "
                                           ":dEnd)")
                                .arg(QLatin1String(items.table), QLatin1String(items.key),
                                     QLatin1String(items.item));
        for (packet.First(); !packet.Eof(); packet.Next()) {
            if (intField(packet, "iCreId") != oldCredit)
                continue;
            TVxFieldValues item;
            item.setValue(QStringLiteral("iKey"),
                          VxNewKey(qqoVxGlobConn(), QLatin1String(items.table)));
            item.setValue(QStringLiteral("iCreId"), newCredit);
            item.setValue(QStringLiteral("iItem"), keyField(packet, items.item));
            for (const char *name : {"dInsert", "dStart", "dEnd"})
                item.setValue(QLatin1String(name), field(packet, name));
            tr.Exec(sql, item);
        }
    }
}

namespace {

const char *const kMakeUpDelete =
    "DELETE FROM TRec_Recuperi r WHERE r.iSitId = :iSitId AND " QEL_CLASS_SIT;

} // namespace

QList<int> TdmqelXML::makeUpSits() const
{
    // The folder's pupils, and those Rec.xml has records of (the check found them in the class).
    QSet<int> sits(m_collect->carried.cbegin(), m_collect->carried.cend());
    if (TClientDataSet *makeUps = m_collect->packet(kMakeUps))
        for (makeUps->First(); !makeUps->Eof(); makeUps->Next())
            if (intField(*makeUps, "iSitId") > 0 && intField(*makeUps, "iMatId") > 0)
                sits.insert(intField(*makeUps, "iSitId"));
    QList<int> list(sits.cbegin(), sits.cend());
    std::sort(list.begin(), list.end());
    return list;
}

QList<TVxFieldValues> TdmqelXML::makeUpRows(int sitId)
{
    TClientDataSet &makeUps = *m_collect->packet(kMakeUps);
    QList<TVxFieldValues> rows;
    for (makeUps.First(); !makeUps.Eof(); makeUps.Next()) {
        const int sit = intField(makeUps, "iSitId");
        if (sit <= 0 || intField(makeUps, "iMatId") <= 0 || (sitId != 0 && sit != sitId))
            continue;
        TVxFieldValues values;
        values.setValue(QStringLiteral("iClsId"), iClsId);
        for (const char *name : {"iTreId", "iEreId", "iMatId", "iSitId", "iAnsFreDwgId", "dRecAttr",
                                 "dRecVer", "iPvrId"})
            values.setValue(QLatin1String(name), field(makeUps, name));
        rows << values;
    }
    // The duplicate check of the make-up records takes them as one; the grid's rules hold.
    const QelCollectKind &kind = QelCollectedValues::Kind("recuperi");
    QList<TVxFieldValues> measured;
    for (TVxFieldValues &row : withoutRepeats(
             rows, "iAnsFreDwgId iSitId iMatId", Refusals{m_collect->log, m_collect->refused},
             [this](const TVxFieldValues &row) {
                 return QStringLiteral("  %1: %2: %3")
                     .arg(kMakeUps, makeUpWho(row), QelCollectRepeats::Cause());
             })) {
        if (const QString why = m_collect->values.Refusal(kind, row); !why.isEmpty())
            Refusals{m_collect->log, m_collect->refused}.add(
                QStringLiteral("  %1: %2: %3 Il dato non è stato raccolto.")
                    .arg(kMakeUps, makeUpWho(row), why));
        else
            measured << row;
    }
    return measured;
}

QString TdmqelXML::makeUpWho(const TVxFieldValues &row)
{
    return m_collect->values.Who(row.value(QStringLiteral("iSitId")).toInt(),
                                 row.value(QStringLiteral("iMatId")).toInt(), true);
}

static const char *const kMakeUpColumns =
    "iRecId INTEGER, iTreId INTEGER, iEreId INTEGER, iMatId INTEGER, iSitId INTEGER, "
    "iAnsFreDwgId INTEGER, dRecAttr DATE, dRecVer DATE, iPvrId INTEGER";

void TdmqelXML::ImportRecuperi(TVxTransaction &tr)
{
    Collection &c = *m_collect;
    if (!c.packet(kMakeUps))
        return;
    // A packet whose rows all lack a pupil or a subject still empties the records of the
    // folder's pupils, whom the check found in the class; a pupil it does not carry keeps his.
    for (const TVxFieldValues &chunk : VxKeyChunks(makeUpSits()))
        tr.Exec(VxKeysSql(QStringLiteral("DELETE FROM TRec_Recuperi WHERE iSitId IN (%KEYS%)")),
                chunk);
    QList<TVxFieldValues> rows = makeUpRows(0);
    writeScopedRows(tr, Refusals{m_collect->log, m_collect->refused}, rows,
                    scopedInsert("TRec_Recuperi", kMakeUpColumns, QEL_CLASS_SIT), "iRecId",
                    "TREC_RECUPERI", [this](const TVxFieldValues &row) {
                        return outsideClass(kMakeUps, makeUpWho(row), sClsDesc);
                    });
}

void TdmqelXML::ImportPupilRecuperi(int sitId, TVxTransaction &tr)
{
    // Situation 0 would take every pupil's rows (makeUpRows).
    if (sitId <= 0 || !m_collect->packet(kMakeUps))
        return;
    TVxFieldValues values;
    values.setValue(QStringLiteral("iSitId"), sitId);
    values.setValue(QStringLiteral("iClsId"), iClsId);
    tr.Exec(QLatin1String(kMakeUpDelete), values);
    const QString insert = scopedInsert("TRec_Recuperi", kMakeUpColumns, QEL_CLASS_SIT);
    for (TVxFieldValues &row : makeUpRows(sitId)) {
        row.setValue(QStringLiteral("iRecId"),
                     VxNewKey(qqoVxGlobConn(), QStringLiteral("TREC_RECUPERI")));
        if (tr.ExecChanged(insert, row) == 0)
            Refusals{m_collect->log, m_collect->refused}.add(
                outsideClass(kMakeUps, makeUpWho(row), sClsDesc));
    }
}

#undef QEL_CLASS_SIT
#undef QEL_PUPIL_SIT
#undef QEL_PUPIL_SITS
