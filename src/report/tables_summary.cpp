// Table 1, the summary of the estimation, and the nodes table that stands
// for the population table under a discrete distribution.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/number_format.h"
#include "command/workspace.h"
#include "report/report_tables.h"

namespace ordena {

namespace {

MString trimmed(double value, const char* format) { return dtoMString(value, format).trim(); }

// "%10.5f", widened when the value needs more room: a seed of 12345 is
// 12345.00000, not "_BIG_".
MString real(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%10.5f", value);
    return MString(buffer);
}

bool isJml(const EstimationState& est) { return est.method == EstimationMethod::Jml; }

}  // namespace

int estimatedParameterCount(const Workspace& ws) {
    const EstimationState& est = ws.est;
    int count = 0;
    for (int p = 0; p < est.parameters(); ++p)
        if (static_cast<std::size_t>(p) >= est.anchored.size() || est.anchored[static_cast<std::size_t>(p)] != 1) ++count;
    const bool cases = ws.settings.constraints == kConstraintsCases;
    if (isJml(est)) return count + ws.data.passes.cases - (cases ? 1 : 0);
    // Under the cases constraint set-up anchored the constant of every
    // dimension at zero, so the loop below already leaves it out.
    const Matrix& beta = est.beta;
    for (int d = 0; d < beta.rows(); ++d)
        for (int r = 0; r < beta.columns(); ++r) {
            bool anchored = d < est.regressionAnchors.rows() && r < est.regressionAnchors.columns() &&
                            isAnchoredValue(est.regressionAnchors[d][r]);
            if (!anchored) ++count;
        }
    const int D = est.dimensions();
    for (int i = 0; i < D; ++i)
        for (int j = i; j < D; ++j) {
            bool anchored = i < est.covarianceAnchors.rows() && j < est.covarianceAnchors.columns() &&
                            isAnchoredValue(est.covarianceAnchors[i][j]);
            if (!anchored) ++count;
        }
    return count;
}

InformationCriteria informationCriteria(const Workspace& ws) {
    const EstimationState& est = ws.est;
    InformationCriteria c;
    if (isJml(est)) return c;
    c.available = true;
    const long long sample = ws.data.passes.cases;
    c.minusTwoLogLikelihood = est.deviance - est.devianceConstant(static_cast<double>(sample));
    c.parameters = estimatedParameterCount(ws);
    c.n = est.likelihoodCases >= 0 ? est.likelihoodCases : sample;
    c.aic = c.minusTwoLogLikelihood + 2.0 * c.parameters;
    c.bic = c.minusTwoLogLikelihood + c.parameters * std::log(static_cast<double>(std::max(c.n, 1LL)));
    return c;
}

namespace {

MString methodLine(const EstimationState& est) {
    MString nodes = itoMString(est.nodeCount);
    switch (est.method) {
        case EstimationMethod::Quadrature:
            return "Estimation method was: Bock-Aitken Quadrature with " + nodes + " nodes and node range (" +
                   trimmed(est.options.minNode, "%10.3f") + "," + trimmed(est.options.maxNode, "%10.3f") + ")";
        case EstimationMethod::MonteCarlo: return "Estimation method was: MonteCarlo with " + nodes + " nodes";
        case EstimationMethod::Jml: return "Estimation method was: Joint Maximum Likelihood ";
        case EstimationMethod::Gauss:
        case EstimationMethod::Unset: break;
    }
    return "Estimation method was: Gauss-Hermite Quadrature with " + nodes + " nodes";
}

}  // namespace

int printSummaryTable(ReportWriter& out, const Workspace& ws) {
    const EstimationState& est = ws.est;
    const Settings& set = ws.settings;
    out.pageHeader(MString("SUMMARY OF THE ESTIMATION") + (isJml(est) ? ": JML" : ""));

    // Two lines more than the 26 of the first layout, for the likelihood
    // figures.
    std::vector<MString> lines(28);
    int n = 1;
    auto put = [&](const MString& text) {
        if (n < static_cast<int>(lines.size())) lines[static_cast<std::size_t>(n)] = text;
        ++n;
    };
    put(methodLine(est));
    if (isJml(est)) put("Assumed population distribution was: Not applicable");
    else if (est.options.distribution == Distribution::Normal) put("Assumed population distribution was: Gaussian");
    else put("Assumed population distribution was: Discrete");
    switch (set.constraints) {
        case kConstraintsCases: put("Constraint was: CASES"); break;
        case kConstraintsItems: put("Constraint was: ITEMS"); break;
        case kConstraintsNone: put("Constraint was: NONE"); break;
        default: put("Constraint was: DEFAULT"); break;
    }
    put("The Data File: " + ws.data.fileName);
    put("The format: " + ws.data.layout.formatText.collapseBlanks());
    put("The regression model: " + ws.model.regressionText.collapseBlanks());
    put("Grouping Variables: " + ws.model.groupText.collapseBlanks());
    put("The item model: " + ws.model.modelText.collapseBlanks());
    put("Sample size: " + itoMString(ws.data.passes.cases));
    put(isJml(est) ? MString("Final Deviance: Not applicable") : "Final Deviance: " + dtoMString(est.deviance, "%14.5f"));
    // The figures that compare across methods: the Bock/Aitken deviance
    // holds a constant of its grid, which these leave out.
    const InformationCriteria criteria = informationCriteria(ws);
    if (!criteria.available) {
        put("-2 Log Likelihood: Not applicable");
        put("Total number of estimated parameters: " + itoMString(estimatedParameterCount(ws)));
        put("Information criteria: Not applicable");
    } else {
        put("-2 Log Likelihood: " + dtoMString(criteria.minusTwoLogLikelihood, "%14.5f") +
            (est.method == EstimationMethod::Quadrature ? MString(" (the deviance less -2*D*ln(h) per case)")
                                                        : MString()));
        put("Total number of estimated parameters: " + itoMString(criteria.parameters));
        put("Information criteria: AIC = " + trimmed(criteria.aic, "%14.3f") + ", BIC = " +
            trimmed(criteria.bic, "%14.3f") + " (BIC with n = " + itoMString(criteria.n) + " cases)");
    }
    put("The number of iterations: " + itoMString(est.iteration));
    put("Termination criteria:  Max iterations=" + itoMString(est.options.iterations) + ", Parameter Change= " +
        real(est.options.convergence).trim());
    put("                       Deviance Change= " + real(est.options.devianceChange).trim());
    static const char* const kReasons[] = {
        "Iterations terminated because the maximum number of iterations was reached",
        "Iterations terminated because the deviance was no longer improving",
        "Iterations terminated because the convergence criteria were reached",
        "Iterations terminated because the variance became too small",
        "Iterations terminated because the deviance convergence criteria was reached"};
    if (est.terminationReason >= 0 && est.terminationReason <= 4) put(kReasons[est.terminationReason]);
    if (est.earlierSolutionBetter) {
        put("At termination the solution was not the best attained solution");
        put(set.keeplastests ? "The reported results are for the last iteration"
                             : "The reported results are for the earlier better solution");
        put("Rerunning this analysis using the current estimates as initial values is strongly advised.");
    }
    put("Random number generation seed: " + real(set.seed));
    put("Number of nodes used when drawing PVs: " + itoMString(set.p_nodes));
    put("Number of nodes used when computing fit: " + itoMString(set.f_nodes));
    put("Number of plausible values to draw: " + itoMString(set.n_plausible));
    put("Maximum number of iterations without a deviance improvement: " + itoMString(set.iterlimit));
    put("Maximum number of Newton steps in M-step: " + itoMString(set.innerloops));
    put("Value for obtaining finite MLEs for zero/perfects: " + real(set.zero_perfect));
    out.lines(lines);

    out.line("");
    for (std::size_t k = 0; k < ws.data.keys.size(); ++k) {
        const KeyRule& key = ws.data.keys[k];
        MString keys;
        for (const MString& s : key.keys) keys += s;
        out.line("key " + itoMString(static_cast<long long>(k) + 1) + " scored as " + key.option + ": " + keys);
    }
    out.line(rule('='));
    return 1;
}

int printNodesTable(ReportWriter& out, const Workspace& ws) {
    const EstimationState& est = ws.est;
    const int D = est.nodeGrid.isEmpty() ? est.dimensions() : est.nodeGrid.columns();
    out.pageHeader("TABLES OF NODES AND NODE WEIGHT ESTIMATES");
    const int width = 25 + 9 * D + 10 > kReportWidth ? 25 + 9 * D + 10 : kReportWidth;
    out.line("NODES AND ESTIMATED WEIGHTS");
    out.line("");
    MString line = reportLine(width);
    line.centre("Dimension", 25, 25 + 9 * D);
    out.line(line);
    line = reportLine(width);
    line.overlay(rule('-', 9 * D), 25);
    out.line(line);
    line = reportLine(width);
    for (int d = 0; d < D; ++d) line.centre(itoMString(d + 1), 25 + 9 * d, 34 + 9 * d);
    line.centre("Weight", 25 + 9 * D, 34 + 9 * D);
    out.line(line);
    out.line("");
    const int Q = est.nodeGrid.rows();
    for (int q = 0; q < Q; ++q) {
        line = reportLine(width);
        for (int d = 0; d < D; ++d) line.overlay(dtoMString(est.nodeGrid[q][d], "%7.3f"), 25 + 9 * d);
        double weight = q < est.gwt.rows() ? est.gwt[q][0] : 0.0;
        line.overlay(dtoMString(weight, "%10.5f"), 25 + 9 * D);
        out.rawLine(line);
    }
    out.line(rule('-'));
    out.line("An asterisk next to a parameter estimate indicates that it is constrained");
    out.line(rule('='));
    return 1;
}

}  // namespace ordena
