#include "platform/comm.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "shell/qelpargen.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QFile>

namespace {

QString storedText()
{
    return QString::fromUtf8(
        scalar(QStringLiteral("SELECT bParVal FROM TParVal WHERE iParValId = 1")).toByteArray());
}

int rowCount()
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM TParVal")).toInt();
}

const QByteArray kIniWithBlanks = "[Sessione1]\r\nCodSessione1=12\r\n\r\n   \r\n"
                                  "[Tabelloni]\r\nEsiti=3;4;\r\nNota=Però più città\r\n\r\n";

} // namespace

TEST(PrintSettingsMirror, RoundTripDropsBlankLinesAndKeepsAccentsAndLineEnds)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    runSql(QStringLiteral("DELETE FROM TParVal"));
    TdmqelParGen parGen;
    writeFileBytes(parGen.reportIniPath(), kIniWithBlanks);

    ASSERT_EQ(rowCount(), 0);
    parGen.SaveParRptIniToDb();
    EXPECT_EQ(storedText(), QStringLiteral("[Sessione1]\r\nCodSessione1=12\r\n[Tabelloni]\r\n"
                                           "Esiti=3;4;\r\nNota=Però più città\r\n"));

    QFile::remove(parGen.reportIniPath());
    parGen.WriteParRptIniFromDb();
    const QString back = QString::fromUtf8(readFileBytes(parGen.reportIniPath()));
    EXPECT_TRUE(back.startsWith(QStringLiteral("[Sessione1]\r\nCodSessione1=12\r\n[Tabelloni]\r\n"
                                               "Esiti=3;4;\r\nNota=Però più città\r\n")))
        << back.toStdString();
    // The parameters read the rewritten file.
    EXPECT_EQ(parGen.xpiSes1.GetValore(), 12);
    EXPECT_EQ(parGen.xpsEsi.GetValore(), QStringLiteral("3;4;"));

    // A second save updates the one row.
    writeFileBytes(parGen.reportIniPath(), "[Sessione2]\nCodSessione2=5\n");
    parGen.SaveParRptIniToDb();
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(storedText(), QStringLiteral("[Sessione2]\r\nCodSessione2=5\r\n"));
}

TEST(PrintSettingsMirror, FileWrittenByAWindowsWorkstationKeepsItsAccents)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    runSql(QStringLiteral("DELETE FROM TParVal"));
    TdmqelParGen parGen;
    writeFileBytes(parGen.reportIniPath(), QByteArray("[Tabelloni]\r\nNota=citt\xe0\r\n"));
    parGen.SaveParRptIniToDb();
    EXPECT_EQ(storedText(), QStringLiteral("[Tabelloni]\r\nNota=città\r\n"));
}

TEST(PrintSettingsMirror, MissingRowOrEmptyBlobLeavesTheFileAlone)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    runSql(QStringLiteral("DELETE FROM TParVal"));
    TdmqelParGen parGen;
    const QByteArray local = "[Sessione1]\r\nCodSessione1=7\r\n";
    writeFileBytes(parGen.reportIniPath(), local);

    parGen.WriteParRptIniFromDb();
    EXPECT_EQ(readFileBytes(parGen.reportIniPath()), local);

    runSql(QStringLiteral("INSERT INTO TParVal (iParValId, bParVal) VALUES (1, NULL)"));
    parGen.WriteParRptIniFromDb();
    EXPECT_EQ(readFileBytes(parGen.reportIniPath()), local);
}

TEST(PrintSettingsMirror, FailedSaveIsReportedAndRolledBack)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    runSql(QStringLiteral("DELETE FROM TParVal"));
    TdmqelParGen parGen;
    writeFileBytes(parGen.reportIniPath(), kIniWithBlanks);

    // A transaction that cannot start (another one runs on the connection).
    {
        TVxTransaction other(qqoVxGlobConn());
        ASSERT_TRUE(other.StartTransaction());
        EXPECT_THROW(parGen.SaveParRptIniToDb(), EVxException);
        other.Rollback();
    }
    EXPECT_EQ(rowCount(), 0);

    // A statement the database refuses.
    runSql(QStringLiteral("ALTER TABLE TParVal ADD CONSTRAINT CK_TEST CHECK (iParValId < 0)"));
    try {
        parGen.SaveParRptIniToDb();
        ADD_FAILURE() << "the refused insert was not reported";
    } catch (const EVxException &e) {
        EXPECT_TRUE(e.message().startsWith(
            QStringLiteral("Impossibile salvare i parametri di stampa nell'archivio.")));
    }
    EXPECT_EQ(rowCount(), 0);
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));

    // A missing file is an error, not an empty copy.
    runSql(QStringLiteral("ALTER TABLE TParVal DROP CONSTRAINT CK_TEST"));
    QFile::remove(parGen.reportIniPath());
    EXPECT_THROW(parGen.SaveParRptIniToDb(), EVxException);
    EXPECT_EQ(rowCount(), 0);
}

TEST(GeneralParameters, LiveInTheirFilesSectionsAndKeys)
{
    TestMainDir mainDir;
    TdmqelParGen parGen;
    parGen.xpsDirWeb.SetValore(QStringLiteral("/srv/scambio"));
    parGen.xpiDeb.SetValore(1);
    parGen.xpiCmp[2][7].SetValore(44);
    TVxINIFile parGenIni(QStringLiteral("ParGen.ini"));
    EXPECT_EQ(parGenIni.ReadString(QStringLiteral("Send-Qed"), QStringLiteral("Web")),
              QStringLiteral("/srv/scambio"));
    EXPECT_EQ(parGenIni.ReadInteger(QStringLiteral("ExpDoc"), QStringLiteral("Deb")), 1);
    TVxINIFile rpt(QStringLiteral("qelParRpt.ini"));
    EXPECT_EQ(rpt.ReadInteger(QStringLiteral("Sessione3"), QStringLiteral("CodComponente8")), 44);
    EXPECT_EQ(parGen.xpiAskPasswd.GetValore(), 0);

    // The web client's limits: today's where the office set none, or none that counts.
    const struct
    {
        QStringList stored; // AttesaRisposta, AttesaAvanzamento, DimensioneMassima
        QList<qint64> limits;
    } cases[] = {
        {{"", "", ""}, {60000, 300000, 256LL << 20}},
        {{"90", "1800", "1024"}, {90000, 1800000, 1024LL << 20}},
        {{"0", "-5", "molti"}, {60000, 300000, 256LL << 20}},
    };
    for (const auto &c : cases) {
        const QStringList keys = {"AttesaRisposta", "AttesaAvanzamento", "DimensioneMassima"};
        for (int i = 0; i < keys.size(); ++i)
            parGenIni.WriteString(QStringLiteral("ServerWeb"), keys[i], c.stored[i]);
        TdmxComm comm;
        parGen.ApplyWebLimits(comm);
        EXPECT_EQ((QList<qint64>{comm.Timeout(), comm.TimeLimit(), comm.MaxReplySize()}),
                  c.limits)
            << c.stored.join(' ').toStdString();
    }
}
