// The export files and the iteration log as the estimation driver calls
// them: each file is written only when export has named it.
#include "command/session.h"
#include "estimation/hooks.h"
#include "report/export.h"
#include "report/log_file.h"

namespace ordena {

int writeDesignMatrixExport(Session& session) {
    const FileSpec& files = session.ws.files;
    if (files.designMatrixFile.isEmpty()) return 1;
    return writeDesignMatrixFile(session, files.designMatrixFile, kExportReplace);
}

int writeParameterExports(Session& session) {
    const MString parameters = session.ws.files.parameterFile;
    const MString regression = session.ws.files.regressionFile;
    const MString covariance = session.ws.files.covarianceFile;
    int result = 1;
    if (!parameters.isEmpty() && writeParameterFile(session, parameters, kExportReplace, 0) == -1) result = -1;
    if (session.ws.est.method == EstimationMethod::Jml) return result;
    if (!regression.isEmpty() && writeRegressionFile(session, regression, kExportReplace, 0) == -1) result = -1;
    if (!covariance.isEmpty() && writeCovarianceFile(session, covariance, kExportReplace, 0) == -1) result = -1;
    return result;
}

void writeIterationLog(Session& session, const IterationChanges& changes) { logIterationRecord(session, changes); }

void writeLikelihoodLog(Session& session) { logLikelihoodRecord(session); }

void writeJmlIterationLog(Session& session, int iteration, const JmlIterationChanges& changes) {
    logJmlIterationRecord(session, iteration, changes);
}

int writeScoredDataExport(Session& session) {
    const MString name = session.ws.files.scoredDataFile;
    if (name.isEmpty()) return 1;
    return writeScoredDataFile(session, name, kExportReplace);
}

}  // namespace ordena
