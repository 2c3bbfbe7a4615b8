// The equivalence statement: for every dimension, the table that turns each
// raw score of a case that answered every generalised item into a maximum
// likelihood or weighted likelihood estimate with its standard error, under
// the current item parameter estimates.
#pragma once

#include "base/mstring.h"

namespace ordena {

class Session;
struct EstimationWork;

// One Newton step towards the ability of dimension d (the others held at 0)
// whose expected score is r: the step, cut to at most 3 either way, and the
// error variance 1/I at theta. With wle the score carries the weighted
// likelihood correction. A variance that is not finite means the items
// give no information at theta. score is the score function at theta (r
// less the expected score, for wle with the correction), whose sign tells
// on which side of theta the root lies.
struct ScoreStep {
    double delta = 0.0;
    double variance = 0.0;
    double score = 0.0;
};
ScoreStep scoreNewtonStep(const EstimationWork& work, double r, double theta, int d, bool wle);

// The estimate for score r on dimension d by Newton steps from 0, each no
// larger than the one before, within plus or minus mle_max, safeguarded by
// the bracket of the root (RootBracket). Warns at every tenth iteration.
// When there is no estimate (the root lies beyond mle_max, or 100
// iterations did not find it) the failure is reported and theta and the
// variance are NaN: the row prints NA.
struct ScoreEstimate {
    double theta = 0.0;
    double variance = 0.0;
};
ScoreEstimate scoreEstimate(Session& session, const EstimationWork& work, double r, int d, bool wle);

// The statement: equivalence [wle | mle] [! options] [>> file]. 1 or -1.
int equivalenceCommand(Session& session, const MString& arguments);

}  // namespace ordena
