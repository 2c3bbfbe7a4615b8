// Nodes, prior weights, response probabilities and the E-step pass.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/index.h"
#include "base/special.h"
#include "base/timing.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/case_pass.h"
#include "estimation/engine.h"
#include "estimation/factorised.h"
#include "estimation/kernels.h"

namespace ordena {

namespace {

// Likelihood products are rescaled by 2^kRescaleBits whenever every node has
// fallen below 2^-kRescaleBits, so long tests never underflow to zero.
constexpr int kRescaleBits = 256;
const double kRescaleUp = std::ldexp(1.0, kRescaleBits);
const double kRescaleThreshold = std::ldexp(1.0, -kRescaleBits);

int totalNodes(int n, int D) {
    double q = 1.0;
    for (int d = 0; d < D; ++d) q *= n;
    return q > 2.0e9 ? -1 : static_cast<int>(q);
}

// Node q's per-dimension indices, the first dimension fastest.
void nodeIndices(int q, int n, int D, std::vector<int>& idx) {
    idx.assign(static_cast<std::size_t>(D), 0);
    for (int d = 0; d < D; ++d) {
        at(idx, d) = q % n;
        q /= n;
    }
}

}  // namespace

int buildNodes(Session& session, EstimationWork& work, int n, float minNode, float maxNode, Matrix& grid, float& h) {
    const int D = work.D;
    if (work.method == EstimationMethod::MonteCarlo) {
        const int Q = n;
        grid = Matrix(Q, D);
        for (int q = 0; q < Q; ++q)
            for (int d = 0; d < D; ++d) grid[q][d] = session.normal.draw();
        // Make the draws exactly standard: zero means, identity covariance.
        for (int d = 0; d < D; ++d) {
            double mean = 0.0;
            for (int q = 0; q < Q; ++q) mean += grid[q][d];
            mean /= Q;
            for (int q = 0; q < Q; ++q) grid[q][d] -= mean;
        }
        Matrix C = transpose(grid) * grid;
        C /= static_cast<double>(Q);
        Vector lambda;
        Matrix V;
        int rotations = 0;
        jacobiEigen(C, D, lambda, V, rotations);
        Matrix Vi = inverse(V);
        if (Vi.isEmpty()) return -1;
        Matrix scale = transpose(Vi);
        for (int d = 0; d < D; ++d) {
            double l = lambda[d][0];
            double f = l > 0.0 ? 1.0 / std::sqrt(l) : 0.0;
            for (int j = 0; j < D; ++j) scale[j][d] *= f;
        }
        grid = grid * scale;
        work.Q = Q;
        h = 0.0f;
        return 1;
    }
    // The Hermite recurrence loses all precision beyond 198 nodes; such a
    // rule would integrate nothing. Refused before its roots are sought,
    // which for large n would take hours.
    auto noGaussHermite = [&]() {
        session.errorReport("Gauss-Hermite quadrature is not available with " + itoMString(n) + " nodes (at most " +
                            itoMString(kMaxGaussHermiteNodes) + "); use fewer nodes or method=quadrature");
        return -1;
    };
    if (work.method == EstimationMethod::Gauss && n > kMaxGaussHermiteNodes) return noGaussHermite();
    const int Q = totalNodes(n, D);
    if (Q < 1) {
        session.errorReport("Too many nodes for estimation");
        return -1;
    }
    grid = Matrix(Q, D);
    std::vector<int> idx;
    if (work.method == EstimationMethod::Gauss) {
        Vector x, w;
        GaussHermite(x, w, n);
        // A rule whose weights do not add up is refused all the same.
        double total = 0.0;
        bool finite = x.rows() == n && w.rows() == n;
        for (int i = 0; finite && i < n; ++i) {
            finite = std::isfinite(x[i][0]) && std::isfinite(w[i][0]) && w[i][0] >= 0.0;
            total += finite ? w[i][0] : 0.0;
        }
        if (!finite || std::fabs(total - 1.0) > 1e-6) return noGaussHermite();
        work.ghWeights.assign(static_cast<std::size_t>(Q), 1.0);
        for (int q = 0; q < Q; ++q) {
            nodeIndices(q, n, D, idx);
            for (int d = 0; d < D; ++d) {
                grid[q][d] = x[at(idx, d)][0];
                at(work.ghWeights, q) *= w[at(idx, d)][0];
            }
        }
        h = 0.0f;
    } else {
        h = static_cast<float>((static_cast<double>(maxNode) - minNode) / (n - 1));
        for (int q = 0; q < Q; ++q) {
            nodeIndices(q, n, D, idx);
            for (int d = 0; d < D; ++d) grid[q][d] = at(idx, d) * static_cast<double>(h) + minNode;
        }
    }
    work.Q = Q;
    return 1;
}

Matrix transformNodes(Session& session, const Matrix& base, const Matrix& sigma) {
    const int D = sigma.rows();
    Vector lambda;
    Matrix V;
    int rotations = 0;
    jacobiEigen(sigma, D, lambda, V, rotations);
    for (int d = 0; d < D; ++d)
        if (lambda[d][0] < 0.0) {
            (void)session;
            fatalExit("Covariance matrix is not positive definite. This error is fatal.");
        }
    Matrix M(D, D);  // diag(sqrt(lambda)) . V'
    for (int k = 0; k < D; ++k)
        for (int j = 0; j < D; ++j) M[k][j] = std::sqrt(lambda[k][0]) * V[j][k];
    return base * M;
}

int calcGwt(Session& session, EstimationWork& work, const Matrix& grid, const std::vector<double>& mean,
            const Matrix& sigma, const Vector& gwt) {
    const int D = work.D, Q = work.Q;
    work.sigmaInverse = identity(D);
    std::vector<double>& w = work.nodeWeights;
    w.resize(static_cast<std::size_t>(Q));
    if (work.method == EstimationMethod::MonteCarlo) {
        std::fill(w.begin(), w.end(), 1.0);
        return 1;
    }
    if (work.method == EstimationMethod::Gauss) {
        w = work.ghWeights;
        return 1;
    }
    if (work.discrete) {
        for (int q = 0; q < Q && q < gwt.rows(); ++q) at(w, q) = gwt[q][0];
        return 1;
    }
    double det;
    if (D == 1) {
        det = sigma[0][0];
        if (det != 0.0) work.sigmaInverse[0][0] = 1.0 / det;
    } else {
        Matrix inv(D, D);
        det = invertInto(sigma, inv);
        if (det != 0.0) work.sigmaInverse = inv;
    }
    if (det == 0.0) {
        session.errorReport("determinant=0 in calc_gwt");
        return -1;
    }
    double twoPi = 1.0;
    for (int d = 0; d < D; ++d) twoPi *= 6.283185307179586;
    work.normConst = 1.0 / std::sqrt(twoPi * det);
    std::vector<double> out(static_cast<std::size_t>(Q));
    std::vector<double> diff(static_cast<std::size_t>(D));
    double total = 0.0;
    for (int q = 0; q < Q; ++q) {
        for (int d = 0; d < D; ++d) at(diff, d) = grid[q][d] - at(mean, d);
        double m = 0.0;
        for (int j = 0; j < D; ++j)
            for (int k = 0; k < D; ++k) m += at(diff, j) * work.sigmaInverse[j][k] * at(diff, k);
        double v = work.normConst * std::exp(-0.5 * m);
        if (!(v >= 0.0)) return -1;
        at(out, q) = v;
        total += v;
    }
    if (!(total > 0.0)) return -1;
    for (int q = 0; q < Q; ++q) at(w, q) = at(out, q) / total;
    return 1;
}

int caseNodeWeights(const EstimationWork& work, const Matrix& grid, const std::vector<double>& mean,
                    std::vector<double>& weights) {
    const int D = work.D, Q = work.Q;
    weights.resize(static_cast<std::size_t>(Q));
    double total = 0.0;
    for (int q = 0; q < Q; ++q) {
        double m = 0.0;
        for (int j = 0; j < D; ++j) {
            double dj = grid[q][j] - at(mean, j);
            m += dj * dj * work.sigmaInverse[j][j];
            for (int k = j + 1; k < D; ++k) m += 2.0 * dj * (grid[q][k] - at(mean, k)) * work.sigmaInverse[j][k];
        }
        double v = work.normConst * std::exp(-0.5 * m);
        if (std::isnan(v)) return -1;
        at(weights, q) = v;
        total += v;
    }
    if (!(total > 0.0)) return -1;
    for (double& v : weights) v /= total;
    return 1;
}

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

// Node coordinates plus shift, dimension-major, for the probability loops.
std::vector<double> thetaColumns(const EstimationWork& work, const Matrix& grid, const std::vector<double>& shift) {
    std::vector<double> t(static_cast<std::size_t>(work.D) * work.Q);
    for (int d = 0; d < work.D; ++d) {
        double s = d < static_cast<int>(shift.size()) ? at(shift, d) : 0.0;
        double* column = t.data() + static_cast<std::size_t>(d) * work.Q;
        for (int q = 0; q < work.Q; ++q) column[q] = grid[q][d] + s;
    }
    return t;
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

void workingGrid(Session& session, EstimationWork& work, const EstimationState& est) {
    work.shift.assign(static_cast<std::size_t>(work.D), 0.0);
    if (work.method == EstimationMethod::Gauss) {
        work.workGrid = transformNodes(session, est.nodeGrid, est.sigma);
        for (int d = 0; d < work.D; ++d) at(work.shift, d) = est.beta[d][0];
    } else {
        work.workGrid = est.nodeGrid;
    }
}

namespace {

constexpr int kInlineNodes = 32;

inline double dot(const double* a, const double* b, int n) {
    double s0 = 0.0, s1 = 0.0;
    int q = 0;
    for (; q + 1 < n; q += 2) {
        s0 += a[q] * b[q];
        s1 += a[q + 1] * b[q + 1];
    }
    if (q < n) s0 += a[q] * b[q];
    return s0 + s1;
}

// Keeps a product between 2^-256 and 2^256 at its largest element; returns
// the change of its scale in units of 2^256 (+1 scaled up, -1 down).
int keepInRange(double* v, int n) {
    const double top = largestOf(v, n);
    if (top > 0.0 && top < kRescaleThreshold) {
        for (int q = 0; q < n; ++q) v[q] *= kRescaleUp;
        return 1;
    }
    if (top > kRescaleUp && std::isfinite(top)) {
        for (int q = 0; q < n; ++q) v[q] *= kRescaleThreshold;
        return -1;
    }
    return 0;
}

// The likelihood under Monte Carlo with regressors: a response's
// probability is num_x g_x / sum_k num_k g_k, with the numerators num_k =
// exp(b_k . theta_q + a_k) at the nodes without the case's mean and g_k =
// exp(b_k . mean). The numerators and the denominators are multiplied up
// apart, so each node takes one division instead of one per response. For
// an item that scores on one dimension num_k g_k = c_k t_k(q), with c_k =
// exp(a_k + b_k . mean) and t_k the table of its dimension and score (1 for
// a score of 0): the constants of the numerators are kept as a sum of logs,
// and only the few tables are read, not each item's own rows. Returns the
// log of the factor the likelihood was scaled up by.
double regressionLikelihood(const EstimationWork& work, const std::int32_t* items, const std::int32_t* categories,
                            int m, const double* caseMean, double* L, double* scratch) {
    const int Q = work.Q, D = work.D;
    double* denominator = scratch;
    double* total = scratch + Q;
    std::fill_n(L, Q, 1.0);
    std::fill_n(denominator, Q, 1.0);
    const bool tables = !work.scoreTableOf.empty();
    int rescales = 0;
    double constant = 0.0;  // log of the numerators' constants left out of L
    double g[64];
    std::vector<double> many;
    for (int r = 0; r < m; ++r) {
        const int item = items[r], x = categories[r];
        if (item < 0 || item >= work.I || x < 0 || x >= work.maxCat) {
            std::fill_n(L, Q, 0.0);
            break;
        }
        const int first = at(work.first, item), ncat = at(work.ncat, item);
        double* gk = g;
        if (ncat > 64) {
            many.resize(static_cast<std::size_t>(ncat));
            gk = many.data();
        }
        const std::int32_t* table = tables ? work.scoreTableOf.data() + work.row(item, 0) : nullptr;
        if (table && first < ncat && table[first] != -2) {
            // Log of c_k in gk, then c_k itself.
            for (int k = first; k < ncat; ++k) {
                const double* b = work.scoreRow(item, k);
                double s = work.axsi[work.row(item, k)];
                for (int d = 0; d < D; ++d) s += b[d] * caseMean[d];
                gk[k] = s;
            }
            auto column = [&](int k) { return work.scoreTables.data() + static_cast<std::size_t>(table[k]) * Q; };
            if (x >= first && x < ncat) {
                constant += gk[x];
                if (table[x] >= 0) multiplyInto(L, column(x), Q);
            } else {
                std::fill_n(L, Q, 0.0);
            }
            for (int k = first; k < ncat; ++k) gk[k] = std::exp(gk[k]);
            if (ncat - first == 2 && table[first] == -1 && table[first + 1] >= 0) {
                multiplyByLinear(denominator, gk[first], gk[first + 1], column(first + 1), Q);
            } else if (ncat - first == 3 && table[first] == -1 && table[first + 1] >= 0 && table[first + 2] >= 0) {
                multiplyByQuadratic(denominator, gk[first], gk[first + 1], column(first + 1), gk[first + 2],
                                    column(first + 2), Q);
            } else {
                double fixed = 0.0;
                for (int k = first; k < ncat; ++k)
                    if (table[k] == -1) fixed += gk[k];
                std::fill_n(total, Q, fixed);
                for (int k = first; k < ncat; ++k)
                    if (table[k] >= 0) addScaledInto(total, gk[k], column(k), Q);
                multiplyInto(denominator, total, Q);
            }
        } else {
            for (int k = first; k < ncat; ++k) {
                const double* b = work.scoreRow(item, k);
                double s = 0.0;
                for (int d = 0; d < D; ++d) s += b[d] * caseMean[d];
                gk[k] = std::exp(s);
            }
            if (x >= first && x < ncat && ncat - first == 2) {
                regressionFactor(L, denominator, work.probRow(item, first), gk[first], work.probRow(item, first + 1),
                                 gk[first + 1], work.probRow(item, x), gk[x], Q);
            } else if (x >= first && x < ncat && ncat - first == 3) {
                regressionFactor(L, denominator, work.probRow(item, first), gk[first], work.probRow(item, first + 1),
                                 gk[first + 1], work.probRow(item, first + 2), gk[first + 2], work.probRow(item, x),
                                 gk[x], Q);
            } else {
                std::fill_n(total, Q, 0.0);
                for (int k = first; k < ncat; ++k) addScaledInto(total, gk[k], work.probRow(item, k), Q);
                if (x >= first && x < ncat)
                    multiplyScaledInto(L, work.probRow(item, x), gk[x], Q);
                else
                    std::fill_n(L, Q, 0.0);
                multiplyInto(denominator, total, Q);
            }
        }
        if ((r & 7) == 7) rescales += keepInRange(L, Q) - keepInRange(denominator, Q);
    }
    for (int q = 0; q < Q; ++q) L[q] = denominator[q] > 0.0 ? L[q] / denominator[q] : 0.0;
    return rescaledLog(rescales) - constant;
}

}  // namespace

void multiplyRow(double* likelihood, const double* p, int n) {
    // Short rows are cheaper inline than through the dispatched call.
    if (n <= kInlineNodes)
        for (int q = 0; q < n; ++q) likelihood[q] *= p[q];
    else
        multiplyInto(likelihood, p, n);
}

bool rescaleLikelihood(double* likelihood, int n) {
    const double top = largestOf(likelihood, n);
    if (top > 0.0 && top < kRescaleThreshold) {
        for (int q = 0; q < n; ++q) likelihood[q] *= kRescaleUp;
        return true;
    }
    return false;
}

double rescaledLog(int rescales) { return rescales * kRescaleBits * std::log(2.0); }

int posteriorFromLikelihood(const EstimationWork& work, const double* L, const double* weights, double lnScale,
                            float h, double* post, double& logLikelihood) {
    const int Q = work.Q;
    double total = 0.0;
    if (work.method == EstimationMethod::MonteCarlo) {
        for (int q = 0; q < Q; ++q) {
            post[q] = L[q];
            total += L[q];
        }
    } else {
        for (int q = 0; q < Q; ++q) {
            post[q] = L[q] * weights[q];
            total += post[q];
        }
    }
    if (!(total > 0.0) || !std::isfinite(total)) {
        std::fill_n(post, Q, 0.0);
        logLikelihood = 0.0;
        return 0;
    }
    for (int q = 0; q < Q; ++q) post[q] /= total;
    if (work.method == EstimationMethod::MonteCarlo)
        logLikelihood = std::log(total / Q) - lnScale;
    else if (work.method == EstimationMethod::Quadrature)
        // A reversed range (minnode above maxnode) has h < 0.
        logLikelihood =
            std::log(total) - lnScale + work.D * static_cast<double>(static_cast<float>(std::log(std::fabs(h))));
    else
        logLikelihood = std::log(total) - lnScale;
    return 1;
}

int casePosterior(const EstimationWork& work, const std::int32_t* items, const std::int32_t* categories, int m,
                  const double* weights, const double* caseMean, float h, double* L, double* post, double* scratch,
                  double& logLikelihood) {
    const int Q = work.Q;
    if (work.method == EstimationMethod::MonteCarlo && work.R >= 2) {
        const double lnScale = regressionLikelihood(work, items, categories, m, caseMean, L, scratch);
        return posteriorFromLikelihood(work, L, weights, lnScale, h, post, logLikelihood);
    }
    int rescales = 0;
    std::fill_n(L, Q, 1.0);
    for (int r = 0; r < m; ++r) {
        const int item = items[r], x = categories[r];
        if (item < 0 || item >= work.I || x < 0 || x >= work.maxCat) {
            std::fill_n(L, Q, 0.0);
            break;
        }
        multiplyRow(L, work.probRow(item, x), Q);
        if ((r & 7) == 7 && rescaleLikelihood(L, Q)) ++rescales;
    }
    return posteriorFromLikelihood(work, L, weights, rescaledLog(rescales), h, post, logLikelihood);
}

int casePosterior(EstimationWork& work, int m, const std::vector<double>& weights, const std::vector<double>& caseMean,
                  float h, double& logLikelihood) {
    std::vector<double> scratch;
    if (work.method == EstimationMethod::MonteCarlo && work.R >= 2)
        scratch.resize(2 * static_cast<std::size_t>(work.Q));
    return casePosterior(work, work.itemNo.data(), work.rsp.data(), m, weights.data(), caseMean.data(), h,
                         work.likelihood.data(), work.posterior.data(), scratch.data(), logLikelihood);
}

namespace {

bool positiveDefinite(const Matrix& a) {
    const int D = a.rows();
    for (int d = 0; d < D; ++d)
        if (!(a[d][d] > 0.0) || !std::isfinite(a[d][d])) return false;
    if (D == 1) return true;
    Vector lambda;
    Matrix V;
    int rotations = 0;
    jacobiEigen(a, D, lambda, V, rotations);
    for (int d = 0; d < D; ++d)
        if (!(lambda[d][0] > 0.0)) return false;
    return true;
}

// What one pass of the E-step needs to know about itself.
struct EStepPlan {
    int D = 1, R = 1, Q = 0, nodes = 0, I = 0;
    bool mcRegression = false;  // Monte Carlo with regressors: each case shifts the nodes by its mean
    bool scoreForm = false;     // Gauss-Hermite, normal: the population update in its score form
    bool needCounts = false;    // the expected counts are wanted
    bool factorised = false;
    std::vector<double> theta;  // D x Q: the nodes the moments use (general computation)
};

// The sums of one chunk of cases, and of the whole pass.
struct EStepSums {
    double logLikelihood = 0.0, weightSum = 0.0;
    long long processed = 0, responses = 0;
    std::vector<std::int32_t> failedCases;
    std::vector<double> expected;           // (I + 1) x nodes
    std::vector<double> U, S, T, G;         // D x R, D x D, D, Q
    std::vector<double> rawSum, rawMoment;  // score form: D, D x D
    std::vector<double> scoreG, scoreK;     // score form, factorised: D, D x D

    void start(const EStepPlan& plan, bool discrete) {
        logLikelihood = weightSum = 0.0;
        processed = responses = 0;
        failedCases.clear();
        const std::size_t D = static_cast<std::size_t>(plan.D);
        expected.assign(plan.needCounts ? static_cast<std::size_t>(plan.I + 1) * plan.nodes : 0, 0.0);
        U.assign(D * plan.R, 0.0);
        S.assign(D * D, 0.0);
        T.assign(D, 0.0);
        G.assign(discrete ? static_cast<std::size_t>(plan.Q) : 0, 0.0);
        rawSum.assign(D, 0.0);
        rawMoment.assign(D * D, 0.0);
        scoreG.assign(D, 0.0);
        scoreK.assign(D * D, 0.0);
    }
    void add(const EStepSums& c) {
        logLikelihood += c.logLikelihood;
        weightSum += c.weightSum;
        processed += c.processed;
        responses += c.responses;
        failedCases.insert(failedCases.end(), c.failedCases.begin(), c.failedCases.end());
        auto addTo = [](std::vector<double>& to, const std::vector<double>& from) {
            for (std::size_t k = 0; k < to.size(); ++k) to[k] += from[k];
        };
        addTo(expected, c.expected);
        addTo(U, c.U);
        addTo(S, c.S);
        addTo(T, c.T);
        addTo(G, c.G);
        addTo(rawSum, c.rawSum);
        addTo(rawMoment, c.rawMoment);
        addTo(scoreG, c.scoreG);
        addTo(scoreK, c.scoreK);
    }
};

// A chunk's sums and the buffers its cases reuse.
struct EStepSlot {
    EStepSums sums;
    std::vector<double> likelihood, posterior, scratch, caseWeights, weighted;
    std::vector<double> y, caseMean, E, M, raw, G, K;
    FactorScratch factor;
};

// One case: its posterior, and what it adds to the sums.
void eStepCase(const EstimationWork& work, const EstimationState& est, const EStepPlan& plan, int caseNumber,
               const std::int32_t* items, const std::int32_t* categories, int m, EStepSlot& slot) {
    const int D = plan.D, R = plan.R, Q = plan.Q;
    EStepSums& sums = slot.sums;
    const double* rec = work.caseRecord(caseNumber);
    double w = rec ? rec[0] : 1.0;
    if (w == 0.0) return;
    std::fill(slot.y.begin(), slot.y.end(), 0.0);
    at(slot.y, 0) = 1.0;
    if (rec)
        for (int r = 0; r < R; ++r) at(slot.y, r) = rec[1 + r];
    w *= est.weightFactor;
    double* caseMean = slot.caseMean.data();
    std::fill_n(caseMean, D, 0.0);
    if (R >= 2)
        for (int d = 0; d < D; ++d) {
            double s = 0.0;
            for (int r = 0; r < R; ++r) s += est.beta[d][r] * at(slot.y, r);
            caseMean[d] = s;
        }
    double* E = slot.E.data();
    double* M = slot.M.data();
    double ll = 0.0;
    bool ok = true;
    if (plan.factorised) {
        const bool casePrior = work.factor.casePrior;
        ok = factorisedPosterior(work, items, categories, m, casePrior ? caseMean : nullptr, est.stepH, work.discrete,
                                 slot.factor, ll) == 1;
    } else {
        const double* weights = work.nodeWeights.data();
        if (R >= 2 && work.method == EstimationMethod::Quadrature) {
            ok = caseNodeWeights(work, est.nodeGrid, slot.caseMean, slot.caseWeights) == 1;
            weights = slot.caseWeights.data();
        }
        if (ok)
            ok = casePosterior(work, items, categories, m, weights, caseMean, est.stepH, slot.likelihood.data(),
                               slot.posterior.data(), slot.scratch.data(), ll) == 1;
    }
    ++sums.processed;
    if (!ok) {
        sums.failedCases.push_back(caseNumber);
        return;
    }
    sums.logLikelihood += w * ll;
    sums.responses += m;
    const FactorGrid& f = work.factor;
    if (plan.needCounts) {
        // The weighted posterior, added into the rows of the case's items.
        const int nodes = plan.nodes;
        double* wpost = slot.weighted.data();
        if (plan.factorised) {
            const double* marginal = slot.factor.marginal.data();
            for (std::size_t k = 0; k < slot.factor.marginal.size(); ++k) wpost[k] = w * marginal[k];
        } else {
            const double* post = slot.posterior.data();
            for (int q = 0; q < Q; ++q) wpost[q] = w * post[q];
        }
        for (int r = 0; r < m; ++r) {
            const int item = items[r];
            double* e = sums.expected.data() + static_cast<std::size_t>(item) * nodes;
            const double* v = wpost;
            if (plan.factorised) v += static_cast<std::size_t>(at(f.itemDimension, item)) * nodes;
            if (nodes <= kInlineNodes)
                for (int q = 0; q < nodes; ++q) e[q] += v[q];
            else
                addInto(e, v, nodes);
        }
    }
    if (work.discrete) {
        const double* post = plan.factorised ? slot.factor.full.data() : slot.posterior.data();
        for (int q = 0; q < Q; ++q) at(sums.G, q) += w * post[q];
        return;
    }
    if (plan.factorised) {
        factorisedMoments(work, slot.factor, E, M);
    } else {
        const double* post = slot.posterior.data();
        const double* t = plan.theta.data();
        double* tmp = slot.weighted.data();  // free after the expected counts
        for (int j = 0; j < D; ++j) E[j] = dot(post, t + static_cast<std::size_t>(j) * Q, Q);
        for (int j = 0; j < D; ++j)
            for (int k = j; k < D; ++k) {
                const double* tj = t + static_cast<std::size_t>(j) * Q;
                const double* tk = t + static_cast<std::size_t>(k) * Q;
                for (int q = 0; q < Q; ++q) tmp[q] = tj[q] * tk[q];
                M[j * D + k] = M[k * D + j] = dot(post, tmp, Q);
            }
    }
    if (plan.mcRegression) {
        for (int j = 0; j < D; ++j)
            for (int k = 0; k < D; ++k)
                M[j * D + k] += caseMean[j] * E[k] + E[j] * caseMean[k] + caseMean[j] * caseMean[k];
        for (int j = 0; j < D; ++j) E[j] += caseMean[j];
    }
    for (int j = 0; j < D; ++j) {
        at(sums.T, j) += E[j];
        for (int r = 0; r < R; ++r) at(sums.U, j * R + r) += w * E[j] * at(slot.y, r);
        for (int k = 0; k < D; ++k) at(sums.S, j * D + k) += w * M[j * D + k];
    }
    if (plan.scoreForm) {
        double* raw = slot.raw.data();
        std::fill_n(raw, D, 0.0);
        for (int r = 0; r < m; ++r) {
            const double* b = work.scoreRow(items[r], categories[r]);
            for (int d = 0; d < D; ++d) raw[d] += b[d];
        }
        sums.weightSum += w;
        for (int d = 0; d < D; ++d) {
            at(sums.rawSum, d) += w * raw[d];
            for (int j = 0; j < D; ++j) at(sums.rawMoment, j * D + d) += w * raw[d] * (E[j] - at(work.shift, j));
        }
        if (plan.factorised) {
            double* G = slot.G.data();
            double* K = slot.K.data();
            factorisedExpectedScores(work, items, m, slot.factor, G, K);
            for (int d = 0; d < D; ++d) {
                at(sums.scoreG, d) += w * G[d];
                for (int j = 0; j < D; ++j) at(sums.scoreK, j * D + d) += w * K[j * D + d];
            }
        }
    }
}

}  // namespace

int EStep(Session& session, EstimationWork& work) {
    EstimationState& est = session.ws.est;
    Stopwatch clock;
    const int D = work.D, R = work.R, Q = work.Q;

    std::vector<double> mu(static_cast<std::size_t>(D), 0.0);
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r) at(mu, d) += est.beta[d][r];
    calcGwt(session, work, est.nodeGrid, mu, est.sigma, est.gwt);
    computeAXsi(work, est.xsi);
    workingGrid(session, work, est);

    EStepPlan plan;
    plan.D = D;
    plan.R = R;
    plan.Q = Q;
    plan.I = work.I;
    plan.mcRegression = work.method == EstimationMethod::MonteCarlo && R >= 2;
    // Under Gauss-Hermite quadrature the nodes move with the population
    // parameters, and the plain posterior moments then lead to a point that
    // is not the maximum of the quadrature likelihood. Their integration by
    // parts form (posterior expectations of the case's score) has the
    // maximum as its fixed point; both are the same for exact integration.
    // Its sums are linear in the cases, so they are formed from the
    // expected counts after the pass (or, dimension by dimension, case by
    // case).
    plan.scoreForm = work.method == EstimationMethod::Gauss && !work.discrete;
    prepareFactorisedPass(session, work);
    plan.factorised = work.factorised;
    plan.needCounts = !work.allAnchored || (plan.scoreForm && !plan.factorised);
    if (plan.factorised) {
        updateFactorProbabilities(session, work);
    } else if (!plan.mcRegression) {
        updateProbabilities(session, work, work.workGrid, work.shift);
    } else {
        monteCarloNumerators(work, work.mcRegressionNodes);
    }
    plan.nodes = work.probNodes;
    // Node coordinates, dimension-major: the working grid plus the shift,
    // or under Monte Carlo with regressors the regression nodes (each case
    // adds its own mean).
    if (!plan.factorised)
        plan.theta = plan.mcRegression ? thetaColumns(work, work.mcRegressionNodes, {})
                                       : thetaColumns(work, work.workGrid, work.shift);

    const int slotCount = casePassSlots(session);
    std::vector<EStepSlot> slots(static_cast<std::size_t>(slotCount));
    for (EStepSlot& slot : slots) {
        const std::size_t q = static_cast<std::size_t>(Q);
        if (!plan.factorised) {
            slot.likelihood.resize(q);
            slot.posterior.resize(q);
            slot.scratch.resize(plan.mcRegression ? 2 * q : 0);
        }
        slot.weighted.resize(plan.factorised ? static_cast<std::size_t>(D) * plan.nodes : q);
        slot.y.resize(static_cast<std::size_t>(R));
        slot.caseMean.resize(static_cast<std::size_t>(D));
        slot.E.resize(static_cast<std::size_t>(D));
        slot.M.resize(static_cast<std::size_t>(D) * D);
        slot.raw.resize(static_cast<std::size_t>(D));
        slot.G.resize(static_cast<std::size_t>(D));
        slot.K.resize(static_cast<std::size_t>(D) * D);
    }
    EStepSums total;
    total.start(plan, work.discrete);

    const long long N = session.ws.data.passes.cases;
    Stopwatch statusClock;
    CasePass pass;
    const std::int64_t table = plan.needCounts ? static_cast<std::int64_t>(work.I + 1) * plan.nodes : 0;
    const double perCase = meanResponses(session) * 2 * plan.nodes + (plan.factorised ? 4.0 * Q : 2.0 * Q);
    pass.chunkCases = chunkCasesFor(table + (work.discrete ? Q : 0), static_cast<std::int64_t>(perCase));
    pass.workPerCase = perCase;
    pass.polls = [&](int caseNumber) {
        const double* rec = work.caseRecord(caseNumber);
        return !rec || rec[0] != 0.0;
    };
    const auto cases = [&](int s, const CaseChunk& chunk) {
        EStepSlot& slot = at(slots, s);
        slot.sums.start(plan, work.discrete);
        for (int c = 0; c < chunk.count(); ++c)
            eStepCase(work, est, plan, chunk.caseNumber(c), chunk.itemsOf(c),
                      chunk.categoriesOf(c), chunk.responses(c), slot);
        return 1;
    };
    pass.stages.push_back({true, cases});
    const auto add = [&](int s, const CaseChunk&) {
        const EStepSums& sums = at(slots, s).sums;
        for (std::int32_t n : sums.failedCases)
            session.appendOutput("Error processing case " + itoMString(n + 1) + "\r\n");
        total.add(sums);
        if (statusClock.seconds() >= 1.0) {
            session.statusText(progressText("EStep: ", total.processed, N), 0);
            statusClock.restart();
        }
        return 1;
    };
    pass.stages.push_back({false, add});
    if (runCasePass(session, work, pass) != 1) return -1;
    const long long processed = total.processed;
    const long long failed = static_cast<long long>(total.failedCases.size());

    est.deviance = -2.0 * total.logLikelihood;
    session.appendIterationReport("Deviance = " + fmtNumber("%14.5f", est.deviance) + "\r\n");
    session.timing.addEStep(clock.seconds(), total.responses, Q);
    if (plan.factorised) ++session.timing.factorisedPasses;
    if (processed > 0 && failed == processed) {
        session.errorReport(MString("No cases could be successfully estimated. ") +
                            "Try increasing the number, or range of, the nodes");
        return -1;
    }
    if (processed == 0) {
        session.errorReport("No valid students were found");
        return -1;
    }
    if (failed > 0)
        session.errorReport(MString("One or more cases could not be successfully estimated. ") +
                            "Increasing the number, or range of, the nodes may be necessary");
    work.expected = std::move(total.expected);
    if (!plan.needCounts) work.expected.assign(static_cast<std::size_t>(work.I + 1) * plan.nodes, 0.0);
    Matrix U(D, R), S(D, D);
    for (int j = 0; j < D; ++j) {
        for (int r = 0; r < R; ++r) U[j][r] = at(total.U, j * R + r);
        for (int k = 0; k < D; ++k) S[j][k] = at(total.S, j * D + k);
    }
    if (!work.discrete) {
        if (plan.scoreForm) {
            // Sums over the cases of E[g] and E[(theta - mu) g']: the raw
            // scores minus the expected scores at the nodes, weighted by the
            // expected counts.
            std::vector<double> sumG = total.rawSum, sumK = total.rawMoment;
            if (plan.factorised) {
                for (int d = 0; d < D; ++d) at(sumG, d) -= at(total.scoreG, d);
                for (int k = 0; k < D * D; ++k) at(sumK, k) -= at(total.scoreK, k);
            } else {
                std::vector<double> sj(static_cast<std::size_t>(D));
                for (int i = 0; i < work.I; ++i) {
                    const double* r = work.expectedRow(i);
                    for (int k = at(work.first, i); k < at(work.ncat, i); ++k) {
                        const double* pr = work.probRow(i, k);
                        const double* b = work.scoreRow(i, k);
                        for (int d = 0; d < D; ++d) {
                            if (b[d] == 0.0) continue;
                            double s0 = 0.0;
                            std::fill(sj.begin(), sj.end(), 0.0);
                            for (int q = 0; q < Q; ++q) {
                                const double v = b[d] * pr[q] * r[q];
                                s0 += v;
                                for (int j = 0; j < D; ++j) at(sj, j) += v * work.workGrid[q][j];
                            }
                            at(sumG, d) -= s0;
                            for (int j = 0; j < D; ++j) at(sumK, j * D + d) -= at(sj, j);
                        }
                    }
                }
            }
            const double weightSum = total.weightSum;
            Matrix U2(D, R), S2(D, D), K(D, D);
            std::vector<double> dev(static_cast<std::size_t>(D));
            for (int j = 0; j < D; ++j) {
                double s = 0.0;
                for (int k = 0; k < D; ++k) {
                    s += est.sigma[j][k] * at(sumG, k);
                    K[j][k] = at(sumK, j * D + k);
                }
                at(dev, j) = s;
                U2[j][0] = weightSum * at(mu, j) + s;
            }
            const Matrix KS = K * est.sigma;
            for (int j = 0; j < D; ++j)
                for (int k = 0; k < D; ++k)
                    S2[j][k] = weightSum * est.sigma[j][k] + 0.5 * (KS[j][k] + KS[k][j]) + at(mu, j) * at(dev, k) +
                               at(dev, j) * at(mu, k) + weightSum * at(mu, j) * at(mu, k);
            if (positiveDefinite((S2 - (U2 * est.yyInverse) * transpose(U2)) / static_cast<double>(processed))) {
                U = U2;
                S = S2;
            }
        }
        if (populationUpdate(session, work, U, S, total.T, static_cast<double>(processed)) != 1) return -1;
    } else {
        // Divided by the cases that took part, so the weights sum to one
        // even when some cases have zero weight.
        double sum = 0.0;
        for (double g : total.G) sum += g;
        for (int q = 0; q < Q; ++q) est.gwt[q][0] = sum > 0.0 ? at(total.G, q) / sum : 0.0;
        est.gwt.write("Estimated Weights", 7);
    }
    if (work.method == EstimationMethod::MonteCarlo) {
        if (R == 1) {
            est.nodeGrid = transformNodes(session, est.baseGrid, est.sigma);
            for (int q = 0; q < Q; ++q)
                for (int d = 0; d < D; ++d) est.nodeGrid[q][d] += est.beta[d][0];
        } else {
            work.mcRegressionNodes = transformNodes(session, est.baseGrid, est.sigma);
        }
    }
    return 1;
}

int monteCarloPosteriorNodes(Session& session, EstimationWork& work, int draws, Matrix& nodes) {
    const EstimationState& est = session.ws.est;
    const int D = work.D;
    Matrix grid;
    float h = 0.0f;
    if (buildNodes(session, work, draws, 0.0f, 0.0f, grid, h) != 1) return -1;
    const int Q = work.Q;
    nodes = transformNodes(session, grid, est.sigma);
    if (work.R == 1)
        for (int q = 0; q < Q; ++q)
            for (int d = 0; d < D; ++d) nodes[q][d] += est.beta[d][0];
    work.likelihood.assign(static_cast<std::size_t>(Q), 0.0);
    work.posterior.assign(static_cast<std::size_t>(Q), 0.0);
    if (work.R == 1)
        updateProbabilities(session, work, nodes, std::vector<double>(static_cast<std::size_t>(D), 0.0));
    else
        monteCarloNumerators(work, nodes);
    return 1;
}

int drawNode(const double* posterior, int Q, double u) {
    double cumulative = 0.0;
    for (int q = 0; q < Q; ++q) {
        cumulative += posterior[q];
        if (cumulative >= u) return q;
    }
    return Q - 1;
}

void cumulativeSums(const double* posterior, int Q, double* cumulative) {
    double sum = 0.0;
    for (int q = 0; q < Q; ++q) cumulative[q] = sum += posterior[q];
}

int drawFromCumulative(const double* cumulative, int Q, double u) {
    // The sums never decrease, so the first that reaches u is found by
    // bisection.
    const double* found = std::lower_bound(cumulative, cumulative + Q, u);
    return found == cumulative + Q ? Q - 1 : static_cast<int>(found - cumulative);
}

int forEachCase(Session& session, EstimationWork& work, const std::function<int(int, int)>& visit) {
    ResponseReader reader(session.ws.data.passes);
    if (reader.open(session) != 1) return -1;
    for (;;) {
        int caseNumber = -1;
        bool last = false;
        const int m = reader.next(caseNumber, work.itemNo.data(), work.rsp.data(), last, session);
        if (m < 0) return -1;
        if (caseNumber >= 0 && visit(caseNumber, m) != 1) {
            reader.close();
            return -1;
        }
        if (last) break;
    }
    reader.close();
    return 1;
}

int readDoubles(const MString& name, std::vector<double>& values, std::size_t count) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return 0;
    values.assign(count, 0.0);
    const std::size_t got = count ? std::fread(values.data(), sizeof(double), count, f) : 0;
    std::fclose(f);
    return got == count ? 1 : -1;
}

MString progressText(const char* title, long long k, long long N) {
    const long long denominator = N - 5;
    const long long p = denominator > 0 ? 100 * k / denominator : 100;
    return MString(title) + itoMString(std::min(100LL, std::max(0LL, p))) + "%";
}

MString fmtNumber(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return MString(buffer);
}

}  // namespace ordena
