#pragma once

#include "platform/dialogs.h"

class QAction;
class QPushButton;
class QToolButton;
class TVxDirectoryEdit;
class TdmxComm;

// Downloads the maker's archive of report templates into a folder the office chooses, for
// importing into the scrutiny program, and opens the maker's board of custom reports.
class TfmQelAggStampe : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmQelAggStampe(QWidget *owner = nullptr);

    TVxDirectoryEdit *dePercorso() const { return m_folder; }
    QPushButton *buDwnLoadStampe() const { return m_download; }
    QToolButton *SpeedButton1() const { return m_board; }
    QAction *BrowseURL1() const { return m_browse; }
    TdmxComm *comm() const { return m_comm; }

    // The archive's address on the support server; raises EVxException when the server is
    // not configured.
    static QString ArchiveUrl();
    // Downloads into the file, which is replaced only by a complete download: a failed one
    // leaves the office the archive it had. Raises EVxException with the message shown.
    bool ScaricaFile(const QString &url, const QString &fileName);

private:
    void buDwnLoadStampeClick();
    void BrowseURL1Execute();

    TVxDirectoryEdit *m_folder;
    QPushButton *m_download;
    QToolButton *m_board;
    QAction *m_browse;
    TdmxComm *m_comm;
};
