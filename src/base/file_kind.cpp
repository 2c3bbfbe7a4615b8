#include "base/file_kind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace ordena {

namespace {

bool plainName(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }

// The descriptor as a stream, blocking again for its reads and writes.
std::FILE* streamOf(int fd, const char* mode) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, mode);
    if (f == nullptr) ::close(fd);
    return f;
}

}  // namespace

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return plainName(path) && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::FILE* openRegularForReading(const std::string& path, const char* mode) {
    if (!plainName(path)) return nullptr;
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return streamOf(fd, mode);
}

std::FILE* openWithoutWaiting(const std::string& path, const char* mode) {
    if (!plainName(path)) return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return streamOf(fd, mode);
}

std::FILE* openForWriting(const std::string& path, const char* mode) {
    if (!plainName(path) || mode == nullptr) return nullptr;
    const bool append = std::strchr(mode, 'a') != nullptr;
    // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of
    // waiting; one with a reader is refused below.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : 0), 0666);
    if (fd < 0) return nullptr;
    struct stat info {};
    const bool kindOk = ::fstat(fd, &info) == 0 && (S_ISREG(info.st_mode) || S_ISCHR(info.st_mode));
    if (!kindOk || (!append && S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return nullptr;
    }
    return streamOf(fd, mode);
}

}  // namespace ordena
