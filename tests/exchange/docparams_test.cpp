#include "exchange/qelfdocinv.h"
#include "exchange/qelfdocparams.h"
#include "platform/directoryedit.h"
#include "platform/formregistry.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "shell/qelactivations.h"
#include "shell/qelpargen.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace {

class DocParams : public RunningProgram
{
protected:
    QString parGen() const
    {
        return mainSubDir(QStringLiteral("ETC")) + QStringLiteral("ParGen.ini");
    }

    // Runs the tools page's command; the script gets the dialog it opened.
    void runCommand(const std::function<void(TfmqelDocParams *)> &script)
    {
        DialogSeam::queueModalScript([script](QDialog *d) {
            auto *dialog = qobject_cast<TfmqelDocParams *>(d);
            EXPECT_NE(dialog, nullptr);
            if (dialog)
                script(dialog);
            return int(mrNone);
        });
        EXPECT_TRUE(dmqelActivations->Item(QStringLiteral("xafDocParams"))->Execute());
    }

    // The messages shown so far (the windows aside).
    static int messages()
    {
        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        return int(std::count_if(shown.begin(), shown.end(),
                                 [](const DialogSeam::Shown &s) { return s.kind == "message"; }));
    }

    static void press(TfmqelDocParams *d, const char *button)
    {
        QTest::mouseClick(d->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
    }
};

const QByteArray kStored =
    "[Programmi]\r\nStatistiche=C:\\Vexto\\Stat.exe\r\n\r\n"
    "[Send-Qed]\r\nFloppy=A:\\\r\nRete=\\\\server\\scambio\\\r\nUSB=E:\\Tavrin\\\r\n"
    "Web=C:\\Tavrin\\Web\\\r\nPasswd=1\r\n\r\n"
    "[ExpDoc]\r\nVot=0\r\nVtp=1\r\nTas=1\r\nAss=0\r\nAiu=1\r\nNot=0\r\nDeb=1\r\nComp=1\r\n";

} // namespace

// OK right after opening stores what was there: the hidden floppy folder, password and debts
// included, in the file's own spelling and line ends; a new file gets every key.
TEST_F(DocParams, OkRightAfterOpeningKeepsEveryStoredValue)
{
    const struct
    {
        QByteArray stored; // empty: no file
        QByteArray expected;
    } cases[] = {
        {kStored, kStored},
        {{},
         "[Send-Qed]\r\nFloppy=\r\nRete=\r\nUSB=\r\nWeb=\r\nPasswd=0\r\n\r\n"
         "[ExpDoc]\r\nVot=0\r\nVtp=0\r\nTas=0\r\nAss=0\r\nAiu=0\r\nNot=0\r\nDeb=0\r\n"},
    };
    for (const auto &c : cases) {
        QFile::remove(parGen());
        if (!c.stored.isEmpty())
            writeFileBytes(parGen(), c.stored);
        ScriptedDialogs dialogs;
        runCommand([&](TfmqelDocParams *d) {
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Docenti: parametri Invio/Raccolta"));
            EXPECT_EQ(d->pcParams()->currentIndex(), 0);
            EXPECT_EQ(d->pcParams()->tabText(0), QStringLiteral("&Percorso"));
            EXPECT_EQ(d->pcParams()->tabText(1), QStringLiteral("&Dati"));
            EXPECT_TRUE(d->deFloppy()->isHidden());
            EXPECT_TRUE(d->cbAskPasswd()->isHidden());
            EXPECT_TRUE(d->cbDeb()->isHidden());
            EXPECT_FALSE(d->deRete()->isHidden());
            EXPECT_EQ(d->cbDeb()->isChecked(), !c.stored.isEmpty());
            // Shown, it opens on its first field, never on OK.
            d->show();
            EXPECT_TRUE(d->deRete()->isAncestorOf(d->focusWidget()));
            if (!c.stored.isEmpty())
                saveScreenshot(d, QStringLiteral("exchange-parametri-invio.png"));
            press(d, "buOk");
        });
        EXPECT_EQ(readFileBytes(parGen()), c.expected);
        EXPECT_EQ(messages(), 0);
    }
}

// What the office types, ticks and chooses is stored by OK and by nothing else.
TEST_F(DocParams, ChangesAreStoredByOkOnly)
{
    for (const bool ok : {false, true}) {
        writeFileBytes(parGen(), kStored);
        ScriptedDialogs dialogs;
        DialogSeam::queueModalScript([&](QDialog *dialog) {
            auto *d = static_cast<TfmqelDocParams *>(dialog);
            d->deRete()->edit()->clear();
            QTest::keyClicks(d->deRete()->edit(), QStringLiteral("/mnt/scambio/"));
            QTest::mouseClick(d->deWeb()->browseButton(), Qt::LeftButton);
            d->pcParams()->setCurrentIndex(1);
            QTest::mouseClick(d->cbVot(), Qt::LeftButton, {}, QPoint(4, 4));
            QTest::mouseClick(d->cbVtp(), Qt::LeftButton, {}, QPoint(4, 4));
            press(d, ok ? "buOk" : "buCancel");
            return int(mrNone);
        });
        DialogSeam::queueAnswer(QStringLiteral("/srv/tavrin/web"));
        EXPECT_TRUE(dmqelActivations->Item(QStringLiteral("xafDocParams"))->Execute());
        const QByteArray expected =
            ok ? QByteArray(kStored)
                     .replace("Rete=\\\\server\\scambio\\", "Rete=/mnt/scambio/")
                     .replace("Web=C:\\Tavrin\\Web\\", "Web=/srv/tavrin/web")
                     .replace("Vot=0", "Vot=1")
                     .replace("Vtp=1", "Vtp=0")
               : kStored;
        EXPECT_EQ(readFileBytes(parGen()), expected) << (ok ? "OK" : "Annulla");
        EXPECT_EQ(dmqelParGen->xpiVot.GetValore(), ok ? 1 : 0);
    }
}

// A file that cannot be replaced is said, and the dialog stays open with what was typed.
TEST_F(DocParams, UnwritableFileKeepsTheDialogOpen)
{
    QFile::remove(parGen());
    ASSERT_TRUE(QDir().mkpath(parGen())); // a folder where the file should be
    ScriptedDialogs dialogs;
    bool stayedOpen = false;
    runCommand([&](TfmqelDocParams *d) {
        d->deUSB()->SetText(QStringLiteral("/media/usb/"));
        press(d, "buOk");
        stayedOpen = d->ModalResult() == mrNone;
        EXPECT_EQ(d->deUSB()->Text(), QStringLiteral("/media/usb/"));
        press(d, "buCancel");
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(messages(), 1);
}

// Both windows open from the command table by the class names it spells.
TEST_F(DocParams, CommandsOpenTheirWindows)
{
    const struct
    {
        const char *command;
        const char *className;
        const char *title;
    } cases[] = {
        {"xafDocParams", "TfmqelDocParams", "Docenti: parametri Invio/Raccolta"},
        {"xafCfgInvio", "TfmqelDocInv", "Configurazione invio"},
    };
    for (const auto &c : cases) {
        ScriptedDialogs dialogs;
        QString opened;
        DialogSeam::queueModalScript([&](QDialog *d) {
            opened = FormRegistry::classOf(d);
            return int(mrCancel);
        });
        EXPECT_TRUE(dmqelActivations->Item(QString::fromLatin1(c.command))->Execute());
        EXPECT_EQ(opened, QString::fromLatin1(c.className));
        ASSERT_FALSE(DialogSeam::shown().isEmpty());
        EXPECT_EQ(DialogSeam::shown().first().text, QString::fromUtf8(c.title));
    }
}
