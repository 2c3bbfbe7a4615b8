#include "base/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/capture_shell.h"

using namespace ordena;

// The pinned values below come from tests/base/random_reference.py, an
// independent Python implementation of the generators (exact integer
// congruences instead of Schrage's steps). They must match bit for bit: a
// script's random numbers may not depend on the machine or the build.

namespace {

std::vector<double> uniformDraws(RanUniform& u, int n) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back(u.draw());
    return v;
}

std::vector<double> standardDraws(RanNormal& g, int n) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back(g.standard());
    return v;
}

Vector column(std::initializer_list<double> values) {
    Vector v(static_cast<int>(values.size()));
    int i = 0;
    for (double x : values) v[i++][0] = x;
    return v;
}

Matrix testCovariance() {
    Matrix c(3, 3);
    double values[3][3] = {{2.0, 0.5, 0.2}, {0.5, 1.0, -0.3}, {0.2, -0.3, 1.5}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) c[i][j] = values[i][j];
    return c;
}

}  // namespace

TEST(RanUniform, PinnedStreams) {
    RanUniform fresh;
    EXPECT_EQ(uniformDraws(fresh, 4),
              (std::vector<double>{0.2533581892659171, 0.09346853100919404, 0.6084968907396475, 0.90342026007861}));

    RanUniform one(0.0, 1.0, 1);
    EXPECT_EQ(uniformDraws(one, 6), (std::vector<double>{0.7852037682860719, 0.4696376579437409, 0.03334503380317608,
                                                         0.4008235722174885, 0.6099582644395775, 0.642498584749354}));
    RanUniform other(0.0, 1.0, 12345);
    EXPECT_EQ(uniformDraws(other, 6),
              (std::vector<double>{0.9903403861350067, 0.6589066204647825, 0.18838651292624586, 0.26586500676280145,
                                   0.9465848712528655, 0.34229691284486913}));
    // A negative seed rebuilds the shuffle table from its magnitude.
    RanUniform negative(0.0, 1.0, -7);
    EXPECT_EQ(uniformDraws(negative, 6),
              (std::vector<double>{0.36132950275810793, 0.975505482367224, 0.19858405267803206, 0.4327825413954053,
                                   0.9662272506995668, 0.8821894302899491}));
    RanUniform ranged(-2.0, 3.0, 987654321);
    EXPECT_EQ(uniformDraws(ranged, 4),
              (std::vector<double>{0.18819412914873146, 1.5751838162032068, -1.6057150030908058, 1.654125617165434}));
    EXPECT_EQ(ranged.last(), 1.654125617165434);
}

TEST(RanUniform, SeedsRestartAndCopiesRunOnTheirOwn) {
    RanUniform a(0.0, 1.0, 4711);
    RanUniform b(0.0, 1.0, 4711);
    std::vector<double> first = uniformDraws(a, 20);
    EXPECT_EQ(first, uniformDraws(b, 20));

    a.setseed(4711);
    EXPECT_EQ(uniformDraws(a, 20), first);

    // setseed keeps the bounds.
    RanUniform ranged(5.0, 6.0, 3);
    ranged.setseed(4711);
    std::vector<double> shifted = uniformDraws(ranged, 20);
    for (int i = 0; i < 20; ++i) EXPECT_DOUBLE_EQ(shifted[i], 5.0 + first[i]);

    RanUniform original(0.0, 1.0, 99);
    uniformDraws(original, 5);
    RanUniform copy = original;
    std::vector<double> fromOriginal = uniformDraws(original, 50);
    EXPECT_EQ(uniformDraws(copy, 50), fromOriginal);
}

TEST(RanUniform, SeedZeroStillGivesAStream) {
    // Left alone, a zero state never leaves zero and every draw would be the
    // ceiling value.
    RanUniform zero(0.0, 1.0, 0);
    std::vector<double> v = uniformDraws(zero, 100);
    double lowest = 1.0;
    double highest = 0.0;
    for (double x : v) {
        lowest = std::min(lowest, x);
        highest = std::max(highest, x);
    }
    EXPECT_LT(lowest, 0.1);
    EXPECT_GT(highest, 0.9);
    EXPECT_LT(highest, 0.99999988);
}

TEST(RanNormal, PinnedStreams) {
    RanNormal one(1);
    EXPECT_EQ(standardDraws(one, 6),
              (std::vector<double>{1.6004888484079225, 1.2350085885792, -0.48195978646379956, 0.3549428697690501,
                                   -0.928487348694471, 0.3490616824743495}));
    RanNormal other(12345);
    EXPECT_EQ(standardDraws(other, 6),
              (std::vector<double>{-0.15506940193773586, 0.43912678026081065, -1.9970522581014631,
                                   0.6824442742766472, 0.6026507427681287, 0.5641462466194043}));
    RanNormal scaled(10.0, 2.0, 77);
    std::vector<double> v;
    for (int i = 0; i < 4; ++i) v.push_back(scaled.draw());
    EXPECT_EQ(v, (std::vector<double>{13.378185556189422, 10.530723100420593, 7.6763878336267295, 10.995255042650804}));
}

TEST(RanNormal, SeedsRestartAndCopiesRunOnTheirOwn) {
    RanNormal a(5.0, 3.0, 31);
    std::vector<double> first;
    for (int i = 0; i < 9; ++i) first.push_back(a.draw());
    a.setseed(31);
    EXPECT_EQ(a.mean(), 5.0);
    EXPECT_EQ(a.sd(), 3.0);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(a.draw(), first[i]);

    // A copy taken between the two halves of a pair keeps the spare.
    RanNormal b(31);
    b.standard();
    RanNormal c = b;
    EXPECT_EQ(b.standard(), c.standard());
    EXPECT_EQ(standardDraws(b, 11), standardDraws(c, 11));
}

TEST(RanNormal, MomentsOfALongStream) {
    RanNormal g(2024);
    const int n = 200000;
    double s = 0.0;
    double ss = 0.0;
    for (int i = 0; i < n; ++i) {
        double x = g.standard();
        s += x;
        ss += x * x;
    }
    EXPECT_NEAR(s / n, 0.0, 0.01);
    EXPECT_NEAR(ss / n, 1.0, 0.015);
}

TEST(RanMVNormal, PinnedStreams) {
    Vector mean = column({1.0, -2.0, 0.5});
    RanMVNormal one(mean, testCovariance(), 1);
    Vector x = one.draw();
    ASSERT_EQ(x.rows(), 3);
    EXPECT_EQ(x[0][0], 2.3390953879576912);
    EXPECT_EQ(x[1][0], -2.0993959992759823);
    EXPECT_EQ(x[2][0], 1.1117050443184353);
    x = one.draw();
    EXPECT_EQ(x[0][0], 2.5121341914836246);
    EXPECT_EQ(x[1][0], -0.8574344152450013);
    EXPECT_EQ(x[2][0], 0.41003814076041534);

    RanMVNormal other(mean, testCovariance(), 12345);
    x = other.draw();
    EXPECT_EQ(x[0][0], 0.2878095684524238);
    EXPECT_EQ(x[1][0], -1.5888686857264656);
    EXPECT_EQ(x[2][0], 0.16026654210886543);
    x = other.draw();
    EXPECT_EQ(x[0][0], 0.9687330701515677);
    EXPECT_EQ(x[1][0], -3.117573579334766);
    EXPECT_EQ(x[2][0], 1.6158708427441948);
}

TEST(RanMVNormal, DrawsHaveTheGivenMeanAndCovariance) {
    Vector mean = column({1.0, -2.0, 0.5});
    Matrix cov = testCovariance();
    RanMVNormal g(mean, cov, 17);
    const int n = 100000;
    double s[3] = {};
    double sp[3][3] = {};
    for (int k = 0; k < n; ++k) {
        Vector x = g.draw();
        for (int i = 0; i < 3; ++i) {
            s[i] += x[i][0];
            for (int j = 0; j < 3; ++j) sp[i][j] += x[i][0] * x[j][0];
        }
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(s[i] / n, mean[i][0], 0.02);
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(sp[i][j] / n - (s[i] / n) * (s[j] / n), cov[i][j], 0.03);
    }
}

TEST(RanMVNormal, SetparametersKeepsTheStream) {
    Vector mean = column({1.0, -2.0, 0.5});
    RanMVNormal a(mean, testCovariance(), 8);
    RanMVNormal b(mean, testCovariance(), 8);
    a.draw();
    b.draw();
    a.setparameters(mean, testCovariance());
    for (int k = 0; k < 5; ++k) {
        Vector x = a.draw();
        Vector y = b.draw();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(x[i][0], y[i][0]);
    }

    RanMVNormal c = a;
    Vector fromA = a.draw();
    Vector fromC = c.draw();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(fromA[i][0], fromC[i][0]);

    a.setseed(8);
    RanMVNormal d(mean, testCovariance(), 8);
    for (int k = 0; k < 3; ++k) {
        Vector x = a.draw();
        Vector y = d.draw();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(x[i][0], y[i][0]);
    }
}

TEST(RanMVNormal, DefaultIsIndependentStandardNormal) {
    RanMVNormal g(2);
    EXPECT_EQ(g.dimension(), 2);
    // Identity covariance: the draws are the normal generator's own values.
    RanNormal reference;
    for (int k = 0; k < 4; ++k) {
        Vector x = g.draw();
        EXPECT_EQ(x[0][0], reference.draw());
        EXPECT_EQ(x[1][0], reference.draw());
    }
}

TEST(RanMVNormal, ZeroEigenvalueIsAcceptedAndHasNoSpread) {
    test::ScopedCapture cap;
    Matrix cov(2, 2);
    cov[0][0] = cov[0][1] = cov[1][0] = cov[1][1] = 1.0;  // eigenvalues 0 and 2
    RanMVNormal g(2);
    g.setparameters(column({0.0, 0.0}), cov);
    for (int k = 0; k < 20; ++k) {
        Vector x = g.draw();
        EXPECT_NEAR(x[0][0], x[1][0], 1e-12);
    }
    EXPECT_TRUE(cap.shell.errors.empty());
}

TEST(RanMVNormal, BadParametersEndTheProgram) {
    test::ScopedCapture cap;
    RanMVNormal g(2);
    EXPECT_THROW(g.setparameters(column({0.0, 0.0, 0.0}), identity(2)), FatalExit);
    ASSERT_EQ(cap.shell.errors.size(), 1u);
    EXPECT_EQ(cap.shell.errors[0], "Parameter length mismatch in 'RanMVNormal::setparameters'");

    cap.shell.clear();
    Matrix indefinite(2, 2);
    indefinite[0][0] = indefinite[1][1] = 1.0;
    indefinite[0][1] = indefinite[1][0] = 2.0;  // eigenvalues 3 and -1
    EXPECT_THROW(g.setparameters(column({0.0, 0.0}), indefinite), FatalExit);
    ASSERT_EQ(cap.shell.errors.size(), 1u);
    EXPECT_EQ(cap.shell.errors[0], "Matrix in multivariate normal random number generator is not positive definite");
}

// A saved state restored into another generator continues the stream where
// it was saved; words that are no state of the generator are refused and
// change nothing.
TEST(GeneratorState, RestoredGeneratorsContinueTheStream) {
    RanUniform u(-1.0, 3.0, 17);
    uniformDraws(u, 5);
    RanUniform v;
    ASSERT_TRUE(v.restore(u.state()));
    EXPECT_EQ(uniformDraws(v, 50), uniformDraws(u, 50));
    EXPECT_EQ(v.low(), -1.0);
    EXPECT_EQ(v.high(), 3.0);

    RanNormal g(23);
    g.standard();  // the pair's second deviate waits as the spare
    RanNormal h;
    ASSERT_TRUE(h.restore(g.state()));
    EXPECT_EQ(standardDraws(h, 51), standardDraws(g, 51));

    RanMVNormal m(column({1.0, -2.0, 0.5}), testCovariance(), 5);
    m.draw();
    RanMVNormal n(1);
    ASSERT_TRUE(n.restore(m.state()));
    for (int k = 0; k < 20; ++k) {
        Vector a = m.draw(), b = n.draw();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(a[i][0], b[i][0]);
    }
}

TEST(GeneratorState, WordsOutsideTheStreamAreRefused) {
    RanUniform u(0.0, 1.0, 3);
    const GeneratorState good = u.state();
    RanUniform v(0.0, 1.0, 99);
    auto refused = [&](GeneratorState s) {
        RanUniform before = v;
        EXPECT_FALSE(v.restore(s));
        RanUniform a = before, b = v;
        EXPECT_EQ(uniformDraws(a, 3), uniformDraws(b, 3));
    };
    GeneratorState s = good;
    s.ints[3] = 0;  // a shuffle table entry
    refused(s);
    s = good;
    s.ints[2] = 2147483563;  // the output picks a table entry beyond the table
    refused(s);
    s = good;
    s.ints[1] = -5;
    refused(s);
    s = good;
    s.ints.pop_back();
    refused(s);
    s = good;
    s.reals.push_back(0.0);
    refused(s);

    RanNormal g(4);
    GeneratorState t = g.state();
    t.ints[0] = 2;  // the spare flag
    EXPECT_FALSE(RanNormal(4).restore(t));
    RanMVNormal m(2);
    GeneratorState w = m.state();
    w.ints[0] = 0;  // the dimension
    EXPECT_FALSE(RanMVNormal(2).restore(w));
    w = m.state();
    w.matrices.pop_back();
    EXPECT_FALSE(RanMVNormal(2).restore(w));
}

// Numbers that give no stream: bounds that are no interval (the polar method
// would then draw for ever), and values that are not finite.
TEST(GeneratorState, BoundsAndNumbersThatGiveNoStreamAreRefused) {
    const double nan = std::nan("");
    GeneratorState s = RanUniform(0.0, 1.0, 3).state();
    s.reals[1] = -1.0;  // the upper end below the lower
    EXPECT_FALSE(RanUniform().restore(s));
    s = RanUniform(0.0, 1.0, 3).state();
    s.reals[0] = nan;
    EXPECT_FALSE(RanUniform().restore(s));
    s = RanUniform(2.0, 5.0, 3).state();
    EXPECT_TRUE(RanUniform().restore(s));  // any proper interval

    // The normal generator: mean, sd, spare, then its uniform's low, high, last.
    const GeneratorState good = RanNormal(4).state();
    for (std::size_t k : {std::size_t{0}, std::size_t{1}, std::size_t{2}}) {
        GeneratorState t = good;
        t.reals[k] = nan;
        EXPECT_FALSE(RanNormal(4).restore(t)) << k;
    }
    GeneratorState t = good;
    t.reals[4] = -1.0;
    EXPECT_FALSE(RanNormal(4).restore(t));
    t = good;
    t.reals[3] = 0.5;  // a uniform on [0.5, 1) would still end, but is never this generator's
    EXPECT_FALSE(RanNormal(4).restore(t));
    t = good;
    t.reals[1] = -1.0;
    EXPECT_FALSE(RanNormal(4).restore(t));

    RanMVNormal m(zeroVector(2), identity(2), 5);
    GeneratorState w = m.state();
    w.matrices[1][0][1] = nan;
    EXPECT_FALSE(RanMVNormal(2).restore(w));
    w = m.state();
    w.matrices[2][0][0] = -1.0;  // a negative eigenvalue
    EXPECT_FALSE(RanMVNormal(2).restore(w));
    EXPECT_TRUE(RanMVNormal(2).restore(m.state()));
}
