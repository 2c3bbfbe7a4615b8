// The batch front end's shell: one line per report on the error stream,
// the output pane on the output stream with LF line ends.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <string>

#include "app/console/console_shell.h"
#include "command/reader.h"
#include "command/session.h"
#include "plot/plot_document.h"

namespace ordena {
namespace {

std::string contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) s.append(buffer, n);
    return s;
}

class ConsoleShellTest : public ::testing::Test {
protected:
    ConsoleShellTest() : out(std::tmpfile()), err(std::tmpfile()) {}
    ~ConsoleShellTest() override {
        std::fclose(out);
        std::fclose(err);
    }
    // The shell's progress line reads this test's clock.
    void useClock(ConsoleShell& shell) {
        shell.progressLine().setClock([this] {
            return ProgressLine::Clock::time_point{} +
                   std::chrono::duration_cast<ProgressLine::Clock::duration>(std::chrono::duration<double>(seconds));
        });
    }
    std::FILE* out;
    std::FILE* err;
    double seconds = 1000.0;
};

TEST_F(ConsoleShellTest, ReportsAreOneLineEachWithTheirPrefix) {
    ConsoleShell shell(false, out, err);
    shell.errorReport(" Ambiguous command word");
    shell.warningReport("two\r\nlines\nand\rmore");
    shell.informationBox("from read failure");
    EXPECT_TRUE(shell.confirmQuestion("File x already exists. Replace?"));
    EXPECT_TRUE(shell.yesNoQuestion("Document has been modified.\nSave Changes?"));
    shell.statusText("Warnings: NO", 2);
    EXPECT_EQ(contents(err),
              "Error:  Ambiguous command word\n"
              "Warning: two lines and more\n"
              "General: from read failure\n"
              "Question: File x already exists. Replace? [OK]\n"
              "Question: Document has been modified. Save Changes? [Yes]\n");
    EXPECT_EQ(contents(out), "");
}

TEST_F(ConsoleShellTest, NoAnswersCancelAndNo) {
    ConsoleShell shell(true, out, err);
    EXPECT_FALSE(shell.confirmQuestion("File x already exists. Replace?"));
    EXPECT_FALSE(shell.yesNoQuestion("Do you want to interrupt the current analysis?"));
    EXPECT_EQ(contents(err),
              "Question: File x already exists. Replace? [Cancel]\n"
              "Question: Do you want to interrupt the current analysis? [No]\n");
}

TEST_F(ConsoleShellTest, OutputToAFullDeviceFailsTheStatementThatWroteIt) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    {
        ConsoleShell shell(false, full, err);
        EXPECT_TRUE(shell.outputFailure().isEmpty());
        Session session(shell);
        EXPECT_EQ(runScript(session, MString("title a; title b;")), -1);
        EXPECT_EQ(session.ws.title.str(), "a");  // the run ended after the first statement
        EXPECT_FALSE(shell.finish());
    }
    std::fclose(full);
    EXPECT_EQ(contents(err), "Error: The output could not be written: No space left on device\n");

    // The same statements to a working stream succeed.
    ConsoleShell shell(false, out, err);
    Session session(shell);
    EXPECT_EQ(runScript(session, MString("title a; title b;")), 1);
    EXPECT_TRUE(shell.finish());
}

TEST_F(ConsoleShellTest, OutputTurnsCrLfIntoLfAlsoAcrossCalls) {
    ConsoleShell shell(false, out, err);
    shell.appendOutput("=>title a;\r\n");
    shell.appendOutput("split\r");
    shell.appendOutput("");
    shell.appendOutput("\nlone\rcr\r");
    shell.appendOutput("x");
    shell.clearOutput();
    shell.appendOutput(std::string("zero\0byte\r", 10));
    shell.finish();
    EXPECT_EQ(contents(out), std::string("=>title a;\nsplit\nlone\rcr\rxzero\0byte\r", 36));
}

TEST_F(ConsoleShellTest, AnInterruptIsOneStopRequest) {
    ConsoleShell shell(false, out, err);
    ConsoleShell::catchSignals();
    EXPECT_FALSE(shell.takeStopRequest());
    std::raise(SIGINT);
    EXPECT_TRUE(shell.takeStopRequest());
    EXPECT_FALSE(shell.takeStopRequest());
    std::signal(SIGINT, SIG_DFL);
}

TEST_F(ConsoleShellTest, EachGraphIsWrittenAsPictureAndDocument) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "ordena-console-graphs";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string d = dir.string();
    {
        ConsoleShell shell(false, out, err);
        shell.setPlotDirectory(d);
        const int a = shell.openGraph("Item 1 - ICC");
        const int s = shell.createSeries(a, "Item 1 Expected Score");
        shell.appendPoint(a, s, 0.0, 1.0);
        shell.appendPoint(a, s, 1.0, 2.0);
        shell.openGraph("Item 1 - ICC");
        shell.openGraph("a/b");
        ASSERT_EQ(shell.finishGraphs(shell), 1);
        EXPECT_TRUE(shell.graphs().empty());
        CGraph back;
        MString message;
        ASSERT_EQ(readPlotDocument(d + "/Item 1 - ICC.zgf", back, message), 1) << message;
        ASSERT_EQ(back.series.size(), 1u);
        EXPECT_EQ(back.series[0].points.size(), 2u);
        for (const char* png : {"/Item 1 - ICC.png", "/Item 1 - ICC (2).png", "/a_b.png"}) {
            std::FILE* f = std::fopen((d + png).c_str(), "rb");
            ASSERT_NE(f, nullptr) << png;
            EXPECT_EQ(contents(f).substr(1, 3), "PNG");
            std::fclose(f);
        }
        shell.setPlotDirectory(d + "/missing");
        shell.openGraph("x");
        EXPECT_EQ(shell.finishGraphs(shell), -1);
    }
    EXPECT_EQ(contents(err), "General: Plot file written: " + d + "/Item 1 - ICC.png\n" +
                                 "General: Plot file written: " + d + "/Item 1 - ICC.zgf\n" +
                                 "General: Plot file written: " + d + "/Item 1 - ICC (2).png\n" +
                                 "General: Plot file written: " + d + "/Item 1 - ICC (2).zgf\n" +
                                 "General: Plot file written: " + d + "/a_b.png\n" +
                                 "General: Plot file written: " + d + "/a_b.zgf\n" +
                                 "Error: Error in creating file. (" + d + "/missing/x.png)\n");
    std::filesystem::remove_all(dir);
}

TEST_F(ConsoleShellTest, QuietLeavesOutEchoAndIterationsOnly) {
    ConsoleShell shell(false, out, err);
    shell.setQuiet(true);
    shell.appendEcho("=>estimate;\r\n");
    shell.appendOutput("No. of cases = 600\r\n");
    shell.appendIterationReport("\r\nIteration: 1  ...........................\r\n");
    shell.appendOutput("Iterations will terminate\r\n");
    shell.errorReport("Something");
    EXPECT_EQ(contents(out), "No. of cases = 600\nIterations will terminate\n");
    EXPECT_EQ(contents(err), "Error: Something\n");
}

TEST_F(ConsoleShellTest, WithoutATerminalNothingButTheMessages) {
    ConsoleShell shell(false, out, err);
    useClock(shell);
    shell.appendEcho("=>estimate;\r\n");
    seconds += 30.0;
    shell.progressIteration(1);
    shell.statusText("EStep: 30%", 0);
    shell.progressDeviance(100.0);
    EXPECT_FALSE(shell.takeStopRequest());
    shell.warningReport("w");
    EXPECT_TRUE(shell.finish());
    EXPECT_EQ(contents(out), "=>estimate;\n");
    EXPECT_EQ(contents(err), "Warning: w\n");
}

// What the progress line writes: the line, drawn from the start of the
// terminal's line, and the blanks that take it off again.
std::string drawn(const std::string& line) {
    std::string s(1, '\r');
    return s.append(line);
}
std::string takenOff(const std::string& line) {
    std::string s(1, '\r');
    s.append(line.size(), ' ');
    return s.append(1, '\r');
}

TEST_F(ConsoleShellTest, TheLineIsTakenOffBeforeMessagesAndAtTheEnd) {
    ConsoleShell shell(false, out, err);
    useClock(shell);
    shell.showProgress(false);
    shell.appendEcho("=>estimate;\r\n");
    // A statement that ends at once shows nothing.
    seconds += 0.2;
    shell.statusText("EStep: 0%", 0);
    EXPECT_EQ(contents(err), "");
    seconds += 0.1;
    shell.progressIteration(3);
    const std::string line = "estimate | Iteration 3 | 0:00 | EStep: 0%";
    EXPECT_EQ(contents(err), drawn(line));
    shell.warningReport("w");
    const std::string warning = drawn(line) + takenOff(line) + "Warning: w\n";
    EXPECT_EQ(contents(err), warning);
    // Output to a file beside the terminal leaves the line alone.
    seconds += 70.0;
    shell.statusText("MStep:Parameter 2", 0);
    const std::string second = "estimate | Iteration 3 | 1:10 | MStep:Parameter 2";
    shell.appendOutput("Deviance = 1\r\n");
    // The next statement, and the end of the run, take it off.
    shell.appendEcho("=>show;\r\n");
    EXPECT_TRUE(shell.finish());
    EXPECT_EQ(contents(err), warning + drawn(second) + takenOff(second));
    EXPECT_EQ(contents(out), "=>estimate;\nDeviance = 1\n=>show;\n");
}

TEST_F(ConsoleShellTest, OutputOnTheSameTerminalTakesTheLineOffFirst) {
    ConsoleShell shell(false, out, err);
    useClock(shell);
    shell.showProgress(true);
    shell.appendEcho("=>estimate;\r\n");
    seconds += 2.0;
    shell.statusText("Long statement status", 0);
    const std::string line = "estimate | 0:02 | Long statement status";
    shell.appendOutput("Deviance = 1\r\n");
    std::string expected = drawn(line) + takenOff(line);
    // At most ten drawings a second.
    seconds += 0.05;
    shell.statusText("Short", 0);
    EXPECT_EQ(contents(err), expected);
    seconds += 0.07;
    EXPECT_FALSE(shell.takeStopRequest());
    expected += drawn("estimate | 0:02 | Short");
    EXPECT_EQ(contents(err), expected);
    // Unchanged, the line is drawn again once a second for its clock.
    seconds += 0.6;
    EXPECT_FALSE(shell.takeStopRequest());
    EXPECT_EQ(contents(err), expected);
    seconds += 0.6;
    EXPECT_FALSE(shell.takeStopRequest());
    expected += drawn("estimate | 0:03 | Short");
    EXPECT_EQ(contents(err), expected);
    // A shorter line blanks what the longer one left.
    seconds += 0.15;
    shell.statusText("Long statement status", 0);
    shell.statusText("S", 0);
    seconds += 0.15;
    shell.statusText("S", 0);
    const std::string longer = "estimate | 0:03 | Long statement status";
    const std::string last = "estimate | 0:03 | S";
    expected += drawn(longer) + drawn(last) + std::string(longer.size() - last.size(), ' ');
    EXPECT_EQ(contents(err), expected);
    EXPECT_TRUE(shell.finish());
    EXPECT_EQ(contents(out), "=>estimate;\nDeviance = 1\n");
}

}  // namespace
}  // namespace ordena
