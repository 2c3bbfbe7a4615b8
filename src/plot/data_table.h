// The data table of a plot: a finished PlotData as report lines.
#pragma once

#include <vector>

#include "base/mstring.h"
#include "plot/plot_data.h"

namespace ordena {

// Heading, estimator line, group line (when there is one) and item line
// from the labels; the limits and mean estimate of each bin; then the
// counts of each column with the bins' totals and a "Total" row, and the
// proportions (or cumulative proportions, or average scores) of each
// column with each bin's share of the responses and an "Average" row (the
// bins' values weighted by their counts). Cumulative proportions head
// their columns ">=" and the code; average scores (one collapsed column)
// show only the totals of the counts.
std::vector<MString> dataTableLines(const PlotData& data, PlotFinish how);

}  // namespace ordena
