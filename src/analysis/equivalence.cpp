#include "analysis/equivalence.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/number_format.h"
#include "command/labels.h"
#include "command/parse.h"
#include "command/session.h"
#include "estimation/case_newton.h"
#include "estimation/estimation_work.h"
#include "estimation/probabilities.h"
#include "estimation/setup.h"
#include "report/report_writer.h"

namespace ordena {

namespace {

using Index = std::size_t;

constexpr double kMaxRows = 1.0e6;

// A number of a row; "NA" where there is no finite value to print.
MString rowNumber(double v) { return std::isfinite(v) ? printFormat("%10.5f", v) : MString("NA").rightJustify(10); }

double categoryScore(const EstimationWork& work, int i, int k, int d) {
    return work.scores[(static_cast<Index>(i) * work.maxCat + k) * work.D + d];
}

// True when some generalised item has categories that differ in their score
// on dimension d: only then do the items tell anything about it.
bool informative(const EstimationWork& work, int d) {
    for (int i = 0; i < work.I; ++i) {
        const int first = work.first[static_cast<Index>(i)], ncat = work.ncat[static_cast<Index>(i)];
        for (int k = first + 1; k < ncat; ++k)
            if (categoryScore(work, i, k, d) != categoryScore(work, i, first, d)) return true;
    }
    return false;
}

void headerBlock(ReportWriter& out, const Workspace& ws, int d, bool wle) {
    out.line(rule('-'));
    out.line(MString(wle ? "WLE " : "MLE ") + "Equivalence Table for Dimension " + itoMString(d + 1) + ": (" +
             labelLookup(ws, MString(), kLabelDimensions, itoMString(d + 1)) + ")");
    if (ws.est.method == EstimationMethod::Jml) {
        out.line("Estimation Method: Joint Maximum Likelihood");
    } else {
        const MString regression = ws.model.regressionText.collapseBlanks();
        out.line("The regression model: " + (regression.trim().isEmpty() ? MString(" Constant") : regression));
    }
    out.line("The item model: " + ws.model.modelText.collapseBlanks());
    out.line(rule('.'));
    out.line(" Score      Estimate   Std Error");
    out.line(rule('-'));
    out.line(MString());
}

void footerBlock(ReportWriter& out) {
    out.line(rule('='));
    out.line("Computations assume complete data and integer scoring");
    out.line(rule('='));
}

// The rows of dimension d: one per whole score from 0 to the maximum score
// of a case that answered every generalised item (for MLE the two extreme
// scores moved inwards by zero/perfect).
int equivalenceRows(Session& session, ReportWriter& out, const EstimationWork& work, int d, bool wle) {
    double total = 0.0;
    for (int i = 0; i < work.I; ++i) total += work.maxScore[static_cast<Index>(i) * work.D + d];
    // Scores in the millions make no table anyone could read, only a wait.
    if (total > kMaxRows) {
        out.line("The maximum score on this dimension is too large for a table");
        return 1;
    }
    const int n = static_cast<int>(std::max(total, -1.0));
    const double z = session.ws.settings.zero_perfect;
    for (int i = 0; i <= n; ++i) {
        double r = i;
        if (!wle) {
            if (i == 0) r = z;
            if (i == n) r = n - z;
        }
        const ScoreEstimate e = scoreEstimate(session, work, r, d, wle);
        out.rawLine(rowNumber(r) + rowNumber(e.theta) + rowNumber(std::sqrt(e.variance)));
    }
    return 1;
}

}  // namespace

ScoreStep scoreNewtonStep(const EstimationWork& work, double r, double theta, int d, bool wle) {
    const int D = work.D, maxCat = work.maxCat;
    std::vector<double> t(static_cast<Index>(D), 0.0), p(static_cast<Index>(maxCat));
    t[static_cast<Index>(d)] = theta;
    double I = 0.0, g = r, J = 0.0;
    for (int i = 0; i < work.I; ++i) {
        const int first = work.first[static_cast<Index>(i)], ncat = work.ncat[static_cast<Index>(i)];
        categoryProbabilities(work, i, t.data(), p.data());
        double E = 0.0, M2 = 0.0, M3 = 0.0;
        for (int k = first; k < ncat; ++k) {
            const double b = categoryScore(work, i, k, d), pk = p[static_cast<Index>(k)];
            E += pk * b;
            M2 += pk * b * b;
            M3 += pk * b * b * b;
        }
        I += M2 - E * E;
        g -= E;
        if (wle) J += M3 - 3.0 * E * M2 + 2.0 * E * E * E;
    }
    ScoreStep step;
    step.variance = 1.0 / I;
    if (wle) g += step.variance * J / 2.0;
    step.score = g;
    step.delta = step.variance * g;
    if (std::fabs(step.delta) > 3.0) step.delta = step.delta > 0.0 ? 3.0 : -3.0;
    return step;
}

ScoreEstimate scoreEstimate(Session& session, const EstimationWork& work, double r, int d, bool wle) {
    const double criteria = session.ws.settings.mle_criteria;
    const double bound = session.ws.settings.mle_max;
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const auto fail = [&]() {
        session.errorReport("Convergence failure for score " + printFormat("%10.5f", r));
        return ScoreEstimate{kNaN, kNaN};
    };
    // The same safeguard as the case iterations: a step that would leave
    // the points known either side of the root, or that follows a step
    // which did not bring the score function nearer zero, is replaced.
    RootBracket bracket;
    double theta = 0.0, h = 10.0;
    for (int i = 1;; ++i) {
        const ScoreStep step = scoreNewtonStep(work, r, theta, d, wle);
        double delta = step.delta;
        // Without information at theta there is no step to take.
        if (!std::isfinite(delta)) return fail();
        while (h != 0.0 && std::fabs(delta) > std::fabs(h)) delta /= 2.0;
        bracket.record(theta, step.score);
        const double width = bracket.width();
        delta = bracket.step(theta, delta, criteria);
        const bool replaced = bracket.replaced();
        const double before = theta;
        theta += delta;
        if (std::fabs(theta) > bound) theta = theta > 0.0 ? bound : -bound;
        h = replaced ? width : delta;
        // The checks come before the convergence test: the tenth iteration
        // warns even when it converges.
        if (i % 10 == 0) {
            session.warningReport("Convergence trouble for score " + printFormat("%10.5f", r));
            if (i >= 100) return fail();
        }
        if (std::fabs(delta) <= criteria && !(replaced && width > 1e-9)) return {theta, step.variance};
        // Held at the bound and pushed outwards: no estimate within mle_max.
        if (theta == before) return fail();
    }
}

int equivalenceCommand(Session& session, const MString& text) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    if (!est.estimated) {
        session.errorReport("A model must be estimated before equivalence tables are available");
        return -1;
    }
    const SplitStatement split = splitArguments(text);
    MString argument = split.arguments.removeBlanks();
    if (argument.isEmpty()) argument = "wle";
    if (argument != "wle" && argument != "mle") {
        session.errorReport("Argument must be one of 'wle' or 'mle'");
        return -1;
    }
    const bool wle = argument == "wle";
    est.caseEstimateType = wle ? kCaseWle : kCaseMle;
    const MString file = split.file.trim();
    if (!file.isEmpty() && !prepareOutputFile(session, file)) return -1;

    EstimationWork work;
    loadModel(work, ws.build, est.parameters());
    computeAXsi(work, est.xsi);
    ReportWriter out(session);
    if (!file.isEmpty() && !out.openFile(file, false)) return -1;
    out.pageTop();
    for (int d = 0; d < work.D; ++d) {
        headerBlock(out, ws, d, wle);
        if (informative(work, d))
            equivalenceRows(session, out, work, d, wle);
        else
            out.line("No generalised item is scored on this dimension, so it has no table");
        footerBlock(out);
    }
    return out.closeFile() ? 1 : -1;
}

}  // namespace ordena
