// The M-step: Newton steps of the item parameters at fixed points theta,
// weighted by the expected counts of the last E-step, sweep after sweep
// until no step reaches the convergence criterion. Joint maximum likelihood
// runs the same sweeps at the cases' estimates.
#pragma once

#include <vector>

#include "estimation/estimation_work.h"

namespace ordena {

class Session;

int MStep(Session& session, EstimationWork& work, double& largestStep);
// How a run of Newton sweeps over the item parameters reports and ends: the
// status text before each parameter's number (counted from firstNumber);
// populationFlags: a step at or above the criterion also repeats the sweep
// once the population parameters have converged (the marginal rule).
struct ItemSweepRules {
    const char* status;
    int firstNumber;
    bool populationFlags;
};
// The Newton steps of the item parameters not anchored, at fixed points
// theta (D x Q, dimension-major) with the weights of each item's responses
// there in work.expected (item-major, Q per item); sweeps repeat until no
// step reaches the convergence criterion. The item information vector
// receives |1/H|. 1, or -1 when the user stopped.
int itemNewtonSweeps(Session& session, EstimationWork& work, const std::vector<double>& theta,
                     const ItemSweepRules& rules, double& largestStep);

}  // namespace ordena
