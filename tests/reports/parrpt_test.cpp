#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "reports/qelfparrpt.h"
#include "shell/qelpargen.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>

#include <utility>

namespace {

QList<int> ids(const QComboBox *list) // "[Nessuna]" is 0
{
    QList<int> result;
    for (int i = 0; i < list->count(); ++i)
        result << list->itemData(i).toInt();
    return result;
}

void choose(QComboBox *list, int id)
{
    list->setCurrentIndex(int(ids(list).indexOf(id)));
}

QByteArray storedText()
{
    return scalar(QStringLiteral("SELECT bParVal FROM TParVal WHERE iParValId = 1")).toByteArray();
}

class PrintSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        dmqelParGen = &parGen;
    }
    void store(const QByteArray &text)
    {
        runSql(QStringLiteral("UPDATE TParVal SET bParVal = ? WHERE iParValId = 1"), {text});
    }

    ProgramDatabase db;
    TdmqelParGen parGen;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(PrintSettings, SessionsAndComponentsShowTheDatabasesChoicesAndStoreWhatIsShown)
{
    // The demo's final session uses the component-scales 1 to 10, most in many classes, and
    // 2C's profit (12); the deferred one 1 to 10 but 9. 4711 is no session nor component.
    const QList<int> final = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12};
    const QByteArray stored = "[Sessione1]\r\nCodSessione1=392\r\nCodComponente1=9\r\n"
                              "CodComponente2=4711\r\nCodComponente8=2\r\n"
                              "[Sessione2]\r\nCodSessione2=392\r\n[Sessione3]\r\nCodSessione3=4711";
    store(stored);
    writeFileBytes(parGen.reportIniPath(), "[Sessione1]\r\nCodSessione1=391\r\n");
    TfmqelParRpt dialog;
    EXPECT_EQ(readFileBytes(parGen.reportIniPath()), stored + "\r\n");
    for (int slot = 1; slot <= 3; ++slot)
        EXPECT_EQ(ids(dialog.cbSes(slot)), (QList<int>{0, 391, 392, 393, 394})) << slot;
    EXPECT_EQ(dialog.cbSes(2)->currentText(), QStringLiteral("Scrutinio finale"));
    EXPECT_EQ(dialog.cbSes(3)->currentIndex(), 0);
    EXPECT_EQ(ids(dialog.cbCmp(1, 5)), final);
    EXPECT_EQ(dialog.cbCmp(1, 1)->itemText(1), QStringLiteral("Scritto-Decimi"));

    const struct
    {
        int session;
        int first, second, eighth; // components shown afterwards
        int offered;               // items of each list, "[Nessuna]" included
    } steps[] = {
        {393, 0, 0, 2, 10}, {392, 9, 0, 2, 12}, {0, 0, 0, 0, 1}, // "[Nessuna]"
    };
    for (const auto &s : steps) {
        choose(dialog.cbSes(1), s.session);
        EXPECT_EQ(dialog.cbCmp(1, 1)->currentData().toInt(), s.first) << s.session;
        EXPECT_EQ(dialog.cbCmp(1, 2)->currentData().toInt(), s.second) << s.session;
        EXPECT_EQ(dialog.cbCmp(1, 8)->currentData().toInt(), s.eighth) << s.session;
        EXPECT_EQ(dialog.cbCmp(1, 4)->count(), s.offered) << s.session;
        EXPECT_EQ(dialog.cbCmp(2, 4)->count(), 12) << s.session;
    }
    choose(dialog.cbSes(1), 392);
    choose(dialog.cbCmp(2, 3), 10);
    DialogSeam::queueAnswer(mrOk);
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(parGen.xpiCmp[1][2].GetValore(), 10);
    for (const char *line : {"CodSessione1=392\r\n", "CodComponente1=9\r\n", "CodSessione3=0\r\n",
                             "CodComponente2=0\r\n"})
        EXPECT_TRUE(storedText().contains(line)) << line;
}

TEST_F(PrintSettings, OutcomesAreReadUpToTheLastSemicolonAndStoredInListOrder)
{
    for (int id : {12, 15})
        runSql(QStringLiteral("INSERT INTO TStaFinDett (iStaFinDettId, iStaFinId, "
                              "sStaFinDettLDesc) VALUES (?, 2, 'Esito ' || ?)"),
               {id, id});
    runSql(QStringLiteral("INSERT INTO TPosFin (iPosFinId, iStaFinId, iStaFinDettId, dDelete) "
                          "SELECT iStaFinDettId, 2, iStaFinDettId, NULL FROM TStaFinDett WHERE "
                          "iStaFinDettId IN (12, 15) UNION SELECT 16, 2, 15, DATE '2009-01-01' "
                          "FROM RDB$DATABASE"));
    const struct
    {
        const char *stored;
        QList<int> checked; // on opening
        int tick;           // by the office, 0 none
        const char *saved;
    } cases[] = {
        {"", {}, 15, "15;"},
        {"12;15;", {12, 15}, 0, "12;15;"},
        {"12;15", {12}, 0, "12;"},
        {" 15;x;;16;12; ", {12, 15}, 1, "1;12;15;"},
    };
    for (const auto &c : cases) {
        store(QByteArray("[Tabelloni]\r\nEsiti=") + c.stored + "\r\n");
        TfmqelParRpt dialog;
        QListWidget *list = dialog.clEsi();
        ASSERT_EQ(list->count(), 10) << "the deleted position is offered";
        QList<int> checked;
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem *line = list->item(row);
            if (line->checkState() == Qt::Checked)
                checked << line->data(Qt::UserRole).toInt();
            if (line->data(Qt::UserRole).toInt() == c.tick)
                line->setCheckState(Qt::Checked);
        }
        EXPECT_EQ(checked, c.checked) << c.stored;
        DialogSeam::queueAnswer(mrOk);
        ASSERT_EQ(dialog.ShowModal(), mrOk);
        EXPECT_EQ(parGen.xpsEsi.GetValore(), QString::fromLatin1(c.saved));
        EXPECT_TRUE(storedText().contains(QByteArray("Esiti=") + c.saved + "\r\n")) << c.stored;
    }
}

// Cancel writes nothing; a store the database refuses is told and the dialog stays open; a
// dialog that could not read the settings does not store "none" over them.
TEST_F(PrintSettings, CancelARefusedStoreOrUnreadSettingsLeaveTheDatabaseAsItWas)
{
    const QByteArray before = storedText();
    {
        TfmqelParRpt first;
    }
    const QByteArray opened = readFileBytes(parGen.reportIniPath());
    runSql(QStringLiteral("ALTER TABLE TParVal ADD CONSTRAINT CK_TEST CHECK (iParValId < 0)"));
    const auto press = [](int button) {
        return [button](QDialog *d) {
            choose(d->findChild<QComboBox *>(QStringLiteral("cbSes1")), 393);
            d->findChild<QPushButton *>(QString::fromLatin1(button == mrOk ? "buOk" : "buCancel"))
                ->click();
            return int(mrCancel); // closes a dialog that refused OK
        };
    };
    const struct
    {
        int button;
        bool unreadable;
        const char *message; // nullptr: none
    } cases[] = {
        {mrCancel, false, nullptr},
        {mrOk, false, "Impossibile salvare i parametri di stampa nell'archivio."},
        {mrOk, true, "Impossibile scrivere il file"},
    };
    for (const auto &c : cases) {
        if (c.unreadable) { // the local copy cannot be rewritten from the database
            ASSERT_TRUE(QFile::remove(parGen.reportIniPath()) &&
                        QDir().mkpath(parGen.reportIniPath()));
        }
        DialogSeam::clearShown();
        TfmqelParRpt dialog;
        DialogSeam::queueModalScript(press(c.button));
        EXPECT_EQ(dialog.ShowModal(), mrCancel);
        QStringList messages = DialogSeam::shownTexts().filter(QStringLiteral("Impossibile"));
        EXPECT_EQ(messages.size(), c.message ? 1 : 0) << c.button;
        if (c.message) {
            EXPECT_TRUE(messages.value(0).startsWith(QString::fromUtf8(c.message)));
        }
        EXPECT_EQ(dialog.buOk()->isEnabled(), !c.unreadable);
        EXPECT_EQ(storedText(), before);
        if (c.button == mrCancel) {
            EXPECT_EQ(readFileBytes(parGen.reportIniPath()), opened);
        }
    }
}

// Without a working year or institute there are no sessions to offer, and no error either.
TEST_F(PrintSettings, NoWorkingContextOffersNoneOnly)
{
    for (const auto &[key, value] :
         {std::pair{"VXUP_AnsId", ""}, {"VXUP_AnsId", "trentanove"}, {"VXUP_DwgId", ""}}) {
        setDemoWorkingContext();
        xgvmGlobalVar.SetValues(QString::fromLatin1(key), QString::fromLatin1(value));
        DialogSeam::clearShown();
        TfmqelParRpt dialog;
        EXPECT_TRUE(DialogSeam::shown().isEmpty());
        EXPECT_EQ(ids(dialog.cbSes(3)), QList<int>{0}) << key << value;
        EXPECT_EQ(ids(dialog.cbCmp(3, 8)), QList<int>{0}) << key << value;
    }
}
