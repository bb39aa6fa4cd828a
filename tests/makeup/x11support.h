#pragma once

// What the programs run on a private X server (run_under_xvfb.sh) share: xdotool driven while
// the window keeps handling its events, the window given the keyboard as a person clicking
// into it would, and screenshots into $TAVRIN_SCREENSHOTS when it is set.

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

inline void xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    const QDeadlineTimer deadline(30000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        process.waitForFinished(20);
    }
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    // The last key events may still be on their way from the server.
    QTest::qWait(200);
}

inline void screenshot(QWidget *window, const QString &name)
{
    const QString folder = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QTest::qWait(100);
    const QPixmap shot = window->screen()->grabWindow(window->winId());
    EXPECT_TRUE(shot.save(folder + QLatin1Char('/') + name)) << name.toStdString();
}

// Whether the screen shows the widget's point in the highlight colour (a frame of the keyboard,
// a row of the list that has it).
inline bool highlighted(QWidget *w, QPoint at)
{
    QTest::qWait(100);
    QWidget *window = w->window();
    return window->screen()
               ->grabWindow(window->winId())
               .toImage()
               .pixelColor(w->mapTo(window, at)) == w->palette().color(QPalette::Highlight);
}

// A key where the keyboard is, as the office types it.
inline void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), modifiers);
    QTest::qWait(50);
}

// Shows the window and gives it the keyboard, on the field.
inline void focus(QWidget *window, QWidget *field)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->activateWindow();
    field->setFocus();
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"),
             QString::number(window->winId())});
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}
