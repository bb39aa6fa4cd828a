#pragma once

// The confirmation before a web send of the session: what goes out (institute, session, school
// year), the warnings of a web send, and the number of teachers chosen. Its road is "New"
// (first page, warnings, final page); the radio buttons of the other pages switch it to
// "FirstSend" or "All".

#include "platform/wizard.h"

class QLabel;
class QRadioButton;

class TfmqelDocConfirmSendWeb : public TfmVxWizard
{
    Q_OBJECT
public:
    enum Pages { tsFirst, tsAvvertenze, tsFirstSend, tsModifyConf, tsReceive, tsFinal };

    explicit TfmqelDocConfirmSendWeb(QWidget *owner = nullptr);

    // The final page's first text; its "%d" is where the caller puts the number of teachers.
    QString FinalText() const;
    void SetFinalText(const QString &text);
    // The final page's text for the number of teachers chosen, in the number that agrees.
    void SetTeacherCount(int count);

    QLabel *laIstituto() const { return m_istituto; }
    QLabel *laSessione() const { return m_sessione; }
    QLabel *laAnno() const { return m_anno; }
    QLabel *laModifyAlert() const { return m_modifyAlert; }
    QLabel *laReceiveAlert() const { return m_receiveAlert; }

protected:
    void PageShown(int page) override;

private:
    // The working institute, session and school year, read when the first page shows.
    void fillConfiguration();
    // Two radio buttons "Sì" and "No" under a question; each click runs its handler and
    // re-evaluates the buttons.
    QWidget *questionPage(const char *name, const QString &question, QRadioButton **yes,
                          QRadioButton **no);
    // A question page whose alert (hidden at first) shows on one answer and hides on the other;
    // the page is added, the alert returned.
    QLabel *alertPage(const char *name, const QString &question, const char *alertName,
                      const QString &alert, bool alertOnYes);

    QLabel *m_istituto;
    QLabel *m_sessione;
    QLabel *m_anno;
    QLabel *m_modifyAlert;
    QLabel *m_receiveAlert;
    QLabel *m_final;
    QString m_finalText;
};
