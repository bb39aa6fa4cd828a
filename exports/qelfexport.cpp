#include "exports/qelfexport.h"

#include "exports/qelexportalu.h"
#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
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

struct Outcome
{
    QString text; // empty after a clean export
    TMsgDlgType type = mtInformation;
    QString detail;
};

} // namespace

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
    // The session's and the state exam's extracts are not written yet: they cannot be chosen.
    m_chkTavrin->setEnabled(false);
    m_chkExit->setEnabled(false);
    m_cboAnnoExit = list("cboAnnoExit", 120, this);
    m_cboDwgExit = list("cboDwgExit", 320, this);
    m_cboAnnoAlunni = list("cboAnnoAlunni", 120, this);
    m_cboDwgAlunni = list("cboDwgAlunni", 320, this);
    m_buEsporta = new QPushButton(QStringLiteral("Esporta"), this);
    m_buEsporta->setObjectName(QStringLiteral("buEsporta"));
    auto *label1 = new QLabel(QStringLiteral("Estrazione ETL"), this);
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
        group(QStringLiteral("Exit"), {m_chkExit, m_cboAnnoExit, m_cboDwgExit}, this));
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
    if (m_chkAlunni->isChecked() && m_cboAnnoAlunni->currentIndex() < 0) {
        VxMessageDlg(QStringLiteral("Scegliere l'anno scolastico degli alunni da esportare."),
                     mtWarning, mbOK);
        return false;
    }
    if (m_chkAlunni->isChecked() && m_cboDwgAlunni->currentIndex() < 0) {
        VxMessageDlg(QStringLiteral("Scegliere l'istituto degli alunni da esportare."), mtWarning,
                     mbOK);
        return false;
    }
    return true;
}

void TfmQelExport::buEsportaClick()
{
    if (m_running || !readyToExport())
        return;
    Outcome outcome;
    const auto fail = [this, &outcome](const QString &text, const QString &detail) {
        m_log.add(QStringLiteral(": ") + text +
                  (detail.isEmpty() ? QString() : QStringLiteral(" ") + detail));
        if (outcome.text.isEmpty())
            outcome = {text, mtError, detail};
    };
    const auto guarded = [&fail](const std::function<void()> &work) {
        try {
            work();
        } catch (const EVxException &e) {
            fail(e.message(), e.detail());
        } catch (const std::exception &e) {
            fail(QString::fromUtf8(e.what()), QString());
        }
    };

    setRunning(true);
    const QString root = ExportRoot();
    // The log goes beside the extracts: no folder, no log, and the failure is told instead.
    bool rootMade = false;
    guarded([&] {
        rootMade = QDir().mkpath(root);
        if (!rootMade)
            throw EVxException(QStringLiteral("Impossibile creare la cartella %1.")
                                   .arg(QDir::toNativeSeparators(root)));
        if (m_chkAlunni->isChecked()) {
            const QString warning = exportAlunni();
            if (!warning.isEmpty())
                outcome = {warning, mtWarning, QString()};
        }
    });
    // The office's choices are kept whatever became of the export.
    guarded([this] { writeSelections(); });
    if (rootMade) {
        m_log.end();
        guarded([&] { m_log.saveToFile(root + QStringLiteral("/controllo.log")); });
    }
    setRunning(false);

    if (outcome.text.isEmpty())
        VxMessageDlg(QStringLiteral("Operazione completata con successo\rI file sono presenti "
                                    "nella cartella %1")
                         .arg(QDir::toNativeSeparators(root)),
                     mtInformation, mbOK);
    else
        VxMessageDlg(outcome.text, outcome.type, mbOK, 0, mrNone, outcome.detail);
    done(mrOk);
}

QString TfmQelExport::exportAlunni()
{
    const int year = selectedId(m_cboAnnoAlunni);
    const int institute = selectedId(m_cboDwgAlunni);
    const QString root = ExportRoot();
    CreaElencoSedi(institute);
    if (m_siteList.isEmpty()) {
        // Nothing to split by: said, rather than an empty folder taken for an export.
        m_log.add(QStringLiteral(": Alunni non esportati: l'istituto %1 non ha sedi con codice "
                                 "meccanografico")
                      .arg(m_cboDwgAlunni->currentText()));
        return QStringLiteral("Gli alunni non sono stati esportati: l'istituto %1 non ha sedi "
                              "con codice meccanografico, e con \"Dividi per sede\" i file si "
                              "scrivono una volta per sede.")
            .arg(m_cboDwgAlunni->currentText());
    }
    m_alunniDir = root + QLatin1Char('/') + TKIENormalizeString(m_cboDwgAlunni->currentText());
    m_module->ExtractVersion = m_extractVersion;
    m_module->AnsId = year;
    m_module->DwgId = institute;
    m_module->OutputDir = m_alunniDir;
    m_module->SplitBySite = m_chkSedi->isChecked();
    m_module->OnFileWritten = [this, &root](const QString &path, int done, int total) {
        const QString text = QStringLiteral("File %1 creato")
                                 .arg(QDir::toNativeSeparators(QDir(root).relativeFilePath(path)));
        m_log.add(QStringLiteral(": ") + text);
        step(text, done, total);
    };
    const auto detach = qScopeGuard([this] { m_module->OnFileWritten = nullptr; });
    m_module->ExportAluExtracts();
    return QString();
}

void TfmQelExport::writeSelections()
{
    keepSelection(m_xpiExit, m_cboAnnoExit);
    keepSelection(m_xpiAlunni, m_cboAnnoAlunni);
    keepSelection(m_xpiDwgExit, m_cboDwgExit);
    keepSelection(m_xpiDwgAlunni, m_cboDwgAlunni);
}
