#pragma once

#include "platform/images.h"
#include "platform/keys.h"

#include <QFrame>
#include <QList>

class QAbstractButton;
class QAction;
class QKeySequence;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QToolBar;
class QToolButton;
class QVBoxLayout;

// The frame bases. A frame has a caption bar (RefreshFrameCaption shows its Caption, or its
// hint when it has none), FrameEnter for the host to call when the frame becomes the working
// one, and (TfrVxBase) its actions with their image list on a tool bar.
class TfrVxVuoto : public QFrame
{
    Q_OBJECT
public:
    explicit TfrVxVuoto(QWidget *parent = nullptr);

    void SetCaption(const QString &caption) { m_caption = caption; }
    QString Caption() const { return m_caption; }
    void RefreshFrameCaption();
    QLabel *laFrameCaption() const { return m_captionLabel; }
    // Where the frame's own controls go, below the caption bar.
    QVBoxLayout *FrameLayout() const { return m_layout; }

private:
    QString m_caption;
    QLabel *m_captionLabel;
    QVBoxLayout *m_layout;
};

class TfrVxGen : public TfrVxVuoto
{
    Q_OBJECT
public:
    using TfrVxVuoto::TfrVxVuoto;
    // The host calls it when the frame becomes the one the user works in.
    virtual void FrameEnter() {}
};

class TfrVxBase : public TfrVxGen
{
    Q_OBJECT
public:
    explicit TfrVxBase(QWidget *parent = nullptr);

    // The action image list (16 pixels): an action's image number is an index here.
    TVxImageList &ilFrame() { return m_images; }
    // The control bar with the frame's tool bar.
    QWidget *orFrame() const { return m_controlBar; }
    QToolBar *xoaCustom() const { return m_toolBar; }
    QList<QAction *> alFrame() const;

    // Adds an action (named, with caption, hint and image number) to the tool bar.
    QAction *AddFrameAction(const QString &name, const QString &caption, int imageIndex,
                            const QString &hint = {});
    QAction *FrameAction(const QString &name) const;
    void SetImageIndex(QAction *action, int imageIndex);
    // Every command stays on the tool bar, none behind its "»": where the row is too narrow
    // for the captions, buttons from the last show their image alone (the caption, the hint
    // and the key in the tooltip). Done as the row is resized, its commands change or what
    // stands beside the bar (a summary) changes its width.
    void FitToolBar();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static int buttonWidth(QToolButton *button, Qt::ToolButtonStyle style);

    TVxImageList m_images{16};
    QWidget *m_controlBar;
    QToolBar *m_toolBar;
};

// Two lists and the buttons that move items between them (selected or all). Items keep
// their data (Qt::UserRole) as they move. Under each list three buttons select all its items,
// invert its selection or select none, so a long list of classes is chosen in a few clicks.
class TfrVxDoubleListView : public TfrVxBase
{
    Q_OBJECT
public:
    explicit TfrVxDoubleListView(QWidget *parent = nullptr);

    QListWidget *lvLeft() const { return m_left; }
    QListWidget *lvRight() const { return m_right; }
    QListWidgetItem *AddLeft(const QString &text, const QVariant &data = {});
    QListWidgetItem *AddRight(const QString &text, const QVariant &data = {});

    void MoveSelectedRight();
    void MoveSelectedLeft();
    void MoveAllRight();
    void MoveAllLeft();

    // On one list: lvLeft() or lvRight().
    static void SelectAll(QListWidget *list);
    static void InvertSelection(QListWidget *list);
    static void SelectNone(QListWidget *list);

signals:
    void itemsMoved();

private:
    void move(QListWidget *from, QListWidget *to, bool all);

    QListWidget *m_left;
    QListWidget *m_right;
};
