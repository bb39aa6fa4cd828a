#pragma once

#include "platform/dialogs.h"

class TfrqelDocInv;

// "Configurazione invio": the window of the teachers' page that hosts the assignment of the
// working session's teachers to send modes.
class TfmqelDocInv : public TfmVxDialog
{
    Q_OBJECT
public:
    explicit TfmqelDocInv(QWidget *parent = nullptr);

    TfrqelDocInv *frqelDocInv() const { return m_frame; }

private:
    TfrqelDocInv *m_frame;
};
