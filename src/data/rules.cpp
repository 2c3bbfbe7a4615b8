#include "data/rules.h"

#include <algorithm>

#include "command/settings.h"

namespace ordena {

namespace {

constexpr std::size_t kMaxDimensions = 15;

std::int64_t digitsValue(std::string_view digits) {
    std::int64_t v = 0;
    for (char c : digits) {
        if (!isDigit(c)) break;
        v = v * 10 + (c - '0');
        if (v > 1000000000000LL) return v;  // far beyond any level; stops the overflow
    }
    return v;
}

bool allBlanks(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

std::string_view trimmed(std::string_view s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

// Position of the first code of list that matches value, or -1.
int firstMatch(const std::vector<MString>& list, std::string_view value) {
    for (std::size_t p = 0; p < list.size(); ++p)
        if (codeMatches(list[p].view(), value)) return static_cast<int>(p);
    return -1;
}

void sortDistinct(std::vector<MString>& table) {
    std::sort(table.begin(), table.end());
    table.erase(std::unique(table.begin(), table.end()), table.end());
}

}  // namespace

void Selection::prepare() {
    sortedCodes.clear();
    levels.clear();
    if (variable.kind == kImplicitVariable) {
        for (const MString& c : codes) levels.push_back(digitsValue(c.view()));
        std::sort(levels.begin(), levels.end());
    } else {
        for (const MString& c : codes) sortedCodes.push_back(c.str());
        std::sort(sortedCodes.begin(), sortedCodes.end());
    }
}

bool codeMatches(std::string_view code, std::string_view value) {
    if (code.size() > value.size()) return false;
    std::size_t fill = value.size() - code.size();
    for (std::size_t i = 0; i < fill; ++i)
        if (value[i] != ' ') return false;
    return value.substr(fill) == code;
}

int selectionMatches(const Selection& sel, const VariableValues& values) {
    std::int32_t k = sel.variable.index;
    if (sel.variable.kind == kExplicitVariable) {
        if (k < 0 || static_cast<std::size_t>(k) >= values.explicitValues.size()) return kSelectionBadVariable;
        if (!values.explicitKnown.empty() &&
            (static_cast<std::size_t>(k) >= values.explicitKnown.size() || !values.explicitKnown[k]))
            return kSelectionUnknown;
        std::string_view v = values.explicitValues[static_cast<std::size_t>(k)].view();
        // A code matches when the value is the code behind leading blanks,
        // so only the value's tails after 0, 1, ... of its leading blanks
        // need looking up.
        for (std::size_t skip = 0; skip <= v.size(); ++skip) {
            std::string_view tail = v.substr(skip);
            if (std::binary_search(sel.sortedCodes.begin(), sel.sortedCodes.end(), tail,
                                   [](std::string_view a, std::string_view b) { return a < b; }))
                return kSelectionMatch;
            if (skip < v.size() && v[skip] != ' ') break;
        }
        return kSelectionNoMatch;
    }
    if (sel.variable.kind == kImplicitVariable) {
        if (k < 0 || static_cast<std::size_t>(k) >= values.implicitLevels.size()) return kSelectionBadVariable;
        std::int32_t level = values.implicitLevels[static_cast<std::size_t>(k)];
        if (level < 0) return kSelectionUnknown;
        return std::binary_search(sel.levels.begin(), sel.levels.end(), static_cast<std::int64_t>(level) + 1)
                   ? kSelectionMatch
                   : kSelectionNoMatch;
    }
    return kSelectionBadVariable;
}

int selectionsMatch(const std::vector<Selection>& selections, const VariableValues& values) {
    int result = kSelectionMatch;
    for (const Selection& sel : selections) {
        int m = selectionMatches(sel, values);
        if (m < 0) return m;
        if (m == kSelectionNoMatch) result = kSelectionNoMatch;
    }
    return result;
}

int applyRecodes(const MString& raw, const std::vector<RecodeRule>& rules, const VariableValues& values,
                 const MString*& recoded, Shell& shell) {
    recoded = &raw;
    bool applied = false;
    for (const RecodeRule& rule : rules) {
        int p = firstMatch(rule.from, raw.view());
        if (p < 0) continue;
        int m = selectionsMatch(rule.selections, values);
        if (m < 0) {
            shell.errorReport("Error in variable list in recode");
            return -1;
        }
        if (m == kSelectionNoMatch) continue;
        if (applied) {
            shell.errorReport("Ambiguous recodes");
            return -1;
        }
        applied = true;
        recoded = &rule.to[static_cast<std::size_t>(p)];
    }
    return 1;
}

int isDeleted(const std::vector<DeleteRule>& rules, const VariableValues& values, Shell& shell) {
    int deleted = 0;
    for (const DeleteRule& rule : rules) {
        int m = selectionsMatch(rule.selections, values);
        if (m < 0) {
            shell.errorReport("Error in variable list in delete");
            return -1;
        }
        if (m == kSelectionNoMatch) continue;
        if (deleted) shell.errorReport("Redundant deletes ignored");
        deleted = 1;
    }
    return deleted;
}

MString paddedKeyDefault(const MString& keyDefault, int width) { return keyDefault.rightJustify(width); }

int applyKeys(const MString& recoded, int item, const std::vector<KeyRule>& rules, const MString& defaultCode,
              const MString*& scored, Shell& shell) {
    scored = &defaultCode;
    int matches = 0;
    for (const KeyRule& rule : rules) {
        // Keys made for an earlier format may not cover this item.
        if (item < 0 || static_cast<std::size_t>(item) >= rule.keys.size()) {
            shell.errorReport("The Key statement does not fit the format - give the keys again after the format");
            return -1;
        }
        if (rule.keys[static_cast<std::size_t>(item)] != recoded) continue;
        if (++matches > 1) {
            shell.errorReport("The keys are ambiguous");
            return -1;
        }
        scored = &rule.option;
    }
    return 1;
}

bool isMissingResponse(std::string_view response, int respmiss) {
    bool dot = trimmed(response) == ".";
    bool blank = allBlanks(response);
    switch (respmiss) {
        case kRespMissDot: return dot;
        case kRespMissBlank: return blank;
        case kRespMissBoth: return dot || blank;
        default: return false;
    }
}

bool isMissingValue(std::string_view value, const ExplicitVariable& variable) {
    std::size_t n = std::min(variable.missingCodes.size(), variable.missingFlags.size());
    for (std::size_t k = 0; k < n; ++k) {
        std::string_view code = variable.missingCodes[k].view();
        if (variable.missingFlags[k] == 0) {
            if (value == code) return true;
        } else if (code == " ") {
            if (allBlanks(value)) return true;
        } else if (trimmed(value) == trimmed(code)) {
            return true;
        }
    }
    return false;
}

void buildCodeTables(const std::vector<MString>& collected, const DataSpec& spec, const MString& keyDefault,
                     std::vector<MString>& t1, std::vector<MString>& t2) {
    t2 = collected;
    if (!spec.codes.empty()) {
        t2 = spec.codes;
    } else {
        for (const RecodeRule& rule : spec.recodes)
            for (const MString& to : rule.to)
                if (std::find(t2.begin(), t2.end(), to) == t2.end()) t2.push_back(to);
    }
    t1 = t2;
    if (!spec.keys.empty()) {
        t2.clear();
        for (const KeyRule& rule : spec.keys)
            if (std::find(t2.begin(), t2.end(), rule.option) == t2.end()) t2.push_back(rule.option);
        t2.push_back(paddedKeyDefault(keyDefault, spec.layout.responseWidth));
    }
    // A code listed twice would leave a category that no response can reach.
    sortDistinct(t1);
    sortDistinct(t2);
}

int codeIndex(const std::vector<MString>& table, std::string_view code) {
    auto it = std::lower_bound(table.begin(), table.end(), code,
                               [](const MString& a, std::string_view b) { return a.view() < b; });
    if (it == table.end() || it->view() != code) return -1;
    return static_cast<int>(it - table.begin());
}

int scoreDimensions(const std::vector<ScoreRule>& rules, Shell& shell) {
    if (rules.empty()) return 1;
    if (rules[0].columns.size() > kMaxDimensions) {
        shell.errorReport("Too many dimensions in a score statement");
        return -1;
    }
    return static_cast<int>(rules[0].columns.size());
}

int lookupScores(const MString& code, const std::vector<ScoreRule>& rules, const VariableValues& values,
                 bool& defaultNoticeGiven, std::vector<double>& scores, Shell& shell) {
    scores.clear();
    if (rules.empty()) {
        if (!code.isNumber()) {
            shell.errorReport("A default score (" + code + ") is not numeric.");
            return -1;
        }
        scores.push_back(code.toDouble());
        return 1;
    }
    int d = scoreDimensions(rules, shell);
    if (d < 0) return -1;
    const ScoreRule* candidate = nullptr;
    int position = -1;
    for (const ScoreRule& rule : rules) {
        int p = firstMatch(rule.codes, code.view());
        if (p < 0) continue;
        int m = selectionsMatch(rule.selections, values);
        if (m == kSelectionUnknown) {
            shell.errorReport("Variable in score statement but not in model statement");
            return -1;
        }
        if (m < 0) {
            shell.errorReport("Error in variable list in score");
            return -1;
        }
        if (m == kSelectionNoMatch) continue;
        if (candidate != nullptr) {
            shell.errorReport("The scoring is ambiguous");
            return -1;
        }
        candidate = &rule;
        position = p;
    }
    if (candidate == nullptr) {
        if (!defaultNoticeGiven) {
            shell.warningReport("At least one response is using default scoring. Default to be used for " + code);
            defaultNoticeGiven = true;
        }
        if (!code.isNumber()) {
            shell.errorReport("Default scoring cannot be used. A response is not numeric");
            return -1;
        }
        scores.assign(static_cast<std::size_t>(d), code.toDouble());
        return 1;
    }
    // Every category needs a score on every dimension.
    if (candidate->columns.size() != static_cast<std::size_t>(d)) {
        shell.errorReport("The score statements do not all have the same number of score columns");
        return -1;
    }
    for (const auto& column : candidate->columns) {
        const MString& s = column[static_cast<std::size_t>(position)];
        if (!s.isNumber()) {
            shell.errorReport("Score is not numeric");
            return -1;
        }
        scores.push_back(s.toDouble());
    }
    return 1;
}

int codeResponse(const ResponseCoding& coding, const MString& raw, int item, const VariableValues& values,
                 int& category, int& recodedIndex, Shell& shell) {
    const DataSpec& spec = coding.spec;
    if (!spec.deletes.empty()) {
        int d = isDeleted(spec.deletes, values, shell);
        if (d < 0) {
            shell.errorReport("Error in delete");
            return -1;
        }
        if (d) return 0;
    }
    const MString* recoded = &raw;
    if (!spec.recodes.empty() && applyRecodes(raw, spec.recodes, values, recoded, shell) != 1) {
        shell.errorReport("Error in recode - possible multiple definition");
        return -1;
    }
    if (isMissingResponse(recoded->view(), coding.respmiss)) return 0;
    int r = codeIndex(coding.t1, recoded->view());
    if (r < 0) return 0;
    const MString* scored = recoded;
    if (!spec.keys.empty() && applyKeys(*recoded, item, spec.keys, coding.defaultCode, scored, shell) != 1) return -1;
    if (isMissingResponse(scored->view(), coding.respmiss)) return 0;
    int k = codeIndex(coding.t2, scored->view());
    if (k < 0) return 0;
    category = k;
    recodedIndex = r;
    return 1;
}

}  // namespace ordena
