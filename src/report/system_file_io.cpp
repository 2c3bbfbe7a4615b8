#include "report/system_file_io.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>

#include "base/file_kind.h"

namespace ordena {

SystemFileInput::SystemFileInput() = default;

SystemFileInput::~SystemFileInput() {
    if (file_ != nullptr) std::fclose(file_);
}

bool SystemFileInput::open(const std::string& path) {
    // A directory opens for reading on this platform and then fails at the
    // first read: only a regular file is a system file.
    file_ = openRegularForReading(path, "rb");
    if (file_ == nullptr) return false;
    struct stat info {};
    if (::fstat(::fileno(file_), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    buffer_.resize(2 * kMaxTake);
    return true;
}

void SystemFileInput::need(std::uint64_t n) const {
    if (n > remaining()) refuse(std::string("it ends within its ") + part_);
}

const unsigned char* SystemFileInput::take(std::size_t n) {
    need(n);
    if (pos_ + n > end_) {
        const std::size_t rest = end_ - pos_;
        if (rest > 0) std::memmove(buffer_.data(), buffer_.data() + pos_, rest);
        pos_ = 0;
        end_ = rest;
        while (end_ < n) {
            const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
            // The file was shorter than its size said (it changed while read).
            if (got == 0) refuse(std::string("it ends within its ") + part_);
            end_ += got;
        }
    }
    const unsigned char* p = buffer_.data() + pos_;
    pos_ += n;
    consumed_ += n;
    return p;
}

double SystemFileInput::real() { return loadDouble(take(8)); }

float SystemFileInput::real32() { return loadFloat(take(4)); }

void SystemFileInput::refuse(const std::string& reason) const { throw SystemFileRefusal{reason}; }

void SystemFileInput::outOfRange(const char* what) const {
    refuse(std::string(what) + " in its " + part_ + " is out of range");
}

void SystemFileInput::disagrees(const char* what) const {
    refuse(std::string(what) + " in its " + part_ + " does not agree with the rest of the file");
}

void storeFloat(unsigned char* p, float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    storeInt32(p, static_cast<std::int32_t>(u));
}

float loadFloat(const unsigned char* p) {
    const auto u = static_cast<std::uint32_t>(loadInt32(p));
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// ---------------------------------------------------------------------------
// Writing

void FieldWriter::text(MString& s, const char*, int) {
    out_.putInt32(s.length());
    if (s.length() > 0) std::memcpy(out_.append(static_cast<std::size_t>(s.length())), s.c_str(), s.str().size());
}

void FieldWriter::texts(std::vector<MString>& list, const char* what, int) {
    out_.putInt32(static_cast<std::int32_t>(list.size()));
    for (MString& s : list) text(s, what);
}

void FieldWriter::ints(std::vector<std::int32_t>& list, const char*, int, long long, long long) {
    out_.putInt32(static_cast<std::int32_t>(list.size()));
    for (std::int32_t v : list) out_.putInt32(v);
}

void FieldWriter::matrix(Matrix& m, const char*) {
    out_.putInt32(m.isEmpty() ? 0 : m.rows());
    out_.putInt32(m.isEmpty() ? 0 : m.columns());
    out_.putInt32(m.isEmpty() ? 1 : 0);
    if (m.isEmpty()) return;
    const std::size_t n = static_cast<std::size_t>(m.rows()) * static_cast<std::size_t>(m.columns());
    const double* values = m.data();
    for (std::size_t k = 0; k < n; ++k) storeDouble(out_.append(8), values[k]);
}

void FieldWriter::variableList(VariableList& list, const char* what) {
    ints(list.explicitIndices, what, 0);
    ints(list.implicitIndices, what, 0);
}

// ---------------------------------------------------------------------------
// Reading

std::int32_t FieldReader::readCount(const char* what, int countLimit, int minBytes) {
    const std::int32_t n = in_.int32();
    if (n < 0 || n > countLimit) in_.outOfRange(what);
    in_.need(static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(minBytes));
    return n;
}

void FieldReader::sign(char& c, const char* what) {
    const unsigned char b = in_.byte();
    if (b != '+' && b != '-') in_.outOfRange(what);
    c = static_cast<char>(b);
}

void FieldReader::text(MString& s, const char* what, int limit) {
    const std::int32_t n = readCount(what, limit, 1);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(n));
    std::size_t left = static_cast<std::size_t>(n);
    while (left > 0) {
        const std::size_t chunk = left < SystemFileInput::kMaxTake ? left : SystemFileInput::kMaxTake;
        bytes.append(reinterpret_cast<const char*>(in_.take(chunk)), chunk);
        left -= chunk;
    }
    s = MString(std::move(bytes));
}

void FieldReader::texts(std::vector<MString>& list, const char* what, int countLimit) {
    count(list, what, countLimit, 4);
    for (MString& s : list) text(s, what);
}

void FieldReader::ints(std::vector<std::int32_t>& list, const char* what, int countLimit, long long low,
                       long long high) {
    count(list, what, countLimit, 4);
    for (std::int32_t& v : list) integer(v, what, low, high);
}

void FieldReader::anyMatrix(Matrix& m, const char* what, bool finiteOnly) {
    const std::int32_t rows = in_.int32();
    const std::int32_t columns = in_.int32();
    const std::int32_t empty = in_.int32();
    m = Matrix();
    if (empty == 1) {
        if (rows != 0 || columns != 0) in_.outOfRange(what);
        return;
    }
    if (empty != 0 || rows < 0 || columns < 0 || rows > kSystemMatrixSide || columns > kSystemMatrixSide)
        in_.outOfRange(what);
    const std::uint64_t n = static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(columns);
    in_.need(8 * n);
    m.resize(rows, columns);
    double* values = m.data();
    for (std::uint64_t k = 0; k < n; ++k) {
        values[k] = in_.real();
        if (finiteOnly && !std::isfinite(values[k])) in_.outOfRange(what);
    }
}

void FieldReader::anyVector(Vector& v, const char* what, bool finiteOnly) {
    Matrix m;
    anyMatrix(m, what, finiteOnly);
    if (!m.isEmpty() && m.columns() != 1) in_.outOfRange(what);
    v = Vector();
    if (!m.isEmpty()) v = std::move(m);
}

void FieldReader::variableList(VariableList& list, const char* what) {
    ints(list.explicitIndices, what, kMaxListVariables, 0);
    ints(list.implicitIndices, what, kMaxListVariables, 0);
}

}  // namespace ordena
