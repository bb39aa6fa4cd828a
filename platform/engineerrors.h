#pragma once

// The database engine's refusals that an office meets, told in the office's words, in one
// place: every statement the framework runs fails through here.
//
//   throw statementRefused(query.lastError(), values);
//
// An entry still used by other rows, a duplicate, a text longer than its column, a linked
// entry that is gone, and, with two offices at once, a change another office saved first (an
// update conflict) and a server gone away, become Italian messages with the engine's own text
// kept as the detail (EVxException::detail) for the technician; any other refusal is told in
// general words (EVxException::general), the engine's text again the detail.

#include "platform/vxexception.h"

class QSqlError;
class TVxFieldValues;

EVxException statementRefused(const QSqlError &error, const TVxFieldValues &values);

// The engine's own words of a failure, for the detail: without the driver's sentence that Qt
// adds in the program's language ("Errore di apertura del database"), which would run into them.
QString engineText(const QSqlError &error);

// The message of a text longer than its field may hold: the field as the office knows it
// (a caption, else the field's name) and the most characters it takes.
QString textTooLongMessage(const QString &field, int maxLength);

// The server went away under the connection (stopped, restarted, the network down), or the
// statement was made on an attachment that has since been replaced: the work of the running
// transaction is lost, and the connection must be opened again (VxReconnect).
bool isConnectionLost(const QSqlError &error);
EVxException connectionLostError(const QString &engineText = QString());

// A write that waited for rows another office or program holds, longer than lockWaitTimeout():
// the question asked when the wait runs out (yes waits again) and the refusal after no.
QString lockWaitQuestion();
EVxException lockWaitRefused();
bool isLockWaitRefused(const EVxException &e);

// An update or delete that found its row gone: another office deleted it since it was read.
EVxException rowGoneError();

// A change another office saved at the same moment (the engine's update conflict), and an
// entry refused because one with the same key is there already. A caller that knows what the
// refusal means for its own rows (a grade cell filled by two offices at once) tells them apart
// from the rest.
EVxException concurrentChangeError(const QString &engineText = QString());
bool isConcurrentChange(const EVxException &e);
bool isDuplicateEntry(const EVxException &e);

// Whether an exception is the office's message of a lost connection (connectionLostError):
// work that goes on value by value ends there, instead of failing once per remaining value.
bool isConnectionLost(const EVxException &e);

// The engine could not write its database file (the disk full, or gone read-only): no further
// statement would be written either. Told once, as the end of the work, like a lost connection.
EVxException databaseStorageError(const QString &engineText = QString());
bool isDatabaseStorageFailure(const EVxException &e);

// The failures after which work that goes on row by row must stop, rolled back whole: a lost
// connection, the database's disk, rows another office holds past the office's patience.
bool endsTheWork(const EVxException &e);
