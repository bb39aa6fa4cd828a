#include "exchange/qelfdocsend.h"

#include "exchange/qelfdocreceive.h"
#include "exchange/qelfldname.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qelwebsendsql.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/enumvalues.h"
#include "platform/fileaccess.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qelpargen.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

const QColor kSentColour(128, 128, 0); // olive

} // namespace

TfmqelDocSend::TfmqelDocSend(QWidget *owner)
    : TfmVxOkCancDlg(owner), m_cbSendMode(new QComboBox), m_grid(new TfrVxDBROGrid),
      m_legend(new QLabel(QStringLiteral("Dati inviati")))
{
    setObjectName(QStringLiteral("fmqelDocSend"));
    setWindowTitle(QStringLiteral("Invio dati ai docenti (cartelle)"));
    buCancel()->setText(QStringLiteral("Chiudi"));

    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    AddSendModeControls(layout, m_cbSendMode, m_grid, m_legend, kSentColour);
    m_teachers = std::make_unique<QelWebTeacherGrid>(
        m_grid, QStringLiteral("iAaiInviato"), kSentColour,
        QList<QelWebTeacherGrid::Column>{{"sAnaCagCode", "Codice", 70},
                                         {"sDocNome", "Docente", 260},
                                         {"dAaiInviato", "Data e ora di invio", 130},
                                         {"sAaiDirInviato", "Percorso di invio", 200}});
    connect(m_cbSendMode, &QComboBox::activated, this,
            [this] { RunShowingErrors([this] { cbSendModeChange(); }); });
    resize(700, 460);

    RunShowingErrors([this] {
        WithParGen([this](const TdmqelParGen &p) {
            m_folders = {{kModeFloppy, p.xpsDirFloppy.GetValore()},
                         {kModeNetwork, p.xpsDirRete.GetValore()},
                         {kModeUsb, p.xpsDirUSB.GetValore()}};
            m_askPasswd = p.xpiAskPasswd.GetValore() != 0;
            m_show = {{QStringLiteral("Vot"), p.xpiVot.GetValore()},
                      {QStringLiteral("Vtp"), p.xpiVtp.GetValore()},
                      {QStringLiteral("Tas"), p.xpiTas.GetValore()},
                      {QStringLiteral("Ass"), p.xpiAss.GetValore()},
                      {QStringLiteral("Aiu"), p.xpiAiu.GetValore()},
                      {QStringLiteral("Not"), p.xpiNot.GetValore()},
                      {QStringLiteral("Deb"), p.xpiDeb.GetValore()},
                      {QStringLiteral("Comp"), p.xpiComp.GetValore()}};
        });
    });
    FormShow();
}

TfmqelDocSend::~TfmqelDocSend() = default;

void TfmqelDocSend::FormShow()
{
    m_iAnsSesDwgId = TVxWorkingContext::session();
    m_iAnsId = TVxWorkingContext::schoolYear();
    RunShowingErrors([this] {
        LoadEnumValues(qqoVxGlobConn(), m_cbSendMode, QelWebSendSql::sendModes());
        m_cbSendMode->setCurrentIndex(m_cbSendMode->count() ? 0 : -1);
        cbSendModeChange();
    });
}

void TfmqelDocSend::SetSendMode(int iModId)
{
    m_cbSendMode->setCurrentIndex(m_cbSendMode->findData(iModId));
    cbSendModeChange();
}

void TfmqelDocSend::cbSendModeChange()
{
    m_iModId = enumItemId(m_cbSendMode, m_cbSendMode->currentIndex());
    m_teachers->Open(m_iAnsSesDwgId, m_iModId);
    m_grid->ClearSelection();
    // An empty value, or a separator alone, is no folder.
    const QString folder = LongDir(m_folders.value(m_iModId).trimmed());
    m_baseFolder = folder == QLatin1String("/") ? QString() : folder;
}

bool TfmqelDocSend::CheckSend(int count)
{
    if (count == 0) {
        VxMessageDlg(QStringLiteral("Nessun docente selezionato."), mtWarning, mbOK);
        return false;
    }
    const QString mode = m_cbSendMode->currentText();
    if (m_baseFolder.isEmpty()) {
        VxMessageDlg(FolderNotSetMessage(mode), mtWarning, mbOK);
        return false;
    }
    // The diskette's drive is asked for teacher by teacher.
    if (m_iModId != kModeFloppy)
        RequireSendFolder(LongDir(resolvePath(m_baseFolder)),
                          QStringLiteral("da ") + SendFoldersCommand());
    if (m_iModId == kModeFloppy)
        return VxMessageDlg(FloppySendQuestion(count), mtWarning, mbOKCancel) == mrOk;
    return VxMessageDlg(QStringLiteral("Si è scelto di inviare i dati a %1.\r\r").arg(mode) +
                            CountText(count, QStringLiteral("È stato selezionato %1 docente."),
                                      QStringLiteral("Sono stati selezionati %1 docenti.")) +
                            QStringLiteral(" Confermi la creazione delle directory?"),
                        mtWarning, mbYesNo) == mrYes;
}

void TfmqelDocSend::OkClick()
{
    SetModalResult(mrNone);
    RunShowingErrors([this] { Send(); });
}

void TfmqelDocSend::Send()
{
    const QList<int> rows = m_grid->SelectedSourceRows();
    if (!CheckSend(int(rows.size())))
        return;
    const QString base = LongDir(resolvePath(m_baseFolder));
    TfmVxWait wait(this);
    wait.InitProgressBar(0, int(rows.size()));
    wait.ShowWait();
    // Teachers written before an error keep their folders and marks: the list shows them.
    const auto refresh = qScopeGuard([this] { m_teachers->Open(m_iAnsSesDwgId, m_iModId); });
    QelTeacherFolderWriter writer(m_iAnsSesDwgId, m_iAnsId, TVxWorkingContext::institute(),
                                  m_askPasswd, m_show);
    bool overwriteAll = false;
    int done = 0;
    for (int row : rows) {
        QelFolderTeacher teacher;
        teacher.iAnaId = m_teachers->Value(row, QStringLiteral("iAnaId")).toInt();
        teacher.iAaiId = m_teachers->Value(row, QStringLiteral("iAaiId")).toInt();
        teacher.sDocNome = m_teachers->Value(row, QStringLiteral("sDocNome")).toString();
        teacher.sAnaCagCode = m_teachers->Value(row, QStringLiteral("sAnaCagCode")).toString();
        wait.SetOperation(QStringLiteral("Docente: ") + teacher.sDocNome);
        if (m_iModId == kModeFloppy &&
            VxMessageDlg(QStringLiteral("Invio dati per il docente: %1\r\rInserire un dischetto "
                                        "vuoto nel drive %2\r\rPremere OK per proseguire o "
                                        "ANNULLA per interrompere.")
                             .arg(teacher.sDocNome, QDir::toNativeSeparators(m_baseFolder)),
                         mtWarning, mbOKCancel) != mrOk)
            break;
        const QString folder = QelTeacherFolderWriter::FolderOf(base, teacher);
        if (!overwriteAll && VxNameTaken(folder)) {
            const int answer =
                VxMessageDlg(QStringLiteral("La cartella %1 esiste già. Sovrascriverla?")
                                 .arg(QDir::toNativeSeparators(folder)),
                             mtWarning, mbYes | mbAbort | mbYesToAll);
            if (answer == mrAbort)
                break;
            if (answer == mrYesToAll)
                overwriteAll = true;
        }
        writer.WriteTeacherFolder(base, teacher);
        ++done;
        wait.StepProgressBar();
    }
    wait.CloseWait();
    VxMessageDlg(done == rows.size() ? QStringLiteral("Procedura completata.")
                                     : QStringLiteral("Procedura interrotta dall'utente."),
                 mtInformation, mbOK);
}

void registerDocFolderForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocSend);
    TAVRIN_REGISTER_FORM(TfmqelDocReceive);
}
