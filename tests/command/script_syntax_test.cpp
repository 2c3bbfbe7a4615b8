// The colouring of scripts: what each stretch of a line is, the state a
// line leaves for the next, and that the command words it marks are those
// the executor runs.
#include "command/script_syntax.h"
#include "command/session_fixture.h"

namespace ordena::test {
namespace {

using K = SyntaxKind;

// The spans of the lines of a script, as "kind:text" pieces.
std::vector<std::string> classify(const std::vector<std::u16string>& lines) {
    static const char* const names[] = {"cmd", "unknown", "opt", "comment", "quoted", "token", "loop"};
    std::vector<std::string> out;
    SyntaxState state;
    for (const std::u16string& line : lines) {
        for (const SyntaxSpan& s : classifyLine(line, state)) {
            std::string text;
            for (char16_t c : line.substr(static_cast<std::size_t>(s.start), static_cast<std::size_t>(s.length)))
                text += c < 128 ? static_cast<char>(c) : '?';
            out.push_back(std::string(names[static_cast<int>(s.kind)]) + ":" + text);
        }
        state = SyntaxState::unpack(state.pack());  // as an editor keeps it between lines
    }
    return out;
}

using V = std::vector<std::string>;

TEST(ScriptSyntax, CommandAndOptionWordsFromTheTables) {
    EXPECT_EQ(classify({u"Estimate ! method=montecarlo, NOD=40, bogus=1 >> out.txt;"}),
              (V{"cmd:Estimate", "opt:method", "opt:NOD"}));
    EXPECT_EQ(classify({u"est!iter = 5;   set seed=7, warnings =no;"}),
              (V{"cmd:est", "opt:iter", "cmd:set", "opt:seed", "opt:warnings"}));
    // A word before "=" that is not the statement's is plain; so are values.
    EXPECT_EQ(classify({u"title seed=7; show ! tables=1:2, estimates=wle;"}),
              (V{"cmd:title", "cmd:show", "opt:tables", "opt:estimates"}));
    EXPECT_EQ(classify({u"estimatex; e; %c% 1;"}), (V{"unknown:estimatex", "unknown:e", "token:%c%"}));
}

TEST(ScriptSyntax, CommentsQuotesTokensAndLoopsAcrossLines) {
    EXPECT_EQ(classify({u"/* one", u" two; */ codes 1;"}), (V{"comment:/* one", "comment: two; */", "cmd:codes"}));
    // "/*/" is a whole comment, as the reader reads it.
    EXPECT_EQ(classify({u"/*/ title x;"}), (V{"comment:/*/", "cmd:title"}));
    EXPECT_EQ(classify({u"title \"a b", u"c\" x;"}), (V{"cmd:title", "quoted:\"a b", "quoted:c\""}));
    // A semicolon ends the statement inside quotes too.
    EXPECT_EQ(classify({u"title \"a;codes 1;"}), (V{"cmd:title", "quoted:\"a", "cmd:codes"}));
    EXPECT_EQ(classify({u"dofor k=1,2;", u"  title %k% \u00e9;", u"enddo;"}),
              (V{"loop:dofor", "cmd:title", "token:%k%", "loop:enddo"}));
    // The command word may come on the line after a comment.
    EXPECT_EQ(classify({u"/* c */", u"", u"  model item;"}), (V{"comment:/* c */", "cmd:model"}));
    // A statement runs on: its options on the next line are still its own.
    EXPECT_EQ(classify({u"estimate !", u"  nodes=5;"}), (V{"cmd:estimate", "opt:nodes"}));
}

TEST(ScriptSyntax, StateSurvivesPacking) {
    for (bool comment : {false, true})
        for (bool quote : {false, true})
            for (int part = 0; part < 4; ++part)
                for (int command = -1; command < kCommandCount; ++command) {
                    SyntaxState s;
                    s.comment = comment;
                    s.quote = quote;
                    s.part = static_cast<SyntaxState::Part>(part);
                    s.command = command;
                    EXPECT_GE(s.pack(), 0);
                    EXPECT_EQ(SyntaxState::unpack(s.pack()), s);
                }
    EXPECT_EQ(SyntaxState::unpack(-1), SyntaxState{});
}

// Every first word the colouring calls a command is one the executor runs,
// and every other one it refuses: the words, their prefixes, other letter
// cases and near misses.
class SyntaxAgrees : public SessionTest {
protected:
    SyntaxAgrees() { recordAllCommandsBut({}); }
};

TEST_F(SyntaxAgrees, WithTheExecutor) {
    std::vector<std::string> words;
    for (int k = 0; k < kCommandCount; ++k) {
        const std::string w = kCommandWords[k];
        for (std::size_t n = 1; n <= w.size(); ++n) words.push_back(w.substr(0, n));
        words.push_back(w + "x");
        std::string upper = w;
        for (char& c : upper) c = static_cast<char>(c - 'a' + 'A');
        words.push_back(upper);
    }
    for (const std::string& w : words) {
        SyntaxState state;
        const std::u16string line(w.begin(), w.end());
        const std::vector<SyntaxSpan> spans = classifyLine(line + u" x;", state);
        ASSERT_FALSE(spans.empty()) << w;
        calls.clear();
        shell.clear();
        const int result = executeStatement(session, MString(w + " x"));
        EXPECT_EQ(spans[0].kind == SyntaxKind::Command, result == 1 && calls.size() == 1) << w;
    }
}

// Each statement's colour list is its handler's: a word coloured as an
// option is one the handler takes without complaint about the word.
TEST(ScriptSyntax, OptionWordsAreTheHandlersOwn) {
    for (int k = 0; k < kCommandCount; ++k)
        for (std::string_view w : optionWordsOf(k)) {
            EXPECT_FALSE(w.empty());
            EXPECT_EQ(w.data()[w.size()], '\0');
        }
    EXPECT_FALSE(optionWordsOf(-1).size());
    int withWords = 0;
    for (int k = 0; k < kCommandCount; ++k) withWords += optionWordsOf(k).empty() ? 0 : 1;
    EXPECT_EQ(withWords, 8);  // estimate, plot, descriptives, itanal, show, set, simulate, generate
}

}  // namespace
}  // namespace ordena::test
