#include "platform/inifile.h"
#include "platform/params.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(VxINIFile, WindowsFileIsReadCaseInsensitivelyWithCommentsAndCrlf)
{
    TestMainDir main;
    // A file as a Windows program leaves it: CRLF, comments, odd case, quoted value, spaces.
    writeFileBytes(
        main.path() + "etc/ParGen.INI",
        "; parametri generali\r\n[Send-Qed]\r\nFloppy = A:\\ \r\nRete=\"\\\\srv\\qed\"\r\n"
        "\r\n[ExpDoc] ; esportazione\r\nVot=1\r\nVtp=abc\r\nVtp=2\r\n");
    const TVxINIFile ini(QStringLiteral("ParGen.ini"));
    EXPECT_EQ(ini.ReadString("send-qed", "FLOPPY", "x"), QStringLiteral("A:\\"));
    EXPECT_EQ(ini.ReadString("SEND-QED", "rete", "x"), QStringLiteral("\\\\srv\\qed"));
    EXPECT_EQ(ini.ReadString("Send-Qed", "USB", "def"), QStringLiteral("def"));
    EXPECT_EQ(ini.ReadString("Missing", "Vot", "def"), QStringLiteral("def"));
    EXPECT_EQ(ini.ReadInteger("expdoc", "vot", 0), 1);
    // The first occurrence wins, and a non-number gives the default.
    EXPECT_EQ(ini.ReadInteger("ExpDoc", "Vtp", 7), 7);
    EXPECT_TRUE(ini.SectionExists("EXPDOC"));
    EXPECT_EQ(ini.ReadSection("expdoc"), (QStringList{"Vot", "Vtp", "Vtp"}));
    EXPECT_EQ(ini.ReadSections(), (QStringList{"Send-Qed", "ExpDoc"}));
    // The comment line is never taken for a key.
    EXPECT_FALSE(ini.ValueExists("Send-Qed", "; parametri generali"));
}

TEST(VxINIFile, WritingKeepsOrderCommentsLineEndingsAndOtherKeys)
{
    TestMainDir main;
    const QString path = main.path() + "ETC/qelParRpt.ini";
    writeFileBytes(path, "; stampe\r\n[Sessione1]\r\nCodSessione1=3\r\n; componenti\r\n"
                         "CodComponente1=10\r\n\r\n[Tabelloni]\r\nEsiti=A\r\n");
    TVxINIFile ini(QStringLiteral("qelParRpt.ini"));
    ini.WriteInteger("SESSIONE1", "codsessione1", 4);
    ini.WriteInteger("Sessione1", "CodComponente2", 11);
    ini.WriteString("Sessione2", "CodSessione2", "5");
    EXPECT_EQ(readFileBytes(path),
              QByteArray("; stampe\r\n[Sessione1]\r\nCodSessione1=4\r\n; componenti\r\n"
                         "CodComponente1=10\r\nCodComponente2=11\r\n\r\n[Tabelloni]\r\nEsiti=A\r\n"
                         "\r\n[Sessione2]\r\nCodSessione2=5\r\n"));
    ini.DeleteKey("sessione1", "CODCOMPONENTE1");
    ini.EraseSection("TABELLONI");
    EXPECT_EQ(readFileBytes(path), QByteArray("; stampe\r\n[Sessione1]\r\nCodSessione1=4\r\n; "
                                              "componenti\r\nCodComponente2=11\r\n"
                                              "\r\n[Sessione2]\r\nCodSessione2=5\r\n"));
}

TEST(VxINIFile, NewFileGetsCrlfAndUnixFileKeepsLf)
{
    TestMainDir main;
    TVxINIFile fresh(QStringLiteral("Nuovo.ini"));
    fresh.WriteString("A", "k", "v");
    EXPECT_EQ(readFileBytes(fresh.resolvedPath()), QByteArray("[A]\r\nk=v\r\n"));

    writeFileBytes(main.path() + "ETC/unix.ini", "[A]\nk=v\n");
    TVxINIFile unix(QStringLiteral("unix.ini"));
    unix.WriteString("a", "j", "w");
    EXPECT_EQ(readFileBytes(unix.resolvedPath()), QByteArray("[A]\nk=v\nj=w\n"));
}

TEST(VxINIFile, WindowsAnsiFileIsReadAndWrittenBackInItsEncoding)
{
    TestMainDir main;
    const QString path = main.path() + "ETC/Sede.ini";
    // "Città" and "perché" and the euro sign in Windows-1252, not valid UTF-8.
    writeFileBytes(path, "[SEDE]\r\nNome=Citt\xE0 di \x80 perch\xE9\r\n");
    TVxINIFile ini(path);
    EXPECT_EQ(ini.ReadString("sede", "nome"), QString::fromUtf8("Città di € perché"));
    ini.WriteString("SEDE", "Altro", QString::fromUtf8("è"));
    EXPECT_EQ(readFileBytes(path),
              QByteArray("[SEDE]\r\nNome=Citt\xE0 di \x80 perch\xE9\r\nAltro=\xE8\r\n"));
    // A character Windows-1252 cannot hold turns the file into UTF-8, losing nothing.
    ini.WriteString("SEDE", "Greco", QString::fromUtf8("Ω"));
    EXPECT_EQ(ini.ReadString("SEDE", "Nome"), QString::fromUtf8("Città di € perché"));
    EXPECT_EQ(ini.ReadString("SEDE", "Greco"), QString::fromUtf8("Ω"));

    writeFileBytes(main.path() + "ETC/utf8.ini", "\xEF\xBB\xBF[A]\r\nk=\xC3\xA0\r\n");
    EXPECT_EQ(TVxINIFile("utf8.ini").ReadString("a", "K"), QString::fromUtf8("à"));
}

TEST(VxINIFile, AFileSetToWindows1252StaysInItKeyByKeyAndMarksWhatItCannotHold)
{
    TestMainDir main;
    const QString path = main.path() + "ETC/Info.ini";
    TVxINIFile ini(path);
    ini.setNewFileEncoding(TVxIniEncoding::Cp1252);
    // Written key by key: the first keys are plain ASCII, which must not decide for UTF-8.
    ini.WriteString("Docente", "ID", "1000001");
    ini.WriteSections({{"Docente", {{"Nome", QString::fromUtf8("Niccolò Ł😀 €")}}},
                       {"ExpDoc", {{"Vot", QStringLiteral("1")}}}});
    ini.WriteString("docente", "Anno", QString::fromUtf8("2008/2009 è"));
    EXPECT_EQ(readFileBytes(path),
              QByteArray("[Docente]\r\nID=1000001\r\nNome=Niccol\xF2 ?? \x80\r\n"
                         "Anno=2008/2009 \xE8\r\n\r\n[ExpDoc]\r\nVot=1\r\n"));
    EXPECT_EQ(ini.ReadString("DOCENTE", "nome"), QString::fromUtf8("Niccolò ?? €"));

    // Without the setting a new file is UTF-8, and an existing UTF-8 file stays so with it.
    writeFileBytes(main.path() + "ETC/utf8.ini", "[A]\r\nk=\xC3\xA0\r\n");
    TVxINIFile utf8(QStringLiteral("utf8.ini"));
    utf8.setNewFileEncoding(TVxIniEncoding::Cp1252);
    utf8.WriteString("A", "j", QString::fromUtf8("è"));
    EXPECT_EQ(readFileBytes(utf8.resolvedPath()),
              QByteArray("[A]\r\nk=\xC3\xA0\r\nj=\xC3\xA8\r\n"));
    TVxINIFile plain(QStringLiteral("plain.ini"));
    plain.WriteString("A", "k", QString::fromUtf8("è"));
    EXPECT_EQ(readFileBytes(plain.resolvedPath()), QByteArray("[A]\r\nk=\xC3\xA8\r\n"));
}

TEST(VxINIFile, EveryReadSeesTheFileAsItIsNow)
{
    TestMainDir main;
    TVxParString first(QStringLiteral("ParGen.ini"), "Send-Qed", "Web");
    TVxParString second(QStringLiteral("pargen.INI"), "SEND-QED", "web", QStringLiteral("def"));
    EXPECT_EQ(second.GetValore(), QStringLiteral("def"));
    first.SetValore(QStringLiteral("/srv/web"));
    EXPECT_EQ(second.GetValore(), QStringLiteral("/srv/web"));
    // Another program rewrites the file behind both components.
    writeFileBytes(main.path() + "ETC/ParGen.ini", "[Send-Qed]\r\nWeb=/altro\r\n");
    EXPECT_EQ(first.GetValore(), QStringLiteral("/altro"));
}

TEST(VxINIFile, WriteReplacesTheFileByRenameAndFailuresSayWhy)
{
    TestMainDir main;
    const QString path = main.path() + "ETC/ParGen.ini";
    writeFileBytes(path, "[A]\r\nk=old\r\n");
    // A reader that opened the file before the write keeps reading the whole old file: the
    // new content went to a temporary file that replaced the old one, never over it.
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    TVxINIFile ini(QStringLiteral("ParGen.ini"));
    ini.WriteString("A", "k", "new");
    EXPECT_EQ(reader.readAll(), QByteArray("[A]\r\nk=old\r\n"));
    EXPECT_EQ(readFileBytes(path), QByteArray("[A]\r\nk=new\r\n"));
    EXPECT_EQ(QDir(main.path() + "ETC").entryList(QDir::Files | QDir::Hidden),
              QStringList{"ParGen.ini"});

    // A file standing where the folder should be, or a FIFO or a device at the file's name
    // (read as missing, never waited on): the write fails and names the file.
    writeFileBytes(main.path() + "USR", "not a folder");
    const QString fifo = main.path() + "ETC/Fifo.ini";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", main.path() + "ETC/Zero.ini"));
    for (const char *name : {"USR/qel/x.ini", "ETC/Fifo.ini", "ETC/Zero.ini"}) {
        TVxINIFile blocked(main.path() + name);
        EXPECT_EQ(blocked.ReadString("A", "k", "predefinito"), "predefinito");
        try {
            blocked.WriteString("A", "k", "v");
            ADD_FAILURE() << "the write should fail";
        } catch (const EVxException &e) {
            EXPECT_TRUE(e.message().contains(QFileInfo(name).fileName()))
                << e.message().toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}

TEST(VxINIFile, NamesAndValuesThatWouldReadBackAsOthersAreRefused)
{
    TestMainDir main;
    TVxINIFile ini(QStringLiteral("ParGen.ini"));
    ini.WriteString("A", "k", "old");
    // section, key, value: each would write one thing and read back another.
    const char *refused[][3] = {
        {"A", "k", "x\r\n[B]\r\nPassword=1"},
        {"A", "Password=1\r\nk", "x"},
        {"A", "Password=1;k", "x"},
        {"A]\r\n[B", "k", "x"},
        {"A] [B", "k", "x"},
    };
    for (const auto &r : refused) {
        SCOPED_TRACE(r[1]);
        EXPECT_THROW(ini.WriteString(r[0], r[1], r[2]), EVxException);
        EXPECT_EQ(ini.ReadSections(), QStringList{"A"});
        EXPECT_EQ(ini.ReadSection("A"), QStringList{"k"});
        EXPECT_EQ(ini.ReadString("A", "k"), "old");
    }
}

TEST(VxINIFile, ScriviSempreDecidesWhetherAnUnchangedValueIsWritten)
{
    TestMainDir main;
    const QString path = main.path() + "ETC/x.ini";
    writeFileBytes(path, "[A]\r\nk = v \r\n");
    TVxINIFile lazy(QStringLiteral("x.ini"));
    lazy.WriteString("A", "k", "v");
    EXPECT_EQ(readFileBytes(path), QByteArray("[A]\r\nk = v \r\n"));
    TVxINIFile always(QStringLiteral("x.ini"), true);
    always.WriteString("A", "k", "v");
    EXPECT_EQ(readFileBytes(path), QByteArray("[A]\r\nk=v\r\n"));
}

TEST(VxParams, DefaultsWhenAbsentAndTypedValuesWhenSet)
{
    TestMainDir main;
    TVxINIFile ini(QDir::toNativeSeparators(main.path()).replace('/', '\\') + "ETC\\\\ParGen.ini",
                   true);
    TVxParInteger xpiVot;
    xpiVot.setINIFile(ini);
    xpiVot.setSection("ExpDoc");
    xpiVot.setIdent("Vot");
    EXPECT_EQ(xpiVot.GetValore(), 0);
    xpiVot.SetValore(1);
    EXPECT_EQ(xpiVot.GetValore(), 1);
    EXPECT_TRUE(QFileInfo::exists(main.path() + "ETC/ParGen.ini"));

    TVxParBool flag("ParGen.ini", "ExpDoc", "Flag", true);
    EXPECT_TRUE(flag.GetValore());
    flag.SetValore(false);
    EXPECT_FALSE(flag.GetValore());
    EXPECT_EQ(ini.ReadString("ExpDoc", "Flag"), QStringLiteral("0"));

    const TVxFont defaultFont{QFont(QStringLiteral("Sans"), 9), QColor(0, 0, 0)};
    TVxParFont font("qevParVis.ini", "Griglia", "Font", defaultFont);
    EXPECT_EQ(font.GetValore(), defaultFont);
    TVxFont bold{QFont(QStringLiteral("Serif"), 12), QColor(255, 0, 0)};
    bold.font.setBold(true);
    font.SetValore(bold);
    EXPECT_EQ(font.GetValore().font.family(), QStringLiteral("Serif"));
    EXPECT_TRUE(font.GetValore().font.bold());
    EXPECT_EQ(font.GetValore().color, QColor(255, 0, 0));
    EXPECT_TRUE(TVxINIFile("qevParVis.ini").ReadString("Griglia", "Font").endsWith(";clRed"));

    // Scrivi stores the value in force, so the file lists the parameter for the office to see.
    TVxParString web("ParGen.ini", "Send-Qed", "Web", QStringLiteral("/tmp/web"));
    web.Scrivi();
    EXPECT_EQ(ini.ReadString("send-qed", "web"), QStringLiteral("/tmp/web"));
}

TEST(VxParams, ColoursAndFontsInTheSuitesTextForms)
{
    const QColor fallback(1, 2, 3);
    const QColor windowText = QGuiApplication::palette().color(QPalette::Text);
    const struct
    {
        const char *text;
        QColor color;
    } read[] = {
        {"clYellow", QColor(255, 255, 0)},
        {"CLAQUA", QColor(0, 255, 255)},
        {" $008080FF ", QColor(255, 128, 128)},
        {"8421631", QColor(255, 128, 128)},
        {"clWindowText", windowText},
        {"$80000008", windowText},
        // Unreadable: no colour, an unknown system colour, words, an empty text.
        {"$1FFFFFFF", fallback},
        {"$800000FF", fallback},
        {"rosso", fallback},
        {"", fallback},
        {"$", fallback},
        {"-5", fallback},
    };
    for (const auto &c : read)
        EXPECT_EQ(StringToColor(QString::fromLatin1(c.text), fallback), c.color) << c.text;
    EXPECT_EQ(ColorToString(QColor(255, 255, 0)), QStringLiteral("clYellow"));
    EXPECT_EQ(ColorToString(QColor(0, 255, 255)), QStringLiteral("clAqua"));
    EXPECT_EQ(ColorToString(QColor(255, 128, 128)), QStringLiteral("$008080FF"));

    // Font texts written before the colour was kept, or with a damaged part.
    TestMainDir main;
    writeFileBytes(main.path() + "ETC/qevParVis.ini",
                   "[0_0]\r\nFont=Serif,12,-1,5,700,0,0,0,0,0\r\n"
                   "[1_0]\r\nFont=Serif,12,-1,5,700,0,0,0,0,0;clNiente\r\n"
                   "[2_0]\r\nFont=Serif,12,-1\r\n");
    const TVxFont defaults{QFont(QStringLiteral("Sans"), 9), QColor(0, 0, 128)};
    for (const char *section : {"0_0", "1_0"}) {
        const TVxFont value = TVxParFont("qevParVis.ini", section, "Font", defaults).GetValore();
        EXPECT_EQ(value.font.family(), QStringLiteral("Serif")) << section;
        EXPECT_EQ(value.color, QColor(0, 0, 128)) << section;
    }
    EXPECT_EQ(TVxParFont("qevParVis.ini", "2_0", "Font", defaults).GetValore(), defaults);
}

TEST(VxParams, CachedValueHoldsUntilTheFrameworkWritesAFile)
{
    TestMainDir main;
    const QString path = main.path() + "ETC/qevParVis.ini";
    writeFileBytes(path, "[0_0]\r\nColorInsuf=clRed\r\n");
    TVxParString colour("qevParVis.ini", "0_0", "ColorInsuf");
    colour.setCached(true);
    EXPECT_EQ(colour.GetValore(), QStringLiteral("clRed"));
    // Read while painting: the file is not opened again, so a change behind it is not seen...
    writeFileBytes(path, "[0_0]\r\nColorInsuf=clAqua\r\n[1_0]\r\nColorInsuf=clLime\r\n");
    EXPECT_EQ(colour.GetValore(), QStringLiteral("clRed"));
    // ...until the framework writes a file, here through another parameter of the same file.
    TVxParString other("qevParVis.ini", "0_0", "ColorDebiti");
    other.SetValore(QStringLiteral("clYellow"));
    EXPECT_EQ(colour.GetValore(), QStringLiteral("clAqua"));
    // Another section is another value.
    colour.setSection(QStringLiteral("1_0"));
    EXPECT_EQ(colour.GetValore(), QStringLiteral("clLime"));
}
