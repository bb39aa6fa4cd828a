#include "gradeentry/qevfcarcls.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevfcarsave.h"
#include "gradeentry/qevframes.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarvot.h"
#include "gradeentry/qevresmecr.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QPainter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

struct DefPagina
{
    const char *tab;
    const char *caption;
    const char *frame;
    int TipoDati;
    int abilita;
};

// The pages in tab order. "Debiti" and "Competenze" are never shown.
const DefPagina kPagine[] = {
    {"tsVot", "Voti", "frqevCarClsVot", tdVoti, abVot},
    {"tsVtp", "Voti proposti", "frqevCarClsVtp", tdProposti, abVtp},
    {"tsTas", "Tassonomie", "frqevCarClsTas", tdTassonomie, abTas},
    {"tsAss", "Assenze", "frqevCarClsAss", tdAssenze, abAss},
    {"tsAiu", "Aiuti", "frqevCarClsAiu", tdAiuti, abAiu},
    {"tsNot", "Note", "frqevCarClsNot", tdNote, abNot},
    {"tsDeb", "Debiti", "frqevCarClsDeb", tdDebiti, abDeb},
    {"tsFin", "Esito finale", "frqevCarClsFin", tdEsito, abEsi},
    {"tsCre", "Crediti", "frqevCarClsCre", tdCrediti, abCre},
    {"tsGdz", "Giudizio", "frqevCarClsGdz", tdGiudizio, abGdz},
    {"tsCompetenze", "Competenze", nullptr, -1, abComp},
};

// The order the pages are loaded in, and the order they are saved in. (The credits page also
// needs a credit-band table on the class session.)
const int kCaricamento[] = {tdVoti, tdProposti, tdTassonomie, tdAssenze, tdAiuti,
                            tdNote, tdCrediti,  tdGiudizio,   tdEsito};
const int kOrdineSalva[] = {tdVoti, tdProposti, tdTassonomie, tdAssenze, tdAiuti,
                            tdNote, tdDebiti,   tdEsito,      tdCrediti, tdGiudizio};
// The typed pages whose current cell must be valid before the page changes or the window
// closes, with their names in "Impossibile chiudere il caricamento %1.".
const int kValidate[] = {tdVoti, tdProposti, tdTassonomie, tdAssenze, tdAiuti, tdCrediti};
const char *const kNomiChiusura[] = {"dei voti",      "dei voti proposti", "delle tassonomie",
                                     "delle assenze", "degli aiuti",       "dei crediti"};

const char *testoCaricamento(int tipoDati)
{
    switch (tipoDati) {
    case tdVoti:
        return "Caricamento dei voti";
    case tdProposti:
        return "Caricamento dei voti proposti";
    case tdTassonomie:
        return "Caricamento delle tassonomie";
    case tdAssenze:
        return "Caricamento delle assenze";
    case tdAiuti:
        return "Caricamento degli aiuti";
    case tdNote:
        return "Caricamento delle note";
    case tdDebiti:
        return "Caricamento dei debiti";
    case tdCrediti:
        return "Caricamento dei crediti";
    case tdGiudizio:
        return "Caricamento dei giudizi";
    default:
        return "Caricamento degli esiti";
    }
}

bool abilitato(int abilita)
{
    return dmqevDataSets && dmqevDataSets->iAbilita[size_t(abilita)] != 0;
}

// While the pages load the window is disabled and page changes are not checked (pages appear
// and vanish); both come back however the load ends.
class Caricamento
{
public:
    Caricamento(QWidget *w, bool &senzaControllo) : m_w(w), m_senzaControllo(senzaControllo)
    {
        m_w->setEnabled(false);
        m_senzaControllo = true;
    }
    ~Caricamento()
    {
        m_senzaControllo = false;
        m_w->setEnabled(true);
    }
    Caricamento(const Caricamento &) = delete;
    Caricamento &operator=(const Caricamento &) = delete;

private:
    QWidget *m_w;
    bool &m_senzaControllo;
};

} // namespace

TfmqevCarCls *fmqevCarCls()
{
    return qobject_cast<TfmqevCarCls *>(
        TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarCls)));
}

TfmqevCarCls::TfmqevCarCls(QWidget *parent) : TfmVxChildBase(parent), m_pcMain(new QTabWidget)
{
    setObjectName(QStringLiteral("fmqevCarCls"));
    setWindowTitle(QStringLiteral("Caricamento per classe"));
    m_pcMain->setObjectName(QStringLiteral("pcMain"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pcMain);
    for (const DefPagina &def : kPagine) {
        Scheda scheda;
        scheda.TipoDati = def.TipoDati;
        scheda.abilita = def.abilita;
        scheda.tab = new QWidget;
        scheda.tab->setObjectName(QString::fromLatin1(def.tab));
        auto *page = new QVBoxLayout(scheda.tab);
        page->setContentsMargins(2, 2, 2, 2);
        if (def.frame && (scheda.frame = CreaFrameGrado(def.TipoDati))) {
            scheda.frame->setObjectName(QString::fromLatin1(def.frame));
            page->addWidget(scheda.frame);
        }
        const int index = m_pcMain->addTab(scheda.tab, QString::fromUtf8(def.caption));
        m_pcMain->setTabVisible(index, false);
        m_schede.append(scheda);
    }
    m_pcMain->setCurrentIndex(0);

    TfrqevCarVot *vot = frqevCarClsVot();
    TfrqevCarVot *vtp = frqevCarClsVtp();
    vot->grGrid->OnDrawCell = [this](QPainter &painter, int col, int row, const QRect &rect,
                                     TGridDrawState) { disegnaVoti(painter, col, row, rect); };
    vtp->grGrid->OnDrawCell = [vtp](QPainter &, int, int, const QRect &, TGridDrawState) {
        vtp->frqevEsMeCr1->RidimensionaGriglia();
    };
    connect(vot->aPass, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { aPassExecute(); }); });
    connect(m_pcMain, &QTabWidget::currentChanged, this, &TfmqevCarCls::pcMainChanged);
}

TfmqevCarCls::~TfmqevCarCls() = default;

const TfmqevCarCls::Scheda *TfmqevCarCls::schedaDi(int tipoDati) const
{
    for (const Scheda &s : m_schede) {
        if (s.TipoDati == tipoDati)
            return &s;
    }
    return nullptr;
}

QWidget *TfmqevCarCls::Pagina(int TipoDati) const
{
    const Scheda *s = schedaDi(TipoDati);
    return s ? s->tab : nullptr;
}

bool TfmqevCarCls::PaginaVisibile(int TipoDati) const
{
    const Scheda *s = schedaDi(TipoDati);
    return s && m_pcMain->isTabVisible(m_pcMain->indexOf(s->tab));
}

TfrqevCarBs *TfmqevCarCls::FrameDi(int TipoDati) const
{
    const Scheda *s = schedaDi(TipoDati);
    return s ? s->frame : nullptr;
}

TfrqevCarVot *TfmqevCarCls::frqevCarClsVot() const
{
    return static_cast<TfrqevCarVot *>(FrameDi(tdVoti));
}

TfrqevCarVot *TfmqevCarCls::frqevCarClsVtp() const
{
    return static_cast<TfrqevCarVot *>(FrameDi(tdProposti));
}

TfrqevCarBs *TfmqevCarCls::FrameAttivo() const
{
    const int index = m_pcMain->currentIndex();
    return index >= 0 && index < m_schede.size() ? m_schede.at(index).frame : nullptr;
}

void TfmqevCarCls::SetRigaSng(int row, int tipoDati)
{
    RigaSng = row;
    TipoDatiSng = tipoDati;
}

QString TfmqevCarCls::PaginaAttiva() const
{
    return m_pcMain->tabText(m_pcMain->currentIndex());
}

bool TfmqevCarCls::MostraPagina(const QString &caption)
{
    for (int i = 0; i < m_pcMain->count(); ++i) {
        if (m_pcMain->tabText(i) == caption && m_pcMain->isTabVisible(i)) {
            m_pcMain->setCurrentIndex(i);
            return m_pcMain->currentIndex() == i;
        }
    }
    return false;
}

void TfmqevCarCls::mostra(int tipoDati, bool visible)
{
    if (const Scheda *s = schedaDi(tipoDati))
        m_pcMain->setTabVisible(m_pcMain->indexOf(s->tab), visible);
}

void TfmqevCarCls::CaricaFrames()
{
    TfmVxWait wait(this);
    wait.SetTitle(QStringLiteral("Caricamento dei dati dello scrutinio"));
    wait.SetOperation(QStringLiteral("L'operazione potrebbe richiedere qualche minuto.."));
    wait.InitProgressBar(0, int(std::size(kCaricamento)) + 2 + 10);
    wait.ShowWait();
    {
        Caricamento caricamento(this, m_senzaControllo);
        caricaPagine(wait);
    }
    CaricaDati();
}

void TfmqevCarCls::caricaPagine(TfmVxWait &wait)
{
    for (int tipoDati : kCaricamento) {
        const Scheda *s = schedaDi(tipoDati);
        const bool shown = s && s->frame && abilitato(s->abilita);
        mostra(tipoDati, shown);
        if (shown) {
            s->frame->TipoCar = tcClasse;
            s->frame->InitTipoDati(tipoDati);
        }
        wait.StepProgressBar();
    }
    mostra(tdDebiti, false);
    mostra(-1, false);
    wait.StepProgressBar(2);
    for (int i = 0; i < m_pcMain->count(); ++i) {
        if (m_pcMain->isTabVisible(i)) {
            m_pcMain->setCurrentIndex(i);
            break;
        }
    }
    m_paginaCorrente = m_pcMain->currentIndex();
}

void TfmqevCarCls::CaricaDati()
{
    if (dmqevDataSets)
        setWindowTitle(dmqevDataSets->sDesClsSes);
    for (int tipoDati : kOrdineSalva) {
        if (!PaginaVisibile(tipoDati))
            continue;
        if (fmVxWait) {
            fmVxWait->SetOperation(QString::fromUtf8(testoCaricamento(tipoDati)));
            fmVxWait->StepProgressBar();
        }
        FrameDi(tipoDati)->ApplicaParVis();
    }
    TfrqevCarVot *vot = frqevCarClsVot();
    if (dmqevParVis)
        EvContrasto = dmqevParVis->Griglia(tdVoti, vot->grGrid->TipoCar()).xpbContr.GetValore();
    vot->grGrid->Invalidate();
    update();
}

void TfmqevCarCls::SetEvContrasto(bool evContrasto, bool)
{
    EvContrasto = evContrasto;
    frqevCarClsVot()->grGrid->Invalidate();
}

bool TfmqevCarCls::validaPagine(const QString &formato, const QStringList &nomi)
{
    for (size_t i = 0; i < std::size(kValidate); ++i) {
        if (!PaginaVisibile(kValidate[i]))
            continue;
        const QString messaggio = nomi.isEmpty() ? formato : formato.arg(nomi.at(int(i)));
        if (!FrameDi(kValidate[i])->ValidaCella(messaggio))
            return false;
    }
    return true;
}

void TfmqevCarCls::pcMainChanged(int index)
{
    if (m_senzaControllo)
        return;
    auto resta = [this] {
        m_senzaControllo = true;
        m_pcMain->setCurrentIndex(m_paginaCorrente);
        m_senzaControllo = false;
    };
    if (!validaPagine(QStringLiteral("Impossibile cambiare pagina."), {})) {
        resta();
        return;
    }
    // The judgments are saved without asking when the page is left; a save that fails keeps
    // the page, with every text as typed.
    const Scheda lasciata = m_schede.value(m_paginaCorrente);
    if (lasciata.TipoDati == tdGiudizio && lasciata.frame->grGrid->Modificato() &&
        !lasciata.frame->Salva()) {
        resta();
        return;
    }
    m_paginaCorrente = index;
    TfrqevCarBs *frame = FrameAttivo();
    // ...and read again when it is entered: a pupil window may have written them meanwhile.
    if (frame && frame->TipoDati == tdGiudizio && !frame->grGrid->Modificato())
        RunShowingErrors([frame] { frame->Carica(); });
    if (frame)
        frame->FrameEnter();
}

bool TfmqevCarCls::ChiediSalvataggio()
{
    QStringList nomi;
    for (const char *nome : kNomiChiusura)
        nomi << QString::fromLatin1(nome);
    if (!validaPagine(QStringLiteral("Impossibile chiudere il caricamento %1."), nomi))
        return false;
    bool modificato = false;
    for (const Scheda &s : m_schede)
        modificato = modificato || (s.frame && s.frame->grGrid->Modificato());
    if (!modificato)
        return true;

    TfmqevCarSave dialog(this);
    for (int tipoDati : kOrdineSalva) {
        TfrqevCarBs *frame = FrameDi(tipoDati);
        QCheckBox *box = dialog.Casella(tipoDati);
        box->setChecked(frame && frame->grGrid->Modificato());
        box->setEnabled(box->isChecked());
    }
    VxExecModal(&dialog);
    switch (dialog.Esito()) {
    case TfmqevCarSave::esNonChiudere:
        return false;
    case TfmqevCarSave::esNonSalvare:
        return true;
    case TfmqevCarSave::esSalva:
        break;
    }
    for (int tipoDati : kOrdineSalva) {
        QCheckBox *box = dialog.Casella(tipoDati);
        if (box->isChecked() && box->isEnabled() && !FrameDi(tipoDati)->Salva())
            return false; // the failure was shown; every edit stays in the window
    }
    return true;
}

void TfmqevCarCls::FormClose(TCloseAction &action)
{
    if (!ChiediSalvataggio()) {
        action = caNone;
        return;
    }
    TfmVxChildBase::FormClose(action);
    if (QWidget *pupil = TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarSng)))
        pupil->close();
    if (dmqevActivations && dmqevActivations->SelItemAperto())
        dmqevActivations->fmqevSelItem->close();
}

void TfmqevCarCls::aPassExecute()
{
    TfrqevCarVot *vot = frqevCarClsVot();
    TfrqevCarVot *vtp = frqevCarClsVtp();
    if (vtp->grGrid->Modificato())
        vtp->aSaveExecute();
    if (vtp->grGrid->Modificato()) {
        VxMessageDlg(
            QStringLiteral("Impossibile eseguire il passaggio dei dati!\r\rI voti proposti "
                           "non sono stati salvati."),
            mtInformation, mbOK);
        return;
    }
    // The votes page reloads afterwards: what is typed there is saved first or kept.
    if (vot->grGrid->Modificato())
        vot->aSaveExecute();
    if (vot->grGrid->Modificato()) {
        VxMessageDlg(
            QStringLiteral("Impossibile eseguire il passaggio dei dati!\r\rI voti non sono "
                           "stati salvati."),
            mtInformation, mbOK);
        return;
    }
    if (VxMessageDlg(QStringLiteral("ATTENZIONE!\r\rI voti già presenti saranno sostituiti\r\r"
                                    "Continuare?"),
                     mtWarning, mbYesNo) != mrYes)
        return;
    dmqevDataSets->PassaVotiProposti(0);
    vot->Carica();
    TqelStringGrid *grid = vot->grGrid;
    if (grid->ColCount() > grid->nColIntest() && grid->RowCount() > grid->nRowIntest())
        grid->MoveCursor(grid->nColIntest(), grid->nRowIntest());
    vot->AggiornaMedia(grid->nRowIntest());
    grid->Invalidate();
}

void TfmqevCarCls::disegnaVoti(QPainter &painter, int col, int row, const QRect &rect)
{
    TfrqevCarVot *vot = frqevCarClsVot();
    TqelStringGrid *grid = vot->grGrid;
    if (row < grid->nRowIntest() || col < grid->nColIntest())
        return;
    auto voto = grid->RecordAt<TRecVal>(col, row);
    if (EvContrasto) {
        // Only a vote and a proposal can differ: an empty cell has nothing to compare.
        auto proposto = frqevCarClsVtp()->grGrid->RecordAt<TRecVal>(col, row);
        if (voto && proposto && !voto->sValSDesc.isEmpty() && !proposto->sValSDesc.isEmpty() &&
            voto->iValDato != proposto->iValDato) {
            painter.save();
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QColor(0, 128, 0));
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
            painter.restore();
        }
    }
    vot->frqevEsMeCr1->RidimensionaGriglia();
    // A subject with an aid for the pupil: the aids grid has one header row, the votes two.
    if (!PaginaVisibile(tdAiuti) || !voto)
        return;
    TqelStringGrid *aiuti = FrameDi(tdAiuti)->grGrid;
    auto materia = grid->RecordAt<TRecMat>(col, 0);
    if (!materia || row - 1 >= aiuti->RowCount())
        return;
    for (int i = 1; i < aiuti->ColCount(); ++i) {
        auto m = aiuti->RecordAt<TRecMat>(i, 0);
        if (m && m->iClsSesMatId == materia->iClsSesMatId &&
            !aiuti->Cells(i, row - 1).trimmed().isEmpty()) {
            painter.fillRect(rect, QColor(0, 255, 0));
            painter.setPen(grid->FontColor());
            painter.drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                             voto->sValSDesc);
            return;
        }
    }
}
