// The collection of a returned class or teacher folder: the attendance, then each data kind
// replaced in one transaction of its own, after every packet it needs has been read.

#include "exchange/qelwait.h"
#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>

#include <map>

namespace {

// What the collection reads of each kind: the packet's columns it needs (checked before any
// write), the statement of one row, and the name of the kind in the office's messages.
struct CollectKind
{
    int kind;
    const char *name;
    const char *columns;
    const char *table; // PYSetGetId's name of the row's key; none for an update
    const char *insert;
};

// Kinds 0 to 2 find the row's component inside the statement: a component gone since the
// export leaves it null, and the row is refused.
#define QEL_COMPONENT                                                                              \
    "(SELECT c.iClsMatCmpId FROM TClsMatCmp c WHERE c.iClsSesMatId = :iClsSesMatId "               \
    "AND c.iCmpScaId = :iCmpScaId)"
const CollectKind kKinds[] = {
    {0, "voti", "iClsId iClsSesMatId iSitId iCmpScaId iValId", "TVOT_VOTI",
     "INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId, dInsert, dStart, dEnd) "
     "VALUES (:iKey, " QEL_COMPONENT ", :iSitId, :iLevel, :dInsert, :dStart, :dEnd)"},
    {1, "voti proposti", "iClsId iClsSesMatId iSitId iCmpScaId iValId", "TVTP_PROPOSTI",
     "INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, iPrpScaLivId, dInsert, dStart, "
     "dEnd) VALUES (:iKey, " QEL_COMPONENT ", :iSitId, :iLevel, :dInsert, :dStart, :dEnd)"},
    {2, "tassonomie", "iClsId iClsSesMatId iSitId iCmpScaId iValId", "TTAS_TASSONOMIE",
     "INSERT INTO TTas_Tassonomie (iTasId, iClsMatCmpId, iSitId, iScaLivId, dInsert, dStart, "
     "dEnd) VALUES (:iKey, " QEL_COMPONENT ", :iSitId, :iLevel, :dInsert, :dStart, :dEnd)"},
    {3, "assenze", "iClsId iClsSesMatId iSitId iValId", "TASS_ASSENZE",
     "INSERT INTO TAss_Assenze (iAssId, iClsSesMatId, iSitId, iAssOre, dInsert, dStart, dEnd) "
     "VALUES (:iKey, :iClsSesMatId, :iSitId, :iAssOre, :dInsert, :dStart, :dEnd)"},
    {4, "aiuti", "iClsId iClsSesMatId iSitId sValSDesc", "TAIU_AIUTI",
     "INSERT INTO TAiu_Aiuti (iAiuId, iClsSesMatId, iSitId, sAiuVal, dInsert, dStart, dEnd) "
     "VALUES (:iKey, :iClsSesMatId, :iSitId, :sAiuVal, :dInsert, :dStart, :dEnd)"},
    {5, "note", "iClsId iClsSesMatId iSitId bNotNota", "TNOT_NOTE",
     "INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, dNotData, bNotNota, iAnaId, dInsert, "
     "dStart, dEnd) VALUES (:iKey, :iClsSesMatId, :iSitId, :dNotData, :bNotNota, :iAnaId, "
     ":dInsert, :dStart, :dEnd)"},
    {7, "debiti", "iClsId iAnsId iAnaId iSitId iMatId", "TDEB_DEBITI",
     "INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, dDebAttr, dDebVer, iAnaId_Attr, "
     "iAnaId_Ver, iDesDedId, iDtpDtdId, bDebNota, dInsert, dStart, dEnd) VALUES (:iKey, "
     "(SELECT s.iSitId FROM TSit_Situazioni s JOIN TAns_AnniScolast a "
     "ON a.dAnsVextoInizio = s.dStart WHERE s.iAnaId = :iAnaId AND s.iSitOrdine = 1 "
     "AND a.iAnsId = :iAnsId), :iMatId, :dDebAttr, :dDebVer, :iAnaId_Attr, :iAnaId_Ver, "
     ":iDesDedId, :iDtpDtdId, :bDebNota, :dInsert, :dStart, :dEnd)"},
    {8, "giudizi", "iClsId iSitId iAnsSesDwgId bGdzGiudizio", "TGDZ_GIUDIZI",
     "INSERT INTO TGdz_Giudizi (iGdzId, iSitId, iAnsSesDwgId, bGdzGiudizio, dInsert, dStart, "
     "dEnd) VALUES (:iKey, :iSitId, :iAnsSesDwgId, :bGdzGiudizio, :dInsert, :dStart, :dEnd)"},
    {9, "esiti finali", "iClsId iSitId iPosFinId", nullptr,
     "UPDATE TSit_Situazioni SET iPosFinId = :iPosFinId WHERE iSitId = :iSitId"},
    {10, "competenze", "iAnaId iCompAsseId", "TCOMP_COMPETENZE",
     "INSERT INTO TCOMP_COMPETENZE (ICOMPID, IANAID, ISITID, ICOMPASSEID, ICOMPLIVID, "
     "ILINGUASTRANIERAID, SCOMPNOTE) VALUES (:iKey, :iAnaId, :iSitId, :iCompAsseId, "
     ":iCompLivId, :iLinguaStranieraId, :sCompNote)"},
};
#undef QEL_COMPONENT

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

QVariant field(const TClientDataSet &packet, const char *name)
{
    const TField *f = packet.FindField(QLatin1String(name));
    return f ? f->Value() : QVariant();
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

// The competence's level and language are keys only when they read as a number other than 0.
QVariant numberField(const TClientDataSet &packet, const char *name)
{
    bool ok = false;
    const qint64 number = field(packet, name).toString().trimmed().toLongLong(&ok);
    return ok && number != 0 ? QVariant(number) : QVariant();
}

QString idList(const QList<int> &ids)
{
    QStringList texts;
    for (const int id : ids)
        texts << QString::number(id);
    return QLatin1Char('(') + (texts.isEmpty() ? QStringLiteral("-1") : texts.join(u',')) +
           QLatin1Char(')');
}

QList<int> selectIds(TVxTransaction &tr, const QString &sql, const TVxFieldValues &values)
{
    QList<int> ids;
    QSqlQuery &query = tr.Exec(sql, values);
    while (fetchNext(query))
        ids << query.value(0).toInt();
    query.finish();
    return ids;
}

QString oneLine(QString text)
{
    return text.replace(u'\r', u' ').replace(u'\n', u' ').simplified();
}

} // namespace

struct TdmqelXML::Collection
{
    std::map<QString, std::unique_ptr<TClientDataSet>> packets; // by file name
    QList<int> classSits; // ClsAlu.xml's situations of the collected class
    QSet<int> folderSits; // ClsAlu.xml's situations of every class of the folder
    QDate yearStart, yearEnd;
    QList<int> sesMats; // the class-session subjects of kinds 0 to 5 (the teacher's only)
    bool sesMatsRead = false;
    QStringList log;
    QStringList stored; // the steps committed so far

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
    QList<Need> needs{{kPupils, QStringLiteral("ISITID ICLSID IANAID")}};
    for (const CollectKind &k : kKinds) {
        const bool classOnly = k.kind == 7 || k.kind == 8 || k.kind == 9;
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
    TClientDataSet &pupils = *c.packet(kPupils);
    for (pupils.First(); !pupils.Eof(); pupils.Next()) {
        c.folderSits.insert(intField(pupils, "ISITID"));
        if (intField(pupils, "ICLSID") == iClsId)
            c.classSits << intField(pupils, "ISITID");
    }
    TVxFieldValues year;
    year.setValue(QStringLiteral("iAnsId"), iAnsId);
    VxEachRow(qqoVxGlobConn(),
              QStringLiteral("SELECT dAnsVextoInizio, dAnsVextoFine FROM TAns_AnniScolast "
                             "WHERE iAnsId = :iAnsId"),
              year, [&c](const QSqlQuery &query, const QSqlRecord &) {
                  c.yearStart = query.value(0).toDate();
                  c.yearEnd = query.value(1).toDate();
              });
}

QStringList TdmqelXML::CollectLog() const
{
    return m_collect ? m_collect->log : QStringList();
}

QStringList TdmqelXML::CollectData()
{
    TVxWaitCursor hourglass;
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

    LoadCollectPackets();
    collectStep(QStringLiteral("frequenza"), [this](TVxTransaction &tr) { ImportAttendance(tr); });
    // ImportScrutinyDate takes its place here.
    const auto replace = [this](int kind) {
        collectStep(QLatin1String(collectKind(kind).name), [this, kind](TVxTransaction &tr) {
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
        // UpdateClassDebts (class mode) or UpdateTeacherDebts (teacher mode) takes its place
        // here.
    }
    if (iMode == 1) {
        if (iEsi == 1)
            replace(9);
        // ImportCredits takes its place here (iCre).
        if (iGdz == 1)
            replace(8);
        // ImportRecuperi takes its place here.
    }
    return m_collect->log;
}

void TdmqelXML::collectStep(const QString &what, const std::function<void(TVxTransaction &)> &step)
{
    if (m_wait)
        m_wait->Refresh();
    TVxTransaction tr(qqoVxGlobConn());
    try {
        if (!tr.StartTransaction())
            throw EVxException(tr.lastError());
        step(tr);
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
}

namespace {

// Writes the rows, each row's failure its own: a row the database refuses is taken back and
// listed, and the others are written; a failure that is not a row's own ends the kind. The rows
// run under one savepoint first, since a refused row is rare and a savepoint per row costs two
// round trips more; when one is refused, they are written again, each under a savepoint of its
// own.
void writeRows(TVxTransaction &tr, QStringList &log, qsizetype count,
               const std::function<void(qsizetype)> &write)
{
    const auto endsTheKind = [&tr](const EVxException &e) {
        return !tr.InTransaction() || isLockWaitRefused(e) || isConnectionLost(e);
    };
    try {
        VxUnderSavepoint(tr, [&] {
            for (qsizetype row = 0; row < count; ++row)
                write(row);
        });
        return;
    } catch (const EVxException &e) {
        if (endsTheKind(e))
            throw;
    }
    for (qsizetype row = 0; row < count; ++row) {
        try {
            VxUnderSavepoint(tr, [&] { write(row); });
        } catch (const EVxException &e) {
            if (endsTheKind(e))
                throw;
            log << QStringLiteral("  ***ERRORE*** ") +
                       oneLine(e.detail().isEmpty() ? e.message()
                                                    : e.message() + u' ' + e.detail());
        }
    }
}

} // namespace

void TdmqelXML::ImportAttendance(TVxTransaction &tr)
{
    TClientDataSet &pupils = *m_collect->packet(kPupils);
    if (!pupils.FindField(QStringLiteral("Frequenza")))
        return;
    QList<TVxFieldValues> rows;
    QList<bool> empty;
    for (pupils.First(); !pupils.Eof(); pupils.Next()) {
        const QString code = field(pupils, "Frequenza").toString().toUpper();
        TVxFieldValues values;
        values.setValue(QStringLiteral("iSitId"), intField(pupils, "ISITID"));
        values.setValue(QStringLiteral("iFreqId"), code == u"D" ? 2 : code == u"N" ? 3 : 1);
        rows << values;
        empty << code.isEmpty();
    }
    writeRows(tr, m_collect->log, rows.size(), [&](qsizetype row) {
        // The export writes "" for every code but 2 and 3: an empty code takes back only
        // those, so that a code the folder cannot carry comes back as it was.
        if (empty[row])
            tr.Exec(QStringLiteral("UPDATE TSit_Situazioni SET iFreqId = :iFreqId "
                                   "WHERE iSitId = :iSitId AND iFreqId IN (2, 3)"),
                    rows[row]);
        else
            tr.ExecRow(QStringLiteral("UPDATE TSit_Situazioni SET iFreqId = :iFreqId "
                                      "WHERE iSitId = :iSitId"),
                       rows[row]);
    });
}

const QList<int> &TdmqelXML::collectedSubjects(TVxTransaction &tr)
{
    Collection &c = *m_collect;
    if (!c.sesMatsRead) {
        TVxFieldValues values;
        values.setValue(QStringLiteral("iClsId"), iClsId);
        values.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
        QString scope = QStringLiteral("SELECT m.iClsSesMatId FROM TClsSesMat m JOIN TClsSes s "
                                       "ON s.iClsSesId = m.iClsSesId WHERE s.iClsId = :iClsId "
                                       "AND s.iAnsSesDwgId = :iAnsSesDwgId");
        if (iMode != 1) {
            values.setValue(QStringLiteral("iAnaId"), iAnaId);
            scope += QStringLiteral(" AND EXISTS (SELECT 1 FROM TMatRma r JOIN TClsMatAna a "
                                    "ON a.iMatId = r.iMatId WHERE r.iMatRmaId = m.iMatRmaId "
                                    "AND a.iClsId = :iClsId AND a.iAnaId = :iAnaId)");
        }
        c.sesMats = selectIds(tr, scope, values);
        c.sesMatsRead = true;
    }
    return c.sesMats;
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
        // The lists hold the ids the database gave: the rows go through the tables' indexes.
        if (kind <= 2) {
            const QList<int> components = selectIds(
                tr,
                QStringLiteral("SELECT iClsMatCmpId FROM TClsMatCmp WHERE iClsSesMatId IN ") +
                    idList(collectedSubjects(tr)),
                {});
            tr.Exec(QStringLiteral("DELETE FROM %1 WHERE iClsMatCmpId IN ")
                            .arg(QLatin1String(tables[kind])) +
                        idList(components),
                    {});
        } else {
            tr.Exec(QStringLiteral("DELETE FROM %1 WHERE iClsSesMatId IN ")
                            .arg(QLatin1String(tables[kind])) +
                        idList(collectedSubjects(tr)),
                    {});
        }
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
        const QList<int> sits =
            selectIds(tr,
                      QStringLiteral("SELECT s.iSitId FROM TSit_Situazioni s JOIN TClsPst p "
                                     "ON p.iClsPstId = s.iClsPstId WHERE p.iClsId = :iClsId"),
                      values);
        tr.Exec(QStringLiteral("DELETE FROM TGdz_Giudizi WHERE iAnsSesDwgId = :iAnsSesDwgId "
                               "AND iSitId IN ") +
                    idList(sits),
                values);
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

void TdmqelXML::ImportKindData(int kind, TVxTransaction &tr)
{
    if (m_wait)
        m_wait->Refresh();
    Collection &c = *m_collect;
    const CollectKind &rule = collectKind(kind);
    const QString packetName = packetOf(kind);
    TClientDataSet &packet = *c.packet(packetName);
    const QString sql = QLatin1String(rule.insert);
    const QList<int> &subjects = kind <= 5 ? collectedSubjects(tr) : c.sesMats;
    const QSet<int> sesMats(subjects.cbegin(), subjects.cend());
    const QSet<int> classSits(c.classSits.cbegin(), c.classSits.cend());
    const QString scope =
        iMode == 1 ? QStringLiteral("della classe %1").arg(sClsDesc)
                   : QStringLiteral("delle materie del docente %1 nella classe").arg(sDocNome);
    const auto outside = [&](const char *what, const QVariant &id) {
        c.log << QStringLiteral("  %1: la riga della situazione %2 (%3 %4) non è stata raccolta: "
                                "è fuori dai dati %5.")
                     .arg(packetName, field(packet, "iSitId").toString(), QLatin1String(what),
                          id.toString(), scope);
    };
    QList<TVxFieldValues> rows;
    for (packet.First(); !packet.Eof(); packet.Next()) {
        if (kind != 10 && intField(packet, "iClsId") != iClsId)
            continue;
        if (kind == 7 && intField(packet, "iAnsId") != iAnsId)
            continue;
        TVxFieldValues values;
        const auto copy = [&](const char *name) {
            values.setValue(QLatin1String(name), field(packet, name));
        };
        if (kind <= 5) {
            if (!sesMats.contains(intField(packet, "iClsSesMatId"))) {
                outside("materia", field(packet, "iClsSesMatId"));
                continue;
            }
            copy("iClsSesMatId");
            copy("iSitId");
        }
        switch (kind) {
        case 0:
        case 1:
        case 2:
            copy("iCmpScaId");
            values.setValue(QStringLiteral("iLevel"), field(packet, "iValId"));
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
            if (!classSits.contains(intField(packet, "iSitId"))) {
                outside("materia", field(packet, "iMatId"));
                continue;
            }
            for (const char *name :
                 {"iAnaId", "iAnsId", "iMatId", "dDebAttr", "dDebVer", "bDebNota"})
                copy(name);
            for (const char *name : {"iAnaId_Attr", "iAnaId_Ver", "iDesDedId", "iDtpDtdId"})
                values.setValue(QLatin1String(name), keyField(packet, name));
            break;
        case 8:
            if (intField(packet, "iAnsSesDwgId") != iAnsSesDwgId) {
                outside("sessione", field(packet, "iAnsSesDwgId"));
                continue;
            }
            for (const char *name : {"iSitId", "iAnsSesDwgId", "bGdzGiudizio"})
                copy(name);
            break;
        case 9:
            copy("iSitId");
            values.setValue(QStringLiteral("iPosFinId"), keyField(packet, "iPosFinId"));
            break;
        case 10: {
            const int sit = intField(packet, "iSitId");
            if (!classSits.contains(sit)) {
                // A teacher folder's other classes are collected with their own class.
                if (!c.folderSits.contains(sit))
                    outside("alunno", field(packet, "iAnaId"));
                continue;
            }
            for (const char *name : {"iAnaId", "iSitId", "iCompAsseId", "sCompNote"})
                copy(name);
            for (const char *name : {"iCompLivId", "iLinguaStranieraId"})
                values.setValue(QLatin1String(name), numberField(packet, name));
            break;
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
    writeRows(tr, c.log, rows.size(), [&](qsizetype row) {
        if (!rule.table) {
            tr.ExecRow(sql, rows[row]);
            return;
        }
        rows[row].setValue(QStringLiteral("iKey"),
                           VxNewKey(qqoVxGlobConn(), QLatin1String(rule.table)));
        tr.Exec(sql, rows[row]);
    });
}
