// What the command dialogs read from their fields and show from the
// workspace: the cut of every field text, the level list of the implicit
// variables and the variable clause made from a selection of it, the lists
// of variable names, the code list text, and which case estimates exist.
#pragma once

#include <vector>

#include "base/mstring.h"
#include "command/workspace.h"

namespace ordena {

// Every text read from a dialog's field keeps its first 99 characters.
inline constexpr int kFieldCharacters = 99;
MString fieldText(const MString& text);

// A real as the settings and estimate dialogs show it: five decimals
// ("%10.5f" without its leading blanks), or more when the value needs them
// to read back unchanged, so that a dialog left as it opened composes the
// value in force. A float is read back as a float.
MString realFieldText(double value);
MString realFieldText(float value);

// Joins texts with a separator.
MString joinTexts(const std::vector<MString>& texts, const char* separator);

// One entry of the level list: an implicit variable (its index in the
// format) at a level counted from 1, shown as "item(2)".
struct LevelEntry {
    int variable = 0;
    int level = 1;
    MString text;
};
std::vector<LevelEntry> levelList(const DataLayout& layout);
// The selected entries grouped by variable in order of first appearance:
// "item(1,2,5),rater(2)"; empty for no selection.
MString variableClause(const DataLayout& layout, const std::vector<LevelEntry>& selected);

// The explicit variables of the format, in their order.
std::vector<MString> explicitVariableNames(const DataLayout& layout);
// Every variable of the format and "step", sorted, for the model dialog.
std::vector<MString> modelDialogNames(const DataLayout& layout);
// The grouping variables in effect at the last data pass.
std::vector<MString> lastGroupVariableNames(const Workspace& ws);

// The current code list joined by "," (empty without one).
MString codeListText(const Workspace& ws);

// Case estimates the analysis dialogs offer. Joint maximum likelihood gives
// neither EAPs nor plausible values.
enum class CaseEstimateChoice { None, Wle, Mle, Eap, PlausibleValues };
bool jmlInForce(const Workspace& ws);
CaseEstimateChoice preselectedEstimate(const Workspace& ws);
bool estimateChoiceEnabled(const Workspace& ws, CaseEstimateChoice choice);

}  // namespace ordena
