#include "makeup/qelfesitirecuperi.h"
#include "platform/messagedlg.h"
#include "platform/stringgrid.h"
#include "tests/makeup/makeupwindowtest.h"
#include "tests/support/otheroffice.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

constexpr int kValentini = 980;  // off the register: not listed
constexpr int kOtherClass = 693; // 1A, with a record of outcome REC in the same phase

// The records with the outcome replaced: what a change of outcome must leave of them.
QList<StoredRecord> withOutcome(QList<StoredRecord> rows, const QVariant &iEreId)
{
    for (StoredRecord &r : rows)
        r.iEreId = iEreId;
    return rows;
}

class EsitiRecuperi : public MakeupWindowTest<TfmQelEsitiRecuperi>
{
public:
    TVxStringGrid *grid() const { return window->dbgEsiti(); }
    QPoint where(int iSitId, int iMatId) const
    {
        return {iMatId ? window->ColOfSubject(iMatId) : 0, window->RowOfPupil(iSitId)};
    }
    // The cell's value in cdsEsiti: invalid (no record), -1 (no outcome) or the weight.
    QVariant shown(int iSitId, int iMatId) const
    {
        const QPoint p = where(iSitId, iMatId);
        return window->cdsEsiti().Value(p.y() - 1, p.x() + 1);
    }
    QColor painted(int iSitId, int iMatId) const
    {
        const QPoint p = where(iSitId, iMatId);
        const QRect rect = grid()->CellRect(p.x(), p.y());
        return grid()->viewport()->grab().toImage().pixelColor(rect.center());
    }
    void focus(int iSitId, int iMatId = 0)
    {
        const QPoint p = where(iSitId, iMatId);
        grid()->MoveCursor(p.x(), p.y());
    }
    void key(int digit, bool keypad = true)
    {
        QTest::keyClick(grid(), Qt::Key(Qt::Key_0 + digit),
                        keypad ? Qt::KeypadModifier : Qt::NoModifier);
    }
    QStringList labels() const { return {window->lblTipo()->text(), window->lblEsito()->text()}; }
};

const QString kNoOutcome = QStringLiteral("ESITO DEL RECUPERO: Nessun esito assegnato");
const QString kTypeSI = QStringLiteral("TIPO DI RECUPERO ASSEGNATO: SI");

} // namespace

// The class session's year against the limit, with this window's own message; a year without
// phases; the pupils every situation on the register, the cells by record and outcome.
TEST_F(EsitiRecuperi, YearLimitPhasesAndWhatTheGridShows)
{
    const struct
    {
        const char *name;
        int iClsSesId;
        std::function<void()> prepare;
        const char *message;
        int iAnsFreDwgId; // 0: empty window, tool bar disabled
    } cases[] = {
        {"2006/2007",
         370052,
         {},
         "ATTENZIONE! Impossibile modificare recuperi prima dell'anno scolastico 2007/2008.",
         0},
        {"2007/2008", 380052, {}, nullptr, 381},
        {"2007/2008 without phases", 380052,
         [] {
             runSql(QStringLiteral("UPDATE TAnsSesDwg SET iAnsFreDwgId = NULL WHERE iAnsId = 38"));
             runSql(QStringLiteral("DELETE FROM TRec_Recuperi WHERE iAnsFreDwgId IN (381, 382)"));
             runSql(QStringLiteral("DELETE FROM TAnsFreDwg WHERE iAnsId = 38"));
         },
         "ATTENZIONE! Nessuna fase di recupero definita per l'anno scolastico 2007/2008.", 0},
        {"2008/2009", k5A, {}, nullptr, kPhase1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.prepare)
            c.prepare();
        DialogSeam::clearShown();
        TfmQelEsitiRecuperi &w = open(c.iClsSesId);
        EXPECT_EQ(DialogSeam::shownTexts(),
                  c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList());
        EXPECT_EQ(w.ToolBar1()->isEnabled(), c.iAnsFreDwgId != 0);
        EXPECT_EQ(w.AnsFreDwgId(), c.iAnsFreDwgId);
        EXPECT_EQ(w.cboFasi()->count() > 0, c.iAnsFreDwgId != 0);
        EXPECT_TRUE(w.lblCLasse()->text().startsWith(QStringLiteral("Classe: 5A")));
    }

    EXPECT_EQ(window->cdsEsiti().RecordCount(), 26);
    EXPECT_GT(window->RowOfPupil(kVilla), 0);
    EXPECT_EQ(window->RowOfPupil(kValentini), -1);
    EXPECT_EQ(grid()->Cells(0, window->RowOfPupil(kBianchi)), QStringLiteral("Bianchi Antonio"));
    EXPECT_EQ(grid()->Cells(0, 0), QStringLiteral("Cognome e Nome"));
    EXPECT_EQ(grid()->Cells(window->ColOfSubject(kLat), 0), QStringLiteral("LAT"));
    const struct
    {
        int iMatId;
        QVariant value;
        QColor colour;
        const char *outcome; // the label of the cell once focused
    } cells[] = {
        {kIta, -1, QColor(192, 192, 192), "ESITO DEL RECUPERO: Nessun esito assegnato"},
        {kLat, 1, QColor(0, 128, 0), "ESITO DEL RECUPERO: REC"},
        {kMat, {}, grid()->palette().color(QPalette::Base), ""},
    };
    for (const auto &c : cells) {
        SCOPED_TRACE(c.iMatId);
        EXPECT_EQ(shown(kBianchi, c.iMatId), c.value);
        EXPECT_EQ(painted(kBianchi, c.iMatId), c.colour);
        // The labels follow the cursor as the keyboard moves it.
        focus(kBianchi, kMat);
        QTest::keyClick(grid(), Qt::Key_Home);
        for (int col = 0; col < window->ColOfSubject(c.iMatId); ++col)
            QTest::keyClick(grid(), Qt::Key_Right);
        EXPECT_EQ(labels(), (QStringList{c.value.isValid() ? kTypeSI : QString(),
                                         QString::fromUtf8(c.outcome)}));
    }
    focus(kBianchi);
    EXPECT_EQ(labels(), (QStringList{QString(), QString()}));
}

// A keypad digit writes the outcome of its weight to every record of the cell, first by key
// among outcomes of one weight; a weight of no outcome clears it. Types and dates stay; no
// record is made; the main keyboard's digits and cells without record take nothing.
TEST_F(EsitiRecuperi, KeypadDigitsSetTheOutcomeOfEveryRecordOfTheCell)
{
    addRecord(900001, kBianchi, kIta, {}); // a second record for Bianchi's Italian
    // Two outcomes of weight 5, the higher key written first.
    runSql(QStringLiteral("ALTER TABLE TEre_EsitoRec DROP CONSTRAINT UQ_TEre_iPesoRec"));
    for (int id : {6, 4})
        runSql(QStringLiteral("INSERT INTO TEre_EsitoRec (iEreId, sEreSDesc, sEreLDesc, "
                              "iPesoRec) VALUES (?, ?, 'Parziale', 5)"),
               {id, QStringLiteral("PAR%1").arg(id)});
    const int total = scalar(QStringLiteral("SELECT COUNT(*) FROM TRec_Recuperi")).toInt();
    open(k5A);
    const QList<StoredRecord> ita = recordsOf(kBianchi, kIta);
    const QList<StoredRecord> lat = recordsOf(kBianchi, kLat);
    ASSERT_EQ(ita.size(), 2);

    const struct
    {
        const char *name;
        int iMatId;
        int digit;
        bool keypad;
        QVariant value;  // the cell afterwards
        QVariant iEreId; // of each of the cell's records
        const char *outcome;
    } steps[] = {
        {"1 on two records", kIta, 1, true, 1, 1, "ESITO DEL RECUPERO: REC"},
        {"8: no outcome weighs 8", kIta, 8, true, -1, {}, nullptr},
        {"main keyboard 2", kIta, 2, false, -1, {}, nullptr},
        {"5: two outcomes weigh 5", kIta, 5, true, 5, 4, "ESITO DEL RECUPERO: PAR4"},
        {"3 on a cell without record", kMat, 3, true, {}, {}, ""},
        {"2 on Latin", kLat, 2, true, 2, 2, "ESITO DEL RECUPERO: NREC"},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.name);
        focus(kBianchi, s.iMatId);
        key(s.digit, s.keypad);
        EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
        EXPECT_EQ(shown(kBianchi, s.iMatId), s.value);
        if (s.value.isValid()) {
            EXPECT_EQ(recordsOf(kBianchi, s.iMatId),
                      withOutcome(s.iMatId == kIta ? ita : lat, s.iEreId));
            EXPECT_EQ(painted(kBianchi, s.iMatId), *outcomeCellColour(s.value.toInt()));
        }
        EXPECT_EQ(window->lblEsito()->text(),
                  s.outcome ? QString::fromUtf8(s.outcome) : kNoOutcome);
    }
    EXPECT_TRUE(recordsOf(kBianchi, kMat).isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TRec_Recuperi")).toInt(), total);
}

// Clearing one outcome, and all of them, asks nothing and keeps the records with their types
// and dates; "all" reaches every situation of the class on the register in the phase, and no
// other class or phase.
TEST_F(EsitiRecuperi, ClearingOutcomesKeepsTheRecords)
{
    addRecord(900001, kVilla, kIta, 2);
    addRecord(900002, kBianchi, kIta, 1, kPhase1 + 1);
    const QList<StoredRecord> otherClass = recordsOf(kOtherClass, 2);
    ASSERT_FALSE(otherClass.isEmpty());
    const QList<StoredRecord> nextPhase = recordsOf(kBianchi, kIta, kPhase1 + 1);
    open(k5A);
    const QList<StoredRecord> lat = recordsOf(kBianchi, kLat);

    for (int iMatId : {0, kMat}) { // the name column; a cell without record
        focus(kBianchi, iMatId);
        window->tbDelSng()->trigger();
    }
    EXPECT_EQ(recordsOf(kBianchi, kLat), lat);
    focus(kBianchi, kLat);
    window->tbDelSng()->trigger();
    EXPECT_EQ(recordsOf(kBianchi, kLat), withOutcome(lat, {}));
    EXPECT_EQ(shown(kBianchi, kLat), QVariant(-1));
    EXPECT_EQ(window->lblEsito()->text(), kNoOutcome);

    const QList<StoredRecord> villa = recordsOf(kVilla, kIta);
    EXPECT_EQ(shown(kVilla, kIta), QVariant(2));
    window->tbDelAll()->trigger();
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
    EXPECT_EQ(recordsOf(kVilla, kIta), withOutcome(villa, {}));
    EXPECT_EQ(shown(kVilla, kIta), QVariant(-1));
    EXPECT_EQ(recordsOf(kOtherClass, 2), otherClass);
    EXPECT_EQ(recordsOf(kBianchi, kIta, kPhase1 + 1), nextPhase);

    // The legend: the outcomes by weight over their colours.
    window->sbuLegenda()->click();
    QTableWidget *legend = window->dbgLegenda();
    ASSERT_EQ(legend->rowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(legend->item(r, 1)->text(), QString::number(r + 1));
        EXPECT_EQ(legend->item(r, 0)->background().color(), *outcomeLegendColour(r + 1));
    }
    EXPECT_EQ(legend->item(1, 2)->text(), QStringLiteral("NREC"));
}

// The database is written before the cell: a refused update leaves cell and records as they
// were and says why. Another office's change since the grid was read is never written over:
// the cell shows the stored outcome, with a word, and the office's next key writes; records
// deleted there empty the cell.
TEST_F(EsitiRecuperi, TheCellChangesOnlyAfterTheDatabase)
{
    open(k5A);
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_NOUPDATE 'modifica rifiutata'"));
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_NOUPDATE FOR TRec_Recuperi BEFORE UPDATE AS "
                          "BEGIN IF (NEW.iMatId = %1) THEN EXCEPTION E_TEST_NOUPDATE; END")
               .arg(kLat));
    const QList<StoredRecord> lat = recordsOf(kBianchi, kLat);
    focus(kBianchi, kLat);
    for (const auto &act : {std::function<void()>([this] { key(2); }),
                            std::function<void()>([this] { window->tbDelSng()->trigger(); })}) {
        DialogSeam::clearShown();
        act();
        ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
        EXPECT_TRUE(DialogSeam::shownTexts().first().contains(QStringLiteral("rifiutata")));
        EXPECT_EQ(shown(kBianchi, kLat), QVariant(1));
        EXPECT_EQ(recordsOf(kBianchi, kLat), lat);
    }
    runSql(QStringLiteral("DROP TRIGGER T_TEST_NOUPDATE"));

    // Latin shows REC (weight 1) when the window reads it; the other office gives it another
    // outcome (or none), at once or while this office's write waits, or deletes (-1) Italian's
    // records.
    const char kCambiato[] = "modificato da un'altra postazione";
    const char kInsieme[] = "nello stesso momento";
    const QVariant nessuno;
    const struct
    {
        const char *name;
        int iMatId;
        QVariant suo;
        int tiene; // milliseconds the other office holds it into this office's write
        int digit; // this office's key (-1: "Cancella l'esito selezionato")
        const char *told;
        QVariant dopo, ancora; // shown and stored after the key, and after it again
    } cases[] = {
        {"outcome changed there", kLat, 2, 0, 3, kCambiato, 2, 3},
        {"outcome cleared there", kLat, nessuno, 0, 3, kCambiato, -1, 3},
        {"outcome changed there while this waits", kLat, 2, 300, 3, kInsieme, 2, 3},
        {"cleared here, changed there", kLat, 2, 0, -1, kCambiato, 2, -1},
        {"records deleted there", kIta, -1, 0, 1, "non esiste più", nessuno, nessuno},
    };
    const auto stored = [](int iMatId) {
        const QList<StoredRecord> rows = recordsOf(kBianchi, iMatId);
        const int iEreId = rows.isEmpty() ? 0 : rows.first().iEreId.toInt();
        return rows.isEmpty() ? QVariant() : QVariant(iEreId ? iEreId : -1);
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        runSql(QStringLiteral("UPDATE TRec_Recuperi SET iEreId = 1 WHERE iSitId = ? AND iMatId "
                              "= ?"),
               {kBianchi, kLat});
        open(k5A);
        focus(kBianchi, c.iMatId);
        const QVariant prima = shown(kBianchi, c.iMatId);
        OtherOffice other(db.database);
        if (c.suo == -1)
            other.hold("DELETE FROM TRec_Recuperi WHERE iSitId = ? AND iMatId = ?",
                       {kBianchi, c.iMatId});
        else
            other.hold("UPDATE TRec_Recuperi SET iEreId = ? WHERE iSitId = ? AND iMatId = ?",
                       {c.suo, kBianchi, c.iMatId});
        if (c.tiene)
            other.commitAfter(c.tiene);
        else
            other.commit();
        const auto act = [&] {
            DialogSeam::clearShown();
            if (c.digit < 0)
                window->tbDelSng()->trigger();
            else
                key(c.digit);
            return DialogSeam::shownTexts();
        };
        const QStringList told = act();
        other.finish();
        EXPECT_EQ(told.size(), 1);
        EXPECT_TRUE(told.join('|').contains(QString::fromUtf8(c.told)))
            << told.join('|').toStdString();
        EXPECT_EQ(shown(kBianchi, c.iMatId), c.dopo);
        EXPECT_EQ(stored(c.iMatId), c.dopo);
        EXPECT_NE(prima, c.dopo);
        if (!c.ancora.isValid())
            continue;
        EXPECT_EQ(act(), QStringList());
        EXPECT_EQ(shown(kBianchi, c.iMatId), c.ancora);
        EXPECT_EQ(stored(c.iMatId), c.ancora);
    }
}
