// Arbitrary import files: anchors and initial values of every kind and
// imported design matrices through the import statement, fit matrices
// through the fit statement, each followed by a short estimation and the
// reports and exports that read what was imported. The first byte picks
// the file's kind and one of several fixed models; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "command/reader.h"
#include "estimation/estimate_command.h"
#include "fuzz_common_files.h"

using namespace ordena;

namespace {

// A model and an estimation capped in iterations and nodes, so that one
// input runs in milliseconds whatever the file holds.
struct Setup {
    const char* model;
    const char* estimate;
};
const Setup kSetups[] = {
    {"format pid 1-3 x 5-8 responses 10-15; regression x; model item + item*step;",
     "estimate ! iter=4, nodes=7, conv=0.01, storage=ram"},
    {"format pid 1-3 x 5-8 responses 10-15; scores (0,1,2) (0,1,2) () ! item(1-3);"
     " scores (0,1,2) () (0,1,2) ! item(4-6); regression x; model item;",
     "estimate ! method=quadrature, nodes=5, iter=4, conv=0.01, storage=ram"},
    {"format pid 1-3 rater 4 x 5-8 responses 10-15; set constraints=cases; regression x; model rater + item;",
     "estimate ! method=quadrature, nodes=7, iter=4, conv=0.01, stderr=full"},
    {"format pid 1-3 rater 4 responses 10-15; model item + rater;",
     "estimate ! method=montecarlo, nodes=20, iter=4, conv=0.01, storage=ram"},
};
constexpr std::size_t kSetupCount = sizeof kSetups / sizeof kSetups[0];

// The keywords of import in their order, then the fit matrix of the fit
// statement; the anchor kind each import keyword fills (-1: the design).
const char* const kImports[] = {"init_parameters",       "anchor_parameters",       "designmatrix",
                                "init_reg_coefficients", "init_covariance",         "anchor_reg_coefficients",
                                "anchor_covariance"};
const int kKinds[] = {kInitItem, kAnchorItem, -1, kInitRegression, kInitCovariance, kAnchorRegression,
                      kAnchorCovariance};
constexpr int kImportCount = sizeof kImports / sizeof kImports[0];
constexpr int kFileKinds = kImportCount + 1;

// What an import leaves: the file's records of its kind, or after a
// failure neither records of that kind nor the file's name.
void checkImport(const Workspace& ws, int which, int rc) {
    const int kind = kKinds[which];
    if (kind < 0) {
        if ((rc == 1) != (ws.files.importDesignFile.str() == "in.txt")) fuzz::broken();
        return;
    }
    const std::string& name = ws.files.importFiles[static_cast<std::size_t>(kind)].str();
    if ((rc == 1) != (name == "in.txt")) fuzz::broken();
    for (const AnchorEntry& a : ws.est.anchors) {
        if (a.kind != kind || rc != 1) fuzz::broken();
        if (kind <= kInitItem && a.second != 0) fuzz::broken();
        if (kind >= kAnchorCovariance && a.second < a.first) fuzz::broken();
    }
}

// An estimated model's design matrix has a row for every category of every
// generalised item (and the spare one), each as wide as the parameter count.
void checkDesign(const Workspace& ws) {
    if (!ws.est.estimated) return;
    const ModelBuild& b = ws.build;
    const std::size_t rows = static_cast<std::size_t>(b.items + 1) * static_cast<std::size_t>(b.maxCategories);
    if (b.designStride < 0 || b.design.size() != rows * static_cast<std::size_t>(b.designStride)) fuzz::broken();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int which = data[0] % kFileKinds;
    const Setup& setup = kSetups[(data[0] / kFileKinds) % kSetupCount];
    fuzz::ScratchRun scratch;
    fuzz::writeFile("in.txt", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    fuzz::writeFile("data.txt", fuzz::kSixItemData);
    fuzz::FuzzShell shell;
    Session session(shell);
    fuzz::guard(session);
    // The estimations of this target are the capped ones above.
    session.handlers[static_cast<std::size_t>(fuzz::commandNumber("estimates"))] = estimateCommand;
    ShellScope scope(session);
    int rc = 0;
    const std::string start = std::string("datafile data.txt; set f_nodes=50; ") + setup.model;
    if (!fuzz::runReported(session, shell, start, &rc)) return 0;
    if (rc != 1) fuzz::broken();  // the fixed set-up is accepted

    // Fit after the estimation reads the design's columns; anchors need no fit.
    const bool design = which < kImportCount && kKinds[which] < 0;
    const std::string estimate = std::string(setup.estimate) + (design ? ";" : ", fit=no;");
    if (which < kImportCount) {
        if (!fuzz::runReported(session, shell, std::string("import ") + kImports[which] + " << in.txt;", &rc)) return 0;
        checkImport(session.ws, which, rc);
        if (!fuzz::runReported(session, shell, estimate)) return 0;
        checkDesign(session.ws);
        if (design && !fuzz::runReported(session, shell, "fit 1 : 2;")) return 0;
    } else {
        if (!fuzz::runReported(session, shell, estimate)) return 0;
        if (!fuzz::runReported(session, shell, "fit << in.txt;", &rc)) return 0;
        if (rc == 1 && !fuzz::runReported(session, shell, "fit 2 : 1 << in.txt;")) return 0;
    }
    if (!fuzz::runReported(session, shell, "show;")) return 0;
    fuzz::runReported(session, shell, "export parameters >> p.out, designmatrix >> d.out, reg_coefficients >> r.out,"
                        " covariance >> c.out;");
    return 0;
}
