// Reports that describe case estimates (itanal, descriptives) compute the
// kind they need first when the last estimation left it out.
#pragma once

namespace ordena {

class Session;

// Computes the case estimates of the type (kCaseWle, kCaseMle, kCaseEap or
// kCaseLatent) unless they are available. MLEs and WLEs by the case Newton
// pass with the status texts "WLE estimates will now be computed." or "MLE
// estimates will now be computed."; EAPs and plausible values by the
// posterior pass under Monte Carlo, the method, node count and deviance
// being restored afterwards. keepType leaves the case-estimate type at the
// type of the MLE/WLE pass. 1, or -1 after the error report.
int ensureCaseEstimates(Session& session, int type, bool keepType = false);

}  // namespace ordena
