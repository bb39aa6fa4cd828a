#include "exchange/qelfplanfolders.h"

#include "exchange/qelclassfolders.h"
#include "exchange/qelfldname.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/formregistry.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QSqlQuery>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The classes of the working session, as both windows list them.
void openClasses(TSQLClientDataSet &classes, TVxClientDataSetModel &model, int session)
{
    classes.setCommandText(
        QStringLiteral("SELECT ClsSes.iClsId, ClsSes.iClsSesId, VCls.sClsSDesc, VCls.sClsDesc "
                       "FROM TClsSes ClsSes INNER JOIN VCls_Classi VCls ON VCls.iClsId = "
                       "ClsSes.iClsId INNER JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = "
                       "ClsSes.iAnsSesDwgId WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId "
                       "ORDER BY VCls.iClsOrdine"));
    classes.Params().setValue(QStringLiteral("iAnsSesDwgId"), session);
    classes.Open();
    model.SetDataSet(&classes);
}

// "Percorso ...:" with its folder picker, above the grid.
QLineEdit *addFolderRow(TfmVxMultiSelect &form, const QString &caption, QToolButton *&pick)
{
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(caption);
    auto *edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("eDir"));
    label->setBuddy(edit);
    pick = new QToolButton;
    pick->setObjectName(QStringLiteral("SpeedButton1"));
    pick->setText(QStringLiteral("..."));
    row->addWidget(label);
    row->addWidget(edit, 1);
    row->addWidget(pick);
    static_cast<QVBoxLayout *>(form.ClientArea()->layout())->insertLayout(0, row);
    QObject::connect(pick, &QToolButton::clicked, &form, [&form, edit, caption] {
        const QString chosen = VxSelectDirectory(&form, caption, LongDir(edit->text()));
        if (!chosen.isEmpty())
            edit->setText(LongDir(chosen));
    });
    form.frSelect()->AddColumn(QStringLiteral("sClsSDesc"), QStringLiteral("Sigla"), 80);
    form.frSelect()->AddColumn(QStringLiteral("sClsDesc"), QStringLiteral("Descrizione"), 300);
    return edit;
}

QString text(const TSQLClientDataSet &classes, const char *name)
{
    return classes.FieldByName(QLatin1String(name))->AsString();
}

int number(const TSQLClientDataSet &classes, const char *name)
{
    return classes.FieldByName(QLatin1String(name))->AsInteger();
}

} // namespace

TfmqelSendCPst::TfmqelSendCPst(QWidget *parent)
    : TfmVxMultiSelect(parent), m_storico(new QCheckBox(QStringLiteral("Includi storico HTML"))),
      m_check(new QLabel(QStringLiteral(
          "Nella sezione Anno-Sessioni-Classi hai spuntato per bene tutte le voci necessarie?"))),
      m_deferred(new QLabel(QStringLiteral(
          "E' stata selezionata una sessione differita. \r\nE' necessario effettuare prima il "
          "passaggio dei voti dalla sessione finale a quella attuale"))),
      m_xml(std::make_unique<TdmqelXML>())
{
    setObjectName(QStringLiteral("fmqelSendCPst"));
    setWindowTitle(QStringLiteral("Invio"));
    m_dir = addFolderRow(*this, QStringLiteral("Percorso base:"), m_pick);
    m_storico->setObjectName(QStringLiteral("cbStorico"));
    m_check->setObjectName(QStringLiteral("laCheck"));
    m_deferred->setObjectName(QStringLiteral("paDeferred"));
    auto *layout = static_cast<QVBoxLayout *>(ClientArea()->layout());
    for (QWidget *widget : {static_cast<QWidget *>(m_storico), static_cast<QWidget *>(m_check),
                            static_cast<QWidget *>(m_deferred)})
        layout->addWidget(widget);

    openClasses(m_classes, m_model, m_xml->iAnsSesDwgId);
    SetDataSet(&m_model);
    TVxFieldValues session;
    session.setValue(QStringLiteral("iAnsSesDwgId"), m_xml->iAnsSesDwgId);
    VxEachRow(qqoVxGlobConn(),
              QStringLiteral("SELECT Asd.iSfiId FROM TAnsSesDwg Asd "
                             "WHERE Asd.iAnsSesDwgId = :iAnsSesDwgId"),
              session, [this](const QSqlQuery &query, const QSqlRecord &) {
                  m_xml->SetSessionKind(query.value(0).toInt());
              });
    m_deferred->setVisible(m_xml->iSessionKind == 3);
    if (m_xml->iSessionKind == 2)
        m_check->setText(m_check->text() + QStringLiteral("\r\n") +
                         QStringLiteral("Hai agganciato le classi alle rispettive bande del "
                                        "credito ?"));
    m_dir->setText(m_xml->ScrutinioBaseFolder().trimmed());
}

TfmqelSendCPst::~TfmqelSendCPst() = default;

void TfmqelSendCPst::OkClick()
{
    if (!RunShowingErrors([this] { send(); }))
        SetModalResult(mrNone);
}

void TfmqelSendCPst::send()
{
    const QString base = LongDir(m_dir->text());
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) {
        VxMessageDlg(QStringLiteral("Nessuna classe selezionata."), mtWarning, mbOK);
        SetModalResult(mrNone);
        return;
    }
    // A second OK while the send runs (the wait window lets events through) would start a
    // second send inside the first.
    ClientArea()->setEnabled(false);
    buOk()->setEnabled(false);
    buCancel()->setEnabled(false);
    const auto enable = qScopeGuard([this] {
        ClientArea()->setEnabled(true);
        buOk()->setEnabled(true);
        buCancel()->setEnabled(true);
    });
    bool cancelled = false;
    QSet<QString> written;
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (m_xml->lCancel) {
            m_xml->lCancel = false;
            cancelled = true;
            break;
        }
        m_classes.setRecNo(*row);
        const TqelFolderChoice choice =
            AskFolderName(base, text(m_classes, "sClsSDesc"), m_overwriteAlways, written);
        if (choice.name.isEmpty())
            continue;
        written.insert(choice.name);
        const int classId = number(m_classes, "iClsId");
        for (const TqelClassPlan &plan : ClassPlans(classId)) {
            const QString folder = LongDir(LongDir(base + choice.name) +
                                           PlanFolderName(plan.description));
            if (!QDir().mkpath(folder))
                throw EVxException(QStringLiteral("Impossibile creare la cartella %1.")
                                       .arg(QDir::toNativeSeparators(folder)));
            m_xml->xpsPathScrutinio.SetValore(base);
            if (choice.overwrite)
                TdmqelXML::ClearFolder(folder);
            m_xml->iMode = 1;
            m_xml->lStorico = m_storico->isChecked();
            m_xml->LoadClassFlags(classId);
            m_xml->sClsDesc = text(m_classes, "sClsDesc");
            m_xml->sFolder = folder;
            m_xml->iClsSesId = number(m_classes, "iClsSesId");
            m_xml->iPstId = plan.id;
            m_xml->ExportClassData();
        }
    }
    VxMessageDlg(cancelled ? QStringLiteral("Procedura annullata dall'utente.")
                           : QStringLiteral("Procedura completata."),
                 mtInformation, mbOK);
}

TfmqelRiceCPst::TfmqelRiceCPst(QWidget *parent)
    : TfmVxMultiSelect(parent), m_importer(std::make_unique<TdmqelExportPst>()),
      m_xml(std::make_unique<TdmqelXML>())
{
    setObjectName(QStringLiteral("fmqelRiceCPst"));
    setWindowTitle(QStringLiteral("Raccolta"));
    m_dir = addFolderRow(*this, QStringLiteral("Percorso classe:"), m_pick);
    grSelect()->setSelectionMode(QAbstractItemView::SingleSelection);
    openClasses(m_classes, m_model, m_importer->iAnsSesDwgId);
    SetDataSet(&m_model);
    m_dir->setText(m_xml->ScrutinioBaseFolder().trimmed());
}

TfmqelRiceCPst::~TfmqelRiceCPst() = default;

void TfmqelRiceCPst::OkClick()
{
    SetModalResult(mrNone);
    const QModelIndex current = grSelect()->currentIndex();
    if (!current.isValid())
        return;
    const bool done = RunShowingErrors([this, current] {
        m_classes.setRecNo(frSelect()->SourceRowAt(current.row()));
        const QString base = ParentFolder(m_dir->text());
        if (!base.isEmpty())
            m_xml->xpsPathScrutinio.SetValore(base);
        TdmqelExportPst &importer = *m_importer;
        importer.iMode = 1;
        importer.LoadPstClassFlags(number(m_classes, "iClsId"));
        importer.iClsSesId = number(m_classes, "iClsSesId");
        importer.sClsDesc = text(m_classes, "sClsDesc");
        QStringList folders;
        for (const TqelClassPlan &plan : ClassPlans(importer.iClsId))
            folders << LongDir(m_dir->text()) + PlanFolderName(plan.description);
        const QStringList log = importer.CollectPlanFolders(folders);
        if (!log.isEmpty())
            VxMessageDlg(QStringLiteral("Dati non raccolti:\r") + log.join(u'\r'), mtWarning, mbOK);
    });
    if (done)
        SetModalResult(mrOk);
}

void registerPlanFolderForms()
{
    TAVRIN_REGISTER_FORM(TfmqelSendCPst);
    TAVRIN_REGISTER_FORM(TfmqelRiceCPst);
}
