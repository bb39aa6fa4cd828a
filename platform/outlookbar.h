#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QMenu;
class QToolBox;
class QToolButton;
class TVxAttItem;
class TVxImageList;

// The command bar on the left of the main window: pages as headers, one open at a time,
// the open page's entries as large icons with their captions. Each entry is a tool button
// named after its command, so tests find it by name.
//
// The keyboard works it as the mouse does: FocusBar gives it the keyboard (the main window's
// F6); Up and Down (Tab too) go from entry to entry, Home and End to the first and last,
// Return or Space runs the entry, Page Up and Page Down (from the report list too) open the
// page before or after. The entry with the keyboard is scrolled into sight and drawn framed.
// A report list takes the keyboard through its tree's focus proxy. FillMenu lists the same
// pages and entries in a menu.
class TVxOutlookBar : public QWidget
{
    Q_OBJECT
public:
    explicit TVxOutlookBar(QWidget *parent = nullptr);
    ~TVxOutlookBar() override;

    // The command images an entry's ImageIndex refers to (the main window's list).
    void SetImages(const TVxImageList *images) { m_images = images; }

    void Clear();
    int AddPage(const QString &name, const QString &caption);
    // An entry is a large button; a report command whose report tree is set shows the tree
    // itself in the page (the tree stays its owner's: clearing the bar gives it back).
    QWidget *AddEntry(int page, TVxAttItem *entry);

    int PageCount() const;
    QString PageCaption(int page) const;
    void ActivatePage(int page);
    int ActivePage() const;
    QToolButton *EntryButton(const QString &name) const;
    // The captions of a page's entries, in order.
    QStringList EntryCaptions(int page) const;

    // Gives the keyboard to the open page: its first entry, or the report list it holds (the
    // tree's focus proxy).
    void FocusBar();
    // Adds one submenu per page, each entry an action that runs it as its button does (a page
    // holding the report list has one action that opens it).
    void FillMenu(QMenu *menu);

signals:
    // After an entry was chosen and run (ran: whether its action took place).
    void entryExecuted(TVxAttItem *entry, bool ran);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void releaseTrees();
    QList<QWidget *> pageWidgets(int page) const;
    void openPage(int page);
    void keepInSight(QWidget *w);
    void fitWidestEntry(QWidget *content);

    QToolBox *m_box;
    QList<QPointer<QWidget>> m_trees;
    const TVxImageList *m_images = nullptr;
};
