#pragma once

// The statements of the report data module that read the school's registry rather than its
// evaluation: the institute's seats, pupils' and parents' personal data and addresses, the
// career details of a situation with its schools, the credit items on offer and the teachers'
// send bookkeeping. qelrptqueries.cpp lists them among the module's queries; the output names
// are the stored templates' contract, as there.

#include <QString>

namespace qelrpt {

// A place: its postcode, municipality and province, from the row's iComCapId (TCap, TSrpc,
// TCom, TPro; all left joins, so a row without a place keeps its other columns).
QString placeJoins(const QString &comCapId);

QString dataOwner();
QString genitoriDettagli();
// A person's addresses of the use :iAbt (1 domicile, 2 residence, 3 correspondence), and the
// hamlets of those addresses.
QString addresses();
QString hamlets();
// Citizenship and birthplace; a parent's birthplace must name its state.
QString birthAndCitizenship(bool stateRequired);
QString alunniDettagli();
QString genitoriTelEmail();
QString genitoriProfesTdStud();
QString situazDettagli();
// The school a situation came from (iScuId_Prov) or moved to (iScuId_Tras), and its place.
QString school(const char *key);
QString schoolPlace(const char *key);
// The visible credit items of one kind: "Sco" school, "Frm" training.
QString creditItems(const char *kind);
QString aai();

} // namespace qelrpt
