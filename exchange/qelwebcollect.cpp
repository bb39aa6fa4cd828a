#include "exchange/qelwebcollect.h"

#include "exchange/qelcollectedvalues.h"
#include "exchange/qeldocfoldersql.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebcollectsql.h"
#include "exchange/qelwebsendsql.h"
#include "exchange/qelxml.h"
#include "gradeentry/qevregolevalori.h"
#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/zip.h"
#include "shell/qelpargen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QSqlRecord>

#include <utility>

namespace {

const char kArchiveName[] = "twdocenti.zip";
const char kError[] = "  ***ERRORE*** ";

void addLine(QStringList *log, const QString &line)
{
    if (log)
        log->append(line);
}

// "  ***ERRORE*** " and the reason, on one line of the log.
void addError(QStringList *log, const QString &reason)
{
    addLine(log, QLatin1String(kError) + OneLine(reason));
}

// A packet's value, null as an invalid QVariant, a key as the number it names.
QVariant valueOf(const TClientDataSet &ds, const QString &column)
{
    return QelCollectedValues::PacketValue(ds, column);
}

bool isEmptyValue(const QVariant &value)
{
    return value.isNull() || value.toString().isEmpty();
}

// A text BLOB's value: null stays null.
QVariant textOrNull(const QVariant &value)
{
    return value.isNull() ? QVariant() : QVariant(value.toString());
}

QVariant dateOrNull(const QDate &date)
{
    return date.isValid() ? QVariant(date) : QVariant();
}

void openPacket(TClientDataSet &packet, const QString &path)
{
    if (QFileInfo(path).isFile())
        packet.LoadFromFile(path);
}

} // namespace

QelWebCollection::Flags QelWebCollection::ReadFlags()
{
    std::unique_ptr<TdmqelParGen> own;
    TdmqelParGen *p = dmqelParGen;
    if (!p) {
        own = std::make_unique<TdmqelParGen>();
        p = own.get();
    }
    const QList<QPair<QString, const TVxParInteger *>> flags = {
        {QStringLiteral("Vtp"), &p->xpiVtp}, {QStringLiteral("Tas"), &p->xpiTas},
        {QStringLiteral("Ass"), &p->xpiAss}, {QStringLiteral("Aiu"), &p->xpiAiu},
        {QStringLiteral("Not"), &p->xpiNot}, {QStringLiteral("Deb"), &p->xpiDeb}};
    Flags result;
    for (const auto &[name, flag] : flags)
        result.insert(name, flag->GetValore() == 1);
    return result;
}

const QStringList &QelWebCollection::PacketNames()
{
    static const QStringList names = {QStringLiteral("voti.xml"), QStringLiteral("debiti.xml"),
                                      QStringLiteral("classenote.xml")};
    return names;
}

void QelWebCollection::Unpack(const QString &folder)
{
    UnpackPackets(folder, QLatin1String(kArchiveName), PacketNames(),
                  QStringLiteral("i dati dei docenti"));
}

void QelWebCollection::UnpackPackets(const QString &folder, const QString &archiveName,
                                     const QStringList &packets, const QString &whatTheFirstHolds)
{
    const QString archive = folder + archiveName;
    TZip zip;
    zip.setFileName(archive);
    zip.setExtractPath(folder);
    zip.setOnlyEntries(packets);
    QStringList extracted;
    try {
        extracted = zip.Extract();
    } catch (const EVxException &e) {
        throw EVxException(QStringLiteral("Il file ricevuto dal server non è un archivio "
                                          "valido.\r\r") +
                           e.message());
    }
    const bool hasFirst = std::any_of(extracted.cbegin(), extracted.cend(), [&](const QString &f) {
        return QFileInfo(f).fileName() == packets.first();
    });
    if (!hasFirst) {
        for (const QString &file : std::as_const(extracted))
            QFile::remove(file);
        throw EVxException(QStringLiteral("Il file ricevuto dal server non contiene %1 (%2): "
                                          "nessun dato è stato raccolto.")
                               .arg(whatTheFirstHolds, packets.first()));
    }
    QFile::remove(archive);
}

void QelWebCollection::DeletePackets(const QString &folder, const QStringList &packets)
{
    for (const QString &name : packets) {
        QFile file(folder + name);
        if (file.exists() && !file.remove())
            throw EVxException(
                QStringLiteral("Impossibile cancellare il file %1: %2")
                    .arg(QDir::toNativeSeparators(file.fileName()), VxFileErrorText(file)));
    }
}

QStringList QelWebCollection::MissingPackets() const
{
    QStringList lines;
    const auto missing = [&](const TClientDataSet &packet, int name, const QString &what) {
        if (!packet.Active())
            lines << QLatin1String(kError) +
                         QStringLiteral("Il file %1 non è arrivato dal server: %2 non sono state "
                                        "raccolte.")
                             .arg(PacketNames().at(name), what);
    };
    if (flag("Deb"))
        missing(m_debiti, 1, QStringLiteral("le verifiche dei debiti"));
    missing(m_classNotes, 2, QStringLiteral("le note e le ore di classe"));
    return lines;
}

QelWebCollection::QelWebCollection(const QString &folder, int iAnsSesDwgId)
    : m_db(qqoVxGlobConn()), m_folder(folder), m_iAnsSesDwgId(iAnsSesDwgId),
      m_selfCommitting(std::make_unique<TVxSelfCommittingStatements>(m_db)),
      m_reads(std::make_unique<TVxSideReads>(m_db)), m_rules(std::make_unique<QelCollectedValues>())
{
    m_rules->SetConnection(m_reads->database());
    VxEachRow(m_db, QelWebCollectSql::sessionNumber(), valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}}),
              [this](const QSqlQuery &q, const QSqlRecord &) {
                  m_iSesId = q.value(0).toInt();
                  m_iAnsId = q.value(1).toInt();
              });
    const QString votes = folder + PacketNames().at(0);
    if (!QFileInfo(votes).isFile())
        throw EVxException(QStringLiteral("Dati dei docenti non trovati (%1): ripetere la "
                                          "ricezione dal server.")
                               .arg(QDir::toNativeSeparators(votes)));
    m_voti.LoadFromFile(votes);
    openPacket(m_debiti, folder + PacketNames().at(1));
    openPacket(m_classNotes, folder + PacketNames().at(2));
}

QelWebCollection::~QelWebCollection() = default;

QDate QelWebCollection::ParseItalianDate(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{2})/(\\d{2})/(\\d{4})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    return QDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
}

void QelWebCollection::LoadTeacherAssignments(TSQLClientDataSet &target, int iAnsSesDwgId,
                                              int iAnaId)
{
    target.Close();
    target.setCommandText(QelWebSendSql::clsMat());
    target.Params() = valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}, {"iAnaId", iAnaId}});
    target.Open();
}

QStringList QelWebCollection::AssignmentLines(const QSqlDatabase &reads, int iAnsSesDwgId,
                                              int iAnaId, const QString &clsFilter)
{
    TClientDataSet assignments;
    TVxTransactionScope scope(reads);
    assignments.FillFromQuery(scope.transaction().Exec(
        QelWebSendSql::clsMat(), valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}, {"iAnaId", iAnaId}})));
    scope.Commit();
    if (!clsFilter.isEmpty()) {
        assignments.setFilter(clsFilter);
        assignments.setFiltered(true);
    }
    QStringList lines;
    for (assignments.First(); !assignments.Eof(); assignments.Next())
        lines << QStringLiteral("  classe: ") +
                     assignments.FieldByName(QStringLiteral("sClsDesc"))->AsString() +
                     QStringLiteral("  Materia: ") +
                     assignments.FieldByName(QStringLiteral("sMatLDesc"))->AsString();
    return lines;
}

QSqlDatabase QelWebCollection::Reads() const
{
    return m_reads->database();
}

QString QelWebCollection::teacherFilter(const QString &filter) const
{
    return m_clsFilter.isEmpty() ? filter : filter + QStringLiteral(" AND (%1)").arg(m_clsFilter);
}

bool QelWebCollection::connectionFree(const QSqlDatabase &db, QStringList *log)
{
    // A value is not written beside work the program holds open on the connection.
    if (!TVxTransaction::activeOn(db))
        return true;
    addError(log, QStringLiteral("Un'altra transazione è in corso su questa connessione."));
    return false;
}

int QelWebCollection::WriteAlone(TVxSelfCommittingStatements &statements, const QSqlDatabase &db,
                                 QStringList *log, const QString &sql, const TVxFieldValues &values)
{
    if (!connectionFree(db, log))
        return -1;
    try {
        return statements.ExecChanged(sql, values);
    } catch (const EVxException &e) {
        // A failure that is no value's own would meet every value after it: the collection
        // stops there, told once.
        if (endsTheWork(e))
            throw;
        addError(log, e.message());
        return -1;
    }
}

bool QelWebCollection::writeValue(QStringList *log, const Write &write)
{
    return WriteLogged(m_db, log, write);
}

bool QelWebCollection::WriteLogged(const QSqlDatabase &db, QStringList *log, const Write &write)
{
    if (!connectionFree(db, log))
        return false;
    TVxTransaction tr(db, kTransactionId);
    if (!tr.StartTransaction()) {
        // A connection that could not be opened again: every value after it would fail too.
        if (!db.isOpen())
            throw connectionLostError(tr.lastError());
        addError(log, tr.lastError());
        return false;
    }
    try {
        write(tr);
        tr.Commit();
        return true;
    } catch (const EVxException &e) {
        tr.Rollback();
        if (endsTheWork(e))
            throw;
        addError(log, e.message());
        return false;
    }
}

QVariant QelWebCollection::PacketDate(const QVariant &value)
{
    return QelCollectedValues::DateOf(value);
}

int QelWebCollection::resolveSentId(TVxTransaction &tr, const QelWebCollectKind &kind,
                                    const QString &suffix, QStringList *log)
{
    const QString column = suffix.isEmpty() ? QStringLiteral("iClsSesMatId")
                                            : QStringLiteral("iClsMatCmpId_") + suffix;
    const int sent = valueOf(m_voti, column).toInt();
    if (!kind.checksSentId)
        return sent;
    if (tr.Exec(QelWebCollectSql::sentIdExists(kind), valuesOf({{kind.rowKey, sent}})).next())
        return sent;
    // An id that is not there: written nowhere, unless the office forces the collection and the
    // configuration of the session now has one id for the row's class, plan, subject and scale.
    if (!m_forced)
        return sent;
    TVxFieldValues values = valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId},
                                      {"iClsId", valueOf(m_voti, QStringLiteral("iClsId"))},
                                      {"iPstId", valueOf(m_voti, QStringLiteral("iPstId"))},
                                      {"iMatId", valueOf(m_voti, QStringLiteral("iMatId"))}});
    if (!suffix.isEmpty())
        values.setValue(QStringLiteral("iCmpScaId"),
                        valueOf(m_voti, QStringLiteral("iCmpScaId_") + suffix));
    QSqlQuery &search = tr.Exec(QelWebCollectSql::searchByConfiguration(kind), values);
    QList<int> found;
    while (found.size() < 2 && search.next())
        found << search.value(0).toInt();
    if (found.size() != 1)
        return sent;
    addLine(log, QStringLiteral("  ***ATTENZIONE*** %1: %2: %3 %4 non c'è più: la configurazione "
                                "della sessione è cambiata dopo l'invio, e il dato va al %3 %5 "
                                "della configurazione di oggi.")
                     .arg(PacketNames().at(0), rowWho(), QLatin1String(kind.rowKey))
                     .arg(sent)
                     .arg(found.first()));
    return found.first();
}

void QelWebCollection::requireInSession(TVxTransaction &tr, const QelWebCollectKind &kind, int id)
{
    const QVariant sit = valueOf(m_voti, QStringLiteral("iSitId"));
    const TVxFieldValues values = valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId},
                                            {"iSitId", sit},
                                            {kind.rowKey, id},
                                            {"iDocId", m_iDocId}});
    if (tr.Exec(QelWebCollectSql::targetInSession(kind), values).next())
        return;
    // The subject is the teacher's in the session: the pupil is not in its class (he left it
    // after the send), which is told once, by his name, for all his values in that class.
    if (tr.Exec(QelWebCollectSql::subjectOfTeacher(kind), values).next()) {
        m_outsidePupils.insert({sit.toInt(), classSessionOf(kind, id)});
        throw EVxException(QStringLiteral("%1: %2: l'alunno non è nella classe della materia "
                                          "nella sessione di lavoro: i suoi dati non sono stati "
                                          "scritti.")
                               .arg(PacketNames().at(0), rowWho()));
    }
    // Else the id: not there, of another session, or of a subject the teacher does not teach.
    readSession();
    int session = 0;
    bool there = false;
    QSqlQuery &where = tr.Exec(QelWebCollectSql::sessionOf(kind), values);
    if (fetchNext(where)) {
        there = true;
        session = where.value(0).toInt();
    }
    where.finish();
    const QString key = QStringLiteral("%1 %2").arg(QLatin1String(kind.rowKey)).arg(id);
    throw EVxException(
        QStringLiteral("%1: %2: %3: dato non scritto.")
            .arg(PacketNames().at(0), rowWho(),
                 !there ? QStringLiteral("%1 non c'è nell'archivio").arg(key)
                 : !m_sessionClasses.contains(session)
                     ? QStringLiteral("la materia (%1) è %2, non di quella di lavoro")
                           .arg(key, YearSessionText(session))
                     : QStringLiteral("la materia (%1) non è tra quelle del docente nelle classi "
                                      "della sessione di lavoro")
                           .arg(key)));
}

namespace {

// A value as the stored one reads beside it: dates as ISO text, texts as they are.
QString valueText(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("-");
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date().toString(Qt::ISODate);
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(value.toByteArray());
    return value.toString();
}

// Values as the stored ones read beside them, one text.
QString textOf(const TVxFieldValues &values)
{
    QStringList texts;
    for (int i = 0; i < values.size(); ++i)
        texts << valueText(values.value(i));
    return texts.join(u'|');
}

QString storedKey(const QelWebCollectKind &kind, const QVariant &sit, const QVariant &rowKey)
{
    return QStringLiteral("%1|%2|%3")
        .arg(QLatin1String(kind.name), sit.toString(), rowKey.toString());
}

QString debtKey(const QVariant &sit, const QVariant &subject)
{
    return QStringLiteral("Deb|%1|%2").arg(sit.toString(), subject.toString());
}

QString debtKey(const TClientDataSet &debts)
{
    return debtKey(valueOf(debts, QStringLiteral("iSitId")),
                   valueOf(debts, QStringLiteral("iMatId")));
}

// A debt's verification (its kind, date and note) as the stored one reads beside it.
QString verificationText(const QVariant &kind, const QVariant &date, const QVariant &note)
{
    return QStringList{valueText(kind), valueText(date), valueText(note)}.join(u'|');
}

} // namespace

void QelWebCollection::readStored(int iDocId)
{
    m_stored.clear();
    for (const char *name : {"Vtp", "Tas", "Ass", "Aiu", "Not"}) {
        if (!flag(name))
            continue;
        const QelWebCollectKind &kind = QelWebCollectSql::kind(QLatin1String(name));
        VxEachRow(m_reads->database(), QelWebCollectSql::storedValues(kind),
                  valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}, {"iDocId", iDocId}}),
                  [&](const QSqlQuery &q, const QSqlRecord &r) {
                      QStringList values;
                      for (int i = 2; i < r.count(); ++i)
                          values << valueText(q.value(i));
                      m_stored.insert(storedKey(kind, q.value(0), q.value(1)), values.join(u'|'));
                  });
    }
    if (flag("Deb"))
        VxEachRow(m_reads->database(), QelWebCollectSql::storedDebts(),
                  valuesOf({{"iAnsId", m_iAnsId}, {"iDocId", iDocId}}),
                  [this](const QSqlQuery &q, const QSqlRecord &) {
                      m_stored.insert(debtKey(q.value(0), q.value(1)),
                                      verificationText(q.value(2), q.value(3), q.value(4)));
                  });
}

void QelWebCollection::readSession()
{
    if (std::exchange(m_sessionRead, true))
        return;
    const TVxFieldValues session = valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}});
    VxEachRow(m_reads->database(), QelWebCollectSql::sessionComponents(), session,
              [this](const QSqlQuery &q, const QSqlRecord &) {
                  m_scales.insert(q.value(0).toInt(), q.value(1).toInt());
                  m_componentSubjects.insert(q.value(0).toInt(), q.value(2).toInt());
              });
    VxEachRow(m_reads->database(), QelWebCollectSql::sessionSubjects(), session,
              [this](const QSqlQuery &q, const QSqlRecord &) {
                  m_subjectClasses.insert(q.value(0).toInt(), q.value(1).toInt());
                  m_sessionClasses.insert(q.value(2).toInt());
              });
}

TqelChangeCounts &QelWebCollection::counts(const QelWebCollectKind &kind)
{
    return m_counts[QLatin1String(kind.collected)];
}

QStringList QelWebCollection::Summary() const
{
    QStringList lines;
    for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
        if (!it.value().IsEmpty())
            lines << it.value().Line(it.key());
    return CollectionSummary({}, lines);
}

int QelWebCollection::classSessionOf(const QelWebCollectKind &kind, int id)
{
    readSession();
    const bool component = QLatin1String(kind.rowKey) == QLatin1String("iClsMatCmpId");
    return m_subjectClasses.value(component ? m_componentSubjects.value(id) : id);
}

QString QelWebCollection::rowWho()
{
    // The pupil as the database names him, whatever name the row carries.
    return m_rules->Who(valueOf(m_voti, QStringLiteral("iSitId")),
                        valueOf(m_voti, QStringLiteral("iClsSesMatId")));
}

QString QelWebCollection::refusal(const QelWebCollectKind &kind, int rowKey,
                                  const TVxFieldValues &values)
{
    const QString name = QLatin1String(kind.name);
    TVxFieldValues row = values;
    QVariant stored;
    if (name == QLatin1String("Vtp") || name == QLatin1String("Tas")) {
        readSession();
        // An id the session does not hold is refused by its own check. A level the scale no
        // longer offers stays only where it is stored.
        const auto scale = m_scales.constFind(rowKey);
        if (scale == m_scales.constEnd())
            return QString();
        row.setValue(QStringLiteral("iCmpScaId"), *scale);
        const QString place = storedKey(kind, valueOf(m_voti, QStringLiteral("iSitId")), rowKey);
        if (m_stored.contains(place))
            stored = m_stored.value(place);
    }
    // A note's date as the teacher wrote it: a day the calendar lacks is refused, not dropped.
    if (name == QLatin1String("Not"))
        row.setValue(QStringLiteral("dNotData"), valueOf(m_voti, QStringLiteral("dNotData")));
    const QString why = m_rules->Refusal(QelCollectedValues::Kind(kind.collected), row, stored);
    if (why.isEmpty())
        return why;
    return QStringLiteral("%1: %2: %3 Il dato non è stato scritto.")
        .arg(PacketNames().at(0), rowWho(), why);
}

void QelWebCollection::writeRow(const QelWebCollectKind &kind, const QString &suffix,
                                const TVxFieldValues &values, QStringList *log)
{
    const QString column = suffix.isEmpty() ? QStringLiteral("iClsSesMatId")
                                            : QStringLiteral("iClsMatCmpId_") + suffix;
    const int sent = valueOf(m_voti, column).toInt();
    const QVariant sitValue = valueOf(m_voti, QStringLiteral("iSitId"));
    const QString key = storedKey(kind, sitValue, sent);
    if (!firstTime(
            key,
            [this] {
                return QStringLiteral("%1: %2: %3")
                    .arg(PacketNames().at(0), rowWho(), QelCollectRepeats::Cause());
            },
            log) ||
        m_outsidePupils.contains({sitValue.toInt(), classSessionOf(kind, sent)}))
        return;
    // A value as it is stored is left alone: nothing written, nothing counted.
    if (m_stored.contains(key) && m_stored.value(key) == textOf(values))
        return;
    if (const QString why = refusal(kind, sent, values); !why.isEmpty()) {
        addError(log, why);
        return;
    }
    TVxFieldValues all = values;
    all.setValue(QStringLiteral("iSitId"), sitValue);
    all.setValue(QStringLiteral("iAnsSesDwgId"), m_iAnsSesDwgId);
    all.setValue(QLatin1String(kind.rowKey), sent);
    all.setValue(QStringLiteral("iDocId"), m_iDocId);
    // The usual case, a stored value changed: one statement, which also proves the sent id
    // still there and in the session, prepared once for the whole collection. Refused: logged.
    const int updated =
        WriteAlone(*m_selfCommitting, m_db, log, QelWebCollectSql::updateInSession(kind), all);
    if (updated != 0) {
        counts(kind).changed += updated > 0;
        return;
    }
    // A new value: so too, its key taken inside the statement.
    all.setValue(QStringLiteral("sTable"), QLatin1String(kind.generator));
    const int inserted =
        WriteAlone(*m_selfCommitting, m_db, log, QelWebCollectSql::insertInSession(kind), all);
    if (inserted != 0) {
        counts(kind).added += inserted > 0;
        return;
    }
    // An id to map, or a value refused, told why: the checks, the key and the insert in one
    // transaction.
    bool changed = false, added = false;
    const bool written = writeValue(log, [&](TVxTransaction &tr) {
        changed = added = false;
        const int id = resolveSentId(tr, kind, suffix, log);
        if (id != sent) {
            if (const QString why = refusal(kind, id, values); !why.isEmpty())
                throw EVxException(why);
            all.setValue(QLatin1String(kind.rowKey), id);
            if (tr.ExecChanged(QelWebCollectSql::updateInSession(kind), all) > 0) {
                changed = true;
                return;
            }
        }
        requireInSession(tr, kind, id);
        all.setValue(QStringLiteral("iNewId"), VxNewKey(m_db, QLatin1String(kind.generator)));
        tr.Exec(QelWebCollectSql::insert(kind), all);
        added = true;
    });
    if (written) {
        counts(kind).changed += changed;
        counts(kind).added += added;
    }
}

void QelWebCollection::importComponentLevels(const QelWebCollectKind &kind, const QString &suffix,
                                             QStringList *log)
{
    for (const LevelSlot &slot : levelSlots(suffix)) {
        const QVariant level = QelCollectedValues::PacketValue(slot.level);
        // A level left empty on the web keeps the stored one.
        if (QelCollectedValues::PacketValue(slot.component).isNull() || level.isNull())
            continue;
        writeRow(kind, slot.name, valuesOf({{"iScaLivId", level.toLongLong()}}), log);
    }
}

const QList<QelWebCollection::LevelSlot> &QelWebCollection::levelSlots(const QString &suffix)
{
    auto found = m_levelSlots.find(suffix);
    if (found != m_levelSlots.end())
        return *found;
    QList<LevelSlot> columns;
    for (int n = 1;; ++n) {
        const QString name = suffix + QString::number(n);
        const TField *component = m_voti.FindField(QStringLiteral("iClsMatCmpId_") + name);
        if (!component)
            break;
        columns.push_back({name, component, m_voti.FindField(QStringLiteral("iScaLivId_") + name)});
    }
    return *m_levelSlots.insert(suffix, columns);
}

TVxFieldValues QelWebCollection::subjectValues(const QelWebCollectKind &kind) const
{
    TVxFieldValues values;
    const QString name = QLatin1String(kind.name);
    if (name == QLatin1String("Ass")) {
        const QVariant hours = valueOf(m_voti, QStringLiteral("iAssOre"));
        if (!hours.isNull() && hours.toLongLong() != 0)
            values.setValue(QStringLiteral("iAssOre"), hours.toLongLong());
    } else if (name == QLatin1String("Aiu")) {
        const QVariant aid = valueOf(m_voti, QStringLiteral("sAiuVal"));
        if (!isEmptyValue(aid))
            values.setValue(QStringLiteral("sAiuVal"), aid.toString());
    } else {
        const QVariant date = valueOf(m_voti, QStringLiteral("dNotData"));
        const QVariant text = valueOf(m_voti, QStringLiteral("bNotNota"));
        if (!isEmptyValue(date) || !isEmptyValue(text)) {
            values.setValue(QStringLiteral("dNotData"),
                            dateOrNull(ParseItalianDate(date.toString())));
            values.setValue(QStringLiteral("bNotNota"), textOrNull(text));
        }
    }
    return values;
}

void QelWebCollection::importSubjectValue(const QelWebCollectKind &kind, QStringList *log)
{
    // A value left empty writes nothing: no transaction, no check of its id.
    const TVxFieldValues values = subjectValues(kind);
    if (values.size() == 0)
        return;
    writeRow(kind, QString(), values, log);
}

bool QelWebCollection::firstTime(const QString &key, const std::function<QString()> &repeatedLine,
                                 QStringList *log)
{
    switch (m_repeats.Take(key)) {
    case QelCollectRepeats::First:
        return true;
    case QelCollectRepeats::Conflict:
        addError(log, repeatedLine());
        return false;
    case QelCollectRepeats::Again:
    case QelCollectRepeats::Told:
        break;
    }
    return false;
}

bool QelWebCollection::rowToWrite(const TClientDataSet &packet, const QString &key,
                                  const std::function<QString()> &what, bool feminine,
                                  QStringList *log)
{
    const QString written =
        feminine ? QStringLiteral("non è stata scritta") : QStringLiteral("non è stato scritto");
    if (const QString fault = QelCollectedValues::KeysFault(packet); !fault.isEmpty()) {
        addError(log, QStringLiteral("%1: %2: %3.").arg(what(), fault, written));
        return false;
    }
    return firstTime(
        key, [&what] { return QStringLiteral("%1: %2").arg(what(), QelCollectRepeats::Cause()); },
        log);
}

namespace {

// The verification as the teacher gave it: its date as written, which the rule measures.
TVxFieldValues debtValues(const TClientDataSet &debts)
{
    return valuesOf({{"iDesDedId", valueOf(debts, QStringLiteral("iDesDedId"))},
                     {"dDebVer", valueOf(debts, QStringLiteral("dDebVer"))},
                     {"bDebNota", textOrNull(valueOf(debts, QStringLiteral("bDebNota")))}});
}

QString classNoteKey(const TClientDataSet &notes)
{
    return QStringLiteral("Cno|%1|%2|%3")
        .arg(valueOf(notes, QStringLiteral("iAnsSesDwgId")).toString(),
             valueOf(notes, QStringLiteral("iClsId")).toString(),
             valueOf(notes, QStringLiteral("iMatId")).toString());
}

QString classNoteText(const TClientDataSet &notes)
{
    return valueText(valueOf(notes, QStringLiteral("iClnOre"))) + u'|' +
           valueText(valueOf(notes, QStringLiteral("bClnNota")));
}

} // namespace

void QelWebCollection::findRepeats()
{
    m_repeats.Clear();
    m_outsidePupils.clear();
    for (m_voti.First(); !m_voti.Eof(); m_voti.Next()) {
        if (!QelCollectedValues::KeysFault(m_voti).isEmpty())
            continue;
        const QVariant sit = valueOf(m_voti, QStringLiteral("iSitId"));
        for (const char *name : {"Vtp", "Tas"}) {
            if (!flag(name))
                continue;
            const QelWebCollectKind &kind = QelWebCollectSql::kind(QLatin1String(name));
            for (const LevelSlot &slot : levelSlots(QString::fromLatin1(name).toLower())) {
                const QVariant component = QelCollectedValues::PacketValue(slot.component);
                const QVariant level = QelCollectedValues::PacketValue(slot.level);
                if (!component.isNull() && !level.isNull())
                    m_repeats.Note(storedKey(kind, sit, component.toInt()),
                                   textOf(valuesOf({{"iScaLivId", level.toLongLong()}})));
            }
        }
        for (const char *name : {"Ass", "Aiu", "Not"}) {
            const QelWebCollectKind &kind = QelWebCollectSql::kind(QLatin1String(name));
            const TVxFieldValues values = subjectValues(kind);
            if (flag(name) && values.size() > 0)
                m_repeats.Note(
                    storedKey(kind, sit, valueOf(m_voti, QStringLiteral("iClsSesMatId")).toInt()),
                    textOf(values) + u'|' + valueText(valueOf(m_voti, QStringLiteral("dNotData"))));
        }
    }
    if (flag("Deb") && m_debiti.Active())
        for (m_debiti.First(); !m_debiti.Eof(); m_debiti.Next())
            m_repeats.Note(debtKey(m_debiti), textOf(debtValues(m_debiti)));
    if (m_classNotes.Active())
        for (m_classNotes.First(); !m_classNotes.Eof(); m_classNotes.Next())
            m_repeats.Note(classNoteKey(m_classNotes), classNoteText(m_classNotes));
}

void QelWebCollection::ImportTeacherWebData(int iDocId, QStringList *log)
{
    // A packet missing is told once per collection, ahead of the first teacher's lines.
    if (!m_missingTold && log)
        *log << MissingPackets();
    m_missingTold = true;
    m_iDocId = iDocId;
    readStored(iDocId);
    const QString byTeacher = teacherFilter(QStringLiteral("(iDocId = %1)").arg(iDocId));
    m_voti.setFilter(byTeacher);
    m_voti.setFiltered(true);
    if (m_debiti.Active()) {
        m_debiti.setFilter(byTeacher);
        m_debiti.setFiltered(true);
    }
    if (m_classNotes.Active()) {
        m_classNotes.setFilter(byTeacher);
        m_classNotes.setFiltered(true);
    }
    findRepeats();
    for (m_voti.First(); !m_voti.Eof(); m_voti.Next()) {
        // One row is told once: its kinds meeting one cause (its subject not the teacher's, a
        // pupil gone) say it once.
        const qsizetype told = log ? log->size() : 0;
        const auto tellOnce = qScopeGuard([log, told] {
            if (log)
                for (qsizetype i = log->size() - 1; i > told; --i)
                    if (log->indexOf(log->at(i), told) < i)
                        log->removeAt(i);
        });
        // A number beyond the database's would wrap into another row's id: the row is refused
        // whole.
        if (const QString fault = QelCollectedValues::KeysFault(m_voti); !fault.isEmpty()) {
            addError(log, QStringLiteral("%1: %2: %3: la riga non è stata scritta.")
                              .arg(PacketNames().at(0), rowWho(), fault));
            continue;
        }
        if (flag("Vtp"))
            importComponentLevels(QelWebCollectSql::kind(QStringLiteral("Vtp")),
                                  QStringLiteral("vtp"), log);
        if (flag("Tas"))
            importComponentLevels(QelWebCollectSql::kind(QStringLiteral("Tas")),
                                  QStringLiteral("tas"), log);
        for (const char *kind : {"Ass", "Aiu", "Not"})
            if (flag(kind))
                importSubjectValue(QelWebCollectSql::kind(QLatin1String(kind)), log);
    }
    if (flag("Deb") && m_debiti.Active())
        importDebts(log);
    if (m_classNotes.Active())
        importClassNotes(log);
}

void QelWebCollection::importDebts(QStringList *log)
{
    const QelCollectKind &rule = QelCollectedValues::Kind("verifiche dei debiti");
    for (m_debiti.First(); !m_debiti.Eof(); m_debiti.Next()) {
        const QVariant sit = valueOf(m_debiti, QStringLiteral("iSitId"));
        const QVariant subject = valueOf(m_debiti, QStringLiteral("iMatId"));
        // Named only for a line.
        const auto debt = [&] {
            return QStringLiteral("%1: %2").arg(PacketNames().at(1),
                                                m_rules->Who(sit, subject, true));
        };
        if (!rowToWrite(m_debiti, debtKey(sit, subject), debt, false, log))
            continue;
        TVxFieldValues values = debtValues(m_debiti);
        values.setValue(QStringLiteral("iSitId"), sit.toInt());
        values.setValue(QStringLiteral("iMatId"), subject.toInt());
        values.setValue(QStringLiteral("iDocId"), m_iDocId);
        values.setValue(QStringLiteral("iAnsId"), m_iAnsId);
        if (const QString why = m_rules->Refusal(rule, values); !why.isEmpty()) {
            addError(log,
                     QStringLiteral("%1: %2 La verifica non è stata scritta.").arg(debt(), why));
            continue;
        }
        values.setValue(QStringLiteral("dDebVer"),
                        QelCollectedValues::DateOf(values.value(QStringLiteral("dDebVer"))));
        // A verification as he verifies it already is left alone: nothing written, nothing
        // counted.
        if (m_stored.value(debtKey(sit, subject), QStringLiteral("\n")) ==
            verificationText(values.value(QStringLiteral("iDesDedId")),
                             values.value(QStringLiteral("dDebVer")),
                             values.value(QStringLiteral("bDebNota"))))
            continue;
        // A debt of the teacher's as the send gave it to him (of an earlier year, his to verify
        // or of his subject), changed only where the teacher changed it.
        const int changed =
            WriteAlone(*m_selfCommitting, m_db, log, QelDocFolderSql::debtUpdate(), values);
        if (changed > 0)
            ++m_counts[QStringLiteral("verifiche dei debiti")].changed;
        if (changed != 0)
            continue;
        const auto found = [this, &values](const QString &sql) {
            bool any = false;
            VxEachRow(m_db, sql, values,
                      [&any](const QSqlQuery &, const QSqlRecord &) { any = true; });
            return any;
        };
        // A debt the office deleted since the send has nothing to verify: told, and the teacher
        // is still collected whole.
        if (found(QelDocFolderSql::debtInScope()))
            continue;
        if (found(QelDocFolderSql::debtGone()))
            addLine(log, QStringLiteral("  ***ATTENZIONE*** %1: %2")
                             .arg(debt(), QelCollectedValues::DebtDeleted()));
        else
            addError(log, debt() + QStringLiteral(": il debito non è tra quelli che il docente "
                                                  "verifica o delle sue materie: la verifica non è "
                                                  "stata scritta."));
    }
}

void QelWebCollection::importClassNotes(QStringList *log)
{
    const QelCollectKind &rule = QelCollectedValues::Kind("note di classe");
    for (m_classNotes.First(); !m_classNotes.Eof(); m_classNotes.Next()) {
        const QVariant hoursValue = valueOf(m_classNotes, QStringLiteral("iClnOre"));
        const QVariant text = valueOf(m_classNotes, QStringLiteral("bClnNota"));
        const QVariant cls = valueOf(m_classNotes, QStringLiteral("iClsId"));
        const QVariant subject = valueOf(m_classNotes, QStringLiteral("iMatId"));
        // Named only for a line.
        const auto note = [&] {
            return QStringLiteral("%1: la nota di classe della %2")
                .arg(PacketNames().at(2), m_rules->ClassAndSubject(cls, subject));
        };
        if (!rowToWrite(m_classNotes, classNoteKey(m_classNotes), note, true, log))
            continue;
        // The export is the working session's: a note of another is none of its own.
        const QVariant session = valueOf(m_classNotes, QStringLiteral("iAnsSesDwgId"));
        if (session.toLongLong() != m_iSesId) {
            addError(log, QStringLiteral("%1: è della sessione %2, non di quella di lavoro (%3): "
                                         "non è stata scritta.")
                              .arg(note(), session.toString())
                              .arg(m_iSesId));
            continue;
        }
        // The hours of a class note are whole hours, as an absence's are.
        TVxFieldValues measured = valuesOf({{"iCnoOre", hoursValue}});
        if (const QString why = m_rules->Refusal(rule, measured); !why.isEmpty()) {
            addError(log, QStringLiteral("%1: %2 Non è stata scritta.").arg(note(), why));
            continue;
        }
        const qint64 hours = hoursValue.toLongLong();
        const TVxFieldValues where = valuesOf({{"iDocId", m_iDocId},
                                               {"iClsId", cls.toInt()},
                                               {"iMatId", subject.toInt()},
                                               {"iAnsSesDwgId", m_iAnsSesDwgId}});
        TqelChangeCounts done;
        const bool written = writeValue(log, [&](TVxTransaction &tr) {
            done = {};
            if (!tr.Exec(QelWebCollectSql::classNotesTarget(), where).next())
                throw EVxException(note() + QStringLiteral(": il docente non ha la materia nella "
                                                           "classe nella sessione di lavoro: non è "
                                                           "stata scritta."));
            if (hours == 0 && isEmptyValue(text)) {
                done.deleted = tr.ExecChanged(QelWebCollectSql::classNotesDelete(), where);
                return;
            }
            TVxFieldValues values = where;
            values.setValue(QStringLiteral("iCnoOre"), int(hours));
            values.setValue(QStringLiteral("bCnoNota"), textOrNull(text));
            done.changed = tr.ExecChanged(QelWebCollectSql::classNotesUpdate(), values);
            if (done.changed > 0)
                return;
            // None stored, or the same note: the insert writes only the first.
            values.setValue(QStringLiteral("iNewId"), VxNewKey(m_db, "TCNO_CLASSINOTEORE"));
            done.added = tr.ExecChanged(QelWebCollectSql::classNotesInsert(), values);
        });
        if (written)
            m_counts[QStringLiteral("note di classe")] += done;
    }
}
