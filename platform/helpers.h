#pragma once

// Small helpers the whole program shares.
//
//   LongDir(path)            folder text ending with one "/" (backslashes accepted); "/" alone
//                            for an empty path, which callers treat as "no folder"
//   ShortDir(path)           the same folder without its trailing separator
//   PadL(text, ch, width)    text padded on the left with ch up to width characters
//   BoolToInt(b), IntToBool(i)   1/0, and non-zero is true
//   NullDate()               the null date (QDate()), what an empty date text gives
//   TKIENormalizeString(t)   a text made safe as one file or folder name
//   OneLine(text)            the text on one line: line breaks and runs of blanks one blank
//   CutLine(text)            a line of a message or a log cut at kMaxLineChars, with "…"
//   SizeText(bytes)          a size in the unit that shows it: "800 byte", "256 KB", "1,5 MB"
//   DurationText(ms)         a time in seconds, or whole minutes: "0,5 secondi", "5 minuti"
//   RoundTo(value, digits)   value rounded to a multiple of 10^digits (-2: hundredths), halves
//                            to the even neighbour
//   RoundHalfAway(v, digits) the same, halves away from zero, as a "0.00" format prints them
//   CountText(n, one, many)  "Selezionata 1 classe" / "Selezionate 3 classi": the text that
//                            agrees with n, its %1 replaced by n

#include <QDate>
#include <QString>

QString LongDir(const QString &path);
QString ShortDir(const QString &path);
QString PadL(const QString &text, QChar ch, int width);

inline int BoolToInt(bool value)
{
    return value ? 1 : 0;
}
inline bool IntToBool(int value)
{
    return value != 0;
}

inline QDate NullDate()
{
    return QDate();
}

QString TKIENormalizeString(const QString &text);
// For a log of one line per entry: the engine's messages run over several.
QString OneLine(const QString &text);
QString CountText(int count, const QString &one, const QString &many);

// A packet value quoted in a refusal may be megabytes long: no line the office reads is
// longer than this.
constexpr int kMaxLineChars = 300;
QString CutLine(const QString &text, int maxChars = kMaxLineChars);

QString SizeText(qint64 bytes);
QString DurationText(qint64 milliseconds);

// Rounds on the decimal value as written, not on its binary approximation: 7.45 is a half and
// goes to 7.4, though the nearest double lies just above it. Averages shown by grade entry and
// printed by the reports must agree to the last digit, so both round here.
double RoundTo(double value, int digits);
double RoundHalfAway(double value, int digits);
