#pragma once

// "Invio" (command "Invio Tavrin-Web"): the working session's data of the selected teachers of
// the web service mode go to the web service. After the confirmation wizard the packets of
// every selected teacher are written into the web folder, packed into twdocenti.zip and
// uploaded after a login; the teachers are marked sent, in one transaction, only once the
// server holds the archive. The window stays open: its grid shows the new marks.
//
// Only the nine packets this send writes are packed and deleted, by the names it wrote them
// under: the web folder may keep other files ("Docenti.xml" of the folder mode among them).
// The packets and the archive are readable by their owner only. A failed upload leaves the
// marks as they were and the archive in the folder.

#include "exchange/qelwebsendwindow.h"
#include "exchange/qelwebsessionpackets.h"

class TfmqelDocSendWeb : public TqelWebSendWindow
{
    Q_OBJECT
public:
    explicit TfmqelDocSendWeb(QWidget *owner = nullptr);
    ~TfmqelDocSendWeb() override;

    int SessionNumber() const { return m_iSesId; }

    // Whether the send may start: teachers selected, a folder set, the wizard confirmed.
    bool CheckSend(int count);

protected:
    void OkClick() override;

private:
    void LoadSendParams();
    void FormShow();
    void Send();

    QelWebSendFlags m_flags;
    int m_iSesId = 0;
};

void registerDocSendWebForms();
