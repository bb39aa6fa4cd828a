#include "gradeentry/qevrcarvot.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevresmecr.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/waitwindow.h"
#include "shell/qelplaceholder.h"

#include <QAction>
#include <QToolBar>

namespace {

const QChar Backspace(8);
const QChar Enter(13);

bool perLivello(int tipoDati)
{
    return tipoDati >= tdVoti && tipoDati <= tdTassonomie;
}

} // namespace

TfrqevCarVot::TfrqevCarVot(QWidget *parent) : TfrqevCarBs(parent)
{
    aPass = new QAction(QStringLiteral("Passaggio voti proposti a voti"), this);
    aPass->setObjectName(QStringLiteral("aPass"));
    aPass->setToolTip(QStringLiteral("Passaggio dei voti proposti a voti"));
    SetImageIndex(aPass, 5);
    xoaCustom()->insertAction(FrameAction(QStringLiteral("tb2")), aPass);
    if (QWidget *button = xoaCustom()->widgetForAction(aPass))
        button->setObjectName(QStringLiteral("tbPassaggio"));
    aPass->setVisible(false);

    frqevEsMeCr1 = new TfrqevEsMeCr(this);
    frqevEsMeCr1->setObjectName(QStringLiteral("frqevEsMeCr1"));
    frqevEsMeCr1->setVisible(false);
}

void TfrqevCarVot::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    dmqevDataSets->iChiaveFiltro = 0;
    static const char *const domande[] = {
        "Confermi il salvataggio dei voti?", "Confermi il salvataggio dei voti proposti?",
        "Confermi il salvataggio delle tassonomie?", "Confermi il salvataggio delle assenze?",
        "Confermi il salvataggio degli aiuti?"};
    TestoConferma = QString::fromUtf8(domande[tipoDati]);
    aFormSel->setVisible(perLivello(tipoDati));
    const bool passaggio = tipoDati == tdVoti && dmqevDataSets->iAbilita[abVot] != 0 &&
                           dmqevDataSets->iAbilita[abVtp] != 0;
    aPass->setVisible(passaggio);
    aPass->setEnabled(!(TdmqevActivations::CarClsAperto() && TipoCar == tcAlunno));
    m_store.setTipoDati(tipoDati);

    if (RighePerAlunno(TipoCar))
        layoutPerAlunni();
    m_store.CaricaLivelli();
    ApplicaParVis();
    Carica();
    AggiornaMedia(grGrid->nRowIntest());
    frqevEsMeCr1->setVisible(false);
}

void TfrqevCarVot::layoutPerAlunni()
{
    const TqevStringList *mats = &dmqevDataSets->slMaterie;
    const TqevStringList *cmps = nullptr;
    if (TipoDati == tdVoti || TipoDati == tdProposti) {
        mats = &dmqevDataSets->slMatVot;
        cmps = &dmqevDataSets->slCmpVot;
    } else if (TipoDati == tdTassonomie) {
        mats = &dmqevDataSets->slMatTas;
        cmps = &dmqevDataSets->slCmpTas;
    }
    const TqevStringList &alunni = dmqevDataSets->slAlunni;
    const int intestazioni = cmps ? 2 : 1;
    grGrid->setnRowIntest(intestazioni);
    grGrid->setnColIntest(1);
    grGrid->setColCount(mats->Count());
    grGrid->setRowCount(intestazioni + alunni.Count());
    for (int c = 1; c < mats->Count(); ++c) {
        grGrid->setCells(c, 0, mats->Strings(c));
        grGrid->setObjects(c, 0, mats->Objects(c));
        if (cmps) {
            grGrid->setCells(c, 1, cmps->Strings(c));
            grGrid->setObjects(c, 1, cmps->Objects(c));
        }
    }
    for (int i = 0; i < alunni.Count(); ++i) {
        grGrid->setCells(0, intestazioni + i, alunni.Strings(i));
        grGrid->setObjects(0, intestazioni + i, alunni.Objects(i));
    }
}

void TfrqevCarVot::LoadData()
{
    grGrid->setModificato(false);
    if (!RighePerAlunno(TipoCar))
        return;
    TVxHourglass hourglass;
    // One read for the whole grid: each statement is prepared once and run for every pupil.
    // A pupil's values are found by his situation, which any index statistics make cheap; a
    // select of the whole class session would scan the table where they are stale.
    TVxTransactionScope lettura(qqoVxGlobConn());
    const bool conComponente = m_store.PerComponente();
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto ana = AlunnoDi(r);
        if (!ana)
            continue;
        // Pupils of one plan of studies share one read of their subjects.
        dmqevDataSets->SetFiltroCaricamento(ana->iAnaId, dmqevDataSets->iAnsId, ana->iPstId,
                                            ListaMatAlu, false);
        const QHash<TqevChiaveVal, TqevValore> stored =
            m_store.Carica(dmqevDataSets->iClsSesId, ana->iSitId);
        for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
            auto mat = grGrid->RecordAt<TRecMat>(c, 0);
            if (!mat)
                continue;
            auto cmp = conComponente ? grGrid->RecordAt<TRecCmp>(c, 1) : nullptr;
            auto rec = std::make_shared<TRecVal>();
            const bool segue = ContieneMateria(ListaMatAlu, mat->iClsSesMatId);
            InitCellaVoto(*rec, !segue);
            if (segue) {
                const auto found =
                    stored.constFind({ana->iSitId, mat->iClsSesMatId, cmp ? cmp->iCmpScaId : 0});
                if (found != stored.constEnd()) {
                    const TqevValore &v = found.value();
                    rec->iPKId = v.iPKId;
                    rec->iValId = v.iValId;
                    rec->sValSDesc = v.sValSDesc;
                    rec->sValLDesc = v.sValLDesc;
                    if (conComponente) {
                        rec->iValDato = v.iValDato;
                        rec->bValSuff = v.bValSuff;
                        rec->bValInMed = v.bValInMed;
                    }
                }
            }
            rec->iValIdSalvato = rec->iValId;
            rec->sValSalvato = rec->sValSDesc;
            grGrid->setObjects(c, r, rec);
            grGrid->setCells(c, r, rec->sValSDesc);
        }
    }
    lettura.Commit();
    grGrid->setModificato(false);
    grGrid->Invalidate();
}

QString TfrqevCarVot::descriviCella(int col, int row) const
{
    auto ana = AlunnoDi(row);
    auto mat = grGrid->RecordAt<TRecMat>(col, 0);
    QString text = QStringLiteral("Alunno: %1\rMateria: %2")
                       .arg(ana ? NomeAlunno(*ana) : QString(), mat ? mat->sMatLDesc : QString());
    if (auto cmp = perLivello(TipoDati) ? grGrid->RecordAt<TRecCmp>(col, 1) : nullptr)
        text += QStringLiteral("\rComponente: ") + cmp->sCmpLDesc;
    return text;
}

bool TfrqevCarVot::SaveDataDb()
{
    if (!RighePerAlunno(TipoCar))
        return true;
    // Every new row carries the school year's first day as insert and start date and its
    // last day as end date, whatever the day of the save; read once, by the first new row's
    // write, so that a failure is told as that cell's.
    QDate inizio;
    QDate fine;
    auto leggiAnno = [&inizio, &fine] {
        if (inizio.isValid())
            return;
        inizio = dmqevDataSets
                     ->GetAnnoScolField(dmqevDataSets->iAnsId, QStringLiteral("dAnsVextoInizio"))
                     .toDate();
        fine =
            dmqevDataSets->GetAnnoScolField(dmqevDataSets->iAnsId, QStringLiteral("dAnsVextoFine"))
                .toDate();
    };
    const TqevValStore &store = m_store;
    QList<TqevScrittura> scritture;
    for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
        for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
            auto rec = grGrid->RecordAt<TRecVal>(c, r);
            auto mat = grGrid->RecordAt<TRecMat>(c, 0);
            auto ana = AlunnoDi(r);
            if (!rec || !mat || !ana || rec->bBloccato)
                continue;
            const bool vuota = grGrid->Cells(c, r).trimmed().isEmpty();
            const int pk = rec->iPKId;
            if (vuota && pk == 0)
                continue;
            if (!vuota && pk != 0 && !store.Cambiato(*rec))
                continue;
            const QVariant valore = store.ValoreDi(*rec);
            const int iValId = rec->iValId;
            const QString testo = rec->sValSDesc.trimmed();
            TqevScrittura s;
            s.cella = descriviCella(c, r);
            if (vuota) {
                s.esegui = [&store, pk](TVxTransaction &tr) { store.Cancella(tr, pk); };
                // A value typed into the cell again is a new row.
                s.salvata = [rec] {
                    rec->iPKId = 0;
                    rec->iValIdSalvato = 0;
                    rec->sValSalvato.clear();
                };
            } else if (pk == 0) {
                auto cmp = perLivello(TipoDati) ? grGrid->RecordAt<TRecCmp>(c, 1) : nullptr;
                const TqevChiaveVal chiave{ana->iSitId, mat->iClsSesMatId,
                                           cmp ? cmp->iCmpScaId : 0};
                auto nuova = std::make_shared<int>(0);
                s.esegui = [&store, &leggiAnno, &inizio, &fine, chiave, valore,
                            nuova](TVxTransaction &tr) {
                    leggiAnno();
                    *nuova = store.Inserisci(tr, chiave, valore, inizio, fine);
                };
                s.salvata = [rec, nuova, iValId, testo] {
                    rec->iPKId = *nuova;
                    rec->iValIdSalvato = iValId;
                    rec->sValSalvato = testo;
                };
            } else {
                s.esegui = [&store, pk, valore, rec](TVxTransaction &tr) {
                    if (store.Aggiorna(tr, pk, valore))
                        return;
                    // The other office's deletion is committed, whatever becomes of this
                    // transaction: the record no longer has a row.
                    rec->iPKId = 0;
                    rec->iValIdSalvato = 0;
                    rec->sValSalvato.clear();
                    throw ValoreCancellatoAltrove();
                };
                s.salvata = [rec, iValId, testo] {
                    rec->iValIdSalvato = iValId;
                    rec->sValSalvato = testo;
                };
            }
            scritture.append(s);
        }
    }
    if (!SalvaScritture(scritture))
        return false;
    grGrid->setModificato(false);
    return true;
}

void TfrqevCarVot::SetReadOnly(bool value)
{
    auto options = grGrid->Options();
    options.setFlag(TVxStringGrid::goEditing, !value);
    grGrid->setOptions(options);
    aSave->setEnabled(!value);
    aFormSel->setEnabled(!value);
    aPass->setEnabled(!value);
}

void TfrqevCarVot::aFormSelExecute()
{
    TfrqevCarBs::aFormSelExecute();
    if (!perLivello(TipoDati))
        return;
    const QString pick = QStringLiteral("TfmqevSelItem");
    if (!FormRegistry::isRegistered(pick))
        showPlaceholder(aFormSel->text(), pick);
}

void TfrqevCarVot::grGridSelectCell(int col, int row, bool &canSelect)
{
    TfrqevCarBs::grGridSelectCell(col, row, canSelect);
    if (row < grGrid->nRowIntest() || col < grGrid->nColIntest())
        return;
    canSelect = true;
    const int c = grGrid->Col();
    const int r = grGrid->Row();
    auto rec = grGrid->RecordAt<TRecVal>(c, r);
    if (!rec || rec->bBloccato)
        return;
    const QString text = grGrid->Cells(c, r).trimmed();
    if (text.isEmpty())
        return;
    if (perLivello(TipoDati)) {
        // What is stored is accepted as it is: its level may have been deleted since.
        if (text != rec->sValSDesc.trimmed()) {
            auto cmp = grGrid->RecordAt<TRecCmp>(c, grGrid->nRowIntest() - 1);
            const TqevLivello *livello = cmp ? m_store.Livello(cmp->iCmpScaId, text) : nullptr;
            if (!livello) {
                canSelect = false;
                return;
            }
            rec->iValId = livello->iValId;
            rec->sValSDesc = livello->sValSDesc;
            rec->sValLDesc = livello->sValLDesc;
            rec->iValDato = livello->iValDato;
            rec->bValSuff = livello->bValSuff;
            rec->bValInMed = livello->bValInMed;
        }
    } else if (TipoDati == tdAssenze) {
        bool numero = false;
        const int ore = text.toInt(&numero);
        if (!numero || ore < 0) {
            canSelect = false;
            return;
        }
        rec->iValId = ore;
        rec->sValSDesc = rec->sValLDesc = QString::number(ore);
        rec->iValDato = 0;
        rec->bValSuff = rec->bValInMed = true;
    } else {
        if (text.size() > 4) {
            canSelect = false;
            return;
        }
        rec->iValId = 0;
        rec->sValSDesc = rec->sValLDesc = text;
        rec->iValDato = 0;
        rec->bValSuff = rec->bValInMed = true;
    }
    rec->bBloccato = false;
    grGrid->InvalidateCell(c, r);
    if (TipoDati == tdVoti || TipoDati == tdProposti || TipoDati == tdAssenze)
        AggiornaMedia(row);
}

void TfrqevCarVot::azzera(int col, int row)
{
    auto rec = grGrid->RecordAt<TRecVal>(col, row);
    if (!rec || rec->bBloccato || !grGrid->Cells(col, row).trimmed().isEmpty())
        return;
    rec->iValId = 0;
    rec->sValSDesc.clear();
    rec->sValLDesc.clear();
    rec->iValDato = 0;
    rec->bValSuff = false;
    grGrid->SegnaModificata(col, row);
    grGrid->InvalidateCell(col, row);
}

void TfrqevCarVot::grGridKeyPress(QChar &key)
{
    m_backspace = key == Backspace;
    if (m_backspace && !grGrid->EditorMode())
        azzera(grGrid->Col(), grGrid->Row());
    else if (key == Enter)
        grGrid->Invalidate();
}

void TfrqevCarVot::grGridSetEditText(int col, int row, const QString &value)
{
    if (m_backspace && value.trimmed().isEmpty())
        azzera(col, row);
}
