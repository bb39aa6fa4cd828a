#include "exchange/qelcollectedvalues.h"

#include "gradeentry/qevcrestore.h"
#include "gradeentry/qevregolevalori.h"
#include "platform/connection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QDate>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr unsigned kFolders =
    kRouteClassFolder | kRouteTeacherFolder | kRouteBinaryFolder | kRoutePlanFolders;
constexpr unsigned kClassFolders = kRouteClassFolder | kRoutePlanFolders;
constexpr unsigned kWeb = kRouteWebByClass | kRouteWebByTeacher;

// The table of the collections. A kind's routes are those whose code writes its table; the test
// of the collections runs every kind on every route named here.
const QelCollectKind kKinds[] = {
    // name, table, routes, level, hours, aid, credit, numbers, dates, choices, session, teachers
    {"voti", "TVot_Voti", kFolders, 0, false, false, false, "", "", "", "", true},
    {"voti proposti", "TVtp_Proposti", kFolders | kWeb, 1, false, false, false, "", "", "", "",
     true},
    {"tassonomie", "TTas_Tassonomie", kFolders | kWeb, 2, false, false, false, "", "", "", "",
     true},
    {"assenze", "TAss_Assenze", kFolders | kWeb, -1, true, false, false, "iAssOre", "", "", "",
     true},
    {"aiuti", "TAiu_Aiuti", kFolders | kWeb, -1, false, true, false, "", "", "", "", true},
    {"note", "TNot_Note", kFolders | kWeb, -1, false, false, false, "", "dNotData", "", "", true},
    {"note di classe", "TCno_ClassiNoteOre", kWeb, -1, true, false, false, "iCnoOre", "", "",
     "iAnsSesDwgId", true},
    {"giudizi", "TGdz_Giudizi", kClassFolders, -1, false, false, false, "", "", "", "iAnsSesDwgId",
     false},
    {"esiti finali", "TSit_Situazioni", kClassFolders, -1, false, false, false, "", "",
     "iPosFinId:TPosFin", "", false},
    {"crediti", "TCre_Crediti", kClassFolders, -1, false, false, true,
     "iCreCredito iCrePerMedia iCreFrmSco iCreSosp iCreRecup", "", "iEncId:TEnc_Encomio", "",
     false},
    {"debiti", "TDeb_Debiti", kClassFolders, -1, false, false, false, "", "dDebAttr dDebVer",
     "iDesDedId:TDesDed iDtpDtdId:TDtpDtd", "", false},
    {"verifiche dei debiti", "TDeb_Debiti", kFolders | kWeb, -1, false, false, false, "", "dDebVer",
     "iDesDedId:TDesDed", "", true},
    {"recuperi", "TRec_Recuperi", kClassFolders | kRouteMakeUpWeb, -1, false, false, false, "",
     "dRecAttr dRecVer", "iEreId:TEre_EsitoRec iTreId:TTre_TipoRec iPvrId:TPvr_ProvaRecupero",
     "iAnsFreDwgId", true},
};

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts);
}

// Digits alone, after a sign: "1e3", "7.0" or "0x1F" name no key.
const QRegularExpression &wholeNumber()
{
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    return digits;
}

const QRegularExpression &italianDate()
{
    static const QRegularExpression form(QStringLiteral("^(\\d{2})/(\\d{2})/(\\d{4})$"));
    return form;
}

} // namespace

QelCollectedValues::QelCollectedValues() : m_db(qqoVxGlobConn()) {}

void QelCollectedValues::SetConnection(const QSqlDatabase &db)
{
    m_db = db;
}

std::span<const QelCollectKind> QelCollectedValues::Kinds()
{
    return kKinds;
}

const QelCollectKind &QelCollectedValues::Kind(const char *name)
{
    for (const QelCollectKind &k : kKinds)
        if (qstrcmp(k.name, name) == 0)
            return k;
    throw EVxException(QStringLiteral("Tipo di dati sconosciuto: %1.").arg(QLatin1String(name)));
}

QelCollectedValues::~QelCollectedValues() = default;

TqevValStore &QelCollectedValues::levels(int kind)
{
    std::unique_ptr<TqevValStore> &store = m_levels.at(std::size_t(kind));
    if (!store) {
        store = std::make_unique<TqevValStore>(kind);
        store->CaricaLivelli();
    }
    return *store;
}

QString QelCollectedValues::componentName(int iCmpScaId)
{
    if (!std::exchange(m_componentsRead, true))
        VxEachRow(m_db,
                  QStringLiteral("SELECT CmpSca.iCmpScaId, Cmp.sCmpLDesc FROM TCmpSca CmpSca "
                                 "JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = CmpSca.iCmpId"),
                  {}, [this](const QSqlQuery &q, const QSqlRecord &) {
                      m_components.insert(q.value(0).toInt(), q.value(1).toString().trimmed());
                  });
    return m_components.value(iCmpScaId);
}

QString QelCollectedValues::Refusal(int kind, int iCmpScaId, const QVariant &value,
                                    const QVariant &stored)
{
    if (kind == 3) {
        bool number = false;
        const qint64 hours = value.toString().trimmed().toLongLong(&number);
        return number && TqevRegoleValori::OreValide(hours)
                   ? QString()
                   : QStringLiteral("le ore di assenza \"%1\" non sono valide: %2")
                         .arg(value.toString(), TqevRegoleValori::MotivoOre());
    }
    if (kind == 4)
        return TqevRegoleValori::AiutoValido(value.toString())
                   ? QString()
                   : QStringLiteral("l'aiuto \"%1\" non è valido: %2")
                         .arg(value.toString(), TqevRegoleValori::MotivoAiuto());
    static const char *const kinds[] = {"voti", "voti proposti", "tassonomie"};
    const TqevValStore &store = levels(kind);
    if (!store.ScalaDelTipo(iCmpScaId)) {
        const QString name = componentName(iCmpScaId);
        return name.isEmpty()
                   ? QStringLiteral("il componente (iCmpScaId %1) non c'è in questo archivio.")
                         .arg(iCmpScaId)
                   : QStringLiteral("il componente \"%1\" non prende %2.")
                         .arg(name, QLatin1String(kinds[kind]));
    }
    bool number = false;
    const qint64 level = value.toString().trimmed().toLongLong(&number);
    const bool ofScale = number && store.LivelloDellaScala(iCmpScaId, level);
    // A level taken off the scale stays where it is stored, as the grid keeps it.
    if (ofScale && (store.LivelloOfferto(iCmpScaId, level) ||
                    (!stored.isNull() && stored.toString().trimmed() == QString::number(level))))
        return QString();
    QStringList offered;
    for (const TqevLivello &l : store.Livelli(iCmpScaId))
        offered << l.sValSDesc;
    const QString name = componentName(iCmpScaId);
    const QString component = name.isEmpty() ? QStringLiteral("del componente")
                                             : QStringLiteral("del componente \"%1\"").arg(name);
    return (value.isNull() ? QStringLiteral("il livello manca")
            : ofScale      ? QStringLiteral("il livello %1 è stato tolto dalla scala %2")
                            .arg(value.toString(), component)
                      : QStringLiteral("il livello %1 non è della scala %2")
                            .arg(value.toString(), component)) +
           (offered.isEmpty() ? QStringLiteral(".")
                              : QStringLiteral(" (accetta %1).").arg(offered.join(u", ")));
}

bool QelCollectedValues::LevelRetired(int kind, int iCmpScaId, const QVariant &value)
{
    bool number = false;
    const qint64 level = value.toString().trimmed().toLongLong(&number);
    const TqevValStore &store = levels(kind);
    return number && store.LivelloDellaScala(iCmpScaId, level) &&
           !store.LivelloOfferto(iCmpScaId, level);
}

QVariant QelCollectedValues::Key(const QVariant &value, bool *fits)
{
    bool whole = false;
    qint64 number = 0;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double real = value.toDouble();
        whole = std::isfinite(real) && std::trunc(real) == real && std::abs(real) < 1e18;
        number = whole ? qint64(real) : 0;
        break;
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
        number = value.toLongLong(&whole);
        break;
    case QMetaType::ULongLong:
        whole = value.toULongLong() <= quint64(std::numeric_limits<qint64>::max());
        number = qint64(value.toULongLong());
        break;
    default: {
        if (value.isNull() || value.toString().trimmed().isEmpty()) {
            if (fits)
                *fits = true;
            return QVariant();
        }
        const QString text = value.toString().trimmed();
        if (wholeNumber().match(text).hasMatch())
            number = text.toLongLong(&whole);
    }
    }
    whole = whole && number >= std::numeric_limits<qint32>::min() &&
            number <= std::numeric_limits<qint32>::max();
    if (fits)
        *fits = whole || value.isNull();
    return value.isNull() ? QVariant() : whole ? QVariant(int(number)) : value;
}

bool QelCollectedValues::FitsKey(const QVariant &value)
{
    bool fits = false;
    Key(value, &fits);
    return fits;
}

bool QelCollectedValues::KeyColumn(const TFieldDef &def)
{
    if (def.DataType == ftInteger)
        return true;
    // The suite's names of keys, in any letter case (a select of the database gives capitals):
    // "i", a name ending in "Id", and a slot or role after it ("iClsMatCmpId_vtp1",
    // "iAnaId_Ver"). The packets' iValId is a kind's value (a level, hours, an aid's text) and a
    // competence's level and language are none when they name no number: their own rules read
    // them. Read for every value a route takes: no pattern matching.
    const QStringView name = QStringView(def.Name).left(def.Name.indexOf(u'_'));
    if (name.size() < 4 || (name.front() != u'i' && name.front() != u'I') ||
        !name.endsWith(u"id", Qt::CaseInsensitive))
        return false;
    for (const char16_t *value : {u"iValId", u"iCompLivId", u"iLinguaStranieraId"})
        if (name.compare(QStringView(value), Qt::CaseInsensitive) == 0)
            return false;
    return true;
}

QVariant QelCollectedValues::PacketValue(const TClientDataSet &packet, const QString &column)
{
    return PacketValue(packet.FindField(column));
}

QVariant QelCollectedValues::PacketValue(const TField *field)
{
    if (!field)
        return QVariant();
    return KeyColumn({field->FieldName(), field->DataType(), field->Size()}) ? Key(field->Value())
                                                                             : field->Value();
}

QString QelCollectedValues::KeysFault(const TClientDataSet &packet)
{
    const QList<TFieldDef> &defs = packet.FieldDefs();
    for (int i = 0; i < defs.size(); ++i)
        if (KeyColumn(defs[i]))
            if (const QString why = KeyFault(defs[i].Name, packet.Fields(i)->Value());
                !why.isEmpty())
                return why;
    return QString();
}

QString QelCollectedValues::KeyFault(const QString &column, const QVariant &value)
{
    if (FitsKey(value))
        return QString();
    const bool number = value.typeId() != QMetaType::QString ||
                        wholeNumber().match(value.toString().trimmed()).hasMatch();
    return number ? QStringLiteral("%1 vale %2, un numero che il database non può contenere")
                        .arg(column, value.toString())
                  : QStringLiteral("%1 vale \"%2\", che non è un numero intero")
                        .arg(column, value.toString());
}

namespace {

// How the office reads the columns a refusal names.
QString columnName(const QString &column)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("iPosFinId"), QStringLiteral("l'esito finale")},
        {QStringLiteral("iEncId"), QStringLiteral("l'encomio")},
        {QStringLiteral("iDesDedId"), QStringLiteral("l'esito della verifica")},
        {QStringLiteral("iDtpDtdId"), QStringLiteral("il tipo di debito")},
        {QStringLiteral("iEreId"), QStringLiteral("l'esito del recupero")},
        {QStringLiteral("iTreId"), QStringLiteral("il tipo di recupero")},
        {QStringLiteral("iPvrId"), QStringLiteral("il tipo di prova")},
        {QStringLiteral("iAssOre"), QStringLiteral("le ore di assenza")},
        {QStringLiteral("iCnoOre"), QStringLiteral("le ore della nota di classe")},
    };
    return names.value(column, column);
}

QString decimal(double value)
{
    return QString::number(value, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

QString QelCollectedValues::Refusal(const QelCollectKind &kind, TVxFieldValues &row,
                                    const QVariant &stored, const TValCredito *storedCredit)
{
    // The choices and dates first: a value that names nothing is refused by what it names.
    for (const QString &choice : words(kind.choices)) {
        const QString column = choice.section(u':', 0, 0);
        const QVariant key = row.value(column);
        if (!hasChoice(choice.section(u':', 1), key))
            return QStringLiteral("%1 %2 non c'è nell'archivio.")
                .arg(columnName(column), key.toString());
    }
    for (const QString &column : words(kind.dates)) {
        const QVariant value = row.value(column);
        if (value.typeId() == QMetaType::QString &&
            italianDate().match(value.toString().trimmed()).hasMatch() && !DateOf(value).isValid())
            return QStringLiteral("la data \"%1\" non esiste.").arg(value.toString().trimmed());
    }
    if (kind.credit)
        return CreditRefusal(row, storedCredit);
    for (const QString &column : words(kind.numbers)) {
        const QVariant value = row.value(column);
        if (value.isNull())
            continue;
        if (kind.hours) {
            const int hours = TqevRegoleValori::OreDigitate(value.toString().trimmed());
            if (!TqevRegoleValori::OreValide(hours))
                return QStringLiteral("%1 \"%2\" non sono valide: %3")
                    .arg(columnName(column), value.toString(), TqevRegoleValori::MotivoOre());
        }
    }
    if (kind.level >= 0)
        return Refusal(kind.level, row.value(QStringLiteral("iCmpScaId")).toInt(),
                       row.value(QStringLiteral("iScaLivId")), stored);
    if (kind.aid)
        return Refusal(4, 0, row.value(QStringLiteral("sAiuVal")));
    return QString();
}

QString QelCollectedValues::CreditRefusal(TVxFieldValues &row, const TValCredito *stored)
{
    const int sit = row.value(QStringLiteral("iSitId")).toInt();
    const QList<TqevBanda> bands = TqevCreStore::BandeDellaSituazione(sit);
    const double average =
        TqevCreStore::MediaPerBanda(sit, row.value(QStringLiteral("iAnsId")).toInt(),
                                    row.value(QStringLiteral("iClsSesId")).toInt());
    // The band is the one the database gives the pupil's average, as the grid calculates it;
    // the row's own only agrees with it or is refused.
    if (const TqevBanda *band = BandaDi(bands, average)) {
        const QVariant given = row.value(QStringLiteral("iBndId"));
        if (!given.isNull() && given.toLongLong() != 0 && given.toLongLong() != band->iBndId)
            return QStringLiteral("la banda %1 non è quella della media dei voti dell'alunno "
                                  "(%2), che dà la banda %3, crediti da %4 a %5.")
                .arg(given.toString(), decimal(average))
                .arg(band->iBndId)
                .arg(band->iBndCreMin)
                .arg(band->iBndCreMax);
        row.setValue(QStringLiteral("iBndId"), band->iBndId);
    }
    // Then the row's numbers as the credits grid measures them.
    const auto number = [&row](const char *column) {
        return row.value(QLatin1String(column)).toInt();
    };
    TValCredito values;
    values.iCreCredito = number("iCreCredito");
    values.iCrePerMedia = number("iCrePerMedia");
    values.iBndId = number("iBndId");
    values.iCreOutBanda = number("iCreOutBanda");
    values.iCreFrmSco = number("iCreFrmSco");
    values.iCreSosp = number("iCreSosp");
    values.iCreRecup = number("iCreRecup");
    return TqevRegoleValori::CreditoRifiutato(bands, values, stored);
}

bool QelCollectedValues::hasChoice(const QString &table, const QVariant &key)
{
    // No choice, or 0 (the packets' none), names nothing to look for.
    bool fits = false;
    const QVariant number = Key(key, &fits);
    if (!fits)
        return false;
    if (number.isNull() || number.toInt() == 0)
        return true;
    auto found = m_choices.find(table);
    if (found == m_choices.end()) {
        found = m_choices.insert(table, {});
        // The tables of choices are short lists; their key is their first column.
        VxEachRow(m_db, QStringLiteral("SELECT * FROM %1").arg(table), {},
                  [&found](const QSqlQuery &q, const QSqlRecord &) {
                      found->insert(q.value(0).toLongLong());
                  });
    }
    return found->contains(number.toLongLong());
}

QString QelCollectedValues::PupilName(int iSitId)
{
    auto found = m_pupils.find(iSitId);
    if (found == m_pupils.end()) {
        found = m_pupils.insert(iSitId, {});
        VxEachRow(m_db,
                  QStringLiteral("SELECT TRIM(Ana.sAnaCognome) || ' ' || TRIM(Ana.sAnaNome) FROM "
                                 "TSit_Situazioni Sit JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = "
                                 "Sit.iAnaId WHERE Sit.iSitId = :iSitId"),
                  valuesOf({{"iSitId", iSitId}}), [&found](const QSqlQuery &q, const QSqlRecord &) {
                      *found = q.value(0).toString().trimmed();
                  });
    }
    return *found;
}

QString QelCollectedValues::nameOf(const QString &key, const QString &sql, int id)
{
    auto found = m_subjects.find(key);
    if (found == m_subjects.end()) {
        found = m_subjects.insert(key, {});
        VxEachRow(m_db, sql, valuesOf({{"iId", id}}),
                  [&found](const QSqlQuery &q, const QSqlRecord &) {
                      *found = q.value(0).toString().trimmed();
                  });
    }
    return *found;
}

QString QelCollectedValues::subjectName(int subject, bool bySubject)
{
    const QString name =
        bySubject ? nameOf(QStringLiteral("m%1").arg(subject),
                           QStringLiteral("SELECT Mat.sMatLDesc FROM TMat_Materie Mat WHERE "
                                          "Mat.iMatId = :iId"),
                           subject)
                  : nameOf(QStringLiteral("s%1").arg(subject),
                           QStringLiteral("SELECT Mat.sMatLDesc FROM TClsSesMat ClsSesMat JOIN "
                                          "TMatRma MatRma ON MatRma.iMatRmaId = "
                                          "ClsSesMat.iMatRmaId JOIN TMat_Materie Mat ON "
                                          "Mat.iMatId = MatRma.iMatId WHERE "
                                          "ClsSesMat.iClsSesMatId = :iId"),
                           subject);
    return name.isEmpty()
               ? QStringLiteral("la materia (%1 %2), che non c'è nell'archivio")
                     .arg(bySubject ? QStringLiteral("iMatId") : QStringLiteral("iClsSesMatId"))
                     .arg(subject)
               : name;
}

QString QelCollectedValues::Who(const QVariant &sit, const QVariant &subject, bool bySubject)
{
    // A key beyond the database's names nothing it could hold: it is named as it came.
    QString who = QStringLiteral("la situazione %1").arg(sit.toString());
    bool fits = false;
    if (const QVariant key = Key(sit, &fits); fits) {
        const int iSitId = key.toInt();
        const QString pupil = PupilName(iSitId);
        who = pupil.isEmpty()
                  ? QStringLiteral("la situazione %1, che non c'è nell'archivio").arg(iSitId)
                  : QStringLiteral("%1 (situazione %2)").arg(pupil).arg(iSitId);
    }
    const QVariant subjectKey = Key(subject, &fits);
    if (fits && subjectKey.toInt() == 0)
        return who;
    return who + QStringLiteral(", ") +
           (fits ? subjectName(subjectKey.toInt(), bySubject)
                 : QStringLiteral("materia ") + subject.toString());
}

QString QelCollectedValues::ClassAndSubject(const QVariant &cls, const QVariant &subject)
{
    // It follows "la nota di classe della": the class without its article.
    QString name = QStringLiteral("classe %1").arg(cls.toString());
    bool fits = false;
    if (const QVariant key = Key(cls, &fits); fits) {
        const int iClsId = key.toInt();
        const QString desc = nameOf(QStringLiteral("c%1").arg(iClsId),
                                    QStringLiteral("SELECT Cls.sClsDesc FROM VCls_Classi Cls WHERE "
                                                   "Cls.iClsId = :iId"),
                                    iClsId);
        name = desc.isEmpty() ? QStringLiteral("classe %1, che non c'è nell'archivio").arg(iClsId)
                              : QStringLiteral("classe %1").arg(desc);
    }
    const QVariant subjectKey = Key(subject, &fits);
    return name + QStringLiteral(", ") +
           (fits ? subjectName(subjectKey.toInt(), true)
                 : QStringLiteral("materia ") + subject.toString());
}

QString QelCollectedValues::DebtDeleted()
{
    return QStringLiteral("il debito è stato cancellato dall'ufficio dopo l'invio: la sua "
                          "verifica non è stata raccolta.");
}

QVariant QelCollectedValues::DateOf(const QVariant &value)
{
    QDate date;
    if (value.typeId() == QMetaType::QString) {
        const QRegularExpressionMatch m = italianDate().match(value.toString().trimmed());
        if (m.hasMatch())
            date = QDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    } else if (value.typeId() == QMetaType::QDateTime) {
        date = value.toDateTime().date();
    } else if (value.typeId() == QMetaType::QDate) {
        date = value.toDate();
    }
    return date.isValid() ? QVariant(date) : QVariant();
}

void QelCollectRepeats::Clear()
{
    m_first.clear();
    m_conflicts.clear();
    m_taken.clear();
}

void QelCollectRepeats::Note(const QString &key, const QString &values)
{
    const auto found = m_first.constFind(key);
    if (found == m_first.constEnd())
        m_first.insert(key, values);
    else if (*found != values)
        m_conflicts.insert(key);
}

QelCollectRepeats::Verdict QelCollectRepeats::Take(const QString &key)
{
    const bool first = !m_taken.contains(key);
    m_taken.insert(key);
    if (m_conflicts.contains(key))
        return first ? Conflict : Told;
    return first ? First : Again;
}

QString QelCollectRepeats::Text(const TVxFieldValues &row, const QStringList &names)
{
    QString text;
    for (const QString &name : names.isEmpty() ? row.names() : names) {
        const QVariant value = row.value(name);
        text += (value.isNull() ? QStringLiteral("-") : u'=' + value.toString()) + u'|';
    }
    return text;
}

QString QelCollectRepeats::Cause()
{
    return QStringLiteral("la riga è ripetuta con un altro valore: nessuna delle due è stata "
                          "raccolta e il dato resta come era.");
}
