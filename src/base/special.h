// Special functions of statistics and the Gauss-Hermite rule. Failures
// report through the error report and return -1.0, and the caller goes on.
#pragma once

namespace ordena {

class Vector;

// ln Gamma(x) for x > 0 (Lanczos series).
double LogGamma(double x);
// Regularised lower incomplete gamma function P(a, x).
double IncompleteGammP(double a, double x);
// P(a, x) by its series (for x < a + 1). A negative x ends the program.
double IGammaSeries(double a, double x);
// Q(a, x) = 1 - P(a, x) by its continued fraction (for x >= a + 1).
double IGammaFraction(double a, double x);
// Continued fraction of the incomplete beta function.
double betacf(double a, double b, double x);
// Regularised incomplete beta function I_x(a, b).
double betai(double a, double b, double x);
// Two-sided tail probability P(|T| >= |t|) of Student's t with df degrees of
// freedom.
double StudentTProb(double t, int df);
// Distribution function P(X <= x) of chi-square with df degrees of freedom.
double ChiSquareProb(double x, int df);
// n nodes (descending) and weights for expectations under the standard
// normal: E f(Z) ~ sum of weights[i] * f(nodes[i]).
void GaussHermite(Vector& nodes, Vector& weights, int n);

}  // namespace ordena
