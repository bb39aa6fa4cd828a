#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/dialogseam.h"
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
    "SELECT 'V', iClsMatCmpId, iSitId, iScaLivId, dStart, dEnd FROM TVot_Voti",
    "SELECT 'P', iClsMatCmpId, iSitId, iPrpScaLivId, dStart, dEnd FROM TVtp_Proposti",
    "SELECT 'T', iClsMatCmpId, iSitId, iScaLivId, dStart, dEnd FROM TTas_Tassonomie",
    "SELECT 'A', iClsSesMatId, iSitId, iAssOre, dStart, dEnd FROM TAss_Assenze",
    "SELECT 'U', iClsSesMatId, iSitId, sAiuVal, dStart, dEnd FROM TAiu_Aiuti",
    "SELECT 'N', iClsSesMatId, iSitId, dNotData, iAnaId, CAST(bNotNota AS VARCHAR(4000)), "
    "dStart, dEnd FROM TNot_Note",
    "SELECT 'D', iSitId, iMatId, dDebAttr, dDebVer, iAnaId_Attr, iAnaId_Ver, iDesDedId, "
    "iDtpDtdId, CAST(bDebNota AS VARCHAR(4000)), dStart, dEnd FROM TDeb_Debiti",
    "SELECT 'G', iSitId, iAnsSesDwgId, CAST(bGdzGiudizio AS VARCHAR(4000)), dStart, dEnd "
    "FROM TGdz_Giudizi",
    "SELECT 'S', iSitId, iPosFinId, iFreqId FROM TSit_Situazioni",
    "SELECT 'C', IANAID, ISITID, ICOMPASSEID, ICOMPLIVID, ILINGUASTRANIERAID, SCOMPNOTE "
    "FROM TCOMP_COMPETENZE"};

class ClassCollect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        runSql("UPDATE TClsSes SET iClsSesVot = 1, iClsSesVtp = 1, iClsSesTas = 1, "
               "iClsSesAss = 1, iClsSesAiu = 1, iClsSesNot = 1, iClsSesDeb = 1, iClsSesEsi = 1, "
               "iClsSesGdz = 1, iClsSesComp = 1 WHERE iClsSesId = 390052");
        // A pupil stored without attendance code, one absent ("D"), and a competence of another
        // situation that no class collection may touch.
        runSql("UPDATE TSit_Situazioni SET iFreqId = NULL WHERE iSitId = 955");
        runSql("UPDATE TSit_Situazioni SET iFreqId = 2 WHERE iSitId = 957");
        runSql("INSERT INTO TCOMP_COMPETENZE (ICOMPID, IANAID, ISITID, ICOMPASSEID) "
               "SELECT 9100001, iAnaId, NULL, 1 FROM TSit_Situazioni WHERE iSitId = 955");
        runSql("INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, dDebAttr, dDebVer, dStart, dEnd) "
               "SELECT 9300001, 959, r.iMatId, '2009-06-12', '2009-06-30', '2008-09-01', "
               "'2009-08-31' FROM TClsSesMat m JOIN TMatRma r ON r.iMatRmaId = m.iMatRmaId "
               "WHERE m.iClsSesMatId = 1320");
        runSql("INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, dNotData, bNotNota, "
               "dInsert, dStart, dEnd) SELECT 9200000 + iSitId, 1320, iSitId, '2009-01-10', "
               "'Nota', dStart, dStart, dEnd FROM TSit_Situazioni WHERE iSitId IN (955, 958)");
        QDir().mkpath(folder);
    }
    void TearDown() override { setLockWaitTimeout(10000); }

    static QStringList snapshot()
    {
        QStringList rows;
        for (const char *sql : kTables)
            for (QSqlQuery q = runSql(sql); q.next();) {
                QStringList values;
                for (int i = 0; i < q.record().count(); ++i)
                    values << (q.isNull(i) ? QStringLiteral("-") : q.value(i).toString());
                rows << values.join('|');
            }
        rows.sort();
        return rows;
    }
    // The rows gone and the rows come since the snapshot.
    static std::pair<QStringList, QStringList> changes(const QStringList &before)
    {
        QStringList gone = before, come = snapshot();
        for (qsizetype i = gone.size() - 1; i >= 0; --i)
            if (come.removeOne(gone[i]))
                gone.removeAt(i);
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
        xml.iClsSesId = 390052;
        xml.sClsDesc = "5A";
        xml.LoadClassFlags(39005);
        return xml.CollectData();
    }
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
        edit(file, [](TClientDataSet &) {}, dfBinary);
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
    runSql("DELETE FROM TVot_Voti WHERE iClsMatCmpId = 3175 AND iSitId IN (979, 980)");
    exportClass();
    edit("ClsVot.xml", [&](TClientDataSet &p) {
        set(p, "iValId", p.FieldByName("iValId")->AsInteger() + 1);
        // A copy for a pupil without that component's vote, and one without its dates.
        const QVariantList row = {p.FieldByName("iClsSesMatId")->Value(),
                                  p.FieldByName("iCmpScaId")->Value(),
                                  p.FieldByName("iValId")->Value()};
        for (int sit : {979, 980}) {
            p.Append();
            for (const auto &[f, v] : {std::pair{"iClsSesMatId", row[0]}, {"iCmpScaId", row[1]},
                                       {"iValId", row[2]}, {"iSitId", QVariant(sit)},
                                       {"iClsId", QVariant(39005)}})
                p.FieldByName(f)->setValue(v);
            p.Post();
        }
    });
    edit("ClsAss.xml", [&](TClientDataSet &p) { p.Delete(); });
    edit("ClsNot.xml", [&](TClientDataSet &p) { set(p, "bNotNota", ""); });
    edit("ClsGdz.xml", [&](TClientDataSet &p) { set(p, "bGdzGiudizio", "Nuovo giudizio"); });
    edit("ClsFin.xml", [&](TClientDataSet &p) { set(p, "iPosFinId", 0); });
    edit("ClsAlu.xml", [&](TClientDataSet &p) {
        p.Locate("ISITID", 958);
        set(p, "Frequenza", "d");
    });
    QVariantList debt;
    edit("ClsDeb.xml", [&](TClientDataSet &p) {
        while (!p.Eof() && p.FieldByName("iSitId")->AsInteger() != 959)
            p.Next();
        ASSERT_FALSE(p.Eof());
        debt = {p.FieldByName("iSitId")->Value(), p.FieldByName("iMatId")->Value()};
        set(p, "dDebVer", QDate(1899, 12, 30));
    });
    const QStringList before = snapshot();
    EXPECT_EQ(collect(), QStringList());
    EXPECT_EQ(scalar("SELECT iFreqId FROM TSit_Situazioni WHERE iSitId = 958").toInt(), 2);
    EXPECT_TRUE(
        scalar("SELECT dDebVer FROM TDeb_Debiti WHERE iSitId = ? AND iMatId = ?", debt).isNull());
    // The new vote without dates takes the year's.
    EXPECT_EQ(scalar("SELECT MIN(dStart) FROM TVot_Voti WHERE iSitId = 980").toDate(),
              scalar("SELECT dAnsVextoInizio FROM TAns_AnniScolast WHERE iAnsId = 39").toDate());
    const auto [gone, come] = changes(before);
    // Level, blanked note, judgment, outcome, attendance, debt; the absence is gone.
    EXPECT_EQ(gone.size(), 7) << gone.join('\n').toStdString();
    EXPECT_EQ(come.size(), 6 + 2) << come.join('\n').toStdString();

    // A component gone since the export, and a pupil's judgment the database refuses: one
    // line each, every other row stored.
    runSql("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'");
    runSql("CREATE TRIGGER T_RIFIUTO FOR TGdz_Giudizi BEFORE INSERT AS BEGIN "
           "IF (NEW.iSitId = 960) THEN EXCEPTION E_RIFIUTO; END");
    edit("ClsVot.xml", [&](TClientDataSet &p) { set(p, "iCmpScaId", 999999); });
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
    xml.sDocNome = "Docente";
    xml.sFolder = folder;
    xml.ExportTeacherData();
    writeFileBytes(folder + "Competenze.xml", competences);
    const QStringList before = snapshot();
    edit("ClsVot.xml", [&](TClientDataSet &p) {
        while (!p.Eof() && p.FieldByName("iClsId")->AsInteger() != 39005)
            p.Next();
        set(p, "iValId", p.FieldByName("iValId")->AsInteger() + 1);
    });
    for (int pass = 0; pass < 2; ++pass)
        EXPECT_EQ(collect(1000001), QStringList());
    const auto [gone, come] = changes(before);
    EXPECT_EQ(gone.size(), 1) << gone.join('\n').toStdString();
    EXPECT_EQ(come.size(), 1) << come.join('\n').toStdString();
    EXPECT_TRUE(come.value(0).startsWith("V"));
}

TEST_F(ClassCollect, AFailureBeforeOrDuringAKindLeavesItAsItWas)
{
    OtherOffice other(db.database);
    ScriptedDialogs dialogs;
    setLockWaitTimeout(300);
    struct Case
    {
        const char *what;
        std::function<void()> damage;
        QString message;
        int changed; // rows changed by the kinds collected before the failure
    } cases[] = {
        {"missing", [&] { QFile::remove(folder + "ClsNot.xml"); }, "ClsNot.xml", 0},
        {"truncated",
         [&] {
             QFile file(folder + "ClsGdz.xml");
             file.resize(file.size() / 2);
         },
         "ClsGdz.xml", 0},
        {"held by another office",
         [&] {
             other.hold("UPDATE TNot_Note SET dNotData = dNotData WHERE iNotId = (SELECT MIN(n.iNotId) "
                        "FROM TNot_Note n JOIN TClsSesMat m ON m.iClsSesMatId = n.iClsSesMatId "
                        "WHERE m.iClsSesId = 390052)");
             other.finish();
             DialogSeam::queueAnswer(int(mrNo));
         },
         "\"note\"", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        exportClass();
        edit("ClsVot.xml", [&](TClientDataSet &p) { set(p, "iValId", 1 + p.FieldByName("iValId")->AsInteger()); });
        const QStringList before = snapshot();
        c.damage();
        try {
            const QStringList log = collect();
            ADD_FAILURE() << log.join('\n').toStdString() << DialogSeam::shownTexts().join('\n').toStdString();
        } catch (const EVxException &e) {
            EXPECT_TRUE(e.message().contains(c.message)) << e.message().toStdString();
            if (c.changed)
                EXPECT_TRUE(e.message().contains("Dati già raccolti: frequenza, voti, voti "
                                                 "proposti, tassonomie, assenze, aiuti."));
        }
        EXPECT_EQ(changes(before).second.size(), c.changed);
    }
    other.rollback();
}
