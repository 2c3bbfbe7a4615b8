// The whole analysis state of a session. Each subsystem owns the type of
// its component; handlers read and change them directly.
#pragma once

#include <utility>
#include <vector>

#include "base/mstring.h"
#include "command/labels.h"
#include "command/settings.h"
#include "data/data_spec.h"
#include "estimation/estimation_state.h"
#include "model/model_build.h"
#include "model/model_spec.h"
#include "report/file_spec.h"

namespace ordena {

inline constexpr const char* kDefaultTitle = "Ordena: Generalised Item Response Modelling Software";

struct Workspace {
    Settings settings;
    MString title = kDefaultTitle;
    LabelTable labels;

    int dataPassNeeded = 1;  // the next estimate or itanal repeats the data passes
    int replication = -1;    // the replication number during simulate, else -1
    int inSubmit = 0;        // 1 while a submitted command file runs

    DataSpec data;
    ModelSpec model;
    ModelBuild build;  // made by the model build at every estimate and itanal
    EstimationState est;
    FileSpec files;

    // Deletes the work files of the last data passes and estimation (reset
    // and the program's exit). Every component that creates work files
    // removes them from here; a name still "unassigned" names no file.
    void removeWorkFiles() {
        data.removeWorkFiles();
        est.removeWorkFiles();
    }
};

}  // namespace ordena
