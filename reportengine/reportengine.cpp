#include "reportengine/reportengine.h"

#include "platform/connection.h"
#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "platform/multiselect.h"
#include "platform/transaction.h"
#include "reportengine/reportlayout.h"
#include "reportengine/reportstore.h"

#include <QApplication>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>

TfrReport *CurReport = nullptr;
TfrParser frParser;

namespace {

// The value a variable request starts with when the engine has none: still there after the
// request means that nobody answered.
struct Unanswered
{
};

bool isUnanswered(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<Unanswered>();
}

// Makes a report the one being prepared for as long as it evaluates.
class CurrentReport
{
public:
    explicit CurrentReport(TfrReport *report) : m_previous(CurReport) { CurReport = report; }
    ~CurrentReport() { CurReport = m_previous; }

private:
    TfrReport *m_previous;
};

// Templates and libraries calculate the same few short texts over and over; the cache is
// bounded by the text it holds, not by entries, since one long text parses into many nodes.
TfrExpression parsed(const QString &text)
{
    static QHash<QString, TfrExpression> cache;
    static qsizetype cachedCharacters = 0;
    const auto it = cache.constFind(text);
    if (it != cache.constEnd())
        return *it;
    TfrExpression e = TfrExpression::parse(text);
    if (cachedCharacters + text.size() > 200000) {
        cache.clear();
        cachedCharacters = 0;
    }
    cache.insert(text, e);
    cachedCharacters += text.size();
    return e;
}

// The report datasets of the bands, in the order they print, each once.
void collectDataSets(const std::vector<TfrBand> &bands, QStringList &names)
{
    for (const TfrBand &band : bands) {
        if (!band.DataSet.isEmpty() && !names.contains(band.DataSet, Qt::CaseInsensitive))
            names << band.DataSet;
        collectDataSets(band.Bands, names);
    }
}

// The keys of the rows the office chose in the adapter's form; EfrAbort when it cancelled.
QSet<QString> showSelectForm(TVxfrDBDataSet &adapter)
{
    const std::unique_ptr<QWidget> window(
        FormRegistry::create(adapter.SelectForm, QApplication::activeWindow()));
    auto *form = qobject_cast<TfmVxMultiSelect *>(window.get());
    if (!form)
        throw EfrError(QStringLiteral("La finestra di selezione «%1» del dataset %2 non esiste.")
                           .arg(adapter.SelectForm, adapter.Name()));
    if (adapter.OnBeforeSelectForm)
        adapter.OnBeforeSelectForm(adapter, form);
    if (VxExecModal(form) != mrOk)
        throw EfrAbort();
    if (adapter.DoAfterSelect && adapter.OnAfterSelectForm)
        adapter.OnAfterSelectForm(adapter, form);
    QSet<QString> keys;
    if (adapter.KeyField.isEmpty())
        return keys;
    const QVariantList values = form->SelectedValues(adapter.KeyField);
    if (values.size() != form->SelectedRows().size())
        throw EfrError(QStringLiteral("L'elenco della finestra di selezione «%1» non ha il campo "
                                      "«%2».")
                           .arg(adapter.SelectForm, adapter.KeyField));
    for (const QVariant &value : values)
        keys.insert(frDisplayText(value));
    return keys;
}

QString runErrorMessage(const QString &title, const QString &object, const QString &expression,
                        const QString &cause)
{
    const QString report = title.isEmpty() ? QStringLiteral("Errore nella preparazione del report.")
                                           : QStringLiteral("Errore nella preparazione del "
                                                            "report «%1».")
                                                 .arg(title);
    return QStringLiteral("%1\r\rOggetto: %2\rEspressione: [%3]\r\r%4")
        .arg(report, object, expression, cause);
}

} // namespace

EfrRunError::EfrRunError(const QString &reportTitle, const QString &objectName,
                         const QString &expression, const QString &cause)
    : EVxException(runErrorMessage(reportTitle, objectName, expression, cause)),
      m_object(objectName), m_expression(expression), m_cause(cause)
{
}

TfrReport::TfrReport() = default;

TfrReport::~TfrReport()
{
    if (CurReport == this)
        CurReport = nullptr;
}

QSqlDatabase TfrReport::connection() const
{
    if (m_connectionName.isEmpty())
        return qqoVxGlobConn();
    return QSqlDatabase::database(m_connectionName, false);
}

QVariant TfrReport::Calc(const QString &expression)
{
    if (m_calcDepth >= MaxCalcDepth)
        throw EfrError(QStringLiteral("Calcolo annidato oltre %1 livelli: una funzione "
                                      "richiama se stessa senza fine?")
                           .arg(MaxCalcDepth));
    const TfrExpression e = parsed(expression);
    CurrentReport current(this);
    ++m_calcDepth;
    struct Leave
    {
        int &depth;
        ~Leave() { --depth; }
    } leave{m_calcDepth};
    return e.evaluate(*this);
}

QString TfrReport::ExpandText(const QString &objectName, const TfrText &text)
{
    QString out;
    for (const TfrText::Segment &s : text.segments())
        out += s.isExpression ? frDisplayText(Evaluate(objectName, s.expression)) : s.literal;
    return out;
}

QVariant TfrReport::Evaluate(const QString &objectName, const TfrExpression &expression)
{
    CurrentReport current(this);
    try {
        return expression.evaluate(*this);
    } catch (const EfrRunError &) {
        throw;
    } catch (const EVxException &e) {
        throw EfrRunError(Title, objectName, expression.text(), e.message());
    }
}

bool TfrReport::EngineValue(const QString &name, QVariant &value) const
{
    if (name.compare(QLatin1String("DATE"), Qt::CaseInsensitive) == 0) {
        value = PrintDate.isNull() ? QDate::currentDate() : PrintDate;
        return true;
    }
    return m_layout && frLayoutValue(*m_layout, name, value);
}

void TfrReport::LoadReportFromVxDB(int id)
{
    LoadFromTemplate(TfrReportStore(connection()).Load(id));
}

void TfrReport::LoadFromTemplate(const TfrTemplate &report)
{
    m_template = report;
    m_pages = TfrDisplayList();
    Title = report.Title;
}

bool TfrReport::PrepareReport()
{
    m_pages = TfrDisplayList();
    m_cancelled = false;
    std::vector<TfrDataSet *> chosen;
    // The next report reads every row again.
    const auto lift = qScopeGuard([&chosen] {
        for (TfrDataSet *dataSet : chosen)
            dataSet->ClearKeyFilter();
    });
    try {
        TfrRun run(*this);
        askSelections(chosen);
        TfrDisplayList pages = frLayOut(*this);
        run.End();
        m_pages = std::move(pages);
    } catch (const EfrAbort &) {
        m_cancelled = true;
        return false;
    }
    return !m_pages.Pages.empty();
}

void TfrReport::askSelections(std::vector<TfrDataSet *> &chosen)
{
    QStringList names;
    collectDataSets(m_template.Bands, names);
    for (const QString &name : std::as_const(names)) {
        auto *adapter = dynamic_cast<TVxfrDBDataSet *>(FindReportDataSet(name));
        if (!adapter || !adapter->ShowSelectForm || adapter->SelectForm.isEmpty())
            continue;
        const QSet<QString> keys = showSelectForm(*adapter);
        // Read again with what the form's events gave it.
        adapter->DataSet->Close();
        if (adapter->KeyField.isEmpty())
            continue;
        adapter->DataSet->SetKeyFilter(adapter->KeyField, keys);
        chosen.push_back(adapter->DataSet);
    }
}

QVariant TfrReport::GetVariable(const QString &name)
{
    QVariant value = QVariant::fromValue(Unanswered());
    EngineValue(name, value);
    if (OnGetValue)
        OnGetValue(name, value);
    if (!isUnanswered(value))
        return value;
    if (!m_unanswered.contains(name))
        m_unanswered << name;
    return QVariant();
}

void TfrReport::AddDataModuleFilter(const QString &pattern)
{
    if (m_moduleFilter.contains(pattern, Qt::CaseInsensitive))
        return;
    m_moduleFilter << pattern;
    m_moduleAllowed.clear();
}

void TfrReport::RegisterDataModule(const QString &moduleName)
{
    if (m_registeredModules.contains(moduleName, Qt::CaseInsensitive))
        return;
    m_registeredModules << moduleName;
    m_moduleAllowed.clear();
}

bool TfrReport::MayReadDataModule(const QString &moduleName) const
{
    if (m_moduleFilter.isEmpty() && m_registeredModules.isEmpty())
        return true;
    const auto known = m_moduleAllowed.constFind(moduleName);
    if (known != m_moduleAllowed.constEnd())
        return *known;
    bool allowed = m_registeredModules.contains(moduleName, Qt::CaseInsensitive);
    for (const QString &pattern : m_moduleFilter) {
        if (allowed)
            break;
        allowed = QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive)
                      .match(moduleName)
                      .hasMatch();
    }
    m_moduleAllowed.insert(moduleName, allowed);
    return allowed;
}

QList<TfrDataModule *> TfrReport::readableModules() const
{
    QList<TfrDataModule *> modules = frDataModules();
    modules.removeIf(
        [this](const TfrDataModule *m) { return !MayReadDataModule(m->ModuleName()); });
    return modules;
}

TfrDBDataSet *TfrReport::FindReportDataSet(const QString &name) const
{
    for (TfrDataModule *m : readableModules()) {
        if (TfrDBDataSet *adapter = m->FindReportDataSet(name))
            return adapter;
    }
    return nullptr;
}

TfrDataSet *TfrReport::FindDataSet(const QString &name) const
{
    if (TfrDBDataSet *adapter = FindReportDataSet(name))
        return adapter->DataSet;
    for (TfrDataModule *m : readableModules()) {
        if (TfrDataSet *d = m->FindDataSet(name))
            return d;
    }
    return nullptr;
}

QVariant TfrReport::variable(const QString &name)
{
    return GetVariable(name);
}

QVariant TfrReport::field(const QString &dataSet, const QString &field)
{
    TfrDataSet *d = FindDataSet(dataSet);
    if (!d)
        throw EfrError(QStringLiteral("Il report non conosce il dataset «%1».").arg(dataSet));
    if (!d->Active())
        d->Open();
    return d->FieldByName(field).Value();
}

QVariant TfrReport::callFunction(const QString &name, const QStringList &arguments)
{
    if (arguments.size() > 3)
        throw EfrError(
            QStringLiteral("La funzione %1 accetta al massimo tre argomenti.").arg(name));
    TfrFunctionLibrary *library = nullptr;
    int number = 0;
    if (!frFindFunction(name, &library, &number))
        throw EfrError(QStringLiteral("Funzione sconosciuta: %1.").arg(name));
    QVariant val;
    library->DoFunction(number, arguments.value(0), arguments.value(1), arguments.value(2), val);
    return val;
}

TfrRun::TfrRun(TfrReport &report) : m_report(report)
{
    if (report.m_running || (CurReport && CurReport != &report))
        throw EfrError(QStringLiteral("Un altro report è già in preparazione."));
    const QSqlDatabase db = report.connection();
    if (db.isOpen() && !TVxTransaction::activeOn(db)) {
        m_snapshot = std::make_unique<TVxTransaction>(db);
        if (!m_snapshot->StartTransaction())
            throw EVxException(QStringLiteral("Impossibile preparare il report: il database non "
                                              "ha avviato la lettura.\r\r%1")
                                   .arg(m_snapshot->lastError()));
    }
    m_cache = std::make_unique<TfrRunCache>();
    static quint64 runs = 0;
    report.m_runSerial = ++runs;
    report.m_running = true;
    report.m_unanswered.clear();
    CurReport = &report;
}

TfrRun::~TfrRun()
{
    if (m_ended)
        return;
    try {
        End();
    } catch (const EVxException &) {
        // the failure that destroys the run is the one the office sees
    }
}

void TfrRun::End()
{
    if (m_ended)
        return;
    m_ended = true;
    m_report.m_running = false;
    CurReport = nullptr;
    m_cache.reset();
    struct RollBack
    {
        std::unique_ptr<TVxTransaction> &snapshot;
        ~RollBack() { snapshot.reset(); }
    } rollBack{m_snapshot};
    if (m_report.OnEndReport)
        m_report.OnEndReport();
}

QVariant TfrParser::Calc(const QString &expression)
{
    if (!CurReport)
        throw EfrError(QStringLiteral("Nessun report in preparazione: impossibile calcolare «%1».")
                           .arg(expression));
    return CurReport->Calc(expression);
}
