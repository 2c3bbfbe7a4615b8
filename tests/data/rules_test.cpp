#include "data/rules.h"

#include <gtest/gtest.h>

#include <string>

#include "command/settings.h"
#include "data/coding.h"
#include "data/format.h"
#include "data_fixture.h"

using namespace ordena;
using ordena::test::DataTest;

namespace {

std::vector<MString> list(std::initializer_list<const char*> items) {
    std::vector<MString> v;
    for (const char* s : items) v.emplace_back(s);
    return v;
}

// A hand-made layout: explicit gender (index 0) and age (index 1), implicit
// rater (3 levels) and item (4 levels), responses of width 2.
class RulesTest : public DataTest {
protected:
    void SetUp() override {
        ASSERT_EQ(run(formatCommand, " gender 1 age 2-3 responses 4-27 (a2) ! rater(3), item(4)"), 1);
    }

    // The values a response sees: explicit values and implicit levels (from 0).
    std::vector<MString> explicitValues{"M", "30"};
    std::vector<std::int32_t> levels{0, 0};
    VariableValues values() const { return {explicitValues, levels, {}}; }

    Selection selection(const char* text) {
        std::vector<Selection> s;
        EXPECT_EQ(parseSelections(text, layout, s, session), 1) << text;
        return s.empty() ? Selection{} : s[0];
    }
    RecodeRule recode(const char* text) {
        RecodeRule r;
        EXPECT_EQ(parseRecodeRule(text, layout, r, session), 1) << text;
        return r;
    }
    ScoreRule score(const char* text) {
        ScoreRule r;
        std::vector<RecodeRule> groups;
        EXPECT_EQ(parseScoreRule(text, layout, r, groups, session), 1) << text;
        return r;
    }
};

TEST(CodeMatching, CodesAreFilledOnTheLeftThenComparedExactly) {
    EXPECT_TRUE(codeMatches("1", "1"));
    EXPECT_TRUE(codeMatches("1", " 1"));
    EXPECT_TRUE(codeMatches("1", "   1"));
    EXPECT_FALSE(codeMatches("1", "1 "));
    EXPECT_FALSE(codeMatches("1", "01"));
    EXPECT_FALSE(codeMatches(" 1", "1"));
    EXPECT_FALSE(codeMatches("12", "1"));
    EXPECT_TRUE(codeMatches(" ", "  "));
}

TEST_F(RulesTest, ExplicitSelectionsUseCodeMatching) {
    Selection g = selection("gender(M F)");
    EXPECT_EQ(selectionMatches(g, values()), kSelectionMatch);
    explicitValues[0] = "F";
    EXPECT_EQ(selectionMatches(g, values()), kSelectionMatch);
    explicitValues[0] = "m";
    EXPECT_EQ(selectionMatches(g, values()), kSelectionNoMatch);

    Selection age = selection("age(5 30-32)");
    explicitValues[1] = " 5";  // a code matches behind leading blanks
    EXPECT_EQ(selectionMatches(age, values()), kSelectionMatch);
    explicitValues[1] = "5 ";
    EXPECT_EQ(selectionMatches(age, values()), kSelectionNoMatch);
    explicitValues[1] = "31";
    EXPECT_EQ(selectionMatches(age, values()), kSelectionMatch);
    explicitValues[1] = "05";
    EXPECT_EQ(selectionMatches(age, values()), kSelectionNoMatch);
    explicitValues[1] = "";
    EXPECT_EQ(selectionMatches(age, values()), kSelectionNoMatch);
}

TEST_F(RulesTest, ImplicitSelectionsCountLevelsFromOne) {
    Selection items = selection("item(2 04)");
    levels = {2, 1};
    EXPECT_EQ(selectionMatches(items, values()), kSelectionMatch);
    levels = {2, 3};
    EXPECT_EQ(selectionMatches(items, values()), kSelectionMatch);
    levels = {1, 0};
    EXPECT_EQ(selectionMatches(items, values()), kSelectionNoMatch);

    // All selections of a rule must match.
    std::vector<Selection> both{selection("rater(1)"), selection("item(1-2)")};
    levels = {0, 1};
    EXPECT_EQ(selectionsMatch(both, values()), kSelectionMatch);
    levels = {1, 1};
    EXPECT_EQ(selectionsMatch(both, values()), kSelectionNoMatch);
    EXPECT_EQ(selectionsMatch({}, values()), kSelectionMatch);
}

TEST_F(RulesTest, SelectionsOfAnotherLayoutOrUnknownValuesAreFlagged) {
    Selection stale = selection("age(1)");
    stale.variable.index = 7;
    EXPECT_EQ(selectionMatches(stale, values()), kSelectionBadVariable);
    stale.variable.kind = kStepVariable;
    EXPECT_EQ(selectionMatches(stale, values()), kSelectionBadVariable);

    // Only the model's variables are known while scores are looked up; a
    // problem is found even behind a selection that does not match.
    std::vector<std::uint8_t> known{1, 0};
    levels = {-1, 0};
    VariableValues modelValues{explicitValues, levels, known};
    EXPECT_EQ(selectionMatches(selection("gender(M)"), modelValues), kSelectionMatch);
    EXPECT_EQ(selectionMatches(selection("age(30)"), modelValues), kSelectionUnknown);
    EXPECT_EQ(selectionMatches(selection("rater(1)"), modelValues), kSelectionUnknown);
    std::vector<Selection> both{selection("gender(F)"), selection("rater(1)")};
    EXPECT_EQ(selectionsMatch(both, modelValues), kSelectionUnknown);
}

TEST_F(RulesTest, RecodesSeeOnlyTheRawResponse) {
    std::vector<RecodeRule> rules{recode(" (1 2) (2 1)")};
    const MString* out = nullptr;
    MString raw(" 1");  // width 2: the code 1 matches behind the blank
    ASSERT_EQ(applyRecodes(raw, rules, values(), out, session), 1);
    EXPECT_EQ(*out, "2");
    raw = " 2";
    ASSERT_EQ(applyRecodes(raw, rules, values(), out, session), 1);
    EXPECT_EQ(*out, "1");
    raw = "3 ";
    ASSERT_EQ(applyRecodes(raw, rules, values(), out, session), 1);
    EXPECT_EQ(out, &raw);

    // The first matching code of a rule gives the position.
    rules = {recode(" (1 1) (a b)")};
    raw = "1";
    ASSERT_EQ(applyRecodes(raw, rules, values(), out, session), 1);
    EXPECT_EQ(*out, "a");
}

TEST_F(RulesTest, TwoApplyingRecodesAreAmbiguousUnlessSelectionsSeparateThem) {
    std::vector<RecodeRule> rules{recode(" (9) (0) ! item(1-2)"), recode(" (9 8) (1 1) ! item(2-4)")};
    const MString* out = nullptr;
    MString raw(" 9");
    levels = {0, 0};
    ASSERT_EQ(applyRecodes(raw, rules, values(), out, session), 1);
    EXPECT_EQ(*out, "0");
    levels = {0, 3};
    ASSERT_EQ(applyRecodes(raw, rules, values(), out, session), 1);
    EXPECT_EQ(*out, "1");
    EXPECT_TRUE(shell.errors.empty());
    levels = {0, 1};
    EXPECT_EQ(applyRecodes(raw, rules, values(), out, session), -1);
    EXPECT_EQ(shell.errors, Messages{"Ambiguous recodes"});

    shell.clear();
    rules[0].selections[0].variable.index = 9;
    EXPECT_EQ(applyRecodes(raw, rules, values(), out, session), -1);
    EXPECT_EQ(shell.errors, Messages{"Error in variable list in recode"});
}

TEST_F(RulesTest, DeletesReportRedundantRules) {
    std::vector<DeleteRule> rules(3);
    rules[0].selections = {selection("item(3)")};
    rules[1].selections = {selection("gender(M)")};
    rules[2].selections = {selection("rater(3)")};
    levels = {0, 0};
    EXPECT_EQ(isDeleted(rules, values(), session), 1);  // gender M
    EXPECT_TRUE(shell.errors.empty());
    explicitValues[0] = "F";
    EXPECT_EQ(isDeleted(rules, values(), session), 0);
    levels = {2, 2};
    explicitValues[0] = "M";
    EXPECT_EQ(isDeleted(rules, values(), session), 1);
    EXPECT_EQ(shell.errors, (Messages{"Redundant deletes ignored", "Redundant deletes ignored"}));

    shell.clear();
    std::vector<DeleteRule> everything(1);
    EXPECT_EQ(isDeleted(everything, values(), session), 1);
    everything[0].selections = {selection("age(1)")};
    everything[0].selections[0].variable.index = 5;
    EXPECT_EQ(isDeleted(everything, values(), session), -1);
    EXPECT_EQ(shell.errors, Messages{"Error in variable list in delete"});
}

TEST_F(RulesTest, KeysAndTheKeyDefault) {
    ASSERT_EQ(run(formatCommand, " responses 1-10"), 1);
    ASSERT_EQ(run(keyCommand, " ABCDABCDAB ! 1"), 1);
    const auto& keys = ws.data.keys;
    MString dflt = paddedKeyDefault(ws.settings.key_default, 1);
    const MString* out = nullptr;
    ASSERT_EQ(applyKeys("A", 0, keys, dflt, out, session), 1);
    EXPECT_EQ(*out, "1");
    ASSERT_EQ(applyKeys("B", 0, keys, dflt, out, session), 1);
    EXPECT_EQ(*out, "0");
    // Keys compare exactly: no filling.
    ASSERT_EQ(applyKeys(" A", 0, keys, dflt, out, session), 1);
    EXPECT_EQ(*out, "0");

    ASSERT_EQ(run(keyCommand, " BBBBBBBBBB ! 1"), 1);
    EXPECT_EQ(applyKeys("B", 1, keys, dflt, out, session), -1);
    EXPECT_EQ(shell.errors, Messages{"The keys are ambiguous"});
    ASSERT_EQ(applyKeys("B", 0, keys, dflt, out, session), 1);
    EXPECT_EQ(*out, "1");

    shell.clear();
    EXPECT_EQ(applyKeys("B", 10, keys, dflt, out, session), -1);
    EXPECT_EQ(shell.errors.size(), 1u);

    EXPECT_EQ(paddedKeyDefault("x", 3), "  x");
    EXPECT_EQ(paddedKeyDefault("x", 1), "x");
}

TEST(MissingTests, ResponsesFollowTheRespmissSetting) {
    EXPECT_TRUE(isMissingResponse(" .", kRespMissDot));
    EXPECT_TRUE(isMissingResponse(". ", kRespMissDot));
    EXPECT_FALSE(isMissingResponse("..", kRespMissDot));
    EXPECT_FALSE(isMissingResponse("  ", kRespMissDot));
    EXPECT_TRUE(isMissingResponse("  ", kRespMissBlank));
    EXPECT_TRUE(isMissingResponse("", kRespMissBlank));
    EXPECT_FALSE(isMissingResponse(".", kRespMissBlank));
    EXPECT_TRUE(isMissingResponse(".", kRespMissBoth));
    EXPECT_TRUE(isMissingResponse(" ", kRespMissBoth));
    EXPECT_FALSE(isMissingResponse("1", kRespMissBoth));
    EXPECT_FALSE(isMissingResponse(" ", kRespMissNone));
    EXPECT_FALSE(isMissingResponse(".", kRespMissNone));
}

TEST_F(RulesTest, MissingValuesTrimmedOrExact) {
    ASSERT_EQ(run(missingCommand, R"( 99, "  ", dot ! age)"), 1);
    const ExplicitVariable& age = layout.explicitVariables[1];
    EXPECT_TRUE(isMissingValue("99", age));
    EXPECT_TRUE(isMissingValue(" 99 ", age));
    EXPECT_TRUE(isMissingValue("  ", age));   // exactly two blanks
    EXPECT_FALSE(isMissingValue("   ", age)); // three blanks: not the quoted code
    EXPECT_FALSE(isMissingValue(" ", age));
    EXPECT_TRUE(isMissingValue(" .", age));
    EXPECT_FALSE(isMissingValue("9", age));

    const ExplicitVariable& gender = layout.explicitVariables[0];  // blank and dot
    EXPECT_TRUE(isMissingValue("", gender));
    EXPECT_TRUE(isMissingValue("   ", gender));
    EXPECT_TRUE(isMissingValue(".", gender));
    EXPECT_FALSE(isMissingValue("M", gender));

    ASSERT_EQ(run(missingCommand, R"( " 1")"), 1);
    EXPECT_TRUE(isMissingValue(" 1", gender));
    EXPECT_FALSE(isMissingValue("1", gender));
    EXPECT_FALSE(isMissingValue("  1", gender));
}

TEST_F(RulesTest, CodeTablesFromCollectedCodesRecodesAndKeys) {
    DataSpec& spec = ws.data;
    std::vector<MString> t1, t2;
    buildCodeTables(list({"9", "1", "0"}), spec, "0", t1, t2);
    EXPECT_EQ(t1, list({"0", "1", "9"}));
    EXPECT_EQ(t2, t1);

    spec.recodes = {recode(" (9 8) (x 1)")};
    buildCodeTables(list({"9", "1", "0"}), spec, "0", t1, t2);
    EXPECT_EQ(t2, list({"0", "1", "9", "x"}));

    spec.codes = list({"2", "1", "2"});
    buildCodeTables(list({"9"}), spec, "0", t1, t2);
    EXPECT_EQ(t1, list({"1", "2"}));
    EXPECT_EQ(t2, t1);

    // Keys: the distinct options and the padded default; T1 keeps the codes.
    KeyRule a, b;
    a.option = " 1";
    b.option = " 1";
    spec.keys = {a, b};
    buildCodeTables(list({"9"}), spec, "0", t1, t2);
    EXPECT_EQ(t1, list({"1", "2"}));
    EXPECT_EQ(t2, list({" 0", " 1"}));
    EXPECT_EQ(codeIndex(t2, " 1"), 1);
    EXPECT_EQ(codeIndex(t2, "1"), -1);
}

TEST_F(RulesTest, CodingAResponseFromRawToCategory) {
    DataSpec& spec = ws.data;
    ASSERT_EQ(run(codesCommand, " 1,2"), 1);
    std::vector<MString> t1, t2;
    buildCodeTables({}, spec, "0", t1, t2);
    ResponseCoding coding(spec, kRespMissBoth, "0", t1, t2);
    int category = -1, recoded = -1;

    // Width-2 " 1" is not the listed code 1: tables compare exactly.
    EXPECT_EQ(codeResponse(coding, " 1", 0, values(), category, recoded, session), 0);
    // A recode matches with filling and so brings it into the table.
    spec.recodes = {recode(" (1 2) (2 1)")};
    ASSERT_EQ(codeResponse(coding, " 1", 0, values(), category, recoded, session), 1);
    EXPECT_EQ(category, 1);
    EXPECT_EQ(recoded, 1);
    EXPECT_EQ(codeResponse(coding, " .", 0, values(), category, recoded, session), 0);

    spec.deletes.resize(1);
    spec.deletes[0].selections = {selection("item(1)")};
    EXPECT_EQ(codeResponse(coding, " 1", 0, values(), category, recoded, session), 0);
    levels = {0, 1};
    EXPECT_EQ(codeResponse(coding, " 1", 0, values(), category, recoded, session), 1);

    spec.recodes.push_back(recode(" (1) (2)"));
    EXPECT_EQ(codeResponse(coding, " 1", 0, values(), category, recoded, session), -1);
    EXPECT_EQ(shell.errors, (Messages{"Ambiguous recodes", "Error in recode - possible multiple definition"}));
}

TEST_F(RulesTest, CodingWithKeys) {
    ASSERT_EQ(run(formatCommand, " responses 1-4"), 1);
    ASSERT_EQ(run(keyCommand, " ABCD ! 1"), 1);
    ws.settings.key_default = "0";
    std::vector<MString> t1, t2;
    buildCodeTables(list({"A", "B", "C", "D"}), ws.data, ws.settings.key_default, t1, t2);
    ResponseCoding coding(ws.data, ws.settings.respmiss, ws.settings.key_default, t1, t2);
    std::vector<std::int32_t> row{0};
    VariableValues v{{}, row, {}};
    int category = -1, recoded = -1;
    ASSERT_EQ(codeResponse(coding, "B", 1, v, category, recoded, session), 1);
    EXPECT_EQ(category, 1);  // "1" in T2 = {"0", "1"}
    EXPECT_EQ(recoded, 1);   // "B" in T1
    ASSERT_EQ(codeResponse(coding, "C", 1, v, category, recoded, session), 1);
    EXPECT_EQ(category, 0);
    EXPECT_EQ(recoded, 2);
    EXPECT_EQ(codeResponse(coding, "E", 1, v, category, recoded, session), 0);

    // A default that is itself missing drops the unkeyed responses.
    ws.settings.key_default = ".";
    buildCodeTables(list({"A", "B"}), ws.data, ws.settings.key_default, t1, t2);
    ResponseCoding dotted(ws.data, ws.settings.respmiss, ws.settings.key_default, t1, t2);
    EXPECT_EQ(codeResponse(dotted, "A", 1, v, category, recoded, session), 0);
}

TEST_F(RulesTest, ScoresFromRulesOrByDefault) {
    std::vector<ScoreRule> none;
    std::vector<double> s;
    bool notice = false;
    ASSERT_EQ(lookupScores(" 2", none, values(), notice, s, session), 1);
    EXPECT_EQ(s, std::vector<double>{2.0});
    EXPECT_EQ(lookupScores("A", none, values(), notice, s, session), -1);
    EXPECT_EQ(shell.errors, Messages{"A default score (A) is not numeric."});

    shell.clear();
    std::vector<ScoreRule> rules{score(" (0 1 2) (0 1 2) (0 .5 1) ! item(1-2)"), score(" (0 1 2) (0 1 1) () ! item(3-4)")};
    levels = {0, 1};
    ASSERT_EQ(lookupScores(" 2", rules, values(), notice, s, session), 1);
    EXPECT_EQ(s, (std::vector<double>{2.0, 1.0}));
    levels = {0, 3};
    ASSERT_EQ(lookupScores("2", rules, values(), notice, s, session), 1);
    EXPECT_EQ(s, (std::vector<double>{1.0, 0.0}));

    // A code no rule covers is scored by itself on every dimension, with
    // one warning per model build.
    ASSERT_EQ(lookupScores("3", rules, values(), notice, s, session), 1);
    EXPECT_EQ(s, (std::vector<double>{3.0, 3.0}));
    ASSERT_EQ(lookupScores("4", rules, values(), notice, s, session), 1);
    EXPECT_EQ(shell.warnings, Messages{"At least one response is using default scoring. Default to be used for 3"});
    EXPECT_TRUE(notice);
    EXPECT_EQ(lookupScores("x", rules, values(), notice, s, session), -1);
    EXPECT_EQ(shell.errors, Messages{"Default scoring cannot be used. A response is not numeric"});
}

TEST_F(RulesTest, ScoreLookupFailures) {
    std::vector<double> s;
    bool notice = false;
    std::vector<ScoreRule> ambiguous{score(" (0 1) (0 1)"), score(" (1 2) (5 6) ! item(1)")};
    EXPECT_EQ(lookupScores("1", ambiguous, values(), notice, s, session), -1);
    EXPECT_EQ(shell.errors, Messages{"The scoring is ambiguous"});

    shell.clear();
    std::vector<ScoreRule> text{score(" (0 1) (0 a)")};
    EXPECT_EQ(lookupScores("1", text, values(), notice, s, session), -1);
    EXPECT_EQ(shell.errors, Messages{"Score is not numeric"});

    shell.clear();
    std::vector<ScoreRule> mixed{score(" (0 1) (0 1)"), score(" (2 3) (0 1) (1 1)")};
    EXPECT_EQ(lookupScores("3", mixed, values(), notice, s, session), -1);
    EXPECT_EQ(shell.errors.size(), 1u);

    shell.clear();
    std::string sixteen = " (0 1)";
    for (int d = 0; d < 16; ++d) sixteen += " (0 1)";
    std::vector<ScoreRule> many{score(sixteen.c_str())};
    EXPECT_EQ(lookupScores("1", many, values(), notice, s, session), -1);
    EXPECT_EQ(shell.errors, Messages{"Too many dimensions in a score statement"});

    shell.clear();
    std::vector<std::uint8_t> known{1, 1};
    levels = {-1, 0};
    VariableValues model{explicitValues, levels, known};
    std::vector<ScoreRule> byRater{score(" (0 1) (0 1) ! rater(1)")};
    EXPECT_EQ(lookupScores("1", byRater, model, notice, s, session), -1);
    EXPECT_EQ(shell.errors, Messages{"Variable in score statement but not in model statement"});
    shell.clear();
    byRater[0].selections[0].variable.index = 4;
    EXPECT_EQ(lookupScores("1", byRater, model, notice, s, session), -1);
    EXPECT_EQ(shell.errors, Messages{"Error in variable list in score"});
}

}  // namespace
