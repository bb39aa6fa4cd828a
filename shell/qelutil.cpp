#include "shell/qelutil.h"

#include "platform/connection.h"
#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "shell/qelparams.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

namespace {

EVxException dbError(const QString &what, const QSqlQuery &query)
{
    return EVxException(QStringLiteral("%1\r\r%2").arg(what, query.lastError().text()));
}

QString sedeIniPath()
{
    return resolvePath(QCoreApplication::applicationDirPath() +
                       QStringLiteral("/../etc/Lumeno/Sede.ini"));
}

} // namespace

QString AnnoScolText(int year)
{
    return QStringLiteral("%1/%2").arg(year).arg(year + 1);
}

QString AnnoScolTextOfAnsId(int iAnsId)
{
    if (iAnsId <= 0)
        return QString();
    QSqlQuery query(qqoVxGlobConn());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral(
            "SELECT Ans.iAnsValore FROM TAns_AnniScolast Ans WHERE Ans.iAnsId = :iAnsId")))
        throw dbError(QStringLiteral("Impossibile leggere l'anno scolastico."), query);
    query.bindValue(QStringLiteral(":iAnsId"), iAnsId);
    if (!query.exec())
        throw dbError(QStringLiteral("Impossibile leggere l'anno scolastico."), query);
    if (!query.next() || query.value(0).isNull())
        return QString();
    return AnnoScolText(query.value(0).toInt());
}

QString GetSessioneDesc(int iAnsSesDwgId)
{
    if (iAnsSesDwgId == 0)
        return QString();
    QSqlQuery query(qqoVxGlobConn());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral(
            "SELECT TSes.sSesDesc FROM TAnsSesDwg TASD INNER JOIN TSes_Sessione TSes "
            "ON (TSes.iSesId = TASD.iSesId) WHERE TASD.iAnsSesDwgId = :iAnsSesDwgId")))
        throw dbError(QStringLiteral("Impossibile leggere la sessione."), query);
    query.bindValue(QStringLiteral(":iAnsSesDwgId"), iAnsSesDwgId);
    if (!query.exec())
        throw dbError(QStringLiteral("Impossibile leggere la sessione."), query);
    return query.next() ? query.value(0).toString().trimmed() : QString();
}

int contextInteger(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return 0;
    bool ok = false;
    const int n = value.toString().trimmed().toInt(&ok);
    return ok ? n : 0;
}

int contextValue(const char *key)
{
    return contextInteger(xgvmGlobalVar.GetValues(QString::fromLatin1(key)));
}

bool CheckWorkingContext(TVxParamManager *manager)
{
    const bool noInstitute = contextValue("VXUP_DwgId") == 0;
    const bool noSession = contextValue("QELP_AnsSesDwgId") == 0;
    const bool result = !noInstitute && !noSession;
    if (manager) {
        if (noInstitute) {
            VxMessageDlg(QStringLiteral("E' necessario impostare l'istituto di lavoro."), mtWarning,
                         mbOK);
            runParameterDialog(manager);
        } else if (noSession) {
            VxMessageDlg(QStringLiteral("E' necessario impostare la sessione di lavoro."),
                         mtWarning, mbOK);
            runParameterDialog(manager);
        }
    }
    return result;
}

void WriteDocentiXml(QObject *owner, const QString &fileName)
{
    Q_UNUSED(owner);
    QDomDocument doc;
    doc.appendChild(
        doc.createProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\"")));
    QDomElement root = doc.createElement(QStringLiteral("ANAGRAFICHE"));
    doc.appendChild(root);
    QSqlQuery query(qqoVxGlobConn());
    query.setForwardOnly(true);
    const QString what = QStringLiteral("Impossibile leggere l'elenco dei docenti.");
    if (!query.prepare(QStringLiteral(
            "SELECT TAnaCag.iAnaId, TAnaCag.sAnaCagCode, TAna.sAnaCognome, TAna.sAnaNome "
            "FROM TAai_AnaAppInvio TAai "
            "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaCagId = TAai.iAnaCagId) "
            "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaCag.iAnaId) "
            "INNER JOIN TMod_ModoInvio TMod ON (TMod.iModId = TAai.iModId) "
            "WHERE (TAai.iAnsSesDwgId = :iAnsSesDwgId) AND (TAai.iModId = 4) "
            "ORDER BY TAna.sAnaCognomeNomeIdx")))
        throw dbError(what, query);
    query.bindValue(QStringLiteral(":iAnsSesDwgId"), contextValue("QELP_AnsSesDwgId"));
    if (!query.exec())
        throw dbError(what, query);
    while (query.next()) {
        QDomElement ana = doc.createElement(QStringLiteral("ANAGRAFICA"));
        const QString values[] = {QString::number(query.value(0).toInt()),
                                  query.value(2).toString().trimmed(),
                                  query.value(3).toString().trimmed()};
        const char *names[] = {"ID", "COGNOME", "NOME"};
        for (int i = 0; i < 3; ++i) {
            QDomElement e = doc.createElement(QString::fromLatin1(names[i]));
            e.appendChild(doc.createTextNode(values[i]));
            ana.appendChild(e);
        }
        root.appendChild(ana);
    }
    QSaveFile file(resolvePath(fileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(doc.toByteArray(2)) < 0 || !file.commit())
        throw EVxException(QStringLiteral("Impossibile scrivere il file %1").arg(fileName));
}

QString ReadSedeIni(const QString &key)
{
    TVxINIFile ini(sedeIniPath());
    return ini.ReadString(QStringLiteral("SEDE"), key, key);
}

int ReadSedeAnno(const QString &key, int defaultValue)
{
    TVxINIFile ini(sedeIniPath());
    return ini.ReadInteger(QStringLiteral("ANNO"), key, defaultValue);
}
