#pragma once

#include "platform/dialogs.h"

class QLineEdit;

// The password of the institute on the maker's web service, asked at every login and never
// kept: the edit shows a "*" for every character and has the focus when the prompt opens.
class TfmAskPasswd : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmAskPasswd(QWidget *parent = nullptr);

    QLineEdit *edPasswd() const { return m_passwd; }

private:
    QLineEdit *m_passwd;
};
