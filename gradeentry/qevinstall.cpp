#include "gradeentry/qevinstall.h"

#include "gradeentry/qevactivations.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevfcarcls.h"
#include "gradeentry/qevfcardeb.h"
#include "gradeentry/qevfcarmat.h"
#include "gradeentry/qevfcarsng.h"
#include "gradeentry/qevfselcarclsdett.h"
#include "gradeentry/qevfselitem.h"
#include "platform/formregistry.h"
#include "shell/qelactivations.h"
#include "shell/qelstartup.h"

void registerGradeEntryForms()
{
    TAVRIN_REGISTER_FORM(TfmqevCarCls);
    TAVRIN_REGISTER_FORM(TfmqevCarSng);
    TAVRIN_REGISTER_FORM(TfmqevCarMat);
    TAVRIN_REGISTER_FORM(TfmqevCarDeb);
    TAVRIN_REGISTER_FORM(TfmQevSelCarCls);
    TAVRIN_REGISTER_FORM(TfmQevSelCarClsAlu);
    TAVRIN_REGISTER_FORM(TfmqevSelCarClsMat);
    TAVRIN_REGISTER_FORM(TfmqevSelItem);
}

void installGradeEntry()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    qelStartupHooks().registerForms.append(registerGradeEntryForms);
    TdmqelActivations::addContributor([](TdmqelActivations *table) {
        if (!dmqevActivations) {
            dmqevActivations = new TdmqevActivations(table);
            dmqevActivations->Ruolo = QStringLiteral("Segreteria");
        }
        if (!dmqevDataSets)
            dmqevDataSets = new TdmqevDataSets(table);
        table->Merge(dmqevActivations);
        TVxApgPage *gestione = table->page(QStringLiteral("xpgVal"));
        int order = 0;
        for (TVxAttForm *command : {dmqevActivations->xafCarCls, dmqevActivations->xafCarSng,
                                    dmqevActivations->xafCarMat}) {
            command->SetParentPage(gestione);
            command->Order = order;
            command->ImageIndex = order;
            ++order;
        }
    });
}
