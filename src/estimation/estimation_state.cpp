#include "estimation/estimation_state.h"

#include <cmath>
#include <cstdio>

namespace ordena {

double EstimationState::devianceConstant(double sampleSize) const {
    // No spacing is known before a grid was placed.
    if (method != EstimationMethod::Quadrature || !(std::fabs(stepH) > 0.0f)) return 0.0;
    const double weight = likelihoodWeight >= 0.0 ? likelihoodWeight : sampleSize;
    // ln(h) in single precision, as the E-step adds it.
    const double lnH = static_cast<double>(static_cast<float>(std::log(std::fabs(stepH))));
    return -2.0 * dimensions() * lnH * weight;
}

double EstimationState::regressionErrorVariance(int r, int d) const {
    const int K = parameters() + r;  // the coefficients follow the item parameters
    if (options.stdErr == StdErrMode::Quick && r >= 0 && d >= 0 && r < regressionErrors.rows() &&
        d < regressionErrors.columns())
        return regressionErrors[r][d];
    if (options.stdErr == StdErrMode::Full && dimensions() == 1 && r >= 0 && K < fullErrors.rows() &&
        K < fullErrors.columns())
        return fullErrors[K][K];
    return -1.0;
}

void EstimationState::removeWorkFiles() {
    if (caseScoreFile != "unassigned" && !caseScoreFile.isEmpty()) std::remove(caseScoreFile.c_str());
    caseScoreFile = "unassigned";
    invalidateCaseEstimates();
}

}  // namespace ordena
