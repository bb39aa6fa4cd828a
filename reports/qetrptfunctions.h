#pragma once

// The certificates' legal wordings: DicituraL183_2011_Art15() answers, for the report being
// prepared, the wordings the office chose for reports of that title. The first evaluation for
// a title asks (TfmQetLegge183); an answer given with "Non chiedere più per questo tipo di
// stampa" is kept in TElencoReportL183 until the program ends, never saved.
// installReportParts() registers the library beside TfrQelFunctionLibrary.

#include "platform/clientdataset.h"
#include "reportengine/reportlibrary.h"

// The remembered answers: Titolo, Stampa (whether wordings print), TipoStampa (the codes).
class TElencoReportL183 : public TClientDataSet
{
public:
    TElencoReportL183();
};

// The one list of the program's run.
TElencoReportL183 &ElencoReportL183();

// The text to print for a report's title: the chosen wordings, joined by CR LF, or empty.
QString GetDicituraL183(TElencoReportL183 &answers, const QString &title);

class TfrQetFunctionLibrary : public TfrFunctionLibrary
{
public:
    TfrQetFunctionLibrary();
    void DoFunction(int FNo, const QString &p1, const QString &p2, const QString &p3,
                    QVariant &val) override;
};
