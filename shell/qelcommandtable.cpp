#include "shell/qelcommandtable.h"

#include <QByteArray>

namespace {
constexpr auto F = QelCommandKind::Form;
constexpr auto C = QelCommandKind::Component;
constexpr auto S = QelCommandKind::Shell;
constexpr auto R = QelCommandKind::Report;
} // namespace

const QList<QelPageDef> &qelPages()
{
    static const QList<QelPageDef> pages = {
        {"xpgVal", "Gestione", 0, false, true},
        {"xpgDocenti", "Docenti", 10, true, true},
        {"xpgScrutinio", "Scrutinio", 20, false, true},
        {"xpgReport", "Stampe", 30, true, true},
        {"xpgStampaDigitale", "Stampa digitale", 35, false, true},
        {"xpgCom", "Comunicazione", 40, true, true},
        {"xpgAllineamenti", "Allineamenti", 45, false, true},
        {"xpgCfgSes", "Configura sessione", 50, false, true},
        {"xpgTabVal", "Tabelle valutazione", 60, true, true},
        {"xpgTabCre", "Crediti", 70, false, true},
        {"xpgTabDeb", "Debiti", 80, false, false},
        {"xpgTools", "Utilità e parametri", 90, true, true},
    };
    return pages;
}

// The session-configuration, signature, translation and communication commands come from
// packages of the suite; their names and captions here are the program's own.
const QList<QelCommandDef> &qelCommands()
{
    static const QList<QelCommandDef> commands = {
        {"xafRecupero", "xpgVal", F, "Recuperi", 100, 42, "TfmQelRec", false, true},
        {"xafEsitiRecuperi", "xpgVal", F, "Esiti Recuperi", 105, 56, "TfmQelEsitiRecuperi", false,
         true},
        {"xafCompGiudMedie", "xpgVal", F, "Compone Giudizio", 110, 39, "TfmqelCompGiudizioMedie",
         true, true},
        {"xafCancellaGiud", "xpgVal", F, "Cancella Giudizio", 120, 49, "TfmqelCompGiudizioMedie",
         true, true},

        {"xafCfgInvio", "xpgDocenti", F, "Configurazione invio", 10, 11, "TfmqelDocInv", true,
         true},
        {"xacRepComPaswd", "xpgDocenti", C, "Comunicazione password", 20, 30, nullptr, false, true},
        {"xafSendDocWeb", "xpgDocenti", F, "Invio Tavrin-Web", 30, 29, "TfmqelDocSendWeb", true,
         true},
        {"xafReceiveDocWeb", "xpgDocenti", F, "Raccolta Tavrin-Web", 40, 31, "TfmqelDocReceiveWeb",
         true, true},
        {"xafDocDelSessioniWeb", "xpgDocenti", F, "Cancella sessione Tavrin-Web", 45, 51,
         "TfmqelDocDelSessioneWeb", true, true},
        {"xafSendRecuperiWeb", "xpgDocenti", F, "Invio Recuperi Tavrin-Web", 50, 44,
         "TfmqelDocSendRecuperiWeb", true, true},
        {"xafDelRecWeb", "xpgDocenti", F, "Cancella recuperi Tavrin-Web", 55, 58,
         "TfmQelDocDelRecuperiWeb", true, true},
        {"xafReceiveRecuperiDocWeb", "xpgDocenti", F, "Raccolta Recuperi Tavrin-Web", 60, 45,
         "TfmqelDocReceiveRecuperiWeb", true, true},
        {"xafSendD", "xpgDocenti", F, "Invio (dischetti)", 70, 3, "TfmqelSendD", true, true},
        {"xacRepInvio", "xpgDocenti", C, "Brogliaccio invio", 80, 23, nullptr, false, true},
        {"xafRiceD", "xpgDocenti", F, "Raccolta (dischetti)", 90, 4, "TfmqelRiceD", true, true},
        {"xacRepRice", "xpgDocenti", C, "Brogliaccio raccolta", 100, 24, nullptr, false, true},

        {"xafSendC", "xpgScrutinio", F, "Invio", 0, 36, "TfmqelSendScrutinio", true, true},
        {"xafSendCPst", "xpgScrutinio", F, "Invio per Piano di Studio", 0, 34, "TfmQelSendCPst",
         true, true},
        {"xafRiceCPst", "xpgScrutinio", F, "Raccolta per Piano di Studio", 0, 35, "TfmqelRiceCPst",
         true, true},
        {"xafAggStampe", "xpgScrutinio", F, "Aggiorna stampe scrutinio", 0, 40, "TfmQelAggStampe",
         true, true},
        {"xafRiceC", "xpgScrutinio", F, "Raccolta", 1, 37, "TfmqelRiceC", true, true},

        {"xarTavrin", "xpgReport", R, "Stampe", 0, -1, nullptr, false, true},

        {"xafStampaRegistri", "xpgStampaDigitale", F, "Stampa Digitale Registri", 0, 47,
         "TfmQelStampaVerbali", true, true},
        {"xafOpzioni", "xpgStampaDigitale", F, "Opzioni", 0, 56, "TfmQelOpzioniRegistri", true,
         true},
        {"xafFirma", "xpgStampaDigitale", F, "Firma del preside", 0, 57, "TfmQelFirmaPreside", true,
         true},
        {"xafVolumi", "xpgStampaDigitale", F, "Gestione Volumi", 0, 59, "TfmQelGestioneVolumi",
         false, true},

        {"xafRepos", "xpgCom", F, "Pagelle Web", 0, 26, "TfmqelPagelleWeb", true, true},

        {"xafExpMediaAlunni", "xpgAllineamenti", F, "Esportazione dati alunni", 1, 41,
         "TfmqelExpMediaAlunni", true, true},
        {"xafEsitiRec", "xpgAllineamenti", F, "Tipi/Esiti recuperi", 2, 43, "TfmqelRecuperiConvert",
         true, true},

        {"xafClsMatCmp", "xpgCfgSes", F, "Configurazione sessione", 0, 7, "TfmzelClsMatCmp", false,
         true},
        {"xafAnsSesDwg", "xpgCfgSes", F, "Sessioni delle classi", 1, 8, "TfmzelAnsSesDwg", false,
         true},
        {"xafSessioni", "xpgCfgSes", F, "Sessioni", 2, 9, "TfmzelSessioni", false, true},
        {"xafPassaVoti", "xpgCfgSes", F, "Prepara sessione differita", 0, 46, "TfmQelPassaVoti",
         true, true},
        {"xafPassaVotiQual", "xpgCfgSes", F, "Prepara esame di qualifica", 5, 60,
         "TfmQelPassaVotiQual", false, true},

        {"xafCmp", "xpgTabVal", F, "Componenti voto", 0, 10, "TfmzelCmp", false, true},
        {"xafSclCmp", "xpgTabVal", F, "Scale dei componenti", 1, 11, "TfmzelSclCmp", false, true},
        {"xafScaLiv", "xpgTabVal", F, "Livelli", 2, 12, "TfmzelScaLiv", false, true},
        {"xafPrpScaLiv", "xpgTabVal", F, "Livelli proposti", 3, 13, "TfmzelPrpScaLiv", false, true},
        {"xafSclLivPrp", "xpgTabVal", F, "Scale dei livelli proposti", 4, 14, "TfmzelSclLivPrp",
         false, true},
        {"xafScaAperte", "xpgTabVal", F, "Scale voti aperti", 5, 28, "TfmzelScaAperte", false,
         true},
        {"xafGiudizi", "xpgTabVal", F, "Giudizi", 10, 39, "TfmQelGiudizi", false, true},

        {"xafRiconoscimento", "xpgTabCre", F, "Riconoscimento", 0, 38, "TfmQelRiconoscimento",
         false, true},
        {"xafBande", "xpgTabCre", F, "Bande credito", 1, 15, "TfmqelBande", false, false},
        {"xafEncomio", "xpgTabCre", F, "Encomio", 2, 16, "TfmqelEncomio", false, true},
        {"xafFrm", "xpgTabCre", F, "Crediti formativi", 2, 17, "TfmqelFrm", false, true},
        {"xafSco", "xpgTabCre", F, "Crediti scolastici", 2, 18, "TfmqelSco", false, true},

        {"xafDesDed", "xpgTabDeb", F, "Esito debiti ", 0, 19, "TfmqelDesDed", false, true},
        {"xafDtpDtd", "xpgTabDeb", F, "Debiti", 2, 20, "TfmqelDtpDtd", false, true},

        {"xacParams", "xpgTools", C, "Parametri applicazione", 10, 53, nullptr, false, true},
        {"xafDocParams", "xpgTools", F, "Parametri Invio docenti", 20, 52, "TfmQelDocParams", true,
         true},
        {"xafParRpt", "xpgTools", F, "Parametri Stampe", 30, 54, "TfmqelParRpt", true, true},
        {"xafRilIntegr", "xpgTools", F, "Rilevazione integrativa", 40, 50, "TfmQelRilIntegr", true,
         true},
        {"xafStat", "xpgTools", F, "Dati per RICERCA", 50, 27, "TfmQelExport", true, true},
        {"xafTraduzioni", "xpgTools", F, "Traduzioni", 60, 32, "TfmVxManageWords", false, true},
        {"xacComm", "xpgTools", C, "Parametri di connessione", 70, 33, nullptr, false, true},
        {"xafFirme", "xpgTools", F, "Firme", 80, 22, "TfmzesFirme", false, true},
        {"xafCorreggiRecuperi", "xpgTools", F, "Controllo recuperi", 80, 55, "TqelFCtrRecuperi",
         true, true},

        {"xasStat", nullptr, S, "Dati per RICERCA", 8, 27, nullptr, false, true},
        {"xasSkype", nullptr, S, "VsHelp", 100, 48, nullptr, false, false},
    };
    return commands;
}

QString qelCommandPath(const char *name)
{
    for (const QelCommandDef &command : qelCommands()) {
        if (qstrcmp(command.name, name) != 0)
            continue;
        for (const QelPageDef &page : qelPages())
            if (command.page && qstrcmp(page.name, command.page) == 0)
                return QString::fromUtf8(page.caption) + QStringLiteral(" - ") +
                       QString::fromUtf8(command.caption);
    }
    Q_ASSERT_X(false, "qelCommandPath", name);
    return QString::fromUtf8(name);
}

const QList<const char *> &qelPendingFormClasses()
{
    static const QList<const char *> classes = {
    };
    return classes;
}

QStringList qelOtherProgramFormClasses()
{
    return {
        QStringLiteral("TfmzelClsMatCmp"), QStringLiteral("TfmzelAnsSesDwg"),
        QStringLiteral("TfmzelSessioni"),  QStringLiteral("TfmzelCmp"),
        QStringLiteral("TfmzelSclCmp"),    QStringLiteral("TfmzelScaLiv"),
        QStringLiteral("TfmzelPrpScaLiv"), QStringLiteral("TfmzelSclLivPrp"),
        QStringLiteral("TfmzelScaAperte"), QStringLiteral("TfmVxManageWords"),
        QStringLiteral("TfmzesFirme"),     QStringLiteral("TfmxComm"),
    };
}
