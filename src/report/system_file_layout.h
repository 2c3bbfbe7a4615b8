// The fields of a system file in their order, written once for both
// directions: each function visits the workspace components with a
// FieldWriter (put) or a FieldReader (get). The bulk records of the case
// score file, the case information and group files and the model file lie
// between these parts and are copied by system_file.cpp.
//
// Where the file's order has a field this workspace does not keep, a spare
// value stands in its place (written as shown, read and dropped); fields of
// this workspace for which the order has no place follow the specification
// part in a closing block.
#pragma once

#include <array>
#include <cmath>

#include "base/random.h"
#include "command/workspace.h"
#include "report/system_file_io.h"

namespace ordena::systemfile {

inline constexpr std::int32_t kVersion = 2;
// Version 3 adds the description of a delimited data file at the end of
// the specifications; a workspace with a fixed-column file is still
// written as version 2, which every earlier program reads.
inline constexpr std::int32_t kDelimitedVersion = 3;

inline std::int32_t versionFor(const Workspace& ws) {
    return ws.data.fileOptions.delimited || ws.data.layout.delimited ? kDelimitedVersion : kVersion;
}

// How the datafile statement said to read the file, and the field names
// and widest values of the format made for it.
template <class IO>
void delimitedDescription(IO& io, Workspace& ws) {
    DelimitedOptions& o = ws.data.fileOptions;
    DataLayout& layout = ws.data.layout;
    io.flag(o.delimited, "the delimited-file flag");
    io.integer(o.delimiter, "the delimiter", kDelimiterGuess, kDelimiterWhitespace);
    io.flag(o.header, "the header flag");
    io.flag(layout.delimited, "the delimited-format flag");
    for (ExplicitVariable& v : layout.explicitVariables) {
        io.texts(v.fieldNames, "a variable's field names", kMaxFormatFields);
        io.integer(v.widestValue, "a variable's widest value", 0, kMaxRecordLength);
        if constexpr (IO::kReading)
            if (!v.fieldNames.empty() && v.fieldNames.size() != v.segments.size())
                io.input().disagrees("a variable's field names");
    }
    for (ResponseBlock& b : layout.responseBlocks) {
        io.texts(b.fieldNames, "a response block's field names", kMaxResponsesPerBlock);
        if constexpr (IO::kReading)
            if (!b.fieldNames.empty() && b.fieldNames.size() != b.responses.size())
                io.input().disagrees("a response block's field names");
    }
}

// Values written in the place of fields that this workspace does not keep
// as they are stored: the writer fills them, the reader leaves them alone.
struct Spares {
    std::int32_t unlabelledOutput = 0;  // show decides it afresh from the imported design
    std::int32_t replication = -1;      // the simulation that was running; a load runs in none
    std::int32_t inSubmit = 0;          // whether the put ran in a submitted file
    Matrix mleReliability, wleReliability, eapReliability;  // table 3 computes them afresh
};

// The random generators of the session: uniform, normal, multivariate.
using GeneratorStates = std::array<GeneratorState, 3>;

inline constexpr int kMany = 1 << 24;  // a count bounded only by the bytes left

template <class IO>
void histogram(IO& io, DistributionSummary& s) {
    io.matrix(s.counts, "a case distribution histogram");
    io.widened(s.low, "a histogram's low end");
    io.widened(s.high, "a histogram's high end");
    io.widened(s.width, "a histogram's bin width");
    io.flag(s.available, "a histogram's available flag");
}

// After the case estimates: histograms, estimation matrices, fit.
template <class IO>
void latentEstimates(IO& io, EstimationState& est) {
    histogram(io, est.eapSummary);
    histogram(io, est.plausibleSummary);
    histogram(io, est.mleSummary);
    histogram(io, est.wleSummary);

    // The 23 estimation matrices: the nine the order names, then the rest.
    io.matrix(est.beta, "the regression coefficients");
    io.matrix(est.bestBeta, "the best regression coefficients");
    io.vector(est.xsi, "the item parameter estimates");
    io.vector(est.bestXsi, "the best item parameter estimates");
    io.uncheckedVector(est.itemErrors, "the item parameter error variances");
    io.uncheckedMatrix(est.covarianceErrors, "the covariance error variances");
    io.uncheckedMatrix(est.regressionErrors, "the regression error variances");
    io.matrix(est.sigma, "the covariance matrix");
    io.matrix(est.bestSigma, "the best covariance matrix");
    io.matrix(est.previousBeta, "the previous regression coefficients");
    io.vector(est.previousXsi, "the previous item parameter estimates");
    io.matrix(est.previousSigma, "the previous covariance matrix");
    io.matrix(est.regressionAnchors, "the regression anchors");
    io.matrix(est.covarianceAnchors, "the covariance anchors");
    io.vector(est.gwt, "the node weights");
    io.vector(est.previousGwt, "the previous node weights");
    io.vector(est.bestGwt, "the best node weights");
    io.matrix(est.nodeGrid, "the node grid");
    io.matrix(est.baseGrid, "the base node grid");
    io.matrix(est.yyInverse, "the regression cross-product inverse");
    io.vector(est.sufficient, "the sufficient statistics");
    io.spareMatrix(Matrix(), "a spare estimation matrix");
    io.spareMatrix(Matrix(), "a spare estimation matrix");
    io.real(est.weightFactor, "the weight factor");

    // Fit: two working matrices, then per group the unweighted mean
    // square and t, the weighted mean square and t, and the standard
    // deviations of the two mean squares (the workspace keeps variances;
    // the square of a square root gives the variance back exactly).
    io.spareMatrix(Matrix(), "a fit working matrix");
    io.spareMatrix(Matrix(), "a fit working matrix");
    const int G = static_cast<int>(est.fit.size());
    std::array<Vector, 6> columns;
    if (!IO::kReading && G > 0)
        for (Vector& c : columns) c = zeroVector(G);
    for (int j = 0; !IO::kReading && j < G; ++j) {
        const FitResult& f = est.fit[static_cast<std::size_t>(j)];
        columns[0][j][0] = f.unweightedMeanSquare;
        columns[1][j][0] = f.unweightedT;
        columns[2][j][0] = f.weightedMeanSquare;
        columns[3][j][0] = f.weightedT;
        columns[4][j][0] = std::sqrt(f.unweightedVariance);
        columns[5][j][0] = std::sqrt(f.weightedVariance);
    }
    for (Vector& c : columns) io.uncheckedVector(c, "a fit statistics column");
    if constexpr (IO::kReading) {
        const int rows = columns[0].isEmpty() ? 0 : columns[0].rows();
        for (const Vector& c : columns)
            if ((c.isEmpty() ? 0 : c.rows()) != rows) io.input().disagrees("a fit statistics column");
        est.fit.assign(static_cast<std::size_t>(rows), FitResult{});
        for (int j = 0; j < rows; ++j) {
            FitResult& f = est.fit[static_cast<std::size_t>(j)];
            f.unweightedMeanSquare = columns[0][j][0];
            f.unweightedT = columns[1][j][0];
            f.weightedMeanSquare = columns[2][j][0];
            f.weightedT = columns[3][j][0];
            f.unweightedVariance = columns[4][j][0] * columns[4][j][0];
            f.weightedVariance = columns[5][j][0] * columns[5][j][0];
        }
    }
}

template <class IO>
void selections(IO& io, std::vector<Selection>& list) {
    io.count(list, "the number of selections", kMany, 12);
    for (Selection& s : list) {
        io.integer(s.variable.kind, "a selection's variable kind", kImplicitVariable, kExplicitVariable);
        io.integer(s.variable.index, "a selection's variable", 0);
        io.texts(s.codes, "a selection's codes", kMany);
        if constexpr (IO::kReading) s.prepare();
    }
}

template <class IO>
void modelTerm(IO& io, ModelTerm& t) {
    std::int32_t v = t.variableCount(), p = t.parameterCount();
    io.integer(v, "a model term's variable count", 0, kMaxModelVariables);
    io.integer(p, "a model term's parameter count", 0, 2 * kMaxParameters);
    if constexpr (IO::kReading) {
        io.input().need(8 * static_cast<std::uint64_t>(v) + 8 * static_cast<std::uint64_t>(p));
        t.variables.assign(static_cast<std::size_t>(v), VariableRef{});
        t.parameterNumbers.assign(static_cast<std::size_t>(p), 0);
        t.parameterFlags.assign(static_cast<std::size_t>(p), 0);
    }
    for (VariableRef& r : t.variables) io.integer(r.index, "a model term's variable", 0);
    for (VariableRef& r : t.variables) io.integer(r.kind, "a model term's variable kind", 0, kStepVariable);
    for (std::int32_t& n : t.parameterNumbers) io.integer(n, "a model term's parameter number", 0);
    for (std::int32_t& f : t.parameterFlags) io.integer(f, "a model term's parameter flag", 0, 1);
    io.sign(t.sign, "a model term's sign");
    io.text(t.text, "a model term's text");
}

template <class IO>
void parameterRows(IO& io, std::vector<ParameterSpec>& rows) {
    io.count(rows, "the number of parameter rows", kMaxParameters, 9);
    for (ParameterSpec& s : rows) {
        io.ints(s.levels, "a parameter row's levels", kMaxModelVariables, -1);
        io.integer(s.step, "a parameter row's step", -1);
        io.sign(s.sign, "a parameter row's sign");
    }
}

template <class IO>
void generator(IO& io, GeneratorState& g) {
    io.ints(g.ints, "a random generator's state", 1 << 20);
    Vector reals;
    if (!IO::kReading && !g.reals.empty()) {
        reals = zeroVector(static_cast<int>(g.reals.size()));
        for (std::size_t k = 0; k < g.reals.size(); ++k) reals[static_cast<int>(k)][0] = g.reals[k];
    }
    io.vector(reals, "a random generator's state");
    if constexpr (IO::kReading) {
        g.reals.clear();
        for (int k = 0; !reals.isEmpty() && k < reals.rows(); ++k) g.reals.push_back(reals[k][0]);
    }
    io.count(g.matrices, "a random generator's state", 16, 12);
    for (Matrix& m : g.matrices) io.matrix(m, "a random generator's state");
}

// The specification part: settings, data layout, coding rules, model,
// labels, file names, the model build and the estimation state.
template <class IO>
void specifications(IO& io, Workspace& ws, GeneratorStates& generators, const Spares& spares, std::int32_t version) {
    Settings& set = ws.settings;
    DataLayout& layout = ws.data.layout;
    DataSpec& data = ws.data;
    DataPassState& passes = ws.data.passes;
    ModelSpec& model = ws.model;
    ModelBuild& build = ws.build;
    EstimationState& est = ws.est;
    FileSpec& files = ws.files;

    io.text(model.modelText, "the model text");
    io.text(layout.formatText, "the format text");
    io.text(model.regressionText, "the regression text");
    io.text(model.groupText, "the group text");
    io.real(est.options.alpha, "alpha");
    io.integer(est.estimated, "the estimated flag", 0, 1);
    io.integer(build.importedDesign, "the imported-design flag", 0, 1);
    io.choice(est.method, 5, "the estimation method");
    io.choice(est.options.distribution, 2, "the distribution");
    io.integer(set.seed, "seed");
    io.integer(set.iterlimit, "iterlimit");
    io.integer(set.innerloops, "innerloops");
    io.flag(set.update, "update");
    io.flag(set.warnings, "warnings");
    io.flag(set.logestimates, "logestimates");
    io.flag(set.keeplastests, "keeplastests");
    io.real(set.mle_max, "mle_max");
    io.spareInt(spares.unlabelledOutput, "the unlabelled-output flag");
    io.spareInt(0, "the stop request");
    io.spareInt(spares.replication, "the replication index");
    io.integer(set.plotwindows, "plotwindows", 0);
    io.integer(set.buffersize, "buffersize", 4096, 1048576);
    io.real(set.zero_perfect, "zero/perfect");
    io.integer(set.respmiss, "respmiss", kRespMissDot, kRespMissNone);
    io.text(data.fileName, "the data file name");
    io.integer(est.terminationReason, "the termination reason", kTerminateIterations, kTerminateDeviance);

    io.count(layout.explicitVariables, "the number of explicit variables", kMaxFormatFields, 24);
    for (ExplicitVariable& v : layout.explicitVariables) {
        io.text(v.name, "an explicit variable's name");
        io.count(v.segments, "an explicit variable's segment count", kMaxFormatFields, 12);
        for (Segment& s : v.segments) io.integer(s.firstColumn, "a first column", 1, kMaxRecordLength);
        for (Segment& s : v.segments) io.integer(s.lastColumn, "a last column", 1, kMaxRecordLength);
        for (Segment& s : v.segments) io.integer(s.record, "a record number", 1, kMaxRecordsPerCase);
        io.integer(v.distinctValues, "a count of distinct values", 0);
        io.texts(v.missingCodes, "missing codes", kMany);
        io.ints(v.missingFlags, "missing-code flags", kMany, 0, 1);
    }
    io.count(layout.responseBlocks, "the number of response blocks", kMaxFormatFields, 8);
    for (ResponseBlock& b : layout.responseBlocks) {
        std::int32_t n = b.count();
        io.integer(n, "a response block's count", 0, kMaxResponsesPerBlock);
        if constexpr (IO::kReading) {
            io.input().need(8 * static_cast<std::uint64_t>(n));
            b.responses.assign(static_cast<std::size_t>(n), ResponsePosition{});
        }
        for (ResponsePosition& r : b.responses) io.integer(r.firstColumn, "a response column", 1, kMaxRecordLength);
        for (ResponsePosition& r : b.responses) io.integer(r.record, "a response record", 1, kMaxRecordsPerCase);
        io.integer(b.width, "a response width", 1, kMaxRecordLength);
    }
    io.integer(layout.recordsPerCase, "the records per case", 1, kMaxRecordsPerCase);
    io.count(data.keys, "the number of key rules", kMany, 8);
    for (KeyRule& k : data.keys) {
        io.texts(k.keys, "a key", kMaxResponsesPerBlock);
        io.text(k.option, "a key option");
    }
    io.count(data.recodes, "the number of recode rules", kMany, 16);
    for (RecodeRule& r : data.recodes) {
        // The two ints of the stored form have no meaning here; the rule's
        // selections follow with the further tables.
        io.spareInt(0, "a recode rule's spare");
        io.spareInt(0, "a recode rule's spare");
        std::int32_t n = static_cast<std::int32_t>(r.from.size());
        io.integer(n, "a recode rule's code count", 0, kMany);
        if constexpr (IO::kReading) {
            io.input().need(8 * static_cast<std::uint64_t>(n));
            r.from.assign(static_cast<std::size_t>(n), MString());
            r.to.assign(static_cast<std::size_t>(n), MString());
        }
        for (MString& s : r.from) io.text(s, "a recode code");
        for (MString& s : r.to) io.text(s, "a recode code");
    }
    io.integer(layout.items, "the number of items", 0, kMaxResponsesPerBlock);
    io.texts(data.codes, "the code list", kMany);
    for (std::size_t k = 0; k < data.codes.size(); ++k) io.spareInt(0, "a code's spare");

    // The further tables of the data layout, the coding rules and the model.
    io.integer(layout.responseWidth, "the response width", 0, kMaxRecordLength);
    io.integer(layout.caseIdentifier, "the case identifier", -1, kMaxFormatFields - 1);
    io.integer(layout.itemVariable.kind, "the item variable's kind", kImplicitVariable, kExplicitVariable);
    io.integer(layout.itemVariable.index, "the item variable", -1);
    io.count(layout.implicitVariables, "the number of implicit variables", kMaxImplicitVariables, 8);
    for (ImplicitVariable& v : layout.implicitVariables) {
        io.text(v.name, "an implicit variable's name");
        io.integer(v.levels, "an implicit variable's levels", 0, kMaxResponsesPerBlock);
    }
    io.texts(layout.variableNames, "the variable names", 2 * kMaxFormatFields + kMaxImplicitVariables);
    io.count(layout.itemLevels, "the item level table", kMaxResponsesPerBlock, 4);
    for (std::vector<std::int32_t>& row : layout.itemLevels)
        io.ints(row, "the item level table", kMaxImplicitVariables, 0);
    for (RecodeRule& r : data.recodes) selections(io, r.selections);
    io.count(data.scores, "the number of score rules", kMany, 12);
    for (ScoreRule& r : data.scores) {
        io.texts(r.codes, "a score code", kMany);
        io.count(r.columns, "a score rule's columns", kMany, 4);
        for (std::vector<MString>& c : r.columns) io.texts(c, "a score", kMany);
        selections(io, r.selections);
    }
    io.count(data.deletes, "the number of delete rules", kMany, 4);
    for (DeleteRule& r : data.deletes) selections(io, r.selections);
    io.count(model.itemGroups, "the number of item groups", kMany, 8);
    for (ItemGroup& g : model.itemGroups) {
        io.text(g.name, "an item group's name");
        selections(io, g.selections);
    }
    io.integer(passes.cases, "the number of cases", 0);
    std::int32_t records = static_cast<std::int32_t>(passes.responseRecords);
    io.integer(records, "the number of response records", 0);
    if constexpr (IO::kReading) passes.responseRecords = records;
    io.count(passes.valueLists, "the number of value lists", kMaxListVariables, 8);
    for (ValueList& v : passes.valueLists) {
        io.integer(v.variable, "a value list's variable", 0, kMaxFormatFields - 1);
        io.texts(v.values, "a value list", kMany);
    }
    io.texts(passes.t1, "the recoded code table", kMany);
    io.texts(passes.t2, "the response code table", kMany);
    io.integer(passes.identifierCount, "the identifier count", 0);
    io.integer(passes.identifierWidth, "the identifier width", 0, kMaxRecordLength);
    io.integer(passes.recordExplicit, "the explicit facets of a response record", 0, kMaxListVariables);
    io.integer(passes.recordImplicit, "the implicit facets of a response record", 0, kMaxListVariables);
    io.integer(passes.caseInfoWidth, "the width of a case information record", 2, kMaxListVariables + 1);
    io.integer(passes.groupRecordLength, "the length of a group record", 1, kMaxListVariables * kMaxRecordLength + 1);
    io.count(model.modelVariables, "the number of model variables", kMaxModelVariables, 8);
    for (VariableRef& v : model.modelVariables) {
        io.integer(v.index, "a model variable", 0);
        io.integer(v.kind, "a model variable's kind", 0, kStepVariable);
    }
    io.count(model.terms, "the number of model terms", kMany, 13);
    for (ModelTerm& t : model.terms) modelTerm(io, t);
    io.integer(model.groupKeyWidth, "the group key width", 1, kMaxListVariables);
    io.variableList(model.facetsInUse, "the facet list in use");

    io.variableList(model.facets, "the facet list");
    io.variableList(model.regression, "the regression list");
    io.variableList(model.group, "the group list");
    io.variableList(model.caseweight, "the case weight list");
    io.variableList(model.modelVariableList, "the model variable list");
    io.variableList(model.lastFacets, "the facet list of the last data passes");
    io.variableList(model.lastRegression, "the regression list of the last data passes");
    io.variableList(model.lastCaseweight, "the case weight list of the last data passes");
    io.variableList(model.lastGroup, "the group list of the last data passes");

    io.count(ws.labels.sets, "the number of label sets", kMany, 16);
    for (LabelSet& s : ws.labels.sets) {
        io.integer(s.kind, "a label set's kind", kLabelImplicit, kLabelFit);
        io.integer(s.index, "a label set's variable", 0);
        io.texts(s.codes, "a label code", kMany);
        io.texts(s.labels, "a label", kMany);
    }

    // Import names in the order initial and anchor item parameters,
    // regression coefficients, covariances.
    for (int kind : {kInitItem, kAnchorItem, kInitRegression, kAnchorRegression, kInitCovariance, kAnchorCovariance})
        io.text(files.importFiles[static_cast<std::size_t>(kind)], "an import file name");
    io.text(files.importDesignFile, "the imported design file name");
    io.text(files.parameterFile, "an export file name");
    io.text(files.designMatrixFile, "an export file name");
    io.text(files.regressionFile, "an export file name");
    io.text(files.covarianceFile, "an export file name");
    io.text(files.scoredDataFile, "an export file name");
    io.text(est.options.plausibleFile, "the plausible value file name");
    io.text(ws.title, "the title");

    io.ints(build.levelCounts, "the level counts", kMaxModelVariables, 0);
    io.integer(build.items, "the number of generalised items", 0);
    io.ints(build.categoryCount, "the category counts", kMany, 0);
    io.ints(build.lowestCategory, "the lowest categories", kMany, 0);
    io.integer(build.maxCategories, "the largest category count", 0, 1000);
    io.integer(build.dimensions, "the number of dimensions", 1, 64);
    io.count(build.dimensionItems, "the dimension item lists", 64, 4);
    for (std::vector<std::int32_t>& items : build.dimensionItems) io.ints(items, "a dimension item list", kMany, 0);
    io.integer(build.itemVariablePosition, "the item variable position", 0);
    io.integer(build.designStride, "the design width", 0, kMaxParameters);
    parameterRows(io, build.estimated);
    parameterRows(io, build.constrained);

    io.flag(est.earlierSolutionBetter, "the best-solution flag");
    io.real(est.options.convergence, "the convergence criterion");
    io.spareReal(est.options.convergence, "the convergence criterion's copy");
    io.real(est.options.devianceChange, "the deviance criterion");
    io.integer(set.fitdraws, "fitdraws");
    io.integer(est.options.iterations, "the iteration limit");
    io.integer(est.options.nodes, "the number of nodes");
    io.integer(set.p_nodes, "p_nodes");
    io.integer(set.f_nodes, "f_nodes");
    io.real32(est.options.minNode, "the lowest node");
    io.real32(est.options.maxNode, "the highest node");
    io.integer(est.nodeCount, "the nodes in use", 0);
    io.integer(est.iteration, "the last iteration");
    io.integer(est.bestIteration, "the best iteration");
    io.choice(est.options.stdErr, 3, "the standard error method");
    io.flag(est.options.fit, "the fit option");
    io.integer(set.n_plausible, "n_plausible");
    io.flag(est.options.abilities, "the abilities option");
    io.integer(set.constraints, "constraints", kConstraintsDefault, kConstraintsNone);
    io.integer(model.regressionParameterCount, "the number of regressors", 1, kMaxListVariables);

    io.choice(est.options.method, 5, "the requested estimation method");
    io.choice(est.options.storage, 2, "the storage option");
    io.integer(est.anchoredCount, "the number of anchored parameters", 0);
    io.ints(est.anchored, "the anchored flags", kMany, 0, 1);
    io.ints(est.keptParameters, "the kept parameters", kMany, 0);
    io.integer(est.iterationsWithoutImprovement, "the iterations without improvement");
    io.flag(est.fitAvailable, "the fit-available flag");
    bool constrainedDesign = !build.constrainedDesign.empty();
    io.flag(constrainedDesign, "the constrained-design flag");
    if (IO::kReading && !constrainedDesign) build.constrainedDesign.clear();
    if (IO::kReading && constrainedDesign) build.constrainedDesign.assign(1, 0.0f);  // made after the design

    io.uncheckedMatrix(est.fullErrors, "the full error covariance matrix");
    io.spareMatrix(Matrix(), "a spare matrix");
    io.spareMatrix(Matrix(), "a spare matrix");
    io.spareMatrix(Matrix(), "a spare matrix");
    io.real(est.deviance, "the deviance");
    io.real(est.previousDeviance, "the previous deviance");
    io.real(est.bestDeviance, "the best deviance");
    io.widened(est.stepH, "the node spacing");
    io.widened(est.displayLow, "the display range");
    io.widened(est.displayHigh, "the display range");
    io.widened(est.displayWidth, "the display range");

    io.flag(est.eapAvailable, "the EAP-available flag");
    io.flag(est.plausibleAvailable, "the plausible-available flag");
    io.flag(est.mleAvailable, "the MLE-available flag");
    io.flag(est.wleAvailable, "the WLE-available flag");
    io.ints(est.nonIdentifiedItems, "the non-identified items", kMany);
    io.spareMatrix(spares.mleReliability, "the MLE reliabilities");
    io.spareMatrix(spares.wleReliability, "the WLE reliabilities");
    io.spareMatrix(spares.eapReliability, "the EAP/PV reliabilities");
    io.spareMatrix(Matrix(), "a spare matrix");
    io.flag(files.outputRedirected, "the output-redirected flag");
    io.count(est.anchors, "the number of anchors", kMany, 16);
    for (AnchorEntry& a : est.anchors) {
        io.integer(a.kind, "an anchor's kind");
        io.integer(a.first, "an anchor's first index");
        io.integer(a.second, "an anchor's second index");
        io.real32(a.value, "an anchor's value");
    }
    io.text(set.key_default, "key_default");
    io.real(set.mle_criteria, "mle_criteria");
    io.integer(est.caseEstimateType, "the case-estimate type", kCaseLatent, kCaseMle);
    io.integer(ws.dataPassNeeded, "the data-pass flag", 0, 1);
    io.spareInt(spares.inSubmit, "the in-submit flag");
    io.spareInt(0, "a spare int");

    // Fields the order has no place for.
    io.text(files.outputFileName, "the output file name");
    for (GeneratorState& g : generators) generator(io, g);
    if (version >= kDelimitedVersion) delimitedDescription(io, ws);
}

// The scoring matrix of every category of every generalised item, then the
// design rows as floats, then the scores again as floats (the matrices hold
// them exactly; the floats are read and dropped). A build that an estimate
// left unfinished may hold fewer entries than its sizes say: the missing
// ones are written as zeros.
template <class IO>
void designMatrices(IO& io, ModelBuild& build) {
    const std::size_t G = static_cast<std::size_t>(build.items);
    const std::size_t K = static_cast<std::size_t>(build.maxCategories);
    const std::size_t P = static_cast<std::size_t>(build.designStride);
    const std::size_t D = static_cast<std::size_t>(build.dimensions);
    if constexpr (IO::kReading) {
        io.input().need(static_cast<std::uint64_t>(G) * K * (12 + 8 * D + 4 * P + 4 * D));
        build.scores.assign((G + 1) * K * D, 0.0);
        build.design.assign((G + 1) * K * P, 0.0f);
    }
    auto score = [&](std::size_t at) { return at < build.scores.size() ? build.scores[at] : 0.0; };
    for (std::size_t row = 0; row < G * K; ++row) {
        Matrix m;
        if (!IO::kReading) {
            m = zeros(static_cast<int>(D), 1);
            for (std::size_t d = 0; d < D; ++d) m[static_cast<int>(d)][0] = score(row * D + d);
        }
        io.matrix(m, "a scoring matrix");
        if constexpr (IO::kReading) {
            if (m.isEmpty() || m.rows() != static_cast<int>(D) || m.columns() != 1)
                io.input().disagrees("a scoring matrix");
            for (std::size_t d = 0; d < D; ++d) build.scores[row * D + d] = m[static_cast<int>(d)][0];
        }
    }
    for (std::size_t at = 0; at < G * K * P; ++at) {
        float entry = at < build.design.size() ? build.design[at] : 0.0f;
        io.real32(entry, "a design matrix entry");
        if constexpr (IO::kReading) build.design[at] = entry;
    }
    for (std::size_t at = 0; at < G * K * D; ++at) {
        float entry = static_cast<float>(score(at));
        io.real32(entry, "a scoring entry");
    }
}

}  // namespace ordena::systemfile
