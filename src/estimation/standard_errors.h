// The error variances of the estimates: the quick ones from the last item
// Newton steps and the population estimates, and the full error covariance
// of the item and population parameters (one dimension) from the observed
// information by Louis' method.
#pragma once

#include "estimation/estimation_work.h"

namespace ordena {

class Session;

// Quick error variances from the last M-step and the population estimates.
void quickStandardErrors(Session& session, const EstimationWork& work);
// Observed information of item and population parameters (one dimension)
// by Louis' method, inverted into the full error covariance. 1 or -1.
int fullStandardErrors(Session& session, EstimationWork& work);

}  // namespace ordena
