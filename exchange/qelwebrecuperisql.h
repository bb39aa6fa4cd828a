#pragma once

// The statements of the web send of make-up data (twrecuperi.zip). The web application reads
// the packets by their column names; the test kind travels as iPrvId, the name it knows.

#include <QString>

namespace QelWebRecuperiSql {

// The make-up phases of the school year (:iAnsId) common to every institute, in the order of
// their keys: iFreId, sFreSDesc, sFreLDesc. The phase box and frerec.xml.
QString phases();

// The make-up rows of a phase (:iFreId) of the school year (:iAnsId) of the pupils of a
// teacher's classes and subjects (:iAnaId): first situations on the register whose pupil has
// a class in the year.
QString recuperi();

// The lookups, each by key.
QString tipRec();
QString prvRec();
QString esiRec();

// Every stored verification date equal to the old library's day zero (:dZero) made NULL, in
// every school year.
QString clearZeroVerificationDates();

} // namespace QelWebRecuperiSql
