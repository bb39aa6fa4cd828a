#include "exchange/qelchangecounts.h"

#include <QHash>
#include <QSet>

#include <algorithm>

TqelChangeCounts TqelChangeCounts::Between(const QStringList &before, const QStringList &after)
{
    // Rows are "key<tab>values": a value of the same key is changed, one without a match on the
    // other side added or deleted; a key may hold several rows (a pupil's notes in a subject).
    QHash<QString, QStringList> was, is;
    for (const QString &row : before)
        was[row.section(u'\t', 0, 0)] << row.section(u'\t', 1);
    for (const QString &row : after)
        is[row.section(u'\t', 0, 0)] << row.section(u'\t', 1);
    TqelChangeCounts counts;
    QSet<QString> keys(QSet<QString>(was.keyBegin(), was.keyEnd()));
    keys.unite(QSet<QString>(is.keyBegin(), is.keyEnd()));
    for (const QString &key : keys) {
        QStringList old = was.value(key), now = is.value(key);
        old.removeIf([&now](const QString &value) { return now.removeOne(value); });
        const qsizetype both = std::min(old.size(), now.size());
        counts.changed += int(both);
        counts.deleted += int(old.size() - both);
        counts.added += int(now.size() - both);
    }
    return counts;
}

TqelChangeCounts &TqelChangeCounts::operator+=(const TqelChangeCounts &other)
{
    added += other.added;
    changed += other.changed;
    deleted += other.deleted;
    return *this;
}

QString TqelChangeCounts::Line(const QString &what) const
{
    return QStringLiteral("%1: righe aggiunte %2, cambiate %3, cancellate %4")
        .arg(what)
        .arg(added)
        .arg(changed)
        .arg(deleted);
}

QStringList CollectionSummary(const QStringList &notInFolder, const QStringList &changes)
{
    return notInFolder + (changes.isEmpty() ? QStringList{QStringLiteral("Nessun dato è "
                                                                         "cambiato.")}
                                            : changes);
}
