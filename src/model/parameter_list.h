// The parameter list and the design and scoring matrices: from the model
// terms, the levels the data passes counted and the constraints setting to
// the generalised items' design rows and scoring vectors.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/mstring.h"
#include "base/shell.h"
#include "data/data_pass_state.h"
#include "data/data_spec.h"
#include "estimation/estimate_options.h"
#include "model/model_build.h"
#include "model/model_spec.h"

namespace ordena {

inline constexpr int kMaxParameters = 3000;  // room of each list; at most 2999 estimated

// What decides between estimated and constrained parameters.
struct ConstraintRule {
    int constraints = 0;  // the constraints setting (Constraints)
    // Per dimension: every regression coefficient of it is anchored.
    std::vector<bool> dimensionAnchored;

    bool anchored(int dimension) const {
        return dimension >= 0 && static_cast<std::size_t>(dimension) < dimensionAnchored.size() &&
               dimensionAnchored[static_cast<std::size_t>(dimension)];
    }
};

// dimensionAnchored for D dimensions and R regression parameters from the
// anchor list.
std::vector<bool> anchoredDimensions(const std::vector<AnchorEntry>& anchors, int dimensions, int regressors);

// Mixed radix, first model variable fastest.
std::int64_t generalisedItemIndex(std::span<const std::int32_t> levels, std::span<const std::int32_t> levelCounts);
// The levels of generalised item g.
void generalisedItemLevels(std::int64_t g, std::span<const std::int32_t> levelCounts, std::vector<std::int32_t>& levels);

// Model position of each variable of the term (-2 for the step). 1, or -1
// after "Error in term index (SUBR ModelIndexT)".
int ModelIndexT(const ModelTerm& term, const ModelSpec& model, std::vector<int>& positions, Shell& shell);

// The item variable, the number of dimensions and the dimension item lists
// into build (levelCounts must be filled). 1, or -1 after a report.
int ItemListDim(const ModelSpec& model, const DataLayout& layout, const DataPassState& passes,
                const std::vector<ScoreRule>& scores, int constraints, ModelBuild& build, Shell& shell);

// Whether a parameter with these levels (model order, -1 outside its term)
// is constrained.
bool isConstrained(std::span<const std::int32_t> levels, const ModelBuild& build, const ConstraintRule& rule);

// The estimated and constrained lists and each term's parameter numbers;
// may change the category counts (step terms). t2Size: entries of the
// response code table. 1, or -1 after a report.
int buildParameterList(ModelSpec& model, ModelBuild& build, const ConstraintRule& rule, std::size_t t2Size,
                       Shell& shell);

// The scoring vectors of every generalised item and category. 1, or -1
// after a report.
int buildScores(const ModelSpec& model, const DataLayout& layout, const DataPassState& passes,
                const std::vector<ScoreRule>& rules, ModelBuild& build, Shell& shell);

// The design coefficient of estimated parameter s for item levels L and
// category k of item g.
float designCoefficient(const ParameterSpec& s, std::span<const std::int32_t> L, int g, int k, const ModelBuild& build,
                        const ConstraintRule& rule);
float constrainedCoefficient(const ParameterSpec& s, std::span<const std::int32_t> L, int g, int k,
                             const ModelBuild& build);

// The design rows (needs the scores). 1.
int buildDesign(ModelBuild& build, const ConstraintRule& rule);
int buildConstrainedDesign(ModelBuild& build);

// Reads an imported design: the parameter count, then P numbers for every
// category of every generalised item. 1, or -1 after a report.
int importDesign(const MString& fileName, ModelBuild& build, Shell& shell);

}  // namespace ordena
