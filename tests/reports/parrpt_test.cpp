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

namespace {

const QStringList kSessions = {"[Nessuna]", "Primo periodo", "Scrutinio finale",
                               "Sessione differita", "Esame di qualifica"};

QStringList texts(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

int chosenId(const QComboBox *list)
{
    return list->currentData().toInt();
}

void choose(QComboBox *list, int id)
{
    list->setCurrentIndex(id == 0 ? 0 : list->findData(id));
}

QList<int> checkedIds(const QListWidget *list)
{
    QList<int> ids;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->checkState() == Qt::Checked)
            ids << list->item(row)->data(Qt::UserRole).toInt();
    return ids;
}

QByteArray storedText()
{
    return scalar(QStringLiteral("SELECT bParVal FROM TParVal WHERE iParValId = 1")).toByteArray();
}

void store(const QByteArray &text)
{
    runSql(QStringLiteral("UPDATE TParVal SET bParVal = ? WHERE iParValId = 1"), {text});
}

// The component-scales the class subjects of a session use, in the components' order.
QList<int> usedComponents(int session)
{
    QList<int> ids;
    QSqlQuery q =
        runSql(QStringLiteral("SELECT CmpSca.iCmpScaId FROM TCmpSca CmpSca WHERE EXISTS (SELECT 1 "
                              "FROM TClsMatCmp Cmc JOIN TClsSesMat Csm ON Csm.iClsSesMatId = "
                              "Cmc.iClsSesMatId JOIN TClsSes Cs ON Cs.iClsSesId = Csm.iClsSesId "
                              "WHERE Cmc.iCmpScaId = CmpSca.iCmpScaId AND Cs.iAnsSesDwgId = ?) "
                              "ORDER BY CmpSca.iCmpScaOrdine"),
               {session});
    while (q.next())
        ids << q.value(0).toInt();
    return ids;
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

    QByteArray localFile() const { return readFileBytes(parGen.reportIniPath()); }

    ProgramDatabase db;
    TdmqelParGen parGen;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(PrintSettings, OpeningShowsTheDatabasesChoicesAndASessionChangeReselectsTheStoredOnes)
{
    const QList<int> final = usedComponents(392);
    const QList<int> deferred = usedComponents(393);
    ASSERT_GE(final.size(), 3);
    // A component of the final session that the deferred one does not use.
    int onlyFinal = 0;
    for (int id : final)
        if (!deferred.contains(id))
            onlyFinal = id;
    ASSERT_NE(onlyFinal, 0);
    const QByteArray stored =
        "[Sessione1]\r\nCodSessione1=392\r\nCodComponente1=" + QByteArray::number(onlyFinal) +
        "\r\nCodComponente2=4711\r\nCodComponente8=" + QByteArray::number(final.first()) +
        "\r\n[Sessione2]\r\nCodSessione2=392\r\n"
        "[Sessione3]\r\nCodSessione3=4711\r\n";
    store(stored);
    writeFileBytes(parGen.reportIniPath(), "[Sessione1]\r\nCodSessione1=391\r\n");

    TfmqelParRpt dialog;
    EXPECT_EQ(localFile(), stored + "\r\n");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Parametri di stampa"));
    // Every session in every list, the same one chosen twice; an unknown one shows none.
    for (int slot = 1; slot <= 3; ++slot)
        EXPECT_EQ(texts(dialog.cbSes(slot)), kSessions) << slot;
    EXPECT_EQ(chosenId(dialog.cbSes(1)), 392);
    EXPECT_EQ(chosenId(dialog.cbSes(2)), 392);
    EXPECT_EQ(dialog.cbSes(3)->currentIndex(), 0);

    // Each component-scale once, though many classes use it, "[Nessuna]" first.
    QList<int> offered;
    for (int i = 1; i < dialog.cbCmp(1, 1)->count(); ++i)
        offered << dialog.cbCmp(1, 1)->itemData(i).toInt();
    EXPECT_EQ(offered, final);
    EXPECT_EQ(dialog.cbCmp(1, 1)->itemText(0), QStringLiteral("[Nessuna]"));
    EXPECT_TRUE(texts(dialog.cbCmp(1, 1)).contains(QStringLiteral("Scritto-Decimi")));
    for (int n = 2; n <= 8; ++n)
        EXPECT_EQ(texts(dialog.cbCmp(1, n)), texts(dialog.cbCmp(1, 1))) << n;

    const struct
    {
        int session;
        int first;  // component 1 shown afterwards
        int eighth; // component 8
        int count;  // items of each list, "[Nessuna]" included
    } steps[] = {
        {393, 0, deferred.contains(final.first()) ? final.first() : 0, int(deferred.size()) + 1},
        {392, onlyFinal, final.first(), int(final.size()) + 1},
        {0, 0, 0, 1}, // "[Nessuna]": nothing else offered
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.session);
        choose(dialog.cbSes(1), s.session);
        EXPECT_EQ(chosenId(dialog.cbCmp(1, 1)), s.first);
        EXPECT_EQ(chosenId(dialog.cbCmp(1, 2)), 0);
        EXPECT_EQ(chosenId(dialog.cbCmp(1, 8)), s.eighth);
        for (int n = 1; n <= 8; ++n)
            EXPECT_EQ(dialog.cbCmp(1, n)->count(), s.count) << n;
        // The other pages keep theirs.
        EXPECT_EQ(dialog.cbCmp(2, 1)->count(), int(final.size()) + 1);
    }

    // OK stores what is shown: 0 for every "[Nessuna]", the unknown ids included.
    choose(dialog.cbSes(1), 392);
    choose(dialog.cbCmp(2, 3), final.last());
    DialogSeam::queueAnswer(mrOk);
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(parGen.xpiSes1.GetValore(), 392);
    EXPECT_EQ(parGen.xpiSes3.GetValore(), 0);
    EXPECT_EQ(parGen.xpiCmp[0][0].GetValore(), onlyFinal);
    EXPECT_EQ(parGen.xpiCmp[0][1].GetValore(), 0);
    EXPECT_EQ(parGen.xpiCmp[1][2].GetValore(), final.last());
    const QByteArray saved = storedText();
    EXPECT_TRUE(saved.contains("CodSessione1=392\r\n") && saved.contains("CodSessione3=0\r\n") &&
                saved.contains("CodComponente2=0\r\n"))
        << saved.toStdString();
}

TEST_F(PrintSettings, OutcomesAreReadUpToTheLastSemicolonAndStoredInListOrder)
{
    runSql(QStringLiteral("INSERT INTO TStaFinDett (iStaFinDettId, iStaFinId, sStaFinDettLDesc) "
                          "VALUES (12, 2, 'Non ammesso all''esame')"));
    runSql(QStringLiteral("INSERT INTO TStaFinDett (iStaFinDettId, iStaFinId, sStaFinDettLDesc) "
                          "VALUES (15, 2, 'Abbandono')"));
    runSql(QStringLiteral("INSERT INTO TPosFin (iPosFinId, iStaFinId, iStaFinDettId) VALUES "
                          "(12, 2, 12)"));
    runSql(QStringLiteral("INSERT INTO TPosFin (iPosFinId, iStaFinId, iStaFinDettId, dDelete) "
                          "VALUES (16, 2, 15, '2009-01-01')"));
    runSql(QStringLiteral("INSERT INTO TPosFin (iPosFinId, iStaFinId, iStaFinDettId) VALUES "
                          "(15, 2, 15)"));
    const struct
    {
        const char *stored;
        QList<int> checked; // on opening
        QList<int> check;   // ticked by the office
        const char *saved;
    } cases[] = {
        {"", {}, {15, 12}, "12;15;"},
        {"12;15;", {12, 15}, {}, "12;15;"},
        {"12;15", {12}, {}, "12;"},
        {" 15;x;;16;12; ", {12, 15}, {1}, "1;12;15;"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        store(QByteArray("[Tabelloni]\r\nEsiti=") + c.stored + "\r\n");
        TfmqelParRpt dialog;
        QListWidget *list = dialog.clEsi();
        ASSERT_EQ(list->count(), 10); // the deleted position is not offered
        EXPECT_TRUE(list->findItems(QStringLiteral("Abbandono"), Qt::MatchExactly).size() == 1);
        EXPECT_EQ(checkedIds(list), c.checked);
        for (int id : c.check)
            for (int row = 0; row < list->count(); ++row)
                if (list->item(row)->data(Qt::UserRole).toInt() == id)
                    list->item(row)->setCheckState(Qt::Checked);
        DialogSeam::queueAnswer(mrOk);
        ASSERT_EQ(dialog.ShowModal(), mrOk);
        EXPECT_EQ(parGen.xpsEsi.GetValore(), QString::fromLatin1(c.saved));
        EXPECT_TRUE(storedText().contains(QByteArray("Esiti=") + c.saved + "\r\n"));
    }
}

// Cancel writes nothing; a store the database refuses is told, and the dialog stays open
// with the office's choices.
TEST_F(PrintSettings, CancelOrARefusedStoreLeavesTheDatabaseAsItWas)
{
    store("[Sessione1]\r\nCodSessione1=391\r\n");
    const QByteArray before = storedText();
    {
        TfmqelParRpt dialog;
        const QByteArray opened = localFile();
        choose(dialog.cbSes(1), 393);
        dialog.clEsi()->item(0)->setCheckState(Qt::Checked);
        DialogSeam::queueAnswer(mrCancel);
        EXPECT_EQ(dialog.ShowModal(), mrCancel);
        EXPECT_EQ(localFile(), opened);
        EXPECT_EQ(storedText(), before);
    }

    runSql(QStringLiteral("ALTER TABLE TParVal ADD CONSTRAINT CK_TEST CHECK (iParValId < 0)"));
    TfmqelParRpt dialog;
    DialogSeam::clearShown();
    bool stayedOpen = false;
    DialogSeam::queueModalScript([&](QDialog *d) {
        choose(d->findChild<QComboBox *>(QStringLiteral("cbSes1")), 393);
        d->findChild<QPushButton *>(QStringLiteral("buOk"))->click();
        stayedOpen = d->result() == 0 && chosenId(dialog.cbSes(1)) == 393;
        return int(mrCancel);
    });
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_TRUE(stayedOpen);
    const QList<DialogSeam::Shown> shown = DialogSeam::shown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].kind, QStringLiteral("message"));
    EXPECT_TRUE(shown[1].text.startsWith(
        QStringLiteral("Impossibile salvare i parametri di stampa nell'archivio.")))
        << shown[1].text.toStdString();
    EXPECT_EQ(storedText(), before);

    // Settings that could not be read are not stored back as "none" everywhere.
    QFile::remove(parGen.reportIniPath());
    ASSERT_TRUE(QDir().mkpath(parGen.reportIniPath()));
    DialogSeam::clearShown();
    TfmqelParRpt unread;
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts()[0].startsWith(QStringLiteral("Impossibile scrivere")));
    EXPECT_FALSE(unread.buOk()->isEnabled());
    DialogSeam::queueAnswer(mrOk);
    EXPECT_EQ(unread.ShowModal(), mrCancel);
    EXPECT_EQ(storedText(), before);
}

// Without a working year or institute there are no sessions to offer, and no error either.
TEST_F(PrintSettings, NoWorkingContextOffersNoneOnly)
{
    const struct
    {
        const char *key;
        const char *value;
    } cases[] = {
        {"VXUP_AnsId", ""},
        {"VXUP_AnsId", "trentanove"},
        {"VXUP_DwgId", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        setDemoWorkingContext();
        xgvmGlobalVar.SetValues(QString::fromLatin1(c.key), QString::fromLatin1(c.value));
        DialogSeam::clearShown();
        TfmqelParRpt dialog;
        EXPECT_TRUE(DialogSeam::shown().isEmpty());
        for (int slot = 1; slot <= 3; ++slot) {
            EXPECT_EQ(texts(dialog.cbSes(slot)), QStringList{"[Nessuna]"});
            EXPECT_EQ(texts(dialog.cbCmp(slot, 8)), QStringList{"[Nessuna]"});
        }
    }
}
