#include "platform/transaction.h"

#include "platform/vxexception.h"

#include <QSet>
#include <QSqlError>

namespace {

// Connections with a running TVxTransaction, by connection name.
QSet<QString> &activeConnections()
{
    static QSet<QString> names;
    return names;
}

} // namespace

TVxTransaction::TVxTransaction(const QSqlDatabase &db, int id) : m_db(db), m_id(id) {}

TVxTransaction::~TVxTransaction()
{
    if (m_active)
        Rollback();
}

bool TVxTransaction::activeOn(const QSqlDatabase &db)
{
    return activeConnections().contains(db.connectionName());
}

bool TVxTransaction::StartTransaction()
{
    if (m_active || activeOn(m_db) || !m_db.isOpen())
        return false;
    if (!m_db.transaction()) {
        m_lastError = m_db.lastError().text();
        return false;
    }
    m_active = true;
    activeConnections().insert(m_db.connectionName());
    return true;
}

void TVxTransaction::Commit()
{
    if (!m_active)
        throw EVxException(QStringLiteral("Nessuna transazione da confermare."));
    const bool ok = m_db.commit();
    if (!ok) {
        m_lastError = m_db.lastError().text();
        // The driver drops the transaction after a failed commit; try to roll it back anyway so
        // that no half-written work can be committed later.
        m_db.rollback();
    }
    m_active = false;
    activeConnections().remove(m_db.connectionName());
    if (!ok)
        throw EVxException(QStringLiteral("Impossibile confermare le modifiche nel database.\r\r%1")
                               .arg(m_lastError));
}

bool TVxTransaction::Rollback()
{
    if (!m_active)
        return false;
    const bool ok = m_db.rollback();
    if (!ok)
        m_lastError = m_db.lastError().text();
    m_active = false;
    activeConnections().remove(m_db.connectionName());
    return ok;
}
