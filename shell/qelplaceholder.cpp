#include "shell/qelplaceholder.h"

#include "platform/formregistry.h"
#include "platform/keys.h"
#include "platform/messagedlg.h"
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
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(
        belongsToAnotherProgram()
            ? QStringLiteral("Questa funzione appartiene a un altro programma della suite Vexto: "
                             "Tavrin non la comprende.")
            : QStringLiteral("Funzione non ancora disponibile in questa versione."),
        this);
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
    VxGiveMnemonics(this);
}

bool TfmqelNonDisponibile::belongsToAnotherProgram() const
{
    return qelOtherProgramFormClasses().contains(m_className, Qt::CaseInsensitive);
}

void showPlaceholder(const QString &caption, const QString &className)
{
    TfmqelNonDisponibile placeholder(className);
    placeholder.setWindowTitle(caption.trimmed());
    VxExecModal(&placeholder);
}

void registerShellForms()
{
    registerLookupEditors();
    QStringList missing = qelOtherProgramFormClasses();
    for (const char *name : qelPendingFormClasses())
        missing << QString::fromLatin1(name);
    for (const QString &className : std::as_const(missing)) {
        if (FormRegistry::isRegistered(className))
            continue;
        FormRegistry::registerClass(className, [className](QWidget *parent) -> QWidget * {
            return new TfmqelNonDisponibile(className, parent);
        });
    }
}
