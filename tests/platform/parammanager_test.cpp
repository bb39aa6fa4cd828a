#include "platform/dialogs.h"
#include "platform/dialogseam.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/parammanager.h"

#include "tests/support/testdb.h"

#include <QComboBox>
#include <QDateEdit>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

bool tableExists(QSqlDatabase db, const char *name)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?"));
    q.addBindValue(QString::fromLatin1(name).toUpper());
    return q.exec() && q.next() && q.value(0).toInt() > 0;
}

void exec(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
}

// Institutes and years of their own (high keys, so the demo school's rows do not clash),
// and a session table the test's hooks read, as the program's session parameter does.
void createContext(QSqlDatabase db)
{
    if (!tableExists(db, "TDow_DataOwner"))
        exec(db, QStringLiteral("CREATE TABLE TDow_DataOwner (iDowId INTEGER NOT NULL PRIMARY KEY, "
                                "iDwgId INTEGER NOT NULL, sDowLDesc VARCHAR(100))"));
    if (!tableExists(db, "TAns_AnniScolast"))
        exec(db,
             QStringLiteral("CREATE TABLE TAns_AnniScolast (iAnsId INTEGER NOT NULL PRIMARY KEY, "
                            "iAnsValore SMALLINT NOT NULL, dAnsVextoInizio DATE NOT NULL, "
                            "dAnsVextoFine DATE NOT NULL)"));
    exec(db, QStringLiteral("CREATE TABLE TTestSes (iId INTEGER, iDwgId INTEGER, iAnsId INTEGER, "
                            "sDesc VARCHAR(50), iOrd INTEGER)"));
    exec(db, QStringLiteral("INSERT INTO TDow_DataOwner (iDowId, iDwgId, sDowLDesc) "
                            "VALUES (9001, 9001, 'Istituto d''arte')"));
    exec(db, QStringLiteral("INSERT INTO TDow_DataOwner (iDowId, iDwgId, sDowLDesc) "
                            "VALUES (9002, 9002, 'Liceo scientifico')"));
    exec(db, QStringLiteral("INSERT INTO TAns_AnniScolast (iAnsId, iAnsValore, dAnsVextoInizio, "
                            "dAnsVextoFine) VALUES (9038, 2090, '2090-09-01', '2091-08-31')"));
    exec(db, QStringLiteral("INSERT INTO TAns_AnniScolast (iAnsId, iAnsValore, dAnsVextoInizio, "
                            "dAnsVextoFine) VALUES (9039, 2091, '2091-09-01', '2092-08-31')"));
    exec(db, QStringLiteral("INSERT INTO TTestSes VALUES (501, 9001, 9038, 'Finale', 2)"));
    exec(db, QStringLiteral("INSERT INTO TTestSes VALUES (500, 9001, 9038, 'Primo periodo', 1)"));
}

// The session parameter's behaviour, written as the program's parameter module hooks it.
struct SessionHooks
{
    QSqlDatabase db;
    QPointer<QComboBox> cbDwg, cbAns, cbSes;
    QStringList events;

    void loadSessions(int dwg, int ans)
    {
        if (dwg == 0 || ans == 0) {
            cbSes->clear();
            return;
        }
        TVxFieldValues params;
        params.setValue(QStringLiteral("d"), dwg);
        params.setValue(QStringLiteral("a"), ans);
        LoadEnumValues(db, cbSes.data(),
                       QStringLiteral("SELECT iId, sDesc FROM TTestSes WHERE iDwgId = :d AND "
                                      "iAnsId = :a ORDER BY iOrd"),
                       params);
    }

    void install(TVxParamManager &manager)
    {
        manager.AfterCreateCtrl = [this](QWidget *control, TVxParamDef &param, bool &) {
            events << QStringLiteral("create:") + param.Name;
            auto *combo = qobject_cast<QComboBox *>(control);
            auto reload = [this] {
                loadSessions(enumItemId(cbDwg, cbDwg->currentIndex()),
                             enumItemId(cbAns, cbAns->currentIndex()));
            };
            if (param.Name.compare(QLatin1String("vxup_dwgid"), Qt::CaseInsensitive) == 0) {
                cbDwg = combo;
                QObject::connect(combo, &QComboBox::currentIndexChanged, combo, reload);
            } else if (param.Name.compare(TVxWorkingContext::schoolYearKey(),
                                          Qt::CaseInsensitive) == 0) {
                cbAns = combo;
                QObject::connect(combo, &QComboBox::currentIndexChanged, combo, reload);
            } else if (param.Name == TVxWorkingContext::sessionKey()) {
                cbSes = combo;
            }
        };
        manager.FillListParam = [this](QWidget *, TVxParamDef &param, bool &doDefault) {
            events << QStringLiteral("fill:") + param.Name;
            if (param.Name != TVxWorkingContext::sessionKey())
                return;
            loadSessions(xgvmGlobalVar.GetValues(TVxWorkingContext::instituteKey()).toInt(),
                         xgvmGlobalVar.GetValues(TVxWorkingContext::schoolYearKey()).toInt());
            doDefault = false;
        };
        manager.ReadParam = [this](QWidget *, TVxParamDef &param, bool &doDefault) {
            if (param.Name != TVxWorkingContext::sessionKey())
                return;
            for (int i = 0; i < cbSes->count(); ++i) {
                if (enumItemId(cbSes, i) == param.Value.toInt())
                    cbSes->setCurrentIndex(i);
            }
            doDefault = false;
        };
        manager.WriteParam = [this](QWidget *, TVxParamDef &param, bool &doDefault) {
            if (param.Name != TVxWorkingContext::sessionKey())
                return;
            param.Value = cbSes->currentIndex() < 0
                              ? QStringLiteral("0")
                              : QString::number(enumItemId(cbSes, cbSes->currentIndex()));
            doDefault = false;
        };
    }
};

struct ParamManagerTest : ::testing::Test
{
    void SetUp() override
    {
        db = testDb.connect();
        createContext(db);
        manager.SetConnection(db);
        hooks.db = db;
        hooks.install(manager);
        xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), 9001);
        xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 9038);
        xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), 501);
    }

    ScriptedDialogs scripted;
    TestMainDir mainDir;
    TestDatabase testDb;
    QSqlDatabase db;
    TVxParamManager manager;
    SessionHooks hooks;
};

TEST_F(ParamManagerTest, ShowsTheStoredContextAndKeepsItOnCancel)
{
    QStringList seen;
    DialogSeam::queueModalScript([&](QDialog *d) {
        seen << d->windowTitle() << hooks.cbDwg->currentText() << hooks.cbAns->currentText()
             << hooks.cbSes->currentText() << QString::number(hooks.cbSes->count());
        return int(mrCancel);
    });
    EXPECT_FALSE(manager.Execute());
    EXPECT_EQ(seen, (QStringList{"Parametri applicazione", "Istituto d'arte", "2090/2091", "Finale",
                                 "2"}));
    EXPECT_EQ(hooks.events.mid(0, 5),
              (QStringList{"create:" + TVxWorkingContext::instituteKey(),
                           "create:" + TVxWorkingContext::schoolYearKey(),
                           "create:" + TVxWorkingContext::sessionKey(),
                           "create:" + TVxWorkingContext::reportDateKey(),
                           "create:" + TVxWorkingContext::reportDateFormatKey()}));
    EXPECT_TRUE(hooks.events.contains("fill:" + TVxWorkingContext::sessionKey()));
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::sessionKey()).toString(),
              QStringLiteral("501"));
    EXPECT_EQ(manager.Dialog(), nullptr);
}

TEST_F(ParamManagerTest, ChangingTheYearReloadsSessionsAndNoSessionIsStoredAsZero)
{
    DialogSeam::queueModalScript([&](QDialog *d) {
        auto *date =
            d->findChild<QDateEdit *>(QStringLiteral("ctl") + TVxWorkingContext::reportDateKey());
        date->setDate(QDate(2091, 6, 12));
        auto *format = d->findChild<QComboBox *>(QStringLiteral("ctl") +
                                                 TVxWorkingContext::reportDateFormatKey());
        // The formats read in Italian, an example before each; chosen, one is stored as the
        // suite writes it.
        EXPECT_EQ(format->itemText(0), QStringLiteral("12/06/2009 (gg/mm/aaaa)"));
        EXPECT_EQ(format->itemText(3),
                  QString::fromUtf8("venerdì 12 giugno 2009 (gggg g mmmm aaaa)"));
        format->setCurrentIndex(1);
        hooks.cbAns->setCurrentIndex(hooks.cbAns->findText(QStringLiteral("2091/2092")));
        EXPECT_EQ(hooks.cbSes->count(), 0);
        return int(mrOk);
    });
    EXPECT_TRUE(manager.Execute());
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::schoolYearKey()).toString(),
              QStringLiteral("9039"));
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::sessionKey()).toString(),
              QStringLiteral("0"));
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::reportDateKey()).toDate(),
              QDate(2091, 6, 12));
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::reportDateFormatKey()).toString(),
              QStringLiteral("d mmmm yyyy"));
}

TEST_F(ParamManagerTest, NoInstituteGivesAnEmptySessionList)
{
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), QVariant());
    int sessions = -1;
    DialogSeam::queueModalScript([&](QDialog *) {
        sessions = hooks.cbSes->count();
        return int(mrOk);
    });
    EXPECT_TRUE(manager.Execute());
    EXPECT_EQ(sessions, 0);
    EXPECT_FALSE(xgvmGlobalVar.GetValues(TVxWorkingContext::instituteKey()).isValid());
}

TEST_F(ParamManagerTest, ListThatCannotBeReadIsReportedAndNothingStored)
{
    manager.FillListParam = nullptr;
    manager.ReadParam = nullptr;
    manager.WriteParam = nullptr;
    manager.ApplCodeList = {QStringLiteral("VX=1.0")};
    QSqlDatabase closed = testDb.connect();
    closed.close();
    manager.SetConnection(closed);
    EXPECT_FALSE(manager.Execute());
    ASSERT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_EQ(DialogSeam::shown()[0].kind, QStringLiteral("message"));
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::schoolYearKey()).toString(),
              QStringLiteral("9038"));
}

} // namespace
