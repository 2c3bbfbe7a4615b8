// Generate and simulate: the seed reproduces a data file byte for byte, the
// responses follow the model's category probabilities (computed here), the
// ability distributions have their stated moments, files are read in and
// written out as stated; a simulation study recovers the generating item
// difficulties, and its result files carry the replications.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/script_session.h"
#include "support/text_lines.h"

namespace ordena::test {
namespace {

using Messages = std::vector<std::string>;

std::vector<std::vector<double>> numberRows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    for (const std::string& line : textLines(text)) {
        std::stringstream in(line);
        std::vector<double> row;
        double v;
        while (in >> v) row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

std::string firstError(const ScriptSession& s) { return s.shell.errors.empty() ? "" : s.shell.errors[0]; }

TEST(Generate, TheSeedReproducesTheFilesByteForByte) {
    ScriptSession s;
    const std::string gen = "generate ! nitems=10, npersons=100, maxscore=1 >> ";
    ASSERT_EQ(s.runAllOf("set seed=5;" + gen + "a.dat, a.itm, a.abl; set seed=5;" + gen + "b.dat, b.itm, b.abl;" + gen +
                         "c.dat;"),
              1)
        << firstError(s);
    EXPECT_EQ(s.readFile("a.dat"), s.readFile("b.dat"));
    EXPECT_EQ(s.readFile("a.itm"), s.readFile("b.itm"));
    EXPECT_EQ(s.readFile("a.abl"), s.readFile("b.abl"));
    // The streams go on: the next statement draws other data.
    EXPECT_NE(s.readFile("a.dat"), s.readFile("c.dat"));
    // 100 lines of 10 one-digit responses.
    const std::vector<std::string> lines = textLines(s.readFile("a.dat"));
    ASSERT_EQ(lines.size(), 100u);
    for (const std::string& line : lines) EXPECT_EQ(line.find_first_not_of("01"), std::string::npos) << line;
    for (const std::string& line : lines) EXPECT_EQ(line.size(), 10u);
    EXPECT_EQ(textLines(s.readFile("a.itm")).size(), 10u);
    EXPECT_EQ(textLines(s.readFile("a.abl")).size(), 100u);
    EXPECT_EQ(textLines(s.readFile("a.abl"))[41].substr(0, 5), "   42");

    // Two columns per response above a maximum score of 9.
    ASSERT_EQ(s.run("generate ! nitems=6, npersons=50, maxscore=12 >> w.dat, w.itm;"), 1) << firstError(s);
    for (const std::string& line : textLines(s.readFile("w.dat"))) {
        ASSERT_EQ(line.size(), 12u);
        for (int i = 0; i < 6; ++i) {
            const int k = std::stoi(line.substr(static_cast<std::size_t>(2 * i), 2));
            EXPECT_TRUE(k >= 0 && k <= 12) << line;
        }
    }
    // Location lines, then 11 steps of each item, each step in (-0.5, 0.5).
    const auto items = numberRows(s.readFile("w.itm"));
    ASSERT_EQ(items.size(), 6u + 6u * 11u);
    EXPECT_EQ(items[6], (std::vector<double>{1, 1, items[6][2]}));
    EXPECT_EQ(items.back()[0], 6);
    EXPECT_EQ(items.back()[1], 11);
    for (std::size_t r = 6; r < items.size(); ++r) EXPECT_LT(std::fabs(items[r][2]), 0.5);
}

// Category probabilities of the partial credit form: exp(s_k - t_k)
// normalised, s_k = k * (theta - delta) * score, t_k the sum of the first k
// steps (t_M = 0).
std::vector<double> categoryProbabilities(double theta, double delta, const std::vector<double>& steps, double score) {
    const int M = static_cast<int>(steps.size()) + 1;
    std::vector<double> p(static_cast<std::size_t>(M) + 1);
    double t = 0, sum = 0;
    for (int k = 0; k <= M; ++k) {
        if (k >= 1 && k < M) t += steps[static_cast<std::size_t>(k - 1)];
        p[static_cast<std::size_t>(k)] = std::exp(k * (theta - delta) * score - (k == M ? 0.0 : t));
        sum += p[static_cast<std::size_t>(k)];
    }
    for (double& v : p) v /= sum;
    return p;
}

TEST(Generate, ResponseFrequenciesFollowTheModel) {
    ScriptSession s;
    // Four items with three steps, read from a file; three fixed abilities.
    const double delta[] = {-0.8, 0.0, 0.4, 1.1};
    const double steps[4][2] = {{-0.3, 0.2}, {0.4, -0.1}, {0.0, 0.0}, {-0.45, 0.35}};
    std::string items;
    for (int i = 0; i < 4; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%d 0 %.2f\n%d 1 %.2f\n%d 2 %.2f\n", i + 1, delta[i], i + 1, steps[i][0],
                      i + 1, steps[i][1]);
        items += line;
    }
    s.writeFile("items.txt", items);
    const double theta[] = {-1.0, 0.5, 2.0};
    const int N = 6000;
    std::string abilities;
    for (int n = 0; n < N; ++n) abilities += std::to_string(n + 1) + " " + std::to_string(theta[n % 3]) + "\n";
    s.writeFile("abilities.txt", abilities);
    ASSERT_EQ(s.runAllOf("set seed=77; generate ! nitems=4, npersons=6000, maxscore=3, itemdist=items.txt,"
                         "abilitydist=abilities.txt >> f.dat, f.itm, f.abl;"),
              1)
        << firstError(s);
    // The files read were written back as they were read.
    const auto written = numberRows(s.readFile("f.itm"));
    ASSERT_EQ(written.size(), 12u);
    EXPECT_NEAR(written[2][2], 0.4, 1e-12);
    EXPECT_NEAR(written[4 + 2 * 3 + 1][2], 0.35, 1e-12);
    EXPECT_NEAR(numberRows(s.readFile("f.abl"))[4][1], 0.5, 1e-12);

    // Pearson's chi-square of the counts per item and ability against the
    // model: 12 tables with 3 degrees of freedom each.
    int counts[4][3][4] = {};
    const std::vector<std::string> lines = textLines(s.readFile("f.dat"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(N));
    for (int n = 0; n < N; ++n)
        for (int i = 0; i < 4; ++i)
            ++counts[i][n % 3][lines[static_cast<std::size_t>(n)][static_cast<std::size_t>(i)] - '0'];
    double chi2 = 0;
    for (int i = 0; i < 4; ++i)
        for (int g = 0; g < 3; ++g) {
            const std::vector<double> p = categoryProbabilities(theta[g], delta[i], {steps[i][0], steps[i][1]}, 1.0);
            for (int k = 0; k <= 3; ++k) {
                const double expected = p[static_cast<std::size_t>(k)] * (N / 3);
                chi2 += (counts[i][g][k] - expected) * (counts[i][g][k] - expected) / expected;
            }
        }
    // The 0.999 quantile of chi-square with 36 degrees of freedom is 67.99;
    // a fault of the model (a sign, a step) gives thousands.
    EXPECT_LT(chi2, 67.99);
    EXPECT_GT(chi2, 10.0);  // counts that match too well are suspect too (the 0.001 quantile is 16.0)

    // A score file doubles the score of the top category of item 2: its
    // probability then follows exp(2 (theta - delta)).
    s.writeFile("scores.txt", "2 0 0\n2 1 2\n");
    s.writeFile("one.txt", "1 0 0.3\n2 0 0.3\n");
    ASSERT_EQ(s.run("generate ! nitems=2, npersons=6000, maxscore=1, itemdist=one.txt, abilitydist=abilities.txt,"
                    "scorefile=scores.txt >> sc.dat;"),
              1)
        << firstError(s);
    int ones[2][3] = {};
    const std::vector<std::string> scored = textLines(s.readFile("sc.dat"));
    for (int n = 0; n < N; ++n)
        for (int i = 0; i < 2; ++i)
            ones[i][n % 3] += scored[static_cast<std::size_t>(n)][static_cast<std::size_t>(i)] - '0';
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 2; ++i) {
            const double p = categoryProbabilities(theta[g], 0.3, {}, i == 0 ? 1.0 : 2.0)[1];
            const double sd = std::sqrt(p * (1 - p) * (N / 3));
            EXPECT_NEAR(ones[i][g], p * (N / 3), 4 * sd) << "item " << i + 1 << " ability " << theta[g];
        }
}

TEST(Generate, AbilityDistributionsHaveTheirStatedMoments) {
    ScriptSession s;
    const int N = 4000;
    ASSERT_EQ(s.runAllOf("set seed=3; generate ! nitems=3:2, npersons=4000, itemdist=uniform(1:3), centre=yes,"
                         "abilitydist=mvnormal(0.5:2:-1:0.8:0.6) >> m.dat, m.itm, m.abl;"),
              1)
        << firstError(s);
    // Centred locations: each dimension's mean is 0 (the file rounds each
    // value to 5 decimals).
    const auto items = numberRows(s.readFile("m.itm"));
    ASSERT_EQ(items.size(), 5u);
    double first = 0, second = 0, spread = 0;
    for (int i = 0; i < 3; ++i) first += items[static_cast<std::size_t>(i)][2];
    for (int i = 3; i < 5; ++i) second += items[static_cast<std::size_t>(i)][2];
    for (const auto& row : items) spread = std::max(spread, std::fabs(row[2]));
    EXPECT_NEAR(first / 3, 0.0, 5e-6);
    EXPECT_NEAR(second / 2, 0.0, 5e-6);
    EXPECT_GT(spread, 0.05);
    EXPECT_LT(spread, 2.0);

    const auto rows = numberRows(s.readFile("m.abl"));
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(N));
    double m[2] = {0, 0}, c[3] = {0, 0, 0};
    for (const auto& r : rows) {
        m[0] += r[1];
        m[1] += r[2];
    }
    m[0] /= N;
    m[1] /= N;
    for (const auto& r : rows) {
        c[0] += (r[1] - m[0]) * (r[1] - m[0]);
        c[1] += (r[1] - m[0]) * (r[2] - m[1]);
        c[2] += (r[2] - m[1]) * (r[2] - m[1]);
    }
    for (double& v : c) v /= N - 1;
    const double r = c[1] / std::sqrt(c[0] * c[2]);
    EXPECT_NEAR(m[0], 0.5, 4 * std::sqrt(2.0 / N));
    EXPECT_NEAR(m[1], -1.0, 4 * std::sqrt(0.8 / N));
    EXPECT_NEAR(c[0], 2.0, 4 * 2.0 * std::sqrt(2.0 / N));
    EXPECT_NEAR(c[2], 0.8, 4 * 0.8 * std::sqrt(2.0 / N));
    EXPECT_NEAR(r, 0.6, 4 * (1 - 0.36) / std::sqrt(N));

    // Two-level normal: each case carries the mean ability of the other
    // members of its group of four.
    ASSERT_EQ(s.run("generate ! nitems=5, npersons=60, abilitydist=normal2(0:1:1:0.5:4) >> g.dat, g.itm, g.abl;"), 1)
        << firstError(s);
    const auto ability = numberRows(s.readFile("g.abl"));
    const std::vector<std::string> data = textLines(s.readFile("g.dat"));
    ASSERT_EQ(data.size(), 60u);
    for (int n = 0; n < 60; ++n) {
        double others = 0;
        for (int k = n - n % 4; k < n - n % 4 + 4; ++k)
            if (k != n) others += ability[static_cast<std::size_t>(k)][1];
        ASSERT_EQ(data[static_cast<std::size_t>(n)].size(), 15u);
        EXPECT_NEAR(std::stod(data[static_cast<std::size_t>(n)].substr(5)), others / 3, 2e-5) << n;
    }

    // Uniform abilities stay in their range; regression values are copied
    // after the responses.
    std::string reg;
    for (int n = 0; n < 30; ++n) reg += std::to_string(n * 0.5 - 3) + "\n";
    s.writeFile("reg.txt", reg);
    ASSERT_EQ(s.run("generate ! nitems=4, npersons=30, abilitydist=uniform(-1:0.5), regfile=reg.txt(ses) >> u.dat,,"
                    "u.abl;"),
              1)
        << firstError(s);
    for (const auto& row : numberRows(s.readFile("u.abl"))) {
        EXPECT_GE(row[1], -1.0);
        EXPECT_LT(row[1], 0.5);
    }
    const std::vector<std::string> u = textLines(s.readFile("u.dat"));
    ASSERT_EQ(u.size(), 30u);
    EXPECT_EQ(u[7].substr(4), "   0.50000");
}

TEST(Generate, OptionsAndFilesAreCheckedBeforeAnythingIsWritten) {
    const std::vector<std::pair<std::string, Messages>> refused = {
        {"generate", {"You must specify a file name for generated data"}},
        {"generate ! nitems=10", {"You must specify a data file name for redirection"}},
        {"generate ! nitems= >> x.dat", {"Number of items cannot be blank"}},
        {"generate ! npersons=many >> x.dat", {" number of people not a number in generate"}},
        {"generate ! maxscore=two >> x.dat", {" maxscore not a number in generate"}},
        {"generate ! colour=red >> x.dat",
         {"Unknown command or argument: 'colour'", " No option word found or incorrect option word in generate",
          "Error in generate option"}},
        {"generate ! itemdist=beta(1:2) >> x.dat", {"item distribution must be 'UNIFORM' or 'NORMAL'"}},
        {"generate ! itemdist=normal(0:1:2) >> x.dat",
         {"item distribution argument must have two values separated by colon"}},
        {"generate ! itemdist=normal(0:a) >> x.dat", {"item distribution argument in brackets must be a number"}},
        {"generate ! itemdist=uniform(0,1) >> x.dat",
         {"item distribution argument does not end with closing bracket. Check if ',' is used instead of ':'"}},
        {"generate ! itemdist=uniform(2:1) >> x.dat",
         {"The first number must be less than the second number in brackets"}},
        {"generate ! itemdist=normal(0:-1) >> x.dat", {"The variance must be positive"}},
        {"generate ! abilitydist=gamma(1:2) >> x.dat",
         {"ability distribution must be 'UNIFORM', 'MVNORMAL', 'NORMAL' or 'NORMAL2'"}},
        {"generate ! abilitydist=normal(1) >> x.dat",
         {"ability distribution argument must have at least two values separated by colon"}},
        {"generate ! abilitydist=normal2(0:1:0:1) >> x.dat",
         {"ability distribution 'NORMAL2' must have five values separated by colon"}},
        {"generate ! abilitydist=normal(0:1:2) >> x.dat",
         {"Incorrect number of parameters for 'normal' or 'uniform' distribution"}},
        {"generate ! abilitydist=normal(x:1) >> x.dat", {"ability distribution argument in brackets must be a number"}},
        {"generate ! abilitydist=normal(0:1 >> x.dat",
         {"ability distribution argument does not end with closing bracket. Check if ',' is used instead of ':'"}},
        {"generate ! abilitydist=uniform(1:0) >> x.dat",
         {"The first number must be less than the second number inside the brackets"}},
        {"generate ! abilitydist=normal(0:-2) >> x.dat", {"The variance must be positive"}},
        {"generate ! nitems=5:5, abilitydist=mvnormal(0:1:0:1) >> x.dat",
         {"Number of parameters in multivariate normal is incorrect"}},
        {"generate ! abilitydist=mvnormal(0:1:0:q:0.5) >> x.dat", {"All distribution parameters must be numeric"}},
        {"generate ! nitems=5, abilitydist=mvnormal(0:1:0:1:0.5) >> x.dat",
         {"The number of dimensions in the 'nitems' and the population distribution do not match"}},
        {"generate ! nitems=5:5 >> x.dat",
         {"The number of dimensions in the 'nitems' and the population distribution do not match"}},
        {"generate ! npersons=95, abilitydist=normal2(0:1:0:0.2:10) >> x.dat",
         {"The total persons must be divisible by the group size"}},
        {"generate ! centre=maybe >> x.dat", {"Centre option value must be either 'yes' or 'no'"}},
        {"generate ! nitems=1:1:1:1:1:1:1:1:1:1:1:1:1:1:1:1 >> x.dat", {"At most 15 dimensions can be generated"}},
        {"generate ! nitems=4:0 >> x.dat", {"The numbers of items must be positive whole numbers separated by colons"}},
        {"generate ! npersons=0 >> x.dat", {"The number of people must be a whole number from 1 to 10000000"}},
        {"generate ! maxscore=100 >> x.dat", {"The maxscore must be a whole number from 1 to 99"}},
        {"generate ! abilitydist=normal2(0:1:0:1:0) >> x.dat",
         {"The group size must be a whole number from 1 to the number of people"}},
        {"generate ! nitems=1600, maxscore=10 >> x.dat",
         {"The generated records would be longer than 3071 characters"}},
        {"generate ! nitems=3 >> x.dat, a.txt, b.txt, c.txt", {"At most three file names may follow '>>' in generate"}},
        {"generate ! regfile=reg.txt >> x.dat", {"The 'regfile' option must include a variable list"}},
        {"generate ! regfile=(group) >> x.dat", {"Conditioning variable 'group', only available with 'normal2'"}},
        {"generate ! itemdist=none.txt >> x.dat", {"Error opening file none.txt"}},
        {"generate ! nitems=3, itemdist=bad.txt >> x.dat",
         {"Index i (item number) out of range in item import file for the generate command"}},
        {"generate ! nitems=3, maxscore=2, itemdist=badk.txt >> x.dat",
         {"Index k (category number) out of range in item import file. File may have incorrect format"}},
        {"generate ! npersons=3, abilitydist=bada.txt >> x.dat",
         {"Index n (number of persons) out of range in ability import file for the generate command", "n is 4"}},
        {"generate ! npersons=3, regfile=short.txt(a:b) >> x.dat",
         {"Error in reading regression variable file", "Case number is 2"}},
        {"generate ! npersons=2, regfile=short.txt(a) >> x.dat",
         {"Index n (number of persons) out of range in regression file for the generate command"}},
        {"generate ! nitems=3, scorefile=bads.txt >> x.dat", {"Item index out of range in score import file"}},
        {"generate ! nitems=3, scorefile=badc.txt >> x.dat", {"Category index out of range in score import file"}},
    };
    ScriptSession s;
    s.writeFile("bad.txt", "1 0 0.5\n4 0 0.1\n");
    s.writeFile("badk.txt", "1 0 0.5\n1 2 0.1\n");
    s.writeFile("bada.txt", "1 0.5\n4 0.1\n");
    s.writeFile("short.txt", "1 2\n3\n");
    s.writeFile("bads.txt", "4 1 1\n");
    s.writeFile("badc.txt", "1 2 1\n");
    for (const auto& [statement, messages] : refused) {
        s.shell.clear();
        EXPECT_EQ(s.run(statement + ";"), -1) << statement;
        EXPECT_EQ(s.shell.errors, messages) << statement;
        EXPECT_FALSE(std::filesystem::exists(s.dir() / "x.dat")) << statement;
    }
    // Declining to replace an existing file ends the statement.
    s.writeFile("x.dat", "old\n");
    s.shell.confirmAnswer = false;
    EXPECT_EQ(s.run("generate ! nitems=3 >> x.dat;"), -1);
    EXPECT_EQ(s.readFile("x.dat"), "old\n");
}

// The estimated item difficulties of a 15-item Rasch study, replication by
// replication, from the parameter result file.
struct Recovery {
    std::vector<std::vector<double>> estimates, errors;  // [item][replication]
};

TEST(Simulate, AReplicatedStudyRecoversTheGeneratingDifficulties) {
    // The full study in the release build; the sanitizer build runs a
    // smaller one with the same checks.
#if defined(__SANITIZE_ADDRESS__)
    const int R = 8, N = 300;
#else
    const int R = 20, N = 500;
#endif
    const int I = 15;
    ScriptSession s;
    std::string items;
    std::vector<double> truth;
    for (int i = 0; i < I; ++i) {
        truth.push_back(-1.4 + 0.2 * i);
        items += std::to_string(i + 1) + " 0 " + std::to_string(truth.back()) + "\n";
    }
    s.writeFile("items.txt", items);
    ASSERT_EQ(s.runAllOf("set seed=11; simulate ! nitems=15, npersons=" + std::to_string(N) +
                         ", itemdist=items.txt, replications=" + std::to_string(R) + ", fit=no, filename=rasch_;"),
              1)
        << firstError(s);
    const auto rows = numberRows(s.readFile("rasch_ite.txt"));
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(R * I));
    Recovery rec;
    rec.estimates.assign(I, {});
    rec.errors.assign(I, {});
    for (std::size_t k = 0; k < rows.size(); ++k) {
        // Replication, parameter, estimate, standard error.
        ASSERT_GE(rows[k].size(), 4u);
        EXPECT_EQ(rows[k][0], static_cast<double>(k / I + 1));
        EXPECT_EQ(rows[k][1], static_cast<double>(k % I + 1));
        rec.estimates[k % I].push_back(rows[k][2]);
        rec.errors[k % I].push_back(rows[k][3]);
    }
    double pooled = 0, reported = 0;
    for (int i = 0; i < I; ++i) {
        const std::vector<double>& e = rec.estimates[static_cast<std::size_t>(i)];
        double m = 0, ss = 0;
        for (double v : e) m += v;
        m /= R;
        for (double v : e) ss += (v - m) * (v - m);
        const double sd = std::sqrt(ss / (R - 1));
        EXPECT_LT(std::fabs(m - truth[static_cast<std::size_t>(i)]), 3 * sd / std::sqrt(R)) << "item " << i + 1;
        pooled += ss;
        for (double se : rec.errors[static_cast<std::size_t>(i)]) reported += se;
    }
    // The spread over replications, pooled over the items, against the mean
    // reported standard error.
    const double spread = std::sqrt(pooled / (I * (R - 1)));
    reported /= I * R;
    EXPECT_NEAR(spread / reported, 1.0, 0.25) << spread << " " << reported;
}

TEST(Simulate, ResultFilesCarryEveryReplication) {
    ScriptSession s;
    std::string reg;
    for (int n = 0; n < 400; ++n) reg += std::to_string((n % 7) - 3) + "\n";
    s.writeFile("reg.txt", reg);
    // Ten categories with steps spread over the ability range, so that
    // every category is seen.
    std::string items;
    for (int i = 1; i <= 3; ++i) {
        items += std::to_string(i) + " 0 0.2\n";
        for (int k = 1; k < 10; ++k)
            items += std::to_string(i) + " " + std::to_string(k) + " " + std::to_string(-2.25 + 0.5 * (k - 1)) + "\n";
    }
    s.writeFile("steps.txt", items);
    s.writeFile("s_ite.txt", "left from an earlier run\n");
    s.writeFile("s_pop.txt", "left from an earlier run\n");
    ASSERT_EQ(
        s.runAllOf("set seed=9, n_plausible=2; "
                   "simulate ! nitems=3, npersons=400, maxscore=10, itemdist=steps.txt, abilitydist=normal2(0:4:0:1:4),"
                   "regfile=reg.txt(group:ses), replications=2, keep=yes, condition=A, filename=s_,"
                   "fit=no, conv=0.000001, iterations=30;"),
        1)
        << firstError(s);
    EXPECT_EQ(s.session.ws.replication, -1);
    // The settings in force before the study stay.
    EXPECT_EQ(s.session.ws.settings.seed, 9);
    EXPECT_EQ(s.session.ws.settings.n_plausible, 2);
    // The files of an earlier run were found, and deleted after two yes answers.
    EXPECT_EQ(s.shell.warnings.front(),
              "A file called s_pop.txt was found. Simulation jobs running in parallel should write to different files");
    EXPECT_EQ(s.shell.questions, (Messages{"Delete the file?", "Are you sure the file should be deleted the file?",
                                           "Delete the file?", "Are you sure the file should be deleted the file?"}));
    // One set of generated files per replication.
    for (const char* name : {"s_dat1.txt", "s_dat2.txt", "s_itg1.txt", "s_itg2.txt", "s_abl1.txt", "s_abl2.txt"})
        EXPECT_TRUE(std::filesystem::exists(s.dir() / name)) << name;
    EXPECT_NE(s.readFile("s_dat1.txt"), s.readFile("s_dat2.txt"));
    // The composed statements: two-column codes, the group and regression
    // columns after the responses, the criterion in full.
    const std::string& out = s.shell.output;
    EXPECT_NE(out.find("=>codes \" 0\",\" 1\",\" 2\""), std::string::npos) << out.substr(0, 2000);
    EXPECT_NE(out.find("=>format responses 1-6 (a2) group 7-16 ses 17-26;"), std::string::npos);
    EXPECT_NE(out.find("=>regression group,ses;"), std::string::npos);
    EXPECT_NE(out.find("convergence=0.000001,"), std::string::npos);

    // Item parameters: the condition, the replication and the record with
    // its standard error.
    const std::vector<std::string> ite = textLines(s.readFile("s_ite.txt"));
    ASSERT_FALSE(ite.empty());
    EXPECT_EQ(ite.size() % 2, 0u);
    EXPECT_EQ(ite.front().substr(0, 17), "A     1         1");
    EXPECT_EQ(ite.back().substr(0, 7), "A     2");
    // Population: constant, group and ses coefficients, then the variance.
    const std::vector<std::string> pop = textLines(s.readFile("s_pop.txt"));
    ASSERT_EQ(pop.size(), 8u);
    EXPECT_EQ(pop[0].substr(0, 12), "A     1  reg");
    EXPECT_EQ(pop[2].substr(0, 34), "A     1  reg         1           2");
    EXPECT_EQ(pop[3].substr(0, 12), "A     1  cov");
    EXPECT_EQ(pop[7].substr(0, 12), "A     2  cov");
    // Case estimates of both replications, 400 cases each.
    EXPECT_EQ(textLines(s.readFile("s_eap.txt")).size(), 800u);
    EXPECT_EQ(textLines(s.readFile("s_wle.txt")).size(), 800u);
    EXPECT_EQ(textLines(s.readFile("s_itn.txt")).size(), 2u * 4u);
    const std::string summary = s.readFile("s_sum.txt");
    EXPECT_NE(summary.find("The Data File: s_dat2.txt"), std::string::npos);

    // A study that refuses to delete appends to what is there.
    s.shell.clear();
    s.shell.yesNoAnswer = false;
    ASSERT_EQ(s.run("simulate ! nitems=3, npersons=50, replications=1, filename=s_, fit=no;"), 1) << firstError(s);
    EXPECT_EQ(textLines(s.readFile("s_pop.txt")).size(), 10u);
    EXPECT_EQ(textLines(s.readFile("s_pop.txt"))[8].substr(0, 9), "    1  re");
}

TEST(Simulate, OptionsAreRefusedBeforeAnythingRuns) {
    const std::vector<std::pair<std::string, Messages>> refused = {
        {"simulate", {"Simulate must have options"}},
        {"simulate ! replications=0", {" number of replications must be a positive integer"}},
        {"simulate ! keep=maybe", {"Keep option value must be either 'yes' or 'no'"}},
        {"simulate ! condition=", {"Condition value cannot be blank"}},
        {"simulate ! constraints=none", {"Constraiints option value must be either 'cases', or 'items'"}},
        {"simulate ! convergence=x", {" convergence criterion not a number"}},
        {"simulate ! nodes=1", {" the number of nodes must be two or more"}},
        {"simulate ! nodes=x", {" number of nodes not a number"}},
        {"simulate ! method=newton", {"integration method incorrect"}},
        {"simulate ! iterations=x", {" Number of iterations is not a number"}},
        {"simulate ! storage=tape", {"Storage request must be 'disk' or 'ram'"}},
        {"simulate ! minnode=x", {"Min_node is not a number"}},
        {"simulate ! maxnode=x", {"Max_node is not a number"}},
        {"simulate ! minnode=3, maxnode=2", {"Min_node must be less than max_node"}},
        {"simulate ! stderr=slow", {"StdErr option value must be either 'none', 'full' or 'quick'"}},
        {"simulate ! colour=red",
         {"Unknown command or argument: 'colour'", " No option word found or incorrect option word in simulate",
          "Error in simulate option"}},
        {"simulate ! itemdist=uniform(2:1)", {"The first number must be less than the second number in brackets"}},
        {"simulate ! npersons=95, abilitydist=normal2(0:1:0:0.2:10)",
         {"The total persons must be divisible by the group size"}},
    };
    ScriptSession s;
    for (const auto& [statement, messages] : refused) {
        s.shell.clear();
        EXPECT_EQ(s.run(statement + ";"), -1) << statement;
        EXPECT_EQ(s.shell.errors, messages) << statement;
        EXPECT_FALSE(std::filesystem::exists(s.dir() / "simite.txt")) << statement;
    }
}

}  // namespace
}  // namespace ordena::test
