// Case estimates: EAPs and plausible values from the posterior, MLEs and
// WLEs by Newton iterations for every case, into the case score file, and
// the case output of show.
#pragma once

#include "base/mstring.h"

namespace ordena {

class Session;

// EAPs, posterior covariances and plausible values for every case; with
// writeFile they also go to fileName as text.
int posteriorPass(Session& session, bool writeFile, const MString& fileName, int plausibleValues);
// MLE (type 4) or WLE (type 3) for every case.
int caseMlePass(Session& session, bool writeFile, const MString& fileName);
// Case output of the current case-estimate type to a text file.
int caseOutput(Session& session, const MString& fileName);

}  // namespace ordena
