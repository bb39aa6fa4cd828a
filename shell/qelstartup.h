#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class TdmqelActivations;
class TdmqelDataSets;
class TdmqelParGen;
class TdmqelParams;
class TfmqelMain;

// Subsystems built after the shell give their start-up objects and windows here
// (the program's main does it, so the shell depends on none of them).
struct QelStartupHooks
{
    // The pupil-export module, created sixth.
    std::function<QObject *(QObject *owner)> createExportModule;
    // The duplicate make-up check module, created seventh; it must also be a
    // QelDuplicateCheck.
    std::function<QObject *(QObject *owner)> createDuplicateCheck;
    // Each registers the windows of one part, before the placeholders fill the gaps.
    QList<std::function<void()>> registerForms;
};
QelStartupHooks &qelStartupHooks();

// The program's long-lived objects, created in their fixed order, each stored in its global:
// connection module, parameter module, command table, general parameters, main window,
// pupil-export module, duplicate make-up check. Freed in the reverse order.
class TavrinObjects
{
public:
    TavrinObjects();
    ~TavrinObjects();
    TavrinObjects(const TavrinObjects &) = delete;
    TavrinObjects &operator=(const TavrinObjects &) = delete;

    TfmqelMain *mainWindow() const { return m_main.get(); }
    // The class names of the objects, in the order they were created.
    QStringList creationOrder() const { return m_order; }

private:
    std::unique_ptr<TdmqelDataSets> m_dataSets;
    std::unique_ptr<TdmqelParams> m_params;
    std::unique_ptr<TdmqelActivations> m_activations;
    std::unique_ptr<TdmqelParGen> m_parGen;
    std::unique_ptr<TfmqelMain> m_main;
    std::unique_ptr<QObject> m_exportModule;
    std::unique_ptr<QObject> m_duplicateCheck;
    QStringList m_order;
};

// Registers every window of the shell and of the subsystems linked into the program, then the
// placeholder under every window class still missing. Safe to call more than once.
void registerAllForms();

// The application's name, and Italian whatever the system's locale; before the first window.
void prepareTavrinApplication();

// The program: the objects, the main window shown, the message loop until it closes.
int runTavrin();
