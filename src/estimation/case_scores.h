// A case's raw and maximum scores per dimension from its responses, the
// zero/perfect adjustment of extreme scores, the check that each dimension
// has data, and the pass that writes them into the case score file.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"
#include "estimation/estimation_work.h"

namespace ordena {

class Session;
class Shell;

// Case scores: raw and maximum score per dimension. False when the check
// finds a dimension without data (after the report).
bool caseScores(Session& session, const EstimationWork& work, int m, bool adjust, bool check, int caseNumber,
                std::vector<double>& raw, std::vector<double>& maximum, MString* text);
// The same for the given responses, reporting through reports (on a worker
// thread of a pass, its deferred reports).
bool caseScores(const Session& session, Shell& reports, const EstimationWork& work, const std::int32_t* items,
                const std::int32_t* categories, int m, bool adjust, bool check, int caseNumber,
                std::vector<double>& raw, std::vector<double>& maximum, MString* text);
// The zero/perfect value z in place of zero and perfect raw scores.
void adjustExtremeScores(double z, std::vector<double>& raw, const std::vector<double>& maximum);
// False, after the "No valid data for case" report, when a dimension has
// no maximum score.
bool checkCaseScores(Session& session, int caseNumber, const std::vector<double>& maximum);
bool checkCaseScores(const Session& session, Shell& reports, int caseNumber, const std::vector<double>& maximum);

// The raw and maximum scores of every case into the case score file (the
// sufficient statistics pass writes them too).
int writeCaseScores(Session& session, EstimationWork& work);

}  // namespace ordena
