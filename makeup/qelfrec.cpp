#include "makeup/qelfrec.h"

#include "gradeentry/qevdatasets.h"
#include "makeup/qelrdettrec.h"
#include "makeup/qelrgrigliarec.h"
#include "platform/connection.h"
#include "platform/images.h"
#include "platform/messagedlg.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
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

} // namespace

TfmQelRec::TfmQelRec(QWidget *parent)
    : TfmVxChildBase(parent), m_data(qqoVxGlobConn()), m_toolBar(new QToolBar(this)),
      m_cboFasi(new QComboBox(this)), m_cboTipoVoto(new QComboBox(this)),
      m_sbuLegenda(new QToolButton(this)), m_dett(new TfrQelDettRec(this)),
      m_griglia(new TfrQelGrigliaRec(this)), m_pnlLegenda(new QWidget(this)),
      m_dbgLegenda(new QTableWidget(m_pnlLegenda))
{
    setObjectName(QStringLiteral("fmQelRec"));
    setWindowTitle(QStringLiteral("Recuperi"));
    resize(1000, 700);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildHeader();
    buildToolBar();
    layout->addWidget(m_dett);
    layout->addWidget(m_griglia, 1);
    buildLegend();

    connect(m_griglia, &TfrQevGrigliaRec::cellaCorrenteCambiata, this, &TfmQelRec::followCell);
    connect(m_griglia, &TfrQevGrigliaRec::cifraDigitata, this, &TfmQelRec::digitTyped);
    connect(m_griglia, &TfrQevGrigliaRec::doppioClick, this, &TfmQelRec::assignFocusedCell);
    connect(m_dett, &TfrQevDettRec::assegnaRichiesto, this, &TfmQelRec::assignFocusedCell);
    connect(m_dett, &TfrQelDettRec::recuperoScritto, this, &TfmQelRec::recordWritten);
    connect(m_dett, &TfrQelDettRec::cellaDaRicaricare, this, [this](int iSitId, int iMatId) {
        RunShowingErrors([&] { m_griglia->RicaricaCella(iSitId, iMatId); });
    });
    connect(m_cboTipoVoto, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            RunShowingErrors([this] { cboTipoVotoChange(); });
    });
    connect(m_cboFasi, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            RunShowingErrors([this] { cboFasiChange(); });
    });
    connect(m_tbDelete, &QAction::triggered, this, &TfmQelRec::tbDeleteClick);
    connect(m_tbDeleteAll, &QAction::triggered, this, &TfmQelRec::tbDeleteAllClick);
    connect(m_sbuLegenda, &QToolButton::clicked, this, &TfmQelRec::sbuLegendaClick);

    FormCreate();
}

void TfmQelRec::buildHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("paHeader"));
    header->setAutoFillBackground(true);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, kTeal);
    header->setPalette(palette);
    auto *line = new QHBoxLayout(header);
    line->setContentsMargins(8, 6, 8, 6);
    line->addWidget(headerLabel(QStringLiteral("Gestione dei recuperi."), false, header));
    line->addStretch();
    m_lblClasse = headerLabel(QStringLiteral("Classe: "), true, header);
    m_lblClasse->setObjectName(QStringLiteral("lblCLasse"));
    line->addWidget(m_lblClasse);
    static_cast<QVBoxLayout *>(layout())->addWidget(header);
}

void TfmQelRec::buildToolBar()
{
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_tbDelete = m_toolBar->addAction(VxImage(QStringLiteral("VXDELETE")), QString());
    m_tbDelete->setObjectName(QStringLiteral("tbDelete"));
    m_tbDelete->setToolTip(QStringLiteral("Cancella il recupero selezionato"));
    m_tbDeleteAll = m_toolBar->addAction(VxImage(QStringLiteral("CANCELLAGIUDIZIO")), QString());
    m_tbDeleteAll->setObjectName(QStringLiteral("tbDeleteAll"));
    m_tbDeleteAll->setToolTip(QStringLiteral("Cancella tutti i recuperi"));

    auto *panel = new QWidget(m_toolBar);
    panel->setObjectName(QStringLiteral("Panel2"));
    auto *line = new QHBoxLayout(panel);
    line->setContentsMargins(16, 0, 0, 0);
    line->addWidget(new QLabel(QStringLiteral("Fase di recupero"), panel));
    m_cboFasi->setObjectName(QStringLiteral("cboFasi"));
    m_cboFasi->setMinimumWidth(180);
    line->addWidget(m_cboFasi);
    line->addSpacing(12);
    line->addWidget(new QLabel(QStringLiteral("Mostra:"), panel));
    m_cboTipoVoto->setObjectName(QStringLiteral("cboTipoVoto"));
    line->addWidget(m_cboTipoVoto);
    line->addStretch();
    m_sbuLegenda->setObjectName(QStringLiteral("sbuLegenda"));
    m_sbuLegenda->setText(QStringLiteral("Legenda"));
    m_sbuLegenda->setCheckable(true);
    m_sbuLegenda->setFocusPolicy(Qt::NoFocus);
    line->addWidget(m_sbuLegenda);
    m_toolBar->addWidget(panel);
    static_cast<QVBoxLayout *>(layout())->addWidget(m_toolBar);
}

void TfmQelRec::buildLegend()
{
    m_pnlLegenda->setObjectName(QStringLiteral("pnlLegenda"));
    m_pnlLegenda->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(m_pnlLegenda);
    layout->setContentsMargins(1, 1, 1, 1);
    m_dbgLegenda->setObjectName(QStringLiteral("dbgLegenda"));
    m_dbgLegenda->setColumnCount(3);
    m_dbgLegenda->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Peso"), QStringLiteral("Descr. Breve")});
    m_dbgLegenda->setColumnWidth(0, 26);
    m_dbgLegenda->setColumnWidth(1, 50);
    m_dbgLegenda->setColumnWidth(2, 272);
    m_dbgLegenda->verticalHeader()->setVisible(false);
    m_dbgLegenda->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_dbgLegenda->setSelectionMode(QAbstractItemView::NoSelection);
    m_dbgLegenda->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_dbgLegenda);
    m_pnlLegenda->resize(26 + 50 + 272 + 8, 160);
    m_pnlLegenda->hide();
}

void TfmQelRec::FormCreate()
{
    // The grid shows nothing until a class and a phase are there.
    const bool loaded = RunShowingErrors([this] {
        const int iClsSesId = dmqevDataSets ? dmqevDataSets->iClsSesId : 0;
        if (iClsSesId <= 0) {
            VxMessageDlg(QStringLiteral("Nessuna classe scelta: scegliere prima la classe."),
                         mtInformation, mbOK);
            disable();
            return;
        }
        m_classe = m_data.classOf(iClsSesId);
        m_lblClasse->setText(QStringLiteral("Classe: ") + m_classe.sClsDesc);
        m_griglia->SetClasse(m_classe);
        if (!makeupYearAllowed(m_classe.iAnsId)) {
            VxMessageDlg(QStringLiteral("ATTENZIONE! Impossibile assegnare recuperi prima "
                                        "dell'anno scolastico 2007/2008."),
                         mtInformation, mbOK);
            disable();
            return;
        }
        // The phases of the class session's own year: the records the grid reads belong to
        // it, whatever the working year.
        m_fasi = m_data.phasesOfYear(m_classe.iAnsId);
        if (m_fasi.isEmpty()) {
            VxMessageDlg(QStringLiteral("ATTENZIONE! Nessuna fase di recupero definita per "
                                        "l'anno scolastico %1.")
                             .arg(m_classe.yearText()),
                         mtInformation, mbOK);
            disable();
            return;
        }
        m_filling = true;
        for (const MakeupPhase &phase : std::as_const(m_fasi))
            m_cboFasi->addItem(phase.sFreLDesc, phase.iFreId);
        m_cboFasi->setCurrentIndex(0);
        m_cboTipoVoto->addItems(
            {QStringLiteral("Voti Proposti"), QStringLiteral("Voti Definitivi")});
        m_cboTipoVoto->setCurrentIndex(1);
        m_filling = false;
        cboTipoVotoChange();
    });
    if (!loaded)
        disable();
}

void TfmQelRec::FormShow()
{
    m_griglia->dbgRec()->setFocus();
}

void TfmQelRec::disable()
{
    m_filling = true;
    m_cboFasi->clear();
    m_cboTipoVoto->clear();
    m_filling = false;
    m_toolBar->setEnabled(false);
}

void TfmQelRec::cboTipoVotoChange()
{
    m_griglia->SetTipoVoto(m_cboTipoVoto->currentIndex());
    cboFasiChange();
}

void TfmQelRec::cboFasiChange()
{
    const int index = m_cboFasi->currentIndex();
    if (index < 0 || index >= m_fasi.size())
        return;
    const MakeupPhase &phase = m_fasi.at(index);
    m_ansFreDwgId = phase.iAnsFreDwgIdOfPhase;
    m_dett->SetAnsFreDwgId(m_ansFreDwgId);
    m_dett->SetFase(m_classe.iAnsId, phase.iFreId);
    m_griglia->SetFreId(phase.iFreId);
    m_griglia->CaricaGriglia();
    m_griglia->ImpostaColonne();
    m_griglia->PrimaRiga();
    m_dett->Inizializza();
}

void TfmQelRec::passFocusedCell()
{
    m_dett->SetRecId(m_griglia->RecId());
    m_dett->SetMatId(m_griglia->MatId());
    m_dett->SetSitId(m_griglia->SitId());
}

void TfmQelRec::followCell()
{
    passFocusedCell();
    // A cell without record leaves the panel's choices: they are the type to assign.
    if (m_griglia->RecId() > 0)
        RunShowingErrors([this] { m_dett->CaricaRecupero(m_griglia->RecId()); });
}

void TfmQelRec::digitTyped(int digit)
{
    // The name column takes no digit: no type is looked up, nothing is assigned.
    if (m_griglia->RecId() < 0)
        return;
    RunShowingErrors([&] {
        if (!m_dett->SelezionaTipoDaPeso(digit))
            return;
        passFocusedCell();
        m_dett->AssegnaRecupero();
    });
}

void TfmQelRec::assignFocusedCell()
{
    if (m_griglia->RecId() < 0)
        return;
    RunShowingErrors([this] {
        passFocusedCell();
        m_dett->AssegnaRecupero();
    });
}

void TfmQelRec::recordWritten(int iSitId, int iMatId, int iRecId, int peso)
{
    if (m_griglia->SitId() != iSitId || m_griglia->MatId() != iMatId) {
        RunShowingErrors([&] { m_griglia->RicaricaCella(iSitId, iMatId); });
        return;
    }
    m_griglia->SetRecId(iRecId);
    m_griglia->SetPeso(peso);
    m_griglia->AggiornaCella();
}

void TfmQelRec::tbDeleteClick()
{
    if (m_griglia->RecId() < 1)
        return;
    RunShowingErrors([this] {
        passFocusedCell();
        m_dett->CancellaRecupero();
    });
}

void TfmQelRec::tbDeleteAllClick()
{
    if (VxMessageDlg(QStringLiteral("Cancellare tutti i recuperi per classe e fase selezionati?"),
                     mtConfirmation, mbYesNo, 0, mrNo) != mrYes)
        return;
    RunShowingErrors([this] {
        m_data.removeClassPhase(m_classe.iClsId, m_ansFreDwgId);
        m_griglia->CaricaGriglia();
        m_griglia->ImpostaColonne();
        m_griglia->PrimaRiga();
    });
}

void TfmQelRec::sbuLegendaClick()
{
    if (m_pnlLegenda->isVisible()) {
        m_pnlLegenda->hide();
        m_sbuLegenda->setChecked(false);
        return;
    }
    const bool loaded = RunShowingErrors([this] {
        const QList<MakeupLegendRow> rows = m_data.typeLegend();
        m_dbgLegenda->setRowCount(int(rows.size()));
        for (int r = 0; r < rows.size(); ++r) {
            auto *swatch = new QTableWidgetItem;
            swatch->setBackground(typeLegendColour(rows.at(r).weight));
            m_dbgLegenda->setItem(r, 0, swatch);
            m_dbgLegenda->setItem(r, 1, new QTableWidgetItem(QString::number(rows.at(r).weight)));
            m_dbgLegenda->setItem(r, 2, new QTableWidgetItem(rows.at(r).sDesc));
        }
    });
    int height = m_dbgLegenda->horizontalHeader()->sizeHint().height() + 4;
    for (int r = 0; r < m_dbgLegenda->rowCount(); ++r)
        height += m_dbgLegenda->rowHeight(r);
    m_pnlLegenda->resize(m_pnlLegenda->width(), height);
    m_sbuLegenda->setChecked(loaded);
    if (!loaded)
        return;
    placeLegend();
    m_pnlLegenda->show();
    m_pnlLegenda->raise();
}

void TfmQelRec::resizeEvent(QResizeEvent *event)
{
    TfmVxChildBase::resizeEvent(event);
    placeLegend();
}

void TfmQelRec::placeLegend()
{
    m_pnlLegenda->move(width() - 30 - m_pnlLegenda->width(), m_dett->y());
}
