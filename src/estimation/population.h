// The population model's update after an E-step: the regression
// coefficients beta = U (Y'Y)^-1 and the covariance matrix
// sigma = (S - beta U') / N, with their anchors, the report of the new
// estimates and the display range of the maps; and a case's mean under the
// regression.
#pragma once

#include <vector>

#include "base/matrix.h"
#include "estimation/estimation_work.h"

namespace ordena {

class Session;
struct EstimationState;

// Population update and report after a pass; n = processed cases.
int populationUpdate(Session& session, EstimationWork& work, const Matrix& U, const Matrix& S,
                     const std::vector<double>& T, double n);
// The mean of a case's latent distribution under the regression: beta
// times its regressors (the record's columns 1 to R - 1 after the
// constant); without a record the constant alone.
void regressionMean(const EstimationState& est, const double* rec, int D, int R, double* mean);

}  // namespace ordena
