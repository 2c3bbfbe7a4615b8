// Labels of variable levels, dimensions, parameters and fit lines, and the
// lookup through which reports turn codes into labels.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/mstring.h"

namespace ordena {

class Session;
struct Workspace;

enum LabelKind {
    kLabelImplicit = 0,
    kLabelExplicit = 1,
    kLabelDimensions = 2,
    kLabelParameters = 3,
    kLabelFit = 4
};

struct LabelSet {
    std::int32_t kind = 0;
    std::int32_t index = 0;  // the variable's position in its table; 0 for kinds 2 to 4
    std::vector<MString> codes;
    std::vector<MString> labels;  // one per code
};

struct LabelTable {
    std::vector<LabelSet> sets;  // in order of creation, at most one per (kind, index)
    // The fit labels the last fit with groups stored (code, text): the
    // texts of its groups, which name no row of a later fit.
    std::vector<std::pair<MString, MString>> fitGroupLabels;

    void clear() {
        sets.clear();
        fitGroupLabels.clear();
    }
    const LabelSet* find(int kind, int index) const;
    // Replaces the label of an existing code, else appends the pair.
    void store(int kind, int index, const MString& code, const MString& label);
    // Removes the fit labels of fitGroupLabels that still hold the texts a
    // fit with groups gave them (a labels statement since keeps its own).
    void withdrawFitGroupLabels();
};

// The kind and index of a label target: dimensions, parameters,
// fitstatistics, or a variable of the data layout. -1 after an error report.
int resolveLabelTarget(Session& session, const MString& name, int& kind, int& index);

void storeLabel(Workspace& ws, int kind, int index, const MString& code, const MString& label);

// The label of a code; without one, "Dimension ", "Parameter " or "Fit "
// followed by the code for kinds 2 to 4, and the code itself for variables.
MString labelLookup(const Workspace& ws, const MString& variable, int kind, const MString& code);
// The label of dimension d (from 0): its own, or "Dimension d+1".
MString dimensionLabel(const Workspace& ws, int d);

}  // namespace ordena
