#include "estimation/driver.h"

#include <algorithm>
#include <cmath>

#include "base/number_format.h"
#include "base/timing.h"
#include "command/session.h"
#include "estimation/case_estimates.h"
#include "estimation/case_score_file.h"
#include "estimation/case_scores.h"
#include "estimation/estep.h"
#include "estimation/estimation_work.h"
#include "estimation/hooks.h"
#include "estimation/mstep.h"
#include "estimation/setup.h"
#include "estimation/standard_errors.h"
#include "estimation/sufficient_statistics.h"

namespace ordena {

namespace {

// Bock/Aitken quadrature places its nodes at a fixed spacing h. A normal
// density whose standard deviation is below h is no longer integrated well
// on that grid: the variance moves by several per cent at h = 1.5 sd and by
// tens of per cent at h = 2 sd and beyond (a spacing of 0.857 turned a
// residual variance of 0.260 into 0.332). After the estimation the
// standard deviation of every
// dimension, and of the minor axis of the covariance, is set against h,
// and the warning says how many nodes bring h down to it.
void warnOfCoarseGrid(Session& session, const EstimationState& est, const EstimationWork& work) {
    if (est.method != EstimationMethod::Quadrature || work.discrete || est.sigma.isEmpty()) return;
    const double h = std::fabs(static_cast<double>(est.stepH));
    const double range = std::fabs(static_cast<double>(est.options.maxNode) - est.options.minNode);
    if (!(h > 0.0) || !(range > 0.0)) return;
    const int D = est.sigma.rows();
    // The nodes that bring the spacing to half the standard deviation: the
    // margin covers a standard deviation that the coarse grid overstated.
    auto nodesFor = [&](double sd) { return static_cast<long long>(std::ceil(2.0 * range / sd)) + 1; };
    auto warn = [&](const MString& what, double sd) {
        session.warningReport("The node spacing " + printFormat("%.3f", h) + " is coarse for the estimated standard " +
                              "deviation " + printFormat("%.3f", sd) + " of " + what +
                              ": the variance and the regression may be off. Raise the nodes to at least " +
                              itoMString(nodesFor(sd)) + " per dimension (estimate ! nodes=" +
                              itoMString(nodesFor(sd)) + ")");
    };
    double smallest = HUGE_VAL;
    for (int d = 0; d < D; ++d) {
        const double sd = est.sigma[d][d] > 0.0 ? std::sqrt(est.sigma[d][d]) : 0.0;
        smallest = std::min(smallest, sd);
        if (sd > 0.0 && sd < h) warn("dimension " + itoMString(d + 1), sd);
    }
    if (D < 2 || !(smallest >= h)) return;
    Vector lambda;
    Matrix V;
    int rotations = 0;
    jacobiEigen(est.sigma, D, lambda, V, rotations);
    double minor = HUGE_VAL;
    for (int d = 0; d < D; ++d) minor = std::min(minor, lambda[d][0]);
    if (minor > 0.0 && std::sqrt(minor) < h)
        warn(MString("the minor axis of the covariance (strongly correlated dimensions)"), std::sqrt(minor));
}

// Largest change by absolute value, sign kept; the first of equal maxima wins.
void largest(double change, double& best) {
    if (std::fabs(change) > std::fabs(best)) best = change;
}

// Returns true when the iterations must stop.
bool changeReport(Session& session, EstimationWork& work, int t, IterationChanges& c) {
    EstimationState& est = session.ws.est;
    const int D = work.D, R = work.R;
    c = IterationChanges{};
    c.deviance = est.previousDeviance - est.deviance;
    work.regressionConverged = work.covarianceConverged = false;
    for (int p = 0; p < est.parameters(); ++p) largest(est.xsi[p][0] - est.previousXsi[p][0], c.item);
    const double conv = est.options.convergence;
    if (!work.discrete) {
        for (int d = 0; d < D; ++d)
            for (int r = 0; r < R; ++r) largest(est.beta[d][r] - est.previousBeta[d][r], c.regression);
        for (int d = 0; d < D; ++d)
            for (int e = d; e < D; ++e) largest(est.sigma[d][e] - est.previousSigma[d][e], c.covariance);
        work.regressionConverged = std::fabs(c.regression) < conv;
    } else {
        for (int q = 0; q < est.gwt.rows() && q < est.previousGwt.rows(); ++q)
            largest(est.gwt[q][0] - est.previousGwt[q][0], c.covariance);
        work.regressionConverged = true;
    }
    work.covarianceConverged = std::fabs(c.covariance) < conv;

    MString text = "\r\nMaximum changes:\r\n";
    text += "Item parameter estimates ==> " + printFormat("%10.5f", c.item) + "\r\n";
    if (!work.discrete) {
        const char* title = R > 1 ? "Regression coefficients  ==> "
                                  : (D == 1 ? "Mean estimate            ==> " : "Mean estimates           ==> ");
        text += MString(title) + printFormat("%10.5f", c.regression) + "\r\n";
        text += MString(D == 1 ? "Variance estimate        ==> " : "Covariance matrix        ==> ") +
                printFormat("%10.5f", c.covariance) + "\r\n";
    } else {
        text += "Node weights             ==> " + printFormat("%10.5f", c.covariance) + "\r\n";
    }
    session.appendIterationReport(text);
    ProgressChanges shown;
    shown.hasDeviance = t > 1;
    shown.deviance = c.deviance;
    shown.item = c.item;
    shown.regression = c.regression;
    shown.covariance = c.covariance;
    if (!work.discrete) {
        shown.regressionLabel = R > 1 ? "Regression coefficients" : (D == 1 ? "Mean" : "Means");
        shown.covarianceLabel = D == 1 ? "Variance" : "Covariances";
    } else {
        shown.covarianceLabel = "Node weights";
    }
    session.progressChanges(shown);
    if (t > 1) {
        session.appendIterationReport("Change in the deviance is" + printFormat("%14.5f", c.deviance) + "\r\n" +
                                      "..........................................\r\n");
        if (std::fabs(c.deviance) < est.options.devianceChange) {
            session.appendOutput("Deviance change is less than covergence criterion\r\n");
            est.terminationReason = kTerminateDeviance;
            return true;
        }
    }
    if (t == est.options.iterations) {
        session.appendOutput("Maximum number of iterations has been reached\r\n");
        est.terminationReason = kTerminateIterations;
        return true;
    }
    if (est.iterationsWithoutImprovement == session.ws.settings.iterlimit - 1) {
        session.appendOutput("The deviance is no longer improving\r\n");
        est.terminationReason = kTerminateNoImprovement;
        return true;
    }
    const bool moving = std::fabs(c.item) > conv || std::fabs(c.covariance) > conv ||
                        (!work.discrete && std::fabs(c.regression) > conv);
    if (moving) return false;
    session.appendOutput("The maximum change in the estimates is less than the convergence criterion\r\n");
    est.terminationReason = kTerminateConverged;
    return true;
}

void keepBest(EstimationState& est, bool discrete, int t) {
    est.previousDeviance = est.deviance;
    est.previousXsi = est.xsi;
    if (!discrete) {
        est.previousBeta = est.beta;
        est.previousSigma = est.sigma;
    } else {
        est.previousGwt = est.gwt;
    }
    if (est.deviance < est.bestDeviance || t < 5) {
        est.bestXsi = est.xsi;
        est.bestIteration = t;
        if (!discrete) {
            est.bestBeta = est.beta;
            est.bestSigma = est.sigma;
        } else {
            est.bestGwt = est.gwt;
        }
        est.bestDeviance = est.deviance;
        est.bestLikelihoodWeight = est.likelihoodWeight;
        est.bestLikelihoodCases = est.likelihoodCases;
        est.iterationsWithoutImprovement = 0;
    } else {
        ++est.iterationsWithoutImprovement;
    }
}

double determinant(const Matrix& sigma) {
    if (sigma.rows() == 1) return sigma[0][0];
    Matrix out(sigma.rows(), sigma.rows());
    return invertInto(sigma, out);
}

}  // namespace

int estimationDriver(Session& session) {
    Workspace& ws = session.ws;
    EstimationState& est = ws.est;
    EstimationWork work;
    if (estimationSetup(session, work) != 1) return -1;
    if (calcYYinv(session, work) != 1) return -1;
    if (createCaseScoreFile(session, work.D) != 1) return -1;
    if (work.allAnchored) {
        // Reports and the case estimates still need the case scores.
        if (writeCaseScores(session, work) != 1) return -1;
    } else {
        if (sufficientStatistics(session, work) != 1) return -1;
    }
    if (work.method == EstimationMethod::MonteCarlo && work.R >= 2 && !work.allAnchored) {
        session.errorReport(
            "Monte-Carlo regression not available with regressors \nunless all item parameters are anchored");
        return -1;
    }
    if (writeDesignMatrixExport(session) != 1) return -1;
    bool exportFailed = false;
    est.iteration = 0;
    est.iterationsWithoutImprovement = 0;
    est.bestIteration = 0;
    est.terminationReason = kTerminateIterations;

    ProgressWindowScope progress(session, false);
    for (int t = 1; est.options.iterations > 0; ++t) {
        Stopwatch clock;
        session.appendIterationReport("\r\nIteration: " + itoMString(t) + "  ...........................\r\n");
        session.progressIteration(t);
        if (EStep(session, work) != 1) return -1;
        session.progressDeviance(est.deviance);
        double step = 0.0;
        if (!work.allAnchored && MStep(session, work, step) != 1) return -1;
        IterationChanges changes;
        bool terminate = changeReport(session, work, t, changes);
        if (ws.settings.update && writeParameterExports(session) == -1) exportFailed = true;
        if (std::fabs(determinant(est.sigma)) < 1e-10) {
            session.appendOutput(
                "The variance has become too small for estimation to continue\r\n"
                "It may be necessary to increase the number of nodes\r\n");
            est.terminationReason = kTerminateVariance;
            terminate = true;
        }
        est.iteration = t;
        if (terminate) session.appendOutput("Iterations will terminate\r\n");
        keepBest(est, work.discrete, t);
        writeIterationLog(session, changes);
        session.timing.addIteration(clock.seconds());
        if (terminate) break;
    }
    progress.close();

    est.earlierSolutionBetter = false;
    if (est.iteration >= 1 && std::fabs(est.deviance - est.bestDeviance) > 0.1) {
        MString text =
            "Convergence has occurred but a solution with a higher likelihood was encountered at iteration " +
            itoMString(est.bestIteration);
        text += ws.settings.keeplastests ? " The results for the last iteration will be retained."
                                         : " The results for this earlier solution will be retained. ";
        text +=
            " Rerunning this analysis using the current estimates as initial values and/or increasing the number of "
            "nodes is strongly advised.";
        session.warningReport(text);
        est.earlierSolutionBetter = true;
    }
    if (!ws.settings.keeplastests && est.iteration >= 1) {
        est.xsi = est.bestXsi;
        if (!work.discrete) {
            est.beta = est.bestBeta;
            est.sigma = est.bestSigma;
        } else {
            est.gwt = est.bestGwt;
        }
        est.deviance = est.bestDeviance;
        est.likelihoodWeight = est.bestLikelihoodWeight;
        est.likelihoodCases = est.bestLikelihoodCases;
        est.iteration = est.bestIteration;
    }
    if (est.deviance >= kNoDeviance) est.deviance = 0.0;
    writeLikelihoodLog(session);
    warnOfCoarseGrid(session, est, work);
    const double remembered = est.deviance;
    auto fail = [&]() {
        est.deviance = remembered;
        return -1;
    };
    if (writeParameterExports(session) == -1) exportFailed = true;
    if (work.D == 1 && work.method != EstimationMethod::MonteCarlo && est.options.stdErr == StdErrMode::Full) {
        session.appendOutput("Calculating standard errors\r\n");
        if (fullStandardErrors(session, work) != 1) return fail();
    } else if (est.options.stdErr == StdErrMode::Quick) {
        quickStandardErrors(session, work);
    }
    est.estimated = 1;
    const EstimationMethod savedMethod = est.method;
    const int savedQ = est.nodeCount;
    struct Restore {
        EstimationState& est;
        EstimationMethod method;
        int Q;
        ~Restore() {
            est.method = method;
            est.nodeCount = Q;
        }
    } restore{est, savedMethod, savedQ};
    est.method = EstimationMethod::MonteCarlo;

    const int V = std::max(0, ws.settings.n_plausible);
    if (!est.options.plausibleFile.isEmpty()) {
        if (posteriorPass(session, true, est.options.plausibleFile, V) != 1) {
            session.errorReport("Plausible value computation has failed.");
            return fail();
        }
    } else if (est.options.abilities) {
        if (posteriorPass(session, false, MString(), V) != 1) {
            session.errorReport("Plausible value computation has failed.");
            return fail();
        }
    }
    if (est.options.abilities) {
        session.statusText("WLE estimates will now be computed.", 0);
        est.caseEstimateType = kCaseWle;
        if (caseMlePass(session, false, MString()) != 1) {
            session.errorReport("Error in WLE computation");
            return fail();
        }
        session.statusText("MLE estimates will now be computed.", 0);
        est.caseEstimateType = kCaseMle;
        if (caseMlePass(session, false, MString()) != 1) {
            session.errorReport("Error in MLE computation");
            return fail();
        }
    }
    if (est.options.fit && itemFitAfterEstimation(session, ws.build.importedDesign != 0) != 1) {
        session.errorReport("Fit computation has failed.");
        return fail();
    }
    est.method = savedMethod;
    est.nodeCount = savedQ;
    if (writeScoredDataExport(session) == -1) return fail();
    // An export file that could not be written was reported where it
    // failed; the estimates stay, but the statement must not pass as done.
    if (exportFailed) return fail();
    session.statusText(" ", 0);
    return 1;
}

}  // namespace ordena
