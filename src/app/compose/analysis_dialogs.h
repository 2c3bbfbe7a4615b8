// The statements of the analysis dialogs: "Traditional Item Statistics"
// (itanal), "Latent Descriptives" (descriptives) and the two "Plot" forms.
#pragma once

#include <vector>

#include "app/compose/dialog_fields.h"

namespace ordena {

MString composeItanal(CaseEstimateChoice estimates);

struct DescriptivesFields {
    CaseEstimateChoice estimates = CaseEstimateChoice::PlausibleValues;
    MString group;  // the selected grouping variable; empty for none
    bool benchmark = false;
    MString location;
    MString uncertainty = "0.0";
    MString replications = "1000";
    bool percentiles = false;
    std::vector<MString> percentileList;
    bool bands = false;
    std::vector<MString> bandList;
};
MString composeDescriptives(const DescriptivesFields& fields);

// The plot types of the two forms, as the plot statement writes them.
enum class PlotType { Icc, Expected, Ccc, Mcc, Tcc, Iinfo, Tinfo };
const char* plotTypeWord(PlotType type);
// icc, expected, ccc and mcc have the full form; the others the short one.
bool plotFullForm(PlotType type);

struct PlotFields {
    MString items = "all";
    MString bins = "10";
    MString lower = "-5";
    MString upper = "5";
    // Empty: the plot chooses its scale (the statement leaves both out).
    MString minScale;
    MString maxScale;
    bool raw = true;
    bool overlay = false;
    bool legend = false;
    bool table = false;
    CaseEstimateChoice estimates = CaseEstimateChoice::PlausibleValues;
    bool equalWidth = false;  // "Equal Group Width" rather than "Equal Group Size"
    MString group;            // the selected grouping variable; empty for none
};
MString composePlot(PlotType type, const PlotFields& fields);

struct PlotShortFields {
    MString items = "all";
    MString low = "-4";
    MString high = "4";
    bool overlay = false;
    bool legend = false;
};
// Low and High are the curves' scale (minscale, maxscale).
MString composePlotShort(PlotType type, const PlotShortFields& fields);

}  // namespace ordena
