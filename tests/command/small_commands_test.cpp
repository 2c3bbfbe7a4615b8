// title, submit, directory, system, exit and quit.
#include <filesystem>

#include "command/session_fixture.h"

namespace ordena::test {
namespace {

class SmallCommandsTest : public SessionTest {
protected:
    ScratchDirectory scratch;
};

TEST_F(SmallCommandsTest, TitleIsTrimmed) {
    EXPECT_EQ(run("title   My study  ;"), 1);
    EXPECT_EQ(session.ws.title, "My study");
    EXPECT_EQ(run("title ;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Nothing specified after 'title' keyword"});
    EXPECT_EQ(session.ws.title, "My study");
}

TEST_F(SmallCommandsTest, SubmitRunsTheFileAndTheSubmittingScriptGoesOn) {
    writeFile("inner.zrc", "title one;\nlet t=two;\r\nestimatex;\ntitle never;\n");
    EXPECT_EQ(run("submit inner.zrc; title after %t%;"), 1);
    EXPECT_EQ(outputLines(), (std::vector<std::string>{"=>submit inner.zrc;", "=>title one;", "=>let t=two;",
                                                       "=>estimatex;", "=> title after two;"}));
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Unknown command or argument: 'estimatex'"});
    EXPECT_EQ(session.ws.title, "after two");
    EXPECT_EQ(session.ws.inSubmit, 0);
}

TEST_F(SmallCommandsTest, SubmittedLinesJoinWithoutASeparator) {
    writeFile("joined.zrc", "title a\nb;\rtitle /* a\r\ncomment */c\r\n;");
    EXPECT_EQ(run("submit joined.zrc;"), 1);
    EXPECT_EQ(outputLines()[1], "=>title ab;");
    EXPECT_EQ(session.ws.title, "c");
}

TEST_F(SmallCommandsTest, SubmitNamesMayHoldBlanks) {
    writeFile("my commands.zrc", "title blank name;");
    EXPECT_EQ(run("submit my commands.zrc ;"), 1);
    EXPECT_EQ(session.ws.title, "blank name");

    EXPECT_EQ(run("submit other commands.zrc;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{" Error opening submit file other"});
}

TEST_F(SmallCommandsTest, SubmitFailures) {
    writeFile("empty.zrc", "");
    std::filesystem::create_directory("folder.zrc");
    for (const char* name : {"empty.zrc", "folder.zrc", "missing.zrc"}) {
        shell.clear();
        EXPECT_EQ(run(std::string("submit ") + name + "; title no;"), -1) << name;
        EXPECT_EQ(shell.errors, std::vector<std::string>{std::string(" Error opening submit file ") + name});
    }
    shell.clear();
    EXPECT_EQ(run("submit  ;"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Nothing specified after 'submit' keyword"});
}

TEST_F(SmallCommandsTest, SubmitNestsAndAFileSubmittingItselfEnds) {
    writeFile("outer.zrc", "title outer; submit middle.zrc; title outer again;");
    writeFile("middle.zrc", "submit inner.zrc; title middle;");
    writeFile("inner.zrc", "title inner; reset x");
    EXPECT_EQ(run("submit outer.zrc;"), 1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Statement doesn't end with semi-colon"});
    EXPECT_EQ(session.ws.title, "outer again");

    shell.clear();
    writeFile("self.zrc", "submit self.zrc;");
    EXPECT_EQ(run("submit self.zrc; title survived;"), 1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Submit files are nested too deeply: self.zrc"});
    EXPECT_EQ(session.ws.title, "survived");
    EXPECT_EQ(session.submitDepth, 0);
}

TEST_F(SmallCommandsTest, ExitInASubmittedFileEndsEverything) {
    writeFile("bye.zrc", "title a; exit; title b;");
    EXPECT_EQ(run("submit bye.zrc; title c;"), 1);
    EXPECT_TRUE(session.exitRequested);
    EXPECT_EQ(session.ws.title, "a");
    EXPECT_EQ(session.ws.inSubmit, 0);
}

TEST_F(SmallCommandsTest, QuitEndsTheRunLikeExit) {
    EXPECT_EQ(run("quit; title b;"), 1);
    EXPECT_TRUE(session.exitRequested);
    EXPECT_EQ(session.ws.title, kDefaultTitle);
}

TEST_F(SmallCommandsTest, DirectoryPrintsTheWorkingDirectory) {
    std::filesystem::create_directory("Sub Dir");
    EXPECT_EQ(run("set directory=Sub Dir; directory;"), 1);
    EXPECT_EQ(outputLines()[2], (scratch.path() / "Sub Dir").string());
}

TEST_F(SmallCommandsTest, SystemRunsTheShellAndWaits) {
    EXPECT_EQ(run("system echo $((6*7)) > answer.txt && printf 'x' >> answer.txt; system exit 3;"), 1);
    EXPECT_EQ(readFile("answer.txt"), "42\nx");
    EXPECT_TRUE(shell.errors.empty());
}

}  // namespace
}  // namespace ordena::test
