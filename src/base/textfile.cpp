#include "base/textfile.h"

#include <utility>

#include "base/file_kind.h"

namespace ordena {

TextFile::TextFile(TextFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), failed_(other.failed_), path_(std::move(other.path_)) {}

TextFile& TextFile::operator=(TextFile&& other) noexcept {
    if (this != &other) {
        close();
        file_ = std::exchange(other.file_, nullptr);
        failed_ = other.failed_;
        path_ = std::move(other.path_);
    }
    return *this;
}

bool TextFile::open(const std::string& path, const char* mode) {
    close();
    failed_ = false;
    path_ = path;
    file_ = openForWriting(path, mode);
    return file_ != nullptr;
}

bool TextFile::close() {
    if (file_ == nullptr) return !failed_;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

bool TextFile::write(const MString& text) {
    if (file_ == nullptr) return false;
    std::size_t n = static_cast<std::size_t>(text.length());
    if (n > 0 && std::fwrite(text.c_str(), 1, n, file_) != n) failed_ = true;
    return !failed_;
}

bool TextFile::flush() {
    if (file_ == nullptr) return false;
    if (std::fflush(file_) != 0) failed_ = true;
    return !failed_;
}

}  // namespace ordena
