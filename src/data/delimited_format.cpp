#include "data/delimited_format.h"

#include <string>

#include "command/parse.h"
#include "data/format.h"

namespace ordena {

namespace {

// Field numbers share the bounds of columns, so the layout is stored and
// checked as a fixed one is.
constexpr int kMaxField = kMaxRecordLength;

bool allDigits(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (!isDigit(c)) return false;
    return true;
}

struct DelimitedFormatParser {
    Shell& shell;
    DataLayout& layout;
    const std::vector<MString>& header;
    int fieldCount;

    int fail(const MString& message) {
        shell.errorReport(message);
        return -1;
    }

    // The field (from 1) of a header name, compared without letter case; 0
    // when the header has none of that name.
    int headerField(const std::string& name) const {
        const MString folded = MString(name).lower();
        for (std::size_t k = 0; k < header.size(); ++k)
            if (!header[k].isEmpty() && header[k].lower() == folded) return static_cast<int>(k) + 1;
        return 0;
    }

    // One field given by a name or a number: its number, and the header's
    // name (empty for a number). -1 after the report.
    int field(const std::string& word, MString& name) {
        name = MString();
        if (allDigits(word)) {
            const int n = std::stoi(word);
            if (n < 1) return fail("Field numbers in format start at 1");
            if (n > fieldCount)
                return fail("Field " + itoMString(n) + " named in format is beyond the " + itoMString(fieldCount) +
                            " fields of the data file");
            if (n > kMaxField) return fail("Field numbers in format cannot be beyond " + itoMString(kMaxField));
            return n;
        }
        if (header.empty())
            return fail("The data file has no header: give the field number of " + MString(word) + " in format");
        const int n = headerField(word);
        if (n == 0) return fail("The header of the data file has no field named " + MString(word));
        if (n > kMaxField) return fail("Field numbers in format cannot be beyond " + itoMString(kMaxField));
        name = header[static_cast<std::size_t>(n - 1)];
        return n;
    }

    // A response list: items separated by commas, each a field or a range
    // first-last of fields (in header order).
    int responseList(const std::string& spec, ResponseBlock& block) {
        for (const MString& piece : splitAt(MString(spec), ',')) {
            const std::string& item = piece.str();
            if (item.empty()) continue;
            int first = 0, last = 0;
            MString name;
            // Fields given by name are found by name again before each data
            // pass; fields given by number keep their number.
            const bool byName = !allDigits(item.substr(0, item.find('-')));
            // A header name may hold a "-" itself: the whole item first.
            if (!allDigits(item) && !header.empty() && headerField(item) > 0) {
                first = last = field(item, name);
            } else {
                const std::size_t dash = item.find('-');
                if (dash == std::string::npos) {
                    first = last = field(item, name);
                    if (first < 0) return -1;
                } else {
                    MString ignored;
                    first = field(item.substr(0, dash), ignored);
                    if (first < 0) return -1;
                    last = field(item.substr(dash + 1), ignored);
                    if (last < 0) return -1;
                    if (last < first)
                        return fail("The range " + MString(item) + " in format runs backwards through the fields");
                }
            }
            if (block.count() + (last - first + 1) > kMaxResponsesPerBlock)
                return fail("Too many responses in one response block of format");
            for (int f = first; f <= last; ++f) {
                block.responses.push_back({f, 1});
                block.fieldNames.push_back(byName ? header[static_cast<std::size_t>(f - 1)] : MString());
            }
        }
        if (block.responses.empty()) return fail(" No column specification found for the responses in format");
        return 1;
    }

    // "(a2)" after a response list: its width.
    int width(const std::string& token, ResponseBlock& block) {
        std::size_t pos = 1;
        if (pos < token.size() && (token[pos] == 'a' || token[pos] == 'A'))
            ++pos;
        else
            shell.warningReport(" Width specification in format doesn't start with 'a' or 'A' ");
        std::size_t digits = pos;
        while (digits < token.size() && isDigit(token[digits])) ++digits;
        if (digits == pos) return fail(" No width specified");
        if (digits + 1 != token.size() || token[digits] != ')')
            return fail("Illegal character following width specification in format");
        const std::string number = token.substr(pos, digits - pos);
        const int w = number.size() > 6 ? kMaxRecordLength + 1 : std::stoi(number);
        if (w < 1) return fail("The width in format must be at least 1");
        if (w > kMaxRecordLength) return fail("The width in format cannot be beyond " + itoMString(kMaxRecordLength));
        block.width = w;
        return 1;
    }

    int explicitField(const MString& name, int number, const MString& headerName) {
        const Segment seg{number, number, 1};
        int k = layout.explicitVariableIndex(name);
        if (k < 0) {
            ExplicitVariable v;
            v.name = name;
            setDelimitedMissingCodes(v);
            layout.explicitVariables.push_back(std::move(v));
            k = static_cast<int>(layout.explicitVariables.size()) - 1;
        }
        ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(k)];
        v.segments.push_back(seg);
        v.fieldNames.push_back(headerName);
        return 1;
    }
};

// The field part cut into words: blanks around ",", "-" and "=" go, and a
// width in brackets stands alone.
std::vector<std::string> words(const std::string& part) {
    std::string s;
    for (char c : part) {
        if (c == '(') s += ' ';
        if (c == ',' || c == '-' || c == '=') {
            while (!s.empty() && s.back() == ' ') s.pop_back();
            s += c;
            continue;
        }
        if (c == ' ' && !s.empty() && (s.back() == ',' || s.back() == '-' || s.back() == '=')) continue;
        s += c == '\t' ? ' ' : c;
        if (c == ')') s += ' ';
    }
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < s.size()) {
        while (at < s.size() && s[at] == ' ') ++at;
        std::size_t end = at;
        while (end < s.size() && s[end] != ' ') ++end;
        if (end > at) out.push_back(s.substr(at, end - at));
        at = end;
    }
    return out;
}

}  // namespace

void setDelimitedMissingCodes(ExplicitVariable& v) {
    v.missingCodes = {" ", ".", "NA"};
    v.missingFlags = {1, 1, 1};
}

int parseDelimitedFormat(const MString& text, const MString& fileName, const DelimitedOptions& options,
                         DataLayout& layout, Shell& shell) {
    layout = DataLayout();
    if (text.isBlank()) {
        shell.errorReport("Nothing specified after 'format' keyword");
        return -1;
    }
    const int bang = text.find('!');
    if (bang == 0) {
        shell.errorReport(" Error in format - '!' in column 1");
        return -1;
    }
    if (fileName.isEmpty()) {
        shell.errorReport("Give the datafile statement before the format of a delimited data file");
        return -1;
    }
    DelimitedReader reader;
    if (reader.open(fileName.str(), options) != 1) {
        shell.errorReport(reader.error());
        return -1;
    }
    const std::vector<MString> header = reader.header();
    const int fieldCount = reader.fieldCount();
    reader.close();

    const MString fieldPart = bang < 0 ? text : text.mid(0, bang);
    const MString implicitPart = bang < 0 ? MString() : text.mid(bang + 1, text.length());
    DelimitedFormatParser p{shell, layout, header, fieldCount};
    const std::vector<std::string> w = words(fieldPart.str());
    if (w.empty() || w.size() > static_cast<std::size_t>(2 * kMaxFormatFields))
        return p.fail(" No field found or too many fields in format");
    int fields = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        const std::string& t = w[i];
        if (t.find('/') != std::string::npos)
            return p.fail("A delimited data file has one line per case: '/' has no place in its format");
        if (t[0] == '(') return p.fail("A width in brackets must follow the fields of responses in format");
        const std::size_t eq = t.find('=');
        const MString name = MString(t.substr(0, eq)).lower();
        if (!isValidName(name)) return p.fail("'" + MString(t) + "' in format is not a variable name");
        if (++fields > kMaxFormatFields) return p.fail(" No field found or too many fields in format");
        std::string spec;
        if (eq != std::string::npos) {
            spec = t.substr(eq + 1);
        } else if (name.view().starts_with("response")) {
            if (i + 1 >= w.size() || w[i + 1][0] == '(')
                return p.fail(" No column specification found for the responses in format");
            spec = w[++i];
        } else if (i + 1 < w.size() && isDigit(w[i + 1][0])) {
            spec = w[++i];
        } else {
            spec = name.str();
        }
        if (spec.empty()) return p.fail(" No column specification found for a variable in format");
        if (name.view().starts_with("response")) {
            ResponseBlock block;
            if (p.responseList(spec, block) != 1) return -1;
            if (i + 1 < w.size() && w[i + 1][0] == '(' && p.width(w[++i], block) != 1) return -1;
            layout.responseBlocks.push_back(std::move(block));
        } else {
            if (spec.find(',') != std::string::npos || (spec.find('-') != std::string::npos && allDigits(spec.substr(0, spec.find('-')))))
                return p.fail("A variable of a delimited data file takes one field: " + MString(t) + " " + MString(spec));
            MString headerName;
            const int n = p.field(spec, headerName);
            if (n < 0) return -1;
            p.explicitField(name, n, headerName);
        }
    }
    if (layout.responseBlocks.empty()) return p.fail(" 'response' must be specified in format ");
    for (const auto& b : layout.responseBlocks)
        if (b.count() != layout.responseBlocks[0].count()) return p.fail(" All responses must have the same no. of columns");
    layout.items = layout.responseBlocks[0].count();
    layout.responseWidth = layout.responseBlocks[0].width;
    layout.recordsPerCase = 1;
    layout.delimited = true;
    if (completeLayout(implicitPart, layout, shell) != 1) return -1;
    layout.formatText = text;
    return 1;
}

int resolveDelimitedFields(DataLayout& layout, const std::vector<MString>& header, int fieldCount, Shell& shell) {
    DelimitedFormatParser p{shell, layout, header, fieldCount};
    auto place = [&](const MString& name, std::int32_t& number) {
        if (name.isEmpty()) {
            if (number > fieldCount)
                return p.fail("Field " + itoMString(number) + " named in format is beyond the " + itoMString(fieldCount) +
                              " fields of the data file");
            return 1;
        }
        MString found;
        const int n = p.field(name.str(), found);
        if (n < 0) return -1;
        number = n;
        return 1;
    };
    for (ExplicitVariable& v : layout.explicitVariables)
        for (std::size_t k = 0; k < v.segments.size(); ++k) {
            Segment& s = v.segments[k];
            if (place(k < v.fieldNames.size() ? v.fieldNames[k] : MString(), s.firstColumn) != 1) return -1;
            s.lastColumn = s.firstColumn;
        }
    for (ResponseBlock& b : layout.responseBlocks)
        for (std::size_t k = 0; k < b.responses.size(); ++k)
            if (place(k < b.fieldNames.size() ? b.fieldNames[k] : MString(), b.responses[k].firstColumn) != 1) return -1;
    return 1;
}

}  // namespace ordena
