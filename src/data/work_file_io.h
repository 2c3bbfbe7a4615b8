// Block-buffered writing and reading of the fixed-size little-endian records
// of the work files: one system call per block, never per record.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/binfile.h"

namespace ordena {

inline void storeInt32(unsigned char* p, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    p[0] = static_cast<unsigned char>(u);
    p[1] = static_cast<unsigned char>(u >> 8);
    p[2] = static_cast<unsigned char>(u >> 16);
    p[3] = static_cast<unsigned char>(u >> 24);
}

inline std::int32_t loadInt32(const unsigned char* p) {
    std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(u);
}

inline void storeDouble(unsigned char* p, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

inline double loadDouble(const unsigned char* p) {
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// Appends records to a new file through a large buffer.
class BlockWriter {
public:
    bool open(const std::string& path) {
        buffer_.clear();
        buffer_.reserve(kBlock);
        return file_.open(path, "wb");
    }
    unsigned char* append(std::size_t n) {
        if (buffer_.size() + n > kBlock) flush();
        std::size_t at = buffer_.size();
        buffer_.resize(at + n);
        return buffer_.data() + at;
    }
    void putInt32(std::int32_t v) { storeInt32(append(4), v); }
    bool flush() {
        bool ok = buffer_.empty() || file_.writeBytes(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }
    // False when anything could not be written.
    bool close() {
        bool ok = flush();
        return file_.close() && ok;
    }
    bool isOpen() const { return file_.isOpen(); }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    BinaryFile file_;
    std::vector<unsigned char> buffer_;
};

// Reads fixed-size records of a file in large blocks.
class BlockReader {
public:
    bool open(const std::string& path, std::size_t recordBytes) {
        record_ = recordBytes == 0 ? 1 : recordBytes;
        pos_ = end_ = 0;
        buffer_.resize(record_ * ((kBlock + record_ - 1) / record_));
        return file_.open(path, "rb");
    }
    // The next whole record, or nullptr at the end (a partial last record
    // counts as the end).
    const unsigned char* next() {
        if (!file_.isOpen()) return nullptr;
        if (pos_ + record_ > end_) {
            std::size_t rest = end_ - pos_;
            if (rest > 0) std::memmove(buffer_.data(), buffer_.data() + pos_, rest);
            end_ = rest;
            pos_ = 0;
            std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.handle());
            end_ += got;
            if (end_ < record_) return nullptr;
        }
        const unsigned char* r = buffer_.data() + pos_;
        pos_ += record_;
        return r;
    }
    void close() { file_.close(); }
    bool isOpen() const { return file_.isOpen(); }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    BinaryFile file_;
    std::vector<unsigned char> buffer_;
    std::size_t record_ = 1;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

}  // namespace ordena
