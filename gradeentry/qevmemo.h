#pragma once

// The text of a memo as the office left it. The editor keeps its own line breaks: a stored
// text with "\r\n" (as other programs of the suite write it) reads back with "\n" once shown.
// A text the office did not touch is given back exactly as it was loaded, so that showing a
// text never counts as changing it.
//
//   TqevTestoMemo testo;
//   testo.Carica(meNota, rec->bNotNota);
//   rec->bNotNota = testo.Testo(meNota);

#include <QString>

class QPlainTextEdit;

class TqevTestoMemo
{
public:
    void Carica(QPlainTextEdit *memo, const QString &text);
    QString Testo(const QPlainTextEdit *memo) const;

private:
    QString m_originale;
    QString m_caricato;
};
