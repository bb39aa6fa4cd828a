#pragma once

#include <QString>

class QSqlDatabase;

// Fills a database that has the schema with the demo school. Deterministic: the same
// scale gives the same rows. Scale 10 makes a school ten times larger. Returns an empty
// string on success, else the failing step and the driver's error.
QString fillDemoSchool(QSqlDatabase &db, int scale);

// Creates the database file with the schema and the demo school, through a connection of that
// name (unique per thread). It is built without synchronous writes, which would cost most of
// the time; forcedWrites turns them on for the finished file (tests need none). Returns an
// empty string on success, else the failing step and the engine's error.
QString buildDemoDatabase(const QString &path, int scale, bool forcedWrites,
                          const QString &connectionName);

// Why a scale cannot make a demo school (class keys hold the section in three digits); empty
// when it can.
QString demoScaleError(int scale);
