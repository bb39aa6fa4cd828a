#include "exports/qelfrilintegr.h"

#include "exports/qelexpscru.h"
#include "exports/qelfselcls.h"
#include "platform/desktop.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"
#include "shell/qelutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

const char kFilter[] = "File Excel (*.xls);;Tutti i files (*)";
const int kSteps = 6;

template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Whether an existing output can be replaced: the user's file must not be read-only, its
// folder must take the new file, and it must be a file.
bool replaceable(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() ||
           (info.isFile() && info.isWritable() && QFileInfo(info.absolutePath()).isWritable());
}

} // namespace

TfmQelRilIntegr::TfmQelRilIntegr(QWidget *parent)
    : TfmVxOkCancDlg(parent),
      m_primoGrado(named(new QRadioButton(QStringLiteral("Scuola secondaria di primo grado")),
                         "rbPrimoGrado")),
      m_secondoGrado(named(new QRadioButton(QStringLiteral("Scuola secondaria di secondo grado")),
                           "rbSecondoGrado")),
      m_salvaIn(named(new QLineEdit, "edSalvaIn")),
      m_odSalva(named(new QPushButton(QStringLiteral("Cerca")), "btnOdSalva")),
      m_sedi(named(new QComboBox, "cbxSedi")),
      m_selCls(named(new QPushButton(QStringLiteral("Classi")), "btnSelCls")),
      m_materiePrincipali(named(new QCheckBox(QStringLiteral("Raggruppa per materie principali")),
                                "cbMateriePrincipali")),
      m_sessione(named(new QLabel, "lbSessione")),
      m_descrOperaz(named(new QLabel, "lbDescrOperaz")),
      m_progresso(named(new QProgressBar, "pbProgresso"))
{
    setObjectName(QStringLiteral("fmQelRilIntegr"));
    setWindowTitle(QStringLiteral("Rilevazione integrativa esiti scrutinio"));
    resize(520, 420);
    buOk()->setText(QStringLiteral("Esegui"));

    auto *head =
        named(new QLabel(QStringLiteral("Rilevazione integrativa scuole di primo e secondo grado")),
              "lbHead");
    QFont bold = head->font();
    bold.setBold(true);
    head->setFont(bold);

    auto *tipo = named(new QGroupBox(QStringLiteral(" Tipo scuola ")), "rgTpScuola");
    auto *tipoLayout = new QVBoxLayout(tipo);
    tipoLayout->addWidget(m_primoGrado);
    tipoLayout->addWidget(m_secondoGrado);
    m_secondoGrado->setChecked(true);

    // Filled by "Cerca" only: it looks read-only and the keyboard goes past it to "Cerca".
    m_salvaIn->setReadOnly(true);
    m_salvaIn->setFocusPolicy(Qt::NoFocus);
    m_salvaIn->setPlaceholderText(QStringLiteral("Scegliere il file con \"Cerca\""));
    QPalette readOnly = m_salvaIn->palette();
    readOnly.setColor(QPalette::Base, readOnly.color(QPalette::Window));
    m_salvaIn->setPalette(readOnly);
    auto *salva = new QHBoxLayout;
    salva->addWidget(m_salvaIn, 1);
    salva->addWidget(m_odSalva);
    auto *sede = new QHBoxLayout;
    sede->addWidget(m_sedi, 1);
    sede->addWidget(m_selCls);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Salva in:"), salva);
    form->addRow(QStringLiteral("Sede:"), sede);

    auto *materie = named(new QGroupBox(QStringLiteral(" Materie ")), "gbMaterie");
    (new QVBoxLayout(materie))->addWidget(m_materiePrincipali);
    m_materiePrincipali->setChecked(true);
    m_progresso->setRange(0, kSteps);
    m_progresso->setValue(0);

    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(head);
    layout->addWidget(tipo);
    layout->addLayout(form);
    layout->addWidget(materie);
    layout->addWidget(m_sessione);
    layout->addStretch();
    layout->addWidget(m_descrOperaz);
    layout->addWidget(m_progresso);

    connect(m_odSalva, &QPushButton::clicked, this, [this] { actsdFileExecute(); });
    connect(m_selCls, &QPushButton::clicked, this, [this] { btnSelClsClick(); });
    FormCreate();
}

void TfmQelRilIntegr::FormCreate()
{
    // An institute not chosen is 0: the list then holds "TUTTE" alone.
    RunShowingErrors([this] { TdmQelExpScru::LoadSedi(m_sedi, TVxWorkingContext::institute()); });
    m_sedi->insertItem(0, QStringLiteral("TUTTE"), 0);
    m_sedi->setCurrentIndex(0);
    RunShowingErrors([this] {
        m_sessione->setText(QStringLiteral("Sessione di lavoro: ") +
                            GetSessioneDesc(TVxWorkingContext::session()));
    });
    // The program's own templates go into USR\Qel where the office has none; a folder that
    // takes no file shows at the run, as a missing template.
    TdmQelExpScru::InstallTemplates();
}

int TfmQelRilIntegr::SelectedSede() const
{
    return enumItemId(m_sedi, m_sedi->currentIndex());
}

void TfmQelRilIntegr::actsdFileExecute()
{
    const QString name = VxSaveFileName(this, QStringLiteral("Salva in"), m_outputName,
                                        QString::fromLatin1(kFilter));
    if (name.isEmpty())
        return;
    QString path = name;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xls");
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        return;
    m_outputName = path;
    m_salvaIn->setText(path);
}

void TfmQelRilIntegr::btnSelClsClick()
{
    TfmQelSelCls picker(this);
    if (!RunShowingErrors([&picker, this] { picker.LoadClassi(SelectedSede()); }))
        return;
    // The choice replaces the earlier one: a narrower selection counts only its classes.
    if (picker.ShowModal() == mrOk)
        m_classi = picker.ClassiSelezionate();
}

void TfmQelRilIntegr::OkClick()
{
    SetModalResult(mrNone);
    buOkClick();
}

void TfmQelRilIntegr::buOkClick()
{
    TdmQelExpScru module;
    TVxHourglass wait;
    const auto restore = qScopeGuard([this] {
        m_progresso->setValue(0);
        m_descrOperaz->clear();
    });
    module.MateriePrincipali = m_materiePrincipali->isChecked();
    module.SetClassi(m_classi);
    module.SetScuolaMedia(m_primoGrado->isChecked());
    module.SetSede(SelectedSede());
    module.OnStep = [this](const QString &text) {
        m_descrOperaz->setText(text);
        m_progresso->setValue(m_progresso->value() + 1);
        QApplication::processEvents();
    };
    if (!QFileInfo::exists(module.TemplatePath())) {
        VxMessageDlg(QStringLiteral("Mancano uno o più file necessari alla generazione."), mtError,
                     mbOK);
        return;
    }
    // The field is filled by "Cerca" alone: the refusal points there.
    if (m_outputName.isEmpty()) {
        VxMessageDlg(QStringLiteral("Scegliere con \"Cerca\" il file in cui salvare la "
                                    "rilevazione."),
                     mtError, mbOK);
        return;
    }
    if (!QFileInfo(QFileInfo(m_outputName).absolutePath()).isDir()) {
        VxMessageDlg(QStringLiteral("Il nome o la cartella del file da salvare non sono "
                                    "corretti.\r\rSceglierli di nuovo con \"Cerca\"."),
                     mtError, mbOK);
        return;
    }
    // The old file stays until the new one is complete; one that could not be replaced stops
    // the run before the work.
    if (!replaceable(m_outputName)) {
        VxMessageDlg(QStringLiteral("Il file indicato esiste già ma non può essere cancellato. "
                                    "Impossibile proseguire"),
                     mtError, mbOK);
        return;
    }
    const bool done = RunShowingErrors([&module, this] {
        module.ComputeEsitiScrutinio();
        module.WriteEsitiWorkbook(QString(), m_outputName);
    });
    if (!done)
        return;
    if (VxMessageDlg(QStringLiteral("I dati sono ora disponibili in: ") + m_outputName +
                         QStringLiteral(". Aprire la cartella?"),
                     mtInformation, mbYesNo) == mrYes)
        VxOpenDocumentOrTell(QFileInfo(m_outputName).absolutePath());
}
