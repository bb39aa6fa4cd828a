#include "exchange/qelwebsendwindow.h"

#include "exchange/qelfldname.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebpackets.h"
#include "exchange/qelwebsendsql.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/uploadbody.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QColor kSentColour(128, 128, 0); // olive

} // namespace

TqelWebSendWindow::TqelWebSendWindow(QWidget *owner,
                                     const QList<QelWebTeacherGrid::Column> &columns,
                                     bool everyTeacher)
    : TfmVxOkCancDlg(owner), m_layout(new QVBoxLayout(ClientArea())), m_cbSendMode(new QComboBox),
      m_grid(new TfrVxDBROGrid), m_legend(new QLabel(QStringLiteral("Dati inviati"))),
      m_everyTeacher(everyTeacher)
{
    buCancel()->setText(QStringLiteral("Chiudi"));

    m_layout->setContentsMargins(0, 0, 0, 0);
    AddSendModeControls(m_layout, m_cbSendMode, m_grid, m_legend, kSentColour);

    LoadDefaultImages(m_grid->ilFrame(),
                      {QStringLiteral("INVERTISELECT"), QStringLiteral("DESELECTALL"),
                       QStringLiteral("SELECTALL")});
    QObject::connect(m_grid->AddFrameAction(QStringLiteral("aInvSel"),
                                            QStringLiteral("Inverti selezione"), 0,
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

    m_teachers = std::make_unique<QelWebTeacherGrid>(m_grid, QStringLiteral("iAaiInviato"),
                                                     kSentColour, columns);
    m_grid->setEnabled(!m_everyTeacher);
    connect(m_cbSendMode, &QComboBox::activated, this,
            [this] { RunShowingErrors([this] { cbSendModeChange(); }); });
    resize(560, 460);

    RunShowingErrors([this] { LoadSendFolders(); });
}

TqelWebSendWindow::~TqelWebSendWindow() = default;

void TqelWebSendWindow::LoadSendFolders()
{
    WithParGen([this](const TdmqelParGen &p) {
        m_folders = {{kModeFloppy, p.xpsDirFloppy.GetValore()},
                     {kModeNetwork, p.xpsDirRete.GetValore()},
                     {kModeUsb, p.xpsDirUSB.GetValore()},
                     {kModeWebFolder, p.xpsDirWeb.GetValore()},
                     {kModeWebService, p.xpsDirWeb.GetValore()}};
    });
}

void TqelWebSendWindow::ReadWorkingContext()
{
    m_iAnsSesDwgId = TVxWorkingContext::session();
    m_iAnsId = TVxWorkingContext::schoolYear();
}

void TqelWebSendWindow::ChooseWebServiceMode()
{
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

void TqelWebSendWindow::cbSendModeChange()
{
    m_iModId = enumItemId(m_cbSendMode, m_cbSendMode->currentIndex());
    ReloadTeachers();
    // An empty value, or the root alone, is no folder.
    const QString folder = LongDir(m_folders.value(m_iModId).trimmed());
    m_workFolder = folder == QLatin1String("/") ? QString() : folder;
}

void TqelWebSendWindow::ReloadTeachers()
{
    m_teachers->Open(m_iAnsSesDwgId, m_iModId);
    // The current row is not a choice: the office selects the teachers to send, unless the
    // send covers them all.
    if (m_everyTeacher)
        m_grid->SelectAllRows();
    else
        m_grid->ClearSelection();
}

bool TqelWebSendWindow::CheckSendSettings(int count)
{
    if (count == 0) {
        VxMessageDlg(QStringLiteral("Nessun docente selezionato."), mtWarning, mbOK);
        return false;
    }
    if (m_workFolder.isEmpty()) {
        VxMessageDlg(FolderNotSetMessage(m_cbSendMode->currentText()), mtWarning, mbOK);
        return false;
    }
    return true;
}

void TqelWebSendWindow::RunSend(const QList<int> &rows, const TqelWebSendCourse &course)
{
    TTavrinWebConnection web;
    if (m_webTimeout > 0)
        web.Comm().setTimeout(m_webTimeout);
    if (m_webTimeLimit > 0)
        web.Comm().setTimeLimit(m_webTimeLimit);
    const QString folder = LongDir(resolvePath(m_workFolder));
    const QString archive = folder + QLatin1String(course.archiveName);
    checkUploadPath(archive);

    TfmVxWait wait(this, course.cancellable);
    wait.InitProgressBar(0, int(rows.size()));
    wait.ShowWait();
    course.deleteOld(folder);
    QList<int> sent;
    QStringList files;
    {
        // One reading transaction: each statement is prepared once for the whole send.
        TVxTransaction reading(qqoVxGlobConn());
        if (!reading.StartTransaction())
            throw EVxException(reading.lastError());
        course.start();
        for (int row : rows) {
            wait.CheckCancelled();
            wait.SetOperation(QStringLiteral("Docente: ") +
                              m_teachers->Value(row, QStringLiteral("sDocNome")).toString());
            course.addTeacher(row);
            sent << m_teachers->Value(row, QStringLiteral("iAaiId")).toInt();
            wait.StepProgressBar();
        }
        files = course.write(folder);
    }
    wait.CloseWait();
    ZipWorkXml(files, archive);

    // The upload and the server's waits end by "Annulla" too: the teachers then stay unmarked
    // and the archive in the folder, as after a refused upload.
    wait.SetCancelVisible(true);
    web.SetWaitWindow(&wait);
    wait.SetOperation(QStringLiteral("Invio dati al Server"));
    wait.ShowWait();
    const QString code = TavrinWebInstituteCode();
    while (!web.Autentica(code))
        VxMessageDlg(QStringLiteral("Password errata \r\no Istituto codice: %1 non autorizzato "
                                    "all'invio dei dati al server\r\nContattare Veldrasoft S.r.l. "
                                    "per l'abilitazione")
                         .arg(code),
                     mtError, mbOK);
    if (!(course.makeUp ? web.UploadCaricaRec(archive) : web.UploadCarica(archive)))
        throw EVxException(QStringLiteral("File NON inviato correttamente!"));
    MarkSent(sent);
    QFile::remove(archive);
    ReloadTeachers();
    wait.CloseWait();
    VxMessageDlg(QStringLiteral("Procedura completata con successo."), mtInformation, mbOK);
}

void TqelWebSendWindow::MarkSent(const QList<int> &iAaiIds)
{
    TVxTransaction tr(qqoVxGlobConn());
    if (!tr.StartTransaction())
        throw EVxException(tr.lastError());
    SendBookkeeping book(qqoVxGlobConn());
    for (int iAaiId : iAaiIds)
        book.markSentWeb(iAaiId);
    tr.Commit();
}
