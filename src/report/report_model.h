// What the parameter tables and the maps need to know about the model and
// its estimates, read from the workspace in one place: the rows of each
// term with their values, the generalised items' identifiers and labels,
// and their category parameters and thresholds.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"
#include "command/workspace.h"

namespace ordena {

// One row of a model term, as the tables print it.
struct TermRow {
    std::vector<std::int32_t> levels;  // per variable of the term, from 0; the step number for the step
    bool constrained = false;          // fixed by the identification constraint
    bool hasValue = false;             // false for a parameter removed as not identified
    double value = 0.0;                // estimate, or the constrained value
    double variance = 0.0;             // error variance to print; 0 or below prints none
    bool anchored = false;
    int kept = -1;                     // index into the estimates (free rows), else -1
};

// Position of a parameter among the estimates (after non-identified ones
// were removed), or -1.
int keptIndexOf(const EstimationState& est, int parameterNumber);

// The error variance of a sum of estimates (indices into the estimates)
// from the full error covariance: 1'V1 over their rows and columns; 0 when
// there is no full covariance.
double sumErrorVariance(const EstimationState& est, const std::vector<int>& kept);

// Name of a model variable; "step" for the step.
MString variableName(const Workspace& ws, const VariableRef& v);
// The value of level (from 0) as the data have it: the code of an explicit
// variable, the level number from 1 for an implicit one.
MString levelCode(const Workspace& ws, const VariableRef& v, int level);
// The label of that value, or the value itself.
MString levelLabel(const Workspace& ws, const VariableRef& v, int level);

// The rows of a term in table order, with their values and error
// variances. Constrained rows take minus (or plus) the sum of the free rows
// they are fixed by.
std::vector<TermRow> termRows(const Workspace& ws, const ModelTerm& term);

// The text of a term as the tables head it: "(-)" is not added here.
MString termHeading(const ModelTerm& term);

// Generalised items: the model variables that define them (model order),
// the identifier ("2.4.") and the label text of table 7/8.
MString itemIdentifier(const Workspace& ws, int g);
MString itemLabelText(const Workspace& ws, int g);

// True when every category k of every generalised item is scored k on one
// dimension and 0 elsewhere: the condition of the threshold and category
// parameter tables.
bool categoryTablesAvailable(const ModelBuild& build);

// L(g, k): the design row of category k of item g times the estimates.
double categoryLogit(const Workspace& ws, int g, int k);
// delta(g, k) of the category parameter table.
double categoryParameter(const Workspace& ws, int g, int k);
// The ability at which a response in category k or above has probability
// one half at the current estimates (cumulativeThreshold).
double threshold(const Workspace& ws, int g, int k);

}  // namespace ordena
