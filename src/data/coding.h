// The response coding statements: codes, recodes, scores, key, delete and
// missing. They only record rules; the data passes and the model build apply
// them (rules.h).
#pragma once

#include <vector>

#include "base/mstring.h"
#include "base/shell.h"
#include "data/data_spec.h"

namespace ordena {

class Session;

inline constexpr int kMaxListValues = 399;
// Ranges such as item(1-50000) expand to one code each; beyond this many a
// selection is refused rather than filling memory.
inline constexpr int kMaxSelectionCodes = 100000;

// A value list of at most 399 values. 1, or -1 after a report.
int boundedValueList(const MString& text, std::vector<MString>& values, Shell& shell);

// The "! variable(codes) variable(codes) ..." options of recodes, scores
// and delete. An empty text gives no selection. 1, or -1 after a report.
int parseSelections(const MString& options, const DataLayout& layout, std::vector<Selection>& selections,
                    Shell& shell);

// Statement parsers: the argument text into a rule. 1, or -1 after a report.
int parseRecodeRule(const MString& text, const DataLayout& layout, RecodeRule& rule, Shell& shell);
int parseDeleteRule(const MString& text, const DataLayout& layout, DeleteRule& rule, Shell& shell);
// Angle-bracket groups in the code list also give recode rules.
int parseScoreRule(const MString& text, const DataLayout& layout, ScoreRule& rule,
                   std::vector<RecodeRule>& groupRecodes, Shell& shell);
int parseKeyRule(const MString& text, const DataLayout& layout, KeyRule& rule, Shell& shell);

struct MissingCodes {
    std::vector<MString> codes;
    std::vector<std::int32_t> flags;
};
// The codes part of a missing statement (text before "!").
MissingCodes parseMissingCodes(const MString& text, Shell& shell);

int codesCommand(Session& session, const MString& arguments);
int recodesCommand(Session& session, const MString& arguments);
int scoresCommand(Session& session, const MString& arguments);
int keyCommand(Session& session, const MString& arguments);
int deleteCommand(Session& session, const MString& arguments);
int missingCommand(Session& session, const MString& arguments);

}  // namespace ordena
