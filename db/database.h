#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;

// Creating the suite's database: Firebird can create a database only through its own API,
// the rest (schema, demo school) goes through the ordinary Qt connection.

// Creates an empty dialect-3 UTF8 database file. Returns an empty string on success,
// else the engine's error text.
QString createEmptyDatabase(const QString &path);

// Turns the database file's forced (synchronous) writes on or off; it must not be open
// elsewhere. A database being built, or one used by tests, needs no synchronous writes: they
// cost most of the time of writing. Returns an empty string on success, else the engine's
// error text.
QString setForcedWrites(const QString &path, bool on);

// Splits an isql-style script into statements, honouring "SET TERM" (procedure bodies
// contain semicolons), comments and quoted strings.
QStringList splitSqlScript(const QString &script);

// Runs every statement of the schema files (":/db/schema/*.sql", in name order), each
// committed. Returns an empty string on success, else the file, the statement and the
// driver's error.
QString applySchema(QSqlDatabase &db);

// Recomputes the selectivity of every index from the rows now stored. Firebird computes it only
// when an index is made (on the empty tables of a new schema) or when asked, and its optimizer
// trusts it: after a bulk load, stale statistics make it scan whole tables instead of following
// an index. A database restored from a backup has them fresh. Returns an empty string on
// success, else the index and the engine's error text.
QString updateIndexStatistics(QSqlDatabase &db);
