// The M-step: Newton sweeps over the item parameters at the expected counts
// of the last E-step.
#include "estimation/mstep.h"

#include <algorithm>
#include <cmath>

#include "base/index.h"
#include "command/session.h"
#include "estimation/factorised.h"
#include "estimation/nodes.h"
#include "estimation/probabilities.h"

namespace ordena {

namespace {
constexpr int kMaxSweeps = 100;
}

int MStep(Session& session, EstimationWork& work, double& largestStep) {
    workingGrid(session, work, session.ws.est);
    // After a pass that worked dimension by dimension the expected counts
    // are per dimension, and so are the probabilities the steps need.
    if (work.factorised && !factorAxes(work)) {
        session.errorReport("The nodes of the item parameter step do not form a product grid");
        return -1;
    }
    const std::vector<double> theta =
        work.factorised ? work.factor.theta : thetaColumns(work, work.workGrid, work.shift);
    return itemNewtonSweeps(session, work, theta, ItemSweepRules{"MStep:Parameter ", 0, true}, largestStep);
}

int itemNewtonSweeps(Session& session, EstimationWork& work, const std::vector<double>& theta,
                     const ItemSweepRules& rules, double& largestStep) {
    EstimationState& est = session.ws.est;
    const int P = work.P, maxCat = work.maxCat;
    std::vector<double> h(static_cast<std::size_t>(P), 5.0);
    // The nodes of the theta columns: the grid's, or per dimension after a
    // pass that worked dimension by dimension.
    const int Q = work.D > 0 ? static_cast<int>(theta.size()) / work.D : 0;
    work.probNodes = Q;
    if (work.prob.size() != static_cast<std::size_t>(work.I) * maxCat * Q)
        work.prob.assign(static_cast<std::size_t>(work.I) * maxCat * Q, 0.0);
    largestStep = 0.0;
    const int innerloops = session.ws.settings.innerloops;
    const double convergence = est.options.convergence;
    std::vector<double> sa(static_cast<std::size_t>(Q)), sa2(static_cast<std::size_t>(Q));
    for (int sweep = 0;; ++sweep) {
        bool done = true;
        double sweepStep = 0.0;
        std::fill(h.begin(), h.end(), 5.0);
        // No full refresh of the probabilities: every Newton step below
        // first recomputes the items it reads, and only those.
        for (int p = 0; p < P; ++p) {
            if (at(est.anchored, p)) continue;
            session.statusText(rules.status + itoMString(p + rules.firstNumber), 0);
            if (session.pollForStop()) return -1;
            const auto& items = at(work.parameterItems, p);
            const auto& values = at(work.parameterValues, p);
            for (int j = 1;; ++j) {
                // Refresh the items this parameter moves.
                for (std::int32_t i : items) {
                    for (int k = 0; k < at(work.ncat, i); ++k) {
                        const std::size_t row = work.row(i, k);
                        double a = 0.0;
                        for (std::size_t e = work.designStart[row]; e < work.designStart[row + 1]; ++e)
                            a += work.designEntries[e].value * est.xsi[work.designEntries[e].parameter][0];
                        work.axsi[row] = a;
                    }
                    itemProbabilities(work, i, theta, true);
                }
                double g = est.sufficient.isEmpty() ? 0.0 : est.sufficient[p][0];
                double H = 0.0;
                for (std::size_t n = 0; n < items.size(); ++n) {
                    const int i = items[n];
                    std::fill(sa.begin(), sa.end(), 0.0);
                    std::fill(sa2.begin(), sa2.end(), 0.0);
                    for (int k = at(work.first, i); k < at(work.ncat, i); ++k) {
                        const double a = values[n * maxCat + k];
                        if (a == 0.0) continue;
                        const double* pr = work.probRow(i, k);
                        const double a2 = a * a;
                        for (int q = 0; q < Q; ++q) {
                            at(sa, q) += a * pr[q];
                            at(sa2, q) += a2 * pr[q];
                        }
                    }
                    const double* r = work.expectedRow(i);
                    double e1 = 0.0, e23 = 0.0;
                    for (int q = 0; q < Q; ++q) {
                        const double v = at(sa, q);
                        e1 += r[q] * v;
                        e23 += r[q] * (v * v - at(sa2, q));
                    }
                    g -= e1;
                    H += e23;
                }
                const double L = H == 0.0 ? 0.0001 : -1.0 / H;
                est.itemErrors[p][0] = std::fabs(L);
                double delta = L * g;
                // A step that is not a number would poison every later estimate.
                if (!std::isfinite(delta)) delta = 0.0;
                while (std::fabs(delta) > at(h, p)) delta /= 2.0;
                if (delta != 0.0) at(h, p) = std::fabs(delta);
                bool last = false;
                if (std::fabs(delta) < convergence)
                    last = true;
                else if (rules.populationFlags && work.regressionConverged && work.covarianceConverged)
                    done = false;
                if (j > innerloops) last = true;
                largestStep = std::max(largestStep, std::fabs(delta));
                sweepStep = std::max(sweepStep, std::fabs(delta));
                est.xsi[p][0] += delta;
                if (last) break;
            }
        }
        // Every parameter moves the items it shares with others (the last
        // item under the default constraints), so one sweep leaves the
        // others off their optimum; sweeping until no step reaches the
        // criterion completes the M-step and saves many E-step passes.
        if (sweepStep >= convergence && sweep + 1 < kMaxSweeps) done = false;
        if (done) break;
    }
    return 1;
}

}  // namespace ordena
