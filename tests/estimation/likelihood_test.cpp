// The engine against the marginal likelihood computed in the test: on data
// drawn from a stated model, the Bock/Aitken likelihood is summed case by
// case over the engine's grid; the estimates must be its maximum, the
// deviance its value, and the full error covariance the inverse of its
// Hessian taken by finite differences. Also comparisons that need no
// likelihood: integer weights against duplicated cases, three dimensions in
// another order, the three constraints of a rater model, Monte Carlo
// integration with regressors against quadrature.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/special.h"
#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "support/script_session.h"
#include "support/simulate.h"

namespace ordena::test {
namespace {

// For every item and category the item parameters in its exponent, with
// their coefficients: the model statement's design, written out by hand.
using Design = std::vector<std::vector<std::vector<std::pair<int, double>>>>;

// Rasch or partial credit items under the default constraint on one
// dimension: item i < I-1 has -k times its own location in category k, the
// last item +k times every other location; a three-category item's step
// parameter (numbered after all locations) has -1 in category 1.
Design defaultDesign(const std::vector<SimItem>& items) {
    const int I = static_cast<int>(items.size());
    Design design(items.size());
    int step = I - 1;
    for (int i = 0; i < I; ++i) {
        const int K = static_cast<int>(items[static_cast<std::size_t>(i)].constants.size());
        auto& rows = design[static_cast<std::size_t>(i)];
        rows.resize(static_cast<std::size_t>(K));
        for (int k = 1; k < K; ++k) {
            if (i < I - 1)
                rows[static_cast<std::size_t>(k)].push_back({i, -k});
            else
                for (int p = 0; p < I - 1; ++p) rows[static_cast<std::size_t>(k)].push_back({p, k});
        }
        if (K == 3) rows[1].push_back({step++, -1.0});
    }
    return design;
}

// Dichotomous items under constraints=cases: every item has its own
// parameter, times minus the sum of its scores.
Design casesDesign(const std::vector<SimItem>& items) {
    Design design(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        double total = 0;
        for (double b : items[i].scores[1]) total += b;
        design[i] = {{}, {{static_cast<int>(i), -total}}};
    }
    return design;
}

// The Bock/Aitken grid: n nodes per dimension from low, the spacing kept in
// single precision, the first dimension varying fastest.
struct Grid {
    int D = 1, Q = 0;
    float h = 0;
    std::vector<double> theta;  // q * D + d
};

// The logarithm of the spacing, as the deviance adds it: single precision.
double lnH(const Grid& g) { return static_cast<float>(std::log(static_cast<double>(g.h))); }

Grid bockAitken(int D, int n, double low, double high) {
    Grid g;
    g.D = D;
    g.h = static_cast<float>((high - low) / (n - 1));
    g.Q = static_cast<int>(std::pow(n, D));
    for (int q = 0; q < g.Q; ++q)
        for (int d = 0, rest = q; d < D; ++d, rest /= n) g.theta.push_back(rest % n * static_cast<double>(g.h) + low);
    return g;
}

// The marginal log-likelihood (weights normalised to the number of cases
// with weight) as a function of the packed parameters: item parameters,
// then beta dimension by dimension, then the covariances (d, e <= d).
struct MarginalLikelihood {
    std::vector<SimItem> items;
    Design design;
    std::vector<SimCase> cases;
    Grid grid;
    int P = 0, R = 1;
    // When given, the prior weights of the nodes (a discrete distribution):
    // the population parameters then play no part.
    std::vector<double> nodeWeights;

    int parameters() const { return P + grid.D * R + grid.D * (grid.D + 1) / 2; }

    std::vector<double> pack(const EstimationState& est) const {
        std::vector<double> x;
        for (int p = 0; p < P; ++p) x.push_back(est.xsi[p][0]);
        for (int d = 0; d < grid.D; ++d)
            for (int r = 0; r < R; ++r) x.push_back(est.beta[d][r]);
        for (int d = 0; d < grid.D; ++d)
            for (int e = 0; e <= d; ++e) x.push_back(est.sigma[d][e]);
        return x;
    }

    int withWeight() const {
        int count = 0;
        for (const SimCase& c : cases) count += c.weight > 0;
        return count;
    }

    double weightFactor() const {
        double count = 0, total = 0;
        for (const SimCase& c : cases)
            if (c.weight > 0) count += 1, total += c.weight;
        return count / total;
    }

    // When given, a Gauss-Hermite rule (nodes and weights of the standard
    // normal) for two dimensions: the nodes then move with the mean and the
    // covariance matrix, theta = mu + sqrt(lambda_1) z_1 v_1 + sqrt(lambda_2) z_2 v_2.
    std::vector<double> gaussNodes, gaussWeights;

    double operator()(const std::vector<double>& x) const {
        if (gaussNodes.empty()) return evaluate(x, grid, nodeWeights);
        // The eigenvectors of a 2 x 2 covariance matrix by its angle. The
        // product grid is the same set of nodes whatever their order and
        // signs.
        const std::size_t at = static_cast<std::size_t>(P + 2 * R);
        const double a = x[at], b = x[at + 1], c = x[at + 2];
        const double angle = 0.5 * std::atan2(2 * b, a - c), cs = std::cos(angle), sn = std::sin(angle);
        const double l1 = a * cs * cs + 2 * b * sn * cs + c * sn * sn, l2 = a * sn * sn - 2 * b * sn * cs + c * cs * cs;
        if (!(l1 > 0 && l2 > 0 && a * c - b * b > 0)) return -HUGE_VAL;
        Grid moved;
        moved.D = 2;
        std::vector<double> weights;
        const std::size_t n = gaussNodes.size();
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t i = 0; i < n; ++i) {
                const double z1 = std::sqrt(l1) * gaussNodes[i], z2 = std::sqrt(l2) * gaussNodes[j];
                moved.theta.push_back(x[static_cast<std::size_t>(P)] + z1 * cs - z2 * sn);
                moved.theta.push_back(x[static_cast<std::size_t>(P + R)] + z1 * sn + z2 * cs);
                weights.push_back(gaussWeights[i] * gaussWeights[j]);
            }
        moved.Q = static_cast<int>(weights.size());
        return evaluate(x, moved, weights);
    }

    double evaluate(const std::vector<double>& x, const Grid& grid, const std::vector<double>& nodeWeights) const {
        const int D = grid.D, Q = grid.Q;
        // Category probabilities at every node.
        std::vector<std::vector<std::vector<double>>> prob(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            SimItem item = items[i];
            for (std::size_t k = 0; k < item.constants.size(); ++k) {
                item.constants[k] = 0;
                for (auto [p, a] : design[i][k]) item.constants[k] += a * x[static_cast<std::size_t>(p)];
            }
            prob[i].resize(item.constants.size(), std::vector<double>(static_cast<std::size_t>(Q)));
            for (int q = 0; q < Q; ++q) {
                const std::vector<double> p = categoryProbabilities(item, &grid.theta[static_cast<std::size_t>(q * D)]);
                for (std::size_t k = 0; k < p.size(); ++k) prob[i][k][static_cast<std::size_t>(q)] = p[k];
            }
        }
        // Cholesky factor of the covariance matrix.
        const std::size_t at = static_cast<std::size_t>(P + D * R);
        std::vector<std::vector<double>> L(static_cast<std::size_t>(D),
                                           std::vector<double>(static_cast<std::size_t>(D)));
        for (int d = 0, k = 0; d < D && nodeWeights.empty(); ++d)
            for (int e = 0; e <= d; ++e, ++k) {
                double s = x[at + static_cast<std::size_t>(k)];
                for (int f = 0; f < e; ++f) s -= L[d][f] * L[e][f];
                if (d == e) {
                    if (!(s > 0)) return -HUGE_VAL;
                    L[d][d] = std::sqrt(s);
                } else {
                    L[d][e] = s / L[e][e];
                }
            }
        double total = 0;
        std::vector<double> mu(static_cast<std::size_t>(D)), z(static_cast<std::size_t>(D));
        for (const SimCase& c : cases) {
            if (c.weight <= 0) continue;
            for (int d = 0; d < D; ++d) {
                mu[d] = x[static_cast<std::size_t>(P + d * R)];
                for (int r = 1; r < R; ++r) mu[d] += x[static_cast<std::size_t>(P + d * R + r)] * c.regressors[r - 1];
            }
            double prior = 0, joint = 0;
            for (int q = 0; q < Q; ++q) {
                double m = 0;
                for (int d = 0; d < D && nodeWeights.empty(); ++d) {
                    z[d] = grid.theta[static_cast<std::size_t>(q * D + d)] - mu[d];
                    for (int e = 0; e < d; ++e) z[d] -= L[d][e] * z[e];
                    z[d] /= L[d][d];
                    m += z[d] * z[d];
                }
                const double w = nodeWeights.empty() ? std::exp(-0.5 * m) : nodeWeights[static_cast<std::size_t>(q)];
                double like = w;
                for (std::size_t i = 0; i < items.size(); ++i)
                    if (c.responses[i] >= 0) like *= prob[i][static_cast<std::size_t>(c.responses[i])][q];
                prior += w;
                joint += like;
            }
            total += c.weight * std::log(joint / prior);
        }
        return weightFactor() * total;
    }

    // Central differences: gradient and Hessian.
    std::vector<double> gradient(std::vector<double> x, double h = 1e-4) const {
        std::vector<double> g(x.size());
        for (std::size_t a = 0; a < x.size(); ++a) {
            const double keep = x[a];
            x[a] = keep + h;
            const double up = (*this)(x);
            x[a] = keep - h;
            g[a] = (up - (*this)(x)) / (2 * h);
            x[a] = keep;
        }
        return g;
    }
    std::vector<std::vector<double>> hessian(std::vector<double> x, double h = 1e-4) const {
        const std::size_t K = x.size();
        std::vector<std::vector<double>> H(K, std::vector<double>(K));
        const double centre = (*this)(x);
        for (std::size_t a = 0; a < K; ++a)
            for (std::size_t b = a; b < K; ++b) {
                auto at = [&](double sa, double sb) {
                    std::vector<double> y = x;
                    y[a] += sa * h;
                    y[b] += sb * h;
                    return (*this)(y);
                };
                H[a][b] = H[b][a] = a == b ? (at(1, 0) - 2 * centre + at(-1, 0)) / (h * h)
                                           : (at(1, 1) - at(1, -1) - at(-1, 1) + at(-1, -1)) / (4 * h * h);
            }
        return H;
    }
};

// Gauss-Jordan inverse of a small symmetric matrix.
std::vector<std::vector<double>> invert(std::vector<std::vector<double>> a) {
    const std::size_t n = a.size();
    std::vector<std::vector<double>> inv(n, std::vector<double>(n, 0.0));
    for (std::size_t i = 0; i < n; ++i) inv[i][i] = 1;
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        std::swap(a[c], a[pivot]);
        std::swap(inv[c], inv[pivot]);
        const double d = a[c][c];
        for (std::size_t j = 0; j < n; ++j) a[c][j] /= d, inv[c][j] /= d;
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = a[r][c];
            for (std::size_t j = 0; j < n; ++j) a[r][j] -= f * a[c][j], inv[r][j] -= f * inv[c][j];
        }
    }
    return inv;
}

std::string errorsOf(const ScriptSession& s) { return s.shell.errors.empty() ? "" : s.shell.errors[0]; }

// Every score of the likelihood at the estimates is a small fraction of a
// standard error: the estimates are its maximum.
void expectMaximum(const MarginalLikelihood& f, const std::vector<double>& x, const std::vector<int>& anchored,
                   double tolerance) {
    const std::vector<double> g = f.gradient(x);
    double largest = 0;
    for (std::size_t a = 0; a < x.size(); ++a) {
        if (std::find(anchored.begin(), anchored.end(), static_cast<int>(a)) != anchored.end()) continue;
        std::vector<double> y = x;
        const double h = 1e-3;
        y[a] += h;
        const double up = f(y);
        y[a] -= 2 * h;
        const double curvature = (up - 2 * f(x) + f(y)) / (h * h);
        ASSERT_LT(curvature, 0.0) << "parameter " << a;
        const double z = g[a] / std::sqrt(-curvature);
        largest = std::max(largest, std::fabs(z));
        EXPECT_LT(std::fabs(z), tolerance) << "parameter " << a << ": score " << g[a];
    }
    std::printf("  largest score at the estimates: %.5f standard errors\n", largest);
}

// Writes f's cases to a data file and runs the statements that follow the
// datafile statement; the estimate must have f's item parameters.
void estimateOn(ScriptSession& s, const MarginalLikelihood& f, const std::string& statements) {
    s.writeFile("f.dat", dataFile(f.cases));
    ASSERT_EQ(s.runAllOf("datafile f.dat;\n" + statements), 1) << errorsOf(s);
    ASSERT_EQ(s.session.ws.est.parameters(), f.P);
}

// The covariance of the estimates: minus the inverse of the Hessian.
std::vector<std::vector<double>> covarianceAt(const MarginalLikelihood& f, const std::vector<double>& x) {
    auto C = f.hessian(x);
    for (auto& row : C)
        for (double& v : row) v = -v;
    return invert(C);
}

// The full error covariance against C, entry by entry on the scale of the
// errors.
void expectFullErrors(const Matrix& full, const std::vector<std::vector<double>>& C, double tolerance) {
    const int K = static_cast<int>(C.size());
    ASSERT_EQ(full.rows(), K);
    double largest = 0;
    for (int a = 0; a < K; ++a)
        for (int b = 0; b < K; ++b) {
            const double difference = std::fabs(full[a][b] - C[a][b]) / std::sqrt(C[a][a] * C[b][b]);
            largest = std::max(largest, difference);
            EXPECT_LT(difference, tolerance) << "entry " << a << ", " << b << ": " << full[a][b] << " vs " << C[a][b];
        }
    std::printf("  full errors: largest difference %.2e of the errors' scale\n", largest);
}

// Latent regression on a group and a continuous variable, integer weights
// (a few blank, so zero), five dichotomous and two three-category items.
TEST(MarginalLikelihood, RegressionWithWeightsAndStepsFullErrorsInvertItsHessian) {
    const std::vector<SimItem> truth = {dichotomous(-1.0), dichotomous(-0.4),          dichotomous(0.1),
                                        dichotomous(0.6),  dichotomous(1.2),           partialCredit(0.2, {0.5, -0.5}),
                                        partialCredit(-0.3, {-0.4, 0.4})};
    MarginalLikelihood f;
    f.items = truth;
    f.design = defaultDesign(truth);
    f.cases = simulateCases(truth, {{{0.1, 0.6, 0.4}}, {{0.9}}}, 400, 41, [](std::mt19937_64& rng, SimCase& c) {
        c.regressors = {static_cast<double>(rng() % 2), std::normal_distribution<double>(0, 1)(rng)};
        c.weight = rng() % 20 == 0 ? -1 : 1 + static_cast<int>(rng() % 3);
    });
    f.grid = bockAitken(1, 15, -6, 6);
    f.P = 8;
    f.R = 3;

    ScriptSession s;
    ASSERT_NO_FATAL_FAILURE(estimateOn(s, f,
                                       formatFor(2, 7) + "caseweight w;\nregression x1 x2;\nmodel item + item*step;\n"
                                                         "estimate ! stderr=full, fit=no, convergence=0.00001,"
                                                         " deviancechange=0.000001;\n"));
    const EstimationState& est = s.session.ws.est;
    const int K = f.parameters();
    ASSERT_EQ(est.fullErrors.rows(), K);
    const std::vector<double> x = f.pack(est);

    // The deviance adds ln h for every case with weight.
    EXPECT_NEAR(est.deviance, -2 * f(x) - 2 * f.withWeight() * lnH(f.grid), 1e-6 * est.deviance);

    const auto C = covarianceAt(f, x);
    // At the maximum: the Newton step to it is a small part of an error.
    const std::vector<double> g = f.gradient(x);
    for (int a = 0; a < K; ++a) {
        double step = 0;
        for (int b = 0; b < K; ++b) step += C[a][b] * g[b];
        EXPECT_LT(std::fabs(step), 0.02 * std::sqrt(C[a][a])) << "parameter " << a;
    }
    expectFullErrors(est.fullErrors, C, 2e-3);
}

// Two dimensions, two items loading on both, a latent regression: the item
// parameters, both dimensions' coefficients and the covariance matrix
// maximise the likelihood, and the quick errors follow their formulas.
MarginalLikelihood twoDimensions() {
    std::vector<SimItem> truth;
    for (double d : {-0.8, 0.0, 0.7, -0.3}) truth.push_back(dichotomous(d, {1, 0}));
    for (double d : {-0.5, 0.3, 0.9, 0.1}) truth.push_back(dichotomous(d, {0, 1}));
    for (double d : {0.4, -0.2}) truth.push_back(dichotomous(d, {1, 1}));
    MarginalLikelihood f;
    f.items = truth;
    f.design = casesDesign(truth);
    f.cases = simulateCases(truth, {{{0, 0.5}, {0, -0.3}}, {{1.0, 0}, {0.5, 0.9}}}, 400, 7,
                            [](std::mt19937_64& rng, SimCase& c) {
                                c.regressors = {std::normal_distribution<double>(0, 1)(rng)};
                            });
    f.grid = bockAitken(2, 15, -6, 6);
    f.P = 10;
    f.R = 2;
    return f;
}

// Its statements, with the given ones before the estimate.
std::string twoDimensionScript(const std::string& more) {
    return "set constraints=cases;\n" + formatFor(1, 10) +
           "scores (0,1) (0,1) () ! item(1-4);\nscores (0,1) () (0,1) ! item(5-8);\n"
           "scores (0,1) (0,1) (0,1) ! item(9-10);\nregression x1;\nmodel item;\n" +
           more + "estimate ! fit=no, convergence=0.00001, deviancechange=0.000001;\n";
}

TEST(MarginalLikelihood, TwoDimensionsWithWithinItemsAndRegressionReachItsMaximum) {
    const MarginalLikelihood f = twoDimensions();
    ScriptSession s;
    ASSERT_NO_FATAL_FAILURE(estimateOn(s, f, twoDimensionScript("")));
    const EstimationState& est = s.session.ws.est;
    // Under constraints=cases the constants are anchored at zero.
    EXPECT_EQ(est.beta[0][0], 0.0);
    EXPECT_EQ(est.beta[1][0], 0.0);
    const std::vector<double> x = f.pack(est);
    EXPECT_NEAR(est.deviance, -2 * f(x) - 2 * 400 * 2 * lnH(f.grid), 1e-6 * est.deviance);
    // The anchored constants have scores of their own; every other
    // parameter is at the maximum.
    expectMaximum(f, x, {f.P, f.P + f.R}, 0.02);

    // Quick errors, dimension by dimension: regression coefficients from the
    // variance and the inverse cross-products of the regressors, covariances
    // from 2 sigma_ii sigma_jj / N.
    double yy[2][2] = {{0, 0}, {0, 0}};
    for (const SimCase& c : f.cases) {
        const double v[2] = {1.0, c.regressors[0]};
        for (int a = 0; a < 2; ++a)
            for (int b = 0; b < 2; ++b) yy[a][b] += v[a] * v[b];
    }
    const double det = yy[0][0] * yy[1][1] - yy[0][1] * yy[1][0];
    const double inverseDiagonal[2] = {yy[1][1] / det, yy[0][0] / det};
    for (int d = 0; d < 2; ++d) {
        for (int r = 0; r < 2; ++r)
            EXPECT_NEAR(est.regressionErrors[r][d], est.sigma[d][d] * inverseDiagonal[r], 1e-9) << d << " " << r;
        for (int e = 0; e < 2; ++e)
            EXPECT_NEAR(est.covarianceErrors[d][e], 2 * est.sigma[d][d] * est.sigma[e][e] / 400, 1e-12);
    }
}


// The same two dimensions with a population parameter anchored away from
// its estimate: the slope of the first dimension at 0 (its estimate is
// near 0.5), the first variance at 0.6 (near 1.0), the covariance at 0.1
// (near 0.5). The anchor holds, and every other parameter is at the
// maximum of the likelihood under it.
TEST(MarginalLikelihood, AnchoredPopulationParametersLeaveTheOthersAtTheirMaximum) {
    const MarginalLikelihood f = twoDimensions();
    // Packed positions: beta (d, r) at P + d R + r, then sigma 00, 10, 11.
    const int constant0 = f.P, slope0 = f.P + 1, constant1 = f.P + 2, variance0 = f.P + 4, covariance = f.P + 5;
    struct Anchor {
        const char* import;
        const char* line;
        int position;
        double value;
    };
    for (const Anchor& a : {Anchor{"anchor_reg_coefficients", "1 1 0.0", slope0, 0.0},
                            Anchor{"anchor_covariance", "1 1 0.6", variance0, 0.6},
                            Anchor{"anchor_covariance", "1 2 0.1", covariance, 0.1}}) {
        SCOPED_TRACE(a.import + std::string(" ") + a.line);
        ScriptSession s;
        s.writeFile("held.anc", std::string(a.line) + "\n");
        ASSERT_NO_FATAL_FAILURE(
            estimateOn(s, f, twoDimensionScript("import " + std::string(a.import) + " << held.anc;\n")));
        const std::vector<double> x = f.pack(s.session.ws.est);
        EXPECT_NEAR(x[static_cast<std::size_t>(a.position)], a.value, 1e-7);
        EXPECT_NEAR(s.session.ws.est.deviance, -2 * f(x) - 2 * 400 * 2 * lnH(f.grid), 1e-6 * s.session.ws.est.deviance);
        expectMaximum(f, x, {constant0, constant1, a.position}, 0.02);
    }
}

// Gauss-Hermite quadrature with a free covariance between two dimensions:
// the nodes turn with the covariance matrix, and the estimates must be the
// maximum of that likelihood, the covariance's score included.
// Two dimensions under 10-node Gauss-Hermite quadrature: five items on
// each, and two on both when within is set.
MarginalLikelihood gaussTwoDimensions(bool within) {
    std::vector<SimItem> truth;
    for (double d : {-0.9, -0.2, 0.4, 1.0, 0.1}) truth.push_back(dichotomous(d, {1, 0}));
    for (double d : {-0.6, 0.2, 0.8, -0.1, 0.5}) truth.push_back(dichotomous(d, {0, 1}));
    if (within)
        for (double d : {0.3, -0.4}) truth.push_back(dichotomous(d, {1, 1}));
    MarginalLikelihood f;
    f.items = truth;
    f.design = casesDesign(truth);
    f.cases = simulateCases(truth, {{{0.0}, {0.0}}, {{1.0, 0}, {0.9, 0.8}}}, 400, 11, [](std::mt19937_64&, SimCase&) {});
    f.grid.D = 2;
    f.P = static_cast<int>(truth.size());
    f.R = 1;
    Vector nodes, weights;
    GaussHermite(nodes, weights, 10);
    for (int q = 0; q < nodes.rows(); ++q) {
        f.gaussNodes.push_back(nodes[q][0]);
        f.gaussWeights.push_back(weights[q][0]);
    }
    return f;
}

std::string gaussScript(bool within, const std::string& more) {
    return "set constraints=cases;\n" + formatFor(0, within ? 12 : 10) +
           "scores (0,1) (0,1) () ! item(1-5);\nscores (0,1) () (0,1) ! item(6-10);\n" +
           (within ? "scores (0,1) (0,1) (0,1) ! item(11-12);\n" : "") + "model item;\n" + more +
           "estimate ! method=gauss, nodes=10, fit=no, convergence=0.0000001, deviancechange=0.00000001;\n";
}

TEST(MarginalLikelihood, GaussHermiteWithAFreeCovarianceReachesItsMaximum) {
    const MarginalLikelihood f = gaussTwoDimensions(true);
    ScriptSession s;
    ASSERT_NO_FATAL_FAILURE(estimateOn(s, f, gaussScript(true, "")));
    const EstimationState& est = s.session.ws.est;
    const std::vector<double> x = f.pack(est);
    std::printf("  covariance %.5f %.5f %.5f, deviance %.5f\n", x[14], x[15], x[16], est.deviance);
    EXPECT_NEAR(est.deviance, -2 * f(x), 1e-6 * est.deviance);
    // The means are anchored at zero by constraints=cases.
    // Without the turn of the nodes the covariance's score stayed at 0.03
    // of its error.
    expectMaximum(f, x, {f.P, f.P + 1}, 0.005);
}

// Anchored population parameters under Gauss-Hermite quadrature: a variance
// with the covariance free (the nodes turn), and a variance with the
// covariance anchored at 0 (a product grid, computed dimension by
// dimension). Every free parameter is at the maximum under the anchors.
TEST(MarginalLikelihood, GaussHermiteWithAnchoredCovariancesReachesTheConstrainedMaximum) {
    for (const bool within : {true, false}) {
        SCOPED_TRACE(within ? "free covariance" : "covariance anchored at 0");
        const MarginalLikelihood f = gaussTwoDimensions(within);
        ScriptSession s;
        s.writeFile("held.anc", within ? "1 1 0.6\n" : "1 2 0.0\n2 2 0.8\n");
        ASSERT_NO_FATAL_FAILURE(estimateOn(s, f, gaussScript(within, "import anchor_covariance << held.anc;\n")));
        const EstimationState& est = s.session.ws.est;
        const std::vector<double> x = f.pack(est);
        const int variance0 = f.P + 2, covariance = f.P + 3, variance1 = f.P + 4;
        EXPECT_NEAR(est.deviance, -2 * f(x), 1e-6 * est.deviance);
        if (within) {
            EXPECT_NEAR(x[static_cast<std::size_t>(variance0)], 0.6, 1e-7);
            expectMaximum(f, x, {f.P, f.P + 1, variance0}, 0.005);
        } else {
            EXPECT_GT(s.session.timing.factorisedPasses, 0);
            EXPECT_EQ(x[static_cast<std::size_t>(covariance)], 0.0);
            EXPECT_NEAR(x[static_cast<std::size_t>(variance1)], 0.8, 1e-7);
            expectMaximum(f, x, {f.P, f.P + 1, covariance, variance1}, 0.005);
        }
    }
}

std::vector<double> vectorOf(const Vector& v) {
    std::vector<double> out;
    for (int i = 0; i < v.rows(); ++i) out.push_back(v[i][0]);
    return out;
}

// Integer weights against the same cases written out as many times as their
// weight; a blank weight is zero and its case is left out. Estimates and
// case estimates agree; the deviance and the information scale with the
// weight factor (cases with weight over the sum of the weights).
TEST(Invariance, IntegerWeightsAgreeWithDuplicatedCases) {
    const std::vector<SimItem> truth = {dichotomous(-1.2), dichotomous(-0.5), dichotomous(0.0), dichotomous(0.4),
                                        dichotomous(1.1),  partialCredit(0.3, {0.4, -0.4})};
    auto background = [](std::mt19937_64& rng, SimCase& c) {
        c.regressors = {std::normal_distribution<double>(0, 1)(rng)};
        c.weight = rng() % 15 == 0 ? -1 : 1 + static_cast<int>(rng() % 3);
    };
    const std::vector<SimCase> cases = simulateCases(truth, {{{0.2, 0.5}}, {{1.0}}}, 300, 5, background);
    std::vector<SimCase> copies;
    std::vector<int> firstCopy;
    double withWeight = 0, total = 0;
    for (SimCase c : cases) {
        firstCopy.push_back(static_cast<int>(copies.size()));
        if (c.weight <= 0) continue;
        withWeight += 1;
        total += c.weight;
        for (int k = c.weight; k > 0; --k) copies.push_back(c), copies.back().weight = 1;
    }
    const double factor = withWeight / total;
    const std::string model = formatFor(1, 6) + "caseweight w;\nregression x1;\nmodel item + item*step;\n";
    const std::string options = "fit=no, convergence=0.00001, deviancechange=0.000001";
    // One session at a time: each works in a directory of its own.
    struct Run {
        EstimationState full, quick;
        CaseScoreRecords records;
    };
    auto estimate = [&](const std::vector<SimCase>& data) {
        Run r;
        ScriptSession s;
        s.writeFile("w.dat", dataFile(data));
        EXPECT_EQ(s.runAllOf("datafile w.dat;\n" + model + "estimate ! stderr=full, abilities=yes, " + options + ";\n"),
                  1)
            << errorsOf(s);
        r.full = s.session.ws.est;
        EXPECT_EQ(openCaseScores(s.session, r.records), 1);
        EXPECT_EQ(s.run("estimate ! " + options + ";\n"), 1);
        r.quick = s.session.ws.est;
        return r;
    };
    const Run weighted = estimate(cases), duplicated = estimate(copies);
    const EstimationState& a = weighted.full;
    const EstimationState& b = duplicated.full;
    EXPECT_NEAR(a.weightFactor, factor, 1e-12);
    const std::vector<double> xa = vectorOf(a.xsi), xb = vectorOf(b.xsi);
    ASSERT_EQ(xa.size(), xb.size());
    for (std::size_t p = 0; p < xa.size(); ++p) EXPECT_NEAR(xa[p], xb[p], 3e-4) << p;
    for (int r = 0; r < 2; ++r) EXPECT_NEAR(a.beta[0][r], b.beta[0][r], 3e-4) << r;
    EXPECT_NEAR(a.sigma[0][0], b.sigma[0][0], 3e-4);
    EXPECT_NEAR(a.deviance, factor * b.deviance, 1e-7 * a.deviance);
    const int K = a.fullErrors.rows();
    ASSERT_EQ(K, b.fullErrors.rows());
    ASSERT_GT(K, 0);
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j)
            EXPECT_NEAR(a.fullErrors[i][j] * factor, b.fullErrors[i][j],
                        1e-4 * std::sqrt(b.fullErrors[i][i] * b.fullErrors[j][j]))
                << i << " " << j;

    // Case estimates of every case with weight, against its first copy.
    const CaseScoreRecords &ra = weighted.records, &rb = duplicated.records;
    for (std::size_t n = 0; n < cases.size(); ++n) {
        if (cases[n].weight <= 0) continue;
        const double* x = ra.record(static_cast<int>(n));
        const double* y = rb.record(firstCopy[n]);
        for (std::size_t at : {ra.mleAt(), ra.mleCovAt(), ra.wleAt(), ra.wleCovAt(), ra.eapAt(), ra.rawAt()})
            EXPECT_NEAR(x[at], y[at], 1e-4) << "case " << n + 1 << " field " << at;
    }

    // Quick errors scale like the information.
    const EstimationState &qa = weighted.quick, &qb = duplicated.quick;
    for (int p = 0; p < qa.parameters(); ++p)
        EXPECT_NEAR(qa.itemErrors[p][0] * factor, qb.itemErrors[p][0], 1e-4 * qb.itemErrors[p][0]) << p;
    for (int r = 0; r < 2; ++r)
        EXPECT_NEAR(qa.regressionErrors[r][0] * factor, qb.regressionErrors[r][0], 1e-4 * qb.regressionErrors[r][0]);
}

// Three dimensions, items of each on one: naming the dimensions in another
// order permutes the population estimates and leaves the rest alone.
TEST(Invariance, TheOrderOfThreeDimensionsDoesNotMatter) {
    std::vector<SimItem> truth;
    const double difficulties[4] = {-0.9, -0.2, 0.3, 0.8};
    for (int d = 0; d < 3; ++d)
        for (double delta : difficulties) {
            std::vector<double> b(3, 0.0);
            b[static_cast<std::size_t>(d)] = 1;
            truth.push_back(dichotomous(delta + 0.2 * d, b));
        }
    const std::vector<SimCase> cases =
        simulateCases(truth, {{{0.3}, {-0.2}, {0.1}}, {{1.0, 0, 0}, {0.5, 0.8, 0}, {0.3, 0.2, 1.1}}}, 250, 13);
    // Dimension of the items 1-4, 5-8, 9-12 in the second run: 3, 1, 2.
    const int moved[3] = {2, 0, 1};
    EstimationState results[2];
    for (int run = 0; run < 2; ++run) {
        std::string scores;
        for (int d = 0; d < 3; ++d) {
            const int to = run == 0 ? d : moved[d];
            scores += "scores (0,1)";
            for (int e = 0; e < 3; ++e) scores += e == to ? " (0,1)" : " ()";
            scores += " ! item(" + std::to_string(4 * d + 1) + "-" + std::to_string(4 * d + 4) + ");\n";
        }
        ScriptSession s;
        s.writeFile("three.dat", dataFile(cases));
        ASSERT_EQ(s.runAllOf("datafile three.dat;\n" + formatFor(0, 12) + scores + "model item;\n" +
                             "estimate ! nodes=4, fit=no, convergence=0.00001, deviancechange=0.000001;\n"),
                  1)
            << errorsOf(s);
        results[run] = s.session.ws.est;
    }
    const EstimationState &a = results[0], &b = results[1];
    EXPECT_NEAR(a.deviance, b.deviance, 1e-6 * a.deviance);
    ASSERT_EQ(a.parameters(), 9);
    for (int p = 0; p < 9; ++p) EXPECT_NEAR(a.xsi[p][0], b.xsi[p][0], 1e-4) << p;
    for (int d = 0; d < 3; ++d) {
        EXPECT_NEAR(a.beta[d][0], b.beta[moved[d]][0], 1e-4) << d;
        for (int e = 0; e < 3; ++e) EXPECT_NEAR(a.sigma[d][e], b.sigma[moved[d]][moved[e]], 1e-4) << d << " " << e;
    }
}

// A rater facet: the default (items sum to zero) reaches the maximum of the
// likelihood of item + rater; cases (the mean at zero) and no constraint
// with one item and one rater anchored at zero are the same model and
// differ only in where its origin lies.
TEST(Invariance, ConstraintsOnItemsCasesOrNoneFitTheSameModel) {
    const double delta[6] = {-1.0, -0.4, 0.0, 0.3, 0.5, 0.6}, rho[3] = {-0.3, 0.1, 0.2};
    std::vector<SimCase> cases;
    for (int r = 0; r < 3; ++r) {
        std::vector<SimItem> items;
        for (double d : delta) items.push_back(dichotomous(d + rho[r]));
        for (SimCase c : simulateCases(items, {{{0.4}}, {{1.1}}}, 200, 17 + r)) {
            c.weight = r + 1;  // the rater's column
            cases.push_back(c);
        }
    }
    struct Solution {
        std::vector<double> items, raters;
        double variance, deviance;
    };
    auto centred = [](std::vector<double> v) {
        double mean = 0;
        for (double x : v) mean += x / static_cast<double>(v.size());
        for (double& x : v) x -= mean;
        return v;
    };
    std::vector<Solution> solutions;
    for (const char* constraint : {"items", "cases", "none"}) {
        ScriptSession s;
        s.writeFile("r.dat", dataFile(cases));
        ASSERT_EQ(s.runAllOf(std::string("set constraints=") + constraint +
                             ";\ndatafile r.dat;\nformat pid 1-5 rater 7-8 responses 10-15;\nmodel item + rater;\n"),
                  1);
        const bool none = std::string(constraint) == "none";
        if (none) {
            s.session.ws.est.anchors.push_back({kAnchorItem, 0, 0, 0.0f});
            s.session.ws.est.anchors.push_back({kAnchorItem, 6, 0, 0.0f});
        }
        ASSERT_EQ(s.run("estimate ! method=quadrature, fit=no, convergence=0.00001, deviancechange=0.000001;\n"), 1)
            << errorsOf(s);
        if (solutions.empty()) {
            // Items and raters sum to zero: item i < 6 and rater r < 3 have
            // their own parameter, the last of each +1 on all the others'.
            // Each rater's items are generalised items of their own.
            MarginalLikelihood f;
            for (int r = 0; r < 3; ++r)
                for (int i = 0; i < 6; ++i) {
                    f.items.push_back(dichotomous(0));
                    std::vector<std::pair<int, double>> a;
                    for (int p = 0; p < 5; ++p)
                        if (i == 5 || p == i) a.push_back({p, i == 5 ? 1.0 : -1.0});
                    for (int p = 0; p < 2; ++p)
                        if (r == 2 || p == r) a.push_back({5 + p, r == 2 ? 1.0 : -1.0});
                    f.design.push_back({{}, a});
                }
            for (const SimCase& c : cases) {
                SimCase g = c;
                g.responses.assign(18, -1);
                for (std::size_t i = 0; i < 6; ++i)
                    g.responses[static_cast<std::size_t>(6 * (c.weight - 1)) + i] = c.responses[i];
                g.weight = 1;
                f.cases.push_back(g);
            }
            f.grid = bockAitken(1, 15, -6, 6);
            f.P = 7;
            const std::vector<double> x = f.pack(s.session.ws.est);
            EXPECT_NEAR(s.session.ws.est.deviance, -2 * f(x) - 2 * 600 * lnH(f.grid), 1e-6 * s.session.ws.est.deviance);
            expectMaximum(f, x, {}, 0.02);
        }
        const std::vector<double> x = vectorOf(s.session.ws.est.xsi);
        Solution sol;
        const std::size_t items = std::string(constraint) == "items" ? 5 : 6, raters = none ? 3 : 2;
        ASSERT_EQ(x.size(), items + raters) << constraint;
        sol.items.assign(x.begin(), x.begin() + static_cast<long>(items));
        sol.raters.assign(x.begin() + static_cast<long>(items), x.end());
        // The last level of a constrained facet is minus the sum of the others.
        for (std::vector<double>* v : {&sol.items, &sol.raters})
            if (v->size() < (v == &sol.items ? 6u : 3u)) {
                double sum = 0;
                for (double e : *v) sum += e;
                v->push_back(-sum);
            }
        sol.items = centred(sol.items);
        sol.raters = centred(sol.raters);
        sol.variance = s.session.ws.est.sigma[0][0];
        sol.deviance = s.session.ws.est.deviance;
        solutions.push_back(sol);
    }
    for (std::size_t k = 1; k < solutions.size(); ++k) {
        // The fixed grid sees the shifted origin: agreement to quadrature error.
        EXPECT_NEAR(solutions[k].deviance, solutions[0].deviance, 0.01) << k;
        EXPECT_NEAR(solutions[k].variance, solutions[0].variance, 5e-4) << k;
        for (int i = 0; i < 6; ++i) EXPECT_NEAR(solutions[k].items[i], solutions[0].items[i], 5e-4) << k << " " << i;
        for (int r = 0; r < 3; ++r) EXPECT_NEAR(solutions[k].raters[r], solutions[0].raters[r], 5e-4) << k << " " << r;
    }
}

// The rater script's data and model (item, rater and step parameters) with
// full errors: the estimates are the maximum of its likelihood and the error
// covariance the inverse of its Hessian. Each item-by-rater pair is a
// generalised item; the default constraint makes the last item and rater
// minus the sum of the others, and each item's second step minus its first.
// The grid is wide: a narrower one cuts off the posteriors of extreme
// scores, which the Louis formula (for an untruncated prior) does not see.
TEST(MarginalLikelihood, RaterScriptFullErrorsInvertItsHessian) {
    std::ifstream in(std::string(ORDENA_TEST_DATA) + "/scripts/show_raters/raters.dat");
    std::stringstream text;
    text << in.rdbuf();
    MarginalLikelihood f;
    for (int r = 0; r < 2; ++r)
        for (int i = 0; i < 4; ++i) {
            f.items.push_back(partialCredit(0, {0, 0}));
            std::vector<std::vector<std::pair<int, double>>> rows(3);
            for (int k = 1; k < 3; ++k) {
                for (int p = 0; p < 3; ++p)
                    if (i == 3 || p == i) rows[static_cast<std::size_t>(k)].push_back({p, i == 3 ? k : -k});
                rows[static_cast<std::size_t>(k)].push_back({3, r == 1 ? k : -k});
            }
            rows[1].push_back({4 + i, -1.0});
            f.design.push_back(rows);
        }
    std::istringstream lines(text.str());
    std::string line;
    while (std::getline(lines, line)) {
        ASSERT_GE(line.size(), 10u) << line;
        SimCase c;
        c.responses.assign(8, -1);
        const int r = line[4] - '1';
        for (int i = 0; i < 4; ++i) c.responses[static_cast<std::size_t>(4 * r + i)] = line[6 + i] - '0';
        f.cases.push_back(c);
    }
    ASSERT_EQ(f.cases.size(), 60u);
    f.grid = bockAitken(1, 121, -10, 10);
    f.P = 8;

    ScriptSession s;
    s.writeFile("raters.dat", text.str());
    ASSERT_EQ(s.runAllOf("datafile raters.dat;\nformat pid 1-3 rater 5 responses 7-10;\ncodes 0,1,2;\n"
                         "model item + rater + item*step;\nestimate ! stderr=full, method=quadrature, nodes=121,"
                         " minnode=-10, maxnode=10, convergence=0.00001, deviancechange=0.000001;\n"),
              1)
        << errorsOf(s);
    const EstimationState& est = s.session.ws.est;
    ASSERT_EQ(est.parameters(), f.P);
    const int K = f.parameters();
    ASSERT_EQ(est.fullErrors.rows(), K);
    const std::vector<double> x = f.pack(est);
    EXPECT_NEAR(est.deviance, -2 * f(x) - 2 * 60 * lnH(f.grid), 1e-6 * est.deviance);
    expectMaximum(f, x, {}, 0.02);
    expectFullErrors(est.fullErrors, covarianceAt(f, x), 2e-3);
}

// A discrete distribution with integer case weights (a few blank): the node
// weights and the item parameters together maximise the weighted likelihood.
// For the node weights that is the fixed point g_q = g_q (1 + df/dg_q / N),
// the derivative taken by differences of the likelihood.
TEST(MarginalLikelihood, DiscreteNodeWeightsAndItemsMaximiseTheWeightedLikelihood) {
    std::vector<SimItem> truth;
    for (double d : {-1.4, -0.8, -0.3, 0.1, 0.5, 0.9, 1.5}) truth.push_back(dichotomous(d));
    truth.push_back(partialCredit(0.2, {-0.3, 0.3}));
    MarginalLikelihood f;
    f.items = truth;
    f.design = defaultDesign(truth);
    f.cases = simulateCases(truth, {{{0.3}}, {{1.1}}}, 500, 29, [](std::mt19937_64& rng, SimCase& c) {
        c.weight = rng() % 12 == 0 ? -1 : 1 + static_cast<int>(rng() % 4);
    });
    f.grid = bockAitken(1, 7, -3, 3);
    f.P = 8;

    ScriptSession s;
    ASSERT_NO_FATAL_FAILURE(estimateOn(s, f,
                                       formatFor(0, 8) + "caseweight w;\nmodel item + item*step;\n"
                                                         "estimate ! method=quadrature, distribution=discrete, nodes=7,"
                                                         " minnode=-3, maxnode=3, convergence=0.00001,"
                                                         " deviancechange=0.000001;\n"));
    const EstimationState& est = s.session.ws.est;
    ASSERT_EQ(est.gwt.rows(), f.grid.Q);
    const int weighted = f.withWeight();
    double total = 0;
    for (int q = 0; q < f.grid.Q; ++q) {
        EXPECT_NEAR(est.nodeGrid[q][0], f.grid.theta[static_cast<std::size_t>(q)], 1e-6);
        f.nodeWeights.push_back(est.gwt[q][0]);
        total += est.gwt[q][0];
    }
    EXPECT_NEAR(total, 1.0, 1e-9);
    const std::vector<double> x = f.pack(est);
    EXPECT_NEAR(est.deviance, -2 * f(x) - 2 * weighted * lnH(f.grid), 1e-6 * est.deviance);
    expectMaximum(f, x, {f.P, f.P + 1}, 0.02);
    const double base = f(x);
    for (int q = 0; q < f.grid.Q; ++q) {
        MarginalLikelihood g = f;
        const double h = 1e-6;
        g.nodeWeights[static_cast<std::size_t>(q)] += h;
        const double slope = (g(x) - base) / h;
        EXPECT_NEAR(est.gwt[q][0] * (1 + slope / weighted), est.gwt[q][0], 2e-5) << "node " << q;
    }
}

// Monte Carlo integration with regressors (items anchored, as the method
// requires) against Bock/Aitken quadrature on the same data.
TEST(MonteCarlo, LatentRegressionAgreesWithQuadrature) {
    std::vector<SimItem> truth;
    for (int i = 0; i < 10; ++i) truth.push_back(dichotomous(-1.35 + 0.3 * i));
    const std::vector<SimCase> cases = simulateCases(truth, {{{0.2, 0.7}}, {{0.9}}}, 400, 23,
                                                     [](std::mt19937_64& rng, SimCase& c) {
                                                         c.regressors = {std::normal_distribution<double>(0, 1)(rng)};
                                                     });
    EstimationState results[2];
    int run = 0;
    for (const char* method : {"quadrature", "montecarlo, nodes=1500"}) {
        ScriptSession s;
        s.writeFile("mc.dat", dataFile(cases));
        ASSERT_EQ(s.runAllOf("datafile mc.dat;\n" + formatFor(1, 10) + "regression x1;\nmodel item;\n"), 1);
        for (int p = 0; p < 9; ++p)
            s.session.ws.est.anchors.push_back({kAnchorItem, p, 0, static_cast<float>(-1.35 + 0.3 * p)});
        ASSERT_EQ(s.run(std::string("estimate ! fit=no, method=") + method + ";\n"), 1) << errorsOf(s);
        results[run++] = s.session.ws.est;
    }
    std::printf("  quadrature beta %.4f %.4f sigma %.4f; Monte Carlo %.4f %.4f %.4f\n", results[0].beta[0][0],
                results[0].beta[0][1], results[0].sigma[0][0], results[1].beta[0][0], results[1].beta[0][1],
                results[1].sigma[0][0]);
    EXPECT_NEAR(results[1].beta[0][0], results[0].beta[0][0], 0.03);
    EXPECT_NEAR(results[1].beta[0][1], results[0].beta[0][1], 0.03);
    EXPECT_NEAR(results[1].sigma[0][0], results[0].sigma[0][0], 0.05 * results[0].sigma[0][0]);
}

}  // namespace
}  // namespace ordena::test
