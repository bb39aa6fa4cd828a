#include "makeup/qelfrec.h"
#include "makeup/qelrdettrec.h"
#include "makeup/qelrgrigliarec.h"
#include "platform/dateedit.h"
#include "platform/messagedlg.h"
#include "platform/sqlparams.h"
#include "tests/makeup/makeupwindowtest.h"

#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

constexpr int kBarbieri = 955; // no record
constexpr int kItaOfBianchi = 294;

int countRecords()
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM TRec_Recuperi")).toInt();
}

class Recuperi : public MakeupWindowTest<TfmQelRec>
{
public:
    void chooseClass(int iClsSesId) { chooseClassSession(dm, iClsSesId); }

    TfrQelGrigliaRec *grid() const { return window->frQelGrigliaRec1(); }
    TfrQelDettRec *panel() const { return window->frQelDettRec1(); }
    TVxStringGrid *cells() const { return grid()->dbgRec(); }

    QPoint where(int iSitId, int iMatId) const { return recuperiCell(cells(), iSitId, iMatId); }
    TqevCellaRec *cell(int iSitId, int iMatId) const
    {
        const QPoint p = where(iSitId, iMatId);
        return cells()->ObjectAs<TqevCellaRec>(p.x(), p.y()).get();
    }
    void focus(int iSitId, int iMatId = 0)
    {
        const QPoint p = where(iSitId, iMatId);
        cells()->MoveCursor(p.x(), p.y());
    }
    void key(int digit, bool keypad = true)
    {
        QTest::keyClick(cells(), Qt::Key(Qt::Key_0 + digit),
                        keypad ? Qt::KeypadModifier : Qt::NoModifier);
    }
    void chooseOutcome(int iEreId) { choose(panel()->cboEsito(), iEreId); }
    void chooseType(int iTreId) { choose(panel()->cboTipo(), iTreId); }
    static void choose(QComboBox *combo, int id) { combo->setCurrentIndex(combo->findData(id)); }
    static int chosen(const QComboBox *combo)
    {
        return combo->currentIndex() < 0 ? 0 : combo->currentData().toInt();
    }
};

} // namespace

// The year limit compares the class session's year key with 38; the phases are those of the
// class session's year, also when it is not the working year; a year without phases says so.
TEST_F(Recuperi, YearOfTheClassSessionGivesTheLimitAndThePhases)
{
    // 2007/2008 loses its phases (the deferred session pointed at the second one).
    runSql(QStringLiteral("UPDATE TAnsSesDwg SET iAnsFreDwgId = NULL WHERE iAnsId = 38"));
    runSql(QStringLiteral("DELETE FROM TRec_Recuperi WHERE iAnsFreDwgId IN (381, 382)"));
    const struct
    {
        const char *name;
        int iClsSesId;
        std::function<void()> prepare;
        const char *message;
        int iAnsFreDwgId; // 0: the window stays empty, its tool bar disabled
    } cases[] = {
        {"2006/2007", 370052, [] {},
         "ATTENZIONE! Impossibile assegnare recuperi prima dell'anno scolastico 2007/2008.", 0},
        {"2007/2008 without phases", 380052,
         [] { runSql(QStringLiteral("DELETE FROM TAnsFreDwg WHERE iAnsId = 38")); },
         "ATTENZIONE! Nessuna fase di recupero definita per l'anno scolastico 2007/2008.", 0},
        {"2007/2008 with a phase", 380052,
         [] {
             runSql(QStringLiteral(
                 "INSERT INTO TAnsFreDwg (iAnsFreDwgId, iAnsId, iFreId) VALUES (383, 38, 2)"));
         },
         nullptr, 383},
        {"2008/2009", k5A, [] {}, nullptr, kPhase1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        DialogSeam::clearShown();
        TfmQelRec &w = open(c.iClsSesId);
        EXPECT_EQ(DialogSeam::shownTexts(),
                  c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList());
        EXPECT_EQ(w.ToolBar1()->isEnabled(), c.iAnsFreDwgId != 0);
        EXPECT_EQ(w.AnsFreDwgId(), c.iAnsFreDwgId);
        EXPECT_EQ(w.cboFasi()->count() > 0, c.iAnsFreDwgId != 0);
        EXPECT_EQ(w.cboTipoVoto()->currentText(),
                  c.iAnsFreDwgId ? QStringLiteral("Voti Definitivi") : QString());
        EXPECT_EQ(cells()->RowCount() > 2, c.iAnsFreDwgId != 0);
        EXPECT_TRUE(w.lblCLasse()->text().startsWith(QStringLiteral("Classe: 5A")));
    }

    // A record assigned in 2007/2008 while the working year is 2008/2009 belongs to 2007/2008's
    // phase and is there after a reload.
    open(380052);
    const int pupil = cells()->ObjectAs<TqevRigaRec>(0, 1)->iSitId;
    focus(pupil, kIta);
    key(1);
    ASSERT_EQ(recordsOf(pupil, kIta, 383).size(), 1);
    window->cboTipoVoto()->setCurrentIndex(0);
    EXPECT_EQ(cell(pupil, kIta)->iRecId, recordsOf(pupil, kIta, 383).first().iRecId);
}

TEST_F(Recuperi, KeypadDigitInsertsOnAnEmptyCellAndAsksOnARecord)
{
    open(k5A);
    focus(kBarbieri, kIta);
    EXPECT_EQ(panel()->RecId(), 0);
    chooseOutcome(2);
    panel()->deAssegna()->SetDate(QDate(2009, 6, 25));
    panel()->deVerifica()->Clear();
    const int before = countRecords();
    key(1);
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
    QList<StoredRecord> rows = recordsOf(kBarbieri, kIta);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_GE(rows[0].iRecId, 1000000); // from the key procedure, past the demo's keys
    EXPECT_EQ(rows[0].iTreId, QVariant(1));
    EXPECT_EQ(rows[0].iEreId, QVariant(2));
    EXPECT_EQ(rows[0].dRecAttr.toDate(), QDate(2009, 6, 25));
    EXPECT_TRUE(rows[0].dRecVer.isNull());
    EXPECT_EQ(cell(kBarbieri, kIta)->iRecId, rows[0].iRecId);
    EXPECT_EQ(cell(kBarbieri, kIta)->iPesoRec, 1);
    EXPECT_EQ(panel()->RecId(), rows[0].iRecId);
    // The cell takes its type's colour at once.
    const QRect rect = cells()->CellRect(where(kBarbieri, kIta).x(), where(kBarbieri, kIta).y());
    EXPECT_EQ(cells()->viewport()->grab().toImage().pixelColor(rect.center() + QPoint(0, 6)),
              typeCellColour(1));

    // On a record: asked; No leaves database and grid, Yes rewrites the type.
    const struct
    {
        int answer;
        int iTreId;
    } answers[] = {{mrNo, 1}, {mrYes, 2}};
    for (const auto &a : answers) {
        DialogSeam::clearShown();
        DialogSeam::queueAnswer(a.answer);
        key(2);
        EXPECT_EQ(
            DialogSeam::shownTexts(),
            QStringList{rewriting("Barbieri Elisa", "ITA",
                                  "Tipo di recupero: Corso di recupero → Studio individuale")});
        rows = recordsOf(kBarbieri, kIta);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows[0].iTreId, QVariant(a.iTreId));
        EXPECT_EQ(cell(kBarbieri, kIta)->iPesoRec, a.iTreId);
    }
    EXPECT_EQ(countRecords(), before + 1);
}

// Digits of no type, the main keyboard, double click and "Assegna recupero"; the name column
// takes none of them.
TEST_F(Recuperi, WhatEachWayOfAssigningDoesWhere)
{
    open(k5A);
    const struct
    {
        const char *name;
        int iMatId; // 0: the name column
        std::function<void(Recuperi &)> act;
        const char *message;
        int iTreId; // the record written, 0 none
        int combo;  // the type chosen afterwards
    } cases[] = {
        {"keypad digit of no type", kMat, [](Recuperi &t) { t.key(5); },
         "Tipo corrispondente non trovato!", 0, 0},
        {"main keyboard digit", kMat, [](Recuperi &t) { t.key(3, false); }, nullptr, 3, 3},
        {"double click", kLat,
         [](Recuperi &t) {
             const QPoint p = t.where(kBarbieri, kLat);
             QTest::mouseDClick(t.cells()->viewport(), Qt::LeftButton, {},
                                t.cells()->CellRect(p.x(), p.y()).center());
         },
         nullptr, 2, 2},
        {"Assegna recupero", kIta, [](Recuperi &t) { t.panel()->buSave()->click(); }, nullptr, 2,
         2},
        {"digit on the name column", 0, [](Recuperi &t) { t.key(1); }, nullptr, 0, 2},
        {"double click on the name column", 0,
         [](Recuperi &t) {
             const QPoint p = t.where(kBarbieri, 0);
             QTest::mouseDClick(t.cells()->viewport(), Qt::LeftButton, {},
                                t.cells()->CellRect(p.x(), p.y()).center());
         },
         nullptr, 0, 2},
        {"Assegna recupero on the name column", 0,
         [](Recuperi &t) { t.panel()->buSave()->click(); }, nullptr, 0, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DialogSeam::clearShown();
        focus(kBarbieri, c.iMatId);
        chooseType(2);
        const int before = countRecords();
        c.act(*this);
        EXPECT_EQ(DialogSeam::shownTexts(),
                  c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList());
        EXPECT_EQ(chosen(panel()->cboTipo()), c.combo);
        EXPECT_EQ(countRecords(), before + (c.iTreId ? 1 : 0));
        if (c.iTreId) {
            ASSERT_EQ(recordsOf(kBarbieri, c.iMatId).size(), 1);
            EXPECT_EQ(recordsOf(kBarbieri, c.iMatId).first().iTreId, QVariant(c.iTreId));
            EXPECT_EQ(cell(kBarbieri, c.iMatId)->iPesoRec, c.iTreId);
        }
    }
}

// A change of outcome or a date picked from the calendar saves after the question; a type
// chosen or a date typed saves nothing until the next assignment.
TEST_F(Recuperi, PanelChangesOfAShownRecord)
{
    open(k5A);
    focus(kBianchi, kIta);
    ASSERT_EQ(panel()->RecId(), kItaOfBianchi);
    EXPECT_EQ(chosen(panel()->cboTipo()), 2);
    EXPECT_EQ(panel()->cboEsito()->currentIndex(), -1);
    EXPECT_EQ(panel()->deAssegna()->Date(), QDate(2009, 6, 20));
    EXPECT_TRUE(panel()->deVerifica()->IsEmpty());

    auto pick = [](TVxDateEdit *edit, const QDate &date) {
        edit->ShowCalendar();
        QCalendarWidget *calendar = edit->Calendar();
        ASSERT_NE(calendar, nullptr);
        calendar->setSelectedDate(date);
        QTest::keyClick(calendar->focusWidget(), Qt::Key_Return);
    };
    const struct
    {
        const char *name;
        std::function<void(Recuperi &)> act;
        int answer; // mrNone: nothing is asked
        QVariant iTreId, iEreId, dRecAttr, dRecVer;
        const char *changes = nullptr; // what the question names
    } cases[] = {
        {"outcome, No",
         [](Recuperi &t) { t.chooseOutcome(1); },
         mrNo,
         2,
         {},
         QDate(2009, 6, 20),
         {},
         "Esito recupero: nessuno → Recuperato"},
        {"outcome, Yes",
         [](Recuperi &t) { t.chooseOutcome(3); },
         mrYes,
         2,
         3,
         QDate(2009, 6, 20),
         {},
         "Esito recupero: nessuno → Assente alla verifica"},
        {"type chosen", [](Recuperi &t) { t.chooseType(1); }, mrNone, 2, 3, QDate(2009, 6, 20), {}},
        {"date typed",
         [](Recuperi &t) {
             QLineEdit *edit = t.panel()->deAssegna()->edit();
             edit->selectAll();
             QTest::keyClicks(edit, QStringLiteral("01/07/2009"));
         },
         mrNone,
         2,
         3,
         QDate(2009, 6, 20),
         {}},
        // What was chosen and typed before goes too, and the question names it.
        {"verification picked, Yes",
         [&pick](Recuperi &t) { pick(t.panel()->deVerifica(), QDate(2009, 7, 10)); }, mrYes, 1, 3,
         QDate(2009, 7, 1), QDate(2009, 7, 10),
         "Tipo di recupero: Studio individuale → Corso di recupero\nData assegnazione: "
         "20/06/2009 → 01/07/2009\nData verifica: nessuna → 10/07/2009"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DialogSeam::clearShown();
        if (c.answer != mrNone)
            DialogSeam::queueAnswer(c.answer);
        c.act(*this);
        EXPECT_EQ(DialogSeam::shownTexts(),
                  c.answer != mrNone ? QStringList{rewriting("Bianchi Antonio", "ITA", c.changes)}
                                     : QStringList());
        const QList<StoredRecord> rows = recordsOf(kBianchi, kIta);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows[0].iTreId, c.iTreId);
        EXPECT_EQ(rows[0].iEreId, c.iEreId);
        EXPECT_EQ(rows[0].dRecAttr, c.dRecAttr);
        EXPECT_EQ(rows[0].dRecVer, c.dRecVer);
    }
}

// Delete one asks nothing; delete all asks, and also deletes the records of situations the
// grid does not list, of the class the window opened on, whatever the grade data module holds
// meanwhile.
TEST_F(Recuperi, DeleteOneAndDeleteAll)
{
    const int otherClassPupil =
        scalar(QStringLiteral("SELECT MIN(Sit.iSitId) FROM TSit_Situazioni Sit JOIN TClsPst P "
                              "ON P.iClsPstId = Sit.iClsPstId WHERE P.iClsId = 39004"))
            .toInt();
    int key = 900000;
    for (const auto &[sit, phase] :
         {std::pair{kVilla, kPhase1}, {otherClassPupil, kPhase1}, {kBianchi, kPhase1 + 1}})
        runSql(QStringLiteral("INSERT INTO TRec_Recuperi (iRecId, iTreId, iMatId, iSitId, "
                              "iAnsFreDwgId) VALUES (?, 1, ?, ?, ?)"),
               {++key, kIta, sit, phase});
    open(k5A);

    for (int iMatId : {0, kMat}) { // the name column; a cell without record
        focus(kBianchi, iMatId);
        window->tbDelete()->trigger();
    }
    EXPECT_EQ(recordsOf(kBianchi, kIta).size(), 1);
    focus(kBianchi, kIta);
    window->tbDelete()->trigger();
    EXPECT_TRUE(recordsOf(kBianchi, kIta).isEmpty());
    EXPECT_EQ(cell(kBianchi, kIta)->iRecId, 0);
    EXPECT_EQ(panel()->RecId(), 0);
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());

    dm.ApriClsSes(390042); // grade entry opened 4A meanwhile
    const QString deleteAll =
        QStringLiteral("Cancellare tutti i recuperi per classe e fase selezionati?");
    DialogSeam::queueAnswer(mrNo);
    window->tbDeleteAll()->trigger();
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_EQ(DialogSeam::shownTexts().first(),
              deleteAll + QStringLiteral("\n\n2 recuperi della classe 5A LICEO SCIENTIFICO nella "
                                         "fase \"Prima fase\"."));
    EXPECT_EQ(recordsOf(kBianchi, kLat).size(), 1);
    DialogSeam::clearShown();
    window->tbDeleteAll()->trigger(); // No is the default
    EXPECT_EQ(recordsOf(kBianchi, kLat).size(), 1);
    DialogSeam::queueAnswer(mrYes);
    window->tbDeleteAll()->trigger();
    for (const auto &[sit, phase, left] : {std::tuple{kBianchi, kPhase1, 0},
                                           {kVilla, kPhase1, 0},
                                           {otherClassPupil, kPhase1, 1},
                                           {kBianchi, kPhase1 + 1, 1}})
        EXPECT_EQ(recordsOf(sit, kIta, phase).size() + recordsOf(sit, kLat, phase).size(),
                  qsizetype(left))
            << sit << " " << phase;
    EXPECT_EQ(cell(kBianchi, kLat)->iRecId, 0);
    EXPECT_EQ(window->lblCLasse()->text(), QStringLiteral("Classe: 5A LICEO SCIENTIFICO"));
}

// A cell shows every vote component's votes, or proposed votes, joined by three blanks.
TEST_F(Recuperi, GradesTextOfACellWithTwoComponents)
{
    QSqlQuery q = runSql(
        QStringLiteral(
            "SELECT Cmc.iClsMatCmpId FROM TClsMatCmp Cmc JOIN TClsSesMat Csm ON Csm.iClsSesMatId = "
            "Cmc.iClsSesMatId JOIN TMatRma Mrm ON Mrm.iMatRmaId = Csm.iMatRmaId JOIN TCmpSca Cs ON "
            "Cs.iCmpScaId = Cmc.iCmpScaId WHERE Csm.iClsSesId = ? AND Mrm.iMatId = ? AND "
            "Cs.iCmpScaTass = 0 ORDER BY Cs.iCmpScaOrdine"),
        {k5A, kIta});
    QList<int> components;
    while (q.next())
        components << q.value(0).toInt();
    ASSERT_EQ(components.size(), 2); // written and oral
    // Votes 7 and 6; proposals 7.5 and 6, the oral one entered first.
    runSql(QStringLiteral("UPDATE TVot_Voti SET iScaLivId = 107 WHERE iSitId = ? AND "
                          "iClsMatCmpId = ?"),
           {kBarbieri, components[0]});
    runSql(QStringLiteral("UPDATE TVot_Voti SET iScaLivId = 106 WHERE iSitId = ? AND "
                          "iClsMatCmpId = ?"),
           {kBarbieri, components[1]});
    runSql(QStringLiteral("INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, "
                          "iPrpScaLivId) VALUES (900001, ?, ?, 605)"),
           {components[1], kBarbieri});
    runSql(QStringLiteral("INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, "
                          "iPrpScaLivId) VALUES (900002, ?, ?, 608)"),
           {components[0], kBarbieri});
    open(k5A);
    const struct
    {
        const char *shown;
        const char *ita;
    } cases[] = {{"Voti Definitivi", "7   6"}, {"Voti Proposti", "7.5   6"}};
    for (const auto &c : cases) {
        window->cboTipoVoto()->setCurrentText(QString::fromLatin1(c.shown));
        const QPoint p = where(kBarbieri, kIta);
        EXPECT_EQ(cells()->Cells(p.x(), p.y()), QString::fromLatin1(c.ita)) << c.shown;
    }
    // Only proposals of Italian exist for the pupil.
    const QPoint mat = where(kBarbieri, kMat);
    EXPECT_TRUE(cells()->Cells(mat.x(), mat.y()).isEmpty());
}

// A refused insert leaves no row and no key in the cell; another office's deletion turns the
// next update into a message; another office's insert is found before inserting.
TEST_F(Recuperi, WritesThatFailOrMeetAnotherOffice)
{
    QSqlDatabase other = db.database.connect(QStringLiteral("otherOffice"));
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_NOINSERT 'inserimento rifiutato'"));
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_NOINSERT FOR TRec_Recuperi BEFORE INSERT AS "
                          "BEGIN IF (NEW.iSitId = %1) THEN EXCEPTION E_TEST_NOINSERT; END")
               .arg(kBarbieri));
    open(k5A);
    const int before = countRecords();
    focus(kBarbieri, kIta);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DialogSeam::clearShown();
        key(1);
        // Told why each time: never the question of a record that does not exist.
        ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
        EXPECT_TRUE(DialogSeam::shownTexts().first().contains(QStringLiteral("rifiutato")));
        EXPECT_EQ(countRecords(), before);
        EXPECT_EQ(cell(kBarbieri, kIta)->iRecId, 0);
        EXPECT_EQ(panel()->RecId(), 0);
    }

    // Deleted by the other office: the update changes nothing, says so, the cell is read again.
    focus(kBianchi, kIta);
    runSql(other, QStringLiteral("DELETE FROM TRec_Recuperi WHERE iRecId = ?"), {kItaOfBianchi});
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(mrYes);
    key(1);
    ASSERT_EQ(DialogSeam::shownTexts().size(), 2);
    EXPECT_TRUE(DialogSeam::shownTexts().at(0).startsWith("Recupero già assegnato a Bianchi"));
    EXPECT_TRUE(DialogSeam::shownTexts().at(1).contains("cancellato da un'altra postazione"));
    EXPECT_TRUE(recordsOf(kBianchi, kIta).isEmpty());
    EXPECT_EQ(cell(kBianchi, kIta)->iRecId, 0);
    EXPECT_EQ(panel()->RecId(), 0);

    // Assigned by the other office after this grid was loaded: told, the cell shows that
    // record; assigning again asks, then that record changes.
    focus(kBianchi, kMat);
    runSql(other,
           QStringLiteral("INSERT INTO TRec_Recuperi (iRecId, iTreId, iMatId, iSitId, "
                          "iAnsFreDwgId) VALUES (900001, 1, ?, ?, ?)"),
           {kMat, kBianchi, kPhase1});
    EXPECT_EQ(cell(kBianchi, kMat)->iRecId, 0);
    DialogSeam::clearShown();
    key(3);
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts().first().contains("inserito da un'altra postazione"));
    EXPECT_EQ(cell(kBianchi, kMat)->iRecId, 900001);
    EXPECT_EQ(recordsOf(kBianchi, kMat).value(0).iTreId, QVariant(1));
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(mrYes);
    key(3);
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{rewriting("Bianchi Antonio", "MAT",
                                    "Tipo di recupero: Corso di recupero → Sportello didattico")});
    const QList<StoredRecord> rows = recordsOf(kBianchi, kMat);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].iRecId, 900001);
    EXPECT_EQ(rows[0].iTreId, QVariant(3));
    EXPECT_EQ(cell(kBianchi, kMat)->iRecId, 900001);
    EXPECT_EQ(cell(kBianchi, kMat)->iPesoRec, 3);
}

// Each statement of a load runs once, whatever the class; every cell shows the record, and the
// weight, that a lookup of that cell alone finds first by key.
TEST_F(Recuperi, GridLoadShowsWhatEachCellsLookupShows)
{
    // A second record for a cell, made later, and a record without type.
    runSql(QStringLiteral("INSERT INTO TRec_Recuperi (iRecId, iTreId, iMatId, iSitId, "
                          "iAnsFreDwgId) VALUES (900001, 3, ?, ?, ?)"),
           {kIta, kBianchi, kPhase1});
    runSql(QStringLiteral("INSERT INTO TRec_Recuperi (iRecId, iMatId, iSitId, iAnsFreDwgId) "
                          "VALUES (900002, ?, ?, ?)"),
           {kMat, kBarbieri, kPhase1});
    int checked = 0;
    for (int iClsSesId : {k5A, 390042, 390232}) {
        SCOPED_TRACE(iClsSesId);
        chooseClass(iClsSesId);
        TVxStatementRecorder recorder;
        openWindow();
        QHash<QString, int> runs;
        for (const TVxStatementRecorder::Statement &s : recorder.statements())
            ++runs[s.sql];
        for (auto it = runs.cbegin(); it != runs.cend(); ++it)
            EXPECT_LE(it.value(), 2) << it.key().toStdString();
        EXPECT_LE(recorder.statements().size(), 8);
        for (int r = 1; r < cells()->RowCount(); ++r) {
            const int sit = cells()->ObjectAs<TqevRigaRec>(0, r)->iSitId;
            for (int c = 1; c < cells()->ColCount(); ++c) {
                const auto shown = cells()->ObjectAs<TqevCellaRec>(c, r);
                QSqlQuery q = runSql(
                    QStringLiteral("SELECT FIRST 1 Rec.iRecId, Tre.iTrePeso FROM TRec_Recuperi "
                                   "Rec JOIN TAnsFreDwg Afd ON Afd.iAnsFreDwgId = "
                                   "Rec.iAnsFreDwgId LEFT JOIN TTre_TipoRec Tre ON Tre.iTreId = "
                                   "Rec.iTreId WHERE Rec.iSitId = ? AND Rec.iMatId = ? AND "
                                   "Afd.iAnsId = 39 AND Afd.iFreId = 1 ORDER BY Rec.iRecId"),
                    {sit, shown->iMatId});
                const bool found = q.next();
                EXPECT_EQ(shown->iRecId, found ? q.value(0).toInt() : 0) << sit;
                EXPECT_EQ(shown->iPesoRec, found ? q.value(1).toInt() : 0) << sit;
                checked += found ? 1 : 0;
            }
        }
    }
    EXPECT_GT(checked, 3);
    // The record without type is painted as weight 0.
    open(k5A);
    EXPECT_EQ(cell(kBianchi, kIta)->iRecId, kItaOfBianchi);
    EXPECT_EQ(cell(kBarbieri, kMat)->iPesoRec, 0);
    const QPoint p = where(kBarbieri, kMat);
    const QRect rect = cells()->CellRect(p.x(), p.y());
    EXPECT_EQ(cells()->viewport()->grab().toImage().pixelColor(rect.center() + QPoint(0, 6)),
              QColor(255, 255, 0));
}

// The colours by weight (cells and legends of types and outcomes) and the keys that give a
// weight.
TEST_F(Recuperi, ColoursByWeightAndKeypadDigits)
{
    const QColor yellow(255, 255, 0), aqua(0, 255, 255), green(0, 128, 0), orange(255, 167, 0),
        silver(192, 192, 192), fuchsia(255, 0, 255), red(255, 0, 0), black(Qt::black),
        white(Qt::white);
    const struct
    {
        int weight;
        QColor typeCell;               // the type legend's swatch too
        std::optional<QColor> outcome; // cell and legend alike, but for -1
        QColor typeText;               // the grades over the type's colour
    } colours[] = {
        {-1, silver, silver, black}, {0, yellow, red, black},     {1, aqua, green, black},
        {2, green, yellow, white},   {3, orange, yellow, black},  {4, silver, yellow, black},
        {8, silver, yellow, black},  {9, fuchsia, yellow, white}, {10, silver, {}, black},
    };
    for (const auto &c : colours) {
        EXPECT_EQ(typeCellColour(c.weight), c.typeCell) << c.weight;
        EXPECT_EQ(VxTextColourOn(c.typeCell), c.typeText) << c.weight;
        EXPECT_EQ(outcomeCellColour(c.weight), c.outcome) << c.weight;
        EXPECT_EQ(outcomeLegendColour(c.weight), c.weight == -1 ? std::nullopt : c.outcome)
            << c.weight;
    }

    const struct
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int assignment, outcomes; // keypad and main keyboard, keypad only
    } keys[] = {
        {Qt::Key_7, Qt::KeypadModifier, 7, 7},
        {Qt::Key_0, Qt::NoModifier, 0, -1},
        {Qt::Key_End, Qt::KeypadModifier, -1, -1}, // the keypad's 1 with NumLock off
        {Qt::Key_1, Qt::KeypadModifier | Qt::ControlModifier, -1, -1},
        {Qt::Key_A, Qt::NoModifier, -1, -1},
    };
    for (const auto &k : keys) {
        const QKeyEvent event(QEvent::KeyPress, k.key, k.modifiers);
        EXPECT_EQ(keypadDigit(event, true), k.assignment) << k.key;
        EXPECT_EQ(keypadDigit(event, false), k.outcomes) << k.key;
    }

    // The legend: the types by weight, each swatch in the colour its cells take (green and
    // orange for 2 and 3, as the grid paints them).
    open(k5A);
    window->sbuLegenda()->click();
    ASSERT_TRUE(window->pnlLegenda()->isVisible());
    // Beside the detail panel and the grid, never over them.
    QCoreApplication::processEvents();
    const auto placed = [this](const QWidget *w) {
        return QRect(w->mapTo(window.get(), QPoint()), w->size());
    };
    for (const QWidget *w : {static_cast<QWidget *>(window->frQelDettRec1()),
                             static_cast<QWidget *>(window->frQelGrigliaRec1())})
        EXPECT_FALSE(placed(w).intersects(placed(window->pnlLegenda())))
            << w->objectName().toStdString();
    QTableWidget *legend = window->dbgLegenda();
    ASSERT_EQ(legend->rowCount(), 3);
    const QColor swatches[] = {aqua, green, orange};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(legend->item(r, 1)->text(), QString::number(r + 1));
        EXPECT_EQ(legend->item(r, 0)->background().color(), swatches[r]);
    }
    EXPECT_EQ(legend->item(0, 2)->text(), QStringLiteral("CR"));
    window->sbuLegenda()->click();
    EXPECT_FALSE(window->pnlLegenda()->isVisible());
}
