#include "platform/attivazioni.h"

#include "platform/formregistry.h"
#include "platform/maindir.h"
#include "platform/mdimain.h"
#include "platform/messagedlg.h"
#include "platform/outlookbar.h"
#include "platform/vxexception.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

QPointer<QMdiArea> &mdiArea()
{
    static QPointer<QMdiArea> area;
    return area;
}

void bringForward(QWidget *window)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget())) {
        if (sub->isMinimized())
            sub->showNormal();
        if (QMdiArea *area = sub->mdiArea())
            area->setActiveSubWindow(sub);
        return;
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void showChild(QWidget *form)
{
    form->setAttribute(Qt::WA_DeleteOnClose);
    if (QMdiArea *area = mdiArea()) {
        // The window keeps the size its class gave it; the frame grows around it.
        const QSize wanted = form->testAttribute(Qt::WA_Resized) ? form->size() : QSize();
        QMdiSubWindow *sub = area->addSubWindow(form);
        sub->setObjectName(QStringLiteral("sub") + form->objectName());
        sub->setWindowIcon(form->windowIcon());
        sub->show();
        // A window that maximised itself as it was shown fills the area as it is: a size of its
        // own would leave it maximised yet short of the area's edges.
        if (sub->isMaximized()) {
            area->setActiveSubWindow(sub);
            return;
        }
        if (wanted.isValid())
            sub->resize(wanted + (sub->size() - form->size()));
        // A window larger than the work area, or placed past its edge, would open with its
        // title bar or buttons out of reach.
        const QSize room = area->viewport()->size();
        QRect geometry = sub->geometry();
        geometry.setSize(geometry.size().boundedTo(room));
        geometry.moveLeft(qBound(0, geometry.left(), qMax(0, room.width() - geometry.width())));
        geometry.moveTop(qBound(0, geometry.top(), qMax(0, room.height() - geometry.height())));
        sub->setGeometry(geometry);
        area->setActiveSubWindow(sub);
        return;
    }
    form->show();
}

int runModal(QWidget *form)
{
    if (auto *dialog = qobject_cast<QDialog *>(form))
        return VxExecModal(dialog);
    // A window class that is not a dialog still opens modally inside a plain dialog.
    QDialog host;
    host.setObjectName(QStringLiteral("dlgModalHost"));
    host.setWindowTitle(form->windowTitle());
    auto *layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    form->setParent(&host);
    layout->addWidget(form);
    return VxExecModal(&host);
}

} // namespace

TVxAttItem::TVxAttItem(Kind kind, const QString &name, TdmVxAttivazioni *table)
    : QObject(table), m_kind(kind), m_table(table)
{
    setObjectName(name);
    if (table)
        table->m_items.append(this);
}

bool TVxAttItem::Execute()
{
    if (!Enabled)
        return false;
    bool allowed = true;
    if (BeforeExecute)
        BeforeExecute(this, allowed);
    if (!allowed || !DoAction())
        return false;
    if (AfterExecute)
        AfterExecute(this);
    return true;
}

bool TVxAttForm::DoAction()
{
    m_lastForm = nullptr;
    if (!FormRegistry::isRegistered(ClasseForm)) {
        VxMessageDlg(QStringLiteral("Impossibile aprire \"%1\": la finestra %2 non è disponibile.")
                         .arg(Caption.trimmed(), ClasseForm),
                     mtError, mbOK);
        return false;
    }
    if (!ModalForm && !MultipleInstance) {
        const QList<QWidget *> open = FormRegistry::instances(ClasseForm);
        if (!open.isEmpty()) {
            bringForward(open.first());
            m_lastForm = open.first();
            return true;
        }
    }
    std::unique_ptr<QWidget> form(FormRegistry::create(ClasseForm));
    if (!form) {
        VxMessageDlg(QStringLiteral("Impossibile aprire \"%1\".").arg(Caption.trimmed()), mtError,
                     mbOK);
        return false;
    }
    if (form->objectName().isEmpty())
        form->setObjectName(FormRegistry::registeredName(ClasseForm).mid(1));
    // A window without a title of its own (the placeholder of a missing one) is known by the
    // command that opened it.
    if (form->windowTitle().isEmpty())
        form->setWindowTitle(Caption.trimmed());
    if (OnInizializedForm)
        OnInizializedForm(this, form.get());
    if (ModalForm) {
        QPointer<QWidget> guard(form.release());
        runModal(guard);
        delete guard.data();
        return true;
    }
    m_lastForm = form.get();
    showChild(form.release());
    return true;
}

bool TVxAttComponent::DoAction()
{
    if (OnExecute)
        OnExecute(this);
    return true;
}

QString TVxAttShell::ProgramPath() const
{
    QString dir = Directory.trimmed();
    dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString file = FileName.trimmed();
    if (dir.isEmpty()) {
        const QString found = QStandardPaths::findExecutable(file);
        return found.isEmpty() ? file : found;
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return resolvePath(dir + file);
}

bool TVxAttShell::DoAction()
{
    const QString program = ProgramPath();
    const QFileInfo info(program);
    if (FileName.trimmed().isEmpty() || !info.isFile()) {
        VxMessageDlg(QStringLiteral("Impossibile avviare \"%1\".\r\rIl programma %2 non è "
                                    "presente su questo computer.")
                         .arg(Caption.trimmed(), QDir::toNativeSeparators(program)),
                     mtError, mbOK);
        return false;
    }
    const QStringList arguments = QProcess::splitCommand(Param);
    const QString workDir = info.absolutePath();
    bool started = false;
    if (WaitEndOfProcess) {
        QProcess process;
        process.setWorkingDirectory(workDir);
        process.start(program, arguments);
        started = process.waitForStarted();
        if (started)
            process.waitForFinished(-1);
    } else {
        started = QProcess::startDetached(program, arguments, workDir);
    }
    if (!started) {
        VxMessageDlg(QStringLiteral("Impossibile avviare \"%1\".\r\rIl programma %2 non si è "
                                    "avviato: verificare che sia un programma eseguibile.")
                         .arg(Caption.trimmed(), QDir::toNativeSeparators(program)),
                     mtError, mbOK);
    }
    return started;
}

bool TVxAttReport::DoAction()
{
    if (OnShowReports)
        OnShowReports(this);
    else if (m_tree)
        bringForward(m_tree);
    return true;
}

bool RunCommandShowingErrors(TVxAttItem *item)
{
    bool ran = false;
    RunShowingErrors([item, &ran] { ran = item->Execute(); });
    return ran;
}

TdmVxAttivazioni::TdmVxAttivazioni(QObject *parent) : QObject(parent) {}

TVxApgPage *TdmVxAttivazioni::AddPage(const QString &name, const QString &caption, int order,
                                      bool sorted, bool visible)
{
    auto *page = new TVxApgPage(name, this);
    page->Caption = caption;
    page->Order = order;
    page->Sorted = sorted;
    page->Visible = visible;
    return page;
}

namespace {

template <typename T>
T *addEntry(TdmVxAttivazioni *table, const QString &name, const QString &caption, TVxApgPage *page,
            int order, int imageIndex)
{
    auto *item = new T(name, table);
    item->Caption = caption;
    item->SetParentPage(page);
    item->Order = order;
    item->ImageIndex = imageIndex;
    return item;
}

} // namespace

TVxAttForm *TdmVxAttivazioni::AddForm(const QString &name, const QString &caption,
                                      const QString &classeForm, TVxApgPage *page, int order,
                                      int imageIndex, bool modal)
{
    auto *item = addEntry<TVxAttForm>(this, name, caption, page, order, imageIndex);
    item->ClasseForm = classeForm;
    item->ModalForm = modal;
    return item;
}

TVxAttComponent *TdmVxAttivazioni::AddComponent(const QString &name, const QString &caption,
                                                TVxApgPage *page, int order, int imageIndex)
{
    return addEntry<TVxAttComponent>(this, name, caption, page, order, imageIndex);
}

TVxAttShell *TdmVxAttivazioni::AddShell(const QString &name, const QString &caption,
                                        TVxApgPage *page, int order, int imageIndex)
{
    return addEntry<TVxAttShell>(this, name, caption, page, order, imageIndex);
}

TVxAttReport *TdmVxAttivazioni::AddReport(const QString &name, const QString &caption,
                                          TVxApgPage *page, int order, int imageIndex)
{
    return addEntry<TVxAttReport>(this, name, caption, page, order, imageIndex);
}

void TdmVxAttivazioni::collectEntries(QList<TVxAttItem *> &out,
                                      QList<const TdmVxAttivazioni *> &seen) const
{
    if (seen.contains(this))
        return;
    seen.append(this);
    for (const QPointer<TVxAttItem> &item : m_items) {
        if (item && item->kind() != TVxAttItem::Page)
            out.append(item);
    }
    for (const QPointer<TdmVxAttivazioni> &other : m_merged) {
        if (other)
            other->collectEntries(out, seen);
    }
}

TVxAttItem *TdmVxAttivazioni::Item(const QString &name) const
{
    for (const QPointer<TVxAttItem> &item : m_items) {
        if (item && item->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return item;
    }
    for (TVxAttItem *item : AllEntries()) {
        if (item->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return item;
    }
    return nullptr;
}

void TdmVxAttivazioni::Merge(TdmVxAttivazioni *other)
{
    if (other && other != this && !m_merged.contains(other))
        m_merged.append(other);
}

QList<TVxApgPage *> TdmVxAttivazioni::Pages() const
{
    QList<TVxApgPage *> pages;
    for (const QPointer<TVxAttItem> &item : m_items) {
        if (auto *page = qobject_cast<TVxApgPage *>(item.data()))
            pages.append(page);
    }
    std::stable_sort(pages.begin(), pages.end(),
                     [](const TVxApgPage *a, const TVxApgPage *b) { return a->Order < b->Order; });
    return pages;
}

QList<TVxAttItem *> TdmVxAttivazioni::AllEntries() const
{
    QList<TVxAttItem *> entries;
    QList<const TdmVxAttivazioni *> seen;
    collectEntries(entries, seen);
    return entries;
}

QList<TVxAttItem *> TdmVxAttivazioni::Entries(const TVxApgPage *page) const
{
    QList<TVxAttItem *> entries;
    for (TVxAttItem *item : AllEntries()) {
        if (item->ParentPage() == page)
            entries.append(item);
    }
    const bool sorted = page && page->Sorted;
    std::stable_sort(entries.begin(), entries.end(),
                     [sorted](const TVxAttItem *a, const TVxAttItem *b) {
                         if (a->Order != b->Order)
                             return a->Order < b->Order;
                         return sorted && a->Caption.localeAwareCompare(b->Caption) < 0;
                     });
    return entries;
}

void TdmVxAttivazioni::SetContainer(TVxOutlookBar *bar)
{
    m_container = bar;
}

void TdmVxAttivazioni::Execute()
{
    if (!m_container)
        return;
    m_container->Clear();
    for (TVxApgPage *page : Pages()) {
        if (!page->Visible)
            continue;
        const int index = m_container->AddPage(page->objectName(), page->Caption);
        for (TVxAttItem *entry : Entries(page)) {
            if (entry->Visible)
                m_container->AddEntry(index, entry);
        }
    }
    m_container->ActivatePage(0);
}

void TdmVxAttivazioni::SetMdiArea(QMdiArea *area)
{
    mdiArea() = area;
}

QMdiArea *TdmVxAttivazioni::MdiArea()
{
    return mdiArea();
}

void TdmVxAttivazioni::ShowChild(QWidget *form)
{
    showChild(form);
}

QIcon TdmVxAttivazioni::CommandImage(int index)
{
    QMdiArea *area = mdiArea();
    auto *main = area ? qobject_cast<TfmVxMDIMain *>(area->window()) : nullptr;
    return main ? main->ilCommands().icon(index) : QIcon();
}
