#include "exchange/qelfdocreceiverecuperiweb.h"

#include "exchange/qelfselectfaserecupero.h"
#include "exchange/qelrdocreceivecls.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebcollect.h"
#include "exchange/qelwebrecupericollect.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QCheckBox>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

#include <memory>

TfmqelDocReceiveRecuperiWeb::TfmqelDocReceiveRecuperiWeb(QWidget *owner)
    : TfmqelDocReceiveWeb(owner)
{
    setObjectName(QStringLiteral("fmqelDocReceiveRecuperiWeb"));
    setWindowTitle(QStringLiteral("Raccolta recuperi dei docenti da Tavrin-Web"));
    ckForzata()->hide();
    pcTipologia()->setTabVisible(pcTipologia()->indexOf(tsSingleDoc()), false);
    pcTipologia()->setCurrentWidget(tsClasse());
}

void TfmqelDocReceiveRecuperiWeb::PrepareDownload()
{
    m_iAnsId = TVxWorkingContext::schoolYear();
    // The service would answer for a phase no school has.
    if (m_iFreId == 0 || m_iAnsId == 0)
        throw EVxException(QStringLiteral("Selezionare la fase di recupero da raccogliere."));
}

void TfmqelDocReceiveRecuperiWeb::RequestExport(TTavrinWebConnection &web)
{
    web.ExportRecuperi(WorkFolder() + QLatin1String(QelWebMakeUpCollection::kArchiveName),
                       m_iFreId);
}

void TfmqelDocReceiveRecuperiWeb::UnpackExport()
{
    QelWebMakeUpCollection::Unpack(WorkFolder());
}

void TfmqelDocReceiveRecuperiWeb::DeletePackets()
{
    QelWebCollection::DeletePackets(WorkFolder(),
                                    {QLatin1String(QelWebMakeUpCollection::kPacketName)});
}

void TfmqelDocReceiveRecuperiWeb::ListsOpened()
{
    // A collection always covers every class of the session.
    TfrqelDocReceiveCls *classes = frqelDocReceiveClasse_fm();
    classes->SelectAllRows();
    classes->grGrid()->setEnabled(false);
    classes->xoaCustom()->setEnabled(false);
}

void TfmqelDocReceiveRecuperiWeb::DownloadFailed()
{
    // Nothing to collect: an empty window would only ask to be closed. Once shown, the window
    // closes from the event loop, which a modal run is in by then.
    QTimer::singleShot(0, this, [this] { done(mrCancel); });
}

TfmqelDocReceiveWeb::TeacherImport
TfmqelDocReceiveRecuperiWeb::ClassImport(const QString &clsFilter)
{
    auto collection = std::make_shared<QelWebMakeUpCollection>(WorkFolder(), m_iAnsId, m_iFreId);
    collection->SetClsFilter(clsFilter);
    return {[collection](int iDocId, QStringList *log) {
                collection->ImportMakeUpResults(iDocId, log);
            },
            [collection] { return collection->Summary(); },
            [collection, session = AnsSesDwgId(), clsFilter](int iDocId) {
                return QelWebCollection::AssignmentLines(collection->Reads(), session, iDocId,
                                                         clsFilter);
            }};
}

void registerDocReceiveRecuperiWebForms()
{
    TAVRIN_REGISTER_FORM(TfmqelSelectFaseRecupero);
    TAVRIN_REGISTER_FORM(TfmqelDocReceiveRecuperiWeb);
}
