#include "reports/qelreportforms.h"

#include "platform/formregistry.h"
#include "reports/qelfaggstampe.h"
#include "reports/qelffirmapreside.h"
#include "reports/qelfgestionevolumi.h"
#include "reports/qelfopzioniregistri.h"
#include "reports/qelfparrpt.h"
#include "reports/qelfselrptansbs.h"
#include "reports/qelfstampaverbali.h"

void registerReportForms()
{
    TAVRIN_REGISTER_FORM(TfmqelParRpt);
    TAVRIN_REGISTER_FORM(TfmQelAggStampe);
    TAVRIN_REGISTER_FORM(TfmqelSelRptAnsSesBs);
    TAVRIN_REGISTER_FORM(TfmQelOpzioniRegistri);
    TAVRIN_REGISTER_FORM(TfmQelFirmaPreside);
    TAVRIN_REGISTER_FORM(TfmQelStampaVerbali);
    TAVRIN_REGISTER_FORM(TfmQelGestioneVolumi);
}
