#include "data/coding.h"

#include <gtest/gtest.h>

#include <string>

#include "data/format.h"
#include "data_fixture.h"

using namespace ordena;
using ordena::test::DataTest;

namespace {

class CodingTest : public DataTest {
protected:
    void SetUp() override { ASSERT_EQ(run(formatCommand, " pid 1-3 gender 4 age 5-6 responses 7-16"), 1); }
    DataSpec& data = session.ws.data;
};

std::vector<MString> list(std::initializer_list<const char*> items) {
    std::vector<MString> v;
    for (const char* s : items) v.emplace_back(s);
    return v;
}

TEST_F(CodingTest, CodesWithOrWithoutBrackets) {
    ASSERT_EQ(run(codesCommand, " 0,1,2"), 1);
    EXPECT_EQ(data.codes, list({"0", "1", "2"}));
    data.codes.clear();
    ASSERT_EQ(run(codesCommand, " (0 1 2) "), 1);
    EXPECT_EQ(data.codes, list({"0", "1", "2"}));
    ASSERT_EQ(run(codesCommand, R"( " 1", "a b")"), 1);
    EXPECT_EQ(data.codes, list({" 1", "a b"}));

    // An empty list is reported but the statement succeeds and keeps the list.
    EXPECT_EQ(run(codesCommand, " ( ) "), 1);
    EXPECT_EQ(shell.errors, Messages{"Nothing specified for code statement - All codes assumed valid"});
    EXPECT_EQ(data.codes, list({" 1", "a b"}));

    EXPECT_EQ(run(codesCommand, R"( 1, "2)"), -1);
    EXPECT_EQ(shell.errors, Messages{"Quote marks not matching in code, recode or score statement"});
    EXPECT_EQ(data.codes, list({" 1", "a b"}));
}

TEST_F(CodingTest, ValueListsHoldAtMost399Values) {
    std::string values;
    for (int k = 0; k < 399; ++k) {
        values += ' ';
        values += std::to_string(k);
    }
    ASSERT_EQ(run(codesCommand, values), 1);
    EXPECT_EQ(data.codes.size(), 399u);
    EXPECT_EQ(run(codesCommand, values + " x"), -1);
    EXPECT_EQ(shell.errors, Messages{"Too many elements in list"});
    EXPECT_EQ(data.codes.size(), 399u);
}

TEST_F(CodingTest, RecodeRules) {
    ASSERT_EQ(run(recodesCommand, " (A B C D) (1 0 0 0)"), 1);
    ASSERT_EQ(data.recodes.size(), 1u);
    EXPECT_EQ(data.recodes[0].from, list({"A", "B", "C", "D"}));
    EXPECT_EQ(data.recodes[0].to, list({"1", "0", "0", "0"}));
    EXPECT_TRUE(data.recodes[0].selections.empty());

    ASSERT_EQ(run(recodesCommand, " (1) (0) ! item(1-5)"), 1);
    const Selection& item = data.recodes[1].selections.at(0);
    EXPECT_EQ(item.variable.kind, kImplicitVariable);
    EXPECT_EQ(item.variable.index, 0);
    EXPECT_EQ(item.codes, list({"1", "2", "3", "4", "5"}));

    ASSERT_EQ(run(recodesCommand, " (1) (0) ! gender(M), age(10-12 x) "), 1);
    const auto& sels = data.recodes[2].selections;
    ASSERT_EQ(sels.size(), 2u);
    EXPECT_EQ(sels[0].variable.kind, kExplicitVariable);
    EXPECT_EQ(sels[0].variable.index, 1);
    EXPECT_EQ(sels[1].codes, list({"10", "11", "12", "x"}));
    EXPECT_EQ(ws.dataPassNeeded, 1);
}

TEST_F(CodingTest, RecodeErrorsLeaveTheListUnchanged) {
    const std::pair<const char*, Messages> cases[] = {
        {"  ", {"Nothing specified recode/delete command"}},
        {"!(1)(2)", {"Error in recode - '!' in column 1"}},
        {" 1 (2)", {"Recode must start with '('"}},
        {" (1) 2", {"Illegal character after first brackets in recode"}},
        {" (1 2) (3)", {"No. of codes in brackets not equal in recode statement"}},
        {" (1) (2) x", {"Error in Recode statement - characters after ')'"}},
        {" (1 (2)", {"Illegal character after first brackets in recode"}},
        {" (1", {"Brackets not matching in recode statement"}},
        {" (1) (2", {"Brackets not matching in recode statement"}},
        {" (1) (2) ! zz(1)", {"Variable in delete, recode or score option not in format list"}},
    };
    for (const auto& [text, messages] : cases) {
        EXPECT_EQ(run(recodesCommand, text), -1) << text;
        EXPECT_EQ(shell.errors, messages) << text;
    }
    EXPECT_TRUE(data.recodes.empty());
}

TEST_F(CodingTest, SelectionOptionErrors) {
    std::vector<Selection> sels;
    const std::pair<const char*, Messages> cases[] = {
        {"item 1-5", {"Brackets not matching in recode or score option"}},
        {"item(1-5", {"Brackets not matching in recode or score option"}},
        {"(1)", {"Error in variable name in delete, recode or score option"}},
        {"it em(1)", {"Error in variable name in recode or score option"}},
        {"step(1)", {"Variable in delete, recode or score option not in format list"}},
        {"item( )", {"No code list specified in delete, recode or score option"}},
        {"item(5-3)",
         {"Column range incorrect - 1st number > 2nd number",
          "Error in range specifications in delete, recode or score option"}},
        {"item(a)", {"Codes must be integer for implicit variables", "Error in delete, code or recode option"}},
        {"item(1-2x)",
         {"Column range not numeric in delete, recode or score", "Codes must be integer for implicit variables",
          "Error in delete, code or recode option"}},
        {"item(1) ,", {"Brackets not matching in recode or score option"}},
        {"pid(1-99999999999)", {"Too many codes in delete, recode or score option"}},
    };
    for (const auto& [text, messages] : cases) {
        shell.clear();
        EXPECT_EQ(parseSelections(text, layout, sels, session), -1) << text;
        EXPECT_EQ(shell.errors, messages) << text;
    }
    // A range whose sides are not both numbers stays a plain code.
    shell.clear();
    ASSERT_EQ(parseSelections("gender(M-F) It(2)", layout, sels, session), 1);
    EXPECT_EQ(shell.errors, Messages{"Column range not numeric in delete, recode or score"});
    EXPECT_EQ(sels[0].codes, list({"M-F"}));
    EXPECT_EQ(sels[1].variable.kind, kImplicitVariable);
    ASSERT_EQ(parseSelections("", layout, sels, session), 1);
    EXPECT_TRUE(sels.empty());
}

TEST_F(CodingTest, DeleteRules) {
    ASSERT_EQ(run(deleteCommand, " ! item(3)"), 1);
    ASSERT_EQ(run(deleteCommand, " all"), 1);
    ASSERT_EQ(data.deletes.size(), 2u);
    EXPECT_EQ(data.deletes[0].selections.at(0).codes, list({"3"}));
    EXPECT_TRUE(data.deletes[1].selections.empty());
    EXPECT_EQ(run(deleteCommand, ""), -1);
    EXPECT_EQ(shell.errors, Messages{"Nothing specified recode/delete command"});
    EXPECT_EQ(run(deleteCommand, "!gender"), -1);
    EXPECT_EQ(data.deletes.size(), 2u);
}

TEST_F(CodingTest, ScoreRulesAndZeroColumns) {
    ASSERT_EQ(run(scoresCommand, " (0 1 2) (0 1 2)"), 1);
    ASSERT_EQ(run(scoresCommand, " (0 1 2) (0 1 2) () ! item(1-10)"), 1);
    ASSERT_EQ(data.scores.size(), 2u);
    EXPECT_EQ(data.scores[0].columns.size(), 1u);
    ASSERT_EQ(data.scores[1].columns.size(), 2u);
    EXPECT_EQ(data.scores[1].columns[1], list({"0", "0", "0"}));
    EXPECT_EQ(data.scores[1].selections.at(0).codes.size(), 10u);
    EXPECT_TRUE(data.recodes.empty());
}

TEST_F(CodingTest, AngleBracketsScoreAGroupAndRecodeTheRest) {
    ASSERT_EQ(run(recodesCommand, " (9) (0)"), 1);
    ASSERT_EQ(run(scoresCommand, " (0 <1 2> 3) (0 1 2) ! item(1-3)"), 1);
    ASSERT_EQ(data.scores.size(), 1u);
    EXPECT_EQ(data.scores[0].codes, list({"0", "1", "3"}));
    EXPECT_EQ(data.scores[0].columns[0], list({"0", "1", "2"}));
    // The group's rule comes after the rules already given.
    ASSERT_EQ(data.recodes.size(), 2u);
    EXPECT_EQ(data.recodes[1].from, list({"2"}));
    EXPECT_EQ(data.recodes[1].to, list({"1"}));
    EXPECT_EQ(data.recodes[1].selections.at(0).codes, list({"1", "2", "3"}));

    ASSERT_EQ(run(scoresCommand, R"( (<"a b" c, d> e) (1 2))"), 1);
    EXPECT_EQ(data.scores[1].codes, list({"a b", "e"}));
    EXPECT_EQ(data.recodes[2].from, list({"c", "d"}));
    EXPECT_EQ(data.recodes[2].to, list({"a b", "a b"}));
}

TEST_F(CodingTest, ScoreErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {" ", "Nothing specified for score"},
        {"!(1)(1)", "Error in recode - '!' in column 1"},
        {" 1 (1)", "Score must start with '('"},
        {" (0 1) x", "Illegal character after first brackets in score"},
        {" (0 1) (1)", "No. of codes in brackets not equal in score statement"},
        {" (0 <1 2) (1 2)", "Angle brackets not matching in score statement"},
        {" (0 < > 1) (1 2)", "Nothing specified between angle brackets in score statement"},
        {" (0 1)", "No scores specified in score statement"},
        {" (0 1", "Brackets not matching in score statement"},
        {" (0 1) (1 2", "Brackets not matching in score statement"},
        {" (0 1) (1 2) ! item(", "Brackets not matching in recode or score option"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(run(scoresCommand, text), -1) << text;
        EXPECT_EQ(shell.errors, Messages{message}) << text;
    }
    EXPECT_TRUE(data.scores.empty());
    EXPECT_TRUE(data.recodes.empty());
}

TEST_F(CodingTest, KeysNeedAFormatAndMatchingLengths) {
    ASSERT_EQ(run(keyCommand, " ABCDABCDAB ! 1"), 1);
    ASSERT_EQ(data.keys.size(), 1u);
    EXPECT_EQ(data.keys[0].option, "1");
    EXPECT_EQ(data.keys[0].keys, list({"A", "B", "C", "D", "A", "B", "C", "D", "A", "B"}));

    const std::pair<const char*, const char*> cases[] = {
        {" AB ! 1", "The Key argument length is not the same as the length of the response blocks"},
        {" ABCDABCDAB", "Error in the Key option"},
        {"! ABCDABCDAB", "Error in the Key option"},
        {" ABCDABCDAB ! ", "There was no option in the Key statement"},
        {" ABCDABCDAB ! 12",
         "The Key option must have the same width as each of the responses. Use quotes if you want to have a leading "
         "blank"},
        {" ABCDABCDAB ! \"1", "The quotes do not match in the Key option"},
        {" \"ABCDABCDAB ! 1", "The quotes do not match in the Key argument"},
        {" \"          \" ! 1", "There was no argument in the Key statement"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(run(keyCommand, text), -1) << text;
        EXPECT_EQ(shell.errors, Messages{message}) << text;
    }
    EXPECT_EQ(data.keys.size(), 1u);

    // Width 2: quotes keep a leading blank; a trailing blank is refused.
    ASSERT_EQ(run(formatCommand, " responses 1-4 (a2)"), 1);
    ASSERT_EQ(run(keyCommand, " \" A B\" ! \" 1\""), 1);
    EXPECT_EQ(data.keys.back().option, " 1");
    EXPECT_EQ(data.keys.back().keys, list({" A", " B"}));
    EXPECT_EQ(run(keyCommand, " \" A B\" ! \"1 \""), -1);
    EXPECT_EQ(shell.errors, Messages{"The Key option cannot have trailing blanks"});

    // After a failed format the responses are gone.
    EXPECT_EQ(run(formatCommand, " responses 1-3 (a2)"), -1);
    EXPECT_EQ(run(keyCommand, " AB ! 1"), -1);
    EXPECT_EQ(shell.errors, Messages{"The Format must be specified before Keys can be supplied"});
}

TEST_F(CodingTest, MissingCodesPerVariable) {
    ws.est.estimated = 1;
    ws.dataPassNeeded = 0;
    ASSERT_EQ(run(missingCommand, R"( 99, "  ", dot ! age)"), 1);
    const ExplicitVariable& age = layout.explicitVariables[2];
    EXPECT_EQ(age.missingCodes, list({"99", "  ", "."}));
    EXPECT_EQ(age.missingFlags, (std::vector<std::int32_t>{1, 0, 1}));
    EXPECT_EQ(layout.explicitVariables[1].missingCodes, list({" ", "."}));
    EXPECT_EQ(ws.dataPassNeeded, 1);
    EXPECT_EQ(ws.est.estimated, 0);

    // Unknown names are reported; the others still change.
    EXPECT_EQ(run(missingCommand, " ! age, Gender"), -1);
    EXPECT_EQ(shell.errors, Messages{"The variable Gender not found"});
    EXPECT_EQ(age.missingCodes, list({" ", "."}));

    ASSERT_EQ(run(missingCommand, R"( BLANK, "x, 9")"), 1);
    EXPECT_EQ(shell.warnings, Messages(2, "A missing value code includes a quote mark"));
    for (const auto& v : layout.explicitVariables) {
        EXPECT_EQ(v.missingCodes, list({" ", "\"x", "9\""}));
        EXPECT_EQ(v.missingFlags, (std::vector<std::int32_t>{1, 1, 1}));
    }
}

TEST_F(CodingTest, EveryCodingStatementMarksTheDataPassesAndResetClearsRules) {
    const std::pair<Handler, const char*> statements[] = {
        {codesCommand, " 1 2"}, {recodesCommand, " (1) (2)"}, {scoresCommand, " (1 2) (1 2)"},
        {keyCommand, " 1111111111 ! 1"}, {deleteCommand, " ! item(1)"},
    };
    for (const auto& [handler, text] : statements) {
        ws.dataPassNeeded = 0;
        ws.est.estimated = 1;
        ASSERT_EQ(run(handler, text), 1) << text;
        EXPECT_EQ(ws.dataPassNeeded, 1) << text;
        EXPECT_EQ(ws.est.estimated, 0) << text;
    }
    ASSERT_EQ(run(missingCommand, " 9 ! age"), 1);
    data.fileName = "x.dat";
    data.clearOnReset();
    EXPECT_TRUE(data.codes.empty() && data.recodes.empty() && data.scores.empty() && data.keys.empty() &&
                data.deletes.empty());
    EXPECT_EQ(data.fileName, "x.dat");
    EXPECT_EQ(layout.items, 10);
    EXPECT_EQ(layout.explicitVariables[2].missingCodes, list({"9"}));
}

}  // namespace
