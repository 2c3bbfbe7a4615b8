#include "app/render/png_writer.h"

#include <png.h>

#include "app/render/graph_painter.h"
#include "app/render/offscreen.h"
#include "base/file_kind.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace ordena::render {

namespace {

// libpng's own handlers print to standard error outside the message
// format: its errors come back by the long jump alone (the caller reports
// them), its warnings are dropped.
[[noreturn]] void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onPngWarning(png_structp, png_const_charp) {}

// libpng reports errors by a long jump back here; nothing with a destructor
// lives in this frame.
bool encode(std::FILE* f, int width, int height, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool plainName(const MString& name) { return !name.isEmpty() && name.str().find('\0') == std::string::npos; }

}  // namespace

int writePng(const QImage& image, const MString& fileName, MString& message) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int width = rgb.width(), height = rgb.height();
    std::FILE* f = plainName(fileName) && width > 0 && height > 0 ? openForWriting(fileName.str(), "wb") : nullptr;
    if (f == nullptr) {
        message = "Error in creating file.";
        return -1;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(rgb.constScanLine(y));
    const bool encoded = encode(f, width, height, rows.data());
    const bool closed = std::fclose(f) == 0;
    if (!encoded || !closed) {
        std::remove(fileName.c_str());
        message = "Error writing PNG file.";
        return -1;
    }
    return 1;
}

int writeBitmap(const QImage& image, const MString& fileName, MString& message) {
    if (!plainName(fileName) || !image.save(QString::fromUtf8(fileName.c_str(), fileName.length()), "BMP")) {
        message = "Error in creating file.";
        return -1;
    }
    return 1;
}

int writeGraphPng(const CGraph& graph, const MString& fileName, MString& message) {
    if (!ensureGuiApplication()) {
        message = "Pictures cannot be drawn without a graphical application.";
        return -1;
    }
    return writePng(renderGraph(graph), fileName, message);
}

}  // namespace ordena::render
