#include "platform/dbgridframes.h"

#include "platform/engineerrors.h"
#include "platform/keyboardfocus.h"
#include "platform/messagedlg.h"
#include "platform/querycollection.h"
#include "platform/searchform.h"
#include "platform/vxexception.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

// Sorts and filters the grid's rows; the filter looks only at the columns shown.
class VxGridProxy : public QSortFilterProxyModel
{
public:
    // Rows sort by the stored values: a date shown as "08/12/2026" sorts by its day, not its text.
    explicit VxGridProxy(QObject *parent = nullptr) : QSortFilterProxyModel(parent)
    {
        setSortRole(Qt::EditRole);
    }
    QTableView *view = nullptr;
    QString text;
    // Fields the rows sort by in place of the sort column; the source column of a field.
    QStringList sortFields;
    std::function<int(const QString &field)> columnOf;
    // Found once per reading of the source: a sort compares many times.
    mutable QHash<QString, int> fieldColumns;

    QHash<int, Qt::Alignment> alignments;
    QHash<int, QString> titles;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            const auto found = titles.constFind(section);
            if (found != titles.constEnd())
                return *found;
        }
        return QSortFilterProxyModel::headerData(section, orientation, role);
    }

    void setText(const QString &value)
    {
        text = value.trimmed();
        invalidateFilter();
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::TextAlignmentRole) {
            const auto found = alignments.constFind(index.column());
            if (found != alignments.constEnd())
                return QVariant::fromValue(*found);
        }
        return QSortFilterProxyModel::data(index, role);
    }

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        if (sortFields.isEmpty())
            return QSortFilterProxyModel::lessThan(left, right);
        for (const QString &field : sortFields) {
            auto found = fieldColumns.constFind(field);
            if (found == fieldColumns.constEnd())
                found = fieldColumns.insert(field, columnOf(field));
            if (*found < 0)
                continue;
            const QModelIndex a = left.siblingAtColumn(*found);
            const QModelIndex b = right.siblingAtColumn(*found);
            if (QSortFilterProxyModel::lessThan(a, b))
                return true;
            if (QSortFilterProxyModel::lessThan(b, a))
                return false;
        }
        return false;
    }

    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        if (text.isEmpty())
            return true;
        const QAbstractItemModel *model = sourceModel();
        for (int column = 0; column < model->columnCount(parent); ++column) {
            if (view && view->isColumnHidden(column))
                continue;
            const QString value = model->index(row, column, parent).data().toString();
            if (value.contains(text, Qt::CaseInsensitive))
                return true;
        }
        return false;
    }
};

namespace {

class DrawCellDelegate : public QStyledItemDelegate
{
public:
    DrawCellDelegate(TfrVxDBROGrid *frame, QSortFilterProxyModel *proxy)
        : QStyledItemDelegate(frame), m_frame(frame), m_proxy(proxy)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        if (!m_frame->OnDrawCell) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        if (m_frame->OnDrawCell(painter, cell, m_proxy->mapToSource(index)))
            return;
        const QWidget *widget = cell.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    }

private:
    TfrVxDBROGrid *m_frame;
    QSortFilterProxyModel *m_proxy;
};

const char *const kEditorStyle =
    "QLineEdit:focus, QPlainTextEdit:focus, QCheckBox:focus { background: #ffff80; }";

} // namespace

TfrVxDBROGrid::TfrVxDBROGrid(QWidget *parent)
    : TfrVxBase(parent), m_grid(new TVxTableView), m_proxy(new VxGridProxy(this))
{
    m_grid->setObjectName(QStringLiteral("grGrid"));
    m_proxy->view = m_grid;
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setSortLocaleAware(true);
    m_grid->setModel(m_proxy);
    m_grid->setItemDelegate(new DrawCellDelegate(this, m_proxy));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setAlternatingRowColors(true);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_proxy->columnOf = [this](const QString &field) { return fieldColumn(field); };
    // Columns by field come back whenever the source is read anew: a reset forgets them.
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &TfrVxDBROGrid::applyColumns);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (m_sortIndexSet && !m_sortColumns.contains(shownPosition(column)))
            return;
        const Qt::SortOrder order =
            column == m_sortIndex && m_proxy->sortOrder() == Qt::AscendingOrder
                ? Qt::DescendingOrder
                : Qt::AscendingOrder;
        SetSortIndex(column, order);
    });
    m_grid->viewport()->installEventFilter(this);
    FrameLayout()->addWidget(m_grid, 1);
}

bool TfrVxDBROGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return TfrVxBase::eventFilter(watched, event);
}

void TfrVxDBROGrid::fitColumns()
{
    if (!m_source || m_designWidths.isEmpty())
        return;
    struct Column
    {
        int index, design, needed;
    };
    QList<Column> columns;
    int designed = 0;
    int neededTotal = 0;
    for (int column = 0; column < m_source->columnCount(); ++column) {
        if (m_grid->isColumnHidden(column))
            continue;
        // Never narrower than its title: a header reads whole.
        const int design = qMax(m_grid->horizontalHeader()->sectionSizeHint(column),
                                m_designWidths.value(column, m_grid->columnWidth(column)));
        // QTableView hides this behind protected; the item view's public one is the same.
        const int content =
            qMax(m_grid->horizontalHeader()->sectionSizeHint(column),
                 static_cast<const QAbstractItemView *>(m_grid)->sizeHintForColumn(column));
        columns.append({column, design, qMin(design, content)});
        designed += design;
        neededTotal += columns.last().needed;
    }
    // The room left beyond what the contents need is shared in proportion to what each column
    // was given beyond its contents.
    const int spare = m_grid->viewport()->width() - neededTotal;
    const int extraTotal = designed - neededTotal;
    for (const Column &c : std::as_const(columns)) {
        int width = c.design;
        if (spare < extraTotal)
            width = spare <= 0 ? c.needed
                               : c.needed + int(qint64(spare) * (c.design - c.needed) / extraTotal);
        m_grid->setColumnWidth(c.index, width);
    }
}

void TfrVxDBROGrid::SetDataSource(QAbstractItemModel *model)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = model;
    m_proxy->titles.clear();
    m_proxy->alignments.clear();
    m_proxy->fieldColumns.clear();
    if (model) {
        // Before the proxy sorts the new rows, which may bring other fields.
        const auto forget = [this] { m_proxy->fieldColumns.clear(); };
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, forget);
        connect(model, &QAbstractItemModel::headerDataChanged, this, forget);
    }
    m_proxy->setSourceModel(model);
    m_sortIndex = -1;
    m_designWidths.clear();
    if (model && model->rowCount() > 0)
        m_grid->selectRow(0);
}

QString TfrVxDBROGrid::fieldName(int column) const
{
    if (auto *collection = qobject_cast<TVxQueryCollection *>(m_source.data()))
        return collection->FieldName(column);
    return m_source->headerData(column, Qt::Horizontal).toString();
}

int TfrVxDBROGrid::fieldColumn(const QString &field) const
{
    for (int column = 0; m_source && column < m_source->columnCount(); ++column) {
        if (fieldName(column).compare(field, Qt::CaseInsensitive) == 0)
            return column;
    }
    return -1;
}

void TfrVxDBROGrid::HideAllColumns()
{
    if (!m_source)
        return;
    for (int column = 0; column < m_source->columnCount(); ++column)
        m_grid->setColumnHidden(column, true);
}

void TfrVxDBROGrid::ShowColumn(const QString &field, const QString &title, int width,
                               Qt::Alignment alignment)
{
    const int column = fieldColumn(field);
    if (column < 0)
        return;
    m_grid->setColumnHidden(column, false);
    // The title belongs to this grid; other views of the same data keep theirs.
    m_proxy->titles.insert(column, title);
    emit m_proxy->headerDataChanged(Qt::Horizontal, column, column);
    if (width > 0) {
        m_designWidths.insert(column, width);
        m_grid->setColumnWidth(column, width);
    }
    m_proxy->alignments.insert(column, alignment);
    fitColumns();
}

int TfrVxDBROGrid::ColumnCount() const
{
    if (!m_columns.isEmpty())
        return int(m_columns.size());
    int shown = 0;
    for (int column = 0; m_source && column < m_source->columnCount(); ++column)
        shown += m_grid->isColumnHidden(column) ? 0 : 1;
    return shown;
}

void TfrVxDBROGrid::ClearColumns()
{
    m_columns.clear();
    forgetColumnLooks();
    for (int column = 0; m_source && column < m_source->columnCount(); ++column)
        m_grid->setColumnHidden(column, false);
}

void TfrVxDBROGrid::AddColumn(const QString &field, const QString &title, int width)
{
    if (m_columns.isEmpty() && m_source) {
        QHeaderView *header = m_grid->horizontalHeader();
        for (int visual = 0; visual < header->count(); ++visual) {
            const int column = header->logicalIndex(visual);
            if (!m_grid->isColumnHidden(column))
                m_columns.append(Column{
                    fieldName(column),
                    m_proxy->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), -1});
        }
    }
    m_columns.append(Column{field, title, width});
    applyColumns();
}

void TfrVxDBROGrid::applyColumns()
{
    if (m_columns.isEmpty() || !m_source)
        return;
    // The source's columns may stand elsewhere now: titles and widths go by field again.
    forgetColumnLooks();
    for (int column = 0; column < m_source->columnCount(); ++column)
        m_grid->setColumnHidden(column, true);
    QHeaderView *header = m_grid->horizontalHeader();
    int place = 0;
    for (const Column &c : std::as_const(m_columns)) {
        const int column = fieldColumn(c.field);
        if (column < 0 || !m_grid->isColumnHidden(column))
            continue;
        ShowColumn(c.field, c.title, c.width);
        header->moveSection(header->visualIndex(column), place++);
    }
}

void TfrVxDBROGrid::forgetColumnLooks()
{
    m_proxy->titles.clear();
    m_proxy->alignments.clear();
    m_designWidths.clear();
}

int TfrVxDBROGrid::shownPosition(int column) const
{
    if (m_grid->isColumnHidden(column))
        return -1;
    const QHeaderView *header = m_grid->horizontalHeader();
    int position = 0;
    for (int visual = 0; visual < header->visualIndex(column); ++visual)
        position += m_grid->isColumnHidden(header->logicalIndex(visual)) ? 0 : 1;
    return position;
}

void TfrVxDBROGrid::ClearSortColumns()
{
    m_sortIndexSet = true;
    m_sortColumns.clear();
}

void TfrVxDBROGrid::AddSortColumn(int column, const QString &fields)
{
    m_sortIndexSet = true;
    m_sortColumns.insert(column, fields.split(QLatin1Char(';'), Qt::SkipEmptyParts));
}

void TfrVxDBROGrid::SetSortIndex(int column, Qt::SortOrder order)
{
    m_sortIndex = column;
    if (column < 0) {
        m_proxy->sortFields.clear();
        m_proxy->sort(-1);
        return;
    }
    m_proxy->sortFields =
        m_sortIndexSet ? m_sortColumns.value(shownPosition(column)) : QStringList();
    m_proxy->sort(column, order);
    m_grid->horizontalHeader()->setSortIndicatorShown(true);
    m_grid->horizontalHeader()->setSortIndicator(column, order);
}

void TfrVxDBROGrid::SetMultiSelect(bool on)
{
    m_grid->setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                                : QAbstractItemView::SingleSelection);
}

QList<int> TfrVxDBROGrid::SelectedSourceRows() const
{
    QList<int> visible;
    for (const QModelIndex &index : m_grid->selectionModel()->selectedRows())
        visible << index.row();
    std::sort(visible.begin(), visible.end());
    QList<int> rows;
    for (int row : std::as_const(visible))
        rows << SourceRowAt(row);
    return rows;
}

void TfrVxDBROGrid::SelectAllRows()
{
    m_grid->selectAll();
}

void TfrVxDBROGrid::ClearSelection()
{
    m_grid->clearSelection();
}

void TfrVxDBROGrid::InvertSelection()
{
    if (m_proxy->rowCount() == 0)
        return;
    const QItemSelection all(m_proxy->index(0, 0),
                             m_proxy->index(m_proxy->rowCount() - 1, m_proxy->columnCount() - 1));
    m_grid->selectionModel()->select(all, QItemSelectionModel::Toggle);
}

void TfrVxDBROGrid::SetFilterText(const QString &text)
{
    const int current = CurrentSourceRow();
    m_proxy->setText(text);
    SetCurrentSourceRow(current);
    if (CurrentSourceRow() < 0 && m_proxy->rowCount() > 0)
        m_grid->selectRow(0);
}

int TfrVxDBROGrid::VisibleRowCount() const
{
    return m_proxy->rowCount();
}

int TfrVxDBROGrid::CurrentSourceRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() ? m_proxy->mapToSource(current).row() : -1;
}

void TfrVxDBROGrid::SetCurrentSourceRow(int row)
{
    if (!m_source || row < 0 || row >= m_source->rowCount())
        return;
    const QModelIndex index = m_proxy->mapFromSource(m_source->index(row, 0));
    if (index.isValid())
        m_grid->selectRow(index.row());
}

int TfrVxDBROGrid::SourceRowAt(int visibleRow) const
{
    const QModelIndex index = m_proxy->index(visibleRow, 0);
    return index.isValid() ? m_proxy->mapToSource(index).row() : -1;
}

TVxDBLookupEdit::TVxDBLookupEdit(QWidget *parent)
    : QWidget(parent), m_text(new QLineEdit), m_button(new QToolButton)
{
    m_text->setObjectName(QStringLiteral("edLookupText"));
    m_text->setReadOnly(true);
    m_button->setObjectName(QStringLiteral("buLookup"));
    m_button->setIcon(VxImage(QStringLiteral("VXLOOKUP")));
    m_button->setToolTip(QStringLiteral("Cerca"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_button);
    setFocusProxy(m_text);
    connect(m_button, &QToolButton::clicked, this, [this] { ShowSearchForm(); });
}

void TVxDBLookupEdit::SetValue(const QVariant &key)
{
    m_value = key;
    m_text->clear();
    emit valueChanged(key);
    if (!key.isValid() || key.isNull() || ListSQL.isEmpty() || !Connection.isOpen())
        return;
    // The row of exactly this key, over the same select the search form uses. A failure is
    // raised: a blank would read as "no value chosen".
    TVxSearchQuery query(Connection, ListSQL);
    query.Run({}, {});
    const QList<QVariantList> rows = query.RunExact(KeyField, key);
    const int field = query.Fields().indexOf(ListField);
    if (!rows.isEmpty() && field >= 0)
        m_text->setText(rows.first().value(field).toString());
}

QString TVxDBLookupEdit::DisplayText() const
{
    return m_text->text();
}

void TVxDBLookupEdit::SetReadOnly(bool readOnly)
{
    m_button->setEnabled(!readOnly);
}

bool TVxDBLookupEdit::ShowSearchForm()
{
    bool chosen = false;
    RunShowingErrors([this, &chosen] {
        TfmVxSearch form(Connection, ListSQL, this);
        form.Prepare();
        if (OnShowSearchForm)
            OnShowSearchForm(&form);
        if (!form.Execute())
            return;
        chosen = true;
        SetValue(form.SelectedValue(KeyField));
    });
    return chosen;
}

TVxDBNumericEdit::TVxDBNumericEdit(QWidget *parent) : QLineEdit(parent)
{
    setValidator(new QIntValidator(this));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

TfrVxDBRWGrid::TfrVxDBRWGrid(QWidget *parent)
    : TfrVxDBROGrid(parent), m_pages(new QStackedWidget), m_listPage(new QWidget),
      m_detail(new QWidget), m_search(new QLineEdit)
{
    LoadDefaultImages(ilFrame(), {QStringLiteral("VXINSERT"), QStringLiteral("VXEDIT"),
                                  QStringLiteral("VXDELETE"), QStringLiteral("VXPOST"),
                                  QStringLiteral("VXCANCEL"), QStringLiteral("VXSEARCH"),
                                  QStringLiteral("VXREFRESH")});
    connect(AddFrameAction(QStringLiteral("acInsert"), QStringLiteral("Nuovo"), 0,
                           QStringLiteral("Inserisce una nuova riga")),
            &QAction::triggered, this, &TfrVxDBRWGrid::Insert);
    connect(AddFrameAction(QStringLiteral("acEdit"), QStringLiteral("Modifica"), 1,
                           QStringLiteral("Modifica la riga selezionata")),
            &QAction::triggered, this, &TfrVxDBRWGrid::EditCurrent);
    connect(AddFrameAction(QStringLiteral("acDelete"), QStringLiteral("Elimina"), 2,
                           QStringLiteral("Elimina la riga selezionata")),
            &QAction::triggered, this, &TfrVxDBRWGrid::DeleteCurrent);
    xoaCustom()->addSeparator();
    connect(AddFrameAction(QStringLiteral("acPost"), QStringLiteral("Salva"), 3,
                           QStringLiteral("Salva le modifiche")),
            &QAction::triggered, this, &TfrVxDBRWGrid::PostChanges);
    connect(AddFrameAction(QStringLiteral("acCancel"), QStringLiteral("Annulla"), 4,
                           QStringLiteral("Annulla le modifiche")),
            &QAction::triggered, this, &TfrVxDBRWGrid::CancelChanges);
    xoaCustom()->addSeparator();
    connect(AddFrameAction(QStringLiteral("acSearch"), QStringLiteral("Cerca"), 5,
                           QStringLiteral("Cerca nell'elenco")),
            &QAction::triggered, this, [this] {
                ShowListPage();
                m_search->setFocus();
                Search(m_search->text());
            });
    connect(AddFrameAction(QStringLiteral("acRefresh"), QStringLiteral("Aggiorna"), 6,
                           QStringLiteral("Rilegge i dati")),
            &QAction::triggered, this, &TfrVxDBRWGrid::Refresh);

    // The grid moves from the frame's body to the list page, under the search row.
    FrameLayout()->removeWidget(grGrid());
    m_pages->setObjectName(QStringLiteral("pcMain"));
    m_listPage->setObjectName(QStringLiteral("tsList"));
    m_detail->setObjectName(QStringLiteral("tsDetail"));
    m_detail->setStyleSheet(QString::fromLatin1(kEditorStyle));
    m_search->setObjectName(QStringLiteral("edSearch"));
    m_search->setPlaceholderText(QStringLiteral("Testo da cercare nell'elenco"));
    m_search->setClearButtonEnabled(true);
    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(4, 4, 4, 4);
    auto *label = new QLabel(QStringLiteral("C&erca:"));
    label->setBuddy(m_search);
    searchRow->addWidget(label);
    searchRow->addWidget(m_search, 1);
    auto *listLayout = new QVBoxLayout(m_listPage);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addLayout(searchRow);
    listLayout->addWidget(grGrid(), 1);
    m_pages->addWidget(m_listPage);
    m_pages->addWidget(m_detail);
    FrameLayout()->addWidget(m_pages, 1);
    connect(m_search, &QLineEdit::textChanged, this, &TfrVxDBRWGrid::Search);
    connect(grGrid(), &QTableView::doubleClicked, this, [this] { ShowDetailPage(); });
    updateActions();
}

void TfrVxDBRWGrid::keyPressEvent(QKeyEvent *event)
{
    // The controls leave these keys unused, so they reach the frame from whichever has focus.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->matches(QKeySequence::Save) && Editing()) {
        PostChanges();
    } else if (event->key() == Qt::Key_Escape && Editing()) {
        cancelAsking();
    } else if (enter && !Editing() && IsListPage() && CurrentSourceRow() >= 0) {
        openCurrentRow();
    } else {
        TfrVxDBROGrid::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TfrVxDBRWGrid::openCurrentRow()
{
    if (m_collection && m_collection->CanModify())
        EditCurrent();
    else
        ShowDetailPage();
}

void TfrVxDBRWGrid::cancelAsking()
{
    if (Modified() && VxMessageDlg(QStringLiteral("Annullare le modifiche alla riga?"),
                                   mtConfirmation, mbYesNo, 0, mrNo) != mrYes)
        return;
    CancelChanges();
}

bool TfrVxDBRWGrid::Refresh()
{
    if (!m_collection || Editing())
        return false;
    // The row chosen in the grid is the one to keep, whatever row the collection was on.
    m_collection->setRecNo(CurrentSourceRow());
    if (!RunShowingErrors([this] { m_collection->Refresh(); }))
        return false;
    // The collection stays on the same row (by key); the grid follows it, and the detail
    // page shows it again.
    SetCurrentSourceRow(m_collection->RecNo());
    loadControls(false);
    updateActions();
    return true;
}

void TfrVxDBRWGrid::SetCollection(TVxQueryCollection *collection)
{
    m_collection = collection;
    SetDataSource(collection);
    if (collection) {
        connect(grGrid()->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
            if (!Editing())
                loadControls(false);
            updateActions();
        });
        connect(collection, &QAbstractItemModel::modelReset, this, [this] {
            applyMaxLengths();
            if (!Editing())
                loadControls(false);
            updateActions();
        });
    }
    applyMaxLengths();
    updateActions();
}

void TfrVxDBRWGrid::applyMaxLengths()
{
    if (!m_collection || !m_collection->Active())
        return;
    RunShowingErrors([this] {
        for (const Binding &binding : std::as_const(m_bindings)) {
            auto *edit = qobject_cast<QLineEdit *>(binding.control.data());
            if (!edit || edit->validator())
                continue;
            const int length = m_collection->FieldMaxLength(binding.field);
            if (length > 0)
                edit->setMaxLength(length);
        }
    });
}

QString TfrVxDBRWGrid::fieldCaption(const Binding &binding) const
{
    QString caption;
    if (auto *check = qobject_cast<QCheckBox *>(binding.control.data())) {
        caption = check->text();
    } else {
        for (const QLabel *label : findChildren<QLabel *>()) {
            if (label->buddy() == binding.control) {
                caption = label->text();
                break;
            }
        }
    }
    caption.remove(QLatin1Char('&'));
    caption = caption.trimmed();
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption.isEmpty() ? binding.field : QStringLiteral("\"%1\"").arg(caption.trimmed());
}

namespace {

// A lookup's 0 is its "nothing chosen"; a number typed as 0 is a value.
bool isEmptyValue(const QWidget *control, const QVariant &value)
{
    if (value.isNull() || value.toString().trimmed().isEmpty())
        return true;
    return qobject_cast<const TVxDBLookupEdit *>(control) && value.toInt() == 0;
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    return a.isNull() == b.isNull() && a.toString() == b.toString();
}

} // namespace

QString TfrVxDBRWGrid::checkRow(QWidget **offending) const
{
    const Binding *firstToFill = nullptr;
    bool allEmpty = true;
    for (const Binding &binding : m_bindings) {
        if (!binding.control || qobject_cast<QCheckBox *>(binding.control.data()))
            continue;
        const QVariant value = controlValue(binding);
        if (!firstToFill)
            firstToFill = &binding;
        allEmpty = allEmpty && isEmptyValue(binding.control, value);
        const int length =
            value.typeId() == QMetaType::QString ? m_collection->FieldMaxLength(binding.field) : 0;
        if (length > 0 && value.toString().size() > length) {
            *offending = binding.control;
            return textTooLongMessage(fieldCaption(binding), length);
        }
    }
    if (firstToFill && allEmpty) {
        *offending = firstToFill->control;
        return QStringLiteral("La riga è vuota: compilare almeno il campo %1 prima di salvare.")
            .arg(fieldCaption(*firstToFill));
    }
    return {};
}

QList<QVariant> TfrVxDBRWGrid::controlValues() const
{
    QList<QVariant> values;
    for (const Binding &binding : m_bindings)
        values << (binding.control ? controlValue(binding) : QVariant());
    return values;
}

bool TfrVxDBRWGrid::Modified() const
{
    if (!Editing())
        return false;
    const QList<QVariant> now = controlValues();
    for (int i = 0; i < now.size() && i < m_valuesAtEditStart.size(); ++i) {
        if (!sameValue(now[i], m_valuesAtEditStart[i]))
            return true;
    }
    return false;
}

void TfrVxDBRWGrid::focusFirstControl()
{
    for (const Binding &binding : std::as_const(m_bindings)) {
        if (binding.control && binding.control->isEnabled()) {
            binding.control->setFocus();
            return;
        }
    }
}

void TfrVxDBRWGrid::ShowListPage()
{
    m_pages->setCurrentWidget(m_listPage);
}

void TfrVxDBRWGrid::ShowDetailPage()
{
    if (!Editing())
        loadControls(false);
    m_pages->setCurrentWidget(m_detail);
}

bool TfrVxDBRWGrid::IsListPage() const
{
    return m_pages->currentWidget() == m_listPage;
}

void TfrVxDBRWGrid::BindField(QLineEdit *edit, const QString &field, const QVariant &defaultValue)
{
    m_bindings.append({edit, field, defaultValue});
    edit->setReadOnly(!Editing());
    applyMaxLengths();
}

void TfrVxDBRWGrid::BindField(QCheckBox *check, const QString &field, bool defaultValue)
{
    m_bindings.append({check, field, defaultValue});
    check->setEnabled(Editing());
}

void TfrVxDBRWGrid::BindField(QPlainTextEdit *memo, const QString &field)
{
    m_bindings.append({memo, field, QVariant()});
    memo->setReadOnly(!Editing());
    // A form's text box is left by Tab, as every field is: a tab is no character of its text.
    memo->setTabChangesFocus(true);
}

void TfrVxDBRWGrid::BindField(TVxDBLookupEdit *lookup, const QString &field)
{
    if (m_collection && !lookup->Connection.isValid())
        lookup->Connection = m_collection->connection();
    m_bindings.append({lookup, field, lookup->DefaultValue});
    lookup->SetReadOnly(!Editing());
}

bool TfrVxDBRWGrid::Editing() const
{
    return m_collection && (m_collection->state() == TVxQueryCollection::dsInsert ||
                            m_collection->state() == TVxQueryCollection::dsEdit);
}

QVariant TfrVxDBRWGrid::controlValue(const Binding &binding) const
{
    if (auto *number = qobject_cast<TVxDBNumericEdit *>(binding.control.data())) {
        bool ok = false;
        const int value = number->text().trimmed().toInt(&ok);
        return ok ? QVariant(value) : QVariant();
    }
    if (auto *edit = qobject_cast<QLineEdit *>(binding.control.data())) {
        const QString text = edit->text().trimmed();
        // An empty edit is no value, as a data-aware edit leaves the field null.
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    if (auto *memo = qobject_cast<QPlainTextEdit *>(binding.control.data())) {
        // Line breaks are stored as CR LF, as the suite's other programs write and read them.
        QString text = memo->toPlainText();
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        return text.trimmed().isEmpty() ? QVariant() : QVariant(text);
    }
    if (auto *check = qobject_cast<QCheckBox *>(binding.control.data()))
        return check->isChecked() ? 1 : 0;
    if (auto *lookup = qobject_cast<TVxDBLookupEdit *>(binding.control.data()))
        return lookup->Value();
    return {};
}

void TfrVxDBRWGrid::setControlValue(const Binding &binding, const QVariant &value)
{
    if (auto *edit = qobject_cast<QLineEdit *>(binding.control.data()))
        edit->setText(value.isNull() ? QString() : value.toString().trimmed());
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(binding.control.data()))
        memo->setPlainText(value.isNull() ? QString() : value.toString());
    else if (auto *check = qobject_cast<QCheckBox *>(binding.control.data()))
        check->setChecked(value.toInt() != 0 || value.toString().trimmed() == QLatin1String("1"));
    else if (auto *lookup = qobject_cast<TVxDBLookupEdit *>(binding.control.data()))
        lookup->SetValue(value);
}

void TfrVxDBRWGrid::loadControls(bool fromDefaults)
{
    // Runs on row changes and resets: a control that cannot show its value says why once,
    // and the other controls are filled all the same.
    const int row = CurrentSourceRow();
    QString failure;
    for (const Binding &binding : std::as_const(m_bindings)) {
        if (!binding.control)
            continue;
        try {
            if (fromDefaults)
                setControlValue(binding, binding.defaultValue);
            else if (m_collection && row >= 0)
                setControlValue(binding, m_collection->Value(row, binding.field));
            else
                setControlValue(binding, QVariant());
        } catch (const EVxException &e) {
            if (failure.isEmpty())
                failure = e.message();
        }
    }
    if (!failure.isEmpty())
        VxMessageDlg(failure, mtError, mbOK);
}

void TfrVxDBRWGrid::setControlsEditable(bool editable)
{
    for (const Binding &binding : std::as_const(m_bindings)) {
        if (auto *edit = qobject_cast<QLineEdit *>(binding.control.data()))
            edit->setReadOnly(!editable);
        else if (auto *memo = qobject_cast<QPlainTextEdit *>(binding.control.data()))
            memo->setReadOnly(!editable);
        else if (auto *check = qobject_cast<QCheckBox *>(binding.control.data()))
            check->setEnabled(editable);
        else if (auto *lookup = qobject_cast<TVxDBLookupEdit *>(binding.control.data()))
            lookup->SetReadOnly(!editable);
    }
}

void TfrVxDBRWGrid::updateActions()
{
    const bool active = m_collection && m_collection->Active();
    const bool editing = Editing();
    const bool hasRow = active && CurrentSourceRow() >= 0;
    FrameAction(QStringLiteral("acInsert"))
        ->setEnabled(active && !editing && m_collection->CanInsert());
    FrameAction(QStringLiteral("acEdit"))
        ->setEnabled(hasRow && !editing && m_collection->CanModify());
    FrameAction(QStringLiteral("acDelete"))
        ->setEnabled(hasRow && !editing && m_collection->CanDelete());
    FrameAction(QStringLiteral("acPost"))->setEnabled(editing);
    FrameAction(QStringLiteral("acCancel"))->setEnabled(editing);
    FrameAction(QStringLiteral("acSearch"))->setEnabled(active && !editing);
    FrameAction(QStringLiteral("acRefresh"))->setEnabled(active && !editing);
    grGrid()->setEnabled(!editing);
    m_search->setEnabled(!editing);
}

void TfrVxDBRWGrid::Insert()
{
    if (!m_collection || Editing())
        return;
    if (!RunShowingErrors([this] { m_collection->Append(); }))
        return;
    loadControls(true);
    m_valuesAtEditStart = controlValues();
    setControlsEditable(true);
    m_pages->setCurrentWidget(m_detail);
    updateActions();
    focusFirstControl();
}

bool TfrVxDBRWGrid::EditCurrent()
{
    const int row = CurrentSourceRow();
    if (!m_collection || Editing() || row < 0)
        return false;
    if (!RunShowingErrors([this, row] {
            m_collection->setRecNo(row);
            m_collection->Edit();
        }))
        return false;
    loadControls(false);
    m_valuesAtEditStart = controlValues();
    setControlsEditable(true);
    m_pages->setCurrentWidget(m_detail);
    updateActions();
    focusFirstControl();
    return true;
}

bool TfrVxDBRWGrid::PostChanges()
{
    if (!Editing())
        return false;
    QWidget *offending = nullptr;
    QString refused;
    if (!RunShowingErrors([this, &refused, &offending] { refused = checkRow(&offending); }))
        return false;
    if (!refused.isEmpty()) {
        VxMessageDlg(refused, mtWarning, mbOK);
        if (offending)
            offending->setFocus();
        return false;
    }
    if (const QString missing = CheckBeforePost(); !missing.isEmpty()) {
        VxMessageDlg(missing, mtWarning, mbOK);
        return false;
    }
    // A failure leaves the edit open with what was typed, so the user can correct it.
    // An edit hands over only what the office changed: a control shows a field as it can (a
    // text trimmed, line breaks as CR LF), and an untouched field must not be written back
    // over another workstation's save.
    const bool inserting = m_collection->state() == TVxQueryCollection::dsInsert;
    if (!RunShowingErrors([this, inserting] {
            for (int i = 0; i < m_bindings.size(); ++i) {
                const Binding &binding = m_bindings[i];
                if (!binding.control)
                    continue;
                const QVariant value = controlValue(binding);
                if (inserting || !sameValue(value, m_valuesAtEditStart.value(i)))
                    m_collection->SetFieldValue(binding.field, value);
            }
            m_collection->Post();
        }))
        return false;
    setControlsEditable(false);
    ShowListPage();
    SetCurrentSourceRow(m_collection->RecNo());
    loadControls(false);
    updateActions();
    grGrid()->setFocus();
    return true;
}

void TfrVxDBRWGrid::CancelChanges()
{
    if (!Editing())
        return;
    m_collection->Cancel();
    setControlsEditable(false);
    ShowListPage();
    loadControls(false);
    updateActions();
    grGrid()->setFocus();
}

bool TfrVxDBRWGrid::DeleteCurrent()
{
    const int row = CurrentSourceRow();
    if (!m_collection || Editing() || row < 0)
        return false;
    if (VxMessageDlg(QStringLiteral("Eliminare la riga selezionata?"), mtConfirmation, mbYesNo, 0,
                     mrNo) != mrYes)
        return false;
    if (!RunShowingErrors([this, row] {
            m_collection->setRecNo(row);
            m_collection->Delete();
        }))
        return false;
    if (m_collection->RecordCount() > 0)
        SetCurrentSourceRow(qMin(row, m_collection->RecordCount() - 1));
    loadControls(false);
    updateActions();
    return true;
}

void TfrVxDBRWGrid::Search(const QString &text)
{
    if (m_search->text() != text)
        m_search->setText(text);
    SetFilterText(text);
    if (!Editing())
        loadControls(false);
    updateActions();
}

bool TfrVxDBRWGrid::CanClose()
{
    if (!Editing())
        return true;
    switch (VxMessageDlg(QStringLiteral("Salvare le modifiche?"), mtConfirmation, mbYesNoCancel, 0,
                         mrYes)) {
    case mrYes:
        return PostChanges();
    case mrNo:
        CancelChanges();
        return true;
    default:
        return false;
    }
}
