#include "model/parameter_list.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "base/file_kind.h"
#include "command/settings.h"
#include "data/rules.h"

namespace ordena {

namespace {

int listFailure(Shell& shell, const MString& message) {
    if (!message.isEmpty()) shell.errorReport(message);
    shell.errorReport("Error in building parameter list from model statement");
    return -1;
}

// Position of the model variable named "item", or 0 when there is none.
int itemPosition(const ModelSpec& model, const DataLayout& layout) {
    for (int i = 0; i < model.modelVariableCount(); ++i) {
        VariableRef v = model.modelVariableAt(i);
        std::size_t k = static_cast<std::size_t>(v.index);
        if (v.kind == kExplicitVariable && k < layout.explicitVariables.size() &&
            layout.explicitVariables[k].name == "item")
            return i;
        if (v.kind == kImplicitVariable && k < layout.implicitVariables.size() &&
            layout.implicitVariables[k].name == "item")
            return i;
    }
    return 0;
}

const ValueList* valueListOf(const DataPassState& passes, std::int32_t variable) {
    for (const ValueList& list : passes.valueLists)
        if (list.variable == variable) return &list;
    return nullptr;
}

// Visits every combination of levels of the given positions, first fastest.
// Returns false without visiting when a position has no level.
template <class Visit>
void forEachCombination(const std::vector<int>& positions, const std::vector<std::int32_t>& levelCounts,
                        std::vector<std::int32_t>& levels, Visit visit) {
    for (int p : positions) {
        if (levelCounts[static_cast<std::size_t>(p)] <= 0) return;
        levels[static_cast<std::size_t>(p)] = 0;
    }
    for (;;) {
        if (!visit()) return;
        std::size_t i = 0;
        for (; i < positions.size(); ++i) {
            std::size_t p = static_cast<std::size_t>(positions[i]);
            if (++levels[p] < levelCounts[p]) break;
            levels[p] = 0;
        }
        if (i == positions.size()) return;
    }
}

double scoreSum(const ModelBuild& build, int g, int k) {
    double sum = 0.0;
    for (int d = 0; d < build.dimensions; ++d) sum += build.scoreAt(g, k, d);
    return sum;
}

// The dimension whose item list ends with this item level, or -1.
int dimensionEndingWith(const ModelBuild& build, std::int32_t level) {
    for (std::size_t d = 0; d < build.dimensionItems.size(); ++d)
        if (!build.dimensionItems[d].empty() && build.dimensionItems[d].back() == level) return static_cast<int>(d);
    return -1;
}

}  // namespace

std::vector<bool> anchoredDimensions(const std::vector<AnchorEntry>& anchors, int dimensions, int regressors) {
    std::vector<bool> result(static_cast<std::size_t>(std::max(0, dimensions)), false);
    for (int d = 0; d < dimensions; ++d) {
        bool all = regressors > 0;
        for (int j = 0; j < regressors && all; ++j) {
            bool found = false;
            for (const AnchorEntry& a : anchors)
                found = found || (a.kind == kAnchorRegression && a.first == d && a.second == j);
            all = found;
        }
        result[static_cast<std::size_t>(d)] = all;
    }
    return result;
}

std::int64_t generalisedItemIndex(std::span<const std::int32_t> levels, std::span<const std::int32_t> levelCounts) {
    std::int64_t g = 0;
    std::int64_t radix = 1;
    for (std::size_t i = 0; i < levels.size() && i < levelCounts.size(); ++i) {
        g += levels[i] * radix;
        radix *= levelCounts[i];
    }
    return g;
}

void generalisedItemLevels(std::int64_t g, std::span<const std::int32_t> levelCounts, std::vector<std::int32_t>& levels) {
    levels.resize(levelCounts.size());
    for (std::size_t i = 0; i < levelCounts.size(); ++i) {
        std::int32_t n = levelCounts[i] > 0 ? levelCounts[i] : 1;
        levels[i] = static_cast<std::int32_t>(g % n);
        g /= n;
    }
}

int ModelIndexT(const ModelTerm& term, const ModelSpec& model, std::vector<int>& positions, Shell& shell) {
    positions.clear();
    for (const VariableRef& v : term.variables) {
        int p = model.modelPosition(v);
        if (p == -1) {
            shell.errorReport("Error in term index (SUBR ModelIndexT)");
            return -1;
        }
        positions.push_back(p);
    }
    return 1;
}

int ItemListDim(const ModelSpec& model, const DataLayout& layout, const DataPassState& passes,
                const std::vector<ScoreRule>& scores, int constraints, ModelBuild& build, Shell& shell) {
    int D = scoreDimensions(scores, shell);
    if (D < 0) return -1;
    build.dimensions = D;
    build.dimensionItems.assign(static_cast<std::size_t>(D), {});
    const int V = model.modelVariableCount();
    if (scores.empty() || D == 1) {
        int p = itemPosition(model, layout);
        build.itemVariablePosition = p;
        std::int32_t levels = p < V ? build.levelCounts[static_cast<std::size_t>(p)] : 0;
        for (std::int32_t l = 0; l < levels; ++l) build.dimensionItems[0].push_back(l);
        return 1;
    }
    bool withinItem = false;
    for (const ScoreRule& rule : scores) {
        if (rule.selections.size() != 1) {
            shell.errorReport("There should be one variable in multidimensional scoring");
            return -1;
        }
        std::vector<int> loads;
        for (std::size_t d = 0; d < rule.columns.size() && d < static_cast<std::size_t>(D); ++d) {
            bool nonzero = false;
            for (const MString& s : rule.columns[d]) nonzero = nonzero || s.toInt() != 0;
            if (nonzero) loads.push_back(static_cast<int>(d));
        }
        if (loads.size() > 1) withinItem = true;
        const Selection& sel = rule.selections[0];
        if (sel.variable.kind != kExplicitVariable && sel.variable.kind != kImplicitVariable) {
            shell.errorReport("error in var type - from ItemListDim");
            return -1;
        }
        int p = model.modelPosition(sel.variable);
        if (p < 0) {
            shell.errorReport("error in finding code - from ItemListDim");
            return -1;
        }
        build.itemVariablePosition = p;
        const std::int32_t levelCount = build.levelCounts[static_cast<std::size_t>(p)];
        for (const MString& code : sel.codes) {
            std::int32_t level = -1;
            if (sel.variable.kind == kExplicitVariable) {
                const ValueList* list = valueListOf(passes, sel.variable.index);
                if (list != nullptr)
                    for (std::size_t l = 0; l < list->values.size() && level < 0; ++l)
                        if (codeMatches(code.view(), list->values[l].view())) level = static_cast<std::int32_t>(l);
            } else {
                long long n = code.isDigits() && code.length() < 10 ? code.toInt() : 0;
                if (n >= 1 && n <= levelCount) level = static_cast<std::int32_t>(n - 1);
            }
            if (level < 0 || level >= levelCount) {
                shell.errorReport("error in finding code - from ItemListDim");
                return -1;
            }
            for (int d : loads) build.dimensionItems[static_cast<std::size_t>(d)].push_back(level);
        }
    }
    std::size_t total = 0;
    for (auto& list : build.dimensionItems) {
        std::sort(list.begin(), list.end());
        total += list.size();
    }
    if (!withinItem) {
        std::size_t levels = static_cast<std::size_t>(build.levelCounts[static_cast<std::size_t>(build.itemVariablePosition)]);
        if (total != levels) {
            shell.errorReport("The number of items scored does not match the number that are defined");
            return -1;
        }
    } else if (constraints != kConstraintsCases) {
        shell.errorReport("Within-item dimensionality may not work unless you use constraint=CASES");
    }
    return 1;
}

bool isConstrained(std::span<const std::int32_t> levels, const ModelBuild& build, const ConstraintRule& rule) {
    if (rule.constraints == kConstraintsNone) return false;
    const std::size_t p = static_cast<std::size_t>(build.itemVariablePosition);
    for (std::size_t j = 0; j < levels.size(); ++j)
        if (j != p && levels[j] >= 0 && levels[j] == build.levelCounts[j] - 1) return true;
    if (p < levels.size() && levels[p] >= 0 && rule.constraints != kConstraintsCases) {
        int k = dimensionEndingWith(build, levels[p]);
        if (k >= 0) {
            if (rule.constraints == kConstraintsItems) return true;
            if (rule.constraints == kConstraintsDefault) return !rule.anchored(k);
        }
    }
    return false;
}

int buildParameterList(ModelSpec& model, ModelBuild& build, const ConstraintRule& rule, std::size_t t2Size,
                       Shell& shell) {
    const int V = model.modelVariableCount();
    const std::size_t G = static_cast<std::size_t>(build.items);
    std::vector<ParameterSpec> estimated;
    std::vector<ParameterSpec> constrained;
    std::vector<std::int32_t> levels(static_cast<std::size_t>(V), -1);
    std::vector<std::int32_t> itemLevels;
    std::vector<int> positions;

    for (ModelTerm& term : model.terms) {
        term.parameterNumbers.clear();
        term.parameterFlags.clear();
        if (ModelIndexT(term, model, positions, shell) != 1) return listFailure(shell, MString());
        std::vector<int> others;
        bool hasStep = false;
        for (int p : positions) {
            if (p == -2) hasStep = true;
            else if (std::find(others.begin(), others.end(), p) == others.end()) others.push_back(p);
        }
        bool full = false;
        auto add = [&](ParameterSpec spec, bool isConstrainedParameter) {
            std::vector<ParameterSpec>& list = isConstrainedParameter ? constrained : estimated;
            list.push_back(std::move(spec));
            term.parameterNumbers.push_back(static_cast<std::int32_t>(list.size() - 1));
            term.parameterFlags.push_back(isConstrainedParameter ? 1 : 0);
            if (list.size() >= static_cast<std::size_t>(kMaxParameters)) full = true;
        };
        std::fill(levels.begin(), levels.end(), -1);

        if (!hasStep) {
            forEachCombination(others, build.levelCounts, levels, [&]() {
                ParameterSpec spec{levels, -1, term.sign};
                add(std::move(spec), isConstrained(levels, build, rule));
                return !full;
            });
        } else if (others.empty()) {
            std::int32_t n = 0;
            std::int32_t m = G > 0 ? INT32_MAX : 0;
            for (std::size_t g = 0; g < G; ++g) {
                n = std::max(n, build.categoryCount[g]);
                m = std::min(m, build.lowestCategory[g]);
            }
            if (static_cast<std::size_t>(n) != t2Size)
                shell.warningReport("Warning: Not all of the codes that were specified were found in the data");
            bool changed = false;
            for (std::size_t g = 0; g < G; ++g) {
                changed = changed || build.categoryCount[g] != n || build.lowestCategory[g] != m;
                build.categoryCount[g] = n;
                build.lowestCategory[g] = m;
            }
            if (changed)
                shell.warningReport(
                    "Warning: Items have different number of steps but this model will assume the same no. of steps");
            if (n < 3) {
                shell.errorReport("Items have 2 or fewer categories - can't estimate steps");
            } else {
                for (std::int32_t s = 1; s <= n - 2 && !full; ++s)
                    add(ParameterSpec{std::vector<std::int32_t>(static_cast<std::size_t>(V), -1), s, term.sign}, false);
            }
        } else {
            // The items sharing each combination of the other variables' levels.
            std::size_t combinations = 1;
            for (int p : others) combinations *= static_cast<std::size_t>(std::max(0, build.levelCounts[static_cast<std::size_t>(p)]));
            std::vector<std::int32_t> n(combinations, 0);
            std::vector<std::int32_t> m(combinations, INT32_MAX);
            std::vector<std::size_t> comboOf(G, 0);
            for (std::size_t g = 0; g < G; ++g) {
                generalisedItemLevels(static_cast<std::int64_t>(g), build.levelCounts, itemLevels);
                std::size_t c = 0, radix = 1;
                for (int p : others) {
                    c += static_cast<std::size_t>(itemLevels[static_cast<std::size_t>(p)]) * radix;
                    radix *= static_cast<std::size_t>(build.levelCounts[static_cast<std::size_t>(p)]);
                }
                comboOf[g] = c;
                n[c] = std::max(n[c], build.categoryCount[g]);
                m[c] = std::min(m[c], build.lowestCategory[g]);
            }
            bool warned = false;
            for (std::size_t g = 0; g < G; ++g) {
                std::size_t c = comboOf[g];
                if (build.categoryCount[g] != n[c] || build.lowestCategory[g] != m[c]) {
                    if (!warned)
                        shell.warningReport("Warning: Items have different no. of steps while model assumes that they have");
                    warned = true;
                    build.categoryCount[g] = n[c];
                    build.lowestCategory[g] = m[c];
                }
            }
            std::size_t c = 0;
            forEachCombination(others, build.levelCounts, levels, [&]() {
                if (n[c] - m[c] > 2)
                    for (std::int32_t s = m[c] + 1; s <= n[c] - 2 && !full; ++s) add(ParameterSpec{levels, s, term.sign}, false);
                ++c;
                return !full;
            });
        }
        if (full) return listFailure(shell, "Too many parameters in the model statement");
    }
    build.estimated = std::move(estimated);
    build.constrained = std::move(constrained);
    build.importedDesign = 0;
    build.maxCategories = 0;
    for (std::size_t g = 0; g < G; ++g) build.maxCategories = std::max(build.maxCategories, build.categoryCount[g]);
    return 1;
}

int buildScores(const ModelSpec& model, const DataLayout& layout, const DataPassState& passes,
                const std::vector<ScoreRule>& rules, ModelBuild& build, Shell& shell) {
    const int D = build.dimensions;
    const int maxcat = build.maxCategories;
    const std::size_t G = static_cast<std::size_t>(build.items);
    build.scores.assign((G + 1) * static_cast<std::size_t>(maxcat) * static_cast<std::size_t>(D), 0.0);

    // What the score selections may see: the model variables only.
    std::vector<MString> explicitValues(layout.explicitVariables.size());
    std::vector<std::uint8_t> known(layout.explicitVariables.size(), 0);
    std::vector<std::int32_t> implicitLevels(layout.implicitVariables.size(), -1);
    std::vector<const ValueList*> lists(static_cast<std::size_t>(model.modelVariableCount()), nullptr);
    for (int i = 0; i < model.modelVariableCount(); ++i) {
        VariableRef v = model.modelVariableAt(i);
        if (v.kind == kExplicitVariable) {
            lists[static_cast<std::size_t>(i)] = valueListOf(passes, v.index);
            if (static_cast<std::size_t>(v.index) < known.size()) known[static_cast<std::size_t>(v.index)] = 1;
        }
    }
    bool defaultNotice = false;
    std::vector<std::int32_t> L;
    std::vector<double> scores;
    for (std::size_t g = 0; g < G; ++g) {
        generalisedItemLevels(static_cast<std::int64_t>(g), build.levelCounts, L);
        for (int i = 0; i < model.modelVariableCount(); ++i) {
            VariableRef v = model.modelVariableAt(i);
            std::size_t k = static_cast<std::size_t>(v.index);
            std::int32_t level = L[static_cast<std::size_t>(i)];
            if (v.kind == kExplicitVariable && k < explicitValues.size()) {
                const ValueList* list = lists[static_cast<std::size_t>(i)];
                explicitValues[k] = list != nullptr && static_cast<std::size_t>(level) < list->values.size()
                                        ? list->values[static_cast<std::size_t>(level)]
                                        : MString();
            } else if (v.kind == kImplicitVariable && k < implicitLevels.size()) {
                implicitLevels[k] = level;
            }
        }
        VariableValues values{std::span<const MString>(explicitValues), std::span<const std::int32_t>(implicitLevels),
                              std::span<const std::uint8_t>(known)};
        for (int k = 0; k < build.categoryCount[g]; ++k) {
            if (static_cast<std::size_t>(k) >= passes.t2.size() ||
                lookupScores(passes.t2[static_cast<std::size_t>(k)], rules, values, defaultNotice, scores, shell) != 1 ||
                scores.size() != static_cast<std::size_t>(D)) {
                shell.errorReport("Error in building the design or scoring matrix");
                return -1;
            }
            for (int d = 0; d < D; ++d)
                build.scores[(g * static_cast<std::size_t>(maxcat) + static_cast<std::size_t>(k)) * static_cast<std::size_t>(D) +
                             static_cast<std::size_t>(d)] = scores[static_cast<std::size_t>(d)];
        }
    }
    return 1;
}

float designCoefficient(const ParameterSpec& s, std::span<const std::int32_t> L, int g, int k, const ModelBuild& build,
                        const ConstraintRule& rule) {
    double w = 1.0;
    const std::size_t V = std::min(L.size(), s.levels.size());
    if (s.step >= 0) {
        for (std::size_t j = 0; j < V; ++j)
            if (s.levels[j] >= 0 && s.levels[j] != L[j]) w = 0.0;
        if (w != 0.0 && (k == build.categoryCount[static_cast<std::size_t>(g)] - 1 || k < s.step)) w = 0.0;
    } else {
        const std::size_t p = static_cast<std::size_t>(build.itemVariablePosition);
        for (std::size_t j = 0; j < V && w != 0.0; ++j) {
            if (s.levels[j] < 0 || s.levels[j] == L[j]) continue;
            if (j == p) {
                int d = dimensionEndingWith(build, L[j]);
                bool flips = false;
                if (d >= 0) {
                    const auto& list = build.dimensionItems[static_cast<std::size_t>(d)];
                    bool inList = std::binary_search(list.begin(), list.end(), s.levels[j]);
                    flips = inList && (rule.constraints == kConstraintsItems ||
                                       (rule.constraints == kConstraintsDefault && !rule.anchored(d)));
                }
                w = flips ? -w : 0.0;
            } else {
                bool last = L[j] == build.levelCounts[j] - 1;
                w = (last && rule.constraints != kConstraintsNone) ? -w : 0.0;
            }
        }
        w *= scoreSum(build, g, k);
    }
    if (s.sign == '+') w = -w;
    return static_cast<float>(w);
}

float constrainedCoefficient(const ParameterSpec& s, std::span<const std::int32_t> L, int g, int k,
                             const ModelBuild& build) {
    double w = s.step < 0 ? 1.0 : 0.0;
    for (std::size_t j = 0; j < L.size() && j < s.levels.size() && w != 0.0; ++j)
        if (s.levels[j] >= 0 && s.levels[j] != L[j]) w = 0.0;
    w *= scoreSum(build, g, k);
    if (s.sign == '+') w = -w;
    return static_cast<float>(w);
}

int buildDesign(ModelBuild& build, const ConstraintRule& rule) {
    const std::size_t P = build.estimated.size();
    const std::size_t maxcat = static_cast<std::size_t>(build.maxCategories);
    const std::size_t G = static_cast<std::size_t>(build.items);
    build.designStride = static_cast<std::int32_t>(P);
    build.design.assign((G + 1) * maxcat * P, 0.0f);
    std::vector<std::int32_t> L;
    for (std::size_t g = 0; g < G; ++g) {
        generalisedItemLevels(static_cast<std::int64_t>(g), build.levelCounts, L);
        for (int k = 0; k < build.categoryCount[g]; ++k)
            for (std::size_t p = 0; p < P; ++p)
                build.design[(g * maxcat + static_cast<std::size_t>(k)) * P + p] =
                    designCoefficient(build.estimated[p], L, static_cast<int>(g), k, build, rule);
    }
    return 1;
}

int buildConstrainedDesign(ModelBuild& build) {
    const std::size_t Q = build.constrained.size();
    const std::size_t maxcat = static_cast<std::size_t>(build.maxCategories);
    const std::size_t G = static_cast<std::size_t>(build.items);
    build.constrainedDesign.assign((G + 1) * maxcat * Q, 0.0f);
    std::vector<std::int32_t> L;
    for (std::size_t g = 0; g < G; ++g) {
        generalisedItemLevels(static_cast<std::int64_t>(g), build.levelCounts, L);
        for (int k = 0; k < build.categoryCount[g]; ++k)
            for (std::size_t q = 0; q < Q; ++q)
                build.constrainedDesign[(g * maxcat + static_cast<std::size_t>(k)) * Q + q] =
                    constrainedCoefficient(build.constrained[q], L, static_cast<int>(g), k, build);
    }
    return 1;
}

int importDesign(const MString& fileName, ModelBuild& build, Shell& shell) {
    std::ifstream in;
    if (isRegularFile(fileName.str())) in.open(fileName.str(), std::ios::binary);
    if (!in.is_open()) {
        shell.errorReport("Error opening file " + fileName);
        return -1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const char* p = text.c_str();
    const char* end = p + text.size();
    // The next whitespace-separated number; false at the end of the text or
    // at a word that is not a number.
    auto nextNumber = [&](double& value) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == '\v')) ++p;
        if (p >= end) return false;
        char* after = nullptr;
        errno = 0;
        value = std::strtod(p, &after);
        if (after == p || (after < end && !std::isspace(static_cast<unsigned char>(*after)))) return false;
        p = after;
        return true;
    };
    double count = 0;
    if (!nextNumber(count)) {
        shell.errorReport("Too few numbers in design matrix import file");
        return -1;
    }
    if (!(count >= 1 && count < kMaxParameters) || count != static_cast<double>(static_cast<int>(count))) {
        shell.errorReport("The number of parameters in the design matrix import file is not valid");
        return -1;
    }
    const auto P = static_cast<std::size_t>(count);
    const std::size_t maxcat = static_cast<std::size_t>(build.maxCategories);
    const std::size_t G = static_cast<std::size_t>(build.items);
    if (P != build.estimated.size()) build.importedDesign = 1;
    build.designStride = static_cast<std::int32_t>(P);
    build.design.assign((G + 1) * maxcat * P, 0.0f);
    for (std::size_t g = 0; g < G; ++g) {
        for (int k = 0; k < build.categoryCount[g]; ++k) {
            for (std::size_t q = 0; q < P; ++q) {
                double v = 0;
                if (!nextNumber(v)) {
                    shell.errorReport("Too few numbers in design matrix import file");
                    return -1;
                }
                build.design[(g * maxcat + static_cast<std::size_t>(k)) * P + q] = static_cast<float>(v);
            }
        }
    }
    while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (p < end) {
        shell.errorReport("Too many numbers in design matrix import file");
        return -1;
    }
    return 1;
}

}  // namespace ordena
