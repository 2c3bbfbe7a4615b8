// Graphs and series: points and extents, the item characteristic curve and
// scatter-file series, file names from titles, and the shell's default graph
// operations that keep graphs in memory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include "base/shell.h"
#include "plot/graph.h"
#include "support/capture_shell.h"

namespace ordena {
namespace {

TEST(SeriesTest, PointsWidenTheExtentAndStopAtTheCapacity) {
    CSeries s;
    EXPECT_TRUE(s.append(2.0, -1.0));
    EXPECT_EQ(s.minX, 2.0);
    EXPECT_EQ(s.maxX, 2.0);
    EXPECT_EQ(s.minY, -1.0);
    EXPECT_EQ(s.maxY, -1.0);
    s.append(-3.0, 4.0);
    s.append(5.0, -7.5);
    s.append(0.0, 0.0);
    EXPECT_EQ(s.minX, -3.0);
    EXPECT_EQ(s.maxX, 5.0);
    EXPECT_EQ(s.minY, -7.5);
    EXPECT_EQ(s.maxY, 4.0);
    ASSERT_EQ(s.points.size(), 4u);
    EXPECT_EQ(s.points[1], (PlotPoint{-3.0, 4.0}));  // insertion order

    EXPECT_FALSE(s.append(std::nan(""), 1.0));
    EXPECT_FALSE(s.append(1.0, std::numeric_limits<double>::infinity()));
    EXPECT_EQ(s.points.size(), 4u);

    CSeries full;
    for (int i = 0; i < kSeriesCapacity; ++i) ASSERT_TRUE(full.append(i, i));
    EXPECT_FALSE(full.append(-1.0, 0.0));
    EXPECT_EQ(full.points.size(), 1002u);
    EXPECT_EQ(full.minX, 0.0);
}

TEST(SeriesTest, ItemCharacteristicCurveFromMinusFourToFourInEightySteps) {
    CSeries s;
    MString message;
    ASSERT_EQ(makeIccSeries(s, 0.5, 1.7, -4.0, 4.0, 80, message), 1);
    ASSERT_EQ(s.points.size(), 81u);
    EXPECT_EQ(s.points.back().x, 4.0);  // exactly
    EXPECT_EQ(s.points.front().x, -4.0);
    EXPECT_EQ(s.type, kSeriesIcc);
    EXPECT_EQ(s.location, 0.5);
    EXPECT_EQ(s.slope, 1.7);
    EXPECT_EQ(s.steps, 80);
    for (std::size_t j = 0; j < s.points.size(); ++j) {
        const double theta = -4.0 + 0.1 * static_cast<double>(j);
        EXPECT_NEAR(s.points[j].x, theta, 1e-12);
        // The logistic written another way.
        EXPECT_NEAR(s.points[j].y, 0.5 * (1.0 + std::tanh(0.5 * 1.7 * (theta - 0.5))), 1e-12);
    }
    EXPECT_NEAR(s.points[45].y, 0.5, 1e-12);  // theta = 0.5, the location

    CSeries untouched;
    untouched.append(1, 1);
    EXPECT_EQ(makeIccSeries(untouched, 0, 1, 2.0, 2.0, 10, message), -1);
    EXPECT_EQ(message, "Theta Max must be larger than Theta Min!");
    EXPECT_EQ(untouched.points.size(), 1u);
    EXPECT_EQ(makeIccSeries(untouched, 0, 1, -1.0, 1.0, 0, message), -1);
}

TEST(SeriesTest, ScatterFileEndsAtTheLastCompletePair) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "ordena-scatter-test.txt";
    {
        std::ofstream out(file);
        out << "1 2\n3.5 -4\n  5e-1   6\n7\n";
    }
    CSeries s;
    s.append(99, 99);
    MString message;
    ASSERT_EQ(readScatterFile(s, MString(file.string()), message), 1);
    EXPECT_TRUE(message.isEmpty());
    ASSERT_EQ(s.points.size(), 3u);
    EXPECT_EQ(s.points[1], (PlotPoint{3.5, -4.0}));
    EXPECT_EQ(s.points[2], (PlotPoint{0.5, 6.0}));
    EXPECT_EQ(s.maxY, 6.0);  // the old point is gone
    EXPECT_EQ(s.source, MString(file.string()));
    EXPECT_EQ(s.type, kSeriesScatter);

    {
        std::ofstream out(file);
        for (int i = 0; i < kSeriesCapacity + 5; ++i) out << i << ' ' << -i << '\n';
    }
    ASSERT_EQ(readScatterFile(s, MString(file.string()), message), 1);
    EXPECT_EQ(s.points.size(), 1002u);
    EXPECT_FALSE(message.isEmpty());
    std::filesystem::remove(file);

    EXPECT_EQ(readScatterFile(s, "no-such-file.txt", message), -1);
    EXPECT_EQ(message, "File 'no-such-file.txt' not found, try again.");
    EXPECT_EQ(s.points.size(), 1002u);
}

TEST(GraphTest, SeriesNamesAreUniqueAndAtMostNinetyNineCharacters) {
    CGraph g;
    EXPECT_EQ(g.addSeries("Item 1 Expected Score"), 0);
    EXPECT_EQ(g.addSeries("Item 2 Expected Score"), 1);
    EXPECT_EQ(g.addSeries("Item 1 Expected Score"), -1);
    EXPECT_EQ(g.addSeries(""), -1);
    EXPECT_EQ(g.series.size(), 2u);
    EXPECT_EQ(g.find("Item 2 Expected Score"), 1);
    EXPECT_EQ(g.find("Item 3 Expected Score"), -1);
    const int at = g.addSeries(MString::repeat('x', 150));
    ASSERT_EQ(at, 2);
    EXPECT_EQ(g.series[2].name.length(), 99);
    EXPECT_EQ(g.addSeries(MString::repeat('x', 120)), -1);  // the same after the cut
}

TEST(GraphTest, FileNamesFromTitles) {
    EXPECT_EQ(graphFileName("Item 3 - ICC"), "Item 3 - ICC");
    EXPECT_EQ(graphFileName("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
    EXPECT_EQ(graphFileName(".."), "_.");
    EXPECT_EQ(graphFileName("-rf"), "_rf");
    EXPECT_EQ(graphFileName(MString("tab\there\n")), "tab_here_");
    EXPECT_EQ(graphFileName(""), "plot");
    EXPECT_EQ(graphFileName(MString::repeat('y', 300)).length(), 200);
    EXPECT_EQ(axisPrecision(0), 0);
    EXPECT_EQ(axisPrecision(10), 10);
    EXPECT_EQ(axisPrecision(11), 2);
    EXPECT_EQ(axisPrecision(-1), 2);
}

TEST(ShellGraphsTest, DefaultOperationsKeepTheGraphsInMemory) {
    test::CaptureShell shell;  // the default graph operations
    const int a = shell.openGraph("Item 1 - ICC");
    const int b = shell.openGraph("Item 2 - ICC");
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    const int s = shell.createSeries(b, "Item 2 Model Probability Category 2");
    EXPECT_EQ(s, 0);
    EXPECT_EQ(shell.createSeries(b, "Item 2 Model Probability Category 2"), -1);
    EXPECT_EQ(shell.createSeries(7, "x"), -1);
    shell.appendPoint(b, s, -1.0, 0.25);
    shell.appendPoint(b, s, 1.0, 0.75);
    shell.appendPoint(b, 5, 1.0, 0.75);  // no such series: passed over
    SeriesStyle style;
    style.lineColour = kRed;
    style.showPoints = 1;
    shell.setSeriesStyle(b, s, style);
    SeriesStyle bad;
    bad.pointSize = 12;
    shell.setSeriesStyle(b, s, bad);  // refused
    GraphOptions options;
    options.title = "ignored";
    options.heading = "Characteristic Curve(s) By Score";
    options.xTitle = "Latent Trait (logits)";
    options.legend = 0;
    shell.setGraphOptions(b, options);
    EXPECT_EQ(shell.finishGraphs(shell), 1);

    ASSERT_EQ(shell.graphs().size(), 2u);
    const CGraph& g = shell.graphs()[1];
    EXPECT_EQ(g.options.title, "Item 2 - ICC");
    EXPECT_EQ(g.options.heading, "Characteristic Curve(s) By Score");
    EXPECT_EQ(g.options.legend, 0);
    ASSERT_EQ(g.series.size(), 1u);
    EXPECT_EQ(g.series[0].points.size(), 2u);
    EXPECT_EQ(g.series[0].maxY, 0.75);
    EXPECT_EQ(g.series[0].style, style);
    EXPECT_TRUE(shell.graphs()[0].series.empty());
}

}  // namespace
}  // namespace ordena
