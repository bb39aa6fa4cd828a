#include "gradeentry/qevrcarfin.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevliste.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevsalva.h"
#include "platform/transaction.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const QChar Backspace(8);

} // namespace

TfrqevCarFin::TfrqevCarFin(QWidget *parent) : TfrqevCarBs(parent)
{
    cbEsito = new QComboBox;
    cbEsito->setObjectName(QStringLiteral("cbEsito"));
    // Named, and reached by its letter, under the pupil's judgment.
    m_riga = new QWidget;
    m_riga->setObjectName(QStringLiteral("paEsito"));
    auto *riga = new QHBoxLayout(m_riga);
    riga->setContentsMargins(0, 2, 0, 2);
    auto *etichetta = new QLabel(QStringLiteral("&Esito finale:"));
    etichetta->setObjectName(QStringLiteral("laEsito"));
    etichetta->setBuddy(cbEsito);
    riga->addWidget(etichetta);
    riga->addWidget(cbEsito, 1);
    m_riga->setVisible(false);
    FrameLayout()->addWidget(m_riga);
    // Only the office's choice marks the frame modified, not the one a load makes.
    connect(cbEsito, &QComboBox::activated, this, [this] { grGrid->setModificato(true); });
}

void TfrqevCarFin::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    TestoConferma = QStringLiteral("Confermi il salvataggio dell'esito?");
    LayoutColonnaAlunni(QStringLiteral("Esito finale"), 200,
                        {"aParVis", "aSingolo", "aFormSel", "tb1", "tb2"});
    const bool classe = TipoCar == tcClasse;
    m_riga->setVisible(!classe);
    // Under the pupil's judgment the drop-down takes no more room than it needs.
    setSizePolicy(QSizePolicy::Preferred, classe ? QSizePolicy::Preferred : QSizePolicy::Maximum);
    cbEsito->clear();
    for (const TVxEnumItem &e : QevListe::EsitiFinali())
        cbEsito->addItem(e.detail, e.id);
    Carica();
}

void TfrqevCarFin::selezionaEsito(int iPosFinId)
{
    // An outcome not in the list (its detail deleted) shows no choice.
    cbEsito->setCurrentIndex(iPosFinId != 0 ? cbEsito->findData(iPosFinId) : -1);
}

void TfrqevCarFin::LoadData()
{
    QHash<int, TqevEsito> esiti;
    auto leggi = [&](int iSitId) { esiti = m_store.Carica(dmqevDataSets->iClsId, iSitId); };
    CaricaPerAlunno(leggi, [&](int col, int row, int iSitId, const QString &) {
        const TqevEsito e = esiti.value(iSitId);
        auto rec = std::make_shared<TRecFin>();
        rec->iPosFinId = rec->iPosFinIdSalvato = e.iPosFinId;
        rec->sStaFinDettSDesc = e.sStaFinDettSDesc;
        grGrid->setObjects(col, row, rec);
        if (TipoCar == tcClasse)
            grGrid->setCells(col, row, rec->sStaFinDettSDesc);
        else
            selezionaEsito(rec->iPosFinId);
    });
}

void TfrqevCarFin::LoadFromClassForm()
{
    TfrqevCarBs::LoadFromClassForm();
    auto rec = std::dynamic_pointer_cast<TRecFin>(RecordClasse());
    if (!rec) {
        LoadData();
        return;
    }
    selezionaEsito(rec->iPosFinId);
    grGrid->setObjects(0, 0, rec);
    grGrid->setModificato(false);
}

bool TfrqevCarFin::SaveDataDb()
{
    if (TipoCar != tcClasse) {
        auto rec = grGrid->RecordAt<TRecFin>(0, 0);
        // Nothing chosen keeps what is stored: an outcome is never lost to an empty drop-down.
        if (rec && cbEsito->currentIndex() >= 0) {
            rec->iPosFinId = cbEsito->currentData().toInt();
            rec->sStaFinDettSDesc = cbEsito->currentText();
        }
    }
    const TqevFinStore &store = m_store;
    QList<TqevScrittura> scritture;
    PerAlunno([&](int col, int row, int iSitId, const QString &nome) {
        auto rec = grGrid->RecordAt<TRecFin>(col, row);
        if (!rec || iSitId == 0 || rec->iPosFinId == rec->iPosFinIdSalvato)
            return;
        const int id = rec->iPosFinId;
        TqevScrittura s;
        s.cella = QStringLiteral("Alunno: %1\rEsito finale").arg(nome);
        s.id = TqevFinStore::Id(iSitId);
        s.letta = TqevFinStore::Letta(iSitId, rec->iPosFinIdSalvato);
        s.cancella = id == 0;
        s.esegui = [&store, iSitId, id](TVxTransaction &tr) { store.Aggiorna(tr, iSitId, id); };
        s.salvata = [rec, id] { rec->iPosFinIdSalvato = id; };
        // Saving again writes the chosen outcome over the other office's, or empties it.
        s.cambiata = [rec](const TVxRiga &ora) {
            rec->iPosFinIdSalvato = TqevFinStore::Esito(ora);
        };
        scritture.append(s);
    });
    // The outcomes of the grid's pupils, as LoadData reads them.
    const int iClsId = dmqevDataSets->iClsId;
    const int iSitId = TipoCar == tcClasse ? 0 : dmqevDataSets->iSitId;
    TqevVerifica verifica;
    verifica.leggi = [&store, iClsId, iSitId](TVxTransaction &) {
        return store.Righe(iClsId, iSitId);
    };
    return SalvaGriglia(scritture, verifica);
}

void TfrqevCarFin::UpdateClassForm()
{
    if (auto rec = grGrid->RecordAt<TRecFin>(0, 0))
        MostraInClasse(rec->sStaFinDettSDesc);
}

void TfrqevCarFin::SetReadOnly(bool value)
{
    m_readOnly = value;
    aSave->setEnabled(!value);
    aFormSel->setEnabled(!value);
    cbEsito->setEnabled(!value);
}

void TfrqevCarFin::aFormSelExecute()
{
    TfrqevCarBs::aFormSelExecute();
    if (TipoCar != tcClasse)
        return;
    TfmqevSelItem *pick = TfmqevSelItem::Apri(this, grGrid);
    auto rec = grGrid->RecordAt<TRecFin>(1, grGrid->Row());
    pick->ValIdCorrente = rec ? rec->iPosFinId : 0;
    pick->PreparaSelItem(TfmqevSelItem::skEsito);
    pick->Mostra();
}

void TfrqevCarFin::grGridKeyPress(QChar &key)
{
    if (key != Backspace || m_readOnly || TipoCar != tcClasse)
        return;
    const int row = grGrid->Row();
    auto rec = grGrid->RecordAt<TRecFin>(1, row);
    if (!rec || row < grGrid->nRowIntest())
        return;
    rec->iPosFinId = 0;
    rec->sStaFinDettSDesc.clear();
    grGrid->setCells(1, row, QString());
    grGrid->SegnaModificata(1, row);
}

bool TfrqevCarFin::CellaDiversa(int col, int row) const
{
    auto rec = grGrid->RecordAt<TRecFin>(col, row);
    return rec && rec->iPosFinId != rec->iPosFinIdSalvato;
}
