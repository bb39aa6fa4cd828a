#pragma once

// The column types of the client dataset and the one representation of each type's values,
// shared by the dataset, its locate and indexes, and the packet readers and writers.
//   normalizeFieldValue(type, value, &ok)  Integer qlonglong, String/Memo QString, Date
//        QDate, DateTime QDateTime, Float double, Blob QByteArray, Boolean bool; null (an
//        invalid QVariant) for null or blank text; ok false when the value does not convert
//   compareFieldValues(a, b)  -1/0/1 between normalised values of one type, nulls first
//   hashFieldValue(v)         agrees with compareFieldValues(a, b) == 0
//   parseFieldDate(text), parseFieldDateTime(text)  ISO or dd/MM/yyyy [hh:mm:ss]
//   fieldTypeName(type)       the Italian name for messages

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

enum TFieldType { ftInteger, ftString, ftMemo, ftDate, ftDateTime, ftFloat, ftBlob, ftBoolean };

QVariant normalizeFieldValue(TFieldType type, const QVariant &value, bool *ok);
int compareFieldValues(const QVariant &a, const QVariant &b);
size_t hashFieldValue(const QVariant &value);
QDate parseFieldDate(const QString &text);
QDateTime parseFieldDateTime(const QString &text);
QString fieldTypeName(TFieldType type);
