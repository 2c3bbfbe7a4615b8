// Cases that share a posterior. A case's likelihood at node q is
//
//   L(q) = exp(sum_r a_r . xsi) * exp(s . theta_q) / prod_r sum_k exp(b_ik . theta_q + a_ik . xsi),
//
// r running over its responses (item i, category x_r, design row a_r =
// a_(i x_r)) and s being its score vector, the sum of the scoring vectors of
// its responses. The first factor depends on the pattern of its responses
// and is common to all nodes; the rest depends only on the items it answered
// and on s. So the posterior over the nodes, and all that is computed from
// it (expected counts, moments, EAP, plausible value draws, MLE and WLE), is
// the same for every case that answered the same items, has the same scores
// and the same prior (the same regressor values). Such cases form a class:
// one representative's posterior serves all of them, and their
// log-likelihoods follow from the representative's by the difference of
// the pattern factors.
//
// The classes are found in one pass over the cases (a hash of the answered
// items, the scores and the regressor values) and kept in memory for the
// passes after it. Whether they are used at all is decided by the model's
// structure (classesApply) and by what they save on the data at hand
// (CaseClassBuilder gives up when they would not pay).
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "estimation/estimation_work.h"

namespace ordena {

// Whether cases of the same answered items, scores and regressor values
// share their posterior for this model and method: always, except when the
// general path is forced or the method has no posterior over nodes (joint
// maximum likelihood). A model whose scoring vectors are estimated (the
// score of a case then depends on the estimates) must answer false here.
bool classesApply(const EstimationWork& work);

struct CaseClasses {
    int D = 1, R = 1, maxCat = 1;

    // Per class: the responses of its representative (its first case in
    // model-file order), sorted by item and category.
    std::vector<std::size_t> start{0};
    std::vector<std::int32_t> items, categories;
    // R + 1 per class, laid out as a record of the case information file:
    // the sum of its cases' weights, then its R regression values (the
    // constant 1 first).
    std::vector<double> records;
    std::vector<std::int64_t> cases;  // its cases of non-zero weight
    std::vector<double> scores;       // D per class: the raw score of each of its cases
    // Per class and per response of the representative (in its sorted
    // order), maxCat weights: the summed weights of the class's cases whose
    // corresponding response fell in that category. The j-th sorted
    // response of every case of a class is to the same item.
    std::vector<double> categoryWeights;

    // Every case of the model file in its order, with its class.
    std::vector<std::int32_t> caseNumbers, caseClass;
    // Per case number, its class; -1 for a number the model file lacks.
    std::vector<std::int32_t> classOf;

    int count() const { return static_cast<int>(cases.size()); }
    int responses(int c) const {
        return static_cast<int>(start[static_cast<std::size_t>(c) + 1] - start[static_cast<std::size_t>(c)]);
    }
    const std::int32_t* itemsOf(int c) const { return items.data() + start[static_cast<std::size_t>(c)]; }
    const std::int32_t* categoriesOf(int c) const { return categories.data() + start[static_cast<std::size_t>(c)]; }
    const double* recordOf(int c) const { return records.data() + static_cast<std::size_t>(c) * (R + 1); }
    double weightOf(int c) const { return recordOf(c)[0]; }
    const double* scoresOf(int c) const { return scores.data() + static_cast<std::size_t>(c) * D; }
    // The class of case n, or -1.
    int classOfCase(int n) const {
        return n >= 0 && static_cast<std::size_t>(n) < classOf.size() ? classOf[static_cast<std::size_t>(n)] : -1;
    }

    // Per class, the log-likelihood of all its cases apart from what the
    // representative's gives: sum over its cases of w_n (A_n - A_rep), with
    // A = sum_r a_r . xsi from the table axsi (i * maxCat + k) and the
    // weights w_n scaled by weightFactor. A class's summed log-likelihood
    // is then its weight * weightFactor * (the representative's) + this.
    std::vector<double> patternTerms(const std::vector<double>& axsi, double weightFactor) const;
};

// Builds the classes from the cases of one pass in model-file order. Gives
// up, releasing what it has gathered, when the classes would save less
// than they cost: when their work (responses plus two per class) exceeds
// pays times the work of the cases, or a response falls outside the model.
class CaseClassBuilder {
public:
    // cases and responses: as many as the data passes wrote (the work the
    // classes are weighed against).
    CaseClassBuilder(const EstimationWork& work, std::int64_t cases, std::int64_t responses, double pays = 0.5);

    // One case: its m responses (items and categories) and its record of
    // the case information file (weight, then the R regression values;
    // null for weight 1 and no regressors). A case of weight zero counts as
    // having no responses.
    void add(int caseNumber, const std::int32_t* items, const std::int32_t* categories, int m, const double* record);
    bool givenUp() const { return givenUp_; }
    // The classes, or null when the builder gave up.
    std::shared_ptr<const CaseClasses> finish();

private:
    void giveUp();
    std::uint64_t keyHash(int m) const;
    bool sameKey(int c, int m) const;

    const EstimationWork& work_;
    double budget_;
    double spent_ = 0.0;
    bool givenUp_ = false;
    std::unique_ptr<CaseClasses> classes_;
    std::unordered_map<std::uint64_t, std::int32_t> firstWithHash_;
    std::vector<std::int32_t> nextWithHash_;  // per class: the next class of the same hash, or -1
    // The case being added: its responses sorted, its scores and regressors.
    std::vector<std::pair<std::int32_t, std::int32_t>> sorted_;
    std::vector<double> score_, y_;
};

}  // namespace ordena
