// The simulate statement: repeats generate, estimate and the reports a
// number of times and appends the results of every replication to a set of
// result files.
#pragma once

#include "analysis/generate.h"
#include "base/mstring.h"
#include "command/option_table.h"

namespace ordena {

class Session;

// What one simulate statement runs: the generation settings and the
// estimate options of every replication, and the study's own.
struct SimulationSettings {
    GenerationSettings generation;
    bool centreGiven = false;
    int replications = 1;
    MString prefix = "sim";
    bool keep = false;
    MString condition;
    MString constraint = "cases";
    double convergence = 0.0001, devianceChange = 0.0001, alpha = 0.0;
    double minNode = -6.0, maxNode = 6.0;
    int nodes = 0;   // 0: not given
    MString method;  // empty: not given
    MString plausible;
    int iterations = 1000;
    MString storage;  // empty: not given
    MString stdErr = "quick";
    bool fit = true;
    MString distribution = "normal";
};

// The options of the simulate statement: generate's, most of estimate's and
// its own.
const OptionTable<SimulationSettings>& simulateOptionTable();
int simulateCommand(Session& session, const MString& arguments);

}  // namespace ordena
