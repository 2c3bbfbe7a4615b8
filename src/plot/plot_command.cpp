#include "plot/plot_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/case_estimate_supply.h"
#include "analysis/itanal.h"
#include "base/delimited_text.h"
#include "base/number_format.h"
#include "base/textfile.h"
#include "command/parse.h"
#include "command/session.h"
#include "data/response_reader.h"
#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "estimation/estimation_work.h"
#include "estimation/probabilities.h"
#include "estimation/setup.h"
#include "plot/axis.h"
#include "plot/data_table.h"
#include "plot/model_curves.h"
#include "plot/plot_data.h"
#include "plot/plot_groups.h"
#include "plot/plot_options.h"
#include "report/report_writer.h"

namespace ordena {

namespace {

// A position as a vector index.
inline std::size_t ix(int i) { return static_cast<std::size_t>(i); }

struct TypeText {
    const char* titleWord;
    const char* heading;
    const char* yTitle;
    const char* tableHeading;
};

// By plot type, in the order of kPlotTypeWords.
const TypeText kTypeText[kPlotTypeCount] = {
    {"ICC", "Characteristic Curve(s) By Score", "Probability", "DATA TABLE FOR ICC PLOT"},
    {"Expected", "Expected Score Curve(s)", "Expected Score", "DATA TABLE FOR EXPECTED SCORE"},
    {"CCC", "Cumulative Probability Curve(s)", "Probability", "DATA TABLE FOR CCC PLOT"},
    {"Test CC", "Test Characteristic Curve", "Expected Score", ""},
    {"Item Information", "Item Information Function", "Information", ""},
    {"Test Information", "Test Information", "Information", ""},
    {"ICC", "Characteristic Curve(s) By Category", "Probability", "DATA TABLE FOR DISTRACTOR PLOT"},
};

const char* const kXTitle = "Latent Trait (logits)";

// Colours of the curves in a window, in turn; the observations of a curve
// take its colour.
const int kPalette[] = {kBlue, kRed,         kDarkGreen, kMagenta, kDarkCyan, kDarkYellow, kDarkRed, kDarkBlue,
                        kGrey, kDarkMagenta, kGreen,     kCyan,    kDarkGrey, kBlack,      kYellow};
// Markers of the observations, group by group.
const int kGroupMarkers[] = {kPointFilledCircle, kPointFilledSquare, kPointFilledTriangle, kPointCircle,
                             kPointSquare,       kPointTriangle,     kPointCrosshair};

PlotFinish finishOf(int type) {
    return type == kPlotCcc        ? PlotFinish::Cumulative
           : type == kPlotExpected ? PlotFinish::AverageScore
                                   : PlotFinish::Proportions;
}

bool observedType(int type) {
    return type == kPlotIcc || type == kPlotExpected || type == kPlotCcc || type == kPlotMcc;
}

MString formatted(const char* format, int a, int b = 0) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return MString(buffer);
}

const char* estimatorLine(int estimates) {
    switch (estimates) {
        case kCaseMle: return "Estimator type is maximum likelihood";
        case kCaseWle: return "Estimator type is weighted maximum likelihood";
        case kCaseEap: return "Estimator type is expected a-posteriori";
        default: return "Estimator type is plausible value";
    }
}

// One plotted generalised item.
struct PlotItem {
    int g = 0;
    ItemCurveModel model;
    std::vector<int> drawn;  // the categories with a curve
};

// The categories that get a curve: icc every one (only the upper of two),
// ccc and mcc from the second; the others have one curve per item.
std::vector<int> drawnCategories(int type, const ItemCurveModel& m) {
    std::vector<int> out;
    const int n = m.categories();
    int from = m.first;
    if ((type == kPlotIcc && n - m.first == 2) || type == kPlotCcc || type == kPlotMcc) from = m.first + 1;
    for (int k = from; k < n; ++k) out.push_back(k);
    return out;
}

// The plot's range of abilities: the latent display range, at least -5 to
// 5, unless the statement gives a usable range.
void scaleRange(const PlotSettings& s, const EstimationState& est, double& lo, double& hi) {
    const double low = std::min(static_cast<double>(est.displayLow), -5.0);
    const double high = std::max(static_cast<double>(est.displayHigh), 5.0);
    lo = s.minscaleGiven ? s.minscale : low;
    hi = s.maxscaleGiven ? s.maxscale : high;
    // A range that holds nothing (the dialog's 999 and -999) means the default.
    if (!(lo < hi)) {
        lo = low;
        hi = high;
    }
}

// The checks of the items: 1 with the items to plot, or -1 after the report.
int selectItems(Session& session, const PlotSettings& s, std::vector<PlotItem>& items) {
    Workspace& ws = session.ws;
    const ModelBuild& build = ws.build;
    const EstimationState& est = ws.est;
    std::vector<int> listed;
    if (expandItemList(s, build.items, listed) != 1) return -1;
    EstimationWork work;
    loadModel(work, build, est.parameters());
    if (est.parameters() > 0)
        computeAXsi(work, est.xsi);
    else
        work.axsi.assign(ix(work.I) * work.maxCat, 0.0);
    const int D = std::max(1, build.dimensions);
    for (int g : listed) {
        const auto gi = ix(g);
        const int ncat = work.ncat[gi], first = work.first[gi];
        const bool unidentified =
            std::find(est.nonIdentifiedItems.begin(), est.nonIdentifiedItems.end(), g) != est.nonIdentifiedItems.end();
        if (ncat - first < 2 || unidentified) {
            session.warningReport("No modelled curves available for generalised item " + itoMString(g + 1));
            continue;
        }
        PlotItem item;
        item.g = g;
        int dimension = -1;
        for (int k = 0; k < ncat; ++k) {
            double score = 0.0;
            for (int d = 0; d < D; ++d) {
                const double b = work.scores[(gi * work.maxCat + k) * D + d];
                if (b == 0.0) continue;
                if (dimension >= 0 && dimension != d) {
                    session.errorReport("Plots are not available for within item multdimensional models");
                    return -1;
                }
                dimension = d;
                score += b;
            }
            item.model.logits.push_back(work.axsi[gi * work.maxCat + k]);
            item.model.scores.push_back(score);
        }
        item.model.first = first;
        item.model.dimension = std::max(0, dimension);
        item.drawn = drawnCategories(s.type, item.model);
        items.push_back(std::move(item));
    }
    if (D > 1 && (s.type == kPlotIinfo || s.type == kPlotTinfo)) {
        session.errorReport("Information plots are not available for multidimensional models");
        return -1;
    }
    if (D > 1 && s.type == kPlotTcc) {
        session.errorReport("Test characteristic curves are not available for multidimensional models");
        return -1;
    }
    if (items.empty()) {
        session.errorReport("There are no items to plot");
        return -1;
    }
    if (static_cast<int>(listed.size()) > ws.settings.plotwindows) {
        session.errorReport("Too many generalised items selected for plotting.  The maximum is set at " +
                            itoMString(ws.settings.plotwindows));
        return -1;
    }
    return 1;
}

// The estimate of a case on a dimension from its case score record.
double caseEstimate(const CaseScoreRecords& records, int caseNumber, int type, int d) {
    const double* r = records.record(caseNumber);
    switch (type) {
        case kCaseWle: return r[records.wleAt() + ix(d)];
        case kCaseMle: return r[records.mleAt() + ix(d)];
        case kCaseEap: return r[records.eapAt() + ix(d)];
        default: return r[records.plausibleAt() + ix(d) * ix(records.V)];
    }
}

// The binned observations of every plotted item in every group:
// data[group][position of the item]. 1, or -1 after the report.
int collectObservations(Session& session, const PlotSettings& s, const std::vector<PlotItem>& items,
                        const PlotGroups& groups, std::vector<std::vector<PlotData>>& data) {
    Workspace& ws = session.ws;
    if (ensureCaseEstimates(session, s.estimates) != 1) return -1;
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    const int D = std::max(1, ws.est.dimensions());
    const int I = ws.build.items;
    std::vector<int> position(static_cast<std::size_t>(std::max(0, I)), -1);
    for (std::size_t i = 0; i < items.size(); ++i) position[ix(items[i].g)] = static_cast<int>(i);

    std::vector<std::int32_t> itemNo(kMaxCaseResponses + 1), rsp(kMaxCaseResponses + 1);
    // Hands every case with responses to visit(case number, count).
    auto eachCase = [&](auto visit) {
        ResponseReader reader(ws.data.passes, true);
        if (reader.open(session) != 1) return -1;
        for (;;) {
            int caseNumber = -1;
            bool last = false;
            const int m = reader.next(caseNumber, itemNo.data(), rsp.data(), last, session);
            if (m < 0) return -1;
            if (caseNumber >= 0 && m > 0 && records.valid(caseNumber)) visit(caseNumber, m);
            if (last) break;
        }
        reader.close();
        return 1;
    };

    // The cut points, per dimension.
    std::vector<std::vector<double>> cuts(ix(D));
    if (s.bintype == kBinWidth) {
        for (auto& c : cuts) c = widthCuts(s.bins, s.mincut, s.maxcut);
    } else {
        std::vector<std::vector<double>> values(ix(D));
        if (eachCase([&](int n, int) {
                for (int d = 0; d < D; ++d) {
                    const double x = caseEstimate(records, n, s.estimates, d);
                    if (std::isfinite(x)) values[ix(d)].push_back(x);
                }
            }) != 1)
            return -1;
        for (int d = 0; d < D; ++d) cuts[ix(d)] = sizeCuts(s.bins, values[ix(d)]);
    }

    data.assign(groups.count(), std::vector<PlotData>(items.size()));
    for (std::size_t gr = 0; gr < groups.count(); ++gr)
        for (std::size_t i = 0; i < items.size(); ++i) {
            PlotData& pd = data[gr][i];
            const ItemCurveModel& m = items[i].model;
            if (pd.resize(s.bins, m.categories()) != 1) return -1;
            if (pd.setCuts(cuts[ix(m.dimension)]) != 1) return -1;
            for (int k = 0; k < m.categories(); ++k) {
                const std::size_t at = ix(k);
                const MString code = at < ws.data.passes.t2.size() ? ws.data.passes.t2[at].trim() : itoMString(k);
                pd.columnLabels[at] = code;
            }
        }

    session.statusText("Accumulating Counts", 0);
    if (eachCase([&](int n, int m) {
            const int gr = groups.groupOf(n);
            if (gr < 0) return;
            for (int r = 0; r < m; ++r) {
                const int g = itemNo[ix(r)];
                if (g < 0 || g >= I || position[ix(g)] < 0) continue;
                const std::size_t i = static_cast<std::size_t>(position[ix(g)]);
                data[ix(gr)][i].add(caseEstimate(records, n, s.estimates, items[i].model.dimension), rsp[ix(r)]);
            }
        }) != 1)
        return -1;
    session.statusText(" ", 0);

    const PlotFinish how = finishOf(s.type);
    for (std::size_t gr = 0; gr < groups.count(); ++gr)
        for (std::size_t i = 0; i < items.size(); ++i) {
            PlotData& pd = data[gr][i];
            pd.finish(how, items[i].model.scores);
            pd.labels[PlotData::kHeading] = kTypeText[s.type].tableHeading;
            pd.labels[PlotData::kEstimator] = estimatorLine(s.estimates);
            pd.labels[PlotData::kGroup] = groups.label(gr);
            pd.labels[PlotData::kItem] = "Item " + itoMString(items[i].g + 1);
            pd.labels[PlotData::kXTitle] = kXTitle;
            pd.labels[PlotData::kYTitle] = kTypeText[s.type].yTitle;
        }
    return 1;
}

// The windows of the statement: the items plotted in each.
std::vector<std::vector<std::size_t>> windowsOf(const PlotSettings& s, std::size_t items) {
    std::vector<std::vector<std::size_t>> windows;
    const bool together = s.overlay || s.type == kPlotTcc || s.type == kPlotTinfo;
    for (std::size_t i = 0; i < items; ++i) {
        if (!together || windows.empty()) windows.emplace_back();
        windows.back().push_back(i);
    }
    return windows;
}

// The notes of an item's window: what it is, then its thresholds, deltas
// and weighted mean square, as the item analysis shows them.
std::vector<MString> itemNotes(Session& session, int g, const ItemFacts& f) {
    std::vector<MString> notes;
    const MString description = itemDescription(session.ws, g);
    notes.push_back("Item " + itoMString(g + 1) + (description.isEmpty() ? MString() : ": " + description));
    MString thresholds, deltas;
    if (f.thresholds) {
        thresholds = "Threshold(s):";
        for (double t : f.threshold) thresholds += printFormat("%6.2f", t);
        deltas = "Delta(s):";
        for (double d : f.delta) deltas += printFormat("%6.2f", d);
    } else {
        thresholds = "Threshold(s): NOT AVAILABLE";
        deltas = "Delta(s): NOT AVAILABLE";
    }
    thresholds += "   ";
    thresholds += f.weighted ? "Weighted MNSQ" + printFormat("%6.2f", f.weightedMeanSquare)
                             : MString("Weighted MNSQ: NOT AVAILABLE");
    notes.push_back(thresholds);
    notes.push_back(deltas);
    return notes;
}

// One window: its options, its model curves and its observations. 1, or -1.
int drawWindow(Session& session, const PlotSettings& s, const std::vector<PlotItem>& items,
               const std::vector<std::size_t>& members, const std::vector<std::vector<PlotData>>& data,
               const PlotGroups& groups, const std::vector<ItemFacts>& facts, double lo, double hi) {
    const TypeText& text = kTypeText[s.type];
    std::vector<int> gs;
    for (std::size_t i : members) gs.push_back(items[i].g);
    const bool single = members.size() == 1 && s.type != kPlotTcc && s.type != kPlotTinfo;
    const MString who = single ? "Item " + itoMString(gs[0] + 1) : "Items " + itemListText(gs);
    const int window = session.openGraph(who + " - " + text.titleWord);
    const std::vector<double> thetas = curveAbilities(lo, hi);

    int colour = 0;
    auto styleOf = [&](int c) {
        SeriesStyle st;
        st.lineColour = st.pointColour = kPalette[c % static_cast<int>(std::size(kPalette))];
        return st;
    };
    auto addCurve = [&](const MString& name, int item, int category, auto value) {
        const int series = session.createSeries(window, name);
        if (series < 0) {
            session.warningReport(formatted("You have already plotted 'Item %d Category %d'.", item + 1, category + 1));
            return -1;
        }
        session.setSeriesStyle(window, series, styleOf(colour));
        for (double t : thetas) session.appendPoint(window, series, t, value(t));
        return colour++;
    };

    double yLow = 0.0, yHigh = 1.0, xLow = lo, xHigh = hi;
    std::vector<std::vector<int>> curveColour(members.size());
    if (s.type == kPlotTcc || s.type == kPlotTinfo) {
        const bool info = s.type == kPlotTinfo;
        const MString name =
            info ? "Test Information Function: " + itemListText(gs) : "Test Characteristic Curve:" + itemListText(gs);
        auto sum = [&](double t) {
            double v = 0.0;
            for (std::size_t i : members)
                v += info ? itemInformation(items[i].model, t) : expectedScore(items[i].model, t);
            return v;
        };
        addCurve(name, gs[0], 0, sum);
        yHigh = 0.0;
        if (!info)
            for (std::size_t i : members) {
                const std::vector<double>& b = items[i].model.scores;
                yHigh += *std::max_element(b.begin() + items[i].model.first, b.end());
                yLow += *std::min_element(b.begin() + items[i].model.first, b.end());
            }
        else
            for (double t : thetas) yHigh = std::max(yHigh, sum(t));
    } else {
        if (s.type == kPlotExpected || s.type == kPlotIinfo) yHigh = 0.0;
        for (std::size_t w = 0; w < members.size(); ++w) {
            const PlotItem& item = items[members[w]];
            const int g = item.g;
            if (s.type == kPlotExpected) {
                curveColour[w].push_back(addCurve(formatted("Item %d Expected Score", g + 1), g, 0,
                                                  [&](double t) { return expectedScore(item.model, t); }));
                const std::vector<double>& b = item.model.scores;
                yHigh = std::max(yHigh, *std::max_element(b.begin() + item.model.first, b.end()));
                yLow = std::min(yLow, *std::min_element(b.begin() + item.model.first, b.end()));
            } else if (s.type == kPlotIinfo) {
                addCurve(formatted("Item %d Information Function", g + 1), g, 0,
                         [&](double t) { return itemInformation(item.model, t); });
                for (double t : thetas) yHigh = std::max(yHigh, itemInformation(item.model, t));
            } else {
                const bool cumulative = s.type == kPlotCcc;
                for (int k : item.drawn)
                    curveColour[w].push_back(
                        addCurve(formatted("Item %d Model Probability Category %d", g + 1, k + 1), g, k, [&](double t) {
                            const std::vector<double> p = cumulative ? cumulativeProbabilities(item.model, t)
                                                                     : categoryProbabilities(item.model, t);
                            return p[ix(k)];
                        }));
            }
        }
    }

    // The observations, group by group, in the colours of their curves.
    if (s.rawdata && observedType(s.type) && !data.empty()) {
        for (std::size_t gr = 0; gr < groups.count(); ++gr)
            for (std::size_t w = 0; w < members.size() && groups.shown(gr); ++w) {
                const PlotItem& item = items[members[w]];
                const PlotData& pd = data[gr][members[w]];
                const std::vector<int> columns = s.type == kPlotExpected ? std::vector<int>{0} : item.drawn;
                for (std::size_t c = 0; c < columns.size(); ++c) {
                    const int k = columns[c];
                    const MString name =
                        "Group " + itoMString(groups.number(gr)) + formatted(" Item %d Category %d", item.g + 1, k + 1);
                    const int series = session.createSeries(window, name);
                    if (series < 0) {
                        session.warningReport(
                            formatted("You have already plotted 'Item %d Category %d'.", item.g + 1, k + 1));
                        continue;
                    }
                    SeriesStyle st =
                        styleOf(c < curveColour[w].size() && curveColour[w][c] >= 0 ? curveColour[w][c] : colour++);
                    st.showPoints = 1;
                    st.showLine = s.joinraw ? 1 : 0;
                    st.lineStyle = kLineDash;
                    st.pointStyle = kGroupMarkers[gr % std::size(kGroupMarkers)];
                    session.setSeriesStyle(window, series, st);
                    for (int b = 0; b < pd.bins(); ++b) {
                        if (!pd.hasData[ix(b)]) continue;
                        const double x = pd.means[ix(b)];
                        session.appendPoint(window, series, x, pd.proportions[b][k]);
                        xLow = std::min(xLow, x);
                        xHigh = std::max(xHigh, x);
                    }
                }
            }
    }

    GraphOptions o;
    o.heading = text.heading;
    o.xTitle = kXTitle;
    o.yTitle = text.yTitle;
    if (single && s.type != kPlotTcc && s.type != kPlotTinfo) o.notes = itemNotes(session, gs[0], facts[ix(gs[0])]);
    o.legend = s.legend ? 1 : 0;
    o.xAuto = 0;
    o.xMin = xLow;
    o.xMax = xHigh;
    // Information has no natural top: that axis follows the curves.
    const bool information = s.type == kPlotIinfo || s.type == kPlotTinfo;
    o.yAuto = information ? 1 : 0;
    o.yMin = yLow;
    o.yMax = yHigh > yLow ? yHigh : yLow + 1.0;
    // As many digits as the ticks need.
    o.xPrecision = decimalsFor(axisFor(o.xMin, o.xMax, false, 10));
    o.yPrecision = decimalsFor(axisFor(o.yMin, o.yMax, information, 10));
    session.setGraphOptions(window, o);
    return 1;
}

}  // namespace

int plotCommand(Session& session, const MString& arguments) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    const bool jml = est.method == EstimationMethod::Jml;
    PlotSettings s;
    if (parsePlotStatement(session, arguments, jml, s) != 1) return -1;

    if (!est.estimated) {
        session.errorReport("Plots are not available, as a model has not yet been estimated");
        return -1;
    }
    if (jml && s.estimates != kCaseWle && s.estimates != kCaseMle) {
        session.errorReport("Estimate type must be wle or mle with JML estimation");
        return -1;
    }
    PlotGroups groups;
    if (groups.select(session, s) != 1) return -1;
    if (s.mincut > s.maxcut) {
        session.errorReport("The maximum cut value must exceed the minumum cut value");
        return -1;
    }
    if (s.smooth) {
        session.errorReport("Smoothing is not yet implemented");
        return -1;
    }
    if (s.group.isEmpty() && (!s.keep.empty() || !s.drop.empty()))
        session.warningReport("Group keep and/or drop ignored if no groups requested");
    std::vector<PlotItem> items;
    if (selectItems(session, s, items) != 1) return -1;

    double lo = 0.0, hi = 0.0;
    scaleRange(s, est, lo, hi);
    // The dialog's 999 and -999 ask for the default range; any other range
    // that holds nothing is the user's mistake, and is said.
    const bool dialogDefault = s.minscaleGiven && s.maxscaleGiven && s.minscale == 999.0 && s.maxscale == -999.0;
    if ((s.minscaleGiven || s.maxscaleGiven) && !dialogDefault &&
        ((s.minscaleGiven && s.minscale != lo) || (s.maxscaleGiven && s.maxscale != hi)))
        session.warningReport("The scale minimum must be less than the maximum: the scale from " +
                              printFormat("%.2f", lo) + " to " + printFormat("%.2f", hi) + " is used");
    if (curveAbilities(lo, std::min(hi, lo + 101.0)).size() > ix(kSeriesCapacity)) {
        session.errorReport("The scale from " + printFormat("%.2f", lo) + " to " + printFormat("%.2f", hi) +
                            " needs more than " + itoMString(kSeriesCapacity) + " points; a curve holds no more");
        return -1;
    }
    const bool observed = observedType(s.type) && (s.rawdata || s.table);
    if (observed && s.bins > kSeriesCapacity) {
        session.errorReport("The number of bins may not exceed " + itoMString(kSeriesCapacity));
        return -1;
    }

    // The curves of the whole test as a table for other programs: the
    // ability, the test's value there, and for information the standard
    // error of measurement 1/sqrt(information).
    if (s.table && (s.type == kPlotTinfo || s.type == kPlotTcc)) {
        const bool info = s.type == kPlotTinfo;
        MString text = csvLine(info ? std::vector<MString>{"theta", "information", "sem"}
                                    : std::vector<MString>{"theta", "expected_score"});
        for (double t : curveAbilities(lo, hi)) {
            double v = 0.0;
            for (const PlotItem& item : items) v += info ? itemInformation(item.model, t) : expectedScore(item.model, t);
            std::vector<MString> row{csvNumber(t), csvNumber(v)};
            if (info) row.push_back(v > 0.0 ? csvNumber(1.0 / std::sqrt(v)) : MString("NA"));
            text += csvLine(row);
        }
        if (!s.file.isEmpty()) {
            if (!prepareOutputFile(session, s.file)) return -1;
            TextFile file;
            const bool ok = file.open(s.file.str(), ws.replication >= 1 ? "a" : "w") && file.write(text);
            if (!file.close() || !ok) {
                session.errorReport("The table file " + s.file + " cannot be written");
                return -1;
            }
        } else {
            std::string pane;
            for (char c : text.str()) {
                if (c == '\n') pane += '\r';
                pane += c;
            }
            session.appendOutput(MString(pane));
        }
    }

    // The data tables' file, before the long work.
    ReportWriter out(session);
    const bool tables = s.table && observedType(s.type);
    if (tables && !s.file.isEmpty()) {
        if (!prepareOutputFile(session, s.file)) return -1;
        if (!out.openFile(s.file, ws.replication >= 1)) return -1;
    }

    std::vector<std::vector<PlotData>> data;
    if (observed && groups.prepare(session) != 1) return -1;
    if (observed && collectObservations(session, s, items, groups, data) != 1) return -1;
    if (observed) {
        std::vector<bool> hasData(groups.count(), false);
        for (std::size_t gr = 0; gr < data.size(); ++gr)
            for (const PlotData& pd : data[gr])
                for (bool b : pd.hasData) hasData[gr] = hasData[gr] || b;
        groups.dropEmpty(session, hasData);
    }
    if (tables) {
        for (std::size_t i = 0; i < items.size(); ++i)
            for (std::size_t gr = 0; gr < groups.count(); ++gr) {
                if (!groups.shown(gr)) continue;
                out.lines(dataTableLines(data[gr][i], finishOf(s.type)));
                out.line("");
            }
        if (out.toFile() && !out.closeFile()) return -1;
    }

    const std::vector<ItemFacts> facts = itemFacts(session);
    for (const std::vector<std::size_t>& members : windowsOf(s, items.size()))
        if (drawWindow(session, s, items, members, data, groups, facts, lo, hi) != 1) return -1;
    return session.finishGraphs(session);
}

}  // namespace ordena
