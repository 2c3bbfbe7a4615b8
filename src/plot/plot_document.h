// Plot documents (.zgf): one graph, its options and its series, in a
// little-endian binary form. A document this system writes reads back
// identically; a damaged or hostile one is refused with a message.
//
// Layout: the four bytes "OZGF"; int32 version 1; the texts title,
// heading, x-axis title and y-axis title; int32 note count and the notes;
// int32 colour scheme, x precision, y precision, legend, grid, x auto and
// y auto; binary64 x min, x max, y min, y max; int32 width and height;
// int32 series count; then each series: name and source, type, point
// count, the points (x then y), the extent (smallest x, largest x,
// smallest y, largest y), location and slope as binary64, the step count
// and the nine display attributes as int32. A text is stored as int32
// n + 1, its n characters and a zero byte.
#pragma once

#include <string>
#include <string_view>

#include "base/mstring.h"
#include "plot/graph.h"

namespace ordena {

std::string encodePlotDocument(const CGraph& graph);
// 1, or -1 with the reason (graph unchanged).
int decodePlotDocument(std::string_view bytes, CGraph& graph, MString& message);

// The file forms: 1, or -1 with the message.
int writePlotDocument(const CGraph& graph, const MString& fileName, MString& message);
int readPlotDocument(const MString& fileName, CGraph& graph, MString& message);

}  // namespace ordena
