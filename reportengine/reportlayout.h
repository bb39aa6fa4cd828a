#pragma once

// The banded layout behind TfrReport::PrepareReport: one pass over the template's datasets
// that evaluates every expression of a printed band instance exactly once, measures it and
// places it on the current page or on a new one. The rules are written down in
// reportengine/reporttemplate.md ("Layout").

#include "reportengine/reportpages.h"

#include <QString>
#include <QVariant>

class TfrReport;
class TfrLayout;

// Lays out the report's template; the caller holds the run. Raises what evaluation raises.
TfrDisplayList frLayOut(TfrReport &report);

// The page variables while a layout runs (PAGE#, TOTALPAGES, LINE#); false for other names.
bool frLayoutValue(const TfrLayout &layout, const QString &name, QVariant &value);
