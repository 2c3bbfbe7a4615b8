// Delimited data files: one case per line, fields separated by a comma, a
// semicolon, a tab or runs of white space, an optional header line of
// variable names. Fields may be quoted with double quotes (a doubled quote
// inside stands for one); quotes do not span lines. A UTF-8 byte-order mark
// before the first line is dropped, lines end with LF or CR LF, and empty
// lines are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/mstring.h"
#include "data/data_file_reader.h"

namespace ordena {

// Stored in system files: the values keep their numbers.
enum DelimiterKind : std::int32_t {
    kDelimiterGuess = 0,  // decided from the first line when the file is read
    kDelimiterComma = 1,
    kDelimiterSemicolon = 2,
    kDelimiterTab = 3,
    kDelimiterWhitespace = 4,
};

// How the datafile statement said to read the file. Not delimited: fixed columns.
struct DelimitedOptions {
    bool delimited = false;
    std::int32_t delimiter = kDelimiterGuess;
    bool header = true;

    bool operator==(const DelimitedOptions&) const = default;
};

// The word of each delimiter kind, as the datafile statement takes it.
const char* delimiterWord(std::int32_t kind);

// The delimiter of a file whose first line is this: the most frequent of
// tab, semicolon and comma outside quotes (ties in that order); white space
// when none of them occurs.
std::int32_t guessDelimiter(std::string_view firstLine);

// Splits one line (without its line end) into fields. The views point into
// the line or into storage, which must outlive them. Empty when the line is
// well formed, else the fault and the field (from 1) in which it lies.
struct SplitFault {
    MString what;   // "unclosed quote", ...
    int field = 0;  // from 1
    bool failed() const { return !what.isEmpty(); }
};
SplitFault splitDelimitedLine(std::string_view line, std::int32_t delimiter, std::vector<std::string_view>& fields,
                              std::string& storage);

class DelimitedReader {
public:
    // The longest line read; longer ones are refused with their number.
    static constexpr std::size_t kMaxLine = (std::size_t{1} << 20) - 16;

    // Opens the file, decides the delimiter and reads the header line when
    // the options say there is one. 1, or -1 with error() set.
    int open(const std::string& path, const DelimitedOptions& options);
    void close() { file_.close(); }

    // The header's names as written; empty without a header.
    const std::vector<MString>& header() const { return header_; }
    // Fields of every line: the header's count, else the first data line's.
    int fieldCount() const { return fieldCount_; }
    std::int32_t delimiter() const { return delimiter_; }

    // The fields of the next data line: 1, 0 at the end of the file, -1
    // with error() set (the line and field named).
    int next(std::vector<std::string_view>& fields);
    // The number (from 1) of the line last read.
    std::int64_t lineNumber() const { return line_; }
    const MString& error() const { return error_; }

private:
    // The next line that is not empty: 1, 0 at the end, -1 (error set).
    int nextLine(std::string_view& text);
    int fail(const MString& message) {
        error_ = message;
        return -1;
    }

    DataFileReader file_;
    std::vector<std::string_view> one_{1};
    std::string storage_;
    std::vector<MString> header_;
    std::int32_t delimiter_ = kDelimiterComma;
    int fieldCount_ = -1;
    std::int64_t line_ = 0;
    bool first_ = true;  // the byte-order mark can stand only before the first line
    std::vector<std::string_view> pendingFields_;
    bool pending_ = false;  // open read the first data line to count its fields
    MString error_;
};

// "line N, field K" of a message about the data file.
MString lineAndField(std::int64_t line, int field);

}  // namespace ordena
