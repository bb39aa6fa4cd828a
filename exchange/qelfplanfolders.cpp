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

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QSet>
#include <QTableView>
#include <QToolBar>

TfmqelSendCPst::TfmqelSendCPst(QWidget *parent)
    : TfmVxMultiSelect(parent), m_xml(std::make_unique<TdmqelXML>()),
      m_dir(AddClassFolderField(*this, QStringLiteral("Percorso base:"))),
      m_storico(new QCheckBox(QStringLiteral("Includi storico HTML"))),
      m_notice(new QLabel(QStringLiteral(
          "Nella sezione Anno-Sessioni-Classi hai spuntato per bene tutte le voci necessarie?"))),
      m_deferred(new QLabel(QStringLiteral(
          "E' stata selezionata una sessione differita. \r\nE' necessario effettuare prima il "
          "passaggio dei voti dalla sessione finale a quella attuale")))
{
    setObjectName(QStringLiteral("fmqelSendCPst"));
    setWindowTitle(QStringLiteral("Invio"));
    m_storico->setObjectName(QStringLiteral("cbStorico"));
    m_notice->setObjectName(QStringLiteral("laAvviso"));
    m_notice->setWordWrap(true);
    m_deferred->setObjectName(QStringLiteral("pnDifferita"));
    m_deferred->setWordWrap(true);
    m_deferred->setFrameShape(QFrame::Panel);
    m_deferred->hide();
    auto *layout = qobject_cast<QBoxLayout *>(ClientArea()->layout());
    layout->addWidget(m_storico);
    layout->addWidget(m_notice);
    layout->addWidget(m_deferred);

    RunShowingErrors([this] {
        ShowClassList(*this, m_list, m_model, m_xml->iAnsSesDwgId);
        m_xml->SetSessionKind(SessionKindOf(m_xml->iAnsSesDwgId));
    });
    m_deferred->setVisible(m_xml->iSessionKind == 3);
    if (m_xml->iSessionKind == 2)
        m_notice->setText(m_notice->text() + QStringLiteral("\r\n") +
                          QStringLiteral("Hai agganciato le classi alle rispettive bande del "
                                         "credito ?"));
    m_dir->SetText(m_xml->ScrutinioBaseFolder());
}

TfmqelSendCPst::~TfmqelSendCPst() = default;

void TfmqelSendCPst::done(int result)
{
    if (!m_running)
        TfmVxMultiSelect::done(result);
}

void TfmqelSendCPst::OkClick()
{
    SetModalResult(mrNone);
    const TqelRunningWork running(*this, m_running);
    RunShowingErrors([this] { Send(); });
}

void TfmqelSendCPst::Send()
{
    const QString base = ChosenFolder(m_dir->Text());
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
    : TfmVxMultiSelect(parent), m_importer(std::make_unique<TdmqelExportPst>()),
      m_xml(std::make_unique<TdmqelXML>()),
      m_dir(AddClassFolderField(*this, QStringLiteral("Percorso classe:")))
{
    setObjectName(QStringLiteral("fmqelRiceCPst"));
    setWindowTitle(QStringLiteral("Raccolta"));
    // One class is collected at a time: the tools of a multiple choice mean nothing here.
    grSelect()->setSelectionMode(QAbstractItemView::SingleSelection);
    tbSelect()->hide();
    RunShowingErrors([this] { ShowClassList(*this, m_list, m_model, m_importer->iAnsSesDwgId); });
    m_dir->SetText(m_xml->ScrutinioBaseFolder());
}

TfmqelRiceCPst::~TfmqelRiceCPst() = default;

void TfmqelRiceCPst::SetCurrentClass(int iClsId)
{
    for (int row = 0; m_list.Active() && row < m_list.RecordCount(); ++row)
        if (ClassRowAt(m_list, row).iClsId == iClsId)
            frSelect()->SetCurrentSourceRow(row);
}

void TfmqelRiceCPst::done(int result)
{
    if (!m_running)
        TfmVxMultiSelect::done(result);
}

void TfmqelRiceCPst::OkClick()
{
    SetModalResult(mrNone);
    const TqelRunningWork running(*this, m_running);
    RunShowingErrors([this] { Collect(); });
}

void TfmqelRiceCPst::Collect()
{
    const int current = frSelect()->CurrentSourceRow();
    if (current < 0)
        throw EVxException(QStringLiteral("Nessuna classe selezionata."), EVxException::Warning);
    const TqelClassRow row = ClassRowAt(m_list, current);
    if (const QString base = ParentFolder(m_dir->Text()); !base.isEmpty())
        m_xml->xpsPathScrutinio.SetValore(base);
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
    if (!log.isEmpty())
        VxMessageDlg(log.join(QStringLiteral("\r\n")), mtWarning, mbOK);
}

void registerPlanFolderForms()
{
    TAVRIN_REGISTER_FORM(TfmqelSendCPst);
    TAVRIN_REGISTER_FORM(TfmqelRiceCPst);
}
