#pragma once

// What the tests of the web exchange share: the password typed into the login's prompt.

#include "exchange/qelaskpasswd.h"
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"

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
