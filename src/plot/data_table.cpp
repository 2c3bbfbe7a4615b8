#include "plot/data_table.h"

#include <cstdio>

namespace ordena {

namespace {

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
        const MString low = b == 0 ? MString("      <-  ") : number("%10.5f", cuts[static_cast<std::size_t>(b - 1)]);
        const MString high = b == B - 1 ? MString("        ->") : number("%10.5f", cuts[static_cast<std::size_t>(b)]);
        lines.push_back(label("Bin " + itoMString(b + 1)) + low + "  " + high + "  " + number("%10.5f", data.means[static_cast<std::size_t>(b)]));
    }

    std::vector<double> totals(static_cast<std::size_t>(B), 0.0), columnTotals(static_cast<std::size_t>(C), 0.0);
    double all = 0.0;
    for (int b = 0; b < B; ++b)
        for (int c = 0; c < C; ++c) {
            totals[static_cast<std::size_t>(b)] += data.frequencies[b][c];
            columnTotals[static_cast<std::size_t>(c)] += data.frequencies[b][c];
            all += data.frequencies[b][c];
        }
    MString head = label(""), cumulativeHead = label("");
    for (int c = 0; c < C; ++c) {
        const MString name = static_cast<std::size_t>(c) < data.columnLabels.size() ? data.columnLabels[static_cast<std::size_t>(c)] : MString();
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
        lines.push_back(row + "   " + number("%5.0f", totals[static_cast<std::size_t>(b)]));
    }
    MString total = label("Total");
    if (!collapsed)
        for (int c = 0; c < C; ++c) total += " " + number("%5.0f", columnTotals[static_cast<std::size_t>(c)]);
    lines.push_back(total + "   " + number("%5.0f", all));

    lines.push_back("");
    lines.push_back("Proportions");
    lines.push_back((how == PlotFinish::Cumulative ? cumulativeHead : head) + "    Tot.");
    std::vector<double> weighted(static_cast<std::size_t>(C), 0.0);
    for (int b = 0; b < B; ++b) {
        MString row = label("Bin " + itoMString(b + 1));
        for (int c = 0; c < C; ++c) {
            row += " " + number("%5.3f", data.proportions[b][c]);
            weighted[static_cast<std::size_t>(c)] += data.proportions[b][c] * totals[static_cast<std::size_t>(b)];
        }
        lines.push_back(row + "   " + number("%5.3f", all > 0 ? totals[static_cast<std::size_t>(b)] / all : 0.0));
    }
    MString average = label("Average");
    for (int c = 0; c < C; ++c) average += " " + number("%5.3f", all > 0 ? weighted[static_cast<std::size_t>(c)] / all : 0.0);
    lines.push_back(average + "   " + number("%5.3f", all > 0 ? 1.0 : 0.0));
    return lines;
}

}  // namespace ordena
