#include "exchange/qelfdocinv.h"

#include "exchange/qelrdocinv.h"

#include <QVBoxLayout>

TfmqelDocInv::TfmqelDocInv(QWidget *parent) : TfmVxDialog(parent), m_frame(new TfrqelDocInv)
{
    setWindowTitle(QStringLiteral("Configurazione invio"));
    resize(900, 520);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_frame);
}
