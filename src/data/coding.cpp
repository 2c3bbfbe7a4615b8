#include "data/coding.h"

#include <cstdint>
#include <string>

#include "command/parse.h"
#include "command/session.h"

namespace ordena {

namespace {

int fail(Shell& shell, const MString& message) {
    shell.errorReport(message);
    return -1;
}

// The text between position open (a "(") and the next ")"; -1 when there is
// no ")".
int bracketed(const MString& text, int open, MString& inside) {
    std::size_t close = text.str().find(')', static_cast<std::size_t>(open) + 1);
    if (close == std::string::npos) return -1;
    inside = text.mid(open + 1, static_cast<int>(close) - open - 1);
    return static_cast<int>(close);
}

int skipBlanks(const MString& text, int pos) {
    while (pos < text.length() && text.str()[static_cast<std::size_t>(pos)] == ' ') ++pos;
    return pos;
}

// Removes one double quote at each end. -1 when only one end has one.
int unquote(MString& text) {
    int n = text.length();
    if (n == 0) return 1;
    bool front = text.str().front() == '"', back = text.str().back() == '"';
    if (n >= 2 && front && back) {
        text = text.mid(1, n - 2);
        return 1;
    }
    return (front || back) ? -1 : 1;
}

void markSpecificationChanged(Session& session) {
    session.ws.dataPassNeeded = 1;
    session.ws.est.estimated = 0;
}

// "lo-hi" with both sides numbers stands for every integer from lo to hi.
int expandRanges(const std::vector<MString>& values, std::vector<MString>& codes, Shell& shell) {
    for (const MString& v : values) {
        int dash = v.find('-');
        if (dash < 0) {
            codes.push_back(v);
        } else {
            MString left = v.mid(0, dash), right = v.mid(dash + 1, v.length());
            if (left.isNumber() && right.isNumber()) {
                long long lo = left.toInt(), hi = right.toInt();
                if (lo > hi) {
                    shell.errorReport("Column range incorrect - 1st number > 2nd number");
                    return fail(shell, "Error in range specifications in delete, recode or score option");
                }
                if (hi - lo + 1 > static_cast<long long>(kMaxSelectionCodes) - static_cast<long long>(codes.size()))
                    return fail(shell, "Too many codes in delete, recode or score option");
                for (long long k = lo; k <= hi; ++k) codes.push_back(itoMString(k));
            } else {
                shell.errorReport("Column range not numeric in delete, recode or score");
                codes.push_back(v);
            }
        }
        if (codes.size() > static_cast<std::size_t>(kMaxSelectionCodes))
            return fail(shell, "Too many codes in delete, recode or score option");
    }
    return 1;
}

}  // namespace

int boundedValueList(const MString& text, std::vector<MString>& values, Shell& shell) {
    std::vector<MString> found;
    int status = splitValueList(text, found);
    if (found.size() > static_cast<std::size_t>(kMaxListValues)) return fail(shell, "Too many elements in list");
    if (status != 1) return -1;
    values = std::move(found);
    return 1;
}

int parseSelections(const MString& options, const DataLayout& layout, std::vector<Selection>& selections,
                    Shell& shell) {
    const MString t = options.trimRight();
    std::vector<Selection> result;
    int pos = 0;
    while (!t.mid(pos, t.length()).isBlank()) {
        std::size_t open = t.str().find('(', static_cast<std::size_t>(pos));
        std::size_t close = open == std::string::npos ? std::string::npos : t.str().find(')', open + 1);
        if (close == std::string::npos) return fail(shell, "Brackets not matching in recode or score option");
        MString nameText = t.mid(pos, static_cast<int>(open) - pos).trimRight();
        MString name;
        int first = -1, last = -1;
        if (firstToken(nameText, 0, " ,", name, first, last) != 1)
            return fail(shell, "Error in variable name in delete, recode or score option");
        if (last != nameText.length() - 1) return fail(shell, "Error in variable name in recode or score option");
        Selection sel;
        if (!layout.lookupVariable(name, sel.variable) || sel.variable.kind == kStepVariable)
            return fail(shell, "Variable in delete, recode or score option not in format list");
        std::vector<MString> values;
        if (boundedValueList(t.mid(static_cast<int>(open) + 1, static_cast<int>(close - open) - 1), values, shell) != 1)
            return -1;
        if (values.empty()) return fail(shell, "No code list specified in delete, recode or score option");
        if (expandRanges(values, sel.codes, shell) != 1) return -1;
        if (sel.variable.kind == kImplicitVariable) {
            for (const MString& c : sel.codes) {
                if (!c.isDigits() || c.isEmpty()) {
                    shell.errorReport("Codes must be integer for implicit variables");
                    return fail(shell, "Error in delete, code or recode option");
                }
            }
        }
        sel.prepare();
        result.push_back(std::move(sel));
        pos = static_cast<int>(close) + 1;
    }
    selections = std::move(result);
    return 1;
}

int parseRecodeRule(const MString& text, const DataLayout& layout, RecodeRule& rule, Shell& shell) {
    const MString t = text.trimRight();
    if (t.isBlank()) return fail(shell, "Nothing specified recode/delete command");
    int bang = t.find('!');
    if (bang == 0) return fail(shell, "Error in recode - '!' in column 1");
    const MString lists = bang < 0 ? t : t.mid(0, bang);
    RecodeRule r;
    int pos = skipBlanks(lists, 0);
    if (pos >= lists.length() || lists[pos] != '(') return fail(shell, "Recode must start with '('");
    MString inside;
    int close = bracketed(lists, pos, inside);
    if (close < 0) return fail(shell, "Brackets not matching in recode statement");
    if (boundedValueList(inside, r.from, shell) != 1) return -1;
    pos = skipBlanks(lists, close + 1);
    if (pos >= lists.length() || lists[pos] != '(') return fail(shell, "Illegal character after first brackets in recode");
    close = bracketed(lists, pos, inside);
    if (close < 0) return fail(shell, "Brackets not matching in recode statement");
    if (boundedValueList(inside, r.to, shell) != 1) return -1;
    if (r.from.size() != r.to.size()) return fail(shell, "No. of codes in brackets not equal in recode statement");
    if (!lists.mid(close + 1, lists.length()).isBlank())
        return fail(shell, "Error in Recode statement - characters after ')'");
    if (bang >= 0 && parseSelections(t.mid(bang + 1, t.length()), layout, r.selections, shell) != 1) return -1;
    rule = std::move(r);
    return 1;
}

int parseDeleteRule(const MString& text, const DataLayout& layout, DeleteRule& rule, Shell& shell) {
    const MString t = text.trimRight();
    if (t.isBlank()) return fail(shell, "Nothing specified recode/delete command");
    int bang = t.find('!');
    DeleteRule r;
    // Without options the rule holds for every response.
    if (bang >= 0 && parseSelections(t.mid(bang + 1, t.length()), layout, r.selections, shell) != 1) return -1;
    rule = std::move(r);
    return 1;
}

int parseScoreRule(const MString& text, const DataLayout& layout, ScoreRule& rule,
                   std::vector<RecodeRule>& groupRecodes, Shell& shell) {
    const MString t = text.trimRight();
    if (t.isBlank()) return fail(shell, "Nothing specified for score");
    int bang = t.find('!');
    if (bang == 0) return fail(shell, "Error in recode - '!' in column 1");
    const MString lists = (bang < 0 ? t : t.mid(0, bang)).trim();
    if (lists.isEmpty() || lists[0] != '(') return fail(shell, "Score must start with '('");
    MString codeText;
    int close = bracketed(lists, 0, codeText);
    if (close < 0) return fail(shell, "Brackets not matching in score statement");

    // Each <code values...> group scores as its first code and recodes the
    // other values to it.
    std::vector<RecodeRule> recodes;
    for (int lt = codeText.find('<'); lt >= 0; lt = codeText.find('<')) {
        std::size_t gt = codeText.str().find('>', static_cast<std::size_t>(lt) + 1);
        if (gt == std::string::npos) return fail(shell, "Angle brackets not matching in score statement");
        std::vector<MString> values;
        if (boundedValueList(codeText.mid(lt + 1, static_cast<int>(gt) - lt - 1), values, shell) != 1) return -1;
        if (values.empty()) return fail(shell, "Nothing specified between angle brackets in score statement");
        const MString code = values[0];
        if (values.size() > 1) {
            RecodeRule r;
            r.from.assign(values.begin() + 1, values.end());
            r.to.assign(values.size() - 1, code);
            recodes.push_back(std::move(r));
        }
        // A code holding a separator keeps its quotes so the list splits as written.
        bool quote = code.find(' ') >= 0 || code.find(',') >= 0;
        MString replacement = quote ? " \"" + code + "\" " : " " + code + " ";
        codeText = codeText.mid(0, lt) + replacement + codeText.mid(static_cast<int>(gt) + 1, codeText.length());
    }

    ScoreRule r;
    if (boundedValueList(codeText, r.codes, shell) != 1) return -1;
    int pos = close + 1;
    while (true) {
        pos = skipBlanks(lists, pos);
        if (pos >= lists.length()) break;
        if (lists[pos] != '(') return fail(shell, "Illegal character after first brackets in score");
        MString inside;
        close = bracketed(lists, pos, inside);
        if (close < 0) return fail(shell, "Brackets not matching in score statement");
        std::vector<MString> column;
        if (boundedValueList(inside, column, shell) != 1) return -1;
        if (column.empty()) {
            column.assign(r.codes.size(), MString("0"));
        } else if (column.size() != r.codes.size()) {
            return fail(shell, "No. of codes in brackets not equal in score statement");
        }
        r.columns.push_back(std::move(column));
        pos = close + 1;
    }
    // Without a column the rule would give the responses no dimension at all.
    if (r.columns.empty()) return fail(shell, "No scores specified in score statement");
    if (bang >= 0 && parseSelections(t.mid(bang + 1, t.length()), layout, r.selections, shell) != 1) return -1;
    for (auto& g : recodes) g.selections = r.selections;
    rule = std::move(r);
    groupRecodes = std::move(recodes);
    return 1;
}

int parseKeyRule(const MString& text, const DataLayout& layout, KeyRule& rule, Shell& shell) {
    if (!layout.hasResponses()) return fail(shell, "The Format must be specified before Keys can be supplied");
    const MString t = text.trim();
    int bang = t.find('!');
    if (bang <= 0) return fail(shell, "Error in the Key option");
    MString option = t.mid(bang + 1, t.length()).trim();
    if (unquote(option) != 1) return fail(shell, "The quotes do not match in the Key option");
    const int width = layout.responseWidth;
    if (option.isBlank()) return fail(shell, "There was no option in the Key statement");
    if (option.length() != width)
        return fail(shell,
                    "The Key option must have the same width as each of the responses. Use quotes if you want to have "
                    "a leading blank");
    if (option.str().back() == ' ') return fail(shell, "The Key option cannot have trailing blanks");
    MString key = t.mid(0, bang).trim();
    if (unquote(key) != 1) return fail(shell, "The quotes do not match in the Key argument");
    if (static_cast<long long>(key.length()) != static_cast<long long>(layout.items) * width)
        return fail(shell, "The Key argument length is not the same as the length of the response blocks");
    if (key.isBlank()) return fail(shell, "There was no argument in the Key statement");
    KeyRule r;
    r.option = option;
    r.keys.reserve(static_cast<std::size_t>(layout.items));
    for (int i = 0; i < layout.items; ++i) r.keys.push_back(key.mid(i * width, width));
    rule = std::move(r);
    return 1;
}

MissingCodes parseMissingCodes(const MString& text, Shell& shell) {
    MissingCodes m;
    const MString t = text.trim();
    if (t.isEmpty()) {
        m.codes = {" ", "."};
        m.flags = {1, 1};
        return m;
    }
    int pos = 0;
    while (pos <= t.length()) {
        std::size_t found = t.str().find(',', static_cast<std::size_t>(pos));
        int comma = found == std::string::npos ? -1 : static_cast<int>(found);
        int end = comma < 0 ? t.length() : comma;
        MString item = t.mid(pos, end - pos).trim();
        bool front = !item.isEmpty() && item.str().front() == '"';
        bool back = !item.isEmpty() && item.str().back() == '"';
        if (item.length() >= 2 && front && back) {
            m.codes.push_back(item.mid(1, item.length() - 2));
            m.flags.push_back(0);
        } else if (front || back) {
            shell.warningReport("A missing value code includes a quote mark");
            m.codes.push_back(item);
            m.flags.push_back(1);
        } else {
            MString word = item.lower();
            m.codes.push_back(word == "blank" ? MString(" ") : word == "dot" ? MString(".") : item);
            m.flags.push_back(1);
        }
        if (comma < 0) break;
        pos = comma + 1;
    }
    return m;
}

int codesCommand(Session& session, const MString& arguments) {
    markSpecificationChanged(session);
    MString t = arguments.trimParentheses().trimRight();
    if (t.isBlank()) {
        // Reported as an error, yet the statement goes on: no list means every code.
        session.errorReport("Nothing specified for code statement - All codes assumed valid");
        return 1;
    }
    std::vector<MString> codes;
    if (boundedValueList(t, codes, session) != 1) return -1;
    session.ws.data.codes = std::move(codes);
    return 1;
}

int recodesCommand(Session& session, const MString& arguments) {
    markSpecificationChanged(session);
    RecodeRule rule;
    if (parseRecodeRule(arguments, session.ws.data.layout, rule, session) != 1) return -1;
    session.ws.data.recodes.push_back(std::move(rule));
    return 1;
}

int scoresCommand(Session& session, const MString& arguments) {
    markSpecificationChanged(session);
    ScoreRule rule;
    std::vector<RecodeRule> groupRecodes;
    if (parseScoreRule(arguments, session.ws.data.layout, rule, groupRecodes, session) != 1) return -1;
    session.ws.data.scores.push_back(std::move(rule));
    for (auto& r : groupRecodes) session.ws.data.recodes.push_back(std::move(r));
    return 1;
}

int keyCommand(Session& session, const MString& arguments) {
    markSpecificationChanged(session);
    KeyRule rule;
    if (parseKeyRule(arguments, session.ws.data.layout, rule, session) != 1) return -1;
    session.ws.data.keys.push_back(std::move(rule));
    return 1;
}

int deleteCommand(Session& session, const MString& arguments) {
    markSpecificationChanged(session);
    DeleteRule rule;
    if (parseDeleteRule(arguments, session.ws.data.layout, rule, session) != 1) return -1;
    session.ws.data.deletes.push_back(std::move(rule));
    return 1;
}

int missingCommand(Session& session, const MString& arguments) {
    // New missing codes change what the data passes keep, so the passes and
    // the estimates made from them are out of date.
    markSpecificationChanged(session);
    const MString t = arguments.trim();
    int bang = t.find('!');
    MissingCodes m = parseMissingCodes(bang < 0 ? t : t.mid(0, bang), session);
    auto& variables = session.ws.data.layout.explicitVariables;
    if (bang < 0) {
        for (auto& v : variables) {
            v.missingCodes = m.codes;
            v.missingFlags = m.flags;
        }
        return 1;
    }
    int status = 1;
    const MString names = t.mid(bang + 1, t.length());
    int pos = 0;
    while (pos <= names.length()) {
        std::size_t found = names.str().find(',', static_cast<std::size_t>(pos));
        int end = found == std::string::npos ? names.length() : static_cast<int>(found);
        MString name = names.mid(pos, end - pos).trim();
        int k = session.ws.data.layout.explicitVariableIndex(name);
        if (k < 0) {
            session.errorReport("The variable " + name + " not found");
            status = -1;
        } else {
            variables[static_cast<std::size_t>(k)].missingCodes = m.codes;
            variables[static_cast<std::size_t>(k)].missingFlags = m.flags;
        }
        if (found == std::string::npos) break;
        pos = end + 1;
    }
    return status;
}

}  // namespace ordena
