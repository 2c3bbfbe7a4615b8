// The nodes of the latent space and their prior weights: the quadrature,
// Gauss-Hermite and Monte Carlo grids, their transformation by the
// covariance matrix, the normal prior weights (common and per case), and the
// working grid and shift the probabilities are computed at.
#pragma once

#include <vector>

#include "base/matrix.h"
#include "estimation/estimation_work.h"

namespace ordena {

class Session;
struct EstimationState;

// The most nodes per dimension of a Gauss-Hermite rule: beyond, its weights
// no longer add up to one.
inline constexpr int kMaxGaussHermiteNodes = 198;

// Node grid for the method (Q x D); sets Q, the Gauss-Hermite weights and h.
int buildNodes(Session& session, EstimationWork& work, int nodesPerDimension, float minNode, float maxNode,
               Matrix& grid, float& h);
// Z . diag(sqrt(lambda)) . V'; a negative eigenvalue ends the program.
Matrix transformNodes(Session& session, const Matrix& base, const Matrix& sigma);
int calcGwt(Session& session, EstimationWork& work, const Matrix& grid, const std::vector<double>& mean,
            const Matrix& sigma, const Vector& gwt);
// Per-case prior under regression; 1, or -1 when the weights are NaN or all 0.
int caseNodeWeights(const EstimationWork& work, const Matrix& grid, const std::vector<double>& mean,
                    std::vector<double>& weights);
// Node coordinates plus shift, dimension-major (d * Q + q).
std::vector<double> thetaColumns(const EstimationWork& work, const Matrix& grid, const std::vector<double>& shift);
// The grid and shift the probabilities use for this state (Gauss-Hermite:
// transformed grid and the means).
void workingGrid(Session& session, EstimationWork& work, const EstimationState& est);

// The Monte Carlo node set of the passes after the iterations (case
// estimates, fit): `draws` standardised draws scaled by sigma, shifted by
// the means without regressors, with the response probabilities (or the
// numerators under regression) and room for the posterior. 1 or -1.
int monteCarloPosteriorNodes(Session& session, EstimationWork& work, int draws, Matrix& nodes);

}  // namespace ordena
