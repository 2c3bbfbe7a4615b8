// The batch program's quiet output and its progress line on a terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/console/console_shell.h"
#include "app/console/progress_line.h"

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

ProgressState estimating() {
    ProgressState s;
    s.statement = "estimate ! method=quadrature, nodes=60";
    s.iteration = 12;
    s.hasDeviance = true;
    s.deviance = 38708.047771;
    s.status = "EStep: 30%";
    return s;
}

TEST(ProgressLineText, ShowsStatementIterationDevianceClockAndStatus) {
    EXPECT_EQ(progressLineText(estimating(), 75.4, 200),
              "estimate ! method=quadrature, nodes=60 | Iteration 12 | Deviance 38708.04777 | 1:15 | EStep: 30%");
    // Outside the iterations: what there is, and no deviance without an
    // iteration.
    ProgressState s;
    s.statement = "show";
    s.hasDeviance = true;
    s.status = " ";
    EXPECT_EQ(progressLineText(s, 0.3, 80), "show | 0:00");
    s.status = "The latent distributions will now be built";
    EXPECT_EQ(progressLineText(s, 59.99, 80), "show | 0:59 | The latent distributions will now be built");
    EXPECT_EQ(progressLineText(s, 3723.0, 80), "show | 1:02:03 | The latent distributions will now be built");
    // Before the first deviance of the estimation.
    s = estimating();
    s.hasDeviance = false;
    EXPECT_EQ(progressLineText(s, 1.0, 200), "estimate ! method=quadrature, nodes=60 | Iteration 12 | 0:01 | EStep: 30%");
}

TEST(ProgressLineText, FitsTheTerminal) {
    // One column stays free, so that the terminal never wraps the line. The
    // statement gives way to the figures and the start of the status text,
    // which is cut at the edge.
    const std::string line = progressLineText(estimating(), 5.0, 80);
    EXPECT_EQ(line, "estimate ! metho... | Iteration 12 | Deviance 38708.04777 | 0:05 | EStep: 30%");
    ProgressState other = estimating();
    other.status = "MStep:Parameter 3";
    EXPECT_EQ(progressLineText(other, 5.0, 80),
              "estimate ! metho... | Iteration 12 | Deviance 38708.04777 | 0:05 | MStep:Parame");
    EXPECT_EQ(progressLineText(other, 5.0, 80).size(), 79u);
    // Before the deviance is known the statement keeps its length.
    other.hasDeviance = false;
    EXPECT_EQ(progressLineText(other, 5.0, 80), "estimate ! metho... | Iteration 12 | 0:05 | MStep:Parameter 3");
    // A wide terminal: the statement takes at most half of it.
    other.statement = std::string(120, 'x');
    EXPECT_EQ(progressLineText(other, 5.0, 201), std::string(97, 'x') + "... | Iteration 12 | 0:05 | MStep:Parameter 3");
    // Too narrow for a statement.
    EXPECT_EQ(progressLineText(estimating(), 5.0, 8), "Iterati");
    EXPECT_EQ(progressLineText(estimating(), 5.0, 0), "");
}

TEST(ProgressLineText, ControlCharactersAndWideTextCannotMoveTheCursor) {
    ProgressState s;
    s.statement = "title Caf\xC3\xA9\tstudy\r\n";
    s.status = "\x1b[2J";
    EXPECT_EQ(progressLineText(s, 0.0, 80), "title Caf\xC3\xA9 study | 0:00 | [2J");
    // The cut falls between characters, and a two-byte character is one
    // column.
    std::string e;
    for (int k = 0; k < 30; ++k) e += "\xC3\xA9";
    s.statement = "title " + e;
    s.status.clear();
    EXPECT_EQ(progressLineText(s, 0.0, 50), "title " + e.substr(0, 30) + "... | 0:00");
}

class QuietAndProgress : public ::testing::Test {
protected:
    QuietAndProgress() : out(std::tmpfile()), err(std::tmpfile()) {}
    ~QuietAndProgress() override {
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

TEST_F(QuietAndProgress, QuietLeavesOutEchoAndIterationsOnly) {
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

TEST_F(QuietAndProgress, WithoutATerminalNothingButTheMessages) {
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

TEST_F(QuietAndProgress, TheLineIsTakenOffBeforeMessagesAndAtTheEnd) {
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
    EXPECT_EQ(contents(err), "\r" + line);
    shell.warningReport("w");
    const std::string blank = "\r" + std::string(line.size(), ' ') + "\r";
    EXPECT_EQ(contents(err), "\r" + line + blank + "Warning: w\n");
    // Output to a file beside the terminal leaves the line alone.
    seconds += 70.0;
    shell.statusText("MStep:Parameter 2", 0);
    const std::string second = "estimate | Iteration 3 | 1:10 | MStep:Parameter 2";
    shell.appendOutput("Deviance = 1\r\n");
    // The next statement, and the end of the run, take it off.
    shell.appendEcho("=>show;\r\n");
    EXPECT_TRUE(shell.finish());
    EXPECT_EQ(contents(err), "\r" + line + blank + "Warning: w\n\r" + second + "\r" +
                                 std::string(second.size(), ' ') + "\r");
    EXPECT_EQ(contents(out), "=>estimate;\nDeviance = 1\n=>show;\n");
}

TEST_F(QuietAndProgress, OutputOnTheSameTerminalTakesTheLineOffFirst) {
    ConsoleShell shell(false, out, err);
    useClock(shell);
    shell.showProgress(true);
    shell.appendEcho("=>estimate;\r\n");
    seconds += 2.0;
    shell.statusText("Long statement status", 0);
    const std::string line = "estimate | 0:02 | Long statement status";
    const std::string blank = "\r" + std::string(line.size(), ' ') + "\r";
    shell.appendOutput("Deviance = 1\r\n");
    // At most ten drawings a second.
    seconds += 0.05;
    shell.statusText("Short", 0);
    EXPECT_EQ(contents(err), "\r" + line + blank);
    seconds += 0.07;
    EXPECT_FALSE(shell.takeStopRequest());
    const std::string shorter = "estimate | 0:02 | Short";
    EXPECT_EQ(contents(err), "\r" + line + blank + "\r" + shorter);
    // Unchanged, the line is drawn again once a second for its clock.
    seconds += 0.6;
    EXPECT_FALSE(shell.takeStopRequest());
    EXPECT_EQ(contents(err), "\r" + line + blank + "\r" + shorter);
    seconds += 0.6;
    EXPECT_FALSE(shell.takeStopRequest());
    const std::string later = "estimate | 0:03 | Short";
    EXPECT_EQ(contents(err), "\r" + line + blank + "\r" + shorter + "\r" + later);
    // A shorter line blanks what the longer one left.
    seconds += 0.15;
    shell.statusText("Long statement status", 0);
    shell.statusText("S", 0);
    seconds += 0.15;
    shell.statusText("S", 0);
    const std::string longer = "estimate | 0:03 | Long statement status";
    const std::string last = "estimate | 0:03 | S";
    EXPECT_EQ(contents(err), "\r" + line + blank + "\r" + shorter + "\r" + later + "\r" + longer + "\r" + last +
                                 std::string(longer.size() - last.size(), ' '));
    EXPECT_TRUE(shell.finish());
    EXPECT_EQ(contents(out), "=>estimate;\nDeviance = 1\n");
}

}  // namespace
}  // namespace ordena
