#include "model/model_statements.h"

#include "command/parse.h"
#include "command/session.h"
#include "data/coding.h"

namespace ordena {

namespace {

void markChanged(Session& session) {
    session.ws.dataPassNeeded = 1;
    session.ws.est.estimated = 0;
}

bool sameRef(const VariableRef& a, const VariableRef& b) { return a.kind == b.kind && a.index == b.index; }

// A model statement failure: its own message (if any), then the statement's.
int modelFailure(Shell& shell, const MString& message) {
    if (!message.isEmpty()) shell.errorReport(message);
    shell.errorReport("Error in model statement");
    return -1;
}

// The shared part of regression, group and caseweight: the list of an
// explicit-only statement. 1 stored, 0 emptied, -1 after the reports.
int explicitOnlyList(Session& session, const MString& text, const MString& statementError,
                     const MString& implicitError, VariableList& list) {
    VariableList parsed;
    if (parseVariableList(text, session.ws.data.layout, parsed, session) != 1) {
        session.errorReport(statementError);
        return -1;
    }
    if (parsed.implicitCount() > 0) {
        session.errorReport(implicitError);
        return -1;
    }
    list = std::move(parsed);
    return 1;
}

// A name that is not a variable of the format; without any format
// statement no name can be, and saying so points at the real omission.
MString unknownVariable(const DataLayout& layout, const MString& name) {
    if (layout.formatText.trim().isEmpty() && layout.variableNames.empty())
        return "No format statement has been given, so there is no variable " + name;
    return "Variable " + name + " not in list";
}

}  // namespace

bool lookupVariable(const DataLayout& layout, const MString& name, VariableRef& found) {
    if (name.isEmpty()) return false;
    return layout.lookupVariable(name, found);
}

int parseVariableList(const MString& text, const DataLayout& layout, VariableList& list, Shell& shell) {
    VariableList result;
    MString token;
    int first = -1, last = -1;
    int pos = 0;
    while (firstToken(text, pos, ", ", token, first, last) == 1) {
        pos = last + 1;
        MString name = token.lower();
        VariableRef v;
        if (!lookupVariable(layout, name, v)) {
            shell.errorReport(unknownVariable(layout, name));
            return -1;
        }
        if (v.kind == kStepVariable) continue;
        if (result.contains(v)) {
            shell.errorReport("Duplicate variable name");
            return -1;
        }
        if (result.size() + 1 >= kMaxListVariables) {
            shell.errorReport("Too many variables in list");
            return -1;
        }
        result.add(v);
    }
    list = std::move(result);
    return 1;
}

int parseModel(const MString& arguments, const DataLayout& layout, ModelSpec& model, Shell& shell) {
    const MString text = arguments.removeBlanks();
    if (text.isEmpty()) {
        shell.errorReport("Nothing specified for model statement");
        return -1;
    }
    const int n = text.length();
    int termCount = 1;
    for (int i = 1; i < n; ++i)
        if (text[i] == '+' || text[i] == '-') ++termCount;
    std::vector<ModelTerm> terms(static_cast<std::size_t>(termCount));
    terms[0].sign = text[0] == '-' ? '-' : '+';
    const int start = (text[0] == '+' || text[0] == '-') ? 1 : 0;

    std::vector<VariableRef> variables;
    std::size_t term = 0;
    char pending = '*';
    int pos = start;
    MString token;
    int first = -1, last = -1;
    while (pos < n && firstToken(text, pos, "*+-", token, first, last) == 1) {
        VariableRef v;
        if (!lookupVariable(layout, token, v)) return modelFailure(shell, unknownVariable(layout, token.lower()));
        if (pending == '+' || pending == '-') {
            ++term;
            if (term >= terms.size()) return modelFailure(shell, "");
            terms[term].sign = pending;
        }
        terms[term].variables.push_back(v);
        bool known = false;
        for (const VariableRef& m : variables) known = known || sameRef(m, v);
        if (!known) {
            if (static_cast<int>(variables.size()) + 1 >= kMaxModelVariables)
                return modelFailure(shell, "Too many variables in model statement");
            variables.push_back(v);
        }
        if (last + 1 >= n) break;
        pending = text[last + 1];
        if (last + 1 == n - 1) return modelFailure(shell, "");  // a trailing operator
        pos = last + 2;
    }
    // Every term needs a variable: "a*+b" or a lone sign would leave one empty.
    for (const ModelTerm& t : terms)
        if (t.variables.empty()) return modelFailure(shell, "");

    pos = start;
    for (ModelTerm& t : terms) {
        if (firstToken(text, pos, "+-", token, first, last) != 1) return modelFailure(shell, "");
        t.text = token;
        pos = last + 1;
    }

    VariableList list;
    for (const VariableRef& v : variables) list.add(v);
    model.terms = std::move(terms);
    model.modelVariables = std::move(variables);
    model.modelVariableList = std::move(list);
    model.modelText = text;
    return 1;
}

int modelCommand(Session& session, const MString& arguments) {
    // A failing statement keeps the previous model whole, so an estimation
    // never sees a half-built one.
    if (parseModel(arguments, session.ws.data.layout, session.ws.model, session) != 1) return -1;
    markChanged(session);
    return 1;
}

int facetsCommand(Session& session, const MString& arguments) {
    MString text = arguments.trimRight();
    if (text.isBlank()) {
        session.errorReport("Nothing specified for facet statement");
        return -1;
    }
    VariableList list;
    if (parseVariableList(text, session.ws.data.layout, list, session) != 1) {
        session.errorReport("Error in Facet statement");
        return -1;
    }
    session.ws.model.facets = list;
    session.ws.model.facetsInUse = std::move(list);
    return 1;
}

int regressionCommand(Session& session, const MString& arguments) {
    ModelSpec& model = session.ws.model;
    MString text = arguments.trimRight();
    model.regressionText = MString();
    if (text.isBlank()) {
        model.regression.clear();
    } else {
        if (explicitOnlyList(session, text, "Error in Regression statement",
                             "No implicit variable allowed in Regression statement", model.regression) != 1)
            return -1;
        model.regressionText = text;
        markChanged(session);
    }
    model.regressionParameterCount = model.regression.size() + 1;
    return 1;
}

int groupCommand(Session& session, const MString& arguments) {
    ModelSpec& model = session.ws.model;
    MString text = arguments.trimRight();
    model.groupText = MString();
    if (text.isBlank()) {
        model.group.clear();
    } else {
        if (explicitOnlyList(session, text, "Error in Group statement", "No implicit variable allowed in Group statement",
                             model.group) != 1)
            return -1;
        model.groupText = text;
        markChanged(session);
    }
    model.groupKeyWidth = model.group.size() + 1;
    return 1;
}

int caseweightCommand(Session& session, const MString& arguments) {
    ModelSpec& model = session.ws.model;
    MString text = arguments.trimRight();
    if (text.isBlank()) {
        model.caseweight.clear();
        return 1;
    }
    VariableList parsed;
    if (parseVariableList(text, session.ws.data.layout, parsed, session) != 1) {
        session.errorReport("Error in Caseweight statement");
        return -1;
    }
    if (parsed.implicitCount() > 0) {
        session.errorReport("No implicit variable allowed in Caseweight statement");
        return -1;
    }
    if (parsed.explicitCount() != 1) {
        session.errorReport("Only one explicit variable allowed in Caseweight statement");
        return -1;
    }
    model.caseweight = std::move(parsed);
    markChanged(session);
    return 1;
}

int itemgroupCommand(Session& session, const MString& arguments) {
    MString text = arguments.trimRight();
    if (text.isBlank()) {
        session.errorReport("Nothing specified ItemGroup command");
        return -1;
    }
    int bang = text.find('!');
    if (bang == 0) {
        session.errorReport("Error in ItemGroup - '!' in column 1");
        return -1;
    }
    MString name = (bang < 0 ? text : text.mid(0, bang)).trim();
    if (name.isBlank()) {
        session.errorReport("No group specified");
        return -1;
    }
    std::vector<Selection> selections;
    if (bang > 0 &&
        parseSelections(text.mid(bang + 1, text.length()).trimRight(), session.ws.data.layout, selections, session) !=
            1) {
        session.errorReport("Error in the item list");
        return -1;
    }
    std::vector<ItemGroup>& table = session.ws.model.itemGroups;
    ItemGroup* entry = nullptr;
    for (ItemGroup& g : table)
        if (g.name == name) entry = &g;
    if (entry == nullptr) {
        table.push_back(ItemGroup{name, {}});
        entry = &table.back();
    }
    entry->selections = std::move(selections);

    const DataLayout& layout = session.ws.data.layout;
    session.informationBox("ItemGroup table information");
    session.informationBox("Number of entries " + itoMString(static_cast<long long>(table.size())));
    for (const ItemGroup& g : table) {
        session.informationBox(g.name);
        for (const Selection& s : g.selections) {
            MString line = "   ";
            std::size_t k = static_cast<std::size_t>(s.variable.index);
            if (s.variable.kind == kExplicitVariable && k < layout.explicitVariables.size())
                line += layout.explicitVariables[k].name;
            else if (s.variable.kind == kImplicitVariable && k < layout.implicitVariables.size())
                line += layout.implicitVariables[k].name;
            line += "(";
            for (std::size_t c = 0; c < s.codes.size(); ++c) line += (c ? MString(",") : MString()) + s.codes[c];
            line += ")";
            session.informationBox(line);
        }
    }
    return 1;
}

}  // namespace ordena
