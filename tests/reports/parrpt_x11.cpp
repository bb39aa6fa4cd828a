// Run by tests/makeup/run_under_xvfb.sh on a private X server: the print settings on the demo
// school, the template download and the digital registers' options and signature as the office
// sees them, with the window system's own fonts and frames. The screenshots go to
// $TAVRIN_SCREENSHOTS.

#include "platform/frames.h"
#include "reports/qelfaggstampe.h"
#include "reports/qelffirmapreside.h"
#include "reports/qelfopzioniregistri.h"
#include "reports/qelfparrpt.h"
#include "shell/qelpargen.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QComboBox>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

TEST(ParRptX11, PrintSettingsOnTheDemoSchool)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    setDemoWorkingContext();
    TdmqelParGen parGen;
    dmqelParGen = &parGen;
    runSql(QStringLiteral("UPDATE TParVal SET bParVal = ? WHERE iParValId = 1"),
           {QByteArray("[Sessione1]\r\nCodSessione1=391\r\nCodComponente1=1\r\n"
                       "CodComponente2=2\r\n[Sessione3]\r\nCodSessione3=392\r\n"
                       "[Tabelloni]\r\nEsiti=17;19;\r\n")});
    ScriptedDialogs dialogs;
    TfmqelParRpt dialog;
    EXPECT_EQ(dialog.cbSes(1)->currentData().toInt(), 391);
    EXPECT_EQ(dialog.cbCmp(1, 2)->currentData().toInt(), 2);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    saveScreenshot(&dialog, QStringLiteral("parrpt_pagelle.png"));
    dialog.pcMain()->setCurrentIndex(1);
    EXPECT_EQ(dialog.clEsi()->item(0)->checkState(), Qt::Unchecked);
    saveScreenshot(&dialog, QStringLiteral("parrpt_tabelloni.png"));
    dialog.close();

    TfmQelAggStampe download;
    download.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&download));
    saveScreenshot(&download, QStringLiteral("aggstampe.png"));
}

TEST(ParRptX11, RegisterOptionsAndSignatureOnTheDemoSchool)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    setDemoWorkingContext();
    ScriptedDialogs dialogs;
    TfmQelOpzioniRegistri options;
    options.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&options));
    options.dlElenco(0)->lvLeft()->item(0)->setSelected(true);
    saveScreenshot(&options, QStringLiteral("opzioniregistri.png"));
    TfmQelFirmaPreside signature;
    signature.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&signature));
    saveScreenshot(&signature, QStringLiteral("firmapreside.png"));
}
