#pragma once

// The rules a value keeps wherever it comes from: typed by the office in a grade grid, or brought
// back from a teacher by a collection. One rule for both, so that nothing is stored that the grid
// would refuse. The levels of the vote kinds are the component scales' (TqevValStore); these are
// the rules of the values that are no level.
//
//   const int ore = TqevRegoleValori::OreDigitate(text);   // -1: no hours
//   if (!TqevRegoleValori::OreValide(ore)) motivo = TqevRegoleValori::MotivoOre();
//   if (!TqevRegoleValori::CreditoNellaBanda(credito, min, max, fuoriBanda)) ...

#include <QString>

struct TqevRegoleValori
{
    // The hours of absence of a school year: a year has 8,760 hours, so four digits hold any
    // real count and a fifth is a slip of the keyboard.
    static constexpr int kMaxOreAssenza = 9999;
    // An aid is a code of the aids column (sAiuVal VARCHAR(4)).
    static constexpr int kMaxAiuto = 4;

    static bool OreValide(qint64 ore) { return ore >= 0 && ore <= kMaxOreAssenza; }
    // The hours a text holds: digits only (a sign, a separator or a blank inside is a slip,
    // not a number of hours); -1 for any other text.
    static int OreDigitate(const QString &text);
    // A code or a level is printable text: a control character (pasted, or typed through a
    // keyboard's odd key) would be stored unseen.
    static bool ConControllo(const QString &text);
    static bool AiutoValido(const QString &text)
    {
        return text.size() <= kMaxAiuto && !ConControllo(text);
    }
    // A credit lies in its band's range; a credit the council set outside it (iCreOutBanda)
    // may stand that many points beyond either end, and never below 0.
    static bool CreditoNellaBanda(qint64 credito, int creMin, int creMax, qint64 fuoriBanda);

    // What the office reads beside a refused value.
    static QString MotivoOre();
    static QString MotivoAiuto();
    static QString MotivoCredito(int creMin, int creMax);
};
