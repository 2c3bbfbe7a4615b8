#include "base/special.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/matrix.h"
#include "support/capture_shell.h"

using namespace ordena;

namespace {

const double kPi = 3.141592653589793;

double logFactorial(int n) {
    double f = 1.0;
    for (int k = 2; k <= n; ++k) f *= k;
    return std::log(f);
}

// P(a, x) for integer a: 1 - e^-x * sum_{k<a} x^k / k!.
double poissonP(int a, double x) {
    double term = 1.0;
    double s = 0.0;
    for (int k = 0; k < a; ++k) {
        s += term;
        term *= x / (k + 1);
    }
    return 1.0 - std::exp(-x) * s;
}

}  // namespace

TEST(LogGamma, IntegersAndHalfIntegers) {
    for (int n = 1; n <= 20; ++n) EXPECT_NEAR(LogGamma(n), logFactorial(n - 1), 1e-10) << n;
    // Gamma(n + 1/2) = (2n)! / (4^n n!) * sqrt(pi).
    for (int n = 0; n <= 10; ++n) {
        double expected = logFactorial(2 * n) - n * std::log(4.0) - logFactorial(n) + 0.5 * std::log(kPi);
        EXPECT_NEAR(LogGamma(n + 0.5), expected, 1e-10) << n;
    }
    // Large arguments: relative accuracy.
    EXPECT_NEAR(LogGamma(101.0) / logFactorial(100), 1.0, 1e-12);
    EXPECT_NEAR(LogGamma(0.01), std::lgamma(0.01), 1e-10);
}

TEST(IncompleteGamma, IntegerShapeMatchesThePoissonSum) {
    test::ScopedCapture cap;
    // Both sides of x = a + 1, so the series and the continued fraction are
    // each used.
    for (int a = 1; a <= 8; ++a)
        for (double x : {0.1, 0.5, 1.0, 2.5, 4.0, 7.5, 12.0, 25.0})
            EXPECT_NEAR(IncompleteGammP(a, x), poissonP(a, x), 1e-10) << "a=" << a << " x=" << x;
    // P(1/2, x) = erf(sqrt(x)).
    for (double x : {0.01, 0.3, 1.0, 2.0, 6.0}) EXPECT_NEAR(IncompleteGammP(0.5, x), std::erf(std::sqrt(x)), 1e-10);
    EXPECT_NEAR(IGammaFraction(3.0, 10.0), 1.0 - poissonP(3, 10.0), 1e-12);
    EXPECT_NEAR(IGammaSeries(3.0, 1.0), poissonP(3, 1.0), 1e-12);
    EXPECT_EQ(IncompleteGammP(2.0, 0.0), 0.0);
    EXPECT_EQ(IGammaSeries(2.0, 0.0), 0.0);
    EXPECT_TRUE(cap.shell.errors.empty());
}

TEST(IncompleteGamma, Failures) {
    test::ScopedCapture cap;
    EXPECT_EQ(IncompleteGammP(1.0, -0.5), -1.0);
    EXPECT_EQ(IncompleteGammP(0.0, 1.0), -1.0);
    EXPECT_EQ(cap.shell.errors, (std::vector<std::string>{"Bad arguments in IncompleteGammP",
                                                           "Bad arguments in IncompleteGammP"}));

    cap.shell.clear();
    EXPECT_THROW(IGammaSeries(1.0, -1.0), FatalExit);
    EXPECT_EQ(cap.shell.errors, (std::vector<std::string>{"IGammaSeries argument is less than zero"}));

    // Very large shapes need more than 100 terms on either side.
    cap.shell.clear();
    EXPECT_EQ(IncompleteGammP(5000.0, 4990.0), -1.0);
    EXPECT_EQ(cap.shell.errors, (std::vector<std::string>{"Too many interations in IGammaSeries"}));
    cap.shell.clear();
    EXPECT_EQ(IGammaFraction(5000.0, 5010.0), -1.0);
    EXPECT_EQ(cap.shell.errors, (std::vector<std::string>{"Too many interations in IGammaFraction"}));
    // The failure value of the fraction is passed on, not turned into 1 - (-1).
    cap.shell.clear();
    EXPECT_EQ(IncompleteGammP(5000.0, 5010.0), -1.0);
    EXPECT_EQ(cap.shell.errors, (std::vector<std::string>{"Too many interations in IGammaFraction"}));
}

TEST(IncompleteBeta, ClosedForms) {
    test::ScopedCapture cap;
    for (double x : {0.05, 0.2, 0.5, 0.73, 0.95}) {
        for (double a : {0.5, 1.0, 2.5, 7.0}) {
            EXPECT_NEAR(betai(a, 1.0, x), std::pow(x, a), 1e-10) << a << " " << x;
            EXPECT_NEAR(betai(1.0, a, x), 1.0 - std::pow(1.0 - x, a), 1e-10) << a << " " << x;
        }
        EXPECT_NEAR(betai(2.0, 2.0, x), 3 * x * x - 2 * x * x * x, 1e-10);
        // I_x(1/2, 1/2) = (2/pi) asin(sqrt(x)).
        EXPECT_NEAR(betai(0.5, 0.5, x), 2.0 / kPi * std::asin(std::sqrt(x)), 1e-10);
        EXPECT_NEAR(betai(3.0, 4.5, x), 1.0 - betai(4.5, 3.0, 1.0 - x), 1e-12);
    }
    EXPECT_EQ(betai(2.0, 3.0, 0.0), 0.0);
    EXPECT_EQ(betai(2.0, 3.0, 1.0), 1.0);
    EXPECT_TRUE(cap.shell.errors.empty());

    EXPECT_EQ(betai(2.0, 3.0, 1.5), -1.0);
    EXPECT_EQ(betai(2.0, 3.0, -0.1), -1.0);
    EXPECT_EQ(cap.shell.errors, (std::vector<std::string>{"Bad x in betai", "Bad x in betai"}));
}

TEST(Probabilities, StudentT) {
    test::ScopedCapture cap;
    for (double t : {0.3, 1.0, 2.0, 6.3}) {
        // One degree of freedom: the Cauchy distribution; two: closed form.
        EXPECT_NEAR(StudentTProb(t, 1), 1.0 - 2.0 / kPi * std::atan(t), 1e-10) << t;
        EXPECT_NEAR(StudentTProb(-t, 1), StudentTProb(t, 1), 1e-15);
        EXPECT_NEAR(StudentTProb(t, 2), 1.0 - t / std::sqrt(2.0 + t * t), 1e-10) << t;
    }
    EXPECT_NEAR(StudentTProb(0.0, 7), 1.0, 1e-15);
    // Two-sided 5% critical values from the tables.
    EXPECT_NEAR(StudentTProb(2.570582, 5), 0.05, 1e-6);
    EXPECT_NEAR(StudentTProb(2.228139, 10), 0.05, 1e-6);
    EXPECT_NEAR(StudentTProb(2.042272, 30), 0.05, 1e-6);
    EXPECT_TRUE(cap.shell.errors.empty());
}

TEST(Probabilities, ChiSquare) {
    test::ScopedCapture cap;
    for (double x : {0.2, 1.0, 3.5, 9.0, 20.0}) {
        EXPECT_NEAR(ChiSquareProb(x, 1), std::erf(std::sqrt(x / 2.0)), 1e-10) << x;
        EXPECT_NEAR(ChiSquareProb(x, 2), 1.0 - std::exp(-x / 2.0), 1e-10) << x;
        EXPECT_NEAR(ChiSquareProb(x, 4), 1.0 - std::exp(-x / 2.0) * (1.0 + x / 2.0), 1e-10) << x;
    }
    // 95% points from the tables.
    EXPECT_NEAR(ChiSquareProb(3.841459, 1), 0.95, 1e-6);
    EXPECT_NEAR(ChiSquareProb(18.307038, 10), 0.95, 1e-6);
    EXPECT_NEAR(ChiSquareProb(43.772972, 30), 0.95, 1e-6);
    EXPECT_EQ(ChiSquareProb(0.0, 3), 0.0);
    EXPECT_TRUE(cap.shell.errors.empty());

    EXPECT_EQ(ChiSquareProb(-1.0, 3), -1.0);
    EXPECT_EQ(cap.shell.errors, (std::vector<std::string>{"Chi-square value must be greater than 0"}));
}

TEST(GaussHermite, SmallRules) {
    Vector x;
    Vector w;
    GaussHermite(x, w, 1);
    ASSERT_EQ(x.rows(), 1);
    EXPECT_NEAR(x[0][0], 0.0, 1e-15);
    EXPECT_NEAR(w[0][0], 1.0, 1e-12);

    GaussHermite(x, w, 2);
    ASSERT_EQ(x.rows(), 2);
    EXPECT_NEAR(x[0][0], 1.0, 1e-14);
    EXPECT_NEAR(x[1][0], -1.0, 1e-14);
    EXPECT_NEAR(w[0][0], 0.5, 1e-12);
    EXPECT_NEAR(w[1][0], 0.5, 1e-12);

    GaussHermite(x, w, 3);
    ASSERT_EQ(x.rows(), 3);
    EXPECT_NEAR(x[0][0], std::sqrt(3.0), 1e-14);
    EXPECT_NEAR(x[1][0], 0.0, 1e-15);
    EXPECT_NEAR(w[0][0], 1.0 / 6.0, 1e-12);
    EXPECT_NEAR(w[1][0], 2.0 / 3.0, 1e-12);
}

TEST(GaussHermite, IntegratesNormalMomentsExactly) {
    for (int n : {1, 2, 3, 4, 5, 7, 10, 15, 20, 30}) {
        Vector x;
        Vector w;
        GaussHermite(x, w, n);
        ASSERT_EQ(x.rows(), n);
        ASSERT_EQ(w.rows(), n);
        for (int i = 0; i + 1 < n; ++i) EXPECT_GT(x[i][0], x[i + 1][0]) << "n=" << n;
        for (int i = 0; i < n / 2; ++i) {
            EXPECT_EQ(x[i][0], -x[n - 1 - i][0]);
            EXPECT_EQ(w[i][0], w[n - 1 - i][0]);
        }
        if (n % 2 == 1) {
            EXPECT_NEAR(x[n / 2][0], 0.0, 1e-15);
        }
        // E Z^k is 0 for odd k and (k-1)!! for even k, exactly for k < 2n.
        double doubleFactorial = 1.0;
        for (int k = 0; k <= 2 * n - 1; ++k) {
            double m = 0.0;
            for (int i = 0; i < n; ++i) m += w[i][0] * std::pow(x[i][0], k);
            if (k % 2 == 1) {
                EXPECT_NEAR(m, 0.0, 1e-12 * doubleFactorial) << "n=" << n << " k=" << k;
            } else {
                if (k > 0) doubleFactorial *= k - 1;
                EXPECT_NEAR(m / doubleFactorial, 1.0, 1e-10) << "n=" << n << " k=" << k;
            }
        }
    }
}

TEST(GaussHermite, PinnedNodes) {
    // From tests/base/random_reference.py (an independent implementation of
    // the same root-finding steps): quadrature must not depend on the build.
    Vector x;
    Vector w;
    GaussHermite(x, w, 5);
    std::vector<double> nodes5 = {2.856970013872805, 1.3556261799742657, -0.0, -1.3556261799742657, -2.856970013872805};
    std::vector<double> weights5 = {0.01125741132772156, 0.22207592200562976, 0.5333333333333745, 0.22207592200562976,
                                    0.01125741132772156};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(x[i][0], nodes5[i]);
        EXPECT_EQ(w[i][0], weights5[i]);
    }
    GaussHermite(x, w, 15);
    std::vector<double> nodes15 = {6.363947888829837, 5.190093591304781, 4.1962077112690155, 3.289082424398766,
                                   2.4324368270097576, 1.6067100690287297, 0.799129068324548};
    std::vector<double> weights15 = {8.589649899633845e-10, 5.975419597921059e-07, 5.642146405189453e-05,
                                     0.0015673575035500785, 0.017365774492138962, 0.08941779539985137,
                                     0.23246229360975024, 0.31825951825954285};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(x[i][0], nodes15[i]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(w[i][0], weights15[i]);
}
