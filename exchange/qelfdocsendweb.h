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

#include "exchange/qelwebsessionpackets.h"
#include "exchange/qelwebteachergrid.h"
#include "platform/dialogs.h"

#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class TfrVxDBROGrid;

class TfmqelDocSendWeb : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelDocSendWeb(QWidget *owner = nullptr);
    ~TfmqelDocSendWeb() override;

    QComboBox *cbSendMode() const { return m_cbSendMode; }
    TfrVxDBROGrid *frDocenti() const { return m_grid; }
    QLabel *laLegend() const { return m_legend; }
    QelWebTeacherGrid &Teachers() { return *m_teachers; }

    int SessionNumber() const { return m_iSesId; }
    int ChosenMode() const { return m_iModId; }
    // The chosen mode's folder, ending with a separator; empty when none is set.
    QString WorkFolder() const { return m_workFolder; }

    // The longest silence of the web server (tests shorten it); TdmxComm's own by default.
    void SetWebTimeout(int milliseconds) { m_webTimeout = milliseconds; }

    // Whether the send may start: teachers selected, a folder set, the wizard confirmed.
    bool CheckSend(int count);

protected:
    void OkClick() override;

private:
    void LoadSendParams();
    void FormShow();
    void cbSendModeChange();
    void reloadTeachers();
    void Send();
    // Packs the files into the archive (replacing it), then deletes them.
    void ZipWorkXml(const QStringList &files, const QString &archive);
    // Marks every teacher sent, in one transaction.
    void MarkSent(const QList<int> &iAaiIds);

    QComboBox *m_cbSendMode;
    TfrVxDBROGrid *m_grid;
    QLabel *m_legend;
    std::unique_ptr<QelWebTeacherGrid> m_teachers;

    QHash<int, QString> m_folders; // mode id -> its folder parameter
    QelWebSendFlags m_flags;
    int m_iAnsSesDwgId = 0;
    int m_iAnsId = 0;
    int m_iSesId = 0;
    int m_iModId = 0;
    QString m_workFolder;
    int m_webTimeout = 0;
};

void registerDocSendWebForms();
