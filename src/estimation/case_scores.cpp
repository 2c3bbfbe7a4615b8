#include "estimation/case_scores.h"

#include <cstdio>

#include "base/index.h"
#include "command/session.h"
#include "estimation/case_pass.h"
#include "estimation/case_score_file.h"

namespace ordena {

void adjustExtremeScores(double z, std::vector<double>& raw, const std::vector<double>& maximum) {
    for (std::size_t d = 0; d < raw.size() && d < maximum.size(); ++d) {
        double& s = raw[d];
        if (s == 0.0) s = z;
        if (s == maximum[d]) s = maximum[d] - z;
    }
}

bool checkCaseScores(const Session& session, Shell& reports, int caseNumber, const std::vector<double>& maximum) {
    for (std::size_t d = 0; d < maximum.size(); ++d)
        if (maximum[d] == 0.0) {
            MString what = session.ws.est.caseEstimateType == kCaseWle
                               ? " Weighted likelihood estimates computation cannot continue"
                               : " MLE computation cannot continue";
            reports.errorReport("No valid data for case " + itoMString(caseNumber) + " on dimension " +
                                itoMString(static_cast<long long>(d) + 1) + what);
            return false;
        }
    return true;
}

bool checkCaseScores(Session& session, int caseNumber, const std::vector<double>& maximum) {
    return checkCaseScores(session, session, caseNumber, maximum);
}

bool caseScores(const Session& session, Shell& reports, const EstimationWork& work, const std::int32_t* items,
                const std::int32_t* categories, int m, bool adjust, bool check, int caseNumber,
                std::vector<double>& raw, std::vector<double>& maximum, MString* text) {
    const int D = work.D;
    raw.assign(static_cast<std::size_t>(D), 0.0);
    maximum.assign(static_cast<std::size_t>(D), 0.0);
    for (int r = 0; r < m; ++r) {
        const int i = items[r], k = categories[r];
        if (i < 0 || i >= work.I || k < 0 || k >= work.maxCat) continue;
        const double* b = work.scoreRow(i, k);
        const double* top = work.maxScore.data() + static_cast<std::size_t>(i) * D;
        for (int d = 0; d < D; ++d) {
            at(raw, d) += b[d];
            at(maximum, d) += top[d];
        }
    }
    if (adjust) adjustExtremeScores(session.ws.settings.zero_perfect, raw, maximum);
    const bool valid = !check || checkCaseScores(session, reports, caseNumber, maximum);
    if (text)
        for (int d = 0; d < D; ++d) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%10.2f %10.2f ", at(raw, d), at(maximum, d));
            *text += buffer;
        }
    return valid;
}

bool caseScores(Session& session, const EstimationWork& work, int m, bool adjust, bool check, int caseNumber,
                std::vector<double>& raw, std::vector<double>& maximum, MString* text) {
    return caseScores(session, session, work, work.itemNo.data(), work.rsp.data(), m, adjust, check, caseNumber, raw,
                      maximum, text);
}

int writeCaseScores(Session& session, EstimationWork& work) {
    CaseScoreRecords records;
    if (openCaseScores(session, records) != 1) return -1;
    std::vector<double> raw, maximum;
    const int visited = forEachCase(session, work, [&](int caseNumber, int m) {
        const double* rec = work.caseRecord(caseNumber);
        if (rec && rec[0] == 0.0) m = 0;  // a placeholder, not a response
        caseScores(session, work, m, false, false, caseNumber, raw, maximum, nullptr);
        records.setScores(caseNumber, raw, maximum);
        return 1;
    });
    if (visited != 1) return -1;
    return saveCaseScores(session, records);
}

}  // namespace ordena
