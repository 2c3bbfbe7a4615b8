// The statements' option tables: each word reaches its own row, the words
// the dialogs write reach the rows they mean, the guide documents every
// option and no option it does not have, and the one reader cuts and
// reports as each statement always did.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/descriptives.h"
#include "analysis/generate.h"
#include "analysis/itanal.h"
#include "analysis/simulate.h"
#include "command/option_table.h"
#include "command/session_fixture.h"
#include "support/capture_shell.h"
#include "command/set_reset.h"
#include "data/format.h"
#include "estimation/estimate_command.h"
#include "plot/plot_options.h"
#include "report/export.h"
#include "report/import.h"
#include "report/show_command.h"

namespace ordena::test {
namespace {

// A table as the checks see it: its statement, its words and the words its
// dialogs write.
struct TableView {
    std::string statement;
    const OptionWords* words;
    std::vector<std::string> dialogWords;  // per row, empty when none
};

template <typename Target>
TableView viewOf(const OptionTable<Target>& table) {
    TableView v{table.rules().statement, &table.words(), {}};
    for (const OptionRow<Target>& row : table.rows()) v.dialogWords.push_back(row.dialogWord ? row.dialogWord : "");
    return v;
}

std::vector<TableView> allTables() {
    return {viewOf(estimateOptionTable()), viewOf(generateOptionTable()),   viewOf(simulateOptionTable()),
            viewOf(descriptivesOptionTable()), viewOf(itanalOptionTable()), viewOf(showOptionTable()),
            viewOf(plotOptionTable()),     viewOf(setOptionTable()),        viewOf(datafileOptionTable()),
            {"export", &exportKeywords(), {}},
            {"import", &importKeywords(), {}}};
}

TEST(OptionTables, EveryWordAndDialogWordReachesItsOwnRow) {
    CaptureShell shell;
    ShellScope scope(shell);
    for (const TableView& t : allTables()) {
        const OptionWords& words = *t.words;
        ASSERT_FALSE(words.empty()) << t.statement;
        std::set<std::string_view> seen;
        for (std::size_t k = 0; k < words.size(); ++k) {
            SCOPED_TRACE(t.statement + " " + std::string(words[k]));
            EXPECT_TRUE(seen.insert(words[k]).second) << "twice";
            // A whole word that began another would be ambiguous, and never
            // reach its row.
            EXPECT_EQ(matchOptionWord(*t.words, MString(std::string(words[k]))), static_cast<int>(k));
            std::string upper(words[k]);
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(matchOptionWord(*t.words, MString(upper)), static_cast<int>(k));
            if (k < t.dialogWords.size() && !t.dialogWords[k].empty()) {
                EXPECT_EQ(matchOptionWord(*t.words, MString(t.dialogWords[k])), static_cast<int>(k)) << t.dialogWords[k];
            }
        }
    }
}

// The options the user guide lists for each statement: the backquoted words
// in the first column of the tables headed Option, Setting or Keyword in
// the statement's section, and the words written as word= in the
// section's syntax block.
struct GuideSection {
    std::set<std::string> listed;  // in the first column of an option table
    std::set<std::string> written;  // as word= anywhere in the section
};

bool isWordChar(char c) { return (c >= 'a' && c <= 'z') || c == '_'; }

// The words written `like_this` (letters, underscores and slashes between
// backticks). Hand-scanned: <regex> trips GCC's uninitialised-use warning
// under the sanitizer build.
std::vector<std::string> quotedWords(const std::string& s) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '`') { ++i; continue; }
        std::size_t j = i + 1;
        while (j < s.size() && (isWordChar(s[j]) || s[j] == '/')) ++j;
        if (j > i + 1 && j < s.size() && s[j] == '`') {
            out.push_back(s.substr(i + 1, j - i - 1));
            i = j + 1;
        } else {
            ++i;
        }
    }
    return out;
}

// The words written as word= (the run of letters and underscores before each '=').
std::vector<std::string> assignedWords(const std::string& s) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '=') continue;
        std::size_t b = i;
        while (b > 0 && isWordChar(s[b - 1])) --b;
        if (b < i) out.push_back(s.substr(b, i - b));
    }
    return out;
}

std::map<std::string, GuideSection> guideSections() {
    std::ifstream in(std::string(ORDENA_TEST_DATA) + "/../docs/statements.md");
    std::map<std::string, GuideSection> sections;
    std::string line, current;
    bool inOptionTable = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) {
            current = line.substr(3);
            inOptionTable = false;
            continue;
        }
        if (current.empty()) continue;
        GuideSection& s = sections[current];
        if (line.rfind("| Option |", 0) == 0 || line.rfind("| Setting |", 0) == 0 ||
            line.rfind("| Keyword |", 0) == 0) {
            inOptionTable = true;
            continue;
        }
        if (line.rfind("|", 0) != 0) inOptionTable = false;
        if (inOptionTable && line.rfind("|---", 0) != 0) {
            const std::string first = line.substr(1, line.find('|', 1) - 1);
            for (const std::string& w : quotedWords(first)) s.listed.insert(w);
        }
        for (const std::string& w : assignedWords(line)) s.written.insert(w);
    }
    return sections;
}

TEST(OptionTables, TheGuideDocumentsEveryOptionAndNoOther) {
    const std::map<std::string, GuideSection> guide = guideSections();
    ASSERT_TRUE(guide.count("estimate")) << "the guide was not read";
    // simulate takes the options of generate and of estimate as well.
    const std::map<std::string, std::vector<std::string>> alsoIn = {{"simulate", {"generate", "estimate"}}};
    for (const TableView& t : allTables()) {
        ASSERT_TRUE(guide.count(t.statement)) << t.statement;
        std::vector<std::string> sections{t.statement};
        if (alsoIn.count(t.statement))
            for (const std::string& s : alsoIn.at(t.statement)) sections.push_back(s);
        std::set<std::string> words;
        for (std::string_view w : *t.words) {
            words.insert(std::string(w));
            bool documented = false;
            for (const std::string& s : sections) {
                const GuideSection& g = guide.at(s);
                // A section without an option table writes its options in
                // its syntax block.
                documented = documented || g.listed.count(std::string(w)) ||
                             (g.listed.empty() && g.written.count(std::string(w)));
            }
            EXPECT_TRUE(documented) << t.statement << " option " << w << " is not in the guide";
        }
        for (const std::string& listed : guide.at(t.statement).listed)
            EXPECT_TRUE(words.count(listed)) << "the guide lists " << t.statement << " option " << listed
                                             << ", which the statement does not have";
    }
}

class OptionListTest : public SessionTest {};

// The one reader keeps each statement's own cutting and reports.
TEST_F(OptionListTest, EachStatementKeepsItsCuttingAndReports) {
    struct Target {
        std::vector<std::string> seen;
    };
    auto table = [](OptionListRules rules) {
        auto record = [](const OptionValue& v, Target& t) {
            t.seen.push_back(v.text.str());
            return v.text == "bad" ? v.refuse() : 1;
        };
        return OptionTable<Target>(rules, {{"alpha", OptionKind::Text, "refused alpha", record},
                                           {"albatross", OptionKind::Text, "refused albatross", record},
                                           {"beta", OptionKind::Text, "refused beta", record}});
    };
    struct Case {
        OptionListRules rules;
        const char* text;
        int result;
        std::vector<std::string> seen;
        std::vector<std::string> errors;
    };
    const OptionListRules plain{"test", "no word", "unknown word"};
    const OptionListRules twice{"test", "no word", "unknown word", "and again"};
    const OptionListRules equals{"test", "no word", "unknown word", nullptr, true};
    const OptionListRules blanks{"test", "no word", "unknown word", nullptr, false, true};
    const OptionListRules repeated{"test", "no word", "unknown word", nullptr, false, false, true};
    const Case cases[] = {
        {plain, " alph = 1 ,beta=  x y ", 1, {"1", "x y"}, {}},
        {plain, "BETA", 1, {""}, {}},
        {plain, "beta=a=b", 1, {"a=b"}, {}},
        {plain, "beta=1,", -1, {"1"}, {"no word"}},
        {plain, "=3", -1, {}, {"no word"}},
        {plain, "al=1", -1, {}, {" Ambiguous command word", "unknown word"}},
        {twice, "gamma=1", -1, {}, {"Unknown command or argument: 'gamma'", "unknown word", "and again"}},
        {plain, "alpha=bad, beta=1", -1, {"bad"}, {"refused alpha"}},
        {equals, "beta", -1, {}, {"no word"}},
        {equals, "beta=", 1, {""}, {}},
        {blanks, "be ta = x y", 1, {"xy"}, {}},
        {plain, "beta==x", 1, {"=x"}, {}},
        {repeated, "beta===x", 1, {"x"}, {}},
    };
    // Unknown and ambiguous words are reported through the shell in use.
    ShellScope scope(shell);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        shell.clear();
        Target t;
        EXPECT_EQ(table(c.rules).read(session, c.text, t), c.result);
        EXPECT_EQ(t.seen, c.seen);
        EXPECT_EQ(shell.errors, c.errors);
    }
}

TEST(OptionTables, AWordNoRowHasIsTheCallersFault) {
    EXPECT_THROW(estimateOptionTable().row("iter"), std::invalid_argument);
    EXPECT_EQ(estimateOptionTable().dialogText("iterations"), "iter=");
    EXPECT_EQ(estimateOptionTable().dialogText("nodes"), "nodes=");
}

}  // namespace
}  // namespace ordena::test
