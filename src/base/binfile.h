// Buffered binary file with RAII ownership. Integers are stored as
// little-endian int32, reals as little-endian IEEE 754 binary64, with nothing
// between fields: the layout of every work file and system file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/mstring.h"

namespace ordena {

class BinaryFile {
public:
    BinaryFile() = default;
    BinaryFile(const std::string& path, const char* mode) { open(path, mode); }
    ~BinaryFile() { close(); }
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;
    BinaryFile(BinaryFile&& other) noexcept;
    BinaryFile& operator=(BinaryFile&& other) noexcept;

    // Mode as for fopen ("rb", "wb", "r+b", ...). Returns false when the file
    // cannot be opened.
    bool open(const std::string& path, const char* mode);
    // Returns false when buffered data could not be written.
    bool close();
    bool isOpen() const { return file_ != nullptr; }
    // True after any failed read or write since opening.
    bool failed() const { return failed_; }

    bool writeBytes(const void* data, std::size_t n);
    bool writeInt32(std::int32_t value);
    bool writeDouble(double value);
    // Reads exactly n bytes; false (and failed) when fewer are available.
    bool readBytes(void* data, std::size_t n);
    bool readInt32(std::int32_t& value);
    bool readDouble(double& value);

    bool seek(long long offset);
    long long tell();
    bool flush();
    // True when no byte is left to read (looks ahead without consuming).
    bool atEnd();

    std::FILE* handle() { return file_; }

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

// Reads count doubles from a work file: 1, 0 when it cannot be opened, -1
// when it holds fewer.
int readDoubles(const MString& name, std::vector<double>& values, std::size_t count);

}  // namespace ordena
