#include "exchange/qelaskpasswd.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TfmAskPasswd::TfmAskPasswd(const QString &instituteCode, QWidget *parent) : TfmVxOkCancDlg(parent)
{
    setObjectName(QStringLiteral("fmAskPasswd"));
    setWindowTitle(QStringLiteral("Password connessione al Server"));
    // Wide enough for its title whole in the window's frame.
    setMinimumWidth(420);
    auto *column = new QVBoxLayout(ClientArea());
    m_question = new QLabel(
        instituteCode.isEmpty()
            ? QStringLiteral("Password dell'istituto per il servizio Tavrin-Web di Veldrasoft:")
            : QStringLiteral("Password dell'istituto %1 per il servizio Tavrin-Web di Veldrasoft:")
                  .arg(instituteCode),
        ClientArea());
    m_question->setObjectName(QStringLiteral("laDomanda"));
    m_question->setWordWrap(true);
    column->addWidget(m_question);
    auto *row = new QHBoxLayout;
    column->addLayout(row);
    auto *label = new QLabel(QStringLiteral("&Password:"), ClientArea());
    m_passwd = new QLineEdit(ClientArea());
    m_passwd->setObjectName(QStringLiteral("edPasswd"));
    m_passwd->setEchoMode(QLineEdit::Password);
    // The style's own mask is a dot on some desktops; the office knows the star.
    m_passwd->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    m_passwd->setMinimumWidth(180);
    label->setBuddy(m_passwd);
    row->addWidget(label);
    row->addWidget(m_passwd, 1);
    m_passwd->setFocus();
}
