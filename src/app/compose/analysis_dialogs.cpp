#include "app/compose/analysis_dialogs.h"

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
    return MString("itanal ! estimates=") + estimateWord(estimates);
}

MString composeDescriptives(const DescriptivesFields& f) {
    MString s = "descriptives !estimates=";
    s += f.estimates == CaseEstimateChoice::PlausibleValues ? "pv" : estimateWord(f.estimates);
    if (!f.group.isEmpty()) s += ",group=" + f.group;
    if (f.benchmark)
        s += ",bench=" + fieldText(f.location) + ":" + fieldText(f.uncertainty) + ":" + fieldText(f.replications);
    if (f.percentiles && !f.percentileList.empty()) s += ",percentiles=" + joinTexts(f.percentileList, ":");
    if (f.bands && !f.bandList.empty()) s += ",cuts=" + joinTexts(f.bandList, ":");
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
    MString s = MString("plot ") + plotTypeWord(type) + "! gins=" + fieldText(f.items);
    s += ",bins=" + fieldText(f.bins);
    s += ",mincut=" + fieldText(f.lower);
    s += ",maxcut=" + fieldText(f.upper);
    // An empty scale field leaves the scale to the plot.
    if (!fieldText(f.minScale).isBlank()) s += ",minscale=" + fieldText(f.minScale);
    if (!fieldText(f.maxScale).isBlank()) s += ",maxscale=" + fieldText(f.maxScale);
    s += MString(",raw=") + yesNo(f.raw);
    s += MString(",overlay=") + yesNo(f.overlay);
    s += MString(",legend=") + yesNo(f.legend);
    s += MString(",table=") + yesNo(f.table);
    s += MString(",estimates=") + estimateWord(f.estimates);
    s += f.equalWidth ? ",bintype=width" : ",bintype=size";
    if (!f.group.isEmpty()) s += ",group=" + f.group;
    return s;
}

MString composePlotShort(PlotType type, const PlotShortFields& f) {
    // These curves have no observed data to cut into groups: Low and High
    // are the range of abilities they are drawn over.
    return MString("plot ") + plotTypeWord(type) + "! gins=" + fieldText(f.items) + ",minscale=" + fieldText(f.low) +
           ",maxscale=" + fieldText(f.high) + ",overlay=" + yesNo(f.overlay) + ",legend=" + yesNo(f.legend);
}

}  // namespace ordena
