// Run by run_under_xvfb.sh on a private X server: keys sent by xdotool reach the make-up grid
// through the window system, as the keyboard sends them. The keypad's keys are named here by
// what they type with NumLock off (KP_End is the keypad's "1"): asked for KP_1, xdotool would
// switch NumLock by itself. A fresh server starts with NumLock off. Then every control of the
// window is reached from the keyboard (QTest's keys where the keyboard is), a phase changed,
// the legend shown and a type assigned from the panel. Screenshots of the window go to
// $TAVRIN_SCREENSHOTS when it is set.

#include "makeup/qelfrec.h"
#include "makeup/qelrdettrec.h"
#include "makeup/qelrgrigliarec.h"
#include "platform/dateedit.h"
#include "tests/makeup/makeupwindowtest.h"
#include "tests/makeup/x11support.h"

#include <QApplication>
#include <QComboBox>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

int typeOf(int iSitId, int iMatId, int iAnsFreDwgId = kPhase1)
{
    return scalar(QStringLiteral("SELECT MAX(iTreId) FROM TRec_Recuperi WHERE iSitId = ? AND "
                                 "iMatId = ? AND iAnsFreDwgId = ?"),
                  {iSitId, iMatId, iAnsFreDwgId})
        .toInt();
}

// A key as a tooltip shows it.
QString shown(QKeyCombination k)
{
    return QStringLiteral("(%1)").arg(QKeySequence(k).toString(QKeySequence::NativeText));
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
    window.sbuLegenda()->click();

    // Every control by keyboard alone. The grid gives the keyboard on at its ends: Tab at the
    // last cell to the tool bar, Shift+Tab at the first back through the detail panel.
    TfrQelDettRec *panel = window.frQelDettRec1();
    const QList<QWidget *> controls = {window.ToolBar1()->widgetForAction(window.tbDelete()),
                                       window.ToolBar1()->widgetForAction(window.tbDeleteAll()),
                                       window.cboFasi(),
                                       window.cboTipoVoto(),
                                       window.sbuLegenda(),
                                       panel->cboTipo(),
                                       panel->deAssegna()->edit(),
                                       panel->deAssegna()->calendarButton(),
                                       panel->deAssegna()->clearButton(),
                                       panel->cboEsito(),
                                       panel->deVerifica()->edit(),
                                       panel->deVerifica()->calendarButton(),
                                       panel->deVerifica()->clearButton(),
                                       panel->buSave(),
                                       grid};
    key(Qt::Key_End, Qt::ControlModifier);
    // The frame of the cell with the keyboard, in the highlight while the grid has it only.
    const auto cellFramed = [grid] {
        return highlighted(grid->viewport(),
                           grid->CellRect(grid->Col(), grid->Row()).topLeft() + QPoint(1, 1));
    };
    EXPECT_TRUE(cellFramed());
    for (QWidget *control : controls) {
        key(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control) << control->objectName().toStdString();
        EXPECT_EQ(cellFramed(), control == grid);
        // The tool bar's commands framed in the highlight, as the cell is: their style's own
        // mark is a faint tint.
        if (control->parentWidget() == window.ToolBar1())
            EXPECT_TRUE(highlighted(control, QPoint(1, control->height() / 2)));
    }
    EXPECT_EQ(grid->Row(), grid->RowCount() - 1); // back where it left, at the last cell
    key(Qt::Key_Home, Qt::ControlModifier);
    for (qsizetype i = controls.size() - 2; i >= 0; --i) {
        key(Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), controls.at(i)) << i;
    }

    // The phase and "Mostra" by their letters, the legend by Ctrl+L, its key in its tooltip.
    key(Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), window.cboFasi());
    key(Qt::Key_Down);
    EXPECT_EQ(window.AnsFreDwgId(), kPhase1 + 1);
    key(Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), window.cboTipoVoto());
    key(Qt::Key_Up);
    EXPECT_EQ(window.frQelGrigliaRec1()->TipoVoto(), 0);
    EXPECT_TRUE(window.sbuLegenda()->toolTip().endsWith(shown(Qt::CTRL | Qt::Key_L)));
    key(Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(window.pnlLegenda()->isVisible());

    // A type chosen in the panel and assigned to a cell of the second phase by Ctrl+Enter,
    // "Assegna recupero"'s key, shown in its tooltip.
    for (int tabs = 0; tabs < 3 && QApplication::focusWidget() != panel->cboTipo(); ++tabs) {
        key(Qt::Key_Tab); // past the legend button and, shown, the legend, framed
        if (QApplication::focusWidget() == window.dbgLegenda())
            EXPECT_TRUE(highlighted(window.dbgLegenda(), QPoint(0, 0)));
    }
    ASSERT_EQ(QApplication::focusWidget(), panel->cboTipo());
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Down);
    EXPECT_EQ(panel->cboTipo()->currentText(), QStringLiteral("Sportello didattico"));
    for (qsizetype i = controls.indexOf(panel->cboTipo()); i < controls.indexOf(grid); ++i)
        key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), grid);
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_Right);
    const int iMatId = grid->ObjectAs<TqevCellaRec>(1, 1)->iMatId;
    EXPECT_TRUE(panel->buSave()->toolTip().endsWith(shown(Qt::CTRL | Qt::Key_Return)));
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(typeOf(pupil, iMatId, kPhase1 + 1), 3);
    EXPECT_EQ(grid->ObjectAs<TqevCellaRec>(1, 1)->iPesoRec, 3);
    EXPECT_TRUE(DialogSeam::shown().isEmpty());
    screenshot(&window, QStringLiteral("recuperi_tastiera.png"));
    dmqevDataSets = nullptr;
}
