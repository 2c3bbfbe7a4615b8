// The population model's update after an E-step: the regression
// coefficients beta = U (Y'Y)^-1 and the covariance matrix
// sigma = (S - beta U') / N, or their maximum under the anchors, the report
// of the new estimates and the display range of the maps; and a case's mean
// under the regression.
#pragma once

#include <vector>

#include "base/matrix.h"
#include "estimation/estimation_work.h"

namespace ordena {

class Session;
struct EstimationState;

// The population parameters that maximise the expected complete-data
// log-likelihood of a pass,
//   -n/2 ln|sigma| - 1/2 tr(sigma^-1 C),  C = S - beta U' - U beta' + beta YY beta',
// with every anchored entry of beta and sigma held at its anchor (anchors as
// in EstimationState: a value, or kNotAnchored). Without anchors this is
// beta = U YY^-1, sigma = (S - beta U') / n. sigma comes in as the covariance
// to start from (the current one) and goes out as the estimate. Returns 1,
// or -1 when no positive definite covariance with the anchored entries was
// found (beta and sigma then hold the free estimates with the anchors
// written over them).
int maximisePopulation(const Matrix& U, const Matrix& S, const Matrix& YY, const Matrix& yyInverse, double n,
                       const Matrix& regressionAnchors, const Matrix& covarianceAnchors, Matrix& beta, Matrix& sigma);

// Population update and report after a pass; n = processed cases.
int populationUpdate(Session& session, EstimationWork& work, const Matrix& U, const Matrix& S,
                     const std::vector<double>& T, double n);
// The mean of a case's latent distribution under the regression: beta
// times its regressors (the record's columns 1 to R - 1 after the
// constant); without a record the constant alone.
void regressionMean(const EstimationState& est, const double* rec, int D, int R, double* mean);

}  // namespace ordena
