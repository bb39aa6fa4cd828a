#pragma once

// What the benchmarks that draw share: they draw offscreen unless QT_QPA_PLATFORM names a
// platform, and most need nothing before their runs but the application object.
#include <QApplication>

#include <benchmark/benchmark.h>

inline void drawOffscreenUnlessNamed()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the benchmarks the command line names, under an application object of their own.
inline void runDrawingBenchmarks(int argc, char **argv)
{
    drawOffscreenUnlessNamed();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
