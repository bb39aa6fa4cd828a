#pragma once

// The program as the office starts it, on a fresh demo database, working context 2008/2009
// final session, every dialog scripted: the fixture of the grade-entry window tests.

#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfcarcls.h"
#include "gradeentry/qevfselcarcls.h"
#include "gradeentry/qevinstall.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "shell/qelmain.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"

#include <QCoreApplication>

#include <memory>

class GradeProgram : public ::testing::Test
{
protected:
    static constexpr int k5A = 390052; // 5A of 2008/2009, final session
    static constexpr int k3C = 390232; // 3C, vocational: final-session notes of its debts

    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        installGradeEntry();
        xgvmGlobalVar.SetValues({{TVxWorkingContext::instituteKey(), 2},
                                 {TVxWorkingContext::schoolYearKey(), 39},
                                 {TVxWorkingContext::sessionKey(), 392}});
        objects = std::make_unique<TavrinObjects>();
        TfmqelMain *main = objects->mainWindow();
        main->resize(1280, 800);
        main->show();
        main->ensureFirstActivation();
        DialogSeam::clearShown();
    }
    void TearDown() override { objects.reset(); }

    // Runs "Caricamento per classe", choosing the class session in the dialog.
    static TfmqevCarCls *apri(int clsSes)
    {
        DialogSeam::queueModalScript([clsSes](QDialog *d) {
            auto *dialog = qobject_cast<TfmQevSelCarCls *>(d);
            return dialog && dialog->SelezionaClsSes(clsSes) ? int(mrOk) : int(mrCancel);
        });
        dmqevActivations->xafCarCls->Execute();
        return fmqevCarCls();
    }

    // Lets the deletions a close asked for happen.
    static void eventi() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    ProgramDatabase db; // quiet while it opens the database: the script starts after it
    ScriptedDialogs dialogs;
    std::unique_ptr<TavrinObjects> objects;
};
