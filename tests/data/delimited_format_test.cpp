// The format of a delimited data file and the data passes over it: fields
// named by the header or by number, the messages of every malformed file,
// and work files equal to those of the same data in fixed columns.
#include <string>
#include <vector>

#include "data/data_passes.h"
#include "data/delimited_format.h"
#include "model/model_builder.h"
#include "support/work_dir.h"

namespace ordena::test {
namespace {

class DelimitedFormatTest : public WorkDirTest {
protected:
    DataLayout& layout = ws.data.layout;

    void csv(const std::string& contents, const std::string& options = "delimiter=comma") {
        writeFile("data.csv", contents);
        state(datafileCommand, "data.csv ! " + options);
    }
    int format(const std::string& text) { return run(formatCommand, text); }
    std::string firstError() const { return shell.errors.empty() ? "" : shell.errors[0]; }
    std::vector<std::int32_t> fields(const ResponseBlock& b) const {
        std::vector<std::int32_t> out;
        for (const ResponsePosition& r : b.responses) out.push_back(r.firstColumn);
        return out;
    }
    // The bytes of every work file of the last passes, in a fixed order.
    std::vector<std::string> workFiles() {
        const DataPassState& st = ws.data.passes;
        return {readFile(st.caseInfoFile.str()), readFile(st.groupFile.str()), readFile(st.identifierFile.str()),
                readFile(st.modelFile.str()), readFile(st.responseFile.str())};
    }
};

TEST_F(DelimitedFormatTest, FieldsByHeaderNameNumberListAndRange) {
    csv("ID,Gender,q1,q2,q3,q4,extra\n1,0,1,0,1,1,x\n");
    ASSERT_EQ(format("pid=id gender responses q1-q3, 6"), 1) << firstError();
    EXPECT_TRUE(layout.delimited);
    EXPECT_EQ(layout.items, 4);
    EXPECT_EQ(layout.responseWidth, 1);
    EXPECT_EQ(layout.recordsPerCase, 1);
    ASSERT_EQ(layout.explicitVariables.size(), 2u);
    const ExplicitVariable& pid = layout.explicitVariables[0];
    EXPECT_EQ(pid.name, "pid");
    EXPECT_EQ(pid.segments[0].firstColumn, 1);
    EXPECT_EQ(pid.fieldNames, std::vector<MString>{"ID"});
    EXPECT_EQ(layout.caseIdentifier, 0);
    EXPECT_EQ(layout.explicitVariables[1].segments[0].firstColumn, 2);
    // Missing values of a delimited file: empty, "." and NA.
    EXPECT_EQ(pid.missingCodes, (std::vector<MString>{" ", ".", "NA"}));
    EXPECT_EQ(fields(layout.responseBlocks[0]), (std::vector<std::int32_t>{3, 4, 5, 6}));
    EXPECT_EQ(layout.responseBlocks[0].fieldNames, (std::vector<MString>{"q1", "q2", "q3", ""}));
    EXPECT_EQ(layout.variableNames, (std::vector<MString>{"pid", "gender", "item"}));

    // A variable by field number, two response blocks, a width, implicit variables.
    ASSERT_EQ(format("who 7 responses q1,q2 (a2) responses q3 , q4 ! rater(2)"), 1) << firstError();
    EXPECT_EQ(layout.explicitVariables[0].segments[0].firstColumn, 7);
    EXPECT_EQ(layout.explicitVariables[0].fieldNames, std::vector<MString>{""});
    EXPECT_EQ(layout.responseWidth, 2);
    EXPECT_EQ(layout.items, 2);
    EXPECT_EQ(fields(layout.responseBlocks[1]), (std::vector<std::int32_t>{5, 6}));
    EXPECT_EQ(layout.implicitVariables[0].name, "rater");
}

TEST_F(DelimitedFormatTest, EveryMistakeOfTheFormatHasItsMessage) {
    csv("pid,q1,q2,q3\n1,0,1,1\n");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"pid responses q1-q9", "The header of the data file has no field named q9"},
        {"age responses q1-q3", "The header of the data file has no field named age"},
        {"pid responses q3-q1", "The range q3-q1 in format runs backwards through the fields"},
        {"pid responses 2-5", "Field 5 named in format is beyond the 4 fields of the data file"},
        {"pid / responses q1-q3", "A delimited data file has one line per case: '/' has no place in its format"},
        {"pid 1-2 responses q1", "A variable of a delimited data file takes one field: pid 1-2"},
        {"pid", " 'response' must be specified in format "},
        {"pid responses", " No column specification found for the responses in format"},
        {"pid responses q1 (b2)", " No width specified"},
        {"pid responses q1-q2 responses q3", " All responses must have the same no. of columns"},
        {"! item(3)", " Error in format - '!' in column 1"},
        {"3x responses q1", "'3x' in format is not a variable name"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(format(text), -1) << text;
        std::string reported = shell.errors.empty() ? (shell.warnings.empty() ? "" : shell.warnings[0]) : shell.errors[0];
        EXPECT_EQ(reported, message) << text;
        EXPECT_EQ(layout.items, 0) << text;
    }
    // Without a header, names have no field to find.
    csv("1,0,1\n", "delimiter=comma, header=no");
    EXPECT_EQ(format("pid responses q1"), -1);
    EXPECT_EQ(firstError(), "The data file has no header: give the field number of pid in format");
    EXPECT_EQ(format("pid 1 responses 2-3"), 1) << firstError();
}

TEST_F(DelimitedFormatTest, DatafileOptionsAndTheKindOfFile) {
    writeFile("data.csv", "a;b\n1;2\n");
    EXPECT_EQ(run(datafileCommand, "data.csv ! delimiter=pipe"), -1);
    EXPECT_EQ(firstError(), "The delimiter option must be one of: comma, semicolon, tab, whitespace or guess");
    EXPECT_EQ(run(datafileCommand, "data.csv ! header=maybe"), -1);
    EXPECT_EQ(firstError(), "The header option must be yes or no");
    EXPECT_EQ(run(datafileCommand, "data.csv ! delim=semi"), -1);
    // A bare "!" is a delimited file with a header and a guessed delimiter.
    ASSERT_EQ(run(datafileCommand, "data.csv !"), 1);
    EXPECT_EQ(ws.data.fileOptions, (DelimitedOptions{true, kDelimiterGuess, true}));
    ASSERT_EQ(format("a responses b"), 1) << firstError();
    // A fixed-column datafile statement leaves this format unusable, and says so.
    state(datafileCommand, "data.csv");
    EXPECT_EQ(layout.items, 0);
    EXPECT_EQ(shell.warnings,
              (std::vector<std::string>{"The format was given for a delimited data file: give the format statement again"}));
    // A file whose own name holds "!" is still read by that name as fixed columns.
    writeFile("odd!name.txt", "1\n");
    ASSERT_EQ(run(datafileCommand, "odd!name.txt"), 1);
    EXPECT_FALSE(ws.data.fileOptions.delimited);
    EXPECT_EQ(ws.data.fileName, "odd!name.txt");
}

// One table of data written in fixed columns and as a delimited file (with
// quotes, NA, empty fields, CR LF and a byte-order mark): the work files of
// the data passes are byte for byte the same.
TEST_F(DelimitedFormatTest, WorkFilesEqualThoseOfFixedColumns) {
    writeFile("data.txt",
              "02A25M2012\n"
              "01B  F1 1.\n"
              "  A30M1210\n"
              "03B40F1...\n"
              "02B35F3201\n");
    state(datafileCommand, "data.txt");
    state(formatCommand, "pid 1-2 rater 3 age 4-5 grp 6 wt 7 responses 8-10");
    state(modelCommand, "rater + item + item*step");
    state(regressionCommand, "age");
    state(groupCommand, "grp");
    state(caseweightCommand, "wt");
    ASSERT_EQ(buildModel(session), 1) << firstError();
    const std::vector<std::string> fixed = workFiles();
    const std::int32_t cases = ws.data.passes.cases;

    writeFile("data.csv",
              "\xEF\xBB\xBFwho;rater;Age;grp;wt;x1;x2;x3\r\n"
              "02;A;25;M;2;0;1;2\r\n"
              "01;\"B\";NA;F;1;;1;.\r\n"
              ";A;30;M;1;2;1;0\r\n"
              "\"03\";B;40;F;1;.;.;.\r\n"
              "02;B;35;F;3;2;0;1\r\n");
    state(datafileCommand, "data.csv ! header=yes");
    state(formatCommand, "pid=who rater age grp wt responses x1-x3");
    ASSERT_EQ(buildModel(session), 1) << firstError();
    EXPECT_EQ(ws.data.passes.cases, cases);
    EXPECT_EQ(workFiles(), fixed);
}

TEST_F(DelimitedFormatTest, WideCodesAreRightAlignedAndTooWideOnesRefused) {
    writeFile("data.txt", " 1 2\n10 1\n 2 .\n");
    state(datafileCommand, "data.txt");
    state(formatCommand, "responses 1-4 (a2)");
    state(keyCommand, "10 2 ! 11");
    state(modelCommand, "item");
    ASSERT_EQ(buildModel(session), 1) << firstError();
    const std::vector<MString> codes = ws.data.passes.t2;
    const std::vector<std::string> fixed = workFiles();

    csv("a b\n1 2\n10 1\n2 .\n", "delimiter=whitespace");
    state(formatCommand, "responses a-b (a2)");
    ASSERT_EQ(buildModel(session), 1) << firstError();
    EXPECT_EQ(ws.data.passes.t2, codes);
    EXPECT_EQ(workFiles(), fixed);

    csv("a,b\n1,2\n100,1\n");
    state(formatCommand, "responses a-b (a2)");
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(firstError(), "Data file line 3, field 1 (a): the response 100 is wider than the 2 character(s) of the "
                            "responses in the format");
}

TEST_F(DelimitedFormatTest, FieldsAreFoundByNameAgainBeforeEachPass) {
    csv("id,q1,q2\n1,0,1\n2,1,1\n");
    state(formatCommand, "pid=id responses q1-q2");
    state(modelCommand, "item");
    ASSERT_EQ(buildModel(session), 1) << firstError();
    const std::vector<std::string> before = workFiles();
    // The columns change their order: the names still find them.
    writeFile("data.csv", "q2,extra,q1,id\n1,x,0,1\n1,y,1,2\n");
    ws.dataPassNeeded = 1;
    ASSERT_EQ(buildModel(session), 1) << firstError();
    EXPECT_EQ(workFiles(), before);
    // A column that has gone is named.
    writeFile("data.csv", "id,q1\n1,0\n");
    ws.dataPassNeeded = 1;
    shell.clear();
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(firstError(), "The header of the data file has no field named q2");
    // A malformed line is named by the data passes too.
    writeFile("data.csv", "id,q1,q2\n1,0,1\n2,\"1,1\n");
    ws.dataPassNeeded = 1;
    shell.clear();
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(firstError(), "Data file line 3, field 2: unclosed quote");
}

}  // namespace
}  // namespace ordena::test
