// The sufficient statistics pass: every parameter's sufficient statistic
// (the weighted sum of its design values over the observed responses), the
// identification check that removes the parameters the data cannot
// identify, and the words that name a parameter in its warnings.
#pragma once

#include "base/mstring.h"
#include "estimation/estimation_work.h"

namespace ordena {

class Session;
struct CaseResponses;
struct ParameterSpec;

// The sufficient statistics pass with the identification check. With
// responses (joint maximum likelihood) it also lists the items of every
// case's responses and words its warnings for that method. 1 or -1.
int sufficientStatistics(Session& session, EstimationWork& work, CaseResponses* responses = nullptr);

// Description of parameter levels: "name label, " per explicit variable,
// "name level," per implicit one; describeParameter for estimated
// parameter p of the build.
MString describeLevels(Session& session, const ParameterSpec& spec);
MString describeParameter(Session& session, int p);

}  // namespace ordena
