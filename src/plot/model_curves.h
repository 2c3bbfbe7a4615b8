// The curves the fitted model implies for one generalised item against
// the latent trait: category probabilities, cumulative probabilities, the
// expected score and the information.
#pragma once

#include <vector>

namespace ordena {

// One generalised item: per category its logit a.xsi and its score on the
// item's dimension; categories below `first` (never observed) take no part.
struct ItemCurveModel {
    std::vector<double> logits;
    std::vector<double> scores;
    int first = 0;
    int dimension = 0;
    int categories() const { return static_cast<int>(logits.size()); }
};

// p_k = exp(b_k theta + L_k) / sum_j exp(b_j theta + L_j) for k >= first,
// 0 below.
std::vector<double> categoryProbabilities(const ItemCurveModel& item, double theta);
// P(X >= k), summed from the top category down.
std::vector<double> cumulativeProbabilities(const ItemCurveModel& item, double theta);
double expectedScore(const ItemCurveModel& item, double theta);
// sum_k p_k b_k^2 - (sum_k p_k b_k)^2
double itemInformation(const ItemCurveModel& item, double theta);

// The abilities the curves are drawn at: lo, lo + 0.1, ... while below
// hi + 0.1 (each as lo + j 0.1, so the steps do not drift).
std::vector<double> curveAbilities(double lo, double hi);

}  // namespace ordena
