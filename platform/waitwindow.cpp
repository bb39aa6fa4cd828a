#include "platform/waitwindow.h"

#include "platform/dialogseam.h"
#include "platform/images.h"
#include "platform/vxexception.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<TfmVxWait> fmVxWait;

TfmVxWait::TfmVxWait(QWidget *parent, bool withCancel)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_title(new QLabel), m_operation(new QLabel), m_progress(new QProgressBar),
      m_cancel(new QPushButton(QStringLiteral("Annulla")))
{
    setObjectName(QStringLiteral("fmVxWait"));
    setWindowTitle(QStringLiteral("Attendere..."));
    // While the work runs between processed events, no other window may start more work.
    setWindowModality(Qt::ApplicationModal);
    m_title->setObjectName(QStringLiteral("laTitle"));
    m_operation->setObjectName(QStringLiteral("laOperation"));
    m_progress->setObjectName(QStringLiteral("pbProgress"));
    m_cancel->setObjectName(QStringLiteral("buAnnulla"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setWordWrap(true);
    m_operation->setWordWrap(true);
    m_progress->setRange(0, 0);
    m_progress->setValue(0);

    auto *icon = new QLabel;
    icon->setObjectName(QStringLiteral("imWait"));
    icon->setPixmap(VxImage(QStringLiteral("VXWAIT")).pixmap(32, 32));
    auto *texts = new QVBoxLayout;
    texts->addWidget(m_title);
    texts->addWidget(m_operation);
    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    setMinimumWidth(420);
    m_cancel->setVisible(withCancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        emit cancelRequested();
    });

    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursorSet = true;
    fmVxWait = this;
}

TVxHourglass::TVxHourglass()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TVxHourglass::~TVxHourglass()
{
    QApplication::restoreOverrideCursor();
}

TfmVxWait::~TfmVxWait()
{
    if (m_cursorSet)
        QApplication::restoreOverrideCursor();
}

void TfmVxWait::SetTitle(const QString &text)
{
    m_title->setText(text);
}

QString TfmVxWait::Title() const
{
    return m_title->text();
}

void TfmVxWait::SetOperation(const QString &text)
{
    m_operation->setText(text);
}

QString TfmVxWait::Operation() const
{
    return m_operation->text();
}

void TfmVxWait::InitProgressBar(int minimum, int maximum)
{
    m_progress->setRange(minimum, qMax(minimum, maximum));
    m_progress->setValue(minimum);
}

void TfmVxWait::StepProgressBar(int steps)
{
    // A bar without a range (never initialised) only shows that work goes on.
    bool filled = false;
    if (m_progress->maximum() > m_progress->minimum()) {
        const int value = qMin(m_progress->maximum(), m_progress->value() + steps);
        filled = value == m_progress->maximum() && value != m_progress->value();
        m_progress->setValue(value);
    }
    // A loop may step every few microseconds: painting the window each time would cost more
    // than the work. It paints, and "Annulla" is seen, a twentieth of a second apart at most,
    // faster than anyone notices; and when the bar fills.
    if (m_refreshed.isValid() && m_refreshed.elapsed() < kRefreshMs && !filled)
        return;
    Refresh();
}

int TfmVxWait::Position() const
{
    return m_progress->value();
}

int TfmVxWait::Maximum() const
{
    return m_progress->maximum();
}

void TfmVxWait::SetCancelVisible(bool visible)
{
    m_cancel->setVisible(visible);
}

bool TfmVxWait::CancelOffered() const
{
    return !m_cancel->isHidden();
}

void TfmVxWait::CheckCancelled() const
{
    if (m_cancelled)
        throw EVxCancelled();
}

bool TfmVxWait::TakesInput() const
{
    return CancelOffered() && isVisible() && isModal();
}

void TfmVxWait::ShowWait()
{
    if (!DialogSeam::scripted())
        show();
    Refresh();
}

void TfmVxWait::Refresh()
{
    if (isVisible())
        repaint();
    QApplication::processEvents();
    m_refreshed.start();
}

void TfmVxWait::CloseWait()
{
    hide();
    if (m_cursorSet)
        QApplication::restoreOverrideCursor();
    m_cursorSet = false;
}

void TfmVxWait::reject()
{
    if (m_cancel->isVisible())
        m_cancel->click();
}

namespace {

// Milliseconds on one clock for every progress.
qint64 nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}

} // namespace

TVxProgress::TVxProgress(const QString &title) : m_title(title), m_started(nowMs()) {}

TVxProgress::~TVxProgress()
{
    delete m_own;
}

bool TVxProgress::due() const
{
    return nowMs() - m_shown >= 100;
}

void TVxProgress::show(const QString &operation)
{
    m_shown = nowMs();
    TfmVxWait *wait = fmVxWait;
    if (!wait && !m_own && m_shown - m_started > 500 &&
        qobject_cast<QApplication *>(QCoreApplication::instance())) {
        m_own = new TfmVxWait();
        m_own->SetTitle(m_title);
        m_own->InitProgressBar(0, 0);
        m_own->ShowWait();
    }
    if (!wait)
        wait = m_own;
    if (wait) {
        wait->SetOperation(operation);
        wait->Refresh();
    }
}

