#include "estimation/setup.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "base/binfile.h"
#include "base/index.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/nodes.h"
#include "estimation/probabilities.h"

namespace ordena {

void loadModel(EstimationWork& work, const ModelBuild& build, int P) {
    work.I = build.items;
    work.maxCat = std::max(1, build.maxCategories);
    work.D = build.dimensions;
    work.P = P;
    const std::size_t rows = static_cast<std::size_t>(work.I) * work.maxCat;
    work.ncat.assign(static_cast<std::size_t>(work.I), 0);
    work.first.assign(static_cast<std::size_t>(work.I), 0);
    for (int i = 0; i < work.I; ++i) {
        if (static_cast<std::size_t>(i) < build.categoryCount.size())
            work.ncat[static_cast<std::size_t>(i)] =
                std::min(build.categoryCount[static_cast<std::size_t>(i)], work.maxCat);
        if (static_cast<std::size_t>(i) < build.lowestCategory.size())
            work.first[static_cast<std::size_t>(i)] = std::max(0, build.lowestCategory[static_cast<std::size_t>(i)]);
    }
    work.scores.assign(rows * work.D, 0.0);
    for (std::size_t j = 0; j < work.scores.size() && j < build.scores.size(); ++j) work.scores[j] = build.scores[j];
    work.maxScore.assign(static_cast<std::size_t>(work.I) * work.D, 0.0);
    for (int i = 0; i < work.I; ++i)
        for (int d = 0; d < work.D; ++d) {
            double top = 0.0;
            for (int k = 0; k < work.ncat[static_cast<std::size_t>(i)]; ++k)
                top = k == 0 ? work.scores[(static_cast<std::size_t>(i) * work.maxCat + k) * work.D + d]
                             : std::max(top, work.scores[(static_cast<std::size_t>(i) * work.maxCat + k) * work.D + d]);
            work.maxScore[static_cast<std::size_t>(i) * work.D + d] = top;
        }
    work.designStart.assign(rows + 1, 0);
    work.designEntries.clear();
    work.parameterItems.assign(static_cast<std::size_t>(P), {});
    work.parameterValues.assign(static_cast<std::size_t>(P), {});
    const std::size_t stride = static_cast<std::size_t>(build.designStride);
    for (int i = 0; i < work.I; ++i) {
        for (int k = 0; k < work.maxCat; ++k) {
            std::size_t row = static_cast<std::size_t>(i) * work.maxCat + k;
            work.designStart[row] = work.designEntries.size();
            if (k >= work.ncat[static_cast<std::size_t>(i)]) continue;
            for (int p = 0; p < P; ++p) {
                std::size_t at = row * stride + static_cast<std::size_t>(p);
                double a = at < build.design.size() ? build.design[at] : 0.0;
                if (a == 0.0) continue;
                work.designEntries.push_back({p, a});
                auto& items = work.parameterItems[static_cast<std::size_t>(p)];
                auto& values = work.parameterValues[static_cast<std::size_t>(p)];
                if (items.empty() || items.back() != i) {
                    items.push_back(i);
                    values.resize(values.size() + static_cast<std::size_t>(work.maxCat), 0.0);
                }
                values[values.size() - static_cast<std::size_t>(work.maxCat) + static_cast<std::size_t>(k)] = a;
            }
        }
    }
    work.designStart[rows] = work.designEntries.size();
}

int applyItemAnchor(Session& session, const AnchorEntry& a, int P) {
    EstimationState& est = session.ws.est;
    if (a.kind != kAnchorItem && a.kind != kInitItem) return 1;
    if (a.first < 0 || a.first >= P) {
        session.errorReport(a.kind == kAnchorItem
                                ? "A parameter index is out of range for an item parameter anchor value"
                                : "A parameter index is out of range for an item parameter initial value");
        return -1;
    }
    const double value = a.value;
    est.xsi[a.first][0] = est.previousXsi[a.first][0] = est.bestXsi[a.first][0] = value;
    if (a.kind == kAnchorItem && !est.anchored[static_cast<std::size_t>(a.first)]) {
        est.anchored[static_cast<std::size_t>(a.first)] = 1;
        ++est.anchoredCount;
    }
    return 1;
}

void startEstimationState(EstimationState& est, int D, int R, int P) {
    est.bestDeviance = est.previousDeviance = kNoDeviance;
    est.likelihoodWeight = est.bestLikelihoodWeight = -1.0;
    est.likelihoodCases = est.bestLikelihoodCases = -1;
    est.eapSummary.available = est.plausibleSummary.available = false;
    est.invalidateCaseEstimates();
    est.keptParameters.clear();
    est.nonIdentifiedItems.clear();
    est.fullErrors = Matrix();
    est.fit.clear();
    est.fitAvailable = false;

    est.beta = zeros(D, R);
    est.previousBeta = est.bestBeta = est.beta;
    est.regressionAnchors = Matrix(D, R);
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r) est.regressionAnchors[d][r] = kNotAnchored;
    est.sigma = identity(D);
    est.previousSigma = est.bestSigma = est.sigma;
    est.covarianceAnchors = Matrix(D, D);
    for (int d = 0; d < D; ++d)
        for (int e = 0; e < D; ++e) est.covarianceAnchors[d][e] = kNotAnchored;
    if (P > 0) {
        est.xsi = zeroVector(P);
    } else {
        est.xsi = Vector();
    }
    est.itemErrors = est.previousXsi = est.bestXsi = est.xsi;
    est.anchored.assign(static_cast<std::size_t>(P), 0);
    est.anchoredCount = 0;
    est.regressionErrors = Matrix();
    est.covarianceErrors = Matrix();
}

int estimationSetup(Session& session, EstimationWork& work) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    const ModelBuild& build = ws.build;
    work.regressionConverged = work.covarianceConverged = false;

    const int P = build.parameterCount();
    loadModel(work, build, P);
    const int D = work.D;
    const int R = std::max(1, ws.data.passes.caseInfoWidth - 1);
    work.R = R;
    work.generalPath = session.compute.generalPath;
    work.discrete = est.options.distribution == Distribution::Discrete;
    work.method = est.method;
    startEstimationState(est, D, R, P);

    for (const AnchorEntry& a : est.anchors) {
        const double value = a.value;
        switch (a.kind) {
            case kAnchorItem:
            case kInitItem:
                if (applyItemAnchor(session, a, P) != 1) return -1;
                break;
            case kAnchorRegression:
            case kInitRegression: {
                const bool anchor = a.kind == kAnchorRegression;
                if (a.first < 0 || a.first >= D) {
                    session.errorReport(anchor ? "A dimension index is out of range for a regression anchor value"
                                               : "A dimension index is out of range for a regression initial value");
                    return -1;
                }
                if (a.second < 0 || a.second >= R) {
                    session.errorReport(
                        anchor ? "A regression variable index is out of range for a regression anchor value"
                               : "A regression variable index is out of range for a regression initial value");
                    return -1;
                }
                if (anchor) est.regressionAnchors[a.first][a.second] = value;
                est.beta[a.first][a.second] = est.previousBeta[a.first][a.second] = est.bestBeta[a.first][a.second] =
                    value;
                break;
            }
            case kAnchorCovariance:
                if (a.first < 0 || a.first >= D) {
                    session.errorReport("The first dimension index is out of range for a covariance anchor value");
                    return -1;
                }
                if (a.second < 0 || a.second >= D) {
                    session.errorReport("The second dimension index is out of range for a covariance anchor value");
                    return -1;
                }
                for (Matrix* m : {&est.covarianceAnchors, &est.sigma, &est.previousSigma, &est.bestSigma}) {
                    (*m)[a.first][a.second] = value;
                    (*m)[a.second][a.first] = value;
                }
                break;
            case kInitCovariance:
                if (a.first < 0 || a.first >= D || a.second < 0 || a.second >= D) {
                    session.errorReport("A dimension index is out of range for a covariance initial value");
                    return -1;
                }
                for (Matrix* m : {&est.sigma, &est.previousSigma, &est.bestSigma}) {
                    (*m)[a.first][a.second] = value;
                    (*m)[a.second][a.first] = value;
                }
                break;
            default:
                break;
        }
    }
    work.allAnchored = P == 0 || est.anchoredCount >= P;

    // Imported covariances must still form a covariance matrix: placing the
    // nodes with one that is not would end the program, and the other
    // methods would fail on every case without saying why.
    const bool importedCovariance = std::any_of(est.anchors.begin(), est.anchors.end(), [](const AnchorEntry& a) {
        return a.kind == kAnchorCovariance || a.kind == kInitCovariance;
    });
    if (importedCovariance) {
        Vector lambda;
        Matrix vectors;
        int rotations = 0;
        jacobiEigen(est.sigma, D, lambda, vectors, rotations);
        for (int d = 0; d < D; ++d)
            if (!(lambda[d][0] >= 0.0)) {
                session.errorReport(
                    "The covariance matrix given by the imported anchor and initial values is not positive definite");
                return -1;
            }
    }

    if (ws.settings.constraints == kConstraintsCases) {
        for (int d = 0; d < D; ++d)
            if (!isAnchoredValue(est.regressionAnchors[d][0])) est.regressionAnchors[d][0] = 0.0;
        if (R != 1)
            session.frontEnd().informationBox(
                "The regression coefficients that you did not explicity anchor will be anchored at zero");
    }

    int n = est.options.nodes;
    float h = 0.0f;
    if (buildNodes(session, work, n, est.options.minNode, est.options.maxNode, est.nodeGrid, h) != 1) return -1;
    est.stepH = h;
    est.nodeCount = work.Q;
    est.baseGrid = est.nodeGrid;
    if (work.method == EstimationMethod::MonteCarlo) {
        Matrix t = transformNodes(session, est.baseGrid, est.sigma);
        if (R == 1) {
            est.nodeGrid = t;
            for (int q = 0; q < work.Q; ++q)
                for (int d = 0; d < D; ++d) est.nodeGrid[q][d] += est.beta[d][0];
        } else {
            work.mcRegressionNodes = t;
        }
    }
    if (work.discrete) {
        EstimationMethod saved = work.method;
        work.method = EstimationMethod::Quadrature;
        work.discrete = false;
        std::vector<double> zero(static_cast<std::size_t>(D), 0.0);
        calcGwt(session, work, est.nodeGrid, zero, est.sigma, est.gwt);
        work.method = saved;
        work.discrete = true;
        est.gwt = Vector(work.Q);
        for (int q = 0; q < work.Q; ++q)
            est.gwt[q][0] =
                q < static_cast<int>(work.nodeWeights.size()) ? work.nodeWeights[static_cast<std::size_t>(q)] : 0.0;
        est.previousGwt = est.bestGwt = est.gwt;
    } else {
        est.gwt = Vector();
    }
    try {
        work.expected.assign(static_cast<std::size_t>(work.I + 1) * work.Q, 0.0);
        work.prob.assign(static_cast<std::size_t>(work.I) * work.maxCat * work.Q, 0.0);
        work.probNodes = work.Q;
    } catch (const std::bad_alloc&) {
        fatalExit("Item hwt memory allocation failed");
    }
    work.itemNo.assign(kMaxCaseResponses + 1, 0);
    work.rsp.assign(kMaxCaseResponses + 1, 0);
    work.likelihood.assign(static_cast<std::size_t>(work.Q), 0.0);
    work.posterior.assign(static_cast<std::size_t>(work.Q), 0.0);
    work.nodeWeights.resize(static_cast<std::size_t>(work.Q));
    return 1;
}

int loadCaseInformation(Session& session, EstimationWork& work, const char* routine) {
    const DataPassState& passes = session.ws.data.passes;
    work.caseInfoWidth = std::max(1, passes.caseInfoWidth);
    const std::size_t count = static_cast<std::size_t>(std::max(0, passes.cases)) * work.caseInfoWidth;
    const int read = readDoubles(passes.caseInfoFile, work.caseInfo, count);
    if (read == 0) {
        session.errorReport("Can't open Y variable file (subroutine " + MString(routine) + ")");
        return -1;
    }
    if (read < 0) {
        session.errorReport("Can't read the case information file " + passes.caseInfoFile);
        return -1;
    }
    for (double v : work.caseInfo)
        if (!std::isfinite(v)) {
            session.errorReport("The case information file " + passes.caseInfoFile + " is damaged");
            return -1;
        }
    return 1;
}

int calcYYinv(Session& session, EstimationWork& work) {
    EstimationState& est = session.ws.est;
    if (loadCaseInformation(session, work) != 1) return -1;
    session.statusText("Read case information file", 0);
    const int R = work.R;
    const int N = session.ws.data.passes.cases;
    Matrix YY(R, R);
    double weightSum = 0.0;
    long long nonZero = 0;
    for (int n = 0; n < N; ++n) {
        const double* rec = work.caseRecord(n);
        if (!rec) break;
        const double w = rec[0];
        weightSum += w;
        if (w != 0.0) ++nonZero;
        for (int r = 0; r < R; ++r)
            for (int s = 0; s < R; ++s) YY[r][s] += w * rec[1 + r] * rec[1 + s];
    }
    if (nonZero == 0) {
        session.errorReport("No valid students were found");
        return -1;
    }
    if (weightSum == 0.0) {
        session.errorReport("The sum of the student weights is zero");
        return -1;
    }
    est.weightFactor = static_cast<double>(nonZero) / weightSum;
    YY *= est.weightFactor;
    work.yy = YY;
    int m = magnitude(YY);
    double scale = 1.0;
    if (m > 1) scale = std::pow(10.0, -m);
    Matrix inv = inverse(YY * scale);
    if (inv.isEmpty()) {
        session.errorReport("The regressors are colinear");
        return -1;
    }
    est.yyInverse = inv * scale;
    return 1;
}

int prepareCaseWork(Session& session, EstimationWork& work, EstimationMethod method) {
    const EstimationState& est = session.ws.est;
    loadModel(work, session.ws.build, est.parameters());
    work.R = std::max(1, session.ws.data.passes.caseInfoWidth - 1);
    work.method = method;
    work.generalPath = session.compute.generalPath;
    work.discrete = est.options.distribution == Distribution::Discrete;
    if (loadCaseInformation(session, work) != 1) return -1;
    work.itemNo.assign(kMaxCaseResponses + 1, 0);
    work.rsp.assign(kMaxCaseResponses + 1, 0);
    computeAXsi(work, est.xsi);
    return 1;
}

}  // namespace ordena
