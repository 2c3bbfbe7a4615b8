// Reads the data file record group by record group through one large
// buffer. Lines end with LF or CR LF; a last line without a line end counts.
// A record ends at its first zero byte.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace ordena {

class DataFileReader {
public:
    DataFileReader() = default;
    ~DataFileReader() { close(); }
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;

    bool open(const std::string& path);
    void close();
    // True when no byte is left.
    bool atEnd();
    // Reads the next lines.size() lines. 1 when all were read (the views stay
    // valid until the next call), 0 when the file was already at its end, -1
    // when it ended within the group or a line is longer than maxLine.
    int readGroup(std::vector<std::string_view>& lines, std::size_t maxLine);

private:
    bool fill();  // moves the unread bytes to the front and reads more; false at end of file

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
};

}  // namespace ordena
