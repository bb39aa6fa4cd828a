#include "shell/qelactivations.h"

#include "platform/connection.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "shell/qelcommandtable.h"
#include "shell/qeldatasets.h"
#include "shell/qelduplicatecheck.h"
#include "shell/qelformcalls.h"
#include "shell/qelparams.h"
#include "shell/qelpargen.h"
#include "shell/qelplaceholder.h"
#include "shell/qelreporttree.h"
#include "shell/qelutil.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QPointer>

#include <algorithm>
#include <memory>

TdmqelActivations *dmqelActivations = nullptr;

namespace {

QelDuplicateCheck *&duplicateCheckStorage()
{
    static QelDuplicateCheck *check = nullptr;
    return check;
}

QList<TdmqelActivations::Contributor> &contributors()
{
    static QList<TdmqelActivations::Contributor> list;
    return list;
}

} // namespace

QelReportHooks &qelReportHooks()
{
    static QelReportHooks hooks;
    return hooks;
}

TdmqelActivations::TdmqelActivations(QObject *owner) : TdmVxAttivazioni(owner)
{
    setObjectName(QStringLiteral("dmqelActivations"));
    buildTable();
    bindHandlers();
    installReportTree(this);
    for (const Contributor &contribute : std::as_const(contributors()))
        contribute(this);
}

TdmqelActivations::~TdmqelActivations()
{
    if (dmqelActivations == this)
        dmqelActivations = nullptr;
}

void TdmqelActivations::addContributor(const Contributor &contributor)
{
    contributors().append(contributor);
}

void TdmqelActivations::buildTable()
{
    for (const QelPageDef &p : qelPages()) {
        AddPage(QString::fromLatin1(p.name), QString::fromUtf8(p.caption), p.order, p.sorted,
                p.visible);
    }
    for (const QelCommandDef &c : qelCommands()) {
        const QString name = QString::fromLatin1(c.name);
        const QString caption = QString::fromUtf8(c.caption);
        TVxApgPage *parent = c.page ? page(QString::fromLatin1(c.page)) : nullptr;
        TVxAttItem *item = nullptr;
        switch (c.kind) {
        case QelCommandKind::Form:
            item = AddForm(name, caption, QString::fromLatin1(c.formClass), parent, c.order,
                           c.image, c.modal);
            break;
        case QelCommandKind::Component:
            item = AddComponent(name, caption, parent, c.order, c.image);
            break;
        case QelCommandKind::Shell:
            item = AddShell(name, caption, parent, c.order, c.image);
            break;
        case QelCommandKind::Report: {
            TVxAttReport *report = AddReport(name, caption, parent, c.order, c.image);
            report->CodAppl = QStringLiteral("QEL");
            item = report;
            break;
        }
        }
        item->Visible = c.visible;
    }
}

bool TdmqelActivations::RequireSchoolYear()
{
    // A stored year that is not a number is as good as none: every later step needs a key.
    if (TVxWorkingContext::schoolYear() > 0)
        return true;
    VxMessageDlg(QStringLiteral("Non è stato selezionato l'anno scolastico di lavoro.\r\r"
                                "Selezionarlo in \"%1\".\r"
                                "Voce: \"Anno scolastico di lavoro\".")
                     .arg(qelCommandPath("xacParams")),
                 mtWarning, mbOK);
    return false;
}

bool TdmqelActivations::RequireSession()
{
    if (TVxWorkingContext::session() > 0)
        return true;
    VxMessageDlg(QStringLiteral("Non è stata selezionata la sessione scolastica di lavoro.\r\r"
                                "Selezionarla in \"%1\".\r"
                                "Voce: \"Sessione di lavoro\".")
                     .arg(qelCommandPath("xacParams")),
                 mtWarning, mbOK);
    return false;
}

QelDuplicateCheck *qelDuplicateCheck()
{
    return duplicateCheckStorage();
}

void setQelDuplicateCheck(QelDuplicateCheck *check)
{
    duplicateCheckStorage() = check;
}

static bool hasDuplicates()
{
    return qelDuplicateCheck() && qelDuplicateCheck()->HasRecuperiDoppi();
}

static int runCorrectionDialog()
{
    return qelDuplicateCheck()
               ? qelDuplicateCheck()->ShowCorrectionDialog(QApplication::activeWindow())
               : int(mrCancel);
}

bool TdmqelActivations::RequireNoDuplicateRecuperi()
{
    if (!hasDuplicates())
        return true;
    if (VxMessageDlg(QStringLiteral("Attenzione: sono stati trovati dei recuperi doppi (lo "
                                    "stesso alunno con più recuperi nella stessa materia e "
                                    "fase), che vanno corretti prima dell'invio. Procedere alla "
                                    "correzione?"),
                     mtWarning, mbOKCancel) != mrOk) {
        VxMessageDlg(QStringLiteral("Invio annullato: nessun dato è stato inviato.\r\rI "
                                    "recuperi doppi si correggono anche da \"%1\".")
                         .arg(qelCommandPath("xafCorreggiRecuperi")),
                     mtInformation, mbOK);
        return false;
    }
    bool result = false;
    if (runCorrectionDialog() == mrOk)
        result = !hasDuplicates();
    if (!result)
        VxMessageDlg(QStringLiteral("Alcuni errori non sono stati corretti. Rieseguire "
                                    "l'operazione."),
                     mtError, mbOK);
    return result;
}

void TdmqelActivations::NoteDuplicateRecuperi()
{
    m_duplicatesBefore =
        qelDuplicateCheck() ? qelDuplicateCheck()->DuplicateGroups() : QList<QelDuplicateGroup>();
}

void TdmqelActivations::OfferDuplicateRecuperiCheck()
{
    const QList<QelDuplicateGroup> now =
        qelDuplicateCheck() ? qelDuplicateCheck()->DuplicateGroups() : QList<QelDuplicateGroup>();
    const bool cameIn = std::any_of(now.begin(), now.end(), [this](const QelDuplicateGroup &g) {
        return std::none_of(m_duplicatesBefore.begin(), m_duplicatesBefore.end(),
                            [&g](const QelDuplicateGroup &b) {
                                return b.iAnsFreDwgId == g.iAnsFreDwgId && b.iSitId == g.iSitId &&
                                       b.iMatId == g.iMatId && b.records >= g.records;
                            });
    });
    m_duplicatesBefore.clear();
    if (!cameIn)
        return;
    if (VxMessageDlg(QStringLiteral("Attenzione: sono stati caricati dei recuperi doppi. "
                                    "Effettuare il controllo ora?"),
                     mtWarning, mbYesNo) == mrYes)
        runCorrectionDialog();
}

void TdmqelActivations::classSelection(bool &allowed)
{
    allowed = RequireSchoolYear() && RequireSession();
    if (!allowed)
        return;
    // The class-session dialog belongs to grade entry; it stores the choice in the grade
    // data module, where the make-up windows read it.
    const QString dialogClass = QStringLiteral("TfmQevSelCarCls");
    if (!FormRegistry::isRegistered(dialogClass))
        return;
    std::unique_ptr<QWidget> form(FormRegistry::create(dialogClass, nullptr));
    auto *dialog = qobject_cast<QDialog *>(form.get());
    allowed = dialog && VxExecModal(dialog) == mrOk;
}

void TdmqelActivations::webFolder(bool &allowed)
{
    const QString folder = dmqelParGen ? dmqelParGen->xpsDirWeb.GetValore().trimmed() : QString();
    allowed = !folder.isEmpty() && QFileInfo(resolvePath(folder)).isDir();
    if (allowed)
        return;
    // Where to mend it, as the web send says it.
    const QString where = qelCommandPath("xafDocParams");
    VxMessageDlg(folder.isEmpty()
                     ? QStringLiteral("La cartella di lavoro di Tavrin-Web non è impostata.\r\r"
                                      "Impostarla da \"%1\" per proseguire.")
                           .arg(where)
                     : QStringLiteral("La cartella di lavoro di Tavrin-Web impostata nei "
                                      "parametri non esiste:\r%1\r\rCrearla, o impostarne "
                                      "un'altra da \"%2\", per proseguire.")
                           .arg(QDir::toNativeSeparators(folder), where),
                 mtError, mbOK);
}

void TdmqelActivations::runReport(TVxAttItem *command, int number)
{
    const QelReportHooks &hooks = qelReportHooks();
    if (!hooks.previewReport) {
        showPlaceholder(command->Caption);
        return;
    }
    hooks.previewReport(number);
}

void TdmqelActivations::shellStat(bool &allowed)
{
    auto *shell = ItemAs<TVxAttShell>(QStringLiteral("xasStat"));
    const QString configured =
        dmqelParGen ? dmqelParGen->xpsProgStat.GetValore().trimmed() : QString();
    if (!configured.isEmpty()) {
        const QFileInfo info(resolvePath(configured));
        shell->Directory = info.absolutePath() + QLatin1Char('/');
        shell->FileName = info.fileName();
    }
    // The statistics program gets the database and the user, never the password: a command
    // line is readable by every user of the machine. It reads the password from the
    // connection settings file itself.
    const TVxConnectionSettings settings = readConnectionSettings();
    const int session = TVxWorkingContext::session();
    shell->Param = settings.Database + QLatin1Char(' ') + settings.User + QLatin1Char(' ') +
                   connectionSettingsFile() + QLatin1Char(' ') +
                   (session != 0 ? QString::number(session) : QString());
    allowed = QFileInfo(shell->ProgramPath()).isFile();
    if (!allowed)
        VxMessageDlg(QStringLiteral("Il programma dei dati per RICERCA non è installato:\r%1\r\r"
                                    "Indicarlo in ParGen.ini, sezione \"Programmi\", voce "
                                    "\"Statistiche\".")
                         .arg(shell->ProgramPath()),
                     mtWarning, mbOK);
}

void TdmqelActivations::shellSkype(bool &allowed)
{
    auto *shell = ItemAs<TVxAttShell>(QStringLiteral("xasSkype"));
    const QString configured =
        dmqelParGen ? dmqelParGen->xpsProgAssistenza.GetValore().trimmed() : QString();
    allowed = false;
    if (configured.isEmpty()) {
        VxMessageDlg(QStringLiteral("Il programma di assistenza remota non è configurato.\r\r"
                                    "Indicarlo in ParGen.ini, sezione \"Programmi\", voce "
                                    "\"Assistenza\"."),
                     mtWarning, mbOK);
        return;
    }
    const QFileInfo info(resolvePath(configured));
    if (info.isAbsolute()) {
        shell->Directory = info.absolutePath() + QLatin1Char('/');
    } else {
        shell->Directory = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    }
    shell->FileName = info.fileName();
    // A school code that cannot be read raises: the program is not started without it.
    shell->Param = TdmqelDataSets::SchoolSiteCode() + QStringLiteral(" VXAL");
    allowed = QFileInfo(shell->ProgramPath()).isFile();
    if (!allowed)
        VxMessageDlg(QStringLiteral("Il programma di assistenza remota non è installato:\r%1")
                         .arg(shell->ProgramPath()),
                     mtWarning, mbOK);
}

void TdmqelActivations::bindHandlers()
{
    auto form = [this](const char *name) { return ItemAs<TVxAttForm>(QString::fromLatin1(name)); };
    auto component = [this](const char *name) {
        return ItemAs<TVxAttComponent>(QString::fromLatin1(name));
    };

    // Make-up windows work on the class session chosen first.
    for (const char *name : {"xafRecupero", "xafEsitiRecuperi"})
        form(name)->BeforeExecute = [this](TVxAttItem *, bool &allowed) {
            classSelection(allowed);
        };

    // The judgment dialog works on the classes of the working session of the working year.
    for (const char *name : {"xafCompGiudMedie", "xafCancellaGiud"})
        form(name)->BeforeExecute = [](TVxAttItem *, bool &allowed) {
            allowed = RequireSchoolYear() && RequireSession();
        };
    // The register options belong to the working session, the signatures to the working year.
    form("xafOpzioni")->BeforeExecute = [](TVxAttItem *, bool &allowed) {
        allowed = RequireSchoolYear() && RequireSession();
    };
    form("xafFirma")->BeforeExecute = [](TVxAttItem *, bool &allowed) {
        allowed = RequireSchoolYear();
    };
    form("xafCompGiudMedie")->OnInizializedForm = [](TVxAttItem *, QWidget *w) {
        if (auto *judgments = qobject_cast<QelJudgmentModeForm *>(w))
            judgments->SetModo(0);
    };
    form("xafCancellaGiud")->OnInizializedForm = [](TVxAttItem *, QWidget *w) {
        if (auto *judgments = qobject_cast<QelJudgmentModeForm *>(w))
            judgments->SetModo(1);
    };

    // Reports of the exchange.
    const struct
    {
        const char *name;
        int number;
    } reports[] = {{"xacRepInvio", 16005}, {"xacRepRice", 16006}, {"xacRepComPaswd", 16100}};
    for (const auto &r : reports) {
        TVxAttComponent *item = component(r.name);
        item->BeforeExecute = [](TVxAttItem *, bool &allowed) {
            allowed = true;
            if (qelReportHooks().prepareDataSets)
                qelReportHooks().prepareDataSets();
            // Their footers print the print date, as the reports of "Stampe" do.
            if (qelReportHooks().setDataStampe)
                qelReportHooks().setDataStampe(TVxWorkingContext::reportDate());
        };
        const int number = r.number;
        item->OnExecute = [this, number](TVxAttItem *sender) { runReport(sender, number); };
    }

    auto *reportTree = ItemAs<TVxAttReport>(QStringLiteral("xarTavrin"));
    reportTree->OnShowReports = [](TVxAttReport *command) {
        if (qelReportHooks().showReports)
            qelReportHooks().showReports(command);
        else
            showPlaceholder(command->Caption);
    };
    reportTree->BeforeExecute = [](TVxAttItem *, bool &allowed) {
        allowed = true;
        if (dmqelParGen)
            dmqelParGen->WriteParRptIniFromDb();
        if (qelReportHooks().setDataStampe)
            qelReportHooks().setDataStampe(TVxWorkingContext::reportDate());
    };

    // Sends refuse to go while duplicate make-up records exist; collections offer the check.
    for (const char *name : {"xafSendC", "xafSendCPst", "xafSendRecuperiWeb"})
        form(name)->BeforeExecute = [this](TVxAttItem *, bool &allowed) {
            allowed = RequireNoDuplicateRecuperi();
        };
    for (const char *name : {"xafRiceC", "xafRiceCPst", "xafReceiveRecuperiDocWeb"}) {
        form(name)->BeforeExecute = [this](TVxAttItem *, bool &allowed) {
            allowed = true;
            NoteDuplicateRecuperi();
        };
        form(name)->AfterExecute = [this](TVxAttItem *) { OfferDuplicateRecuperiCheck(); };
    }

    form("xafReceiveDocWeb")->BeforeExecute = [this](TVxAttItem *, bool &allowed) {
        webFolder(allowed);
    };
    TVxAttForm *receiveRec = form("xafReceiveRecuperiDocWeb");
    receiveRec->BeforeExecute = [this](TVxAttItem *, bool &allowed) {
        NoteDuplicateRecuperi();
        webFolder(allowed);
        if (!allowed)
            return;
        FaseRecId = 0;
        const QString dialogClass = QStringLiteral("TfmqelSelectFaseRecupero");
        if (!FormRegistry::isRegistered(dialogClass))
            return; // the collection window is not in this version either
        std::unique_ptr<QWidget> w(FormRegistry::create(dialogClass, nullptr));
        auto *dialog = qobject_cast<QDialog *>(w.get());
        allowed = dialog && VxExecModal(dialog) == mrOk;
        if (!allowed)
            return;
        if (auto *chooser = qobject_cast<QelMakeupPhaseChooser *>(dialog))
            FaseRecId = chooser->GetFaseRecId();
        // Collecting without a phase would file the outcomes under no phase at all.
        if (FaseRecId == 0) {
            VxMessageDlg(QStringLiteral("Selezionare la fase di recupero da raccogliere."),
                         mtWarning, mbOK);
            allowed = false;
        }
    };
    receiveRec->OnInizializedForm = [this](TVxAttItem *, QWidget *w) {
        if (auto *collection = qobject_cast<QelMakeupPhaseForm *>(w))
            collection->SetFaseRecId(FaseRecId);
    };

    form("xafCorreggiRecuperi")->BeforeExecute = [](TVxAttItem *, bool &allowed) {
        allowed = hasDuplicates();
        if (!allowed)
            VxMessageDlg(QStringLiteral("Non sono stati rilevati errori nell'archivio dei "
                                        "recuperi."),
                         mtInformation, mbOK);
    };

    // Session configuration opens on the working session.
    form("xafClsMatCmp")->OnInizializedForm = [](TVxAttItem *, QWidget *w) {
        const int session = TVxWorkingContext::session();
        auto *configuration = qobject_cast<QelDefaultSessionForm *>(w);
        if (session > 0 && configuration)
            configuration->SetDefaultiAnsSesDwgId(session);
    };

    TVxAttComponent *params = component("xacParams");
    params->BeforeExecute = [](TVxAttItem *, bool &allowed) {
        QMdiArea *area = TdmVxAttivazioni::MdiArea();
        allowed = !area || area->subWindowList().isEmpty();
        if (!allowed)
            VxMessageDlg(QStringLiteral("Bisogna chiudere tutte le finestre attive per modificare "
                                        "i parametri"),
                         mtWarning, mbOK);
    };
    params->OnExecute = [](TVxAttItem *) {
        if (dmqelParams)
            runParameterDialog(dmqelParams->xpmVxuParams);
    };
    params->AfterExecute = [this](TVxAttItem *) {
        // The class and pupil windows follow the new context; the subject window does not.
        for (const QString &cls :
             {QStringLiteral("TfmqevCarCls"), QStringLiteral("TfmqevCarSng")}) {
            for (QWidget *w : FormRegistry::instances(cls)) {
                if (auto *grades = qobject_cast<QelContextForm *>(w))
                    grades->CaricaDati();
            }
        }
        emit contextChanged();
    };

    // The communication settings are the suite's add-on dialog, made and released here.
    component("xacComm")->OnExecute = [](TVxAttItem *sender) {
        const QString dialogClass = QStringLiteral("TfmxComm");
        std::unique_ptr<QWidget> form(FormRegistry::create(dialogClass, nullptr));
        if (auto *placeholder = qobject_cast<TfmqelNonDisponibile *>(form.get()))
            placeholder->setWindowTitle(sender->Caption.trimmed());
        if (auto *dialog = qobject_cast<QDialog *>(form.get()))
            VxExecModal(dialog);
    };

    auto *stat = ItemAs<TVxAttShell>(QStringLiteral("xasStat"));
    stat->Directory = GetMainDir() + QStringLiteral("BIN/");
    stat->FileName = QStringLiteral("qew.exe");
    stat->BeforeExecute = [this](TVxAttItem *, bool &allowed) { shellStat(allowed); };
    ItemAs<TVxAttShell>(QStringLiteral("xasSkype"))->BeforeExecute =
        [this](TVxAttItem *, bool &allowed) { shellSkype(allowed); };
}
