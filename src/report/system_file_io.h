// Reading and writing the fields of a system file: little-endian int32,
// binary32 and binary64, single bytes, texts (length then bytes), matrices
// (rows, columns, empty flag, elements row by row) and lists (count, then
// the elements), with nothing between fields.
//
// The reader trusts nothing: a count or length is believed only when the
// bytes it promises are still in the file and it is within the limit its
// field allows, so no allocation is larger than the file. A field that
// fails a check ends the reading with a SystemFileRefusal.
//
// FieldWriter and FieldReader offer the same calls, so that one template
// (system_file_layout.h) states the order of the fields for both.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/mstring.h"
#include "data/work_file_io.h"
#include "model/model_spec.h"

namespace ordena {

// Why a system file cannot be read: completes "This system file cannot be
// read, ".
struct SystemFileRefusal {
    std::string reason;
};

// Longest text any field may hold.
inline constexpr int kSystemTextLimit = 1 << 20;
// Most rows or columns of a stored matrix.
inline constexpr int kSystemMatrixSide = 1 << 24;

// A system file read front to back through a large buffer.
class SystemFileInput {
public:
    SystemFileInput();
    ~SystemFileInput();
    SystemFileInput(const SystemFileInput&) = delete;
    SystemFileInput& operator=(const SystemFileInput&) = delete;

    // False when the path names no regular file that can be read.
    bool open(const std::string& path);

    // The part being read, named in messages ("latent estimates", ...).
    void setPart(const char* part) { part_ = part; }
    const char* part() const { return part_; }

    std::uint64_t remaining() const { return size_ - consumed_; }
    // Refuses unless n more bytes are in the file.
    void need(std::uint64_t n) const;
    // n bytes (at most kMaxTake) as one run; valid until the next call.
    const unsigned char* take(std::size_t n);
    static constexpr std::size_t kMaxTake = std::size_t{1} << 20;

    std::int32_t int32() { return loadInt32(take(4)); }
    double real();
    float real32();
    unsigned char byte() { return *take(1); }

    [[noreturn]] void refuse(const std::string& reason) const;
    [[noreturn]] void outOfRange(const char* what) const;
    [[noreturn]] void disagrees(const char* what) const;

private:
    std::FILE* file_ = nullptr;
    std::vector<unsigned char> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t size_ = 0, consumed_ = 0;
    const char* part_ = "header";
};

void storeFloat(unsigned char* p, float v);
float loadFloat(const unsigned char* p);

class FieldWriter {
public:
    static constexpr bool kReading = false;
    explicit FieldWriter(BlockWriter& out) : out_(out) {}

    template <class T>
    void integer(T& v, const char*, long long = std::numeric_limits<std::int32_t>::min(),
                 long long = std::numeric_limits<std::int32_t>::max()) {
        out_.putInt32(static_cast<std::int32_t>(v));
    }
    void flag(bool& v, const char*) { out_.putInt32(v ? 1 : 0); }
    // An enumeration stored as its position, 0 to count - 1.
    template <class E>
    void choice(E& v, int, const char*) {
        out_.putInt32(static_cast<std::int32_t>(v));
    }
    void real(double& v, const char*) { storeDouble(out_.append(8), v); }
    void real32(float& v, const char*) { storeFloat(out_.append(4), v); }
    // A single-precision field of the workspace stored as a double.
    void widened(float& v, const char*) { storeDouble(out_.append(8), v); }
    // A term's sign as one byte, '+' or '-'.
    void sign(char& c, const char*) { *out_.append(1) = static_cast<unsigned char>(c); }
    void text(MString& s, const char*, int = kSystemTextLimit);
    void texts(std::vector<MString>& list, const char* what, int countLimit);
    void ints(std::vector<std::int32_t>& list, const char*, int, long long = std::numeric_limits<std::int32_t>::min(),
              long long = std::numeric_limits<std::int32_t>::max());
    // The count of a list whose elements the caller then visits.
    template <class T>
    void count(std::vector<T>& list, const char*, int, int) {
        out_.putInt32(static_cast<std::int32_t>(list.size()));
    }
    void matrix(Matrix& m, const char*);
    void vector(Vector& v, const char* what) { matrix(v, what); }
    // Values that may be missing (NaN) or infinite, such as fit statistics
    // before any iteration and error variances.
    void uncheckedVector(Vector& v, const char* what) { matrix(v, what); }
    void uncheckedMatrix(Matrix& m, const char* what) { matrix(m, what); }
    void uncheckedReal(double& v, const char* what) { real(v, what); }
    void variableList(VariableList& list, const char* what);

    // Fields the layout holds that this workspace keeps elsewhere or not at
    // all: written from the value given, read and checked, then dropped.
    void spareInt(std::int32_t v, const char*) { out_.putInt32(v); }
    void spareReal(double v, const char*) { storeDouble(out_.append(8), v); }
    void spareMatrix(const Matrix& m, const char* what) {
        Matrix copy = m;
        matrix(copy, what);
    }

private:
    BlockWriter& out_;
};

class FieldReader {
public:
    static constexpr bool kReading = true;
    explicit FieldReader(SystemFileInput& in) : in_(in) {}

    template <class T>
    void integer(T& v, const char* what, long long low = std::numeric_limits<std::int32_t>::min(),
                 long long high = std::numeric_limits<std::int32_t>::max()) {
        const std::int32_t x = in_.int32();
        if (x < low || x > high) in_.outOfRange(what);
        v = static_cast<T>(x);
    }
    void flag(bool& v, const char* what) {
        int x = 0;
        integer(x, what, 0, 1);
        v = x == 1;
    }
    template <class E>
    void choice(E& v, int count, const char* what) {
        int x = 0;
        integer(x, what, 0, count - 1);
        v = static_cast<E>(x);
    }
    // Every number of the workspace is finite unless its field says
    // otherwise: a NaN or an infinity read here is a damaged file.
    void real(double& v, const char* what) { v = finite(in_.real(), what); }
    void real32(float& v, const char* what) { v = static_cast<float>(finite(in_.real32(), what)); }
    void widened(float& v, const char* what) {
        const double x = finite(in_.real(), what);
        if (std::fabs(x) > static_cast<double>(std::numeric_limits<float>::max())) in_.outOfRange(what);
        v = static_cast<float>(x);
    }
    void uncheckedReal(double& v, const char*) { v = in_.real(); }
    void sign(char& c, const char* what);
    void text(MString& s, const char* what, int limit = kSystemTextLimit);
    void texts(std::vector<MString>& list, const char* what, int countLimit);
    void ints(std::vector<std::int32_t>& list, const char* what, int countLimit,
              long long low = std::numeric_limits<std::int32_t>::min(),
              long long high = std::numeric_limits<std::int32_t>::max());
    // Reads a count of at most countLimit elements of at least minBytes
    // each and gives the list that many default elements.
    template <class T>
    void count(std::vector<T>& list, const char* what, int countLimit, int minBytes) {
        const std::int32_t n = readCount(what, countLimit, minBytes);
        list.clear();
        list.resize(static_cast<std::size_t>(n));
    }
    void matrix(Matrix& m, const char* what) { anyMatrix(m, what, true); }
    void vector(Vector& v, const char* what) { anyVector(v, what, true); }
    void uncheckedMatrix(Matrix& m, const char* what) { anyMatrix(m, what, false); }
    void uncheckedVector(Vector& v, const char* what) { anyVector(v, what, false); }
    void variableList(VariableList& list, const char* what);

    void spareInt(std::int32_t, const char*) { in_.int32(); }
    void spareReal(double, const char*) { in_.real(); }
    void spareMatrix(const Matrix&, const char* what) {
        Matrix dropped;
        anyMatrix(dropped, what, false);
    }

    std::int32_t readCount(const char* what, int countLimit, int minBytes);
    SystemFileInput& input() { return in_; }

private:
    double finite(double v, const char* what) {
        if (!std::isfinite(v)) in_.outOfRange(what);
        return v;
    }
    void anyMatrix(Matrix& m, const char* what, bool finiteOnly);
    void anyVector(Vector& v, const char* what, bool finiteOnly);

    SystemFileInput& in_;
};

}  // namespace ordena
