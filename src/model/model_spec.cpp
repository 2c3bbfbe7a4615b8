#include "model/model_spec.h"

#include <algorithm>

namespace ordena {

namespace {

bool sameIndices(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
    if (a.size() != b.size()) return false;
    for (std::int32_t x : a)
        if (std::find(b.begin(), b.end(), x) == b.end()) return false;
    for (std::int32_t x : b)
        if (std::find(a.begin(), a.end(), x) == a.end()) return false;
    return true;
}

}  // namespace

bool VariableList::sameSet(const VariableList& other) const {
    return sameIndices(explicitIndices, other.explicitIndices) && sameIndices(implicitIndices, other.implicitIndices);
}

int VariableList::placeOf(const VariableRef& v) const {
    const std::vector<std::int32_t>* list = nullptr;
    if (v.kind == kExplicitVariable) list = &explicitIndices;
    if (v.kind == kImplicitVariable) list = &implicitIndices;
    if (list == nullptr) return -1;
    auto it = std::find(list->begin(), list->end(), v.index);
    return it == list->end() ? -1 : static_cast<int>(it - list->begin());
}

bool VariableList::contains(const VariableRef& v) const { return placeOf(v) >= 0; }

void VariableList::add(const VariableRef& v) {
    if (contains(v)) return;
    if (v.kind == kExplicitVariable) explicitIndices.push_back(v.index);
    if (v.kind == kImplicitVariable) implicitIndices.push_back(v.index);
}

VariableRef ModelSpec::modelVariableAt(int position) const {
    int e = modelVariableList.explicitCount();
    if (position < e) return {kExplicitVariable, modelVariableList.explicitIndices[static_cast<std::size_t>(position)]};
    return {kImplicitVariable, modelVariableList.implicitIndices[static_cast<std::size_t>(position - e)]};
}

int ModelSpec::modelPosition(const VariableRef& v) const {
    if (v.kind == kStepVariable) return -2;
    int place = modelVariableList.placeOf(v);
    if (place < 0) return -1;
    return v.kind == kExplicitVariable ? place : modelVariableList.explicitCount() + place;
}

namespace {

// Re-points a list's indices; lost receives the statement and the name of
// each variable the new layout lacks.
void resolveList(VariableList& list, const DataLayout& old, const DataLayout& now, const char* statement,
                 std::vector<std::pair<MString, MString>>* lost) {
    for (auto [kind, indices] : {std::pair{kExplicitVariable, &list.explicitIndices},
                                 std::pair{kImplicitVariable, &list.implicitIndices}})
        for (std::int32_t& k : *indices) {
            const VariableRef found = now.sameNamed(old, {kind, k});
            if (found.index < 0 && lost != nullptr && k >= 0)
                lost->emplace_back(statement, old.nameOf({kind, k}));
            k = found.index;
        }
}

bool insideLayout(const VariableList& list, const DataLayout& layout) {
    for (std::int32_t k : list.explicitIndices)
        if (layout.nameOf({kExplicitVariable, k}).isEmpty()) return false;
    for (std::int32_t k : list.implicitIndices)
        if (layout.nameOf({kImplicitVariable, k}).isEmpty()) return false;
    return true;
}

}  // namespace

std::vector<std::pair<MString, MString>> ModelSpec::resolveByName(const DataLayout& old, const DataLayout& now) {
    std::vector<std::pair<MString, MString>> lost;
    for (ModelTerm& term : terms)
        for (VariableRef& v : term.variables) v = now.sameNamed(old, v);
    for (VariableRef& v : modelVariables) v = now.sameNamed(old, v);
    resolveList(modelVariableList, old, now, "model", &lost);
    resolveList(facets, old, now, "facets", &lost);
    // The facets in use also hold the variables of earlier models: the
    // build adds the current model's again, so the lost ones just go.
    resolveList(facetsInUse, old, now, "facets", nullptr);
    for (std::vector<std::int32_t>* indices : {&facetsInUse.explicitIndices, &facetsInUse.implicitIndices})
        std::erase(*indices, -1);
    resolveList(regression, old, now, "regression", &lost);
    resolveList(group, old, now, "group", &lost);
    resolveList(caseweight, old, now, "caseweight", &lost);
    for (VariableList* copy : {&lastFacets, &lastRegression, &lastCaseweight, &lastGroup})
        resolveList(*copy, old, now, "", nullptr);
    for (ItemGroup& g : itemGroups)
        for (Selection& s : g.selections) s.variable = now.sameNamed(old, s.variable);
    return lost;
}

MString ModelSpec::listOutsideLayout(const DataLayout& layout) const {
    const std::pair<const VariableList*, const char*> lists[] = {{&modelVariableList, "model"},
                                                                 {&facets, "facets"},
                                                                 {&regression, "regression"},
                                                                 {&group, "group"},
                                                                 {&caseweight, "caseweight"}};
    for (const auto& [list, statement] : lists)
        if (!insideLayout(*list, layout)) return statement;
    return MString();
}

void ModelSpec::clearOnReset() {
    std::vector<ItemGroup> keep = std::move(itemGroups);
    *this = ModelSpec{};
    itemGroups = std::move(keep);
}

}  // namespace ordena
