#include "plot/plot_groups.h"

#include <algorithm>
#include <map>

#include "analysis/group_values.h"
#include "command/session.h"
#include "plot/plot_options.h"

namespace ordena {

namespace {

// Group values are compared without the blanks that fill their columns.
bool listed(const std::vector<MString>& list, const MString& value) {
    return std::any_of(list.begin(), list.end(), [&](const MString& v) { return v.trim() == value.trim(); });
}

}  // namespace

int PlotGroups::select(Session& session, const PlotSettings& settings) {
    name_ = settings.group.trim();
    if (name_.isEmpty()) return 1;
    position_ =
        groupVariablePosition(session, name_, "Group variable '" + name_ + "' not found in group variable list");
    if (position_ < 0 || groupValueTable(session, position_, values_) < 0) return -1;
    for (const MString& k : settings.keep)
        if (!listed(values_, k)) {
            session.errorReport("Selected group is not available for plot");
            return -1;
        }
    plotted_.clear();
    for (std::size_t v = 0; v < values_.size(); ++v) {
        if (!settings.keep.empty() && !listed(settings.keep, values_[v])) continue;
        if (listed(settings.drop, values_[v])) continue;
        plotted_.push_back(static_cast<int>(v));
    }
    return 1;
}

int PlotGroups::prepare(Session& session) {
    if (name_.isEmpty()) return 1;
    std::vector<MString> values;
    if (caseGroupValues(session, position_, values) != 1) return -1;
    std::map<std::string, int> group;
    for (std::size_t g = 0; g < plotted_.size(); ++g) group[values_[static_cast<std::size_t>(plotted_[g])].str()] = static_cast<int>(g);
    caseGroup_.assign(values.size(), -1);
    for (std::size_t n = 0; n < values.size(); ++n) {
        const auto at = group.find(values[n].str());
        if (at != group.end()) caseGroup_[n] = at->second;
    }
    return 1;
}

void PlotGroups::dropEmpty(Session& session, const std::vector<bool>& hasData) {
    shown_ = hasData;
    if (name_.isEmpty()) return;
    for (std::size_t g = 0; g < hasData.size() && g < plotted_.size(); ++g)
        if (!hasData[g])
            session.warningReport("Group '" + values_[static_cast<std::size_t>(plotted_[g])].trim() + "' of '" + name_ +
                                  "' has no data.");
}

int PlotGroups::groupOf(int caseNumber) const {
    if (name_.isEmpty()) return 0;
    if (caseNumber < 0 || static_cast<std::size_t>(caseNumber) >= caseGroup_.size()) return -1;
    return caseGroup_[static_cast<std::size_t>(caseNumber)];
}

long long PlotGroups::number(std::size_t group) const {
    return group < plotted_.size() ? plotted_[group] + 1 : 1;
}

MString PlotGroups::legendText(std::size_t group) const {
    if (group >= plotted_.size()) return MString();
    return name_ + " " + values_[static_cast<std::size_t>(plotted_[group])].trim();
}

MString PlotGroups::label(std::size_t group) const {
    if (group >= plotted_.size()) return MString();
    return "Group: " + name_ + " (" + values_[static_cast<std::size_t>(plotted_[group])].trim() + ")";
}

}  // namespace ordena
