// What the estimation driver tells the progress window: the iteration
// number before each E-step, the changes the output pane shows, and a
// close on every way out of the iterations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/script_session.h"

namespace ordena::test {
namespace {

// The number printed after a title in the output pane, the n-th time.
double printed(const std::string& output, const std::string& title, int n) {
    std::size_t pos = 0;
    for (int k = 0; k <= n; ++k) {
        pos = output.find(title, pos);
        if (pos == std::string::npos) return 1e300;
        pos += title.size();
    }
    return std::strtod(output.c_str() + pos, nullptr);
}

const char* const kSetUp = "datafile rasch_sim.dat; format pid 1-5 responses 7-21; model item;";

TEST(ProgressReport, FollowsTheIterationsAndShowsThePrintedChanges) {
    ScriptSession s;
    s.copyReference("rasch_sim.dat");
    ASSERT_EQ(s.runAllOf(std::string(kSetUp) + "estimate ! iterations=3;"), 1);
    const std::vector<std::string> expected = {"open",    "iteration 1", "changes", "iteration 2", "changes",
                                               "iteration 3", "changes", "close"};
    EXPECT_EQ(s.shell.progress, expected);
    ASSERT_EQ(s.shell.progressChangesSeen.size(), 3u);
    for (int t = 0; t < 3; ++t) {
        const ProgressChanges& c = s.shell.progressChangesSeen[static_cast<std::size_t>(t)];
        // The output pane prints five decimals; the window gets the same numbers.
        EXPECT_NEAR(c.item, printed(s.shell.output, "Item parameter estimates ==> ", t), 5e-6);
        EXPECT_NEAR(c.regression, printed(s.shell.output, "Mean estimate            ==> ", t), 5e-6);
        EXPECT_NEAR(c.covariance, printed(s.shell.output, "Variance estimate        ==> ", t), 5e-6);
        EXPECT_EQ(c.hasDeviance, t > 0);
        if (t > 0) {
            EXPECT_NEAR(c.deviance, printed(s.shell.output, "Change in the deviance is", t - 1), 5e-6);
        }
        EXPECT_EQ(c.regressionLabel.str(), "Mean");
        EXPECT_EQ(c.covarianceLabel.str(), "Variance");
    }
}

TEST(ProgressReport, ClosesWhenTheUserStopsAndLabelsARegression) {
    ScriptSession s;
    s.copyReference("rasch_sim.dat");
    ASSERT_EQ(s.runAllOf(std::string(kSetUp) + "regression pid;"), 1);
    // The first poll of the second iteration asks, and the answer is Yes.
    int polls = 0;
    s.shell.onPoll = [&] {
        if (s.shell.progress.size() == 4 && polls++ == 0) s.shell.stopRequests = 1;
    };
    EXPECT_EQ(s.run("estimate ! iterations=5;"), -1);
    const std::vector<std::string> expected = {"open", "iteration 1", "changes", "iteration 2", "close"};
    EXPECT_EQ(s.shell.progress, expected);
    ASSERT_EQ(s.shell.progressChangesSeen.size(), 1u);
    EXPECT_EQ(s.shell.progressChangesSeen[0].regressionLabel.str(), "Regression coefficients");
    EXPECT_EQ(s.shell.progressChangesSeen[0].covarianceLabel.str(), "Variance");
}

TEST(ProgressReport, JointMaximumLikelihoodShowsCaseAndItemChanges) {
    ScriptSession s;
    s.copyReference("rasch_sim.dat");
    ASSERT_EQ(s.runAllOf(std::string(kSetUp) + "estimate ! method=jml, iterations=2;"), 1);
    const std::vector<std::string> expected = {"open jml", "iteration 1", "changes", "changes", "iteration 2",
                                               "changes",  "changes",     "close"};
    EXPECT_EQ(s.shell.progress, expected);
    ASSERT_EQ(s.shell.progressChangesSeen.size(), 4u);
    for (int t = 0; t < 2; ++t) {
        // First the cases' largest change, then the items'.
        const ProgressChanges& cases = s.shell.progressChangesSeen[static_cast<std::size_t>(2 * t)];
        const ProgressChanges& items = s.shell.progressChangesSeen[static_cast<std::size_t>(2 * t + 1)];
        EXPECT_TRUE(cases.hasDeviance && !cases.hasItem);
        EXPECT_TRUE(!items.hasDeviance && items.hasItem);
        EXPECT_NEAR(cases.deviance, printed(s.shell.output, "Maximum for case parameter estimates ==> ", t), 5e-6);
        EXPECT_NEAR(items.item, printed(s.shell.output, "Maximum for item parameter estimates ==> ", t), 5e-6);
        EXPECT_TRUE(items.regressionLabel.isEmpty() && items.covarianceLabel.isEmpty());
    }
}

}  // namespace
}  // namespace ordena::test
