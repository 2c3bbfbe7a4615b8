#include "estimation/case_score_file.h"

#include <algorithm>
#include <cstdio>

#include "base/binfile.h"
#include "command/session.h"

namespace ordena {

void CaseScoreRecords::setScores(int n, const std::vector<double>& raw, const std::vector<double>& maximum) {
    if (!valid(n)) return;
    double* r = record(n);
    for (int d = 0; d < D; ++d) {
        r[rawAt() + d] = raw[static_cast<std::size_t>(d)];
        r[maxAt() + d] = maximum[static_cast<std::size_t>(d)];
    }
}

void CaseScoreRecords::reshape(int newV) {
    if (newV == V) return;
    CaseScoreRecords out;
    out.D = D;
    out.V = newV;
    out.N = N;
    out.data.assign(out.recordSize() * static_cast<std::size_t>(N), 0.0);
    for (int n = 0; n < N; ++n) {
        const double* from = record(n);
        double* to = out.record(n);
        std::copy(from, from + plausibleAt(), to);
        for (int d = 0; d < D; ++d)
            for (int v = 0; v < std::min(V, newV); ++v)
                to[out.plausibleAt() + static_cast<std::size_t>(d) * newV + v] =
                    from[plausibleAt() + static_cast<std::size_t>(d) * V + v];
        std::copy(from + jmlAt(), from + recordSize(), to + out.jmlAt());
    }
    *this = std::move(out);
}

int createCaseScoreFile(Session& session, int dimensions) {
    EstimationState& est = session.ws.est;
    if (est.caseScoreFile == "unassigned") est.caseScoreFile = scratchFileName("scrf006.");
    CaseScoreRecords records;
    records.D = dimensions;
    records.V = std::max(0, session.ws.settings.n_plausible);
    records.N = std::max(0, session.ws.data.passes.cases);
    records.data.assign(records.recordSize() * static_cast<std::size_t>(records.N), 0.0);
    est.caseScorePlausible = records.V;
    return saveCaseScores(session, records);
}

int openCaseScores(Session& session, CaseScoreRecords& records) {
    const EstimationState& est = session.ws.est;
    records.D = std::max(1, est.dimensions());
    records.V = est.caseScorePlausible;
    records.N = std::max(0, session.ws.data.passes.cases);
    const std::size_t count = records.recordSize() * static_cast<std::size_t>(records.N);
    const int read = readDoubles(est.caseScoreFile, records.data, count);
    if (read != 1) {
        session.errorReport((read == 0 ? "Open failure to scratch file " : "Error reading scratch file ") +
                            est.caseScoreFile);
        return -1;
    }
    return 1;
}

int saveCaseScores(Session& session, const CaseScoreRecords& records) {
    EstimationState& est = session.ws.est;
    std::FILE* f = std::fopen(est.caseScoreFile.c_str(), "wb");
    if (!f) {
        session.errorReport("Open failure to scratch file " + est.caseScoreFile);
        return -1;
    }
    bool ok = records.data.empty() ||
              std::fwrite(records.data.data(), sizeof(double), records.data.size(), f) == records.data.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        session.errorReport("Error writing scratch file " + est.caseScoreFile);
        return -1;
    }
    est.caseScorePlausible = records.V;
    return 1;
}

}  // namespace ordena
