#pragma once

// Datasets that report templates read by name, and the data modules that own them.
//
//   TfrDataModule module("dmqelRptDataSets");             // registered while it lives
//   TfrQuery *q = module.AddQuery("qquClsAlu");
//   q->setSQL("SELECT ... WHERE TClsPst.iClsId = :iClsId");
//   q->DeclareParam("iClsId", TfrParamType::Integer);     // null until set
//   q->AfterScroll = [](TfrDataSet &ds) { ... reopen the details ... };
//   module.AddReportDataSet("frdClsAlu", q);              // the name templates bind to
//   q->ParamByName("iClsId").setValue(12); q->Open();      // stands on the first row
//   while (!q->Eof()) { q->FieldByName("sAnaCognome").DisplayText(); q->Next(); }
//
// A dataset reads all its rows when it opens, so that a detail reopened by a scroll handler
// never disturbs a statement another dataset is still reading. AfterScroll runs whenever the
// cursor lands on a row: after an open that found one, after First on a non-empty dataset,
// after a Next that did not reach the end. Its handler may close, re-parameter and reopen
// other datasets, which may cascade further. Field names are found without regard to case
// (Firebird answers in capitals); text BLOBs arrive as text, CHAR columns without the blanks
// that pad them.
//
// Templates find a dataset by the name of its report dataset (TfrDBDataSet) or by its own
// name, in every data module alive. Failures raise EVxException (EfrError for the engine's
// own: an unknown field, a closed dataset moved; the database's with the driver's text).

#include "platform/clientdataset.h"
#include "reportengine/reportruncache.h"
#include "reportengine/reportvalue.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;
class TfrDataSet;

// One column of the current row.
class TfrField
{
public:
    TfrField(const TfrDataSet *dataSet, int index) : m_dataSet(dataSet), m_index(index) {}
    QString FieldName() const;
    QVariant Value() const;
    bool IsNull() const { return frValueKind(Value()) == vkNull; }
    qint64 AsInteger() const { return frToInteger(Value()); }
    QString AsString() const { return frDisplayText(Value()); }
    QString DisplayText() const { return frDisplayText(Value()); }

private:
    const TfrDataSet *m_dataSet;
    int m_index;
};

class TfrDataSet
{
public:
    explicit TfrDataSet(const QString &name) : m_name(name) {}
    virtual ~TfrDataSet() = default;
    TfrDataSet(const TfrDataSet &) = delete;
    TfrDataSet &operator=(const TfrDataSet &) = delete;

    QString Name() const { return m_name; }

    void Open();
    void Close();
    bool Active() const { return m_active; }
    void First();
    void Next();
    bool Eof() const { return !m_active || m_row >= int(m_rows.size()); }
    int RecordCount() const { return int(m_rows.size()); }
    int RecNo() const { return m_row; }

    // The field's value in every row, in order; empty while closed or without the field.
    QList<QVariant> ColumnValues(const QString &name) const;

    int FieldCount() const { return int(m_columns.size()); }
    int FieldIndex(const QString &name) const; // -1 when absent
    QString FieldName(int index) const { return m_columns.at(index); }
    // The value at the current row; null past the end or while closed.
    QVariant Value(int index) const;
    // Raises EfrError when the dataset has no such field.
    TfrField FieldByName(const QString &name) const;

    std::function<void(TfrDataSet &)> BeforeOpen;
    std::function<void(TfrDataSet &)> AfterScroll;

    // From the next open on, only the rows whose field holds one of the keys, in the order
    // read (the rows chosen in a selection form; keys compare as display texts), until lifted.
    // An open that finds no such field raises EfrError.
    void SetKeyFilter(const QString &field, const QSet<QString> &keys);
    void ClearKeyFilter();

protected:
    // Reads the columns and every row; raises on failure (the dataset stays closed).
    virtual void fetch(QStringList &columns, std::vector<QList<QVariant>> &rows) = 0;

private:
    void scrolled();

    QString m_name;
    bool m_active = false;
    int m_row = 0;
    QStringList m_columns;
    QHash<QString, int> m_index; // upper-case name -> column
    std::vector<QList<QVariant>> m_rows;
    QString m_keyField;
    QSet<QString> m_keys;
};

// The framework's in-memory dataset offered to templates: its visible rows, as they stand
// when the report dataset opens.
class TfrClientDataSet : public TfrDataSet
{
public:
    TfrClientDataSet(const QString &name, TClientDataSet *data) : TfrDataSet(name), m_data(data) {}
    TClientDataSet *Data() const { return m_data; }

protected:
    void fetch(QStringList &columns, std::vector<QList<QVariant>> &rows) override;

private:
    TClientDataSet *m_data;
};

// A named parameter of a query, declared by its owner as an integer or a text; null until set.
enum class TfrParamType { Integer, Text };

class TfrParam
{
public:
    TfrParam(const QString &name, TfrParamType type) : m_name(name), m_type(type) {}
    QString Name() const { return m_name; }
    TfrParamType DataType() const { return m_type; }
    // Converts to the declared type (EfrConversionError when it cannot); null stays null.
    void setValue(const QVariant &value);
    void Clear() { m_value = QVariant(); }
    QVariant Value() const { return m_value; }
    bool IsNull() const { return frValueKind(m_value) == vkNull; }

private:
    QString m_name;
    TfrParamType m_type;
    QVariant m_value;
};

// A select whose text may change between opens, with named parameters (":iClsId"; a name
// used twice binds both places). It reads its rows as the framework's client datasets do
// (TVxRowReader): inside a report run, in the run's transaction, prepared once per text;
// outside one, in a short transaction of its own, or inside the caller's TVxTransaction on the
// connection.
//
// Each declared parameter runs cast to its declared type: Firebird refuses a parameter where
// its place gives it no type (alone in the select list, beside another parameter, joined to a
// text), and a template may write one anywhere. A null one runs as NULL, as in every statement
// of the framework, so "(0 = :iAllId OR ...)" selects nothing extra. StatementText() is the
// text as it runs. Opening one without a text raises EfrError naming it.
class TfrQuery : public TfrDataSet
{
public:
    explicit TfrQuery(const QString &name) : TfrDataSet(name) {}

    void setSQL(const QString &sql) { m_sql = sql; }
    QString SQL() const { return m_sql; }
    QString StatementText() const;
    // Inside a report run an open first looks among what the run has read (TfrRunCache): the
    // same text with the same values answers with the same rows. Before reading, the query
    // asks its run reader, when it has one, which may answer from rows it read for many opens
    // at once (a detail reopened at every pupil of its master reads a whole class in one
    // statement); nothing, and the query reads its own rows.
    std::function<std::optional<TfrRows>(const TfrQuery &, const TVxFieldValues &)> RunReader;
    // The program's shared connection unless set.
    void setConnection(const QSqlDatabase &db) { m_connectionName = db.connectionName(); }
    QSqlDatabase Connection() const;

    // Declares (or declares again, null) a parameter.
    TfrParam &DeclareParam(const QString &name, TfrParamType type);
    // Raises EfrError for a parameter nobody declared.
    TfrParam &ParamByName(const QString &name);
    QList<TfrParam> &Params() { return m_params; }

protected:
    void fetch(QStringList &columns, std::vector<QList<QVariant>> &rows) override;

private:
    QString m_sql;
    QString m_connectionName;
    QList<TfrParam> m_params;
    // The text as it runs, kept while the text and the declarations stay: a detail reopens at
    // every row of its master.
    mutable QString m_statement;
    mutable QString m_statementOf;
    std::optional<TVxRowLayout> m_layout;
    QString m_layoutOf;
};

// A dataset offered to templates under the report dataset's own name.
class TfrDBDataSet
{
public:
    TfrDBDataSet(const QString &name, TfrDataSet *dataSet) : m_name(name), DataSet(dataSet) {}
    virtual ~TfrDBDataSet() = default;
    QString Name() const { return m_name; }

private:
    QString m_name;

public:
    TfrDataSet *DataSet;
};

// A report dataset whose report first asks the user to choose in a selection form: the form's
// registered class name, whether it is shown, whether OnAfterSelectForm runs, the key field
// of the chosen rows, and the events before the form shows and after the user confirms (both
// with the created form). The report shows the form before its pages (TfrReport::PrepareReport)
// and then walks only the chosen rows.
class TVxfrDBDataSet : public TfrDBDataSet
{
public:
    using TfrDBDataSet::TfrDBDataSet;
    QString SelectForm;
    bool ShowSelectForm = false;
    bool DoAfterSelect = false;
    QString KeyField;
    std::function<void(TVxfrDBDataSet &sender, QWidget *form)> OnBeforeSelectForm;
    std::function<void(TVxfrDBDataSet &sender, QWidget *form)> OnAfterSelectForm;
};

// A data module's report components, in creation order; registered by name while it lives.
class TfrDataModule
{
public:
    explicit TfrDataModule(const QString &name);
    virtual ~TfrDataModule();
    TfrDataModule(const TfrDataModule &) = delete;
    TfrDataModule &operator=(const TfrDataModule &) = delete;

    QString ModuleName() const { return m_name; }

    TfrQuery *AddQuery(const QString &name);
    TfrClientDataSet *AddClientDataSet(const QString &name, TClientDataSet *data);
    TfrDBDataSet *AddReportDataSet(const QString &name, TfrDataSet *dataSet);
    TVxfrDBDataSet *AddSelectReportDataSet(const QString &name, TfrDataSet *dataSet);

    // Without regard to case; nullptr when absent.
    TfrDataSet *FindDataSet(const QString &name) const;
    TfrDBDataSet *FindReportDataSet(const QString &name) const;
    QList<TfrDataSet *> DataSets() const;
    QList<TfrDBDataSet *> ReportDataSets() const;

protected:
    template <class T> T *own(std::unique_ptr<T> dataSet)
    {
        T *raw = dataSet.get();
        m_dataSets.push_back(std::move(dataSet));
        return raw;
    }

private:
    QString m_name;
    std::vector<std::unique_ptr<TfrDataSet>> m_dataSets;
    std::vector<std::unique_ptr<TfrDBDataSet>> m_reportDataSets;
};

// The data modules alive, in creation order.
QList<TfrDataModule *> frDataModules();
