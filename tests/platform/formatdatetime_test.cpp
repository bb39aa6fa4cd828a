#include "platform/formatdatetime.h"

#include <gtest/gtest.h>

// The print date's notation: m is the month, n the minute; names in Italian.
TEST(FormatDateTime, SuiteNotationInItalian)
{
    const QDateTime at(QDate(2008, 9, 16), QTime(8, 5, 3));
    const char *cases[][2] = {
        {"", "16/09/2008"},
        {"d mmmm yyyy", "16 settembre 2008"},
        {"dddd d mmmm", "martedì 16 settembre"},
        {"ddd d/m/yy", "mar 16/9/08"},
        {"DD MMM YYY, h.n.s", "16 set 2008, 8.5.3"},
        {"hh:nn:ss mm", "08:05:03 09"},
        {"\"Roma, \"d 'di' mmmmm", "Roma, 16 di settembre"},
        {"d 'mm", "16 mm"}, // an open quote runs to the end
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatDateTime(QString::fromUtf8(c[0]), at), QString::fromUtf8(c[1])) << c[0];
}
