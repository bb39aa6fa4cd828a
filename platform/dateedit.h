#pragma once

// TVxDateEdit: a date field that can also hold no date, as the make-up windows need ("Data
// assegnazione", "Data verifica", a date given to many records at once).
//
//   TVxDateEdit de;                    // empty
//   de.SetDate(QDate::currentDate());  // shown as dd/MM/yyyy
//   values.setValue("dRecAttr", de.Value());   // NULL when empty, else the date
//
// The office types the date (d/M/yyyy, with "/", "." or "-", or eight digits; the year always
// in full, since "29/02/20" on the way to "29/02/2009" would be a date of its own), picks it from
// the calendar (the button, F4 or Alt+Down; a click or Enter takes the day and closes the calendar,
// Esc closes it without change), or empties it with the clear button or Ctrl+Del (Tab goes from
// the edit to the two buttons; a click on them leaves the keyboard where it was). A text that is
// not a date never becomes the value: the edit keeps the last date, shows the text in red meanwhile
// and puts the date back when it loses the focus, so a slip of the keyboard never writes a date
// nobody meant.
//
// dateChanged reports every change of the value (typed, picked, emptied, set by code);
// datePicked only a day taken from the calendar, which is the office saying "this date, now".

#include <QDate>
#include <QPointer>
#include <QVariant>
#include <QWidget>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

class TVxDateEdit : public QWidget
{
    Q_OBJECT
public:
    explicit TVxDateEdit(QWidget *parent = nullptr);

    // The date shown; a null QDate when the edit is empty.
    QDate Date() const { return m_date; }
    bool IsEmpty() const { return m_date.isNull(); }
    // A null QVariant when empty, else the QDate: what a statement binds.
    QVariant Value() const;
    // An invalid or null date empties the edit. Reports dateChanged, never datePicked.
    void SetDate(const QDate &date);
    void Clear() { SetDate(QDate()); }

    // Opens the calendar on the edit's date (today when empty); the calendar while it is open.
    void ShowCalendar();
    QCalendarWidget *Calendar() const;

    QLineEdit *edit() const { return m_edit; }
    QToolButton *calendarButton() const { return m_calendarButton; }
    QToolButton *clearButton() const { return m_clearButton; }

    // The date a typed text stands for; a null QDate when it is not one.
    static QDate parseDate(const QString &text);

signals:
    void dateChanged(const QDate &date);
    void datePicked(const QDate &date);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void typed(const QString &text);
    void takeDate(const QDate &date);
    void showText();
    void markInvalid(bool invalid);

    QDate m_date;
    QLineEdit *m_edit;
    QToolButton *m_calendarButton;
    QToolButton *m_clearButton;
    QPointer<QWidget> m_popup;
};
