// A root by bisection, for checking the program's root finders against a
// method that cannot miss: f(lo) and f(hi) must differ in sign.
#pragma once

#include <functional>

namespace ordena::test {

inline double bisect(const std::function<double(double)>& f, double lo, double hi) {
    for (int k = 0; k < 200; ++k) {
        const double mid = 0.5 * (lo + hi);
        if ((f(lo) < 0) == (f(mid) < 0))
            lo = mid;
        else
            hi = mid;
    }
    return 0.5 * (lo + hi);
}

}  // namespace ordena::test
