#include "reportengine/reportengine.h"

#include "platform/connection.h"
#include "platform/transaction.h"
#include "reportengine/reportlayout.h"
#include "reportengine/reportstore.h"

#include <QHash>
#include <QRegularExpression>

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
    TfrRun run(*this);
    TfrDisplayList pages = frLayOut(*this);
    run.End();
    m_pages = std::move(pages);
    return !m_pages.Pages.empty();
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

TfrDataSet *TfrReport::FindDataSet(const QString &name) const
{
    QList<TfrDataModule *> modules = frDataModules();
    modules.removeIf(
        [this](const TfrDataModule *m) { return !MayReadDataModule(m->ModuleName()); });
    for (TfrDataModule *m : modules) {
        if (TfrDBDataSet *adapter = m->FindReportDataSet(name))
            return adapter->DataSet;
    }
    for (TfrDataModule *m : modules) {
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
