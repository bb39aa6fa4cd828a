#include "reports/qelrptpupilreads.h"

#include "platform/connection.h"

#include <QHash>

#include <algorithm>
#include <map>

namespace {

// Keys in the order the run prints them, each once.
struct Keys
{
    QList<int> order;
    QHash<int, int> at;
};

struct Pupils
{
    Keys situations;
    Keys persons;
};

Keys *keysOfRun(QelPupilKey kind)
{
    TfrRunCache *cache = TfrRunCache::current();
    if (!cache)
        return nullptr;
    Pupils &pupils = cache->state<Pupils>(QStringLiteral("qelPupils"));
    return kind == QelPupilKey::Situation ? &pupils.situations : &pupils.persons;
}

} // namespace

void qelNotePupils(QelPupilKey kind, const QList<QVariant> &keys)
{
    Keys *run = keysOfRun(kind);
    if (!run)
        return;
    for (const QVariant &key : keys) {
        if (key.isNull())
            continue;
        const int k = key.toInt();
        if (!run->at.contains(k)) {
            run->at.insert(k, int(run->order.size()));
            run->order << k;
        }
    }
}

bool qelPupilNoted(QelPupilKey kind, int key)
{
    const Keys *run = keysOfRun(kind);
    return run && run->at.contains(key);
}

TfrRows qelPupilRows(const QelPupilRead &read, int key, const TVxFieldValues &values)
{
    TfrRunCache *cache = TfrRunCache::current();
    QString prefix = cache ? cache->textKey(read.id) : read.id;
    for (int i = 0; i < values.size(); ++i)
        prefix += QLatin1Char('\n') + values.name(i) + QLatin1Char('=') +
                  (values.value(i).isNull() ? QStringLiteral("null") : values.value(i).toString());
    prefix += QLatin1Char('\n');
    const auto keptAs = [&prefix](int k) { return prefix + QString::number(k); };
    if (cache) {
        if (const TfrRows *kept = cache->find(keptAs(key)))
            return *kept;
    }
    // The key, then the next ones of the run not read yet.
    QList<int> keys{key};
    if (const Keys *run = keysOfRun(read.kind)) {
        const int at = run->at.value(key, -1);
        // The pupils printed before this one are done with: their rows make room for the next
        // ones' instead of waiting to be the least recently used (a whole school's run would
        // otherwise hold the bound's worth of them).
        for (int i = std::max(0, at - 2 * kPupilsAtOnce); i < at; ++i)
            cache->forget(keptAs(run->order.at(i)));
        for (int i = at + 1; at >= 0 && i < run->order.size() && keys.size() < kPupilsAtOnce; ++i) {
            if (!cache->contains(keptAs(run->order.at(i))))
                keys << run->order.at(i);
        }
    }
    // The same text at every read, however many keys.
    const TVxFieldValues bound = VxKeyChunks(keys, values).constFirst();
    const QString sql = VxKeysSql(read.sql);
    TfrRows all =
        cache ? cache->read(qqoVxGlobConn(), sql, bound) : frReadRows(qqoVxGlobConn(), sql, bound);
    if (read.onRead)
        read.onRead(keys, all);
    const int column = qelColumn(all, "BatchKey");
    std::map<int, TfrRows> split;
    for (int k : keys)
        split[k].columns = all.columns;
    for (QList<QVariant> &row : all.rows) {
        const auto found = split.find(row.value(column).toInt());
        if (found != split.end())
            found->second.rows.push_back(std::move(row));
    }
    TfrRows mine = split[key];
    if (cache) {
        for (auto &[k, rows] : split)
            cache->keep(keptAs(k), std::move(rows));
    }
    return mine;
}

int qelColumn(const TfrRows &rows, const char *name)
{
    for (int i = 0; i < rows.columns.size(); ++i) {
        if (rows.columns.at(i).compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

TfrRows qelOwnColumns(TfrRows rows)
{
    const int own = qelColumn(rows, "BatchKey");
    if (own < 0)
        return rows;
    rows.columns = rows.columns.mid(0, own);
    for (QList<QVariant> &row : rows.rows)
        row.resize(own);
    return rows;
}
