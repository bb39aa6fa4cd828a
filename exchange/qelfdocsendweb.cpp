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
#include "shell/qelpargen.h"

#include <optional>

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
    setWindowTitle(QStringLiteral("Invio dati ai docenti su Tavrin-Web"));
    RunShowingErrors([this] { LoadSendParams(); });
    // Read at once, so the office (or a script) finds the window filled.
    FormShow();
}

TfmqelDocSendWeb::~TfmqelDocSendWeb() = default;

void TfmqelDocSendWeb::LoadSendParams()
{
    WithParGen([this](const TdmqelParGen &p) {
        const QList<QPair<QString, const TVxParInteger *>> flags = {
            {QStringLiteral("Vot"), &p.xpiVot}, {QStringLiteral("Vtp"), &p.xpiVtp},
            {QStringLiteral("Tas"), &p.xpiTas}, {QStringLiteral("Ass"), &p.xpiAss},
            {QStringLiteral("Aiu"), &p.xpiAiu}, {QStringLiteral("Not"), &p.xpiNot},
            {QStringLiteral("Deb"), &p.xpiDeb}};
        m_flags.clear();
        for (const auto &[name, flag] : flags)
            m_flags.append({name, flag->GetValore() == 1 ? 1 : 0});
    });
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
    wizard.SetTeacherCount(count);
    return wizard.ShowModal() == mrOk;
}

void TfmqelDocSendWeb::OkClick()
{
    SetModalResult(mrNone);
    RunShowingErrors([this] { Send(); });
}

void TfmqelDocSendWeb::Send()
{
    const QList<int> rows = frDocenti()->SelectedSourceRows();
    if (!CheckSend(int(rows.size())))
        return;
    std::optional<QelWebSessionPackets> packets;
    TqelWebSendCourse course;
    course.archiveName = kArchiveName;
    course.cancellable = true;
    course.deleteOld = [](const QString &folder) { DeleteExportFiles(folder); };
    course.start = [&] { packets.emplace(m_iAnsSesDwgId, m_iAnsId, m_flags); };
    course.addTeacher = [&](int row) {
        packets->AddTeacher(Teachers().Value(row, QStringLiteral("iAnaId")).toInt(),
                            Teachers().Value(row, QStringLiteral("sDocNome")).toString(),
                            Teachers().Value(row, QStringLiteral("sAnaPwPert")).toString());
    };
    course.write = [&](const QString &folder) { return packets->Write(folder); };
    RunSend(rows, course);
}

void registerDocSendWebForms()
{
    TAVRIN_REGISTER_FORM(TfmqelDocSendWeb);
}
