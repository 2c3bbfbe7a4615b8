#include "estimation/population.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/index.h"
#include "base/number_format.h"
#include "command/labels.h"
#include "command/session.h"

namespace ordena {

namespace {

// Small symmetric matrices, row-major n x n.
using Square = std::vector<double>;

// The lower Cholesky factor; false when a is not positive definite.
bool cholesky(const Square& a, int n, Square& L) {
    L.assign(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) {
            double s = at(a, i * n + j);
            for (int k = 0; k < j; ++k) s -= at(L, i * n + k) * at(L, j * n + k);
            if (i == j) {
                if (!(s > 0.0) || !std::isfinite(s)) return false;
                at(L, i * n + i) = std::sqrt(s);
            } else {
                at(L, i * n + j) = s / at(L, j * n + j);
            }
        }
    return true;
}

// Solves L L' x = b in place.
void choleskySolve(const Square& L, int n, double* b) {
    for (int i = 0; i < n; ++i) {
        double s = b[i];
        for (int k = 0; k < i; ++k) s -= at(L, i * n + k) * b[k];
        b[i] = s / at(L, i * n + i);
    }
    for (int i = n - 1; i >= 0; --i) {
        double s = b[i];
        for (int k = i + 1; k < n; ++k) s -= at(L, k * n + i) * b[k];
        b[i] = s / at(L, i * n + i);
    }
}

// The inverse and the log determinant of a positive definite matrix.
bool invertPositive(const Square& a, int n, Square& inverse, double& logDet) {
    Square L;
    if (!cholesky(a, n, L)) return false;
    logDet = 0.0;
    for (int i = 0; i < n; ++i) logDet += 2.0 * std::log(at(L, i * n + i));
    inverse.assign(static_cast<std::size_t>(n) * n, 0.0);
    std::vector<double> e(static_cast<std::size_t>(n));
    for (int c = 0; c < n; ++c) {
        std::fill(e.begin(), e.end(), 0.0);
        at(e, c) = 1.0;
        choleskySolve(L, n, e.data());
        for (int r = 0; r < n; ++r) at(inverse, r * n + c) = at(e, r);
    }
    return true;
}

Square product(const Square& a, const Square& b, int n) {
    Square c(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) {
            const double v = at(a, i * n + k);
            if (v == 0.0) continue;
            for (int j = 0; j < n; ++j) at(c, i * n + j) += v * at(b, k * n + j);
        }
    return c;
}

// The covariance part of the objective, per case: -ln|sigma| - tr(sigma^-1 A).
// -HUGE_VAL when sigma is not positive definite.
double covarianceObjective(const Square& sigma, const Square& A, int D) {
    Square K;
    double logDet = 0.0;
    if (!invertPositive(sigma, D, K, logDet)) return -HUGE_VAL;
    double trace = 0.0;
    for (int i = 0; i < D; ++i)
        for (int j = 0; j < D; ++j) trace += at(K, i * D + j) * at(A, j * D + i);
    return -logDet - trace;
}

// Maximises -ln|sigma| - tr(sigma^-1 A) over the entries of sigma that are
// not fixed; sigma comes in positive definite with the fixed entries in
// place. A fixed block of the variances and covariances of a set of
// dimensions a, the others free, has its maximum in closed form: the free
// dimensions b given a have regression G = A_ba A_aa^-1 and residual
// covariance V = A_bb - G A_ab, whatever sigma_aa is, so sigma_ba = G sigma_aa
// and sigma_bb = V + G sigma_aa G'. (One anchored variance s in two
// dimensions: sigma_12 = s A_12 / A_11, sigma_22 = A_22 - A_12^2 / A_11 +
// s A_12^2 / A_11^2.) Any other pattern is solved by Newton steps on the free
// entries, halved until the objective rises.
bool constrainedCovariance(const Square& A, const std::vector<char>& fixed, int D, Square& sigma) {
    std::vector<int> a, b;
    for (int d = 0; d < D; ++d) (at(fixed, d * D + d) ? a : b).push_back(d);
    bool block = true;
    for (int i = 0; i < D; ++i)
        for (int j = 0; j < D; ++j)
            if ((at(fixed, i * D + j) != 0) != (at(fixed, i * D + i) && at(fixed, j * D + j))) block = false;
    if (b.empty() && block) return true;
    if (block) {
        const int na = static_cast<int>(a.size()), nb = static_cast<int>(b.size());
        Square Aaa(static_cast<std::size_t>(na) * na), inverse;
        for (int i = 0; i < na; ++i)
            for (int j = 0; j < na; ++j) at(Aaa, i * na + j) = at(A, at(a, i) * D + at(a, j));
        double logDet = 0.0;
        if (na == 0 || invertPositive(Aaa, na, inverse, logDet)) {
            // G = A_ba A_aa^-1 (nb x na).
            std::vector<double> G(static_cast<std::size_t>(nb) * na, 0.0);
            for (int i = 0; i < nb; ++i)
                for (int j = 0; j < na; ++j)
                    for (int k = 0; k < na; ++k)
                        at(G, i * na + j) += at(A, at(b, i) * D + at(a, k)) * at(inverse, k * na + j);
            Square result = sigma;
            for (int i = 0; i < nb; ++i) {
                const int bi = at(b, i);
                for (int j = 0; j < na; ++j) {
                    double v = 0.0;
                    for (int k = 0; k < na; ++k) v += at(G, i * na + k) * at(sigma, at(a, k) * D + at(a, j));
                    at(result, bi * D + at(a, j)) = at(result, at(a, j) * D + bi) = v;
                }
                for (int j = 0; j <= i; ++j) {
                    const int bj = at(b, j);
                    double v = at(A, bi * D + bj);
                    for (int k = 0; k < na; ++k) {
                        v -= at(G, i * na + k) * at(A, at(a, k) * D + bj);
                        for (int l = 0; l < na; ++l)
                            v += at(G, i * na + k) * at(sigma, at(a, k) * D + at(a, l)) * at(G, j * na + l);
                    }
                    at(result, bi * D + bj) = at(result, bj * D + bi) = v;
                }
            }
            Square L;
            if (cholesky(result, D, L)) {
                sigma = result;
                return true;
            }
        }
    }

    // Newton steps. With K = sigma^-1 and E_f the symmetric unit matrix of
    // free entry f, the gradient is tr(E_f (K A K - K)) and the Hessian
    // tr(E_f X_g), X_g = K E_g K - K E_g K A K - K A K E_g K.
    std::vector<std::pair<int, int>> freeEntries;
    for (int i = 0; i < D; ++i)
        for (int j = i; j < D; ++j)
            if (!at(fixed, i * D + j)) freeEntries.push_back({i, j});
    const int F = static_cast<int>(freeEntries.size());
    if (F == 0) return true;
    auto unit = [&](int f) {
        Square E(static_cast<std::size_t>(D) * D, 0.0);
        const auto [i, j] = at(freeEntries, f);
        at(E, i * D + j) = at(E, j * D + i) = 1.0;
        return E;
    };
    auto traceWith = [&](int f, const Square& X) {
        const auto [i, j] = at(freeEntries, f);
        return i == j ? at(X, i * D + i) : at(X, i * D + j) + at(X, j * D + i);
    };
    double value = covarianceObjective(sigma, A, D);
    if (!std::isfinite(value)) return false;
    for (int iteration = 0; iteration < 200; ++iteration) {
        Square K;
        double logDet = 0.0;
        if (!invertPositive(sigma, D, K, logDet)) return false;
        const Square KA = product(K, A, D);
        const Square W = product(KA, K, D);
        Square G = W;
        for (std::size_t k = 0; k < G.size(); ++k) G[k] -= K[k];
        std::vector<double> g(static_cast<std::size_t>(F)), step(static_cast<std::size_t>(F));
        for (int f = 0; f < F; ++f) at(g, f) = traceWith(f, G);
        Square minusH(static_cast<std::size_t>(F) * F);
        for (int h = 0; h < F; ++h) {
            const Square E = unit(h);
            const Square M = product(product(K, E, D), K, D);
            const Square MAK = product(M, KA, D);
            const Square WEK = product(product(W, E, D), K, D);
            Square X = M;
            for (std::size_t k = 0; k < X.size(); ++k) X[k] -= MAK[k] + WEK[k];
            for (int f = 0; f < F; ++f) at(minusH, f * F + h) = -traceWith(f, X);
        }
        step = g;
        Square L;
        double slope = 0.0;
        if (cholesky(minusH, F, L)) {
            choleskySolve(L, F, step.data());
            for (int f = 0; f < F; ++f) slope += at(g, f) * at(step, f);
        }
        if (!(slope > 0.0)) {
            step = g;  // not concave here: up the gradient
            slope = 0.0;
            for (int f = 0; f < F; ++f) slope += at(g, f) * at(g, f);
        }
        if (slope < 1e-26) break;
        double t = 1.0, largest = 0.0;
        bool moved = false;
        for (int halving = 0; halving < 60 && !moved; ++halving, t *= 0.5) {
            Square trial = sigma;
            largest = 0.0;
            for (int f = 0; f < F; ++f) {
                const auto [i, j] = at(freeEntries, f);
                at(trial, i * D + j) += t * at(step, f);
                if (i != j) at(trial, j * D + i) = at(trial, i * D + j);
                largest = std::max(largest, std::fabs(t * at(step, f)));
            }
            const double v = covarianceObjective(trial, A, D);
            if (v >= value) {
                sigma = trial;
                value = v;
                moved = true;
            }
        }
        if (!moved || largest < 1e-14) break;
    }
    return true;
}

// beta maximising -1/2 tr(K (beta YY beta' - U beta' - beta U')) with the
// anchored entries held: the free entries solve [K (U - beta YY)]_dr = 0.
// Without a coupling through K (one dimension, or a diagonal K) this is, in
// each dimension, the regression of the posterior means less the anchored
// part on the free regressors.
bool constrainedRegression(const Matrix& U, const Matrix& YY, const Square& K, const Matrix& anchors, Matrix& beta) {
    const int D = U.rows(), R = U.columns();
    std::vector<std::pair<int, int>> freeEntries;
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r) {
            if (isAnchoredValue(anchors[d][r]))
                beta[d][r] = anchors[d][r];
            else
                freeEntries.push_back({d, r});
        }
    const int F = static_cast<int>(freeEntries.size());
    if (F == 0) return true;
    Square A(static_cast<std::size_t>(F) * F);
    std::vector<double> rhs(static_cast<std::size_t>(F), 0.0);
    for (int f = 0; f < F; ++f) {
        const auto [d, r] = at(freeEntries, f);
        for (int g = 0; g < F; ++g) {
            const auto [e, s] = at(freeEntries, g);
            at(A, f * F + g) = at(K, d * D + e) * YY[r][s];
        }
        double v = 0.0;
        for (int e = 0; e < D; ++e) {
            v += at(K, d * D + e) * U[e][r];
            for (int s = 0; s < R; ++s)
                if (isAnchoredValue(anchors[e][s])) v -= at(K, d * D + e) * YY[r][s] * beta[e][s];
        }
        at(rhs, f) = v;
    }
    Square L;
    if (!cholesky(A, F, L)) return false;
    choleskySolve(L, F, rhs.data());
    for (int f = 0; f < F; ++f) {
        const auto [d, r] = at(freeEntries, f);
        beta[d][r] = at(rhs, f);
    }
    return true;
}

}  // namespace

int maximisePopulation(const Matrix& U, const Matrix& S, const Matrix& YY, const Matrix& yyInverse, double n,
                       const Matrix& regressionAnchors, const Matrix& covarianceAnchors, Matrix& beta, Matrix& sigma) {
    const int D = U.rows(), R = U.columns();
    bool betaAnchored = false, sigmaAnchored = false;
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r) betaAnchored = betaAnchored || isAnchoredValue(regressionAnchors[d][r]);
    std::vector<char> fixed(static_cast<std::size_t>(D) * D, 0);
    for (int d = 0; d < D; ++d)
        for (int e = 0; e < D; ++e)
            if (isAnchoredValue(covarianceAnchors[d][e]) || isAnchoredValue(covarianceAnchors[e][d])) {
                at(fixed, d * D + e) = 1;
                sigmaAnchored = true;
            }
    const Matrix start = sigma;
    beta = U * yyInverse;
    sigma = (S - beta * transpose(U)) / n;
    if (!betaAnchored && !sigmaAnchored) return 1;
    auto anchorValue = [&](int d, int e) {
        return isAnchoredValue(covarianceAnchors[d][e]) ? covarianceAnchors[d][e] : covarianceAnchors[e][d];
    };
    // What is returned when no constrained maximum is found: the free
    // estimates with the anchors written over them.
    const auto overwritten = [&] {
        beta = U * yyInverse;
        sigma = (S - beta * transpose(U)) / n;
        for (int d = 0; d < D; ++d)
            for (int r = 0; r < R; ++r)
                if (isAnchoredValue(regressionAnchors[d][r])) beta[d][r] = regressionAnchors[d][r];
        for (int d = 0; d < D; ++d)
            for (int e = 0; e < D; ++e)
                if (at(fixed, d * D + e)) sigma[d][e] = anchorValue(d, e);
        return -1;
    };
    if (YY.rows() != R || YY.columns() != R || !(n > 0.0)) return overwritten();

    // The covariance to start from: the current one with the anchors in
    // place, or else the diagonal of the free one.
    Square current(static_cast<std::size_t>(D) * D, 0.0), L;
    if (start.rows() == D && start.columns() == D)
        for (int d = 0; d < D; ++d)
            for (int e = 0; e < D; ++e) at(current, d * D + e) = at(fixed, d * D + e) ? anchorValue(d, e) : start[d][e];
    if (!cholesky(current, D, L)) {
        for (int d = 0; d < D; ++d)
            for (int e = 0; e < D; ++e)
                at(current, d * D + e) = at(fixed, d * D + e) ? anchorValue(d, e) : (d == e ? sigma[d][d] : 0.0);
        if (!cholesky(current, D, L)) return overwritten();
    }
    // The residual cross-products about beta, per case.
    auto residual = [&]() {
        const Matrix BU = beta * transpose(U);
        const Matrix C = S - BU - transpose(BU) + beta * YY * transpose(beta);
        Square A(static_cast<std::size_t>(D) * D);
        for (int d = 0; d < D; ++d)
            for (int e = 0; e < D; ++e) at(A, d * D + e) = 0.5 * (C[d][e] + C[e][d]) / n;
        return A;
    };
    auto covarianceStep = [&]() {
        Square A = residual();
        if (!sigmaAnchored) {
            current = A;
            return true;
        }
        return constrainedCovariance(A, fixed, D, current);
    };
    auto regressionStep = [&]() {
        if (!betaAnchored) return true;
        Square K;
        double logDet = 0.0;
        if (!invertPositive(current, D, K, logDet)) return false;
        return constrainedRegression(U, YY, K, regressionAnchors, beta);
    };
    // Coordinate ascent: beta given sigma, sigma given beta. They are
    // independent (one step each) unless anchored coefficients meet a
    // covariance between dimensions.
    if (!regressionStep() || !covarianceStep()) return overwritten();
    if (betaAnchored && D > 1)
        for (int round = 0; round < 500; ++round) {
            const Matrix previous = beta;
            if (!regressionStep() || !covarianceStep()) return overwritten();
            double change = 0.0, size = 1.0;
            for (int d = 0; d < D; ++d)
                for (int r = 0; r < R; ++r) {
                    change = std::max(change, std::fabs(beta[d][r] - previous[d][r]));
                    size = std::max(size, std::fabs(beta[d][r]));
                }
            if (change <= 1e-13 * size) break;
        }
    sigma = Matrix(D, D);
    for (int d = 0; d < D; ++d)
        for (int e = 0; e < D; ++e) sigma[d][e] = at(current, d * D + e);
    return 1;
}

int populationUpdate(Session& session, EstimationWork& work, const Matrix& U, const Matrix& S,
                     const std::vector<double>& T, double n) {
    EstimationState& est = session.ws.est;
    const int D = work.D, R = work.R;
    Matrix beta, sigma = est.sigma;
    maximisePopulation(U, S, work.yy, est.yyInverse, n, est.regressionAnchors, est.covarianceAnchors, beta, sigma);
    est.beta = beta;
    est.sigma = sigma;
    for (int d = 0; d < D; ++d)
        if (!(est.sigma[d][d] > 0.0)) {
            session.errorReport("The variance estimate of dimension " + itoMString(d + 1) +
                                " has become negative. Try increasing the number, or range of, the nodes");
            return -1;
        }
    auto rowLabel = [&](int d) {
        MString label = dimensionLabel(session.ws, d);
        if (label.length() > 11) label = label.mid(0, 11) + "..";
        while (label.length() < 13) label += " ";
        return label;
    };
    MString text = "\r\n";
    text += D == 1 ? "Variance Estimate:" : "Covariance Estimates:";
    text += "\r\n";
    for (int d = 0; d < D; ++d) {
        text += rowLabel(d);
        for (int e = 0; e < D; ++e) text += printFormat("%10.5f", est.sigma[d][e]);
        text += "\r\n";
    }
    if (D > 1) {
        text += "\r\nCorrelation Estimates:\r\n";
        for (int d = 0; d < D; ++d) {
            text += rowLabel(d);
            for (int e = 0; e < D; ++e)
                text += printFormat("%10.5f", est.sigma[d][e] / std::sqrt(est.sigma[d][d] * est.sigma[e][e]));
            text += "\r\n";
        }
    }
    text += "\r\n\r\n";
    text += R > 1 ? "Regression coefficients" : (D == 1 ? "Mean:" : "Means:");
    text += "\r\n";
    for (int d = 0; d < D; ++d) {
        text += rowLabel(d);
        for (int r = 0; r < R; ++r) text += printFormat("%10.5f", est.beta[d][r]);
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

void regressionMean(const EstimationState& est, const double* rec, int D, int R, double* mean) {
    std::fill_n(mean, D, 0.0);
    if (R < 2) return;
    for (int d = 0; d < D; ++d) {
        double sum = 0.0;
        for (int r = 0; r < R; ++r) sum += est.beta[d][r] * (rec ? rec[1 + r] : (r == 0 ? 1.0 : 0.0));
        mean[d] = sum;
    }
}

}  // namespace ordena
