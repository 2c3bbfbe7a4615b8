// The set-up of an estimation: the model build copied into the work tables,
// the estimation state started and the imported anchors and initial values
// applied, the nodes placed, the case information read and the regressors'
// cross-product matrix (Y'Y)^-1 formed; and the same work tables for a pass
// after the iterations.
#pragma once

#include "estimation/estimate_options.h"
#include "estimation/estimation_work.h"

namespace ordena {

class Session;
struct EstimationState;
struct ModelBuild;

// Copies the model build into the work tables (items, categories, design).
void loadModel(EstimationWork& work, const ModelBuild& build, int P);
// The estimation state before any estimate: results of the last estimation
// cleared, beta (D x R) and xsi (P) zero, sigma the identity, nothing
// anchored.
void startEstimationState(EstimationState& est, int D, int R, int P);
// Estimation set-up: state, anchors, nodes, work tables. 1 or -1.
int estimationSetup(Session& session, EstimationWork& work);
// An item parameter anchor (kind 0) or initial value (kind 1) into xsi, its
// previous and best values; other kinds are left alone. 1, or -1 after the
// report of an index out of range.
int applyItemAnchor(Session& session, const AnchorEntry& anchor, int P);
// Reads the case information file into memory. 1 or -1; routine names the
// caller in the message of a file that cannot be opened.
int loadCaseInformation(Session& session, EstimationWork& work, const char* routine = "calcYYinv");
int calcYYinv(Session& session, EstimationWork& work);

// Work tables for a pass over the cases at the current estimates (case
// estimates, fit, standard errors): model, case information, a . xsi.
int prepareCaseWork(Session& session, EstimationWork& work, EstimationMethod method);

}  // namespace ordena
