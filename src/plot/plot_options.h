// The plot statement's type word, item list and options.
#pragma once

#include <vector>

#include "base/mstring.h"
#include "estimation/estimate_options.h"
#include "plot/plot_option_table.h"

namespace ordena {

class Session;

enum PlotType { kPlotIcc = 0, kPlotExpected, kPlotCcc, kPlotTcc, kPlotIinfo, kPlotTinfo, kPlotMcc };
enum BinType { kBinSize = 0, kBinWidth = 1 };

inline constexpr int kPlotTypeCount = 7;
extern const char* const kPlotTypeWords[kPlotTypeCount];

// An item list as written: ranges of generalised item numbers from 1.
struct ItemRange {
    int first = 0, last = 0;
};

struct PlotSettings {
    int type = kPlotIcc;
    int estimates = kCaseLatent;
    bool estimatesGiven = false;
    MString group;
    int bins = 10;
    bool minscaleGiven = false, maxscaleGiven = false;
    double minscale = 0.0, maxscale = 0.0;
    double mincut = -999.0, maxcut = 999.0;
    bool allItems = true;
    std::vector<ItemRange> items;
    bool rawdata = true, overlay = false, legend = true, joinraw = true, smooth = false, table = false;
    int bintype = kBinSize;
    std::vector<MString> keep, drop;
    MString file;  // the ">>" target of the data tables
};

// Reads the statement's text: the plot type, an optional item list and the
// options. jml: the estimates default to wle. 1, or -1 after the report.
int parsePlotStatement(Session& session, const MString& text, bool jml, PlotSettings& settings);

// "all" or numbers and ranges ("3", "1-4") separated by blanks, commas or
// colons. 1, or -1 (nothing reported) when malformed.
int parseItemList(const MString& text, bool& all, std::vector<ItemRange>& ranges);

// The items in order (from 0), or an empty list with "Generalised item-list
// format error" reported when a number lies outside 1 .. count.
int expandItemList(const PlotSettings& settings, int count, std::vector<int>& items);

// "1-3, 5" for the items (from 0).
MString itemListText(const std::vector<int>& items);

}  // namespace ordena
