// Joint maximum likelihood: the fixed point it reaches with incomplete data
// and case weights, checked against a direct solution of the estimating
// equations; the change summaries, termination, weights of zero, repeated
// responses, fit at the case estimates, and what the method refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

double logistic(double x) { return 1.0 / (1.0 + std::exp(-x)); }

bool contains(const std::vector<std::string>& list, const std::string& text) {
    for (const auto& s : list)
        if (s.find(text) != std::string::npos) return true;
    return false;
}

// The JML estimates of the first dimension, case by case.
std::vector<double> jmlEstimates(ScriptSession& s, std::vector<double>* errors = nullptr) {
    CaseScoreRecords records;
    EXPECT_EQ(openCaseScores(s.session, records), 1);
    std::vector<double> theta;
    for (int n = 0; n < records.N; ++n) {
        theta.push_back(records.record(n)[records.jmlAt()]);
        if (errors) errors->push_back(std::sqrt(records.record(n)[records.jmlCovAt()]));
    }
    return theta;
}

std::vector<double> xsiOf(const ScriptSession& s) {
    std::vector<double> x;
    for (int p = 0; p < s.session.ws.est.parameters(); ++p) x.push_back(s.session.ws.est.xsi[p][0]);
    return x;
}

// Every item's difficulty: the estimated ones, and the last as minus their sum.
std::vector<double> difficulties(std::vector<double> xsi) {
    double last = 0;
    for (double d : xsi) last -= d;
    xsi.push_back(last);
    return xsi;
}

// One case of a small data set: its weight and its responses to the items,
// blank where it gave none.
struct TinyCase {
    double weight;
    std::string responses;
};

const std::vector<TinyCase> kIncomplete = {
    {1.0, "1 0 "}, {2.0, "110 "}, {0.5, "0 10"}, {1.0, "1101"}, {1.5, " 011"}, {1.0, "00 1"},
    {2.0, "1 11"}, {1.0, "0100"}, {0.5, "1010"}, {1.0, "0 0 "}, {1.0, "11  "}, {3.0, " 10 "}};

std::string tinyData(const std::vector<TinyCase>& cases) {
    std::string text;
    for (std::size_t n = 0; n < cases.size(); ++n) {
        char head[32];
        std::snprintf(head, sizeof head, "%02d %3.1f ", static_cast<int>(n + 1), cases[n].weight);
        text += head + cases[n].responses + "\n";
    }
    return text;
}

// Solves the JML estimating equations of the Rasch model directly, all
// unknowns at once, by Newton's method with a numerical Jacobian: for each
// case the expected score over the items it answered equals its score (0.3
// in from the ends for extreme scores); for each item j but the last, whose
// difficulty is minus the sum of the others, the weighted residuals of item
// j equal those of the last item.
void directSolution(const std::vector<TinyCase>& cases, std::size_t I, std::vector<double>& theta,
                    std::vector<double>& delta) {
    const std::size_t N = cases.size(), K = N + I - 1;
    std::vector<double> raw(N, 0.0), answered(N, 0.0);
    for (std::size_t n = 0; n < N; ++n)
        for (std::size_t i = 0; i < I; ++i)
            if (cases[n].responses[i] != ' ') {
                answered[n] += 1;
                raw[n] += cases[n].responses[i] == '1';
            }
    for (std::size_t n = 0; n < N; ++n) {
        if (raw[n] == 0) raw[n] = 0.3;
        if (raw[n] == answered[n]) raw[n] -= 0.3;
    }
    auto equations = [&](const std::vector<double>& u) {
        std::vector<double> d(I, 0.0);
        for (std::size_t j = 0; j + 1 < I; ++j) {
            d[j] = u[N + j];
            d[I - 1] -= d[j];
        }
        std::vector<double> f(K, 0.0), residual(I, 0.0);
        for (std::size_t n = 0; n < N; ++n) {
            double expected = 0;
            for (std::size_t i = 0; i < I; ++i) {
                const char x = cases[n].responses[i];
                if (x == ' ') continue;
                const double p = logistic(u[n] - d[i]);
                expected += p;
                residual[i] += cases[n].weight * (p - (x == '1'));
            }
            f[n] = expected - raw[n];
        }
        for (std::size_t j = 0; j + 1 < I; ++j) f[N + j] = residual[j] - residual[I - 1];
        return f;
    };
    std::vector<double> u(K, 0.0);
    for (int iteration = 0; iteration < 100; ++iteration) {
        const std::vector<double> f = equations(u);
        // The Jacobian by central differences, then Gauss-Jordan elimination.
        std::vector<std::vector<double>> a(K, std::vector<double>(K + 1));
        for (std::size_t c = 0; c < K; ++c) {
            std::vector<double> up = u, down = u;
            up[c] += 1e-6;
            down[c] -= 1e-6;
            const std::vector<double> fu = equations(up), fd = equations(down);
            for (std::size_t r = 0; r < K; ++r) a[r][c] = (fu[r] - fd[r]) / 2e-6;
        }
        for (std::size_t r = 0; r < K; ++r) a[r][K] = -f[r];
        for (std::size_t c = 0; c < K; ++c) {
            std::size_t pivot = c;
            for (std::size_t r = c + 1; r < K; ++r)
                if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
            std::swap(a[c], a[pivot]);
            for (std::size_t r = 0; r < K; ++r) {
                if (r == c) continue;
                const double m = a[r][c] / a[c][c];
                for (std::size_t k = c; k <= K; ++k) a[r][k] -= m * a[c][k];
            }
        }
        double largest = 0;
        for (std::size_t c = 0; c < K; ++c) {
            const double step = a[c][K] / a[c][c];
            u[c] += step;
            largest = std::max(largest, std::fabs(step));
        }
        if (largest < 1e-12) break;
    }
    theta.assign(u.begin(), u.begin() + static_cast<std::ptrdiff_t>(N));
    delta.assign(u.begin() + static_cast<std::ptrdiff_t>(N), u.end());
}

TEST(Jml, IncompleteWeightedDataReachTheFixedPointOfTheResponsesGiven) {
    ScriptSession s;
    s.writeFile("tiny.dat", tinyData(kIncomplete));
    ASSERT_EQ(s.runAllOf("datafile tiny.dat;\nformat pid 1-2 wt 4-6 responses 8-11;\ncodes 0,1;\ncaseweight wt;\n"
                         "model item;\nestimate ! method=jml, convergence=0.00000001;\n"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    std::vector<double> theta, delta;
    directSolution(kIncomplete, 4, theta, delta);
    const std::vector<double> xsi = xsiOf(s), estimates = jmlEstimates(s);
    ASSERT_EQ(xsi.size(), delta.size());
    for (std::size_t j = 0; j < delta.size(); ++j) EXPECT_NEAR(xsi[j], delta[j], 1e-6) << "item " << j + 1;
    ASSERT_EQ(estimates.size(), theta.size());
    for (std::size_t n = 0; n < theta.size(); ++n) EXPECT_NEAR(estimates[n], theta[n], 1e-6) << "case " << n + 1;
    EXPECT_EQ(s.session.ws.est.terminationReason, 2);
    EXPECT_NE(s.shell.output.find("Model has converged iterations will terminate"), std::string::npos);
}

// The value after a label of the output, e.g. "==> " in a change line.
double valueAfter(const std::string& text, const std::string& label, int* number = nullptr) {
    const std::size_t at = text.find(label);
    EXPECT_NE(at, std::string::npos) << label;
    if (at == std::string::npos) return 0;
    const char* start = text.c_str() + at + label.size();
    char* end = nullptr;
    const double v = std::strtod(start, &end);
    if (number) *number = std::atoi(std::strchr(end, ':') + 1);
    return v;
}

TEST(Jml, ChangeSummariesOfTheFirstIteration) {
    // Ten items, the second anchored: after one iteration every case moved
    // from 0 and every free item parameter from 0.
    ScriptSession s;
    s.copyReference("verbagg.dat");
    s.writeFile("one.anc", "         2   0.50000\n");
    ASSERT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-19;\nmodel item;\n"
                         "import anchor_parameters << one.anc;\nestimate ! method=jml, iterations=1;\n"),
              1);
    const EstimationState& est = s.session.ws.est;
    EXPECT_EQ(est.iteration, 1);
    EXPECT_EQ(est.terminationReason, 0);
    EXPECT_NE(s.shell.output.find("Maximum number of iterations has been reached"), std::string::npos);

    const std::vector<double> theta = jmlEstimates(s);
    double caseSum = 0, caseLargest = 0;
    int caseAt = 0;
    for (std::size_t n = 0; n < theta.size(); ++n) {
        caseSum += std::fabs(theta[n]);
        if (std::fabs(theta[n]) > caseLargest) {
            caseLargest = std::fabs(theta[n]);
            caseAt = static_cast<int>(n) + 1;
        }
    }
    int printedCase = 0, printedParameter = 0;
    const std::string& out = s.shell.output;
    EXPECT_NEAR(valueAfter(out, "Maximum for case parameter estimates ==> ", &printedCase), caseLargest, 6e-6);
    EXPECT_EQ(printedCase, caseAt);
    EXPECT_NEAR(valueAfter(out, "Average for case parameter estimates ==> "), caseSum / theta.size(), 6e-6);

    // The anchored parameter did not move but counts in the divisor; the
    // largest change is previous minus current.
    const std::vector<double> xsi = xsiOf(s);
    ASSERT_EQ(xsi.size(), 9u);
    EXPECT_DOUBLE_EQ(xsi[1], 0.5);
    double itemSum = 0, itemLargest = 0;
    int itemAt = 0;
    for (std::size_t p = 0; p < xsi.size(); ++p) {
        const double change = p == 1 ? 0.0 : 0.0 - xsi[p];
        itemSum += std::fabs(change);
        if (std::fabs(change) > std::fabs(itemLargest)) {
            itemLargest = change;
            itemAt = static_cast<int>(p) + 1;
        }
    }
    EXPECT_NEAR(valueAfter(out, "Maximum for item parameter estimates ==> ", &printedParameter), itemLargest, 6e-6);
    EXPECT_EQ(printedParameter, itemAt);
    EXPECT_NEAR(valueAfter(out, "Average for item parameter estimates ==> "), itemSum / 9.0, 6e-6);
}

TEST(Jml, EveryParameterAnchoredLeavesOnlyTheIterationLimit) {
    ScriptSession s;
    s.copyReference("verbagg.dat");
    const std::vector<double> anchors = {-1.2, -0.6, -0.2, -1.9, -0.8};
    std::string file;
    for (std::size_t p = 0; p < anchors.size(); ++p) {
        char line[64];
        std::snprintf(line, sizeof line, "%10d%10.5f\n", static_cast<int>(p + 1), anchors[p]);
        file += line;
    }
    s.writeFile("all.anc", file);
    ASSERT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-15;\nmodel item;\n"
                         "import anchor_parameters << all.anc;\nestimate ! method=jml, iterations=7;\n"),
              1);
    const EstimationState& est = s.session.ws.est;
    EXPECT_EQ(est.iteration, 7);
    EXPECT_EQ(est.terminationReason, 0);
    EXPECT_EQ(s.shell.output.find("Maximum for item parameter estimates"), std::string::npos);
    const std::vector<double> xsi = xsiOf(s);
    ASSERT_EQ(xsi.size(), anchors.size());
    for (std::size_t p = 0; p < xsi.size(); ++p) EXPECT_NEAR(xsi[p], anchors[p], 1e-6);
    // Each case not at an extreme is the MLE of its score under the anchors.
    const std::vector<double> delta = difficulties(xsi);
    const std::vector<double> theta = jmlEstimates(s);
    std::istringstream data(s.readFile("verbagg.dat"));
    std::string line;
    int checked = 0;
    for (std::size_t n = 0; n < theta.size() && std::getline(data, line); ++n) {
        double score = 0, expected = 0;
        for (std::size_t i = 0; i < 6; ++i) score += line[9 + i] == '1';
        if (score == 0 || score == 6) continue;
        for (double d : delta) expected += logistic(theta[n] - d);
        EXPECT_NEAR(expected, score, 1e-4) << "case " << n + 1;
        ++checked;
    }
    EXPECT_GT(checked, 200);
}

TEST(Jml, TheWleTypeGivesWeightedLikelihoodCaseEstimates) {
    // equivalence wle leaves the case-estimate type at WLE; the case updates
    // then solve the weighted likelihood equation of each case's score.
    ScriptSession s;
    s.copyReference("verbagg.dat");
    ASSERT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-17;\nmodel item;\n"
                         "estimate ! iterations=1, fit=no;\nequivalence wle >> e.txt;\n"
                         "estimate ! method=jml, convergence=0.0000001;\n"),
              1);
    const EstimationState& est = s.session.ws.est;
    EXPECT_TRUE(est.wleAvailable);
    EXPECT_FALSE(est.mleAvailable);
    const std::vector<double> delta = difficulties(xsiOf(s));
    const std::vector<double> theta = jmlEstimates(s);
    std::istringstream data(s.readFile("verbagg.dat"));
    std::string line;
    for (std::size_t n = 0; n < 20 && std::getline(data, line); ++n) {
        double score = 0, E = 0, I = 0, J = 0;
        for (std::size_t i = 0; i < 8; ++i) score += line[9 + i] == '1';
        if (score == 0) score = 0.3;
        if (score == 8) score = 7.7;
        for (double d : delta) {
            const double p = logistic(theta[n] - d);
            E += p;
            I += p * (1 - p);
            J += p * (1 - p) * (1 - 2 * p);
        }
        EXPECT_NEAR(score - E + J / (2 * I), 0.0, 1e-5) << "case " << n + 1;
    }
}

TEST(Jml, ACaseOfWeightZeroKeepsItsStartAndStaysOffTheMap) {
    ScriptSession s;
    std::vector<TinyCase> cases = kIncomplete;
    cases[2].weight = 0.0;
    s.writeFile("tiny.dat", tinyData(cases));
    ASSERT_EQ(s.runAllOf("datafile tiny.dat;\nformat pid 1-2 wt 4-6 responses 8-11;\ncodes 0,1;\ncaseweight wt;\n"
                         "model item;\nestimate ! method=jml, iterations=1;\n"),
              1);
    const std::vector<double> theta = jmlEstimates(s);
    EXPECT_EQ(theta[2], 0.0);
    double total = 0;
    for (double t : theta) total += std::fabs(t);
    // The average still divides by every case.
    EXPECT_NEAR(valueAfter(s.shell.output, "Average for case parameter estimates ==> "), total / 12.0, 6e-6);
    const EstimationState& est = s.session.ws.est;
    EXPECT_TRUE(est.mleSummary.available);
    EXPECT_EQ(sum(est.mleSummary.counts), 11.0);
}

TEST(Jml, RepeatedResponsesCountInTheCaseEstimates) {
    // Two raters per case and a model without the rater: every item is
    // answered twice, and both answers count in the score equation.
    ScriptSession s;
    s.writeFile("twice.dat",
                "01 1 101\n01 2 100\n02 1 011\n02 2 111\n03 1 000\n03 2 010\n04 1 110\n04 2 011\n"
                "05 1 100\n05 2 001\n06 1 111\n06 2 110\n");
    ASSERT_EQ(s.runAllOf("datafile twice.dat;\nformat pid 1-2 rater 4 responses 6-8;\ncodes 0,1;\nmodel item;\n"
                         "estimate ! method=jml, convergence=0.0000001;\n"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    const std::vector<double> xsi = xsiOf(s), theta = jmlEstimates(s);
    ASSERT_EQ(xsi.size(), 2u);
    ASSERT_EQ(theta.size(), 6u);
    const double delta[3] = {xsi[0], xsi[1], -xsi[0] - xsi[1]};
    const double scores[6] = {3, 5, 1, 4, 2, 5};  // of 6 responses each
    for (int n = 0; n < 6; ++n) {
        double expected = 0;
        for (double d : delta) expected += 2.0 * logistic(theta[static_cast<std::size_t>(n)] - d);
        EXPECT_NEAR(expected, scores[n], 1e-5) << "case " << n + 1;
    }
}

TEST(Jml, ItemFitIsComputedAtTheCaseEstimatesEvenWithFitNo) {
    ScriptSession s;
    s.copyReference("verbagg.dat");
    ASSERT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-17;\nmodel item;\n"
                         "estimate ! method=jml, fit=no;\n"),
              1);
    const EstimationState& est = s.session.ws.est;
    EXPECT_TRUE(est.options.fit);
    ASSERT_TRUE(est.fitAvailable);
    ASSERT_GE(est.fit.size(), 8u);
    // Item 1: infit and outfit from the responses and the case estimates.
    const std::vector<double> theta = jmlEstimates(s);
    std::istringstream data(s.readFile("verbagg.dat"));
    std::string line;
    double squares = 0, variance = 0, standardised = 0;
    int n = 0;
    while (std::getline(data, line) && n < static_cast<int>(theta.size())) {
        const double x = line[9] == '1' ? 1.0 : 0.0;
        const double p = logistic(theta[static_cast<std::size_t>(n)] - est.xsi[0][0]);
        squares += (x - p) * (x - p);
        variance += p * (1 - p);
        standardised += (x - p) * (x - p) / (p * (1 - p));
        ++n;
    }
    ASSERT_EQ(n, 316);
    EXPECT_NEAR(est.fit[0].weightedMeanSquare, squares / variance, 1e-9);
    EXPECT_NEAR(est.fit[0].unweightedMeanSquare, standardised / n, 1e-9);
}

TEST(Jml, WarningsRefusalsAndStops) {
    ScriptSession s;
    // Item 2 answered 0 by every case: its parameter is not identified.
    s.writeFile("flat.dat", "1 100\n2 000\n3 101\n4 100\n5 001\n6 101\n");
    ASSERT_EQ(s.runAllOf("datafile flat.dat;\nformat pid 1 responses 3-5;\nmodel item;\n"
                         "estimate ! method=jml, iterations=0;\n"),
              1);
    ASSERT_FALSE(s.shell.warnings.empty());
    EXPECT_EQ(s.shell.warnings[0].rfind("Parameter for item 2, is not identified. ", 0), 0u) << s.shell.warnings[0];
    const EstimationState& est = s.session.ws.est;
    EXPECT_EQ(est.estimated, 1);
    EXPECT_EQ(est.iteration, 0);
    EXPECT_EQ(s.shell.output.find("Iteration: 1"), std::string::npos);
    EXPECT_FALSE(est.mleAvailable);  // no case was estimated

    s.shell.clear();
    EXPECT_EQ(s.run("show cases ! estimates=eap >> eap.txt;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "EAP estimates are not available with JML"));
    EXPECT_EQ(s.run("show ! estimates=latent, tables=4;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Plausible values are not available with JML"));
    EXPECT_EQ(s.shell.output.find("MAP OF"), std::string::npos);
    s.shell.clear();
    EXPECT_EQ(s.run("itanal ! estimates=latent;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Plausible values are not available with JML"));
    EXPECT_EQ(s.run("export covariance >> c.txt;"), -1);
    EXPECT_TRUE(contains(s.shell.errors, "Population parameters are not available with Joint Maximum Likelihood "));
    EXPECT_EQ(s.run("itanal;"), 1);  // WLEs by default

    // A stop during the iterations fails the statement.
    s.shell.clear();
    int polls = 0;
    s.shell.onPoll = [&] {
        if (++polls == 20) s.shell.stopRequests = 1;
    };
    EXPECT_EQ(s.run("estimate ! method=jml;"), -1);
    EXPECT_EQ(s.session.ws.est.estimated, 0);
}

}  // namespace
}  // namespace ordena::test
