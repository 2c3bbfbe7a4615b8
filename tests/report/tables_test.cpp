// The tables of show, printed from estimates filled in by hand: their
// numbers come from the estimation state and their columns stay in place
// whatever the values.
#include <cmath>
#include <cstdio>

#include "base/binfile.h"
#include "base/number_format.h"
#include "report/report_fixture.h"
#include "report/report_model.h"
#include "report/report_tables.h"

namespace ordena::test {

class TablesTest : public ReportTest {
protected:
    void partialCredit() {
        buildModelFrom("datafile resp.dat; format responses 1-4; codes 0,1,2; model item + item*step;",
                       "0120\n1211\n2102\n0011\n1222\n2100\n");
        fillEstimates();
    }
    std::vector<std::string> print(int (*table)(ReportWriter&, const Workspace&)) {
        shell.clear();
        {
            ReportWriter out(session);
            table(out, session.ws);
        }
        return paneLines();
    }
};

TEST_F(TablesTest, ParameterTableTakesEstimatesErrorsAndConstrainedValuesFromTheState) {
    partialCredit();
    auto lines = print(printParameterTables);
    int first = find(lines, " 1   1");
    ASSERT_GE(first, 0);
    // n = 1: estimate at column 20, asterisk at 27, error at 29; width 90.
    EXPECT_EQ(lines[first], " 1   1                0.100   0.100" + std::string(55, ' '));
    EXPECT_EQ(lines[first + 3].substr(0, 35), " 4   4               -0.600*  0.245");  // -(0.1+0.2+0.3), sqrt(.01+.02+.03)
    // Reliability: V = var(0.1,0.2,0.3) = 0.01, mean error variance 0.02 -> 0.
    EXPECT_EQ(lines[first + 6], "Separation Reliability =  0.000");
    double chi = 0.01 / 0.01 + 0.04 / 0.02 + 0.09 / 0.03;
    char expected[128];
    std::snprintf(expected, sizeof expected, "Chi-square test of parameter equality = %10.2f,  df = 3,  Sig Level = %5.3f",
                  chi, std::erfc(std::sqrt(chi / 2.0)) + std::sqrt(2.0 * chi / M_PI) * std::exp(-chi / 2.0));  // 3 df
    EXPECT_EQ(lines[first + 7], expected);
    EXPECT_EQ(lines[first + 8], "^ Quick standard errors have been used");

    // Step term: opening line (step 0), the step, closing line -(sum).
    int step = find(lines, " 2   2                0  ", find(lines, "TERM 2"));
    ASSERT_GE(step, 0);
    EXPECT_EQ(lines[step + 1].substr(0, 50), " 2   2                1              0.500   0.224");
    EXPECT_EQ(lines[step + 2].substr(0, 43), " 2   2                2             -0.500*");

    // New estimates, new table.
    session.ws.est.xsi[0][0] = 1.5;
    session.ws.est.anchored[1] = 1;
    lines = print(printParameterTables);
    first = find(lines, " 1   1");
    EXPECT_EQ(lines[first].substr(0, 35), " 1   1                1.500   0.100");
    EXPECT_EQ(lines[first + 1].substr(0, 35), " 2   2                0.200*  0.141");
    EXPECT_EQ(lines[first + 3].substr(0, 35), " 4   4               -2.000*  0.245");
    // The anchored row counts, the constrained one not: V is the variance of
    // 1.5, 0.2 and 0.3, the mean error variance (0.01 + 0.02 + 0.03) / 3.
    const double V = (2.38 - 4.0 / 3.0) / 2.0;
    std::snprintf(expected, sizeof expected, "Separation Reliability = %6.3f", (V - 0.02) / V);
    EXPECT_EQ(lines[first + 6], expected);
    EXPECT_EQ(lines[first + 7].substr(0, 60), "Chi-square test of parameter equality =     230.00,  df = 3,");
}

TEST_F(TablesTest, LabelsAreCutAfterElevenCharactersAndBigValuesKeepTheWidth) {
    partialCredit();
    ASSERT_EQ(exec("labels 1 ABCDEFGHIJK ! item"), 1);
    ASSERT_EQ(exec("labels 2 ABCDEFGHIJKL ! item"), 1);
    session.ws.est.xsi[2][0] = 1e12;
    session.ws.est.itemErrors[2][0] = 1e12;
    auto lines = print(printParameterTables);
    int first = find(lines, " 1   ABCDEFGHIJK ");
    ASSERT_GE(first, 0);
    EXPECT_EQ(lines[first + 1].substr(0, 19), " 2   ABCDEFGHIJK.. ");
    EXPECT_EQ(lines[first + 2].substr(0, 34), " 3   3              _BIG_    _BIG_");
    for (int i = first; i < first + 4; ++i) EXPECT_EQ(lines[i].size(), 90u) << lines[i];
}

TEST_F(TablesTest, RemovedParameterPrintsBlankAndIsLeftOutOfTheSums) {
    partialCredit();
    EstimationState& est = session.ws.est;
    // Parameter 1 was not identified: the estimates hold the others.
    const int P = static_cast<int>(session.ws.build.estimated.size());
    Vector xsi(P - 1), errors(P - 1);
    est.keptParameters.clear();
    for (int p = 0, k = 0; p < P; ++p) {
        if (p == 1) continue;
        xsi[k][0] = 0.1 * (p + 1);
        errors[k][0] = 0.01 * (p + 1);
        est.keptParameters.push_back(p);
        ++k;
    }
    est.xsi = xsi;
    est.itemErrors = errors;
    est.anchored.assign(static_cast<std::size_t>(P - 1), 0);
    auto lines = print(printParameterTables);
    int first = find(lines, " 1   1");
    ASSERT_GE(first, 0);
    EXPECT_EQ(lines[first + 1], " 2   2" + std::string(84, ' '));
    EXPECT_EQ(lines[first + 3].substr(0, 35), " 4   4               -0.400*  0.200");
    EXPECT_NE(find(lines, "Chi-square test of parameter equality =       4.00,  df = 2"), -1);
}

TEST_F(TablesTest, FitColumnsAndMissingErrors) {
    partialCredit();
    EstimationState& est = session.ws.est;
    est.fitAvailable = true;
    for (int f = 0; f < 20; ++f) {
        FitResult r;
        r.unweightedMeanSquare = 1.0 + f / 100.0;
        r.unweightedVariance = 0.04;  // s = 0.2: interval 0.61 to 1.39
        r.unweightedT = -0.5;
        r.weightedMeanSquare = 0.9;
        r.weightedVariance = 1.0;  // lower limit below 0 shows 0.00
        r.weightedT = 2.25;
        est.fit.push_back(r);
    }
    est.options.stdErr = StdErrMode::None;
    auto lines = print(printParameterTables);
    int first = find(lines, " 1   1");
    ASSERT_GE(first, 0);
    // F = 37.
    EXPECT_EQ(lines[first].substr(20), "  0.100            1.00 ( 0.61, 1.39) -0.5   0.90 ( 0.00, 2.96)  2.2  ");
    EXPECT_EQ(lines[first + 1].substr(37, 6), "  1.01");
    // No error variance printed: nothing is taken off the spread.
    EXPECT_EQ(lines[first + 6], "Separation Reliability =  1.000");
    EXPECT_EQ(lines[first + 7], "");
    EXPECT_EQ(find(lines, "^ Quick"), -1);
    EXPECT_NE(find(lines, "     item           ESTIMATE  ERROR    MNSQ"), -1);
    // The step term continues with fit line 5 on its opening line.
    int step = find(lines, " 1   1                0  ", find(lines, "TERM 2"));
    EXPECT_EQ(lines[step].substr(52, 6), "  1.04");  // F = 15 * 2 + 22
}

TEST_F(TablesTest, CategoryParametersAndThresholdsFollowTheDesign) {
    partialCredit();
    // Item 1: delta1 = xi1 + tau1 = 0.5, delta2 = xi1 - tau1 = -0.3.
    EXPECT_NEAR(categoryParameter(session.ws, 0, 1), 0.5, 1e-6);
    EXPECT_NEAR(categoryParameter(session.ws, 0, 2), -0.3, 1e-6);
    // Constrained item 4: xi4 = -0.6, tau = 0.7.
    EXPECT_NEAR(categoryParameter(session.ws, 3, 1), 0.1, 1e-6);
    EXPECT_NEAR(categoryParameter(session.ws, 3, 2), -1.3, 1e-6);
    auto lines = print(printCategoryParameterTable);
    EXPECT_NE(find(lines, "1.2\t    -0.300\titem\t1\t1"), -1);
    EXPECT_EQ(find(lines, "GIN Number  Delta Est.          GIN Labels"), 4);

    // Cumulative probability one half at the threshold.
    for (int k = 1; k <= 2; ++k) {
        double t = threshold(session.ws, 1, k);
        std::vector<double> e(3);
        for (int j = 0; j < 3; ++j) e[j] = std::exp(t * j + categoryLogit(session.ws, 1, j));
        double upper = 0.0;
        for (int j = k; j < 3; ++j) upper += e[j];
        EXPECT_NEAR(upper / (e[0] + e[1] + e[2]), 0.5, 1e-6);
    }
    // A threshold far beyond the range stops once the range passed 32.
    session.ws.est.xsi[0][0] = -200.0;
    double far = threshold(session.ws, 0, 1);
    EXPECT_LT(far, -31.0);
    EXPECT_GT(far, -41.0);
}

TEST_F(TablesTest, ADichotomousThresholdPrintsAsItsDelta) {
    // The threshold of a 0/1 item is its delta. Values a few ten-thousandths
    // from a rounding edge print the same in both tables only when the
    // threshold is solved well below the printed digits.
    buildModelFrom("datafile resp.dat; format responses 1-5; model item;", "01101\n10110\n11010\n00111\n");
    fillEstimates();
    EstimationState& est = session.ws.est;
    const double xsi[4] = {-0.9504, 0.6949, 0.0004, 1.2346};
    for (int p = 0; p < 4; ++p) est.xsi[p][0] = xsi[p];
    for (int g = 0; g < 5; ++g) {
        const double delta = categoryParameter(session.ws, g, 1);
        const double t = threshold(session.ws, g, 1);
        EXPECT_EQ(printFormat("%10.3f", t).str(), printFormat("%10.3f", delta).str()) << "item " << g + 1;
        EXPECT_EQ(printFormat("%6.2f", t).str(), printFormat("%6.2f", delta).str()) << "item " << g + 1;
    }
    // The two tables: the same records below their headings.
    const auto thresholds = print(printThresholdTable), deltas = print(printCategoryParameterTable);
    const int a = find(thresholds, "GIN Number"), b = find(deltas, "GIN Number");
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ASSERT_EQ(thresholds.size() - static_cast<std::size_t>(a), deltas.size() - static_cast<std::size_t>(b));
    for (std::size_t k = 1; k + static_cast<std::size_t>(a) < thresholds.size(); ++k)
        EXPECT_EQ(thresholds[static_cast<std::size_t>(a) + k], deltas[static_cast<std::size_t>(b) + k]);
}

TEST_F(TablesTest, ThresholdTablesRefusedForScoresOtherThanTheCategory) {
    buildModelFrom("datafile resp.dat; format responses 1-4; codes 0,1,2; score (0,1,2) (0,2,4); model item;",
                   "0120\n1211\n2102\n0011\n1222\n2100\n");
    fillEstimates();
    EXPECT_FALSE(categoryTablesAvailable(session.ws.build));
    auto lines = print(printThresholdTable);
    ASSERT_EQ(shell.warnings.size(), 1u);
    EXPECT_EQ(shell.warnings[0], "Item thresholds are not available for partial order models, within item multdimensional "
                                 "models, models with non-integer scores, or models with null categories");
    EXPECT_EQ(find(lines, "TABLES OF GIN"), -1);
}

TEST_F(TablesTest, ErrorCovarianceMatrixInBlocksOfSeven) {
    partialCredit();
    EstimationState& est = session.ws.est;
    est.xsi = Vector(8);
    est.fullErrors = Matrix(10, 10);
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j) est.fullErrors[i][j] = (i + 1) + (j + 1) / 100.0;
    auto lines = print(printErrorCovarianceTable);
    int head = find(lines, std::string(10, ' ') + "1");
    ASSERT_GE(head, 0);
    EXPECT_EQ(lines[head], "     " + std::string("     1      ") + "     2      " + "     3      " + "     4      " +
                               "     5      " + "     6      " + "     7      ");
    EXPECT_EQ(lines[head + 1].substr(0, 28), " 1      1.01000     1.02000 ");
    EXPECT_EQ(lines[head + 8].substr(0, 16), " 8      8.01000 ");
    EXPECT_EQ(lines[head + 9], "");
    EXPECT_EQ(lines[head + 10], "     " + std::string("     8      "));
    EXPECT_EQ(lines[head + 11], " 1      1.08000 ");
    EXPECT_EQ(lines[head + 19], "");
    EXPECT_EQ(lines[head + 20], std::string(80, '='));
}

TEST_F(TablesTest, SummaryCountsParametersAndReportsTheEnd) {
    partialCredit();
    EstimationState& est = session.ws.est;
    est.anchored[0] = 1;
    est.earlierSolutionBetter = true;
    est.terminationReason = 9;  // no line: the rest moves up
    auto lines = print(printSummaryTable);
    ASSERT_GE(lines.size(), 33u);
    // 6 free item parameters, the mean and the variance. Under Gauss-Hermite
    // quadrature -2 log L is the deviance; AIC adds 2p, BIC p ln(n) with the
    // sample size when the cases of the last E-step are not known.
    EXPECT_EQ(lines[14], "Final Deviance:     1234.56780");
    EXPECT_EQ(lines[15], "-2 Log Likelihood:     1234.56780");
    EXPECT_EQ(lines[16], "Total number of estimated parameters: 8");
    const int n = session.ws.data.passes.cases;
    char criteria[160];
    std::snprintf(criteria, sizeof criteria, "Information criteria: AIC = %.3f, BIC = %.3f (BIC with n = %d cases)",
                  1234.5678 + 2 * 8, 1234.5678 + 8 * std::log(static_cast<double>(n)), n);
    EXPECT_EQ(lines[17], criteria);
    EXPECT_EQ(lines[21], "At termination the solution was not the best attained solution");
    EXPECT_EQ(lines[22], "The reported results are for the earlier better solution");
    EXPECT_EQ(lines[24], "Random number generation seed:    1.00000");
    EXPECT_EQ(lines[30], "Value for obtaining finite MLEs for zero/perfects:    0.30000");
    EXPECT_EQ(lines[31], "");

    session.ws.settings.constraints = kConstraintsCases;
    est.method = EstimationMethod::Quadrature;
    est.regressionAnchors[0][0] = 0.0;
    // Bock/Aitken: the deviance holds -2 D ln(h) for each unit of case
    // weight; 3.5 units entered the likelihood, from 4 cases.
    est.stepH = 12.0f / 14.0f;
    est.likelihoodWeight = 3.5;
    est.likelihoodCases = 4;
    lines = print(printSummaryTable);
    EXPECT_EQ(lines[5], "Estimation method was: Bock-Aitken Quadrature with 15 nodes and node range (-6.000,6.000)");
    EXPECT_EQ(lines[7], "Constraint was: CASES");
    const double m2ll = 1234.5678 + 2.0 * 3.5 * std::log(12.0 / 14.0);
    ASSERT_EQ(lines[15].rfind("-2 Log Likelihood: ", 0), 0u) << lines[15];
    EXPECT_NEAR(std::stod(lines[15].substr(19)), m2ll, 1e-4);
    EXPECT_NE(lines[15].find(" (the deviance less -2*D*ln(h) per case)"), std::string::npos);
    EXPECT_EQ(lines[16], "Total number of estimated parameters: 7");  // the mean anchored at zero, counted once
    std::snprintf(criteria, sizeof criteria, "AIC = %.3f, BIC = %.3f (BIC with n = 4 cases)", m2ll + 14,
                  m2ll + 7 * std::log(4.0));
    EXPECT_NE(lines[17].find(criteria), std::string::npos) << lines[17];

    est.method = EstimationMethod::Jml;
    lines = print(printSummaryTable);
    EXPECT_EQ(lines[14], "Final Deviance: Not applicable");
    EXPECT_EQ(lines[15], "-2 Log Likelihood: Not applicable");
    EXPECT_EQ(lines[16], "Total number of estimated parameters: 11");  // 6 + 6 cases - 1
    EXPECT_EQ(lines[17], "Information criteria: Not applicable");
}

class PopulationTest : public TablesTest {
protected:
    // One dimension, two plausible values per case.
    void writeCaseScores(const std::vector<std::vector<double>>& records) {
        session.ws.est.caseScoreFile = "scores.bin";
        BinaryFile f("scores.bin", "wb");
        for (const auto& r : records)
            for (double x : r) f.writeDouble(x);
    }
};

TEST_F(PopulationTest, OneDimensionReliabilitiesFromTheCaseScoreFile) {
    partialCredit();
    EstimationState& est = session.ws.est;
    est.beta[0][0] = 0.25;
    est.regressionErrors[0][0] = 0.0004;
    est.sigma[0][0] = 1.44;
    est.caseScorePlausible = 2;
    // EAP, post var, MLE, MLE var, WLE, WLE var, PV1, PV2, JML, JML var, raw, max.
    std::vector<std::vector<double>> records;
    double eap[] = {-1, 0, 1, -1, 0, 1}, pv[] = {-2, 0, 2, -2, 0, 2}, wle[] = {-1, -1, 1, 1, 0, 0};
    for (int n = 0; n < 6; ++n)
        records.push_back({eap[n], 0.5, 0, 0, wle[n], 5.0, pv[n], 9, 0, 0, 1, 2});
    writeCaseScores(records);
    est.eapAvailable = true;
    est.wleAvailable = true;
    auto lines = print(printPopulationTables);
    EXPECT_NE(find(lines, "MLE Person separation RELIABILITY:  Unavailable"), -1);
    // MLEs -2 .. 2 and 0: variance 2, mean error variance 0.5.
    double mle[] = {-2, -1, 0, 1, 2, 0};
    for (int n = 0; n < 6; ++n) {
        records[static_cast<std::size_t>(n)][2] = mle[n];
        records[static_cast<std::size_t>(n)][3] = 0.5;
    }
    writeCaseScores(records);
    est.mleAvailable = true;
    lines = print(printPopulationTables);
    EXPECT_NE(find(lines, "MLE Person separation RELIABILITY:   0.750"), -1);
    est.mleAvailable = false;
    lines = print(printPopulationTables);
    EXPECT_NE(find(lines, "CONSTANT                     0.250  0.020"), -1);
    EXPECT_NE(find(lines, "  Variance                    1.440"), -1);
    EXPECT_FALSE(contains(lines, "Values below the diagonal"));
    EXPECT_NE(find(lines, "MLE Person separation RELIABILITY:  Unavailable"), -1);
    // var(WLE) = 0.8 is below the mean error variance 5: 0.
    EXPECT_NE(find(lines, "WLE Person separation RELIABILITY:   0.000"), -1);
    // var(EAP) / var(PV1) = 0.8 / 3.2.
    EXPECT_NE(find(lines, "EAP/PV RELIABILITY:                  0.250"), -1);

    // A case score file shorter than the cases: nothing is made up.
    records.pop_back();
    writeCaseScores(records);
    lines = print(printPopulationTables);
    EXPECT_NE(find(lines, "EAP/PV RELIABILITY:                 Unavailable"), -1);
}

TEST_F(PopulationTest, TwoDimensionsShowCorrelationsBelowTheDiagonal) {
    partialCredit();
    fillEstimates(2, 2);
    EstimationState& est = session.ws.est;
    est.sigma[0][0] = 4.0;
    est.sigma[1][1] = 1.0;
    est.sigma[0][1] = est.sigma[1][0] = 1.0;
    est.covarianceAnchors[1][1] = 1.0;
    est.beta[1][1] = -0.5;
    auto lines = print(printPopulationTables);
    int row = find(lines, " Dimension 1");
    ASSERT_GE(row, 0);
    EXPECT_EQ(lines[row], " Dimension 1                  4.000        1.000");
    EXPECT_EQ(lines[row + 1], " Dimension 2                  0.500        1.000*");
    EXPECT_NE(find(lines, "Values below the diagonal are correlations and values above are covariances"), -1);
    EXPECT_NE(find(lines, "Regressor 1                  0.000           -0.500"), -1);
    EXPECT_NE(find(lines, "Dimension: (Dimension 2)"), -1);
}

TEST_F(PopulationTest, DiscreteNodesTable) {
    partialCredit();
    EstimationState& est = session.ws.est;
    est.nodeGrid = Matrix(2, 1);
    est.nodeGrid[0][0] = -1.5;
    est.nodeGrid[1][0] = 2.0;
    est.gwt = Vector(2);
    est.gwt[0][0] = 0.25;
    est.gwt[1][0] = 0.75;
    auto lines = print(printNodesTable);
    EXPECT_EQ(lines[4], "NODES AND ESTIMATED WEIGHTS");
    EXPECT_EQ(lines[6].substr(25), "Dimension");
    EXPECT_EQ(lines[8], std::string(29, ' ') + "1" + std::string(5, ' ') + "Weight");
    EXPECT_EQ(lines[10], std::string(25, ' ') + " -1.500     0.25000" + std::string(36, ' '));
    EXPECT_EQ(lines[11].substr(25, 19), "  2.000     0.75000");
}

}  // namespace ordena::test
