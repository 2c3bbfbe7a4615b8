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
MString iterationRecordText(int iteration, double deviance, double bestDeviance, bool withEstimates,
                            const Matrix& sigma, const Matrix& beta, const Vector& xsi,
                            const IterationChanges& changes);

// The iteration record of joint maximum likelihood (the changes are
// described in estimation/hooks.h).
void logJmlIterationRecord(Session& session, int iteration, const JmlIterationChanges& changes);
MString jmlIterationRecordText(int iteration, const JmlIterationChanges& changes);

}  // namespace ordena
