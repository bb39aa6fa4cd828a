#include "exchange/qelfdocinv.h"
#include "exchange/qelrdocinv.h"
#include "exchange/qelsendbookkeeping.h"
#include "platform/connection.h"
#include "platform/images.h"
#include "platform/messagedlg.h"
#include "platform/sqlparams.h"
#include "platform/vxexception.h"
#include "tests/support/otheroffice.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QAction>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace {

constexpr int kSession = 392; // the demo's working year-session

// The demo's teachers (roles) of a year-session by mode.
QList<int> rolesOfMode(int iModId, int session = kSession)
{
    QList<int> roles;
    QSqlQuery q = runSql(QStringLiteral("SELECT iAnaCagId FROM TAai_AnaAppInvio WHERE iModId = ? "
                                        "AND iAnsSesDwgId = ? ORDER BY iAnaCagId"),
                         {iModId, session});
    while (q.next())
        roles << q.value(0).toInt();
    return roles;
}

int rowsOf(int iAnaCagId, int session = kSession)
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM TAai_AnaAppInvio WHERE iAnaCagId = ? AND "
                                 "iAnsSesDwgId = ?"),
                  {iAnaCagId, session})
        .toInt();
}

// Another session of the institute: the first term of the working year.
int otherSession()
{
    return scalar(QStringLiteral("SELECT MIN(iAnsSesDwgId) FROM TAnsSesDwg WHERE iAnsId = 39 AND "
                                 "iDwgId = 2 AND iAnsSesDwgId <> ?"),
                  {kSession})
        .toInt();
}

void addRow(int iAnaCagId, int iModId, int session)
{
    const int key =
        scalar(QStringLiteral("SELECT L_iCntId FROM PYSetGetId('TAAI_ANAAPPINVIO', 1)")).toInt();
    runSql(QStringLiteral("INSERT INTO TAai_AnaAppInvio (iAaiId, iAaiModulo, iAnaCagId, iModId, "
                          "iAnsSesDwgId) VALUES (?, 1, ?, ?, ?)"),
           {key, iAnaCagId, iModId, session});
}

QList<int> idsOf(const QListWidget *list, bool selectedOnly = false)
{
    QList<int> ids;
    for (int i = 0; i < list->count(); ++i) {
        if (!selectedOnly || list->item(i)->isSelected())
            ids << list->item(i)->data(Qt::UserRole).toInt();
    }
    return ids;
}

// The tree as mode id -> teacher role ids, sorted.
QMap<int, QList<int>> treeOf(const QTreeWidget *tree)
{
    QMap<int, QList<int>> modes;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *mode = tree->topLevelItem(i);
        QList<int> &roles = modes[mode->data(0, Qt::UserRole).toInt()];
        for (int t = 0; t < mode->childCount(); ++t)
            roles << mode->child(t)->data(0, Qt::UserRole).toInt();
        std::sort(roles.begin(), roles.end());
    }
    return modes;
}

QTreeWidgetItem *nodeOf(QTreeWidget *tree, int iModId, int iAnaCagId = 0)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *mode = tree->topLevelItem(i);
        if (mode->data(0, Qt::UserRole).toInt() != iModId)
            continue;
        if (!iAnaCagId)
            return mode;
        for (int t = 0; t < mode->childCount(); ++t) {
            if (mode->child(t)->data(0, Qt::UserRole).toInt() == iAnaCagId)
                return mode->child(t);
        }
    }
    return nullptr;
}

void select(QListWidget *list, const QList<int> &ids)
{
    list->clearSelection();
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(ids.contains(list->item(i)->data(Qt::UserRole).toInt()));
}

QDateTime databaseNow()
{
    return scalar(QStringLiteral("SELECT CURRENT_TIMESTAMP FROM RDB$DATABASE")).toDateTime();
}

class SendModes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
    }

    ProgramDatabase db;
    ScriptedDialogs dialogs;
};

} // namespace

// Who is free and who is in the tree: only the working session's rows count, and only the
// teachers of the working year show at all.
TEST_F(SendModes, ListsShowTheWorkingSessionOfTheWorkingYear)
{
    const QList<int> web = rolesOfMode(5);
    const QList<int> network = rolesOfMode(2);
    const QList<int> programFiles = rolesOfMode(4);
    ASSERT_FALSE(web.isEmpty());
    ASSERT_EQ(network.size(), 2);
    ASSERT_EQ(programFiles.size(), 2);

    // Two free teachers: one assigned only in another session, one who teaches no class of the
    // working year but keeps a row in its session.
    QList<int> free;
    {
        TfrqelDocInv frame;
        free = idsOf(frame.lvDoc());
    }
    ASSERT_GE(free.size(), 2);
    const int otherSessionOnly = free.at(0);
    const int notThisYear = free.at(1);
    addRow(otherSessionOnly, 5, otherSession());
    runSql(QStringLiteral("UPDATE TClsMatAna SET dStart = dStart + 1 WHERE iAnaId = (SELECT "
                          "iAnaId FROM TAnaCag WHERE iAnaCagId = ?)"),
           {notThisYear});
    addRow(notThisYear, 3, kSession);

    TfrqelDocInv frame;
    const QList<int> listed = idsOf(frame.lvDoc());
    EXPECT_TRUE(listed.contains(otherSessionOnly));
    EXPECT_FALSE(listed.contains(notThisYear));
    for (int role : web + network + programFiles)
        EXPECT_FALSE(listed.contains(role)) << role;
    EXPECT_EQ(listed.size(), free.size() - 1);
    EXPECT_EQ(idsOf(frame.lvDoc(), true), QList<int>{listed.first()});

    // Mode 4 is not offered, but its rows are in the tree; the teacher of no class is not.
    EXPECT_EQ(idsOf(frame.lvModInv()), (QList<int>{1, 2, 3, 5}));
    EXPECT_EQ(idsOf(frame.lvModInv(), true), QList<int>{1});
    const QMap<int, QList<int>> expected{{5, web}, {2, network}, {4, programFiles}};
    EXPECT_EQ(treeOf(frame.tvDocInv()), expected);

    TfmqelDocInv window;
    window.resize(900, 520);
    saveScreenshot(&window, QStringLiteral("exchange-configurazione-invio.png"));
}

TEST_F(SendModes, ApplyWithoutTeacherOrModeSaysWhichIsMissing)
{
    const struct
    {
        bool teacher;
        bool mode;
        const char *message;
    } cases[] = {
        {false, true, "Nessun docente selezionato."},
        {true, false, "Nessuna modalità di invio selezionata."},
        {false, false, "Nessun docente selezionato."},
    };
    const int rows = scalar(QStringLiteral("SELECT COUNT(*) FROM TAai_AnaAppInvio")).toInt();
    TfrqelDocInv frame;
    for (const auto &c : cases) {
        DialogSeam::clearShown();
        if (!c.teacher)
            frame.lvDoc()->clearSelection();
        else
            frame.lvDoc()->selectAll();
        if (!c.mode)
            frame.lvModInv()->clearSelection();
        else
            frame.lvModInv()->item(0)->setSelected(true);
        QTest::mouseClick(frame.buApply(), Qt::LeftButton);
        EXPECT_EQ(DialogSeam::shownTexts(), QStringList{QString::fromUtf8(c.message)});
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TAai_AnaAppInvio")).toInt(), rows);
}

TEST_F(SendModes, ApplyAssignsEachSelectedTeacherToTheMode)
{
    TfrqelDocInv frame;
    const QList<int> free = idsOf(frame.lvDoc());
    ASSERT_GE(free.size(), 3);
    QList<int> chosen{free.at(0), free.at(2)};
    std::sort(chosen.begin(), chosen.end());
    select(frame.lvDoc(), chosen);
    select(frame.lvModInv(), {3});
    QTest::mouseClick(frame.buApply(), Qt::LeftButton);

    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty())
        << DialogSeam::shownTexts().join('|').toStdString();
    for (int role : chosen) {
        QSqlQuery q = runSql(QStringLiteral("SELECT iAaiModulo, iModId, iAaiInviato, dAaiInviato, "
                                            "iAaiRicevuto, dAaiRicevuto, sAaiDirInviato FROM "
                                            "TAai_AnaAppInvio WHERE iAnaCagId = ? AND "
                                            "iAnsSesDwgId = ?"),
                             {role, kSession});
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 1);
        EXPECT_EQ(q.value(1).toInt(), 3);
        for (int c = 2; c < 7; ++c)
            EXPECT_TRUE(q.value(c).isNull()) << c;
        EXPECT_FALSE(q.next());
    }
    QList<int> left = free;
    for (int role : chosen)
        left.removeOne(role);
    EXPECT_EQ(idsOf(frame.lvDoc()), left);
    EXPECT_EQ(treeOf(frame.tvDocInv()).value(3), chosen);
}

// One transaction per teacher: the teacher the database refuses keeps nothing, the one before
// keeps his row, and the run stops there with the database's reason shown.
TEST_F(SendModes, RefusedInsertIsShownAndCommitsNothingOfThatTeacher)
{
    TfrqelDocInv frame;
    const QList<int> free = idsOf(frame.lvDoc());
    ASSERT_GE(free.size(), 3);
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_NOASSIGN 'assegnazione rifiutata'"));
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_NOASSIGN FOR TAai_AnaAppInvio BEFORE INSERT AS "
                          "BEGIN IF (NEW.iAnaCagId = %1) THEN EXCEPTION E_TEST_NOASSIGN; END")
               .arg(free.at(1)));
    select(frame.lvDoc(), free.mid(0, 3));
    select(frame.lvModInv(), {1});
    QTest::mouseClick(frame.buApply(), Qt::LeftButton);

    const QStringList shown = DialogSeam::shownTexts();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.first().contains(QStringLiteral("assegnazione rifiutata")))
        << shown.first().toStdString();
    EXPECT_EQ(rowsOf(free.at(0)), 1);
    EXPECT_EQ(rowsOf(free.at(1)), 0);
    EXPECT_EQ(rowsOf(free.at(2)), 0);
    EXPECT_EQ(idsOf(frame.lvDoc()), free.mid(1));
    EXPECT_EQ(treeOf(frame.tvDocInv()).value(1), QList<int>{free.at(0)});
}

// Another office assigned the teacher after this list was read, or assigns him at this very
// moment (its save ending while this one waits): no second mode for him, the office is told
// and sees the other office's choice.
TEST_F(SendModes, TeacherAssignedMeanwhileByAnotherOfficeGetsNoSecondRow)
{
    for (const int fine : {0, 300}) {
        SCOPED_TRACE(fine);
        TfrqelDocInv frame;
        const QList<int> free = idsOf(frame.lvDoc());
        ASSERT_GE(free.size(), 2);
        const int teacher = free.at(1);
        const QString name = frame.lvDoc()->item(1)->text();
        OtherOffice other(db.database);
        if (fine > 0) // as this program assigns
            other.hold(QStringLiteral("UPDATE TAnaCag SET iAnaCagId = iAnaCagId WHERE iAnaCagId "
                                      "= ?"),
                       {teacher});
        other.hold(QStringLiteral("INSERT INTO TAai_AnaAppInvio (iAaiId, iAaiModulo, iAnaCagId, "
                                  "iModId, iAnsSesDwgId) VALUES (?, 1, ?, 2, ?)"),
                   {900001 + fine, teacher, kSession});
        if (fine > 0)
            other.commitAfter(fine);
        else
            other.commit();
        select(frame.lvDoc(), {free.at(0), teacher});
        select(frame.lvModInv(), {5});
        DialogSeam::clearShown();
        QTest::mouseClick(frame.buApply(), Qt::LeftButton);
        other.finish();

        EXPECT_EQ(rowsOf(teacher), 1);
        EXPECT_EQ(scalar(QStringLiteral("SELECT iModId FROM TAai_AnaAppInvio WHERE iAnaCagId = ? "
                                        "AND iAnsSesDwgId = ?"),
                         {teacher, kSession})
                      .toInt(),
                  2);
        EXPECT_EQ(rowsOf(free.at(0)), 1);
        const QStringList shown = DialogSeam::shownTexts();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown.first().startsWith(QStringLiteral("Assegnazione non eseguita")));
        EXPECT_TRUE(shown.first().contains(name)) << shown.first().toStdString();
        EXPECT_EQ(idsOf(frame.lvDoc()), free.mid(2));
        EXPECT_TRUE(treeOf(frame.tvDocInv()).value(2).contains(teacher));
    }
}

// Deleting a mode's node, or a teacher's, asks first and gives the teachers back to the
// list; another session's rows of the same mode and teacher stay.
TEST_F(SendModes, DeletingANodeGivesTheTeachersBackInTheWorkingSessionOnly)
{
    const QString tail = QStringLiteral(
        "?\n\nConfermando la cancellazione i dati eventualmente già inviati non potranno \npiù "
        "essere utilizzati e occorrerà inviarli nuovamente.");
    const int other = otherSession();
    const QList<int> network = rolesOfMode(2);
    for (int role : network)
        addRow(role, 2, other);
    const struct
    {
        int mode;
        int teacher; // 0: the mode's node
        int answer;
        const char *question;
    } cases[] = {
        {2, network.at(0), mrNo, "Confermi la cancellazione del docente:  "},
        {2, network.at(0), mrYes, "Confermi la cancellazione del docente:  "},
        {2, 0, mrYes, "Confermi la cancellazione dei docenti con modalità di invio:  "},
    };
    TfrqelDocInv frame;
    for (const auto &c : cases) {
        const QList<int> before = rolesOfMode(2);
        QTreeWidgetItem *node = nodeOf(frame.tvDocInv(), c.mode, c.teacher);
        ASSERT_NE(node, nullptr);
        const QString name = node->text(0);
        frame.tvDocInv()->setCurrentItem(node);
        DialogSeam::clearShown();
        DialogSeam::queueAnswer(c.answer);
        frame.findChild<QAction *>(QStringLiteral("acDelNode"))->trigger();
        EXPECT_EQ(DialogSeam::shownTexts(),
                  QStringList{QString::fromUtf8(c.question) + name + tail});
        const QList<int> gone = c.answer != mrYes ? QList<int>()
                                : c.teacher       ? QList<int>{c.teacher}
                                                  : before;
        QList<int> stay = before;
        for (int role : gone)
            stay.removeOne(role);
        EXPECT_EQ(rolesOfMode(2), stay);
        for (int role : gone)
            EXPECT_TRUE(idsOf(frame.lvDoc()).contains(role)) << role;
        EXPECT_EQ(treeOf(frame.tvDocInv()).value(2), stay);
        EXPECT_EQ(rolesOfMode(2, other), network);
    }
    EXPECT_EQ(nodeOf(frame.tvDocInv(), 2), nullptr);
}

// A node another office deleted meanwhile: the deletion is told, not taken as done, and the
// lists show what is stored.
TEST_F(SendModes, NodeDeletedMeanwhileIsToldAndTheListsAreReadAgain)
{
    TfrqelDocInv frame;
    const int teacher = rolesOfMode(4).first();
    runSql(QStringLiteral("DELETE FROM TAai_AnaAppInvio WHERE iAnaCagId = ?"), {teacher});
    frame.tvDocInv()->setCurrentItem(nodeOf(frame.tvDocInv(), 4, teacher));
    DialogSeam::queueAnswer(int(mrYes));
    frame.findChild<QAction *>(QStringLiteral("acDelNode"))->trigger();
    const QStringList shown = DialogSeam::shownTexts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown.last().contains(QStringLiteral("un'altra postazione")));
    EXPECT_EQ(nodeOf(frame.tvDocInv(), 4, teacher), nullptr);
    EXPECT_TRUE(idsOf(frame.lvDoc()).contains(teacher));
}

TEST_F(SendModes, TreeToolsFollowTheSelectedNode)
{
    TfrqelDocInv frame;
    const QStringList hints{QStringLiteral("Espande il nodo selezionato"),
                            QStringLiteral("Comprime il nodo selezionato"),
                            QStringLiteral("Espande l'intero albero"),
                            QStringLiteral("Comprime l'intero albero"),
                            QStringLiteral("Aggiorna il contenuto dell'albero")};
    QStringList shownHints;
    for (QAction *action : frame.tbTree()->actions())
        shownHints << action->toolTip();
    EXPECT_EQ(shownHints, hints);
    EXPECT_EQ(frame.tbTree()->windowTitle(), QStringLiteral("Barra dell'albero"));
    EXPECT_EQ(frame.tbDoc()->windowTitle(), QStringLiteral("Barra delle classi"));

    auto action = [&](const char *name) {
        return frame.findChild<QAction *>(QString::fromLatin1(name));
    };
    auto enabled = [&] {
        return QList<bool>{action("acExpandNode")->isEnabled(),
                           action("acCollapseNode")->isEnabled(), action("acDelNode")->isEnabled()};
    };
    EXPECT_EQ(enabled(), (QList<bool>{false, false, false}));
    QTreeWidgetItem *mode = nodeOf(frame.tvDocInv(), 5);
    frame.tvDocInv()->setCurrentItem(mode);
    EXPECT_EQ(enabled(), (QList<bool>{true, false, true}));
    action("acExpandNode")->trigger();
    EXPECT_TRUE(mode->isExpanded());
    EXPECT_EQ(enabled(), (QList<bool>{false, true, true}));
    action("acCollapseAll")->trigger();
    EXPECT_FALSE(mode->isExpanded());
    frame.tvDocInv()->setCurrentItem(mode->child(0));
    EXPECT_EQ(enabled(), (QList<bool>{false, false, true})); // a teacher has no child
    action("acExpandAll")->trigger();
    for (int i = 0; i < frame.tvDocInv()->topLevelItemCount(); ++i)
        EXPECT_TRUE(frame.tvDocInv()->topLevelItem(i)->isExpanded());

    // The refresh shows what another office wrote meanwhile.
    addRow(idsOf(frame.lvDoc()).first(), 1, kSession);
    action("acRefreshTree")->trigger();
    EXPECT_NE(nodeOf(frame.tvDocInv(), 1), nullptr);

    // The frame's eleven images, the three dots among them, each a real image at both sizes.
    ASSERT_EQ(frame.ilFrame().count(), 11);
    for (const QString &name : TfrqelDocInv::imageNames()) {
        EXPECT_TRUE(hasVxImage(name)) << name.toStdString();
        const QList<QSize> sizes = VxImage(name).availableSizes();
        EXPECT_TRUE(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)))
            << name.toStdString();
    }
}

// The marks of the send cycle: a send clears the received marks, a collection keeps the sent
// ones, and both take the database's clock.
TEST_F(SendModes, MarksFollowTheSendCycleOnTheDatabaseClock)
{
    SendBookkeeping book(qqoVxGlobConn());
    const int row = scalar(QStringLiteral("SELECT MIN(iAaiId) FROM TAai_AnaAppInvio WHERE "
                                          "iModId = 2 AND iAaiInviato = 1"))
                        .toInt();
    const QString demoFolder =
        scalar(QStringLiteral("SELECT sAaiDirInviato FROM TAai_AnaAppInvio WHERE iAaiId = ?"),
               {row})
            .toString();
    auto marks = [&] {
        QSqlQuery q = runSql(QStringLiteral("SELECT iAaiInviato, dAaiInviato, iAaiRicevuto, "
                                            "dAaiRicevuto, sAaiDirInviato FROM TAai_AnaAppInvio "
                                            "WHERE iAaiId = ?"),
                             {row});
        EXPECT_TRUE(q.next());
        return QVariantList{q.value(0), q.value(1), q.value(2), q.value(3), q.value(4)};
    };
    const QString folder = QStringLiteral("\\\\server\\scambio\\Rossi_D001\\");
    const struct
    {
        const char *step;
        std::function<void()> run;
        int sentColumn; // the column stamped now, 1 (sent) or 3 (received)
        QVariant received;
        QVariant dir;
    } steps[] = {
        {"received", [&] { book.markReceived(row); }, 3, 1, demoFolder},
        {"sent web", [&] { book.markSentWeb(row); }, 1, QVariant(), QVariant()},
        {"received again", [&] { book.markReceived(row); }, 3, 1, QVariant()},
        {"sent folder", [&] { book.markSentFolder(row, folder); }, 1, QVariant(), folder},
    };
    for (const auto &s : steps) {
        const QVariantList before = marks();
        const QDateTime from = databaseNow();
        TVxStatementRecorder recorder;
        s.run();
        const QDateTime to = databaseNow();
        const QVariantList after = marks();
        SCOPED_TRACE(s.step);
        EXPECT_EQ(after.at(0).toInt(), 1);
        const QDateTime stamp = after.at(s.sentColumn).toDateTime();
        EXPECT_TRUE(stamp >= from && stamp <= to) << stamp.toString().toStdString();
        if (s.sentColumn == 3)
            EXPECT_EQ(after.at(1), before.at(1)); // the send stays as it was
        else
            EXPECT_TRUE(after.at(3).isNull());
        EXPECT_EQ(after.at(2).isNull(), s.received.isNull());
        EXPECT_EQ(after.at(4).toString(), s.dir.toString());
        EXPECT_EQ(after.at(4).isNull(), s.dir.isNull());
        // No workstation time goes to the database.
        for (const TVxStatementRecorder::Statement &st : recorder.statements()) {
            for (int i = 0; i < st.values.size(); ++i)
                EXPECT_NE(st.values.value(i).typeId(), QMetaType::QDateTime);
        }
    }

    // Marks by hand, and a row another office deleted.
    const QDateTime when(QDate(2009, 6, 12), QTime(9, 0));
    book.setMarks(row, {1, when, QVariant(), QVariant(), folder});
    const QVariantList set = marks();
    EXPECT_EQ(set.at(0).toInt(), 1);
    EXPECT_EQ(set.at(1).toDateTime(), when);
    EXPECT_TRUE(set.at(2).isNull() && set.at(3).isNull());
    EXPECT_EQ(set.at(4).toString(), folder);
    book.setReceivedMarks(row, 1, when.addDays(3));
    EXPECT_EQ(marks().at(3).toDateTime(), when.addDays(3));
    runSql(QStringLiteral("DELETE FROM TAai_AnaAppInvio WHERE iAaiId = ?"), {row});
    EXPECT_THROW(book.markReceived(row), EVxException);
    EXPECT_THROW(book.markSentFolder(row, folder), EVxException);
}

TEST_F(SendModes, TeachersOfAModeAreTheWorkingSessionsByName)
{
    SendBookkeeping book(qqoVxGlobConn());
    const QList<int> web = rolesOfMode(5);
    addRow(web.first(), 5, otherSession()); // another session's row is not counted
    const QList<SendModeTeacher> teachers = book.teachersOfMode(5, kSession);
    ASSERT_EQ(teachers.size(), web.size());
    EXPECT_EQ(book.teacherCount(5, kSession), web.size());
    EXPECT_EQ(book.teacherCount(3, kSession), 0);
    QList<int> roles;
    for (int i = 0; i < teachers.size(); ++i) {
        const SendModeTeacher &t = teachers.at(i);
        roles << t.iAnaCagId;
        EXPECT_EQ(t.iModId, 5);
        EXPECT_EQ(t.sModDesc, QStringLiteral("Servizio web"));
        EXPECT_FALSE(t.iAaiInviato);
        EXPECT_TRUE(t.dAaiInviato.isNull());
        const QStringList name = t.sDocNome.split(QLatin1Char(' '));
        EXPECT_GE(name.size(), 2);
        if (i > 0) {
            EXPECT_LE(teachers.at(i - 1).sAnaCognomeNomeIdx, t.sAnaCognomeNomeIdx);
        }
    }
    std::sort(roles.begin(), roles.end());
    EXPECT_EQ(roles, web);
}
