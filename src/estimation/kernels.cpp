#include "estimation/kernels.h"

namespace ordena {

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define ORDENA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ORDENA_VECTOR_CLONES
#endif

ORDENA_VECTOR_CLONES void multiplyInto(double* __restrict L, const double* __restrict p, int n) {
    for (int q = 0; q < n; ++q) L[q] *= p[q];
}

ORDENA_VECTOR_CLONES void addInto(double* __restrict e, const double* __restrict v, int n) {
    for (int q = 0; q < n; ++q) e[q] += v[q];
}

ORDENA_VECTOR_CLONES void addScaledInto(double* __restrict e, double w, const double* __restrict v, int n) {
    for (int q = 0; q < n; ++q) e[q] += w * v[q];
}

ORDENA_VECTOR_CLONES void multiplyScaledInto(double* __restrict e, const double* __restrict a, double b, int n) {
    for (int q = 0; q < n; ++q) e[q] *= a[q] * b;
}

ORDENA_VECTOR_CLONES double dotProduct(const double* __restrict a, const double* __restrict b, int n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int q = 0;
    for (; q + 3 < n; q += 4) {
        s0 += a[q] * b[q];
        s1 += a[q + 1] * b[q + 1];
        s2 += a[q + 2] * b[q + 2];
        s3 += a[q + 3] * b[q + 3];
    }
    for (; q < n; ++q) s0 += a[q] * b[q];
    return (s0 + s1) + (s2 + s3);
}

ORDENA_VECTOR_CLONES double sumOf(const double* __restrict v, int n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int q = 0;
    for (; q + 3 < n; q += 4) {
        s0 += v[q];
        s1 += v[q + 1];
        s2 += v[q + 2];
        s3 += v[q + 3];
    }
    for (; q < n; ++q) s0 += v[q];
    return (s0 + s1) + (s2 + s3);
}

// Four independent maxima so the loop does not wait on one comparison chain.
ORDENA_VECTOR_CLONES double largestOf(const double* __restrict v, int n) {
    double m0 = 0.0, m1 = 0.0, m2 = 0.0, m3 = 0.0;
    int q = 0;
    for (; q + 3 < n; q += 4) {
        m0 = v[q] > m0 ? v[q] : m0;
        m1 = v[q + 1] > m1 ? v[q + 1] : m1;
        m2 = v[q + 2] > m2 ? v[q + 2] : m2;
        m3 = v[q + 3] > m3 ? v[q + 3] : m3;
    }
    for (; q < n; ++q) m0 = v[q] > m0 ? v[q] : m0;
    const double a = m0 > m1 ? m0 : m1, b = m2 > m3 ? m2 : m3;
    return a > b ? a : b;
}

ORDENA_VECTOR_CLONES void regressionFactor(double* __restrict numerator, double* __restrict denominator,
                                           const double* __restrict r0, double g0, const double* __restrict r1,
                                           double g1, const double* __restrict rx, double gx, int n) {
    for (int q = 0; q < n; ++q) {
        denominator[q] *= r0[q] * g0 + r1[q] * g1;
        numerator[q] *= rx[q] * gx;
    }
}

ORDENA_VECTOR_CLONES void regressionFactor(double* __restrict numerator, double* __restrict denominator,
                                           const double* __restrict r0, double g0, const double* __restrict r1,
                                           double g1, const double* __restrict r2, double g2,
                                           const double* __restrict rx, double gx, int n) {
    for (int q = 0; q < n; ++q) {
        denominator[q] *= r0[q] * g0 + r1[q] * g1 + r2[q] * g2;
        numerator[q] *= rx[q] * gx;
    }
}

ORDENA_VECTOR_CLONES void multiplyByLinear(double* __restrict d, double c0, double c1, const double* __restrict t1,
                                           int n) {
    for (int q = 0; q < n; ++q) d[q] *= c0 + c1 * t1[q];
}

ORDENA_VECTOR_CLONES void multiplyByQuadratic(double* __restrict d, double c0, double c1, const double* __restrict t1,
                                              double c2, const double* __restrict t2, int n) {
    for (int q = 0; q < n; ++q) d[q] *= c0 + c1 * t1[q] + c2 * t2[q];
}

}  // namespace ordena
