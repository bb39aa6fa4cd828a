#pragma once

// The statements of the class folder, packet by packet in writing order. As in qelxmlsql.h, a
// "%n" is the place of an id list or a year the engine holds as an integer, and "/*PST*/" the
// place of the pupil filter (TdmqelXML::BuildPstFilter) with the alias named here; every other
// value is bound.

#include <QString>

namespace QelXmlSql {

// The class session's flag updates before the export: the votes and proposals open, and no
// credits outside a final or deferred session or without a band type. :iClsSesId
QString prepareClassSession();

QString classClsSes();    // :iClsSesId; filter ClsPst. One row per plan: the first is written
QString classMatRmaPst(); // :iClsId; filter TClsPst
QString classClsMat();    // :iClsId, :iAnsSesDwgId (0 every session); filter ClsPst
QString classClsAlu();    // :iClsId, :iAnsSesDwgId (the working one); filter TClsPst
QString classAluMat();    // %1 PUPILS, %2 A, %3 PUPILS, %4 A-1; filter on year A's half
// A value packet of one class session (select from qelxmlsql.h): :iClsSesId; filter ClsPst.
QString classValues(const QString &select);
QString classClsNot(); // :iClsSesId; filter ClsPst
QString classClsDeb(); // %1 PUPILS
QString classInfDeb(); // %1 PUPILS
QString classClsCre(); // :iClsId
QString classCreSco(); // :iClsId
QString classCreFrm(); // :iClsId
QString scoScol();
QString frmForm();
QString encEncomio();
QString classBands();  // :iClsSesId; filter TClsPst
QString classDocCls(); // :iClsId, :iAnsSesDwgId; filter ClsPst
QString classGdz();    // :iClsSesId; filter TClsPst
QString classFin();    // :iClsId; filter TClsPst
QString esiEsito();
QString gdtTemplate();
QString classCno(); // :iClsSesId
QString cmpSca();
QString fasiRec(); // :iAnsId
QString esitoRec();
QString tipoRec();
QString classRec(); // :iClsId
QString provaRec();
QString classCompetences(); // %1 SITS, %2 YEARS, %3 the class
QString compAssi();
QString compLiv();
QString firme(); // :iDwgId

} // namespace QelXmlSql
