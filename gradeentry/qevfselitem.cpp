#include "gradeentry/qevfselitem.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevliste.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarbs.h"
#include "platform/frames.h"
#include "platform/globalvars.h"
#include "platform/images.h"
#include "platform/keyboardfocus.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using TfS = TfmqevSelItem;

bool perLivello(int kind)
{
    return kind >= TfS::skVoto && kind <= TfS::skTassonomia;
}

bool conLista(int kind)
{
    return perLivello(kind) || kind == TfS::skDocenteNota || kind == TfS::skDocenteNotaIstituto ||
           (kind >= TfS::skTipoDebito && kind <= TfS::skDocVerIstituto) || kind == TfS::skEncomio ||
           kind == TfS::skEsito;
}

bool perData(int kind)
{
    return kind == TfS::skDataNota || kind == TfS::skDataAttr || kind == TfS::skDataVer;
}

bool conMemo(int kind)
{
    return kind == TfS::skTestoNota || kind == TfS::skNotaDebito || kind == TfS::skNotaCredito ||
           kind == TfS::skGiudizio;
}

bool perDocente(int kind)
{
    return kind == TfS::skDocenteNota || kind == TfS::skDocenteNotaIstituto ||
           (kind >= TfS::skDocAttr && kind <= TfS::skDocVerIstituto);
}

// Per-pupil and per-subject grids hang notes, debts and credits one record per row on column
// 1, and judgments and outcomes always do; so does the debts window's grid.
bool perRiga(const TqelStringGrid &g)
{
    return g.TipoCar() == tcAlunno || g.TipoCar() == tcMateria || g.TipoCar() == tcDebiti;
}

QString siONiente(const QString &text)
{
    return text.trimmed().isEmpty() ? QString() : QStringLiteral("Sì");
}

struct Colonna
{
    const char *caption;
    int width;
};

QList<Colonna> colonneDi(int kind)
{
    if (perDocente(kind))
        return {{"Nominativo", 250}};
    if (kind == TfS::skTipoDebito || kind == TfS::skEsitoDebito)
        return {{"Descrizione", 170}, {"Stato", 100}};
    return {{"Descrizione lunga", 170}, {"Descrizione breve", 100}};
}

// The caption names what the office writes: the note, the debt, the judgment.
QString captionDi(int kind)
{
    switch (kind) {
    case TfS::skVoto:
    case TfS::skProposto:
    case TfS::skTassonomia:
        return QStringLiteral("Seleziona Livello");
    case TfS::skDocenteNota:
    case TfS::skDocenteNotaIstituto:
        return QStringLiteral("Seleziona docente della nota");
    case TfS::skDataNota:
        return QStringLiteral("Seleziona data della nota");
    case TfS::skTestoNota:
        return QStringLiteral("Inserisci nota");
    case TfS::skDataAttr:
        return QStringLiteral("Seleziona data di attribuzione del debito");
    case TfS::skDataVer:
        return QStringLiteral("Seleziona data di verifica del debito");
    case TfS::skTipoDebito:
        return QStringLiteral("Tipo debito");
    case TfS::skEsitoDebito:
        return QStringLiteral("Esito debito");
    case TfS::skDocAttr:
    case TfS::skDocAttrIstituto:
        return QStringLiteral("Seleziona docente che attribuisce il debito");
    case TfS::skDocVer:
    case TfS::skDocVerIstituto:
        return QStringLiteral("Seleziona docente che verifica il debito");
    case TfS::skNotaDebito:
        return QStringLiteral("Inserisci nota del debito");
    case TfS::skEncomio:
        return QStringLiteral("Encomio");
    case TfS::skNotaCredito:
        return QStringLiteral("Inserisci nota del credito");
    case TfS::skGiudizio:
        return QStringLiteral("Inserisci giudizio");
    case TfS::skEsito:
        return QStringLiteral("Esito");
    default:
        return QString();
    }
}

} // namespace

TfmqevSelItem::TfmqevSelItem(QWidget *owner) : TfmVxOkCancDlg(owner)
{
    setObjectName(QStringLiteral("fmqevSelItem"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    resize(440, 300);
    buOk()->setText(QStringLiteral("&Assegna"));
    buOk()->setDefault(false);
    buOk()->setAutoDefault(false);
    buOk()->setEnabled(false);
    buCancel()->setText(QStringLiteral("&Chiudi"));
    buCancel()->setAutoDefault(false);

    TVxImageList images;
    LoadDefaultImages(images, {QStringLiteral("PREVCELL"), QStringLiteral("NEXTCELL")});
    auto *bar = new QToolBar;
    bar->setObjectName(QStringLiteral("VxToolBar1"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbPrior = bar->addAction(images.icon(0), QStringLiteral("Precedente"));
    tbPrior->setObjectName(QStringLiteral("tbPrior"));
    tbPrior->setToolTip(QStringLiteral("Cella precedente"));
    tbNext = bar->addAction(images.icon(1), QStringLiteral("Successiva"));
    tbNext->setObjectName(QStringLiteral("tbNext"));
    tbNext->setToolTip(QStringLiteral("Cella successiva"));
    // A tool button drops the letters' marks of its command's text, not of its own.
    tbPrior->setIconText(QStringLiteral("&Precedente"));
    tbNext->setIconText(QStringLiteral("&Successiva"));
    cbAll = new QCheckBox(QStringLiteral("Applica a &tutta la colonna"));
    cbAll->setObjectName(QStringLiteral("cbAll"));
    buDocIst = new QPushButton(QStringLiteral("Doc. istituto"));
    buDocIst->setObjectName(QStringLiteral("buDocIst"));
    buDocIst->setToolTip(QStringLiteral("Carica i docenti dell'istituto"));
    buDocIst->setAutoDefault(false);
    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(bar);
    top->addWidget(cbAll);
    top->addStretch(1);
    top->addWidget(buDocIst);

    mcData = new QCalendarWidget;
    mcData->setObjectName(QStringLiteral("mcData"));
    mcData->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    mcData->setFirstDayOfWeek(Qt::Monday);
    meNota = new QPlainTextEdit;
    meNota->setObjectName(QStringLiteral("meNota"));
    // A tab is no character of a note or a judgment: Tab goes on to the next control.
    meNota->setTabChangesFocus(true);
    lvItems = new QTreeWidget;
    lvItems->setObjectName(QStringLiteral("lvItems"));
    lvItems->setRootIsDecorated(false);
    lvItems->setSelectionMode(QAbstractItemView::SingleSelection);
    lvItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvItems->header()->setSectionsClickable(false);
    lvItems->installEventFilter(this);
    auto *paMain = new QWidget;
    paMain->setObjectName(QStringLiteral("paMain"));
    auto *main = new QVBoxLayout(paMain);
    main->setContentsMargins(0, 0, 0, 0);
    main->addWidget(mcData);
    main->addWidget(meNota);
    main->addWidget(lvItems);

    pSearch = new QWidget;
    pSearch->setObjectName(QStringLiteral("pSearch"));
    auto *search = new QHBoxLayout(pSearch);
    search->setContentsMargins(0, 0, 0, 0);
    auto *cerca = new QLabel(QStringLiteral("C&erca"));
    search->addWidget(cerca);
    eFind = new QLineEdit;
    eFind->setObjectName(QStringLiteral("eFind"));
    cerca->setBuddy(eFind);
    search->addWidget(eFind, 1);

    auto *client = new QVBoxLayout(ClientArea());
    client->setContentsMargins(0, 0, 0, 0);
    client->addLayout(top);
    client->addWidget(paMain, 1);
    client->addWidget(pSearch);
    for (QWidget *w :
         std::initializer_list<QWidget *>{mcData, meNota, lvItems, pSearch, cbAll, buDocIst})
        w->setVisible(false);
    // Tab from the kind's editor: the search, the buttons, then the walk's commands above.
    VxTabStops(bar);
    VxSetTabOrder({mcData, meNota, lvItems, eFind, buOk(), buCancel(),
                   bar->widgetForAction(tbPrior), bar->widgetForAction(tbNext), cbAll, buDocIst});

    // The buttons' work reads lists from the database: a failure is shown, not carried out of
    // the event.
    connect(buDocIst, &QPushButton::clicked, this,
            [this] { RunShowingErrors([this] { buDocIstClick(); }); });
    connect(eFind, &QLineEdit::textChanged, this, [this](const QString &t) { eFindChange(t); });
    // "Assegna" follows the selection however it was made: click, arrows, search, the cell.
    connect(lvItems, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (QTreeWidgetItem *item = scelto())
            lvItems->scrollToItem(item);
        if (lista())
            buOk()->setEnabled(scelto() != nullptr);
    });
    // Enter in "Cerca" assigns what the search selected, as Enter in the list does.
    connect(eFind, &QLineEdit::returnPressed, this, [this] {
        if (lista() && scelto())
            buOkClick();
    });
    connect(lvItems, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (scelto())
            buOkClick();
    });
    connect(mcData, &QCalendarWidget::activated, this, [this] { buOkClick(); });
    connect(meNota, &QPlainTextEdit::textChanged, this, [this] {
        buOk()->setEnabled(!conMemo(TipoSel) || !meNota->toPlainText().trimmed().isEmpty());
    });
    // "Chiudi" and Esc end the dialog without a close event: it closes all the same.
    connect(this, &QDialog::finished, this, [this] { chiuso(); });
    connect(tbPrior, &QAction::triggered, this, [this] {
        RunShowingErrors([this] { AssegnaCella(false, false); });
        seguiCella();
    });
    connect(tbNext, &QAction::triggered, this, [this] {
        RunShowingErrors([this] { AssegnaCella(false, true); });
        seguiCella();
    });

    // The keyboard's way through: Ctrl+Enter assigns from anywhere, the memo's text too
    // (Enter there starts a new line), Alt+Up and Alt+Down walk, Esc closes.
    VxSetShortcut(this, tbPrior, QKeySequence(Qt::ALT | Qt::Key_Up));
    VxSetShortcut(this, tbNext, QKeySequence(Qt::ALT | Qt::Key_Down));
    VxSetButtonShortcut(
        this, buOk(), QStringLiteral("Assegna il dato alla cella"),
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)})
        ->setObjectName(QStringLiteral("aAssegna"));
}

TfmqevSelItem::~TfmqevSelItem() = default;

TfmqevSelItem *TfmqevSelItem::Apri(QWidget *owner, TqelStringGrid *grid)
{
    auto *dialog = dmqevActivations
                       ? qobject_cast<TfmqevSelItem *>(dmqevActivations->fmqevSelItem.data())
                       : nullptr;
    if (!dialog) {
        dialog = new TfmqevSelItem(owner);
        if (dmqevActivations)
            dmqevActivations->fmqevSelItem = dialog;
    }
    dialog->Griglia = grid;
    return dialog;
}

void TfmqevSelItem::Mostra()
{
    // The office goes on from the keyboard in what it opened: the window is made the active one
    // (a window manager may show a tool window without giving it the keyboard), its editor of
    // the kind takes the focus.
    if (!isVisible())
        seguiCella();
    show();
    raise();
    seguiCella();
    if (s_seguendo > 0)
        return;
    activateWindow();
    QWidget *editor = conMemo(TipoSel)   ? static_cast<QWidget *>(meNota)
                      : perData(TipoSel) ? static_cast<QWidget *>(mcData)
                                         : static_cast<QWidget *>(lvItems);
    editor->setFocus(Qt::ActiveWindowFocusReason);
}

void TfmqevSelItem::closeEvent(QCloseEvent *event)
{
    TfmVxOkCancDlg::closeEvent(event);
    if (event->isAccepted())
        chiuso();
}

void TfmqevSelItem::chiuso()
{
    // Closed is gone: the frames must not find it open while it waits to be deleted.
    if (dmqevActivations && dmqevActivations->fmqevSelItem == this)
        dmqevActivations->fmqevSelItem = nullptr;
    // The keyboard it had goes back to the grid it served, whatever the window manager does.
    QWidget *attiva = QApplication::activeWindow();
    if (Griglia && Griglia->isVisible() && (!attiva || attiva == this)) {
        Griglia->window()->activateWindow();
        Griglia->setFocus(Qt::ActiveWindowFocusReason);
    }
}

bool TfmqevSelItem::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvItems && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && scelto()) {
            buOkClick();
            return true;
        }
    }
    return TfmVxOkCancDlg::eventFilter(watched, event);
}

bool TfmqevSelItem::lista() const
{
    return conLista(TipoSel);
}

QTreeWidgetItem *TfmqevSelItem::scelto() const
{
    const QList<QTreeWidgetItem *> selected = lvItems->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

int TfmqevSelItem::ItemSelezionato() const
{
    QTreeWidgetItem *item = scelto();
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

std::shared_ptr<TRecCmp> TfmqevSelItem::componenteCorrente() const
{
    if (!Griglia)
        return nullptr;
    // Components head the columns of per-class and per-subject grids from the second header
    // row; of a per-pupil grid, from the first.
    const int row = Griglia->TipoCar() == tcAlunno ? 0 : 1;
    return Griglia->RecordAt<TRecCmp>(Griglia->Col(), row);
}

void TfmqevSelItem::PreparaSelItem(int kind)
{
    bool rebuild = kind != TipoSel;
    if (perLivello(kind)) {
        auto cmp = componenteCorrente();
        const int sca = cmp ? cmp->iScaId : 0;
        rebuild = rebuild || sca != ScaIdCorrente;
        ScaIdCorrente = sca;
    }
    if (rebuild)
        ricostruisci(kind);
    if (lista())
        SelezionaItem(ValIdCorrente);
    seguiCella();
}

QString TfmqevSelItem::cellaServita() const
{
    const TqelStringGrid *g = Griglia;
    if (!g)
        return {};
    // Rows of pupils carry the subject above the column; a pupil's rows, at their start.
    const bool righeAlunni = RighePerAlunno(g->TipoCar());
    QString alunno;
    if (!righeAlunni && dmqevDataSets)
        alunno = dmqevDataSets->sNomeAlunno;
    else if (auto ana = g->RecordAt<TRecAna>(0, g->Row()))
        alunno = TfrqevCarBs::NomeAlunno(*ana);
    auto mat = righeAlunni ? g->RecordAt<TRecMat>(g->Col(), 0) : g->RecordAt<TRecMat>(0, g->Row());
    QStringList chi;
    if (!alunno.trimmed().isEmpty())
        chi << alunno.trimmed();
    if (mat && !mat->sMatLDesc.trimmed().isEmpty())
        chi << mat->sMatLDesc.trimmed();
    return chi.join(QStringLiteral(", "));
}

void TfmqevSelItem::seguiCella()
{
    const QString chi = cellaServita();
    const QString cosa = captionDi(TipoSel);
    setWindowTitle(chi.isEmpty() || cosa.isEmpty() ? cosa : cosa + QStringLiteral(" - ") + chi);
    // Wide enough for its caption beside the title bar's icon and buttons (the window
    // manager's font is the program's, bold at most).
    QFont titolo = font();
    titolo.setBold(true);
    constexpr int icona = 32, pulsanti = 3 * 32;
    const int serve = QFontMetrics(titolo).horizontalAdvance(windowTitle()) + icona + pulsanti;
    if (width() < serve)
        resize(serve, height());
    // Beside the row it writes to, never over it: below when the screen has room, else above.
    // A place the office chose, off the row, is kept. Placed before it is first shown, where a
    // dialog would stand (centred on the window) and off the row, the window manager maps it
    // there: moved only once mapped, it may stay over the row.
    TqelStringGrid *g = Griglia;
    if (!g || !g->isVisible())
        return;
    const QRect cella = g->CellRect(g->Col(), g->Row());
    if (cella.isEmpty())
        return;
    const QRect riga(g->viewport()->mapToGlobal(QPoint(0, cella.top())),
                     QSize(g->viewport()->width(), cella.height()));
    QRect finestra = frameGeometry();
    if (!isVisible())
        finestra.moveCenter(g->window()->frameGeometry().center());
    else if (!finestra.intersects(riga))
        return;
    const QRect schermo = g->screen()->availableGeometry();
    constexpr int distacco = 4;
    int y = riga.bottom() + 1 + distacco;
    if (y + finestra.height() > schermo.bottom() + 1)
        y = riga.top() - distacco - finestra.height();
    finestra.moveTop(std::max(schermo.top(), y));
    finestra.moveLeft(std::clamp(finestra.left(), schermo.left(),
                                 std::max(schermo.left(), schermo.right() + 1 - finestra.width())));
    move(finestra.topLeft());
}

void TfmqevSelItem::ricostruisci(int kind)
{
    buOk()->setEnabled(false);
    TipoSel = kind;
    lvItems->clear();
    const bool list = conLista(kind);
    lvItems->setVisible(list);
    pSearch->setVisible(list);
    cbAll->setVisible(kind == skEsito && Griglia && Griglia->TipoCar() == tcClasse);
    if (!cbAll->isVisibleTo(this))
        cbAll->setChecked(false);
    mcData->setVisible(perData(kind));
    meNota->setVisible(conMemo(kind));
    buDocIst->setVisible(perDocente(kind));
    if (perData(kind))
        buOk()->setEnabled(true);
    if (!list)
        return;
    const QList<Colonna> columns = colonneDi(kind);
    QStringList labels;
    for (const Colonna &c : columns)
        labels << QString::fromLatin1(c.caption);
    lvItems->setColumnCount(int(columns.size()));
    lvItems->setHeaderLabels(labels);
    for (int i = 0; i < columns.size(); ++i)
        lvItems->setColumnWidth(i, columns.at(i).width);
    TVxHourglass hourglass;
    riempiLista(kind);
    // Every column as wide as what it holds (a debt type's long description whole), the first
    // never narrower than its own width; the last takes what room is left.
    for (int i = 0; i < columns.size(); ++i) {
        lvItems->resizeColumnToContents(i);
        if (i == 0)
            lvItems->setColumnWidth(0, std::max(lvItems->columnWidth(0), columns.at(0).width));
    }
}

void TfmqevSelItem::riempiLista(int kind)
{
    TVxEnumItems items;
    if (perLivello(kind)) {
        // Every scale's levels of the kind are read at once: a column of another scale only
        // refills the list.
        if (m_livelliTipo != kind) {
            m_livelli.setTipoDati(kind);
            m_livelli.CaricaLivelli();
            m_livelliTipo = kind;
        }
        auto cmp = componenteCorrente();
        for (const TqevLivello &l : m_livelli.Livelli(cmp ? cmp->iCmpScaId : 0))
            items.append({l.sValLDesc, l.iValId, l.sValSDesc});
    } else if (kind == skDocenteNota || kind == skDocAttr || kind == skDocVer) {
        items = QevListe::DocentiClasse(dmqevDataSets ? dmqevDataSets->iClsId : 0);
    } else if (perDocente(kind)) {
        items = QevListe::DocentiIstituto(AggregateiDwgId(TVxWorkingContext::institute()));
    } else if (kind == skTipoDebito) {
        items = QevListe::TipiDebito();
    } else if (kind == skEsitoDebito) {
        items = QevListe::EsitiDebito();
    } else if (kind == skEncomio) {
        items = QevListe::Encomi();
    } else if (kind == skEsito) {
        items = QevListe::EsitiFinali();
    }
    const bool twoColumns = !perDocente(kind);
    for (const TVxEnumItem &e : items) {
        auto *item = new QTreeWidgetItem(lvItems);
        item->setText(0, e.text);
        if (twoColumns)
            item->setText(1, e.detail);
        item->setData(0, Qt::UserRole, e.id);
    }
}

void TfmqevSelItem::SelezionaItem(int id)
{
    int remembered = 0;
    for (int i = 0; i < lvItems->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lvItems->topLevelItem(i);
        if (item->isSelected()) {
            remembered = i;
            item->setSelected(false);
        }
    }
    for (int i = 0; i < lvItems->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lvItems->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() == id) {
            lvItems->setCurrentItem(item);
            item->setSelected(true);
            return;
        }
    }
    if (QTreeWidgetItem *item = lvItems->topLevelItem(remembered)) {
        lvItems->setCurrentItem(item);
        item->setSelected(true);
    }
}

void TfmqevSelItem::SetDataSelItem(const QDate &date)
{
    mcData->setSelectedDate(date.isValid() ? date : QDate::currentDate());
}

void TfmqevSelItem::SetTestoNota(const QString &text)
{
    m_memo.Carica(meNota, text);
}

QString TfmqevSelItem::testoMemo() const
{
    return m_memo.Testo(meNota);
}

QStringList TfmqevSelItem::righeMemo() const
{
    const QString text = testoMemo();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QString TfmqevSelItem::testoData() const
{
    return mcData->selectedDate().toString(QStringLiteral("dd/MM/yyyy"));
}

void TfmqevSelItem::eFindChange(const QString &text)
{
    if (text.isEmpty())
        return;
    for (int i = 0; i < lvItems->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lvItems->topLevelItem(i);
        if (item->text(0).startsWith(text, Qt::CaseInsensitive)) {
            lvItems->clearSelection();
            lvItems->setCurrentItem(item);
            item->setSelected(true);
            return;
        }
    }
}

void TfmqevSelItem::buDocIstClick()
{
    switch (TipoSel) {
    case skDocenteNota:
        PreparaSelItem(skDocenteNotaIstituto);
        break;
    case skDocAttr:
        PreparaSelItem(skDocAttrIstituto);
        break;
    case skDocVer:
        PreparaSelItem(skDocVerIstituto);
        break;
    default:
        break;
    }
}

void TfmqevSelItem::OkClick()
{
    buOkClick();
    SetModalResult(mrNone);
}

void TfmqevSelItem::buOkClick()
{
    RunShowingErrors([this] { AssegnaCella(true, true); });
    seguiCella();
}

void TfmqevSelItem::muovi(bool avanti)
{
    if (avanti)
        Griglia->NextCell();
    else
        Griglia->PrevCell();
}

void TfmqevSelItem::muoviRiga(bool avanti)
{
    // A pupil's credit rows pick only their note (column 8): the walk goes from note to note,
    // which a step to the right would never leave.
    TqelStringGrid *g = Griglia;
    const int first = g->nRowIntest();
    const int last = g->RowCount() - 1;
    int row = g->Row() + (avanti ? 1 : -1);
    if (row > last)
        row = first;
    else if (row < first)
        row = last;
    try {
        g->MoveCursor(8, row);
    } catch (const EVxException &) {
        // A grid without the note column keeps its cursor.
    }
}

void TfmqevSelItem::AssegnaCella(bool assegna, bool avanti)
{
    TqelStringGrid *g = Griglia;
    if (!g || g->Col() < g->nColIntest() || g->Row() < g->nRowIntest() ||
        g->Col() >= g->ColCount() || g->Row() >= g->RowCount())
        return;
    const int col = g->Col();
    const int row = g->Row();
    const int recCol = perRiga(*g) ? 1 : col;
    QTreeWidgetItem *item = scelto();
    // A list kind assigns only a chosen item; a locked cell takes nothing.
    const bool scrivi = assegna && (!lista() || item) && !g->Bloccata(col, row);
    const int id = item ? item->data(0, Qt::UserRole).toInt() : 0;
    const QString voce = item ? item->text(0).trimmed() : QString();
    const QString breve = item ? item->text(1).trimmed() : QString();
    if (scrivi)
        g->setEditorMode(false);
    auto cella = [g](int c, int r, const QString &text) {
        g->SegnaModificata(c, r);
        g->setCells(c, r, text);
    };

    switch (TipoSel) {
    case skVoto:
    case skProposto:
    case skTassonomia: {
        auto rec = g->RecordAt<TRecVal>(col, row);
        auto cmp = componenteCorrente();
        if (scrivi && rec && cmp) {
            for (const TqevLivello &l : m_livelli.Livelli(cmp->iCmpScaId)) {
                if (l.iValId != id)
                    continue;
                rec->iValId = l.iValId;
                rec->sValSDesc = l.sValSDesc;
                rec->sValLDesc = l.sValLDesc;
                rec->iValDato = l.iValDato;
                rec->bValSuff = l.bValSuff;
                rec->bValInMed = l.bValInMed;
                cella(col, row, breve);
                break;
            }
        }
        muovi(avanti);
        auto next = componenteCorrente();
        if (next && next->iScaId != ScaIdCorrente) {
            auto val = g->RecordAt<TRecVal>(g->Col(), g->Row());
            ValIdCorrente = val ? val->iValId : 0;
            PreparaSelItem(TipoSel);
        }
        break;
    }
    case skDocenteNota:
    case skDocenteNotaIstituto:
    case skDataNota:
    case skTestoNota: {
        auto nota = std::dynamic_pointer_cast<TRecNot>(g->Objects(recCol, row));
        if (scrivi && nota) {
            if (TipoSel == skDataNota) {
                nota->dNotData = mcData->selectedDate().startOfDay();
                cella(col, row, testoData());
            } else if (TipoSel == skTestoNota) {
                nota->bNotNota = testoMemo();
                cella(col, row, siONiente(nota->bNotNota));
            } else {
                nota->iAnaId = id;
                nota->sDocNome = voce;
                cella(col, row, voce);
            }
        }
        muovi(avanti);
        if (perRiga(*g)) {
            preparaDaCella();
            break;
        }
        auto next = std::dynamic_pointer_cast<TRecNot>(g->Objects(g->Col(), g->Row()));
        if (!next)
            break;
        if (TipoSel == skTestoNota) {
            SetTestoNota(next->bNotNota);
        } else if (TipoSel == skDataNota) {
            SetDataSelItem(next->dNotData.date());
        } else {
            ValIdCorrente = next->iAnaId;
            SelezionaItem(ValIdCorrente);
        }
        break;
    }
    case skDataAttr:
    case skDataVer:
    case skTipoDebito:
    case skEsitoDebito:
    case skDocAttr:
    case skDocVer:
    case skDocAttrIstituto:
    case skDocVerIstituto:
    case skNotaDebito: {
        auto deb = std::dynamic_pointer_cast<TRecDeb>(g->Objects(recCol, row));
        if (scrivi && deb) {
            QString text = voce;
            switch (TipoSel) {
            case skDataAttr:
                deb->dDebAttr = mcData->selectedDate().startOfDay();
                text = testoData();
                break;
            case skDataVer:
                deb->dDebVer = mcData->selectedDate().startOfDay();
                text = testoData();
                break;
            case skTipoDebito:
                deb->iDtpDtdId = id;
                deb->sDtdLDesc = voce;
                break;
            case skEsitoDebito:
                deb->iDesDedId = id;
                deb->sDedLDesc = voce;
                break;
            case skDocAttr:
            case skDocAttrIstituto:
                deb->iAnaId_Attr = id;
                deb->sDocAttr = voce;
                break;
            case skDocVer:
            case skDocVerIstituto:
                deb->iAnaId_Ver = id;
                deb->sDocVer = voce;
                break;
            default: // the note
                deb->slNota = righeMemo();
                text = siONiente(deb->slNota.join(QLatin1Char('\n')));
                break;
            }
            cella(col, row, text);
        }
        muovi(avanti);
        if (perRiga(*g)) {
            preparaDaCella();
            break;
        }
        // The class grid's cells take the debt's type, cell after cell.
        auto next = std::dynamic_pointer_cast<TRecDeb>(g->Objects(g->Col(), g->Row()));
        ValIdCorrente = next ? next->iDtpDtdId : 0;
        SelezionaItem(ValIdCorrente);
        break;
    }
    case skEncomio:
    case skNotaCredito: {
        auto cre = std::dynamic_pointer_cast<TRecCre>(g->Objects(recCol, row));
        if (scrivi && cre) {
            if (TipoSel == skNotaCredito) {
                cre->lsNota = righeMemo();
                cella(col, row, siONiente(cre->lsNota.join(QLatin1Char('\n'))));
            } else {
                cre->iEncId = id;
                cre->sEncSDesc = breve;
                cella(col, row, breve);
            }
        }
        if (g->TipoCar() == tcAlunno) {
            muoviRiga(avanti);
            preparaDaCella();
            break;
        }
        muovi(avanti);
        auto next = std::dynamic_pointer_cast<TRecCre>(g->Objects(g->Col(), g->Row()));
        if (!next)
            break;
        if (TipoSel == skNotaCredito) {
            SetTestoNota(next->lsNota.join(QLatin1Char('\n')));
        } else {
            ValIdCorrente = next->iEncId;
            PreparaSelItem(skEncomio);
        }
        break;
    }
    case skEsito: {
        auto esito = [&](int r) {
            auto fin = g->RecordAt<TRecFin>(1, r);
            if (!fin)
                fin = std::make_shared<TRecFin>();
            fin->iPosFinId = id;
            fin->sStaFinDettSDesc = breve;
            g->setObjects(1, r, fin);
            cella(1, r, breve);
        };
        const bool tutta = cbAll->isVisibleTo(this) && cbAll->isChecked();
        if (scrivi && tutta) {
            for (int r = g->nRowIntest(); r < g->RowCount(); ++r)
                esito(r);
        } else if (scrivi) {
            esito(row);
        }
        // The whole column took the outcome: there is no next cell to go to.
        if (tutta)
            break;
        muovi(avanti);
        auto next = g->RecordAt<TRecFin>(1, g->Row());
        ValIdCorrente = next ? next->iPosFinId : 0;
        PreparaSelItem(skEsito);
        break;
    }
    case skGiudizio: {
        if (scrivi) {
            auto gdz = g->RecordAt<TRecGdz>(1, row);
            if (!gdz) {
                gdz = std::make_shared<TRecGdz>();
                g->setObjects(1, row, gdz);
            }
            gdz->bGdzGiudizio = testoMemo();
            cella(1, row, gdz->bGdzGiudizio.trimmed());
        }
        muovi(avanti);
        auto next = g->RecordAt<TRecGdz>(1, g->Row());
        SetTestoNota(next ? next->bGdzGiudizio : QString());
        break;
    }
    default:
        break;
    }
}

void TfmqevSelItem::PreparaNota(const TRecNot *nota, int parte)
{
    switch (parte) {
    case 0:
        SetDataSelItem(nota ? nota->dNotData.date() : QDate());
        PreparaSelItem(skDataNota);
        break;
    case 1:
        ValIdCorrente = nota ? nota->iAnaId : 0;
        PreparaSelItem(skDocenteNota);
        break;
    case 2:
        SetTestoNota(nota ? nota->bNotNota : QString());
        PreparaSelItem(skTestoNota);
        break;
    default:
        break;
    }
}

void TfmqevSelItem::PreparaDebito(const TRecDeb &deb, int colonna)
{
    switch (colonna) {
    case 3:
        SetDataSelItem(deb.dDebAttr.date());
        PreparaSelItem(skDataAttr);
        break;
    case 4:
        ValIdCorrente = deb.iDtpDtdId;
        PreparaSelItem(skTipoDebito);
        break;
    case 5:
        SetDataSelItem(deb.dDebVer.date());
        PreparaSelItem(skDataVer);
        break;
    case 6:
        ValIdCorrente = deb.iDesDedId;
        PreparaSelItem(skEsitoDebito);
        break;
    case 7:
        ValIdCorrente = deb.iAnaId_Attr;
        PreparaSelItem(skDocAttr);
        break;
    case 8:
        ValIdCorrente = deb.iAnaId_Ver;
        PreparaSelItem(skDocVer);
        break;
    case 9:
        SetTestoNota(deb.slNota.join(QLatin1Char('\n')));
        PreparaSelItem(skNotaDebito);
        break;
    default:
        break;
    }
}

void TfmqevSelItem::preparaDaCella()
{
    TqelStringGrid *g = Griglia;
    if (!g)
        return;
    const int row = g->Row();
    switch (g->TipoDati()) {
    case tdNote: {
        // Per pupil and per subject the columns 1 to 3 show the note's parts.
        if (auto nota = g->RecordAt<TRecNot>(1, row))
            PreparaNota(nota.get(), g->Col() - 1);
        break;
    }
    case tdDebiti: {
        if (auto deb = g->RecordAt<TRecDeb>(1, row))
            PreparaDebito(*deb, g->Col());
        break;
    }
    case tdCrediti: {
        // The per-pupil credits grid picks only its notes: a walk ends on the note column.
        if (g->Col() != 8) {
            try {
                g->setCol(8);
            } catch (const EVxException &) {
                return;
            }
        }
        auto cre = g->RecordAt<TRecCre>(1, g->Row());
        SetTestoNota(cre ? cre->lsNota.join(QLatin1Char('\n')) : QString());
        PreparaSelItem(skNotaCredito);
        break;
    }
    default:
        break;
    }
}
