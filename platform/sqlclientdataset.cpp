#include "platform/sqlclientdataset.h"

#include "platform/connection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

QSqlDatabase TSQLClientDataSet::connection() const
{
    if (m_connectionName.isEmpty())
        return qqoVxGlobConn();
    return QSqlDatabase::database(m_connectionName, false);
}

void TSQLClientDataSet::Open()
{
    Close();
    const QSqlDatabase db = connection();
    if (TVxTransaction *running = TVxTransaction::runningOn(db)) {
        FillFromQuery(running->Exec(m_commandText, m_params));
        return;
    }
    TVxTransaction own(db);
    if (!own.StartTransaction())
        throw EVxException(own.lastError());
    FillFromQuery(own.Exec(m_commandText, m_params));
    try {
        own.Commit();
    } catch (const EVxException &) {
        Close();
        throw;
    }
}
