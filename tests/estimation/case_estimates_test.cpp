// Case estimates against values found independently in the test, for
// dichotomous and for three-category items with known (anchored)
// parameters: MLE and WLE by bisection of their score equations, EAPs and
// the case output files by numerical integration of the posterior, the
// reliabilities by direct sums over the cases; and the behaviour of
// plausible values.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <sstream>

#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "support/bisect.h"
#include "support/reference.h"
#include "support/script_session.h"
#include "support/simulate.h"

namespace ordena::test {
namespace {

const std::vector<double> kDelta = {-1.5, -1.0, -0.6, -0.2, 0.0, 0.2, 0.5, 0.8, 1.2, 0.6};  // sums to 0

double probability(double theta, double delta) { return 1.0 / (1.0 + std::exp(delta - theta)); }

double asFloat(double x) { return static_cast<double>(static_cast<float>(x)); }

// Items with every parameter anchored, and a few response patterns whose
// estimates are checked, followed by cases drawn from the model.
struct AnchoredModel {
    std::vector<SimItem> items;
    std::string model;
    std::vector<double> anchors;
    std::vector<std::vector<int>> patterns;
    bool regression = false;
};

// Ten dichotomous items; the anchors hold the first nine, as single
// precision numbers.
AnchoredModel dichotomousModel() {
    AnchoredModel m;
    double last = 0;
    for (int i = 0; i < 9; ++i) {
        m.anchors.push_back(asFloat(kDelta[static_cast<std::size_t>(i)]));
        last -= m.anchors.back();
    }
    for (double d : m.anchors) m.items.push_back(dichotomous(d));
    m.items.push_back(dichotomous(last));
    m.model = "model item;\n";
    // Raw scores 0, 3, 7 and 10, the easiest items right first.
    const int rank[10] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 7};
    for (int score : {0, 3, 7, 10}) {
        std::vector<int> p;
        for (int r : rank) p.push_back(r < score ? 1 : 0);
        m.patterns.push_back(p);
    }
    return m;
}

// Five items scored 0, 1, 2 (item + item*step: four locations, the fifth
// minus their sum, and one step per item, the second minus the first),
// with a latent regression.
AnchoredModel threeCategoryModel() {
    AnchoredModel m;
    const double delta[4] = {-0.6, -0.2, 0.1, 0.3}, tau[5] = {0.5, -0.3, 0.2, 0.0, -0.4};
    double last = 0;
    for (double d : delta) {
        m.anchors.push_back(asFloat(d));
        last -= m.anchors.back();
    }
    for (double t : tau) m.anchors.push_back(asFloat(t));
    for (int i = 0; i < 5; ++i) {
        const double t = m.anchors[static_cast<std::size_t>(4 + i)];
        m.items.push_back(partialCredit(i < 4 ? m.anchors[static_cast<std::size_t>(i)] : last, {t, -t}));
    }
    m.model = "regression x1;\nmodel item + item*step;\n";
    m.regression = true;
    m.patterns = {{0, 0, 0, 0, 0}, {1, 0, 1, 0, 1}, {2, 2, 1, 2, 0}, {2, 2, 2, 2, 2}};
    return m;
}

// The session after the data statements, anchors in place: the patterns
// first (regression value 0.5), then 120 drawn cases, then a case with a
// blank weight.
std::unique_ptr<ScriptSession> prepare(const AnchoredModel& m, std::vector<SimCase>& cases) {
    cases.clear();
    for (const auto& p : m.patterns) cases.push_back({1, {0.5}, p, {}});
    for (SimCase c : simulateCases(m.items, {{{0.1, 0.4}}, {{1.1}}}, 120, 31, [](std::mt19937_64& rng, SimCase& c) {
             c.regressors = {std::normal_distribution<double>(0, 1)(rng)};
         }))
        cases.push_back(c);
    cases.push_back(cases[1]);
    cases.back().weight = -1;
    auto s = std::make_unique<ScriptSession>();
    s->writeFile("c.dat", dataFile(cases));
    EXPECT_EQ(s->runAllOf("datafile c.dat;\n" + formatFor(1, static_cast<int>(m.items.size())) + "caseweight w;\n" +
                          m.model),
              1);
    for (std::size_t p = 0; p < m.anchors.size(); ++p)
        s->session.ws.est.anchors.push_back({kAnchorItem, static_cast<int>(p), 0, static_cast<float>(m.anchors[p])});
    return s;
}

// Mean, variance and third central moment of the raw score at theta.
struct ScoreMoments {
    double mean = 0, variance = 0, third = 0;
};
ScoreMoments scoreMoments(const std::vector<SimItem>& items, double theta) {
    ScoreMoments s;
    for (const SimItem& item : items) {
        const std::vector<double> p = categoryProbabilities(item, &theta);
        double m = 0, v = 0, t = 0;
        for (std::size_t k = 0; k < p.size(); ++k) m += p[k] * item.scores[k][0];
        for (std::size_t k = 0; k < p.size(); ++k) {
            const double d = item.scores[k][0] - m;
            v += p[k] * d * d;
            t += p[k] * d * d * d;
        }
        s.mean += m;
        s.variance += v;
        s.third += t;
    }
    return s;
}

const std::string& errorsOf(const ScriptSession& s) {
    static const std::string none;
    return s.shell.errors.empty() ? none : s.shell.errors.back();
}

double reportedValue(const std::string& text, const std::string& label) {
    const std::size_t at = text.find(label);
    EXPECT_NE(at, std::string::npos) << label;
    return at == std::string::npos ? -9 : std::stod(text.substr(at + label.size(), 8));
}

TEST(CaseEstimates, MleAndWleSolveTheirScoreEquationsAndGiveTheReliabilities) {
    for (const AnchoredModel& m : {dichotomousModel(), threeCategoryModel()}) {
        SCOPED_TRACE(m.model);
        std::vector<SimCase> cases;
        auto s = prepare(m, cases);
        ASSERT_EQ(s->run("set mle_criteria=0.0000000000000001;\nestimate ! abilities=yes, fit=no;\n"), 1)
            << errorsOf(*s);
        CaseScoreRecords rec;
        ASSERT_EQ(openCaseScores(s->session, rec), 1);
        const double z = s->session.ws.settings.zero_perfect, top = 10;
        for (std::size_t n = 0; n < m.patterns.size(); ++n) {
            double raw = 0;
            for (int k : m.patterns[n]) raw += k;
            const double* r = rec.record(static_cast<int>(n));
            EXPECT_DOUBLE_EQ(r[rec.rawAt()], raw);
            EXPECT_DOUBLE_EQ(r[rec.maxAt()], top);
            // The MLE of a zero or perfect score is that of z or of the
            // maximum less z; the WLE has finite roots for both.
            const double adjusted = raw == 0 ? z : (raw == top ? top - z : raw);
            const double mle = bisect([&](double t) { return adjusted - scoreMoments(m.items, t).mean; }, -12, 12);
            const double wle = bisect(
                [&](double t) {
                    const ScoreMoments s = scoreMoments(m.items, t);
                    return raw - s.mean + s.third / (2 * s.variance);
                },
                -12, 12);
            EXPECT_NEAR(r[rec.mleAt()], mle, 1e-6) << "case " << n + 1;
            EXPECT_NEAR(r[rec.wleAt()], wle, 1e-6) << "case " << n + 1;
            EXPECT_NEAR(r[rec.mleCovAt()], 1 / scoreMoments(m.items, mle).variance, 1e-5) << "case " << n + 1;
            EXPECT_NEAR(r[rec.wleCovAt()], 1 / scoreMoments(m.items, wle).variance, 1e-5) << "case " << n + 1;
        }
        // The case with no weight has no MLE or WLE.
        EXPECT_EQ(rec.record(rec.N - 1)[rec.mleAt()], 0.0);

        // Reliabilities: direct sums over every record of the case file.
        ASSERT_EQ(s->run("show ! tables=3;\n"), 1);
        auto separation = [&](std::size_t at, std::size_t covAt) {
            double sum = 0, squares = 0, errors = 0;
            for (int n = 0; n < rec.N; ++n) {
                sum += rec.record(n)[at];
                squares += rec.record(n)[at] * rec.record(n)[at];
                errors += rec.record(n)[covAt];
            }
            const double variance = (squares - sum * sum / rec.N) / (rec.N - 1);
            return (variance - errors / rec.N) / variance;
        };
        double eap[2] = {0, 0}, eap2[2] = {0, 0};
        for (int n = 0; n < rec.N; ++n)
            for (std::size_t k = 0; k < 2; ++k) {
                const double v = rec.record(n)[k == 0 ? rec.eapAt() : rec.plausibleAt()];
                eap[k] += v;
                eap2[k] += v * v;
            }
        const double mleReliability = separation(rec.mleAt(), rec.mleCovAt());
        ASSERT_GT(mleReliability, 0.3);
        EXPECT_NEAR(reportedValue(s->shell.output, "MLE Person separation RELIABILITY: "), mleReliability, 6e-4);
        EXPECT_NEAR(reportedValue(s->shell.output, "WLE Person separation RELIABILITY: "),
                    separation(rec.wleAt(), rec.wleCovAt()), 6e-4);
        EXPECT_NEAR(reportedValue(s->shell.output, "EAP/PV RELIABILITY:                "),
                    (eap2[0] - eap[0] * eap[0] / rec.N) / (eap2[1] - eap[1] * eap[1] / rec.N), 6e-4);
    }
}

// The posterior of a case integrated on a fine grid: its mean and standard
// deviation (no responses: the prior's).
std::pair<double, double> integratedPosterior(const std::vector<SimItem>& items, const std::vector<int>& x,
                                              double mean, double variance) {
    double z0 = 0, z1 = 0, z2 = 0;
    for (int k = -4000; k <= 4000; ++k) {
        const double t = mean + std::sqrt(variance) * k / 500.0;
        double like = std::exp(-0.5 * (k / 500.0) * (k / 500.0));
        for (std::size_t i = 0; i < x.size(); ++i)
            like *= categoryProbabilities(items[i], &t)[static_cast<std::size_t>(x[i])];
        z0 += like;
        z1 += like * t;
        z2 += like * t * t;
    }
    return {z1 / z0, std::sqrt(z2 / z0 - (z1 / z0) * (z1 / z0))};
}

TEST(CaseEstimates, EapsAndCaseFilesAgreeWithIntegrationOfThePosterior) {
    for (const AnchoredModel& m : {dichotomousModel(), threeCategoryModel()}) {
        SCOPED_TRACE(m.model);
        std::vector<SimCase> cases;
        auto s = prepare(m, cases);
        ASSERT_EQ(s->run("set p_nodes=20000;\nestimate ! abilities=yes, fit=no;\n"
                         "show cases ! estimates=eap >> eap.txt;\nshow cases ! estimates=latent >> pv.txt;\n"),
                  1)
            << errorsOf(*s);
        const EstimationState& est = s->session.ws.est;
        CaseScoreRecords rec;
        ASSERT_EQ(openCaseScores(s->session, rec), 1);
        const auto eapFile = numberRows(s->readFile("eap.txt"));
        const auto pvFile = numberRows(s->readFile("pv.txt"));
        ASSERT_EQ(eapFile.size(), cases.size());
        ASSERT_EQ(pvFile.size(), cases.size() * 8);  // head, five values, EAP, error
        const double variance = est.sigma[0][0];
        // The patterns, and last the case without weight: its posterior is
        // the prior.
        std::vector<std::size_t> checked = {1, 2, cases.size() - 1};
        for (std::size_t n : checked) {
            const double mean = est.beta[0][0] + (m.regression ? est.beta[0][1] * cases[n].regressors[0] : 0.0);
            const std::vector<int> x = n + 1 == cases.size() ? std::vector<int>{} : cases[n].responses;
            const auto [eap, sd] = integratedPosterior(m.items, x, mean, variance);
            const double* r = rec.record(static_cast<int>(n));
            // Monte Carlo integration with 20,000 standardised draws.
            EXPECT_NEAR(r[rec.eapAt()], eap, 0.02) << "case " << n + 1;
            EXPECT_NEAR(std::sqrt(r[rec.posteriorCovAt()]), sd, 0.02) << "case " << n + 1;
            // show cases, EAP: estimate, error, 1 - error variance / variance.
            const std::vector<double>& line = eapFile[n];
            ASSERT_EQ(line.size(), 5u) << "case " << n + 1;
            EXPECT_EQ(line[0], static_cast<double>(n + 1));
            EXPECT_NEAR(line[2], eap, 0.02) << "case " << n + 1;
            EXPECT_NEAR(line[3], sd, 0.02) << "case " << n + 1;
            EXPECT_NEAR(line[4], 1 - sd * sd / variance, 0.04) << "case " << n + 1;
            // show cases, plausible values: five draws, then the EAP and its
            // error on lines of their own.
            const std::size_t at = 8 * n;
            ASSERT_EQ(pvFile[at].size(), 2u);
            EXPECT_EQ(pvFile[at][0], static_cast<double>(n + 1));
            for (std::size_t v = 1; v <= 5; ++v) EXPECT_EQ(pvFile[at + v][0], static_cast<double>(v));
            EXPECT_NEAR(pvFile[at + 6].at(0), eap, 0.02) << "case " << n + 1;
            EXPECT_NEAR(pvFile[at + 7].at(0), sd, 0.02) << "case " << n + 1;
        }
    }
}

TEST(PlausibleValues, ReproducedWithTheSeedAndSpreadLikeThePopulation) {
    std::ostringstream out;
    std::mt19937_64 rng(2);
    std::normal_distribution<double> normal(0.0, 1.2);
    std::uniform_real_distribution<double> u(0, 1);
    for (int n = 0; n < 1500; ++n) {
        const double t = normal(rng);
        char head[16];
        std::snprintf(head, sizeof head, "%5d ", n + 1);
        out << head;
        for (double d : kDelta) out << (u(rng) < probability(t, d) ? '1' : '0');
        out << "\n";
    }
    std::string files[2];
    for (int k = 0; k < 2; ++k) {
        ScriptSession s;
        s.writeFile("p.dat", out.str());
        ASSERT_EQ(s.runAllOf("set seed=77;\ndatafile p.dat;\nformat pid 1-5 responses 7-16;\nmodel item;\n"
                             "estimate ! plausible=pv.txt, fit=no;\n"),
                  1);
        files[k] = s.readFile("pv.txt");
        CaseScoreRecords rec;
        ASSERT_EQ(openCaseScores(s.session, rec), 1);
        ASSERT_EQ(rec.V, 5);
        double pvSum = 0, pvSquares = 0, eapSum = 0;
        int count = 0;
        for (int n = 0; n < rec.N; ++n) {
            eapSum += rec.record(n)[rec.eapAt()];
            for (int v = 0; v < rec.V; ++v) {
                const double x = rec.record(n)[rec.plausibleAt() + static_cast<std::size_t>(v)];
                pvSum += x;
                pvSquares += x * x;
                ++count;
            }
        }
        const double pvMean = pvSum / count, pvVar = pvSquares / count - pvMean * pvMean;
        EXPECT_NEAR(pvMean, eapSum / rec.N, 0.03);
        EXPECT_NEAR(pvVar, s.session.ws.est.sigma[0][0], 0.1 * s.session.ws.est.sigma[0][0]);
    }
    EXPECT_FALSE(files[0].empty());
    EXPECT_EQ(files[0], files[1]);
    // Layout: the case number, the identifier, then one line per draw.
    EXPECT_EQ(files[0].substr(0, 7), "    1  ");
    EXPECT_NE(files[0].find("\n   1        "), std::string::npos);
    EXPECT_NE(files[0].find("\n   5        "), std::string::npos);
}

}  // namespace
}  // namespace ordena::test
