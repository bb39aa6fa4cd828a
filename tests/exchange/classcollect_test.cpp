#include "exchange/qelexportpst.h"
#include "exchange/qelfplanfolders.h"
#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/dialogseam.h"
#include "platform/directoryedit.h"
#include "platform/engineerrors.h"
#include "platform/lockwait.h"
#include "platform/messagedlg.h"
#include "platform/sqlparams.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "tests/support/classtables.h"
#include "tests/support/otheroffice.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

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

    static QStringList snapshot() { return classTablesSnapshot(); }
    static auto changes(const QStringList &before) { return classTablesChanges(before); }
    void exportTeacher()
    {
        TdmqelXML xml;
        xml.iAnaId = 1000001;
        xml.sFolder = folder;
        xml.ExportTeacherData();
    }
    void exportClass(int plan = -1)
    {
        exportClassFolder(folder, plan);
        writeSummary(folder);
    }
    // The credits of this year's pupils of the class.
    static constexpr const char *kClassPupils =
        "WHERE iSitId IN (SELECT s.iSitId FROM TSit_Situazioni s JOIN TClsPst p ON p.iClsPstId = "
        "s.iClsPstId WHERE p.iClsId = 39005)";
    QStringList collect(int teacher = 0)
    {
        TdmqelXML xml;
        xml.iMode = teacher ? 0 : 1;
        xml.iAnaId = teacher;
        xml.sFolder = folder;
        xml.LoadClassFlags(39005);
        const QStringList log = xml.CollectData();
        summary = xml.CollectSummary();
        return log;
    }
    // The collection fails with a message (or its detail) holding the text.
    void expectFailure(const QString &text, int teacher = 0)
    {
        try {
            collect(teacher);
            ADD_FAILURE();
        } catch (const EVxException &e) {
            EXPECT_TRUE((e.message() + e.detail()).contains(text))
                << (e.message() + e.detail()).toStdString();
        }
    }
    // The most memory the process has held so far, in KB.
    static long peakMemory()
    {
        rusage usage;
        ::getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    }
    // Whether the sorted rows are the expected ones, where "*" matches any text but a line break.
    static bool matches(const QStringList &rows, const QStringList &expected)
    {
        const QString pattern = QRegularExpression::escape(expected.join('\n'));
        return QRegularExpression(
                   QRegularExpression::anchoredPattern(QString(pattern).replace("\\*", "[^\n]*")))
            .match(rows.join('\n'))
            .hasMatch();
    }
    // The packet changed through its API, its cursor on the first row, as the coordinator's
    // program saves it.
    void edit(const QString &file, const std::function<void(TClientDataSet &)> &change,
              TDataPacketFormat format = dfXML)
    {
        TClientDataSet packet;
        packet.LoadFromFile(folder + file);
        packet.First();
        if (change)
            change(packet);
        packet.SaveToFile(folder + file, format);
    }

    ProgramDatabase db;
    QString folder = db.mainDir.path() + QStringLiteral("Classi/5A/");
    QStringList summary; // of the last collection
};

} // namespace

TEST_F(ClassCollect, UnchangedFoldersChangeNothingInEitherFormNorOutsideThePlanSent)
{
    const QStringList before = snapshot();
    exportClass();
    EXPECT_EQ(collect(), QStringList());
    EXPECT_EQ(snapshot(), before);
    for (const QString &file : QDir(folder).entryList({"*.xml"}))
        edit(file, {}, dfBinary);
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
    edit("ClsNot.xml", [](TClientDataSet &p) { setField(p, "bNotNota", ""); });
    edit("ClsGdz.xml", [](TClientDataSet &p) { setField(p, "bGdzGiudizio", "Nuovo giudizio"); });
    edit("ClsFin.xml", [](TClientDataSet &p) { setField(p, "iPosFinId", 0); });
    edit("ClsAlu.xml", [](TClientDataSet &p) {
        p.Locate("ISITID", 958);
        setField(p, "Frequenza", "d");
    });
    edit("ClsDeb.xml", [](TClientDataSet &p) {
        p.Locate("iSitId", 959);
        setField(p, "dDebVer", QDate(1899, 12, 30));
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
    // line each, and their kinds keep every row they held.
    runSql("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'");
    runSql("CREATE TRIGGER T_RIFIUTO FOR TGdz_Giudizi BEFORE INSERT AS BEGIN "
           "IF (NEW.iSitId = 960) THEN EXCEPTION E_RIFIUTO; END");
    edit("ClsVot.xml", [](TClientDataSet &p) { setField(p, "iCmpScaId", 999999); });
    const QStringList stored = snapshot();
    const QStringList log = collect();
    ASSERT_EQ(log.size(), 4) << log.join('\n').toStdString();
    EXPECT_TRUE(log[0].startsWith("  ClsVot.xml: ") &&
                log[0].contains("il componente (iCmpScaId 999999) non c'è in questo archivio."))
        << log[0].toStdString();
    EXPECT_EQ(log[1], "I dati \"voti\" non sono stati raccolti e restano come erano.");
    EXPECT_TRUE(log[2].startsWith("  ***ERRORE*** ") && log[2].contains("rifiutato per prova"));
    EXPECT_EQ(snapshot(), stored);
}

TEST_F(ClassCollect, ATeacherFolderReplacesOnlyTheTeachersSubjectsOnce)
{
    writeFileBytes(db.mainDir.path() + "ETC/ParGen.ini",
                   "[ExpDoc]\r\nVot=1\r\nVtp=1\r\nTas=1\r\nAss=1\r\nAiu=1\r\nNot=1\r\nDeb=1\r\n"
                   "Comp=1\r\n");
    exportClass();
    const QByteArray competences = readFileBytes(folder + "Competenze.xml");
    TdmqelXML::ClearFolder(folder);
    exportTeacher();
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
    std::optional<FileSizeLimit> diskFull;
    std::optional<TVxStatementRecorder> recorder;
    struct Case
    {
        std::function<void()> damage;
        QString message;
        int changed;            // rows changed by the kinds collected before the failure
        bool ownEngine = false; // the database's disk is the test process's own
    } cases[] = {
        {[&] { QFile::remove(folder + "ClsNot.xml"); }, "ClsNot.xml", 0},
        {[&] { QFile(folder + "ClsGdz.xml").resize(2000); }, "ClsGdz.xml", 0},
        {[&] {
             other.hold("UPDATE TNot_Note SET dNotData = dNotData WHERE iSitId = 955 AND "
                        "iClsSesMatId = 1320");
             other.finish();
             DialogSeam::queueAnswer(int(mrNo));
         },
         "sui dati \"note\", che restano come erano.\r\r" + lockWaitRefused().message() +
             "\r\rDati già raccolti: frequenza, data di scrutinio, voti, voti proposti, "
             "tassonomie, assenze, aiuti.",
         1},
        // A wait the office stops, met by a pupil's credit: the collection ends there, it is no
        // credit refused.
        {[&] {
             other.rollback();
             other.hold("UPDATE TCre_Crediti SET iCreCredito = iCreCredito WHERE iSitId = 955");
             other.finish();
             DialogSeam::queueAnswer(int(mrNo));
         },
         "sui dati \"crediti\", che restano come erano.\r\r" + lockWaitRefused().message() +
             "\r\rDati già raccolti: ",
         1},
        // The database's disk fills as the first vote is written (its free pages taken, the
        // file kept at its size): said once, as the end of the collection, not once per row.
        // Last: what the engine could not write back stays locked for the rest of the run.
        {[&] {
             runSql("CREATE TABLE TPIENO (S VARCHAR(8000))");
             recorder.emplace();
             recorder->setBeforeRun([&](const QString &sql) {
                 if (diskFull || !sql.startsWith("INSERT INTO TVot_Voti"))
                     return;
                 diskFull.emplace(QFileInfo(db.database.path()).size());
                 runSql("EXECUTE BLOCK AS BEGIN WHILE (1 = 1) DO INSERT INTO TPIENO VALUES "
                        "(LPAD('', 8000, 'x')); WHEN ANY DO EXIT; END");
             });
         },
         "sui dati \"voti\", che restano come erano.\r\r" + databaseStorageError().message() +
             "\r\rDati già raccolti: frequenza, data di scrutinio.",
         0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.changed);
        if (c.ownEngine && testServer())
            continue;
        exportClass();
        edit("ClsVot.xml", raiseVote);
        const QStringList before = snapshot();
        c.damage();
        expectFailure(c.message);
        recorder.reset();
        diskFull.reset();
        EXPECT_EQ(changes(before).second.size(), c.changed);
    }
}

// The edits below, every kEditSlices-th of them a test on a database of its own: side by side,
// none holds the run back.
constexpr int kEditSlices = 5;
class ClassCollectEdits : public ClassCollect, public testing::WithParamInterface<int>
{
};
INSTANTIATE_TEST_SUITE_P(Slices, ClassCollectEdits, testing::Range(0, kEditSlices));

TEST_P(ClassCollectEdits, EachEditOrHostileRowChangesExactlyItsRows)
{
    const int stranger = scalar("SELECT MIN(s.iSitId) FROM TSit_Situazioni s JOIN TClsPst p ON "
                                "p.iClsPstId = s.iClsPstId WHERE p.iClsId = 39004")
                             .toInt();
    using Change = std::function<void(TClientDataSet &)>;
    const auto at = [](const char *file, const char *key, int value, Change change) {
        return std::make_pair(QString(file), Change([=](TClientDataSet &p) {
                                  ASSERT_TRUE(p.Locate(key, value));
                                  change(p);
                              }));
    };
    const auto setAt = [&](const char *file, const char *key, int value, const char *field,
                           const QVariant &to) {
        return at(file, key, value, [=](TClientDataSet &p) { setField(p, field, to); });
    };
    const auto add = [](const char *file, const QList<std::pair<const char *, QVariant>> &row) {
        return std::make_pair(QString(file), Change([=](TClientDataSet &p) {
                                  p.Append();
                                  for (const auto &[name, value] : row)
                                      p.FieldByName(name)->setValue(value);
                                  p.Post();
                              }));
    };
    const int strangerPupil =
        scalar("SELECT iAnaId FROM TSit_Situazioni WHERE iSitId = ?", {stranger}).toInt();
    const int firstTerm = scalar("SELECT e.iClsSesMatId FROM TClsSesMat e JOIN TClsSesMat m ON "
                                 "m.iMatRmaId = e.iMatRmaId WHERE e.iClsSesId = 390051 AND "
                                 "m.iClsSesMatId = 1320")
                              .toInt();
    const int sits = 25; // the pupils of ClsAlu.xml
    // The rows of the packet from the first, each changed by its own edit.
    const auto rows = [](const char *file, const QList<std::function<void(TClientDataSet &)>> &e) {
        return std::make_pair(QString(file), Change([=](TClientDataSet &p) {
                                  for (const auto &change : e) {
                                      change(p);
                                      p.Next();
                                  }
                              }));
    };
    // A level of a taxonomy's own scale, which no vote takes; a make-up phase of the year before.
    const int taxonomyLevel =
        scalar("SELECT MIN(L.iScaLivId) FROM TScaLiv L WHERE NOT EXISTS (SELECT 1 FROM TCmpSca S "
               "WHERE S.iScaId = L.iScaId AND S.iCmpScaTass = 0)")
            .toInt();
    // A 5A pupil's credit of his third year, which the folder carries too.
    const int thirdYear =
        scalar("SELECT MIN(k.iSitId) FROM TCre_Crediti k JOIN TSit_Situazioni s ON s.iSitId = "
               "k.iSitId JOIN TClsPst p ON p.iClsPstId = s.iClsPstId JOIN TCls_Classi c ON "
               "c.iClsId = p.iClsId WHERE c.iAcsId = 3 AND k.iBndId IS NOT NULL AND s.iAnaId IN "
               "(SELECT t.iAnaId FROM TSit_Situazioni t JOIN TClsPst q ON q.iClsPstId = "
               "t.iClsPstId WHERE q.iClsId = 39005)")
            .toInt();
    const int lastYearsPhase =
        scalar("SELECT MIN(iAnsFreDwgId) FROM TAnsFreDwg WHERE iAnsId = 38").toInt();
    // 5A's vote of a subject with a taxonomy component, moved onto that component.
    const auto ontoTaxonomy = [](TClientDataSet &p) {
        for (; !p.Eof(); p.Next()) {
            const int component =
                scalar("SELECT MIN(C.iCmpScaId) FROM TClsMatCmp C JOIN TCmpSca S ON S.iCmpScaId "
                       "= C.iCmpScaId WHERE C.iClsSesMatId = ? AND S.iCmpScaTass = 1",
                       {p.FieldByName("iClsSesMatId")->Value()})
                    .toInt();
            if (component != 0 && p.FieldByName("iClsId")->AsInteger() == 39005)
                return setField(p, "iCmpScaId", component);
        }
        ADD_FAILURE() << "no vote of a subject with a taxonomy";
    };
    // A vote of 955 whose level another pupil's vote of the same component does not have: the
    // level to take off its scale.
    struct
    {
        int stored = 0, other = 0, level = 0, subject = 0, component = 0;
    } retired;
    {
        QSqlQuery q = runSql("SELECT FIRST 1 a.iScaLivId, b.iSitId, c.iClsSesMatId, c.iCmpScaId "
                             "FROM TVot_Voti a JOIN TVot_Voti b ON b.iClsMatCmpId = "
                             "a.iClsMatCmpId AND b.iScaLivId <> a.iScaLivId JOIN TClsMatCmp c ON "
                             "c.iClsMatCmpId = a.iClsMatCmpId JOIN TClsSesMat m ON "
                             "m.iClsSesMatId = c.iClsSesMatId WHERE a.iSitId = 955 AND "
                             "m.iClsSesId = 390052 AND b.iSitId IN (957, 958, 959, 960)");
        ASSERT_TRUE(q.next());
        retired = {955, q.value(1).toInt(), q.value(0).toInt(), q.value(2).toInt(),
                   q.value(3).toInt()};
    }
    // A taxonomy component of 5A: its subject, component scale and scale.
    QVariantList taxonomy;
    {
        QSqlQuery q = runSql("SELECT FIRST 1 C.iClsSesMatId, C.iCmpScaId, S.iScaId FROM "
                             "TClsMatCmp C JOIN TCmpSca S ON S.iCmpScaId = C.iCmpScaId JOIN "
                             "TClsSesMat M ON M.iClsSesMatId = C.iClsSesMatId WHERE M.iClsSesId = "
                             "390052 AND S.iCmpScaTass = 1");
        ASSERT_TRUE(q.next());
        taxonomy = {q.value(0), q.value(1), q.value(2)};
    }
    // The pupil's vote of that component takes the level.
    const auto ontoComponent = [&](int pupil) {
        return [=](TClientDataSet &p) {
            for (p.First(); !p.Eof(); p.Next())
                if (p.FieldByName("iSitId")->AsInteger() == pupil &&
                    p.FieldByName("iClsSesMatId")->AsInteger() == retired.subject &&
                    p.FieldByName("iCmpScaId")->AsInteger() == retired.component)
                    return setField(p, "iValId", retired.level);
            ADD_FAILURE() << "no vote of the component";
        };
    };
    const auto joined = [&] {
        runSql("UPDATE TSit_Situazioni SET iClsPstId = (SELECT MIN(iClsPstId) FROM TClsPst WHERE "
               "iClsId = 39005), iSitOrdine = 1, iSitPosReg = 99 WHERE iSitId = ?",
               {stranger});
        runSql("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId, dStart, dEnd) "
               "SELECT 9600000 + C.iClsMatCmpId, C.iClsMatCmpId, ?, (SELECT MIN(L.iScaLivId) FROM "
               "TScaLiv L JOIN TCmpSca S ON S.iScaId = L.iScaId WHERE S.iCmpScaId = "
               "C.iCmpScaId), '2008-09-01', '2009-08-31' FROM TClsMatCmp C JOIN TCmpSca S ON "
               "S.iCmpScaId = C.iCmpScaId WHERE C.iClsSesMatId = 1320 AND S.iCmpScaTass = 0",
               {stranger});
        runSql("INSERT INTO TAss_Assenze (iAssId, iClsSesMatId, iSitId, iAssOre, dStart, dEnd) "
               "VALUES (9600001, 1320, ?, 4, '2008-09-01', '2009-08-31')",
               {stranger});
        runSql("UPDATE TGdz_Giudizi SET bGdzGiudizio = 'Arrivato dopo l''invio' WHERE iSitId = ? "
               "AND iAnsSesDwgId = 392",
               {stranger});
    };
    struct Case
    {
        QList<std::pair<QString, Change>> edits = {};
        QStringList gone = {}, come = {}; // sorted; "*" matches any text but a line break
        QStringList log = {};             // the lines' beginnings
        std::function<void()> prepare = [] {};
        QString refused = {}; // the collection refused, with a message holding this
        QString summary = {}; // a line of the summary holds this
        QString message = {}; // the closing message begins so
    } cases[] = {
        // A folder without the scrutiny's summary keeps the credits as they are, and says so.
        {.edits = {setAt("ClsCre.xml", "iSitId", 955, "iCreRecup", 1)},
         .prepare = [&] { QFile::remove(folder + "outfin/QEVAluRiep.xml"); },
         .summary = "I crediti della cartella non sono stati letti e restano come erano: manca ",
         .message = "Operazione completata."},
        // Values the grid would refuse, each listed, their kinds kept: a level of another scale,
        // a vote moved onto a taxonomy, hours below 0 and beyond four digits, a credit beyond its
        // band.
        {.edits = {setAt("ClsVot.xml", "iSitId", 955, "iValId", taxonomyLevel),
                   at("ClsVot.xml", "iSitId", 957, ontoTaxonomy),
                   rows("ClsAss.xml", {[](TClientDataSet &p) { setField(p, "iValId", -3); },
                                       [](TClientDataSet &p) { setField(p, "iValId", 99999); }}),
                   setAt("ClsCre.xml", "iSitId", 955, "iCreCredito", 99)},
         .log = {"  ClsVot.xml: ", "  ClsVot.xml: ", "I dati \"voti\"", "  ClsAss.xml: ",
                 "  ClsAss.xml: ", "I dati \"assenze\"", "  ClsCre.xml: ", "I dati \"crediti\""}},
        // Keys beyond the database's, and a make-up record of the year before's phase: refused.
        {.edits = {setAt("ClsFin.xml", "iSitId", 955, "iSitId", (qint64(1) << 32) + 955)},
         .refused = "una riga ha un valore che non è un numero intero che il database possa "
                    "contenere.\r\r  ClsFin.xml, riga"},
        {.edits = {setAt("Rec.xml", "iSitId", 957, "iAnsFreDwgId", lastYearsPhase)},
         .refused = QStringLiteral("il recupero è della fase %1, che non è dell'anno di lavoro")
                        .arg(lastYearsPhase)},
        // A debt of a pupil's earlier year under the class's own id is only verified; two notes
        // of one day are two notes; a pupil's credit given twice, with another credit, is
        // refused.
        {
            .edits = {setAt("ClsDeb.xml", "iSitId", 152, "iClsId", 39005),
                      add("ClsNot.xml", {{"iClsId", 39005},
                                         {"iClsSesMatId", 1320},
                                         {"iSitId", 955},
                                         {"dNotData", QDate(2009, 1, 10)},
                                         {"bNotNota", "Altra nota"}}),
                      at("ClsCre.xml", "iSitId", 955,
                         [](TClientDataSet &p) {
                             repeatCurrentRow(p);
                             setField(p, "iCreCredito", 7);
                         })},
            .come = {"N|1320|955|2009-01-10|-|Altra nota|2008-09-01|2009-08-31"},
            .log = {"  ClsCre.xml: Barbieri Elisa (situazione 955): la riga è ripetuta",
                    "I dati \"crediti\""}},
        // The first ten rows of a refused folder are named, then how many more.
        {.edits = {rows("ClsVot.xml",
                        QList<std::function<void(TClientDataSet &)>>(
                            11, [=](TClientDataSet &p) { setField(p, "iSitId", stranger); }))},
         .refused = "  ... e un'altra riga."},
        // The coordinator's edits; two pupils' summary rows, each flag its own row's, and one
        // without a credit voted, whose stored unanimity stays.
        {{setAt("ClsDeb.xml", "iSitId", 957, "iDesDedId", 1),
          setAt("ClsDeb.xml", "iSitId", 957, "dDebVer", QDate(2009, 7, 15)),
          setAt("ClsCre.xml", "iSitId", 955, "iCreCredito", 7),
          at("ClsCreFrm.xml", "iCreId", 516, [](TClientDataSet &p) { p.Delete(); }),
          setAt("Rec.xml", "iMatId", 1, "iEreId", 1),
          setAt("outfin/QEVAluRiep.xml", "iSitId", 959, "Cr_UM", "U"),
          setAt("outfin/QEVAluRiep.xml", "iSitId", 960, "Cr", 0)},
         {"D|957|1|2009-06-10|-|1000001|-|-|2|-|2008-09-01|2009-08-31", "F|962|*", "K|955|6|*",
          "K|959|*", "R|957|1|2|-|*"},
         {"D|957|1|2009-06-10|2009-07-15|1000001|-|1|2|-|2008-09-01|2009-08-31", "K|955|7|*",
          "K|959|10|*|1|-|9|2008-09-01|2009-08-31", "R|957|1|2|1|*"}},
        // The summary of this year's pupils alone, one without a credit voted: no credit of an
        // earlier year, nor that pupil's, loses its unanimity.
        {.prepare = [&] { writeSummary(folder, kClassPupils, 955); }},
        // A credit of a band gone is refused: the credits stay as they were; a row without
        // credit changes nothing.
        {.edits = {setAt("ClsCre.xml", "iSitId", 966, "iBndId", 999999),
                   setAt("ClsCre.xml", "iSitId", 955, "iCreId", 0)},
         .log = {"  ClsCre.xml: ", "I dati \"crediti\" non sono stati raccolti"}},
        // Credits measured against the bands of the pupil's course year in the database, not the
        // packet's: an out-of-band flag of 93, no band (99 and -4), a fifth year's band (8-9)
        // on a third year's credit.
        {.edits = {setAt("ClsCre.xml", "iSitId", 955, "iCreOutBanda", 93),
                   setAt("ClsCre.xml", "iSitId", 955, "iCreCredito", 99),
                   setAt("ClsCre.xml", "iSitId", 957, "iBndId", 0),
                   setAt("ClsCre.xml", "iSitId", 957, "iCreCredito", 99),
                   setAt("ClsCre.xml", "iSitId", 959, "iBndId", 0),
                   setAt("ClsCre.xml", "iSitId", 959, "iCreCredito", -4),
                   setAt("ClsCre.xml", "iSitId", thirdYear, "iBndId", 3005),
                   setAt("ClsCre.xml", "iSitId", thirdYear, "iCreCredito", 9)},
         .log = {"  ClsCre.xml: ", "  ClsCre.xml: ", "  ClsCre.xml: ", "  ClsCre.xml: ",
                 "I dati \"crediti\" non sono stati raccolti"}},
        // A level taken off its scale since the send: refused where another is stored, kept where
        // it is the one stored; a proposal on a taxonomy component, which the proposals' grid has
        // no column for.
        {.edits = {at("ClsVot.xml", "iSitId", retired.stored, ontoComponent(retired.other)),
                   add("ClsVtp.xml", {{"iClsId", 39005},
                                      {"iClsSesMatId", taxonomy[0]},
                                      {"iSitId", 955},
                                      {"iCmpScaId", taxonomy[1]},
                                      {"iValId", 9000000 + taxonomy[2].toInt()}})},
         .log = {"  ClsVot.xml: ", "I dati \"voti\"", "  ClsVtp.xml: ", "I dati \"voti proposti\""},
         .prepare =
             [&] {
                 runSql("UPDATE TScaLiv SET dDelete = '2009-05-01' WHERE iScaLivId = ?",
                        {retired.level});
                 // A proposal on every taxonomy scale, which no proposal column shows.
                 runSql("INSERT INTO TPrpScaLiv (iPrpScaLivId, iScaLivId, iPrpId, "
                        "fPrpScaLivValore, lPrpScaLivVisible, iPrpScaLivOrd) SELECT 9000000 + "
                        "S.iScaId, MIN(L.iScaLivId), 1, 1, 1, 99 FROM TCmpSca S JOIN TScaLiv L ON "
                        "L.iScaId = S.iScaId WHERE S.iCmpScaTass = 1 GROUP BY S.iScaId");
             }},
        // Rows repeated through a packet with other values: the message shows the first ten and
        // counts the others.
        {.edits = {at("ClsAss.xml", "iClsId", 39005,
                      [](TClientDataSet &p) {
                          for (int i = 0; i < 13; ++i) {
                              p.setRecNo(i);
                              repeatCurrentRow(p);
                              setField(p, "iValId", 99);
                          }
                      })},
         .log = QStringList(13, "  ClsAss.xml: ") << "I dati \"assenze\"",
         .message = "Righe non raccolte: 13.\r\r" +
                    QStringList(10, "  ClsAss.xml: * la riga è ripetuta *").join("\r\n") +
                    "\r\n  ... e altre 3 righe.\r\nI dati \"assenze\" non sono stati raccolti e "
                    "restano come erano.\r\rNessun dato è cambiato."},
        // Judgments of another session refuse the folder on that ground alone.
        {.edits = {setAt("ClsGdz.xml", "iClsId", 39005, "iAnsSesDwgId", 391)},
         .refused = "ClsGdz.xml, riga 1: Barbieri Elisa (situazione 955): il giudizio è della "
                    "sessione \"Primo periodo\" dell'anno 2008/2009, non di quella di lavoro"},
        // The scrutiny date in our binary form; an earlier year's debt verified.
        {{setAt("ClsDeb.xml", "iSitId", 152, "dDebVer", QDate(2008, 1, 15))},
         QStringList{"D|152|1|*"} + QStringList(sits, "E|*|2009-06-10"),
         QStringList{"D|152|1|*|2008-01-15|*"} + QStringList(sits, "E|*|2009-06-13"),
         {},
         [&] {
             TClientDataSet general;
             general.AddFieldDef("DataScrutinio", ftDate);
             general.CreateDataSet();
             general.Append();
             general.FieldByName("DataScrutinio")->setValue(QDate(2009, 6, 13));
             general.Post();
             general.SaveToFile(folder + "outfin/DatiGen.cds", dfBinary);
         }},
        {.log = {"  outfin\\DatiGen.cds non si legge: data di scrutinio non raccolta"},
         .prepare =
             [&] { writeFileBytes(folder + "outfin/DatiGen.cds", "\x96\x19\xe0\xbd garbage"); }},
        // A row that the packet's change log deletes.
        {.gone = {"R|957|1|*"},
         .prepare =
             [&] {
                 edit("Rec.xml", {});
                 QByteArray xml = readFileBytes(folder + "Rec.xml");
                 xml.replace("</FIELDS>", "</FIELDS><PARAMS CHANGE_LOG=\"1 0 2\"/>");
                 xml.insert(xml.indexOf("<ROW ") + 5, "RowState=\"2\" ");
                 writeFileBytes(folder + "Rec.xml", xml);
             }},
        // Make-up rows that all lack a pupil or a subject still empty every record of the class
        // (one left by the change-log case, one more added).
        {.edits = {setAt("Rec.xml", "iMatId", 7, "iSitId", 0),
                   add("Rec.xml", {{"iSitId", 958}, {"iMatId", 0}, {"iTreId", 2}})},
         .gone = {"R|957|7|*", "R|958|1|*"},
         .prepare =
             [] {
                 runSql("INSERT INTO TRec_Recuperi (iRecId, iSitId, iMatId, iTreId, iEreId, "
                        "iAnsFreDwgId, dRecAttr, iPvrId) SELECT 9500001, 958, 1, iTreId, iEreId, "
                        "iAnsFreDwgId, dRecAttr, iPvrId FROM TRec_Recuperi WHERE iSitId = 957 AND "
                        "iMatId = 7");
             }},
        // Rows of another class's pupils, of the class's first term, of another session, or a
        // pupil of another class that the folder's own list claims: the folder is refused.
        {.edits = {setAt("ClsCre.xml", "iSitId", 955, "iSitId", stranger),
                   setAt("ClsDeb.xml", "iSitId", 957, "iSitId", stranger),
                   setAt("ClsVot.xml", "iSitId", 955, "iSitId", stranger),
                   setAt("ClsGdz.xml", "iSitId", 955, "iSitId", stranger),
                   setAt("ClsAss.xml", "iClsSesMatId", 1320, "iClsSesMatId", firstTerm),
                   setAt("ClsGdz.xml", "iClsId", 39005, "iAnsSesDwgId", 391),
                   setAt("ClsFin.xml", "iSitId", 955, "iSitId", stranger),
                   add("ClsAlu.xml",
                       {{"ISITID", stranger}, {"ICLSID", 39005}, {"IANAID", strangerPupil}}),
                   add("Competenze.xml",
                       {{"iSitId", stranger}, {"iAnaId", strangerPupil}, {"iCompAsseId", 1}})},
         .refused = "righe non appartengono ai dati della classe"},
        // Another class's folder under this class's Info.ini and ClsSes.xml.
        {.prepare =
             [&] {
                 const QByteArray info = readFileBytes(folder + "Info.ini"),
                                  sessions = readFileBytes(folder + "ClsSes.xml");
                 TdmqelXML::ClearFolder(folder);
                 TdmqelXML xml;
                 xml.iMode = 1;
                 xml.SetSessionKind(2);
                 xml.LoadClassFlags(39004);
                 xml.sFolder = folder;
                 xml.iClsSesId = scalar("SELECT iClsSesId FROM TClsSes WHERE iClsId = 39004 AND "
                                        "iAnsSesDwgId = 392")
                                     .toInt();
                 xml.ExportClassData();
                 writeFileBytes(folder + "Info.ini", info);
                 writeFileBytes(folder + "ClsSes.xml", sessions);
             },
         .refused = "la riga è della classe 39004"},
        // Another school's folder.
        {.edits = {std::make_pair(QString("InfoSed.xml"), Change([](TClientDataSet &p) {
                                      setField(p, "sSedMecCod", "XXPS000000");
                                  }))},
         .refused = "è di un'altra scuola"},
        // A packet that declares no encoding and mixes UTF-8 with Windows-1252.
        {.prepare =
             [&] {
                 writeFileBytes(folder + "ClsGdz.xml",
                                mixEncodings(readFileBytes(folder + "ClsGdz.xml"), "bGdzGiudizio"));
             },
         .refused = "ClsGdz.xml non è leggibile"},
        // A DTD inside a packet, whose entities would make a value of gigabytes: refused before
        // they expand.
        {.prepare =
             [&] {
                 QByteArray xml = readFileBytes(folder + "ClsVot.xml");
                 xml.insert(xml.indexOf(">", xml.indexOf("<DATAPACKET")) + 1,
                            "<!DOCTYPE x [<!ENTITY a \"" + QByteArray(1000, 'a') + "\">]>");
                 xml.insert(xml.indexOf("<ROW ") + 5,
                            "X=\"" + QByteArray("&a;").repeated(200000) + "\" ");
                 writeFileBytes(folder + "ClsVot.xml", xml);
             },
         .refused = "DTD"},
        // A FIFO standing for a packet: refused by name, never waited on.
        {.prepare =
             [&] {
                 QFile::remove(folder + "ClsAss.xml");
                 ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "ClsAss.xml").constData(), 0644), 0);
             },
         .refused = "ClsAss.xml non è un file normale (è una coda FIFO)"},
        // A pupil who joined the class after the send keeps what the office entered for him
        // (last: he stays in the class).
        {.prepare = joined,
         .summary = QStringLiteral("(situazione %1) non è nella cartella: i suoi dati restano "
                                   "come erano.")
                        .arg(stranger)},
    };
    for (size_t i = size_t(GetParam()); i < std::size(cases); i += kEditSlices) {
        const Case &c = cases[i];
        SCOPED_TRACE((c.gone.join(' ') + c.refused).toStdString());
        TdmqelXML::ClearFolder(folder);
        exportClass();
        QFile::remove(folder + "outfin/DatiGen.cds");
        for (const auto &[file, change] : c.edits)
            edit(file, change);
        c.prepare();
        const QStringList before = snapshot();
        const long memoryBefore = peakMemory();
        QStringList log;
        if (c.refused.isEmpty())
            log = collect();
        else
            expectFailure(c.refused);
        EXPECT_LT(peakMemory() - memoryBefore, 200 * 1024);
        const auto [gone, come] = changes(before);
        EXPECT_TRUE(matches(gone, c.gone)) << gone.join('\n').toStdString();
        EXPECT_TRUE(matches(come, c.come)) << come.join('\n').toStdString();
        ASSERT_EQ(log.size(), c.log.size()) << log.join('\n').toStdString();
        for (int i = 0; i < log.size(); ++i)
            EXPECT_TRUE(log[i].startsWith(c.log[i])) << log[i].toStdString();
        EXPECT_TRUE(summary.join('\n').contains(c.summary)) << summary.join('\n').toStdString();
        const QString message =
            CollectionEndMessage(QStringLiteral("Operazione completata."), log, summary);
        EXPECT_TRUE(QRegularExpression(
                        "^" + QRegularExpression::escape(c.message).replace("\\*", "[^\r\n]*"))
                        .match(message)
                        .hasMatch())
            << message.toStdString();
        summary.clear();
    }
}

TEST_F(ClassCollect, ATeacherFolderUpdatesTheDebtsHeVerifiesAndLastYearsIsRefused)
{
    // A debt the teacher verifies of a pupil outside his classes.
    runSql("INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, dDebAttr, iAnaId_Ver, dStart, dEnd) "
           "SELECT 9300002, MIN(s.iSitId), 1, '2009-06-12', 1000001, '2008-09-01', '2009-08-31' "
           "FROM TSit_Situazioni s JOIN TClsPst p ON p.iClsPstId = s.iClsPstId "
           "WHERE p.iClsId = 39011");
    const QString stranger =
        scalar("SELECT iSitId FROM TDeb_Debiti WHERE iDebId = 9300002").toString();
    writeFileBytes(db.mainDir.path() + "ETC/ParGen.ini", "[ExpDoc]\r\nDeb=1\r\n");
    exportTeacher();
    edit("ClsDeb.xml", [&](TClientDataSet &p) {
        ASSERT_TRUE(p.Locate("iSitId", 957));
        p.Delete(); // debts are only updated
        ASSERT_TRUE(p.Locate("iSitId", stranger.toInt()));
        setField(p, "dDebVer", QDate(2009, 7, 1));
        setField(p, "iDesDedId", 1);
    });
    const QStringList before = snapshot();
    EXPECT_EQ(collect(1000001), QStringList());
    const auto [gone, come] = changes(before);
    const QString debt =
        "D|" + stranger + "|1|2009-06-12|%1|-|1000001|%2|-|-|2008-09-01|2009-08-31";
    EXPECT_EQ(gone, QStringList{debt.arg("-", "-")});
    EXPECT_EQ(come, QStringList{debt.arg("2009-07-01", "1")});

    // A folder of the year before (its final session), a teacher's or a class's, is refused
    // with its edits.
    using Change = std::function<void(TClientDataSet &)>;
    const Change verifiedLater = [&](TClientDataSet &p) {
        ASSERT_TRUE(p.Locate("iSitId", stranger.toInt()));
        setField(p, "dDebVer", QDate(2009, 7, 2));
    };
    for (const auto &[teacher, file, change] :
         {std::tuple<int, const char *, Change>{1000001, "ClsDeb.xml", verifiedLater},
          {0, "ClsVot.xml", raiseVote}}) {
        SCOPED_TRACE(teacher);
        if (teacher == 0) {
            TdmqelXML::ClearFolder(folder);
            exportClass();
        }
        edit(file, change);
        edit("ClsSes.xml", [](TClientDataSet &p) { setField(p, "iAnsSesDwgId", 382); });
        const QStringList stored = snapshot();
        expectFailure("è della sessione \"Scrutinio finale\" dell'anno 2007/2008, non di quella "
                      "di lavoro",
                      teacher);
        EXPECT_EQ(snapshot(), stored);
    }
}

TEST_F(ClassCollect, PlanFoldersGoOutOnePerPlanAndComeBackAsEdited)
{
    // A plan named with a "/" and a trailing blank; a first-term judgment no collection of the
    // final session may touch.
    runSql("UPDATE TPst_PianiStudio SET sPstLDesc = sPstLDesc || ' / bis ' WHERE iPstId = 12");
    runSql("UPDATE OR INSERT INTO TGdz_Giudizi (iGdzId, iSitId, iAnsSesDwgId, bGdzGiudizio) "
           "VALUES (9400001, 955, 391, 'Primo') MATCHING (iSitId, iAnsSesDwgId)");
    ScriptedDialogs dialogs;
    OtherOffice other(db.database);
    const QString base = db.mainDir.path() + "Piani/", classFolder = base + "5A/";
    const QList<TqelClassPlan> plans = ClassPlans(39005);
    ASSERT_EQ(plans.size(), 2);
    const auto planFolder = [&](const TqelClassPlan &plan) {
        return classFolder + PlanFolderName(plan.description) + '/';
    };
    const auto send = [&] {
        QDir(base).removeRecursively();
        QDir().mkpath(base);
        TfmqelSendCPst form;
        form.eDir()->SetText(base);
        for (int row = 0; row < form.DataSet()->rowCount(); ++row)
            if (form.DataSet()->index(row, 0).data(Qt::EditRole).toInt() == 39005)
                form.SetSelectedRows({row});
        bool okWhileSending = false;
        saveScreenshot(&form, "sendcpst.png");
        form.engine().onPacketWritten = [&](const QString &) {
            okWhileSending |= form.buOk()->isEnabled();
        };
        form.buOk()->click();
        EXPECT_FALSE(okWhileSending);
        EXPECT_EQ(DialogSeam::shownTexts().value(0), "Procedura completata.");
        for (const TqelClassPlan &plan : plans)
            writeSummary(planFolder(plan));
        DialogSeam::clearShown();
    };
    const auto collectPlans = [&] {
        TfmqelRiceCPst form;
        form.eDir()->SetText(classFolder);
        form.SetCurrentClass(39005);
        saveScreenshot(&form, "ricecpst.png");
        // The importer never reads "Annulla": while it runs, its wait window offers none.
        bool waited = false, cancelOffered = false;
        TVxStatementRecorder recorder;
        recorder.setBeforeRun([&](const QString &) {
            if (fmVxWait) {
                waited = true;
                cancelOffered |= fmVxWait->buAnnulla()->isVisibleTo(fmVxWait);
            }
        });
        form.buOk()->click();
        EXPECT_TRUE(waited);
        EXPECT_FALSE(cancelOffered);
        const QStringList shown = DialogSeam::shownTexts();
        DialogSeam::clearShown();
        return shown;
    };
    // Each folder holds its own plan's pupils only.
    send();
    for (const TqelClassPlan &plan : plans) {
        TClientDataSet pupils;
        pupils.LoadFromFile(planFolder(plan) + "ClsAlu.xml");
        EXPECT_FALSE(pupils.IsEmpty());
        for (pupils.First(); !pupils.Eof(); pupils.Next())
            EXPECT_EQ(scalar("SELECT p.iPstId FROM TSit_Situazioni s JOIN TClsPst p ON "
                             "p.iClsPstId = s.iClsPstId WHERE s.iSitId = ?",
                             {pupils.FieldByName("ISITID")->Value()}),
                      plan.id);
    }
    const QStringList unchanged = snapshot();
    EXPECT_EQ(collectPlans(), QStringList{"Operazione completata.\n\nNessun dato è cambiato."});
    EXPECT_EQ(snapshot(), unchanged);

    using Change = std::function<void(TClientDataSet &)>;
    struct Edit
    {
        QString file;
        const char *key;
        int value;
        Change change;
    };
    const auto setAt = [](const char *file, const char *key, int value, const char *field,
                          const QVariant &to) {
        return Edit{file, key, value, [=](TClientDataSet &p) { setField(p, field, to); }};
    };
    struct Case
    {
        QList<Edit> edits;
        std::function<void()> prepare;
        QStringList shown = {};           // the messages' beginnings
        QStringList gone = {}, come = {}; // rows as the class route's
    } cases[] = {
        {{setAt("ClsDeb.xml", "iSitId", 957, "iDesDedId", 1),
          setAt("ClsDeb.xml", "iSitId", 957, "dDebVer", QDate(2009, 7, 15)),
          setAt("ClsDeb.xml", "iSitId", 959, "dDebVer", QVariant()),
          setAt("ClsDeb.xml", "iSitId", 152, "dDebVer", QDate(2008, 1, 15)),
          setAt("ClsCre.xml", "iSitId", 955, "iCreCredito", 7),
          setAt("ClsCre.xml", "iSitId", 966, "iCreCredito", 3),
          setAt("ClsCre.xml", "iSitId", 966, "iCreId", 0),
          setAt("Rec.xml", "iSitId", 957, "iEreId", 1),
          setAt("Rec.xml", "iSitId", 957, "iPvrId", 2)},
         [] {},
         {"Operazione completata.\n\ndebiti: righe aggiunte 0, cambiate 2, cancellate 0\n"
          "verifiche dei debiti: righe aggiunte 0, cambiate 1, cancellate 0\ncrediti: righe "
          "aggiunte 0, cambiate 1, cancellate 0\nrecuperi: righe aggiunte 0, cambiate 1, "
          "cancellate 0"},
         {"D|152|1|*", "D|957|1|2009-06-10|-|1000001|-|-|2|*", "D|959|*|2009-06-30|*", "K|955|6|*",
          "R|957|1|2|-|*"},
         {"D|152|1|*|2008-01-15|*", "D|957|1|2009-06-10|2009-07-15|1000001|-|1|2|*",
          "D|959|*|2009-06-12|-|*", "K|955|7|*", "R|957|1|2|1|*|2"}},
        // The summary of this year's pupils alone, one without a credit voted: no credit loses
        // its unanimity.
        {{},
         [&] {
             for (const TqelClassPlan &plan : plans)
                 writeSummary(planFolder(plan), kClassPupils, 955);
         },
         {"Operazione completata."}},
        // A refused second folder refuses the first one's edits too (each folder is read and
        // checked as the class's own folder is).
        {{{"ClsVot.xml", "iSitId", 955, raiseVote}},
         [&] { writeFileBytes(planFolder(plans[1]) + "Info.ini", "[Classe]\r\nID=39004\r\n"); },
         {"I file della cartella "}},
        // So does a plan folder that is not there, named as such.
        {{{"ClsVot.xml", "iSitId", 955, raiseVote}},
         [&] { QDir(planFolder(plans[1])).removeRecursively(); },
         {"Manca la cartella del piano di studio \"" + PlanFolderName(plans[1].description) +
          "\": " + QDir::toNativeSeparators(planFolder(plans[1]))}},
        // So does a pupil's situation that is no number.
        {{},
         [&] {
             const QString file = planFolder(plans[1]) + "ClsAlu.xml";
             QByteArray xml = readFileBytes(file).replace(
                 "attrname=\"ISITID\" fieldtype=\"i4\"",
                 "attrname=\"ISITID\" fieldtype=\"string\" WIDTH=\"20\"");
             const qsizetype at = xml.indexOf("ISITID=\"", xml.indexOf("<ROW"));
             writeFileBytes(file, xml.insert(xml.indexOf('"', at + 8), " or 1=1"));
         },
         {"La cartella "}},
        // Outcomes off stay as they are; a refused judgment is listed, the judgments kept.
        {{setAt("ClsFin.xml", "iSitId", 955, "iPosFinId", 0),
          setAt("ClsGdz.xml", "iSitId", 958, "bGdzGiudizio", "Nuovo")},
         [] {
             runSql("UPDATE TClsSes SET iClsSesEsi = 0 WHERE iClsSesId = 390052");
             runSql("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'");
             runSql("CREATE TRIGGER T_RIFIUTO FOR TGdz_Giudizi BEFORE INSERT AS BEGIN "
                    "IF (NEW.iSitId = 960) THEN EXCEPTION E_RIFIUTO; END");
         },
         {"Righe non raccolte: 1.\n\n  ***ERRORE*** "}},
        // Another office's notes end the collection there: the notes and the kinds after them
        // stay as they were, the kinds before are stored and named.
        {{{"ClsVot.xml", "iSitId", 955, raiseVote},
          setAt("ClsGdz.xml", "iSitId", 958, "bGdzGiudizio", "Altro")},
         [&] {
             setLockWaitTimeout(300);
             other.hold("UPDATE TNot_Note SET dNotData = dNotData WHERE iSitId = 955 AND "
                        "iClsSesMatId = 1320");
             other.finish();
             DialogSeam::queueAnswer(int(mrNo));
         },
         {"I dati da salvare sono bloccati",
          QString("La raccolta si è interrotta sui dati \"note\", che restano come erano.\r\r" +
                  lockWaitRefused().message() +
                  "\r\rDati già raccolti: voti, voti proposti, tassonomie, assenze, aiuti.")
              .replace('\r', '\n')},
         {"V|*|955|*"},
         {"V|*|955|*"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.come.join(' ') + c.shown.value(0)).toStdString());
        send();
        for (const Edit &edit : c.edits) {
            bool found = false;
            for (const TqelClassPlan &plan : plans) {
                TClientDataSet packet;
                packet.LoadFromFile(planFolder(plan) + edit.file);
                if (!packet.Locate(edit.key, edit.value))
                    continue;
                edit.change(packet);
                packet.SaveToFile(planFolder(plan) + edit.file, dfXML);
                found = true;
            }
            EXPECT_TRUE(found) << edit.file.toStdString();
        }
        c.prepare();
        const QStringList before = snapshot();
        const QStringList shown = collectPlans();
        const auto [gone, come] = changes(before);
        EXPECT_TRUE(matches(gone, c.gone)) << gone.join('\n').toStdString();
        EXPECT_TRUE(matches(come, c.come)) << come.join('\n').toStdString();
        ASSERT_EQ(shown.size(), c.shown.size()) << shown.join('\n').toStdString();
        for (int i = 0; i < shown.size(); ++i)
            EXPECT_TRUE(shown[i].startsWith(c.shown[i]) &&
                        shown[i].count("***ERRORE***") == c.shown[i].count("***ERRORE***"))
                << shown[i].toStdString();
    }
}
