#pragma once

// Small query helpers for the database tests: prepare, bind, run, and report the driver's
// error through GoogleTest instead of failing silently.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <gtest/gtest.h>

namespace sqlcheck {

// Runs a statement; returns the driver's error, or an empty string on success.
inline QString tryExec(QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        return query.lastError().text();
    for (int i = 0; i < binds.size(); ++i)
        query.bindValue(i, binds[i]);
    if (!query.exec())
        return query.lastError().text();
    return {};
}

inline void exec(QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    const QString error = tryExec(db, sql, binds);
    EXPECT_TRUE(error.isEmpty()) << sql.toStdString() << "\n" << error.toStdString();
}

// Every row of a query, each as a list of values.
inline QList<QVariantList> rows(QSqlDatabase &db, const QString &sql,
                                const QVariantList &binds = {})
{
    QList<QVariantList> result;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        ADD_FAILURE() << sql.toStdString() << "\n" << query.lastError().text().toStdString();
        return result;
    }
    for (int i = 0; i < binds.size(); ++i)
        query.bindValue(i, binds[i]);
    if (!query.exec()) {
        ADD_FAILURE() << sql.toStdString() << "\n" << query.lastError().text().toStdString();
        return result;
    }
    while (query.next()) {
        QVariantList row;
        for (int c = 0; c < query.record().count(); ++c)
            row << query.value(c);
        result << row;
    }
    return result;
}

// The first column of the first row (an invalid value when there is no row).
inline QVariant scalar(QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    const QList<QVariantList> r = rows(db, sql, binds);
    return r.isEmpty() ? QVariant() : r.first().value(0);
}

inline int count(QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    return scalar(db, sql, binds).toInt();
}

// The values of the first column.
inline QVariantList column(QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    QVariantList values;
    for (const QVariantList &row : rows(db, sql, binds))
        values << row.value(0);
    return values;
}

} // namespace sqlcheck
