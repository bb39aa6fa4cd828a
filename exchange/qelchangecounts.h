#pragma once

// What a collection changed, kind by kind, as its closing message and log end with it.
//
//   TqelChangeCounts counts = TqelChangeCounts::Between(rowsBefore, rowsAfter);
//   ++counts.added;                                  // or counted as the writes go
//   summary << counts.Line("voti");                  // "voti: righe aggiunte 1, ..."
//   CollectionSummary(notInFolder, summary)          // "Nessun dato è cambiato." when none

#include <QString>
#include <QStringList>

struct TqelChangeCounts
{
    int added = 0;
    int changed = 0;
    int deleted = 0;
    // From the rows a step may write, read before and after it: "key<tab>values" each. A key
    // whose values differ is changed; a row without a match on the other side is added or
    // deleted; a key may hold several rows (a pupil's notes in a subject).
    static TqelChangeCounts Between(const QStringList &before, const QStringList &after);
    TqelChangeCounts &operator+=(const TqelChangeCounts &other);
    bool IsEmpty() const { return added == 0 && changed == 0 && deleted == 0; }
    // "voti: righe aggiunte 1, cambiate 2, cancellate 0"
    QString Line(const QString &what) const;
};

// A collection's summary: the pupils the folder did not carry, then the changes, or that nothing
// changed. No line starts with a blank (those are the log's rows not collected).
QStringList CollectionSummary(const QStringList &notInFolder, const QStringList &changes);
