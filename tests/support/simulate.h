// Data drawn inside a test from a model it states itself, and the model's
// category probabilities, so that estimates can be checked against values
// the program did not compute.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace ordena::test {

// One item: for category k its scoring vector scores[k] (one value per
// dimension) and the constant part of its exponent, so that
// P(k | theta) is proportional to exp(scores[k] . theta + constants[k]).
struct SimItem {
    std::vector<std::vector<double>> scores;
    std::vector<double> constants;
};

// A dichotomous item of the given difficulty scored b.
inline SimItem dichotomous(double difficulty, std::vector<double> b = {1.0}) {
    return {{std::vector<double>(b.size(), 0.0), b}, {0.0, -difficulty}};
}

// A partial credit item with categories 0..K, scored k on the first of D
// dimensions: exp(k theta - k delta - tau_1 - ... - tau_k).
inline SimItem partialCredit(double delta, const std::vector<double>& tau, int D = 1) {
    SimItem item;
    double c = 0.0;
    for (std::size_t k = 0; k <= tau.size(); ++k) {
        std::vector<double> b(static_cast<std::size_t>(D), 0.0);
        b[0] = static_cast<double>(k);
        if (k > 0) c -= delta + tau[k - 1];
        item.scores.push_back(b);
        item.constants.push_back(c);
    }
    return item;
}

// Category probabilities of an item at theta.
inline std::vector<double> categoryProbabilities(const SimItem& item, const double* theta) {
    std::vector<double> p(item.constants.size());
    double top = -HUGE_VAL, total = 0.0;
    for (std::size_t k = 0; k < p.size(); ++k) {
        p[k] = item.constants[k];
        for (std::size_t d = 0; d < item.scores[k].size(); ++d) p[k] += item.scores[k][d] * theta[d];
        top = std::max(top, p[k]);
    }
    for (double& v : p) total += v = std::exp(v - top);
    for (double& v : p) v /= total;
    return p;
}

struct SimCase {
    int weight = 1;                  // -1: the weight column is left blank
    std::vector<double> regressors;  // without the constant
    std::vector<int> responses;      // category per item, -1 when not given
    std::vector<double> theta;
};

// theta = beta (1, regressors) + cholesky z, z standard normal.
struct SimPopulation {
    std::vector<std::vector<double>> beta;
    std::vector<std::vector<double>> cholesky;
};

inline std::vector<SimCase> simulateCases(
    const std::vector<SimItem>& items, const SimPopulation& population, int cases, unsigned seed,
    const std::function<void(std::mt19937_64&, SimCase&)>& background = {}) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const std::size_t D = population.cholesky.size();
    std::vector<SimCase> out;
    for (int n = 0; n < cases; ++n) {
        SimCase c;
        if (background) background(rng, c);
        // The values as the data file will hold them.
        for (double& x : c.regressors) {
            char text[32];
            std::snprintf(text, sizeof text, "%.3f", x);
            x = std::strtod(text, nullptr);
        }
        std::vector<double> z(D);
        for (double& v : z) v = normal(rng);
        c.theta.assign(D, 0.0);
        for (std::size_t d = 0; d < D; ++d) {
            c.theta[d] = population.beta[d][0];
            for (std::size_t r = 0; r < c.regressors.size(); ++r)
                c.theta[d] += population.beta[d][r + 1] * c.regressors[r];
            for (std::size_t e = 0; e <= d; ++e) c.theta[d] += population.cholesky[d][e] * z[e];
        }
        for (const SimItem& item : items) {
            const std::vector<double> p = categoryProbabilities(item, c.theta.data());
            double u = uniform(rng), cumulative = 0.0;
            int k = 0;
            while (k + 1 < static_cast<int>(p.size()) && (cumulative += p[static_cast<std::size_t>(k)]) < u) ++k;
            c.responses.push_back(k);
        }
        out.push_back(c);
    }
    return out;
}

// Fixed columns: identifier 1-5, weight 7-8, regressor r at 10 + 8r (seven
// columns each), then one column per item.
inline std::string dataFile(const std::vector<SimCase>& cases) {
    std::string text;
    char field[32];
    for (std::size_t n = 0; n < cases.size(); ++n) {
        const SimCase& c = cases[n];
        std::snprintf(field, sizeof field, "%5d ", static_cast<int>(n + 1));
        text += field;
        if (c.weight >= 0)
            std::snprintf(field, sizeof field, "%2d ", c.weight);
        else
            std::snprintf(field, sizeof field, "   ");
        text += field;
        for (double x : c.regressors) {
            std::snprintf(field, sizeof field, "%7.3f ", x);
            text += field;
        }
        for (int k : c.responses) text += k < 0 ? ' ' : static_cast<char>('0' + k);
        text += "\n";
    }
    return text;
}

// The format statement of dataFile: weight variable w, regressors x1, x2, ...
inline std::string formatFor(int regressors, int items) {
    std::string text = "format pid 1-5 w 7-8";
    for (int r = 0; r < regressors; ++r)
        text += " x" + std::to_string(r + 1) + " " + std::to_string(10 + 8 * r) + "-" + std::to_string(16 + 8 * r);
    const int first = 10 + 8 * regressors;
    return text + " responses " + std::to_string(first) + "-" + std::to_string(first + items - 1) + ";\n";
}

}  // namespace ordena::test
