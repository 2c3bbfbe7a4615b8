#include "report/log_file.h"

#include <cmath>

#include "base/number_format.h"
#include "command/parse.h"
#include "command/session.h"
#include "estimation/hooks.h"
#include "report/report_tables.h"

namespace ordena {

int openLogFile(Session& session, const MString& name) {
    FileSpec& files = session.ws.files;
    int result = 1;
    if (confirmOverwrite(session, name)) {
        files.closeLogFile();
        files.logFileName = name;
        if (!files.logFile.open(name.str(), "w")) {
            files.logFileName = MString();
            session.errorReport("The attempt to open the log file as failed");
            result = -1;
        }
    } else {
        // Reported while the old log, if any, can still record it.
        session.warningReport("A logfile will not be written");
        files.closeLogFile();
    }
    session.statusText(files.logFileName.isEmpty() ? MString("Log File: NONE") : "Log File: " + files.logFileName,
                       1);
    return result;
}

namespace {

// Rows of "   %10.5f" values, each row ended by CR LF.
MString matrixRows(const Matrix& m) {
    MString text;
    if (m.isEmpty()) return text;
    for (int i = 0; i < m.rows(); ++i) {
        for (int j = 0; j < m.columns(); ++j) text += printFormat("   %10.5f", m[i][j]);
        text += "\r\n";
    }
    return text;
}

Matrix correlations(const Matrix& sigma) {
    Matrix r;
    if (sigma.isEmpty() || sigma.rows() != sigma.columns()) return r;
    const int d = sigma.rows();
    r = Matrix(d, d);
    for (int j = 0; j < d; ++j)
        for (int k = 0; k < d; ++k) {
            double v = sigma[j][j] * sigma[k][k];
            r[j][k] = v == 0.0 ? 0.0 : sigma[j][k] / std::sqrt(v);
        }
    return r;
}

}  // namespace

MString iterationRecordText(int iteration, double deviance, double bestDeviance, bool withEstimates,
                            const Matrix& sigma, const Matrix& beta, const Vector& xsi,
                            const IterationChanges& changes, double devianceConstant) {
    MString text = MString::repeat('.', 55);
    text += printFormat("\nIteration = %4d", iteration);
    if (std::fabs(deviance - bestDeviance) < 0.1)
        text += printFormat("\n   Deviance= %13.3f \n", deviance);
    else
        text += printFormat("\n   Deviance= %13.3f (%13.3f)\n", deviance, bestDeviance);
    if (devianceConstant != 0.0) text += printFormat("   -2 Log Likelihood= %13.3f\n", deviance - devianceConstant);
    if (withEstimates) {
        text += "   Covariance \n";
        text += matrixRows(sigma);
        text += "   Correlation \n";
        text += matrixRows(correlations(sigma));
        text += "   Regression Coefficients \n";
        if (!beta.isEmpty())
            for (int d = 0; d < beta.rows(); ++d)
                for (int r = 0; r < beta.columns(); ++r) text += printFormat("   %10.5f", beta[d][r]);
        text += "\n   Item Parameters \n";
        if (!xsi.isEmpty())
            for (int p = 0; p < xsi.rows(); ++p) text += printFormat("%10d%10.5f\r\n", p + 1, xsi[p][0]);
    }
    text += printFormat("Maximum change in item parameters was %10.5f\n", changes.item);
    text += printFormat("Maximum change in regression parameters was %10.5f\n", changes.regression);
    text += printFormat("Maximum change in covariance parameters was %10.5f\n", changes.covariance);
    if (iteration >= 2) text += printFormat("Change in the deviance was %10.3f\n", changes.deviance);
    return text;
}

void logIterationRecord(Session& session, const IterationChanges& changes) {
    if (!session.ws.files.logFile.isOpen()) return;
    const EstimationState& est = session.ws.est;
    session.logText(iterationRecordText(est.iteration, est.deviance, est.bestDeviance,
                                        session.ws.settings.logestimates, est.sigma, est.beta, est.xsi, changes,
                                        est.devianceConstant(session.ws.data.passes.cases)));
}

MString likelihoodRecordText(double minusTwoLogLikelihood, int parameters, double aic, double bic, long long n) {
    MString text = MString::repeat('.', 55);
    text += printFormat("\n-2 Log Likelihood= %13.3f\n", minusTwoLogLikelihood);
    text += printFormat("Total number of estimated parameters= %d\n", parameters);
    text += printFormat("AIC= %13.3f\n", aic);
    text += printFormat("BIC= %13.3f (n = %lld cases)\n", bic, n);
    return text;
}

void logLikelihoodRecord(Session& session) {
    if (!session.ws.files.logFile.isOpen()) return;
    const InformationCriteria c = informationCriteria(session.ws);
    if (!c.available) return;
    session.logText(likelihoodRecordText(c.minusTwoLogLikelihood, c.parameters, c.aic, c.bic, c.n));
}

MString jmlIterationRecordText(int iteration, const JmlIterationChanges& changes) {
    MString text = MString::repeat('.', 55);
    text += printFormat("\nIteration = %4d", iteration);
    text += "\nChanges:";
    text += "\nMaximum for case parameter estimates ==> ";
    for (std::size_t d = 0; d < changes.caseMaximum.size(); ++d) {
        int at = d < changes.caseAt.size() ? changes.caseAt[d] : 0;
        text += printFormat("%10.5f (Case: %6d)\n", changes.caseMaximum[d], at);
    }
    text += "Average for case parameter estimates ==> ";
    for (double average : changes.caseAverage) text += printFormat("%10.5f ", average);
    text += printFormat("\nMaximum for item parameter estimates ==> %10.5f (Parameter: %2d)", changes.itemMaximum,
                        changes.itemAt);
    text += printFormat("\nAverage for item parameter estimates ==> %10.5f\n", changes.itemAverage);
    return text;
}

void logJmlIterationRecord(Session& session, int iteration, const JmlIterationChanges& changes) {
    if (!session.ws.files.logFile.isOpen()) return;
    session.logText(jmlIterationRecordText(iteration, changes));
}

}  // namespace ordena
