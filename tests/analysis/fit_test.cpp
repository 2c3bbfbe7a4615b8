// Item fit: group arguments, fit matrix files, the parameter layout, the
// case contribution and the averaging over draws; and on simulated data the
// mean squares of fitting items centre on 1 while a steep and a flat item
// are flagged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <numeric>
#include <string>

#include "analysis/fit.h"
#include "support/capture_shell.h"
#include "support/script_session.h"
#include "support/simulate.h"

namespace ordena::test {
namespace {

using Messages = std::vector<std::string>;

TEST(FitGroups, ColonsSeparateGroupsAndRangesExpand) {
    CaptureShell shell;
    Matrix groups;
    std::vector<MString> texts;
    ASSERT_EQ(parseFitGroups("1-3 : 4", 5, groups, texts, shell), 1);
    ASSERT_EQ(groups.columns(), 2);
    ASSERT_EQ(groups.rows(), 5);
    EXPECT_EQ(groups[0][0], 1);
    EXPECT_EQ(groups[1][0], 2);
    EXPECT_EQ(groups[2][0], 3);
    EXPECT_EQ(groups[3][0], 0);
    EXPECT_EQ(groups[0][1], 4);
    EXPECT_EQ(groups[1][1], 0);
    EXPECT_EQ(texts, (std::vector<MString>{"1-3", "4"}));
    ASSERT_EQ(parseFitGroups("2, 5,1", 5, groups, texts, shell), 1);
    EXPECT_EQ(groups.columns(), 1);
    EXPECT_EQ(groups[2][0], 1);
    EXPECT_TRUE(shell.errors.empty());
}

TEST(FitGroups, BadListsAreRefusedWithTheirMessages) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1-6", "Too many parameters in list"},
        {"1,2,3,4,5,1", "Too many parameters in list"},
        {"1-999999999", "Too many parameters in list"},
        {"0", "Error in fit test"},
        {"2:", "Error in fit test"},
        {"1,7", "Error in fit test"},
        {"a", "Error in fit test"},
        {"1-x", "Error in fit test"},
        {"3-1", "Column range incorrect - 1st number > 2nd number"},
        {"2-", " Column range incorrect: end range not found"},
    };
    for (const auto& [text, message] : cases) {
        CaptureShell shell;
        Matrix groups;
        std::vector<MString> texts;
        EXPECT_EQ(parseFitGroups(MString(text), 5, groups, texts, shell), -1) << text;
        EXPECT_EQ(shell.errors, Messages{message}) << text;
    }
}

TEST(FitGroups, CollapseSumsTheListedColumns) {
    FitMatrix fit;
    fit.reset(2, 2, 3);
    for (int g = 0; g < 2; ++g)
        for (int k = 0; k < 2; ++k)
            for (int j = 0; j < 3; ++j) fit.at(g, k, j) = static_cast<float>(100 * g + 10 * k + j + 1);
    Matrix groups(3, 2);
    groups[0][0] = 1;
    groups[1][0] = 3;
    groups[0][1] = 2;
    CollapseF(fit, groups);
    ASSERT_EQ(fit.G, 2);
    EXPECT_EQ(fit.at(1, 1, 0), 111 + 113);
    EXPECT_EQ(fit.at(0, 1, 1), 12);
    EXPECT_EQ(fit.at(1, 0, 1), 102);
}

ModelBuild twoItemBuild() {
    ModelBuild build;
    build.items = 2;
    build.maxCategories = 3;
    build.categoryCount = {2, 3};
    build.lowestCategory = {0, 0};
    build.levelCounts = {2};
    build.scores.assign(6, 0.0);
    for (int g = 0; g < 2; ++g)
        for (int k = 0; k < 3; ++k) build.scores[static_cast<std::size_t>(g * 3 + k)] = k;
    return build;
}

TEST(FitMatrixFile, ReadsGroupsForEveryCategoryOfEveryItem) {
    ScriptSession s;
    const ModelBuild build = twoItemBuild();
    // 2 groups; item 1 has 2 categories, item 2 has 3.
    s.writeFile("ok.fit", "2\n0 0  1 0\n0 0 0 1\n0 2\n");
    FitMatrix fit;
    ASSERT_EQ(readFitMatrix("ok.fit", build, fit, s.shell), 1);
    EXPECT_EQ(fit.G, 2);
    EXPECT_EQ(fit.at(0, 1, 0), 1.0f);
    EXPECT_EQ(fit.at(1, 1, 1), 1.0f);
    EXPECT_EQ(fit.at(1, 2, 1), 2.0f);
    EXPECT_EQ(fit.at(1, 2, 0), 0.0f);

    const std::vector<std::pair<std::string, std::string>> bad = {
        {"2\n0 0 1 0 0 0 0 1 0", "Too few numbers in fit matrix import file"},
        {"2\n0 0 1 0 0 0 0 1 0 2 7", "Too many numbers in fit matrix import file"},
        {"1\n0 1 0 x 1", "Too few numbers in fit matrix import file"},
        {"", "Too few numbers in fit matrix import file"},
        {"0\n", "The number of fit groups in the fit matrix import file must be a whole number from 1 to 1000000"},
        {"1.5\n1 2 3 4 5",
         "The number of fit groups in the fit matrix import file must be a whole number from 1 to 1000000"},
        {"1000001\n", "The number of fit groups in the fit matrix import file must be a whole number from 1 to 1000000"},
        {"900000 1 2", "Too few numbers in fit matrix import file"},
    };
    for (const auto& [text, message] : bad) {
        s.shell.clear();
        s.writeFile("bad.fit", text);
        FitMatrix untouched;
        untouched.reset(1, 1, 1);
        EXPECT_EQ(readFitMatrix("bad.fit", build, untouched, s.shell), -1) << text;
        EXPECT_EQ(s.shell.errors, Messages{message}) << text;
        EXPECT_EQ(untouched.G, 1);
    }
    s.shell.clear();
    EXPECT_EQ(readFitMatrix("absent.fit", build, fit, s.shell), -1);
    EXPECT_EQ(s.shell.errors, Messages{"Error opening file: absent.fit"});
}

TEST(FitLayout, ItemTermGivesScoreSumsAndStepTermCategoryIndicators) {
    ModelBuild build = twoItemBuild();
    build.categoryCount = {3, 3};
    ModelSpec model;
    ModelTerm item;
    item.variables = {VariableRef{kImplicitVariable, 0}};
    item.sign = '+';
    item.parameterNumbers = {0, 0};
    item.parameterFlags = {0, 1};
    ModelTerm step;
    step.variables = {VariableRef{kImplicitVariable, 0}, VariableRef{kStepVariable, 0}};
    step.sign = '+';
    step.parameterNumbers = {1, 2};
    step.parameterFlags = {0, 0};
    model.terms = {item, step};
    build.estimated = {ParameterSpec{{0}, -1, '+'}, ParameterSpec{{0}, 1, '+'}, ParameterSpec{{1}, 1, '+'}};
    build.constrained = {ParameterSpec{{1}, -1, '+'}};

    const std::vector<LayoutGroup> groups = parameterLayoutGroups(model, build, {});
    // Two item groups, then categories 0, 1, 2 of each item.
    ASSERT_EQ(groups.size(), 8u);
    const FitMatrix fit = layoutFitMatrix(groups, build);
    ASSERT_EQ(fit.G, 8);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(fit.at(0, k, 0), -k);  // negated: the term's sign is '+'
        EXPECT_EQ(fit.at(1, k, 0), 0);
        EXPECT_EQ(fit.at(1, k, 1), -k);
    }
    for (int g = 0; g < 2; ++g)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(fit.at(g, k, 2 + 3 * g + c), k == c ? -1.0f : 0.0f) << g << " " << c << " " << k;
    EXPECT_EQ(itemsPerGroup(fit), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1}));
}

TEST(FitContribution, SingleItemAndPairsOfItemsGiveTheMoments) {
    FitMatrix fit;
    fit.reset(2, 2, 1);
    fit.at(0, 1, 0) = 1.0f;
    fit.at(1, 1, 0) = 1.0f;
    FitAccumulator acc(fit, {2, 2});
    const std::int32_t items[] = {0, 1}, answers[] = {1, 0};
    double negative = 0.0;
    // One response, P(1) = 0.7: e = 0.7, v = 0.21, fourth moment 0.0777.
    ASSERT_TRUE(acc.addCase(1, items, answers, {0.3, 0.7}, 1.0, negative));
    FitSums s = acc.sums[0];
    EXPECT_NEAR(s.r2, 0.09, 1e-12);
    EXPECT_NEAR(s.W, 0.21, 1e-12);
    EXPECT_NEAR(s.KW, 0.0777 - 0.21 * 0.21, 1e-12);
    EXPECT_NEAR(s.z2, 0.09 / 0.21, 1e-12);
    EXPECT_EQ(s.N, 1);
    EXPECT_NEAR(s.nu, 0.5, 1e-12);  // one of the group's two items

    // Two responses: the variance of the squared residual gains 4 v1 v2.
    acc.startRepetition();
    ASSERT_TRUE(acc.addCase(2, items, answers, {0.3, 0.7, 0.6, 0.4}, 2.0, negative));
    s = acc.sums[0];
    const double v1 = 4 * 0.21, v2 = 4 * 0.24;
    const double m1 = 0.7 * std::pow(2 * 0.3, 4) + 0.3 * std::pow(2 * 0.7, 4);
    const double m2 = 0.4 * std::pow(2 * 0.6, 4) + 0.6 * std::pow(2 * 0.4, 4);
    const double r = (2 - 1.4) + (0 - 0.8);
    EXPECT_NEAR(s.W, v1 + v2, 1e-12);
    EXPECT_NEAR(s.r2, r * r, 1e-12);
    EXPECT_NEAR(s.KW, (m1 - v1 * v1) + (m2 - v2 * v2) + 4 * v1 * v2, 1e-12);
    EXPECT_NEAR(s.nu, 1.0, 1e-12);

    // A case with no item of the group adds nothing.
    FitMatrix other;
    other.reset(2, 2, 2);
    other.at(0, 1, 0) = 1.0f;
    FitAccumulator partial(other, {2, 2});
    const std::int32_t second[] = {1};
    ASSERT_TRUE(partial.addCase(1, second, answers, {0.5, 0.5}, 1.0, negative));
    EXPECT_EQ(partial.sums[0].W, 0);
    EXPECT_EQ(partial.sums[1].N, 0);
}

TEST(FitTotals, RepetitionsAreAveragedAndTheUnweightedTComesFromTheAverage) {
    FitSums a{4.0, 4.0, 2.0, 9.0, 10.0, 8.0};
    FitSums b{6.0, 4.0, 8.0, 11.0, 10.0, 6.0};
    FitTotals totals;
    totals.addRepetition({a});
    totals.addRepetition({b});
    const std::vector<FitResult> r = totals.results({b});
    ASSERT_EQ(r.size(), 1u);
    EXPECT_NEAR(r[0].weightedMeanSquare, (1.0 + 1.5) / 2, 1e-12);
    EXPECT_NEAR(r[0].unweightedMeanSquare, (0.9 + 1.1) / 2, 1e-12);
    EXPECT_NEAR(r[0].unweightedVariance, 0.2, 1e-12);  // sqrt(2/10) squared
    const double qa = std::sqrt(2.0) / 4, qb = std::sqrt(8.0) / 4;
    EXPECT_NEAR(std::sqrt(r[0].weightedVariance), (qa + qb) / 2, 1e-12);
    const double ta = (1.0 - 1.0) * 3 / qa + qa / 3, tb = (std::cbrt(1.5) - 1) * 3 / qb + qb / 3;
    EXPECT_NEAR(r[0].weightedT, (ta + tb) / 2, 1e-12);
    const double c = 2.0 / (9.0 * 6.0);  // the last repetition's degrees of freedom
    EXPECT_NEAR(r[0].unweightedT, (std::cbrt(1.0) - 1 + c) / std::sqrt(c), 1e-12);

    // A group without information has no finite statistics.
    FitTotals empty;
    empty.addRepetition({FitSums{}});
    EXPECT_TRUE(std::isnan(empty.results({FitSums{}})[0].weightedMeanSquare));
}

// Dichotomous responses of 2,000 cases to 15 items with difficulties from
// -2 to 2 and abilities N(0, 1); slopes per item (1 for the Rasch model).
std::string simulate(const std::vector<double>& slopes, std::uint64_t seed) {
    std::uint64_t state = seed;
    auto uniform = [&]() {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return (static_cast<double>(z >> 11) + 0.5) / 9007199254740992.0;
    };
    std::string data;
    const int I = static_cast<int>(slopes.size());
    for (int n = 0; n < 2000; ++n) {
        const double theta = std::sqrt(-2.0 * std::log(uniform())) * std::cos(6.283185307179586 * uniform());
        char id[16];
        std::snprintf(id, sizeof id, "%5d ", n + 1);
        data += id;
        for (int i = 0; i < I; ++i) {
            const double delta = -2.0 + 4.0 * i / (I - 1);
            const double p = 1.0 / (1.0 + std::exp(-slopes[static_cast<std::size_t>(i)] * (theta - delta)));
            data += uniform() < p ? '1' : '0';
        }
        data += '\n';
    }
    return data;
}

std::vector<FitResult> fitOf(ScriptSession& s, const std::string& data) {
    s.writeFile("sim.dat", data);
    EXPECT_EQ(s.runAllOf("datafile sim.dat;\nformat pid 1-5 responses 7-21;\nmodel item;\nestimate;\n"), 1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    EXPECT_TRUE(s.session.ws.est.fitAvailable);
    EXPECT_TRUE(s.session.ws.est.options.fit);
    return s.session.ws.est.fit;
}

TEST(FitSimulation, MeanSquaresOfFittingItemsCentreOnOne) {
    ScriptSession s;
    const std::vector<FitResult> fit = fitOf(s, simulate(std::vector<double>(15, 1.0), 20240601));
    ASSERT_EQ(fit.size(), 15u);
    double weighted = 0, unweighted = 0, tSum = 0, tSquares = 0;
    for (const FitResult& r : fit) {
        weighted += r.weightedMeanSquare;
        unweighted += r.unweightedMeanSquare;
        tSum += r.weightedT;
        tSquares += r.weightedT * r.weightedT;
        EXPECT_LT(std::fabs(r.weightedT), 3.0);
        EXPECT_LT(std::fabs(r.unweightedT), 3.5);
        EXPECT_GT(r.weightedVariance, 0.0);
    }
    EXPECT_NEAR(weighted / 15, 1.0, 0.05);
    EXPECT_NEAR(unweighted / 15, 1.0, 0.05);
    // Roughly standard normal: centred, with a spread near 1.
    const double mean = tSum / 15, sd = std::sqrt(tSquares / 15 - mean * mean);
    EXPECT_LT(std::fabs(mean), 0.8);
    EXPECT_GT(sd, 0.4);
    EXPECT_LT(sd, 1.8);
}

TEST(FitSimulation, SteepAndFlatItemsAreFlaggedByTheWeightedT) {
    ScriptSession s;
    std::vector<double> slopes(15, 1.0);
    slopes[4] = 3.0;   // discriminates far more than the model allows: overfit
    slopes[10] = 0.25;  // hardly at all: underfit
    const std::vector<FitResult> fit = fitOf(s, simulate(slopes, 77));
    ASSERT_EQ(fit.size(), 15u);
    EXPECT_LT(fit[4].weightedT, -3.0);
    EXPECT_LT(fit[4].weightedMeanSquare, 1.0);
    EXPECT_GT(fit[10].weightedT, 3.0);
    EXPECT_GT(fit[10].weightedMeanSquare, 1.0);
    for (int i : {0, 7, 14}) EXPECT_LT(std::fabs(fit[static_cast<std::size_t>(i)].weightedT), 3.0) << i;
}

// With a single fit node every case is placed at its own mean: the fit
// statistics become plain sums over the cases, here with integer weights
// (a blank one is zero) and a latent regression, computed again below.
TEST(FitStatement, OneNodePlacesEveryCaseAtItsMeanAndWeightsScaleItsScores) {
    const std::vector<double> delta = {-1.0, -0.4, 0.0, 0.5, 0.9};
    std::vector<SimItem> items;
    for (double d : delta) items.push_back(dichotomous(d));
    const std::vector<SimCase> cases =
        simulateCases(items, {{{0.1, 0.8}}, {{0.9}}}, 300, 3, [](std::mt19937_64& rng, SimCase& c) {
            c.regressors = {std::normal_distribution<double>(0, 1)(rng)};
            c.weight = rng() % 10 == 0 ? -1 : 1 + static_cast<int>(rng() % 3);
        });
    ScriptSession s;
    s.writeFile("f.dat", dataFile(cases));
    ASSERT_EQ(s.runAllOf("datafile f.dat;\n" + formatFor(1, 5) +
                         "caseweight w;\nregression x1;\nmodel item;\nestimate ! fit=no;\nset f_nodes=1;\nfit;\n"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    const EstimationState& est = s.session.ws.est;
    ASSERT_EQ(est.fit.size(), 5u);
    double count = 0, total = 0;
    for (const SimCase& c : cases)
        if (c.weight > 0) count += 1, total += c.weight;
    std::vector<double> difficulty;
    for (int p = 0; p < 4; ++p) difficulty.push_back(est.xsi[p][0]);
    difficulty.push_back(-(difficulty[0] + difficulty[1] + difficulty[2] + difficulty[3]));
    for (std::size_t i = 0; i < 5; ++i) {
        // The group of item i scores its category k as -k (the term's sign
        // is '+'); each case's scores are multiplied by its scaled weight.
        double r2 = 0, W = 0, KW = 0, z2 = 0, n = 0;
        for (const SimCase& c : cases) {
            if (c.weight <= 0) continue;
            const double w = c.weight * count / total;
            const double theta = est.beta[0][0] + est.beta[0][1] * c.regressors[0];
            const double p = 1 / (1 + std::exp(difficulty[i] - theta));
            const double r = -w * (c.responses[i] - p), v = w * w * p * (1 - p);
            const double m4 = (1 - p) * std::pow(w * p, 4) + p * std::pow(w * (1 - p), 4);
            r2 += r * r;
            W += v;
            KW += m4 - v * v;
            z2 += r * r / v;
            n += 1;
        }
        const FitResult& f = est.fit[i];
        const double weighted = r2 / W, q = std::sqrt(KW) / W, unweighted = z2 / n;
        EXPECT_NEAR(f.weightedMeanSquare, weighted, 1e-9) << i;
        EXPECT_NEAR(f.weightedVariance, q * q, 1e-9) << i;
        EXPECT_NEAR(f.weightedT, (std::cbrt(weighted) - 1) * 3 / q + q / 3, 1e-8) << i;
        EXPECT_NEAR(f.unweightedMeanSquare, unweighted, 1e-9) << i;
        EXPECT_NEAR(f.unweightedVariance, 2 / n, 1e-12) << i;
        const double c = 2 / (9 * n);
        EXPECT_NEAR(f.unweightedT, (std::cbrt(unweighted) - 1 + c) / std::sqrt(c), 1e-8) << i;
    }
}

TEST(FitStatement, RefusesWithoutEstimatesAndTurnsTheFitColumnsOff) {
    ScriptSession s;
    s.copyReference("verbagg.dat");
    EXPECT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-21;\nmodel item;\nfit;\n"), -1);
    EXPECT_EQ(s.shell.errors, Messages{"Fit calculation not available, as a model has not yet been estimated"});
    s.shell.clear();
    ASSERT_EQ(s.run("estimate;\n"), 1);
    EXPECT_TRUE(s.session.ws.est.fitAvailable);
    const double first = s.session.ws.est.fit[0].weightedMeanSquare;
    ASSERT_EQ(s.run("set seed=3;\nfit 1-3 : 4;\n"), 1);
    EXPECT_FALSE(s.session.ws.est.fitAvailable);
    EXPECT_FALSE(s.session.ws.est.options.fit);
    ASSERT_EQ(s.session.ws.est.fit.size(), 2u);
    EXPECT_EQ(s.session.ws.est.fit[0].label, "1-3");
    // The same seed gives the same draws; without reseeding they move on.
    const double grouped = s.session.ws.est.fit[0].weightedMeanSquare;
    ASSERT_EQ(s.run("set seed=3;\nfit 1-3 : 4;\n"), 1);
    EXPECT_EQ(s.session.ws.est.fit[0].weightedMeanSquare, grouped);
    ASSERT_EQ(s.run("fit 1-3 : 4;\n"), 1);
    EXPECT_NE(s.session.ws.est.fit[0].weightedMeanSquare, grouped);
    // Several draws per case average the statistics.
    ASSERT_EQ(s.run("set fitdraws=4;\nfit;\n"), 1);
    ASSERT_EQ(s.session.ws.est.fit.size(), 12u);
    EXPECT_NEAR(s.session.ws.est.fit[0].weightedMeanSquare, first, 0.1);
    EXPECT_TRUE(s.shell.errors.empty());
}

}  // namespace
}  // namespace ordena::test
