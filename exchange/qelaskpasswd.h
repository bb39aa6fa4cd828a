#pragma once

#include "platform/dialogs.h"

class QLineEdit;

class QLabel;

// The password of the institute on the maker's web service, asked at every login and never
// kept: the prompt says which institute's password it asks, the edit shows a "*" for every
// character and has the focus when the prompt opens.
class TfmAskPasswd : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmAskPasswd(const QString &instituteCode = QString(), QWidget *parent = nullptr);

    QLineEdit *edPasswd() const { return m_passwd; }
    QLabel *laDomanda() const { return m_question; }

private:
    QLabel *m_question;
    QLineEdit *m_passwd;
};
