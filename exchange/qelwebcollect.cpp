#include "exchange/qelwebcollect.h"

#include "exchange/qelcollectedvalues.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebcollectsql.h"
#include "exchange/qelwebsendsql.h"
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

// A packet's value, null as an invalid QVariant, whatever its column's type.
QVariant valueOf(const TClientDataSet &ds, const QString &column)
{
    const TField *field = ds.FindField(column);
    return field ? field->Value() : QVariant();
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
      m_rules(std::make_unique<QelCollectedValues>())
{
    VxEachRow(m_db, QelWebCollectSql::sessionNumber(), valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}}),
              [this](const QSqlQuery &q, const QSqlRecord &) { m_iSesId = q.value(0).toInt(); });
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

int QelWebCollection::writeAlone(QStringList *log, const QString &sql, const TVxFieldValues &values)
{
    if (!connectionFree(m_db, log))
        return -1;
    try {
        return m_selfCommitting->ExecChanged(sql, values);
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
    if (value.typeId() == QMetaType::QString)
        return dateOrNull(ParseItalianDate(value.toString()));
    if (value.typeId() == QMetaType::QDateTime)
        return dateOrNull(value.toDateTime().date());
    if (value.typeId() == QMetaType::QDate)
        return dateOrNull(value.toDate());
    return QVariant();
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
    addLine(log, QStringLiteral("  ***ATTENZIONE*** Configurazione sessione modificata dopo "
                                "l'invio."));
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
    return found.size() == 1 ? found.first() : sent;
}

void QelWebCollection::requireInSession(TVxTransaction &tr, const QelWebCollectKind &kind, int id)
{
    const QVariant sit = valueOf(m_voti, QStringLiteral("iSitId"));
    if (tr.Exec(QelWebCollectSql::targetInSession(kind),
                valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}, {"iSitId", sit}, {kind.rowKey, id}}))
            .next())
        return;
    throw EVxException(QStringLiteral("%1 %2 dell'alunno (situazione %3) non appartiene alle "
                                      "classi della sessione di lavoro: dato non scritto.")
                           .arg(QLatin1String(kind.rowKey))
                           .arg(id)
                           .arg(sit.toInt()));
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

QString storedKey(const QelWebCollectKind &kind, const QVariant &sit, const QVariant &rowKey)
{
    return QStringLiteral("%1|%2|%3")
        .arg(QLatin1String(kind.name), sit.toString(), rowKey.toString());
}

// The kinds as the summary names them.
QString kindName(const QString &name)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("Vtp"), QStringLiteral("voti proposti")},
        {QStringLiteral("Tas"), QStringLiteral("tassonomie")},
        {QStringLiteral("Ass"), QStringLiteral("assenze")},
        {QStringLiteral("Aiu"), QStringLiteral("aiuti")},
        {QStringLiteral("Not"), QStringLiteral("note")}};
    return names.value(name, name);
}

} // namespace

void QelWebCollection::readStored(int iDocId)
{
    m_stored.clear();
    for (const char *name : {"Vtp", "Tas", "Ass", "Aiu", "Not"}) {
        if (!flag(name))
            continue;
        const QelWebCollectKind &kind = QelWebCollectSql::kind(QLatin1String(name));
        VxEachRow(m_db, QelWebCollectSql::storedValues(kind),
                  valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}, {"iDocId", iDocId}}),
                  [&](const QSqlQuery &q, const QSqlRecord &r) {
                      QStringList values;
                      for (int i = 2; i < r.count(); ++i)
                          values << valueText(q.value(i));
                      m_stored.insert(storedKey(kind, q.value(0), q.value(1)), values.join(u'|'));
                  });
    }
}

void QelWebCollection::readSession()
{
    if (std::exchange(m_sessionRead, true))
        return;
    const TVxFieldValues session = valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}});
    VxEachRow(m_db, QelWebCollectSql::sessionComponents(), session,
              [this](const QSqlQuery &q, const QSqlRecord &) {
                  m_scales.insert(q.value(0).toInt(), q.value(1).toInt());
              });
    VxEachRow(m_db, QelWebCollectSql::sessionSubjects(), session,
              [this](const QSqlQuery &q, const QSqlRecord &) {
                  m_subjects.insert(q.value(0).toInt(), q.value(1).toString().trimmed());
              });
}

TqelChangeCounts &QelWebCollection::counts(const QelWebCollectKind &kind)
{
    return m_counts[kindName(QLatin1String(kind.name))];
}

QStringList QelWebCollection::Summary() const
{
    QStringList lines;
    for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
        if (!it.value().IsEmpty())
            lines << it.value().Line(it.key());
    return CollectionSummary({}, lines);
}

QString QelWebCollection::refusal(const QelWebCollectKind &kind, int rowKey,
                                  const TVxFieldValues &values)
{
    const QString name = QLatin1String(kind.name);
    QString why;
    if (name == QLatin1String("Vtp") || name == QLatin1String("Tas")) {
        readSession();
        // An id the session does not hold is refused by its own check.
        const auto scale = m_scales.constFind(rowKey);
        if (scale != m_scales.constEnd())
            why = m_rules->Refusal(name == QLatin1String("Vtp") ? 1 : 2, *scale,
                                   values.value(QStringLiteral("iScaLivId")));
    } else if (name == QLatin1String("Ass") || name == QLatin1String("Aiu")) {
        const bool hours = name == QLatin1String("Ass");
        why = m_rules->Refusal(
            hours ? 3 : 4, 0,
            values.value(hours ? QStringLiteral("iAssOre") : QStringLiteral("sAiuVal")));
    }
    if (why.isEmpty())
        return why;
    readSession();
    const QString pupil = (valueOf(m_voti, QStringLiteral("sAnaCognome")).toString().trimmed() +
                           u' ' + valueOf(m_voti, QStringLiteral("sAnaNome")).toString().trimmed())
                              .trimmed();
    const int subject = valueOf(m_voti, QStringLiteral("iClsSesMatId")).toInt();
    return QStringLiteral("%1: %2 (situazione %3), %4: %5 Il dato non è stato scritto.")
        .arg(PacketNames().at(0), pupil.isEmpty() ? QStringLiteral("alunno") : pupil,
             valueOf(m_voti, QStringLiteral("iSitId")).toString(),
             m_subjects.value(subject, QStringLiteral("materia %1").arg(subject)), why);
}

void QelWebCollection::writeRow(const QelWebCollectKind &kind, const QString &suffix,
                                const TVxFieldValues &values, QStringList *log)
{
    const QString column = suffix.isEmpty() ? QStringLiteral("iClsSesMatId")
                                            : QStringLiteral("iClsMatCmpId_") + suffix;
    const QVariant sentValue = valueOf(m_voti, column);
    const QVariant sitValue = valueOf(m_voti, QStringLiteral("iSitId"));
    // A key beyond the database's would wrap into another row's.
    if (!QelCollectedValues::FitsKey(sentValue) || !QelCollectedValues::FitsKey(sitValue)) {
        addError(log, QStringLiteral("%1: la situazione %2 o il componente %3 è un numero che "
                                     "il database non può contenere: dato non scritto.")
                          .arg(PacketNames().at(0), sitValue.toString(), sentValue.toString()));
        return;
    }
    const int sent = sentValue.toInt();
    // A value as it is stored is left alone: nothing written, nothing counted.
    QStringList texts;
    for (int i = 0; i < values.size(); ++i)
        texts << valueText(values.value(i));
    if (m_stored.value(storedKey(kind, sitValue, sent)) == texts.join(u'|') &&
        m_stored.contains(storedKey(kind, sitValue, sent)))
        return;
    if (const QString why = refusal(kind, sent, values); !why.isEmpty()) {
        addError(log, why);
        return;
    }
    TVxFieldValues all = values;
    all.setValue(QStringLiteral("iSitId"), sitValue);
    all.setValue(QStringLiteral("iAnsSesDwgId"), m_iAnsSesDwgId);
    all.setValue(QLatin1String(kind.rowKey), sent);
    // The usual case, a stored value changed: one statement, which also proves the sent id
    // still there and in the session, prepared once for the whole collection. Refused: logged.
    const int updated = writeAlone(log, QelWebCollectSql::updateInSession(kind), all);
    if (updated != 0) {
        counts(kind).changed += updated > 0;
        return;
    }
    // A new value, or an id to map: the checks, the key and the insert in one transaction.
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
    for (int n = 1; m_voti.FindField(QStringLiteral("iClsMatCmpId_%1%2").arg(suffix).arg(n)); ++n) {
        const QString slot = suffix + QString::number(n);
        const QVariant level = valueOf(m_voti, QStringLiteral("iScaLivId_") + slot);
        // A level left empty on the web keeps the stored one.
        if (valueOf(m_voti, QStringLiteral("iClsMatCmpId_") + slot).isNull() || level.isNull())
            continue;
        writeRow(kind, slot, valuesOf({{"iScaLivId", level.toLongLong()}}), log);
    }
}

void QelWebCollection::importSubjectValue(const QelWebCollectKind &kind, QStringList *log)
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
    // A value left empty writes nothing: no transaction, no check of its id.
    if (values.size() == 0)
        return;
    writeRow(kind, QString(), values, log);
}

void QelWebCollection::ImportTeacherWebData(int iDocId, QStringList *log)
{
    // A packet missing is told once per collection, ahead of the first teacher's lines.
    if (!m_missingTold && log)
        *log << MissingPackets();
    m_missingTold = true;
    readStored(iDocId);
    const QString byTeacher = teacherFilter(QStringLiteral("(iDocId = %1)").arg(iDocId));
    m_voti.setFilter(byTeacher);
    m_voti.setFiltered(true);
    for (m_voti.First(); !m_voti.Eof(); m_voti.Next()) {
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
    if (flag("Deb") && m_debiti.Active()) {
        m_debiti.setFilter(byTeacher);
        m_debiti.setFiltered(true);
        importDebts(log);
    }
    if (m_classNotes.Active()) {
        m_classNotes.setFilter(teacherFilter(
            QStringLiteral("(iDocId = %1) AND (iAnsSesDwgId = %2)").arg(iDocId).arg(m_iSesId)));
        m_classNotes.setFiltered(true);
        importClassNotes(log);
    }
}

void QelWebCollection::importDebts(QStringList *log)
{
    for (m_debiti.First(); !m_debiti.Eof(); m_debiti.Next()) {
        const QVariant verified = PacketDate(valueOf(m_debiti, QStringLiteral("dDebVer")));
        const TVxFieldValues values =
            valuesOf({{"iDesDedId", valueOf(m_debiti, QStringLiteral("iDesDedId"))},
                      {"dDebVer", verified},
                      {"bDebNota", textOrNull(valueOf(m_debiti, QStringLiteral("bDebNota")))},
                      {"iSitId", valueOf(m_debiti, QStringLiteral("iSitId")).toInt()},
                      {"iMatId", valueOf(m_debiti, QStringLiteral("iMatId")).toInt()}});
        // The debts are the year before's: the update finds the row the send read, or none,
        // and changes it only where the teacher did.
        if (writeAlone(log, QelWebCollectSql::debtUpdate(), values) > 0)
            ++m_counts[QStringLiteral("verifiche dei debiti")].changed;
    }
}

void QelWebCollection::importClassNotes(QStringList *log)
{
    for (m_classNotes.First(); !m_classNotes.Eof(); m_classNotes.Next()) {
        const int hours = valueOf(m_classNotes, QStringLiteral("iClnOre")).toInt();
        const QVariant text = valueOf(m_classNotes, QStringLiteral("bClnNota"));
        const TVxFieldValues where =
            valuesOf({{"iDocId", valueOf(m_classNotes, QStringLiteral("iDocId")).toInt()},
                      {"iClsId", valueOf(m_classNotes, QStringLiteral("iClsId")).toInt()},
                      {"iMatId", valueOf(m_classNotes, QStringLiteral("iMatId")).toInt()},
                      {"iAnsSesDwgId", m_iAnsSesDwgId}});
        TqelChangeCounts done;
        const bool written = writeValue(log, [&](TVxTransaction &tr) {
            done = {};
            if (hours == 0 && isEmptyValue(text)) {
                done.deleted = tr.ExecChanged(QelWebCollectSql::classNotesDelete(), where);
                return;
            }
            if (!tr.Exec(QelWebCollectSql::classNotesTarget(), where).next())
                throw EVxException(QStringLiteral("La classe %1 non ha la materia %2 nella "
                                                  "sessione di lavoro: note di classe non "
                                                  "scritte.")
                                       .arg(where.value(1).toInt())
                                       .arg(where.value(2).toInt()));
            TVxFieldValues values = where;
            values.setValue(QStringLiteral("iCnoOre"), hours);
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
