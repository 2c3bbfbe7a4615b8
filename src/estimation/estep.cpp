// The E-step: one pass over the cases at the current estimates, each case's
// posterior added into the expected counts and the sums of the population
// update.
#include "estimation/estep.h"

#include <algorithm>
#include <cmath>

#include "base/index.h"
#include "base/number_format.h"
#include "base/timing.h"
#include "command/session.h"
#include "estimation/case_pass.h"
#include "estimation/factorised.h"
#include "estimation/kernels.h"
#include "estimation/mstep.h"
#include "estimation/nodes.h"
#include "estimation/population.h"
#include "estimation/posterior.h"
#include "estimation/probabilities.h"

namespace ordena {

namespace {

inline double dot(const double* a, const double* b, int n) {
    double s0 = 0.0, s1 = 0.0;
    int q = 0;
    for (; q + 1 < n; q += 2) {
        s0 += a[q] * b[q];
        s1 += a[q + 1] * b[q + 1];
    }
    if (q < n) s0 += a[q] * b[q];
    return s0 + s1;
}
bool positiveDefinite(const Matrix& a) {
    const int D = a.rows();
    for (int d = 0; d < D; ++d)
        if (!(a[d][d] > 0.0) || !std::isfinite(a[d][d])) return false;
    if (D == 1) return true;
    Vector lambda;
    Matrix V;
    int rotations = 0;
    jacobiEigen(a, D, lambda, V, rotations);
    for (int d = 0; d < D; ++d)
        if (!(lambda[d][0] > 0.0)) return false;
    return true;
}

// The Gauss-Hermite nodes are theta_q = mu + V diag(sqrt(lambda)) z_q, V and
// lambda the eigenvectors and eigenvalues of sigma, so the quadrature
// likelihood moves with sigma through both. With K = sum over cases and
// nodes of posterior (theta - mu) g' (g the score of the responses in
// theta) and, in the eigenbasis, K~ = V' K V, its gradient in sigma is
// V G V' with G_ii = K~_ii / (2 lambda_i) and, for i != j,
// G_ij = (K~_ji - K~_ij) / (2 (lambda_j - lambda_i)) (the turn of the
// eigenvectors). Returned: 2 sigma G sigma, the step that makes
// sigma + step / n the update of exact integration (where both forms
// agree). Eigenvalues too close for the turn to be defined take the
// symmetric form (K sigma + sigma K') / 2 for their pair.
Matrix covarianceScoreStep(const Matrix& K, const Matrix& sigma) {
    const int D = sigma.rows();
    Vector lambda;
    Matrix V;
    int rotations = 0;
    jacobiEigen(sigma, D, lambda, V, rotations);
    const Matrix Kt = transpose(V) * K * V;
    Matrix Jt(D, D);
    for (int i = 0; i < D; ++i) {
        const double li = lambda[i][0];
        Jt[i][i] = li * Kt[i][i];
        for (int j = 0; j < D; ++j) {
            if (j == i) continue;
            const double lj = lambda[j][0];
            if (std::fabs(lj - li) > 1e-4 * (std::fabs(li) + std::fabs(lj)))
                Jt[i][j] = li * lj * (Kt[j][i] - Kt[i][j]) / (lj - li);
            else
                Jt[i][j] = 0.5 * (lj * Kt[i][j] + li * Kt[j][i]);
        }
    }
    return V * Jt * transpose(V);
}

// What one pass of the E-step needs to know about itself.
struct EStepPlan {
    int D = 1, R = 1, Q = 0, nodes = 0, I = 0;
    bool mcRegression = false;  // Monte Carlo with regressors: each case shifts the nodes by its mean
    bool scoreForm = false;     // Gauss-Hermite, normal: the population update in its score form
    bool needCounts = false;    // the expected counts are wanted
    bool factorised = false;
    std::vector<double> theta;  // D x Q: the nodes the moments use (general computation)
};

// The sums of one chunk of cases, and of the whole pass.
struct EStepSums {
    double logLikelihood = 0.0, weightSum = 0.0, likelihoodWeight = 0.0;
    long long processed = 0, responses = 0, likelihoodCases = 0;
    std::vector<std::int32_t> failedCases;
    std::vector<double> expected;           // (I + 1) x nodes
    std::vector<double> U, S, T, G;         // D x R, D x D, D, Q
    std::vector<double> rawSum, rawMoment;  // score form: D, D x D
    std::vector<double> scoreG, scoreK;     // score form, factorised: D, D x D

    void start(const EStepPlan& plan, bool discrete) {
        logLikelihood = weightSum = likelihoodWeight = 0.0;
        processed = responses = likelihoodCases = 0;
        failedCases.clear();
        const std::size_t D = static_cast<std::size_t>(plan.D);
        expected.assign(plan.needCounts ? static_cast<std::size_t>(plan.I + 1) * plan.nodes : 0, 0.0);
        U.assign(D * plan.R, 0.0);
        S.assign(D * D, 0.0);
        T.assign(D, 0.0);
        G.assign(discrete ? static_cast<std::size_t>(plan.Q) : 0, 0.0);
        rawSum.assign(D, 0.0);
        rawMoment.assign(D * D, 0.0);
        scoreG.assign(D, 0.0);
        scoreK.assign(D * D, 0.0);
    }
    void add(const EStepSums& c) {
        logLikelihood += c.logLikelihood;
        weightSum += c.weightSum;
        likelihoodWeight += c.likelihoodWeight;
        likelihoodCases += c.likelihoodCases;
        processed += c.processed;
        responses += c.responses;
        failedCases.insert(failedCases.end(), c.failedCases.begin(), c.failedCases.end());
        auto addTo = [](std::vector<double>& to, const std::vector<double>& from) {
            for (std::size_t k = 0; k < to.size(); ++k) to[k] += from[k];
        };
        addTo(expected, c.expected);
        addTo(U, c.U);
        addTo(S, c.S);
        addTo(T, c.T);
        addTo(G, c.G);
        addTo(rawSum, c.rawSum);
        addTo(rawMoment, c.rawMoment);
        addTo(scoreG, c.scoreG);
        addTo(scoreK, c.scoreK);
    }
};

// A chunk's sums and the buffers its cases reuse.
struct EStepSlot {
    EStepSums sums;
    std::vector<double> likelihood, posterior, scratch, caseWeights, weighted;
    std::vector<double> y, caseMean, E, M, raw, G, K;
    FactorScratch factor;
};

// One case: its posterior, and what it adds to the sums.
void eStepCase(const EstimationWork& work, const EstimationState& est, const EStepPlan& plan, int caseNumber,
               const std::int32_t* items, const std::int32_t* categories, int m, EStepSlot& slot) {
    const int D = plan.D, R = plan.R, Q = plan.Q;
    EStepSums& sums = slot.sums;
    const double* rec = work.caseRecord(caseNumber);
    double w = rec ? rec[0] : 1.0;
    if (w == 0.0) return;
    std::fill(slot.y.begin(), slot.y.end(), 0.0);
    at(slot.y, 0) = 1.0;
    if (rec)
        for (int r = 0; r < R; ++r) at(slot.y, r) = rec[1 + r];
    w *= est.weightFactor;
    double* caseMean = slot.caseMean.data();
    std::fill_n(caseMean, D, 0.0);
    if (R >= 2)
        for (int d = 0; d < D; ++d) {
            double s = 0.0;
            for (int r = 0; r < R; ++r) s += est.beta[d][r] * at(slot.y, r);
            caseMean[d] = s;
        }
    double* E = slot.E.data();
    double* M = slot.M.data();
    double ll = 0.0;
    bool ok = true;
    if (plan.factorised) {
        const bool casePrior = work.factor.casePrior;
        ok = factorisedPosterior(work, items, categories, m, casePrior ? caseMean : nullptr, est.stepH, work.discrete,
                                 slot.factor, ll) == 1;
    } else {
        const double* weights = work.nodeWeights.data();
        if (R >= 2 && work.method == EstimationMethod::Quadrature) {
            ok = caseNodeWeights(work, est.nodeGrid, slot.caseMean, slot.caseWeights) == 1;
            weights = slot.caseWeights.data();
        }
        if (ok)
            ok = casePosterior(work, items, categories, m, weights, caseMean, est.stepH, slot.likelihood.data(),
                               slot.posterior.data(), slot.scratch.data(), ll) == 1;
    }
    ++sums.processed;
    if (!ok) {
        sums.failedCases.push_back(caseNumber);
        return;
    }
    sums.logLikelihood += w * ll;
    sums.likelihoodWeight += w;
    ++sums.likelihoodCases;
    sums.responses += m;
    const FactorGrid& f = work.factor;
    if (plan.needCounts) {
        // The weighted posterior, added into the rows of the case's items.
        const int nodes = plan.nodes;
        double* wpost = slot.weighted.data();
        if (plan.factorised) {
            const double* marginal = slot.factor.marginal.data();
            for (std::size_t k = 0; k < slot.factor.marginal.size(); ++k) wpost[k] = w * marginal[k];
        } else {
            const double* post = slot.posterior.data();
            for (int q = 0; q < Q; ++q) wpost[q] = w * post[q];
        }
        for (int r = 0; r < m; ++r) {
            const int item = items[r];
            double* e = sums.expected.data() + static_cast<std::size_t>(item) * nodes;
            const double* v = wpost;
            if (plan.factorised) v += static_cast<std::size_t>(at(f.itemDimension, item)) * nodes;
            if (nodes <= kInlineNodes)
                for (int q = 0; q < nodes; ++q) e[q] += v[q];
            else
                addInto(e, v, nodes);
        }
    }
    if (work.discrete) {
        const double* post = plan.factorised ? slot.factor.full.data() : slot.posterior.data();
        for (int q = 0; q < Q; ++q) at(sums.G, q) += w * post[q];
        return;
    }
    if (plan.factorised) {
        factorisedMoments(work, slot.factor, E, M);
    } else {
        const double* post = slot.posterior.data();
        const double* t = plan.theta.data();
        double* tmp = slot.weighted.data();  // free after the expected counts
        for (int j = 0; j < D; ++j) E[j] = dot(post, t + static_cast<std::size_t>(j) * Q, Q);
        for (int j = 0; j < D; ++j)
            for (int k = j; k < D; ++k) {
                const double* tj = t + static_cast<std::size_t>(j) * Q;
                const double* tk = t + static_cast<std::size_t>(k) * Q;
                for (int q = 0; q < Q; ++q) tmp[q] = tj[q] * tk[q];
                M[j * D + k] = M[k * D + j] = dot(post, tmp, Q);
            }
    }
    if (plan.mcRegression) {
        for (int j = 0; j < D; ++j)
            for (int k = 0; k < D; ++k)
                M[j * D + k] += caseMean[j] * E[k] + E[j] * caseMean[k] + caseMean[j] * caseMean[k];
        for (int j = 0; j < D; ++j) E[j] += caseMean[j];
    }
    for (int j = 0; j < D; ++j) {
        at(sums.T, j) += E[j];
        for (int r = 0; r < R; ++r) at(sums.U, j * R + r) += w * E[j] * at(slot.y, r);
        for (int k = 0; k < D; ++k) at(sums.S, j * D + k) += w * M[j * D + k];
    }
    if (plan.scoreForm) {
        double* raw = slot.raw.data();
        std::fill_n(raw, D, 0.0);
        for (int r = 0; r < m; ++r) {
            const double* b = work.scoreRow(items[r], categories[r]);
            for (int d = 0; d < D; ++d) raw[d] += b[d];
        }
        sums.weightSum += w;
        for (int d = 0; d < D; ++d) {
            at(sums.rawSum, d) += w * raw[d];
            for (int j = 0; j < D; ++j) at(sums.rawMoment, j * D + d) += w * raw[d] * (E[j] - at(work.shift, j));
        }
        if (plan.factorised) {
            double* G = slot.G.data();
            double* K = slot.K.data();
            factorisedExpectedScores(work, items, m, slot.factor, G, K);
            for (int d = 0; d < D; ++d) {
                at(sums.scoreG, d) += w * G[d];
                for (int j = 0; j < D; ++j) at(sums.scoreK, j * D + d) += w * K[j * D + d];
            }
        }
    }
}

}  // namespace

int EStep(Session& session, EstimationWork& work) {
    EstimationState& est = session.ws.est;
    Stopwatch clock;
    const int D = work.D, R = work.R, Q = work.Q;

    std::vector<double> mu(static_cast<std::size_t>(D), 0.0);
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r) at(mu, d) += est.beta[d][r];
    calcGwt(session, work, est.nodeGrid, mu, est.sigma, est.gwt);
    computeAXsi(work, est.xsi);
    workingGrid(session, work, est);

    EStepPlan plan;
    plan.D = D;
    plan.R = R;
    plan.Q = Q;
    plan.I = work.I;
    plan.mcRegression = work.method == EstimationMethod::MonteCarlo && R >= 2;
    // Under Gauss-Hermite quadrature the nodes move with the population
    // parameters, and the plain posterior moments then lead to a point that
    // is not the maximum of the quadrature likelihood. Their integration by
    // parts form (posterior expectations of the case's score), with the
    // turn of the nodes with the covariance's eigenvectors
    // (covarianceScoreStep), has the maximum as its fixed point; both are
    // the same for exact integration.
    // Its sums are linear in the cases, so they are formed from the
    // expected counts after the pass (or, dimension by dimension, case by
    // case).
    plan.scoreForm = work.method == EstimationMethod::Gauss && !work.discrete;
    prepareFactorisedPass(session, work);
    plan.factorised = work.factorised;
    plan.needCounts = !work.allAnchored || (plan.scoreForm && !plan.factorised);
    if (plan.factorised) {
        updateFactorProbabilities(session, work);
    } else if (!plan.mcRegression) {
        updateProbabilities(session, work, work.workGrid, work.shift);
    } else {
        monteCarloNumerators(work, work.mcRegressionNodes);
    }
    plan.nodes = work.probNodes;
    // Node coordinates, dimension-major: the working grid plus the shift,
    // or under Monte Carlo with regressors the regression nodes (each case
    // adds its own mean).
    if (!plan.factorised)
        plan.theta = plan.mcRegression ? thetaColumns(work, work.mcRegressionNodes, {})
                                       : thetaColumns(work, work.workGrid, work.shift);

    const int slotCount = casePassSlots(session);
    std::vector<EStepSlot> slots(static_cast<std::size_t>(slotCount));
    for (EStepSlot& slot : slots) {
        const std::size_t q = static_cast<std::size_t>(Q);
        if (!plan.factorised) {
            slot.likelihood.resize(q);
            slot.posterior.resize(q);
            slot.scratch.resize(plan.mcRegression ? 2 * q : 0);
        }
        slot.weighted.resize(plan.factorised ? static_cast<std::size_t>(D) * plan.nodes : q);
        slot.y.resize(static_cast<std::size_t>(R));
        slot.caseMean.resize(static_cast<std::size_t>(D));
        slot.E.resize(static_cast<std::size_t>(D));
        slot.M.resize(static_cast<std::size_t>(D) * D);
        slot.raw.resize(static_cast<std::size_t>(D));
        slot.G.resize(static_cast<std::size_t>(D));
        slot.K.resize(static_cast<std::size_t>(D) * D);
    }
    EStepSums total;
    total.start(plan, work.discrete);

    const long long N = session.ws.data.passes.cases;
    Stopwatch statusClock;
    CasePass pass;
    const std::int64_t table = plan.needCounts ? static_cast<std::int64_t>(work.I + 1) * plan.nodes : 0;
    const double perCase = meanResponses(session) * 2 * plan.nodes + (plan.factorised ? 4.0 * Q : 2.0 * Q);
    pass.chunkCases = chunkCasesFor(table + (work.discrete ? Q : 0), static_cast<std::int64_t>(perCase));
    pass.workPerCase = perCase;
    pass.polls = [&](int caseNumber) {
        const double* rec = work.caseRecord(caseNumber);
        return !rec || rec[0] != 0.0;
    };
    const auto cases = [&](int s, const CaseChunk& chunk) {
        EStepSlot& slot = at(slots, s);
        slot.sums.start(plan, work.discrete);
        for (int c = 0; c < chunk.count(); ++c)
            eStepCase(work, est, plan, chunk.caseNumber(c), chunk.itemsOf(c),
                      chunk.categoriesOf(c), chunk.responses(c), slot);
        return 1;
    };
    pass.stages.push_back({true, cases});
    const auto add = [&](int s, const CaseChunk&) {
        const EStepSums& sums = at(slots, s).sums;
        for (std::int32_t n : sums.failedCases)
            session.appendOutput("Error processing case " + itoMString(n + 1) + "\r\n");
        total.add(sums);
        if (statusClock.seconds() >= 1.0) {
            session.statusText(progressText("EStep: ", total.processed, N), 0);
            statusClock.restart();
        }
        return 1;
    };
    pass.stages.push_back({false, add});
    if (runCasePass(session, work, pass) != 1) return -1;
    const long long processed = total.processed;
    const long long failed = static_cast<long long>(total.failedCases.size());

    est.deviance = -2.0 * total.logLikelihood;
    est.likelihoodWeight = total.likelihoodWeight;
    est.likelihoodCases = total.likelihoodCases;
    session.appendIterationReport("Deviance = " + printFormat("%14.5f", est.deviance) + "\r\n");
    session.timing.addEStep(clock.seconds(), total.responses, Q);
    if (plan.factorised) ++session.timing.factorisedPasses;
    if (processed > 0 && failed == processed) {
        session.errorReport(MString("No cases could be successfully estimated. ") +
                            "Try increasing the number, or range of, the nodes");
        return -1;
    }
    if (processed == 0) {
        session.errorReport("No valid students were found");
        return -1;
    }
    if (failed > 0)
        session.errorReport(MString("One or more cases could not be successfully estimated. ") +
                            "Increasing the number, or range of, the nodes may be necessary");
    work.expected = std::move(total.expected);
    if (!plan.needCounts) work.expected.assign(static_cast<std::size_t>(work.I + 1) * plan.nodes, 0.0);
    Matrix U(D, R), S(D, D);
    for (int j = 0; j < D; ++j) {
        for (int r = 0; r < R; ++r) U[j][r] = at(total.U, j * R + r);
        for (int k = 0; k < D; ++k) S[j][k] = at(total.S, j * D + k);
    }
    if (!work.discrete) {
        if (plan.scoreForm) {
            // Sums over the cases of E[g] and E[(theta - mu) g']: the raw
            // scores minus the expected scores at the nodes, weighted by the
            // expected counts.
            std::vector<double> sumG = total.rawSum, sumK = total.rawMoment;
            if (plan.factorised) {
                for (int d = 0; d < D; ++d) at(sumG, d) -= at(total.scoreG, d);
                for (int k = 0; k < D * D; ++k) at(sumK, k) -= at(total.scoreK, k);
            } else {
                std::vector<double> sj(static_cast<std::size_t>(D));
                for (int i = 0; i < work.I; ++i) {
                    const double* r = work.expectedRow(i);
                    for (int k = at(work.first, i); k < at(work.ncat, i); ++k) {
                        const double* pr = work.probRow(i, k);
                        const double* b = work.scoreRow(i, k);
                        for (int d = 0; d < D; ++d) {
                            if (b[d] == 0.0) continue;
                            double s0 = 0.0;
                            std::fill(sj.begin(), sj.end(), 0.0);
                            for (int q = 0; q < Q; ++q) {
                                const double v = b[d] * pr[q] * r[q];
                                s0 += v;
                                for (int j = 0; j < D; ++j) at(sj, j) += v * work.workGrid[q][j];
                            }
                            at(sumG, d) -= s0;
                            for (int j = 0; j < D; ++j) at(sumK, j * D + d) -= at(sj, j);
                        }
                    }
                }
            }
            const double weightSum = total.weightSum;
            Matrix U2(D, R), S2(D, D), K(D, D);
            std::vector<double> dev(static_cast<std::size_t>(D));
            for (int j = 0; j < D; ++j) {
                double s = 0.0;
                for (int k = 0; k < D; ++k) {
                    s += est.sigma[j][k] * at(sumG, k);
                    K[j][k] = at(sumK, j * D + k);
                }
                at(dev, j) = s;
                U2[j][0] = weightSum * at(mu, j) + s;
            }
            const Matrix J = covarianceScoreStep(K, est.sigma);
            for (int j = 0; j < D; ++j)
                for (int k = 0; k < D; ++k)
                    S2[j][k] = weightSum * est.sigma[j][k] + J[j][k] + at(mu, j) * at(dev, k) +
                               at(dev, j) * at(mu, k) + weightSum * at(mu, j) * at(mu, k);
            if (positiveDefinite((S2 - (U2 * est.yyInverse) * transpose(U2)) / static_cast<double>(processed))) {
                U = U2;
                S = S2;
            }
        }
        if (populationUpdate(session, work, U, S, total.T, static_cast<double>(processed)) != 1) return -1;
    } else {
        // Divided by the cases that took part, so the weights sum to one
        // even when some cases have zero weight.
        double sum = 0.0;
        for (double g : total.G) sum += g;
        for (int q = 0; q < Q; ++q) est.gwt[q][0] = sum > 0.0 ? at(total.G, q) / sum : 0.0;
        est.gwt.write("Estimated Weights", 7);
    }
    if (work.method == EstimationMethod::MonteCarlo) {
        if (R == 1) {
            est.nodeGrid = transformNodes(session, est.baseGrid, est.sigma);
            for (int q = 0; q < Q; ++q)
                for (int d = 0; d < D; ++d) est.nodeGrid[q][d] += est.beta[d][0];
        } else {
            work.mcRegressionNodes = transformNodes(session, est.baseGrid, est.sigma);
        }
    }
    return 1;
}

}  // namespace ordena
