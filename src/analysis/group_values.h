// The distinct values of one grouping variable over all cases, read from the
// group file of the last data passes. Reports that break results down by
// group (descriptives, plots) print one block per entry of this table.
#pragma once

#include <vector>

#include "base/mstring.h"

namespace ordena {

class Session;

inline constexpr int kMaxGroupValues = 25;

// Fills table with the distinct value texts of the group variable at
// position (from 1) in the group list the data passes used, sorted ascending
// by bytes. Returns the number of groups, or -1 after the error report.
int groupValueTable(Session& session, int position, std::vector<MString>& table);

// The position (from 1) of the one explicit variable named by text among
// the group variables of the last data passes, 0 when they did not use it.
// It must be a grouping variable of the group statement; otherwise
// notInList is reported. -1 after the error report.
int groupVariablePosition(Session& session, const MString& text, const MString& notInList);

// The value text of the group variable at position (from 1) in every case's
// group record, in case number order. 1, or -1 after the error report.
int caseGroupValues(Session& session, int position, std::vector<MString>& values);

}  // namespace ordena
