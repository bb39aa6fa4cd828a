#pragma once

#include "exchange/qelportalpackages.h"

#include <QObject>

class QComboBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QRadioButton;

// The choices the two windows of the pupils' portal share: institute ("Tutti" last), school
// year, session of the institute's year ("Tutte" last), the operation and the suspended pupils'
// votes. Made and laid out by the window; filled and preselected from the working context by
// load().
class QelPortalSelection : public QObject
{
    Q_OBJECT
public:
    // The captions of the institute's label and of the operation's group differ between the
    // two windows.
    QelPortalSelection(QWidget *parent, const QString &instituteCaption,
                       const QString &operationCaption);

    // Institute, year and session, one row each.
    QFormLayout *contextRows() const { return m_rows; }
    QGroupBox *rgOperazione() const { return m_operation; }
    QGroupBox *rgSospesi() const { return m_suspended; }

    QComboBox *cbIstituto() const { return m_institute; }
    QLineEdit *edAnnoScol() const { return m_year; }
    QComboBox *cbSessione() const { return m_session; }
    QRadioButton *rbGenera() const { return m_generate; }
    QRadioButton *rbCancella() const { return m_clear; }

    // Fills the institutes and the year, then the sessions; the institute and the session of
    // the working context are chosen when set. Raises EVxException when the lists cannot be
    // read.
    void load();

    // The confirmation asked before clearing the packages.
    static QString clearQuestion();

    int iDwgId() const;       // 0: "Tutti"
    int iAnsSesDwgId() const; // 0: "Tutte"
    QelSuspendedVotes suspended() const;

private:
    void loadSessions();

    QComboBox *m_institute;
    QLineEdit *m_year;
    QComboBox *m_session;
    QFormLayout *m_rows;
    QGroupBox *m_operation;
    QRadioButton *m_generate;
    QRadioButton *m_clear;
    QGroupBox *m_suspended;
    QRadioButton *m_suspendedChoices[3];
};
