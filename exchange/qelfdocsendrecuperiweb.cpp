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

#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <optional>

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
    setWindowTitle(QStringLiteral("Invio recuperi ai docenti su Tavrin-Web"));
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
    const QList<int> rows = frDocenti()->SelectedSourceRows();
    if (!CheckSendSettings(int(rows.size())))
        return;
    std::optional<QelWebMakeUpPackets> packets;
    TqelWebSendCourse course;
    course.archiveName = kArchiveName;
    course.makeUp = true;
    course.deleteOld = [](const QString &folder) { DeleteExportRecFiles(folder); };
    course.start = [&] { packets.emplace(iFreId, m_iAnsId); };
    course.addTeacher = [&](int row) {
        packets->AddTeacher(Teachers().Value(row, QStringLiteral("iAnaId")).toInt());
    };
    course.write = [&](const QString &folder) { return packets->Write(folder); };
    RunSend(rows, course);
}

void registerDocSendRecuperiWebForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocSendRecuperiWeb);
}
