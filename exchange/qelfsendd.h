#pragma once

// "Invio" (command "Invio (dischetti)"): the working session's data of the selected teachers of
// one folder or medium mode (diskette, network folder, USB key, web folder), each into a folder
// of his own under the mode's folder, written by the packet engine. The USB key gets the
// teachers' set-up program beside the packets; the web folder gets each teacher's folder as
// "<iAnaId>.ZIP" and, after the run, "Docenti.xml".
//
// A teacher is marked sent only once his folder is complete (packets, set-up copy, archive):
// a failure ends the run with its message, the teachers before it sent and marked, this one not.
// The engine's "Annulla" stops the run between two teachers. The window's controls are off
// while a send runs, so that no second send starts inside it.

#include "exchange/qelfolderteacherswindow.h"

#include <QSet>
#include <QString>

class QComboBox;
class QLabel;

class TfmqelSendD : public TqelFolderTeachersWindow
{
    Q_OBJECT
public:
    explicit TfmqelSendD(QWidget *owner = nullptr);
    ~TfmqelSendD() override;

    QComboBox *cbMod() const { return m_cbMod; }
    // Shown when no teacher has the chosen mode: where teachers get one.
    QLabel *laNessunDocente() const { return m_laNoTeachers; }

protected:
    // The send (buOkClick) and the list read again, in one run of the engine (ReadsOfRun).
    void OkClick() override;
    void Run() override;
    // The marks of the teachers sent since, as stored.
    void Reload() override;

private:
    void LoadSendModes();
    void cbModChange();
    // The mode's folder with a trailing separator; empty (after the mode's warning) when it is
    // not set; one set but missing here is refused, named as missing. The diskette's drive is
    // looked at per teacher instead.
    QString BaseFolder() const;
    // One teacher's folder: false (or a raise) when a failure, already told, ends the run.
    bool SendTeacherFolder(const QString &base, const Teacher &teacher);
    bool AskForDiskette(const QString &base, const QString &name) const;
    void CopySetup(const QString &folder);

    QComboBox *m_cbMod;
    QLabel *m_laNoTeachers;
    int m_iModId = 0;
    bool m_overwriteAlways = false;
    // The folders filled in the running send, and whether the missing set-up was told.
    QSet<QString> m_written;
    bool m_setupMissingTold = false;
    QList<int> m_marked; // the bookkeeping rows marked sent and not shown so yet
    TdmqelXML::ReadsOfRun *m_run = nullptr;
};

void registerSendDForms();
