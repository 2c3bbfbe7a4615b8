// The statement reader and the command executor.
#include <new>
#include <stdexcept>

#include "base/number_format.h"
#include "command/parse.h"
#include "command/reader.h"
#include "command/session_fixture.h"

namespace ordena::test {
namespace {

class ReaderTest : public SessionTest {
protected:
    ReaderTest() { recordAllCommandsBut({"let"}); }
};

TEST_F(ReaderTest, CommandWordsMatchByPrefixInAnyLetterCase) {
    EXPECT_EQ(run("Estimate; ESTIMATE; est; estimates;"), 1);
    ASSERT_EQ(calls.size(), 4u);
    for (const Call& c : calls) EXPECT_EQ(c.word, "estimates");

    calls.clear();
    EXPECT_EQ(run("e;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{" Ambiguous command word"});
    EXPECT_TRUE(calls.empty());

    shell.clear();
    EXPECT_EQ(run("estimatex; title never;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Unknown command or argument: 'estimatex'"});
    EXPECT_EQ(shell.output, "=>estimatex;\r\n");

    shell.clear();
    EXPECT_EQ(run("TITLEX;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Unknown command or argument: 'titlex'"});
}

TEST_F(ReaderTest, EveryCommandWordReachesItsOwnHandler) {
    for (int k = 0; k < kCommandCount; ++k) {
        if (std::string(kCommandWords[k]) == "let") continue;
        calls.clear();
        ASSERT_EQ(exec(kCommandWords[k]), 1) << kCommandWords[k];
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].word, kCommandWords[k]);
    }
}

TEST_F(ReaderTest, ArgumentTextKeepsWhatFollowsTheWord) {
    EXPECT_EQ(run("show!table=1; show  a  b ; fit<<x; plot>>y;title;"), 1);
    EXPECT_EQ(calls, (std::vector<Call>{{"show", "!table=1"},
                                        {"show", "  a  b "},
                                        {"fit", "<<x"},
                                        {"plot", ">>y"},
                                        {"title", ""}}));
    // The echo collapses runs of blanks.
    EXPECT_EQ(outputLines()[1], "=> show a b ;");
}

TEST_F(ReaderTest, CommentsAreRemovedWithoutABlank) {
    EXPECT_EQ(run("title A/*x*/B;/* a\nwhole ; line */title C;"), 1);
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " AB"}, {"title", " C"}}));
}

TEST_F(ReaderTest, MisplacedCommentMarkersStopTheRunBeforeItStarts) {
    for (const char* script : {"x */ y /* z */", "/* x /* y */", "title a; /* open", "title a; */", "/*/* x */"}) {
        shell.clear();
        calls.clear();
        EXPECT_EQ(run(script), -1) << script;
        EXPECT_EQ(shell.errors, std::vector<std::string>{" Comment characters not in correct order"}) << script;
        EXPECT_TRUE(calls.empty()) << script;
        EXPECT_EQ(shell.output, "") << script;
    }
}

TEST_F(ReaderTest, EveryKindOfLineEndJoinsLinesWithoutABlank) {
    EXPECT_EQ(run("format responses 1-10\npid 11-15;\r\nformat a\r\nb;\rformat c\rd;\n\rformat e\n\r\nf;"), 1);
    EXPECT_EQ(calls, (std::vector<Call>{{"format", " responses 1-10pid 11-15"},
                                        {"format", " ab"},
                                        {"format", " cd"},
                                        {"format", " ef"}}));
}

TEST_F(ReaderTest, StatementEndsAndEmptyStatements) {
    EXPECT_EQ(run("title a; \t  "), 1);
    EXPECT_EQ(calls.size(), 1u);

    calls.clear();
    shell.clear();
    EXPECT_EQ(run("title a; title b; reset"), -1);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Statement doesn't end with semi-colon"});

    // An empty statement ends the run silently after its echo.
    calls.clear();
    shell.clear();
    EXPECT_EQ(run("title a; ; title b;"), -1);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_TRUE(shell.errors.empty());
    EXPECT_EQ(shell.output, "=>title a;\r\n=> ;\r\n");

    // Quotes do not protect a semicolon; tabs count as blanks.
    calls.clear();
    EXPECT_EQ(run("title \"a;b\";\ttitle\tc;"), -1);
    ASSERT_GE(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, " \"a");
}

TEST_F(ReaderTest, AFailingStatementEndsTheRunAndKeepsEarlierEffects) {
    recordCommand("model", -1);
    EXPECT_EQ(run("let x=1; title a; model b; title c;"), -1);
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " a"}, {"(failing)", " b"}}));
    EXPECT_NE(session.tokens.find("x"), nullptr);
}

TEST_F(ReaderTest, LetDefinesTokensUsedByLaterStatements) {
    // The value of c brings a semicolon: "q,r" becomes a statement of its own.
    EXPECT_EQ(run("let a=x, b=y/z, c = p|q$r ;title %a%-%b%-%c%;"), -1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, " x-y=z-p");
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Unknown command or argument: 'q,r'"});
    EXPECT_EQ(*session.tokens.find("b"), "y=z");
    EXPECT_EQ(*session.tokens.find("c"), "p;q,r");
}

TEST_F(ReaderTest, LetReplacesInPlaceAndWarns) {
    EXPECT_EQ(run("let a=x, b=y; let a=w;"), 1);
    EXPECT_EQ(shell.warnings, std::vector<std::string>{"Existing token a has been replaced"});
    ASSERT_EQ(session.tokens.size(), 2);
    EXPECT_EQ(session.tokens.entries()[0].first, "a");
    EXPECT_EQ(session.tokens.entries()[0].second, "w");

    shell.clear();
    EXPECT_EQ(run("let ;"), 1);
    EXPECT_TRUE(session.tokens.empty());
    EXPECT_EQ(shell.warnings, std::vector<std::string>{"All tokens have been cleared"});
}

TEST_F(ReaderTest, BadLetItemFailsAfterDefiningTheEarlierOnes) {
    EXPECT_EQ(run("let a=1, =, b=2;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Error in set argument"});
    EXPECT_NE(session.tokens.find("a"), nullptr);
    EXPECT_EQ(session.tokens.find("b"), nullptr);

    shell.clear();
    EXPECT_EQ(run("let a=1,,b=2;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Error in set argument"});
}

TEST_F(ReaderTest, TokenErrorsAndUnresolvedTokens) {
    // Without tokens, "%" is left alone but warned about.
    EXPECT_EQ(run("title 50%;"), 1);
    EXPECT_EQ(shell.warnings, std::vector<std::string>{"Command 'title 50%' contains an unresolved token"});
    EXPECT_EQ(calls.back().arguments, " 50%");

    shell.clear();
    EXPECT_EQ(run("let n=5; show %n%; show %m%;"), 1);
    EXPECT_EQ(calls[1].arguments, " 5");
    EXPECT_EQ(calls[2].arguments, " %m%");
    EXPECT_EQ(shell.warnings, std::vector<std::string>{"Command ' show %m%' contains an unresolved token"});

    shell.clear();
    calls.clear();
    EXPECT_EQ(run("show %n%%n%;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Adjacent tokens are not permitted"});
    EXPECT_TRUE(calls.empty());

    shell.clear();
    EXPECT_EQ(run("title a; show %n;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Non-matching token symbols in string: title a; show %n;"});
    EXPECT_TRUE(calls.empty());  // the check covers the whole script before it runs
}

// Text that tokens make larger than a script may be is refused before it
// is built whole.
TEST_F(ReaderTest, SubstitutionStopsAtTheScriptCap) {
    session.tokens.define("a", MString(std::string(kMaxScriptBytes / 4, 'x')));
    EXPECT_EQ(run("show %a% %a%;"), 1);
    EXPECT_EQ(calls.back().arguments.size(), kMaxScriptBytes / 2 + 2);
    calls.clear();
    EXPECT_EQ(run("show %a% %a% %a% %a% %a% %a%;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"The script grows beyond 67108864 characters as its tokens are "
                                                     "substituted"});
    EXPECT_TRUE(calls.empty());
}

TEST_F(ReaderTest, TokensDefinedByAStatementApplyToTheRestOfTheScript) {
    // Once tokens exist, the whole rest of the script is checked before its next statement.
    EXPECT_EQ(run("title a; let t=1; title %t%; title 5%;"), -1);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Non-matching token symbols in string:  title %t%; title 5%;"});
}

TEST_F(ReaderTest, AStatementTakingHalfOfATokenPairFails) {
    EXPECT_EQ(run("let z=1; title %a;b%; title ok;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Non-matching token symbols in string:  title %a"});
    EXPECT_TRUE(calls.empty());
}

TEST_F(ReaderTest, ATokenValueHoldingPercentIsSubstitutedAgain) {
    EXPECT_EQ(run("let p=%q%, q=deep; title %p%; title %p%;"), 1);
    EXPECT_EQ(calls[0].arguments, " deep");
    EXPECT_EQ(calls[1].arguments, " deep");

    // The rest of the script is substituted again before each statement, so
    // a value that brings a token of its own is resolved in a second round,
    // and a semicolon in that token's value splits the statement.
    calls.clear();
    shell.clear();
    EXPECT_EQ(run("let s=x|y, r=%s%; title a; title %r%;"), -1);
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " a"}, {"title", " x"}}));
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Unknown command or argument: 'y'"});
}

TEST_F(ReaderTest, LoopsExpandBeforeAnythingRuns) {
    EXPECT_EQ(run("title first; dofor i=1,2,3; title run %i%; enddo; title last;"), 1);
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " first"},
                                        {"title", " run 1"},
                                        {"title", " run 2"},
                                        {"title", " run 3"},
                                        {"title", " last"}}));
    // The let statements of the expansion come first in the output, and warn about nothing.
    std::vector<std::string> lines = outputLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "=>let i=1;");
    EXPECT_EQ(lines[2], "=>let i=3;");
    EXPECT_EQ(lines[3], "=>title first;");
    EXPECT_TRUE(shell.warnings.empty());
    EXPECT_EQ(*session.tokens.find("i"), "3");
    EXPECT_TRUE(session.ws.settings.warnings);
}

TEST_F(ReaderTest, LoopMarkersInAnyCaseAndQuotedValues) {
    EXPECT_EQ(run("DoFor i=x y,\"u v\";title %i%;ENDDO;"), 1);
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " x"}, {"title", " y"}, {"title", " u v"}}));
}

TEST_F(ReaderTest, BlankBeforeTheLoopsLastSemicolonLeavesAnEmptyStatement) {
    EXPECT_EQ(run("dofor i=1,2; title %i%; enddo ; title never;"), -1);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_TRUE(shell.errors.empty());
}

TEST_F(ReaderTest, LoopStructureErrors) {
    EXPECT_EQ(run("title a; dofor i=1; title b;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Loop specification error"});
    shell.clear();
    EXPECT_EQ(run("enddo; dofor i=1;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Loop specification error"});
    shell.clear();
    EXPECT_EQ(run("dofor i=1; dofor j=2; enddo; enddo;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{" Nested loops not permitted"});
    EXPECT_TRUE(calls.empty());
    // The markers are found inside longer words too.
    shell.clear();
    EXPECT_EQ(run("title redoform;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Loop specification error"});
}

TEST_F(ReaderTest, LoopErrorsAreReportedButTheScriptGoesOn) {
    EXPECT_EQ(run("dofor ; title x; enddo; title after;"), 1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Error in dofor argument"});
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " after"}}));

    shell.clear();
    calls.clear();
    EXPECT_EQ(run("dofor i=1,2; title %i%% ; enddo; title after;"), 1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Non-matching token symbols in string:  title %i%% ; "});
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " after"}}));

    shell.clear();
    calls.clear();
    EXPECT_EQ(run("dofor i=1,\"2; title %i%; enddo; title after;"), 1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Quote marks not matching in code, recode or score statement"});
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " after"}}));
}

TEST_F(ReaderTest, TheEchoGoesToTheLogFileToo) {
    ScratchDirectory scratch;
    ASSERT_TRUE(session.ws.files.logFile.open("log.zrl", "w"));
    session.ws.files.logFileName = "log.zrl";
    EXPECT_EQ(run("title   a;  estimatex;"), -1);
    session.ws.files.closeLogFile();
    EXPECT_EQ(readFile("log.zrl"), "\n =>title a;\n\n => estimatex;\nUnknown command or argument: 'estimatex'\n");
}

int throwsBadAlloc(Session&, const MString&) { throw std::bad_alloc(); }
int throwsRuntimeError(Session&, const MString&) { throw std::runtime_error("broken"); }
int throwsFatal(Session&, const MString&) { fatalExit("Fatal error: dtoMString format too large"); }

TEST_F(ReaderTest, ExceptionsFromAHandlerBecomeAFailedStatement) {
    session.handlers[18] = throwsBadAlloc;  // show
    EXPECT_EQ(run("show; title never;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Not enough memory to run the statement"});
    EXPECT_TRUE(calls.empty());

    shell.clear();
    session.handlers[18] = throwsRuntimeError;
    EXPECT_EQ(run("show;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"The statement failed: broken"});

    // Only the front end catches the end of the program.
    session.handlers[18] = throwsFatal;
    EXPECT_THROW(run("show;"), FatalExit);
}

TEST_F(ReaderTest, ExitEndsTheRunSuccessfully) {
    session.handlers[11] = standardHandlers()[11];
    EXPECT_EQ(run("title a; exit; title b;"), 1);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_TRUE(session.exitRequested);
}

TEST_F(ReaderTest, AStatementOfDelimitersOnlyFailsSilently) {
    EXPECT_EQ(exec(" ! > <"), -1);
    EXPECT_TRUE(shell.errors.empty());
    EXPECT_EQ(shell.output, "=> ! > <;\r\n");
}

}  // namespace
}  // namespace ordena::test
