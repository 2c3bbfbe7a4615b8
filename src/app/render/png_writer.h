// Picture files of graphs: PNG through libpng's write interface, bitmaps
// through Qt.
#pragma once

#include <QImage>

#include "base/mstring.h"
#include "plot/graph.h"

namespace ordena::render {

// 8-bit RGB, no time stamp, so one picture always gives the same bytes.
// 1, or -1 with "Error in creating file." or "Error writing PNG file.".
int writePng(const QImage& image, const MString& fileName, MString& message);
// A Windows bitmap file. 1, or -1 with the message.
int writeBitmap(const QImage& image, const MString& fileName, MString& message);

// The graph's picture at its size, as a PNG file (makes the QGuiApplication
// it needs). 1, or -1 with the message.
int writeGraphPng(const CGraph& graph, const MString& fileName, MString& message);

}  // namespace ordena::render
