#include "reports/qelparrptdata.h"

#include "platform/connection.h"
#include "platform/vxexception.h"

namespace {

// iCmpScaOrdine is returned too: SQL orders a DISTINCT only by what it returns, and other
// engines than ours keep to that. It is one value per component-scale, so it adds no row; the
// lists read the first two columns only.
const char kSessionComponents[] =
    "SELECT DISTINCT CmpSca.iCmpScaId, Cmp.sCmpLDesc || '-' || Scale.sScaDesc sCmpDesc, "
    "CmpSca.iCmpScaOrdine FROM TCmpSca CmpSca "
    "INNER JOIN TCmp_Componenti Cmp ON (Cmp.iCmpId = CmpSca.iCmpId) "
    "INNER JOIN TSca_Scale Scale ON (Scale.iScaId = CmpSca.iScaId) "
    "INNER JOIN TClsMatCmp Cmc ON (Cmc.iCmpScaId = CmpSca.iCmpScaId) "
    "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "
    "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId ORDER BY CmpSca.iCmpScaOrdine";
const char kFinalPositions[] =
    "SELECT TPosFin.iPosFinId, TStaFinDett.sStaFinDettLDesc, TStaFinDett.sStaFinDettSDesc "
    "FROM TPosFin TPosFin INNER JOIN TStaFinDett TStaFinDett ON "
    "(TStaFinDett.iStaFinDettId = TPosFin.iStaFinDettId AND TStaFinDett.dDelete IS NULL) "
    "WHERE (TPosFin.dDelete IS NULL)";

} // namespace

namespace QelPrintSettingsData {

TVxEnumItems SessionComponents(int iAnsSesDwgId)
{
    if (iAnsSesDwgId == 0)
        return {};
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    return VxExplain(
        QStringLiteral("Impossibile leggere le componenti dei voti della sessione."), [&values] {
            return LoadEnumItems(qqoVxGlobConn(), QString::fromLatin1(kSessionComponents), values);
        });
}

TVxEnumItems FinalPositions()
{
    return VxExplain(QStringLiteral("Impossibile leggere gli esiti finali."), [] {
        return LoadEnumItems(qqoVxGlobConn(), QString::fromLatin1(kFinalPositions));
    });
}

QList<int> OutcomeIds(const QString &stored)
{
    QList<int> ids;
    const QStringList entries = stored.trimmed().split(QLatin1Char(';'));
    // The last entry is what follows the last ";": never an id.
    for (qsizetype i = 0; i + 1 < entries.size(); ++i) {
        bool ok = false;
        const int id = entries[i].trimmed().toInt(&ok);
        if (ok)
            ids << id;
    }
    return ids;
}

QString OutcomeText(const QList<int> &ids)
{
    QString text;
    for (int id : ids)
        text += QString::number(id) + QLatin1Char(';');
    return text;
}

} // namespace QelPrintSettingsData
