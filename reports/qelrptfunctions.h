#pragma once

// The report functions of the school's templates: "Voto(...)", "GetRec(...)", ... (48 names,
// numbered by their place in List), answered from the report data module (qelrptdatasets.h)
// and the print settings. installReportParts() registers the library with the engine once;
// it is unregistered when the program ends.
//
//   frRegisterFunctionLibrary<TfrQelFunctionLibrary>();
//   report.Calc("Voto(392, 1, 'BREVE')");   // the current pupil's written vote, short text
//
// Every call answers the text "0" unless its function assigns otherwise. A function reads its
// arguments through the running report (frParser.Calc), so an argument may be a literal, a
// variable or a dataset field. An id that is not a number (or an invalid rounding) makes the
// empty text in the functions up to GetCoordinatore and in Voto_Altro; an absence percentage
// that cannot be computed is null; any other failure ends the report.

#include "reportengine/reportlibrary.h"

class TfrQelFunctionLibrary : public TfrFunctionLibrary
{
public:
    TfrQelFunctionLibrary();
    void DoFunction(int FNo, const QString &p1, const QString &p2, const QString &p3,
                    QVariant &val) override;
};
