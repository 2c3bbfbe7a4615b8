// Estimation set-up, the regression cross-products, the sufficient
// statistics with the identification check, the M-step and the population
// update.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "base/index.h"
#include "base/timing.h"
#include "command/labels.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/case_estimates.h"
#include "estimation/engine.h"
#include "estimation/factorised.h"
#include "estimation/jml.h"

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
            if (est.regressionAnchors[d][0] == kNotAnchored) est.regressionAnchors[d][0] = 0.0;
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

MString dimensionLabel(Session& session, int d) {
    return labelLookup(session.ws, MString(), kLabelDimensions, itoMString(d + 1));
}

MString describeLevels(Session& session, const ParameterSpec& spec) {
    const Workspace& ws = session.ws;
    MString text;
    for (std::size_t j = 0; j < spec.levels.size(); ++j) {
        const int level = spec.levels[j];
        if (level < 0) continue;
        const VariableRef v = ws.model.modelVariableAt(static_cast<int>(j));
        const bool isExplicit = v.kind == kExplicitVariable;
        MString name;
        if (isExplicit && v.index >= 0 && v.index < static_cast<int>(ws.data.layout.explicitVariables.size()))
            name = ws.data.layout.explicitVariables[static_cast<std::size_t>(v.index)].name;
        if (!isExplicit && v.index >= 0 && v.index < static_cast<int>(ws.data.layout.implicitVariables.size()))
            name = ws.data.layout.implicitVariables[static_cast<std::size_t>(v.index)].name;
        if (!isExplicit) {
            text += name + " " + itoMString(level + 1) + ",";
            continue;
        }
        MString code = itoMString(level + 1);
        for (const ValueList& list : ws.data.passes.valueLists)
            if (list.variable == v.index && level < static_cast<int>(list.values.size()))
                code = list.values[static_cast<std::size_t>(level)];
        text += name + " " + labelLookup(ws, name, kLabelExplicit, code) + ", ";
    }
    return text;
}

MString describeParameter(Session& session, int p) {
    const auto& estimated = session.ws.build.estimated;
    if (p < 0 || p >= static_cast<int>(estimated.size())) return MString();
    return describeLevels(session, estimated[static_cast<std::size_t>(p)]);
}

namespace {

int parameterSigns(Session& session, EstimationWork& work) {
    const ModelBuild& build = session.ws.build;
    work.sign.assign(static_cast<std::size_t>(work.P), 0);
    if (build.importedDesign) {
        std::fill(work.sign.begin(), work.sign.end(), 1);
        return 1;
    }
    for (const ModelTerm& term : session.ws.model.terms)
        for (int j = 0; j < term.parameterCount(); ++j)
            if (term.parameterFlags[static_cast<std::size_t>(j)] == 0) {
                int p = term.parameterNumbers[static_cast<std::size_t>(j)];
                if (p >= 0 && p < work.P) work.sign[static_cast<std::size_t>(p)] = term.sign == '-' ? -1 : 1;
            }
    for (int s : work.sign)
        if (s == 0) {
            session.errorReport("Failure to find sign for parameter");
            return -1;
        }
    return 1;
}

void logStatistics(Session& session, const char* title, const std::vector<double>& s) {
    if (!session.ws.files.logFile.isOpen()) return;
    MString text = MString(title) + "Parameter No.              Sufficient Statistic\n";
    char line[96];
    for (std::size_t p = 0; p < s.size(); ++p) {
        std::snprintf(line, sizeof line, "  %5d                      %10.5f\n", static_cast<int>(p + 1), s[p]);
        text += line;
    }
    session.logText(text);
}

}  // namespace

void adjustExtremeScores(double z, std::vector<double>& raw, const std::vector<double>& maximum) {
    for (std::size_t d = 0; d < raw.size() && d < maximum.size(); ++d) {
        double& s = raw[d];
        if (s == 0.0) s = z;
        if (s == maximum[d]) s = maximum[d] - z;
    }
}

bool checkCaseScores(const Session& session, Shell& reports, int caseNumber, const std::vector<double>& maximum) {
    for (std::size_t d = 0; d < maximum.size(); ++d)
        if (maximum[d] == 0.0) {
            MString what = session.ws.est.caseEstimateType == kCaseWle
                               ? " Weighted likelihood estimates computation cannot continue"
                               : " MLE computation cannot continue";
            reports.errorReport("No valid data for case " + itoMString(caseNumber) + " on dimension " +
                                itoMString(static_cast<long long>(d) + 1) + what);
            return false;
        }
    return true;
}

bool checkCaseScores(Session& session, int caseNumber, const std::vector<double>& maximum) {
    return checkCaseScores(session, session, caseNumber, maximum);
}

bool caseScores(const Session& session, Shell& reports, const EstimationWork& work, const std::int32_t* items,
                const std::int32_t* categories, int m, bool adjust, bool check, int caseNumber,
                std::vector<double>& raw, std::vector<double>& maximum, MString* text) {
    const int D = work.D;
    raw.assign(static_cast<std::size_t>(D), 0.0);
    maximum.assign(static_cast<std::size_t>(D), 0.0);
    for (int r = 0; r < m; ++r) {
        const int i = items[r], k = categories[r];
        if (i < 0 || i >= work.I || k < 0 || k >= work.maxCat) continue;
        const double* b = work.scoreRow(i, k);
        const double* top = work.maxScore.data() + static_cast<std::size_t>(i) * D;
        for (int d = 0; d < D; ++d) {
            at(raw, d) += b[d];
            at(maximum, d) += top[d];
        }
    }
    if (adjust) adjustExtremeScores(session.ws.settings.zero_perfect, raw, maximum);
    const bool valid = !check || checkCaseScores(session, reports, caseNumber, maximum);
    if (text)
        for (int d = 0; d < D; ++d) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%10.2f %10.2f ", at(raw, d), at(maximum, d));
            *text += buffer;
        }
    return valid;
}

bool caseScores(Session& session, const EstimationWork& work, int m, bool adjust, bool check, int caseNumber,
                std::vector<double>& raw, std::vector<double>& maximum, MString* text) {
    return caseScores(session, session, work, work.itemNo.data(), work.rsp.data(), m, adjust, check, caseNumber, raw,
                      maximum, text);
}

int writeCaseScores(Session& session, EstimationWork& work) {
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    std::vector<double> raw, maximum;
    const int visited = forEachCase(session, work, [&](int caseNumber, int m) {
        const double* rec = work.caseRecord(caseNumber);
        if (rec && rec[0] == 0.0) m = 0;  // a placeholder, not a response
        caseScores(session, work, m, false, false, caseNumber, raw, maximum, nullptr);
        records.setScores(caseNumber, raw, maximum);
        return 1;
    });
    if (visited != 1) return -1;
    return saveCaseScores(session, records);
}

namespace {

// Anchors and initial values name parameters in the numbering that follows
// the removal of those not identified: more of them than parameters remain,
// or one beyond those that remain, is refused rather than dropped.
int checkAnchorsAfterRemoval(Session& session, int anchorValues) {
    const EstimationState& est = session.ws.est;
    const int P = est.parameters();
    if (P < anchorValues) {
        session.errorReport("There must be fewer anchor values than parameters");
        return -1;
    }
    for (const AnchorEntry& a : est.anchors) {
        if ((a.kind != kAnchorItem && a.kind != kInitItem) || a.first < P) continue;
        session.errorReport(MString(a.kind == kAnchorItem ? "The anchor" : "The initial value") + " for parameter " +
                            itoMString(a.first + 1) + " names no parameter: " + itoMString(P) +
                            " remain after the removal of the parameters that are not identified");
        return -1;
    }
    return 1;
}

}  // namespace

int sufficientStatistics(Session& session, EstimationWork& work, CaseResponses* responses) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    ModelBuild& build = ws.build;
    const int P = work.P, I = work.I, maxCat = work.maxCat, D = work.D;
    // Set-up counted the anchors against the numbering before removal.
    const int anchorValues = est.anchoredCount;
    if (parameterSigns(session, work) != 1) return -1;

    std::vector<double> s(static_cast<std::size_t>(P), 0.0);
    std::vector<char> opposite(static_cast<std::size_t>(P), 0);
    // Per parameter: the first (item, category) pair seen on a conflicting
    // item, and whether a second distinct pair followed.
    std::vector<long long> firstPair(static_cast<std::size_t>(P), -1);
    std::vector<char> manyPairs(static_cast<std::size_t>(P), 0);
    std::vector<std::vector<std::int32_t>> conflicts(static_cast<std::size_t>(I));
    for (int p = 0; p < P; ++p) {
        const auto& items = work.parameterItems[static_cast<std::size_t>(p)];
        const auto& values = work.parameterValues[static_cast<std::size_t>(p)];
        for (std::size_t j = 0; j < items.size(); ++j)
            for (int k = 0; k < maxCat; ++k)
                if (values[j * maxCat + k] * work.sign[static_cast<std::size_t>(p)] < 0.0) {
                    conflicts[static_cast<std::size_t>(items[j])].push_back(p);
                    break;
                }
    }
    std::vector<char> observed(static_cast<std::size_t>(I) * maxCat, 0);

    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;

    std::vector<double> raw, maximum;
    const int N = std::max(0, ws.data.passes.cases);
    int nextCase = 0;  // the next case whose responses the list starts
    auto startCasesUpTo = [&](int last) {
        for (; nextCase <= last; ++nextCase)
            responses->start[static_cast<std::size_t>(nextCase)] = static_cast<std::int64_t>(responses->items.size());
    };
    // The list of responses that joint maximum likelihood keeps.
    auto listResponse = [&](int i) {
        try {
            responses->items.push_back(i);
            return true;
        } catch (const std::bad_alloc&) {
            session.errorReport("JML estimation not be available");
            return false;
        }
    };
    if (responses) {
        responses->items.clear();
        try {
            responses->start.assign(static_cast<std::size_t>(N) + 1, 0);
        } catch (const std::bad_alloc&) {
            session.errorReport("JML estimation not be available");
            return -1;
        }
    }
    const int visited = forEachCase(session, work, [&](int caseNumber, int m) {
        const double* rec = work.caseRecord(caseNumber);
        const double w = (rec ? rec[0] : 1.0) * est.weightFactor;
        // A case of weight zero carries only its placeholder record, or
        // counts for nothing: it identifies no parameter.
        if (w == 0.0) m = 0;
        const bool listed = responses && caseNumber >= nextCase && caseNumber < N;
        if (listed) startCasesUpTo(caseNumber);
        for (int r = 0; r < m; ++r) {
            const int i = work.itemNo[static_cast<std::size_t>(r)], k = work.rsp[static_cast<std::size_t>(r)];
            if (i < 0 || i >= I || k < 0 || k >= maxCat) continue;
            if (listed && !listResponse(i)) return -1;
            const std::size_t row = static_cast<std::size_t>(i) * maxCat + k;
            observed[row] = 1;
            for (std::size_t e = work.designStart[row]; e < work.designStart[row + 1]; ++e) {
                const DesignEntry& de = work.designEntries[e];
                s[static_cast<std::size_t>(de.parameter)] += de.value * w;
                if (work.sign[static_cast<std::size_t>(de.parameter)] * de.value * w < 0.0)
                    opposite[static_cast<std::size_t>(de.parameter)] = 1;
            }
            for (std::int32_t p : conflicts[static_cast<std::size_t>(i)]) {
                long long& f = firstPair[static_cast<std::size_t>(p)];
                if (f < 0)
                    f = static_cast<long long>(row);
                else if (f != static_cast<long long>(row))
                    manyPairs[static_cast<std::size_t>(p)] = 1;
            }
        }
        caseScores(session, work, m, false, false, caseNumber, raw, maximum, nullptr);
        records.setScores(caseNumber, raw, maximum);
        return 1;
    });
    if (responses) startCasesUpTo(N);
    if (visited != 1) return -1;
    if (saveCaseScores(session, records) != 1) return -1;
    session.appendOutput("Sufficient Statistics Computed\r\n");
    logStatistics(session, "Original Sufficient Statistics\n", s);

    bool stop = false;
    for (int p = 0; p < P; ++p) {
        if (firstPair[static_cast<std::size_t>(p)] >= 0 && !manyPairs[static_cast<std::size_t>(p)]) {
            opposite[static_cast<std::size_t>(p)] = 0;
            est.nonIdentifiedItems.push_back(
                static_cast<std::int32_t>(firstPair[static_cast<std::size_t>(p)] / maxCat));
        }
        if (!opposite[static_cast<std::size_t>(p)]) {
            const ParameterSpec* spec =
                p < static_cast<int>(build.estimated.size()) ? &build.estimated[static_cast<std::size_t>(p)] : nullptr;
            // Joint maximum likelihood words the warning without the number.
            MString text = (responses ? MString("Parameter for ") : "Parameter (" + itoMString(p + 1) + ") for ") +
                           describeParameter(session, p);
            const bool step = spec && spec->step >= 0 && !build.importedDesign;
            if (step) text += " step " + itoMString(spec->step);
            text += MString(" is not identified. ") +
                    "If anchors or initial values are used the referencing must reflect removal of this parameter";
            session.warningReport(text);
            if (step) stop = true;
        }
    }
    const int C = static_cast<int>(build.constrained.size());
    if (!build.importedDesign && C > 0 && !build.constrainedDesign.empty()) {
        for (int c = 0; c < C; ++c) {
            bool data = false;
            for (std::size_t row = 0; row < observed.size() && !data; ++row) {
                std::size_t at = row * static_cast<std::size_t>(C) + static_cast<std::size_t>(c);
                if (observed[row] && at < build.constrainedDesign.size() && build.constrainedDesign[at] != 0.0f)
                    data = true;
            }
            if (data) continue;
            const ParameterSpec& spec = build.constrained[static_cast<std::size_t>(c)];
            MString text = describeLevels(session, spec);
            if (spec.step >= 0) text += " step " + itoMString(spec.step);
            session.warningReport("No data for " + text +
                                  " estimation cannot proceed. Data is needed for a constraint");
            stop = true;
        }
    }
    if (stop) {
        session.errorReport("You will have to recode the data before estimation can proceed");
        return -1;
    }

    // Removal: kept parameters move down, their old numbers are recorded.
    std::vector<int> newNumber(static_cast<std::size_t>(P), -1);
    int kept = 0;
    const std::size_t stride = static_cast<std::size_t>(build.designStride);
    const std::size_t rows = stride ? build.design.size() / stride : 0;
    for (int p = 0; p < P; ++p) {
        if (!opposite[static_cast<std::size_t>(p)]) continue;
        newNumber[static_cast<std::size_t>(p)] = kept;
        est.keptParameters.push_back(p);
        s[static_cast<std::size_t>(kept)] = s[static_cast<std::size_t>(p)];
        if (kept != p)
            for (std::size_t row = 0; row < rows; ++row)
                build.design[row * stride + static_cast<std::size_t>(kept)] =
                    build.design[row * stride + static_cast<std::size_t>(p)];
        ++kept;
    }
    if (kept < P) {
        for (std::size_t row = 0; row < rows; ++row)
            for (int p = kept; p < P; ++p) build.design[row * stride + static_cast<std::size_t>(p)] = 0.0f;
        for (ModelTerm& term : ws.model.terms) {
            std::vector<std::int32_t> numbers, flags;
            for (int j = 0; j < term.parameterCount(); ++j) {
                const int number = term.parameterNumbers[static_cast<std::size_t>(j)];
                const int flag = term.parameterFlags[static_cast<std::size_t>(j)];
                if (flag == 0) {
                    if (number < 0 || number >= P || newNumber[static_cast<std::size_t>(number)] < 0) continue;
                    numbers.push_back(newNumber[static_cast<std::size_t>(number)]);
                } else {
                    numbers.push_back(number);
                }
                flags.push_back(flag);
            }
            term.parameterNumbers = numbers;
            term.parameterFlags = flags;
        }
        s.resize(static_cast<std::size_t>(kept));
        auto shrink = [kept](Vector& v) {
            if (kept == 0) {
                v = Vector();
                return;
            }
            Vector out(kept);
            for (int p = 0; p < kept && p < v.rows(); ++p) out[p][0] = v[p][0];
            v = out;
        };
        shrink(est.xsi);
        shrink(est.previousXsi);
        shrink(est.bestXsi);
        shrink(est.itemErrors);
        est.anchored.resize(static_cast<std::size_t>(kept));
        est.anchoredCount = 0;
        for (int a : est.anchored) est.anchoredCount += a ? 1 : 0;
        std::vector<int> signs(static_cast<std::size_t>(kept));
        for (int p = 0; p < P; ++p)
            if (newNumber[static_cast<std::size_t>(p)] >= 0)
                signs[static_cast<std::size_t>(newNumber[static_cast<std::size_t>(p)])] =
                    work.sign[static_cast<std::size_t>(p)];
        loadModel(work, build, kept);
        work.sign = signs;
        logStatistics(session, "Modified Sufficient Statistics\n", s);
    }
    (void)D;
    est.sufficient = Vector(std::max(1, kept));
    for (int p = 0; p < kept; ++p) est.sufficient[p][0] = s[static_cast<std::size_t>(p)];
    if (kept == 0) est.sufficient = Vector();
    work.allAnchored = work.P == 0 || est.anchoredCount >= work.P;
    return checkAnchorsAfterRemoval(session, anchorValues);
}

namespace {
constexpr int kMaxSweeps = 100;
}

int MStep(Session& session, EstimationWork& work, double& largestStep) {
    workingGrid(session, work, session.ws.est);
    // After a pass that worked dimension by dimension the expected counts
    // are per dimension, and so are the probabilities the steps need.
    if (work.factorised && !factorAxes(work)) {
        session.errorReport("The nodes of the item parameter step do not form a product grid");
        return -1;
    }
    const std::vector<double> theta =
        work.factorised ? work.factor.theta : thetaColumns(work, work.workGrid, work.shift);
    return itemNewtonSweeps(session, work, theta, ItemSweepRules{"MStep:Parameter ", 0, true}, largestStep);
}

int itemNewtonSweeps(Session& session, EstimationWork& work, const std::vector<double>& theta,
                     const ItemSweepRules& rules, double& largestStep) {
    EstimationState& est = session.ws.est;
    const int P = work.P, maxCat = work.maxCat;
    std::vector<double> h(static_cast<std::size_t>(P), 5.0);
    // The nodes of the theta columns: the grid's, or per dimension after a
    // pass that worked dimension by dimension.
    const int Q = work.D > 0 ? static_cast<int>(theta.size()) / work.D : 0;
    work.probNodes = Q;
    if (work.prob.size() != static_cast<std::size_t>(work.I) * maxCat * Q)
        work.prob.assign(static_cast<std::size_t>(work.I) * maxCat * Q, 0.0);
    largestStep = 0.0;
    const int innerloops = session.ws.settings.innerloops;
    const double convergence = est.options.convergence;
    std::vector<double> sa(static_cast<std::size_t>(Q)), sa2(static_cast<std::size_t>(Q));
    for (int sweep = 0;; ++sweep) {
        bool done = true;
        double sweepStep = 0.0;
        std::fill(h.begin(), h.end(), 5.0);
        // No full refresh of the probabilities: every Newton step below
        // first recomputes the items it reads, and only those.
        for (int p = 0; p < P; ++p) {
            if (at(est.anchored, p)) continue;
            session.statusText(rules.status + itoMString(p + rules.firstNumber), 0);
            if (session.pollForStop()) return -1;
            const auto& items = at(work.parameterItems, p);
            const auto& values = at(work.parameterValues, p);
            for (int j = 1;; ++j) {
                // Refresh the items this parameter moves.
                for (std::int32_t i : items) {
                    for (int k = 0; k < at(work.ncat, i); ++k) {
                        const std::size_t row = work.row(i, k);
                        double a = 0.0;
                        for (std::size_t e = work.designStart[row]; e < work.designStart[row + 1]; ++e)
                            a += work.designEntries[e].value * est.xsi[work.designEntries[e].parameter][0];
                        work.axsi[row] = a;
                    }
                    itemProbabilities(work, i, theta, true);
                }
                double g = est.sufficient.isEmpty() ? 0.0 : est.sufficient[p][0];
                double H = 0.0;
                for (std::size_t n = 0; n < items.size(); ++n) {
                    const int i = items[n];
                    std::fill(sa.begin(), sa.end(), 0.0);
                    std::fill(sa2.begin(), sa2.end(), 0.0);
                    for (int k = at(work.first, i); k < at(work.ncat, i); ++k) {
                        const double a = values[n * maxCat + k];
                        if (a == 0.0) continue;
                        const double* pr = work.probRow(i, k);
                        const double a2 = a * a;
                        for (int q = 0; q < Q; ++q) {
                            at(sa, q) += a * pr[q];
                            at(sa2, q) += a2 * pr[q];
                        }
                    }
                    const double* r = work.expectedRow(i);
                    double e1 = 0.0, e23 = 0.0;
                    for (int q = 0; q < Q; ++q) {
                        const double v = at(sa, q);
                        e1 += r[q] * v;
                        e23 += r[q] * (v * v - at(sa2, q));
                    }
                    g -= e1;
                    H += e23;
                }
                const double L = H == 0.0 ? 0.0001 : -1.0 / H;
                est.itemErrors[p][0] = std::fabs(L);
                double delta = L * g;
                // A step that is not a number would poison every later estimate.
                if (!std::isfinite(delta)) delta = 0.0;
                while (std::fabs(delta) > at(h, p)) delta /= 2.0;
                if (delta != 0.0) at(h, p) = std::fabs(delta);
                bool last = false;
                if (std::fabs(delta) < convergence)
                    last = true;
                else if (rules.populationFlags && work.regressionConverged && work.covarianceConverged)
                    done = false;
                if (j > innerloops) last = true;
                largestStep = std::max(largestStep, std::fabs(delta));
                sweepStep = std::max(sweepStep, std::fabs(delta));
                est.xsi[p][0] += delta;
                if (last) break;
            }
        }
        // Every parameter moves the items it shares with others (the last
        // item under the default constraints), so one sweep leaves the
        // others off their optimum; sweeping until no step reaches the
        // criterion completes the M-step and saves many E-step passes.
        if (sweepStep >= convergence && sweep + 1 < kMaxSweeps) done = false;
        if (done) break;
    }
    return 1;
}

int populationUpdate(Session& session, EstimationWork& work, const Matrix& U, const Matrix& S,
                     const std::vector<double>& T, double n) {
    EstimationState& est = session.ws.est;
    const int D = work.D, R = work.R;
    est.beta = U * est.yyInverse;
    est.sigma = (S - est.beta * transpose(U)) / n;
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r)
            if (est.regressionAnchors[d][r] < 9998.0) est.beta[d][r] = est.regressionAnchors[d][r];
    for (int d = 0; d < D; ++d)
        for (int e = 0; e < D; ++e)
            if (est.covarianceAnchors[d][e] < 9998.0) est.sigma[d][e] = est.covarianceAnchors[d][e];
    for (int d = 0; d < D; ++d)
        if (!(est.sigma[d][d] > 0.0)) {
            session.errorReport("The variance estimate of dimension " + itoMString(d + 1) +
                                " has become negative. Try increasing the number, or range of, the nodes");
            return -1;
        }
    auto rowLabel = [&](int d) {
        MString label = dimensionLabel(session, d);
        if (label.length() > 11) label = label.mid(0, 11) + "..";
        while (label.length() < 13) label += " ";
        return label;
    };
    MString text = "\r\n";
    text += D == 1 ? "Variance Estimate:" : "Covariance Estimates:";
    text += "\r\n";
    for (int d = 0; d < D; ++d) {
        text += rowLabel(d);
        for (int e = 0; e < D; ++e) text += fmtNumber("%10.5f", est.sigma[d][e]);
        text += "\r\n";
    }
    if (D > 1) {
        text += "\r\nCorrelation Estimates:\r\n";
        for (int d = 0; d < D; ++d) {
            text += rowLabel(d);
            for (int e = 0; e < D; ++e)
                text += fmtNumber("%10.5f", est.sigma[d][e] / std::sqrt(est.sigma[d][d] * est.sigma[e][e]));
            text += "\r\n";
        }
    }
    text += "\r\n\r\n";
    text += R > 1 ? "Regression coefficients" : (D == 1 ? "Mean:" : "Means:");
    text += "\r\n";
    for (int d = 0; d < D; ++d) {
        text += rowLabel(d);
        for (int r = 0; r < R; ++r) text += fmtNumber("%10.5f", est.beta[d][r]);
        text += "\r\n";
    }
    session.appendIterationReport(text);

    float low = 1000.0f, high = -1000.0f;
    for (int d = 0; d < D; ++d) {
        const double mean = T[static_cast<std::size_t>(d)] / n;
        const double sd = std::sqrt(est.sigma[d][d]);
        high = std::max(high, static_cast<float>(4.0 * sd + mean));
        low = std::min(low, static_cast<float>(mean - 4.0 * sd));
    }
    est.displayLow = low;
    est.displayHigh = high;
    est.displayWidth = (high - low) / 60.0f;
    return 1;
}

}  // namespace ordena
