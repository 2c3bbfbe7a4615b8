// A discrete population: the method it resolves to, and the fit it reaches
// against an independent EM over free node weights written here.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/rasch_data.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

// Rasch responses for abilities from two clusters, a population no normal
// distribution describes well.
std::string bimodalData(int cases, const std::vector<double>& delta, unsigned seed) {
    std::normal_distribution<double> low(-1.2, 0.4), high(1.0, 0.5);
    return raschResponses(cases, delta, seed,
                          [&](std::mt19937_64& rng, int n) { return n % 3 == 0 ? high(rng) : low(rng); });
}

struct DiscreteFit {
    double minus2LogL = 0;
    std::vector<double> delta;  // the first I-1 difficulties; the last is minus their sum
};

// Marginal maximum likelihood of the Rasch model with free weights on fixed
// nodes minNode + q*h, by EM with full Newton M-steps, over the distinct
// response patterns. Difficulties sum to zero.
DiscreteFit discreteEm(const std::string& data, int items, int Q, double minNode, double h) {
    std::map<std::string, double> patterns;
    std::istringstream in(data);
    std::string line;
    double N = 0;
    while (std::getline(in, line)) {
        patterns[line.substr(6, static_cast<std::size_t>(items))] += 1.0;
        N += 1.0;
    }
    std::vector<double> theta(static_cast<std::size_t>(Q)), w(static_cast<std::size_t>(Q));
    double total = 0;
    for (int q = 0; q < Q; ++q) {
        theta[q] = minNode + q * h;
        total += w[q] = std::exp(-0.5 * theta[q] * theta[q]);
    }
    for (double& x : w) x /= total;
    std::vector<double> S(static_cast<std::size_t>(items), 0.0);
    for (const auto& [p, c] : patterns)
        for (int i = 0; i < items; ++i) S[i] += c * (p[static_cast<std::size_t>(i)] == '1');
    std::vector<double> d(static_cast<std::size_t>(items), 0.0);
    auto prob = [&](int i, int q) { return 1.0 / (1.0 + std::exp(d[i] - theta[q])); };

    double logL = 0, previous = -1e300;
    for (int iteration = 0; iteration < 200000; ++iteration) {
        // E-step: posterior node counts and the log likelihood.
        std::vector<double> r(static_cast<std::size_t>(Q), 0.0);
        logL = 0;
        for (const auto& [p, c] : patterns) {
            std::vector<double> post(static_cast<std::size_t>(Q));
            double sum = 0;
            for (int q = 0; q < Q; ++q) {
                double L = w[q];
                for (int i = 0; i < items; ++i) L *= p[static_cast<std::size_t>(i)] == '1' ? prob(i, q) : 1 - prob(i, q);
                sum += post[q] = L;
            }
            logL += c * std::log(sum);
            for (int q = 0; q < Q; ++q) r[q] += c * post[q] / sum;
        }
        if (std::fabs(logL - previous) < 1e-12) break;
        previous = logL;
        for (int q = 0; q < Q; ++q) w[q] = r[q] / N;
        // M-step: Newton on the I-1 free difficulties, delta_I = -sum.
        const int F = items - 1;
        for (int step = 0; step < 20; ++step) {
            std::vector<double> E(static_cast<std::size_t>(items), 0.0), V(static_cast<std::size_t>(items), 0.0);
            for (int i = 0; i < items; ++i)
                for (int q = 0; q < Q; ++q) {
                    const double P = prob(i, q);
                    E[i] += r[q] * P;
                    V[i] += r[q] * P * (1 - P);
                }
            // g: gradient of the expected log likelihood; A: its negated
            // Hessian. The Newton step is A^-1 g.
            std::vector<double> g(static_cast<std::size_t>(F));
            std::vector<std::vector<double>> A(static_cast<std::size_t>(F), std::vector<double>(F + 1, 0.0));
            for (int j = 0; j < F; ++j) {
                g[j] = (E[j] - S[j]) - (E[F] - S[F]);
                for (int k = 0; k < F; ++k) A[j][k] = (j == k ? V[j] : 0.0) + V[F];
                A[j][F] = g[j];
            }
            // Gauss-Jordan elimination (A is positive definite).
            for (int c = 0; c < F; ++c) {
                for (int j = 0; j < F; ++j) {
                    if (j == c) continue;
                    const double f = A[j][c] / A[c][c];
                    for (int k = c; k <= F; ++k) A[j][k] -= f * A[c][k];
                }
            }
            double sum = 0, largest = 0;
            for (int j = 0; j < F; ++j) {
                const double x = A[j][F] / A[j][j];
                d[j] += x;
                sum += d[j];
                largest = std::max(largest, std::fabs(x));
            }
            d[F] = -sum;
            if (largest < 1e-13) break;
        }
    }
    DiscreteFit fit;
    fit.minus2LogL = -2.0 * logL;
    fit.delta.assign(d.begin(), d.end() - 1);
    return fit;
}

TEST(DiscreteDistribution, ResolvesToBockAitkenAndReachesTheIndependentMaximum) {
    const std::vector<double> delta{-1.5, -0.6, 0.0, 0.4, 0.9, 1.4};
    const std::string data = bimodalData(400, delta, 77);
    ScriptSession s;
    s.writeFile("d.dat", data);
    ASSERT_EQ(s.runAllOf("datafile d.dat;\nformat pid 1-5 responses 7-12;\nmodel item;\n"
                         "estimate ! distribution=discrete, fit=no, convergence=0.000001, deviance=0.0000001;\n"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    const EstimationState& est = s.session.ws.est;
    EXPECT_EQ(est.method, EstimationMethod::Quadrature);
    ASSERT_EQ(est.gwt.rows(), 15);
    ASSERT_EQ(est.parameters(), 5);

    const double h = static_cast<double>(static_cast<float>(12.0 / 14.0));
    const DiscreteFit independent = discreteEm(data, 6, 15, -6.0, h);
    // The engine's deviance adds ln(h), in single precision, for each case.
    const double lnH = static_cast<double>(static_cast<float>(std::log(h)));
    const double engine = est.deviance + 2.0 * 400 * lnH;
    std::printf("discrete -2 log L: engine %.4f, independent EM %.4f\n", engine, independent.minus2LogL);
    EXPECT_NEAR(engine, independent.minus2LogL, 0.05);
    for (int p = 0; p < 5; ++p) EXPECT_NEAR(est.xsi[p][0], independent.delta[p], 0.005) << "item " << p + 1;
}

TEST(DiscreteDistribution, VerbalAggressionReachesTheReviewedDeviance) {
    ScriptSession s;
    s.copyReference("verbagg.dat");
    ASSERT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-33;\nmodel item;\n"
                         "estimate ! distribution=discrete, convergence=0.000001, deviance=0.0000001;\n"),
              1);
    const EstimationState& est = s.session.ws.est;
    EXPECT_EQ(est.method, EstimationMethod::Quadrature);
    const double lnH = static_cast<double>(static_cast<float>(std::log(static_cast<double>(est.stepH))));
    EXPECT_NEAR(est.deviance + 2.0 * 316 * lnH, 8064.4, 0.1);
}

TEST(DiscreteDistribution, GaussHermiteIsRefused) {
    ScriptSession s;
    s.copyReference("verbagg.dat");
    EXPECT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-33;\nmodel item;\n"
                         "estimate ! method=gauss, distribution=discrete;\n"),
              -1);
    ASSERT_FALSE(s.shell.errors.empty());
    EXPECT_EQ(s.shell.errors.back(),
              "Gauss-Hermite quadrature cannot estimate a discrete distribution: use method=quadrature (Bock/Aitken)");
    EXPECT_EQ(s.session.ws.est.estimated, 0);
}

}  // namespace
}  // namespace ordena::test
