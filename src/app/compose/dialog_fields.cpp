#include "app/compose/dialog_fields.h"
#include "base/number_format.h"

#include <algorithm>
#include <cstdio>

namespace ordena {

MString fieldText(const MString& text) {
    // Characters, not bytes: a UTF-8 sequence is never split.
    const std::string& s = text.str();
    int characters = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
        if (characters == kFieldCharacters) return MString(s.substr(0, i));
        ++characters;
    }
    return text;
}

namespace {

MString fixed(double value, int decimals) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return MString(buffer);
}

MString general(double value, int digits) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    return MString(buffer);
}

}  // namespace

MString realFieldText(double value) {
    // Five decimals, or as many more as the value needs to read back as
    // itself: 0.000001 must not show as 0.00000.
    for (int decimals = 5; decimals <= 17; ++decimals) {
        const MString text = fixed(value, decimals);
        if (text.toDouble() == value) return text;
    }
    return general(value, 17);
}

MString realFieldText(float value) {
    for (int decimals = 5; decimals <= 12; ++decimals) {
        const MString text = fixed(value, decimals);
        if (static_cast<float>(text.toDouble()) == value) return text;
    }
    return general(value, 9);
}

MString joinTexts(const std::vector<MString>& texts, const char* separator) {
    MString joined;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) joined += separator;
        joined += texts[i];
    }
    return joined;
}

std::vector<LevelEntry> levelList(const DataLayout& layout) {
    std::vector<LevelEntry> entries;
    for (std::size_t v = 0; v < layout.implicitVariables.size(); ++v) {
        const ImplicitVariable& variable = layout.implicitVariables[v];
        for (int level = 1; level <= variable.levels; ++level)
            entries.push_back({static_cast<int>(v), level, variable.name + "(" + itoMString(level) + ")"});
    }
    return entries;
}

MString variableClause(const DataLayout& layout, const std::vector<LevelEntry>& selected) {
    std::vector<int> order;
    for (const LevelEntry& e : selected)
        if (std::find(order.begin(), order.end(), e.variable) == order.end()) order.push_back(e.variable);
    std::vector<MString> groups;
    for (int v : order) {
        std::vector<MString> levels;
        for (const LevelEntry& e : selected)
            if (e.variable == v) levels.push_back(itoMString(e.level));
        const bool known = v >= 0 && v < static_cast<int>(layout.implicitVariables.size());
        const MString name = known ? layout.implicitVariables[static_cast<std::size_t>(v)].name : MString();
        groups.push_back(name + "(" + joinTexts(levels, ",") + ")");
    }
    return joinTexts(groups, ",");
}

std::vector<MString> explicitVariableNames(const DataLayout& layout) {
    std::vector<MString> names;
    for (const ExplicitVariable& v : layout.explicitVariables) names.push_back(v.name);
    return names;
}

std::vector<MString> modelDialogNames(const DataLayout& layout) {
    std::vector<MString> names = layout.variableNames;
    names.push_back("step");
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<MString> lastGroupVariableNames(const Workspace& ws) {
    std::vector<MString> names;
    const std::vector<ExplicitVariable>& variables = ws.data.layout.explicitVariables;
    for (std::int32_t index : ws.model.lastGroup.explicitIndices)
        if (index >= 0 && index < static_cast<std::int32_t>(variables.size()))
            names.push_back(variables[static_cast<std::size_t>(index)].name);
    return names;
}

MString codeListText(const Workspace& ws) { return joinTexts(ws.data.codes, ","); }

bool jmlInForce(const Workspace& ws) { return ws.est.method == EstimationMethod::Jml; }

CaseEstimateChoice preselectedEstimate(const Workspace& ws) {
    return jmlInForce(ws) ? CaseEstimateChoice::Wle : CaseEstimateChoice::PlausibleValues;
}

bool estimateChoiceEnabled(const Workspace& ws, CaseEstimateChoice choice) {
    return !(jmlInForce(ws) && (choice == CaseEstimateChoice::Eap || choice == CaseEstimateChoice::PlausibleValues));
}

}  // namespace ordena
