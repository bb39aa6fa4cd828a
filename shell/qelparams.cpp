#include "shell/qelparams.h"

#include "platform/connection.h"
#include "platform/enumvalues.h"

#include <QComboBox>

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
    TVxFieldValues params;
    params.setValue(QStringLiteral("iDwgId"), iDwgId);
    params.setValue(QStringLiteral("iAnsId"), iAnsId);
    LoadEnumValues(qqoVxGlobConn(), box,
                   QStringLiteral("SELECT TASD.iAnsSesDwgId, TSes.sSesDesc FROM TAnsSesDwg TASD "
                                  "INNER JOIN TSes_Sessione TSes ON (TSes.iSesId = TASD.iSesId) "
                                  "WHERE TASD.iDwgId = :iDwgId AND TASD.iAnsId = :iAnsId "
                                  "ORDER BY TASD.iAnsSesDwgOrdine"),
                   params);
}

void runParameterDialog(TVxParamManager *manager)
{
    Q_UNUSED(manager);
}
