#pragma once

// What the send and the collection of teacher folders share: the teachers in a multi-select
// grid (QelWebTeacherGrid), the rows whose mark is 1 on the mark's colour with black text and
// a legend of that colour beside the buttons, the packet engine the window owns, and OK
// running the window's work once at a time: the hourglass on, the controls off (OK, Chiudi,
// the list and the fields; closing the window waits too), the list read again afterwards.
// Pending window events run during the work (the engine's wait window), so without this a
// second click could start a second run inside the first.

#include "exchange/qelwebteachergrid.h"
#include "exchange/qelxml.h"
#include "platform/multiselect.h"

#include <QList>
#include <QString>

#include <memory>

class QLabel;

class TqelFolderTeachersWindow : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    ~TqelFolderTeachersWindow() override;

    QelWebTeacherGrid &Teachers() { return *m_teachers; }
    TdmqelXML &Engine() { return m_xml; }
    QLabel *laLegend() const { return m_legend; }

    void done(int result) override;

protected:
    struct Teacher
    {
        int iAaiId = 0;
        int iAnaId = 0;
        QString sDocNome;
        QString sAaiDirInviato;
    };

    TqelFolderTeachersWindow(QWidget *owner, const QString &markField, const QColor &markColour,
                             const QString &legend,
                             const QList<QelWebTeacherGrid::Column> &columns);

    // The selected rows' teachers, in the list's order: read before the work reads it again.
    QList<Teacher> SelectedTeachers() const;
    // Those, or with none selected the current row's teacher: the one whose folder the window
    // shows beside the list, which the keyboard chose by entering the list.
    QList<Teacher> ShownTeachers() const;
    bool Busy() const { return m_busy; }

    // The window's work, and the list read again after it, however it ended.
    virtual void Run() = 0;
    virtual void Reload() = 0;
    void OkClick() override;

    TdmqelXML m_xml;

private:
    Teacher teacherAt(int row) const;

    QLabel *m_legend;
    std::unique_ptr<QelWebTeacherGrid> m_teachers;
    bool m_busy = false;
};
