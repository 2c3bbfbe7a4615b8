// The steps of an estimation that other subsystems carry out: export files,
// the iteration log and item fit. The driver calls them at the places where
// they belong; each returns 1 on success and -1 after its own report.
#pragma once

#include <cstdint>
#include <vector>

namespace ordena {

class Session;

// The largest changes of one iteration, as the change report found them.
struct IterationChanges {
    double item = 0.0;
    double regression = 0.0;
    double covariance = 0.0;  // or node weight, under the discrete distribution
    double deviance = 0.0;
};

// The changes of one joint maximum likelihood iteration: per dimension the
// largest change of a case estimate, the case (from 1) where it occurred
// and the average change; the largest item parameter change with its
// parameter (from 1) and the average.
struct JmlIterationChanges {
    std::vector<double> caseMaximum;
    std::vector<std::int32_t> caseAt;
    std::vector<double> caseAverage;
    double itemMaximum = 0.0;
    std::int32_t itemAt = 0;
    double itemAverage = 0.0;
};

// The design matrix export file, when one is named (before the iterations).
int writeDesignMatrixExport(Session& session);
// The item parameter, regression and covariance export files that are named
// (under joint maximum likelihood only the item parameters: there is no
// population model).
int writeParameterExports(Session& session);
// One iteration record of the log file, when a log file is open.
void writeIterationLog(Session& session, const IterationChanges& changes);
void writeJmlIterationLog(Session& session, int iteration, const JmlIterationChanges& changes);
// The likelihood figures of the log file (-2 log likelihood, AIC, BIC) once
// the final estimates are in place.
void writeLikelihoodLog(Session& session);
// The scored data export file, when one is named (after the case estimates).
int writeScoredDataExport(Session& session);
// Item fit after the iterations; importedDesign: the design came from an
// import file.
int itemFitAfterEstimation(Session& session, bool importedDesign);

}  // namespace ordena
