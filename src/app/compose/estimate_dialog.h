// The "Estimate" dialog: what it shows of the estimate options, which
// controls each method leaves in effect, and the estimate statement made of
// the controls that differ from the values the statement would otherwise
// take.
#pragma once

#include "base/mstring.h"
#include "estimation/estimate_options.h"

namespace ordena {

enum class EstimateMethodChoice { Gauss, BockAitken, MonteCarlo, Jml };

struct EstimateFields {
    MString nodes;
    MString minNode;
    MString maxNode;
    MString iterations;
    MString convergence;
    MString devianceChange;
    MString alpha;
    EstimateMethodChoice method = EstimateMethodChoice::Gauss;
    Distribution distribution = Distribution::Normal;
    StdErrMode stdErr = StdErrMode::Quick;
    bool fit = true;        // "Fit statistics"
    bool abilities = true;  // "Cases statistics"
};

// The controls on opening: the estimate in force, every option as it holds
// it (the nodes the method takes by default when none were given);
// Gauss-Hermite when no method was given.
EstimateFields estimateFields(const EstimateOptions& options);

// Which controls a method leaves enabled.
struct EstimateEnabled {
    bool nodes = true;
    bool minMaxNode = true;
    bool devianceChange = true;
    bool distribution = true;  // the "Latent Distribution" group
    bool stdErr = true;        // the three standard-error choices
    bool fit = true;
    bool abilities = true;
};
EstimateEnabled estimateEnabled(EstimateMethodChoice method);

// What choosing a method or a distribution does to the other controls.
void chooseEstimateMethod(EstimateFields& fields, EstimateMethodChoice method);
void chooseEstimateDistribution(EstimateFields& fields, Distribution distribution);

// The nodes a statement without the nodes option uses for the method.
int defaultEstimateNodes(EstimateMethodChoice method);

// "Estimate", and " ! " with the differing options when any differ. An
// option enters when its control is enabled for the chosen method and its
// value differs from the one the statement would take without it (the
// option's default: every estimate statement starts from the defaults).
MString composeEstimate(const EstimateFields& fields);

}  // namespace ordena
