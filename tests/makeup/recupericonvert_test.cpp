#include "makeup/qelfctrrecuperi.h"
#include "makeup/qelfrecupericonvert.h"
#include "platform/connection.h"
#include "platform/dateedit.h"
#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"
#include "tests/makeup/makeupwindowtest.h"

#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>

#include <map>
#include <set>

namespace {

// The demo school's final session of 2008/2009 (392): its liceo classes hold 39 taxonomy grades
// of the make-up type component (weight 999; values 1 and 2) and 27 of the outcome component
// (888; value 1). The phases of 2008/2009 are 391 and 392, common to every institute.
constexpr int kFinal = 392;
constexpr int kPhase2 = 392;

const QString kTypesQuestion = QStringLiteral(
    "Conferma passaggio tipi recuperi?\nL'operazione cancellerà eventuali recuperi già inseriti");
// The outcomes' question counts the recorded outcomes it replaces.
QString outcomesQuestion(int replaced = 0)
{
    return QStringLiteral("Conferma passaggio esiti recuperi?\n\nEsiti già registrati che "
                          "verranno sostituiti: %1")
        .arg(replaced);
}
// What a conversion says it changed: the grades read, then its counts.
QString done(const char *what, size_t read, const QStringList &counts)
{
    return QStringLiteral("Passaggio %1 eseguito.\n\nTassonomie lette: %2\n")
               .arg(QLatin1String(what))
               .arg(read) +
           counts.join(QLatin1Char('\n'));
}

// Every record as text, by key: "iRecId phase sit/mat type outcome attr ver".
QStringList allRecords()
{
    QSqlQuery q = runSql(QStringLiteral(
        "SELECT iRecId, iAnsFreDwgId, iSitId, iMatId, COALESCE(iTreId, 0), COALESCE(iEreId, 0), "
        "COALESCE(CAST(dRecAttr AS VARCHAR(10)), '-'), COALESCE(CAST(dRecVer AS VARCHAR(10)), "
        "'-') FROM TRec_Recuperi ORDER BY iRecId"));
    QStringList rows;
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < 8; ++i)
            fields << q.value(i).toString();
        rows << fields.join(QLatin1Char(' '));
    }
    return rows;
}

QStringList withoutKeys(const QStringList &records)
{
    QStringList rows;
    for (const QString &r : records)
        rows << r.section(QLatin1Char(' '), 1);
    rows.sort();
    return rows;
}

// The session's taxonomy grades on a component weight: (pupil, subject) -> the level values,
// read apart from the program's statements.
std::multimap<std::pair<int, int>, int> grades(int componentWeight)
{
    QSqlQuery q = runSql(
        QStringLiteral("SELECT T.iSitId, R.iMatId, L.iScaLivValore FROM TTas_Tassonomie T "
                       "JOIN TClsMatCmp C ON C.iClsMatCmpId = T.iClsMatCmpId JOIN TClsSesMat M ON "
                       "M.iClsSesMatId = C.iClsSesMatId JOIN TClsSes S ON S.iClsSesId = "
                       "M.iClsSesId JOIN TMatRma R ON R.iMatRmaId = M.iMatRmaId JOIN TCmpSca K ON "
                       "K.iCmpScaId = C.iCmpScaId JOIN TCmp_Componenti P ON P.iCmpId = K.iCmpId "
                       "JOIN TScaLiv L ON L.iScaLivId = T.iScaLivId WHERE S.iAnsSesDwgId = ? AND "
                       "K.iCmpScaTass = 1 AND P.iCmpPeso = ?"),
        {kFinal, componentWeight});
    std::multimap<std::pair<int, int>, int> rows;
    while (q.next())
        rows.insert({{q.value(0).toInt(), q.value(1).toInt()}, q.value(2).toInt()});
    return rows;
}

// One grade of the component moves to a level of value 7, which weighs no type or outcome.
void oneGradeOfNoWeight(int iScaId, int componentWeight)
{
    runSql(QStringLiteral("INSERT INTO TScaLiv (iScaLivId, iScaId, iLivId, iScaLivValore) "
                          "VALUES (?, ?, 1, 7)"),
           {900000 + iScaId, iScaId});
    runSql(QStringLiteral("UPDATE TTas_Tassonomie T SET T.iScaLivId = ? WHERE T.iTasId = (SELECT "
                          "MIN(T2.iTasId) FROM TTas_Tassonomie T2 JOIN TClsMatCmp C ON "
                          "C.iClsMatCmpId = T2.iClsMatCmpId JOIN TCmpSca K ON K.iCmpScaId = "
                          "C.iCmpScaId JOIN TCmp_Componenti P ON P.iCmpId = K.iCmpId WHERE "
                          "P.iCmpPeso = ?)"),
           {900000 + iScaId, componentWeight});
}

// The records of the first phase holding an outcome that the demo's outcome grades (each of an
// outcome's weight) replace.
int outcomesToReplace()
{
    const auto graded = grades(MakeupConversion::kOutcomeComponentWeight);
    int count = 0;
    for (const QString &r : allRecords()) {
        const QStringList f = r.split(QLatin1Char(' '));
        count += f[1].toInt() == kPhase1 && f[5] != QLatin1String("0") &&
                 graded.count({f[2].toInt(), f[3].toInt()}) > 0;
    }
    return count;
}

class RecuperiConvert : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
    }

    // Opens the dialog, lets the test choose, then presses OK with the answers queued.
    TfmqelRecuperiConvert &run(const std::function<void(TfmqelRecuperiConvert &)> &choose,
                               QList<int> answers = {mrYes})
    {
        dialog = std::make_unique<TfmqelRecuperiConvert>();
        dialog->show();
        choose(*dialog);
        DialogSeam::clearShown();
        for (int a : answers)
            DialogSeam::queueAnswer(a);
        dialog->buOk()->click();
        return *dialog;
    }

    ProgramDatabase db;
    ScriptedDialogs dialogs;
    std::unique_ptr<TfmqelRecuperiConvert> dialog;
};

void chooseTypes(TfmqelRecuperiConvert &d, const QDate &date)
{
    d.SetTipoEsito(0);
    d.deDataEsito()->SetDate(date);
}

} // namespace

// The lists as the dialog opens on the working context; the type conversion replaces the
// phase's records of every class, hand-made ones too, by one record per grade of a type's
// weight; a grade of no type makes none but still moves the progress on.
TEST_F(RecuperiConvert, TypesReplaceThePhaseByWeight)
{
    // A phase of the institute's own is not offered.
    runSql(QStringLiteral("INSERT INTO TAnsFreDwg (iAnsFreDwgId, iAnsId, iFreId, iDwgId) VALUES "
                          "(393, 39, 1, 2)"));
    const struct
    {
        const char *name;
        QDate date;
        bool gradeOfNoType;
    } cases[] = {
        {"dated", QDate(2009, 6, 30), false},
        {"without date, one grade of no type", QDate(), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.gradeOfNoType)
            oneGradeOfNoWeight(4, MakeupConversion::kTypeComponentWeight);
        const QStringList before = allRecords();
        TfmqelRecuperiConvert &d = run([&](TfmqelRecuperiConvert &d) {
            EXPECT_EQ(d.cbAns()->currentText(), QStringLiteral("2008/2009"));
            EXPECT_EQ(d.cbAns()->itemText(0), QStringLiteral("2006/2007"));
            EXPECT_EQ(d.cbSes()->currentData().toInt(), kFinal);
            EXPECT_EQ(d.cbSes()->count(), 4);
            ASSERT_EQ(d.cbFaseRec()->count(), 2);
            EXPECT_EQ(d.cbFaseRec()->currentData().toInt(), kPhase1);
            EXPECT_EQ(d.cbFaseRec()->itemData(1).toInt(), kPhase2);
            EXPECT_EQ(d.TipoEsito(), 0);
            chooseTypes(d, c.date);
        });
        EXPECT_FALSE(d.isVisible());

        QStringList expected;
        const QString attr = c.date.isValid() ? c.date.toString(Qt::ISODate) : QStringLiteral("-");
        for (const QString &r : withoutKeys(before))
            if (!r.startsWith(QStringLiteral("391 ")))
                expected << r;
        const qsizetype kept = expected.size();
        const auto source = grades(MakeupConversion::kTypeComponentWeight);
        for (const auto &[cell, value] : source)
            if (value <= 3) // the types 1, 2 and 3 weigh 1, 2 and 3
                expected << QStringLiteral("391 %1 %2 %3 0 %4 -")
                                .arg(cell.first)
                                .arg(cell.second)
                                .arg(value)
                                .arg(attr);
        EXPECT_EQ(
            DialogSeam::shownTexts(),
            (QStringList{
                kTypesQuestion,
                done(
                    "dei tipi di recupero", source.size(),
                    {QStringLiteral("Recuperi della fase cancellati: %1").arg(before.size() - kept),
                     QStringLiteral("Recuperi creati: %1").arg(expected.size() - kept)})}));
        expected.sort();
        EXPECT_EQ(withoutKeys(allRecords()), expected);
        EXPECT_EQ(source.size(), 39u);
        ASSERT_NE(d.fmWait(), nullptr);
        EXPECT_EQ(d.fmWait()->Maximum(), 39);
        EXPECT_EQ(d.fmWait()->Position(), 39);
        EXPECT_FALSE(d.fmWait()->isVisible());
    }
}

// The outcome conversion sets outcome and verification date of the records that exist for a
// graded pupil and subject in the phase, every record of the cell, and nothing else.
TEST_F(RecuperiConvert, OutcomesUpdateOnlyTheMatchingRecords)
{
    oneGradeOfNoWeight(5, MakeupConversion::kOutcomeComponentWeight);
    const auto source = grades(MakeupConversion::kOutcomeComponentWeight);
    // The second run replaces the outcomes the first wrote, and its question says how many.
    runSql(QStringLiteral("UPDATE TRec_Recuperi SET iEreId = NULL, dRecVer = NULL"));
    int replaced = 0;
    for (const QDate &date : {QDate(2009, 7, 20), QDate()}) {
        SCOPED_TRACE(date.toString().toStdString());
        const QStringList before = allRecords();
        run([&](TfmqelRecuperiConvert &d) {
            d.SetTipoEsito(1);
            d.deDataEsito()->SetDate(date);
        });
        QStringList expected;
        int updated = 0;
        for (const QString &r : before) {
            const QStringList f = r.split(QLatin1Char(' '));
            const auto graded = source.find({f[2].toInt(), f[3].toInt()});
            if (f[1].toInt() == kPhase1 && graded != source.end() && graded->second == 1) {
                expected
                    << QStringList{f[0],
                                   f[1],
                                   f[2],
                                   f[3],
                                   f[4],
                                   QStringLiteral("1"),
                                   f[6],
                                   date.isValid() ? date.toString(Qt::ISODate) : QStringLiteral("-")}
                           .join(QLatin1Char(' '));
                ++updated;
            } else {
                expected << r;
            }
        }
        EXPECT_EQ(allRecords(), expected);
        EXPECT_EQ(
            DialogSeam::shownTexts(),
            (QStringList{outcomesQuestion(replaced),
                         done("degli esiti dei recuperi", source.size(),
                              {QStringLiteral("Esiti scritti nei recuperi: %1").arg(updated)})}));
        EXPECT_GT(updated, 1);
        replaced = updated;
        EXPECT_EQ(dialog->fmWait()->Position(), int(source.size()));
    }
}

// OK waits for a year, a session and a phase; no grade of a type changes nothing and says only
// that; No changes nothing and says nothing more.
TEST_F(RecuperiConvert, RefusalsAndRunsThatChangeNothing)
{
    registerMakeupForms();
    std::unique_ptr<QWidget> created(FormRegistry::create(QStringLiteral("TfmqelRecuperiConvert")));
    EXPECT_NE(qobject_cast<TfmqelRecuperiConvert *>(created.get()), nullptr);

    // 2007/2008's phases belong to the institute.
    runSql(QStringLiteral("UPDATE TAnsFreDwg SET iDwgId = 2 WHERE iAnsId = 38"));
    const QStringList before = allRecords();
    const int recorded = outcomesToReplace();
    ASSERT_GT(recorded, 0);
    const struct
    {
        const char *name;
        std::function<void(TfmqelRecuperiConvert &)> choose;
        QList<int> answers;
        QStringList shown;
        bool stays; // open for another choice
    } cases[] = {
        {"no year",
         [](TfmqelRecuperiConvert &d) { d.cbAns()->setCurrentIndex(-1); },
         {mrYes},
         {"Selezionare l'anno scolastico."},
         true},
        {"no session",
         [](TfmqelRecuperiConvert &d) { d.cbSes()->setCurrentIndex(-1); },
         {mrYes},
         {"Selezionare la sessione da cui leggere le tassonomie."},
         true},
        {"a year without the working session",
         [](TfmqelRecuperiConvert &d) { d.cbAns()->setCurrentText("2007/2008"); },
         {mrYes},
         {"Selezionare la sessione da cui leggere le tassonomie."},
         true},
        {"a year without common phases",
         [](TfmqelRecuperiConvert &d) {
             d.cbAns()->setCurrentText("2007/2008");
             d.cbSes()->setCurrentIndex(1);
         },
         {mrYes},
         {"Selezionare la fase di recupero."},
         true},
        {"no grade of a type",
         [](TfmqelRecuperiConvert &d) { d.cbSes()->setCurrentIndex(0); },
         {mrYes},
         {kTypesQuestion, "Nessun recupero importato!"},
         false},
        {"no grade of an outcome",
         [](TfmqelRecuperiConvert &d) {
             d.cbSes()->setCurrentIndex(0);
             d.SetTipoEsito(1);
         },
         {mrYes},
         {outcomesQuestion(), "Nessun esito importato!"},
         false},
        {"answered No", [](TfmqelRecuperiConvert &) {}, {mrNo}, {kTypesQuestion}, false},
        {"outcomes answered with the default",
         [](TfmqelRecuperiConvert &d) { d.SetTipoEsito(1); },
         {},
         {outcomesQuestion(recorded)},
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TfmqelRecuperiConvert &d = run(c.choose, c.answers);
        EXPECT_EQ(DialogSeam::shownTexts(), c.shown);
        EXPECT_EQ(d.isVisible(), c.stays);
        EXPECT_EQ(allRecords(), before);
    }
}

// A refused insert part-way rolls the whole type conversion back: the phase keeps every record
// it had, also as the database's own tool reads it, and no success is claimed.
TEST_F(RecuperiConvert, AFailedInsertLeavesThePhaseAsItWas)
{
    // The last grade's pupil (5A): many records are inserted before it.
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_NOINSERT 'inserimento rifiutato'"));
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_NOINSERT FOR TRec_Recuperi BEFORE INSERT AS "
                          "BEGIN IF (NEW.iSitId = 957) THEN EXCEPTION E_TEST_NOINSERT; END"));
    const QStringList before = allRecords();
    const int inPhase = int(before.filter(QRegularExpression(QStringLiteral("^\\d+ 391 "))).size());
    ASSERT_GT(inPhase, 39);
    TfmqelRecuperiConvert &d =
        run([](TfmqelRecuperiConvert &d) { chooseTypes(d, QDate(2009, 6, 30)); });
    const QStringList shown = DialogSeam::shownTexts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], kTypesQuestion);
    EXPECT_TRUE(shown[1].startsWith(
        QStringLiteral("Conversione non eseguita: nessun recupero è stato modificato.")));
    EXPECT_TRUE(shown[1].contains(QStringLiteral("inserimento rifiutato")));
    EXPECT_GT(d.fmWait()->Position(), 30);
    EXPECT_LT(d.fmWait()->Position(), 39);
    EXPECT_EQ(allRecords(), before);

    const QString path = db.database.path();
    CloseConnection();
    const auto [code, output] =
        runDatabaseTool(QStringLiteral("isql-fb"), {"-q", "-user", "SYSDBA", path},
                        "SET LIST ON;\nSELECT COUNT(*) AS N, MAX(iRecId) AS K FROM TRec_Recuperi "
                        "WHERE iAnsFreDwgId = 391;\n");
    ASSERT_EQ(code, 0) << output.toStdString();
    const QStringList words = output.simplified().split(QLatin1Char(' '));
    ASSERT_EQ(words.size(), 4) << output.toStdString();
    EXPECT_EQ(words[1].toInt(), inPhase);
    EXPECT_LT(words[3].toInt(), 1000000); // no key the conversion drew stayed
}
