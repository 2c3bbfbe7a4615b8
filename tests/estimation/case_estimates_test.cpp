// Case estimates against values found independently in the test: MLE and
// WLE by bisection of their score equations, EAPs by numerical integration
// of the posterior, and the behaviour of plausible values.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <sstream>

#include "estimation/case_estimates.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

const std::vector<double> kDelta = {-1.5, -1.0, -0.6, -0.2, 0.0, 0.2, 0.5, 0.8, 1.2, 0.6};  // sums to 0

double bisect(const std::function<double(double)>& f, double lo, double hi) {
    for (int k = 0; k < 200; ++k) {
        const double mid = 0.5 * (lo + hi);
        if ((f(lo) < 0) == (f(mid) < 0))
            lo = mid;
        else
            hi = mid;
    }
    return 0.5 * (lo + hi);
}

double probability(double theta, double delta) {
    return 1.0 / (1.0 + std::exp(delta - theta));
}

// Sum of P - score, and the weighted version with the Warm correction.
double mleEquation(double theta, double score) {
    double s = 0;
    for (double d : kDelta) s += probability(theta, d);
    return score - s;
}
double wleEquation(double theta, double score) {
    double s = 0, info = 0, third = 0;
    for (double d : kDelta) {
        const double p = probability(theta, d);
        s += p;
        info += p * (1 - p);
        third += p * (1 - p) * (1 - 2 * p);
    }
    return score - s + third / (2 * info);
}

// Responses with the given number correct (the easiest items first), plus
// enough varied cases for the estimation to identify every item.
std::string responsesFor(const std::vector<int>& scores) {
    std::ostringstream out;
    int id = 1;
    for (int score : scores) {
        char head[16];
        std::snprintf(head, sizeof head, "%5d ", id++);
        out << head;
        for (int i = 0; i < 10; ++i) {
            // item order by difficulty: 0 1 2 3 4 5 6 9 7 8
            static const int rank[10] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 7};
            out << (rank[i] < score ? '1' : '0');
        }
        out << "\n";
    }
    return out.str();
}

class CaseEstimates : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<int> scores = {0, 3, 7, 10};
        for (int k = 0; k < 60; ++k) scores.push_back(1 + k % 9);
        s.writeFile("c.dat", responsesFor(scores));
        ASSERT_EQ(s.runAllOf("datafile c.dat;\nformat pid 1-5 responses 7-16;\nmodel item;\n"), 1);
        // Known item parameters: the first nine anchored, the last minus their sum.
        for (int p = 0; p < 9; ++p)
            s.session.ws.est.anchors.push_back(
                {kAnchorItem, p, 0, static_cast<float>(kDelta[static_cast<std::size_t>(p)])});
    }
    ScriptSession s;
};

TEST_F(CaseEstimates, MleAndWleSolveTheirScoreEquations) {
    ASSERT_EQ(s.run("set mle_criteria=0.0000000000000001;\nestimate ! abilities=yes, fit=no;\n"), 1)
        << (s.shell.errors.empty() ? "" : s.shell.errors.back())
        << s.shell.output.substr(s.shell.output.size() > 600 ? s.shell.output.size() - 600 : 0);
    CaseScoreRecords rec;
    ASSERT_EQ(openCaseScores(s.session, rec), 1);
    const double z = s.session.ws.settings.zero_perfect;
    // The anchors hold the values as single precision numbers.
    auto delta = [](int i) { return static_cast<double>(static_cast<float>(kDelta[static_cast<std::size_t>(i)])); };
    double sum = 0;
    for (int i = 0; i < 9; ++i) sum += delta(i);
    ASSERT_NEAR(s.session.ws.est.xsi[0][0], delta(0), 1e-7);
    (void)sum;
    const int scores[4] = {0, 3, 7, 10};
    for (int n = 0; n < 4; ++n) {
        const double* r = rec.record(n);
        const double raw = scores[n];
        const double adjusted = raw == 0 ? z : (raw == 10 ? 10 - z : raw);
        EXPECT_DOUBLE_EQ(r[rec.rawAt()], raw);
        EXPECT_DOUBLE_EQ(r[rec.maxAt()], 10.0);
        const double mle = bisect([&](double t) { return mleEquation(t, adjusted); }, -12, 12);
        EXPECT_NEAR(r[rec.mleAt()], mle, 1e-6) << "case " << n + 1;
        // No adjustment for the weighted estimate: zero and perfect scores
        // have finite roots.
        const double wle = bisect([&](double t) { return wleEquation(t, raw); }, -12, 12);
        EXPECT_NEAR(r[rec.wleAt()], wle, 1e-6) << "case " << n + 1;
        double info = 0;
        for (double d : kDelta) info += probability(r[rec.mleAt()], d) * (1 - probability(r[rec.mleAt()], d));
        EXPECT_NEAR(r[rec.mleCovAt()], 1.0 / info, 1e-4);
    }
    EXPECT_TRUE(s.session.ws.est.mleAvailable);
    EXPECT_TRUE(s.session.ws.est.wleAvailable);
}

TEST_F(CaseEstimates, EapsAgreeWithNumericalIntegrationOfThePosterior) {
    ASSERT_EQ(s.run("set p_nodes=200000;\nestimate ! abilities=yes, fit=no;\n"), 1);
    CaseScoreRecords rec;
    ASSERT_EQ(openCaseScores(s.session, rec), 1);
    const double mean = s.session.ws.est.beta[0][0], var = s.session.ws.est.sigma[0][0];
    const int scores[4] = {0, 3, 7, 10};
    for (int n = 0; n < 4; ++n) {
        double z0 = 0, z1 = 0, z2 = 0;
        for (int k = -4000; k <= 4000; ++k) {
            const double t = mean + std::sqrt(var) * k / 500.0;
            double like = std::exp(-0.5 * (k / 500.0) * (k / 500.0));
            for (std::size_t i = 0; i < 10; ++i) {
                static const int rank[10] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 7};
                const double p = probability(t, s.session.ws.est.xsi.rows() == 9 && i < 9
                                                    ? s.session.ws.est.xsi[static_cast<int>(i)][0]
                                                    : kDelta[i]);
                like *= rank[i] < scores[n] ? p : 1 - p;
            }
            z0 += like;
            z1 += like * t;
            z2 += like * t * t;
        }
        const double eap = z1 / z0, sd = std::sqrt(z2 / z0 - eap * eap);
        // Monte Carlo integration with 200,000 standardised draws: the perfect
        // score's posterior lies in the tail of the draws.
        EXPECT_NEAR(rec.record(n)[rec.eapAt()], eap, 1.5e-2) << "case " << n + 1;
        EXPECT_NEAR(std::sqrt(rec.record(n)[rec.posteriorCovAt()]), sd, 1.5e-2) << "case " << n + 1;
    }
}

TEST(PlausibleValues, ReproducedWithTheSeedAndSpreadLikeThePopulation) {
    std::ostringstream out;
    std::mt19937_64 rng(2);
    std::normal_distribution<double> normal(0.0, 1.2);
    std::uniform_real_distribution<double> u(0, 1);
    for (int n = 0; n < 1500; ++n) {
        const double t = normal(rng);
        char head[16];
        std::snprintf(head, sizeof head, "%5d ", n + 1);
        out << head;
        for (double d : kDelta) out << (u(rng) < probability(t, d) ? '1' : '0');
        out << "\n";
    }
    std::string files[2];
    for (int k = 0; k < 2; ++k) {
        ScriptSession s;
        s.writeFile("p.dat", out.str());
        ASSERT_EQ(s.runAllOf("set seed=77;\ndatafile p.dat;\nformat pid 1-5 responses 7-16;\nmodel item;\n"
                             "estimate ! plausible=pv.txt, fit=no;\n"),
                  1);
        files[k] = s.readFile("pv.txt");
        CaseScoreRecords rec;
        ASSERT_EQ(openCaseScores(s.session, rec), 1);
        ASSERT_EQ(rec.V, 5);
        double pvSum = 0, pvSquares = 0, eapSum = 0;
        int count = 0;
        for (int n = 0; n < rec.N; ++n) {
            eapSum += rec.record(n)[rec.eapAt()];
            for (int v = 0; v < rec.V; ++v) {
                const double x = rec.record(n)[rec.plausibleAt() + static_cast<std::size_t>(v)];
                pvSum += x;
                pvSquares += x * x;
                ++count;
            }
        }
        const double pvMean = pvSum / count, pvVar = pvSquares / count - pvMean * pvMean;
        EXPECT_NEAR(pvMean, eapSum / rec.N, 0.03);
        EXPECT_NEAR(pvVar, s.session.ws.est.sigma[0][0], 0.1 * s.session.ws.est.sigma[0][0]);
    }
    EXPECT_FALSE(files[0].empty());
    EXPECT_EQ(files[0], files[1]);
    // Layout: the case number, the identifier, then one line per draw.
    EXPECT_EQ(files[0].substr(0, 7), "    1  ");
    EXPECT_NE(files[0].find("\n   1        "), std::string::npos);
    EXPECT_NE(files[0].find("\n   5        "), std::string::npos);
}

}  // namespace
}  // namespace ordena::test
