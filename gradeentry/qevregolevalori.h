#pragma once

// The rules a value keeps wherever it comes from: typed by the office in a grade grid, or brought
// back from a teacher by a collection. One rule for both, so that nothing is stored that the grid
// would refuse. The levels of the vote kinds are the component scales' (TqevValStore); these are
// the rules of the values that are no level.
//
//   const int ore = TqevRegoleValori::OreDigitate(text);   // -1: no hours
//   if (!TqevRegoleValori::OreValide(ore)) motivo = TqevRegoleValori::MotivoOre();
//   const QString perche = TqevRegoleValori::CreditoNellaBanda(
//       TqevCreStore::BandeDellaSituazione(iSitId), iBndId, iCreOutBanda, credito);

#include "gradeentry/qevcrestore.h"

#include <QList>
#include <QString>
#include <QVariant>

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
    // Characters as the database counts them in the column: a character beyond the first
    // plane is one, not the two halves a QString holds it in.
    static bool AiutoValido(const QString &text)
    {
        return text.toUcs4().size() <= kMaxAiuto && !ConControllo(text);
    }
    // The credit rule, one for a credit typed in the credits grid and one brought back by a
    // collection: why the credit is refused, as the office reads it after the pupil's name;
    // empty when it is taken. It is measured against bandeAnno, the bands of the pupil's course
    // year as the database holds them (TqevCreStore::BandeDellaSituazione, BandeDeiCorsi), never
    // against what the row says of its band:
    // - the band the row names (iBndId) must be one of them: another year's band is refused;
    // - a row without band (iBndId 0 or null) is measured against the year's bands together,
    //   from the lowest minimum to the highest maximum;
    // - iCreOutBanda is a flag, 1 when the council set the credit one point beyond the band
    //   (either end), 0 or null when not: any other value is refused;
    // - the credit is a whole number from 0 that the column (INTEGER) holds, as a number or as
    //   the text typed: a negative one, one too large, or a text that is no whole number is
    //   refused, never dropped. A null or empty credit, or 0 (the grid shows and stores 0 as
    //   no credit), is no credit: only its band and flag are measured.
    // A course year without bands takes no credit and no band.
    static QString CreditoNellaBanda(const QList<TqevBanda> &bandeAnno, const QVariant &iBndId,
                                     const QVariant &iCreOutBanda, const QVariant &credito);
    // The rule of a credit row's other numbers, measured the same way (nome as the office reads
    // it, "il credito sospeso"): a whole number from 0 that the column holds, at most the
    // maximum of the row's band (of the year's bands together without one), since a part of the
    // credit is never more than the band gives; the credit by average (nellaBanda), the band's
    // own credit, within the band. Null, empty or 0 is no value.
    static QString ParteDelCredito(const QList<TqevBanda> &bandeAnno, const QVariant &iBndId,
                                   const QString &nome, const QVariant &valore, bool nellaBanda);
    // A credit row's numbers as a save writes them, measured against the bands the database
    // holds at that moment: those that differ from salvato (every one without it; every one
    // when the band differs). The first reason, or empty.
    static QString CreditoRifiutato(const QList<TqevBanda> &bandeAnno, const TValCredito &valori,
                                    const TValCredito *salvato);
    // The other numbers: the field, its name, whether it lies within the band.
    struct ParteCredito
    {
        int TValCredito::*campo;
        QString nome;
        bool nellaBanda;
    };
    static const QList<ParteCredito> &Parti();

    // What the office reads beside a refused value.
    static QString MotivoOre();
    static QString MotivoAiuto();
};
