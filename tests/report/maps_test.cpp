// Maps: the scale, the case columns and where labels go.
#include "report/report_fixture.h"
#include "report/report_tables.h"

namespace ordena::test {

class MapsTest : public ReportTest {
protected:
    void SetUp() override {
        buildModelFrom("datafile resp.dat; format responses 1-4; codes 0,1,2; model item + item*step;",
                       "0120\n1211\n2102\n0011\n1222\n2100\n");
        fillEstimates();
    }
    std::vector<std::string> printMap(int dimension = -1) {
        shell.clear();
        {
            ReportWriter out(session);
            EXPECT_EQ(printParameterMap(out, session, dimension), 1);
        }
        return paneLines();
    }
    // The 60 map rows, after the heading's "-" rule.
    static std::vector<std::string> mapRows(const std::vector<std::string>& lines) {
        int start = find(lines, "-----");
        return std::vector<std::string>(lines.begin() + start + 1, lines.begin() + start + 61);
    }
};

TEST_F(MapsTest, WithoutCaseEstimatesTheScaleRunsFromMinusFourToFour) {
    session.ws.est.caseEstimateType = kCaseNone;
    session.ws.est.xsi[0][0] = 10.0;   // beyond the top
    session.ws.est.xsi[1][0] = -10.0;  // beyond the bottom
    auto lines = printMap();
    EXPECT_EQ(lines[2], "MAP OF LATENT DISTRIBUTIONS AND RESPONSE MODEL PARAMETER ESTIMATES");
    int words = find(lines, std::string(26, ' ') + "Case");
    ASSERT_GE(words, 0);
    EXPECT_NE(lines[words + 1].find("estimates"), std::string::npos);
    EXPECT_NE(lines[words + 3].find("requested"), std::string::npos);
    auto rows = mapRows(lines);
    ASSERT_EQ(rows.size(), 60u);
    EXPECT_EQ(rows[0], std::string(48, ' ') + "| 1");
    EXPECT_EQ(rows[59], "   -4" + std::string(43, ' ') + "| 2");
    EXPECT_EQ(rows[7].substr(0, 4), "   3");
    EXPECT_EQ(rows[29].substr(0, 4), "   0");  // bin 30 starts at 0
    EXPECT_FALSE(contains(lines, "X"));
    EXPECT_FALSE(contains(lines, "Each 'X' represents"));
}

TEST_F(MapsTest, XsScaleToTheLargestBinAndTheFooterSaysHowMany) {
    EstimationState& est = session.ws.est;
    est.caseEstimateType = kCaseEap;
    est.eapAvailable = true;
    est.eapSummary.reset(1, -3.0f, 3.0f, 0.1f);
    est.eapSummary.counts[0][10] = 400.0;
    est.eapSummary.counts[0][11] = 200.0;
    est.eapSummary.counts[0][12] = 4.0;  // less than half an X
    auto lines = printMap();
    EXPECT_EQ(lines[2], "MAP OF EAP ESTIMATES AND RESPONSE MODEL PARAMETER ESTIMATES");
    auto rows = mapRows(lines);
    EXPECT_EQ(rows[10].substr(8, 41), std::string(40, 'X') + "|");
    EXPECT_EQ(rows[11].substr(8, 41), std::string(20, ' ') + std::string(20, 'X') + "|");
    EXPECT_EQ(rows[12].substr(8, 41), std::string(40, ' ') + "|");
    EXPECT_NE(find(lines, "Each 'X' represents 10.0 cases"), -1);

    // Plausible values count every draw: the footer divides by their number.
    est.caseEstimateType = kCaseLatent;
    est.plausibleAvailable = true;
    est.caseScorePlausible = 5;
    est.plausibleSummary = est.eapSummary;
    lines = printMap();
    EXPECT_NE(find(lines, "Each 'X' represents  2.0 cases"), -1);
}

TEST_F(MapsTest, LabelsThatFindNoRoomAreDroppedAndTheFooterSaysSo) {
    EstimationState& est = session.ws.est;
    est.caseEstimateType = kCaseNone;
    ASSERT_EQ(exec("labels 1 x ! item"), 1);
    // Every parameter on one row: the labels are 1 to 3, and 4 (-sum).
    for (int p = 0; p < 3; ++p) est.xsi[p][0] = 0.0;
    auto lines = printMap();
    auto rows = mapRows(lines);
    EXPECT_EQ(rows[29].substr(48), "| 1 2 3 4");
    EXPECT_FALSE(contains(lines, "Some parameters could not be fitted on the display"));

    // A term of 40 items crowds one row and its neighbour.
    std::string data;
    for (int n = 0; n < 6; ++n) data += std::string(40, static_cast<char>('0' + n % 3)) + "\n";
    buildModelFrom("datafile resp.dat; format responses 1-40; codes 0,1,2; model item;", data);
    fillEstimates();
    for (int p = 0; p < session.ws.est.xsi.rows(); ++p) session.ws.est.xsi[p][0] = 0.5;
    session.ws.est.caseEstimateType = kCaseNone;
    lines = printMap();
    EXPECT_NE(find(lines, "Some parameters could not be fitted on the display"), -1);
    rows = mapRows(lines);
    for (const std::string& r : rows) EXPECT_LE(r.size(), 89u);
}

TEST_F(MapsTest, OneMapPerDimensionShowsOnlyThatDimensionsItems) {
    buildModelFrom("datafile resp.dat; format responses 1-6; codes 0,1; scores (0,1) (0,1) () ! item(1-3);"
                   "scores (0,1) () (0,1) ! item(4-6); model item;",
                   "010110\n110001\n101011\n000111\n");
    fillEstimates(2, 1);
    EstimationState& est = session.ws.est;
    est.caseEstimateType = kCaseWle;
    est.wleAvailable = true;
    est.wleSummary.reset(2, -4.0f, 4.0f, 8.0f / 60.0f);
    est.wleSummary.counts[0][5] = 10.0;
    est.wleSummary.counts[1][6] = 20.0;
    // Items 1, 2, 4, 5 are estimated; 3 and 6 close their dimensions.
    for (int p = 0; p < est.xsi.rows(); ++p) est.xsi[p][0] = -3.0 + p;
    auto labelsOf = [](const std::vector<std::string>& rows) {
        std::string all;
        for (const std::string& r : rows) {
            std::size_t bar = r.find('|');
            if (bar != std::string::npos && bar + 1 < r.size()) all += r.substr(bar + 1);
        }
        return all;
    };
    auto first = printMap(0);
    EXPECT_NE(find(first, std::string(22, ' ') + "Dimension 1"), -1);
    EXPECT_EQ(labelsOf(mapRows(first)), " 3 2 1");  // 3 is -(1 + 2) = 5: top row
    auto rows = mapRows(first);
    EXPECT_EQ(rows[5].substr(8, 41), std::string(40, 'X') + "|");
    EXPECT_EQ(labelsOf(mapRows(printMap(1))), " 6 5 4");
    // Table 4: both case columns, 20 wide each, and every item.
    auto both = printMap(-1);
    rows = mapRows(both);
    EXPECT_EQ(rows[5].substr(8, 41), std::string(10, ' ') + std::string(10, 'X') + std::string(20, ' ') + "|");
    EXPECT_EQ(rows[6].substr(8, 41), std::string(20, ' ') + std::string(20, 'X') + "|");
    EXPECT_EQ(labelsOf(rows).size(), 12u);
}

}  // namespace ordena::test
