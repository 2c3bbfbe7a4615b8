#include "app/render/graph_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ordena::render {

namespace {

struct Fonts {
    QFont heading, note, title, tick, legend;
};

QFont font(double pixels, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    f.setBold(bold);
    return f;
}

Fonts fontsFor(double s) { return {font(19 * s, true), font(13 * s), font(15 * s), font(13 * s), font(13 * s)}; }

QString text(const MString& t) { return QString::fromUtf8(t.c_str(), t.length()); }

bool drawn(const CSeries& s) { return s.style.visible != 0 && !s.points.empty(); }
bool listed(const CSeries& s) { return s.style.visible != 0 && s.style.inLegend != 0; }

// The extent of the visible points.
void dataRange(const CGraph& g, bool alongX, double& lo, double& hi) {
    bool any = false;
    for (const CSeries& s : g.series) {
        if (!drawn(s)) continue;
        for (const PlotPoint& p : s.points) {
            const double v = alongX ? p.x : p.y;
            if (!std::isfinite(v)) continue;
            if (!any) lo = hi = v;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            any = true;
        }
    }
    if (!any) {
        lo = 0.0;
        hi = 1.0;
    }
}

QPen pen(const QColor& c, double width, Qt::PenStyle style = Qt::SolidLine) {
    QPen p(c, width, style, Qt::RoundCap, Qt::RoundJoin);
    if (style != Qt::SolidLine) p.setCapStyle(Qt::FlatCap);
    return p;
}

Qt::PenStyle penStyle(int lineStyle) {
    switch (lineStyle) {
        case kLineDot: return Qt::DotLine;
        case kLineDash: return Qt::DashLine;
        case kLineDashDot: return Qt::DashDotLine;
        case kLineDashDotDot: return Qt::DashDotDotLine;
        default: return Qt::SolidLine;
    }
}

QColor foreground(int scheme) { return scheme == 1 ? QColor(235, 235, 235) : QColor(32, 32, 32); }
QColor frameColour(int scheme) { return scheme == 1 ? QColor(200, 200, 200) : QColor(70, 70, 70); }
QColor gridColour(int scheme) { return scheme == 1 ? QColor(60, 60, 60) : QColor(226, 226, 226); }

double lineWidth(double s) { return 2.2 * s; }
double markerRadius(const SeriesStyle& st, double s) { return (2.0 + std::clamp(st.pointSize, 0, 9)) * 0.9 * s; }

void drawMarker(QPainter& p, QPointF c, const SeriesStyle& st, double s, const QColor& back, int scheme) {
    const double r = markerRadius(st, s);
    const QColor colour = seriesColour(st.pointColour, scheme);
    const bool filled = st.pointStyle == kPointFilledCircle || st.pointStyle == kPointFilledSquare ||
                        st.pointStyle == kPointFilledTriangle;
    if (filled) {
        p.setPen(pen(back, 1.2 * s));
        p.setBrush(colour);
    } else {
        p.setPen(pen(colour, 1.8 * s));
        p.setBrush(Qt::NoBrush);
    }
    switch (st.pointStyle) {
        case kPointCrosshair:
            p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
            p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
            break;
        case kPointFilledSquare:
        case kPointSquare: {
            const double h = r * 0.85;
            p.drawRect(QRectF(c.x() - h, c.y() - h, 2 * h, 2 * h));
            break;
        }
        case kPointFilledTriangle:
        case kPointTriangle: {
            QPainterPath path;
            path.moveTo(c.x(), c.y() - r * 1.1);
            path.lineTo(c.x() + r, c.y() + r * 0.75);
            path.lineTo(c.x() - r, c.y() + r * 0.75);
            path.closeSubpath();
            p.drawPath(path);
            break;
        }
        default: p.drawEllipse(c, r, r); break;
    }
}

// Legend entries: the visible series that are listed, in order.
std::vector<const CSeries*> legendEntries(const CGraph& g) {
    std::vector<const CSeries*> out;
    for (const CSeries& s : g.series)
        if (listed(s)) out.push_back(&s);
    return out;
}

double sampleWidth(double s) { return 34 * s; }

}  // namespace

QColor seriesColour(int colour, int scheme) {
    // Tones that print well and stay apart from each other.
    static const QColor table[kColours] = {
        QColor(31, 100, 180), QColor(44, 150, 44),   QColor(23, 170, 190), QColor(214, 39, 40),   QColor(190, 50, 170),
        QColor(225, 180, 0),  QColor(127, 127, 127), QColor(0, 0, 0),      QColor(255, 255, 255), QColor(16, 50, 120),
        QColor(20, 100, 30),  QColor(10, 110, 120),  QColor(140, 25, 25),  QColor(110, 30, 110),  QColor(150, 120, 10),
        QColor(70, 70, 70),   QColor(0, 0, 0)};
    if (colour == kForeground) return scheme == 1 ? QColor(255, 255, 255) : QColor(0, 0, 0);
    return colour >= 0 && colour < kColours ? table[colour] : foreground(scheme);
}

QColor backgroundColour(int scheme) { return scheme == 1 ? QColor(0, 0, 0) : QColor(255, 255, 255); }

QString axisNumber(double value, int precision) {
    char buffer[64];
    if (std::fabs(value) >= 1e12)
        std::snprintf(buffer, sizeof buffer, "%.3g", value);
    else
        std::snprintf(buffer, sizeof buffer, "%.*f", precision, value);
    QString s = QString::fromLatin1(buffer);
    // "-0.0" reads as a different number from "0.0".
    if (s.startsWith(QLatin1Char('-')) &&
        s.mid(1).count(QLatin1Char('0')) + s.mid(1).count(QLatin1Char('.')) == s.length() - 1)
        s.remove(0, 1);
    return s;
}

QPointF GraphLayout::map(double dx, double dy) const {
    auto place = [](double v, const Axis& a, double from, double length, bool invert) {
        double t = (v - a.min) / (a.max - a.min);
        if (!std::isfinite(t)) t = 0.0;
        // Far outside the frame nothing shows; keep the numbers bounded.
        t = std::clamp(t, -1e4, 1e4);
        return invert ? from + length * (1.0 - t) : from + length * t;
    };
    return {place(dx, x, plot.left(), plot.width(), false), place(dy, y, plot.top(), plot.height(), true)};
}

double pictureScale(int width, int height) { return std::max(0.25, std::min(width / 800.0, height / 600.0)); }

GraphLayout layoutGraph(const CGraph& graph, const QRectF& area, double scale) {
    const GraphOptions& o = graph.options;
    const double s = scale;
    const Fonts f = fontsFor(s);
    GraphLayout L;
    L.area = area;
    L.scale = s;
    double lo = 0, hi = 1;
    dataRange(graph, true, lo, hi);
    L.x = o.xAuto ? axisFor(lo, hi, true, axisPrecision(o.xPrecision))
                  : axisFor(o.xMin, o.xMax, false, axisPrecision(o.xPrecision));
    dataRange(graph, false, lo, hi);
    L.y = o.yAuto ? axisFor(lo, hi, true, axisPrecision(o.yPrecision))
                  : axisFor(o.yMin, o.yMax, false, axisPrecision(o.yPrecision));

    const double pad = 14 * s, tick = 5 * s;
    const QFontMetricsF hm(f.heading), nm(f.note), tm(f.title), km(f.tick), lm(f.legend);
    double top = area.top() + pad;
    if (!o.heading.isEmpty()) top += hm.height() + 4 * s;
    top += nm.height() * static_cast<double>(o.notes.size());
    if (!o.heading.isEmpty() || !o.notes.empty()) top += 10 * s;

    double labelWidth = 0;
    for (double v : L.y.ticks)
        labelWidth = std::max(labelWidth, km.horizontalAdvance(axisNumber(v, axisPrecision(o.yPrecision))));
    const double left = area.left() + pad + (o.yTitle.isEmpty() ? 0 : tm.height() + 8 * s) + labelWidth + 6 * s + tick;
    double lastLabel = 0;
    if (!L.x.ticks.empty()) lastLabel = km.horizontalAdvance(axisNumber(L.x.ticks.back(), axisPrecision(o.xPrecision)));
    const double right = area.right() - pad - std::max(10 * s, lastLabel / 2);

    // The legend below the plot, in as many columns as fit.
    double legendHeight = 0;
    const std::vector<const CSeries*> entries = o.legend ? legendEntries(graph) : std::vector<const CSeries*>{};
    const double rowHeight = lm.height() + 5 * s;
    if (!entries.empty()) {
        double column = 0;
        for (const CSeries* e : entries)
            column = std::max(column, sampleWidth(s) + 8 * s + lm.horizontalAdvance(text(e->legendText())) + 18 * s);
        const double available = std::max(1.0, area.width() - 2 * pad);
        const int n = static_cast<int>(entries.size());
        int columns = std::clamp(static_cast<int>(available / column), 1, n);
        int rows = (n + columns - 1) / columns;
        // The legend never takes more than a third of the picture.
        const int most = std::max(1, static_cast<int>((area.height() / 3 - 8 * s) / rowHeight));
        if (rows > most) rows = most;
        L.legendColumns = columns;
        L.legendEntries = std::min(n, rows * columns);
        legendHeight = rows * rowHeight + 8 * s;
        const double width = std::min(available, columns * column);
        L.legend =
            QRectF(area.left() + (area.width() - width) / 2, area.bottom() - pad - legendHeight, width, legendHeight);
    }
    double bottom = area.bottom() - pad - legendHeight - (legendHeight > 0 ? 10 * s : 0);
    if (!o.xTitle.isEmpty()) bottom -= tm.height() + 6 * s;
    bottom -= km.height() + 6 * s + tick;
    const double width = std::max(1.0, right - left), height = std::max(1.0, bottom - top);
    L.plot = QRectF(left, top, width, height);
    return L;
}

void paintGraph(QPainter& p, const CGraph& graph, const QRectF& area, double scale) {
    const GraphOptions& o = graph.options;
    const int scheme = std::clamp(o.colourScheme, 0, kColourSchemes - 1);
    const GraphLayout L = layoutGraph(graph, area, scale);
    const double s = L.scale, tick = 5 * s;
    const Fonts f = fontsFor(s);
    const QColor back = backgroundColour(scheme), fore = foreground(scheme);
    const int xp = axisPrecision(o.xPrecision), yp = axisPrecision(o.yPrecision);

    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(area, back);

    // Texts above the plot.
    double top = area.top() + 14 * s;
    if (!o.heading.isEmpty()) {
        const QFontMetricsF m(f.heading);
        p.setFont(f.heading);
        p.setPen(fore);
        p.drawText(QRectF(area.left(), top, area.width(), m.height()), Qt::AlignHCenter | Qt::AlignVCenter,
                   text(o.heading));
        top += m.height() + 4 * s;
    }
    if (!o.notes.empty()) {
        const QFontMetricsF m(f.note);
        p.setFont(f.note);
        p.setPen(frameColour(scheme));
        for (const MString& note : o.notes) {
            p.drawText(QRectF(area.left(), top, area.width(), m.height()), Qt::AlignHCenter | Qt::AlignVCenter,
                       text(note));
            top += m.height();
        }
    }

    // Grid, frame, ticks and numbers.
    const QRectF& plot = L.plot;
    if (o.grid) {
        p.setPen(pen(gridColour(scheme), 1.0 * s));
        for (double v : L.x.ticks) {
            const double x = L.map(v, 0).x();
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        }
        for (double v : L.y.ticks) {
            const double y = L.map(0, v).y();
            p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        }
    }
    p.setPen(pen(frameColour(scheme), 1.3 * s));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    p.setFont(f.tick);
    const QFontMetricsF km(f.tick);
    for (double v : L.x.ticks) {
        const double x = L.map(v, 0).x();
        p.setPen(pen(frameColour(scheme), 1.3 * s));
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + tick));
        p.setPen(fore);
        const QString label = axisNumber(v, xp);
        const double w = km.horizontalAdvance(label);
        p.drawText(QRectF(x - w / 2 - 2 * s, plot.bottom() + tick + 4 * s, w + 4 * s, km.height()), Qt::AlignCenter,
                   label);
    }
    for (double v : L.y.ticks) {
        const double y = L.map(0, v).y();
        p.setPen(pen(frameColour(scheme), 1.3 * s));
        p.drawLine(QPointF(plot.left() - tick, y), QPointF(plot.left(), y));
        p.setPen(fore);
        const QString label = axisNumber(v, yp);
        p.drawText(QRectF(area.left(), y - km.height() / 2, plot.left() - tick - 6 * s - area.left(), km.height()),
                   Qt::AlignRight | Qt::AlignVCenter, label);
    }
    const QFontMetricsF tm(f.title);
    p.setFont(f.title);
    p.setPen(fore);
    if (!o.xTitle.isEmpty()) {
        const double y = plot.bottom() + tick + 6 * s + km.height() + 6 * s;
        p.drawText(QRectF(plot.left(), y, plot.width(), tm.height()), Qt::AlignHCenter | Qt::AlignTop, text(o.xTitle));
    }
    if (!o.yTitle.isEmpty()) {
        p.save();
        p.translate(area.left() + 14 * s, plot.center().y());
        p.rotate(-90);
        p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), tm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   text(o.yTitle));
        p.restore();
    }

    // Lines first, then markers on top of every line.
    p.save();
    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    for (const CSeries& series : graph.series) {
        if (!drawn(series) || !series.style.showLine || series.points.size() < 2) continue;
        QPainterPath path;
        path.moveTo(L.map(series.points[0].x, series.points[0].y));
        for (std::size_t i = 1; i < series.points.size(); ++i)
            path.lineTo(L.map(series.points[i].x, series.points[i].y));
        const bool solid = series.style.lineStyle == kLineSolid;
        p.setPen(pen(seriesColour(series.style.lineColour, scheme), solid ? lineWidth(s) : 0.75 * lineWidth(s),
                     penStyle(series.style.lineStyle)));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    // A marker on the frame shows whole.
    p.setClipRect(plot.adjusted(-12 * s, -12 * s, 12 * s, 12 * s));
    for (const CSeries& series : graph.series) {
        if (!drawn(series) || !series.style.showPoints) continue;
        for (const PlotPoint& pt : series.points) {
            const QPointF c = L.map(pt.x, pt.y);
            const double r = markerRadius(series.style, s);
            if (c.x() < plot.left() - r || c.x() > plot.right() + r || c.y() < plot.top() - r ||
                c.y() > plot.bottom() + r)
                continue;
            drawMarker(p, c, series.style, s, back, scheme);
        }
    }
    p.restore();

    // The legend.
    const std::vector<const CSeries*> entries = o.legend ? legendEntries(graph) : std::vector<const CSeries*>{};
    if (L.legendEntries > 0) {
        const QFontMetricsF lm(f.legend);
        const double rowHeight = lm.height() + 5 * s;
        const double column = L.legend.width() / L.legendColumns;
        p.setPen(pen(gridColour(scheme), 1.0 * s));
        p.setBrush(Qt::NoBrush);
        p.drawRect(L.legend);
        p.setFont(f.legend);
        const bool cut = L.legendEntries < static_cast<int>(entries.size());
        for (int i = 0; i < L.legendEntries; ++i) {
            // Column by column, so that series made together stand together.
            const int rows = (L.legendEntries + L.legendColumns - 1) / L.legendColumns;
            const int row = i % rows, col = i / rows;
            const double x = L.legend.left() + col * column + 8 * s;
            const double y = L.legend.top() + 4 * s + row * rowHeight + rowHeight / 2;
            if (cut && i == L.legendEntries - 1) {
                p.setPen(fore);
                p.drawText(QRectF(x, y - rowHeight / 2, column, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                           QStringLiteral("and %1 more").arg(static_cast<int>(entries.size()) - i));
                break;
            }
            const SeriesStyle& st = entries[static_cast<std::size_t>(i)]->style;
            if (st.showLine) {
                const bool solid = st.lineStyle == kLineSolid;
                p.setPen(pen(seriesColour(st.lineColour, scheme), solid ? lineWidth(s) : 0.75 * lineWidth(s),
                             penStyle(st.lineStyle)));
                p.drawLine(QPointF(x, y), QPointF(x + sampleWidth(s), y));
            }
            if (st.showPoints) drawMarker(p, QPointF(x + sampleWidth(s) / 2, y), st, s, back, scheme);
            p.setPen(fore);
            p.drawText(QRectF(x + sampleWidth(s) + 8 * s, y - rowHeight / 2, column, rowHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, text(entries[static_cast<std::size_t>(i)]->legendText()));
        }
    }
    p.restore();
}

QImage renderGraph(const CGraph& graph, int width, int height) {
    width = std::clamp(width, 16, 10000);
    height = std::clamp(height, 16, 10000);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(backgroundColour(std::clamp(graph.options.colourScheme, 0, kColourSchemes - 1)));
    QPainter painter(&image);
    paintGraph(painter, graph, QRectF(0, 0, width, height), pictureScale(width, height));
    painter.end();
    return image;
}

QImage renderGraph(const CGraph& graph) { return renderGraph(graph, graph.options.width, graph.options.height); }

}  // namespace ordena::render
