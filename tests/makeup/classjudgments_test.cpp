#include "makeup/qelcontrollarecuperi.h"
#include "makeup/qelfcompgiudiziomedie.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "shell/qelactivations.h"
#include "shell/qelstartup.h"
#include "tests/support/runningprogram.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <functional>

namespace {

// 5A of 2008/2009 in the final session: its class session and its conduct subject's
// components (Impegno, Partecipazione).
constexpr int kClass = 39005;
constexpr int kConductSubject = 1329;
constexpr int kImpegno = 3205;
constexpr int kPartecipazione = 3206;
// Pupils of 5A: three first situations, one that starts late, and a second situation.
constexpr int kNoRow = 955, kEmptyRow = 957, kWritten = 958, kLate = 959, kSecond = 1029;
const QString kComposed = QStringLiteral(
    "Rispetto delle regole Distinto\r\nImpegno Ottimo\r\nPartecipazione Sufficiente");

using Prepare = std::function<void(TfmqelCompGiudizioMedie *)>;

class ClassJudgmentsTest : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        if (HasFatalFailure())
            return;

        // Only the pupils below have conduct taxonomies in 5A: three components, the first
        // on a scale of its own that comes before the others whatever its order number.
        runSql(QStringLiteral("DELETE FROM TTas_Tassonomie WHERE iClsMatCmpId IN (?, ?)"),
               {kImpegno, kPartecipazione});
        runSql(QStringLiteral("INSERT INTO TCmp_Componenti (iCmpId, sCmpLDesc, sCmpSDesc) "
                              "VALUES (990, 'Rispetto delle regole', 'REG')"));
        runSql(QStringLiteral("INSERT INTO TCmpSca (iCmpScaId, iCmpId, iScaId, iCmpScaTass, "
                              "iCmpScaOrdine) VALUES (990, 990, 2, 1, 20)"));
        runSql(QStringLiteral("INSERT INTO TClsMatCmp (iClsMatCmpId, iClsSesMatId, iCmpScaId) "
                              "VALUES (990001, ?, 990)"),
               {kConductSubject});
        int key = 990000;
        for (int sit : {kNoRow, kEmptyRow, kWritten, kLate, kSecond}) {
            for (auto [cmc, level] :
                 {std::pair{kPartecipazione, 304}, {990001, 302}, {kImpegno, 301}})
                runSql(QStringLiteral("INSERT INTO TTas_Tassonomie (iTasId, iClsMatCmpId, "
                                      "iSitId, iScaLivId) VALUES (?, ?, ?, ?)"),
                       {++key, cmc, sit, level});
        }
        runSql(QStringLiteral("DELETE FROM TGdz_Giudizi WHERE iSitId = ?"), {kNoRow});
        runSql(QStringLiteral("UPDATE TGdz_Giudizi SET bGdzGiudizio = '' WHERE iSitId = ?"),
               {kEmptyRow});
        // A situation that ends before the year does: a new row takes its end, not the year's.
        runSql(QStringLiteral("UPDATE TSit_Situazioni SET dEnd = '2009-03-31' WHERE iSitId = ?"),
               {kNoRow});
        runSql(QStringLiteral("UPDATE TSit_Situazioni SET dStart = '2008-10-01' WHERE iSitId = ?"),
               {kLate});
        runSql(QStringLiteral("INSERT INTO TGdz_Giudizi (iGdzId, iSitId, iAnsSesDwgId, "
                              "bGdzGiudizio) VALUES (990001, ?, 391, 'Primo periodo')"),
               {kNoRow});
    }

    // Runs the command; the script prepares the live dialog and presses OK (unless told not
    // to), answering the queued answers. Returns the dialog's result right after OK (0 while
    // it stays open).
    int run(const char *command, const Prepare &prepare, std::initializer_list<int> answers,
            bool pressOk = true)
    {
        int result = -1;
        DialogSeam::queueModalScript([&](QDialog *d) {
            auto *dialog = qobject_cast<TfmqelCompGiudizioMedie *>(d);
            if (!dialog) {
                ADD_FAILURE() << "not the judgment dialog";
                return int(mrCancel);
            }
            prepare(dialog);
            if (pressOk)
                dialog->buOk()->click();
            result = dialog->result();
            return int(mrNone);
        });
        for (int answer : answers)
            DialogSeam::queueAnswer(answer);
        dmqelActivations->Item(QString::fromLatin1(command))->Execute();
        return result;
    }

    // Only 5A checked, the box as given.
    static Prepare only5A(bool replace)
    {
        return [replace](TfmqelCompGiudizioMedie *dialog) {
            dialog->tcUnselectAllClick();
            QListWidget *classes = dialog->clbCls();
            for (int i = 0; i < classes->count(); ++i) {
                if (classes->item(i)->data(Qt::UserRole).toInt() == kClass)
                    classes->item(i)->setCheckState(Qt::Checked);
            }
            dialog->findChild<QCheckBox *>(QStringLiteral("cbxSovrascrivi"))->setChecked(replace);
        };
    }

    static QVariant judgment(int sit, int session = 392)
    {
        return scalar(QStringLiteral("SELECT bGdzGiudizio FROM TGdz_Giudizi WHERE iSitId = ? AND "
                                     "iAnsSesDwgId = ?"),
                      {sit, session});
    }
    static QString text(int sit, int session = 392)
    {
        const QVariant value = judgment(sit, session);
        return value.isValid() ? QString::fromUtf8(value.toByteArray()) : QStringLiteral("<none>");
    }
    // Every judgment row as text, to tell that nothing changed.
    static QString allJudgments()
    {
        QSqlQuery q = runSql(QStringLiteral("SELECT iGdzId, iSitId, iAnsSesDwgId, bGdzGiudizio "
                                            "FROM TGdz_Giudizi ORDER BY iGdzId"));
        QString all;
        while (q.next())
            all += q.value(0).toString() + q.value(1).toString() + q.value(2).toString() +
                   QString::fromUtf8(q.value(3).toByteArray()) + QLatin1Char('|');
        return all;
    }

    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(ClassJudgmentsTest, OpensOnTheWorkingSessionInEachMode)
{
    run("xafCancellaGiud",
        [](TfmqelCompGiudizioMedie *dialog) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Cancella Giudizio"));
            for (const char *name : {"cbxSovrascrivi", "rbDaTassonomie", "rbDaNote"})
                EXPECT_TRUE(dialog->findChild<QWidget *>(QString::fromLatin1(name))->isHidden())
                    << name;
            EXPECT_EQ(dialog->findChild<QLineEdit *>(QStringLiteral("edIst"))->text(), "2");
            // The year's own start year, not its key.
            EXPECT_EQ(dialog->findChild<QLineEdit *>(QStringLiteral("edAns"))->text(),
                      QStringLiteral("2008/2009"));
            EXPECT_FALSE(dialog->findChild<QLineEdit *>(QStringLiteral("edSes"))->text().isEmpty());
            // Every class of the session, in the classes' order (not their keys'); deleting
            // starts with none ticked.
            QListWidget *classes = dialog->clbCls();
            ASSERT_EQ(classes->count(), 15);
            EXPECT_TRUE(classes->item(0)->text().startsWith(QStringLiteral("1A")));
            EXPECT_TRUE(classes->item(1)->text().startsWith(QStringLiteral("1B")));
            EXPECT_TRUE(dialog->checkedClasses().isEmpty());
            dialog->findChild<QAction *>(QStringLiteral("tbSelectAll"))->trigger();
            EXPECT_EQ(dialog->checkedClasses().size(), 15);
            dialog->findChild<QAction *>(QStringLiteral("tcUnselectAll"))->trigger();
            EXPECT_TRUE(dialog->checkedClasses().isEmpty());
            classes->item(1)->setCheckState(Qt::Checked);
            dialog->findChild<QAction *>(QStringLiteral("tbInvert"))->trigger();
            EXPECT_EQ(dialog->checkedClasses().size(), 14);
            EXPECT_FALSE(dialog->checkedClasses().contains(39011));
            dialog->findChild<QAction *>(QStringLiteral("tbSelectAll"))->trigger();
            EXPECT_EQ(dialog->checkedClasses().size(), 15);
            only5A(false)(dialog);
        },
        {mrYes, mrOk});
    EXPECT_EQ(DialogSeam::shownTexts().mid(1),
              (QStringList{QStringLiteral("Conferma cancellazione giudizi delle classi "
                                          "selezionate?\n\nClassi: 5A. Tutti i giudizi dei loro "
                                          "alunni in questa sessione vengono cancellati."),
                           QStringLiteral("Operazione conclusa correttamente")}));

    run(
        "xafCompGiudMedie",
        [](TfmqelCompGiudizioMedie *dialog) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Compone Giudizio da tassonomie"));
            EXPECT_EQ(dialog->checkedClasses().size(), 15); // composing starts from every class
            EXPECT_FALSE(dialog->findChild<QWidget *>(QStringLiteral("rbDaNote"))->isHidden());
            dialog->findChild<QRadioButton *>(QStringLiteral("rbDaNote"))->click();
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Copia Giudizio da note"));
            dialog->findChild<QRadioButton *>(QStringLiteral("rbDaTassonomie"))->click();
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Compone Giudizio da tassonomie"));
            EXPECT_EQ(dialog->Modo(), 0);
        },
        {}, false);
    // Mode 1 above deleted only the working session's rows.
    EXPECT_FALSE(judgment(kWritten).isValid());
    EXPECT_EQ(text(kNoRow, 391), QStringLiteral("Primo periodo"));
    EXPECT_TRUE(judgment(scalar(QStringLiteral("SELECT MIN(Sit.iSitId) FROM TSit_Situazioni Sit "
                                               "JOIN TClsPst P ON P.iClsPstId = Sit.iClsPstId "
                                               "WHERE P.iClsId = 39004"))
                             .toInt())
                    .isValid());
}

TEST_F(ClassJudgmentsTest, ComposedTextFollowsTheOverwriteRule)
{
    const QString written = text(kWritten);
    const struct
    {
        bool replace;
        QString noRow, emptyRow, writtenRow;
    } runs[] = {
        {false, kComposed, kComposed, written},
        {true, kComposed, kComposed, kComposed},
    };
    for (const auto &r : runs) {
        SCOPED_TRACE(r.replace);
        EXPECT_EQ(run("xafCompGiudMedie", only5A(r.replace), {mrYes, mrOk}), int(mrOk));
        EXPECT_EQ(text(kNoRow), r.noRow);
        EXPECT_EQ(text(kEmptyRow), r.emptyRow);
        EXPECT_EQ(text(kWritten), r.writtenRow);
        EXPECT_EQ(text(kNoRow, 391), QStringLiteral("Primo periodo"));
    }
    // One new row, with the situation's dates.
    QSqlQuery row = runSql(QStringLiteral("SELECT dInsert, dStart, dEnd, COUNT(*) OVER () FROM "
                                          "TGdz_Giudizi WHERE iSitId = ? AND iAnsSesDwgId = 392"),
                           {kNoRow});
    ASSERT_TRUE(row.next());
    EXPECT_EQ(row.value(0).toDateTime(), QDateTime(QDate(2008, 9, 1), QTime(0, 0)));
    EXPECT_EQ(row.value(1).toDate(), QDate(2008, 9, 1));
    EXPECT_EQ(row.value(2).toDate(), QDate(2009, 3, 31));
    EXPECT_EQ(row.value(3).toInt(), 1);
}

TEST_F(ClassJudgmentsTest, NotesGiveTheEarliestConductNote)
{
    const QString written = text(kWritten);
    int key = 990100;
    const struct
    {
        int sit;
        const char *date;
        const char *note;
    } notes[] = {
        {kNoRow, "2009-05-10", "Seconda nota"},     {kNoRow, nullptr, "Nota senza data"},
        {kNoRow, "2009-02-01", "  Prima nota\r\n"}, {kNoRow, "2009-02-01", "Stesso giorno"},
        {kEmptyRow, "2009-01-10", " \r\n "},
    };
    for (const auto &n : notes)
        runSql(QStringLiteral("INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, dNotData, "
                              "bNotNota) VALUES (?, ?, ?, ?, ?)"),
               {++key, kConductSubject, n.sit,
                n.date ? QVariant(QDate::fromString(QString::fromLatin1(n.date), Qt::ISODate))
                       : QVariant(QMetaType(QMetaType::QDate)),
                QString::fromLatin1(n.note)});
    run("xafCompGiudMedie",
        [](TfmqelCompGiudizioMedie *dialog) {
            only5A(true)(dialog);
            dialog->findChild<QRadioButton *>(QStringLiteral("rbDaNote"))->click();
        },
        {mrYes, mrOk});
    EXPECT_EQ(text(kNoRow), QStringLiteral("Prima nota"));
    // A note of blanks is no note; a pupil without one keeps the judgment he has.
    EXPECT_EQ(text(kEmptyRow), QString());
    EXPECT_EQ(text(kWritten), written);
}

TEST_F(ClassJudgmentsTest, EveryModeLeavesALateStartAndASecondSituationAlone)
{
    // Both have a written judgment, conduct taxonomies and a conduct note, as a first
    // situation that starts with the year does, so that every mode has something to change.
    int key = 990200;
    for (int sit : {kNoRow, kLate, kSecond}) {
        runSql(QStringLiteral("DELETE FROM TGdz_Giudizi WHERE iSitId = ? AND iAnsSesDwgId = 392"),
               {sit});
        runSql(QStringLiteral("INSERT INTO TGdz_Giudizi (iGdzId, iSitId, iAnsSesDwgId, "
                              "bGdzGiudizio) VALUES (?, ?, 392, 'Giudizio scritto')"),
               {++key, sit});
        runSql(QStringLiteral("INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, dNotData, "
                              "bNotNota) VALUES (?, ?, ?, '2009-02-01', 'Nota di condotta')"),
               {++key, kConductSubject, sit});
    }
    const struct
    {
        const char *command;
        int mode;
        QString noRow; // what the run leaves to a first situation
    } modes[] = {
        {"xafCompGiudMedie", 0, kComposed},
        {"xafCompGiudMedie", 2, QStringLiteral("Nota di condotta")},
        {"xafCancellaGiud", 1, QStringLiteral("<none>")},
    };
    for (const auto &m : modes) {
        SCOPED_TRACE(m.mode);
        run(m.command,
            [&m](TfmqelCompGiudizioMedie *dialog) {
                only5A(true)(dialog);
                if (m.mode == 2)
                    dialog->findChild<QRadioButton *>(QStringLiteral("rbDaNote"))->click();
                EXPECT_EQ(dialog->Modo(), m.mode);
            },
            {mrYes, mrOk});
        EXPECT_EQ(text(kNoRow), m.noRow);
        EXPECT_EQ(text(kLate), QStringLiteral("Giudizio scritto"));
        EXPECT_EQ(text(kSecond), QStringLiteral("Giudizio scritto"));
    }
}

TEST_F(ClassJudgmentsTest, RefusedOrFailedRunsKeepTheDialogOpen)
{
    const QString before = allJudgments();
    // No: nothing is written and the dialog stays open.
    EXPECT_EQ(run("xafCompGiudMedie", only5A(true), {mrNo}), 0);
    EXPECT_EQ(allJudgments(), before);

    // A refusal of the database at the third pupil: the two before it stay written.
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_GDZ 'giudizio rifiutato'"));
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_GDZ FOR TGdz_Giudizi BEFORE UPDATE AS BEGIN "
                          "IF (NEW.iSitId = %1) THEN EXCEPTION E_TEST_GDZ; END")
               .arg(kWritten));
    DialogSeam::clearShown();
    EXPECT_EQ(run("xafCompGiudMedie", only5A(true), {mrYes}), 0);
    EXPECT_EQ(text(kNoRow), kComposed);
    EXPECT_EQ(text(kEmptyRow), kComposed);
    EXPECT_NE(text(kWritten), kComposed);
    ASSERT_EQ(DialogSeam::shownTexts().size(), 3);
    // The question names the classes and that judgments written are replaced.
    EXPECT_TRUE(DialogSeam::shownTexts().at(1).endsWith(
        QStringLiteral("Classi: 5A. I giudizi già scritti vengono sostituiti.")))
        << DialogSeam::shownTexts().at(1).toStdString();
    EXPECT_TRUE(DialogSeam::shownTexts().last().contains(QStringLiteral("giudizio rifiutato")))
        << DialogSeam::shownTexts().last().toStdString();

    // Without a working session the dialog does not open.
    xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), 0);
    DialogSeam::clearShown();
    EXPECT_FALSE(dmqelActivations->Item(QStringLiteral("xafCancellaGiud"))->Execute());
    ASSERT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts().first().startsWith(
        QStringLiteral("Non è stata selezionata la sessione scolastica di lavoro.")));
}
