#include "platform/dialogs.h"

#include "platform/keyboardfocus.h"
#include "platform/keys.h"
#include "platform/messagedlg.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

TfmVxDialog::TfmVxDialog(QWidget *parent) : QDialog(parent)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

int TfmVxDialog::ShowModal()
{
    QPointer<TfmVxDialog> self(this);
    const int result = VxExecModal(this);
    if (self && m_autoDestroy)
        deleteLater();
    return result;
}

void TfmVxDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        VxGiveMnemonics(this);
    }
}

void TfmVxDialog::done(int result)
{
    m_modalResult = result;
    if (result == mrOk) {
        OkClick();
        if (m_modalResult == mrNone)
            return;
    }
    QDialog::done(m_modalResult);
}

void TfmVxDialog::reject()
{
    done(mrCancel);
}

TfmVxOkCancDlg::TfmVxOkCancDlg(QWidget *parent)
    : TfmVxDialog(parent), m_client(new QWidget), m_buttons(new QHBoxLayout),
      m_ok(new QPushButton(QStringLiteral("OK"))),
      m_cancel(new QPushButton(QStringLiteral("Annulla")))
{
    m_client->setObjectName(QStringLiteral("pnClient"));
    m_ok->setObjectName(QStringLiteral("buOk"));
    m_cancel->setObjectName(QStringLiteral("buCancel"));
    m_ok->setDefault(true);
    m_ok->setMinimumWidth(90);
    m_cancel->setMinimumWidth(90);
    m_buttons->addStretch();
    m_buttons->addWidget(m_ok);
    m_buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_client, 1);
    layout->addLayout(m_buttons);
    connect(m_ok, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TfmVxOkCancDlg::showEvent(QShowEvent *event)
{
    TfmVxDialog::showEvent(event);
    if (m_opened)
        return;
    m_opened = true;
    QWidget *focus = focusWidget();
    if (!focus || !m_client->isAncestorOf(focus))
        VxFocusFirstField(m_client);
}

TfmVxOkCancApplyDlg::TfmVxOkCancApplyDlg(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_apply(new QPushButton(QStringLiteral("Applica")))
{
    m_apply->setObjectName(QStringLiteral("buApply"));
    m_apply->setMinimumWidth(90);
    ButtonRow()->addWidget(m_apply);
    connect(m_apply, &QPushButton::clicked, this, [this] { Apply(); });
}

void TfmVxOkCancApplyDlg::OkClick()
{
    if (!Apply())
        SetModalResult(mrNone);
}
