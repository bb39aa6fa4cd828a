#pragma once

#include "platform/dialogs.h"

#include <array>

class QComboBox;
class QListWidget;
class QTabWidget;

// The print settings of the whole school: the three sessions that report cards and registers
// print side by side, up to eight vote components of each, and the final outcomes whose votes
// the boards leave out. Opening copies the database's settings into the local file; OK writes
// the choices and stores the file in the database, so that every workstation prints alike.
class TfmqelParRpt : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelParRpt(QWidget *owner = nullptr);

    QTabWidget *pcMain() const { return m_main; }
    QTabWidget *pcPagelle() const { return m_pagelle; }
    // slot 1 to 3, n 1 to 8.
    QComboBox *cbSes(int slot) const { return m_ses[slot - 1]; }
    QComboBox *cbCmp(int slot, int n) const { return m_cmp[slot - 1][n - 1]; }
    QListWidget *clEsi() const { return m_esi; }

    // Selects the item of the id, then puts "[Nessuna]" first, selected when no item had the
    // id: a stored choice the list no longer offers shows as none.
    static void SelezionaSessione(QComboBox *list, int id);
    static void SelezionaComponente(QComboBox *list, int id) { SelezionaSessione(list, id); }

protected:
    // A store that fails is shown and keeps the dialog open; so does OK on a dialog whose
    // opening failed.
    void OkClick() override;

private:
    void FormShow();
    void cbSesChange(int slot);
    void storeChoices();

    QTabWidget *m_main;
    QTabWidget *m_pagelle;
    std::array<QComboBox *, 3> m_ses{};
    std::array<std::array<QComboBox *, 8>, 3> m_cmp{};
    QListWidget *m_esi;
    bool m_loading = false;
    bool m_loaded = false;
};
