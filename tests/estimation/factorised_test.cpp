// Between-item models on product grids, estimated dimension by dimension:
// the same numbers as the node-by-node computation of the general path,
// for one case against a direct sum over the grid and for whole
// estimations; and the passes over the cases on one thread or several give
// the same files, byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "estimation/estimation_work.h"
#include "estimation/factorised.h"
#include "estimation/nodes.h"
#include "estimation/posterior.h"
#include "estimation/probabilities.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

// Responses of cases to items that each measure one of D correlated
// dimensions, with a regressor x that shifts every dimension. Items
// alternate between two and three categories (partial credit). One line per
// case: id 1-5, x in 7-12, responses from 14.
std::string betweenItemData(int cases, int D, int itemsPerDimension, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::ostringstream out;
    for (int n = 0; n < cases; ++n) {
        const double x = normal(rng), common = normal(rng);
        char head[32];
        std::snprintf(head, sizeof head, "%5d %6.3f ", n + 1, x);
        out << head;
        for (int d = 0; d < D; ++d) {
            const double theta = 0.4 * x + 0.7 * common + 0.6 * normal(rng);
            for (int j = 0; j < itemsPerDimension; ++j) {
                const double delta = -1.2 + 2.4 * j / (itemsPerDimension - 1);
                const bool three = j % 2 == 1;
                const double e1 = std::exp(theta - delta), e2 = three ? std::exp(2 * theta - 2 * delta - 0.3) : 0.0;
                const double u = uniform(rng) * (1 + e1 + e2);
                out << (u < 1 ? '0' : u < 1 + e1 ? '1' : '2');
            }
        }
        out << "\n";
    }
    return out.str();
}

// The format, codes, one score statement per dimension and the model.
std::string betweenItemModel(int D, int itemsPerDimension, bool regression) {
    const int items = D * itemsPerDimension;
    std::string s = "datafile b.dat;\nformat pid 1-5 x 7-12 responses 14-" + std::to_string(13 + items) + ";\n";
    s += "codes 0,1,2;\n";
    for (int d = 0; d < D; ++d) {
        s += "scores (0,1,2)";
        for (int e = 0; e < D; ++e) s += e == d ? " (0,1,2)" : " ()";
        s += " ! item(" + std::to_string(d * itemsPerDimension + 1) + "-" +
             std::to_string((d + 1) * itemsPerDimension) + ");\n";
    }
    if (regression) s += "regression x;\n";
    s += "model item + item*step;\n";
    return s;
}

std::string errorsOf(const ScriptSession& s) {
    std::string text;
    for (const std::string& e : s.shell.errors) text += "Error: " + e + "\n";
    return text;
}

// What an estimation leaves behind, for comparison.
struct Results {
    double deviance = 0.0;
    int iterations = 0;
    std::vector<double> xsi, beta, sigma, gwt, fit, cases;
    long long factorisedPasses = 0;
    std::string plausible;
};

Results collect(ScriptSession& s, const std::string& plausibleFile) {
    Results r;
    const EstimationState& est = s.session.ws.est;
    r.deviance = est.deviance;
    r.iterations = est.iteration;
    for (int p = 0; p < est.xsi.rows(); ++p) r.xsi.push_back(est.xsi[p][0]);
    for (int d = 0; d < est.beta.rows(); ++d)
        for (int k = 0; k < est.beta.columns(); ++k) r.beta.push_back(est.beta[d][k]);
    for (int d = 0; d < est.sigma.rows(); ++d)
        for (int k = 0; k < est.sigma.columns(); ++k) r.sigma.push_back(est.sigma[d][k]);
    for (int q = 0; q < est.gwt.rows(); ++q) r.gwt.push_back(est.gwt[q][0]);
    for (const FitResult& f : est.fit)
        for (double v : {f.weightedMeanSquare, f.weightedT, f.unweightedMeanSquare, f.unweightedT}) r.fit.push_back(v);
    CaseScoreRecords records;
    EXPECT_EQ(openCaseScores(s.session, records), 1);
    const int D = records.D;
    for (int n = 0; n < records.N; ++n) {
        const double* rec = records.record(n);
        for (std::size_t at : {records.eapAt(), records.wleAt(), records.mleAt()})
            for (int d = 0; d < D; ++d) r.cases.push_back(rec[at + static_cast<std::size_t>(d)]);
    }
    r.factorisedPasses = s.session.timing.factorisedPasses;
    if (!plausibleFile.empty()) r.plausible = s.readFile(plausibleFile);
    return r;
}

void expectClose(const std::vector<double>& a, const std::vector<double>& b, double tolerance, const char* what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t k = 0; k < a.size(); ++k) {
        const double scale = std::max({std::fabs(a[k]), std::fabs(b[k]), 1.0});
        EXPECT_LE(std::fabs(a[k] - b[k]), tolerance * scale) << what << " " << k << ": " << a[k] << " " << b[k];
    }
}

// Runs the estimation on the fast path and again forced onto the general
// path, from the same seed, and compares everything it estimated.
void expectSameAsGeneralPath(ScriptSession& s, const std::string& estimate, bool discrete = false) {
    const std::string script = "set seed=17;\n" + estimate;
    s.session.compute.generalPath = false;
    s.session.timing.clear();
    ASSERT_EQ(s.run(script), 1) << errorsOf(s);
    const Results fast = collect(s, "pv.txt");
    s.session.compute.generalPath = true;
    s.session.timing.clear();
    ASSERT_EQ(s.run(script), 1) << errorsOf(s);
    const Results general = collect(s, "pv.txt");

    EXPECT_GT(fast.factorisedPasses, 0);
    EXPECT_EQ(general.factorisedPasses, 0);
    EXPECT_EQ(fast.iterations, general.iterations);
    EXPECT_LE(std::fabs(fast.deviance - general.deviance), 1e-9 * std::fabs(general.deviance));
    expectClose(fast.xsi, general.xsi, 1e-9, "xsi");
    expectClose(fast.beta, general.beta, 1e-9, "beta");
    expectClose(fast.sigma, general.sigma, 1e-9, "sigma");
    expectClose(fast.gwt, general.gwt, 1e-9, "gwt");
    expectClose(fast.fit, general.fit, 1e-9, "fit");
    expectClose(fast.cases, general.cases, 1e-9, "case estimates");
    EXPECT_EQ(fast.plausible, general.plausible);
    if (discrete) {
        EXPECT_FALSE(fast.gwt.empty());
    }
}

TEST(FactorisedPath, TwoDimensionsWithARegressionAndItemAnchorsMatchTheGeneralPath) {
    ScriptSession s;
    s.writeFile("b.dat", betweenItemData(300, 2, 6, 3));
    // Items 2 and 9 anchored; a covariance initial value.
    s.writeFile("a.prm", "2 0.40\n9 -0.25\n");
    s.writeFile("s.cov", "1 2 0.2\n");
    ASSERT_EQ(s.runAllOf(betweenItemModel(2, 6, true) + "import anchor_parameters << a.prm, init_covariance << s.cov;"),
              1)
        << errorsOf(s);
    expectSameAsGeneralPath(s, "estimate ! nodes=9, abilities=yes, plausible=pv.txt;");
    EXPECT_EQ(s.session.ws.est.method, EstimationMethod::Quadrature);
    EXPECT_EQ(s.session.ws.est.xsi[1][0], 0.4f);
}

TEST(FactorisedPath, ThreeDimensionsWithRegressionAnchorsMatchTheGeneralPath) {
    ScriptSession s;
    s.writeFile("b.dat", betweenItemData(250, 3, 4, 5));
    // The regression coefficient of the second dimension anchored.
    s.writeFile("r.reg", "2 1 0.35\n");
    s.writeFile("a.prm", "1 -0.5\n");
    ASSERT_EQ(s.runAllOf(betweenItemModel(3, 4, true) +
                         "import anchor_reg_coefficients << r.reg, anchor_parameters << a.prm;"),
              1)
        << errorsOf(s);
    expectSameAsGeneralPath(s, "estimate ! nodes=7, abilities=yes, plausible=pv.txt;");
    EXPECT_NEAR(s.session.ws.est.beta[1][1], 0.35, 1e-6);
}

TEST(FactorisedPath, GaussHermiteWithUncorrelatedDimensionsMatchesTheGeneralPath) {
    // The covariances anchored at zero keep the Gauss-Hermite grid aligned
    // with the dimensions in every iteration.
    ScriptSession s;
    s.writeFile("b.dat", betweenItemData(300, 2, 6, 7));
    s.writeFile("z.cov", "1 2 0.0\n");
    ASSERT_EQ(s.runAllOf(betweenItemModel(2, 6, false) + "import anchor_covariance << z.cov;"), 1) << errorsOf(s);
    expectSameAsGeneralPath(s, "estimate ! method=gauss, nodes=10, abilities=yes, plausible=pv.txt;");
    EXPECT_EQ(s.session.ws.est.sigma[0][1], 0.0);
}

TEST(FactorisedPath, DiscreteDistributionMatchesTheGeneralPath) {
    ScriptSession s;
    s.writeFile("b.dat", betweenItemData(200, 2, 5, 9));
    ASSERT_EQ(s.runAllOf(betweenItemModel(2, 5, false)), 1) << errorsOf(s);
    expectSameAsGeneralPath(s, "estimate ! method=quadrature, nodes=6, distribution=discrete, plausible=pv.txt;",
                            true);
}

TEST(FactorisedPath, FourDimensionsMatchTheGeneralPath) {
    // Beyond three dimensions the pair tables are summed node row by row.
    ScriptSession s;
    s.writeFile("b.dat", betweenItemData(200, 4, 3, 15));
    ASSERT_EQ(s.runAllOf(betweenItemModel(4, 3, true)), 1) << errorsOf(s);
    expectSameAsGeneralPath(s, "estimate ! nodes=4, abilities=yes, plausible=pv.txt;");
}

TEST(FactorisedPath, WithinItemModelsWithARegressionDrawTheSamePlausibleValues) {
    // Under Monte Carlo with regressors the items on one dimension read the
    // shared tables exp(b theta), the item on two its own rows; the general
    // path reads every item's rows.
    ScriptSession s;
    s.writeFile("b.dat", betweenItemData(300, 2, 4, 17));
    const std::string model = "set constraints=cases;\ndatafile b.dat;\nformat pid 1-5 x 7-12 responses 14-21;\n"
                              "codes 0,1,2;\nscores (0,1,2) (0,1,2) (0,1,2) ! item(1);\n"
                              "scores (0,1,2) (0,1,2) () ! item(2-4);\nscores (0,1,2) () (0,1,2) ! item(5-8);\n"
                              "regression x;\nmodel item + item*step;\n";
    Results results[2];
    for (int general = 0; general < 2; ++general) {
        s.session.compute.generalPath = general == 1;
        ASSERT_EQ(s.runAllOf("set seed=3;\n" + model + "estimate ! nodes=9, iterations=4, plausible=pv.txt;"), 1)
            << errorsOf(s);
        EXPECT_EQ(s.session.timing.factorisedPasses, 0);
        results[general] = collect(s, "pv.txt");
    }
    EXPECT_FALSE(results[0].plausible.empty());
    EXPECT_EQ(results[0].plausible, results[1].plausible);
    EXPECT_EQ(results[0].deviance, results[1].deviance);
    expectClose(results[0].cases, results[1].cases, 1e-9, "case estimates");
    expectClose(results[0].fit, results[1].fit, 1e-9, "fit");

    // The estimation itself on Monte Carlo nodes, which takes a regression
    // only with every item parameter anchored: the tables change only the
    // rounding.
    std::string anchors;
    const EstimationState& last = s.session.ws.est;
    for (int p = 0; p < last.xsi.rows(); ++p)
        anchors += std::to_string(p + 1) + " " + std::to_string(last.xsi[p][0]) + "\n";
    s.writeFile("all.prm", anchors);
    std::vector<double> estimates[2];
    for (int general = 0; general < 2; ++general) {
        s.session.compute.generalPath = general == 1;
        ASSERT_EQ(s.runAllOf("set seed=5;\n" + model + "import anchor_parameters << all.prm;\n" +
                             "estimate ! method=montecarlo, nodes=400, iterations=5;"),
                  1)
            << errorsOf(s);
        const EstimationState& est = s.session.ws.est;
        estimates[general].push_back(est.deviance);
        for (int p = 0; p < est.xsi.rows(); ++p) estimates[general].push_back(est.xsi[p][0]);
        for (int d = 0; d < est.beta.rows(); ++d)
            for (int k = 0; k < est.beta.columns(); ++k) estimates[general].push_back(est.beta[d][k]);
        for (int d = 0; d < est.sigma.rows(); ++d)
            for (int k = 0; k < est.sigma.columns(); ++k) estimates[general].push_back(est.sigma[d][k]);
    }
    EXPECT_GT(estimates[0].size(), 15u);
    expectClose(estimates[0], estimates[1], 1e-9, "Monte Carlo estimates");
}

TEST(FactorisedPath, GaussHermiteWithFreeCovariancesAndWithinItemModelsTakeTheGeneralPath) {
    ScriptSession s;
    s.writeFile("b.dat", betweenItemData(300, 2, 4, 11));
    ASSERT_EQ(s.runAllOf(betweenItemModel(2, 4, false) + "estimate ! method=gauss, nodes=5, iterations=3;"), 1)
        << errorsOf(s);
    EXPECT_EQ(s.session.timing.factorisedPasses, 0);
    // Item 1 scoring on both dimensions makes a within-item model; on one,
    // the model is between items again.
    for (bool within : {true, false}) {
        s.session.timing.clear();
        const std::string model = std::string("set constraints=cases;\ndatafile b.dat;\n") +
                                  "format pid 1-5 x 7-12 responses 14-21;\ncodes 0,1,2;\n" +
                                  (within ? "scores (0,1,2) (0,1,2) (0,1,2) ! item(1);\n"
                                          : "scores (0,1,2) (0,1,2) () ! item(1);\n") +
                                  "scores (0,1,2) (0,1,2) () ! item(2-4);\nscores (0,1,2) () (0,1,2) ! item(5-8);\n"
                                  "model item + item*step;\n";
        ASSERT_EQ(s.runAllOf(model + "estimate ! method=quadrature, nodes=5, iterations=1;"), 1) << errorsOf(s);
        EXPECT_EQ(s.session.timing.factorisedPasses, within ? 0 : 1) << within;
    }
}

// A small two-dimensional between-item model on a 4 x 4 grid, set up by
// hand: items 0 and 1 on dimension 0, item 2 on dimension 1.
struct SmallGrid {
    EstimationWork work;
    SmallGrid(bool casePrior) {
        work.D = 2;
        work.I = 3;
        work.maxCat = 2;
        work.Q = 16;
        work.method = EstimationMethod::Quadrature;
        work.ncat = {2, 2, 2};
        work.first = {0, 0, 0};
        work.scores = {0, 0, 1, 0, 0, 0, 1.5, 0, 0, 0, 0, 1};
        work.axsi = {0, 0.3, 0, -0.4, 0, 0.1};
        work.workGrid = Matrix(16, 2);
        for (int q = 0; q < 16; ++q) {
            work.workGrid[q][0] = -3.0 + 2.0 * (q % 4);
            work.workGrid[q][1] = -3.0 + 2.0 * (q / 4);
        }
        work.shift = {0.0, 0.0};
        work.sigmaInverse = Matrix(2, 2);
        work.sigmaInverse[0][0] = 1.6;
        work.sigmaInverse[1][1] = 1.2;
        work.sigmaInverse[0][1] = work.sigmaInverse[1][0] = -0.7;
        work.normConst = 0.1;
        work.nodeWeights.assign(16, 0.0);
        for (int q = 0; q < 16; ++q) work.nodeWeights[static_cast<std::size_t>(q)] = (1.0 + q % 5) / 48.0;
        FactorGrid& f = work.factor;
        f.n = 4;
        f.itemDimension = {0, 0, 1};
        f.casePrior = casePrior;
        EXPECT_TRUE(factorAxes(work));
        f.prior.assign(16, 0.0);
        for (int q = 0; q < 16; ++q) {
            const double a = work.workGrid[q][0], b = work.workGrid[q][1];
            f.prior[static_cast<std::size_t>(q)] =
                casePrior ? std::exp(-0.5 * (1.6 * a * a + 1.2 * b * b - 1.4 * a * b))
                          : work.nodeWeights[static_cast<std::size_t>(q)];
        }
        work.probNodes = 4;
        work.prob.assign(3 * 2 * 4, 0.0);
        for (int i = 0; i < 3; ++i) itemProbabilities(work, i, f.theta, true);
    }
    // The posterior of the responses at node q and its prior weight, summed
    // directly over the grid.
    double direct(const std::vector<int>& items, const std::vector<int>& categories, const double* mean,
                  std::vector<double>& posterior) const {
        posterior.assign(16, 0.0);
        double total = 0.0, priorTotal = 0.0;
        for (int q = 0; q < 16; ++q) {
            const double t[2] = {work.workGrid[q][0], work.workGrid[q][1]};
            double L = 1.0;
            for (std::size_t r = 0; r < items.size(); ++r) {
                const int i = items[r];
                const double b = i == 0 ? 1.0 : i == 1 ? 1.5 : 1.0;
                const double eta = b * t[i == 2 ? 1 : 0] + work.axsi[static_cast<std::size_t>(i) * 2 + 1];
                const double p1 = 1.0 / (1.0 + std::exp(-eta));
                L *= categories[r] == 1 ? p1 : 1.0 - p1;
            }
            double w = work.nodeWeights[static_cast<std::size_t>(q)];
            if (mean) {
                const double a = t[0] - mean[0], b = t[1] - mean[1];
                w = std::exp(-0.5 * (1.6 * a * a + 1.2 * b * b - 1.4 * a * b));
            }
            posterior[static_cast<std::size_t>(q)] = L * w;
            total += L * w;
            priorTotal += w;
        }
        for (double& p : posterior) p /= total;
        // h = 2 is kept in single precision, as the node spacing is.
        return std::log(total / priorTotal) + 2 * static_cast<double>(std::log(2.0f));
    }
};

TEST(FactorisedPosterior, EqualsTheSumOverTheWholeGrid) {
    for (bool casePrior : {false, true}) {
        SCOPED_TRACE(casePrior);
        SmallGrid g(casePrior);
        const std::vector<int> items = {0, 2, 1, 2, 0}, categories = {1, 0, 1, 1, 0};
        const double mean[2] = {0.8, -0.6};
        std::vector<double> direct;
        const double expected = g.direct(items, categories, casePrior ? mean : nullptr, direct);
        FactorScratch s;
        double ll = 0.0;
        ASSERT_EQ(factorisedPosterior(g.work, items.data(), categories.data(), 5, casePrior ? mean : nullptr, 2.0f,
                                      true, s, ll),
                  1);
        // Without a case prior the weights are used as they stand (their sum
        // is not one here), as the general path uses them.
        double weightSum = 0.0;
        for (double w : g.work.nodeWeights) weightSum += w;
        EXPECT_NEAR(ll, expected + (casePrior ? 0.0 : std::log(weightSum)), 1e-12);
        for (int q = 0; q < 16; ++q)
            EXPECT_NEAR(s.full[static_cast<std::size_t>(q)], direct[static_cast<std::size_t>(q)], 1e-14);
        // Marginals, and the moments from the pair table.
        double E[2], M[4];
        factorisedMoments(g.work, s, E, M);
        double e0 = 0, e1 = 0, m01 = 0, m11 = 0;
        for (int q = 0; q < 16; ++q) {
            const double p = direct[static_cast<std::size_t>(q)], a = g.work.workGrid[q][0], b = g.work.workGrid[q][1];
            e0 += p * a;
            e1 += p * b;
            m01 += p * a * b;
            m11 += p * b * b;
            EXPECT_GE(p, 0.0);
        }
        EXPECT_NEAR(E[0], e0, 1e-13);
        EXPECT_NEAR(E[1], e1, 1e-13);
        EXPECT_NEAR(M[1], m01, 1e-13);
        EXPECT_NEAR(M[2], m01, 1e-13);
        EXPECT_NEAR(M[3], m11, 1e-13);
        for (int a = 0; a < 4; ++a) {
            double m0 = 0;
            for (int b = 0; b < 4; ++b) m0 += direct[static_cast<std::size_t>(b * 4 + a)];
            EXPECT_NEAR(s.marginal[static_cast<std::size_t>(a)], m0, 1e-14);
        }
    }
}

TEST(FactorisedPosterior, ACaseBeyondWhatTheFactorsCarryIsComputedNodeByNode) {
    // Means far outside the grid: the scaled factors underflow, and the case
    // gets the node-by-node result, the general path's exactly; with the
    // farther mean even the general prior weights underflow and the case
    // fails on both.
    SmallGrid g(true);
    EstimationWork general = g.work;
    general.probNodes = 16;
    general.prob.assign(3 * 2 * 16, 0.0);
    const std::vector<double> theta = thetaColumns(general, general.workGrid, general.shift);
    for (int i = 0; i < 3; ++i) itemProbabilities(general, i, theta, true);
    const std::vector<int> items = {0, 2, 1, 2, 0}, categories = {1, 0, 1, 1, 0};
    int succeeded = 0;
    for (const std::vector<double>& mean : {std::vector<double>{24.0, -18.0}, std::vector<double>{60.0, -45.0}}) {
        SCOPED_TRACE(mean[0]);
        FactorScratch s;
        double ll = 0.0, generalLl = 0.0;
        const int m = static_cast<int>(items.size());
        const int fast =
            factorisedPosterior(g.work, items.data(), categories.data(), m, mean.data(), 2.0f, true, s, ll);
        std::vector<double> weights, L(16), post(16);
        int slow = caseNodeWeights(general, general.workGrid, mean, weights);
        if (slow == 1)
            slow = casePosterior(general, items.data(), categories.data(), m, weights.data(), mean.data(), 2.0f,
                                 L.data(), post.data(), nullptr, generalLl);
        else
            slow = 0;
        ASSERT_EQ(fast, slow);
        if (slow != 1) continue;
        ++succeeded;
        EXPECT_EQ(ll, generalLl);
        for (int q = 0; q < 16; ++q) EXPECT_EQ(s.full[static_cast<std::size_t>(q)], post[static_cast<std::size_t>(q)]);
    }
    EXPECT_EQ(succeeded, 1);
}

// Runs the script with the given number of threads and returns every file
// it wrote, the output, and the estimates' bits.
std::vector<std::string> runWithThreads(const std::string& data, const std::string& script, int threads,
                                        const std::vector<std::string>& files) {
    ScriptSession s;
    s.writeFile("b.dat", data);
    s.session.compute.threads = threads;
    s.session.compute.parallelWork = 0.0;  // small as they are, the passes are shared out
    EXPECT_EQ(s.runAllOf(script), 1) << errorsOf(s);
    std::vector<std::string> out;
    for (const std::string& name : files) {
        out.push_back(s.readFile(name));
        EXPECT_FALSE(out.back().empty()) << name;
    }
    std::string output = s.shell.output;
    // The report header carries the clock time.
    for (std::size_t at = output.find("Ordena:"); at != std::string::npos; at = output.find("Ordena:", at + 1))
        output.erase(at, output.find('\n', at) - at);
    out.push_back(output);
    const EstimationState& est = s.session.ws.est;
    std::string bits;
    auto add = [&](double v) { bits.append(reinterpret_cast<const char*>(&v), sizeof v); };
    add(est.deviance);
    for (int p = 0; p < est.xsi.rows(); ++p) add(est.xsi[p][0]);
    for (int d = 0; d < est.sigma.rows(); ++d)
        for (int k = 0; k < est.sigma.columns(); ++k) add(est.sigma[d][k]);
    for (const FitResult& f : est.fit) add(f.weightedMeanSquare);
    out.push_back(bits);
    EXPECT_EQ(s.session.timing.threads, threads);
    return out;
}

TEST(Threads, OneTwoAndThreeThreadsWriteTheSameFiles) {
    const std::vector<std::string> files = {"e.prm", "e.cov", "e.reg", "pv.txt", "wle.txt"};
    const std::string exports = "export parameters >> e.prm, covariance >> e.cov, reg_coefficients >> e.reg;\n";
    const std::string after = "show cases ! estimates=wle >> wle.txt;\nfit;\n";
    // The fast path with a regression; the general path (Gauss-Hermite
    // with a free covariance) with Monte Carlo case estimates.
    const std::string data = betweenItemData(700, 3, 4, 13);
    const std::vector<std::string> scripts = {
        betweenItemModel(3, 4, true) + exports + "estimate ! nodes=6, abilities=yes, plausible=pv.txt;\n" + after,
        betweenItemModel(2, 6, false) + exports +
            "estimate ! method=gauss, nodes=8, abilities=yes, plausible=pv.txt;\n" + after};
    for (const std::string& script : scripts) {
        const std::vector<std::string> one = runWithThreads(data, script, 1, files);
        for (int threads : {2, 3}) {
            const std::vector<std::string> more = runWithThreads(data, script, threads, files);
            ASSERT_EQ(one.size(), more.size());
            for (std::size_t k = 0; k < one.size(); ++k)
                EXPECT_TRUE(one[k] == more[k]) << (k < files.size() ? files[k] : std::string("output or bits"))
                                               << " with " << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace ordena::test
