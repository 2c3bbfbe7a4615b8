#include "plot/graph.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "base/file_kind.h"

namespace ordena {

bool SeriesStyle::valid() const {
    auto in = [](std::int32_t v, int n) { return v >= 0 && v < n; };
    return in(lineStyle, kLineStyles) && in(lineColour, kColours) && in(pointStyle, kPointStyles) &&
           in(pointColour, kColours) && in(pointSize, 10) && in(showLine, 2) && in(showPoints, 2) && in(inLegend, 2) &&
           in(visible, 2);
}

bool CSeries::append(double x, double y) {
    if (points.size() >= static_cast<std::size_t>(kSeriesCapacity) || !std::isfinite(x) || !std::isfinite(y))
        return false;
    if (points.empty()) {
        minX = maxX = x;
        minY = maxY = y;
    } else {
        if (x < minX)
            minX = x;
        else if (x > maxX)
            maxX = x;
        if (y < minY)
            minY = y;
        else if (y > maxY)
            maxY = y;
    }
    points.push_back({x, y});
    return true;
}

void CSeries::clear() {
    points.clear();
    minX = maxX = minY = maxY = 0.0;
}

int axisPrecision(std::int32_t setting) { return setting >= 0 && setting <= 10 ? setting : 2; }

int CGraph::find(const MString& name) const {
    for (std::size_t i = 0; i < series.size(); ++i)
        if (series[i].name == name) return static_cast<int>(i);
    return -1;
}

int CGraph::addSeries(const MString& name) {
    const MString cut = name.length() > kSeriesNameMax ? name.mid(0, kSeriesNameMax) : name;
    if (cut.isEmpty() || find(cut) >= 0) return -1;
    CSeries s;
    s.name = cut;
    series.push_back(std::move(s));
    return static_cast<int>(series.size()) - 1;
}

MString graphFileName(const MString& title) {
    std::string name = title.str().substr(0, 200);
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
    }
    if (!name.empty() && (name[0] == '.' || name[0] == '-')) name[0] = '_';
    return name.empty() ? MString("plot") : MString(name);
}

int makeIccSeries(CSeries& series, double a, double b, double thetaMin, double thetaMax, int steps, MString& message) {
    if (!(thetaMax > thetaMin)) {
        message = "Theta Max must be larger than Theta Min!";
        return -1;
    }
    if (steps < 1 || steps >= kSeriesCapacity || !std::isfinite(a) || !std::isfinite(b) ||
        !std::isfinite(thetaMax - thetaMin)) {
        message = "The curve needs finite values and from 1 to " + itoMString(kSeriesCapacity - 1) + " steps.";
        return -1;
    }
    const double h = (thetaMax - thetaMin) / steps;
    auto p = [&](double theta) {
        // Written so that neither exponential can overflow.
        const double z = b * (theta - a);
        return z >= 0 ? 1.0 / (1.0 + std::exp(-z)) : std::exp(z) / (1.0 + std::exp(z));
    };
    series.clear();
    series.type = kSeriesIcc;
    series.location = a;
    series.slope = b;
    series.steps = steps;
    for (int j = 0; j < steps; ++j) {
        const double theta = thetaMin + j * h;
        series.append(theta, p(theta));
    }
    series.append(thetaMax, p(thetaMax));
    return 1;
}

int readScatterFile(CSeries& series, const MString& fileName, MString& message) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(
        fileName.str().find('\0') == std::string::npos ? openRegularForReading(fileName.str(), "r") : nullptr, std::fclose);
    if (!f) {
        message = "File '" + fileName + "' not found, try again.";
        return -1;
    }
    series.clear();
    series.type = kSeriesScatter;
    series.source = fileName.length() > kSeriesNameMax ? fileName.mid(0, kSeriesNameMax) : fileName;
    double x = 0.0, y = 0.0;
    while (std::fscanf(f.get(), "%lf %lf", &x, &y) == 2) {
        if (!std::isfinite(x) || !std::isfinite(y)) break;
        if (!series.append(x, y)) {
            message = "Only the first " + itoMString(kSeriesCapacity) + " points of '" + fileName + "' were read.";
            break;
        }
    }
    return 1;
}

}  // namespace ordena
