#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/dialogseam.h"
#include "platform/engineerrors.h"
#include "platform/lockwait.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "tests/support/otheroffice.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlRecord>

#include <gtest/gtest.h>

namespace {

// Every row the collection may write, by natural keys, without generated keys and dInsert.
const char *const kTables[] = {
    "V TVot_Voti iClsMatCmpId iSitId iScaLivId dStart dEnd",
    "P TVtp_Proposti iClsMatCmpId iSitId iPrpScaLivId dStart dEnd",
    "T TTas_Tassonomie iClsMatCmpId iSitId iScaLivId dStart dEnd",
    "A TAss_Assenze iClsSesMatId iSitId iAssOre dStart dEnd",
    "U TAiu_Aiuti iClsSesMatId iSitId sAiuVal dStart dEnd",
    "N TNot_Note iClsSesMatId iSitId dNotData iAnaId bNotNota dStart dEnd",
    "D TDeb_Debiti iSitId iMatId dDebAttr dDebVer iAnaId_Attr iAnaId_Ver iDesDedId iDtpDtdId "
    "bDebNota dStart dEnd",
    "G TGdz_Giudizi iSitId iAnsSesDwgId bGdzGiudizio dStart dEnd",
    "S TSit_Situazioni iSitId iPosFinId iFreqId",
    "C TCOMP_COMPETENZE IANAID ISITID ICOMPASSEID ICOMPLIVID ILINGUASTRANIERAID SCOMPNOTE"};

class ClassCollect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        // Every kind on; a pupil without attendance code, one absent ("D"), a competence of
        // no situation that no class collection may touch, a verified debt and two notes.
        for (const char *sql :
             {"UPDATE TClsSes SET iClsSesVot = 1, iClsSesVtp = 1, iClsSesTas = 1, iClsSesAss = 1, "
              "iClsSesAiu = 1, iClsSesNot = 1, iClsSesDeb = 1, iClsSesEsi = 1, iClsSesGdz = 1, "
              "iClsSesComp = 1 WHERE iClsSesId = 390052",
              "UPDATE TSit_Situazioni SET iFreqId = IIF(iSitId = 955, NULL, 2) "
              "WHERE iSitId IN (955, 957)",
              "INSERT INTO TCOMP_COMPETENZE (ICOMPID, IANAID, ISITID, ICOMPASSEID) "
              "SELECT 9100001, iAnaId, NULL, 1 FROM TSit_Situazioni WHERE iSitId = 955",
              "INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, dDebAttr, dDebVer, dStart, dEnd) "
              "SELECT 9300001, 959, r.iMatId, '2009-06-12', '2009-06-30', '2008-09-01', "
              "'2009-08-31' FROM TClsSesMat m JOIN TMatRma r ON r.iMatRmaId = m.iMatRmaId "
              "WHERE m.iClsSesMatId = 1320",
              "INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, dNotData, bNotNota, dInsert, "
              "dStart, dEnd) SELECT 9200000 + iSitId, 1320, iSitId, '2009-01-10', 'Nota', dStart, "
              "dStart, dEnd FROM TSit_Situazioni WHERE iSitId IN (955, 958)"})
            runSql(sql);
        QDir().mkpath(folder);
    }
    void TearDown() override { setLockWaitTimeout(10000); }

    static QStringList snapshot()
    {
        QStringList rows;
        for (const char *table : kTables) {
            const QStringList words = QString(table).split(' ');
            const QString sql = "SELECT " + words.mid(2).join(',') + " FROM " + words[1];
            for (QSqlQuery q = runSql(sql); q.next();) {
                QString row = words[0];
                for (int i = 0; i < q.record().count(); ++i)
                    row += '|' + (q.isNull(i) ? QStringLiteral("-") : q.value(i).toString());
                rows << row;
            }
        }
        rows.sort();
        return rows;
    }
    // The rows gone and the rows come since the snapshot.
    static std::pair<QStringList, QStringList> changes(const QStringList &before)
    {
        QStringList gone = before, come = snapshot();
        gone.removeIf([&come](const QString &row) { return come.removeOne(row); });
        return {gone, come};
    }
    void exportClass(int plan = -1)
    {
        TdmqelXML xml;
        xml.iMode = 1;
        xml.SetSessionKind(2);
        xml.LoadClassFlags(39005);
        xml.sFolder = folder;
        xml.iClsSesId = 390052;
        xml.iPstId = plan;
        xml.ExportClassData();
    }
    QStringList collect(int teacher = 0)
    {
        TdmqelXML xml;
        xml.iMode = teacher ? 0 : 1;
        xml.iAnaId = teacher;
        xml.sFolder = folder;
        xml.LoadClassFlags(39005);
        return xml.CollectData();
    }
    // The packet changed through its API, its cursor on the first row, as the coordinator's
    // program saves it.
    void edit(const QString &file, const std::function<void(TClientDataSet &)> &change,
              TDataPacketFormat format = dfXML)
    {
        TClientDataSet packet;
        packet.LoadFromFile(folder + file);
        packet.First();
        change(packet);
        packet.SaveToFile(folder + file, format);
    }
    static void set(TClientDataSet &p, const char *field, const QVariant &value)
    {
        p.Edit();
        p.FieldByName(field)->setValue(value);
        p.Post();
    }
    static void raiseVote(TClientDataSet &p)
    {
        set(p, "iValId", p.FieldByName("iValId")->AsInteger() + 1);
    }

    ProgramDatabase db;
    QString folder = db.mainDir.path() + QStringLiteral("Classi/5A/");
};

} // namespace

TEST_F(ClassCollect, UnchangedFoldersChangeNothingInEitherFormNorOutsideThePlanSent)
{
    const QStringList before = snapshot();
    exportClass();
    EXPECT_EQ(collect(), QStringList());
    EXPECT_EQ(snapshot(), before);
    for (const QString &file : QDir(folder).entryList({"*.xml"}))
        edit(
            file, [](TClientDataSet &) {}, dfBinary);
    EXPECT_EQ(collect(), QStringList());
    EXPECT_EQ(snapshot(), before);
    // One plan's folder carries only its pupils' debts, competences and outcomes.
    const QRegularExpression pupilRows("^[DCS]\\|");
    TdmqelXML::ClearFolder(folder);
    exportClass(12);
    EXPECT_EQ(collect(), QStringList());
    EXPECT_EQ(snapshot().filter(pupilRows), before.filter(pupilRows));
}

TEST_F(ClassCollect, StoresExactlyTheEditsAndListsTheRowsRefused)
{
    runSql("DELETE FROM TVot_Voti WHERE iClsMatCmpId = 3175 AND iSitId = 979");
    exportClass();
    edit("ClsVot.xml", [](TClientDataSet &p) {
        raiseVote(p);
        // The same vote for a pupil without one, as the teachers' program adds it: no dates.
        const QVariantList row = {p.FieldByName("iClsSesMatId")->Value(),
                                  p.FieldByName("iCmpScaId")->Value(), 108, 979, 39005};
        p.Append();
        for (int i = 0; const char *f : {"iClsSesMatId", "iCmpScaId", "iValId", "iSitId", "iClsId"})
            p.FieldByName(f)->setValue(row[i++]);
        p.Post();
    });
    edit("ClsAss.xml", [](TClientDataSet &p) { p.Delete(); });
    edit("ClsNot.xml", [](TClientDataSet &p) { set(p, "bNotNota", ""); });
    edit("ClsGdz.xml", [](TClientDataSet &p) { set(p, "bGdzGiudizio", "Nuovo giudizio"); });
    edit("ClsFin.xml", [](TClientDataSet &p) { set(p, "iPosFinId", 0); });
    edit("ClsAlu.xml", [](TClientDataSet &p) {
        p.Locate("ISITID", 958);
        set(p, "Frequenza", "d");
    });
    edit("ClsDeb.xml", [](TClientDataSet &p) {
        p.Locate("iSitId", 959);
        set(p, "dDebVer", QDate(1899, 12, 30));
    });
    const QStringList before = snapshot();
    EXPECT_EQ(collect(), QStringList());
    const auto [gone, come] = changes(before);
    const QString year = "|2008-09-01|2009-08-31";
    const QString mat = scalar("SELECT r.iMatId FROM TClsSesMat m JOIN TMatRma r ON "
                               "r.iMatRmaId = m.iMatRmaId WHERE m.iClsSesMatId = 1320")
                            .toString();
    EXPECT_EQ(come, (QStringList{"D|959|" + mat + "|2009-06-12|-|-|-|-|-|-" + year,
                                 "G|955|392|Nuovo giudizio" + year,
                                 "N|1320|955|2009-01-10|-|" + year, "S|955|-|-", "S|958|2|2",
                                 "V|3175|955|109" + year, "V|3175|979|108" + year}));
    // The same rows as they were, and the absence.
    EXPECT_EQ(gone.size(), 7);
    EXPECT_TRUE(gone.contains("A|1320|955|15" + year));

    // A component gone since the export, and a pupil's judgment the database refuses: one
    // line each, every other row stored.
    runSql("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'");
    runSql("CREATE TRIGGER T_RIFIUTO FOR TGdz_Giudizi BEFORE INSERT AS BEGIN "
           "IF (NEW.iSitId = 960) THEN EXCEPTION E_RIFIUTO; END");
    edit("ClsVot.xml", [](TClientDataSet &p) { set(p, "iCmpScaId", 999999); });
    const QStringList stored = snapshot();
    const QStringList log = collect();
    ASSERT_EQ(log.size(), 2) << log.join('\n').toStdString();
    EXPECT_TRUE(log[0].startsWith("  ***ERRORE*** "));
    EXPECT_TRUE(log[1].startsWith("  ***ERRORE*** ") && log[1].contains("rifiutato per prova"));
    const auto [lost, added] = changes(stored);
    EXPECT_EQ(lost.size(), 2);
    EXPECT_TRUE(added.isEmpty());
}

TEST_F(ClassCollect, ATeacherFolderReplacesOnlyTheTeachersSubjectsOnce)
{
    writeFileBytes(db.mainDir.path() + "ETC/ParGen.ini",
                   "[ExpDoc]\r\nVot=1\r\nVtp=1\r\nTas=1\r\nAss=1\r\nAiu=1\r\nNot=1\r\nDeb=1\r\n"
                   "Comp=1\r\n");
    exportClass();
    const QByteArray competences = readFileBytes(folder + "Competenze.xml");
    TdmqelXML::ClearFolder(folder);
    TdmqelXML xml;
    xml.iAnaId = 1000001;
    xml.sFolder = folder;
    xml.ExportTeacherData();
    writeFileBytes(folder + "Competenze.xml", competences);
    const QStringList before = snapshot();
    edit("ClsVot.xml", [](TClientDataSet &p) {
        p.Locate("iClsId", 39005);
        raiseVote(p);
    });
    for (int pass = 0; pass < 2; ++pass)
        EXPECT_EQ(collect(1000001), QStringList());
    const auto [gone, come] = changes(before);
    EXPECT_EQ(gone.size(), 1) << gone.join('\n').toStdString();
    EXPECT_EQ(come.size(), 1) << come.join('\n').toStdString();
    EXPECT_TRUE(come.value(0).startsWith("V|"));
}

TEST_F(ClassCollect, AFailureBeforeOrDuringAKindLeavesItAsItWas)
{
    OtherOffice other(db.database);
    ScriptedDialogs dialogs;
    setLockWaitTimeout(300);
    struct Case
    {
        std::function<void()> damage;
        QString message;
        int changed; // rows changed by the kinds collected before the failure
    } cases[] = {
        {[&] { QFile::remove(folder + "ClsNot.xml"); }, "ClsNot.xml", 0},
        {[&] { QFile(folder + "ClsGdz.xml").resize(2000); }, "ClsGdz.xml", 0},
        {[&] {
             other.hold("UPDATE TNot_Note SET dNotData = dNotData WHERE iNotId = 9200955");
             other.finish();
             DialogSeam::queueAnswer(int(mrNo));
         },
         "sui dati \"note\", che restano come erano.\r\r" + lockWaitRefused().message() +
             "\r\rDati già raccolti: frequenza, voti, voti proposti, tassonomie, assenze, aiuti.",
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.changed);
        exportClass();
        edit("ClsVot.xml", raiseVote);
        const QStringList before = snapshot();
        c.damage();
        try {
            collect();
            ADD_FAILURE();
        } catch (const EVxException &e) {
            EXPECT_TRUE(e.message().contains(c.message)) << e.message().toStdString();
        }
        EXPECT_EQ(changes(before).second.size(), c.changed);
    }
}
