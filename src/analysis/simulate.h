// The simulate statement: repeats generate, estimate and the reports a
// number of times and appends the results of every replication to a set of
// result files.
#pragma once

#include "base/mstring.h"

namespace ordena {

class Session;

int simulateCommand(Session& session, const MString& arguments);

}  // namespace ordena
