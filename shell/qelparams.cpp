#include "shell/qelparams.h"

#include "platform/connection.h"
#include "platform/vxexception.h"

#include <QComboBox>
#include <QSqlError>
#include <QSqlQuery>

TdmqelParams *dmqelParams = nullptr;

TdmqelParams::TdmqelParams(QObject *owner)
    : QObject(owner)
{
    setObjectName(QStringLiteral("dmqelParams"));
}

TdmqelParams::~TdmqelParams()
{
    if (dmqelParams == this)
        dmqelParams = nullptr;
}

void TdmqelParams::loadSessions(QComboBox *box, int iDwgId, int iAnsId)
{
    if (!box)
        return;
    box->clear();
    if (iDwgId <= 0 || iAnsId <= 0)
        return;
    QSqlQuery query(qqoVxGlobConn());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral(
            "SELECT TASD.iAnsSesDwgId, TSes.sSesDesc FROM TAnsSesDwg TASD "
            "INNER JOIN TSes_Sessione TSes ON (TSes.iSesId = TASD.iSesId) "
            "WHERE TASD.iDwgId = :iDwgId AND TASD.iAnsId = :iAnsId "
            "ORDER BY TASD.iAnsSesDwgOrdine")))
        throw EVxException(query.lastError().text());
    query.bindValue(QStringLiteral(":iDwgId"), iDwgId);
    query.bindValue(QStringLiteral(":iAnsId"), iAnsId);
    if (!query.exec())
        throw EVxException(query.lastError().text());
    while (query.next())
        box->addItem(query.value(1).toString().trimmed(), query.value(0).toInt());
}

void runParameterDialog(TVxParamManager *manager)
{
    Q_UNUSED(manager);
}
