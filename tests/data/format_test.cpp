#include "data/format.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "data_fixture.h"

using namespace ordena;
using ordena::test::DataTest;

namespace {

std::vector<std::int32_t> firstColumns(const ResponseBlock& b) {
    std::vector<std::int32_t> c;
    for (const auto& r : b.responses) c.push_back(r.firstColumn);
    return c;
}

class FormatTest : public DataTest {
protected:
    int format(const std::string& text) { return run(formatCommand, text); }
};

TEST_F(FormatTest, SingleBlockGetsTheImplicitItemVariable) {
    ASSERT_EQ(format(" responses 1-10"), 1);
    EXPECT_TRUE(shell.errors.empty());
    EXPECT_EQ(layout.recordsPerCase, 1);
    EXPECT_EQ(layout.items, 10);
    EXPECT_EQ(layout.responseWidth, 1);
    ASSERT_EQ(layout.responseBlocks.size(), 1u);
    EXPECT_EQ(firstColumns(layout.responseBlocks[0]), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(layout.responseBlocks[0].responses[9].record, 1);
    EXPECT_TRUE(layout.explicitVariables.empty());
    ASSERT_EQ(layout.implicitVariables.size(), 1u);
    EXPECT_EQ(layout.implicitVariables[0].name, "item");
    EXPECT_EQ(layout.implicitVariables[0].levels, 10);
    EXPECT_EQ(layout.itemVariable.kind, kImplicitVariable);
    EXPECT_EQ(layout.itemVariable.index, 0);
    EXPECT_EQ(layout.caseIdentifier, -1);
    EXPECT_EQ(layout.formatText, " responses 1-10");
    ASSERT_EQ(layout.itemLevels.size(), 10u);
    EXPECT_EQ(layout.itemLevels[7], std::vector<std::int32_t>{7});
    EXPECT_EQ(shell.output, "\r\n");
    EXPECT_EQ(ws.dataPassNeeded, 1);
}

TEST_F(FormatTest, WidthTwoResponsesAndTheCaseIdentifier) {
    ASSERT_EQ(format(" pid 1-5 responses 6-25 (a2)"), 1);
    EXPECT_EQ(layout.items, 10);
    EXPECT_EQ(layout.responseWidth, 2);
    EXPECT_EQ(firstColumns(layout.responseBlocks[0]),
              (std::vector<std::int32_t>{6, 8, 10, 12, 14, 16, 18, 20, 22, 24}));
    EXPECT_EQ(layout.caseIdentifier, 0);
    ASSERT_EQ(layout.explicitVariables.size(), 1u);
    EXPECT_EQ(layout.explicitVariables[0].segments[0].firstColumn, 1);
    EXPECT_EQ(layout.explicitVariables[0].segments[0].lastColumn, 5);
    EXPECT_EQ(layout.variableNames, (std::vector<MString>{"pid", "item"}));
    EXPECT_EQ(shell.output, "\r\nExplicit Variables: \r\n   pid\r\n");

    // The width may be written anywhere in the field, and without the a.
    ASSERT_EQ(format(" responses (a3) 1-6, 10-12"), 1);
    EXPECT_EQ(firstColumns(layout.responseBlocks[0]), (std::vector<std::int32_t>{1, 4, 10}));
    ASSERT_EQ(format(" responses 1-4 (2)"), 1);
    EXPECT_EQ(shell.warnings, Messages{" Width specification in format doesn't start with 'a' or 'A' "});
    EXPECT_EQ(layout.responseWidth, 2);
}

TEST_F(FormatTest, RecordsAdvanceWithEverySlash) {
    ASSERT_EQ(format(" pid 1-5 / responses 1-40"), 1);
    EXPECT_EQ(layout.recordsPerCase, 2);
    EXPECT_EQ(layout.explicitVariables[0].segments[0].record, 1);
    EXPECT_EQ(layout.responseBlocks[0].responses[0].record, 2);

    ASSERT_EQ(format(" responses 1-10 / responses 1-10"), 1);
    ASSERT_EQ(layout.responseBlocks.size(), 2u);
    EXPECT_EQ(layout.items, 10);
    EXPECT_EQ(layout.responseBlocks[1].responses[0].record, 2);
    EXPECT_EQ(layout.responseBlocks[1].responses[9].firstColumn, 10);

    // Leading slashes, slashes glued to columns, a trailing slash, and a
    // slash inside a response block.
    ASSERT_EQ(format("//pid 1-5/responses 1-2/3-4/"), 1);
    EXPECT_EQ(layout.explicitVariables[0].segments[0].record, 3);
    EXPECT_EQ(layout.responseBlocks[0].responses[0].record, 4);
    EXPECT_EQ(layout.responseBlocks[0].responses[2].record, 5);
    EXPECT_EQ(layout.recordsPerCase, 6);

    std::string twenty = " responses 1-2";
    for (int k = 0; k < 19; ++k) twenty += " /";
    ASSERT_EQ(format(twenty), 1);
    EXPECT_EQ(layout.recordsPerCase, 20);
    EXPECT_EQ(format(twenty + " / /"), -1);
    EXPECT_EQ(shell.errors, Messages{"The maximum number of records allowed is 20. You have 22"});
}

TEST_F(FormatTest, RepeatedFieldsBecomeSegments) {
    ASSERT_EQ(format(" gender 1 gender 30 responses 2-20"), 1);
    ASSERT_EQ(layout.explicitVariables.size(), 1u);
    const ExplicitVariable& g = layout.explicitVariables[0];
    ASSERT_EQ(g.segments.size(), 2u);
    EXPECT_EQ(g.segments[1].firstColumn, 30);
    EXPECT_EQ(g.segments[1].lastColumn, 30);
    // The k-th segment serves block k, the last one every later block.
    EXPECT_EQ(g.segmentForBlock(0).firstColumn, 1);
    EXPECT_EQ(g.segmentForBlock(1).firstColumn, 30);
    EXPECT_EQ(g.segmentForBlock(5).firstColumn, 30);

    ASSERT_EQ(format(" pid 1-5 PID 6-8 responses 9-10"), 1);
    ASSERT_EQ(layout.explicitVariables.size(), 1u);
    EXPECT_EQ(layout.explicitVariables[0].name, "pid");
    EXPECT_EQ(layout.explicitVariables[0].segments.size(), 2u);
    EXPECT_EQ(layout.caseIdentifier, 0);
    // Blanks inside a column specification vanish before it is read.
    ASSERT_EQ(format(" age 1 - 3 responses 4-5"), 1);
    EXPECT_EQ(layout.explicitVariables[0].segments[0].lastColumn, 3);
}

TEST_F(FormatTest, ImplicitVariablesFillTheItemLevelTableLikeAnOdometer) {
    ASSERT_EQ(format(" responses 1-12 ! rater(3), item(4)"), 1);
    ASSERT_EQ(layout.implicitVariables.size(), 2u);
    EXPECT_EQ(layout.itemVariable.kind, kImplicitVariable);
    EXPECT_EQ(layout.itemVariable.index, 1);
    EXPECT_EQ(layout.itemLevels[0], (std::vector<std::int32_t>{0, 0}));
    EXPECT_EQ(layout.itemLevels[1], (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(layout.itemLevels[3], (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(layout.itemLevels[11], (std::vector<std::int32_t>{2, 3}));

    ASSERT_EQ(format(" responses 1-12 ! a(2), b(3), c(2)"), 1);
    EXPECT_EQ(layout.itemLevels[7], (std::vector<std::int32_t>{1, 0, 1}));
    EXPECT_EQ(layout.itemLevels[11], (std::vector<std::int32_t>{1, 2, 1}));
    EXPECT_EQ(layout.itemVariable.index, -1);  // no variable is named item

    EXPECT_EQ(format(" responses 1-12 ! rater(3), item(5)"), -1);
    EXPECT_EQ(shell.errors, Messages{" Product of levels of implicit variables must be the same as the no. of items "
                                     "specified for the responses"});
    // Levels large enough to overflow a product are still refused cleanly.
    EXPECT_EQ(format(" responses 1-12 ! a(99999999999), b(99999999999), c(99999999999)"), -1);
}

TEST_F(FormatTest, TheItemVariableMayBeExplicitOrNamedItems) {
    ASSERT_EQ(format(" item 1-2 responses 3"), 1);
    EXPECT_TRUE(layout.implicitVariables.empty());
    EXPECT_EQ(layout.itemVariable.kind, kExplicitVariable);
    EXPECT_EQ(layout.itemVariable.index, 0);

    ASSERT_EQ(format(" Items 1-2 responses 3-4"), 1);
    EXPECT_EQ(layout.explicitVariables[0].name, "item");
    EXPECT_TRUE(layout.implicitVariables.empty());

    ASSERT_EQ(format(" responses 1-4 ! items(4)"), 1);
    EXPECT_EQ(layout.implicitVariables[0].name, "item");
    EXPECT_EQ(layout.variableNames, std::vector<MString>{"item"});

    EXPECT_EQ(format(" item 1 items 2 responses 3-4"), -1);
    EXPECT_EQ(shell.errors, Messages{"item cannot be used for two variables in format"});
    EXPECT_EQ(format(" responses 1-4 ! a(2), a(2)"), -1);
    EXPECT_EQ(shell.errors, Messages{"a cannot be used for two variables in format"});
}

TEST_F(FormatTest, NameChecksComeInTheirOrder) {
    EXPECT_EQ(format(" dimensions 1 responses 2-3 ! parameters(2)"), -1);
    EXPECT_EQ(shell.errors, Messages{"dimensions cannot be used as an explicit variable name"});
    EXPECT_EQ(format(" rater 1 responses 2-3 ! parameters(2)"), -1);
    EXPECT_EQ(shell.errors, Messages{"parameters cannot be used as an implicit variable name"});
    EXPECT_EQ(format(" rater 1 responses 2-3 ! rater(2)"), -1);
    EXPECT_EQ(shell.errors, Messages{"rater cannot be used as both an explicit and an implicit variable name"});
    // Only the exact word is reserved.
    EXPECT_EQ(format(" dimension 1 responses 2-3"), 1);
}

TEST_F(FormatTest, ResponseBlockErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {" responses 6-25(A2)", " Illegal character in column specification for response"},
        {" responses 1-9 (a2)", " Column range not divisible by field width"},
        {" responses 1-10 / responses 1-8", " All responses must have the same no. of columns"},
        {" Responsetime 1-3 responses 4-10", " All responses must have the same no. of columns"},
        {" responses 1-10 (a)", " No width specified"},
        {" responses 1-10 (a2,)", "Illegal character following width specification in format"},
        {" responses 1-10 (a2)(a2)", " Nested brackets not allowed in format"},
        {" responses 1-10 a2)", " Nested brackets not allowed in format"},
        {" responses 1-10-", " Error in column specification for response"},
        {" responses 1-", " Column range incorrect: end range not found"},
        {" responses 5-1", "Column range incorrect - 1st number > 2nd number"},
        {" pid 1-5", " 'response' must be specified in format "},
        {" responses 1-10 ((a2))", " Nested brackets not allowed"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(format(text), -1) << text;
        ASSERT_FALSE(shell.errors.empty()) << text;
        EXPECT_EQ(shell.errors.back(), message) << text;
    }
    // An unmatched ")" is reported and parsing goes on to the block's own check.
    EXPECT_EQ(format(" responses 1-10 a2)"), -1);
    EXPECT_EQ(shell.errors, (Messages{" Brackets are not in correct order", " Nested brackets not allowed in format"}));
}

TEST_F(FormatTest, ExplicitVariableErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {" pid 1-x5 responses 6-7", " Illegal character in column specification for variable"},
        {" pid responses 1-2", " No column specification found for a variable in format"},
        {" pid 3- responses 1-2", " Column range incorrect: end range not found"},
        {" pid 5-3 responses 1-2", "Column range incorrect - 1st number > 2nd number"},
        {" pid 1-5-6 responses 7", " Incorrect column specification for variable in format"},
        {"! item(3)", " Error in format - '!' in column 1"},
        {"   ", "Nothing specified after 'format' keyword"},
        {" 1-10", " No field found or too many fields in format"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(format(text), -1) << text;
        EXPECT_EQ(shell.errors, Messages{message}) << text;
    }
    // Two ranges without a separating field read as one number.
    ASSERT_EQ(format(" pid 1-5 6 responses 7"), 1);
    EXPECT_EQ(layout.explicitVariables[0].segments[0].lastColumn, 56);
}

TEST_F(FormatTest, ImplicitVariableErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {" responses 1-4 ! rater", " Number of levels not specified for implicit var in format"},
        {" responses 1-4 ! rater(x)", " Number of levels not specified for implicit var in format"},
        {" responses 1-4 ! rater(2x)", " Illegal character following level specification in format"},
        {" responses 1-4 ! rater(4", " Illegal character following level specification in format"},
        {" responses 1-4 ! r((4))", " Incorrect brackets in format"},
        {" responses 1-4 ! 2r(4)", " Not valid variable name in format"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(format(text), -1) << text;
        EXPECT_EQ(shell.errors, Messages{message}) << text;
    }
    ASSERT_EQ(format(" responses 1-4 ! Rater ( 2 ) , TASK(2)"), 1);
    EXPECT_EQ(layout.implicitVariables[0].name, "rater");
    EXPECT_EQ(layout.implicitVariables[1].name, "task");
}

TEST_F(FormatTest, LimitsThatGuardMemory) {
    // Columns count from 1 and never lie beyond the longest record read.
    EXPECT_EQ(format(" pid 0-3 responses 4-5"), -1);
    EXPECT_EQ(shell.errors, Messages{"Column numbers in format start at 1"});
    EXPECT_EQ(format(" responses 1-3072"), -1);
    EXPECT_EQ(shell.errors, Messages{"Column number in format beyond the longest record allowed (3071)"});
    ASSERT_EQ(format(" responses 1-3071"), 1);
    EXPECT_EQ(layout.items, 3071);
    EXPECT_EQ(format(" responses 1-99999999999999999999"), -1);
    EXPECT_EQ(format(" responses 1-10 (a0)"), -1);
    EXPECT_EQ(shell.errors, Messages{"The width in format must be at least 1"});
    EXPECT_EQ(format(" responses (a2)"), -1);
    EXPECT_EQ(shell.errors, Messages{" No column specification found for the responses in format"});
    EXPECT_EQ(format(" 7 responses 1-10"), -1);
    EXPECT_EQ(shell.errors, Messages{"Column specification without a field name in format: 7"});

    std::string fields;
    for (int k = 0; k < 499; ++k) fields += " v" + std::to_string(k) + " 1";
    ASSERT_EQ(format(fields + " responses 2"), -1);  // 500 fields
    EXPECT_EQ(shell.errors, Messages{" No field found or too many fields in format"});
    fields.erase(fields.rfind(" v"));
    EXPECT_EQ(format(fields + " responses 2"), 1);
}

TEST_F(FormatTest, FailureKeepsTheLayoutButNotItsResponses) {
    ASSERT_EQ(format(" pid 1-5 responses 6-15"), 1);
    ws.est.estimated = 1;
    ws.dataPassNeeded = 0;
    EXPECT_EQ(format(" responses 1-9 (a2)"), -1);
    EXPECT_EQ(layout.items, 0);
    EXPECT_EQ(layout.responseWidth, 0);
    EXPECT_FALSE(layout.hasResponses());
    EXPECT_EQ(layout.explicitVariables.size(), 1u);
    EXPECT_EQ(layout.formatText, " pid 1-5 responses 6-15");
    EXPECT_EQ(ws.est.estimated, 0);
    EXPECT_EQ(ws.dataPassNeeded, 1);
}

TEST_F(FormatTest, VariableLookups) {
    ASSERT_EQ(format(" pid 1-5 gender 6 responses 7-18 ! rater(3), item(4)"), 1);
    EXPECT_EQ(ws.data.explicitVariableIndex("gender"), 1);
    EXPECT_EQ(ws.data.explicitVariableIndex("Gender"), -1);
    EXPECT_EQ(ws.data.implicitVariableIndex("item"), 1);
    EXPECT_EQ(ws.data.implicitVariableIndex("pid"), -1);
    VariableRef r;
    ASSERT_TRUE(layout.lookupVariable("IT", r));
    EXPECT_EQ(r.kind, kImplicitVariable);
    EXPECT_EQ(r.index, 1);
    ASSERT_TRUE(layout.lookupVariable("Gender", r));
    EXPECT_EQ(r.kind, kExplicitVariable);
    ASSERT_TRUE(layout.lookupVariable("st", r));
    EXPECT_EQ(r.kind, kStepVariable);
    EXPECT_FALSE(layout.lookupVariable("itemz", r));
    EXPECT_FALSE(layout.lookupVariable("", r));
}

class DatafileTest : public DataTest {
protected:
    std::filesystem::path dir, previous;
    void SetUp() override {
        previous = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() / ("ordena-datafile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        std::ofstream(dir / "my data.txt") << "0101\n";
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
};

TEST_F(DatafileTest, NameKeepsInnerBlanks) {
    ASSERT_EQ(run(datafileCommand, "  my data.txt "), 1);
    EXPECT_EQ(ws.data.fileName, "my data.txt");
    EXPECT_EQ(shell.output, "Data file name: my data.txt\r\n\r\n");
    EXPECT_EQ(ws.dataPassNeeded, 1);
}

TEST_F(DatafileTest, MissingFileKeepsThePreviousName) {
    ASSERT_EQ(run(datafileCommand, " my data.txt"), 1);
    ws.est.estimated = 1;
    EXPECT_EQ(run(datafileCommand, " nothere.dat"), -1);
    std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(shell.errors, Messages{"The data file '" + cwd + "/nothere.dat' cannot be opened"});
    EXPECT_EQ(ws.data.fileName, "my data.txt");
    EXPECT_EQ(ws.est.estimated, 1);
    // A directory is no data file.
    std::filesystem::create_directory(dir / "sub");
    EXPECT_EQ(run(datafileCommand, " sub"), -1);
    EXPECT_EQ(run(datafileCommand, "   "), -1);
    EXPECT_EQ(shell.errors, Messages{"Nothing specified after 'datafile' keyword"});
}

}  // namespace
