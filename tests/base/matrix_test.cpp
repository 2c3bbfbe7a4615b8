#include "base/matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/binfile.h"
#include "support/capture_shell.h"

using namespace ordena;

namespace {

using Strings = std::vector<std::string>;

Matrix make(int rows, int columns, std::initializer_list<double> values) {
    Matrix m(rows, columns);
    auto it = values.begin();
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) m[i][j] = *it++;
    return m;
}

void expectMatrix(const Matrix& m, int rows, int columns, std::initializer_list<double> values, double tol = 0.0) {
    ASSERT_FALSE(m.isEmpty());
    ASSERT_EQ(m.rows(), rows);
    ASSERT_EQ(m.columns(), columns);
    auto it = values.begin();
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j, ++it) {
            if (tol == 0.0)
                EXPECT_EQ(m[i][j], *it) << i << "," << j;
            else
                EXPECT_NEAR(m[i][j], *it, tol) << i << "," << j;
        }
}

void expectEmpty(const Matrix& m) {
    EXPECT_TRUE(m.isEmpty());
    EXPECT_EQ(m.rows(), 0);
    EXPECT_EQ(m.columns(), 0);
}

struct TempFile {
    std::string path;
    explicit TempFile(const char* name)
        : path((std::filesystem::temp_directory_path() / (std::string(name) + std::to_string(::getpid()))).string()) {}
    ~TempFile() { std::remove(path.c_str()); }
};

}  // namespace

TEST(Matrix, ConstructionAndFactories) {
    test::ScopedCapture cap;
    Matrix z(2, 3);
    expectMatrix(z, 2, 3, {0, 0, 0, 0, 0, 0});
    expectEmpty(Matrix());
    expectMatrix(identity(2), 2, 2, {1, 0, 0, 1});
    expectMatrix(ones(1, 2), 1, 2, {1, 1});
    expectMatrix(zeros(2, 1), 2, 1, {0, 0});
    expectMatrix(onesVector(3), 3, 1, {1, 1, 1});
    expectMatrix(zeroVector(2), 2, 1, {0, 0});
    EXPECT_TRUE(cap.shell.errors.empty());

    expectEmpty(Matrix(0, 3));
    expectEmpty(Matrix(3, -1));
    expectEmpty(identity(0));
    expectEmpty(ones(0, 2));
    expectEmpty(zeros(2, 0));
    expectEmpty(zeroVector(-1));
    expectEmpty(onesVector(0));
    EXPECT_EQ(cap.shell.errors,
              (Strings{"error in dimension- memory not allocated", "error in dimension- memory not allocated",
                       " Dimension < 1 - can't define identity matrix", " Dimension < 1 - can't create matrix",
                       " Dimension < 1 - can't create matrix", " Dimension < 1 - can't create matrix",
                       " Dimension < 1 - can't create matrix"}));
}

TEST(Matrix, CopiesAreDeepAndRowsAreContiguous) {
    Matrix a = make(2, 2, {1, 2, 3, 4});
    Matrix b = a;
    b[0][1] = 9;
    EXPECT_EQ(a[0][1], 2);
    Matrix c;
    c = a;
    a[1][0] = -3;
    EXPECT_EQ(c[1][0], 3);
    c = c;  // NOLINT: self-assignment changes nothing
    expectMatrix(c, 2, 2, {1, 2, 3, 4});
    EXPECT_EQ(a[1], a[0] + 2);
    EXPECT_EQ(a.data(), a[0]);

    Matrix moved = std::move(b);
    expectMatrix(moved, 2, 2, {1, 9, 3, 4});
    expectEmpty(b);  // NOLINT: a moved-from matrix is the empty matrix

    c.resize(3, 1);
    expectMatrix(c, 3, 1, {0, 0, 0});
}

TEST(Matrix, ResizeToZeroOrNegative) {
    test::ScopedCapture cap;
    Matrix a = make(1, 1, {5});
    a.resize(0, 4);
    EXPECT_FALSE(a.isEmpty());
    EXPECT_EQ(a.rows(), 0);
    EXPECT_EQ(a.columns(), 4);
    EXPECT_TRUE(cap.shell.errors.empty());
    a.resize(-1, 2);
    expectEmpty(a);
    EXPECT_EQ(cap.shell.errors, (Strings{"error in dimension- memory not allocated"}));
}

TEST(Matrix, Arithmetic) {
    test::ScopedCapture cap;
    Matrix a = make(2, 2, {1, 2, 3, 4});
    Matrix b = make(2, 2, {5, 6, 7, 8});
    expectMatrix(a + b, 2, 2, {6, 8, 10, 12});
    expectMatrix(a - b, 2, 2, {-4, -4, -4, -4});
    expectMatrix(a * b, 2, 2, {19, 22, 43, 50});
    expectMatrix(make(1, 3, {1, 2, 3}) * make(3, 1, {4, 5, 6}), 1, 1, {32});
    expectMatrix(make(2, 1, {1, 2}) * make(1, 2, {3, 4}), 2, 2, {3, 4, 6, 8});
    expectMatrix(a * 2.0, 2, 2, {2, 4, 6, 8});
    expectMatrix(0.5 * a, 2, 2, {0.5, 1, 1.5, 2});
    expectMatrix(3 * a, 2, 2, {3, 6, 9, 12});
    expectMatrix(a / 4.0, 2, 2, {0.25, 0.5, 0.75, 1});
    expectMatrix(transpose(make(2, 3, {1, 2, 3, 4, 5, 6})), 3, 2, {1, 4, 2, 5, 3, 6});
    expectMatrix(row(a, 1), 1, 2, {3, 4});

    Matrix c = a;
    c += b;
    expectMatrix(c, 2, 2, {6, 8, 10, 12});
    c -= a;
    expectMatrix(c, 2, 2, {5, 6, 7, 8});
    c *= 2.0;
    c /= 4.0;
    expectMatrix(c, 2, 2, {2.5, 3, 3.5, 4});
    EXPECT_TRUE(cap.shell.errors.empty());
}

TEST(Matrix, ArithmeticFailures) {
    test::ScopedCapture cap;
    Matrix a = make(2, 2, {1, 2, 3, 4});
    Matrix wide = make(2, 3, {1, 2, 3, 4, 5, 6});
    Matrix e;
    // An empty operand is reported as such, even when the shapes differ too.
    expectEmpty(a + e);
    expectEmpty(e - wide);
    expectEmpty(e * a);
    expectEmpty(a + wide);
    expectEmpty(a - wide);
    expectEmpty(wide * a);
    expectEmpty(e * 2.0);
    expectEmpty(e / 2.0);
    expectEmpty(transpose(e));
    expectEmpty(row(e, 0));
    expectEmpty(row(a, 2));
    expectEmpty(row(a, -1));
    EXPECT_EQ(cap.shell.errors,
              (Strings{" Matrix empty - can't do addition", " Matrix empty - can't do subtraction",
                       " Matrix empty - can't do multiplication", " Matrices not the same dimension - can't add",
                       " Matrices not the same dimension - can't subtract",
                       " Matrices not conformable - can't do multiplication", " Matrix empty - can't multiply by scalar",
                       " Matrix empty - can't divide by scalar", " Matrix empty - can't do transpose",
                       " Matrix empty - can't extract row", "Row number exceeds the number of rows in matrix",
                       "Row number exceeds the number of rows in matrix"}));

    // A failing compound operation leaves its target empty.
    cap.shell.clear();
    Matrix c = a;
    c += wide;
    expectEmpty(c);
    EXPECT_EQ(cap.shell.errors, (Strings{" Matrices not the same dimension - can't add"}));
}

TEST(Matrix, Reductions) {
    test::ScopedCapture cap;
    Matrix a = make(2, 3, {1, -2, 3, 4, 5, 6});
    EXPECT_EQ(sum(a), 17.0);
    EXPECT_EQ(sumOfSquares(a), 91.0);
    EXPECT_EQ(toScalar(make(1, 1, {2.5})), 2.5);
    expectMatrix(meanVector(a), 2, 1, {2.0 / 3.0, 5.0});
    // Row 0: values 1, -2, 3: mean 2/3, variance (14 - 4/3) / 2.
    expectMatrix(varianceVector(a), 2, 1, {19.0 / 3.0, 1.0}, 1e-14);
    Matrix cp = crossProducts(a);
    expectMatrix(cp, 2, 2, {14, 12, 12, 77});
    EXPECT_EQ(cp[0][1], cp[1][0]);
    expectMatrix(diagonal(make(2, 2, {1, 2, 3, 4})), 2, 1, {1, 4});
    EXPECT_EQ(magnitude(make(1, 2, {-1234.5, 10})), 3);
    EXPECT_EQ(magnitude(make(1, 1, {0.05})), -1);
    EXPECT_EQ(magnitude(make(1, 1, {7})), 0);
    EXPECT_EQ(magnitude(zeros(2, 2)), INT_MIN);
    EXPECT_EQ(magnitude(make(1, 1, {-INFINITY})), INT_MAX);
    EXPECT_TRUE(cap.shell.errors.empty());

    // One observation: n - 1 = 0.
    Vector v = varianceVector(make(2, 1, {1, 2}));
    EXPECT_FALSE(std::isfinite(v[0][0]));

    Matrix e;
    EXPECT_EQ(sum(e), -1.0);
    EXPECT_EQ(sumOfSquares(e), -1.0);
    EXPECT_EQ(toScalar(e), -1.0);
    EXPECT_EQ(toScalar(a), -1.0);
    expectEmpty(meanVector(e));
    expectEmpty(varianceVector(e));
    expectEmpty(crossProducts(e));
    expectEmpty(diagonal(a));
    expectEmpty(diagonal(e));
    EXPECT_EQ(cap.shell.errors,
              (Strings{"Matrix is empty--sum can't be computed", "Matrix is empty--sum can't be computed",
                       " Matrix empty - can't convert to scalar", "Matrix not 1 by 1 - can't convert to scalar",
                       "Matrix is empty - mean vector can't be computed",
                       "Matrix is empty - mean vector can't be computed",
                       "Matrix is empty--cross products can't be computed",
                       "Matrix is not square--can't extract diagonal", "Matrix is empty--can't extract diagonal"}));
}

TEST(Matrix, SortAscending) {
    Vector v = make(5, 1, {3, -1, NAN, 2, -7});
    sortAscending(v);
    EXPECT_EQ(v[0][0], -7);
    EXPECT_EQ(v[1][0], -1);
    EXPECT_EQ(v[2][0], 2);
    EXPECT_EQ(v[3][0], 3);
    EXPECT_TRUE(std::isnan(v[4][0]));
}

TEST(Vector, AssignmentTakesOnlyOneColumn) {
    test::ScopedCapture cap;
    Vector v(2);
    v[0][0] = 1;
    v[1][0] = 2;
    v = make(3, 1, {7, 8, 9});
    expectMatrix(v, 3, 1, {7, 8, 9});
    Vector w = make(2, 2, {1, 2, 3, 4}) * make(2, 1, {1, 1});
    expectMatrix(w, 2, 1, {3, 7});
    EXPECT_TRUE(cap.shell.errors.empty());

    v = make(2, 2, {1, 2, 3, 4});
    expectMatrix(v, 3, 1, {7, 8, 9});
    EXPECT_EQ(cap.shell.errors, (Strings{"Assignment of matrix with more than one column to a vector is not allowed"}));

    // The empty result of a failed operation stays empty without a second
    // message.
    cap.shell.clear();
    v = Matrix();
    expectEmpty(v);
    EXPECT_TRUE(cap.shell.errors.empty());

    v.resize(4);
    expectMatrix(v, 4, 1, {0, 0, 0, 0});
}

TEST(Matrix, InverseAndDeterminant) {
    test::ScopedCapture cap;
    Matrix a = make(2, 2, {4, 7, 2, 6});  // determinant 10
    expectMatrix(inverse(a), 2, 2, {0.6, -0.7, -0.2, 0.4}, 1e-15);
    expectMatrix(a, 2, 2, {4, 7, 2, 6});

    Matrix b = make(3, 3, {2, -1, 0, -1, 2, -1, 0, -1, 2});  // determinant 4
    expectMatrix(inverse(b), 3, 3, {0.75, 0.5, 0.25, 0.5, 1.0, 0.5, 0.25, 0.5, 0.75}, 1e-15);
    Matrix out(3, 3);
    EXPECT_NEAR(invertInto(b, out), 4.0, 1e-14);
    expectMatrix(out, 3, 3, {0.75, 0.5, 0.25, 0.5, 1.0, 0.5, 0.25, 0.5, 0.75}, 1e-15);

    // Row interchanges change the sign of the determinant.
    Matrix swap = make(2, 2, {0, 1, 1, 0});
    Matrix swapOut(2, 2);
    EXPECT_EQ(invertInto(swap, swapOut), -1.0);
    expectMatrix(swapOut, 2, 2, {0, 1, 1, 0});
    Matrix c = make(3, 3, {1, 2, 3, 0, 1, 4, 5, 6, 0});  // determinant 1, inverse by cofactors
    Matrix cOut(3, 3);
    EXPECT_NEAR(invertInto(c, cOut), 1.0, 1e-13);
    expectMatrix(cOut, 3, 3, {-24, 18, 5, 20, -15, -4, -5, 4, 1}, 1e-12);

    // Product with the inverse gives the identity on a less friendly matrix.
    Matrix d = make(4, 4, {10, -2, 3, 0.5, -2, 8, 1, 1, 3, 1, 9, -4, 0.5, 1, -4, 7});
    Matrix check = d * inverse(d);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(check[i][j], i == j ? 1.0 : 0.0, 1e-14);
    EXPECT_TRUE(cap.shell.errors.empty());
}

TEST(Matrix, InverseFailures) {
    test::ScopedCapture cap;
    Matrix zeroRow = make(2, 2, {1, 2, 0, 0});
    expectEmpty(inverse(zeroRow));
    EXPECT_EQ(cap.shell.errors, (Strings{"Singular matrix in routine ludcmp", " Matrix singular - can't invert"}));

    cap.shell.clear();
    expectEmpty(inverse(Matrix()));
    expectEmpty(inverse(make(1, 2, {1, 2})));
    EXPECT_EQ(cap.shell.errors, (Strings{" Matrix empty - can't do inverse", " Matrix not square - can't invert"}));

    // Singular without a zero row: decomposed with a tiny pivot, no message.
    cap.shell.clear();
    Matrix big = inverse(make(2, 2, {1, 2, 2, 4}));
    ASSERT_FALSE(big.isEmpty());
    EXPECT_GT(std::fabs(big[0][0]), 1e15);
    EXPECT_TRUE(cap.shell.errors.empty());

    // invertInto checks the shapes first and leaves Out alone on failure.
    Matrix out = make(2, 2, {9, 9, 9, 9});
    EXPECT_EQ(invertInto(make(3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1}), out), 0.0);
    EXPECT_EQ(invertInto(zeroRow, out), 0.0);
    expectMatrix(out, 2, 2, {9, 9, 9, 9});
    Matrix e;
    Matrix e2;
    EXPECT_EQ(invertInto(e, e2), 0.0);
    Matrix wideOut(1, 2);
    EXPECT_EQ(invertInto(make(1, 2, {1, 2}), wideOut), 0.0);
    EXPECT_EQ(cap.shell.errors, (Strings{"In and out matrix must have the same dimesions",
                                         "Singular matrix in routine ludcmp", " Matrix empty - can't do inverse",
                                         " Matrix not square - can't invert"}));
}

TEST(Matrix, JacobiEigenReconstructsItsInput) {
    std::vector<Matrix> cases = {
        make(1, 1, {3}),
        make(2, 2, {2, 1, 1, 2}),
        make(3, 3, {4, -2, 1, -2, 5, 0.5, 1, 0.5, 3}),
        make(3, 3, {2, 1, 1, 1, 2, 1, 1, 1, 2}),  // eigenvalues 4, 1, 1
        make(4, 4, {3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 3}),  // already diagonal
        make(5, 5, {6, 1, -2, 0.3, 1, 1, 5, 0.5, -1, 2, -2, 0.5, 7, 1.5, 0, 0.3, -1, 1.5, 4, -0.7, 1, 2, 0, -0.7,
                    3}),
    };
    for (const Matrix& a : cases) {
        int n = a.rows();
        Vector d;
        Matrix v;
        int rotations = -1;
        jacobiEigen(a, n, d, v, rotations);
        ASSERT_EQ(d.rows(), n);
        ASSERT_EQ(v.rows(), n);
        ASSERT_EQ(v.columns(), n);
        EXPECT_GE(rotations, 0);
        Matrix dm(n, n);
        for (int i = 0; i < n; ++i) dm[i][i] = d[i][0];
        Matrix back = v * dm * transpose(v);
        Matrix vtv = transpose(v) * v;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                EXPECT_NEAR(back[i][j], a[i][j], 1e-12) << "n=" << n << " " << i << "," << j;
                EXPECT_NEAR(vtv[i][j], i == j ? 1.0 : 0.0, 1e-12);
            }
    }
    // Repeated eigenvalues come out as such.
    Vector d;
    Matrix v;
    int rotations = 0;
    jacobiEigen(cases[3], 3, d, v, rotations);
    std::vector<double> values = {d[0][0], d[1][0], d[2][0]};
    std::sort(values.begin(), values.end());
    EXPECT_NEAR(values[0], 1.0, 1e-13);
    EXPECT_NEAR(values[1], 1.0, 1e-13);
    EXPECT_NEAR(values[2], 4.0, 1e-13);
    // A diagonal input needs no rotation and keeps its order.
    jacobiEigen(cases[4], 4, d, v, rotations);
    EXPECT_EQ(rotations, 0);
    // Too small for n: nothing is read out of range.
    jacobiEigen(make(2, 2, {1, 0, 0, 1}), 3, d, v, rotations);
    EXPECT_TRUE(d.isEmpty());
    EXPECT_TRUE(v.isEmpty());
}

TEST(Matrix, LowLevelLuSolve) {
    Matrix a = make(3, 3, {0, 2, 1, 1, 1, 1, 2, 1, 0});
    int index[3];
    double parity = 0;
    ASSERT_EQ(ludcmp(a, 3, index, parity), 1);
    double b[3] = {5, 4, 4};  // solution (1, 2, 1)
    luBackSubstitute(a, 3, index, b);
    EXPECT_NEAR(b[0], 1.0, 1e-15);
    EXPECT_NEAR(b[1], 2.0, 1e-15);
    EXPECT_NEAR(b[2], 1.0, 1e-15);
    Matrix out(3, 3);
    double det = 0;
    EXPECT_EQ(invertWithDeterminant(make(3, 3, {0, 2, 1, 1, 1, 1, 2, 1, 0}), out, 3, det), 1);
    EXPECT_NEAR(det, 3.0, 1e-15);  // 0(0-1) - 2(0-2) + 1(1-2)
}

TEST(Matrix, WriteLayout) {
    test::ScopedCapture cap;
    Matrix huge = make(1, 1, {-1e300});
    huge.write("H", 7);
    // Title, header, then the whole 308-character number: nothing is cut.
    EXPECT_EQ(cap.shell.output.size(), 3u + 19u + 4u + 1u + 308u + 1u + 2u + 2u);
    std::vector<char> full(400);
    std::snprintf(full.data(), full.size(), " %10.5f \r\n", -1e300);
    EXPECT_NE(cap.shell.output.find(full.data()), std::string::npos);
    cap.shell.clear();

    Matrix a = make(2, 3, {1.5, -2, 1234.56789, 0, 3.14159265, -0.000001});
    a.write("Title", 2);
    std::string expected =
        "Title\r\n"
        "          1           2      \r\n"
        " 1      1.50000    -2.00000 \r\n"
        " 2      0.00000     3.14159 \r\n"
        "\r\n"
        "          3      \r\n"
        " 1   1234.56789 \r\n"
        " 2     -0.00000 \r\n"
        "\r\n";
    EXPECT_EQ(cap.shell.output, expected);

    // 15 columns in blocks of 7: blocks of 7, 7 and 1 columns.
    cap.shell.clear();
    Matrix wide(1, 15);
    for (int j = 0; j < 15; ++j) wide[0][j] = j + 1;
    wide.write("W", 7);
    // Each column takes 12 characters in the header and in the rows.
    auto block = [](int first, int last) {
        std::string header = "     ";
        std::string values = " 1  ";
        char cell[32];
        for (int k = first; k <= last; ++k) {
            std::snprintf(cell, sizeof cell, "   %3d      ", k);
            header += cell;
            std::snprintf(cell, sizeof cell, " %10.5f ", double(k));
            values += cell;
        }
        return header + "\r\n" + values + "\r\n\r\n";
    };
    EXPECT_EQ(cap.shell.output, "W\r\n" + block(1, 7) + block(8, 14) + block(15, 15));

    // Row labels up to three digits keep the columns aligned.
    cap.shell.clear();
    Matrix tall(100, 1);
    tall.write("T", 7);
    EXPECT_NE(cap.shell.output.find("\r\n 9      0.00000 \r\n 10     0.00000 \r\n"), std::string::npos);
    EXPECT_NE(cap.shell.output.find("\r\n 99     0.00000 \r\n 100    0.00000 \r\n"), std::string::npos);

    cap.shell.clear();
    Matrix().write("Empty", 7);
    EXPECT_EQ(cap.shell.output, "");
    EXPECT_EQ(cap.shell.errors, (Strings{"Matrix empty - can't write matrix"}));
}

TEST(Matrix, SaveAndLoad) {
    TempFile tmp("ordena_matrix_test_");
    Matrix a = make(2, 3, {1, -2.5, 3e100, 4, 5e-300, -0.0});
    {
        BinaryFile f(tmp.path, "wb");
        ASSERT_TRUE(a.save(f));
        ASSERT_TRUE(Matrix().save(f));
        ASSERT_TRUE(f.close());
    }
    EXPECT_EQ(std::filesystem::file_size(tmp.path), 12u + 6u * 8u + 12u);
    {
        BinaryFile f(tmp.path, "rb");
        Matrix b = make(1, 1, {7});
        ASSERT_TRUE(b.load(f));
        expectMatrix(b, 2, 3, {1, -2.5, 3e100, 4, 5e-300, -0.0});
        EXPECT_TRUE(std::signbit(b[1][2]));
        ASSERT_TRUE(b.load(f));
        expectEmpty(b);
        EXPECT_FALSE(b.load(f));  // nothing left
        expectEmpty(b);
    }
    // The stored bytes are little-endian int32 then binary64.
    {
        BinaryFile f(tmp.path, "wb");
        ASSERT_TRUE(make(1, 1, {1.0}).save(f));
    }
    {
        std::FILE* raw = std::fopen(tmp.path.c_str(), "rb");
        unsigned char bytes[20];
        ASSERT_EQ(std::fread(bytes, 1, 20, raw), 20u);
        std::fclose(raw);
        unsigned char expected[20] = {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
        EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 20), std::vector<unsigned char>(expected, expected + 20));
    }
}

TEST(Matrix, LoadRejectsCorruptRecords) {
    TempFile tmp("ordena_matrix_corrupt_");
    auto loadFrom = [&](std::vector<std::int32_t> header, int doubles) {
        {
            BinaryFile f(tmp.path, "wb");
            for (std::int32_t v : header) f.writeInt32(v);
            for (int k = 0; k < doubles; ++k) f.writeDouble(k);
        }
        BinaryFile f(tmp.path, "rb");
        Matrix m = make(1, 1, {42});
        bool ok = m.load(f);
        if (!ok) {
            EXPECT_TRUE(m.isEmpty());
        }
        return ok;
    };
    EXPECT_TRUE(loadFrom({2, 2, 0}, 4));
    EXPECT_FALSE(loadFrom({2, 2, 0}, 3));                    // truncated elements
    EXPECT_FALSE(loadFrom({2, 2}, 0));                       // truncated header
    EXPECT_FALSE(loadFrom({-2, 2, 0}, 4));                   // negative rows
    EXPECT_FALSE(loadFrom({2, -5, 0}, 4));                   // negative columns
    EXPECT_FALSE(loadFrom({2, 2, 7}, 4));                    // bad empty flag
    EXPECT_FALSE(loadFrom({3, 3, 1}, 0));                    // empty with dimensions
    EXPECT_FALSE(loadFrom({1 << 30, 1 << 30, 0}, 3));        // absurd size: no huge allocation
    EXPECT_FALSE(loadFrom({INT32_MAX, INT32_MAX, 0}, 0));
    EXPECT_FALSE(loadFrom({1000, 1000, 0}, 70000));           // fails past the first chunk
}
