#include "gradeentry/qevrcarnot.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace {

const QChar Backspace(8);

QString testoNota(const TRecNot &nota, int modo)
{
    switch (modo) {
    case 0:
        return nota.dNotData.isValid() ? nota.dNotData.date().toString(QStringLiteral("dd/MM/yyyy"))
                                       : QString();
    case 1:
        return nota.sDocNome;
    default:
        return nota.bNotNota.trimmed().isEmpty() ? QString() : QStringLiteral("Sì");
    }
}

void svuotaParte(TRecNot &nota, int parte)
{
    switch (parte) {
    case 0:
        nota.dNotData = QDateTime();
        break;
    case 1:
        nota.iAnaId = 0;
        nota.sDocNome.clear();
        break;
    default:
        nota.bNotNota.clear();
        break;
    }
}

} // namespace

TfrqevCarNot::TfrqevCarNot(QWidget *parent) : TfrqevCarBs(parent)
{
    pmNote = new QMenu(this);
    pmNote->setObjectName(QStringLiteral("pmNote"));
    aDataNota = pmNote->addAction(QStringLiteral("Data nota"));
    aDataNota->setObjectName(QStringLiteral("aDataNota"));
    aDataNota->setToolTip(QStringLiteral("Modifica data nota"));
    aDocNome = pmNote->addAction(QStringLiteral("Docente nota"));
    aDocNome->setObjectName(QStringLiteral("aDocNome"));
    aDocNome->setToolTip(QStringLiteral("Docente che attribuisce la nota"));
    aNota = pmNote->addAction(QStringLiteral("Nota"));
    aNota->setObjectName(QStringLiteral("aNota"));
    aNota->setToolTip(QStringLiteral("Nota dell'alunno"));
    for (QAction *action : {aDataNota, aDocNome, aNota})
        connect(action, &QAction::triggered, this,
                [this, action] { RunShowingErrors([this, action] { aDataNotaExecute(action); }); });

    auto *carica = new QToolButton;
    carica->setObjectName(QStringLiteral("tbSelCar"));
    carica->setText(QStringLiteral("Carica"));
    carica->setIcon(ilFrame().icon(3));
    carica->setToolButtonStyle(xoaCustom()->toolButtonStyle());
    carica->setMenu(pmNote);
    carica->setPopupMode(QToolButton::InstantPopup);
    tbSelCar = xoaCustom()->insertWidget(FrameAction(QStringLiteral("tb2")), carica);

    aDel = AddFrameAction(QStringLiteral("aDel"), QStringLiteral("Cancella nota"), 10,
                          QStringLiteral("Cancella nota"));
    connect(aDel, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { aDelExecute(); }); });

    laVoti = new QLabel;
    laVoti->setObjectName(QStringLiteral("laVoti"));
    QFont bold = laVoti->font();
    bold.setBold(true);
    laVoti->setFont(bold);
    if (auto *media = qobject_cast<QHBoxLayout *>(paMedia->layout()))
        media->insertWidget(0, laVoti);
}

void TfrqevCarNot::InitTipoDati(int tipoDati)
{
    TfrqevCarBs::InitTipoDati(tipoDati);
    TestoConferma = QStringLiteral("Confermi il salvataggio delle note?");
    tbSelCar->setVisible(TipoCar == tcClasse);
    auto options = grGrid->Options();
    options.setFlag(TVxStringGrid::goEditing, false);
    grGrid->setOptions(options);
    layoutNote();
    ModoNota = 2;
    Carica();
    // The subjects' headers read whole, whatever width is stored.
    if (TipoCar == tcClasse)
        grGrid->AdattaLarghezze();
    AggiornaMedia(grGrid->nRowIntest());
    SetCaption(TipoCar == tcClasse ? QStringLiteral("Nota") : QString());
    RefreshFrameCaption();
}

void TfrqevCarNot::layoutNote()
{
    const TqevStringList &materie = dmqevDataSets->slMaterie;
    const TqevStringList &alunni = dmqevDataSets->slAlunni;
    grGrid->setnRowIntest(1);
    grGrid->setnColIntest(1);
    if (TipoCar == tcClasse) {
        grGrid->setColCount(std::max(1, materie.Count()));
        grGrid->setRowCount(1 + alunni.Count());
        for (int c = 1; c < materie.Count(); ++c) {
            grGrid->setCells(c, 0, materie.Strings(c));
            grGrid->setObjects(c, 0, materie.Objects(c));
        }
    } else {
        grGrid->setColCount(4);
        static const struct
        {
            const char *caption;
            int width;
        } colonne[] = {{"Data", 60}, {"Docente", 180}, {"Nota", 60}};
        for (int c = 1; c <= 3; ++c) {
            grGrid->setCells(c, 0, QString::fromLatin1(colonne[c - 1].caption));
            grGrid->setLarghezza(c, colonne[c - 1].width);
        }
        if (TipoCar == tcMateria) {
            grGrid->setRowCount(1 + alunni.Count());
            grGrid->setObjects(0, 0, materie.Objects(1));
        } else {
            // The pupil's subjects of the class session, in the class session's order.
            dmqevDataSets->SetFiltroCaricamento(dmqevDataSets->iAnaId, dmqevDataSets->iAnsId,
                                                ListaMatAlu, false);
            QList<std::shared_ptr<TRecMat>> proprie;
            for (int i = 1; i < materie.Count(); ++i) {
                auto mat = materie.ObjectAs<TRecMat>(i);
                if (mat && ContieneMateria(ListaMatAlu, mat->iClsSesMatId))
                    proprie.append(mat);
            }
            grGrid->setRowCount(1 + int(proprie.size()));
            for (int i = 0; i < proprie.size(); ++i) {
                grGrid->setCells(0, 1 + i, proprie.at(i)->sMatLDesc);
                grGrid->setObjects(0, 1 + i, proprie.at(i));
            }
        }
    }
    if (RighePerAlunno(TipoCar)) {
        for (int i = 0; i < alunni.Count(); ++i) {
            grGrid->setCells(0, 1 + i, alunni.Strings(i));
            grGrid->setObjects(0, 1 + i, alunni.Objects(i));
        }
    }
}

std::shared_ptr<TRecMat> TfrqevCarNot::materiaDi(int col, int row) const
{
    switch (TipoCar) {
    case tcClasse:
        return grGrid->RecordAt<TRecMat>(col, 0);
    case tcMateria:
        return grGrid->RecordAt<TRecMat>(0, 0);
    default:
        return grGrid->RecordAt<TRecMat>(0, row);
    }
}

int TfrqevCarNot::situazioneDi(int row) const
{
    if (!RighePerAlunno(TipoCar))
        return dmqevDataSets->iSitId;
    auto ana = AlunnoDi(row);
    return ana ? ana->iSitId : 0;
}

void TfrqevCarNot::mostraRiga(int row)
{
    auto nota = grGrid->RecordAt<TRecNot>(1, row);
    for (int c = 1; c <= 3; ++c)
        grGrid->setCells(c, row, nota ? testoNota(*nota, c - 1) : QString());
}

void TfrqevCarNot::MostraNote(int modo)
{
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        if (TipoCar != tcClasse) {
            mostraRiga(r);
            continue;
        }
        for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
            auto nota = grGrid->RecordAt<TRecNot>(c, r);
            grGrid->setCells(c, r, nota ? testoNota(*nota, modo) : QString());
        }
    }
}

void TfrqevCarNot::LoadData()
{
    grGrid->setModificato(false);
    TVxHourglass hourglass;
    // One read for the whole grid: the pupil's notes, the class's, or the subject's.
    TVxTransactionScope lettura(qqoVxGlobConn());
    const bool perAlunni = RighePerAlunno(TipoCar);
    const QHash<QPair<int, int>, TqevNota> stored =
        m_store.Carica(dmqevDataSets->iClsSesId, perAlunni ? 0 : dmqevDataSets->iSitId,
                       TipoCar == tcMateria ? dmqevDataSets->iClsSesMatId : 0);
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        const int iSitId = situazioneDi(r);
        if (perAlunni) {
            auto ana = AlunnoDi(r);
            if (!ana)
                continue;
            dmqevDataSets->SetFiltroCaricamento(ana->iAnaId, dmqevDataSets->iAnsId, ListaMatAlu,
                                                false);
        }
        const int firstCol = TipoCar == tcClasse ? grGrid->nColIntest() : 1;
        const int lastCol = TipoCar == tcClasse ? grGrid->ColCount() - 1 : 1;
        for (int c = firstCol; c <= lastCol; ++c) {
            auto mat = materiaDi(c, r);
            if (!mat)
                continue;
            auto nota = std::make_shared<TRecNot>();
            InitCellaNota(*nota, perAlunni && !ContieneMateria(ListaMatAlu, mat->iClsSesMatId));
            const auto found = stored.constFind({iSitId, mat->iClsSesMatId});
            if (!nota->bBloccato && found != stored.constEnd()) {
                nota->iNotId = found->iNotId;
                nota->dNotData = found->dNotData;
                nota->iAnaId = found->iAnaId;
                nota->sDocNome = found->sDocNome;
                nota->bNotNota = found->bNotNota;
            }
            NotaSalvata(*nota);
            grGrid->setObjects(c, r, nota);
            if (TipoCar == tcClasse)
                grGrid->setCells(c, r, testoNota(*nota, ModoNota));
        }
        if (TipoCar != tcClasse)
            mostraRiga(r);
    }
    lettura.Commit();
    grGrid->setModificato(false);
    grGrid->Invalidate();
}

bool TfrqevCarNot::SaveDataDb()
{
    TqevDateNuoveRighe anno;
    const TqevNotStore &store = m_store;
    QList<TqevScrittura> scritture;
    // The empty cells that take a note: (subject, situation).
    QList<std::pair<int, int>> nuove;
    auto visita = [&](int c, int r) {
        auto nota = grGrid->RecordAt<TRecNot>(TipoCar == tcClasse ? c : 1, r);
        auto mat = materiaDi(c, r);
        const int iSitId = situazioneDi(r);
        if (!nota || !mat || iSitId == 0 || nota->bBloccato || !NotaCambiata(*nota))
            return;
        const bool vuota = NotaVuota(*nota);
        const int key = nota->iNotId;
        if (vuota && key == 0) {
            NotaSalvata(*nota); // nothing stored, nothing to store
            return;
        }
        TqevScrittura s;
        auto ana = RighePerAlunno(TipoCar) ? AlunnoDi(r) : nullptr;
        s.cella = QStringLiteral("Alunno: %1\rMateria: %2")
                      .arg(ana ? NomeAlunno(*ana) : dmqevDataSets->sNomeAlunno, mat->sMatLDesc);
        const int subject = mat->iClsSesMatId;
        s.id = TqevNotStore::Id(subject, iSitId);
        s.letta = TqevNotStore::Letta(*nota, vuota);
        s.cancella = vuota;
        if (key == 0)
            nuove.append({subject, iSitId});
        if (vuota) {
            s.esegui = [&store, key, subject, iSitId](TVxTransaction &tr) {
                store.Cancella(tr, key, subject, iSitId);
            };
            s.salvata = [nota] {
                NotaDimenticata(*nota, 0);
                NotaSalvata(*nota);
            };
        } else if (key == 0) {
            auto nuova = std::make_shared<int>(0);
            s.esegui = [&store, &anno, nota, subject, iSitId, nuova](TVxTransaction &tr) {
                const TqevDateAnno &date = anno.Date();
                *nuova = store.Inserisci(tr, subject, iSitId, *nota, date.inizio, date.fine);
            };
            s.salvata = [nota, nuova] {
                nota->iNotId = *nuova;
                NotaSalvata(*nota);
            };
        } else {
            s.esegui = [&store, nota, key](TVxTransaction &tr) { store.Aggiorna(tr, key, *nota); };
            s.salvata = [nota] { NotaSalvata(*nota); };
        }
        s.cambiata = [nota](const TVxRiga &ora) { NotaPresa(*nota, ora); };
        scritture.append(s);
    };
    PerCella(visita);
    const int iClsSesId = dmqevDataSets->iClsSesId;
    const int iSitId = RighePerAlunno(TipoCar) ? 0 : dmqevDataSets->iSitId;
    const int iClsSesMatId = TipoCar == tcMateria ? dmqevDataSets->iClsSesMatId : 0;
    TqevVerifica verifica;
    verifica.attendi = [&store, nuove] {
        for (const auto &[subject, sit] : nuove)
            store.Attendi(subject, sit);
    };
    verifica.leggi = [&store, iClsSesId, iSitId, iClsSesMatId](TVxTransaction &) {
        return store.Righe(iClsSesId, iSitId, iClsSesMatId);
    };
    return SalvaGriglia(scritture, verifica);
}

TfrqevCarNot *TfrqevCarNot::frameClasse() const
{
    return qobject_cast<TfrqevCarNot *>(FrameClasseAlunno());
}

int TfrqevCarNot::colonnaClasse(const TfrqevCarNot &cls, int iClsSesMatId) const
{
    for (int c = cls.grGrid->nColIntest(); c < cls.grGrid->ColCount(); ++c) {
        auto mat = cls.grGrid->RecordAt<TRecMat>(c, 0);
        if (mat && mat->iClsSesMatId == iClsSesMatId)
            return c;
    }
    return -1;
}

void TfrqevCarNot::LoadFromClassForm()
{
    TfrqevCarBs::LoadFromClassForm();
    TfrqevCarNot *cls = frameClasse();
    if (!cls) {
        LoadData();
        return;
    }
    // A copy of each note: the class window takes the pupil's notes back only once saved.
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto mat = grGrid->RecordAt<TRecMat>(0, r);
        const int c = mat ? colonnaClasse(*cls, mat->iClsSesMatId) : -1;
        auto source = c > 0 ? cls->grGrid->RecordAt<TRecNot>(c, RigaCls1) : nullptr;
        auto nota = std::make_shared<TRecNot>();
        if (source)
            *nota = *source;
        grGrid->setObjects(1, r, nota);
        mostraRiga(r);
    }
    grGrid->setModificato(false);
}

void TfrqevCarNot::UpdateClassForm()
{
    TfrqevCarNot *cls = frameClasse();
    if (!cls)
        return;
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        auto mat = grGrid->RecordAt<TRecMat>(0, r);
        auto nota = grGrid->RecordAt<TRecNot>(1, r);
        const int c = mat ? colonnaClasse(*cls, mat->iClsSesMatId) : -1;
        if (c > 0 && nota)
            cls->grGrid->setObjects(c, RigaCls1, std::make_shared<TRecNot>(*nota));
    }
    cls->MostraNote(cls->ModoNota);
}

void TfrqevCarNot::SetReadOnly(bool value)
{
    m_readOnly = value;
    aSave->setEnabled(!value);
    aFormSel->setEnabled(!value);
    aDel->setEnabled(!value);
}

int TfrqevCarNot::parteCorrente() const
{
    if (grGrid->Row() < grGrid->nRowIntest() || grGrid->Col() < grGrid->nColIntest())
        return -1;
    if (TipoCar == tcClasse)
        return ModoNota;
    return grGrid->Col() <= 3 ? grGrid->Col() - 1 : -1;
}

std::shared_ptr<TRecNot> TfrqevCarNot::notaCorrente() const
{
    return std::dynamic_pointer_cast<TRecNot>(grGrid->RecordOf(grGrid->Col(), grGrid->Row()));
}

void TfrqevCarNot::aDataNotaExecute(QAction *action)
{
    SetCaption(action->text() + QLatin1Char(' '));
    RefreshFrameCaption();
    const QString name = action->objectName().toUpper();
    ModoNota = name == QStringLiteral("ADATANOTA") ? 0 : name == QStringLiteral("ADOCNOME") ? 1 : 2;
    MostraNote(ModoNota);
    if (dmqevParVis)
        grGrid->setnColDim(
            dmqevParVis->Griglia(grGrid->TipoDati(), grGrid->TipoCar()).xpiCol.GetValore());
    if (dmqevActivations && dmqevActivations->SelItemAperto())
        aFormSelExecute();
}

void TfrqevCarNot::aFormSelExecute()
{
    TfrqevCarBs::aFormSelExecute();
    TfmqevSelItem *pick = TfmqevSelItem::Apri(this, grGrid);
    auto nota = notaCorrente();
    pick->PreparaNota(nota.get(), parteCorrente());
    pick->Mostra();
}

void TfrqevCarNot::grGridKeyPress(QChar &key)
{
    if (key != Backspace || m_readOnly)
        return;
    auto nota = notaCorrente();
    const int parte = parteCorrente();
    if (!nota || nota->bBloccato || parte < 0)
        return;
    svuotaParte(*nota, parte);
    grGrid->setCells(grGrid->Col(), grGrid->Row(), QString());
    grGrid->SegnaModificata(grGrid->Col(), grGrid->Row());
    AggiornaMedia(grGrid->Row());
}

void TfrqevCarNot::aDelExecute()
{
    auto nota = notaCorrente();
    if (m_readOnly || !nota || nota->bBloccato)
        return;
    if (VxMessageDlg(QStringLiteral("Confermi la cancellazione della nota?"), mtConfirmation,
                     mbYesNo, 0, mrNo) != mrYes)
        return;
    // The key stays: the next save deletes the stored row.
    for (int parte = 0; parte <= 2; ++parte)
        svuotaParte(*nota, parte);
    const int row = grGrid->Row();
    if (TipoCar == tcClasse)
        grGrid->setCells(grGrid->Col(), row, QString());
    else
        mostraRiga(row);
    grGrid->SegnaModificata(grGrid->Col(), row);
    AggiornaMedia(row);
}

void TfrqevCarNot::grGridSelectCell(int col, int row, bool &canSelect)
{
    TfrqevCarBs::grGridSelectCell(col, row, canSelect);
    if (!canSelect)
        return;
    AggiornaMedia(row);
    laVoti->clear();
}

bool TfrqevCarNot::CellaDiversa(int col, int row) const
{
    auto nota = std::dynamic_pointer_cast<TRecNot>(grGrid->RecordOf(col, row));
    return nota && !nota->bBloccato && NotaCambiata(*nota);
}
