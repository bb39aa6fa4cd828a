#pragma once

#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "tests/support/testdb.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <utility>

// Every row a class collection may write, by natural keys, without generated keys and dInsert:
// a collection's whole effect is the rows gone and come between two snapshots.
//
//   const QStringList before = classTablesSnapshot();
//   ... collect ...
//   const auto [gone, come] = classTablesChanges(before);
//
// Beside it, what the collections' tests write and edit: a class folder (5A's) and its scrutiny
// summary, a packet's field set, a vote raised, a row repeated.

// One line per row, "<letter>|value|value...", NULL as "-", sorted; with sits (a select of
// situations), only the rows of those situations (class notes: all).
inline QStringList classTablesSnapshot(const QString &sits = {})
{
    static const char *const tables[] = {
        "V TVot_Voti iClsMatCmpId iSitId iScaLivId dStart dEnd",
        "P TVtp_Proposti iClsMatCmpId iSitId iPrpScaLivId dStart dEnd",
        "T TTas_Tassonomie iClsMatCmpId iSitId iScaLivId dStart dEnd",
        "A TAss_Assenze iClsSesMatId iSitId iAssOre dStart dEnd",
        "U TAiu_Aiuti iClsSesMatId iSitId sAiuVal dStart dEnd",
        "N TNot_Note iClsSesMatId iSitId dNotData iAnaId bNotNota dStart dEnd",
        "D TDeb_Debiti iSitId iMatId dDebAttr dDebVer iAnaId_Attr iAnaId_Ver iDesDedId "
        "iDtpDtdId bDebNota dStart dEnd",
        "G TGdz_Giudizi iSitId iAnsSesDwgId bGdzGiudizio dStart dEnd",
        "S TSit_Situazioni iSitId iPosFinId iFreqId",
        "C TCOMP_COMPETENZE IANAID ISITID ICOMPASSEID ICOMPLIVID ILINGUASTRANIERAID SCOMPNOTE",
        "E TSit_Situazioni iSitId dSitEsito",
        "K TCre_Crediti iSitId iCreCredito iCrePerMedia iBndId iCreOutBanda fCreMediaVoti "
        "iCreFrmSco iCreSosp iCreRecup iEncId bCreNota lCreUnanimCre lCreConsideraCurrDis "
        "iCreMediaVoti dStart dEnd",
        "F TCreFrm_K k.iSitId f.iFrmId f.dStart f.dEnd",
        "O TCreSco_K k.iSitId f.iScoId f.dStart f.dEnd",
        "R TRec_Recuperi iSitId iMatId iTreId iEreId iAnsFreDwgId dRecAttr dRecVer iPvrId",
        "Q TCno_ClassiNoteOre iClsSesMatId iAnaId iCnoOre bCnoNota"};
    QStringList rows;
    for (const char *table : tables) {
        const QStringList words = QString(table).split(' ');
        // An item names its credit's situation, not the credit's generated key.
        QString from = words[1];
        if (from.endsWith("_K"))
            from = from.chopped(2) + " f JOIN TCre_Crediti k ON k.iCreId = f.iCreId";
        QString sql = "SELECT " + words.mid(2).join(',') + " FROM " + from;
        const QStringList sit = words.mid(2).filter(
            QRegularExpression("iSitId$", QRegularExpression::CaseInsensitiveOption));
        if (!sits.isEmpty() && !sit.isEmpty())
            sql += " WHERE " + sit[0] + " IN (" + sits + ")";
        for (QSqlQuery q = runSql(sql); q.next();) {
            QString row = words[0];
            for (int i = 0; i < q.record().count(); ++i)
                row += '|' + (q.isNull(i) ? QStringLiteral("-") : q.value(i).toString());
            rows << row;
        }
    }
    rows.sort();
    return rows;
}

// The rows gone and the rows come since the snapshot.
inline std::pair<QStringList, QStringList> classTablesChanges(const QStringList &before,
                                                              const QString &sits = {})
{
    QStringList gone = before, come = classTablesSnapshot(sits);
    gone.removeIf([&come](const QString &row) { return come.removeOne(row); });
    return {gone, come};
}

// A class folder (by default 5A's: class 39005, class session 390052), as the send writes it in
// the final session, for one study plan or for every one (-1).
inline void exportClassFolder(const QString &folder, int plan = -1, int cls = 39005,
                              int clsSes = 390052)
{
    TdmqelXML xml;
    xml.iMode = 1;
    xml.SetSessionKind(2);
    xml.LoadClassFlags(cls);
    xml.sFolder = folder;
    xml.iClsSesId = clsSes;
    xml.iPstId = plan;
    xml.ExportClassData();
}

// A field of the packet's current row set, as a program edits it.
inline void setField(TClientDataSet &packet, const QString &field, const QVariant &value)
{
    packet.Edit();
    packet.FieldByName(field)->setValue(value);
    packet.Post();
}

// The current row's vote a level up: the coordinator's edit of a row.
inline void raiseVote(TClientDataSet &packet)
{
    setField(packet, "iValId", packet.FieldByName("iValId")->AsInteger() + 1);
}

// The coordinator's summary of the scrutiny, in the reverse order of the pupils: each
// credit's unanimity as the database holds it; only the credits of the condition, and the
// pupil noCredit's without a credit voted.
inline void writeSummary(const QString &into, const QString &where = {}, int noCredit = 0)
{
    // The pupil without a credit voted carries the other unanimity: it must say nothing.
    TClientDataSet summary;
    summary.AddFieldDef("iSitId", ftInteger);
    summary.AddFieldDef("Cr", ftFloat);
    summary.AddFieldDef("Cr_UM", ftString, 1);
    summary.CreateDataSet();
    for (QSqlQuery q = runSql("SELECT iSitId, lCreUnanimCre FROM TCre_Crediti " + where +
                              " ORDER BY iSitId DESC");
         q.next();) {
        summary.Append();
        summary.FieldByName("iSitId")->setValue(q.value(0));
        summary.FieldByName("Cr")->setValue(q.isNull(1) || q.value(0) == noCredit ? 0 : 1);
        summary.FieldByName("Cr_UM")->setValue(
            (q.value(1).toInt() == 1) != (q.value(0) == noCredit) ? "U" : "M");
        summary.Post();
    }
    QDir().mkpath(into + "outfin");
    summary.SaveToFile(into + "outfin/QEVAluRiep.xml", dfXML);
}

// The packet's current row once more, at its end: a row a careless program wrote twice.
inline void repeatCurrentRow(TClientDataSet &packet)
{
    QVariantList row;
    for (int i = 0; i < packet.FieldCount(); ++i)
        row << packet.Fields(i)->Value();
    packet.Append();
    for (int i = 0; i < row.size(); ++i)
        packet.Fields(i)->setValue(row[i]);
    packet.Post();
}
