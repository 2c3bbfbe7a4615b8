#include "report/case_distribution.h"

#include "command/session.h"
#include "estimation/case_estimates.h"

namespace ordena {

int caseDistribution(Session& session, int type, const DistributionSummary*& summary) {
    EstimationState& est = session.ws.est;
    summary = nullptr;
    if (type != kCaseLatent && type != kCaseEap && type != kCaseMle && type != kCaseWle) return 1;
    int result = 1;
    if (type == kCaseLatent && !est.plausibleAvailable) {
        session.statusText("The latent distributions will now be built", 0);
        result = withMonteCarlo(est, [&] { return posteriorPass(session, false, MString(), session.ws.settings.n_plausible); });
    } else if (type == kCaseEap && !est.eapAvailable) {
        session.statusText("The latent distributions will now be built", 0);
        result = withMonteCarlo(est, [&] { return posteriorPass(session, false, MString(), session.ws.settings.n_plausible); });
    } else if ((type == kCaseMle && !est.mleAvailable) || (type == kCaseWle && !est.wleAvailable)) {
        session.statusText(type == kCaseMle ? "MLE estimates will now be computed." : "WLE estimates will now be computed.", 0);
        result = caseMlePass(session, false, MString());
    }
    if (result != 1) return -1;
    switch (type) {
        case kCaseLatent: summary = &est.plausibleSummary; break;
        case kCaseEap: summary = &est.eapSummary; break;
        case kCaseMle: summary = &est.mleSummary; break;
        default: summary = &est.wleSummary; break;
    }
    if (!summary->available) {
        session.errorReport("The case estimates for the map could not be computed");
        return -1;
    }
    return 1;
}

}  // namespace ordena
