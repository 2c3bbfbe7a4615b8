// Opening files named by the user without waiting on them: a FIFO opened by
// plain fopen blocks until its other end appears, and a device can give
// bytes for ever, so the kind of file is settled before anything is read.
#pragma once

#include <cstdio>
#include <string>

namespace ordena {

// A regular file (a symbolic link to one counts) opened for reading with
// fopen's mode ("r" or "rb"); nullptr for anything else, a missing file and
// a name with a NUL byte. Never blocks.
std::FILE* openRegularForReading(const std::string& path, const char* mode);

// Any file but a directory opened for reading, without waiting for the
// writer of a FIFO (a FIFO without one reads as empty). For files whose
// reader bounds what it takes, such as submitted scripts.
std::FILE* openWithoutWaiting(const std::string& path, const char* mode);

// True when path names a regular file (following symbolic links).
bool isRegularFile(const std::string& path);

// A file opened for writing with fopen's mode ("w", "wb", "a", "ab"): a
// regular file (created when missing) or a character device such as
// /dev/null; nullptr for a FIFO, a directory or a socket. An existing
// regular file is truncated ("w") only after its kind is known.
std::FILE* openForWriting(const std::string& path, const char* mode);

}  // namespace ordena
