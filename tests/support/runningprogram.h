#pragma once

// The program as its main starts it, on a fresh copy of the demo database, in the demo school's
// working context: for the tests that link the parts main installs.

#include "exchange/qelexchangeinstall.h"
#include "exports/qelexportsinstall.h"
#include "gradeentry/qevinstall.h"
#include "makeup/qelcontrollarecuperi.h"
#include "reports/qelreportsinstall.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"

#include <gtest/gtest.h>

#include <memory>

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
