#include "platform/helpers.h"

#include <gtest/gtest.h>

TEST(Helpers, FolderTextsAndPadding)
{
    EXPECT_EQ(LongDir(QStringLiteral("/srv/qed")), QStringLiteral("/srv/qed/"));
    EXPECT_EQ(LongDir(QStringLiteral("/srv/qed/")), QStringLiteral("/srv/qed/"));
    EXPECT_EQ(LongDir(QStringLiteral("C:\\Vexto\\etc")), QStringLiteral("C:/Vexto/etc/"));
    // An empty folder gives a lone separator, which callers take as "no folder".
    EXPECT_EQ(LongDir(QString()), QStringLiteral("/"));
    EXPECT_EQ(ShortDir(QStringLiteral("/srv/qed/")), QStringLiteral("/srv/qed"));
    EXPECT_EQ(ShortDir(QStringLiteral("/srv/qed")), QStringLiteral("/srv/qed"));
    EXPECT_EQ(ShortDir(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(PadL(QStringLiteral("42"), QLatin1Char('0'), 5), QStringLiteral("00042"));
    EXPECT_EQ(PadL(QStringLiteral("123456"), QLatin1Char('0'), 5), QStringLiteral("123456"));
    EXPECT_TRUE(IntToBool(-1));
    EXPECT_FALSE(IntToBool(0));
    EXPECT_EQ(BoolToInt(true), 1);
    EXPECT_TRUE(NullDate().isNull());
}

// What the office reads: sizes in the unit that shows them, times in seconds or minutes, and
// no line longer than a message can hold.
TEST(Helpers, SizesTimesAndLinesAsTheOfficeReadsThem)
{
    const struct
    {
        QString shown, expected;
    } cases[] = {
        {SizeText(800), "800 byte"},
        {SizeText(256 * 1024), "256 KB"},
        {SizeText(64 * 1024 + 1), "64 KB"},
        {SizeText(1536 * 1024), "1,5 MB"},
        {SizeText(256LL << 20), "256 MB"},
        {DurationText(500), "0,5 secondi"},
        {DurationText(1000), "1 secondo"},
        {DurationText(90000), "90 secondi"},
        {DurationText(300000), "5 minuti"},
        {CutLine(QString(300, 'x')), QString(300, 'x')},
        {CutLine(QString(301, 'x')), QString(299, 'x') + QChar(0x2026)},
        {CutLine(QString(298, 'x') + QStringLiteral("\U0001F600x")),
         QString(298, 'x') + QChar(0x2026)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.shown, c.expected);
}

TEST(Helpers, NormalizedNamesAreSafeFileNames)
{
    EXPECT_EQ(TKIENormalizeString(QStringLiteral("Liceo \"Città\" 3/A")),
              QStringLiteral("Liceo _Citta_ 3_A"));
    EXPECT_EQ(TKIENormalizeString(QStringLiteral("..")), QStringLiteral("_."));
    EXPECT_EQ(TKIENormalizeString(QStringLiteral("a\\..\\b:c*?<>|")),
              QStringLiteral("a_.._b_c_____"));
    EXPECT_EQ(TKIENormalizeString(QString()), QStringLiteral("_"));
    EXPECT_EQ(TKIENormalizeString(QStringLiteral("  12345 ")), QStringLiteral("12345"));
}

// RoundHalfAway, a "0.00" format's rounding, differs only on halves: away from zero.
TEST(Helpers, RoundToTakesHalvesToTheEvenNeighbourOfTheWrittenDecimal)
{
    struct Case
    {
        double value;
        int digits;
        double expected;
        double away = expected;
    };
    const Case cases[] = {
        {7.456, -2, 7.46},
        {7.456, -1, 7.5},
        {2.5, 0, 2, 3},
        {8.1666666666666667, -2, 8.17},
        // Halves: the written decimal decides, not the double just above or below it.
        {7.45, -1, 7.4, 7.5},
        {0.35, -1, 0.4},
        {1.005, -2, 1, 1.01},
        {1.015, -2, 1.02},
        {2.345, -2, 2.34, 2.35},
        {6.125, -2, 6.12, 6.13}, // 49 / 8
        {3.5, 0, 4},
        {-2.5, 0, -2, -3},
        {-7.45, -1, -7.4, -7.5},
        {0.5, 0, 0, 1},
        {25, 1, 20, 30},
        {35, 1, 40},
        {9.995, -2, 10},
        {99.5, 0, 100},
        {0.005, -2, 0, 0.01},
        {0.0051, -2, 0.01},
        {0.0004, -2, 0},
        {6.75, -2, 6.75},
        {0, -2, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(RoundTo(c.value, c.digits), c.expected) << c.value << " at " << c.digits;
        EXPECT_EQ(RoundHalfAway(c.value, c.digits), c.away) << c.value << " at " << c.digits;
    }
}
