// Item analysis: the classical statistics of the reference data (alpha,
// item-total correlations, category counts, score mean and SD), the option
// errors, thresholds, and the summary rules for missing data and repeated
// measures.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>

#include "analysis/itanal.h"
#include "base/number_format.h"
#include "support/reference.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

using Messages = std::vector<std::string>;

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream s(line);
    std::string f;
    while (std::getline(s, f, '\t')) out.push_back(f);
    return out;
}

std::vector<std::vector<std::string>> exportLines(const std::string& text) {
    std::vector<std::vector<std::string>> out;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) out.push_back(fields(line));
    return out;
}

// Item scores of every case of the reference data, from the given column on.
std::vector<std::vector<int>> referenceScores(int firstColumn) {
    std::ifstream in(std::string(ORDENA_REFERENCE_DIR) + "/verbagg.dat");
    std::vector<std::vector<int>> cases;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<int> x;
        for (int i = 0; i < 24; ++i) x.push_back(line.at(static_cast<std::size_t>(firstColumn - 1 + i)) - '0');
        cases.push_back(x);
    }
    return cases;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    const double n = static_cast<double>(a.size());
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sa += a[i];
        sb += b[i];
        saa += a[i] * a[i];
        sbb += b[i] * b[i];
        sab += a[i] * b[i];
    }
    return (sab - sa * sb / n) / std::sqrt((saa - sa * sa / n) * (sbb - sb * sb / n));
}

void checkAgainstReference(const std::string& columns, const std::string& model, const std::string& refName, int K) {
    ScriptSession s;
    s.copyReference("verbagg.dat");
    ASSERT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses " + columns + ";\nmodel " + model +
                         ";\nitanal ! format=export >> itn.txt;\n"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    // Without estimates itanal ran a zero-iteration estimation without fit.
    EXPECT_EQ(s.session.ws.est.estimated, 1);
    EXPECT_EQ(s.session.ws.est.iteration, 0);
    EXPECT_FALSE(s.session.ws.est.fitAvailable);
    const auto ref = readReference(std::string(ORDENA_REFERENCE_DIR) + "/" + refName);
    const auto lines = exportLines(s.readFile("itn.txt"));
    ASSERT_EQ(lines.size(), 25u);
    const std::vector<double>& itemTotal = ref.at("item_total_correlation");
    for (std::size_t i = 0; i < 24; ++i) {
        const std::vector<std::string>& f = lines[i];
        ASSERT_EQ(f.size(), 4u + static_cast<std::size_t>(K) * 9) << i;
        EXPECT_EQ(f[0], std::to_string(i + 1));
        EXPECT_EQ(std::stod(f[1]), 316);
        EXPECT_NEAR(std::stod(f[2]), itemTotal[i], 1e-4) << "item " << i + 1;
        ASSERT_EQ(std::stoi(f[3]), K);
        for (int k = 0; k < K; ++k) {
            EXPECT_EQ(f[4 + 9 * k], std::to_string(k));
            EXPECT_EQ(std::stod(f[6 + 9 * k]), ref.at("count_category_" + std::to_string(k))[i]) << i << " " << k;
        }
    }
    const std::vector<std::string>& summary = lines[24];
    ASSERT_EQ(summary.size(), 11u);
    EXPECT_EQ(summary[0], "summary");
    EXPECT_EQ(std::stod(summary[1]), 316);
    const double alpha = ref.at("alpha")[0], sd = ref.at("total_score_sd")[0];
    EXPECT_NEAR(std::stod(summary[2]), ref.at("total_score_mean")[0], 1e-4);
    EXPECT_NEAR(std::stod(summary[3]), sd, 1e-4);
    EXPECT_NEAR(std::stod(summary[9]), alpha, 1e-4);
    EXPECT_EQ(std::stod(summary[10]), 0.0);  // nothing missing

    // Point-biserials, their t and the moments of the total score, summed
    // directly over the data (complete, so the proportion score is the
    // total over its maximum).
    const auto scores = referenceScores(std::stoi(columns));
    const double N = static_cast<double>(scores.size());
    std::vector<double> total;
    for (const auto& x : scores) total.push_back(std::accumulate(x.begin(), x.end(), 0.0));
    for (std::size_t i = 0; i < 24; ++i)
        for (int k = 0; k < K; ++k) {
            std::vector<double> chose;
            for (const auto& x : scores) chose.push_back(x[i] == k ? 1.0 : 0.0);
            const double r = correlation(chose, total);
            EXPECT_NEAR(std::stod(lines[i][8 + 9 * static_cast<std::size_t>(k)]), r, 1e-5) << i << " " << k;
            EXPECT_NEAR(std::stod(lines[i][9 + 9 * static_cast<std::size_t>(k)]), r * std::sqrt((N - 2) / (1 - r * r)),
                        1e-4)
                << i << " " << k;
        }
    double m1 = 0, m2 = 0, m3 = 0, m4 = 0;
    for (double t : total) m1 += t / N;
    for (double t : total) {
        m2 += std::pow(t - m1, 2) / N;
        m3 += std::pow(t - m1, 3) / N;
        m4 += std::pow(t - m1, 4) / N;
    }
    EXPECT_NEAR(std::stod(summary[4]), sd * sd, 1e-3);               // variance
    EXPECT_NEAR(std::stod(summary[5]), m3 / std::pow(m2, 1.5), 1e-5);  // skewness
    EXPECT_NEAR(std::stod(summary[6]), m4 / (m2 * m2) - 3, 1e-5);      // kurtosis
    EXPECT_NEAR(std::stod(summary[7]), sd / std::sqrt(N), 1e-5);       // error of the mean
    EXPECT_NEAR(std::stod(summary[8]), sd * std::sqrt(1 - alpha), 1e-4);  // error of measurement
}

TEST(ItanalValidation, DichotomousItemsMatchTheClassicalReference) {
    checkAgainstReference("10-33", "item", "verbagg_binary_classical.ref", 2);
}

TEST(ItanalValidation, ThreeCategoryItemsMatchTheClassicalReference) {
    checkAgainstReference("35-58", "item + item*step", "verbagg_pcm_classical.ref", 3);
}

TEST(ItanalOptions, BadOptionsAreRefusedBeforeAnythingIsRead) {
    const std::vector<std::pair<std::string, Messages>> cases = {
        {"itanal ! =wle", {"Error in itanal argument"}},
        {"itanal ! colour=red", {"Unknown command or argument: 'colour'", " An incorrect itanal argument"}},
        {"itanal ! estimates=pv", {"The itanal option must be one of: wle, mle, eap or latent"}},
        {"itanal ! format=wide", {"The format option must be one of: long or export"}},
        {"itanal items ! format=long", {"Error in the argument of the itanal command"}},
        {"itanal ! format=export", {"A file name must be provided when export format is requested"}},
    };
    ScriptSession s;
    s.copyReference("verbagg.dat");
    ASSERT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-15;\nmodel item;\nestimate ! fit=no;\n"), 1);
    for (const auto& [statement, messages] : cases) {
        s.shell.clear();
        EXPECT_EQ(s.run(statement + ";\n"), -1) << statement;
        EXPECT_EQ(s.shell.errors, messages) << statement;
        EXPECT_EQ(s.shell.output.find("GENERALISED ITEM ANALYSIS"), std::string::npos);
    }
}

TEST(ItanalEstimates, EachKindIsComputedWhenMissingAndAveragedPerCategory) {
    ScriptSession s;
    s.copyReference("verbagg.dat");
    ASSERT_EQ(s.runAllOf("datafile verbagg.dat;\nformat pid 1-3 responses 10-15;\nmodel item;\nestimate;\n"), 1);
    const EstimationState& est = s.session.ws.est;
    EXPECT_FALSE(est.wleAvailable);
    for (const char* kind : {"wle", "mle", "eap", "latent"}) {
        s.shell.clear();
        ASSERT_EQ(s.run(std::string("itanal ! estimates=") + kind + ", format=export >> e.txt;\n"), 1) << kind;
        const auto lines = exportLines(s.readFile("e.txt"));
        ASSERT_EQ(lines.size(), 7u);
        // Cases who said yes stand higher on the trait than those who said no.
        const double no = std::stod(lines[0][11]), yes = std::stod(lines[0][20]);
        EXPECT_LT(no, yes) << kind;
        EXPECT_GT(std::stod(lines[0][12]), 0.0) << kind;  // a spread within the category
    }
    EXPECT_TRUE(est.wleAvailable);
    EXPECT_TRUE(est.mleAvailable);
    EXPECT_TRUE(est.eapAvailable);
    EXPECT_TRUE(est.plausibleAvailable);
}

TEST(ItanalThresholds, BisectionFindsTheHalfwayPointAndStopsAtTheOuterLimit) {
    // One step: the threshold is the item's difficulty.
    EXPECT_NEAR(itemThreshold({0.0, -1.3}, {0.0, 1.0}, 0, 1), 1.3, 0.005);
    EXPECT_NEAR(itemThreshold({0.0, 2.0}, {0.0, 1.0}, 0, 1), -2.0, 0.005);
    // Beyond the reach of the search the point where it stopped is kept.
    const double far = itemThreshold({0.0, -60.0}, {0.0, 1.0}, 0, 1);
    EXPECT_GT(far, 31.9);
    EXPECT_LT(far, 32.01);
    // Two steps: the probability of category 1 or above is one half.
    const std::vector<double> L{0.0, 0.5, -1.0}, b{0.0, 1.0, 2.0};
    const double t = itemThreshold(L, b, 0, 1);
    const double e1 = std::exp(t + 0.5), e2 = std::exp(2 * t - 1.0);
    EXPECT_NEAR((e1 + e2) / (1 + e1 + e2), 0.5, 1e-6);
    // A 0/1 item near a rounding edge prints its threshold as its delta.
    for (double delta : {-0.6949, -0.9504, 0.0049})
        EXPECT_EQ(printFormat("%6.2f", itemThreshold({0.0, -delta}, {0.0, 1.0}, 0, 1)).str(), printFormat("%6.2f", delta).str());
}

TEST(ItanalSummary, RepeatedMeasuresAndMissingResponsesChangeTheReport) {
    ScriptSession s;
    // Eight cases, four items; case 8 answers nothing, so an eighth of the
    // responses is missing (10 % or more omits the reliability lines). Item 1 is answered 1 by every case.
    s.writeFile("d.dat",
                "1 1012\n2 1120\n3 1201\n4 1021\n5 1110\n6 1202\n7 1011\n8     \n");
    ASSERT_EQ(s.runAllOf("datafile d.dat;\nformat pid 1 responses 3-6;\ncodes 0,1,2;\nmodel item;\nitanal;\n"), 1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    const std::string& out = s.shell.output;
    EXPECT_NE(out.find("In this analysis 12.50%  of the data are missing."), std::string::npos);
    EXPECT_EQ(out.find("Coefficient Alpha"), std::string::npos);
    EXPECT_EQ(out.find("only meaningful"), std::string::npos);
    EXPECT_NE(out.find("Standard error of mean"), std::string::npos);
    // The category chosen by all has no point-biserial; the empty ones no
    // score and no means.
    EXPECT_NE(out.find("   1       1.00        7     100.00     NA       NA (.000)"), std::string::npos) << out;
    EXPECT_NE(out.find("   0                   0       0.00     NA       NA (.000)    NA       NA"), std::string::npos) << out;
    // Its lowest category was never chosen (and its parameter is not
    // identified): no thresholds for it.
    EXPECT_NE(out.find("Item Threshold(s): NOT AVAILABLE"), std::string::npos);
    ASSERT_FALSE(s.shell.warnings.empty());
    EXPECT_EQ(s.shell.warnings.back(), "Case 8 has a zero maximum possible score");

    // A model without the item variable makes every response one
    // generalised item: repeated measures.
    s.shell.clear();
    s.writeFile("r.dat", "1 1012\n2 1120\n3 1201\n4 1021\n5 1110\n6 1202\n7 1011\n");
    ASSERT_EQ(s.run("datafile r.dat;\nmodel pid;\nitanal;\n"), 1) << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    EXPECT_NE(s.shell.output.find("Your model includes repeated measures."), std::string::npos);
    EXPECT_NE(s.shell.output.find("Reliability indices will not be reported."), std::string::npos);
    EXPECT_EQ(s.shell.output.find("Coefficient Alpha"), std::string::npos);
}

TEST(ItanalSummary, MissingResponsesEnterAlphaAsZeroAndTheReportSaysSo) {
    // Ten cases, five dichotomous items; two responses are missing (4 %).
    const std::vector<std::string> rows{"11010", "1101 ", "01100", "11111", "10000",
                                        "00100", "11 10", "01011", "11101", "00000"};
    std::string data;
    for (std::size_t n = 0; n < rows.size(); ++n) data += std::to_string(n) + " " + rows[n] + "\n";
    // Alpha by hand: a case's proportion score p = (sum of its scores) /
    // (number of items it answered); an item's part a = score / that number,
    // 0 where the item was not answered; alpha = I/(I-1) (1 - sum var(a) /
    // var(p)), variances over all cases with divisor N - 1.
    const double N = static_cast<double>(rows.size()), I = 5;
    std::vector<double> p;
    std::vector<std::vector<double>> a(5);
    for (const std::string& r : rows) {
        double answered = 0, sum = 0;
        for (char c : r)
            if (c != ' ') {
                ++answered;
                sum += c - '0';
            }
        p.push_back(sum / answered);
        for (std::size_t i = 0; i < 5; ++i) a[i].push_back(r[i] == ' ' ? 0.0 : (r[i] - '0') / answered);
    }
    auto variance = [&](const std::vector<double>& x) {
        const double mean = std::accumulate(x.begin(), x.end(), 0.0) / N;
        double v = 0;
        for (double e : x) v += (e - mean) * (e - mean);
        return v / (N - 1);
    };
    double parts = 0;
    for (const auto& x : a) parts += variance(x);
    const double alpha = I / (I - 1) * (1 - parts / variance(p));

    ScriptSession s;
    s.writeFile("m.dat", data);
    ASSERT_EQ(s.runAllOf("datafile m.dat;\nformat pid 1 responses 3-7;\ncodes 0,1;\nmodel item;\n"
                         "itanal ! format=export >> m.txt;\nitanal;\n"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    const auto lines = exportLines(s.readFile("m.txt"));
    ASSERT_EQ(lines.size(), 6u);
    ASSERT_EQ(lines[5].size(), 11u);
    EXPECT_NEAR(std::stod(lines[5][9]), alpha, 1e-6);
    EXPECT_NEAR(std::stod(lines[5][10]), 4.0, 1e-9);
    const std::string& out = s.shell.output;
    EXPECT_NE(out.find("Note: missing responses entered coefficient alpha and the standard error of\r\n"
                       "measurement as item scores of zero."),
              std::string::npos)
        << out;

    // The same cases without missing responses: no note.
    s.shell.clear();
    std::string complete;
    for (std::size_t n = 0; n < rows.size(); ++n) {
        std::string r = rows[n];
        for (char& c : r)
            if (c == ' ') c = '0';
        complete += std::to_string(n) + " " + r + "\n";
    }
    s.writeFile("c.dat", complete);
    ASSERT_EQ(s.runAllOf("datafile c.dat;\nformat pid 1 responses 3-7;\ncodes 0,1;\nmodel item;\nitanal;\n"), 1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    EXPECT_NE(s.shell.output.find("Coefficient Alpha"), std::string::npos);
    EXPECT_EQ(s.shell.output.find("Note: missing responses"), std::string::npos);
}

}  // namespace
}  // namespace ordena::test
