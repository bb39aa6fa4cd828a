#pragma once

#include "platform/frames.h"
#include "platform/querycollection.h"

#include <QLineEdit>
#include <QPointer>
#include <QSqlDatabase>
#include <QVariant>

#include <functional>

class QAbstractItemModel;
class QCheckBox;
class QPainter;
class QPlainTextEdit;
class QSortFilterProxyModel;
class QStackedWidget;
class QStyleOptionViewItem;
class QTableView;
class QToolButton;
class TfmVxSearch;
class VxGridProxy;

// A read-only grid over a data source: columns by field with title and width, sorting by a
// column (SortIndex, a header click), a filter by typed text over the visible columns, and
// a draw-cell hook that may paint a cell itself. A grid narrower than its columns' widths (a
// tiled window) shrinks them toward what their contents need, never below it.
//
// Columns come two ways: ShowColumn picks among the source's fields as they stand; AddColumn
// keeps a list of columns by field, in its order, shown again whenever the source is read
// anew (a list reopened with another statement shows them as soon as it has their fields).
class TfrVxDBROGrid : public TfrVxBase
{
    Q_OBJECT
public:
    // Paints the cell (source model index) and returns true, or returns false to leave it
    // to the grid, which then draws it with the option as the hook left it (a text colour).
    // The option comes filled with the cell's text, font and colours.
    using DrawCellHook = std::function<bool(QPainter *painter, QStyleOptionViewItem &option,
                                            const QModelIndex &index)>;

    explicit TfrVxDBROGrid(QWidget *parent = nullptr);

    void SetDataSource(QAbstractItemModel *model);
    QAbstractItemModel *DataSource() const { return m_source; }
    QTableView *grGrid() const { return m_grid; }

    // Shows only the columns named (field names, any case), in the model's order, with
    // their titles and widths (-1 keeps the width).
    void ShowColumn(const QString &field, const QString &title, int width = -1,
                    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    void HideAllColumns();

    // The columns listed by AddColumn; without any, the source's fields shown.
    int ColumnCount() const;
    void ClearColumns();
    // Appends a column. The first one keeps the columns shown until then, before it.
    void AddColumn(const QString &field, const QString &title, int width = -1);

    int SortIndex() const { return m_sortIndex; }
    void SetSortIndex(int column, Qt::SortOrder order = Qt::AscendingOrder);
    // The sort index of a header click: once cleared, only the columns added to it sort, each
    // by its own fields ("sClsSDesc;sAnaCognome"), ascending then descending. The column is
    // its place among the columns shown (0 the first).
    void ClearSortColumns();
    void AddSortColumn(int column, const QString &fields);

    // Several rows selectable at once (Ctrl and Shift clicks, the select buttons).
    void SetMultiSelect(bool on);
    // The data source's rows selected, in the grid's visible order.
    QList<int> SelectedSourceRows() const;
    void SelectAllRows();
    void ClearSelection();
    // Every visible row's selection is flipped.
    void InvertSelection();

    // Keeps the rows with the text in a visible column (any case); empty shows all.
    void SetFilterText(const QString &text);
    int VisibleRowCount() const;

    // The data source's row of the grid's current row (-1 without one) and the other way.
    int CurrentSourceRow() const;
    void SetCurrentSourceRow(int row);
    int SourceRowAt(int visibleRow) const;

    DrawCellHook OnDrawCell;

protected:
    int fieldColumn(const QString &field) const;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Column
    {
        QString field;
        QString title;
        int width;
    };

    QString fieldName(int column) const;
    void fitColumns();
    void applyColumns();
    void forgetColumnLooks();
    // The place of a source column among the columns shown; -1 when hidden.
    int shownPosition(int column) const;

    QTableView *m_grid;
    VxGridProxy *m_proxy;
    QPointer<QAbstractItemModel> m_source;
    int m_sortIndex = -1;
    QHash<int, int> m_designWidths; // column -> the width ShowColumn gave it
    QList<Column> m_columns;
    bool m_sortIndexSet = false;
    QHash<int, QStringList> m_sortColumns; // shown position -> its fields
};

// A lookup edit: keeps the key of a row of a list select and shows the row's text; its
// button opens the search form over the select (OnShowSearchForm may adjust the columns).
class TVxDBLookupEdit : public QWidget
{
    Q_OBJECT
public:
    explicit TVxDBLookupEdit(QWidget *parent = nullptr);

    QString ListSQL; // with ##WHERE##
    QString KeyField;
    QString ListField;
    QVariant DefaultValue = 0;
    QSqlDatabase Connection;
    std::function<void(TfmVxSearch *form)> OnShowSearchForm;

    QVariant Value() const { return m_value; }
    // Keeps the key and shows its row's text; throws EVxException (the key kept, the text
    // blank) when the list select fails.
    void SetValue(const QVariant &key);
    QString DisplayText() const;
    void SetReadOnly(bool readOnly);
    // Opens the search form; true when a row was chosen. A failure is shown here.
    bool ShowSearchForm();

signals:
    void valueChanged(const QVariant &key);

private:
    QLineEdit *m_text;
    QToolButton *m_button;
    QVariant m_value;
};

// An edit of whole numbers: an empty edit is a null field, never a silent 0.
class TVxDBNumericEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TVxDBNumericEdit(QWidget *parent = nullptr);
};

// Browse and edit a query collection: the list page (grid and search) and the detail page
// with the data-aware controls that the derived frame binds to fields. New, Modify, Delete
// (after a confirmation), Save and Cancel write through the collection; its failures are
// shown and the edit stays open so that nothing typed is lost. A saved or cancelled edit goes
// back to the list, on the row saved.
//
// Before a row is written: a row with every field empty is refused, naming the field to fill
// (check boxes always hold a value and do not count); a text longer than its column is
// refused, naming the field by its caption (the label whose buddy the control is). Bound text
// edits take their column's length as their maximum.
//
// Keyboard: Enter on the list opens the current row for editing (or shows it, where rows
// cannot be changed), Ctrl+S saves, Esc cancels the edit, asking first when something was
// typed. "Aggiorna" reads the rows again and keeps the columns, the row (by key) and the page.
class TfrVxDBRWGrid : public TfrVxDBROGrid
{
    Q_OBJECT
public:
    explicit TfrVxDBRWGrid(QWidget *parent = nullptr);

    void SetCollection(TVxQueryCollection *collection);
    TVxQueryCollection *Collection() const { return m_collection; }

    // The detail page where the derived frame puts its controls.
    QWidget *DetailArea() const { return m_detail; }
    void ShowListPage();
    void ShowDetailPage();
    bool IsListPage() const;

    // Binds a control of the detail page to a field; the default fills a new row.
    void BindField(QLineEdit *edit, const QString &field, const QVariant &defaultValue = {});
    void BindField(QCheckBox *check, const QString &field, bool defaultValue = false);
    // A multi-line text (a judgment, a note): kept as typed, blanks included, line breaks as
    // CR LF; emptied, the field is null.
    void BindField(QPlainTextEdit *memo, const QString &field);
    void BindField(TVxDBLookupEdit *lookup, const QString &field);

    bool Editing() const;
    // Whether a control of the row in edit differs from what it showed when the edit began.
    bool Modified() const;
    void Insert();
    bool EditCurrent();
    // Writes the row; false (after showing why) keeps the edit open.
    bool PostChanges();
    void CancelChanges();
    // Reads the rows again ("Aggiorna"); false after showing why it failed.
    bool Refresh();
    // Asks, then deletes the current row; false when refused or failed.
    bool DeleteCurrent();
    void Search(const QString &text);
    // Before the host closes: a pending edit is saved, dropped or kept (false) on the
    // user's answer.
    bool CanClose();

    QLineEdit *edSearch() const { return m_search; }

protected:
    // The derived frame's check of the row about to be written: empty when it may be
    // written, else the office-facing text of what is missing. Caught here, a missing value
    // is named in plain words instead of the driver's constraint error.
    virtual QString CheckBeforePost() const { return {}; }

    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Binding
    {
        QPointer<QWidget> control;
        QString field;
        QVariant defaultValue;
    };

    // The frame's own checks of the row in edit: empty when it may be written.
    QString checkRow(QWidget **offending) const;
    QString fieldCaption(const Binding &binding) const;
    void applyMaxLengths();
    QList<QVariant> controlValues() const;
    void focusFirstControl();
    void openCurrentRow();
    void cancelAsking();
    void loadControls(bool fromDefaults);
    void setControlsEditable(bool editable);
    void updateActions();
    QVariant controlValue(const Binding &binding) const;
    void setControlValue(const Binding &binding, const QVariant &value);

    QPointer<TVxQueryCollection> m_collection;
    QStackedWidget *m_pages;
    QWidget *m_listPage;
    QWidget *m_detail;
    QLineEdit *m_search;
    QList<Binding> m_bindings;
    QList<QVariant> m_valuesAtEditStart;
};
