#include "plot/plot_options.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>
#include <string>

#include "command/option_words.h"
#include "command/parse.h"
#include "command/session.h"

namespace ordena {

const char* const kPlotTypeWords[kPlotTypeCount] = {"icc", "expected", "ccc", "tcc", "iinfo", "tinfo", "mcc"};

namespace {

const char* const kOptionWords[] = {"estimates", "bins",     "gins",   "mincut",  "maxcut", "rawdata",
                                    "overlay",   "group",    "legend", "joinraw", "smooth", "bintype",
                                    "minscale",  "maxscale", "table",  "keep",    "drop"};
enum Option {
    kEstimates,
    kBins,
    kGins,
    kMincut,
    kMaxcut,
    kRawdata,
    kOverlay,
    kGroup,
    kLegend,
    kJoinraw,
    kSmooth,
    kBintype,
    kMinscale,
    kMaxscale,
    kTable,
    kKeep,
    kDrop,
    kOptionCount
};

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

int readOption(Session& session, int which, const MString& value, PlotSettings& s) {
    auto fail = [&](const MString& message) {
        session.errorReport(message);
        return -1;
    };
    switch (which) {
        case kEstimates: {
            const MString v = value.lower();
            if (v == "wle")
                s.estimates = kCaseWle;
            else if (v == "mle")
                s.estimates = kCaseMle;
            else if (v == "eap")
                s.estimates = kCaseEap;
            else if (v == "latent")
                s.estimates = kCaseLatent;
            else
                return fail("The estimates option must be one of: wle, mle, eap or latent");
            if (s.type == kPlotTinfo || s.type == kPlotIinfo || s.type == kPlotTcc)
                return fail("Estimates is not a legal option for the selected plots");
            s.estimatesGiven = true;
            return 1;
        }
        case kBins: {
            long long n = 0;
            if (!wholeNumber(value, n)) return fail(" Number of bins is not a number");
            s.bins = static_cast<int>(std::clamp(n, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
            return 1;
        }
        case kGins:
            if (parseItemList(value, s.allItems, s.items) != 1) return fail("Generalised item-list format error");
            return 1;
        case kMincut: return realNumber(value, s.mincut) ? 1 : fail("Minimum cut value is not a number");
        case kMaxcut: return realNumber(value, s.maxcut) ? 1 : fail("Maximum cut value is not a number");
        case kMinscale:
            s.minscaleGiven = true;
            return realNumber(value, s.minscale) ? 1 : fail("Minimum scale value is not a number");
        case kMaxscale:
            s.maxscaleGiven = true;
            return realNumber(value, s.maxscale) ? 1 : fail("Maximum scale value is not a number");
        case kRawdata: return yesNo(value, s.rawdata) ? 1 : fail("The rawdata option must be one of: yes or no");
        case kOverlay: return yesNo(value, s.overlay) ? 1 : fail("The overlay option must be one of: yes or no");
        case kLegend: return yesNo(value, s.legend) ? 1 : fail("The legend option must be one of: yes or no");
        case kJoinraw: return yesNo(value, s.joinraw) ? 1 : fail("The joinraw option must be one of: yes or no");
        case kSmooth: return yesNo(value, s.smooth) ? 1 : fail("The smooth option must be one of: yes or no");
        case kTable: return yesNo(value, s.table) ? 1 : fail("The table option must be one of: yes or no");
        case kBintype: {
            const MString v = value.lower();
            if (v == "size")
                s.bintype = kBinSize;
            else if (v == "width")
                s.bintype = kBinWidth;
            else
                return fail("The bintype option must be one of: size or width");
            return 1;
        }
        case kGroup: s.group = value; return 1;
        case kKeep:
        case kDrop: {
            std::vector<MString>& list = which == kKeep ? s.keep : s.drop;
            list = pieces(value, ": ");
            if (list.empty()) return fail("Group keep and/or drop format error");
            if (!s.keep.empty() && !s.drop.empty()) return fail("Only one of 'drop' and 'keep' is permitted");
            return 1;
        }
        default: return fail("An incorrect plot argument");
    }
}

}  // namespace

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
    for (const MString& piece : splitAt(split.options, ',')) {
        const int eq = piece.find('=');
        const MString name = (eq >= 0 ? piece.mid(0, eq) : piece).trim();
        if (eq < 0 || name.isEmpty()) {
            session.errorReport("Error in plot argument");
            return -1;
        }
        const int which = matchKeyword(name, kOptionWords, kOptionCount);
        if (which < 0) {
            session.errorReport("An incorrect plot argument");
            return -1;
        }
        if (readOption(session, which, piece.mid(eq + 1, piece.length()).trim(), settings) != 1) return -1;
    }
    return 1;
}

OptionWords plotOptionWords() { return {std::begin(kOptionWords), std::end(kOptionWords)}; }

}  // namespace ordena
