#pragma once

// "Raccolta" (command "Raccolta (dischetti)"): what the teachers of the folder and medium modes
// entered comes back into the database. When shown, the window unpacks each web-folder
// teacher's returned "OUT_<iAnaId>.ZIP" into the folder recorded at sending (only inside it: a
// hostile archive writes nothing and is named with its teacher); an archive left packed, its
// recorded folder missing here, is named too. OK collects, for each selected teacher whose
// folder's Info.ini names him, the ticked classes (one teacher: the folder and classes shown;
// several: each one's recorded folder, every class), checked whole before the first is written
// (a refused folder is told, and the next teacher goes on); marks him received when a class was
// collected and no row refused, and shows the rows not written after "Operazione completata.".
//
// A recorded folder that is empty, or that neither exists nor could exist here (a path written
// by an office on Windows), is not looked at. The window's controls are off while it collects.

#include "exchange/qelfolderteacherswindow.h"

#include <QList>
#include <QString>

class QLineEdit;
class QListWidget;
class QToolButton;

class TfmqelRiceD : public TqelFolderTeachersWindow
{
    Q_OBJECT
public:
    explicit TfmqelRiceD(QWidget *owner = nullptr);
    ~TfmqelRiceD() override;

    QLineEdit *eDir() const { return m_eDir; }
    QToolButton *SpeedButton1() const { return m_pick; }
    QListWidget *clCls() const { return m_classes; }

    // The returned archives are unpacked and the list read; once, when first shown.
    void FormShow();
    // The folder shown and its classes; OK only with a class to collect.
    void ShowTeacherFolder(const QString &folder);

    // A folder recorded at sending, as it lies here; empty when there is none or it names no
    // place here.
    static QString RecordedFolder(const QString &stored);
    // Why a returned "OUT_" archive is not the teacher's, read from the Info.ini it holds before
    // anything of it is unpacked; empty when it is his.
    static QString ArchiveTeacherFault(const QString &archive, int teacherId);

protected:
    void showEvent(QShowEvent *event) override;
    // The collection (buOkClick).
    void Run() override;
    void Reload() override;

private:
    void UnpackReturnedArchives();
    void FillClassList(const QString &folder);
    QList<int> tickedClasses() const;
    // The class's description as the folder's class list shows it.
    QString className(int classId) const;
    void currentRowChanged();
    void updateOk();

    QLineEdit *m_eDir;
    QToolButton *m_pick;
    QListWidget *m_classes;
    bool m_shown = false;
};

void registerRiceDForms();
