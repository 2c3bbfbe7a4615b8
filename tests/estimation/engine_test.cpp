// The engine's parts and behaviour: nodes, prior weights, posteriors, option
// handling, termination, identification, case weights, and recovery of known
// parameters from simulated data.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include "estimation/estimation_work.h"
#include "estimation/nodes.h"
#include "estimation/posterior.h"
#include "support/rasch_data.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

bool contains(const std::vector<std::string>& list, const std::string& text) {
    for (const auto& s : list)
        if (s.find(text) != std::string::npos) return true;
    return false;
}

// Dichotomous Rasch responses for cases drawn from N(mean, sd^2).
std::string raschData(int cases, const std::vector<double>& delta, double mean, double sd, unsigned seed) {
    std::normal_distribution<double> normal(mean, sd);
    return raschResponses(cases, delta, seed, [&](std::mt19937_64& rng, int) { return normal(rng); });
}

std::vector<double> spread(int items, double low, double high) {
    std::vector<double> d(static_cast<std::size_t>(items));
    for (int i = 0; i < items; ++i) d[static_cast<std::size_t>(i)] = low + (high - low) * i / (items - 1);
    return d;
}

TEST(Nodes, BockAitkenGridRunsFirstDimensionFastest) {
    ScriptSession s;
    EstimationWork work;
    work.D = 2;
    work.method = EstimationMethod::Quadrature;
    Matrix grid;
    float h = 0;
    ASSERT_EQ(buildNodes(s.session, work, 3, -6.0f, 6.0f, grid, h), 1);
    ASSERT_EQ(work.Q, 9);
    EXPECT_FLOAT_EQ(h, 6.0f);
    const double expected[9][2] = {{-6, -6}, {0, -6}, {6, -6}, {-6, 0}, {0, 0}, {6, 0}, {-6, 6}, {0, 6}, {6, 6}};
    for (int q = 0; q < 9; ++q) {
        EXPECT_DOUBLE_EQ(grid[q][0], expected[q][0]);
        EXPECT_DOUBLE_EQ(grid[q][1], expected[q][1]);
    }
}

TEST(Nodes, GaussHermiteNodesAreScaledBySigmaAndShiftedByTheMean) {
    ScriptSession s;
    EstimationWork work;
    work.D = 1;
    work.method = EstimationMethod::Gauss;
    EstimationState est;
    float h = 0;
    ASSERT_EQ(buildNodes(s.session, work, 15, 0, 0, est.nodeGrid, h), 1);
    est.sigma = identity(1);
    est.sigma[0][0] = 4.0;
    est.beta = Matrix(1, 1);
    est.beta[0][0] = 1.0;
    workingGrid(s.session, work, est);
    double weightSum = 0;
    for (int q = 0; q < 15; ++q) {
        EXPECT_NEAR(work.workGrid[q][0] + work.shift[0], 2.0 * est.nodeGrid[q][0] + 1.0, 1e-12);
        weightSum += work.ghWeights[static_cast<std::size_t>(q)];
    }
    EXPECT_NEAR(weightSum, 1.0, 1e-12);
}

TEST(Nodes, GaussHermiteRulesThatCannotBeComputedAreRefused) {
    ScriptSession s;
    EstimationWork work;
    work.method = EstimationMethod::Gauss;
    Matrix grid;
    float h = 0;
    // The largest rule there is still integrates: its weights add up to one.
    ASSERT_EQ(buildNodes(s.session, work, 198, 0, 0, grid, h), 1);
    double total = 0;
    for (double w : work.ghWeights) total += w;
    EXPECT_NEAR(total, 1.0, 1e-6);
    EXPECT_EQ(buildNodes(s.session, work, 199, 0, 0, grid, h), -1);
    EXPECT_TRUE(contains(s.shell.errors,
                         "Gauss-Hermite quadrature is not available with 199 nodes (at most 198); use fewer nodes or "
                         "method=quadrature"));
    // Refused before any root is sought: the search would take hours here.
    EXPECT_EQ(buildNodes(s.session, work, 200000, 0, 0, grid, h), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Gauss-Hermite quadrature is not available with 200000 nodes (at most 198)"));
}

TEST(Nodes, MonteCarloDrawsAreMadeExactlyStandard) {
    ScriptSession s;
    EstimationWork work;
    work.D = 2;
    work.method = EstimationMethod::MonteCarlo;
    Matrix grid;
    float h = 0;
    ASSERT_EQ(buildNodes(s.session, work, 500, 0, 0, grid, h), 1);
    for (int a = 0; a < 2; ++a) {
        double mean = 0;
        for (int q = 0; q < 500; ++q) mean += grid[q][a] / 500;
        EXPECT_NEAR(mean, 0.0, 1e-12);
        for (int b = 0; b < 2; ++b) {
            double c = 0;
            for (int q = 0; q < 500; ++q) c += grid[q][a] * grid[q][b] / 500;
            EXPECT_NEAR(c, a == b ? 1.0 : 0.0, 1e-10);
        }
    }
}

TEST(Summaries, BinsRunFromTheHighEndAndOutliersStayAtTheirEnd) {
    DistributionSummary summary;
    summary.reset(1, -1.0f, 1.0f, 2.0f / 60);
    for (double x : {-5.0, -1.0, 0.999, 5.0, 0.01}) summary.add(0, x);
    EXPECT_EQ(summary.counts[0][59], 2.0);  // below the range, and the low end
    EXPECT_EQ(summary.counts[0][0], 2.0);   // the top bin and above the range
    EXPECT_EQ(summary.counts[0][29], 1.0);  // the middle
    summary.add(1, 0.0);                    // no such dimension: ignored
    EXPECT_EQ(sum(summary.counts), 5.0);
}

TEST(PriorWeights, NormalWeightsOnTheGridAndASingularCovariance) {
    ScriptSession s;
    EstimationWork work;
    work.D = 1;
    work.method = EstimationMethod::Quadrature;
    Matrix grid;
    float h = 0;
    ASSERT_EQ(buildNodes(s.session, work, 7, -3.0f, 3.0f, grid, h), 1);
    Matrix sigma = identity(1);
    sigma[0][0] = 2.0;
    ASSERT_EQ(calcGwt(s.session, work, grid, {0.5}, sigma, Vector()), 1);
    double total = 0;
    for (int q = 0; q < 7; ++q) total += std::exp(-0.25 * (grid[q][0] - 0.5) * (grid[q][0] - 0.5));
    for (int q = 0; q < 7; ++q)
        EXPECT_NEAR(work.nodeWeights[static_cast<std::size_t>(q)],
                    std::exp(-0.25 * (grid[q][0] - 0.5) * (grid[q][0] - 0.5)) / total, 1e-12);
    sigma[0][0] = 0.0;
    EXPECT_EQ(calcGwt(s.session, work, grid, {0.0}, sigma, Vector()), -1);
    EXPECT_TRUE(contains(s.shell.errors, "determinant=0 in calc_gwt"));
}

TEST(Posterior, LongTestsDoNotUnderflow) {
    // A case with the most responses the reader hands over, each of
    // probability about 0.01 at every node: a plain product is far below the
    // smallest double.
    EstimationWork work;
    work.D = 1;
    work.I = 1;
    work.maxCat = 2;
    work.Q = work.probNodes = 3;
    work.method = EstimationMethod::Gauss;
    work.ncat = {2};
    work.first = {0};
    work.prob = {0.99, 0.98, 0.97, 0.01, 0.02, 0.03};
    const int m = 1000;
    work.itemNo.assign(m, 0);
    work.rsp.assign(m, 1);
    work.likelihood.assign(3, 0);
    work.posterior.assign(3, 0);
    std::vector<double> weights = {0.2, 0.5, 0.3};
    double ll = 0;
    ASSERT_EQ(casePosterior(work, m, weights, {0.0}, 0.0f, ll), 1);
    double logs[3], top = -1e300;
    for (int q = 0; q < 3; ++q) {
        logs[q] =
            m * std::log(work.prob[3 + static_cast<std::size_t>(q)]) + std::log(weights[static_cast<std::size_t>(q)]);
        top = std::max(top, logs[q]);
    }
    double total = 0;
    for (double l : logs) total += std::exp(l - top);
    for (int q = 0; q < 3; ++q)
        EXPECT_NEAR(work.posterior[static_cast<std::size_t>(q)], std::exp(logs[q] - top) / total, 1e-12);
    EXPECT_NEAR(ll, top + std::log(total), 1e-6 * std::fabs(ll));
}

class EstimateStatement : public ::testing::Test {
protected:
    void SetUp() override {
        s.writeFile("sim.dat", raschData(400, spread(8, -1.5, 1.5), 0.2, 1.0, 11));
        ASSERT_EQ(s.runAllOf("datafile sim.dat;\nformat pid 1-5 responses 7-14;\nmodel item;\n"), 1);
        s.shell.clear();
    }
    int run(const std::string& statement) { return s.run(statement); }
    ScriptSession s;
};

TEST_F(EstimateStatement, RefusedOptionsResetEveryOption) {
    EXPECT_EQ(run("estimate ! iterations=3, nodes=1;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, " the number of nodes must be one or more"));
    EXPECT_EQ(s.session.ws.est.options.iterations, 1000);
    EXPECT_EQ(run("estimate ! minnode=3, maxnode=2;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Min_node must be less than max_node"));
    EXPECT_EQ(run("estimate ! method=g;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Estimation method incorrect"));
    s.shell.clear();
    EXPECT_EQ(run("estimate ! s=none;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, " No option word found or incorrect option word in estimate"));
    EXPECT_EQ(run("estimate ! =3;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Error in estimate option"));
    EXPECT_EQ(run("estimate ! storage=tape;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Storage request must be 'disk' or 'ram'"));
    EXPECT_EQ(s.session.ws.est.estimated, 0);
}

TEST_F(EstimateStatement, OptionsAreCaseInsensitiveAndDoNotCarryOver) {
    ASSERT_EQ(run("estimate ! method=GAUSS, ITER=2, fit=n;"), 1);
    EXPECT_EQ(s.session.ws.est.options.iterations, 2);
    EXPECT_EQ(s.session.ws.est.method, EstimationMethod::Gauss);
    ASSERT_EQ(run("estimate ! minnode=-7, maxnode=-6, minnode=6, method=quadrature, iterations=4, fit=no;"), 1);
    EXPECT_FLOAT_EQ(s.session.ws.est.options.maxNode, -6.0f);
    EXPECT_FLOAT_EQ(s.session.ws.est.options.minNode, 6.0f);
    // The reversed range runs the grid downwards over the same nodes: the
    // estimates of the usual range.
    const EstimationState reversed = s.session.ws.est;
    ASSERT_EQ(run("estimate ! method=quadrature, iterations=4;"), 1);
    EXPECT_FLOAT_EQ(s.session.ws.est.options.minNode, -6.0f);
    EXPECT_TRUE(s.session.ws.est.options.fit);
    EXPECT_NEAR(reversed.deviance, s.session.ws.est.deviance, 1e-9 * reversed.deviance);
    EXPECT_NEAR(reversed.sigma[0][0], s.session.ws.est.sigma[0][0], 1e-9);
    for (int p = 0; p < reversed.parameters(); ++p) EXPECT_NEAR(reversed.xsi[p][0], s.session.ws.est.xsi[p][0], 1e-9);
}

TEST_F(EstimateStatement, OneIterationEndsAtTheIterationLimit) {
    ASSERT_EQ(run("estimate ! iterations=1;"), 1);
    EXPECT_NE(s.shell.output.find("Maximum number of iterations has been reached\r\nIterations will terminate"),
              std::string::npos);
    EXPECT_EQ(s.session.ws.est.terminationReason, kTerminateIterations);
    EXPECT_EQ(s.session.ws.est.iteration, 1);
    EXPECT_EQ(s.session.ws.est.estimated, 1);
}

TEST_F(EstimateStatement, EachTerminationRuleEndsWithItsMessage) {
    ASSERT_EQ(run("estimate ! fit=no, deviancechange=0, convergence=0.001;"), 1);
    EXPECT_NE(s.shell.output.find("The maximum change in the estimates is less than the convergence criterion\r\n"),
              std::string::npos);
    EXPECT_EQ(s.session.ws.est.terminationReason, kTerminateConverged);
    s.shell.clear();
    ASSERT_EQ(run("estimate ! fit=no, convergence=0, deviancechange=0.01;"), 1);
    EXPECT_NE(s.shell.output.find("Deviance change is less than covergence criterion\r\n"), std::string::npos);
    EXPECT_EQ(s.session.ws.est.terminationReason, kTerminateDeviance);
}

TEST_F(EstimateStatement, ConvergesAndKeepsTheBestIteration) {
    ASSERT_EQ(run("estimate;"), 1);
    const EstimationState& est = s.session.ws.est;
    EXPECT_TRUE(est.terminationReason == kTerminateDeviance || est.terminationReason == kTerminateConverged);
    EXPECT_LE(est.deviance, est.bestDeviance + 1e-9);
    EXPECT_FALSE(est.earlierSolutionBetter);
    EXPECT_NE(s.shell.output.find("Sufficient Statistics Computed"), std::string::npos);
    // Quick errors: anchored none, covariance error 2 sigma^2 / N.
    EXPECT_NEAR(est.covarianceErrors[0][0], 2.0 * est.sigma[0][0] * est.sigma[0][0] / 400, 1e-12);
    EXPECT_NEAR(est.regressionErrors[0][0], est.sigma[0][0] * est.yyInverse[0][0], 1e-12);
    // An item's information is at most a quarter per response to it and to
    // the last item (which carries every parameter): 400 / 4 twice.
    for (int p = 0; p < est.parameters(); ++p) EXPECT_GE(est.itemErrors[p][0], 1.0 / 200);
}

TEST_F(EstimateStatement, MemoryStorageGivesTheSameEstimatesAsDisk) {
    ASSERT_EQ(run("estimate ! fit=no;"), 1);
    const Vector disk = s.session.ws.est.xsi;
    const double deviance = s.session.ws.est.deviance;
    ASSERT_EQ(run("estimate ! fit=no, storage=ram;"), 1);
    EXPECT_EQ(s.session.ws.est.deviance, deviance);
    for (int p = 0; p < disk.rows(); ++p) EXPECT_EQ(s.session.ws.est.xsi[p][0], disk[p][0]);
}

TEST_F(EstimateStatement, RedirectionIsRecordedForLaterReports) {
    ASSERT_EQ(run("estimate ! iterations=1 >> later.txt;"), 1);
    EXPECT_TRUE(s.session.ws.files.outputRedirected);
    EXPECT_EQ(s.session.ws.files.outputFileName, MString("later.txt"));
    ASSERT_EQ(run("estimate ! iterations=1;"), 1);
    EXPECT_FALSE(s.session.ws.files.outputRedirected);
}

TEST_F(EstimateStatement, FullErrorsLeaveAnchoredParametersOut) {
    // Under constraints=cases the mean is anchored at zero and every item is
    // free: the errors of the items are positive, the mean has none.
    ASSERT_EQ(run("set constraints=cases;\nestimate ! stderr=full, fit=no;"), 1);
    const EstimationState& est = s.session.ws.est;
    const int P = est.parameters();
    ASSERT_EQ(P, 8);
    ASSERT_EQ(est.fullErrors.rows(), P + 2);
    for (int p = 0; p < P; ++p) EXPECT_GT(est.fullErrors[p][p], 0.0) << p;
    EXPECT_EQ(est.fullErrors[P][P], 0.0);
    EXPECT_GT(est.fullErrors[P + 1][P + 1], 0.0);
}

TEST_F(EstimateStatement, FullErrorsNeedOneDimensionAndManyNodesAskFirst) {
    EXPECT_EQ(run("estimate ! distribution=discrete, stderr=full;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Full standard errors are only available with normal models"));
    s.shell.yesNoAnswer = false;
    EXPECT_EQ(run("estimate ! method=montecarlo, nodes=50000;"), -1);
    EXPECT_TRUE(contains(s.shell.questions, "Wow! Do you really wish to use 50000 nodes?"));
}

TEST(EstimateBehaviour, ZeroWeightCasesContributeNothing) {
    const std::string data = raschData(300, spread(6, -1, 1), 0, 1, 5);
    std::string weighted, extra;
    std::istringstream lines(data);
    std::string line;
    while (std::getline(lines, line)) weighted += line.substr(0, 6) + "1 " + line.substr(6) + "\n";
    extra = weighted + "  301 0 111000\n  302 0 000111\n";
    double deviance[2];
    std::vector<double> xsi[2];
    for (int k = 0; k < 2; ++k) {
        ScriptSession s;
        s.writeFile("w.dat", k == 0 ? weighted : extra);
        ASSERT_EQ(s.runAllOf("datafile w.dat;\nformat pid 1-5 wt 7 responses 9-14;\ncaseweight wt;\nmodel item;\n"
                             "estimate ! fit=no;\n"),
                  1);
        deviance[k] = s.session.ws.est.deviance;
        for (int p = 0; p < s.session.ws.est.parameters(); ++p) xsi[k].push_back(s.session.ws.est.xsi[p][0]);
        EXPECT_DOUBLE_EQ(s.session.ws.est.weightFactor, 1.0);
    }
    EXPECT_DOUBLE_EQ(deviance[0], deviance[1]);
    EXPECT_EQ(xsi[0], xsi[1]);
}

TEST(EstimateBehaviour, WeightsAreScaledToTheNumberOfWeightedCases) {
    ScriptSession s;
    std::string data;
    const std::string base = raschData(200, spread(5, -1, 1), 0, 1, 8);
    std::istringstream lines(base);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) data += line.substr(0, 6) + (n++ % 2 ? "0 " : "2 ") + line.substr(6) + "\n";
    s.writeFile("w.dat", data);
    ASSERT_EQ(s.runAllOf("datafile w.dat;\nformat pid 1-5 wt 7 responses 9-13;\ncaseweight wt;\nmodel item;\n"
                         "estimate ! fit=no;\n"),
              1);
    EXPECT_DOUBLE_EQ(s.session.ws.est.weightFactor, 0.5);
}

TEST(EstimateBehaviour, AnItemWithoutVariationIsReportedAndRemoved) {
    ScriptSession s;
    std::string data = raschData(300, spread(6, -1, 1), 0, 1, 3);
    // Item 3 answered 0 by everyone.
    for (std::size_t at = 0; at < data.size();) {
        std::size_t end = data.find('\n', at);
        data[at + 8] = '0';
        at = end + 1;
    }
    s.writeFile("z.dat", data);
    ASSERT_EQ(s.runAllOf("datafile z.dat;\nformat pid 1-5 responses 7-12;\nmodel item;\nestimate ! fit=no;\n"), 1);
    EXPECT_TRUE(contains(s.shell.warnings, "Parameter (3) for item 3, is not identified. "));
    const EstimationState& est = s.session.ws.est;
    EXPECT_EQ(est.parameters(), 4);
    EXPECT_EQ(est.keptParameters, (std::vector<std::int32_t>{0, 1, 3, 4}));
}

TEST(EstimateBehaviour, RegressionUsesBockAitkenWithoutAsking) {
    ScriptSession s;
    std::string data;
    std::mt19937 rng(4);
    std::istringstream lines(raschData(300, spread(6, -1, 1), 0, 1, 9));
    std::string line;
    while (std::getline(lines, line))
        data += line.substr(0, 6) + std::to_string(rng() % 10) + " " + line.substr(6) + "\n";
    s.writeFile("r.dat", data);
    ASSERT_EQ(s.runAllOf("datafile r.dat;\nformat pid 1-5 x 7 responses 9-14;\nregression x;\nmodel item;\n"
                         "estimate ! fit=no;\n"),
              1);
    EXPECT_EQ(s.session.ws.est.method, EstimationMethod::Quadrature);
    EXPECT_TRUE(s.shell.questions.empty());
    EXPECT_EQ(s.session.ws.est.beta.columns(), 2);
}

TEST(Recovery, MonteCarloAndTheDiscreteDistribution) {
    const std::vector<double> delta = spread(15, -2, 2);
    const std::string data = raschData(2000, delta, 0.3, 1.2, 17);
    double gaussDeviance = 0;
    {
        ScriptSession s;
        s.writeFile("g.dat", data);
        ASSERT_EQ(s.runAllOf("datafile g.dat;\nformat pid 1-5 responses 7-21;\nmodel item;\nestimate ! fit=no;\n"), 1);
        gaussDeviance = s.session.ws.est.deviance;
    }
    {
        ScriptSession s;
        s.writeFile("mc.dat", data);
        ASSERT_EQ(s.runAllOf("datafile mc.dat;\nformat pid 1-5 responses 7-21;\nmodel item;\n"
                             "estimate ! method=montecarlo, nodes=2000, fit=no;\n"),
                  1);
        const EstimationState& est = s.session.ws.est;
        EXPECT_NEAR(est.beta[0][0], 0.3 + (delta.front() + delta.back()) / 2, 0.12);
        EXPECT_NEAR(est.sigma[0][0], 1.44, 0.2);
        std::printf("Monte Carlo deviance %.3f, Gauss-Hermite %.3f\n", est.deviance, gaussDeviance);
        EXPECT_NEAR(est.deviance, gaussDeviance, 5.0);
    }
    {
        ScriptSession s;
        s.writeFile("d.dat", data);
        ASSERT_EQ(s.runAllOf("datafile d.dat;\nformat pid 1-5 responses 7-21;\nmodel item;\n"
                             "estimate ! method=quadrature, distribution=discrete, nodes=11, minnode=-4, maxnode=4;\n"),
                  1);
        EXPECT_TRUE(contains(s.shell.warnings, "Fit testing is not yet available with a discrete distribution"));
        const EstimationState& est = s.session.ws.est;
        ASSERT_EQ(est.gwt.rows(), 11);
        double total = 0, mean = 0;
        for (int q = 0; q < 11; ++q) {
            total += est.gwt[q][0];
            mean += est.gwt[q][0] * est.nodeGrid[q][0];
        }
        EXPECT_NEAR(total, 1.0, 1e-9);
        EXPECT_NEAR(mean, 0.3, 0.15);
        // Free node weights fit at least as well as the normal, once the
        // ln(h) term of each case is taken out of the deviance.
        const double withoutLnH = est.deviance + 2.0 * 2000 * std::log(static_cast<double>(est.stepH));
        std::printf("discrete deviance %.3f, Gauss-Hermite %.3f\n", withoutLnH, gaussDeviance);
        EXPECT_LT(withoutLnH, gaussDeviance + 1.0);
        EXPECT_GT(withoutLnH, gaussDeviance - 40.0);
    }
}

}  // namespace
}  // namespace ordena::test
