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

void ModelSpec::clearOnReset() {
    std::vector<ItemGroup> keep = std::move(itemGroups);
    *this = ModelSpec{};
    itemGroups = std::move(keep);
}

}  // namespace ordena
