// The classes of cases that share a posterior: which cases fall together
// (the same answered items, scores and regressor values, whatever the
// order of their responses), what each class carries for the passes, the
// pattern terms of the log-likelihood against a direct sum over the cases,
// and when the builder gives up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "estimation/case_classes.h"

namespace ordena::test {
namespace {

// I items of two or three categories on D dimensions: item i scores its
// category k as k on dimension i % D.
EstimationWork smallModel(int I, int D, int R, int maxCat = 3) {
    EstimationWork w;
    w.I = I;
    w.D = D;
    w.R = R;
    w.maxCat = maxCat;
    w.method = EstimationMethod::Quadrature;
    w.scores.assign(static_cast<std::size_t>(I) * maxCat * D, 0.0);
    for (int i = 0; i < I; ++i)
        for (int k = 0; k < maxCat; ++k) w.scores[(static_cast<std::size_t>(i) * maxCat + k) * D + i % D] = k;
    return w;
}

struct Case {
    std::vector<std::int32_t> items, categories;
    std::vector<double> record;  // weight, 1, regressors
};

std::shared_ptr<const CaseClasses> classesOf(const EstimationWork& w, const std::vector<Case>& cases,
                                             double pays = 1e9) {
    long long responses = 0;
    for (const Case& c : cases) responses += static_cast<long long>(c.items.size());
    CaseClassBuilder builder(w, static_cast<std::int64_t>(cases.size()), responses, pays);
    for (std::size_t n = 0; n < cases.size(); ++n)
        builder.add(static_cast<int>(n), cases[n].items.data(), cases[n].categories.data(),
                    static_cast<int>(cases[n].items.size()), cases[n].record.empty() ? nullptr : cases[n].record.data());
    return builder.finish();
}

TEST(CaseClasses, CasesFallTogetherByAnsweredItemsAndScores) {
    const EstimationWork w = smallModel(4, 1, 1);
    const std::vector<Case> cases = {
        {{0, 1, 2, 3}, {1, 0, 0, 0}, {}},     // score 1
        {{0, 1, 2, 3}, {0, 0, 0, 1}, {}},     // score 1: same class, other pattern
        {{3, 2, 1, 0}, {0, 0, 1, 0}, {}},     // score 1, responses in another order
        {{0, 1, 2}, {1, 0, 0}, {}},           // score 1 on three items: a class of its own
        {{0, 1, 2, 3}, {2, 0, 0, 0}, {}},     // score 2
        {{0, 1, 2, 3}, {1, 1, 0, 0}, {}},     // score 2
        {{0, 0, 1}, {1, 0, 2}, {}},           // an item answered twice
        {{0, 1, 0}, {0, 2, 1}, {}},           // the same multiset of items, the same score
    };
    const auto k = classesOf(w, cases);
    ASSERT_TRUE(k);
    EXPECT_EQ(k->count(), 4);
    EXPECT_EQ(k->caseClass, (std::vector<std::int32_t>{0, 0, 0, 1, 2, 2, 3, 3}));
    EXPECT_EQ(k->caseNumbers, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(k->classOfCase(5), 2);
    EXPECT_EQ(k->classOfCase(8), -1);
    EXPECT_EQ(k->cases, (std::vector<std::int64_t>{3, 1, 2, 2}));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(k->weightOf(c), (std::vector<double>{3, 1, 2, 2})[c]);
    // The representative is the first case, its responses sorted by item.
    ASSERT_EQ(k->responses(3), 3);
    EXPECT_EQ(std::vector<std::int32_t>(k->itemsOf(3), k->itemsOf(3) + 3), (std::vector<std::int32_t>{0, 0, 1}));
    EXPECT_EQ(std::vector<std::int32_t>(k->categoriesOf(3), k->categoriesOf(3) + 3),
              (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(k->scoresOf(2)[0], 2.0);
    // Class 0: item 0 in category 1 once, in 0 twice; item 3 in category 1 once.
    const double* cw = k->categoryWeights.data();
    EXPECT_EQ(cw[0 * 3 + 0], 2.0);
    EXPECT_EQ(cw[0 * 3 + 1], 1.0);
    EXPECT_EQ(cw[3 * 3 + 1], 1.0);
    EXPECT_EQ(cw[1 * 3 + 1], 1.0);
    EXPECT_EQ(cw[2 * 3 + 1], 0.0);
}

TEST(CaseClasses, RegressorValuesAndWeightsSplitAndSum) {
    // Two dimensions and one regressor: the prior of a case depends on it.
    const EstimationWork w = smallModel(4, 2, 2);
    const std::vector<Case> cases = {
        {{0, 1, 2, 3}, {1, 0, 0, 1}, {2.0, 1.0, 0.5}},
        {{0, 1, 2, 3}, {0, 1, 1, 0}, {1.5, 1.0, 0.5}},  // scores (1, 1), x = 0.5: the same class
        {{0, 1, 2, 3}, {1, 0, 0, 1}, {1.0, 1.0, 0.7}},  // another x
        {{0, 1, 2, 3}, {1, 1, 0, 0}, {1.0, 1.0, 0.5}},  // scores (1, 1) again
        {{0, 1, 2, 3}, {2, 0, 0, 0}, {1.0, 1.0, 0.5}},  // scores (2, 0)
        {{0, 1, 2, 3}, {1, 0, 0, 0}, {0.0, 1.0, 0.5}},  // weight 0: no responses
        {{}, {}, {0.0, 1.0, 0.5}},                      // a placeholder: the same
    };
    const auto k = classesOf(w, cases);
    ASSERT_TRUE(k);
    EXPECT_EQ(k->caseClass, (std::vector<std::int32_t>{0, 0, 1, 0, 2, 3, 3}));
    EXPECT_EQ(k->records, (std::vector<double>{4.5, 1.0, 0.5, 1.0, 1.0, 0.7, 1.0, 1.0, 0.5, 0.0, 1.0, 0.5}));
    EXPECT_EQ(k->cases, (std::vector<std::int64_t>{3, 1, 1, 0}));
    EXPECT_EQ(k->responses(3), 0);

    // Without regressors the values in the record beyond the constant are
    // not part of the key.
    const EstimationWork one = smallModel(4, 2, 1);
    const auto k1 = classesOf(one, cases);
    ASSERT_TRUE(k1);
    EXPECT_EQ(k1->caseClass, (std::vector<std::int32_t>{0, 0, 0, 0, 1, 2, 2}));
}

TEST(CaseClasses, PatternTermsGiveEachCasesLogLikelihood) {
    // sum over a class's cases of w f (A_n - A_rep), A = sum of a . xsi
    // over the responses, computed here case by case.
    const EstimationWork w = smallModel(5, 1, 1);
    std::vector<double> axsi(5 * 3);
    for (std::size_t j = 0; j < axsi.size(); ++j) axsi[j] = 0.3 * std::sin(1.7 * static_cast<double>(j) + 0.2);
    std::vector<Case> cases;
    for (int n = 0; n < 40; ++n) {
        Case c;
        for (int i = 0; i < 5; ++i) {
            if ((n + i) % 7 == 0) continue;  // some missing responses
            c.items.push_back(i);
            c.categories.push_back(static_cast<std::int32_t>(((n * 2654435761u + i * 40503u) >> 7) % 3));
        }
        c.record = {0.5 + 0.25 * (n % 4), 1.0};
        cases.push_back(c);
    }
    const auto k = classesOf(w, cases);
    ASSERT_TRUE(k);
    const double factor = 1.3;
    const std::vector<double> terms = k->patternTerms(axsi, factor);
    ASSERT_EQ(static_cast<int>(terms.size()), k->count());
    std::vector<double> expected(static_cast<std::size_t>(k->count()), 0.0);
    std::vector<double> representative(static_cast<std::size_t>(k->count()), 0.0);
    std::vector<bool> seen(static_cast<std::size_t>(k->count()), false);
    for (std::size_t n = 0; n < cases.size(); ++n) {
        double A = 0.0;
        for (std::size_t r = 0; r < cases[n].items.size(); ++r)
            A += axsi[static_cast<std::size_t>(cases[n].items[r]) * 3 + cases[n].categories[r]];
        const auto c = static_cast<std::size_t>(k->caseClass[n]);
        if (!seen[c]) representative[c] = A;
        seen[c] = true;
        expected[c] += factor * cases[n].record[0] * (A - representative[c]);
    }
    for (int c = 0; c < k->count(); ++c)
        EXPECT_NEAR(terms[static_cast<std::size_t>(c)], expected[static_cast<std::size_t>(c)], 1e-12) << c;
    EXPECT_LT(k->count(), 40);
    double largest = 0.0;
    for (double e : expected) largest = std::max(largest, std::fabs(e));
    EXPECT_GT(largest, 0.1);  // cases of one class with other patterns than its representative's
}

TEST(CaseClasses, GivesUpWhenClassesWouldNotPay) {
    // Every case answers its own pair of items: every case its own class.
    const EstimationWork w = smallModel(60, 1, 1);
    std::vector<Case> cases;
    for (int n = 0; n < 30; ++n) cases.push_back({{n, n + 30}, {1, 0}, {}});
    EXPECT_FALSE(classesOf(w, cases, 0.5));
    const auto forced = classesOf(w, cases, 1e9);
    ASSERT_TRUE(forced);
    EXPECT_EQ(forced->count(), 30);

    // A complete test of many cases pays.
    std::vector<Case> complete;
    for (int n = 0; n < 30; ++n) complete.push_back({{0, 1, 2}, {n % 2, n % 3 == 0, 1}, {}});
    const auto k = classesOf(smallModel(3, 1, 1), complete, 0.5);
    ASSERT_TRUE(k);
    EXPECT_LE(k->count(), 7);

    // A response outside the model, or a case that comes twice, is not
    // classed at all.
    EXPECT_FALSE(classesOf(smallModel(3, 1, 1), {{{0, 5}, {1, 0}, {}}}));
    EXPECT_FALSE(classesOf(smallModel(3, 1, 1), {{{0, 1}, {1, 3}, {}}}));
    // The builder keeps a reference to the work tables: they must outlive it.
    const EstimationWork three = smallModel(3, 1, 1);
    CaseClassBuilder twice(three, 2, 4, 1e9);
    const std::int32_t items[] = {0, 1}, categories[] = {1, 0};
    twice.add(0, items, categories, 2, nullptr);
    twice.add(0, items, categories, 2, nullptr);
    EXPECT_TRUE(twice.givenUp());
    EXPECT_FALSE(twice.finish());
}

TEST(CaseClasses, ApplyByStructure) {
    EstimationWork w = smallModel(3, 1, 2);
    EXPECT_TRUE(classesApply(w));
    w.method = EstimationMethod::MonteCarlo;
    EXPECT_TRUE(classesApply(w));
    w.method = EstimationMethod::Jml;
    EXPECT_FALSE(classesApply(w));
    w.method = EstimationMethod::Gauss;
    w.generalPath = true;
    EXPECT_FALSE(classesApply(w));
}

}  // namespace
}  // namespace ordena::test
