#include "estimation/factorised.h"

#include <algorithm>
#include <cmath>

#include "base/index.h"
#include "command/session.h"
#include "estimation/kernels.h"
#include "estimation/posterior.h"
#include "estimation/probabilities.h"

namespace ordena {

namespace {

// Enough for every model the score statements can state.
constexpr int kMaxDimensions = 16;

// Below this a sum of the scaled factors has lost its precision; the case
// is then computed node by node instead.
const double kSmallestSum = std::ldexp(1.0, -700);
// The prior weights of the node-by-node computation underflow to zero below
// about e^-745; below e^-700 that computation decides.
constexpr double kSmallestLogWeight = -700.0;

// The one dimension item i scores on (0 when it scores on none), or -1 when
// its categories score on more than one.
int scoredDimension(const EstimationWork& work, int i) {
    int found = -1;
    for (int k = 0; k < at(work.ncat, i); ++k) {
        const double* b = work.scoreRow(i, k);
        for (int d = 0; d < work.D; ++d) {
            if (b[d] == 0.0) continue;
            if (found >= 0 && found != d) return -1;
            found = d;
        }
    }
    return found < 0 ? 0 : found;
}

// Gauss-Hermite nodes turn with the covariance matrix: they form a product
// grid in the latent space only while it is diagonal, before this pass and
// after its population update (which the M-step's nodes follow).
bool covarianceStaysDiagonal(const EstimationState& est, int D) {
    if (est.sigma.rows() != D || est.covarianceAnchors.rows() != D) return false;
    for (int j = 0; j < D; ++j)
        for (int k = 0; k < D; ++k) {
            if (j == k) continue;
            const double anchor = est.covarianceAnchors[j][k];
            if (est.sigma[j][k] != 0.0 || !isAnchoredValue(anchor) || anchor != 0.0) return false;
        }
    return true;
}

int nodesPerDimension(int Q, int D) {
    const int n = static_cast<int>(std::lround(std::pow(static_cast<double>(Q), 1.0 / D)));
    long long q = 1;
    for (int d = 0; d < D && q <= Q; ++d) q *= n;
    return n >= 1 && q == Q ? n : 0;
}

// Position of the table of dimensions j < k among the pair tables.
int pairIndex(int j, int k, int D) { return j * (2 * D - j - 1) / 2 + (k - j - 1); }

// The prior weights of a case in a latent regression, by the node-by-node
// rule: normalised exp(-m/2), m the Mahalanobis distance from the mean.
int nodeByNodeWeights(const EstimationWork& work, const double* mean, double* weights) {
    const int D = work.D, Q = work.Q;
    double total = 0.0;
    for (int q = 0; q < Q; ++q) {
        double m = 0.0;
        for (int j = 0; j < D; ++j) {
            const double dj = work.workGrid[q][j] - mean[j];
            m += dj * dj * work.sigmaInverse[j][j];
            for (int k = j + 1; k < D; ++k) m += 2.0 * dj * (work.workGrid[q][k] - mean[k]) * work.sigmaInverse[j][k];
        }
        const double v = work.normConst * std::exp(-0.5 * m);
        if (std::isnan(v)) return -1;
        weights[q] = v;
        total += v;
    }
    if (!(total > 0.0)) return -1;
    for (int q = 0; q < Q; ++q) weights[q] /= total;
    return 1;
}

// The pair tables and the total of the posterior weights v, row of the grid
// by row (a row: the n nodes that differ in the first dimension only). v is
// the given whole posterior, or C_q times the product of the joint factors;
// with a case prior factor, priorTotal receives the sum of C_q times the
// product of the prior factors.
double gridSums(const EstimationWork& work, FactorScratch& s, const double* given, bool full, double& priorTotal) {
    const FactorGrid& f = work.factor;
    const int D = work.D, n = f.n, rows = work.Q / f.n;
    const double* C = f.prior.data();
    const double* e = s.joint.data();
    const double* g = s.factor.data();
    std::fill(s.pairs.begin(), s.pairs.end(), 0.0);
    double* pairs = s.pairs.data();
    double* row = s.row.data();
    const std::size_t table = static_cast<std::size_t>(n) * n;
    int index[kMaxDimensions] = {};
    double total = 0.0;
    priorTotal = 0.0;
    for (int o = 0; o < rows; ++o) {
        const double* Crow = C + static_cast<std::size_t>(o) * n;
        if (given) {
            std::copy_n(given + static_cast<std::size_t>(o) * n, n, row);
        } else {
            double te = 1.0, tg = 1.0;
            for (int j = 1; j < D; ++j) {
                te *= e[j * n + index[j]];
                tg *= g[j * n + index[j]];
            }
            for (int a = 0; a < n; ++a) row[a] = Crow[a] * e[a] * te;
            if (f.casePrior) {
                double u = 0.0;
                for (int a = 0; a < n; ++a) u += Crow[a] * g[a];
                priorTotal += tg * u;
            }
            if (full) std::copy_n(row, n, s.full.data() + static_cast<std::size_t>(o) * n);
        }
        const double sum = sumOf(row, n);
        for (int k = 1; k < D; ++k) {
            double* t = pairs + pairIndex(0, k, D) * table + static_cast<std::size_t>(index[k]) * n;
            for (int a = 0; a < n; ++a) t[a] += row[a];
        }
        for (int j = 1; j < D; ++j)
            for (int k = j + 1; k < D; ++k)
                pairs[pairIndex(j, k, D) * table + static_cast<std::size_t>(index[k]) * n + index[j]] += sum;
        total += sum;
        for (int j = 1; j < D; ++j) {
            if (++index[j] < n) break;
            index[j] = 0;
        }
    }
    return total;
}

// out[i * n + a] = A[i * n + a] * x[a] * y[i].
void outerScaled(const double* A, const double* x, const double* y, int n, double* out) {
    for (int i = 0; i < n; ++i)
        for (int a = 0; a < n; ++a) out[i * n + a] = A[i * n + a] * x[a] * y[i];
}

// Two dimensions: the grid is the one pair table.
double gridSumsTwo(const EstimationWork& work, FactorScratch& s, double& priorTotal) {
    const FactorGrid& f = work.factor;
    const int n = f.n;
    const double* e = s.joint.data();
    const double* g = s.factor.data();
    outerScaled(f.prior.data(), e, e + n, n, s.pairs.data());
    priorTotal = 0.0;
    if (f.casePrior) {
        double* B = s.contracted.data();
        outerScaled(f.prior.data(), g, g + n, n, B);
        priorTotal = sumOf(B, n * n);
    }
    return sumOf(s.pairs.data(), n * n);
}

// Three dimensions: each pair table is the prior summed over the third
// dimension against its factors, times the factors of the pair; the sums
// run over whole slices of the prior table laid out with the summed
// dimension slowest.
double gridSumsThree(const EstimationWork& work, FactorScratch& s, double& priorTotal) {
    const FactorGrid& f = work.factor;
    const int n = f.n, n2 = n * n;
    const double* e0 = s.joint.data();
    const double* e1 = e0 + n;
    const double* e2 = e1 + n;
    double* A01 = s.contracted.data();
    double* A02 = A01 + n2;
    double* A12 = A02 + n2;
    std::fill_n(A01, 3 * n2, 0.0);
    for (int k = 0; k < n; ++k) {
        addScaledInto(A01, e2[k], f.prior.data() + static_cast<std::size_t>(k) * n2, n2);
        addScaledInto(A02, e1[k], f.priorBySecond.data() + static_cast<std::size_t>(k) * n2, n2);
        addScaledInto(A12, e0[k], f.priorByFirst.data() + static_cast<std::size_t>(k) * n2, n2);
    }
    double* pairs = s.pairs.data();
    outerScaled(A01, e0, e1, n, pairs + pairIndex(0, 1, 3) * n2);
    outerScaled(A02, e0, e2, n, pairs + pairIndex(0, 2, 3) * n2);
    outerScaled(A12, e1, e2, n, pairs + pairIndex(1, 2, 3) * n2);
    priorTotal = 0.0;
    if (f.casePrior) {
        const double* g = s.factor.data();
        double* B = A12 + n2;
        std::fill_n(B, n2, 0.0);
        for (int k = 0; k < n; ++k)
            addScaledInto(B, g[k], f.priorByFirst.data() + static_cast<std::size_t>(k) * n2, n2);
        outerScaled(B, g + n, g + 2 * n, n, B);
        priorTotal = sumOf(B, n2);
    }
    return sumOf(pairs + pairIndex(1, 2, 3) * n2, n2);
}

// Normalises the pair tables and takes the marginals from them.
void marginals(const EstimationWork& work, FactorScratch& s, double total) {
    const int D = work.D, n = work.factor.n;
    const double inverse = 1.0 / total;
    for (double& v : s.pairs) v *= inverse;
    const std::size_t table = static_cast<std::size_t>(n) * n;
    std::fill(s.marginal.begin(), s.marginal.end(), 0.0);
    const double* first = s.pairs.data() + pairIndex(0, 1, D) * table;
    double* m0 = s.marginal.data();
    for (int b = 0; b < n; ++b)
        for (int a = 0; a < n; ++a) m0[a] += first[b * n + a];
    for (int k = 1; k < D; ++k) {
        const double* t = s.pairs.data() + pairIndex(0, k, D) * table;
        double* mk = s.marginal.data() + static_cast<std::size_t>(k) * n;
        for (int b = 0; b < n; ++b) mk[b] = sumOf(t + static_cast<std::size_t>(b) * n, n);
    }
}

// The case computed node by node over the whole grid, exactly as the
// general posterior does, then summarised in the pair tables.
int nodeByNode(const EstimationWork& work, const std::int32_t* items, const std::int32_t* categories, int m,
               const double* caseMean, float h, FactorScratch& s, double& logLikelihood) {
    const FactorGrid& f = work.factor;
    const int Q = work.Q, n = f.n;
    double* L = s.gathered.data();
    double* expanded = s.weights.data();
    std::fill_n(L, Q, 1.0);
    int rescales = 0;
    for (int r = 0; r < m; ++r) {
        const int item = items[r], d = at(f.itemDimension, item);
        const double* p = work.probRow(item, categories[r]);
        const std::int32_t* index = f.index.data() + static_cast<std::size_t>(d) * Q;
        for (int q = 0; q < Q; ++q) expanded[q] = p[index[q]];
        multiplyRow(L, expanded, Q);
        if ((r & 7) == 7 && rescaleLikelihood(L, Q)) ++rescales;
    }
    (void)n;
    const double* weights = work.nodeWeights.data();
    if (f.casePrior) {
        if (nodeByNodeWeights(work, caseMean, s.weights.data()) != 1) return 0;
        weights = s.weights.data();
    }
    if (posteriorFromLikelihood(work, L, weights, rescaledLog(rescales), h, s.full.data(), logLikelihood) != 1)
        return 0;
    double unused = 0.0;
    gridSums(work, s, s.full.data(), false, unused);
    marginals(work, s, 1.0);
    return 1;
}

}  // namespace

bool factorAxes(EstimationWork& work) {
    FactorGrid& f = work.factor;
    const int D = work.D, Q = work.Q, n = f.n;
    if (n < 1 || work.workGrid.rows() != Q || work.workGrid.columns() != D) return false;
    f.axis.assign(static_cast<std::size_t>(D) * n, 0.0);
    f.theta.assign(static_cast<std::size_t>(D) * n, 0.0);
    f.index.assign(static_cast<std::size_t>(D) * Q, 0);
    int stride = 1;
    for (int d = 0; d < D; ++d) {
        const double shift = d < static_cast<int>(work.shift.size()) ? at(work.shift, d) : 0.0;
        for (int a = 0; a < n; ++a) {
            at(f.axis, d * n + a) = work.workGrid[a * stride][d];
            at(f.theta, d * n + a) = at(f.axis, d * n + a) + shift;
        }
        stride *= n;
    }
    for (int q = 0; q < Q; ++q) {
        int rest = q;
        for (int d = 0; d < D; ++d) {
            const int a = rest % n;
            rest /= n;
            f.index[static_cast<std::size_t>(d) * Q + q] = a;
            if (work.workGrid[q][d] != at(f.axis, d * n + a)) return false;
        }
    }
    return true;
}

void prepareFactorisedPass(const Session& session, EstimationWork& work) {
    work.factorised = false;
    const EstimationState& est = session.ws.est;
    const int D = work.D, Q = work.Q;
    if (work.generalPath || D < 2 || D > kMaxDimensions) return;
    if (work.method == EstimationMethod::MonteCarlo) return;
    if (work.method == EstimationMethod::Gauss && !covarianceStaysDiagonal(est, D)) return;
    FactorGrid& f = work.factor;
    f.itemDimension.assign(static_cast<std::size_t>(work.I), 0);
    for (int i = 0; i < work.I; ++i) {
        at(f.itemDimension, i) = scoredDimension(work, i);
        if (at(f.itemDimension, i) < 0) return;
    }
    f.n = nodesPerDimension(Q, D);
    if (f.n < 1 || !factorAxes(work)) return;
    // Under a latent regression the case's weights are proportional to
    // exp(-theta' S theta / 2) exp(theta' S mu), S the inverse covariance:
    // a table common to all cases times one factor per dimension.
    f.casePrior = work.method == EstimationMethod::Quadrature && !work.discrete && work.R >= 2;
    if (f.casePrior) {
        f.prior.assign(static_cast<std::size_t>(Q), 0.0);
        for (int q = 0; q < Q; ++q) {
            double m = 0.0;
            for (int j = 0; j < D; ++j) {
                const double tj = work.workGrid[q][j];
                m += tj * tj * work.sigmaInverse[j][j];
                for (int k = j + 1; k < D; ++k) m += 2.0 * tj * work.workGrid[q][k] * work.sigmaInverse[j][k];
            }
            at(f.prior, q) = std::exp(-0.5 * m);
        }
    } else {
        f.prior = work.nodeWeights;
        if (static_cast<int>(f.prior.size()) != Q) return;
    }
    if (D == 3) {
        const int n = f.n, n2 = n * n;
        f.priorByFirst.assign(static_cast<std::size_t>(Q), 0.0);
        f.priorBySecond.assign(static_cast<std::size_t>(Q), 0.0);
        for (int i2 = 0; i2 < n; ++i2)
            for (int i1 = 0; i1 < n; ++i1)
                for (int i0 = 0; i0 < n; ++i0) {
                    const double c = at(f.prior, i2 * n2 + i1 * n + i0);
                    at(f.priorByFirst, i0 * n2 + i2 * n + i1) = c;
                    at(f.priorBySecond, i1 * n2 + i2 * n + i0) = c;
                }
    }
    work.factorised = true;
}

void updateFactorProbabilities(Session& session, EstimationWork& work) {
    session.statusText("Updating Response Probabilities", 0);
    work.probNodes = work.factor.n;
    work.prob.assign(static_cast<std::size_t>(work.I) * work.maxCat * work.probNodes, 0.0);
    for (int i = 0; i < work.I; ++i) itemProbabilities(work, i, work.factor.theta, true);
}

int factorisedPosterior(const EstimationWork& work, const std::int32_t* items, const std::int32_t* categories, int m,
                        const double* caseMean, float h, bool full, FactorScratch& s, double& logLikelihood) {
    const FactorGrid& f = work.factor;
    const int D = work.D, n = f.n, Q = work.Q;
    const std::size_t Dn = static_cast<std::size_t>(D) * n;
    s.likelihood.resize(Dn);
    s.factor.resize(Dn);
    s.joint.resize(Dn);
    s.marginal.resize(Dn);
    s.row.resize(static_cast<std::size_t>(n));
    s.pairs.resize(static_cast<std::size_t>(D * (D - 1) / 2) * n * n);
    s.full.resize(static_cast<std::size_t>(Q));
    s.contracted.resize(4 * static_cast<std::size_t>(n) * n);
    s.gathered.resize(static_cast<std::size_t>(Q));
    s.weights.resize(static_cast<std::size_t>(Q));
    logLikelihood = 0.0;

    // The likelihood of each dimension, from its own responses.
    double* L = s.likelihood.data();
    std::fill_n(L, Dn, 1.0);
    int counts[kMaxDimensions] = {}, rescales[kMaxDimensions] = {};
    for (int r = 0; r < m; ++r) {
        const int item = items[r], x = categories[r];
        if (item < 0 || item >= work.I || x < 0 || x >= work.maxCat) return 0;
        const int d = at(f.itemDimension, item);
        double* Ld = L + static_cast<std::size_t>(d) * n;
        multiplyRow(Ld, work.probRow(item, x), n);
        if ((++counts[d] & 7) == 0 && rescaleLikelihood(Ld, n)) ++rescales[d];
    }
    double logScale = 0.0;
    for (int d = 0; d < D; ++d) {
        double* Ld = L + static_cast<std::size_t>(d) * n;
        const double top = *std::max_element(Ld, Ld + n);
        if (!(top > 0.0) || !std::isfinite(top))
            return nodeByNode(work, items, categories, m, caseMean, h, s, logLikelihood);
        for (int a = 0; a < n; ++a) Ld[a] /= top;
        logScale += std::log(top) - rescales[d] * 256 * std::log(2.0);
    }

    // The case's prior factors: exp(axis_j v_j) with v = S mu, each scaled
    // to a largest value of 1.
    double logPriorScale = 0.0;
    if (f.casePrior) {
        double quadratic = 0.0;
        for (int j = 0; j < D; ++j) {
            double v = 0.0;
            for (int k = 0; k < D; ++k) v += work.sigmaInverse[j][k] * caseMean[k];
            quadratic += caseMean[j] * v;
            const double* axis = f.axis.data() + static_cast<std::size_t>(j) * n;
            double* g = s.factor.data() + static_cast<std::size_t>(j) * n;
            double top = -HUGE_VAL;
            for (int a = 0; a < n; ++a) top = std::max(top, axis[a] * v);
            for (int a = 0; a < n; ++a) g[a] = std::exp(axis[a] * v - top);
            logPriorScale += top;
        }
        logPriorScale -= 0.5 * quadratic;
        for (std::size_t k = 0; k < Dn; ++k) s.joint[k] = L[k] * s.factor[k];
    } else {
        std::copy_n(L, Dn, s.joint.data());
    }

    double priorTotal = 0.0;
    const double total = full || D > 3 ? gridSums(work, s, nullptr, full, priorTotal)
                         : D == 2      ? gridSumsTwo(work, s, priorTotal)
                                       : gridSumsThree(work, s, priorTotal);
    if (!(total > kSmallestSum) || !std::isfinite(total))
        return nodeByNode(work, items, categories, m, caseMean, h, s, logLikelihood);
    if (f.casePrior && (!(priorTotal > kSmallestSum) || !std::isfinite(priorTotal) ||
                        std::log(work.normConst) + std::log(priorTotal) + logPriorScale < kSmallestLogWeight))
        return nodeByNode(work, items, categories, m, caseMean, h, s, logLikelihood);
    if (full)
        for (int q = 0; q < Q; ++q) at(s.full, q) /= total;
    marginals(work, s, total);
    logLikelihood = std::log(total) + logScale - (f.casePrior ? std::log(priorTotal) : 0.0);
    if (work.method == EstimationMethod::Quadrature)
        logLikelihood += D * static_cast<double>(static_cast<float>(std::log(std::fabs(h))));
    return 1;
}

void factorisedMoments(const EstimationWork& work, const FactorScratch& s, double* E, double* M) {
    const int D = work.D, n = work.factor.n;
    const std::size_t table = static_cast<std::size_t>(n) * n;
    const double* theta = work.factor.theta.data();
    for (int d = 0; d < D; ++d) {
        const double* t = theta + static_cast<std::size_t>(d) * n;
        const double* p = s.marginal.data() + static_cast<std::size_t>(d) * n;
        double e = 0.0, m2 = 0.0;
        for (int a = 0; a < n; ++a) {
            e += p[a] * t[a];
            m2 += p[a] * (t[a] * t[a]);
        }
        E[d] = e;
        M[d * D + d] = m2;
    }
    for (int j = 0; j < D; ++j)
        for (int k = j + 1; k < D; ++k) {
            const double* pair = s.pairs.data() + pairIndex(j, k, D) * table;
            const double* tj = theta + static_cast<std::size_t>(j) * n;
            const double* tk = theta + static_cast<std::size_t>(k) * n;
            double v = 0.0;
            for (int b = 0; b < n; ++b) {
                double inner = 0.0;
                for (int a = 0; a < n; ++a) inner += pair[b * n + a] * tj[a];
                v += tk[b] * inner;
            }
            M[j * D + k] = M[k * D + j] = v;
        }
}

void factorisedExpectedScores(const EstimationWork& work, const std::int32_t* items, int m, FactorScratch& s,
                              double* G, double* K) {
    const FactorGrid& f = work.factor;
    const int D = work.D, n = f.n;
    const std::size_t table = static_cast<std::size_t>(n) * n;
    s.expectedScore.assign(static_cast<std::size_t>(D) * n, 0.0);
    for (int r = 0; r < m; ++r) {
        const int i = items[r], d = at(f.itemDimension, i);
        double* es = s.expectedScore.data() + static_cast<std::size_t>(d) * n;
        for (int k = at(work.first, i); k < at(work.ncat, i); ++k) {
            const double b = work.scoreRow(i, k)[d];
            if (b == 0.0) continue;
            const double* p = work.probRow(i, k);
            for (int a = 0; a < n; ++a) es[a] += b * p[a];
        }
    }
    for (int d = 0; d < D; ++d) {
        const double* es = s.expectedScore.data() + static_cast<std::size_t>(d) * n;
        const double* md = s.marginal.data() + static_cast<std::size_t>(d) * n;
        const double* axisD = f.axis.data() + static_cast<std::size_t>(d) * n;
        double g = 0.0, kdd = 0.0;
        for (int a = 0; a < n; ++a) {
            g += md[a] * es[a];
            kdd += es[a] * (md[a] * axisD[a]);
        }
        G[d] = g;
        K[d * D + d] = kdd;
        for (int j = 0; j < D; ++j) {
            if (j == d) continue;
            // E[grid_j | index_d = a] weighted by the posterior of a.
            const double* pair = s.pairs.data() + pairIndex(std::min(d, j), std::max(d, j), D) * table;
            const double* axisJ = f.axis.data() + static_cast<std::size_t>(j) * n;
            double v = 0.0;
            for (int a = 0; a < n; ++a) {
                double c = 0.0;
                for (int b = 0; b < n; ++b) c += (d < j ? pair[b * n + a] : pair[a * n + b]) * axisJ[b];
                v += es[a] * c;
            }
            K[j * D + d] = v;
        }
    }
}

}  // namespace ordena
