#include "platform/desktop.h"
#include "platform/dialogseam.h"

#include <QDir>

#include <gtest/gtest.h>

// Scripted runs open nothing: they record what would open and answer for the desktop only
// with a queued bool, leaving any other answer to the dialog it was queued for.
TEST(Desktop, ScriptedRunsRecordTheAddressAndKeepOtherAnswers)
{
    ScriptedDialogs dialogs;
    DialogSeam::queueAnswer(false);
    EXPECT_FALSE(VxOpenDocument(QStringLiteral("registro.pdf")));
    DialogSeam::queueAnswer(6);
    EXPECT_TRUE(VxOpenUrl(QUrl(QStringLiteral("https://wiki.esempio.it/a b"))));
    EXPECT_EQ(DialogSeam::takeAnswer(), QVariant(6));
    EXPECT_FALSE(VxOpenDocument(QStringLiteral(" ")));
    EXPECT_FALSE(VxOpenUrl(QUrl(QStringLiteral("relativo/pagina"))));
    const QList<DialogSeam::Shown> shown = DialogSeam::shown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].kind, QStringLiteral("open-document"));
    EXPECT_EQ(shown[0].text, QDir::current().absoluteFilePath(QStringLiteral("registro.pdf")));
    EXPECT_EQ(shown[1].kind, QStringLiteral("open-url"));
    EXPECT_EQ(shown[1].text, QStringLiteral("https://wiki.esempio.it/a b"));
}
