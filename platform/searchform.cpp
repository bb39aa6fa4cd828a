#include "platform/searchform.h"

#include "platform/images.h"
#include "platform/keyboardfocus.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QLatin1String kWhere("##WHERE##");

bool isTextField(const QSqlField &field)
{
    const int id = field.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QByteArray;
}

// Field names go into the statement's text: only plain names of the select's own columns.
bool isPlainIdentifier(const QString &name)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z][A-Za-z0-9_$]*$"));
    return identifier.match(name).hasMatch();
}

// LIKE's wild cards in the typed text are meant literally.
QString likePattern(const QString &text)
{
    QString escaped;
    for (QChar c : text.trimmed().toUpper()) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace

TVxSearchQuery::TVxSearchQuery(const QSqlDatabase &db, const QString &select)
    : m_db(db), m_select(select)
{
}

QString TVxSearchQuery::Statement(const QStringList &fields, const QString &text,
                                  TVxFieldValues *binds) const
{
    QStringList terms;
    if (!text.trimmed().isEmpty()) {
        bool isNumber = false;
        const qlonglong number = text.trimmed().toLongLong(&isNumber);
        for (const QString &name : fields) {
            const int index = m_fields.indexOf(name);
            if (index < 0 || !isPlainIdentifier(name))
                continue;
            const QString parameter = QStringLiteral("vxSearch%1").arg(binds->size() + 1);
            if (isTextField(m_fields.field(index))) {
                terms << QStringLiteral("UPPER(%1) LIKE :%2 ESCAPE '\\'").arg(name, parameter);
                binds->setValue(parameter, likePattern(text));
            } else if (isNumber) {
                terms << QStringLiteral("%1 = :%2").arg(name, parameter);
                binds->setValue(parameter, number);
            }
        }
        // Nothing can match a text that no searched column can hold.
        if (terms.isEmpty())
            terms << QStringLiteral("1=0");
    }
    const QString condition =
        terms.isEmpty() ? QStringLiteral("1=1") : QStringLiteral("(%1)").arg(terms.join(" OR "));
    QString statement = m_select;
    statement.replace(kWhere, condition, Qt::CaseInsensitive);
    return statement;
}

QList<QVariantList> TVxSearchQuery::Run(const QStringList &fields, const QString &text)
{
    TVxFieldValues binds;
    const QString statement = Statement(fields, text, &binds);
    return execute(statement, binds);
}

QList<QVariantList> TVxSearchQuery::RunExact(const QString &field, const QVariant &value)
{
    const int index = m_fields.indexOf(field);
    if (index < 0 || !isPlainIdentifier(field) || value.isNull())
        return {};
    QVariant bound = value.toString().trimmed();
    if (!isTextField(m_fields.field(index))) {
        // A text that is no number cannot equal a numeric key; binding it would only make
        // the driver fail on the conversion.
        bool isNumber = false;
        bound = bound.toString().toLongLong(&isNumber);
        if (!isNumber)
            return {};
    }
    QString statement = m_select;
    statement.replace(kWhere, QStringLiteral("(%1 = :vxKey)").arg(field), Qt::CaseInsensitive);
    TVxFieldValues binds;
    binds.setValue(QStringLiteral("vxKey"), bound);
    return execute(statement, binds);
}

QList<QVariantList> TVxSearchQuery::execute(const QString &statement, const TVxFieldValues &binds)
{
    return VxExplain(QStringLiteral("Ricerca non riuscita:"),
                     [&] { return rowsOf(statement, binds); });
}

QList<QVariantList> TVxSearchQuery::rowsOf(const QString &statement, const TVxFieldValues &binds)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    execBound(query, statement, binds);
    m_fields = query.record();
    QList<QVariantList> rows;
    while (fetchNext(query)) {
        QVariantList row;
        for (int i = 0; i < m_fields.count(); ++i) {
            QVariant value = query.value(i);
            if (value.metaType().id() == QMetaType::QByteArray)
                value = QString::fromUtf8(value.toByteArray());
            if (value.metaType().id() == QMetaType::QString)
                value = value.toString().trimmed();
            row.append(value);
        }
        rows.append(row);
    }
    return rows;
}

TfmVxSearch::TfmVxSearch(const QSqlDatabase &db, const QString &select, QWidget *parent)
    : TfmVxOkCancDlg(parent), m_query(db, select), m_edit(new QLineEdit), m_grid(new TVxTableView),
      m_model(new QStandardItemModel(this))
{
    setObjectName(QStringLiteral("fmVxSearch"));
    setWindowTitle(QStringLiteral("Ricerca"));
    m_edit->setObjectName(QStringLiteral("edSearch"));
    m_edit->setPlaceholderText(QStringLiteral("Testo da cercare"));
    m_grid->setObjectName(QStringLiteral("grSearch"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    auto *find = new QToolButton;
    find->setObjectName(QStringLiteral("buSearch"));
    find->setIcon(VxImage(QStringLiteral("VXSEARCH")));
    find->setToolTip(QStringLiteral("Cerca"));
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("C&erca:"));
    label->setBuddy(m_edit);
    row->addWidget(label);
    row->addWidget(m_edit, 1);
    row->addWidget(find);
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);
    layout->addWidget(m_grid, 1);
    connect(find, &QToolButton::clicked, this, [this] { Search(m_edit->text()); });
    connect(m_edit, &QLineEdit::returnPressed, this, [this] { Search(m_edit->text()); });
    connect(m_grid, &QTableView::doubleClicked, this, [this] { done(mrOk); });
    resize(480, 400);
}

void TfmVxSearch::Prepare()
{
    if (m_prepared)
        return;
    m_rows = m_query.Run({}, {});
    const QSqlRecord fields = m_query.Fields();
    while (m_columns.size() < fields.count())
        m_columns.append(TVxSearchColumn{});
    m_prepared = true;
    applyColumns();
}

int TfmVxSearch::ListWidth() const
{
    // Before the form is first shown the list has no layout yet: it will take the form's
    // width less the margins.
    return m_grid->isVisible() ? m_grid->width() : width() - 24;
}

QStringList TfmVxSearch::searchedFields() const
{
    const QSqlRecord fields = m_query.Fields();
    QStringList indexed, visible;
    for (int i = 0; i < fields.count() && i < m_columns.size(); ++i) {
        if (!m_columns.at(i).Visible)
            continue;
        visible << fields.fieldName(i);
        if (m_columns.at(i).Indexed)
            indexed << fields.fieldName(i);
    }
    return indexed.isEmpty() ? visible : indexed;
}

void TfmVxSearch::Search(const QString &text)
{
    Prepare();
    if (!RunShowingErrors([&] { m_rows = m_query.Run(searchedFields(), text); }))
        m_rows.clear();
    applyColumns();
}

void TfmVxSearch::applyColumns()
{
    const QSqlRecord fields = m_query.Fields();
    m_model->clear();
    m_model->setColumnCount(fields.count());
    for (int i = 0; i < fields.count(); ++i) {
        const TVxSearchColumn column = i < m_columns.size() ? m_columns.at(i) : TVxSearchColumn{};
        m_model->setHeaderData(i, Qt::Horizontal,
                               column.Caption.isEmpty() ? fields.fieldName(i) : column.Caption);
    }
    for (const QVariantList &values : std::as_const(m_rows)) {
        QList<QStandardItem *> items;
        for (const QVariant &value : values)
            items << new QStandardItem(value.toString());
        m_model->appendRow(items);
    }
    for (int i = 0; i < fields.count(); ++i) {
        const TVxSearchColumn column = i < m_columns.size() ? m_columns.at(i) : TVxSearchColumn{};
        m_grid->setColumnHidden(i, !column.Visible);
        if (column.Width > 0)
            m_grid->setColumnWidth(i, column.Width);
    }
    if (!m_rows.isEmpty())
        SetCurrentRow(0);
}

int TfmVxSearch::RowCount() const
{
    return int(m_rows.size());
}

void TfmVxSearch::SetCurrentRow(int row)
{
    if (row >= 0 && row < RowCount())
        m_grid->selectRow(row);
}

QVariantList TfmVxSearch::SelectedRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid() || current.row() >= RowCount())
        return {};
    return m_rows.at(current.row());
}

QVariant TfmVxSearch::SelectedValue(const QString &field) const
{
    const QVariantList row = SelectedRow();
    const int index = m_query.Fields().indexOf(field.toUpper());
    if (row.isEmpty() || index < 0)
        return {};
    return row.at(index);
}

bool TfmVxSearch::Execute(const QString &initialText)
{
    Prepare();
    m_edit->setText(initialText);
    if (!initialText.isEmpty())
        Search(initialText);
    return ShowModal() == mrOk;
}

void TfmVxSearch::OkClick()
{
    if (SelectedRow().isEmpty()) {
        VxMessageDlg(QStringLiteral("Selezionare una riga dell'elenco."), mtInformation, mbOK);
        SetModalResult(mrNone);
    }
}
