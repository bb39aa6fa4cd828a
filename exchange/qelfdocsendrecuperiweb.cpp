#include "exchange/qelfdocsendrecuperiweb.h"

#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebrecuperipackets.h"
#include "exchange/qelwebrecuperisql.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/enumvalues.h"
#include "platform/formregistry.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const char kArchiveName[] = "twrecuperi.zip";

} // namespace

TfmqelDocSendRecuperiWeb::TfmqelDocSendRecuperiWeb(QWidget *owner)
    : TqelWebSendWindow(owner,
                        {{"sAnaCagCode", "Codice", 70},
                         {"sDocNome", "Docente", 335},
                         {"dAaiInviato", "Data e ora di invio", 120}},
                        true),
      m_cbFaseRec(new QComboBox)
{
    setObjectName(QStringLiteral("fmqelDocSendRecuperiWeb"));
    auto *phaseRow = new QHBoxLayout;
    auto *phaseLabel = new QLabel(QStringLiteral("Fase recupero"));
    phaseLabel->setBuddy(m_cbFaseRec);
    m_cbFaseRec->setObjectName(QStringLiteral("cbFaseRec"));
    phaseRow->addWidget(phaseLabel);
    phaseRow->addWidget(m_cbFaseRec, 1);
    MainLayout()->insertLayout(0, phaseRow);
    // Read at once, so the office (or a script) finds the window filled.
    FormShow();
}

TfmqelDocSendRecuperiWeb::~TfmqelDocSendRecuperiWeb() = default;

void TfmqelDocSendRecuperiWeb::FormShow()
{
    VxMessageDlg(QStringLiteral("AVVERTENZE!\r\nPrima di fare un Re-invio dei recuperi conviene "
                                "fare una cancellazione di quelli già presenti su Web"),
                 mtWarning, mbOK);
    ReadWorkingContext();
    ChooseWebServiceMode();
    RunShowingErrors([this] {
        LoadEnumValues(qqoVxGlobConn(), m_cbFaseRec, QelWebRecuperiSql::phases(),
                       valuesOf({{"iAnsId", m_iAnsId}}));
    });
}

int TfmqelDocSendRecuperiWeb::ChosenPhase() const
{
    return enumItemId(m_cbFaseRec, m_cbFaseRec->currentIndex());
}

int TfmqelDocSendRecuperiWeb::ClearZeroVerificationDates()
{
    TVxTransaction tr(qqoVxGlobConn());
    if (!tr.StartTransaction())
        throw EVxException(tr.lastError());
    const int cleared = tr.ExecChanged(QelWebRecuperiSql::clearZeroVerificationDates(),
                                       valuesOf({{"dZero", QDate(1899, 12, 30)}}));
    tr.Commit();
    return cleared;
}

void TfmqelDocSendRecuperiWeb::OkClick()
{
    SetModalResult(mrNone);
    RunShowingErrors([this] { Send(); });
}

void TfmqelDocSendRecuperiWeb::Send()
{
    // Without them the packets would be empty, or of no phase the teachers could answer.
    if (m_iAnsSesDwgId == 0 || m_iAnsId == 0) {
        VxMessageDlg(QStringLiteral("Anno scolastico o sessione di lavoro non impostati: "
                                    "impossibile inviare i recuperi."),
                     mtWarning, mbOK);
        return;
    }
    const int iFreId = ChosenPhase();
    if (iFreId == 0) {
        VxMessageDlg(QStringLiteral("Nessuna fase di recupero nell'anno scolastico di lavoro: "
                                    "impossibile inviare i recuperi."),
                     mtWarning, mbOK);
        return;
    }
    ClearZeroVerificationDates();
    const std::unique_ptr<TTavrinWebConnection> web = Connect();
    const QList<int> rows = frDocenti()->SelectedSourceRows();
    if (!CheckSendSettings(int(rows.size())))
        return;
    const QString folder = ResolvedFolder();
    const QString archive = ArchiveIn(folder, QLatin1String(kArchiveName));

    TfmVxWait wait(this);
    wait.InitProgressBar(0, int(rows.size()));
    wait.ShowWait();
    DeleteExportRecFiles(folder, Qt::CaseSensitive);
    QList<int> sent;
    QStringList files;
    {
        // One reading transaction: the statement is prepared once for the whole send.
        TVxTransaction reading(qqoVxGlobConn());
        if (!reading.StartTransaction())
            throw EVxException(reading.lastError());
        QelWebMakeUpPackets packets(iFreId, m_iAnsId);
        for (int row : rows) {
            wait.SetOperation(QStringLiteral("Docente: ") +
                              Teachers().Value(row, QStringLiteral("sDocNome")).toString());
            packets.AddTeacher(Teachers().Value(row, QStringLiteral("iAnaId")).toInt());
            sent << Teachers().Value(row, QStringLiteral("iAaiId")).toInt();
            wait.StepProgressBar();
        }
        files = packets.Write(folder);
    }
    wait.CloseWait();
    ZipWorkXml(files, archive);

    UploadArchive(*web, wait, archive, true);
    MarkSent(sent);
    QFile::remove(archive);
    ReloadTeachers();
    wait.CloseWait();
    VxMessageDlg(QStringLiteral("Procedura completata con successo."), mtInformation, mbOK);
}

void registerDocSendRecuperiWebForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocSendRecuperiWeb);
}
