#pragma once

// SIGTERM and SIGINT (the system shutting down, a `kill`, Ctrl+C in a terminal) ask the
// program to close as the user would, from the event loop: windows close with their questions
// about unsaved work, then the connection, so that no database is left in mid-write. The
// handler itself only writes to a pipe that a socket notifier watches: next to nothing is
// safe inside a signal handler.
//
//   onQuitRequest(callback)       from now on either signal runs callback in the event loop
//                                 (a QApplication must exist); a signal that comes while the
//                                 callback runs is dropped
//   closeOnQuitRequest(window)    the program's use of it: the main window closes as by its
//                                 close button, then the event loop ends (see below)
//   restoreQuitRequestHandlers()  the database client installs handlers of its own when it
//                                 opens a database, and they swallow both signals: the
//                                 connection functions put ours back after each open

#include <functional>

class QWidget;

void onQuitRequest(std::function<void()> callback);

// A modal window blocks the main window's close button, so it goes first, as the person would
// dismiss it: a message with a single button is acknowledged, a modal form cancelled; a
// question is left to the person, and the close waits for the answer, as it waits for work
// that runs an event loop of its own. A window that refuses to close (its unsaved work kept at
// the person's answer) keeps the program open.
void closeOnQuitRequest(QWidget *window);
void restoreQuitRequestHandlers();

// True from a request that closeOnQuitRequest is acting on until the window's close is tried:
// work that waits in a loop of its own for a long time (the web client's pauses between two
// polls of the server) ends early when it sees it, since the close waits for that loop.
bool quitRequestPending();
