#pragma once

// The pause between two polls of a server (the web client waits 30 seconds between its
// questions about a request). The pause runs a local event loop that takes no user input: the
// wait window and the other windows keep painting, so no desktop flags the program as hung,
// and nothing can be clicked meanwhile. A request to quit the program ends the pause at once
// as a failure: the close waits for such a loop, and polls that last half an hour would hold
// it that long. With a wait window, its "Annulla" ends the pause too (EVxCancelled), and while
// that window is up and offers it the office can press it.
//
//   VxSleep(30000);          // throws EVxException when the program is asked to quit
//   VxSleep(30000, &wait);   // ... and EVxCancelled once the wait window's "Annulla" is pressed
//
// Tests take the time out with a scope of their own:
//   ScriptedSleeps sleeps;           // every VxSleep returns at once and is counted
//   sleeps.durations()               // the pauses asked for, in milliseconds, in order
//   sleeps.onSleep = [](int n) {...} // runs at the n-th pause (from 1): it may change what
//                                    // the server answers next, press "Annulla", or throw
//                                    // as a quit would

#include <QList>

#include <functional>

class TfmVxWait;

void VxSleep(int milliseconds, const TfmVxWait *wait = nullptr);

class ScriptedSleeps
{
public:
    ScriptedSleeps();
    ~ScriptedSleeps();
    ScriptedSleeps(const ScriptedSleeps &) = delete;
    ScriptedSleeps &operator=(const ScriptedSleeps &) = delete;

    QList<int> durations() const { return m_durations; }
    int count() const { return int(m_durations.size()); }

    std::function<void(int n)> onSleep;

private:
    friend void VxSleep(int milliseconds, const TfmVxWait *wait);
    QList<int> m_durations;
    ScriptedSleeps *m_previous;
};
