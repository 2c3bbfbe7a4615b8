// The show statement: the tables of the last estimation in the output pane
// or a file, and the case estimates in a file.
#pragma once

#include <array>

#include "base/mstring.h"
#include "estimation/case_estimates.h"
#include "command/option_table.h"

namespace ordena {

class Session;

// What one show statement asked for, after its argument and options.
struct ShowRequest {
    bool cases = false;               // argument cases: case output
    std::array<bool, 10> tables{};    // entry k-1: table k
    bool unlabelled = false;          // imported-design form; no maps of parameters
    MString file;                     // empty: the output pane
    CaseOutputFormat caseFormat;      // case output: fixed layout or delimited
};

// The options of the show statement.
const OptionTable<ShowRequest>& showOptionTable();
// Reads argument and options into request and sets the case-estimate type.
// 1, or -1 after the report of the first fault (a cancelled overwrite
// question ends it silently).
int parseShow(Session& session, const MString& arguments, ShowRequest& request);

// Prints what request asks for. 1 or -1.
int printShow(Session& session, const ShowRequest& request);

// Handler of the show statement.
int showCommand(Session& session, const MString& arguments);

}  // namespace ordena
