#include "gradeentry/qevdatasets.h"
#include "platform/connection.h"
#include "platform/stepwise.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QSqlQuery>

#include <map>
#include <vector>

namespace {

// The components of the open class session, optionally of one of its subjects.
const char kComponentiClasse[] =
    "SELECT ClsMatCmp.iClsMatCmpId FROM TClsMatCmp ClsMatCmp "
    "INNER JOIN TClsSesMat ClsSesMat ON (ClsSesMat.iClsSesMatId = ClsMatCmp.iClsSesMatId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = ClsSesMat.iClsSesId) "
    "WHERE ClsSes.iClsSesId = :iClsSesId";

// With the pupil's name, which a transfer stopped half-way tells.
const char kProposti[] =
    "SELECT Vtp.iClsMatCmpId, Vtp.iSitId, Vtp.iPrpScaLivId, "
    "PrpScaLiv.iScaLivId, Ana.sAnaCognome, Ana.sAnaNome FROM TVTP_PROPOSTI Vtp "
    "INNER JOIN TPrpScaLiv PrpScaLiv ON "
    "(PrpScaLiv.iPrpScaLivId = Vtp.iPrpScaLivId) "
    "INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = Vtp.iSitId) "
    "INNER JOIN TAna_Anagrafiche Ana ON (Ana.iAnaId = Sit.iAnaId) "
    "WHERE Vtp.iClsMatCmpId IN (%1%2)%3 ORDER BY Vtp.iSitId, Vtp.iClsMatCmpId";

const char kCancellaVoto[] = "DELETE FROM TVOT_VOTI Vot WHERE Vot.iClsMatCmpId = :iClsMatCmpId "
                             "AND Vot.iSitId = :iSitId AND Vot.iClsMatCmpId IN (%1)";

const char kInserisciVoto[] =
    "INSERT INTO TVOT_VOTI (iVotId, iClsMatCmpId, iSitId, iScaLivId, dInsert, dStart, dEnd) "
    "VALUES (:iVotId, :iClsMatCmpId, :iSitId, :iScaLivId, CURRENT_TIMESTAMP, :dStart, :dEnd)";

struct Proposta
{
    int iClsMatCmpId;
    int iScaLivId;
};

struct Alunno
{
    QString nome;
    std::vector<Proposta> proposte;
};

} // namespace

void TdmqevDataSets::PassaVotiProposti(int Modo)
{
    if (Modo < 0 || Modo > 2)
        return;
    TVxHourglass hourglass;
    const QSqlDatabase db = qqoVxGlobConn();
    TVxFieldValues filtro;
    filtro.setValue(QStringLiteral("iClsSesId"), iClsSesId);
    QString perMateria;
    QString perAlunno;
    if (Modo == 1) {
        perAlunno = QStringLiteral(" AND Vtp.iSitId = :iSitId");
        filtro.setValue(QStringLiteral("iSitId"), iSitId);
    } else if (Modo == 2) {
        perMateria = QStringLiteral(" AND ClsSesMat.iClsSesMatId = :iClsSesMatId");
        filtro.setValue(QStringLiteral("iClsSesMatId"), iClsSesMatId);
    }

    // Every proposal is read before anything changes, grouped by pupil.
    std::map<int, Alunno> perSituazione;
    QVariant dStart;
    QVariant dEnd;
    VxExplain(QStringLiteral("Impossibile eseguire il passaggio dei voti proposti."), [&] {
        TVxTransactionScope scope(db);
        QSqlQuery &q = scope.transaction().Exec(
            QString::fromLatin1(kProposti).arg(QString::fromLatin1(kComponentiClasse), perMateria,
                                               perAlunno),
            filtro);
        while (fetchNext(q)) {
            Alunno &a = perSituazione[q.value(1).toInt()];
            a.nome = q.value(4).toString().trimmed() + QLatin1Char(' ') +
                     q.value(5).toString().trimmed();
            a.proposte.push_back({q.value(0).toInt(), q.value(3).toInt()});
        }
        q.finish();
        scope.Commit();
        if (perSituazione.empty())
            return;
        dStart = GetAnnoScolField(iAnsId, QStringLiteral("dAnsVextoInizio"));
        dEnd = GetAnnoScolField(iAnsId, QStringLiteral("dAnsVextoFine"));
    });
    const QString cancella =
        QString::fromLatin1(kCancellaVoto).arg(QString::fromLatin1(kComponentiClasse));
    const QString inserisci = QString::fromLatin1(kInserisciVoto);

    // Each pupil is committed alone: a stop leaves the pupils before written, and says so.
    TVxStepwiseRun passaggio({QStringLiteral("Passaggio interrotto a %1"),
                              QStringLiteral("i voti di %1 sono già passati"),
                              QStringLiteral("nessun voto è stato ancora passato")});
    for (const auto &[sit, alunno] : perSituazione) {
        passaggio.Step(alunno.nome, [&, sit = sit, &proposte = alunno.proposte] {
            TVxTransaction tr(db);
            if (!tr.StartTransaction())
                throw EVxException(tr.lastError());
            for (const Proposta &p : proposte) {
                TVxFieldValues values;
                values.setValue(QStringLiteral("iClsMatCmpId"), p.iClsMatCmpId);
                values.setValue(QStringLiteral("iSitId"), sit);
                values.setValue(QStringLiteral("iClsSesId"), iClsSesId);
                tr.Exec(cancella, values);
                TVxFieldValues nuovo;
                nuovo.setValue(QStringLiteral("iVotId"), VxNewKey(db, QStringLiteral("TVOT_VOTI")));
                nuovo.setValue(QStringLiteral("iClsMatCmpId"), p.iClsMatCmpId);
                nuovo.setValue(QStringLiteral("iSitId"), sit);
                nuovo.setValue(QStringLiteral("iScaLivId"), p.iScaLivId);
                nuovo.setValue(QStringLiteral("dStart"), dStart.toDate());
                nuovo.setValue(QStringLiteral("dEnd"), dEnd.toDate());
                tr.Exec(inserisci, nuovo);
            }
            tr.Commit();
            return true;
        });
    }
}
