#include "model/model_builder.h"

#include <new>

#include "command/session.h"
#include "data/data_passes.h"
#include "model/parameter_list.h"

namespace ordena {

int buildModel(Session& session) {
    ModelBuildInputs inputs;
    inputs.ram = session.ws.est.options.storage == StorageMode::Ram;
    inputs.anchors = &session.ws.est.anchors;
    inputs.designFile = session.ws.files.importDesignFile;
    return buildModel(session, inputs);
}

int buildModel(Session& session, const ModelBuildInputs& inputs) {
    Workspace& ws = session.ws;
    ModelSpec& model = ws.model;
    if (ws.data.fileName.isEmpty()) {
        session.errorReport("Data file name not specified - Can't do estimation or itanal");
        return -1;
    }
    if (model.modelVariableList.empty()) {
        session.errorReport("No variable specified for model - Can't do estimation or itanal");
        return -1;
    }
    // A format statement that failed leaves no responses to read.
    if (!ws.data.layout.hasResponses()) {
        session.errorReport("The Format must be specified before estimation or itanal");
        return -1;
    }

    for (std::int32_t k : model.modelVariableList.explicitIndices) model.facetsInUse.add({kExplicitVariable, k});
    for (std::int32_t k : model.modelVariableList.implicitIndices) model.facetsInUse.add({kImplicitVariable, k});
    bool passesNeeded = ws.dataPassNeeded != 0 || !model.facetsInUse.sameSet(model.lastFacets) ||
                        !model.regression.sameSet(model.lastRegression) ||
                        !model.caseweight.sameSet(model.lastCaseweight) || !model.group.sameSet(model.lastGroup);
    if (passesNeeded) {
        Stopwatch passes;
        if (runDataPasses(session, inputs.ram) != 1) return -1;
        session.timing.dataPassSeconds += passes.seconds();
        ws.dataPassNeeded = 0;
    }

    try {
        if (session.pollForStop()) return -1;
        session.statusText("Build Model File", 0);
        Stopwatch modelFile;
        if (buildModelFile(session, inputs.ram) != 1) return -1;
        session.timing.modelFileSeconds += modelFile.seconds();

        if (session.pollForStop()) return -1;
        session.statusText("Build Parameter List", 0);
        ModelBuild& build = ws.build;
        if (ItemListDim(model, ws.data.layout, ws.data.passes, ws.data.scores, ws.settings.constraints, build,
                        session) != 1)
            return -1;
        ConstraintRule rule;
        rule.constraints = ws.settings.constraints;
        static const std::vector<AnchorEntry> none;
        rule.dimensionAnchored = anchoredDimensions(inputs.anchors ? *inputs.anchors : none, build.dimensions,
                                                    model.lastRegression.size() + 1);
        if (buildParameterList(model, build, rule, ws.data.passes.t2.size(), session) != 1) return -1;

        if (session.pollForStop()) return -1;
        session.statusText("Form Design Matrices", 0);
        if (buildScores(model, ws.data.layout, ws.data.passes, ws.data.scores, build, session) != 1) return -1;
        if (inputs.designFile.isEmpty()) {
            buildDesign(build, rule);
            buildConstrainedDesign(build);
        } else {
            build.constrainedDesign.clear();
            if (importDesign(inputs.designFile, build, session) != 1) return -1;
        }
    } catch (const std::bad_alloc&) {
        session.errorReport("Not enough memory to build the model");
        return -1;
    }
    return 1;
}

}  // namespace ordena
