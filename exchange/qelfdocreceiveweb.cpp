#include "exchange/qelfdocreceiveweb.h"

#include "exchange/qelrdocreceivecls.h"
#include "exchange/qelrdocreceivesingleweb.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebcollect.h"
#include "exchange/qelwebcollectsql.h"
#include "platform/connection.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

const char kArchiveName[] = "twdocenti.zip";

} // namespace

TfmqelDocReceiveWeb::TfmqelDocReceiveWeb(QWidget *owner)
    : TfmVxOkCancDlg(owner), m_pages(new QTabWidget), m_singlePage(new QWidget),
      m_classPage(new QWidget), m_single(new TfrqelDocReceiveSingleWeb),
      m_classes(new TfrqelDocReceiveCls),
      m_forced(new QCheckBox(QStringLiteral(
          "Forza la raccolta in caso di modifiche alla configurazione dopo l'invio")))
{
    setObjectName(QStringLiteral("fmqelDocReceiveWeb"));
    setWindowTitle(QStringLiteral("Raccolta dati dei docenti da Tavrin-Web"));
    buCancel()->setText(QStringLiteral("Chiudi"));

    auto *layout = AddTeacherCollectionPages(ClientArea(), m_pages, m_singlePage, m_single,
                                             m_classPage, m_classes);
    m_pages->setCurrentWidget(m_classPage);
    m_forced->setObjectName(QStringLiteral("ckForzata"));
    layout->addWidget(m_forced);
    resize(640, 560);
}

TfmqelDocReceiveWeb::~TfmqelDocReceiveWeb() = default;

void TfmqelDocReceiveWeb::showEvent(QShowEvent *event)
{
    TfmVxOkCancDlg::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    FormShow();
}

void TfmqelDocReceiveWeb::FormShow()
{
    m_shown = true;
    const bool downloaded = RunShowingErrors([this] {
        const QString folder = dmqelParGen ? dmqelParGen->xpsDirWeb.GetValore().trimmed()
                                           : TdmqelParGen().xpsDirWeb.GetValore().trimmed();
        m_workFolder = LongDir(resolvePath(folder));
        m_iAnsSesDwgId = TVxWorkingContext::session();
        // A packet of an earlier download must not pass for one of this.
        DeletePackets();
        PrepareDownload();
        DownloadTeacherData();
        m_single->SetAnsSesDwgId(m_iAnsSesDwgId);
        m_single->OpenList();
        m_classes->SetAnsSesDwgId(m_iAnsSesDwgId);
        m_classes->OpenList();
        ListsOpened();
    });
    if (!downloaded)
        DownloadFailed();
}

void TfmqelDocReceiveWeb::PrepareDownload()
{
    m_iSesId = 0;
    VxEachRow(qqoVxGlobConn(), QelWebCollectSql::sessionNumber(),
              valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}}),
              [this](const QSqlQuery &q, const QSqlRecord &) { m_iSesId = q.value(0).toInt(); });
    // The service would answer for a session 0 that no school has.
    if (m_iSesId == 0)
        throw EVxException(QStringLiteral("Nessuna sessione di lavoro selezionata: "
                                          "impossibile ricevere i dati dal server."));
}

void TfmqelDocReceiveWeb::RequestExport(TTavrinWebConnection &web)
{
    web.ExportSessione(m_workFolder + QLatin1String(kArchiveName), m_iSesId);
}

void TfmqelDocReceiveWeb::UnpackExport()
{
    QelWebCollection::Unpack(m_workFolder);
}

void TfmqelDocReceiveWeb::DeletePackets()
{
    QelWebCollection::DeletePackets(m_workFolder, QelWebCollection::PacketNames());
}

void TfmqelDocReceiveWeb::DownloadTeacherData()
{
    {
        // "Annulla" ends the login, the export's waits or the download: nothing is unpacked.
        TfmVxWait wait(this, true);
        wait.SetTitle(QStringLiteral("Ricezione dati dal Server in corso. Attendere..."));
        wait.SetOperation(
            QStringLiteral("In relazione al carico del server l'operazione potrebbe\r\n"
                           "risultare particolarmente lunga (anche alcune decine di minuti)"));
        wait.ShowWait();
        TTavrinWebConnection web;
        web.SetWaitWindow(&wait);
        if (m_webTimeout > 0)
            web.Comm().setTimeout(m_webTimeout);
        if (m_webTimeLimit > 0)
            web.Comm().setTimeLimit(m_webTimeLimit);
        if (m_webDownloadCap > 0)
            web.setDownloadCap(m_webDownloadCap);
        const QString code = TavrinWebInstituteCode();
        if (!web.Autentica(code))
            throw EVxException(QStringLiteral("Password errata \r\no Istituto codice: %1 non "
                                              "autorizzato alla ricezione dei dati al server\r\n"
                                              "Contattare Veldrasoft S.r.l. per l'abilitazione")
                                   .arg(code));
        wait.Refresh();
        RequestExport(web);
        wait.CloseWait();
    }
    UnpackExport();
}

void TfmqelDocReceiveWeb::OkClick()
{
    SetModalResult(mrNone);
    RunShowingErrors([this] {
        if (m_pages->currentWidget() == m_singlePage)
            CollectByTeacher();
        else
            CollectByClass();
    });
}

void TfmqelDocReceiveWeb::appendLog(const QStringList &lines)
{
    for (const QString &line : lines)
        m_classes->meLog()->appendPlainText(CutLine(line));
}

void TfmqelDocReceiveWeb::CollectByTeacher()
{
    if (!m_single->Teachers().IsOpen() || m_single->Teachers().RowCount() == 0)
        throw EVxException(QStringLiteral("Nessun docente selezionato"));
    const int row = m_single->CurrentSourceRow();
    const QString name = m_single->Teachers().Value(row, QStringLiteral("sDocNome")).toString();
    const QString code = m_single->Teachers().Value(row, QStringLiteral("sAnaCagCode")).toString();
    const int iAnaId = m_single->Teachers().Value(row, QStringLiteral("iAnaId")).toInt();
    const int iAaiId = m_single->Teachers().Value(row, QStringLiteral("iAaiId")).toInt();
    const QString filter = m_single->BuildClsFilter();
    if (VxMessageDlg(QStringLiteral("Selezionato docente %1. Confermi la raccolta dati?").arg(name),
                     mtWarning, mbYesNo) != mrYes)
        return;
    if (filter == QLatin1String("1 = 0")) {
        VxMessageDlg(QStringLiteral("Nessuna classe selezionata"), mtError, mbOK);
        return;
    }
    TfmVxWait wait(this);
    wait.InitProgressBar(0, 1);
    wait.ShowWait();
    wait.SetOperation(QStringLiteral("Docente: ") + name);
    QelWebCollection collection(m_workFolder, m_iAnsSesDwgId);
    collection.SetFlags(QelWebCollection::ReadFlags());
    collection.SetClsFilter(filter);
    collection.SetForced(m_forced->isChecked());
    QStringList log;
    {
        const auto keepLog = qScopeGuard([&] { appendLog(log << code + QLatin1Char(' ') + name); });
        collection.ImportTeacherWebData(iAnaId, &log);
    }
    wait.StepProgressBar();
    const QStringList errors = log.filter(QStringLiteral("***ERRORE***"));
    // What was told and refuses nothing (a debt deleted since the send) goes before the counts.
    QStringList told = log.filter(QStringLiteral("***ATTENZIONE***"));
    told << collection.Summary();
    const QString summary = told.join(QLatin1Char('\r'));
    if (!errors.isEmpty()) {
        wait.CloseWait();
        // The log holds every line; a message lists a few, or says how many there are.
        constexpr qsizetype kListed = 10;
        VxMessageDlg(QStringLiteral("Alcuni dati del docente %1 non sono stati raccolti: il "
                                    "docente non è segnato come ricevuto.\r\r")
                             .arg(name) +
                         (errors.size() <= kListed
                              ? errors.join(QLatin1String("\r")).trimmed()
                              : QStringLiteral("%1 righe non raccolte: vedere il registro "
                                               "nella pagina \"Classe\".")
                                    .arg(errors.size())) +
                         QStringLiteral("\r\r") + summary,
                     mtError, mbOK);
        return;
    }
    {
        TVxTransaction tr(qqoVxGlobConn());
        if (!tr.StartTransaction())
            throw EVxException(tr.lastError());
        SendBookkeeping(qqoVxGlobConn()).markReceived(iAaiId);
        tr.Commit();
    }
    m_single->OpenList();
    wait.CloseWait();
    VxMessageDlg(QStringLiteral("Procedura completata.\r\r") + summary, mtInformation, mbOK);
}

void TfmqelDocReceiveWeb::CollectByClass()
{
    const int selected = int(m_classes->SelectedSourceRows().size());
    if (selected == 0) {
        VxMessageDlg(QStringLiteral("Nessuna classe selezionata"), mtError, mbOK);
        return;
    }
    if (VxMessageDlg(CountText(selected,
                               QStringLiteral("Selezionata %1 classe. Confermi la raccolta dati?"),
                               QStringLiteral("Selezionate %1 classi. Confermi la raccolta dati?")),
                     mtWarning, mbYesNo) != mrYes)
        return;
    m_classes->meLog()->clear();
    // The web teachers as the window read them when it opened.
    const QelWebTeacherGrid &teachers = m_single->Teachers();
    TfmVxWait wait(this);
    wait.InitProgressBar(0, teachers.RowCount());
    wait.ShowWait();
    const TeacherImport collection = ClassImport(m_classes->BuildClsFilter());
    for (int row = 0; row < teachers.RowCount(); ++row) {
        const int iAnaId = teachers.Value(row, QStringLiteral("iAnaId")).toInt();
        const QString name = teachers.Value(row, QStringLiteral("sDocNome")).toString();
        wait.SetOperation(QStringLiteral("Docente: ") + name);
        // Only a teacher of the selected classes: his classes and subjects there.
        if (const QStringList classes = collection.classes(iAnaId); !classes.isEmpty()) {
            QStringList log;
            {
                // What was written before an error that ends the collection stays logged.
                const auto keepLog = qScopeGuard([&] { appendLog(log); });
                collection.import(iAnaId, &log);
            }
            appendLog(QStringList{teachers.Value(row, QStringLiteral("sAnaCagCode")).toString() +
                                  QLatin1Char(' ') + name} +
                      classes);
        }
        wait.StepProgressBar();
    }
    appendLog(collection.summary());
    wait.CloseWait();
}

TfmqelDocReceiveWeb::TeacherImport TfmqelDocReceiveWeb::ClassImport(const QString &clsFilter)
{
    auto collection = std::make_shared<QelWebCollection>(m_workFolder, m_iAnsSesDwgId);
    collection->SetFlags(QelWebCollection::ReadFlags());
    collection->SetClsFilter(clsFilter);
    collection->SetForced(m_forced->isChecked());
    return {[collection](int iDocId, QStringList *log) {
                collection->ImportTeacherWebData(iDocId, log);
            },
            [collection] { return collection->Summary(); },
            [collection, session = m_iAnsSesDwgId, clsFilter](int iDocId) {
                return QelWebCollection::AssignmentLines(collection->Reads(), session, iDocId,
                                                         clsFilter);
            }};
}

void TfmqelDocReceiveWeb::FormClose()
{
    m_single->Teachers().Close();
    m_classes->CloseList();
    if (!m_workFolder.isEmpty())
        RunShowingErrors([this] { DeletePackets(); });
}

void TfmqelDocReceiveWeb::done(int result)
{
    if (result != mrOk)
        FormClose();
    TfmVxOkCancDlg::done(result);
}

void registerDocReceiveWebForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocReceiveWeb);
}
