#include "shell/qelutil.h"

#include "platform/fileaccess.h"
#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "shell/qeldatasets.h"
#include "shell/qelparams.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

namespace {

// The suite's programs run from the main folder's BIN, so the sibling product's "..\etc"
// is the main folder's ETC; our executable lives elsewhere and must not decide where.
QString sedeIniPath()
{
    return resolvePath(GetMainDir() + QStringLiteral("ETC/Lumeno/Sede.ini"));
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
    const std::optional<int> start = TdmqelDataSets::YearStart(iAnsId);
    return start ? AnnoScolText(*start) : QString();
}

QString GetSessioneDesc(int iAnsSesDwgId)
{
    if (iAnsSesDwgId == 0)
        return QString();
    return TdmqelDataSets::SessionDescription(iAnsSesDwgId);
}

bool CheckWorkingContext(TVxParamManager *manager)
{
    const bool noInstitute = TVxWorkingContext::institute() == 0;
    const bool noSession = TVxWorkingContext::session() == 0;
    const bool result = !noInstitute && !noSession;
    if (manager) {
        if (noInstitute) {
            VxMessageDlg(QStringLiteral("È necessario impostare l'istituto di lavoro."), mtWarning,
                         mbOK);
            runParameterDialog(manager);
        } else if (noSession) {
            VxMessageDlg(QStringLiteral("È necessario impostare la sessione di lavoro."), mtWarning,
                         mbOK);
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
    for (const QelWebTeacher &teacher : TdmqelDataSets::WebTeachers(TVxWorkingContext::session())) {
        QDomElement ana = doc.createElement(QStringLiteral("ANAGRAFICA"));
        const QString values[] = {QString::number(teacher.iAnaId), teacher.surname, teacher.name};
        const char *names[] = {"ID", "COGNOME", "NOME"};
        for (int i = 0; i < 3; ++i) {
            QDomElement e = doc.createElement(QString::fromLatin1(names[i]));
            e.appendChild(doc.createTextNode(values[i]));
            ana.appendChild(e);
        }
        root.appendChild(ana);
    }
    VxReplaceFile(resolvePath(fileName), doc.toByteArray(2));
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
