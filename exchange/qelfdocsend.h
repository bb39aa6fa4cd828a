#pragma once

// "Invio": the working session's data of the selected teachers of a folder mode, written as
// binary teacher folders (qeldocfolder.h) under the mode's base folder, one per teacher, each
// marked sent with its folder. No command opens it: it is created by its class name.
//
// The base folders and the [Show] values of qedInfo.ini are the general parameters as read
// when the window was created. Modes without a base folder (the web modes) stop at the check.

#include "exchange/qeldocfolder.h"
#include "exchange/qelwebteachergrid.h"
#include "platform/dialogs.h"

#include <QHash>
#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class TfrVxDBROGrid;

class TfmqelDocSend : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelDocSend(QWidget *owner = nullptr);
    ~TfmqelDocSend() override;

    QComboBox *cbSendMode() const { return m_cbSendMode; }
    TfrVxDBROGrid *frDocenti() const { return m_grid; }
    QLabel *laLegend() const { return m_legend; }
    QelWebTeacherGrid &Teachers() { return *m_teachers; }
    // The chosen mode's base folder, ending with a separator; empty when none is set.
    QString BaseFolder() const { return m_baseFolder; }

    void FormShow();
    // Chooses the mode by its id and reopens the list.
    void SetSendMode(int iModId);

protected:
    void OkClick() override;

private:
    void cbSendModeChange();
    bool CheckSend(int count);
    void Send();

    QComboBox *m_cbSendMode;
    TfrVxDBROGrid *m_grid;
    QLabel *m_legend;
    std::unique_ptr<QelWebTeacherGrid> m_teachers;

    QHash<int, QString> m_folders; // mode id -> its base folder parameter
    QelDocShowValues m_show;
    bool m_askPasswd = false;
    int m_iAnsSesDwgId = 0;
    int m_iAnsId = 0;
    int m_iModId = 0;
    QString m_baseFolder;
};

void registerDocFolderForms();
