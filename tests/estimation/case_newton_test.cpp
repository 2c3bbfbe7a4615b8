// The case Newton iterations against roots found in the test: closed forms
// for one response, bisection of the score equations of a few items, and
// the score functions evaluated independently for items that score on two
// dimensions at once. Estimates without a root are NaN and reported.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "estimation/case_estimates.h"
#include "estimation/case_newton.h"
#include "estimation/case_score_file.h"
#include "estimation/estimation_work.h"
#include "estimation/probabilities.h"
#include "estimation/setup.h"
#include "support/bisect.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

// An item: its category scores (per category, D values) and a.xsi per category.
struct Item {
    std::vector<std::vector<double>> scores;
    std::vector<double> logits;
};

EstimationWork workOf(int D, const std::vector<Item>& items) {
    EstimationWork work;
    work.D = D;
    work.I = static_cast<int>(items.size());
    work.maxCat = 1;
    for (const Item& it : items) work.maxCat = std::max(work.maxCat, static_cast<int>(it.logits.size()));
    work.scores.assign(static_cast<std::size_t>(work.I * work.maxCat * D), 0.0);
    work.axsi.assign(static_cast<std::size_t>(work.I * work.maxCat), 0.0);
    for (int i = 0; i < work.I; ++i) {
        const Item& it = items[static_cast<std::size_t>(i)];
        work.ncat.push_back(static_cast<std::int32_t>(it.logits.size()));
        work.first.push_back(0);
        for (std::size_t k = 0; k < it.logits.size(); ++k) {
            work.axsi[static_cast<std::size_t>(i * work.maxCat) + k] = it.logits[k];
            for (int d = 0; d < D; ++d)
                work.scores[(static_cast<std::size_t>(i * work.maxCat) + k) * D + static_cast<std::size_t>(d)] =
                    it.scores[k][static_cast<std::size_t>(d)];
        }
    }
    return work;
}

// A Rasch item of difficulty delta on one of D dimensions.
Item rasch(double delta, int D = 1, int d = 0) {
    Item it;
    it.scores.assign(2, std::vector<double>(static_cast<std::size_t>(D), 0.0));
    it.scores[1][static_cast<std::size_t>(d)] = 1.0;
    it.logits = {0.0, -delta};
    return it;
}

// Scores 0, 1, 2 with step difficulties delta + tau and delta - tau.
Item partialCredit(double delta, double tau) { return {{{0.0}, {1.0}, {2.0}}, {0.0, -(delta + tau), -2 * delta}}; }

struct Result {
    bool ok = false;
    std::vector<double> theta, covariance, information;
    int iterations = 0;
};

Result estimate(ScriptSession& s, const EstimationWork& work, const std::vector<double>& score, bool wle) {
    Result r;
    std::vector<std::int32_t> items;
    for (int i = 0; i < work.I; ++i) items.push_back(i);
    r.theta.assign(static_cast<std::size_t>(work.D), 0.0);
    r.ok = caseNewtonFrom(s.session, s.shell, work, items.data(), work.I, score, wle, 7, r.theta, r.covariance,
                          r.information, &r.iterations);
    return r;
}

// Moments of the score of an item of one dimension at theta.
struct Moments {
    double mean = 0, variance = 0, third = 0;
};
Moments moments(const Item& it, double theta) {
    std::vector<double> p;
    double total = 0;
    for (std::size_t k = 0; k < it.logits.size(); ++k) {
        p.push_back(std::exp(it.scores[k][0] * theta + it.logits[k]));
        total += p.back();
    }
    Moments m;
    for (std::size_t k = 0; k < p.size(); ++k) m.mean += p[k] / total * it.scores[k][0];
    for (std::size_t k = 0; k < p.size(); ++k) {
        const double c = it.scores[k][0] - m.mean;
        m.variance += p[k] / total * c * c;
        m.third += p[k] / total * c * c * c;
    }
    return m;
}

// The score equation: r minus the expected score, for the WLE plus half the
// third cumulant over the information (the derivative of log L + log(I)/2).
double scoreFunction(const std::vector<Item>& items, double r, double theta, bool wle) {
    double f = r, I = 0, J = 0;
    for (const Item& it : items) {
        const Moments m = moments(it, theta);
        f -= m.mean;
        I += m.variance;
        J += m.third;
    }
    return wle ? f + J / (2 * I) : f;
}

TEST(CaseNewton, OneDichotomousResponseGivesTheClosedFormWle) {
    // One Rasch item of difficulty delta, p = 1 / (1 + exp(delta - theta)):
    // I = p(1-p) and the third cumulant p(1-p)(1-2p), so the WLE solves
    // s - p + (1 - 2p)/2 = 0, that is p = 1/4 for s = 0 and p = 3/4 for
    // s = 1: theta = delta - ln 3 and delta + ln 3. Plain Newton steps of
    // (s - p + (1-2p)/2) / (p(1-p)) are twice the distance to the root and
    // leap from one side to the other for ever.
    for (double delta : {-0.623, 0.0, 1.4}) {
        ScriptSession s;
        s.session.ws.settings.mle_criteria = 1e-10;
        const EstimationWork work = workOf(1, {rasch(delta)});
        const Result zero = estimate(s, work, {0.0}, true);
        ASSERT_TRUE(zero.ok) << delta;
        EXPECT_NEAR(zero.theta[0], delta - std::log(3.0), 1e-6) << delta;
        const Result one = estimate(s, work, {1.0}, true);
        ASSERT_TRUE(one.ok) << delta;
        EXPECT_NEAR(one.theta[0], delta + std::log(3.0), 1e-6) << delta;
        // The error is that of the information at the estimate: p(1-p) = 3/16.
        EXPECT_NEAR(one.covariance[0], 16.0 / 3.0, 1e-4) << delta;
        EXPECT_TRUE(s.shell.errors.empty()) << s.shell.errors.front();
        EXPECT_TRUE(s.shell.warnings.empty()) << s.shell.warnings.front();
    }
}

TEST(CaseNewton, MleAndWleOfAFewItemsAreTheRootsOfTheirScoreEquations) {
    // A tight criterion: the estimate is the root to 1e-6. (With the
    // default one the WLE ends within a few thousandths of it, as before.)
    const std::vector<Item> items = {rasch(-1.2), rasch(0.3), partialCredit(0.5, 0.8), partialCredit(-0.4, -0.6),
                                     rasch(2.0)};
    const EstimationWork work = workOf(1, items);
    for (bool wle : {false, true})
        for (double r : {0.0, 0.3, 1.0, 2.5, 4.0, 6.0, 6.7, 7.0}) {
            if (!wle && (r == 0.0 || r == 7.0)) continue;  // no MLE at the extremes
            ScriptSession s;
            s.session.ws.settings.mle_criteria = 1e-14;
            const Result e = estimate(s, work, {r}, wle);
            ASSERT_TRUE(e.ok) << r << " " << wle;
            const double root = bisect([&](double t) { return scoreFunction(items, r, t, wle); }, -20.0, 20.0);
            EXPECT_NEAR(e.theta[0], root, 1e-6) << "score " << r << (wle ? " WLE" : " MLE");
            EXPECT_TRUE(s.shell.errors.empty()) << r;
        }
}

TEST(CaseNewton, EachDimensionOfABetweenItemModelHasItsOwnSafeguard) {
    // Two dimensions, items scoring on one each: dimension 1 holds the one
    // response of the closed form above, dimension 2 three items.
    const EstimationWork work = workOf(2, {rasch(0.4, 2, 0), rasch(-0.5, 2, 1), rasch(0.2, 2, 1), rasch(0.9, 2, 1)});
    ScriptSession s;
    s.session.ws.settings.mle_criteria = 1e-14;
    const Result e = estimate(s, work, {0.0, 2.0}, true);
    ASSERT_TRUE(e.ok);
    EXPECT_NEAR(e.theta[0], 0.4 - std::log(3.0), 1e-6);
    std::vector<Item> oneDimension;
    for (double d : {-0.5, 0.2, 0.9}) oneDimension.push_back(rasch(d));
    const double root = bisect([&](double t) { return scoreFunction(oneDimension, 2.0, t, true); }, -20.0, 20.0);
    EXPECT_NEAR(e.theta[1], root, 1e-6);
    EXPECT_TRUE(s.shell.errors.empty());
}

TEST(CaseNewton, ItemsScoringOnTwoDimensionsAtOnceReachTheirScoreEquations) {
    // Within-item scores: the MLE makes the expected score vector equal to
    // the observed one, which the test evaluates on its own.
    std::vector<Item> items;
    const double difficulties[5] = {-0.8, -0.2, 0.1, 0.6, 1.1};
    for (int i = 0; i < 5; ++i) {
        Item it;
        it.scores = {{0.0, 0.0}, {1.0, i % 2 == 0 ? 1.0 : 0.0}};
        if (i == 4) it.scores[1] = {0.0, 1.0};
        it.logits = {0.0, -difficulties[i]};
        items.push_back(it);
    }
    const EstimationWork work = workOf(2, items);
    ScriptSession s;
    s.session.ws.settings.mle_criteria = 1e-14;
    const std::vector<double> score = {2.4, 1.7};
    const Result e = estimate(s, work, score, false);
    ASSERT_TRUE(e.ok);
    std::vector<double> expected(2, 0.0);
    for (const Item& it : items) {
        const double logit = it.scores[1][0] * e.theta[0] + it.scores[1][1] * e.theta[1] + it.logits[1];
        const double p = 1 / (1 + std::exp(-logit));
        expected[0] += p * it.scores[1][0];
        expected[1] += p * it.scores[1][1];
    }
    EXPECT_NEAR(expected[0], score[0], 1e-6);
    EXPECT_NEAR(expected[1], score[1], 1e-6);
}

TEST(CaseNewton, StepsCutDimensionByDimensionDoNotStallAwayFromTheRoot) {
    // Verbal aggression with items 9-16 on both of two dimensions. Case 27
    // scores (6, 1): each step no larger than the one before, dimension by
    // dimension, once shrank the first component to nothing and ended the
    // iterations where the expected scores were still (0.5, 0.1) off.
    ScriptSession s;
    s.copyReference("verbagg.dat");
    ASSERT_EQ(s.runAllOf("set constraints=cases;\ndatafile verbagg.dat;\nformat pid 1-3 responses 10-33;\n"
                         "scores (0,1) (0,1) () ! item(1-8);\nscores (0,1) (0,1) (0,1) ! item(9-16);\n"
                         "scores (0,1) () (0,1) ! item(17-24);\nmodel item;\nestimate ! fit=no;\n"
                         "show cases ! estimates=mle >> m.txt;\n"),
              1);
    CaseScoreRecords records;
    ASSERT_EQ(openCaseScores(s.session, records), 1);
    const double* theta = records.record(26) + records.mleAt();
    ASSERT_TRUE(std::isfinite(theta[0]) && std::isfinite(theta[1]));
    // The expected scores of the 24 items at the estimate, against (6, 1).
    EstimationWork work;
    loadModel(work, s.session.ws.build, s.session.ws.est.parameters());
    computeAXsi(work, s.session.ws.est.xsi);
    double expected[2] = {0.0, 0.0};
    std::vector<double> p(static_cast<std::size_t>(work.maxCat));
    for (int i = 0; i < 24; ++i) {
        categoryProbabilities(work, i, theta, p.data());
        expected[0] += p[1] * (i < 16 ? 1.0 : 0.0);
        expected[1] += p[1] * (i >= 8 ? 1.0 : 0.0);
    }
    EXPECT_NEAR(expected[0], 6.0, 0.02);
    EXPECT_NEAR(expected[1], 1.0, 0.02);
}

TEST(CaseNewton, AnEstimateWithoutARootIsNaNAndReportedOnce) {
    // A raw score of 0 has no MLE: the steps (about -1 each far out) run to
    // -mle_max and push on.
    ScriptSession s;
    s.session.ws.settings.mle_max = 4.0;
    const EstimationWork work = workOf(1, {rasch(0.0), rasch(1.0)});
    const Result e = estimate(s, work, {0.0}, false);
    EXPECT_FALSE(e.ok);
    EXPECT_TRUE(std::isnan(e.theta[0]));
    EXPECT_TRUE(std::isnan(e.covariance[0]));
    ASSERT_EQ(s.shell.errors.size(), 1u);
    EXPECT_EQ(s.shell.errors[0], "Convergence failure for case 7");
    // It ends at the bound, well before the iteration limit and its warnings.
    EXPECT_LT(e.iterations, 10);
    EXPECT_TRUE(s.shell.warnings.empty());
}

TEST(RootBracket, NewtonStepsStandUntilTheyLeaveTheBracketOrStopReducingF) {
    RootBracket b;
    b.record(0.0, -1.0);
    EXPECT_EQ(b.step(0.0, -3.0), -3.0);  // one side known: any step
    EXPECT_FALSE(b.replaced());
    b.record(-3.0, 0.5);
    EXPECT_TRUE(b.closed());
    EXPECT_EQ(b.width(), 3.0);
    // Inside the bracket with |f| reduced: the step stands.
    EXPECT_EQ(b.step(-3.0, 1.0), 1.0);
    EXPECT_FALSE(b.replaced());
    // Out of it: the secant of (-3, 0.5) and (0, -1) lands at -2.
    EXPECT_DOUBLE_EQ(b.step(-3.0, 3.0), 1.0);
    EXPECT_TRUE(b.replaced());
    // At -2, f = 0.6 is no smaller than 0.5: replaced although inside; the
    // bracket (-2, 0) has not halved since the last replacement, so halve.
    b.record(-2.0, 0.6);
    EXPECT_DOUBLE_EQ(b.step(-2.0, 0.5), 1.0);
    EXPECT_TRUE(b.replaced());
}

}  // namespace
}  // namespace ordena::test
