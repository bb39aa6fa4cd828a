#include "gradeentry/qevrcrelista.h"

#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/messagedlg.h"

#include <QEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

bool scolastici(TqevListaCrediti lista)
{
    return lista == TqevListaCrediti::Scolastici;
}

// Ticks the program sets are no change of the office's: the list's handler lets them pass.
class Caricamento
{
public:
    explicit Caricamento(bool &flag) : m_flag(flag), m_prima(flag) { m_flag = true; }
    ~Caricamento() { m_flag = m_prima; }
    Caricamento(const Caricamento &) = delete;
    Caricamento &operator=(const Caricamento &) = delete;

private:
    bool &m_flag;
    bool m_prima;
};

} // namespace

QString TfrqevCreLista::cambiateAltrove(const QStringList &spuntate, const QStringList &tolte) const
{
    QString testo = QStringLiteral("Attenzione!\r\rLe voci di \"%1\" sono state cambiate da "
                                   "un'altra postazione dopo l'apertura della finestra: l'elenco "
                                   "mostra ora quelle salvate.")
                        .arg(toolTip());
    if (!spuntate.isEmpty())
        testo += QStringLiteral("\r\rSpuntate dall'altra postazione: ") +
                 spuntate.join(QStringLiteral(", "));
    if (!tolte.isEmpty())
        testo +=
            QStringLiteral("\r\rTolte dall'altra postazione: ") + tolte.join(QStringLiteral(", "));
    return testo + QStringLiteral("\r\rLe modifiche di questa postazione sono state salvate.");
}

TfrqevCreLista::TfrqevCreLista(TqevListaCrediti lista, QWidget *parent)
    : TfrVxBase(parent), clbLista(new QListWidget), m_lista(lista)
{
    const bool sco = scolastici(lista);
    setObjectName(sco ? QStringLiteral("frqevCreSco") : QStringLiteral("frqevCreFrm"));
    clbLista->setObjectName(sco ? QStringLiteral("clbCreSco") : QStringLiteral("clbCreFrm"));
    const QString titolo =
        sco ? QStringLiteral("Crediti scolastici") : QStringLiteral("Crediti formativi");
    setToolTip(titolo);
    SetCaption(titolo);
    RefreshFrameCaption();
    // The ticks are saved as they change: the tool bar's save and cancel have nothing to do.
    orFrame()->setVisible(false);
    FrameLayout()->addWidget(clbLista, 1);
    clbLista->installEventFilter(this);
    connect(clbLista, &QListWidget::itemChanged, this, [this](QListWidgetItem *) {
        if (m_caricamento)
            return;
        bModificata = true;
        RunShowingErrors([this] { SalvaLista(); });
        if (bModificata && OnNonSalvata)
            OnNonSalvata();
    });
    aggiornaAbilitazione();
}

QListWidgetItem *TfrqevCreLista::Voce(int id) const
{
    for (int i = 0; i < clbLista->count(); ++i) {
        if (clbLista->item(i)->data(Qt::UserRole).toInt() == id)
            return clbLista->item(i);
    }
    return nullptr;
}

bool TfrqevCreLista::Spuntata(int id) const
{
    const QListWidgetItem *item = Voce(id);
    return item && item->checkState() == Qt::Checked;
}

void TfrqevCreLista::SetCredito(int credito, int iAnsId)
{
    // The credit shown already is not read again: its unsaved ticks stay, and checking the
    // current cell before a save or a close reads nothing.
    if (credito == iCreId && m_letta)
        return;
    iCreId = credito;
    m_iAnsId = iAnsId;
    // The kinds are read once: the grid points the list at another credit at every move, and
    // the office's place in the list stays.
    if (m_letta)
        mostraSpunte();
    else
        CaricaLista();
}

void TfrqevCreLista::CaricaLista()
{
    const Caricamento caricamento(m_caricamento);
    LoadEnumValues(qqoVxGlobConn(), clbLista, TqevCreStore::SqlVoci(m_lista));
    for (int i = 0; i < clbLista->count(); ++i) {
        QListWidgetItem *item = clbLista->item(i);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    }
    mostraSpunte();
    m_letta = true;
}

void TfrqevCreLista::mostraSpunte()
{
    const Caricamento caricamento(m_caricamento);
    m_salvate = iCreId != 0 ? TqevCreStore::Spuntate(m_lista, iCreId) : QSet<int>();
    for (int i = 0; i < clbLista->count(); ++i) {
        QListWidgetItem *item = clbLista->item(i);
        const bool spuntata = m_salvate.contains(item->data(Qt::UserRole).toInt());
        item->setCheckState(spuntata ? Qt::Checked : Qt::Unchecked);
    }
    bModificata = false;
    aggiornaAbilitazione();
}

bool TfrqevCreLista::SalvaLista()
{
    if (iCreId == 0 || !bModificata)
        return true;
    QSet<int> spuntate;
    QSet<int> elencate;
    for (int i = 0; i < clbLista->count(); ++i) {
        const int id = clbLista->item(i)->data(Qt::UserRole).toInt();
        elencate.insert(id);
        if (clbLista->item(i)->checkState() == Qt::Checked)
            spuntate.insert(id);
    }
    const QSet<int> aggiunte = spuntate - m_salvate;
    // A mark of a kind no longer shown is not the office's to remove: it has no box.
    const QSet<int> tolte = (m_salvate & elencate) - spuntate;
    if (aggiunte.isEmpty() && tolte.isEmpty()) {
        bModificata = false;
        return true;
    }
    QDate inizio;
    QDate fine;
    if (!aggiunte.isEmpty()) {
        inizio =
            dmqevDataSets->GetAnnoScolField(m_iAnsId, QStringLiteral("dAnsVextoInizio")).toDate();
        fine = dmqevDataSets->GetAnnoScolField(m_iAnsId, QStringLiteral("dAnsVextoFine")).toDate();
    }
    const int credito = iCreId;
    const TqevListaCrediti lista = m_lista;
    auto salvate = std::make_shared<QSet<int>>();
    TqevScrittura s;
    s.cella = toolTip();
    s.esegui = [=](TVxTransaction &tr) {
        *salvate = TqevCreStore::SalvaSpunte(tr, lista, credito, aggiunte, tolte, inizio, fine);
    };
    if (!SalvaScritture({s}))
        return false;
    // The kinds another office ticked or cleared since the list read them, which this office
    // left alone: the list shows them as now stored, and says so.
    QStringList spuntateAltrove;
    QStringList tolteAltrove;
    {
        const Caricamento caricamento(m_caricamento);
        for (int i = 0; i < clbLista->count(); ++i) {
            QListWidgetItem *item = clbLista->item(i);
            const int id = item->data(Qt::UserRole).toInt();
            const bool ora = salvate->contains(id);
            if (aggiunte.contains(id) || tolte.contains(id) || ora == m_salvate.contains(id))
                continue;
            item->setCheckState(ora ? Qt::Checked : Qt::Unchecked);
            (ora ? spuntateAltrove : tolteAltrove) << item->text();
        }
    }
    m_salvate = (*salvate - tolte) | aggiunte;
    bModificata = false;
    if (!spuntateAltrove.isEmpty() || !tolteAltrove.isEmpty())
        VxMessageDlg(cambiateAltrove(spuntateAltrove, tolteAltrove), mtWarning, mbOK);
    return true;
}

void TfrqevCreLista::SetReadOnly(bool value)
{
    m_readOnly = value;
    aggiornaAbilitazione();
}

void TfrqevCreLista::aggiornaAbilitazione()
{
    clbLista->setEnabled(!m_readOnly && iCreId != 0);
}

void TfrqevCreLista::inverti(QListWidgetItem *item)
{
    if (item)
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

bool TfrqevCreLista::eventFilter(QObject *watched, QEvent *event)
{
    // Enter ticks as Space and the mouse do (the list itself takes those): once per press.
    if (watched == clbLista && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            inverti(clbLista->currentItem());
            return true;
        }
    }
    return TfrVxBase::eventFilter(watched, event);
}
