#include "exchange/qelwebsessionpackets.h"

#include "exchange/qelwebsendsql.h"
#include "platform/sqlclientdataset.h"
#include "platform/vxexception.h"
#include "shell/qelutil.h"

#include <algorithm>

namespace {

// The pivoted kinds, in the packet's order: their prefix, component kind and value table.
struct PivotKind
{
    const char *name;
    int iCmpScaTass;
    const char *table;
    const char *level;
};
constexpr PivotKind kKinds[] = {{"vot", 0, "TVot_Voti", "iScaLivId"},
                                {"vtp", 0, "TVtp_Proposti", "iPrpScaLivId"},
                                {"tas", 1, "TTas_Tassonomie", "iScaLivId"}};

// The widths the web application reads. An aid is as wide as its column (four characters), a
// login holds any teacher's id, and a note is never cut: the web collection writes it back
// over the whole one (the packet widens to the longest note it holds).
constexpr int kAidWidth = 4;
constexpr int kLoginWidth = 10;
constexpr int kNoteWidth = 8192;

using Key2 = QPair<qlonglong, qlonglong>;
struct Key3
{
    qlonglong a, b, c;
    bool operator==(const Key3 &) const = default;
};
size_t qHash(const Key3 &k, size_t seed = 0)
{
    return qHashMulti(seed, k.a, k.b, k.c);
}

void open(TSQLClientDataSet &ds, const QString &sql, const TVxFieldValues &params)
{
    ds.Close();
    ds.setCommandText(sql);
    ds.Params() = params;
    ds.Open();
}

int column(const TClientDataSet &ds, const char *name)
{
    return ds.FieldByName(QLatin1String(name))->Index();
}

qlonglong id(const QList<QVariant> &record, int column)
{
    return record.at(column).toLongLong();
}

// The first row of each pupil, class and subject, with the values of the named columns.
QHash<Key3, QList<QVariant>> firstValues(const TClientDataSet &ds,
                                         std::initializer_list<const char *> names)
{
    const int sit = column(ds, "iSitId");
    const int cls = column(ds, "iClsId");
    const int mat = column(ds, "iMatId");
    QList<int> columns;
    for (const char *name : names)
        columns << column(ds, name);
    QHash<Key3, QList<QVariant>> values;
    for (int row = 0; row < ds.StoredRecordCount(); ++row) {
        const QList<QVariant> &r = ds.StoredRecord(row);
        const Key3 key{id(r, sit), id(r, cls), id(r, mat)};
        if (values.contains(key))
            continue;
        QList<QVariant> kept;
        for (int c : std::as_const(columns))
            kept << r.at(c);
        values.insert(key, kept);
    }
    return values;
}

TFieldDef fieldDef(const QString &name, TFieldType type, int size = 0)
{
    TFieldDef def;
    def.Name = name;
    def.DataType = type;
    def.Size = size;
    return def;
}

} // namespace

QelWebSessionPackets::QelWebSessionPackets(int iAnsSesDwgId, int iAnsId,
                                           const QelWebSendFlags &flags)
    : m_iAnsSesDwgId(iAnsSesDwgId), m_iAnsId(iAnsId), m_flags(flags)
{
    TSQLClientDataSet ds;
    open(ds, QelWebSendSql::sessionInfo(), valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}}));
    if (!ds.IsEmpty()) {
        m_iSesId = ds.FieldByName(QStringLiteral("iSesId"))->AsInteger();
        m_iAnsSesDwgOrdine = ds.FieldByName(QStringLiteral("iAnsSesDwgOrdine"))->AsInteger();
    }
    for (int tass = 0; tass < 2; ++tass) {
        open(ds, QelWebSendSql::pivotGroups(),
             valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}, {"iCmpScaTass", tass}}));
        m_groups[size_t(tass)] = std::max(ds.FieldByName(QStringLiteral("iScales"))->AsInteger(),
                                          ds.FieldByName(QStringLiteral("iRows"))->AsInteger());
    }
    // The raw code: the password is made on the code as Sede.ini maps it, once, inside.
    m_seatCode = MainSeatMecCode();
    m_yearText = AnnoScolTextOfAnsId(iAnsId);
    m_sessionText = GetSessioneDesc(iAnsSesDwgId);

    m_docenti = QelGatheredPacket({fieldDef(QStringLiteral("iDocId"), ftInteger),
                                   fieldDef(QStringLiteral("sDocNome"), ftString, 100),
                                   fieldDef(QStringLiteral("sDocLogin"), ftString, kLoginWidth),
                                   fieldDef(QStringLiteral("sDocPasswd"), ftString, 5)});
    QList<TFieldDef> sessioni = {fieldDef(QStringLiteral("iDocId"), ftInteger),
                                 fieldDef(QStringLiteral("iAnsSesDwgId"), ftInteger),
                                 fieldDef(QStringLiteral("sAnnoScolatico"), ftString, 9),
                                 fieldDef(QStringLiteral("sSessione"), ftString, 50)};
    for (const auto &[name, value] : std::as_const(m_flags))
        sessioni << fieldDef(name, ftInteger);
    sessioni << fieldDef(QStringLiteral("SessOrdine"), ftInteger);
    m_sessioni = QelGatheredPacket(sessioni);
}

QStringList QelWebSessionPackets::FileNames()
{
    return {QStringLiteral("clsmat.xml"),   QStringLiteral("voti.xml"),
            QStringLiteral("livelli.xml"),  QStringLiteral("livvtp.xml"),
            QStringLiteral("debiti.xml"),   QStringLiteral("esideb.xml"),
            QStringLiteral("istituto.xml"), QStringLiteral("docenti.xml"),
            QStringLiteral("sessioni.xml")};
}

void QelWebSessionPackets::AddTeacher(int iAnaId, const QString &sDocNome,
                                      const QString &sAnaPwPert)
{
    const TVxFieldValues teacher = valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}, {"iAnaId", iAnaId}});
    TSQLClientDataSet ds;
    open(ds, QelWebSendSql::clsMat(), teacher);
    m_clsMat.add(ds);
    addVotiRows(teacher);
    open(ds, QelWebSendSql::debiti(), valuesOf({{"iAnsId", m_iAnsId}, {"iAnaId", iAnaId}}));
    m_debiti.add(ds);

    m_docenti.add({qlonglong(iAnaId), sDocNome, MakeTavrinWebUtente(1, iAnaId, QString()),
                   MakeTavrinWebPasswd(iAnaId, m_iAnsId, m_seatCode, sAnaPwPert)});
    QList<QVariant> session = {qlonglong(iAnaId), qlonglong(m_iSesId), m_yearText, m_sessionText};
    for (const auto &[name, value] : std::as_const(m_flags))
        session << qlonglong(value);
    session << qlonglong(m_iAnsSesDwgOrdine);
    m_sessioni.add(std::move(session));
    ++m_teachers;
}

void QelWebSessionPackets::addVotiRows(const TVxFieldValues &teacher)
{
    TSQLClientDataSet ds;
    // The components of the teacher's class-subjects, in pivot order, by kind of component.
    std::array<QHash<Key2, QList<Group>>, 2> components;
    for (int tass = 0; tass < 2; ++tass) {
        TVxFieldValues params = teacher;
        params.setValue(QStringLiteral("iCmpScaTass"), tass);
        open(ds, QelWebSendSql::components(), params);
        const int cls = column(ds, "iClsId");
        const int mat = column(ds, "iMatId");
        const int cmc = column(ds, "iClsMatCmpId");
        const int sDesc = column(ds, "sCmpSDesc");
        const int lDesc = column(ds, "sCmpLDesc");
        const int sca = column(ds, "iCmpScaId");
        for (int row = 0; row < ds.StoredRecordCount(); ++row) {
            const QList<QVariant> &r = ds.StoredRecord(row);
            components[size_t(tass)][Key2(id(r, cls), id(r, mat))].append(
                Group{r.at(cmc), r.at(sDesc), r.at(lDesc), r.at(sca), QVariant()});
        }
    }
    // The pupils' levels by kind, pupil and component.
    std::array<QHash<Key2, QVariant>, 3> levels;
    for (size_t k = 0; k < std::size(kKinds); ++k) {
        open(ds,
             QelWebSendSql::levels(QLatin1String(kKinds[k].table), QLatin1String(kKinds[k].level)),
             teacher);
        const int sit = column(ds, "iSitId");
        const int cmc = column(ds, "iClsMatCmpId");
        const int level = column(ds, "iLivello");
        for (int row = 0; row < ds.StoredRecordCount(); ++row) {
            const QList<QVariant> &r = ds.StoredRecord(row);
            levels[k].insert(Key2(id(r, sit), id(r, cmc)), r.at(level));
        }
    }
    open(ds, QelWebSendSql::absences(), teacher);
    const QHash<Key3, QList<QVariant>> absences = firstValues(ds, {"iAssOre"});
    open(ds, QelWebSendSql::aids(), teacher);
    const QHash<Key3, QList<QVariant>> aids = firstValues(ds, {"sAiuVal"});
    open(ds, QelWebSendSql::notes(), teacher);
    const QHash<Key3, QList<QVariant>> notes = firstValues(ds, {"dNotData", "bNotNota"});

    open(ds, QelWebSendSql::votiBase(), teacher);
    if (m_votiBase.isEmpty())
        m_votiBase = ds.FieldDefs();
    const int sit = column(ds, "iSitId");
    const int cls = column(ds, "iClsId");
    const int mat = column(ds, "iMatId");
    m_voti.reserve(m_voti.size() + size_t(ds.StoredRecordCount()));
    for (int row = 0; row < ds.StoredRecordCount(); ++row) {
        VotiRow voti;
        voti.base = ds.StoredRecord(row);
        const qlonglong pupil = id(voti.base, sit);
        const Key2 subject(id(voti.base, cls), id(voti.base, mat));
        for (size_t k = 0; k < std::size(kKinds); ++k) {
            QList<Group> groups = components[size_t(kKinds[k].iCmpScaTass)].value(subject);
            for (Group &g : groups)
                g.iScaLivId = levels[k].value(Key2(pupil, g.iClsMatCmpId.toLongLong()));
            voti.groups[k] = groups;
        }
        const Key3 key{pupil, subject.first, subject.second};
        voti.iAssOre = absences.value(key).value(0);
        voti.sAiuVal = aids.value(key).value(0);
        const QList<QVariant> note = notes.value(key);
        if (!note.isEmpty()) {
            if (note.at(0).isValid())
                voti.dNotData = DateToDmy(note.at(0).toDate());
            voti.bNotNota = note.at(1);
        }
        m_voti.push_back(std::move(voti));
    }
}

QelGatheredPacket QelWebSessionPackets::votiPacket() const
{
    // A class-subject of the working session may have been given components since the
    // groups were counted: the groups grow to hold them.
    std::array<int, 3> groups{};
    for (size_t k = 0; k < std::size(kKinds); ++k)
        groups[k] = m_groups[size_t(kKinds[k].iCmpScaTass)];
    for (const VotiRow &row : m_voti)
        for (size_t k = 0; k < std::size(kKinds); ++k)
            groups[k] = std::max(groups[k], int(row.groups[k].size()));

    QList<TFieldDef> defs = m_votiBase;
    for (size_t k = 0; k < std::size(kKinds); ++k) {
        const QString kind = QLatin1String(kKinds[k].name);
        for (int n = 1; n <= groups[k]; ++n) {
            const QString suffix = kind + QString::number(n);
            defs << fieldDef(QStringLiteral("iClsMatCmpId_") + suffix, ftInteger)
                 << fieldDef(QStringLiteral("sCmpSDesc_") + suffix, ftString, 50)
                 << fieldDef(QStringLiteral("sCmpLDesc_") + suffix, ftString, 100)
                 << fieldDef(QStringLiteral("iCmpScaId_") + suffix, ftInteger)
                 << fieldDef(QStringLiteral("iScaLivId_") + suffix, ftInteger);
        }
    }
    defs << fieldDef(QStringLiteral("iAssOre"), ftInteger)
         << fieldDef(QStringLiteral("sAiuVal"), ftString, kAidWidth)
         << fieldDef(QStringLiteral("dNotData"), ftString, 10)
         << fieldDef(QStringLiteral("bNotNota"), ftString, kNoteWidth);

    QelGatheredPacket packet(defs);
    for (const VotiRow &row : m_voti) {
        QList<QVariant> record = row.base;
        record.reserve(defs.size());
        for (size_t k = 0; k < std::size(kKinds); ++k) {
            for (int n = 0; n < groups[k]; ++n) {
                const Group g = row.groups[k].value(n);
                record << g.iClsMatCmpId << g.sCmpSDesc << g.sCmpLDesc << g.iCmpScaId
                       << g.iScaLivId;
            }
        }
        record << row.iAssOre << row.sAiuVal << row.dNotData << row.bNotNota;
        packet.add(std::move(record));
    }
    return packet;
}

QStringList QelWebSessionPackets::Write(const QString &folder)
{
    if (m_teachers == 0)
        throw EVxException(QStringLiteral("Nessun docente selezionato."), EVxException::Warning);
    const QStringList names = FileNames();
    QStringList files;
    TClientDataSet packet;
    const auto gathered = [&](QelGatheredPacket rows, const QString &name) {
        rows.toDataSet(packet);
        files << SaveOrAppendPacket(packet, folder, name, true);
        packet.Close();
    };
    const auto query = [&](const QString &sql, const QString &name) {
        files << SaveQueryPacket(sql, TVxFieldValues(), folder, name);
    };
    gathered(m_clsMat, names.at(0));
    gathered(votiPacket(), names.at(1));
    query(QelWebSendSql::livelli(), names.at(2));
    query(QelWebSendSql::livVtp(), names.at(3));
    gathered(m_debiti, names.at(4));
    query(QelWebSendSql::esiDeb(), names.at(5));
    query(QelWebSendSql::istituto(), names.at(6));
    gathered(m_docenti, names.at(7));
    gathered(m_sessioni, names.at(8));
    return files;
}
