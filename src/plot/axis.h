// The numbers along a graph's axes: a range and round tick values, the same
// for every front end that draws the graph.
#pragma once

#include <vector>

namespace ordena {

struct Axis {
    double min = 0.0, max = 1.0, step = 0.1;
    std::vector<double> ticks;
};

// The axis of data from lo to hi: automatic (the ends widened to ticks) or
// fixed to exactly lo .. hi. Ticks are 1, 2 or 5 times a power of ten apart,
// at most ten intervals, and no closer than the last digit the precision
// shows.
Axis axisFor(double lo, double hi, bool automatic, int precision);

// The digits after the point that the axis's step needs (0 to 10).
int decimalsFor(const Axis& axis);

}  // namespace ordena
