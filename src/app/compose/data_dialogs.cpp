#include "app/compose/data_dialogs.h"

namespace ordena {

MString composeTitle(const MString& title) { return "Title " + fieldText(title); }

MString composeCodes(const MString& codes) { return "codes " + fieldText(codes); }

MString composeRecode(const MString& fromCodes, const MString& toCodes, const MString& clause) {
    return "recode (" + fieldText(fromCodes) + ") (" + fieldText(toCodes) + ") !" + clause;
}

int dimensionsFieldValue(const MString& field) {
    const MString text = fieldText(field);
    long long value = 0;
    for (int i = 0; i < text.length() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1000000000) return 1000000000;  // far beyond any model; keeps the int in range
    }
    return static_cast<int>(value);
}

std::vector<MString> initialScoreTexts(const Workspace& ws, int dimensions) {
    std::vector<MString> texts(static_cast<std::size_t>(dimensions > 0 ? dimensions : 0));
    if (!texts.empty()) texts[0] = codeListText(ws);
    return texts;
}

MString composeScore(const MString& codes, const std::vector<MString>& scoreTexts, const MString& clause) {
    MString statement = "score (" + fieldText(codes) + ") ";
    for (const MString& scores : scoreTexts) statement += " (" + fieldText(scores) + ") ";
    return statement + "!" + clause;
}

MString initialKeyString(const DataLayout& layout) {
    if (!layout.hasResponses()) return MString();
    return MString::repeat('*', layout.items * layout.responseWidth);
}

MString composeKey(const MString& keyString, const MString& scoredAs) {
    return "key " + fieldText(keyString) + " ! \"" + fieldText(scoredAs) + "\"";
}

MString composeDelete(const MString& clause) { return "delete !" + clause; }

MissingFields missingFieldsOf(const ExplicitVariable& variable) {
    MissingFields fields;
    std::vector<MString> others;
    for (std::size_t i = 0; i < variable.missingCodes.size(); ++i) {
        const MString& code = variable.missingCodes[i];
        const bool trimmed = i < variable.missingFlags.size() && variable.missingFlags[i] == 1;
        if (trimmed && code == " ")
            fields.blanks = true;
        else if (trimmed && code == ".")
            fields.period = true;
        else
            others.push_back(trimmed ? code : "\"" + code + "\"");
    }
    fields.otherCodes = joinTexts(others, " ,");
    return fields;
}

MString composeMissing(const MissingFields& fields, const std::vector<MString>& selectedNames) {
    if (selectedNames.empty()) return MString();
    MString codes;
    if (fields.blanks) codes += "blank";
    if (fields.period) codes += MString(codes.isEmpty() ? "" : ", ") + "dot";
    const MString other = fieldText(fields.otherCodes);
    if (!codes.isEmpty() && !other.isBlank()) codes += ", ";
    codes += other;
    return "missing " + codes + "! " + joinTexts(selectedNames, ", ");
}

MString currentCaseWeight(const Workspace& ws) {
    const std::vector<std::int32_t>& list = ws.model.caseweight.explicitIndices;
    const std::vector<ExplicitVariable>& variables = ws.data.layout.explicitVariables;
    if (list.empty() || list[0] < 0 || list[0] >= static_cast<std::int32_t>(variables.size())) return MString();
    return variables[static_cast<std::size_t>(list[0])].name;
}

MString caseWeightStatus(const Workspace& ws) {
    const MString name = currentCaseWeight(ws);
    return name.isEmpty() ? MString("Current Status: Cases not weighted") : "Current weight is: " + name;
}

MString composeCaseWeight(const MString& name) { return "caseweight " + name; }

MString composeRegression(const std::vector<MString>& selectedNames) {
    return selectedNames.empty() ? MString() : "regression " + joinTexts(selectedNames, ", ");
}

MString composeGroup(const std::vector<MString>& selectedNames) {
    return selectedNames.empty() ? MString() : "group " + joinTexts(selectedNames, ", ");
}

MString modelAddName(const MString& statement, const MString& name) { return statement + " " + name; }

MString modelAddOperator(const MString& statement, char op) { return statement + " " + op; }

namespace {

struct HeadTail {
    MString head;
    MString tail;
};

HeadTail splitFormat(const MString& statement) {
    const int bang = statement.find('!');
    if (bang < 0) return {statement, MString()};
    return {statement.mid(0, bang), statement.mid(bang, statement.length() - bang)};
}

bool endsWith(const MString& text, char c) { return text.length() > 0 && text[text.length() - 1] == c; }

}  // namespace

MString formatColumnRange(const MString& startColumn, const MString& endColumn) {
    const MString start = fieldText(startColumn);
    const MString end = fieldText(endColumn);
    if (end.isEmpty() || end == start) return start;
    return start + "-" + end;
}

MString formatAdd(const MString& statement, FormatVariableType type, const FormatFields& fields) {
    const MString& text = statement;
    const HeadTail parts = splitFormat(text);
    const MString range = formatColumnRange(fields.startColumn, fields.endColumn);
    switch (type) {
        case FormatVariableType::Explicit:
            return parts.head + " " + fieldText(fields.name) + " " + range + parts.tail;
        case FormatVariableType::Response: {
            const MString width = fieldText(fields.width);
            const MString widthPart = width.isEmpty() ? MString() : " (a" + width + ")";
            MString head;
            if (range.isEmpty())
                head = parts.head + widthPart;
            else if (endsWith(parts.head, ','))
                head = parts.head + " " + range + widthPart;
            else
                head = parts.head + " response " + range + widthPart;
            return head + parts.tail;
        }
        case FormatVariableType::Implicit: {
            const MString declared = fieldText(fields.name) + "(" + fieldText(fields.levels) + ")";
            return text + (parts.tail.isEmpty() ? "! " : ", ") + declared;
        }
        case FormatVariableType::None:
            break;
    }
    return text;
}

MString formatInsertAtHead(const MString& statement, char c) {
    const HeadTail parts = splitFormat(statement);
    return parts.head + c + parts.tail;
}

}  // namespace ordena
