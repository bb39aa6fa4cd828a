// Run by run_under_xvfb.sh on a private X server: codes typed by xdotool, key by key and ended
// by Return as a code reader sends them, reach the recognition window through the window
// system. Screenshots of the windows go to $TAVRIN_SCREENSHOTS when it is set.

#include "makeup/qelfcompgiudiziomedie.h"
#include "makeup/qelfriconoscimento.h"
#include "tests/makeup/x11support.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

void typeAsReader(const QString &code)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), code});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
}

} // namespace

TEST(CodeReaderX11, TypedCodesAreRecognised)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    ScriptedDialogs dialogs;
    TfmQelRiconoscimento window;
    window.resize(1000, 700);
    focus(&window, window.edLettura());

    const int pupil = 691;
    typeAsReader(QStringLiteral("0000069100000020"));
    EXPECT_EQ(window.laLettura()->text(), QStringLiteral("Lettura corretta"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TCreSco L JOIN TCre_Crediti C ON "
                                    "C.iCreId = L.iCreId WHERE C.iSitId = ? AND L.iScoId = 2"),
                     {pupil})
                  .toInt(),
              1);
    typeAsReader(QStringLiteral("0000069100000031"));
    EXPECT_EQ(window.laConta()->text(), QStringLiteral("Crediti inseriti: 2"));
    screenshot(&window, QStringLiteral("riconoscimento-corretta.png"));

    typeAsReader(QStringLiteral("0000069100099990"));
    EXPECT_EQ(window.laLettura()->text(), QStringLiteral("Lettura errata"));
    EXPECT_TRUE(window.resultIsError());
    EXPECT_TRUE(window.edLettura()->text().isEmpty());
    screenshot(&window, QStringLiteral("riconoscimento-errata.png"));
    EXPECT_TRUE(DialogSeam::shown().isEmpty());
}

TEST(CodeReaderX11, JudgmentDialogInEachMode)
{
    if (qEnvironmentVariableIsEmpty("TAVRIN_SCREENSHOTS"))
        GTEST_SKIP() << "no screenshot folder";
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    setDemoWorkingContext();
    for (int modo : {0, 1, 2}) {
        TfmqelCompGiudizioMedie dialog;
        dialog.SetModo(modo);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        screenshot(&dialog, QStringLiteral("giudizi-modo-%1.png").arg(modo));
    }
}
