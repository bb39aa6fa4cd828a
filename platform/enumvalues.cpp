#include "platform/enumvalues.h"

#include "platform/querycollection.h"

#include <QComboBox>
#include <QHash>
#include <QListWidget>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTreeWidget>

namespace {

QString rightTrimmed(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    text.truncate(end);
    return text;
}

QString asText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

TVxEnumItems loadItems(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &params,
                       bool withDetail)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    execBound(query, sql, params);
    TVxEnumItems items;
    while (fetchNext(query)) {
        items.append({rightTrimmed(asText(query.value(1))), query.value(0).toInt(),
                      withDetail ? rightTrimmed(asText(query.value(2))) : QString()});
    }
    return items;
}

} // namespace

TVxEnumItems LoadEnumItems(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &params)
{
    return loadItems(db, sql, params, false);
}

TVxEnumItems LoadEnumItemsWithDetail(const QSqlDatabase &db, const QString &sql,
                                     const TVxFieldValues &params)
{
    return loadItems(db, sql, params, true);
}

void LoadEnumValues(const QSqlDatabase &db, TVxEnumItems &items, const QString &sql,
                    const TVxFieldValues &params)
{
    items = LoadEnumItems(db, sql, params);
}

void LoadEnumValues(const QSqlDatabase &db, QComboBox *items, const QString &sql,
                    const TVxFieldValues &params)
{
    const TVxEnumItems loaded = LoadEnumItems(db, sql, params);
    items->clear();
    for (const TVxEnumItem &item : loaded)
        items->addItem(item.text, item.id);
}

void LoadEnumValues(const QSqlDatabase &db, QListWidget *items, const QString &sql,
                    const TVxFieldValues &params)
{
    const TVxEnumItems loaded = LoadEnumItems(db, sql, params);
    items->clear();
    for (const TVxEnumItem &item : loaded) {
        auto *entry = new QListWidgetItem(item.text, items);
        entry->setData(Qt::UserRole, item.id);
    }
}

int enumItemId(const QComboBox *items, int index)
{
    if (index < 0 || index >= items->count())
        return 0;
    return items->itemData(index).toInt();
}

void BuildTree(QTreeWidget *tree, const QList<QVariantList> &rows)
{
    tree->clear();
    // Children of each node by id, so that a level is found without scanning its siblings.
    QHash<QTreeWidgetItem *, QHash<int, QTreeWidgetItem *>> children;
    for (const QVariantList &row : rows) {
        QTreeWidgetItem *parent = nullptr;
        for (qsizetype c = 0; c + 1 < row.size(); c += 2) {
            if (row[c].isNull())
                break;
            const int id = row[c].toInt();
            QHash<int, QTreeWidgetItem *> &level = children[parent];
            QTreeWidgetItem *node = level.value(id);
            if (!node) {
                node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
                node->setText(0, rightTrimmed(asText(row[c + 1])));
                node->setData(0, Qt::UserRole, id);
                level.insert(id, node);
            }
            parent = node;
        }
    }
}

void BuildTree(QTreeWidget *tree, QSqlQuery &query)
{
    QList<QVariantList> rows;
    const int columns = query.record().count();
    while (fetchNext(query)) {
        QVariantList row;
        for (int c = 0; c < columns; ++c)
            row << query.value(c);
        rows << row;
    }
    BuildTree(tree, rows);
}

void BuildTree(QTreeWidget *tree, const TVxQueryCollection &collection)
{
    QList<QVariantList> rows;
    for (int r = 0; r < collection.RecordCount(); ++r) {
        QVariantList row;
        for (int c = 0; c < collection.FieldCount(); ++c)
            row << collection.Value(r, c);
        rows << row;
    }
    BuildTree(tree, rows);
}
