#pragma once

#include "platform/outlookbar.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QMdiArea;
class QWidget;
class TVxApgPage;
class TdmVxAttivazioni;

// One item of a command table: a page or a command. Commands run their BeforeExecute
// (which may refuse), their action, then AfterExecute; form commands call
// OnInizializedForm with the window they created in between. An exception thrown by a
// handler ends the command and reaches the caller of Execute; the command bar shows it.
class TVxAttItem : public QObject
{
    Q_OBJECT
public:
    enum Kind { Page, Form, Component, Shell, Report };

    using BeforeExecuteHandler = std::function<void(TVxAttItem *sender, bool &allowed)>;
    using AfterExecuteHandler = std::function<void(TVxAttItem *sender)>;

    TVxAttItem(Kind kind, const QString &name, TdmVxAttivazioni *table);

    Kind kind() const { return m_kind; }
    TdmVxAttivazioni *table() const { return m_table; }

    QString Caption;
    int Order = 0;
    int ImageIndex = -1;
    bool Visible = true;
    bool Enabled = true;
    int HelpContext = -1;

    // The page the entry stands on; none for entries offered only through Execute. The page
    // may belong to another table (a merged table's entries join this table's pages).
    TVxApgPage *ParentPage() const { return m_parentPage; }
    void SetParentPage(TVxApgPage *page) { m_parentPage = page; }

    BeforeExecuteHandler BeforeExecute;
    AfterExecuteHandler AfterExecute;

    // Runs the command as if chosen. Returns whether its action ran (false when
    // BeforeExecute refused or the action could not start).
    bool Execute();

protected:
    // The command's own action; returns whether it ran.
    virtual bool DoAction() = 0;

private:
    Kind m_kind;
    TdmVxAttivazioni *m_table;
    QPointer<TVxApgPage> m_parentPage;
};

// A page of the command bar. Entries stand in Order; a Sorted page puts entries of equal
// Order in caption order, an unsorted one keeps them as they were added.
class TVxApgPage : public TVxAttItem
{
    Q_OBJECT
public:
    TVxApgPage(const QString &name, TdmVxAttivazioni *table) : TVxAttItem(Page, name, table) {}
    bool Sorted = false;
    bool InMenu = true;

protected:
    bool DoAction() override { return true; }
};

// Opens a registered window by class name: modal, or an MDI child (one instance unless
// MultipleInstance; a second request brings the open one forward).
class TVxAttForm : public TVxAttItem
{
    Q_OBJECT
public:
    TVxAttForm(const QString &name, TdmVxAttivazioni *table) : TVxAttItem(Form, name, table) {}
    QString ClasseForm;
    bool ModalForm = false;
    bool MultipleInstance = false;
    std::function<void(TVxAttItem *sender, QWidget *form)> OnInizializedForm;

    // The window opened (or brought forward) by the last run; none after a modal one.
    QWidget *LastForm() const { return m_lastForm; }

protected:
    bool DoAction() override;

private:
    QPointer<QWidget> m_lastForm;
};

// Runs its own handler.
class TVxAttComponent : public TVxAttItem
{
    Q_OBJECT
public:
    TVxAttComponent(const QString &name, TdmVxAttivazioni *table)
        : TVxAttItem(Component, name, table)
    {
    }
    std::function<void(TVxAttItem *sender)> OnExecute;

protected:
    bool DoAction() override;
};

// Starts an external program (Directory + FileName, arguments Param split at blanks,
// double quotes group). Without WaitEndOfProcess it does not wait. A missing program or
// one that cannot start is reported to the user and the command counts as not run.
class TVxAttShell : public TVxAttItem
{
    Q_OBJECT
public:
    TVxAttShell(const QString &name, TdmVxAttivazioni *table) : TVxAttItem(Shell, name, table) {}
    QString Directory;
    QString FileName;
    QString Param;
    int ShellStyle = 1; // SW_SHOWNORMAL
    bool WaitEndOfProcess = false;

    // The program path the command would start (Directory and FileName, backslashes and
    // letter case of the stored Windows path resolved).
    QString ProgramPath() const;

protected:
    bool DoAction() override;
};

// The report command: its action shows the report tree of the application code, which the
// reports subsystem supplies through ReportTree and ShowReports.
class TVxAttReport : public TVxAttItem
{
    Q_OBJECT
public:
    TVxAttReport(const QString &name, TdmVxAttivazioni *table) : TVxAttItem(Report, name, table) {}
    QString CodAppl;
    // The report tree widget (none until the reports subsystem sets it).
    QWidget *GetRptTreeView() const { return m_tree; }
    void SetRptTreeView(QWidget *tree) { m_tree = tree; }
    std::function<void(TVxAttReport *sender)> OnShowReports;

protected:
    bool DoAction() override;

private:
    QPointer<QWidget> m_tree;
};

// Runs a command chosen by the user: an office-facing failure thrown by its handlers is
// shown once, as the suite's framework does. Returns whether the action ran.
bool RunCommandShowingErrors(TVxAttItem *item);

// A command table: pages and entries, filled into a command bar.
class TdmVxAttivazioni : public QObject
{
    Q_OBJECT
public:
    explicit TdmVxAttivazioni(QObject *parent = nullptr);

    TVxApgPage *AddPage(const QString &name, const QString &caption, int order, bool sorted = false,
                        bool visible = true);
    TVxAttForm *AddForm(const QString &name, const QString &caption, const QString &classeForm,
                        TVxApgPage *page, int order, int imageIndex, bool modal = false);
    TVxAttComponent *AddComponent(const QString &name, const QString &caption, TVxApgPage *page,
                                  int order, int imageIndex);
    TVxAttShell *AddShell(const QString &name, const QString &caption, TVxApgPage *page, int order,
                          int imageIndex);
    TVxAttReport *AddReport(const QString &name, const QString &caption, TVxApgPage *page,
                            int order, int imageIndex);

    // An item of this table or of a merged table, by name (any letter case).
    TVxAttItem *Item(const QString &name) const;
    template <typename T> T *ItemAs(const QString &name) const
    {
        return qobject_cast<T *>(Item(name));
    }

    // Merges another table: its entries may stand on this table's pages and are offered
    // with them; its own pages are not shown. The other table stays owned by its owner.
    void Merge(TdmVxAttivazioni *other);

    // This table's pages in Order (visible or not).
    QList<TVxApgPage *> Pages() const;
    // The entries on a page, from this table and the merged ones, in bar order.
    QList<TVxAttItem *> Entries(const TVxApgPage *page) const;
    // Every entry of this table and the merged ones (pages excluded).
    QList<TVxAttItem *> AllEntries() const;

    void SetContainer(TVxOutlookBar *bar);
    TVxOutlookBar *Container() const { return m_container; }
    // Fills the container: visible pages with their visible entries.
    void Execute();

    // Where MDI children of form commands go; none shows them as top-level windows.
    static void SetMdiArea(QMdiArea *area);
    static QMdiArea *MdiArea();
    // Shows a window as a child of the MDI area (freed when it closes), and brings it forward;
    // without an area, as a top-level window.
    static void ShowChild(QWidget *form);
    // The main window's command image of that number; a null icon when there is none.
    static QIcon CommandImage(int index);

private:
    friend class TVxAttItem;
    void collectEntries(QList<TVxAttItem *> &out, QList<const TdmVxAttivazioni *> &seen) const;

    QList<QPointer<TVxAttItem>> m_items;
    QList<QPointer<TdmVxAttivazioni>> m_merged;
    QPointer<TVxOutlookBar> m_container;
};
