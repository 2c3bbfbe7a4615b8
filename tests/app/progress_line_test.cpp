// The text of the batch program's progress line.
#include <gtest/gtest.h>

#include <string>

#include "app/console/progress_line.h"

namespace ordena {
namespace {

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
    ProgressState s{"show", 0, true, 0.0, " "};
    EXPECT_EQ(progressLineText(s, 0.3, 80), "show | 0:00");
    s = ProgressState{"show", 0, true, 0.0, "The latent distributions will now be built"};
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

}  // namespace
}  // namespace ordena
