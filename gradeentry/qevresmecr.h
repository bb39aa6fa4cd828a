#pragma once

// TfrqevEsMeCr: the side frame every vote frame carries at its right edge for a per-pupil
// list of outcome, average and credit. In this program it is never filled and never seen
// (width 0); the class window calls RidimensionaGriglia before painting its vote and
// proposed-vote grids, so that the side grid's rows keep the height of the class vote grid.

#include "platform/frames.h"

class TqelStringGrid;

class TfrqevEsMeCr : public TfrVxGen
{
    Q_OBJECT
public:
    explicit TfrqevEsMeCr(QWidget *parent = nullptr);

    TqelStringGrid *grDettaglio() const { return m_grid; }

    // The grid kind whose row height the side grid follows: votes in class mode.
    int TipoDati = 0;
    int TipoCar = 0;

    // Sets every row of the side grid to the row height of that grid kind and the heading row
    // to twice it, unless row 1 already has it. It reads the parameter of its own kind and
    // switches nothing that another window reads.
    void RidimensionaGriglia();

private:
    TqelStringGrid *m_grid;
};
