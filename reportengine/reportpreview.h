#pragma once

// The preview window of a prepared report: one page at a time, drawn when it is shown (a
// report of a thousand pages opens at once), with page navigation, the page count, three
// zooms, printing and "Esporta PDF". A child window of the main window; it keeps its own copy
// of the pages, so the report module may prepare the next report meanwhile. Every command has
// its key, shown in its tooltip (Ctrl+Home, PgUp, PgDn, Ctrl+End; the zooms Ctrl+1, Ctrl+2,
// Ctrl+3; Ctrl+P, Ctrl+E), and Tab goes from the page through the tool bar and back.
//
//   auto *preview = new TfrPreviewForm(report.Pages(), icon);
//   TdmVxAttivazioni::ShowChild(preview);
//
// Actions (by objectName): acFirst, acPrior, acNext, acLast, acZoomPage, acZoomWidth, acZoom100,
// acPrint, acExportPdf; the page box sePage and the count laPageCount ("di 12").

#include "platform/childforms.h"
#include "reportengine/reportpages.h"

#include <QAbstractScrollArea>
#include <QIcon>
#include <QImage>

#include <memory>

class QAction;
class QLabel;
class QSpinBox;

// Prints the pages after the print dialog (offered with the report's paper and orientation);
// false when the office cancelled. Raises EVxException when the printer refuses.
bool frPrintWithDialog(QWidget *parent, const TfrDisplayList &pages);
// Asks where to save the PDF and writes it there (the report's title, 600 dots per inch);
// false when the office cancelled. Raises EVxException when the file cannot be written; a
// written file is named to the office at the end.
bool frExportPdfWithDialog(QWidget *parent, const TfrDisplayList &pages);

enum class TfrZoom { WholePage, PageWidth, Actual };

// The page view: the current page centred on grey, scrolled when larger than the view.
class TfrPreviewView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    TfrPreviewView(std::shared_ptr<const TfrDisplayList> pages, QWidget *parent = nullptr);

    int PageIndex() const { return m_page; }
    void SetPageIndex(int index);
    TfrZoom Zoom() const { return m_zoom; }
    void SetZoom(TfrZoom zoom);
    // Device pixels per millimetre at the current zoom.
    double Scale() const;
    // The current page as shown (drawn now if it is not yet).
    QImage PageImage();

signals:
    void pageChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateScrollBars();

    std::shared_ptr<const TfrDisplayList> m_pages;
    int m_page = 0;
    TfrZoom m_zoom = TfrZoom::PageWidth;
    QImage m_image; // the current page at the current scale
    int m_imagePage = -1;
    double m_imageScale = 0;
};

class TfrPreviewForm : public TfmVxChildGen
{
    Q_OBJECT
public:
    TfrPreviewForm(const TfrDisplayList &pages, const QIcon &icon, QWidget *parent = nullptr);

    int PageCount() const { return int(m_pages->Pages.size()); }
    TfrPreviewView *View() const { return m_view; }

private:
    QAction *makeAction(const char *name, const QString &text, const QString &image,
                        const QKeySequence &shortcut = {});
    void showPage(int index);
    void print();
    void exportPdf();

    std::shared_ptr<const TfrDisplayList> m_pages;
    TfrPreviewView *m_view;
    QSpinBox *m_pageBox;
    QLabel *m_pageCount;
    QAction *m_first, *m_prior, *m_next, *m_last;
};
