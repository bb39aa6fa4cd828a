#pragma once

// The program as its main starts it, on a fresh copy of the demo database, in the demo school's
// working context: for the tests that link the parts main installs.

#include "exchange/qelexchangeinstall.h"
#include "exports/qelexportsinstall.h"
#include "gradeentry/qevinstall.h"
#include "makeup/qelcontrollarecuperi.h"
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "reports/qelreportsinstall.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

// The next modal window is the duplicate check's correction dialog: the demo's record entered
// twice has its second copy moved right, and deleted on OK.
inline void queueDuplicateCorrection()
{
    DialogSeam::queueModalScript([](QDialog *d) {
        auto *left = d->findChild<QTreeWidget *>(QStringLiteral("lvLeft"));
        left->topLevelItem(1)->setSelected(true);
        d->findChild<QPushButton *>(QStringLiteral("buRight"))->click();
        d->findChild<QPushButton *>(QStringLiteral("buOk"))->click();
        return int(mrNone);
    });
}

class RunningProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        installGradeEntry();
        installMakeupParts();
        installReportParts();
        installExchangeParts();
        installExportParts();
        setDemoWorkingContext();
        objects = std::make_unique<TavrinObjects>();
    }
    void TearDown() override { objects.reset(); }

    ProgramDatabase db;
    std::unique_ptr<TavrinObjects> objects;
};
