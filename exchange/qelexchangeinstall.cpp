#include "exchange/qelexchangeinstall.h"

#include "exchange/qeldocdelweb.h"
#include "exchange/qelfdocinv.h"
#include "exchange/qelfdocparams.h"
#include "exchange/qelfdocreceiverecuperiweb.h"
#include "exchange/qelfdocreceiveweb.h"
#include "exchange/qelfdocsend.h"
#include "exchange/qelfdocsendrecuperiweb.h"
#include "exchange/qelfdocsendweb.h"
#include "exchange/qelfpagelleweb.h"
#include "exchange/qelfplanfolders.h"
#include "exchange/qelfrepos.h"
#include "exchange/qelfricec.h"
#include "exchange/qelfriced.h"
#include "exchange/qelfsendc.h"
#include "exchange/qelfsendd.h"
#include "exchange/qelfsendscrutinio.h"
#include "platform/formregistry.h"
#include "shell/qelstartup.h"

namespace {

void registerExchangeForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocInv);
    TAVRIN_REGISTER_FORM(TfmqelDocParams);
    TAVRIN_REGISTER_FORM(TfmqelPagelleWeb);
    TAVRIN_REGISTER_FORM(TfmqelRepos);
    TAVRIN_REGISTER_FORM(TfmqelSendScrutinio);
    TAVRIN_REGISTER_FORM(TfmqelSendC);
    TAVRIN_REGISTER_FORM(TfmqelRiceC);
    registerDocDelWebForms();
    registerDocSendWebForms();
    registerDocReceiveWebForms();
    registerSendDForms();
    registerRiceDForms();
    registerPlanFolderForms();
    registerDocFolderForms();
    // Make-up data over the web: the send.
    registerDocSendRecuperiWebForms();
    // The make-up collection over the web.
    registerDocReceiveRecuperiWebForms();
}

} // namespace

void installExchangeParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    qelStartupHooks().registerForms.append(registerExchangeForms);
}
