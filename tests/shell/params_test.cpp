#include "platform/dialogs.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/parammanager.h"
#include "shell/qelparams.h"
#include "tests/shell/shellfixture.h"

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
    ShellDatabase db;
    ASSERT_TRUE(db.opened);
    xgvmGlobalVar.SetValues(QStringLiteral("VXUP_DwgId"), 2);
    xgvmGlobalVar.SetValues(QStringLiteral("VXUP_AnsId"), 39);
    xgvmGlobalVar.SetValues(QStringLiteral("QELP_AnsSesDwgId"), 392);
    TdmqelParams params;
    ScriptedDialogs dialogs;
    DialogSeam::queueModalScript([&](QDialog *) {
        auto *session = qobject_cast<QComboBox *>(
            params.xpmVxuParams->Control(QStringLiteral("QELP_AnsSesDwgId")));
        auto *year =
            qobject_cast<QComboBox *>(params.xpmVxuParams->Control(QStringLiteral("VXUP_AnsId")));
        EXPECT_EQ(items(session), kSessions39);
        EXPECT_EQ(session->currentText(), QStringLiteral("Scrutinio finale"));
        // Another year: the list follows at once, in the year's session order.
        year->setCurrentIndex(indexOfId(year, 38));
        EXPECT_EQ(items(session), kSessions39.mid(0, 3));
        session->setCurrentIndex(indexOfId(session, 383));
        return int(mrOk);
    });
    EXPECT_TRUE(params.xpmVxuParams->Execute());
    EXPECT_EQ(xgvmGlobalVar.GetValues(QStringLiteral("VXUP_AnsId")).toInt(), 38);
    EXPECT_EQ(xgvmGlobalVar.GetValues(QStringLiteral("QELP_AnsSesDwgId")).toString(),
              QStringLiteral("383"));

    // No session chosen is stored as "0", which counts as no session.
    DialogSeam::queueModalScript([&](QDialog *) {
        auto *session = qobject_cast<QComboBox *>(
            params.xpmVxuParams->Control(QStringLiteral("QELP_AnsSesDwgId")));
        session->setCurrentIndex(-1);
        return int(mrOk);
    });
    EXPECT_TRUE(params.xpmVxuParams->Execute());
    EXPECT_EQ(xgvmGlobalVar.GetValues(QStringLiteral("QELP_AnsSesDwgId")).toString(),
              QStringLiteral("0"));
}

TEST(SessionParameter, NoInstituteOrYearOrADamagedValueGivesAnEmptyChoice)
{
    ShellDatabase db;
    ASSERT_TRUE(db.opened);
    xgvmGlobalVar.SetValues(QStringLiteral("VXUP_DwgId"), 2);
    xgvmGlobalVar.SetValues(QStringLiteral("VXUP_AnsId"), QVariant());
    xgvmGlobalVar.SetValues(QStringLiteral("QELP_AnsSesDwgId"), QStringLiteral("abc"));
    TdmqelParams params;
    ScriptedDialogs dialogs;
    DialogSeam::queueModalScript([&](QDialog *) {
        auto *session = qobject_cast<QComboBox *>(
            params.xpmVxuParams->Control(QStringLiteral("QELP_AnsSesDwgId")));
        EXPECT_EQ(session->count(), 0);
        EXPECT_EQ(session->currentIndex(), -1);
        return int(mrCancel);
    });
    EXPECT_FALSE(params.xpmVxuParams->Execute());
    // The damaged value raised nothing and nothing was stored.
    EXPECT_EQ(DialogSeam::shownTexts(), QStringList{QStringLiteral("Parametri applicazione")});
    EXPECT_EQ(xgvmGlobalVar.GetValues(QStringLiteral("QELP_AnsSesDwgId")).toString(),
              QStringLiteral("abc"));
}
