// Nodes, prior weights, response probabilities and the E-step pass.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/special.h"
#include "base/timing.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/engine.h"

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
        idx[static_cast<std::size_t>(d)] = q % n;
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
                grid[q][d] = x[idx[static_cast<std::size_t>(d)]][0];
                work.ghWeights[static_cast<std::size_t>(q)] *= w[idx[static_cast<std::size_t>(d)]][0];
            }
        }
        h = 0.0f;
    } else {
        h = static_cast<float>((static_cast<double>(maxNode) - minNode) / (n - 1));
        for (int q = 0; q < Q; ++q) {
            nodeIndices(q, n, D, idx);
            for (int d = 0; d < D; ++d)
                grid[q][d] = idx[static_cast<std::size_t>(d)] * static_cast<double>(h) + minNode;
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
        for (int q = 0; q < Q && q < gwt.rows(); ++q) w[static_cast<std::size_t>(q)] = gwt[q][0];
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
        for (int d = 0; d < D; ++d) diff[static_cast<std::size_t>(d)] = grid[q][d] - mean[static_cast<std::size_t>(d)];
        double m = 0.0;
        for (int j = 0; j < D; ++j)
            for (int k = 0; k < D; ++k)
                m += diff[static_cast<std::size_t>(j)] * work.sigmaInverse[j][k] * diff[static_cast<std::size_t>(k)];
        double v = work.normConst * std::exp(-0.5 * m);
        if (!(v >= 0.0)) return -1;
        out[static_cast<std::size_t>(q)] = v;
        total += v;
    }
    if (!(total > 0.0)) return -1;
    for (int q = 0; q < Q; ++q) w[static_cast<std::size_t>(q)] = out[static_cast<std::size_t>(q)] / total;
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
            double dj = grid[q][j] - mean[static_cast<std::size_t>(j)];
            m += dj * dj * work.sigmaInverse[j][j];
            for (int k = j + 1; k < D; ++k)
                m += 2.0 * dj * (grid[q][k] - mean[static_cast<std::size_t>(k)]) * work.sigmaInverse[j][k];
        }
        double v = work.normConst * std::exp(-0.5 * m);
        if (std::isnan(v)) return -1;
        weights[static_cast<std::size_t>(q)] = v;
        total += v;
    }
    if (!(total > 0.0)) return -1;
    for (double& v : weights) v /= total;
    return 1;
}

void computeAXsi(EstimationWork& work, const Vector& xsi) {
    work.axsi.assign(static_cast<std::size_t>(work.I) * work.maxCat, 0.0);
    for (int i = 0; i < work.I; ++i)
        for (int k = 0; k < work.ncat[static_cast<std::size_t>(i)]; ++k) {
            std::size_t row = static_cast<std::size_t>(i) * work.maxCat + k;
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
        double s = d < static_cast<int>(shift.size()) ? shift[static_cast<std::size_t>(d)] : 0.0;
        for (int q = 0; q < work.Q; ++q) t[static_cast<std::size_t>(d) * work.Q + q] = grid[q][d] + s;
    }
    return t;
}

void itemProbabilities(EstimationWork& work, int i, const std::vector<double>& theta, bool normalise) {
    const int Q = work.Q, D = work.D;
    const int first = work.first[static_cast<std::size_t>(i)], ncat = work.ncat[static_cast<std::size_t>(i)];
    for (int k = 0; k < ncat && k < first; ++k) std::fill_n(work.probRow(i, k), Q, 0.0);
    if (first >= ncat) return;
    std::vector<double> top(static_cast<std::size_t>(Q), -HUGE_VAL);
    for (int k = first; k < ncat; ++k) {
        double* row = work.probRow(i, k);
        const double a = work.axsi[static_cast<std::size_t>(i) * work.maxCat + k];
        for (int q = 0; q < Q; ++q) row[q] = a;
        for (int d = 0; d < D; ++d) {
            const double b = work.scores[(static_cast<std::size_t>(i) * work.maxCat + k) * D + d];
            if (b == 0.0) continue;
            const double* t = theta.data() + static_cast<std::size_t>(d) * Q;
            for (int q = 0; q < Q; ++q) row[q] += b * t[q];
        }
        if (normalise)
            for (int q = 0; q < Q; ++q)
                top[static_cast<std::size_t>(q)] = std::max(top[static_cast<std::size_t>(q)], row[q]);
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
            row[q] = std::exp(row[q] - top[static_cast<std::size_t>(q)]);
            total[static_cast<std::size_t>(q)] += row[q];
        }
    }
    for (int k = first; k < ncat; ++k) {
        double* row = work.probRow(i, k);
        for (int q = 0; q < Q; ++q) row[q] /= total[static_cast<std::size_t>(q)];
    }
}

void categoryProbabilities(const EstimationWork& work, int i, const double* theta, double* p) {
    const int D = work.D, maxCat = work.maxCat;
    const int first = work.first[static_cast<std::size_t>(i)], ncat = work.ncat[static_cast<std::size_t>(i)];
    double top = -HUGE_VAL;
    for (int k = first; k < ncat; ++k) {
        double e = work.axsi[static_cast<std::size_t>(i) * maxCat + k];
        for (int d = 0; d < D; ++d) e += work.scores[(static_cast<std::size_t>(i) * maxCat + k) * D + d] * theta[d];
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
    work.prob.assign(static_cast<std::size_t>(work.I) * work.maxCat * work.Q, 0.0);
    std::vector<double> theta = thetaColumns(work, grid, shift);
    for (int i = 0; i < work.I; ++i) itemProbabilities(work, i, theta, true);
}

void monteCarloNumerators(EstimationWork& work, const Matrix& grid) {
    work.prob.assign(static_cast<std::size_t>(work.I) * work.maxCat * work.Q, 0.0);
    std::vector<double> theta = thetaColumns(work, grid, {});
    for (int i = 0; i < work.I; ++i) itemProbabilities(work, i, theta, false);
}

void workingGrid(Session& session, EstimationWork& work, const EstimationState& est) {
    work.shift.assign(static_cast<std::size_t>(work.D), 0.0);
    if (work.method == EstimationMethod::Gauss) {
        work.workGrid = transformNodes(session, est.nodeGrid, est.sigma);
        for (int d = 0; d < work.D; ++d) work.shift[static_cast<std::size_t>(d)] = est.beta[d][0];
    } else {
        work.workGrid = est.nodeGrid;
    }
}

namespace {

// The two inner loops of every pass over the cases. Built for the vector
// units of the machine where it runs; each element is computed the same way
// in every version, so results do not depend on the machine.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define ORDENA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ORDENA_VECTOR_CLONES
#endif

constexpr int kInlineNodes = 32;

ORDENA_VECTOR_CLONES void multiplyInto(double* __restrict L, const double* __restrict p, int n) {
    for (int q = 0; q < n; ++q) L[q] *= p[q];
}

// Four independent maxima so the loop does not wait on one comparison chain.
double largestOf(const double* v, int n) {
    double m0 = 0.0, m1 = 0.0, m2 = 0.0, m3 = 0.0;
    int q = 0;
    for (; q + 3 < n; q += 4) {
        m0 = v[q] > m0 ? v[q] : m0;
        m1 = v[q + 1] > m1 ? v[q + 1] : m1;
        m2 = v[q + 2] > m2 ? v[q + 2] : m2;
        m3 = v[q + 3] > m3 ? v[q + 3] : m3;
    }
    for (; q < n; ++q) m0 = v[q] > m0 ? v[q] : m0;
    return std::max(std::max(m0, m1), std::max(m2, m3));
}

}  // namespace

int casePosterior(EstimationWork& work, int m, const std::vector<double>& weights, const std::vector<double>& caseMean,
                  float h, double& logLikelihood) {
    const int Q = work.Q;
    double* L = work.likelihood.data();
    std::fill_n(L, Q, 1.0);
    int rescales = 0;
    const bool numerators = work.method == EstimationMethod::MonteCarlo && work.R >= 2;
    std::vector<double> g;
    for (int r = 0; r < m; ++r) {
        const int item = work.itemNo[static_cast<std::size_t>(r)], x = work.rsp[static_cast<std::size_t>(r)];
        if (item < 0 || item >= work.I || x < 0 || x >= work.maxCat) {
            std::fill_n(L, Q, 0.0);
            break;
        }
        if (!numerators) {
            const double* p = work.probRow(item, x);
            // Short rows are cheaper inline than through the dispatched call.
            if (Q <= kInlineNodes)
                for (int q = 0; q < Q; ++q) L[q] *= p[q];
            else
                multiplyInto(L, p, Q);
        } else {
            const int first = work.first[static_cast<std::size_t>(item)],
                      ncat = work.ncat[static_cast<std::size_t>(item)];
            g.assign(static_cast<std::size_t>(work.maxCat), 0.0);
            for (int k = first; k < ncat; ++k) {
                double s = 0.0;
                for (int d = 0; d < work.D; ++d)
                    s += work.scores[(static_cast<std::size_t>(item) * work.maxCat + k) * work.D + d] *
                         caseMean[static_cast<std::size_t>(d)];
                g[static_cast<std::size_t>(k)] = std::exp(s);
            }
            for (int q = 0; q < Q; ++q) {
                double total = 0.0;
                for (int k = first; k < ncat; ++k) total += work.probRow(item, k)[q] * g[static_cast<std::size_t>(k)];
                double num = x >= first && x < ncat ? work.probRow(item, x)[q] * g[static_cast<std::size_t>(x)] : 0.0;
                L[q] *= total > 0.0 ? num / total : 0.0;
            }
        }
        if ((r & 7) == 7) {
            const double top = largestOf(L, Q);
            if (top > 0.0 && top < kRescaleThreshold) {
                for (int q = 0; q < Q; ++q) L[q] *= kRescaleUp;
                ++rescales;
            }
        }
    }
    double* post = work.posterior.data();
    double total = 0.0;
    if (work.method == EstimationMethod::MonteCarlo) {
        for (int q = 0; q < Q; ++q) {
            post[q] = L[q];
            total += L[q];
        }
    } else {
        for (int q = 0; q < Q; ++q) {
            post[q] = L[q] * weights[static_cast<std::size_t>(q)];
            total += post[q];
        }
    }
    if (!(total > 0.0) || !std::isfinite(total)) {
        std::fill_n(post, Q, 0.0);
        logLikelihood = 0.0;
        return 0;
    }
    for (int q = 0; q < Q; ++q) post[q] /= total;
    const double lnScale = rescales * kRescaleBits * std::log(2.0);
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

ORDENA_VECTOR_CLONES void addInto(double* __restrict e, const double* __restrict v, int n) {
    for (int q = 0; q < n; ++q) e[q] += v[q];
}

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

}  // namespace

int EStep(Session& session, EstimationWork& work) {
    EstimationState& est = session.ws.est;
    Stopwatch clock;
    const int D = work.D, R = work.R, Q = work.Q;
    double accumulator = 0.0;
    work.expected.assign(static_cast<std::size_t>(work.I + 1) * Q, 0.0);

    std::vector<double> mu(static_cast<std::size_t>(D), 0.0);
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r) mu[static_cast<std::size_t>(d)] += est.beta[d][r];
    calcGwt(session, work, est.nodeGrid, mu, est.sigma, est.gwt);
    computeAXsi(work, est.xsi);
    workingGrid(session, work, est);
    const bool mcRegression = work.method == EstimationMethod::MonteCarlo && R >= 2;
    if (!mcRegression)
        updateProbabilities(session, work, work.workGrid, work.shift);
    else
        monteCarloNumerators(work, work.mcRegressionNodes);

    // Node coordinates, dimension-major: the working grid plus the shift,
    // or under Monte Carlo with regressors the regression nodes (each case
    // adds its own mean).
    const std::vector<double> theta =
        mcRegression ? thetaColumns(work, work.mcRegressionNodes, {}) : thetaColumns(work, work.workGrid, work.shift);

    // Under Gauss-Hermite quadrature the nodes move with the population
    // parameters, and the plain posterior moments then lead to a point that
    // is not the maximum of the quadrature likelihood. Their integration by
    // parts form (posterior expectations of the case's score) has the
    // maximum as its fixed point; both are the same for exact integration.
    // Its sums are linear in the cases, so they are formed from the
    // expected counts after the pass.
    const bool scoreForm = work.method == EstimationMethod::Gauss && !work.discrete;
    const bool needCounts = !work.allAnchored || scoreForm;
    double weightSum = 0.0;
    std::vector<double> rawSum(static_cast<std::size_t>(D), 0.0), rawMoment(static_cast<std::size_t>(D) * D, 0.0);

    Matrix U(D, R), S(D, D);
    std::vector<double> T(static_cast<std::size_t>(D), 0.0), G(static_cast<std::size_t>(Q), 0.0);
    std::vector<double> y(static_cast<std::size_t>(R)), caseMean(static_cast<std::size_t>(D)),
        E(static_cast<std::size_t>(D));
    std::vector<double> raw(static_cast<std::size_t>(D));
    std::vector<double> caseW;
    Matrix M(D, D);
    long long processed = 0, failed = 0, responses = 0;
    const long long N = session.ws.data.passes.cases;

    Stopwatch statusClock;
    const int visited = forEachCase(session, work, [&](int caseNumber, int m) {
        const double* rec = work.caseRecord(caseNumber);
        double w = rec ? rec[0] : 1.0;
        if (w != 0.0) {
            if (session.pollForStop()) {
                return -1;
            }
            std::fill(y.begin(), y.end(), 0.0);
            y[0] = 1.0;
            if (rec)
                for (int r = 0; r < R; ++r) y[static_cast<std::size_t>(r)] = rec[1 + r];
            w *= est.weightFactor;
            const std::vector<double>* weights = &work.nodeWeights;
            bool ok = true;
            std::fill(caseMean.begin(), caseMean.end(), 0.0);
            if (R >= 2) {
                for (int d = 0; d < D; ++d) {
                    double s = 0.0;
                    for (int r = 0; r < R; ++r) s += est.beta[d][r] * y[static_cast<std::size_t>(r)];
                    caseMean[static_cast<std::size_t>(d)] = s;
                }
                if (work.method == EstimationMethod::Quadrature) {
                    if (caseNodeWeights(work, est.nodeGrid, caseMean, caseW) != 1) ok = false;
                    weights = &caseW;
                }
            }
            double ll = 0.0;
            if (ok && casePosterior(work, m, *weights, caseMean, est.stepH, ll) != 1) ok = false;
            if (ok) {
                accumulator += w * ll;
                responses += m;
                const double* post = work.posterior.data();
                if (needCounts) {
                    double* wpost = work.likelihood.data();  // free after the posterior
                    for (int q = 0; q < Q; ++q) wpost[q] = w * post[q];
                    for (int r = 0; r < m; ++r) {
                        double* e = work.expected.data() +
                                    static_cast<std::size_t>(work.itemNo[static_cast<std::size_t>(r)]) * Q;
                        if (Q <= kInlineNodes)
                            for (int q = 0; q < Q; ++q) e[q] += wpost[q];
                        else
                            addInto(e, wpost, Q);
                    }
                }
                if (!work.discrete) {
                    const double* t = theta.data();
                    for (int j = 0; j < D; ++j)
                        E[static_cast<std::size_t>(j)] = dot(post, t + static_cast<std::size_t>(j) * Q, Q);
                    for (int j = 0; j < D; ++j)
                        for (int k = j; k < D; ++k) {
                            std::vector<double>& tmp = work.likelihood;  // free after the posterior
                            const double* tj = t + static_cast<std::size_t>(j) * Q;
                            const double* tk = t + static_cast<std::size_t>(k) * Q;
                            for (int q = 0; q < Q; ++q) tmp[static_cast<std::size_t>(q)] = tj[q] * tk[q];
                            M[j][k] = M[k][j] = dot(post, tmp.data(), Q);
                        }
                    if (mcRegression)
                        for (int j = 0; j < D; ++j)
                            for (int k = 0; k < D; ++k)
                                M[j][k] +=
                                    caseMean[static_cast<std::size_t>(j)] * E[static_cast<std::size_t>(k)] +
                                    E[static_cast<std::size_t>(j)] * caseMean[static_cast<std::size_t>(k)] +
                                    caseMean[static_cast<std::size_t>(j)] * caseMean[static_cast<std::size_t>(k)];
                    if (mcRegression)
                        for (int j = 0; j < D; ++j)
                            E[static_cast<std::size_t>(j)] += caseMean[static_cast<std::size_t>(j)];
                    for (int j = 0; j < D; ++j) {
                        T[static_cast<std::size_t>(j)] += E[static_cast<std::size_t>(j)];
                        for (int r = 0; r < R; ++r)
                            U[j][r] += w * E[static_cast<std::size_t>(j)] * y[static_cast<std::size_t>(r)];
                        for (int k = 0; k < D; ++k) S[j][k] += w * M[j][k];
                    }
                    if (scoreForm) {
                        std::fill(raw.begin(), raw.end(), 0.0);
                        for (int r = 0; r < m; ++r) {
                            const double* b =
                                work.scores.data() +
                                (static_cast<std::size_t>(work.itemNo[static_cast<std::size_t>(r)]) * work.maxCat +
                                 work.rsp[static_cast<std::size_t>(r)]) *
                                    D;
                            for (int d = 0; d < D; ++d) raw[static_cast<std::size_t>(d)] += b[d];
                        }
                        weightSum += w;
                        for (int d = 0; d < D; ++d) {
                            rawSum[static_cast<std::size_t>(d)] += w * raw[static_cast<std::size_t>(d)];
                            for (int j = 0; j < D; ++j)
                                rawMoment[static_cast<std::size_t>(j) * D + d] +=
                                    w * raw[static_cast<std::size_t>(d)] *
                                    (E[static_cast<std::size_t>(j)] - work.shift[static_cast<std::size_t>(j)]);
                        }
                    }
                } else {
                    for (int q = 0; q < Q; ++q) G[static_cast<std::size_t>(q)] += w * post[q];
                }
            } else {
                MString text = "Error processing case " + itoMString(caseNumber + 1) + "\r\n";
                session.appendOutput(text);
                ++failed;
            }
            ++processed;
            if (statusClock.seconds() >= 1.0) {
                session.statusText(progressText("EStep: ", processed, N), 0);
                statusClock.restart();
            }
        }
        return 1;
    });
    if (visited != 1) return -1;

    est.deviance = -2.0 * accumulator;
    session.appendOutput("Deviance = " + fmtNumber("%14.5f", est.deviance) + "\r\n");
    session.timing.addEStep(clock.seconds(), responses, Q);
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
    if (!work.discrete) {
        if (scoreForm) {
            // Sums over the cases of E[g] and E[(theta - mu) g']: the raw
            // scores minus the expected scores at the nodes, weighted by the
            // expected counts.
            std::vector<double> sumG = rawSum, sumK = rawMoment;
            for (int i = 0; i < work.I; ++i) {
                const double* r = work.expected.data() + static_cast<std::size_t>(i) * Q;
                for (int k = work.first[static_cast<std::size_t>(i)]; k < work.ncat[static_cast<std::size_t>(i)]; ++k) {
                    const double* pr = work.probRow(i, k);
                    for (int d = 0; d < D; ++d) {
                        const double b = work.scores[(static_cast<std::size_t>(i) * work.maxCat + k) * D + d];
                        if (b == 0.0) continue;
                        double s0 = 0.0;
                        std::vector<double> sj(static_cast<std::size_t>(D), 0.0);
                        for (int q = 0; q < Q; ++q) {
                            const double v = b * pr[q] * r[q];
                            s0 += v;
                            for (int j = 0; j < D; ++j) sj[static_cast<std::size_t>(j)] += v * work.workGrid[q][j];
                        }
                        sumG[static_cast<std::size_t>(d)] -= s0;
                        for (int j = 0; j < D; ++j)
                            sumK[static_cast<std::size_t>(j) * D + d] -= sj[static_cast<std::size_t>(j)];
                    }
                }
            }
            Matrix U2(D, R), S2(D, D), K(D, D);
            std::vector<double> dev(static_cast<std::size_t>(D));
            for (int j = 0; j < D; ++j) {
                double s = 0.0;
                for (int k = 0; k < D; ++k) {
                    s += est.sigma[j][k] * sumG[static_cast<std::size_t>(k)];
                    K[j][k] = sumK[static_cast<std::size_t>(j) * D + k];
                }
                dev[static_cast<std::size_t>(j)] = s;
                U2[j][0] = weightSum * mu[static_cast<std::size_t>(j)] + s;
            }
            const Matrix KS = K * est.sigma;
            for (int j = 0; j < D; ++j)
                for (int k = 0; k < D; ++k)
                    S2[j][k] = weightSum * est.sigma[j][k] + 0.5 * (KS[j][k] + KS[k][j]) +
                               mu[static_cast<std::size_t>(j)] * dev[static_cast<std::size_t>(k)] +
                               dev[static_cast<std::size_t>(j)] * mu[static_cast<std::size_t>(k)] +
                               weightSum * mu[static_cast<std::size_t>(j)] * mu[static_cast<std::size_t>(k)];
            if (positiveDefinite((S2 - (U2 * est.yyInverse) * transpose(U2)) / static_cast<double>(processed))) {
                U = U2;
                S = S2;
            }
        }
        if (populationUpdate(session, work, U, S, T, static_cast<double>(processed)) != 1) return -1;
    } else {
        // Divided by the cases that took part, so the weights sum to one
        // even when some cases have zero weight.
        double total = 0.0;
        for (double g : G) total += g;
        for (int q = 0; q < Q; ++q) est.gwt[q][0] = total > 0.0 ? G[static_cast<std::size_t>(q)] / total : 0.0;
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
