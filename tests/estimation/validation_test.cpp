// The engine against results of independent, established programs on the
// reference data: estimates, deviances and standard errors within the
// tolerances the reference data set states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "support/reference.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

using Reference = std::map<std::string, std::vector<double>>;

Reference reference(const std::string& name) {
    Reference r = readReference(std::string(ORDENA_REFERENCE_DIR) + "/" + name);
    EXPECT_FALSE(r.empty()) << name;
    return r;
}

struct Fit {
    std::vector<double> xsi;
    double mean = 0, variance = 0, deviance = 0;
    std::vector<double> slopes;
};

Fit estimate(ScriptSession& s, const std::string& data, const std::string& statements) {
    s.copyReference(data);
    EXPECT_EQ(s.runAllOf("datafile " + data + ";\n" + statements), 1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    Fit f;
    const EstimationState& est = s.session.ws.est;
    EXPECT_EQ(est.estimated, 1);
    for (int p = 0; p < est.parameters(); ++p) f.xsi.push_back(est.xsi[p][0]);
    if (!est.beta.isEmpty()) {
        f.mean = est.beta[0][0];
        for (int r = 1; r < est.beta.columns(); ++r) f.slopes.push_back(est.beta[0][r]);
    }
    if (!est.sigma.isEmpty()) f.variance = est.sigma[0][0];
    f.deviance = est.deviance;
    return f;
}

void expectItems(const std::vector<double>& xsi, const std::vector<double>& delta, double tolerance) {
    ASSERT_EQ(xsi.size() + 1, delta.size());
    double largest = 0;
    for (std::size_t i = 0; i < xsi.size(); ++i) {
        EXPECT_NEAR(xsi[i], delta[i], tolerance) << "item " << i + 1;
        largest = std::max(largest, std::fabs(xsi[i] - delta[i]));
    }
    std::printf("  items: largest difference %.5f (tolerance %.3f)\n", largest, tolerance);
}

void expectPopulation(const Fit& f, const Reference& r, double meanTol, double varianceRel, double devianceTol) {
    std::printf("  mean %.5f vs %.5f, variance %.5f vs %.5f, deviance %.4f vs %.4f\n", f.mean, r.at("mean")[0],
                f.variance, r.at("variance")[0], f.deviance, r.at("deviance").empty() ? 0.0 : r.at("deviance")[0]);
    EXPECT_NEAR(f.mean, r.at("mean")[0], meanTol);
    EXPECT_NEAR(f.variance, r.at("variance")[0], varianceRel * r.at("variance")[0]);
    if (devianceTol > 0) {
        EXPECT_NEAR(f.deviance, r.at("deviance")[0], devianceTol);
    }
}

TEST(Validation, DefaultGaussHermiteMatchesIndependentFifteenNodeFits) {
    for (const auto& [data, format, ref] :
         {std::tuple{"rasch_sim.dat", "format pid 1-5 responses 7-21;", "rasch_sim_gh15.ref"},
          std::tuple{"verbagg.dat", "format pid 1-3 responses 10-33;", "verbagg_rasch_gh15.ref"}}) {
        ScriptSession s;
        Fit f = estimate(s, data, std::string(format) + "model item;\nestimate;\n");
        Reference r = reference(ref);
        expectItems(f.xsi, r.at("delta"), 0.005);
        expectPopulation(f, r, 0.005, 0.005, 0.05);
        // Quick errors take each parameter's own information only: below the
        // peer's full errors (which allow for all the others), but not far.
        const EstimationState& est = s.session.ws.est;
        const Reference peer = reference(std::string(data) == "verbagg.dat" ? "verbagg_rasch.ref" : "rasch_sim.ref");
        const std::vector<double>& se = peer.at("se_delta");
        double low = 1e9, high = 0;
        for (int p = 0; p < est.parameters(); ++p) {
            const double ratio = std::sqrt(est.itemErrors[p][0]) / se[static_cast<std::size_t>(p)];
            low = std::min(low, ratio);
            high = std::max(high, ratio);
        }
        std::printf("  quick errors: %.3f to %.3f of the peer's full errors\n", low, high);
        EXPECT_GT(low, 0.55);
        EXPECT_LT(high, 1.0);
    }
}

TEST(Validation, FortyOneNodesMatchAdaptiveQuadrature) {
    for (const auto& [data, format, ref] :
         {std::tuple{"rasch_sim.dat", "format pid 1-5 responses 7-21;", "rasch_sim.ref"},
          std::tuple{"verbagg.dat", "format pid 1-3 responses 10-33;", "verbagg_rasch.ref"}}) {
        ScriptSession s;
        Fit f = estimate(s, data, std::string(format) + "model item;\nestimate ! nodes=41;\n");
        Reference r = reference(ref);
        expectItems(f.xsi, r.at("delta"), 0.01);
        expectPopulation(f, r, 0.01, 0.01, 0.1);
    }
}

TEST(Validation, LatentRegressionWithBockAitkenQuadrature) {
    const std::string format =
        "format pid 1-3 gender 5 anger 7-8 responses 10-33;\nregression gender anger;\nmodel item;\n";
    {
        ScriptSession s;
        Fit f = estimate(s, "verbagg.dat", format + "estimate;\n");
        Reference r = reference("verbagg_rasch_regression_ba15.ref");
        expectItems(f.xsi, r.at("delta"), 0.005);
        expectPopulation(f, r, 0.005, 0.005, 0.05);
        ASSERT_EQ(f.slopes.size(), 2u);
        EXPECT_NEAR(f.slopes[0], r.at("regression")[0], 0.005);
        EXPECT_NEAR(f.slopes[1], r.at("regression")[1], 0.005);
    }
    {
        ScriptSession s;
        Fit f = estimate(s, "verbagg.dat", format + "estimate ! method=quadrature, nodes=61;\n");
        Reference r = reference("verbagg_rasch_regression.ref");
        expectItems(f.xsi, r.at("delta"), 0.01);
        // The deviance without the ln h term each case adds is -2 log L.
        f.deviance += 2.0 * 316 * static_cast<float>(std::log(static_cast<double>(s.session.ws.est.stepH)));
        expectPopulation(f, r, 0.01, 0.01, 0.1);
        ASSERT_EQ(f.slopes.size(), 2u);
        EXPECT_NEAR(f.slopes[0], r.at("regression")[0], 0.01);
        EXPECT_NEAR(f.slopes[1], r.at("regression")[1], 0.01);
    }
}

// A slope anchored at 0 is the model without its regressor: the other
// coefficients refitted and the covariance taken about them, under
// Bock/Aitken quadrature and Monte Carlo integration (which takes
// regressors only with every item parameter anchored: here at the
// reference difficulties), in one dimension and in two (the slope anchored
// on both).
TEST(Validation, AnAnchoredSlopeOfZeroIsTheModelWithoutItsRegressor) {
    const std::string twoDimensions = "scores (0,1) (0,1) () ! item(1-12);\nscores (0,1) () (0,1) ! item(13-24);\n";
    for (const auto& [dimensions, options] : {std::pair{1, ""}, std::pair{1, ", method=montecarlo"}, std::pair{2, ""}}) {
        SCOPED_TRACE(std::to_string(dimensions) + " dimension(s)" + options);
        const std::string format = "format pid 1-3 gender 5 anger 7-8 responses 10-33;\n" +
                                   (dimensions == 2 ? twoDimensions : std::string());
        const bool monteCarlo = std::string(options).find("montecarlo") != std::string::npos;
        std::string items;
        const std::vector<double> delta = reference("verbagg_rasch_regression_ba15.ref").at("delta");
        for (std::size_t p = 0; p + 1 < delta.size(); ++p) items += std::to_string(p + 1) + " " + std::to_string(delta[p]) + "\n";
        const std::string run = std::string(monteCarlo ? "import anchor_parameters << items.anc;\n" : "") +
                                "model item;\nestimate ! fit=no" + options + ";\n";
        // One session at a time: each works in a directory of its own.
        Fit a, b;
        EstimationState x, y;
        {
            ScriptSession with;
            with.writeFile("anger.anc", dimensions == 2 ? "1 2 0.0\n2 2 0.0\n" : "1 2 0.0\n");
            with.writeFile("items.anc", items);
            a = estimate(with, "verbagg.dat",
                         format + "regression gender anger;\nimport anchor_reg_coefficients << anger.anc;\n" + run);
            x = with.session.ws.est;
        }
        {
            ScriptSession without;
            without.writeFile("items.anc", items);
            b = estimate(without, "verbagg.dat", format + "regression gender;\n" + run);
            y = without.session.ws.est;
        }
        std::printf("  deviance %.4f vs %.4f\n", a.deviance, b.deviance);
        EXPECT_NEAR(a.deviance, b.deviance, 0.01);
        ASSERT_EQ(a.xsi.size(), b.xsi.size());
        for (std::size_t p = 0; p < a.xsi.size(); ++p) EXPECT_NEAR(a.xsi[p], b.xsi[p], 0.001) << "item " << p + 1;
        for (int d = 0; d < dimensions; ++d) {
            EXPECT_EQ(x.beta[d][2], 0.0);
            EXPECT_NEAR(x.beta[d][0], y.beta[d][0], 0.001) << "constant " << d;
            EXPECT_NEAR(x.beta[d][1], y.beta[d][1], 0.001) << "gender " << d;
            for (int e = 0; e < dimensions; ++e) EXPECT_NEAR(x.sigma[d][e], y.sigma[d][e], 0.001) << d << " " << e;
        }
    }
}

// Within-item verbal aggression under Gauss-Hermite quadrature with a free
// covariance: the maximum of its 15-node likelihood, found by an
// independent maximiser, is 8146.091 at covariances (1.114, 0.769, 1.425).
TEST(Validation, GaussHermiteWithinItemModelReachesTheQuadratureMaximum) {
    ScriptSession s;
    const Fit f = estimate(s, "verbagg.dat",
                           "format pid 1-3 responses 10-33;\nset constraints=cases;\n"
                           "scores (0,1) (0,1) () ! item(1-8);\nscores (0,1) (0,1) (0,1) ! item(9-16);\n"
                           "scores (0,1) () (0,1) ! item(17-24);\nmodel item;\n"
                           "estimate ! fit=no, convergence=0.00000001, deviancechange=0.0000000001;\n");
    const Matrix& sigma = s.session.ws.est.sigma;
    std::printf("  deviance %.5f, covariances %.5f %.5f %.5f\n", f.deviance, sigma[0][0], sigma[0][1], sigma[1][1]);
    EXPECT_LE(f.deviance, 8146.091);
    EXPECT_NEAR(sigma[0][0], 1.114, 0.002);
    EXPECT_NEAR(sigma[0][1], 0.769, 0.002);
    EXPECT_NEAR(sigma[1][1], 1.425, 0.002);
}

TEST(Validation, PartialCreditMatchesIndependentFitAndConditionalEstimates) {
    ScriptSession s;
    Fit f = estimate(s, "verbagg.dat", "format pid 1-3 responses 35-58;\nmodel item + item*step;\nestimate;\n");
    Reference gh = reference("verbagg_pcm_gh15.ref");
    const std::vector<double>& delta = gh.at("delta");
    const std::vector<double>& step = gh.at("step1");
    const std::size_t I = delta.size();
    ASSERT_EQ(f.xsi.size(), (I - 1) + I);
    for (std::size_t i = 0; i + 1 < I; ++i) EXPECT_NEAR(f.xsi[i], delta[i], 0.005) << "item " << i + 1;
    for (std::size_t i = 0; i < I; ++i) EXPECT_NEAR(f.xsi[I - 1 + i], step[i], 0.005) << "step of item " << i + 1;
    expectPopulation(f, gh, 0.005, 0.005, 0.05);

    // Conditional estimates differ by construction; items with a sparse
    // category are left out of the comparison.
    Reference cml = reference("verbagg_pcm_cml.ref");
    Reference counts = reference("verbagg_pcm_classical.ref");
    std::vector<double> location(I);
    double sum = 0;
    for (std::size_t i = 0; i + 1 < I; ++i) sum += location[i] = f.xsi[i];
    location[I - 1] = -sum;
    double centre = 0;
    for (double l : location) centre += l / static_cast<double>(I);
    for (std::size_t i = 0; i < I; ++i) {
        bool sparse = false;
        for (const char* c : {"count_category_0", "count_category_1", "count_category_2"})
            sparse = sparse || counts.at(c)[i] < 10;
        if (sparse) continue;
        EXPECT_NEAR(location[i] - centre, cml.at("location")[i], 0.03) << "item " << i + 1;
        EXPECT_NEAR(f.xsi[I - 1 + i], cml.at("step1")[i], 0.05) << "step of item " << i + 1;
    }
}

TEST(Validation, FullStandardErrorsMatchThePeersInformationMatrix) {
    for (const auto& [data, format, ref] :
         {std::tuple{"rasch_sim.dat", "format pid 1-5 responses 7-21;", "rasch_sim.ref"},
          std::tuple{"verbagg.dat", "format pid 1-3 responses 10-33;", "verbagg_rasch.ref"}}) {
        ScriptSession s;
        estimate(s, data, std::string(format) + "model item;\nestimate ! nodes=41, stderr=full;\n");
        Reference r = reference(ref);
        const EstimationState& est = s.session.ws.est;
        const int P = est.parameters();
        ASSERT_EQ(est.fullErrors.rows(), P + 2);
        const std::vector<double>& se = r.at("se_delta");
        ASSERT_EQ(static_cast<std::size_t>(P + 1), se.size());
        for (int p = 0; p < P; ++p)
            EXPECT_NEAR(std::sqrt(est.fullErrors[p][p]), se[static_cast<std::size_t>(p)],
                        0.03 * se[static_cast<std::size_t>(p)])
                << "item " << p + 1;
        // The last item is minus the sum of the others.
        double last = 0;
        for (int p = 0; p < P; ++p)
            for (int q = 0; q < P; ++q) last += est.fullErrors[p][q];
        EXPECT_NEAR(std::sqrt(last), se.back(), 0.03 * se.back());
        EXPECT_NEAR(std::sqrt(est.fullErrors[P][P]), r.at("se_mean")[0], 0.03 * r.at("se_mean")[0]);

        // The population table shows that error of the mean (to three
        // decimals), not the quick one.
        ASSERT_EQ(s.run("show ! tables=3 >> population.txt;"), 1);
        std::istringstream table(s.readFile("population.txt"));
        std::string line;
        double printed = -1;
        while (std::getline(table, line))
            if (line.rfind("CONSTANT", 0) == 0) {
                double mean = 0;
                std::istringstream(line.substr(8)) >> mean >> printed;
            }
        EXPECT_NEAR(printed, r.at("se_mean")[0], 0.03 * r.at("se_mean")[0] + 0.0005) << data;

        // The parameter table gives the constrained item the error of minus
        // the sum of the others.
        ASSERT_EQ(s.run("show ! tables=2 >> items.txt;"), 1);
        std::istringstream items(s.readFile("items.txt"));
        double constrained = -1;
        while (std::getline(items, line)) {
            std::istringstream fields(line);
            std::string number, level, estimate;
            double error = -1;
            if (fields >> number >> level >> estimate >> error && number == std::to_string(P + 1) &&
                estimate.back() == '*')
                constrained = error;
        }
        std::printf("  constrained item: error %.3f, reference %.3f\n", constrained, se.back());
        EXPECT_NEAR(constrained, se.back(), 0.03 * se.back() + 0.0005) << data;
    }
}

TEST(Validation, JointMaximumLikelihoodMatchesAnIndependentSolution) {
    ScriptSession s;
    Fit f = estimate(s, "verbagg.dat",
                     "format pid 1-3 responses 10-33;\nmodel item;\nestimate ! method=jml, convergence=0.00001;\n");
    Reference r = reference("verbagg_rasch_jml.ref");
    expectItems(f.xsi, r.at("delta"), 0.005);
    // The last item is minus the sum of the others.
    double sum = 0;
    for (double x : f.xsi) sum += x;
    EXPECT_NEAR(-sum, r.at("delta").back(), 0.005);

    CaseScoreRecords records;
    ASSERT_EQ(openCaseScores(s.session, records), 1);
    const std::vector<double>& theta = r.at("theta_first10");
    const std::vector<double>& se = r.at("se_theta_first10");
    ASSERT_EQ(theta.size(), 10u);
    double largestTheta = 0, largestError = 0;
    for (int n = 0; n < 10; ++n) {
        const double* rec = records.record(n);
        const double estimate = rec[records.jmlAt()], error = std::sqrt(rec[records.jmlCovAt()]);
        EXPECT_NEAR(estimate, theta[static_cast<std::size_t>(n)], 0.01) << "case " << n + 1;
        EXPECT_NEAR(error, se[static_cast<std::size_t>(n)], 0.01) << "case " << n + 1;
        largestTheta = std::max(largestTheta, std::fabs(estimate - theta[static_cast<std::size_t>(n)]));
        largestError = std::max(largestError, std::fabs(error - se[static_cast<std::size_t>(n)]));
    }
    std::printf("  cases: largest difference %.5f in the estimates, %.5f in the errors (tolerance 0.01)\n",
                largestTheta, largestError);
}

// Rows of three numbers (score, estimate, error) of a text, in order.
std::vector<std::vector<double>> rowsOf(const std::string& text) {
    std::vector<std::vector<double>> rows;
    for (const auto& row : numberRows(text))
        if (row.size() == 3) rows.push_back(row);
    return rows;
}

TEST(Validation, EquivalenceTablesMatchAnIndependentRootFinder) {
    ScriptSession s;
    Reference gh = reference("verbagg_rasch_gh15.ref");
    const std::vector<double>& delta = gh.at("delta");
    std::string anchors;
    for (std::size_t i = 0; i + 1 < delta.size(); ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%10d%10.5f\n", static_cast<int>(i + 1), delta[i]);
        anchors += line;
    }
    s.writeFile("gh15.anc", anchors);
    estimate(s, "verbagg.dat",
             "format pid 1-3 responses 10-33;\nmodel item;\nimport anchor_parameters << gh15.anc;\n"
             "estimate ! fit=no;\nequivalence mle >> mle.txt;\nequivalence wle >> wle.txt;\n");

    std::ifstream in(std::string(ORDENA_REFERENCE_DIR) + "/verbagg_rasch_equivalence.ref");
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    const std::size_t wleAt = text.find("\nwle");
    ASSERT_NE(wleAt, std::string::npos);
    for (const auto& [kind, file, part] : {std::tuple{"MLE", "mle.txt", text.substr(0, wleAt)},
                                           std::tuple{"WLE", "wle.txt", text.substr(wleAt)}}) {
        const auto want = rowsOf(part);
        const auto got = rowsOf(s.readFile(file));
        ASSERT_EQ(want.size(), 25u) << kind;
        ASSERT_EQ(got.size(), want.size()) << kind;
        double largest = 0;
        for (std::size_t k = 0; k < want.size(); ++k)
            for (std::size_t j = 0; j < 3; ++j) {
                EXPECT_NEAR(got[k][j], want[k][j], 0.001) << kind << " row " << k << " column " << j;
                largest = std::max(largest, std::fabs(got[k][j] - want[k][j]));
            }
        std::printf("  %s table: largest difference %.5f (tolerance 0.001)\n", kind, largest);
    }
}

}  // namespace
}  // namespace ordena::test
