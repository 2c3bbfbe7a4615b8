// Text maps: the case distribution beside the parameter estimates or the
// item thresholds on one logit scale of 60 rows.
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/number_format.h"
#include "command/labels.h"
#include "command/session.h"
#include "report/case_distribution.h"
#include "report/report_model.h"
#include "report/report_tables.h"

namespace ordena {

namespace {

constexpr int kRows = kSummaryBins;
constexpr int kScaleWidth = 8;
constexpr int kMaxMapItems = 500;

bool isJml(const EstimationState& est) { return est.method == EstimationMethod::Jml; }

MString kindWord(int type) {
    switch (type) {
        case kCaseEap: return "EAP ESTIMATES";
        case kCaseMle: return "MLE ESTIMATES";
        case kCaseWle: return "WLE ESTIMATES";
        default: return "LATENT DISTRIBUTIONS";
    }
}

// The scale of a map and the case counts shown on it.
struct MapScale {
    double low = -4.0, high = 4.0, width = 8.0 / kRows;
    const DistributionSummary* summary = nullptr;  // null: no case estimates shown

    // Bin of v, limited to the map; the small allowance keeps a whole
    // number that falls on a bin edge in the bin it starts.
    int binOf(double v) const {
        double t = width > 0.0 ? std::floor((v - low) / width + 1e-7) : 0.0;
        return std::isfinite(t) ? static_cast<int>(std::clamp(t, 0.0, static_cast<double>(kRows - 1))) : 0;
    }
    int rowOf(double v) const { return kRows - 1 - binOf(v); }
    // The whole number inside row r, if one falls there.
    bool wholeNumberIn(int r, long long& k) const {
        if (!(width > 0.0)) return false;
        double from = low + (kRows - 1 - r) * width;
        double c = std::ceil(from - 1e-7 * width);
        if (!std::isfinite(c) || std::fabs(c) > 1e9) return false;
        double t = std::floor((c - low) / width + 1e-7);
        if (t != kRows - 1 - r) return false;
        k = static_cast<long long>(c);
        return true;
    }
    double count(int d, int r) const {
        if (summary == nullptr || d >= summary->counts.rows() || r >= summary->counts.columns()) return 0.0;
        return summary->counts[d][r];
    }
};

MapScale scaleFor(const DistributionSummary* summary) {
    MapScale s;
    s.summary = summary;
    if (summary != nullptr && summary->width > 0.0f && summary->high > summary->low) {
        s.low = summary->low;
        s.high = summary->high;
        s.width = summary->width;
    }
    return s;
}

// Labels of one column of a map, placed by value with a fallback row.
class LabelColumn {
public:
    explicit LabelColumn(int width) : width_(width), used_(kRows, 0), text_(kRows) {}

    // False when neither the row nor its neighbour has room.
    bool place(int row, const MString& label) {
        if (fits(row, label)) return put(row, label);
        int other = row == 0 ? 1 : row - 1;
        if (other < kRows && fits(other, label)) return put(other, label);
        return false;
    }
    const MString& row(int r) const { return text_[static_cast<std::size_t>(r)]; }

private:
    bool fits(int r, const MString& label) const {
        int start = used_[static_cast<std::size_t>(r)] == 0 ? 1 : used_[static_cast<std::size_t>(r)] + 1;
        return start + label.length() <= width_;
    }
    bool put(int r, const MString& label) {
        std::size_t i = static_cast<std::size_t>(r);
        int start = used_[i] == 0 ? 1 : used_[i] + 1;
        text_[i] += MString(start - text_[i].length()) + label;
        used_[i] = start + label.length();
        return true;
    }
    int width_;
    std::vector<int> used_;
    std::vector<MString> text_;
};

// One map: a scale, the case columns of the dimensions shown and one or
// more label columns.
struct MapLayout {
    int dimensions = 1;    // case columns shown
    int caseWidth = 40;    // per dimension
    int columnWidth = 40;  // per label column
    int columns = 1;

    int caseStart(int d) const { return kScaleWidth + d * caseWidth; }
    int separator() const { return kScaleWidth + dimensions * caseWidth; }
    int columnStart(int t) const { return separator() + 1 + t * columnWidth; }
    int width() const { return columnStart(columns); }
};

MapLayout layoutFor(int dimensionsShown, int labelColumns) {
    MapLayout m;
    m.dimensions = std::max(1, dimensionsShown);
    m.columns = std::max(1, labelColumns);
    if (m.columns == 1) {
        m.columnWidth = 40;
        m.caseWidth = m.dimensions == 1 ? 40 : (m.dimensions <= 4 ? 40 / m.dimensions : 10);
    } else {
        m.caseWidth = 10;
        m.columnWidth = m.columns == 2 ? 35 : 23;
    }
    return m;
}

struct MapContent {
    MString title;
    MString partHeading;               // over all label columns
    std::vector<MString> columnHeads;  // one per label column
    std::vector<LabelColumn> columns;
    std::vector<int> dimensionsShown;
    bool dropped = false;
    std::vector<MString> footer;  // extra footer lines
};

void writeMap(ReportWriter& out, const Workspace& ws, const MapScale& scale, const MapLayout& m, MapContent& c,
              int type) {
    out.pageHeader(c.title + (isJml(ws.est) ? ": JML" : ""));
    const int W = m.width();
    const bool none = scale.summary == nullptr;
    out.line(rule('=', W));
    int headLines = none ? 4 : 2;
    std::vector<MString> head(static_cast<std::size_t>(headLines), reportLine(W));
    const int caseEnd = m.separator();
    if (none) {
        static const char* const kWords[] = {"Case", "estimates", "not", "requested"};
        for (int k = 0; k < 4; ++k) head[static_cast<std::size_t>(k)].centre(kWords[k], kScaleWidth, caseEnd);
    } else {
        if (m.dimensions > 1) head[0].centre("Dimension", kScaleWidth, caseEnd);
        for (int d = 0; d < m.dimensions; ++d) {
            int dim = c.dimensionsShown[static_cast<std::size_t>(d)];
            head[1].centre(labelLookup(ws, "", kLabelDimensions, itoMString(dim + 1)), m.caseStart(d),
                           m.caseStart(d + 1));
        }
    }
    head[0].centre(c.partHeading, m.columnStart(0), m.columnStart(m.columns));
    for (int t = 0; t < m.columns && t < static_cast<int>(c.columnHeads.size()); ++t)
        head[1].centre(c.columnHeads[static_cast<std::size_t>(t)], m.columnStart(t), m.columnStart(t + 1));
    out.lines(head);
    out.line(rule('-', W));

    // Cases per X: the largest bin over the dimensions shown fills a column.
    double largest = 0.0;
    for (int dim : c.dimensionsShown)
        for (int r = 0; r < kRows; ++r) largest = std::max(largest, scale.count(dim, r));
    const double perX = largest / m.caseWidth;
    for (int r = 0; r < kRows; ++r) {
        MString line = reportLine(W);
        long long k = 0;
        if (scale.wholeNumberIn(r, k)) line.centre(itoMString(k), 1, 7);
        for (int d = 0; d < m.dimensions && !none; ++d) {
            double count = scale.count(c.dimensionsShown[static_cast<std::size_t>(d)], r);
            int xs = perX > 0.0 ? static_cast<int>(std::floor(count / perX + 0.5)) : 0;
            xs = std::clamp(xs, 0, m.caseWidth);
            line.overlay(rule('X', xs), m.caseStart(d + 1) - xs);
        }
        line.overlay("|", caseEnd);
        for (int t = 0; t < m.columns; ++t) line.overlay(c.columns[static_cast<std::size_t>(t)].row(r), m.columnStart(t));
        out.line(line);
    }
    out.line(rule('-', W));
    if (!none) {
        double shown = perX;
        if (type == kCaseLatent && ws.est.caseScorePlausible > 0) shown /= ws.est.caseScorePlausible;
        out.line("Each 'X' represents" + dtoMString(shown, "%5.1f") + " cases");
    }
    if (c.dropped) out.line("Some parameters could not be fitted on the display");
    for (const MString& l : c.footer) out.line(l);
    out.line(rule('=', W));
}

// The dimension of a term row: the dimension whose item list holds its item
// level; -1 when the term has no item variable (it belongs to all).
int rowDimension(const Workspace& ws, const ModelTerm& term, const TermRow& row) {
    for (int i = 0; i < term.variableCount(); ++i) {
        if (ws.model.modelPosition(term.variables[static_cast<std::size_t>(i)]) != ws.build.itemVariablePosition)
            continue;
        int level = row.levels[static_cast<std::size_t>(i)];
        for (std::size_t d = 0; d < ws.build.dimensionItems.size(); ++d) {
            const auto& items = ws.build.dimensionItems[d];
            if (std::find(items.begin(), items.end(), level) != items.end()) return static_cast<int>(d);
        }
    }
    return -1;
}

int prepare(Session& session, const DistributionSummary*& summary) {
    return caseDistribution(session, session.ws.est.caseEstimateType, summary);
}

}  // namespace

int printParameterMap(ReportWriter& out, Session& session, int dimension) {
    const DistributionSummary* summary = nullptr;
    if (prepare(session, summary) != 1) return -1;
    const Workspace& ws = session.ws;
    const int type = ws.est.caseEstimateType;
    MapScale scale = scaleFor(summary);

    std::vector<const ModelTerm*> terms;
    for (const ModelTerm& term : ws.model.terms)
        if (!term.hasStep()) terms.push_back(&term);
    MapContent c;
    c.title = "MAP OF " + kindWord(type) + " AND RESPONSE MODEL PARAMETER ESTIMATES";
    c.partHeading = "Terms in the Model (excl Step terms)";
    if (dimension >= 0) c.dimensionsShown.push_back(dimension);
    else
        for (int d = 0; d < std::max(1, ws.est.dimensions()); ++d) c.dimensionsShown.push_back(d);
    MapLayout m = layoutFor(static_cast<int>(c.dimensionsShown.size()), static_cast<int>(terms.size()));
    for (std::size_t t = 0; t < std::max<std::size_t>(1, terms.size()); ++t) c.columns.emplace_back(m.columnWidth);
    for (std::size_t t = 0; t < terms.size(); ++t) {
        const ModelTerm& term = *terms[t];
        c.columnHeads.push_back((term.sign == '-' ? "-" : "") + term.text);
        for (const TermRow& row : termRows(ws, term)) {
            if (!row.hasValue) continue;
            if (dimension >= 0) {
                int d = rowDimension(ws, term, row);
                if (d >= 0 && d != dimension) continue;
            }
            MString label;
            for (std::size_t i = 0; i < row.levels.size(); ++i) label += (i > 0 ? "." : "") + itoMString(row.levels[i] + 1);
            if (!c.columns[t].place(scale.rowOf(row.value), label)) c.dropped = true;
        }
    }
    writeMap(out, ws, scale, m, c, type);
    return 1;
}

namespace {

bool thresholdMapAllowed(ReportWriter& out, const Workspace& ws, const char* unavailable) {
    if (!categoryTablesAvailable(ws.build)) {
        out.session().warningReport(unavailable);
        return false;
    }
    if (ws.build.items > kMaxMapItems) {
        out.session().warningReport("Too many generalised items for plot");
        return false;
    }
    return true;
}

MString thresholdLabel(const Workspace& ws, int g, int k) {
    MString id = itemIdentifier(ws, g);
    return id + itoMString(k);
}

}  // namespace

int printThresholdMap(ReportWriter& out, Session& session) {
    const Workspace& ws = session.ws;
    if (!thresholdMapAllowed(out, ws,
                             "Item thresholds are not available for models without discrete and increasing scores, "
                             "within item multdimensional models, models with non-integer scores, or models with "
                             "null categories"))
        return -1;
    const DistributionSummary* summary = nullptr;
    if (prepare(session, summary) != 1) return -1;
    const int type = ws.est.caseEstimateType;
    MapScale scale = scaleFor(summary);
    MapContent c;
    c.title = "MAP OF " + kindWord(type) + " AND THRESHOLDS";
    c.partHeading = "Generalised-Item Thresholds";
    for (int d = 0; d < std::max(1, ws.est.dimensions()); ++d) c.dimensionsShown.push_back(d);
    MapLayout m = layoutFor(static_cast<int>(c.dimensionsShown.size()), 1);
    c.columns.emplace_back(m.columnWidth);
    for (int g = 0; g < ws.build.items; ++g) {
        int categories = ws.build.categoryCount[static_cast<std::size_t>(g)];
        for (int k = 1; k < categories; ++k)
            if (!c.columns[0].place(scale.rowOf(threshold(ws, g, k)), thresholdLabel(ws, g, k))) c.dropped = true;
    }
    c.footer.push_back("The labels for thresholds show the levels of");
    MString names;
    for (int i = 0; i < ws.model.modelVariableCount(); ++i)
        names += (i > 0 ? ", " : "") + variableName(ws, ws.model.modelVariableAt(i));
    c.footer.push_back(names);
    c.footer.push_back("and step, respectively");
    writeMap(out, ws, scale, m, c, type);
    return 1;
}

int printHorizontalThresholdMap(ReportWriter& out, Session& session) {
    const Workspace& ws = session.ws;
    if (!thresholdMapAllowed(out, ws,
                             "Item thresholds are not available for partial order models, within item "
                             "multdimensional models, models with non-integer scores, or models with null "
                             "categories"))
        return -1;
    const DistributionSummary* summary = nullptr;
    if (prepare(session, summary) != 1) return -1;
    const int type = ws.est.caseEstimateType;
    MapScale scale = scaleFor(summary);
    out.pageHeader("HORIZONTAL MAP OF " + kindWord(type) + " AND THRESHOLDS" + (isJml(ws.est) ? ": JML" : ""));

    // Columns 10..69 hold the 60 bins, low values on the left.
    constexpr int kLeft = 10;
    constexpr int kHeight = 10;
    auto columnOf = [&](double v) { return kLeft + (kRows - 1 - scale.rowOf(v)); };
    out.line(rule('='));
    if (summary != nullptr) {
        const int D = std::max(1, ws.est.dimensions());
        for (int d = 0; d < D; ++d) {
            double largest = 0.0;
            for (int r = 0; r < kRows; ++r) largest = std::max(largest, scale.count(d, r));
            out.line(labelLookup(ws, "", kLabelDimensions, itoMString(d + 1)));
            for (int h = kHeight; h >= 1; --h) {
                MString line = reportLine();
                for (int r = 0; r < kRows; ++r) {
                    double bars = largest > 0.0 ? std::floor(scale.count(d, r) / largest * kHeight + 0.5) : 0.0;
                    if (bars >= h) line.overlay("X", kLeft + kRows - 1 - r);
                }
                out.line(line);
            }
        }
    } else {
        out.line("Case estimates not requested");
    }
    MString axis = reportLine();
    MString numbers = reportLine();
    axis.overlay(rule('-', kRows), kLeft);
    for (int r = 0; r < kRows; ++r) {
        long long k = 0;
        if (!scale.wholeNumberIn(r, k)) continue;
        int col = kLeft + kRows - 1 - r;
        axis.overlay("+", col);
        numbers.centre(itoMString(k), col, col + 1);
    }
    out.line(axis);
    out.line(numbers);
    out.line(rule('-'));
    for (int g = 0; g < ws.build.items; ++g) {
        MString label = itemLabelText(ws, g);
        for (int i = 0; i < label.length(); ++i)
            if (label[i] == '\t') label[i] = ' ';
        out.line("Generalised Item: " + itemIdentifier(ws, g) + " " + label.trim());
        MString line = reportLine();
        int categories = ws.build.categoryCount[static_cast<std::size_t>(g)];
        for (int k = 1; k < categories; ++k) {
            int col = columnOf(threshold(ws, g, k));
            line.overlay("-->", col - 3);
            line.overlay(itoMString(k), col);
        }
        out.line(line);
    }
    out.line(rule('='));
    return 1;
}

}  // namespace ordena
