// The E-step of a between-item model on a product grid, dimension by
// dimension. When every item scores on one dimension only and the nodes
// form a product grid, a case's likelihood is a product of one likelihood
// per dimension over that dimension's n nodes; the prior weights are a table
// common to all cases times, under a latent regression, one factor per
// dimension; and an item's expected counts need only the marginal posterior
// of its dimension. A case then costs its responses times n plus a few
// passes over the grid, instead of its responses times the whole grid.
//
// The probability table and the expected counts of such a pass have n nodes
// per item (EstimationWork::probNodes); node a of item i stands for the
// nodes of the grid whose index on the item's dimension is a.
#pragma once

#include <cstdint>
#include <vector>
#include "estimation/estimation_work.h"


namespace ordena {

class Session;
struct EstimationState;

// Decides whether this pass can work dimension by dimension and, when it
// can, fills work.factor (dimensions of the items, axes, the common prior
// table) and sets work.factorised. Called by the E-step after the node
// weights and the working grid of the pass are in place.
void prepareFactorisedPass(const Session& session, EstimationWork& work);

// The axes of the working grid and shift into work.factor; false when the
// grid is not the product of its axes.
bool factorAxes(EstimationWork& work);

// The probabilities of every item at the n nodes of its dimension.
void updateFactorProbabilities(Session& session, EstimationWork& work);

// The work of one case, reused from case to case.
struct FactorScratch {
    std::vector<double> likelihood;  // D x n: per dimension, scaled to a largest value of 1
    std::vector<double> factor;      // D x n: the case's prior factor per dimension
    std::vector<double> joint;       // D x n: likelihood times factor
    std::vector<double> pairs;       // per pair of dimensions j < k: n x n, [index_k][index_j]
    std::vector<double> marginal;    // D x n
    std::vector<double> row;         // n
    std::vector<double> full;        // Q: the whole posterior, when asked for (or computed node by node)
    std::vector<double> gathered, weights;  // Q: the node-by-node computation
    std::vector<double> expectedScore;      // D x n: for the score form of Gauss-Hermite
    std::vector<double> contracted;         // three dimensions: the prior summed over each dimension, 4 x n x n
};

// Posterior of one case (m responses) over the grid. caseMean: the case's
// mean under a latent regression with Bock/Aitken nodes, else null. Fills
// the pair tables and the marginals of the scratch (normalised), and the
// whole posterior when full is set. Returns 1, or 0 when the likelihood is
// zero at every node (or the prior weights fail), as the node-by-node
// computation would; logLikelihood as for the node-by-node posterior. A case
// whose numbers fall outside what the factors can carry is computed node by
// node, with the same result.
int factorisedPosterior(const EstimationWork& work, const std::int32_t* items, const std::int32_t* categories, int m,
                        const double* caseMean, float h, bool full, FactorScratch& s, double& logLikelihood);

// Posterior means E (D) and moments M (D x D, row-major) of theta, the
// working grid plus the shift.
void factorisedMoments(const EstimationWork& work, const FactorScratch& s, double* E, double* M);

// The posterior expectations of the case's expected scores, for the score
// form of the Gauss-Hermite population update: G[d] = E[e_d], K[j * D + d] =
// E[(grid_j) e_d], where e_d is the expected score on dimension d at the
// nodes and grid the working grid without the shift.
void factorisedExpectedScores(const EstimationWork& work, const std::int32_t* items, int m, FactorScratch& s,
                              double* G, double* K);

}  // namespace ordena
