#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QDialog;

// Every modal question the program asks (message dialogs, file and folder choosers, modal
// forms) passes through this seam. A test switches it to scripted mode, queues the answers
// and reads what was shown; nothing then waits for a person.
class DialogSeam
{
public:
    struct Shown
    {
        QString kind;      // "message", "open-file", "save-file", "folder", "modal", ...
        QString text;      // the message or the chooser's caption
        QString detail;    // e.g. the dialog type or the form's class name
        QString technical; // a message's detail for the technician (the engine's text)
    };

    static bool scripted();
    // Turns scripted mode on or off; turning it on clears answers and records.
    static void setScripted(bool on);

    // Answers are taken in order, whatever the dialog; an empty queue gives each dialog its
    // default (the default button, no file chosen, a modal form cancelled).
    static void queueAnswer(const QVariant &answer);
    static bool hasAnswer();
    static QVariant takeAnswer();
    // The next answer, left in the queue (invalid when there is none): for a seam that takes
    // only answers of its own type.
    static QVariant peekAnswer();

    // A modal form answered by a script: the test gets the live dialog, fills it or presses
    // its buttons, and returns the modal result (or mrNone to let the dialog's own buttons
    // decide). Queued like any other answer.
    using ModalScript = std::function<int(QDialog *)>;
    static void queueModalScript(const ModalScript &script);
    static bool nextIsModalScript();
    static ModalScript takeModalScript();

    static void record(const QString &kind, const QString &text, const QString &detail = {},
                       const QString &technical = {});
    static QList<Shown> shown();
    static QStringList shownTexts();
    static void clearShown();
};

Q_DECLARE_METATYPE(DialogSeam::ModalScript)

// A test's scripted scope: on while it lives, off (and cleared) afterwards.
class ScriptedDialogs
{
public:
    ScriptedDialogs() { DialogSeam::setScripted(true); }
    ~ScriptedDialogs() { DialogSeam::setScripted(false); }
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;
};
