#include "shell/qelstartup.h"

#include "platform/messagedlg.h"
#include "platform/quitrequest.h"
#include "shell/qelactivations.h"
#include "shell/qeldatasets.h"
#include "shell/qelduplicatecheck.h"
#include "shell/qelmain.h"
#include "shell/qelparams.h"
#include "shell/qelpargen.h"
#include "shell/qelplaceholder.h"

#include <QApplication>
#include <QTimer>

QelStartupHooks &qelStartupHooks()
{
    static QelStartupHooks hooks;
    return hooks;
}

void registerAllForms()
{
    for (const auto &registerPart : std::as_const(qelStartupHooks().registerForms))
        registerPart();
    registerShellForms();
}

TavrinObjects::TavrinObjects()
{
    registerAllForms();
    m_dataSets = std::make_unique<TdmqelDataSets>();
    dmqelDataSets = m_dataSets.get();
    m_order << QStringLiteral("TdmqelDataSets");
    m_params = std::make_unique<TdmqelParams>();
    dmqelParams = m_params.get();
    m_order << QStringLiteral("TdmqelParams");
    m_activations = std::make_unique<TdmqelActivations>();
    dmqelActivations = m_activations.get();
    m_order << QStringLiteral("TdmqelActivations");
    m_parGen = std::make_unique<TdmqelParGen>();
    dmqelParGen = m_parGen.get();
    m_order << QStringLiteral("TdmqelParGen");
    m_main = std::make_unique<TfmqelMain>();
    fmqelMain = m_main.get();
    m_order << QStringLiteral("TfmqelMain");
    if (qelStartupHooks().createExportModule) {
        m_exportModule.reset(qelStartupHooks().createExportModule(nullptr));
        m_order << QStringLiteral("TdmExportAlu");
    }
    if (qelStartupHooks().createDuplicateCheck) {
        m_duplicateCheck.reset(qelStartupHooks().createDuplicateCheck(nullptr));
        setQelDuplicateCheck(dynamic_cast<QelDuplicateCheck *>(m_duplicateCheck.get()));
        m_order << QString::fromLatin1(m_duplicateCheck->metaObject()->className());
    }
}

TavrinObjects::~TavrinObjects()
{
    setQelDuplicateCheck(nullptr);
    m_duplicateCheck.reset();
    m_exportModule.reset();
    m_main.reset();
    m_parGen.reset();
    m_activations.reset();
    m_params.reset();
    m_dataSets.reset();
}

void prepareTavrinApplication()
{
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    installItalianLocale();
}

int runTavrin()
{
    prepareTavrinApplication();
    TavrinObjects objects;
    TfmqelMain *main = objects.mainWindow();
    main->ShowOnStartScreen();
    closeOnQuitRequest(main);
    // Normally the window system activates the window; without a window manager it may not,
    // and the first activation's work must run all the same.
    QTimer::singleShot(0, main, [main] { main->ensureFirstActivation(); });
    const int result = QApplication::exec();
    // A program that never reached its database ends with a failure code.
    return dmqelDataSets && dmqelDataSets->openCount() > 0 ? result : 1;
}
