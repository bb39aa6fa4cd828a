#include "shell/qelpargen.h"

#include "platform/comm.h"
#include "platform/connection.h"
#include "platform/fileaccess.h"
#include "platform/maindir.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QFile>
#include <QSqlQuery>
#include <QStringConverter>
#include <QStringDecoder>
#include <QUrl>

TdmqelParGen *dmqelParGen = nullptr;

namespace {

const char kSelectParRpt[] = "SELECT TParVal.iParValId, TParVal.bParVal FROM TParVal TParVal "
                             "WHERE TParVal.iParValId = :iParValId";
const char kUpdateParRpt[] = "UPDATE TParVal SET bParVal = :bParVal WHERE iParValId = :iParValId";
const char kInsertParRpt[] =
    "INSERT INTO TParVal (iParValId, bParVal) VALUES (:iParValId, :bParVal)";

// Workstations of the suite on Windows store the blob in their code page; ours store UTF-8.
QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder latin(QStringDecoder::Latin1);
    return latin(bytes);
}

// A server address as the office wrote it in ParGen.ini. Never guessed: the office must know
// which server it talks to.
QString checkedServerAddress(const TVxParString &par, const QString &server)
{
    const QString where = QStringLiteral("Indicarlo nel file ETC\\ParGen.ini, sezione [%1], "
                                         "chiave %2, per esempio https://server.esempio.it")
                              .arg(par.Section(), par.Ident());
    QString text = par.GetValore().trimmed();
    if (text.isEmpty())
        throw EVxException(QStringLiteral("Non è impostato l'indirizzo del %1.\r\r").arg(server) +
                           where);
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() ||
        url.hasFragment() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        throw EVxException(
            QStringLiteral("L'indirizzo del %1 \"%2\" non è valido.\r\r").arg(server, text) +
            where);
    return text;
}

TVxFieldValues rowOne()
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iParValId"), 1);
    return values;
}

} // namespace

TdmqelParGen::TdmqelParGen(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("dmqelParGen"));
    const QString etc = mainSubDir(QStringLiteral("ETC"));
    ReportIniPath = resolvePath(etc + QStringLiteral("qelParRpt.ini"));

    xIniFilePar.setFileName(resolvePath(etc + QStringLiteral("ParGen.ini")));
    xIniFilePar.setScriviSempre(true);
    xifRpt.setFileName(ReportIniPath);
    xifRpt.setScriviSempre(true);

    auto bind = [](auto &par, const TVxINIFile &ini, const QString &section, const QString &key) {
        par.setINIFile(ini);
        par.setSection(section);
        par.setIdent(key);
    };
    const QString send = QStringLiteral("Send-Qed");
    bind(xpsDirFloppy, xIniFilePar, send, QStringLiteral("Floppy"));
    bind(xpsDirRete, xIniFilePar, send, QStringLiteral("Rete"));
    bind(xpsDirUSB, xIniFilePar, send, QStringLiteral("USB"));
    bind(xpsDirWeb, xIniFilePar, send, QStringLiteral("Web"));
    bind(xpiAskPasswd, xIniFilePar, send, QStringLiteral("Passwd"));
    const QString exp = QStringLiteral("ExpDoc");
    bind(xpiVot, xIniFilePar, exp, QStringLiteral("Vot"));
    bind(xpiVtp, xIniFilePar, exp, QStringLiteral("Vtp"));
    bind(xpiTas, xIniFilePar, exp, QStringLiteral("Tas"));
    bind(xpiAss, xIniFilePar, exp, QStringLiteral("Ass"));
    bind(xpiAiu, xIniFilePar, exp, QStringLiteral("Aiu"));
    bind(xpiNot, xIniFilePar, exp, QStringLiteral("Not"));
    bind(xpiDeb, xIniFilePar, exp, QStringLiteral("Deb"));
    bind(xpiComp, xIniFilePar, exp, QStringLiteral("Comp"));

    bind(xpsProgStat, xIniFilePar, QStringLiteral("Programmi"), QStringLiteral("Statistiche"));
    bind(xpsProgAssistenza, xIniFilePar, QStringLiteral("Programmi"), QStringLiteral("Assistenza"));
    bind(xpsProgCdsXls, xIniFilePar, QStringLiteral("Programmi"), QStringLiteral("Convertitore"));
    xpsProgCdsXls.setDefault(QStringLiteral("bin\\cdsXls.exe"));
    bind(xpsSetupDocenti, xIniFilePar, QStringLiteral("Programmi"), QStringLiteral("SetupDocenti"));
    xpsSetupDocenti.setDefault(QStringLiteral("ETC\\QED\\Setup.exe"));
    bind(xpiAttesaCdsXls, xIniFilePar, QStringLiteral("Programmi"),
         QStringLiteral("AttesaConvertitore"));
    xpiAttesaCdsXls.setDefault(300);
    bind(xpsSitoInternet, xIniFilePar, QStringLiteral("Internet"), QStringLiteral("Sito"));
    bind(xpsServerWeb, xIniFilePar, QStringLiteral("ServerWeb"), QStringLiteral("Indirizzo"));
    bind(xpsServerSupporto, xIniFilePar, QStringLiteral("ServerWeb"), QStringLiteral("Supporto"));
    bind(xpsServerWiki, xIniFilePar, QStringLiteral("ServerWeb"), QStringLiteral("Wiki"));
    bind(xpiAttesaRisposta, xIniFilePar, QStringLiteral("ServerWeb"),
         QStringLiteral("AttesaRisposta"));
    xpiAttesaRisposta.setDefault(TdmxComm::kDefaultTimeout / 1000);
    bind(xpiAttesaAvanzamento, xIniFilePar, QStringLiteral("ServerWeb"),
         QStringLiteral("AttesaAvanzamento"));
    xpiAttesaAvanzamento.setDefault(TdmxComm::kDefaultTimeLimit / 1000);
    bind(xpiDimensioneMassima, xIniFilePar, QStringLiteral("ServerWeb"),
         QStringLiteral("DimensioneMassima"));
    xpiDimensioneMassima.setDefault(int(TdmxComm::kDefaultMaxReplySize >> 20));

    TVxParInteger *sessions[] = {&xpiSes1, &xpiSes2, &xpiSes3};
    for (int slot = 1; slot <= 3; ++slot) {
        const QString section = QStringLiteral("Sessione%1").arg(slot);
        bind(*sessions[slot - 1], xifRpt, section, QStringLiteral("CodSessione%1").arg(slot));
        for (int n = 1; n <= 8; ++n)
            bind(xpiCmp[slot - 1][n - 1], xifRpt, section,
                 QStringLiteral("CodComponente%1").arg(n));
    }
    bind(xpsEsi, xifRpt, QStringLiteral("Tabelloni"), QStringLiteral("Esiti"));
}

TdmqelParGen::~TdmqelParGen()
{
    if (dmqelParGen == this)
        dmqelParGen = nullptr;
}

QString TdmqelParGen::WebServerAddress() const
{
    return checkedServerAddress(xpsServerWeb, QStringLiteral("server Veldrasoft"));
}

QString TdmqelParGen::SupportServerAddress() const
{
    return checkedServerAddress(xpsServerSupporto, QStringLiteral("server di supporto Veldrasoft"));
}

QString TdmqelParGen::WikiServerAddress() const
{
    return checkedServerAddress(xpsServerWiki, QStringLiteral("server wiki Veldrasoft"));
}

void TdmqelParGen::ApplyWebLimits(TdmxComm &comm) const
{
    // Seconds and megabytes as the office writes them; kept below what the timers take.
    const auto positive = [](const TVxParInteger &par, qint64 most) {
        const qint64 value = par.GetValore();
        return value > 0 ? qMin(value, most) : qint64(0);
    };
    if (const qint64 s = positive(xpiAttesaRisposta, 24 * 3600))
        comm.setTimeout(int(s * 1000));
    if (const qint64 s = positive(xpiAttesaAvanzamento, 24 * 3600))
        comm.setTimeLimit(int(s * 1000));
    if (const qint64 mb = positive(xpiDimensioneMassima, 1 << 20))
        comm.setMaxReplySize(mb << 20);
}

void TdmqelParGen::WriteParRptIniFromDb()
{
    const QString what = QStringLiteral("Impossibile leggere i parametri di stampa dall'archivio.");
    const QString text = VxExplain(what, [] {
        QSqlQuery query(qqoVxGlobConn());
        query.setForwardOnly(true);
        execBound(query, QString::fromLatin1(kSelectParRpt), rowOne());
        if (!fetchNext(query) || query.value(1).isNull())
            return QString();
        return decodeText(query.value(1).toByteArray());
    });
    if (text.isEmpty())
        return;

    VxReplaceFile(ReportIniPath, text.toUtf8() + "\r\n");
}

void TdmqelParGen::SaveParRptIniToDb()
{
    QFile file;
    if (!VxOpenRegularFile(file, ReportIniPath))
        throw EVxException(QStringLiteral("Impossibile leggere il file %1: %2.")
                               .arg(ReportIniPath, VxFileErrorText(file)));
    QStringList kept;
    const QStringList lines = decodeText(file.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            kept << line;
    }
    QString text;
    for (const QString &line : std::as_const(kept))
        text += line + QStringLiteral("\r\n");

    const QString what = QStringLiteral("Impossibile salvare i parametri di stampa nell'archivio.");
    TVxTransaction transaction(qqoVxGlobConn());
    if (!transaction.StartTransaction())
        throw EVxException(QStringLiteral("%1\r\r%2").arg(what, transaction.lastError()));
    VxExplain(what, [&] {
        QSqlQuery &select = transaction.Exec(QString::fromLatin1(kSelectParRpt), rowOne());
        const bool exists = fetchNext(select) && select.value(0).toInt() != 0;
        TVxFieldValues values = rowOne();
        values.setValue(QStringLiteral("bParVal"), text.toUtf8());
        // Another workstation may have removed the row since it was read.
        if (transaction.Exec(QString::fromLatin1(exists ? kUpdateParRpt : kInsertParRpt), values)
                .numRowsAffected() != 1)
            throw EVxException(QStringLiteral("La riga dei parametri non è stata scritta."));
    });
    transaction.Commit();
}

void WithParGen(const std::function<void(const TdmqelParGen &)> &work)
{
    if (dmqelParGen) {
        work(*dmqelParGen);
        return;
    }
    const TdmqelParGen own;
    work(own);
}
