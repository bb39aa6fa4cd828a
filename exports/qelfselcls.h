#pragma once

#include "platform/dialogs.h"

#include <QList>

class QListWidget;
class QToolBar;

// "Selezione classi": the classes of the working year (of one site, or of every site for 0),
// each ticked when the list is loaded; OK is open while at least one is ticked. The list is
// loaded once, before the picker is shown: the user's unticks survive a message box or a
// change of focus over it.
class TfmQelSelCls : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmQelSelCls(QWidget *parent = nullptr);

    // The classes of the site (0: every site), all ticked.
    void LoadClassi(int iDwgSedId);
    QListWidget *clClsSes() const { return m_classes; }
    // The ids of the ticked classes, in list order.
    QList<int> ClassiSelezionate() const;

private:
    void UpdateOk();

    QToolBar *m_toolBar;
    QListWidget *m_classes;
};
