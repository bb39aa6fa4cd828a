#include "platform/directoryedit.h"

#include "platform/maindir.h"
#include "platform/messagedlg.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

TVxDirectoryEdit::TVxDirectoryEdit(const QString &caption, QWidget *parent)
    : QWidget(parent), m_caption(caption), m_edit(new QLineEdit), m_browse(new QToolButton)
{
    m_edit->setObjectName(QStringLiteral("edDirectory"));
    m_browse->setObjectName(QStringLiteral("buBrowse"));
    m_browse->setText(QStringLiteral("..."));
    m_browse->setToolTip(QStringLiteral("Sfoglia"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_edit, 1);
    row->addWidget(m_browse);
    setFocusProxy(m_edit);
    connect(m_browse, &QToolButton::clicked, this, &TVxDirectoryEdit::Browse);
}

QString TVxDirectoryEdit::Text() const
{
    return m_edit->text();
}

void TVxDirectoryEdit::SetText(const QString &text)
{
    m_edit->setText(text);
}

void TVxDirectoryEdit::Browse()
{
    // A stored Windows path opens the chooser on the folder it names here, when there is one.
    const QString shown = resolvePath(m_edit->text().trimmed());
    const QString start = !shown.isEmpty() && QFileInfo(shown).isDir() ? shown : QString();
    const QString chosen = VxSelectDirectory(this, m_caption, start);
    if (!chosen.isEmpty())
        m_edit->setText(chosen);
}
