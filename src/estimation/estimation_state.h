// The options of the last estimate statement and every result of the last
// estimation. Reports, exports, fit and system files read them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/matrix.h"
#include "base/mstring.h"
#include "estimation/estimate_options.h"

namespace ordena {

inline constexpr double kNotAnchored = 9999.0;
// Regression and covariance anchors hold their value below this limit;
// kNotAnchored above it marks a free parameter. Import refuses anchor values
// at or above it, and the engine and the reports both ask this test.
inline constexpr double kAnchorLimit = 9998.0;
inline constexpr bool isAnchoredValue(double anchor) { return anchor < kAnchorLimit; }
inline constexpr double kNoDeviance = 3.0e38;
inline constexpr int kSummaryBins = 60;

// Termination reasons of the iterations.
enum TerminationReason {
    kTerminateIterations = 0,
    kTerminateNoImprovement = 1,
    kTerminateConverged = 2,
    kTerminateVariance = 3,
    kTerminateDeviance = 4
};

// Counts of case estimates in 60 bins per dimension, for the maps.
struct DistributionSummary {
    Matrix counts;  // D x 60
    float low = 0.0f;
    float high = 0.0f;
    float width = 0.0f;
    bool available = false;

    void reset(int dimensions, float lowEnd, float highEnd, float binWidth) {
        counts = zeros(dimensions, kSummaryBins);
        low = lowEnd;
        high = highEnd;
        width = binWidth;
        available = true;
    }
    // Bin 59 is the low end and bin 0 the high end; values outside the
    // range count in the bin of the end they passed, so the maps (which
    // print bin 0 at the top) show them where they belong.
    void add(int dimension, double x) {
        if (counts.isEmpty() || dimension < 0 || dimension >= counts.rows()) return;
        int bin;
        if (x < low)
            bin = kSummaryBins - 1;
        else if (x >= high)
            bin = 0;
        else {
            double t = width > 0.0f ? (x - low) / width : 0.0;
            bin = kSummaryBins - 1 - static_cast<int>(t);
            if (bin < 0) bin = 0;
            if (bin > kSummaryBins - 1) bin = kSummaryBins - 1;
        }
        counts[dimension][bin] += 1.0;
    }
};

// The fit statistics of one fit group, in the order of the groups (for the
// parameter layout, the order the parameter tables print fit lines). The
// variances are the squared standard errors of the mean squares.
struct FitResult {
    MString label;
    double weightedMeanSquare = 0.0, weightedT = 0.0, weightedVariance = 0.0;
    double unweightedMeanSquare = 0.0, unweightedT = 0.0, unweightedVariance = 0.0;
};

struct EstimationState {
    int estimated = 0;  // 1 when the estimates belong to the current specification

    EstimateOptions options;
    std::vector<AnchorEntry> anchors;  // filled by import

    // Method and node count actually used (after resolution).
    EstimationMethod method = EstimationMethod::Gauss;
    std::int32_t nodeCount = 0;  // Q
    float stepH = 0.0f;          // Bock/Aitken node spacing

    Vector xsi, previousXsi, bestXsi;
    std::vector<std::int32_t> anchored;  // per parameter: 1 with an anchor value
    std::int32_t anchoredCount = 0;

    Matrix beta, previousBeta, bestBeta;  // D x R
    Matrix regressionAnchors;             // D x R, 9999 when free
    Matrix sigma, previousSigma, bestSigma;
    Matrix covarianceAnchors;  // D x D, 9999 when free

    Vector gwt, previousGwt, bestGwt;  // Q node weights
    Matrix nodeGrid, baseGrid;         // Q x D
    Matrix yyInverse;                  // R x R
    double weightFactor = 1.0;

    // Error variances.
    Vector itemErrors;        // P (1/|H| from the last Newton step)
    Matrix regressionErrors;  // R x D
    Matrix covarianceErrors;  // D x D
    Matrix fullErrors;        // K x K, K = P + R + 1; empty unless full errors were computed

    double deviance = 0.0, previousDeviance = kNoDeviance, bestDeviance = kNoDeviance;
    // What the deviance was summed over: the weights and the count of the
    // cases whose likelihood entered it (the best iteration's kept with
    // it). Negative when not known (a workspace read from a system file).
    double likelihoodWeight = -1.0, bestLikelihoodWeight = -1.0;
    long long likelihoodCases = -1, bestLikelihoodCases = -1;
    // The part of the deviance that is no log likelihood: under Bock/Aitken
    // quadrature each case adds D ln(h) (h the node spacing) to its log
    // likelihood, so the deviance holds -2 D ln(h) per weighted case. 0
    // under every other method. sampleSize stands in for unknown weights.
    double devianceConstant(double sampleSize) const;
    std::int32_t iteration = 0, bestIteration = 0;
    std::int32_t iterationsWithoutImprovement = 0;
    std::int32_t terminationReason = kTerminateIterations;
    bool earlierSolutionBetter = false;

    std::int32_t caseEstimateType = kCaseLatent;
    std::vector<std::int32_t> keptParameters;
    std::vector<std::int32_t> nonIdentifiedItems;
    MString caseScoreFile = "unassigned";
    std::int32_t caseScorePlausible = 0;  // V of the case score file's records

    DistributionSummary eapSummary, plausibleSummary, mleSummary, wleSummary;
    float displayLow = 0.0f, displayHigh = 0.0f, displayWidth = 0.0f;

    // Sufficient statistics of the kept parameters (the log and fit read them).
    Vector sufficient;

    // Filled by the fit code; empty until fit was computed.
    std::vector<FitResult> fit;
    bool fitAvailable = false;
    // Posterior draws per case behind the marginal fit figures (fitdraws
    // when they were computed); 0 under JML or when not known.
    std::int32_t fitDraws = 0;

    // Stored case estimates that must be computed again before a report uses
    // them (set changes, reset).
    bool eapAvailable = false;
    bool plausibleAvailable = false;
    bool mleAvailable = false;
    bool wleAvailable = false;

    int dimensions() const { return sigma.isEmpty() ? 0 : sigma.rows(); }
    int regressors() const { return beta.isEmpty() ? 0 : beta.columns(); }
    int parameters() const { return xsi.isEmpty() ? 0 : xsi.rows(); }

    // The error variance of regression coefficient r on dimension d that the
    // reports show: the quick one, or the full one when the full error
    // covariance was computed; -1 when there is none.
    double regressionErrorVariance(int r, int d) const;

    // Marks every stored case estimate as needing computation again.
    void invalidateCaseEstimates() { eapAvailable = plausibleAvailable = mleAvailable = wleAvailable = false; }

    // After set n_plausible: EAPs and plausible values are drawn again.
    void plausibleCountChanged() { eapAvailable = plausibleAvailable = false; }
    // Reset: releases the work arrays of the last estimation.
    void releaseWorkArrays() {
        nodeGrid = Matrix();
        baseGrid = Matrix();
    }
    // Reset and exit: deletes the case score file.
    void removeWorkFiles();
};

}  // namespace ordena
