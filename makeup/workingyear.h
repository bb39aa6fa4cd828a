#pragma once

#include "platform/vxexception.h"

#include <QSqlDatabase>
#include <QSqlError>

// What the make-up check needs of the program's framework: the shared connection, the
// working school year and the office-facing form of a database error.

QSqlDatabase makeupConnection();

// VXUP_AnsId as an integer; 0 when unset, blank or not a number.
int makeupWorkingYear();

EVxException makeupDbError(const QSqlError &error);
