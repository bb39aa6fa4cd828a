#include "exchange/qelwebcollectsql.h"

#include "exchange/qeldocfoldersql.h"
#include "platform/vxexception.h"

namespace {

const QelWebCollectKind kKinds[] = {
    {"Vtp", "voti proposti", "TVtp_Proposti", "iVtpId", "iClsMatCmpId", "iPrpScaLivId = :iScaLivId",
     "iPrpScaLivId", "CAST(:iScaLivId AS INTEGER)", "TVTP_PROPOSTI", true},
    {"Tas", "tassonomie", "TTas_Tassonomie", "iTasId", "iClsMatCmpId", "iScaLivId = :iScaLivId",
     "iScaLivId", "CAST(:iScaLivId AS INTEGER)", "TTAS_TASSONOMIE", false},
    {"Ass", "assenze", "TAss_Assenze", "iAssId", "iClsSesMatId", "iAssOre = :iAssOre", "iAssOre",
     "CAST(:iAssOre AS INTEGER)", "TASS_ASSENZE", true},
    {"Aiu", "aiuti", "TAiu_Aiuti", "iAiuId", "iClsSesMatId", "sAiuVal = :sAiuVal", "sAiuVal",
     "CAST(:sAiuVal AS VARCHAR(4))", "TAIU_AIUTI", false},
    {"Not", "note", "TNot_Note", "iNotId", "iClsSesMatId",
     "dNotData = :dNotData, bNotNota = :bNotNota", "dNotData, bNotNota",
     "CAST(:dNotData AS DATE), CAST(:bNotNota AS BLOB SUB_TYPE TEXT)", "TNOT_NOTE", true},
};

bool isComponent(const QelWebCollectKind &kind)
{
    return QLatin1String(kind.rowKey) == QLatin1String("iClsMatCmpId");
}

// The class session, its class's study plans and the situation of the row, in the session.
const char kSubjectInSession[] =
    "FROM TClsSesMat ClsSesMat "
    "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "
    "  JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
    "  JOIN TAnsSesDwg Wrk ON Wrk.iSesId = Asd.iSesId AND Wrk.iAnsId = Asd.iAnsId "
    "  JOIN TClsPst ClsPst ON ClsPst.iClsId = ClsSes.iClsId "
    "  JOIN TSit_Situazioni Sit ON Sit.iClsPstId = ClsPst.iClsPstId "
    "WHERE Wrk.iAnsSesDwgId = :iAnsSesDwgId AND Sit.iSitId = :iSitId ";

// A class session (ClsSes) of the session (Wrk the working year-session's).
const char kSessionClassesOf[] =
    "  JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
    "  JOIN TAnsSesDwg Wrk ON Wrk.iSesId = Asd.iSesId AND Wrk.iAnsId = Asd.iAnsId "
    "WHERE Wrk.iAnsSesDwgId = :iAnsSesDwgId ";

const char kClassNotesSubject[] =
    "(SELECT FIRST 1 ClsSesMat.iClsSesMatId FROM TClsSesMat ClsSesMat "
    "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "
    "  JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
    "  WHERE ClsSes.iClsId = :iClsId AND MatRma.iMatId = :iMatId "
    "  AND ClsSes.iAnsSesDwgId = :iAnsSesDwgId)";

} // namespace

namespace QelWebCollectSql {

const QelWebCollectKind &kind(const QString &name)
{
    for (const QelWebCollectKind &k : kKinds)
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            return k;
    throw EVxException(QStringLiteral("Tipo di dato sconosciuto: %1").arg(name));
}

QString update(const QelWebCollectKind &kind)
{
    return QStringLiteral("UPDATE %1 SET %2 WHERE iSitId = :iSitId AND %3 = :%3")
        .arg(QLatin1String(kind.table), QLatin1String(kind.setClause), QLatin1String(kind.rowKey));
}

QString updateInSession(const QelWebCollectKind &kind)
{
    return update(kind) + QStringLiteral(" AND EXISTS (") + targetInSession(kind) +
           QLatin1Char(')');
}

QString insert(const QelWebCollectKind &kind)
{
    return QStringLiteral(
               "INSERT INTO %1 (%2, %3, %4, iSitId, dInsert, dStart, dEnd) "
               "VALUES (:iNewId, :%3, %5, :iSitId, CURRENT_DATE, "
               "(SELECT Sit.dStart FROM TSit_Situazioni Sit WHERE Sit.iSitId = :iSitId), "
               "(SELECT Sit.dEnd FROM TSit_Situazioni Sit WHERE Sit.iSitId = :iSitId))")
        .arg(QLatin1String(kind.table), QLatin1String(kind.keyColumn), QLatin1String(kind.rowKey),
             QLatin1String(kind.columns), QLatin1String(kind.values));
}

QString insertInSession(const QelWebCollectKind &kind)
{
    // The key from the database's procedure inside the statement.
    return QelDocFolderSql::valueInsert(
        kind.table, kind.keyColumn, kind.rowKey, kind.columns, kind.values,
        QStringLiteral("(SELECT L_iCntId FROM PYSetGetId(:sTable, 0))"), targetInSession(kind));
}

QString sentIdExists(const QelWebCollectKind &kind)
{
    return isComponent(kind) ? QStringLiteral("SELECT Cmp.iClsMatCmpId FROM TClsMatCmp Cmp "
                                              "WHERE Cmp.iClsMatCmpId = :iClsMatCmpId")
                             : QStringLiteral("SELECT ClsSesMat.iClsSesMatId FROM TClsSesMat "
                                              "ClsSesMat WHERE ClsSesMat.iClsSesMatId = "
                                              ":iClsSesMatId");
}

QString searchByConfiguration(const QelWebCollectKind &kind)
{
    const QString joins =
        QStringLiteral("JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
                       "JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "
                       "JOIN TClsPst ClsPst ON ClsPst.iClsId = ClsSes.iClsId "
                       "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND ClsSes.iClsId = :iClsId "
                       "AND ClsPst.iPstId = :iPstId AND MatRma.iMatId = :iMatId");
    if (isComponent(kind))
        return QStringLiteral("SELECT Cmp.iClsMatCmpId FROM TClsMatCmp Cmp "
                              "JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = "
                              "Cmp.iClsSesMatId ") +
               joins + QStringLiteral(" AND Cmp.iCmpScaId = :iCmpScaId");
    return QStringLiteral("SELECT ClsSesMat.iClsSesMatId FROM TClsSesMat ClsSesMat ") + joins;
}

namespace {

// The row key's class-session subject (or its component's), taught by :iDocId in its class.
QString targetOfTeacher(const QelWebCollectKind &kind)
{
    return (isComponent(kind) ? QStringLiteral("AND EXISTS (SELECT 1 FROM TClsMatCmp Cmp WHERE "
                                               "Cmp.iClsSesMatId = ClsSesMat.iClsSesMatId AND "
                                               "Cmp.iClsMatCmpId = :iClsMatCmpId) ")
                              : QStringLiteral("AND ClsSesMat.iClsSesMatId = :iClsSesMatId ")) +
           QStringLiteral("AND EXISTS (SELECT 1 FROM TMatRma TgtRma JOIN TClsMatAna TgtAna ON "
                          "TgtAna.iMatId = TgtRma.iMatId WHERE TgtRma.iMatRmaId = "
                          "ClsSesMat.iMatRmaId AND TgtAna.iClsId = ClsSes.iClsId AND "
                          "TgtAna.iAnaId = :iDocId)");
}

} // namespace

QString targetInSession(const QelWebCollectKind &kind)
{
    return QStringLiteral("SELECT FIRST 1 1 ") + QLatin1String(kSubjectInSession) +
           targetOfTeacher(kind);
}

QString subjectOfTeacher(const QelWebCollectKind &kind)
{
    return QStringLiteral("SELECT FIRST 1 1 FROM TClsSesMat ClsSesMat "
                          "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId ") +
           QLatin1String(kSessionClassesOf) + targetOfTeacher(kind);
}

QString classNotesDelete()
{
    return QStringLiteral("DELETE FROM TCno_ClassiNoteOre WHERE iClsSesMatId = ") +
           QLatin1String(kClassNotesSubject) + QStringLiteral(" AND iAnaId = :iDocId");
}

QString classNotesUpdate()
{
    return QStringLiteral("UPDATE TCno_ClassiNoteOre SET iCnoOre = :iCnoOre, bCnoNota = "
                          ":bCnoNota WHERE iClsSesMatId = ") +
           QLatin1String(kClassNotesSubject) +
           QStringLiteral(" AND iAnaId = :iDocId AND (iCnoOre IS DISTINCT FROM :iCnoOre OR "
                          "bCnoNota IS DISTINCT FROM :bCnoNota)");
}

QString classNotesInsert()
{
    return QStringLiteral("INSERT INTO TCno_ClassiNoteOre (iCnoId, iClsSesMatId, iAnaId, "
                          "iCnoOre, bCnoNota) SELECT CAST(:iNewId AS INTEGER), ") +
           QLatin1String(kClassNotesSubject) +
           QStringLiteral(", CAST(:iDocId AS INTEGER), CAST(:iCnoOre AS INTEGER), CAST(:bCnoNota "
                          "AS BLOB SUB_TYPE TEXT) FROM RDB$DATABASE WHERE NOT EXISTS (SELECT 1 "
                          "FROM TCno_ClassiNoteOre Cur WHERE Cur.iAnaId = :iDocId AND "
                          "Cur.iClsSesMatId = ") +
           QLatin1String(kClassNotesSubject) + QLatin1Char(')');
}

QString classNotesTarget()
{
    return QStringLiteral("SELECT 1 FROM RDB$DATABASE WHERE EXISTS ") +
           QLatin1String(kClassNotesSubject) +
           QStringLiteral(" AND EXISTS (SELECT 1 FROM TClsMatAna TgtAna WHERE TgtAna.iClsId = "
                          ":iClsId AND TgtAna.iMatId = :iMatId AND TgtAna.iAnaId = :iDocId)");
}

// The class sessions of the session (Wrk the working year-session's): the joins, then the
// filter, so that a read's outer joins can follow the joins. Put before them, the outer joins
// made the class-session subjects one stream, read whole, that the session could only filter.
#define TAVRIN_SESSION_CLASS_JOINS                                                                 \
    "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "                             \
    "  JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId "                             \
    "  JOIN TAnsSesDwg Wrk ON Wrk.iSesId = Asd.iSesId AND Wrk.iAnsId = Asd.iAnsId "
#define TAVRIN_SESSION_OF_WORK "WHERE Wrk.iAnsSesDwgId = :iAnsSesDwgId "
const char kSessionClasses[] = TAVRIN_SESSION_CLASS_JOINS TAVRIN_SESSION_OF_WORK;

QString storedValues(const QelWebCollectKind &kind)
{
    const QString values =
        QStringLiteral("Val.") +
        QString::fromLatin1(kind.columns).replace(QLatin1String(", "), QLatin1String(", Val."));
    const QString target = isComponent(kind)
                               ? QStringLiteral("JOIN TClsMatCmp Cmp ON Cmp.iClsSesMatId = "
                                                "ClsSesMat.iClsSesMatId JOIN %1 Val ON "
                                                "Val.iClsMatCmpId = Cmp.iClsMatCmpId ")
                               : QStringLiteral("JOIN %1 Val ON Val.iClsSesMatId = "
                                                "ClsSesMat.iClsSesMatId ");
    // From the teacher's subjects in his classes of the session: the values of the others are
    // never read.
    return QStringLiteral("SELECT Val.iSitId, Val.%1, %2 FROM TClsMatAna ClsMatAna "
                          "JOIN TClsSes ClsSes ON ClsSes.iClsId = ClsMatAna.iClsId "
                          "JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
                          "JOIN TAnsSesDwg Wrk ON Wrk.iSesId = Asd.iSesId AND Wrk.iAnsId = "
                          "Asd.iAnsId "
                          "JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesId = ClsSes.iClsSesId "
                          "JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId AND "
                          "MatRma.iMatId = ClsMatAna.iMatId ")
               .arg(QLatin1String(kind.rowKey), values) +
           target.arg(QLatin1String(kind.table)) +
           QStringLiteral("WHERE ClsMatAna.iAnaId = :iDocId AND Wrk.iAnsSesDwgId = :iAnsSesDwgId");
}

QString storedDebts()
{
    // Through the verifier's index: the debts of the school are never read.
    return QStringLiteral("SELECT Deb.iSitId, Deb.iMatId, Deb.iDesDedId, Deb.dDebVer, Deb.bDebNota "
                          "FROM TDeb_Debiti Deb "
                          "JOIN VAns_AnniScolast DebAns ON DebAns.dAnsVextoInizio = Deb.dStart "
                          "JOIN TAns_AnniScolast WrkAns ON WrkAns.iAnsId = :iAnsId "
                          "WHERE Deb.iAnaId_Ver = :iDocId AND DebAns.iAnsValore < "
                          "WrkAns.iAnsValore");
}

QString sessionComponents()
{
    return QStringLiteral("SELECT Cmp.iClsMatCmpId, Cmp.iCmpScaId, Cmp.iClsSesMatId FROM "
                          "TClsMatCmp Cmp "
                          "JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = "
                          "Cmp.iClsSesMatId ") +
           QLatin1String(kSessionClasses);
}

QString sessionSubjects()
{
    return QStringLiteral(
        "SELECT ClsSesMat.iClsSesMatId, ClsSesMat.iClsSesId, ClsSes.iAnsSesDwgId "
        "FROM TClsSesMat ClsSesMat " TAVRIN_SESSION_CLASS_JOINS TAVRIN_SESSION_OF_WORK);
}

QString sessionOf(const QelWebCollectKind &kind)
{
    return isComponent(kind)
               ? QStringLiteral("SELECT ClsSes.iAnsSesDwgId FROM TClsMatCmp Cmp JOIN TClsSesMat "
                                "ClsSesMat ON ClsSesMat.iClsSesMatId = Cmp.iClsSesMatId JOIN "
                                "TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId WHERE "
                                "Cmp.iClsMatCmpId = :iClsMatCmpId")
               : QStringLiteral("SELECT ClsSes.iAnsSesDwgId FROM TClsSesMat ClsSesMat JOIN "
                                "TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId WHERE "
                                "ClsSesMat.iClsSesMatId = :iClsSesMatId");
}

QString sessionNumber()
{
    return QStringLiteral("SELECT Asd.iSesId, Asd.iAnsId FROM TAnsSesDwg Asd "
                          "WHERE Asd.iAnsSesDwgId = :iAnsSesDwgId");
}

} // namespace QelWebCollectSql
