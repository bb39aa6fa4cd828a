#include "exchange/qelfdocparams.h"

#include "platform/directoryedit.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "shell/qelpargen.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QCheckBox *checkBox(const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

TVxDirectoryEdit *directoryEdit(const char *name, const QString &caption)
{
    auto *edit = new TVxDirectoryEdit(caption);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

TfmqelDocParams::TfmqelDocParams(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_ownParams(dmqelParGen ? nullptr : std::make_unique<TdmqelParGen>()),
      m_params(dmqelParGen ? dmqelParGen : m_ownParams.get()), m_pages(new QTabWidget),
      m_laFloppy(new QLabel(QStringLiteral("Drive Floppy"))),
      m_deFloppy(directoryEdit("deFloppy", QStringLiteral("Drive Floppy"))),
      m_deRete(directoryEdit("deRete", QStringLiteral("Percorso di rete"))),
      m_deUSB(directoryEdit("deUSB", QStringLiteral("Percorso USB"))),
      m_deWeb(directoryEdit("deWeb", QStringLiteral("Percorso Web"))),
      m_cbAskPasswd(checkBox("cbAskPasswd", QStringLiteral("Accesso con Password"))),
      m_cbVot(checkBox("cbVot",
                       QStringLiteral("&Voti (NON selezionare in caso di Invio/Raccolta WEB)"))),
      m_cbVtp(checkBox("cbVtp", QStringLiteral("Voti pr&oposti (obbligatori su WEB)"))),
      m_cbTas(checkBox("cbTas", QStringLiteral("T&assonomie"))),
      m_cbAss(checkBox("cbAss", QStringLiteral("A&ssenze"))),
      m_cbAiu(checkBox("cbAiu", QStringLiteral("A&iuti"))),
      m_cbNot(checkBox("cbNot", QStringLiteral("&Note per materia"))),
      m_cbDeb(checkBox("cbDeb", QStringLiteral("De&biti")))
{
    setWindowTitle(QStringLiteral("Docenti: parametri Invio/Raccolta"));
    m_pages->setObjectName(QStringLiteral("pcParams"));

    auto *path = new QWidget;
    path->setObjectName(QStringLiteral("tsPercorso"));
    auto *pathLayout = new QVBoxLayout(path);
    pathLayout->addWidget(
        new QLabel(QStringLiteral("Indicare i percorsi per l'invio al Tavrin Docenti:")));
    auto *folders = new QFormLayout;
    folders->addRow(m_laFloppy, m_deFloppy);
    folders->addRow(QStringLiteral("Percorso di &rete"), m_deRete);
    folders->addRow(QStringLiteral("Percorso &USB"), m_deUSB);
    folders->addRow(QStringLiteral("Percorso &Web"), m_deWeb);
    pathLayout->addLayout(folders);
    pathLayout->addWidget(m_cbAskPasswd);
    pathLayout->addStretch();
    // Out of the office's sight, and stored back by OK as they were loaded.
    m_laFloppy->hide();
    m_deFloppy->hide();
    m_cbAskPasswd->hide();

    auto *data = new QWidget;
    data->setObjectName(QStringLiteral("tsDati"));
    auto *dataLayout = new QVBoxLayout(data);
    for (QCheckBox *box : {m_cbVot, m_cbVtp, m_cbTas, m_cbAss, m_cbAiu, m_cbNot, m_cbDeb})
        dataLayout->addWidget(box);
    dataLayout->addStretch();
    m_cbDeb->hide();

    m_pages->addTab(path, QStringLiteral("&Percorso"));
    m_pages->addTab(data, QStringLiteral("&Dati"));
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    m_pages->setCurrentIndex(0);
    LoadParams();
}

TfmqelDocParams::~TfmqelDocParams() = default;

void TfmqelDocParams::LoadParams()
{
    TdmqelParGen &p = *m_params;
    m_deFloppy->SetText(p.xpsDirFloppy.GetValore());
    m_deRete->SetText(p.xpsDirRete.GetValore());
    m_deUSB->SetText(p.xpsDirUSB.GetValore());
    m_deWeb->SetText(p.xpsDirWeb.GetValore());
    m_cbAskPasswd->setChecked(p.xpiAskPasswd.GetValore() != 0);
    m_cbVot->setChecked(p.xpiVot.GetValore() != 0);
    m_cbVtp->setChecked(p.xpiVtp.GetValore() != 0);
    m_cbTas->setChecked(p.xpiTas.GetValore() != 0);
    m_cbAss->setChecked(p.xpiAss.GetValore() != 0);
    m_cbAiu->setChecked(p.xpiAiu.GetValore() != 0);
    m_cbNot->setChecked(p.xpiNot.GetValore() != 0);
    // Loaded although hidden: OK stores it, and an unloaded box would switch the debts off
    // for every later send and web collection.
    m_cbDeb->setChecked(p.xpiDeb.GetValore() != 0);
}

void TfmqelDocParams::SaveParams()
{
    TdmqelParGen &p = *m_params;
    p.xpsDirFloppy.SetValore(m_deFloppy->Text());
    p.xpsDirRete.SetValore(m_deRete->Text());
    p.xpsDirUSB.SetValore(m_deUSB->Text());
    p.xpsDirWeb.SetValore(m_deWeb->Text());
    p.xpiAskPasswd.SetValore(BoolToInt(m_cbAskPasswd->isChecked()));
    p.xpiVot.SetValore(BoolToInt(m_cbVot->isChecked()));
    p.xpiVtp.SetValore(BoolToInt(m_cbVtp->isChecked()));
    p.xpiTas.SetValore(BoolToInt(m_cbTas->isChecked()));
    p.xpiAss.SetValore(BoolToInt(m_cbAss->isChecked()));
    p.xpiAiu.SetValore(BoolToInt(m_cbAiu->isChecked()));
    p.xpiNot.SetValore(BoolToInt(m_cbNot->isChecked()));
    p.xpiDeb.SetValore(BoolToInt(m_cbDeb->isChecked()));
}

void TfmqelDocParams::OkClick()
{
    if (!RunShowingErrors([this] { SaveParams(); }))
        SetModalResult(mrNone);
}
