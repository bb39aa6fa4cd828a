#pragma once

#include "platform/inifile.h"
#include "platform/params.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class TdmxComm;

// The program's general parameters (ETC\ParGen.ini) and the print parameters
// (ETC\qelParRpt.ini). The print parameters are mirrored in the database (TParVal row 1) so
// that every workstation prints with the same settings: the file is rewritten from the
// database before each print, and saved back when the office confirms the print settings.
class TdmqelParGen : public QObject
{
    Q_OBJECT
public:
    explicit TdmqelParGen(QObject *owner = nullptr);
    ~TdmqelParGen() override;

    QString reportIniPath() const { return ReportIniPath; }

    // Database to file. A database without the row (or with an empty blob) leaves the file
    // as it is: it may be the only copy of the settings. The file is replaced atomically.
    // Raises EVxException when the database cannot be read or the file cannot be written.
    void WriteParRptIniFromDb();

    // File to database, blank lines dropped, in one transaction. Raises EVxException (after
    // rolling back) when the file cannot be read, the transaction cannot start or a
    // statement fails: the caller shows it and keeps its dialog open.
    void SaveParRptIniToDb();

    TVxINIFile xIniFilePar;
    TVxINIFile xifRpt;

    TVxParString xpsDirFloppy;
    TVxParString xpsDirRete;
    TVxParString xpsDirUSB;
    TVxParString xpsDirWeb;
    TVxParInteger xpiAskPasswd;
    TVxParInteger xpiVot;
    TVxParInteger xpiVtp;
    TVxParInteger xpiTas;
    TVxParInteger xpiAss;
    TVxParInteger xpiAiu;
    TVxParInteger xpiNot;
    TVxParInteger xpiDeb;
    TVxParInteger xpiComp;

    // The statistics and remote-assistance programs of the suite (paths, ParGen.ini section
    // "Programmi"): they are not part of every installation.
    TVxParString xpsProgStat;
    TVxParString xpsProgAssistenza;
    // The converter of the statistics extracts into workbooks ("Convertitore", by default
    // bin\cdsXls.exe of the main folder), and how long an export waits for one conversion
    // ("AttesaConvertitore", seconds).
    TVxParString xpsProgCdsXls;
    TVxParInteger xpiAttesaCdsXls;
    // The set-up program of the teachers' grade-entry program, copied beside the packets of
    // the USB-key send ("SetupDocenti", by default ETC\QED\Setup.exe of the main folder).
    TVxParString xpsSetupDocenti;
    // The maker's web site, where the help notes live (ParGen.ini, "Internet", "Sito").
    TVxParString xpsSitoInternet;
    // The maker's web server of the exchange and of the registers: scheme and host, e.g.
    // https://server.example (ParGen.ini, "ServerWeb", "Indirizzo"). No default: the office
    // must know which server its data goes to.
    TVxParString xpsServerWeb;
    // The maker's support server, which publishes the report templates, and its wiki, with
    // the board of custom reports (ParGen.ini, "ServerWeb", "Supporto" and "Wiki"). No
    // default either.
    TVxParString xpsServerSupporto;
    TVxParString xpsServerWiki;
    // Each address checked, without a trailing "/", ready for the page paths to follow.
    // Raises EVxException with the message the command shows when it is unset or is not an
    // http or https address.
    QString WebServerAddress() const;
    QString SupportServerAddress() const;
    QString WikiServerAddress() const;
    // The limits of the web client (ParGen.ini, "ServerWeb"): the longest a server may stay
    // silent ("AttesaRisposta", seconds, 60), the longest a transfer may go without moving
    // ("AttesaAvanzamento", seconds, 300) and the largest download ("DimensioneMassima", MB,
    // 256). ApplyWebLimits sets them on a client; a value that is no positive number keeps
    // its default.
    TVxParInteger xpiAttesaRisposta;
    TVxParInteger xpiAttesaAvanzamento;
    TVxParInteger xpiDimensioneMassima;
    void ApplyWebLimits(TdmxComm &comm) const;

    TVxParInteger xpiSes1;
    TVxParInteger xpiSes2;
    TVxParInteger xpiSes3;
    // xpiCmp[slot - 1][n - 1] is the n-th vote component printed for the slot.
    std::array<std::array<TVxParInteger, 8>, 3> xpiCmp;
    TVxParString xpsEsi;

private:
    QString ReportIniPath;
};

extern TdmqelParGen *dmqelParGen;

// Runs the work on the program's general parameters or, when the program has none yet (a
// window made alone, a test), on a set read for the call.
void WithParGen(const std::function<void(const TdmqelParGen &)> &work);
