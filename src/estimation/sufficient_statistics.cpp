#include "estimation/sufficient_statistics.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "command/labels.h"
#include "command/session.h"
#include "estimation/case_pass.h"
#include "estimation/case_score_file.h"
#include "estimation/case_scores.h"
#include "estimation/jml.h"
#include "estimation/setup.h"

namespace ordena {

MString describeLevels(Session& session, const ParameterSpec& spec) {
    const Workspace& ws = session.ws;
    MString text;
    for (std::size_t j = 0; j < spec.levels.size(); ++j) {
        const int level = spec.levels[j];
        if (level < 0) continue;
        const VariableRef v = ws.model.modelVariableAt(static_cast<int>(j));
        const bool isExplicit = v.kind == kExplicitVariable;
        MString name;
        if (isExplicit && v.index >= 0 && v.index < static_cast<int>(ws.data.layout.explicitVariables.size()))
            name = ws.data.layout.explicitVariables[static_cast<std::size_t>(v.index)].name;
        if (!isExplicit && v.index >= 0 && v.index < static_cast<int>(ws.data.layout.implicitVariables.size()))
            name = ws.data.layout.implicitVariables[static_cast<std::size_t>(v.index)].name;
        if (!isExplicit) {
            text += name + " " + itoMString(level + 1) + ",";
            continue;
        }
        MString code = itoMString(level + 1);
        for (const ValueList& list : ws.data.passes.valueLists)
            if (list.variable == v.index && level < static_cast<int>(list.values.size()))
                code = list.values[static_cast<std::size_t>(level)];
        text += name + " " + labelLookup(ws, name, kLabelExplicit, code) + ", ";
    }
    return text;
}

MString describeParameter(Session& session, int p) {
    const auto& estimated = session.ws.build.estimated;
    if (p < 0 || p >= static_cast<int>(estimated.size())) return MString();
    return describeLevels(session, estimated[static_cast<std::size_t>(p)]);
}

namespace {

int parameterSigns(Session& session, EstimationWork& work) {
    const ModelBuild& build = session.ws.build;
    work.sign.assign(static_cast<std::size_t>(work.P), 0);
    if (build.importedDesign) {
        std::fill(work.sign.begin(), work.sign.end(), 1);
        return 1;
    }
    for (const ModelTerm& term : session.ws.model.terms)
        for (int j = 0; j < term.parameterCount(); ++j)
            if (term.parameterFlags[static_cast<std::size_t>(j)] == 0) {
                int p = term.parameterNumbers[static_cast<std::size_t>(j)];
                if (p >= 0 && p < work.P) work.sign[static_cast<std::size_t>(p)] = term.sign == '-' ? -1 : 1;
            }
    for (int s : work.sign)
        if (s == 0) {
            session.errorReport("Failure to find sign for parameter");
            return -1;
        }
    return 1;
}

void logStatistics(Session& session, const char* title, const std::vector<double>& s) {
    if (!session.ws.files.logFile.isOpen()) return;
    MString text = MString(title) + "Parameter No.              Sufficient Statistic\n";
    char line[96];
    for (std::size_t p = 0; p < s.size(); ++p) {
        std::snprintf(line, sizeof line, "  %5d                      %10.5f\n", static_cast<int>(p + 1), s[p]);
        text += line;
    }
    session.logText(text);
}

}  // namespace

namespace {

// Anchors and initial values name parameters in the numbering that follows
// the removal of those not identified: more of them than parameters remain,
// or one beyond those that remain, is refused rather than dropped.
int checkAnchorsAfterRemoval(Session& session, int anchorValues) {
    const EstimationState& est = session.ws.est;
    const int P = est.parameters();
    if (P < anchorValues) {
        session.errorReport("There must be fewer anchor values than parameters");
        return -1;
    }
    for (const AnchorEntry& a : est.anchors) {
        if ((a.kind != kAnchorItem && a.kind != kInitItem) || a.first < P) continue;
        session.errorReport(MString(a.kind == kAnchorItem ? "The anchor" : "The initial value") + " for parameter " +
                            itoMString(a.first + 1) + " names no parameter: " + itoMString(P) +
                            " remain after the removal of the parameters that are not identified");
        return -1;
    }
    return 1;
}

}  // namespace

int sufficientStatistics(Session& session, EstimationWork& work, CaseResponses* responses) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    ModelBuild& build = ws.build;
    const int P = work.P, I = work.I, maxCat = work.maxCat, D = work.D;
    // Set-up counted the anchors against the numbering before removal.
    const int anchorValues = est.anchoredCount;
    if (parameterSigns(session, work) != 1) return -1;

    std::vector<double> s(static_cast<std::size_t>(P), 0.0);
    std::vector<char> opposite(static_cast<std::size_t>(P), 0);
    // Per parameter: the first (item, category) pair seen on a conflicting
    // item, and whether a second distinct pair followed.
    std::vector<long long> firstPair(static_cast<std::size_t>(P), -1);
    std::vector<char> manyPairs(static_cast<std::size_t>(P), 0);
    std::vector<std::vector<std::int32_t>> conflicts(static_cast<std::size_t>(I));
    for (int p = 0; p < P; ++p) {
        const auto& items = work.parameterItems[static_cast<std::size_t>(p)];
        const auto& values = work.parameterValues[static_cast<std::size_t>(p)];
        for (std::size_t j = 0; j < items.size(); ++j)
            for (int k = 0; k < maxCat; ++k)
                if (values[j * maxCat + k] * work.sign[static_cast<std::size_t>(p)] < 0.0) {
                    conflicts[static_cast<std::size_t>(items[j])].push_back(p);
                    break;
                }
    }
    std::vector<char> observed(static_cast<std::size_t>(I) * maxCat, 0);

    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;

    std::vector<double> raw, maximum;
    const int N = std::max(0, ws.data.passes.cases);
    int nextCase = 0;  // the next case whose responses the list starts
    auto startCasesUpTo = [&](int last) {
        for (; nextCase <= last; ++nextCase)
            responses->start[static_cast<std::size_t>(nextCase)] = static_cast<std::int64_t>(responses->items.size());
    };
    // The list of responses that joint maximum likelihood keeps.
    auto listResponse = [&](int i) {
        try {
            responses->items.push_back(i);
            return true;
        } catch (const std::bad_alloc&) {
            session.errorReport("JML estimation not be available");
            return false;
        }
    };
    if (responses) {
        responses->items.clear();
        try {
            responses->start.assign(static_cast<std::size_t>(N) + 1, 0);
        } catch (const std::bad_alloc&) {
            session.errorReport("JML estimation not be available");
            return -1;
        }
    }
    const int visited = forEachCase(session, work, [&](int caseNumber, int m) {
        const double* rec = work.caseRecord(caseNumber);
        const double w = (rec ? rec[0] : 1.0) * est.weightFactor;
        // A case of weight zero carries only its placeholder record, or
        // counts for nothing: it identifies no parameter.
        if (w == 0.0) m = 0;
        const bool listed = responses && caseNumber >= nextCase && caseNumber < N;
        if (listed) startCasesUpTo(caseNumber);
        for (int r = 0; r < m; ++r) {
            const int i = work.itemNo[static_cast<std::size_t>(r)], k = work.rsp[static_cast<std::size_t>(r)];
            if (i < 0 || i >= I || k < 0 || k >= maxCat) continue;
            if (listed && !listResponse(i)) return -1;
            const std::size_t row = static_cast<std::size_t>(i) * maxCat + k;
            observed[row] = 1;
            for (std::size_t e = work.designStart[row]; e < work.designStart[row + 1]; ++e) {
                const DesignEntry& de = work.designEntries[e];
                s[static_cast<std::size_t>(de.parameter)] += de.value * w;
                if (work.sign[static_cast<std::size_t>(de.parameter)] * de.value * w < 0.0)
                    opposite[static_cast<std::size_t>(de.parameter)] = 1;
            }
            for (std::int32_t p : conflicts[static_cast<std::size_t>(i)]) {
                long long& f = firstPair[static_cast<std::size_t>(p)];
                if (f < 0)
                    f = static_cast<long long>(row);
                else if (f != static_cast<long long>(row))
                    manyPairs[static_cast<std::size_t>(p)] = 1;
            }
        }
        caseScores(session, work, m, false, false, caseNumber, raw, maximum, nullptr);
        records.setScores(caseNumber, raw, maximum);
        return 1;
    });
    if (responses) startCasesUpTo(N);
    if (visited != 1) return -1;
    if (saveCaseScores(session, records) != 1) return -1;
    session.appendOutput("Sufficient Statistics Computed\r\n");
    logStatistics(session, "Original Sufficient Statistics\n", s);

    bool stop = false;
    for (int p = 0; p < P; ++p) {
        if (firstPair[static_cast<std::size_t>(p)] >= 0 && !manyPairs[static_cast<std::size_t>(p)]) {
            opposite[static_cast<std::size_t>(p)] = 0;
            est.nonIdentifiedItems.push_back(
                static_cast<std::int32_t>(firstPair[static_cast<std::size_t>(p)] / maxCat));
        }
        if (!opposite[static_cast<std::size_t>(p)]) {
            const ParameterSpec* spec =
                p < static_cast<int>(build.estimated.size()) ? &build.estimated[static_cast<std::size_t>(p)] : nullptr;
            // Joint maximum likelihood words the warning without the number.
            MString text = (responses ? MString("Parameter for ") : "Parameter (" + itoMString(p + 1) + ") for ") +
                           describeParameter(session, p);
            const bool step = spec && spec->step >= 0 && !build.importedDesign;
            if (step) text += " step " + itoMString(spec->step);
            text += MString(" is not identified. ") +
                    "If anchors or initial values are used the referencing must reflect removal of this parameter";
            session.warningReport(text);
            if (step) stop = true;
        }
    }
    const int C = static_cast<int>(build.constrained.size());
    if (!build.importedDesign && C > 0 && !build.constrainedDesign.empty()) {
        for (int c = 0; c < C; ++c) {
            bool data = false;
            for (std::size_t row = 0; row < observed.size() && !data; ++row) {
                std::size_t at = row * static_cast<std::size_t>(C) + static_cast<std::size_t>(c);
                if (observed[row] && at < build.constrainedDesign.size() && build.constrainedDesign[at] != 0.0f)
                    data = true;
            }
            if (data) continue;
            const ParameterSpec& spec = build.constrained[static_cast<std::size_t>(c)];
            MString text = describeLevels(session, spec);
            if (spec.step >= 0) text += " step " + itoMString(spec.step);
            session.warningReport("No data for " + text +
                                  " estimation cannot proceed. Data is needed for a constraint");
            stop = true;
        }
    }
    if (stop) {
        session.errorReport("You will have to recode the data before estimation can proceed");
        return -1;
    }

    // Removal: kept parameters move down, their old numbers are recorded.
    std::vector<int> newNumber(static_cast<std::size_t>(P), -1);
    int kept = 0;
    const std::size_t stride = static_cast<std::size_t>(build.designStride);
    const std::size_t rows = stride ? build.design.size() / stride : 0;
    for (int p = 0; p < P; ++p) {
        if (!opposite[static_cast<std::size_t>(p)]) continue;
        newNumber[static_cast<std::size_t>(p)] = kept;
        est.keptParameters.push_back(p);
        s[static_cast<std::size_t>(kept)] = s[static_cast<std::size_t>(p)];
        if (kept != p)
            for (std::size_t row = 0; row < rows; ++row)
                build.design[row * stride + static_cast<std::size_t>(kept)] =
                    build.design[row * stride + static_cast<std::size_t>(p)];
        ++kept;
    }
    if (kept < P) {
        for (std::size_t row = 0; row < rows; ++row)
            for (int p = kept; p < P; ++p) build.design[row * stride + static_cast<std::size_t>(p)] = 0.0f;
        for (ModelTerm& term : ws.model.terms) {
            std::vector<std::int32_t> numbers, flags;
            for (int j = 0; j < term.parameterCount(); ++j) {
                const int number = term.parameterNumbers[static_cast<std::size_t>(j)];
                const int flag = term.parameterFlags[static_cast<std::size_t>(j)];
                if (flag == 0) {
                    if (number < 0 || number >= P || newNumber[static_cast<std::size_t>(number)] < 0) continue;
                    numbers.push_back(newNumber[static_cast<std::size_t>(number)]);
                } else {
                    numbers.push_back(number);
                }
                flags.push_back(flag);
            }
            term.parameterNumbers = numbers;
            term.parameterFlags = flags;
        }
        s.resize(static_cast<std::size_t>(kept));
        auto shrink = [kept](Vector& v) {
            if (kept == 0) {
                v = Vector();
                return;
            }
            Vector out(kept);
            for (int p = 0; p < kept && p < v.rows(); ++p) out[p][0] = v[p][0];
            v = out;
        };
        shrink(est.xsi);
        shrink(est.previousXsi);
        shrink(est.bestXsi);
        shrink(est.itemErrors);
        est.anchored.resize(static_cast<std::size_t>(kept));
        est.anchoredCount = 0;
        for (int a : est.anchored) est.anchoredCount += a ? 1 : 0;
        std::vector<int> signs(static_cast<std::size_t>(kept));
        for (int p = 0; p < P; ++p)
            if (newNumber[static_cast<std::size_t>(p)] >= 0)
                signs[static_cast<std::size_t>(newNumber[static_cast<std::size_t>(p)])] =
                    work.sign[static_cast<std::size_t>(p)];
        loadModel(work, build, kept);
        work.sign = signs;
        logStatistics(session, "Modified Sufficient Statistics\n", s);
    }
    (void)D;
    est.sufficient = Vector(std::max(1, kept));
    for (int p = 0; p < kept; ++p) est.sufficient[p][0] = s[static_cast<std::size_t>(p)];
    if (kept == 0) est.sufficient = Vector();
    work.allAnchored = work.P == 0 || est.anchoredCount >= work.P;
    return checkAnchorsAfterRemoval(session, anchorValues);
}

}  // namespace ordena
