#include "shell/qelparams.h"

#include "platform/dialogs.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/parammanager.h"
#include "shell/qeldatasets.h"

#include <QComboBox>

TdmqelParams *dmqelParams = nullptr;

namespace {

bool isParam(const TVxParamDef &param, const QString &name)
{
    return param.Name.compare(name, Qt::CaseInsensitive) == 0;
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
    const TVxEnumItems sessions =
        iDwgId > 0 && iAnsId > 0 ? TdmqelDataSets::YearSessions(iDwgId, iAnsId) : TVxEnumItems();
    box->clear();
    for (const TVxEnumItem &session : sessions)
        box->addItem(session.text, session.id);
}

void TdmqelParams::xpmVxuParamsAfterCreateCtrl(QWidget *control, TVxParamDef &param, bool &)
{
    auto *box = qobject_cast<QComboBox *>(control);
    if (!box)
        return;
    const bool institute = isParam(param, TVxWorkingContext::instituteKey());
    if (institute || isParam(param, TVxWorkingContext::schoolYearKey())) {
        (institute ? m_cbDwg : m_cbAns) = box;
        connect(box, &QComboBox::currentIndexChanged, this, &TdmqelParams::cbAnsChange);
    } else if (isParam(param, TVxWorkingContext::sessionKey())) {
        m_cbSes = box;
        box->setMinimumWidth(200);
        box->setMaximumWidth(200);
    }
}

void TdmqelParams::xpmVxuParamsFillListParam(QWidget *control, TVxParamDef &param, bool &doDefault)
{
    if (!isParam(param, TVxWorkingContext::sessionKey()))
        return;
    loadSessions(qobject_cast<QComboBox *>(control), TVxWorkingContext::institute(),
                 TVxWorkingContext::schoolYear());
    doDefault = false;
}

void TdmqelParams::cbAnsChange()
{
    // A slot of the dialog's combo boxes: a failed read is shown here, the dialog stays.
    RunShowingErrors([this] { loadSessions(m_cbSes, selectedId(m_cbDwg), selectedId(m_cbAns)); });
}

void TdmqelParams::xpmVxuParamsWriteParam(QWidget *control, TVxParamDef &param, bool &doDefault)
{
    if (!isParam(param, TVxWorkingContext::sessionKey()))
        return;
    const int id = selectedId(qobject_cast<QComboBox *>(control));
    param.Value = id != 0 ? QString::number(id) : QStringLiteral("0");
    doDefault = false;
}

void TdmqelParams::xpmVxuParamsReadParam(QWidget *control, TVxParamDef &param, bool &doDefault)
{
    if (!isParam(param, TVxWorkingContext::sessionKey()))
        return;
    doDefault = false;
    auto *box = qobject_cast<QComboBox *>(control);
    if (!box)
        return;
    box->setCurrentIndex(-1);
    // A stored value that is not a number selects nothing, as an unset one.
    const int stored = TVxWorkingContext::idOf(param.Value);
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
