// The plot statement on fitted models: model curves against an independent
// computation from the exported item parameters, observed proportions
// against a count made here from the case estimates and the data file,
// the series of each plot type, and the checks that need a workspace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "plot/plot_document.h"
#include "support/script_session.h"

namespace ordena {
namespace {

using test::ScriptSession;

// The verbal aggression data: six items with three categories (0 no, 1
// perhaps, 2 yes) in columns 35 to 40, fitted with the partial credit model.
const char* const kPartialCredit =
    "datafile verbagg.dat;"
    "format pid 1-3 responses 35-40;"
    "model item + item*step;"
    "estimate ! fit=no;";

class PlotCommandTest : public ::testing::Test {
protected:
    void SetUp() override { s.copyReference("verbagg.dat"); }
    // Runs statements; the test fails with the first error when they fail.
    void run(const std::string& script) {
        ASSERT_EQ(s.run(script), 1) << script << ": " << (s.shell.errors.empty() ? "" : s.shell.errors.front());
    }
    const CGraph& lastGraph() { return s.shell.graphs().back(); }
    const CSeries* series(const CGraph& g, const std::string& name) {
        const int at = g.find(MString(name));
        return at < 0 ? nullptr : &g.series[static_cast<std::size_t>(at)];
    }

    ScriptSession s;
};

// ---- an independent reading of a plot document's series ----

struct ReadSeries {
    std::string name;
    std::vector<std::pair<double, double>> points;
};

struct Bytes {
    const std::string& b;
    std::size_t at = 0;
    std::int32_t int32() {
        std::uint32_t u = 0;
        for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(i)));
        at += 4;
        return static_cast<std::int32_t>(u);
    }
    double real() {
        std::uint64_t u = 0;
        for (int i = 7; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(i)));
        at += 8;
        double v;
        std::memcpy(&v, &u, 8);
        return v;
    }
    std::string text() {
        const std::int32_t n = int32();
        std::string t = b.substr(at, static_cast<std::size_t>(n - 1));
        at += static_cast<std::size_t>(n);
        return t;
    }
};

std::vector<ReadSeries> seriesInDocument(const std::string& bytes) {
    Bytes r{bytes};
    r.at = 8;  // "OZGF" and the version
    for (int i = 0; i < 4; ++i) r.text();
    const int notes = r.int32();
    for (int i = 0; i < notes; ++i) r.text();
    r.at += 7 * 4 + 4 * 8 + 2 * 4;
    std::vector<ReadSeries> out(static_cast<std::size_t>(r.int32()));
    for (ReadSeries& s : out) {
        s.name = r.text();
        r.text();
        r.int32();
        const int n = r.int32();
        for (int i = 0; i < n; ++i) {
            const double x = r.real();
            s.points.emplace_back(x, r.real());
        }
        r.at += 6 * 8 + 4 + 9 * 4;
    }
    EXPECT_EQ(r.at, bytes.size());
    return out;
}

// The exported parameters: estimates by parameter number.
std::vector<double> parameterFile(const std::string& text) {
    std::vector<double> xsi;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int number = 0;
        double value = 0;
        if (fields >> number >> value) xsi.push_back(value);
    }
    return xsi;
}

// Category probabilities of item i (from 0) of the six-item partial credit
// model: P(k) proportional to exp(k theta - k delta_i - sum_{j<=k} tau_ij),
// the last delta minus the sum of the others and tau_i2 = -tau_i1.
std::vector<double> pcmProbabilities(const std::vector<double>& xsi, int i, double theta) {
    double delta = 0;
    if (i < 5) {
        delta = xsi[static_cast<std::size_t>(i)];
    } else {
        for (int j = 0; j < 5; ++j) delta -= xsi[static_cast<std::size_t>(j)];
    }
    const double tau1 = xsi[static_cast<std::size_t>(5 + i)];
    const double e0 = 1.0, e1 = std::exp(theta - delta - tau1), e2 = std::exp(2 * theta - 2 * delta - tau1 + tau1);
    const double sum = e0 + e1 + e2;
    return {e0 / sum, e1 / sum, e2 / sum};
}

TEST_F(PlotCommandTest, ModelCurvesInTheDocumentAgreeWithTheExportedParameters) {
    run(kPartialCredit);
    run("export parameters >> p.prm;");
    const std::vector<double> xsi = parameterFile(s.readFile("p.prm"));
    ASSERT_EQ(xsi.size(), 11u);
    run("plot icc 3; plot expected 6; plot iinfo 6;");
    ASSERT_EQ(s.shell.graphs().size(), 3u);
    MString message;
    for (int g = 0; g < 3; ++g)
        ASSERT_EQ(
            writePlotDocument(s.shell.graphs()[static_cast<std::size_t>(g)], "g" + itoMString(g) + ".zgf", message), 1);

    const std::vector<ReadSeries> icc = seriesInDocument(s.readFile("g0.zgf"));
    ASSERT_GE(icc.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const ReadSeries& curve = icc[static_cast<std::size_t>(k)];
        EXPECT_EQ(curve.name, "Item 3 Model Probability Category " + std::to_string(k + 1));
        ASSERT_EQ(curve.points.size(), 101u);  // -5 to 5 by 0.1
        for (std::size_t j = 0; j < curve.points.size(); ++j) {
            const double theta = -5.0 + 0.1 * static_cast<double>(j);
            EXPECT_NEAR(curve.points[j].first, theta, 1e-12);
            // The file holds five decimals of each parameter.
            EXPECT_NEAR(curve.points[j].second, pcmProbabilities(xsi, 2, theta)[static_cast<std::size_t>(k)], 2e-5);
        }
    }
    EXPECT_EQ(icc[2].points.back().first, 5.0);

    const std::vector<ReadSeries> expected = seriesInDocument(s.readFile("g1.zgf"));
    ASSERT_EQ(expected[0].name, "Item 6 Expected Score");
    const std::vector<ReadSeries> information = seriesInDocument(s.readFile("g2.zgf"));
    ASSERT_EQ(information.size(), 1u);
    ASSERT_EQ(information[0].name, "Item 6 Information Function");
    for (std::size_t j = 0; j < 101; j += 5) {
        const double theta = -5.0 + 0.1 * static_cast<double>(j);
        const std::vector<double> p = pcmProbabilities(xsi, 5, theta);
        const double mean = p[1] + 2 * p[2];
        EXPECT_NEAR(expected[0].points[j].second, mean, 2e-5);
        // The information of a partial credit item is the variance of its score.
        EXPECT_NEAR(information[0].points[j].second, p[1] + 4 * p[2] - mean * mean, 2e-5);
    }
}

// One line of the WLE file: case number, identifier, raw and maximum
// score, estimate and its error.
std::map<int, double> wleFile(const std::string& text) {
    std::map<int, double> theta;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int number = 0, id = 0;
        double raw = 0, maximum = 0, estimate = 0;
        if (fields >> number >> id >> raw >> maximum >> estimate) theta[number] = estimate;
    }
    return theta;
}

// The response of each case (in file order, from 1) to an item in column.
std::map<int, int> responses(const std::string& data, int column) {
    std::map<int, int> out;
    std::istringstream in(data);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (static_cast<int>(line.size()) >= column && line[static_cast<std::size_t>(column - 1)] >= '0' &&
            line[static_cast<std::size_t>(column - 1)] <= '2')
            out[n] = line[static_cast<std::size_t>(column - 1)] - '0';
    }
    return out;
}

TEST_F(PlotCommandTest, ObservedProportionsAgreeWithACountOfTheCases) {
    run(kPartialCredit);
    run("show cases ! estimates=wle >> w.txt;");
    const std::map<int, double> theta = wleFile(s.readFile("w.txt"));
    ASSERT_EQ(theta.size(), 316u);
    const std::map<int, int> item2 = responses(s.readFile("verbagg.dat"), 36);

    // Equal widths: six bins, five cut points from -1.5 in four steps to 1.5.
    run("plot icc 2 ! estimates=wle, bins=6, bintype=width, mincut=-1.5, maxcut=1.5;");
    const std::vector<double> cuts = {-1.5, -0.75, 0.0, 0.75, 1.5};
    std::vector<std::vector<double>> count(6, std::vector<double>(3, 0.0));
    std::vector<double> sum(6, 0.0);
    for (const auto& [n, k] : item2) {
        const double x = theta.at(n);
        int b = 0;
        while (b < 5 && x > cuts[static_cast<std::size_t>(b)]) ++b;
        count[static_cast<std::size_t>(b)][static_cast<std::size_t>(k)] += 1;
        sum[static_cast<std::size_t>(b)] += x;
    }
    const CGraph& g = lastGraph();
    for (int k = 0; k < 3; ++k) {
        const CSeries* observed = series(g, "Group 1 Item 2 Category " + std::to_string(k + 1));
        ASSERT_NE(observed, nullptr);
        std::size_t point = 0;
        for (int b = 0; b < 6; ++b) {
            const std::vector<double>& c = count[static_cast<std::size_t>(b)];
            const double total = c[0] + c[1] + c[2];
            if (total == 0) continue;
            ASSERT_LT(point, observed->points.size());
            // The file shows five decimals of each estimate.
            EXPECT_NEAR(observed->points[point].x, sum[static_cast<std::size_t>(b)] / total, 1e-5) << b;
            EXPECT_DOUBLE_EQ(observed->points[point].y, c[static_cast<std::size_t>(k)] / total) << b;
            ++point;
        }
        EXPECT_EQ(point, observed->points.size());
    }

    // Equal sizes: cut points at the quantiles of the estimates of every
    // case with a response, bins of about equal counts.
    run("plot ccc 2 ! estimates=wle, bins=4;");
    std::vector<double> values;
    for (const auto& [n, x] : theta) values.push_back(x);
    std::sort(values.begin(), values.end());
    std::vector<double> quartiles;
    for (int k = 1; k < 4; ++k) quartiles.push_back(values[static_cast<std::size_t>((316 * k + 3) / 4 - 1)]);
    quartiles.push_back(1e300);
    std::vector<std::vector<double>> q(4, std::vector<double>(3, 0.0));
    for (const auto& [n, k] : item2) {
        int b = 0;
        while (b < 3 && theta.at(n) > quartiles[static_cast<std::size_t>(b)] + 1e-9) ++b;
        q[static_cast<std::size_t>(b)][static_cast<std::size_t>(k)] += 1;
    }
    const CSeries* upper = series(lastGraph(), "Group 1 Item 2 Category 3");
    const CSeries* middle = series(lastGraph(), "Group 1 Item 2 Category 2");
    ASSERT_NE(upper, nullptr);
    ASSERT_NE(middle, nullptr);
    EXPECT_EQ(series(lastGraph(), "Group 1 Item 2 Category 1"), nullptr);  // from the second category
    ASSERT_EQ(upper->points.size(), 4u);
    for (int b = 0; b < 4; ++b) {
        const std::vector<double>& c = q[static_cast<std::size_t>(b)];
        const double total = c[0] + c[1] + c[2];
        EXPECT_DOUBLE_EQ(upper->points[static_cast<std::size_t>(b)].y, c[2] / total);
        EXPECT_DOUBLE_EQ(middle->points[static_cast<std::size_t>(b)].y, (c[1] + c[2]) / total);  // cumulative
    }
}

TEST_F(PlotCommandTest, EachPlotTypeHasItsSeriesWindowsAndAxes) {
    run(kPartialCredit);
    run("plot mcc 1 ! rawdata=no, legend=no;");
    const CGraph& mcc = lastGraph();
    EXPECT_EQ(mcc.options.title, "Item 1 - ICC");
    EXPECT_EQ(mcc.options.heading, "Characteristic Curve(s) By Category");
    EXPECT_EQ(mcc.options.xTitle, "Latent Trait (logits)");
    EXPECT_EQ(mcc.options.yTitle, "Probability");
    EXPECT_EQ(mcc.options.legend, 0);
    ASSERT_EQ(mcc.series.size(), 2u);  // from the second category, no observations
    EXPECT_EQ(mcc.series[0].name, "Item 1 Model Probability Category 2");
    ASSERT_EQ(mcc.options.notes.size(), 3u);
    EXPECT_EQ(mcc.options.notes[1].mid(0, 13), "Threshold(s):");
    EXPECT_EQ(mcc.options.notes[2].mid(0, 9), "Delta(s):");
    EXPECT_EQ(mcc.options.yMin, 0.0);
    EXPECT_EQ(mcc.options.yMax, 1.0);

    run("plot tcc ! minscale=-3, maxscale=2;");
    const CGraph& tcc = lastGraph();
    EXPECT_EQ(tcc.options.title, "Items 1-6 - Test CC");
    ASSERT_EQ(tcc.series.size(), 1u);
    EXPECT_EQ(tcc.series[0].name, "Test Characteristic Curve:1-6");
    ASSERT_EQ(tcc.series[0].points.size(), 51u);
    EXPECT_NEAR(tcc.series[0].points.back().x, 2.0, 1e-12);
    EXPECT_EQ(tcc.options.yMax, 12.0);  // six items of top score 2

    run("plot tinfo 1-2:4;");
    EXPECT_EQ(lastGraph().series[0].name, "Test Information Function: 1-2, 4");
    EXPECT_EQ(lastGraph().options.title, "Items 1-2, 4 - Test Information");
    // The sum of the item informations.
    run("plot iinfo 1-2:4 ! overlay=yes;");
    const CGraph& items = lastGraph();
    ASSERT_EQ(items.series.size(), 3u);
    const CGraph& test = s.shell.graphs()[s.shell.graphs().size() - 2];
    for (std::size_t j = 0; j < 101; j += 10)
        EXPECT_NEAR(test.series[0].points[j].y,
                    items.series[0].points[j].y + items.series[1].points[j].y + items.series[2].points[j].y, 1e-12);

    // One window per item, observations in the colour of their curve.
    const std::size_t before = s.shell.graphs().size();
    run("plot icc 5-6 ! joinraw=no;");
    ASSERT_EQ(s.shell.graphs().size(), before + 2);
    const CGraph& six = lastGraph();
    EXPECT_EQ(six.options.title, "Item 6 - ICC");
    ASSERT_EQ(six.series.size(), 6u);
    EXPECT_EQ(six.series[3].name, "Group 1 Item 6 Category 1");
    EXPECT_EQ(six.series[3].style.lineColour, six.series[0].style.lineColour);
    EXPECT_NE(six.series[1].style.lineColour, six.series[0].style.lineColour);
    EXPECT_EQ(six.series[3].style.showPoints, 1);
    EXPECT_EQ(six.series[3].style.showLine, 0);
    EXPECT_EQ(six.series[3].points.size(), 10u);

    // The same series twice in one window.
    s.shell.clear();
    run("plot expected 2 2 ! overlay=yes;");
    ASSERT_EQ(s.shell.warnings.size(), 2u);
    EXPECT_EQ(s.shell.warnings[0], "You have already plotted 'Item 2 Category 1'.");
    EXPECT_EQ(lastGraph().series.size(), 2u);
}

TEST_F(PlotCommandTest, TheScaleRunsOverTheLatentDisplayRangeAtLeastFromMinusFiveToFive) {
    run(kPartialCredit);
    s.session.ws.est.displayLow = -3.0f;
    s.session.ws.est.displayHigh = 3.0f;
    run("plot iinfo 1;");
    ASSERT_EQ(lastGraph().series[0].points.size(), 101u);
    EXPECT_EQ(lastGraph().series[0].points.front().x, -5.0);
    s.session.ws.est.displayLow = -6.5f;
    run("plot iinfo 1;");
    EXPECT_EQ(lastGraph().series[0].points.front().x, -6.5);
    EXPECT_EQ(lastGraph().series[0].points.size(), 116u);
    // The dialog's own defaults stand for the default range.
    run("plot iinfo 1 ! minscale=999, maxscale=-999;");
    EXPECT_EQ(lastGraph().series[0].points.size(), 116u);
    // The statement the plot dialog composes when nothing is changed.
    const std::size_t before = s.shell.graphs().size();
    run("plot icc! gins=all,bins=10,mincut=-5,maxcut=5,minscale=999,maxscale=-999,raw=yes,overlay=no,legend=no,"
        "table=no,estimates=latent,bintype=size;");
    ASSERT_EQ(s.shell.graphs().size(), before + 6);
    EXPECT_EQ(lastGraph().series[0].points.size(), 116u);
    EXPECT_EQ(lastGraph().series.size(), 6u);
    run("plot iinfo 1 ! minscale=-1.25, maxscale=0.75;");
    EXPECT_EQ(lastGraph().series[0].points.size(), 21u);
    EXPECT_NEAR(lastGraph().series[0].points.back().x, 0.75, 1e-12);
    s.shell.clear();
    EXPECT_EQ(s.run("plot iinfo 1 ! minscale=-60, maxscale=60;"), -1);
    ASSERT_EQ(s.shell.errors.size(), 1u);
}

// The pictures' legends say what each series is; the series keep the names
// that plot documents store.
TEST_F(PlotCommandTest, LegendsSayWhatIsDrawn) {
    run(kPartialCredit);
    run("plot ccc 2;");
    const CGraph& ccc = lastGraph();
    ASSERT_NE(series(ccc, "Item 2 Model Probability Category 2"), nullptr);
    EXPECT_EQ(series(ccc, "Item 2 Model Probability Category 2")->legendText(), "Item 2 model P(X >= 1)");
    EXPECT_EQ(series(ccc, "Item 2 Model Probability Category 3")->legendText(), "Item 2 model P(X >= 2)");
    ASSERT_NE(series(ccc, "Group 1 Item 2 Category 2"), nullptr);
    EXPECT_EQ(series(ccc, "Group 1 Item 2 Category 2")->legendText(), "Item 2 observed P(X >= 1)");

    run("plot expected 3;");
    ASSERT_NE(series(lastGraph(), "Group 1 Item 3 Category 1"), nullptr);
    EXPECT_EQ(series(lastGraph(), "Group 1 Item 3 Category 1")->legendText(), "Item 3 observed mean score");
    EXPECT_EQ(series(lastGraph(), "Item 3 Expected Score")->legendText(), "Item 3 Expected Score");
    EXPECT_EQ(lastGraph().options.xTitle, "Latent Trait (logits)");

    run("plot icc 4;");
    EXPECT_EQ(series(lastGraph(), "Group 1 Item 4 Category 3")->legendText(), "Item 4 observed Category 3");

    // Groups by their value, each in a colour of its own.
    std::filesystem::copy_file(std::filesystem::path(ORDENA_TEST_DATA) / "scripts/plot_groups/groups.dat",
                               s.dir() / "groups.dat");
    run("datafile groups.dat; format pid 1-3 school 5 responses 7-9; group school; model item;"
        "estimate ! fit=no;");
    run("plot icc 2 ! group=school, estimates=wle;");
    const CGraph& g = lastGraph();
    const CSeries* a = series(g, "Group 1 Item 2 Category 2");
    const CSeries* c = series(g, "Group 3 Item 2 Category 2");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(a->legendText(), "Item 2 observed Category 2, school a");
    EXPECT_EQ(c->legendText(), "Item 2 observed Category 2, school c");
    EXPECT_NE(a->style.pointColour, c->style.pointColour);
    EXPECT_EQ(a->style.pointColour, series(g, "Item 2 Model Probability Category 2")->style.lineColour);

    // Two dimensions: the axis names the dimension of the items drawn.
    std::filesystem::copy_file(std::filesystem::path(ORDENA_TEST_DATA) / "scripts/plot_dimensions/twodim.dat",
                               s.dir() / "twodim.dat");
    run("reset; datafile twodim.dat; format pid 1-3 x 5-8 responses 10-15;"
        "scores (0,1) (0,1) () ! item(1-3); scores (0,1) () (0,1) ! item(4-6); model item; estimate ! fit=no;");
    run("plot icc 4;");
    EXPECT_EQ(lastGraph().options.xTitle, "Latent Trait (logits): Dimension 2");
    run("plot icc 1, 4 ! overlay=yes;");
    EXPECT_EQ(lastGraph().options.xTitle, "Latent Trait (logits): Dimension 1, Dimension 2");
}

TEST_F(PlotCommandTest, EachGroupIsCountedApart) {
    std::filesystem::copy_file(std::filesystem::path(ORDENA_TEST_DATA) / "scripts/plot_groups/groups.dat",
                               s.dir() / "groups.dat");
    run("datafile groups.dat; format pid 1-3 school 5 responses 7-9; group school; model item;"
        "estimate ! fit=no; show cases ! estimates=wle >> w.txt;");
    const std::map<int, double> theta = wleFile(s.readFile("w.txt"));
    std::string line;
    // Per school and bin (cut at -0.5 and 0.5) the responses 0 and 1 to item 2.
    std::map<char, std::vector<std::vector<double>>> count;
    std::istringstream data(s.readFile("groups.dat"));
    for (int n = 1; std::getline(data, line); ++n) {
        if (line.size() < 9 || line[7] == ' ') continue;
        const double x = theta.at(n);
        const int bin = x <= -0.5 ? 0 : x <= 0.5 ? 1 : 2;
        auto& c = count[line[4]];
        c.resize(3, std::vector<double>(2, 0.0));
        c[static_cast<std::size_t>(bin)][static_cast<std::size_t>(line[7] - '0')] += 1;
    }
    run("plot icc 2 ! group=school, drop=b, estimates=wle, bins=3, bintype=width, mincut=-0.5, maxcut=0.5;");
    const CGraph& g = lastGraph();
    EXPECT_EQ(series(g, "Group 2 Item 2 Category 2"), nullptr);  // school b dropped
    for (const auto& [school, number] : {std::pair<char, int>{'a', 1}, {'c', 3}}) {
        const CSeries* upper = series(g, "Group " + std::to_string(number) + " Item 2 Category 2");
        ASSERT_NE(upper, nullptr) << school;
        std::size_t point = 0;
        for (const std::vector<double>& bin : count[school]) {
            if (bin[0] + bin[1] == 0) continue;
            ASSERT_LT(point, upper->points.size());
            EXPECT_DOUBLE_EQ(upper->points[point++].y, bin[1] / (bin[0] + bin[1])) << school;
        }
        EXPECT_EQ(point, upper->points.size());
    }
}

TEST_F(PlotCommandTest, JointMaximumLikelihoodTakesOnlyWleOrMle) {
    run("datafile verbagg.dat; format pid 1-3 responses 35-40; model item + item*step; estimate ! method=jml;");
    s.shell.clear();
    EXPECT_EQ(s.run("plot icc 1 ! estimates=eap;"), -1);
    ASSERT_EQ(s.shell.errors.size(), 1u);
    EXPECT_EQ(s.shell.errors[0], "Estimate type must be wle or mle with JML estimation");
    EXPECT_EQ(s.run("plot icc 1 ! estimates=latent;"), -1);
    // By default the WLE estimates place the cases.
    run("plot icc 1 ! table=yes;");
    EXPECT_NE(s.shell.output.find("Estimator type is weighted maximum likelihood"), std::string::npos);
}

}  // namespace
}  // namespace ordena
