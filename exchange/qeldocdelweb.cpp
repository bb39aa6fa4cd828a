#include "exchange/qeldocdelweb.h"

#include "exchange/qeltavrinweb.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qeldatasets.h"
#include "shell/qelutil.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace {

const QelDocDelWebForm::Texts kSessionTexts = {
    "fmqelDocDelSessioneWeb",
    "Cancella sessione web",
    "Questa operazione cancella tutti i dati già caricati dai docenti sul web!",
    "Se la sessione selezionata è ancora in corso conviene \r\nfare prima una raccolta dei dati "
    "da Web.",
    "Confermo la cancellazione della sessione",
    "Cancellazione sessione dal Server in corso. Attendere...",
    "Password errata \r\no Istituto codice: %1 non autorizzato alla cancellazione della sezione "
    "dal server\r\nContattare Veldrasoft S.r.l. per l'abilitazione",
};

const QelDocDelWebForm::Texts kMakeUpTexts = {
    "fmQelDocDelRecuperiWeb",
    "Cancella recuperi da web",
    "Questa operazione cancella tutti i recuperi già caricati dai docenti sul web!",
    "Se i recuperi sono ancora in corso conviene \r\nfare prima una raccolta dei recuperi da "
    "Web.",
    "Confermo la cancellazione dei recuperi",
    "Cancellazione recuperi dal Server in corso. Attendere...",
    "Password errata \r\no Istituto codice: %1 non autorizzato alla cancellazione dei recuperi "
    "dal server\r\nContattare Veldrasoft S.r.l. per l'abilitazione",
};

QString shown(const char *text)
{
    return QString::fromUtf8(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QLabel *panelLabel(QWidget *panel, const QString &text, bool bold)
{
    auto *label = new QLabel(text, panel);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

} // namespace

QelDocDelWebForm::QelDocDelWebForm(const Texts &texts, QWidget *owner)
    : TfmVxOkCancDlg(owner), m_texts(texts)
{
    setObjectName(QString::fromLatin1(texts.objectName));
    setWindowTitle(QString::fromUtf8(texts.caption));
    m_layout = new QVBoxLayout(ClientArea());
    m_layout->setContentsMargins(0, 0, 0, 0);

    auto *panel = new QWidget(ClientArea());
    panel->setObjectName(QStringLiteral("paWarning"));
    panel->setAutoFillBackground(true);
    QPalette yellow = panel->palette();
    yellow.setColor(QPalette::Window, Qt::yellow);
    yellow.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(yellow);
    auto *lines = new QVBoxLayout(panel);
    lines->addWidget(panelLabel(panel, QStringLiteral("ATTENZIONE"), true));
    lines->addWidget(panelLabel(panel, shown(texts.warning), true));
    lines->addWidget(panelLabel(panel, shown(texts.advice), false));
    m_layout->addWidget(panel);

    m_confirm = new QCheckBox(QString::fromUtf8(texts.confirm), ClientArea());
    m_confirm->setObjectName(QStringLiteral("ckbConfirm"));
    QPalette blue = m_confirm->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    m_confirm->setPalette(blue);
    QFont bold = m_confirm->font();
    bold.setBold(true);
    m_confirm->setFont(bold);
    m_layout->addStretch();
    m_layout->addWidget(m_confirm);

    buOk()->setEnabled(false);
    connect(m_confirm, &QCheckBox::toggled, buOk(), &QPushButton::setEnabled);
    resize(460, 260);
}

void QelDocDelWebForm::DeleteFromServer(const std::function<void(TTavrinWebConnection &)> &deletion)
{
    RunShowingErrors([&] {
        auto wait = std::make_unique<TfmVxWait>(this, true);
        wait->SetTitle(QString::fromUtf8(m_texts.waitTitle));
        wait->ShowWait();
        TTavrinWebConnection web;
        web.SetWaitWindow(wait.get());
        m_instituteCode = TavrinWebInstituteCode();
        if (!web.Autentica(m_instituteCode))
            throw EVxException(QString::fromUtf8(m_texts.refusedLogin).arg(m_instituteCode));
        wait->Refresh();
        deletion(web);
        wait->CloseWait();
        VxMessageDlg(QStringLiteral("Operazione conclusa correttamente"), mtInformation, mbOK);
    });
}

TfmqelDocDelSessioneWeb::TfmqelDocDelSessioneWeb(QWidget *owner)
    : QelDocDelWebForm(kSessionTexts, owner)
{
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Sessione attiva da cancellare: "), ClientArea()));
    m_label = new QLabel(ClientArea());
    m_label->setObjectName(QStringLiteral("laSessione"));
    QFont bold = m_label->font();
    bold.setBold(true);
    m_label->setFont(bold);
    row->addWidget(m_label, 1);
    clientLayout()->insertLayout(1, row);

    m_iAnsSesDwgId = TVxWorkingContext::session();
    if (m_iAnsSesDwgId != 0) {
        RunShowingErrors([this] {
            m_description = GetSessioneDesc(m_iAnsSesDwgId);
            m_sessionNumber = TdmqelDataSets::SessionNumber(m_iAnsSesDwgId);
        });
    }
    m_label->setText(m_description);
}

void TfmqelDocDelSessioneWeb::OkClick()
{
    SetModalResult(mrNone);
    // A session that is not there has no number: the service would be asked to delete
    // session 0, whatever it holds under it.
    if (m_iAnsSesDwgId == 0) {
        VxMessageDlg(QStringLiteral("Non è impostata la sessione di lavoro: sceglierla nei "
                                    "parametri dell'applicazione prima di cancellarla dal "
                                    "server."),
                     mtWarning, mbOK);
        return;
    }
    if (!m_sessionNumber) {
        VxMessageDlg(QStringLiteral("La sessione di lavoro (%1) non esiste nell'archivio: non c'è "
                                    "nessuna sessione da cancellare dal server.")
                         .arg(m_iAnsSesDwgId),
                     mtWarning, mbOK);
        return;
    }
    if (VxMessageDlg(
            QStringLiteral("Confermi la cancellazione della sessione: %1").arg(m_description),
            mtWarning, mbYesNo, 0, mrNo) == mrYes)
        DeleteSessionFromServer();
}

void TfmqelDocDelSessioneWeb::DeleteSessionFromServer()
{
    const int number = *m_sessionNumber;
    DeleteFromServer([number](TTavrinWebConnection &web) { web.CancellaSessione(number); });
}

TfmQelDocDelRecuperiWeb::TfmQelDocDelRecuperiWeb(QWidget *owner)
    : QelDocDelWebForm(kMakeUpTexts, owner)
{
}

void TfmQelDocDelRecuperiWeb::OkClick()
{
    SetModalResult(mrNone);
    if (VxMessageDlg(QStringLiteral("Confermi la cancellazione dei recuperi?"), mtWarning, mbYesNo,
                     0, mrNo) == mrYes)
        DeleteFromServer([](TTavrinWebConnection &web) { web.CancellaRecuperi(); });
}

void registerDocDelWebForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocDelSessioneWeb);
    TAVRIN_REGISTER_FORM(TfmQelDocDelRecuperiWeb);
}
