// What the data statements record: the data file, its layout and the
// response coding rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/mstring.h"
#include "data/data_layout.h"
#include "data/delimited_file.h"
#include "data/data_pass_state.h"

namespace ordena {

// A restriction of a rule to responses whose variable has one of the listed
// values: texts for an explicit variable, levels counted from 1 for an
// implicit one.
struct Selection {
    VariableRef variable;
    std::vector<MString> codes;  // as written, ranges expanded

    // Made from codes by prepare(): what matching looks up.
    std::vector<std::string> sortedCodes;  // explicit: the codes, sorted
    std::vector<std::int64_t> levels;      // implicit: the codes as integers, sorted

    // Rebuilds the lookup tables after codes change (the parser and a
    // system-file load call it).
    void prepare();
};

struct RecodeRule {
    std::vector<MString> from;
    std::vector<MString> to;
    std::vector<Selection> selections;
};

struct DeleteRule {
    std::vector<Selection> selections;
};

struct ScoreRule {
    std::vector<MString> codes;
    std::vector<std::vector<MString>> columns;  // one list of score texts per dimension
    std::vector<Selection> selections;
};

struct KeyRule {
    MString option;             // one response width long
    std::vector<MString> keys;  // one per item, each one response width long
};

struct DataSpec {
    MString fileName;
    DelimitedOptions fileOptions;  // how the datafile statement said to read it
    DataLayout layout;  // holds the missing-value codes of the explicit variables

    std::vector<MString> codes;  // empty: every code is valid
    std::vector<RecodeRule> recodes;
    std::vector<ScoreRule> scores;
    std::vector<KeyRule> keys;
    std::vector<DeleteRule> deletes;

    DataPassState passes;  // results and work files of the last data passes

    // A reset empties the coding rules and deletes the work files of the
    // data passes; the file name and the layout with its missing codes stay.
    void clearOnReset() {
        codes.clear();
        recodes.clear();
        scores.clear();
        keys.clear();
        deletes.clear();
        passes.clearOnReset();
    }
    // Reset and exit: deletes the work files of the data passes.
    void removeWorkFiles() { passes.removeWorkFiles(); }

    // 0-based index of the variable of exactly this name, or -1.
    int explicitVariableIndex(const MString& name) const { return layout.explicitVariableIndex(name); }
    int implicitVariableIndex(const MString& name) const { return layout.implicitVariableIndex(name); }
};

}  // namespace ordena
