#include "platform/dialogseam.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "tests/support/testfiles.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

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

// Qt's own dialogs and buttons speak Italian once the translations are installed, as the
// program does at start, also on an English system (the test runs under LANG=C): no English
// caption, dates and sizes in the program's locale, no column of the file chooser cut.
TEST(MessageDlg, QtsOwnDialogsSpeakItalianOnAnEnglishSystem)
{
    ASSERT_TRUE(installItalianLocale());
    QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Annulla"));
    EXPECT_EQ(box.button(QDialogButtonBox::Save)->text(), QStringLiteral("Salva"));

    // Qt's chooser keeps its columns in Qt's settings: none here, as on a first start.
    QTemporaryDir settings, dir;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QDir(dir.path()).mkdir(QStringLiteral("Verbali"));
    writeFileBytes(dir.filePath(QStringLiteral("pagelle.pdf")), QByteArray(12345, 'x'));
    const auto files = VxNewFileDialog(nullptr, TVxFileDialogMode::Save, "Esporta PDF", dir.path());
    QPrinter printer;
    const auto print = VxNewPrintDialog(printer, nullptr, QStringLiteral("Stampa"), 3);
    files->show();
    auto *view = files->findChild<QTreeView *>(QStringLiteral("treeView"));
    ASSERT_TRUE(
        QTest::qWaitFor([view] { return view->model()->rowCount(view->rootIndex()) == 2; }));
    QStringList shown;
    for (QWidget *w : files->findChildren<QWidget *>() + print->findChildren<QWidget *>())
        shown << w->property("text").toString() << w->property("title").toString();
    for (int cell = 0; cell < 8; ++cell)
        shown << view->model()->index(cell / 4, cell % 4, view->rootIndex()).data().toString();
    const QDateTime modified =
        QFileInfo(dir.filePath(QStringLiteral("pagelle.pdf"))).lastModified();
    for (const QString &english :
         QStringList{"Folder", "Pages", "Double Sided Printing", "Off", "Long side binding",
                     "Short side binding", QLocale::c().formattedDataSize(12345),
                     QLocale::c().toString(modified, QLocale::ShortFormat)})
        EXPECT_FALSE(shown.contains(english)) << english.toStdString();
    EXPECT_TRUE(shown.contains(QLocale().toString(modified, QLocale::ShortFormat)));
    saveScreenshot(files.get(), QStringLiteral("dialogo-file.png"));
    // Size, type and date whole in their columns, also in Qt's own narrow size.
    files->resize(624, 408);
    QCoreApplication::processEvents();
    for (int col = 1; col < 4; ++col)
        EXPECT_GE(view->header()->sectionSize(col),
                  std::max(static_cast<QAbstractItemView *>(view)->sizeHintForColumn(col),
                           view->header()->sectionSizeHint(col)));
}
