#pragma once

// TSQLClientDataSet: an in-memory dataset opened from a select with named parameters, the way
// every grade frame reads its rows.
//
//   TSQLClientDataSet scd;                       // on qqoVxGlobConn() unless setConnection
//   scd.setCommandText("SELECT Vot.iVotId, ... WHERE Vot.iSitId = :iSitId");
//   scd.Params().setValue("iSitId", sit);        // names as in the text, any case
//   scd.Open();                                  // every row read; the cursor on the first
//   ... the TClientDataSet operations (FieldByName, Next, Locate, ...) ...
//   scd.Close();
//
// Inside a TVxTransaction running on the connection the select runs in it, prepared once for
// the transaction, and sees the caller's rows not yet committed; otherwise in a transaction of
// its own, ended once every row is read. A missing parameter, a statement the database refuses
// or a row it cannot deliver raises EVxException with the driver's text and leaves the dataset
// closed; the caller's transaction stays as it was.

#include "platform/clientdataset.h"
#include "platform/sqlparams.h"

#include <QSqlDatabase>
#include <QString>

class TSQLClientDataSet : public TClientDataSet
{
public:
    void setConnection(const QSqlDatabase &db) { m_connectionName = db.connectionName(); }
    QSqlDatabase connection() const;

    QString CommandText() const { return m_commandText; }
    void setCommandText(const QString &sql) { m_commandText = sql; }
    TVxFieldValues &Params() { return m_params; }
    const TVxFieldValues &Params() const { return m_params; }

    void Open();

private:
    QString m_connectionName;
    QString m_commandText;
    TVxFieldValues m_params;
};
