#pragma once

// The qualification and school-leaving scores of a pupil's career (TAnaGme), which the
// subject window's "Esporta a carriera" writes from its votes column through the database
// procedure PZun_Giudizi and "Importa da carriera" reads back into it.
//
//   const QList<TqevPunteggio> scartati = EsportaPunteggi(cqFinale, {{iAnaId, "75"}, ...});
//   const QHash<int, QString> letti = ImportaPunteggi(cqAmmissione, {iAnaId, ...});
//
// An empty score clears the stored one. Database errors raise EVxException with the driver's
// text, after the office's words.

#include <QHash>
#include <QList>
#include <QString>

// The career field: the qualification's admission or final score (school type 4), the lower
// secondary licence (type 3), kept as the lower-school judgment the score stands for.
enum TqevCampoQualifica { cqAmmissione, cqFinale, cqLicenza };

struct TqevPunteggio
{
    int iAnaId = 0;
    QString sPunteggio;
    bool operator==(const TqevPunteggio &) const = default;
};

// Writes every pupil's score, all in one transaction: a refusal writes none. A licence score
// that names no judgment (no level has it as short text, or no judgment that level's long
// text) is not written, so that a stored judgment is never cleared by it; those come back.
QList<TqevPunteggio> EsportaPunteggi(TqevCampoQualifica campo,
                                     const QList<TqevPunteggio> &punteggi);

// The stored score of each pupil: an empty text for a pupil without one. The licence has no
// score to read back.
QHash<int, QString> ImportaPunteggi(TqevCampoQualifica campo, const QList<int> &iAnaIds);
