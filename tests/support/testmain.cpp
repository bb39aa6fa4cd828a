#include "tests/support/evaluationwrites.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char **argv)
{
    // Widgets need an application object; CTest runs everything offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // Every write of an evaluation table a test runs is one the inventory of writes holds.
    watchEvaluationWrites();
    return RUN_ALL_TESTS();
}
