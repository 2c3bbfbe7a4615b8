// The binned observations of one generalised item (and group): cut points,
// per bin the sum of the case estimates that fell into it and the counts of
// each column (category), and, once finished, proportions, cumulative
// proportions or average scores and each bin's mean estimate.
#pragma once

#include <array>
#include <vector>

#include "base/matrix.h"
#include "base/mstring.h"

namespace ordena {

// The ways the proportions are finished.
enum class PlotFinish { Proportions, Cumulative, AverageScore };

class PlotData {
public:
    // The texts of a data table.
    enum Label { kHeading = 0, kEstimator = 1, kGroup = 2, kItem = 3, kXTitle = 4, kYTitle = 5 };

    // B bins and C columns, everything zero. Fewer than 2 bins or fewer
    // than 1 column: "resize plotdata error", -1 (nothing changed).
    int resize(int bins, int columns);
    // The B - 1 cut points, ascending. Another count: "Illegal set cuts
    // call", -1.
    int setCuts(const std::vector<double>& cuts);

    // The bin of an estimate: the first whose cut point is at or above it,
    // the last when none is.
    int binOf(double x) const;
    // One response in column c by a case with estimate x.
    void add(double x, int column);

    // Proportions of each bin with data, its mean estimate and its flag;
    // then cumulated from the top column down, or turned into the average
    // of the column scores (the counts collapse into one total column).
    void finish(PlotFinish how, const std::vector<double>& columnScores);

    int bins() const { return bins_; }
    int columns() const { return columns_; }
    const std::vector<double>& cuts() const { return cuts_; }

    std::vector<double> sums;   // per bin: the sum of its estimates
    Matrix frequencies;         // B x C
    Matrix proportions;         // B x C after finish
    std::vector<double> means;  // per bin after finish
    std::vector<bool> hasData;  // per bin after finish
    std::array<MString, 6> labels;
    std::vector<MString> columnLabels;

private:
    int bins_ = 0, columns_ = 0;
    std::vector<double> cuts_;
};

// Cut points. Width: mincut, then B - 2 equal steps up to maxcut. Size: the
// k/B quantiles (k = 1 .. B - 1) of the values: the value at position
// ceil(n k / B) - 1 of the sorted values, the smallest one with at least a
// k/B share of the values at or below it (all 0 without values).
std::vector<double> widthCuts(int bins, double mincut, double maxcut);
std::vector<double> sizeCuts(int bins, std::vector<double> values);

}  // namespace ordena
