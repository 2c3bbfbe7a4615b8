// The response model tables: item parameter estimates per term (labelled
// and imported-design forms), thresholds, category parameters and the error
// covariance matrix.
#include <cmath>
#include <vector>

#include "analysis/fit.h"
#include "base/number_format.h"
#include "base/special.h"
#include "command/labels.h"
#include "command/session.h"
#include "report/report_model.h"
#include "report/report_tables.h"

namespace ordena {

namespace {

const char* const kAsteriskNote = "An asterisk next to a parameter estimate indicates that it is constrained";
const char* const kQuickNote = "^ Quick standard errors have been used";

bool isJml(const EstimationState& est) { return est.method == EstimationMethod::Jml; }
bool quickErrors(const EstimationState& est) { return est.options.stdErr == StdErrMode::Quick; }

// Hands out the fit lines in the order the tables print them.
class FitLines {
public:
    explicit FitLines(const EstimationState& est) : est_(est) {}
    const FitResult* next() {
        if (!est_.fitAvailable || next_ >= est_.fit.size()) return nullptr;
        return &est_.fit[next_++];
    }
    bool available() const { return est_.fitAvailable; }

private:
    const EstimationState& est_;
    std::size_t next_ = 0;
};

// Mean square, its confidence interval and t, from column F on.
void placeFit(MString& line, int F, double meanSquare, double variance, double t) {
    double s = variance > 0.0 ? std::sqrt(variance) : 0.0;
    double low = 1.0 - 1.96 * s;
    line.overlay(dtoMString(meanSquare, "%6.2f"), F);
    line.overlay("(", F + 7);
    line.overlay(dtoMString(low > 0.0 ? low : 0.0, "%5.2f"), F + 8);
    line.overlay(",", F + 13);
    line.overlay(dtoMString(1.0 + 1.96 * s, "%5.2f"), F + 14);
    line.overlay(")", F + 19);
    // No t without a variance (a JML fit before any iteration): NA, never "-nan".
    line.overlay(std::isfinite(t) ? dtoMString(t, "%5.1f") : MString("   NA"), F + 20);
}

void placeFitPair(MString& line, int F, const FitResult& fit) {
    placeFit(line, F, fit.unweightedMeanSquare, fit.unweightedVariance, fit.unweightedT);
    placeFit(line, F + 26, fit.weightedMeanSquare, fit.weightedVariance, fit.weightedT);
}

struct TermSums {
    int count = 0;
    double sum = 0.0, squares = 0.0, variances = 0.0, chiSquare = 0.0;
    bool anyVariance = false;
};

class TermPrinter {
public:
    TermPrinter(ReportWriter& out, const Workspace& ws, FitLines& fit) : out_(out), ws_(ws), fit_(fit) {}

    void print(int number, const ModelTerm& term) {
        const int n = term.variableCount();
        n_ = n;
        width_ = std::max(90, 15 * n + 74);
        term_ = &term;
        heading(number, term);
        std::vector<TermRow> rows = termRows(ws_, term);
        TermSums sums;
        if (rows.empty()) {
            MString blank = reportLine(width_);
            MString text = reportLine(width_);
            text.overlay("There are no parameters associated with this term", 2);
            out_.rawLine(blank);
            out_.rawLine(text);
            out_.rawLine(blank);
        } else if (!term.hasStep()) {
            for (const TermRow& row : rows) rowLine(row, row.levels, sums);
        } else {
            stepRows(rows, sums);
        }
        closing(term, sums);
    }

private:
    void heading(int number, const ModelTerm& term) {
        const int n = n_;
        out_.line("TERM " + itoMString(number) + ": " + (term.sign == '-' ? "(-)" : "") + termHeading(term));
        out_.line(rule('-', width_));
        if (fit_.available())
            for (const MString& note : fitDrawsNote(ws_)) out_.line(note);
        MString line = reportLine(width_);
        line.centre("VARIABLES", 0, 15 * n);
        line.centre("UNWEIGHTED FIT", 15 * n + 23, 15 * n + 48);
        line.centre("WEIGHTED FIT", 15 * n + 49, 15 * n + 74);
        out_.line(line);
        line = reportLine(width_);
        line.overlay(rule('-', 15 * n), 0);
        line.centre("-----------------------", 15 * n + 23, 15 * n + 48);
        line.centre("-----------------------", 15 * n + 49, 15 * n + 74);
        out_.line(line);
        line = reportLine(width_);
        for (int i = 0; i < n; ++i) line.centre(variableName(ws_, term.variables[static_cast<std::size_t>(i)]), 15 * i, 15 * i + 14);
        line.centre("ESTIMATE", 15 * n + 5, 15 * n + 13);
        line.centre(quickErrors(ws_.est) ? "ERROR^" : "ERROR", 15 * n + 14, 15 * n + 22);
        const int F = 15 * n;
        line.centre("MNSQ", F + 22, F + 30);
        line.centre("CI", F + 32, F + 40);
        line.centre("T", F + 42, F + 50);
        line.centre("MNSQ", F + 48, F + 56);
        line.centre("CI", F + 58, F + 66);
        line.centre("T", F + 68, F + 76);
        out_.line(line);
        out_.line(rule('-', width_));
    }

    MString variablesPart(const std::vector<std::int32_t>& levels) {
        MString line = reportLine(width_);
        for (int i = 0; i < n_; ++i) {
            const VariableRef& v = term_->variables[static_cast<std::size_t>(i)];
            const int s = 1 + 15 * i;
            int level = levels[static_cast<std::size_t>(i)];
            if (v.kind == kStepVariable) {
                line.centre(itoMString(level), s, s + 14);
                continue;
            }
            // At least one blank parts a number of four digits or more from
            // the label.
            MString number = itoMString(level + 1) + " ";
            while (number.length() < 4) number += ' ';
            MString label = levelLabel(ws_, v, level);
            if (label.length() > 11) label = label.mid(0, 11) + "..";
            line.overlay(number + label, s);
        }
        return line;
    }

    void fitPart(MString& line) {
        const FitResult* fit = fit_.next();
        if (fit != nullptr) placeFitPair(line, 15 * n_ + 22, *fit);
    }

    void rowLine(const TermRow& row, const std::vector<std::int32_t>& shown, TermSums& sums) {
        MString line = variablesPart(shown);
        const int E = 15 * n_ + 5;
        if (row.hasValue) {
            line.overlay(dtoMString(row.value, "%7.3f"), E);
            if (row.constrained || row.anchored) line.overlay("*", E + 7);
            if (row.variance > 0.0) line.overlay(dtoMString(std::sqrt(row.variance), "%6.3f"), E + 9);
        }
        fitPart(line);
        out_.rawLine(line);
        if (!row.constrained && row.hasValue) {
            ++sums.count;
            sums.sum += row.value;
            sums.squares += row.value * row.value;
            if (row.variance > 0.0) {
                sums.variances += row.variance;
                sums.chiSquare += row.value * row.value / row.variance;
                sums.anyVariance = true;
            }
        }
    }

    // Rows of a term with a step, generalised item by generalised item: an
    // opening line for the lowest step, the estimated steps, and a closing
    // line for the highest step, which is minus the sum of the others.
    void stepRows(const std::vector<TermRow>& rows, TermSums& sums) {
        int stepIndex = 0;
        for (int i = 0; i < n_; ++i)
            if (term_->variables[static_cast<std::size_t>(i)].kind == kStepVariable) stepIndex = i;
        auto sameItem = [&](const TermRow& a, const TermRow& b) {
            for (int i = 0; i < n_; ++i)
                if (i != stepIndex && a.levels[static_cast<std::size_t>(i)] != b.levels[static_cast<std::size_t>(i)]) return false;
            return true;
        };
        std::size_t first = 0;
        while (first < rows.size()) {
            std::size_t last = first;
            while (last + 1 < rows.size() && sameItem(rows[last + 1], rows[first])) ++last;
            std::vector<std::int32_t> shown = rows[first].levels;
            shown[static_cast<std::size_t>(stepIndex)] -= 1;
            MString open = variablesPart(shown);
            fitPart(open);
            out_.rawLine(open);
            double sum = 0.0;
            std::vector<int> summed;  // the estimates the closing step sums
            for (std::size_t r = first; r <= last; ++r) {
                rowLine(rows[r], rows[r].levels, sums);
                if (rows[r].hasValue) sum += rows[r].value;
                if (!rows[r].constrained && rows[r].kept >= 0) summed.push_back(rows[r].kept);
            }
            shown = rows[last].levels;
            shown[static_cast<std::size_t>(stepIndex)] += 1;
            MString close = variablesPart(shown);
            close.overlay(dtoMString(-sum, "%7.3f"), 15 * n_ + 5);
            close.overlay("*", 15 * n_ + 12);
            // Full errors give the closing step's error, that of minus the
            // sum of the others (quick errors, without covariances, give none).
            if (ws_.est.options.stdErr == StdErrMode::Full) {
                const double variance = sumErrorVariance(ws_.est, summed);
                if (variance > 0.0) close.overlay(dtoMString(std::sqrt(variance), "%6.3f"), 15 * n_ + 14);
            }
            fitPart(close);
            out_.rawLine(close);
            first = last + 1;
        }
    }

    void closing(const ModelTerm& term, const TermSums& sums) {
        out_.line(rule('-'));
        out_.line(kAsteriskNote);
        if (!term.hasStep()) {
            out_.line(separationLine(sums));
            if (!sums.anyVariance) out_.line("");
            else {
                double p = 1.0 - ChiSquareProb(sums.chiSquare, sums.count);
                out_.line("Chi-square test of parameter equality = " + dtoMString(sums.chiSquare, "%10.2f") +
                          ",  df = " + itoMString(sums.count) + ",  Sig Level = " + dtoMString(p, "%5.3f"));
            }
        }
        if (quickErrors(ws_.est)) out_.line(kQuickNote);
        out_.line(rule('='));
    }

    static MString separationLine(const TermSums& s) {
        if (s.count < 2) return "Separation Reliability Not Applicable";
        const double N = s.count;
        double V = s.squares / (N - 1.0) - s.sum * s.sum / (N * (N - 1.0));
        double R = 0.0;
        if (V > 0.0) {
            R = (V - s.variances / N) / V;
            if (R < 0.0) R = 0.0;
        }
        return "Separation Reliability = " + dtoMString(R, "%6.3f");
    }

    ReportWriter& out_;
    const Workspace& ws_;
    FitLines& fit_;
    const ModelTerm* term_ = nullptr;
    int n_ = 0;
    int width_ = 90;
};

}  // namespace

int printParameterTables(ReportWriter& out, const Workspace& ws) {
    out.pageHeader(MString("TABLES OF RESPONSE MODEL PARAMETER ESTIMATES") + (isJml(ws.est) ? ": JML" : ""));
    FitLines fit(ws.est);
    TermPrinter printer(out, ws, fit);
    int number = 1;
    for (const ModelTerm& term : ws.model.terms) printer.print(number++, term);
    return 1;
}

int printImportedParameterTable(ReportWriter& out, const Workspace& ws) {
    const EstimationState& est = ws.est;
    out.pageHeader("IMPORTED MODEL:" + ws.files.importDesignFile);
    const bool quick = quickErrors(est);
    out.line("Parameter Estimates");
    out.line(rule('-', 90));
    if (est.fitAvailable)
        for (const MString& note : fitDrawsNote(ws)) out.line(note);
    MString line = reportLine(90);
    line.centre("VARIABLES", 0, 15);
    line.centre("UNWEIGHTED FIT", 47, 60);
    line.centre("WEIGHTED FIT", 67, 92);
    out.line(line);
    line = reportLine(90);
    line.centre("-----------------------", 47, 60);
    line.centre("-----------------------", 67, 92);
    out.line(line);
    line = reportLine(90);
    line.centre("ESTIMATE", 20, 28);
    line.centre(quick ? "ERROR^" : "ERROR", 30, 38);
    line.centre("MNSQ", 39, 47);
    line.centre("CI", 49, 57);
    line.centre("T", 59, 67);
    line.centre("MNSQ", 65, 73);
    line.centre("CI", 75, 83);
    line.centre("T", 85, 93);
    out.line(line);
    out.line(rule('-', 90));

    FitLines fit(est);
    for (int p = 0; p < est.parameters(); ++p) {
        MString label = labelLookup(ws, "", kLabelParameters, itoMString(p + 1));
        if (label.length() > 17) label = label.mid(0, 15) + "..";
        while (label.length() < 17) label += ' ';
        MString text = label + dtoMString(est.xsi[p][0], "%10.5f");
        double variance = -1.0;
        if (quick && p < est.itemErrors.rows()) variance = est.itemErrors[p][0];
        else if (est.options.stdErr == StdErrMode::Full && est.dimensions() == 1 && p < est.fullErrors.rows() &&
                 p < est.fullErrors.columns())
            variance = est.fullErrors[p][p];
        // Blanks stand in for a missing error so that the fit columns line up.
        text += variance > 0.0 ? " " + dtoMString(std::sqrt(variance), "%8.5f") : MString(9);
        if (const FitResult* f = fit.next()) {
            MString segment = reportLine(90);
            placeFit(segment, 2, f->unweightedMeanSquare, f->unweightedVariance, f->unweightedT);
            placeFit(segment, 28, f->weightedMeanSquare, f->weightedVariance, f->weightedT);
            text += segment;
        }
        out.line(text);
    }
    out.line(rule('-'));
    out.line(kAsteriskNote);
    if (quick) out.line(kQuickNote);
    out.line(rule('='));
    return 1;
}

namespace {

int printCategoryRecords(ReportWriter& out, const Workspace& ws, bool thresholds) {
    const EstimationState& est = ws.est;
    if (!categoryTablesAvailable(ws.build)) {
        out.session().warningReport(
            thresholds ? "Item thresholds are not available for partial order models, within item multdimensional "
                         "models, models with non-integer scores, or models with null categories"
                       : "Item parameter tables are not available for partial order models, within item "
                         "multdimensional models, models with non-integer scores, or models with null categories");
        return -1;
    }
    if (thresholds) out.pageHeader(MString("TABLES OF GIN Thresholds") + (isJml(est) ? ": JML" : ""));
    else out.pageHeader(MString("TABLES OF GIN Item Parameters") + (isJml(est) ? ":JML" : ""));
    out.line(thresholds ? "GIN Number  Threshold           GIN Labels" : "GIN Number  Delta Est.          GIN Labels");
    out.line(rule('-'));
    for (int g = 0; g < ws.build.items; ++g) {
        MString id = itemIdentifier(ws, g);
        MString label = itemLabelText(ws, g);
        int m = ws.build.categoryCount[static_cast<std::size_t>(g)];
        for (int k = 1; k < m; ++k) {
            double value = thresholds ? threshold(ws, g, k) : categoryParameter(ws, g, k);
            out.line(id + itoMString(k) + "\t" + dtoMString(value, "%10.3f") + "\t" + label);
        }
    }
    out.line(rule('='));
    return 1;
}

}  // namespace

int printThresholdTable(ReportWriter& out, const Workspace& ws) { return printCategoryRecords(out, ws, true); }

int printCategoryParameterTable(ReportWriter& out, const Workspace& ws) {
    return printCategoryRecords(out, ws, false);
}

int printErrorCovarianceTable(ReportWriter& out, const Workspace& ws) {
    const EstimationState& est = ws.est;
    out.pageHeader("Parameter Estimate Error Variance/Covariance Matrix");
    out.line("");
    out.line(rule('-'));
    int P = est.parameters();
    if (P > est.fullErrors.rows()) P = est.fullErrors.rows();
    if (P > est.fullErrors.columns()) P = est.fullErrors.columns();
    const MString& end = out.lineEnd();
    for (int first = 0; first < P; first += 7) {
        int last = std::min(P, first + 7);
        MString header(5);
        for (int j = first; j < last; ++j) header += MString(3) + itoMString(j + 1).rightJustify(3) + MString(6);
        out.text(header + end);
        for (int i = 0; i < P; ++i) {
            MString row = " ";
            MString number = itoMString(i + 1);
            while (number.length() < 3) number += ' ';
            row += number;
            for (int j = first; j < last; ++j) row += " " + dtoMString(est.fullErrors[i][j], "%10.5f") + " ";
            out.text(row + end);
        }
        out.text(end);
    }
    out.line(rule('='));
    return 1;
}

}  // namespace ordena
