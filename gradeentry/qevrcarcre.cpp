#include "gradeentry/qevrcarcre.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcrelista.h"
#include "gradeentry/qevregolevalori.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>
#include <map>

namespace {

const QChar Backspace(8);

// Per pupil: the columns after the year, class, average and band texts.
constexpr int kColPerMedia = 5;
constexpr int kColCredito = 6;
constexpr int kColRecup = 7;
constexpr int kColNota = 8;

const struct
{
    const char *name;
    const char *caption;
} kModi[] = {{"aCrePerMedia", "Credito per media"},
             {"aCreFrmSco", "Credito Formativo e Scolastico"},
             {"aCreSosp", "Credito sospeso"},
             {"aCreRecup", "Credito recuperato"},
             {"aCredito", "Credito"},
             {"aEncomio", "Encomio"},
             {"aCreNota", "Nota"}};

QString numero(int value)
{
    return value != 0 ? QString::number(value) : QString();
}

QString media(double value)
{
    if (value == 0)
        return QString();
    QLocale italian(QLocale::Italian, QLocale::Italy);
    italian.setNumberOptions(QLocale::OmitGroupSeparator);
    return italian.toString(RoundTo(value, -2), 'g', QLocale::FloatingPointShortest);
}

bool conNota(const TRecCre &rec)
{
    return !rec.lsNota.join(QString()).trimmed().isEmpty();
}

// The first and last day of a year's new rows, read once per year and save.
class DateAnni
{
public:
    std::pair<QDate, QDate> di(int iAnsId)
    {
        auto it = m_date.find(iAnsId);
        if (it != m_date.end())
            return it->second;
        auto campo = [iAnsId](const char *name) {
            return dmqevDataSets->GetAnnoScolField(iAnsId, QString::fromLatin1(name)).toDate();
        };
        return m_date[iAnsId] = {campo("dAnsVextoInizio"), campo("dAnsVextoFine")};
    }

private:
    std::map<int, std::pair<QDate, QDate>> m_date;
};

} // namespace

TfrqevCarCre::TfrqevCarCre(QWidget *parent)
    : TfrqevCarBs(parent), paFrmSco(new QWidget), frqevCreSco(new TfrqevCreSco),
      frqevCreFrm(new TfrqevCreFrm), tbSelCar(new QToolButton), pmCrediti(new QMenu(this)),
      m_divisore(new QSplitter), m_liste(new QSplitter)
{
    // The grid with its help panel on one side, the check lists on the other.
    auto *griglia = grGrid->parentWidget();
    FrameLayout()->replaceWidget(griglia, m_divisore);
    m_divisore->setObjectName(QStringLiteral("spFrmSco"));
    m_divisore->addWidget(griglia);
    m_divisore->addWidget(paFrmSco);
    m_divisore->setChildrenCollapsible(false);
    paFrmSco->setObjectName(QStringLiteral("paFrmSco"));
    auto *pannello = new QVBoxLayout(paFrmSco);
    pannello->setContentsMargins(0, 0, 0, 0);
    pannello->addWidget(m_liste);
    m_liste->setObjectName(QStringLiteral("spFrmSco1"));
    m_liste->addWidget(frqevCreSco);
    m_liste->addWidget(frqevCreFrm);
    m_liste->setChildrenCollapsible(false);
    // The keyboard reaches the lists from the grid: Tab on its last cell, Shift+Tab back.
    grGrid->setOptions(grGrid->Options() | TVxStringGrid::goTabLeaves);
    setTabOrder(grGrid, frqevCreSco->clbLista);
    setTabOrder(frqevCreSco->clbLista, frqevCreFrm->clbLista);

    tbSelCar->setObjectName(QStringLiteral("tbSelCar"));
    tbSelCar->setToolTip(QStringLiteral("Dato visualizzato"));
    tbSelCar->setPopupMode(QToolButton::InstantPopup);
    tbSelCar->setMenu(pmCrediti);
    pmCrediti->setObjectName(QStringLiteral("pmCrediti"));
    xoaCustom()
        ->insertWidget(FrameAction(QStringLiteral("tb2")), tbSelCar)
        ->setObjectName(QStringLiteral("aSelCar"));
    aCalcCreMed = AzioneStrumenti("aCalcCreMed", "tbCalc", "Calcola credito per media",
                                  "Calcola credito per media", 6);
    aCreMin = AzioneStrumenti("aCreMin", "tbCreMin", "Credito minimo", "Assegna credito minimo", 7);
    aCreMax =
        AzioneStrumenti("aCreMax", "tbCreMax", "Credito massimo", "Assegna credito massimo", 7);
    connect(aCalcCreMed, &QAction::triggered, this, [this] {
        RunShowingErrors([this] { CalcolaCredito(dmqevParVis->gSetMaxCre(TipoCar)); });
    });
    connect(aCreMin, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { CalcolaCredito(false); }); });
    connect(aCreMax, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { CalcolaCredito(true); }); });

    for (int modo = 0; modo < int(std::size(kModi)); ++modo) {
        auto *action = pmCrediti->addAction(QString::fromUtf8(kModi[modo].caption));
        action->setObjectName(QString::fromLatin1(kModi[modo].name));
        AzioniModo << action;
        connect(action, &QAction::triggered, this, [this, modo] {
            RunShowingErrors([this, modo] {
                SetCaption(AzioniModo[modo]->text() + QLatin1Char(' '));
                RefreshFrameCaption();
                VisualizzaModo(modo);
            });
        });
    }

    grGrid->OnDrawCell = [this](QPainter &painter, int col, int row, const QRect &rect,
                                TGridDrawState) { disegna(painter, col, row, rect); };
    // A tick the database refused is unsaved work of the page: closing asks about it, and the
    // page's save stores it.
    for (TfrqevCreLista *lista : {frqevCreSco, frqevCreFrm})
        lista->OnNonSalvata = [this] { grGrid->setModificato(true); };
}

TfrqevCarCre::~TfrqevCarCre() = default;

std::shared_ptr<TRecCre> TfrqevCarCre::RecordDi(int col, int row) const
{
    return std::dynamic_pointer_cast<TRecCre>(grGrid->RecordOf(col, row));
}

void TfrqevCarCre::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    TestoConferma = QStringLiteral("Confermi il salvataggio dei crediti?");
    m_righeCreate = false;
    iCreIdCorrente = 0;
    leggiAnni();
    const bool perClasse = TipoCar == tcClasse;
    // Per class the lists stand right of the grid, one above the other; per pupil below it,
    // side by side.
    m_divisore->setOrientation(perClasse ? Qt::Horizontal : Qt::Vertical);
    m_liste->setOrientation(perClasse ? Qt::Vertical : Qt::Horizontal);
    if (perClasse)
        layoutPerAlunni();
    else
        layoutPerAnni();
    ModoCre = mcCredito;
    tbSelCar->setText(AzioniModo[ModoCre]->text());
    // Per pupil every value has its column: the modes are the class grid's.
    if (QAction *selCar = FrameAction(QStringLiteral("aSelCar")))
        selCar->setVisible(perClasse);
    frqevCreSco->SetCredito(0, 0);
    frqevCreFrm->SetCredito(0, 0);
    Carica();
    // A pupil's years read whole, the headers ("Integrazione") too, whatever width is stored.
    if (!perClasse)
        grGrid->AdattaLarghezze();
    AggiornaMedia(grGrid->nRowIntest());
    aFormSel->setEnabled(false);
    tbSelCar->setEnabled(grGrid->ColCount() > 1);
    SetCaption(perClasse ? QStringLiteral("Credito") : QString());
    RefreshFrameCaption();
    aggiornaCella();
}

void TfrqevCarCre::aggiornaCella()
{
    // The commands of the cell under the cursor, which may not have moved since the load.
    bool canSelect = true;
    grGridSelectCell(grGrid->Col(), grGrid->Row(), canSelect);
}

void TfrqevCarCre::leggiAnni()
{
    ListaAnni = {QString()};
    TipiBanda = {0};
    m_bande = TqevCreStore::Bande(dmqevDataSets->iClsSesId);
    m_bandeCorsi = TqevCreStore::BandeDeiCorsi();
    // A band's key carries its type in thousands: the class session's first band tells how
    // many band types (course years with credits) there are.
    const int tipi = m_bande.isEmpty() ? 0 : m_bande.first().iBndId / 1000;
    const QMap<int, int> anni = TqevCreStore::AnniCorso(dmqevDataSets->iClsSesId);
    for (int tipo = 1; tipo <= tipi; ++tipo) {
        if (!anni.contains(tipo))
            continue;
        ListaAnni << QString::number(anni.value(tipo)) + QStringLiteral(" Anno");
        TipiBanda << tipo;
    }
}

void TfrqevCarCre::layoutPerAlunni()
{
    const TqevStringList &alunni = dmqevDataSets->slAlunni;
    grGrid->setnRowIntest(1);
    grGrid->setnColIntest(1);
    grGrid->setRowCount(1 + alunni.Count());
    grGrid->setColCount(int(ListaAnni.size()));
    for (int c = 1; c < ListaAnni.size(); ++c)
        grGrid->setCells(c, 0, ListaAnni[c]);
    for (int i = 0; i < alunni.Count(); ++i) {
        grGrid->setCells(0, 1 + i, alunni.Strings(i));
        grGrid->setObjects(0, 1 + i, alunni.Objects(i));
    }
}

void TfrqevCarCre::layoutPerAnni()
{
    static const struct
    {
        const char *header;
        int width;
    } colonne[] = {{"Anno", 60},    {"Classe", 60},       {"Media", 60},
                   {"Banda", 40},   {"Min-Max", 50},      {"Cr. media", 50},
                   {"Credito", 50}, {"Integrazione", 60}, {"Nota", 30}};
    grGrid->setColCount(int(std::size(colonne)));
    grGrid->setRowCount(int(ListaAnni.size()));
    grGrid->setnRowIntest(1);
    grGrid->setnColIntest(kColPerMedia);
    for (int c = 0; c < int(std::size(colonne)); ++c) {
        grGrid->setCells(c, 0, QString::fromLatin1(colonne[c].header));
        grGrid->setLarghezza(c, colonne[c].width);
    }
    for (int r = 1; r < ListaAnni.size(); ++r)
        grGrid->setCells(0, r, ListaAnni[r]);
}

void TfrqevCarCre::LoadData()
{
    grGrid->setModificato(false);
    iCreIdCorrente = 0;
    TVxHourglass hourglass;
    // The first credit row of each band type is the course year's (latest class first).
    auto credito = [](const QList<std::shared_ptr<TRecCre>> &righe, int tipo) {
        for (const auto &rec : righe) {
            if (rec->iTbnId == tipo)
                return rec;
        }
        auto vuoto = std::make_shared<TRecCre>();
        vuoto->iTbnId = tipo;
        InitRigaCredito(*vuoto);
        return vuoto;
    };
    // Of the class session's year, only the pupil's situation in this class is this class's
    // to write: the row of his situation in another class (a pupil who moved, his other row
    // marked to count) is locked, or a calculation here would average the wrong situation.
    const int iAnsId = dmqevDataSets->iAnsId;
    auto blocca = [iAnsId](TRecCre &rec, int iSitIdClasse) {
        rec.bAltraClasse = rec.iSitId != 0 && rec.iAnsId == iAnsId && rec.iSitId != iSitIdClasse;
    };
    TVxTransactionScope lettura(qqoVxGlobConn());
    if (TipoCar == tcClasse) {
        const auto classe = TqevCreStore::Crediti(0, dmqevDataSets->iClsId);
        for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
            auto ana = AlunnoDi(r);
            if (!ana)
                continue;
            const auto righe = classe.value(ana->iAnaId);
            for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
                auto rec = credito(righe, TipiBanda.value(c));
                blocca(*rec, ana->iSitId);
                grGrid->setObjects(c, r, rec);
                grGrid->setCells(c, r, testoModo(*rec, ModoCre));
            }
        }
    } else {
        const auto righe =
            TqevCreStore::Crediti(dmqevDataSets->iAnaId).value(dmqevDataSets->iAnaId);
        for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
            auto rec = credito(righe, TipiBanda.value(r));
            blocca(*rec, dmqevDataSets->iSitId);
            grGrid->setObjects(1, r, rec);
            mostraRiga(r);
        }
    }
    lettura.Commit();
    grGrid->setModificato(false);
    grGrid->Invalidate();
}

QString TfrqevCarCre::testoModo(const TRecCre &rec, int modo) const
{
    switch (modo) {
    case mcPerMedia:
        return numero(rec.iCrePerMedia);
    case mcFrmSco:
        return numero(rec.iCreFrmSco);
    case mcSosp:
        return numero(rec.iCreSosp);
    case mcRecup:
        return numero(rec.iCreRecup);
    case mcEncomio:
        return rec.sEncSDesc;
    case mcNota:
        return conNota(rec) ? QStringLiteral("Sì") : QString();
    default:
        return numero(rec.iCreCredito);
    }
}

void TfrqevCarCre::mostraRiga(int row)
{
    auto rec = RecordDi(1, row);
    if (!rec)
        return;
    grGrid->setCells(0, row, rec->sAnnoScol.isEmpty() ? ListaAnni.value(row) : rec->sAnnoScol);
    grGrid->setCells(1, row, rec->sClsSDesc);
    grGrid->setCells(2, row, media(rec->fCreMediaVoti));
    grGrid->setCells(3, row, rec->sBndMed);
    grGrid->setCells(4, row, rec->sBndCre);
    grGrid->setCells(kColPerMedia, row, numero(rec->iCrePerMedia));
    grGrid->setCells(kColCredito, row, numero(rec->iCreCredito));
    grGrid->setCells(kColRecup, row, numero(rec->iCreRecup));
    grGrid->setCells(kColNota, row, conNota(*rec) ? QStringLiteral("Sì") : QString());
}

void TfrqevCarCre::VisualizzaModo(int modo)
{
    ModoCre = modo;
    tbSelCar->setText(AzioniModo.value(modo) ? AzioniModo[modo]->text() : QString());
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        if (TipoCar != tcClasse) {
            mostraRiga(r);
            continue;
        }
        for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
            if (auto rec = RecordDi(c, r))
                grGrid->setCells(c, r, testoModo(*rec, modo));
        }
    }
    if (TipoCar == tcClasse) {
        const bool scelta = ModoCre == mcEncomio || ModoCre == mcNota;
        aFormSel->setEnabled(scelta && grGrid->ColCount() > 1 && !m_readOnly);
        if (dmqevParVis)
            grGrid->setnColDim(dmqevParVis->Griglia(TipoDati, TipoCar).xpiCol.GetValore());
        auto options = grGrid->Options();
        options.setFlag(TVxStringGrid::goEditing, modificabile(grGrid->Col(), grGrid->Row()));
        grGrid->setOptions(options);
    }
    if (dmqevActivations && dmqevActivations->SelItemAperto())
        aFormSelExecute();
    grGrid->Invalidate();
}

bool TfrqevCarCre::modificabile(int col, int row) const
{
    if (m_readOnly || row < grGrid->nRowIntest() || col < grGrid->nColIntest())
        return false;
    auto rec = RecordDi(col, row);
    if (!rec || CreditoBloccato(*rec))
        return false;
    if (TipoCar == tcClasse)
        return ModoCre < mcEncomio;
    return col == kColPerMedia || col == kColCredito || col == kColRecup;
}

bool TfrqevCarCre::ultimaColonna(int col, int row) const
{
    return TipoCar == tcClasse ? col == grGrid->ColCount() - 1 : row == grGrid->RowCount() - 1;
}

bool TfrqevCarCre::prendiDigitato(int col, int row, QString &motivo)
{
    // The cell being left decides: a value typed where it may be typed is taken over.
    if (!modificabile(col, row))
        return true;
    auto rec = RecordDi(col, row);
    const int chi = TipoCar == tcClasse   ? ModoCre
                    : col == kColPerMedia ? mcPerMedia
                    : col == kColCredito  ? mcCredito
                                          : mcRecup;
    int *valore = chi == mcPerMedia ? &rec->iCrePerMedia
                  : chi == mcFrmSco ? &rec->iCreFrmSco
                  : chi == mcSosp   ? &rec->iCreSosp
                  : chi == mcRecup  ? &rec->iCreRecup
                                    : &rec->iCreCredito;
    const QString text = grGrid->Cells(col, row).trimmed();
    if (text == numero(*valore))
        return true;
    // The credit attributed goes through the rule a collected one meets, against the bands of
    // the row's course year; the other numbers through the rule of a credit's parts, against
    // the same band. A refused text gives way to the value the cell held, the reason on the
    // help line and the cursor staying: nothing is dropped unsaid, and the cell never shows
    // what will not be saved. The save measures them again against the bands stored then.
    const QList<TqevBanda> bande = m_bandeCorsi.value(rec->iAcsId);
    if (chi == mcCredito) {
        motivo = TqevRegoleValori::CreditoNellaBanda(bande, rec->iBndId, rec->iCreOutBanda, text);
    } else {
        // The parts come in the order of their display modes (mcPerMedia ... mcRecup).
        const TqevRegoleValori::ParteCredito &parte = TqevRegoleValori::Parti().at(chi);
        motivo = TqevRegoleValori::ParteDelCredito(bande, rec->iBndId, parte.nome, text,
                                                   parte.nellaBanda);
    }
    if (!motivo.isEmpty())
        motivo[0] = motivo[0].toUpper();
    else
        *valore = text.toInt();
    if (TipoCar == tcClasse)
        grGrid->setCells(col, row, testoModo(*rec, ModoCre));
    else
        mostraRiga(row);
    return motivo.isEmpty();
}

bool TfrqevCarCre::puntaListe(const std::shared_ptr<TRecCre> &rec, bool chiedi)
{
    // A locked row's marks are not this class's to change.
    const int credito = rec && !CreditoBloccato(*rec) ? rec->iCreId : 0;
    const int anno = rec ? rec->iAnsId : 0;
    const struct
    {
        TfrqevCreLista *lista;
        const char *domanda;
    } liste[] = {{frqevCreSco, "Attenzione!\r\rNon sono stati salvati i crediti scolastici. "
                               "\r\rSalvare i dati modificati?"},
                 {frqevCreFrm, "Attenzione!\r\rNon sono stati salvati i crediti formativi. "
                               "\r\rSalvare i dati modificati?"}};
    for (const auto &l : liste) {
        if (chiedi && l.lista->bModificata && l.lista->iCreId != credito) {
            switch (VxMessageDlg(QString::fromUtf8(l.domanda), mtWarning, mbYesNoCancel)) {
            case mrYes:
                if (!l.lista->SalvaLista())
                    return false;
                break;
            case mrNo:
                break;
            default:
                return false;
            }
            l.lista->bModificata = false;
        }
    }
    // Only once every question is answered: a list moved before a later Cancel would save its
    // next ticks to a credit the cursor does not stand on.
    for (const auto &l : liste)
        l.lista->SetCredito(credito, anno);
    iCreIdCorrente = credito;
    return true;
}

void TfrqevCarCre::grGridSelectCell(int col, int row, bool &canSelect)
{
    TfrqevCarBs::grGridSelectCell(col, row, canSelect);
    canSelect = true;
    if (!dmqevDataSets || dmqevDataSets->iAbilita[abCre] == 0)
        return;
    if (row < grGrid->nRowIntest() || col < grGrid->nColIntest())
        return;
    QString motivo;
    if (!prendiDigitato(grGrid->Col(), grGrid->Row(), motivo)) {
        canSelect = false;
        Rifiuta(motivo);
        return;
    }
    // The current cell checked before a save, a page change or a close: its value is taken,
    // and the lists stay on the credit they show (nothing is read, the server may be away).
    auto rec = RecordDi(col, row);
    if ((col != grGrid->Col() || row != grGrid->Row()) && !puntaListe(rec, true)) {
        canSelect = false;
        return;
    }
    auto options = grGrid->Options();
    options.setFlag(TVxStringGrid::goEditing, modificabile(col, row));
    grGrid->setOptions(options);
    if (TipoCar != tcClasse)
        aFormSel->setEnabled(col == kColNota && !m_readOnly);
    // Only the last course year is calculated: the earlier ones are history.
    const bool calcola = !m_readOnly && ultimaColonna(col, row) && rec && !CreditoBloccato(*rec);
    for (QAction *a : {aCalcCreMed, aCreMin, aCreMax})
        a->setEnabled(calcola);
    AggiornaMedia(row);
}

void TfrqevCarCre::CalcolaBanda(TRecCre &rec, int &creMin, int &creMax)
{
    creMin = 0;
    creMax = 0;
    // The class session's own year, with its votes page open, averages the pupil's votes of
    // the class session; any other year the votes of that year's final sessions.
    const int sfi = dmqevDataSets->iSfiId;
    const bool sessione = (sfi == 2 || sfi == 3) && rec.iAnsId == dmqevDataSets->iAnsId && grVoti;
    const double valore = TqevCreStore::MediaPerBanda(rec.iSitId, rec.iAnsId,
                                                      sessione ? dmqevDataSets->iClsSesId : 0);
    rec.fCreMediaVoti = valore;
    const TqevBanda *banda = BandaDi(m_bande, valore);
    // No band holds the average: the row keeps no band it no longer has.
    rec.iBndId = banda ? banda->iBndId : 0;
    rec.sBndDesc = banda ? banda->sBndDesc : QString();
    rec.sBndMed = banda ? banda->sBndMed() : QString();
    rec.sBndCre = banda ? banda->sBndCre() : QString();
    if (banda) {
        creMin = banda->iBndCreMin;
        creMax = banda->iBndCreMax;
    }
}

void TfrqevCarCre::CalcolaCredito(bool massimo)
{
    const int col = grGrid->Col();
    const int row = grGrid->Row();
    auto rec = RecordDi(col, row);
    if (m_readOnly || !rec || CreditoBloccato(*rec) || !ultimaColonna(col, row))
        return;
    int creMin = 0;
    int creMax = 0;
    CalcolaBanda(*rec, creMin, creMax);
    rec->iCrePerMedia = creMin;
    rec->iCreCredito = massimo ? creMax : creMin;
    if (TipoCar == tcClasse)
        grGrid->setCells(col, row, testoModo(*rec, ModoCre));
    else
        mostraRiga(row);
    grGrid->SegnaModificata(col, row);
    AggiornaMedia(row);
    grGrid->Invalidate();
}

void TfrqevCarCre::grGridKeyPress(QChar &key)
{
    if (key != Backspace || grGrid->EditorMode() || m_readOnly)
        return;
    const int col = grGrid->Col();
    const int row = grGrid->Row();
    auto rec = RecordDi(col, row);
    if (!rec || CreditoBloccato(*rec) || row < grGrid->nRowIntest())
        return;
    // Backspace clears what the pick dialog fills; typed values are emptied by typing.
    const bool nota = TipoCar == tcClasse ? ModoCre == mcNota : col == kColNota;
    const bool encomio = TipoCar == tcClasse && ModoCre == mcEncomio;
    if (!nota && !encomio)
        return;
    if (nota) {
        rec->lsNota.clear();
    } else {
        rec->iEncId = 0;
        rec->sEncSDesc.clear();
    }
    grGrid->setCells(col, row, QString());
    grGrid->SegnaModificata(col, row);
}

void TfrqevCarCre::aFormSelExecute()
{
    TfrqevCarBs::aFormSelExecute();
    const bool perClasse = TipoCar == tcClasse;
    if (perClasse ? (ModoCre != mcEncomio && ModoCre != mcNota) : grGrid->Col() != kColNota)
        return;
    auto rec = RecordDi(grGrid->Col(), grGrid->Row());
    if (m_readOnly || !rec || CreditoBloccato(*rec))
        return;
    TfmqevSelItem *pick = TfmqevSelItem::Apri(this, grGrid);
    if (perClasse && ModoCre == mcEncomio) {
        pick->ValIdCorrente = rec->iEncId;
        pick->PreparaSelItem(TfmqevSelItem::skEncomio);
    } else {
        pick->SetTestoNota(rec->lsNota.join(QLatin1Char('\n')));
        pick->PreparaSelItem(TfmqevSelItem::skNotaCredito);
    }
    pick->Mostra();
}

void TfrqevCarCre::FrameEnter()
{
    TfrqevCarBs::FrameEnter();
    aggiornaCella();
    if (dmqevActivations && dmqevActivations->SelItemAperto() &&
        !(TipoCar == tcClasse && (ModoCre == mcEncomio || ModoCre == mcNota)))
        dmqevActivations->fmqevSelItem->hide();
    if (TipoCar != tcClasse) {
        for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
            auto rec = RecordDi(1, r);
            if (rec && rec->iSitId != 0)
                rec->iStatoDeb = TqevCreStore::StatoDebiti(rec->iSitId);
        }
    }
    if (!m_righeCreate && CreaRigheVuote()) {
        m_righeCreate = true;
        if (TipoCar == tcAlunno && frameClasse())
            UpdateClassForm();
    }
}

QString TfrqevCarCre::descriviCella(const TRecCre &rec, int row) const
{
    QString alunno = dmqevDataSets->sNomeAlunno;
    if (TipoCar == tcClasse) {
        auto ana = AlunnoDi(row);
        alunno = ana ? NomeAlunno(*ana) : QString();
    }
    return QStringLiteral("Alunno: %1\rAnno: %2").arg(alunno, rec.sAnnoScol);
}

bool TfrqevCarCre::CreaRigheVuote()
{
    DateAnni date;
    QList<TqevScrittura> scritture;
    auto visita = [&](int col, int row) {
        auto rec = RecordDi(col, row);
        if (!rec || CreditoBloccato(*rec) || rec->iCreId != 0)
            return;
        const auto [inizio, fine] = date.di(rec->iAnsId);
        const int iSitId = rec->iSitId;
        auto esito = std::make_shared<std::pair<int, TValCredito>>();
        TqevScrittura s;
        s.cella = descriviCella(*rec, row);
        s.esegui = [=, inizio = inizio, fine = fine](TVxTransaction &tr) {
            esito->first = TqevCreStore::Inserisci(tr, iSitId, {}, inizio, fine, esito->second);
        };
        s.salvata = [this, rec, esito, col, row] {
            prendiSalvata(*rec, esito->first, esito->second, col, row);
        };
        scritture.append(s);
    };
    PerCella(visita);
    return scrivi(scritture, {});
}

void TfrqevCarCre::prendiSalvata(TRecCre &rec, int iCreId, const TValCredito &salvati, int col,
                                 int row)
{
    rec.iCreId = iCreId;
    // A row another office stored meanwhile: its values, unless the office here has typed
    // others since loading.
    if (TqevCreStore::Valori(rec) == rec.Salvato)
        TqevCreStore::Imposta(rec, salvati);
    rec.Salvato = salvati;
    if (TipoCar == tcClasse)
        grGrid->setCells(col, row, testoModo(rec, ModoCre));
    else
        mostraRiga(row);
}

void TfrqevCarCre::prendiCambiata(TRecCre &rec, const TVxRiga &ora, int col, int row)
{
    // What another office stored stands where this office changed nothing; what this office
    // typed stays, to be measured and saved again over it.
    const TValCredito mio = TqevCreStore::Valori(rec);
    const TValCredito letto = rec.Salvato;
    const TValCredito suo = ora.chiave != 0 ? TqevCreStore::ValoriDi(ora) : TValCredito();
    TValCredito adesso = suo;
    const auto tieni = [&]<class T>(T TValCredito::*campo) {
        if (mio.*campo != letto.*campo)
            adesso.*campo = mio.*campo;
    };
    for (int TValCredito::*campo :
         {&TValCredito::iCreCredito, &TValCredito::iCrePerMedia, &TValCredito::iBndId,
          &TValCredito::iCreOutBanda, &TValCredito::iCreFrmSco, &TValCredito::iCreSosp,
          &TValCredito::iCreRecup, &TValCredito::iEncId})
        tieni(campo);
    tieni(&TValCredito::fCreMediaVoti);
    tieni(&TValCredito::sNota);
    rec.iCreId = ora.chiave;
    rec.Salvato = suo;
    if (adesso.iBndId != mio.iBndId) {
        const QList<TqevBanda> bande = m_bandeCorsi.value(rec.iAcsId);
        const auto banda = std::find_if(bande.cbegin(), bande.cend(), [&](const TqevBanda &b) {
            return b.iBndId == adesso.iBndId;
        });
        rec.sBndDesc = banda != bande.cend() ? banda->sBndDesc : QString();
        rec.sBndMed = banda != bande.cend() ? banda->sBndMed() : QString();
        rec.sBndCre = banda != bande.cend() ? banda->sBndCre() : QString();
    }
    TqevCreStore::Imposta(rec, adesso);
    if (TipoCar == tcClasse)
        grGrid->setCells(col, row, testoModo(rec, ModoCre));
    else
        mostraRiga(row);
}

bool TfrqevCarCre::scrivi(const QList<TqevScrittura> &scritture, const TqevVerifica &verifica)
{
    const bool salvate = SalvaScritture(scritture, verifica);
    puntaListe(RecordDi(grGrid->Col(), grGrid->Row()), false);
    grGrid->Invalidate();
    return salvate;
}

bool TfrqevCarCre::SaveDataDb()
{
    for (TfrqevCreLista *lista : {frqevCreSco, frqevCreFrm}) {
        if (!lista->SalvaLista())
            return false;
    }
    DateAnni date;
    QList<TqevScrittura> scritture;
    auto visita = [&](int col, int row) {
        auto rec = RecordDi(col, row);
        // A pupil who was not in that course year, or spent it in another class, has no row
        // to write from here.
        if (!rec || CreditoBloccato(*rec))
            return;
        const TValCredito valori = TqevCreStore::Valori(*rec);
        const int key = rec->iCreId;
        if (key != 0 && valori == rec->Salvato)
            return;
        const bool cambiato = !(valori == rec->Salvato);
        const int iSitId = rec->iSitId;
        auto salvati = std::make_shared<std::pair<int, TValCredito>>(key, valori);
        TqevScrittura s;
        s.cella = descriviCella(*rec, row);
        // The numbers typed are measured again against the bands the database holds now: a
        // band's limits may have changed since the window read them.
        if (key == 0) {
            const auto [inizio, fine] = date.di(rec->iAnsId);
            s.esegui = [=, inizio = inizio, fine = fine](TVxTransaction &tr) {
                if (const QString perche = TqevCreStore::Rifiutato(iSitId, valori, nullptr);
                    !perche.isEmpty())
                    throw EVxException(perche);
                salvati->first =
                    TqevCreStore::Inserisci(tr, iSitId, valori, inizio, fine, salvati->second);
            };
        } else {
            const TValCredito salvato = rec->Salvato;
            s.esegui = [key, iSitId, valori, salvato](TVxTransaction &tr) {
                if (const QString perche = TqevCreStore::Rifiutato(iSitId, valori, &salvato);
                    !perche.isEmpty())
                    throw EVxException(perche);
                TqevCreStore::Aggiorna(tr, key, valori, &salvato);
            };
        }
        // What the office typed goes only where the row still holds, in the values it changes,
        // what the window read: another office's credit is told, not written over or emptied
        // unsaid, and saving again writes over it (or stores the row anew where it was deleted).
        // A row without typed values, stored for the check lists, takes one found there.
        if (cambiato) {
            s.id = TqevCreStore::Id(iSitId);
            s.letta = TqevCreStore::Letta(key, rec->Salvato, valori);
            s.cambiata = [this, rec, col, row](const TVxRiga &ora) {
                prendiCambiata(*rec, ora, col, row);
            };
        }
        s.salvata = [this, rec, salvati, col, row] {
            prendiSalvata(*rec, salvati->first, salvati->second, col, row);
        };
        scritture.append(s);
    };
    PerCella(visita);
    // The credit rows of the grid's pupils.
    const bool perClasse = TipoCar == tcClasse;
    const int iAnaId = perClasse ? 0 : dmqevDataSets->iAnaId;
    const int iClsId = perClasse ? dmqevDataSets->iClsId : 0;
    TqevVerifica verifica;
    verifica.leggi = [iAnaId, iClsId](TVxTransaction &) {
        return TqevCreStore::Righe(iAnaId, iClsId);
    };
    if (!scrivi(scritture, verifica))
        return false;
    grGrid->setModificato(false);
    return true;
}

TfrqevCarCre *TfrqevCarCre::frameClasse() const
{
    auto *frame = qobject_cast<TfrqevCarCre *>(FrameClasseAlunno());
    return TipoCar == tcAlunno && frame && frame->ListaAnni == ListaAnni ? frame : nullptr;
}

void TfrqevCarCre::LoadFromClassForm()
{
    TfrqevCarBs::LoadFromClassForm();
    TfrqevCarCre *cls = frameClasse();
    if (!cls) {
        LoadData();
        return;
    }
    grGrid->setModificato(false);
    // The class window's values of the pupil, typed and unsaved ones too.
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto loro = cls->RecordDi(r, RigaCls1);
        grGrid->setObjects(1, r, loro ? std::make_shared<TRecCre>(*loro) : nullptr);
        mostraRiga(r);
    }
    m_righeCreate = cls->m_righeCreate;
    try {
        grGrid->MoveCursor(grGrid->nColIntest(), grGrid->RowCount() - 1);
    } catch (const EVxException &) {
        // A grid without course years keeps its cursor.
    }
}

void TfrqevCarCre::UpdateClassForm()
{
    TfrqevCarCre *cls = frameClasse();
    if (!cls)
        return;
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto mio = RecordDi(1, r);
        auto loro = cls->RecordDi(r, RigaCls1);
        if (mio && loro)
            *loro = *mio;
    }
    cls->VisualizzaModo(cls->ModoCre);
    cls->AggiornaMedia(RigaCls1);
}

bool TfrqevCarCre::Segue(int tipoDati) const
{
    return tipoDati == tdEsito;
}

bool TfrqevCarCre::Rileggi()
{
    if (!TfrqevCarBs::Rileggi())
        return false;
    // A year opened meanwhile gets its empty row as the page is entered, as after the first load.
    m_righeCreate = false;
    AggiornaMedia(grGrid->Row());
    aggiornaCella();
    return true;
}

void TfrqevCarCre::SetReadOnly(bool value)
{
    m_readOnly = value;
    auto options = grGrid->Options();
    options.setFlag(TVxStringGrid::goEditing, modificabile(grGrid->Col(), grGrid->Row()));
    grGrid->setOptions(options);
    for (QAction *a : {aSave, aFormSel, aCalcCreMed, aCreMin, aCreMax})
        a->setEnabled(!value);
    frqevCreSco->SetReadOnly(value);
    frqevCreFrm->SetReadOnly(value);
}

void TfrqevCarCre::disegna(QPainter &painter, int col, int row, const QRect &rect)
{
    if (row < grGrid->nRowIntest())
        return;
    const bool dati = TipoCar == tcClasse ? col >= grGrid->nColIntest() : col >= kColPerMedia;
    auto rec = RecordDi(col, row);
    if (dati && rec && CreditoBloccato(*rec))
        painter.fillRect(rect, Qt::black);
}

bool TfrqevCarCre::CellaDiversa(int col, int row) const
{
    auto rec = RecordDi(col, row);
    return rec && !CreditoBloccato(*rec) && !(TqevCreStore::Valori(*rec) == rec->Salvato);
}
