// Hands the responses of one case after another to the passes over the
// cases: the generalised item and category of each (g_ItemNo and g_rsp, at
// most 1000 per case). Reads the model file through a large buffer, or walks
// the model records in memory (storage ram).
#pragma once

#include <cstdint>
#include <vector>

#include "base/matrix.h"
#include "base/shell.h"
#include "data/data_pass_state.h"
#include "data/work_file_io.h"

namespace ordena {

inline constexpr int kMaxCaseResponses = 1000;

class ResponseReader {
public:
    // state must outlive the reader; recoded: return only responses (flag 1)
    // and their recoded indices (the item analysis variant).
    explicit ResponseReader(const DataPassState& state, bool recoded = false) : state_(state), recoded_(recoded) {}

    // Control 9. 1, or -1 after "Open failure to scratch file " + name.
    int open(Shell& shell);
    // Control 10: stops early. Always -1.
    int close();
    // The next case: its number and the count of its responses (placeholder
    // records are not responses: a case of only placeholders has none), the
    // items and categories in itemNo[0..count) and rsp[0..count) (room for
    // 1000 each), and for the recoded variant the recoded indices in row i of
    // recodedIndex (one column, at least 1000 rows) when given. last becomes
    // true with the last case. -1 after a report: more than 1000 responses,
    // or a damaged model file. With no record at all: count 0, case -1, last.
    int next(int& caseNumber, std::int32_t* itemNo, std::int32_t* rsp, bool& last, Shell& shell,
             Matrix* recodedIndex = nullptr);

    // The control form: 9 opens, 10 closes, anything else reads the next
    // case and sets control to 0, or to 1 for the last case.
    int call(int& control, int& caseNumber, std::int32_t* itemNo, std::int32_t* rsp, Shell& shell,
             Matrix* recodedIndex = nullptr);

private:
    bool readRecord(ModelRecord& record);  // false when all are consumed
    int shortFile(Shell& shell);           // -1 after the report

    const DataPassState& state_;
    bool recoded_ = false;
    bool open_ = false;
    bool ram_ = false;
    bool finished_ = false;
    bool short_ = false;
    BlockReader file_;
    std::int64_t consumed_ = 0;
    std::int64_t total_ = 0;
    bool havePending_ = false;
    ModelRecord pending_;
};

}  // namespace ordena
