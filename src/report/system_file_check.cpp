#include "report/system_file_check.h"

#include <algorithm>

namespace ordena::systemfile {

namespace {

bool inRange(std::int64_t v, std::size_t n) { return v >= 0 && static_cast<std::uint64_t>(v) < n; }

bool fits(const VariableRef& v, const DataLayout& layout) {
    switch (v.kind) {
        case kExplicitVariable: return inRange(v.index, layout.explicitVariables.size());
        case kImplicitVariable: return inRange(v.index, layout.implicitVariables.size());
        case kStepVariable: return v.index == 0;
        default: return false;
    }
}

// Every index names a variable of its kind, none twice.
bool fits(const VariableList& list, const DataLayout& layout) {
    auto check = [](const std::vector<std::int32_t>& indices, std::size_t n) {
        for (std::size_t k = 0; k < indices.size(); ++k) {
            if (!inRange(indices[k], n)) return false;
            if (std::find(indices.begin(), indices.begin() + static_cast<std::ptrdiff_t>(k), indices[k]) !=
                indices.begin() + static_cast<std::ptrdiff_t>(k))
                return false;
        }
        return true;
    };
    return check(list.explicitIndices, layout.explicitVariables.size()) &&
           check(list.implicitIndices, layout.implicitVariables.size());
}

bool explicitOnly(const VariableList& list) { return list.implicitIndices.empty(); }

const char* layoutProblem(const DataLayout& layout) {
    for (const ExplicitVariable& v : layout.explicitVariables) {
        for (const Segment& s : v.segments)
            if (s.lastColumn < s.firstColumn) return "a column range";
        if (v.missingCodes.size() != v.missingFlags.size()) return "the missing codes";
    }
    if (layout.items > 0) {
        if (layout.responseBlocks.empty()) return "the number of items";
        for (const ResponseBlock& b : layout.responseBlocks)
            if (b.count() != layout.items) return "a response block's count";
        if (layout.responseWidth != layout.responseBlocks[0].width) return "the response width";
        std::int64_t product = 1;
        for (const ImplicitVariable& v : layout.implicitVariables) {
            product *= v.levels;
            if (product > layout.items) break;
        }
        if (!layout.implicitVariables.empty() && product != layout.items) return "the implicit variables' levels";
    }
    for (const std::vector<std::int32_t>& row : layout.itemLevels) {
        if (row.size() != layout.implicitVariables.size()) return "the item level table";
        for (std::size_t m = 0; m < row.size(); ++m)
            if (row[m] >= layout.implicitVariables[m].levels) return "the item level table";
    }
    if (layout.variableNames.size() != layout.explicitVariables.size() + layout.implicitVariables.size())
        return "the variable names";
    for (std::size_t k = 0; k < layout.explicitVariables.size(); ++k)
        if (layout.variableNames[k] != layout.explicitVariables[k].name) return "the variable names";
    for (std::size_t k = 0; k < layout.implicitVariables.size(); ++k)
        if (layout.variableNames[layout.explicitVariables.size() + k] != layout.implicitVariables[k].name)
            return "the variable names";
    if (layout.caseIdentifier >= static_cast<std::int32_t>(layout.explicitVariables.size()))
        return "the case identifier";
    const VariableRef item = layout.itemVariable;
    if (item.index != -1 && !fits(item, layout)) return "the item variable";
    if (item.index == -1 && item.kind != kImplicitVariable) return "the item variable";
    return nullptr;
}

const char* modelProblem(const ModelSpec& model, const DataLayout& layout) {
    for (const VariableRef& v : model.modelVariables)
        if (!fits(v, layout)) return "a model variable";
    for (const ModelTerm& t : model.terms)
        for (const VariableRef& v : t.variables)
            if (!fits(v, layout)) return "a model term's variable";
    const VariableList* lists[] = {&model.modelVariableList, &model.facets,      &model.facetsInUse,
                                   &model.regression,        &model.group,       &model.caseweight,
                                   &model.lastFacets,        &model.lastRegression, &model.lastCaseweight,
                                   &model.lastGroup};
    for (const VariableList* list : lists)
        if (!fits(*list, layout)) return "a variable list";
    if (!explicitOnly(model.regression) || !explicitOnly(model.group) || !explicitOnly(model.caseweight) ||
        !explicitOnly(model.lastRegression) || !explicitOnly(model.lastGroup) || !explicitOnly(model.lastCaseweight))
        return "a variable list";
    if (model.caseweight.size() > 1 || model.lastCaseweight.size() > 1) return "the case weight list";
    return nullptr;
}

const char* estimationProblem(const Workspace& ws) {
    const EstimationState& est = ws.est;
    const ModelBuild& build = ws.build;
    const int D = build.dimensions;
    const int R = std::max(1, ws.data.passes.caseInfoWidth - 1);
    auto shaped = [](const Matrix& m, int rows, int columns) {
        return !m.isEmpty() && m.rows() == rows && m.columns() == columns;
    };
    auto emptyOr = [&](const Matrix& m, int rows, int columns) { return m.isEmpty() || shaped(m, rows, columns); };
    if (!shaped(est.sigma, D, D) || !emptyOr(est.bestSigma, D, D) || !emptyOr(est.previousSigma, D, D) ||
        !emptyOr(est.covarianceAnchors, D, D) || !emptyOr(est.covarianceErrors, D, D))
        return "the covariance matrix";
    if (!shaped(est.beta, D, R) || !emptyOr(est.bestBeta, D, R) || !emptyOr(est.previousBeta, D, R) ||
        !emptyOr(est.regressionAnchors, D, R) || !emptyOr(est.regressionErrors, R, D))
        return "the regression coefficients";
    const int P = est.parameters();
    if (P > build.parameterCount()) return "the item parameter estimates";
    if (!emptyOr(est.bestXsi, P, 1) || !emptyOr(est.previousXsi, P, 1) || !emptyOr(est.itemErrors, P, 1))
        return "the item parameter estimates";
    if (est.anchored.size() > static_cast<std::size_t>(build.parameterCount())) return "the anchored flags";
    if (!est.keptParameters.empty() && est.keptParameters.size() != static_cast<std::size_t>(P))
        return "the kept parameters";
    for (std::int32_t k : est.keptParameters)
        if (k >= build.parameterCount()) return "the kept parameters";
    const int Q = est.nodeGrid.isEmpty() ? 0 : est.nodeGrid.rows();
    if (!est.nodeGrid.isEmpty() && est.nodeGrid.columns() != D) return "the node grid";
    if (!emptyOr(est.baseGrid, Q, D) || !emptyOr(est.gwt, Q, 1) || !emptyOr(est.bestGwt, Q, 1) ||
        !emptyOr(est.previousGwt, Q, 1))
        return "the node grid";
    if (!emptyOr(est.yyInverse, R, R)) return "the regression cross-product inverse";
    // The histograms may keep the shape of an earlier model: the maps read
    // them within their own bounds, and only once their estimates exist.
    return nullptr;
}

}  // namespace

const char* buildProblem(const Workspace& ws) {
    const ModelBuild& build = ws.build;
    const ModelSpec& model = ws.model;
    const std::size_t V = static_cast<std::size_t>(model.modelVariableCount());
    if (build.levelCounts.size() != V) return "the level counts";
    std::int64_t G = 1;
    for (std::int32_t count : build.levelCounts) {
        G *= count;
        if (G > build.items) break;
    }
    if (G != build.items) return "the number of generalised items";
    if (!inRange(build.itemVariablePosition, std::max<std::size_t>(V, 1))) return "the item variable position";
    if (build.dimensionItems.size() != static_cast<std::size_t>(build.dimensions)) return "the dimension item lists";
    for (const std::vector<ParameterSpec>* list : {&build.estimated, &build.constrained})
        for (const ParameterSpec& s : *list) {
            if (s.levels.size() != V) return "a parameter row";
            for (std::size_t i = 0; i < V; ++i)
                if (s.levels[i] >= build.levelCounts[i]) return "a parameter row";
            if (s.step >= std::max(build.maxCategories, 1)) return "a parameter row";
        }
    if (build.designStride != static_cast<std::int32_t>(build.estimated.size()) && build.importedDesign != 1)
        return "the design width";
    for (const ModelTerm& t : model.terms)
        for (std::size_t r = 0; r < t.parameterNumbers.size(); ++r) {
            const auto& list = t.parameterFlags[r] == 1 ? build.constrained : build.estimated;
            if (!inRange(t.parameterNumbers[r], list.size())) return "a model term's parameters";
        }
    return nullptr;
}

const char* sizeProblem(const Workspace& ws) {
    const ModelBuild& build = ws.build;
    const DataPassState& passes = ws.data.passes;
    const ModelSpec& model = ws.model;
    const DataLayout& layout = ws.data.layout;
    const std::size_t G = static_cast<std::size_t>(build.items);
    if (build.categoryCount.size() != G || build.lowestCategory.size() != G) return "the category counts";
    std::int32_t largest = 0;
    for (std::int32_t c : build.categoryCount) largest = std::max(largest, c);
    if (largest != build.maxCategories) return "the largest category count";
    if (passes.identifierCount != 0 && passes.identifierCount != passes.cases) return "the identifier count";
    if (ws.dataPassNeeded != 0) return nullptr;

    // The passes are current: the response records are made again from
    // the model records, with the model variables' levels of the build.
    if (const char* problem = modelProblem(model, layout)) return problem;
    if (build.levelCounts.size() != static_cast<std::size_t>(model.modelVariableCount())) return "the level counts";
    std::int64_t product = 1;
    for (std::int32_t count : build.levelCounts) {
        product *= count;
        if (product > build.items) break;
    }
    if (product != build.items) return "the number of generalised items";
    for (int i = 0; i < model.modelVariableCount(); ++i)
        if (model.lastFacets.placeOf(model.modelVariableAt(i)) < 0) return "the facet list of the last data passes";
    if (passes.recordExplicit != model.lastFacets.explicitCount() ||
        passes.recordImplicit != model.lastFacets.implicitCount())
        return "the facets of a response record";
    if (passes.caseInfoWidth != model.lastRegression.size() + 2) return "the width of a case information record";
    std::int64_t length = 1;
    for (std::int32_t k : model.lastGroup.explicitIndices) {
        const ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(k)];
        length += v.valueWidth(layout.delimited);
    }
    if (passes.groupRecordLength != length) return "the length of a group record";
    return nullptr;
}

const char* workspaceProblem(const Workspace& ws) {
    const DataLayout& layout = ws.data.layout;
    if (const char* problem = layoutProblem(layout)) return problem;
    if (const char* problem = modelProblem(ws.model, layout)) return problem;
    for (const KeyRule& k : ws.data.keys) {
        for (const MString& key : k.keys)
            if (key.length() != k.option.length()) return "a key";
    }
    for (const ScoreRule& r : ws.data.scores)
        for (const std::vector<MString>& column : r.columns)
            if (column.size() != r.codes.size()) return "a score rule";
    for (const RecodeRule& r : ws.data.recodes)
        if (r.from.size() != r.to.size()) return "a recode rule";
    for (const ValueList& v : ws.data.passes.valueLists)
        if (!inRange(v.variable, layout.explicitVariables.size())) return "a value list";
    for (const LabelSet& s : ws.labels.sets)
        if (s.codes.size() != s.labels.size()) return "a label set";
    if (ws.build.importedDesign == 1 && ws.files.importDesignFile.isEmpty()) return "the imported-design flag";
    if (ws.est.estimated == 1) {
        if (ws.dataPassNeeded != 0) return "the estimated flag";
        if (const char* problem = buildProblem(ws)) return problem;
        if (const char* problem = estimationProblem(ws)) return problem;
    }
    return nullptr;
}

}  // namespace ordena::systemfile
