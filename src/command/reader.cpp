#include "command/reader.h"

#include <exception>
#include <new>
#include <string>

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

void tabsToBlanks(std::string& s) {
    for (char& c : s)
        if (c == '\t') c = ' ';
}

// Expands one loop (the text from "dofor" up to "enddo") into out. Errors
// are reported; the loop then contributes what it expanded before them.
void expandOneLoop(Session& session, const MString& loopText, MString& out) {
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
        if (substituteTokens(session, body, expanded) == -1) return;
        out += expanded;
    }
}

// A byte-order mark would make the first command word unknown; a zero byte
// would end texts early wherever they pass as C strings.
MString scriptText(std::string text) {
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.erase(0, 3);
    if (text.find('\0') == npos) return MString(std::move(text));
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\0')
            out += "\\0";
        else
            out += c;
    }
    return MString(std::move(out));
}

}  // namespace

int stripComments(Session& session, const MString& text, MString& result) {
    const std::string& s = text.str();
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (true) {
        std::size_t p = s.find("/*", pos);
        std::size_t q = s.find("*/", pos);
        if (p == npos && q == npos) {
            out.append(s, pos, npos);
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
        pos = q + 2;
    }
    result = MString(std::move(out));
    return 1;
}

int expandLoops(Session& session, const MString& text, MString& result) {
    const std::string& s = text.str();
    const std::string lower = text.lower().str();
    MString out;
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
        expandOneLoop(session, MString(s.substr(d, e - d)), out);
        pos = e + 6;  // the marker and the character after it, normally ";"
    }
    if (pos < s.size()) out += MString(s.substr(pos));
    result = out;
    return 1;
}

MString removeLineBreaks(const MString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.length()));
    for (char c : text.str())
        if (c != '\r' && c != '\n') out += c;
    return MString(std::move(out));
}

int substituteTokens(Session& session, const MString& text, MString& result) {
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
    std::size_t pos = 0;
    while (true) {
        std::size_t open = s.find('%', pos);
        if (open == npos) {
            out.append(s, pos, npos);
            break;
        }
        std::size_t close = s.find('%', open + 1);
        out.append(s, pos, open - pos);
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
        } else {
            out += '%';
            out += name.str();
            out += '%';
        }
        pos = close + 1;
    }
    result = MString(std::move(out));
    return 1;
}

int preprocessScript(Session& session, const MString& script, MString& result) {
    ShellScope scope(session);
    MString text;
    if (stripComments(session, scriptText(script.str()), text) == -1) return -1;
    MString expanded;
    if (expandLoops(session, text, expanded) == -1) return -1;
    return substituteTokens(session, removeLineBreaks(expanded), result);
}

int runStatements(Session& session, const MString& text) {
    ShellScope scope(session);
    std::string s = text.str();
    tabsToBlanks(s);
    std::size_t pos = 0;

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
                    if (substituteTokens(session, MString(s.substr(pos)), rest) == -1) return -1;
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
            session.errorReport("Statement doesn't end with semi-colon");
            return -1;
        }
        MString statement(s.substr(pos, semicolon - pos));
        if (statement.count('%') % 2 != 0) oddPercentConsumed = !oddPercentConsumed;
        pos = semicolon + 1;
        if (executeStatement(session, statement) == -1) return -1;
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

int runScript(Session& session, const MString& script) {
    if (static_cast<std::size_t>(script.length()) > kMaxScriptBytes) {
        ShellScope scope(session);
        session.errorReport("The script holds more than " + itoMString(static_cast<long long>(kMaxScriptBytes)) +
                            " characters");
        return -1;
    }
    MString text;
    if (preprocessScript(session, script, text) == -1) return -1;
    return runStatements(session, text);
}

int runAll(Session& session, const MString& script) {
    ShellScope scope(session);
    resetWorkspace(session, true);
    return runScript(session, script);
}

}  // namespace ordena
