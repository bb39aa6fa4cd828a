#include "exports/qelfexpmediaalunni.h"
#include "gradeentry/qevutil.h"
#include "platform/connection.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/waitwindow.h"
#include "shell/qelactivations.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLocale>
#include <QPushButton>
#include <QSqlRecord>

#include <map>

namespace {

using Prepare = std::function<void(TfmqelExpMediaAlunni *)>;
const QString kConfirm = QStringLiteral("Conferma esportazione?");

QVariant column(int sit, const char *name)
{
    return scalar(QStringLiteral("SELECT %1 FROM TSit_Situazioni WHERE iSitId = ?").arg(name),
                  {sit});
}

QList<int> ids(const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q = runSql(sql, values);
    QList<int> list;
    while (q.next())
        list << q.value(0).toInt();
    return list;
}

// The main situations of a year (by its start) in key order, the order of the export.
QList<int> pupilsOf(const char *yearStart)
{
    return ids(QStringLiteral("SELECT iSitId FROM TSit_Situazioni WHERE iSitOrdine = 1 AND "
                              "dStart = ? ORDER BY iSitId"),
               {QString::fromLatin1(yearStart)});
}

// Every situation's every column, as text.
std::map<int, std::map<QString, QString>> situations()
{
    QSqlQuery q = runSql(QStringLiteral("SELECT * FROM TSit_Situazioni"));
    std::map<int, std::map<QString, QString>> rows;
    while (q.next()) {
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i)
            rows[rec.value(0).toInt()][rec.fieldName(i)] =
                rec.isNull(i) ? QStringLiteral("<null>") : rec.value(i).toString();
    }
    return rows;
}

Prepare choose(int year, int session)
{
    return [=](TfmqelExpMediaAlunni *d) {
        d->cbAns()->setCurrentIndex(d->cbAns()->findData(year));
        d->cbSes()->setCurrentIndex(d->cbSes()->findData(session));
    };
}

class ExpMediaAlunni : public RunningProgram
{
protected:
    // Runs the command: the script prepares the dialog and presses OK, the answers go to the
    // questions. The dialog's result right after OK (0 while it stays open) and the messages.
    int run(const Prepare &prepare = {}, const QList<int> &answers = {mrYes})
    {
        int result = -1;
        DialogSeam::queueModalScript([&](QDialog *d) {
            auto *dialog = static_cast<TfmqelExpMediaAlunni *>(d);
            if (prepare)
                prepare(dialog);
            dialog->buOk()->click();
            result = dialog->result();
            if (dialog->WaitForm())
                operation = dialog->WaitForm()->Operation();
            return result == 0 ? int(mrCancel) : int(mrNone);
        });
        for (int answer : answers)
            DialogSeam::queueAnswer(answer);
        DialogSeam::clearShown();
        dmqelActivations->Item(QStringLiteral("xafExpMediaAlunni"))->Execute();
        messages.clear();
        for (const DialogSeam::Shown &s : DialogSeam::shown())
            if (s.kind == QLatin1String("message"))
                messages << s.text;
        return result;
    }

    ScriptedDialogs dialogs;
    QStringList messages;
    QString operation; // the wait window's last
};

} // namespace

TEST(PupilSummaryValues, VotesRoundUpAndTheAverageKeepsTwoDecimalsAtMost)
{
    for (auto [value, rounded] : {std::pair{6.2, 7}, {7.0, 7}, {6.5, 7}, {double(6.5f), 7}})
        EXPECT_EQ(RoundUpToInt(value), QVariant(rounded)) << value;
    EXPECT_TRUE(RoundUpToInt(QVariant()).isNull());

    const QLocale previous, it(QLocale::Italian, QLocale::Italy), en(QLocale::English);
    const struct
    {
        double average;
        QLocale locale;
        const char *text;
    } averages[] = {{7, it, "7"},          {7.256, it, "7,26"},    {7.256, en, "7.26"},
                    {7.2, it, "7,2"},      {10, it, "10"},         {7.005, it, "7"},
                    {7.125, it, "7,12"},   {6.666666, it, "6,67"}, {0.5, it, ",5"},
                    {1234.5, en, "1234.5"}};
    for (const auto &a : averages) {
        QLocale::setDefault(a.locale);
        EXPECT_EQ(FormatMediaVoti(a.average), QString::fromLatin1(a.text)) << a.average;
    }
    QLocale::setDefault(previous);
}

// One export of the working context, pupils of 5A set up for each case: Italian (1320) has a
// written (3175) and an oral (3176) component, and gets a practical one; 3190 is the written
// mathematics, 3204 the conduct.
TEST_F(ExpMediaAlunni, WritesEachPupilsValues)
{
    constexpr int kOral67 = 955, kNoIta = 956, kNoCond = 958, kNoVotes = 959, kAll9 = 960,
                  kOne7 = 961;
    const QString ofFinal = QStringLiteral(
        " iSitId = ? AND iClsMatCmpId IN (SELECT Cmc.iClsMatCmpId FROM TClsMatCmp Cmc JOIN "
        "TClsSesMat Csm ON Csm.iClsSesMatId = Cmc.iClsSesMatId WHERE Csm.iClsSesId = 390052)");
    runSql(QStringLiteral("INSERT INTO TClsMatCmp VALUES (990001, 1320, 3)"));
    runSql(QStringLiteral("UPDATE TVot_Voti SET iScaLivId = 106 WHERE iSitId = ? AND "
                          "iClsMatCmpId IN (3175, 3176)"),
           {kOral67});
    runSql(QStringLiteral("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) "
                          "VALUES (990001, 990001, ?, 107)"),
           {kOral67});
    runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE iSitId = ? AND iClsMatCmpId IN (3175, "
                          "3176)"),
           {kNoIta});
    runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE iSitId = ? AND iClsMatCmpId = 3204"),
           {kNoCond});
    runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE") + ofFinal, {kNoVotes});
    for (int sit : {kAll9, kOne7})
        runSql(QStringLiteral("UPDATE TVot_Voti SET iScaLivId = 109 WHERE iScaLivId BETWEEN 101 "
                              "AND 110 AND") +
                   ofFinal,
               {sit});
    runSql(QStringLiteral("UPDATE TVot_Voti SET iScaLivId = 107 WHERE iSitId = ? AND "
                          "iClsMatCmpId = 3190"),
           {kOne7});
    runSql(QStringLiteral("UPDATE TSit_Situazioni SET sSitVoto = 'vecchio', iSitVotItaliano = 9, "
                          "iSitVotItaOrale = 9, iSitVotiMagg8 = 1"));

    ASSERT_EQ(run(), int(mrOk));
    EXPECT_EQ(messages, (QStringList{kConfirm, QStringLiteral("Operazione completata")}));
    EXPECT_EQ(operation, QStringLiteral("Esportazione: Voti >= 8 in tutte le materie"));
    const struct
    {
        int sit;
        const char *column;
        const char *value; // nullptr: NULL
    } cases[] = {
        {kOral67, "iSitVotItaliano", "6"},
        {kOral67, "iSitVotItaOrale", "7"},
        {kNoIta, "iSitVotItaliano", nullptr},
        {kNoIta, "iSitVotItaOrale", nullptr},
        {kNoCond, "sSitVotoCond", "0"},
        {kNoVotes, "sSitVotoCond", "0"},
        {kNoVotes, "sSitVoto", "vecchio"},
        {kNoVotes, "iSitVotiMagg8", "0"},
        {kAll9, "iSitVotiMagg8", "1"},
        {kOne7, "iSitVotiMagg8", "0"},
        {kAll9, "sSitVoto", "9"},
        {kAll9, "sSitVotoCond", "9"},
        {kAll9, "iSitVotMatematica", "9"},
        {kOne7, "iSitVotMatematica", "7"},
        {kAll9, "iSitVotInglese", "9"},
    };
    for (const auto &c : cases) {
        const QVariant value = column(c.sit, c.column);
        EXPECT_EQ(value.isNull() ? QString() : value.toString(), QString::fromLatin1(c.value))
            << c.sit << " " << c.column;
    }
}

// A deferred session writes only the suspended pupils; absences add up the report-card
// sessions of the year up to the chosen one, never a deferred one.
TEST_F(ExpMediaAlunni, TheSessionChoosesThePupilsAndTheAbsences)
{
    const QList<int> suspended =
        ids(QStringLiteral("SELECT iSitId FROM TSit_Situazioni WHERE iSitOrdine = 1 AND dStart "
                           "= '2008-09-01' AND iPosFinId_Sosp IS NOT NULL ORDER BY iSitId"));
    ASSERT_GT(suspended.size(), 10);
    ASSERT_EQ(run(choose(39, 393)), int(mrOk));
    EXPECT_EQ(ids(QStringLiteral("SELECT iSitId FROM TSit_Situazioni WHERE sSitVotoCond IS NOT "
                                 "NULL ORDER BY iSitId")),
              suspended);

    // Bianchi (suspended): Italian in the first term (1310) and in the final (1320),
    // mathematics in the final (1324), Italian in the deferred session (1330).
    constexpr int kSit = 957;
    runSql(QStringLiteral("DELETE FROM TAss_Assenze WHERE iSitId IN (?, 958)"), {kSit});
    int key = 990000;
    for (auto [subject, hours] : {std::pair{1310, 3}, {1320, 4}, {1324, 20}, {1330, 50}})
        runSql(QStringLiteral("INSERT INTO TAss_Assenze (iAssId, iClsSesMatId, iSitId, iAssOre) "
                              "VALUES (?, ?, ?, ?)"),
               {++key, subject, kSit, hours});
    for (auto [session, hours] : {std::pair{391, 3}, {392, 27}, {393, 27}}) {
        ASSERT_EQ(run(choose(39, session)), int(mrOk));
        EXPECT_EQ(column(kSit, "iSitOreAssenza"), QVariant(hours)) << session;
    }
    EXPECT_EQ(column(958, "iSitOreAssenza"), QVariant(0));
}

// Each box unticked in turn keeps its columns for every pupil, and no column outside the boxes
// changes; the others' passes run in their order, each told with its caption.
TEST_F(ExpMediaAlunni, AnUntickedBoxLeavesItsColumnsUntouched)
{
    const std::map<QString, int> boxOf = {
        {"SSITVOTO", psMediaVot},       {"SSITVOTOCOND", psVotoCond},
        {"ISITOREASSENZA", psAssenze},  {"ISITVOTITALIANO", psVotoIta},
        {"ISITVOTITAORALE", psVotoIta}, {"ISITVOTMATEMATICA", psVotoMat},
        {"ISITVOTMATORALE", psVotoMat}, {"ISITVOTINGLESE", psVotoIngl},
        {"ISITVOTIMAGG8", psVotiMagg8}};
    const int pupils = int(pupilsOf("2008-09-01").size());
    for (int unticked = 0; unticked < psValueCount; ++unticked) {
        SCOPED_TRACE(pupilSummaryBoxes()[unticked].name);
        runSql(QStringLiteral("UPDATE TSit_Situazioni SET sSitVoto = 'x', sSitVotoCond = 'x', "
                              "iSitOreAssenza = -1, iSitVotItaliano = -1, iSitVotItaOrale = -1, "
                              "iSitVotMatematica = -1, iSitVotMatOrale = -1, iSitVotInglese = -1, "
                              "iSitVotiMagg8 = -1"));
        const auto before = situations();
        PupilSummaryRequest request{39, 392, 2};
        request.wanted[unticked] = false;
        QStringList texts, expected;
        int steps = 0;
        PupilSummaryExport().run(request, {[&](const QString &text, int count) {
                                               texts << text;
                                               EXPECT_EQ(count, pupils);
                                           },
                                           [&] { ++steps; }});
        // The average and the conduct vote share the first pass, named by the first ticked.
        for (int v = 0; v < psValueCount; ++v)
            if (v != unticked && !(v == psVotoCond && unticked != psMediaVot))
                expected << QStringLiteral("Esportazione: ") + pupilSummaryBoxes()[v].caption;
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(steps, pupils * int(expected.size()));

        std::map<QString, int> changed;
        const auto after = situations();
        for (const auto &[sit, row] : before)
            for (const auto &[name, value] : row)
                changed[name] += after.at(sit).at(name) != value;
        for (const auto &[name, count] : changed) {
            const auto box = boxOf.find(name);
            if (box == boxOf.end() || box->second == unticked)
                EXPECT_EQ(count, 0) << name.toStdString();
            else
                EXPECT_GT(count, 0) << name.toStdString();
        }
    }
}

// The database refuses the tenth pupil: the export ends with its text, the nine before keep
// their values, nobody after is written and no later pass runs.
TEST_F(ExpMediaAlunni, ARefusalEndsTheExportKeepingThePupilsWrittenBefore)
{
    const QList<int> pupils = pupilsOf("2008-09-01");
    runSql(QStringLiteral("UPDATE TSit_Situazioni SET iSitOreAssenza = NULL"));
    runSql(QStringLiteral("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'"));
    runSql(QStringLiteral("CREATE TRIGGER T_RIFIUTO FOR TSit_Situazioni BEFORE UPDATE AS BEGIN "
                          "IF (NEW.iSitId = %1) THEN EXCEPTION E_RIFIUTO; END")
               .arg(pupils.at(9)));
    run();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages.last().contains(QStringLiteral("rifiutato per prova")));
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));
    for (int i = 0; i < pupils.size(); ++i) {
        EXPECT_EQ(column(pupils[i], "sSitVotoCond").isNull(), i >= 9) << pupils[i];
        EXPECT_TRUE(column(pupils[i], "iSitOreAssenza").isNull()) << pupils[i];
    }
}

// The averages are the grade module's under the chosen year's conduct rule (conduct counts from
// key 39), whatever year another window gave the module last.
TEST_F(ExpMediaAlunni, AveragesAreTheGradeModulesUnderTheChosenYearsConductRule)
{
    for (auto [year, other, start] : {std::tuple{39, 38, "2008-09-01"}, {38, 39, "2007-09-01"}}) {
        SetAnsIdMedia(other);
        ASSERT_EQ(run(choose(year, year * 10 + 2)), int(mrOk));
        EXPECT_EQ(AnsIdMedia(), year);
        int conductMatters = 0;
        for (int sit : pupilsOf(start)) {
            // The demo's class sessions: iClsId * 10 + 2 in the final session.
            const int clsSes =
                scalar(QStringLiteral("SELECT P.iClsId * 10 + 2 FROM "
                                      "TSit_Situazioni S JOIN TClsPst P ON "
                                      "P.iClsPstId = S.iClsPstId WHERE S.iSitId = ?"),
                       {sit})
                    .toInt();
            SetAnsIdMedia(other);
            const double otherRule = MediaVoti(sit, -1, clsSes, false);
            SetAnsIdMedia(year);
            const double average = MediaVoti(sit, -1, clsSes, false);
            conductMatters += otherRule != average;
            const QVariant stored = column(sit, "sSitVoto");
            EXPECT_EQ(stored.isNull() ? QString() : stored.toString(),
                      average > 0 ? FormatMediaVoti(average) : QString())
                << sit;
        }
        EXPECT_GT(conductMatters, 100) << year;
    }
}

// The dialog opens on the working context; OK without a year or a session is refused, and an
// export not confirmed (No is the default) writes nothing.
TEST_F(ExpMediaAlunni, OkWantsAYearASessionAndAConfirmation)
{
    const auto before = situations();
    const QString noSession = QStringLiteral("Selezionare la sessione.");
    const struct
    {
        Prepare prepare;
        QList<int> answers;
        int result;
        QStringList shown;
    } cases[] = {
        {[](TfmqelExpMediaAlunni *d) {
             saveScreenshot(d, QStringLiteral("expmediaalunni.png"));
             EXPECT_EQ(d->cbAns()->currentText(), QStringLiteral("2008/2009"));
             EXPECT_EQ(d->cbAns()->count(), 3);
             EXPECT_EQ(d->SelectedAnsSesDwgId(), 392);
             EXPECT_EQ(d->cbSes()->count(), 4);
             for (int v = 0; v < psValueCount; ++v)
                 EXPECT_TRUE(d->box(TPupilSummaryValue(v))->isChecked());
         },
         {},
         int(mrOk),
         {kConfirm}},
        {{}, {int(mrNo)}, int(mrOk), {kConfirm}},
        {[](TfmqelExpMediaAlunni *d) { d->cbAns()->setCurrentIndex(-1); },
         {},
         0,
         {QStringLiteral("Selezionare l'anno scolastico.")}},
        {[](TfmqelExpMediaAlunni *d) { d->cbSes()->setCurrentIndex(-1); }, {}, 0, {noSession}},
        {[](TfmqelExpMediaAlunni *d) { d->cbAns()->setCurrentIndex(0); }, {}, 0, {noSession}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(c.prepare, c.answers), c.result) << c.shown.join('|').toStdString();
        EXPECT_EQ(messages, c.shown);
        EXPECT_TRUE(situations() == before) << c.shown.join('|').toStdString();
    }
}
