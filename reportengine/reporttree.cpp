#include "reportengine/reporttree.h"

#include "platform/attivazioni.h"
#include "platform/images.h"
#include "platform/messagedlg.h"
#include "reportengine/reportpreview.h"
#include "reportengine/reportstore.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A tree measures its rows without their width, so a wrapped name would keep one line: its
// one column is the list's width.
class WrappedNames : public QStyledItemDelegate
{
public:
    explicit WrappedNames(QTreeWidget *list) : QStyledItemDelegate(list), m_list(list) {}
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem sized(option);
        sized.rect = QRect(0, 0, m_list->viewport()->width(), std::max(1, option.rect.height()));
        return QStyledItemDelegate::sizeHint(sized, index);
    }

private:
    QTreeWidget *m_list;
};

} // namespace

TVxRptTreeView::TVxRptTreeView(TVxAttReport *command, QWidget *parent)
    : QWidget(parent), m_command(command), m_list(new QTreeWidget(this)),
      m_preview(new QPushButton(VxImage(QStringLiteral("RPTPREVIEW")), QStringLiteral("Anteprima"),
                                this)),
      m_print(new QPushButton(VxImage(QStringLiteral("RPTPRINT")), QStringLiteral("Stampa"), this)),
      m_pdf(new QPushButton(VxImage(QStringLiteral("RPTPDF")), QStringLiteral("Esporta PDF"), this))
{
    setObjectName(QStringLiteral("rtvReports"));
    m_list->setObjectName(QStringLiteral("tvReports"));
    m_list->setColumnCount(1);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    // A long name wraps onto a second line, in the list's width, rather than ending in "...".
    m_list->setWordWrap(true);
    m_list->setTextElideMode(Qt::ElideNone);
    m_list->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setItemDelegate(new WrappedNames(m_list));
    m_preview->setObjectName(QStringLiteral("buAnteprima"));
    m_print->setObjectName(QStringLiteral("buStampa"));
    m_pdf->setObjectName(QStringLiteral("buPdf"));
    // The command bar gives the page the keyboard: the list takes it.
    setFocusProxy(m_list);

    auto *buttons = new QGridLayout;
    buttons->addWidget(m_preview, 0, 0, 1, 2);
    buttons->addWidget(m_print, 1, 0);
    buttons->addWidget(m_pdf, 1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_preview, &QPushButton::clicked, this, &TVxRptTreeView::Preview);
    connect(m_print, &QPushButton::clicked, this, &TVxRptTreeView::Print);
    connect(m_pdf, &QPushButton::clicked, this, &TVxRptTreeView::ExportPdf);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { Preview(); });
    const auto enable = [this] {
        // The list's cursor is the chosen report, drawn chosen also when the keyboard put it
        // there on entering the list.
        if (QTreeWidgetItem *item = m_list->currentItem(); item && !item->isSelected())
            item->setSelected(true);
        const bool chosen = SelectedReportId() != 0;
        for (QPushButton *b : {m_preview, m_print, m_pdf})
            b->setEnabled(chosen);
    };
    connect(m_list, &QTreeWidget::currentItemChanged, this, enable);
    enable();
}

void TVxRptTreeView::Reload()
{
    const int chosen = SelectedReportId();
    m_list->clear();
    const QString codAppl = m_command ? m_command->CodAppl : QString();
    for (const TfrStoredReport &r : TfrReportStore().List(codAppl)) {
        auto *item = new QTreeWidgetItem(m_list, {r.Description});
        item->setData(0, Qt::UserRole, r.Id);
        item->setToolTip(0, QStringLiteral("%1 (n. %2)").arg(r.Description).arg(r.Id));
    }
    if (chosen != 0)
        SelectReport(chosen);
}

int TVxRptTreeView::SelectedReportId() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

bool TVxRptTreeView::SelectReport(int id)
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_list->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() == id) {
            m_list->setCurrentItem(item);
            return true;
        }
    }
    return false;
}

void TVxRptTreeView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Listed whenever the page opens: the database opens after the command bar is built, and
    // templates may have been saved since.
    RunShowingErrors([this] { Reload(); });
}

void TVxRptTreeView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The wrapped names take the lines the new width gives them.
    m_list->doItemsLayout();
}

bool TVxRptTreeView::run(const std::function<bool(int id)> &work)
{
    const int id = SelectedReportId();
    if (id == 0)
        return false;
    if (OnPrintedElsewhere) {
        const QString where = OnPrintedElsewhere(id, m_list->currentItem()->text(0));
        if (!where.isEmpty()) {
            VxMessageDlg(where, mtInformation, mbOK);
            return false;
        }
    }
    bool done = false;
    RunShowingErrors([&] {
        bool allowed = true;
        if (m_command && m_command->BeforeExecute)
            m_command->BeforeExecute(m_command, allowed);
        if (!allowed)
            return;
        done = work(id);
        if (done && m_command && m_command->AfterExecute)
            m_command->AfterExecute(m_command);
    });
    return done;
}

bool TVxRptTreeView::Preview()
{
    return run([this](int id) {
        return m_rpt.PreviewReportFromVxDB(id, m_rpt.RptImageIndex()) != nullptr;
    });
}

bool TVxRptTreeView::Print()
{
    return run([this](int id) {
        return m_rpt.PrepareStoredReport(id) && frPrintWithDialog(this, m_rpt.Pages());
    });
}

bool TVxRptTreeView::ExportPdf()
{
    return run([this](int id) {
        return m_rpt.PrepareStoredReport(id) && frExportPdfWithDialog(this, m_rpt.Pages());
    });
}
