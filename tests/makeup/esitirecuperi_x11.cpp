// Run by run_under_xvfb.sh on a private X server: keys sent by xdotool reach the outcomes grid
// through the window system. The keypad's keys are named by what they type with NumLock off
// (KP_End is the keypad's "1"); a fresh server starts with NumLock off. Then the window is
// walked by keyboard alone. Screenshots of the outcomes window and of the conversion dialog go
// to $TAVRIN_SCREENSHOTS when it is set.

#include "makeup/qelfesitirecuperi.h"
#include "makeup/qelfrecupericonvert.h"
#include "platform/stringgrid.h"
#include "tests/makeup/makeupwindowtest.h"
#include "tests/makeup/x11support.h"

#include <QApplication>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>

namespace {

QVariant outcomeOf(int iSitId, int iMatId)
{
    return scalar(QStringLiteral("SELECT MAX(iEreId) FROM TRec_Recuperi WHERE iSitId = ? AND "
                                 "iMatId = ? AND iAnsFreDwgId = 391"),
                  {iSitId, iMatId});
}

} // namespace

TEST(EsitiRecuperiX11, KeypadDigitsSetOutcomesOnlyWithNumLockOn)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    ScriptedDialogs dialogs;
    setDemoWorkingContext();
    // 5A's first pupils with records in the first three subjects: none, REC, NREC, ASS.
    int key = 900000;
    for (int sit = 955; sit <= 962; ++sit)
        for (int mat : {1, 2, 3})
            runSql(QStringLiteral("INSERT INTO TRec_Recuperi (iRecId, iTreId, iEreId, iMatId, "
                                  "iSitId, iAnsFreDwgId, dRecAttr) VALUES (?, ?, ?, ?, ?, 391, "
                                  "'2009-06-20')"),
                   {++key, 1 + (sit + mat) % 3,
                    (sit + mat) % 4 ? QVariant((sit + mat) % 4) : QVariant(), mat, sit});
    TdmqevDataSets dm;
    dmqevDataSets = &dm;
    chooseClassSession(dm, 390052); // 5A

    auto *window = new TfmQelEsitiRecuperi;
    TVxStringGrid *grid = window->dbgEsiti();
    focus(window, grid);
    const int row = window->RowOfPupil(955);
    const int ita = window->ColOfSubject(1);
    const struct
    {
        const char *key;
        int iEreId; // of the first pupil's Italian afterwards (0: none)
        int col;    // where the cursor is afterwards (-1: the last column)
    } steps[] = {
        {"KP_End", 0, -1}, // NumLock off: End, to the last column; nothing written
        {"1", 0, ita},     // the main keyboard's digits assign nothing here
        {"Num_Lock", 0, ita}, {"KP_End", 1, ita}, // NumLock on: the keypad's 1, REC
        {"KP_Next", 3, ita},                      // the keypad's 3, ASS
        {"Num_Lock", 3, ita},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.key);
        grid->MoveCursor(ita, row);
        xdotool({QStringLiteral("key"), QString::fromLatin1(s.key)});
        EXPECT_EQ(outcomeOf(955, 1).toInt(), s.iEreId);
        EXPECT_EQ(grid->Col(), s.col < 0 ? grid->ColCount() - 1 : s.col);
    }
    EXPECT_EQ(window->lblEsito()->text(), QStringLiteral("ESITO DEL RECUPERO: ASS"));
    EXPECT_TRUE(DialogSeam::shown().isEmpty());

    // The office's view: coloured cells, a record's type and outcome, the legend open.
    grid->MoveCursor(window->ColOfSubject(2), window->RowOfPupil(957));
    window->sbuLegenda()->click();
    screenshot(window, QStringLiteral("esitirecuperi.png"));
    window->sbuLegenda()->click();

    // By keyboard alone (QTest's keys where the keyboard is): the grid gives the keyboard on at
    // its ends, the phase by its letter, the legend by Ctrl+L, an outcome by the keypad.
    const auto type = [](int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), m);
        QTest::qWait(50);
    };
    const QList<QWidget *> controls = {window->ToolBar1()->widgetForAction(window->tbDelSng()),
                                       window->ToolBar1()->widgetForAction(window->tbDelAll()),
                                       window->cboFasi(), window->sbuLegenda(), grid};
    type(Qt::Key_End, Qt::ControlModifier);
    for (QWidget *control : controls) {
        type(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control) << control->objectName().toStdString();
    }
    type(Qt::Key_Home, Qt::ControlModifier);
    type(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), window->sbuLegenda());
    type(Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), window->cboFasi());
    type(Qt::Key_Down);
    EXPECT_EQ(window->AnsFreDwgId(), 392);
    EXPECT_EQ(grid->Cells(0, 0), QStringLiteral("Cognome e Nome"));
    type(Qt::Key_Up);
    EXPECT_EQ(window->AnsFreDwgId(), 391);
    type(Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(window->pnlLegenda()->isVisible());
    // Tab on past the legend, shown now, into the grid: NREC (2) on 5A's first pupil's Latin.
    for (int tabs = 0; tabs < 4 && QApplication::focusWidget() != grid; ++tabs)
        type(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), grid);
    grid->MoveCursor(window->ColOfSubject(2), row);
    type(Qt::Key_2, Qt::KeypadModifier);
    EXPECT_EQ(outcomeOf(955, 2).toInt(), 2);
    EXPECT_EQ(window->lblEsito()->text(), QStringLiteral("ESITO DEL RECUPERO: NREC"));
    EXPECT_TRUE(DialogSeam::shown().isEmpty());
    screenshot(window, QStringLiteral("esitirecuperi_tastiera.png"));
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    TfmqelRecuperiConvert dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    screenshot(&dialog, QStringLiteral("recupericonvert.png"));
    dmqevDataSets = nullptr;
}
