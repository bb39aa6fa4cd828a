#pragma once

// What the command table calls on the windows of later parts of the program. A window
// implements the interface and names it in Q_INTERFACES; the command reaches it with
// qobject_cast, so that a renamed method fails to build instead of silently doing nothing.
// A placeholder window implements none and is not called.

#include <QList>
#include <QObject>
#include <QStringList>

// The judgment composition window (TfmqelCompGiudizioMedie): 0 composes, 1 deletes.
class QelJudgmentModeForm
{
public:
    virtual ~QelJudgmentModeForm() = default;
    virtual void SetModo(int modo) = 0;
};

// A grade-entry window that reloads its data after the working context changed.
class QelContextForm
{
public:
    virtual ~QelContextForm() = default;
    virtual void CaricaDati() = 0;
};

// The make-up phase chooser of the web collection (TfmqelSelectFaseRecupero): the phase
// chosen, 0 when none.
class QelMakeupPhaseChooser
{
public:
    virtual ~QelMakeupPhaseChooser() = default;
    virtual int GetFaseRecId() const = 0;
};

// The make-up web collection window, told the phase to collect.
class QelMakeupPhaseForm
{
public:
    virtual ~QelMakeupPhaseForm() = default;
    virtual void SetFaseRecId(int iFaseRecId) = 0;
};

// The session configuration window, opened on the working session.
class QelDefaultSessionForm
{
public:
    virtual ~QelDefaultSessionForm() = default;
    virtual void SetDefaultiAnsSesDwgId(int iAnsSesDwgId) = 0;
};

Q_DECLARE_INTERFACE(QelJudgmentModeForm, "it.vexto.tavrin.QelJudgmentModeForm")
Q_DECLARE_INTERFACE(QelContextForm, "it.vexto.tavrin.QelContextForm")
Q_DECLARE_INTERFACE(QelMakeupPhaseChooser, "it.vexto.tavrin.QelMakeupPhaseChooser")
Q_DECLARE_INTERFACE(QelMakeupPhaseForm, "it.vexto.tavrin.QelMakeupPhaseForm")
Q_DECLARE_INTERFACE(QelDefaultSessionForm, "it.vexto.tavrin.QelDefaultSessionForm")

// A window class the command table calls, and the interface it must implement.
struct QelFormContract
{
    const char *formClass;
    const char *iid;
};
const QList<QelFormContract> &qelFormContracts();

// The registered windows that do not implement what the command table calls on them, as
// "class: interface"; the placeholder of a window not in this version is exempt. Each
// registered window is created (and freed) to ask it.
QStringList qelBrokenFormContracts();
