#pragma once

// Dates in the suite's own notation, the one the office picks for the print date in the
// parameter dialog ("dd/mm/yyyy", "dddd d mmmm yyyy"). It is not Qt's: there "mm" is minutes,
// here it is the month and "nn" the minutes.
//
//   d  dd      day of the month: 9, 09          m  mm      month: 9, 09
//   ddd dddd   day name: mar, martedì           mmm mmmm   month name: set, settembre
//   yy yyyy    year: 08, 2008                   h  hh      hour, 0 to 23: 7, 07
//   n  nn      minute: 5, 05                    s  ss      second: 5, 05
//   "text" or 'text' prints as it stands, and so does any other character.
//
//   FormatDateTime("dddd d mmmm yyyy", QDateTime(QDate(2008, 9, 16), QTime()))
//       // "martedì 16 settembre 2008"
//
// Letters count in either case; a longer run reads as the longest form of its letter ("ddddd"
// as "dddd", "yyy" as "yyyy"). Names are Italian. An empty format is "dd/mm/yyyy".

#include <QDateTime>
#include <QString>

QString FormatDateTime(const QString &format, const QDateTime &value);
