#include "platform/childforms.h"

#include "platform/dbgridframes.h"
#include "platform/formregistry.h"
#include "platform/keys.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>

TfmVxChildBase::TfmVxChildBase(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void TfmVxChildBase::ShowMaximized()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->showMaximized();
    else
        showMaximized();
}

void TfmVxChildBase::FormKeyDown(QKeyEvent *event)
{
    event->ignore();
}

void TfmVxChildBase::FormClose(TCloseAction &action)
{
    action = caFree;
}

void TfmVxChildBase::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        FormShow();
        VxGiveMnemonics(this);
    }
}

void TfmVxChildBase::closeEvent(QCloseEvent *event)
{
    TCloseAction action = caFree;
    FormClose(action);
    switch (action) {
    case caNone:
        event->ignore();
        return;
    case caHide:
    case caMinimize:
        setAttribute(Qt::WA_DeleteOnClose, false);
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->setAttribute(Qt::WA_DeleteOnClose, false);
        event->accept();
        return;
    case caFree:
        setAttribute(Qt::WA_DeleteOnClose, true);
        FormRegistry::markClosed(this);
        event->accept();
        return;
    }
}

void TfmVxChildBase::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    FormKeyDown(event);
    if (!event->isAccepted())
        QWidget::keyPressEvent(event);
}

void TfmVxChildDB::FormClose(TCloseAction &action)
{
    TfmVxChildGen::FormClose(action);
    for (TfrVxDBRWGrid *frame : findChildren<TfrVxDBRWGrid *>()) {
        if (!frame->CanClose()) {
            action = caNone;
            return;
        }
    }
}
