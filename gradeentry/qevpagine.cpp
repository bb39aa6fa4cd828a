#include "gradeentry/qevpagine.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevfcarsave.h"
#include "gradeentry/qevframes.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarvot.h"
#include "platform/connection.h"
#include "platform/keys.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The order the pages are saved in.
const int kOrdineSalva[] = {tdVoti, tdProposti, tdTassonomie, tdAssenze, tdAiuti,
                            tdNote, tdDebiti,   tdEsito,      tdCrediti, tdGiudizio};

// The typed pages, whose current cell must be valid before the page changes or the window's
// data goes, with their names in "Impossibile chiudere il caricamento %1.".
const struct
{
    int TipoDati;
    const char *nome;
} kDigitate[] = {{tdVoti, "dei voti"},
                 {tdProposti, "dei voti proposti"},
                 {tdTassonomie, "delle tassonomie"},
                 {tdAssenze, "delle assenze"},
                 {tdAiuti, "degli aiuti"},
                 {tdCrediti, "dei crediti"}};

// The class session's enable flag of a data kind.
bool abilitato(int tipoDati)
{
    static const int flags[] = {abVot, abVtp, abTas, abAss, abAiu,
                                abNot, abCre, abDeb, abGdz, abEsi};
    if (!dmqevDataSets || tipoDati < 0 || tipoDati >= int(std::size(flags)))
        return false;
    // Credits are chosen by band: a class session without a band table has none to enter.
    if (tipoDati == tdCrediti && dmqevDataSets->iTbnId == 0)
        return false;
    return dmqevDataSets->iAbilita[size_t(flags[tipoDati])] != 0;
}

int posizioneSalva(int tipoDati)
{
    const auto *it = std::find(std::begin(kOrdineSalva), std::end(kOrdineSalva), tipoDati);
    return int(it - std::begin(kOrdineSalva));
}

} // namespace

TqevPagine::TqevPagine(QWidget *window, std::span<const TqevDefPagina> pagine, int tipoIniziale)
    : QObject(window), m_window(window), m_pcMain(new QTabWidget(window))
{
    m_pcMain->setObjectName(QStringLiteral("pcMain"));
    for (const TqevDefPagina &def : pagine) {
        auto *tab = new QWidget;
        tab->setObjectName(QString::fromLatin1(def.tab));
        auto *layout = new QVBoxLayout(tab);
        layout->setContentsMargins(2, 2, 2, 2);
        const int index = m_pcMain->addTab(tab, QString::fromUtf8(def.caption));
        for (const TqevDefFrame &f : def.frames) {
            TfrqevCarBs *frame = f.name ? CreaFrameGrado(f.TipoDati) : nullptr;
            if (!frame)
                continue;
            frame->setObjectName(QString::fromLatin1(f.name));
            layout->addWidget(frame, 1);
            m_ospiti.append({frame, f.TipoDati, index});
            connect(frame, &TfrqevCarBs::salvata, this,
                    [this, tipo = f.TipoDati] { rileggiSeguenti(tipo); });
        }
        m_pcMain->setTabVisible(index, false);
    }
    std::stable_sort(m_ospiti.begin(), m_ospiti.end(), [](const Ospite &a, const Ospite &b) {
        return posizioneSalva(a.TipoDati) < posizioneSalva(b.TipoDati);
    });
    // The page keys, forward and back, wherever the keyboard is in the window.
    for (const auto &[tasti, avanti] :
         {std::pair{QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Tab),
                                        QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
                    true},
          std::pair{QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                        QKeySequence(Qt::CTRL | Qt::Key_Backtab),
                                        QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
                    false}}) {
        auto *pagina = new QAction(
            avanti ? QStringLiteral("Pagina seguente") : QStringLiteral("Pagina precedente"), this);
        pagina->setObjectName(avanti ? QStringLiteral("aPaginaSeguente")
                                     : QStringLiteral("aPaginaPrecedente"));
        VxSetShortcuts(window, pagina, tasti);
        connect(pagina, &QAction::triggered, this,
                [this, avanti = avanti] { PaginaSeguente(avanti); });
    }
    const Ospite *iniziale = ospiteDi(tipoIniziale);
    m_pcMain->setCurrentIndex(iniziale ? iniziale->pagina : 0);
    m_paginaCorrente = m_pcMain->currentIndex();
    connect(m_pcMain, &QTabWidget::currentChanged, this, &TqevPagine::paginaCambiata);
}

const TqevPagine::Ospite *TqevPagine::ospiteDi(int tipoDati) const
{
    for (const Ospite &o : m_ospiti) {
        if (o.TipoDati == tipoDati)
            return &o;
    }
    return nullptr;
}

TfrqevCarBs *TqevPagine::Frame(int TipoDati) const
{
    const Ospite *o = ospiteDi(TipoDati);
    return o ? o->frame : nullptr;
}

QWidget *TqevPagine::Pagina(int TipoDati) const
{
    const Ospite *o = ospiteDi(TipoDati);
    return o ? m_pcMain->widget(o->pagina) : nullptr;
}

bool TqevPagine::Visibile(int TipoDati) const
{
    const Ospite *o = ospiteDi(TipoDati);
    return o && m_mostrati.contains(TipoDati) && m_pcMain->isTabVisible(o->pagina);
}

TfrqevCarBs *TqevPagine::FrameAttivo() const
{
    const int index = m_pcMain->currentIndex();
    TfrqevCarBs *first = nullptr;
    for (const Ospite &o : m_ospiti) {
        if (o.pagina != index)
            continue;
        if (m_mostrati.contains(o.TipoDati))
            return o.frame;
        first = first ? first : o.frame;
    }
    return first;
}

QString TqevPagine::PaginaAttiva() const
{
    return m_pcMain->tabText(m_pcMain->currentIndex());
}

bool TqevPagine::MostraPagina(const QString &caption)
{
    for (int i = 0; i < m_pcMain->count(); ++i) {
        if (m_pcMain->tabText(i) == caption && m_pcMain->isTabVisible(i)) {
            m_pcMain->setCurrentIndex(i);
            return m_pcMain->currentIndex() == i;
        }
    }
    return false;
}

void TqevPagine::Carica(int TipoCar, std::span<const int> tipi, const std::function<void()> &passo)
{
    // Pages appear and vanish meanwhile: no change is checked, however the load ends.
    struct SenzaControllo
    {
        bool &flag;
        ~SenzaControllo() { flag = false; }
    } guard{m_senzaControllo};
    m_senzaControllo = true;

    // Showing and hiding tabs moves the tab bar's current tab: the page active before the load
    // stays active when it shows (the subject window opens on the proposed votes).
    const int attiva = m_pcMain->currentIndex();
    m_mostrati.clear();
    // The pages read in one transaction: over a network each transaction of their own would
    // cost its start and its end.
    TVxTransactionScope lettura(qqoVxGlobConn());
    for (int tipo : tipi) {
        const Ospite *o = ospiteDi(tipo);
        const bool mostra = o && abilitato(tipo);
        if (o)
            o->frame->setVisible(mostra);
        if (mostra) {
            o->frame->TipoCar = TipoCar;
            o->frame->InitTipoDati(tipo);
            m_mostrati.insert(tipo);
        }
        if (passo)
            passo();
    }
    lettura.Commit();
    for (int i = 0; i < m_pcMain->count(); ++i) {
        const bool mostra = std::any_of(m_ospiti.begin(), m_ospiti.end(), [&](const Ospite &o) {
            return o.pagina == i && m_mostrati.contains(o.TipoDati);
        });
        m_pcMain->setTabVisible(i, mostra);
    }
    if (attiva >= 0 && m_pcMain->isTabVisible(attiva)) {
        m_pcMain->setCurrentIndex(attiva);
    } else {
        for (int i = 0; i < m_pcMain->count(); ++i) {
            if (m_pcMain->isTabVisible(i)) {
                m_pcMain->setCurrentIndex(i);
                break;
            }
        }
    }
    m_paginaCorrente = m_pcMain->currentIndex();
}

QList<TfrqevCarBs *> TqevPagine::FrameVisibili() const
{
    QList<TfrqevCarBs *> frames;
    for (const Ospite &o : m_ospiti) {
        if (Visibile(o.TipoDati))
            frames << o.frame;
    }
    return frames;
}

bool TqevPagine::ValidaPagine(const QString &messaggio)
{
    for (const auto &d : kDigitate) {
        if (!Visibile(d.TipoDati))
            continue;
        const QString testo = messaggio.contains(QStringLiteral("%1"))
                                  ? messaggio.arg(QString::fromLatin1(d.nome))
                                  : messaggio;
        if (!Frame(d.TipoDati)->ValidaCella(testo))
            return false;
    }
    return true;
}

bool TqevPagine::Modificato() const
{
    return std::any_of(m_ospiti.begin(), m_ospiti.end(),
                       [](const Ospite &o) { return o.frame->grGrid->Modificato(); });
}

bool TqevPagine::ChiediSalvataggio()
{
    if (!ValidaPagine(QStringLiteral("Impossibile chiudere il caricamento %1.")))
        return false;
    if (!Modificato())
        return true;

    TfmqevCarSave dialog(m_window);
    for (int tipoDati : kOrdineSalva) {
        TfrqevCarBs *frame = Frame(tipoDati);
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
    // The window's data goes after these saves: no page reads again meanwhile.
    const QScopedValueRollback<bool> uscita(m_inUscita, true);
    for (int tipoDati : kOrdineSalva) {
        QCheckBox *box = dialog.Casella(tipoDati);
        if (box->isChecked() && box->isEnabled() && !Frame(tipoDati)->Salva())
            return false; // the failure was shown; every edit stays in the window
    }
    return true;
}

void TqevPagine::rileggiSeguenti(int tipoDati)
{
    if (m_inUscita)
        return;
    // A page keeps what the office typed and has not saved: it reads again only when clean.
    for (const Ospite &o : std::as_const(m_ospiti)) {
        if (o.TipoDati != tipoDati && Visibile(o.TipoDati) && o.frame->Segue(tipoDati) &&
            !o.frame->grGrid->Modificato())
            RunShowingErrors([frame = o.frame] { frame->Rileggi(); });
    }
}

void TqevPagine::SetReadOnly(bool value)
{
    for (const Ospite &o : m_ospiti)
        o.frame->SetReadOnly(value);
}

void TqevPagine::PassaVotiProposti(int Modo, const QString &domanda)
{
    auto *vot = qobject_cast<TfrqevCarVot *>(Frame(tdVoti));
    auto *vtp = qobject_cast<TfrqevCarVot *>(Frame(tdProposti));
    if (!vot || !vtp)
        return;
    // The votes page reloads afterwards: what is typed on either page is saved first or kept.
    const struct
    {
        TfrqevCarVot *frame;
        const char *messaggio;
    } pagine[] = {{vtp, "Impossibile eseguire il passaggio dei dati!\r\rI voti proposti non sono "
                        "stati salvati."},
                  {vot, "Impossibile eseguire il passaggio dei dati!\r\rI voti non sono stati "
                        "salvati."}};
    for (const auto &p : pagine) {
        if (p.frame->grGrid->Modificato())
            p.frame->aSaveExecute();
        if (p.frame->grGrid->Modificato()) {
            VxMessageDlg(QString::fromUtf8(p.messaggio), mtInformation, mbOK);
            return;
        }
    }
    if (VxMessageDlg(domanda, mtWarning, mbYesNo, 0, mrNo) != mrYes)
        return;
    // The transfer replaces each vote by a new row: the votes page's keys are stale afterwards,
    // also when it stops half-way, so the page reads the votes again whatever the outcome.
    auto ricarica = [vot] {
        vot->Carica();
        TqelStringGrid *grid = vot->grGrid;
        if (grid->ColCount() > grid->nColIntest() && grid->RowCount() > grid->nRowIntest())
            grid->MoveCursor(grid->nColIntest(), grid->nRowIntest());
        vot->AggiornaMedia(grid->nRowIntest());
        grid->Invalidate();
    };
    try {
        dmqevDataSets->PassaVotiProposti(Modo);
    } catch (const EVxException &) {
        try {
            ricarica();
        } catch (const EVxException &) {
            // The transfer's failure is the one told; a key left stale is told at the save.
        }
        throw;
    }
    ricarica();
}

void TqevPagine::PaginaSeguente(bool avanti)
{
    const int count = m_pcMain->count();
    for (int step = 1; step < count; ++step) {
        const int index = (m_pcMain->currentIndex() + (avanti ? step : count - step)) % count;
        if (!m_pcMain->isTabVisible(index))
            continue;
        m_pcMain->setCurrentIndex(index);
        if (m_pcMain->currentIndex() != index)
            return; // a refused cell keeps the page
        // The grid, or the editor a page shows in its place (a pupil's judgment): never a
        // button of the frame's tool bar, where what is typed would go nowhere.
        TfrqevCarBs *frame = FrameAttivo();
        if (frame && frame->grGrid->isVisible() && frame->grGrid->isEnabled()) {
            frame->grGrid->setFocus(Qt::ShortcutFocusReason);
            return;
        }
        QWidget *page = m_pcMain->currentWidget();
        for (QWidget *w : page->findChildren<QWidget *>()) {
            if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
                w->setFocus(Qt::ShortcutFocusReason);
                break;
            }
        }
        return;
    }
}

void TqevPagine::paginaCambiata(int index)
{
    if (m_senzaControllo)
        return;
    auto resta = [this] {
        m_senzaControllo = true;
        m_pcMain->setCurrentIndex(m_paginaCorrente);
        m_senzaControllo = false;
    };
    if (!ValidaPagine(QStringLiteral("Impossibile cambiare pagina."))) {
        resta();
        return;
    }
    // The class's judgments are saved without asking when their page is left (a save that
    // fails keeps the page, every text as typed), and read again when it is entered: a pupil
    // window may have written them meanwhile.
    const Ospite *giudizi = ospiteDi(tdGiudizio);
    const bool giudiziClasse =
        giudizi && Visibile(tdGiudizio) && giudizi->frame->TipoCar == tcClasse;
    if (giudiziClasse && giudizi->pagina == m_paginaCorrente &&
        giudizi->frame->grGrid->Modificato() && !giudizi->frame->Salva()) {
        resta();
        return;
    }
    m_paginaCorrente = index;
    if (giudiziClasse && giudizi->pagina == index && !giudizi->frame->grGrid->Modificato())
        RunShowingErrors([frame = giudizi->frame] { frame->Carica(); });
    if (TfrqevCarBs *frame = FrameAttivo())
        frame->FrameEnter();
}

void DisegnaContrasto(QPainter &painter, const TqelStringGrid &voti, const TqelStringGrid *proposti,
                      int col, int row, const QRect &rect)
{
    if (!proposti || row < voti.nRowIntest() || col < voti.nColIntest())
        return;
    // Only a vote and a proposal can differ: an empty cell has nothing to compare.
    auto voto = voti.RecordAt<TRecVal>(col, row);
    auto proposto = proposti->RecordAt<TRecVal>(col, row);
    if (!voto || !proposto || voto->sValSDesc.isEmpty() || proposto->sValSDesc.isEmpty() ||
        voto->iValDato == proposto->iValDato)
        return;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QColor(0, 128, 0));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}
