#include "base/bitset.h"

#include <cstdint>
#include <new>

#include "base/mstring.h"
#include "base/shell.h"

namespace ordena {

namespace {

// Byte lengths are int32 in the rest of the system.
constexpr std::int64_t kMaxBits = std::int64_t{INT32_MAX} * 8;

}  // namespace

int BitSet::resize(std::int64_t nbits) {
    if (nbits <= 0 || nbits > kMaxBits) {
        reportError("error in bitset size- resize failed");
        return -1;
    }
    std::vector<std::uint8_t> fresh(static_cast<std::size_t>((nbits + 7) / 8), 0);
    bytes_ = std::move(fresh);
    rows_ = 0;
    return 1;
}

int BitSet::resize(std::int64_t rows, std::int64_t columns) {
    // Two negative dimensions must not pass as a positive size.
    if (rows <= 0 || columns <= 0 || rows > INT32_MAX || columns > kMaxBits / rows) {
        reportError("error in bitset size- resize failed");
        return -1;
    }
    if (resize(rows * columns) < 0) return -1;
    rows_ = static_cast<int>(rows);
    return 1;
}

bool BitSet::inRange(std::int64_t k) const {
    return k >= 1 && (k - 1) / 8 < static_cast<std::int64_t>(bytes_.size());
}

void BitSet::set(std::int64_t k) {
    if (!inRange(k)) {
        reportError("Set bit out of range. Bit is: " + itoMString(k));
        return;
    }
    bytes_[static_cast<std::size_t>((k - 1) / 8)] |= static_cast<std::uint8_t>(1u << (k % 8));
}

void BitSet::set(int i, int j) { set(std::int64_t{i} + (std::int64_t{j} - 1) * rows_); }

bool BitSet::test(std::int64_t k) const {
    if (!inRange(k)) {
        reportError("Test bit out of range. Bit is: " + itoMString(k));
        return false;
    }
    return (bytes_[static_cast<std::size_t>((k - 1) / 8)] >> (k % 8)) & 1u;
}

bool BitSet::test(int i, int j) const { return test(std::int64_t{i} + (std::int64_t{j} - 1) * rows_); }

}  // namespace ordena
