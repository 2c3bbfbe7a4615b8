// Work files that disappear or shrink while an estimation runs, and the
// user's stop: each ends in a clear report and a failed statement, or goes
// on exactly as if nothing had happened.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>

#include "support/script_session.h"

namespace ordena::test {
namespace {

std::string smallData() {
    std::mt19937_64 rng(3);
    std::normal_distribution<double> normal(0, 1);
    std::uniform_real_distribution<double> u(0, 1);
    std::ostringstream out;
    for (int n = 0; n < 200; ++n) {
        const double t = normal(rng);
        char head[16];
        std::snprintf(head, sizeof head, "%5d ", n + 1);
        out << head;
        for (int i = 0; i < 8; ++i) out << (u(rng) < 1 / (1 + std::exp(-1.0 + 0.3 * i - t)) ? '1' : '0');
        out << "\n";
    }
    return out.str();
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        s.writeFile("f.dat", smallData());
        ASSERT_EQ(s.runAllOf("datafile f.dat;\nformat pid 1-5 responses 7-14;\nmodel item;\n"), 1);
    }
    // Acts once, at the given poll (about one poll per case and parameter).
    void atPoll(int n, std::function<void()> action) {
        s.shell.onPoll = [this, n, action, count = 0]() mutable {
            if (++count == n) action();
        };
    }
    std::string modelFile() const { return s.session.ws.data.passes.modelFile.str(); }
    ScriptSession s;
};

TEST_F(Faults, ModelFileRemovedWhileIterating) {
    atPoll(500, [this] { std::filesystem::remove(modelFile()); });
    EXPECT_EQ(s.run("estimate ! fit=no;"), -1);
    ASSERT_FALSE(s.shell.errors.empty());
    EXPECT_NE(s.shell.errors.back().find("Open failure to scratch file"), std::string::npos) << s.shell.errors.back();
    EXPECT_EQ(s.session.ws.est.estimated, 0);
}

TEST_F(Faults, ModelFileTruncatedWhileIterating) {
    atPoll(500, [this] { std::filesystem::resize_file(modelFile(), std::filesystem::file_size(modelFile()) / 2 + 3); });
    EXPECT_EQ(s.run("estimate ! fit=no;"), -1);
    ASSERT_FALSE(s.shell.errors.empty());
    EXPECT_NE(s.shell.errors.back().find("ends before its last record"), std::string::npos) << s.shell.errors.back();
    EXPECT_EQ(s.session.ws.est.estimated, 0);
}

TEST_F(Faults, CaseScoreFileRemovedDuringTheCaseEstimatesIsWrittenAgain) {
    // The case estimates hold the records in memory and write the whole file
    // at the end of each pass.
    s.shell.onPoll = [this]() {
        const std::string name = s.session.ws.est.caseScoreFile.str();
        if (s.session.ws.est.estimated == 1 && std::filesystem::exists(name)) std::filesystem::remove(name);
    };
    ASSERT_EQ(s.run("estimate ! abilities=yes, fit=no;"), 1);
    s.shell.onPoll = nullptr;
    const std::string name = s.session.ws.est.caseScoreFile.str();
    ASSERT_TRUE(std::filesystem::exists(name));
    // D = 1, V = 5: 1 * (6 + 4 + 5) doubles per case.
    EXPECT_EQ(std::filesystem::file_size(name), 200u * 15u * 8u);
}

TEST_F(Faults, AnExportFileThatCannotBeWrittenFailsTheEstimate) {
    ASSERT_EQ(s.run("export parameters >> /dev/full;"), 1);
    EXPECT_EQ(s.run("estimate ! fit=no;"), -1);
    EXPECT_FALSE(s.shell.errors.empty());
    // The estimates themselves are kept for the reports.
    EXPECT_EQ(s.session.ws.est.estimated, 1);
}

TEST_F(Faults, StopAnsweredNoGoesOnAndYesEndsTheStatement) {
    ASSERT_EQ(s.run("estimate ! fit=no;"), 1);
    const double deviance = s.session.ws.est.deviance;
    s.shell.stopRequests = 1;
    s.shell.yesNoAnswer = false;
    ASSERT_EQ(s.run("estimate ! fit=no;"), 1);
    EXPECT_DOUBLE_EQ(s.session.ws.est.deviance, deviance);
    EXPECT_FALSE(s.shell.questions.empty());
    s.shell.stopRequests = 1;
    s.shell.yesNoAnswer = true;
    EXPECT_EQ(s.run("estimate ! fit=no;"), -1);
    EXPECT_EQ(s.shell.questions.back(), "Do you want to interrupt the current analysis?");
}

// A covariance file with a negative variance is bad input like any other:
// a clear refusal, never the end of the program, whatever the method.
TEST_F(Faults, ImportedCovarianceThatIsNoCovarianceIsRefused) {
    const std::string message =
        "The covariance matrix given by the imported anchor and initial values is not positive definite";
    s.writeFile("negative.cov", "1 1 -0.5\n");
    for (const char* kind : {"anchor_covariance", "init_covariance"})
        for (const char* method : {"montecarlo", "gauss", "quadrature"}) {
            SCOPED_TRACE(std::string(kind) + " " + method);
            ASSERT_EQ(s.run(std::string("reset; datafile f.dat; format pid 1-5 responses 7-14; model item; import ") +
                            kind + " << negative.cov;"),
                      1);
            s.shell.errors.clear();
            EXPECT_NO_THROW(EXPECT_EQ(s.run(std::string("estimate ! fit=no, nodes=20, method=") + method + ";"), -1));
            EXPECT_EQ(s.shell.errors, std::vector<std::string>{message});
            EXPECT_EQ(s.session.ws.est.estimated, 0);
        }

    // A variance of zero is still a covariance matrix (a degenerate one).
    s.writeFile("zero.cov", "1 1 0\n");
    ASSERT_EQ(s.run("import anchor_covariance << zero.cov;"), 1);
    s.shell.errors.clear();
    s.run("estimate ! fit=no, nodes=20, method=montecarlo;");
    for (const std::string& e : s.shell.errors) EXPECT_NE(e, message);

    s.writeFile("good.cov", "1 1 0.8\n");
    ASSERT_EQ(s.run("import anchor_covariance << good.cov;"), 1);
    ASSERT_EQ(s.run("estimate ! fit=no, method=montecarlo, nodes=200;"), 1);
    EXPECT_FLOAT_EQ(static_cast<float>(s.session.ws.est.sigma[0][0]), 0.8f);
}

}  // namespace
}  // namespace ordena::test
