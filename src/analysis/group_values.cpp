#include "analysis/group_values.h"

#include <algorithm>

#include "base/binfile.h"
#include "command/session.h"
#include "model/model_statements.h"

namespace ordena {

namespace {

// Width of each group variable of the last data passes, as the second pass
// laid out the group records.
std::vector<int> groupWidths(const Workspace& ws) {
    std::vector<int> widths;
    const DataLayout& layout = ws.data.layout;
    for (std::int32_t k : ws.model.lastGroup.explicitIndices) {
        int w = 0;
        if (k >= 0 && k < static_cast<std::int32_t>(layout.explicitVariables.size())) {
            const ExplicitVariable& v = layout.explicitVariables[static_cast<std::size_t>(k)];
            w = v.valueWidth(layout.delimited);
        }
        widths.push_back(w);
    }
    return widths;
}

}  // namespace

int groupVariablePosition(Session& session, const MString& text, const MString& notInList) {
    Workspace& ws = session.ws;
    VariableList list;
    if (parseVariableList(text, ws.data.layout, list, session) != 1) {
        session.errorReport("Group variable not found");
        return -1;
    }
    if (list.implicitCount() > 0) {
        session.errorReport("Group variable must be explicit");
        return -1;
    }
    if (list.explicitCount() != 1) {
        session.errorReport("Only one group variable allowed");
        return -1;
    }
    const std::int32_t index = list.explicitIndices[0];
    const std::vector<std::int32_t>& stated = ws.model.group.explicitIndices;
    if (std::find(stated.begin(), stated.end(), index) == stated.end()) {
        session.errorReport(notInList);
        return -1;
    }
    const std::vector<std::int32_t>& used = ws.model.lastGroup.explicitIndices;
    const auto at = std::find(used.begin(), used.end(), index);
    return at == used.end() ? 0 : static_cast<int>(at - used.begin()) + 1;
}

int caseGroupValues(Session& session, int position, std::vector<MString>& values) {
    values.clear();
    const Workspace& ws = session.ws;
    const DataPassState& passes = ws.data.passes;
    const std::vector<int> widths = groupWidths(ws);
    int offset = 1, total = 1;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (static_cast<int>(i) < position - 1) offset += widths[i];
        total += widths[i];
    }
    const auto N = static_cast<std::size_t>(std::max(0, passes.cases));
    const std::size_t L = static_cast<std::size_t>(std::max(1, passes.groupRecordLength));
    // A layout changed since the passes, or a file shorter than its records,
    // cannot be read safely: the values are then not available.
    BinaryFile file;
    const bool usable = position >= 1 && position <= static_cast<int>(widths.size()) &&
                        total == passes.groupRecordLength && !passes.groupFile.isEmpty() &&
                        passes.groupFile.str().find('\0') == std::string::npos &&
                        file.open(passes.groupFile.str(), "rb");
    if (!usable) {
        session.errorReport("Group variables are not available");
        return -1;
    }
    const int width = widths[static_cast<std::size_t>(position - 1)];
    std::vector<char> record(L);
    values.reserve(N);
    for (std::size_t n = 0; n < N; ++n) {
        if (!file.readBytes(record.data(), L)) {
            values.clear();
            session.errorReport("Group variables are not available");
            return -1;
        }
        values.push_back(MString(std::string(record.data() + offset, static_cast<std::size_t>(width))));
    }
    return 1;
}

int groupValueTable(Session& session, int position, std::vector<MString>& table) {
    table.clear();
    std::vector<MString> values;
    if (caseGroupValues(session, position, values) != 1) return -1;
    for (const MString& v : values) {
        if (std::find(table.begin(), table.end(), v) != table.end()) continue;
        if (static_cast<int>(table.size()) == kMaxGroupValues) {
            table.clear();
            session.errorReport("Too many different values in grouping variable");
            return -1;
        }
        table.push_back(v);
    }
    std::sort(table.begin(), table.end());
    return static_cast<int>(table.size());
}

}  // namespace ordena
