// The report writer and the show statement's argument, options and output
// destination.
#include <filesystem>

#include "report/report_fixture.h"
#include "report/show_command.h"

namespace ordena::test {

TEST(ReportWriterLayout, DateAndHeaderColumns) {
    std::tm when{};
    when.tm_wday = 2;
    when.tm_mon = 2;
    when.tm_mday = 7;
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_year = 106;
    EXPECT_EQ(reportDate(when).str(), "Tue Mar  7 14:05 2006");

    auto header = buildPageHeader("My title", when);
    EXPECT_EQ(header[0].str().substr(1), std::string(80, '='));
    EXPECT_EQ(header[0].str()[0], '\f');
    ASSERT_EQ(header[1].length(), 80);
    EXPECT_EQ(header[1].mid(0, 8).str(), "My title");
    EXPECT_EQ(header[1].mid(59, 21).str(), "Tue Mar  7 14:05 2006");
    EXPECT_TRUE(header[2].isEmpty());
    EXPECT_EQ(header[3].str(), std::string(80, '='));

    // A long title never runs into the date: without a blank it is cut
    // before column 58 and goes on, whole, on the next line; the table
    // title and the rule follow.
    auto longHeader = buildPageHeader(MString(std::string(100, 'T')), when);
    ASSERT_EQ(longHeader.size(), 5u);
    EXPECT_EQ(longHeader[1].length(), 80);
    EXPECT_EQ(longHeader[1].mid(0, 59).str(), std::string(58, 'T') + " ");
    EXPECT_EQ(longHeader[1].mid(59, 21).str(), "Tue Mar  7 14:05 2006");
    EXPECT_EQ(longHeader[2].str(), std::string(42, 'T'));
    EXPECT_TRUE(longHeader[3].isEmpty());
    EXPECT_EQ(longHeader[4].str(), std::string(80, '='));
    // With blanks it breaks at the last one that keeps column 58 free, and
    // the rest is broken at blanks into lines of at most 80 characters.
    std::string words;
    for (int k = 0; k < 30; ++k) words += "word" + std::to_string(k % 10) + " ";
    auto lines = titleLines(MString(words), "DATE");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].mid(0, 59).trim().str(), words.substr(0, 53));
    EXPECT_EQ(lines[0].mid(59, 4).str(), "DATE");
    EXPECT_EQ(lines[1].str(), words.substr(54, 77));
    EXPECT_EQ(lines[2].str(), words.substr(132, 47));
    // A title that fits keeps one line (58 characters leave a blank).
    EXPECT_EQ(titleLines(MString(std::string(58, 'x')), "DATE").size(), 1u);
}

TEST(ReportWriterLayout, PlaceAndCentreDropWhatFallsOutside) {
    MString line = reportLine(10);
    line.overlay("abcdef", 7);
    EXPECT_EQ(line.str(), "       abc");
    line = reportLine(10);
    line.centre("xy", 0, 10);
    EXPECT_EQ(line.str(), "    xy    ");
    line = reportLine(4);
    line.centre("abcdefgh", 0, 4);  // starts at -2
    EXPECT_EQ(line.str(), "cdef");
}

class ReportWriterTest : public ReportTest {};

TEST_F(ReportWriterTest, PaneGetsCrLfFileGetsLfAndTrailingBlanksGo) {
    {
        ReportWriter out(session);
        EXPECT_EQ(session.lineEnd.str(), "\r\n");
        out.line("abc   ");
        out.rawLine("de  ");
        ASSERT_TRUE(out.openFile("r.txt", false));
        EXPECT_EQ(session.lineEnd.str(), "\n");
        out.line("x  ");
        out.rawLine("y  ");
        out.text("z" + out.lineEnd());
    }
    EXPECT_EQ(shell.output, "abc\r\nde  \r\n");
    EXPECT_EQ(readText("r.txt"), "x\ny  \nz\n");
    EXPECT_EQ(session.lineEnd.str(), "\r\n");

    // Append mode keeps what the file holds.
    {
        ReportWriter out(session);
        ASSERT_TRUE(out.openFile("r.txt", true));
        out.line("more");
    }
    EXPECT_EQ(readText("r.txt"), "x\ny  \nz\nmore\n");
}

TEST_F(ReportWriterTest, FileThatCannotBeOpenedIsReportedAndOutputStaysInPane) {
    ReportWriter out(session);
    EXPECT_FALSE(out.openFile("no/such/dir/r.txt", false));
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_EQ(shell.errors[0], "Could not open the output file no/such/dir/r.txt");
    out.line("still here");
    EXPECT_EQ(shell.output, "still here\r\n");
}

TEST_F(ReportWriterTest, OverwriteQuestionOnlyForExistingFileWithWarningsOnAndNotInLaterReplications) {
    EXPECT_TRUE(prepareOutputFile(session, "new.txt"));
    EXPECT_TRUE(shell.questions.empty());
    writeText("old.txt", "x");
    shell.confirmAnswer = false;
    EXPECT_FALSE(prepareOutputFile(session, "old.txt"));
    ASSERT_EQ(shell.questions.size(), 1u);
    EXPECT_EQ(shell.questions[0], "File old.txt already exists. Replace?");
    session.ws.replication = 2;
    EXPECT_TRUE(prepareOutputFile(session, "old.txt"));
    session.ws.replication = -1;
    session.ws.settings.warnings = false;
    EXPECT_TRUE(prepareOutputFile(session, "old.txt"));
    EXPECT_EQ(shell.questions.size(), 1u);
}

class ShowTest : public ReportTest {
protected:
    void SetUp() override {
        buildModelFrom("datafile resp.dat; format responses 1-4; codes 0,1,2; model item + item*step;",
                       "0120\n1211\n2102\n0011\n1222\n2100\n");
        fillEstimates();
    }
    // Titles of the tables printed, in order.
    std::vector<std::string> titles() const {
        std::vector<std::string> result;
        auto lines = paneLines();
        for (std::size_t i = 0; i + 2 < lines.size(); ++i)
            if (!lines[i].empty() && lines[i][0] == '\f') result.push_back(lines[i + 2]);
        return result;
    }
};

TEST_F(ShowTest, RefusedBeforeAnEstimate) {
    session.ws.est.estimated = 0;
    EXPECT_EQ(exec("show"), -1);
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_EQ(shell.errors[0], "A model must be estimated before 'show' is permitted");
}

TEST_F(ShowTest, DefaultPrintsTablesOneToFiveInOrderAndJmlDropsThePopulation) {
    EXPECT_EQ(exec("show"), 1);
    std::vector<std::string> expected{"SUMMARY OF THE ESTIMATION", "TABLES OF RESPONSE MODEL PARAMETER ESTIMATES",
                                      "TABLES OF POPULATION MODEL PARAMETER ESTIMATES",
                                      "MAP OF LATENT DISTRIBUTIONS AND RESPONSE MODEL PARAMETER ESTIMATES",
                                      "MAP OF LATENT DISTRIBUTIONS AND THRESHOLDS"};
    EXPECT_EQ(titles(), expected);

    shell.clear();
    session.ws.est.method = EstimationMethod::Jml;
    EXPECT_EQ(exec("show par"), 1);
    auto jml = titles();
    ASSERT_EQ(jml.size(), 4u);
    EXPECT_EQ(jml[0], "SUMMARY OF THE ESTIMATION: JML");
    EXPECT_EQ(jml[2], "MAP OF LATENT DISTRIBUTIONS AND RESPONSE MODEL PARAMETER ESTIMATES: JML");

    shell.clear();
    EXPECT_EQ(exec("show p ! tables=3"), -1);
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_EQ(shell.errors[0], "Population parameters are not available with Joint Maximum Likelihood ");
    EXPECT_TRUE(shell.output.find("SUMMARY") == std::string::npos);
}

TEST_F(ShowTest, TableListSelectsAndOrders) {
    EXPECT_EQ(exec("show ! tables = 8 : 1:11:0 :7"), 1);
    std::vector<std::string> expected{"SUMMARY OF THE ESTIMATION", "TABLES OF GIN Thresholds",
                                      "TABLES OF GIN Item Parameters"};
    EXPECT_EQ(titles(), expected);
    EXPECT_TRUE(shell.errors.empty());

    shell.clear();
    EXPECT_EQ(exec("show ! tables=1-3"), -1);
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_EQ(shell.errors[0], "There is an illegal character in the 'table' option");
    EXPECT_EQ(shell.output.find("SUMMARY"), std::string::npos);

    shell.clear();
    EXPECT_EQ(exec("show ! tables=10"), -1);
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_EQ(shell.errors[0], "Error variance/covariance matrix not available unless FULL  errors have been requested");
}

TEST_F(ShowTest, EmptyTableListCreatesAnEmptyFile) {
    EXPECT_EQ(exec("show ! tables= >> empty.txt"), 1);
    EXPECT_TRUE(std::filesystem::exists("empty.txt"));
    EXPECT_EQ(readText("empty.txt"), "");
    EXPECT_EQ(shell.output, "=>show ! tables= >> empty.txt;\r\n");
}

TEST_F(ShowTest, FileOutputUsesLfAndAFailedOptionLeavesTheNextShowInThePane) {
    EXPECT_EQ(exec("show ! tables=1 >> out.txt"), 1);
    std::string file = readText("out.txt");
    EXPECT_EQ(file.find('\r'), std::string::npos);
    EXPECT_NE(file.find("SUMMARY OF THE ESTIMATION\n"), std::string::npos);

    shell.clear();
    EXPECT_EQ(exec("show ! bogus=1 >> out2.txt"), -1);
    ASSERT_EQ(shell.errors.size(), 2u);
    EXPECT_EQ(shell.errors[0], "Unknown command or argument: 'bogus'");
    EXPECT_EQ(shell.errors[1], " No option word found or incorrect option word in estimate");
    shell.clear();
    EXPECT_EQ(exec("show ! tab=1"), 1);
    EXPECT_NE(shell.output.find("SUMMARY OF THE ESTIMATION\r\n"), std::string::npos);
}

TEST_F(ShowTest, ReplacingAFileAsksAndCancelEndsSilently) {
    writeText("out.txt", "keep");
    shell.confirmAnswer = false;
    EXPECT_EQ(exec("show >> out.txt"), -1);
    EXPECT_TRUE(shell.errors.empty());
    EXPECT_EQ(readText("out.txt"), "keep");
    ASSERT_EQ(shell.questions.size(), 1u);
    session.ws.settings.warnings = false;
    EXPECT_EQ(exec("show ! tables=1 >> out.txt"), 1);
    EXPECT_EQ(shell.questions.size(), 1u);
    EXPECT_NE(readText("out.txt"), "keep");
}

TEST_F(ShowTest, ArgumentAndOptionMessages) {
    EXPECT_EQ(exec("show everything"), -1);
    EXPECT_EQ(shell.errors.back(), "The argument of the show command must be either cases or parameters");
    EXPECT_EQ(exec("show cases"), -1);
    EXPECT_EQ(shell.errors.back(), "Case output must be directed to a file");
    EXPECT_EQ(exec("show ! estimates=mean"), -1);
    EXPECT_EQ(shell.errors.back(), "The distribution value must be one of 'latent', 'eap', 'mle', 'wle' or 'none'");
    EXPECT_EQ(exec("show ! labelled=maybe"), -1);
    EXPECT_EQ(shell.errors.back(), "Labelled value must be either 'yes' or 'no'");
    EXPECT_EQ(exec("show ! =3"), -1);
    EXPECT_EQ(shell.errors.back(), "Syntax error in the show command options");

    shell.clear();
    EXPECT_EQ(exec("show ! labelled=NO, tables=1"), 1);
    ASSERT_EQ(shell.warnings.size(), 1u);
    EXPECT_EQ(shell.warnings[0], "Unlabelled output is only available with an imported design. Labelled output will be provided");

    shell.clear();
    EXPECT_EQ(exec("show cases ! tables=1, labelled=yes, estimates=none >> c.txt"), -1);
    ASSERT_EQ(shell.warnings.size(), 2u);
    EXPECT_EQ(shell.warnings[0], "The table option is ignored when the argument is 'cases'");
    EXPECT_EQ(shell.warnings[1], "The label option is ignored when the argument is 'cases'");
    EXPECT_EQ(shell.errors.back(), "You must select the type of case estimate that you want");

    shell.clear();
    session.ws.est.options.distribution = Distribution::Discrete;
    EXPECT_EQ(exec("show cases >> c.txt"), -1);
    EXPECT_EQ(shell.errors.back(), "Case output is not available unless a normal distribution is requested");
}

TEST_F(ShowTest, DefaultCaseEstimateTypePrefersLatentThenEapWleMle) {
    EstimationState& est = session.ws.est;
    ShowRequest request;
    ASSERT_EQ(parseShow(session, "", request), 1);
    EXPECT_EQ(est.caseEstimateType, kCaseNone);
    est.mleAvailable = true;
    ASSERT_EQ(parseShow(session, "", request), 1);
    EXPECT_EQ(est.caseEstimateType, kCaseMle);
    est.wleAvailable = true;
    ASSERT_EQ(parseShow(session, "", request), 1);
    EXPECT_EQ(est.caseEstimateType, kCaseWle);
    est.eapAvailable = true;
    ASSERT_EQ(parseShow(session, "", request), 1);
    EXPECT_EQ(est.caseEstimateType, kCaseEap);
    est.plausibleAvailable = true;
    est.caseScorePlausible = 0;
    ASSERT_EQ(parseShow(session, "", request), 1);
    EXPECT_EQ(est.caseEstimateType, kCaseEap);
    est.caseScorePlausible = 5;
    ASSERT_EQ(parseShow(session, "", request), 1);
    EXPECT_EQ(est.caseEstimateType, kCaseLatent);
    ASSERT_EQ(parseShow(session, " ! est=WLE", request), 1);
    EXPECT_EQ(est.caseEstimateType, kCaseWle);
}

TEST_F(ShowTest, ImportedDesignPrintsUnlabelledFormAndRefusesParameterMaps) {
    session.ws.files.importDesignFile = "design.txt";
    EXPECT_EQ(exec("show ! tables=2:4 >> maps.txt"), 1);
    ASSERT_EQ(shell.errors.size(), 1u);
    EXPECT_EQ(shell.errors[0], "Map not available for imported models");
    std::string file = readText("maps.txt");
    EXPECT_NE(file.find("IMPORTED MODEL:design.txt\n"), std::string::npos);
    EXPECT_NE(file.find("Parameter 1         0.10000  0.10000"), std::string::npos);
    EXPECT_EQ(file.find("MAP OF"), std::string::npos);

    shell.clear();
    EXPECT_EQ(exec("show ! tables=4 >> map4.txt"), 1);
    EXPECT_EQ(readText("map4.txt"), "");

    shell.clear();
    EXPECT_EQ(exec("show ! labelled=yes, tables=2"), 1);
    ASSERT_EQ(shell.warnings.size(), 1u);
    EXPECT_EQ(shell.warnings[0].rfind("You have requested labelled output with an imported design.", 0), 0u);
    EXPECT_NE(shell.output.find("TERM 1: item"), std::string::npos);
}

}  // namespace ordena::test
