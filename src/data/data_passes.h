// The two passes over the data file, the case sort and the model file
// build: they turn the data file into the work files every later pass over
// the cases reads.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"
#include "data/data_pass_state.h"  // scratchFileName

namespace ordena {

class Session;
struct Workspace;

// Pass one, then pass two, with an interrupt check and a status line before
// each. 1, or -1 after the reports. The lists used are the facet list in
// use and the regression, group and case weight lists of the last data pass
// (the model build sets them).
// ram: the storage the model file build will ask for. Pass two makes the
// model records itself when every facet of the passes is a model variable
// (see DataPassState::responsesInModelFile), on disk or, with ram, in
// memory; otherwise it writes the response file.
int runDataPasses(Session& session, bool ram = false);

// The texts of the given explicit variables for every case of the last data
// passes, from its first line (or record group) in the data file, blanks at
// the ends removed; empty where the value is missing. texts[case][k] is
// variable k. 1, or -1 after the report.
int caseVariableTexts(Session& session, const std::vector<std::int32_t>& variables,
                      std::vector<std::vector<MString>>& texts);
int dataPassOne(Session& session);
int dataPassTwo(Session& session, bool ram = false);

// Puts the response file in case order. 1, or -1 after a report.
// sweepBytes bounds the memory of one sweep over the file (tests make it
// small to exercise several sweeps).
int sortResponseFile(Session& session, std::int64_t sweepBytes = std::int64_t{256} << 20);
// The same for any file of records that begin with their case number.
int sortRecordFile(Session& session, const MString& file, std::size_t recordBytes,
                   std::int64_t sweepBytes = std::int64_t{256} << 20);

// Turns the response records into model records carrying their generalised
// item, on disk or (ram) in memory, and counts the levels, the generalised
// items and their categories into the model build. 1, or -1 after a report.
int buildModelFile(Session& session, bool ram);

// Makes the model record of a response record: the generalised item from
// the levels of the model variables (first fastest), and the category
// counts and lowest categories of the generalised items on the way. Its
// level counts and item count are those of the model build.
class ModelRecordMaker {
public:
    explicit ModelRecordMaker(const Workspace& ws);
    // Empty, or the report that the model cannot be built: a model variable
    // outside the facets, or too many generalised items.
    const MString& error() const { return error_; }
    std::int64_t items() const { return items_; }
    // False when a level is outside its variable's count or a response's
    // category outside the response code table.
    bool make(const unsigned char* responseRecord, ModelRecord& m);
    // Lowest categories of items without a response become 0.
    void finish();

    std::vector<std::int32_t> levelCounts;  // per model variable, in model order
    std::vector<std::int32_t> categoryCount, lowestCategory;

private:
    MString error_;
    std::int64_t items_ = 1;
    std::vector<int> offset_;  // per model variable: the byte of its level in a response record
    std::int32_t F_ = 0, M_ = 0, t2Size_ = 0;
};

// The identifier text of case n; empty without a case identifier.
MString caseIdentifier(Session& session, int n);

// Response records made again from model records, for a workspace whose
// data passes are current: the generalised item gives back the levels of
// the model variables; implicit facets outside the model take the levels
// given; explicit facets outside the model, which nothing reads after the
// passes, take level 0.
class ResponseRecordMaker {
public:
    explicit ResponseRecordMaker(const Workspace& ws);
    std::size_t bytes() const { return bytes_; }
    // Places, among the implicit facets of the last data passes, of those
    // that are not model variables: the levels make() takes, in this order.
    const std::vector<int>& outsidePlaces() const { return outside_; }
    void make(const ModelRecord& m, const std::int32_t* outside, unsigned char* record);

private:
    std::vector<std::int32_t> counts_;  // level counts, model order
    std::vector<int> at_;               // per model variable: its level's index in levels_
    std::vector<int> outside_;
    std::vector<std::int32_t> levels_;  // explicit facet levels, then implicit ones
    std::int32_t F_ = 0, M_ = 0;
    std::size_t bytes_ = 0;
};

// Writes the response file from the model file (storage disk) when the
// model file stands for it after a load. 1, or -1 after a report.
int writeResponseFile(Session& session);

}  // namespace ordena
