#include "exports/qelfexport.h"

#include "exports/qelexportalu.h"
#include "exports/qelextractsql.h"
#include "exports/qelstatextracts.h"
#include "gradeentry/qevutil.h"
#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/fileaccess.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/runprocess.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "shell/qelpargen.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kIni = QStringLiteral("qew/QewIni.ini");
const QString kSection = QStringLiteral("Export");
const QString kDatiMancanti = QStringLiteral("Dati mancanti. Impossibile esportare i dati");

const char kYears[] = "SELECT iAnsId, CAST(iAnsValore AS VARCHAR(4)) || '-' || "
                      "CAST(iAnsValore + 1 AS VARCHAR(4)) FROM TAns_AnniScolast "
                      "ORDER BY iAnsValore";
const char kInstitutes[] = "SELECT iDwgId, sDowLDesc FROM VDow_DataOwner "
                           "WHERE iDowId IS NOT NULL ORDER BY sDowLDesc";

QCheckBox *checkBox(const char *name, const QString &caption, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QComboBox *list(const char *name, int width, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMinimumWidth(width);
    return box;
}

QGroupBox *group(const QString &title, const QList<QWidget *> &controls, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    auto *layout = new QHBoxLayout(box);
    // The sources' check boxes alike wide, so that the lists of the groups line up.
    controls.first()->setMinimumWidth(140);
    for (QWidget *control : controls)
        layout->addWidget(control);
    layout->addStretch();
    return box;
}

// The list's item of the id; without one a school year stays unchosen (the export then asks
// for it), while an institute falls on the first of the list.
void selectId(QComboBox *items, int id, bool firstWhenMissing)
{
    for (int i = 0; i < items->count(); ++i) {
        if (enumItemId(items, i) == id) {
            items->setCurrentIndex(i);
            return;
        }
    }
    items->setCurrentIndex(firstWhenMissing && items->count() > 0 ? 0 : -1);
}

int selectedId(const QComboBox *items)
{
    return enumItemId(items, items->currentIndex());
}

void keepSelection(TVxParInteger &par, const QComboBox *items)
{
    if (items->currentIndex() >= 0)
        par.SetValore(selectedId(items));
}

// The export folder is written by one export at a time.
std::unique_ptr<TVxSharedHold> holdExportFolder(const QString &root)
{
    auto hold = std::make_unique<TVxSharedHold>(root + QStringLiteral("/estrazione.lck"));
    if (hold->tryTake())
        return hold;
    throw EVxException(QStringLiteral("Un'altra estrazione%1 sta scrivendo nella cartella %2: i "
                                      "dati non sono stati esportati. Ripetere l'estrazione quando "
                                      "l'altra è terminata.")
                           .arg(hold->holderText(), QDir::toNativeSeparators(root)));
}

} // namespace

QelExportHooks &qelExportHooks()
{
    static QelExportHooks hooks;
    return hooks;
}

TfmQelExport::TfmQelExport(QWidget *parent)
    : TfmVxDialog(parent), m_xpiExit(kIni, kSection, QStringLiteral("Exit")),
      m_xpiAlunni(kIni, kSection, QStringLiteral("Alunni")),
      m_xpiDwgExit(kIni, kSection, QStringLiteral("DwgExit")),
      m_xpiDwgAlunni(kIni, kSection, QStringLiteral("DwgAlunni")),
      m_xpsCartella(kIni, kSection, QStringLiteral("Cartella"),
                    QDir::homePath() + QStringLiteral("/VextoData/tavrin_sta"))
{
    setObjectName(QStringLiteral("fmQelExport"));
    setWindowTitle(QStringLiteral("Estrazione dati dal db"));

    m_chkTavrin = checkBox("chkTavrin", QStringLiteral("Sessione corrente"), this);
    m_chkExit = checkBox("chkExit", QStringLiteral("Esami di stato"), this);
    m_chkAlunni = checkBox("chkAlunni", QStringLiteral("Alunni"), this);
    m_chkSedi = checkBox("chkSedi", QStringLiteral("Dividi per sede"), this);
    m_cboAnnoExit = list("cboAnnoExit", 120, this);
    m_cboDwgExit = list("cboDwgExit", 320, this);
    m_cboAnnoAlunni = list("cboAnnoAlunni", 120, this);
    m_cboDwgAlunni = list("cboDwgAlunni", 320, this);
    m_buEsporta = new QPushButton(QStringLiteral("Esporta"), this);
    m_buEsporta->setObjectName(QStringLiteral("buEsporta"));
    auto *label1 = new QLabel(QStringLiteral("Estrazione dei dati per RICERCA"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    QFont big = label1->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    label1->setFont(big);
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbProgress"));
    m_progress->setRange(0, 8);
    m_progress->setValue(0);
    // Tells that the work goes on while one extract is read, however long it takes.
    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("Animate1"));
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addWidget(group(QStringLiteral("Tavrin"), {m_chkTavrin}, this));
    layout->addWidget(
        group(QStringLiteral("Esami di Stato"), {m_chkExit, m_cboAnnoExit, m_cboDwgExit}, this));
    layout->addWidget(
        group(QStringLiteral("Alunni"), {m_chkAlunni, m_cboAnnoAlunni, m_cboDwgAlunni}, this));
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_chkSedi);
    bottom->addStretch();
    bottom->addWidget(m_buEsporta);
    layout->addLayout(bottom);
    layout->addWidget(m_label2);
    layout->addWidget(m_progress);
    layout->addWidget(m_busy);
    connect(m_buEsporta, &QPushButton::clicked, this, &TfmQelExport::buEsportaClick);

    m_module = dmExportAlu;
    if (!m_module) {
        m_ownModule = std::make_unique<TdmExportAlu>();
        m_module = m_ownModule.get();
    }

    // The lists fall on the school year and institute of the last export, else on the working
    // ones.
    m_xpiExit.setDefault(TVxWorkingContext::schoolYear());
    m_xpiAlunni.setDefault(TVxWorkingContext::schoolYear());
    m_xpiDwgExit.setDefault(TVxWorkingContext::institute());
    m_xpiDwgAlunni.setDefault(TVxWorkingContext::institute());
    RunShowingErrors([this] {
        mainSubDir(QStringLiteral("ETC/qew"));
        const QSqlDatabase db = qqoVxGlobConn();
        for (QComboBox *years : {m_cboAnnoExit, m_cboAnnoAlunni})
            LoadEnumValues(db, years, QString::fromLatin1(kYears));
        for (QComboBox *institutes : {m_cboDwgExit, m_cboDwgAlunni})
            LoadEnumValues(db, institutes, QString::fromLatin1(kInstitutes));
        selectId(m_cboAnnoExit, m_xpiExit.GetValore(), false);
        selectId(m_cboAnnoAlunni, m_xpiAlunni.GetValore(), false);
        selectId(m_cboDwgExit, m_xpiDwgExit.GetValore(), true);
        selectId(m_cboDwgAlunni, m_xpiDwgAlunni.GetValore(), true);
    });
}

TfmQelExport::~TfmQelExport() = default;

QString TfmQelExport::ExportRoot() const
{
    QString root = m_xpsCartella.GetValore().trimmed();
    if (root.isEmpty())
        root = m_xpsCartella.Default();
    return ShortDir(resolvePath(root));
}

void TfmQelExport::CreaElencoSedi(int iDwgId)
{
    m_siteList =
        m_chkSedi->isChecked() ? qelInstituteSiteCodes(iDwgId) : QStringList{QStringLiteral("1=1")};
}

void TfmQelExport::showEvent(QShowEvent *event)
{
    TfmVxDialog::showEvent(event);
    // After the window is up: closing it while it is being shown would leave the modal loop
    // of the command waiting on a window that is gone.
    if (!m_shown) {
        m_shown = true;
        QTimer::singleShot(0, this, &TfmQelExport::FormShow);
    }
}

void TfmQelExport::FormShow()
{
    const int session = TVxWorkingContext::session();
    if (session == 0) {
        VxMessageDlg(kDatiMancanti, mtWarning, mbOK);
        done(mrCancel);
        return;
    }
    m_workingSession = QString::number(session);
    m_log.begin();
}

void TfmQelExport::done(int result)
{
    if (!m_running)
        TfmVxDialog::done(result);
}

void TfmQelExport::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        event->ignore();
        return;
    }
    TfmVxDialog::closeEvent(event);
}

void TfmQelExport::setRunning(bool running)
{
    m_running = running;
    m_buEsporta->setEnabled(!running);
    m_busy->setVisible(running);
}

void TfmQelExport::step(const QString &text, int done, int total)
{
    m_label2->setText(text);
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    QApplication::processEvents();
}

bool TfmQelExport::readyToExport()
{
    if (!m_chkAlunni->isChecked() && !m_chkTavrin->isChecked() && !m_chkExit->isChecked()) {
        VxMessageDlg(QStringLiteral("Impossibile esportare i dati. Nessuna fonte selezionata."),
                     mtWarning, mbOK);
        return false;
    }
    if (m_workingSession.isEmpty()) {
        VxMessageDlg(kDatiMancanti, mtWarning, mbOK);
        done(mrCancel);
        return false;
    }
    struct Choice
    {
        const QCheckBox *source;
        const QComboBox *list;
        const char *message;
    };
    const Choice choices[] = {
        {m_chkAlunni, m_cboAnnoAlunni, "Scegliere l'anno scolastico degli alunni da esportare."},
        {m_chkAlunni, m_cboDwgAlunni, "Scegliere l'istituto degli alunni da esportare."},
        {m_chkExit, m_cboAnnoExit,
         "Scegliere l'anno scolastico degli esami di stato da esportare."},
        {m_chkExit, m_cboDwgExit, "Scegliere l'istituto degli esami di stato da esportare."},
    };
    for (const Choice &c : choices) {
        if (c.source->isChecked() && c.list->currentIndex() < 0) {
            VxMessageDlg(QString::fromUtf8(c.message), mtWarning, mbOK);
            return false;
        }
    }
    return true;
}

void TfmQelExport::tell(const Outcome &outcome)
{
    if (m_outcome.text.isEmpty())
        m_outcome = outcome;
}

void TfmQelExport::buEsportaClick()
{
    if (m_running || !readyToExport())
        return;
    m_outcome = Outcome();
    const auto guarded = [this](const std::function<void()> &work) {
        try {
            work();
        } catch (const EVxException &e) {
            m_log.add(QStringLiteral(": ") + e.message() +
                      (e.detail().isEmpty() ? QString() : QStringLiteral(" ") + e.detail()));
            tell({e.message(), mtError, e.detail()});
        } catch (const std::exception &e) {
            m_log.add(QStringLiteral(": ") + QString::fromUtf8(e.what()));
            tell({QString::fromUtf8(e.what()), mtError, QString()});
        }
    };

    setRunning(true);
    const QString root = ExportRoot();
    const QString logPath = root + QStringLiteral("/controllo.log");
    // The log goes beside the extracts: no folder, or another export writing there, no log, and
    // the failure is told instead.
    std::unique_ptr<TVxSharedHold> hold;
    guarded([&] {
        VxMakeOwnFolder(root);
        hold = holdExportFolder(root);
        // Until the last file is written, the log says only that the export began: the log of
        // an earlier run must not vouch for the files of one that is cut short.
        m_log.saveToFile(logPath);
        if (m_chkAlunni->isChecked())
            exportAlunni();
        if (m_chkTavrin->isChecked())
            exportSessione();
        if (m_chkExit->isChecked())
            exportEsami();
    });
    // The office's choices are kept whatever became of the export.
    guarded([this] { writeSelections(); });
    if (hold) {
        m_log.end();
        guarded([&] { m_log.saveToFile(logPath); });
        hold.reset();
    }
    setRunning(false);

    if (m_outcome.text.isEmpty())
        VxMessageDlg(QStringLiteral("Operazione completata con successo\rI file sono presenti "
                                    "nella cartella %1")
                         .arg(QDir::toNativeSeparators(root)),
                     mtInformation, mbOK);
    else
        VxMessageDlg(m_outcome.text, m_outcome.type, mbOK, 0, mrNone, m_outcome.detail);
    done(mrOk);
}

bool TfmQelExport::sitesOf(int iDwgId, const QString &source, const QString &subject)
{
    CreaElencoSedi(iDwgId);
    if (!m_siteList.isEmpty())
        return true;
    // Nothing to split by: said, rather than an empty folder taken for an export.
    QString institute = QString::number(iDwgId);
    for (int i = 0; i < m_cboDwgAlunni->count(); ++i)
        if (enumItemId(m_cboDwgAlunni, i) == iDwgId)
            institute = m_cboDwgAlunni->itemText(i);
    m_log.add(QStringLiteral(": %1 non esportati: l'istituto %2 non ha sedi con codice "
                             "meccanografico")
                  .arg(source, institute));
    tell({QStringLiteral("%1 non sono stati esportati: l'istituto %2 non ha sedi con codice "
                         "meccanografico, e con \"Dividi per sede\" i file si scrivono una volta "
                         "per sede.")
              .arg(subject, institute),
          mtWarning, QString()});
    return false;
}

QString TfmQelExport::sourceDir(const QString &name, const QString &siteCode) const
{
    // The names are the office's texts: as folder names they may neither climb out of the
    // export folder nor name a path of their own.
    QString dir = TKIENormalizeString(name);
    if (m_chkSedi->isChecked())
        dir += QLatin1Char('/') + TKIENormalizeString(siteCode);
    return VxMakeOwnFolder(VxMakeOwnFolder(ExportRoot()), dir);
}

std::optional<QString> TfmQelExport::siteFilter(const QString &siteCode) const
{
    return m_chkSedi->isChecked() ? std::optional<QString>(siteCode) : std::nullopt;
}

void TfmQelExport::logFileWritten(const QString &path)
{
    m_log.add(QStringLiteral(": File %1 creato")
                  .arg(QDir::toNativeSeparators(QDir(ExportRoot()).relativeFilePath(path))));
    if (qelExportHooks().fileWritten)
        qelExportHooks().fileWritten(path);
}

void TfmQelExport::exportAlunni()
{
    const int institute = selectedId(m_cboDwgAlunni);
    if (!sitesOf(institute, QStringLiteral("Alunni"), QStringLiteral("Gli alunni")))
        return;
    m_alunniDir =
        ExportRoot() + QLatin1Char('/') + TKIENormalizeString(m_cboDwgAlunni->currentText());
    m_module->ExtractVersion = m_extractVersion;
    m_module->AnsId = selectedId(m_cboAnnoAlunni);
    m_module->DwgId = institute;
    m_module->OutputDir = m_alunniDir;
    m_module->SplitBySite = m_chkSedi->isChecked();
    m_module->OnFileWritten = [this](const QString &path, int done, int total) {
        logFileWritten(path);
        step(QStringLiteral("File %1 creato").arg(QFileInfo(path).fileName()), done, total);
    };
    const auto detach = qScopeGuard([this] { m_module->OnFileWritten = nullptr; });
    m_module->ExportAluExtracts();
}

void TfmQelExport::exportSessione()
{
    const int session = m_workingSession.toInt();
    const int institute = TVxWorkingContext::institute();
    step(QStringLiteral("Creazione tabella alunni..."), 0, 1);
    if (!sitesOf(institute, QStringLiteral("Dati della sessione corrente"),
                 QStringLiteral("I dati della sessione corrente")))
        return;
    const int total = int(m_siteList.size()) * 5;
    int done = 0;
    for (const QString &code : std::as_const(m_siteList)) {
        const QString dir =
            sourceDir(GetVxuParamValue(TVxWorkingContext::instituteKey()).toString(), code);
        QString pupils;
        QString subjects;
        {
            TVxTransactionScope scope(qqoVxGlobConn());
            TQelStatExtracts extracts(scope.transaction(), m_extractVersion);
            const TQelStatExtracts::SessionYear year = extracts.YearOfSession(session);
            // Whether conduct counts goes by the session's own year, not by the year another
            // window last averaged.
            SetAnsIdMedia(year.iAnsId);
            const QString tag = qelYearTag(year.start);
            pupils = dir + QLatin1Char('/') + TQelStatExtracts::FileName("QewA", tag, session);
            extracts.WriteSessionPupils(session, siteFilter(code), pupils);
            m_log.add(QStringLiteral(": Query 1 eseguita"));
            logFileWritten(pupils);
            step(QStringLiteral("Creazione tabella alunni..."), ++done, total);
            step(QStringLiteral("Creazione tabella materie..."), ++done, total);
            subjects = dir + QLatin1Char('/') + TQelStatExtracts::FileName("QewM", tag, session);
            extracts.WriteSessionSubjects(session, siteFilter(code), subjects);
            m_log.add(QStringLiteral(": Query 2 eseguita"));
            logFileWritten(subjects);
            scope.Commit();
        }
        // The label names the workbooks: a session text may hold what no file name can.
        QString label = TQelStatExtracts::SessionLabel(pupils);
        if (!label.isEmpty())
            label = TKIENormalizeString(label);
        m_log.add(QStringLiteral(": Impostazione nome a: ") + label);
        step(QStringLiteral("Creazione file xls alunni..."), ++done, total);
        convert(dir, QFileInfo(pupils).fileName(), label + QStringLiteral(" Alunni.xls"),
                QStringLiteral("scrutino: "));
        step(QStringLiteral("Creazione file xls materie..."), ++done, total);
        convert(dir, QFileInfo(subjects).fileName(), label + QStringLiteral(" Materie.xls"),
                QStringLiteral("scrutinio materie: "));
        step(QStringLiteral("Creazione file xls materie..."), ++done, total);
    }
}

void TfmQelExport::exportEsami()
{
    const int year = selectedId(m_cboAnnoExit);
    const int institute = selectedId(m_cboDwgExit);
    const int session = m_workingSession.toInt();
    if (!sitesOf(institute, QStringLiteral("Esami di stato"),
                 QStringLiteral("I candidati agli esami di stato")))
        return;
    const int total = int(m_siteList.size()) * 2;
    int done = 0;
    for (const QString &code : std::as_const(m_siteList)) {
        const QString dir = sourceDir(m_cboDwgExit->currentText(), code);
        QDate start;
        QString candidates;
        {
            TVxTransactionScope scope(qqoVxGlobConn());
            start = qelSchoolYearStart(scope.transaction(), year);
            // Named after the working session, whatever year the candidates are of: the
            // statistics program finds the files of a run by it.
            candidates = dir + QLatin1Char('/') +
                         TQelStatExtracts::FileName("QewE", qelYearTag(start), session);
            TQelStatExtracts(scope.transaction(), m_extractVersion)
                .WriteCandidates(year, institute, siteFilter(code), candidates);
            scope.Commit();
        }
        m_log.add(QStringLiteral(": Query Exit eseguita"));
        logFileWritten(candidates);
        const QString label = QStringLiteral("%1-%2").arg(start.year()).arg(start.year() + 1);
        m_log.add(QStringLiteral(": Impostazione nome a: ") + label);
        step(QStringLiteral("Creazione file xls Exit..."), ++done, total);
        convert(dir, QFileInfo(candidates).fileName(), label + QStringLiteral(" Exit.xls"),
                QStringLiteral("scrutino: "));
        step(QStringLiteral("Creazione file xls Exit..."), ++done, total);
    }
}

void TfmQelExport::convert(const QString &folder, const QString &packet, const QString &workbook,
                           const QString &logPrefix)
{
    const QString configured =
        dmqelParGen ? dmqelParGen->xpsProgCdsXls.GetValore().trimmed() : QString();
    const QString program =
        resolvePath(configured.isEmpty() ? QStringLiteral("bin/cdsXls.exe") : configured);
    const int seconds = dmqelParGen ? dmqelParGen->xpiAttesaCdsXls.GetValore() : 300;
    const QString target = folder + QLatin1Char('/') + workbook;
    const QStringList arguments = {QStringLiteral("--silent"),
                                   QStringLiteral("--source"),
                                   folder + QLatin1Char('/') + packet,
                                   QStringLiteral("--target"),
                                   target,
                                   QStringLiteral("--tpl"),
                                   resolvePath(QStringLiteral("usr/dati/tavrin_sta/Stat.xls"))};
    QStringList quoted;
    for (const QString &argument : arguments)
        quoted << (argument.startsWith(QLatin1String("--"))
                       ? argument
                       : QLatin1Char('"') + argument + QLatin1Char('"'));
    m_log.addPlain(logPrefix + quoted.join(QLatin1Char(' ')));

    const QString shown = QDir::toNativeSeparators(QDir(ExportRoot()).relativeFilePath(target));
    // A link at the workbook's name is the office's: the converter would write through it, and
    // removing it would lose it.
    if (const QString link = VxLinkText(target); !link.isEmpty()) {
        const QString why =
            link + QStringLiteral("; Tavrin non scrive attraverso un collegamento e non lo "
                                  "sostituisce");
        m_log.add(QStringLiteral(": File %1 non creato: %2").arg(shown, why));
        tell({QStringLiteral("Il file %1 non è stato creato: %2.").arg(shown, why), mtWarning,
              QString()});
        return;
    }
    // A workbook of an earlier run would pass for this run's when the converter writes none.
    QFile::remove(target);
    const TVxProcessResult result = VxRunAndWait(program, arguments, qMax(1, seconds) * 1000);
    if (result.succeeded() && QFileInfo(target).isFile()) {
        logFileWritten(target);
        return;
    }
    const QString why =
        result.succeeded() ? QStringLiteral("non ha scritto il file") : result.failure();
    m_log.add(QStringLiteral(": File %1 non creato: il programma di conversione %2 %3")
                  .arg(shown, QDir::toNativeSeparators(program), why));
    if (result.outcome == TVxProcessResult::Missing)
        tell({QStringLiteral("Il programma di conversione in Excel non è installato:\r%1\r\r"
                             "I dati sono stati esportati, ma non le cartelle di lavoro Excel. "
                             "Indicare il programma in ParGen.ini, sezione \"Programmi\", voce "
                             "\"Convertitore\".")
                  .arg(QDir::toNativeSeparators(program)),
              mtWarning, QString()});
    else
        tell({QStringLiteral("Il file %1 non è stato creato: il programma di conversione %2.")
                  .arg(shown, why),
              mtWarning, QString()});
}

void TfmQelExport::writeSelections()
{
    keepSelection(m_xpiExit, m_cboAnnoExit);
    keepSelection(m_xpiAlunni, m_cboAnnoAlunni);
    keepSelection(m_xpiDwgExit, m_cboDwgExit);
    keepSelection(m_xpiDwgAlunni, m_cboDwgAlunni);
}
