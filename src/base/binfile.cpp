#include "base/binfile.h"

#include <bit>
#include <cstring>
#include <utility>

namespace ordena {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

template <class T>
T toLittle(T value) {
    if constexpr (std::endian::native == std::endian::little) {
        return value;
    } else {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
}

}  // namespace

BinaryFile::BinaryFile(BinaryFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), failed_(other.failed_) {}

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
    if (this != &other) {
        close();
        file_ = std::exchange(other.file_, nullptr);
        failed_ = other.failed_;
    }
    return *this;
}

bool BinaryFile::open(const std::string& path, const char* mode) {
    close();
    failed_ = false;
    file_ = std::fopen(path.c_str(), mode);
    if (file_ == nullptr) return false;
    std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
    return true;
}

bool BinaryFile::close() {
    if (file_ == nullptr) return true;
    bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok) failed_ = true;
    return ok && !failed_;
}

bool BinaryFile::writeBytes(const void* data, std::size_t n) {
    if (file_ == nullptr || (n > 0 && std::fwrite(data, 1, n, file_) != n)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool BinaryFile::writeInt32(std::int32_t value) {
    value = toLittle(value);
    return writeBytes(&value, sizeof value);
}

bool BinaryFile::writeDouble(double value) {
    value = toLittle(value);
    return writeBytes(&value, sizeof value);
}

bool BinaryFile::readBytes(void* data, std::size_t n) {
    if (file_ == nullptr || (n > 0 && std::fread(data, 1, n, file_) != n)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool BinaryFile::readInt32(std::int32_t& value) {
    std::int32_t raw;
    if (!readBytes(&raw, sizeof raw)) return false;
    value = toLittle(raw);
    return true;
}

bool BinaryFile::readDouble(double& value) {
    double raw;
    if (!readBytes(&raw, sizeof raw)) return false;
    value = toLittle(raw);
    return true;
}

bool BinaryFile::seek(long long offset) {
    if (file_ == nullptr || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
        failed_ = true;
        return false;
    }
    return true;
}

long long BinaryFile::tell() { return file_ ? static_cast<long long>(ftello(file_)) : -1; }

bool BinaryFile::flush() {
    if (file_ == nullptr || std::fflush(file_) != 0) {
        failed_ = true;
        return false;
    }
    return true;
}

bool BinaryFile::atEnd() {
    if (file_ == nullptr) return true;
    int c = std::fgetc(file_);
    if (c == EOF) return true;
    std::ungetc(c, file_);
    return false;
}

int readDoubles(const MString& name, std::vector<double>& values, std::size_t count) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return 0;
    values.assign(count, 0.0);
    const std::size_t got = count ? std::fread(values.data(), sizeof(double), count, f) : 0;
    std::fclose(f);
    return got == count ? 1 : -1;
}

}  // namespace ordena
