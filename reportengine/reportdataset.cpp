#include "reportengine/reportdataset.h"

#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/transaction.h"

#include <QSqlQuery>

QString TfrField::FieldName() const
{
    return m_dataSet->FieldName(m_index);
}

QVariant TfrField::Value() const
{
    return m_dataSet->Value(m_index);
}

void TfrDataSet::Open()
{
    if (m_active)
        return;
    if (BeforeOpen)
        BeforeOpen(*this);
    QStringList columns;
    std::vector<QList<QVariant>> rows;
    fetch(columns, rows);
    if (!m_keyField.isEmpty()) {
        int key = int(columns.size()) - 1;
        while (key >= 0 && columns[key].compare(m_keyField, Qt::CaseInsensitive) != 0)
            --key;
        if (key < 0)
            throw EfrError(
                QStringLiteral("Il dataset %1 non ha il campo «%2».").arg(m_name, m_keyField));
        std::erase_if(rows, [this, key](const QList<QVariant> &row) {
            return !m_keys.contains(frDisplayText(row.value(key)));
        });
    }
    // A detail reopened at every row of its master comes back with the same columns.
    if (columns != m_columns) {
        m_columns = columns;
        m_index.clear();
        for (int i = int(columns.size()) - 1; i >= 0; --i)
            m_index.insert(columns[i].toUpper(), i);
    }
    m_rows = std::move(rows);
    m_row = 0;
    m_active = true;
    scrolled();
}

void TfrDataSet::SetKeyFilter(const QString &field, const QSet<QString> &keys)
{
    m_keyField = field;
    m_keys = keys;
}

void TfrDataSet::ClearKeyFilter()
{
    m_keyField.clear();
    m_keys.clear();
}

void TfrDataSet::Close()
{
    m_active = false;
    m_rows.clear();
    m_row = 0;
}

void TfrDataSet::First()
{
    if (!m_active)
        throw EfrError(QStringLiteral("Il dataset %1 è chiuso.").arg(m_name));
    m_row = 0;
    scrolled();
}

void TfrDataSet::Next()
{
    if (!m_active)
        throw EfrError(QStringLiteral("Il dataset %1 è chiuso.").arg(m_name));
    if (Eof())
        return;
    ++m_row;
    scrolled();
}

void TfrDataSet::scrolled()
{
    if (!Eof() && AfterScroll)
        AfterScroll(*this);
}

int TfrDataSet::FieldIndex(const QString &name) const
{
    return m_index.value(name.toUpper(), -1);
}

QList<QVariant> TfrDataSet::ColumnValues(const QString &name) const
{
    QList<QVariant> values;
    const int index = m_active ? FieldIndex(name) : -1;
    if (index < 0)
        return values;
    values.reserve(qsizetype(m_rows.size()));
    for (const QList<QVariant> &row : m_rows)
        values << row.value(index);
    return values;
}

QVariant TfrDataSet::Value(int index) const
{
    if (Eof() || index < 0 || index >= m_columns.size())
        return QVariant();
    return m_rows[size_t(m_row)].value(index);
}

TfrField TfrDataSet::FieldByName(const QString &name) const
{
    const int index = FieldIndex(name);
    if (index < 0)
        throw EfrError(QStringLiteral("Il dataset %1 non ha il campo «%2».").arg(m_name, name));
    return TfrField(this, index);
}

namespace {

// The visible rows of an in-memory dataset, as they stand.
void readRows(const TClientDataSet &data, QStringList &columns, std::vector<QList<QVariant>> &rows)
{
    for (const TFieldDef &def : data.FieldDefs())
        columns << def.Name;
    for (int r = 0; r < data.RecordCount(); ++r) {
        QList<QVariant> row;
        for (int c = 0; c < columns.size(); ++c)
            row << data.Value(r, c);
        rows.push_back(row);
    }
}

} // namespace

void TfrClientDataSet::fetch(QStringList &columns, std::vector<QList<QVariant>> &rows)
{
    if (!m_data || !m_data->Active())
        throw EfrError(QStringLiteral("Il dataset %1 non contiene dati.").arg(Name()));
    readRows(*m_data, columns, rows);
}

void TfrParam::setValue(const QVariant &value)
{
    if (frValueKind(value) == vkNull)
        m_value = QVariant();
    else if (m_type == TfrParamType::Integer)
        m_value = frToInteger(value);
    else
        m_value = frDisplayText(value);
}

TfrParam &TfrQuery::DeclareParam(const QString &name, TfrParamType type)
{
    for (TfrParam &p : m_params) {
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0) {
            p = TfrParam(name, type);
            return p;
        }
    }
    m_params.append(TfrParam(name, type));
    return m_params.last();
}

TfrParam &TfrQuery::ParamByName(const QString &name)
{
    for (TfrParam &p : m_params) {
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    throw EfrError(QStringLiteral("La query %1 non ha il parametro %2.").arg(Name(), name));
}

QSqlDatabase TfrQuery::Connection() const
{
    if (m_connectionName.isEmpty())
        return qqoVxGlobConn();
    return QSqlDatabase::database(m_connectionName, false);
}

QString TfrQuery::StatementText() const
{
    // The declarations the text was cast with: names and types.
    QString declared = m_sql;
    for (const TfrParam &p : m_params)
        declared += QLatin1Char('\n') + p.Name() +
                    (p.DataType() == TfrParamType::Integer ? QLatin1Char('I') : QLatin1Char('T'));
    if (declared == m_statementOf)
        return m_statement;
    const auto cast = [this](const QString &name) {
        for (const TfrParam &p : m_params) {
            if (p.Name().compare(name, Qt::CaseInsensitive) != 0)
                continue;
            // 8191 UTF-8 characters fill the longest VARCHAR Firebird takes.
            const QString type = p.DataType() == TfrParamType::Integer
                                     ? QStringLiteral("INTEGER")
                                     : QStringLiteral("VARCHAR(8191)");
            return QStringLiteral("CAST(:%1 AS %2)").arg(name, type);
        }
        return QStringLiteral(":") + name; // refused as missing when it runs
    };
    m_statement = toPositional(m_sql, cast).sql;
    m_statementOf = declared;
    return m_statement;
}

void TfrQuery::fetch(QStringList &columns, std::vector<QList<QVariant>> &rows)
{
    // A template may name a query the program gives no text (yet): the report ends naming it
    // rather than with the driver's complaint about an empty statement.
    if (m_sql.trimmed().isEmpty())
        throw EfrError(QStringLiteral("La query %1 non ha un testo da eseguire.").arg(Name()));
    TVxFieldValues values;
    for (const TfrParam &p : m_params)
        values.setValue(p.Name(), p.Value());
    const QString text = StatementText();
    TfrRunCache *cache = TfrRunCache::current();
    QString key;
    if (cache) {
        // The connection, the text as it runs and each value with its kind.
        key = cache->textKey(m_connectionName + QLatin1Char('\n') + text);
        for (const TfrParam &p : m_params) {
            const QString value = p.IsNull() ? QString() : frDisplayText(p.Value());
            key += p.IsNull()
                       ? QStringLiteral("\nN")
                       : QStringLiteral("\n%1%2:")
                                 .arg(p.DataType() == TfrParamType::Integer ? QLatin1Char('I')
                                                                            : QLatin1Char('T'))
                                 .arg(value.size()) +
                             value;
        }
        const TfrRows *kept = cache->find(key);
        if (!kept && RunReader) {
            if (std::optional<TfrRows> answered = RunReader(*this, values)) {
                cache->keep(key, std::move(*answered));
                kept = cache->find(key);
            }
        }
        if (kept) {
            columns = kept->columns;
            rows = kept->rows;
            return;
        }
    }
    // The columns of a text are the same at every run: read from the driver once.
    if (text != m_layoutOf) {
        m_layout.reset();
        m_layoutOf = text;
    }
    TfrRows read = frReadRows(Connection(), text, values, &m_layout);
    columns = read.columns;
    rows = std::move(read.rows);
    if (cache)
        cache->keep(key, TfrRows{columns, rows});
}

// ---------------------------------------------------------------------------------------------

namespace {

QList<TfrDataModule *> &modules()
{
    static QList<TfrDataModule *> list;
    return list;
}

template <class List> auto findByName(const List &list, const QString &name)
{
    for (const auto &item : list) {
        if (item->Name().compare(name, Qt::CaseInsensitive) == 0)
            return item.get();
    }
    return decltype(list.front().get())(nullptr);
}

} // namespace

TfrDataModule::TfrDataModule(const QString &name) : m_name(name)
{
    modules().append(this);
}

TfrDataModule::~TfrDataModule()
{
    modules().removeOne(this);
}

TfrQuery *TfrDataModule::AddQuery(const QString &name)
{
    return own(std::make_unique<TfrQuery>(name));
}

TfrClientDataSet *TfrDataModule::AddClientDataSet(const QString &name, TClientDataSet *data)
{
    return own(std::make_unique<TfrClientDataSet>(name, data));
}

TfrDBDataSet *TfrDataModule::AddReportDataSet(const QString &name, TfrDataSet *dataSet)
{
    m_reportDataSets.push_back(std::make_unique<TfrDBDataSet>(name, dataSet));
    return m_reportDataSets.back().get();
}

TVxfrDBDataSet *TfrDataModule::AddSelectReportDataSet(const QString &name, TfrDataSet *dataSet)
{
    auto adapter = std::make_unique<TVxfrDBDataSet>(name, dataSet);
    TVxfrDBDataSet *raw = adapter.get();
    m_reportDataSets.push_back(std::move(adapter));
    return raw;
}

TfrDataSet *TfrDataModule::FindDataSet(const QString &name) const
{
    return findByName(m_dataSets, name);
}

TfrDBDataSet *TfrDataModule::FindReportDataSet(const QString &name) const
{
    return findByName(m_reportDataSets, name);
}

QList<TfrDataSet *> TfrDataModule::DataSets() const
{
    QList<TfrDataSet *> list;
    for (const auto &d : m_dataSets)
        list << d.get();
    return list;
}

QList<TfrDBDataSet *> TfrDataModule::ReportDataSets() const
{
    QList<TfrDBDataSet *> list;
    for (const auto &d : m_reportDataSets)
        list << d.get();
    return list;
}

QList<TfrDataModule *> frDataModules()
{
    return modules();
}
