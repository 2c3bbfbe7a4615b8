// The work tables of one estimation, shared by the passes over the cases
// and the steps between them: the model in compact form (categories, scores,
// the non-zero design values), a . xsi, the response probabilities at the
// nodes, the expected counts, the node weights and the case information.
#pragma once

#include <cstdint>
#include <vector>

#include "base/matrix.h"
#include "estimation/estimate_options.h"

namespace ordena {

// One non-zero design value: parameter p has coefficient a in a category.
struct DesignEntry {
    std::int32_t parameter;
    double value;
};

// A between-item model on a product grid (see factorised.h): item i scores
// on dimension itemDimension[i] only, and the coordinate of grid node q on
// dimension d is axis[d * n + index_d(q)], the first dimension's index
// running fastest.
struct FactorGrid {
    int n = 0;
    std::vector<std::int32_t> itemDimension;  // per item
    std::vector<double> axis;                 // D x n: the working grid
    std::vector<double> theta;                // D x n: the working grid plus the shift
    std::vector<std::int32_t> index;          // D x Q: index_d(q)
    std::vector<double> prior;                // Q: the prior weights, or their part common to all cases
    // Three dimensions: the prior table again with dimension 0 running
    // slowest ([i0][i2][i1]) and with dimension 1 slowest ([i1][i2][i0]).
    std::vector<double> priorByFirst, priorBySecond;
    bool casePrior = false;                   // Bock/Aitken with regressors: a factor per case
};

// Per-iteration work tables of one estimation. Probabilities are stored with
// the node innermost so per-node loops run over contiguous memory.
struct EstimationWork {
    int D = 1, R = 1, P = 0, I = 0, Q = 0, maxCat = 1;
    EstimationMethod method = EstimationMethod::Gauss;
    bool discrete = false;
    // Every computation node by node, none of the shortcuts a model's
    // structure allows (the session's compute settings).
    bool generalPath = false;

    // From the model build (design columns compacted after removal).
    std::vector<std::int32_t> ncat, first;  // per item
    std::vector<double> scores;             // (i * maxCat + k) * D + d
    std::vector<std::size_t> designStart;   // (i * maxCat + k) -> first entry, one extra at the end
    std::vector<DesignEntry> designEntries;
    // Per parameter: the items with a non-zero value in some category (the
    // dirty flags), and those values, maxCat per item.
    std::vector<std::vector<std::int32_t>> parameterItems;
    std::vector<std::vector<double>> parameterValues;
    std::vector<double> maxScore;  // per item and dimension: largest score of any category

    std::vector<double> axsi;         // (i * maxCat + k): a_ik . xsi
    std::vector<double> prob;         // ((i * maxCat + k) * probNodes + q)
    std::vector<double> expected;     // r: (I + 1) * probNodes, item-major
    // Nodes of the probability table and the expected counts: Q, or n on a
    // pass that works dimension by dimension (factorised).
    int probNodes = 0;
    bool factorised = false;
    FactorGrid factor;
    std::vector<double> nodeWeights;  // Q
    std::vector<double> ghWeights;    // Q, Gauss-Hermite product weights
    Matrix sigmaInverse;
    double normConst = 1.0;
    Matrix mcRegressionNodes;  // Q x D, Monte Carlo with regressors
    // Monte Carlo with regressors, items that score on one dimension: the
    // numerator exp(b theta_qd + a) of a category is exp(a) times the table
    // exp(b theta_qd) of its dimension and score, kept once for all items.
    // Per item and category: the table, -1 for a score of 0, -2 for an item
    // that scores on more than one dimension (its own rows are used).
    std::vector<std::int32_t> scoreTableOf;  // (i * maxCat + k)
    std::vector<double> scoreTables;         // tables x Q

    // Grid the probabilities were computed on, and the shift added to it.
    Matrix workGrid;
    std::vector<double> shift;

    // Weighted cross-products of the regression variables (times the weight
    // factor), R x R, from calcYYinv.
    Matrix yy;

    // Case information: weight then R regression values per case, in case order.
    std::vector<double> caseInfo;
    std::int32_t caseInfoWidth = 2;

    std::vector<std::int32_t> itemNo, rsp;                   // g_ItemNo, g_rsp
    std::vector<double> likelihood, posterior, caseWeights;  // Q each

    bool regressionConverged = false, covarianceConverged = false;
    bool allAnchored = false;
    std::vector<int> sign;  // per parameter

    const double* caseRecord(int caseNumber) const {
        if (caseNumber < 0) return nullptr;
        const std::size_t width = static_cast<std::size_t>(caseInfoWidth);
        const std::size_t start = static_cast<std::size_t>(caseNumber) * width;
        if (start + width > caseInfo.size()) return nullptr;
        return caseInfo.data() + start;
    }
    // Row (i * maxCat + k) of the tables kept per item and category.
    std::size_t row(int item, int k) const { return static_cast<std::size_t>(item) * maxCat + k; }
    double* probRow(int item, int k) { return prob.data() + row(item, k) * probNodes; }
    const double* probRow(int item, int k) const { return prob.data() + row(item, k) * probNodes; }
    const double* scoreRow(int item, int k) const { return scores.data() + row(item, k) * D; }
    double* expectedRow(int item) { return expected.data() + static_cast<std::size_t>(item) * probNodes; }
};

}  // namespace ordena
