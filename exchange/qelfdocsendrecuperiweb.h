#pragma once

// "Invio" (command "Invio Recuperi Tavrin-Web"): the make-up courses of one phase go to the web
// service, so that each teacher enters their outcomes there. Every teacher of the web service
// mode is sent (the list is all selected and locked): the make-up rows of each teacher's
// classes and subjects, with the lookup packets, are written into the web folder, packed into
// twrecuperi.zip and uploaded after a login; the teachers are marked sent, in one transaction,
// only once the server holds the archive. The window stays open: its grid shows the new marks.
//
// Each OK first clears the verification dates stored as the old library's day zero, in every
// school year, so that the packets carry no date instead. Only the six packets this send writes
// are packed and deleted, by the names it wrote them under: the web folder keeps its other
// files. A send without a phase, or without a working year and session, is refused before
// anything is written.

#include "exchange/qelwebsendwindow.h"

class TfmqelDocSendRecuperiWeb : public TqelWebSendWindow
{
    Q_OBJECT
public:
    explicit TfmqelDocSendRecuperiWeb(QWidget *owner = nullptr);
    ~TfmqelDocSendRecuperiWeb() override;

    QComboBox *cbFaseRec() const { return m_cbFaseRec; }
    // The chosen phase's iFreId; 0 when the year has none.
    int ChosenPhase() const;

    // The rows of every school year whose verification date is the day zero, made NULL.
    static int ClearZeroVerificationDates();

protected:
    void OkClick() override;

private:
    void FormShow();
    void Send();

    QComboBox *m_cbFaseRec;
};

void registerDocSendRecuperiWebForms();
