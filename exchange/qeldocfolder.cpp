#include "exchange/qeldocfolder.h"

#include "exchange/qelcollectedvalues.h"
#include "exchange/qeldocfoldersql.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qelwebsendsql.h"
#include "exchange/qelxml.h"
#include "platform/connection.h"
#include "platform/cp1252.h"
#include "platform/fileaccess.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/inifile.h"
#include "platform/sqlclientdataset.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "shell/qelutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlRecord>

#include <utility>

namespace {

const char *const kSlotPrefixes[] = {"vot", "vtp", "tas"};

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A packet's value, a key as the number it names.
QVariant valueOf(const TClientDataSet &ds, const QString &column)
{
    return QelCollectedValues::PacketValue(ds, column);
}

// Why a value's own keys (of the columns given) cannot be read: a row of voti.cds holds
// several values, each refused by its own.
QString keyFault(const TClientDataSet &record, const QStringList &columns)
{
    for (const QString &column : columns)
        if (const QString why = QelCollectedValues::KeyFault(
                column, QelCollectedValues::PacketValue(record, column));
            !why.isEmpty())
            return why;
    return QString();
}

using PairKey = QPair<qlonglong, qlonglong>;

PairKey pairOf(const QVariant &a, const QVariant &b)
{
    return {a.toLongLong(), b.toLongLong()};
}

void openSelect(TSQLClientDataSet &ds, const QString &sql, const TVxFieldValues &params)
{
    ds.setCommandText(sql);
    ds.Params() = params;
    ds.Open();
}

void requireFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        throw EVxException(
            QStringLiteral("Impossibile aprire il file %1: il file non esiste.").arg(native(path)));
}

// Every spelling: the folder may have come back from a Windows medium.
void deleteInfoFile(const QString &folder)
{
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().compare(QelTeacherFolderWriter::InfoFileName(), Qt::CaseInsensitive) !=
            0)
            continue;
        QFile file(entry.absoluteFilePath());
        if (!file.remove())
            throw EVxException(QStringLiteral("Impossibile cancellare il file %1:\r%2")
                                   .arg(native(entry.absoluteFilePath()), VxFileErrorText(file)));
    }
}

} // namespace

QelTeacherFolderWriter::QelTeacherFolderWriter(int iAnsSesDwgId, int iAnsId, int iDwgId,
                                               bool askPasswd, const QelDocShowValues &show)
    : m_iAnsSesDwgId(iAnsSesDwgId), m_iAnsId(iAnsId), m_iDwgId(iDwgId), m_askPasswd(askPasswd),
      m_show(show), m_sessionText(GetSessioneDesc(iAnsSesDwgId)),
      m_yearText(AnnoScolTextOfAnsId(iAnsId)),
      m_run(std::make_unique<TVxTransaction>(qqoVxGlobConn()))
{
    if (!m_run->StartTransaction())
        throw EVxException(m_run->lastError());
    for (int tass = 0; tass < 2; ++tass)
        VxEachRow(
            qqoVxGlobConn(), QelDocFolderSql::slotCount(),
            valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}, {"iCmpScaTass", tass}}),
            [&](const QSqlQuery &q, const QSqlRecord &) { m_slots[tass] = q.value(0).toInt(); });
}

// A teacher not done leaves nothing: his mark is the last statement before his commit.
QelTeacherFolderWriter::~QelTeacherFolderWriter() = default;

const QStringList &QelTeacherFolderWriter::PacketNames()
{
    static const QStringList names = {QStringLiteral("clsmat.cds"),  QStringLiteral("voti.cds"),
                                      QStringLiteral("livelli.cds"), QStringLiteral("livvtp.cds"),
                                      QStringLiteral("debiti.cds"),  QStringLiteral("esideb.cds"),
                                      QStringLiteral("istituto.cds")};
    return names;
}

QString QelTeacherFolderWriter::FolderOf(const QString &base, const QelFolderTeacher &teacher)
{
    return LongDir(base) +
           TKIENormalizeString(teacher.sDocNome + QLatin1Char('_') + teacher.sAnaCagCode) +
           QLatin1Char('/');
}

QByteArray QelTeacherFolderWriter::InfoText(const QelFolderTeacher &teacher) const
{
    QList<QPair<QString, QString>> lines = {
        {QStringLiteral("[Info]"), QString()},
        {QStringLiteral("Id="), m_askPasswd ? QString::number(teacher.iAnaId) : QString()},
        {QStringLiteral("Codice="), teacher.sAnaCagCode},
        {QStringLiteral("Nome="), teacher.sDocNome},
        {QStringLiteral("Sessione="), m_sessionText},
        {QStringLiteral("Anno="), m_yearText},
        {QStringLiteral("[Show]"), QString()}};
    for (const auto &[key, value] : m_show)
        lines.append({key + QLatin1Char('='), QString::number(value)});
    QByteArray bytes;
    for (const auto &[key, value] : lines) {
        const std::optional<QByteArray> encoded = encodeCp1252(key + value);
        if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')) || !encoded)
            throw EVxException(
                QStringLiteral("Il valore \"%1\" del docente %2 (%3) non può essere scritto in "
                               "qedInfo.ini: contiene un a capo o un carattere che il file non "
                               "rappresenta. Invio interrotto; la cartella del docente non è stata "
                               "toccata.")
                    .arg(key.chopped(key.endsWith(QLatin1Char('=')) ? 1 : 0),
                         QString(teacher.sDocNome)
                             .replace(QLatin1Char('\r'), QLatin1Char(' '))
                             .replace(QLatin1Char('\n'), QLatin1Char(' ')),
                         teacher.sAnaCagCode));
        bytes += *encoded + "\r\n";
    }
    return bytes;
}

QString QelTeacherFolderWriter::WriteTeacherFolder(const QString &base,
                                                   const QelFolderTeacher &teacher)
{
    const QByteArray info = InfoText(teacher);
    const QString folder = FolderOf(base, teacher);
    VxMakeOwnFolder(base, QDir(base).relativeFilePath(folder));
    deleteInfoFile(folder);

    const QSqlDatabase db = qqoVxGlobConn();
    const TVxFieldValues params =
        valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}, {"iAnaId", teacher.iAnaId}});
    const auto save = [&](const QString &name, const QString &sql, const TVxFieldValues &values) {
        TSQLClientDataSet ds;
        openSelect(ds, sql, values);
        ds.SaveToFile(folder + name, dfBinary, TVxFileSync::Later);
    };
    save(PacketNames().at(0), QelDocFolderSql::clsMat(), params);
    writeVoti(teacher, folder);
    save(PacketNames().at(2), QelDocFolderSql::livelli(), {});
    save(PacketNames().at(3), QelDocFolderSql::livVtp(), {});
    save(PacketNames().at(4), QelDocFolderSql::debiti(),
         valuesOf({{"iAnsId", m_iAnsId}, {"iAnaId", teacher.iAnaId}}));
    save(PacketNames().at(5), QelWebSendSql::esiDeb(), {});
    save(PacketNames().at(6), QelDocFolderSql::istituto(), valuesOf({{"iDwgId", m_iDwgId}}));
    if (!SyncFolderToDisk(folder))
        throw EVxException(
            QStringLiteral("Impossibile completare la scrittura dei file nella cartella %1.")
                .arg(native(folder)));

    VxReplaceFile(folder + InfoFileName(), info);
    SendBookkeeping(db).markSentFolder(teacher.iAaiId, folder);
    m_run->CommitRetaining();
    return folder;
}

void QelTeacherFolderWriter::writeVoti(const QelFolderTeacher &teacher, const QString &folder)
{
    const TVxFieldValues params =
        valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}, {"iAnaId", teacher.iAnaId}});
    TSQLClientDataSet base;
    openSelect(base, QelDocFolderSql::votiBase(), params);

    // Per kind: the components of each class-session subject in slot order, and the levels.
    struct Kind
    {
        QHash<qlonglong, QList<QList<QVariant>>> components;
        QHash<PairKey, QVariant> levels;
        int slotCount = 0;
    };
    Kind kinds[3];
    for (int k = 0; k < 3; ++k) {
        const int tass = k == 2 ? 1 : 0;
        TSQLClientDataSet ds;
        TVxFieldValues values = params;
        values.setValue(QStringLiteral("iCmpScaTass"), tass);
        openSelect(ds, QelDocFolderSql::slotComponents(), values);
        for (int row = 0; row < ds.StoredRecordCount(); ++row) {
            const QList<QVariant> &r = ds.StoredRecord(row);
            kinds[k].components[r.at(0).toLongLong()].append(r.mid(1, 4));
        }
        openSelect(ds, QelDocFolderSql::slotLevels(QelDocFolderSql::kinds()[k]), params);
        for (int row = 0; row < ds.StoredRecordCount(); ++row) {
            const QList<QVariant> &r = ds.StoredRecord(row);
            kinds[k].levels.insert(pairOf(r.at(0), r.at(1)), r.at(2));
        }
        // A subject with more components than the session has scales still sends them all.
        kinds[k].slotCount = m_slots[tass];
        for (const QList<QList<QVariant>> &list : std::as_const(kinds[k].components))
            kinds[k].slotCount = std::max(kinds[k].slotCount, int(list.size()));
    }
    // The first value (by key) of each situation and class-session subject.
    QHash<PairKey, QList<QVariant>> subjectValues[3];
    for (int k = 0; k < 3; ++k) {
        TSQLClientDataSet ds;
        openSelect(ds, QelDocFolderSql::subjectValues(QelDocFolderSql::kinds()[3 + k]), params);
        for (int row = 0; row < ds.StoredRecordCount(); ++row) {
            const QList<QVariant> &r = ds.StoredRecord(row);
            const PairKey key = pairOf(r.at(0), r.at(1));
            if (!subjectValues[k].contains(key))
                subjectValues[k].insert(key, r.mid(2, k == 2 ? 2 : 1));
        }
    }

    TClientDataSet voti;
    for (const TFieldDef &def : base.FieldDefs())
        voti.AddFieldDef(def.Name, def.DataType, def.Size);
    for (int k = 0; k < 3; ++k)
        for (int n = 1; n <= kinds[k].slotCount; ++n) {
            const QString slot = QLatin1String(kSlotPrefixes[k]) + QString::number(n);
            voti.AddFieldDef(QStringLiteral("iClsMatCmpId_") + slot, ftInteger);
            voti.AddFieldDef(QStringLiteral("sCmpSDesc_") + slot, ftString, 50);
            voti.AddFieldDef(QStringLiteral("sCmpLDesc_") + slot, ftString, 100);
            voti.AddFieldDef(QStringLiteral("iCmpScaId_") + slot, ftInteger);
            voti.AddFieldDef(QStringLiteral("iScaLivId_") + slot, ftInteger);
        }
    voti.AddFieldDef(QStringLiteral("iAssOre"), ftInteger);
    // Four characters, as the aids are stored: a narrower column would cut them.
    voti.AddFieldDef(QStringLiteral("sAiuVal"), ftString, 4);
    voti.AddFieldDef(QStringLiteral("dNotData"), ftDate);
    voti.AddFieldDef(QStringLiteral("bNotNota"), ftMemo);
    voti.CreateDataSet();

    const int sitColumn = base.FieldByName(QStringLiteral("iSitId"))->Index();
    const int csmColumn = base.FieldByName(QStringLiteral("iClsSesMatId"))->Index();
    const int baseCount = int(base.FieldDefs().size());
    for (int row = 0; row < base.StoredRecordCount(); ++row) {
        const QList<QVariant> &r = base.StoredRecord(row);
        voti.Append();
        int field = 0;
        for (; field < baseCount; ++field)
            voti.Fields(field)->setValue(r.at(field));
        for (int k = 0; k < 3; ++k) {
            const QList<QList<QVariant>> components =
                kinds[k].components.value(r.at(csmColumn).toLongLong());
            for (int n = 0; n < kinds[k].slotCount; ++n, field += 5) {
                if (n >= components.size())
                    continue;
                const QList<QVariant> &c = components.at(n);
                for (int i = 0; i < 4; ++i)
                    voti.Fields(field + i)->setValue(c.at(i));
                voti.Fields(field + 4)->setValue(
                    kinds[k].levels.value(pairOf(r.at(sitColumn), c.at(0))));
            }
        }
        const PairKey key = pairOf(r.at(sitColumn), r.at(csmColumn));
        for (int k = 0; k < 3; ++k) {
            const QList<QVariant> values = subjectValues[k].value(key);
            const int width = k == 2 ? 2 : 1;
            for (int i = 0; i < width; ++i, ++field)
                if (i < values.size())
                    voti.Fields(field)->setValue(values.at(i));
        }
        voti.Post();
    }
    voti.SaveToFile(folder + PacketNames().at(1), dfBinary, TVxFileSync::Later);
}

namespace {

// The kinds as the office reads them, in the order of QelDocFolderSql::kinds(), then the debts.
const char *const kKindNames[] = {"voti",  "voti proposti", "tassonomie",          "assenze",
                                  "aiuti", "note",          "verifiche dei debiti"};

// The first faults shown of a refused folder; the count of the others follows them.
constexpr int kFaultsShown = 10;

} // namespace

struct QelTeacherFolderCollector::Value
{
    int kind; // an index of QelDocFolderSql::kinds(), or kindCount() for a debt
    TVxFieldValues values;
    bool remove = false; // the value was emptied: the stored one goes
    // The value as the office reads it (what): the pupil and subject of its row, named only
    // for a line, then the target.
    QVariant sit, subject;
    bool bySubject = false;
    QString target;
    std::pair<int, int> key; // situation and row key (debts: subject): one value each
    QString keysFault;       // why its row's keys cannot be read; empty when they can
    QString refusal;         // why the grid would refuse it; empty when it would take it
    bool gone = false;       // a debt the office deleted after the send: nothing to write
};

QelTeacherFolderCollector::QelTeacherFolderCollector(int iAnsSesDwgId, int iAnsId)
    : m_db(qqoVxGlobConn()), m_iAnsSesDwgId(iAnsSesDwgId), m_iAnsId(iAnsId),
      m_rules(std::make_unique<QelCollectedValues>())
{
}

QelTeacherFolderCollector::~QelTeacherFolderCollector() = default;

QString QelTeacherFolderCollector::ReadInfoCode(const QString &folder)
{
    return TVxINIFile(folder + QelTeacherFolderWriter::InfoFileName())
        .ReadString(QStringLiteral("Info"), QStringLiteral("Codice"), QString());
}

QelTeacherFolderCollector::Show QelTeacherFolderCollector::ReadShow(const QString &folder)
{
    const QString path = folder + QelTeacherFolderWriter::InfoFileName();
    const TVxINIFile ini(path);
    Show show;
    // A value spoilt must not leave its kind out of the collection unsaid.
    for (const char *key : {"Vot", "Vtp", "Tas", "Ass", "Aiu", "Not", "Deb"}) {
        const QString name = QLatin1String(key);
        const QString text = ini.ReadString(QStringLiteral("Show"), name, QString()).trimmed();
        if (text != QLatin1String("0") && text != QLatin1String("1"))
            throw EVxException(QStringLiteral("Il file %1 non è valido: nella sezione [Show] la "
                                              "chiave %2 vale \"%3\" e non 0 o 1. La cartella non "
                                              "è stata raccolta e nessun dato è stato modificato.")
                                   .arg(native(path), name, text));
        show.append({name, text == QLatin1String("1")});
    }
    return show;
}

QStringList QelTeacherFolderCollector::ImportTeacherFolder(const QString &folder, int iDocId,
                                                           const QString &clsFilter,
                                                           const Show &show)
{
    CheckTeacherFolder(folder, iDocId, clsFilter, show);
    return ImportCheckedFolder();
}

void QelTeacherFolderCollector::CheckTeacherFolder(const QString &folder, int iDocId,
                                                   const QString &clsFilter, const Show &show)
{
    m_iDocId = iDocId;
    m_values.clear();
    const auto shown = [&show](const char *name) {
        for (const auto &[key, on] : show)
            if (key == QLatin1String(name))
                return on;
        return false;
    };
    const QStringList &packets = QelTeacherFolderWriter::PacketNames();
    const QString votiPath = folder + packets.at(1), debitiPath = folder + packets.at(4),
                  schoolPath = folder + packets.at(6);
    // Every packet is there before anything is written.
    requireFile(votiPath);
    if (shown("Deb"))
        requireFile(debitiPath);
    requireFile(schoolPath);
    const auto refuse = [&](const QString &why) {
        return EVxException(QStringLiteral("La cartella %1 non è stata raccolta: %2\r\rNessun dato "
                                           "è stato modificato.")
                                .arg(native(folder), why));
    };
    // Another school's folder, or another year's or session's: its ids would name other rows.
    TClientDataSet school;
    school.LoadFromFile(schoolPath);
    school.First();
    const QString theirs = school.IsEmpty()
                               ? QString()
                               : valueOf(school, QStringLiteral("sSedMecCod")).toString().trimmed();
    QString ours;
    bool first = true;
    VxEachRow(m_db, QelDocFolderSql::istituto(),
              valuesOf({{"iDwgId", TVxWorkingContext::institute()}}),
              [&](const QSqlQuery &q, const QSqlRecord &r) {
                  if (std::exchange(first, false))
                      ours = q.value(r.indexOf(QStringLiteral("sSedMecCod"))).toString().trimmed();
              });
    if (theirs != ours)
        throw refuse(QStringLiteral("è di un'altra scuola (il codice meccanografico del suo file "
                                    "%1 è \"%2\", quello di questa scuola \"%3\").")
                         .arg(packets.at(6), theirs, ours));
    const TVxINIFile info(folder + QelTeacherFolderWriter::InfoFileName());
    const QString year = info.ReadString(QStringLiteral("Info"), QStringLiteral("Anno"), QString());
    const QString session =
        info.ReadString(QStringLiteral("Info"), QStringLiteral("Sessione"), QString());
    if (year != AnnoScolTextOfAnsId(m_iAnsId) || session != GetSessioneDesc(m_iAnsSesDwgId))
        throw refuse(QStringLiteral("è dell'anno \"%1\", sessione \"%2\", e non di quelli di "
                                    "lavoro (\"%3\", sessione \"%4\").")
                         .arg(year, session, AnnoScolTextOfAnsId(m_iAnsId),
                              GetSessioneDesc(m_iAnsSesDwgId)));

    TClientDataSet voti;
    voti.LoadFromFile(votiPath);
    if (!clsFilter.isEmpty()) {
        voti.setFilter(clsFilter);
        voti.setFiltered(true);
    }
    for (voti.First(); !voti.Eof(); voti.Next())
        for (int k = 0; k < QelDocFolderSql::kindCount(); ++k) {
            const QelDocFolderKind &kind = QelDocFolderSql::kinds()[k];
            if (!shown(kind.name))
                continue;
            if (*kind.prefix)
                addGradeValues(voti, k);
            else
                addSubjectValue(voti, k);
        }
    if (shown("Deb")) {
        TClientDataSet debiti;
        debiti.LoadFromFile(debitiPath);
        if (!clsFilter.isEmpty()) {
            debiti.setFilter(clsFilter);
            debiti.setFiltered(true);
        }
        addDebts(debiti);
    }

    // Every value is checked in the teacher's classes and subjects before the first is written.
    TVxTransaction reading(m_db, kTransactionId);
    if (!reading.StartTransaction())
        throw EVxException(reading.lastError());
    QStringList faults;
    int count = 0;
    // A row of voti.cds carries a pupil's absence, aid and note in a subject: outside, it is
    // told once.
    QSet<std::pair<int, int>> rowsTold;
    for (Value &v : m_values) {
        const bool debt = v.kind == QelDocFolderSql::kindCount();
        bool inScope = false;
        int scale = 0;
        QVariant stored;
        if (v.keysFault.isEmpty()) {
            QSqlQuery &found =
                reading.Exec(debt ? QelDocFolderSql::debtInScope()
                                  : QelDocFolderSql::valueInScope(QelDocFolderSql::kinds()[v.kind]),
                             v.values);
            inScope = fetchNext(found);
            scale = inScope && !debt ? found.value(0).toInt() : 0;
            stored = inScope && !debt ? found.value(1) : QVariant();
            found.finish();
            // A debt of his the office deleted since the send is told, and refuses nothing.
            if (!inScope && debt) {
                QSqlQuery &gone = reading.Exec(QelDocFolderSql::debtGone(), v.values);
                v.gone = fetchNext(gone);
                gone.finish();
                if (v.gone)
                    continue;
            }
        }
        // A value in the teacher's scope that the grid would refuse is refused alone, its kind
        // kept; one outside refuses the folder.
        if (inScope) {
            if (!v.remove) {
                TVxFieldValues measured = v.values;
                measured.setValue(QStringLiteral("iCmpScaId"), scale);
                v.refusal = m_rules->Refusal(QelCollectedValues::Kind(kKindNames[v.kind]), measured,
                                             stored);
            }
            continue;
        }
        const bool subjectRow = !debt && !*QelDocFolderSql::kinds()[v.kind].prefix;
        if (subjectRow && rowsTold.contains(v.key))
            continue;
        if (subjectRow)
            rowsTold.insert(v.key);
        if (++count <= kFaultsShown)
            faults << QStringLiteral("  ") + what(v) +
                          (v.keysFault.isEmpty() ? QString() : QStringLiteral(": ") + v.keysFault);
    }
    reading.Commit();
    if (count == 0)
        return;
    if (count > faults.size())
        faults << (count - kFaultsShown == 1
                       ? QStringLiteral("  ... e un altro.")
                       : QStringLiteral("  ... e altri %1.").arg(count - kFaultsShown));
    throw refuse(QStringLiteral("%1 alle classi e materie del docente nella sessione di lavoro "
                                "(i debiti: a quelli che verifica o delle sue materie).\r\r%2")
                     .arg(count == 1 ? QStringLiteral("un dato non appartiene")
                                     : QStringLiteral("%1 dati non appartengono").arg(count),
                          faults.join(QLatin1Char('\r'))));
}

void QelTeacherFolderCollector::addGradeValues(const TClientDataSet &record, int kindIndex)
{
    const QelDocFolderKind &kind = QelDocFolderSql::kinds()[kindIndex];
    const QString prefix = QLatin1String(kind.prefix);
    for (int n = 1; record.FindField(QStringLiteral("iClsMatCmpId_%1%2").arg(prefix).arg(n)); ++n) {
        const QString slot = prefix + QString::number(n);
        const QVariant component = valueOf(record, QStringLiteral("iClsMatCmpId_") + slot);
        if (component.isNull())
            continue;
        const QVariant level = valueOf(record, QStringLiteral("iScaLivId_") + slot);
        QList<QPair<QString, QVariant>> values;
        if (!level.isNull())
            values.append({QStringLiteral("iScaLivId"), level.toLongLong()});
        addValue(record, kindIndex,
                 QStringLiteral("%1, componente %2 (iClsMatCmpId %3)")
                     .arg(QLatin1String(kKindNames[kindIndex]),
                          valueOf(record, QStringLiteral("sCmpSDesc_") + slot).toString())
                     .arg(component.toString()),
                 QStringLiteral("iClsMatCmpId_") + slot, values);
    }
}

void QelTeacherFolderCollector::addSubjectValue(const TClientDataSet &record, int kindIndex)
{
    const QString name = QLatin1String(QelDocFolderSql::kinds()[kindIndex].name);
    QList<QPair<QString, QVariant>> values;
    if (name == QLatin1String("Ass")) {
        const QVariant hours = valueOf(record, QStringLiteral("iAssOre"));
        if (!hours.isNull() && hours.toLongLong() != 0)
            values.append({QStringLiteral("iAssOre"), hours.toLongLong()});
    } else if (name == QLatin1String("Aiu")) {
        const QString aid = valueOf(record, QStringLiteral("sAiuVal")).toString();
        if (!aid.isEmpty())
            values.append({QStringLiteral("sAiuVal"), aid});
    } else {
        const QVariant date = valueOf(record, QStringLiteral("dNotData"));
        const QVariant text = valueOf(record, QStringLiteral("bNotNota"));
        if (!date.isNull() || !text.toString().isEmpty()) {
            // An invalid QVariant is the null the statement needs: Qt 6 does not take an
            // invalid QDate for one.
            values.append({QStringLiteral("dNotData"),
                           date.toDate().isValid() ? QVariant(date.toDate()) : QVariant()});
            values.append({QStringLiteral("bNotNota"),
                           text.isNull() ? QVariant() : QVariant(text.toString())});
        }
    }
    addValue(record, kindIndex, QLatin1String(kKindNames[kindIndex]),
             QStringLiteral("iClsSesMatId"), values);
}

void QelTeacherFolderCollector::addValue(const TClientDataSet &record, int kindIndex,
                                         const QString &target, const QString &rowKeyColumn,
                                         const QList<QPair<QString, QVariant>> &values)
{
    const QelDocFolderKind &kind = QelDocFolderSql::kinds()[kindIndex];
    const QVariant rowKey = valueOf(record, rowKeyColumn);
    const QVariant sitValue = valueOf(record, QStringLiteral("iSitId"));
    const int sit = sitValue.toInt();
    Value v{kindIndex,
            valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId},
                      {"iDocId", m_iDocId},
                      {"iSitId", sit},
                      {kind.rowKey, rowKey.toInt()}}),
            values.isEmpty(),
            sitValue,
            valueOf(record, QStringLiteral("iClsSesMatId")),
            false,
            target,
            {sit, rowKey.toInt()},
            keyFault(record, {QStringLiteral("iSitId"), rowKeyColumn}),
            {}};
    for (const auto &[name, value] : values)
        v.values.setValue(name, value);
    m_values << v;
}

void QelTeacherFolderCollector::addDebts(TClientDataSet &debiti)
{
    for (debiti.First(); !debiti.Eof(); debiti.Next()) {
        QVariant verified = valueOf(debiti, QStringLiteral("dDebVer"));
        verified = verified.toDate().isValid() ? QVariant(verified.toDate()) : QVariant();
        const QVariant note = valueOf(debiti, QStringLiteral("bDebNota"));
        const QVariant sitValue = valueOf(debiti, QStringLiteral("iSitId"));
        const QVariant subjectValue = valueOf(debiti, QStringLiteral("iMatId"));
        const int sit = sitValue.toInt();
        const int subject = subjectValue.toInt();
        m_values << Value{
            QelDocFolderSql::kindCount(),
            valuesOf({{"iDesDedId", valueOf(debiti, QStringLiteral("iDesDedId"))},
                      {"dDebVer", verified},
                      {"bDebNota", note.isNull() ? QVariant() : QVariant(note.toString())},
                      {"iSitId", sit},
                      {"iMatId", subject},
                      {"iDocId", m_iDocId},
                      {"iAnsId", m_iAnsId}}),
            false,
            sitValue,
            subjectValue,
            true,
            QStringLiteral("verifica del debito"),
            {sit, subject},
            keyFault(debiti, {QStringLiteral("iSitId"), QStringLiteral("iMatId")}),
            {}};
    }
}

QStringList QelTeacherFolderCollector::ImportCheckedFolder()
{
    QStringList log;
    m_changes.clear();
    m_notes.clear();
    for (int k = 0; k <= QelDocFolderSql::kindCount(); ++k) {
        const bool debts = k == QelDocFolderSql::kindCount();
        // Two rows of one value: the same twice is that value; with other values, which the
        // teacher meant cannot be told.
        QelCollectRepeats repeats;
        const auto keyOf = [](const Value &v) {
            return QStringLiteral("%1|%2").arg(v.key.first).arg(v.key.second);
        };
        for (const Value &v : std::as_const(m_values))
            if (v.kind == k)
                repeats.Note(keyOf(v), QelCollectRepeats::Text(v.values) +
                                           (v.remove ? QStringLiteral("-") : QStringLiteral("+")));
        QList<const Value *> values;
        int refused = 0;
        for (const Value &v : std::as_const(m_values)) {
            if (v.kind != k)
                continue;
            switch (repeats.Take(keyOf(v))) {
            case QelCollectRepeats::Conflict:
                log << QStringLiteral("  %1: %2").arg(what(v), QelCollectRepeats::Cause());
                ++refused;
                continue;
            case QelCollectRepeats::Again:
            case QelCollectRepeats::Told:
                continue;
            case QelCollectRepeats::First:
                break;
            }
            if (v.gone)
                m_notes
                    << QStringLiteral("  %1: %2").arg(what(v), QelCollectedValues::DebtDeleted());
            else if (!v.refusal.isEmpty()) {
                log << QStringLiteral("  %1: %2 Il dato non è stato scritto.")
                           .arg(what(v), v.refusal);
                ++refused;
            } else {
                values << &v;
            }
        }
        if (values.isEmpty() && refused == 0)
            continue;
        // One transaction per kind: a value refused keeps the whole kind as it was.
        TVxTransaction tr(m_db, kTransactionId);
        if (!tr.StartTransaction())
            throw EVxException(QStringLiteral("Impossibile avviare la transazione di scrittura: "
                                              "raccolta interrotta.\r") +
                               tr.lastError());
        TqelChangeCounts counts;
        VxWriteEachRow(
            tr, values.size(),
            [&](qsizetype i) {
                const Value &v = *values[i];
                if (!debts) {
                    writeValue(tr, v, counts);
                    return;
                }
                if (tr.ExecChanged(QelDocFolderSql::debtUpdate(), v.values) > 0) {
                    ++counts.changed;
                    return;
                }
                // As it is stored, or no more the teacher's since the check.
                QSqlQuery &found = tr.Exec(QelDocFolderSql::debtInScope(), v.values);
                const bool inScope = fetchNext(found);
                found.finish();
                if (!inScope)
                    throw EVxException(what(v) +
                                       QStringLiteral(": il debito non è tra quelli del docente."));
            },
            [&](qsizetype i, const EVxException &e) {
                log << QStringLiteral("  ***ERRORE*** %1: %2")
                           .arg(what(*values[i]), OneLine(e.message()));
                ++refused;
            });
        if (refused > 0) {
            tr.Rollback();
            log << QStringLiteral("I dati \"%1\" non sono stati raccolti e restano come erano.")
                       .arg(QLatin1String(kKindNames[k]));
        } else {
            tr.Commit();
            if (!counts.IsEmpty())
                m_changes << counts.Line(QLatin1String(kKindNames[k]));
        }
    }
    return log;
}

QString QelTeacherFolderCollector::what(const Value &v) const
{
    return m_rules->Who(v.sit, v.subject, v.bySubject) + QStringLiteral(", ") + v.target;
}

QStringList QelTeacherFolderCollector::Summary() const
{
    return CollectionSummary({}, m_changes);
}

QStringList QelTeacherFolderCollector::Notes() const
{
    return m_notes;
}

void QelTeacherFolderCollector::writeValue(TVxTransaction &tr, const Value &v,
                                           TqelChangeCounts &counts)
{
    const QelDocFolderKind &kind = QelDocFolderSql::kinds()[v.kind];
    TVxFieldValues all = v.values;
    const auto outside = [&] {
        return EVxException(QStringLiteral("il dato non appartiene alle classi e materie del "
                                           "docente nella sessione di lavoro."));
    };
    const QString write =
        v.remove ? QelDocFolderSql::deleteValue(kind) : QelDocFolderSql::updateValue(kind);
    if (tr.ExecChanged(write, all) > 0) {
        ++(v.remove ? counts.deleted : counts.changed);
        return;
    }
    QSqlQuery &found = tr.Exec(QelDocFolderSql::valueInScope(kind), all);
    const bool inScope = fetchNext(found);
    found.finish();
    if (!inScope)
        throw outside();
    if (v.remove)
        return;
    // None stored, or the same value: the insert writes only the first.
    all.setValue(QStringLiteral("iNewId"), VxNewKey(m_db, QLatin1String(kind.generator)));
    if (tr.ExecChanged(QelDocFolderSql::insertValue(kind), all) > 0)
        ++counts.added;
}
