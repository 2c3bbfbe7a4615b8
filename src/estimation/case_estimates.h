// Case estimates: EAPs and plausible values from the posterior, MLEs and
// WLEs by Newton iterations for every case, into the case score file, and
// the case output of show.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"

namespace ordena {

class Session;

// How case output is written: the fixed layout of the case files, or one
// comma-separated line per case with a header (case number, identifier,
// the named explicit variables, each estimate with its error).
struct CaseOutputFormat {
    bool delimited = false;
    std::vector<std::int32_t> variables;  // explicit variables, in order
};

// EAPs, posterior covariances and plausible values for every case; with
// writeFile they also go to fileName as text.
int posteriorPass(Session& session, bool writeFile, const MString& fileName, int plausibleValues,
                  const CaseOutputFormat& format = {});
// MLE (type 4) or WLE (type 3) for every case.
int caseMlePass(Session& session, bool writeFile, const MString& fileName, const CaseOutputFormat& format = {});
// Case output of the current case-estimate type to a text file.
int caseOutput(Session& session, const MString& fileName, const CaseOutputFormat& format = {});

}  // namespace ordena
