// Descriptives: the percentile, band, benchmark and plausible-value rules on
// hand-made values, and the statement's report against statistics computed
// here from the case estimates themselves (WLEs and plausible values read
// from the case score file), by group, with exemptions, and its messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/descriptives.h"
#include "base/random.h"
#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "support/script_session.h"
#include "support/text_lines.h"

namespace ordena::test {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

double mean(const std::vector<double>& y) {
    double s = 0;
    for (double v : y) s += v;
    return s / static_cast<double>(y.size());
}

double variance(const std::vector<double>& y) {
    const double m = mean(y);
    double s = 0;
    for (double v : y) s += (v - m) * (v - m);
    return s / static_cast<double>(y.size() - 1);
}

TEST(DescriptivesRules, PercentilesTakeTheValueAtTheSortedPosition) {
    const std::vector<double> y{8, 3, 5, 1, 7, 2, 6, 4};
    // n * q / 100 = 2, 4, 6: the third, fifth and seventh smallest.
    EXPECT_EQ(percentileValues(y, {25, 50, 75}), (std::vector<double>{3, 5, 7}));
    // Positions are truncated: 8 * 0.3 = 2.4 and 8 * 0.0001 = 0.0008.
    EXPECT_EQ(percentileValues(y, {30, 0.0001}), (std::vector<double>{3, 1}));
    // 100 asks for one past the last: the largest value stands in.
    EXPECT_EQ(percentileValues(y, {100, 99.99}), (std::vector<double>{8, 8}));
    EXPECT_TRUE(std::isnan(percentileValues({}, {50})[0]));
}

TEST(DescriptivesRules, AValueOnACutFallsIntoTheBandBelow) {
    const std::vector<double> y{-1.0, 0.0, 0.0, 0.5, 1.0, 1.5, 2.0};
    EXPECT_EQ(bandProportions(y, {0.0, 1.0}, false), (std::vector<double>{3, 2, 2}));
    // Equal cuts leave the band between them empty.
    EXPECT_EQ(bandProportions(y, {0.0, 0.0, 1.0}, false), (std::vector<double>{3, 0, 2, 2}));
    const std::vector<double> p = bandProportions(y, {0.0, 1.0}, true);
    EXPECT_DOUBLE_EQ(p[0], 3.0 / 7);
    EXPECT_DOUBLE_EQ(p[2], 2.0 / 7);
    // Above every cut.
    EXPECT_EQ(bandProportions(y, {-5.0}, false), (std::vector<double>{0, 7}));
}

TEST(DescriptivesRules, BenchmarkReplicationsDrawTheBenchmarkAnew) {
    std::vector<double> y;
    for (int k = 0; k < 40; ++k) y.push_back(std::sin(k * 1.7) * 2.0);
    // No uncertainty: every replication sees the location.
    BenchmarkProportions fixed = benchmarkReplications(y, 0.5, 0.0, 25, 6);
    const double below = bandProportions(y, {0.5}, true)[0];
    EXPECT_DOUBLE_EQ(fixed.mean[0], below);
    EXPECT_DOUBLE_EQ(fixed.mean[1], 1.0 - below);
    EXPECT_NEAR(fixed.variance[0], 0.0, 1e-15);
    EXPECT_NEAR(fixed.variance[1], 0.0, 1e-15);
    // A benchmark equal to a value counts it below, as a cut does.
    const BenchmarkProportions onValue = benchmarkReplications(y, y[5], 0.0, 3, 6);
    EXPECT_DOUBLE_EQ(onValue.mean[0], bandProportions(y, {y[5]}, true)[0]);
    // One replication has no variance.
    EXPECT_TRUE(std::isnan(benchmarkReplications(y, 0.5, 1.0, 1, 6).variance[1]));

    // With uncertainty: the same draws recomputed here, by brute force.
    const int R = 30, seed = 9;
    RanNormal normal(seed);
    double s = 0, ss = 0;
    for (int r = 0; r < R; ++r) {
        const double b = 0.2 + 0.7 * normal.standard();
        double above = 0;
        for (double v : y) above += v > b ? 1 : 0;
        above /= static_cast<double>(y.size());
        s += above;
        ss += above * above;
    }
    const BenchmarkProportions drawn = benchmarkReplications(y, 0.2, 0.7, R, seed);
    EXPECT_NEAR(drawn.mean[1], s / R, 1e-14);
    EXPECT_NEAR(drawn.variance[1], (ss - s * s / R) / (R - 1), 1e-14);
    EXPECT_NEAR(drawn.mean[0], 1.0 - s / R, 1e-14);
    EXPECT_NEAR(drawn.variance[0], drawn.variance[1], 1e-14);
    EXPECT_GT(drawn.variance[1], 0.0);
    // Every call starts the stream afresh.
    const BenchmarkProportions again = benchmarkReplications(y, 0.2, 0.7, R, seed);
    EXPECT_EQ(again.mean[1], drawn.mean[1]);
}

TEST(DescriptivesRules, PlausibleValueErrorAddsTheBetweenVariance) {
    // t = 1, 2, 3, 4: between variance 5/3; (V + 1) / V = 5/4.
    EXPECT_NEAR(plausibleValueError({1, 2, 3, 4}, 0.5), std::sqrt(0.5 + 1.25 * 5.0 / 3.0), 1e-14);
    // Equal values leave only the within part.
    EXPECT_NEAR(plausibleValueError({0.3, 0.3, 0.3}, 0.04), 0.2, 1e-14);
    // One plausible value has no between variance.
    EXPECT_TRUE(std::isnan(plausibleValueError({1.0}, 0.5)));
}

TEST(DescriptivesRules, ExemptionCountsComeFromTheGroupsSection) {
    ScriptSession s;
    s.writeFile("ex.txt", "comment words\n===> region\n north 12 south 7\n===> school\n A 3 B x\n");
    EXPECT_EQ(exemptionCount(s.session, "region", "south", "ex.txt"), 7);
    // The value is trimmed; a value never named counts 0.
    EXPECT_EQ(exemptionCount(s.session, "region", " north ", "ex.txt"), 12);
    EXPECT_EQ(exemptionCount(s.session, "school", "east", "ex.txt"), 0);
    // Only odd-numbered words after the header are values: "12" is a count.
    EXPECT_EQ(exemptionCount(s.session, "region", "12", "ex.txt"), 0);
    // A count that is not a number, a variable without a section.
    EXPECT_EQ(exemptionCount(s.session, "school", "B", "ex.txt"), -1);
    EXPECT_EQ(exemptionCount(s.session, "gender", "f", "ex.txt"), -1);
    EXPECT_EQ(exemptionCount(s.session, "region", "south", ""), 0);
    EXPECT_TRUE(s.shell.errors.empty());
    EXPECT_EQ(exemptionCount(s.session, "region", "south", "none.txt"), -1);
    EXPECT_EQ(s.shell.errors.back(), "Cannot read exemptions from the file: none.txt");
}

// ---------------------------------------------------------------------------
// The statement

// The %9.5f numbers of a report row, from column 21 on (NA as NaN).
std::vector<double> rowValues(const std::string& line) {
    std::vector<double> out;
    for (std::size_t at = 21; at < line.size(); at += 9) {
        const std::string field = line.substr(at, 9);
        out.push_back(field.find("NA") != std::string::npos ? kNaN : std::stod(field));
    }
    return out;
}

// The line after the first one that starts with `after`, beginning with `start`.
std::string rowAfter(const std::vector<std::string>& lines, const std::string& after, const std::string& start,
                     int skip = 0) {
    bool seen = after.empty();
    for (const std::string& line : lines) {
        if (!seen) {
            seen = line.find(after) != std::string::npos;
            continue;
        }
        if (line.rfind(start, 0) == 0 && skip-- == 0) return line;
    }
    return std::string();
}

// A generated Rasch data set: 12 items, 300 cases.
void generatedData(ScriptSession& s, const std::string& extra = "") {
    ASSERT_EQ(s.runAllOf("set seed=21" + extra +
                         "; generate ! nitems=12, npersons=300 >> d.dat; datafile d.dat; format responses 1-12;"
                         "model item; estimate ! fit=no;"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
}

// One field of every case's record of the case score file.
std::vector<double> caseField(ScriptSession& s, std::size_t (CaseScoreRecords::*at)() const, int offset = 0) {
    CaseScoreRecords records;
    EXPECT_EQ(openCaseScores(s.session, records), 1);
    std::vector<double> out;
    for (int n = 0; n < records.N; ++n) out.push_back(records.record(n)[(records.*at)() + offset]);
    return out;
}

void expectNear(const std::vector<double>& got, const std::vector<double>& want, double tolerance,
                const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(got[k], want[k], tolerance) << what << " " << k;
}

TEST(DescriptivesStatement, WleStatisticsAgreeWithTheCaseEstimates) {
    ScriptSession s;
    generatedData(s);
    EXPECT_FALSE(s.session.ws.est.wleAvailable);
    ASSERT_EQ(s.run("descriptives ! estimates=wle, percentiles=10:50:95, bench=0.25:0:20 >> w.txt;"), 1);
    // The missing estimates were computed first and their type stays.
    EXPECT_TRUE(s.session.ws.est.wleAvailable);
    EXPECT_EQ(s.session.ws.est.caseEstimateType, kCaseWle);
    EXPECT_NE(std::find(s.shell.status.begin(), s.shell.status.end(), "0:WLE estimates will now be computed."),
              s.shell.status.end());

    const std::vector<double> y = caseField(s, &CaseScoreRecords::wleAt);
    ASSERT_EQ(y.size(), 300u);
    const double n = 300, m = mean(y), v = variance(y);
    const auto lines = textLines(s.readFile("w.txt"));
    EXPECT_NE(rowAfter(lines, "", "Estimator type is weighted maximum likelihood"), "");
    expectNear(rowValues(rowAfter(lines, "Dimension    N", "Dimension 1    ")), {m, std::sqrt(v), v}, 6e-6, "means");
    expectNear(rowValues(rowAfter(lines, "Dimension    N", "Dimension 1 Error")),
               // The large-sample error of a standard deviation is sigma / sqrt(2n).
               {std::sqrt(v / n), std::sqrt(v) / std::sqrt(2 * n), std::sqrt(2 * v * v / n)}, 6e-6, "errors");

    std::vector<double> sorted = y;
    std::sort(sorted.begin(), sorted.end());
    expectNear(rowValues(rowAfter(lines, "Percentiles", "Dimension 1    ")), {sorted[30], sorted[150], sorted[285]},
               6e-6, "percentiles");
    EXPECT_EQ(rowAfter(lines, "Percentiles", "Dimension 1 Error"), "Dimension 1 Error");

    // A benchmark without uncertainty: the sampling error alone.
    double above = 0;
    for (double x : y) above += x > 0.25 ? 1 : 0;
    above /= n;
    expectNear(rowValues(rowAfter(lines, "BenchMark", "Dimension 1    ")), {1 - above, above}, 6e-6, "benchmark");
    const double e = std::sqrt(above * (1 - above) / n);
    expectNear(rowValues(rowAfter(lines, "BenchMark", "Dimension 1 Error")), {e, e}, 6e-6, "benchmark error");

    // Bands with a cut equal to an estimate that many cases share (WLEs of
    // equal raw scores are equal): those cases count below the cut.
    const double cut = sorted[150];
    char cutText[64];
    std::snprintf(cutText, sizeof cutText, "%.20f", cut);
    ASSERT_EQ(s.run(std::string("descriptives ! estimates=wle, display=short, cuts=-1:") + cutText + " >> b.txt;"), 1);
    double bands[3] = {0, 0, 0};
    for (double x : y) bands[x <= -1 ? 0 : (x <= cut ? 1 : 2)] += 1;
    EXPECT_GT(std::count(y.begin(), y.end(), cut), 1);
    const auto short_ = textLines(s.readFile("b.txt"));
    std::vector<double> p{bands[0] / n, bands[1] / n, bands[2] / n}, errors;
    for (double q : p) errors.push_back(std::sqrt(q * (1 - q) / n));
    expectNear(rowValues(rowAfter(short_, "Bands", "Dimension 1    ")), p, 6e-6, "bands");
    expectNear(rowValues(rowAfter(short_, "Bands", "Dimension 1 Error")), errors, 6e-6, "band errors");
    // Short display: no table of means.
    EXPECT_EQ(rowAfter(short_, "", "Dimension    N"), "");
}

TEST(DescriptivesStatement, PlausibleValuesAreCombinedOverTheDraws) {
    ScriptSession s;
    generatedData(s, ", n_plausible=4");
    ASSERT_EQ(s.run("descriptives ! cuts=0, bench=-0.2:0.3:15 >> p.txt;"), 1);
    const int V = 4;
    std::vector<std::vector<double>> pv;
    for (int v = 0; v < V; ++v) pv.push_back(caseField(s, &CaseScoreRecords::plausibleAt, v));
    const double n = static_cast<double>(pv[0].size());
    const auto lines = textLines(s.readFile("p.txt"));

    std::vector<double> means, sds, vars, props, benchAbove, benchVar;
    RanNormal draws(s.session.ws.settings.seed + 5);
    std::vector<double> benchmarks;
    for (int r = 0; r < 15; ++r) benchmarks.push_back(-0.2 + 0.3 * draws.standard());
    for (int v = 0; v < V; ++v) {
        const std::vector<double>& y = pv[static_cast<std::size_t>(v)];
        means.push_back(mean(y));
        vars.push_back(variance(y));
        sds.push_back(std::sqrt(vars.back()));
        double below = 0;
        for (double x : y) below += x <= 0 ? 1 : 0;
        props.push_back(below / n);
        double s1 = 0, s2 = 0;
        for (double b : benchmarks) {
            double a = 0;
            for (double x : y) a += x > b ? 1 : 0;
            a /= n;
            s1 += a;
            s2 += a * a;
        }
        benchAbove.push_back(s1 / 15);
        benchVar.push_back((s2 - s1 * s1 / 15) / 14);
        expectNear(rowValues(rowAfter(lines, "Dimension    N", "Dimension 1PV " + std::to_string(v + 1))),
                   {means.back(), sds.back(), vars.back()}, 6e-6, "PV row");
    }
    auto between = [&](const std::vector<double>& t) {
        double m = mean(t), b = 0;
        for (double x : t) b += (x - m) * (x - m);
        return b / (V - 1);
    };
    const double sumVar = vars[0] + vars[1] + vars[2] + vars[3];
    expectNear(rowValues(rowAfter(lines, "Dimension    N", "Dimension 1 Average")),
               {mean(means), mean(sds), mean(vars)}, 6e-6, "averages");
    const double k = (V + 1.0) / V;
    expectNear(rowValues(rowAfter(lines, "Dimension    N", "Dimension 1 Error")),
               {std::sqrt(sumVar / (V * n) + k * between(means)), std::sqrt(sumVar / (V * 2 * n) + k * between(sds)),
                std::sqrt(2 * sumVar * sumVar / (V * V * n) + k * between(vars))},
               6e-6, "PV errors");

    double within = 0;
    for (double p : props) within += p * (1 - p);
    expectNear(rowValues(rowAfter(lines, "Bands", "Dimension 1 Average")), {mean(props), 1 - mean(props)}, 6e-6,
               "band averages");
    const double bandError = std::sqrt(within / (V * n) + k * between(props));
    expectNear(rowValues(rowAfter(lines, "Bands", "Dimension 1 Error")), {bandError, bandError}, 6e-6, "band errors");

    double sampling = 0;
    for (double p : benchAbove) sampling += p * (1 - p);
    const double benchError = std::sqrt(sampling / (V * n) + mean(benchVar) + k * between(benchAbove));
    expectNear(rowValues(rowAfter(lines, "BenchMark", "Dimension 1PV 2")), {1 - benchAbove[1], benchAbove[1]}, 6e-6,
               "benchmark PV");
    expectNear(rowValues(rowAfter(lines, "BenchMark", "Dimension 1 Average")), {1 - mean(benchAbove), mean(benchAbove)},
               6e-6, "benchmark average");
    expectNear(rowValues(rowAfter(lines, "BenchMark", "Dimension 1 Error")), {benchError, benchError}, 6e-6,
               "benchmark error");
}

TEST(DescriptivesStatement, GroupsAppearInByteOrderWithTheirExemptions) {
    ScriptSession s;
    ASSERT_EQ(s.runAllOf("set seed=4; generate ! nitems=10, npersons=120 >> g.dat;"), 1);
    // A group letter before each generated record: b, a, B in turn.
    std::stringstream in(s.readFile("g.dat"));
    std::string line, data;
    const char groups[] = {'b', 'a', 'B'};
    for (int n = 0; std::getline(in, line); ++n) data += std::string(1, groups[n % 3]) + " " + line + "\n";
    s.writeFile("g.dat", data);
    s.writeFile("ex.txt", "===> grp\na 20 B 0 b 40\n");
    ASSERT_EQ(s.run("datafile g.dat; format grp 1 responses 3-12; group grp; model item; estimate ! fit=no;"
                    "descriptives ! estimates=eap, group=grp, exemptions=ex.txt, bench=0:0:10 >> g.txt;"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    const std::vector<double> eap = caseField(s, &CaseScoreRecords::eapAt);
    const auto lines = textLines(s.readFile("g.txt"));
    std::vector<std::string> order;
    for (const std::string& l : lines)
        if (l.rfind("Group: ", 0) == 0) order.push_back(l);
    EXPECT_EQ(order, (std::vector<std::string>{"Group: grp (B)", "Group: grp (a)", "Group: grp (b)"}));
    const int exempt[] = {0, 20, 40};
    const int member[] = {2, 1, 0};  // case n is in group groups[n % 3]
    for (int g = 0; g < 3; ++g) {
        std::vector<double> y;
        for (std::size_t n = 0; n < eap.size(); ++n)
            if (static_cast<int>(n % 3) == member[g]) y.push_back(eap[n]);
        const std::string& head = order[static_cast<std::size_t>(g)];
        expectNear(rowValues(rowAfter(lines, head, "Dimension 1    ")), {mean(y), std::sqrt(variance(y)), variance(y)},
                   6e-6, head);
        EXPECT_EQ(rowAfter(lines, head, "Benchmark statistics include "),
                  "Benchmark statistics include " + std::to_string(exempt[g]) + " exemptions");
        // Exempted cases count below the benchmark: a = n / (n + x).
        double above = 0;
        for (double x : y) above += x > 0 ? 1 : 0;
        above /= static_cast<double>(y.size());
        const double a = 40.0 / (40 + exempt[g]);
        const std::string row = rowAfter(lines, head + "", "Dimension 1    ", 1);
        EXPECT_EQ(std::stoi(row.substr(15, 6)), 40 + exempt[g]) << row;
        expectNear(rowValues(row), {1 - a * above, a * above}, 6e-6, head + " benchmark");
        const double e = a * std::sqrt(above * (1 - above) / 40);
        expectNear(rowValues(rowAfter(lines, head, "Dimension 1 Error", 1)), {e, e}, 6e-6, head + " error");
    }

    // A group value the exemptions file leaves out counts 0; a file without
    // the variable's section ends the report after the groups before it.
    s.writeFile("ex.txt", "===> other\na 1\n");
    EXPECT_EQ(s.run("descriptives ! estimates=eap, group=grp, exemptions=ex.txt, bench=0:0:10 >> g2.txt;"), -1);
    EXPECT_EQ(s.shell.errors.back(), "Illegal exemptions for Group: grp (B)");
    EXPECT_NE(s.readFile("g2.txt").find("LATENT VARIABLE DESCRIPTIVE STATISTICS"), std::string::npos);
    EXPECT_EQ(s.readFile("g2.txt").find("Group: "), std::string::npos);
}

TEST(DescriptivesStatement, UndefinedStatisticsPrintNA) {
    ScriptSession s;
    ASSERT_EQ(s.runAllOf("set seed=8, n_plausible=1; generate ! nitems=8, npersons=60 >> g.dat;"), 1);
    // The last case is a group of its own.
    std::string data = s.readFile("g.dat");
    std::stringstream in(data);
    std::string line, out;
    for (int n = 0; std::getline(in, line); ++n) out += std::string(n == 59 ? "z" : "y") + line + "\n";
    s.writeFile("g.dat", out);
    ASSERT_EQ(s.run("datafile g.dat; format grp 1 responses 2-9; group grp; model item; estimate ! fit=no;"
                    "descriptives ! group=grp, bench=0:1:1 >> na.txt;"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    const auto lines = textLines(s.readFile("na.txt"));
    // One plausible value: no between variance, so no errors.
    const std::vector<double> errors = rowValues(rowAfter(lines, "Group: grp (y)", "Dimension 1 Error"));
    ASSERT_EQ(errors.size(), 3u);
    for (double e : errors) EXPECT_TRUE(std::isnan(e));
    // One case: a mean but no spread.
    const std::vector<double> single = rowValues(rowAfter(lines, "Group: grp (z)", "Dimension 1PV 1"));
    ASSERT_EQ(single.size(), 3u);
    EXPECT_FALSE(std::isnan(single[0]));
    EXPECT_TRUE(std::isnan(single[1]));
    EXPECT_TRUE(std::isnan(single[2]));
    // One replication of the benchmark: no replication variance.
    const std::vector<double> bench = rowValues(rowAfter(lines, "Group: grp (y)", "Dimension 1 Error", 1));
    ASSERT_EQ(bench.size(), 2u);
    EXPECT_TRUE(std::isnan(bench[0]));
    EXPECT_EQ(s.readFile("na.txt").find("nan"), std::string::npos);
    // With one estimate per case only the replications are missing.
    ASSERT_EQ(s.run("descriptives ! estimates=wle, bench=0:1:1 >> r.txt;"), 1);
    const std::vector<double> one =
        rowValues(rowAfter(textLines(s.readFile("r.txt")), "Group: All", "Dimension 1 Error", 1));
    ASSERT_EQ(one.size(), 2u);
    EXPECT_TRUE(std::isnan(one[0]) && std::isnan(one[1]));
    const std::vector<double> means =
        rowValues(rowAfter(textLines(s.readFile("r.txt")), "Group: All", "Dimension 1 Error"));
    ASSERT_EQ(means.size(), 3u);
    EXPECT_FALSE(std::isnan(means[0]));
}

TEST(DescriptivesStatement, CasesWithoutAnEstimateAreLeftOutOfMleAndWle) {
    ScriptSession s;
    // Eight cases; the last answered nothing, so it has no MLE or WLE of
    // its own, while its EAP is the population's mean.
    s.writeFile("d.dat", "10110\n01100\n11101\n00010\n11011\n01000\n10111\n.....\n");
    ASSERT_EQ(s.runAllOf("datafile d.dat; format responses 1-5; model item; estimate ! fit=no;"
                         "descriptives ! estimates=mle >> m.txt; descriptives ! estimates=eap >> e.txt;"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    const auto mle = textLines(s.readFile("m.txt"));
    EXPECT_EQ(rowAfter(mle, "Dimension    N", "Dimension 1    ").substr(15, 6), "     7");
    const std::vector<double> y = caseField(s, &CaseScoreRecords::mleAt);
    const std::vector<double> seven(y.begin(), y.begin() + 7);
    expectNear(rowValues(rowAfter(mle, "Dimension    N", "Dimension 1    ")),
               {mean(seven), std::sqrt(variance(seven)), variance(seven)}, 6e-6, "MLE");
    EXPECT_EQ(rowAfter(textLines(s.readFile("e.txt")), "Dimension    N", "Dimension 1    ").substr(15, 6), "     8");
}

TEST(DescriptivesStatement, OptionsAndChecksAreRefusedWithTheirMessages) {
    using Messages = std::vector<std::string>;
    const std::vector<std::pair<std::string, Messages>> refused = {
        {"descriptives ! estimates=pvs", {"Estimate type illegal it must be on of 'wle', 'mle', 'eap' or 'pv'"}},
        {"descriptives ! e=wle",
         {" Ambiguous command word", " No option word found or incorrect option word in descriptive"}},
        {"descriptives ! colour=red",
         {"Unknown command or argument: 'colour'", " No option word found or incorrect option word in descriptive"}},
        {"descriptives ! =3", {"Error in Descriptive option"}},
        {"descriptives ! estimates=wle,", {"Error in Descriptive option"}},
        {"descriptives ! percentiles=", {"List of percentiles cannot be blank"}},
        {"descriptives ! percentiles=25:x", {"Non-numeric percentile value found"}},
        {"descriptives ! cuts=", {"List of cuts cannot be blank"}},
        {"descriptives ! cuts=1:a", {"Non-numeric cut value found"}},
        {"descriptives ! group=", {"List of groups cannot be blank"}},
        {"descriptives ! benchmark=", {"Benchmark value cannot be blank"}},
        {"descriptives ! benchmark=1:b:3", {"Non-numeric cut value found"}},
        {"descriptives ! display=wide", {"Means option value must be either 'short' or 'long'"}},
        {"descriptives ! percentiles=0", {"Percentiles must be greater than 0.0001"}},
        {"descriptives ! percentiles=50:100.5", {"Percentiles must be less than 100"}},
        {"descriptives ! cuts=1:0", {"Cuts must be ordered"}},
        {"descriptives ! benchmark=0.5:0.1", {"There must be 3 benchmark arguments"}},
        {"descriptives ! benchmark=0.5:-1:10", {"Uncertainty must be positive"}},
        {"descriptives ! benchmark=0.5:0.1:0", {"Number of replications must be positive"}},
        {"descriptives ! benchmark=0.5:0.1:", {"Number of replications must be positive"}},
        {"descriptives ! benchmark=0.5:0.1:5000000000", {"Number of replications must be at most 1000000"}},
        {"descriptives ! group=nothere", {"Variable nothere not in list", "Group variable not found"}},
        {"descriptives ! group=item", {"Group variable must be explicit"}},
        {"descriptives ! group=grp, group=pid", {"Group variable not found in group variable list"}},
        {"descriptives ! group=step", {"Only one group variable allowed"}},
        {"descriptives ! group=grp, exemptions=none.txt",
         {"Cannot read exemptions from the file: none.txt", "Illegal exemptions for Group: grp (a)"}},
    };
    ScriptSession s;
    EXPECT_EQ(s.run("descriptives;"), -1);
    EXPECT_EQ(s.shell.errors.back(), "A model must be estimated before descriptive statistics are available");
    s.writeFile("d.dat", "1 a 0110\n2 b 1011\n3 a 0001\n4 b 1110\n5 a 1100\n6 b 0011\n");
    ASSERT_EQ(s.runAllOf("datafile d.dat; format pid 1 grp 3 responses 5-8; group grp; model item;"
                         "estimate ! fit=no;"),
              1);
    for (const auto& [statement, messages] : refused) {
        s.shell.clear();
        EXPECT_EQ(s.run(statement + ";"), -1) << statement;
        EXPECT_EQ(s.shell.errors, messages) << statement;
    }
    // Accepted forms: a kind spelled in capitals, equal cuts, blanks.
    s.shell.clear();
    EXPECT_EQ(s.run("descriptives ! estimates = WLE, cuts=0:0:1, percentiles = 100;"), 1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    EXPECT_NE(s.shell.output.find("Estimator type is weighted maximum likelihood"), std::string::npos);

    // Without plausible values there is nothing to combine.
    s.shell.clear();
    EXPECT_EQ(s.run("set n_plausible=0; descriptives;"), -1);
    EXPECT_EQ(s.shell.errors, Messages{"Plausible values are not available while n_plausible is 0"});
    s.shell.clear();
    EXPECT_EQ(s.run("descriptives ! estimates=eap;"), 1);

    // Under joint maximum likelihood only MLEs and WLEs can be described.
    ASSERT_EQ(s.runAllOf("set seed=2; generate ! nitems=10, npersons=200 >> j.dat; datafile j.dat;"
                         "format responses 1-10; model item; estimate ! method=jml;"),
              1)
        << (s.shell.errors.empty() ? "" : s.shell.errors[0]);
    ASSERT_EQ(s.session.ws.est.method, EstimationMethod::Jml);
    for (const char* statement : {"descriptives;", "descriptives ! estimates=eap;"}) {
        s.shell.clear();
        EXPECT_EQ(s.run(statement), -1);
        EXPECT_EQ(s.shell.errors, Messages{"Neither EAP nor PVs available with JML"});
    }
    s.shell.clear();
    EXPECT_EQ(s.run("descriptives ! estimates=wle;"), 1);
    EXPECT_NE(s.shell.output.find("Estimator type is weighted maximum likelihood"), std::string::npos);
}

}  // namespace
}  // namespace ordena::test
