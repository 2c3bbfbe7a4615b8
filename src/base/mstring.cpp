#include "base/mstring.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

#include "base/binfile.h"
#include "base/shell.h"

namespace ordena {

namespace {

const char* const kIndexMessage = "MString index > length of string. Assignment made to first element";

// Writes to the terminator position land here, so they cannot disturb the
// string's own buffer.
thread_local char terminatorSlot = '\0';

}  // namespace

MString::MString(int n) {
    if (n > 0) s_.assign(static_cast<std::size_t>(n), ' ');
}

MString::MString(const char* text) {
    if (text) s_ = text;
}

MString MString::fromBytes(const char* buffer, int n) {
    MString r;
    if (buffer == nullptr || n <= 0) return r;
    std::size_t len = 0;
    while (len < static_cast<std::size_t>(n) && buffer[len] != '\0') ++len;
    r.s_.assign(buffer, len);
    return r;
}

MString MString::repeat(char c, int n) {
    MString r;
    if (n > 0) r.s_.assign(static_cast<std::size_t>(n), c);
    return r;
}

char& MString::operator[](int i) {
    if (i < 0 || i > length()) {
        reportError(kIndexMessage);
        i = 0;
    }
    if (i == length()) {
        terminatorSlot = '\0';
        return terminatorSlot;
    }
    return s_[static_cast<std::size_t>(i)];
}

char MString::operator[](int i) const {
    if (i < 0 || i > length()) {
        reportError(kIndexMessage);
        i = 0;
    }
    return i == length() ? '\0' : s_[static_cast<std::size_t>(i)];
}

int MString::find(char c) const {
    auto p = s_.find(c);
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int MString::find(const MString& text) const {
    if (text.length() > length()) return -1;
    auto p = s_.find(text.s_);
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int MString::count(char c) const {
    int n = 0;
    for (char x : s_) n += (x == c);
    return n;
}

MString MString::mid(int start, int count) const {
    MString r;
    if (start < 0 || start >= length() || count <= 0) return r;
    int n = count < length() - start ? count : length() - start;
    r.s_ = s_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(n));
    return r;
}

MString MString::lower() const {
    MString r(*this);
    for (char& c : r.s_) c = toLowerChar(c);
    return r;
}

MString MString::removeBlanks() const {
    MString r;
    r.s_.reserve(s_.size());
    for (char c : s_)
        if (c != ' ') r.s_ += c;
    return r;
}

MString MString::collapseBlanks() const {
    MString r;
    r.s_.reserve(s_.size());
    for (std::size_t i = 0; i < s_.size(); ++i) {
        if (s_[i] == ' ' && i > 0 && s_[i - 1] == ' ') continue;
        r.s_ += s_[i];
    }
    return r;
}

MString MString::trimRight() const {
    auto end = s_.find_last_not_of(' ');
    MString r;
    if (end != std::string::npos) r.s_ = s_.substr(0, end + 1);
    return r;
}

MString MString::trimLeft() const {
    auto begin = s_.find_first_not_of(' ');
    MString r;
    if (begin != std::string::npos) r.s_ = s_.substr(begin);
    return r;
}

MString MString::trim() const { return trimLeft().trimRight(); }

MString MString::trimParentheses() const {
    MString r = trim();
    if (r.length() >= 2 && r.s_.front() == '(' && r.s_.back() == ')') r.s_ = r.s_.substr(1, r.s_.size() - 2);
    return r;
}

MString MString::rightJustify(int width) const {
    if (length() >= width) return *this;
    return MString(width - length()) + *this;
}

MString MString::overlay(const MString& text, int position) {
    for (int k = 0; k < text.length(); ++k) {
        int target = position + k;
        if (target < 0) continue;
        if (target >= length()) break;
        s_[static_cast<std::size_t>(target)] = text.s_[static_cast<std::size_t>(k)];
    }
    return *this;
}

MString MString::centre(const MString& text, int left, int right) {
    // Integer division truncating towards zero, as C does.
    int start = (left + right - text.length()) / 2;
    return overlay(text, start);
}

bool MString::isBlank() const {
    for (char c : s_)
        if (c != ' ') return false;
    return true;
}

bool MString::isNumber() const {
    MString t = trim();
    if (t.isEmpty()) return false;
    if (std::strchr("0123456789.+-", t.s_[0]) == nullptr || t.s_[0] == '\0') return false;
    if (t.length() == 1 && std::strchr("-+.", t.s_[0]) != nullptr) return false;
    for (std::size_t i = 1; i < t.s_.size(); ++i) {
        char c = t.s_[i];
        if (!(isDigit(c) || c == '.')) return false;
    }
    return true;
}

bool MString::isDigits() const {
    for (char c : s_)
        if (!isDigit(c)) return false;
    return true;
}

bool MString::write(BinaryFile& file) const {
    if (!file.writeInt32(static_cast<std::int32_t>(s_.size()))) return false;
    return file.writeBytes(s_.data(), s_.size());
}

bool MString::read(BinaryFile& file) {
    std::int32_t n = 0;
    if (!file.readInt32(n) || n < 0) return false;
    // Read in pieces so that a corrupt length cannot ask for a huge buffer
    // before the file runs out.
    std::string bytes;
    char chunk[4096];
    std::int32_t left = n;
    while (left > 0) {
        std::int32_t take = left < 4096 ? left : 4096;
        if (!file.readBytes(chunk, static_cast<std::size_t>(take))) return false;
        bytes.append(chunk, static_cast<std::size_t>(take));
        left -= take;
    }
    *this = fromBytes(bytes.data(), n);
    return true;
}

bool MString::writeFixed(BinaryFile& file, int n) const {
    if (n <= 0) return true;
    std::string bytes = s_.substr(0, static_cast<std::size_t>(n));
    bytes.resize(static_cast<std::size_t>(n), ' ');
    return file.writeBytes(bytes.data(), bytes.size());
}

bool MString::readFixed(BinaryFile& file, int n) {
    if (n <= 0) {
        s_.clear();
        return true;
    }
    std::string bytes(static_cast<std::size_t>(n), '\0');
    if (!file.readBytes(bytes.data(), bytes.size())) return false;
    s_ = std::move(bytes);
    return true;
}

int MString::toInt() const {
    long v = std::strtol(s_.c_str(), nullptr, 10);
    if (v > 2147483647L) return 2147483647;
    if (v < -2147483647L - 1) return -2147483647 - 1;
    return static_cast<int>(v);
}

double MString::toDouble() const { return std::strtod(s_.c_str(), nullptr); }

MString operator+(const MString& a, const MString& b) {
    MString r(a);
    r += b;
    return r;
}
MString operator+(const char* a, const MString& b) { return MString(a) + b; }
MString operator+(const MString& a, const char* b) { return a + MString(b); }
MString operator+(char a, const MString& b) { return MString(a) + b; }
MString operator+(const MString& a, char b) { return a + MString(b); }

std::ostream& operator<<(std::ostream& os, const MString& s) { return os << s.str(); }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetterOrDigit(char c) { return isLetter(c) || isDigit(c); }
char toLowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

MString itoMString(long long n) { return MString(std::to_string(n)); }

}  // namespace ordena
