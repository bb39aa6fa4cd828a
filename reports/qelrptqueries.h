#pragma once

// The statements of the report data module: what the stored templates read by query name and
// column name. The output names are a contract with those templates; every parameter is an
// integer, bound, never pasted into a text.

#include "reports/qelrptpupilreads.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// A detail reopened at every pupil of its master, read within a report run for many pupils at
// once (qelrptpupilreads.h): its own statement with the pupil's condition over the run's keys,
// the key and the filters as its last columns (BatchKey, BatchFilter1...), the key first in its
// order; each open then keeps the rows of its key whose filter columns hold its values.
struct QelRptBatch
{
    QString sql; // empty: the query reads its own rows at every open
    QString key; // the parameter of the pupil
    QelPupilKey kind = QelPupilKey::Situation;
    QStringList filters; // parameters read back as columns
};

struct QelRptQueryText
{
    QString name; // the query component
    QString sql;
    // Declared as integers in this order, with the value they start from (null for most).
    QList<QPair<QString, QVariant>> params;
    QelRptBatch batch;
};

// Every query PreparaDataSets prepares, in the order it prepares them.
const QList<QelRptQueryText> &qelRptQueryTexts();

// The school-year ids of a class's third to last course year when the chosen year is the
// last: course year 5 with the chosen year Y gives Y-2, Y-1, Y; none below course year 3.
// School-year ids are consecutive.
QList<int> ListaAnniCorso(int annoCorso, int selAnsId);

// The school years with ids from :iAnsIdPrimo to :iAnsIdUltimo, as qquClsAnsCrs lists them.
QString qelClsAnsCrsSql();
