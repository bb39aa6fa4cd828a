#include "exchange/qelclassfolders.h"

#include "exchange/qelfldname.h"
#include "exchange/qelxml.h"
#include "gradeentry/qevutil.h"
#include "platform/connection.h"
#include "platform/datasetmodel.h"
#include "platform/dbgridframes.h"
#include "platform/dialogs.h"
#include "platform/directoryedit.h"
#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/multiselect.h"
#include "platform/sqlclientdataset.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QPushButton>
#include <QSet>
#include <QToolButton>

#include <algorithm>

namespace {

const char kClassList[] = "SELECT ClsSes.iClsId, ClsSes.iClsSesId, VCls.sClsSDesc, VCls.sClsDesc "
                          "FROM TClsSes ClsSes "
                          "  INNER JOIN VCls_Classi VCls ON (VCls.iClsId = ClsSes.iClsId) "
                          "  INNER JOIN TAnsSesDwg Asd ON (Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
                          "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId "
                          "ORDER BY VCls.iClsOrdine";
const char kSessionKind[] =
    "SELECT Asd.iSfiId FROM TAnsSesDwg Asd WHERE Asd.iAnsSesDwgId = :iAnsSesDwgId";
const char kCoordinators[] = "SELECT COUNT(*) AS CONTATORE FROM TClsMatAna ClsMatAna "
                             "WHERE ClsMatAna.iClsId = :iClsId AND ClsMatAna.lClsMatAnaCoord = 1";

int selectInt(const char *sql, const char *name, int value)
{
    int result = 0;
    VxEachRow(
        qqoVxGlobConn(), QString::fromLatin1(sql), valuesOf({{name, value}}),
        [&result](const QSqlQuery &query, const QSqlRecord &) { result = query.value(0).toInt(); });
    return result;
}

QString coordinatorWarning(const TqelClassRow &row)
{
    return QStringLiteral("Impossibile esportare la classe ") + row.sClsSDesc +
           QStringLiteral(" - ") + row.sClsDesc + QStringLiteral(" con la protezione password.") +
           QStringLiteral("\r\n") +
           QStringLiteral("Impostare nel programma Alunni il coordinatore di classe.");
}

} // namespace

QString ParentFolder(const QString &text)
{
    QString folder = text.trimmed();
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    if (folder.isEmpty() || !QFileInfo(resolvePath(folder)).isDir())
        return {};
    const int last =
        std::max(LastPos(QStringLiteral("/"), folder), LastPos(QStringLiteral("\\"), folder));
    return last > 0 ? folder.left(last - 1) : QString();
}

QString ClassFolderName(const TqelClassRow &row)
{
    return TKIENormalizeString(row.sClsSDesc.trimmed());
}

void OpenClassList(TSQLClientDataSet &list, int iAnsSesDwgId)
{
    list.Close();
    list.setCommandText(QString::fromLatin1(kClassList));
    list.Params() = valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}});
    list.Open();
}

TqelClassRow ClassRowAt(const TClientDataSet &list, int row)
{
    const auto value = [&](const char *name) {
        return list.Value(row, list.FieldByName(QLatin1String(name))->Index());
    };
    return {value("iClsId").toInt(), value("iClsSesId").toInt(), value("sClsSDesc").toString(),
            value("sClsDesc").toString()};
}

int SessionKindOf(int iAnsSesDwgId)
{
    return selectInt(kSessionKind, "iAnsSesDwgId", iAnsSesDwgId);
}

int ClassCoordinatorCount(int iClsId)
{
    return selectInt(kCoordinators, "iClsId", iClsId);
}

QString ChosenFolder(const QString &text)
{
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        throw EVxException(QStringLiteral("Indicare il percorso della cartella."),
                           EVxException::Warning);
    return LongDir(resolvePath(typed));
}

QString ChosenSendFolder(const QString &text)
{
    const QString base = ChosenFolder(text);
    RequireSendFolder(base, QStringLiteral("in \"Percorso base\""));
    return base;
}

QString MakeClassFolder(const QString &base, const QString &name)
{
    return LongDir(VxMakeOwnFolder(base, name));
}

void ClearClassFolderAndWork(const QString &folder)
{
    for (const char *work : {"out", "outfin"}) {
        // The coordinator's program may have written them in capitals.
        const QString path = resolvePath(folder + QLatin1String(work));
        const QFileInfo info(path);
        // A link is no folder of the class: ClearFolder below leaves it, as every link.
        if (!info.isDir() || info.isSymLink())
            continue;
        TdmqelXML::ClearFolder(LongDir(path));
        QDir().rmdir(path);
    }
    TdmqelXML::ClearFolder(folder);
    // A folder that still holds sub-folders of the office's own stays.
    QDir().rmdir(folder);
}

void ExportClassFolder(TdmqelXML &xml, const TqelClassRow &row, const QString &folder,
                       const TqelClassExport &options)
{
    xml.iMode = 1;
    xml.lProteggiPwd = options.proteggiPwd;
    xml.lStorico = options.storico;
    xml.LoadClassFlags(row.iClsId);
    xml.sClsDesc = row.sClsDesc;
    xml.sFolder = folder;
    xml.iClsSesId = row.iClsSesId;
    xml.iPstId = options.iPstId;
    xml.ExportClassData();
}

bool TakeCancel(TdmqelXML &xml)
{
    if (!xml.lCancel)
        return false;
    xml.lCancel = false;
    return true;
}

void ShowClassSendEnd(bool cancelled)
{
    VxMessageDlg(cancelled ? QStringLiteral("Procedura annullata dall'utente.")
                           : QStringLiteral("Procedura completata."),
                 mtInformation, mbOK);
}

bool SendClassFolders(TdmqelXML &xml, const QString &base, const QList<TqelClassRow> &classes,
                      const TqelClassSendOptions &options, bool &overwriteAlways)
{
    // "Annulla" pressed while the last class of an earlier send was written stopped nothing;
    // it must not stop this send before its first class.
    xml.lCancel = false;
    QSet<QString> written;
    for (auto row = classes.crbegin(); row != classes.crend(); ++row) {
        if (TakeCancel(xml))
            return false;
        const TqelFolderChoice choice =
            AskFolderName(base, row->sClsSDesc, overwriteAlways, written);
        if (choice.name.isEmpty())
            continue;
        const QString folder = LongDir(base + choice.name);
        xml.xpsPathScrutinio.SetValore(base);
        if (choice.overwrite) {
            if (options.clearWork)
                ClearClassFolderAndWork(folder);
            else
                TdmqelXML::ClearFolder(folder);
        }
        MakeClassFolder(base, choice.name);
        written.insert(choice.name);
        if (options.needsCoordinator && options.exportOptions.proteggiPwd &&
            ClassCoordinatorCount(row->iClsId) == 0) {
            VxMessageDlg(coordinatorWarning(*row), mtWarning, mbOK);
            continue;
        }
        ExportClassFolder(xml, *row, folder, options.exportOptions);
    }
    return true;
}

TqelRunningWork::TqelRunningWork(TfmVxOkCancDlg &window, bool &running)
    : m_window(window), m_running(running), m_okEnabled(window.buOk()->isEnabled())
{
    m_running = true;
    for (QWidget *control : {window.ClientArea(), static_cast<QWidget *>(window.buOk()),
                             static_cast<QWidget *>(window.buCancel())})
        control->setEnabled(false);
}

TqelRunningWork::~TqelRunningWork()
{
    m_window.ClientArea()->setEnabled(true);
    m_window.buCancel()->setEnabled(true);
    m_window.buOk()->setEnabled(m_okEnabled);
    m_running = false;
}

TVxDirectoryEdit *AddClassFolderField(TfmVxOkCancDlg &window, const QString &label)
{
    auto *edit = new TVxDirectoryEdit(label);
    edit->setObjectName(QStringLiteral("eDir"));
    edit->browseButton()->setObjectName(QStringLiteral("SpeedButton1"));
    auto *row = new QFormLayout;
    row->addRow(label, edit);
    if (auto *layout = qobject_cast<QBoxLayout *>(window.ClientArea()->layout()))
        layout->insertLayout(0, row);
    return edit;
}

void ShowClassList(TfmVxMultiSelect &window, TSQLClientDataSet &list, TVxClientDataSetModel &model,
                   int iAnsSesDwgId)
{
    OpenClassList(list, iAnsSesDwgId);
    model.SetDataSet(&list);
    window.SetDataSet(&model);
    window.frSelect()->HideAllColumns();
    window.frSelect()->ShowColumn(QStringLiteral("sClsSDesc"), QStringLiteral("Sigla"), 80);
    window.frSelect()->ShowColumn(QStringLiteral("sClsDesc"), QStringLiteral("Descrizione"), 300);
}
