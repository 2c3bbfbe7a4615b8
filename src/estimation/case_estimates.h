// Case estimates: the case score file, EAPs and plausible values from the
// posterior, MLEs and WLEs by Newton iterations, and the case output of show.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"

namespace ordena {

class Session;
class Shell;
struct EstimationWork;
struct EstimationState;

// The case score file held in memory: one record of D * (6 + 4D + V)
// doubles per case, fields in this order: EAP, posterior covariance, MLE,
// its error covariance, WLE, its error covariance, plausible values (D x V),
// JML estimate, its error covariance, raw score, maximum score.
struct CaseScoreRecords {
    int D = 1, V = 0, N = 0;
    std::vector<double> data;

    std::size_t recordSize() const { return static_cast<std::size_t>(D) * (6 + 4 * D + V); }
    double* record(int n) { return data.data() + static_cast<std::size_t>(n) * recordSize(); }
    const double* record(int n) const { return data.data() + static_cast<std::size_t>(n) * recordSize(); }
    bool valid(int n) const { return n >= 0 && n < N; }

    std::size_t eapAt() const { return 0; }
    std::size_t posteriorCovAt() const { return D; }
    std::size_t mleAt() const { return D + D * D; }
    std::size_t mleCovAt() const { return 2 * D + D * D; }
    std::size_t wleAt() const { return 2 * D + 2 * D * D; }
    std::size_t wleCovAt() const { return 3 * D + 2 * D * D; }
    std::size_t plausibleAt() const { return 3 * D + 3 * D * D; }
    std::size_t jmlAt() const { return 3 * D + 3 * D * D + D * V; }
    std::size_t jmlCovAt() const { return 4 * D + 3 * D * D + D * V; }
    std::size_t rawAt() const { return 4 * D + 4 * D * D + D * V; }
    std::size_t maxAt() const { return 5 * D + 4 * D * D + D * V; }

    void setScores(int n, const std::vector<double>& raw, const std::vector<double>& maximum);
    // Changes V, keeping every other field.
    void reshape(int newV);
};

// Gives the case score file a scratch name when it has none and writes one
// empty record per case. 1 or -1.
int createCaseScoreFile(Session& session, int dimensions);
// Reads the whole case score file. 1 or -1 after a report.
int openCaseScores(Session& session, CaseScoreRecords& records);
int saveCaseScores(Session& session, const CaseScoreRecords& records);

// EAPs, posterior covariances and plausible values for every case; with
// writeFile they also go to fileName as text.
int posteriorPass(Session& session, bool writeFile, const MString& fileName, int plausibleValues);
// The mean of a case's latent distribution under the regression: beta
// times its regressors (the record's columns 1 to R - 1 after the
// constant); without a record the constant alone.
void regressionMean(const EstimationState& est, const double* rec, int D, int R, double* mean);
// MLE (type 4) or WLE (type 3) for every case.
int caseMlePass(Session& session, bool writeFile, const MString& fileName);
// Case Newton iterations from theta = 0; returns the information matrix's
// inverse in covariance (D x D, row-major). False when it failed.
bool caseNewton(Session& session, const EstimationWork& work, int m, const std::vector<double>& score, bool wle,
                int caseNumber, std::vector<double>& theta, std::vector<double>& covariance,
                std::vector<double>& information);
// The same iterations from the start vector in theta; iterations receives
// the number of Newton steps taken (10 or more means the case was warned).
bool caseNewtonFrom(Session& session, const EstimationWork& work, int m, const std::vector<double>& score, bool wle,
                    int caseNumber, std::vector<double>& theta, std::vector<double>& covariance,
                    std::vector<double>& information, int* iterations);
// The same for the given responses, reporting through reports (on a worker
// thread of a pass, its deferred reports); iterations may be null.
bool caseNewtonFrom(const Session& session, Shell& reports, const EstimationWork& work, const std::int32_t* items,
                    int m, const std::vector<double>& score, bool wle, int caseNumber, std::vector<double>& theta,
                    std::vector<double>& covariance, std::vector<double>& information, int* iterations);
// Case output of the current case-estimate type to a text file.
int caseOutput(Session& session, const MString& fileName);

}  // namespace ordena
