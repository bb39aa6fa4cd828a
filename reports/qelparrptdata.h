#pragma once

#include "platform/enumvalues.h"

#include <QList>
#include <QString>

// What the print settings offer, read from the database, and the outcome list as the report
// parameter file holds it.
namespace QelPrintSettingsData {

// Every component-scale that some class subject of the session uses, once, as
// "component-scale", in the components' order. None for session 0.
TVxEnumItems SessionComponents(int iAnsSesDwgId);

// The final positions not deleted, with their long description.
TVxEnumItems FinalPositions();

// The outcome ids of "12;15;": each id is ended by ";", so text after the last ";" is not an
// id yet. An entry that is not a number (written by hand) is skipped.
QList<int> OutcomeIds(const QString &stored);
// The ids each followed by ";", as the boards read them.
QString OutcomeText(const QList<int> &ids);

} // namespace QelPrintSettingsData
