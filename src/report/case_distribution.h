// The case estimates that maps and case output show, computed when a
// report needs them and they do not exist yet.
#pragma once

#include "estimation/estimation_state.h"

namespace ordena {

class Session;

// The distribution summary of case-estimate type `type` (latent, eap, mle,
// wle), computing the estimates first when they are missing; null for
// none. 1, or -1 after the computation reported a failure.
int caseDistribution(Session& session, int type, const DistributionSummary*& summary);

// Runs fn with the estimation method set to Monte Carlo, then restores the
// method, the node count and the deviances: drawing from the posterior must
// not change what the summary table reports.
template <class Fn>
int withMonteCarlo(EstimationState& est, Fn fn) {
    EstimationMethod method = est.method;
    std::int32_t nodes = est.nodeCount;
    double deviance = est.deviance, previous = est.previousDeviance;
    est.method = EstimationMethod::MonteCarlo;
    int result = fn();
    est.method = method;
    est.nodeCount = nodes;
    est.deviance = deviance;
    est.previousDeviance = previous;
    return result;
}

}  // namespace ordena
