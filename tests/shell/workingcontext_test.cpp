#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "shell/qelactivations.h"
#include "shell/qelutil.h"
#include "tests/support/testdb.h"

#include <gtest/gtest.h>

namespace {

const QString kYearMessage =
    QStringLiteral("Non è stato selezionato l'anno scolastico di lavoro.\n\n"
                   "Selezionarlo in \"Utilità e parametri - Parametri applicazione\".\n"
                   "Voce: \"Anno scolastico di lavoro\".");
const QString kSessionMessage =
    QStringLiteral("Non è stata selezionata la sessione scolastica di lavoro.\n\n"
                   "Selezionarla in \"Utilità e parametri - Parametri applicazione\".\n"
                   "Voce: \"Sessione di lavoro\".");

struct Stored
{
    const char *label;
    bool set;
    const char *value;
    bool valid;
};

// unset, blank, zero, a padded number and a damaged text.
const Stored kValues[] = {
    {"unset", false, "", false},    {"empty", true, "", false},   {"zero", true, "0", false},
    {"padded", true, " 12 ", true}, {"text", true, "abc", false},
};

// Stored as another program of the suite may have left it.
void store(const QString &name, const Stored &s)
{
    xgvmGlobalVar.SetValues(name, s.set ? QVariant(QString::fromLatin1(s.value)) : QVariant());
}

} // namespace

TEST(WorkingContext, SchoolYearCheckShowsTheYearMessageExactlyWhenTheYearIsNotAKey)
{
    TestMainDir mainDir;
    for (const Stored &s : kValues) {
        SCOPED_TRACE(s.label);
        ScriptedDialogs dialogs;
        store(TVxWorkingContext::schoolYearKey(), s);
        EXPECT_EQ(TdmqelActivations::RequireSchoolYear(), s.valid);
        EXPECT_EQ(DialogSeam::shownTexts(), s.valid ? QStringList() : QStringList{kYearMessage});
    }
}

TEST(WorkingContext, SessionCheckShowsTheSessionMessageExactlyWhenTheSessionIsNotAKey)
{
    TestMainDir mainDir;
    for (const Stored &s : kValues) {
        SCOPED_TRACE(s.label);
        ScriptedDialogs dialogs;
        store(TVxWorkingContext::sessionKey(), s);
        EXPECT_EQ(TdmqelActivations::RequireSession(), s.valid);
        EXPECT_EQ(DialogSeam::shownTexts(), s.valid ? QStringList() : QStringList{kSessionMessage});
    }
}

TEST(WorkingContext, ContextValuesThatAreNotNumbersCountAsUnset)
{
    TestMainDir mainDir;
    for (const Stored &s : kValues) {
        SCOPED_TRACE(s.label);
        store(TVxWorkingContext::sessionKey(), s);
        EXPECT_EQ(TVxWorkingContext::session(), s.valid ? 12 : 0);
    }
}

TEST(WorkingContext, StartUpCheckWithoutDialogOnlyAnswers)
{
    TestMainDir mainDir;
    ScriptedDialogs dialogs;
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), QStringLiteral("abc"));
    TVxWorkingContext::setSession(7);
    EXPECT_FALSE(CheckWorkingContext(nullptr));
    TVxWorkingContext::setInstitute(2);
    EXPECT_TRUE(CheckWorkingContext(nullptr));
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
}

TEST(SchoolYearText, IsTheStartYearSlashTheNextYear)
{
    EXPECT_EQ(AnnoScolText(2007), QStringLiteral("2007/2008"));
    EXPECT_EQ(AnnoScolText(1999), QStringLiteral("1999/2000"));
}
