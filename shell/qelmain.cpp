#include "shell/qelmain.h"

#include "platform/attivazioni.h"
#include "platform/desktop.h"
#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "platform/messagedlg.h"
#include "platform/outlookbar.h"
#include "platform/vxexception.h"
#include "reportengine/reporttree.h"
#include "shell/qelactivations.h"
#include "shell/qeldatasets.h"
#include "shell/qelparams.h"
#include "shell/qelpargen.h"
#include "shell/qelreporttree.h"
#include "shell/qelutil.h"

#include <QAction>
#include <QMenu>
#include <QSplitter>
#include <QUrl>

#include <algorithm>

TfmqelMain *fmqelMain = nullptr;

namespace {

// The main window's layout as the office leaves it, in the ETC folder of the main folder.
const char kLayoutFile[] = "qelMain.ini";
const char kLayoutSection[] = "Finestra principale";
const char kBarWidth[] = "LarghezzaComandi";

// A panel shows what it can: a database that cannot be read leaves the value out rather
// than breaking the window's painting.
template <typename F> QString safely(F read)
{
    try {
        return read();
    } catch (const EVxException &) {
        return QString();
    } catch (const std::exception &) {
        return QString();
    }
}

} // namespace

QStringList TfmqelMain::commandImageNames()
{
    return {QStringLiteral("CARPERCLS"),
            QStringLiteral("DATIANAGRAFICI"),
            QStringLiteral("CARPERMAT"),
            QStringLiteral("INVIO"),
            QStringLiteral("RACCOLTA"),
            QStringLiteral("EXPSCR"),
            QStringLiteral("IMPSCR"),
            QStringLiteral("SESSIONICFG"),
            QStringLiteral("SESSIONICLASSI"),
            QStringLiteral("SESSIONI"),
            QStringLiteral("COMPONENTIVOTO"),
            QStringLiteral("SCLCOMP"),
            QStringLiteral("LIVELLI"),
            QStringLiteral("LIVELLIPROPOSTI"),
            QStringLiteral("SCLLIVPRP"),
            QStringLiteral("CREBND"),
            QStringLiteral("CREENC"),
            QStringLiteral("CREFRM"),
            QStringLiteral("CRESCO"),
            QStringLiteral("DEBESI"),
            QStringLiteral("DEBTIP"),
            QStringLiteral("PARAMETRI"),
            QStringLiteral("FIRME"),
            QStringLiteral("BROGLIACCIO INVIO"),
            QStringLiteral("BROGLIACCIO RACCOLTA"),
            QStringLiteral("EXPORTDATI"),
            QStringLiteral("PAGELLAWEB"),
            QStringLiteral("RICERCA"),
            QStringLiteral("SCALE_VOTI_APERTI"),
            QStringLiteral("TAVRIN_WEB_INVIO"),
            QStringLiteral("TAVRIN_WEB_PASSWD"),
            QStringLiteral("TAVRIN_WEB_RACCOLTA"),
            QStringLiteral("TRADUZIONI"),
            QStringLiteral("PARAMETRI_CONNESSIONE")};
}

TfmqelMain::TfmqelMain(QWidget *parent) : TfmVxMDIMain(parent)
{
    setObjectName(QStringLiteral("fmqelMain"));
    setWindowTitle(QStringLiteral("Tavrin"));
    FormCreate();
}

TfmqelMain::~TfmqelMain()
{
    if (fmqelMain == this)
        fmqelMain = nullptr;
}

void TfmqelMain::FormCreate()
{
    const QStringList names = commandImageNames();
    LoadDefaultImages(ilCommands(), names.mid(0, 26), itLarge);
    LoadImages(ilCommands(), QString(), names.mid(26), itLarge);
    LoadDefaultImages(ilLast, mainWindowExtraImageNames(), itLarge);
    ilCommands().addImages(ilLast);

    TfmVxMDIMain::FormCreate();
    FirstActivation = true;
    if (dmqelActivations) {
        dmqelActivations->SetContainer(mxOLBar());
        connect(dmqelActivations, &TdmqelActivations::contextChanged, this,
                &TfmVxMDIMain::RefreshPanels);
    }
    mxOLBar()->setMinimumWidth(209);
    AddPanel(300);
    AddPanel(200);
    AddPanel(100);
    SetPanelTextCallback([this](int panel, QString &text) { GetPanelText(panel, text); });

    m_acFaq = new QAction(QStringLiteral("Note su internet"), this);
    m_acFaq->setObjectName(QStringLiteral("acFaq"));
    m_acFaq->setToolTip(QStringLiteral("Note su internet"));
    connect(m_acFaq, &QAction::triggered, this, &TfmqelMain::openFaq);
    miHelp()->addAction(m_acFaq);
}

void TfmqelMain::openFaq()
{
    const QString host =
        dmqelParGen ? dmqelParGen->xpsSitoInternet.GetValore().trimmed() : QString();
    if (host.isEmpty()) {
        VxMessageDlg(
            QStringLiteral("L'indirizzo del sito non è configurato.\r\r"
                           "Indicarlo in ParGen.ini, sezione \"Internet\", voce \"Sito\"."),
            mtWarning, mbOK);
        return;
    }
    QString base = host;
    if (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    // Read as typed in the INI file: "www.esempio.it" is a web address, not a relative path
    // that opens nothing.
    const QUrl url =
        QUrl::fromUserInput(base + QStringLiteral("/_updates/mix/wiki/ScrutinioQualifica.pdf"));
    if (VxOpenUrl(url))
        return;
    VxMessageDlg(QStringLiteral("Impossibile aprire la pagina %1 nel browser.\r\r"
                                "Controllare l'indirizzo del sito in ParGen.ini, sezione "
                                "\"Internet\", voce \"Sito\".")
                     .arg(url.toDisplayString()),
                 mtWarning, mbOK);
}

void TfmqelMain::GetPanelText(int panel, QString &text) const
{
    switch (panel) {
    case 1: {
        const int institute = TVxWorkingContext::institute();
        text = QStringLiteral(" Istituto: ") +
               (institute != 0 ? QString::number(institute) : QString());
        break;
    }
    case 2:
        text = QStringLiteral(" Sessione: ") +
               safely([] { return GetSessioneDesc(TVxWorkingContext::session()); });
        break;
    case 3:
        // The year key is not a calendar year: the panel shows the year's own start year.
        text = QStringLiteral(" A.S.: ") +
               safely([] { return AnnoScolTextOfAnsId(TVxWorkingContext::schoolYear()); });
        break;
    default:
        break;
    }
}

void TfmqelMain::FormActivate()
{
    TfmVxMDIMain::FormActivate();
    if (FirstActivation)
        ensureFirstActivation();
}

void TfmqelMain::ensureFirstActivation()
{
    if (!FirstActivation)
        return;
    FirstActivation = false;
    if (!dmqelDataSets || !dmqelDataSets->OpenConnection()) {
        close();
        return;
    }
    // Reached from a window event or a timer: a failure of a step is shown, and the window
    // stays with what the steps before it did.
    RunShowingErrors([this] {
        if (dmqelActivations) {
            dmqelActivations->Execute();
            mxOLBar()->ActivatePage(0);
        }
        // The command bar as wide as the office last left it (the report names whole).
        const int width = TVxINIFile(QString::fromLatin1(kLayoutFile))
                              .ReadInteger(QString::fromLatin1(kLayoutSection),
                                           QString::fromLatin1(kBarWidth), 0);
        if (width > 0)
            spOLBar()->setSizes({width, std::max(1, spOLBar()->width() - width)});
        CheckWorkingContext(dmqelParams ? dmqelParams->xpmVxuParams : nullptr);
    });
    RefreshPanels();
    RunShowingErrors([this] {
        // Templates read the datasets of the modules with these names, and those that
        // register themselves with the report tree.
        if (TVxRptTreeView *tree = dmqelActivations ? qelReportTree(dmqelActivations) : nullptr) {
            for (const char *pattern : {"dmzelDataSets*", "dmqelDataSets*", "dmqevDataSets*"})
                tree->RptFR().AddDataModuleFilter(QString::fromLatin1(pattern));
        }
        if (qelReportHooks().createReportModule) {
            m_reportModule = qelReportHooks().createReportModule(this);
            if (m_reportModule && qelReportHooks().bindReportComponent)
                qelReportHooks().bindReportComponent(m_reportModule);
        }
    });
}

bool TfmqelMain::FormClose()
{
    if (!TfmVxMDIMain::FormClose())
        return false;
    // Only a width the office chose is kept; a main folder that cannot take it loses nothing
    // but the width.
    const int width = mxOLBar()->width();
    TVxINIFile layout(QString::fromLatin1(kLayoutFile));
    if (mxOLBar()->PageCount() > 0 &&
        layout.ReadInteger(QString::fromLatin1(kLayoutSection), QString::fromLatin1(kBarWidth),
                           0) != width) {
        try {
            layout.WriteInteger(QString::fromLatin1(kLayoutSection), QString::fromLatin1(kBarWidth),
                                width);
        } catch (const EVxException &) {
        }
    }
    if (dmqelDataSets)
        dmqelDataSets->CloseConnection();
    delete m_reportModule.data();
    return true;
}
