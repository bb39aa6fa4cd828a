#include "shell/qelplaceholder.h"

#include "platform/formregistry.h"
#include "shell/qelcommandtable.h"
#include "shell/qellookupeditors.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfmqelNonDisponibile::TfmqelNonDisponibile(const QString &className, QWidget *parent)
    : QDialog(parent), m_className(className)
{
    setObjectName(QStringLiteral("fmqelNonDisponibile"));
    setWindowTitle(QStringLiteral("Funzione non disponibile"));
    auto *layout = new QVBoxLayout(this);
    auto *label =
        new QLabel(QStringLiteral("Funzione non ancora disponibile in questa versione."), this);
    label->setObjectName(QStringLiteral("laMessaggio"));
    label->setWordWrap(true);
    layout->addWidget(label);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("buOk"));
    connect(ok, &QPushButton::clicked, this, [this] {
        // Inside the main window it is a child window: closing it closes its frame too.
        if (parentWidget() && !isModal())
            parentWidget()->close();
        accept();
    });
    layout->addWidget(buttons);
    resize(420, 120);
}

void registerShellForms()
{
    registerLookupEditors();
    for (const char *name : qelPendingFormClasses()) {
        const QString className = QString::fromLatin1(name);
        if (FormRegistry::isRegistered(className))
            continue;
        FormRegistry::registerClass(className, [className](QWidget *parent) -> QWidget * {
            return new TfmqelNonDisponibile(className, parent);
        });
    }
}
