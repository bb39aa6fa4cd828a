#include "reportengine/reportpreview.h"

#include "platform/images.h"
#include "platform/keyboardfocus.h"
#include "platform/keys.h"
#include "platform/messagedlg.h"
#include "platform/printoutput.h"
#include "reportengine/reportrender.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 12; // pixels of grey around the page

// A report title as a file name: what Windows and Linux both accept.
QString fileNameOf(const QString &title)
{
    QString name = title.trimmed();
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar &c : name) {
        if (forbidden.contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    }
    return name.isEmpty() ? QStringLiteral("Report") : name;
}

} // namespace

bool frPrintWithDialog(QWidget *parent, const TfrDisplayList &pages)
{
    if (pages.Pages.empty())
        return false;
    TVxPrintOutput output(frPageLayout(pages.Pages.front()), pages.Title);
    if (!VxPrintDialog(parent, output, QStringLiteral("Stampa - %1").arg(pages.Title),
                       int(pages.Pages.size())))
        return false;
    frPrintPages(pages, output);
    return true;
}

bool frExportPdfWithDialog(QWidget *parent, const TfrDisplayList &pages)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString file = VxSaveFileName(parent, QStringLiteral("Esporta PDF"),
                                  QDir(folder).filePath(fileNameOf(pages.Title) + ".pdf"),
                                  QStringLiteral("Documenti PDF (*.pdf)"));
    if (file.isEmpty())
        return false;
    if (!file.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        file += QStringLiteral(".pdf");
        // The chooser asked about the name typed, not about this one.
        if (QFileInfo::exists(file) &&
            VxMessageDlg(QStringLiteral("Il file \"%1\" esiste già. Sostituirlo?")
                             .arg(QDir::toNativeSeparators(file)),
                         mtConfirmation, mbYesNo, 0, mrNo) != mrYes)
            return false;
    }
    frExportPdf(pages, file, pages.Title, 600);
    // A whole school's report cards take minutes: the end says where they went.
    VxMessageDlg(QStringLiteral("Esportazione terminata. Il file PDF è stato salvato in:\r%1")
                     .arg(QDir::toNativeSeparators(file)),
                 mtInformation, mbOK);
    return true;
}

TfrPreviewView::TfrPreviewView(std::shared_ptr<const TfrDisplayList> pages, QWidget *parent)
    : QAbstractScrollArea(parent), m_pages(std::move(pages))
{
    setObjectName(QStringLiteral("pvPage"));
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    VxRepaintOnFocusChange(this);
}

void TfrPreviewView::SetPageIndex(int index)
{
    const int count = int(m_pages->Pages.size());
    index = qBound(0, index, qMax(0, count - 1));
    if (index == m_page)
        return;
    m_page = index;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit pageChanged(index);
}

void TfrPreviewView::SetZoom(TfrZoom zoom)
{
    m_zoom = zoom;
    updateScrollBars();
    viewport()->update();
}

double TfrPreviewView::Scale() const
{
    if (m_pages->Pages.empty())
        return 1;
    const QSizeF page = m_pages->Pages[size_t(m_page)].Size;
    const double width = qMax(1, viewport()->width() - 2 * kMargin);
    const double height = qMax(1, viewport()->height() - 2 * kMargin);
    switch (m_zoom) {
    case TfrZoom::WholePage:
        return qMin(width / page.width(), height / page.height());
    case TfrZoom::PageWidth:
        return width / page.width();
    case TfrZoom::Actual:
        break;
    }
    return logicalDpiX() / 25.4;
}

QImage TfrPreviewView::PageImage()
{
    if (m_pages->Pages.empty())
        return QImage();
    const double scale = Scale();
    if (m_imagePage != m_page || !qFuzzyCompare(m_imageScale, scale)) {
        const qreal ratio = devicePixelRatioF();
        TfrPageRenderer renderer;
        m_image = renderer.pageImage(m_pages->Pages[size_t(m_page)], scale * ratio);
        m_image.setDevicePixelRatio(ratio);
        m_imagePage = m_page;
        m_imageScale = scale;
    }
    return m_image;
}

void TfrPreviewView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), QColor(128, 128, 128));
    const QImage image = PageImage();
    if (image.isNull())
        return;
    const QSizeF size = image.deviceIndependentSize();
    const double x = qMax(double(kMargin), (viewport()->width() - size.width()) / 2) -
                     horizontalScrollBar()->value();
    const double y = kMargin - verticalScrollBar()->value();
    painter.fillRect(QRectF(x + 3, y + 3, size.width(), size.height()), QColor(64, 64, 64));
    painter.drawImage(QPointF(x, y), image);
    // The page with the keyboard, where PgDn and the arrows act, is framed in the highlight.
    if (hasFocus())
        VxDrawKeyboardFrame(painter, viewport()->rect(), palette());
}

void TfrPreviewView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TfrPreviewView::updateScrollBars()
{
    if (m_pages->Pages.empty())
        return;
    const QSizeF page = m_pages->Pages[size_t(m_page)].Size * Scale();
    const QSize view = viewport()->size();
    // A page that fits but for the rounding of its last pixel needs no scroll bar.
    const auto excess = [](double length, int room) {
        const int over = int(length) + 2 * kMargin - room;
        return over > 1 ? over : 0;
    };
    horizontalScrollBar()->setRange(0, excess(page.width(), view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, excess(page.height(), view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(20);
}

TfrPreviewForm::TfrPreviewForm(const TfrDisplayList &pages, const QIcon &icon, QWidget *parent)
    : TfmVxChildGen(parent), m_pages(std::make_shared<const TfrDisplayList>(pages))
{
    setObjectName(QStringLiteral("frPreviewForm"));
    setWindowTitle(QStringLiteral("Anteprima - %1").arg(pages.Title));
    setWindowIcon(icon.isNull() ? VxImage(QStringLiteral("RPTPREVIEW")) : icon);
    resize(900, 700);

    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tbPreview"));
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_view = new TfrPreviewView(m_pages, this);

    m_first = makeAction("acFirst", QStringLiteral("Prima pagina"), QStringLiteral("VXFIRST"),
                         QKeySequence(Qt::CTRL | Qt::Key_Home));
    m_prior = makeAction("acPrior", QStringLiteral("Pagina precedente"), QStringLiteral("VXPRIOR"),
                         QKeySequence(Qt::Key_PageUp));
    m_next = makeAction("acNext", QStringLiteral("Pagina successiva"), QStringLiteral("VXNEXT"),
                        QKeySequence(Qt::Key_PageDown));
    m_last = makeAction("acLast", QStringLiteral("Ultima pagina"), QStringLiteral("VXLAST"),
                        QKeySequence(Qt::CTRL | Qt::Key_End));
    for (QAction *a : {m_first, m_prior})
        bar->addAction(a);
    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("sePage"));
    m_pageBox->setRange(1, qMax(1, PageCount()));
    m_pageBox->setToolTip(QStringLiteral("Pagina"));
    bar->addWidget(m_pageBox);
    m_pageCount = new QLabel(QStringLiteral(" di %1 ").arg(PageCount()), this);
    m_pageCount->setObjectName(QStringLiteral("laPageCount"));
    bar->addWidget(m_pageCount);
    for (QAction *a : {m_next, m_last})
        bar->addAction(a);
    const auto iconOnly = [bar](QAction *a) {
        if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(a)))
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    };
    for (QAction *a : {m_first, m_prior, m_next, m_last})
        iconOnly(a);
    bar->addSeparator();

    auto *zooms = new QActionGroup(this);
    const struct
    {
        const char *name;
        const char *text;
        TfrZoom zoom;
        QKeyCombination key;
    } zoomDefs[] = {{"acZoomPage", "Pagina intera", TfrZoom::WholePage, Qt::CTRL | Qt::Key_1},
                    {"acZoomWidth", "Larghezza pagina", TfrZoom::PageWidth, Qt::CTRL | Qt::Key_2},
                    {"acZoom100", "100 %", TfrZoom::Actual, Qt::CTRL | Qt::Key_3}};
    QList<QAction *> order{m_first, m_prior, m_next, m_last};
    for (const auto &z : zoomDefs) {
        QAction *a = makeAction(z.name, QString::fromUtf8(z.text), QString(), QKeySequence(z.key));
        order << a;
        a->setCheckable(true);
        a->setChecked(z.zoom == m_view->Zoom());
        zooms->addAction(a);
        bar->addAction(a);
        const TfrZoom zoom = z.zoom;
        connect(a, &QAction::triggered, this, [this, zoom] { m_view->SetZoom(zoom); });
    }
    bar->addSeparator();
    QAction *printAction =
        makeAction("acPrint", QStringLiteral("Stampa"), QStringLiteral("RPTPRINT"),
                   QKeySequence(Qt::CTRL | Qt::Key_P));
    QAction *pdfAction = makeAction("acExportPdf", QStringLiteral("Esporta PDF"),
                                    QStringLiteral("RPTPDF"), QKeySequence(Qt::CTRL | Qt::Key_E));
    bar->addAction(printAction);
    bar->addAction(pdfAction);
    order << printAction << pdfAction;
    // Tab from the page through every command, in the bar's order, and back to the page.
    VxTabStops(bar);
    QList<QWidget *> tabs{m_view};
    for (QAction *a : std::as_const(order)) {
        tabs << bar->widgetForAction(a);
        if (a == m_prior)
            tabs << m_pageBox;
    }
    VxSetTabOrder(tabs);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_view, 1);

    connect(m_first, &QAction::triggered, this, [this] { showPage(0); });
    connect(m_prior, &QAction::triggered, this, [this] { showPage(m_view->PageIndex() - 1); });
    connect(m_next, &QAction::triggered, this, [this] { showPage(m_view->PageIndex() + 1); });
    connect(m_last, &QAction::triggered, this, [this] { showPage(PageCount() - 1); });
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int page) { showPage(page - 1); });
    connect(m_view, &TfrPreviewView::pageChanged, this,
            [this](int) { showPage(m_view->PageIndex()); });
    connect(printAction, &QAction::triggered, this, &TfrPreviewForm::print);
    connect(pdfAction, &QAction::triggered, this, &TfrPreviewForm::exportPdf);
    showPage(0);
    m_view->setFocus();
}

QAction *TfrPreviewForm::makeAction(const char *name, const QString &text, const QString &image,
                                    const QKeySequence &shortcut)
{
    auto *a = new QAction(text, this);
    a->setObjectName(QString::fromLatin1(name));
    if (!image.isEmpty())
        a->setIcon(VxImage(image));
    if (!shortcut.isEmpty())
        VxSetShortcut(this, a, shortcut);
    addAction(a);
    return a;
}

void TfrPreviewForm::showPage(int index)
{
    m_view->SetPageIndex(index);
    const int page = m_view->PageIndex();
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setValue(page + 1);
    m_first->setEnabled(page > 0);
    m_prior->setEnabled(page > 0);
    m_next->setEnabled(page + 1 < PageCount());
    m_last->setEnabled(page + 1 < PageCount());
}

void TfrPreviewForm::print()
{
    RunShowingErrors([this] { frPrintWithDialog(this, *m_pages); });
}

void TfrPreviewForm::exportPdf()
{
    RunShowingErrors([this] { frExportPdfWithDialog(this, *m_pages); });
}
