// Dense double-precision matrices and column vectors. Values, not handles:
// every copy is deep and every operation returns a new matrix. Operations
// never throw for bad operands: they report through the running session's
// error report and yield an empty matrix (or a stated number), and the
// caller goes on.
#pragma once

#include <cstddef>
#include <vector>

#include "base/mstring.h"

namespace ordena {

class BinaryFile;

class Matrix {
public:
    // The empty matrix: no rows, no columns, no storage.
    Matrix() = default;
    // rows x columns of zeros; a dimension below 1 reports and gives the
    // empty matrix.
    Matrix(int rows, int columns);

    Matrix(const Matrix&) = default;
    Matrix& operator=(const Matrix&) = default;
    // The source is left empty.
    Matrix(Matrix&& other) noexcept;
    Matrix& operator=(Matrix&& other) noexcept;
    ~Matrix() = default;

    // Row i as a pointer to its first element: m[i][j]. No bounds tests;
    // rows are stored one after the other, so row i + 1 starts columns()
    // elements after row i.
    double* operator[](int i) { return data_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(columns_); }
    const double* operator[](int i) const {
        return data_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(columns_);
    }
    // All elements, row after row (null when there are none).
    double* data() { return data_.empty() ? nullptr : data_.data(); }
    const double* data() const { return data_.empty() ? nullptr : data_.data(); }

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    bool isEmpty() const { return empty_; }

    // New dimensions, all elements zero. A zero dimension gives a matrix
    // without elements that still counts as not empty; a negative one
    // reports and leaves the matrix empty.
    Matrix& resize(int rows, int columns);

    // The plain operation, assigned to this matrix: a failing operation
    // leaves it empty.
    Matrix& operator+=(const Matrix& other);
    Matrix& operator-=(const Matrix& other);
    Matrix& operator*=(double s);
    Matrix& operator/=(double s);

    // Prints the matrix to the output pane in blocks of at most `width`
    // columns, each element "%10.5f", under the title.
    void write(const MString& title, int width) const;

    // Stored form: rows, columns, empty flag (int32 each), then the elements
    // row after row as binary64. Returns false when the file fails.
    bool save(BinaryFile& file) const;
    // Reads the stored form. On a truncated or inconsistent record (negative
    // or absurd dimensions, a bad empty flag, missing elements) the matrix is
    // left empty and the result is false; nothing is reported here, the
    // caller names the file in its own message.
    bool load(BinaryFile& file);

private:
    void allocate(int rows, int columns);

    std::vector<double> data_;
    int rows_ = 0;
    int columns_ = 0;
    bool empty_ = true;
};

// A matrix with one column.
class Vector : public Matrix {
public:
    Vector() = default;
    explicit Vector(int n) : Matrix(n, 1) {}
    // From a one-column matrix; any other matrix reports and gives an empty
    // vector.
    Vector(const Matrix& m);  // NOLINT: results of matrix expressions convert
    Vector(Matrix&& m);       // NOLINT

    Vector(const Vector&) = default;
    Vector(Vector&&) noexcept = default;
    Vector& operator=(const Vector&) = default;
    Vector& operator=(Vector&&) noexcept = default;
    // Only a one-column source is taken; any other reports and leaves this
    // vector as it was.
    Vector& operator=(const Matrix& m);
    Vector& operator=(Matrix&& m);

    Vector& resize(int n) {
        Matrix::resize(n, 1);
        return *this;
    }
};

// Factories: a dimension below 1 reports and gives the empty matrix.
Matrix identity(int n);
Matrix ones(int rows, int columns);
Matrix zeros(int rows, int columns);
Vector zeroVector(int n);
Vector onesVector(int n);

Matrix operator+(const Matrix& a, const Matrix& b);
Matrix operator-(const Matrix& a, const Matrix& b);
Matrix operator*(const Matrix& a, const Matrix& b);
Matrix operator*(const Matrix& a, double s);
Matrix operator*(double s, const Matrix& a);
Matrix operator/(const Matrix& a, double s);

Matrix transpose(const Matrix& a);
// Row i as a 1 x columns matrix.
Matrix row(const Matrix& a, int i);

// Sum and sum of squares of all elements; -1.0 for an empty matrix.
double sum(const Matrix& a);
double sumOfSquares(const Matrix& a);
// The element of a 1 x 1 matrix; -1.0 otherwise.
double toScalar(const Matrix& a);

// Variables are rows, observations columns: element i is the mean (the
// variance with divisor n - 1) of row i.
Vector meanVector(const Matrix& x);
Vector varianceVector(const Matrix& x);
// x * transpose(x), exactly symmetric.
Matrix crossProducts(const Matrix& x);
Vector diagonal(const Matrix& a);
// Base-10 order of the largest absolute element, truncated toward zero; the
// most negative int for an all-zero matrix, the largest int when an element
// is infinite.
int magnitude(Matrix a);
// Sorts the first column in place, ascending; values that are not numbers
// go last.
void sortAscending(Matrix& v);

// A^-1; the empty matrix (after a message) when A is empty, not square or
// singular.
Matrix inverse(const Matrix& a);
// Writes A^-1 into out and returns the determinant of A; 0.0 on any failure,
// out then unchanged.
double invertInto(const Matrix& a, Matrix& out);
// Inverts the leading n x n block of a into the leading block of out (out
// must hold n x n) and sets the determinant. Returns 1, or -1 when the LU
// decomposition fails.
int invertWithDeterminant(const Matrix& a, Matrix& out, int n, double& determinant);
// In-place LU decomposition (Crout, implicit scaled partial pivoting) of the
// leading n x n block. index receives n pivot rows, parity +1 or -1 for an
// even or odd number of interchanges. Returns 1, or -1 after
// "Singular matrix in routine ludcmp" for a row of zeros.
int ludcmp(Matrix& a, int n, int* index, double& parity);
// Solves LU x = b in place for one right-hand side b of n elements.
void luBackSubstitute(const Matrix& a, int n, const int* index, double* b);
// Eigenvalues (in diagonal order, unsorted) and eigenvectors (columns) of
// the symmetric leading n x n block of a, by cyclic Jacobi rotations.
void jacobiEigen(Matrix a, int n, Vector& eigenvalues, Matrix& eigenvectors, int& rotations);

}  // namespace ordena
