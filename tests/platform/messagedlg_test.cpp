#include "platform/dialogseam.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

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

// A list of 679 refused rows, each quoting a value of 5,000 characters: the message box it
// would be is taller than any screen. It comes in a dialog within the screen, the summary on
// top, every row in the scrolling box, no line longer than a message may hold.
TEST(MessageDlg, ALongListScrollsWithinTheScreenAndNoLineRunsOn)
{
    QStringList rows;
    for (int i = 0; i < 679; ++i)
        rows << QStringLiteral("  riga %1 rifiutata: ").arg(i) + QString(5000, QLatin1Char('x'));
    const QString text = QStringLiteral("Righe non raccolte: 679.\r\r") + rows.join("\r\n");
    EXPECT_TRUE(VxMessageTooTall(text));
    EXPECT_FALSE(VxMessageTooTall(QStringLiteral("Procedura completata.")));
    EXPECT_FALSE(
        VxMessageTooTall(QStringLiteral("Dati non raccolti:\r") + rows.mid(0, 3).join('\r')));

    const auto dialog = VxNewLongMessageDialog(text, mtWarning, mbOK);
    dialog->show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(dialog->frameGeometry().height(), area.height());
    EXPECT_LE(dialog->frameGeometry().width(), area.width());
    EXPECT_EQ(dialog->findChild<QLabel *>("laSummary")->text(), "Righe non raccolte: 679.");
    const QStringList listed =
        dialog->findChild<QPlainTextEdit *>("meText")->toPlainText().split('\n');
    ASSERT_EQ(listed.size(), 679);
    EXPECT_EQ(listed.last(), rows.last().left(kMaxLineChars - 1) + QChar(0x2026));
    dialog->findChild<QPushButton *>("button1")->click();
    EXPECT_EQ(dialog->result(), mrOk);

    ScriptedDialogs scripted;
    VxMessageDlg(text, mtWarning, mbOK);
    const QStringList recorded = DialogSeam::shownTexts().value(0).split('\n');
    ASSERT_EQ(recorded.size(), 681);
    for (const QString &line : recorded)
        EXPECT_LE(line.size(), kMaxLineChars);
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
