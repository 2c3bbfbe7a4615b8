// The case score file held in memory: one record per case with its EAP,
// MLE, WLE, plausible values, JML estimate and scores; created empty, read
// whole and written back by the passes that fill it.
#pragma once

#include <cstddef>
#include <vector>

namespace ordena {

class Session;

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

}  // namespace ordena
