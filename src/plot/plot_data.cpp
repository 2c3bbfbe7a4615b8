#include "plot/plot_data.h"

#include <algorithm>
#include <cmath>

#include "base/shell.h"

namespace ordena {

namespace {

// A position as a vector index.
inline std::size_t ix(int i) { return static_cast<std::size_t>(i); }

}  // namespace

int PlotData::resize(int bins, int columns) {
    if (bins < 2 || columns < 1) {
        reportError("resize plotdata error");
        return -1;
    }
    bins_ = bins;
    columns_ = columns;
    const auto B = ix(bins);
    cuts_.assign(B - 1, 0.0);
    sums.assign(B, 0.0);
    means.assign(B, 0.0);
    hasData.assign(B, false);
    frequencies = Matrix(bins, columns);
    proportions = Matrix(bins, columns);
    columnLabels.assign(ix(columns), MString());
    return 1;
}

int PlotData::setCuts(const std::vector<double>& cuts) {
    if (bins_ < 2 || cuts.size() != ix(bins_ - 1)) {
        reportError("Illegal set cuts call");
        return -1;
    }
    cuts_ = cuts;
    return 1;
}

int PlotData::binOf(double x) const {
    // The cuts ascend: the first at or above x by bisection.
    // A value equal to a cut up to rounding (within a relative 1e-9) is that
    // cut's: cases with the same estimate, computed along paths that differ
    // in the last bits, fall into one bin.
    const auto at = std::lower_bound(cuts_.begin(), cuts_.end(), x);
    auto b = at - cuts_.begin();
    while (b > 0) {
        const double cut = cuts_[static_cast<std::size_t>(b - 1)];
        if (std::fabs(x - cut) > 1e-9 * std::max(std::fabs(x), std::fabs(cut))) break;
        --b;
    }
    return static_cast<int>(b);
}

void PlotData::add(double x, int column) {
    if (bins_ < 2 || column < 0 || column >= columns_ || !std::isfinite(x)) return;
    const int b = binOf(x);
    sums[ix(b)] += x;
    frequencies[b][column] += 1.0;
}

void PlotData::finish(PlotFinish how, const std::vector<double>& columnScores) {
    for (int b = 0; b < bins_; ++b) {
        double total = 0.0;
        for (int c = 0; c < columns_; ++c) total += frequencies[b][c];
        const bool data = total > 0.0;
        hasData[ix(b)] = data;
        means[ix(b)] = data ? sums[ix(b)] / total : 0.0;
        for (int c = 0; c < columns_; ++c) proportions[b][c] = data ? frequencies[b][c] / total : 0.0;
        if (how == PlotFinish::Cumulative)
            for (int c = columns_ - 2; c >= 0; --c) proportions[b][c] += proportions[b][c + 1];
    }
    if (how != PlotFinish::AverageScore || bins_ < 2) return;
    Matrix totals(bins_, 1), averages(bins_, 1);
    for (int b = 0; b < bins_; ++b) {
        double average = 0.0;
        for (int c = 0; c < columns_; ++c) {
            totals[b][0] += frequencies[b][c];
            const double score = ix(c) < columnScores.size() ? columnScores[ix(c)] : 0.0;
            average += proportions[b][c] * score;
        }
        averages[b][0] = average;
    }
    frequencies = std::move(totals);
    proportions = std::move(averages);
    columns_ = 1;
    columnLabels.assign(1, MString("Score"));
}

std::vector<double> widthCuts(int bins, double mincut, double maxcut) {
    std::vector<double> cuts;
    if (bins < 2) return cuts;
    cuts.push_back(mincut);
    for (int k = 1; k <= bins - 2; ++k)
        cuts.push_back(k == bins - 2 ? maxcut : mincut + k * (maxcut - mincut) / (bins - 2));
    return cuts;
}

std::vector<double> sizeCuts(int bins, std::vector<double> values) {
    std::vector<double> cuts(static_cast<std::size_t>(std::max(0, bins - 1)), 0.0);
    if (values.empty() || bins < 2) return cuts;
    std::sort(values.begin(), values.end());
    const auto n = static_cast<long long>(values.size());
    for (int k = 1; k < bins; ++k) {
        long long at = (n * k + bins - 1) / bins - 1;
        at = std::clamp(at, 0LL, n - 1);
        cuts[ix(k - 1)] = values[static_cast<std::size_t>(at)];
    }
    return cuts;
}

}  // namespace ordena
