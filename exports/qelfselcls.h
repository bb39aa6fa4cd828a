#pragma once

#include "platform/dialogs.h"

#include <QList>

class QListWidget;
class QToolBar;

// "Selezione classi": the classes of the working year (of one site, or of every site for 0),
// each ticked when the list is loaded; OK is open while at least one is ticked. The list is
// loaded once, when the picker is first shown: the user's unticks survive a message box or a
// change of focus over it.
class TfmQelSelCls : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmQelSelCls(QWidget *parent = nullptr);

    void SetSede(int iDwgSedId) { m_iDwgSedId = iDwgSedId; }
    QListWidget *clClsSes() const { return m_classes; }
    // The ids of the ticked classes, in list order.
    QList<int> ClassiSelezionate() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void LoadClassi();
    void UpdateOk();

    int m_iDwgSedId = 0;
    bool m_loaded = false;
    QToolBar *m_toolBar;
    QListWidget *m_classes;
};
