// The model statements: model, facets, regression, group, caseweight and
// itemgroup. They resolve variable names against the format and record
// what they found; the model build works on it.
#pragma once

#include "base/mstring.h"
#include "base/shell.h"
#include "data/data_layout.h"
#include "model/model_spec.h"

namespace ordena {

class Session;

// The name lookup shared by the model statements and the variable lists.
bool lookupVariable(const DataLayout& layout, const MString& name, VariableRef& found);

// Names separated by commas and blanks into explicit and implicit lists; the
// step pseudo-variable is accepted and ignored. 1, or -1 after a report.
int parseVariableList(const MString& text, const DataLayout& layout, VariableList& list, Shell& shell);

// The argument of a model statement into a complete model (terms, text and
// variables). 1, or -1 after the reports; model is then unchanged.
int parseModel(const MString& arguments, const DataLayout& layout, ModelSpec& model, Shell& shell);

int modelCommand(Session& session, const MString& arguments);
int facetsCommand(Session& session, const MString& arguments);
int regressionCommand(Session& session, const MString& arguments);
int groupCommand(Session& session, const MString& arguments);
int caseweightCommand(Session& session, const MString& arguments);
int itemgroupCommand(Session& session, const MString& arguments);

}  // namespace ordena
