#include "analysis/case_estimate_supply.h"

#include <algorithm>

#include "command/session.h"
#include "estimation/case_estimates.h"

namespace ordena {

int ensureCaseEstimates(Session& session, int type, bool keepType) {
    EstimationState& est = session.ws.est;
    if (type == kCaseWle || type == kCaseMle) {
        const bool wle = type == kCaseWle;
        if (wle ? est.wleAvailable : est.mleAvailable) return 1;
        session.statusText(wle ? "WLE estimates will now be computed." : "MLE estimates will now be computed.", 0);
        const std::int32_t savedType = est.caseEstimateType;
        est.caseEstimateType = type;
        const int status = caseMlePass(session, false, MString());
        if (!keepType) est.caseEstimateType = savedType;
        if (status != 1) {
            session.errorReport(wle ? "Error in WLE computation" : "Error in MLE computation");
            return -1;
        }
        return 1;
    }
    if (type == kCaseLatent && session.ws.settings.n_plausible < 1 && est.caseScorePlausible < 1) {
        session.errorReport("Plausible values are not available while n_plausible is 0");
        return -1;
    }
    if (type == kCaseEap ? est.eapAvailable : est.plausibleAvailable) return 1;
    session.statusText("The latent distributions will now be built", 0);
    const EstimationMethod method = est.method;
    const std::int32_t Q = est.nodeCount;
    const double deviance = est.deviance;
    est.method = EstimationMethod::MonteCarlo;
    const int status = posteriorPass(session, false, MString(), std::max(0, session.ws.settings.n_plausible));
    est.method = method;
    est.nodeCount = Q;
    est.deviance = deviance;
    if (status != 1) return -1;
    if (type == kCaseLatent && est.caseScorePlausible < 1) {
        session.errorReport("Plausible values are not available while n_plausible is 0");
        return -1;
    }
    return 1;
}

}  // namespace ordena
