#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QDate>

TEST(GlobalVars, SetValuesOutliveTheObjectAndAnotherProgramsChangesAreSeenAtOnce)
{
    TestMainDir main;
    EXPECT_FALSE(xgvmGlobalVar.GetValues("QELX_Prova").isValid());
    xgvmGlobalVar.SetValues("QELX_Prova", 38);
    xgvmGlobalVar.SetValues("QELX_Data", QDate(2008, 6, 12));

    // A new manager (a later run of the program) reads the same values from ETC.
    const TVxGlobalVar later;
    EXPECT_EQ(later.GetValues("qelx_prova").toInt(), 38);
    EXPECT_EQ(GetVxuParamValue("QELX_Data").toDate(), QDate(2008, 6, 12));
    TVxINIFile(TVxGlobalVar::fileName()).WriteString("GLOBALVAR", "qelx_prova", "39");
    EXPECT_EQ(xgvmGlobalVar.GetValues("QELX_Prova").toInt(), 39);

    // Clearing a value makes it unset again, not "0" or an empty text.
    xgvmGlobalVar.SetValues("QELX_Prova", QVariant());
    EXPECT_FALSE(later.GetValues("QELX_Prova").isValid());

    // Several values are checked before the file is written: all of them or none.
    EXPECT_THROW(xgvmGlobalVar.SetValues({{"QELX_Data", QDate(2009, 1, 1)}, {"QELX=X", 1}}),
                 EVxException);
    EXPECT_EQ(later.GetValues("QELX_Data").toDate(), QDate(2008, 6, 12));
}

TEST(WorkingContext, TypedValuesStandUnderTheSuitesNamesAndDamagedOnesReadAsNotChosen)
{
    TestMainDir main;
    EXPECT_EQ(TVxWorkingContext::schoolYear(), 0);
    EXPECT_FALSE(TVxWorkingContext::reportDate().isValid());
    TVxWorkingContext::setInstitute(2);
    TVxWorkingContext::setSchoolYear(38);
    TVxWorkingContext::setSession(0);
    TVxWorkingContext::setReportDate(QDate(2008, 6, 12));
    EXPECT_EQ(TVxWorkingContext::institute(), 2);
    EXPECT_EQ(TVxWorkingContext::schoolYear(), 38);
    EXPECT_EQ(TVxWorkingContext::reportDate(), QDate(2008, 6, 12));

    // The other programs of the suite read these names from the shared file.
    const TVxINIFile ini(TVxGlobalVar::fileName());
    EXPECT_EQ(ini.ReadString("GlobalVar", "VXUP_DwgId"), "2");
    EXPECT_EQ(ini.ReadString("GlobalVar", "VXUP_AnsId"), "38");
    EXPECT_EQ(ini.ReadString("GlobalVar", "QELP_AnsSesDwgId"), "0");
    EXPECT_EQ(ini.ReadString("GlobalVar", "QELP_ReportDate"), "2008-06-12");

    for (const char *damaged : {"abc", " ", "12abc"}) {
        xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), damaged);
        EXPECT_EQ(TVxWorkingContext::schoolYear(), 0) << damaged;
    }
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), " 39 ");
    EXPECT_EQ(TVxWorkingContext::schoolYear(), 39);
    EXPECT_EQ(AggregateiDwgId(7), 7);
}
