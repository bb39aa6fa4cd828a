#include "shell/qelformcalls.h"

#include "platform/formregistry.h"
#include "shell/qelplaceholder.h"

#include <QWidget>

#include <memory>

const QList<QelFormContract> &qelFormContracts()
{
    static const QList<QelFormContract> contracts = {
        {"TfmqelCompGiudizioMedie", qobject_interface_iid<QelJudgmentModeForm *>()},
        {"TfmqevCarCls", qobject_interface_iid<QelContextForm *>()},
        {"TfmqevCarSng", qobject_interface_iid<QelContextForm *>()},
        {"TfmqelSelectFaseRecupero", qobject_interface_iid<QelMakeupPhaseChooser *>()},
        {"TfmqelDocReceiveRecuperiWeb", qobject_interface_iid<QelMakeupPhaseForm *>()},
        {"TfmzelClsMatCmp", qobject_interface_iid<QelDefaultSessionForm *>()},
    };
    return contracts;
}

QStringList qelBrokenFormContracts()
{
    QStringList broken;
    for (const QelFormContract &contract : qelFormContracts()) {
        const QString className = QString::fromLatin1(contract.formClass);
        if (!FormRegistry::isRegistered(className))
            continue;
        std::unique_ptr<QWidget> window(FormRegistry::create(className, nullptr));
        if (!window || qobject_cast<TfmqelNonDisponibile *>(window.get()))
            continue;
        if (!window->qt_metacast(contract.iid))
            broken << className + QStringLiteral(": ") + QString::fromLatin1(contract.iid);
    }
    return broken;
}
