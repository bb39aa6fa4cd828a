#pragma once

// The database engine's refusals that an office meets, told in the office's words, in one
// place: every statement the framework runs fails through here.
//
//   throw statementRefused(query.lastError(), values);
//
// An entry still used by other rows, a duplicate, a text longer than its column and a linked
// entry that is gone become Italian messages with the engine's own text kept as the detail
// (EVxException::detail) for the technician; any other refusal keeps the engine's text as its
// message.

#include "platform/vxexception.h"

class QSqlError;
class TVxFieldValues;

EVxException statementRefused(const QSqlError &error, const TVxFieldValues &values);

// The message of a text longer than its field may hold: the field as the office knows it
// (a caption, else the field's name) and the most characters it takes.
QString textTooLongMessage(const QString &field, int maxLength);
