// The vector loops of the passes over the cases. Each is built for the
// vector units of the machine where it runs; every element is computed the
// same way in every version and sums keep their order, so the numbers do
// not depend on the machine.
#pragma once

namespace ordena {

// Rows of at most this many nodes are cheaper in a loop of their own than
// through the dispatched call.
inline constexpr int kInlineNodes = 32;

// L[q] *= p[q].
void multiplyInto(double* L, const double* p, int n);
// e[q] += v[q].
void addInto(double* e, const double* v, int n);
// e[q] += w * v[q].
void addScaledInto(double* e, double w, const double* v, int n);
// e[q] *= a[q] * b.
void multiplyScaledInto(double* e, const double* a, double b, int n);
// Sum of a[q] * b[q], in four partial sums.
double dotProduct(const double* a, const double* b, int n);
// Sum of v[q], in four partial sums.
double sumOf(const double* v, int n);
// The largest of v[q] and 0.
double largestOf(const double* v, int n);
// One response under Monte Carlo with regressors, for an item whose
// responses fall in two (or three) categories: the denominator takes
// r0 g0 + r1 g1 (+ r2 g2), the numerator rx gx.
void regressionFactor(double* numerator, double* denominator, const double* r0, double g0, const double* r1, double g1,
                      const double* rx, double gx, int n);
void regressionFactor(double* numerator, double* denominator, const double* r0, double g0, const double* r1, double g1,
                      const double* r2, double g2, const double* rx, double gx, int n);
// d[q] *= c0 + c1 t1[q], and d[q] *= c0 + c1 t1[q] + c2 t2[q].
void multiplyByLinear(double* d, double c0, double c1, const double* t1, int n);
void multiplyByQuadratic(double* d, double c0, double c1, const double* t1, double c2, const double* t2, int n);

}  // namespace ordena
