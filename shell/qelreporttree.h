#pragma once

class TdmqelActivations;
class TVxRptTreeView;

// Gives the report command "xarTavrin" its report tree, which stands in the page "Stampe"
// (owned by the table), and points the report hooks at the tree's report module: the
// "Docenti" reports' previews, the print date and the showing of the tree.
void installReportTree(TdmqelActivations *table);

// The report tree of the table's report command; none before installReportTree.
TVxRptTreeView *qelReportTree(const TdmqelActivations *table);
