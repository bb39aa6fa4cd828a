#include "gradeentry/qevsalva.h"

#include "gradeentry/qevdatasets.h"

#include "platform/connection.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

namespace {

void mostraErrore(const QString &cella, const QString &motivo)
{
    VxMessageDlg(QStringLiteral("Impossibile salvare i dati.\r\r%1\r\r%2\r\rI dati non salvati "
                                "restano nella griglia.")
                     .arg(cella, motivo),
                 mtError, mbOK);
}

} // namespace

bool SalvaScritture(const QList<TqevScrittura> &scritture)
{
    if (scritture.isEmpty())
        return true;
    TVxHourglass hourglass;
    TVxTransaction tr(qqoVxGlobConn());
    for (const TqevScrittura &s : scritture) {
        if (!tr.StartTransaction()) {
            mostraErrore(
                s.cella,
                QStringLiteral("Impossibile avviare una transazione.\r%1").arg(tr.lastError()));
            return false;
        }
        try {
            s.esegui(tr);
            tr.Commit();
        } catch (const EVxException &e) {
            tr.Rollback();
            mostraErrore(s.cella, e.message());
            return false;
        }
        if (s.salvata)
            s.salvata();
    }
    return true;
}

TqevDateAnno DateNuoveRighe()
{
    const int iAnsId = dmqevDataSets->iAnsId;
    return {dmqevDataSets->GetAnnoScolField(iAnsId, QStringLiteral("dAnsVextoInizio")).toDate(),
            dmqevDataSets->GetAnnoScolField(iAnsId, QStringLiteral("dAnsVextoFine")).toDate()};
}
