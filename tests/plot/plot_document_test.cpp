// Plot documents: the stored form of a series byte by byte, round trips,
// and damaged or hostile files refused without harm.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "plot/plot_document.h"

namespace ordena {
namespace {

// Little-endian fields written independently of the code under test.
void putInt(std::string& s, std::int32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xff);
}
void putReal(std::string& s, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) s += static_cast<char>((u >> (8 * i)) & 0xff);
}
void putText(std::string& s, const std::string& t) {
    putInt(s, static_cast<std::int32_t>(t.size() + 1));
    s += t;
    s += '\0';
}

CGraph sampleGraph() {
    CGraph g;
    GraphOptions& o = g.options;
    o.title = "Item 4 - ICC";
    o.heading = "Characteristic Curve(s) By Score";
    o.xTitle = "Latent Trait (logits)";
    o.yTitle = "Probability";
    o.notes = {"Threshold(s):  -0.81  0.93", "Delta(s):  -0.52  0.64", "Weighted MNSQ   1.04"};
    o.colourScheme = 1;
    o.xPrecision = 0;
    o.yPrecision = 3;
    o.legend = 0;
    o.grid = 0;
    o.xAuto = 0;
    o.xMin = -5.0;
    o.xMax = 5.0;
    o.yMin = -0.125;
    o.yMax = 1.0 / 3.0;
    o.width = 1200;
    o.height = 333;
    const int a = g.addSeries("Item 4 Model Probability Category 2");
    for (int j = 0; j <= 100; ++j) g.series[a].append(-5.0 + j * 0.1, 1.0 / (1.0 + std::exp(2.5 - j * 0.1)));
    const int b = g.addSeries("Group 1 Item 4 Category 2");
    g.series[b].source = "bins.txt";
    g.series[b].style = {kLineDashDot, kDarkMagenta, kPointTriangle, kGrey, 9, 0, 1, 0, 1};
    g.series[b].append(0.1, 0.2);
    g.series[b].append(-0.3, 0.4);
    const int c = g.addSeries("empty");
    g.series[c].type = kSeriesIcc;
    g.series[c].location = -0.7;
    g.series[c].slope = 1.25;
    g.series[c].steps = 40;
    return g;
}

TEST(PlotDocumentTest, TheSeriesRecordsFollowTheStoredForm) {
    CGraph g;
    g.options.title = "T";
    const int s = g.addSeries("ab");
    CSeries& series = g.series[static_cast<std::size_t>(s)];
    series.source = "src.txt";
    series.type = kSeriesIcc;
    series.append(1.5, -2.0);
    series.append(-0.25, 3.0);
    series.location = 0.75;
    series.slope = 2.0;
    series.steps = 12;
    series.style = {1, 2, 3, 4, 5, 0, 1, 0, 1};
    const std::string bytes = encodePlotDocument(g);

    std::string record;
    putText(record, "ab");
    putText(record, "src.txt");
    putInt(record, 0);  // type ICC
    putInt(record, 2);
    for (double v : {1.5, -2.0, -0.25, 3.0}) putReal(record, v);
    for (double v : {-0.25, 1.5, -2.0, 3.0}) putReal(record, v);  // extent
    putReal(record, 0.75);
    putReal(record, 2.0);
    putInt(record, 12);
    for (int v : {1, 2, 3, 4, 5, 0, 1, 0, 1}) putInt(record, v);
    std::string count;
    putInt(count, 1);
    ASSERT_GT(bytes.size(), record.size() + 4);
    EXPECT_EQ(bytes.substr(bytes.size() - record.size()), record);
    EXPECT_EQ(bytes.substr(bytes.size() - record.size() - 4, 4), count);
    EXPECT_EQ(bytes.substr(0, 4), "OZGF");
}

TEST(PlotDocumentTest, WrittenDocumentsReadBackIdenticallyByteForByte) {
    const CGraph g = sampleGraph();
    const std::string first = encodePlotDocument(g);
    CGraph back;
    MString message;
    ASSERT_EQ(decodePlotDocument(first, back, message), 1) << message;
    EXPECT_EQ(back, g);
    EXPECT_EQ(encodePlotDocument(back), first);

    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "ordena-zgf-test";
    std::filesystem::create_directories(dir);
    const MString file((dir / "Item 4 - ICC.zgf").string());
    ASSERT_EQ(writePlotDocument(g, file, message), 1) << message;
    CGraph fromFile;
    ASSERT_EQ(readPlotDocument(file, fromFile, message), 1) << message;
    EXPECT_EQ(fromFile, g);
    std::ifstream in(file.str(), std::ios::binary);
    const std::string onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(onDisk, first);
    std::filesystem::remove_all(dir);

    EXPECT_EQ(readPlotDocument("no-such.zgf", fromFile, message), -1);
    EXPECT_EQ(message, "File 'no-such.zgf' not found, try again.");
    EXPECT_EQ(writePlotDocument(g, "no-such-dir/x.zgf", message), -1);
    EXPECT_EQ(message, "Error in creating file.");
}

TEST(PlotDocumentTest, EveryTruncationIsRefusedAndLeavesTheGraphAlone) {
    const std::string bytes = encodePlotDocument(sampleGraph());
    CGraph kept;
    kept.options.title = "kept";
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        MString message;
        ASSERT_EQ(decodePlotDocument(std::string_view(bytes).substr(0, n), kept, message), -1) << n;
        EXPECT_FALSE(message.isEmpty());
    }
    EXPECT_EQ(kept.options.title, "kept");
    MString message;
    EXPECT_EQ(decodePlotDocument(bytes + "x", kept, message), -1);
    EXPECT_EQ(message, "The plot document is damaged: bytes after the last series");
}

// A document with one series whose fields the test sets.
std::string oneSeries(std::int32_t type, std::int32_t points, const std::string& name, std::int32_t colour,
                      double firstX) {
    CGraph g;
    std::string header = encodePlotDocument(g);
    header.resize(header.size() - 4);  // the series count goes next
    putInt(header, 1);
    putText(header, name);
    putText(header, "");
    putInt(header, type);
    putInt(header, points);
    for (int i = 0; i < points && i < 4; ++i) {
        putReal(header, i == 0 ? firstX : i);
        putReal(header, 0.5);
    }
    for (int i = 0; i < 6; ++i) putReal(header, 0.0);
    putInt(header, 0);
    for (int v : {0, colour, 1, 0, 4, 1, 0, 1, 1}) putInt(header, v);
    return header;
}

TEST(PlotDocumentTest, HostileFieldsAreRefusedWithAReason) {
    CGraph g;
    MString message;
    ASSERT_EQ(decodePlotDocument(oneSeries(1, 2, "s", 3, 0.0), g, message), 1) << message;
    ASSERT_EQ(g.series.size(), 1u);

    EXPECT_EQ(decodePlotDocument(oneSeries(2, 2, "s", 3, 0.0), g, message), -1);
    EXPECT_EQ(message, "ERROR: Unknown Series type.");
    EXPECT_EQ(decodePlotDocument(oneSeries(1, 1003, "s", 3, 0.0), g, message), -1);
    EXPECT_EQ(decodePlotDocument(oneSeries(1, -1, "s", 3, 0.0), g, message), -1);
    EXPECT_EQ(decodePlotDocument(oneSeries(1, 0x7fffffff, "s", 3, 0.0), g, message), -1);
    EXPECT_EQ(decodePlotDocument(oneSeries(1, 2, "s", 17, 0.0), g, message), -1);
    EXPECT_EQ(message, "The plot document is damaged: a display attribute outside its list");
    EXPECT_EQ(decodePlotDocument(oneSeries(1, 2, "", 3, 0.0), g, message), -1);
    EXPECT_EQ(decodePlotDocument(oneSeries(1, 2, std::string(100, 'n'), 3, 0.0), g, message), -1);
    EXPECT_EQ(decodePlotDocument(oneSeries(1, 2, "s", 3, std::nan("")), g, message), -1);
    EXPECT_EQ(message, "The plot document is damaged: a number that is not finite");
    EXPECT_EQ(g.series.size(), 1u);  // still the first document's

    // A huge series count, a text length beyond the file, a missing zero.
    std::string bytes = encodePlotDocument(CGraph());
    std::string huge = bytes.substr(0, bytes.size() - 4);
    putInt(huge, 2000000000);
    EXPECT_EQ(decodePlotDocument(huge, g, message), -1);
    std::string longText = bytes.substr(0, 8);
    putInt(longText, 0x7ffffff0);
    EXPECT_EQ(decodePlotDocument(longText, g, message), -1);
    std::string unclosed = bytes;
    unclosed[8 + 4] = 'x';  // the empty title's zero byte
    EXPECT_EQ(decodePlotDocument(unclosed, g, message), -1);
    EXPECT_EQ(message, "The plot document is damaged: a text without its closing zero");
    std::string version = bytes;
    version[4] = 2;
    EXPECT_EQ(decodePlotDocument(version, g, message), -1);
    EXPECT_EQ(decodePlotDocument("PNG\x89", g, message), -1);
    EXPECT_EQ(message, "The plot document is damaged: it is not a plot document");

    // Two series of one name.
    CGraph twice;
    twice.addSeries("a");
    twice.addSeries("b");
    std::string doubled = encodePlotDocument(twice);
    const std::size_t at = doubled.rfind(std::string("b\0", 2));
    ASSERT_NE(at, std::string::npos);
    doubled[at] = 'a';
    EXPECT_EQ(decodePlotDocument(doubled, g, message), -1);
    EXPECT_EQ(message, "The plot document is damaged: two series of one name");
}

TEST(PlotDocumentTest, AStoredDocumentStillReadsAndWritesTheSameBytes) {
    // Written by an earlier build; a change of the stored form breaks it.
    const MString file = MString(ORDENA_TEST_DATA) + "/plot/sample.zgf";
    CGraph g;
    MString message;
    ASSERT_EQ(readPlotDocument(file, g, message), 1) << message;
    const GraphOptions& o = g.options;
    EXPECT_EQ(o.title, "Item 2 - ICC");
    EXPECT_EQ(o.heading, "Characteristic Curve(s) By Score");
    EXPECT_EQ(o.xTitle, "Latent Trait (logits)");
    EXPECT_EQ(o.yTitle, "Probability");
    ASSERT_EQ(o.notes.size(), 3u);
    EXPECT_EQ(o.notes[1], "Threshold(s):  0.12   Weighted MNSQ  0.98");
    EXPECT_EQ(o.notes[2], "Delta(s):  0.12");
    EXPECT_EQ(o.colourScheme, 0);
    EXPECT_EQ(o.yPrecision, 1);
    EXPECT_EQ(o.xAuto, 0);
    EXPECT_EQ(o.xMin, -4.0);
    EXPECT_EQ(o.xMax, 4.0);
    EXPECT_EQ(o.width, 960);
    EXPECT_EQ(o.height, 720);
    ASSERT_EQ(g.series.size(), 2u);

    // A logistic curve of location 0.12 and slope 1 in 40 steps over -4 to 4.
    const CSeries& curve = g.series[0];
    EXPECT_EQ(curve.name, "Item 2 Model Probability Category 2");
    EXPECT_EQ(curve.type, kSeriesIcc);
    EXPECT_EQ(curve.location, 0.12);
    EXPECT_EQ(curve.slope, 1.0);
    EXPECT_EQ(curve.steps, 40);
    ASSERT_EQ(curve.points.size(), 41u);
    for (std::size_t j = 0; j < curve.points.size(); ++j) {
        const double theta = -4.0 + 0.2 * static_cast<double>(j);
        EXPECT_NEAR(curve.points[j].x, theta, 1e-12) << j;
        EXPECT_NEAR(curve.points[j].y, 1.0 / (1.0 + std::exp(0.12 - theta)), 1e-14) << j;
    }
    EXPECT_EQ(curve.points.front().x, -4.0);
    EXPECT_EQ(curve.points.back().x, 4.0);
    // The extent is that of the points: the curve rises throughout.
    EXPECT_EQ(curve.minX, -4.0);
    EXPECT_EQ(curve.maxX, 4.0);
    EXPECT_EQ(curve.minY, curve.points.front().y);
    EXPECT_EQ(curve.maxY, curve.points.back().y);

    // Observed proportions at five bin means, drawn as dashed points.
    const CSeries& observed = g.series[1];
    EXPECT_EQ(observed.name, "Group 1 Item 2 Category 2");
    EXPECT_EQ(observed.type, kSeriesScatter);
    EXPECT_EQ(observed.style.lineStyle, kLineDash);
    EXPECT_EQ(observed.style.showPoints, 1);
    ASSERT_EQ(observed.points.size(), 5u);
    const double means[] = {-1.8, -0.7, 0.1, 0.9, 1.9};
    for (std::size_t j = 0; j < 5; ++j) {
        EXPECT_EQ(observed.points[j].x, means[j]);
        EXPECT_GT(observed.points[j].y, 0.0);
        EXPECT_LT(observed.points[j].y, 1.0);
    }
    EXPECT_EQ(observed.minX, -1.8);
    EXPECT_EQ(observed.maxX, 1.9);
    EXPECT_EQ(observed.minY, observed.points.front().y);
    EXPECT_EQ(observed.maxY, observed.points.back().y);
    std::ifstream in(file.str(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(encodePlotDocument(g), bytes);
}

}  // namespace
}  // namespace ordena
