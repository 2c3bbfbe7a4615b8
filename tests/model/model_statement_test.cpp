// The model, facets, regression, group, caseweight and itemgroup statements.
#include <string>
#include <vector>

#include "support/work_dir.h"

namespace ordena::test {
namespace {

using Messages = std::vector<std::string>;

class ModelStatementTest : public WorkDirTest {
protected:
    void SetUp() override {
        WorkDirTest::SetUp();
        data("1A25M0120\n", "pid 1 rater 2 age 3-4 gender 5 responses 6-9 ! item(2), task(2)");
    }
};

TEST_F(ModelStatementTest, TermsSignsAndModelVariables) {
    state(modelCommand, "it + it * step");
    const ModelSpec& m = ws.model;
    ASSERT_EQ(m.terms.size(), 2u);
    EXPECT_EQ(m.terms[0].text, "it");  // "it" abbreviates item
    EXPECT_EQ(m.terms[1].text, "it*step");
    EXPECT_EQ(m.terms[1].sign, '+');
    EXPECT_EQ(m.terms[1].variables[1].kind, kStepVariable);
    EXPECT_EQ(m.modelText, "it+it*step");
    // The step is in no list; item is the implicit variable 0.
    EXPECT_TRUE(m.modelVariableList.explicitIndices.empty());
    EXPECT_EQ(m.modelVariableList.implicitIndices, (std::vector<std::int32_t>{0}));
    EXPECT_EQ(ws.dataPassNeeded, 1);

    state(modelCommand, "-rater + task*it - rater*gender");
    ASSERT_EQ(m.terms.size(), 3u);
    EXPECT_EQ(m.terms[0].sign, '-');
    EXPECT_EQ(m.terms[1].sign, '+');
    EXPECT_EQ(m.terms[2].sign, '-');
    EXPECT_EQ(m.terms[2].text, "rater*gender");
    // Model order: explicit variables first, then implicit ones, each in
    // order of first appearance.
    EXPECT_EQ(m.modelVariableList.explicitIndices, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(m.modelVariableList.implicitIndices, (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(m.modelPosition({kImplicitVariable, 1}), 2);
    EXPECT_EQ(m.modelPosition({kStepVariable, 0}), -2);
    EXPECT_EQ(m.modelPosition({kExplicitVariable, 2}), -1);
}

TEST_F(ModelStatementTest, FailingModelStatementKeepsThePreviousModel) {
    state(modelCommand, "rater + it");
    EXPECT_EQ(run(modelCommand, "rater +"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Error in model statement"}));
    EXPECT_EQ(run(modelCommand, "rater + colour"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Variable colour not in list", "Error in model statement"}));
    EXPECT_EQ(run(modelCommand, "rater*+it"), -1);
    EXPECT_EQ(run(modelCommand, "   "), -1);
    EXPECT_EQ(shell.errors, (Messages{"Nothing specified for model statement"}));
    ASSERT_EQ(ws.model.terms.size(), 2u);
    EXPECT_EQ(ws.model.modelText, "rater+it");
    EXPECT_EQ(ws.model.modelVariableList.size(), 2);
}

TEST_F(ModelStatementTest, VariableListsOfFacetsRegressionGroupAndCaseweight) {
    EXPECT_EQ(run(facetsCommand, "rater, rater"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Duplicate variable name", "Error in Facet statement"}));
    EXPECT_EQ(run(facetsCommand, ""), -1);
    EXPECT_EQ(shell.errors, (Messages{"Nothing specified for facet statement"}));
    state(facetsCommand, "gender rater, steps");
    EXPECT_EQ(ws.model.facets.explicitIndices, (std::vector<std::int32_t>{3, 1}));
    EXPECT_EQ(ws.model.facetsInUse.explicitIndices, (std::vector<std::int32_t>{3, 1}));

    state(regressionCommand, "age gender");
    EXPECT_EQ(ws.model.regressionParameterCount, 3);
    EXPECT_EQ(ws.model.regressionText, "age gender");
    EXPECT_EQ(run(regressionCommand, "age task"), -1);
    EXPECT_EQ(shell.errors, (Messages{"No implicit variable allowed in Regression statement"}));
    EXPECT_EQ(ws.model.regression.size(), 2);  // kept
    EXPECT_EQ(ws.model.regressionText, "");    // but the text is emptied
    state(regressionCommand, "  ");
    EXPECT_TRUE(ws.model.regression.empty());
    EXPECT_EQ(ws.model.regressionParameterCount, 1);

    state(groupCommand, "gender");
    EXPECT_EQ(ws.model.groupKeyWidth, 2);
    EXPECT_EQ(run(groupCommand, "height"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Variable height not in list", "Error in Group statement"}));

    state(caseweightCommand, "age");
    EXPECT_EQ(run(caseweightCommand, "age gender"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Only one explicit variable allowed in Caseweight statement"}));
    EXPECT_EQ(ws.model.caseweight.explicitIndices, (std::vector<std::int32_t>{2}));

    // A reset empties every list and the copies of the last pass, and keeps
    // the item groups.
    state(itemgroupCommand, "first ! it(1)");
    ws.model.lastFacets = ws.model.facets;
    ws.model.clearOnReset();
    EXPECT_TRUE(ws.model.facets.empty());
    EXPECT_TRUE(ws.model.lastFacets.empty());
    EXPECT_TRUE(ws.model.caseweight.empty());
    EXPECT_EQ(ws.model.itemGroups.size(), 1u);
}

TEST_F(ModelStatementTest, ItemGroupTable) {
    EXPECT_EQ(run(itemgroupCommand, "! it(1)"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Error in ItemGroup - '!' in column 1"}));
    EXPECT_EQ(run(itemgroupCommand, "  first ! colour(1)"), -1);
    EXPECT_EQ(shell.errors.back(), "Error in the item list");
    state(itemgroupCommand, "  first ! it(1-2)");
    state(itemgroupCommand, "second");
    state(itemgroupCommand, "first ! task(2)");
    ASSERT_EQ(ws.model.itemGroups.size(), 2u);
    EXPECT_EQ(ws.model.itemGroups[0].selections[0].codes, (std::vector<MString>{"2"}));
    EXPECT_EQ(shell.infos,
              (Messages{"ItemGroup table information", "Number of entries 2", "first", "   task(2)", "second"}));
}

// A format that moves the variables: every statement still names the same
// variables; one the format drops is reported and refused at the passes.
TEST_F(ModelStatementTest, ListsFollowTheirVariablesToANewFormat) {
    state(modelCommand, "rater + item*task");
    state(facetsCommand, "gender");
    state(regressionCommand, "age");
    state(groupCommand, "gender age");
    state(caseweightCommand, "age");
    state(itemgroupCommand, "g ! rater(A)");
    state(recodesCommand, "(1) (0) ! gender(M)");
    auto names = [&](const VariableList& list) {
        std::vector<std::string> out;
        for (std::int32_t k : list.explicitIndices) out.push_back(ws.data.layout.nameOf({kExplicitVariable, k}).str());
        for (std::int32_t k : list.implicitIndices) out.push_back(ws.data.layout.nameOf({kImplicitVariable, k}).str());
        return out;
    };
    auto check = [&]() {
        const ModelSpec& m = ws.model;
        EXPECT_EQ(names(m.modelVariableList), (Messages{"rater", "item", "task"}));
        EXPECT_EQ(ws.data.layout.nameOf(m.terms[1].variables[1]), "task");
        EXPECT_EQ(names(m.facets), Messages{"gender"});
        EXPECT_EQ(names(m.regression), Messages{"age"});
        EXPECT_EQ(names(m.group), (Messages{"gender", "age"}));
        EXPECT_EQ(names(m.caseweight), Messages{"age"});
        EXPECT_EQ(ws.data.layout.nameOf(m.itemGroups[0].selections[0].variable), "rater");
        EXPECT_EQ(ws.data.layout.nameOf(ws.data.recodes[0].selections[0].variable), "gender");
        EXPECT_TRUE(m.listOutsideLayout(ws.data.layout).isEmpty());
    };
    check();
    // Explicit variables in another order, the implicit ones swapped.
    state(formatCommand, "gender 5 age 3-4 pid 1 rater 2 responses 6-9 ! task(2), item(2)");
    EXPECT_TRUE(shell.warnings.empty());
    check();

    state(formatCommand, "pid 1 rater 2 gender 5 responses 6-9 ! task(2), item(2)");
    EXPECT_EQ(shell.warnings,
              (Messages{"The regression statement names age, which this format does not have: give the regression "
                        "statement again",
                        "The group statement names age, which this format does not have: give the group statement "
                        "again",
                        "The caseweight statement names age, which this format does not have: give the caseweight "
                        "statement again"}));
    EXPECT_EQ(ws.model.listOutsideLayout(ws.data.layout), "regression");
    EXPECT_EQ(names(ws.model.group).size(), 2u);
    EXPECT_EQ(ws.model.group.explicitIndices[1], -1);
}

}  // namespace
}  // namespace ordena::test
