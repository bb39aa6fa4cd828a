#pragma once

// What the tests of the make-up windows share: the demo school's working context (institute 2,
// 2008/2009, its final session) and a class session chosen as the class dialog leaves it in
// the grade data module, which the windows read when they open.

#include "gradeentry/qevdatasets.h"
#include "tests/support/testdb.h"

#include <memory>

// The demo school: 5A of 2008/2009 in the final session and the working year's first phase; the
// pupil Bianchi has records for Italian (294: type SI of weight 2, no outcome) and Latin (295:
// type SI, outcome REC verified on 15/07/2009), none for mathematics.
inline constexpr int k5A = 390052;
inline constexpr int kPhase1 = 391;
inline constexpr int kIta = 1;
inline constexpr int kLat = 7;
inline constexpr int kMat = 3;
inline constexpr int kBianchi = 957;
inline constexpr int kVilla = 1029; // 5A's second situation (iSitOrdine 2)

// The demo's class sessions are iClsId * 10 + iSesId, its classes iAnsId * 1000 + ...
inline void chooseClassSession(TdmqevDataSets &dm, int iClsSesId)
{
    const int year = iClsSesId / 10000;
    dm.iAnsId = year;
    dm.iAnsIdSel = year;
    dm.iAnsSesDwgId = year * 10 + iClsSesId % 10;
    dm.ApriClsSes(iClsSesId);
}

// A fresh database, scripted dialogs, the working context and a grade data module of the test's
// own; open() shows the window on a class session.
template <typename Window> class MakeupWindowTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        dmqevDataSets = &dm;
    }
    void TearDown() override
    {
        window.reset();
        dmqevDataSets = nullptr;
    }

    Window &open(int iClsSesId)
    {
        chooseClassSession(dm, iClsSesId);
        return openWindow();
    }
    Window &openWindow()
    {
        window = std::make_unique<Window>();
        window->show();
        return *window;
    }

    ProgramDatabase db;
    ScriptedDialogs dialogs;
    TdmqevDataSets dm;
    std::unique_ptr<Window> window;
};
