#include "gradeentry/qevrcarfin.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevliste.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/transaction.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QComboBox>
#include <QVBoxLayout>

namespace {

const QChar Backspace(8);

} // namespace

TfrqevCarFin::TfrqevCarFin(QWidget *parent) : TfrqevCarBs(parent)
{
    cbEsito = new QComboBox;
    cbEsito->setObjectName(QStringLiteral("cbEsito"));
    cbEsito->setVisible(false);
    FrameLayout()->addWidget(cbEsito);
    FrameLayout()->addStretch();
    // Only the office's choice marks the frame modified, not the one a load makes.
    connect(cbEsito, &QComboBox::activated, this, [this] { grGrid->setModificato(true); });
}

void TfrqevCarFin::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    TestoConferma = QStringLiteral("Confermi il salvataggio dell'esito?");
    auto options = grGrid->Options();
    options.setFlag(TVxStringGrid::goEditing, false);
    grGrid->setOptions(options);
    paMedia->setVisible(false);
    laMedia->setVisible(false);
    const bool classe = TipoCar == tcClasse;
    cbEsito->setVisible(!classe);
    grGrid->parentWidget()->setVisible(classe);
    if (classe) {
        const TqevStringList &alunni = dmqevDataSets->slAlunni;
        grGrid->setnColIntest(1);
        grGrid->setnRowIntest(1);
        grGrid->setColCount(2);
        grGrid->setRowCount(1 + alunni.Count());
        for (int i = 0; i < alunni.Count(); ++i) {
            grGrid->setCells(0, 1 + i, alunni.Strings(i));
            grGrid->setObjects(0, 1 + i, alunni.Objects(i));
        }
        grGrid->setCells(1, 0, QStringLiteral("Esito finale"));
        grGrid->setColWidths(1, 200);
    } else {
        for (const char *name : {"aParVis", "aSingolo", "aFormSel", "tb1", "tb2"}) {
            if (QAction *action = FrameAction(QString::fromLatin1(name)))
                action->setVisible(false);
        }
    }
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
    grGrid->setModificato(false);
    TVxHourglass hourglass;
    TVxTransactionScope lettura(qqoVxGlobConn());
    auto leggi = [this](int iSitId) {
        const TqevEsito e = m_store.Carica(iSitId);
        auto rec = std::make_shared<TRecFin>();
        rec->iPosFinId = rec->iPosFinIdSalvato = e.iPosFinId;
        rec->sStaFinDettSDesc = e.sStaFinDettSDesc;
        return rec;
    };
    if (TipoCar == tcClasse) {
        for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
            auto ana = AlunnoDi(r);
            if (!ana)
                continue;
            auto rec = leggi(ana->iSitId);
            grGrid->setObjects(1, r, rec);
            grGrid->setCells(1, r, rec->sStaFinDettSDesc);
        }
    } else {
        auto rec = leggi(dmqevDataSets->iSitId);
        selezionaEsito(rec->iPosFinId);
        grGrid->setObjects(0, 0, rec);
    }
    lettura.Commit();
    grGrid->setModificato(false);
}

TfrqevCarFin *TfrqevCarFin::frameClasse() const
{
    return qobject_cast<TfrqevCarFin *>(FrameClasseAlunno());
}

void TfrqevCarFin::LoadFromClassForm()
{
    TfrqevCarBs::LoadFromClassForm();
    TfrqevCarFin *cls = frameClasse();
    auto rec = cls ? cls->grGrid->RecordAt<TRecFin>(1, RigaCls1) : nullptr;
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
    auto visita = [&](const std::shared_ptr<TRecFin> &rec, int iSitId, const QString &nome) {
        if (!rec || iSitId == 0 || rec->iPosFinId == rec->iPosFinIdSalvato)
            return;
        const int id = rec->iPosFinId;
        TqevScrittura s;
        s.cella = QStringLiteral("Alunno: %1\rEsito finale").arg(nome);
        s.esegui = [&store, iSitId, id](TVxTransaction &tr) { store.Aggiorna(tr, iSitId, id); };
        s.salvata = [rec, id] { rec->iPosFinIdSalvato = id; };
        scritture.append(s);
    };
    if (TipoCar == tcClasse) {
        for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
            auto ana = AlunnoDi(r);
            if (ana)
                visita(grGrid->RecordAt<TRecFin>(1, r), ana->iSitId, NomeAlunno(*ana));
        }
    } else {
        visita(grGrid->RecordAt<TRecFin>(0, 0), dmqevDataSets->iSitId, dmqevDataSets->sNomeAlunno);
    }
    if (!SalvaScritture(scritture))
        return false;
    grGrid->setModificato(false);
    return true;
}

void TfrqevCarFin::UpdateClassForm()
{
    TfrqevCarFin *cls = frameClasse();
    auto rec = grGrid->RecordAt<TRecFin>(0, 0);
    if (cls && rec && cls->grGrid->RecordAt<TRecFin>(1, RigaCls1) == rec)
        cls->grGrid->setCells(1, RigaCls1, rec->sStaFinDettSDesc);
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
