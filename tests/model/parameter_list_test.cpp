// Generalised items, the parameter lists under each constraints setting,
// the design and scoring matrices and the design import.
#include <string>
#include <vector>

#include "model/model_builder.h"
#include "model/parameter_list.h"
#include "support/work_dir.h"

namespace ordena::test {
namespace {

using Messages = std::vector<std::string>;

class ParameterListTest : public WorkDirTest {
protected:
    // Three items, each scored 0, 1 and 2 in the data.
    void threeItems(const std::string& model = "item + item*step") {
        data("012\n120\n201\n", "responses 1-3");
        state(modelCommand, model);
    }
    // Three raters (explicit) by four items, every pair seeing 0, 1 and 2.
    void ratersByItems() {
        std::string lines;
        for (char rater : std::string("ABC"))
            for (const char* r : {"0120", "1201", "2012"}) lines += std::string(1, rater) + r + "\n";
        data(lines, "rater 1 responses 2-5");
        state(modelCommand, "rater + item + item*step");
    }
    int build() {
        shell.clear();
        return buildModel(session);
    }
    float design(int g, int k, int p) const { return ws.build.designAt(g, k, p); }
    float constrainedDesign(int g, int k, int q) const {
        const ModelBuild& b = ws.build;
        return b.constrainedDesign[(static_cast<std::size_t>(g) * b.maxCategories + k) * b.constrained.size() + q];
    }
};

TEST(GeneralisedItems, MixedRadixFirstVariableFastest) {
    std::vector<std::int32_t> counts{2, 3, 4};
    std::vector<std::int32_t> levels{1, 2, 3};
    EXPECT_EQ(generalisedItemIndex(levels, counts), 23);
    std::vector<std::int32_t> back;
    generalisedItemLevels(23, counts, back);
    EXPECT_EQ(back, levels);
    generalisedItemLevels(5, counts, back);
    EXPECT_EQ(back, (std::vector<std::int32_t>{1, 2, 0}));
}

// The example of item + item*step: default constraints, no anchors.
TEST_F(ParameterListTest, DefaultConstraintsItemPlusItemStep) {
    threeItems();
    ASSERT_EQ(build(), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
    const ModelBuild& b = ws.build;
    // Items 0 and 1, then one step per item; item 2 is constrained.
    ASSERT_EQ(b.estimated.size(), 5u);
    ASSERT_EQ(b.constrained.size(), 1u);
    EXPECT_EQ(b.estimated[0].levels, (std::vector<std::int32_t>{0}));
    EXPECT_EQ(b.estimated[1].levels, (std::vector<std::int32_t>{1}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(b.estimated[2 + i].step, 1);
        EXPECT_EQ(b.estimated[2 + i].levels, (std::vector<std::int32_t>{i}));
    }
    EXPECT_EQ(b.constrained[0].levels, (std::vector<std::int32_t>{2}));
    EXPECT_EQ(ws.model.terms[0].parameterNumbers, (std::vector<std::int32_t>{0, 1, 0}));
    EXPECT_EQ(ws.model.terms[0].parameterFlags, (std::vector<std::int32_t>{0, 0, 1}));
    EXPECT_EQ(ws.model.terms[1].parameterNumbers, (std::vector<std::int32_t>{2, 3, 4}));
    EXPECT_EQ(b.maxCategories, 3);
    EXPECT_EQ(b.designStride, 5);

    for (int x = 0; x < 3; ++x) {
        // Item i < 2, category x: -x in its own column, nothing elsewhere.
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(design(i, x, i), static_cast<float>(-x));
            EXPECT_EQ(design(i, x, 1 - i), 0.0f);
        }
        // The last item: +x in the column of every other item.
        EXPECT_EQ(design(2, x, 0), static_cast<float>(x));
        EXPECT_EQ(design(2, x, 1), static_cast<float>(x));
        // Step columns: -1 for category 1 of the step's own item, else 0.
        for (int g = 0; g < 3; ++g)
            for (int i = 0; i < 3; ++i) EXPECT_EQ(design(g, x, 2 + i), (g == i && x == 1) ? -1.0f : 0.0f);
        // The constrained design: -x for the constrained item only.
        EXPECT_EQ(constrainedDesign(2, x, 0), static_cast<float>(-x));
        EXPECT_EQ(constrainedDesign(0, x, 0), 0.0f);
        EXPECT_EQ(b.scoreAt(1, x, 0), static_cast<double>(x));
    }
}

TEST_F(ParameterListTest, CasesAndNoneConstraintsEstimateEveryItem) {
    threeItems();
    for (int setting : {kConstraintsCases, kConstraintsNone}) {
        ws.settings.constraints = setting;
        ASSERT_EQ(build(), 1);
        const ModelBuild& b = ws.build;
        EXPECT_EQ(b.estimated.size(), 6u);
        EXPECT_TRUE(b.constrained.empty());
        for (int x = 0; x < 3; ++x)
            for (int g = 0; g < 3; ++g)
                for (int i = 0; i < 3; ++i) EXPECT_EQ(design(g, x, i), g == i ? static_cast<float>(-x) : 0.0f);
    }
}

TEST_F(ParameterListTest, ItemsConstraintsAndAnchoredRegressionFreeTheLastItem) {
    threeItems("item");
    ws.settings.constraints = kConstraintsItems;
    ws.est.anchors.push_back({kAnchorRegression, 0, 0, 0.0f});
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(ws.build.estimated.size(), 2u);  // items ignore the anchors
    ws.settings.constraints = kConstraintsDefault;
    ASSERT_EQ(build(), 1);
    // Every regression coefficient of the dimension anchored: the last item is free.
    EXPECT_EQ(ws.build.estimated.size(), 3u);
    EXPECT_EQ(design(2, 2, 0), 0.0f);
    EXPECT_EQ(design(2, 2, 2), -2.0f);
}

// rater + item + item*step over an explicit rater: the last rater and the
// last item are constrained, and the steps belong to the items.
TEST_F(ParameterListTest, RaterItemStepModel) {
    ratersByItems();
    ASSERT_EQ(build(), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
    const ModelBuild& b = ws.build;
    EXPECT_EQ(b.levelCounts, (std::vector<std::int32_t>{3, 4}));
    EXPECT_EQ(b.items, 12);
    EXPECT_EQ(b.itemVariablePosition, 1);
    ASSERT_EQ(b.estimated.size(), 9u);  // raters A, B; items 1-3; four steps
    ASSERT_EQ(b.constrained.size(), 2u);
    EXPECT_EQ(b.constrained[0].levels, (std::vector<std::int32_t>{2, -1}));
    EXPECT_EQ(b.constrained[1].levels, (std::vector<std::int32_t>{-1, 3}));
    EXPECT_EQ(ws.model.terms[0].parameterFlags, (std::vector<std::int32_t>{0, 0, 1}));
    EXPECT_EQ(ws.model.terms[1].parameterFlags, (std::vector<std::int32_t>{0, 0, 0, 1}));
    EXPECT_EQ(ws.model.terms[2].parameterCount(), 4);
    EXPECT_EQ(b.estimated[5].levels, (std::vector<std::int32_t>{-1, 0}));
    EXPECT_EQ(b.estimated[5].step, 1);
    // Rater C (last) with item 0, category 2: +2 for raters A and B, -2 for item 0.
    int g = 2 + 3 * 0;
    EXPECT_EQ(design(g, 2, 0), 2.0f);
    EXPECT_EQ(design(g, 2, 1), 2.0f);
    EXPECT_EQ(design(g, 2, 2), -2.0f);
    // Rater A with item 3 (last), category 1: -1 for rater A, +1 for items 0-2.
    g = 0 + 3 * 3;
    EXPECT_EQ(design(g, 1, 0), -1.0f);
    EXPECT_EQ(design(g, 1, 1), 0.0f);
    for (int p = 2; p < 5; ++p) EXPECT_EQ(design(g, 1, p), 1.0f);
    EXPECT_EQ(design(g, 1, 8), -1.0f);  // the step of item 3

    ws.settings.constraints = kConstraintsNone;
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(ws.build.estimated.size(), 11u);
    EXPECT_TRUE(ws.build.constrained.empty());
}

TEST_F(ParameterListTest, StepTermsOnItemsWithTwoCategories) {
    data("01\n10\n", "responses 1-2");
    state(modelCommand, "item + step");
    EXPECT_EQ(build(), 1);
    EXPECT_EQ(shell.errors, (Messages{"Items have 2 or fewer categories - can't estimate steps"}));
    EXPECT_EQ(ws.build.estimated.size(), 1u);

    // Items with different numbers of categories under one step term.
    data("012\n101\n", "responses 1-3");
    state(codesCommand, "0,1,2,3");
    state(modelCommand, "item + step");
    EXPECT_EQ(build(), 1);
    EXPECT_EQ(shell.warnings,
              (Messages{"Warning: Not all of the codes that were specified were found in the data",
                        "Warning: Items have different number of steps but this model will assume the same no. of steps"}));
    EXPECT_EQ(ws.build.categoryCount, (std::vector<std::int32_t>{3, 3, 3}));
    EXPECT_EQ(ws.build.estimated.size(), 3u);
}

TEST_F(ParameterListTest, DesignMatrixImport) {
    threeItems();
    std::string numbers = "5\n";
    for (int i = 0; i < 9 * 5; ++i) numbers += std::to_string(i % 7) + (i % 5 == 4 ? "\n" : " ");
    writeFile("design.txt", numbers);
    ModelBuildInputs inputs;
    inputs.designFile = "design.txt";
    ASSERT_EQ(buildModel(session, inputs), 1);
    EXPECT_EQ(ws.build.importedDesign, 0);  // the model's own count
    EXPECT_EQ(design(1, 1, 0), static_cast<float>(20 % 7));

    // Fewer parameters than the model: P becomes the file's.
    std::string three = "3\n";
    for (int i = 0; i < 9 * 3; ++i) three += "1.5 ";
    writeFile("design.txt", three);
    ASSERT_EQ(buildModel(session, inputs), 1);
    EXPECT_EQ(ws.build.importedDesign, 1);
    EXPECT_EQ(ws.build.parameterCount(), 3);
    EXPECT_EQ(design(2, 2, 2), 1.5f);

    writeFile("design.txt", three + "7");
    shell.clear();
    EXPECT_EQ(buildModel(session, inputs), -1);
    EXPECT_EQ(shell.errors, (Messages{"Too many numbers in design matrix import file"}));
    writeFile("design.txt", "3 1 2");
    shell.clear();
    EXPECT_EQ(buildModel(session, inputs), -1);
    EXPECT_EQ(shell.errors, (Messages{"Too few numbers in design matrix import file"}));
    writeFile("design.txt", "999999999999 1");
    shell.clear();
    EXPECT_EQ(buildModel(session, inputs), -1);
    inputs.designFile = "absent.txt";
    shell.clear();
    EXPECT_EQ(buildModel(session, inputs), -1);
    EXPECT_EQ(shell.errors, (Messages{"Error opening file absent.txt"}));
}

TEST_F(ParameterListTest, MultidimensionalScoringAndBuildFailures) {
    data("0101\n1010\n", "responses 1-4");
    state(scoresCommand, "(0 1) (0 1) () ! item(1-2)");
    state(scoresCommand, "(0 1) () (0 1) ! item(3-4)");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
    const ModelBuild& b = ws.build;
    EXPECT_EQ(b.dimensions, 2);
    EXPECT_EQ(b.dimensionItems, (std::vector<std::vector<std::int32_t>>{{0, 1}, {2, 3}}));
    // The last item of each dimension is constrained.
    EXPECT_EQ(b.estimated.size(), 2u);
    EXPECT_EQ(b.scoreAt(3, 1, 1), 1.0);
    EXPECT_EQ(b.scoreAt(3, 1, 0), 0.0);
    // Item 0 (dimension 1) does not move with item 3 (last of dimension 2).
    EXPECT_EQ(design(3, 1, 0), 0.0f);
    EXPECT_EQ(design(1, 1, 0), 1.0f);

    ws.data.scores.pop_back();
    EXPECT_EQ(build(), -1);
    EXPECT_EQ(shell.errors, (Messages{"The number of items scored does not match the number that are defined"}));

    state(modelCommand, "item");
    ws.data.fileName = MString();
    EXPECT_EQ(build(), -1);
    EXPECT_EQ(shell.errors, (Messages{"Data file name not specified - Can't do estimation or itanal"}));
}

TEST_F(ParameterListTest, TooManyParameters) {
    std::string line(3000, '0');
    line[0] = '1';
    data(line + "\n" + std::string(3000, '1') + "\n", "responses 1-3000");
    state(modelCommand, "item");
    ws.settings.constraints = kConstraintsNone;
    EXPECT_EQ(build(), -1);
    EXPECT_EQ(shell.errors, (Messages{"Too many parameters in the model statement",
                                      "Error in building parameter list from model statement"}));
    ws.settings.constraints = kConstraintsDefault;
    EXPECT_EQ(build(), 1);
    EXPECT_EQ(ws.build.estimated.size(), 2999u);
}

}  // namespace
}  // namespace ordena::test
