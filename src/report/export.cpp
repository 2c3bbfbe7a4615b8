#include "report/export.h"

#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "base/binfile.h"
#include "base/delimited_text.h"
#include "base/number_format.h"
#include "command/labels.h"
#include "command/option_table.h"
#include "command/parse.h"
#include "command/session.h"
#include "data/data_passes.h"
#include "data/work_file_io.h"
#include "report/file_clauses.h"
#include "report/log_file.h"

namespace ordena {

namespace {

enum ExportKeyword { kParameters, kDesignMatrix, kRegression, kCovariance, kLogFile, kScoredData };
// The keywords of the file clauses and what each writes.
const std::pair<const char*, ExportKeyword> kExportKeywords[] = {
    {"parameters", kParameters}, {"designmatrix", kDesignMatrix}, {"reg_coefficients", kRegression},
    {"covariance", kCovariance}, {"logfile", kLogFile},           {"scoreddata", kScoredData}};

// Opens a writer's file: mode replace asks first. Returns 1 with the file
// open, 0 when the question was cancelled, -1 when the file cannot be
// opened (not reported here).
int openExportFile(Session& session, const MString& name, int mode, TextFile& file) {
    if (mode == kExportReplace && !confirmOverwrite(session, name)) return 0;
    if (name.isEmpty() || name.str().find('\0') != std::string::npos) return -1;
    return file.open(name.str(), mode == kExportAppend ? "a" : "w") ? 1 : -1;
}

// Writes text to the named file; failureMessage when it cannot be opened
// or written.
int writeExportText(Session& session, const MString& name, int mode, const MString& text,
                    const char* failureMessage) {
    TextFile file;
    int opened = openExportFile(session, name, mode, file);
    if (opened == 0) return 1;
    bool ok = opened == 1;
    if (ok) {
        ok = file.write(text);
        ok = file.close() && ok;
    }
    if (!ok) {
        session.errorReport(failureMessage);
        return -1;
    }
    return 1;
}

// The square root of an error variance, as the extra column of a record.
MString errorColumn(double variance) { return printFormat("%10.5f", std::sqrt(variance)); }

bool hasEntry(const Matrix& m, int i, int j) {
    return !m.isEmpty() && i >= 0 && j >= 0 && i < m.rows() && j < m.columns();
}

// A comment marker inside a label would end or nest the comment, and the
// file could not be imported again.
MString commentSafe(const MString& text) {
    std::string s = text.str();
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
        if ((s[i] == '/' && s[i + 1] == '*') || (s[i] == '*' && s[i + 1] == '/')) s.insert(i + 1, 1, ' ');
    return MString(std::move(s));
}

// The name of a variable of the layout, and the text of its level.
MString variableName(const Workspace& ws, const VariableRef& v) {
    const DataLayout& layout = ws.data.layout;
    const auto i = static_cast<std::size_t>(v.index);
    if (v.index < 0) return MString();
    if (v.kind == kExplicitVariable && i < layout.explicitVariables.size()) return layout.explicitVariables[i].name;
    if (v.kind == kImplicitVariable && i < layout.implicitVariables.size()) return layout.implicitVariables[i].name;
    return MString();
}

MString levelText(const Workspace& ws, const VariableRef& v, const MString& name, int level) {
    if (v.kind == kExplicitVariable) {
        for (const ValueList& list : ws.data.passes.valueLists)
            if (list.variable == v.index && level >= 0 && static_cast<std::size_t>(level) < list.values.size())
                return labelLookup(ws, name, kLabelExplicit, list.values[static_cast<std::size_t>(level)]);
        return itoMString(level + 1);
    }
    return labelLookup(ws, name, kLabelImplicit, itoMString(level + 1));
}

const ModelTerm* termOfParameter(const ModelSpec& model, int p) {
    for (const ModelTerm& term : model.terms)
        for (std::size_t j = 0; j < term.parameterNumbers.size(); ++j)
            if (term.parameterNumbers[j] == p && j < term.parameterFlags.size() && term.parameterFlags[j] == 0)
                return &term;
    return nullptr;
}

}  // namespace

int exportParameterCount(const Workspace& ws) {
    if (!ws.est.xsi.isEmpty()) return ws.est.xsi.rows();
    return ws.build.parameterCount();
}

MString parameterComment(const Workspace& ws, int p) {
    const EstimationState& est = ws.est;
    int original = p;
    if (p >= 0 && static_cast<std::size_t>(p) < est.keptParameters.size())
        original = est.keptParameters[static_cast<std::size_t>(p)];
    if (original < 0 || static_cast<std::size_t>(original) >= ws.build.estimated.size()) return MString();
    const ParameterSpec& spec = ws.build.estimated[static_cast<std::size_t>(original)];
    const ModelTerm* term = termOfParameter(ws.model, p);
    if (term == nullptr) return MString();
    MString text = "   /*";
    for (const VariableRef& v : term->variables) {
        if (v.kind == kStepVariable) {
            text += " step " + itoMString(spec.step);
            continue;
        }
        int position = ws.model.modelPosition(v);
        if (position < 0 || static_cast<std::size_t>(position) >= spec.levels.size()) return MString();
        MString name = variableName(ws, v);
        const int level = spec.levels[static_cast<std::size_t>(position)];
        text += " " + commentSafe(name) + " " + commentSafe(levelText(ws, v, name, level));
    }
    return text + " */";
}

MString parameterFileText(const Workspace& ws, int details) {
    const EstimationState& est = ws.est;
    const int P = est.xsi.isEmpty() ? 0 : est.xsi.rows();
    const bool comments = ws.files.importDesignFile.isEmpty();
    MString text;
    for (int p = 0; p < P; ++p) {
        text += printFormat("%10d%10.5f", p + 1, est.xsi[p][0]);
        if (details) {
            if (est.options.stdErr == StdErrMode::Quick && hasEntry(est.itemErrors, p, 0))
                text += errorColumn(est.itemErrors[p][0]);
            else if (est.options.stdErr == StdErrMode::Full && est.dimensions() == 1 && hasEntry(est.fullErrors, p, p))
                text += errorColumn(est.fullErrors[p][p]);
            if (est.fitAvailable && static_cast<std::size_t>(p) < est.fit.size()) {
                const FitResult& f = est.fit[static_cast<std::size_t>(p)];
                // A statistic without a value (no iterations, no information)
                // is NA, as in the tables, not the C library's "nan".
                for (double v : {f.unweightedMeanSquare, f.unweightedT, f.weightedMeanSquare, f.weightedT})
                    text += std::isfinite(v) ? printFormat("%10.5f", v) : MString("        NA");
            }
        }
        if (comments) text += parameterComment(ws, p);
        text += "\r\n";
    }
    return text;
}

MString parameterTableText(const Workspace& ws) {
    const EstimationState& est = ws.est;
    const int P = est.xsi.isEmpty() ? 0 : est.xsi.rows();
    MString text = csvLine({"parameter", "estimate", "error", "unweighted_mnsq", "unweighted_t", "weighted_mnsq",
                            "weighted_t", "description"});
    for (int p = 0; p < P; ++p) {
        std::vector<MString> f{itoMString(p + 1), csvNumber(est.xsi[p][0])};
        if (est.options.stdErr == StdErrMode::Quick && hasEntry(est.itemErrors, p, 0))
            f.push_back(csvNumber(std::sqrt(est.itemErrors[p][0])));
        else if (est.options.stdErr == StdErrMode::Full && est.dimensions() == 1 && hasEntry(est.fullErrors, p, p))
            f.push_back(csvNumber(std::sqrt(est.fullErrors[p][p])));
        else
            f.push_back("NA");
        if (est.fitAvailable && static_cast<std::size_t>(p) < est.fit.size()) {
            const FitResult& fit = est.fit[static_cast<std::size_t>(p)];
            for (double v : {fit.unweightedMeanSquare, fit.unweightedT, fit.weightedMeanSquare, fit.weightedT})
                f.push_back(csvNumber(v));
        } else {
            f.insert(f.end(), {"NA", "NA", "NA", "NA"});
        }
        // The comment of the parameter file without its markers: "item 3 step 1".
        MString description = ws.files.importDesignFile.isEmpty() ? parameterComment(ws, p) : MString();
        std::string d = description.str();
        if (d.size() >= 9 && d.starts_with("   /* ") && d.ends_with(" */")) d = d.substr(6, d.size() - 9);
        f.push_back(csvField(d));
        text += csvLine(f);
    }
    return text;
}

MString regressionFileText(const Workspace& ws, int details) {
    const EstimationState& est = ws.est;
    const int D = est.beta.isEmpty() ? 0 : est.beta.rows();
    const int R = est.regressors();
    MString text;
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r) {
            text += printFormat("%10d  %10d  %10.5lf", d + 1, r, est.beta[d][r]);
            if (details) {
                const double variance = est.regressionErrorVariance(r, d);
                if (variance >= 0.0) text += errorColumn(variance);
            }
            text += "\r\n";
        }
    return text;
}

MString covarianceFileText(const Workspace& ws, int details) {
    const EstimationState& est = ws.est;
    const int D = est.dimensions();
    const int K = est.parameters() + est.regressors();
    MString text;
    for (int i = 0; i < D; ++i)
        for (int j = i; j < D; ++j) {
            text += printFormat("%10d  %10d  %10.5lf", i + 1, j + 1, est.sigma[i][j]);
            if (details) {
                if (est.options.stdErr == StdErrMode::Quick && hasEntry(est.covarianceErrors, i, j))
                    text += printFormat("%10.5lf", std::sqrt(est.covarianceErrors[i][j]));
                else if (est.options.stdErr == StdErrMode::Full && D == 1 && hasEntry(est.fullErrors, K, K))
                    text += printFormat("%10.5lf", std::sqrt(est.fullErrors[K][K]));
            }
            text += "\r\n";
        }
    return text;
}

MString designMatrixFileText(const Workspace& ws) {
    const ModelBuild& build = ws.build;
    int P = exportParameterCount(ws);
    if (P > build.designStride) P = build.designStride;
    if (P < 0) P = 0;
    MString text = printFormat("%3d\r\n", P);
    const std::size_t needed = static_cast<std::size_t>(build.items) * static_cast<std::size_t>(build.maxCategories) *
                               static_cast<std::size_t>(build.designStride);
    if (build.design.size() < needed || build.categoryCount.size() < static_cast<std::size_t>(build.items)) return text;
    std::string line;
    for (int g = 0; g < build.items; ++g)
        for (int k = 0; k < build.categoryCount[static_cast<std::size_t>(g)] && k < build.maxCategories; ++k) {
            line.clear();
            for (int p = 0; p < P; ++p) {
                // A zero reached by negation prints as 0.00, not -0.00.
                double v = build.designAt(g, k, p) == 0.0f ? 0.0 : static_cast<double>(build.designAt(g, k, p));
                line += printFormat("%6.2f ", v).str();
            }
            line += "\r\n";
            text += line;
        }
    return text;
}

int writeParameterFile(Session& session, const MString& name, int mode, int details) {
    return writeExportText(session, name, mode, parameterFileText(session.ws, details),
                           "Attempt to write parameter file has failed");
}

int writeRegressionFile(Session& session, const MString& name, int mode, int details) {
    return writeExportText(session, name, mode, regressionFileText(session.ws, details),
                           "Attempt to write regression file has failed");
}

int writeCovarianceFile(Session& session, const MString& name, int mode, int details) {
    return writeExportText(session, name, mode, covarianceFileText(session.ws, details),
                           "Attempt to write covariance file has failed");
}

int writeDesignMatrixFile(Session& session, const MString& name, int mode) {
    return writeExportText(session, name, mode, designMatrixFileText(session.ws), "Unable to write design matrix");
}

namespace {

// Finds the position of a response in the response list from the levels of
// the implicit variables that its record carries.
class ResponsePositions {
public:
    explicit ResponsePositions(const Workspace& ws) {
        const DataLayout& layout = ws.data.layout;
        const std::vector<std::int32_t>& implicit = ws.model.lastFacets.implicitIndices;
        std::vector<std::int32_t> key(implicit.size());
        for (std::size_t j = 0; j < layout.itemLevels.size(); ++j) {
            const std::vector<std::int32_t>& levels = layout.itemLevels[j];
            for (std::size_t m = 0; m < implicit.size(); ++m) {
                std::size_t v = static_cast<std::size_t>(implicit[m]);
                key[m] = v < levels.size() ? levels[v] : 0;
            }
            positions_.emplace(key, static_cast<int>(j));  // the first response with these levels
        }
    }
    // -1 when no response has these levels.
    int find(const std::vector<std::int32_t>& levels) const {
        auto it = positions_.find(levels);
        return it == positions_.end() ? -1 : it->second;
    }

private:
    std::map<std::vector<std::int32_t>, int> positions_;
};

}  // namespace

int writeScoredDataFile(Session& session, const MString& name, int mode) {
    static const char* const kFailure = "Attempt to write scored data file has failed";
    const DataPassState& passes = session.ws.data.passes;
    TextFile file;
    int opened = openExportFile(session, name, mode, file);
    if (opened == 0) return 1;
    if (opened == -1) {
        session.errorReport(kFailure);
        return -1;
    }
    // After a load the response file is made from the model file when first needed.
    if (writeResponseFile(session) != 1) {
        file.close();
        session.errorReport(kFailure);
        return -1;
    }
    BlockReader reader;
    const std::size_t recordBytes = static_cast<std::size_t>(passes.responseRecordBytes());
    if (passes.responseFile.isEmpty() || !reader.open(passes.responseFile.str(), recordBytes)) {
        file.close();
        session.errorReport(kFailure);
        return -1;
    }
    BinaryFile identifiers;
    if (passes.identifierCount > 0) identifiers.open(passes.identifierFile.str(), "rb");

    const ResponsePositions positions(session.ws);
    const int F = passes.recordExplicit;
    const int M = passes.recordImplicit;
    std::vector<std::int32_t> levels(static_cast<std::size_t>(M < 0 ? 0 : M));
    std::string line;
    std::int32_t currentCase = -1;
    bool ok = true;

    auto finishCase = [&]() {
        if (currentCase < 0) return;
        MString id;
        if (identifiers.isOpen() && currentCase < passes.identifierCount &&
            identifiers.seek(static_cast<long long>(currentCase) * passes.identifierWidth))
            id.readFixed(identifiers, passes.identifierWidth);
        std::size_t end = line.find_last_not_of(' ');
        line.resize(end == std::string::npos ? 0 : end + 1);
        ok = file.write(printFormat("%7d  %s  ", currentCase + 1, id.c_str()) + MString(line) + "\r\n") && ok;
        line.clear();
    };

    while (const unsigned char* r = reader.next()) {
        std::int32_t caseNumber = loadInt32(r);
        std::int32_t category = loadInt32(r + 4);
        std::int32_t flag = loadInt32(r + 4 * (5 + F + M));
        if (caseNumber != currentCase) {
            finishCase();
            currentCase = caseNumber;
        }
        if (flag != 1) continue;  // a case without valid responses
        for (int m = 0; m < M; ++m) levels[static_cast<std::size_t>(m)] = loadInt32(r + 4 * (5 + F + m));
        int position = positions.find(levels);
        if (position < 0) continue;
        // The line grows to hold every response: none is dropped.
        std::string score = std::to_string(category);
        std::size_t at = static_cast<std::size_t>(position);
        if (line.size() < at + score.size()) line.resize(at + score.size(), ' ');
        line.replace(at, score.size(), score);
    }
    finishCase();
    ok = file.close() && ok;
    if (!ok) {
        session.errorReport(kFailure);
        return -1;
    }
    return 1;
}

const OptionWords& exportKeywords() {
    static const OptionWords words = wordsOf(kExportKeywords, [](const auto& k) { return k.first; });
    return words;
}

int handleExport(Session& session, const MString& arguments) {
    Workspace& ws = session.ws;
    return forEachFileClause(session, arguments, '>', "export", [&](const MString& keyword, const MString& name) {
        const int row = matchOptionWord(exportKeywords(), keyword);
        if (row < 0) {
            session.errorReport("incorrect keyword in export statement");
            return -1;
        }
        const ExportKeyword which = kExportKeywords[row].second;
        if (name.isEmpty()) {
            session.errorReport("Error in export statement");
            return -1;
        }
        const bool estimated = ws.est.estimated == 1;
        if (estimated && ws.est.method == EstimationMethod::Jml && (which == kRegression || which == kCovariance)) {
            session.errorReport("Population parameters are not available with Joint Maximum Likelihood ");
            return -1;
        }
        int result = 1;
        switch (which) {
            case kParameters:
                ws.files.parameterFile = name;
                if (!estimated)
                    session.informationBox("Item parameter file will be written after estimation");
                else
                    result = writeParameterFile(session, name, kExportReplace, 0);
                break;
            case kDesignMatrix:
                ws.files.designMatrixFile = name;
                if (!estimated)
                    session.informationBox("Design matrix file will be written after estimation");
                else
                    result = writeDesignMatrixFile(session, name, kExportReplace);
                break;
            case kRegression:
                ws.files.regressionFile = name;
                if (!estimated)
                    session.informationBox("Regression parameter file will be written after estimation");
                else
                    result = writeRegressionFile(session, name, kExportReplace, 0);
                break;
            case kCovariance:
                ws.files.covarianceFile = name;
                if (!estimated)
                    session.informationBox("Variance parameter file will be written after estimation");
                else
                    result = writeCovarianceFile(session, name, kExportReplace, 0);
                break;
            case kLogFile:
                result = openLogFile(session, name);
                break;
            case kScoredData:
                ws.files.scoredDataFile = name;
                if (!estimated)
                    session.informationBox("Score file will be written after estimation");
                else
                    result = writeScoredDataFile(session, name, kExportReplace);
                break;
            default:
                break;
        }
        return result == -1 ? -1 : 1;
    });
}

}  // namespace ordena
