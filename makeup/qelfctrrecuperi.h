#pragma once

#include "platform/dialogs.h"

class QTreeWidget;
class QLabel;
class QPushButton;
class TdmQelControllaRecuperi;

// The correction dialog of duplicate make-up records: every record of every duplicate group
// on the left; the user moves the ones to delete to the right and confirms with OK.
class TqelFCtrRecuperi : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TqelFCtrRecuperi(QWidget *owner = nullptr, TdmQelControllaRecuperi *module = nullptr);

    // Lists the duplicates afresh (done when the dialog is created).
    void FormShow();

    QTreeWidget *lvLeft() const { return m_left; }
    QTreeWidget *lvRight() const { return m_right; }

    // Moves the selected items (or all of them) from one list to the other.
    void moveSelected(bool toRight);
    void moveAll(bool toRight);

protected:
    // OK: deletes the records of the right-hand list, says how it went, closes with OK.
    void OkClick() override;

private:
    void btnStampaListaClick();

    TdmQelControllaRecuperi *m_module;
    QLabel *m_caption;
    QTreeWidget *m_left;
    QTreeWidget *m_right;
};

// Registers the make-up windows with the form registry.
void registerMakeupForms();
