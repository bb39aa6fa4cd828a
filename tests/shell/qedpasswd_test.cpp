#include "platform/krypto.h"
#include "shell/qelutil.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(QedPasswd, IsKryptoOfTheTwoHexadecimalFormsOfThePerson)
{
    const QString a = QStringLiteral("2007/2008");
    // A person id below 1000000: the last part is the 32-bit two's complement, 8 digits.
    EXPECT_EQ(MakeQedPasswd(1000, a, QString()),
              Krypto(QStringLiteral("00003E8#2007/2008##FFF0C1A8"), QStringLiteral("k27w"), 6,
                     QLatin1Char('a'), QLatin1Char('z')));
    EXPECT_EQ(MakeQedPasswd(1234567, a, QStringLiteral("x")),
              Krypto(QStringLiteral("012D687#2007/2008#x#0039447"), QStringLiteral("k27w"), 6,
                     QLatin1Char('a'), QLatin1Char('z')));
    const QString password = MakeQedPasswd(1234567, a, QString());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[a-z]{6}$")).match(password).hasMatch())
        << password.toStdString();
    EXPECT_EQ(password, MakeQedPasswd(1234567, a, QString()));
    EXPECT_NE(password, MakeQedPasswd(1234568, a, QString()));
}
