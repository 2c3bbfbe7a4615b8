// The model build run by estimate and itanal: the data passes when they are
// needed, the model file, the dimensions, the parameter lists and the design
// and scoring matrices.
#pragma once

#include <vector>

#include "base/mstring.h"
#include "estimation/estimate_options.h"

namespace ordena {

class Session;

struct ModelBuildInputs {
    bool ram = false;                                 // the storage option
    const std::vector<AnchorEntry>* anchors = nullptr;  // for the default constraints; none when null
    MString designFile;                               // an imported design matrix; empty for none
};

// With the workspace's estimate options, anchor list and imported design
// matrix name. 1, or -1 after the reports.
int buildModel(Session& session);
int buildModel(Session& session, const ModelBuildInputs& inputs);

}  // namespace ordena
