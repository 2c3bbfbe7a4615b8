#include "base/matrix.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <utility>

#include "base/binfile.h"
#include "base/shell.h"

namespace ordena {

namespace {

std::size_t elementCount(int rows, int columns) {
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
}

bool sameShape(const Matrix& a, const Matrix& b) { return a.rows() == b.rows() && a.columns() == b.columns(); }

// A stored matrix larger than this is taken as a corrupt record: far beyond
// any model this system builds, and the elements are read in chunks anyway.
constexpr std::int64_t kMaxStoredElements = std::int64_t{1} << 31;
constexpr std::size_t kLoadChunk = std::size_t{1} << 16;

}  // namespace

// ---------------------------------------------------------------------------
// Storage and shape

void Matrix::allocate(int rows, int columns) {
    std::vector<double> fresh;
    try {
        fresh.assign(elementCount(rows, columns), 0.0);
    } catch (const std::length_error&) {
        reportError("allocation failure 2 in matrix()");
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
        reportError("allocation failure 2 in matrix()");
        throw;
    }
    data_ = std::move(fresh);
    rows_ = rows;
    columns_ = columns;
    empty_ = false;
}

Matrix::Matrix(int rows, int columns) {
    if (rows <= 0 || columns <= 0) {
        reportError("error in dimension- memory not allocated");
        return;
    }
    allocate(rows, columns);
}

Matrix::Matrix(Matrix&& other) noexcept
    : data_(std::move(other.data_)),
      rows_(std::exchange(other.rows_, 0)),
      columns_(std::exchange(other.columns_, 0)),
      empty_(std::exchange(other.empty_, true)) {
    other.data_.clear();
}

Matrix& Matrix::operator=(Matrix&& other) noexcept {
    if (this != &other) {
        data_ = std::move(other.data_);
        other.data_.clear();
        rows_ = std::exchange(other.rows_, 0);
        columns_ = std::exchange(other.columns_, 0);
        empty_ = std::exchange(other.empty_, true);
    }
    return *this;
}

Matrix& Matrix::resize(int rows, int columns) {
    data_.clear();
    data_.shrink_to_fit();
    rows_ = columns_ = 0;
    empty_ = true;
    if (rows < 0 || columns < 0) {
        reportError("error in dimension- memory not allocated");
        return *this;
    }
    allocate(rows, columns);
    return *this;
}

Vector::Vector(const Matrix& m) { *this = m; }

Vector::Vector(Matrix&& m) { *this = std::move(m); }

Vector& Vector::operator=(const Matrix& m) {
    if (this == &m) return *this;
    if (m.isEmpty()) {
        Matrix::operator=(Matrix());
    } else if (m.columns() != 1) {
        reportError("Assignment of matrix with more than one column to a vector is not allowed");
    } else {
        Matrix::operator=(m);
    }
    return *this;
}

Vector& Vector::operator=(Matrix&& m) {
    if (this == &m) return *this;
    if (m.isEmpty()) {
        Matrix::operator=(Matrix());
    } else if (m.columns() != 1) {
        reportError("Assignment of matrix with more than one column to a vector is not allowed");
    } else {
        Matrix::operator=(std::move(m));
    }
    return *this;
}

// ---------------------------------------------------------------------------
// Factories

Matrix identity(int n) {
    if (n < 1) {
        reportError(" Dimension < 1 - can't define identity matrix");
        return Matrix();
    }
    Matrix r(n, n);
    for (int i = 0; i < n; ++i) r[i][i] = 1.0;
    return r;
}

Matrix zeros(int rows, int columns) {
    if (rows < 1 || columns < 1) {
        reportError(" Dimension < 1 - can't create matrix");
        return Matrix();
    }
    return Matrix(rows, columns);
}

Matrix ones(int rows, int columns) {
    Matrix r = zeros(rows, columns);
    if (!r.isEmpty()) std::fill(r.data(), r.data() + elementCount(rows, columns), 1.0);
    return r;
}

Vector zeroVector(int n) { return Vector(zeros(n, 1)); }

Vector onesVector(int n) { return Vector(ones(n, 1)); }

// ---------------------------------------------------------------------------
// Arithmetic

Matrix operator+(const Matrix& a, const Matrix& b) {
    if (a.isEmpty() || b.isEmpty()) {
        reportError(" Matrix empty - can't do addition");
        return Matrix();
    }
    if (!sameShape(a, b)) {
        reportError(" Matrices not the same dimension - can't add");
        return Matrix();
    }
    Matrix r(a);
    std::size_t n = elementCount(a.rows(), a.columns());
    double* p = r.data();
    const double* q = b.data();
    for (std::size_t k = 0; k < n; ++k) p[k] += q[k];
    return r;
}

Matrix operator-(const Matrix& a, const Matrix& b) {
    if (a.isEmpty() || b.isEmpty()) {
        reportError(" Matrix empty - can't do subtraction");
        return Matrix();
    }
    if (!sameShape(a, b)) {
        reportError(" Matrices not the same dimension - can't subtract");
        return Matrix();
    }
    Matrix r(a);
    std::size_t n = elementCount(a.rows(), a.columns());
    double* p = r.data();
    const double* q = b.data();
    for (std::size_t k = 0; k < n; ++k) p[k] -= q[k];
    return r;
}

Matrix operator*(const Matrix& a, const Matrix& b) {
    if (a.isEmpty() || b.isEmpty()) {
        reportError(" Matrix empty - can't do multiplication");
        return Matrix();
    }
    if (a.columns() != b.rows()) {
        reportError(" Matrices not conformable - can't do multiplication");
        return Matrix();
    }
    Matrix r;
    r.resize(a.rows(), b.columns());
    // Each element accumulates its products in the order k = 0, 1, ...
    // starting from zero; the loop order only keeps rows of b in cache.
    int n = b.columns();
    for (int i = 0; i < a.rows(); ++i) {
        double* ri = r[i];
        const double* ai = a[i];
        for (int k = 0; k < a.columns(); ++k) {
            double aik = ai[k];
            const double* bk = b[k];
            for (int j = 0; j < n; ++j) ri[j] += aik * bk[j];
        }
    }
    return r;
}

Matrix operator*(const Matrix& a, double s) {
    if (a.isEmpty()) {
        reportError(" Matrix empty - can't multiply by scalar");
        return Matrix();
    }
    Matrix r(a);
    std::size_t n = elementCount(a.rows(), a.columns());
    double* p = r.data();
    for (std::size_t k = 0; k < n; ++k) p[k] *= s;
    return r;
}

Matrix operator*(double s, const Matrix& a) { return a * s; }

Matrix operator/(const Matrix& a, double s) {
    if (a.isEmpty()) {
        reportError(" Matrix empty - can't divide by scalar");
        return Matrix();
    }
    Matrix r(a);
    std::size_t n = elementCount(a.rows(), a.columns());
    double* p = r.data();
    for (std::size_t k = 0; k < n; ++k) p[k] /= s;
    return r;
}

Matrix& Matrix::operator+=(const Matrix& other) { return *this = *this + other; }

Matrix& Matrix::operator-=(const Matrix& other) { return *this = *this - other; }

Matrix& Matrix::operator*=(double s) { return *this = *this * s; }

Matrix& Matrix::operator/=(double s) { return *this = *this / s; }

Matrix transpose(const Matrix& a) {
    if (a.isEmpty()) {
        reportError(" Matrix empty - can't do transpose");
        return Matrix();
    }
    Matrix r;
    r.resize(a.columns(), a.rows());
    for (int i = 0; i < a.rows(); ++i)
        for (int j = 0; j < a.columns(); ++j) r[j][i] = a[i][j];
    return r;
}

Matrix row(const Matrix& a, int i) {
    if (a.isEmpty()) {
        reportError(" Matrix empty - can't extract row");
        return Matrix();
    }
    if (i > a.rows() - 1 || i < 0) {
        reportError("Row number exceeds the number of rows in matrix");
        return Matrix();
    }
    Matrix r;
    r.resize(1, a.columns());
    std::copy(a[i], a[i] + a.columns(), r[0]);
    return r;
}

// ---------------------------------------------------------------------------
// Reductions and statistics

double sum(const Matrix& a) {
    if (a.isEmpty()) {
        reportError("Matrix is empty--sum can't be computed");
        return -1.0;
    }
    double s = 0.0;
    std::size_t n = elementCount(a.rows(), a.columns());
    const double* p = a.data();
    for (std::size_t k = 0; k < n; ++k) s += p[k];
    return s;
}

double sumOfSquares(const Matrix& a) {
    if (a.isEmpty()) {
        reportError("Matrix is empty--sum can't be computed");
        return -1.0;
    }
    double s = 0.0;
    std::size_t n = elementCount(a.rows(), a.columns());
    const double* p = a.data();
    for (std::size_t k = 0; k < n; ++k) s += p[k] * p[k];
    return s;
}

double toScalar(const Matrix& a) {
    if (a.isEmpty()) {
        reportError(" Matrix empty - can't convert to scalar");
        return -1.0;
    }
    if (a.rows() != 1 || a.columns() != 1) {
        reportError("Matrix not 1 by 1 - can't convert to scalar");
        return -1.0;
    }
    return a[0][0];
}

Vector meanVector(const Matrix& x) {
    if (x.isEmpty()) {
        reportError("Matrix is empty - mean vector can't be computed");
        return Vector();
    }
    Vector r;
    r.resize(x.rows());
    for (int i = 0; i < x.rows(); ++i) {
        double s = 0.0;
        for (int j = 0; j < x.columns(); ++j) s += x[i][j];
        r[i][0] = s / x.columns();
    }
    return r;
}

Vector varianceVector(const Matrix& x) {
    if (x.isEmpty()) {
        reportError("Matrix is empty - mean vector can't be computed");
        return Vector();
    }
    Vector r;
    r.resize(x.rows());
    int n = x.columns();
    for (int i = 0; i < x.rows(); ++i) {
        double s = 0.0;
        double ss = 0.0;
        for (int j = 0; j < n; ++j) {
            s += x[i][j];
            ss += x[i][j] * x[i][j];
        }
        r[i][0] = (ss - s * s / n) / (n - 1);
    }
    return r;
}

Matrix crossProducts(const Matrix& x) {
    if (x.isEmpty()) {
        reportError("Matrix is empty--cross products can't be computed");
        return Matrix();
    }
    int n = x.rows();
    Matrix r;
    r.resize(n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = i; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < x.columns(); ++k) s += x[i][k] * x[j][k];
            r[i][j] = s;
            r[j][i] = s;
        }
    }
    return r;
}

Vector diagonal(const Matrix& a) {
    if (a.rows() != a.columns()) {
        reportError("Matrix is not square--can't extract diagonal");
        return Vector();
    }
    if (a.isEmpty()) {
        reportError("Matrix is empty--can't extract diagonal");
        return Vector();
    }
    Vector r;
    r.resize(a.rows());
    for (int i = 0; i < a.rows(); ++i) r[i][0] = a[i][i];
    return r;
}

int magnitude(Matrix a) {
    double largest = 0.0;
    std::size_t n = a.isEmpty() ? 0 : elementCount(a.rows(), a.columns());
    const double* p = a.data();
    for (std::size_t k = 0; k < n; ++k) {
        double v = std::fabs(p[k]);
        if (v > largest) largest = v;
    }
    // The conversion of log10(0) = -inf to int has no defined value; the
    // all-zero case means "no magnitude at all".
    if (largest == 0.0) return INT_MIN;
    if (std::isinf(largest)) return INT_MAX;
    return static_cast<int>(std::log10(largest));
}

void sortAscending(Matrix& v) {
    if (v.isEmpty() || v.rows() < 2 || v.columns() < 1) return;
    std::vector<double> values(static_cast<std::size_t>(v.rows()));
    for (int i = 0; i < v.rows(); ++i) values[static_cast<std::size_t>(i)] = v[i][0];
    // NaN compares with nothing; keeping it out of the comparison keeps the
    // ordering strict and the sort within bounds.
    auto firstNaN = std::stable_partition(values.begin(), values.end(), [](double x) { return !std::isnan(x); });
    std::stable_sort(values.begin(), firstNaN);
    for (int i = 0; i < v.rows(); ++i) v[i][0] = values[static_cast<std::size_t>(i)];
}

// ---------------------------------------------------------------------------
// Inversion and decompositions

int ludcmp(Matrix& a, int n, int* index, double& parity) {
    if (n < 1 || a.rows() < n || a.columns() < n || index == nullptr) return -1;
    std::vector<double> scale(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        double big = 0.0;
        for (int j = 0; j < n; ++j) {
            double t = std::fabs(a[i][j]);
            if (t > big) big = t;
        }
        if (big == 0.0) {
            reportError("Singular matrix in routine ludcmp");
            return -1;
        }
        scale[static_cast<std::size_t>(i)] = 1.0 / big;
    }
    parity = 1.0;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double s = a[i][j];
            for (int k = 0; k < i; ++k) s -= a[i][k] * a[k][j];
            a[i][j] = s;
        }
        double big = 0.0;
        int pivot = j;  // stays j when every candidate is NaN
        for (int i = j; i < n; ++i) {
            double s = a[i][j];
            for (int k = 0; k < j; ++k) s -= a[i][k] * a[k][j];
            a[i][j] = s;
            double candidate = scale[static_cast<std::size_t>(i)] * std::fabs(s);
            if (candidate >= big) {
                big = candidate;
                pivot = i;
            }
        }
        if (j != pivot) {
            for (int k = 0; k < n; ++k) std::swap(a[pivot][k], a[j][k]);
            parity = -parity;
            scale[static_cast<std::size_t>(pivot)] = scale[static_cast<std::size_t>(j)];
        }
        index[j] = pivot;
        if (a[j][j] == 0.0) a[j][j] = 1.0e-20;
        if (j != n - 1) {
            double f = 1.0 / a[j][j];
            for (int i = j + 1; i < n; ++i) a[i][j] *= f;
        }
    }
    return 1;
}

void luBackSubstitute(const Matrix& a, int n, const int* index, double* b) {
    int first = -1;
    for (int i = 0; i < n; ++i) {
        int p = index[i];
        double s = b[p];
        b[p] = b[i];
        if (first >= 0) {
            for (int k = first; k < i; ++k) s -= a[i][k] * b[k];
        } else if (s != 0.0) {
            first = i;
        }
        b[i] = s;
    }
    for (int i = n - 1; i >= 0; --i) {
        double s = b[i];
        for (int k = i + 1; k < n; ++k) s -= a[i][k] * b[k];
        b[i] = s / a[i][i];
    }
}

int invertWithDeterminant(const Matrix& a, Matrix& out, int n, double& determinant) {
    if (n < 1 || a.rows() < n || a.columns() < n || out.rows() < n || out.columns() < n) return -1;
    Matrix lu(a);
    std::vector<double> column;
    std::vector<int> index;
    try {
        column.assign(static_cast<std::size_t>(n) + 1, 0.0);
    } catch (const std::bad_alloc&) {
        reportError("allocation failure in vector()");
        return -1;
    }
    try {
        index.assign(static_cast<std::size_t>(n) + 1, 0);
    } catch (const std::bad_alloc&) {
        reportError("allocation failure in ivector()");
        return -1;
    }
    double parity = 1.0;
    if (ludcmp(lu, n, index.data(), parity) < 0) return -1;
    double d = parity;
    for (int j = 0; j < n; ++j) d *= lu[j][j];
    determinant = d;
    for (int j = 0; j < n; ++j) {
        std::fill(column.begin(), column.end(), 0.0);
        column[static_cast<std::size_t>(j)] = 1.0;
        luBackSubstitute(lu, n, index.data(), column.data());
        for (int i = 0; i < n; ++i) out[i][j] = column[static_cast<std::size_t>(i)];
    }
    return 1;
}

Matrix inverse(const Matrix& a) {
    if (a.isEmpty()) {
        reportError(" Matrix empty - can't do inverse");
        return Matrix();
    }
    if (a.rows() != a.columns()) {
        reportError(" Matrix not square - can't invert");
        return Matrix();
    }
    Matrix r;
    r.resize(a.rows(), a.rows());
    double determinant = 0.0;
    if (invertWithDeterminant(a, r, a.rows(), determinant) < 0) {
        reportError(" Matrix singular - can't invert");
        return Matrix();
    }
    return r;
}

double invertInto(const Matrix& a, Matrix& out) {
    if (!sameShape(a, out)) {
        reportError("In and out matrix must have the same dimesions");
        return 0.0;
    }
    if (a.isEmpty()) {
        reportError(" Matrix empty - can't do inverse");
        return 0.0;
    }
    if (a.rows() != a.columns()) {
        reportError(" Matrix not square - can't invert");
        return 0.0;
    }
    // Out keeps its value when the decomposition fails.
    Matrix r;
    r.resize(a.rows(), a.rows());
    double determinant = 0.0;
    if (invertWithDeterminant(a, r, a.rows(), determinant) < 0) return 0.0;
    out = std::move(r);
    return determinant;
}

void jacobiEigen(Matrix a, int n, Vector& eigenvalues, Matrix& eigenvectors, int& rotations) {
    rotations = 0;
    if (n < 1 || a.rows() < n || a.columns() < n) {
        eigenvalues = Vector();
        eigenvectors = Matrix();
        return;
    }
    Vector d;
    d.resize(n);
    Matrix v;
    v.resize(n, n);
    std::vector<double> b(static_cast<std::size_t>(n));
    std::vector<double> z(static_cast<std::size_t>(n), 0.0);
    for (int p = 0; p < n; ++p) {
        v[p][p] = 1.0;
        b[static_cast<std::size_t>(p)] = d[p][0] = a[p][p];
    }
    // One plane rotation of the pair (x, y).
    auto rotate = [](double& x, double& y, double c, double s) {
        double g = x;
        double h = y;
        x = c * g - s * h;
        y = c * h + s * g;
    };
    for (int sweep = 1; sweep <= 50; ++sweep) {
        double sm = 0.0;
        for (int p = 0; p < n - 1; ++p)
            for (int q = p + 1; q < n; ++q) sm += std::fabs(a[p][q]);
        if (n < 2 || sm == 0.0) break;
        double threshold = sweep < 4 ? 0.2 * sm / (static_cast<double>(n) * n) : 0.0;
        for (int p = 0; p < n - 1; ++p) {
            for (int q = p + 1; q < n; ++q) {
                double g = 100.0 * std::fabs(a[p][q]);
                double dp = d[p][0];
                double dq = d[q][0];
                if (sweep > 4 && std::fabs(dp) + g == std::fabs(dp) && std::fabs(dq) + g == std::fabs(dq)) {
                    a[p][q] = 0.0;
                } else if (std::fabs(a[p][q]) > threshold) {
                    double h = dq - dp;
                    double t;
                    if (std::fabs(h) + g == std::fabs(h)) {
                        t = a[p][q] / h;
                    } else {
                        double theta = 0.5 * h / a[p][q];
                        t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
                        if (theta < 0.0) t = -t;
                    }
                    double c = 1.0 / std::sqrt(1.0 + t * t);
                    double s = t * c;
                    h = t * a[p][q];
                    z[static_cast<std::size_t>(p)] -= h;
                    z[static_cast<std::size_t>(q)] += h;
                    d[p][0] -= h;
                    d[q][0] += h;
                    a[p][q] = 0.0;
                    for (int j = 0; j < p; ++j) rotate(a[j][p], a[j][q], c, s);
                    for (int j = p + 1; j < q; ++j) rotate(a[p][j], a[j][q], c, s);
                    for (int j = q + 1; j < n; ++j) rotate(a[p][j], a[q][j], c, s);
                    for (int j = 0; j < n; ++j) rotate(v[j][p], v[j][q], c, s);
                    ++rotations;
                }
            }
        }
        for (int p = 0; p < n; ++p) {
            std::size_t k = static_cast<std::size_t>(p);
            b[k] += z[k];
            d[p][0] = b[k];
            z[k] = 0.0;
        }
    }
    eigenvalues = std::move(d);
    eigenvectors = std::move(v);
}

// ---------------------------------------------------------------------------
// Output and stored form

void Matrix::write(const MString& title, int width) const {
    if (isEmpty()) {
        reportError("Matrix empty - can't write matrix");
        return;
    }
    // A block width below 1 would never advance: show all columns at once.
    if (width < 1) width = std::max(columns_, 1);
    std::string text = title.str();
    text += "\r\n";
    char number[400];  // "%10.5f" of the largest double takes 316 characters
    for (int start = 0; start < columns_; start += width) {
        int end = std::min(columns_, start + width);
        text += "     ";
        for (int k = start + 1; k <= end; ++k) {
            text += "   ";
            if (k < 100) text += ' ';
            if (k < 10) text += ' ';
            text += std::to_string(k);
            text += "      ";
        }
        text += "\r\n";
        for (int r = 1; r <= rows_; ++r) {
            text += ' ';
            text += std::to_string(r);
            if (r < 10) text += ' ';
            if (r < 100) text += ' ';
            const double* values = (*this)[r - 1];
            for (int c = start; c < end; ++c) {
                std::snprintf(number, sizeof number, "%10.5f", values[c]);
                text += ' ';
                text += number;
                text += ' ';
            }
            text += "\r\n";
        }
        text += "\r\n";
    }
    currentShell().appendOutput(MString(std::move(text)));
}

bool Matrix::save(BinaryFile& file) const {
    bool ok = file.writeInt32(rows_) && file.writeInt32(columns_) && file.writeInt32(empty_ ? 1 : 0);
    if (ok && rows_ > 0) {
        std::size_t n = elementCount(rows_, columns_);
        for (std::size_t k = 0; k < n && ok; ++k) ok = file.writeDouble(data_[k]);
    }
    return ok && !file.failed();
}

bool Matrix::load(BinaryFile& file) {
    *this = Matrix();
    std::int32_t rows = 0;
    std::int32_t columns = 0;
    std::int32_t emptyFlag = 0;
    if (!file.readInt32(rows) || !file.readInt32(columns) || !file.readInt32(emptyFlag)) return false;
    if (emptyFlag == 1) return rows == 0 && columns == 0;
    if (emptyFlag != 0 || rows < 0 || columns < 0) return false;
    std::int64_t count = static_cast<std::int64_t>(rows) * columns;
    if (count > kMaxStoredElements) return false;
    // Read before allocating the whole matrix, so that a record claiming
    // more elements than the file holds costs no more memory than the file.
    std::vector<double> values;
    std::size_t total = static_cast<std::size_t>(rows > 0 ? count : 0);
    while (values.size() < total) {
        std::size_t chunk = std::min(kLoadChunk, total - values.size());
        std::size_t at = values.size();
        values.resize(at + chunk);
        for (std::size_t k = 0; k < chunk; ++k)
            if (!file.readDouble(values[at + k])) return false;
    }
    resize(rows, columns);
    if (total > 0) std::copy(values.begin(), values.end(), data_.begin());
    return true;
}

}  // namespace ordena
