#include "gradeentry/qevmemo.h"

#include <QPlainTextEdit>

void TqevTestoMemo::Carica(QPlainTextEdit *memo, const QString &text)
{
    m_originale = text;
    memo->setPlainText(text);
    m_caricato = memo->toPlainText();
}

QString TqevTestoMemo::Testo(const QPlainTextEdit *memo) const
{
    const QString text = memo->toPlainText();
    return text == m_caricato ? m_originale : text;
}
