#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QToolBox;
class QToolButton;
class TVxAttItem;
class TVxImageList;

// The command bar on the left of the main window: pages as headers, one open at a time,
// the open page's entries as large icons with their captions. Each entry is a tool button
// named after its command, so tests find it by name.
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

signals:
    // After an entry was chosen and run (ran: whether its action took place).
    void entryExecuted(TVxAttItem *entry, bool ran);

private:
    void releaseTrees();

    QToolBox *m_box;
    QList<QPointer<QWidget>> m_trees;
    const TVxImageList *m_images = nullptr;
};
