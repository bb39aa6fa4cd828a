#include "gradeentry/qevrcardeb.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevdebstore.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/fieldvalue.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QLocale>
#include <QToolBar>

namespace {

const QChar Backspace(8);

enum Colonna {
    colVtp = 1,
    colVot = 2,
    colDataAttr = 3,
    colTipo = 4,
    colDataVer = 5,
    colEsito = 6,
    colDocAttr = 7,
    colDocVer = 8,
    colNota = 9,
};

QString dataBreve(const QDateTime &date)
{
    return date.isValid() ? date.date().toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QString nota(const TRecDeb &rec)
{
    return rec.slNota.join(QString()).trimmed().isEmpty() ? QString() : QStringLiteral("Si");
}

// The default of a debt, as the global values keep it.
QDateTime dataGlobale(const char *name)
{
    const QDate date =
        parseFieldDate(xgvmGlobalVar.GetValues(QString::fromLatin1(name)).toString().trimmed());
    return date.isValid() ? date.startOfDay() : QDateTime();
}

int idGlobale(const char *name)
{
    return TVxWorkingContext::idOf(xgvmGlobalVar.GetValues(QString::fromLatin1(name)));
}

} // namespace

TfrqevCarDeb::TfrqevCarDeb(QWidget *parent) : TfrqevCarBs(parent)
{
    QAction *prima = FrameAction(QStringLiteral("tb2"));
    auto azione = [this, prima](const char *name, const char *button, const char *caption,
                                const char *hint, int image) {
        auto *action = new QAction(QString::fromUtf8(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(QString::fromUtf8(hint));
        SetImageIndex(action, image);
        xoaCustom()->insertAction(prima, action);
        if (QWidget *w = xoaCustom()->widgetForAction(action))
            w->setObjectName(QString::fromLatin1(button));
        return action;
    };
    aDebDef =
        azione("aDebDef", "ToolButton2", "Assegna debito", "Assegna debito con dati di default", 8);
    aDel = azione("aDel", "tbDel", "Cancella", "Cancella debito", 10);
    connect(aDebDef, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { aDebDefExecute(); }); });
    connect(aDel, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { aDelExecute(); }); });
}

void TfrqevCarDeb::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    dmqevDataSets->iChiaveFiltro = 0;
    TestoConferma = QStringLiteral("Confermi il salvataggio dei debiti?");
    // Nothing is typed into a debt: what is typed would not reach it.
    auto options = grGrid->Options();
    options.setFlag(TVxStringGrid::goEditing, false);
    grGrid->setOptions(options);
    dmqevDataSets->iAnsIdSel = dmqevDataSets->iAnsId;

    const bool perAlunni = TipoCar != tcDebiti;
    const TqevStringList &righe = perAlunni ? dmqevDataSets->slAlunni : dmqevDataSets->slMatAlu;
    // The pupils' list starts at item 0, the subjects' has an empty item 0.
    const int prima = perAlunni ? 0 : 1;
    grGrid->setnRowIntest(1);
    grGrid->setnColIntest(colDataAttr);
    grGrid->setColCount(colNota + 1);
    grGrid->setRowCount(1 + righe.Count() - prima);
    for (int i = prima; i < righe.Count(); ++i) {
        grGrid->setCells(0, 1 + i - prima, righe.Strings(i));
        grGrid->setObjects(0, 1 + i - prima, righe.Objects(i));
    }
    if (perAlunni) {
        // The subject of the window heads the pupils.
        grGrid->setObjects(0, 0, dmqevDataSets->slMatCls.Objects(1));
        grGrid->setCells(0, 0, dmqevDataSets->slMatCls.Strings(1));
    } else {
        grGrid->setCells(0, 0, QStringLiteral("Materia"));
    }
    static const struct
    {
        const char *header;
        int width;
    } colonne[] = {{"Voto prop.", 50},    {"Voto", 40},         {"Data attr.", 50},
                   {"Debito", 70},        {"Data Ver.", 50},    {"Esito", 70},
                   {"Docente attr.", 80}, {"Docente ver.", 80}, {"Nota", 30}};
    for (int c = colVtp; c <= colNota; ++c) {
        grGrid->setCells(c, 0, QString::fromLatin1(colonne[c - 1].header));
        grGrid->setColWidths(c, colonne[c - 1].width);
    }
    Carica();
    AggiornaMedia(grGrid->nRowIntest());
    SetCaption(QString());
    RefreshFrameCaption();
    if (medieDaGriglie())
        AggiornaMedieDaGriglie();
    ApplicaParVis();
}

std::shared_ptr<TRecDeb> TfrqevCarDeb::DebitoDi(int row) const
{
    return row >= grGrid->nRowIntest() ? grGrid->RecordAt<TRecDeb>(1, row) : nullptr;
}

bool TfrqevCarDeb::chiaveDi(int row, int &iAnaId, int &iMatId) const
{
    std::shared_ptr<TRecMat> mat;
    if (TipoCar == tcDebiti) {
        iAnaId = dmqevDataSets->iAnaId;
        mat = grGrid->RecordAt<TRecMat>(0, row);
    } else {
        auto ana = AlunnoDi(row);
        iAnaId = ana ? ana->iAnaId : 0;
        mat = grGrid->RecordAt<TRecMat>(0, 0);
    }
    // The subject lists of debts hold the subject's iMatId in their first field.
    iMatId = mat ? mat->iClsSesMatId : 0;
    return iAnaId != 0 && iMatId != 0;
}

bool TfrqevCarDeb::medieDaGriglie() const
{
    return dmqevDataSets->iSfiId == 2 && dmqevDataSets->iAnsIdSel == dmqevDataSets->iAnsId;
}

void TfrqevCarDeb::LoadData()
{
    grGrid->setModificato(false);
    TVxHourglass hourglass;
    const int iAnsId = dmqevDataSets->iAnsIdSel;
    const bool griglie = medieDaGriglie();
    TVxTransactionScope lettura(qqoVxGlobConn());
    int alunnoLetto = 0;
    QHash<int, TqevDebito> debiti;
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        int iAnaId = 0;
        int iMatId = 0;
        if (!chiaveDi(r, iAnaId, iMatId)) {
            grGrid->setObjects(1, r, nullptr);
            continue;
        }
        bool segue = true;
        if (TipoCar != tcDebiti) {
            // Pupils of one plan of studies share one read of their subjects.
            auto ana = AlunnoDi(r);
            dmqevDataSets->SetFiltroCaricamento(iAnaId, iAnsId, ana->iPstId, ListaMatAlu, true);
            segue = ContieneMateria(ListaMatAlu, iMatId);
        }
        auto rec = std::make_shared<TRecDeb>();
        InitCellaDebito(*rec, !segue);
        if (segue) {
            if (iAnaId != alunnoLetto) {
                debiti = TqevDebStore::Debiti(iAnaId, iAnsId);
                alunnoLetto = iAnaId;
            }
            rec->iMatId = iMatId;
            const auto found = debiti.constFind(iMatId);
            if (found != debiti.constEnd()) {
                const TqevDebito &d = found.value();
                rec->iDebId = d.iDebId;
                rec->dDebAttr = d.valori.dDebAttr;
                rec->dDebVer = d.valori.dDebVer;
                rec->iDtpDtdId = d.valori.iDtpDtdId;
                rec->sDtdLDesc = d.sDtdLDesc;
                rec->iDesDedId = d.valori.iDesDedId;
                rec->sDedLDesc = d.sDedLDesc;
                rec->iAnaId_Attr = d.valori.iAnaId_Attr;
                rec->sDocAttr = d.sDocAttr;
                rec->iAnaId_Ver = d.valori.iAnaId_Ver;
                rec->sDocVer = d.sDocVer;
                rec->bSufficiente = d.bSufficiente;
                rec->slNota = d.valori.sNota.isEmpty() ? QStringList()
                                                       : d.valori.sNota.split(QLatin1Char('\n'));
                rec->Salvato = d.valori;
            }
            // The final session's averages follow the pages of this window; the others are
            // read from what is stored.
            const bool daVoti = griglie && grVoti;
            const bool daProposti = griglie && grProposti;
            const TqevMedieDebito medie = daVoti && daProposti
                                              ? TqevMedieDebito()
                                              : TqevDebStore::Medie(iAnaId, iAnsId, iMatId);
            rec->sMedVot = daVoti ? MediaGriglia(*grVoti, iAnaId) : medie.sMedVot;
            rec->sMedVtp = daProposti ? MediaGriglia(*grProposti, iAnaId) : medie.sMedVtp;
        }
        grGrid->setObjects(1, r, rec);
        mostraRiga(r);
    }
    lettura.Commit();
    grGrid->setModificato(false);
    grGrid->Invalidate();
}

void TfrqevCarDeb::mostraRiga(int row)
{
    auto rec = DebitoDi(row);
    const bool vuota = !rec || rec->bBloccato;
    grGrid->setCells(colVtp, row, vuota ? QString() : rec->sMedVtp);
    grGrid->setCells(colVot, row, vuota ? QString() : rec->sMedVot);
    grGrid->setCells(colDataAttr, row, vuota ? QString() : dataBreve(rec->dDebAttr));
    grGrid->setCells(colTipo, row, vuota ? QString() : rec->sDtdLDesc);
    grGrid->setCells(colDataVer, row, vuota ? QString() : dataBreve(rec->dDebVer));
    grGrid->setCells(colEsito, row, vuota ? QString() : rec->sDedLDesc);
    grGrid->setCells(colDocAttr, row, vuota ? QString() : rec->sDocAttr);
    grGrid->setCells(colDocVer, row, vuota ? QString() : rec->sDocVer);
    grGrid->setCells(colNota, row, vuota ? QString() : nota(*rec));
    grGrid->InvalidateCell(colVtp, row);
}

QString TfrqevCarDeb::MediaGriglia(const TqelStringGrid &grid, int iAnaId)
{
    for (int r = grid.nRowIntest(); r < grid.RowCount(); ++r) {
        auto ana = grid.RecordAt<TRecAna>(0, r);
        if (!ana || ana->iAnaId != iAnaId)
            continue;
        double somma = 0;
        int conta = 0;
        for (int c = grid.nColIntest(); c < grid.ColCount(); ++c) {
            auto val = grid.RecordAt<TRecVal>(c, r);
            auto cmp = grid.RecordAt<TRecCmp>(c, grid.nRowIntest() - 1);
            // An emptied cell keeps its record's flags: only a value shown counts.
            if (!val || val->bBloccato || !val->bValInMed || !cmp || !cmp->bCmpScaInMedia ||
                grid.Cells(c, r).trimmed().isEmpty() || val->sValSDesc.trimmed().isEmpty())
                continue;
            somma += val->iValDato;
            ++conta;
        }
        if (conta == 0)
            return QString();
        QLocale italian(QLocale::Italian, QLocale::Italy);
        italian.setNumberOptions(QLocale::OmitGroupSeparator);
        return italian.toString(RoundTo(somma / conta, -2), 'g', QLocale::FloatingPointShortest);
    }
    return QString();
}

void TfrqevCarDeb::AggiornaMedieDaGriglie()
{
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto rec = DebitoDi(r);
        auto ana = AlunnoDi(r);
        if (!rec || rec->bBloccato || !ana)
            continue;
        if (grVoti)
            rec->sMedVot = MediaGriglia(*grVoti, ana->iAnaId);
        if (grProposti)
            rec->sMedVtp = MediaGriglia(*grProposti, ana->iAnaId);
        grGrid->setCells(colVtp, r, rec->sMedVtp);
        grGrid->setCells(colVot, r, rec->sMedVot);
    }
    grGrid->Invalidate();
}

QString TfrqevCarDeb::descriviRiga(int row) const
{
    if (TipoCar == tcDebiti) {
        auto mat = grGrid->RecordAt<TRecMat>(0, row);
        return QStringLiteral("Alunno: %1\rMateria: %2")
            .arg(dmqevDataSets->sNomeAlunno, mat ? mat->sMatLDesc : QString());
    }
    auto ana = AlunnoDi(row);
    auto mat = grGrid->RecordAt<TRecMat>(0, 0);
    return QStringLiteral("Alunno: %1\rMateria: %2")
        .arg(ana ? NomeAlunno(*ana) : QString(), mat ? mat->sMatLDesc : QString());
}

bool TfrqevCarDeb::SaveDataDb()
{
    const int iAnsId = dmqevDataSets->iAnsIdSel;
    QDate inizio;
    QDate fine;
    QList<TqevScrittura> scritture;
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto rec = DebitoDi(r);
        int iAnaId = 0;
        int iMatId = 0;
        // A subject the pupil does not take has no debt to write.
        if (!rec || rec->bBloccato || !chiaveDi(r, iAnaId, iMatId))
            continue;
        const TValDebito valori = TqevDebStore::Valori(*rec);
        const bool vuoto = TqevDebStore::Vuoto(valori);
        const int key = rec->iDebId;
        if ((key != 0 && valori == rec->Salvato) || (key == 0 && vuoto))
            continue;
        TqevScrittura s;
        s.cella = descriviRiga(r);
        auto nuova = std::make_shared<int>(key);
        if (vuoto) {
            s.esegui = [key](TVxTransaction &tr) { TqevDebStore::Cancella(tr, key); };
            *nuova = 0;
        } else if (key == 0) {
            if (!inizio.isValid()) {
                inizio = dmqevDataSets->GetAnnoScolField(iAnsId, QStringLiteral("dAnsVextoInizio"))
                             .toDate();
                fine = dmqevDataSets->GetAnnoScolField(iAnsId, QStringLiteral("dAnsVextoFine"))
                           .toDate();
            }
            s.esegui = [=](TVxTransaction &tr) {
                *nuova = TqevDebStore::Inserisci(tr, iAnaId, iAnsId, iMatId, valori, inizio, fine);
            };
        } else {
            s.esegui = [rec, key, valori](TVxTransaction &tr) {
                if (TqevDebStore::Aggiorna(tr, key, valori))
                    return;
                // The other office's deletion is committed: the record has no row any more.
                rec->iDebId = 0;
                rec->Salvato = TValDebito();
                throw ValoreCancellatoAltrove();
            };
        }
        s.salvata = [rec, nuova, valori, iMatId, vuoto] {
            rec->iDebId = *nuova;
            rec->iMatId = iMatId;
            rec->Salvato = vuoto ? TValDebito() : valori;
        };
        scritture.append(s);
    }
    if (!SalvaScritture(scritture))
        return false;
    grGrid->setModificato(false);
    return true;
}

void TfrqevCarDeb::LoadFromClassForm()
{
    // The pupil window keeps its debts page hidden: no frame ever loads a pupil's debts from
    // another window's grid.
    LoadData();
}

void TfrqevCarDeb::SetReadOnly(bool value)
{
    m_readOnly = value;
    for (QAction *a : {aSave, aFormSel, aDebDef, aDel})
        a->setEnabled(!value);
}

void TfrqevCarDeb::aFormSelExecute()
{
    TfrqevCarBs::aFormSelExecute();
    auto rec = DebitoDi(grGrid->Row());
    if (!rec || rec->bBloccato || m_readOnly || grGrid->Col() < colDataAttr)
        return;
    TfmqevSelItem *pick = TfmqevSelItem::Apri(this, grGrid);
    switch (grGrid->Col()) {
    case colDataAttr:
        pick->SetDataSelItem(rec->dDebAttr.date());
        pick->PreparaSelItem(TfmqevSelItem::skDataAttr);
        break;
    case colTipo:
        pick->ValIdCorrente = rec->iDtpDtdId;
        pick->PreparaSelItem(TfmqevSelItem::skTipoDebito);
        break;
    case colDataVer:
        pick->SetDataSelItem(rec->dDebVer.date());
        pick->PreparaSelItem(TfmqevSelItem::skDataVer);
        break;
    case colEsito:
        pick->ValIdCorrente = rec->iDesDedId;
        pick->PreparaSelItem(TfmqevSelItem::skEsitoDebito);
        break;
    case colDocAttr:
        pick->ValIdCorrente = rec->iAnaId_Attr;
        pick->PreparaSelItem(TfmqevSelItem::skDocAttr);
        break;
    case colDocVer:
        pick->ValIdCorrente = rec->iAnaId_Ver;
        pick->PreparaSelItem(TfmqevSelItem::skDocVer);
        break;
    default:
        pick->SetTestoNota(rec->slNota.join(QLatin1Char('\n')));
        pick->PreparaSelItem(TfmqevSelItem::skNotaDebito);
        break;
    }
    pick->Mostra();
}

void TfrqevCarDeb::grGridKeyPress(QChar &key)
{
    if (key != Backspace || m_readOnly)
        return;
    const int row = grGrid->Row();
    auto rec = DebitoDi(row);
    if (!rec || rec->bBloccato)
        return;
    const TValDebito prima = TqevDebStore::Valori(*rec);
    switch (grGrid->Col()) {
    case colDataAttr:
        rec->dDebAttr = QDateTime();
        break;
    case colTipo:
        rec->iDtpDtdId = 0;
        rec->sDtdLDesc.clear();
        break;
    case colDataVer:
        rec->dDebVer = QDateTime();
        break;
    case colEsito:
        rec->iDesDedId = 0;
        rec->sDedLDesc.clear();
        break;
    case colDocAttr:
        rec->iAnaId_Attr = 0;
        rec->sDocAttr.clear();
        break;
    case colDocVer:
        rec->iAnaId_Ver = 0;
        rec->sDocVer.clear();
        break;
    case colNota:
        rec->slNota.clear();
        break;
    default:
        return;
    }
    if (TqevDebStore::Valori(*rec) == prima)
        return;
    mostraRiga(row);
    grGrid->SegnaModificata(grGrid->Col(), row);
    AggiornaMedia(row);
}

void TfrqevCarDeb::aDebDefExecute()
{
    const int row = grGrid->Row();
    auto rec = DebitoDi(row);
    int iAnaId = 0;
    int iMatId = 0;
    if (!rec || rec->bBloccato || m_readOnly || !chiaveDi(row, iAnaId, iMatId))
        return;
    rec->dDebAttr = dataGlobale("QELP_CarDeb_dAttr");
    rec->dDebVer = dataGlobale("QELP_CarDeb_dVer");
    rec->iDtpDtdId = idGlobale("QELP_CarDeb_Dtd");
    rec->iDesDedId = idGlobale("QELP_CarDeb_Ded");
    rec->iMatId = iMatId;
    rec->sDtdLDesc = rec->iDtpDtdId != 0 ? TqevDebStore::TestoTipo(rec->iDtpDtdId) : QString();
    rec->sDedLDesc = rec->iDesDedId != 0 ? TqevDebStore::TestoEsito(rec->iDesDedId) : QString();
    const TqevDocente docente = TqevDebStore::DocenteMateria(dmqevDataSets->iClsId, iMatId);
    rec->iAnaId_Attr = rec->iAnaId_Ver = docente.iAnaId;
    rec->sDocAttr = rec->sDocVer = docente.sDocNome;
    mostraRiga(row);
    grGrid->SegnaModificata(grGrid->Col(), row);
    AggiornaMedia(row);
}

void TfrqevCarDeb::aDelExecute()
{
    const int row = grGrid->Row();
    auto rec = DebitoDi(row);
    if (!rec || rec->bBloccato || m_readOnly)
        return;
    if (VxMessageDlg(QStringLiteral("Confermi la cancellazione del debito?"), mtConfirmation,
                     mbYesNo) != mrYes)
        return;
    const int iDebId = rec->iDebId;
    const TValDebito salvato = rec->Salvato;
    const QString sMedVot = rec->sMedVot;
    const QString sMedVtp = rec->sMedVtp;
    InitCellaDebito(*rec, false);
    rec->iDebId = iDebId;
    rec->Salvato = salvato;
    // The averages belong to the subject, not to the debt.
    rec->sMedVot = sMedVot;
    rec->sMedVtp = sMedVtp;
    mostraRiga(row);
    grGrid->SegnaModificata(grGrid->Col(), row);
    AggiornaMedia(row);
}

void TfrqevCarDeb::grGridSelectCell(int col, int row, bool &canSelect)
{
    TfrqevCarBs::grGridSelectCell(col, row, canSelect);
    canSelect = true;
    if (row >= grGrid->nRowIntest())
        AggiornaMedia(row);
}

void TfrqevCarDeb::FrameEnter()
{
    TfrqevCarBs::FrameEnter();
    if (medieDaGriglie() && (grVoti || grProposti) && TipoCar == tcMateria)
        AggiornaMedieDaGriglie();
}
