// The population update under anchors against a maximiser written here: the
// expected complete-data log-likelihood of a pass, maximised over the free
// entries of beta and sigma by Newton steps on finite differences, and
// closed forms where the anchors allow one.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "estimation/estimation_state.h"
#include "estimation/population.h"

namespace ordena::test {
namespace {

// The sums of a pass from made-up posterior means and second moments:
// cases with regressors y (the constant first), means theta, and a
// posterior covariance added to every case's second moment.
struct Sums {
    int D = 1, R = 1;
    double n = 0;
    Matrix U, S, YY, yyInverse;
};

Sums sumsOf(int D, int R, int N, unsigned seed, const std::vector<std::vector<double>>& beta,
            const std::vector<std::vector<double>>& chol) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    Sums s;
    s.D = D;
    s.R = R;
    s.n = N;
    s.U = Matrix(D, R);
    s.S = Matrix(D, D);
    s.YY = Matrix(R, R);
    for (int c = 0; c < N; ++c) {
        std::vector<double> y(static_cast<std::size_t>(R), 1.0), e(static_cast<std::size_t>(D)),
            t(static_cast<std::size_t>(D));
        for (int r = 1; r < R; ++r) y[r] = r == 1 ? static_cast<double>(rng() % 2) : z(rng);
        for (int d = 0; d < D; ++d) e[d] = z(rng);
        for (int d = 0; d < D; ++d) {
            t[d] = 0;
            for (int r = 0; r < R; ++r) t[d] += beta[d][r] * y[r];
            for (int k = 0; k <= d; ++k) t[d] += chol[d][k] * e[k];
        }
        for (int d = 0; d < D; ++d) {
            for (int r = 0; r < R; ++r) s.U[d][r] += t[d] * y[r];
            for (int k = 0; k < D; ++k) s.S[d][k] += t[d] * t[k] + (d == k ? 0.3 : 0.05);
        }
        for (int r = 0; r < R; ++r)
            for (int q = 0; q < R; ++q) s.YY[r][q] += y[r] * y[q];
    }
    s.yyInverse = inverse(s.YY);
    return s;
}

// -n/2 ln|sigma| - 1/2 tr(sigma^-1 C), C = S - beta U' - U beta' + beta YY beta';
// -infinity where sigma is not positive definite.
double objective(const Sums& s, const Matrix& beta, const Matrix& sigma) {
    const int D = s.D;
    // Determinant and inverse through a Cholesky factor.
    std::vector<std::vector<double>> L(static_cast<std::size_t>(D), std::vector<double>(static_cast<std::size_t>(D)));
    for (int i = 0; i < D; ++i)
        for (int j = 0; j <= i; ++j) {
            double v = sigma[i][j];
            for (int k = 0; k < j; ++k) v -= L[i][k] * L[j][k];
            if (i == j) {
                if (!(v > 0)) return -HUGE_VAL;
                L[i][i] = std::sqrt(v);
            } else {
                L[i][j] = v / L[j][j];
            }
        }
    double logDet = 0;
    for (int i = 0; i < D; ++i) logDet += 2 * std::log(L[i][i]);
    const Matrix C = s.S - beta * transpose(s.U) - s.U * transpose(beta) + beta * s.YY * transpose(beta);
    // tr(sigma^-1 C): solve sigma x = c for each column c of C.
    double trace = 0;
    for (int c = 0; c < D; ++c) {
        std::vector<double> x(static_cast<std::size_t>(D));
        for (int i = 0; i < D; ++i) {
            double v = C[i][c];
            for (int k = 0; k < i; ++k) v -= L[i][k] * x[k];
            x[i] = v / L[i][i];
        }
        for (int i = D - 1; i >= 0; --i) {
            double v = x[i];
            for (int k = i + 1; k < D; ++k) v -= L[k][i] * x[k];
            x[i] = v / L[i][i];
        }
        trace += x[c];
    }
    return -0.5 * s.n * logDet - 0.5 * trace;
}

struct Anchors {
    Matrix regression, covariance;
};

Anchors freeAnchors(int D, int R) {
    Anchors a{Matrix(D, R), Matrix(D, D)};
    for (int d = 0; d < D; ++d) {
        for (int r = 0; r < R; ++r) a.regression[d][r] = kNotAnchored;
        for (int e = 0; e < D; ++e) a.covariance[d][e] = kNotAnchored;
    }
    return a;
}

// The free entries as one vector, beta's first, then sigma's (d <= e).
struct Packing {
    const Sums& s;
    const Anchors& a;
    std::vector<double> pack(const Matrix& beta, const Matrix& sigma) const {
        std::vector<double> x;
        for (int d = 0; d < s.D; ++d)
            for (int r = 0; r < s.R; ++r)
                if (!isAnchoredValue(a.regression[d][r])) x.push_back(beta[d][r]);
        for (int d = 0; d < s.D; ++d)
            for (int e = d; e < s.D; ++e)
                if (!isAnchoredValue(a.covariance[d][e])) x.push_back(sigma[d][e]);
        return x;
    }
    void unpack(const std::vector<double>& x, Matrix& beta, Matrix& sigma) const {
        beta = Matrix(s.D, s.R);
        sigma = Matrix(s.D, s.D);
        std::size_t k = 0;
        for (int d = 0; d < s.D; ++d)
            for (int r = 0; r < s.R; ++r)
                beta[d][r] = isAnchoredValue(a.regression[d][r]) ? a.regression[d][r] : x[k++];
        for (int d = 0; d < s.D; ++d)
            for (int e = d; e < s.D; ++e)
                sigma[d][e] = sigma[e][d] = isAnchoredValue(a.covariance[d][e]) ? a.covariance[d][e] : x[k++];
    }
    double operator()(const std::vector<double>& x) const {
        Matrix beta, sigma;
        unpack(x, beta, sigma);
        return objective(s, beta, sigma) / s.n;
    }
};

// Newton steps with a Hessian and gradient by central differences, halved
// until the objective rises.
std::vector<double> maximise(const std::function<double(const std::vector<double>&)>& f, std::vector<double> x) {
    const std::size_t K = x.size();
    const double h = 1e-4;
    for (int iteration = 0; iteration < 100; ++iteration) {
        std::vector<double> g(K);
        std::vector<std::vector<double>> H(K, std::vector<double>(K));
        const double centre = f(x);
        auto at = [&](std::size_t a, double sa, std::size_t b, double sb) {
            std::vector<double> y = x;
            y[a] += sa * h;
            y[b] += sb * h;
            return f(y);
        };
        for (std::size_t a = 0; a < K; ++a) {
            g[a] = (at(a, 1, a, 0) - at(a, -1, a, 0)) / (2 * h);
            for (std::size_t b = a; b < K; ++b)
                H[a][b] = H[b][a] = a == b ? (at(a, 1, a, 0) - 2 * centre + at(a, -1, a, 0)) / (h * h)
                                           : (at(a, 1, b, 1) - at(a, 1, b, -1) - at(a, -1, b, 1) + at(a, -1, b, -1)) /
                                                 (4 * h * h);
        }
        // Solve -H step = g by elimination.
        std::vector<std::vector<double>> A(K, std::vector<double>(K + 1));
        for (std::size_t a = 0; a < K; ++a) {
            for (std::size_t b = 0; b < K; ++b) A[a][b] = -H[a][b];
            A[a][K] = g[a];
        }
        for (std::size_t c = 0; c < K; ++c) {
            std::size_t p = c;
            for (std::size_t r = c + 1; r < K; ++r)
                if (std::fabs(A[r][c]) > std::fabs(A[p][c])) p = r;
            std::swap(A[c], A[p]);
            for (std::size_t r = 0; r < K; ++r) {
                if (r == c) continue;
                const double m = A[r][c] / A[c][c];
                for (std::size_t j = c; j <= K; ++j) A[r][j] -= m * A[c][j];
            }
        }
        double t = 1, largest = 0;
        for (int halving = 0; halving < 40; ++halving, t /= 2) {
            std::vector<double> y = x;
            largest = 0;
            for (std::size_t a = 0; a < K; ++a) {
                y[a] += t * A[a][K] / A[a][a];
                largest = std::max(largest, std::fabs(t * A[a][K] / A[a][a]));
            }
            if (f(y) >= centre) {
                x = y;
                break;
            }
        }
        if (largest < 1e-12) break;
    }
    return x;
}

struct Result {
    Matrix beta, sigma;
    int status = 0;
};

Result engine(const Sums& s, const Anchors& a, Matrix start) {
    Result r;
    r.sigma = std::move(start);
    r.status = maximisePopulation(s.U, s.S, s.YY, s.yyInverse, s.n, a.regression, a.covariance, r.beta, r.sigma);
    return r;
}

// The engine's answer is the test's maximum: the same objective (never
// below it), the same parameters, the anchors held exactly.
void expectMaximum(const Sums& s, const Anchors& a, const Result& r, const Matrix& startBeta,
                   const Matrix& startSigma) {
    ASSERT_EQ(r.status, 1);
    Packing packing{s, a};
    const std::vector<double> x = maximise(packing, packing.pack(startBeta, startSigma));
    Matrix beta, sigma;
    packing.unpack(x, beta, sigma);
    EXPECT_GE(objective(s, r.beta, r.sigma), objective(s, beta, sigma) - 1e-8 * s.n);
    for (int d = 0; d < s.D; ++d) {
        for (int k = 0; k < s.R; ++k) {
            EXPECT_NEAR(r.beta[d][k], beta[d][k], 1e-6) << "beta " << d << " " << k;
            if (isAnchoredValue(a.regression[d][k])) {
                EXPECT_EQ(r.beta[d][k], a.regression[d][k]);
            }
        }
        for (int e = 0; e < s.D; ++e) {
            EXPECT_NEAR(r.sigma[d][e], sigma[d][e], 1e-6) << "sigma " << d << " " << e;
            EXPECT_EQ(r.sigma[d][e], r.sigma[e][d]);
            if (isAnchoredValue(a.covariance[d][e])) {
                EXPECT_EQ(r.sigma[d][e], a.covariance[d][e]);
            }
        }
    }
}

TEST(PopulationUpdate, WithoutAnchorsIsTheRegressionOfThePosteriorMeans) {
    const Sums s = sumsOf(2, 3, 300, 1, {{0.2, 0.5, -0.3}, {-0.1, 0.0, 0.4}}, {{1.0, 0}, {0.6, 0.8}});
    const Result r = engine(s, freeAnchors(2, 3), identity(2));
    ASSERT_EQ(r.status, 1);
    const Matrix beta = s.U * s.yyInverse;
    const Matrix sigma = (s.S - beta * transpose(s.U)) / s.n;
    for (int d = 0; d < 2; ++d) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(r.beta[d][k], beta[d][k]);
        for (int e = 0; e < 2; ++e) EXPECT_EQ(r.sigma[d][e], sigma[d][e]);
    }
}

// One dimension: a slope anchored at 0 is the regression without its
// regressor, the covariance taken about that regression; at another value,
// the regression of the means less the anchored part.
TEST(PopulationUpdate, AnAnchoredSlopeRefitsTheOthers) {
    const Sums s = sumsOf(1, 3, 400, 2, {{-0.4, 0.3, 0.6}}, {{1.2}});
    Anchors a = freeAnchors(1, 3);
    a.regression[0][2] = 0.0;
    const Result r = engine(s, a, identity(1));
    ASSERT_EQ(r.status, 1);
    // The regression on the constant and the first regressor alone.
    Matrix YY2(2, 2), U2(1, 2);
    for (int i = 0; i < 2; ++i) {
        U2[0][i] = s.U[0][i];
        for (int j = 0; j < 2; ++j) YY2[i][j] = s.YY[i][j];
    }
    const Matrix beta2 = U2 * inverse(YY2);
    const double variance2 = (s.S[0][0] - (beta2 * transpose(U2))[0][0]) / s.n;
    EXPECT_NEAR(r.beta[0][0], beta2[0][0], 1e-12);
    EXPECT_NEAR(r.beta[0][1], beta2[0][1], 1e-12);
    EXPECT_EQ(r.beta[0][2], 0.0);
    EXPECT_NEAR(r.sigma[0][0], variance2, 1e-12);
    // About the free regression (slope 0.6 on a regressor of variance 1)
    // the variance would be smaller by about 0.36.
    EXPECT_GT(r.sigma[0][0] - (s.S[0][0] - (s.U * s.yyInverse * transpose(s.U))[0][0]) / s.n, 0.2);

    a.regression[0][2] = 0.25;
    expectMaximum(s, a, engine(s, a, identity(1)), s.U * s.yyInverse, identity(1));
}

// Two correlated dimensions: a slope anchored on one of them moves the
// other dimension's coefficients too (the covariance ties them).
TEST(PopulationUpdate, AnAnchoredSlopeInTwoCorrelatedDimensions) {
    const Sums s = sumsOf(2, 2, 500, 3, {{0.1, 0.8}, {-0.2, 0.5}}, {{1.0, 0}, {0.7, 0.6}});
    Anchors a = freeAnchors(2, 2);
    a.regression[0][1] = 0.0;
    const Matrix start = identity(2);
    const Result r = engine(s, a, start);
    expectMaximum(s, a, r, s.U * s.yyInverse, (s.S - s.U * s.yyInverse * transpose(s.U)) / s.n);
    // Dimension 2's slope is not its free regression's.
    EXPECT_GT(std::fabs(r.beta[1][1] - (s.U * s.yyInverse)[1][1]), 0.01);
}

// An anchored variance in two dimensions: the closed form of the
// conditional regression of the free dimension on the anchored one.
TEST(PopulationUpdate, AnAnchoredVarianceKeepsTheRegressionOfTheOtherDimension) {
    const Sums s = sumsOf(2, 1, 500, 4, {{0.3}, {-0.5}}, {{1.1, 0}, {0.5, 0.9}});
    Anchors a = freeAnchors(2, 1);
    a.covariance[0][0] = 0.6;
    const Result r = engine(s, a, identity(2));
    ASSERT_EQ(r.status, 1);
    const Matrix beta = s.U * s.yyInverse;
    const Matrix A = (s.S - beta * transpose(s.U)) / s.n;
    const double slope = A[1][0] / A[0][0];
    EXPECT_NEAR(r.beta[0][0], beta[0][0], 1e-12);
    EXPECT_EQ(r.sigma[0][0], 0.6);
    EXPECT_NEAR(r.sigma[1][0], 0.6 * slope, 1e-12);
    EXPECT_NEAR(r.sigma[1][1], A[1][1] - slope * A[0][1] + slope * 0.6 * slope, 1e-12);
    expectMaximum(s, a, r, beta, A);
    // The free covariance is not the answer.
    EXPECT_GT(std::fabs(r.sigma[1][0] - A[1][0]), 0.05);
}

// Patterns without a closed form: an anchored covariance; both variances
// anchored; three dimensions with a slope, a variance and a covariance
// anchored at once.
TEST(PopulationUpdate, AnchoredCovariancesAndMixedPatternsReachTheMaximum) {
    {
        const Sums s = sumsOf(2, 1, 400, 5, {{0.0}, {0.2}}, {{1.0, 0}, {0.6, 0.7}});
        Anchors a = freeAnchors(2, 1);
        a.covariance[0][1] = a.covariance[1][0] = 0.1;
        const Matrix A = (s.S - s.U * s.yyInverse * transpose(s.U)) / s.n;
        Matrix start = identity(2);
        start[0][1] = start[1][0] = 0.1;
        expectMaximum(s, a, engine(s, a, start), s.U * s.yyInverse, start);
        // Both variances anchored, the covariance free.
        a = freeAnchors(2, 1);
        a.covariance[0][0] = 0.8;
        a.covariance[1][1] = 1.5;
        start = identity(2);
        start[0][0] = 0.8;
        start[1][1] = 1.5;
        expectMaximum(s, a, engine(s, a, start), s.U * s.yyInverse, start);
        EXPECT_GT(A[0][1], 0.2);
    }
    {
        const Sums s = sumsOf(3, 3, 600, 6, {{0.1, 0.5, 0.2}, {0.0, -0.4, 0.3}, {0.2, 0.1, -0.2}},
                              {{1.0, 0, 0}, {0.5, 0.8, 0}, {0.3, -0.2, 0.9}});
        Anchors a = freeAnchors(3, 3);
        a.regression[1][1] = 0.0;
        a.covariance[2][2] = 0.5;
        a.covariance[0][2] = a.covariance[2][0] = 0.0;
        Matrix start = identity(3);
        start[2][2] = 0.5;
        expectMaximum(s, a, engine(s, a, start), s.U * s.yyInverse, start);
    }
}

}  // namespace
}  // namespace ordena::test
