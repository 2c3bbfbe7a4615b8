// One case's posterior over the nodes: the likelihood of its responses
// (rescaled so long tests do not underflow), times the prior weights,
// normalised, with the case's contribution to the log-likelihood; and the
// draw of a node from a posterior (plausible values).
#pragma once

#include <cstdint>
#include <vector>

#include "estimation/estimation_work.h"

namespace ordena {

// Case posterior over the nodes from the case's m responses (items and
// categories); prior weights in `weights` (unused for Monte Carlo), the
// case's mean (Monte Carlo with regressors) in caseMean. Buffers of Q values
// each: likelihood, posterior, and scratch (twice Q, used under Monte Carlo
// with regressors). Returns 1, or 0 when the likelihood is zero;
// logLikelihood receives the deviance increment.
int casePosterior(const EstimationWork& work, const std::int32_t* items, const std::int32_t* categories, int m,
                  const double* weights, const double* caseMean, float h, double* likelihood, double* posterior,
                  double* scratch, double& logLikelihood);
// The same for the case in work.itemNo and work.rsp, into work.likelihood
// and work.posterior.
int casePosterior(EstimationWork& work, int m, const std::vector<double>& weights, const std::vector<double>& caseMean,
                  float h, double& logLikelihood);
// From a likelihood that was scaled up by exp(logScale): the posterior and
// the log-likelihood as casePosterior gives them.
int posteriorFromLikelihood(const EstimationWork& work, const double* likelihood, const double* weights,
                            double logScale, float h, double* posterior, double& logLikelihood);
// The log of 2^256 to the power rescales: the scale of a likelihood that
// rescaleLikelihood scaled up so many times.
double rescaledLog(int rescales);
// likelihood[q] *= p[q] for q < n.
void multiplyRow(double* likelihood, const double* p, int n);
// Scales the likelihood up by 2^256 when all of it has fallen below 2^-256,
// so long tests do not underflow; true when it did.
bool rescaleLikelihood(double* likelihood, int n);

// The node a uniform draw u picks from a posterior: the first whose
// cumulative probability reaches u, the last when rounding leaves the sum
// below u.
int drawNode(const double* posterior, int Q, double u);
// The cumulative sums of a posterior, added up in node order as drawNode
// does; and the node drawNode picks, found in them by bisection.
void cumulativeSums(const double* posterior, int Q, double* cumulative);
int drawFromCumulative(const double* cumulative, int Q, double u);

}  // namespace ordena
