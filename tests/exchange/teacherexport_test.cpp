#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/globalvars.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "reportengine/reportstore.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

namespace {

const QStringList kExpDocKeys = {"Vot", "Vtp", "Tas", "Ass", "Aiu", "Not", "Deb", "Comp"};

// Files every export with classes writes, whatever the flags.
const QStringList kAlways = {"InfoSed.xml",   "Ans.xml",    "ClsDwg.xml", "ClsSes.xml",
                             "MatRmaPst.xml", "ClsMat.xml", "MatCls.xml", "ClsAlu.xml",
                             "AluMat.xml",    "DocCls.xml", "Info.ini"};

class TeacherExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        folder = db.mainDir.path() + QStringLiteral("Docenti/Marchetti/");
        ASSERT_TRUE(QDir().mkpath(folder));
    }

    // The office's exchange settings: the flags named are 1, the others 0.
    void setFlags(const QStringList &on)
    {
        QByteArray ini = "[ExpDoc]\r\n";
        for (const QString &key : kExpDocKeys)
            ini += key.toLatin1() + (on.contains(key) ? "=1\r\n" : "=0\r\n");
        writeFileBytes(db.mainDir.path() + QStringLiteral("ETC/ParGen.ini"), ini);
    }

    // The teacher export as the send window runs it: the folder cleared first.
    QStringList exportTeacher(int iAnaId, const QString &name = QStringLiteral("Docente"))
    {
        TdmqelXML::ClearFolder(folder);
        TdmqelXML xml;
        xml.iAnaId = iAnaId;
        xml.sDocNome = name;
        xml.sFolder = folder;
        xml.ExportTeacherData();
        return QDir(folder).entryList(QDir::Files);
    }

    TClientDataSet &packet(const QString &name)
    {
        m_packet.LoadFromFile(folder + name);
        return m_packet;
    }

    // Every XML packet of the folder, well formed and in the published layout.
    void expectValidPackets()
    {
        QStringList arguments = {
            QStringLiteral("--noout"), QStringLiteral("--schema"),
            QStringLiteral(TAVRIN_SOURCE_DIR "/tests/platform/fixtures/datapacket.xsd")};
        for (const QString &file : QDir(folder).entryList({QStringLiteral("*.xml")}, QDir::Files))
            arguments << folder + file;
        QProcess lint;
        lint.start(QStringLiteral("xmllint"), arguments);
        ASSERT_TRUE(lint.waitForFinished(60000)) << "xmllint (libxml2-utils) did not run";
        EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().toStdString();
    }

    // (class, subject) pairs the teacher teaches.
    static QSet<QPair<int, int>> teaches(int iAnaId)
    {
        QSet<QPair<int, int>> pairs;
        QSqlQuery q = runSql("SELECT iClsId, iMatId FROM TClsMatAna WHERE iAnaId = ?", {iAnaId});
        while (q.next())
            pairs.insert({q.value(0).toInt(), q.value(1).toInt()});
        return pairs;
    }

    ProgramDatabase db;
    QString folder;

private:
    TClientDataSet m_packet;
};

} // namespace

TEST_F(TeacherExport, EachFlagSendsItsFilesAndOnlyThose)
{
    const QStringList debts = {"ClsDeb.xml", "MVotDeb.xml", "MVtpDeb.xml",
                               "Debiti.frf", "DebTip.xml",  "DebEsi.xml"};
    struct Case
    {
        const char *what;
        QStringList flags;
        QStringList present;
        QStringList absent;
    } cases[] = {
        {"taxonomies without votes or proposals",
         {"Tas"},
         {"Voti.frf", "LivVot_Tas.xml", "ClsTas.xml"},
         QStringList{"ClsVot.xml", "ClsVtp.xml", "LivVtp.xml", "DocIst.xml", "Note.frf"} + debts},
        {"everything but debts",
         {"Vot", "Vtp", "Tas", "Ass", "Aiu", "Not", "Comp"},
         {"ClsVot.xml", "ClsVtp.xml", "ClsTas.xml", "ClsAss.xml", "ClsAiu.xml", "ClsNot.xml",
          "LivVtp.xml", "DocIst.xml", "Voti.frf", "Note.frf"},
         debts},
        {"debts alone",
         {"Deb"},
         debts,
         {"DocIst.xml", "Voti.frf", "Note.frf", "LivVot_Tas.xml", "ClsVot.xml", "ClsAss.xml"}},
        {"notes bring the institute's teachers",
         {"Not"},
         {"DocIst.xml", "Note.frf", "ClsNot.xml"},
         {"Voti.frf", "LivVot_Tas.xml", "ClsAiu.xml"}},
        {"votes bring the institute's teachers",
         {"Vot"},
         {"DocIst.xml", "ClsVot.xml", "Voti.frf", "LivVot_Tas.xml"},
         {"Note.frf", "ClsTas.xml"}},
        {"proposals alone",
         {"Vtp"},
         {"Voti.frf", "LivVtp.xml", "ClsVtp.xml"},
         {"DocIst.xml", "LivVot_Tas.xml"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        setFlags(c.flags);
        const QStringList files = exportTeacher(1000001);
        for (const QString &file : kAlways + c.present)
            EXPECT_TRUE(files.contains(file)) << file.toStdString();
        for (const QString &file : c.absent)
            EXPECT_FALSE(files.contains(file)) << file.toStdString();
        // The collection imports what the office sent.
        TdmqelXML back;
        back.sFolder = folder;
        back.LoadClassFlags(39005);
        EXPECT_EQ(back.iVot, c.flags.contains("Vot") ? 1 : 0);
        EXPECT_EQ(back.iDeb, c.flags.contains("Deb") ? 1 : 0);
        EXPECT_EQ(back.iComp, c.flags.contains("Comp") ? 1 : 0);
        EXPECT_TRUE(back.CheckTeacherInfo(1000001));
        expectValidPackets();
    }

    // Everything on: 7 general packets, 3 templates, 17 class packets and Info.ini. The
    // templates travel byte for byte.
    setFlags(kExpDocKeys);
    EXPECT_EQ(exportTeacher(1000001).size(), 28);
    const TfrReportStore store;
    EXPECT_EQ(readFileBytes(folder + "Voti.frf"), store.Bytes(16089));
    EXPECT_EQ(readFileBytes(folder + "Note.frf"), store.Bytes(16090));
    EXPECT_EQ(readFileBytes(folder + "Debiti.frf"), store.Bytes(16091));
    EXPECT_FALSE(store.Bytes(16089).isEmpty());
    expectValidPackets();
}

TEST_F(TeacherExport, ATeacherWithoutClassesGetsTheGeneralPacketsTemplatesAndInfo)
{
    setFlags(kExpDocKeys);
    QStringList files = exportTeacher(1000099);
    files.sort();
    EXPECT_EQ(files, (QStringList{"Ans.xml", "DebEsi.xml", "DebTip.xml", "Debiti.frf", "DocIst.xml",
                                  "Info.ini", "InfoSed.xml", "LivVot_Tas.xml", "LivVtp.xml",
                                  "Note.frf", "Voti.frf"}));
    // Every teacher of the institute, once, in name order.
    TClientDataSet &teachers = packet("DocIst.xml");
    EXPECT_EQ(teachers.RecordCount(), 18);
    QStringList names;
    for (teachers.First(); !teachers.Eof(); teachers.Next())
        names << teachers.FieldByName("sDocNome")->AsString().toUpper();
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(names, sorted);
    EXPECT_EQ(packet("Ans.xml").RecordCount(), 3);
    expectValidPackets();
}

TEST_F(TeacherExport, ValuePacketsHoldOnlyTheTeachersSubjectsAndDebtsHeVerifies)
{
    // The teacher of Italian and history of the vocational classes, whose pupils also have
    // proposals, aids and notes of other teachers' subjects.
    const int teacher = 1000011;
    // A debt of this year in 1A, verified by him though he does not teach in 1A; another one
    // of last year, which stays out.
    const int debt = 227;
    const int oldDebt = scalar("SELECT MIN(d.iDebId) FROM TDeb_Debiti d JOIN TSit_Situazioni s "
                               "ON s.iSitId = d.iSitId JOIN TClsPst p ON p.iClsPstId = "
                               "s.iClsPstId WHERE p.iClsId = 38001")
                            .toInt();
    ASSERT_GT(oldDebt, 0);
    runSql("UPDATE TDeb_Debiti SET iAnaId_Ver = ? WHERE iDebId IN (?, ?)",
           {teacher, debt, oldDebt});
    setFlags(kExpDocKeys);
    exportTeacher(teacher);

    const QSet<QPair<int, int>> mine = teaches(teacher);
    QSet<int> myClasses;
    QSet<int> mySubjects;
    for (const auto &[cls, mat] : mine) {
        if (cls / 1000 == 39) {
            myClasses.insert(cls);
            mySubjects.insert(mat);
        }
    }
    ASSERT_FALSE(myClasses.contains(39001));
    QHash<int, int> subjectOf; // iClsSesMatId -> iMatId
    QSqlQuery q = runSql("SELECT csm.iClsSesMatId, r.iMatId FROM TClsSesMat csm "
                         "JOIN TMatRma r ON r.iMatRmaId = csm.iMatRmaId");
    while (q.next())
        subjectOf.insert(q.value(0).toInt(), q.value(1).toInt());

    for (const char *name : {"ClsVot.xml", "ClsVtp.xml", "ClsTas.xml", "ClsAiu.xml", "ClsAss.xml",
                             "ClsNot.xml", "MatCls.xml"}) {
        SCOPED_TRACE(name);
        TClientDataSet &rows = packet(QString::fromLatin1(name));
        if (QByteArray(name) != "ClsTas.xml") {
            EXPECT_GT(rows.RecordCount(), 0);
        }
        for (rows.First(); !rows.Eof(); rows.Next()) {
            const int cls = rows.FieldByName("iClsId")->AsInteger();
            const int mat = subjectOf.value(rows.FieldByName("iClsSesMatId")->AsInteger());
            EXPECT_TRUE(mine.contains({cls, mat})) << cls << " " << mat;
        }
    }
    TClientDataSet &components = packet("ClsMat.xml");
    EXPECT_GT(components.RecordCount(), 0);
    for (components.First(); !components.Eof(); components.Next())
        EXPECT_TRUE(mine.contains({components.FieldByName("iClsId")->AsInteger(),
                                   components.FieldByName("iMatId")->AsInteger()}));
    // Every vote and note of his subjects in the session is there.
    const QString ofHisSubjects =
        QStringLiteral("JOIN TClsSes cs ON cs.iClsSesId = csm.iClsSesId "
                       "JOIN TMatRma r ON r.iMatRmaId = csm.iMatRmaId "
                       "JOIN TClsMatAna a ON a.iClsId = cs.iClsId AND a.iMatId = r.iMatId "
                       "WHERE cs.iAnsSesDwgId = 392 AND a.iAnaId = ?");
    const int votes = scalar("SELECT COUNT(*) FROM TVot_Voti v "
                             "JOIN TClsMatCmp c ON c.iClsMatCmpId = v.iClsMatCmpId "
                             "JOIN TClsSesMat csm ON csm.iClsSesMatId = c.iClsSesMatId " +
                                 ofHisSubjects,
                             {teacher})
                          .toInt();
    EXPECT_EQ(packet("ClsVot.xml").RecordCount(), votes);
    const int notes = scalar("SELECT COUNT(*) FROM TNot_Note n "
                             "JOIN TClsSesMat csm ON csm.iClsSesMatId = n.iClsSesMatId " +
                                 ofHisSubjects,
                             {teacher})
                          .toInt();
    EXPECT_EQ(packet("ClsNot.xml").RecordCount(), notes);

    TClientDataSet &debts = packet("ClsDeb.xml");
    QSet<int> ids;
    for (debts.First(); !debts.Eof(); debts.Next()) {
        const int id = debts.FieldByName("iDebId")->AsInteger();
        ids.insert(id);
        if (id == debt)
            continue;
        EXPECT_TRUE(myClasses.contains(debts.FieldByName("iClsId")->AsInteger())) << id;
        EXPECT_TRUE(mySubjects.contains(debts.FieldByName("iMatId")->AsInteger())) << id;
    }
    EXPECT_TRUE(ids.contains(debt));
    EXPECT_FALSE(ids.contains(oldDebt));
    EXPECT_GT(ids.size(), 1);
}

TEST_F(TeacherExport, AFailedExportLeavesNoInfoIniAndTheFolderIsRefused)
{
    // An old, complete export of the same teacher, written over without emptying the folder;
    // this time ClsAlu.xml cannot be written.
    setFlags(kExpDocKeys);
    writeFileBytes(folder + "info.INI", "[Docente]\r\nID=1000001\r\n[ExpDoc]\r\nVot=1\r\n");
    ASSERT_TRUE(QDir(folder).mkdir("ClsAlu.xml"));
    TdmqelXML xml;
    xml.iAnaId = 1000001;
    xml.sDocNome = QStringLiteral("Marchetti Chiara");
    xml.sFolder = folder;
    ASSERT_TRUE(xml.CheckTeacherInfo(1000001));
    EXPECT_THROW(xml.ExportTeacherData(), EVxException);

    EXPECT_FALSE(xml.CheckTeacherInfo(1000001));
    const QStringList files = QDir(folder).entryList(QDir::Files);
    EXPECT_TRUE(files.contains("MatCls.xml"));
    EXPECT_FALSE(files.contains("DocCls.xml"));
    for (const QString &file : files)
        EXPECT_NE(file.toLower(), QStringLiteral("info.ini"));
    // The wait window closed and the cursor came back.
    EXPECT_EQ(xml.Wait(), nullptr);
    EXPECT_EQ(fmVxWait.data(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TeacherExport, InfoIniIsWindows1252WithCrLfAndTheYearsOwnText)
{
    setFlags({"Vot", "Deb"});
    exportTeacher(1000099, QString::fromUtf8("Niccolò Dell'Età Łukasz"));
    EXPECT_EQ(readFileBytes(folder + "Info.ini"),
              QByteArray("[Docente]\r\nID=1000099\r\nNome=Niccol\xF2 Dell'Et\xE0 ?ukasz\r\n"
                         "Anno=2008/2009\r\nSessione=Scrutinio finale\r\n\r\n"
                         "[ExpDoc]\r\nVot=1\r\nVtp=0\r\nTas=0\r\nAss=0\r\nAiu=0\r\nNot=0\r\n"
                         "Deb=1\r\nComp=0\r\n"));
}
