// What must hold between the parts of a workspace read from a system file
// before it may replace the session's: the sizes, indices and counts that
// the work files, the reports and the estimation rely on. Each check names
// the first field found wrong, or gives null when all agree.
#pragma once

#include "command/workspace.h"

namespace ordena::systemfile {

// The sizes the design matrices, background data and item responses of the
// file are read with.
const char* sizeProblem(const Workspace& ws);

// The whole workspace, once everything is read.
const char* workspaceProblem(const Workspace& ws);

// The model build on its own: what the constrained design is made from.
const char* buildProblem(const Workspace& ws);

}  // namespace ordena::systemfile
