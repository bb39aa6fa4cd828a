#include "shell/qelpargen.h"

#include "platform/connection.h"
#include "platform/maindir.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QFile>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringConverter>
#include <QStringDecoder>

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

EVxException dbFailure(const QString &what, const QSqlError &error)
{
    return EVxException(QStringLiteral("%1\r\r%2").arg(what, error.text()));
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
    bind(xpsSitoInternet, xIniFilePar, QStringLiteral("Internet"), QStringLiteral("Sito"));

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

void TdmqelParGen::WriteParRptIniFromDb()
{
    const QString what = QStringLiteral("Impossibile leggere i parametri di stampa dall'archivio.");
    QSqlQuery query(qqoVxGlobConn());
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromLatin1(kSelectParRpt)))
        throw dbFailure(what, query.lastError());
    query.bindValue(QStringLiteral(":iParValId"), 1);
    if (!query.exec())
        throw dbFailure(what, query.lastError());
    if (!query.next() || query.value(1).isNull())
        return;
    const QString text = decodeText(query.value(1).toByteArray());
    query.finish();
    if (text.isEmpty())
        return;

    QSaveFile file(ReportIniPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8() + "\r\n") < 0 ||
        !file.commit())
        throw EVxException(QStringLiteral("Impossibile scrivere il file %1\r\r%2")
                               .arg(ReportIniPath, file.errorString()));
}

void TdmqelParGen::SaveParRptIniToDb()
{
    QFile file(ReportIniPath);
    if (!file.open(QIODevice::ReadOnly))
        throw EVxException(QStringLiteral("Impossibile leggere il file %1\r\r%2")
                               .arg(ReportIniPath, file.errorString()));
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
    QSqlDatabase db = qqoVxGlobConn();
    TVxTransaction transaction(db);
    if (!transaction.StartTransaction())
        throw EVxException(QStringLiteral("%1\r\r%2").arg(what, transaction.lastError()));
    bool exists = false;
    {
        QSqlQuery select(db);
        select.setForwardOnly(true);
        if (!select.prepare(QString::fromLatin1(kSelectParRpt)))
            throw dbFailure(what, select.lastError());
        select.bindValue(QStringLiteral(":iParValId"), 1);
        if (!select.exec())
            throw dbFailure(what, select.lastError());
        exists = select.next() && select.value(0).toInt() != 0;
    }
    QSqlQuery write(db);
    if (!write.prepare(QString::fromLatin1(exists ? kUpdateParRpt : kInsertParRpt)))
        throw dbFailure(what, write.lastError());
    write.bindValue(QStringLiteral(":iParValId"), 1);
    write.bindValue(QStringLiteral(":bParVal"), text.toUtf8());
    if (!write.exec())
        throw dbFailure(what, write.lastError());
    transaction.Commit();
}
