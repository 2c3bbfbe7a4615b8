// Joint maximum likelihood: the driver, the case update and the item update.
#include "estimation/jml.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

#include "base/number_format.h"
#include "base/timing.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/case_estimates.h"
#include "estimation/case_newton.h"
#include "estimation/case_pass.h"
#include "estimation/case_score_file.h"
#include "estimation/case_scores.h"
#include "estimation/estimation_work.h"
#include "estimation/hooks.h"
#include "estimation/mstep.h"
#include "estimation/probabilities.h"
#include "estimation/setup.h"
#include "estimation/sufficient_statistics.h"

namespace ordena {

namespace {

// The latent scale of the maps: no population model gives a better one.
constexpr float kDisplayLow = -4.0f;
constexpr float kDisplayHigh = 4.0f;
constexpr float kDisplayWidth = 0.13333334f;

using Index = std::size_t;

// What the iterations keep per case (N x D values, case-major).
struct JmlCases {
    int N = 0, D = 1;
    std::vector<double> maximum;      // maximum scores
    std::vector<double> adjusted;     // raw scores with zero/perfect applied
    std::vector<double> theta;        // current estimates
    std::vector<double> information;  // N x D x D, at the last Newton step
    std::vector<char> valid;          // 0 after the check found a dimension without data
    std::vector<char> failed;         // 1 while the last Newton run of the case failed
    // Cases with the same responses and scores start every update from the
    // same estimate and so reach the same one: the Newton iterations run
    // once per group and are reused by the others.
    std::vector<std::int32_t> group;
    int groups = 0;

    double* thetaOf(int n) { return theta.data() + static_cast<Index>(n) * D; }
    const double* thetaOf(int n) const { return theta.data() + static_cast<Index>(n) * D; }
};

struct CaseChanges {
    std::vector<double> largest, mean;
    std::vector<std::int32_t> at;  // case number from 1
};

struct ItemChanges {
    double largest = 0.0;  // previous - current, largest by absolute value
    double mean = 0.0;
    int at = 0;  // parameter number from 1
};

std::string bytesOf(const void* data, std::size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

double caseWeight(const EstimationWork& work, int n) {
    const double* rec = work.caseRecord(n);
    return rec ? rec[0] : 1.0;
}

// Set-up: the item parameters start at zero, item anchors and initial
// values apply; the population model has no place here, so beta and sigma
// only carry the dimensions for the reports.
int jmlSetup(Session& session, EstimationWork& work) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    const int P = ws.build.parameterCount();
    loadModel(work, ws.build, P);
    work.R = 1;
    work.method = EstimationMethod::Jml;
    work.discrete = false;
    startEstimationState(est, work.D, 1, P);
    est.deviance = 0.0;
    est.earlierSolutionBetter = false;
    est.mleSummary.available = est.wleSummary.available = false;
    est.gwt = est.previousGwt = est.bestGwt = Vector();
    est.nodeGrid = est.baseGrid = Matrix();
    est.nodeCount = 0;
    for (const AnchorEntry& a : est.anchors)
        if (applyItemAnchor(session, a, P) != 1) return -1;
    work.allAnchored = P == 0 || est.anchoredCount >= P;
    work.itemNo.assign(kMaxCaseResponses + 1, 0);
    work.rsp.assign(kMaxCaseResponses + 1, 0);
    return 1;
}

// The weight factor from the case weights in memory. Its failures are
// reported; the estimation goes on with the factor it had.
int ComputeWeightFactor(Session& session, const EstimationWork& work) {
    session.statusText("Read case information file", 0);
    double sum = 0.0;
    long long count = 0;
    for (int n = 0; n < session.ws.data.passes.cases; ++n) {
        const double* rec = work.caseRecord(n);
        if (!rec) break;
        sum += rec[0];
        if (rec[0] != 0.0) ++count;
    }
    if (count == 0) {
        session.errorReport("No valid students were found");
        return -1;
    }
    if (sum == 0.0) {
        session.errorReport("The sum of the student weights is zero");
        return -1;
    }
    session.ws.est.weightFactor = static_cast<double>(count) / sum;
    return 1;
}

// The scores of every case from the case score file, and the groups of
// cases that share responses and scores.
int loadCases(Session& session, const EstimationWork& work, const CaseResponses& responses, JmlCases& cases) {
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    const int N = std::min(records.N, static_cast<int>(responses.start.size()) - 1);
    const int D = work.D;
    cases.N = std::max(0, N);
    cases.D = D;
    const Index values = static_cast<Index>(cases.N) * D;
    cases.maximum.assign(values, 0.0);
    cases.adjusted.assign(values, 0.0);
    cases.theta.assign(values, 0.0);
    cases.information.assign(values * D, 0.0);
    cases.valid.assign(static_cast<Index>(cases.N), 1);
    cases.failed.assign(static_cast<Index>(cases.N), 0);
    cases.group.assign(static_cast<Index>(cases.N), -1);
    const double z = session.ws.settings.zero_perfect;
    std::unordered_map<std::string, std::int32_t> groups;
    std::vector<double> raw(static_cast<Index>(D)), maximum(static_cast<Index>(D));
    for (int n = 0; n < cases.N; ++n) {
        const double* r = records.record(n);
        for (int d = 0; d < D; ++d) {
            raw[static_cast<Index>(d)] = r[records.rawAt() + d];
            maximum[static_cast<Index>(d)] = r[records.maxAt() + d];
            // An estimate that is not there starts from 0.
            const double start = r[records.jmlAt() + d];
            cases.thetaOf(n)[d] = std::isfinite(start) ? start : 0.0;
        }
        adjustExtremeScores(z, raw, maximum);
        std::copy(raw.begin(), raw.end(), cases.adjusted.begin() + static_cast<std::ptrdiff_t>(n) * D);
        std::copy(maximum.begin(), maximum.end(), cases.maximum.begin() + static_cast<std::ptrdiff_t>(n) * D);
        std::string key = bytesOf(responses.of(n), sizeof(std::int32_t) * static_cast<Index>(responses.count(n)));
        key += bytesOf(raw.data(), sizeof(double) * raw.size());
        auto found = groups.emplace(std::move(key), static_cast<std::int32_t>(groups.size()));
        cases.group[static_cast<Index>(n)] = found.first->second;
    }
    cases.groups = static_cast<int>(groups.size());
    return 1;
}

// One Newton run per case from its current estimate, with the item
// parameters fixed. 1 when no case moved by more than the criterion, 0
// otherwise, -1 when the user stopped.
int caseUpdate(Session& session, EstimationWork& work, const CaseResponses& responses, JmlCases& cases, int t,
               CaseChanges& changes) {
    EstimationState& est = session.ws.est;
    const int N = cases.N, D = cases.D;
    const bool wle = est.caseEstimateType == kCaseWle;
    (wle ? est.wleSummary : est.mleSummary).reset(D, kDisplayLow, kDisplayHigh, kDisplayWidth);
    computeAXsi(work, est.xsi);
    const double criterion = est.options.convergence;
    changes.largest.assign(static_cast<Index>(D), 0.0);
    changes.mean.assign(static_cast<Index>(D), 0.0);
    changes.at.assign(static_cast<Index>(D), 0);
    bool converged = true;

    struct Cached {
        bool have = false;
        std::vector<double> start, theta, information;
    };
    std::vector<Cached> cache(static_cast<Index>(cases.groups));
    std::vector<double> score(static_cast<Index>(D)), theta, covariance, information;
    std::vector<double> maximum(static_cast<Index>(D));
    Stopwatch statusClock;
    for (int n = 0; n < N; ++n) {
        if (session.pollForStop()) return -1;
        if (caseWeight(work, n) == 0.0) continue;
        const Index at = static_cast<Index>(n) * D;
        // Reported once: the scores do not change from one iteration to the next.
        if (t == 1) {
            std::copy_n(cases.maximum.begin() + static_cast<std::ptrdiff_t>(at), D, maximum.begin());
            cases.valid[static_cast<Index>(n)] = checkCaseScores(session, n + 1, maximum) ? 1 : 0;
        }
        if (!cases.valid[static_cast<Index>(n)]) continue;
        double* old = cases.thetaOf(n);
        Cached& cached = cache[static_cast<Index>(cases.group[static_cast<Index>(n)])];
        char& failed = cases.failed[static_cast<Index>(n)];
        if (cached.have && std::equal(cached.start.begin(), cached.start.end(), old)) {
            theta = cached.theta;
            information = cached.information;
            failed = 0;
        } else {
            const int m = std::min(responses.count(n), kMaxCaseResponses);
            std::copy_n(responses.of(n), m, work.itemNo.begin());
            std::copy_n(cases.adjusted.begin() + static_cast<std::ptrdiff_t>(at), D, score.begin());
            theta.assign(old, old + D);
            int iterations = 0;
            const bool ok =
                caseNewtonFrom(session, work, m, score, wle, n + 1, theta, covariance, information, &iterations);
            // A case whose iterations failed keeps its estimate for the item
            // update; it is written as missing unless a later update mends it.
            failed = ok ? 0 : 1;
            if (!ok) {
                theta.assign(old, old + D);
                information.assign(cases.information.begin() + static_cast<std::ptrdiff_t>(at) * D,
                                   cases.information.begin() + static_cast<std::ptrdiff_t>(at + D) * D);
            }
            // A case that drew a warning is not reused: the others of its
            // group draw their own.
            cached.have = ok && iterations < 10;
            if (cached.have) {
                cached.start.assign(old, old + D);
                cached.theta = theta;
                cached.information = information;
            }
        }
        for (int d = 0; d < D; ++d) {
            const double change = std::fabs(theta[static_cast<Index>(d)] - old[d]);
            changes.mean[static_cast<Index>(d)] += change;
            if (change > changes.largest[static_cast<Index>(d)]) {
                changes.largest[static_cast<Index>(d)] = change;
                changes.at[static_cast<Index>(d)] = n + 1;
                if (change > criterion) converged = false;
            }
            old[d] = theta[static_cast<Index>(d)];
        }
        std::copy(information.begin(), information.end(),
                  cases.information.begin() + static_cast<std::ptrdiff_t>(at) * D);
        if (statusClock.seconds() >= 1.0) {
            session.statusText(progressText("Updating Case MLEs: ", n, N), 0);
            statusClock.restart();
        }
    }
    for (double& mean : changes.mean) mean = N > 0 ? mean / N : 0.0;
    session.statusText(" ", 0);
    return converged ? 1 : 0;
}

// The item parameters by the M-step's Newton sweeps, at the case estimates:
// each distinct estimate is a point whose weight for an item is the summed
// weight of the responses given to it there.
int itemUpdate(Session& session, EstimationWork& work, const CaseResponses& responses, const JmlCases& cases,
               ItemChanges& changes) {
    EstimationState& est = session.ws.est;
    est.previousXsi = est.xsi;
    const int N = cases.N, D = cases.D, I = work.I;
    std::unordered_map<std::string, int> pointOf;
    std::vector<int> point(static_cast<Index>(N), -1);
    std::vector<double> points;  // Q x D
    for (int n = 0; n < N; ++n) {
        if (caseWeight(work, n) == 0.0 || responses.count(n) == 0) continue;
        auto found = pointOf.emplace(bytesOf(cases.thetaOf(n), sizeof(double) * D), static_cast<int>(pointOf.size()));
        if (found.second) points.insert(points.end(), cases.thetaOf(n), cases.thetaOf(n) + D);
        point[static_cast<Index>(n)] = found.first->second;
    }
    const int Q = static_cast<int>(pointOf.size());
    work.Q = Q;
    work.expected.assign(static_cast<Index>(I + 1) * Q, 0.0);
    for (int n = 0; n < N; ++n) {
        const int q = point[static_cast<Index>(n)];
        if (q < 0) continue;
        const double w = caseWeight(work, n) * est.weightFactor;
        const std::int32_t* items = responses.of(n);
        for (int r = 0; r < responses.count(n); ++r)
            if (items[r] >= 0 && items[r] < I) work.expected[static_cast<Index>(items[r]) * Q + q] += w;
    }
    std::vector<double> theta(static_cast<Index>(D) * Q);
    for (int q = 0; q < Q; ++q)
        for (int d = 0; d < D; ++d) theta[static_cast<Index>(d) * Q + q] = points[static_cast<Index>(q) * D + d];
    work.prob.assign(static_cast<Index>(I) * work.maxCat * Q, 0.0);
    double largestStep = 0.0;
    if (itemNewtonSweeps(session, work, theta, ItemSweepRules{"JML: Updating Parameter ", 1, false}, largestStep) != 1)
        return -1;

    // The first of equal largest changes is the one reported.
    changes = ItemChanges{};
    const int P = est.parameters();
    for (int p = 0; p < P; ++p) {
        const double change = est.previousXsi[p][0] - est.xsi[p][0];
        changes.mean += std::fabs(change);
        if (p == 0 || std::fabs(change) > std::fabs(changes.largest)) {
            changes.largest = change;
            changes.at = p + 1;
        }
    }
    if (P > 0) changes.mean /= P;
    return 1;
}

// Without a population model nothing else fixes the origin of the scale
// under the cases constraint: the case estimates of every dimension are
// moved to a weighted mean of zero, the one restriction the parameter count
// of the summary takes away from the N case parameters.
// The changes of the case update counted again from the estimates before
// it, once they are centred: the shift of the origin is no change of the
// identified estimates. 1 when no case moved by more than the criterion.
int recountCaseChanges(const EstimationWork& work, const std::vector<double>& before, const JmlCases& cases,
                       double criterion, CaseChanges& changes) {
    const int N = cases.N, D = cases.D;
    changes.largest.assign(static_cast<Index>(D), 0.0);
    changes.mean.assign(static_cast<Index>(D), 0.0);
    changes.at.assign(static_cast<Index>(D), 0);
    bool converged = true;
    for (int n = 0; n < N; ++n) {
        if (caseWeight(work, n) == 0.0 || !cases.valid[static_cast<Index>(n)]) continue;
        for (int d = 0; d < D; ++d) {
            const double change = std::fabs(cases.thetaOf(n)[d] - before[static_cast<Index>(n) * D + d]);
            changes.mean[static_cast<Index>(d)] += change;
            if (change > changes.largest[static_cast<Index>(d)]) {
                changes.largest[static_cast<Index>(d)] = change;
                changes.at[static_cast<Index>(d)] = n + 1;
                if (change > criterion) converged = false;
            }
        }
    }
    for (double& mean : changes.mean) mean = N > 0 ? mean / N : 0.0;
    return converged ? 1 : 0;
}

void centreCases(const EstimationWork& work, JmlCases& cases) {
    for (int d = 0; d < cases.D; ++d) {
        double sum = 0.0, weights = 0.0;
        for (int n = 0; n < cases.N; ++n) {
            const double w = caseWeight(work, n);
            if (w == 0.0 || !cases.valid[static_cast<Index>(n)]) continue;
            sum += w * cases.thetaOf(n)[d];
            weights += w;
        }
        if (!(weights > 0.0)) continue;
        const double mean = sum / weights;
        for (int n = 0; n < cases.N; ++n)
            if (caseWeight(work, n) != 0.0 && cases.valid[static_cast<Index>(n)]) cases.thetaOf(n)[d] -= mean;
    }
}

MString caseChangeLines(const CaseChanges& c) {
    MString text = "\r\nChanges:\r\nMaximum for case parameter estimates ==> ";
    for (std::size_t d = 0; d < c.largest.size(); ++d)
        text += printFormat("%10.5f", c.largest[d]) + " (Case: " + itoMString(c.at[d]) + ")";
    text += "\r\nAverage for case parameter estimates ==> ";
    for (double mean : c.mean) text += printFormat("%10.5f", mean);
    return text + "\r\n";
}

// The inverse of a D x D information matrix (row-major); zeros when it has
// none (a case that was never estimated).
std::vector<double> inverseOf(const std::vector<double>& information, int D) {
    std::vector<double> out(static_cast<Index>(D) * D, 0.0);
    if (D == 1) {
        if (information[0] > 0.0) out[0] = 1.0 / information[0];
        return out;
    }
    Matrix m(D, D), inv(D, D);
    for (int a = 0; a < D; ++a)
        for (int b = 0; b < D; ++b) m[a][b] = information[static_cast<Index>(a) * D + b];
    if (invertInto(m, inv) == 0.0) return out;
    for (int a = 0; a < D; ++a)
        for (int b = 0; b < D; ++b) out[static_cast<Index>(a) * D + b] = inv[a][b];
    return out;
}

// The final estimates into the case score file: as JML estimates and, once
// a case update ran, as the case estimates of the kind it computed (MLE, or
// WLE when that type was chosen), with their summary for the maps.
int storeCaseEstimates(Session& session, const EstimationWork& work, const JmlCases& cases) {
    EstimationState& est = session.ws.est;
    const bool wle = est.caseEstimateType == kCaseWle;
    const bool updated = est.iteration > 0;
    DistributionSummary& summary = wle ? est.wleSummary : est.mleSummary;
    const int D = cases.D;
    if (updated) summary.reset(D, kDisplayLow, kDisplayHigh, kDisplayWidth);
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    std::vector<double> information(static_cast<Index>(D) * D);
    const std::vector<double> missing(static_cast<Index>(D) * D, std::numeric_limits<double>::quiet_NaN());
    long long failures = 0;
    for (int n = 0; n < cases.N && records.valid(n); ++n) {
        double* r = records.record(n);
        // A case whose last Newton run failed has no estimate: NaN, never
        // the estimate it was left at.
        const bool failed = cases.failed[static_cast<Index>(n)] != 0;
        if (failed) ++failures;
        const double* theta = failed ? missing.data() : cases.thetaOf(n);
        std::copy_n(cases.information.begin() + static_cast<std::ptrdiff_t>(n) * D * D, D * D, information.begin());
        const std::vector<double> covariance = failed ? missing : inverseOf(information, D);
        const std::size_t kindAt = wle ? records.wleAt() : records.mleAt();
        const std::size_t kindCovAt = wle ? records.wleCovAt() : records.mleCovAt();
        for (int d = 0; d < D; ++d) r[records.jmlAt() + d] = theta[d];
        for (int j = 0; j < D * D; ++j) r[records.jmlCovAt() + j] = covariance[static_cast<Index>(j)];
        if (!updated) continue;
        for (int d = 0; d < D; ++d) r[kindAt + d] = theta[d];
        for (int j = 0; j < D * D; ++j) r[kindCovAt + j] = covariance[static_cast<Index>(j)];
        // Cases without an estimate stay off the maps.
        if (caseWeight(work, n) != 0.0 && cases.valid[static_cast<Index>(n)] && !failed)
            for (int d = 0; d < D; ++d) summary.add(d, theta[d]);
    }
    if (saveCaseScores(session, records) != 1) return -1;
    if (failures > 0)
        session.warningReport(itoMString(failures) + (failures == 1 ? " case has no " : " cases have no ") +
                              "JML estimate (Convergence failure): written as NA and left out of the summaries");
    if (updated) (wle ? est.wleAvailable : est.mleAvailable) = true;
    return 1;
}

}  // namespace

int jmlDriver(Session& session) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    EstimationWork work;
    if (jmlSetup(session, work) != 1) return -1;
    if (createCaseScoreFile(session, work.D) != 1) return -1;
    // The weights are read again by every case update, so a case information
    // file that cannot be read ends the estimation here.
    if (loadCaseInformation(session, work, "ComputeWeightFactor") != 1) return -1;
    ComputeWeightFactor(session, work);
    CaseResponses responses;
    if (sufficientStatistics(session, work, &responses) != 1) return -1;
    // As the marginal driver does: the design matrix named by an earlier
    // export statement is written before the iterations.
    if (writeDesignMatrixExport(session) != 1) return -1;

    est.options.fit = true;
    est.displayLow = kDisplayLow;
    est.displayHigh = kDisplayHigh;
    est.displayWidth = kDisplayWidth;
    JmlCases cases;
    if (loadCases(session, work, responses, cases) != 1) return -1;

    est.iteration = 0;
    est.terminationReason = kTerminateIterations;
    bool exportFailed = false;
    ProgressWindowScope progress(session, true);
    for (int t = 1; est.options.iterations > 0; ++t) {
        Stopwatch clock;
        session.appendIterationReport("\r\nIteration: " + itoMString(t) + "  ...........................\r\n");
        session.progressIteration(t);
        CaseChanges caseChanges;
        const bool centred = ws.settings.constraints == kConstraintsCases;
        const std::vector<double> before = centred ? cases.theta : std::vector<double>();
        int casesConverged = caseUpdate(session, work, responses, cases, t, caseChanges);
        if (casesConverged < 0) return -1;
        if (centred) {
            centreCases(work, cases);
            casesConverged = recountCaseChanges(work, before, cases, est.options.convergence, caseChanges);
        }
        session.appendIterationReport(caseChangeLines(caseChanges));
        // The progress window shows the largest change of the cases (first
        // dimension), then that of the items.
        ProgressChanges shown;
        shown.hasItem = false;
        shown.hasDeviance = !caseChanges.largest.empty();
        if (shown.hasDeviance) shown.deviance = caseChanges.largest[0];
        session.progressChanges(shown);
        ItemChanges itemChanges;
        const bool itemsUpdated = !work.allAnchored;
        if (itemsUpdated) {
            if (itemUpdate(session, work, responses, cases, itemChanges) != 1) return -1;
            session.appendIterationReport("Maximum for item parameter estimates ==> " +
                                          printFormat("%10.5f", itemChanges.largest) + " (Parameter: " +
                                          itoMString(itemChanges.at) + ")\r\n" +
                                          "Average for item parameter estimates ==> " +
                                          printFormat("%10.5f", itemChanges.mean) + "\r\n");
        }
        if (itemsUpdated) {
            shown.hasDeviance = false;
            shown.hasItem = true;
            shown.item = itemChanges.largest;
            session.progressChanges(shown);
        }
        if (ws.settings.update && writeParameterExports(session) == -1) exportFailed = true;
        writeJmlIterationLog(session, t,
                             JmlIterationChanges{caseChanges.largest, caseChanges.at, caseChanges.mean,
                                                 itemChanges.largest, itemChanges.at, itemChanges.mean});
        est.iteration = t;
        session.timing.addIteration(clock.seconds());
        if (casesConverged == 1 && itemsUpdated) {
            session.appendOutput("Model has converged iterations will terminate\r\n");
            est.terminationReason = kTerminateConverged;
            break;
        }
        if (t == est.options.iterations) {
            session.appendOutput("Maximum number of iterations has been reached\r\n");
            est.terminationReason = kTerminateIterations;
            break;
        }
    }

    progress.close();
    if (storeCaseEstimates(session, work, cases) != 1) return -1;
    est.estimated = 1;
    est.options.stdErr = StdErrMode::Quick;
    if (writeParameterExports(session) == -1) exportFailed = true;
    if (writeScoredDataExport(session) == -1) exportFailed = true;
    if (itemFitAfterEstimation(session, ws.build.importedDesign != 0) != 1) {
        session.errorReport("Fit computation has failed.");
        return -1;
    }
    // An export file that could not be written was reported where it
    // failed; the estimates stay, but the statement must not pass as done.
    if (exportFailed) return -1;
    session.statusText(" ", 0);
    return 1;
}

}  // namespace ordena
