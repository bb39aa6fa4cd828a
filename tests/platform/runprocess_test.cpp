#include "platform/runprocess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

// How a run ends; the arguments arrive whole; the program's own events go on meanwhile.
TEST(RunAndWait, OutcomesArgumentsAndEventsMeanwhile)
{
    QTemporaryDir dir;
    const QString program = dir.path() + QStringLiteral("/program");
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(20);
    for (const auto &[body, limitMs, outcome] :
         {std::tuple{"printf '%s\\n' \"$@\" > \"$0.out\"", 5000, TVxProcessResult::Finished},
          std::tuple{"kill -9 $$", 5000, TVxProcessResult::Crashed},
          std::tuple{"exec sleep 5", 300, TVxProcessResult::TimedOut}}) {
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QByteArray("#!/bin/sh\n") + body + '\n');
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ticks = 0;
        const TVxProcessResult r = VxRunAndWait(program, {"a b", "\"c\""}, limitMs);
        EXPECT_EQ(r.outcome, outcome) << body;
        EXPECT_EQ(r.succeeded(), r.failure().isEmpty()) << body;
    }
    EXPECT_GT(ticks, 5);
    QFile out(program + QStringLiteral(".out"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), QByteArray("a b\n\"c\"\n"));
    EXPECT_EQ(VxRunAndWait(dir.path() + QStringLiteral("/none"), {}, 1000).outcome,
              TVxProcessResult::Missing);
}
