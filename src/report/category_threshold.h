// The threshold of a category of an item of one dimension: the ability at
// which a response in that category or above has probability one half.
#pragma once

#include <vector>

namespace ordena {

// By bisection that widens its range by 8 up to +-32; the categories from
// first on have the given scores and logits L(g, j). The halving goes on
// until the probability is 0.5 within 1e-12 (or the range is narrower than
// 1e-10), so a threshold prints as exactly as a delta.
double cumulativeThreshold(const std::vector<double>& scores, const std::vector<double>& logits, int first, int k);

}  // namespace ordena
