#include "data/data_layout.h"

namespace ordena {

namespace {

// True when word is a non-empty prefix of full starting with its first letter.
bool isPrefixOf(const MString& word, const char* full) {
    std::string_view f(full);
    return !word.isEmpty() && word.view().size() <= f.size() && f.substr(0, word.view().size()) == word.view();
}

}  // namespace

bool isValidName(const MString& text) {
    if (text.isEmpty() || !isLetter(text.str()[0])) return false;
    for (char c : text.str())
        if (!isLetterOrDigit(c)) return false;
    return true;
}

int DataLayout::explicitVariableIndex(const MString& name) const {
    for (std::size_t k = 0; k < explicitVariables.size(); ++k)
        if (explicitVariables[k].name == name) return static_cast<int>(k);
    return -1;
}

int DataLayout::implicitVariableIndex(const MString& name) const {
    for (std::size_t k = 0; k < implicitVariables.size(); ++k)
        if (implicitVariables[k].name == name) return static_cast<int>(k);
    return -1;
}

MString DataLayout::nameOf(const VariableRef& v) const {
    if (v.index < 0) return MString();
    const auto k = static_cast<std::size_t>(v.index);
    if (v.kind == kExplicitVariable && k < explicitVariables.size()) return explicitVariables[k].name;
    if (v.kind == kImplicitVariable && k < implicitVariables.size()) return implicitVariables[k].name;
    return MString();
}

VariableRef DataLayout::sameNamed(const DataLayout& old, const VariableRef& v) const {
    if (v.kind == kStepVariable) return v;
    const MString name = old.nameOf(v);
    int k = -1;
    if (!name.isEmpty()) k = v.kind == kExplicitVariable ? explicitVariableIndex(name) : implicitVariableIndex(name);
    return {v.kind, k};
}

bool DataLayout::lookupVariable(const MString& name, VariableRef& found) const {
    MString n = name.lower();
    if (isPrefixOf(n, "items")) n = "item";
    int k = explicitVariableIndex(n);
    if (k >= 0) {
        found = {kExplicitVariable, k};
        return true;
    }
    k = implicitVariableIndex(n);
    if (k >= 0) {
        found = {kImplicitVariable, k};
        return true;
    }
    if (n.str()[0] == 's' && (isPrefixOf(n, "step") || isPrefixOf(n, "steps"))) {
        found = {kStepVariable, 0};
        return true;
    }
    return false;
}

void DataLayout::fillItemLevels() {
    std::size_t m = implicitVariables.size();
    itemLevels.assign(items > 0 ? static_cast<std::size_t>(items) : 0, std::vector<std::int32_t>(m, 0));
    std::vector<std::int32_t> level(m, 0);
    for (auto& row : itemLevels) {
        row = level;
        // Odometer: the first variable turns fastest and carries into the next.
        for (std::size_t v = 0; v < m; ++v) {
            if (++level[v] < implicitVariables[v].levels) break;
            level[v] = 0;
        }
    }
}

}  // namespace ordena
