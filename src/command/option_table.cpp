#include "command/option_table.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "command/parse.h"
#include "command/session.h"

namespace ordena {

int OptionValue::refuse() const { return refuse(refusal_); }

int OptionValue::refuse(const MString& message) const {
    session.errorReport(message);
    return -1;
}

int matchOptionWord(const OptionWords& words, const MString& word) { return matchKeyword(word, words); }

int findOptionWord(const OptionWords& words, std::string_view word) {
    for (std::size_t k = 0; k < words.size(); ++k)
        if (words[k] == word) return static_cast<int>(k);
    return -1;
}

std::vector<CutOption> cutOptionList(const MString& text, const OptionListRules& rules) {
    std::vector<CutOption> options;
    for (const MString& piece : splitAt(rules.blanksRemoved ? text.removeBlanks() : text, ',')) {
        CutOption o;
        const int eq = piece.find('=');
        o.hasEquals = eq >= 0;
        o.word = (eq >= 0 ? piece.mid(0, eq) : piece).trim();
        if (eq >= 0) {
            int v = eq + 1;
            if (rules.repeatedEquals)
                while (v < piece.length() && piece[v] == '=') ++v;
            o.value = piece.mid(v, piece.length()).trim();
        }
        options.push_back(o);
    }
    return options;
}

int readOptionList(Session& session, const MString& text, const OptionListRules& rules, const OptionWords& words,
                   const std::function<int(int row, const MString& value)>& apply) {
    for (const CutOption& o : cutOptionList(text, rules)) {
        if (o.word.isEmpty() || (rules.equalsRequired && !o.hasEquals)) {
            session.errorReport(rules.noWord);
            return -1;
        }
        const int row = matchOptionWord(words, o.word);
        if (row < 0) {
            session.errorReport(rules.unknownWord);
            if (rules.afterUnknown) session.errorReport(rules.afterUnknown);
            return -1;
        }
        if (apply(row, o.value) != 1) return -1;
    }
    return 1;
}

void throwUnknownOption(std::string_view word) {
    throw std::invalid_argument("no option is named " + std::string(word));
}

bool readYesNo(const MString& value, bool& flag) {
    const MString v = value.lower();
    if (v == "yes" || v == "y")
        flag = true;
    else if (v == "no" || v == "n")
        flag = false;
    else
        return false;
    return true;
}

bool readWholeNumber(const MString& value, double low, double high, int& out) {
    if (!value.isNumber()) return false;
    const double v = value.toDouble();
    if (!(v >= low && v <= high) || v != std::floor(v)) return false;
    out = static_cast<int>(v);
    return true;
}

int choiceOf(const MString& value, std::initializer_list<const char*> words) {
    int k = 0;
    for (const char* w : words) {
        if (value == w) return k;
        ++k;
    }
    return -1;
}

}  // namespace ordena
