// The E-step: one pass over the cases at the current estimates. Each case's
// posterior adds into the deviance, the expected counts of its items and the
// sums of the population update, which the pass then applies.
#pragma once

#include "estimation/estimation_work.h"

namespace ordena {

class Session;

// One E-step pass: deviance, expected counts and the population parameters.
int EStep(Session& session, EstimationWork& work);

}  // namespace ordena
