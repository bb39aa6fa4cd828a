#pragma once

// What the window "Configurazione invio" shows: the teachers still free in the working
// year-session, the modes offered, and the assignments as (mode, teacher) rows of its tree.
// The assignments themselves are written through SendBookkeeping.
//
//   SendAssignments data(qqoVxGlobConn());
//   const TVxEnumItems free = data.freeTeachers(iDwgId, iAnsId, iAnsSesDwgId);
//   BuildTree(tree, data.treeRows(iAnsId, iAnsSesDwgId));
//
// A teacher belongs to the working school year when he teaches a class from the year's start
// (TClsMatAna.dStart = the year's dAnsVextoInizio): one without such an assignment is neither
// free nor shown in the tree, whatever bookkeeping rows he keeps. Database errors raise
// EVxException with the driver's text.

#include "platform/enumvalues.h"

#include <QList>
#include <QSqlDatabase>
#include <QVariantList>

class SendAssignments
{
public:
    explicit SendAssignments(const QSqlDatabase &db) : m_db(db) {}

    // Staff of the institute (active, teacher role) of the school year with no row in the
    // year-session in any mode, by name: text sDocNome, id iAnaCagId.
    TVxEnumItems freeTeachers(int iDwgId, int iAnsId, int iAnsSesDwgId) const;
    // Every mode but the web folder, which only the folder send writes: text sModDesc, id
    // iModId, in the modes' order.
    TVxEnumItems offeredModes() const;
    // The year-session's assignments of the year's teachers, by name: iModId, sModDesc,
    // iAnaCagId, sDocNome.
    QList<QVariantList> treeRows(int iAnsId, int iAnsSesDwgId) const;

private:
    QSqlDatabase m_db;
};
