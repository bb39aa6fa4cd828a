#include "platform/dialogseam.h"
#include "platform/messagedlg.h"

#include <QDialogButtonBox>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(MessageDlg, ScriptedAnswersAreTakenInOrderAndTextsRecorded)
{
    ScriptedDialogs scripted;
    DialogSeam::queueAnswer(mrNo);
    EXPECT_EQ(VxMessageDlg(QStringLiteral("Salvare?\r\rSì o no"), mtConfirmation, mbYesNo), mrNo);
    // Without a queued answer the default button is pressed.
    EXPECT_EQ(VxMessageDlg(QStringLiteral("Attenzione"), mtWarning, mbOK), mrOk);
    EXPECT_EQ(
        VxMessageDlg(QStringLiteral("Continuare?"), mtConfirmation, mbYesNoCancel, 0, mrCancel),
        mrCancel);
    const QStringList texts = DialogSeam::shownTexts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], QStringLiteral("Salvare?\n\nSì o no"));
    EXPECT_EQ(DialogSeam::shown()[1].detail, QStringLiteral("warning"));
}

// Qt's own dialogs and buttons (file choosers, print settings) speak Italian once the
// translations are installed, as the program does at start.
TEST(MessageDlg, QtsOwnButtonsSpeakItalian)
{
    ASSERT_TRUE(installItalianLocale());
    QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Annulla"));
    EXPECT_EQ(box.button(QDialogButtonBox::Save)->text(), QStringLiteral("Salva"));
}
