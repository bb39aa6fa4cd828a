#pragma once

// What the tests of the web exchange share: the password typed into the login's prompt, and
// the demo school with the test server named in ParGen.ini and the web folder in the main
// folder.

#include "exchange/qelaskpasswd.h"
#include "exchange/qelfdocconfirmsendweb.h"
#include "exchange/qeltavrinweb.h"
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "platform/sleep.h"
#include "shell/qelpargen.h"
#include "tests/support/runningprogram.h"
#include "tests/support/tavrinwebserver.h"

#include <QLineEdit>

#include <memory>

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

// Each answer goes to the next prompt or message: a password is typed, an int is a button.
inline void queueAnswers(const QVariantList &answers)
{
    for (const QVariant &answer : answers)
        answer.typeId() == QMetaType::QString ? queuePassword(answer.toString())
                                              : DialogSeam::queueAnswer(answer);
}

// The web-service teachers marked sent.
inline int markedWebTeachers()
{
    return scalar("SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iModId = 5 AND iAaiInviato = 1")
        .toInt();
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

    // A second server, named in ParGen.ini in place of the first, whose upload page fails as
    // asked (a reply over the cap of the client's texts, one after 2 s); Fault::None refuses
    // the archive with "KO".
    static std::unique_ptr<TavrinWebTestServer> failingUpload(TavrinWebTestServer::Fault fault,
                                                              const QByteArray &page)
    {
        auto faulty = std::make_unique<TavrinWebTestServer>();
        faulty->nameInParGen();
        faulty->setInstitute(kCode, kPassword);
        faulty->setSlowMs(2000);
        faulty->setOverCapBytes(TTavrinWebConnection::kTextReplyCap + 1);
        faulty->setFault(fault, page);
        if (fault == TavrinWebTestServer::Fault::None)
            faulty->addRoute("POST", "/nzapps/tavrinweb/" + page,
                             [](const TavrinWebTestServer::Request &, const QString &) {
                                 return TavrinWebTestServer::Reply{200, "KO", {}};
                             });
        return faulty;
    }

    ScriptedDialogs dialogs;
    ScriptedSleeps sleeps;
    TavrinWebTestServer server;
    QString folder;
};
