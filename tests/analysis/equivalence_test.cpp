// The Newton steps of the equivalence tables against closed forms for one
// item, the limits on the steps, and the estimates they lead to.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/equivalence.h"
#include "estimation/estimation_work.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

// Items of one dimension whose category k has probability proportional to
// exp(k * theta - the sum of the first k thresholds).
EstimationWork itemsWithThresholds(const std::vector<std::vector<double>>& thresholds) {
    EstimationWork work;
    work.D = 1;
    work.I = static_cast<int>(thresholds.size());
    work.maxCat = 1;
    for (const auto& t : thresholds) work.maxCat = std::max(work.maxCat, static_cast<int>(t.size()) + 1);
    work.scores.assign(static_cast<std::size_t>(work.I * work.maxCat), 0.0);
    work.axsi.assign(work.scores.size(), 0.0);
    for (int i = 0; i < work.I; ++i) {
        const auto& t = thresholds[static_cast<std::size_t>(i)];
        work.ncat.push_back(static_cast<std::int32_t>(t.size()) + 1);
        work.first.push_back(0);
        double a = 0;
        for (std::size_t k = 0; k <= t.size(); ++k) {
            if (k > 0) a -= t[k - 1];
            work.scores[static_cast<std::size_t>(i * work.maxCat) + k] = static_cast<double>(k);
            work.axsi[static_cast<std::size_t>(i * work.maxCat) + k] = a;
        }
    }
    return work;
}

double logistic(double x) { return 1.0 / (1.0 + std::exp(-x)); }

TEST(Equivalence, NewtonStepOfOneDichotomousItem) {
    const EstimationWork work = itemsWithThresholds({{0.5}});
    const double theta = 0.4, r = 0.7, p = logistic(theta - 0.5), I = p * (1 - p);
    ScoreStep mle = scoreNewtonStep(work, r, theta, 0, false);
    EXPECT_NEAR(mle.variance, 1 / I, 1e-12);
    EXPECT_NEAR(mle.delta, (r - p) / I, 1e-12);
    // The weighted likelihood adds half the third cumulant over the information.
    ScoreStep wle = scoreNewtonStep(work, r, theta, 0, true);
    const double J = p * (1 - p) * (1 - 2 * p);
    EXPECT_NEAR(wle.delta, (r - p + J / (2 * I)) / I, 1e-12);
    // Steps beyond 3 either way are cut to 3.
    EXPECT_EQ(scoreNewtonStep(work, 0.99, -3.0, 0, false).delta, 3.0);
    EXPECT_EQ(scoreNewtonStep(work, 0.01, 3.0, 0, false).delta, -3.0);
}

TEST(Equivalence, NewtonStepSumsTheMomentsOfEveryItem) {
    // A three-category item (scores 0, 1, 2) and a dichotomous one.
    const EstimationWork work = itemsWithThresholds({{-0.4, 0.6}, {0.2}});
    const double theta = 0.3, r = 1.6;
    const double e1 = std::exp(theta + 0.4), e2 = std::exp(2 * theta + 0.4 - 0.6), total = 1 + e1 + e2;
    const double p1 = e1 / total, p2 = e2 / total;
    const double E = p1 + 2 * p2, M2 = p1 + 4 * p2, M3 = p1 + 8 * p2;
    const double q = logistic(theta - 0.2);
    const double I = (M2 - E * E) + q * (1 - q);
    const double J = (M3 - 3 * E * M2 + 2 * E * E * E) + q * (1 - q) * (1 - 2 * q);
    const ScoreStep wle = scoreNewtonStep(work, r, theta, 0, true);
    EXPECT_NEAR(wle.variance, 1 / I, 1e-12);
    EXPECT_NEAR(wle.delta, (r - E - q + J / (2 * I)) / I, 1e-12);
}

TEST(Equivalence, EstimatesSolveTheScoreEquation) {
    ScriptSession s;
    const EstimationWork work = itemsWithThresholds({{0.5}, {-1.0}, {1.5}});
    const ScoreEstimate e = scoreEstimate(s.session, work, 1.7, 0, false);
    const double expected = logistic(e.theta - 0.5) + logistic(e.theta + 1.0) + logistic(e.theta - 1.5);
    EXPECT_NEAR(expected, 1.7, 1e-6);
    double I = 0;
    for (double d : {0.5, -1.0, 1.5}) I += logistic(e.theta - d) * (1 - logistic(e.theta - d));
    EXPECT_NEAR(e.variance, 1 / I, 1e-3);
    EXPECT_TRUE(s.shell.warnings.empty());
}

TEST(Equivalence, AStepLargerThanTheOneBeforeIsHalved) {
    // From 0 the first step of score 1.2 on items at 0 and 8 is about 2.8;
    // the second would be cut to 3 and is halved to 1.5. A criterion of 2
    // stops the iterations right there.
    ScriptSession s;
    s.session.ws.settings.mle_criteria = 2.0;
    const EstimationWork work = itemsWithThresholds({{0.0}, {8.0}});
    const double p = 0.5, q = logistic(-8.0);
    const double first = (1.2 - p - q) / (p * (1 - p) + q * (1 - q));
    ASSERT_GT(first, 2.0);
    ASSERT_LT(first, 3.0);
    EXPECT_NEAR(scoreEstimate(s.session, work, 1.2, 0, false).theta, first + 1.5, 1e-12);
}

TEST(Equivalence, AScoreWithoutAnEstimateEndsAtTheBoundAndFails) {
    // The root of score 0 lies at minus infinity: the steps reach -mle_max
    // and push on, which no further step can change. The row has no
    // estimate (NA), never a number.
    ScriptSession s;
    s.session.ws.settings.mle_max = 10.0;
    const EstimationWork work = itemsWithThresholds({{0.0}, {1.0}});
    const ScoreEstimate e = scoreEstimate(s.session, work, 0.0, 0, false);
    EXPECT_TRUE(std::isnan(e.theta));
    EXPECT_TRUE(std::isnan(e.variance));
    // At most the warning of the tenth step: it ends at the bound, not
    // after 100.
    EXPECT_LE(s.shell.warnings.size(), 1u);
    ASSERT_EQ(s.shell.errors.size(), 1u);
    EXPECT_EQ(s.shell.errors[0], "Convergence failure for score    0.00000");
}

TEST(Equivalence, ALoneItemsWleIsItsClosedFormAlthoughNewtonLeapsOverIt) {
    // One 0/1 item of difficulty 0.7: the WLE of 0 is 0.7 - ln 3 and of 1 is
    // 0.7 + ln 3 (the correction makes the equation -p + (1 - 2p)/2 = 0 or
    // 1 - p + (1 - 2p)/2 = 0). Plain steps alternate between two points.
    ScriptSession s;
    s.session.ws.settings.mle_criteria = 1e-12;
    const EstimationWork work = itemsWithThresholds({{0.7}});
    EXPECT_NEAR(scoreEstimate(s.session, work, 0.0, 0, true).theta, 0.7 - std::log(3.0), 1e-6);
    EXPECT_NEAR(scoreEstimate(s.session, work, 1.0, 0, true).theta, 0.7 + std::log(3.0), 1e-6);
    EXPECT_TRUE(s.shell.errors.empty());
}

}  // namespace
}  // namespace ordena::test
