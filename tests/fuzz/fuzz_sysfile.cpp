// Arbitrary system files through get. A refused file must be reported and
// leave the workspace and the directory as they were; an accepted one must
// carry the whole workspace: the reports, case output, item analysis, fit,
// exports and a capped estimation run on it (succeeding or refusing with a
// report), and a put of it must load again.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "command/reader.h"
#include "estimation/estimate_command.h"
#include "fuzz_common_files.h"

using namespace ordena;

namespace {

std::set<std::string> listing() {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(".", ignored))
        names.insert(entry.path().filename().string());
    return names;
}

// The loaded workspace names files of another machine: the files this
// target writes stay in the scratch directory (the export names go), and
// the files a model build reads must be local too. False when they are not:
// nothing may then build the model.
bool keepLocal(Workspace& ws) {
    FileSpec& f = ws.files;
    for (MString* name : {&f.parameterFile, &f.designMatrixFile, &f.regressionFile, &f.covarianceFile,
                          &f.scoredDataFile, &f.outputFileName, &ws.est.options.plausibleFile})
        *name = MString();
    for (const MString* name : {&ws.data.fileName, &f.importDesignFile})
        if (name->str().find('/') != std::string::npos) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ScratchRun scratch;
    fuzz::writeFile("in.zrs", std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::writeFile("data.txt", fuzz::kSixItemData);  // the data file of the seed files
    fuzz::FuzzShell shell;
    Session session(shell);
    fuzz::guard(session);
    session.handlers[static_cast<std::size_t>(fuzz::commandNumber("estimates"))] = estimateCommand;
    ShellScope scope(session);
    int rc = 0;
    if (!fuzz::runReported(session, shell, "title Before the load; set seed=5;", &rc) || rc != 1) fuzz::broken();
    const std::set<std::string> before = listing();

    if (!fuzz::runReported(session, shell, "get << in.zrs;", &rc)) return 0;
    Workspace& ws = session.ws;
    if (rc != 1) {
        // Nothing of the file reached the workspace, and no work file stayed.
        if (ws.title != "Before the load" || ws.settings.seed != 5 || ws.est.caseScoreFile != "unassigned")
            fuzz::broken();
        if (listing() != before) fuzz::broken();
        return 0;
    }

    const bool local = keepLocal(ws);
    const char* const bounds = "set p_nodes=40, f_nodes=40, n_plausible=2, fitdraws=1, iterlimit=5, innerloops=3;";
    if (!fuzz::runReported(session, shell, bounds)) return 0;
    // A put of what was loaded must load again.
    if (!fuzz::runReported(session, shell, "put >> again.zrs;", &rc)) return 0;
    if (rc == 1) {
        if (!fuzz::runReported(session, shell, "get << again.zrs;", &rc)) return 0;
        if (rc != 1) fuzz::broken();
    }
    for (const char* statement :
         {"show >> show.txt;", "show cases ! estimates=eap >> eap.txt;", "show cases ! estimates=wle >> wle.txt;",
          "fit;", "export parameters >> p.txt, designmatrix >> d.txt, scoreddata >> s.txt;"})
        if (!fuzz::runReported(session, shell, statement)) return 0;
    // Item analysis and an estimation build the model again; the estimation
    // only where it is small whatever the file says.
    if (!local || !fuzz::runReported(session, shell, "itanal >> itanal.txt;")) return 0;
    const DataPassState& passes = ws.data.passes;
    if (ws.build.dimensions <= 2 && passes.cases <= 2000 && passes.responseRecords <= 20000 && ws.build.items <= 500)
        fuzz::runReported(session, shell, "estimate ! iter=3, nodes=5, conv=0.01, fit=no; show >> after.txt;");
    return 0;
}
