#include "plot/model_curves.h"

#include <algorithm>
#include <cmath>

namespace ordena {

namespace {

// A position as a vector index.
inline std::size_t ix(int i) { return static_cast<std::size_t>(i); }

}  // namespace

std::vector<double> categoryProbabilities(const ItemCurveModel& item, double theta) {
    const int n = item.categories();
    std::vector<double> p(ix(n), 0.0);
    if (item.first >= n) return p;
    // Shifted by the largest exponent so that none overflows.
    double top = -HUGE_VAL;
    for (int k = item.first; k < n; ++k) top = std::max(top, item.scores[ix(k)] * theta + item.logits[ix(k)]);
    double sum = 0.0;
    for (int k = item.first; k < n; ++k) {
        const auto at = ix(k);
        p[at] = std::exp(item.scores[at] * theta + item.logits[at] - top);
        sum += p[at];
    }
    for (int k = item.first; k < n; ++k) p[ix(k)] /= sum;
    return p;
}

std::vector<double> cumulativeProbabilities(const ItemCurveModel& item, double theta) {
    std::vector<double> p = categoryProbabilities(item, theta);
    for (int k = item.categories() - 2; k >= item.first; --k) p[ix(k)] += p[ix(k) + 1];
    return p;
}

double expectedScore(const ItemCurveModel& item, double theta) {
    const std::vector<double> p = categoryProbabilities(item, theta);
    double e = 0.0;
    for (std::size_t k = 0; k < p.size(); ++k) e += p[k] * item.scores[k];
    return e;
}

double itemInformation(const ItemCurveModel& item, double theta) {
    const std::vector<double> p = categoryProbabilities(item, theta);
    double m1 = 0.0, m2 = 0.0;
    for (std::size_t k = 0; k < p.size(); ++k) {
        m1 += p[k] * item.scores[k];
        m2 += p[k] * item.scores[k] * item.scores[k];
    }
    return std::max(0.0, m2 - m1 * m1);
}

std::vector<double> curveAbilities(double lo, double hi) {
    std::vector<double> out;
    for (long long j = 0;; ++j) {
        const double theta = lo + 0.1 * static_cast<double>(j);
        if (!(theta < hi + 0.1)) break;
        out.push_back(theta);
    }
    return out;
}

}  // namespace ordena
