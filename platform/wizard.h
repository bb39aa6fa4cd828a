#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QMap>
#include <QStringList>

class QLabel;
class QStackedWidget;

// A paged wizard. Pages are added in index order; a named path lists the page indexes the
// user walks through ("0;1;5"), so one wizard serves several roads. Without paths every
// page is on the road in order. Each page reached opens on its first field; Return presses
// the page's default button: "Avanti" on the way, "Fine" on the last page.
class TfmVxWizard : public TfmVxDialog
{
    Q_OBJECT
public:
    explicit TfmVxWizard(QWidget *parent = nullptr);

    int AddPage(QWidget *page);
    int PageCount() const;
    QWidget *Page(int index) const;

    void AddPath(const QString &name, const QString &indexes);
    // Selects a path; the walk restarts at its first page unless the current page is on it.
    bool SetActivePath(const QString &name);
    QString ActivePath() const { return m_activePath; }
    QList<int> PathPages() const;

    int CurrentPage() const;
    bool IsLastPage() const;
    // Moves on along the path (when CanGoNext allows); returns whether it moved.
    bool Next();
    bool Back();
    void GoToPage(int index);

    QPushButton *buBack() const { return m_back; }
    QPushButton *buNext() const { return m_next; }
    QPushButton *buFinish() const { return m_finish; }
    QPushButton *buCancel() const { return m_cancel; }

protected:
    virtual bool CanGoNext(int page)
    {
        Q_UNUSED(page);
        return true;
    }
    virtual void PageShown(int page) { Q_UNUSED(page); }
    // Runs when Finish is pressed on the last page; false keeps the wizard open.
    virtual bool Finish() { return true; }
    void OkClick() override;

private:
    void updateButtons();

    QLabel *m_title;
    QStackedWidget *m_pages;
    QPushButton *m_back;
    QPushButton *m_next;
    QPushButton *m_finish;
    QPushButton *m_cancel;
    QMap<QString, QList<int>> m_paths;
    QString m_activePath;
};
