#include "exchange/qelfdocsendweb.h"

#include "exchange/qelfdocconfirmsendweb.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebsendsql.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/enumvalues.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/uploadbody.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "platform/zip.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QColor kSentColour(128, 128, 0); // olive
const char kArchiveName[] = "twdocenti.zip";
// The session of the sibling teachers' product, which has its own way to the web.
constexpr int kLumenoSession = 5;

} // namespace

TfmqelDocSendWeb::TfmqelDocSendWeb(QWidget *owner)
    : TfmVxOkCancDlg(owner), m_cbSendMode(new QComboBox), m_grid(new TfrVxDBROGrid),
      m_legend(new QLabel(QStringLiteral("Dati inviati")))
{
    setObjectName(QStringLiteral("fmqelDocSendWeb"));
    setWindowTitle(QStringLiteral("Invio"));
    buCancel()->setText(QStringLiteral("Chiudi"));

    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    auto *modeRow = new QHBoxLayout;
    auto *modeLabel = new QLabel(QStringLiteral("&Modalità di invio"));
    modeLabel->setBuddy(m_cbSendMode);
    m_cbSendMode->setObjectName(QStringLiteral("cbSendMode"));
    modeRow->addWidget(modeLabel);
    modeRow->addWidget(m_cbSendMode, 1);
    layout->addLayout(modeRow);
    m_grid->setObjectName(QStringLiteral("frDocenti"));
    m_grid->SetMultiSelect(true);
    layout->addWidget(m_grid, 1);
    m_legend->setObjectName(QStringLiteral("laLegend"));
    QPalette olive = m_legend->palette();
    olive.setColor(QPalette::WindowText, kSentColour);
    m_legend->setPalette(olive);
    layout->addWidget(m_legend);

    LoadDefaultImages(m_grid->ilFrame(),
                      {QStringLiteral("INVERTISELECT"), QStringLiteral("DESELECTALL"),
                       QStringLiteral("SELECTALL")});
    QObject::connect(m_grid->AddFrameAction(QStringLiteral("aInvSel"), QStringLiteral("Inv.Sel"), 0,
                                            QStringLiteral("Inverti selezione")),
                     &QAction::triggered, m_grid, &TfrVxDBROGrid::InvertSelection);
    QObject::connect(m_grid->AddFrameAction(QStringLiteral("aDeSelTutti"),
                                            QStringLiteral("DeSel.Tutti"), 1,
                                            QStringLiteral("De-Seleziona tutti gli elementi")),
                     &QAction::triggered, m_grid, &TfrVxDBROGrid::ClearSelection);
    QObject::connect(m_grid->AddFrameAction(QStringLiteral("aSelTutti"),
                                            QStringLiteral("Sel.Tutti"), 2,
                                            QStringLiteral("Seleziona tutti gli elementi")),
                     &QAction::triggered, m_grid, &TfrVxDBROGrid::SelectAllRows);

    m_teachers = std::make_unique<QelWebTeacherGrid>(
        m_grid, QStringLiteral("iAaiInviato"), kSentColour,
        QList<QelWebTeacherGrid::Column>{{"sAnaCagCode", "Codice", 80},
                                         {"sDocNome", "Docente", 260},
                                         {"dAaiInviato", "Data e ora di invio", 140}});
    connect(m_cbSendMode, &QComboBox::activated, this,
            [this] { RunShowingErrors([this] { cbSendModeChange(); }); });
    resize(560, 460);

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
    m_folders = {{kModeFloppy, p->xpsDirFloppy.GetValore()},
                 {kModeNetwork, p->xpsDirRete.GetValore()},
                 {kModeUsb, p->xpsDirUSB.GetValore()},
                 {kModeWebFolder, p->xpsDirWeb.GetValore()},
                 {kModeWebService, p->xpsDirWeb.GetValore()}};
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
    m_iAnsSesDwgId = TVxWorkingContext::session();
    m_iAnsId = TVxWorkingContext::schoolYear();
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
    RunShowingErrors([this] {
        LoadEnumValues(qqoVxGlobConn(), m_cbSendMode, QelWebSendSql::sendModes());
        // The web service's mode by its id, wherever the table lists it.
        const int index = m_cbSendMode->findData(int(kModeWebService));
        if (index < 0)
            throw EVxException(QStringLiteral("Nell'archivio manca la modalità di invio %1 "
                                              "(servizio web): impossibile inviare i dati a "
                                              "Tavrin-Web.")
                                   .arg(int(kModeWebService)));
        m_cbSendMode->setCurrentIndex(index);
        cbSendModeChange();
    });
    m_cbSendMode->setEnabled(false);
}

void TfmqelDocSendWeb::cbSendModeChange()
{
    m_iModId = enumItemId(m_cbSendMode, m_cbSendMode->currentIndex());
    reloadTeachers();
    // An empty value, or the root alone, is no folder.
    const QString folder = LongDir(m_folders.value(m_iModId).trimmed());
    m_workFolder = folder == QLatin1String("/") ? QString() : folder;
}

void TfmqelDocSendWeb::reloadTeachers()
{
    m_teachers->Open(m_iAnsSesDwgId, m_iModId);
    // The current row is not a choice: the office selects the teachers to send.
    m_grid->ClearSelection();
}

bool TfmqelDocSendWeb::CheckSend(int count)
{
    if (count == 0) {
        VxMessageDlg(QStringLiteral("Nessun docente selezionato."), mtWarning, mbOK);
        return false;
    }
    if (m_workFolder.isEmpty()) {
        VxMessageDlg(QStringLiteral("Si è scelto di inviare i dati a %1 senza impostare il "
                                    "percorso di invio.\r\rImpostarlo da \"Utilità e parametri - "
                                    "Parametri Tavrin\" per proseguire.")
                         .arg(m_cbSendMode->currentText()),
                     mtWarning, mbOK);
        return false;
    }
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
    TTavrinWebConnection web;
    if (m_webTimeout > 0)
        web.Comm().setTimeout(m_webTimeout);
    const QList<int> rows = m_grid->SelectedSourceRows();
    if (!CheckSend(int(rows.size())))
        return;
    const QString folder = LongDir(resolvePath(m_workFolder));
    const QString archive = folder + QLatin1String(kArchiveName);
    // The path travels in the upload's header: refused there, it would be after every packet.
    checkUploadPath(archive);

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
            const QString name = m_teachers->Value(row, QStringLiteral("sDocNome")).toString();
            wait.SetOperation(QStringLiteral("Docente: ") + name);
            packets.AddTeacher(m_teachers->Value(row, QStringLiteral("iAnaId")).toInt(), name,
                               m_teachers->Value(row, QStringLiteral("sAnaPwPert")).toString());
            sent << m_teachers->Value(row, QStringLiteral("iAaiId")).toInt();
            wait.StepProgressBar();
        }
        files = packets.Write(folder);
    }
    wait.CloseWait();
    ZipWorkXml(files, archive);

    wait.SetCancelVisible(false);
    wait.SetOperation(QStringLiteral("Invio dati al Server"));
    wait.ShowWait();
    const QString code = TavrinWebInstituteCode();
    while (!web.Autentica(code))
        VxMessageDlg(QStringLiteral("Password errata \r\no Istituto codice: %1 non autorizzato "
                                    "all'invio dei dati al server\r\nContattare Veldrasoft S.r.l. "
                                    "per l'abilitazione")
                         .arg(code),
                     mtError, mbOK);
    if (!web.UploadCarica(archive))
        throw EVxException(QStringLiteral("File NON inviato correttamente!"));
    MarkSent(sent);
    QFile::remove(archive);
    reloadTeachers();
    wait.CloseWait();
    VxMessageDlg(QStringLiteral("Procedura completata con successo."), mtInformation, mbOK);
}

void TfmqelDocSendWeb::ZipWorkXml(const QStringList &files, const QString &archive)
{
    if (QFile::exists(archive) && !QFile::remove(archive))
        throw EVxException(
            QStringLiteral("OPERAZIONE TERMINATA CON ERRORE: Impossibile creare il file ") +
            QDir::toNativeSeparators(archive));
    TZip zip;
    zip.setFileName(archive);
    zip.setFileList(files);
    zip.setAccess(TVxFileAccess::OwnerOnly);
    zip.Add();
    for (const QString &file : files) {
        QFile packet(file);
        if (!packet.remove())
            throw EVxException(QStringLiteral("Impossibile cancellare il file %1: %2")
                                   .arg(QDir::toNativeSeparators(file), packet.errorString()));
    }
}

void TfmqelDocSendWeb::MarkSent(const QList<int> &iAaiIds)
{
    TVxTransaction tr(qqoVxGlobConn());
    if (!tr.StartTransaction())
        throw EVxException(tr.lastError());
    SendBookkeeping book(qqoVxGlobConn());
    for (int iAaiId : iAaiIds)
        book.markSentWeb(iAaiId);
    tr.Commit();
}

void registerDocSendWebForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocSendWeb);
}
