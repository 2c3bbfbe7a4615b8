// A set of bits numbered from 1, also used as a bit matrix addressed by
// (row, column) from 1, stored column after column.
#pragma once

#include <cstdint>
#include <vector>

namespace ordena {

class BitSet {
public:
    BitSet() = default;

    // nbits bits, all clear. Returns 1, or -1 (set unchanged, after a
    // message) when nbits < 1.
    int resize(std::int64_t nbits);
    // rows x columns bits, all clear; the row count is kept for set(i, j).
    int resize(std::int64_t rows, std::int64_t columns);

    // A bit out of range reports and changes nothing.
    void set(std::int64_t k);
    void set(int i, int j);
    // A bit out of range reports and reads as clear.
    bool test(std::int64_t k) const;
    bool test(int i, int j) const;

    int length() const { return static_cast<int>(bytes_.size()); }
    int rowCount() const { return rows_; }

private:
    bool inRange(std::int64_t k) const;

    std::vector<std::uint8_t> bytes_;
    int rows_ = 0;
};

}  // namespace ordena
