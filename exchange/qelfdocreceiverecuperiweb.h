#pragma once

// "Raccolta" (command "Raccolta Recuperi Tavrin-Web"): the outcomes, verification dates and
// test kinds of one make-up phase that the teachers entered on the web service come back into
// the make-up records. The command tells the phase before the window is shown; showing it
// logs in, asks for the phase's export and unpacks recuperi.xml into the web folder. OK
// collects every web teacher of every class of the session (the classes are all selected and
// cannot be changed; the page of one teacher is not offered) and leaves the window open, with
// the log and no closing message. Closing it deletes the make-up packets. A download that
// brings nothing to collect closes the window after its message.
//
// Built on the session's web collection: the same download, checks, class collection and log.

#include "exchange/qelfdocreceiveweb.h"
#include "shell/qelformcalls.h"

class TfmqelDocReceiveRecuperiWeb : public TfmqelDocReceiveWeb, public QelMakeupPhaseForm
{
    Q_OBJECT
    Q_INTERFACES(QelMakeupPhaseForm)
public:
    explicit TfmqelDocReceiveRecuperiWeb(QWidget *owner = nullptr);

    void SetFaseRecId(int iFaseRecId) override { m_iFreId = iFaseRecId; }
    int FaseRecId() const { return m_iFreId; }
    int AnsId() const { return m_iAnsId; }

protected:
    void PrepareDownload() override;
    void RequestExport(TTavrinWebConnection &web) override;
    void UnpackExport() override;
    void DeletePackets() override;
    void ListsOpened() override;
    void DownloadFailed() override;
    TeacherImport ClassImport(const QString &clsFilter) override;

private:
    int m_iFreId = 0;
    int m_iAnsId = 0;
};

// The window and its phase dialog.
void registerDocReceiveRecuperiWebForms();
