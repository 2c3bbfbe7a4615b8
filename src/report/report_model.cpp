#include "report/report_model.h"

#include <algorithm>
#include <cmath>

#include "command/labels.h"
#include "report/category_threshold.h"
#include "report/report_writer.h"
#include "model/parameter_list.h"

namespace ordena {

namespace {

double vectorAt(const Vector& v, int i) { return i >= 0 && i < v.rows() ? v[i][0] : 0.0; }

double errorVariance(const EstimationState& est, int kept) {
    if (kept < 0) return 0.0;
    switch (est.options.stdErr) {
        case StdErrMode::Quick: return vectorAt(est.itemErrors, kept);
        case StdErrMode::Full:
            if (kept < est.fullErrors.rows() && kept < est.fullErrors.columns()) return est.fullErrors[kept][kept];
            return 0.0;
        case StdErrMode::None: break;
    }
    return 0.0;
}

const ParameterSpec* specOf(const ModelBuild& build, int number, bool constrained) {
    const std::vector<ParameterSpec>& list = constrained ? build.constrained : build.estimated;
    if (number < 0 || static_cast<std::size_t>(number) >= list.size()) return nullptr;
    return &list[static_cast<std::size_t>(number)];
}

// The dimension whose item list holds the item level; -1 when none does.
int dimensionOf(const ModelBuild& build, int level) {
    for (std::size_t d = 0; d < build.dimensionItems.size(); ++d)
        for (std::int32_t l : build.dimensionItems[d])
            if (l == level) return static_cast<int>(d);
    return -1;
}

}  // namespace

int keptIndexOf(const EstimationState& est, int parameterNumber) {
    const int P = est.parameters();
    if (est.keptParameters.empty()) return parameterNumber >= 0 && parameterNumber < P ? parameterNumber : -1;
    for (int p = 0; p < P && static_cast<std::size_t>(p) < est.keptParameters.size(); ++p)
        if (est.keptParameters[static_cast<std::size_t>(p)] == parameterNumber) return p;
    return -1;
}

double sumErrorVariance(const EstimationState& est, const std::vector<int>& kept) {
    const Matrix& V = est.fullErrors;
    double total = 0.0;
    for (int a : kept)
        for (int b : kept) {
            if (a < 0 || b < 0 || a >= V.rows() || b >= V.columns()) return 0.0;
            total += V[a][b];
        }
    return total;
}

MString variableName(const Workspace& ws, const VariableRef& v) {
    const DataLayout& layout = ws.data.layout;
    std::size_t k = static_cast<std::size_t>(v.index);
    if (v.kind == kStepVariable) return "step";
    if (v.kind == kExplicitVariable && v.index >= 0 && k < layout.explicitVariables.size())
        return layout.explicitVariables[k].name;
    if (v.kind == kImplicitVariable && v.index >= 0 && k < layout.implicitVariables.size())
        return layout.implicitVariables[k].name;
    return "?";
}

MString levelCode(const Workspace& ws, const VariableRef& v, int level) {
    if (v.kind == kExplicitVariable) {
        for (const ValueList& list : ws.data.passes.valueLists)
            if (list.variable == v.index && level >= 0 && static_cast<std::size_t>(level) < list.values.size())
                return list.values[static_cast<std::size_t>(level)].trim();
    }
    return itoMString(level + 1);
}

MString levelLabel(const Workspace& ws, const VariableRef& v, int level) {
    int kind = v.kind == kExplicitVariable ? kLabelExplicit : kLabelImplicit;
    return labelLookup(ws, variableName(ws, v), kind, levelCode(ws, v, level));
}

MString termHeading(const ModelTerm& term) { return term.text; }

std::vector<TermRow> termRows(const Workspace& ws, const ModelTerm& term) {
    const ModelBuild& build = ws.build;
    const EstimationState& est = ws.est;
    const int n = term.variableCount();
    std::vector<int> positions(static_cast<std::size_t>(n), -1);
    for (int i = 0; i < n; ++i) positions[static_cast<std::size_t>(i)] = ws.model.modelPosition(term.variables[static_cast<std::size_t>(i)]);

    int itemIndex = -1;
    for (int i = 0; i < n; ++i)
        if (positions[static_cast<std::size_t>(i)] == build.itemVariablePosition) itemIndex = i;

    std::vector<TermRow> rows;
    for (int r = 0; r < term.parameterCount(); ++r) {
        TermRow row;
        row.constrained = static_cast<std::size_t>(r) < term.parameterFlags.size() && term.parameterFlags[static_cast<std::size_t>(r)] == 1;
        int number = term.parameterNumbers[static_cast<std::size_t>(r)];
        const ParameterSpec* spec = specOf(build, number, row.constrained);
        row.levels.assign(static_cast<std::size_t>(n), 0);
        for (int i = 0; i < n && spec != nullptr; ++i) {
            int p = positions[static_cast<std::size_t>(i)];
            if (p == -2) row.levels[static_cast<std::size_t>(i)] = spec->step;
            else if (p >= 0 && static_cast<std::size_t>(p) < spec->levels.size())
                row.levels[static_cast<std::size_t>(i)] = spec->levels[static_cast<std::size_t>(p)];
        }
        if (!row.constrained) {
            row.kept = keptIndexOf(est, number);
            if (row.kept >= 0) {
                row.hasValue = true;
                row.value = vectorAt(est.xsi, row.kept);
                row.variance = errorVariance(est, row.kept);
                row.anchored = static_cast<std::size_t>(row.kept) < est.anchored.size() &&
                               est.anchored[static_cast<std::size_t>(row.kept)] == 1;
            }
        }
        rows.push_back(std::move(row));
    }

    // A constrained row is fixed by the free rows that agree with it on every
    // variable that some free row shares with it.
    for (TermRow& c : rows) {
        if (!c.constrained) continue;
        std::vector<bool> fixedBy(static_cast<std::size_t>(n), false);
        int count = 0;
        for (int i = 0; i < n; ++i) {
            bool taken = false;
            for (const TermRow& f : rows)
                if (!f.constrained && f.levels[static_cast<std::size_t>(i)] == c.levels[static_cast<std::size_t>(i)]) taken = true;
            if (!taken) {
                fixedBy[static_cast<std::size_t>(i)] = true;
                ++count;
            }
        }
        double sum = 0.0, variance = 0.0;
        std::vector<int> from;  // the estimates the constrained value sums
        for (const TermRow& f : rows) {
            if (f.constrained || !f.hasValue) continue;
            bool agrees = true;
            for (int i = 0; i < n && agrees; ++i) {
                const std::size_t k = static_cast<std::size_t>(i);
                if (!fixedBy[k] && f.levels[k] != c.levels[k]) agrees = false;
                // The last item of a dimension is minus the sum of that
                // dimension's items only.
                if (fixedBy[k] && i == itemIndex && dimensionOf(build, f.levels[k]) != dimensionOf(build, c.levels[k]))
                    agrees = false;
            }
            if (!agrees) continue;
            sum += f.value;
            if (f.variance > 0.0) variance += f.variance;
            from.push_back(f.kept);
        }
        c.hasValue = true;
        c.value = (count % 2 == 1 ? -1.0 : 1.0) * sum;
        // Quick errors know no covariances: the sum of the variances. The
        // full error covariance V gives the variance of the sum, 1'V1 over
        // the estimates it sums; an anchored one adds nothing.
        c.variance = 0.0;
        if (est.options.stdErr == StdErrMode::Quick) c.variance = variance;
        else if (est.options.stdErr == StdErrMode::Full) c.variance = sumErrorVariance(est, from);
    }
    return rows;
}

MString itemIdentifier(const Workspace& ws, int g) {
    std::vector<std::int32_t> levels;
    generalisedItemLevels(g, ws.build.levelCounts, levels);
    MString id;
    for (std::int32_t l : levels) id += itoMString(l + 1) + ".";
    return id;
}

MString itemLabelText(const Workspace& ws, int g) {
    std::vector<std::int32_t> levels;
    generalisedItemLevels(g, ws.build.levelCounts, levels);
    const int itemPosition = ws.build.itemVariablePosition;
    MString facets, items;
    for (int i = 0; i < static_cast<int>(levels.size()) && i < ws.model.modelVariableCount(); ++i) {
        VariableRef v = ws.model.modelVariableAt(i);
        int level = levels[static_cast<std::size_t>(i)];
        MString part = variableName(ws, v) + "\t" + itoMString(level + 1) + "\t" + levelLabel(ws, v, level);
        if (i == itemPosition) items += part + "\t";
        else facets += part + " ";
    }
    MString line = reportLine();
    line.overlay(facets + items, 0);
    return line;
}

bool categoryTablesAvailable(const ModelBuild& build) {
    if (build.items <= 0 || build.dimensions < 1 || build.categoryCount.size() < static_cast<std::size_t>(build.items))
        return false;
    for (int g = 0; g < build.items; ++g) {
        int m = static_cast<std::size_t>(g) < build.categoryCount.size() ? build.categoryCount[static_cast<std::size_t>(g)] : 0;
        if (m > build.maxCategories) return false;
        for (int k = 0; k < m; ++k) {
            if ((static_cast<std::size_t>(g) * build.maxCategories + k + 1) * build.dimensions > build.scores.size()) return false;
            int equal = 0, other = 0;
            for (int d = 0; d < build.dimensions; ++d) {
                double s = build.scoreAt(g, k, d);
                if (s == k) ++equal;
                else if (s != 0.0) ++other;
            }
            // Category 0 is scored 0 everywhere; any other on exactly one dimension.
            if (other != 0 || (k > 0 && equal != 1)) return false;
        }
    }
    return true;
}

double categoryLogit(const Workspace& ws, int g, int k) {
    const ModelBuild& build = ws.build;
    const EstimationState& est = ws.est;
    double sum = 0.0;
    const std::size_t rowStart = (static_cast<std::size_t>(g) * build.maxCategories + k) * build.designStride;
    for (int p = 0; p < est.parameters(); ++p) {
        int column = static_cast<std::size_t>(p) < est.keptParameters.size() ? est.keptParameters[static_cast<std::size_t>(p)] : p;
        if (column < 0 || column >= build.designStride || rowStart + column >= build.design.size()) continue;
        sum += static_cast<double>(build.design[rowStart + column]) * est.xsi[p][0];
    }
    return sum;
}

double categoryParameter(const Workspace& ws, int g, int k) {
    if (k <= 1) return -categoryLogit(ws, g, 1);
    return -(categoryLogit(ws, g, k) - categoryLogit(ws, g, k - 1));
}

double threshold(const Workspace& ws, int g, int k) {
    const ModelBuild& build = ws.build;
    if (g < 0 || static_cast<std::size_t>(g) >= build.categoryCount.size()) return 0.0;
    int m = build.categoryCount[static_cast<std::size_t>(g)];
    if ((static_cast<std::size_t>(g) * build.maxCategories + m) * build.dimensions > build.scores.size()) return 0.0;
    std::vector<double> scores(static_cast<std::size_t>(m)), logits(static_cast<std::size_t>(m));
    for (int j = 0; j < m; ++j) {
        double s = 0.0;
        for (int d = 0; d < build.dimensions; ++d) s += build.scoreAt(g, j, d);
        scores[static_cast<std::size_t>(j)] = s;
        logits[static_cast<std::size_t>(j)] = categoryLogit(ws, g, j);
    }
    return cumulativeThreshold(scores, logits, 0, k);
}

}  // namespace ordena
