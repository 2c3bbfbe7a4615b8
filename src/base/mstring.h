// The one text type of the system: statements, reports, labels and every
// text stored in work files and system files. A value type: copies never
// share, every operation returns a new text.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace ordena {

class BinaryFile;

class MString {
public:
    MString() = default;
    // n blanks; a negative count gives the empty text.
    explicit MString(int n);
    MString(const char* text);  // NOLINT: texts convert freely, as in reports
    MString(const std::string& text) : s_(text) {}  // NOLINT
    MString(std::string&& text) : s_(std::move(text)) {}  // NOLINT
    explicit MString(std::string_view text) : s_(text) {}
    explicit MString(char c) : s_(1, c) {}

    // The first n bytes of the buffer, cut at the first zero byte.
    static MString fromBytes(const char* buffer, int n);
    static MString repeat(char c, int n);

    int length() const { return static_cast<int>(s_.size()); }
    const char* c_str() const { return s_.c_str(); }
    const std::string& str() const { return s_; }
    std::string_view view() const { return s_; }

    // Index 0..length (the terminator included). Any other index reports an
    // error and reaches the first character instead.
    char& operator[](int i);
    char operator[](int i) const;

    bool operator==(const MString& other) const { return s_ == other.s_; }
    bool operator==(const char* other) const { return s_ == (other ? other : ""); }
    bool operator!=(const MString& other) const { return !(*this == other); }
    bool operator!=(const char* other) const { return !(*this == other); }
    bool operator<(const MString& other) const { return s_ < other.s_; }

    int find(char c) const;
    int find(const MString& text) const;
    int count(char c) const;

    MString mid(int start, int count) const;
    MString substr(int first, int last) const { return mid(first, last - first + 1); }

    MString& operator+=(const MString& other) {
        s_ += other.s_;
        return *this;
    }
    MString& operator+=(const char* other) {
        if (other) s_ += other;
        return *this;
    }
    MString& operator+=(char c) {
        s_ += c;
        return *this;
    }

    MString lower() const;
    MString removeBlanks() const;
    MString collapseBlanks() const;
    MString trimRight() const;
    MString trimLeft() const;
    MString trim() const;
    MString trimParentheses() const;
    MString rightJustify(int width) const;

    // In place: the characters from position on are replaced by those of
    // text; the length does not change. Returns a copy of the result.
    MString overlay(const MString& text, int position);
    // In place: text written from (left + right - its length) / 2.
    MString centre(const MString& text, int left, int right);

    bool isEmpty() const { return s_.empty(); }
    bool isBlank() const;
    bool isNumber() const;
    bool isDigits() const;

    // Byte-level file forms: length as int32 then the bytes; or exactly n
    // bytes padded with blanks.
    bool write(BinaryFile& file) const;
    bool read(BinaryFile& file);
    bool writeFixed(BinaryFile& file, int n) const;
    bool readFixed(BinaryFile& file, int n);

    // Numeric readings in the manner of the C library: leading blanks
    // skipped, the longest valid prefix converted, 0 when there is none.
    int toInt() const;
    double toDouble() const;

private:
    std::string s_;
};

MString operator+(const MString& a, const MString& b);
MString operator+(const char* a, const MString& b);
MString operator+(const MString& a, const char* b);
MString operator+(char a, const MString& b);
MString operator+(const MString& a, char b);

std::ostream& operator<<(std::ostream& os, const MString& s);

bool isLetter(char c);
bool isDigit(char c);
bool isLetterOrDigit(char c);
char toLowerChar(char c);

MString itoMString(long long n);
}  // namespace ordena
