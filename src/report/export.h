// The export statement and the writers of the export files: item
// parameters, regression coefficients, covariances, scored data and the
// design matrix. Every record ends with CR LF.
#pragma once

#include "base/mstring.h"
#include "command/option_table.h"

namespace ordena {

class Session;
struct Workspace;

// How a writer opens its file: ask before replacing an existing file (a
// Cancel ends the writer silently) and truncate, or append without asking.
enum ExportMode { kExportReplace = 0, kExportAppend = 1 };

// The export statement.
// The keywords of the export statement's file clauses.
const OptionWords& exportKeywords();
int handleExport(Session& session, const MString& arguments);

// Each writer returns 1 (also after a cancelled question), or -1 after its
// error report. details: the extra columns (standard errors, fit) that
// replicated simulations append.
int writeParameterFile(Session& session, const MString& name, int mode, int details);
int writeRegressionFile(Session& session, const MString& name, int mode, int details);
int writeCovarianceFile(Session& session, const MString& name, int mode, int details);
int writeScoredDataFile(Session& session, const MString& name, int mode);
int writeDesignMatrixFile(Session& session, const MString& name, int mode);

// The texts the writers put in their files.
MString parameterFileText(const Workspace& ws, int details);
// The item parameters as a comma-separated table with a header: number,
// estimate, error, the four fit statistics (NA where there are none) and
// the parameter's description ("item 3 step 1"). import reads it back.
MString parameterTableText(const Workspace& ws);
MString regressionFileText(const Workspace& ws, int details);
MString covarianceFileText(const Workspace& ws, int details);
MString designMatrixFileText(const Workspace& ws);

// The comment that names the term variables and levels of parameter p
// (a position among the kept parameters), e.g. "   /* item 3 step 1 */";
// empty when the parameter cannot be traced to a term.
MString parameterComment(const Workspace& ws, int p);

// The number of item parameters of the current estimate.
int exportParameterCount(const Workspace& ws);

}  // namespace ordena
