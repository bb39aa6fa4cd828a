#pragma once

#include <QStringList>

// Italian names for the demo school's people.
const QStringList &demoMaleNames();
const QStringList &demoFemaleNames();
const QStringList &demoSurnames();
// The n-th name of the list, for people who need a name but no draw.
QString demoFirstName(bool female, int n);
