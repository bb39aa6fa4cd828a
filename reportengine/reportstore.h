#pragma once

// The template store: the suite's table TYRpt_RptTemplate, one stored report per id, its body
// the template's XML as UTF-8 in bYRptReport.
//
//   TfrReportStore store;                                  // on qqoVxGlobConn() unless given
//   for (const TfrStoredReport &r : store.List("QEL")) ... // the report tree's list
//   TfrTemplate t = store.Load(16005);                     // read and checked
//   QByteArray b = store.Bytes(16089);                     // unchanged, for a teacher's folder
//   store.Save({16005, "Brogliaccio invio", std::nullopt, "QEL"}, bytes);
//
// Bytes are stored and given back exactly as they are: a body that is not a template of ours
// (another program's) still travels unchanged, and only Load refuses it. Reads run in the
// caller's transaction when one is running, else in one of their own; Save commits its own.
// Failures raise EVxException with the database's text.

#include "platform/connection.h"
#include "reportengine/reporttemplate.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

struct TfrStoredReport
{
    int Id = 0;
    QString Description;
    std::optional<int> Version; // the custom registers are listed only with one
    QString CodAppl;
};

class TfrReportStore
{
public:
    explicit TfrReportStore(const QSqlDatabase &db = qqoVxGlobConn()) : m_db(db) {}

    // The reports of an application code, by description, then id.
    QList<TfrStoredReport> List(const QString &codAppl) const;
    // The stored body, unchanged; raises when the id has no row or the row no body.
    QByteArray Bytes(int id) const;
    // The body read as a template; a body that is not one is refused, naming the report.
    TfrTemplate Load(int id) const;
    // Inserts the report, or replaces the one with its id, description, version and body.
    void Save(const TfrStoredReport &report, const QByteArray &bytes) const;

private:
    QSqlDatabase m_db;
};
