#include "plot/plot_groups.h"

#include "command/session.h"
#include "plot/plot_options.h"

namespace ordena {

int PlotGroups::select(Session&, const PlotSettings&) { return 1; }

int PlotGroups::prepare(Session&) { return 1; }

int PlotGroups::groupOf(int caseNumber) const {
    if (numbers_.empty()) return 0;
    if (caseNumber < 0 || static_cast<std::size_t>(caseNumber) >= caseGroup_.size()) return -1;
    return caseGroup_[static_cast<std::size_t>(caseNumber)];
}

long long PlotGroups::number(std::size_t group) const { return group < numbers_.size() ? numbers_[group] + 1 : 1; }

MString PlotGroups::label(std::size_t group) const {
    if (group >= numbers_.size()) return MString();
    return "Group: " + name_ + " (" + values_[static_cast<std::size_t>(numbers_[group])].trim() + ")";
}

}  // namespace ordena
