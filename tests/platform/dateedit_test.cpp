#include "platform/dateedit.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

const QDate kStart(2009, 6, 20);

struct DateEditTest : ::testing::Test
{
    void SetUp() override
    {
        edit.SetDate(kStart);
        edit.show();
        edit.edit()->setFocus();
    }

    void retype(const QString &text)
    {
        edit.edit()->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit.edit(), Qt::Key_Backspace);
        else
            QTest::keyClicks(edit.edit(), text);
    }

    TVxDateEdit edit;
};

TEST_F(DateEditTest, TypedTextBecomesTheDateOnlyWhenItIsOne)
{
    struct Case
    {
        const char *typed;
        QDate value; // null: empty
        bool red;
    } cases[] = {
        {"5/3/2009", QDate(2009, 3, 5), false},
        {"05.03.2009", QDate(2009, 3, 5), false},
        {"29-02-2008", QDate(2008, 2, 29), false},
        {"01092008", QDate(2008, 9, 1), false},
        {"", QDate(), false},
        // Not dates: the last date stays the value.
        {"31/02/2009", kStart, true},
        {"29/02/2009", kStart, true}, // passes "29/02/20" on the way
        {"05.03.09", kStart, true},
        {"2009-06-01", kStart, true},
        {"12/13/2009", kStart, true},
    };
    for (const Case &c : cases) {
        edit.SetDate(kStart);
        QSignalSpy changed(&edit, &TVxDateEdit::dateChanged);
        retype(QString::fromLatin1(c.typed));
        EXPECT_EQ(edit.Date(), c.value) << c.typed;
        EXPECT_EQ(edit.IsEmpty(), c.value.isNull()) << c.typed;
        EXPECT_EQ(edit.Value().isNull(), c.value.isNull()) << c.typed;
        if (!c.value.isNull()) {
            EXPECT_EQ(edit.Value().toDate(), c.value) << c.typed;
        }
        EXPECT_EQ(edit.edit()->styleSheet().contains(QStringLiteral("red")), c.red) << c.typed;
        EXPECT_EQ(changed.count() > 0, c.value != kStart) << c.typed;
        // Leaving the field shows the value in full, or nothing.
        emit edit.edit()->editingFinished();
        EXPECT_EQ(edit.edit()->text(),
                  c.value.isNull() ? QString() : c.value.toString(QStringLiteral("dd/MM/yyyy")))
            << c.typed;
    }
}

TEST_F(DateEditTest, EmptiedByKeyOrButtonAndPickedOnlyFromTheCalendar)
{
    QSignalSpy picked(&edit, &TVxDateEdit::datePicked);
    QSignalSpy changed(&edit, &TVxDateEdit::dateChanged);

    QTest::keyClick(edit.edit(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(edit.IsEmpty());
    EXPECT_TRUE(edit.edit()->text().isEmpty());
    edit.SetDate(kStart);
    edit.clearButton()->click();
    EXPECT_TRUE(edit.Value().isNull());
    EXPECT_EQ(changed.count(), 3);

    // F4 opens the calendar on today when empty; Esc closes it without a date.
    QTest::keyClick(edit.edit(), Qt::Key_F4);
    QCalendarWidget *calendar = edit.Calendar();
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->selectedDate(), QDate::currentDate());
    QTest::keyClick(calendar->window(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return edit.Calendar() == nullptr; }));
    EXPECT_TRUE(edit.IsEmpty());

    // Enter on a day takes it and closes the calendar, then reports the pick once.
    edit.SetDate(kStart);
    edit.calendarButton()->click();
    calendar = edit.Calendar();
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->selectedDate(), kStart);
    calendar->setSelectedDate(QDate(2009, 7, 15));
    bool closedBeforePick = false;
    QObject::connect(&edit, &TVxDateEdit::datePicked, &edit,
                     [&] { closedBeforePick = edit.Calendar() == nullptr; });
    QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar, Qt::Key_Return);
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked.at(0).at(0).toDate(), QDate(2009, 7, 15));
    EXPECT_EQ(edit.Date(), QDate(2009, 7, 15));
    EXPECT_TRUE(closedBeforePick);

    // Typing, emptying and setting by code are changes, never picks.
    retype(QStringLiteral("01/09/2009"));
    edit.Clear();
    EXPECT_EQ(picked.count(), 1);
}

} // namespace
