#include "base/special.h"

#include <cmath>

#include "base/matrix.h"
#include "base/shell.h"

namespace ordena {

namespace {

constexpr int kGammaIterations = 100;
constexpr double kGammaEps = 3e-14;
constexpr double kFpMin = 1e-30;
constexpr double kBetaEps = 3e-14;

}  // namespace

double LogGamma(double x) {
    double t = x + 5.5;
    double s = 1.000000000190015 + 76.18009172947146 / (x + 1) - 86.50532032941678 / (x + 2) +
               24.01409824083091 / (x + 3) - 1.231739572450155 / (x + 4) + 0.001208650973866179 / (x + 5) -
               5.395239384953e-6 / (x + 6);
    return (x + 0.5) * std::log(t) - t + std::log(2.5066282746310007 * s / x);
}

double IncompleteGammP(double a, double x) {
    if (x < 0.0 || a <= 0.0) {
        reportError("Bad arguments in IncompleteGammP");
        return -1.0;
    }
    if (x < a + 1.0) return IGammaSeries(a, x);
    double q = IGammaFraction(a, x);
    // A fraction that did not converge has already said so; 1 - (-1) would
    // pass off its failure value as a probability of 2.
    if (q == -1.0) return -1.0;
    return 1.0 - q;
}

double IGammaSeries(double a, double x) {
    if (x == 0.0) return 0.0;
    if (x < 0.0) fatalExit("IGammaSeries argument is less than zero");
    double ap = a;
    double term = 1.0 / a;
    double total = term;
    for (int n = 1; n <= kGammaIterations; ++n) {
        ap += 1.0;
        term *= x / ap;
        total += term;
        if (std::fabs(term) < std::fabs(total) * kGammaEps) return total * std::exp(a * std::log(x) - x - LogGamma(a));
    }
    reportError("Too many interations in IGammaSeries");
    return -1.0;
}

double IGammaFraction(double a, double x) {
    double b = x + 1.0 - a;
    double c = 1.0 / kFpMin;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i <= kGammaIterations; ++i) {
        double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < kFpMin) d = kFpMin;
        c = b + an / c;
        if (std::fabs(c) < kFpMin) c = kFpMin;
        d = 1.0 / d;
        double del = d * c;
        h *= del;
        if (std::fabs(del - 1.0) < kGammaEps) return std::exp(a * std::log(x) - x - LogGamma(a)) * h;
    }
    reportError("Too many interations in IGammaFraction");
    return -1.0;
}

double betacf(double a, double b, double x) {
    double qab = a + b;
    double qap = a + 1.0;
    double qam = a - 1.0;
    double c = 1.0;
    double d = 1.0 - qab * x / qap;
    if (std::fabs(d) < kFpMin) d = kFpMin;
    d = 1.0 / d;
    double h = d;
    // Nine steps at most; the value reached then is returned as it stands.
    for (int m = 1; 2 * m < 20; ++m) {
        int m2 = 2 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1.0 + aa * d;
        if (std::fabs(d) < kFpMin) d = kFpMin;
        c = 1.0 + aa / c;
        if (std::fabs(c) < kFpMin) c = kFpMin;
        d = 1.0 / d;
        h *= d * c;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = 1.0 + aa * d;
        if (std::fabs(d) < kFpMin) d = kFpMin;
        c = 1.0 + aa / c;
        if (std::fabs(c) < kFpMin) c = kFpMin;
        d = 1.0 / d;
        double del = d * c;
        h *= del;
        if (std::fabs(del - 1.0) < kBetaEps) break;
    }
    return h;
}

double betai(double a, double b, double x) {
    if (x < 0.0 || x > 1.0) {
        reportError("Bad x in betai");
        return -1.0;
    }
    double bt = 0.0;
    if (x != 0.0 && x != 1.0)
        bt = std::exp(LogGamma(a + b) - LogGamma(a) - LogGamma(b) + a * std::log(x) + b * std::log(1.0 - x));
    if (x < (a + 1.0) / (a + b + 2.0)) return bt * betacf(a, b, x) / a;
    return 1.0 - bt * betacf(b, a, 1.0 - x) / b;
}

double StudentTProb(double t, int df) { return betai(0.5 * df, 0.5, df / (df + t * t)); }

double ChiSquareProb(double x, int df) {
    if (x < 0.0) {
        reportError("Chi-square value must be greater than 0");
        return -1.0;
    }
    return IncompleteGammP(0.5 * df, 0.5 * x);
}

void GaussHermite(Vector& nodes, Vector& weights, int n) {
    constexpr double kPiToMinusQuarter = 0.7511255444649425;
    constexpr double kEps = 3e-14;
    // Newton converges in a handful of steps; the cap only stops a runaway
    // on non-finite values.
    constexpr int kMaxNewton = 100;
    nodes = zeroVector(n);
    weights = zeroVector(n);
    if (n < 1) return;
    int m = (n + 1) / 2;
    double z = 0.0;
    double pp = 0.0;
    for (int i = 0; i < m; ++i) {
        if (i == 0) {
            z = std::sqrt(static_cast<double>(2 * n + 1)) - 1.85575 * std::pow(static_cast<double>(2 * n + 1), -0.16667);
        } else if (i == 1) {
            z -= 1.14 * std::pow(static_cast<double>(n), 0.426) / z;
        } else if (i == 2) {
            z = 1.86 * z - 0.86 * nodes[0][0];
        } else if (i == 3) {
            z = 1.91 * z - 0.91 * nodes[1][0];
        } else {
            z = 2.0 * z - nodes[i - 2][0];
        }
        for (int iteration = 0; iteration < kMaxNewton; ++iteration) {
            double p1 = kPiToMinusQuarter;
            double p2 = 0.0;
            for (int j = 1; j <= n; ++j) {
                double p3 = p2;
                p2 = p1;
                p1 = z * std::sqrt(2.0 / j) * p2 - std::sqrt(static_cast<double>(j - 1) / j) * p3;
            }
            pp = std::sqrt(2.0 * n) * p2;
            double z1 = z;
            z = z1 - p1 / pp;
            if (std::fabs(z - z1) <= kEps) break;
        }
        nodes[i][0] = z;
        nodes[n - 1 - i][0] = -z;
        weights[i][0] = weights[n - 1 - i][0] = 2.0 / (pp * pp);
    }
    for (int i = 0; i < n; ++i) {
        nodes[i][0] *= 1.414213562373095;
        weights[i][0] *= 0.5641895835478;
    }
}

}  // namespace ordena
