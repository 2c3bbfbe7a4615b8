#include "plot/plot_options.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "command/option_table.h"
#include "command/parse.h"
#include "command/session.h"

namespace ordena {

const char* const kPlotTypeWords[kPlotTypeCount] = {"icc", "expected", "ccc", "tcc", "iinfo", "tinfo", "mcc"};

namespace {

// The pieces of a list: split at the separators, empty pieces dropped.
std::vector<MString> pieces(const MString& text, const char* separators) {
    std::vector<MString> out;
    std::string piece;
    for (char c : text.str() + separators[0]) {
        if (std::string_view(separators).find(c) != std::string_view::npos) {
            if (!piece.empty()) out.emplace_back(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    return out;
}

// A whole number in the manner of the C library, with nothing after it.
bool wholeNumber(const MString& text, long long& value) {
    const std::string t = text.trim().str();
    if (t.empty() || t.size() > 18) return false;
    std::size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
    if (i == t.size()) return false;
    for (std::size_t j = i; j < t.size(); ++j)
        if (!isDigit(t[j])) return false;
    value = std::stoll(t);
    return true;
}

bool realNumber(const MString& text, double& value) {
    if (!text.isNumber()) return false;
    value = text.trim().toDouble();
    return std::isfinite(value);
}

// yes or no into flag; false for anything else.
bool yesNo(const MString& value, bool& flag) {
    const MString v = value.lower();
    if (v == "yes")
        flag = true;
    else if (v == "no")
        flag = false;
    else
        return false;
    return true;
}

// The groups a keep or drop option names (separated by ":" or blanks);
// only one of the two may be given.
int groupList(const OptionValue& v, const PlotSettings& s, std::vector<MString>& list) {
    list = pieces(v.text, ": ");
    if (list.empty()) return v.refuse();
    if (!s.keep.empty() && !s.drop.empty()) return v.refuse("Only one of 'drop' and 'keep' is permitted");
    return 1;
}

}  // namespace

const OptionTable<PlotSettings>& plotOptionTable() {
    using V = const OptionValue&;
    using S = PlotSettings&;
    auto yesNoRow = [](const char* word, bool PlotSettings::*flag, const char* refusal,
                       const char* dialogWord = nullptr) {
        return OptionRow<PlotSettings>{word, OptionKind::YesNo, refusal,
                                       [flag](V v, S s) { return yesNo(v.text, s.*flag) ? 1 : v.refuse(); },
                                       dialogWord};
    };
    static const OptionTable<PlotSettings> table(
        {"plot", "Error in plot argument", "An incorrect plot argument", nullptr, true},
        {
            {"estimates", OptionKind::Choice, "The estimates option must be one of: wle, mle, eap or latent",
             [](V v, S s) {
                 static const int kKinds[] = {kCaseWle, kCaseMle, kCaseEap, kCaseLatent};
                 const int k = choiceOf(v.lower(), {"wle", "mle", "eap", "latent"});
                 if (k < 0) return v.refuse();
                 s.estimates = kKinds[k];
                 if (s.type == kPlotTinfo || s.type == kPlotIinfo || s.type == kPlotTcc)
                     return v.refuse("Estimates is not a legal option for the selected plots");
                 s.estimatesGiven = true;
                 return 1;
             }},
            {"bins", OptionKind::Whole, " Number of bins is not a number",
             [](V v, S s) {
                 long long n = 0;
                 if (!wholeNumber(v.text, n)) return v.refuse();
                 s.bins = static_cast<int>(
                     std::clamp(n, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
                 return 1;
             }},
            {"gins", OptionKind::List, "Generalised item-list format error",
             [](V v, S s) { return parseItemList(v.text, s.allItems, s.items) == 1 ? 1 : v.refuse(); }},
            {"mincut", OptionKind::Number, "Minimum cut value is not a number",
             [](V v, S s) { return realNumber(v.text, s.mincut) ? 1 : v.refuse(); }},
            {"maxcut", OptionKind::Number, "Maximum cut value is not a number",
             [](V v, S s) { return realNumber(v.text, s.maxcut) ? 1 : v.refuse(); }},
            yesNoRow("rawdata", &PlotSettings::rawdata, "The rawdata option must be one of: yes or no", "raw"),
            yesNoRow("overlay", &PlotSettings::overlay, "The overlay option must be one of: yes or no"),
            {"group", OptionKind::Text, "",
             [](V v, S s) {
                 s.group = v.text;
                 return 1;
             }},
            yesNoRow("legend", &PlotSettings::legend, "The legend option must be one of: yes or no"),
            yesNoRow("joinraw", &PlotSettings::joinraw, "The joinraw option must be one of: yes or no"),
            yesNoRow("smooth", &PlotSettings::smooth, "The smooth option must be one of: yes or no"),
            {"bintype", OptionKind::Choice, "The bintype option must be one of: size or width",
             [](V v, S s) {
                 const int k = choiceOf(v.lower(), {"size", "width"});
                 if (k < 0) return v.refuse();
                 s.bintype = k == 0 ? kBinSize : kBinWidth;
                 return 1;
             }},
            {"minscale", OptionKind::Number, "Minimum scale value is not a number",
             [](V v, S s) {
                 s.minscaleGiven = true;
                 return realNumber(v.text, s.minscale) ? 1 : v.refuse();
             }},
            {"maxscale", OptionKind::Number, "Maximum scale value is not a number",
             [](V v, S s) {
                 s.maxscaleGiven = true;
                 return realNumber(v.text, s.maxscale) ? 1 : v.refuse();
             }},
            yesNoRow("table", &PlotSettings::table, "The table option must be one of: yes or no"),
            {"keep", OptionKind::List, "Group keep and/or drop format error",
             [](V v, S s) { return groupList(v, s, s.keep); }},
            {"drop", OptionKind::List, "Group keep and/or drop format error",
             [](V v, S s) { return groupList(v, s, s.drop); }},
        });
    return table;
}

int parseItemList(const MString& text, bool& all, std::vector<ItemRange>& ranges) {
    const MString t = text.trim();
    if (t.lower() == "all") {
        all = true;
        ranges.clear();
        return 1;
    }
    std::vector<ItemRange> out;
    for (const MString& piece : pieces(t, " ,:")) {
        const int dash = piece.find('-');
        long long first = 0, last = 0;
        const bool ok =
            dash < 0 ? wholeNumber(piece, first) && (last = first, true)
                     : wholeNumber(piece.mid(0, dash), first) && wholeNumber(piece.mid(dash + 1, piece.length()), last);
        if (!ok || first < 1 || last < first || last > INT_MAX) return -1;
        out.push_back({static_cast<int>(first), static_cast<int>(last)});
    }
    if (out.empty()) return -1;
    all = false;
    ranges = std::move(out);
    return 1;
}

int expandItemList(const PlotSettings& settings, int count, std::vector<int>& items) {
    items.clear();
    if (settings.allItems) {
        for (int g = 0; g < count; ++g) items.push_back(g);
        return 1;
    }
    for (const ItemRange& r : settings.items) {
        if (r.last > count) {
            items.clear();
            reportError("Generalised item-list format error");
            return -1;
        }
        for (int g = r.first; g <= r.last; ++g) items.push_back(g - 1);
    }
    return 1;
}

MString itemListText(const std::vector<int>& items) {
    MString text;
    for (std::size_t i = 0; i < items.size();) {
        std::size_t j = i;
        while (j + 1 < items.size() && items[j + 1] == items[j] + 1) ++j;
        if (!text.isEmpty()) text += ", ";
        text += itoMString(items[i] + 1);
        if (j > i) text += "-" + itoMString(items[j] + 1);
        i = j + 1;
    }
    return text;
}

int parsePlotStatement(Session& session, const MString& text, bool jml, PlotSettings& settings) {
    settings = PlotSettings{};
    if (jml) settings.estimates = kCaseWle;
    const SplitStatement split = splitArguments(text);
    MString word;
    int first = -1, last = -1;
    if (firstToken(split.arguments, 0, " ", word, first, last) != 1) {
        session.errorReport("An incorrect plot argument");
        return -1;
    }
    const int type = matchKeyword(word, kPlotTypeWords, kPlotTypeCount);
    if (type < 0) {
        session.errorReport("An incorrect plot argument");
        return -1;
    }
    settings.type = type;
    const MString rest = split.arguments.mid(last + 1, split.arguments.length()).trim();
    if (!rest.isEmpty() && parseItemList(rest, settings.allItems, settings.items) != 1) {
        session.errorReport("Generalised item-list format error");
        return -1;
    }
    settings.file = split.file.trim();
    if (split.options.trim().isEmpty()) return 1;
    return plotOptionTable().read(session, split.options, settings);
}

OptionWords plotOptionWords() { return plotOptionTable().words(); }

}  // namespace ordena
