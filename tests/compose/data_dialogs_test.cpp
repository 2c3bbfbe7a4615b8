// The statements of the data specification dialogs, against the texts and
// examples of their definitions; composed statements are also run, so that
// the handlers are seen to take them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/compose/data_dialogs.h"
#include "compose_fixture.h"
#include "data/delimited_format.h"
#include "support/capture_shell.h"

namespace ordena::test {
namespace {

using DataDialogs = ComposeTest;

std::vector<LevelEntry> pick(const std::vector<LevelEntry>& list, const std::vector<std::string>& texts) {
    std::vector<LevelEntry> picked;
    for (const std::string& t : texts)
        for (const LevelEntry& e : list)
            if (e.text == t.c_str()) picked.push_back(e);
    EXPECT_EQ(picked.size(), texts.size());
    return picked;
}

TEST(FieldText, KeepsTheFirst99Characters) {
    const std::string longText(120, 'x');
    EXPECT_EQ(fieldText(MString(longText)).str(), std::string(99, 'x'));
    EXPECT_EQ(fieldText(MString(std::string(99, 'y'))).str(), std::string(99, 'y'));
    EXPECT_EQ(fieldText("Title one").str(), "Title one");
    // Characters, not bytes: 100 two-byte letters keep 99 whole letters.
    std::string accented;
    for (int i = 0; i < 100; ++i) accented += "\xC3\xA9";
    EXPECT_EQ(fieldText(MString(accented)).str(), accented.substr(0, 198));
}

TEST_F(DataDialogs, LevelListAndVariableClause) {
    accept("format responses 1-12 ! item(4), rater(3)");
    const std::vector<LevelEntry> list = levelList(layout());
    std::vector<std::string> texts;
    for (const LevelEntry& e : list) texts.push_back(e.text.str());
    EXPECT_EQ(texts, (std::vector<std::string>{"item(1)", "item(2)", "item(3)", "item(4)", "rater(1)", "rater(2)",
                                               "rater(3)"}));
    EXPECT_EQ(list[5].variable, 1);
    EXPECT_EQ(list[5].level, 2);

    EXPECT_EQ(variableClause(layout(), pick(list, {"item(2)", "item(4)"})), "item(2,4)");
    EXPECT_EQ(variableClause(layout(), pick(list, {"item(1)", "item(2)", "item(4)", "rater(2)"})),
              "item(1,2,4),rater(2)");
    // Grouped by variable in order of first appearance.
    EXPECT_EQ(variableClause(layout(), pick(list, {"rater(3)", "item(1)", "rater(1)"})), "rater(3,1),item(1)");
    EXPECT_EQ(variableClause(layout(), {}), "");
}

TEST_F(DataDialogs, ClauseOfItemsTwoAndFive) {
    accept("format responses 1-10");  // the implicit variable item with 10 levels
    const std::vector<LevelEntry> list = levelList(layout());
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[0].text, "item(1)");
    EXPECT_EQ(variableClause(layout(), pick(list, {"item(2)", "item(5)"})), "item(2,5)");
}

TEST_F(DataDialogs, VariableNameLists) {
    accept("format pid 1-5 gender 6 age 7-8 responses 11-20");
    std::vector<std::string> names;
    for (const MString& n : explicitVariableNames(layout())) names.push_back(n.str());
    EXPECT_EQ(names, (std::vector<std::string>{"pid", "gender", "age"}));
    names.clear();
    for (const MString& n : modelDialogNames(layout())) names.push_back(n.str());
    EXPECT_EQ(names, (std::vector<std::string>{"age", "gender", "item", "pid", "step"}));
    // An explicit item variable gives no level list.
    accept("format item 1-2 responses 3");
    EXPECT_TRUE(levelList(layout()).empty());
}

TEST_F(DataDialogs, TitleAndCodes) {
    EXPECT_EQ(composeTitle(ws().title), "Title Ordena: Generalised Item Response Modelling Software");
    EXPECT_EQ(codeListText(ws()), "");
    accept("codes 1, 2 3");
    EXPECT_EQ(codeListText(ws()), "1,2,3");
    EXPECT_EQ(composeCodes(codeListText(ws())), "codes 1,2,3");
    EXPECT_EQ(composeCodes(MString(std::string(120, '1'))), "codes " + std::string(99, '1'));
}

TEST_F(DataDialogs, RecodeOfItemsOneAndTwo) {
    accept("format responses 1-10");
    accept("codes 1,2,3");
    const MString codes = codeListText(ws());  // both code fields open with it
    const MString clause = variableClause(layout(), pick(levelList(layout()), {"item(1)", "item(2)"}));
    const MString statement = composeRecode(codes, "0,0,1", clause);
    EXPECT_EQ(statement, "recode (1,2,3) (0,0,1) !item(1,2)");
    accept(statement);
    ASSERT_EQ(ws().data.recodes.size(), 1u);
    EXPECT_EQ(ws().data.recodes[0].to[2], "1");
    // No selection: the rule applies everywhere.
    EXPECT_EQ(composeRecode("1", "0", ""), "recode (1) (0) !");
}

TEST_F(DataDialogs, ScoreDimensionTexts) {
    accept("format responses 1-10");
    accept("codes 1,2");
    EXPECT_EQ(dimensionsFieldValue("2"), 2);
    EXPECT_EQ(dimensionsFieldValue("3 dimensions"), 3);
    EXPECT_EQ(dimensionsFieldValue(""), 0);
    EXPECT_EQ(dimensionsFieldValue("-1"), 0);
    EXPECT_EQ(dimensionsFieldValue("two"), 0);

    const MString clause = variableClause(layout(), pick(levelList(layout()), {"item(1)", "item(2)"}));
    std::vector<MString> scores = initialScoreTexts(ws(), 1);
    ASSERT_EQ(scores.size(), 1u);
    EXPECT_EQ(scores[0], "1,2");
    const MString one = composeScore(codeListText(ws()), scores, clause);
    EXPECT_EQ(one, "score (1,2)  (1,2) !item(1,2)");
    accept(one);

    scores = initialScoreTexts(ws(), 3);
    EXPECT_EQ(scores[0], "1,2");
    EXPECT_EQ(scores[1], "");
    EXPECT_EQ(scores[2], "");
    scores[1] = "0,1";
    const MString three = composeScore("1,2", scores, "item(3)");
    EXPECT_EQ(three, "score (1,2)  (1,2)  (0,1)  () !item(3)");
    accept(three);
    ASSERT_EQ(ws().data.scores.size(), 2u);
    EXPECT_EQ(ws().data.scores[1].columns.size(), 3u);
}

TEST_F(DataDialogs, KeyStringOfTenItemsOfWidthTwo) {
    EXPECT_EQ(initialKeyString(layout()), "");  // no format yet
    accept("format responses 1-20 (a2)");
    EXPECT_EQ(initialKeyString(layout()), MString::repeat('*', 20));
    accept("format responses 1-4");
    EXPECT_EQ(composeKey("ABCD", "1"), "key ABCD ! \"1\"");
    accept(composeKey("ABCD", "1"));
    ASSERT_EQ(ws().data.keys.size(), 1u);
    EXPECT_EQ(ws().data.keys[0].option, "1");
}

TEST_F(DataDialogs, DeleteClause) {
    accept("format responses 1-10");
    EXPECT_EQ(composeDelete(""), "delete !");
    const MString statement = composeDelete(variableClause(layout(), pick(levelList(layout()), {"item(3)"})));
    EXPECT_EQ(statement, "delete !item(3)");
    accept(statement);
}

TEST_F(DataDialogs, MissingStatement) {
    const std::vector<MString> both{"age", "sex"};
    EXPECT_EQ(composeMissing({true, true, "9"}, both), "missing blank, dot, 9! age, sex");
    EXPECT_EQ(composeMissing({false, true, "9"}, {"age"}), "missing dot, 9! age");
    EXPECT_EQ(composeMissing({false, false, "9"}, {"age"}), "missing 9! age");
    EXPECT_EQ(composeMissing({true, false, ""}, {"age"}), "missing blank! age");
    // A field of blanks gets no separator but is kept as it stands.
    EXPECT_EQ(composeMissing({true, false, "  "}, {"age"}), "missing blank  ! age");
    EXPECT_EQ(composeMissing({false, false, ""}, {"age"}), "missing ! age");
    EXPECT_EQ(composeMissing({true, true, "9"}, {}), "");

    accept("format age 1-2 sex 3 responses 4-8");
    accept(composeMissing({true, true, "9"}, both));
    const ExplicitVariable& age = layout().explicitVariables[0];
    ASSERT_EQ(age.missingCodes.size(), 3u);
    EXPECT_EQ(age.missingCodes[2], "9");
}

TEST_F(DataDialogs, MissingControlsOfOneVariable) {
    accept("format age 1-2 sex 3 responses 4-8");
    MissingFields fields = missingFieldsOf(layout().explicitVariables[1]);  // as the format made it
    EXPECT_TRUE(fields.blanks);
    EXPECT_TRUE(fields.period);
    EXPECT_EQ(fields.otherCodes, "");

    accept("missing 99, \"  \", dot ! age");
    fields = missingFieldsOf(layout().explicitVariables[0]);
    EXPECT_FALSE(fields.blanks);
    EXPECT_TRUE(fields.period);
    EXPECT_EQ(fields.otherCodes, "99 ,\"  \"");

    accept("missing \" \", \".\", x ! sex");  // exact blank and exact dot are other codes
    fields = missingFieldsOf(layout().explicitVariables[1]);
    EXPECT_FALSE(fields.blanks);
    EXPECT_FALSE(fields.period);
    EXPECT_EQ(fields.otherCodes, "\" \" ,\".\" ,x");
}

TEST_F(DataDialogs, CaseWeightRegressionAndGroup) {
    accept("format pid 1-5 wt 6-8 age 9-10 sex 11 responses 12-21");
    EXPECT_EQ(caseWeightStatus(ws()), "Current Status: Cases not weighted");
    EXPECT_EQ(currentCaseWeight(ws()), "");
    EXPECT_EQ(composeCaseWeight("wt"), "caseweight wt");
    accept(composeCaseWeight("wt"));
    EXPECT_EQ(caseWeightStatus(ws()), "Current weight is: wt");
    EXPECT_EQ(currentCaseWeight(ws()), "wt");
    EXPECT_EQ(composeCaseWeight(""), "caseweight ");

    EXPECT_EQ(composeRegression({"age", "sex"}), "regression age, sex");
    EXPECT_EQ(composeRegression({}), "");
    accept(composeRegression({"age", "sex"}));
    EXPECT_EQ(ws().model.regression.explicitCount(), 2);
    EXPECT_EQ(composeGroup({"sex"}), "group sex");
    EXPECT_EQ(composeGroup({}), "");
    accept(composeGroup({"sex"}));
}

TEST_F(DataDialogs, ModelStatementField) {
    accept("format responses 1-10");
    MString statement = kModelStart;
    statement = modelAddName(statement, "item");
    statement = modelAddOperator(statement, '+');
    statement = modelAddName(statement, "step");
    EXPECT_EQ(statement, "model item + step");
    accept(statement);
    EXPECT_EQ(ws().model.modelText, "item+step");
    EXPECT_EQ(modelAddOperator("model item", '*'), "model item *");
    EXPECT_EQ(modelAddOperator("model item", '-'), "model item -");
}

TEST_F(DataDialogs, FormatBuilderExample) {
    FormatFields response;
    response.startColumn = "1";
    response.endColumn = "10";
    MString statement = formatAdd(kFormatStart, FormatVariableType::Response, response);
    EXPECT_EQ(statement, "format response 1-10");
    statement = formatInsertAtHead(statement, ',');
    EXPECT_EQ(statement, "format response 1-10,");
    response.startColumn = "21";
    response.endColumn = "30";
    response.width = "2";
    statement = formatAdd(statement, FormatVariableType::Response, response);
    EXPECT_EQ(statement, "format response 1-10, 21-30 (a2)");
    FormatFields implicit;
    implicit.name = "item";
    implicit.levels = "10";
    statement = formatAdd(statement, FormatVariableType::Implicit, implicit);
    EXPECT_EQ(statement, "format response 1-10, 21-30 (a2)! item(10)");
    accept(statement);
    EXPECT_EQ(layout().items, 10);
    EXPECT_EQ(layout().responseWidth, 2);
}

TEST_F(DataDialogs, FormatBuilderHeadAndTail) {
    EXPECT_EQ(formatColumnRange("5", ""), "5");
    EXPECT_EQ(formatColumnRange("5", "5"), "5");
    EXPECT_EQ(formatColumnRange("5", "9"), "5-9");

    FormatFields pid;
    pid.name = "pid";
    pid.startColumn = "1";
    pid.endColumn = "5";
    EXPECT_EQ(formatAdd("format", FormatVariableType::Explicit, pid), "format pid 1-5");
    // Additions go before the implicit part.
    EXPECT_EQ(formatAdd("format response 6-15! item(10)", FormatVariableType::Explicit, pid),
              "format response 6-15 pid 1-5! item(10)");
    FormatFields response;
    response.startColumn = "16";
    response.endColumn = "25";
    EXPECT_EQ(formatAdd("format pid 1-5! item(10)", FormatVariableType::Response, response),
              "format pid 1-5 response 16-25! item(10)");
    // A width without columns widens what stands before it.
    FormatFields width;
    width.width = "2";
    EXPECT_EQ(formatAdd("format response 1-20", FormatVariableType::Response, width), "format response 1-20 (a2)");
    FormatFields rater;
    rater.name = "rater";
    rater.levels = "2";
    EXPECT_EQ(formatAdd("format response 1-10! item(5)", FormatVariableType::Implicit, rater),
              "format response 1-10! item(5), rater(2)");
    EXPECT_EQ(formatInsertAtHead("format pid 1-5! item(10)", '/'), "format pid 1-5/! item(10)");

    // A next record, and the statement the format handler reads from it.
    MString statement = formatAdd("format", FormatVariableType::Explicit, pid);
    statement = formatInsertAtHead(statement, '/');
    response.startColumn = "1";
    response.endColumn = "10";
    statement = formatAdd(statement, FormatVariableType::Response, response);
    EXPECT_EQ(statement, "format pid 1-5/ response 1-10");
    accept(statement);
    EXPECT_EQ(layout().recordsPerCase, 2);
}

// The statement fields are read whole: a statement longer than 99
// characters keeps its end through every addition (a cut would run a
// different statement than the one shown). One-line fields keep their cut.
TEST_F(DataDialogs, StatementFieldsAreReadWhole) {
    const MString longText = "format response 1-10 " + MString::repeat('x', 80) + " a 1-30";
    ASSERT_EQ(longText.length(), 108);
    FormatFields levels;
    levels.name = "item";
    levels.levels = "10";
    EXPECT_EQ(formatAdd(longText, FormatVariableType::Implicit, levels), longText + "! item(10)");
    EXPECT_EQ(formatInsertAtHead(longText, '/'), longText + "/");
    FormatFields response;
    response.startColumn = "31";
    response.endColumn = "40";
    EXPECT_EQ(formatAdd(longText + "! item(10)", FormatVariableType::Response, response),
              longText + " response 31-40! item(10)");
    const MString model = "model " + MString::repeat('a', 100);
    EXPECT_EQ(modelAddOperator(model, '+'), model + " +");
    EXPECT_EQ(modelAddName(model + " +", "step"), model + " + step");
    EXPECT_EQ(fieldText(longText), longText.mid(0, 99));
    EXPECT_EQ(composeTitle(MString::repeat('t', 120)), "Title " + MString::repeat('t', 99));
}

}  // namespace
}  // namespace ordena::test

namespace ordena::test {
namespace {

// For a delimited data file the column boxes take header names: the
// statement the dialog composes is one the format of such a file reads.
TEST(FormatDialogDelimited, HeaderNamesInTheColumnBoxesMakeADelimitedFormat) {
    FormatFields pid;
    pid.name = "pid";
    FormatFields items;
    items.startColumn = "q1";
    items.endColumn = "q3";
    MString statement = formatAdd(kFormatStart, FormatVariableType::Explicit, pid);
    statement = formatAdd(statement, FormatVariableType::Response, items);
    EXPECT_EQ(statement.removeBlanks(), "formatpidresponseq1-q3");

    const std::string path =
        (std::filesystem::temp_directory_path() / ("ordena-format-dialog-" + std::to_string(::getpid()) + ".csv")).string();
    { std::ofstream(path) << "pid,q1,q2,q3\n1,0,1,1\n"; }
    CaptureShell shell;
    DataLayout layout;
    const MString arguments = statement.mid(static_cast<int>(std::string(kFormatStart).size()), statement.length());
    EXPECT_EQ(parseDelimitedFormat(arguments, MString(path), DelimitedOptions{true, kDelimiterComma, true}, layout, shell), 1)
        << (shell.errors.empty() ? "" : shell.errors[0]);
    EXPECT_EQ(layout.items, 3);
    EXPECT_EQ(layout.caseIdentifier, 0);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace ordena::test
