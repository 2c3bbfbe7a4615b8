// The marginal maximum likelihood engine: nodes and their weights, response
// probabilities, the E-step pass over the cases, the M-step, the set-up and
// the work tables they share. The driver and the case estimates use these;
// fit reuses the node and probability machinery.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/matrix.h"
#include "base/mstring.h"
#include "estimation/estimation_state.h"

namespace ordena {

class Session;
class Shell;
struct AnchorEntry;
struct CaseResponses;
struct ModelBuild;
struct ParameterSpec;

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

// ---- nodes, weights and probabilities ----

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
// a . xsi for every item and category.
void computeAXsi(EstimationWork& work, const Vector& xsi);
// Node coordinates plus shift, dimension-major (d * Q + q).
std::vector<double> thetaColumns(const EstimationWork& work, const Matrix& grid, const std::vector<double>& shift);
// Probabilities of item i at the probNodes nodes theta (dimension-major,
// D x probNodes); without normalise the unnormalised numerators.
void itemProbabilities(EstimationWork& work, int i, const std::vector<double>& theta, bool normalise);
void updateProbabilities(Session& session, EstimationWork& work, const Matrix& grid, const std::vector<double>& shift);
// Category probabilities of item i at one point theta (D values) into
// p[first..ncat); the categories below the lowest observed are left alone.
void categoryProbabilities(const EstimationWork& work, int i, const double* theta, double* p);
// Unnormalised exp(b.theta + a.xsi) at the Monte Carlo regression nodes.
void monteCarloNumerators(EstimationWork& work, const Matrix& grid);
// The grid and shift the probabilities use for this state (Gauss-Hermite:
// transformed grid and the means).
void workingGrid(Session& session, EstimationWork& work, const EstimationState& est);

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

// One E-step pass: deviance, expected counts and the population parameters.
int EStep(Session& session, EstimationWork& work);

// ---- set-up and M-step ----

// Copies the model build into the work tables (items, categories, design).
void loadModel(EstimationWork& work, const ModelBuild& build, int P);
// The estimation state before any estimate: results of the last estimation
// cleared, beta (D x R) and xsi (P) zero, sigma the identity, nothing
// anchored.
void startEstimationState(EstimationState& est, int D, int R, int P);
// Estimation set-up: state, anchors, nodes, work tables. 1 or -1.
int estimationSetup(Session& session, EstimationWork& work);
// An item parameter anchor (kind 0) or initial value (kind 1) into xsi, its
// previous and best values; other kinds are left alone. 1, or -1 after the
// report of an index out of range.
int applyItemAnchor(Session& session, const AnchorEntry& anchor, int P);
// Reads the case information file into memory. 1 or -1; routine names the
// caller in the message of a file that cannot be opened.
int loadCaseInformation(Session& session, EstimationWork& work, const char* routine = "calcYYinv");
int calcYYinv(Session& session, EstimationWork& work);
// The sufficient statistics pass with the identification check. With
// responses (joint maximum likelihood) it also lists the items of every
// case's responses and words its warnings for that method. 1 or -1.
int sufficientStatistics(Session& session, EstimationWork& work, CaseResponses* responses = nullptr);
// The raw and maximum scores of every case into the case score file (the
// sufficient statistics pass writes them too).
int writeCaseScores(Session& session, EstimationWork& work);
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
// Population update and report after a pass; n = processed cases.
int populationUpdate(Session& session, EstimationWork& work, const Matrix& U, const Matrix& S,
                     const std::vector<double>& T, double n);

// Case scores: raw and maximum score per dimension. False when the check
// finds a dimension without data (after the report).
bool caseScores(Session& session, const EstimationWork& work, int m, bool adjust, bool check, int caseNumber,
                std::vector<double>& raw, std::vector<double>& maximum, MString* text);
// The same for the given responses, reporting through reports (on a worker
// thread of a pass, its deferred reports).
bool caseScores(const Session& session, Shell& reports, const EstimationWork& work, const std::int32_t* items,
                const std::int32_t* categories, int m, bool adjust, bool check, int caseNumber,
                std::vector<double>& raw, std::vector<double>& maximum, MString* text);
// The zero/perfect value z in place of zero and perfect raw scores.
void adjustExtremeScores(double z, std::vector<double>& raw, const std::vector<double>& maximum);
// False, after the "No valid data for case" report, when a dimension has
// no maximum score.
bool checkCaseScores(Session& session, int caseNumber, const std::vector<double>& maximum);
bool checkCaseScores(const Session& session, Shell& reports, int caseNumber, const std::vector<double>& maximum);

// Description of parameter levels: "name label, " per explicit variable,
// "name level," per implicit one; describeParameter for estimated
// parameter p of the build.
MString describeLevels(Session& session, const ParameterSpec& spec);
MString describeParameter(Session& session, int p);

// Work tables for a pass over the cases at the current estimates (case
// estimates, fit, standard errors): model, case information, a . xsi.
int prepareCaseWork(Session& session, EstimationWork& work, EstimationMethod method);

// The Monte Carlo node set of the passes after the iterations (case
// estimates, fit): `draws` standardised draws scaled by sigma, shifted by
// the means without regressors, with the response probabilities (or the
// numerators under regression) and room for the posterior. 1 or -1.
int monteCarloPosteriorNodes(Session& session, EstimationWork& work, int draws, Matrix& nodes);
// The node a uniform draw u picks from a posterior: the first whose
// cumulative probability reaches u, the last when rounding leaves the sum
// below u.
int drawNode(const double* posterior, int Q, double u);
// The cumulative sums of a posterior, added up in node order as drawNode
// does; and the node drawNode picks, found in them by bisection.
void cumulativeSums(const double* posterior, int Q, double* cumulative);
int drawFromCumulative(const double* cumulative, int Q, double u);

// Quick error variances from the last M-step and the population estimates.
void quickStandardErrors(Session& session, const EstimationWork& work);
// Observed information of item and population parameters (one dimension)
// by Louis' method, inverted into the full error covariance. 1 or -1.
int fullStandardErrors(Session& session, EstimationWork& work);

// Hands every case of the model file, in order, to visit(caseNumber,
// responses) with its items and categories in work.itemNo and work.rsp.
// visit returns 1 to go on or -1 to end the pass. 1 when every case was
// visited; -1 after the reader's report or visit's -1.
int forEachCase(Session& session, EstimationWork& work, const std::function<int(int, int)>& visit);
// Reads count doubles from a work file: 1, 0 when it cannot be opened, -1
// when it holds fewer.
int readDoubles(const MString& name, std::vector<double>& values, std::size_t count);
// "<title><p>%" for k of N cases done, as the status line shows it.
MString progressText(const char* title, long long k, long long N);

// Printing helpers shared by the engine's reports.
MString fmtNumber(const char* format, double value);
MString dimensionLabel(Session& session, int d);

}  // namespace ordena
