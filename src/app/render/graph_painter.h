// Draws a graph on any QPainter: the plot windows of the workbench paint
// with it, and the batch front end renders pictures off screen with it. A
// graph is drawn the same way every time, so two renderings of one graph
// are identical.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <vector>

#include "plot/axis.h"
#include "plot/graph.h"

namespace ordena::render {

// Where the parts of a graph go in an area.
struct GraphLayout {
    QRectF area;  // the whole picture
    QRectF plot;  // the frame of the axes; data inside it
    Axis x, y;
    QRectF legend;  // empty without a legend
    int legendColumns = 0, legendEntries = 0;
    double scale = 1.0;

    // Data to picture coordinates.
    QPointF map(double dx, double dy) const;
};

// scale enlarges text, lines and markers (a zoom); 1 suits a picture of
// about 800 x 600.
GraphLayout layoutGraph(const CGraph& graph, const QRectF& area, double scale);
void paintGraph(QPainter& painter, const CGraph& graph, const QRectF& area, double scale);

// The graph's picture at the size of its options (or the size given), with
// a scale that suits it. Needs a QGuiApplication (see ensureGuiApplication).
QImage renderGraph(const CGraph& graph);
QImage renderGraph(const CGraph& graph, int width, int height);
// The scale renderGraph uses for a picture of that size.
double pictureScale(int width, int height);

// The colour of a colour number under a colour scheme.
QColor seriesColour(int colour, int scheme);
QColor backgroundColour(int scheme);

// An axis number: "%.<p>f" without a minus sign on zero.
QString axisNumber(double value, int precision);

}  // namespace ordena::render
