#include "estimation/population.h"

#include <algorithm>
#include <cmath>

#include "base/number_format.h"
#include "command/labels.h"
#include "command/session.h"

namespace ordena {

int populationUpdate(Session& session, EstimationWork& work, const Matrix& U, const Matrix& S,
                     const std::vector<double>& T, double n) {
    EstimationState& est = session.ws.est;
    const int D = work.D, R = work.R;
    est.beta = U * est.yyInverse;
    est.sigma = (S - est.beta * transpose(U)) / n;
    for (int d = 0; d < D; ++d)
        for (int r = 0; r < R; ++r)
            if (isAnchoredValue(est.regressionAnchors[d][r])) est.beta[d][r] = est.regressionAnchors[d][r];
    for (int d = 0; d < D; ++d)
        for (int e = 0; e < D; ++e)
            if (isAnchoredValue(est.covarianceAnchors[d][e])) est.sigma[d][e] = est.covarianceAnchors[d][e];
    for (int d = 0; d < D; ++d)
        if (!(est.sigma[d][d] > 0.0)) {
            session.errorReport("The variance estimate of dimension " + itoMString(d + 1) +
                                " has become negative. Try increasing the number, or range of, the nodes");
            return -1;
        }
    auto rowLabel = [&](int d) {
        MString label = dimensionLabel(session.ws, d);
        if (label.length() > 11) label = label.mid(0, 11) + "..";
        while (label.length() < 13) label += " ";
        return label;
    };
    MString text = "\r\n";
    text += D == 1 ? "Variance Estimate:" : "Covariance Estimates:";
    text += "\r\n";
    for (int d = 0; d < D; ++d) {
        text += rowLabel(d);
        for (int e = 0; e < D; ++e) text += printFormat("%10.5f", est.sigma[d][e]);
        text += "\r\n";
    }
    if (D > 1) {
        text += "\r\nCorrelation Estimates:\r\n";
        for (int d = 0; d < D; ++d) {
            text += rowLabel(d);
            for (int e = 0; e < D; ++e)
                text += printFormat("%10.5f", est.sigma[d][e] / std::sqrt(est.sigma[d][d] * est.sigma[e][e]));
            text += "\r\n";
        }
    }
    text += "\r\n\r\n";
    text += R > 1 ? "Regression coefficients" : (D == 1 ? "Mean:" : "Means:");
    text += "\r\n";
    for (int d = 0; d < D; ++d) {
        text += rowLabel(d);
        for (int r = 0; r < R; ++r) text += printFormat("%10.5f", est.beta[d][r]);
        text += "\r\n";
    }
    session.appendIterationReport(text);

    float low = 1000.0f, high = -1000.0f;
    for (int d = 0; d < D; ++d) {
        const double mean = T[static_cast<std::size_t>(d)] / n;
        const double sd = std::sqrt(est.sigma[d][d]);
        high = std::max(high, static_cast<float>(4.0 * sd + mean));
        low = std::min(low, static_cast<float>(mean - 4.0 * sd));
    }
    est.displayLow = low;
    est.displayHigh = high;
    est.displayWidth = (high - low) / 60.0f;
    return 1;
}

void regressionMean(const EstimationState& est, const double* rec, int D, int R, double* mean) {
    std::fill_n(mean, D, 0.0);
    if (R < 2) return;
    for (int d = 0; d < D; ++d) {
        double sum = 0.0;
        for (int r = 0; r < R; ++r) sum += est.beta[d][r] * (rec ? rec[1 + r] : (r == 0 ? 1.0 : 0.0));
        mean[d] = sum;
    }
}

}  // namespace ordena
