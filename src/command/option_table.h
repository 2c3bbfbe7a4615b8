// The options of a statement, declared once. Each row gives an option's
// word, the kind of value it takes, what it sets and the report that refuses
// a value it cannot take. The statement reads its option list through its
// table, the dialogs compose their options from it, and a test holds it to
// the user guide, so an option added to a table is matched, composed and
// documented without a count or a case number kept by hand. A word is named
// by any unambiguous prefix of it; that rule lives here (and in the statement
// reader's matchKeyword) only.
#pragma once

#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "base/mstring.h"
#include "command/option_words.h"

namespace ordena {

class Session;

// What an option's value is, for the guide and the dialogs.
enum class OptionKind {
    Number,  // a real number
    Whole,   // a whole number
    Choice,  // one word of a fixed set
    YesNo,   // yes or no
    File,    // a file name
    Text,    // free text: a variable, a prefix, a condition
    List     // values separated by ":"
};

// The value one option of a list was given, as the setter of its row sees it.
class OptionValue {
public:
    OptionValue(Session& session, const MString& text, const char* refusal)
        : session(session), text(text), refusal_(refusal) {}

    Session& session;
    const MString text;  // trimmed

    MString lower() const { return text.lower(); }
    // Reports the row's refusal (or message); -1.
    int refuse() const;
    int refuse(const MString& message) const;
    const char* refusal() const { return refusal_; }

private:
    const char* refusal_;
};

// Thrown for a word no row of a table has: a fault of the code that asked.
[[noreturn]] void throwUnknownOption(std::string_view word);

template <typename Target>
struct OptionRow {
    const char* word;     // lowercase, whole
    OptionKind kind;
    const char* refusal;  // the report for a value the option cannot take
    // Sets the target from the value: 1, or -1 after its report.
    std::function<int(const OptionValue&, Target&)> set;
    // The shorter word the dialogs write, when they do not write the whole.
    const char* dialogWord = nullptr;
};

// How a statement's option list is cut into options, and what it reports
// for an option without a word or with a word that names none.
struct OptionListRules {
    const char* statement;                // the statement word (the guide's section)
    const char* noWord;                   // an option without a word
    const char* unknownWord;              // a word that names no option
    const char* afterUnknown = nullptr;   // reported after unknownWord, when given
    bool equalsRequired = false;          // an option without "=" counts as one without a word
    bool blanksRemoved = false;           // the blanks of the whole list go first
    bool repeatedEquals = false;          // "==" (or more) reads as one "="
};

// The words of a table (command/option_words.h), in its order: the row a
// word names by an unambiguous prefix, -1 after the report of an unknown or
// ambiguous word; and the row whose whole word this is, -1 when none is.
int matchOptionWord(const OptionWords& words, const MString& word);
int findOptionWord(const OptionWords& words, std::string_view word);

// The cuts of an option list: each option's word and value, both trimmed;
// the value starts after the first "=" (after a run of them under
// repeatedEquals). hasEquals tells whether there was one.
struct CutOption {
    MString word, value;
    bool hasEquals = false;
};
std::vector<CutOption> cutOptionList(const MString& text, const OptionListRules& rules);

// Reads an option list: for each option the row its word names, then the
// row's action. 1, or -1 after the first report (options read before it
// have taken effect).
int readOptionList(Session& session, const MString& text, const OptionListRules& rules, const OptionWords& words,
                   const std::function<int(int row, const MString& value)>& apply);

template <typename Target>
class OptionTable {
public:
    OptionTable(OptionListRules rules, std::initializer_list<OptionRow<Target>> rows) : rules_(rules), rows_(rows) {
        for (const OptionRow<Target>& row : rows_) words_.push_back(row.word);
    }

    const OptionListRules& rules() const { return rules_; }
    const std::vector<OptionRow<Target>>& rows() const { return rows_; }
    const OptionWords& words() const { return words_; }
    int size() const { return static_cast<int>(rows_.size()); }

    // Reads the option list into target. 1, or -1 after the report.
    int read(Session& session, const MString& text, Target& target) const {
        return readOptionList(session, text, rules_, words_, [&](int row, const MString& value) {
            const OptionRow<Target>& r = rows_[static_cast<std::size_t>(row)];
            return r.set(OptionValue(session, value, r.refusal), target);
        });
    }
    // The row of a whole word; a word no row has is a fault of the caller
    // (std::invalid_argument).
    const OptionRow<Target>& row(std::string_view word) const {
        const int k = findOptionWord(words_, word);
        if (k < 0) throwUnknownOption(word);
        return rows_[static_cast<std::size_t>(k)];
    }
    // The word a dialog writes for the option, followed by "=".
    MString dialogText(std::string_view word) const {
        const OptionRow<Target>& r = row(word);
        return MString(r.dialogWord ? r.dialogWord : r.word) + "=";
    }

private:
    OptionListRules rules_;
    std::vector<OptionRow<Target>> rows_;
    OptionWords words_;
};

// The words of a list of keyword rows, word(row) of each.
template <typename Rows, typename Word>
OptionWords wordsOf(const Rows& rows, Word word) {
    OptionWords w;
    for (const auto& row : rows) w.push_back(word(row));
    return w;
}

// Values many options take: yes/y or no/n (case folded) into flag; false
// for any other value.
bool readYesNo(const MString& value, bool& flag);
// A whole number within [low, high] into out; false for any other value.
bool readWholeNumber(const MString& value, double low, double high, int& out);
// The position of value among words (compared as they stand), or -1.
int choiceOf(const MString& value, std::initializer_list<const char*> words);

// Rows of the common kinds whose target is one member: a real number, and
// yes/y or no/n.
template <typename Target>
OptionRow<Target> numberOption(const char* word, const char* refusal, double Target::*target,
                               const char* dialogWord = nullptr) {
    return {word, OptionKind::Number, refusal,
            [target](const OptionValue& v, Target& t) {
                if (!v.text.isNumber()) return v.refuse();
                t.*target = v.text.toDouble();
                return 1;
            },
            dialogWord};
}
template <typename Target>
OptionRow<Target> yesNoOption(const char* word, const char* refusal, bool Target::*target) {
    return {word, OptionKind::YesNo, refusal,
            [target](const OptionValue& v, Target& t) { return readYesNo(v.text, t.*target) ? 1 : v.refuse(); }};
}

}  // namespace ordena
