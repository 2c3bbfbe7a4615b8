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
struct AnchorEntry;
struct CaseResponses;
struct ModelBuild;
struct ParameterSpec;

// One non-zero design value: parameter p has coefficient a in a category.
struct DesignEntry {
    std::int32_t parameter;
    double value;
};

// Per-iteration work tables of one estimation. Probabilities are stored with
// the node innermost so per-node loops run over contiguous memory.
struct EstimationWork {
    int D = 1, R = 1, P = 0, I = 0, Q = 0, maxCat = 1;
    EstimationMethod method = EstimationMethod::Gauss;
    bool discrete = false;

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
    std::vector<double> prob;         // ((i * maxCat + k) * Q + q)
    std::vector<double> expected;     // r: (I + 1) * Q, item-major
    std::vector<double> nodeWeights;  // Q
    std::vector<double> ghWeights;    // Q, Gauss-Hermite product weights
    Matrix sigmaInverse;
    double normConst = 1.0;
    Matrix mcRegressionNodes;  // Q x D, Monte Carlo with regressors

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
        std::size_t at = static_cast<std::size_t>(caseNumber) * static_cast<std::size_t>(caseInfoWidth);
        if (at + static_cast<std::size_t>(caseInfoWidth) > caseInfo.size()) return nullptr;
        return caseInfo.data() + at;
    }
    double* probRow(int item, int k) { return prob.data() + (static_cast<std::size_t>(item) * maxCat + k) * Q; }
    const double* probRow(int item, int k) const {
        return prob.data() + (static_cast<std::size_t>(item) * maxCat + k) * Q;
    }
};

// ---- nodes, weights and probabilities ----

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
// Probabilities of item i at the nodes theta (thetaColumns); without
// normalise the unnormalised numerators.
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

// Case posterior over the nodes from the case's m responses; prior weights
// in `weights` (unused for Monte Carlo). Returns 1, or 0 when the likelihood
// is zero; logLikelihood receives the deviance increment.
int casePosterior(EstimationWork& work, int m, const std::vector<double>& weights, const std::vector<double>& caseMean,
                  float h, double& logLikelihood);

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
// The zero/perfect value z in place of zero and perfect raw scores.
void adjustExtremeScores(double z, std::vector<double>& raw, const std::vector<double>& maximum);
// False, after the "No valid data for case" report, when a dimension has
// no maximum score.
bool checkCaseScores(Session& session, int caseNumber, const std::vector<double>& maximum);

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
