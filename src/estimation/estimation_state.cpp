#include "estimation/estimation_state.h"

#include <cstdio>

namespace ordena {

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
