// The log file: opened by the logfile clause of export, it receives the
// statement echoes, every error and warning report and yes/no question
// (the session copies those), the sufficient statistics tables (written
// by the estimation) and one record per iteration.
#pragma once

#include <cstdint>
#include <vector>

#include "base/matrix.h"
#include "base/mstring.h"
#include "estimation/hooks.h"

namespace ordena {

class Session;

// The logfile clause: asks before replacing an existing file, closes the
// log file open so far and creates the new one. 1, or -1 after a report
// when the file cannot be created. A cancelled question leaves no log file
// and is not a failure.
int openLogFile(Session& session, const MString& name);

// The iteration record of the marginal estimation, from the estimation
// state (iteration number, deviances, sigma, beta, xsi) and the largest
// changes of the iteration. Nothing when no log file is open.
void logIterationRecord(Session& session, const IterationChanges& changes);
// devianceConstant: the part of the deviance that Bock/Aitken quadrature
// adds (0 under the other methods); when it is not 0 the record also gives
// -2 log likelihood, the deviance without it.
MString iterationRecordText(int iteration, double deviance, double bestDeviance, bool withEstimates,
                            const Matrix& sigma, const Matrix& beta, const Vector& xsi,
                            const IterationChanges& changes, double devianceConstant = 0.0);

// The record after the iterations of a marginal estimation: -2 log
// likelihood, the number of estimated parameters, AIC and BIC with the
// sample size BIC uses. Nothing when no log file is open.
void logLikelihoodRecord(Session& session);
MString likelihoodRecordText(double minusTwoLogLikelihood, int parameters, double aic, double bic, long long n);

// The iteration record of joint maximum likelihood (the changes are
// described in estimation/hooks.h).
void logJmlIterationRecord(Session& session, int iteration, const JmlIterationChanges& changes);
MString jmlIterationRecordText(int iteration, const JmlIterationChanges& changes);

}  // namespace ordena
