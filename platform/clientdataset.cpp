#include "platform/clientdataset.h"

#include "platform/fieldvalue.h"
#include "platform/sqlparams.h"
#include "platform/vxexception.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <cmath>
#include <unordered_map>

struct TClientDataSet::Row
{
    QList<QVariant> values;
    QList<QVariant> original; // values before the first change since the last merge
    TUpdateStatus status = usUnmodified;
    int viewPos = -1; // position among the visible records, -1 when filtered out
};

// Rows by the hash of their key values; a locate checks only the rows of one bucket.
struct TClientDataSet::KeyIndex
{
    QList<int> columns;
    std::unordered_multimap<size_t, Row *> rows;
};

namespace {

size_t hashKey(const QList<QVariant> &values, const QList<int> &columns)
{
    size_t h = 14695981039346656037ull;
    for (int c : columns)
        h = (h ^ hashFieldValue(values.at(c))) * 1099511628211ull;
    return h;
}

// The driver gives a text column's length in bytes of the connection's character set.
int bytesPerCharacter(const QSqlQuery &query)
{
    static const QRegularExpression ctype(QStringLiteral("ISC_DPB_LC_CTYPE\\s*=\\s*(\\w+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const QString &name : QSqlDatabase::connectionNames()) {
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.driver() != query.driver())
            continue;
        const QString set = ctype.match(db.connectOptions()).captured(1).toUpper();
        if (set == QLatin1String("UTF8"))
            return 4;
        if (set == QLatin1String("UNICODE_FSS"))
            return 3;
        break;
    }
    return 1;
}

QStringList splitFieldList(const QString &fields)
{
    QStringList names;
    for (const QString &part : fields.split(QLatin1Char(';'))) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TField

const QString &TField::FieldName() const
{
    return m_dataSet->m_defs.at(m_index).Name;
}

TFieldType TField::DataType() const
{
    return m_dataSet->m_defs.at(m_index).DataType;
}

int TField::Size() const
{
    return m_dataSet->m_defs.at(m_index).Size;
}

QVariant TField::Value() const
{
    return m_dataSet->currentValues().value(m_index);
}

void TField::setValue(const QVariant &value)
{
    m_dataSet->writeBuffer(m_index, value);
}

qint64 TField::AsLargeInt() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::QString)
        return v.toString().trimmed().toLongLong();
    if (v.typeId() == QMetaType::Double)
        return qint64(std::llround(v.toDouble()));
    return v.toLongLong();
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    return v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble() : v.toDouble();
}

QString TField::AsString() const
{
    const QVariant v = Value();
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return QString();
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return v.toString();
    }
}

QDate TField::AsDate() const
{
    const QVariant v = Value();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    if (v.typeId() == QMetaType::QString)
        return parseFieldDate(v.toString());
    return QDate();
}

QDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    if (v.typeId() == QMetaType::QString)
        return parseFieldDateTime(v.toString());
    return QDateTime();
}

QByteArray TField::AsBytes() const
{
    const QVariant v = Value();
    if (v.typeId() == QMetaType::QString)
        return v.toString().toUtf8();
    return v.toByteArray();
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const QVariant b = normalizeFieldValue(ftBoolean, v, &ok);
        return ok && b.toBool();
    }
    return v.toBool();
}

// ---------------------------------------------------------------------------------------------
// Definitions and life

TClientDataSet::TClientDataSet() = default;
TClientDataSet::~TClientDataSet() = default;

void TClientDataSet::ClearFieldDefs()
{
    if (Active())
        throw EVxException(QStringLiteral("Impossibile cambiare le colonne di un dataset aperto."));
    m_defs.clear();
}

void TClientDataSet::AddFieldDef(const QString &name, TFieldType type, int size)
{
    if (Active())
        throw EVxException(QStringLiteral("Impossibile cambiare le colonne di un dataset aperto."));
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        throw EVxException(QStringLiteral("Nome di colonna vuoto."));
    for (const TFieldDef &def : std::as_const(m_defs))
        if (def.Name.compare(trimmed, Qt::CaseInsensitive) == 0)
            throw EVxException(QStringLiteral("La colonna \"%1\" è già definita.").arg(trimmed));
    const int kept = type == ftString ? qMax(size, 0) : (type == ftInteger && size == 8 ? 8 : 0);
    m_defs.append(TFieldDef{trimmed, type, kept});
}

void TClientDataSet::CreateDataSet()
{
    if (m_defs.isEmpty())
        throw EVxException(QStringLiteral("Nessuna colonna definita per il dataset."));
    Close();
    activate();
}

namespace {

void requireSelect(const QSqlQuery &query)
{
    if (!query.isActive() || !query.isSelect())
        throw EVxException(QStringLiteral("La query da cui caricare il dataset non è aperta."));
}

} // namespace

TVxRowLayout TVxRowLayout::of(const QSqlQuery &query)
{
    TVxRowLayout layout;
    const QSqlRecord record = query.record();
    const int columns = record.count();
    const int charBytes = bytesPerCharacter(query);
    for (int i = 0; i < columns; ++i) {
        const QSqlField f = record.field(i);
        TFieldType type = ftString;
        int size = 0;
        Source source = Source::Plain;
        switch (f.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
            type = ftInteger;
            break;
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            type = ftInteger;
            size = 8;
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            type = ftFloat;
            break;
        case QMetaType::QDate:
            type = ftDate;
            break;
        case QMetaType::QDateTime:
            type = ftDateTime;
            break;
        case QMetaType::QTime:
            source = Source::Time;
            size = 8;
            break;
        case QMetaType::Bool:
            type = ftBoolean;
            break;
        case QMetaType::QByteArray:
            // Firebird reports the character set of a text BLOB where numbers carry their
            // scale; a binary BLOB has none.
            if (f.precision() != 0) {
                type = ftMemo;
                source = Source::TextBlob;
            } else {
                type = ftBlob;
            }
            break;
        default:
            size = f.length() > 0 ? int(f.length()) / charBytes : 0;
            // CHAR columns come back padded with blanks to their byte length.
            if (f.typeID() == 452 || f.typeID() == 453)
                source = Source::FixedChar;
            break;
        }
        QString name = f.name();
        QString unique = name;
        for (int n = 1;; ++n) {
            const bool taken =
                std::any_of(layout.defs.cbegin(), layout.defs.cend(), [&](const TFieldDef &d) {
                    return d.Name.compare(unique, Qt::CaseInsensitive) == 0;
                });
            if (!taken)
                break;
            unique = name + QLatin1Char('_') + QString::number(n);
        }
        layout.defs.append(TFieldDef{unique, type, size});
        layout.sources.append(source);
    }
    return layout;
}

TVxRowReader::TVxRowReader(QSqlQuery &query) : m_query(query)
{
    requireSelect(query);
    m_layout = TVxRowLayout::of(query);
}

TVxRowReader::TVxRowReader(QSqlQuery &query, const TVxRowLayout &layout)
    : m_query(query), m_layout(layout)
{
    requireSelect(query);
}

bool TVxRowReader::Next(QList<QVariant> &values)
{
    using Source = TVxRowLayout::Source;
    if (!fetchNext(m_query))
        return false;
    const int columns = int(m_layout.defs.size());
    values.resize(columns);
    for (int i = 0; i < columns; ++i) {
        if (m_query.isNull(i)) {
            values[i] = QVariant();
            continue;
        }
        QVariant v = m_query.value(i);
        switch (m_layout.sources.at(i)) {
        case Source::Plain:
            break;
        case Source::FixedChar: {
            QString s = v.toString();
            qsizetype end = s.size();
            while (end > 0 && s.at(end - 1) == QLatin1Char(' '))
                --end;
            s.truncate(end);
            v = s;
            break;
        }
        case Source::TextBlob:
            v = QString::fromUtf8(v.toByteArray());
            break;
        case Source::Time:
            v = v.toTime().toString(QStringLiteral("hh:mm:ss"));
            break;
        }
        bool ok = false;
        TFieldDef &def = m_layout.defs[i];
        values[i] = normalizeFieldValue(def.DataType, v, &ok);
        if (def.DataType == ftString && def.Size > 0 && ok)
            def.Size = qMax(def.Size, int(values.at(i).toString().size()));
    }
    return true;
}

void TClientDataSet::FillFromQuery(QSqlQuery &query)
{
    TVxRowReader reader(query);
    Close();
    m_defs = reader.FieldDefs();
    activate();

    // A select that fails half-way leaves the dataset closed, never holding part of the rows.
    struct CloseUnlessRead
    {
        TClientDataSet *dataSet;
        bool read = false;
        ~CloseUnlessRead()
        {
            if (!read)
                dataSet->Close();
        }
    } guard{this};
    auto row = std::make_unique<Row>();
    while (reader.Next(row->values)) {
        m_rows.push_back(std::move(row));
        row = std::make_unique<Row>();
    }
    m_defs = reader.FieldDefs();
    guard.read = true;
    rebuildView();
    First();
}

void TClientDataSet::activate()
{
    m_fields.clear();
    m_fieldIndex.clear();
    m_asNamed.clear();
    for (int i = 0; i < m_defs.size(); ++i) {
        m_fields.push_back(std::unique_ptr<TField>(new TField(this, i)));
        m_fieldIndex.insert(m_defs.at(i).Name.toUpper(), i);
    }
    try {
        // A filter is checked against the columns only while it is switched on: a stale text
        // left from other columns must not stop the table from opening.
        if (m_filtered)
            m_filter.bind([this](const QString &name) { return filterColumn(name); });
        const QString order =
            m_indexName.isEmpty() ? m_indexFieldNames : m_indexes.value(m_indexName.toUpper());
        m_sortColumns = resolveColumns(order, QStringLiteral("l'indice"));
    } catch (...) {
        m_fields.clear();
        m_fieldIndex.clear();
        m_asNamed.clear();
        throw;
    }
    m_state = dsBrowse;
    rebuildView();
    First();
}

void TClientDataSet::Close()
{
    clearRows();
    m_fields.clear();
    m_fieldIndex.clear();
    m_asNamed.clear();
    m_state = dsInactive;
}

void TClientDataSet::EmptyDataSet()
{
    requireActive();
    clearRows();
    m_state = dsBrowse;
}

void TClientDataSet::clearRows()
{
    m_view.clear();
    m_rows.clear();
    m_deleted.clear();
    m_keyIndexes.clear();
    m_buffer.clear();
    m_editRow = nullptr;
    m_cursor = -1;
    m_eof = m_bof = true;
}

void TClientDataSet::requireActive() const
{
    if (!Active())
        throw EVxException(QStringLiteral("Il dataset non è aperto."));
}

QList<int> TClientDataSet::resolveColumns(const QString &fields, const QString &purpose) const
{
    QList<int> columns;
    for (const QString &name : splitFieldList(fields)) {
        const int column = m_fieldIndex.value(name.toUpper(), -1);
        if (column < 0)
            throw EVxException(
                QStringLiteral("Il campo \"%1\" richiesto per %2 non esiste.").arg(name, purpose));
        columns << column;
    }
    return columns;
}

// ---------------------------------------------------------------------------------------------
// Fields

TField *TClientDataSet::FindField(const QString &name) const
{
    // A caller names a column the same way row after row: that name is found as it is given,
    // without an upper-case copy at every row.
    auto found = m_asNamed.constFind(name);
    if (found == m_asNamed.constEnd())
        found = m_asNamed.insert(name, m_fieldIndex.value(name.trimmed().toUpper(), -1));
    return *found < 0 ? nullptr : m_fields.at(size_t(*found)).get();
}

TField *TClientDataSet::FieldByName(const QString &name) const
{
    TField *f = FindField(name);
    if (!f)
        throw EVxException(QStringLiteral("Campo \"%1\" non trovato.").arg(name));
    return f;
}

TClientDataSet::Row *TClientDataSet::currentRow() const
{
    return m_cursor >= 0 && m_cursor < int(m_view.size()) ? m_view[size_t(m_cursor)] : nullptr;
}

const QList<QVariant> &TClientDataSet::currentValues() const
{
    static const QList<QVariant> none;
    if (m_state == dsEdit || m_state == dsInsert)
        return m_buffer;
    const Row *row = currentRow();
    return row ? row->values : none;
}

void TClientDataSet::writeBuffer(int column, const QVariant &value)
{
    const TFieldDef &def = m_defs.at(column);
    if (m_state != dsEdit && m_state != dsInsert)
        throw EVxException(
            QStringLiteral("Il dataset non è in modifica: impossibile assegnare il campo \"%1\".")
                .arg(def.Name));
    bool ok = false;
    QVariant v = normalizeFieldValue(def.DataType, value, &ok);
    if (!ok)
        throw EVxException(QStringLiteral("Valore \"%1\" non valido per il campo \"%2\" (%3).")
                               .arg(value.toString(), def.Name, fieldTypeName(def.DataType)));
    if (def.DataType == ftString && def.Size > 0 && v.toString().size() > def.Size)
        v = v.toString().left(def.Size);
    m_buffer[column] = v;
}

QVariant TClientDataSet::Value(int row, int column) const
{
    if (row < 0 || row >= int(m_view.size()) || column < 0 || column >= m_defs.size())
        return QVariant();
    return m_view[size_t(row)]->values.at(column);
}

// ---------------------------------------------------------------------------------------------
// Cursor

void TClientDataSet::checkBrowseMode()
{
    requireActive();
    if (m_state == dsEdit || m_state == dsInsert)
        Post();
}

void TClientDataSet::First()
{
    checkBrowseMode();
    m_cursor = m_view.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.empty();
}

void TClientDataSet::Last()
{
    checkBrowseMode();
    m_cursor = int(m_view.size()) - 1;
    m_eof = true;
    m_bof = m_view.empty();
}

void TClientDataSet::Next()
{
    checkBrowseMode();
    if (m_cursor + 1 < int(m_view.size())) {
        ++m_cursor;
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void TClientDataSet::Prior()
{
    checkBrowseMode();
    if (m_cursor > 0) {
        --m_cursor;
        m_bof = false;
        m_eof = false;
    } else {
        m_bof = true;
    }
}

void TClientDataSet::setRecNo(int row)
{
    checkBrowseMode();
    if (m_view.empty()) {
        m_cursor = -1;
        m_eof = m_bof = true;
        return;
    }
    m_cursor = std::clamp(row, 0, int(m_view.size()) - 1);
    m_bof = m_eof = false;
}

void TClientDataSet::setCursorOn(Row *row, int fallback)
{
    if (m_view.empty()) {
        m_cursor = -1;
        m_eof = m_bof = true;
        return;
    }
    m_cursor =
        row && row->viewPos >= 0 ? row->viewPos : std::clamp(fallback, 0, int(m_view.size()) - 1);
    m_eof = m_bof = false;
}

// ---------------------------------------------------------------------------------------------
// Visible order

bool TClientDataSet::viewIsNatural() const
{
    return m_sortColumns.isEmpty() && !(m_filtered && !m_filter.isEmpty());
}

bool TClientDataSet::passesFilter(const Row &row) const
{
    return !m_filtered || m_filter.matches(row.values);
}

bool TClientDataSet::lessInIndex(const QList<QVariant> &a, const QList<QVariant> &b) const
{
    for (int c : m_sortColumns) {
        const int r = compareFieldValues(a.at(c), b.at(c));
        if (r != 0)
            return r < 0;
    }
    return false;
}

void TClientDataSet::rebuildView()
{
    m_view.clear();
    for (auto &row : m_rows) {
        row->viewPos = -1;
        if (passesFilter(*row))
            m_view.push_back(row.get());
    }
    if (!m_sortColumns.isEmpty())
        std::stable_sort(m_view.begin(), m_view.end(), [this](const Row *a, const Row *b) {
            return lessInIndex(a->values, b->values);
        });
    for (size_t i = 0; i < m_view.size(); ++i)
        m_view[i]->viewPos = int(i);
}

void TClientDataSet::removeFromView(Row *row)
{
    if (row->viewPos < 0)
        return;
    const size_t pos = size_t(row->viewPos);
    m_view.erase(m_view.begin() + qsizetype(pos));
    for (size_t i = pos; i < m_view.size(); ++i)
        m_view[i]->viewPos = int(i);
    row->viewPos = -1;
}

void TClientDataSet::insertIntoView(Row *row, size_t position)
{
    position = std::min(position, m_view.size());
    m_view.insert(m_view.begin() + qsizetype(position), row);
    for (size_t i = position; i < m_view.size(); ++i)
        m_view[i]->viewPos = int(i);
}

size_t TClientDataSet::sortedPosition(const Row &row) const
{
    // After the records with an equal key: equal keys keep the order of posting.
    const auto it =
        std::upper_bound(m_view.begin(), m_view.end(), &row, [this](const Row *a, const Row *b) {
            return lessInIndex(a->values, b->values);
        });
    return size_t(it - m_view.begin());
}

// A new record (naturalPosition >= 0, its place in the natural order) or an edited one
// (-1) takes its place among the visible records without rebuilding them: posting stays
// cheap on a whole school's records.
void TClientDataSet::placeAfterPost(Row *row, qsizetype naturalPosition, bool orderChanged)
{
    const int previous = m_cursor;
    const bool visible = passesFilter(*row);
    const bool inserted = naturalPosition >= 0;
    if (!m_sortColumns.isEmpty()) {
        if (inserted || orderChanged || !visible || row->viewPos < 0) {
            removeFromView(row);
            if (visible)
                insertIntoView(row, sortedPosition(*row));
        }
    } else if (inserted) {
        if (visible)
            insertIntoView(row, naturalViewPosition(naturalPosition));
    } else if (!visible) {
        removeFromView(row);
    }
    setCursorOn(row, previous);
}

// Where the record at this place of the natural order goes among the visible records: after
// the nearest visible record before it.
size_t TClientDataSet::naturalViewPosition(qsizetype naturalPosition) const
{
    if (viewIsNatural())
        return size_t(naturalPosition);
    for (qsizetype i = naturalPosition - 1; i >= 0; --i) {
        const int pos = m_rows[size_t(i)]->viewPos;
        if (pos >= 0)
            return size_t(pos) + 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Editing

void TClientDataSet::Append()
{
    checkBrowseMode();
    m_buffer = QList<QVariant>(m_defs.size());
    m_insertAt = -1;
    m_state = dsInsert;
}

void TClientDataSet::Insert()
{
    checkBrowseMode();
    m_buffer = QList<QVariant>(m_defs.size());
    m_insertAt = -1;
    if (Row *current = currentRow()) {
        const auto it = std::find_if(m_rows.begin(), m_rows.end(),
                                     [current](const auto &r) { return r.get() == current; });
        m_insertAt = it - m_rows.begin();
    }
    m_state = dsInsert;
}

void TClientDataSet::Edit()
{
    requireActive();
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    Row *row = currentRow();
    if (!row) {
        // Editing an empty dataset starts a new record, as the callers expect.
        Append();
        return;
    }
    m_editRow = row;
    m_buffer = row->values;
    m_state = dsEdit;
}

void TClientDataSet::Post()
{
    requireActive();
    if (m_state == dsInsert) {
        auto owned = std::make_unique<Row>();
        Row *row = owned.get();
        row->values = m_buffer;
        row->status = usInserted;
        qsizetype position = m_insertAt;
        if (position < 0 || position > qsizetype(m_rows.size()))
            position = qsizetype(m_rows.size());
        m_rows.insert(m_rows.begin() + position, std::move(owned));
        m_state = dsBrowse;
        m_buffer.clear();
        addToKeyIndexes(row);
        placeAfterPost(row, position, true);
        return;
    }
    if (m_state == dsEdit) {
        Row *row = m_editRow;
        m_state = dsBrowse;
        m_editRow = nullptr;
        if (m_buffer == row->values) {
            m_buffer.clear();
            return;
        }
        if (row->status == usUnmodified) {
            row->original = row->values;
            row->status = usModified;
        }
        const bool orderChanged =
            std::any_of(m_sortColumns.cbegin(), m_sortColumns.cend(), [&](int c) {
                return compareFieldValues(row->values.at(c), m_buffer.at(c)) != 0;
            });
        removeFromKeyIndexes(row, row->values);
        row->values = m_buffer;
        m_buffer.clear();
        addToKeyIndexes(row);
        placeAfterPost(row, -1, orderChanged);
    }
}

void TClientDataSet::Cancel()
{
    if (m_state == dsEdit || m_state == dsInsert)
        m_state = dsBrowse;
    m_buffer.clear();
    m_editRow = nullptr;
}

void TClientDataSet::Delete()
{
    requireActive();
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    Cancel();
    Row *row = currentRow();
    if (!row)
        throw EVxException(QStringLiteral("Nessun record da cancellare."));
    const int position = m_cursor;
    removeFromKeyIndexes(row, row->values);
    removeFromView(row);
    if (row->status == usModified)
        m_deleted.push_back(row->original);
    else if (row->status == usUnmodified)
        m_deleted.push_back(row->values);
    const auto it =
        std::find_if(m_rows.begin(), m_rows.end(), [row](const auto &r) { return r.get() == row; });
    m_rows.erase(it);

    if (m_view.empty()) {
        m_cursor = -1;
        m_eof = m_bof = true;
    } else if (position >= int(m_view.size())) {
        m_cursor = int(m_view.size()) - 1;
        m_eof = true;
    } else {
        m_cursor = position;
        m_eof = m_bof = false;
    }
}

// ---------------------------------------------------------------------------------------------
// Locate

void TClientDataSet::addToKeyIndexes(Row *row)
{
    for (const auto &index : std::as_const(m_keyIndexes))
        index->rows.emplace(hashKey(row->values, index->columns), row);
}

void TClientDataSet::removeFromKeyIndexes(Row *row, const QList<QVariant> &values)
{
    for (const auto &index : std::as_const(m_keyIndexes)) {
        auto [it, end] = index->rows.equal_range(hashKey(values, index->columns));
        for (; it != end; ++it) {
            if (it->second == row) {
                index->rows.erase(it);
                break;
            }
        }
    }
}

bool TClientDataSet::Locate(const QString &keyFields, const QVariantList &values)
{
    checkBrowseMode();
    const QList<int> columns = resolveColumns(keyFields, QStringLiteral("la ricerca"));
    if (columns.isEmpty() || columns.size() != values.size())
        throw EVxException(QStringLiteral("Ricerca su \"%1\": %2 valori per %3 campi.")
                               .arg(keyFields)
                               .arg(values.size())
                               .arg(columns.size()));

    // The search values in the columns' own representation; one that cannot be converted
    // matches no record.
    QList<QVariant> key(m_defs.size());
    for (int i = 0; i < columns.size(); ++i) {
        bool ok = false;
        key[columns[i]] = normalizeFieldValue(m_defs.at(columns[i]).DataType, values.at(i), &ok);
        if (!ok)
            return false;
    }

    QString name;
    for (int c : columns)
        name += QString::number(c) + QLatin1Char(';');
    std::shared_ptr<KeyIndex> &index = m_keyIndexes[name];
    if (!index) {
        index = std::make_shared<KeyIndex>();
        index->columns = columns;
        index->rows.reserve(m_rows.size());
        for (const auto &row : m_rows)
            index->rows.emplace(hashKey(row->values, columns), row.get());
    }

    Row *best = nullptr;
    auto [it, end] = index->rows.equal_range(hashKey(key, columns));
    for (; it != end; ++it) {
        Row *row = it->second;
        if (row->viewPos < 0 || (best && best->viewPos < row->viewPos))
            continue;
        const bool equal = std::all_of(columns.cbegin(), columns.cend(), [&](int c) {
            return compareFieldValues(row->values.at(c), key.at(c)) == 0;
        });
        if (equal)
            best = row;
    }
    if (!best)
        return false;
    m_cursor = best->viewPos;
    m_eof = m_bof = false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Indexes and filter

void TClientDataSet::AddIndex(const QString &name, const QString &fields)
{
    const QString key = name.trimmed().toUpper();
    if (key.isEmpty())
        throw EVxException(QStringLiteral("Nome di indice vuoto."));
    if (m_indexes.contains(key))
        throw EVxException(QStringLiteral("L'indice \"%1\" esiste già.").arg(name));
    if (Active())
        resolveColumns(fields, QStringLiteral("l'indice \"%1\"").arg(name));
    m_indexes.insert(key, fields);
}

void TClientDataSet::DeleteIndex(const QString &name)
{
    const QString key = name.trimmed().toUpper();
    if (!m_indexes.remove(key))
        throw EVxException(QStringLiteral("L'indice \"%1\" non esiste.").arg(name));
    if (m_indexName.toUpper() == key)
        setIndexName(QString());
}

void TClientDataSet::setIndexName(const QString &name)
{
    const QString key = name.trimmed().toUpper();
    if (!key.isEmpty() && !m_indexes.contains(key))
        throw EVxException(QStringLiteral("L'indice \"%1\" non esiste.").arg(name));
    const QString fields = m_indexes.value(key);
    if (Active()) {
        checkBrowseMode();
        const QList<int> columns = resolveColumns(fields, QStringLiteral("l'indice"));
        Row *current = currentRow();
        m_sortColumns = columns;
        rebuildView();
        setCursorOn(current, 0);
    }
    m_indexName = name.trimmed();
    m_indexFieldNames.clear();
}

void TClientDataSet::setIndexFieldNames(const QString &fields)
{
    if (Active()) {
        checkBrowseMode();
        const QList<int> columns = resolveColumns(fields, QStringLiteral("l'ordinamento"));
        Row *current = currentRow();
        m_sortColumns = columns;
        rebuildView();
        setCursorOn(current, 0);
    }
    m_indexFieldNames = fields;
    m_indexName.clear();
}

// Dates are compared by the filter only as texts of no fixed form, so they are refused.
int TClientDataSet::filterColumn(const QString &name) const
{
    const int column = m_fieldIndex.value(name.toUpper(), -1);
    if (column < 0)
        return -1;
    const TFieldType type = m_defs.at(column).DataType;
    return type == ftDate || type == ftDateTime || type == ftBlob ? -2 : column;
}

void TClientDataSet::setFilter(const QString &text)
{
    RecordFilter parsed = RecordFilter::parse(text);
    if (Active()) {
        checkBrowseMode();
        if (m_filtered)
            parsed.bind([this](const QString &name) { return filterColumn(name); });
    }
    m_filter = std::move(parsed);
    m_filterText = text;
    if (Active() && m_filtered) {
        rebuildView();
        First();
    }
}

void TClientDataSet::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    if (Active()) {
        checkBrowseMode();
        if (on)
            m_filter.bind([this](const QString &name) { return filterColumn(name); });
    }
    m_filtered = on;
    if (Active()) {
        rebuildView();
        First();
    }
}

// ---------------------------------------------------------------------------------------------
// Change log

int TClientDataSet::ChangeCount() const
{
    int count = int(m_deleted.size());
    for (const auto &row : m_rows)
        if (row->status != usUnmodified)
            ++count;
    return count;
}

TClientDataSet::TUpdateStatus TClientDataSet::UpdateStatus() const
{
    const Row *row = currentRow();
    return row ? row->status : usUnmodified;
}

void TClientDataSet::ReplaceData(const QList<TFieldDef> &defs, std::vector<QList<QVariant>> records)
{
    Close();
    m_defs = defs;
    activate();
    m_rows.reserve(records.size());
    for (QList<QVariant> &values : records) {
        auto row = std::make_unique<Row>();
        row->values = std::move(values);
        m_rows.push_back(std::move(row));
    }
    rebuildView();
    First();
}

const QList<QVariant> &TClientDataSet::StoredRecord(int row) const
{
    return m_rows.at(size_t(row))->values;
}

void TClientDataSet::MergeChangeLog()
{
    checkBrowseMode();
    for (auto &row : m_rows) {
        row->status = usUnmodified;
        row->original.clear();
    }
    m_deleted.clear();
}
