// Applying the coding rules to one response: what the data passes call for
// every response and the model build for every category. Plain functions
// over the layout and the rule lists; nothing here re-reads statement text.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/mstring.h"
#include "base/shell.h"
#include "data/data_spec.h"

namespace ordena {

// What a selection is tested against. In the data passes every value is
// known: the case's explicit values for the current response block and the
// response's row of the item level table. In the model build only the
// model variables are known.
struct VariableValues {
    std::span<const MString> explicitValues;       // by explicit variable index
    std::span<const std::int32_t> implicitLevels;  // by implicit variable index, from 0; negative: not known
    std::span<const std::uint8_t> explicitKnown;   // by explicit variable index; empty: all known
};

// Results of selectionMatches and selectionsMatch.
enum SelectionMatch { kSelectionNoMatch = 0, kSelectionMatch = 1, kSelectionBadVariable = -1, kSelectionUnknown = -2 };

// A code matches a value when the code, filled on the left with blanks to
// the value's length, equals it.
bool codeMatches(std::string_view code, std::string_view value);

// kSelectionBadVariable: the selection's variable is not of the layout (a
// kind other than explicit or implicit, or an index beyond the values);
// kSelectionUnknown: its value is not known here.
int selectionMatches(const Selection& selection, const VariableValues& values);
// All selections must match; a rule without selections matches everything.
// Reference problems are found whatever the order of the selections.
int selectionsMatch(const std::vector<Selection>& selections, const VariableValues& values);

// raw -> recoded. 1 with recoded pointing at the applying rule's code, or at
// raw itself when no rule applies; -1 after a report.
int applyRecodes(const MString& raw, const std::vector<RecodeRule>& rules, const VariableValues& values,
                 const MString*& recoded, Shell& shell);

// 1 deleted, 0 kept, -1 after a report.
int isDeleted(const std::vector<DeleteRule>& rules, const VariableValues& values, Shell& shell);

// The key_default setting filled on the left with blanks to the response width.
MString paddedKeyDefault(const MString& keyDefault, int width);

// recoded -> scored for a response of the given item. 1 with scored pointing
// at the matching rule's option, or at defaultCode (paddedKeyDefault) when
// no key matches; -1 after a report.
int applyKeys(const MString& recoded, int item, const std::vector<KeyRule>& rules, const MString& defaultCode,
              const MString*& scored, Shell& shell);

// respmiss: the setting's code (RespMiss).
bool isMissingResponse(std::string_view response, int respmiss);
bool isMissingValue(std::string_view value, const ExplicitVariable& variable);

// The recoded code table T1 and the response code table T2 from the distinct
// raw responses that are not missing. Both come back sorted by bytes and
// without repeats, ready for codeIndex; the caller checks T2's size.
void buildCodeTables(const std::vector<MString>& collected, const DataSpec& spec, const MString& keyDefault,
                     std::vector<MString>& t1, std::vector<MString>& t2);

// Position of code in a sorted table (exact comparison), or -1.
int codeIndex(const std::vector<MString>& table, std::string_view code);

// The number of dimensions the score rules give: 1 without rules. -1 after
// a report.
int scoreDimensions(const std::vector<ScoreRule>& rules, Shell& shell);

// The scores of response code k on every dimension. defaultNoticeGiven is
// the caller's flag for one model build: the default-scoring warning is
// given while it is false, and then it is set. 1, or -1 after a report.
int lookupScores(const MString& code, const std::vector<ScoreRule>& rules, const VariableValues& values,
                 bool& defaultNoticeGiven, std::vector<double>& scores, Shell& shell);

// Everything the per-response decision of data pass two needs, prepared once
// per pass.
struct ResponseCoding {
    const DataSpec& spec;
    int respmiss;
    const std::vector<MString>& t1;  // sorted
    const std::vector<MString>& t2;  // sorted
    MString defaultCode;             // paddedKeyDefault

    ResponseCoding(const DataSpec& s, int respmissSetting, const MString& keyDefault, const std::vector<MString>& table1,
                   const std::vector<MString>& table2)
        : spec(s),
          respmiss(respmissSetting),
          t1(table1),
          t2(table2),
          defaultCode(paddedKeyDefault(keyDefault, s.layout.responseWidth)) {}
};

// Data pass two's decision for raw response r of the given item: 1 kept,
// with its category (position in T2) and recoded index (position in T1); 0
// passed over (deleted, missing, or not in a table); -1 after the reports,
// the pass's own "Error in delete" or "Error in recode - possible multiple
// definition" included: the pass must end.
int codeResponse(const ResponseCoding& coding, const MString& raw, int item, const VariableValues& values,
                 int& category, int& recodedIndex, Shell& shell);

}  // namespace ordena
