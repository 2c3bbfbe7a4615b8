#include "report/category_threshold.h"

#include <algorithm>
#include <cmath>

namespace ordena {

double cumulativeThreshold(const std::vector<double>& scores, const std::vector<double>& logits, int first, int k) {
    const std::size_t n = std::min(scores.size(), logits.size());
    // P(category k or above) at theta, the exponents shifted by their
    // largest so that nothing overflows.
    auto upperProbability = [&](double theta) {
        double top = -HUGE_VAL;
        for (std::size_t j = static_cast<std::size_t>(std::max(first, 0)); j < n; ++j)
            top = std::max(top, theta * scores[j] + logits[j]);
        double all = 0.0, upper = 0.0;
        for (std::size_t j = static_cast<std::size_t>(std::max(first, 0)); j < n; ++j) {
            const double e = std::exp(theta * scores[j] + logits[j] - top);
            all += e;
            if (static_cast<int>(j) >= k) upper += e;
        }
        return all > 0.0 ? upper / all : 0.0;
    };
    // Halving goes on until the range is far narrower than any printed
    // digit (the reports print thresholds beside deltas to three places).
    constexpr double kProbabilityTolerance = 1e-12, kWidthTolerance = 1e-10;
    double lower = -8.0, upper = 8.0, outerHigh = 8.0, outerLow = -8.0, theta = 8.0;
    // The range only widens to +-32, so the halving ends; the count guards
    // against a probability that is not a number.
    for (int guard = 0; guard < 10000; ++guard) {
        const double p = upperProbability(theta);
        if (!(std::fabs(p - 0.5) > kProbabilityTolerance)) break;
        if (p > 0.5)
            upper = theta;
        else
            lower = theta;
        theta = (lower + upper) / 2.0;
        if (std::fabs(theta - outerHigh) < 0.005) {
            outerHigh += 8.0;
            upper += 8.0;
            if (outerHigh > 32.0) break;
        }
        if (std::fabs(theta - outerLow) < 0.005) {
            outerLow -= 8.0;
            lower -= 8.0;
            if (outerLow < -32.0) break;
        }
        if (upper - lower < kWidthTolerance) break;
    }
    return theta;
}

}  // namespace ordena
