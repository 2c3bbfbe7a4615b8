#include "command/reader.h"

#include <exception>
#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "command/parse.h"
#include "command/session.h"
#include "command/set_reset.h"

namespace ordena {

namespace {

constexpr std::size_t npos = std::string::npos;

// Restores the warnings setting however the statement ends.
class WarningsOff {
public:
    explicit WarningsOff(Session& session) : session_(session), saved_(session.ws.settings.warnings) {
        session.ws.settings.warnings = false;
    }
    ~WarningsOff() { session_.ws.settings.warnings = saved_; }
    WarningsOff(const WarningsOff&) = delete;
    WarningsOff& operator=(const WarningsOff&) = delete;

private:
    Session& session_;
    bool saved_;
};

// Appends the origins of in[from, to) to out, when origins are kept.
void keepOrigins(ScriptOrigins* out, const ScriptOrigins* in, std::size_t from, std::size_t to) {
    if (out != nullptr && in != nullptr) out->insert(out->end(), in->begin() + from, in->begin() + to);
}

// The origins when they belong to the text; otherwise none are kept (they
// are cleared, so that no later step takes them for the text's).
ScriptOrigins* consistent(ScriptOrigins* origins, const MString& text) {
    if (origins == nullptr || origins->size() == text.str().size()) return origins;
    origins->clear();
    return nullptr;
}

// The place in the script of s[from, to), leading blanks left out.
ScriptPlace placeOf(const std::string& s, const ScriptOrigins& origins, std::size_t from, std::size_t to) {
    if (origins.size() != s.size()) return {};
    while (from < to && s[from] == ' ') ++from;
    if (from >= to) return {};
    std::uint32_t first = origins[from], last = origins[from];
    for (std::size_t i = from; i < to; ++i) {
        first = std::min(first, origins[i]);
        last = std::max(last, origins[i]);
    }
    return {first, std::size_t{last} + 1};
}

void tabsToBlanks(std::string& s) {
    for (char& c : s)
        if (c == '\t') c = ' ';
}

// Expands one loop (the text from "dofor" up to "enddo") into out. Errors
// are reported; the loop then contributes what it expanded before them.
void expandOneLoop(Session& session, const MString& loopText, MString& out, const ScriptOrigins* loopOrigins,
                   ScriptOrigins* outOrigins) {
    int semicolon = loopText.find(';');
    MString header = semicolon >= 0 ? loopText.mid(0, semicolon) : loopText;
    MString body = semicolon >= 0 ? loopText.mid(semicolon + 1, loopText.length()) : MString();

    // A line break in the header separates values, as a blank does (the
    // line breaks of the script are removed only after the loops).
    std::string flat = header.str();
    for (char& c : flat)
        if (c == '\r' || c == '\n') c = ' ';
    header = MString(std::move(flat)).trim();
    header = header.mid(6, header.length());
    MString name;
    int first = -1, last = -1;
    if (firstToken(header, 0, "=", name, first, last) == -1) {
        session.errorReport("Error in dofor argument");
        return;
    }
    std::vector<MString> values;
    if (splitValueList(header.mid(last + 2, header.length()), values) == -1) return;

    for (const MString& value : values) {
        {
            WarningsOff quiet(session);
            executeStatement(session, "let " + name + "=" + value);
        }
        MString expanded;
        ScriptOrigins bodyOrigins;
        if (loopOrigins != nullptr && semicolon >= 0)
            bodyOrigins.assign(loopOrigins->begin() + (semicolon + 1), loopOrigins->end());
        if (substituteTokens(session, body, expanded, loopOrigins != nullptr ? &bodyOrigins : nullptr) == -1) return;
        out += expanded;
        keepOrigins(outOrigins, &bodyOrigins, 0, bodyOrigins.size());
    }
}

// A byte-order mark would make the first command word unknown; a zero byte
// would end texts early wherever they pass as C strings.
MString scriptText(std::string text, ScriptOrigins* origins) {
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    std::uint32_t skipped = 0;
    if (text.starts_with(kByteOrderMark)) {
        text.erase(0, 3);
        skipped = 3;
    }
    if (origins != nullptr) {
        origins->resize(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) (*origins)[i] = static_cast<std::uint32_t>(i) + skipped;
    }
    if (text.find('\0') == npos) return MString(std::move(text));
    std::string out;
    out.reserve(text.size() + 16);
    ScriptOrigins expanded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\0')
            out += "\\0";
        else
            out += c;
        if (origins != nullptr) expanded.insert(expanded.end(), c == '\0' ? 2 : 1, (*origins)[i]);
    }
    if (origins != nullptr) *origins = std::move(expanded);
    return MString(std::move(out));
}

}  // namespace

int stripComments(Session& session, const MString& text, MString& result, ScriptOrigins* origins) {
    origins = consistent(origins, text);
    const std::string& s = text.str();
    std::string out;
    out.reserve(s.size());
    ScriptOrigins kept;
    ScriptOrigins* keep = origins != nullptr ? &kept : nullptr;
    std::size_t pos = 0;
    while (true) {
        std::size_t p = s.find("/*", pos);
        std::size_t q = s.find("*/", pos);
        if (p == npos && q == npos) {
            out.append(s, pos, npos);
            keepOrigins(keep, origins, pos, s.size());
            break;
        }
        if (p == npos || q == npos || q <= p) {
            session.errorReport(" Comment characters not in correct order");
            return -1;
        }
        // Comments do not nest: no second opening marker may lie wholly in
        // the characters from p+1 to q-2.
        std::size_t inner = s.find("/*", p + 1);
        if (inner != npos && inner + 3 <= q) {
            session.errorReport(" Comment characters not in correct order");
            return -1;
        }
        out.append(s, pos, p - pos);
        keepOrigins(keep, origins, pos, p);
        pos = q + 2;
    }
    result = MString(std::move(out));
    if (origins != nullptr) *origins = std::move(kept);
    return 1;
}

int expandLoops(Session& session, const MString& text, MString& result, ScriptOrigins* origins) {
    origins = consistent(origins, text);
    const std::string& s = text.str();
    const std::string lower = text.lower().str();
    MString out;
    ScriptOrigins kept;
    ScriptOrigins* keep = origins != nullptr ? &kept : nullptr;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t d = lower.find("dofor", pos);
        std::size_t e = lower.find("enddo", pos);
        if (d == npos && e == npos) break;
        if (d == npos || e == npos || e < d) {
            session.errorReport("Loop specification error");
            return -1;
        }
        std::size_t nested = lower.find("dofor", d + 1);
        if (nested != npos && nested < e) {
            session.errorReport(" Nested loops not permitted");
            return -1;
        }
        out += MString(s.substr(pos, d - pos));
        keepOrigins(keep, origins, pos, d);
        ScriptOrigins loopOrigins;
        if (origins != nullptr) loopOrigins.assign(origins->begin() + d, origins->begin() + e);
        expandOneLoop(session, MString(s.substr(d, e - d)), out, origins != nullptr ? &loopOrigins : nullptr, keep);
        pos = e + 6;  // the marker and the character after it, normally ";"
    }
    if (pos < s.size()) {
        out += MString(s.substr(pos));
        keepOrigins(keep, origins, pos, s.size());
    }
    result = out;
    if (origins != nullptr) *origins = std::move(kept);
    return 1;
}

MString removeLineBreaks(const MString& text, ScriptOrigins* origins) {
    origins = consistent(origins, text);
    std::string out;
    out.reserve(static_cast<std::size_t>(text.length()));
    const std::string& s = text.str();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' || s[i] == '\n') continue;
        out += s[i];
        if (origins != nullptr) (*origins)[kept] = (*origins)[i];
        ++kept;
    }
    if (origins != nullptr) origins->resize(kept);
    return MString(std::move(out));
}

int substituteTokens(Session& session, const MString& text, MString& result, ScriptOrigins* origins) {
    origins = consistent(origins, text);
    if (session.tokens.empty()) {
        result = text;
        return 1;
    }
    const std::string& s = text.str();
    if (text.count('%') % 2 != 0) {
        session.errorReport("Non-matching token symbols in string: " + text);
        return -1;
    }
    if (s.find("%%") != npos) {
        session.errorReport("Adjacent tokens are not permitted");
        return -1;
    }
    // With an even number of "%" and none adjacent, the text between the
    // first and second "%", the third and fourth, and so on, are names.
    std::string out;
    out.reserve(s.size());
    ScriptOrigins kept;
    ScriptOrigins* keep = origins != nullptr ? &kept : nullptr;
    std::size_t pos = 0;
    while (true) {
        std::size_t open = s.find('%', pos);
        if (open == npos) {
            out.append(s, pos, npos);
            keepOrigins(keep, origins, pos, s.size());
            break;
        }
        std::size_t close = s.find('%', open + 1);
        out.append(s, pos, open - pos);
        keepOrigins(keep, origins, pos, open);
        // Token values that hold their own names would double the text at
        // every statement.
        if (out.size() > kMaxScriptBytes) {
            session.errorReport("The script grows beyond " + itoMString(static_cast<long long>(kMaxScriptBytes)) +
                                " characters as its tokens are substituted");
            return -1;
        }
        MString name(s.substr(open + 1, close - open - 1));
        if (const MString* value = session.tokens.find(name)) {
            out += value->str();
            // A value stands where its name was written: from the opening
            // to the closing "%".
            if (keep != nullptr && !value->isEmpty()) {
                keep->push_back((*origins)[open]);
                keep->insert(keep->end(), value->str().size() - 1, (*origins)[close]);
            }
        } else {
            out += '%';
            out += name.str();
            out += '%';
            keepOrigins(keep, origins, open, close + 1);
        }
        pos = close + 1;
    }
    result = MString(std::move(out));
    if (origins != nullptr) *origins = std::move(kept);
    return 1;
}

int preprocessScript(Session& session, const MString& script, MString& result, ScriptOrigins* origins) {
    ShellScope scope(session);
    MString text;
    if (stripComments(session, scriptText(script.str(), origins), text, origins) == -1) return -1;
    MString expanded;
    if (expandLoops(session, text, expanded, origins) == -1) return -1;
    return substituteTokens(session, removeLineBreaks(expanded, origins), result, origins);
}

int runStatements(Session& session, const MString& text, const ScriptOrigins* origins, ScriptPlace* failed) {
    ShellScope scope(session);
    std::string s = text.str();
    tabsToBlanks(s);
    std::size_t pos = 0;
    // The origins of s, kept only when the caller wants to know where a
    // failing statement stands.
    const bool placing = origins != nullptr && failed != nullptr;
    ScriptOrigins where;
    if (placing) where = *origins;

    // The remaining text is substituted again before every statement, since
    // a let may have defined a token. Substituting text a second time with
    // the same table changes nothing, unless a value holds "%" or the
    // statements consumed since split a "%" pair; only then, or after the
    // table changed, is the work repeated.
    unsigned long substitutedVersion = 0;
    bool substituted = false;
    bool oddPercentConsumed = false;
    std::size_t nextPercent = s.find('%');

    while (!session.exitRequested) {
        if (session.terminationRequested()) return -1;
        if (!session.tokens.empty()) {
            bool stale = !substituted || substitutedVersion != session.tokens.version() ||
                         session.tokens.valueHoldsPercent() || oddPercentConsumed;
            if (stale) {
                if (nextPercent != npos && nextPercent < pos) nextPercent = s.find('%', pos);
                if (nextPercent != npos) {
                    MString rest;
                    ScriptOrigins restOrigins;
                    if (placing && where.size() == s.size()) restOrigins.assign(where.begin() + pos, where.end());
                    if (substituteTokens(session, MString(s.substr(pos)), rest, placing ? &restOrigins : nullptr) == -1)
                        return -1;
                    if (placing) where = std::move(restOrigins);
                    s = rest.str();
                    tabsToBlanks(s);
                    pos = 0;
                    nextPercent = s.find('%');
                }
                substituted = true;
                substitutedVersion = session.tokens.version();
                oddPercentConsumed = false;
            }
        }
        if (s.find_first_not_of(' ', pos) == npos) return 1;
        std::size_t semicolon = s.find(';', pos);
        if (semicolon == npos) {
            if (placing) *failed = placeOf(s, where, pos, s.size());
            session.errorReport("Statement doesn't end with semi-colon");
            return -1;
        }
        MString statement(s.substr(pos, semicolon - pos));
        if (statement.count('%') % 2 != 0) oddPercentConsumed = !oddPercentConsumed;
        const std::size_t start = pos;
        pos = semicolon + 1;
        if (executeStatement(session, statement) == -1) {
            if (placing) *failed = placeOf(s, where, start, pos);
            return -1;
        }
    }
    return 1;
}

int executeStatement(Session& session, const MString& statementText) {
    ShellScope scope(session);
    MString statement;
    if (substituteTokens(session, statementText, statement) == -1) return -1;

    MString echo = ("=>" + statement + ";").collapseBlanks();
    if (statement.find('%') >= 0)
        session.warningReport("Command '" + statement + "' contains an unresolved token");
    session.appendEcho(echo + "\r\n");
    if (!session.ws.files.logFileName.isEmpty()) session.logText("\n " + echo + "\n");

    MString word;
    int first = -1, last = -1;
    if (firstToken(statement, 0, " !><", word, first, last) == -1) return -1;
    int number = matchKeyword(word, kCommandWords, kCommandCount);
    MString arguments = statement.mid(last + 1, statement.length());
    if (number < 0) return -1;

    try {
        int result = session.handlers[static_cast<std::size_t>(number)](session, arguments) == -1 ? -1 : 1;
        // Output that was lost must not pass for a statement that worked.
        MString failure = session.outputFailure();
        if (!failure.isEmpty()) {
            session.errorReport("The output could not be written: " + failure);
            return -1;
        }
        return result;
    } catch (const FatalExit&) {
        throw;
    } catch (const std::bad_alloc&) {
        session.errorReport("Not enough memory to run the statement");
    } catch (const std::exception& e) {
        session.errorReport(MString("The statement failed: ") + e.what());
    } catch (...) {
        session.errorReport("The statement failed");
    }
    return -1;
}

int runScript(Session& session, const MString& script, ScriptPlace* failed) {
    if (failed != nullptr) *failed = {};
    if (static_cast<std::size_t>(script.length()) > kMaxScriptBytes) {
        ShellScope scope(session);
        session.errorReport("The script holds more than " + itoMString(static_cast<long long>(kMaxScriptBytes)) +
                            " characters");
        return -1;
    }
    MString text;
    ScriptOrigins origins;
    ScriptOrigins* keep = failed != nullptr ? &origins : nullptr;
    if (preprocessScript(session, script, text, keep) == -1) return -1;
    return runStatements(session, text, keep, failed);
}

int runAll(Session& session, const MString& script, ScriptPlace* failed) {
    ShellScope scope(session);
    resetWorkspace(session, true);
    return runScript(session, script, failed);
}

namespace {

bool blankAt(const std::string& s, std::size_t i) {
    return s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n';
}

bool wordAt(const std::string& s, std::size_t i, std::string_view lowerWord) {
    if (s.size() - i < lowerWord.size()) return false;
    for (std::size_t k = 0; k < lowerWord.size(); ++k) {
        char c = s[i + k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerWord[k]) return false;
    }
    return true;
}

// Past the comment that starts at i, as stripComments reads it: to the
// first "*/" after its "/"; npos when it is never closed.
std::size_t pastComment(const std::string& s, std::size_t i) {
    const std::size_t close = s.find("*/", i + 1);
    return close == npos ? npos : close + 2;
}

}  // namespace

std::vector<ScriptPlace> statementPlaces(const MString& script) {
    const std::string& s = script.str();
    const std::size_t n = s.size();
    std::vector<ScriptPlace> places;
    std::size_t i = s.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    std::size_t start = npos;
    while (i < n) {
        if (s.compare(i, 2, "/*") == 0) {
            i = pastComment(s, i);
            if (i == npos) {
                // An open comment runs to the end; the reader refuses it.
                if (start != npos) places.push_back({start, n});
                return places;
            }
            continue;
        }
        if (start == npos) {
            if (blankAt(s, i)) {
                ++i;
                continue;
            }
            start = i;
            if (wordAt(s, i, "dofor")) {
                // The loop runs through its enddo and the character after it.
                std::size_t j = i + 5;
                while (j < n && !wordAt(s, j, "enddo")) {
                    if (s.compare(j, 2, "/*") == 0) {
                        j = pastComment(s, j);
                        if (j == npos) j = n;
                    } else {
                        ++j;
                    }
                }
                const std::size_t end = std::min(n, j + 6);
                places.push_back({start, end});
                start = npos;
                i = end;
                continue;
            }
        }
        if (s[i] == ';') {
            places.push_back({start, i + 1});
            start = npos;
        }
        ++i;
    }
    if (start != npos) places.push_back({start, n});
    return places;
}

}  // namespace ordena
