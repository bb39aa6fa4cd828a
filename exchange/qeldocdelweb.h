#pragma once

// The two windows that delete the institute's data from the maker's web service: a working
// session's data (with what the teachers entered on the web) and the make-up course data.
// Three guards stand before a deletion: the yellow warning, the check box that enables OK,
// and a question. The windows change nothing in the database and stay open afterwards.

#include "platform/dialogs.h"

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QVBoxLayout;
class TTavrinWebConnection;

class QelDocDelWebForm : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    QCheckBox *ckbConfirm() const { return m_confirm; }
    // The institute's code on the web service, as the last deletion read it.
    QString InstituteCode() const { return m_instituteCode; }

    struct Texts
    {
        const char *objectName;
        const char *caption;
        const char *warning;
        const char *advice;
        const char *confirm;
        const char *waitTitle;
        const char *refusedLogin; // "%1": the institute code
    };

protected:
    QelDocDelWebForm(const Texts &texts, QWidget *owner);

    // Where the session window puts its label, between the warning and the check box.
    QVBoxLayout *clientLayout() const { return m_layout; }

    // Logs in (once: a refused password ends the work with the window's text) and runs the
    // deletion, with the wait window up; then tells the office it is done.
    void DeleteFromServer(const std::function<void(TTavrinWebConnection &)> &deletion);

private:
    const Texts &m_texts;
    QVBoxLayout *m_layout;
    QCheckBox *m_confirm;
    QString m_instituteCode;
};

class TfmqelDocDelSessioneWeb : public QelDocDelWebForm
{
    Q_OBJECT
public:
    explicit TfmqelDocDelSessioneWeb(QWidget *owner = nullptr);

    int AnsSesDwgId() const { return m_iAnsSesDwgId; }
    QString SessionDescription() const { return m_description; }
    // TAnsSesDwg.iSesId of the working year-session; none when it has no row.
    std::optional<int> SessionNumber() const { return m_sessionNumber; }
    QLabel *laSessione() const { return m_label; }

protected:
    void OkClick() override;

private:
    void DeleteSessionFromServer();

    int m_iAnsSesDwgId = 0;
    QString m_description;
    std::optional<int> m_sessionNumber;
    QLabel *m_label;
};

class TfmQelDocDelRecuperiWeb : public QelDocDelWebForm
{
    Q_OBJECT
public:
    explicit TfmQelDocDelRecuperiWeb(QWidget *owner = nullptr);

protected:
    void OkClick() override;
};

void registerDocDelWebForms();
