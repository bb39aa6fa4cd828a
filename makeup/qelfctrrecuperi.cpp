#include "makeup/qelfctrrecuperi.h"

#include "makeup/qelcontrollarecuperi.h"
#include "makeup/qelfcompgiudiziomedie.h"
#include "makeup/qelfesitirecuperi.h"
#include "makeup/qelfgiudizi.h"
#include "makeup/qelfpassavoti.h"
#include "makeup/qelfpassavotiqual.h"
#include "makeup/qelfrec.h"
#include "makeup/qelfrecupericonvert.h"
#include "makeup/qelfriconoscimento.h"
#include "platform/formregistry.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/printoutput.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kRecIdRole = Qt::UserRole + 1;
constexpr int kTipoRecColumn = 3;

QTreeWidget *makeList(const QString &name, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setAllColumnsShowFocus(true);
    return list;
}

QPushButton *makeButton(const QString &name, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

TqelFCtrRecuperi::TqelFCtrRecuperi(QWidget *owner, TdmQelControllaRecuperi *module)
    : TfmVxOkCancDlg(owner), m_module(module ? module : dmQelControllaRecuperi)
{
    setObjectName(QStringLiteral("qelFCtrRecuperi"));
    setWindowTitle(QStringLiteral("Controllo recuperi doppi"));
    setWindowFlags(windowFlags() | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint);
    resize(1040, 520);

    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    m_caption = new QLabel(ClientArea());
    m_caption->setObjectName(QStringLiteral("laCaption"));
    layout->addWidget(m_caption);

    // The bar between the lists is dragged to share the width between them.
    auto *split = new QSplitter(Qt::Horizontal, ClientArea());
    split->setObjectName(QStringLiteral("paCentral"));
    m_left = makeList(QStringLiteral("lvLeft"), split);

    auto *middle = new QWidget(split);
    auto *buttons = new QVBoxLayout(middle);
    buttons->addStretch();
    QPushButton *right = makeButton(QStringLiteral("buRight"), QStringLiteral(">"), middle);
    QPushButton *allRight = makeButton(QStringLiteral("buAllRight"), QStringLiteral(">>"), middle);
    QPushButton *left = makeButton(QStringLiteral("buLeft"), QStringLiteral("<"), middle);
    QPushButton *allLeft = makeButton(QStringLiteral("buAllLeft"), QStringLiteral("<<"), middle);
    for (QPushButton *b : {right, allRight, left, allLeft})
        buttons->addWidget(b);
    buttons->addStretch();
    m_right = makeList(QStringLiteral("lvRight"), split);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(2, 1);
    layout->addWidget(split, 1);

    connect(right, &QPushButton::clicked, this, [this] { moveSelected(true); });
    connect(allRight, &QPushButton::clicked, this, [this] { moveAll(true); });
    connect(left, &QPushButton::clicked, this, [this] { moveSelected(false); });
    connect(allLeft, &QPushButton::clicked, this, [this] { moveAll(false); });
    connect(m_left, &QTreeWidget::itemDoubleClicked, this, [this] { moveSelected(true); });
    connect(m_right, &QTreeWidget::itemDoubleClicked, this, [this] { moveSelected(false); });

    QPushButton *print =
        makeButton(QStringLiteral("btnStampaLista"), QStringLiteral("Stampa"), this);
    ButtonRow()->insertWidget(0, print);
    connect(print, &QPushButton::clicked, this, &TqelFCtrRecuperi::btnStampaListaClick);

    // Listed at once, so the office (or a script) finds the lists filled.
    FormShow();
}

void TqelFCtrRecuperi::FormShow()
{
    m_caption->setText(QStringLiteral("Spostare sulla destra i recuperi da cancellare"));
    const QStringList columns = {QStringLiteral("Classe"), QStringLiteral("Alunno"),
                                 QStringLiteral("Materia"), QStringLiteral("Recupero")};
    for (QTreeWidget *list : {m_left, m_right}) {
        list->clear();
        list->setColumnCount(int(columns.size()));
        list->setHeaderLabels(columns);
        for (int c = 0; c < columns.size(); ++c)
            list->setColumnWidth(c, 122);
    }
    if (!m_module)
        return;
    if (!RunShowingErrors([this] { m_module->CaricaRecuperiDoppi(); }))
        return;
    for (const RecuperoDoppio &r : m_module->cdsErrori()) {
        auto *item = new QTreeWidgetItem(m_left, {r.Classe, r.Alunno, r.Materia, r.TipoRec});
        item->setData(kTipoRecColumn, kRecIdRole, r.iRecId);
    }
    // Each column as wide as what it holds (a class's whole name), in both lists: a record
    // moved right shows as it showed on the left.
    int whole = 2 * m_left->frameWidth() + m_left->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < columns.size(); ++c) {
        m_left->resizeColumnToContents(c);
        const int width = std::max(122, m_left->columnWidth(c));
        for (QTreeWidget *list : {m_left, m_right})
            list->setColumnWidth(c, width);
        whole += width;
    }
    // Each list shows its columns whole ("Studio individuale" last), as far as the screen has
    // room for the two side by side.
    const int room = screen()->availableGeometry().width() / 2 - 60;
    for (QTreeWidget *list : {m_left, m_right})
        list->setMinimumWidth(std::min(whole, room));
}

void TqelFCtrRecuperi::moveSelected(bool toRight)
{
    QTreeWidget *from = toRight ? m_left : m_right;
    QTreeWidget *to = toRight ? m_right : m_left;
    const QList<QTreeWidgetItem *> items = from->selectedItems();
    for (QTreeWidgetItem *item : items) {
        from->takeTopLevelItem(from->indexOfTopLevelItem(item));
        to->addTopLevelItem(item);
        item->setSelected(false);
    }
}

void TqelFCtrRecuperi::moveAll(bool toRight)
{
    QTreeWidget *from = toRight ? m_left : m_right;
    QTreeWidget *to = toRight ? m_right : m_left;
    while (from->topLevelItemCount() > 0)
        to->addTopLevelItem(from->takeTopLevelItem(0));
}

void TqelFCtrRecuperi::OkClick()
{
    QStringList ids;
    const int count = m_right->topLevelItemCount();
    for (int i = 0; i < count; ++i)
        ids << m_right->topLevelItem(i)->data(kTipoRecColumn, kRecIdRole).toString();
    const bool ok = m_module && m_module->CancellaRecuperi(ids);
    if (ok) {
        VxMessageDlg(
            CountText(count, QStringLiteral("Cancellazione di %1 elemento avvenuta con successo"),
                      QStringLiteral("Cancellazione di %1 elementi avvenuta con successo")),
            mtInformation, mbOK);
    } else {
        // One message: the office's words, then the database's reason.
        const QString reason = m_module ? m_module->LastError() : QString();
        QString text = QStringLiteral("Errori durante la cancellazione. Rilanciare la procedura.");
        if (!reason.isEmpty())
            text += QStringLiteral("\r\r") + reason;
        VxMessageDlg(text, mtError, mbOK);
    }
}

void TqelFCtrRecuperi::btnStampaListaClick()
{
    // The list is printed as the office sees it on the screen.
    const QPixmap image = grab();
    TVxPrintOutput output(QPageLayout(), windowTitle());
    if (!VxPrintDialog(this, output, windowTitle()))
        return;
    // A printer that refuses, or a file that can't be written whole, is told.
    RunShowingErrors([&] {
        QPainter painter;
        output.begin(painter);
        const QRect page = painter.viewport();
        const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
        painter.drawPixmap(QRect(page.topLeft(), size), image);
        output.end(painter);
    });
}

void registerMakeupForms()
{
    TAVRIN_REGISTER_FORM(TqelFCtrRecuperi);
    TAVRIN_REGISTER_FORM(TfmQelRec);
    TAVRIN_REGISTER_FORM(TfmQelEsitiRecuperi);
    TAVRIN_REGISTER_FORM(TfmqelRecuperiConvert);
    TAVRIN_REGISTER_FORM(TfmqelCompGiudizioMedie);
    TAVRIN_REGISTER_FORM(TfmQelRiconoscimento);
    TAVRIN_REGISTER_FORM(TfmQelGiudizi);
    TAVRIN_REGISTER_FORM(TfmQelPassaVoti);
    TAVRIN_REGISTER_FORM(TfmqelPassaVotiQual);
}
