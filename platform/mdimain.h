#pragma once

#include "platform/images.h"

#include <QList>
#include <QMainWindow>

#include <functional>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QSplitter;
class TVxOutlookBar;

// The main window base: the command bar on the left beside a splitter, the MDI area of the
// child windows on the right, a menu, and a status bar of panels. Panel 0 is the window's
// own; AddPanel appends panels 1, 2, ... whose texts come from the panel-text callback at
// every RefreshPanels.
class TfmVxMDIMain : public QMainWindow
{
    Q_OBJECT
public:
    // The callback gets the panel's index and its current text, and may change the text
    // (an index it does not know keeps its text).
    using PanelTextCallback = std::function<void(int panel, QString &text)>;

    explicit TfmVxMDIMain(QWidget *parent = nullptr);
    ~TfmVxMDIMain() override;

    QMdiArea *mdiArea() const { return m_mdiArea; }
    TVxOutlookBar *mxOLBar() const { return m_olBar; }
    QSplitter *spOLBar() const { return m_splitter; }
    QMenu *miHelp() const { return m_helpMenu; }
    // The command bar's pages and entries, filled each time it opens.
    QMenu *miCommands() const { return m_commandMenu; }
    // "Finestre": "Chiudi" (Ctrl+F4 or Ctrl+W) and "Ingrandisci" (while it is not maximised),
    // the active inner window's; the arrangements; the windows.
    QMenu *miWindow() const { return m_windowMenu; }
    QAction *acClose() const { return m_closeWindow; }
    // The command images: an entry's ImageIndex is an index here.
    TVxImageList &ilCommands() { return m_commandImages; }

    // Appends a status panel of the given width; returns its index.
    int AddPanel(int width);
    int PanelCount() const { return int(m_panels.size()); }
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString &text);
    void SetPanelTextCallback(const PanelTextCallback &callback) { m_panelText = callback; }
    void RefreshPanels();

    // Shows the window maximised on the screen it starts on (the one under the mouse), its
    // normal size fitted inside that screen for when it is restored.
    void ShowOnStartScreen();

    // The open child windows (their inner forms), in the MDI area's creation order.
    QList<QWidget *> MDIChildren() const;
    int MDIChildCount() const { return int(MDIChildren().size()); }
    // Every open window of the program: MDI children and top-level windows, main excluded.
    QList<QWidget *> OpenForms() const;

protected:
    // The suite's handlers: derived windows run the base's first, then their own.
    // FormActivate runs at every activation of the window.
    virtual void FormCreate();
    virtual void FormActivate();
    // Return false to keep the window open.
    virtual bool FormClose();

    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void refreshWindowMenu();

    QMdiArea *m_mdiArea;
    TVxOutlookBar *m_olBar;
    QSplitter *m_splitter;
    QMenu *m_helpMenu = nullptr;
    QMenu *m_commandMenu = nullptr;
    QMenu *m_windowMenu = nullptr;
    QAction *m_closeWindow = nullptr;
    TVxImageList m_commandImages{32};
    QList<QLabel *> m_panels;
    PanelTextCallback m_panelText;
};
