#include "analysis/itanal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/case_estimate_supply.h"
#include "analysis/fit.h"
#include "base/delimited_text.h"
#include "base/file_kind.h"
#include "base/number_format.h"
#include "base/special.h"
#include "command/labels.h"
#include "command/option_table.h"
#include "command/parse.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "estimation/estimate_command.h"
#include "estimation/estimation_work.h"
#include "estimation/probabilities.h"
#include "estimation/setup.h"
#include "model/parameter_list.h"
#include "report/category_threshold.h"
#include "report/report_writer.h"

namespace ordena {

namespace {

int categoriesOf(const ModelBuild& build, int g) {
    if (g < 0 || static_cast<std::size_t>(g) >= build.categoryCount.size()) return 0;
    return std::clamp(build.categoryCount[static_cast<std::size_t>(g)], 0, std::max(1, build.maxCategories));
}

}  // namespace

const OptionTable<ItanalOptions>& itanalOptionTable() {
    using V = const OptionValue&;
    using O = ItanalOptions&;
    static const OptionTable<ItanalOptions> table(
        {"itanal", "Error in itanal argument", " An incorrect itanal argument"},
        {
            {"estimates", OptionKind::Choice, "The itanal option must be one of: wle, mle, eap or latent",
             [](V v, O o) {
                 static const int kKinds[] = {kCaseWle, kCaseMle, kCaseEap, kCaseLatent};
                 const int k = choiceOf(v.lower(), {"wle", "mle", "eap", "latent"});
                 if (k < 0) return v.refuse();
                 o.estimates = kKinds[k];
                 // Joint maximum likelihood has no population model to draw from:
                 // the statement ends rather than report numbers from none.
                 const bool jml = v.session.ws.est.method == EstimationMethod::Jml;
                 if (jml && o.estimates == kCaseEap) return v.refuse("EAP estimates are not available with JML");
                 if (jml && o.estimates == kCaseLatent)
                     return v.refuse("Plausible values are not available with JML");
                 return 1;
             }},
            // The refusal keeps the statement's own words; csv came later.
            {"format", OptionKind::Choice, "The format option must be one of: long or export",
             [](V v, O o) {
                 const int k = choiceOf(v.lower(), {"long", "export", "csv"});
                 if (k < 0) return v.refuse();
                 o.format = k + 1;
                 return 1;
             }},
        });
    return table;
}

int parseItanalOptions(Session& session, const MString& text, ItanalOptions& options) {
    const bool jml = session.ws.est.method == EstimationMethod::Jml;
    options = ItanalOptions{};
    options.estimates = jml ? kCaseWle : kCaseLatent;
    SplitStatement split = splitArguments(text);
    if (!split.arguments.trim().isEmpty()) {
        session.errorReport("Error in the argument of the itanal command");
        return -1;
    }
    if (!split.options.trim().isEmpty() && itanalOptionTable().read(session, split.options, options) != 1) return -1;
    options.file = split.file.trim();
    if (options.format >= 2 && options.file.isEmpty()) {
        session.errorReport("A file name must be provided when export format is requested");
        return -1;
    }
    return 1;
}

double categoryScore(const ModelBuild& build, int item, int category) {
    double s = 0.0;
    for (int d = 0; d < build.dimensions; ++d) {
        const std::size_t at = (static_cast<std::size_t>(item) * build.maxCategories + category) * build.dimensions + d;
        if (at < build.scores.size()) s += build.scores[at];
    }
    return s;
}

double itemMaximumScore(const ModelBuild& build, int item) {
    double top = 0.0;
    for (int k = 0; k < categoriesOf(build, item); ++k) top = std::max(top, categoryScore(build, item, k));
    return top;
}

ItanalSums emptySums(const ModelBuild& build, int dimensions) {
    ItanalSums sums;
    sums.items.resize(static_cast<std::size_t>(std::max(0, build.items)));
    for (int g = 0; g < build.items; ++g) {
        ItanalSums::Item& item = sums.items[static_cast<std::size_t>(g)];
        item.categories.resize(static_cast<std::size_t>(categoriesOf(build, g)));
        for (ItanalSums::Category& c : item.categories) {
            c.theta.assign(static_cast<std::size_t>(dimensions), 0.0);
            c.theta2.assign(static_cast<std::size_t>(dimensions), 0.0);
            c.estimated.assign(static_cast<std::size_t>(dimensions), 0.0);
        }
        sums.S += itemMaximumScore(build, g);
    }
    return sums;
}

void addCase(Session& session, const ModelBuild& build, ItanalSums& sums, int caseNumber, int m,
             const std::int32_t* itemNo, const std::int32_t* rsp, const double* estimate, int dimensions,
             std::vector<int>& repeatCounts) {
    const int I = static_cast<int>(sums.items.size());
    repeatCounts.resize(static_cast<std::size_t>(I), 0);
    double M = 0.0, score = 0.0;
    int valid = 0;
    for (int r = 0; r < m; ++r) {
        const int i = itemNo[r], k = rsp[r];
        if (i < 0 || i >= I || k < 0 || k >= static_cast<int>(sums.items[static_cast<std::size_t>(i)].categories.size()))
            continue;
        M += itemMaximumScore(build, i);
        score += categoryScore(build, i, k);
        ++valid;
    }
    double p = score;
    if (M == 0.0)
        session.warningReport("Case " + itoMString(caseNumber) + " has a zero maximum possible score");
    else
        p = score / M;
    sums.N += 1;
    sums.p1 += p;
    sums.p2 += p * p;
    sums.p3 += p * p * p;
    sums.p4 += p * p * p * p;
    sums.responses += valid;
    for (int r = 0; r < m; ++r) {
        const int i = itemNo[r], k = rsp[r];
        if (i < 0 || i >= I) continue;
        ItanalSums::Item& item = sums.items[static_cast<std::size_t>(i)];
        if (k < 0 || k >= static_cast<int>(item.categories.size())) continue;
        const double x = categoryScore(build, i, k);
        // With no maximum the plain score stands in, as for p.
        const double a = M != 0.0 ? x / M : x;
        item.n += 1;
        item.p += p;
        item.p2 += p * p;
        item.x += x;
        item.x2 += x * x;
        item.xp += x * p;
        item.a += a;
        item.a2 += a * a;
        ItanalSums::Category& c = item.categories[static_cast<std::size_t>(k)];
        c.count += 1;
        c.p += p;
        // A case without an estimate (a failed MLE or WLE is NaN) is left
        // out of the category's mean estimate.
        for (int d = 0; d < dimensions && d < static_cast<int>(c.estimated.size()); ++d) {
            const double v = estimate ? estimate[d] : 0.0;
            if (!std::isfinite(v)) continue;
            c.theta[static_cast<std::size_t>(d)] += v;
            c.theta2[static_cast<std::size_t>(d)] += v * v;
            c.estimated[static_cast<std::size_t>(d)] += 1;
        }
        int& seen = repeatCounts[static_cast<std::size_t>(i)];
        if (seen == 0) sums.answered += 1;
        ++seen;
        sums.largestRepeat = std::max(sums.largestRepeat, seen);
    }
    for (int r = 0; r < m; ++r) {
        const int i = itemNo[r];
        if (i >= 0 && i < I) repeatCounts[static_cast<std::size_t>(i)] = 0;
    }
}

std::vector<ItanalItemResult> itemResults(const Workspace& ws, const ItanalSums& sums, int dimensions) {
    std::vector<ItanalItemResult> out;
    const std::vector<MString>& codes = ws.data.passes.t2;
    for (std::size_t g = 0; g < sums.items.size(); ++g) {
        const ItanalSums::Item& item = sums.items[g];
        if (item.categories.empty()) continue;
        ItanalItemResult res;
        res.item = static_cast<int>(g);
        const double n = item.n;
        res.n = n;
        if (n > 0) {
            const double product = (item.x2 - item.x * item.x / n) * (item.p2 - item.p * item.p / n);
            if (product > 0.0) {
                res.discriminationDefined = true;
                res.discrimination = (item.xp - item.x * item.p / n) / std::sqrt(product);
            }
        }
        const double spread = n > 0 ? (item.p2 - item.p * item.p / n) / n : 0.0;
        const double s = spread > 0.0 ? std::sqrt(spread) : 0.0;
        for (std::size_t k = 0; k < item.categories.size(); ++k) {
            const ItanalSums::Category& c = item.categories[k];
            ItanalCategoryResult cr;
            cr.code = k < codes.size() ? codes[k] : itoMString(static_cast<long long>(k));
            cr.score = categoryScore(ws.build, static_cast<int>(g), static_cast<int>(k));
            cr.count = c.count;
            const double q = n > 0 ? c.count / n : 0.0;
            cr.percent = 100.0 * q;
            // Without spread in the proportion scores there is nothing to
            // correlate with.
            if (n > 1 && q > 0.0 && q < 1.0 && s > 0.0) {
                cr.biserial = true;
                cr.r = std::sqrt(q / (1.0 - q)) * (c.p / c.count - item.p / n) / s;
                cr.t = std::fabs(cr.r) < 1.0 ? cr.r * std::sqrt((n - 2.0) / (1.0 - cr.r * cr.r)) : 0.0;
                const int df = static_cast<int>(n) - 2;
                cr.p = df >= 1 ? StudentTProb(cr.t, df) : 0.0;
            }
            cr.meanDefined.assign(static_cast<std::size_t>(dimensions), false);
            cr.mean.assign(static_cast<std::size_t>(dimensions), 0.0);
            cr.sd.assign(static_cast<std::size_t>(dimensions), 0.0);
            for (int d = 0; d < dimensions && d < static_cast<int>(c.estimated.size()); ++d) {
                const double k = c.estimated[static_cast<std::size_t>(d)];
                if (k <= 0) continue;
                const double mean = c.theta[static_cast<std::size_t>(d)] / k;
                double sd = 0.0;
                if (k > 1) {
                    const double v = (c.theta2[static_cast<std::size_t>(d)] - mean * mean * k) / (k - 1);
                    sd = v > 0.0 ? std::sqrt(v) : 0.0;
                }
                cr.meanDefined[static_cast<std::size_t>(d)] = true;
                cr.mean[static_cast<std::size_t>(d)] = mean;
                cr.sd[static_cast<std::size_t>(d)] = sd;
            }
            res.categories.push_back(std::move(cr));
        }
        out.push_back(std::move(res));
    }
    return out;
}

ItanalSummary summaryResults(const ItanalSums& sums, int itemCount) {
    ItanalSummary s;
    const double N = sums.N, I = itemCount, S = sums.S;
    s.N = N;
    s.repeated = sums.largestRepeat > 1;
    // The share of (case, item) pairs without a response: with repeated
    // measures a case answers an item more than once, and counting the
    // responses would make the share negative.
    s.missing = N * I > 0 ? 100.0 * (N * I - sums.answered) / (N * I) : 0.0;
    if (N <= 0) return s;
    const double m1 = sums.p1 / N;
    const double v = sums.p2 / N - m1 * m1;
    const double mu3 = sums.p3 / N - 3.0 * m1 * v - m1 * m1 * m1;
    const double mu4 = sums.p4 / N - 4.0 * m1 * sums.p3 / N + 6.0 * m1 * m1 * sums.p2 / N - 3.0 * m1 * m1 * m1 * m1;
    s.mean = S * m1;
    // One case gives no spread: the N - 1 divisors are then left out.
    const double V = N > 1 ? N * v / (N - 1) : 0.0;
    s.variance = S * S * V;
    s.sd = s.variance > 0.0 ? std::sqrt(s.variance) : 0.0;
    s.skewness = v > 0.0 ? mu3 / std::pow(v, 1.5) : 0.0;
    s.kurtosis = v > 0.0 ? mu4 / (v * v) - 3.0 : 0.0;
    s.seMean = N > 1 && v > 0.0 ? S * std::sqrt(v / (N - 1)) : 0.0;
    double itemVariances = 0.0;
    for (const ItanalSums::Item& item : sums.items)
        if (N > 1) itemVariances += (item.a2 - item.a * item.a / N) / (N - 1);
    if (V > 0.0 && I > 1) s.alpha = std::min(1.0, (I / (I - 1.0)) * (1.0 - itemVariances / V));
    const double error = (1.0 - s.alpha) * S * S * V;
    s.sem = error > 0.0 ? std::sqrt(error) : 0.0;
    return s;
}

bool thresholdsAvailable(const ModelBuild& build) {
    for (int g = 0; g < build.items; ++g)
        for (int k = 0; k < categoriesOf(build, g); ++k) {
            int matching = 0;
            for (int d = 0; d < build.dimensions; ++d) {
                const double b = build.scoreAt(g, k, d);
                if (k > 0 && b == k && matching == 0)
                    ++matching;
                else if (b != 0.0)
                    return false;
            }
            if (k > 0 && matching != 1) return false;
        }
    return true;
}

double itemThreshold(const std::vector<double>& L, const std::vector<double>& scores, int first, int k) {
    return cumulativeThreshold(scores, L, first, k);
}

namespace {

MString variableName(const Workspace& ws, const VariableRef& v) {
    const DataLayout& layout = ws.data.layout;
    if (v.kind == kExplicitVariable && v.index >= 0 && v.index < static_cast<int>(layout.explicitVariables.size()))
        return layout.explicitVariables[static_cast<std::size_t>(v.index)].name;
    if (v.kind == kImplicitVariable && v.index >= 0 && v.index < static_cast<int>(layout.implicitVariables.size()))
        return layout.implicitVariables[static_cast<std::size_t>(v.index)].name;
    return MString();
}

}  // namespace

MString itemDescription(const Workspace& ws, int g) {
    std::vector<std::int32_t> levels;
    generalisedItemLevels(g, ws.build.levelCounts, levels);
    MString text;
    for (int j = 0; j < ws.model.modelVariableCount() && j < static_cast<int>(levels.size()); ++j) {
        const VariableRef v = ws.model.modelVariableAt(j);
        const MString name = variableName(ws, v);
        const int level = levels[static_cast<std::size_t>(j)];
        MString label;
        if (v.kind == kExplicitVariable) {
            MString code = itoMString(level + 1);
            for (const ValueList& list : ws.data.passes.valueLists)
                if (list.variable == v.index && level >= 0 && level < static_cast<int>(list.values.size()))
                    code = list.values[static_cast<std::size_t>(level)];
            label = labelLookup(ws, name, kLabelExplicit, code);
        } else {
            label = labelLookup(ws, name, kLabelImplicit, itoMString(level + 1));
        }
        if (!text.isEmpty()) text += " ";
        text += name + ":" + itoMString(level + 1) + " (" + label + ")";
    }
    return text;
}

std::vector<ItemFacts> itemFacts(Session& session) {
    Workspace& ws = session.ws;
    const EstimationState& est = ws.est;
    const ModelBuild& build = ws.build;
    std::vector<ItemFacts> facts(static_cast<std::size_t>(std::max(0, build.items)));
    EstimationWork work;
    loadModel(work, build, est.parameters());
    if (est.parameters() > 0) computeAXsi(work, est.xsi);
    else work.axsi.assign(static_cast<std::size_t>(work.I) * work.maxCat, 0.0);
    const bool available = thresholdsAvailable(build);

    // The fit line of an item: its parameter's group in the term without a
    // step, when the model is one term or an item term plus a step term.
    int itemTerm = -1;
    const int terms = static_cast<int>(ws.model.terms.size());
    if (terms == 1 && !ws.model.terms[0].hasStep()) itemTerm = 0;
    if (terms == 2 && ws.model.terms[0].hasStep() != ws.model.terms[1].hasStep())
        itemTerm = ws.model.terms[0].hasStep() ? 1 : 0;
    std::vector<LayoutGroup> groups;
    if (itemTerm >= 0 && est.fitAvailable && !build.importedDesign) {
        groups = parameterLayoutGroups(ws.model, build, est.keptParameters);
        if (groups.size() != est.fit.size()) groups.clear();
    }
    std::vector<std::int32_t> levels;
    for (int g = 0; g < build.items; ++g) {
        ItemFacts& f = facts[static_cast<std::size_t>(g)];
        if (std::find(est.nonIdentifiedItems.begin(), est.nonIdentifiedItems.end(), g) != est.nonIdentifiedItems.end())
            continue;
        const int ncat = work.ncat[static_cast<std::size_t>(g)];
        // A category below the lowest one observed is a null category: no
        // ability makes the responses above it less likely than one half.
        if (available && ncat > 1 && work.first[static_cast<std::size_t>(g)] == 0) {
            f.thresholds = true;
            std::vector<double> L(static_cast<std::size_t>(ncat)), b(static_cast<std::size_t>(ncat));
            for (int k = 0; k < ncat; ++k) {
                L[static_cast<std::size_t>(k)] = work.axsi[static_cast<std::size_t>(g) * work.maxCat + k];
                b[static_cast<std::size_t>(k)] = categoryScore(build, g, k);
            }
            for (int k = 1; k < ncat; ++k) {
                f.threshold.push_back(itemThreshold(L, b, 0, k));
                f.delta.push_back(k == 1 ? -L[1] : -(L[static_cast<std::size_t>(k)] - L[static_cast<std::size_t>(k - 1)]));
            }
        }
        if (!groups.empty()) {
            generalisedItemLevels(g, build.levelCounts, levels);
            for (std::size_t j = 0; j < groups.size(); ++j) {
                const LayoutGroup& group = groups[j];
                if (group.term != itemTerm || group.category >= 0) continue;
                bool match = true;
                for (std::size_t v = 0; v < group.levels.size(); ++v)
                    if (group.levels[v] >= 0 && (v >= levels.size() || group.levels[v] != levels[v])) match = false;
                if (!match) continue;
                f.weighted = true;
                f.weightedMeanSquare = est.fit[j].weightedMeanSquare;
                break;
            }
        }
    }
    return facts;
}

namespace {

MString padded(const MString& text, int width) {
    MString line = reportLine(width);
    line.overlay(text, 0);
    return line;
}

std::vector<MString> longReport(Session& session, const std::vector<ItanalItemResult>& items,
                                const ItanalSummary& summary, const MString& estimateLabel, int D) {
    Workspace& ws = session.ws;
    const int W = 19 * D + 59;
    const std::vector<ItemFacts> facts = itemFacts(session);
    std::vector<MString> lines;
    const MString dashes = MString::repeat('-', W);
    for (const ItanalItemResult& item : items) {
        const ItemFacts& f = facts[static_cast<std::size_t>(item.item)];
        lines.push_back("Item " + itoMString(item.item + 1));
        lines.push_back(dashes);
        lines.push_back(itemDescription(ws, item.item));
        lines.push_back("Cases for this item " + dtoMString(item.n, "%6.0f") + "   " + "Discrimination " +
                        (item.discriminationDefined ? dtoMString(item.discrimination, "%5.2f") : MString("NA")));
        MString thresholds = "Item ";
        MString deltas = "Item ";
        if (f.thresholds) {
            thresholds += "Threshold(s):   ";
            for (double t : f.threshold) thresholds += dtoMString(t, "%6.2f");
            deltas += "Delta(s):";
            for (double d : f.delta) deltas += dtoMString(d, "%6.2f");
        } else {
            thresholds += "Threshold(s): NOT AVAILABLE";
            deltas += "Delta(s): NOT AVAILABLE";
        }
        thresholds += "   ";
        thresholds += f.weighted ? "Weighted MNSQ " + dtoMString(f.weightedMeanSquare, "%6.2f") : MString("Weighted MNSQ: NOT AVAILABLE");
        lines.push_back(thresholds);
        lines.push_back(deltas);
        lines.push_back(dashes);
        MString head(W);
        head.centre("Label", 0, 8);
        head.overlay("Score", 10);
        head.overlay("Count", 20);
        head.overlay("% of tot", 28);
        head.overlay("Pt Bis", 38);
        head.overlay("t  (p)", 49);
        for (int d = 1; d <= D; ++d) {
            head.overlay(estimateLabel + "Avg:" + itoMString(d), 58 + 19 * (d - 1));
            head.overlay(estimateLabel + " SD:" + itoMString(d), 67 + 19 * (d - 1));
        }
        lines.push_back(head);
        lines.push_back(dashes);
        for (const ItanalCategoryResult& c : item.categories) {
            MString line(W);
            line.centre(c.code, 0, 8);
            if (c.count != 0) line.overlay(dtoMString(c.score, "%5.2f"), 10);
            line.overlay(dtoMString(c.count, "%6.0f"), 18);
            line.overlay(dtoMString(c.percent, "%6.2f"), 29);
            line.overlay(c.biserial ? dtoMString(c.r, "%5.2f") : MString("  NA"), 38);
            line.overlay(c.biserial ? dtoMString(c.t, "%6.2f") : MString("   NA"), 46);
            line.overlay(dtoMString(c.p, "%4.3f"), 52);
            line.overlay("(", 52);
            line.overlay(")", 57);
            for (int d = 0; d < D; ++d) {
                const bool defined = d < static_cast<int>(c.meanDefined.size()) && c.meanDefined[static_cast<std::size_t>(d)];
                line.overlay(defined ? dtoMString(c.mean[static_cast<std::size_t>(d)], "%5.2f") : MString("   NA"), 59 + 19 * d);
                line.overlay(defined ? dtoMString(c.sd[static_cast<std::size_t>(d)], "%5.2f") : MString("   NA"), 68 + 19 * d);
            }
            lines.push_back(line);
        }
    }
    lines.push_back(MString::repeat('=', W));
    lines.push_back(dashes);
    const bool reliability = !summary.repeated && summary.missing < 10.0;
    if (summary.repeated) {
        lines.push_back("Your model includes repeated measures.");
        lines.push_back("Reliability indices will not be reported.");
    } else if (summary.missing < 10.0) {
        lines.push_back(MString("The following traditional statistics are only meaningful for complete ") + "designs and when ");
        lines.push_back("the amount of missing data is minimal.");
    }
    lines.push_back("In this analysis " + dtoMString(summary.missing, "%5.2f") + "%" + "  of the data are missing.");
    lines.push_back("");
    lines.push_back("The following results are scaled to assume that a single response");
    lines.push_back("was provided for each item.");
    lines.push_back("");
    auto row = [&](const char* label, const MString& value) { lines.push_back(padded(label, 30) + value); };
    row("N", dtoMString(summary.N, "%6.0f"));
    row("Mean", dtoMString(summary.mean, "%6.2f"));
    row("Standard Deviation", dtoMString(summary.sd, "%6.2f"));
    row("Variance", dtoMString(summary.variance, "%8.2f"));
    row("Skewness", dtoMString(summary.skewness, "%6.2f"));
    row("Kurtosis", dtoMString(summary.kurtosis, "%6.2f"));
    row("Standard error of mean", dtoMString(summary.seMean, "%6.2f"));
    if (reliability) {
        row("Standard error of measurement ", dtoMString(summary.sem, "%6.2f"));
        row("Coefficient Alpha", dtoMString(summary.alpha, "%6.2f"));
        // Alpha splits the proportion score into item parts, and an item a
        // case did not answer is a part of 0: with missing responses the
        // figure is not that of complete cases or of pairwise methods.
        if (summary.missing > 0.0) {
            lines.push_back("Note: missing responses entered coefficient alpha and the standard error of");
            lines.push_back("measurement as item scores of zero.");
        }
    }
    return lines;
}

MString exportNumber(bool defined, double v) {
    if (!defined || !std::isfinite(v)) return "NA";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6f", v);
    return MString(buffer);
}

// One tab-separated line per item: number, cases, discrimination, the
// category count and per category its code, score, count, percentage,
// point-biserial, t, p and the mean and SD of the estimate per dimension;
// then one summary line.
std::vector<MString> exportReport(const std::vector<ItanalItemResult>& items, const ItanalSummary& summary, int D) {
    std::vector<MString> lines;
    for (const ItanalItemResult& item : items) {
        MString line = itoMString(item.item + 1) + "\t" + exportNumber(true, item.n) + "\t" +
                       exportNumber(item.discriminationDefined, item.discrimination) + "\t" +
                       itoMString(static_cast<long long>(item.categories.size()));
        for (const ItanalCategoryResult& c : item.categories) {
            line += "\t" + c.code.trim() + "\t" + exportNumber(true, c.score) + "\t" + exportNumber(true, c.count) + "\t" +
                    exportNumber(true, c.percent) + "\t" + exportNumber(c.biserial, c.r) + "\t" +
                    exportNumber(c.biserial, c.t) + "\t" + exportNumber(c.biserial, c.p);
            for (int d = 0; d < D; ++d) {
                const bool defined = d < static_cast<int>(c.meanDefined.size()) && c.meanDefined[static_cast<std::size_t>(d)];
                line += "\t" + exportNumber(defined, defined ? c.mean[static_cast<std::size_t>(d)] : 0.0) + "\t" +
                        exportNumber(defined, defined ? c.sd[static_cast<std::size_t>(d)] : 0.0);
            }
        }
        lines.push_back(line);
    }
    const bool reliability = !summary.repeated && summary.missing < 10.0;
    lines.push_back("summary\t" + exportNumber(true, summary.N) + "\t" + exportNumber(true, summary.mean) + "\t" +
                    exportNumber(true, summary.sd) + "\t" + exportNumber(true, summary.variance) + "\t" +
                    exportNumber(true, summary.skewness) + "\t" + exportNumber(true, summary.kurtosis) + "\t" +
                    exportNumber(true, summary.seMean) + "\t" + exportNumber(reliability, summary.sem) + "\t" +
                    exportNumber(reliability, summary.alpha) + "\t" + exportNumber(true, summary.missing));
    return lines;
}

// One comma-separated line per category of each item with a header: the
// item's number, cases and discrimination, then the category's code,
// score, count, percentage, point-biserial, t and p, and the mean and SD of
// the estimate per dimension.
std::vector<MString> csvReport(const std::vector<ItanalItemResult>& items, const MString& label, int D) {
    std::vector<MString> header{"item", "cases", "discrimination", "category", "score", "count", "percent",
                                "pt_bis", "t", "p"};
    const MString name = label.lower();
    for (int d = 0; d < D; ++d) {
        const MString suffix = D > 1 ? "_" + itoMString(d + 1) : MString();
        header.push_back(name + "_mean" + suffix);
        header.push_back(name + "_sd" + suffix);
    }
    std::vector<MString> lines{csvLine(header)};
    auto number = [](bool defined, double v) { return defined ? csvNumber(v) : MString("NA"); };
    for (const ItanalItemResult& item : items)
        for (const ItanalCategoryResult& c : item.categories) {
            std::vector<MString> f{itoMString(item.item + 1), csvNumber(item.n),
                                   number(item.discriminationDefined, item.discrimination),
                                   csvField(c.code.trim().view()), number(c.count > 0, c.score), csvNumber(c.count),
                                   csvNumber(c.percent), number(c.biserial, c.r), number(c.biserial, c.t),
                                   number(c.biserial, c.p)};
            for (int d = 0; d < D; ++d) {
                const bool defined = d < static_cast<int>(c.meanDefined.size()) && c.meanDefined[static_cast<std::size_t>(d)];
                f.push_back(number(defined, defined ? c.mean[static_cast<std::size_t>(d)] : 0.0));
                f.push_back(number(defined, defined ? c.sd[static_cast<std::size_t>(d)] : 0.0));
            }
            lines.push_back(csvLine(f));
        }
    // The report writer ends each line itself.
    for (MString& l : lines) l = l.mid(0, l.length() - 1);
    return lines;
}

}  // namespace

int itanalCommand(Session& session, const MString& arguments) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    if (!est.estimated && estimateCommand(session, " !iter=0,fit=no") != 1) return -1;
    if (!est.estimated) return -1;

    ItanalOptions options;
    if (parseItanalOptions(session, arguments, options) != 1) return -1;
    ReportWriter out(session);
    if (!options.file.isEmpty()) {
        const bool append = ws.replication >= 1;
        if (!prepareOutputFile(session, options.file)) return -1;
        // Checked here so that the failure carries this statement's message.
        std::FILE* probe = options.file.str().find('\0') == std::string::npos
                               ? openForWriting(options.file.str(), append ? "a" : "w")
                               : nullptr;
        if (!probe) {
            session.errorReport("The file: '" + options.file + "' cannot be opened");
            return -1;
        }
        std::fclose(probe);
        if (!out.openFile(options.file, append)) return -1;
    }
    if (ensureCaseEstimates(session, options.estimates) != 1) return -1;
    const int D = std::max(1, est.dimensions());
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    MString label;
    std::size_t offset = 0;
    switch (options.estimates) {
        case kCaseWle: label = "WLE"; offset = records.wleAt(); break;
        case kCaseMle: label = "MLE"; offset = records.mleAt(); break;
        case kCaseEap: label = "EAP"; offset = records.eapAt(); break;
        default: label = "PV1"; offset = records.plausibleAt(); break;
    }
    const bool plausible = options.estimates == kCaseLatent;

    session.statusText("Accumulating Counts", 0);
    ItanalSums sums = emptySums(ws.build, D);
    std::vector<std::int32_t> itemNo(kMaxCaseResponses + 1), rsp(kMaxCaseResponses + 1);
    std::vector<int> repeats;
    std::vector<double> estimate(static_cast<std::size_t>(D));
    ResponseReader reader(ws.data.passes, true);
    if (reader.open(session) != 1) return -1;
    for (;;) {
        int caseNumber = -1;
        bool last = false;
        const int m = reader.next(caseNumber, itemNo.data(), rsp.data(), last, session);
        if (m < 0) return -1;
        if (caseNumber >= 0) {
            const double* theta = nullptr;
            if (records.valid(caseNumber)) {
                const double* r = records.record(caseNumber);
                for (int d = 0; d < D; ++d)
                    estimate[static_cast<std::size_t>(d)] =
                        plausible ? r[offset + static_cast<std::size_t>(d) * records.V] : r[offset + d];
                theta = estimate.data();
            }
            addCase(session, ws.build, sums, caseNumber + 1, m, itemNo.data(), rsp.data(), theta, D, repeats);
        }
        if (last) break;
    }
    reader.close();

    const std::vector<ItanalItemResult> items = itemResults(ws, sums, D);
    const ItanalSummary summary = summaryResults(sums, ws.build.items);
    if (options.format == 3) {
        out.lines(csvReport(items, label, D));
    } else if (options.format == 2) {
        out.lines(exportReport(items, summary, D));
    } else {
        out.pageHeader(MString("GENERALISED ITEM ANALYSIS") +
                       (est.method == EstimationMethod::Jml ? ": Joint Maximum Likelihood Estimation" : ""));
        out.lines(longReport(session, items, summary, label, D));
    }
    session.statusText(" ", 0);
    if (out.toFile() && !out.closeFile()) return -1;
    return 1;
}

OptionWords itanalOptionWords() { return itanalOptionTable().words(); }

}  // namespace ordena
