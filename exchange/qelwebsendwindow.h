#pragma once

// What the two web sends share ("Invio Tavrin-Web" and "Invio Recuperi Tavrin-Web"): the mode
// box locked on the web service's mode, the teachers of that mode in a grid with the legend
// "Dati inviati" and the three selection buttons, the mode's folder, the checks before a send,
// the login loop with the upload, and the sent marks.
//
//   class TfmqelDocSendWeb : public TqelWebSendWindow { ... };
//   ChooseWebServiceMode();                   // fills the box, chooses mode 5, locks it
//   if (!CheckSendSettings(n)) return;        // a teacher selected, a folder set
//   UploadArchive(web, wait, archive, page);  // logged in, uploaded: false raises
//   MarkSent(iAaiIds);                        // every teacher, one transaction
//
// A teacher is marked sent only once the server took the archive: a refused upload leaves the
// marks as they were and the archive in the folder.

#include "exchange/qelwebteachergrid.h"
#include "platform/dialogs.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class QVBoxLayout;
class TfmVxWait;
class TfrVxDBROGrid;
class TTavrinWebConnection;

class TqelWebSendWindow : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    ~TqelWebSendWindow() override;

    QComboBox *cbSendMode() const { return m_cbSendMode; }
    TfrVxDBROGrid *frDocenti() const { return m_grid; }
    QLabel *laLegend() const { return m_legend; }
    QelWebTeacherGrid &Teachers() { return *m_teachers; }

    int ChosenMode() const { return m_iModId; }
    // The chosen mode's folder, ending with a separator; empty when none is set.
    QString WorkFolder() const { return m_workFolder; }

    // The longest silence of the web server (tests shorten it); TdmxComm's own by default.
    void SetWebTimeout(int milliseconds) { m_webTimeout = milliseconds; }

protected:
    // With everyTeacher, each reading of the list selects every row and the grid stays
    // disabled: a send then covers the whole list.
    TqelWebSendWindow(QWidget *owner, const QList<QelWebTeacherGrid::Column> &columns,
                      bool everyTeacher);

    // The window's column: controls above the mode row go in before it.
    QVBoxLayout *MainLayout() const { return m_layout; }

    // The working context, read again.
    void ReadWorkingContext();
    // Every send mode in the box, the web service's chosen by its id (refused when the table
    // lacks it), the teachers read, the box locked.
    void ChooseWebServiceMode();
    void ReloadTeachers();

    // No teacher selected, or no folder for the mode: told, and false.
    bool CheckSendSettings(int count);
    // The folder, resolved, and the archive in it; refused when the path cannot travel in the
    // upload's header (better before a packet is written than after).
    QString ResolvedFolder() const;
    QString ArchiveIn(const QString &folder, const QString &name) const;
    // A connection with the window's time limit.
    std::unique_ptr<TTavrinWebConnection> Connect() const;
    // Asks the password until the server takes it, then uploads to the page; a refused upload
    // raises "File NON inviato correttamente!".
    void UploadArchive(TTavrinWebConnection &web, TfmVxWait &wait, const QString &archive,
                       bool makeUp);
    // Every teacher marked sent, in one transaction.
    static void MarkSent(const QList<int> &iAaiIds);

    int m_iAnsSesDwgId = 0;
    int m_iAnsId = 0;

private:
    void LoadSendFolders();
    void cbSendModeChange();

    QVBoxLayout *m_layout;
    QComboBox *m_cbSendMode;
    TfrVxDBROGrid *m_grid;
    QLabel *m_legend;
    std::unique_ptr<QelWebTeacherGrid> m_teachers;
    bool m_everyTeacher;

    QHash<int, QString> m_folders; // mode id -> its folder parameter
    int m_iModId = 0;
    QString m_workFolder;
    int m_webTimeout = 0;
};
