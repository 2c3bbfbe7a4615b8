#include "estimation/posterior.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/index.h"
#include "estimation/kernels.h"

namespace ordena {

namespace {

// Likelihood products are rescaled by 2^kRescaleBits whenever every node has
// fallen below 2^-kRescaleBits, so long tests never underflow to zero.
constexpr int kRescaleBits = 256;
const double kRescaleUp = std::ldexp(1.0, kRescaleBits);
const double kRescaleThreshold = std::ldexp(1.0, -kRescaleBits);

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

}  // namespace ordena
