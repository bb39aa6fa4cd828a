#pragma once

// Display parameters of the grade grids, in ETC/qevParVis.ini: one section per data kind and
// entry mode ("0_0" votes per class, "6_1" credits per pupil, ...), so that each grid keeps
// its own look.
//
//   TqevParVisGriglia &p = dmqevParVis->Griglia(grid.TipoDati(), grid.TipoCar());
//   grid.setnColDim(p.xpiCol.GetValore());
//   dmqevParVis->gColorInsuf(grid.TipoCar())      // the colours a grid of that mode paints with
//
// Every reader names its (kind, mode): there is no "current section" that one window's paint
// could switch under another, and a dialog writes only the section of its own grid. Reads are
// cached (the grids read while they paint) until the framework writes an INI file.
//
// The three colours in use by the grids of an entry mode are those of the votes section of
// that mode: changing a colour from an absences grid's dialog goes to the absences section
// and leaves the vote grids as they are.

#include "platform/params.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <utility>

// Data kinds (TipoDati) and entry modes (TipoCar) of the grade grids.
enum TqevTipoDati {
    tdVoti = 0,
    tdProposti = 1,
    tdTassonomie = 2,
    tdAssenze = 3,
    tdAiuti = 4,
    tdNote = 5,
    tdCrediti = 6,
    tdDebiti = 7,
    tdGiudizio = 8,
    tdEsito = 9,
    tdDebitiClasse = 30,
};
enum TqevTipoCar { tcClasse = 0, tcAlunno = 1, tcMateria = 2, tcDebiti = 3 };

// The parameters of one (data kind, entry mode), each bound to its key and default.
class TqevParVisGriglia
{
public:
    TqevParVisGriglia(int TipoDati, int TipoCar);

    int TipoDati() const { return m_tipoDati; }
    int TipoCar() const { return m_tipoCar; }
    QString Sezione() const;

    TVxParInteger xpiFCol;   // width of column 0
    TVxParInteger xpiCol;    // width of the data columns
    TVxParInteger xpiRow;    // row height
    TVxParBool xpbScorr;     // Enter moves right (else down)
    TVxParFont xpfFont;      // the grid's font with its colour
    TVxParInteger xpiDesMat; // subject header: 0 user code, 1 abbreviation, 2 description
    TVxParInteger xpiDesCmp; // component header: 0 abbreviation, 1 description
    TVxParBool xpbRowCol;    // outline the selected row and column
    TVxParBool xpbInsuff;    // fill insufficient votes
    TVxParBool xpbContr;     // host window: votes that differ from the proposed votes
    TVxParBool xpbMatDeb;    // class window: subjects with a debt
    TVxParString xpsColorInsuf;
    TVxParString xpsColorDebiti;
    TVxParString xpsColorTraccia;
    TVxParBool xpbMaxCre; // credits take the band's maximum (else its minimum)
    // The widths the office dragged on the grid's headers, by column ("ITA/Scritto=40;..."),
    // in the data columns' unit; kept until the dialog sets the grid's widths again.
    TVxParString xpsLarghezze;

    std::map<QString, int> Larghezze() const;
    void SetLarghezza(const QString &colonna, int larghezza);

    // The colours decoded; a text that does not read as a colour gives the default colour.
    QColor ColorInsuf() const;
    QColor ColorDebiti() const;
    QColor ColorTraccia() const;

    static QColor DefaultColorInsuf() { return QColor(255, 128, 128); }
    static QColor DefaultColorDebiti() { return QColor(255, 255, 0); }
    static QColor DefaultColorTraccia() { return QColor(0, 255, 255); }
    // The suite's 8-point system font, which the stored widths were chosen for.
    static TVxFont DefaultFont();

private:
    int m_tipoDati;
    int m_tipoCar;
};

// The display-parameter module (global dmqevParVis), created and freed by the grade data
// module.
class TdmqevParVis : public QObject
{
    Q_OBJECT
public:
    explicit TdmqevParVis(QObject *owner = nullptr);
    ~TdmqevParVis() override;

    // The parameters of a (data kind, entry mode): one object per pair for the module's life.
    TqevParVisGriglia &Griglia(int TipoDati, int TipoCar);

    // What the grids of an entry mode paint with: the colours of that mode's votes section.
    QColor gColorInsuf(int TipoCar) { return Griglia(tdVoti, TipoCar).ColorInsuf(); }
    QColor gColorDebiti(int TipoCar) { return Griglia(tdVoti, TipoCar).ColorDebiti(); }
    QColor gColorTraccia(int TipoCar) { return Griglia(tdVoti, TipoCar).ColorTraccia(); }
    // Whether the credits grid of an entry mode takes the band's maximum credit.
    bool gSetMaxCre(int TipoCar) { return Griglia(tdCrediti, TipoCar).xpbMaxCre.GetValore(); }

    static QString FileName() { return QStringLiteral("qevParVis.ini"); }

private:
    std::map<std::pair<int, int>, std::unique_ptr<TqevParVisGriglia>> m_griglie;
};

extern TdmqevParVis *dmqevParVis;

// The insufficiency fill of the grids of an entry mode; the default colour while no module
// exists.
QColor qevColorInsuf(int TipoCar);
