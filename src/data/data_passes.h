// The two passes over the data file, the case sort and the model file
// build: they turn the data file into the work files every later pass over
// the cases reads.
#pragma once

#include <cstdint>

#include "base/mstring.h"
#include "data/data_pass_state.h"  // scratchFileName

namespace ordena {

class Session;

// Pass one, then pass two, with an interrupt check and a status line before
// each. 1, or -1 after the reports. The lists used are the facet list in
// use and the regression, group and case weight lists of the last data pass
// (the model build sets them).
int runDataPasses(Session& session);
int dataPassOne(Session& session);
int dataPassTwo(Session& session);

// Puts the response file in case order. 1, or -1 after a report.
// sweepBytes bounds the memory of one sweep over the file (tests make it
// small to exercise several sweeps).
int sortResponseFile(Session& session, std::int64_t sweepBytes = std::int64_t{256} << 20);

// Turns the response records into model records carrying their generalised
// item, on disk or (ram) in memory, and counts the levels, the generalised
// items and their categories into the model build. 1, or -1 after a report.
int buildModelFile(Session& session, bool ram);

// The identifier text of case n; empty without a case identifier.
MString caseIdentifier(Session& session, int n);

}  // namespace ordena
