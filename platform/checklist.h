#pragma once

// A list of check boxes (the suite's check list box) and its three tools.
//
//   AddCheckItem(list, "5A LICEO", 390052);   // an unchecked item keeping its id
//   AddCheckListTools(toolBar, list);         // "Seleziona tutto" (tbSelectAll), "&Annulla
//                                             // selezione" (tcUnselectAll), "&Inverti
//                                             // selezione" (tbInvert); in the list their keys
//                                             // Ctrl+A, Ctrl+Shift+A, Ctrl+I
//   CheckAll(list, true); InvertChecks(list); // what the tools do
//   CheckedItems(list), CheckedIds(list)      // the checked ones, in list order
//
// Every change of a check mark is told by the list's itemChanged, whoever made it.

#include <QList>
#include <QString>

class QListWidget;
class QListWidgetItem;
class QToolBar;

QListWidgetItem *AddCheckItem(QListWidget *list, const QString &text, int id);
void AddCheckListTools(QToolBar *toolBar, QListWidget *list);
void CheckAll(QListWidget *list, bool checked);
void InvertChecks(QListWidget *list);
QList<QListWidgetItem *> CheckedItems(const QListWidget *list);
QList<int> CheckedIds(const QListWidget *list);
// The id an item keeps.
int CheckItemId(const QListWidgetItem *item);
