// The groups of a plot statement: without a group option one group of all
// cases; with one, a group per value of the grouping variable, less those
// dropped (or not kept).
#pragma once

#include <vector>

#include "base/mstring.h"

namespace ordena {

class Session;
struct PlotSettings;

class PlotGroups {
public:
    // Checks the group and keep options: the variable and the kept values
    // must exist. 1, or -1 after the report.
    int select(Session& session, const PlotSettings& settings);
    // Reads the group of every case. 1, or -1 after the report.
    int prepare(Session& session);
    // After the counts: passes over the groups in which no case answered a
    // plotted item, with a warning for each.
    void dropEmpty(Session& session, const std::vector<bool>& hasData);

    std::size_t count() const { return name_.isEmpty() ? 1 : plotted_.size(); }
    // The group (0 .. count - 1) of a case, -1 when it is not plotted.
    int groupOf(int caseNumber) const;
    // The number in series names ("Group 2 ..."): the position of the value
    // among the sorted values, from 1.
    long long number(std::size_t group) const;
    // "Group: name (value)" for a data table; empty without groups.
    MString label(std::size_t group) const;
    // "name value" for a legend; empty without groups.
    MString legendText(std::size_t group) const;
    // False for a group passed over for want of data.
    bool shown(std::size_t group) const { return group >= shown_.size() || shown_[group]; }

private:
    MString name_;
    int position_ = 0;
    std::vector<MString> values_;  // every value of the variable, sorted
    std::vector<int> plotted_;     // per plotted group its position in values_
    std::vector<int> caseGroup_;   // per case its plotted group, -1 for none
    std::vector<bool> shown_;
};

}  // namespace ordena
