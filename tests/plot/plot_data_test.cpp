// Binned observations: cut points of both bin types, the bin of an
// estimate, and the finished proportions, cumulative proportions and
// average scores; the curve formulas at points worked by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/data_table.h"
#include "plot/model_curves.h"
#include "plot/plot_data.h"
#include "plot/plot_options.h"
#include "support/capture_shell.h"

namespace ordena {
namespace {

TEST(PlotDataTest, CutPointsOfEqualWidthAndOfEqualSize) {
    const std::vector<double> five = widthCuts(5, -2.0, 2.0);
    ASSERT_EQ(five.size(), 4u);
    EXPECT_EQ(five[0], -2.0);
    EXPECT_NEAR(five[1], -2.0 / 3.0, 1e-15);
    EXPECT_NEAR(five[2], 2.0 / 3.0, 1e-15);
    EXPECT_EQ(five[3], 2.0);
    EXPECT_EQ(widthCuts(2, -1.0, 1.0), std::vector<double>{-1.0});

    // Ten values, four bins: the values at positions 2, 4 and 7 (ceil(10 k / 4) - 1).
    const std::vector<double> values = {9, 0, 8, 1, 7, 2, 6, 3, 5, 4};
    EXPECT_EQ(sizeCuts(4, values), (std::vector<double>{2, 4, 7}));
    // Eight values, four bins: two in each.
    EXPECT_EQ(sizeCuts(4, {1, 2, 3, 4, 5, 6, 7, 8}), (std::vector<double>{2, 4, 6}));
    EXPECT_EQ(sizeCuts(3, {}), (std::vector<double>{0, 0}));
}

TEST(PlotDataTest, BinsTakeWhatLiesUpToTheirCutAndFinishIntoProportions) {
    test::ScopedCapture capture;
    PlotData d;
    ASSERT_EQ(d.resize(4, 3), 1);
    ASSERT_EQ(d.setCuts({-1.0, 0.0, 1.0}), 1);
    EXPECT_EQ(d.binOf(-5.0), 0);
    EXPECT_EQ(d.binOf(-1.0), 0);  // a cut belongs to the bin below it
    EXPECT_EQ(d.binOf(-0.5), 1);
    EXPECT_EQ(d.binOf(1.0), 2);
    EXPECT_EQ(d.binOf(1.5), 3);
    // Equal estimates that differ only in their last bits share the cut's bin.
    EXPECT_EQ(d.binOf(-1.0 + 1e-14), 0);
    EXPECT_EQ(d.binOf(1.0 + 2e-14), 2);
    EXPECT_EQ(d.binOf(1.0 + 1e-6), 3);
    EXPECT_EQ(d.binOf(1e-12), 2);  // near zero the tolerance is relative
    d.add(-2.0, 0);
    d.add(-1.5, 1);
    d.add(-1.0, 1);
    d.add(-1.5, 2);
    d.add(0.5, 2);
    d.add(3.0, 0);
    d.add(std::nan(""), 0);  // passed over
    d.add(2.0, 7);           // no such column
    PlotData cumulative = d, average = d;
    d.finish(PlotFinish::Proportions, {});
    EXPECT_TRUE(d.hasData[0]);
    EXPECT_FALSE(d.hasData[1]);
    EXPECT_DOUBLE_EQ(d.means[0], (-2.0 - 1.5 - 1.0 - 1.5) / 4);
    EXPECT_DOUBLE_EQ(d.proportions[0][0], 0.25);
    EXPECT_DOUBLE_EQ(d.proportions[0][1], 0.5);
    EXPECT_DOUBLE_EQ(d.proportions[0][2], 0.25);
    EXPECT_DOUBLE_EQ(d.proportions[1][0], 0.0);
    EXPECT_DOUBLE_EQ(d.means[3], 3.0);

    cumulative.finish(PlotFinish::Cumulative, {});
    EXPECT_DOUBLE_EQ(cumulative.proportions[0][0], 1.0);
    EXPECT_DOUBLE_EQ(cumulative.proportions[0][1], 0.75);
    EXPECT_DOUBLE_EQ(cumulative.proportions[0][2], 0.25);

    average.finish(PlotFinish::AverageScore, {0.0, 1.0, 2.0});
    ASSERT_EQ(average.columns(), 1);
    EXPECT_DOUBLE_EQ(average.frequencies[0][0], 4.0);
    EXPECT_DOUBLE_EQ(average.proportions[0][0], (0 + 1 + 1 + 2) / 4.0);
    EXPECT_DOUBLE_EQ(average.proportions[2][0], 2.0);
    EXPECT_TRUE(capture.shell.errors.empty());

    EXPECT_EQ(d.resize(1, 3), -1);
    EXPECT_EQ(d.resize(4, 0), -1);
    EXPECT_EQ(d.bins(), 4);  // unchanged
    EXPECT_EQ(d.setCuts({0.0, 1.0}), -1);
    EXPECT_EQ(capture.shell.errors,
              (std::vector<std::string>{"resize plotdata error", "resize plotdata error", "Illegal set cuts call"}));
}

TEST(PlotDataTest, TheDataTableShowsLimitsCountsAndProportions) {
    PlotData d;
    d.resize(3, 2);
    d.setCuts({-0.5, 0.5});
    d.add(-1.0, 0);
    d.add(-1.0, 1);
    d.add(0.0, 1);
    d.add(2.0, 1);
    d.finish(PlotFinish::Proportions, {});
    d.labels = {"DATA TABLE FOR ICC PLOT", "Estimator type is plausible value", "", "Item 2", "", ""};
    d.columnLabels = {"0", "1"};
    const std::vector<MString> lines = dataTableLines(d, PlotFinish::Proportions);
    const std::vector<MString> expected = {
        "DATA TABLE FOR ICC PLOT",
        "Estimator type is plausible value",
        "Item 2",
        "",
        "Bin         Low         High        Mean",
        "Bin 1        <-      -0.50000    -1.00000",
        "Bin 2    -0.50000     0.50000     0.00000",
        "Bin 3     0.50000          ->     2.00000",
        "",
        "Frequencies",
        "            0     1    Tot.",
        "Bin 1       1     1       2",
        "Bin 2       0     1       1",
        "Bin 3       0     1       1",
        "Total       1     3       4",
        "",
        "Proportions",
        "            0     1    Tot.",
        "Bin 1   0.500 0.500   0.500",
        "Bin 2   0.000 1.000   0.250",
        "Bin 3   0.000 1.000   0.250",
        "Average 0.250 0.750   1.000",
    };
    EXPECT_EQ(lines, expected);
}

TEST(ModelCurvesTest, CurvesOfAThreeCategoryItemAtWorkedPoints) {
    // Logits 0, -1, -1 with scores 0, 1, 2: at theta = 1 the numerators
    // are 1, 1 and e.
    ItemCurveModel m;
    m.logits = {0.0, -1.0, -1.0};
    m.scores = {0.0, 1.0, 2.0};
    const double e = std::exp(1.0), sum = 2.0 + e;
    const std::vector<double> p = categoryProbabilities(m, 1.0);
    EXPECT_NEAR(p[0], 1 / sum, 1e-15);
    EXPECT_NEAR(p[1], 1 / sum, 1e-15);
    EXPECT_NEAR(p[2], e / sum, 1e-15);
    const std::vector<double> c = cumulativeProbabilities(m, 1.0);
    EXPECT_NEAR(c[0], 1.0, 1e-15);
    EXPECT_NEAR(c[1], (1 + e) / sum, 1e-15);
    EXPECT_NEAR(c[2], e / sum, 1e-15);
    const double mean = (1 + 2 * e) / sum;
    EXPECT_NEAR(expectedScore(m, 1.0), mean, 1e-15);
    EXPECT_NEAR(itemInformation(m, 1.0), (1 + 4 * e) / sum - mean * mean, 1e-15);
    // A category never observed takes no part.
    m.first = 1;
    const std::vector<double> q = categoryProbabilities(m, 1.0);
    EXPECT_EQ(q[0], 0.0);
    EXPECT_NEAR(q[1], 1 / (1 + e), 1e-15);
    // Far out nothing overflows.
    EXPECT_NEAR(categoryProbabilities(m, 800.0)[2], 1.0, 1e-15);

    const std::vector<double> theta = curveAbilities(-5.0, 5.0);
    ASSERT_EQ(theta.size(), 101u);
    EXPECT_EQ(theta.back(), 5.0);
    EXPECT_EQ(curveAbilities(-1.25, 0.75).size(), 21u);
}

TEST(PlotOptionsTest, ItemListsAndTheirText) {
    bool all = true;
    std::vector<ItemRange> ranges;
    ASSERT_EQ(parseItemList("1-3:5 7,9", all, ranges), 1);
    EXPECT_FALSE(all);
    ASSERT_EQ(ranges.size(), 4u);
    EXPECT_EQ(ranges[0].first, 1);
    EXPECT_EQ(ranges[0].last, 3);
    ASSERT_EQ(parseItemList(" ALL ", all, ranges), 1);
    EXPECT_TRUE(all);
    for (const char* bad : {"", "0", "3-1", "1-", "a", "2.5", "-1", "1--2", "99999999999999999999"})
        EXPECT_EQ(parseItemList(bad, all, ranges), -1) << bad;

    test::ScopedCapture capture;
    PlotSettings s;
    s.allItems = false;
    s.items = {{2, 3}, {5, 5}};
    std::vector<int> items;
    ASSERT_EQ(expandItemList(s, 5, items), 1);
    EXPECT_EQ(items, (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(itemListText(items), "2-3, 5");
    EXPECT_EQ(expandItemList(s, 4, items), -1);
    EXPECT_EQ(capture.shell.errors, std::vector<std::string>{"Generalised item-list format error"});
    EXPECT_EQ(itemListText({0, 1, 2, 3}), "1-4");
}

}  // namespace
}  // namespace ordena
