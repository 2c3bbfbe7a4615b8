// The layout of the data file made by the format statement: where each
// case's responses and explicit variables lie in its records, and the
// implicit variables whose levels come from a response's position.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "base/mstring.h"

namespace ordena {

// The longest record the data passes read; no column can lie beyond it.
inline constexpr int kMaxRecordLength = 3071;
inline constexpr int kMaxRecordsPerCase = 20;
inline constexpr int kMaxFormatFields = 499;
// Every response position of a case, twenty records of the longest length.
inline constexpr int kMaxResponsesPerBlock = kMaxRecordsPerCase * kMaxRecordLength;
inline constexpr int kMaxImplicitVariables = 499;

// Variable kinds, as stored in selections, model terms and system files.
enum VariableKind : std::int32_t { kImplicitVariable = 0, kExplicitVariable = 1, kStepVariable = 2 };

struct VariableRef {
    std::int32_t kind = kImplicitVariable;
    std::int32_t index = -1;
};

// Columns and records count from 1, as written in the statement.
struct Segment {
    std::int32_t firstColumn = 0;
    std::int32_t lastColumn = 0;
    std::int32_t record = 1;
};

struct ResponsePosition {
    std::int32_t firstColumn = 0;
    std::int32_t record = 1;
};

struct ResponseBlock {
    std::int32_t width = 1;
    std::vector<ResponsePosition> responses;
    // Delimited files: the header name of each response's field (empty when
    // given by number; the field number is the response's first column).
    std::vector<MString> fieldNames;

    std::int32_t count() const { return static_cast<std::int32_t>(responses.size()); }
};

struct ExplicitVariable {
    MString name;
    std::vector<Segment> segments;
    std::int32_t distinctValues = 0;  // filled by the data passes
    // Missing-value codes and their match flags: 0 exact, 1 trimmed (a code
    // of one blank meaning an all-blank value).
    std::vector<MString> missingCodes{" ", "."};
    std::vector<std::int32_t> missingFlags{1, 1};
    // Delimited files: the header name of each segment's field (empty when
    // the format gave its number; the field number is the segment's first
    // and last column), and the widest value the data passes saw.
    std::vector<MString> fieldNames;
    std::int32_t widestValue = 0;

    // Characters of the variable's value as the group records keep it.
    int valueWidth(bool delimited) const {
        if (delimited) return widestValue;
        return segments.empty() ? 0 : std::max(0, segments[0].lastColumn - segments[0].firstColumn + 1);
    }

    // The segment whose value serves response block b: the k-th segment
    // belongs to the k-th block, the last one to every later block.
    // A variable without segments (only from a damaged file) reads as empty.
    const Segment& segmentForBlock(int block) const {
        static const Segment none{};
        if (segments.empty()) return none;
        std::size_t last = segments.size() - 1;
        std::size_t b = block < 0 ? 0 : static_cast<std::size_t>(block);
        return segments[b < last ? b : last];
    }
};

struct ImplicitVariable {
    MString name;
    std::int32_t levels = 0;
};

struct DataLayout {
    MString formatText;
    // Made for a delimited data file: columns are field numbers, one line
    // per case.
    bool delimited = false;
    std::int32_t recordsPerCase = 1;
    std::int32_t items = 0;
    std::int32_t responseWidth = 0;
    std::vector<ResponseBlock> responseBlocks;
    std::vector<ExplicitVariable> explicitVariables;
    std::vector<ImplicitVariable> implicitVariables;
    std::vector<MString> variableNames;  // explicit names, then implicit names
    std::int32_t caseIdentifier = -1;    // index of the explicit variable pid
    VariableRef itemVariable;            // the variable named item; index -1 when none
    // For item i, the level (from 0) of every implicit variable.
    std::vector<std::vector<std::int32_t>> itemLevels;

    // Usable responses: a failed format statement leaves items at 0.
    bool hasResponses() const { return items > 0 && !responseBlocks.empty(); }

    // Exact (case-sensitive) name lookups; -1 when absent.
    int explicitVariableIndex(const MString& name) const;
    int implicitVariableIndex(const MString& name) const;

    // The name of variable v of this layout; empty when v is not one of them.
    MString nameOf(const VariableRef& v) const;
    // The variable of this layout of v's kind that bears the name v has in
    // `old` (a format statement replaced the layout); index -1 when there is
    // none. The step is the step in every layout.
    VariableRef sameNamed(const DataLayout& old, const VariableRef& v) const;

    // The shared name lookup of the coding and model statements: lowercased;
    // any prefix of "items" from "i" on means item; explicit variables, then
    // implicit ones, then any prefix of "step" or "steps" from "s" on names
    // the step pseudo-variable. False when not found.
    bool lookupVariable(const MString& name, VariableRef& found) const;

    // Builds the item level table from the implicit variables, first
    // variable fastest. The product of the levels must equal items.
    void fillItemLevels();
};

// The text of columns first..last (from 1) of a record; shorter or empty
// when the record is too short.
inline std::string_view columnText(std::string_view record, int firstColumn, int lastColumn) {
    if (firstColumn < 1 || lastColumn < firstColumn) return {};
    std::size_t start = static_cast<std::size_t>(firstColumn - 1);
    if (start >= record.size()) return {};
    return record.substr(start, static_cast<std::size_t>(lastColumn - firstColumn + 1));
}

// True for a letter followed by letters and digits.
bool isValidName(const MString& text);

}  // namespace ordena
