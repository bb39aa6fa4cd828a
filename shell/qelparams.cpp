#include "shell/qelparams.h"

#include "platform/connection.h"
#include "platform/dialogs.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/parammanager.h"
#include "shell/qelutil.h"

#include <QComboBox>

TdmqelParams *dmqelParams = nullptr;

namespace {

bool isParam(const TVxParamDef &param, const char *name)
{
    return param.Name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

int selectedId(const QComboBox *box)
{
    return box ? enumItemId(box, box->currentIndex()) : 0;
}

} // namespace

TdmqelParams::TdmqelParams(QObject *owner) : QObject(owner), xpmVxuParams(new TVxParamManager(this))
{
    setObjectName(QStringLiteral("dmqelParams"));
    xpmVxuParams->setObjectName(QStringLiteral("xpmVxuParams"));
    xpmVxuParams->ApplCodeList = {QStringLiteral("QEL=1.0"), QStringLiteral("VX=1.0")};
    xpmVxuParams->AfterCreateCtrl = [this](QWidget *c, TVxParamDef &p, bool &d) {
        xpmVxuParamsAfterCreateCtrl(c, p, d);
    };
    xpmVxuParams->FillListParam = [this](QWidget *c, TVxParamDef &p, bool &d) {
        xpmVxuParamsFillListParam(c, p, d);
    };
    xpmVxuParams->WriteParam = [this](QWidget *c, TVxParamDef &p, bool &d) {
        xpmVxuParamsWriteParam(c, p, d);
    };
    xpmVxuParams->ReadParam = [this](QWidget *c, TVxParamDef &p, bool &d) {
        xpmVxuParamsReadParam(c, p, d);
    };
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
    if (iDwgId <= 0 || iAnsId <= 0) {
        box->clear();
        return;
    }
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

void TdmqelParams::xpmVxuParamsAfterCreateCtrl(QWidget *control, TVxParamDef &param, bool &)
{
    auto *box = qobject_cast<QComboBox *>(control);
    if (!box)
        return;
    if (isParam(param, "VXUP_DwgId") || isParam(param, "VXUP_AnsId")) {
        (isParam(param, "VXUP_DwgId") ? m_cbDwg : m_cbAns) = box;
        connect(box, &QComboBox::currentIndexChanged, this, &TdmqelParams::cbAnsChange);
    } else if (isParam(param, "QELP_AnsSesDwgId")) {
        m_cbSes = box;
        box->setMinimumWidth(200);
        box->setMaximumWidth(200);
    }
}

void TdmqelParams::xpmVxuParamsFillListParam(QWidget *control, TVxParamDef &param, bool &doDefault)
{
    if (!isParam(param, "QELP_AnsSesDwgId"))
        return;
    loadSessions(qobject_cast<QComboBox *>(control), contextValue("VXUP_DwgId"),
                 contextValue("VXUP_AnsId"));
    doDefault = false;
}

void TdmqelParams::cbAnsChange()
{
    loadSessions(m_cbSes, selectedId(m_cbDwg), selectedId(m_cbAns));
}

void TdmqelParams::xpmVxuParamsWriteParam(QWidget *control, TVxParamDef &param, bool &doDefault)
{
    if (!isParam(param, "QELP_AnsSesDwgId"))
        return;
    const int id = selectedId(qobject_cast<QComboBox *>(control));
    param.Value = id != 0 ? QString::number(id) : QStringLiteral("0");
    doDefault = false;
}

void TdmqelParams::xpmVxuParamsReadParam(QWidget *control, TVxParamDef &param, bool &doDefault)
{
    if (!isParam(param, "QELP_AnsSesDwgId"))
        return;
    doDefault = false;
    auto *box = qobject_cast<QComboBox *>(control);
    if (!box)
        return;
    box->setCurrentIndex(-1);
    // A stored value that is not a number selects nothing, as an unset one.
    const int stored = contextInteger(param.Value);
    if (stored == 0)
        return;
    for (int i = 0; i < box->count(); ++i) {
        if (enumItemId(box, i) == stored) {
            box->setCurrentIndex(i);
            return;
        }
    }
}

void runParameterDialog(TVxParamManager *manager)
{
    if (manager)
        manager->Execute();
}
