#include "command/parse.h"

#include <sys/stat.h>

#include <cstdio>
#include <string_view>

#include "base/shell.h"
#include "base/textfile.h"
#include "command/session.h"

namespace ordena {

int firstToken(const MString& text, int start, const MString& delimiters, MString& token, int& first, int& last) {
    const std::string& s = text.str();
    const std::string& d = delimiters.str();
    std::size_t i = start < 0 ? 0 : static_cast<std::size_t>(start);
    while (i < s.size() && d.find(s[i]) != std::string::npos) ++i;
    if (i >= s.size()) {
        token = MString();
        first = last = -1;
        return -1;
    }
    std::size_t j = i;
    while (j < s.size() && d.find(s[j]) == std::string::npos) ++j;
    token = MString(s.substr(i, j - i));
    first = static_cast<int>(i);
    last = static_cast<int>(j) - 1;
    return 1;
}

namespace {

// The keyword that word abbreviates, without a report.
int findIn(const MString& word, int entries, const auto& entryAt) {
    MString w = word.lower();
    int found = kNoKeyword;
    for (int k = 0; k < entries; ++k) {
        std::string_view entry = entryAt(k);
        if (entry.substr(0, w.str().size()) == w.view() && w.length() <= static_cast<int>(entry.size())) {
            if (found >= 0) return kAmbiguousKeyword;
            found = k;
        }
    }
    return found;
}

int matchIn(const MString& word, int entries, const auto& entryAt) {
    const int found = findIn(word, entries, entryAt);
    if (found == kAmbiguousKeyword) {
        reportError(" Ambiguous command word");
        return -1;
    }
    if (found < 0) reportError("Unknown command or argument: '" + word.lower() + "'");
    return found;
}

SplitStatement splitWith(const MString& text, const MString& redirect) {
    SplitStatement r;
    int b = text.find('!');
    int rr = text.find(redirect);
    if (b < 0 && rr < 0) {
        r.arguments = text;
    } else if (b < 0) {
        r.arguments = text.mid(0, rr);
        r.file = text.mid(rr + 2, text.length());
    } else if (rr < 0) {
        r.arguments = text.mid(0, b);
        r.options = text.mid(b + 1, text.length());
    } else if (b < rr) {
        r.arguments = text.mid(0, b);
        r.options = text.mid(b + 1, rr - b - 1);
        r.file = text.mid(rr + 2, text.length());
    } else {
        r.arguments = text.mid(0, rr);
        r.file = text.mid(rr + 2, b - rr - 2);
        r.options = text.mid(b + 1, text.length());
    }
    return r;
}

}  // namespace

int matchKeyword(const MString& word, const char* const* table, int entries) {
    return matchIn(word, entries, [&](int k) { return std::string_view(table[k]); });
}

int matchKeyword(const MString& word, const std::vector<MString>& table) {
    return matchIn(word, static_cast<int>(table.size()), [&](int k) { return table[k].view(); });
}

int matchKeyword(const MString& word, const std::vector<std::string_view>& table) {
    return matchIn(word, static_cast<int>(table.size()), [&](int k) { return table[static_cast<std::size_t>(k)]; });
}

int findKeyword(const MString& word, const char* const* table, int entries) {
    return findIn(word, entries, [&](int k) { return std::string_view(table[k]); });
}

SplitStatement splitArguments(const MString& text) { return splitWith(text, ">>"); }
SplitStatement splitArgumentsIn(const MString& text) { return splitWith(text, "<<"); }

std::vector<MString> splitAt(const MString& text, char separator) {
    std::vector<MString> pieces;
    const std::string& s = text.str();
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = s.find(separator, start);
        pieces.emplace_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return pieces;
        start = at + 1;
    }
}

int splitValueList(const MString& text, std::vector<MString>& values) {
    const MString delimiters(", ");
    int pos = 0;
    MString token;
    int first = -1, last = -1;
    while (firstToken(text, pos, delimiters, token, first, last) == 1) {
        if (token[0] == '"') {
            std::size_t found = text.str().find('"', static_cast<std::size_t>(first) + 1);
            if (found == std::string::npos) {
                reportError("Quote marks not matching in code, recode or score statement");
                return -1;
            }
            int close = static_cast<int>(found);
            if (close == first + 1) {
                reportError("Nothing between quote marks in code, recode or score statement");
                return -1;
            }
            values.push_back(text.mid(first + 1, close - first - 1));
            pos = close + 1;
        } else {
            values.push_back(token);
            pos = last + 1;
        }
    }
    return 1;
}

bool fileExists(const MString& name) {
    // A zero byte would end the name early and name another file.
    if (name.str().find('\0') != std::string::npos) return false;
    // Asked of the name, never by opening it: a FIFO would block the open.
    // A directory is not a file here; an unreadable file still exists.
    struct stat info {};
    return ::stat(name.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool confirmOverwrite(Session& session, const MString& name) {
    if (!fileExists(name)) return true;
    return session.confirmQuestion("File " + name + " already exists. Replace?");
}

void printText(Session& session, const MString& text, TextFile* file) {
    if (file != nullptr && file->isOpen()) {
        if (!file->failed()) file->write(text);
        return;
    }
    session.appendOutput(text);
}

void printLines(Session& session, const std::vector<MString>& lines, TextFile* file) {
    const bool toFile = file != nullptr && file->isOpen();
    for (const MString& line : lines) printText(session, line + (toFile ? "\n" : "\r\n"), file);
}

}  // namespace ordena
