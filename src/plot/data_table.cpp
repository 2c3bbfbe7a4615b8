#include "plot/data_table.h"

#include <cstdio>

namespace ordena {

namespace {

// A position as a vector index.
inline std::size_t ix(int i) { return static_cast<std::size_t>(i); }

MString number(const char* format, double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, v);
    return MString(buffer);
}

// The row label: seven characters, left aligned.
MString label(const MString& text) {
    MString t = text;
    while (t.length() < 7) t += ' ';
    return t;
}

}  // namespace

std::vector<MString> dataTableLines(const PlotData& data, PlotFinish how) {
    const bool collapsed = how == PlotFinish::AverageScore;
    using L = PlotData::Label;
    std::vector<MString> lines;
    const int B = data.bins(), C = data.columns();
    if (B < 2) return lines;
    lines.push_back(data.labels[L::kHeading]);
    lines.push_back(data.labels[L::kEstimator]);
    if (!data.labels[L::kGroup].isEmpty()) lines.push_back(data.labels[L::kGroup]);
    if (!data.labels[L::kItem].isEmpty()) lines.push_back(data.labels[L::kItem]);
    lines.push_back("");
    lines.push_back(label("Bin") + "     Low         High        Mean");
    const std::vector<double>& cuts = data.cuts();
    for (int b = 0; b < B; ++b) {
        const MString low = b == 0 ? MString("      <-  ") : number("%10.5f", cuts[ix(b - 1)]);
        const MString high = b == B - 1 ? MString("        ->") : number("%10.5f", cuts[ix(b)]);
        lines.push_back(label("Bin " + itoMString(b + 1)) + low + "  " + high + "  " +
                        number("%10.5f", data.means[ix(b)]));
    }

    std::vector<double> totals(ix(B), 0.0), columnTotals(ix(C), 0.0);
    double all = 0.0;
    for (int b = 0; b < B; ++b)
        for (int c = 0; c < C; ++c) {
            totals[ix(b)] += data.frequencies[b][c];
            columnTotals[ix(c)] += data.frequencies[b][c];
            all += data.frequencies[b][c];
        }
    MString head = label(""), cumulativeHead = label("");
    for (int c = 0; c < C; ++c) {
        const MString name = ix(c) < data.columnLabels.size() ? data.columnLabels[ix(c)] : MString();
        head += " " + name.trim().rightJustify(5);
        cumulativeHead += " " + (">=" + name.trim()).rightJustify(5);
    }
    lines.push_back("");
    lines.push_back("Frequencies");
    lines.push_back(collapsed ? label("") + "    Tot." : head + "    Tot.");
    for (int b = 0; b < B; ++b) {
        MString row = label("Bin " + itoMString(b + 1));
        if (!collapsed)
            for (int c = 0; c < C; ++c) row += " " + number("%5.0f", data.frequencies[b][c]);
        lines.push_back(row + "   " + number("%5.0f", totals[ix(b)]));
    }
    MString total = label("Total");
    if (!collapsed)
        for (int c = 0; c < C; ++c) total += " " + number("%5.0f", columnTotals[ix(c)]);
    lines.push_back(total + "   " + number("%5.0f", all));

    lines.push_back("");
    lines.push_back("Proportions");
    lines.push_back((how == PlotFinish::Cumulative ? cumulativeHead : head) + "    Tot.");
    std::vector<double> weighted(ix(C), 0.0);
    for (int b = 0; b < B; ++b) {
        MString row = label("Bin " + itoMString(b + 1));
        for (int c = 0; c < C; ++c) {
            row += " " + number("%5.3f", data.proportions[b][c]);
            weighted[ix(c)] += data.proportions[b][c] * totals[ix(b)];
        }
        lines.push_back(row + "   " + number("%5.3f", all > 0 ? totals[ix(b)] / all : 0.0));
    }
    MString average = label("Average");
    for (int c = 0; c < C; ++c) average += " " + number("%5.3f", all > 0 ? weighted[ix(c)] / all : 0.0);
    lines.push_back(average + "   " + number("%5.3f", all > 0 ? 1.0 : 0.0));
    return lines;
}

}  // namespace ordena
