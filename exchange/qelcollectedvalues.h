#pragma once

// What a value brought back by a collection may be: the rules of a value the office types in
// grade entry (the component scale's levels of the kind, the hours, aids and credits of
// TqevRegoleValori), and keys the database can hold. The routes come from outside (a teacher's
// program, the web service), so every value is measured as a typed one before it is written.
//
//   QelCollectedValues values;
//   const QString why = values.Refusal(kind, iCmpScaId, level);  // empty: the value is fine
//   if (!QelCollectedValues::FitsKey(packetValue)) ...
//
// The levels of a kind are read once, the first time they are asked for, on the program's
// connection (inside the caller's transaction when one runs there).

#include "gradeentry/qevvalstore.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <array>
#include <memory>

class QelCollectedValues
{
public:
    QelCollectedValues();
    ~QelCollectedValues();

    // Why the value of a vote kind (0 votes, 1 proposed votes, 2 taxonomies, 3 absences, 4 aids)
    // is refused, as the office reads it after the pupil and subject; empty when it is taken.
    // Kinds 0 to 2 measure the level (the id a row stores) against the component scale
    // iCmpScaId: a level the grid no longer offers (deleted from its scale, or a proposal
    // hidden) is refused unless it is the level stored (null: none stored), which the grid
    // shows and keeps.
    QString Refusal(int kind, int iCmpScaId, const QVariant &value,
                    const QVariant &stored = QVariant());
    // Whether a level of kind 0 to 2 is of the component scale but no longer offered there: the
    // one case where what is stored decides (Refusal's stored).
    bool LevelRetired(int kind, int iCmpScaId, const QVariant &value);

    // A value the database's INTEGER columns hold (null too): a larger one would wrap into
    // another row's key.
    static bool FitsKey(const QVariant &value);

private:
    TqevValStore &levels(int kind);
    // The component of the scale as the office reads it: its name, read once for every scale.
    QString componentName(int iCmpScaId);

    std::array<std::unique_ptr<TqevValStore>, 3> m_levels;
    QHash<int, QString> m_components;
    bool m_componentsRead = false;
};
