#include "shell/qeldatasets.h"

#include "platform/connection.h"
#include "platform/inifile.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

TdmqelDataSets *dmqelDataSets = nullptr;

namespace {

// A select on the shared connection, run and ready for fetchNext.
QSqlQuery select(const char *sql, const TVxFieldValues &values = {})
{
    QSqlQuery query(qqoVxGlobConn());
    query.setForwardOnly(true);
    execBound(query, QString::fromLatin1(sql), values);
    return query;
}

TVxFieldValues oneValue(const QString &name, const QVariant &value)
{
    TVxFieldValues values;
    values.setValue(name, value);
    return values;
}

const char kYearStart[] =
    "SELECT Ans.iAnsValore FROM TAns_AnniScolast Ans WHERE Ans.iAnsId = :iAnsId";
const char kSessionDescription[] =
    "SELECT TSes.sSesDesc FROM TAnsSesDwg TASD INNER JOIN TSes_Sessione TSes "
    "ON (TSes.iSesId = TASD.iSesId) WHERE TASD.iAnsSesDwgId = :iAnsSesDwgId";
const char kSessionNumber[] =
    "SELECT T.iSesId, T.iAnsSesDwgOrdine FROM TAnsSesDwg T WHERE T.iAnsSesDwgId = :iAnsSesDwgId";
const char kYearSessions[] =
    "SELECT TASD.iAnsSesDwgId, TSes.sSesDesc FROM TAnsSesDwg TASD "
    "INNER JOIN TSes_Sessione TSes ON (TSes.iSesId = TASD.iSesId) "
    "WHERE TASD.iDwgId = :iDwgId AND TASD.iAnsId = :iAnsId ORDER BY TASD.iAnsSesDwgOrdine";
const char kWebTeachers[] =
    "SELECT TAnaCag.iAnaId, TAnaCag.sAnaCagCode, TAna.sAnaCognome, TAna.sAnaNome "
    "FROM TAai_AnaAppInvio TAai "
    "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaCagId = TAai.iAnaCagId) "
    "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaCag.iAnaId) "
    "INNER JOIN TMod_ModoInvio TMod ON (TMod.iModId = TAai.iModId) "
    "WHERE (TAai.iAnsSesDwgId = :iAnsSesDwgId) AND (TAai.iModId = 4) "
    "ORDER BY TAna.sAnaCognomeNomeIdx";
const char kSchoolSiteCode[] =
    " SELECT   VSed.sSedInfCodVexto  FROM VSed_Sedi VSed  WHERE iDwgId IS NULL ";
const char kMainSeatMecCode[] =
    "SELECT VSed.sSedMecCod FROM VSed_Sedi VSed WHERE VSed.iDwgId IS NULL "
    "AND VSed.lDwgSedMain = 1 AND VSed.dEnd_Sed IS NULL ORDER BY VSed.iDwgSedId";

// The search condition is wrapped in parentheses so that an "or" in it cannot escape the
// condition on deleted rows.
const char kAnniCorsoList[] = "SELECT iAcsId, sAcsLDesc, sAcsSDesc FROM TAcs_AnniCorso WHERE "
                              "((##WHERE##) AND dDelete IS NULL)";
const char kDebEsitoList[] = "SELECT iDesId, sDesLDescVexto FROM TDES_DEBESITO WHERE (##WHERE##) "
                             "AND (dDelete IS NULL)";
const char kDebTipoList[] = "SELECT iDtpId, sDtpLDescVexto FROM TDTP_DEBTIPO WHERE (##WHERE##) AND "
                            "(dDelete IS NULL)";

const char kUserTables[] =
    "SELECT RDB$RELATION_NAME FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0";

// Tables every window of the program reads from its start: a database without them is not the
// suite's, and would fail later with the SQL text of whatever is opened first.
const char *const kSuiteTables[] = {
    "TANS_ANNISCOLAST", "TSES_SESSIONE", "TANSSESDWG",   "TDOW_DATAOWNER", "TCLS_CLASSI", "TCLSSES",
    "TSIT_SITUAZIONI",  "TVOT_VOTI",     "TENC_ENCOMIO", "TDESDED",        "TDTPDTD",     "TPARVAL",
};

// The suite's tables the database lacks, by name.
QStringList missingSuiteTables()
{
    QSet<QString> present;
    VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kUserTables), {},
              [&present](const QSqlQuery &q, const QSqlRecord &) {
                  present.insert(q.value(0).toString().trimmed().toUpper());
              });
    QStringList missing;
    for (const char *table : kSuiteTables) {
        if (!present.contains(QString::fromLatin1(table)))
            missing << QString::fromLatin1(table);
    }
    return missing;
}

void addLocked(TVxQueryDesc &desc)
{
    desc.Fields.setValue(QStringLiteral("iLocked"), 0);
}

// The debt editors write a new row as two: the detail under a new key of its own, then the
// link row carrying that key. The key the detail got is kept in *lastDetailId between the
// two statements (the tables' names come in capitals).
void linkNewRowToItsDetail(TVxQueryCollection &collection, const QString &detailTable,
                           const QString &linkTable, const QString &detailKey, int *lastDetailId)
{
    collection.VxBeforeExec = [=](TVxQueryDesc &d) {
        if (d.Kind != skInsert)
            return;
        if (d.TableName == linkTable)
            d.Fields.setValue(detailKey, *lastDetailId);
        if (d.TableName == linkTable || d.TableName == detailTable)
            addLocked(d);
    };
    collection.VxAfterExec = [=](TVxQueryDesc &d) {
        if (d.Kind == skInsert && d.TableName == detailTable)
            *lastDetailId = d.Fields.value(QStringLiteral("VXGENID")).toInt();
    };
}

} // namespace

TdmqelDataSets::TdmqelDataSets(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("dmqelDataSets"));
    DataModuleCreate();
}

TdmqelDataSets::~TdmqelDataSets()
{
    if (dmqelDataSets == this)
        dmqelDataSets = nullptr;
}

bool TdmqelDataSets::OpenConnection()
{
    if (qqoVxGlobConn().isOpen())
        return true;
    if (!::OpenConnection())
        return false;
    QStringList missing;
    if (!RunShowingErrors([&missing] { missing = missingSuiteTables(); })) {
        ::CloseConnection();
        return false;
    }
    if (!missing.isEmpty()) {
        const QSqlDatabase db = qqoVxGlobConn();
        const QString database = db.hostName().isEmpty()
                                     ? QDir::toNativeSeparators(db.databaseName())
                                     : db.hostName() + QLatin1Char(':') + db.databaseName();
        ::CloseConnection();
        VxMessageDlg(
            QStringLiteral("Il database %1 non è un database della suite Vexto: mancano "
                           "le sue tabelle (%2).\r\rControllare la voce Database in %3.")
                .arg(database,
                     missing.size() > 3
                         ? missing.mid(0, 3).join(QStringLiteral(", ")) + QStringLiteral("...")
                         : missing.join(QStringLiteral(", ")),
                     QDir::toNativeSeparators(resolveConfigPath(connectionSettingsFile()))),
            mtError, mbOK);
        return false;
    }
    ++m_openCount;
    return true;
}

void TdmqelDataSets::CloseConnection()
{
    for (TVxQueryCollection *c : {&xqcBnd_Bande, &xqcEnc_Encomio, &xqcFrm_Formativi,
                                  &xqcSco_Scolastici, &xqcDesDed, &xqcDtpDtd})
        c->Close();
    ::CloseConnection();
}

void TdmqelDataSets::DataModuleCreate()
{
    // Credit bands: only new bands are written here; the collection has no update or delete
    // statements, and the editor says so instead of pretending to save.
    xqcBnd_Bande.setSQL(QStringLiteral(
        "SELECT Bnd.iBndId, Bnd.iAcsId, Acs.sAcsLDesc, Bnd.sBndDesc, Bnd.iBndMedMin, "
        "Bnd.iBndMedMax, Bnd.iBndCreMin, Bnd.iBndCreMax, "
        "CAST(Bnd.iBndMedMin AS VARCHAR(11)) || '-' || CAST(Bnd.iBndMedMax AS VARCHAR(11)) "
        "AS BndMedia, "
        "CAST(Bnd.iBndCreMin AS VARCHAR(11)) || '-' || CAST(Bnd.iBndCreMax AS VARCHAR(11)) "
        "AS BndCredito, Bnd.dDelete, Bnd.iLocked "
        "FROM TBnd_Bande Bnd INNER JOIN TAcs_AnniCorso Acs ON Acs.iAcsId = Bnd.iAcsId"));
    xqcBnd_Bande.setAutoBuildSQL(false);
    xqcBnd_Bande.InsertSQL().clear();
    xqcBnd_Bande.InsertSQL() << QStringLiteral(
        "INSERT INTO TBND_BANDE (iBndId, iAcsId, sBndDesc, iBndMedMin, "
        "iBndMedMax, iBndCreMin, iBndCreMax, iLocked) VALUES (:VXGENID, "
        ":iAcsId, :sBndDesc, :iBndMedMin, :iBndMedMax, :iBndCreMin, "
        ":iBndCreMax, :iLocked)");
    xqcBnd_Bande.UpdateSQL().clear();
    xqcBnd_Bande.DeleteSQL().clear();
    xqcBnd_Bande.VxBeforeExec = [](TVxQueryDesc &d) {
        if (d.Kind == skInsert)
            addLocked(d);
    };

    xqcEnc_Encomio.setSQL(QStringLiteral("SELECT Enc.iEncId, Enc.sEncLDesc, Enc.sEncSDesc, "
                                         "Enc.dDelete, Enc.iLocked FROM TEnc_Encomio Enc "
                                         "ORDER BY Enc.sEncLDesc"));
    xqcEnc_Encomio.setAutoBuildSQL(true);
    xqcFrm_Formativi.setSQL(QStringLiteral(
        "SELECT Frm.iFrmId, Frm.sFrmLDesc, Frm.sFrmSDesc, Frm.iFrmPeso, Frm.iLocked, "
        "Frm.lFrmVisible FROM TFrm_Formativi Frm ORDER BY Frm.lFrmVisible DESC, Frm.sFrmLDesc"));
    xqcFrm_Formativi.setAutoBuildSQL(true);
    xqcSco_Scolastici.setSQL(QStringLiteral(
        "SELECT Sco.iScoId, Sco.sScoLDesc, Sco.sScoSDesc, Sco.iScoPeso, Sco.iLocked, "
        "Sco.lScoVisible FROM TSco_Scolastici Sco ORDER BY Sco.lScoVisible DESC, Sco.sScoLDesc"));
    xqcSco_Scolastici.setAutoBuildSQL(true);

    // Debt outcomes: a row of the editor is a link row (TDesDed, its key first) and the
    // detail row it points to (TDed_DebEsDett). The detail row is written under its own key
    // iDedId, which differs from the link's key.
    xqcDesDed.setSQL(QStringLiteral(
        "SELECT DesDed.iDesDedId, DesDed.iDedId, DesDed.iDesId, TDed.sDedLDesc, TDed.sDedSDesc, "
        "DesDed.iLocked FROM TDesDed DesDed INNER JOIN TDed_DebEsDett TDed ON "
        "(TDed.iDedId = DesDed.iDedId AND TDed.dDelete IS NULL) WHERE DesDed.dDelete IS NULL"));
    xqcDesDed.setAutoBuildSQL(false);
    xqcDesDed.InsertSQL().clear();
    xqcDesDed.InsertSQL()
        << QStringLiteral("INSERT INTO TDed_DebEsDett (iDedId, sDedLDesc, sDedSDesc, iLocked) "
                          "VALUES (:VXGENID, :sDedLDesc, :sDedSDesc, :iLocked)")
        << QStringLiteral("INSERT INTO TDesDed (iDesDedId, iDedId, iDesId, iLocked) VALUES "
                          "(:VXGENID, :iDedId, :iDesId, :iLocked)");
    xqcDesDed.UpdateSQL().clear();
    xqcDesDed.UpdateSQL() << QStringLiteral(
                                 "UPDATE TDed_DebEsDett SET sDedLDesc = :sDedLDesc, sDedSDesc = "
                                 ":sDedSDesc WHERE iDedId = :iDedId")
                          << QStringLiteral(
                                 "UPDATE TDesDed SET iDesId = :iDesId WHERE iDesDedId = :VXCURRID");
    xqcDesDed.DeleteSQL().clear();
    xqcDesDed.DeleteSQL() << QStringLiteral("DELETE FROM TDesDed WHERE iDesDedId = :VXCURRID")
                          << QStringLiteral("DELETE FROM TDed_DebEsDett WHERE iDedId = :iDedId");
    linkNewRowToItsDetail(xqcDesDed, QStringLiteral("TDED_DEBESDETT"), QStringLiteral("TDESDED"),
                          QStringLiteral("iDedId"), &LastDedId);

    // Debt types: the same shape with TDtpDtd and TDtd_DebTpDett.
    xqcDtpDtd.setSQL(QStringLiteral(
        "SELECT TDtpDtd.iDtpDtdId, TDtpDtd.iDtpId, TDtpDtd.iDtdId, TDtd.sDtdLDesc, "
        "TDtd.sDtdSDesc, TDtpDtd.iLocked FROM TDtpDtd TDtpDtd INNER JOIN TDtd_DebTpDett TDtd ON "
        "(TDtd.iDtdId = TDtpDtd.iDtdId AND TDtd.dDelete IS NULL) WHERE TDtpDtd.dDelete IS NULL"));
    xqcDtpDtd.setAutoBuildSQL(false);
    xqcDtpDtd.InsertSQL().clear();
    xqcDtpDtd.InsertSQL()
        << QStringLiteral("INSERT INTO TDtd_DebTpDett (iDtdId, sDtdLDesc, sDtdSDesc, iLocked) "
                          "VALUES (:VXGENID, :sDtdLDesc, :sDtdSDesc, :iLocked)")
        << QStringLiteral("INSERT INTO TDtpDtd (iDtpDtdId, iDtpId, iDtdId, iLocked) VALUES "
                          "(:VXGENID, :iDtpId, :iDtdId, :iLocked)");
    xqcDtpDtd.UpdateSQL().clear();
    xqcDtpDtd.UpdateSQL() << QStringLiteral(
                                 "UPDATE TDtd_DebTpDett SET sDtdLDesc = :sDtdLDesc, sDtdSDesc = "
                                 ":sDtdSDesc WHERE iDtdId = :iDtdId")
                          << QStringLiteral(
                                 "UPDATE TDtpDtd SET iDtpId = :iDtpId WHERE iDtpDtdId = :VXCURRID");
    xqcDtpDtd.DeleteSQL().clear();
    xqcDtpDtd.DeleteSQL() << QStringLiteral("DELETE FROM TDtpDtd WHERE iDtpDtdId = :VXCURRID")
                          << QStringLiteral("DELETE FROM TDtd_DebTpDett WHERE iDtdId = :iDtdId");
    linkNewRowToItsDetail(xqcDtpDtd, QStringLiteral("TDTD_DEBTPDETT"), QStringLiteral("TDTPDTD"),
                          QStringLiteral("iDtdId"), &LastDtdId);
}

std::optional<int> TdmqelDataSets::YearStart(int iAnsId)
{
    return VxExplain(
        QStringLiteral("Impossibile leggere l'anno scolastico."), [iAnsId]() -> std::optional<int> {
            QSqlQuery query = select(kYearStart, oneValue(QStringLiteral("iAnsId"), iAnsId));
            if (!fetchNext(query) || query.value(0).isNull())
                return std::nullopt;
            return query.value(0).toInt();
        });
}

QString TdmqelDataSets::SessionDescription(int iAnsSesDwgId)
{
    return VxExplain(QStringLiteral("Impossibile leggere la sessione."), [iAnsSesDwgId] {
        QSqlQuery query =
            select(kSessionDescription, oneValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId));
        return fetchNext(query) ? query.value(0).toString().trimmed() : QString();
    });
}

std::optional<int> TdmqelDataSets::SessionNumber(int iAnsSesDwgId)
{
    return VxExplain(
        QStringLiteral("Impossibile leggere la sessione."), [iAnsSesDwgId]() -> std::optional<int> {
            QSqlQuery query =
                select(kSessionNumber, oneValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId));
            if (!fetchNext(query) || query.value(0).isNull())
                return std::nullopt;
            return query.value(0).toInt();
        });
}

TVxEnumItems TdmqelDataSets::YearSessions(int iDwgId, int iAnsId)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iDwgId"), iDwgId);
    values.setValue(QStringLiteral("iAnsId"), iAnsId);
    return VxExplain(
        QStringLiteral("Impossibile leggere le sessioni dell'anno scolastico."), [&values] {
            return LoadEnumItems(qqoVxGlobConn(), QString::fromLatin1(kYearSessions), values);
        });
}

QList<QelWebTeacher> TdmqelDataSets::WebTeachers(int iAnsSesDwgId)
{
    return VxExplain(QStringLiteral("Impossibile leggere l'elenco dei docenti."), [iAnsSesDwgId] {
        QList<QelWebTeacher> teachers;
        VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kWebTeachers),
                  oneValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId),
                  [&teachers](const QSqlQuery &q, const QSqlRecord &) {
                      teachers.append({q.value(0).toInt(), q.value(2).toString().trimmed(),
                                       q.value(3).toString().trimmed()});
                  });
        return teachers;
    });
}

QString TdmqelDataSets::SchoolSiteCode()
{
    return VxExplain(QStringLiteral("Impossibile leggere il codice della sede della scuola."), [] {
        QSqlQuery query = select(kSchoolSiteCode);
        return fetchNext(query) ? query.value(0).toString().trimmed() : QString();
    });
}

std::optional<QString> TdmqelDataSets::MainSeatMecCode()
{
    return VxExplain(QStringLiteral("Impossibile leggere il codice meccanografico della scuola."),
                     []() -> std::optional<QString> {
                         QSqlQuery query = select(kMainSeatMecCode);
                         if (!fetchNext(query))
                             return std::nullopt;
                         return query.value(0).toString().trimmed();
                     });
}

QString TdmqelDataSets::AnniCorsoListSQL()
{
    return QString::fromLatin1(kAnniCorsoList);
}

QString TdmqelDataSets::DebEsitoListSQL()
{
    return QString::fromLatin1(kDebEsitoList);
}

QString TdmqelDataSets::DebTipoListSQL()
{
    return QString::fromLatin1(kDebTipoList);
}
