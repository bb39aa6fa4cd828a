#pragma once

// "Raccolta" (command "Raccolta Tavrin-Web"): what the teachers entered on the web service for
// the working session comes back into the database. When shown the window logs in, asks for
// the session's export and unpacks the three packets it reads into the web folder; OK then
// collects one teacher (page "Singolo") or every web teacher of the selected classes (page
// "Classe") and leaves the window open. Closing it deletes the session's packets.
//
// Both collections keep a log: a value the database rejects gets its "  ***ERRORE*** " line
// and the rest goes on. A teacher collected alone whose log holds error lines is shown them
// and is not marked received, so the office sees that the collection is to be repeated.
// Packets left by an earlier download are deleted before the new one: an archive that does
// not arrive whole, or holds no voti.xml, leaves nothing to collect and the lists closed.

#include "platform/dialogs.h"

#include <QString>
#include <QStringList>

#include <functional>

class QCheckBox;
class QTabWidget;
class TfrqelDocReceiveCls;
class TfrqelDocReceiveSingleWeb;
class TTavrinWebConnection;

class TfmqelDocReceiveWeb : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelDocReceiveWeb(QWidget *owner = nullptr);
    ~TfmqelDocReceiveWeb() override;

    QTabWidget *pcTipologia() const { return m_pages; }
    QWidget *tsSingleDoc() const { return m_singlePage; }
    QWidget *tsClasse() const { return m_classPage; }
    TfrqelDocReceiveSingleWeb *frqelDocReceiveSingle_fm() const { return m_single; }
    TfrqelDocReceiveCls *frqelDocReceiveClasse_fm() const { return m_classes; }
    QCheckBox *ckForzata() const { return m_forced; }

    int AnsSesDwgId() const { return m_iAnsSesDwgId; }
    int SessionNumber() const { return m_iSesId; }
    QString WorkFolder() const { return m_workFolder; }
    // The longest silence of the web server, and the longest a transfer may go without moving
    // (tests shorten them); the general parameters' by default.
    void SetWebTimeout(int milliseconds) { m_webTimeout = milliseconds; }
    void SetWebTimeLimit(int milliseconds) { m_webTimeLimit = milliseconds; }
    // The largest archive accepted (tests lower it); the connection's own by default.
    void SetWebDownloadCap(qint64 bytes) { m_webDownloadCap = bytes; }

    // The download and the lists; run once when the window is first shown.
    void FormShow();
    void FormClose();
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void OkClick() override;

    // What another web collection (the make-up results') does in its own way; the rest of
    // the download, the class collection and the closing is this window's.
    // Before the log-in: refuses, with the office's message, an export nobody could use.
    virtual void PrepareDownload();
    virtual void RequestExport(TTavrinWebConnection &web);
    virtual void UnpackExport();
    virtual void DeletePackets();
    // After the download, once the lists are open.
    virtual void ListsOpened() {}
    // After a download that failed, its message shown: the lists stay closed.
    virtual void DownloadFailed() {}
    // The import of one teacher into the classes of the filter, with his log; and what the
    // imports changed, which the log ends with.
    struct TeacherImport
    {
        std::function<void(int iDocId, QStringList *log)> import;
        std::function<QStringList()> summary;
        // The teacher's classes and subjects among those collected, as the log lists them
        // (QelWebCollection::AssignmentLines); none: he has nothing to collect.
        std::function<QStringList(int iDocId)> classes;
    };
    virtual TeacherImport ClassImport(const QString &clsFilter);

private:
    void DownloadTeacherData();
    void CollectByTeacher();
    void CollectByClass();
    void appendLog(const QStringList &lines);

    QTabWidget *m_pages;
    QWidget *m_singlePage;
    QWidget *m_classPage;
    TfrqelDocReceiveSingleWeb *m_single;
    TfrqelDocReceiveCls *m_classes;
    QCheckBox *m_forced;

    bool m_shown = false;
    int m_iAnsSesDwgId = 0;
    int m_iSesId = 0;
    QString m_workFolder;
    int m_webTimeout = 0;
    int m_webTimeLimit = 0;
    qint64 m_webDownloadCap = 0;
};

void registerDocReceiveWebForms();
