// A text file opened for writing reports (">>" redirection, the log file,
// export files). Owned, buffered, closed on destruction.
#pragma once

#include <cstdio>
#include <string>

#include "base/mstring.h"

namespace ordena {

class TextFile {
public:
    TextFile() = default;
    ~TextFile() { close(); }
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    TextFile(TextFile&& other) noexcept;
    TextFile& operator=(TextFile&& other) noexcept;

    // mode "w" or "a"; false when the file cannot be opened.
    bool open(const std::string& path, const char* mode);
    bool close();
    bool isOpen() const { return file_ != nullptr; }
    // True once a write has failed (a full device, say).
    bool failed() const { return failed_; }
    const std::string& path() const { return path_; }

    bool write(const MString& text);
    bool flush();

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::string path_;
};

}  // namespace ordena
