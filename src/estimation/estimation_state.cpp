#include "estimation/estimation_state.h"

#include <cstdio>

namespace ordena {

void EstimationState::removeWorkFiles() {
    if (caseScoreFile != "unassigned" && !caseScoreFile.isEmpty()) std::remove(caseScoreFile.c_str());
    caseScoreFile = "unassigned";
    invalidateCaseEstimates();
}

}  // namespace ordena
