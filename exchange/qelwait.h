#pragma once

#include "platform/waitwindow.h"

// The engine's wait window: "Attendere", the operation under way and "Annulla". It stays on top
// without blocking the exchange window, which keeps its own loop over classes or teachers and
// tests the flag "Annulla" sets between two of them. An export runs to its end once started:
// the engine lets the window's events run after every packet, only so that it paints and the
// click is seen. The cursor comes back when the window is freed, however the work ended.
class TfmqelWait : public TfmVxWait
{
    Q_OBJECT
public:
    enum Placement { Centred, BottomRight };

    // "Annulla" sets cancelFlag, which must outlive the window.
    TfmqelWait(const QString &text, Placement placement, bool &cancelFlag);

    // The text shown (the operation and its class or teacher).
    QString Text() const { return Operation(); }
};
