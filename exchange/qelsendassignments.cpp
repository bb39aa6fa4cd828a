#include "exchange/qelsendassignments.h"

#include "exchange/qelsendbookkeeping.h"
#include "platform/globalvars.h"
#include "platform/transaction.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The teachers of the school year: those teaching a class from the year's start.
const char kYearTeachers[] =
    "SELECT TCma.iAnaId FROM TClsMatAna TCma "
    "INNER JOIN TAns_AnniScolast TAns ON (TAns.dAnsVextoInizio = TCma.dStart) "
    "WHERE TAns.iAnsId = :iAnsId";

const char kFreeTeachers[] =
    "SELECT DISTINCT TAnaCag.iAnaCagId, TAna.sAnaCognome || ' ' || TAna.sAnaNome AS sDocNome, "
    "TAna.sAnaCognomeNomeIdx "
    "FROM TAnaPer_Personale TAnaPer "
    "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaCagId = TAnaPer.iAnaCagId AND TAnaCag.iCagId = 3) "
    "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaCag.iAnaId) "
    "WHERE TAnaPer.iDwgId = :iDwgId AND TAnaPer.iStabPerId = 1 "
    "AND TAnaCag.iAnaId IN (%1) "
    "AND NOT EXISTS (SELECT 1 FROM TAai_AnaAppInvio TAai WHERE TAai.iAnaCagId = TAnaCag.iAnaCagId "
    "AND TAai.iAnsSesDwgId = :iAnsSesDwgId) "
    "ORDER BY TAna.sAnaCognomeNomeIdx";

const char kOfferedModes[] = "SELECT TMod.iModId, TMod.sModDesc FROM TMod_ModoInvio TMod "
                             "WHERE TMod.iModId <> :iModId ORDER BY TMod.iModOrdine";

const char kTreeRows[] =
    "SELECT TAai.iModId, TMod.sModDesc, TAai.iAnaCagId, "
    "TAna.sAnaCognome || ' ' || TAna.sAnaNome AS sDocNome "
    "FROM TAai_AnaAppInvio TAai "
    "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaCagId = TAai.iAnaCagId AND TAnaCag.iCagId = 3) "
    "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaCag.iAnaId) "
    "INNER JOIN TMod_ModoInvio TMod ON (TMod.iModId = TAai.iModId) "
    "WHERE TAai.iAnsSesDwgId = :iAnsSesDwgId AND TAnaCag.iAnaId IN (%1) "
    "ORDER BY TAna.sAnaCognomeNomeIdx";

QString withYearTeachers(const char *sql)
{
    return QString::fromLatin1(sql).arg(QString::fromLatin1(kYearTeachers));
}

} // namespace

TVxEnumItems SendAssignments::freeTeachers(int iDwgId, int iAnsId, int iAnsSesDwgId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iDwgId"), AggregateiDwgId(iDwgId));
    values.setValue(QStringLiteral("iAnsId"), iAnsId);
    values.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    return LoadEnumItems(m_db, withYearTeachers(kFreeTeachers), values);
}

TVxEnumItems SendAssignments::offeredModes() const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iModId"), int(kModeWebFolder));
    return LoadEnumItems(m_db, QString::fromLatin1(kOfferedModes), values);
}

QList<QVariantList> SendAssignments::treeRows(int iAnsId, int iAnsSesDwgId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    values.setValue(QStringLiteral("iAnsId"), iAnsId);
    QList<QVariantList> rows;
    VxEachRow(m_db, withYearTeachers(kTreeRows), values,
              [&](const QSqlQuery &q, const QSqlRecord &rec) {
                  QVariantList row;
                  for (int c = 0; c < rec.count(); ++c)
                      row << q.value(c);
                  rows << row;
              });
    return rows;
}
