#include "exchange/qelwait.h"
#include "exchange/qelxml.h"
#include "platform/globalvars.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSet>

#include <gtest/gtest.h>

namespace {

class XmlEngine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        folder = db.mainDir.path() + QStringLiteral("scambio/");
        ASSERT_TRUE(QDir().mkpath(folder));
    }

    // The situations a filtered select gives, as a set.
    static QSet<int> sits(const QString &sql)
    {
        QSet<int> result;
        QSqlQuery query = runSql(sql);
        while (query.next())
            result.insert(query.value(0).toInt());
        return result;
    }

    ProgramDatabase db;
    QString folder;
};

// The pupils (main situations) of a class, filtered by "/*PST*/" twice: each occurrence must go.
const char kPupils[] = "SELECT TSit.iSitId FROM TSit_Situazioni TSit "
                       "JOIN TClsPst ClsPst ON ClsPst.iClsPstId = TSit.iClsPstId "
                       "WHERE ClsPst.iClsId = %1 AND TSit.iSitOrdine = 1 AND /*PST*/ "
                       "AND (/*PST*/)";

} // namespace

TEST_F(XmlEngine, PlanFilterKeepsThePlanTheSuspendedAndTheAdmitted)
{
    // 3C takes the qualification exam in 394: two of its pupils have an admission vote there,
    // one of value 0 (level 200), one of 60 (212); the others none.
    runSql("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) "
           "VALUES (9000001, 2929, 862, 212)");
    runSql("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) "
           "VALUES (9000002, 2929, 863, 200)");
    QSet<int> fifthA;
    for (int sit = 955; sit <= 979; ++sit)
        fifthA.insert(sit);
    fifthA.remove(956);

    struct Case
    {
        const char *what;
        int clsId, clsSesId, yearSession, sessionKind, plan;
        bool onlyAdmitted;
        QString filter;   // the condition, when it is a fixed text
        QSet<int> pupils; // the rows the filtered select gives
    } cases[] = {
        {"every plan", 39005, 390052, 392, 2, -1, false, "1=1", fifthA + QSet<int>{956, 980}},
        {"one plan", 39005, 390052, 392, 2, 12, false, "ClsPst.iPstId=12", {956}},
        {"a plan of another class", 39005, 390052, 392, 2, 7, false, "ClsPst.iPstId=7", {}},
        {"final session, no qualification", 39005, 390052, 392, 2, -1, true, "1=1",
         fifthA + QSet<int>{956, 980}},
        {"deferred session",
         39005,
         390053,
         393,
         3,
         -1,
         true,
         "1=1 and TSit.IPOSFINID_SOSP is not null",
         {957}},
        {"deferred, not only admitted", 39005, 390053, 393, 3, 11, false, "ClsPst.iPstId=11",
         fifthA + QSet<int>{980}},
        {"qualification class", 39023, 390234, 394, 2, -1, true, QString(), {862}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TdmqelXML xml;
        xml.iMode = 1;
        xml.iAnsSesDwgId = c.yearSession;
        xml.iClsSesId = c.clsSesId;
        xml.SetSessionKind(c.sessionKind);
        xml.LoadClassFlags(c.clsId);
        const QString sql = QString::fromLatin1(kPupils).arg(c.clsId);
        const QString filtered =
            xml.BuildPstFilter(c.plan, sql, QStringLiteral("ClsPst"), c.onlyAdmitted);
        EXPECT_FALSE(filtered.contains(QStringLiteral("/*PST*/")));
        if (!c.filter.isNull()) {
            EXPECT_EQ(filtered, QString(sql).replace(QStringLiteral("/*PST*/"), c.filter));
        }
        EXPECT_EQ(sits(filtered), c.pupils);
    }
}

TEST_F(XmlEngine, ClassFlagsComeFromTheSessionOrTheFoldersInfoIni)
{
    runSql("UPDATE TClsSes SET iClsSesTas = 0, iClsSesComp = 0, iClsSesCre = NULL "
           "WHERE iClsSesId = 390052");
    TdmqelXML xml;
    xml.iMode = 1;
    xml.LoadClassFlags(39005);
    EXPECT_EQ(xml.iClsId, 39005);
    const int classFlags[] = {xml.iVot, xml.iVtp, xml.iTas, xml.iAss, xml.iAiu, xml.iNot,
                              xml.iDeb, xml.iEsi, xml.iCre, xml.iGdz, xml.iComp};
    EXPECT_EQ(std::vector<int>(std::begin(classFlags), std::end(classFlags)),
              (std::vector<int>{1, 1, 0, 1, 1, 1, 1, 1, 0, 1, 0}));

    // Teacher mode: only the folder's [ExpDoc] counts, and the class-only flags are 0.
    xml.iMode = 0;
    xml.sFolder = folder;
    writeFileBytes(folder + QStringLiteral("INFO.INI"),
                   "[Docente]\r\nID=1000001\r\n[ExpDoc]\r\nVot=1\r\nTas=1\r\nDeb=0\r\nComp=1\r\n");
    xml.LoadClassFlags(39004);
    const int teacherFlags[] = {xml.iVot, xml.iVtp, xml.iTas, xml.iAss, xml.iAiu, xml.iNot,
                                xml.iDeb, xml.iEsi, xml.iCre, xml.iGdz, xml.iComp};
    EXPECT_EQ(std::vector<int>(std::begin(teacherFlags), std::end(teacherFlags)),
              (std::vector<int>{1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_TRUE(xml.CheckTeacherInfo(1000001));
    EXPECT_FALSE(xml.CheckTeacherInfo(1000002));

    // No Info.ini: every flag 0, and neither folder kind passes its check, not even for 0.
    QFile::remove(folder + QStringLiteral("INFO.INI"));
    xml.LoadClassFlags(39004);
    EXPECT_EQ(xml.iVot + xml.iTas + xml.iComp, 0);
    EXPECT_FALSE(xml.CheckTeacherInfo(0));
    EXPECT_FALSE(xml.CheckClassInfo(0, 0));

    // A class folder: Info.ini alone is not enough, ClsSes.xml must name the class session.
    xml.iClsId = 39005;
    xml.sClsDesc = QString::fromUtf8("5A LICEO È");
    xml.WriteClassInfo();
    EXPECT_EQ(readFileBytes(folder + QStringLiteral("Info.ini")),
              QByteArray("[Classe]\r\nID=39005\r\nDescrizione=5A LICEO \xC8\r\n"));
    EXPECT_FALSE(xml.CheckClassInfo(39005, 390052));
    TClientDataSet session;
    session.AddFieldDef(QStringLiteral("iClsSesId"), ftInteger);
    session.CreateDataSet();
    session.Append();
    session.FieldByName(QStringLiteral("iClsSesId"))->setValue(390052);
    session.Post();
    session.SaveToFile(folder + QStringLiteral("ClsSes.xml"), dfXML);
    EXPECT_TRUE(xml.CheckClassInfo(39005, 390052));
    EXPECT_FALSE(xml.CheckClassInfo(39005, 390053));
    EXPECT_FALSE(xml.CheckClassInfo(39004, 390052));
    writeFileBytes(folder + QStringLiteral("ClsSes.xml"), "<DATAPACKET");
    EXPECT_FALSE(xml.CheckClassInfo(39005, 390052));
}

TEST_F(XmlEngine, IdListsAreIntegersAndAnEmptyOneMatchesNothing)
{
    TdmqelXML xml;
    xml.scdExp.setCommandText("SELECT iAnaId, sAnaCognome FROM TAna_Anagrafiche "
                              "WHERE iAnaId IN (1000002, 1000001) ORDER BY iAnaId DESC");
    xml.scdExp.Open();
    EXPECT_EQ(xml.FieldValueList(QStringLiteral("IANAID")), QStringLiteral("(1000002,1000001)"));
    // Text never goes into SQL, whatever the column holds.
    EXPECT_THROW(xml.FieldValueList(QStringLiteral("sAnaCognome")), EVxException);

    xml.scdExp.setCommandText("SELECT iAnaId FROM TAna_Anagrafiche WHERE iAnaId < 0");
    xml.scdExp.Open();
    const QString none = xml.FieldValueList(QStringLiteral("iAnaId"));
    EXPECT_EQ(none, QStringLiteral("(-1)"));
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT COUNT(*) FROM TAna_Anagrafiche WHERE iAnaId IN %1").arg(none))
            .toInt(),
        0);

    xml.iAnaId = 1000001;
    EXPECT_EQ(xml.TeacherClassList(), QStringLiteral("(39001,39002,39003,39004,39005)"));
    xml.iAnaId = 1000099;
    EXPECT_EQ(xml.TeacherClassList(), QString());
    // The list follows the year-session the engine works in.
    xml.iAnaId = 1000001;
    xml.iAnsSesDwgId = 382;
    EXPECT_EQ(xml.TeacherClassList(), QStringLiteral("(38001,38002,38003,38004,38005)"));
}

TEST_F(XmlEngine, ClearFolderDeletesOnlyTheFoldersOwnFiles)
{
    EXPECT_THROW(TdmqelXML::ClearFolder(QString()), EVxException);
    EXPECT_THROW(TdmqelXML::ClearFolder(QStringLiteral("  ")), EVxException);
    EXPECT_THROW(TdmqelXML::ClearFolder(QStringLiteral("/")), EVxException);
    EXPECT_THROW(TdmqelXML::ClearFolder(QStringLiteral("scambio/")), EVxException);
    // A link to the root is the root.
    const QString rootLink = db.mainDir.path() + QStringLiteral("radice");
    ASSERT_TRUE(QFile::link(QStringLiteral("/"), rootLink));
    EXPECT_THROW(TdmqelXML::ClearFolder(rootLink + QLatin1Char('/')), EVxException);

    const QString outside = db.mainDir.path() + QStringLiteral("fuori.txt");
    writeFileBytes(outside, "di altri");
    writeFileBytes(folder + QStringLiteral("Info.ini"), "[Docente]\r\nID=1\r\n");
    writeFileBytes(folder + QStringLiteral(".nascosto"), "x");
    writeFileBytes(folder + QStringLiteral("sotto/ClsVot.xml"), "resta");
    ASSERT_TRUE(QFile::link(outside, folder + QStringLiteral("collegamento.txt")));
    ASSERT_TRUE(QFile::link(db.mainDir.path(), folder + QStringLiteral("cartella")));

    TdmqelXML::ClearFolder(QString(folder).replace(QLatin1Char('/'), QLatin1Char('\\')));
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                     QDir::NoDotAndDotDot),
              (QStringList{"cartella", "collegamento.txt", "sotto"}));
    EXPECT_EQ(readFileBytes(folder + QStringLiteral("sotto/ClsVot.xml")), QByteArray("resta"));
    EXPECT_EQ(readFileBytes(outside), QByteArray("di altri"));
    EXPECT_TRUE(QFileInfo::exists(db.mainDir.path() + QStringLiteral("ETC")));
}

TEST_F(XmlEngine, AnnullaInTheWaitWindowSetsTheFlagWhileTheExportRunsToItsEnd)
{
    writeFileBytes(db.mainDir.path() + QStringLiteral("ETC/ParGen.ini"),
                   "[ExpDoc]\r\nVot=1\r\nNot=1\r\n");
    TdmqelXML xml;
    xml.iAnaId = 1000099;
    xml.sDocNome = QStringLiteral("Docente Senza Classi");
    xml.sFolder = folder;
    int packets = 0;
    xml.onPacketWritten = [&](const QString &) {
        TfmqelWait *wait = xml.Wait();
        ASSERT_NE(wait, nullptr);
        if (packets++ == 0) {
            EXPECT_EQ(wait->windowTitle(), QStringLiteral("Attendere"));
            EXPECT_EQ(wait->Text(), QStringLiteral("Invio dati del docente: Docente Senza Classi"));
            EXPECT_EQ(wait->windowModality(), Qt::NonModal);
            EXPECT_TRUE(wait->windowFlags() & Qt::WindowStaysOnTopHint);
            EXPECT_TRUE(wait->buAnnulla()->isVisibleTo(wait));
            EXPECT_EQ(wait->buAnnulla()->text(), QStringLiteral("Annulla"));
            // Pressed as a user does: the click waits in the event queue until the engine
            // lets the window's events run.
            QMetaObject::invokeMethod(wait->buAnnulla(), "click", Qt::QueuedConnection);
            EXPECT_FALSE(xml.lCancel);
        } else {
            EXPECT_TRUE(xml.lCancel);
        }
    };
    xml.ExportTeacherData();
    EXPECT_GT(packets, 2);
    EXPECT_TRUE(xml.lCancel);
    // The export ran to its end, and the window went with it.
    EXPECT_TRUE(xml.CheckTeacherInfo(1000099));
    EXPECT_EQ(xml.Wait(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(XmlEngine, ScrutinyBaseFolderFallsBackToHomeWhenTheStoredOneIsNotHere)
{
    TdmqelXML xml;
    EXPECT_EQ(xml.ScrutinioBaseFolder(), QDir::homePath() + QLatin1Char('/'));
    xml.xpsPathScrutinio.SetValore(QStringLiteral("c:\\"));
    EXPECT_EQ(xml.ScrutinioBaseFolder(), QDir::homePath() + QLatin1Char('/'));
    xml.xpsPathScrutinio.SetValore(folder);
    EXPECT_EQ(xml.ScrutinioBaseFolder(), folder);
    EXPECT_TRUE(readFileBytes(db.mainDir.path() + QStringLiteral("ETC/qelParScrut.ini"))
                    .contains("[sDirBase]\r\nxpsPathScrutinio="));
}

TEST(XmlKinds, KindsKeepTheirOwnNumbering)
{
    QList<int> kinds;
    for (const TqelXmlKind &kind : qelXmlKinds())
        kinds << kind.kind;
    EXPECT_EQ(kinds, (QList<int>{0, 1, 2, 3, 4, 5, 7, 8, 9, 10}));
    EXPECT_EQ(QString::fromLatin1(qelXmlKinds().back().packet), QStringLiteral("Competenze.xml"));
    EXPECT_TRUE(qelXmlKinds()[6].flag == &TdmqelXML::iDeb);
}
