#pragma once

// What the tests of the web exchange share: the password typed into the login's prompt, and
// the demo school with the test server named in ParGen.ini and the web folder in the main
// folder.

#include "exchange/qelaskpasswd.h"
#include "exchange/qelfdocconfirmsendweb.h"
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "platform/sleep.h"
#include "shell/qelpargen.h"
#include "tests/support/runningprogram.h"
#include "tests/support/tavrinwebserver.h"

#include <QLineEdit>

#include <gtest/gtest.h>

// The next modal window is the password prompt: the password is typed and OK pressed.
inline void queuePassword(const QString &password)
{
    DialogSeam::queueModalScript([password](QDialog *dialog) {
        auto *prompt = qobject_cast<TfmAskPasswd *>(dialog);
        EXPECT_NE(prompt, nullptr) << dialog->metaObject()->className();
        if (!prompt)
            return int(mrCancel);
        prompt->edPasswd()->setText(password);
        return int(mrOk);
    });
}

// The next modal window is the web send's confirmation wizard: it walks its road and finishes.
inline void finishWizard()
{
    DialogSeam::queueModalScript([](QDialog *dialog) {
        auto *wizard = qobject_cast<TfmqelDocConfirmSendWeb *>(dialog);
        while (wizard && wizard->Next()) {
        }
        return int(wizard ? mrOk : mrCancel);
    });
}

// The texts of the messages shown, without the prompts.
inline QStringList messages()
{
    QStringList texts;
    for (const DialogSeam::Shown &s : DialogSeam::shown())
        if (s.kind == QLatin1String("message"))
            texts << s.text;
    return texts;
}

class WebServiceProgram : public RunningProgram
{
protected:
    static inline const QString kCode = QStringLiteral("ABCD01000X");
    static inline const QString kPassword = QStringLiteral("segreto");

    void SetUp() override
    {
        RunningProgram::SetUp();
        server.nameInParGen();
        server.setInstitute(kCode, kPassword);
        folder = db.mainDir.path() + QStringLiteral("web/");
        dmqelParGen->xpsDirWeb.SetValore(folder);
    }

    ScriptedDialogs dialogs;
    ScriptedSleeps sleeps;
    TavrinWebTestServer server;
    QString folder;
};
