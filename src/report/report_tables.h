// The tables of show, each printed through a report writer. A table that
// cannot be printed reports why and returns -1; show goes on or stops as
// its rules say.
#pragma once

#include <vector>

#include "report/report_writer.h"

namespace ordena {

class Session;
struct Workspace;

// Table 1: the summary of the estimation.
int printSummaryTable(ReportWriter& out, const Workspace& ws);
// The likelihood figures of the summary: -2 log likelihood (the deviance
// without the constant of Bock/Aitken quadrature), the estimated
// parameters p, the sample size n that BIC uses (the cases whose
// likelihood entered the deviance), AIC = -2 log L + 2p and
// BIC = -2 log L + p ln(n). available is false under JML.
struct InformationCriteria {
    bool available = false;
    double minusTwoLogLikelihood = 0.0, aic = 0.0, bic = 0.0;
    int parameters = 0;
    long long n = 0;
};
InformationCriteria informationCriteria(const Workspace& ws);
// Total number of estimated parameters, as the summary counts them.
int estimatedParameterCount(const Workspace& ws);
// Table 3 under a discrete population: the nodes and their weights.
int printNodesTable(ReportWriter& out, const Workspace& ws);

// Table 2, one block per model term.
int printParameterTables(ReportWriter& out, const Workspace& ws);
// Table 2 for an imported design: one line per parameter.
int printImportedParameterTable(ReportWriter& out, const Workspace& ws);
// Table 7: thresholds of the generalised items.
int printThresholdTable(ReportWriter& out, const Workspace& ws);
// Table 8: category parameters of the generalised items.
int printCategoryParameterTable(ReportWriter& out, const Workspace& ws);
// Table 10: the error variance/covariance matrix of the item parameters.
int printErrorCovarianceTable(ReportWriter& out, const Workspace& ws);

// Reliabilities of the case estimates per dimension; -1 where unavailable.
struct Reliabilities {
    std::vector<double> mle, wle, eap;
};
// Reads the case score file for the estimates that exist.
Reliabilities computeReliabilities(const Workspace& ws);
// Table 3 under a normal population: regression, covariance and
// reliability blocks.
int printPopulationTables(ReportWriter& out, const Workspace& ws);

// Maps: table 4 (dimension -1) or one map of table 9 (dimension d), table 5
// and table 6. They build the case distribution first when it is missing.
int printParameterMap(ReportWriter& out, Session& session, int dimension);
int printThresholdMap(ReportWriter& out, Session& session);
int printHorizontalThresholdMap(ReportWriter& out, Session& session);

}  // namespace ordena
