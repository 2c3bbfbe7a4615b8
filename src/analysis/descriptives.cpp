#include "analysis/descriptives.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>

#include "analysis/case_estimate_supply.h"
#include "analysis/group_values.h"
#include "base/binfile.h"
#include "base/file_kind.h"
#include "base/number_format.h"
#include "base/random.h"
#include "command/labels.h"
#include "command/option_table.h"
#include "command/parse.h"
#include "command/session.h"
#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "model/model_statements.h"
#include "report/report_writer.h"

namespace ordena {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A list of numbers; -1 after blankMessage or numberMessage.
int numberList(Session& session, const MString& value, const char* blankMessage, const char* numberMessage,
               std::vector<double>& out) {
    if (value.isEmpty()) {
        session.errorReport(blankMessage);
        return -1;
    }
    out.clear();
    for (const MString& piece : splitAt(value, ':')) {
        if (!piece.isNumber()) {
            session.errorReport(numberMessage);
            return -1;
        }
        out.push_back(piece.toDouble());
    }
    return 1;
}

bool finite(double v) { return std::isfinite(v); }

// Mean and variance (divisor n - 1, NaN below two values) in two passes.
void meanAndVariance(const std::vector<double>& y, double& mean, double& variance) {
    const auto n = static_cast<double>(y.size());
    mean = kNaN;
    variance = kNaN;
    if (y.empty()) return;
    double s = 0.0;
    for (double v : y) s += v;
    mean = s / n;
    if (y.size() < 2) return;
    double ss = 0.0;
    for (double v : y) ss += (v - mean) * (v - mean);
    variance = ss / (n - 1.0);
}

// Every statistic of one dimension of one set of estimates.
struct DimensionStatistics {
    double mean = kNaN, variance = kNaN, sd = kNaN;
    std::vector<double> percentiles, bands;
    BenchmarkProportions bench;
};

DimensionStatistics describe(Session& session, const std::vector<double>& y, const DescriptivesOptions& o) {
    DimensionStatistics s;
    meanAndVariance(y, s.mean, s.variance);
    s.sd = std::sqrt(s.variance);
    if (!o.percentiles.empty()) s.percentiles = percentileValues(y, o.percentiles);
    if (!o.cuts.empty()) s.bands = bandProportions(y, o.cuts, true);
    if (o.benchmarkGiven)
        s.bench = benchmarkReplications(y, o.benchmark[0], o.benchmark[1], static_cast<int>(o.benchmark[2]),
                                        session.ws.settings.seed + 5, &session);
    return s;
}

double average(const std::vector<double>& t) {
    double s = 0.0;
    for (double v : t) s += v;
    return t.empty() ? kNaN : s / static_cast<double>(t.size());
}

// The estimates of one group: sets[v][d] holds plausible value v (or the one
// estimate) of every case of the group on dimension d.
struct GroupEstimates {
    int n = 0;
    std::vector<std::vector<std::vector<double>>> sets;
};

// Cases the MLE/WLE pass leaves out (no weight, or a dimension without a
// possible score) hold no estimate of their own.
int estimatedCases(Session& session, const CaseScoreRecords& records, std::vector<char>& estimated) {
    const DataPassState& passes = session.ws.data.passes;
    const int N = records.N;
    estimated.assign(static_cast<std::size_t>(N), 1);
    const int width = std::max(1, passes.caseInfoWidth);
    BinaryFile info;
    if (passes.caseInfoFile.isEmpty() || passes.caseInfoFile.str().find('\0') != std::string::npos ||
        !info.open(passes.caseInfoFile.str(), "rb")) {
        session.errorReport("Open failure to scratch file " + passes.caseInfoFile);
        return -1;
    }
    std::vector<double> record(static_cast<std::size_t>(width));
    for (int n = 0; n < N; ++n) {
        for (double& v : record)
            if (!info.readDouble(v)) {
                session.errorReport("Open failure to scratch file " + passes.caseInfoFile);
                return -1;
            }
        bool valid = record[0] != 0.0;
        const double* r = records.record(n);
        for (int d = 0; d < records.D; ++d)
            if (r[records.maxAt() + static_cast<std::size_t>(d)] == 0.0) valid = false;
        estimated[static_cast<std::size_t>(n)] = valid ? 1 : 0;
    }
    return 1;
}

// The estimates of the cases whose group value is `value` (every case when
// groupOf is empty).
int collectGroupEstimates(Session& session, const CaseScoreRecords& records, int kind,
                          const std::vector<MString>& groupOf, const std::vector<MString>& table, const MString& value,
                          const std::vector<char>& estimated, GroupEstimates& group) {
    const int D = records.D;
    const bool plausible = kind == kCaseLatent;
    const int V = plausible ? records.V : 1;
    group = GroupEstimates{};
    group.sets.assign(static_cast<std::size_t>(V), std::vector<std::vector<double>>(static_cast<std::size_t>(D)));
    std::size_t at = records.eapAt();
    if (kind == kCaseMle) at = records.mleAt();
    if (kind == kCaseWle) at = records.wleAt();
    if (plausible) at = records.plausibleAt();
    for (int n = 0; n < records.N; ++n) {
        if (!groupOf.empty()) {
            const MString& mine = groupOf[static_cast<std::size_t>(n)];
            if (std::find(table.begin(), table.end(), mine) == table.end()) {
                session.errorReport("Group not found for " + mine);
                return -1;
            }
            if (mine != value) continue;
        }
        if (!estimated.empty() && !estimated[static_cast<std::size_t>(n)]) continue;
        const double* r = records.record(n);
        // A failed MLE or WLE is NaN: the case has no estimate to describe.
        bool finiteEstimates = true;
        for (int d = 0; !plausible && d < D; ++d) finiteEstimates = finiteEstimates && std::isfinite(r[at + d]);
        if (!finiteEstimates) continue;
        for (int v = 0; v < V; ++v)
            for (int d = 0; d < D; ++d) {
                const std::size_t k = plausible ? at + static_cast<std::size_t>(d) * V + v : at + d;
                group.sets[static_cast<std::size_t>(v)][static_cast<std::size_t>(d)].push_back(r[k]);
            }
        ++group.n;
    }
    return 1;
}

// Report rows: the dimension label, a row marker, a count and %9.5f values
// (NA where a value is not defined).
class Rows {
public:
    Rows(const Workspace& ws, int D) {
        for (int d = 0; d < D; ++d) {
            const MString label = labelLookup(ws, MString(), kLabelDimensions, itoMString(d + 1));
            width_ = std::max(width_, label.length());
            labels_.push_back(label.rightJustify(5));
        }
    }
    MString prefix() const { return MString(width_ > 5 ? width_ - 5 : 0); }
    static MString count(long long n) { return itoMString(n).rightJustify(6); }
    static MString values(const std::vector<double>& v) {
        MString text;
        for (double x : v) text += finite(x) ? dtoMString(x, "%9.5f") : MString("       NA");
        return text;
    }
    MString value(int d, long long n, const std::vector<double>& v) const {
        return label(d) + "    " + count(n) + values(v);
    }
    MString pv(int d, int pv, long long n, const std::vector<double>& v) const {
        return label(d) + (pv < 10 ? "PV " : "PV") + itoMString(pv) + count(n) + values(v);
    }
    MString averageRow(int d, const std::vector<double>& v) const { return label(d) + " Average  " + values(v); }
    MString error(int d, const std::vector<double>& v) const { return label(d) + " Error    " + values(v); }

private:
    const MString& label(int d) const { return labels_[static_cast<std::size_t>(d)]; }
    std::vector<MString> labels_;
    int width_ = 0;
};

// stats[v][d]: the statistics of set v (plausible value v + 1, or the one
// estimate) on dimension d.
using GroupStatistics = std::vector<std::vector<DimensionStatistics>>;

void writeGroup(ReportWriter& out, const Rows& rows, const DescriptivesOptions& o, const GroupStatistics& stats, int D,
                int n, int x, const MString& groupLine) {
    const bool plausible = o.kind == kCaseLatent;
    const int V = static_cast<int>(stats.size());
    const double N = n;
    const MString dashes = rule('-'), dots = rule('.');
    const double a = n + x > 0 ? N / (n + x) : 1.0;

    // One statistic over the plausible values: its values on dimension d.
    auto across = [&](int d, auto pick) {
        std::vector<double> t;
        for (int v = 0; v < V; ++v) t.push_back(pick(stats[static_cast<std::size_t>(v)][static_cast<std::size_t>(d)]));
        return t;
    };
    auto sumOf = [](const std::vector<double>& t) {
        double s = 0.0;
        for (double v : t) s += v;
        return s;
    };

    out.line("");
    out.line(groupLine);
    const char* type = o.kind == kCaseMle   ? "Estimator type is maximum likelihood"
                       : o.kind == kCaseWle ? "Estimator type is weighted maximum likelihood"
                       : o.kind == kCaseEap ? "Estimator type is expected a-posteriori"
                                            : "Estimator type is plausible value";
    out.line(type);
    out.line(dashes);
    out.line(o.longDisplay ? rows.prefix() + "Dimension    N    Mean    Std Dev  Variance" : MString());
    out.line(o.longDisplay ? dashes : MString());
    out.line("");

    // Means, standard deviations and variances.
    if (o.longDisplay) {
        if (!plausible) {
            for (int d = 0; d < D; ++d) {
                const DimensionStatistics& s = stats[0][static_cast<std::size_t>(d)];
                out.line(rows.value(d, n, {s.mean, s.sd, s.variance}));
            }
            out.line(dots);
            for (int d = 0; d < D; ++d) {
                const double var = stats[0][static_cast<std::size_t>(d)].variance;
                // Large-sample errors: sigma/sqrt(n), sigma/sqrt(2n), sigma^2 sqrt(2/n).
                out.line(rows.error(d, {std::sqrt(var / N), std::sqrt(var / (2.0 * N)), std::sqrt(2.0 * var * var / N)}));
            }
            out.line(dots);
        } else {
            for (int v = 0; v < V; ++v)
                for (int d = 0; d < D; ++d) {
                    const DimensionStatistics& s = stats[static_cast<std::size_t>(v)][static_cast<std::size_t>(d)];
                    out.line(rows.pv(d, v + 1, n, {s.mean, s.sd, s.variance}));
                }
            out.line(dots);
            for (int d = 0; d < D; ++d) {
                const std::vector<double> means = across(d, [](const DimensionStatistics& s) { return s.mean; });
                const std::vector<double> sds = across(d, [](const DimensionStatistics& s) { return s.sd; });
                const std::vector<double> vars = across(d, [](const DimensionStatistics& s) { return s.variance; });
                const double varSum = sumOf(vars);
                out.line(rows.averageRow(d, {average(means), average(sds), average(vars)}));
                out.line(rows.error(
                    d, {plausibleValueError(means, varSum / (V * N)), plausibleValueError(sds, varSum / (2.0 * V * N)),
                        plausibleValueError(vars, 2.0 * varSum * varSum / (double(V) * V * N))}));
            }
            out.line(dots);
        }
    }

    // Percentiles: values only, no standard errors.
    if (!o.percentiles.empty()) {
        MString head = rows.prefix() + "Percentiles  N";
        for (double q : o.percentiles) head += dtoMString(q, "%9.3f");
        out.line(dashes);
        out.line(head);
        out.line(dashes);
        for (int v = 0; v < V; ++v)
            for (int d = 0; d < D; ++d) {
                const std::vector<double>& p =
                    stats[static_cast<std::size_t>(v)][static_cast<std::size_t>(d)].percentiles;
                out.line(plausible ? rows.pv(d, v + 1, n, p) : rows.value(d, n, p));
            }
        out.line(dots);
        for (int d = 0; d < D; ++d) {
            if (plausible) {
                std::vector<double> averages;
                for (std::size_t k = 0; k < o.percentiles.size(); ++k)
                    averages.push_back(
                        average(across(d, [k](const DimensionStatistics& s) { return s.percentiles[k]; })));
                out.line(rows.averageRow(d, averages));
            }
            out.line(rows.error(d, {}));
        }
        out.line(dots);
    }

    // Bands between the cuts.
    if (!o.cuts.empty()) {
        MString head = rows.prefix() + "Bands        N      ";
        for (double c : o.cuts) head += dtoMString(c, "%9.3f");
        out.line(dashes);
        out.line(head);
        out.line(dashes);
        const std::size_t K = o.cuts.size() + 1;
        for (int v = 0; v < V; ++v)
            for (int d = 0; d < D; ++d) {
                const std::vector<double>& p = stats[static_cast<std::size_t>(v)][static_cast<std::size_t>(d)].bands;
                out.line(plausible ? rows.pv(d, v + 1, n, p) : rows.value(d, n, p));
            }
        out.line(dots);
        for (int d = 0; d < D; ++d) {
            std::vector<double> averages, errors;
            for (std::size_t k = 0; k < K; ++k) {
                const std::vector<double> p = across(d, [k](const DimensionStatistics& s) { return s.bands[k]; });
                if (!plausible) {
                    errors.push_back(std::sqrt(p[0] * (1.0 - p[0]) / N));
                    continue;
                }
                double within = 0.0;
                for (double pv : p) within += pv * (1.0 - pv);
                averages.push_back(average(p));
                errors.push_back(plausibleValueError(p, within / (V * N)));
            }
            if (plausible) out.line(rows.averageRow(d, averages));
            out.line(rows.error(d, errors));
        }
        out.line(dots);
    }

    // Proportions below and above the benchmark.
    if (o.benchmarkGiven) {
        out.line(dashes);
        out.line(rows.prefix() + "BenchMark    N   " + "Location " + dtoMString(o.benchmark[0], "%7.3f") + "  Error " +
                 dtoMString(o.benchmark[1], "%7.3f") + "  Replications " + dtoMString(o.benchmark[2], "%7.3f"));
        if (!o.exemptions.isEmpty()) out.line("Benchmark statistics include " + itoMString(x) + " exemptions");
        out.line(dashes);
        const long long total = static_cast<long long>(n) + x;
        auto reported = [a](double above) { return std::vector<double>{1.0 - a * above, a * above}; };
        if (plausible && !o.longDisplay) out.line("N=" + itoMString(total));
        for (int v = 0; v < V; ++v)
            for (int d = 0; d < D; ++d) {
                if (plausible && !o.longDisplay) continue;
                const BenchmarkProportions& b = stats[static_cast<std::size_t>(v)][static_cast<std::size_t>(d)].bench;
                out.line(plausible ? rows.pv(d, v + 1, total, reported(b.mean[1]))
                                   : rows.value(d, total, reported(b.mean[1])));
            }
        out.line(dots);
        for (int d = 0; d < D; ++d) {
            std::vector<double> errors;
            for (int c = 0; c < 2; ++c) {
                const std::vector<double> m = across(d, [c](const DimensionStatistics& s) { return s.bench.mean[c]; });
                const std::vector<double> s2 =
                    across(d, [c](const DimensionStatistics& s) { return s.bench.variance[c]; });
                if (!plausible) {
                    errors.push_back(a * std::sqrt(m[0] * (1.0 - m[0]) / N + s2[0]));
                    continue;
                }
                double sampling = 0.0;
                for (double p : m) sampling += p * (1.0 - p);
                const double within = sampling / (V * N) + sumOf(s2) / V;
                errors.push_back(a * plausibleValueError(m, within));
            }
            if (plausible)
                out.line(rows.averageRow(
                    d, reported(average(across(d, [](const DimensionStatistics& s) { return s.bench.mean[1]; })))));
            out.line(rows.error(d, errors));
        }
        out.line(dots);
    }
}

// Opens the statement's output file with its own message.
bool openDescriptivesFile(Session& session, ReportWriter& out, const MString& name) {
    const bool append = session.ws.replication >= 1;
    std::FILE* probe =
        name.str().find('\0') == std::string::npos ? openForWriting(name.str(), append ? "a" : "w") : nullptr;
    if (!probe) {
        session.errorReport("The file: '" + name + "' cannot be opened");
        return false;
    }
    std::fclose(probe);
    return out.openFile(name, append);
}

int describeGroups(Session& session, ReportWriter& out, const DescriptivesOptions& o) {
    Workspace& ws = session.ws;
    std::vector<MString> table, groupOf;
    int position = 0;
    if (!o.group.isEmpty()) {
        position = groupVariablePosition(session, o.group, "Group variable not found in group variable list");
        if (position < 0 || groupValueTable(session, position, table) < 0) return -1;
    }
    for (double q : o.percentiles) {
        if (q < 0.0001) {
            session.errorReport("Percentiles must be greater than 0.0001");
            return -1;
        }
        if (q > 100.0) {
            session.errorReport("Percentiles must be less than 100");
            return -1;
        }
    }
    for (std::size_t k = 1; k < o.cuts.size(); ++k)
        if (o.cuts[k] < o.cuts[k - 1]) {
            session.errorReport("Cuts must be ordered");
            return -1;
        }
    if (o.benchmarkGiven) {
        if (o.benchmark.size() != 3) {
            session.errorReport("There must be 3 benchmark arguments");
            return -1;
        }
        if (o.benchmark[1] < 0.0) {
            session.errorReport("Uncertainty must be positive");
            return -1;
        }
        if (o.benchmark[2] < 1.0) {
            session.errorReport("Number of replications must be positive");
            return -1;
        }
        // The replications run to the end whatever the user answers to a
        // stop request, so their number is bounded.
        if (o.benchmark[2] >= 1000001.0) {
            session.errorReport("Number of replications must be at most 1000000");
            return -1;
        }
    }

    if (ensureCaseEstimates(session, o.kind, true) != 1) return -1;
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    if (o.kind == kCaseLatent && records.V < 1) {
        session.errorReport("Plausible values are not available while n_plausible is 0");
        return -1;
    }
    std::vector<char> estimated;
    if ((o.kind == kCaseMle || o.kind == kCaseWle) && estimatedCases(session, records, estimated) != 1) return -1;
    if (!o.group.isEmpty() && caseGroupValues(session, position, groupOf) != 1) return -1;

    out.pageHeader("LATENT VARIABLE DESCRIPTIVE STATISTICS");
    const Rows rows(ws, records.D);
    const int G = o.group.isEmpty() ? 1 : static_cast<int>(table.size());
    for (int g = 0; g < G; ++g) {
        const MString value = o.group.isEmpty() ? MString() : table[static_cast<std::size_t>(g)];
        GroupEstimates group;
        if (collectGroupEstimates(session, records, o.kind, groupOf, table, value, estimated, group) != 1) return -1;
        int x = 0;
        if (!o.group.isEmpty()) {
            x = exemptionCount(session, o.group, value, o.exemptions);
            if (x < 0) {
                session.errorReport("Illegal exemptions for Group: " + o.group + " (" + value + ")");
                return -1;
            }
        }
        GroupStatistics stats;
        for (const std::vector<std::vector<double>>& set : group.sets) {
            stats.emplace_back();
            for (const std::vector<double>& y : set) stats.back().push_back(describe(session, y, o));
        }
        const MString line =
            o.group.isEmpty() ? MString("Group: All Students") : "Group: " + o.group + " (" + value + ")";
        writeGroup(out, rows, o, stats, records.D, group.n, x, line);
    }
    return 1;
}

}  // namespace

DescriptivesOptions::DescriptivesOptions() : kind(kCaseLatent) {}

const OptionTable<DescriptivesOptions>& descriptivesOptionTable() {
    using V = const OptionValue&;
    using O = DescriptivesOptions&;
    static const OptionTable<DescriptivesOptions> table(
        {"descriptives", "Error in Descriptive option",
         " No option word found or incorrect option word in descriptive", nullptr, false, true},
        {
            {"estimates", OptionKind::Choice, "Estimate type illegal it must be on of 'wle', 'mle', 'eap' or 'pv'",
             [](V v, O o) {
                 static const int kKinds[] = {kCaseMle, kCaseWle, kCaseEap, kCaseLatent};
                 const int k = choiceOf(v.lower(), {"mle", "wle", "eap", "pv"});
                 if (k < 0) return v.refuse();
                 o.kind = kKinds[k];
                 return 1;
             }},
            {"percentiles", OptionKind::List, "Non-numeric percentile value found",
             [](V v, O o) {
                 return numberList(v.session, v.text, "List of percentiles cannot be blank",
                                   "Non-numeric percentile value found", o.percentiles);
             }},
            {"cuts", OptionKind::List, "Non-numeric cut value found",
             [](V v, O o) {
                 return numberList(v.session, v.text, "List of cuts cannot be blank", "Non-numeric cut value found",
                                   o.cuts);
             }},
            {"group", OptionKind::Text, "List of groups cannot be blank",
             [](V v, O o) {
                 if (v.text.isEmpty()) return v.refuse();
                 o.group = v.text;
                 return 1;
             }},
            {"exemptions", OptionKind::File, "",
             [](V v, O o) {
                 o.exemptions = v.text;
                 return 1;
             }},
            {"benchmark", OptionKind::List, "Non-numeric cut value found",
             [](V v, O o) {
                 if (v.text.isEmpty()) return v.refuse("Benchmark value cannot be blank");
                 o.benchmark.clear();
                 for (const MString& piece : splitAt(v.text, ':')) {
                     if (!piece.isEmpty() && !piece.isNumber()) return v.refuse();
                     o.benchmark.push_back(piece.isEmpty() ? 0.0 : piece.toDouble());
                 }
                 o.benchmarkGiven = true;
                 return 1;
             },
             "bench"},
            {"display", OptionKind::Choice, "Means option value must be either 'short' or 'long'",
             [](V v, O o) {
                 const int k = choiceOf(v.lower(), {"short", "s", "long", "l"});
                 if (k < 0) return v.refuse();
                 o.longDisplay = k >= 2;
                 return 1;
             }},
        });
    return table;
}

int parseDescriptivesOptions(Session& session, const MString& text, DescriptivesOptions& options) {
    return descriptivesOptionTable().read(session, text, options);
}

std::vector<double> percentileValues(std::vector<double> values, const std::vector<double>& percentiles) {
    std::sort(values.begin(), values.end());
    const auto n = static_cast<double>(values.size());
    std::vector<double> out;
    for (double q : percentiles) {
        if (values.empty()) {
            out.push_back(kNaN);
            continue;
        }
        const double position = std::floor(n * q / 100.0);
        const std::size_t k = position < 0.0 ? 0 : std::min(values.size() - 1, static_cast<std::size_t>(position));
        out.push_back(values[k]);
    }
    return out;
}

std::vector<double> bandProportions(const std::vector<double>& values, const std::vector<double>& cuts,
                                    bool proportions) {
    std::vector<double> counts(cuts.size() + 1, 0.0);
    for (double y : values) {
        std::size_t k = 0;
        while (k < cuts.size() && !(y <= cuts[k])) ++k;
        counts[k] += 1.0;
    }
    if (proportions)
        for (double& c : counts) c = values.empty() ? kNaN : c / static_cast<double>(values.size());
    return counts;
}

BenchmarkProportions benchmarkReplications(const std::vector<double>& values, double location, double uncertainty,
                                           int replications, int seed, Session* session) {
    RanNormal normal(seed);
    std::vector<double> sorted(values);
    std::sort(sorted.begin(), sorted.end());
    const auto n = static_cast<double>(sorted.size());
    double sum[2] = {0.0, 0.0}, squares[2] = {0.0, 0.0};
    for (int r = 1; r <= replications; ++r) {
        if (session) {
            session->statusText("Replication: " + itoMString(r), 0);
            // The replications run to the end whatever the answer.
            (void)session->pollForStop();
        }
        const double b = location + uncertainty * normal.standard();
        // The values at or below b, as the band of one cut counts them.
        const auto below = static_cast<double>(std::upper_bound(sorted.begin(), sorted.end(), b) - sorted.begin());
        const double pi[2] = {below / n, (n - below) / n};
        for (int c = 0; c < 2; ++c) {
            sum[c] += pi[c];
            squares[c] += pi[c] * pi[c];
        }
    }
    BenchmarkProportions result;
    const auto R = static_cast<double>(replications);
    for (int c = 0; c < 2; ++c) {
        result.mean[c] = replications > 0 ? sum[c] / R : kNaN;
        result.variance[c] =
            replications > 1 ? std::max(0.0, (squares[c] - R * result.mean[c] * result.mean[c]) / (R - 1.0)) : kNaN;
    }
    if (session) session->statusText(" ", 0);
    return result;
}

int exemptionCount(Session& session, const MString& name, const MString& value, const MString& file) {
    if (file.isEmpty()) return 0;
    std::ifstream in;
    if (isRegularFile(file.str())) in.open(file.str());
    if (!in.is_open() || !in) {
        session.errorReport("Cannot read exemptions from the file: " + file);
        return -1;
    }
    std::string word, previous;
    bool found = false;
    while (in >> word) {
        if (previous == "===>" && word == name.str()) {
            found = true;
            break;
        }
        previous = word;
    }
    if (!found) return -1;
    const std::string wanted = value.trim().str();
    for (long long k = 1; in >> word; ++k) {
        if (k % 2 == 1 && word == wanted) {
            std::string count;
            if (!(in >> count)) return 0;
            if (!MString(count).isNumber()) return -1;
            const double c = MString(count).toDouble();
            return c >= 0.0 && c <= 2.0e9 ? static_cast<int>(c) : -1;
        }
    }
    return 0;
}

double plausibleValueError(const std::vector<double>& t, double within) {
    const auto V = static_cast<double>(t.size());
    if (t.size() < 2) return kNaN;
    double s = 0.0, ss = 0.0;
    for (double v : t) {
        s += v;
        ss += v * v;
    }
    // Rounding can leave equal values a hair below zero.
    const double between = std::max(0.0, (ss - s * s / V) / (V - 1.0));
    return std::sqrt(within + (V + 1.0) / V * between);
}

int descriptivesCommand(Session& session, const MString& arguments) {
    Workspace& ws = session.ws;
    if (!ws.est.estimated) {
        session.errorReport("A model must be estimated before descriptive statistics are available");
        return -1;
    }
    const SplitStatement split = splitArguments(arguments);
    const MString file = split.file.trim();
    if (!file.isEmpty() && !prepareOutputFile(session, file)) return -1;

    DescriptivesOptions options;
    if (!split.options.trim().isEmpty() && parseDescriptivesOptions(session, split.options, options) != 1) return -1;

    ReportWriter out(session);
    if (!file.isEmpty() && !openDescriptivesFile(session, out, file)) return -1;
    int status = 1;
    if (ws.est.method == EstimationMethod::Jml && (options.kind == kCaseEap || options.kind == kCaseLatent)) {
        session.errorReport("Neither EAP nor PVs available with JML");
        status = -1;
    } else {
        status = describeGroups(session, out, options);
    }
    if (out.toFile() && !out.closeFile()) return -1;
    return status;
}

OptionWords descriptivesOptionWords() { return descriptivesOptionTable().words(); }

}  // namespace ordena
