#include "exchange/qelfplanfolders.h"

#include "exchange/qelclassfolders.h"
#include "exchange/qelexportpst.h"
#include "exchange/qelfldname.h"
#include "exchange/qelxml.h"
#include "platform/dbgridframes.h"
#include "platform/directoryedit.h"
#include "platform/formregistry.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QCheckBox>
#include <QSet>
#include <QTableView>
#include <QToolBar>

TfmqelSendCPst::TfmqelSendCPst(QWidget *parent) : TfmqelSendC(parent)
{
    setObjectName(QStringLiteral("fmqelSendCPst"));
    setWindowTitle(QStringLiteral("Invio scrutinio per piano di studio"));
}

void TfmqelSendCPst::Send()
{
    const QString base = ChosenSendFolder(m_dir->Text());
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty())
        throw EVxException(QStringLiteral("Nessuna classe selezionata."), EVxException::Warning);
    // "Annulla" pressed while the last class of an earlier send was written stopped nothing.
    m_xml->lCancel = false;
    bool cancelled = false;
    QSet<QString> written;
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (TakeCancel(*m_xml)) {
            cancelled = true;
            break;
        }
        const TqelClassRow cls = ClassRowAt(m_list, *row);
        const TqelFolderChoice choice =
            AskFolderName(base, cls.sClsSDesc, m_overwriteAlways, written);
        if (choice.name.isEmpty())
            continue;
        written.insert(choice.name);
        const QString classFolder = LongDir(base + choice.name);
        TqelClassExport options;
        options.storico = m_storico->isChecked();
        for (const TqelClassPlan &plan : ClassPlans(cls.iClsId)) {
            const QString folder = MakeClassFolder(classFolder, PlanFolderName(plan.description));
            m_xml->xpsPathScrutinio.SetValore(base);
            if (choice.overwrite)
                TdmqelXML::ClearFolder(folder);
            options.iPstId = plan.id;
            ExportClassFolder(*m_xml, cls, folder, options);
        }
    }
    ShowClassSendEnd(cancelled);
}

TfmqelRiceCPst::TfmqelRiceCPst(QWidget *parent)
    : TfmqelRiceC(parent), m_importer(std::make_unique<TdmqelExportPst>())
{
    setObjectName(QStringLiteral("fmqelRiceCPst"));
    setWindowTitle(QStringLiteral("Raccolta scrutinio per piano di studio"));
    // One class is collected at a time: the tools of a multiple choice mean nothing here.
    grSelect()->setSelectionMode(QAbstractItemView::SingleSelection);
    tbSelect()->hide();
}

TfmqelRiceCPst::~TfmqelRiceCPst() = default;

void TfmqelRiceCPst::Collect()
{
    const TqelClassRow row = TakeCurrentClass();
    const QString classFolder = ChosenFolder(m_dir->Text());
    TdmqelExportPst &importer = *m_importer;
    importer.iMode = 1;
    importer.LoadPstClassFlags(row.iClsId);
    importer.iClsSesId = row.iClsSesId;
    importer.sClsDesc = row.sClsDesc;
    QStringList folders;
    for (const TqelClassPlan &plan : ClassPlans(row.iClsId))
        folders << classFolder + PlanFolderName(plan.description);
    const QStringList log = importer.CollectPlanFolders(folders);
    VxMessageDlg(CollectionEndMessage(QStringLiteral("Operazione completata."), log,
                                      importer.CollectSummary()),
                 log.isEmpty() ? mtInformation : mtWarning, mbOK);
}

void registerPlanFolderForms()
{
    TAVRIN_REGISTER_FORM(TfmqelSendCPst);
    TAVRIN_REGISTER_FORM(TfmqelRiceCPst);
}
