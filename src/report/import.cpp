#include "report/import.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "command/option_table.h"
#include "command/parse.h"
#include "command/reader.h"
#include "command/session.h"
#include "data/delimited_file.h"
#include "report/file_clauses.h"

namespace ordena {

namespace {

// The keywords of the file clauses: the anchor kind each reads (-1 for the
// design matrix) and the report for a file that cannot be opened.
struct ImportKeyword {
    const char* word;
    int kind;
    const char* missingFile;
};
const ImportKeyword kImportKeywords[] = {
    {"init_parameters", kInitItem, "The initial value file for the item parameters could not be openned"},
    {"anchor_parameters", kAnchorItem, "The anchor value file for the item parameters could not be openned"},
    {"designmatrix", -1, "The design matrix file could not be openned"},
    {"init_reg_coefficients", kInitRegression,
     "The initial value file for the regression coefficients could not be openned"},
    {"init_covariance", kInitCovariance, "The initial value file for the covariances could not be openned"},
    {"anchor_reg_coefficients", kAnchorRegression,
     "The anchor value file for the regression coefficients could not be openned"},
    {"anchor_covariance", kAnchorCovariance, "The anchor value file for the covariances could not be openned"}};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The tokens of the comment-free text, separated by white space.
class Tokens {
public:
    explicit Tokens(const std::string& text) : text_(text) {}
    bool next(std::string& token) {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) return false;
        std::size_t start = pos_;
        while (pos_ < text_.size() && !isSpace(text_[pos_])) ++pos_;
        token.assign(text_, start, pos_ - start);
        return true;
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

// A sign and at least one digit, within the range of an index.
bool readIndex(const std::string& token, std::int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    if (i == token.size()) return false;
    long long v = 0;
    for (; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') return false;
        v = v * 10 + (token[i] - '0');
        if (v > std::numeric_limits<std::int32_t>::max()) return false;
    }
    value = static_cast<std::int32_t>(negative ? -v : v);
    return true;
}

// A number by the numeric check of the command language, read whole, and
// finite as a single-precision value (the list holds floats).
bool readValue(const std::string& token, float& value) {
    if (!MString(token).isNumber()) return false;
    const char* begin = token.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(begin, &end);
    if (end != begin + token.size() || errno == ERANGE || !std::isfinite(v)) return false;
    if (std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max())) return false;
    value = static_cast<float>(v);
    return true;
}

// The delimited parameter table that show parameters ! format=csv writes:
// a header beginning "parameter,", then per line the parameter's number
// and its estimate, the other fields unread.
bool isParameterTable(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return text.starts_with("parameter,");
}

int readParameterTable(Session& session, const MString& fileName, const std::string& text, int kind,
                       std::vector<AnchorEntry>& records) {
    std::vector<std::string_view> fields;
    std::string storage;
    std::size_t pos = 0, read = 0;
    for (bool header = true; pos < text.size(); header = false) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (header || line.find_first_not_of(" \t") == std::string_view::npos) continue;
        std::int32_t index = 0;
        float value = 0.0f;
        if (splitDelimitedLine(line, kDelimiterComma, fields, storage).failed() || fields.size() < 2 ||
            !readIndex(std::string(fields[0]), index)) {
            session.errorReport("Error in import file format: " + fileName);
            return -1;
        }
        if (!readValue(std::string(fields[1]), value)) {
            if (kind == kInitItem)
                session.errorReport("Expecting number for parameter " + itoMString(index) + ". Value read was '" +
                                    MString(fields[1]) + "'");
            session.errorReport("Error in import file format: " + fileName);
            return -1;
        }
        AnchorEntry entry;
        entry.kind = kind;
        entry.first = index - 1;
        entry.second = 0;
        entry.value = value;
        records.push_back(entry);
        ++read;
    }
    if (read == 0) session.warningReport("No values were found in import file " + fileName);
    return 1;
}

}  // namespace

int readImportText(Session& session, const MString& fileName, const std::string& text, int kind,
                   std::vector<AnchorEntry>& records) {
    if (kind <= kInitItem && isParameterTable(text)) return readParameterTable(session, fileName, text, kind, records);
    // Comments are removed line by line, as from a script line.
    std::string clean;
    clean.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        MString line;
        if (stripComments(session, MString(text.substr(pos, end - pos)), line) == -1) return -1;
        clean += line.str();
        clean += '\n';
        pos = end + 1;
    }

    const int indices = kind <= kInitItem ? 1 : 2;
    auto formatError = [&]() {
        session.errorReport("Error in import file format: " + fileName);
        return -1;
    };
    Tokens tokens(clean);
    std::string token;
    std::size_t read = 0;
    bool partial = false;
    while (true) {
        std::int32_t index[2] = {0, 0};
        int got = 0;
        for (; got < indices; ++got) {
            if (!tokens.next(token)) break;
            if (!readIndex(token, index[got])) return formatError();
        }
        if (got == 0) break;
        if (got < indices || !tokens.next(token)) {
            partial = true;
            break;
        }
        float value = 0.0f;
        if (!readValue(token, value)) {
            if (kind == kInitItem)
                session.errorReport("Expecting number for parameter " + itoMString(index[0]) + ". Value read was '" +
                                    MString(token) + "'");
            return formatError();
        }
        // Above the limit a population anchor would read as free to the
        // engine: refused here so that nothing prints it as anchored.
        if ((kind == kAnchorRegression || kind == kAnchorCovariance) && !isAnchoredValue(value)) {
            session.errorReport("Anchor value " + MString(token) + " in import file " + fileName +
                                " is too large: anchor values must be less than 9998");
            return -1;
        }
        AnchorEntry entry;
        entry.kind = kind;
        entry.value = value;
        if (kind <= kInitItem) {
            entry.first = index[0] - 1;
            entry.second = 0;
        } else if (kind <= kInitRegression) {
            entry.first = index[0] - 1;
            entry.second = index[1];
        } else {
            if (index[1] < index[0]) {
                session.errorReport("Error in " + fileName + "--the second index is less than the first");
                session.errorReport("Processing of import files will terminate");
                session.errorReport("Values that have already been imported will be intact");
                return -1;
            }
            entry.first = index[0] - 1;
            entry.second = index[1] - 1;
        }
        records.push_back(entry);
        ++read;
    }
    // The complete records stay; say what was not used, so that a damaged
    // file does not pass unnoticed.
    if (partial)
        session.warningReport("The last record of import file " + fileName +
                              " is incomplete and has been ignored");
    else if (read == 0)
        session.warningReport("No values were found in import file " + fileName);
    return 1;
}

int readImportFile(Session& session, const MString& fileName, int kind, std::vector<AnchorEntry>& records) {
    // A device or pipe could be endless: only plain files are read.
    std::error_code error;
    std::ifstream in;
    if (std::filesystem::is_regular_file(fileName.str(), error)) in.open(fileName.str(), std::ios::binary);
    if (!in.is_open()) {
        session.errorReport("Error opening file " + fileName);
        return -1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        session.errorReport("Error opening file " + fileName);
        return -1;
    }
    return readImportText(session, fileName, text, kind, records);
}

const OptionWords& importKeywords() {
    static const OptionWords words = wordsOf(kImportKeywords, [](const ImportKeyword& k) { return k.word; });
    return words;
}

int handleImport(Session& session, const MString& arguments) {
    Workspace& ws = session.ws;
    return forEachFileClause(session, arguments, '<', "import", [&](const MString& keyword, const MString& name) {
        if (!fileExists(name)) {
            session.errorReport("Import file cannot be opened");
            return -1;
        }
        const int which = matchOptionWord(importKeywords(), keyword);
        if (which < 0) {
            session.errorReport("Processing of the import terminated at this command");
            return -1;
        }
        if (!fileExists(name)) {
            session.errorReport(kImportKeywords[which].missingFile);
            return -1;
        }
        const int kind = kImportKeywords[which].kind;
        if (kind < 0) {
            ws.files.importDesignFile = name;
        } else {
            std::vector<AnchorEntry>& anchors = ws.est.anchors;
            auto dropKind = [&]() {
                std::erase_if(anchors, [kind](const AnchorEntry& e) { return e.kind == kind; });
            };
            ws.files.importFiles[static_cast<std::size_t>(kind)] = name;
            dropKind();
            if (readImportFile(session, name, kind, anchors) != 1) {
                ws.files.importFiles[static_cast<std::size_t>(kind)] = MString();
                dropKind();
                return -1;
            }
        }
        return 1;
    });
}

}  // namespace ordena
