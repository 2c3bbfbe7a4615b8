#include "estimation/case_estimates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "base/timing.h"
#include "command/session.h"
#include "data/data_passes.h"
#include "data/response_reader.h"
#include "estimation/engine.h"

namespace ordena {

void CaseScoreRecords::setScores(int n, const std::vector<double>& raw, const std::vector<double>& maximum) {
    if (!valid(n)) return;
    double* r = record(n);
    for (int d = 0; d < D; ++d) {
        r[rawAt() + d] = raw[static_cast<std::size_t>(d)];
        r[maxAt() + d] = maximum[static_cast<std::size_t>(d)];
    }
}

void CaseScoreRecords::reshape(int newV) {
    if (newV == V) return;
    CaseScoreRecords out;
    out.D = D;
    out.V = newV;
    out.N = N;
    out.data.assign(out.recordSize() * static_cast<std::size_t>(N), 0.0);
    for (int n = 0; n < N; ++n) {
        const double* from = record(n);
        double* to = out.record(n);
        std::copy(from, from + plausibleAt(), to);
        for (int d = 0; d < D; ++d)
            for (int v = 0; v < std::min(V, newV); ++v)
                to[out.plausibleAt() + static_cast<std::size_t>(d) * newV + v] =
                    from[plausibleAt() + static_cast<std::size_t>(d) * V + v];
        std::copy(from + jmlAt(), from + recordSize(), to + out.jmlAt());
    }
    *this = std::move(out);
}

int createCaseScoreFile(Session& session, int dimensions) {
    EstimationState& est = session.ws.est;
    if (est.caseScoreFile == "unassigned") est.caseScoreFile = scratchFileName("scrf006.");
    CaseScoreRecords records;
    records.D = dimensions;
    records.V = std::max(0, session.ws.settings.n_plausible);
    records.N = std::max(0, session.ws.data.passes.cases);
    records.data.assign(records.recordSize() * static_cast<std::size_t>(records.N), 0.0);
    est.caseScorePlausible = records.V;
    return saveCaseScores(session, records);
}

int openCaseScores(Session& session, CaseScoreRecords& records) {
    const EstimationState& est = session.ws.est;
    records.D = std::max(1, est.dimensions());
    records.V = est.caseScorePlausible;
    records.N = std::max(0, session.ws.data.passes.cases);
    const std::size_t count = records.recordSize() * static_cast<std::size_t>(records.N);
    const int read = readDoubles(est.caseScoreFile, records.data, count);
    if (read != 1) {
        session.errorReport((read == 0 ? "Open failure to scratch file " : "Error reading scratch file ") +
                            est.caseScoreFile);
        return -1;
    }
    return 1;
}

int saveCaseScores(Session& session, const CaseScoreRecords& records) {
    EstimationState& est = session.ws.est;
    std::FILE* f = std::fopen(est.caseScoreFile.c_str(), "wb");
    if (!f) {
        session.errorReport("Open failure to scratch file " + est.caseScoreFile);
        return -1;
    }
    bool ok = records.data.empty() ||
              std::fwrite(records.data.data(), sizeof(double), records.data.size(), f) == records.data.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        session.errorReport("Error writing scratch file " + est.caseScoreFile);
        return -1;
    }
    est.caseScorePlausible = records.V;
    return 1;
}

int prepareCaseWork(Session& session, EstimationWork& work, EstimationMethod method) {
    const EstimationState& est = session.ws.est;
    loadModel(work, session.ws.build, est.parameters());
    work.R = std::max(1, session.ws.data.passes.caseInfoWidth - 1);
    work.method = method;
    work.discrete = est.options.distribution == Distribution::Discrete;
    if (loadCaseInformation(session, work) != 1) return -1;
    work.itemNo.assign(kMaxCaseResponses + 1, 0);
    work.rsp.assign(kMaxCaseResponses + 1, 0);
    computeAXsi(work, est.xsi);
    return 1;
}

namespace {

// A text output file that reports its own failures.
struct OutputFile {
    std::FILE* f = nullptr;
    ~OutputFile() {
        if (f) std::fclose(f);
    }
    void put(const MString& text) {
        if (f) std::fputs(text.c_str(), f);
    }
};

// Opens the file as the case outputs do: a test write first, then the file
// afresh (or for append in later simulation replications).
int openOutput(Session& session, const MString& name, OutputFile& out, const MString& openText,
               const MString& writeText) {
    if (session.ws.replication > 0) {
        out.f = std::fopen(name.c_str(), "ab");
    } else {
        std::FILE* t = std::fopen(name.c_str(), "wb");
        if (!t) {
            session.errorReport(openText);
            return -1;
        }
        bool ok = std::fputs("aaa\n", t) >= 0;
        ok = std::fclose(t) == 0 && ok;
        if (!ok) {
            session.errorReport(writeText);
            return -1;
        }
        std::remove(name.c_str());
        out.f = std::fopen(name.c_str(), "wb");
    }
    if (!out.f) {
        session.errorReport(openText);
        return -1;
    }
    return 1;
}

MString fmt(const char* format, double v) {
    return fmtNumber(format, v);
}

}  // namespace

int posteriorPass(Session& session, bool writeFile, const MString& fileName, int V) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    OutputFile out;
    if (writeFile &&
        openOutput(
            session, fileName, out,
            "Could not open the plausible value file.  Plausible values were not drawn. The file may be already open",
            "Could not write to the plausible value file.  Plausible values were not drawn. The file may be already "
            "open") != 1)
        return -1;
    const int D = std::max(1, est.dimensions());
    if (V > 0) est.plausibleSummary.reset(D, est.displayLow, est.displayHigh, est.displayWidth);
    est.eapSummary.reset(D, est.displayLow, est.displayHigh, est.displayWidth);

    EstimationWork work;
    if (prepareCaseWork(session, work, EstimationMethod::MonteCarlo) != 1) return -1;
    const int R = work.R;
    Matrix nodes;
    if (monteCarloPosteriorNodes(session, work, std::max(1, ws.settings.p_nodes), nodes) != 1) return -1;
    const int Q = work.Q;

    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    records.reshape(std::max(0, ws.settings.n_plausible));
    const int keep = std::min(V, records.V);

    Stopwatch statusClock;
    std::vector<double> mean(static_cast<std::size_t>(D)), eap(static_cast<std::size_t>(D));
    std::vector<double> W(static_cast<std::size_t>(D) * D);
    Matrix caseGrid;
    long long k = 0;
    const long long N = ws.data.passes.cases;
    const int visited = forEachCase(session, work, [&](int caseNumber, int m) {
        if (session.pollForStop()) {
            return -1;
        }
        const double* rec = work.caseRecord(caseNumber);
        if (rec && rec[0] == 0.0) m = 0;
        const Matrix* theta = &nodes;
        if (R >= 2) {
            for (int d = 0; d < D; ++d) {
                double s = 0.0;
                for (int r = 0; r < R; ++r) s += est.beta[d][r] * (rec ? rec[1 + r] : (r == 0 ? 1.0 : 0.0));
                mean[static_cast<std::size_t>(d)] = s;
            }
            caseGrid = nodes;
            for (int q = 0; q < Q; ++q)
                for (int d = 0; d < D; ++d) caseGrid[q][d] += mean[static_cast<std::size_t>(d)];
            theta = &caseGrid;
        }
        double ll = 0.0;
        if (casePosterior(work, m, work.nodeWeights, mean, 0.0f, ll) != 1) {
            session.appendOutput("error_FLAG=1 student " + itoMString(caseNumber + 1) + "\r\n");
        } else {
            const double* post = work.posterior.data();
            for (int j = 0; j < D; ++j) {
                double s = 0.0;
                for (int q = 0; q < Q; ++q) s += post[q] * (*theta)[q][j];
                eap[static_cast<std::size_t>(j)] = s;
            }
            for (int j = 0; j < D; ++j)
                for (int l = 0; l < D; ++l) {
                    double s = 0.0;
                    for (int q = 0; q < Q; ++q) s += post[q] * (*theta)[q][j] * (*theta)[q][l];
                    W[static_cast<std::size_t>(j) * D + l] =
                        s - eap[static_cast<std::size_t>(j)] * eap[static_cast<std::size_t>(l)];
                }
            if (writeFile) {
                char head[32];
                std::snprintf(head, sizeof head, "%5d", caseNumber + 1);
                out.put(MString(head) + "  " + caseIdentifier(session, caseNumber));
            }
            double* r = records.valid(caseNumber) ? records.record(caseNumber) : nullptr;
            for (int v = 1; v <= V; ++v) {
                const int chosen = drawNode(post, Q, session.uniform.draw());
                if (writeFile) {
                    char line[32];
                    std::snprintf(line, sizeof line, "\n %3d        ", v);
                    out.put(line);
                }
                for (int d = 0; d < D; ++d) {
                    const double value = (*theta)[chosen][d];
                    if (writeFile) out.put(fmt("%6.2lf", value));
                    if (r && v <= keep)
                        r[records.plausibleAt() + static_cast<std::size_t>(d) * records.V + (v - 1)] = value;
                    est.plausibleSummary.add(d, value);
                }
            }
            if (r) {
                for (int d = 0; d < D; ++d) r[records.eapAt() + d] = eap[static_cast<std::size_t>(d)];
                for (int j = 0; j < D * D; ++j) r[records.posteriorCovAt() + j] = W[static_cast<std::size_t>(j)];
            }
            for (int d = 0; d < D; ++d) est.eapSummary.add(d, eap[static_cast<std::size_t>(d)]);
            if (writeFile) {
                MString text;
                if (est.caseEstimateType == kCaseEap) {
                    for (int d = 0; d < D; ++d) {
                        const double w = W[static_cast<std::size_t>(d) * D + d];
                        text += fmt("%10.5f ", eap[static_cast<std::size_t>(d)]) +
                                fmt("%10.5f ", std::sqrt(std::max(0.0, w))) + fmt("%10.5f ", 1.0 - w / est.sigma[d][d]);
                    }
                } else {
                    text += "\n";
                    for (int d = 0; d < D; ++d) text += fmt("%10.5lf ", eap[static_cast<std::size_t>(d)]);
                    text += "\n";
                    for (int d = 0; d < D; ++d)
                        text += fmt("%10.5lf ", std::sqrt(std::max(0.0, W[static_cast<std::size_t>(d) * D + d])));
                }
                out.put(text + "\n");
            }
        }
        ++k;
        if (statusClock.seconds() >= 1.0) {
            session.statusText(progressText("Constructing Posteriors: ", k, N), 0);
            statusClock.restart();
        }
        return 1;
    });
    if (visited != 1) return -1;
    if (writeFile && out.f && std::ferror(out.f)) {
        session.errorReport(
            "Could not write to the plausible value file.  Plausible values were not drawn. The file may be already "
            "open");
        return -1;
    }
    if (saveCaseScores(session, records) != 1) return -1;
    est.eapAvailable = true;
    if (V > 0) est.plausibleAvailable = true;
    return 1;
}

bool caseNewton(Session& session, const EstimationWork& work, int m, const std::vector<double>& score, bool wle,
                int caseNumber, std::vector<double>& theta, std::vector<double>& covariance,
                std::vector<double>& information) {
    theta.assign(static_cast<std::size_t>(work.D), 0.0);
    return caseNewtonFrom(session, work, m, score, wle, caseNumber, theta, covariance, information, nullptr);
}

bool caseNewtonFrom(Session& session, const EstimationWork& work, int m, const std::vector<double>& score, bool wle,
                    int caseNumber, std::vector<double>& theta, std::vector<double>& covariance,
                    std::vector<double>& information, int* iterations) {
    const int D = work.D, maxCat = work.maxCat;
    const double criteria = session.ws.settings.mle_criteria;
    const double bound = session.ws.settings.mle_max;
    theta.resize(static_cast<std::size_t>(D), 0.0);
    std::vector<double> hPrev(static_cast<std::size_t>(D), 10.0), g(static_cast<std::size_t>(D)),
        J(static_cast<std::size_t>(D));
    std::vector<double> E(static_cast<std::size_t>(D)), p(static_cast<std::size_t>(maxCat)),
        delta(static_cast<std::size_t>(D));
    Matrix Imat(D, D), V(D, D);
    for (int it = 1;; ++it) {
        if (iterations) *iterations = it;
        for (int a = 0; a < D; ++a)
            for (int b = 0; b < D; ++b) Imat[a][b] = 0.0;
        g = score;
        std::fill(J.begin(), J.end(), 0.0);
        for (int r = 0; r < m; ++r) {
            const int i = work.itemNo[static_cast<std::size_t>(r)];
            if (i < 0 || i >= work.I) continue;
            const int first = work.first[static_cast<std::size_t>(i)], ncat = work.ncat[static_cast<std::size_t>(i)];
            categoryProbabilities(work, i, theta.data(), p.data());
            std::fill(E.begin(), E.end(), 0.0);
            for (int a = 0; a < D; ++a)
                for (int b = 0; b < D; ++b) V[a][b] = 0.0;
            std::vector<double> T(static_cast<std::size_t>(D), 0.0);
            for (int x = first; x < ncat; ++x) {
                const double px = p[static_cast<std::size_t>(x)];
                const double* b = work.scores.data() + (static_cast<std::size_t>(i) * maxCat + x) * D;
                double bb = 0.0;
                for (int d = 0; d < D; ++d) bb += b[d] * b[d];
                for (int a = 0; a < D; ++a) {
                    E[static_cast<std::size_t>(a)] += px * b[a];
                    T[static_cast<std::size_t>(a)] += px * bb * b[a];
                    for (int c = 0; c < D; ++c) V[a][c] += px * b[a] * b[c];
                }
            }
            double ee = 0.0;
            for (int d = 0; d < D; ++d) ee += E[static_cast<std::size_t>(d)] * E[static_cast<std::size_t>(d)];
            for (int a = 0; a < D; ++a) {
                for (int c = 0; c < D; ++c)
                    Imat[a][c] += V[a][c] - E[static_cast<std::size_t>(a)] * E[static_cast<std::size_t>(c)];
                g[static_cast<std::size_t>(a)] -= E[static_cast<std::size_t>(a)];
                if (wle) {
                    double ve = 0.0;
                    for (int c = 0; c < D; ++c) ve += V[a][c] * E[static_cast<std::size_t>(c)];
                    J[static_cast<std::size_t>(a)] +=
                        T[static_cast<std::size_t>(a)] - 3.0 * ve + 2.0 * E[static_cast<std::size_t>(a)] * ee;
                }
            }
        }
        Matrix inv;
        if (D == 1) {
            if (Imat[0][0] != 0.0 && std::isfinite(Imat[0][0])) {
                inv = Matrix(1, 1);
                inv[0][0] = 1.0 / Imat[0][0];
            }
        } else {
            Matrix out(D, D);
            if (invertInto(Imat, out) != 0.0) inv = out;
        }
        if (inv.isEmpty()) {
            // No information at this point: nothing can move the estimate.
            session.errorReport("Convergence failure for case " + itoMString(caseNumber));
            std::fill(theta.begin(), theta.end(), 0.0);
            covariance.assign(static_cast<std::size_t>(D) * D, 0.0);
            information.assign(static_cast<std::size_t>(D) * D, 0.0);
            return false;
        }
        if (wle)
            for (int a = 0; a < D; ++a) {
                double s = 0.0;
                for (int c = 0; c < D; ++c) s += inv[a][c] * J[static_cast<std::size_t>(c)];
                g[static_cast<std::size_t>(a)] += s / 2.0;
            }
        for (int a = 0; a < D; ++a) {
            double s = 0.0;
            for (int c = 0; c < D; ++c) s += inv[a][c] * g[static_cast<std::size_t>(c)];
            if (std::fabs(s) > 3.0) s = s > 0.0 ? 3.0 : -3.0;
            delta[static_cast<std::size_t>(a)] = s;
        }
        double size = 0.0;
        for (int a = 0; a < D; ++a) {
            double& d = delta[static_cast<std::size_t>(a)];
            const double hp = hPrev[static_cast<std::size_t>(a)];
            while (std::fabs(d) > std::fabs(hp) && hp != 0.0) d /= 2.0;
            double& t = theta[static_cast<std::size_t>(a)];
            t += d;
            if (std::fabs(t) > bound) t = t > 0.0 ? bound : -bound;
            hPrev[static_cast<std::size_t>(a)] = d;
            size += d * d;
        }
        covariance.assign(static_cast<std::size_t>(D) * D, 0.0);
        information.assign(static_cast<std::size_t>(D) * D, 0.0);
        for (int a = 0; a < D; ++a)
            for (int c = 0; c < D; ++c) {
                covariance[static_cast<std::size_t>(a) * D + c] = inv[a][c];
                information[static_cast<std::size_t>(a) * D + c] = Imat[a][c];
            }
        if (it % 10 == 0) {
            session.warningReport("Convergence trouble for case " + itoMString(caseNumber));
            if (it >= 100) {
                session.errorReport("Convergence failure for case " + itoMString(caseNumber));
                std::fill(theta.begin(), theta.end(), 0.0);
                return false;
            }
        }
        if (size <= criteria) return true;
    }
}

int caseMlePass(Session& session, bool writeFile, const MString& fileName) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    const bool wle = est.caseEstimateType == kCaseWle;
    OutputFile out;
    if (writeFile) {
        MString openText = wle ? "Could not open the WARM value file. The file may be already open"
                               : "Could not open the MLE value file. The file may be already open";
        MString writeText = wle ? "Could not write to the WARM value file. The file may be already open"
                                : "Could not write to the MLE value file. The file may be already open";
        if (openOutput(session, fileName, out, openText, writeText) != 1) return -1;
    }
    const int D = std::max(1, est.dimensions());
    DistributionSummary& summary = wle ? est.wleSummary : est.mleSummary;
    summary.reset(D, est.displayLow, est.displayHigh, est.displayWidth);

    EstimationWork work;
    if (prepareCaseWork(session, work, est.method) != 1) return -1;
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    Stopwatch statusClock;
    std::vector<double> raw, maximum, theta, cov, info;
    const long long N = ws.data.passes.cases;
    const int visited = forEachCase(session, work, [&](int caseNumber, int m) {
        if (session.pollForStop()) {
            return -1;
        }
        const double* rec = work.caseRecord(caseNumber);
        if (!(rec && rec[0] == 0.0)) {
            MString text;
            if (writeFile) {
                char head[32];
                std::snprintf(head, sizeof head, "%7d", caseNumber + 1);
                text = MString(head) + "  " + caseIdentifier(session, caseNumber);
            }
            bool valid =
                caseScores(session, work, m, !wle, true, caseNumber + 1, raw, maximum, writeFile ? &text : nullptr);
            if (valid) {
                caseNewton(session, work, m, raw, wle, caseNumber + 1, theta, cov, info);
                if (records.valid(caseNumber)) {
                    double* r = records.record(caseNumber);
                    const std::size_t at = wle ? records.wleAt() : records.mleAt();
                    const std::size_t covAt = wle ? records.wleCovAt() : records.mleCovAt();
                    for (int d = 0; d < D; ++d) r[at + d] = theta[static_cast<std::size_t>(d)];
                    for (int j = 0; j < D * D; ++j) r[covAt + j] = cov[static_cast<std::size_t>(j)];
                }
                for (int d = 0; d < D; ++d) summary.add(d, theta[static_cast<std::size_t>(d)]);
                if (writeFile)
                    for (int d = 0; d < D; ++d) {
                        const double I = info[static_cast<std::size_t>(d) * D + d];
                        text += fmt("%10.5f ", theta[static_cast<std::size_t>(d)]) +
                                fmt("%10.5f ", I > 0.0 ? 1.0 / std::sqrt(I) : 0.0);
                    }
                if (statusClock.seconds() >= 1.0) {
                    session.statusText(progressText(wle ? "WLEs: " : "MLEs: ", caseNumber + 1, N), 0);
                    statusClock.restart();
                }
            }
            if (writeFile) out.put(text + "\n");
        }
        return 1;
    });
    if (visited != 1) return -1;
    if (writeFile && out.f && std::ferror(out.f)) {
        session.errorReport(wle ? "Could not write to the WARM value file. The file may be already open"
                                : "Could not write to the MLE value file. The file may be already open");
        return -1;
    }
    if (saveCaseScores(session, records) != 1) return -1;
    (wle ? est.wleAvailable : est.mleAvailable) = true;
    session.statusText(" ", 0);
    return 1;
}

int caseOutput(Session& session, const MString& fileName) {
    EstimationState& est = session.ws.est;
    int result = -1;
    switch (est.caseEstimateType) {
        case kCaseLatent:
        case kCaseEap: {
            const double deviance = est.deviance;
            const int V = est.caseEstimateType == kCaseEap ? 0 : session.ws.settings.n_plausible;
            result = posteriorPass(session, true, fileName, V);
            est.deviance = deviance;
            break;
        }
        case kCaseNone:
            session.errorReport("You must select the type of case estimate that you want");
            return -1;
        case kCaseWle:
        case kCaseMle:
            result = caseMlePass(session, true, fileName);
            break;
        default:
            session.errorReport("You must select the type of case estimate that you want");
            return -1;
    }
    session.statusText(" ", 0);
    return result;
}

}  // namespace ordena
