// What the data passes found and the work files they and the model file
// build wrote: the number of cases, the facet value lists, the response code
// tables, the case identifier table and the names of the files.
#pragma once

#include <cstdint>
#include <vector>

#include "base/mstring.h"

namespace ordena {

// One response as the model sees it: 20 bytes in the model file.
struct ModelRecord {
    std::int32_t caseNumber = 0;
    std::int32_t category = 0;
    std::int32_t item = 0;  // generalised item index
    std::int32_t recodedIndex = 0;
    std::int32_t flag = 0;  // 1 response, 0 placeholder of a case without valid responses
};

inline constexpr int kModelRecordBytes = 20;

// The distinct non-missing values of one explicit facet variable, sorted by
// bytes: a facet level is a position here.
struct ValueList {
    std::int32_t variable = -1;  // explicit variable index
    std::vector<MString> values;
};

struct DataPassState {
    std::int32_t cases = 0;            // N
    std::int64_t responseRecords = 0;  // response records, and so model records
    std::vector<ValueList> valueLists;
    std::vector<MString> t1;  // recoded code table, sorted
    std::vector<MString> t2;  // response code table, sorted; a category is a position here
    std::int32_t identifierCount = 0;  // 0 when the last pass had no case identifier
    std::int32_t identifierWidth = 0;

    // Shape of the response records of the last pass: explicit and implicit
    // facet counts.
    std::int32_t recordExplicit = 0;
    std::int32_t recordImplicit = 0;
    // Doubles per case information record (regression parameter count + 1)
    // and bytes per group record.
    std::int32_t caseInfoWidth = 2;
    std::int32_t groupRecordLength = 1;

    MString responseFile;
    MString caseInfoFile;
    MString identifierFile;
    MString modelFile;
    MString groupFile;

    bool ramStorage = false;               // how the last model file build kept the model records
    std::vector<ModelRecord> ramRecords;   // storage ram

    // The model records stand for the response file (each record's
    // generalised item gives back its model variables' levels): after a
    // system file was loaded, or when pass two made the model records
    // itself because every facet of the passes is a model variable. The
    // response file is then made from them when something asks for it.
    bool responsesInModelFile = false;
    // The category counts and lowest categories of the generalised items,
    // kept by pass two when it made the model records (records: their
    // count; -1 when none are kept).
    struct RecordCounts {
        std::int64_t records = -1;
        std::vector<std::int32_t> categoryCount, lowestCategory;
    } recordCounts;

    std::int64_t responseRecordBytes() const { return 24 + 4LL * (recordExplicit + recordImplicit); }

    // Deletes every work file named here and forgets the names.
    void removeWorkFiles();
    // A reset: the files go and every result is released.
    void clearOnReset();
};

// The name of a fresh scratch file: the working directory, "/", base and the
// smallest positive number for which the file can be created exclusively.
// The file exists, empty, when the name is returned: it is this run's.
MString scratchFileName(const MString& base);

}  // namespace ordena
