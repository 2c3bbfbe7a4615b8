#include "estimation/case_newton.h"

#include <algorithm>
#include <cmath>

#include "base/index.h"
#include "command/session.h"
#include "estimation/probabilities.h"

namespace ordena {

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
        if (inv.isEmpty()) {
            // No information at this point: nothing can move the estimate.
            reports.errorReport("Convergence failure for case " + itoMString(caseNumber));
            std::fill(theta.begin(), theta.end(), 0.0);
            covariance.assign(static_cast<std::size_t>(D) * D, 0.0);
            information.assign(static_cast<std::size_t>(D) * D, 0.0);
            return false;
        }
        if (wle)
            for (int a = 0; a < D; ++a) {
                double s = 0.0;
                for (int c = 0; c < D; ++c) s += inv[a][c] * at(J, c);
                at(g, a) += s / 2.0;
            }
        for (int a = 0; a < D; ++a) {
            double s = 0.0;
            for (int c = 0; c < D; ++c) s += inv[a][c] * at(g, c);
            if (std::fabs(s) > 3.0) s = s > 0.0 ? 3.0 : -3.0;
            at(delta, a) = s;
        }
        double size = 0.0;
        for (int a = 0; a < D; ++a) {
            double& d = at(delta, a);
            const double hp = at(hPrev, a);
            while (std::fabs(d) > std::fabs(hp) && hp != 0.0) d /= 2.0;
            double& t = at(theta, a);
            t += d;
            if (std::fabs(t) > bound) t = t > 0.0 ? bound : -bound;
            at(hPrev, a) = d;
            size += d * d;
        }
        covariance.assign(static_cast<std::size_t>(D) * D, 0.0);
        information.assign(static_cast<std::size_t>(D) * D, 0.0);
        for (int a = 0; a < D; ++a)
            for (int c = 0; c < D; ++c) {
                at(covariance, a * D + c) = inv[a][c];
                at(information, a * D + c) = Imat[a][c];
            }
        if (it % 10 == 0) {
            reports.warningReport("Convergence trouble for case " + itoMString(caseNumber));
            if (it >= 100) {
                reports.errorReport("Convergence failure for case " + itoMString(caseNumber));
                std::fill(theta.begin(), theta.end(), 0.0);
                return false;
            }
        }
        if (size <= criteria) return true;
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
