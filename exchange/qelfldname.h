#pragma once

#include "platform/dialogs.h"

#include <QSet>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Cartella": what to do with a target folder that already exists. "Conferma" takes the name
// in the edit (the caller tests it again), "Sovrascrivi" takes it to be emptied, "Annulla"
// (or closing the window) gives an empty name. The check box, read only with "Sovrascrivi",
// asks never to be asked again in the calling window.
class TfmqelFldName : public TfmVxDialog
{
    Q_OBJECT
public:
    explicit TfmqelFldName(QWidget *parent = nullptr);

    void SetMsg(const QString &text);
    void SetFolderName(const QString &name);

    // The chosen name; empty when the dialog was cancelled.
    QString FolderName() const { return m_result; }
    bool Overwrite() const { return m_overwrite; }
    bool OverwriteAlways() const { return m_overwriteAlways; }

    QLabel *laMsg() const { return m_msg; }
    QLineEdit *eFolderName() const { return m_name; }
    QPushButton *buOK() const { return m_ok; }
    QPushButton *buCancel() const { return m_cancel; }
    QPushButton *buSovrascrivi() const { return m_overwriteButton; }
    QCheckBox *cbSovrascrivisempre() const { return m_always; }

protected:
    void OkClick() override;

private:
    QLabel *m_msg;
    QLineEdit *m_name;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    QPushButton *m_overwriteButton;
    QCheckBox *m_always;
    QString m_result;
    bool m_overwrite = false;
    bool m_overwriteAlways = false;
};

// The question of an existing target folder, the same in every folder send.
QString FolderExistsMessage(const QString &name);

// Where the teacher sends' folders are set, as the office finds the command.
QString SendFoldersCommand();
// The warning of a web or binary send whose mode (its text) has no folder set.
QString FolderNotSetMessage(const QString &mode);
// The question before a send to diskettes of count teachers, one diskette each (OK, Cancel).
QString FloppySendQuestion(int count);
// The base folder of a folder send must be there: a folder that is set but missing (a USB key
// not inserted, a share not mounted) is named as missing, with what to do, and never created.
// chooseWhere says where another folder is chosen. Raises a warning; nothing is written.
void RequireSendFolder(const QString &base, const QString &chooseWhere);

// What the folder-exists question decided for one teacher or class.
struct TqelFolderChoice
{
    QString name;           // the folder's name under the base; empty: skip this one
    bool overwrite = false; // empty the folder before writing into it
};

// The folder-exists loop of the folder sends. The name is trimmed (empty: skipped, no
// question) and made safe as one folder name, as is every name typed in the dialog, so that
// no name from the data or the office reaches a parent folder. While base + name exists and
// the office neither overwrites nor cancels, the dialog asks again. overwriteAlways, the
// calling window's flag, skips the question and is set by the dialog's check box; a folder
// whose name is in `written` (filled under this base in this run) is asked about whatever the flag
// says, so that two teachers or classes of one name never share a folder unasked.
TqelFolderChoice AskFolderName(const QString &base, const QString &name, bool &overwriteAlways,
                               const QSet<QString> &written = {});
