#pragma once

// What the assignment and outcomes windows share: the teal header with the class, the legend
// panel of weights and colours, and the class session and phases they open on.

#include "makeup/qelmakeuprecords.h"

#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QBoxLayout;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QToolBar;
class QTableWidget;
class QToolButton;

// Adds the teal header ("Gestione dei recuperi.", "Esiti dei recuperi.") with the class label
// lblCLasse on its right, and returns the label.
QLabel *addMakeupHeader(QWidget *window, QBoxLayout *layout, const QString &caption);

// ToolBar1 of a make-up window.
struct MakeupToolBar
{
    QToolBar *bar;
    QAction *deleteOne;
    QAction *deleteAll;
    QComboBox *phases;   // cboFasi
    QToolButton *legend; // sbuLegenda, checkable
};
// Adds ToolBar1: the delete-one and delete-all buttons (object names and hints given), then
// the panel Panel2 with "Fase di recupero" and cboFasi, what addOwn puts on the panel's line,
// and the legend button on its right.
MakeupToolBar
addMakeupToolBar(QWidget *window, QBoxLayout *layout, const QString &deleteOneName,
                 const QString &deleteOneHint, const QString &deleteAllName,
                 const QString &deleteAllHint,
                 const std::function<void(QWidget *panel, QHBoxLayout *line)> &addOwn);

// Reads the class session that the grade data module holds and the phases of its year (the
// records of that year, whatever the working year). False, after telling the office, when the
// window must stay empty: no class chosen, a year before the limit (the window's own
// message), a year without phases. The class is set whenever it exists.
bool openMakeupClass(const MakeupRecords &data, const QString &beforeLimitMessage, MakeupClass &cls,
                     QList<MakeupPhase> &phases);

// pnlLegenda: the weights with their short texts over a swatch of each weight's colour,
// shown over the window's top right corner and hidden by the same button.
class TqelLegendaRec : public QWidget
{
    Q_OBJECT
public:
    using Colour = std::function<std::optional<QColor>(int weight)>;
    TqelLegendaRec(QWidget *window, int swatchWidth, Colour colour);

    QTableWidget *dbgLegenda() const { return m_grid; }

    // Hidden when shown; else shows the rows that load reads (a refusal of the database is
    // shown to the office, the legend then stays hidden). The button is checked while the
    // legend is shown.
    void Toggle(QToolButton *button, const std::function<QList<MakeupLegendRow>()> &load);
    // Puts the legend 30 pixels from the window's right edge, its top at y.
    void PlaceAt(int y);

private:
    QTableWidget *m_grid;
    Colour m_colour;
};
