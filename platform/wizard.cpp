#include "platform/wizard.h"

#include "platform/images.h"
#include "platform/keyboardfocus.h"
#include "platform/messagedlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

TfmVxWizard::TfmVxWizard(QWidget *parent)
    : TfmVxDialog(parent), m_title(new QLabel), m_pages(new QStackedWidget),
      m_back(new QPushButton(VxImage(QStringLiteral("VXPRIOR")), QStringLiteral("< &Indietro"))),
      m_next(new QPushButton(VxImage(QStringLiteral("VXNEXT")), QStringLiteral("&Avanti >"))),
      m_finish(new QPushButton(QStringLiteral("&Fine"))),
      m_cancel(new QPushButton(QStringLiteral("Annulla")))
{
    m_title->setObjectName(QStringLiteral("laWizardTitle"));
    m_pages->setObjectName(QStringLiteral("pcWizard"));
    m_back->setObjectName(QStringLiteral("buBack"));
    m_next->setObjectName(QStringLiteral("buNext"));
    m_finish->setObjectName(QStringLiteral("buFinish"));
    m_cancel->setObjectName(QStringLiteral("buCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {m_back, m_next, m_finish, m_cancel}) {
        b->setMinimumWidth(90);
        buttons->addWidget(b);
    }
    // Return is the page's default button wherever the focus rests (Escape cancels): a wizard
    // whose page disables "Avanti" must not leave Return to "Annulla" or "< Indietro".
    m_back->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    m_title->setVisible(false);
    auto *layout = new QVBoxLayout(this);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_title->setFont(bold);
    layout->addWidget(m_title);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    connect(m_back, &QPushButton::clicked, this, [this] { Back(); });
    connect(m_next, &QPushButton::clicked, this, [this] { Next(); });
    connect(m_finish, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    updateButtons();
}

int TfmVxWizard::AddPage(QWidget *page)
{
    const int index = m_pages->addWidget(page);
    updateButtons();
    return index;
}

int TfmVxWizard::PageCount() const
{
    return m_pages->count();
}

QWidget *TfmVxWizard::Page(int index) const
{
    return m_pages->widget(index);
}

void TfmVxWizard::AddPath(const QString &name, const QString &indexes)
{
    QList<int> pages;
    for (const QString &part : indexes.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int index = part.trimmed().toInt(&ok);
        if (ok)
            pages.append(index);
    }
    m_paths.insert(name, pages);
}

bool TfmVxWizard::SetActivePath(const QString &name)
{
    if (!m_paths.contains(name))
        return false;
    m_activePath = name;
    const QList<int> pages = PathPages();
    if (!pages.isEmpty() && !pages.contains(CurrentPage()))
        GoToPage(pages.first());
    updateButtons();
    return true;
}

QList<int> TfmVxWizard::PathPages() const
{
    QList<int> pages;
    if (m_paths.contains(m_activePath)) {
        for (int index : m_paths.value(m_activePath)) {
            if (index >= 0 && index < PageCount())
                pages.append(index);
        }
        return pages;
    }
    for (int i = 0; i < PageCount(); ++i)
        pages.append(i);
    return pages;
}

int TfmVxWizard::CurrentPage() const
{
    return m_pages->currentIndex();
}

bool TfmVxWizard::IsLastPage() const
{
    const QList<int> pages = PathPages();
    return pages.isEmpty() || pages.last() == CurrentPage();
}

bool TfmVxWizard::Next()
{
    const QList<int> pages = PathPages();
    const int at = pages.indexOf(CurrentPage());
    if (at < 0 || at + 1 >= pages.size() || !CanGoNext(CurrentPage()))
        return false;
    GoToPage(pages.at(at + 1));
    return true;
}

bool TfmVxWizard::Back()
{
    const QList<int> pages = PathPages();
    const int at = pages.indexOf(CurrentPage());
    if (at <= 0)
        return false;
    GoToPage(pages.at(at - 1));
    return true;
}

void TfmVxWizard::GoToPage(int index)
{
    if (index < 0 || index >= PageCount())
        return;
    m_pages->setCurrentIndex(index);
    m_title->setText(Page(index)->windowTitle());
    m_title->setVisible(!m_title->text().isEmpty());
    updateButtons();
    PageShown(index);
    // The office goes on in the page it reached: its first field takes the keyboard (Space
    // ticks the first class, never presses "< Indietro"), and Return still answers the page's
    // default button from there; a page without fields leaves the keyboard on that button.
    if (VxFocusFirstField(Page(index)))
        return;
    if (QPushButton *answering = IsLastPage() ? m_finish : m_next; answering->isEnabled())
        answering->setFocus();
}

void TfmVxWizard::updateButtons()
{
    const QList<int> pages = PathPages();
    const int at = pages.indexOf(CurrentPage());
    const bool last = IsLastPage();
    QPushButton *answering = last ? m_finish : m_next;
    // The button that answers Return on this page is enabled first: a focused button that is
    // disabled hands the focus on along the row, and it must not land on "Annulla".
    answering->setEnabled(last || (at >= 0 && at + 1 < pages.size()));
    m_back->setEnabled(at > 0);
    m_next->setEnabled(at >= 0 && at + 1 < pages.size());
    m_finish->setEnabled(last);
    answering->setDefault(true);
    // A page without fields leaves the focus on its default button, so that Return walks on
    // and, on the last page, finishes; a control of the page or "Annulla" chosen by the office
    // keeps it.
    QWidget *focus = focusWidget();
    if (!focus || focus == m_back || focus == m_next || focus == m_finish)
        answering->setFocus();
}

void TfmVxWizard::OkClick()
{
    // Only the last page of the road finishes, and only when its work succeeds.
    if (!IsLastPage() || !Finish())
        SetModalResult(mrNone);
}
