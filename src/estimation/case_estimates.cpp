#include "estimation/case_estimates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "base/delimited_text.h"
#include "base/file_kind.h"
#include "base/index.h"
#include "base/number_format.h"
#include "base/timing.h"
#include "command/session.h"
#include "data/data_passes.h"
#include "data/response_reader.h"
#include "estimation/case_newton.h"
#include "estimation/case_pass.h"
#include "estimation/case_score_file.h"
#include "estimation/case_scores.h"
#include "estimation/estimation_work.h"
#include "estimation/kernels.h"
#include "estimation/nodes.h"
#include "estimation/population.h"
#include "estimation/posterior.h"
#include "estimation/setup.h"

namespace ordena {

namespace {

// A text output file that reports its own failures.
struct OutputFile {
    std::FILE* f = nullptr;
    ~OutputFile() {
        if (f) std::fclose(f);
    }
    void put(const MString& text) {
        if (f) std::fputs(text.c_str(), f);
    }
};

// Opens the file as the case outputs do: a test write first, then the file
// afresh (or for append in later simulation replications).
int openOutput(Session& session, const MString& name, OutputFile& out, const MString& openText,
               const MString& writeText) {
    if (session.ws.replication > 0) {
        out.f = openForWriting(name.str(), "ab");
    } else {
        std::FILE* t = openForWriting(name.str(), "wb");
        if (!t) {
            session.errorReport(openText);
            return -1;
        }
        bool ok = std::fputs("aaa\n", t) >= 0;
        ok = std::fclose(t) == 0 && ok;
        if (!ok) {
            session.errorReport(writeText);
            return -1;
        }
        std::remove(name.c_str());
        out.f = openForWriting(name.str(), "wb");
    }
    if (!out.f) {
        session.errorReport(openText);
        return -1;
    }
    return 1;
}

// The case identifiers of the data passes, read once for a whole pass.
class IdentifierTable {
public:
    explicit IdentifierTable(Session& session) {
        const DataPassState& st = session.ws.data.passes;
        width_ = st.identifierWidth;
        count_ = st.identifierCount;
        if (count_ <= 0 || width_ <= 0) return;
        std::FILE* f = std::fopen(st.identifierFile.c_str(), "rb");
        if (!f) return;
        bytes_.resize(static_cast<std::size_t>(count_) * width_);
        bytes_.resize(std::fread(bytes_.data(), 1, bytes_.size(), f));
        std::fclose(f);
    }
    // Empty when the case has no identifier (or its record cannot be read).
    MString operator()(int n) const {
        const std::size_t start = static_cast<std::size_t>(n) * width_, width = static_cast<std::size_t>(width_);
        if (n < 0 || n >= count_ || start + width > bytes_.size()) return MString();
        return MString(bytes_.substr(start, width));
    }

private:
    int width_ = 0, count_ = 0;
    std::string bytes_;
};

// The first columns of a delimited case file: the case number, its
// identifier when there is one, and the named variables' values.
struct DelimitedCases {
    bool on = false;
    bool identifier = false;
    std::vector<std::vector<MString>> texts;

    int prepare(Session& session, bool writeFile, const CaseOutputFormat& format) {
        on = writeFile && format.delimited;
        if (!on) return 1;
        const DataLayout& layout = session.ws.data.layout;
        identifier = layout.caseIdentifier >= 0 && session.ws.data.passes.identifierCount > 0;
        // Only the named variables need the data file (after get it may be gone).
        return format.variables.empty() ? 1 : caseVariableTexts(session, format.variables, texts);
    }
    // The header up to the estimates.
    std::vector<MString> header(Session& session, const CaseOutputFormat& format) const {
        std::vector<MString> h{"case"};
        const DataLayout& layout = session.ws.data.layout;
        if (identifier) h.push_back(csvField(layout.explicitVariables[static_cast<std::size_t>(layout.caseIdentifier)].name.view()));
        for (std::int32_t k : format.variables)
            h.push_back(csvField(layout.explicitVariables[static_cast<std::size_t>(k)].name.view()));
        return h;
    }
    std::vector<MString> start(int n, const MString& id) const {
        std::vector<MString> f{itoMString(n + 1)};
        if (identifier) f.push_back(csvField(id.trim().view()));
        if (n >= 0 && static_cast<std::size_t>(n) < texts.size())
            for (const MString& t : texts[static_cast<std::size_t>(n)]) f.push_back(t.isEmpty() ? MString("NA") : csvField(t.view()));
        return f;
    }
};

// A column name of dimension d (from 0): the name alone in a model of one
// dimension, name_1, name_2, ... otherwise.
MString columnName(const char* name, int d, int D) { return D > 1 ? MString(name) + "_" + itoMString(d + 1) : MString(name); }

// A number of the fixed case files: "%10.5f " or, for a value that is not
// there (a failed estimate), NA in the same width.
MString fixedNumber(double v) {
    return std::isfinite(v) ? printFormat("%10.5f ", v) : MString("NA").rightJustify(10) + " ";
}

// Cases per chunk of the case estimate passes. Their numbers are the
// cases' own, never sums over cases, so the split changes nothing.
constexpr int kCaseChunk = 64;

}  // namespace

int posteriorPass(Session& session, bool writeFile, const MString& fileName, int V, const CaseOutputFormat& format) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    // The draws are made exactly standard, which takes more of them than
    // dimensions; with fewer every case would get the same value.
    const int dimensions = std::max(1, est.dimensions());
    if (ws.settings.p_nodes <= dimensions) {
        session.errorReport("Plausible values and EAP estimates cannot be drawn with " +
                            itoMString(ws.settings.p_nodes) + " nodes: set p_nodes to " +
                            itoMString(dimensions + 1) + " or more");
        return -1;
    }
    OutputFile out;
    if (writeFile &&
        openOutput(
            session, fileName, out,
            "Could not open the plausible value file.  Plausible values were not drawn. The file may be already open",
            "Could not write to the plausible value file.  Plausible values were not drawn. The file may be already "
            "open") != 1)
        return -1;
    const int D = std::max(1, est.dimensions());
    DelimitedCases delimited;
    if (delimited.prepare(session, writeFile, format) != 1) return -1;
    if (delimited.on && session.ws.replication <= 0) {
        std::vector<MString> h = delimited.header(session, format);
        for (int d = 0; d < D; ++d)
            for (int v = 1; v <= V; ++v) h.push_back(columnName(("pv" + itoMString(v)).c_str(), d, D));
        for (int d = 0; d < D; ++d) {
            h.push_back(columnName("eap", d, D));
            h.push_back(columnName("eap_sd", d, D));
        }
        out.put(csvLine(h));
    }
    if (V > 0) est.plausibleSummary.reset(D, est.displayLow, est.displayHigh, est.displayWidth);
    est.eapSummary.reset(D, est.displayLow, est.displayHigh, est.displayWidth);

    EstimationWork work;
    if (prepareCaseWork(session, work, EstimationMethod::MonteCarlo) != 1) return -1;
    const int R = work.R;
    Matrix nodes;
    if (monteCarloPosteriorNodes(session, work, ws.settings.p_nodes, nodes) != 1) return -1;
    const int Q = work.Q;

    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    records.reshape(std::max(0, ws.settings.n_plausible));
    const int keep = std::min(V, records.V);
    const IdentifierTable identifier(session);

    // Per chunk: each case's posterior summaries and cumulative posterior,
    // the nodes its plausible values drew, and its text for the file.
    struct Slot {
        std::vector<double> likelihood, posterior, scratch, cumulative, mean, eap, W, theta, weighted;
        std::vector<char> ok;
        std::vector<int> chosen;
        std::vector<MString> text;
    };
    std::vector<Slot> slots(static_cast<std::size_t>(casePassSlots(session)));
    const std::size_t chunk = kCaseChunk;
    for (Slot& slot : slots) {
        slot.likelihood.resize(static_cast<std::size_t>(Q));
        slot.posterior.resize(static_cast<std::size_t>(Q));
        slot.scratch.resize(R >= 2 ? 2 * static_cast<std::size_t>(Q) : 0);
        slot.cumulative.resize(chunk * Q);
        slot.mean.resize(chunk * D);
        slot.eap.resize(chunk * D);
        slot.W.resize(chunk * D * D);
        slot.theta.resize(static_cast<std::size_t>(D) * Q);
        slot.weighted.resize(static_cast<std::size_t>(Q));
        slot.ok.resize(chunk);
        slot.chosen.resize(chunk * std::max(1, V));
        slot.text.resize(chunk);
    }
    // The coordinate of node q on dimension d for a case with the given mean.
    auto node = [&](int q, int d, const double* mean) { return R >= 2 ? nodes[q][d] + mean[d] : nodes[q][d]; };
    // The nodes by dimension: the posterior moments run along them.
    std::vector<double> columns(static_cast<std::size_t>(D) * Q);
    for (int d = 0; d < D; ++d)
        for (int q = 0; q < Q; ++q) at(columns, d * Q + q) = nodes[q][d];

    CasePass pass;
    pass.chunkCases = kCaseChunk;
    pass.workPerCase = (meanResponses(session) * 3 + 2 * D * D) * Q;
    const auto posteriors = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        for (int c = 0; c < cases.count(); ++c) {
            const double* rec = work.caseRecord(cases.caseNumber(c));
            const int m = rec && rec[0] == 0.0 ? 0 : cases.responses(c);
            double* mean = slot.mean.data() + static_cast<std::size_t>(c) * D;
            regressionMean(est, rec, D, R, mean);
            double ll = 0.0;
            at(slot.ok, c) = casePosterior(work, cases.itemsOf(c), cases.categoriesOf(c), m,
                                           work.nodeWeights.data(), mean, 0.0f,
                                           slot.likelihood.data(), slot.posterior.data(),
                                           slot.scratch.data(), ll) == 1;
            if (!at(slot.ok, c)) continue;
            const double* post = slot.posterior.data();
            double* eap = slot.eap.data() + static_cast<std::size_t>(c) * D;
            double* W = slot.W.data() + static_cast<std::size_t>(c) * D * D;
            const double* theta = columns.data();
            if (R >= 2) {
                for (int d = 0; d < D; ++d)
                    for (int q = 0; q < Q; ++q)
                        at(slot.theta, d * Q + q) = at(columns, d * Q + q) + mean[d];
                theta = slot.theta.data();
            }
            for (int j = 0; j < D; ++j) eap[j] = dotProduct(post, theta + j * Q, Q);
            for (int j = 0; j < D; ++j) {
                double* pt = slot.weighted.data();
                for (int q = 0; q < Q; ++q) pt[q] = post[q] * theta[j * Q + q];
                for (int l = j; l < D; ++l)
                    W[j * D + l] = W[l * D + j] =
                        dotProduct(pt, theta + l * Q, Q) - eap[j] * eap[l];
            }
            cumulativeSums(post, Q, slot.cumulative.data() + static_cast<std::size_t>(c) * Q);
        }
        return 1;
    };
    pass.stages.push_back({true, posteriors});
    // The draws of the plausible values come from the one uniform stream,
    // case after case.
    const auto draws = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        for (int c = 0; c < cases.count(); ++c) {
            if (!at(slot.ok, c)) {
                session.appendOutput("error_FLAG=1 student " +
                                     itoMString(cases.caseNumber(c) + 1) + "\r\n");
                continue;
            }
            const double* F = slot.cumulative.data() + static_cast<std::size_t>(c) * Q;
            for (int v = 0; v < V; ++v)
                at(slot.chosen, c * V + v) = drawFromCumulative(F, Q, session.uniform.draw());
        }
        return 1;
    };
    pass.stages.push_back({false, draws});
    const auto store = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        for (int c = 0; c < cases.count(); ++c) {
            if (!at(slot.ok, c)) continue;
            const int n = cases.caseNumber(c);
            const double* mean = slot.mean.data() + static_cast<std::size_t>(c) * D;
            const double* eap = slot.eap.data() + static_cast<std::size_t>(c) * D;
            const double* W = slot.W.data() + static_cast<std::size_t>(c) * D * D;
            double* r = records.valid(n) ? records.record(n) : nullptr;
            MString text;
            if (delimited.on) {
                std::vector<MString> f = delimited.start(n, identifier(n));
                for (int d = 0; d < D; ++d)
                    for (int v = 1; v <= V; ++v) f.push_back(csvNumber(node(at(slot.chosen, c * V + v - 1), d, mean)));
                for (int d = 0; d < D; ++d) {
                    f.push_back(csvNumber(eap[d]));
                    f.push_back(csvNumber(std::sqrt(std::max(0.0, W[d * D + d]))));
                }
                text = csvLine(f);
            } else if (writeFile) {
                char head[32];
                std::snprintf(head, sizeof head, "%5d", n + 1);
                text = MString(head) + "  " + identifier(n);
            }
            for (int v = 1; v <= V; ++v) {
                const int chosen = at(slot.chosen, c * V + v - 1);
                if (writeFile && !delimited.on) {
                    char line[32];
                    std::snprintf(line, sizeof line, "\n %3d        ", v);
                    text += line;
                }
                for (int d = 0; d < D; ++d) {
                    const double value = node(chosen, d, mean);
                    if (writeFile && !delimited.on) text += printFormat("%6.2lf", value);
                    if (r && v <= keep)
                        r[records.plausibleAt() + static_cast<std::size_t>(d) * records.V +
                          (v - 1)] = value;
                }
            }
            if (r) {
                for (int d = 0; d < D; ++d) r[records.eapAt() + d] = eap[d];
                for (int j = 0; j < D * D; ++j) r[records.posteriorCovAt() + j] = W[j];
            }
            if (writeFile && !delimited.on) {
                if (est.caseEstimateType == kCaseEap) {
                    for (int d = 0; d < D; ++d) {
                        const double w = W[d * D + d];
                        text += printFormat("%10.5f ", eap[d]) + printFormat("%10.5f ", std::sqrt(std::max(0.0, w))) +
                                printFormat("%10.5f ", 1.0 - w / est.sigma[d][d]);
                    }
                } else {
                    text += "\n";
                    for (int d = 0; d < D; ++d) text += printFormat("%10.5lf ", eap[d]);
                    text += "\n";
                    for (int d = 0; d < D; ++d)
                        text += printFormat("%10.5lf ", std::sqrt(std::max(0.0, W[d * D + d])));
                }
                text += "\n";
            }
            at(slot.text, c) = std::move(text);
        }
        return 1;
    };
    pass.stages.push_back({true, store});
    long long k = 0;
    const long long N = ws.data.passes.cases;
    Stopwatch statusClock;
    const auto write = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        for (int c = 0; c < cases.count(); ++c) {
            if (at(slot.ok, c)) {
                const double* mean = slot.mean.data() + static_cast<std::size_t>(c) * D;
                for (int v = 0; v < V; ++v)
                    for (int d = 0; d < D; ++d)
                        est.plausibleSummary.add(d, node(at(slot.chosen, c * V + v), d, mean));
                for (int d = 0; d < D; ++d)
                    est.eapSummary.add(d, slot.eap[static_cast<std::size_t>(c) * D + d]);
                if (writeFile) out.put(at(slot.text, c));
            }
            ++k;
            if (statusClock.seconds() >= 1.0) {
                session.statusText(progressText("Constructing Posteriors: ", k, N), 0);
                statusClock.restart();
            }
        }
        return 1;
    };
    pass.stages.push_back({false, write});
    if (runCasePass(session, work, pass) != 1) return -1;
    if (writeFile && out.f && std::ferror(out.f)) {
        session.errorReport(
            "Could not write to the plausible value file.  Plausible values were not drawn. The file may be already "
            "open");
        return -1;
    }
    if (saveCaseScores(session, records) != 1) return -1;
    est.eapAvailable = true;
    if (V > 0) est.plausibleAvailable = true;
    return 1;
}

int caseMlePass(Session& session, bool writeFile, const MString& fileName, const CaseOutputFormat& format) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    const bool wle = est.caseEstimateType == kCaseWle;
    OutputFile out;
    if (writeFile) {
        MString openText = wle ? "Could not open the WARM value file. The file may be already open"
                               : "Could not open the MLE value file. The file may be already open";
        MString writeText = wle ? "Could not write to the WARM value file. The file may be already open"
                                : "Could not write to the MLE value file. The file may be already open";
        if (openOutput(session, fileName, out, openText, writeText) != 1) return -1;
    }
    const int D = std::max(1, est.dimensions());
    DelimitedCases delimited;
    if (delimited.prepare(session, writeFile, format) != 1) return -1;
    if (delimited.on && session.ws.replication <= 0) {
        std::vector<MString> h = delimited.header(session, format);
        for (int d = 0; d < D; ++d) {
            h.push_back(columnName(wle ? "wle" : "mle", d, D));
            h.push_back(columnName(wle ? "wle_se" : "mle_se", d, D));
        }
        out.put(csvLine(h));
    }
    DistributionSummary& summary = wle ? est.wleSummary : est.mleSummary;
    summary.reset(D, est.displayLow, est.displayHigh, est.displayWidth);

    EstimationWork work;
    if (prepareCaseWork(session, work, est.method) != 1) return -1;
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    const IdentifierTable identifier(session);

    // Per chunk: which cases were estimated, their estimates and file text.
    struct Slot {
        std::vector<char> skipped, valid, failed;
        std::vector<double> theta;
        std::vector<MString> text;
        std::vector<double> raw, maximum, estimate, covariance, information;
    };
    std::vector<Slot> slots(static_cast<std::size_t>(casePassSlots(session)));
    for (Slot& slot : slots) {
        slot.skipped.resize(kCaseChunk);
        slot.valid.resize(kCaseChunk);
        slot.failed.resize(kCaseChunk);
        slot.theta.resize(static_cast<std::size_t>(kCaseChunk) * D);
        slot.text.resize(kCaseChunk);
    }
    CasePass pass;
    pass.chunkCases = kCaseChunk;
    // A few Newton steps over the case's responses and categories.
    pass.workPerCase = meanResponses(session) * work.maxCat * (D + 2) * D * 20;
    const auto estimates = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        Shell& reports = currentShell();
        for (int c = 0; c < cases.count(); ++c) {
            const int n = cases.caseNumber(c);
            const double* rec = work.caseRecord(n);
            at(slot.skipped, c) = rec && rec[0] == 0.0;
            at(slot.valid, c) = false;
            at(slot.failed, c) = false;
            if (at(slot.skipped, c)) continue;
            MString text;
            std::vector<MString> fields;
            if (delimited.on) {
                fields = delimited.start(n, identifier(n));
            } else if (writeFile) {
                char head[32];
                std::snprintf(head, sizeof head, "%7d", n + 1);
                text = MString(head) + "  " + identifier(n);
            }
            const bool valid = caseScores(session, reports, work, cases.itemsOf(c),
                                          cases.categoriesOf(c), cases.responses(c), !wle, true,
                                          n + 1, slot.raw, slot.maximum,
                                          writeFile && !delimited.on ? &text : nullptr);
            at(slot.valid, c) = valid;
            if (valid) {
                std::vector<double>& theta = slot.estimate;
                theta.assign(static_cast<std::size_t>(D), 0.0);
                // A failed estimate is NaN in the record and NA in the file.
                at(slot.failed, c) = !caseNewtonFrom(session, reports, work, cases.itemsOf(c), cases.responses(c),
                                                     slot.raw, wle, n + 1, theta, slot.covariance,
                                                     slot.information, nullptr);
                if (records.valid(n)) {
                    double* r = records.record(n);
                    const std::size_t place = wle ? records.wleAt() : records.mleAt();
                    const std::size_t covAt = wle ? records.wleCovAt() : records.mleCovAt();
                    for (int d = 0; d < D; ++d) r[place + d] = at(theta, d);
                    for (int j = 0; j < D * D; ++j) r[covAt + j] = at(slot.covariance, j);
                }
                std::copy_n(theta.data(), D, slot.theta.data() + static_cast<std::size_t>(c) * D);
                for (int d = 0; writeFile && d < D; ++d) {
                    const double I = at(slot.information, d * D + d);
                    const double error = I > 0.0 ? 1.0 / std::sqrt(I) : at(slot.failed, c) ? I : 0.0;
                    if (delimited.on) {
                        fields.push_back(csvNumber(at(theta, d)));
                        fields.push_back(csvNumber(error));
                    } else {
                        text += fixedNumber(at(theta, d)) + fixedNumber(error);
                    }
                }
            }
            if (delimited.on) {
                // A case without an estimate (a perfect score for an MLE) has NA.
                for (int d = 0; !valid && d < D; ++d) fields.insert(fields.end(), {"NA", "NA"});
                text = csvLine(fields);
            }
            at(slot.text, c) = std::move(text);
        }
        return 1;
    };
    pass.stages.push_back({true, estimates});
    Stopwatch statusClock;
    const long long N = ws.data.passes.cases;
    long long failures = 0;
    const auto report = [&](int s, const CaseChunk& cases) {
        Slot& slot = at(slots, s);
        for (int c = 0; c < cases.count(); ++c) {
            if (at(slot.skipped, c)) continue;
            if (at(slot.failed, c)) ++failures;
            if (at(slot.valid, c) && !at(slot.failed, c)) {
                for (int d = 0; d < D; ++d)
                    summary.add(d, slot.theta[static_cast<std::size_t>(c) * D + d]);
                if (statusClock.seconds() >= 1.0) {
                    session.statusText(progressText(wle ? "WLEs: " : "MLEs: ",
                                                    cases.caseNumber(c) + 1, N),
                                       0);
                    statusClock.restart();
                }
            }
            if (writeFile) out.put(delimited.on ? at(slot.text, c) : at(slot.text, c) + "\n");
        }
        return 1;
    };
    pass.stages.push_back({false, report});
    if (runCasePass(session, work, pass) != 1) return -1;
    if (writeFile && out.f && std::ferror(out.f)) {
        session.errorReport(wle ? "Could not write to the WARM value file. The file may be already open"
                                : "Could not write to the MLE value file. The file may be already open");
        return -1;
    }
    if (saveCaseScores(session, records) != 1) return -1;
    if (failures > 0)
        session.warningReport(itoMString(failures) + (failures == 1 ? " case has no " : " cases have no ") +
                              (wle ? "WLE" : "MLE") +
                              " (Convergence failure): written as NA and left out of the summaries");
    (wle ? est.wleAvailable : est.mleAvailable) = true;
    session.statusText(" ", 0);
    return 1;
}

int caseOutput(Session& session, const MString& fileName, const CaseOutputFormat& format) {
    EstimationState& est = session.ws.est;
    int result = -1;
    switch (est.caseEstimateType) {
        case kCaseLatent:
        case kCaseEap: {
            const double deviance = est.deviance;
            const int V = est.caseEstimateType == kCaseEap ? 0 : session.ws.settings.n_plausible;
            result = posteriorPass(session, true, fileName, V, format);
            est.deviance = deviance;
            break;
        }
        case kCaseNone:
            session.errorReport("You must select the type of case estimate that you want");
            return -1;
        case kCaseWle:
        case kCaseMle:
            result = caseMlePass(session, true, fileName, format);
            break;
        default:
            session.errorReport("You must select the type of case estimate that you want");
            return -1;
    }
    session.statusText(" ", 0);
    return result;
}

}  // namespace ordena
