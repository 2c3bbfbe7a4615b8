// The log file: the logfile clause, what the session copies into it, and
// the iteration and sufficient statistics records.
#include <algorithm>

#include "estimation/hooks.h"
#include "report/export_fixture.h"

namespace ordena::test {
namespace {

using Messages = std::vector<std::string>;

class LogFileTest : public ExportFixture {};

TEST_F(LogFileTest, TheLogRecordsEchoesReportsAndQuestions) {
    ASSERT_EQ(executeStatement(session, "export logfile >> run.zrl"), 1);
    EXPECT_EQ(ws.files.logFileName, "run.zrl");
    EXPECT_EQ(shell.status.back(), "1:Log File: run.zrl");
    executeStatement(session, "title  A   run");
    executeStatement(session, "export");
    session.warningReport("careful");
    session.yesNoQuestion("Go on?");
    EXPECT_EQ(readFile("run.zrl"), "\n =>title A run;\n"
                                   "\n =>export;\nNothing specified in export statement\n"
                                   "careful\nGo on?\n");

    // A new log replaces the old one, which keeps what it had.
    ASSERT_EQ(run(handleExport, "logfile >> second.zrl"), 1);
    session.errorReport("into the second");
    EXPECT_EQ(readFile("second.zrl"), "into the second\n");
    EXPECT_EQ(readFile("run.zrl").find("into the second"), std::string::npos);

    // A reset closes it.
    ASSERT_EQ(executeStatement(session, "reset"), 1);
    EXPECT_FALSE(ws.files.logFile.isOpen());
    EXPECT_NE(std::find(shell.status.begin(), shell.status.end(), "1:Log File: NONE"), shell.status.end());
    session.errorReport("after reset");
    EXPECT_EQ(readFile("second.zrl"), "into the second\n\n =>reset;\n");
}

TEST_F(LogFileTest, CancelledOrFailedLogLeavesNone) {
    ASSERT_EQ(run(handleExport, "logfile >> old.zrl"), 1);
    writeFile("exists.zrl", "keep me");
    shell.confirmAnswer = false;
    EXPECT_EQ(run(handleExport, "logfile >> exists.zrl"), 1);
    EXPECT_EQ(shell.warnings, (Messages{"A logfile will not be written"}));
    EXPECT_TRUE(ws.files.logFileName.isEmpty());
    EXPECT_FALSE(ws.files.logFile.isOpen());
    EXPECT_EQ(shell.status.back(), "1:Log File: NONE");
    EXPECT_EQ(readFile("exists.zrl"), "keep me");
    EXPECT_EQ(readFile("old.zrl"), "A logfile will not be written\n");

    shell.confirmAnswer = true;
    EXPECT_EQ(run(handleExport, "logfile >> no/such/dir.zrl"), -1);
    EXPECT_EQ(shell.errors, (Messages{"The attempt to open the log file as failed"}));
    EXPECT_TRUE(ws.files.logFileName.isEmpty());
    EXPECT_FALSE(ws.files.logFile.isOpen());
    EXPECT_EQ(shell.status.back(), "1:Log File: NONE");
}

TEST_F(LogFileTest, IterationRecordWithAndWithoutEstimates) {
    Matrix sigma(2, 2);
    sigma[0][0] = 4.0;
    sigma[0][1] = sigma[1][0] = 1.0;
    sigma[1][1] = 1.0;
    Matrix beta(2, 2);
    beta[0][0] = 0.5;
    beta[0][1] = -0.25;
    beta[1][0] = 1.0;
    beta[1][1] = 2.0;
    Vector xsi(2);
    xsi[0][0] = -1.5;
    xsi[1][0] = 0.75;
    IterationChanges changes{0.0125, -0.5, 0.25, 3.0};
    EXPECT_EQ(iterationRecordText(1, 1234.5678, 1234.5678, true, sigma, beta, xsi, changes).str(),
              std::string(55, '.') +
                  "\nIteration =    1"
                  "\n   Deviance=      1234.568 \n"
                  "   Covariance \n"
                  "      4.00000      1.00000\r\n"
                  "      1.00000      1.00000\r\n"
                  "   Correlation \n"
                  "      1.00000      0.50000\r\n"
                  "      0.50000      1.00000\r\n"
                  "   Regression Coefficients \n"
                  "      0.50000     -0.25000      1.00000      2.00000"
                  "\n   Item Parameters \n"
                  "         1  -1.50000\r\n"
                  "         2   0.75000\r\n"
                  "Maximum change in item parameters was    0.01250\n"
                  "Maximum change in regression parameters was   -0.50000\n"
                  "Maximum change in covariance parameters was    0.25000\n");
    // From the second iteration on the deviance change follows; a deviance
    // worse than the best by 0.1 or more shows the best beside it.
    EXPECT_EQ(iterationRecordText(12, 1000.25, 1000.0, false, sigma, beta, xsi, changes).str(),
              std::string(55, '.') +
                  "\nIteration =   12"
                  "\n   Deviance=      1000.250 (     1000.000)\n"
                  "Maximum change in item parameters was    0.01250\n"
                  "Maximum change in regression parameters was   -0.50000\n"
                  "Maximum change in covariance parameters was    0.25000\n"
                  "Change in the deviance was      3.000\n");
    // A zero variance gives a zero correlation.
    sigma[1][1] = 0.0;
    EXPECT_NE(iterationRecordText(2, 1.0, 1.0, true, sigma, beta, xsi, changes)
                  .str()
                  .find("   Correlation \n      1.00000      0.00000\r\n      0.00000      0.00000\r\n"),
              std::string::npos);
}

TEST_F(LogFileTest, TheDriversHookWritesOnlyWhileALogIsOpen) {
    ws.est.iteration = 3;
    ws.est.deviance = ws.est.bestDeviance = 50.0;
    ws.est.sigma = identity(1);
    ws.est.beta = Matrix(1, 1);
    ws.est.xsi = Vector(1);
    ws.settings.logestimates = false;
    writeIterationLog(session, IterationChanges{});  // no log: nothing, no failure
    ASSERT_EQ(run(handleExport, "logfile >> it.zrl"), 1);
    writeIterationLog(session, IterationChanges{0.5, 0.0, 0.0, 1.0});
    EXPECT_EQ(readFile("it.zrl"), iterationRecordText(3, 50.0, 50.0, false, ws.est.sigma, ws.est.beta, ws.est.xsi,
                                                      IterationChanges{0.5, 0.0, 0.0, 1.0})
                                      .str());
}

TEST_F(LogFileTest, JmlIterationRecord) {
    JmlIterationChanges c;
    c.caseMaximum = {0.5, -0.25};
    c.caseAt = {7, 12};
    c.caseAverage = {0.125, 0.0625};
    c.itemMaximum = -0.75;
    c.itemAt = 3;
    c.itemAverage = 0.1;
    EXPECT_EQ(jmlIterationRecordText(2, c).str(),
              std::string(55, '.') +
                  "\nIteration =    2"
                  "\nChanges:"
                  "\nMaximum for case parameter estimates ==>    0.50000 (Case:      7)\n"
                  "  -0.25000 (Case:     12)\n"
                  "Average for case parameter estimates ==>    0.12500    0.06250 "
                  "\nMaximum for item parameter estimates ==>   -0.75000 (Parameter:  3)"
                  "\nAverage for item parameter estimates ==>    0.10000\n");
}

}  // namespace
}  // namespace ordena::test
