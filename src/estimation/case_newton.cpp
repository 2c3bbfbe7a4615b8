#include "estimation/case_newton.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/index.h"
#include "command/session.h"
#include "estimation/probabilities.h"

namespace ordena {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A bracket this narrow holds the root to far more digits than any output
// prints: a replaced step within it may end the iterations.
constexpr double kNarrowBracket = 1e-9;
// Half steps back in a row before a step that mixes dimensions is taken
// as it stands.
constexpr int kMostBacktracks = 10;

// True when every item the case answered scores on one dimension only, so
// that the information matrix is diagonal and each score function depends
// on its own dimension alone.
bool separableEquations(const EstimationWork& work, const std::int32_t* items, int m) {
    const int D = work.D;
    if (D == 1) return true;
    for (int r = 0; r < m; ++r) {
        const int i = items[r];
        if (i < 0 || i >= work.I) continue;
        int dimension = -1;
        for (int x = at(work.first, i); x < at(work.ncat, i); ++x) {
            const double* b = work.scoreRow(i, x);
            for (int d = 0; d < D; ++d) {
                if (b[d] == 0.0) continue;
                if (dimension >= 0 && dimension != d) return false;
                dimension = d;
            }
        }
    }
    return true;
}

}  // namespace

void RootBracket::record(double theta, double f) {
    lastAbs_ = seen_ ? abs_ : HUGE_VAL;
    abs_ = std::fabs(f);
    seen_ = true;
    if (f > 0.0) {
        positive_ = theta;
        fPositive_ = f;
        havePositive_ = true;
    } else if (f < 0.0) {
        negative_ = theta;
        fNegative_ = f;
        haveNegative_ = true;
    }
}

double RootBracket::width() const { return closed() ? std::fabs(positive_ - negative_) : HUGE_VAL; }

double RootBracket::step(double theta, double newton, double small) {
    replaced_ = false;
    if (!closed()) return newton;
    const double low = std::min(positive_, negative_), high = std::max(positive_, negative_);
    const double landing = theta + newton;
    // Near the root f is rounding noise and need not shrink: a step that
    // small cannot be part of a leap to and fro.
    if (landing > low && landing < high && (abs_ < lastAbs_ || std::fabs(newton) <= small)) return newton;
    replaced_ = true;
    const double width = high - low;
    double next = 0.5 * (low + high);
    // The secant converges fast where f is nearly straight; halving the
    // bracket whenever it has not halved since the last replacement keeps
    // a one-sided secant from creeping.
    if (!replacedBefore_ || width <= 0.5 * widthAtLastReplacement_) {
        const double secant = positive_ - fPositive_ * (negative_ - positive_) / (fNegative_ - fPositive_);
        if (secant > low && secant < high) next = secant;
    }
    replacedBefore_ = true;
    widthAtLastReplacement_ = width;
    return next - theta;
}

bool caseNewtonFrom(const Session& session, Shell& reports, const EstimationWork& work, const std::int32_t* items,
                    int m, const std::vector<double>& score, bool wle, int caseNumber, std::vector<double>& theta,
                    std::vector<double>& covariance, std::vector<double>& information, int* iterations) {
    const int D = work.D, maxCat = work.maxCat;
    const double criteria = session.ws.settings.mle_criteria;
    const double bound = session.ws.settings.mle_max;
    theta.resize(static_cast<std::size_t>(D), 0.0);
    std::vector<double> hPrev(static_cast<std::size_t>(D), 10.0), g(static_cast<std::size_t>(D)),
        J(static_cast<std::size_t>(D)), T(static_cast<std::size_t>(D));
    std::vector<double> E(static_cast<std::size_t>(D)), p(static_cast<std::size_t>(maxCat)),
        delta(static_cast<std::size_t>(D));
    Matrix Imat(D, D), V(D, D);
    // A Newton step of a dimension that would end the iterations on its own.
    const double smallStep = std::sqrt(std::max(criteria, 0.0));
    const bool separable = separableEquations(work, items, m);
    std::vector<RootBracket> brackets(separable ? static_cast<std::size_t>(D) : 0);
    // Equations that mix dimensions: the last point that made the score
    // functions smaller, their squared length there, and the Newton step
    // there as it is (only scaled down to at most 3), whose fractions are
    // tried when a step made the score functions larger. The steps cut
    // dimension by dimension no longer point the Newton way and may stall.
    std::vector<double> best(static_cast<std::size_t>(D)), bestNewton(static_cast<std::size_t>(D), 0.0),
        newton(static_cast<std::size_t>(D), 0.0);
    double bestLength = HUGE_VAL, fraction = 1.0;
    int backtracks = 0;
    const auto fail = [&]() {
        reports.errorReport("Convergence failure for case " + itoMString(caseNumber));
        theta.assign(static_cast<std::size_t>(D), kNaN);
        covariance.assign(static_cast<std::size_t>(D) * D, kNaN);
        information.assign(static_cast<std::size_t>(D) * D, kNaN);
        return false;
    };
    for (int it = 1;; ++it) {
        if (iterations) *iterations = it;
        for (int a = 0; a < D; ++a)
            for (int b = 0; b < D; ++b) Imat[a][b] = 0.0;
        g = score;
        std::fill(J.begin(), J.end(), 0.0);
        for (int r = 0; r < m; ++r) {
            const int i = items[r];
            if (i < 0 || i >= work.I) continue;
            categoryProbabilities(work, i, theta.data(), p.data());
            std::fill(E.begin(), E.end(), 0.0);
            std::fill(T.begin(), T.end(), 0.0);
            for (int a = 0; a < D; ++a)
                for (int b = 0; b < D; ++b) V[a][b] = 0.0;
            for (int x = at(work.first, i); x < at(work.ncat, i); ++x) {
                const double px = at(p, x);
                const double* b = work.scoreRow(i, x);
                double bb = 0.0;
                for (int d = 0; d < D; ++d) bb += b[d] * b[d];
                for (int a = 0; a < D; ++a) {
                    at(E, a) += px * b[a];
                    at(T, a) += px * bb * b[a];
                    for (int c = 0; c < D; ++c) V[a][c] += px * b[a] * b[c];
                }
            }
            double ee = 0.0;
            for (int d = 0; d < D; ++d) ee += at(E, d) * at(E, d);
            for (int a = 0; a < D; ++a) {
                for (int c = 0; c < D; ++c) Imat[a][c] += V[a][c] - at(E, a) * at(E, c);
                at(g, a) -= at(E, a);
                if (wle) {
                    double ve = 0.0;
                    for (int c = 0; c < D; ++c) ve += V[a][c] * at(E, c);
                    at(J, a) += at(T, a) - 3.0 * ve + 2.0 * at(E, a) * ee;
                }
            }
        }
        Matrix inv;
        if (D == 1) {
            if (Imat[0][0] != 0.0 && std::isfinite(Imat[0][0])) {
                inv = Matrix(1, 1);
                inv[0][0] = 1.0 / Imat[0][0];
            }
        } else {
            Matrix out(D, D);
            if (invertInto(Imat, out) != 0.0) inv = out;
        }
        // No information at this point: nothing can move the estimate.
        if (inv.isEmpty()) return fail();
        if (wle)
            for (int a = 0; a < D; ++a) {
                double s = 0.0;
                for (int c = 0; c < D; ++c) s += inv[a][c] * at(J, c);
                at(g, a) += s / 2.0;
            }
        covariance.assign(static_cast<std::size_t>(D) * D, 0.0);
        information.assign(static_cast<std::size_t>(D) * D, 0.0);
        for (int a = 0; a < D; ++a)
            for (int c = 0; c < D; ++c) {
                at(covariance, a * D + c) = inv[a][c];
                at(information, a * D + c) = Imat[a][c];
            }
        // g now holds the score functions at theta.
        bool backtracked = false;
        double newtonSize = 0.0;
        if (!separable) {
            double length = 0.0, largest = 0.0;
            for (double x : g) length += x * x;
            for (int a = 0; a < D; ++a) {
                double s = 0.0;
                for (int c = 0; c < D; ++c) s += inv[a][c] * at(g, c);
                at(newton, a) = s;
                largest = std::max(largest, std::fabs(s));
            }
            const double scale = largest > 3.0 ? 3.0 / largest : 1.0;
            for (double& x : newton) {
                x *= scale;
                newtonSize += x * x;
            }
            if (!(length < bestLength) && backtracks < kMostBacktracks) {
                fraction = backtracks == 0 ? 1.0 : fraction / 2.0;
                ++backtracks;
                backtracked = true;
                for (int a = 0; a < D; ++a) {
                    const double step = fraction * at(bestNewton, a);
                    double& t = at(theta, a);
                    t = at(best, a) + step;
                    if (std::fabs(t) > bound) t = t > 0.0 ? bound : -bound;
                    at(hPrev, a) = step;
                }
            } else {
                backtracks = 0;
                best = theta;
                bestLength = length;
                bestNewton = newton;
            }
        }
        double size = 0.0;
        bool moved = backtracked, replacedWide = false;
        if (!backtracked) {
            for (int a = 0; a < D; ++a) {
                double s = 0.0;
                for (int c = 0; c < D; ++c) s += inv[a][c] * at(g, c);
                if (std::fabs(s) > 3.0) s = s > 0.0 ? 3.0 : -3.0;
                at(delta, a) = s;
            }
            for (int a = 0; a < D; ++a) {
                double d = at(delta, a);
                const double hp = at(hPrev, a);
                while (std::fabs(d) > std::fabs(hp) && hp != 0.0) d /= 2.0;
                double& t = at(theta, a);
                double h = d;
                if (separable) {
                    RootBracket& bracket = at(brackets, a);
                    bracket.record(t, at(g, a));
                    const double width = bracket.width();
                    d = bracket.step(t, d, smallStep);
                    if (bracket.replaced()) {
                        // The next Newton step may go anywhere in the bracket.
                        h = width;
                        if (width > kNarrowBracket) replacedWide = true;
                    } else {
                        h = d;
                    }
                }
                const double before = t;
                t += d;
                if (std::fabs(t) > bound) t = t > 0.0 ? bound : -bound;
                if (t != before) moved = true;
                at(hPrev, a) = h;
                size += d * d;
            }
        }
        if (it % 10 == 0) {
            reports.warningReport("Convergence trouble for case " + itoMString(caseNumber));
            if (it >= 100) return fail();
        }
        if (backtracked) continue;
        // Mixed dimensions end only where the Newton step itself is small,
        // not where cut steps have shrunk.
        if (size <= criteria && !replacedWide && newtonSize <= criteria) return true;
        // Held at the bound and pushed outwards: the root lies beyond
        // mle_max and every further step would be the same.
        if (!moved) return fail();
    }
}

bool caseNewtonFrom(Session& session, const EstimationWork& work, int m, const std::vector<double>& score, bool wle,
                    int caseNumber, std::vector<double>& theta, std::vector<double>& covariance,
                    std::vector<double>& information, int* iterations) {
    return caseNewtonFrom(session, session, work, work.itemNo.data(), m, score, wle, caseNumber, theta, covariance,
                          information, iterations);
}

bool caseNewton(Session& session, const EstimationWork& work, int m, const std::vector<double>& score, bool wle,
                int caseNumber, std::vector<double>& theta, std::vector<double>& covariance,
                std::vector<double>& information) {
    theta.assign(static_cast<std::size_t>(work.D), 0.0);
    return caseNewtonFrom(session, work, m, score, wle, caseNumber, theta, covariance, information, nullptr);
}

}  // namespace ordena
