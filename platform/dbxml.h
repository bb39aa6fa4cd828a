#pragma once

// The suite's stored XML definitions (table TYXml_XmlDefinizioni), one text per key and
// application code: the filter definition of a list ("QEL_ALUFLT" of "ZUN"), ...
//
//   QStringList lines;
//   if (GetDBXML(qqoVxGlobConn(), "QEL_ALUFLT", "ZUN", lines))
//   form->SetXMLFilter(lines.join("\n"));
//
// Read in the caller's transaction when one runs on the connection; a failing read raises
// EVxException with the driver's text.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The definition's lines replace those of the list (line breaks CR LF, LF or CR); false, and
// the list emptied, when there is none.
bool GetDBXML(const QSqlDatabase &db, const QString &key, const QString &codAppl,
              QStringList &list);
