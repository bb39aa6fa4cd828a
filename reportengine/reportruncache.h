#pragma once

// What one report run has read, kept until the run ends: a run reads one state of the database
// (TfrRun's snapshot transaction), so the same select with the same values gives the same rows
// for the whole run, and whatever it read answers again without the database. TfrRun owns the
// cache; nothing of it outlives the run, and the next run reads afresh what another office has
// saved since.
//
//   if (TfrRunCache *cache = TfrRunCache::current()) {        // nullptr outside a run
//       if (const TfrRows *rows = cache->find(key)) ...         // read before under the key
//       cache->keep(key, cache->read(db, sql, values));         // read now, kept
//   }
//   QList<int> &keys = cache->state<QList<int>>("pupils");     // a module's own, for the run
//
// What is kept is held to a bound in bytes, its keys with it: past it, what was used least
// recently goes first (and is read again should the run want it back), so that a whole school's
// run does not keep the whole school. A pointer find() returns lasts until the next keep(). A
// key names a statement's text by textKey(), never by the text itself: a report opens its
// details at every pupil, and each text spelled out in a key took more than its rows.

#include "platform/clientdataset.h"
#include "platform/sqlparams.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <list>
#include <map>
#include <memory>
#include <optional>
#include <vector>

struct TfrRows
{
    QStringList columns;
    std::vector<QList<QVariant>> rows;
};

// Runs a select in the transaction running on the connection, or in a short one of its own, and
// reads its rows as a report dataset does: CHAR columns without their padding, text BLOBs as
// text. The layout, when given, holds the columns an earlier run of the same text found (set
// at the first: asking the driver again costs a round trip to a server). Throws EVxException
// with the driver's text.
TfrRows frReadRows(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &values,
                   std::optional<TVxRowLayout> *layout = nullptr);

class TfrRunCache
{
public:
    // At most about this many bytes of rows and keys are kept at once.
    static constexpr qsizetype kByteBudget = 16 * 1024 * 1024;

    TfrRunCache();
    ~TfrRunCache();
    TfrRunCache(const TfrRunCache &) = delete;
    TfrRunCache &operator=(const TfrRunCache &) = delete;

    // The cache of the report being prepared.
    static TfrRunCache *current();

    const TfrRows *find(const QString &key);
    bool contains(const QString &key) const { return m_index.contains(key); }
    void keep(const QString &key, TfrRows rows);
    // What the run is done with, let go before it would be the least recently used.
    void forget(const QString &key);
    // A short name of the text for keys, the same for the same text throughout the run.
    QString textKey(const QString &text);
    // The bytes kept now, as the bound counts them.
    qsizetype keptBytes() const { return m_bytes; }
    // What a kept entry costs, as the bound counts it: its key and its rows' values.
    static qsizetype bytesOf(const QString &key, const TfrRows &rows);

    // frReadRows, each text's columns asked once for the run.
    TfrRows read(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &values);

    // A value a module keeps for the run, made empty at the first call with its name.
    template <class T> T &state(const QString &name)
    {
        std::shared_ptr<void> &slot = m_states[name];
        if (!slot)
            slot = std::make_shared<T>();
        return *static_cast<T *>(slot.get());
    }

private:
    struct Entry
    {
        QString key;
        TfrRows rows;
        qsizetype bytes = 0;
    };
    std::list<Entry> m_entries; // most recently used first
    QHash<QString, std::list<Entry>::iterator> m_index;
    qsizetype m_bytes = 0;
    QHash<QString, QString> m_textKeys;
    std::map<QString, std::shared_ptr<void>> m_states;
    QHash<QString, std::optional<TVxRowLayout>> m_layouts;
    TfrRunCache *m_previous = nullptr;
};
