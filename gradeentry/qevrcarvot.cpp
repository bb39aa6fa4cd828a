#include "gradeentry/qevrcarvot.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevregolevalori.h"
#include "gradeentry/qevresmecr.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QPoint>
#include <QToolBar>

#include <algorithm>

namespace {

const QChar Backspace(8);
const QChar Enter(13);

bool perLivello(int tipoDati)
{
    return tipoDati >= tdVoti && tipoDati <= tdTassonomie;
}

// A refused text as the help panel and the warning show it: control characters by their code.
QString leggibile(const QString &text)
{
    QString shown;
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

// The frame of the kind in the window a per-pupil frame works beside; none without one.
TfrqevCarBs *frameOrigine(int tipoDati)
{
    QevGradeWindow *window = TdmqevActivations::FinestraOrigine();
    return window ? window->FrameDi(tipoDati) : nullptr;
}

// The cells of a pupil's row in a grid whose rows are pupils, by the value each stands for
// (the first column of a subject and component, as the save writes it).
QHash<TqevChiaveVal, QPoint> celleDiAlunno(const TqelStringGrid &grid, int iSitId,
                                           bool conComponente)
{
    QHash<TqevChiaveVal, QPoint> celle;
    for (int r = grid.nRowIntest(); r < grid.RowCount(); ++r) {
        auto ana = grid.RecordAt<TRecAna>(0, r);
        if (!ana || ana->iSitId != iSitId)
            continue;
        for (int c = grid.nColIntest(); c < grid.ColCount(); ++c) {
            auto mat = grid.RecordAt<TRecMat>(c, 0);
            auto cmp = conComponente ? grid.RecordAt<TRecCmp>(c, 1) : nullptr;
            if (mat)
                celle.insert({iSitId, mat->iClsSesMatId, cmp ? cmp->iCmpScaId : 0}, {c, r});
        }
        break;
    }
    return celle;
}

// A cell's stored value, if any, into its record, which notes it as what is stored.
void prendiValore(TRecVal &rec, const QHash<TqevChiaveVal, TqevValore> &stored,
                  const TqevChiaveVal &key, bool conComponente)
{
    const auto found = stored.constFind(key);
    if (found != stored.constEnd()) {
        const TqevValore &v = found.value();
        rec.iPKId = v.iPKId;
        rec.iValId = v.iValId;
        rec.sValSDesc = v.sValSDesc;
        rec.sValLDesc = v.sValLDesc;
        if (conComponente) {
            rec.iValDato = v.iValDato;
            rec.bValSuff = v.bValSuff;
            rec.bValInMed = v.bValInMed;
        }
    }
    rec.iValIdSalvato = rec.iValId;
    rec.sValSalvato = rec.sValSDesc;
}

// A value record into another: the value, its stored row and what that row holds. A cell
// whose text was emptied has no value, whatever its record kept: its row goes at the save.
void copiaValore(TRecVal &to, const TRecVal &from, bool svuotata)
{
    to.iPKId = from.iPKId;
    to.iValIdSalvato = from.iValIdSalvato;
    to.sValSalvato = from.sValSalvato;
    to.iValId = svuotata ? 0 : from.iValId;
    to.sValSDesc = svuotata ? QString() : from.sValSDesc;
    to.sValLDesc = svuotata ? QString() : from.sValLDesc;
    to.iValDato = svuotata ? 0 : from.iValDato;
    to.bValSuff = svuotata ? false : from.bValSuff;
    to.bValInMed = from.bValInMed;
}

// The record's row is gone or replaced: it takes the cell's row as it now stands. None: what it
// last read is no longer stored, and a value typed again is a new row.
void DimenticaValore(TRecVal &rec, int iPKId)
{
    rec.iPKId = iPKId;
    if (iPKId != 0)
        return;
    rec.iValIdSalvato = 0;
    rec.sValSalvato.clear();
}

// Another office changed the cell's row: the record takes it as what is stored, and keeps the
// value typed, which saving again writes over it.
void PrendiRiga(TRecVal &rec, const TVxRiga &ora)
{
    DimenticaValore(rec, ora.chiave);
    const QVariant valore = ora.valori.value(QStringLiteral("valore"));
    rec.iValIdSalvato = valore.toInt();
    rec.sValSalvato = valore.toString();
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

    // The qualification scores of the subject window, after a separator of their own.
    QAction *separatore = xoaCustom()->insertSeparator(FrameAction(QStringLiteral("tb2")));
    separatore->setObjectName(QStringLiteral("tbSepQualif"));
    separatore->setVisible(false);
    auto qualifica = [this](const char *name, const char *button, const char *caption, int image) {
        auto *action = new QAction(QString::fromLatin1(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        SetImageIndex(action, image);
        xoaCustom()->insertAction(FrameAction(QStringLiteral("tb2")), action);
        if (QWidget *w = xoaCustom()->widgetForAction(action))
            w->setObjectName(QString::fromLatin1(button));
        action->setVisible(false);
        action->setEnabled(false);
        return action;
    };
    aImpQualif = qualifica("aImpQualif", "tbImportQualif", "Importa da carriera", 13);
    aExpQualif = qualifica("aExpQualif", "tbExportQualif", "Esporta a carriera", 12);

    frqevEsMeCr1 = new TfrqevEsMeCr(this);
    frqevEsMeCr1->setObjectName(QStringLiteral("frqevEsMeCr1"));
    frqevEsMeCr1->setVisible(false);
}

void TfrqevCarVot::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    static const char *const domande[] = {
        "Confermi il salvataggio dei voti?", "Confermi il salvataggio dei voti proposti?",
        "Confermi il salvataggio delle tassonomie?", "Confermi il salvataggio delle assenze?",
        "Confermi il salvataggio degli aiuti?"};
    TestoConferma = QString::fromUtf8(domande[tipoDati]);
    aFormSel->setVisible(perLivello(tipoDati));
    const bool passaggio = tipoDati == tdVoti && dmqevDataSets->iAbilita[abVot] != 0 &&
                           dmqevDataSets->iAbilita[abVtp] != 0;
    aPass->setVisible(passaggio);
    // Beside the class or subject window the transfer would leave that window's values and
    // keys behind the database's: it runs there, or once the pupil window stands alone.
    aPass->setEnabled(!(TipoCar == tcAlunno && TdmqevActivations::FinestraOrigine()));
    m_store.setTipoDati(tipoDati);

    if (RighePerAlunno(TipoCar))
        layoutPerAlunni();
    else
        layoutPerMaterie();
    m_store.CaricaLivelli();
    ApplicaParVis();
    Carica();
    // Every level a column takes shows whole, whatever width is stored.
    const int riga = RighePerAlunno(TipoCar) ? grGrid->nRowIntest() - 1 : 0;
    grGrid->AdattaLarghezze([this, riga](int col) {
        QStringList texts;
        if (TipoDati == tdAssenze)
            texts << QString::number(TqevRegoleValori::kMaxOreAssenza);
        if (auto cmp = grGrid->RecordAt<TRecCmp>(col, riga)) {
            for (const TqevLivello &l : m_store.Livelli(cmp->iCmpScaId))
                texts << l.sValSDesc.trimmed();
        }
        return texts;
    });
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

void TfrqevCarVot::layoutPerMaterie()
{
    const TqevStringList *mats = &dmqevDataSets->slMatAluVot;
    const TqevStringList *cmps = &dmqevDataSets->slCmpAluVot;
    if (TipoDati == tdTassonomie) {
        mats = &dmqevDataSets->slMatAluTas;
        cmps = &dmqevDataSets->slCmpAluTas;
    } else if (!perLivello(TipoDati)) {
        cmps = nullptr;
    }
    grGrid->setnRowIntest(1);
    grGrid->setnColIntest(1);
    grGrid->setRowCount(mats->Count());
    grGrid->setColCount(cmps ? cmps->Count() : 2);
    for (int r = 1; r < mats->Count(); ++r) {
        grGrid->setCells(0, r, mats->Strings(r));
        grGrid->setObjects(0, r, mats->Objects(r));
    }
    if (!cmps) {
        grGrid->setCells(
            1, 0, TipoDati == tdAssenze ? QStringLiteral("Assenze") : QStringLiteral("Aiuti"));
        return;
    }
    for (int c = 1; c < cmps->Count(); ++c) {
        grGrid->setCells(c, 0, cmps->Strings(c));
        grGrid->setObjects(c, 0, cmps->Objects(c));
    }
}

void TfrqevCarVot::LoadFromClassForm()
{
    TfrqevCarBs::LoadFromClassForm();
    LoadData();
}

void TfrqevCarVot::caricaPerMaterie(const QHash<TqevChiaveVal, TqevValore> &stored)
{
    const bool conComponente = m_store.PerComponente();
    // Beside the class or subject window its values count: typed ones too, not yet saved.
    TfrqevCarBs *origine = frameOrigine(TipoDati);
    const QHash<TqevChiaveVal, QPoint> accanto =
        origine ? celleDiAlunno(*origine->grGrid, m_iSitId, conComponente)
                : QHash<TqevChiaveVal, QPoint>();
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto mat = grGrid->RecordAt<TRecMat>(0, r);
        if (!mat)
            continue;
        for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
            auto cmp = conComponente ? grGrid->RecordAt<TRecCmp>(c, 0) : nullptr;
            // Absences and aids apply to every subject of the pupil.
            const bool segue =
                !conComponente ||
                (cmp && ContieneCoppia(ListaMatAlu, mat->iClsSesMatId, cmp->iCmpScaId));
            auto rec = std::make_shared<TRecVal>();
            InitCellaVoto(*rec, !segue);
            const TqevChiaveVal key{m_iSitId, mat->iClsSesMatId, cmp ? cmp->iCmpScaId : 0};
            if (segue)
                prendiValore(*rec, stored, key, conComponente);
            const QPoint p = accanto.value(key, QPoint(-1, -1));
            auto loro =
                segue && p.x() >= 0 ? origine->grGrid->RecordAt<TRecVal>(p.x(), p.y()) : nullptr;
            if (loro && !loro->bBloccato)
                copiaValore(*rec, *loro, origine->grGrid->Cells(p.x(), p.y()).trimmed().isEmpty());
            grGrid->setObjects(c, r, rec);
            grGrid->setCells(c, r, rec->sValSDesc);
        }
    }
}

void TfrqevCarVot::LoadData()
{
    grGrid->setModificato(false);
    TVxHourglass hourglass;
    TVxTransactionScope lettura(qqoVxGlobConn());
    if (!RighePerAlunno(TipoCar)) {
        m_iSitId = dmqevDataSets->iSitId;
        dmqevDataSets->SetFiltroCaricamento(dmqevDataSets->iAnaId, dmqevDataSets->iAnsId,
                                            ListaMatAlu, false);
        const QHash<TqevChiaveVal, TqevValore> stored =
            m_store.Carica(dmqevDataSets->iClsSesId, m_iSitId);
        lettura.Commit();
        caricaPerMaterie(stored);
        grGrid->setModificato(false);
        grGrid->Invalidate();
        return;
    }
    // One read for the whole grid, the subject window's of its subject only.
    const QHash<TqevChiaveVal, TqevValore> stored = m_store.Carica(
        dmqevDataSets->iClsSesId, 0, TipoCar == tcMateria ? dmqevDataSets->iClsSesMatId : 0);
    const bool conComponente = m_store.PerComponente();
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto ana = AlunnoDi(r);
        if (!ana)
            continue;
        dmqevDataSets->SetFiltroCaricamento(ana->iAnaId, dmqevDataSets->iAnsId, ListaMatAlu, false);
        for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
            auto mat = grGrid->RecordAt<TRecMat>(c, 0);
            if (!mat)
                continue;
            auto cmp = conComponente ? grGrid->RecordAt<TRecCmp>(c, 1) : nullptr;
            auto rec = std::make_shared<TRecVal>();
            const bool segue = ContieneMateria(ListaMatAlu, mat->iClsSesMatId);
            InitCellaVoto(*rec, !segue);
            if (segue)
                prendiValore(*rec, stored,
                             {ana->iSitId, mat->iClsSesMatId, cmp ? cmp->iCmpScaId : 0},
                             conComponente);
            grGrid->setObjects(c, r, rec);
            grGrid->setCells(c, r, rec->sValSDesc);
        }
    }
    lettura.Commit();
    grGrid->setModificato(false);
    grGrid->Invalidate();
}

bool TfrqevCarVot::chiaveDi(int col, int row, TqevChiaveVal &key) const
{
    std::shared_ptr<TRecMat> mat;
    int iSitId = m_iSitId;
    if (RighePerAlunno(TipoCar)) {
        auto ana = AlunnoDi(row);
        if (!ana)
            return false;
        iSitId = ana->iSitId;
        mat = grGrid->RecordAt<TRecMat>(col, 0);
    } else {
        mat = grGrid->RecordAt<TRecMat>(0, row);
    }
    if (!mat)
        return false;
    auto cmp = m_store.PerComponente() ? grGrid->RecordAt<TRecCmp>(col, grGrid->nRowIntest() - 1)
                                       : nullptr;
    key = {iSitId, mat->iClsSesMatId, cmp ? cmp->iCmpScaId : 0};
    return true;
}

QString TfrqevCarVot::descriviCella(int col, int row) const
{
    const bool perAlunni = RighePerAlunno(TipoCar);
    auto ana = perAlunni ? AlunnoDi(row) : nullptr;
    auto mat = perAlunni ? grGrid->RecordAt<TRecMat>(col, 0) : grGrid->RecordAt<TRecMat>(0, row);
    QString text = QStringLiteral("Alunno: %1\rMateria: %2")
                       .arg(ana ? NomeAlunno(*ana) : dmqevDataSets->sNomeAlunno,
                            mat ? mat->sMatLDesc : QString());
    auto cmp =
        perLivello(TipoDati) ? grGrid->RecordAt<TRecCmp>(col, grGrid->nRowIntest() - 1) : nullptr;
    if (cmp)
        text += QStringLiteral("\rComponente: ") + cmp->sCmpLDesc;
    return text;
}

bool TfrqevCarVot::SaveDataDb()
{
    TqevDateNuoveRighe anno;
    // A per-pupil cell gives each committed write to the window beside at once.
    const bool accanto = TipoCar == tcAlunno;
    const TqevValStore &store = m_store;
    QList<TqevScrittura> scritture;
    for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
        for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
            auto rec = grGrid->RecordAt<TRecVal>(c, r);
            TqevChiaveVal chiave;
            if (!rec || rec->bBloccato || !chiaveDi(c, r, chiave))
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
            s.id = TqevValStore::Id(chiave);
            s.letta = store.Letta(*rec);
            s.cancella = vuota;
            std::function<void()> salvata;
            if (vuota) {
                s.esegui = [&store, pk, chiave](TVxTransaction &tr) {
                    store.Cancella(tr, pk, chiave);
                };
                salvata = [rec] { DimenticaValore(*rec, 0); };
            } else if (pk == 0) {
                auto nuova = std::make_shared<int>(0);
                s.esegui = [&store, &anno, chiave, valore, nuova](TVxTransaction &tr) {
                    const TqevDateAnno &date = anno.Date();
                    *nuova = store.Inserisci(tr, chiave, valore, date.inizio, date.fine);
                };
                salvata = [rec, nuova, iValId, testo] {
                    rec->iPKId = *nuova;
                    rec->iValIdSalvato = iValId;
                    rec->sValSalvato = testo;
                };
            } else {
                s.esegui = [&store, pk, valore](TVxTransaction &tr) {
                    store.Aggiorna(tr, pk, valore);
                };
                salvata = [rec, iValId, testo] {
                    rec->iValIdSalvato = iValId;
                    rec->sValSalvato = testo;
                };
            }
            s.cambiata = [rec](const TVxRiga &ora) { PrendiRiga(*rec, ora); };
            s.salvata = [this, salvata, accanto, c, r] {
                salvata();
                if (accanto)
                    riporta({QPoint(c, r)});
            };
            scritture.append(s);
        }
    }
    // The rows of the grid's scope, as LoadData reads them.
    const int iClsSesId = dmqevDataSets->iClsSesId;
    const int iSitId = RighePerAlunno(TipoCar) ? 0 : m_iSitId;
    const int iClsSesMatId = TipoCar == tcMateria ? dmqevDataSets->iClsSesMatId : 0;
    TqevVerifica verifica;
    verifica.leggi = [&store, iClsSesId, iSitId, iClsSesMatId](TVxTransaction &) {
        return store.Righe(iClsSesId, iSitId, iClsSesMatId);
    };
    return SalvaGriglia(scritture, verifica);
}

void TfrqevCarVot::UpdateClassForm()
{
    QList<QPoint> celle;
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c)
            celle << QPoint(c, r);
    }
    riporta(celle);
}

void TfrqevCarVot::riporta(const QList<QPoint> &celle)
{
    TfrqevCarBs *origine = TipoCar == tcAlunno ? frameOrigine(TipoDati) : nullptr;
    if (!origine)
        return;
    TqelStringGrid *loro = origine->grGrid;
    const QHash<TqevChiaveVal, QPoint> posizioni =
        celleDiAlunno(*loro, m_iSitId, m_store.PerComponente());
    int riga = -1;
    for (const QPoint &cella : celle) {
        auto rec = grGrid->RecordAt<TRecVal>(cella.x(), cella.y());
        TqevChiaveVal chiave;
        if (!rec || rec->bBloccato || !chiaveDi(cella.x(), cella.y(), chiave))
            continue;
        const QPoint p = posizioni.value(chiave, QPoint(-1, -1));
        auto suo = p.x() >= 0 ? loro->RecordAt<TRecVal>(p.x(), p.y()) : nullptr;
        if (!suo || suo->bBloccato)
            continue;
        copiaValore(*suo, *rec, grGrid->Cells(cella.x(), cella.y()).trimmed().isEmpty());
        loro->setCells(p.x(), p.y(), suo->sValSDesc);
        loro->InvalidateCell(p.x(), p.y());
        riga = p.y();
    }
    if (riga >= 0 && RighePerAlunno(origine->TipoCar))
        origine->AggiornaMedia(riga);
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
    TfmqevSelItem *pick = TfmqevSelItem::Apri(this, grGrid);
    auto rec = grGrid->RecordAt<TRecVal>(grGrid->Col(), grGrid->Row());
    pick->ValIdCorrente = rec ? rec->iValId : 0;
    pick->PreparaSelItem(TipoDati);
    pick->Mostra();
}

bool TfrqevCarVot::accetta(int c, int r, bool &aggiornata, QString &motivo)
{
    aggiornata = false;
    auto rec = grGrid->RecordAt<TRecVal>(c, r);
    if (!rec || rec->bBloccato)
        return true;
    const QString typed = grGrid->Cells(c, r);
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return true;
    auto cmp = perLivello(TipoDati) ? grGrid->RecordAt<TRecCmp>(c, grGrid->nRowIntest() - 1)
                                    : nullptr;
    const TqevLivello *livello = nullptr;
    int ore = -1;
    bool valido = !TqevRegoleValori::ConControllo(typed);
    if (perLivello(TipoDati)) {
        // What is stored is accepted as it is: its level may have been deleted since.
        const bool memorizzato = text == rec->sValSDesc.trimmed();
        livello = cmp && !memorizzato ? m_store.Livello(cmp->iCmpScaId, text) : nullptr;
        valido = valido && (memorizzato || livello);
    } else if (TipoDati == tdAssenze) {
        ore = TqevRegoleValori::OreDigitate(text);
        valido = valido && TqevRegoleValori::OreValide(ore);
    } else {
        valido = valido && TqevRegoleValori::AiutoValido(text);
    }
    if (!valido) {
        motivo = QStringLiteral("Valore \"%1\" non valido: ").arg(leggibile(typed));
        if (perLivello(TipoDati)) {
            QStringList livelli;
            for (const TqevLivello &l : m_store.Livelli(cmp ? cmp->iCmpScaId : 0))
                livelli << l.sValSDesc.trimmed();
            const QString scala = cmp ? cmp->sScaDesc.trimmed() : QString();
            motivo += livelli.isEmpty() ? QStringLiteral("la scala %1 non ha livelli.").arg(scala)
                                        : QStringLiteral("la scala %1 accetta %2.")
                                              .arg(scala, livelli.join(QStringLiteral(", ")));
        } else {
            motivo += TipoDati == tdAssenze ? TqevRegoleValori::MotivoOre()
                                            : TqevRegoleValori::MotivoAiuto();
        }
        return false;
    }
    if (livello) {
        rec->iValId = livello->iValId;
        rec->sValSDesc = livello->sValSDesc;
        rec->sValLDesc = livello->sValLDesc;
        rec->iValDato = livello->iValDato;
        rec->bValSuff = livello->bValSuff;
        rec->bValInMed = livello->bValInMed;
    } else if (TipoDati == tdAssenze) {
        rec->iValId = ore;
        rec->sValSDesc = rec->sValLDesc = QString::number(ore);
        rec->iValDato = 0;
        rec->bValSuff = rec->bValInMed = true;
    } else if (TipoDati == tdAiuti) {
        rec->iValId = 0;
        rec->sValSDesc = rec->sValLDesc = text;
        rec->iValDato = 0;
        rec->bValSuff = rec->bValInMed = true;
    }
    rec->bBloccato = false;
    grGrid->InvalidateCell(c, r);
    aggiornata = true;
    return true;
}

void TfrqevCarVot::grGridSelectCell(int col, int row, bool &canSelect)
{
    TfrqevCarBs::grGridSelectCell(col, row, canSelect);
    if (row < grGrid->nRowIntest() || col < grGrid->nColIntest())
        return;
    bool aggiornata = false;
    QString motivo;
    canSelect = accetta(grGrid->Col(), grGrid->Row(), aggiornata, motivo);
    if (!canSelect)
        Rifiuta(motivo);
    if (aggiornata && (TipoDati == tdVoti || TipoDati == tdProposti || TipoDati == tdAssenze))
        AggiornaMedia(row);
}

bool TfrqevCarVot::ScriviCella(int col, int row, const QString &text)
{
    auto rec = grGrid->RecordAt<TRecVal>(col, row);
    if (!rec || rec->bBloccato)
        return false;
    const QString prima = grGrid->Cells(col, row);
    if (text.trimmed() == prima.trimmed())
        return true;
    grGrid->setCells(col, row, text);
    if (text.trimmed().isEmpty()) {
        azzera(col, row);
        return true;
    }
    bool aggiornata = false;
    QString motivo;
    if (!accetta(col, row, aggiornata, motivo)) {
        grGrid->setCells(col, row, prima);
        return false;
    }
    grGrid->SegnaModificata(col, row);
    return true;
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

bool TfrqevCarVot::CellaDiversa(int col, int row) const
{
    auto rec = grGrid->RecordAt<TRecVal>(col, row);
    if (!rec || rec->bBloccato)
        return false;
    const QString text = grGrid->Cells(col, row).trimmed();
    if (text.isEmpty())
        return rec->iPKId != 0;
    // A text typed and not yet checked differs from its record.
    return rec->iPKId == 0 || m_store.Cambiato(*rec) || text != rec->sValSDesc.trimmed();
}
