// What the model statements record: the model terms and the variables they
// select, the facet, regression, group and case weight lists (with the
// copies used by the last data passes) and the item groups.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/mstring.h"
#include "data/data_layout.h"
#include "data/data_spec.h"

namespace ordena {

// Variables in the order written: explicit ones (indices into the format's
// explicit variables) and implicit ones, kept apart.
struct VariableList {
    std::vector<std::int32_t> explicitIndices;
    std::vector<std::int32_t> implicitIndices;

    int explicitCount() const { return static_cast<int>(explicitIndices.size()); }
    int implicitCount() const { return static_cast<int>(implicitIndices.size()); }
    int size() const { return explicitCount() + implicitCount(); }
    bool empty() const { return explicitIndices.empty() && implicitIndices.empty(); }
    void clear() {
        explicitIndices.clear();
        implicitIndices.clear();
    }
    // Same variables, whatever their order.
    bool sameSet(const VariableList& other) const;
    bool contains(const VariableRef& v) const;
    // Appends v unless it is there (the step pseudo-variable is never listed).
    void add(const VariableRef& v);
    // Place of v among the variables of its kind, or -1.
    int placeOf(const VariableRef& v) const;
};

struct ModelTerm {
    std::vector<VariableRef> variables;  // in written order; kind 2 is the step
    // Filled by the model build: per parameter of this term, its number in
    // its list and whether that list is the constrained one (1) or not (0).
    std::vector<std::int32_t> parameterNumbers;
    std::vector<std::int32_t> parameterFlags;
    char sign = '+';
    MString text;  // as written, blanks removed

    int variableCount() const { return static_cast<int>(variables.size()); }
    int parameterCount() const { return static_cast<int>(parameterNumbers.size()); }
    bool hasStep() const {
        for (const VariableRef& v : variables)
            if (v.kind == kStepVariable) return true;
        return false;
    }
};

struct ItemGroup {
    MString name;
    std::vector<Selection> selections;
};

inline constexpr int kMaxListVariables = 1000;   // a list holds at most 999
inline constexpr int kMaxModelVariables = 1000;  // a model holds at most 999

struct ModelSpec {
    std::vector<ModelTerm> terms;
    MString modelText;
    // Distinct variables of all terms in order of first appearance (the step
    // pseudo-variable included when a term names it).
    std::vector<VariableRef> modelVariables;
    // The model variables without the step; its order is the model order:
    // explicit ones first, then implicit ones.
    VariableList modelVariableList;

    VariableList facets;       // as stated
    VariableList facetsInUse;  // as stated plus the model variables (the model build adds them)
    VariableList regression;
    MString regressionText;
    std::int32_t regressionParameterCount = 1;  // regression variables + 1
    VariableList group;
    MString groupText;
    std::int32_t groupKeyWidth = 1;  // group variables + 1
    VariableList caseweight;

    // The lists the last data passes ran with.
    VariableList lastFacets;
    VariableList lastRegression;
    VariableList lastCaseweight;
    VariableList lastGroup;

    std::vector<ItemGroup> itemGroups;  // kept by a reset

    // Number of model variables (the step not counted).
    int modelVariableCount() const { return modelVariableList.size(); }
    // The variable at a model position: explicit ones first, then implicit.
    VariableRef modelVariableAt(int position) const;
    // Model position of v, -2 for the step, -1 when v is not a model variable.
    int modelPosition(const VariableRef& v) const;

    // Points every variable of the model statements (terms, lists and their
    // copies, item groups) at the variable of the same name in `now`, after
    // a format statement replaced `old`. A variable `now` lacks keeps index
    // -1, so the data passes refuse the list. Returns each statement that
    // lost a variable with the variable's name: {"regression", "age"}, say.
    std::vector<std::pair<MString, MString>> resolveByName(const DataLayout& old, const DataLayout& now);
    // The statement ("model", "facets", "regression", "group", "caseweight")
    // one of whose variables is not in the layout; empty when there is none.
    MString listOutsideLayout(const DataLayout& layout) const;

    // A reset empties the model and the variable lists with their copies
    // from the last data passes, so the next estimate runs the passes again;
    // the item groups stay.
    void clearOnReset();
};

}  // namespace ordena
