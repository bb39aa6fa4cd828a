#pragma once

// Lists of (text, id) pairs read from the database, and trees built from id/text columns.
//
//   LoadEnumValues(db, comboBox, sql [, params])   // items replaced: text = 2nd column,
//   LoadEnumValues(db, listWidget, sql [, params]) // id (Qt::UserRole) = 1st column as integer
//   LoadEnumValues(db, items, sql [, params])      // the same into a TVxEnumItems list
//   LoadEnumItemsWithDetail(db, sql [, params])    // and a 3rd column as each item's detail
//   enumItemId(comboBox, index)                    // an item's id, 0 when there is none
//   BuildTree(treeWidget, rows)                    // rows of (id1, text1, id2, text2, ...)
//   BuildTree(treeWidget, query)                   // the same from an executed query
//   BuildTree(treeWidget, collection)              // the same from an open query collection
//
// Parameters are bound by name (":iAnsId"); texts lose their trailing blanks (CHAR columns);
// a NULL id is 0. Columns beyond the second are ignored. A statement the database refuses
// raises EVxException with the driver's error, leaving the items as they were.

#include "platform/sqlparams.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

class QComboBox;
class QListWidget;
class QSqlQuery;
class QTreeWidget;
class TVxQueryCollection;

struct TVxEnumItem
{
    QString text;
    int id = 0;
    QString detail; // a list's second column (a short text); only LoadEnumItemsWithDetail
    bool operator==(const TVxEnumItem &) const = default;
};
using TVxEnumItems = QList<TVxEnumItem>;

TVxEnumItems LoadEnumItems(const QSqlDatabase &db, const QString &sql,
                           const TVxFieldValues &params = {});
// The same, with the third column (trailing blanks gone, NULL empty) as each item's detail.
TVxEnumItems LoadEnumItemsWithDetail(const QSqlDatabase &db, const QString &sql,
                                     const TVxFieldValues &params = {});
void LoadEnumValues(const QSqlDatabase &db, TVxEnumItems &items, const QString &sql,
                    const TVxFieldValues &params = {});
void LoadEnumValues(const QSqlDatabase &db, QComboBox *items, const QString &sql,
                    const TVxFieldValues &params = {});
void LoadEnumValues(const QSqlDatabase &db, QListWidget *items, const QString &sql,
                    const TVxFieldValues &params = {});
int enumItemId(const QComboBox *items, int index);

// One tree level per (id, text) pair of a row: rows sharing an id at a level share that node.
// A NULL id ends the row's path there. Each node keeps its id in Qt::UserRole of column 0.
void BuildTree(QTreeWidget *tree, const QList<QVariantList> &rows);
void BuildTree(QTreeWidget *tree, QSqlQuery &query);
void BuildTree(QTreeWidget *tree, const TVxQueryCollection &collection);
