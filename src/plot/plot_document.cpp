#include "plot/plot_document.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "base/file_kind.h"
#include "data/work_file_io.h"

namespace ordena {

namespace {

constexpr char kMagic[4] = {'O', 'Z', 'G', 'F'};
constexpr std::int32_t kVersion = 1;
// Bounds that no document of this system comes near; a file beyond them is
// refused before anything is allocated for it.
constexpr std::int32_t kTextMax = 4096;
constexpr std::int32_t kNotesMax = 100;
constexpr std::int32_t kSeriesMax = 10000;
constexpr std::int32_t kPictureMin = 16, kPictureMax = 10000;
constexpr long long kFileMax = 256LL << 20;

class Writer {
public:
    void int32(std::int32_t v) {
        unsigned char b[4];
        storeInt32(b, v);
        out.append(reinterpret_cast<const char*>(b), 4);
    }
    void real(double v) {
        unsigned char b[8];
        storeDouble(b, v);
        out.append(reinterpret_cast<const char*>(b), 8);
    }
    void text(const MString& t) {
        int32(t.length() + 1);
        out += t.str();
        out += '\0';
    }
    std::string out;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : in_(bytes) {}

    bool int32(std::int32_t& v) {
        if (!need(4)) return false;
        v = loadInt32(at());
        pos_ += 4;
        return true;
    }
    bool real(double& v) {
        if (!need(8)) return false;
        v = loadDouble(at());
        pos_ += 8;
        if (!std::isfinite(v)) return fail("a number that is not finite");
        return true;
    }
    // A text of at most `most` characters.
    bool text(MString& t, std::int32_t most) {
        std::int32_t n = 0;
        if (!int32(n)) return false;
        if (n < 1 || n - 1 > most) return fail("a text of impossible length");
        if (!need(static_cast<std::size_t>(n))) return false;
        if (in_[pos_ + static_cast<std::size_t>(n) - 1] != '\0') return fail("a text without its closing zero");
        t = MString(std::string(in_.substr(pos_, static_cast<std::size_t>(n) - 1)));
        pos_ += static_cast<std::size_t>(n);
        return true;
    }
    bool skip(std::size_t n) {
        if (!need(n)) return false;
        pos_ += n;
        return true;
    }
    bool flag(std::int32_t& v) {
        if (!int32(v)) return false;
        if (v != 0 && v != 1) return fail("a switch that is neither 0 nor 1");
        return true;
    }
    bool fail(const char* why) {
        if (reason.isEmpty()) reason = why;
        return false;
    }
    std::size_t left() const { return in_.size() - pos_; }
    bool done() const { return pos_ == in_.size(); }

    MString reason;

private:
    bool need(std::size_t n) {
        if (left() < n) return fail("it ends too early");
        return true;
    }
    const unsigned char* at() const { return reinterpret_cast<const unsigned char*>(in_.data()) + pos_; }

    std::string_view in_;
    std::size_t pos_ = 0;
};

void encodeStyle(Writer& w, const SeriesStyle& s) {
    for (std::int32_t v : {s.lineStyle, s.lineColour, s.pointStyle, s.pointColour, s.pointSize, s.showLine,
                           s.showPoints, s.inLegend, s.visible})
        w.int32(v);
}

bool decodeStyle(Reader& r, SeriesStyle& s) {
    for (std::int32_t* v : {&s.lineStyle, &s.lineColour, &s.pointStyle, &s.pointColour, &s.pointSize, &s.showLine,
                            &s.showPoints, &s.inLegend, &s.visible})
        if (!r.int32(*v)) return false;
    return s.valid() || r.fail("a display attribute outside its list");
}

// The smallest stored series: a one-character name, an empty source and no
// points.
constexpr std::size_t kSeriesMinBytes = 6 + 5 + 4 + 4 + 6 * 8 + 4 + 9 * 4;

bool decodeSeries(Reader& r, CSeries& s) {
    if (!r.text(s.name, kSeriesNameMax) || !r.text(s.source, kSeriesNameMax)) return false;
    if (s.name.isEmpty()) return r.fail("a series without a name");
    if (!r.int32(s.type)) return false;
    if (s.type != kSeriesIcc && s.type != kSeriesScatter) return r.fail("ERROR: Unknown Series type.");
    std::int32_t count = 0;
    if (!r.int32(count)) return false;
    if (count < 0 || count > kSeriesCapacity) return r.fail("a series with an impossible number of points");
    if (r.left() < static_cast<std::size_t>(count) * 16) return r.fail("it ends too early");
    s.points.resize(static_cast<std::size_t>(count));
    for (PlotPoint& p : s.points)
        if (!r.real(p.x) || !r.real(p.y)) return false;
    return r.real(s.minX) && r.real(s.maxX) && r.real(s.minY) && r.real(s.maxY) && r.real(s.location) &&
           r.real(s.slope) && r.int32(s.steps) && decodeStyle(r, s.style);
}

bool decodeOptions(Reader& r, GraphOptions& o) {
    if (!r.text(o.title, kTextMax) || !r.text(o.heading, kTextMax) || !r.text(o.xTitle, kTextMax) ||
        !r.text(o.yTitle, kTextMax))
        return false;
    std::int32_t notes = 0;
    if (!r.int32(notes)) return false;
    if (notes < 0 || notes > kNotesMax) return r.fail("an impossible number of notes");
    o.notes.resize(static_cast<std::size_t>(notes));
    for (MString& note : o.notes)
        if (!r.text(note, kTextMax)) return false;
    if (!r.int32(o.colourScheme)) return false;
    if (o.colourScheme < 0 || o.colourScheme >= kColourSchemes) return r.fail("an unknown colour scheme");
    if (!r.int32(o.xPrecision) || !r.int32(o.yPrecision) || !r.flag(o.legend) || !r.flag(o.grid) || !r.flag(o.xAuto) ||
        !r.flag(o.yAuto) || !r.real(o.xMin) || !r.real(o.xMax) || !r.real(o.yMin) || !r.real(o.yMax) ||
        !r.int32(o.width) || !r.int32(o.height))
        return false;
    if (o.width < kPictureMin || o.width > kPictureMax || o.height < kPictureMin || o.height > kPictureMax)
        return r.fail("an impossible picture size");
    return true;
}

}  // namespace

std::string encodePlotDocument(const CGraph& graph) {
    Writer w;
    w.out.append(kMagic, 4);
    w.int32(kVersion);
    const GraphOptions& o = graph.options;
    w.text(o.title);
    w.text(o.heading);
    w.text(o.xTitle);
    w.text(o.yTitle);
    w.int32(static_cast<std::int32_t>(o.notes.size()));
    for (const MString& note : o.notes) w.text(note);
    for (std::int32_t v : {o.colourScheme, o.xPrecision, o.yPrecision, o.legend, o.grid, o.xAuto, o.yAuto}) w.int32(v);
    for (double v : {o.xMin, o.xMax, o.yMin, o.yMax}) w.real(v);
    w.int32(o.width);
    w.int32(o.height);
    w.int32(static_cast<std::int32_t>(graph.series.size()));
    for (const CSeries& s : graph.series) {
        w.text(s.name);
        w.text(s.source);
        w.int32(s.type);
        w.int32(static_cast<std::int32_t>(s.points.size()));
        for (const PlotPoint& p : s.points) {
            w.real(p.x);
            w.real(p.y);
        }
        for (double v : {s.minX, s.maxX, s.minY, s.maxY, s.location, s.slope}) w.real(v);
        w.int32(s.steps);
        encodeStyle(w, s.style);
    }
    return std::move(w.out);
}

int decodePlotDocument(std::string_view bytes, CGraph& graph, MString& message) {
    Reader r(bytes);
    CGraph g;
    std::int32_t version = 0, count = 0;
    bool ok = bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view(kMagic, 4);
    if (!ok) r.fail("it is not a plot document");
    ok = ok && r.skip(4) && r.int32(version);
    if (ok && version != kVersion) ok = r.fail("a version this program does not know");
    ok = ok && decodeOptions(r, g.options) && r.int32(count);
    if (ok && (count < 0 || count > kSeriesMax || r.left() < static_cast<std::size_t>(count) * kSeriesMinBytes))
        ok = r.fail("an impossible number of series");
    for (std::int32_t i = 0; ok && i < count; ++i) {
        CSeries s;
        ok = decodeSeries(r, s);
        if (ok && g.find(s.name) >= 0) ok = r.fail("two series of one name");
        if (ok) g.series.push_back(std::move(s));
    }
    if (ok && !r.done()) ok = r.fail("bytes after the last series");
    if (!ok) {
        message = "The plot document is damaged: " + r.reason;
        if (r.reason == "ERROR: Unknown Series type.") message = r.reason;
        return -1;
    }
    graph = std::move(g);
    return 1;
}

int writePlotDocument(const CGraph& graph, const MString& fileName, MString& message) {
    const std::string bytes = encodePlotDocument(graph);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(
        fileName.str().find('\0') == std::string::npos ? openForWriting(fileName.str(), "wb") : nullptr, std::fclose);
    if (!f) {
        message = "Error in creating file.";
        return -1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    if (std::fclose(f.release()) != 0 || !written) {
        message = "Error writing plot document '" + fileName + "'.";
        return -1;
    }
    return 1;
}

int readPlotDocument(const MString& fileName, CGraph& graph, MString& message) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(
        fileName.str().find('\0') == std::string::npos ? openRegularForReading(fileName.str(), "rb") : nullptr, std::fclose);
    if (!f) {
        message = "File '" + fileName + "' not found, try again.";
        return -1;
    }
    std::string bytes;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
        bytes.append(buffer, n);
        if (static_cast<long long>(bytes.size()) > kFileMax) {
            message = "The plot document is damaged: it is too large";
            return -1;
        }
    }
    if (std::ferror(f.get())) {
        message = "The file '" + fileName + "' cannot be read.";
        return -1;
    }
    return decodePlotDocument(bytes, graph, message);
}

}  // namespace ordena
