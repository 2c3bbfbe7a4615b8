// What the model build makes from the model statements and the data passes,
// and what the estimation and the reports work on: the generalised items,
// the parameter lists, the design rows and the scoring vectors.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"

namespace ordena {

// One item parameter: the level of each model variable it belongs to (-1 for
// variables not in its term), its step (-1 without a step) and the sign of
// its term.
struct ParameterSpec {
    std::vector<std::int32_t> levels;
    std::int32_t step = -1;
    char sign = '+';
};

struct ModelBuild {
    // Generalised items: every combination of model-variable levels, first
    // model variable fastest.
    std::vector<std::int32_t> levelCounts;     // per model variable, in model order
    std::int32_t items = 0;                    // G, the number of generalised items
    std::vector<std::int32_t> categoryCount;   // per item: highest category + 1 (0 when none)
    std::vector<std::int32_t> lowestCategory;  // per item
    std::int32_t maxCategories = 0;            // largest category count

    // Parameters: P estimated, Q constrained.
    std::vector<ParameterSpec> estimated;
    std::vector<ParameterSpec> constrained;

    // Design rows: element ((g * maxCategories) + k) * P + p; room for
    // (items + 1) rows of categories, each designStride wide. Same layout with Q columns for the
    // constrained design.
    std::vector<float> design;
    std::vector<float> constrainedDesign;
    std::int32_t designStride = 0;  // row width of `design` as allocated; P may shrink below it when unidentified parameters are removed

    // Scoring vectors: element ((g * maxCategories) + k) * dimensions + d.
    std::vector<double> scores;
    std::int32_t dimensions = 1;  // D

    std::vector<std::vector<std::int32_t>> dimensionItems;  // per dimension, sorted item-variable levels
    std::int32_t itemVariablePosition = 0;
    std::int32_t importedDesign = 0;  // 1: the design came from an import file with its own parameter count

    // P: the estimated parameters, or the imported design's own count.
    std::int32_t parameterCount() const {
        return importedDesign ? designStride : static_cast<std::int32_t>(estimated.size());
    }
    float designAt(int g, int k, int p) const {
        return design[(static_cast<std::size_t>(g) * maxCategories + k) * designStride + p];
    }
    double scoreAt(int g, int k, int d) const {
        return scores[(static_cast<std::size_t>(g) * maxCategories + k) * dimensions + d];
    }
};

}  // namespace ordena
