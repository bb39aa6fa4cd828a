#pragma once

// The one place where commands get their keys, and the check that no key reaches two of them
// where the keyboard stands (Qt then runs neither: "Ambiguous shortcut overload").
//
//   VxSetShortcut(frame, aSave, QKeySequence(Qt::CTRL | Qt::Key_S));   // shown in its tooltip
//   VxSetShortcuts(window, aNext, {Ctrl+Tab, Ctrl+PgDown});             // one command, two keys
//   VxSetButtonShortcut(dialog, buOk, hint, {Ctrl+Return, Ctrl+Enter});  // a button, its keys
//   EXPECT_EQ(VxKeyClashes(window), QStringList());                      // in a test
//
// A key works wherever the keyboard is inside its scope: a frame, a window, a dialog, or the
// main window with its inner windows.

#include <QList>
#include <QStringList>
#include <Qt>

class QAbstractButton;
class QAction;
class QKeySequence;
class QToolButton;
class QWidget;

// Gives an action its key, working wherever the focus is inside the scope, and shows the key
// in the action's tooltip beside its hint: a tool bar's command is found by the keyboard as by
// the mouse. Called again, it replaces the key.
void VxSetShortcut(QWidget *scope, QAction *action, const QKeySequence &key);
// The same with several keys, the first shown. A main window's own commands take
// Qt::WindowShortcut: they work also while no field has the keyboard (an inner window just
// closed).
void VxSetShortcuts(QWidget *scope, QAction *action, const QList<QKeySequence> &keys,
                    Qt::ShortcutContext context = Qt::WidgetWithChildrenShortcut);
// A key for a button of the window: pressed anywhere inside scope it presses the button (a
// disabled one stays unpressed), and the button's tooltip shows the hint with the first key.
QAction *VxSetButtonShortcut(QWidget *scope, QAbstractButton *button, const QString &hint,
                             const QList<QKeySequence> &keys);
// The keys of the three tools of every list of choices: "Seleziona tutto" Ctrl+A, "Annulla
// selezione" Ctrl+Shift+A, "Inverti selezione" Ctrl+I, working inside scope and shown in
// their tooltips.
void VxSetSelectionShortcuts(QWidget *scope, QAction *all, QAction *none, QAction *invert);
// The tooltip of a tool button that opens a menu: its hint and its menu's keys.
void VxShowMenuShortcuts(QToolButton *button);

// Gives every field's label (a label with a buddy), check box, radio button and push button of
// the window that has no letter one of its own, the first of its words' initials, else of its
// letters, that no other mnemonic shown with it claims (the fields of other pages of its tabs do
// not; for an inner window, the main window's menus do) and no command's key takes as Alt and
// that letter. Letters chosen in the code stay. The dialogs and inner windows call it as they
// are first shown.
void VxGiveMnemonics(QWidget *window);
// The letters of a panel of the main window outside its inner windows (the report list and its
// buttons), given while the keyboard is in the panel and taken back when it leaves: there they
// would reach into every inner window, over the letters of its fields.
void VxGiveMnemonicsWhileFocused(QWidget *panel);

// Every key that two claims (actions, shortcuts, the mnemonics of buttons, labels, frames, tabs
// and menus) reach at once, for each place of the keyboard in the window (its fields, the
// fields of its inner windows, none): "Ctrl+W: Chiudi, acClose (keyboard in dbgRec)". Two
// mnemonics alone are one too: Alt+letter then only moves the keyboard between them. Only what
// is shown and enabled counts, as for Qt.
QStringList VxKeyClashes(QWidget *window);
