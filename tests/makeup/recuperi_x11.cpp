// Run by run_under_xvfb.sh on a private X server: keys sent by xdotool reach the make-up grid
// through the window system, as the keyboard sends them. The keypad's keys are named here by
// what they type with NumLock off (KP_End is the keypad's "1"): asked for KP_1, xdotool would
// switch NumLock by itself. A fresh server starts with NumLock off. A screenshot of
// the window goes to $TAVRIN_SCREENSHOTS when it is set.

#include "makeup/qelfrec.h"
#include "makeup/qelrgrigliarec.h"
#include "tests/makeup/makeupwindowtest.h"
#include "tests/makeup/x11support.h"

#include <QComboBox>
#include <QTest>
#include <QToolButton>

namespace {

int typeOf(int iSitId, int iMatId)
{
    return scalar(QStringLiteral("SELECT MAX(iTreId) FROM TRec_Recuperi WHERE iSitId = ? AND "
                                 "iMatId = ? AND iAnsFreDwgId = 391"),
                  {iSitId, iMatId})
        .toInt();
}

} // namespace

TEST(RecuperiX11, KeypadDigitsFollowNumLockAndMainKeyboardDigitsAssign)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    ScriptedDialogs dialogs;
    setDemoWorkingContext();
    TdmqevDataSets dm;
    dmqevDataSets = &dm;
    chooseClassSession(dm, 390052); // 5A

    TfmQelRec window;
    window.resize(1200, 760);
    TVxStringGrid *grid = window.frQelGrigliaRec1()->dbgRec();
    focus(&window, grid);

    const int pupil = grid->ObjectAs<TqevRigaRec>(0, 1)->iSitId;
    const struct
    {
        const char *key;
        int col;    // the subject cell of the first pupil the key is typed on
        int iTreId; // the type it assigns there, 0 none
        int colAfter;
    } steps[] = {
        {"KP_End", 1, 0, -1},                       // NumLock off: End, to the last column
        {"1", 1, 1, 1},                             // the main keyboard assigns in this window
        {"Num_Lock", 2, 0, 2}, {"KP_End", 2, 1, 2}, // NumLock on: the same key is the digit 1
        {"KP_Next", 3, 3, 3},                       // the keypad's 3
        {"2", 4, 2, 4},        {"Num_Lock", 5, 0, 5},
        {"KP_Down", 5, 0, 5}, // NumLock off again: down to the next pupil
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.key);
        grid->MoveCursor(s.col, 1);
        const int iMatId = grid->ObjectAs<TqevCellaRec>(s.col, 1)->iMatId;
        xdotool({QStringLiteral("key"), QString::fromLatin1(s.key)});
        EXPECT_EQ(typeOf(pupil, iMatId), s.iTreId);
        EXPECT_EQ(grid->ObjectAs<TqevCellaRec>(s.col, 1)->iPesoRec, s.iTreId);
        EXPECT_EQ(grid->Col(), s.colAfter < 0 ? grid->ColCount() - 1 : s.colAfter);
    }
    EXPECT_EQ(grid->Row(), 2);
    EXPECT_TRUE(DialogSeam::shown().isEmpty());

    // The office's view: coloured cells, a record's detail in the panel, the legend open.
    for (int r = 1; r < grid->RowCount(); ++r)
        for (int c = 1; c < grid->ColCount(); ++c)
            if (const auto cell = grid->ObjectAs<TqevCellaRec>(c, r); cell && cell->iRecId)
                grid->MoveCursor(c, r);
    window.sbuLegenda()->click();
    screenshot(&window, QStringLiteral("recuperi.png"));
    dmqevDataSets = nullptr;
}
