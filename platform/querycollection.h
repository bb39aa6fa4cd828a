#pragma once

// A dataset over one select, with the statements that write a row back, shown to views as a
// table model.
//
//   TVxQueryCollection xqc;                     // on qqoVxGlobConn() unless setConnection
//   xqc.setSQL("SELECT Enc.iEncId, Enc.sEncLDesc FROM TEnc_Encomio Enc WHERE ... = :iAnsId");
//   xqc.setParamValue("iAnsId", 38);            // select parameters, bound by name
//   xqc.setAutoBuildSQL(true);                  // or fill InsertSQL(), UpdateSQL(), DeleteSQL()
//   xqc.VxBeforeExec = [](TVxQueryDesc &d) {...};   // may add or change field values
//   xqc.VxAfterExec  = [](TVxQueryDesc &d) {...};   // d.Fields.value("VXGENID") after an insert
//   xqc.Open();                                 // throws EVxException with the driver's error
//   xqc.RecordCount(), FieldIndex(name), Value(row, name), First/Next/Eof/RecNo, Locate
//   xqc.Append(); xqc.SetFieldValue("sEncLDesc", t); xqc.Post();    // insert
//   xqc.setRecNo(r); xqc.Edit(); xqc.SetFieldValue(...); xqc.Post(); // update
//   xqc.setRecNo(r); xqc.Delete();                                   // delete
//
// Writing a row: the statements of the list (insert, update or delete) run in list order, in
// one transaction, or inside the caller's running TVxTransaction under a savepoint, so that a
// failure takes back this row's statements and nothing else of the caller's work. Each
// statement gets a description of its own (TVxQueryDesc): the row's field values by name, the
// statement's table name in capitals and its kind (1 insert, 2 update, 3 delete). Parameters
// are bound from those values by name, without regard to case; ":VXGENID" is a new key
// (VxNewKey) for the statement's table, ":VXCURRID" the key (first column) of the row as
// it was read. A failing statement or hook leaves the database and the rows unchanged, and
// the edit open so that the user can correct it; the failure is raised as EVxException. Each
// statement text is prepared once per transaction: saving many rows inside one caller's
// transaction prepares each statement once.
// After an insert the row takes the new key of the statement into the select's own table
// (else of the last statement that made one) and the values the hooks added for its fields.
//
// An update that finds its row gone (deleted by another workstation) is a failure, not a
// save: each statement of the update list, derived or written by hand, must touch a row. A
// delete that finds its row gone has nothing to refuse: the row is gone either way.
//
// AutoBuildSQL derives the three statements from a select on one table whose first column is
// the key: every other plain column is written; computed columns are not. Its update sets only
// the columns whose value differs from the row as read, so that a column another workstation
// saved meanwhile and this one did not touch keeps the other's value; an edit that changed
// nothing runs no statement. Before its update or delete it reads the stored row in the
// write's transaction and goes on only where the row still holds what the collection read, in
// the columns the update sets (every written column for a delete: platform/savecheck.h).
// Otherwise nothing is written: the failure tells that another workstation changed the row,
// the row takes the stored values (the edit keeps what was typed, the other columns take the
// stored ones), and posting or deleting again writes over it.
//
// An empty statement list means that kind of change is not allowed (CanInsert, CanModify,
// CanDelete); trying it raises. A collection with no lists is a read-only dataset.
//
// Blobs: the driver returns every BLOB as bytes; with TextBlobs (the default) they are decoded
// as UTF-8 text, as this database's blobs are text. CHAR columns stay space-padded.
//
// The model: one column per select field, header the field name (or setDisplayLabel), one row
// per record; not editable through the view (edits go through Append/Edit/Post).

#include "platform/sqlparams.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

class TVxTransaction;

enum TVxStatementKind { skInsert = 1, skUpdate = 2, skDelete = 3 };

struct TVxQueryDesc
{
    TVxFieldValues Fields;
    QString TableName; // in capitals
    int Kind = 0;      // TVxStatementKind
    QString SQL;
};

// The statements AutoBuildSQL derives from a select (buildAutoStatements, below).
struct TVxAutoStatements
{
    QString insert, update, del;
    QString table;
    QString key;
    // The written columns and the select's names of their values, pair by pair.
    QStringList columns, params;
    // The update of the named values only (select names, any case); empty when none is written.
    QString updateOf(const QStringList &names) const;
};

class TVxQueryCollection : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum State { dsInactive, dsBrowse, dsInsert, dsEdit };

    explicit TVxQueryCollection(QObject *parent = nullptr);

    void setConnection(const QSqlDatabase &db);
    QSqlDatabase connection() const;

    void setSQL(const QString &select) { m_select = select; }
    QString SQL() const { return m_select; }
    QStringList &InsertSQL() { return m_insert; }
    QStringList &UpdateSQL() { return m_update; }
    QStringList &DeleteSQL() { return m_delete; }
    void setAutoBuildSQL(bool on) { m_autoBuild = on; }
    bool AutoBuildSQL() const { return m_autoBuild; }
    void setTextBlobs(bool on) { m_textBlobs = on; }

    void setParamValue(const QString &name, const QVariant &value)
    {
        m_params.setValue(name, value);
    }
    QVariant paramValue(const QString &name) const { return m_params.value(name); }

    std::function<void(TVxQueryDesc &)> VxBeforeExec;
    std::function<void(TVxQueryDesc &)> VxAfterExec;

    void Open();
    void Close();
    // Reads the rows again, staying on the row with the same key when it is still there. The
    // fields stay as they were, so views keep their columns: the rows are replaced, the model
    // is not reset (unless the select now gives other fields).
    void Refresh();
    bool Active() const { return m_state != dsInactive; }
    State state() const { return m_state; }

    int RecordCount() const { return int(m_rows.size()); }
    int FieldCount() const { return m_fields.count(); }
    QString FieldName(int field) const { return m_fields.fieldName(field); }
    // -1 when the select has no such field; names match without regard to case.
    int FieldIndex(const QString &name) const;
    QVariant Value(int row, int field) const;
    QVariant Value(int row, const QString &name) const;
    // The most characters a text field's column holds; 0 when the field is not a table's text
    // column (a number, a computed value). Read from the database once per table.
    int FieldMaxLength(const QString &name) const;

    int RecNo() const { return m_recNo; }
    void setRecNo(int row);
    void First() { setRecNo(0); }
    void Next();
    bool Eof() const { return m_recNo < 0 || m_recNo >= RecordCount(); }
    // The current row's value; in insert or edit state, the value being edited.
    QVariant FieldValue(const QString &name) const;
    bool Locate(const QString &name, const QVariant &value);

    bool CanInsert() const;
    bool CanModify() const;
    bool CanDelete() const;
    // The statements that writing a row runs (the derived ones when AutoBuildSQL).
    QStringList statements(TVxStatementKind kind) const;

    void Append();
    void Edit();
    void SetFieldValue(const QString &name, const QVariant &value);
    void Post();
    void Cancel();
    void Delete();

    void setDisplayLabel(const QString &field, const QString &label);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void buildStatements();
    void requireActive() const;
    // Runs the select and reads every row; throws before anything changes.
    void readAll(QSqlRecord &fields, QList<QVariantList> &rows) const;
    QVariantList readRow(const QSqlQuery &query, const QSqlRecord &fields) const;
    // The fields of the row being edited whose value differs from the row as read.
    QStringList changedFields() const;
    // Runs the list for the buffer; returns the per-statement descriptions.
    QList<TVxQueryDesc> runStatements(TVxStatementKind kind, const QVariant &currentKey);
    // The derived update's or delete's comparison, in the write's transaction: the row as
    // stored now when another workstation changed it since it was read, else none.
    std::optional<QVariantList> changedElsewhere(TVxTransaction &tr, TVxStatementKind kind,
                                                 const QVariant &currentKey) const;
    // The row as stored now becomes the row as read; the edit keeps what was typed.
    void takeStoredRow(const QVariantList &stored);
    void mergeIntoBuffer(const QList<TVxQueryDesc> &done, TVxStatementKind kind);

    QString m_connectionName;
    QString m_select;
    QStringList m_insert, m_update, m_delete;
    QStringList m_autoInsert, m_autoUpdate, m_autoDelete;
    TVxAutoStatements m_auto;
    QString m_mainTable; // the select's own table, in capitals
    bool m_autoBuild = false;
    bool m_textBlobs = true;
    TVxFieldValues m_params;

    State m_state = dsInactive;
    QSqlRecord m_fields;
    QList<QVariantList> m_rows;
    int m_recNo = -1;
    QVariantList m_buffer;
    QHash<QString, QString> m_labels; // upper-case field name -> label
    // Character lengths of text columns: table -> upper-case column -> length.
    mutable QHash<QString, QHash<QString, int>> m_columnLengths;
};

// Parsing helpers, exposed for the tests and for AutoBuildSQL's callers.
// Throws EVxException when the select is not on one table with a plain key column first.
TVxAutoStatements buildAutoStatements(const QString &select);
// The table a statement writes ("INSERT INTO x", "UPDATE x", "DELETE FROM x"), in capitals.
QString statementTable(const QString &statement);
// The first table of the select's FROM clause, in capitals (empty when there is none).
QString selectMainTable(const QString &select);
