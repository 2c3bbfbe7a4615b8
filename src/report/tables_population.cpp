// Table 3 under a normal population: the latent regression, the covariance
// matrix of the dimensions and the reliabilities of the case estimates.
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/binfile.h"
#include "base/number_format.h"
#include "command/labels.h"
#include "command/workspace.h"
#include "report/report_model.h"
#include "report/report_tables.h"

namespace ordena {

namespace {

const char* const kAsteriskNote = "An asterisk next to a parameter estimate indicates that it is constrained";

// Sums of one kind of estimate on one dimension over the cases that have
// one (a failed MLE or WLE is NaN and left out).
struct Moments {
    double sum = 0.0, squares = 0.0, errors = 0.0;
    int n = 0;
    void add(double x) {
        sum += x;
        squares += x * x;
        ++n;
    }
    void add(double x, double error) {
        if (!std::isfinite(x) || !std::isfinite(error)) return;
        add(x);
        errors += error;
    }
    double variance(double n) const { return (squares - n * (sum / n) * (sum / n)) / (n - 1.0); }
};

}  // namespace

Reliabilities computeReliabilities(const Workspace& ws) {
    const EstimationState& est = ws.est;
    const int D = est.dimensions();
    Reliabilities r;
    r.mle.assign(static_cast<std::size_t>(std::max(D, 0)), -1.0);
    r.wle = r.mle;
    r.eap = r.mle;
    const bool mle = est.mleAvailable, wle = est.wleAvailable, eap = est.eapAvailable;
    const int N = ws.data.passes.cases;
    const int V = est.caseScorePlausible;
    if ((!mle && !wle && !eap) || D <= 0 || N < 2 || V < 0) return r;

    BinaryFile file(est.caseScoreFile.str(), "rb");
    if (!file.isOpen()) return r;
    // Record: EAP, posterior covariance, MLE and its covariance, WLE and its
    // covariance, plausible values (dimension by dimension), JML estimate and
    // covariance, raw and maximum scores.
    const std::size_t recordSize = static_cast<std::size_t>(D) * (6 + 4 * D + V);
    const std::size_t eapAt = 0, mleAt = D + D * D, mleCovAt = mleAt + D, wleAt = mleCovAt + D * D,
                      wleCovAt = wleAt + D, pvAt = wleCovAt + D * D;
    std::vector<double> record(recordSize);
    std::vector<Moments> mleSums(D), wleSums(D), eapSums(D), pvSums(D);
    for (int n = 0; n < N; ++n) {
        for (double& x : record)
            if (!file.readDouble(x)) return r;  // a short file gives no reliabilities
        for (int j = 0; j < D; ++j) {
            const std::size_t jj = static_cast<std::size_t>(j) * D + j;
            if (mle) {
                mleSums[j].add(record[mleAt + j], record[mleCovAt + jj]);
            }
            if (wle) {
                wleSums[j].add(record[wleAt + j], record[wleCovAt + jj]);
            }
            if (eap) {
                eapSums[j].add(record[eapAt + j]);
                if (V > 0) pvSums[j].add(record[pvAt + static_cast<std::size_t>(j) * V]);
            }
        }
    }
    auto separation = [&](const Moments& m) {
        if (m.n < 2) return 0.0;
        double variance = m.variance(m.n);
        if (!(variance > 0.0)) return 0.0;
        double rel = (variance - m.errors / m.n) / variance;
        return rel < 0.0 ? 0.0 : rel;
    };
    for (int j = 0; j < D; ++j) {
        if (mle) r.mle[j] = separation(mleSums[j]);
        if (wle) r.wle[j] = separation(wleSums[j]);
        // Without plausible values, or with no spread in them, the ratio
        // has no meaning and stays unavailable.
        if (eap && V > 0) {
            double pv = pvSums[j].variance(N);
            if (pv > 0.0) r.eap[j] = eapSums[j].variance(N) / pv;
        }
    }
    return r;
}

int printPopulationTables(ReportWriter& out, const Workspace& ws) {
    const EstimationState& est = ws.est;
    const int D = est.dimensions();
    const int R = est.regressors();
    Reliabilities rel = computeReliabilities(ws);
    out.pageHeader("TABLES OF POPULATION MODEL PARAMETER ESTIMATES");

    // Regression coefficients: one 17-character column per dimension.
    const int width = 17 * D + 30 > kReportWidth ? 17 * D + 30 : kReportWidth;
    const bool errors = est.options.stdErr != StdErrMode::None;
    out.line("REGRESSION COEFFICIENTS");
    out.line("");
    MString line = reportLine(width);
    line.centre("Dimension", 25, 25 + 17 * D);
    out.line(line);
    line = reportLine(width);
    line.overlay(rule('-', 17 * D), 25);
    out.line(line);
    line = reportLine(width);
    line.overlay("Regression Variable", 0);
    for (int d = 0; d < D; ++d) line.centre(dimensionLabel(ws, d), 25 + 17 * d, 25 + 17 * (d + 1));
    out.line(line);
    out.line(rule('-', width));
    std::vector<MString> names{"CONSTANT"};
    for (std::int32_t k : ws.model.lastRegression.explicitIndices) names.push_back(variableName(ws, {kExplicitVariable, k}));
    for (std::int32_t k : ws.model.lastRegression.implicitIndices) names.push_back(variableName(ws, {kImplicitVariable, k}));
    for (int r = 0; r < R; ++r) {
        line = reportLine(width);
        MString name = r < static_cast<int>(names.size()) ? names[static_cast<std::size_t>(r)] : "Regressor " + itoMString(r);
        if (name.length() > 23) name = name.mid(0, 21) + "..";
        line.overlay(name, 0);
        for (int d = 0; d < D; ++d) {
            const int c = 25 + 17 * d;
            line.overlay(dtoMString(est.beta[d][r], "%7.3f"), c + 2);
            if (d < est.regressionAnchors.rows() && r < est.regressionAnchors.columns() &&
                isAnchoredValue(est.regressionAnchors[d][r]))
                line.overlay("*", c + 9);
            const double variance = errors ? est.regressionErrorVariance(r, d) : 0.0;
            if (variance > 0.0) line.overlay(dtoMString(std::sqrt(variance), "%6.3f"), c + 10);
        }
        out.line(line);
    }
    out.line(rule('-', width));
    out.line(kAsteriskNote);
    out.line(rule('=', width));

    // Covariances on and above the diagonal, correlations below it.
    const int covWidth = 25 + 13 * D > kReportWidth ? 25 + 13 * D : kReportWidth;
    out.line("COVARIANCE/CORRELATION MATRIX");
    out.line("");
    if (D > 1) {
        line = reportLine(covWidth);
        line.centre("Dimension", 25, 25 + 13 * D);
        out.line(line);
        line = reportLine(covWidth);
        line.overlay(rule('-', 13 * D), 25);
        out.line(line);
        line = reportLine(covWidth);
        for (int d = 0; d < D; ++d) line.centre(dimensionLabel(ws, d), 25 + 13 * d, 38 + 13 * d);
        out.line(line);
        out.line("");
    }
    for (int i = 0; i < D; ++i) {
        line = reportLine(covWidth);
        line.centre(D == 1 ? MString("Variance") : dimensionLabel(ws, i), 0, 13);
        for (int j = 0; j < D; ++j) {
            double value = est.sigma[i][j];
            if (j < i) {
                double s = std::sqrt(est.sigma[i][i] * est.sigma[j][j]);
                value = s > 0.0 ? est.sigma[i][j] / s : 0.0;
            }
            line.overlay(dtoMString(value, "%7.3f"), 25 + 13 * j + 3);
            if (j >= i && i < est.covarianceAnchors.rows() && j < est.covarianceAnchors.columns() &&
                isAnchoredValue(est.covarianceAnchors[i][j]))
                line.overlay("*", 25 + 13 * j + 10);
        }
        out.line(line);
    }
    out.line(rule('-', covWidth));
    out.line(kAsteriskNote);
    if (D > 1) out.line("Values below the diagonal are correlations and values above are covariances");
    out.line(rule('=', covWidth));

    out.line("");
    out.line("RELIABILITY COEFFICIENTS");
    out.line("------------------------");
    out.line("");
    for (int d = 0; d < D; ++d) {
        out.line("Dimension: (" + dimensionLabel(ws, d) + ")");
        out.line("-----------------------");
        out.line(rel.mle[d] >= 0.0 ? "MLE Person separation RELIABILITY: " + dtoMString(rel.mle[d], "%7.3f")
                                   : MString("MLE Person separation RELIABILITY:  Unavailable"));
        out.line(rel.wle[d] >= 0.0 ? "WLE Person separation RELIABILITY: " + dtoMString(rel.wle[d], "%7.3f")
                                   : MString("WLE Person separation RELIABILITY:  Unavailable"));
        out.line(rel.eap[d] >= 0.0 ? "EAP/PV RELIABILITY:                " + dtoMString(rel.eap[d], "%7.3f")
                                   : MString("EAP/PV RELIABILITY:                 Unavailable"));
    }
    out.line("------------------------");
    return 1;
}

}  // namespace ordena
