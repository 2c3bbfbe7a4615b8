// Graphs of named series of (x, y) points: what a plot window shows, what a
// plot document (.zgf) stores and what the graph painter draws. No window
// code here; every front end builds its plot windows on these types.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"

namespace ordena {

inline constexpr int kSeriesNameMax = 99;     // characters of a series name or source
inline constexpr int kSeriesCapacity = 1002;  // points of one series

enum SeriesType { kSeriesIcc = 0, kSeriesScatter = 1 };

// The lists the series dialog offers; a display attribute is a position in
// one of them.
inline constexpr const char* kLineStyleNames[] = {"Solid", "Dot", "Dash", "Dash-dot", "Dash-dot-dot"};
inline constexpr const char* kPointStyleNames[] = {"Crosshair", "Filled Circle",   "Circle",  "Filled Square",
                                                   "Square",    "Filled Triangle", "Triangle"};
inline constexpr const char* kColourNames[] = {"Blue",       "Green",     "Cyan",        "Red",          "Magenta",
                                               "Yellow",     "Grey",      "White/Black", "White",        "Dark Blue",
                                               "Dark Green", "Dark Cyan", "Dark Red",    "Dark Magenta", "Dark Yellow",
                                               "Dark Grey",  "Black"};
inline constexpr const char* kColourSchemeNames[] = {"Default (white background)", "Alternate (black background)"};
inline constexpr int kLineStyles = 5;
inline constexpr int kPointStyles = 7;
inline constexpr int kColours = 17;
inline constexpr int kColourSchemes = 2;

enum LineStyle { kLineSolid = 0, kLineDot = 1, kLineDash = 2, kLineDashDot = 3, kLineDashDotDot = 4 };
enum PointStyle {
    kPointCrosshair = 0,
    kPointFilledCircle = 1,
    kPointCircle = 2,
    kPointFilledSquare = 3,
    kPointSquare = 4,
    kPointFilledTriangle = 5,
    kPointTriangle = 6
};
enum Colour {
    kBlue = 0,
    kGreen = 1,
    kCyan = 2,
    kRed = 3,
    kMagenta = 4,
    kYellow = 5,
    kGrey = 6,
    kForeground = 7,  // "White/Black": white on the black scheme, black on the white one
    kWhite = 8,
    kDarkBlue = 9,
    kDarkGreen = 10,
    kDarkCyan = 11,
    kDarkRed = 12,
    kDarkMagenta = 13,
    kDarkYellow = 14,
    kDarkGrey = 15,
    kBlack = 16
};

// The nine display attributes of a series, stored in this order.
struct SeriesStyle {
    std::int32_t lineStyle = kLineSolid;
    std::int32_t lineColour = kBlue;
    std::int32_t pointStyle = kPointFilledCircle;
    std::int32_t pointColour = kBlue;
    std::int32_t pointSize = 4;   // one digit, 0 to 9
    std::int32_t showLine = 1;    // the points joined by a line
    std::int32_t showPoints = 0;  // a marker at every point
    std::int32_t inLegend = 1;
    std::int32_t visible = 1;

    // True when every attribute lies in its list or range.
    bool valid() const;
    bool operator==(const SeriesStyle&) const = default;
};

struct PlotPoint {
    double x = 0.0, y = 0.0;
    bool operator==(const PlotPoint&) const = default;
};

class CSeries {
public:
    MString name;    // unique within its graph, at most 99 characters
    MString source;  // the file a scatter series was read from
    std::int32_t type = kSeriesScatter;
    std::vector<PlotPoint> points;  // in insertion order, at most kSeriesCapacity
    // Smallest and largest x and y of the points; all 0 without points.
    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;
    double location = 0.0, slope = 1.0;  // a and b of an item characteristic curve
    std::int32_t steps = 0;              // its step count
    SeriesStyle style;
    // What the legend of a picture says for the series; the name when empty.
    // Not kept in plot documents, whose series keep their names.
    MString label;

    const MString& legendText() const { return label.isEmpty() ? name : label; }
    // Stores the point after the last one and widens the extent. False when
    // the series is full or a coordinate is not finite (nothing is stored).
    bool append(double x, double y);
    void clear();
    // What a plot document holds: the label, a matter of the picture, is
    // left out, so that a graph read back from its document equals it.
    bool operator==(const CSeries& o) const {
        return name == o.name && source == o.source && type == o.type && points == o.points && minX == o.minX &&
               maxX == o.maxX && minY == o.minY && maxY == o.maxY && location == o.location && slope == o.slope &&
               steps == o.steps && style == o.style;
    }
};

// The graph-level options: the texts drawn around the plot, the axes and
// the picture's size.
struct GraphOptions {
    MString title;    // the window title; the batch front end names its files after it
    MString heading;  // drawn above the plot
    MString xTitle, yTitle;
    std::vector<MString> notes;     // lines drawn under the heading
    std::int32_t colourScheme = 0;  // position in kColourSchemeNames
    // Digits after the point of the axis numbers, 0 to 10 (2 when outside).
    std::int32_t xPrecision = 1, yPrecision = 1;
    std::int32_t legend = 1;  // show the legend
    std::int32_t grid = 1;    // light lines at the ticks
    // An axis either follows the points of the visible series (auto) or
    // shows the fixed range.
    std::int32_t xAuto = 1, yAuto = 1;
    double xMin = 0.0, xMax = 1.0, yMin = 0.0, yMax = 1.0;
    std::int32_t width = 960, height = 720;  // the picture in pixels

    bool operator==(const GraphOptions&) const = default;
};

// The number of digits an axis shows: the setting, or 2 when it is outside
// 0 to 10.
int axisPrecision(std::int32_t setting);

class CGraph {
public:
    GraphOptions options;
    std::vector<CSeries> series;

    // Position of the series of that name, or -1.
    int find(const MString& name) const;
    // A new empty series at the end: its position, or -1 when the name is
    // empty or already used (nothing is added). Names longer than 99
    // characters are cut.
    int addSeries(const MString& name);
    bool operator==(const CGraph&) const = default;
};

// A file name made from a graph's title (without extension): characters
// that are unsafe in a file name become "_", as does a leading "." or "-";
// an empty title gives "plot". At most 200 bytes.
MString graphFileName(const MString& title);

// An item characteristic curve series: from location a, slope b, the
// lowest and highest theta and the step count e, the points theta_min + j h
// (j = 0 .. e - 1, h = (theta_max - theta_min) / e) and theta_max itself,
// each with probability exp(b (theta - a)) / (1 + exp(b (theta - a))).
// 1, or -1 with the message (nothing changed).
int makeIccSeries(CSeries& series, double a, double b, double thetaMin, double thetaMax, int steps, MString& message);

// A scatter series from a text file of point pairs: the points are replaced
// by the pairs read until a read does not yield two finite numbers (at most
// kSeriesCapacity), and the file becomes the source. 1, or -1 with the
// message when the file cannot be opened (nothing changed). A note about
// pairs left unread goes to message with the result 1.
int readScatterFile(CSeries& series, const MString& fileName, MString& message);

}  // namespace ordena
