// The statements of the data specification dialogs (Command menu): title,
// codes, recodes, scores, key, delete, missing values, case weight,
// regression, grouping, model and format. Each function takes the dialog's
// field texts as the widgets hold them and reads the one-line fields as the
// dialogs do (fieldText); the multi-line statement fields are read whole,
// so the statement shown is the statement run. None changes the workspace.
#pragma once

#include <vector>

#include "app/compose/dialog_fields.h"

namespace ordena {

MString composeTitle(const MString& title);
MString composeCodes(const MString& codes);

// "Recoding": both code fields start with the code list text.
MString composeRecode(const MString& fromCodes, const MString& toCodes, const MString& clause);

// "Select Variables to Score": the number of dimensions read from its field
// (leading digits, 0 when there are none); only a positive number opens
// "Scoring".
int dimensionsFieldValue(const MString& field);
inline constexpr const char* kDimensionsMessage = "The number of dimensions must be a positive integer";
// "Scoring": one score text per dimension, the first starting with the code
// list text and the others empty.
std::vector<MString> initialScoreTexts(const Workspace& ws, int dimensions);
MString composeScore(const MString& codes, const std::vector<MString>& scoreTexts, const MString& clause);

// "Key": one "*" for every character of the response columns.
MString initialKeyString(const DataLayout& layout);
MString composeKey(const MString& keyString, const MString& scoredAs);

MString composeDelete(const MString& clause);

// "Missing Values for Explicit Variables".
struct MissingFields {
    bool blanks = false;
    bool period = false;
    MString otherCodes;
};
// What the controls show when exactly one variable is selected.
MissingFields missingFieldsOf(const ExplicitVariable& variable);
// Empty when no variable is selected.
MString composeMissing(const MissingFields& fields, const std::vector<MString>& selectedNames);

// "Set Weight variable".
MString caseWeightStatus(const Workspace& ws);
MString currentCaseWeight(const Workspace& ws);  // empty when cases are not weighted
MString composeCaseWeight(const MString& name);
inline constexpr const char* kNoWeightMessage = "Weights requested, but a weight variable was not selected";

// "Select Regression Variables", "Select Grouping Variables": empty when no
// variable is selected.
MString composeRegression(const std::vector<MString>& selectedNames);
MString composeGroup(const std::vector<MString>& selectedNames);

// "Build Model": the statement field grows by a name or an operator.
inline constexpr const char* kModelStart = "model";
MString modelAddName(const MString& statement, const MString& name);
MString modelAddOperator(const MString& statement, char op);  // '+', '*' or '-'

// "Building Format". The statement field is read as a head and a tail, the
// tail being the text from its first "!" on.
inline constexpr const char* kFormatStart = "format";
enum class FormatVariableType { None, Explicit, Response, Implicit };
struct FormatFields {
    MString name;
    MString startColumn;
    MString endColumn;
    MString width;
    MString levels;
};
MString formatColumnRange(const MString& startColumn, const MString& endColumn);
// "Add to format " with the fields of the chosen type.
MString formatAdd(const MString& statement, FormatVariableType type, const FormatFields& fields);
// "  /  " and "  ,  ": the character goes at the end of the head.
MString formatInsertAtHead(const MString& statement, char c);

}  // namespace ordena
