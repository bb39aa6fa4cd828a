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
