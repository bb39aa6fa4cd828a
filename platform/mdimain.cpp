#include "platform/mdimain.h"

#include "platform/attivazioni.h"
#include "platform/keys.h"
#include "platform/messagedlg.h"
#include "platform/outlookbar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>

TfmVxMDIMain::TfmVxMDIMain(QWidget *parent)
    : QMainWindow(parent), m_mdiArea(new QMdiArea), m_olBar(new TVxOutlookBar),
      m_splitter(new QSplitter(Qt::Horizontal))
{
    setObjectName(QStringLiteral("fmVxMDIMain"));
    initPlatformResources();
    setWindowIcon(VxImage(QStringLiteral("VXAPP")));
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setBackground(QColor(0x8f, 0x9c, 0xb3));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_olBar->setObjectName(QStringLiteral("mxOLBar"));
    m_olBar->SetImages(&m_commandImages);
    m_splitter->setObjectName(QStringLiteral("spOLBar"));
    m_splitter->addWidget(m_olBar);
    m_splitter->addWidget(m_mdiArea);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({209, 800});
    m_splitter->setChildrenCollapsible(false);
    setCentralWidget(m_splitter);

    auto *panel0 = new QLabel;
    panel0->setObjectName(QStringLiteral("panel0"));
    panel0->setText(QStringLiteral(" Pronto"));
    panel0->setMinimumWidth(120);
    statusBar()->setObjectName(QStringLiteral("sbMain"));
    statusBar()->addWidget(panel0, 1);
    m_panels.append(panel0);

    buildMenus();
    TdmVxAttivazioni::SetMdiArea(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this] { refreshWindowMenu(); });
    resize(1100, 720);
}

TfmVxMDIMain::~TfmVxMDIMain()
{
    if (TdmVxAttivazioni::MdiArea() == m_mdiArea)
        TdmVxAttivazioni::SetMdiArea(nullptr);
}

void TfmVxMDIMain::buildMenus()
{
    menuBar()->setObjectName(QStringLiteral("mmMenu"));
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("miFile"));
    QAction *exit = file->addAction(VxImage(QStringLiteral("VXEXIT")), QStringLiteral("&Esci"));
    exit->setObjectName(QStringLiteral("acExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    // Every command by keyboard: F6 reaches the command bar, the menu lists its pages.
    auto *bar = new QAction(QStringLiteral("&Barra dei comandi"), this);
    bar->setObjectName(QStringLiteral("acCommandBar"));
    VxSetShortcuts(this, bar, {QKeySequence(Qt::Key_F6)}, Qt::WindowShortcut);
    connect(bar, &QAction::triggered, m_olBar, &TVxOutlookBar::FocusBar);
    m_commandMenu = menuBar()->addMenu(QStringLiteral("&Comandi"));
    m_commandMenu->setObjectName(QStringLiteral("miCommands"));
    connect(m_commandMenu, &QMenu::aboutToShow, this, [this, bar] {
        // The submenus of the last opening go with their actions.
        qDeleteAll(m_commandMenu->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly));
        m_commandMenu->clear();
        m_commandMenu->addAction(bar);
        m_commandMenu->addSeparator();
        m_olBar->FillMenu(m_commandMenu);
    });

    // The active inner window closes by the keys the office knows from every other program.
    // Each inner window's own menu claims them too (which of them depends on the platform), one
    // claim per window open, and a key claimed twice runs nothing: the claim is the main
    // window's alone, taken from each inner window as it is first shown.
    m_closeWindow = new QAction(QStringLiteral("&Chiudi"), this);
    m_closeWindow->setObjectName(QStringLiteral("acClose"));
    VxSetShortcuts(this, m_closeWindow,
                   {QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)},
                   Qt::WindowShortcut);
    m_mdiArea->viewport()->installEventFilter(this);
    connect(m_closeWindow, &QAction::triggered, m_mdiArea, &QMdiArea::closeActiveSubWindow);
    m_windowMenu = menuBar()->addMenu(QStringLiteral("F&inestre"));
    m_windowMenu->setObjectName(QStringLiteral("miWindow"));
    connect(m_windowMenu, &QMenu::aboutToShow, this, [this] { refreshWindowMenu(); });
    refreshWindowMenu();

    m_helpMenu = menuBar()->addMenu(QStringLiteral("&?"));
    m_helpMenu->setObjectName(QStringLiteral("miHelp"));
}

void TfmVxMDIMain::refreshWindowMenu()
{
    m_windowMenu->clear();
    QMdiSubWindow *active = m_mdiArea->activeSubWindow();
    m_closeWindow->setEnabled(active != nullptr);
    m_windowMenu->addAction(m_closeWindow);
    // Without a mouse the window's own buttons are out of reach.
    QAction *maximize = m_windowMenu->addAction(QStringLiteral("&Ingrandisci"));
    maximize->setObjectName(QStringLiteral("acMaximize"));
    maximize->setEnabled(active && !active->isMaximized());
    connect(maximize, &QAction::triggered, this, [this] {
        if (QMdiSubWindow *sub = m_mdiArea->activeSubWindow())
            sub->showMaximized();
    });
    QAction *cascade = m_windowMenu->addAction(VxImage(QStringLiteral("VXCASCADE")),
                                               QStringLiteral("&Sovrapponi"));
    cascade->setObjectName(QStringLiteral("acCascade"));
    connect(cascade, &QAction::triggered, m_mdiArea, &QMdiArea::cascadeSubWindows);
    QAction *tile =
        m_windowMenu->addAction(VxImage(QStringLiteral("VXTILE")), QStringLiteral("&Affianca"));
    tile->setObjectName(QStringLiteral("acTile"));
    connect(tile, &QAction::triggered, m_mdiArea, &QMdiArea::tileSubWindows);
    QAction *closeAll = m_windowMenu->addAction(QStringLiteral("Chiudi &tutte"));
    closeAll->setObjectName(QStringLiteral("acCloseAll"));
    connect(closeAll, &QAction::triggered, m_mdiArea, &QMdiArea::closeAllSubWindows);
    const QList<QMdiSubWindow *> subs = m_mdiArea->subWindowList();
    if (!subs.isEmpty())
        m_windowMenu->addSeparator();
    int number = 1;
    for (QMdiSubWindow *sub : subs) {
        QAction *action =
            m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(number).arg(sub->windowTitle()));
        action->setObjectName(QStringLiteral("acWindow%1").arg(number++));
        action->setCheckable(true);
        action->setChecked(sub == m_mdiArea->activeSubWindow());
        connect(action, &QAction::triggered, this,
                [this, sub] { m_mdiArea->setActiveSubWindow(sub); });
    }
}

int TfmVxMDIMain::AddPanel(int width)
{
    auto *panel = new QLabel;
    panel->setObjectName(QStringLiteral("panel%1").arg(m_panels.size()));
    panel->setMinimumWidth(width);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    statusBar()->addPermanentWidget(panel);
    m_panels.append(panel);
    return int(m_panels.size()) - 1;
}

QString TfmVxMDIMain::PanelText(int panel) const
{
    return panel >= 0 && panel < m_panels.size() ? m_panels.at(panel)->text() : QString();
}

void TfmVxMDIMain::SetPanelText(int panel, const QString &text)
{
    if (panel >= 0 && panel < m_panels.size())
        m_panels.at(panel)->setText(text);
}

void TfmVxMDIMain::RefreshPanels()
{
    if (!m_panelText)
        return;
    for (int i = 0; i < m_panels.size(); ++i) {
        QString text = m_panels.at(i)->text();
        m_panelText(i, text);
        m_panels.at(i)->setText(text);
    }
}

void TfmVxMDIMain::ShowOnStartScreen()
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        resize(size().boundedTo(area.size()));
        move(area.center() - rect().center());
    }
    showMaximized();
}

QList<QWidget *> TfmVxMDIMain::MDIChildren() const
{
    QList<QWidget *> children;
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->widget() && !sub->isHidden() && !sub->widget()->property("vxFormClosed").toBool())
            children.append(sub->widget());
    }
    return children;
}

QList<QWidget *> TfmVxMDIMain::OpenForms() const
{
    QList<QWidget *> forms = MDIChildren();
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top != this && top->isVisible() && top->isWindow() &&
            !qobject_cast<QMdiSubWindow *>(top) && !forms.contains(top))
            forms.append(top);
    }
    return forms;
}

void TfmVxMDIMain::FormCreate() {}

void TfmVxMDIMain::FormActivate() {}

bool TfmVxMDIMain::FormClose()
{
    m_mdiArea->closeAllSubWindows();
    // A child that refused to close (unsaved work kept) keeps the program open.
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList()) {
        if (!sub->isHidden())
            return false;
    }
    return true;
}

bool TfmVxMDIMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ChildPolished && watched == m_mdiArea->viewport()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(static_cast<QChildEvent *>(event)->child()))
            for (QAction *action : sub->actions())
                action->setShortcuts({});
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfmVxMDIMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        RunShowingErrors([this] { FormActivate(); });
    return QMainWindow::event(event);
}

void TfmVxMDIMain::closeEvent(QCloseEvent *event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}
