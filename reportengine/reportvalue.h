#pragma once

// The values of the report engine, their conversions and their display text, and the errors
// that a function library can tell apart.
//
// A value is a QVariant of one of six kinds (frValueKind): null (an invalid or null QVariant),
// integer (any integral type), float (double), text (QString; a text BLOB read as bytes is
// text in UTF-8), date (QDate, QDateTime or QTime) and boolean. The rules of each conversion
// are written down in reportengine/reportexpressions.md; in short:
//
//   frToInteger(v)   integer; float rounded half to even; text that reads as a number
//   frToFloat(v)     number; text with a dot or a comma as decimal separator
//   frToBoolean(v)   boolean; number not 0; null is false
//   frToDate(v)      date; text dd/MM/yyyy or yyyy-MM-dd
//   frDisplayText(v) the one text a value prints as, and its conversion to text
//   frRoundTo(v, d)  RoundTo (helpers.h) with the runtime's checks of its arguments
//
// A conversion that cannot be made raises EfrConversionError, an invalid rounding argument
// EfrRoundingError; the engine's other failures (and the database's) are EVxException. A
// library catches the first two by kind and lets the others end the report.
//
// The display text is written in the Italian locale whatever the desktop's: integers in
// decimal digits, floats in the shortest form with a comma and no thousands separator, dates
// dd/MM/yyyy, date-times with hh:mm:ss only when the time is not midnight, booleans "Vero" and
// "Falso", text as stored, null as the empty text.

#include "platform/vxexception.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

enum TfrValueKind { vkNull, vkInteger, vkFloat, vkText, vkDate, vkBoolean };

// A value that cannot be converted to the kind asked for.
class EfrConversionError : public EVxException
{
public:
    using EVxException::EVxException;
};

// A rounding asked with digits outside -37..37, of a value that is not finite, or whose
// result does not fit in a 64-bit integer of units of 10^digits.
class EfrRoundingError : public EVxException
{
public:
    using EVxException::EVxException;
};

// The engine's other failures: a malformed expression, an unknown name, a division by zero.
class EfrError : public EVxException
{
public:
    using EVxException::EVxException;
};

TfrValueKind frValueKind(const QVariant &value);

// A text that holds the page count where the layout cannot know it yet (TOTALPAGES while pages
// are still being made, alone or joined to other text): where its places are, so that the
// count goes there and never in place of a character of the data that looks the same. Text
// of its own kind; joined to text by frJoinText, it keeps its places.
struct TfrPageCountText
{
    QString Text;
    QList<qsizetype> At;
};
const TfrPageCountText *frPageCountText(const QVariant &value);
// a + b of two values one of which is text: the two texts joined.
QVariant frJoinText(const QVariant &a, const QVariant &b);

qint64 frToInteger(const QVariant &value);
double frToFloat(const QVariant &value);
bool frToBoolean(const QVariant &value);
QDate frToDate(const QVariant &value);
QString frDisplayText(const QVariant &value);

// Reads a number written with a dot or a comma as decimal separator (blanks around it
// allowed); false when the text is not one.
bool frParseNumber(const QString &text, QVariant *number);

double frRoundTo(double value, int digits);
