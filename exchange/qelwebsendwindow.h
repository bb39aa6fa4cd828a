#pragma once

// What the two web sends share ("Invio Tavrin-Web" and "Invio Recuperi Tavrin-Web"): the mode
// box locked on the web service's mode, the teachers of that mode in a grid with the legend
// "Dati inviati" and the three selection buttons, the mode's folder, the checks before a send,
// the login loop with the upload, and the sent marks.
//
//   class TfmqelDocSendWeb : public TqelWebSendWindow { ... };
//   ChooseWebServiceMode();                   // fills the box, chooses mode 5, locks it
//   if (!CheckSendSettings(n)) return;        // a teacher selected, a folder set
//   RunSend(rows, course);                    // written, packed, uploaded, marked
//
// A teacher is marked sent only once the server took the archive: a refused upload leaves the
// marks as they were and the archive in the folder.

#include "exchange/qelwebteachergrid.h"
#include "platform/dialogs.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QVBoxLayout;
class TfrVxDBROGrid;

// What one web send writes and where it goes; RunSend calls the steps in this order.
struct TqelWebSendCourse
{
    const char *archiveName = nullptr; // in the work folder
    bool makeUp = false;               // to "caricarec.php", else "carica.php"
    bool cancellable = false;          // "Annulla" offered while the packets are written
    std::function<void(const QString &folder)> deleteOld;
    // Inside the reading transaction: start, then each selected row of the teacher list, then
    // write, which returns the files written.
    std::function<void()> start;
    std::function<void(int row)> addTeacher;
    std::function<QStringList(const QString &folder)> write;
};

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

    // The longest silence of the web server, and the longest a transfer may go without moving
    // (tests shorten them); the general parameters' by default.
    void SetWebTimeout(int milliseconds) { m_webTimeout = milliseconds; }
    void SetWebTimeLimit(int milliseconds) { m_webTimeLimit = milliseconds; }

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
    // The send of the rows, checked already: the old packets deleted, every teacher's written
    // in one reading transaction, packed; the password asked until the server takes it, the
    // archive uploaded (a refusal raises "File NON inviato correttamente!" and leaves it in the
    // folder); then every teacher marked in one transaction, the archive deleted, the list read
    // again and the success told. The archive's path is refused before a packet is written
    // when it cannot travel in the upload's header.
    void RunSend(const QList<int> &rows, const TqelWebSendCourse &course);

    int m_iAnsSesDwgId = 0;
    int m_iAnsId = 0;

private:
    void LoadSendFolders();
    // Every teacher marked sent, in one transaction.
    static void MarkSent(const QList<int> &iAaiIds);
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
    int m_webTimeLimit = 0;
};
