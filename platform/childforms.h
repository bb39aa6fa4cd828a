#pragma once

#include <QWidget>

// What a window's close handler decides, as in the suite: stay open, hide, free.
enum TCloseAction { caNone, caHide, caFree, caMinimize };

// Base of the MDI child windows. Derived windows override the handlers and call the base
// handler first. A child is freed when it closes unless its FormClose says otherwise.
class TfmVxChildBase : public QWidget
{
    Q_OBJECT
public:
    explicit TfmVxChildBase(QWidget *parent = nullptr);

    // Shows the window inside its MDI frame maximised (or itself, when it has no frame).
    void ShowMaximized();

protected:
    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual void FormKeyDown(QKeyEvent *event);
    virtual void FormClose(TCloseAction &action);

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_shownOnce = false;
};

// A general child window.
class TfmVxChildGen : public TfmVxChildBase
{
    Q_OBJECT
public:
    using TfmVxChildBase::TfmVxChildBase;
};

// A child window over the database (the lookup-table editors). Before it closes, each of
// its browse-and-edit frames with a row in edit asks whether to save it; a refused or failed
// save keeps the window open.
class TfmVxChildDB : public TfmVxChildGen
{
    Q_OBJECT
public:
    using TfmVxChildGen::TfmVxChildGen;

protected:
    void FormClose(TCloseAction &action) override;
};
