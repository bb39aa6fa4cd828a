#include "exchange/qelfolderteacherswindow.h"

#include "platform/dbgridframes.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TqelFolderTeachersWindow::TqelFolderTeachersWindow(QWidget *owner, const QString &markField,
                                                   const QColor &markColour, const QString &legend,
                                                   const QList<QelWebTeacherGrid::Column> &columns)
    : TfmVxMultiSelect(owner), m_legend(new QLabel(legend))
{
    buCancel()->setText(QStringLiteral("Chiudi"));
    m_legend->setObjectName(QStringLiteral("laLegend"));
    m_legend->setAutoFillBackground(true);
    QPalette palette = m_legend->palette();
    palette.setColor(QPalette::Window, markColour);
    palette.setColor(QPalette::WindowText, Qt::black);
    m_legend->setPalette(palette);
    ButtonRow()->insertWidget(0, m_legend);

    m_teachers = std::make_unique<QelWebTeacherGrid>(frSelect(), markField, markColour, columns);
    m_teachers->SetMarkBackground(true);
    // The order is the list's: the work goes from its last selected row to its first.
    frSelect()->ClearSortColumns();
}

TqelFolderTeachersWindow::~TqelFolderTeachersWindow() = default;

TqelFolderTeachersWindow::Teacher TqelFolderTeachersWindow::teacherAt(int row) const
{
    return {m_teachers->Value(row, QStringLiteral("iAaiId")).toInt(),
            m_teachers->Value(row, QStringLiteral("iAnaId")).toInt(),
            m_teachers->Value(row, QStringLiteral("sDocNome")).toString().trimmed(),
            m_teachers->Value(row, QStringLiteral("sAaiDirInviato")).toString()};
}

QList<TqelFolderTeachersWindow::Teacher> TqelFolderTeachersWindow::SelectedTeachers() const
{
    QList<Teacher> teachers;
    for (int row : SelectedRows())
        teachers.append(teacherAt(row));
    return teachers;
}

QList<TqelFolderTeachersWindow::Teacher> TqelFolderTeachersWindow::ShownTeachers() const
{
    const int row = frSelect()->CurrentSourceRow();
    if (!SelectedRows().isEmpty() || row < 0)
        return SelectedTeachers();
    return {teacherAt(row)};
}

void TqelFolderTeachersWindow::done(int result)
{
    // Closing the window would free the engine under the running work.
    if (!m_busy)
        TfmVxMultiSelect::done(result);
}

void TqelFolderTeachersWindow::OkClick()
{
    SetModalResult(mrNone);
    if (m_busy)
        return;
    const auto setBusy = [this](bool on) {
        m_busy = on;
        ClientArea()->setEnabled(!on);
        buOk()->setEnabled(!on);
        buCancel()->setEnabled(!on);
    };
    {
        TVxHourglass hourglass;
        setBusy(true);
        RunShowingErrors([this] { Run(); });
    }
    setBusy(false);
    RunShowingErrors([this] { Reload(); });
}
