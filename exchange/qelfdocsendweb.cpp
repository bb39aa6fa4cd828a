#include "exchange/qelfdocsendweb.h"

#include "exchange/qelfdocconfirmsendweb.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebsendsql.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qelpargen.h"

#include <QFile>

namespace {

const char kArchiveName[] = "twdocenti.zip";
// The session of the sibling teachers' product, which has its own way to the web.
constexpr int kLumenoSession = 5;

} // namespace

TfmqelDocSendWeb::TfmqelDocSendWeb(QWidget *owner)
    : TqelWebSendWindow(owner,
                        {{"sAnaCagCode", "Codice", 80},
                         {"sDocNome", "Docente", 260},
                         {"dAaiInviato", "Data e ora di invio", 140}},
                        false)
{
    setObjectName(QStringLiteral("fmqelDocSendWeb"));
    RunShowingErrors([this] { LoadSendParams(); });
    // Read at once, so the office (or a script) finds the window filled.
    FormShow();
}

TfmqelDocSendWeb::~TfmqelDocSendWeb() = default;

void TfmqelDocSendWeb::LoadSendParams()
{
    std::unique_ptr<TdmqelParGen> own;
    TdmqelParGen *p = dmqelParGen;
    if (!p) {
        own = std::make_unique<TdmqelParGen>();
        p = own.get();
    }
    const QList<QPair<QString, const TVxParInteger *>> flags = {
        {QStringLiteral("Vot"), &p->xpiVot}, {QStringLiteral("Vtp"), &p->xpiVtp},
        {QStringLiteral("Tas"), &p->xpiTas}, {QStringLiteral("Ass"), &p->xpiAss},
        {QStringLiteral("Aiu"), &p->xpiAiu}, {QStringLiteral("Not"), &p->xpiNot},
        {QStringLiteral("Deb"), &p->xpiDeb}};
    m_flags.clear();
    for (const auto &[name, flag] : flags)
        m_flags.append({name, flag->GetValore() == 1 ? 1 : 0});
}

void TfmqelDocSendWeb::FormShow()
{
    ReadWorkingContext();
    RunShowingErrors([this] {
        TSQLClientDataSet info;
        info.setCommandText(QelWebSendSql::sessionInfo());
        info.Params() = valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}});
        info.Open();
        m_iSesId = info.IsEmpty() ? 0 : info.FieldByName(QStringLiteral("iSesId"))->AsInteger();
    });
    if (m_iSesId == kLumenoSession) {
        VxMessageDlg(QStringLiteral("Non è possibile inviare la sessione Lumeno"), mtError, mbOK);
        return;
    }
    ChooseWebServiceMode();
}

bool TfmqelDocSendWeb::CheckSend(int count)
{
    if (!CheckSendSettings(count))
        return false;
    TfmqelDocConfirmSendWeb wizard(this);
    wizard.SetFinalText(wizard.FinalText().replace(QLatin1String("%d"), QString::number(count)));
    return wizard.ShowModal() == mrOk;
}

void TfmqelDocSendWeb::OkClick()
{
    SetModalResult(mrNone);
    RunShowingErrors([this] { Send(); });
}

void TfmqelDocSendWeb::Send()
{
    const std::unique_ptr<TTavrinWebConnection> web = Connect();
    const QList<int> rows = frDocenti()->SelectedSourceRows();
    if (!CheckSend(int(rows.size())))
        return;
    const QString folder = ResolvedFolder();
    const QString archive = ArchiveIn(folder, QLatin1String(kArchiveName));

    TfmVxWait wait(this, true);
    wait.InitProgressBar(0, int(rows.size()));
    wait.ShowWait();
    DeleteExportFiles(folder, Qt::CaseSensitive);
    QList<int> sent;
    QStringList files;
    {
        // One reading transaction: each statement is prepared once for the whole send.
        TVxTransaction reading(qqoVxGlobConn());
        if (!reading.StartTransaction())
            throw EVxException(reading.lastError());
        QelWebSessionPackets packets(m_iAnsSesDwgId, m_iAnsId, m_flags);
        for (int row : rows) {
            if (wait.Cancelled())
                throw EVxException(QStringLiteral("Procedura annullata dall'utente."),
                                   EVxException::Information);
            const QString name = Teachers().Value(row, QStringLiteral("sDocNome")).toString();
            wait.SetOperation(QStringLiteral("Docente: ") + name);
            packets.AddTeacher(Teachers().Value(row, QStringLiteral("iAnaId")).toInt(), name,
                               Teachers().Value(row, QStringLiteral("sAnaPwPert")).toString());
            sent << Teachers().Value(row, QStringLiteral("iAaiId")).toInt();
            wait.StepProgressBar();
        }
        files = packets.Write(folder);
    }
    wait.CloseWait();
    ZipWorkXml(files, archive);

    UploadArchive(*web, wait, archive, false);
    MarkSent(sent);
    QFile::remove(archive);
    ReloadTeachers();
    wait.CloseWait();
    VxMessageDlg(QStringLiteral("Procedura completata con successo."), mtInformation, mbOK);
}

void registerDocSendWebForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocSendWeb);
}
