#include "exchange/qelfsendc.h"

#include "exchange/qelclassfolders.h"
#include "exchange/qelxml.h"
#include "platform/directoryedit.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QWidget>

TfmqelSendC::TfmqelSendC(QWidget *parent)
    : TfmVxMultiSelect(parent), m_xml(std::make_unique<TdmqelXML>()),
      m_dir(AddClassFolderField(*this, QStringLiteral("Percorso base:"))),
      m_storico(new QCheckBox(QStringLiteral("Includi storico HTML"))),
      m_notice(new QLabel(QStringLiteral(
          "Nella sezione Anno-Sessioni-Classi hai spuntato per bene tutte le voci necessarie?"))),
      m_deferred(new QLabel(QStringLiteral(
          "È stata selezionata una sessione differita. \r\nÈ necessario effettuare prima il "
          "passaggio dei voti dalla sessione finale a quella attuale")))
{
    setObjectName(QStringLiteral("fmqelSendC"));
    setWindowTitle(QStringLiteral("Invio scrutinio delle classi"));
    m_storico->setObjectName(QStringLiteral("cbStorico"));
    m_notice->setObjectName(QStringLiteral("laAvviso"));
    m_notice->setWordWrap(true);
    m_deferred->setObjectName(QStringLiteral("pnDifferita"));
    m_deferred->setWordWrap(true);
    m_deferred->setFrameShape(QFrame::Panel);
    m_deferred->hide();
    auto *layout = qobject_cast<QBoxLayout *>(ClientArea()->layout());
    layout->addWidget(m_storico);
    layout->addWidget(m_notice);
    layout->addWidget(m_deferred);

    RunShowingErrors([this] {
        ShowClassList(*this, m_list, m_model, m_xml->iAnsSesDwgId);
        m_xml->SetSessionKind(SessionKindOf(m_xml->iAnsSesDwgId));
    });
    m_deferred->setVisible(m_xml->iSessionKind == 3);
    if (m_xml->iSessionKind == 2)
        m_notice->setText(m_notice->text() + QStringLiteral("\r\n") +
                          QStringLiteral("Hai agganciato le classi alle rispettive bande del "
                                         "credito?"));
    m_dir->SetText(m_xml->ScrutinioBaseFolder());
}

TfmqelSendC::~TfmqelSendC() = default;

void TfmqelSendC::done(int result)
{
    if (!m_running)
        TfmVxMultiSelect::done(result);
}

void TfmqelSendC::OkClick()
{
    SetModalResult(mrNone);
    const TqelRunningWork running(*this, m_running);
    RunShowingErrors([this] { Send(); });
}

void TfmqelSendC::Send()
{
    const QString base = ChosenSendFolder(m_dir->Text());
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty())
        throw EVxException(QStringLiteral("Nessuna classe selezionata."), EVxException::Warning);
    QList<TqelClassRow> classes;
    for (int row : rows)
        classes << ClassRowAt(m_list, row);
    TqelClassSendOptions options;
    options.exportOptions.storico = m_storico->isChecked();
    ShowClassSendEnd(!SendClassFolders(*m_xml, base, classes, options, m_overwriteAlways));
}
