#include "command/labels.h"

#include <cstdio>
#include <string>

#include "base/file_kind.h"
#include "command/commands.h"
#include "command/parse.h"
#include "command/session.h"

namespace ordena {

namespace {

const char* const kMarker = "===>";
const char* const kFormatError = "Format error in the label file";
constexpr std::size_t kMaxWord = 3071;

bool isWhite(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads a label file as white-space separated words. A word longer than
// kMaxWord characters is handed out in pieces of that length.
class WordReader {
public:
    explicit WordReader(std::FILE* file) : file_(file) {}

    // Skips white space; true when the file has ended.
    bool atEnd() {
        int c;
        while ((c = std::getc(file_)) != EOF && isWhite(c)) {
        }
        if (c == EOF) return true;
        std::ungetc(c, file_);
        return false;
    }

    bool word(std::string& w) {
        w.clear();
        if (atEnd()) return false;
        int c;
        while (w.size() < kMaxWord && (c = std::getc(file_)) != EOF) {
            if (isWhite(c)) {
                std::ungetc(c, file_);
                break;
            }
            // A zero byte would end the label early wherever it passes as
            // a C string: it is kept visible instead.
            if (c == '\0')
                w += "\\0";
            else
                w += static_cast<char>(c);
        }
        return true;
    }

private:
    std::FILE* file_;
};

// The quote-aware token: a word, a quoted word, or a quoted item over
// several words joined by single blanks. False after an error report.
bool readToken(Session& session, WordReader& reader, MString& token) {
    std::string w;
    if (!reader.word(w)) {
        session.errorReport("There is an unmatched quote in the label file");
        return false;
    }
    if (w.find('"') == std::string::npos) {
        token = MString(w);
        return true;
    }
    if (w.front() == '"' && w.back() == '"') {
        token = MString(w.size() > 1 ? w.substr(1, w.size() - 2) : std::string());
        return true;
    }
    if (w.find('"', 1) != std::string::npos) {
        session.errorReport("There is a stray quote in the label file");
        return false;
    }
    std::string item = w;
    std::string next;
    while (true) {
        if (!reader.word(next)) {
            session.errorReport("There is an unmatched quote in the label file");
            return false;
        }
        item += ' ';
        item += next;
        if (item.back() == '"') {
            token = MString(item.substr(1, item.size() - 2));
            return true;
        }
    }
}

class FileCloser {
public:
    explicit FileCloser(std::FILE* f) : f_(f) {}
    ~FileCloser() {
        if (f_ != nullptr) std::fclose(f_);
    }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

private:
    std::FILE* f_;
};

int labelsFromFile(Session& session, const MString& arguments) {
    MString afterFirst = arguments.mid(arguments.find('<') + 1, arguments.length()).trim();
    int second = afterFirst.find('<');
    if (second < 0) {
        session.errorReport("The redirection symbol '<<' was expected but not found");
        return -1;
    }
    MString name = afterFirst.mid(second + 1, afterFirst.length()).trim();

    std::FILE* file = name.str().find('\0') == std::string::npos ? openRegularForReading(name.str(), "r") : nullptr;
    FileCloser closer(file);
    if (file == nullptr) {
        session.errorReport("Cannot read labels from the file: " + name);
        return -1;
    }
    WordReader reader(file);
    std::string first;
    // A file without a word (empty, white space only, or a directory that
    // opened but cannot be read) holds no labels to read.
    if (!reader.word(first)) {
        session.errorReport("Cannot read labels from the file: " + name);
        return -1;
    }
    if (first.starts_with("\xEF\xBB\xBF")) first.erase(0, 3);  // a UTF-8 byte-order mark
    if (first != kMarker) {
        session.errorReport(MString("The labels file must begin with: '") + kMarker + "' followed by a space");
        return -1;
    }
    if (reader.atEnd()) return 1;

    int kind = 0, index = 0;
    MString token;
    if (!readToken(session, reader, token)) return -1;
    if (token == kMarker) {
        session.errorReport(kFormatError);
        return -1;
    }
    if (resolveLabelTarget(session, token, kind, index) == -1) return -1;

    while (true) {
        if (reader.atEnd()) return 1;
        MString t;
        if (!readToken(session, reader, t)) {
            session.errorReport(kFormatError);
            return -1;
        }
        if (t == kMarker) {
            if (reader.atEnd()) return 1;
            MString target;
            if (!readToken(session, reader, target)) return -1;
            if (target == kMarker) {
                session.errorReport(kFormatError);
                return -1;
            }
            if (resolveLabelTarget(session, target, kind, index) == -1) return -1;
            if (reader.atEnd()) return 1;
            if (!readToken(session, reader, t)) return -1;
        }
        MString& code = t;
        if (reader.atEnd()) {
            session.errorReport(kFormatError);
            return -1;
        }
        MString label;
        if (!readToken(session, reader, label)) {
            session.informationBox("from read failure");
            return -1;
        }
        if (label == kMarker) {
            session.errorReport(kFormatError);
            return -1;
        }
        storeLabel(session.ws, kind, index, code, label);
    }
}

// Removes enclosing double quotes; false when only one end has one.
bool unquote(MString& text) {
    int n = text.length();
    bool opens = n > 0 && text[0] == '"';
    bool closes = n > 0 && text[n - 1] == '"';
    if (opens && closes) {
        text = text.mid(1, n - 2);
        return true;
    }
    return !(opens || closes);
}

}  // namespace

const LabelSet* LabelTable::find(int kind, int index) const {
    for (const LabelSet& set : sets)
        if (set.kind == kind && set.index == index) return &set;
    return nullptr;
}

void LabelTable::withdrawFitGroupLabels() {
    for (LabelSet& set : sets) {
        if (set.kind != kLabelFit) continue;
        for (const auto& [code, text] : fitGroupLabels)
            for (std::size_t k = 0; k < set.codes.size(); ++k)
                if (set.codes[k] == code && set.labels[k] == text) {
                    set.codes.erase(set.codes.begin() + static_cast<std::ptrdiff_t>(k));
                    set.labels.erase(set.labels.begin() + static_cast<std::ptrdiff_t>(k));
                    break;
                }
    }
    fitGroupLabels.clear();
}

void LabelTable::store(int kind, int index, const MString& code, const MString& label) {
    for (LabelSet& set : sets) {
        if (set.kind != kind || set.index != index) continue;
        for (std::size_t k = 0; k < set.codes.size(); ++k) {
            if (set.codes[k] == code) {
                set.labels[k] = label;
                return;
            }
        }
        set.codes.push_back(code);
        set.labels.push_back(label);
        return;
    }
    LabelSet set;
    set.kind = kind;
    set.index = index;
    set.codes.push_back(code);
    set.labels.push_back(label);
    sets.push_back(std::move(set));
}

int resolveLabelTarget(Session& session, const MString& name, int& kind, int& index) {
    index = 0;
    if (name == "dimensions") {
        kind = kLabelDimensions;
        return 1;
    }
    if (name == "parameters") {
        kind = kLabelParameters;
        return 1;
    }
    if (name == "fitstatistics") {
        kind = kLabelFit;
        return 1;
    }
    int k = session.ws.data.explicitVariableIndex(name);
    if (k >= 0) {
        kind = kLabelExplicit;
        index = k;
        return 1;
    }
    k = session.ws.data.implicitVariableIndex(name);
    if (k >= 0) {
        kind = kLabelImplicit;
        index = k;
        return 1;
    }
    session.errorReport("Cannot assign labels to the undefined variable: " + name);
    return -1;
}

void storeLabel(Workspace& ws, int kind, int index, const MString& code, const MString& label) {
    ws.labels.store(kind, index, code, label);
}

MString labelLookup(const Workspace& ws, const MString& variable, int kind, const MString& code) {
    int index = 0;
    if (kind == kLabelExplicit) index = ws.data.explicitVariableIndex(variable);
    else if (kind == kLabelImplicit) index = ws.data.implicitVariableIndex(variable);
    if (index >= 0) {
        if (const LabelSet* set = ws.labels.find(kind, index)) {
            for (std::size_t k = 0; k < set->codes.size(); ++k)
                if (set->codes[k] == code) return set->labels[k];
        }
    }
    switch (kind) {
        case kLabelDimensions: return "Dimension " + code;
        case kLabelParameters: return "Parameter " + code;
        case kLabelFit: return "Fit " + code;
        default: return code;
    }
}

MString dimensionLabel(const Workspace& ws, int d) {
    return labelLookup(ws, MString(), kLabelDimensions, itoMString(d + 1));
}

int handleLabels(Session& session, const MString& arguments) {
    // Any "<" makes the file form, also right after the command word.
    if (arguments.find('<') >= 0) return labelsFromFile(session, arguments);

    MString text = arguments.trim();
    int bang = text.find('!');
    if (bang < 0) {
        session.errorReport("A variable name must be provided as an option");
        return -1;
    }
    int kind = 0, index = 0;
    if (resolveLabelTarget(session, text.mid(bang + 1, text.length()).trim(), kind, index) == -1) return -1;

    MString s = text.mid(0, bang).trim();
    bool quoted = s.length() > 0 && s[0] == '"';
    MString code;
    int first = -1, last = -1;
    if (firstToken(s, quoted ? 1 : 0, " ", code, first, last) == -1 || last >= s.length() - 1) {
        session.errorReport("The label argument is not legal");
        return -1;
    }
    if (quoted) code = "\"" + code;
    MString label = s.mid(last + 1, s.length()).trim();
    if (!unquote(code) || !unquote(label)) {
        session.errorReport("The quotes don't match in the label argument");
        return -1;
    }
    storeLabel(session.ws, kind, index, code, label);
    return 1;
}

}  // namespace ordena
