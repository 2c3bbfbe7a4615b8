#include "estimation/probabilities.h"

#include <algorithm>
#include <cmath>

#include "base/index.h"
#include "command/session.h"
#include "estimation/nodes.h"

namespace ordena {

void computeAXsi(EstimationWork& work, const Vector& xsi) {
    work.axsi.assign(static_cast<std::size_t>(work.I) * work.maxCat, 0.0);
    for (int i = 0; i < work.I; ++i)
        for (int k = 0; k < at(work.ncat, i); ++k) {
            const std::size_t row = work.row(i, k);
            double s = 0.0;
            for (std::size_t e = work.designStart[row]; e < work.designStart[row + 1]; ++e)
                s += work.designEntries[e].value * xsi[work.designEntries[e].parameter][0];
            work.axsi[row] = s;
        }
}

void itemProbabilities(EstimationWork& work, int i, const std::vector<double>& theta, bool normalise) {
    const int Q = work.probNodes, D = work.D;
    const int first = at(work.first, i), ncat = at(work.ncat, i);
    for (int k = 0; k < ncat && k < first; ++k) std::fill_n(work.probRow(i, k), Q, 0.0);
    if (first >= ncat) return;
    std::vector<double> top(static_cast<std::size_t>(Q), -HUGE_VAL);
    for (int k = first; k < ncat; ++k) {
        double* row = work.probRow(i, k);
        const double a = work.axsi[work.row(i, k)];
        const double* b = work.scoreRow(i, k);
        for (int q = 0; q < Q; ++q) row[q] = a;
        for (int d = 0; d < D; ++d) {
            if (b[d] == 0.0) continue;
            const double* t = theta.data() + static_cast<std::size_t>(d) * Q;
            for (int q = 0; q < Q; ++q) row[q] += b[d] * t[q];
        }
        if (normalise)
            for (int q = 0; q < Q; ++q) at(top, q) = std::max(at(top, q), row[q]);
    }
    if (!normalise) {
        for (int k = first; k < ncat; ++k) {
            double* row = work.probRow(i, k);
            for (int q = 0; q < Q; ++q) row[q] = std::exp(row[q]);
        }
        return;
    }
    // Subtracting the largest exponent keeps exp() finite for extreme nodes.
    std::vector<double> total(static_cast<std::size_t>(Q), 0.0);
    for (int k = first; k < ncat; ++k) {
        double* row = work.probRow(i, k);
        for (int q = 0; q < Q; ++q) {
            row[q] = std::exp(row[q] - at(top, q));
            at(total, q) += row[q];
        }
    }
    for (int k = first; k < ncat; ++k) {
        double* row = work.probRow(i, k);
        for (int q = 0; q < Q; ++q) row[q] /= at(total, q);
    }
}

void categoryProbabilities(const EstimationWork& work, int i, const double* theta, double* p) {
    const int D = work.D;
    const int first = at(work.first, i), ncat = at(work.ncat, i);
    double top = -HUGE_VAL;
    for (int k = first; k < ncat; ++k) {
        double e = work.axsi[work.row(i, k)];
        const double* b = work.scoreRow(i, k);
        for (int d = 0; d < D; ++d) e += b[d] * theta[d];
        p[k] = e;
        top = std::max(top, e);
    }
    double total = 0.0;
    for (int k = first; k < ncat; ++k) {
        p[k] = std::exp(p[k] - top);
        total += p[k];
    }
    for (int k = first; k < ncat; ++k) p[k] /= total;
}

void updateProbabilities(Session& session, EstimationWork& work, const Matrix& grid, const std::vector<double>& shift) {
    session.statusText("Updating Response Probabilities", 0);
    work.probNodes = work.Q;
    work.prob.assign(static_cast<std::size_t>(work.I) * work.maxCat * work.Q, 0.0);
    std::vector<double> theta = thetaColumns(work, grid, shift);
    for (int i = 0; i < work.I; ++i) itemProbabilities(work, i, theta, true);
}

void monteCarloNumerators(EstimationWork& work, const Matrix& grid) {
    const int Q = work.Q, D = work.D;
    work.probNodes = Q;
    work.prob.assign(static_cast<std::size_t>(work.I) * work.maxCat * Q, 0.0);
    std::vector<double> theta = thetaColumns(work, grid, {});
    for (int i = 0; i < work.I; ++i) itemProbabilities(work, i, theta, false);

    // The tables exp(b theta_qd) of the scores b the items use on each
    // dimension d, for the items that score on one dimension.
    work.scoreTableOf.clear();
    work.scoreTables.clear();
    if (work.generalPath) return;
    work.scoreTableOf.assign(static_cast<std::size_t>(work.I) * work.maxCat, -2);
    std::vector<std::pair<int, double>> made;  // dimension and score of each table
    for (int i = 0; i < work.I; ++i) {
        int dimension = -1;
        bool single = true;
        for (int k = at(work.first, i); k < at(work.ncat, i) && single; ++k)
            for (int d = 0; d < D; ++d)
                if (work.scoreRow(i, k)[d] != 0.0) {
                    single = dimension < 0 || dimension == d;
                    dimension = d;
                }
        if (!single) continue;
        for (int k = at(work.first, i); k < at(work.ncat, i); ++k) {
            const double b = dimension < 0 ? 0.0 : work.scoreRow(i, k)[dimension];
            if (b == 0.0) {
                work.scoreTableOf[work.row(i, k)] = -1;
                continue;
            }
            const auto key = std::make_pair(dimension, b);
            auto found = std::find(made.begin(), made.end(), key);
            if (found == made.end()) {
                made.push_back(key);
                const double* t = theta.data() + static_cast<std::size_t>(dimension) * Q;
                for (int q = 0; q < Q; ++q) work.scoreTables.push_back(std::exp(b * t[q]));
                found = made.end() - 1;
            }
            work.scoreTableOf[work.row(i, k)] = static_cast<std::int32_t>(found - made.begin());
        }
    }
}

}  // namespace ordena
