#include "gradeentry/qevfcarbase.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarvot.h"
#include "platform/images.h"
#include "platform/keys.h"
#include "platform/messagedlg.h"

#include <QAction>
#include <QPainter>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

TfmqevCarBase::TfmqevCarBase(QWidget *parent, std::span<const TqevDefPagina> pagine,
                             int tipoIniziale)
    : TfmVxChildBase(parent), m_pagine(new TqevPagine(this, pagine, tipoIniziale)),
      m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(pcMain(), 1);
}

TfmqevCarBase::~TfmqevCarBase() = default;

TfrqevCarVot *TfmqevCarBase::Voti() const
{
    return static_cast<TfrqevCarVot *>(FrameDi(tdVoti));
}

TfrqevCarVot *TfmqevCarBase::Proposti() const
{
    return static_cast<TfrqevCarVot *>(FrameDi(tdProposti));
}

TfmqevCarBase::Scorrimento
TfmqevCarBase::AggiungiScorrimento(const char *tipo, const QString &precedente,
                                   const QString &successivo,
                                   const std::function<void(bool avanti)> &cambia)
{
    auto *barra = new QToolBar(QStringLiteral("Barra degli Strumenti"), this);
    barra->setObjectName(QStringLiteral("xoaCustom"));
    // The walk's keys stand in the buttons' captions, where the office sees them without
    // pointing at them.
    barra->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto azione = [&](const char *nome, const char *pulsante, const QString &testo,
                            const char *immagine, QKeyCombination tasto, bool avanti) {
        auto *a = new QAction(VxImage(QString::fromLatin1(immagine)), testo, this);
        a->setObjectName(QString::fromLatin1(nome) + QString::fromLatin1(tipo));
        a->setIconText(QStringLiteral("%1 (%2)").arg(
            testo, QKeySequence(tasto).toString(QKeySequence::NativeText)));
        barra->addAction(a);
        barra->widgetForAction(a)->setObjectName(QString::fromLatin1(pulsante));
        VxSetShortcut(this, a, QKeySequence(tasto));
        connect(a, &QAction::triggered, this,
                [cambia, avanti] { RunShowingErrors([&] { cambia(avanti); }); });
        return a;
    };
    const Scorrimento s{
        barra, azione("aPrev", "tbPrior", precedente, "PREVSIT", Qt::ALT | Qt::Key_PageUp, false),
        azione("aNext", "tbNext", successivo, "NEXTSIT", Qt::ALT | Qt::Key_PageDown, true)};
    m_layout->insertWidget(0, barra);
    m_scorrimento = s;
    return s;
}

qsizetype TfmqevCarBase::Passo(qsizetype corrente, qsizetype quanti, bool avanti)
{
    if (corrente < 0)
        return -1;
    const qsizetype nuovo = corrente + (avanti ? 1 : -1);
    m_scorrimento.successivo->setEnabled(nuovo < quanti);
    m_scorrimento.precedente->setEnabled(nuovo >= 0);
    return nuovo >= 0 && nuovo < quanti ? nuovo : -1;
}

bool TfmqevCarBase::PaginaVotiAttiva() const
{
    return Voti() && dmqevDataSets && dmqevDataSets->iAbilita[abVot] != 0;
}

void TfmqevCarBase::CollegaPassaggio(int Modo, const QString &domanda)
{
    connect(Voti()->aPass, &QAction::triggered, this, [this, Modo, domanda] {
        RunShowingErrors([&] { m_pagine->PassaVotiProposti(Modo, domanda); });
    });
}

void TfmqevCarBase::MostraContrasto(bool ancheProposti)
{
    TqelStringGrid *voti = Voti()->grGrid;
    TqelStringGrid *proposti = Proposti()->grGrid;
    voti->OnDrawCell = [this, voti, proposti](QPainter &painter, int col, int row,
                                              const QRect &rect, TGridDrawState) {
        if (EvContrasto)
            DisegnaContrasto(painter, *voti, proposti, col, row, rect);
    };
    if (!ancheProposti)
        return;
    proposti->OnDrawCell = [this, voti, proposti](QPainter &painter, int col, int row,
                                                  const QRect &rect, TGridDrawState) {
        if (EvContrasto)
            DisegnaContrasto(painter, *proposti, voti, col, row, rect);
    };
}

void TfmqevCarBase::SetRigaSng(int row, int tipoDati)
{
    RigaSng = row;
    TipoDatiSng = tipoDati;
}

void TfmqevCarBase::SetEvContrasto(bool evContrasto, bool)
{
    EvContrasto = evContrasto;
    for (TfrqevCarVot *frame : {Voti(), Proposti()}) {
        if (frame)
            frame->grGrid->Invalidate();
    }
}

void TfmqevCarBase::ApplicaParVis(const QString &caption,
                                  const std::function<void(TfrqevCarBs *)> &prima)
{
    setWindowTitle(caption);
    for (TfrqevCarBs *frame : m_pagine->FrameVisibili()) {
        if (prima)
            prima(frame);
        frame->ApplicaParVis();
    }
    // The debts window has no votes page to outline.
    if (TfrqevCarVot *voti = Voti()) {
        if (dmqevParVis)
            EvContrasto =
                dmqevParVis->Griglia(tdVoti, voti->grGrid->TipoCar()).xpbContr.GetValore();
        voti->grGrid->Invalidate();
    }
    update();
}

void TfmqevCarBase::FormClose(TCloseAction &action)
{
    const bool alunno =
        TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarSng)) == this;
    if ((!alunno && !TdmqevActivations::ChiudiFinestra(QevForms::CarSng)) || !ChiediSalvataggio()) {
        action = caNone;
        return;
    }
    TfmVxChildBase::FormClose(action);
    Chiusa();
    if (dmqevActivations && dmqevActivations->SelItemAperto())
        dmqevActivations->fmqevSelItem->close();
}
