// Dichotomous Rasch responses for simulated cases: one line per case, the
// id in columns 1-5, a blank, the responses from column 7.
#pragma once

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace ordena::test {

// theta(rng, n) draws the ability of case n; then one uniform per item
// decides its response.
inline std::string raschResponses(int cases, const std::vector<double>& delta, unsigned seed,
                                  const std::function<double(std::mt19937_64&, int)>& theta) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::ostringstream out;
    for (int n = 0; n < cases; ++n) {
        const double t = theta(rng, n);
        char id[16];
        std::snprintf(id, sizeof id, "%5d ", n + 1);
        out << id;
        for (double d : delta) out << (uniform(rng) < 1.0 / (1.0 + std::exp(d - t)) ? '1' : '0');
        out << "\n";
    }
    return out.str();
}

}  // namespace ordena::test
