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
    // Checks the group, keep and drop options against the grouping
    // variables. 1, or -1 after the report.
    int select(Session& session, const PlotSettings& settings);
    // Reads the group of every case. 1, or -1 after the report.
    int prepare(Session& session);

    std::size_t count() const { return numbers_.empty() ? 1 : numbers_.size(); }
    // The group (0 .. count - 1) of a case, -1 when it is not plotted.
    int groupOf(int caseNumber) const;
    // The number in series names ("Group 2 ..."): the position of the value
    // in the sorted values, from 1.
    long long number(std::size_t group) const;
    // "Group: name (value)" for a data table; empty without groups.
    MString label(std::size_t group) const;

private:
    MString name_;
    std::vector<MString> values_;  // all values of the variable, sorted
    std::vector<int> numbers_;     // per plotted group its position in values_
    std::vector<int> caseGroup_;   // per case its plotted group, -1 for none
};

}  // namespace ordena
