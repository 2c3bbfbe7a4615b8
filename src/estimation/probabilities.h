// The response probabilities of the items: a . xsi per item and category,
// and the category probabilities at the nodes (normalised, or the
// unnormalised numerators of Monte Carlo with regressors) or at one point.
#pragma once

#include <vector>

#include "base/matrix.h"
#include "estimation/estimation_work.h"

namespace ordena {

class Session;

// a . xsi for every item and category.
void computeAXsi(EstimationWork& work, const Vector& xsi);
// Probabilities of item i at the probNodes nodes theta (dimension-major,
// D x probNodes); without normalise the unnormalised numerators.
void itemProbabilities(EstimationWork& work, int i, const std::vector<double>& theta, bool normalise);
void updateProbabilities(Session& session, EstimationWork& work, const Matrix& grid, const std::vector<double>& shift);
// Category probabilities of item i at one point theta (D values) into
// p[first..ncat); the categories below the lowest observed are left alone.
void categoryProbabilities(const EstimationWork& work, int i, const double* theta, double* p);
// Unnormalised exp(b.theta + a.xsi) at the Monte Carlo regression nodes.
void monteCarloNumerators(EstimationWork& work, const Matrix& grid);

}  // namespace ordena
