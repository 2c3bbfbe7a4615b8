#include "plot/axis.h"

#include <algorithm>
#include <cmath>

namespace ordena {

namespace {

constexpr double kLimit = 1e300;  // data beyond this is drawn at it
constexpr int kMaxIntervals = 10;

}  // namespace

Axis axisFor(double lo, double hi, bool automatic, int precision) {
    Axis a;
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        lo = 0.0;
        hi = 1.0;
    }
    lo = std::clamp(lo, -kLimit, kLimit);
    hi = std::clamp(hi, -kLimit, kLimit);
    if (lo > hi) std::swap(lo, hi);
    if (!(hi > lo)) {
        const double pad = lo == 0.0 ? 0.5 : std::fabs(lo) * 0.1;
        lo -= pad;
        hi += pad;
    }
    const double span = hi - lo;
    // The smallest of 1, 2 and 5 times a power of ten that cuts the span
    // into at most kMaxIntervals, and no finer than the last digit shown.
    const double raw = span / kMaxIntervals;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= raw * (1 - 1e-12)) break;
    }
    step = std::max(step, std::pow(10.0, -precision));
    if (automatic) {
        double first = std::floor(lo / step + 1e-9) * step;
        double last = std::ceil(hi / step - 1e-9) * step;
        if (!(last > first)) last = first + step;
        lo = first;
        hi = last;
    }
    a.min = lo;
    a.max = hi;
    a.step = step;
    const double k0 = std::ceil(lo / step - 1e-9), k1 = std::floor(hi / step + 1e-9);
    if (k1 - k0 <= 1000)
        for (double k = k0; k <= k1; k += 1.0) a.ticks.push_back(k * step == 0.0 ? 0.0 : k * step);
    return a;
}

int decimalsFor(const Axis& axis) {
    if (!(axis.step > 0.0)) return 0;
    return std::clamp(static_cast<int>(std::ceil(-std::log10(axis.step) - 1e-9)), 0, 10);
}

}  // namespace ordena
