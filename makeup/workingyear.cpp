#include "makeup/workingyear.h"

#include "platform/connection.h"
#include "platform/globalvars.h"

QSqlDatabase makeupConnection()
{
    return qqoVxGlobConn();
}

int makeupWorkingYear()
{
    bool ok = false;
    const int year =
        xgvmGlobalVar.GetValues(QStringLiteral("VXUP_AnsId")).toString().trimmed().toInt(&ok);
    return ok ? year : 0;
}

EVxException makeupDbError(const QSqlError &error)
{
    return EVxException(
        QStringLiteral("Errore nella lettura dei recuperi.\r\r%1").arg(error.text()));
}
