#include "platform/dateedit.h"

#include "platform/images.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kFormat = QStringLiteral("dd/MM/yyyy");

} // namespace

TVxDateEdit::TVxDateEdit(QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_calendarButton(new QToolButton(this)),
      m_clearButton(new QToolButton(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    m_edit->setObjectName(QStringLiteral("edData"));
    m_edit->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
    m_edit->setMaxLength(10);
    // A date, or the hint of one, always whole, however narrow the window.
    QStyleOptionFrame frame;
    frame.initFrom(m_edit);
    const QFontMetrics metrics = m_edit->fontMetrics();
    const int text = qMax(metrics.horizontalAdvance(QStringLiteral("00/00/0000")),
                          metrics.horizontalAdvance(m_edit->placeholderText()));
    m_edit->setMinimumWidth(m_edit->style()
                                ->sizeFromContents(QStyle::CT_LineEdit, &frame,
                                                   QSize(text + 8, metrics.height()), m_edit)
                                .width());
    m_edit->installEventFilter(this);
    layout->addWidget(m_edit, 1);

    m_calendarButton->setObjectName(QStringLiteral("buCalendario"));
    m_calendarButton->setIcon(VxImage(QStringLiteral("SESSIONI")));
    m_calendarButton->setToolTip(QStringLiteral("Scegli la data dal calendario (F4)"));
    // Tab reaches the buttons after the edit; a click leaves the keyboard where it was.
    m_calendarButton->setFocusPolicy(Qt::TabFocus);
    layout->addWidget(m_calendarButton);
    m_clearButton->setObjectName(QStringLiteral("buSvuota"));
    m_clearButton->setIcon(VxImage(QStringLiteral("DESELECTALL")));
    m_clearButton->setToolTip(QStringLiteral("Nessuna data (Ctrl+Canc)"));
    m_clearButton->setFocusPolicy(Qt::TabFocus);
    layout->addWidget(m_clearButton);
    setFocusProxy(m_edit);

    connect(m_edit, &QLineEdit::textEdited, this, &TVxDateEdit::typed);
    connect(m_edit, &QLineEdit::editingFinished, this, &TVxDateEdit::showText);
    connect(m_calendarButton, &QToolButton::clicked, this, &TVxDateEdit::ShowCalendar);
    connect(m_clearButton, &QToolButton::clicked, this, &TVxDateEdit::Clear);
}

QVariant TVxDateEdit::Value() const
{
    return m_date.isNull() ? QVariant() : QVariant(m_date);
}

void TVxDateEdit::SetDate(const QDate &date)
{
    const QDate value = date.isValid() ? date : QDate();
    const bool changed = value != m_date;
    m_date = value;
    showText();
    if (changed)
        emit dateChanged(m_date);
}

QDate TVxDateEdit::parseDate(const QString &text)
{
    static const QRegularExpression separated(
        QStringLiteral("^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{4})$"));
    static const QRegularExpression digits(QStringLiteral("^(\\d{2})(\\d{2})(\\d{4})$"));
    const QString trimmed = text.trimmed();
    QRegularExpressionMatch match = separated.match(trimmed);
    if (!match.hasMatch())
        match = digits.match(trimmed);
    if (!match.hasMatch())
        return {};
    const QDate date(match.captured(3).toInt(), match.captured(2).toInt(),
                     match.captured(1).toInt());
    return date.isValid() ? date : QDate();
}

void TVxDateEdit::typed(const QString &text)
{
    if (text.trimmed().isEmpty()) {
        markInvalid(false);
        if (!m_date.isNull()) {
            m_date = QDate();
            emit dateChanged(m_date);
        }
        return;
    }
    const QDate date = parseDate(text);
    markInvalid(date.isNull());
    if (!date.isNull() && date != m_date) {
        m_date = date;
        emit dateChanged(m_date);
    }
}

void TVxDateEdit::showText()
{
    markInvalid(false);
    const QString text = m_date.isNull() ? QString() : m_date.toString(kFormat);
    if (m_edit->text() != text)
        m_edit->setText(text);
}

void TVxDateEdit::markInvalid(bool invalid)
{
    m_edit->setStyleSheet(invalid ? QStringLiteral("color: red;") : QString());
}

void TVxDateEdit::ShowCalendar()
{
    if (Calendar())
        return;
    auto *popup = new QFrame(this, Qt::Popup);
    popup->setObjectName(QStringLiteral("paCalendario"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setFrameShape(QFrame::StyledPanel);
    popup->installEventFilter(this);
    auto *layout = new QVBoxLayout(popup);
    layout->setContentsMargins(1, 1, 1, 1);
    auto *calendar = new QCalendarWidget(popup);
    calendar->setObjectName(QStringLiteral("calCalendario"));
    calendar->setGridVisible(true);
    calendar->setSelectedDate(m_date.isNull() ? QDate::currentDate() : m_date);
    layout->addWidget(calendar);
    connect(calendar, &QCalendarWidget::clicked, this, &TVxDateEdit::takeDate);
    connect(calendar, &QCalendarWidget::activated, this, &TVxDateEdit::takeDate);
    m_popup = popup;
    popup->adjustSize();
    popup->move(mapToGlobal(QPoint(0, height())));
    popup->show();
    calendar->setFocus();
}

QCalendarWidget *TVxDateEdit::Calendar() const
{
    return m_popup && m_popup->isVisible() ? m_popup->findChild<QCalendarWidget *>() : nullptr;
}

void TVxDateEdit::takeDate(const QDate &date)
{
    SetDate(date);
    if (m_popup)
        m_popup->close();
    m_edit->setFocus();
    emit datePicked(m_date);
}

bool TVxDateEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_popup) {
        if (key->key() == Qt::Key_Escape) {
            m_popup->close();
            return true;
        }
        return false;
    }
    if (watched != m_edit)
        return false;
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    const bool alt = key->modifiers() & Qt::AltModifier;
    if (ctrl && key->key() == Qt::Key_Delete) {
        Clear();
        return true;
    }
    if (key->key() == Qt::Key_F4 || (alt && key->key() == Qt::Key_Down)) {
        ShowCalendar();
        return true;
    }
    return false;
}
