#include "gradeentry/qevrcarbs.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfparvis.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevsalva.h"
#include "gradeentry/qevutil.h"
#include "platform/connection.h"
#include "platform/helpers.h"
#include "platform/images.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Kinds whose current cell is checked before a save or before opening the pupil: the typed
// ones (vote kinds and credits).
bool siValida(int tipoDati)
{
    return (tipoDati >= tdVoti && tipoDati <= tdAiuti) || tipoDati == tdCrediti;
}

bool perLivello(int tipoDati)
{
    return tipoDati >= tdVoti && tipoDati <= tdTassonomie;
}

QAction *aggiungi(TfrqevCarBs *frame, const char *name, const char *button, const QString &caption,
                  int image, const QString &hint)
{
    QAction *action = frame->AddFrameAction(QString::fromLatin1(name), caption, image, hint);
    if (QWidget *w = frame->xoaCustom()->widgetForAction(action))
        w->setObjectName(QString::fromLatin1(button));
    return action;
}

void separatore(TfrqevCarBs *frame, const char *name)
{
    frame->xoaCustom()->addSeparator()->setObjectName(QString::fromLatin1(name));
}

// The grid's help line: as wide as the grid above it and never wider, a long text on a second
// line instead of widening the page against the panels beside it (the class's credit lists).
class RigaAiuto : public QLabel
{
public:
    RigaAiuto() { setWordWrap(true); }
    QSize minimumSizeHint() const override
    {
        const int riga = fontMetrics().height() + 8;
        return {fontMetrics().averageCharWidth() * 8,
                std::max(riga, width() > 0 ? heightForWidth(width()) : riga)};
    }
    QSize sizeHint() const override { return minimumSizeHint(); }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        updateGeometry(); // the height its text takes at the new width
    }
};

// A handler of a user's action: an office-facing failure is shown once.
template <typename Work> void azione(QAction *action, TfrqevCarBs *frame, Work work)
{
    QObject::connect(action, &QAction::triggered, frame, [work] { RunShowingErrors(work); });
}

QString testo(const QString &text)
{
    return text.trimmed();
}

// The key of every command of the frames' tool bars and menus, by the action's name: a grade
// page is worked from the keyboard as from the mouse.
const struct
{
    const char *azione;
    QKeyCombination tasto;
} kTasti[] = {
    {"aSave", Qt::CTRL | Qt::Key_S},
    {"aFormSel", Qt::Key_F4},
    {"aSingolo", Qt::CTRL | Qt::Key_U},
    {"aParVis", Qt::CTRL | Qt::SHIFT | Qt::Key_P},
    {"aStorico", Qt::CTRL | Qt::Key_H},
    {"aPass", Qt::CTRL | Qt::SHIFT | Qt::Key_V},
    {"aImpQualif", Qt::CTRL | Qt::SHIFT | Qt::Key_I},
    {"aExpQualif", Qt::CTRL | Qt::SHIFT | Qt::Key_E},
    {"aDebDef", Qt::CTRL | Qt::Key_D},
    {"aDel", Qt::CTRL | Qt::Key_Delete},
    {"tbCancella", Qt::CTRL | Qt::Key_Delete},
    {"aCalcCreMed", Qt::CTRL | Qt::Key_M},
    {"aCreMin", Qt::CTRL | Qt::SHIFT | Qt::Key_N},
    {"aCreMax", Qt::CTRL | Qt::SHIFT | Qt::Key_X},
    // What the cells of the notes and credits grids show ("Carica", "Dato visualizzato").
    {"aDataNota", Qt::CTRL | Qt::Key_1},
    {"aDocNome", Qt::CTRL | Qt::Key_2},
    {"aNota", Qt::CTRL | Qt::Key_3},
    {"aCrePerMedia", Qt::CTRL | Qt::Key_1},
    {"aCreFrmSco", Qt::CTRL | Qt::Key_2},
    {"aCreSosp", Qt::CTRL | Qt::Key_3},
    {"aCreRecup", Qt::CTRL | Qt::Key_4},
    {"aCredito", Qt::CTRL | Qt::Key_5},
    {"aEncomio", Qt::CTRL | Qt::Key_6},
    {"aCreNota", Qt::CTRL | Qt::Key_7},
};

} // namespace

TfrqevCarBs::TfrqevCarBs(QWidget *parent)
    : TfrVxBase(parent), grGrid(new TqelStringGrid), PanelHelp(new RigaAiuto), paName(new QWidget),
      laNameCaption(new QLabel), paMedia(new QWidget), laMedia(new QLabel)
{
    // The actions' image numbers index these, in this order.
    LoadDefaultImages(ilFrame(), {QStringLiteral("CARSAVE"), QStringLiteral("CARSELDATO"),
                                  QStringLiteral("DATIANAGRAFICI"), QStringLiteral("CARSELCOL"),
                                  QStringLiteral("CARIMPPAR"), QStringLiteral("CARVTPVOT"),
                                  QStringLiteral("CARSUMCRE"), QStringLiteral("CARTOTCRE"),
                                  QStringLiteral("CARDEBDEFAULT"), QStringLiteral("STORICOHTML"),
                                  QStringLiteral("VXDELETE"), QStringLiteral("RPTTEMPLATE"),
                                  QStringLiteral("ROWUP"), QStringLiteral("ROWDOWN")});
    aSave = aggiungi(this, "aSave", "tbSave", QStringLiteral("Salva griglia"), 0,
                     QStringLiteral("Salva dati della griglia"));
    separatore(this, "tb1");
    aFormSel = aggiungi(this, "aFormSel", "tbSelDati", QStringLiteral("Selezione dati..."), 1,
                        QStringLiteral("Mostra la videata per la selezione dei dati"));
    aSingolo = aggiungi(this, "aSingolo", "tbSing", QStringLiteral("Singolo alunno..."), 2,
                        QStringLiteral("Caricamento per singolo alunno"));
    separatore(this, "tb2");
    aParVis = aggiungi(this, "aParVis", "tbParVis", QStringLiteral("Parametri visualizzazione"), 4,
                       QStringLiteral("Imposta parametri di visualizzazione"));
    separatore(this, "tb3");
    aStorico = aggiungi(this, "aStorico", "tbStorico", QStringLiteral("Storico alunno"), 9,
                        QStringLiteral("Visualizza storico dell'alunno"));

    grGrid->setObjectName(QStringLiteral("grGrid"));
    PanelHelp->setObjectName(QStringLiteral("PanelHelp"));
    paName->setObjectName(QStringLiteral("paName"));
    laNameCaption->setObjectName(QStringLiteral("laNameCaption"));
    paMedia->setObjectName(QStringLiteral("paMedia"));
    laMedia->setObjectName(QStringLiteral("laMedia"));

    // The summary label stands on the tool bar row, right of the buttons, over the width the
    // buttons leave.
    auto *media = new QHBoxLayout(paMedia);
    media->setContentsMargins(8, 0, 8, 0);
    media->addWidget(laMedia);
    laMedia->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = laMedia->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.1);
    laMedia->setFont(bold);
    laMedia->setVisible(false);
    if (auto *bar = qobject_cast<QHBoxLayout *>(orFrame()->layout()))
        bar->insertWidget(1, paMedia, 1);

    auto *name = new QHBoxLayout(paName);
    name->setContentsMargins(0, 0, 0, 0);
    name->addWidget(laNameCaption, 0, Qt::AlignCenter);
    laNameCaption->setFont(bold);
    laNameCaption->clear();
    laNameCaption->setVisible(false);
    FrameLayout()->addWidget(paName);

    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(grGrid);
    splitter->addWidget(PanelHelp);
    splitter->setStretchFactor(0, 1);
    splitter->setChildrenCollapsible(false);
    PanelHelp->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    PanelHelp->setFrameShape(QFrame::StyledPanel);
    FrameLayout()->addWidget(splitter, 1);

    grGrid->setPanelHlp(PanelHelp);
    grGrid->OnSelectCell = [this](int col, int row, bool &canSelect) {
        grGridSelectCell(col, row, canSelect);
    };
    grGrid->OnKeyPress = [this](QChar &key) { grGridKeyPress(key); };
    grGrid->OnSetEditText = [this](int col, int row, const QString &value) {
        grGridSetEditText(col, row, value);
    };
    grGrid->OnMouseUp = [this](Qt::MouseButton, const QPoint &) { grGridMouseUp(); };
    grGrid->OnEditRefused = [this] { grGridEditRefused(); };
    grGrid->OnDiversa = [this](int col, int row) { return CellaDiversa(col, row); };
    // A width the office drags stays with the page's display parameters.
    grGrid->OnLarghezzaTrascinata = [this](int col, int width) {
        if (dmqevParVis)
            RunShowingErrors([&] {
                dmqevParVis->Griglia(grGrid->TipoDati(), grGrid->TipoCar())
                    .SetLarghezza(grGrid->ChiaveColonna(col), width);
            });
    };

    aStorico->setEnabled(false);
    azione(aSave, this, [this] { aSaveExecute(); });
    azione(aFormSel, this, [this] { aFormSelExecute(); });
    azione(aSingolo, this, [this] { aSingoloExecute(); });
    azione(aParVis, this, [this] { aParVisExecute(); });
}

TfrqevCarBs::~TfrqevCarBs() = default;

bool TfrqevCarBs::CellaDiversa(int col, int row) const
{
    return grGrid->TestoCambiato(col, row);
}

QAction *TfrqevCarBs::AzioneStrumenti(const char *name, const char *button, const char *caption,
                                      const char *hint, int image)
{
    auto *action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    if (hint)
        action->setToolTip(QString::fromUtf8(hint));
    SetImageIndex(action, image);
    xoaCustom()->insertAction(FrameAction(QStringLiteral("tb2")), action);
    if (QWidget *w = xoaCustom()->widgetForAction(action))
        w->setObjectName(QString::fromLatin1(button));
    return action;
}

void TfrqevCarBs::SvuotaGriglia()
{
    grGrid->setEditorMode(false);
    for (int r = 0; r < grGrid->RowCount(); ++r) {
        for (int c = 0; c < grGrid->ColCount(); ++c) {
            grGrid->setCells(c, r, QString());
            grGrid->setObjects(c, r, nullptr);
        }
    }
    grGrid->setColCount(1);
    grGrid->setRowCount(1);
}

void TfrqevCarBs::InitTipoDati(int tipoDati)
{
    TipoDati = tipoDati;
    ListaMatAlu.clear();
    grGrid->setTipoCar(TipoCar);
    grGrid->setTipoDati(TipoDati);
    SvuotaGriglia();
    static const QList<int> conSelezione = {0, 1, 2, 5, 6, 7, 8, 9, 30};
    aFormSel->setVisible(conSelezione.contains(TipoDati));
    aSingolo->setVisible(RighePerAlunno(TipoCar));
    if (QAction *tb2 = FrameAction(QStringLiteral("tb2")))
        tb2->setVisible(aFormSel->isVisible() || aSingolo->isVisible());
    aStorico->setEnabled(false);
    laNameCaption->setVisible(false);
    AssegnaTasti();
}

void TfrqevCarBs::AssegnaTasti()
{
    const QList<QAction *> azioni = findChildren<QAction *>();
    for (const auto &t : kTasti) {
        for (QAction *action : azioni) {
            if (action->objectName() == QLatin1String(t.azione))
                VxSetShortcut(this, action, QKeySequence(t.tasto));
        }
    }
    for (QToolButton *button : xoaCustom()->findChildren<QToolButton *>()) {
        if (button->menu())
            VxShowMenuShortcuts(button);
    }
}

void TfrqevCarBs::LoadFromClassForm()
{
    QevGradeWindow *cls = TdmqevActivations::GradeWindow(QString::fromLatin1(QevForms::CarCls));
    TfrqevCarBs *active = cls ? cls->FrameAttivo() : nullptr;
    if (!active)
        return;
    const int r = active->grGrid->Row();
    if (perLivello(active->TipoDati)) {
        RigaCls2 = r;
        RigaCls1 = r - 1;
    } else {
        RigaCls2 = r + 1;
        RigaCls1 = r;
    }
}

TfrqevCarBs *TfrqevCarBs::FrameClasseAlunno() const
{
    QevGradeWindow *cls = TdmqevActivations::GradeWindow(QString::fromLatin1(QevForms::CarCls));
    TfrqevCarBs *frame = cls ? cls->FrameDi(TipoDati) : nullptr;
    if (!frame || frame->TipoCar != tcClasse || frame->TipoDati != TipoDati ||
        frame->grGrid->ColCount() <= 1 || !dmqevDataSets)
        return nullptr;
    auto ana = frame->AlunnoDi(RigaCls1);
    return ana && ana->iSitId == dmqevDataSets->iSitId ? frame : nullptr;
}

void TfrqevCarBs::LayoutColonnaAlunni(const QString &intestazione, int larghezza,
                                      std::initializer_list<const char *> nascostePerAlunno)
{
    auto options = grGrid->Options();
    options.setFlag(TVxStringGrid::goEditing, false);
    grGrid->setOptions(options);
    paMedia->setVisible(false);
    laMedia->setVisible(false);
    const bool classe = TipoCar == tcClasse;
    // The grid with its help panel.
    grGrid->parentWidget()->setVisible(classe);
    if (!classe) {
        for (const char *name : nascostePerAlunno) {
            if (QAction *action = FrameAction(QString::fromLatin1(name)))
                action->setVisible(false);
        }
        return;
    }
    const TqevStringList &alunni = dmqevDataSets->slAlunni;
    grGrid->setnColIntest(1);
    grGrid->setnRowIntest(1);
    grGrid->setColCount(2);
    grGrid->setRowCount(1 + alunni.Count());
    for (int i = 0; i < alunni.Count(); ++i) {
        grGrid->setCells(0, 1 + i, alunni.Strings(i));
        grGrid->setObjects(0, 1 + i, alunni.Objects(i));
    }
    grGrid->setCells(1, 0, intestazione);
    grGrid->setLarghezza(1, larghezza);
}

void TfrqevCarBs::PerAlunno(
    const std::function<void(int col, int row, int iSitId, const QString &nome)> &visita) const
{
    if (TipoCar != tcClasse) {
        visita(0, 0, dmqevDataSets->iSitId, dmqevDataSets->sNomeAlunno);
        return;
    }
    for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r) {
        if (auto ana = AlunnoDi(r))
            visita(1, r, ana->iSitId, NomeAlunno(*ana));
    }
}

void TfrqevCarBs::CaricaPerAlunno(
    const std::function<void(int iSitId)> &leggi,
    const std::function<void(int col, int row, int iSitId, const QString &nome)> &visita)
{
    grGrid->setModificato(false);
    TVxHourglass hourglass;
    TVxTransactionScope lettura(qqoVxGlobConn());
    leggi(TipoCar == tcClasse ? 0 : dmqevDataSets->iSitId);
    PerAlunno(visita);
    lettura.Commit();
    grGrid->setModificato(false);
}

void TfrqevCarBs::PerCella(const std::function<void(int col, int row)> &visita) const
{
    if (TipoCar == tcClasse) {
        for (int c = grGrid->nColIntest(); c < grGrid->ColCount(); ++c) {
            for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r)
                visita(c, r);
        }
    } else {
        for (int r = grGrid->nRowIntest(); r < grGrid->RowCount(); ++r)
            visita(1, r);
    }
}

bool TfrqevCarBs::SalvaGriglia(const QList<TqevScrittura> &scritture, const TqevVerifica &verifica)
{
    if (!SalvaScritture(scritture, verifica))
        return false;
    grGrid->setModificato(false);
    return true;
}

std::shared_ptr<TVxGridObject> TfrqevCarBs::RecordClasse() const
{
    TfrqevCarBs *cls = FrameClasseAlunno();
    return cls ? cls->grGrid->Objects(1, RigaCls1) : nullptr;
}

void TfrqevCarBs::MostraInClasse(const QString &testo)
{
    TfrqevCarBs *cls = FrameClasseAlunno();
    if (cls && cls->grGrid->Objects(1, RigaCls1) == grGrid->Objects(0, 0))
        cls->grGrid->setCells(1, RigaCls1, testo);
}

void TfrqevCarBs::Carica()
{
    // A debts grid showing an earlier year than the class session's loads from the database.
    const bool stessoAnno = !dmqevDataSets || dmqevDataSets->iAnsId == dmqevDataSets->iAnsIdSel;
    if (TipoCar == tcAlunno && TdmqevActivations::CarClsAperto() &&
        (TipoDati != tdDebiti || stessoAnno))
        LoadFromClassForm();
    else
        LoadData();
    aFormSel->setEnabled(grGrid->ColCount() > 1);
}

bool TfrqevCarBs::Salva()
{
    if (siValida(TipoDati) &&
        !ValidaCella(QStringLiteral("Impossibile eseguire il salvataggio dei dati.")))
        return false;
    // A frame's failure outside its writes is told too: the host windows save from their
    // close handler, which nothing may leave by an exception.
    bool salvato = false;
    RunShowingErrors([this, &salvato] { salvato = SaveDataDb(); });
    // The pupil's average is the stored one: it follows what was just stored.
    if (perLivello(TipoDati) && grGrid->Row() >= grGrid->nRowIntest())
        AggiornaMedia(grGrid->Row());
    if (!salvato)
        return false;
    // A per-pupil frame beside the class or subject window brings that window up to date.
    const bool stessoAnno = !dmqevDataSets || dmqevDataSets->iAnsId == dmqevDataSets->iAnsIdSel;
    if (TipoCar == tcAlunno && TdmqevActivations::FinestraOrigine() &&
        (TipoDati != tdDebiti || stessoAnno))
        UpdateClassForm();
    emit salvata();
    return true;
}

bool TfrqevCarBs::Rileggi()
{
    TfrqevCarBs *classe = TipoCar == tcAlunno ? FrameClasseAlunno() : nullptr;
    const int riga = perLivello(TipoDati) ? RigaCls2 : RigaCls1;
    for (int c = 0; classe && c < classe->grGrid->ColCount(); ++c) {
        if (classe->grGrid->CellaModificata(c, riga))
            return false;
    }
    LoadData();
    if (classe)
        UpdateClassForm();
    return true;
}

std::shared_ptr<TRecAna> TfrqevCarBs::AlunnoDi(int row) const
{
    return grGrid->RecordAt<TRecAna>(0, row);
}

QString TfrqevCarBs::NomeAlunno(const TRecAna &ana)
{
    return ana.sAnaCognome + QLatin1Char(' ') + ana.sAnaNome;
}

bool TfrqevCarBs::ValidaCella(const QString &messaggio)
{
    const int col = grGrid->Col();
    const int row = grGrid->Row();
    // A grid without data cells (a class session with no taxonomy) has nothing typed.
    if (col < grGrid->nColIntest() || row < grGrid->nRowIntest())
        return true;
    bool valida = false;
    MotivoRifiuto.clear();
    grGridSelectCell(col, row, valida);
    if (valida)
        return true;

    const QString intestazione = QStringLiteral("Attenzione!\r\r%1\r\rDato non valido: \r\r");
    auto mat = [this](int c, int r) { return grGrid->RecordAt<TRecMat>(c, r); };
    auto cmp = [this](int c, int r) { return grGrid->RecordAt<TRecCmp>(c, r); };
    auto anno = [this](int c, int r) {
        auto cre = std::dynamic_pointer_cast<TRecCre>(grGrid->RecordOf(c, r));
        return cre ? cre->sAnnoScol : QString();
    };
    QString testoAvviso;
    if (RighePerAlunno(grGrid->TipoCar())) {
        auto ana = AlunnoDi(row);
        const QString nome = ana ? NomeAlunno(*ana) : QString();
        const QString materia = mat(col, 0) ? mat(col, 0)->sMatLDesc : QString();
        if (perLivello(TipoDati)) {
            auto c = cmp(col, grGrid->nRowIntest() - 1);
            testoAvviso =
                (intestazione + QStringLiteral("Alunno: %2\rMateria: %3 \rComponente: %4 \r"))
                    .arg(messaggio, nome.toUpper(), materia.toUpper(),
                         c ? c->sCmpLDesc.toUpper() : QString());
        } else if (TipoDati == tdAssenze || TipoDati == tdAiuti) {
            testoAvviso = (intestazione + QStringLiteral("Alunno: %2\rMateria: %3 \r"))
                              .arg(messaggio, nome, materia);
        } else if (TipoDati == tdCrediti) {
            testoAvviso = (intestazione + QStringLiteral("Alunno: %2\rAnno: %3 \r"))
                              .arg(messaggio, nome, anno(col, row));
        }
    } else {
        const QString materia = mat(0, row) ? mat(0, row)->sMatLDesc : QString();
        if (perLivello(TipoDati)) {
            auto c = cmp(col, 0);
            testoAvviso =
                (intestazione + QStringLiteral("Materia: %2 \rComponente: %3 \r"))
                    .arg(messaggio, materia.toUpper(), c ? c->sCmpLDesc.toUpper() : QString());
        } else if (TipoDati == tdAssenze || TipoDati == tdAiuti) {
            testoAvviso = (intestazione + QStringLiteral("Materia: %2 \r")).arg(messaggio, materia);
        } else if (TipoDati == tdCrediti) {
            testoAvviso = (intestazione + QStringLiteral("Anno: %2 \rColonna: %3 \r"))
                              .arg(messaggio, anno(1, row), grGrid->Cells(col, 0));
        }
    }
    if (!testoAvviso.isEmpty() && !MotivoRifiuto.isEmpty())
        testoAvviso += QLatin1Char('\r') + MotivoRifiuto + QLatin1Char('\r');
    if (!testoAvviso.isEmpty())
        VxMessageDlg(testoAvviso, mtWarning, mbOK);
    return false;
}

void TfrqevCarBs::Rifiuta(const QString &motivo)
{
    MotivoRifiuto = motivo;
    PanelHelp->setText(QLatin1Char(' ') + motivo);
}

void TfrqevCarBs::ApplicaParVis()
{
    if (!dmqevParVis)
        return;
    TqevParVisGriglia &p = dmqevParVis->Griglia(grGrid->TipoDati(), grGrid->TipoCar());
    grGrid->setnNomeDim(p.xpiFCol.GetValore());
    grGrid->setnColDim(p.xpiCol.GetValore());
    grGrid->setnRowDim(p.xpiRow.GetValore());
    grGrid->setDescrRow1(p.xpiDesMat.GetValore());
    grGrid->setDescrRow2(p.xpiDesCmp.GetValore());
    grGrid->setEvRowCol(p.xpbRowCol.GetValore());
    grGrid->setScorrOrizz(p.xpbScorr.GetValore());
    grGrid->setEvInsuff(perLivello(TipoDati) && p.xpbInsuff.GetValore());
    const TVxFont font = p.xpfFont.GetValore();
    grGrid->setFont(font.font);
    grGrid->setFontColor(font.color);
    if (grGrid->nRowIntest() < grGrid->RowCount())
        grGrid->setFixedRows(grGrid->nRowIntest());
    if (grGrid->nColIntest() < grGrid->ColCount())
        grGrid->setFixedCols(grGrid->nColIntest());
    const std::map<QString, int> trascinate = p.Larghezze();
    for (int c = 0; c < grGrid->ColCount() && !trascinate.empty(); ++c) {
        const auto found = trascinate.find(grGrid->ChiaveColonna(c));
        if (found != trascinate.end())
            grGrid->setLarghezzaTrascinata(c, found->second);
    }
    if (parentWidget() && parentWidget()->isVisible() && grGrid->isVisible())
        grGrid->setFocus();
    try {
        grGrid->MoveCursor(grGrid->nColIntest(), grGrid->nRowIntest());
    } catch (const EVxException &) {
        // A grid without data cells keeps its cursor.
    }
}

void TfrqevCarBs::AggiornaMedia(int row)
{
    QPalette palette = laMedia->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    laMedia->setPalette(palette);
    Media = 0;
    // A count, or a sum of credits: two credit columns at their largest pass what an int holds.
    qint64 conta = 0;

    int piano = 0;
    int iSitId = 0;
    const bool perAlunno = RighePerAlunno(TipoCar);
    if (perAlunno) {
        auto ana = AlunnoDi(row);
        if (!ana)
            return;
        piano = ana->iPstId;
        iSitId = ana->iSitId;
    } else if (dmqevDataSets) {
        piano = dmqevDataSets->iPstIdSel;
        iSitId = dmqevDataSets->iSitId;
    }

    // The cells that count: a pupil's row, or every row of a per-pupil grid; notes, debts and
    // credits outside class mode hang one record per row on column 1.
    QList<QPair<int, int>> celle;
    const int firstCol = grGrid->nColIntest();
    const int firstRow = grGrid->nRowIntest();
    if (TipoDati <= tdAiuti) {
        for (int r = perAlunno ? row : firstRow; r <= (perAlunno ? row : grGrid->RowCount() - 1);
             ++r) {
            for (int c = firstCol; c < grGrid->ColCount(); ++c)
                celle.append({c, r});
        }
    } else if (TipoDati == tdNote || TipoDati == tdCrediti || TipoDati == tdDebiti) {
        if (TipoCar == tcClasse) {
            for (int c = firstCol; c < grGrid->ColCount(); ++c)
                celle.append({c, row});
        } else {
            for (int r = firstRow; r < grGrid->RowCount(); ++r)
                celle.append({1, r});
        }
    }

    try {
        for (const auto &[c, r] : celle) {
            if (perLivello(TipoDati)) {
                auto val = grGrid->RecordAt<TRecVal>(c, r);
                auto cmp = grGrid->RecordAt<TRecCmp>(c, perAlunno ? 1 : 0);
                if (!val || !val->bValInMed || val->bBloccato || !cmp || !cmp->bCmpScaInMedia)
                    continue;
                if (TipoCar == tcClasse) {
                    auto mat = grGrid->RecordAt<TRecMat>(c, 0);
                    if (!mat || !dmqevDataSets ||
                        !dmqevDataSets->IsMatInMedia(mat->iMatRmaId, piano))
                        continue;
                } else if (TipoCar == tcAlunno || TipoCar == tcDebiti) {
                    auto mat = grGrid->RecordAt<TRecMat>(0, r);
                    if (!mat || !mat->bMatInMedia)
                        continue;
                }
                ++conta;
            } else if (TipoDati == tdAssenze) {
                const QString t = testo(grGrid->Cells(c, r));
                if (!t.isEmpty())
                    conta += t.toInt();
            } else if (TipoDati == tdAiuti) {
                if (!testo(grGrid->Cells(c, r)).isEmpty())
                    ++conta;
            } else if (TipoDati == tdNote) {
                auto nota = std::dynamic_pointer_cast<TRecNot>(grGrid->RecordOf(c, r));
                if (nota && (!testo(nota->bNotNota).isEmpty() || nota->dNotData.isValid() ||
                             !testo(nota->sDocNome).isEmpty()))
                    ++conta;
            } else if (TipoDati == tdDebiti) {
                auto deb = std::dynamic_pointer_cast<TRecDeb>(grGrid->RecordOf(c, r));
                if (deb && (!testo(deb->sDtdLDesc).isEmpty() || !testo(deb->sDedLDesc).isEmpty() ||
                            deb->dDebAttr.isValid() || deb->dDebVer.isValid() ||
                            !testo(deb->sDocAttr).isEmpty() || !testo(deb->sDocVer).isEmpty() ||
                            !testo(deb->slNota.join(QString())).isEmpty()))
                    ++conta;
            } else if (TipoDati == tdCrediti) {
                if (auto cre = std::dynamic_pointer_cast<TRecCre>(grGrid->RecordOf(c, r)))
                    conta += qint64(cre->iCreCredito) + cre->iCreRecup;
            }
        }
        // The vote kinds show the pupil's stored average, read only when a counted vote is
        // in the grid.
        if (perLivello(TipoDati) && conta > 0 && dmqevDataSets) {
            SetAnsIdMedia(dmqevDataSets->iAnsId);
            const int cs = dmqevDataSets->iClsSesId;
            Media = RoundTo(TipoDati == tdProposti ? MediaVotiProposti(iSitId, -1, cs)
                                                   : MediaVoti(iSitId, -1, cs, false),
                            -2);
        }
    } catch (const EVxException &) {
        // The label keeps what it showed: a summary is no reason to stop the office's work.
        return;
    }

    if (conta <= 0) {
        laMedia->clear();
        laMedia->setVisible(false);
        return;
    }
    const QString spazi = QStringLiteral("  ");
    QString caption;
    switch (TipoDati) {
    case tdVoti:
    case tdProposti:
    case tdTassonomie:
        caption = QStringLiteral("Media: ") + QLocale(QLocale::Italian).toString(Media, 'g', 15);
        break;
    case tdAssenze:
        caption = QStringLiteral("Totale assenze: ") + QString::number(conta);
        break;
    case tdAiuti:
        caption = QStringLiteral("Numero aiuti: ") + QString::number(conta);
        break;
    case tdNote:
        caption = QStringLiteral("Numero note: ") + QString::number(conta);
        break;
    case tdDebiti:
        caption = QStringLiteral("Numero debiti: ") + QString::number(conta);
        break;
    case tdCrediti:
        caption = QStringLiteral("Credito totale: ") + QString::number(conta);
        if (conta > 25) {
            palette.setColor(QPalette::WindowText, Qt::red);
            laMedia->setPalette(palette);
        }
        break;
    default:
        break;
    }
    laMedia->setText(caption + spazi);
    laMedia->setVisible(true);
}

void TfrqevCarBs::aSaveExecute()
{
    // Saving takes the text being typed as entered: an Esc afterwards must not put back what
    // the cell held before, unsaved, over the value just stored.
    grGrid->setEditorMode(false);
    if (siValida(TipoDati) &&
        !ValidaCella(QStringLiteral("Impossibile eseguire il salvataggio dei dati.")))
        return;
    if (VxMessageDlg(TestoConferma, mtInformation, mbYesNo) == mrYes)
        Salva();
}

void TfrqevCarBs::aSingoloExecute()
{
    if (!RighePerAlunno(TipoCar) || !dmqevActivations)
        return;
    if (dmqevActivations->SelItemAperto())
        dmqevActivations->fmqevSelItem->close();
    auto ana = AlunnoDi(grGrid->Row());
    if (!ana)
        return;
    QevGradeWindow *pupilWindow =
        TdmqevActivations::GradeWindow(QString::fromLatin1(QevForms::CarSng));
    // The open pupil window lets its own edits go first: they belong to the pupil it shows.
    if (pupilWindow && !pupilWindow->ChiediSalvataggio())
        return;
    if (!pupilWindow && siValida(TipoDati) &&
        !ValidaCella(QStringLiteral("Impossibile visualizzare la scheda dell'alunno.")))
        return;
    dmqevDataSets->iAnaId = ana->iAnaId;
    dmqevDataSets->SelezionaAlunno(ana->iSitId);
    dmqevDataSets->iPstIdSel = ana->iPstId;
    for (QObject *o = parent(); o; o = o->parent()) {
        if (auto *host = qobject_cast<QevGradeWindow *>(o)) {
            host->SetRigaSng(grGrid->Row(), TipoDati);
            break;
        }
    }
    if (pupilWindow) {
        pupilWindow->CaricaFrames();
        if (QWidget *w = TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarSng)))
            w->activateWindow();
        return;
    }
    TdmqevActivations::DaGriglia request;
    RunCommandShowingErrors(dmqevActivations->xafCarSng);
}

void TfrqevCarBs::aParVisExecute()
{
    TfmqevParVis dialog(window());
    dialog.SetGriglia(grGrid);
    dialog.ShowModal();
}

void TfrqevCarBs::grGridSelectCell(int, int, bool &)
{
    if (TipoCar == tcAlunno && dmqevDataSets)
        laNameCaption->setText(dmqevDataSets->sDesAlunno);
}

void TfrqevCarBs::grGridKeyPress(QChar &) {}

void TfrqevCarBs::grGridEditRefused()
{
    // A read-only grid (behind a pupil window) takes nothing at all.
    if (!aFormSel->isVisible() || !aFormSel->isEnabled())
        return;
    auto comando = [](QAction *action) {
        return QStringLiteral("\"%1\" (%2)")
            .arg(action->text(), action->shortcut().toString(QKeySequence::NativeText));
    };
    const QString cosa = TipoDati == tdNote       ? QStringLiteral("La nota")
                         : TipoDati == tdDebiti   ? QStringLiteral("Il debito")
                         : TipoDati == tdGiudizio ? QStringLiteral("Il giudizio")
                         : TipoDati == tdEsito    ? QStringLiteral("L'esito")
                                                  : QStringLiteral("Il dato");
    QString testo = QStringLiteral(" %1 non si scrive nella griglia: si sceglie con %2")
                        .arg(cosa, comando(aFormSel));
    QAction *assegna = FrameAction(QStringLiteral("aDebDef"));
    if (assegna && assegna->isVisible())
        testo += QStringLiteral(" o si assegna con ") + comando(assegna);
    PanelHelp->setText(testo + QLatin1Char('.'));
}

void TfrqevCarBs::grGridSetEditText(int, int, const QString &) {}

void TfrqevCarBs::grGridMouseUp()
{
    // A read-only grid (behind a pupil window) takes nothing from the pick dialog.
    if (!dmqevActivations || !dmqevActivations->SelItemAperto() || !aFormSel->isEnabled())
        return;
    TfmqevSelItem::Seguendo seguendo;
    if (TipoDati == tdCrediti && TipoCar == tcAlunno) {
        const int col = grGrid->Col();
        if (col == 11 || col == 12)
            RunShowingErrors([this] { aFormSelExecute(); });
        else
            dmqevActivations->fmqevSelItem->hide();
        return;
    }
    RunShowingErrors([this] { aFormSelExecute(); });
}

void TfrqevCarBs::FrameEnter()
{
    TfrVxBase::FrameEnter();
    if (!dmqevActivations || !dmqevActivations->SelItemAperto())
        return;
    QWidget *pick = dmqevActivations->fmqevSelItem;
    const bool nascondi =
        TipoDati == tdAssenze || TipoDati == tdAiuti || grGrid->ColCount() <= 1 ||
        ((TipoDati == tdGiudizio || TipoDati == tdEsito) && TipoCar == tcAlunno) ||
        !aFormSel->isEnabled();
    if (nascondi) {
        pick->hide();
        return;
    }
    pick->show();
    TfmqevSelItem::Seguendo seguendo;
    RunShowingErrors([this] { aFormSelExecute(); });
}
