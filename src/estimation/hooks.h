// The steps of an estimation that other subsystems carry out: export files,
// the iteration log and item fit. The driver calls them at the places where
// they belong; each returns 1 on success and -1 after its own report.
#pragma once

namespace ordena {

class Session;

// The largest changes of one iteration, as the change report found them.
struct IterationChanges {
    double item = 0.0;
    double regression = 0.0;
    double covariance = 0.0;  // or node weight, under the discrete distribution
    double deviance = 0.0;
};

// The design matrix export file, when one is named (before the iterations).
int writeDesignMatrixExport(Session& session);
// The item parameter, regression and covariance export files that are named.
int writeParameterExports(Session& session);
// One iteration record of the log file, when a log file is open.
void writeIterationLog(Session& session, const IterationChanges& changes);
// The scored data export file, when one is named (after the case estimates).
int writeScoredDataExport(Session& session);
// Item fit after the iterations; importedDesign: the design came from an
// import file.
int itemFitAfterEstimation(Session& session, bool importedDesign);

}  // namespace ordena
