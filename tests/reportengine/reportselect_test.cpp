// A report dataset that asks for its selection form: the form created by its class name and
// answered through the dialog seam, then only the rows chosen printed, in the dataset's order.
#include "platform/datasetmodel.h"
#include "platform/dialogseam.h"
#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "platform/multiselect.h"
#include "reportengine/reportengine.h"

#include <gtest/gtest.h>

namespace {

void fill(TClientDataSet &data, const QList<int> &keys)
{
    data.AddFieldDef("iSitId", ftInteger);
    data.AddFieldDef("sNome", ftString, 20);
    data.CreateDataSet();
    for (int key : keys) {
        data.Append();
        data.FieldByName("iSitId")->setValue(key);
        data.FieldByName("sNome")->setValue(QStringLiteral("Alunno %1").arg(key));
        data.Post();
    }
}

// The form's own list holds the rows in another order than the report's dataset.
class ProvaScelta : public TfmVxMultiSelect
{
public:
    explicit ProvaScelta(QWidget *parent) : TfmVxMultiSelect(parent)
    {
        fill(list, {40, 30, 20, 10});
        model.SetDataSet(&list);
        SetDataSet(&model);
    }
    TClientDataSet list;
    TVxClientDataSetModel model;
};

TEST(ReportSelection, PrintsOnlyTheChosenRowsOrNothingWhenCancelled)
{
    FormRegistry::registerClass("TfmProvaScelta", [](QWidget *p) { return new ProvaScelta(p); });
    TClientDataSet data;
    fill(data, {10, 20, 30, 40});
    TfrDataModule module("dmScelta");
    TVxfrDBDataSet *select =
        module.AddSelectReportDataSet("frdScelta", module.AddClientDataSet("cdsAlunni", &data));
    select->SelectForm = "TfmProvaScelta";
    select->ShowSelectForm = true;
    select->DoAfterSelect = true;
    select->KeyField = "iSitId";
    QStringList events;
    select->OnBeforeSelectForm = [&](TVxfrDBDataSet &, QWidget *) { events << "before"; };
    select->OnAfterSelectForm = [&](TVxfrDBDataSet &, QWidget *) { events << "after"; };
    TfrReport report;
    // Two bands over the dataset: the form shows once, and both print the same rows.
    report.LoadFromTemplate(frReadTemplate(
        R"(<report version="1" title="Scelta">)"
        R"(<data name="A" dataset="frdScelta" height="5"><text name="N" left="0" top="0" )"
        R"(width="80" height="5">[frdScelta."sNome"]</text></data>)"
        R"(<data name="B" dataset="frdScelta" height="5"><text name="M" left="0" top="0" )"
        R"(width="80" height="5">[frdScelta."iSitId"]</text></data></report>)"));

    struct Case
    {
        QList<int> chosen; // rows of the form's list; none: Cancel
        QStringList printed;
    };
    const Case cases[] = {
        {{}, {}},
        {{0, 2}, {"Alunno 20", "Alunno 40", "20", "40"}},
        {{3}, {"Alunno 10", "10"}},
    };
    for (const Case &c : cases) {
        ScriptedDialogs dialogs;
        events.clear();
        if (!c.chosen.isEmpty())
            DialogSeam::queueModalScript([&c](QDialog *d) {
                static_cast<ProvaScelta *>(d)->SetSelectedRows(c.chosen);
                return int(mrOk);
            });
        EXPECT_EQ(report.PrepareReport(), !c.chosen.isEmpty());
        EXPECT_EQ(report.Cancelled(), c.chosen.isEmpty());
        QStringList printed;
        for (const TfrPage &page : report.Pages().Pages)
            for (const TfrDisplayItem &item : page.Items)
                printed << item.Text;
        EXPECT_EQ(printed, c.printed);
        EXPECT_EQ(events.join(' '), c.chosen.isEmpty() ? "before" : "before after");
        ASSERT_EQ(DialogSeam::shown().size(), 1); // the form, and no message
        EXPECT_EQ(DialogSeam::shown().front().kind, "modal");
        // The next reader of the dataset finds every row again.
        select->DataSet->Close();
        select->DataSet->Open();
        EXPECT_EQ(select->DataSet->RecordCount(), 4);
    }
    FormRegistry::unregisterClass("TfmProvaScelta");
}

} // namespace
