#include "exchange/qelexportpst.h"

#include "exchange/qelwait.h"
#include "exchange/qelxml.h"
#include "platform/connection.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

#include <memory>
#include <vector>

QString PlanFolderName(const QString &planDescription)
{
    return TKIENormalizeString(planDescription.trimmed());
}

QList<TqelClassPlan> ClassPlans(int classId)
{
    QList<TqelClassPlan> plans;
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsId"), classId);
    VxEachRow(qqoVxGlobConn(),
              QStringLiteral("SELECT DISTINCT Pst.iPstId, Pst.sPstLDesc FROM TPst_PianiStudio Pst "
                             "INNER JOIN TClsPst ClsPst ON (ClsPst.iPstId = Pst.iPstId) "
                             "WHERE ClsPst.iClsId = :iClsId"),
              values, [&plans](const QSqlQuery &query, const QSqlRecord &) {
                  plans.append({query.value(0).toInt(), query.value(1).toString()});
              });
    return plans;
}

TdmqelExportPst::TdmqelExportPst()
    : iAnsSesDwgId(TVxWorkingContext::session()), iAnsId(TVxWorkingContext::schoolYear())
{
}

void TdmqelExportPst::LoadPstClassFlags(int classId)
{
    TdmqelXML engine;
    engine.iMode = 1;
    engine.iAnsSesDwgId = iAnsSesDwgId;
    engine.LoadClassFlags(classId);
    iClsId = classId;
    iVot = engine.iVot;
    iVtp = engine.iVtp;
    iTas = engine.iTas;
    iAss = engine.iAss;
    iAiu = engine.iAiu;
    iNot = engine.iNot;
    iDeb = engine.iDeb;
    iEsi = engine.iEsi;
    iCre = engine.iCre;
    iGdz = engine.iGdz;
}

QStringList TdmqelExportPst::CollectPlanFolders(const QStringList &folders)
{
    bool unused = false;
    TfmqelWait wait(QStringLiteral("Raccolta dati della classe: ") + sClsDesc,
                    TfmqelWait::Centred, unused);
    // The importer never reads the flag: a button that does nothing is not offered.
    wait.SetCancelVisible(false);
    wait.ShowWait();

    // Every plan folder is checked and read before the first write: one refused changes nothing.
    std::vector<std::unique_ptr<TdmqelXML>> plans;
    for (const QString &folder : folders) {
        auto engine = std::make_unique<TdmqelXML>();
        engine->iMode = 1;
        engine->iAnsSesDwgId = iAnsSesDwgId;
        engine->iAnsId = iAnsId;
        engine->iClsId = iClsId;
        engine->iClsSesId = iClsSesId;
        engine->sClsDesc = sClsDesc;
        engine->sFolder = LongDir(folder);
        engine->iVot = iVot;
        engine->iVtp = iVtp;
        engine->iTas = iTas;
        engine->iAss = iAss;
        engine->iAiu = iAiu;
        engine->iNot = iNot;
        engine->iDeb = iDeb;
        engine->iEsi = iEsi;
        engine->iCre = iCre;
        engine->iGdz = iGdz;
        const QString named = QDir::toNativeSeparators(engine->sFolder);
        // The class folder holds a folder per plan, named as the send names it.
        if (!QFileInfo(engine->sFolder).isDir())
            throw EVxException(QStringLiteral("Manca la cartella del piano di studio \"%1\": %2"
                                              "\r\rNessun dato è stato modificato.")
                                   .arg(QDir(folder).dirName(), named));
        if (const QString fault = engine->ClassFolderFault(iClsId, iClsSesId); !fault.isEmpty())
            throw EVxException(fault + QStringLiteral("\r\rNessun dato è stato modificato."));
        // Its messages name the folder or the file.
        engine->LoadCollectPackets();
        plans.push_back(std::move(engine));
    }
    m_summary.clear();
    if (plans.empty())
        return {};

    // The first plan's engine keeps the steps stored, for the message of a failure; a row that
    // any plan folder could not write keeps the kind as it was.
    TdmqelXML &first = *plans.front();
    const auto refused = [&] {
        int rows = 0;
        for (const auto &plan : plans)
            rows += plan->RefusedRows();
        return rows;
    };
    // What a step may write is every plan folder's pupils' rows.
    const auto rowsOf = [&](int stepId) {
        return [&plans, stepId](TVxTransaction &tr) {
            QStringList rows;
            for (const auto &plan : plans)
                rows << plan->StepRows(stepId, tr);
            // The folders share their pupils' earlier years and the class's make-up records:
            // one row read by two of them is one row.
            rows.removeDuplicates();
            return rows;
        };
    };
    const auto step = [&](const QString &what, int stepId,
                          const std::function<void(TdmqelXML &, TVxTransaction &)> &run) {
        wait.Refresh();
        first.CollectStep(
            what,
            [&](TVxTransaction &tr) {
                for (const auto &plan : plans)
                    run(*plan, tr);
            },
            refused, rowsOf(stepId));
    };
    const auto replace = [&](int kind, const QString &what) {
        wait.Refresh();
        first.CollectStep(
            what,
            [&](TVxTransaction &tr) {
                for (const auto &plan : plans)
                    plan->DeleteKindData(kind, tr);
                for (const auto &plan : plans)
                    plan->ImportKindData(kind, tr);
            },
            refused, rowsOf(kind));
    };
    const QPair<int, const char *> kinds[] = {{iVot, "voti"},       {iVtp, "voti proposti"},
                                              {iTas, "tassonomie"}, {iAss, "assenze"},
                                              {iAiu, "aiuti"},      {iNot, "note"}};
    for (int kind = 0; kind <= 5; ++kind)
        if (kinds[kind].first == 1)
            replace(kind, QLatin1String(kinds[kind].second));
    if (iDeb == 1) {
        replace(7, QStringLiteral("debiti"));
        step(QStringLiteral("verifiche dei debiti"), TdmqelXML::kStepDebtVerifications,
             [](TdmqelXML &plan, TVxTransaction &tr) { plan.UpdateClassDebts(tr); });
    }
    if (iEsi == 1)
        replace(9, QStringLiteral("esiti finali"));
    if (iCre == 1)
        step(QStringLiteral("crediti"), TdmqelXML::kStepCredits,
             [](TdmqelXML &plan, TVxTransaction &tr) {
                 plan.ImportEachPupil(tr, &TdmqelXML::ImportPupilCredit);
             });
    if (iGdz == 1)
        replace(8, QStringLiteral("giudizi"));
    step(QStringLiteral("recuperi"), TdmqelXML::kStepMakeUps,
         [](TdmqelXML &plan, TVxTransaction &tr) {
             plan.ImportEachPupil(tr, &TdmqelXML::ImportPupilRecuperi);
         });
    QStringList log, notInFolder;
    for (const auto &plan : plans) {
        log << plan->CollectLog();
        notInFolder << plan->NotInFolder();
    }
    // The steps ran on the first folder's engine, which counted what they changed.
    m_summary = CollectionSummary(notInFolder, first.ChangeLines());
    return log;
}
