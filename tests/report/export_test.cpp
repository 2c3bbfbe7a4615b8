// The export statement and the export files: clause parsing and its
// messages, files named before and after an estimate, the record layouts of
// every writer, the comments and the scored data file.
#include <cmath>
#include <filesystem>
#include <limits>

#include "command/labels.h"
#include "model/parameter_list.h"
#include "report/export_fixture.h"

namespace ordena::test {
namespace {

using Messages = std::vector<std::string>;

class ExportTest : public ExportFixture {};

TEST_F(ExportTest, MalformedClausesGiveTheirMessages) {
    struct Case {
        const char* arguments;
        Messages errors;
    };
    const Case cases[] = {
        {"", {"Nothing specified in export statement"}},
        {"   ", {"Nothing specified in export statement"}},
        {"parameters > a.prm", {"Two '>' expected in export statement"}},
        {"parameters", {"Error in export statement"}},
        {"parameters >", {"Error in export statement"}},
        {">> a.prm", {"'>' expected in export statement"}},
        {"  >>a.prm", {"'>' expected in export statement"}},
        {"parameters >>   ", {"Error in export statement"}},
        {"frobnicate >> a.prm",
         {"Unknown command or argument: 'frobnicate'", "incorrect keyword in export statement"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(handleExport, c.arguments), -1) << c.arguments;
        EXPECT_EQ(shell.errors, c.errors) << c.arguments;
    }
    EXPECT_TRUE(ws.files.parameterFile.isEmpty());
}

TEST_F(ExportTest, BeforeAnEstimateNamesAreStoredAndAnnounced) {
    EXPECT_EQ(run(handleExport, "parameters >> a.prm, covariance >> a.cov"), 1);
    EXPECT_EQ(shell.infos, (Messages{"Item parameter file will be written after estimation",
                                     "Variance parameter file will be written after estimation"}));
    EXPECT_EQ(run(handleExport, "desi>>d.des ,reg >> r.reg,score>> s.dat"), 1);
    EXPECT_EQ(shell.infos, (Messages{"Design matrix file will be written after estimation",
                                     "Regression parameter file will be written after estimation",
                                     "Score file will be written after estimation"}));
    EXPECT_EQ(ws.files.parameterFile, "a.prm");
    EXPECT_EQ(ws.files.covarianceFile, "a.cov");
    EXPECT_EQ(ws.files.designMatrixFile, "d.des");
    EXPECT_EQ(ws.files.regressionFile, "r.reg");
    EXPECT_EQ(ws.files.scoredDataFile, "s.dat");
    for (const char* name : {"a.prm", "a.cov", "d.des", "r.reg", "s.dat"}) EXPECT_FALSE(std::filesystem::exists(name));

    // The first failing clause ends the statement; earlier ones keep their effect.
    EXPECT_EQ(run(handleExport, "parameters >> b.prm, covariance > b.cov"), -1);
    EXPECT_EQ(ws.files.parameterFile, "b.prm");
    EXPECT_EQ(ws.files.covarianceFile, "a.cov");

    // A reset forgets every name.
    ASSERT_EQ(executeStatement(session, "reset"), 1);
    EXPECT_TRUE(ws.files.parameterFile.isEmpty());
    EXPECT_TRUE(ws.files.covarianceFile.isEmpty());
    EXPECT_TRUE(ws.files.scoredDataFile.isEmpty());
}

TEST_F(ExportTest, ParameterFileHasOneRecordPerParameterWithItsTermInAComment) {
    buildThreeItems();
    fillEstimate();
    storeLabel(ws, kLabelImplicit, ws.data.implicitVariableIndex("item"), "2", "Second item");
    ASSERT_EQ(run(handleExport, "parameters >> out.prm"), 1);
    EXPECT_TRUE(shell.infos.empty());
    EXPECT_EQ(lines(readFile("out.prm")),
              (Messages{"         1  -0.75000   /* item 1 */", "         2  -0.50000   /* item Second item */",
                        "         3  -0.25000   /* item 1 step 1 */",
                        "         4   0.00000   /* item Second item step 1 */",
                        "         5   0.25000   /* item 3 step 1 */"}));
    EXPECT_EQ(readFile("out.prm").back(), '\n');

    // With details: the standard error after the estimate.
    ASSERT_EQ(writeParameterFile(session, "details.prm", kExportReplace, 1), 1);
    EXPECT_EQ(lines(readFile("details.prm"))[1], "         2  -0.50000   0.20000   /* item Second item */");
    // Full errors give the diagonal; no errors give no column.
    ws.est.options.stdErr = StdErrMode::Full;
    ws.est.fullErrors = identity(7) * 0.25;
    ASSERT_EQ(writeParameterFile(session, "full.prm", kExportReplace, 1), 1);
    EXPECT_EQ(lines(readFile("full.prm"))[0], "         1  -0.75000   0.50000   /* item 1 */");
    ws.est.options.stdErr = StdErrMode::None;
    ASSERT_EQ(writeParameterFile(session, "none.prm", kExportReplace, 1), 1);
    EXPECT_EQ(lines(readFile("none.prm"))[0], "         1  -0.75000   /* item 1 */");
    // Fit statistics follow; one without a value (JML before any
    // iteration) is NA in its column, never "nan".
    ws.est.fitAvailable = true;
    ws.est.fit.assign(5, FitResult{});
    ws.est.fit[0].unweightedMeanSquare = 1.25;
    ws.est.fit[0].unweightedT = std::nan("");
    ws.est.fit[0].weightedMeanSquare = 0.5;
    ws.est.fit[0].weightedT = -std::numeric_limits<double>::infinity();
    ASSERT_EQ(writeParameterFile(session, "fit.prm", kExportReplace, 1), 1);
    EXPECT_EQ(lines(readFile("fit.prm"))[0], "         1  -0.75000   1.25000        NA   0.50000        NA   /* item 1 */");

    // An imported design has no terms to name.
    ws.files.importDesignFile = "some.des";
    ASSERT_EQ(writeParameterFile(session, "plain.prm", kExportReplace, 0), 1);
    EXPECT_EQ(lines(readFile("plain.prm"))[4], "         5   0.25000");
}

TEST_F(ExportTest, CommentMarkersInLabelsCannotBreakTheComment) {
    buildThreeItems();
    fillEstimate();
    storeLabel(ws, kLabelImplicit, ws.data.implicitVariableIndex("item"), "1", "a*/b/*c");
    EXPECT_EQ(parameterComment(ws, 0), "   /* item a* /b/ *c */");
    // And so the file imports again.
    ASSERT_EQ(writeParameterFile(session, "x.prm", kExportReplace, 0), 1);
    ASSERT_EQ(run(handleImport, "anchor_parameters << x.prm"), 1);
    EXPECT_EQ(ws.est.anchors.size(), 5u);
}

TEST_F(ExportTest, RegressionAndCovarianceRecords) {
    buildThreeItems();
    fillEstimate(1, 2);
    ASSERT_EQ(writeRegressionFile(session, "one.reg", kExportReplace, 0), 1);
    EXPECT_EQ(lines(readFile("one.reg")),
              (Messages{"         1           0     0.10000", "         1           1     0.22500"}));
    ASSERT_EQ(writeRegressionFile(session, "one.reg", kExportReplace, 1), 1);
    EXPECT_EQ(lines(readFile("one.reg"))[1], "         1           1     0.22500   0.02000");

    fillEstimate(2, 1);
    ASSERT_EQ(writeCovarianceFile(session, "two.cov", kExportReplace, 0), 1);
    EXPECT_EQ(lines(readFile("two.cov")),
              (Messages{"         1           1     1.50000", "         1           2     0.30000",
                        "         2           2     2.50000"}));
    ASSERT_EQ(writeCovarianceFile(session, "two.cov", kExportReplace, 1), 1);
    EXPECT_EQ(lines(readFile("two.cov"))[2], "         2           2     2.50000   0.03000");
    ASSERT_EQ(writeRegressionFile(session, "two.reg", kExportReplace, 0), 1);
    EXPECT_EQ(lines(readFile("two.reg")),
              (Messages{"         1           0     0.10000", "         2           0     0.60000"}));

    // One dimension with full errors: the variance's entry follows the
    // parameters and the regression coefficients.
    fillEstimate(1, 1);
    ws.est.options.stdErr = StdErrMode::Full;
    ws.est.fullErrors = Matrix(7, 7);
    ws.est.fullErrors[5][5] = 0.04;
    ws.est.fullErrors[6][6] = 0.16;
    ASSERT_EQ(writeRegressionFile(session, "full.reg", kExportReplace, 1), 1);
    EXPECT_EQ(readFile("full.reg"), "         1           0     0.10000   0.20000\r\n");
    ASSERT_EQ(writeCovarianceFile(session, "full.cov", kExportReplace, 1), 1);
    EXPECT_EQ(readFile("full.cov"), "         1           1     1.50000   0.40000\r\n");
}

TEST_F(ExportTest, ModesAppendAskAndFail) {
    buildThreeItems();
    fillEstimate();
    ASSERT_EQ(writeCovarianceFile(session, "rep.cov", kExportAppend, 0), 1);
    ASSERT_EQ(writeCovarianceFile(session, "rep.cov", kExportAppend, 0), 1);
    EXPECT_EQ(lines(readFile("rep.cov")).size(), 2u);
    EXPECT_TRUE(shell.questions.empty());  // appending never asks

    // Replacing asks; Cancel leaves the file as it was and is no failure.
    shell.confirmAnswer = false;
    EXPECT_EQ(run(handleExport, "covariance >> rep.cov"), 1);
    EXPECT_EQ(shell.questions, (Messages{"File rep.cov already exists. Replace?"}));
    EXPECT_EQ(lines(readFile("rep.cov")).size(), 2u);
    EXPECT_TRUE(shell.errors.empty());
    shell.confirmAnswer = true;
    EXPECT_EQ(run(handleExport, "covariance >> rep.cov"), 1);
    EXPECT_EQ(lines(readFile("rep.cov")).size(), 1u);

    // A file that cannot be created.
    struct Case {
        const char* clause;
        const char* message;
    };
    for (const Case& c : {Case{"parameters >> no/such/dir.prm", "Attempt to write parameter file has failed"},
                          Case{"reg >> no/such/dir.reg", "Attempt to write regression file has failed"},
                          Case{"cov >> no/such/dir.cov", "Attempt to write covariance file has failed"},
                          Case{"design >> no/such/dir.des", "Unable to write design matrix"},
                          Case{"scored >> no/such/dir.dat", "Attempt to write scored data file has failed"}}) {
        EXPECT_EQ(run(handleExport, c.clause), -1) << c.clause;
        EXPECT_EQ(shell.errors, (Messages{c.message})) << c.clause;
    }
}

TEST_F(ExportTest, DesignMatrixFileReadsBackAsTheSameDesign) {
    buildThreeItems();
    fillEstimate();
    ASSERT_EQ(run(handleExport, "designmatrix >> out.des"), 1);
    std::vector<std::string> rows = lines(readFile("out.des"));
    ASSERT_EQ(rows.size(), 1u + 3u * 3u);  // P, then three categories of three items
    EXPECT_EQ(rows[0], "  5");
    // Item 1, category 1: -1 for its item parameter and for its step.
    EXPECT_EQ(rows[2], " -1.00   0.00  -1.00   0.00   0.00 ");

    ModelBuild original = ws.build;
    ASSERT_EQ(importDesign("out.des", ws.build, shell), 1);
    EXPECT_EQ(ws.build.designStride, original.designStride);
    for (int g = 0; g < original.items; ++g)
        for (int k = 0; k < original.categoryCount[static_cast<std::size_t>(g)]; ++k)
            for (int p = 0; p < 5; ++p) EXPECT_EQ(ws.build.designAt(g, k, p), original.designAt(g, k, p));
}

TEST_F(ExportTest, ScoredDataPlacesEachScoreAtItsResponsePosition) {
    buildThreeItems();
    fillEstimate();
    ASSERT_EQ(run(handleExport, "scoreddata >> scored.dat"), 1);
    EXPECT_EQ(readFile("scored.dat"), "      1  A  012\r\n"
                                      "      2  B  201\r\n"
                                      "      3  C  1 0\r\n"
                                      "      4  D   2\r\n");
}

TEST_F(ExportTest, ScoredDataWithoutIdentifiersAndWithEmptyCases) {
    data("0 1\n   \n10.\n", "responses 1-3");
    state(modelCommand, "item");
    ASSERT_EQ(buildModel(session), 1);
    fillEstimate();
    ASSERT_EQ(writeScoredDataFile(session, "s.dat", kExportReplace), 1);
    // The second case has no valid response: its line holds no score.
    EXPECT_EQ(readFile("s.dat"), "      1    0 1\r\n      2    \r\n      3    10\r\n");
}

}  // namespace
}  // namespace ordena::test
