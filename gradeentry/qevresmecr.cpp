#include "gradeentry/qevresmecr.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevparvis.h"

#include <QVBoxLayout>

TfrqevEsMeCr::TfrqevEsMeCr(QWidget *parent) : TfrVxGen(parent), m_grid(new TqelStringGrid(this))
{
    setObjectName(QStringLiteral("frqevEsMeCr"));
    m_grid->setObjectName(QStringLiteral("grDettaglio"));
    m_grid->setColCount(4);
    m_grid->setLarghezza(0, 150);
    for (int c = 1; c < 4; ++c)
        m_grid->setLarghezza(c, 64);
    FrameLayout()->addWidget(m_grid);
    setFixedWidth(0);
    hide();
}

void TfrqevEsMeCr::RidimensionaGriglia()
{
    if (!dmqevParVis || m_grid->RowCount() < 2)
        return;
    const int height = dmqevParVis->Griglia(TipoDati, TipoCar).xpiRow.GetValore();
    if (m_grid->RowHeights(1) == height)
        return;
    m_grid->setDefaultRowHeight(height);
    m_grid->setRowHeights(0, height * 2);
}
