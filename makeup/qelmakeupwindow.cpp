#include "makeup/qelmakeupwindow.h"

#include "gradeentry/qevdatasets.h"
#include "platform/connection.h"
#include "platform/frames.h"
#include "platform/images.h"
#include "platform/keyboardfocus.h"
#include "platform/messagedlg.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QColor kTeal(0, 128, 128);

QLabel *headerLabel(const QString &text, bool bold, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: white;%1")
                             .arg(bold ? QStringLiteral(" font-weight: bold;") : QString()));
    return label;
}

// Adds the teal header with the class label on its right, and returns the label.
QLabel *addMakeupHeader(QWidget *window, QBoxLayout *layout, const QString &caption)
{
    auto *header = new QWidget(window);
    header->setObjectName(QStringLiteral("paHeader"));
    header->setAutoFillBackground(true);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, kTeal);
    header->setPalette(palette);
    auto *line = new QHBoxLayout(header);
    line->setContentsMargins(8, 6, 8, 6);
    line->addWidget(headerLabel(caption, false, header));
    line->addStretch();
    QLabel *classLabel = headerLabel(QStringLiteral("Classe: "), true, header);
    classLabel->setObjectName(QStringLiteral("lblCLasse"));
    line->addWidget(classLabel);
    layout->addWidget(header);
    return classLabel;
}

// The tool bar holds the phases and the legend button: never folded away behind its
// extension arrow, however narrow the window is made.
class TqelWholeToolBar : public QToolBar
{
public:
    using QToolBar::QToolBar;
    QSize minimumSizeHint() const override { return sizeHint(); }
};

struct MakeupToolBar
{
    QToolBar *bar;
    QAction *deleteOne;
    QAction *deleteAll;
    QComboBox *phases;
    QToolButton *legend;
};

MakeupToolBar addMakeupToolBar(QWidget *window, QBoxLayout *layout, const QString &deleteOneName,
                               const QString &deleteOneHint, const QString &deleteAllName,
                               const QString &deleteAllHint,
                               const std::function<void(QWidget *panel, QHBoxLayout *line)> &addOwn)
{
    MakeupToolBar tools;
    tools.bar = new TqelWholeToolBar(window);
    tools.bar->setObjectName(QStringLiteral("ToolBar1"));
    tools.bar->setIconSize(QSize(16, 16));
    tools.deleteOne = tools.bar->addAction(VxImage(QStringLiteral("VXDELETE")), QString());
    tools.deleteOne->setObjectName(deleteOneName);
    tools.deleteOne->setToolTip(deleteOneHint);
    tools.deleteAll = tools.bar->addAction(VxImage(QStringLiteral("CANCELLAGIUDIZIO")), QString());
    tools.deleteAll->setObjectName(deleteAllName);
    tools.deleteAll->setToolTip(deleteAllHint);
    // Tab reaches the tool bar's commands too: a tool bar's buttons take no focus of their own.
    VxTabStops(tools.bar);

    auto *panel = new QWidget(tools.bar);
    panel->setObjectName(QStringLiteral("Panel2"));
    auto *line = new QHBoxLayout(panel);
    line->setContentsMargins(16, 0, 0, 0);
    auto *phasesLabel = new QLabel(QStringLiteral("F&ase di recupero"), panel);
    line->addWidget(phasesLabel);
    tools.phases = new QComboBox(panel);
    tools.phases->setObjectName(QStringLiteral("cboFasi"));
    phasesLabel->setBuddy(tools.phases);
    tools.phases->setMinimumWidth(180);
    line->addWidget(tools.phases);
    addOwn(panel, line);
    line->addStretch();
    tools.legend = new QToolButton(panel);
    tools.legend->setObjectName(QStringLiteral("sbuLegenda"));
    tools.legend->setText(QStringLiteral("Legenda"));
    tools.legend->setCheckable(true);
    // Tab reaches it; a click leaves the keyboard where it was (the grid's cell).
    VxTabStop(tools.legend);
    // Its key works wherever the keyboard is in the window, and shows in its tooltip.
    VxSetButtonShortcut(window, tools.legend,
                        QStringLiteral("Mostra o nasconde la legenda dei colori"),
                        {QKeySequence(Qt::CTRL | Qt::Key_L)})
        ->setObjectName(QStringLiteral("aLegenda"));
    line->addWidget(tools.legend);
    tools.bar->addWidget(panel);
    layout->addWidget(tools.bar);
    return tools;
}

bool openMakeupClass(const MakeupRecords &data, const QString &beforeLimitMessage, MakeupClass &cls,
                     QList<MakeupPhase> &phases)
{
    phases.clear();
    const int iClsSesId = dmqevDataSets ? dmqevDataSets->iClsSesId : 0;
    if (iClsSesId <= 0) {
        VxMessageDlg(QStringLiteral("Nessuna classe scelta: scegliere prima la classe."),
                     mtInformation, mbOK);
        return false;
    }
    cls = data.classOf(iClsSesId);
    if (!makeupYearAllowed(cls.iAnsId)) {
        VxMessageDlg(beforeLimitMessage, mtInformation, mbOK);
        return false;
    }
    phases = data.phasesOfYear(cls.iAnsId);
    if (phases.isEmpty()) {
        VxMessageDlg(QStringLiteral("ATTENZIONE! Nessuna fase di recupero definita per "
                                    "l'anno scolastico %1.")
                         .arg(cls.yearText()),
                     mtInformation, mbOK);
        return false;
    }
    return true;
}

} // namespace

TqelLegendaRec::TqelLegendaRec(QWidget *window, int swatchWidth, Colour colour)
    : QWidget(window), m_grid(new QTableWidget(this)), m_colour(std::move(colour))
{
    setObjectName(QStringLiteral("pnlLegenda"));
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_grid->setObjectName(QStringLiteral("dbgLegenda"));
    m_grid->setColumnCount(3);
    m_grid->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Peso"), QStringLiteral("Descr. Breve")});
    m_grid->setColumnWidth(0, swatchWidth);
    m_grid->setColumnWidth(1, 50);
    m_grid->setColumnWidth(2, 272);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    // Shown, it is reached by Tab and scrolled by the arrows when it is taller than its room;
    // the next Tab goes on past it.
    m_grid->setFocusPolicy(Qt::TabFocus);
    m_grid->setTabKeyNavigation(false);
    // Nothing in it is chosen, so no cell shows the keyboard: the frame does.
    m_grid->setStyleSheet(
        QStringLiteral("QTableWidget:focus { border: 2px solid palette(highlight); }"));
    layout->addWidget(m_grid, 1);
    layout->addStretch();
    setFixedWidth(swatchWidth + 50 + 272 + m_grid->frameWidth() * 2 + 2);
    hide();
}

void TqelLegendaRec::Toggle(QToolButton *button,
                            const std::function<QList<MakeupLegendRow>()> &load)
{
    if (isVisible()) {
        hide();
        button->setChecked(false);
        return;
    }
    const bool loaded = RunShowingErrors([&] {
        const QList<MakeupLegendRow> rows = load();
        m_grid->setRowCount(int(rows.size()));
        for (int r = 0; r < rows.size(); ++r) {
            // Only the swatch is painted; a weight without colour keeps the grid's own.
            auto *swatch = new QTableWidgetItem;
            if (const std::optional<QColor> colour = m_colour(rows.at(r).weight))
                swatch->setBackground(*colour);
            m_grid->setItem(r, 0, swatch);
            m_grid->setItem(r, 1, new QTableWidgetItem(QString::number(rows.at(r).weight)));
            m_grid->setItem(r, 2, new QTableWidgetItem(rows.at(r).sDesc));
        }
    });
    button->setChecked(loaded);
    if (!loaded)
        return;
    int height = m_grid->horizontalHeader()->sizeHint().height() + m_grid->frameWidth() * 2;
    for (int r = 0; r < m_grid->rowCount(); ++r)
        height += m_grid->rowHeight(r);
    // As tall as its rows when there is room; else it scrolls, the window staying in the area.
    m_grid->setMaximumHeight(height);
    m_grid->setMinimumHeight(qMin(height, 4 * m_grid->verticalHeader()->defaultSectionSize()));
    show();
}

TfmQelMakeupClassWindow::TfmQelMakeupClassWindow(QWidget *parent, int swatchWidth,
                                                 TqelLegendaRec::Colour colour)
    : TfmVxChildBase(parent), m_data(qqoVxGlobConn()),
      m_legenda(new TqelLegendaRec(this, swatchWidth, std::move(colour)))
{
}

QVBoxLayout *TfmQelMakeupClassWindow::addFrame(
    const MakeupWindowTexts &texts,
    const std::function<void(QWidget *panel, QHBoxLayout *line)> &addOwn)
{
    setObjectName(QString::fromLatin1(texts.objectName));
    setWindowTitle(QString::fromUtf8(texts.title));
    resize(1000, 700);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_lblClasse = addMakeupHeader(this, layout, QString::fromUtf8(texts.header));
    const MakeupToolBar tools = addMakeupToolBar(
        this, layout, QString::fromLatin1(texts.deleteOneName),
        QString::fromUtf8(texts.deleteOneHint), QString::fromLatin1(texts.deleteAllName),
        QString::fromUtf8(texts.deleteAllHint), addOwn);
    // Controls that need the window's width above; the grid, which scrolls, beside the legend.
    m_aboveLegend = new QVBoxLayout;
    m_aboveLegend->setContentsMargins(0, 0, 0, 0);
    m_aboveLegend->setSpacing(0);
    layout->addLayout(m_aboveLegend);
    auto *body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(4);
    auto *own = new QVBoxLayout;
    own->setContentsMargins(0, 0, 0, 0);
    own->setSpacing(0);
    body->addLayout(own, 1);
    body->addWidget(m_legenda);
    layout->addLayout(body, 1);
    m_toolBar = tools.bar;
    m_deleteOne = tools.deleteOne;
    m_deleteAll = tools.deleteAll;
    m_cboFasi = tools.phases;
    m_sbuLegenda = tools.legend;
    connect(m_cboFasi, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            RunShowingErrors([this] { cboFasiChange(); });
    });
    connect(m_sbuLegenda, &QToolButton::clicked, this, &TfmQelMakeupClassWindow::sbuLegendaClick);
    return own;
}

bool TfmQelMakeupClassWindow::openClass(const QString &beforeLimitMessage)
{
    const bool opened = openMakeupClass(m_data, beforeLimitMessage, m_classe, m_fasi);
    m_lblClasse->setText(QStringLiteral("Classe: ") + m_classe.sClsDesc);
    return opened;
}

void TfmQelMakeupClassWindow::fillPhases()
{
    for (const MakeupPhase &phase : std::as_const(m_fasi))
        m_cboFasi->addItem(phase.sFreLDesc, phase.iFreId);
    m_cboFasi->setCurrentIndex(0);
}

void TfmQelMakeupClassWindow::disable()
{
    m_filling = true;
    m_cboFasi->clear();
    m_filling = false;
    m_toolBar->setEnabled(false);
}

void TfmQelMakeupClassWindow::orderTabs(const QList<QWidget *> &own, const QList<QWidget *> &below)
{
    QList<QWidget *> order = {m_toolBar->widgetForAction(m_deleteOne),
                              m_toolBar->widgetForAction(m_deleteAll), m_cboFasi};
    order << own << m_sbuLegenda << m_legenda->dbgLegenda() << below;
    VxSetTabOrder(order);
}

QWidget *TfmQelMakeupClassWindow::pnlLegenda() const
{
    return m_legenda;
}

QTableWidget *TfmQelMakeupClassWindow::dbgLegenda() const
{
    return m_legenda->dbgLegenda();
}

void TfmQelMakeupClassWindow::sbuLegendaClick()
{
    m_legenda->Toggle(m_sbuLegenda, [this] { return legendRows(); });
}
