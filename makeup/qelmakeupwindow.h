#pragma once

// What the assignment and outcomes windows share: the teal header with the class, the legend
// panel of weights and colours, and the class session and phases they open on.

#include "makeup/qelmakeuprecords.h"
#include "platform/childforms.h"

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
class QVBoxLayout;

// pnlLegenda: the weights with their short texts beside a swatch of each weight's colour,
// shown on the window's right, beside the grid (never over it nor the controls), and hidden
// by the same button.
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

private:
    QTableWidget *m_grid;
    Colour m_colour;
};

// The names and texts of a make-up window's frame.
struct MakeupWindowTexts
{
    const char *objectName;
    const char *title;
    const char *header;
    const char *deleteOneName;
    const char *deleteOneHint;
    const char *deleteAllName;
    const char *deleteAllHint;
};

// A make-up window on one class session: the teal header ("Gestione dei recuperi.", "Esiti
// dei recuperi.") with the class label lblCLasse, ToolBar1 (the delete-one and delete-all
// buttons, "Fase di recupero" with cboFasi, the window's own controls, the legend button),
// and below them what the window adds.
//
// The window keeps the class session it was opened on: grade entry may open another one in
// the grade data module meanwhile, and a reload or a deletion of all must never reach a class
// other than the one its title shows.
class TfmQelMakeupClassWindow : public TfmVxChildBase
{
    Q_OBJECT
public:
    QLabel *lblCLasse() const { return m_lblClasse; }
    QToolBar *ToolBar1() const { return m_toolBar; }
    QComboBox *cboFasi() const { return m_cboFasi; }
    QToolButton *sbuLegenda() const { return m_sbuLegenda; }
    QWidget *pnlLegenda() const;
    QTableWidget *dbgLegenda() const;

    const MakeupClass &Classe() const { return m_classe; }
    int AnsFreDwgId() const { return m_ansFreDwgId; }

protected:
    TfmQelMakeupClassWindow(QWidget *parent, int swatchWidth, TqelLegendaRec::Colour colour);

    // Lays out the header and ToolBar1, addOwn putting the window's own controls after the
    // phases; the window adds the rest to the layout returned, which the legend, when shown,
    // stands beside, and what needs the window's whole width to m_aboveLegend. Called from
    // the window's constructor, once its own members exist.
    QVBoxLayout *addFrame(const MakeupWindowTexts &texts,
                          const std::function<void(QWidget *panel, QHBoxLayout *line)> &addOwn);

    // Reads the class session that the grade data module holds and the phases of its year (the
    // records of that year, whatever the working year), and shows the class. False, after
    // telling the office, when the window must stay empty: no class chosen, a year before the
    // limit (the window's own message), a year without phases.
    bool openClass(const QString &beforeLimitMessage);
    // Lists the phases and selects the first; the caller holds m_filling.
    void fillPhases();
    // Empties the lists and disables the tool bar: the window shows nothing.
    virtual void disable();
    // Tab walks the window as the office reads it: the tool bar's commands, the phases, the
    // window's own controls of the tool bar, the legend button and (shown) the legend, then
    // the controls below; the grid, last, gives the keyboard back to the tool bar at its end.
    void orderTabs(const QList<QWidget *> &own, const QList<QWidget *> &below);

    virtual void cboFasiChange() = 0;
    // The legend's rows.
    virtual QList<MakeupLegendRow> legendRows() const = 0;

    MakeupRecords m_data;
    MakeupClass m_classe;
    QList<MakeupPhase> m_fasi;
    int m_ansFreDwgId = 0;
    // Set while the lists are filled: their change handlers load nothing then.
    bool m_filling = false;

    QLabel *m_lblClasse = nullptr;
    QToolBar *m_toolBar = nullptr;
    QAction *m_deleteOne = nullptr;
    QAction *m_deleteAll = nullptr;
    QComboBox *m_cboFasi = nullptr;
    QToolButton *m_sbuLegenda = nullptr;
    QVBoxLayout *m_aboveLegend = nullptr;

private:
    void sbuLegendaClick();

    TqelLegendaRec *m_legenda;
};
