#include "shell/qellookupeditors.h"

#include "platform/connection.h"
#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "platform/searchform.h"
#include "shell/qeldatasets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// One row per editor: the window's registered class name and its frame's, which the suite
// gives each editor though one class here serves all six.
struct EditorDef
{
    const char *className;
    const char *frameClassName;
    const char *caption;
    const char *hint;
    TVxQueryCollection TdmqelDataSets::*collection;
};

const EditorDef &editorDef(QelLookupTable table)
{
    static const EditorDef defs[] = {
        {"TfmqelBande", "TfrqelBande", "Bande per credito per media",
         "Bande per l'attribuzione del credito per media", &TdmqelDataSets::xqcBnd_Bande},
        {"TfmqelEncomio", "TfrqelEncomio", "Encomio", "Encomio", &TdmqelDataSets::xqcEnc_Encomio},
        {"TfmqelFrm", "TfrqelFrm", "Crediti formativi", "Crediti formativi",
         &TdmqelDataSets::xqcFrm_Formativi},
        {"TfmqelSco", "TfrqelSco", "Crediti scolastici", "Crediti scolastici",
         &TdmqelDataSets::xqcSco_Scolastici},
        {"TfmqelDesDed", "TfrqelDesDed", "Esito debiti", "", &TdmqelDataSets::xqcDesDed},
        {"TfmqelDtpDtd", "TfrqelDtpDtd", "Tipo debiti", "", &TdmqelDataSets::xqcDtpDtd},
    };
    return defs[int(table)];
}

const Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

void descriptionColumn(TfmVxSearch *form)
{
    QList<TVxSearchColumn> &columns = form->Columns();
    if (columns.size() < 2)
        return;
    columns[0].Indexed = false;
    columns[0].Visible = false;
    columns[1].Caption = QStringLiteral("Descrizione");
    columns[1].Indexed = true;
    columns[1].Visible = true;
    columns[1].Width = form->ListWidth() - 50;
}

} // namespace

TfrqelLookup::TfrqelLookup(QelLookupTable table, QWidget *parent)
    : TfrVxDBRWGrid(parent), m_table(table)
{
    const EditorDef &def = editorDef(table);
    setObjectName(QString::fromLatin1(def.frameClassName).mid(1));
    if (*def.hint)
        setToolTip(QString::fromUtf8(def.hint));
    new QFormLayout(DetailArea());
    HideAllColumns();
    switch (table) {
    case QelLookupTable::Bande: {
        TVxDBLookupEdit *acs =
            addLookup(QStringLiteral("xdliAcs"), QStringLiteral("Anno di corso"),
                      QStringLiteral("iAcsId"), TdmqelDataSets::AnniCorsoListSQL(),
                      QStringLiteral("iAcsId"), QStringLiteral("sAcsLDesc"));
        acs->OnShowSearchForm = [](TfmVxSearch *form) {
            QList<TVxSearchColumn> &columns = form->Columns();
            if (columns.size() < 3)
                return;
            columns[0].Indexed = true;
            columns[0].Visible = false;
            columns[1] = {QStringLiteral("Descrizione lunga"), true, false, columns[1].Width};
            columns[2] = {QStringLiteral("Descrizione breve"), true, false, columns[2].Width};
        };
        addEdit(QStringLiteral("edBndDesc"), QStringLiteral("Descrizione"),
                QStringLiteral("sBndDesc"));
        addEdit(QStringLiteral("edMedMin"), QStringLiteral("Media minima"),
                QStringLiteral("iBndMedMin"), true);
        addEdit(QStringLiteral("edMedMax"), QStringLiteral("Media massima"),
                QStringLiteral("iBndMedMax"), true);
        addEdit(QStringLiteral("edCreMin"), QStringLiteral("Credito minimo"),
                QStringLiteral("iBndCreMin"), true);
        addEdit(QStringLiteral("edCreMax"), QStringLiteral("Credito massimo"),
                QStringLiteral("iBndCreMax"), true);
        break;
    }
    case QelLookupTable::Encomio:
        addEdit(QStringLiteral("edEncLDesc"), QStringLiteral("Descrizione"),
                QStringLiteral("sEncLDesc"));
        addEdit(QStringLiteral("edEncSDesc"), QStringLiteral("Sigla"), QStringLiteral("sEncSDesc"));
        break;
    case QelLookupTable::Frm:
        addEdit(QStringLiteral("edFrmLDesc"), QStringLiteral("Descrizione"),
                QStringLiteral("sFrmLDesc"));
        addEdit(QStringLiteral("edFrmSDesc"), QStringLiteral("Sigla"), QStringLiteral("sFrmSDesc"));
        addCheck(QStringLiteral("cbFrmVisible"), QStringLiteral("Visibile"),
                 QStringLiteral("lFrmVisible"));
        break;
    case QelLookupTable::Sco:
        addEdit(QStringLiteral("edScoLDesc"), QStringLiteral("Descrizione"),
                QStringLiteral("sScoLDesc"));
        addEdit(QStringLiteral("edScoSDesc"), QStringLiteral("Sigla"), QStringLiteral("sScoSDesc"));
        addCheck(QStringLiteral("cbScoVisible"), QStringLiteral("Visibile"),
                 QStringLiteral("lScoVisible"));
        break;
    case QelLookupTable::DesDed:
        m_state = addLookup(QStringLiteral("xdliDesDedId"), QStringLiteral("Stato"),
                            QStringLiteral("iDesId"), TdmqelDataSets::DebEsitoListSQL(),
                            QStringLiteral("iDesId"), QStringLiteral("sDesLDescVexto"));
        m_state->OnShowSearchForm = descriptionColumn;
        addEdit(QStringLiteral("edDedLDesc"), QStringLiteral("Descrizione"),
                QStringLiteral("sDedLDesc"));
        addEdit(QStringLiteral("edDedSDesc"), QStringLiteral("Sigla"), QStringLiteral("sDedSDesc"));
        break;
    case QelLookupTable::DtpDtd:
        m_state = addLookup(QStringLiteral("xdliDtpDtdId"), QStringLiteral("Stato"),
                            QStringLiteral("iDtpId"), TdmqelDataSets::DebTipoListSQL(),
                            QStringLiteral("iDtpId"), QStringLiteral("sDtpLDescVexto"));
        m_state->OnShowSearchForm = descriptionColumn;
        addEdit(QStringLiteral("edDtdLDesc"), QStringLiteral("Descrizione"),
                QStringLiteral("sDtdLDesc"));
        addEdit(QStringLiteral("edDtdSDesc"), QStringLiteral("Sigla"), QStringLiteral("sDtdSDesc"));
        break;
    }
}

QString TfrqelLookup::CheckBeforePost() const
{
    // A debt row points at its state: without one the link row cannot be written.
    if (m_state && m_state->Value().toInt() <= 0)
        return QStringLiteral("Manca lo Stato: sceglierlo con il pulsante di ricerca prima di "
                              "salvare.");
    return {};
}

QLineEdit *TfrqelLookup::addEdit(const QString &name, const QString &label, const QString &field,
                                 bool numeric)
{
    auto *edit = new QLineEdit(DetailArea());
    edit->setObjectName(name);
    edit->setStyleSheet(QStringLiteral("QLineEdit:focus { background: yellow; }"));
    if (numeric) {
        edit->setValidator(new QIntValidator(edit));
        edit->setAlignment(kRight);
    }
    static_cast<QFormLayout *>(DetailArea()->layout())->addRow(label + QLatin1Char(':'), edit);
    BindField(edit, field);
    return edit;
}

void TfrqelLookup::addCheck(const QString &name, const QString &label, const QString &field)
{
    auto *check = new QCheckBox(label, DetailArea());
    check->setObjectName(name);
    static_cast<QFormLayout *>(DetailArea()->layout())->addRow(QString(), check);
    BindField(check, field, false);
}

TVxDBLookupEdit *TfrqelLookup::addLookup(const QString &name, const QString &label,
                                         const QString &field, const QString &sql,
                                         const QString &key, const QString &list)
{
    auto *lookup = new TVxDBLookupEdit(DetailArea());
    lookup->setObjectName(name);
    lookup->ListSQL = sql;
    lookup->KeyField = key;
    lookup->ListField = list;
    lookup->DefaultValue = 0;
    lookup->Connection = qqoVxGlobConn();
    static_cast<QFormLayout *>(DetailArea()->layout())->addRow(label + QLatin1Char(':'), lookup);
    BindField(lookup, field);
    return lookup;
}

TfmqelLookupEditor::TfmqelLookupEditor(QelLookupTable table, QWidget *parent)
    : TfmVxChildDB(parent), m_frame(new TfrqelLookup(table, this)), m_collection(nullptr)
{
    const EditorDef &def = editorDef(table);
    setObjectName(QStringLiteral("fm") + QString::fromLatin1(def.className).mid(3));
    setWindowTitle(QString::fromUtf8(def.caption));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (table == QelLookupTable::Bande) {
        // The bands are keyed by band type; existing ones are maintained elsewhere.
        auto *note = new QLabel(QStringLiteral("Le bande esistenti non si possono modificare né "
                                               "eliminare da questa finestra: si possono solo "
                                               "aggiungere bande nuove."),
                                this);
        note->setObjectName(QStringLiteral("laNota"));
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    layout->addWidget(m_frame, 1);

    if (dmqelDataSets)
        m_collection = &(dmqelDataSets->*def.collection);
    m_frame->ShowListPage();
    if (!m_collection)
        return;
    m_frame->SetCollection(m_collection);
    if (!RunShowingErrors([this] { m_collection->Open(); }))
        return;
    m_frame->SetDataSource(m_collection);
    m_frame->HideAllColumns();
    switch (table) {
    case QelLookupTable::Bande:
        m_frame->ShowColumn(QStringLiteral("sAcsLDesc"), QStringLiteral("Anno di corso"), 118);
        m_frame->ShowColumn(QStringLiteral("sBndDesc"), QStringLiteral("Descrizione"), 194);
        m_frame->ShowColumn(QStringLiteral("BndMedia"), QStringLiteral("Media"), 84);
        m_frame->ShowColumn(QStringLiteral("BndCredito"), QStringLiteral("Credito (Min-Max)"), 122);
        break;
    case QelLookupTable::Encomio:
        m_frame->ShowColumn(QStringLiteral("sEncLDesc"), QStringLiteral("Descrizione"), 380);
        m_frame->ShowColumn(QStringLiteral("sEncSDesc"), QStringLiteral("Sigla"), 210);
        break;
    case QelLookupTable::Frm:
        m_frame->ShowColumn(QStringLiteral("sFrmLDesc"), QStringLiteral("Descrizione"), 380);
        m_frame->ShowColumn(QStringLiteral("sFrmSDesc"), QStringLiteral("Sigla"), 210);
        m_frame->ShowColumn(QStringLiteral("lFrmVisible"), QStringLiteral("Visibile (Sì/No)"), -1,
                            kRight);
        showYesNo(QStringLiteral("lFrmVisible"));
        break;
    case QelLookupTable::Sco:
        m_frame->ShowColumn(QStringLiteral("sScoLDesc"), QStringLiteral("Descrizione"), 380);
        m_frame->ShowColumn(QStringLiteral("sScoSDesc"), QStringLiteral("Sigla"), 210);
        m_frame->ShowColumn(QStringLiteral("lScoVisible"), QStringLiteral("Visibile (Sì/No)"), -1,
                            kRight);
        showYesNo(QStringLiteral("lScoVisible"));
        break;
    case QelLookupTable::DesDed:
        m_frame->ShowColumn(QStringLiteral("sDedLDesc"), QStringLiteral("Descrizione"), 383);
        break;
    case QelLookupTable::DtpDtd:
        m_frame->ShowColumn(QStringLiteral("sDtdLDesc"), QStringLiteral("Descrizione"), 395);
        break;
    }
    resize(720, 460);
}

void TfmqelLookupEditor::showYesNo(const QString &field)
{
    const int column = m_collection->FieldIndex(field);
    QTableView *grid = m_frame->grGrid();
    m_frame->OnDrawCell = [column, grid](QPainter *painter, const QStyleOptionViewItem &option,
                                         const QModelIndex &index) {
        if (index.column() != column)
            return false;
        QStyleOptionViewItem cell(option);
        cell.features |= QStyleOptionViewItem::HasDisplay;
        cell.text = index.data().toInt() != 0 ? QStringLiteral("Sì") : QStringLiteral("No");
        cell.displayAlignment = kRight;
        grid->style()->drawControl(QStyle::CE_ItemViewItem, &cell, painter, grid);
        return true;
    };
}

TfmqelLookupEditor::~TfmqelLookupEditor()
{
    if (m_collection)
        m_collection->Close();
}

void TfmqelLookupEditor::FormClose(TCloseAction &action)
{
    if (!m_frame->CanClose()) {
        action = caNone;
        return;
    }
    TfmVxChildDB::FormClose(action);
    if (m_collection)
        m_collection->Close();
}

void registerLookupEditors()
{
    for (QelLookupTable table :
         {QelLookupTable::Bande, QelLookupTable::Encomio, QelLookupTable::Frm, QelLookupTable::Sco,
          QelLookupTable::DesDed, QelLookupTable::DtpDtd}) {
        FormRegistry::registerClass(QString::fromLatin1(editorDef(table).className),
                                    [table](QWidget *parent) -> QWidget * {
                                        return new TfmqelLookupEditor(table, parent);
                                    });
    }
}
