#include "exchange/qelfldname.h"

#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "shell/qelcommandtable.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmqelFldName::TfmqelFldName(QWidget *parent)
    : TfmVxDialog(parent), m_msg(new QLabel(this)), m_name(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("Conferma"), this)),
      m_cancel(new QPushButton(QStringLiteral("Annulla"), this)),
      m_overwriteButton(new QPushButton(QStringLiteral("Sovrascrivi"), this)),
      m_always(new QCheckBox(
          QStringLiteral("Non mostrare più questa finestra e sovrascrivi sempre"), this))
{
    setObjectName(QStringLiteral("fmqelFldName"));
    setWindowTitle(QStringLiteral("Cartella"));
    m_msg->setObjectName(QStringLiteral("laMsg"));
    m_msg->setWordWrap(true);
    m_msg->setMinimumWidth(360);
    m_name->setObjectName(QStringLiteral("eFolderName"));
    m_ok->setObjectName(QStringLiteral("buOK"));
    m_ok->setDefault(true);
    m_cancel->setObjectName(QStringLiteral("buCancel"));
    m_overwriteButton->setObjectName(QStringLiteral("buSovrascrivi"));
    m_always->setObjectName(QStringLiteral("cbSovrascrivisempre"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_overwriteButton);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_msg);
    layout->addWidget(m_name);
    layout->addWidget(m_always);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(m_overwriteButton, &QPushButton::clicked, this, [this] {
        m_overwrite = true;
        m_overwriteAlways = m_always->isChecked();
        done(mrOk);
    });
}

void TfmqelFldName::SetMsg(const QString &text)
{
    m_msg->setText(text);
}

void TfmqelFldName::SetFolderName(const QString &name)
{
    m_name->setText(name);
}

void TfmqelFldName::OkClick()
{
    // Both "Conferma" and "Sovrascrivi" end here: the name is whatever the edit holds.
    m_result = m_name->text();
}

QString FolderExistsMessage(const QString &name)
{
    return QStringLiteral("Impossibile creare la cartella ") + name +
           QStringLiteral(": esiste già. Specificare un altro nome o sovrascriverla.");
}

QString SendFoldersCommand()
{
    return QLatin1Char('"') + qelCommandPath("xafDocParams") + QLatin1Char('"');
}

QString FolderNotSetMessage(const QString &mode)
{
    return QStringLiteral("Si è scelto di inviare i dati a %1 senza impostare il percorso di "
                          "invio.\r\rImpostarlo da %2 per proseguire.")
        .arg(mode, SendFoldersCommand());
}

QString FloppySendQuestion(int count)
{
    return QStringLiteral("Si è scelto di inviare i dati al Floppy da 3,5 pollici.\r\rLa procedura "
                          "chiederà un dischetto nuovo e formattato per ogni docente "
                          "selezionato.\r\rAssicurarsi di disporre di un numero sufficiente di "
                          "floppy vuoti e premere OK per proseguire o ANNULLA per "
                          "interrompere.\r\r") +
           CountText(count,
                     QStringLiteral("È stato selezionato %1 docente, è necessario %1 dischetto."),
                     QStringLiteral("Sono stati selezionati %1 docenti, sono necessari %1 "
                                    "dischetti."));
}

void RequireSendFolder(const QString &base, const QString &chooseWhere)
{
    if (QFileInfo(base).isDir())
        return;
    throw EVxException(QStringLiteral("La cartella di invio %1 non esiste.\r\rInserire il "
                                      "supporto che la contiene (chiave USB, disco) o collegare "
                                      "la cartella di rete, poi ripetere l'invio; oppure scegliere "
                                      "un'altra cartella %2.")
                           .arg(QDir::toNativeSeparators(ShortDir(base)), chooseWhere),
                       EVxException::Warning);
}

TqelFolderChoice AskFolderName(const QString &base, const QString &name, bool &overwriteAlways,
                               const QSet<QString> &written)
{
    TqelFolderChoice choice;
    if (name.trimmed().isEmpty())
        return choice;
    choice.name = TKIENormalizeString(name.trimmed());
    const auto exists = [&base](const QString &n) { return VxNameTaken(LongDir(base) + n); };
    const auto askable = [&](const QString &n) {
        return written.contains(n) || (!overwriteAlways && exists(n));
    };
    while (!choice.overwrite && askable(choice.name)) {
        TfmqelFldName dialog;
        dialog.SetFolderName(choice.name);
        dialog.SetMsg(FolderExistsMessage(choice.name));
        dialog.ShowModal();
        const QString typed = dialog.FolderName().trimmed();
        choice.overwrite = dialog.Overwrite();
        if (dialog.OverwriteAlways())
            overwriteAlways = true;
        if (typed.isEmpty())
            return {};
        choice.name = TKIENormalizeString(typed);
    }
    return choice;
}
