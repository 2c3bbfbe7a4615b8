#include "app/compose/analysis_dialogs.h"

#include "analysis/descriptives.h"
#include "analysis/itanal.h"
#include "plot/plot_option_table.h"

namespace ordena {

namespace {

// The estimate words of itanal and plot; descriptives names plausible values "pv".
const char* estimateWord(CaseEstimateChoice estimates) {
    switch (estimates) {
        case CaseEstimateChoice::Wle:
            return "wle";
        case CaseEstimateChoice::Mle:
            return "mle";
        case CaseEstimateChoice::Eap:
            return "eap";
        case CaseEstimateChoice::PlausibleValues:
        case CaseEstimateChoice::None:
            break;
    }
    return "latent";
}

const char* yesNo(bool on) { return on ? "yes" : "no"; }

}  // namespace

MString composeItanal(CaseEstimateChoice estimates) {
    if (estimates == CaseEstimateChoice::None) return "itanal ";
    return "itanal ! " + itanalOptionTable().dialogText("estimates") + estimateWord(estimates);
}

MString composeDescriptives(const DescriptivesFields& f) {
    const OptionTable<DescriptivesOptions>& t = descriptivesOptionTable();
    MString s = "descriptives !" + t.dialogText("estimates");
    s += f.estimates == CaseEstimateChoice::PlausibleValues ? "pv" : estimateWord(f.estimates);
    if (!f.group.isEmpty()) s += "," + t.dialogText("group") + f.group;
    if (f.benchmark)
        s += "," + t.dialogText("benchmark") + fieldText(f.location) + ":" + fieldText(f.uncertainty) + ":" +
             fieldText(f.replications);
    if (f.percentiles && !f.percentileList.empty())
        s += "," + t.dialogText("percentiles") + joinTexts(f.percentileList, ":");
    if (f.bands && !f.bandList.empty()) s += "," + t.dialogText("cuts") + joinTexts(f.bandList, ":");
    return s;
}

const char* plotTypeWord(PlotType type) {
    switch (type) {
        case PlotType::Icc:
            return "icc";
        case PlotType::Expected:
            return "expected";
        case PlotType::Ccc:
            return "ccc";
        case PlotType::Mcc:
            return "mcc";
        case PlotType::Tcc:
            return "tcc";
        case PlotType::Iinfo:
            return "iinfo";
        case PlotType::Tinfo:
            return "tinfo";
    }
    return "icc";
}

bool plotFullForm(PlotType type) {
    return type == PlotType::Icc || type == PlotType::Expected || type == PlotType::Ccc || type == PlotType::Mcc;
}

MString composePlot(PlotType type, const PlotFields& f) {
    const OptionTable<PlotSettings>& t = plotOptionTable();
    auto option = [&](const char* word, const MString& value) { return "," + t.dialogText(word) + value; };
    MString s = MString("plot ") + plotTypeWord(type) + "! " + t.dialogText("gins") + fieldText(f.items);
    s += option("bins", fieldText(f.bins));
    s += option("mincut", fieldText(f.lower));
    s += option("maxcut", fieldText(f.upper));
    // An empty scale field leaves the scale to the plot.
    if (!fieldText(f.minScale).isBlank()) s += option("minscale", fieldText(f.minScale));
    if (!fieldText(f.maxScale).isBlank()) s += option("maxscale", fieldText(f.maxScale));
    s += option("rawdata", yesNo(f.raw));
    s += option("overlay", yesNo(f.overlay));
    s += option("legend", yesNo(f.legend));
    s += option("table", yesNo(f.table));
    s += option("estimates", estimateWord(f.estimates));
    s += option("bintype", f.equalWidth ? "width" : "size");
    if (!f.group.isEmpty()) s += option("group", f.group);
    return s;
}

MString composePlotShort(PlotType type, const PlotShortFields& f) {
    const OptionTable<PlotSettings>& t = plotOptionTable();
    auto option = [&](const char* word, const MString& value) { return "," + t.dialogText(word) + value; };
    // These curves have no observed data to cut into groups: Low and High
    // are the range of abilities they are drawn over.
    return MString("plot ") + plotTypeWord(type) + "! " + t.dialogText("gins") + fieldText(f.items) +
           option("minscale", fieldText(f.low)) + option("maxscale", fieldText(f.high)) +
           option("overlay", yesNo(f.overlay)) + option("legend", yesNo(f.legend));
}

}  // namespace ordena
