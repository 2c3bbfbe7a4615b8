// Block-buffered writing and reading of the fixed-size little-endian records
// of the work files: one system call per block, never per record.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
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
    BlockWriter() : buffer_(new unsigned char[kBlock]) {}
    bool open(const std::string& path) {
        used_ = 0;
        return file_.open(path, "wb");
    }
    // Room for n bytes at the end of the buffer, to be filled by the caller.
    unsigned char* append(std::size_t n) {
        if (n > kBlock) {
            // Larger than a block: written directly.
            flush();
            large_.resize(n);
            pendingLarge_ = true;
            return large_.data();
        }
        if (pendingLarge_) flushLarge();
        if (used_ + n > kBlock) flush();
        unsigned char* p = buffer_.get() + used_;
        used_ += n;
        return p;
    }
    void putInt32(std::int32_t v) { storeInt32(append(4), v); }
    // Writes a large run of bytes without copying it through the buffer.
    bool writeDirect(const unsigned char* data, std::size_t n) {
        bool ok = flush();
        return (n == 0 || file_.writeBytes(data, n)) && ok;
    }
    bool flush() {
        bool ok = flushLarge();
        ok = (used_ == 0 || file_.writeBytes(buffer_.get(), used_)) && ok;
        used_ = 0;
        return ok;
    }
    // False when anything could not be written.
    bool close() {
        bool ok = flush();
        return file_.close() && ok;
    }
    bool isOpen() const { return file_.isOpen(); }

private:
    bool flushLarge() {
        if (!pendingLarge_) return true;
        pendingLarge_ = false;
        bool ok = used_ == 0 || file_.writeBytes(buffer_.get(), used_);
        used_ = 0;
        ok = file_.writeBytes(large_.data(), large_.size()) && ok;
        large_.clear();
        return ok;
    }

    static constexpr std::size_t kBlock = 1 << 20;
    BinaryFile file_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t used_ = 0;
    std::vector<unsigned char> large_;
    bool pendingLarge_ = false;
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
