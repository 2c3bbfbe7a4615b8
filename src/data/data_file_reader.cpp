#include "data/data_file_reader.h"

#include "base/file_kind.h"

#include <cstring>

namespace ordena {

namespace {
constexpr std::size_t kBufferBytes = 1 << 20;
}

bool DataFileReader::open(const std::string& path) {
    close();
    file_ = openRegularForReading(path, "rb");
    if (file_ == nullptr) return false;
    buffer_.assign(kBufferBytes, '\0');
    pos_ = end_ = 0;
    eof_ = false;
    return true;
}

void DataFileReader::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

bool DataFileReader::fill() {
    if (eof_ || file_ == nullptr) return false;
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == buffer_.size()) return true;  // full: the caller has what fits
    std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    end_ += got;
    if (got == 0) eof_ = true;
    return got > 0;
}

bool DataFileReader::atEnd() {
    if (pos_ < end_) return false;
    fill();
    return pos_ >= end_;
}

int DataFileReader::readGroup(std::vector<std::string_view>& lines, std::size_t maxLine) {
    if (atEnd()) return 0;
    // A group (at most twenty lines of bounded length) always fits the
    // buffer; when it runs past the buffered bytes, refill and scan again.
    for (;;) {
        std::size_t p = pos_;
        std::size_t k = 0;
        bool refill = false;
        for (; k < lines.size(); ++k) {
            if (p >= end_) {
                if (!eof_) refill = true;
                break;
            }
            const char* start = buffer_.data() + p;
            const void* nl = std::memchr(start, '\n', end_ - p);
            std::size_t len;
            std::size_t next;
            if (nl == nullptr) {
                if (!eof_ && end_ - p <= maxLine + 2) {
                    refill = true;
                    break;
                }
                len = end_ - p;
                next = end_;
            } else {
                len = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
                next = p + len + 1;
            }
            if (len > 0 && start[len - 1] == '\r') --len;
            if (len > maxLine) return -1;
            // A zero byte ends the record, as it ends any text: nothing after
            // it reaches codes, identifiers or labels.
            if (const void* zero = std::memchr(start, '\0', len))
                len = static_cast<std::size_t>(static_cast<const char*>(zero) - start);
            lines[k] = std::string_view(start, len);
            p = next;
        }
        if (!refill) {
            if (k < lines.size()) return -1;
            pos_ = p;
            return 1;
        }
        std::size_t before = end_ - pos_;
        fill();
        if (end_ - pos_ == before && !eof_) return -1;  // no progress possible
    }
}

}  // namespace ordena
