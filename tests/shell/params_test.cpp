#include "platform/dialogs.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/parammanager.h"
#include "shell/qelparams.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QDialog>

namespace {

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

int indexOfId(const QComboBox *box, int id)
{
    for (int i = 0; i < box->count(); ++i) {
        if (enumItemId(box, i) == id)
            return i;
    }
    return -1;
}

const QStringList kSessions39 = {
    QStringLiteral("Primo periodo"), QStringLiteral("Scrutinio finale"),
    QStringLiteral("Sessione differita"), QStringLiteral("Esame di qualifica")};

} // namespace

TEST(SessionParameter, FollowsTheYearChosenInTheDialogAndStoresTheSessionId)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    setDemoWorkingContext();
    TdmqelParams params;
    ScriptedDialogs dialogs;
    DialogSeam::queueModalScript([&](QDialog *) {
        auto *session = qobject_cast<QComboBox *>(
            params.xpmVxuParams->Control(TVxWorkingContext::sessionKey()));
        auto *year = qobject_cast<QComboBox *>(
            params.xpmVxuParams->Control(TVxWorkingContext::schoolYearKey()));
        EXPECT_EQ(items(session), kSessions39);
        EXPECT_EQ(session->currentText(), QStringLiteral("Scrutinio finale"));
        // Another year: the list follows at once, in the year's session order.
        year->setCurrentIndex(indexOfId(year, 38));
        EXPECT_EQ(items(session), kSessions39.mid(0, 3));
        session->setCurrentIndex(indexOfId(session, 383));
        return int(mrOk);
    });
    EXPECT_TRUE(params.xpmVxuParams->Execute());
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::schoolYearKey()).toInt(), 38);
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::sessionKey()).toString(),
              QStringLiteral("383"));

    // No session chosen is stored as "0", which counts as no session.
    DialogSeam::queueModalScript([&](QDialog *) {
        auto *session = qobject_cast<QComboBox *>(
            params.xpmVxuParams->Control(TVxWorkingContext::sessionKey()));
        session->setCurrentIndex(-1);
        return int(mrOk);
    });
    EXPECT_TRUE(params.xpmVxuParams->Execute());
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::sessionKey()).toString(),
              QStringLiteral("0"));
}

TEST(SessionParameter, NoInstituteOrYearOrADamagedValueGivesAnEmptyChoice)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), 2);
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), QVariant());
    xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), QStringLiteral("abc"));
    TdmqelParams params;
    ScriptedDialogs dialogs;
    DialogSeam::queueModalScript([&](QDialog *) {
        auto *session = qobject_cast<QComboBox *>(
            params.xpmVxuParams->Control(TVxWorkingContext::sessionKey()));
        EXPECT_EQ(session->count(), 0);
        EXPECT_EQ(session->currentIndex(), -1);
        return int(mrCancel);
    });
    EXPECT_FALSE(params.xpmVxuParams->Execute());
    // The damaged value raised nothing and nothing was stored.
    EXPECT_EQ(DialogSeam::shownTexts(), QStringList{QStringLiteral("Parametri applicazione")});
    EXPECT_EQ(xgvmGlobalVar.GetValues(TVxWorkingContext::sessionKey()).toString(),
              QStringLiteral("abc"));
}
