#pragma once

// The statements of the report data module: what the stored templates read by query name and
// column name. The output names are a contract with those templates; every parameter is an
// integer, bound, never pasted into a text.

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

struct QelRptQueryText
{
    QString name; // the query component
    QString sql;
    // Declared as integers in this order, with the value they start from (null for most).
    QList<QPair<QString, QVariant>> params;
};

// Every query PreparaDataSets prepares, in the order it prepares them.
const QList<QelRptQueryText> &qelRptQueryTexts();

// The school-year ids of a class's third to last course year when the chosen year is the
// last: course year 5 with the chosen year Y gives Y-2, Y-1, Y; none below course year 3.
// School-year ids are consecutive.
QList<int> ListaAnniCorso(int annoCorso, int selAnsId);

// The school years with ids from :iAnsIdPrimo to :iAnsIdUltimo, as qquClsAnsCrs lists them.
QString qelClsAnsCrsSql();
