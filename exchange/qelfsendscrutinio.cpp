#include "exchange/qelfsendscrutinio.h"

#include "exchange/qelclassfolders.h"
#include "exchange/qelxml.h"
#include "platform/directoryedit.h"
#include "platform/images.h"
#include "platform/messagedlg.h"

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

TfmqelSendScrutinio::TfmqelSendScrutinio(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_xml(std::make_unique<TdmqelXML>()),
      m_storico(new QCheckBox(QStringLiteral("Includi storico HTML"))),
      m_password(new QCheckBox(QStringLiteral("Proteggi con password"))),
      m_tools(new QToolBar(QStringLiteral("Barra di Classi - Sessioni"))), m_list(new QListWidget)
{
    setObjectName(QStringLiteral("fmqelSendScrutinio"));
    setWindowTitle(QStringLiteral("Invio scrutinio delle classi"));
    m_storico->setObjectName(QStringLiteral("cbStorico"));
    m_password->setObjectName(QStringLiteral("cbPassword"));
    m_tools->setObjectName(QStringLiteral("tbClassi"));
    m_tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_list->setObjectName(QStringLiteral("clClsSes"));

    const struct
    {
        const char *name;
        const char *caption;
        const char *hint;
        const char *image;
        void (TfmqelSendScrutinio::*slot)();
    } actions[] = {
        {"tbSelectAllMatCls", "Seleziona tutto", "Seleziona tutte le classi", "SELECTALL",
         &TfmqelSendScrutinio::tbSelectAllMatClsClick},
        {"tbSelectDelMatCls", "&Annulla selezione", "Annulla la selezione delle classi",
         "DESELECTALL", &TfmqelSendScrutinio::tbSelectDelMatClsClick},
        {"tbSelectInvMatCls", "&Inverti selezione", "Inverte la selezione delle classi",
         "INVERTISELECT", &TfmqelSendScrutinio::tbSelectInvMatClsClick},
    };
    for (const auto &def : actions) {
        QAction *action =
            m_tools->addAction(VxImage(QLatin1String(def.image)), QString::fromUtf8(def.caption));
        action->setObjectName(QLatin1String(def.name));
        action->setToolTip(QString::fromUtf8(def.hint));
        connect(action, &QAction::triggered, this, def.slot);
    }

    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_storico);
    layout->addWidget(m_password);
    layout->addWidget(m_tools);
    layout->addWidget(m_list, 1);
    m_dir = AddClassFolderField(*this, QStringLiteral("Percorso base:"));
    resize(480, 520);

    buOk()->setEnabled(false);
    connect(m_list, &QListWidget::itemChanged, this, [this] { UpdateOkButton(); });
    RunShowingErrors([this] {
        OpenClassList(m_xqcCls, m_xml->iAnsSesDwgId);
        for (int row = 0; row < m_xqcCls.RecordCount(); ++row) {
            const TqelClassRow cls = ClassRowAt(m_xqcCls, row);
            auto *item =
                new QListWidgetItem(cls.sClsSDesc + QStringLiteral(" - ") + cls.sClsDesc, m_list);
            item->setData(Qt::UserRole, cls.iClsId);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        m_xml->SetSessionKind(SessionKindOf(m_xml->iAnsSesDwgId));
    });
    m_dir->SetText(m_xml->ScrutinioBaseFolder());
}

TfmqelSendScrutinio::~TfmqelSendScrutinio() = default;

void TfmqelSendScrutinio::SetClassTicked(int iClsId, bool ticked)
{
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->data(Qt::UserRole).toInt() == iClsId)
            m_list->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void TfmqelSendScrutinio::SetAllTicked(bool ticked)
{
    for (int i = 0; i < m_list->count(); ++i)
        m_list->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void TfmqelSendScrutinio::tbSelectAllMatClsClick()
{
    SetAllTicked(true);
}

void TfmqelSendScrutinio::tbSelectDelMatClsClick()
{
    SetAllTicked(false);
}

void TfmqelSendScrutinio::tbSelectInvMatClsClick()
{
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

void TfmqelSendScrutinio::UpdateOkButton()
{
    bool any = false;
    for (int i = 0; i < m_list->count() && !any; ++i)
        any = m_list->item(i)->checkState() == Qt::Checked;
    buOk()->setEnabled(any);
}

void TfmqelSendScrutinio::OkClick()
{
    SetModalResult(mrNone);
    const TqelRunningWork running(*this, m_running);
    RunShowingErrors([this] { Send(); });
}

void TfmqelSendScrutinio::done(int result)
{
    if (!m_running)
        TfmVxOkCancDlg::done(result);
}

void TfmqelSendScrutinio::Send()
{
    const QString base = ChosenSendFolder(m_dir->Text());
    QList<TqelClassRow> classes;
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->checkState() != Qt::Checked)
            continue;
        const int iClsId = m_list->item(i)->data(Qt::UserRole).toInt();
        for (int row = 0; row < m_xqcCls.RecordCount(); ++row)
            if (const TqelClassRow cls = ClassRowAt(m_xqcCls, row); cls.iClsId == iClsId) {
                classes << cls;
                break;
            }
    }
    TqelClassSendOptions options;
    options.exportOptions.storico = m_storico->isChecked();
    options.exportOptions.proteggiPwd = m_password->isChecked();
    options.needsCoordinator = true;
    options.clearWork = true;
    ShowClassSendEnd(!SendClassFolders(*m_xml, base, classes, options, m_overwriteAlways));
}
