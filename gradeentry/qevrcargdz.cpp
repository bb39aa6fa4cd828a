#include "gradeentry/qevrcargdz.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevsalva.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

const QChar Backspace(8);

bool vuoto(const QString &text)
{
    return text.trimmed().isEmpty();
}

} // namespace

TfrqevCarGdz::TfrqevCarGdz(QWidget *parent) : TfrqevCarBs(parent)
{
    meGiudizio = new QPlainTextEdit;
    meGiudizio->setObjectName(QStringLiteral("meGiudizio"));
    // A tab is no character of a judgment: Tab goes on to the outcome below.
    meGiudizio->setTabChangesFocus(true);
    meGiudizio->setVisible(false);
    FrameLayout()->addWidget(meGiudizio, 1);
    connect(meGiudizio, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_caricando)
            grGrid->SegnaModificata(0, 0);
    });
    tbCancella = AddFrameAction(QStringLiteral("tbCancella"), QStringLiteral("Cancella Giudizio"),
                                10, QStringLiteral("Cancella Giudizio"));
    connect(tbCancella, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { tbCancellaClick(); }); });
}

void TfrqevCarGdz::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    TestoConferma = QStringLiteral("Confermi il salvataggio dei giudizi?");
    LayoutColonnaAlunni(QStringLiteral("Giudizio"), 300, {"aParVis", "tb1", "tb2"});
    // The judgments take the room the names leave.
    grGrid->setUltimaEstesa(true);
    const bool classe = TipoCar == tcClasse;
    aFormSel->setVisible(classe);
    meGiudizio->setVisible(!classe);
    Carica();
}

void TfrqevCarGdz::mostraMemo(const QString &text)
{
    m_caricando = true;
    m_memo.Carica(meGiudizio, text);
    m_caricando = false;
}

void TfrqevCarGdz::LoadData()
{
    QHash<int, TqevGiudizio> giudizi;
    auto leggi = [&](int iSitId) { giudizi = m_store.Carica(dmqevDataSets->iClsSesId, iSitId); };
    CaricaPerAlunno(leggi, [&](int col, int row, int iSitId, const QString &) {
        const TqevGiudizio g = giudizi.value(iSitId);
        auto rec = std::make_shared<TRecGdz>();
        InitCellaGiudizio(*rec);
        rec->iSitId = g.iGdzId != 0 ? iSitId : 0;
        rec->iGdzId = g.iGdzId;
        rec->bGdzGiudizio = rec->bGdzGiudizioSalvato = g.testo;
        grGrid->setObjects(col, row, rec);
        if (TipoCar == tcClasse)
            grGrid->setCells(col, row, rec->bGdzGiudizio.trimmed());
        else
            mostraMemo(rec->bGdzGiudizio);
    });
}

void TfrqevCarGdz::LoadFromClassForm()
{
    TfrqevCarBs::LoadFromClassForm();
    auto rec = std::dynamic_pointer_cast<TRecGdz>(RecordClasse());
    if (!rec) {
        LoadData();
        return;
    }
    grGrid->setObjects(0, 0, rec);
    mostraMemo(rec->bGdzGiudizio);
    grGrid->setModificato(false);
}

bool TfrqevCarGdz::SaveDataDb()
{
    if (TipoCar != tcClasse) {
        if (auto rec = grGrid->RecordAt<TRecGdz>(0, 0))
            rec->bGdzGiudizio = m_memo.Testo(meGiudizio);
    }
    TqevDateNuoveRighe anno;
    const TqevGdzStore &store = m_store;
    const int iAnsSesDwgId = dmqevDataSets->iAnsSesDwgId;
    QList<TqevScrittura> scritture;
    PerAlunno([&](int col, int row, int iSitId, const QString &nome) {
        auto rec = grGrid->RecordAt<TRecGdz>(col, row);
        if (!rec || iSitId == 0 || rec->bGdzGiudizio == rec->bGdzGiudizioSalvato)
            return;
        const QString text = rec->bGdzGiudizio;
        const int key = rec->iGdzId;
        if (vuoto(text) && key == 0) {
            rec->bGdzGiudizioSalvato = text;
            return;
        }
        TqevScrittura s;
        s.cella = QStringLiteral("Alunno: %1\rGiudizio").arg(nome);
        if (vuoto(text)) {
            s.esegui = [&store, key, iSitId, iAnsSesDwgId](TVxTransaction &tr) {
                store.Cancella(tr, key, iSitId, iAnsSesDwgId);
            };
            s.salvata = [rec, text] {
                rec->iGdzId = 0;
                rec->iSitId = 0;
                rec->bGdzGiudizioSalvato = text;
            };
        } else if (key == 0) {
            auto nuova = std::make_shared<int>(0);
            s.esegui = [&store, &anno, iSitId, iAnsSesDwgId, text, nuova](TVxTransaction &tr) {
                const TqevDateAnno &date = anno.Date();
                *nuova = store.Inserisci(tr, iSitId, iAnsSesDwgId, text, date.inizio, date.fine);
            };
            s.salvata = [rec, nuova, iSitId, text] {
                rec->iGdzId = *nuova;
                rec->iSitId = iSitId;
                rec->bGdzGiudizioSalvato = text;
            };
        } else {
            s.esegui = [&store, key, text](TVxTransaction &tr) { store.Aggiorna(tr, key, text); };
            s.salvata = [rec, text] { rec->bGdzGiudizioSalvato = text; };
        }
        s.id = TqevGdzStore::Id(iSitId);
        s.letta = TqevGdzStore::Letta(key, rec->bGdzGiudizioSalvato);
        s.cancella = vuoto(text);
        // Saving again writes the text over the other office's, or deletes it.
        s.cambiata = [rec](const TVxRiga &ora) {
            rec->iGdzId = ora.chiave;
            rec->bGdzGiudizioSalvato = TqevGdzStore::Testo(ora);
        };
        scritture.append(s);
    });
    const int iClsSesId = dmqevDataSets->iClsSesId;
    const int iSitId = TipoCar == tcClasse ? 0 : dmqevDataSets->iSitId;
    TqevVerifica verifica;
    verifica.leggi = [&store, iClsSesId, iSitId](TVxTransaction &) {
        return store.Righe(iClsSesId, iSitId);
    };
    return SalvaGriglia(scritture, verifica);
}

void TfrqevCarGdz::UpdateClassForm()
{
    if (auto rec = grGrid->RecordAt<TRecGdz>(0, 0))
        MostraInClasse(rec->bGdzGiudizio.trimmed());
}

void TfrqevCarGdz::SetReadOnly(bool value)
{
    m_readOnly = value;
    aSave->setEnabled(!value);
    aFormSel->setEnabled(!value);
    tbCancella->setEnabled(!value);
    meGiudizio->setReadOnly(value);
}

void TfrqevCarGdz::aFormSelExecute()
{
    TfrqevCarBs::aFormSelExecute();
    if (TipoCar != tcClasse)
        return;
    TfmqevSelItem *pick = TfmqevSelItem::Apri(this, grGrid);
    auto rec = grGrid->RecordAt<TRecGdz>(1, grGrid->Row());
    pick->SetTestoNota(rec ? rec->bGdzGiudizio : QString());
    pick->PreparaSelItem(TfmqevSelItem::skGiudizio);
    pick->Mostra();
}

void TfrqevCarGdz::svuotaRiga(int row)
{
    auto rec = grGrid->RecordAt<TRecGdz>(1, row);
    if (!rec || row < grGrid->nRowIntest())
        return;
    // The key stays: the next save deletes the stored judgment.
    rec->bGdzGiudizio.clear();
    rec->iSitId = 0;
    grGrid->setCells(1, row, QString());
    grGrid->SegnaModificata(1, row);
}

void TfrqevCarGdz::grGridKeyPress(QChar &key)
{
    if (key == Backspace && !m_readOnly && TipoCar == tcClasse)
        svuotaRiga(grGrid->Row());
}

void TfrqevCarGdz::tbCancellaClick()
{
    if (m_readOnly)
        return;
    if (VxMessageDlg(QStringLiteral("Confermi la cancellazione del giudizio?"), mtConfirmation,
                     mbYesNo, 0, mrNo) != mrYes)
        return;
    if (TipoCar == tcClasse)
        svuotaRiga(grGrid->Row());
    else
        meGiudizio->clear();
}

bool TfrqevCarGdz::CellaDiversa(int col, int row) const
{
    auto rec = grGrid->RecordAt<TRecGdz>(col, row);
    if (!rec)
        return false;
    const QString testo = TipoCar == tcClasse ? rec->bGdzGiudizio : m_memo.Testo(meGiudizio);
    return testo != rec->bGdzGiudizioSalvato;
}
