#pragma once

// The teachers of a send mode in a read-only grid, as the web send and the web collection show
// them (SendBookkeeping::teachersOfModeSql): the rows whose mark is 1 (sent, or received) in
// the mark's colour, times as dd/mm/yyyy hh:mm:ss, and the titles "Codice" and "Docente"
// sorting by the code and by the name's index.
//
//   QelWebTeacherGrid list(frame, "iAaiInviato", olive, {{"sAnaCagCode", "Codice", 80}, ...});
//   list.Open(iAnsSesDwgId, kModeWebService);      // read again, shown
//   list.Value(frame->SelectedSourceRows().first(), "iAaiId")

#include "platform/datasetmodel.h"
#include "platform/sqlclientdataset.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QVariant>

class QComboBox;
class QLabel;
class QVBoxLayout;
class TfrVxDBROGrid;

// The send windows' column: the row "&Modalità di invio" with the mode box, the grid (several
// rows selectable) and under it the legend in the mark's colour. The widgets get their usual
// object names (cbSendMode, frDocenti, laLegend).
void AddSendModeControls(QVBoxLayout *layout, QComboBox *mode, TfrVxDBROGrid *grid, QLabel *legend,
                         const QColor &markColour);

class QelWebTeacherGrid
{
public:
    struct Column
    {
        const char *field;
        const char *title;
        int width;
    };

    QelWebTeacherGrid(TfrVxDBROGrid *grid, const QString &markField, const QColor &markColour,
                      const QList<Column> &columns);
    ~QelWebTeacherGrid();
    QelWebTeacherGrid(const QelWebTeacherGrid &) = delete;
    QelWebTeacherGrid &operator=(const QelWebTeacherGrid &) = delete;

    void Open(int iAnsSesDwgId, int iModId);
    // Another statement of the same columns, with its own parameters.
    void Open(const QString &sql, const TVxFieldValues &params);
    // Only the rows the filter passes (RecordFilter's language, "(iModId = 2)"); all with none.
    void Show(const QString &filter);
    // The values of the row whose key field holds the key, as given, shown.
    void Update(const QString &keyField, const QVariant &key, const TVxFieldValues &values);
    // Marked rows drawn on the mark's colour, in black, instead of in the mark's colour.
    void SetMarkBackground(bool on) { m_markBackground = on; }
    void Close();
    bool IsOpen() const { return m_data.Active(); }
    int RowCount() const { return m_data.Active() ? m_data.RecordCount() : 0; }
    // A field of a row of the data (the grid's source row).
    QVariant Value(int row, const QString &field) const;
    TSQLClientDataSet &Data() { return m_data; }

private:
    TfrVxDBROGrid *m_grid;
    QString m_markField;
    QColor m_markColour;
    bool m_markBackground = false;
    TSQLClientDataSet m_data;
    TVxClientDataSetModel m_model;
};
