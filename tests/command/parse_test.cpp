// The parsing helpers shared by the handlers, and the output helpers.
#include <filesystem>

#include "base/textfile.h"
#include "command/parse.h"
#include "command/session_fixture.h"

namespace ordena::test {
namespace {

TEST(FirstToken, SkipsDelimitersAndGivesTheRun) {
    MString token;
    int first = 0, last = 0;
    EXPECT_EQ(firstToken("  ab,c d", 0, " ,", token, first, last), 1);
    EXPECT_EQ(token, "ab");
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 3);
    EXPECT_EQ(firstToken("  ab,c d", 4, " ,", token, first, last), 1);
    EXPECT_EQ(token, "c");
    EXPECT_EQ(first, 5);
    EXPECT_EQ(firstToken(" , ", 0, " ,", token, first, last), -1);
    EXPECT_EQ(token, "");
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
    EXPECT_EQ(firstToken("abc", 10, " ", token, first, last), -1);
    EXPECT_EQ(firstToken("abc", -3, " ", token, first, last), 1);
    EXPECT_EQ(token, "abc");
}

TEST(MatchKeyword, PrefixesAmbiguityAndUnknownWords) {
    ScopedCapture capture;
    const char* const table[] = {"parameters", "plot", "pvalues", "post"};
    EXPECT_EQ(matchKeyword("PARAM", table, 4), 0);
    EXPECT_EQ(matchKeyword("pl", table, 4), 1);
    EXPECT_EQ(matchKeyword("Post", table, 4), 3);
    EXPECT_TRUE(capture.shell.errors.empty());
    EXPECT_EQ(matchKeyword("p", table, 4), -1);
    EXPECT_EQ(matchKeyword("po", table, 4), 3);
    EXPECT_EQ(matchKeyword("plots", table, 4), -1);
    EXPECT_EQ(matchKeyword("ÄPlot", table, 4), -1);
    EXPECT_EQ(capture.shell.errors, (std::vector<std::string>{" Ambiguous command word",
                                                              "Unknown command or argument: 'plots'",
                                                              "Unknown command or argument: 'Äplot'"}));
    std::vector<MString> words = {"yes", "no"};
    EXPECT_EQ(matchKeyword("N", words), 1);
}

TEST(SplitArguments, OptionsAndRedirectionInEitherOrder) {
    struct Case {
        const char* text;
        const char* arguments;
        const char* options;
        const char* file;
    };
    const Case cases[] = {
        {" a b", " a b", "", ""},
        {" a >>f.txt", " a ", "", "f.txt"},
        {" a ! x=1", " a ", " x=1", ""},
        {" a !x >> f", " a ", "x ", " f"},
        {" a >> f !x", " a ", "x", " f "},
        {"!t=1!u", "", "t=1!u", ""},
        {" a > b", " a > b", "", ""},
        {" a >>", " a ", "", ""},
    };
    for (const Case& c : cases) {
        SplitStatement s = splitArguments(c.text);
        EXPECT_EQ(s.arguments, c.arguments) << c.text;
        EXPECT_EQ(s.options, c.options) << c.text;
        EXPECT_EQ(s.file, c.file) << c.text;
    }
    SplitStatement in = splitArgumentsIn(" m.des !x << fit.txt >> out");
    EXPECT_EQ(in.arguments, " m.des ");
    EXPECT_EQ(in.options, "x ");
    EXPECT_EQ(in.file, " fit.txt >> out");
}

TEST(SplitValueList, QuotedValuesKeepBlanksAndCommas) {
    ScopedCapture capture;
    std::vector<MString> values;
    EXPECT_EQ(splitValueList(" a,b  c,\"u v, w\",x\"y", values), 1);
    EXPECT_EQ(values, (std::vector<MString>{"a", "b", "c", "u v, w", "x\"y"}));

    values.clear();
    EXPECT_EQ(splitValueList("a \"b c", values), -1);
    EXPECT_EQ(values, std::vector<MString>{"a"});
    values.clear();
    EXPECT_EQ(splitValueList("a \"\" c", values), -1);
    EXPECT_EQ(capture.shell.errors,
              (std::vector<std::string>{"Quote marks not matching in code, recode or score statement",
                                        "Nothing between quote marks in code, recode or score statement"}));
    values.clear();
    EXPECT_EQ(splitValueList("  , ", values), 1);
    EXPECT_TRUE(values.empty());
}

class OutputTest : public SessionTest {
protected:
    ScratchDirectory scratch;
};

TEST_F(OutputTest, FileExistsOnlyForReadableFiles) {
    writeFile("here.txt", "");
    std::filesystem::create_directory("dir");
    EXPECT_TRUE(fileExists("here.txt"));
    EXPECT_FALSE(fileExists("dir"));
    EXPECT_FALSE(fileExists("absent.txt"));
    EXPECT_FALSE(fileExists(MString(std::string("here.txt\0x", 10))));
}

TEST_F(OutputTest, ConfirmOverwriteAsksOnlyForExistingFilesWhileWarningsAreOn) {
    writeFile("old.txt", "x");
    shell.confirmAnswer = false;
    EXPECT_TRUE(confirmOverwrite(session, "new.txt"));
    EXPECT_TRUE(shell.questions.empty());
    EXPECT_FALSE(confirmOverwrite(session, "old.txt"));
    EXPECT_EQ(shell.questions, std::vector<std::string>{"File old.txt already exists. Replace?"});

    shell.clear();
    session.ws.settings.warnings = false;
    EXPECT_TRUE(confirmOverwrite(session, "old.txt"));
    EXPECT_TRUE(shell.questions.empty());
}

TEST_F(OutputTest, PrintGoesToTheFileOrElseToThePane) {
    TextFile file;
    ASSERT_TRUE(file.open("out.txt", "w"));
    printText(session, "to file", &file);
    printLines(session, {"a", "b"}, &file);
    file.close();
    EXPECT_EQ(readFile("out.txt"), "to filea\nb\n");
    EXPECT_EQ(shell.output, "");

    printText(session, "closed ", &file);
    printText(session, "none ");
    printLines(session, {"c", "d"});
    EXPECT_EQ(shell.output, "closed none c\r\nd\r\n");
}

TEST_F(OutputTest, TheLineEndFollowsTheDestination) {
    TextFile file;
    ASSERT_TRUE(file.open("out.txt", "w"));
    {
        LineEndScope scope(session, &file);
        EXPECT_EQ(session.lineEnd, "\n");
        LineEndScope pane(session, nullptr);
        EXPECT_EQ(session.lineEnd, "\n");
    }
    EXPECT_EQ(session.lineEnd, "\r\n");
}

TEST_F(OutputTest, ReportsAreCopiedToTheLogFile) {
    ASSERT_TRUE(session.ws.files.logFile.open("log.zrl", "w"));
    session.ws.files.logFileName = "log.zrl";
    session.ws.settings.warnings = false;
    session.errorReport("an error");
    session.warningReport("a hidden warning");
    session.yesNoQuestion("a question?");
    session.informationBox("not logged");
    session.shutdown();
    EXPECT_FALSE(session.ws.files.logFile.isOpen());
    EXPECT_EQ(readFile("log.zrl"), "an error\na hidden warning\na question?\n");
    EXPECT_TRUE(shell.warnings.empty());
}

TEST_F(OutputTest, ThePollForStopAsksEvenWithWarningsOff) {
    session.ws.settings.warnings = false;
    EXPECT_FALSE(session.pollForStop());
    shell.stopRequests = 1;
    shell.yesNoAnswer = false;
    EXPECT_FALSE(session.pollForStop());
    EXPECT_EQ(shell.questions, std::vector<std::string>{"Do you want to interrupt the current analysis?"});
    EXPECT_EQ(shell.status.back(), "0:Estimation Continuing");
    shell.stopRequests = 1;
    shell.yesNoAnswer = true;
    EXPECT_TRUE(session.pollForStop());
    EXPECT_EQ(shell.status.back(), "0:Estimation Stopped");
    EXPECT_FALSE(session.ws.settings.warnings);
}

}  // namespace
}  // namespace ordena::test
