#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "tests/support/testdb.h"

#include <QDate>

#include <gtest/gtest.h>

TEST(GlobalVars, UnsetValuesAreEmptyAndSetValuesOutliveTheObject)
{
    TestMainDir main;
    EXPECT_FALSE(xgvmGlobalVar.GetValues("VXUP_AnsId").isValid());
    EXPECT_FALSE(GetVxuParamValue("VXUP_DwgId").isValid());

    xgvmGlobalVar.SetValues("VXUP_AnsId", 38);
    xgvmGlobalVar.SetValues("VXUP_DwgId", 1);
    xgvmGlobalVar.SetValues("QELP_AnsSesDwgId", "0");
    xgvmGlobalVar.SetValues("QELP_ReportDate", QDate(2008, 6, 12));
    xgvmGlobalVar.SetValues("QELP_ReportDateFormat", "dd/MM/yyyy");

    // A new manager (a later run of the program) reads the same values from ETC.
    const TVxGlobalVar later;
    EXPECT_EQ(later.GetValues("vxup_ansid").toInt(), 38);
    EXPECT_EQ(GetVxuParamValue("VXUP_DwgId").toString(), QStringLiteral("1"));
    EXPECT_EQ(later.GetValues("QELP_AnsSesDwgId").toString().trimmed(), QStringLiteral("0"));
    EXPECT_EQ(later.GetValues("QELP_ReportDate").toDate(), QDate(2008, 6, 12));
    EXPECT_EQ(later.GetValues("QELP_ReportDateFormat").toString(), QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(TVxINIFile(TVxGlobalVar::fileName()).ReadString("GlobalVar", "VXUP_AnsId"),
              QStringLiteral("38"));

    // Clearing a value makes it unset again, not "0" or an empty text.
    xgvmGlobalVar.SetValues("VXUP_AnsId", QVariant());
    EXPECT_FALSE(later.GetValues("VXUP_AnsId").isValid());
    EXPECT_EQ(AggregateiDwgId(7), 7);
}

TEST(GlobalVars, AnotherProgramChangingTheFileIsSeenAtOnce)
{
    TestMainDir main;
    xgvmGlobalVar.SetValues("VXUP_AnsId", 38);
    TVxINIFile(TVxGlobalVar::fileName()).WriteString("GLOBALVAR", "vxup_ansid", "39");
    EXPECT_EQ(xgvmGlobalVar.GetValues("VXUP_AnsId").toInt(), 39);
}
