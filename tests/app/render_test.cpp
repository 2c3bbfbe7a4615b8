// The graph painter and the picture files: axes with sensible ticks, data
// drawn where its values put it, identical renderings, and PNG files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/render/graph_painter.h"
#include "app/render/offscreen.h"
#include "app/render/png_writer.h"

namespace ordena {
namespace {

class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(render::ensureGuiApplication()); }
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ordena-render-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string bytesOf(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::filesystem::path dir_;
};

TEST(AxisTest, TicksAreRoundNumbersNoFinerThanThePrecision) {
    Axis theta = axisFor(-5.0, 5.0, false, 0);
    EXPECT_EQ(theta.min, -5.0);
    EXPECT_EQ(theta.max, 5.0);
    EXPECT_EQ(theta.step, 1.0);
    ASSERT_EQ(theta.ticks.size(), 11u);
    EXPECT_EQ(theta.ticks.front(), -5.0);

    Axis p = axisFor(0.013, 0.87, true, 2);  // automatic: the ends become ticks
    EXPECT_DOUBLE_EQ(p.min, 0.0);
    EXPECT_DOUBLE_EQ(p.max, 0.9);
    EXPECT_DOUBLE_EQ(p.step, 0.1);
    EXPECT_EQ(p.ticks.size(), 10u);

    Axis coarse = axisFor(0.0, 0.05, false, 1);  // 0.005 steps cannot be told apart in one digit
    EXPECT_DOUBLE_EQ(coarse.step, 0.1);
    EXPECT_EQ(coarse.ticks.size(), 1u);

    Axis flat = axisFor(3.0, 3.0, true, 1);  // one value still gets a range
    EXPECT_LT(flat.min, 3.0);
    EXPECT_GT(flat.max, 3.0);
    Axis wild = axisFor(-1e308, 1e308, true, 2);
    EXPECT_GE(wild.ticks.size(), 2u);
    EXPECT_LE(wild.ticks.size(), 11u);

    EXPECT_EQ(render::axisNumber(-0.0001, 2).toStdString(), "0.00");
    EXPECT_EQ(render::axisNumber(-0.25, 1).toStdString(), "-0.2");
    EXPECT_EQ(render::axisNumber(3.0, 0).toStdString(), "3");
}

// A graph whose axes are fixed, so that the test knows where data must go.
CGraph knownGraph() {
    CGraph g;
    GraphOptions& o = g.options;
    o.title = "known";
    o.heading = "Test Information";
    o.xTitle = "Latent Trait (logits)";
    o.yTitle = "Information";
    o.xAuto = o.yAuto = 0;
    o.xMin = 0.0;
    o.xMax = 10.0;
    o.yMin = 0.0;
    o.yMax = 1.0;
    o.width = 800;
    o.height = 600;
    o.legend = 1;
    const int line = g.addSeries("level line");
    g.series[0].style.lineColour = kRed;
    for (int i = 0; i <= 10; ++i) g.series[static_cast<std::size_t>(line)].append(i, 0.25);
    const int point = g.addSeries("one point");
    CSeries& s = g.series[static_cast<std::size_t>(point)];
    s.style.showLine = 0;
    s.style.showPoints = 1;
    s.style.pointStyle = kPointFilledSquare;
    s.style.pointColour = kBlue;
    s.append(7.5, 0.75);
    return g;
}

bool near(QRgb pixel, const QColor& c, int tolerance = 40) {
    return std::abs(qRed(pixel) - c.red()) <= tolerance && std::abs(qGreen(pixel) - c.green()) <= tolerance &&
           std::abs(qBlue(pixel) - c.blue()) <= tolerance;
}

TEST_F(RenderTest, DataIsDrawnWhereItsValuesPutIt) {
    const CGraph g = knownGraph();
    const QImage image = render::renderGraph(g);
    ASSERT_EQ(image.width(), 800);
    ASSERT_EQ(image.height(), 600);
    const render::GraphLayout layout = render::layoutGraph(g, QRectF(0, 0, 800, 600), render::pictureScale(800, 600));
    const QRectF plot = layout.plot;
    ASSERT_GT(plot.width(), 400);
    ASSERT_GT(plot.height(), 250);
    // Data to pixels, computed here: x grows to the right, y grows upwards.
    auto at = [&](double x, double y) {
        return image.pixel(static_cast<int>(plot.left() + plot.width() * x / 10.0),
                           static_cast<int>(plot.top() + plot.height() * (1.0 - y)));
    };
    const QColor red = render::seriesColour(kRed, 0), blue = render::seriesColour(kBlue, 0);
    EXPECT_TRUE(near(at(2.0, 0.25), red));
    EXPECT_TRUE(near(at(8.5, 0.25), red));
    EXPECT_FALSE(near(at(2.0, 0.75), red));  // the mirror image stays empty
    EXPECT_TRUE(near(at(7.5, 0.75), blue));
    EXPECT_FALSE(near(at(7.5, 0.25), blue));
    EXPECT_FALSE(near(at(2.5, 0.75), blue));
    EXPECT_FALSE(near(at(1.3, 0.6), red) || near(at(1.3, 0.6), blue));
    // The frame of the axes on its edges.
    const QRgb frame = image.pixel(static_cast<int>(plot.left()), static_cast<int>(plot.center().y()));
    EXPECT_LT(qGray(frame), 150);
    const QRgb bottom = image.pixel(static_cast<int>(plot.center().x()) + 3, static_cast<int>(plot.bottom()));
    EXPECT_LT(qGray(bottom), 150);
    // Outside the frame, left of it and above the data, the background.
    EXPECT_EQ(image.pixel(static_cast<int>(plot.left()) - 40, static_cast<int>(plot.top()) + 5) & 0xffffff, 0xffffffu);
}

TEST_F(RenderTest, TwoRenderingsAreIdenticalAndSoAreTheirPngFiles) {
    CGraph g = knownGraph();
    g.options.xAuto = g.options.yAuto = 1;
    g.options.notes = {"Threshold(s):  -0.81  0.93"};
    const QImage a = render::renderGraph(g), b = render::renderGraph(g);
    EXPECT_TRUE(a == b);
    MString message;
    ASSERT_EQ(render::writePng(a, path("a.png"), message), 1) << message;
    ASSERT_EQ(render::writePng(b, path("b.png"), message), 1) << message;
    const std::string pa = bytesOf(path("a.png")), pb = bytesOf(path("b.png"));
    EXPECT_EQ(pa, pb);
    // The signature and the IHDR chunk: 800 x 600, 8-bit RGB.
    ASSERT_GT(pa.size(), 33u);
    EXPECT_EQ(pa.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(pa.substr(12, 4), "IHDR");
    EXPECT_EQ(pa.substr(16, 8), std::string("\0\0\x03\x20\0\0\x02\x58", 8));
    EXPECT_EQ(pa[24], 8);
    EXPECT_EQ(pa[25], 2);
    QImage back;
    ASSERT_TRUE(back.load(QString::fromStdString(path("a.png"))));
    EXPECT_TRUE(back.convertToFormat(QImage::Format_RGB32) == a.convertToFormat(QImage::Format_RGB32));

    EXPECT_EQ(render::writePng(a, path("missing/a.png"), message), -1);
    EXPECT_EQ(message, "Error in creating file.");
    EXPECT_EQ(render::writeBitmap(a, path("a.bmp"), message), 1);
    EXPECT_EQ(bytesOf(path("a.bmp")).substr(0, 2), "BM");
}

TEST_F(RenderTest, HostileGraphsStillDraw) {
    CGraph g;
    g.options.xAuto = 0;
    g.options.xMin = 1e308;
    g.options.xMax = -1e308;
    g.options.xPrecision = 99;
    g.options.colourScheme = 5;
    const int s = g.addSeries("far");
    g.series[0].style.lineStyle = 3;
    g.series[static_cast<std::size_t>(s)].append(-1e300, 1e300);
    g.series[static_cast<std::size_t>(s)].append(1e300, -1e300);
    g.series[static_cast<std::size_t>(s)].append(0, 0);
    for (int i = 0; i < 200; ++i) g.addSeries("series with a long name number " + itoMString(i));
    const QImage image = render::renderGraph(g, 300, 200);
    EXPECT_EQ(image.width(), 300);
}

}  // namespace
}  // namespace ordena
