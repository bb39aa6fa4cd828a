#include "platform/vxexception.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QRegularExpression>

#include <functional>
#include <utility>

namespace {

// The office's message of a refusal; empty when nothing was raised.
QString refusal(const std::function<void()> &work)
{
    try {
        work();
    } catch (const EVxException &e) {
        return e.message();
    }
    return QString();
}

class WebIdentity : public ::testing::Test
{
protected:
    void writeSedeIni(const QByteArray &text)
    {
        writeFileBytes(db.mainDir.path() + QStringLiteral("ETC/Lumeno/Sede.ini"), text);
    }

    ProgramDatabase db;
};

} // namespace

TEST(WebCredentials, Md5HexDigestsTheWindows1252Bytes)
{
    const struct
    {
        const char *text;
        const char *digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // md5sum over printf 'caff\xe8' and printf 'Citt\xe0 \x80 1000': neither UTF-8 nor
        // Latin-1 (which has no €) gives these.
        {"caffè", "a781423eb4a1cfc54081f72fd73ff5ce"},
        {"Città € 1000", "f2caa3a09e8cc8c06156204bf6126642"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Md5Hex(QString::fromUtf8(c.text)), QString::fromLatin1(c.digest)) << c.text;
    EXPECT_THROW(Md5Hex(QStringLiteral("Łódź")), EVxException);
}

TEST(WebCredentials, UserNameByKind)
{
    const struct
    {
        int kind;
        int iAnaId;
        const char *text;
        const char *user;
    } cases[] = {
        {1, 1000042, "", "00042"},  {1, 1100000, "", "100000"}, {1, 1099999, "x", "99999"},
        {0, 1000042, "a=b", "a#b"}, {0, 0, "==", "##"},         {2, 1000042, "a=b", ""},
        {-1, 1000042, "a", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MakeTavrinWebUtente(c.kind, c.iAnaId, QString::fromUtf8(c.text)),
                  QString::fromUtf8(c.user))
            << c.kind << " " << c.iAnaId;
}

TEST_F(WebIdentity, PasswordFollowsEachInputAndMapsTheCodeOnce)
{
    const QString raw = QStringLiteral("ABCD01000X");
    const QString mapped = QStringLiteral("TW0042");
    const QString base = MakeTavrinWebPasswd(1000042, 38, raw, QStringLiteral("segreto"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]{5}$")).match(base).hasMatch())
        << base.toStdString();
    EXPECT_EQ(base, MakeTavrinWebPasswd(1000042, 38, raw, QStringLiteral("segreto")));
    EXPECT_EQ(base, MakeTavrinWebPasswd(1000042, 38, raw, QStringLiteral("  segreto \t")));
    const QString others[] = {
        MakeTavrinWebPasswd(1000043, 38, raw, QStringLiteral("segreto")),
        MakeTavrinWebPasswd(1000042, 39, raw, QStringLiteral("segreto")),
        MakeTavrinWebPasswd(1000042, 38, QStringLiteral("ABCD01001Y"), QStringLiteral("segreto")),
        MakeTavrinWebPasswd(1000042, 38, raw, QStringLiteral("segreta")),
    };
    for (const QString &other : others)
        EXPECT_NE(other, base);

    // What the mapped code and the file's year give while no file maps anything.
    const QString ofMapped = MakeTavrinWebPasswd(1000042, 38, mapped, QStringLiteral("segreto"));
    const QString ofMappedYear40 =
        MakeTavrinWebPasswd(1000042, 40, mapped, QStringLiteral("segreto"));

    writeSedeIni("[SEDE]\r\nABCD01000X=TW0042\r\n");
    EXPECT_EQ(MakeTavrinWebPasswd(1000042, 38, raw, QStringLiteral("segreto")), ofMapped);
    // A caller still passing the mapped code prints the same password as the one sent.
    EXPECT_EQ(MakeTavrinWebPasswd(1000042, 38, mapped, QStringLiteral("segreto")), ofMapped);

    // The sibling product's year for the institute replaces the working year.
    writeSedeIni("[SEDE]\r\nABCD01000X=TW0042\r\n[ANNO]\r\nTW0042=40\r\n");
    EXPECT_EQ(MakeTavrinWebPasswd(1000042, 38, raw, QStringLiteral("segreto")), ofMappedYear40);
    EXPECT_EQ(MakeTavrinWebPasswd(1000042, 39, raw, QStringLiteral("segreto")), ofMappedYear40);
}

TEST_F(WebIdentity, InstituteCodeIsTheOpenMainSeatsOrAClearRefusal)
{
    ASSERT_TRUE(db.opened);
    EXPECT_EQ(MainSeatMecCode(), QStringLiteral("ABCD01000X"));
    EXPECT_EQ(TavrinWebInstituteCode(), QStringLiteral("ABCD01000X"));
    writeSedeIni("[SEDE]\r\nABCD01000X=TW0042\r\n");
    EXPECT_EQ(TavrinWebInstituteCode(), QStringLiteral("TW0042"));
    EXPECT_EQ(MainSeatMecCode(), QStringLiteral("ABCD01000X"));

    const QString noSeat = QStringLiteral("Non è stata trovata la sede principale della scuola.");
    const QString noCode =
        QStringLiteral("La sede principale della scuola non ha il codice meccanografico.");
    // Each step changes the school further; the main seat of the school is seat 1.
    const struct
    {
        const char *sql;
        const char *code;
        const QString &message;
    } steps[] = {
        // A second main link to seat 2 with a lower key: the order is the link key's.
        {"INSERT INTO TDwgSed (iDwgSedId, iDwgId, iSedId, lDwgSedMain) VALUES (0, NULL, 2, 1)",
         "ABCD01001Y", QString()},
        {"UPDATE TSed_Sedi SET dEnd = '2010-08-31' WHERE iSedId = 2", "ABCD01000X", QString()},
        {"UPDATE TSedInf_SedeInfo SET sSedMecCod = '   ' WHERE iSedId = 1", nullptr, noCode},
        {"UPDATE TSedInf_SedeInfo SET sSedMecCod = NULL WHERE iSedId = 1", nullptr, noCode},
        {"UPDATE TDwgSed SET lDwgSedMain = 0 WHERE iSedId = 1", nullptr, noSeat},
    };
    for (const auto &step : steps) {
        runSql(QString::fromLatin1(step.sql));
        if (step.code) {
            EXPECT_EQ(MainSeatMecCode(), QString::fromLatin1(step.code)) << step.sql;
            continue;
        }
        for (const auto &read : {std::function<void()>([] { MainSeatMecCode(); }),
                                 std::function<void()>([] { TavrinWebInstituteCode(); })})
            EXPECT_TRUE(refusal(read).startsWith(step.message)) << step.sql;
    }
}

TEST_F(WebIdentity, ServerAddressIsReadFromParGenAndNeverGuessed)
{
    TdmqelParGen parGen;
    const QString file = parGen.xIniFilePar.FileName();
    const QByteArray others = "[Send-Qed]\r\nWeb=C:\\Vexto\\Web\\\r\n"
                              "[Internet]\r\nSito=http://www.veldrasoft.it\r\n";
    writeFileBytes(file, others);
    const QString unset = refusal([&] { parGen.WebServerAddress(); });
    EXPECT_TRUE(unset.startsWith(QStringLiteral("Non è impostato l'indirizzo del server")) &&
                unset.contains(QStringLiteral("[ServerWeb]")))
        << unset.toStdString();

    const struct
    {
        const char *stored;
        const char *address; // nullptr: refused
    } cases[] = {
        {" https://tavrin.veldrasoft.it/ ", "https://tavrin.veldrasoft.it"},
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080"},
        {"   ", nullptr},
        {"tavrin.veldrasoft.it", nullptr},
        {"ftp://tavrin.veldrasoft.it", nullptr},
        {"https://utente:pw@tavrin.veldrasoft.it", nullptr},
        {"https://tavrin.veldrasoft.it/?a=1", nullptr},
    };
    for (const auto &c : cases) {
        parGen.xpsServerWeb.SetValore(QString::fromLatin1(c.stored));
        if (c.address)
            EXPECT_EQ(parGen.WebServerAddress(), QString::fromLatin1(c.address)) << c.stored;
        else
            EXPECT_FALSE(refusal([&] { parGen.WebServerAddress(); }).isEmpty()) << c.stored;
    }

    // Written by another hand, read back from the file; the other keys are as they were.
    writeFileBytes(file, readFileBytes(file).replace("?a=1", "nz"));
    EXPECT_EQ(parGen.WebServerAddress(), QStringLiteral("https://tavrin.veldrasoft.it/nz"));
    EXPECT_TRUE(readFileBytes(file).startsWith(others)) << readFileBytes(file).toStdString();

    // The support and wiki servers beside it, checked alike: each unset one says which server
    // it is, and neither falls back on the web server's address.
    for (const auto &[address, name] :
         {std::pair{&TdmqelParGen::SupportServerAddress, "server di supporto Veldrasoft"},
          {&TdmqelParGen::WikiServerAddress, "server wiki Veldrasoft"}}) {
        const QString message = refusal([&, address = address] { (parGen.*address)(); });
        EXPECT_TRUE(message.startsWith(QStringLiteral("Non è impostato l'indirizzo del ") +
                                       QString::fromLatin1(name)))
            << message.toStdString();
    }
    parGen.xpsServerWiki.SetValore(QStringLiteral("https://wiki.esempio.it/"));
    EXPECT_EQ(parGen.WikiServerAddress(), QStringLiteral("https://wiki.esempio.it"));
}
