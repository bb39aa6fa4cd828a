#include "exports/qelexportalu.h"
#include "platform/datapacket.h"
#include "platform/globalvars.h"
#include "tests/support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>

namespace {

// The columns of each file as the statistics program reads them: name and type
// (i integer, s text, d date), in order.
const std::map<char, QString> kColumns = {
    {'L', "IMATID:i SMATLDESC:s SMATSDESC:s SMATCODUSER:s SMATCODMIN:s SMATCODVEXTO:s IADIID:i "
          "SADILDESC:s SADISDESC:s PRGVER:s DATAEXPORT:d"},
    {'A', "IANAID:i SANACAGCODE:s COGNOMENOME:s DANANASCITA:d LANACONSPRIVACY:i SSTALDESC:s "
          "ISTAATTID:i SSTAATTDETTLDESC:s DSITTRARIT:d SSCUOLAPROV:s SSCUOLAMEDIA:s SGMELDESC:s "
          "SSEXSDESC:s ICLSID:i SINDLDESC:s SINDSDESC:s SPSTLDESC:s IACSANNOCORSO:i "
          "SACSSEZSDESC:s SSEZSDESC:s IANSID:i SANNODESC:s SNOMESCUOLA:s PRGVER:s DATAEXPORT:d "
          "ISITID:i"},
    {'C', "IANAID:i DSITTRARIT:d SINDLDESC:s SINDSDESC:s SPSTLDESC:s ICLSID:i IACSANNOCORSO:i "
          "SACSSEZSDESC:s SSEZSDESC:s IANSID:i SANNODESC:s ISTAFINID:i SSTAFINDETTLDESC:s "
          "SSITVOTO:s PRGVER:s DATAEXPORT:d"},
    {'D', "IANAID:i DSITTRARIT:d ICLSID:i SINDLDESC:s SINDSDESC:s IACSANNOCORSO:i SACSSEZSDESC:s "
          "SSEZSDESC:s IANSID:i SANNODESC:s IMATID:i SMATLDESC:s SDTPLDESCUSER:s IDESID:i "
          "SDESLDESCUSER:s IANAID_1:i SDOC_VER:s IANAID_2:i SDOC_ATTR:s PRGVER:s DATAEXPORT:d"},
    {'M', "ICLSMATANAID:i IANSID:i ICLSID:i SCLSDESC:s IACSANNOCORSO:i SSEZSDESC:s SINDLDESC:s "
          "IMATID:i SMATLDESC:s IANAID:i SDOCCOGNOMENOME:s PRGVER:s DATAEXPORT:d"},
    {'R', "IRECID:i ITREID:i STRELDESC:s STRESDESC:s ITREPESO:i IEREID:i SERELDESC:s SERESDESC:s "
          "IMATID:i ISITID:i IANSFREDWGID:i SFRELDESC:s SFRESDESC:s IPVRID:i SPVRLDESC:s "
          "SPVRSDESC:s DRECATTR:d DRECVER:d"},
    {'F', "IANSFREDWGID:i IFREID:i SFRESDESC:s SFRELDESC:s"},
    {'T', "ITREID:i STRESDESC:s STRELDESC:s LVISIBLE:i ITREPESO:i"},
    {'E', "IEREID:i SERESDESC:s SERELDESC:s LVISIBLE:i IPESOREC:i"},
    {'P', "IPVRID:i SPVRSDESC:s SPVRLDESC:s"},
};

TDataPacket packetAt(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return readDataPacket(file.readAll(), path);
}

QString columnsOf(const TDataPacket &packet)
{
    QStringList columns;
    for (const TFieldDef &def : packet.defs)
        columns << def.Name + QLatin1Char(':') +
                       QLatin1Char(def.DataType == ftInteger  ? 'i'
                                   : def.DataType == ftDate   ? 'd'
                                   : def.DataType == ftString ? 's'
                                                              : '?');
    return columns.join(QLatin1Char(' '));
}

QVariant column(const TDataPacket &packet, int row, const QString &name)
{
    for (int c = 0; c < packet.defs.size(); ++c)
        if (packet.defs.at(c).Name == name)
            return packet.rows.at(size_t(row)).at(c);
    ADD_FAILURE() << "no column " << name.toStdString();
    return {};
}

class PupilExtracts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        module.ExtractVersion = QStringLiteral("1.1.0");
        module.AnsId = 37;
        module.DwgId = 2;
        module.OutputDir = out.path() + QStringLiteral("/root");
    }
    QString file(char letter, const QString &site = {}) const
    {
        return module.OutputDir + (site.isEmpty() ? QString() : QLatin1Char('/') + site) +
               QLatin1Char('/') + TdmExportAlu::fileName(module.YearTag(), QLatin1Char(letter));
    }

    ProgramDatabase db;
    QTemporaryDir out;
    TdmExportAlu module;
};

} // namespace

TEST_F(PupilExtracts, YearsFrom37AddTheMakeupFilesAndEveryFileHasItsColumns)
{
    runSql(QStringLiteral("INSERT INTO TAns_AnniScolast (iAnsId, iAnsValore, dAnsVextoInizio, "
                          "dAnsVextoFine, dAnsInizio, dAnsFine) VALUES (36, 2005, '2005-09-01', "
                          "'2006-08-31', '2005-09-01', '2006-08-31')"));
    for (const auto &[year, tag, letters] :
         {std::tuple{36, "0506", "LACDM"}, std::tuple{37, "0607", "LACDMRFTEP"}}) {
        module.AnsId = year;
        module.ExportAluExtracts();
        QStringList expected;
        for (const char *l = letters; *l; ++l)
            expected << TdmExportAlu::fileName(QLatin1String(tag), QLatin1Char(*l));
        expected.sort();
        EXPECT_EQ(QDir(module.OutputDir).entryList(QDir::Files, QDir::Name), expected);
        for (const char *l = letters; *l; ++l)
            EXPECT_EQ(columnsOf(packetAt(file(*l))), kColumns.at(*l)) << *l << " of " << year;
        const TDataPacket pupils = packetAt(file('A'));
        EXPECT_EQ(pupils.rows.empty(), year == 36);
        if (year == 37) {
            EXPECT_EQ(column(pupils, 0, "PRGVER").toString(), QStringLiteral("1.1.0"));
            EXPECT_EQ(column(pupils, 0, "SANNODESC").toString(), QStringLiteral("2006-2007"));
        }
        QDir(module.OutputDir).removeRecursively();
    }
}

// The pupils of 2007/2008 over their years; their debts with the pupil's and both teachers' ids.
TEST_F(PupilExtracts, ClassesHoldEverySituationAndDebtsTellTheThreeIdsApart)
{
    module.AnsId = 38;
    module.ExportAluExtracts();
    const int situations =
        scalar(QStringLiteral(
                   "SELECT COUNT(*) FROM TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = "
                   "S.iClsPstId JOIN TCls_Classi C ON C.iClsId = P.iClsId WHERE C.iDwgId = 2 AND "
                   "S.iAnaId IN (SELECT iAnaId FROM TSit_Situazioni WHERE iSitOrdine = 1 AND "
                   "dStart = '2007-09-01')"))
            .toInt();
    const TDataPacket classes = packetAt(file('C'));
    EXPECT_EQ(int(classes.rows.size()), situations);
    QSet<int> years;
    for (int r = 0; r < int(classes.rows.size()); ++r)
        years << column(classes, r, "IANSID").toInt();
    EXPECT_EQ(years, (QSet<int>{37, 38, 39}));

    const TDataPacket debts = packetAt(file('D'));
    ASSERT_FALSE(debts.rows.empty());
    int verified = 0;
    for (int r = 0; r < int(debts.rows.size()); ++r) {
        QSqlQuery q = runSql(
            QStringLiteral("SELECT D.iAnaId_Ver, D.iAnaId_Attr FROM TDeb_Debiti D JOIN "
                           "TSit_Situazioni S ON S.iSitId = D.iSitId JOIN TClsPst P ON "
                           "P.iClsPstId = S.iClsPstId WHERE S.iAnaId = ? AND D.iMatId = ? AND "
                           "P.iClsId = ?"),
            {column(debts, r, "IANAID"), column(debts, r, "IMATID"), column(debts, r, "ICLSID")});
        ASSERT_TRUE(q.next());
        EXPECT_EQ(column(debts, r, "IANAID_1").toInt(), q.value(0).toInt());
        EXPECT_EQ(column(debts, r, "IANAID_2").toInt(), q.value(1).toInt());
        verified += column(debts, r, "IANAID_1").isValid();
    }
    EXPECT_GT(verified, 0);
    EXPECT_LT(verified, int(debts.rows.size()));
}

TEST_F(PupilExtracts, SplitBySiteWritesEachSiteSetAndNoCodeLeavesTheFolder)
{
    module.SplitBySite = true;
    module.ExportAluExtracts();
    EXPECT_EQ(module.SiteList(), (QStringList{"ABCD01000X", "ABCD01001Y"}));
    int pupils = 0;
    for (const QString &site : module.SiteList()) {
        EXPECT_EQ(QDir(module.OutputDir + QLatin1Char('/') + site).entryList(QDir::Files).size(),
                  10);
        const TDataPacket set = packetAt(file('A', site));
        pupils += int(set.rows.size());
        // The second site teaches the vocational classes (section C) only.
        for (int r = 0; r < int(set.rows.size()); ++r)
            EXPECT_EQ(column(set, r, "ICLSID").toInt() % 1000 / 10 == 2, site == "ABCD01001Y");
    }
    QFile first(file('M', module.SiteList().at(0)));
    QFile second(file('M', module.SiteList().at(1)));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), second.readAll());
    EXPECT_EQ(pupils, scalar(QStringLiteral("SELECT COUNT(*) FROM TSit_Situazioni WHERE "
                                            "dStart = '2006-09-01'"))
                          .toInt());

    // Codes the office typed: bound as values, and folder names inside the output folder.
    runSql(QStringLiteral("UPDATE TSedInf_SedeInfo SET sSedMecCod = ? WHERE iSedId = 1"), {"O'X"});
    runSql(QStringLiteral("UPDATE TSedInf_SedeInfo SET sSedMecCod = ? WHERE iSedId = 2"), {"../x"});
    QDir(module.OutputDir).removeRecursively();
    module.ExportAluExtracts();
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"root"});
    EXPECT_EQ(QDir(module.OutputDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"O_X", "_._x"}));
    EXPECT_FALSE(packetAt(file('A', "O_X")).rows.empty());
    EXPECT_FALSE(packetAt(file('A', "_._x")).rows.empty());

    // No code at all: nothing to split by, nothing written.
    runSql(QStringLiteral("UPDATE TSedInf_SedeInfo SET sSedMecCod = NULL"));
    QDir(module.OutputDir).removeRecursively();
    module.ExportAluExtracts();
    EXPECT_TRUE(module.SiteList().isEmpty());
    EXPECT_FALSE(QDir(module.OutputDir).exists());
}
