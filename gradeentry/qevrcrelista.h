#pragma once

// TfrqevCreLista: one of the two check lists beside the credits grid, "Crediti scolastici"
// (frqevCreSco, list clbCreSco, marks in TCRESCO) and "Crediti formativi" (frqevCreFrm,
// clbCreFrm, TCREFRM). It shows the visible kinds of its table, each ticked when the credit
// the grid points it at has a mark of that kind.
//
//   lista->SetCredito(rec->iCreId, rec->iAnsId);  // the credit of the grid's current cell
//   if (lista->bModificata) ... lista->SalvaLista() // before the grid moves to another one
//
// A tick changed by the mouse, by Space or by Enter is saved at once (one change per press),
// the changed marks only, in one transaction; new marks take the first and last day of the
// credit's own school year. The save reads the marks stored now: kinds another office ticked or
// cleared since the list read them show as stored, and the office is told which. A tick that could
// not be saved stays, the list marked modified (and OnNonSalvata told), and pointing the list at
// the same credit again keeps it: only the credits frame's question (save, drop, stay) or its save
// lets it go. Without a stored credit (key 0) the list shows no tick and takes none.

#include "gradeentry/qevcrestore.h"
#include "platform/frames.h"

#include <QSet>

#include <functional>

class QListWidget;
class QListWidgetItem;

class TfrqevCreLista : public TfrVxBase
{
    Q_OBJECT
public:
    TfrqevCreLista(TqevListaCrediti lista, QWidget *parent = nullptr);

    QListWidget *const clbLista; // clbCreSco or clbCreFrm

    int iCreId = 0;           // the credit shown; 0 = none
    bool bModificata = false; // ticks not yet saved
    // Told when a changed tick could not be saved: the credits frame holds it as unsaved work.
    std::function<void()> OnNonSalvata;

    // Points the list at a credit (and its school year) and shows its marks; the kinds are
    // read the first time only. The credit already shown is not read again: ticks not yet
    // saved stay.
    void SetCredito(int iCreId, int iAnsId);
    // Reads the kinds and the credit's marks again; unsaved ticks are dropped.
    void CaricaLista();
    // Saves the ticks changed since the marks were read. False after telling why: the ticks
    // stay, the list modified.
    bool SalvaLista();
    // While the frame is read-only, or has no credit, no tick changes.
    void SetReadOnly(bool value);
    // Whether the kind's item is ticked.
    bool Spuntata(int id) const;
    // The kind's item, or none.
    QListWidgetItem *Voce(int id) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What the office reads when a save met kinds another office ticked or cleared meanwhile.
    QString cambiateAltrove(const QStringList &spuntate, const QStringList &tolte) const;
    void aggiornaAbilitazione();
    // The marks of the credit shown, read and ticked; unsaved ticks are dropped.
    void mostraSpunte();
    void inverti(QListWidgetItem *item);

    TqevListaCrediti m_lista;
    int m_iAnsId = 0;
    QSet<int> m_salvate; // the kinds ticked as last read or saved
    bool m_readOnly = false;
    bool m_caricamento = false;
    bool m_letta = false; // the kinds and marks are read
};

// The two lists under the suite's names: one class serves both, the kind of credit told apart.
class TfrqevCreSco : public TfrqevCreLista
{
    Q_OBJECT
public:
    explicit TfrqevCreSco(QWidget *parent = nullptr)
        : TfrqevCreLista(TqevListaCrediti::Scolastici, parent)
    {
    }
};

class TfrqevCreFrm : public TfrqevCreLista
{
    Q_OBJECT
public:
    explicit TfrqevCreFrm(QWidget *parent = nullptr)
        : TfrqevCreLista(TqevListaCrediti::Formativi, parent)
    {
    }
};
