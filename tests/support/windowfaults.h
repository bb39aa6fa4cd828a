#pragma once

// What the office meets by keyboard and eye in a window as it stands on the screen, one line a
// fault: a key that two commands claim where the keyboard is (VxKeyClashes), a text box that
// keeps Tab for itself, a label naming a field or a button without the letter that reaches it, a
// label, button or frame title cut, a tool bar command folded behind its "»". Empty when the window
// has none.
//
//   EXPECT_EQ(windowFaults(dialog), QStringList());

#include <QStringList>

class QWidget;

QStringList windowFaults(QWidget *window);
// Its keys alone: a key or a letter two claims reach where the keyboard is, a field's label,
// check box, radio button or push button without its letter.
QStringList keyFaults(QWidget *window);
