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
    return rec.slNota.join(QString()).trimmed().isEmpty() ? QString() : QStringLiteral("Sì");
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
    aDebDef = AzioneStrumenti("aDebDef", "ToolButton2", "Assegna debito",
                              "Assegna debito con dati di default", 8);
    aDel = AzioneStrumenti("aDel", "tbDel", "Cancella", "Cancella debito", 10);
    connect(aDebDef, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { aDebDefExecute(); }); });
    connect(aDel, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { aDelExecute(); }); });
}

void TfrqevCarDeb::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    TestoConferma = QStringLiteral("Confermi il salvataggio dei debiti?");
    // Nothing is typed into a debt: what is typed would not reach it.
    auto options = grGrid->Options();
    options.setFlag(TVxStringGrid::goEditing, false);
    grGrid->setOptions(options);
    dmqevDataSets->iAnsIdSel = dmqevDataSets->iAnsId;

    if (TipoCar == tcClasse)
        layoutClasse();
    else
        layoutRighe();
    Carica();
    AggiornaMedia(grGrid->nRowIntest());
    SetCaption(QString());
    RefreshFrameCaption();
    if (medieDaGriglie())
        AggiornaMedieDaGriglie();
    ApplicaParVis();
    // The columns of a pupil's or a subject's debts are at least as wide as their titles;
    // every column as what it shows.
    grGrid->AdattaLarghezze([this](int col) {
        return TipoCar == tcClasse ? QStringList() : QStringList{grGrid->Cells(col, 0)};
    });
}

void TfrqevCarDeb::layoutRighe()
{
    // Per subject the class's pupils under the window's subject; per pupil his subjects.
    const bool perAlunni = TipoCar == tcMateria;
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
        grGrid->setLarghezza(c, colonne[c - 1].width);
    }
}

void TfrqevCarDeb::layoutClasse()
{
    // The class's pupils by the class's subjects, one debt per cell.
    const TqevStringList &alunni = dmqevDataSets->slAlunni;
    const TqevStringList &materie = dmqevDataSets->slMatCls;
    grGrid->setnRowIntest(1);
    grGrid->setnColIntest(1);
    grGrid->setRowCount(1 + alunni.Count());
    grGrid->setColCount(std::max(1, int(materie.Count())));
    for (int i = 0; i < alunni.Count(); ++i) {
        grGrid->setCells(0, 1 + i, alunni.Strings(i));
        grGrid->setObjects(0, 1 + i, alunni.Objects(i));
    }
    for (int c = 1; c < materie.Count(); ++c) {
        grGrid->setCells(c, 0, materie.Strings(c));
        grGrid->setObjects(c, 0, materie.Objects(c));
    }
}

std::shared_ptr<TRecDeb> TfrqevCarDeb::DebitoDi(int col, int row) const
{
    if (row < grGrid->nRowIntest() || (TipoCar == tcClasse && col < grGrid->nColIntest()))
        return nullptr;
    return grGrid->RecordAt<TRecDeb>(TipoCar == tcClasse ? col : 1, row);
}

std::shared_ptr<TRecDeb> TfrqevCarDeb::DebitoCorrente() const
{
    return DebitoDi(grGrid->Col(), grGrid->Row());
}

QList<QPoint> TfrqevCarDeb::Posizioni() const
{
    QList<QPoint> posizioni;
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        if (TipoCar != tcClasse) {
            posizioni << QPoint(1, r);
            continue;
        }
        for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c)
            posizioni << QPoint(c, r);
    }
    return posizioni;
}

bool TfrqevCarDeb::chiaveDi(int col, int row, int &iAnaId, int &iMatId) const
{
    std::shared_ptr<TRecMat> mat;
    if (TipoCar == tcAlunno || TipoCar == tcDebiti) {
        iAnaId = dmqevDataSets->iAnaId;
        mat = grGrid->RecordAt<TRecMat>(0, row);
    } else {
        auto ana = AlunnoDi(row);
        iAnaId = ana ? ana->iAnaId : 0;
        mat = grGrid->RecordAt<TRecMat>(TipoCar == tcClasse ? col : 0, 0);
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
    // One read of the debts, one of their averages: the class's, or the pupil's.
    const bool perAlunni = RighePerAlunno(TipoCar);
    const int iAnaId = perAlunni ? 0 : dmqevDataSets->iAnaId;
    const int iClsId = perAlunni ? dmqevDataSets->iClsId : 0;
    TVxTransactionScope lettura(qqoVxGlobConn());
    const TqevDebitiAnno debiti = TqevDebStore::Debiti(iAnsId, iAnaId, iClsId);
    // The final session's averages follow the pages of this window; the others are read from
    // what is stored. The class grid shows none.
    const bool medieLette = TipoCar != tcClasse && !(griglie && grVoti && grProposti);
    const QHash<QPair<int, int>, TqevMedieDebito> medie =
        medieLette ? TqevDebStore::Medie(iAnsId, iAnaId, iClsId)
                   : QHash<QPair<int, int>, TqevMedieDebito>();
    for (const QPoint p : Posizioni()) {
        const int c = p.x(), r = p.y();
        int alunno = 0;
        int iMatId = 0;
        if (!chiaveDi(c, r, alunno, iMatId)) {
            grGrid->setObjects(c, r, nullptr);
            continue;
        }
        // A pupil's own subjects all apply; the class's and the window's subject may not.
        bool segue = true;
        if (perAlunni) {
            dmqevDataSets->SetFiltroCaricamento(alunno, iAnsId, ListaMatAlu, true);
            segue = ContieneMateria(ListaMatAlu, iMatId);
        }
        auto rec = std::make_shared<TRecDeb>();
        InitCellaDebito(*rec, !segue);
        if (segue) {
            rec->iMatId = iMatId;
            const QHash<int, TqevDebito> delAlunno = debiti.value(alunno);
            const auto found = delAlunno.constFind(iMatId);
            if (found != delAlunno.constEnd()) {
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
            if (TipoCar != tcClasse) {
                const TqevMedieDebito m = medie.value({alunno, iMatId});
                rec->sMedVot = griglie && grVoti ? MediaGriglia(*grVoti, alunno) : m.sMedVot;
                rec->sMedVtp =
                    griglie && grProposti ? MediaGriglia(*grProposti, alunno) : m.sMedVtp;
            }
        }
        grGrid->setObjects(c, r, rec);
        mostra(c, r);
    }
    lettura.Commit();
    grGrid->setModificato(false);
    grGrid->Invalidate();
}

void TfrqevCarDeb::mostra(int col, int row)
{
    if (TipoCar != tcClasse) {
        mostraRiga(row);
        return;
    }
    // The class grid shows a debt by its type; a debt without one still shows.
    auto rec = DebitoDi(col, row);
    QString text;
    if (rec && !rec->bBloccato && !TqevDebStore::Vuoto(TqevDebStore::Valori(*rec)))
        text = rec->sDtdLDesc.isEmpty() ? QStringLiteral("Sì") : rec->sDtdLDesc;
    grGrid->setCells(col, row, text);
}

void TfrqevCarDeb::mostraRiga(int row)
{
    auto rec = DebitoDi(1, row);
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
    if (TipoCar != tcMateria)
        return;
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto rec = DebitoDi(1, r);
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

QString TfrqevCarDeb::descrivi(int col, int row) const
{
    const bool perAlunno = TipoCar == tcAlunno || TipoCar == tcDebiti;
    auto mat = grGrid->RecordAt<TRecMat>(perAlunno             ? 0
                                         : TipoCar == tcClasse ? col
                                                               : 0,
                                         perAlunno ? row : 0);
    auto ana = AlunnoDi(row);
    const QString alunno =
        perAlunno ? dmqevDataSets->sNomeAlunno : (ana ? NomeAlunno(*ana) : QString());
    return QStringLiteral("Alunno: %1\rMateria: %2").arg(alunno, mat ? mat->sMatLDesc : QString());
}

bool TfrqevCarDeb::SaveDataDb()
{
    const int iAnsId = dmqevDataSets->iAnsIdSel;
    auto date = std::make_shared<TqevDateNuoveRighe>();
    QList<TqevScrittura> scritture;
    for (const QPoint p : Posizioni()) {
        auto rec = DebitoDi(p.x(), p.y());
        int iAnaId = 0;
        int iMatId = 0;
        // A subject the pupil does not take has no debt to write.
        if (!rec || rec->bBloccato || !chiaveDi(p.x(), p.y(), iAnaId, iMatId))
            continue;
        const TValDebito valori = TqevDebStore::Valori(*rec);
        const bool vuoto = TqevDebStore::Vuoto(valori);
        const int key = rec->iDebId;
        if ((key != 0 && valori == rec->Salvato) || (key == 0 && vuoto))
            continue;
        TqevScrittura s;
        s.cella = descrivi(p.x(), p.y());
        s.id = TqevDebStore::Id(iAnaId, iMatId);
        // A deletion goes only where no attribute changed since; a change only where the
        // attributes it changes are as read: another office's change of another attribute stays.
        s.letta = TqevDebStore::Letta(key, rec->Salvato, vuoto ? nullptr : &valori);
        s.cancella = vuoto;
        auto nuova = std::make_shared<int>(key);
        if (vuoto) {
            s.esegui = [key](TVxTransaction &tr) { TqevDebStore::Cancella(tr, key); };
            *nuova = 0;
        } else if (key == 0) {
            s.esegui = [=](TVxTransaction &tr) {
                const TqevDateAnno &anno = date->Date();
                *nuova = TqevDebStore::Inserisci(tr, iAnaId, iAnsId, iMatId, valori, anno.inizio,
                                                 anno.fine);
            };
        } else {
            const TValDebito salvato = rec->Salvato;
            s.esegui = [key, valori, salvato](TVxTransaction &tr) {
                TqevDebStore::Aggiorna(tr, key, valori, &salvato);
            };
        }
        // Saving again writes the debt as shown over the other office's row, deletes it, or
        // stores it anew where the other office deleted it.
        s.cambiata = [rec](const TVxRiga &ora) {
            rec->iDebId = ora.chiave;
            rec->Salvato = ora.chiave != 0 ? TqevDebStore::ValoriDi(ora) : TValDebito();
        };
        s.salvata = [rec, nuova, valori, iMatId, vuoto] {
            rec->iDebId = *nuova;
            rec->iMatId = iMatId;
            rec->Salvato = vuoto ? TValDebito() : valori;
        };
        scritture.append(s);
    }
    // The debts of the grid's pupils, as LoadData reads them.
    const bool perAlunni = RighePerAlunno(TipoCar);
    const int iAnaId = perAlunni ? 0 : dmqevDataSets->iAnaId;
    const int iClsId = perAlunni ? dmqevDataSets->iClsId : 0;
    TqevVerifica verifica;
    verifica.leggi = [iAnsId, iAnaId, iClsId](TVxTransaction &) {
        return TqevDebStore::Righe(iAnsId, iAnaId, iClsId);
    };
    return SalvaGriglia(scritture, verifica);
}

TfrqevCarDeb *TfrqevCarDeb::frameClasse() const
{
    return TipoCar == tcAlunno ? qobject_cast<TfrqevCarDeb *>(FrameClasseAlunno()) : nullptr;
}

// The pupil's debts as the class window holds them, unsaved ones too, subject by subject.
void TfrqevCarDeb::LoadFromClassForm()
{
    TfrqevCarBs::LoadFromClassForm();
    LoadData();
    TfrqevCarDeb *cls = frameClasse();
    const int riga = RigaCls1;
    if (!cls)
        return;
    for (int c = cls->grGrid->nColIntest(); c < cls->grGrid->ColCount(); ++c) {
        auto loro = cls->DebitoDi(c, riga);
        const int r = rigaMateria(loro ? loro->iMatId : 0);
        auto mio = DebitoDi(1, r);
        if (!loro || !mio || loro->bBloccato)
            continue;
        const QString sMedVot = mio->sMedVot;
        const QString sMedVtp = mio->sMedVtp;
        *mio = *loro;
        mio->sMedVot = sMedVot;
        mio->sMedVtp = sMedVtp;
        mostraRiga(r);
    }
}

// After a save the class window shows, and holds as stored, what this window saved.
void TfrqevCarDeb::UpdateClassForm()
{
    TfrqevCarDeb *cls = frameClasse();
    const int riga = RigaCls1;
    if (!cls)
        return;
    for (int c = cls->grGrid->nColIntest(); c < cls->grGrid->ColCount(); ++c) {
        auto loro = cls->DebitoDi(c, riga);
        auto mio = DebitoDi(1, rigaMateria(loro ? loro->iMatId : 0));
        if (!loro || !mio || loro->bBloccato)
            continue;
        *loro = *mio;
        cls->mostra(c, riga);
    }
    cls->grGrid->Invalidate();
}

int TfrqevCarDeb::rigaMateria(int iMatId) const
{
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount() && iMatId != 0; ++r) {
        auto mat = grGrid->RecordAt<TRecMat>(0, r);
        if (mat && mat->iClsSesMatId == iMatId)
            return r;
    }
    return -1;
}

void TfrqevCarDeb::SetReadOnly(bool value)
{
    m_readOnly = value;
    for (QAction *a : {aSave, aFormSel, aDebDef, aDel})
        a->setEnabled(!value);
}

int TfrqevCarDeb::colonnaAttributo() const
{
    // The class grid's cells show, and take, the debt's type.
    return TipoCar == tcClasse ? int(colTipo) : grGrid->Col();
}

void TfrqevCarDeb::aFormSelExecute()
{
    TfrqevCarBs::aFormSelExecute();
    auto rec = DebitoCorrente();
    const int attributo = colonnaAttributo();
    if (!rec || rec->bBloccato || m_readOnly || attributo < colDataAttr)
        return;
    TfmqevSelItem *pick = TfmqevSelItem::Apri(this, grGrid);
    pick->PreparaDebito(*rec, attributo);
    pick->Mostra();
}

void TfrqevCarDeb::grGridKeyPress(QChar &key)
{
    if (key != Backspace || m_readOnly)
        return;
    const int col = grGrid->Col();
    const int row = grGrid->Row();
    auto rec = DebitoCorrente();
    if (!rec || rec->bBloccato)
        return;
    const TValDebito prima = TqevDebStore::Valori(*rec);
    switch (colonnaAttributo()) {
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
    cambiata(col, row);
}

void TfrqevCarDeb::cambiata(int col, int row)
{
    mostra(col, row);
    grGrid->SegnaModificata(col, row);
    AggiornaMedia(row);
}

void TfrqevCarDeb::aDebDefExecute()
{
    const int col = grGrid->Col();
    const int row = grGrid->Row();
    auto rec = DebitoCorrente();
    int iAnaId = 0;
    int iMatId = 0;
    if (!rec || rec->bBloccato || m_readOnly || !chiaveDi(col, row, iAnaId, iMatId))
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
    cambiata(col, row);
}

void TfrqevCarDeb::aDelExecute()
{
    const int col = grGrid->Col();
    const int row = grGrid->Row();
    auto rec = DebitoCorrente();
    if (!rec || rec->bBloccato || m_readOnly)
        return;
    // Whose debt goes, and in which subject: the cursor may stand far from where the office
    // last looked.
    if (VxMessageDlg(QStringLiteral("Confermi la cancellazione del debito?\r\r") +
                         descrivi(col, row),
                     mtConfirmation, mbYesNo, 0, mrNo) != mrYes)
        return;
    const int iDebId = rec->iDebId;
    const int iMatId = rec->iMatId;
    const TValDebito salvato = rec->Salvato;
    const QString sMedVot = rec->sMedVot;
    const QString sMedVtp = rec->sMedVtp;
    InitCellaDebito(*rec, false);
    rec->iDebId = iDebId;
    rec->iMatId = iMatId;
    rec->Salvato = salvato;
    // The averages belong to the subject, not to the debt.
    rec->sMedVot = sMedVot;
    rec->sMedVtp = sMedVtp;
    cambiata(col, row);
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

bool TfrqevCarDeb::CellaDiversa(int col, int row) const
{
    auto rec = DebitoDi(col, row);
    if (!rec || rec->bBloccato)
        return false;
    const TValDebito valori = TqevDebStore::Valori(*rec);
    return rec->iDebId != 0 ? !(valori == rec->Salvato) : !TqevDebStore::Vuoto(valori);
}
