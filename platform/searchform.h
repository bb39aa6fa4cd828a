#pragma once

#include "platform/dialogs.h"
#include "platform/sqlparams.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

class QLineEdit;
class QStandardItemModel;
class QTableView;

// How the search form shows one column of its select.
struct TVxSearchColumn
{
    QString Caption; // empty: the field name
    bool Visible = true;
    bool Indexed = false; // searched by the typed text (all visible columns when none is)
    int Width = -1;       // pixels; -1 leaves the grid's own width
};

// The search behind a lookup: a select whose "##WHERE##" the search replaces with its own
// condition ("1=1" when nothing is typed). The typed text is bound, never written into the
// statement; it is matched as a part of the column's text, without regard to case.
class TVxSearchQuery
{
public:
    TVxSearchQuery(const QSqlDatabase &db, const QString &select);

    // The statement for a text over the given fields, with the values of its parameters.
    QString Statement(const QStringList &fields, const QString &text, TVxFieldValues *binds) const;
    // Runs it; throws EVxException with the driver's error. Fields() then names the columns.
    QList<QVariantList> Run(const QStringList &fields, const QString &text);
    // The rows whose field equals the value exactly: a lookup showing the text of key 1 must
    // not take the row of key 10 that a partial match would also find. Needs Fields() known
    // (one Run first); no rows when the field is not in the select or cannot hold the value.
    QList<QVariantList> RunExact(const QString &field, const QVariant &value);
    QSqlRecord Fields() const { return m_fields; }

private:
    QList<QVariantList> execute(const QString &statement, const TVxFieldValues &binds);
    QList<QVariantList> rowsOf(const QString &statement, const TVxFieldValues &binds);

    QSqlDatabase m_db;
    QString m_select;
    QSqlRecord m_fields;
};

// The search form of the lookups (TfmVxSearch): an edit for the text, the list of matching
// rows, OK to take the current row. The caller adjusts Columns() (index = select column)
// before Execute, as the lookups' OnShowSearchForm handlers do.
class TfmVxSearch : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    TfmVxSearch(const QSqlDatabase &db, const QString &select, QWidget *parent = nullptr);

    // Runs the select once without condition so that the columns are known.
    void Prepare();
    QList<TVxSearchColumn> &Columns() { return m_columns; }
    int ListWidth() const;

    void Search(const QString &text);
    int RowCount() const;
    void SetCurrentRow(int row);
    // The current row's value of a field (select column name, any case); null when none.
    QVariant SelectedValue(const QString &field) const;
    QVariantList SelectedRow() const;

    // Prepares, applies the columns and shows the form modally; true when a row was chosen.
    bool Execute(const QString &initialText = {});

    QLineEdit *edSearch() const { return m_edit; }
    QTableView *grSearch() const { return m_grid; }

protected:
    void OkClick() override;

private:
    QStringList searchedFields() const;
    void applyColumns();

    TVxSearchQuery m_query;
    QList<TVxSearchColumn> m_columns;
    QList<QVariantList> m_rows;
    QLineEdit *m_edit;
    QTableView *m_grid;
    QStandardItemModel *m_model;
    bool m_prepared = false;
};
