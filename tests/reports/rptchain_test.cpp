// The report data module as the program holds it: created by the main window, driven by the
// report engine's scrolls through classes and pupils, prepared again by the "Docenti" reports.
#include "platform/attivazioni.h"
#include "reportengine/reportengine.h"
#include "reportengine/reporttree.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptqueries.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/support/runningprogram.h"

#include <QApplication>

namespace {

class RptChainTest : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        main()->show();
        main()->ensureFirstActivation();
        ASSERT_TRUE(dmqelRptDataSets);
        m = dmqelRptDataSets;
    }
    TfmqelMain *main() { return objects->mainWindow(); }
    void activate()
    {
        QEvent event(QEvent::WindowActivate);
        QApplication::sendEvent(main(), &event);
    }
    TfrQuery &q(const QString &name) { return *static_cast<TfrQuery *>(m->FindDataSet(name)); }

    // "qquAluMat iSitId A.iSitId open": the detail's parameter holds the named field of a
    // master's current row (A qquClsAlu, S qquClsSes, Z qquSituazioni, P qquGenitori, N
    // qquAlunni, X qquAluNoAnsId, M qquMatCmpCls, T qquMatTasCls, D qquAnsSesDwg), or a number;
    // "open" or "closed" says whether the scroll reopened it.
    void expectFollows(const QStringList &lines)
    {
        const QHash<QString, QString> masters{
            {"A", "qquClsAlu"},    {"S", "qquClsSes"},    {"Z", "qquSituazioni"},
            {"P", "qquGenitori"},  {"N", "qquAlunni"},    {"X", "qquAluNoAnsId"},
            {"M", "qquMatCmpCls"}, {"T", "qquMatTasCls"}, {"D", "qquAnsSesDwg"}};
        for (const QString &line : lines) {
            const QStringList w = line.split(' ');
            TfrQuery &detail = q(w[0]);
            const QStringList source = w[2].split('.');
            const QVariant expected =
                source.size() == 2 ? q(masters.value(source[0])).FieldByName(source[1]).Value()
                                   : QVariant(w[2].toInt());
            EXPECT_EQ(detail.ParamByName(w[1]).Value().toString(), expected.toString())
                << line.toStdString();
            EXPECT_EQ(detail.Active(), w[3] == "open") << line.toStdString();
        }
    }

    ScriptedDialogs dialogs;
    TdmqelRptDataSets *m = nullptr;
};

// After a move of qquClsAlu: what every detail of the pupil follows.
const QStringList kPupilDetails = {
    "qquMatCmpCls iClsSesId S.iClsSesId open",
    "qquMatCmpCls iSitId A.iSitId open",
    "qquMatTasCls iSitId A.iSitId open",
    "qquMatCls iClsSesId S.iClsSesId closed",
    "qquMatClsDeb iClsId S.iClsId closed",
    "qquMatClsDeb iSitId A.iSitId closed",
    "qquGenitori iAnaId A.iAnaId closed",
    "qquAlunniFrazRes iAnaId A.iAnaId closed",
    "qquSituazioni iAnaId A.iAnaId open",
    "qquSituazDettagli iSitId A.iSitId closed",
    "qquAluAna iAnaId A.iAnaId closed",
    "qquAluMat iSitId A.iSitId open",
    "qquAluMatTas iSitId A.iSitId open",
    "qquAluCmp iSitId A.iSitId closed",
    "qquClassi iClsPstId A.iClsPstId closed",
    "qquAluCls iClsPstId A.iClsPstId closed",
    "qquObbligoForm iSitId A.iSitId closed",
    "qquEsoneri iSitId A.iSitId closed",
    "qquScuolaProve iSitId A.iSitId closed",
    "qquScuolProDettagli iSitId A.iSitId closed",
    "qquAlunniDettagli iAnaId A.iAnaId closed",
    "qquCreAlu iSitId A.iSitId closed",
    "qquCreScoAlu iSitId A.iSitId closed",
    "qquAlunniRec iAnaId A.iAnaId closed",
    "qquAlunniDom iAbt 1 closed",
    "qquAlunniRec iAbt 3 closed",
    // The pupil's first situation, its parent and its sessions, reopened on the way.
    "qquCommissioni iClsId Z.iClsId closed",
    "qquSedi iClsId Z.iClsId closed",
    "qquVotiProve iSitId Z.iSitId closed",
    "qquDebiti iSitId Z.iSitId closed",
    "qquAluTas iSitId Z.iSitId closed",
    "qquAnsSesDwg iSitId Z.iSitId open",
    "qquAluMatSes iAnsSesDwgId 392 open",
    "qquAluMatTasSes iSitId Z.iSitId open",
    "qquAluCmpSes iAnsSesDwgId D.iAnsSesDwgId closed",
    "qquAluRecAllMat iSitId Z.iSitId closed",
    "qquAluTasSes iAnsSesDwgId D.iAnsSesDwgId closed",
    "qquNCmpMat iClsSesMatId M.iClsSesMatId closed",
};

} // namespace

TEST_F(RptChainTest, EachClassAndPupilMoveKeepsTheDetailsOnItsRow)
{
    m->SetSelAnsId(39);
    m->SetSelAnsSesDwgId(392);
    TfrQuery &classes = q("qquClsSes");
    classes.ParamByName("iAnsSesDwgId").setValue(392);
    classes.Open();
    ASSERT_EQ(classes.RecordCount(), 15);
    const QHash<int, QString> years{{1, "2008/2009"},
                                    {2, "2008/2009"},
                                    {3, "2008/2009"},
                                    {4, "2007/2008 2008/2009"},
                                    {5, "2006/2007 2007/2008 2008/2009"}};
    for (; !classes.Eof(); classes.Next()) {
        SCOPED_TRACE(classes.FieldByName("sClsSDesc").DisplayText().toStdString());
        expectFollows({"qquClsAlu iClsId S.iClsId open", "qquNCmpCls iClsId S.iClsId closed",
                       "qquNTasCls iAnsSesDwgId S.iAnsSesDwgId closed",
                       "qquNMatCls iClsId S.iClsId closed", "qquNMatDebCls iClsId S.iClsId closed",
                       "qquNMatDebCls iAnsId 39 closed", "qquClsMat iAnsSesDwgId 392 open",
                       "qquClsMatAns iClsId S.iClsId open"});
        QStringList listed;
        for (TfrQuery &crs = q("qquClsAnsCrs"); !crs.Eof(); crs.Next())
            listed << crs.FieldByName("Anno").DisplayText();
        EXPECT_EQ(listed.join(' '), years.value(classes.FieldByName("iAcsAnnoCorso").AsInteger()));
        // The class scroll leaves the chain on the class's first pupil.
        expectFollows(kPupilDetails);
    }

    // Through 5A's pupils, one move at a time.
    classes.First();
    while (classes.FieldByName("iClsId").AsInteger() != 39005)
        classes.Next();
    TfrQuery &pupils = q("qquClsAlu");
    int moves = 0;
    for (pupils.First(); !pupils.Eof(); pupils.Next(), ++moves) {
        SCOPED_TRACE(pupils.FieldByName("iSitId").AsInteger());
        expectFollows(kPupilDetails);
        TfrQuery &first = q("qquSituazioni");
        EXPECT_EQ(m->CurSitId(), first.FieldByName("iSitId").AsInteger());
        EXPECT_EQ(m->CurClsId(), first.FieldByName("iClsId").AsInteger());
        EXPECT_EQ(m->CurPstId(), first.FieldByName("iPstId").AsInteger());
        // The subject last scrolled is the current one, and its debt follows.
        expectFollows({"qquDebMat iSitId A.iSitId closed",
                       "qquDebMat iMatId " + QString::number(m->CurMatId()) + " closed"});
        // The parents, only set, open as their details are read.
        q("qquGenAna").Open();
        EXPECT_TRUE(q("qquGenitori").Active());
        if (q("qquGenitori").RecordCount() > 0)
            expectFollows(
                {"qquGenAna iAnaId P.iAnaId open", "qquGenitoriDom iAnaId P.iAnaId closed"});
    }
    EXPECT_EQ(moves, 25);
    EXPECT_EQ(m->CurMatId(), q("qquAluMatTas").FieldByName("iMatId").AsInteger());
}

TEST_F(RptChainTest, APupilReportFollowsThePupilAndItsYears)
{
    TfrQuery &pupils = q("qquAlunni");
    for (const auto &[name, value] : {std::pair{"iAnsId", 39},
                                      {"iAllId", 1},
                                      {"iClsId", 39005},
                                      {"iAllPosFinId", 0},
                                      {"iPosFinId", 0}})
        pupils.ParamByName(name).setValue(value);
    pupils.Open(); // the working institute comes as the list opens
    EXPECT_EQ(pupils.ParamByName("iDwgId").Value(), 2);
    ASSERT_EQ(pupils.RecordCount(), 26);
    for (; !pupils.Eof(); pupils.Next()) {
        expectFollows({"qquAluNoAnsId iDwgId 2 closed", "qquAluNoAnsId iAnaId N.iAnaId closed",
                       "qquAluCls iClsPstId N.iClsPstId closed",
                       // The pupil's first situation takes the debts over, as it comes later.
                       "qquDebiti iSitId Z.iSitId closed", "qquAlunniDom iAnaId N.iAnaId closed",
                       "qquAluMat iSitId N.iSitId open", "qquCreFrmAlu iSitId N.iSitId closed"});
        q("qquAnaGme").Open(); // its master first
        expectFollows({"qquAluNoAnsId iAnaId N.iAnaId open", "qquAnaGme iAnaId X.iAnaId open"});
    }
}

TEST_F(RptChainTest, TheDocentiReportsPrepareTheQueriesAgain)
{
    // A register run replaced the class list's text; reports left their parameters (the
    // loop below finds each back at its start: null, All 0, iAbt 2).
    m->SetSelAnsId(39);
    q("qquClsSes").ParamByName("iAnsSesDwgId").setValue(392);
    q("qquClsSes").Open();
    const QString years = q("qquClsAnsCrs").SQL();
    q("qquClsSes").setSQL("SELECT 1 AS iClsId FROM RDB$DATABASE");
    q("qquDataOwner").ParamByName("All").setValue(1);
    q("qquAlunniRes").ParamByName("iAbt").setValue(7);

    TVxAttItem *command = dmqelActivations->Item("xacRepInvio");
    bool allowed = false;
    command->BeforeExecute(command, allowed);
    EXPECT_TRUE(allowed);

    for (const QelRptQueryText &text : qelRptQueryTexts()) {
        TfrQuery &prepared = q(text.name);
        EXPECT_EQ(prepared.SQL(), text.sql) << text.name.toStdString();
        EXPECT_FALSE(prepared.Active()) << text.name.toStdString();
        for (const auto &[name, initial] : text.params)
            EXPECT_EQ(prepared.ParamByName(name).Value(), initial) << text.name.toStdString();
    }
    EXPECT_EQ(q("qquClsAnsCrs").SQL(), years);
}

TEST_F(RptChainTest, TheModuleLivesWithTheMainWindowAndEndsEveryReport)
{
    activate(); // a second activation creates and registers nothing more
    EXPECT_EQ(dmqelRptDataSets, m);
    TdmVxRptFR &rpt = qelReportTree(dmqelActivations)->RptFR();
    EXPECT_EQ(rpt.Report().RegisteredDataModules(), QStringList({"dmqelRptDataSets"}));
    EXPECT_EQ(frDataModules().count(m), 1);
    // The templates reach the module's datasets by their report names.
    EXPECT_EQ(rpt.Report().FindDataSet("frdClsSes"), &q("qquClsSes"));
    EXPECT_EQ(rpt.Report().FindDataSet("frdVolumi"), m->FindDataSet("cdsTitoli"));

    // The "Docenti" reports print the working session's send records with the classes each
    // teacher coordinates. One that stops (a statement the database refuses) closes every
    // dataset all the same.
    for (const int report : {16005, 16006}) {
        rpt.LoadReportFromVxDB(report);
        ASSERT_TRUE(rpt.PrepareReport()) << report;
        EXPECT_TRUE(rpt.Report().Pages().dump().contains("\"Marchetti Chiara\"")) << report;
        EXPECT_TRUE(rpt.Report().Pages().dump().contains("\"1A 3A 5A\"")) << report;
    }
    q("qquCreAlu").ParamByName("iSitId").setValue(957);
    q("qquCreAlu").Open();
    EXPECT_EQ(q("qquAai").ParamByName("iAnsSesDwgId").Value(), 392); // the working session
    q("qquAai").setSQL("SELECT x FROM TNonEsiste");
    EXPECT_THROW(rpt.PrepareReport(), EVxException);
    for (TfrDataSet *ds : m->DataSets())
        EXPECT_FALSE(ds->Active()) << ds->Name().toStdString();

    QPointer<QObject> module = m;
    main()->close();
    EXPECT_FALSE(module);
    EXPECT_EQ(dmqelRptDataSets, nullptr);
    EXPECT_EQ(frDataModules().count(m), 0);
}
