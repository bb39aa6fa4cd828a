#pragma once

#include "platform/attivazioni.h"
#include "platform/outlookbar.h"
#include "shell/qelduplicatecheck.h"

#include <QDate>
#include <functional>

class QWidget;

// What the command table uses of the report subsystem. The report subsystem fills it when
// it is part of the program; until then the report commands open the placeholder.
struct QelReportHooks
{
    std::function<void()> prepareDataSets;         // PreparaDataSets of the report module
    std::function<void(int number)> previewReport; // PreviewReportFromVxDB(number, 4)
    std::function<void(const QDate &)> setDataStampe;
    // Shows the report tree of the report command.
    std::function<void(TVxAttReport *command)> showReports;
    // Creates the report data module for the main window (owner) at its first activation.
    std::function<QObject *(QWidget *owner)> createReportModule;
    // Hooks the report component's events to the module (filters, end, variables, refresh).
    std::function<void(QObject *module)> bindReportComponent;
};
QelReportHooks &qelReportHooks();

// The program's command table: every page and entry of the main window's command bar, and
// the checks that run before a command opens its window.
class TdmqelActivations : public TdmVxAttivazioni
{
    Q_OBJECT
public:
    explicit TdmqelActivations(QObject *owner = nullptr);
    ~TdmqelActivations() override;

    // Subsystems that bring commands of their own (grade entry) add them here
    // before the table is created; each runs at the end of the table's creation.
    using Contributor = std::function<void(TdmqelActivations *table)>;
    static void addContributor(const Contributor &contributor);

    TVxApgPage *page(const QString &name) const { return ItemAs<TVxApgPage>(name); }

    // The working year and session checks with their message; at most one message.
    static bool RequireSchoolYear();
    static bool RequireSession();

    // Before a send: true when there are no duplicate make-up records, or when the office
    // corrected them all in the correction dialog.
    bool RequireNoDuplicateRecuperi();
    // Before a collection: what is duplicated already. After it: offers the correction dialog
    // when the collection brought duplicates in (a group new or grown since), never after a
    // collection cancelled or one that brought none.
    void NoteDuplicateRecuperi();
    void OfferDuplicateRecuperiCheck();

    int FaseRecId = 0;

signals:
    // The working context may have changed: the main window refreshes its panels.
    void contextChanged();

private:
    void buildTable();
    void bindHandlers();
    void classSelection(bool &allowed);
    void webFolder(bool &allowed);
    void shellStat(bool &allowed);
    void shellSkype(bool &allowed);
    void runReport(TVxAttItem *command, int number);

    QList<QelDuplicateGroup> m_duplicatesBefore;
};

extern TdmqelActivations *dmqelActivations;
