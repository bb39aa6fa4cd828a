#pragma once

// The report being prepared: what its expressions read (variables, dataset fields, library
// functions), frParser.Calc for the function libraries, and the run that gives a report one
// state of the database.
//
//   TfrReport report;
//   report.Title = "Pagella";
//   report.OnGetValue = [](const QString &name, QVariant &value) { ... };  // variable request
//   {
//       TfrRun run(report);                      // CurReport = &report until the run ends
//       QString s = report.ExpandText("Memo1", TfrText::parse("Classe [[Classe]]"));
//   }                                            // rolled back; OnEndReport runs
//
//   report.LoadReportFromVxDB(16005);            // the template store's, Title its title
//   if (report.PrepareReport())                  // one run: true when a page was built
//       draw(report.Pages());                    // the display list (reportpages.h)
//
// A variable [name] first takes the engine's own value (DATE: PrintDate when set, else
// today; while PrepareReport lays pages out, PAGE#, TOTALPAGES and LINE#: see
// reporttemplate.md), then goes through OnGetValue (name in, value in and out); a handler leaves a
// name it does not know as passed. A name nobody answers is null and is recorded for the run
// (UnansweredVariables), so that a template check can refuse it.
//
// dataset."field" reads the current row of the report dataset or dataset of that name in any
// data module alive (see reportdataset.h); a closed dataset is opened with the parameters it
// has and stands on its first row; past its end the field is null.
//
// Before the pages, each report dataset of the template's bands that asks for a selection form
// (TVxfrDBDataSet) shows it once: the form is created by its registered class name (a
// TfmVxMultiSelect), OnBeforeSelectForm runs, the form is shown modally through the dialog
// seam, OnAfterSelectForm runs on OK (with DoAfterSelect), and the dataset then holds only the
// rows chosen, matched by its KeyField, in its own order, for the rest of the run. Cancel ends
// the run without pages and without a message: PrepareReport is false and Cancelled() true.
//
// An error while a text object is evaluated ends the run as EfrRunError, naming the object,
// the expression and the cause. Inside, the cause keeps its kind (EfrConversionError,
// EfrRoundingError, or any other EVxException), so that a library calling frParser.Calc can
// tell them apart.

#include "reportengine/reportdataset.h"
#include "reportengine/reportexpr.h"
#include "reportengine/reportlibrary.h"
#include "reportengine/reportpages.h"
#include "reportengine/reporttemplate.h"
#include "reportengine/reportvalue.h"

#include <QDate>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class TVxTransaction;
class TfrLayout;

// Ends the report being prepared without pages and without a message: the office cancelled a
// selection, or a handler has already told it why the report cannot run. Deliberately not an
// EVxException, so that no handler of failures on the way takes it for one.
class EfrAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "report cancelled"; }
};

// The error that ends a run.
class EfrRunError : public EVxException
{
public:
    EfrRunError(const QString &reportTitle, const QString &objectName, const QString &expression,
                const QString &cause);
    QString ObjectName() const { return m_object; }
    QString Expression() const { return m_expression; }
    QString Cause() const { return m_cause; }

private:
    QString m_object;
    QString m_expression;
    QString m_cause;
};

class TfrReport : public TfrEvalContext
{
public:
    TfrReport();
    ~TfrReport() override;
    TfrReport(const TfrReport &) = delete;
    TfrReport &operator=(const TfrReport &) = delete;

    QString Title;
    QDate PrintDate; // DATE; today when null
    // Where a run reads: the program's shared connection unless set.
    void setConnection(const QSqlDatabase &db) { m_connectionName = db.connectionName(); }
    QSqlDatabase connection() const;

    // The template, from the store or given; Title becomes its title.
    void LoadReportFromVxDB(int id);
    void LoadFromTemplate(const TfrTemplate &report);
    const TfrTemplate &Template() const { return m_template; }
    // Lays the template out in one run over its datasets: true when the display list holds
    // at least one page. A failure raises, naming the band or object, and leaves no pages.
    bool PrepareReport();
    // Whether the last preparation was ended by EfrAbort (a cancelled selection).
    bool Cancelled() const { return m_cancelled; }
    const TfrDisplayList &Pages() const { return m_pages; }

    // The report component's events: the variable request and the end of a run.
    std::function<void(const QString &name, QVariant &value)> OnGetValue;
    std::function<void()> OnEndReport;

    // Evaluates an expression in this report (this report is CurReport meanwhile).
    QVariant Calc(const QString &expression);
    // The display text of a text object, and the value of another expression of an object
    // (a band's visibility); both raise EfrRunError.
    QString ExpandText(const QString &objectName, const TfrText &text);
    QVariant Evaluate(const QString &objectName, const TfrExpression &expression);

    QVariant GetVariable(const QString &name);
    QStringList UnansweredVariables() const { return m_unanswered; }
    // Different for every run of every report: a run reads one state of the database, so what a
    // library read for the run it names is still true while the serial stays the same.
    quint64 RunSerial() const { return m_runSerial; }

    // The dataset of the report dataset with that name, else the dataset with that name, in
    // the data modules the report may read.
    TfrDataSet *FindDataSet(const QString &name) const;
    TfrDBDataSet *FindReportDataSet(const QString &name) const;

    // The data modules whose datasets a template may read: every module alive while no
    // pattern and no module is given; otherwise those whose name matches a pattern
    // ("dmqelDataSets*": * and ?, any letter case) and those registered by name (a module
    // whose name no pattern of the program matches registers itself). Adding one twice
    // changes nothing.
    void AddDataModuleFilter(const QString &pattern);
    QStringList DataModuleFilter() const { return m_moduleFilter; }
    void RegisterDataModule(const QString &moduleName);
    QStringList RegisteredDataModules() const { return m_registeredModules; }
    bool MayReadDataModule(const QString &moduleName) const;

    // Calc nested through libraries at most this deep: a function that calculates itself
    // ends the report instead of the program.
    static constexpr int MaxCalcDepth = 64;

    // TfrEvalContext
    QVariant variable(const QString &name) override;
    QVariant field(const QString &dataSet, const QString &field) override;
    QVariant callFunction(const QString &name, const QStringList &arguments) override;

protected:
    // The engine's own variables; false for a name that is not one.
    virtual bool EngineValue(const QString &name, QVariant &value) const;

private:
    friend class TfrRun;
    friend class TfrLayout;
    QList<TfrDataModule *> readableModules() const;
    // Shows the selection forms; the datasets whose rows they chose go into the list.
    void askSelections(std::vector<TfrDataSet *> &chosen);
    QString m_connectionName;
    TfrTemplate m_template;
    TfrDisplayList m_pages;
    const TfrLayout *m_layout = nullptr; // while PrepareReport lays out: the page variables
    int m_calcDepth = 0;
    bool m_running = false;
    bool m_cancelled = false;
    quint64 m_runSerial = 0;
    QStringList m_unanswered;
    QStringList m_moduleFilter;
    QStringList m_registeredModules;
    // Fields are read by dataset name at every cell: the answer per module name is kept
    // until the filter changes.
    mutable QHash<QString, bool> m_moduleAllowed;
};

// One run of a report: CurReport while it lives; the unanswered variables start empty.
//
// A whole run reads one state of the database: it starts a snapshot transaction on the
// report's connection (through TVxTransaction, so that every statement of the run, the
// datasets', the functions' and grade entry's averages', runs inside it, each text prepared
// once) and rolls it back at the end: reports write nothing. A caller's transaction already
// running on the connection is used as it is; a closed connection (a report over in-memory
// datasets) gets none.
//
// What the run reads is kept for it (TfrRunCache) and let go when it ends.
//
// End() runs OnEndReport, then rolls back, letting a failure through; a run destroyed without
// End (a failure is on its way) finishes quietly.
class TfrRun
{
public:
    explicit TfrRun(TfrReport &report);
    ~TfrRun();
    TfrRun(const TfrRun &) = delete;
    TfrRun &operator=(const TfrRun &) = delete;

    void End();

private:
    TfrReport &m_report;
    std::unique_ptr<TVxTransaction> m_snapshot;
    std::unique_ptr<TfrRunCache> m_cache; // what the run read, let go at its end
    bool m_ended = false;
};

// The report being prepared, or nullptr.
extern TfrReport *CurReport;

class TfrParser
{
public:
    // Evaluates a text in the report being prepared; EfrError when none is.
    QVariant Calc(const QString &expression);
};

extern TfrParser frParser;
