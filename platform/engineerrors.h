#pragma once

// The database engine's refusals that an office meets, told in the office's words, in one
// place: every statement the framework runs fails through here.
//
//   throw statementRefused(query.lastError(), values);
//
// Two offices at once: an update conflict (another office saved the same row since this work
// began) and a connection whose server went away become Italian messages; any other refusal
// keeps the engine's text.

#include "platform/vxexception.h"

class QSqlError;
class TVxFieldValues;

EVxException statementRefused(const QSqlError &error, const TVxFieldValues &values);

// The server went away under the connection (stopped, restarted, the network down), or the
// statement was made on an attachment that has since been replaced: the work of the running
// transaction is lost, and the connection must be opened again (VxReconnect).
bool isConnectionLost(const QSqlError &error);
EVxException connectionLostError();

// A write that waited for rows another office or program holds, longer than lockWaitTimeout():
// the question asked when the wait runs out (yes waits again) and the refusal after no.
QString lockWaitQuestion();
EVxException lockWaitRefused();

// An update or delete that found its row gone: another office deleted it since it was read.
EVxException rowGoneError();
