#include "makeup/qelfrec.h"

#include "gradeentry/qevsalva.h"
#include "makeup/qelmakeupwindow.h"
#include "makeup/qelrdettrec.h"
#include "makeup/qelrgrigliarec.h"
#include "platform/connection.h"
#include "platform/dateedit.h"
#include "platform/frames.h"
#include "platform/helpers.h"
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

const MakeupWindowTexts kTexts = {"fmQelRec",
                                  "Recuperi",
                                  "Gestione dei recuperi.",
                                  "tbDelete",
                                  "Cancella il recupero selezionato",
                                  "tbDeleteAll",
                                  "Cancella tutti i recuperi"};

} // namespace

TfmQelRec::TfmQelRec(QWidget *parent)
    : TfmQelMakeupClassWindow(
          parent, 26, [](int weight) -> std::optional<QColor> { return typeCellColour(weight); }),
      m_cboTipoVoto(new QComboBox(this)), m_dett(new TfrQelDettRec(this)),
      m_griglia(new TfrQelGrigliaRec(this))
{
    QVBoxLayout *layout = addFrame(kTexts, [this](QWidget *panel, QHBoxLayout *line) {
        line->addSpacing(12);
        auto *label = new QLabel(QStringLiteral("&Mostra:"), panel);
        label->setBuddy(m_cboTipoVoto);
        line->addWidget(label);
        m_cboTipoVoto->setObjectName(QStringLiteral("cboTipoVoto"));
        line->addWidget(m_cboTipoVoto);
    });
    m_aboveLegend->addWidget(m_dett);
    layout->addWidget(m_griglia, 1);
    // "Assegna recupero" from wherever the keyboard is, the grid's cell above all.
    VxSetButtonShortcut(
        this, m_dett->buSave(), QStringLiteral("Assegna il recupero scelto alla cella"),
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)})
        ->setObjectName(QStringLiteral("aAssegna"));
    const auto date = [](const TVxDateEdit *edit) {
        return QList<QWidget *>{edit->edit(), edit->calendarButton(), edit->clearButton()};
    };
    orderTabs({m_cboTipoVoto}, QList<QWidget *>{m_dett->cboTipo()}
                                   << date(m_dett->deAssegna()) << m_dett->cboEsito()
                                   << date(m_dett->deVerifica()) << m_dett->buSave()
                                   << m_griglia->dbgRec());

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
    connect(m_deleteOne, &QAction::triggered, this, &TfmQelRec::tbDeleteClick);
    connect(m_deleteAll, &QAction::triggered, this, &TfmQelRec::tbDeleteAllClick);

    FormCreate();
}

void TfmQelRec::FormCreate()
{
    // The grid shows nothing until a class and a phase are there.
    const bool loaded = RunShowingErrors([this] {
        const bool opened =
            openClass(QStringLiteral("ATTENZIONE! Impossibile assegnare recuperi prima dell'anno "
                                     "scolastico 2007/2008."));
        m_griglia->SetClasse(m_classe);
        if (!opened) {
            disable();
            return;
        }
        m_filling = true;
        fillPhases();
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
    TfmQelMakeupClassWindow::disable();
    m_filling = true;
    m_cboTipoVoto->clear();
    m_filling = false;
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
    m_dett->SetNomi(m_griglia->NomeAlunno(m_griglia->SitId()),
                    m_griglia->NomeMateria(m_griglia->MatId()));
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
    // The question names the records it deletes, read as it is asked: each goes only where it
    // still holds what the question counted; one another office changed since is told.
    const int iClsId = m_classe.iClsId;
    const int row = m_ansFreDwgId;
    QList<MakeupRecord> records;
    if (!RunShowingErrors([&] { records = m_data.classPhaseRecords(iClsId, row); }))
        return;
    const QString fase = m_cboFasi->currentText();
    if (records.isEmpty()) {
        VxMessageDlg(QStringLiteral("Nessun recupero da cancellare per la classe %1 nella fase "
                                    "\"%2\".")
                         .arg(m_classe.sClsDesc, fase),
                     mtInformation, mbOK);
        return;
    }
    const QString quanti = CountText(int(records.size()), QStringLiteral("%1 recupero"),
                                     QStringLiteral("%1 recuperi"));
    if (VxMessageDlg(QStringLiteral("Cancellare tutti i recuperi per classe e fase selezionati?"
                                    "\r\r%1 della classe %2 nella fase \"%3\".")
                         .arg(quanti, m_classe.sClsDesc, fase),
                     mtConfirmation, mbYesNo, 0, mrNo) != mrYes)
        return;
    QList<TqevScrittura> scritture;
    for (const MakeupRecord &r : records) {
        TqevScrittura s;
        s.cella = QStringLiteral("Alunno: %1\rMateria: %2")
                      .arg(m_griglia->NomeAlunno(r.iSitId), m_griglia->NomeMateria(r.iMatId));
        s.id = MakeupRecords::recordId(r.iRecId);
        s.letta = MakeupRecords::asRead(r);
        s.cancella = true;
        s.esegui = [key = r.iRecId](TVxTransaction &tr) { MakeupRecords::remove(tr, key); };
        scritture.append(s);
    }
    TqevVerifica verifica;
    verifica.leggi = [this, iClsId, row](TVxTransaction &) {
        return m_data.classPhaseNow(iClsId, row, false);
    };
    verifica.diNuovo.cancella =
        QStringLiteral("La griglia mostra il recupero salvato: cancellando di nuovo tutti i "
                       "recuperi, viene cancellato.");
    verifica.diNuovo.resta = QString();
    verifica.restano = QString();
    SalvaScritture(scritture, verifica);
    RunShowingErrors([this] {
        m_griglia->CaricaGriglia();
        m_griglia->ImpostaColonne();
        m_griglia->PrimaRiga();
    });
}

QList<MakeupLegendRow> TfmQelRec::legendRows() const
{
    return m_data.typeLegend();
}
