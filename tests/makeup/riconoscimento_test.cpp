#include "makeup/qelcreditcodes.h"
#include "makeup/qelfriconoscimento.h"
#include "platform/messagedlg.h"
#include "platform/querycollection.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

namespace {

// Two pupils of 2008/2009 without a credit row.
constexpr int kPupilA = 691, kPupilB = 692;

QString creditCode(int sit, int item, int kind)
{
    return QStringLiteral("%1%2%3")
        .arg(sit, 8, 10, QLatin1Char('0'))
        .arg(item, 7, 10, QLatin1Char('0'))
        .arg(kind);
}

QString pupilCode(int sit)
{
    return QStringLiteral("%1").arg(sit, 7, 10, QLatin1Char('0'));
}

// Every row of the credits and their items, to tell what a reading wrote.
int creditRows()
{
    return scalar(QStringLiteral("SELECT (SELECT COUNT(*) FROM TCre_Crediti) + (SELECT COUNT(*) "
                                 "FROM TCreSco) + (SELECT COUNT(*) FROM TCreFrm) FROM "
                                 "RDB$DATABASE"))
        .toInt();
}

QString nameOf(int sit)
{
    return scalar(QStringLiteral("SELECT A.sAnaCognome || ' ' || A.sAnaNome FROM TSit_Situazioni "
                                 "S JOIN TAna_Anagrafiche A ON A.iAnaId = S.iAnaId WHERE "
                                 "S.iSitId = ?"),
                  {sit})
        .toString();
}

class Recognition : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        window = new TfmQelRiconoscimento;
        window->show();
    }
    void TearDown() override { delete window.data(); }

    // Types the code into the reading field and ends it with Enter, as the reader does.
    void read(const QString &code)
    {
        QTest::keyClicks(window->edLettura(), code);
        QTest::keyClick(window->edLettura(), Qt::Key_Return);
    }
    QString field(const char *name) const
    {
        return window->findChild<QLineEdit *>(QString::fromLatin1(name))->text();
    }

    ProgramDatabase db;
    ScriptedDialogs dialogs;
    QPointer<TfmQelRiconoscimento> window;
};

} // namespace

TEST(CreditCodes, ReadingsByLengthAndDigits)
{
    const struct
    {
        const char *text;
        CreditCode::Kind kind;
        int sit, item, itemKind;
        const char *failure; // the part named by the conversion message
    } cases[] = {
        {"05", CreditCode::Close, 0, 0, -1, nullptr},
        {"09", CreditCode::Cancel, 0, 0, -1, nullptr},
        {"5", CreditCode::Wrong, 0, 0, -1, nullptr},
        {"069100", CreditCode::Wrong, 0, 0, -1, nullptr},
        {"0000691", CreditCode::Pupil, 691, 0, -1, nullptr},
        {"00006910", CreditCode::Wrong, 0, 0, -1, nullptr},
        {"000006910000020", CreditCode::Wrong, 0, 0, -1, nullptr},
        {"0000069100000020", CreditCode::Credit, 691, 2, 0, nullptr},
        {"0000069100000031", CreditCode::Credit, 691, 3, 1, nullptr},
        {"0000069100000032", CreditCode::Wrong, 691, 3, 2, nullptr},
        {"00000691000000200", CreditCode::Wrong, 0, 0, -1, nullptr},
        {"000A691", CreditCode::Wrong, 0, 0, -1, "000A691"},
        {"+000691", CreditCode::Wrong, 0, 0, -1, "+000691"},
        {"000 691", CreditCode::Wrong, 0, 0, -1, "000 691"},
        {"0000 69100000020", CreditCode::Wrong, 0, 0, -1, "0000 691"},
        {"000006910000+020", CreditCode::Wrong, 0, 0, -1, "0000+02"},
        {"000006910000020X", CreditCode::Wrong, 0, 0, -1, "X"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        if (c.failure) {
            try {
                parseCreditCode(QString::fromLatin1(c.text));
                ADD_FAILURE() << "accepted";
            } catch (const EVxException &e) {
                EXPECT_EQ(e.message(), QStringLiteral("'%1' non è un valore intero valido.")
                                           .arg(QLatin1String(c.failure)));
            }
            continue;
        }
        const CreditCode code = parseCreditCode(QString::fromLatin1(c.text));
        EXPECT_EQ(code.kind, c.kind);
        if (c.kind == CreditCode::Pupil || c.kind == CreditCode::Credit) {
            EXPECT_EQ(code.iSitId, c.sit);
            EXPECT_EQ(code.item, c.item);
            EXPECT_EQ(code.itemKind, c.itemKind);
        }
    }
}

TEST_F(Recognition, ReadingsRecordAndCancelOnlyWhatTheyInserted)
{
    const int before = creditRows();
    const QString a = nameOf(kPupilA), b = nameOf(kPupilB);
    const QString cancelError =
        QStringLiteral("Errore nella cancellazione. Impossibile eliminare.");
    const struct
    {
        QString code;
        QString result;
        bool error;
        QString pupil, item, kind;
        int count; // the list's items
        int rows;  // rows written since the window opened
    } steps[] = {
        // Nothing read yet: nothing to cancel, no pupil to show.
        {"09", cancelError, true, "", "", "", 0, 0},
        // A credit row and its link.
        {creditCode(kPupilA, 2, 0), "Lettura corretta", false, a, "Interesse e impegno",
         "Credito Scolastico", 1, 2},
        {creditCode(kPupilA, 2, 0), QStringLiteral("Lettura corretta: già presente."), false, a,
         "Interesse e impegno", "Credito Scolastico", 1, 2},
        // The link was there before that reading: it stays.
        {"09", cancelError, true, a, "", "", 1, 2},
        {creditCode(kPupilA, 3, 1), "Lettura corretta", false, a, "Certificazione linguistica",
         "Credito formativo", 2, 3},
        {"09", "Lettura cancellata", false, a, "", "", 1, 2},
        {"09", cancelError, true, a, "", "", 1, 2},
        {creditCode(kPupilA, 1, 1), "Lettura corretta", false, a,
         QStringLiteral("Attività sportiva agonistica"), "Credito formativo", 2, 3},
        // Another pupil read since: A's item is not taken back.
        {pupilCode(kPupilB), "Lettura corretta", false, b, "", "", 0, 3},
        {"09", cancelError, true, b, "", "", 0, 3},
        // Wrong readings write nothing and leave the display as it was.
        {creditCode(kPupilB, 9999, 0), "Lettura errata", true, b, "", "", 0, 3},
        {creditCode(kPupilB, 1, 2), "Lettura errata", true, b, "", "", 0, 3},
        {creditCode(99999999, 1, 0), "Lettura errata", true, b, "", "", 0, 3},
        {"12345", "Lettura errata", true, b, "", "", 0, 3},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.code.toStdString());
        read(s.code);
        EXPECT_EQ(window->laLettura()->text(), s.result);
        EXPECT_EQ(window->resultIsError(), s.error);
        EXPECT_EQ(field("edAlunno"), s.pupil);
        EXPECT_EQ(field("edCredito"), s.item);
        EXPECT_EQ(field("edTipoCredito"), s.kind);
        EXPECT_EQ(field("edLettura"), QString());
        EXPECT_EQ(window->inseriti()->RecordCount(), s.count);
        EXPECT_EQ(window->laConta()->text(), QStringLiteral("Crediti inseriti: %1").arg(s.count));
        EXPECT_EQ(creditRows() - before, s.rows);
    }
    EXPECT_TRUE(DialogSeam::shown().isEmpty());
    // The rows carry the situation's dates.
    QSqlQuery row = runSql(QStringLiteral("SELECT Lnk.dInsert, Lnk.dStart, Lnk.dEnd, Cre.dInsert, "
                                          "Sit.dStart, Sit.dEnd FROM TCreFrm Lnk JOIN TCre_Crediti "
                                          "Cre ON Cre.iCreId = Lnk.iCreId JOIN TSit_Situazioni Sit "
                                          "ON Sit.iSitId = Cre.iSitId WHERE Cre.iSitId = ?"),
                           {kPupilA});
    ASSERT_TRUE(row.next());
    EXPECT_EQ(row.value(0).toDateTime(), QDateTime(row.value(4).toDate(), QTime(0, 0)));
    EXPECT_EQ(row.value(1).toDate(), row.value(4).toDate());
    EXPECT_EQ(row.value(2).toDate(), row.value(5).toDate());
    EXPECT_EQ(row.value(3).toDateTime(), QDateTime(row.value(4).toDate(), QTime(0, 0)));

    // A misread number: the office is told, the field keeps it, nothing is written.
    read(QStringLiteral("000 691"));
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("'000 691' non è un valore intero valido.")});
    EXPECT_EQ(field("edLettura"), QStringLiteral("000 691"));
    EXPECT_EQ(creditRows() - before, 3);

    // "05" closes the window and writes nothing.
    window->edLettura()->clear();
    read(QStringLiteral("05"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(creditRows() - before, 3);
}

TEST_F(Recognition, AFailedLinkLeavesNoCreditRow)
{
    const int before = creditRows();
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_LINK 'voce rifiutata'"));
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_LINK FOR TCreSco BEFORE INSERT AS BEGIN "
                          "EXCEPTION E_TEST_LINK; END"));
    const QString code = creditCode(kPupilA, 2, 0);
    read(code);
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts().first().contains(QStringLiteral("voce rifiutata")));
    EXPECT_EQ(field("edLettura"), code);
    EXPECT_EQ(creditRows(), before);
}
