#include "data/delimited_file.h"

#include <algorithm>

namespace ordena {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char separatorOf(std::int32_t kind) {
    switch (kind) {
        case kDelimiterSemicolon: return ';';
        case kDelimiterTab: return '\t';
        default: return ',';
    }
}

}  // namespace

const char* delimiterWord(std::int32_t kind) {
    switch (kind) {
        case kDelimiterComma: return "comma";
        case kDelimiterSemicolon: return "semicolon";
        case kDelimiterTab: return "tab";
        case kDelimiterWhitespace: return "whitespace";
        default: return "guess";
    }
}

std::int32_t guessDelimiter(std::string_view line) {
    int tabs = 0, semicolons = 0, commas = 0;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        tabs += c == '\t';
        semicolons += c == ';';
        commas += c == ',';
    }
    const int most = std::max({tabs, semicolons, commas});
    if (most == 0) return kDelimiterWhitespace;
    if (tabs == most) return kDelimiterTab;
    if (semicolons == most) return kDelimiterSemicolon;
    return kDelimiterComma;
}

MString lineAndField(std::int64_t line, int field) {
    return "line " + itoMString(static_cast<long long>(line)) + ", field " + itoMString(field);
}

SplitFault splitDelimitedLine(std::string_view line, std::int32_t delimiter, std::vector<std::string_view>& fields,
                              std::string& storage) {
    fields.clear();
    storage.clear();
    // Unquoted doubled quotes are copied here; it never grows beyond the
    // line, so the views into it stay where they are.
    storage.reserve(line.size());
    const bool white = delimiter == kDelimiterWhitespace;
    const char sep = separatorOf(delimiter);
    std::size_t i = 0;
    const std::size_t n = line.size();
    auto atSeparator = [&](std::size_t k) { return white ? isBlank(line[k]) : line[k] == sep; };
    if (white)
        while (i < n && isBlank(line[i])) ++i;
    for (;;) {
        const int field = static_cast<int>(fields.size()) + 1;
        // Blanks around a field are not part of it (a tab is the separator
        // itself in a tab-separated file).
        while (i < n && line[i] == ' ' && !atSeparator(i)) ++i;
        if (i < n && line[i] == '"') {
            ++i;
            const std::size_t start = storage.size();
            std::size_t from = i;
            bool doubled = false, closed = false;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        storage.append(line.substr(from, i - from));
                        storage.push_back('"');
                        doubled = true;
                        i += 2;
                        from = i;
                        continue;
                    }
                    closed = true;
                    break;
                }
                ++i;
            }
            if (!closed) return {"unclosed quote", field};
            if (doubled) {
                storage.append(line.substr(from, i - from));
                fields.emplace_back(storage.data() + start, storage.size() - start);
            } else {
                fields.push_back(line.substr(from, i - from));
            }
            ++i;  // the closing quote
            while (i < n && line[i] == ' ' && !atSeparator(i)) ++i;
            if (i < n && !atSeparator(i)) return {"text after the closing quote", field};
        } else {
            std::size_t start = i;
            while (i < n && !atSeparator(i)) {
                if (line[i] == '"') return {"a quote inside a field that does not begin with one", field};
                ++i;
            }
            std::size_t end = i;
            while (end > start && line[end - 1] == ' ') --end;
            fields.push_back(line.substr(start, end - start));
        }
        if (i >= n) break;
        // At a separator.
        if (white) {
            while (i < n && isBlank(line[i])) ++i;
            if (i >= n) break;  // trailing white space ends the line
        } else {
            ++i;
        }
    }
    return {};
}

int DelimitedReader::nextLine(std::string_view& text) {
    for (;;) {
        int got = file_.readGroup(one_, kMaxLine);
        if (got == 0) return 0;
        ++line_;
        if (got < 0) return fail("Line " + itoMString(static_cast<long long>(line_)) + " of the data file is longer than " +
                                 itoMString(static_cast<long long>(kMaxLine)) + " characters");
        text = one_[0];
        if (first_) {
            first_ = false;
            if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        }
        bool empty = true;
        for (char c : text)
            if (!isBlank(c)) {
                empty = false;
                break;
            }
        if (!empty) return 1;
    }
}

int DelimitedReader::open(const std::string& path, const DelimitedOptions& options) {
    header_.clear();
    fieldCount_ = -1;
    line_ = 0;
    first_ = true;
    pending_ = false;
    error_ = MString();
    if (!file_.open(path)) return fail("The data file '" + MString(path) + "' cannot be opened");
    std::string_view text;
    int got = nextLine(text);
    if (got < 0) return -1;
    if (got == 0) return fail("The data file " + MString(path) + " holds no lines");
    delimiter_ = options.delimiter == kDelimiterGuess ? guessDelimiter(text) : options.delimiter;
    if (SplitFault f = splitDelimitedLine(text, delimiter_, pendingFields_, storage_); f.failed())
        return fail("Data file " + lineAndField(line_, f.field) + ": " + f.what);
    fieldCount_ = static_cast<int>(pendingFields_.size());
    if (!options.header) {
        pending_ = true;
        return 1;
    }
    for (std::size_t k = 0; k < pendingFields_.size(); ++k) {
        MString name(pendingFields_[k]);
        if (!name.isEmpty()) {
            const MString folded = name.lower();
            for (std::size_t j = 0; j < k; ++j)
                if (header_[j].lower() == folded)
                    return fail("Data file " + lineAndField(line_, static_cast<int>(k) + 1) + ": the header name " +
                                name + " is given twice (fields " + itoMString(static_cast<int>(j) + 1) + " and " +
                                itoMString(static_cast<int>(k) + 1) + ")");
        }
        header_.push_back(std::move(name));
    }
    return 1;
}

int DelimitedReader::next(std::vector<std::string_view>& fields) {
    if (pending_) {
        pending_ = false;
        fields = pendingFields_;
        return 1;
    }
    std::string_view text;
    int got = nextLine(text);
    if (got <= 0) return got;
    if (SplitFault f = splitDelimitedLine(text, delimiter_, fields, storage_); f.failed())
        return fail("Data file " + lineAndField(line_, f.field) + ": " + f.what);
    if (static_cast<int>(fields.size()) != fieldCount_)
        return fail("Data file line " + itoMString(static_cast<long long>(line_)) + " has " +
                    itoMString(static_cast<int>(fields.size())) + " fields, not " + itoMString(fieldCount_) +
                    (header_.empty() ? MString(" as the first line has") : MString(" as the header has")));
    return 1;
}

}  // namespace ordena
