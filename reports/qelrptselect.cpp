// The report data module's side of the selection dialog: the dialog set up for the class or
// the pupil reports before it shows, and the office's choice taken into the report's master
// dataset and into SelAnsId and SelAnsSesDwgId after OK.
#include "reports/qelrptdatasets.h"

#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/dbxml.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "reportengine/reportengine.h"
#include "reports/qelfselrptansbs.h"
#include "shell/qelactivations.h"
#include "shell/qelcommandtable.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionViewItem>

namespace {

TfmqelSelRptAnsSesBs &dialog(QWidget *form)
{
    auto *dialog = qobject_cast<TfmqelSelRptAnsSesBs *>(form);
    if (!dialog)
        throw EVxException(QStringLiteral("La finestra di selezione dei report non è quella "
                                          "attesa (TfmqelSelRptAnsSesBs)."));
    return *dialog;
}

struct Column
{
    const char *field;
    const char *title;
    int width;
};

// A grid of one column keeps it, the new ones after it; of more, they give way.
void setColumns(TfrVxDBROGrid *grid, std::initializer_list<Column> columns)
{
    if (grid->ColumnCount() > 1)
        grid->ClearColumns();
    for (const Column &c : columns)
        grid->AddColumn(QString::fromLatin1(c.field), QString::fromUtf8(c.title), c.width);
}

// Pupils without a register position (iSitPosReg 0, or none) stand out in grey.
bool AlunniDrawColumnCell(QPainter *, QStyleOptionViewItem &option, const QModelIndex &index)
{
    const QAbstractItemModel *model = index.model();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (model->headerData(column, Qt::Horizontal)
                .toString()
                .compare(QLatin1String("iSitPosReg"), Qt::CaseInsensitive) != 0)
            continue;
        if (model->index(index.row(), column).data(Qt::EditRole).toInt() == 0)
            option.palette.setColor(QPalette::Text, QColor(0x808080));
        break;
    }
    return false;
}

// The pupils of no institute would be nobody's, or another institute's.
[[noreturn]] void endForNoInstitute()
{
    VxMessageDlg(QStringLiteral("Non è stato selezionato l'istituto\r\r"
                                "Selezionarlo in \"%1\".\r"
                                "Voce: \"Istituto\".")
                     .arg(qelCommandPath("xacParams")),
                 mtWarning, mbOK);
    throw EfrAbort();
}

} // namespace

void TdmqelRptDataSets::bindSelectForms()
{
    auto *clsSes = static_cast<TVxfrDBDataSet *>(FindReportDataSet(QStringLiteral("frdClsSes")));
    clsSes->OnBeforeSelectForm = [this](TVxfrDBDataSet &s, QWidget *f) {
        frdClsSesBeforeSelectForm(s, f);
    };
    clsSes->OnAfterSelectForm = [this](TVxfrDBDataSet &s, QWidget *f) {
        frdClsSesAfterSelectForm(s, f);
    };
    auto *alunni = static_cast<TVxfrDBDataSet *>(FindReportDataSet(QStringLiteral("frdAlunni")));
    alunni->OnBeforeSelectForm = [this](TVxfrDBDataSet &s, QWidget *f) {
        frdAlunniBeforeSelectForm(s, f);
    };
    alunni->OnAfterSelectForm = [this](TVxfrDBDataSet &s, QWidget *f) {
        frdAlunniAfterSelectForm(s, f);
    };
    qquAlunni->BeforeOpen = [this](TfrDataSet &d) { LoadParamDwgIdBeforeOpen(d); };
}

void TdmqelRptDataSets::frdClsSesBeforeSelectForm(TVxfrDBDataSet &, QWidget *form)
{
    TfmqelSelRptAnsSesBs &d = dialog(form);
    for (QWidget *control : std::initializer_list<QWidget *>{
             d.laCls(), d.cbCls(), d.buCls(), d.laPosFin(), d.cbPosFin(), d.cbStato(), d.Label2()})
        control->hide();
    d.setWindowTitle(QStringLiteral("Selezione sessione e classi da stampare"));
    setColumns(
        d.frSelect(),
        {{"iClsOrdine", "Ordine", 40}, {"sClsDesc", "Classe", 350}, {"sSedMecCod", "Sede", -1}});
}

void TdmqelRptDataSets::frdClsSesAfterSelectForm(TVxfrDBDataSet &, QWidget *form)
{
    TfmqelSelRptAnsSesBs &d = dialog(form);
    qquClsSes->ParamByName(QStringLiteral("iAnsSesDwgId")).setValue(d.GetSelectedAnsSesDwgId());
    m_selAnsId = d.GetSelectediAnsId();
    m_selAnsSesDwgId = d.GetSelectedAnsSesDwgId();
}

void TdmqelRptDataSets::frdAlunniBeforeSelectForm(TVxfrDBDataSet &, QWidget *form)
{
    TfmqelSelRptAnsSesBs &d = dialog(form);
    const int institute = TVxWorkingContext::institute();
    if (institute == 0)
        endForNoInstitute();
    if (!TdmqelActivations::RequireSchoolYear())
        throw EfrAbort();
    d.ListDataSet()->Params() = valuesOf({{"iAnsId", TVxWorkingContext::schoolYear()},
                                          {"iDwgId", institute},
                                          {"iAllId", 0},
                                          {"iClsId", 0},
                                          {"iAllPosFinId", 0},
                                          {"iPosFinId", 0}});
    for (QWidget *control : std::initializer_list<QWidget *>{d.laCls(), d.cbCls(), d.buCls()})
        control->show();
    d.setWindowTitle(QStringLiteral("Selezione alunni da stampare"));
    TfrVxDBROGrid *grid = d.frSelect();
    setColumns(grid, {{"sAnaCagCode", "Matricola", 80},
                      {"sAnaCognome", "Cognome", 150},
                      {"sAnaNome", "Nome", 150},
                      {"sClsSDesc", "Classe", 90}});
    grid->ClearSortColumns();
    grid->AddSortColumn(0, QStringLiteral("sAnaCagCode"));
    grid->AddSortColumn(1, QStringLiteral("sAnaCognome"));
    grid->AddSortColumn(3, QStringLiteral("sClsSDesc;sAnaCognome"));
    grid->OnDrawCell = AlunniDrawColumnCell;
    QStringList filter;
    GetDBXML(qqoVxGlobConn(), QStringLiteral("QEL_ALUFLT"), QStringLiteral("ZUN"), filter);
    d.SetXMLFilter(filter.join(QStringLiteral("\r\n")));
}

void TdmqelRptDataSets::frdAlunniAfterSelectForm(TVxfrDBDataSet &, QWidget *form)
{
    TfmqelSelRptAnsSesBs &d = dialog(form);
    const TVxFieldValues &chosen = d.ListDataSet()->Params();
    qquAlunni->ParamByName(QStringLiteral("iAnsId")).setValue(d.GetSelectediAnsId());
    // The state filter stays the dialog's: the report prints the rows chosen in its list.
    for (const char *name : {"iAllId", "iClsId", "iAllPosFinId", "iPosFinId"})
        qquAlunni->ParamByName(QString::fromLatin1(name))
            .setValue(chosen.value(QString::fromLatin1(name)));
    m_selAnsId = d.GetSelectediAnsId();
    m_selAnsSesDwgId = d.GetSelectedAnsSesDwgId();
}

void TdmqelRptDataSets::LoadParamDwgIdBeforeOpen(TfrDataSet &)
{
    if (const int institute = TVxWorkingContext::institute()) {
        qquAlunni->ParamByName(QStringLiteral("iDwgId")).setValue(institute);
        return;
    }
    // Read outside a report (the refresh before one), the list stays as its parameters say.
    if (CurReport)
        endForNoInstitute();
}
