// Quick error variances and the full error covariance by Louis' method.
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/index.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/case_pass.h"
#include "estimation/nodes.h"
#include "estimation/posterior.h"
#include "estimation/probabilities.h"

namespace ordena {

namespace {
// The smallest eigenvalue of the information matrix below this share of the
// largest counts as zero.
constexpr double kSingularRatio = 1e-6;
}  // namespace

void quickStandardErrors(Session& session, const EstimationWork& work) {
    EstimationState& est = session.ws.est;
    const int D = work.D, R = work.R;
    est.regressionErrors = Matrix(R, D);
    for (int r = 0; r < R; ++r)
        for (int d = 0; d < D; ++d)
            est.regressionErrors[r][d] = est.yyInverse.isEmpty() ? 0.0 : est.sigma[d][d] * est.yyInverse[r][r];
    // With anchored coefficients the free ones are the regression on the
    // free regressors: their errors come from the inverse of that block of
    // the cross-products, and an anchored one has none. The constant that
    // constraints=cases anchors stands for the location the item
    // parameters take over, so it counts as free here.
    const bool casesConstant = session.ws.settings.constraints == kConstraintsCases;
    for (int d = 0; d < D && work.yy.rows() == R && est.regressionAnchors.rows() == D; ++d) {
        std::vector<int> free;
        for (int r = 0; r < R; ++r)
            if (!isAnchoredValue(est.regressionAnchors[d][r]) || (r == 0 && casesConstant)) free.push_back(r);
        if (static_cast<int>(free.size()) == R) continue;
        for (int r = 0; r < R; ++r) est.regressionErrors[r][d] = 0.0;
        const int F = static_cast<int>(free.size());
        if (F == 0) continue;
        Matrix block(F, F), inverse(F, F);
        for (int a = 0; a < F; ++a)
            for (int b = 0; b < F; ++b) block[a][b] = work.yy[at(free, a)][at(free, b)];
        double determinant = 0.0;
        if (invertWithDeterminant(block, inverse, F, determinant) != 1) continue;
        for (int a = 0; a < F; ++a) est.regressionErrors[at(free, a)][d] = est.sigma[d][d] * inverse[a][a];
    }
    est.covarianceErrors = Matrix(D, D);
    const double N = std::max(1, session.ws.data.passes.cases);
    for (int i = 0; i < D; ++i)
        for (int j = 0; j < D; ++j) est.covarianceErrors[i][j] = 2.0 * est.sigma[i][i] * est.sigma[j][j] / N;
}

int fullStandardErrors(Session& session, EstimationWork& work) {
    EstimationState& est = session.ws.est;
    const int P = work.P, R = work.R, Q = work.Q, I = work.I, maxCat = work.maxCat;
    const int K = P + R + 1;
    quickStandardErrors(session, work);

    std::vector<double> mu(1, 0.0);
    for (int r = 0; r < R; ++r) mu[0] += est.beta[0][r];
    calcGwt(session, work, est.nodeGrid, mu, est.sigma, est.gwt);
    computeAXsi(work, est.xsi);
    workingGrid(session, work, est);
    updateProbabilities(session, work, work.workGrid, work.shift);
    const double shift = work.shift.empty() ? 0.0 : work.shift[0];
    std::vector<double> theta(static_cast<std::size_t>(Q));
    for (int q = 0; q < Q; ++q) theta[static_cast<std::size_t>(q)] = work.workGrid[q][0] + shift;

    // Expected design values E[i][q][p] over the parameters each item uses.
    std::vector<std::vector<std::int32_t>> itemParams(static_cast<std::size_t>(I));
    for (int p = 0; p < P; ++p)
        for (std::int32_t i : work.parameterItems[static_cast<std::size_t>(p)])
            itemParams[static_cast<std::size_t>(i)].push_back(p);
    auto designValue = [&](int i, int k, int p) {
        const std::size_t row = static_cast<std::size_t>(i) * maxCat + k;
        for (std::size_t e = work.designStart[row]; e < work.designStart[row + 1]; ++e)
            if (work.designEntries[e].parameter == p) return work.designEntries[e].value;
        return 0.0;
    };
    std::vector<std::vector<double>> expectedDesign(static_cast<std::size_t>(I));
    for (int i = 0; i < I; ++i) {
        const auto& ps = itemParams[static_cast<std::size_t>(i)];
        auto& Ei = expectedDesign[static_cast<std::size_t>(i)];
        Ei.assign(static_cast<std::size_t>(Q) * ps.size(), 0.0);
        for (std::size_t j = 0; j < ps.size(); ++j)
            for (int k = work.first[static_cast<std::size_t>(i)]; k < work.ncat[static_cast<std::size_t>(i)]; ++k) {
                const double a = designValue(i, k, ps[j]);
                if (a == 0.0) continue;
                const double* pr = work.probRow(i, k);
                for (int q = 0; q < Q; ++q) Ei[static_cast<std::size_t>(q) * ps.size() + j] += a * pr[q];
            }
    }

    Matrix Psi(P, P), Dm(P, P), X(P, R), Y(R, R);
    std::vector<double> Z(static_cast<std::size_t>(P), 0.0), U(static_cast<std::size_t>(R), 0.0);
    double S = 0.0;
    work.expected.assign(static_cast<std::size_t>(I + 1) * Q, 0.0);
    std::vector<double> e(static_cast<std::size_t>(Q) * P), m(static_cast<std::size_t>(P)),
        l(static_cast<std::size_t>(P)), h(static_cast<std::size_t>(P)), y(static_cast<std::size_t>(R)), caseW,
        caseMean(1);
    const double s2 = est.sigma[0][0];
    long long processed = 0, cases = 0;
    const int visited = forEachCase(session, work, [&](int caseNumber, int count) {
        if (session.pollForStop()) {
            return -1;
        }
        const double* rec = work.caseRecord(caseNumber);
        double w = rec ? rec[0] : 1.0;
        if (w != 0.0) {
            ++cases;
            session.statusText("Standard Error: case " + itoMString(cases), 0);
            for (int r = 0; r < R; ++r) y[static_cast<std::size_t>(r)] = rec ? rec[1 + r] : (r == 0 ? 1.0 : 0.0);
            w *= est.weightFactor;
            double mean = 0.0;
            for (int r = 0; r < R; ++r) mean += est.beta[0][r] * y[static_cast<std::size_t>(r)];
            caseMean[0] = mean;
            const std::vector<double>* weights = &work.nodeWeights;
            bool ok = true;
            if (R >= 2 && work.method == EstimationMethod::Quadrature) {
                ok = caseNodeWeights(work, est.nodeGrid, caseMean, caseW) == 1;
                weights = &caseW;
            }
            double ll = 0.0;
            if (ok) ok = casePosterior(work, count, *weights, caseMean, est.stepH, ll) == 1;
            if (!ok) {
                session.appendOutput("error_FLAG=1 student " + itoMString(caseNumber + 1) + "\r\n");
            } else {
                ++processed;
                const double* post = work.posterior.data();
                std::fill(e.begin(), e.end(), 0.0);
                for (int r = 0; r < count; ++r) {
                    const int i = work.itemNo[static_cast<std::size_t>(r)];
                    double* ri = work.expected.data() + static_cast<std::size_t>(i) * Q;
                    for (int q = 0; q < Q; ++q) ri[q] += w * post[q];
                    const auto& ps = itemParams[static_cast<std::size_t>(i)];
                    const auto& Ei = expectedDesign[static_cast<std::size_t>(i)];
                    for (int q = 0; q < Q; ++q)
                        for (std::size_t j = 0; j < ps.size(); ++j)
                            e[static_cast<std::size_t>(q) * P + ps[j]] +=
                                Ei[static_cast<std::size_t>(q) * ps.size() + j];
                }
                double t1 = 0, t2 = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
                std::fill(m.begin(), m.end(), 0.0);
                std::fill(l.begin(), l.end(), 0.0);
                std::fill(h.begin(), h.end(), 0.0);
                for (int q = 0; q < Q; ++q) {
                    const double pq = post[q], t = theta[static_cast<std::size_t>(q)], d = t - mean;
                    t1 += pq * t;
                    t2 += pq * t * t;
                    c1 += pq * d;
                    c2 += pq * d * d;
                    c3 += pq * d * d * d;
                    c4 += pq * d * d * d * d;
                    const double* eq = e.data() + static_cast<std::size_t>(q) * P;
                    for (int p = 0; p < P; ++p) {
                        m[static_cast<std::size_t>(p)] += pq * eq[p];
                        l[static_cast<std::size_t>(p)] += pq * t * eq[p];
                        h[static_cast<std::size_t>(p)] += pq * d * d * eq[p];
                    }
                    for (int a = 0; a < P; ++a) {
                        if (eq[a] == 0.0) continue;
                        const double f = w * pq * eq[a];
                        for (int b = 0; b < P; ++b) Psi[a][b] += f * eq[b];
                    }
                }
                const double V = t2 - t1 * t1;
                for (int a = 0; a < P; ++a) {
                    for (int b = 0; b < P; ++b)
                        Dm[a][b] += w * m[static_cast<std::size_t>(a)] * m[static_cast<std::size_t>(b)];
                    for (int r = 0; r < R; ++r)
                        X[a][r] -= w * y[static_cast<std::size_t>(r)] *
                                   (l[static_cast<std::size_t>(a)] - t1 * m[static_cast<std::size_t>(a)]) / s2;
                    Z[static_cast<std::size_t>(a)] -=
                        w * (h[static_cast<std::size_t>(a)] - c2 * m[static_cast<std::size_t>(a)]) / (2.0 * s2 * s2);
                }
                for (int r = 0; r < R; ++r) {
                    for (int s = 0; s < R; ++s)
                        Y[r][s] -=
                            w * (1.0 - V / s2) / s2 * y[static_cast<std::size_t>(r)] * y[static_cast<std::size_t>(s)];
                    // Plus the covariance of the two scores, (theta - mu) y / s2
                    // and (theta - mu)^2 / (2 s2^2); the Hessian's other term,
                    // -<theta - mu> y / s2^2, sums to zero at the estimates.
                    U[static_cast<std::size_t>(r)] +=
                        w * (c3 - c1 * c2) * y[static_cast<std::size_t>(r)] / (2.0 * s2 * s2 * s2);
                }
                S += w * (c4 - c2 * c2) / (4.0 * s2 * s2 * s2 * s2);
            }
        }
        return 1;
    });
    if (visited != 1) return -1;

    // Complete-data item information from the expected counts.
    Matrix A(P, P), B(P, P);
    for (int q = 0; q < Q; ++q) {
        if (session.pollForStop()) return -1;
        for (int i = 0; i < I; ++i) {
            const double r = work.expected[static_cast<std::size_t>(i) * Q + q];
            if (r == 0.0) continue;
            const auto& ps = itemParams[static_cast<std::size_t>(i)];
            const auto& Ei = expectedDesign[static_cast<std::size_t>(i)];
            for (std::size_t a = 0; a < ps.size(); ++a)
                for (std::size_t b = 0; b < ps.size(); ++b) {
                    double s = 0.0;
                    for (int k = work.first[static_cast<std::size_t>(i)]; k < work.ncat[static_cast<std::size_t>(i)];
                         ++k)
                        s += designValue(i, k, ps[a]) * designValue(i, k, ps[b]) * work.probRow(i, k)[q];
                    A[ps[a]][ps[b]] += r * s;
                    B[ps[a]][ps[b]] += r * Ei[static_cast<std::size_t>(q) * ps.size() + a] *
                                       Ei[static_cast<std::size_t>(q) * ps.size() + b];
                }
        }
    }
    Matrix M(K, K);
    for (int a = 0; a < P; ++a) {
        for (int b = 0; b < P; ++b) M[a][b] = Psi[a][b] - A[a][b] + B[a][b] - Dm[a][b];
        for (int r = 0; r < R; ++r) M[a][P + r] = M[P + r][a] = X[a][r];
        M[a][P + R] = M[P + R][a] = Z[static_cast<std::size_t>(a)];
    }
    for (int r = 0; r < R; ++r) {
        for (int s = 0; s < R; ++s) M[P + r][P + s] = Y[r][s];
        M[P + r][P + R] = M[P + R][P + r] = U[static_cast<std::size_t>(r)];
    }
    M[P + R][P + R] = S - static_cast<double>(processed) / (2.0 * s2 * s2);
    M *= -1.0;
    // Anchored parameters are not estimated: their rows and columns leave
    // the matrix before it is inverted (with them the information matrix is
    // singular, for example under constraints=cases) and get no error.
    std::vector<int> freeIndex;
    for (int a = 0; a < K; ++a) {
        bool anchored = false;
        if (a < P)
            anchored = est.anchored[static_cast<std::size_t>(a)] != 0;
        else if (a < P + R)
            anchored = isAnchoredValue(est.regressionAnchors[0][a - P]);
        else
            anchored = isAnchoredValue(est.covarianceAnchors[0][0]);
        if (!anchored) freeIndex.push_back(a);
    }
    const int F = static_cast<int>(freeIndex.size());
    est.fullErrors = Matrix();
    if (F == 0) return 1;
    Matrix free(F, F);
    for (int a = 0; a < F; ++a)
        for (int b = 0; b < F; ++b)
            free[a][b] = M[freeIndex[static_cast<std::size_t>(a)]][freeIndex[static_cast<std::size_t>(b)]];
    // The observed information of an identified model at its maximum is
    // positive definite. One that is not (a model without a constraint,
    // such as constraints=none with only item parameters) has no errors,
    // and the reader is told why the columns stay empty.
    auto singular = [&] {
        session.warningReport(
            "The information matrix is singular (the model may not be identified): full standard errors are not "
            "available");
        return 1;
    };
    {
        Vector lambda;
        Matrix vectors;
        int rotations = 0;
        jacobiEigen(free, F, lambda, vectors, rotations);
        double lowest = 0.0, largest = 0.0;
        for (int a = 0; a < F; ++a) {
            const double v = lambda[a][0];
            if (a == 0 || v < lowest) lowest = v;
            largest = std::max(largest, std::fabs(v));
        }
        if (!(lowest > kSingularRatio * largest)) return singular();
    }
    const int k = magnitude(free);
    double scale = 1.0;
    if (k >= 2) scale = std::pow(10.0, -k);
    Matrix inv = inverse(free * scale);
    if (inv.isEmpty()) return singular();
    inv *= scale;
    est.fullErrors = Matrix(K, K);
    for (int a = 0; a < F; ++a)
        for (int b = 0; b < F; ++b)
            est.fullErrors[freeIndex[static_cast<std::size_t>(a)]][freeIndex[static_cast<std::size_t>(b)]] = inv[a][b];
    return 1;
}

}  // namespace ordena
